#pragma once

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QProcess;

// A real file-sync service for tests: Syncthing instances on this machine, each with its own home
// and its own replica of one shared folder, the way every Mac runs its own sync client. They talk
// on loopback addresses only: no discovery, relays, NAT traversal, usage or crash reports, no
// upgrades; each knows the others by device ID and static address. Conflicting writes end as
// Syncthing settles them: the newer file wins, the other becomes a "*.sync-conflict-*" copy.
//
// Everything a test waits for is asked of the instances' REST interfaces, with a bound, never
// slept for. Every process is ended by its own PID, and the harness's directories live under
// the root it was given.
class SyncthingHub {
public:
    explicit SyncthingHub(const QString &root);
    ~SyncthingHub(); // stops every instance
    SyncthingHub(const SyncthingHub &) = delete;
    SyncthingHub &operator=(const SyncthingHub &) = delete;

    static QString executable(); // empty when Syncthing is not installed

    // Starts `count` instances sharing one folder, and waits until every pair is connected.
    bool start(int count);
    int size() const { return int(m_instances.size()); }
    QString replica(int index) const;
    QString deviceId(int index) const;

    // Rescans every replica of a running, unpaused instance until each of them holds the others'
    // newest files and nothing is left to pull; false after `timeoutMs`.
    bool waitUntilInSync(int timeoutMs = 60000);

    // The instance stops exchanging files with all others (a laptop offline) and takes up again.
    bool pause(int index);
    bool resume(int index);
    // Ends the instance's process (a Mac switched off), and starts it again on the same home.
    bool stop(int index);
    bool restart(int index);

    QString lastError() const { return m_lastError; }

private:
    struct Instance;

    bool fail(const QString &message);
    bool generate(Instance &instance);
    bool writeConfig(const Instance &instance);
    bool launch(Instance &instance);
    bool active(const Instance &instance) const;
    // A REST call; the JSON object it answers (empty for an empty answer), none on failure.
    std::optional<QJsonObject> call(const Instance &instance, const QByteArray &verb, const QString &path,
                                    int timeoutMs = 30000);
    // One look: every active instance scanned, connected to every other active one, idle with
    // nothing to pull, and each sees every other one complete; the replicas hold the same files.
    bool inSyncNow(QString *why);
    bool sameReplicas(QString *why) const;

    QString m_root;
    std::vector<std::unique_ptr<Instance>> m_instances;
    QNetworkAccessManager m_network;
    QString m_lastError;
};
