#pragma once

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QStandardPaths>

#include <memory>
#include <optional>
#include <vector>

// Syncthing instances on loopback only, each with its own home and replica of one folder, as every
// Mac runs its own sync client. Waits are bounded; every process is ended by its own PID.
class SyncthingHub {
public:
    explicit SyncthingHub(const QString &root);
    ~SyncthingHub(); // stops every instance

    // Empty when Syncthing is not installed.
    static QString executable() { return QStandardPaths::findExecutable(QStringLiteral("syncthing")); }

    // Starts `count` instances sharing one folder and waits until they are connected and in sync.
    bool start(int count);
    int size() const { return int(m_instances.size()); }
    QString replica(int index) const { return m_instances[size_t(index)]->replica; }

    // Until every running, unpaused replica is rescanned, has nothing to pull and holds the same files.
    bool waitUntilInSync(int timeoutMs = 60000);

    // Paused, the instance exchanges no files with any other (a laptop offline); resumed, it takes up again.
    bool setPaused(int index, bool paused);
    // Ends the instance's process (a Mac switched off), and starts it again on the same home.
    void stop(int index);
    bool restart(int index);

    QString lastError() const { return m_lastError; }

private:
    struct Instance {
        QString name, home, replica, deviceId, apiKey;
        quint16 guiPort = 0, listenPort = 0;
        std::unique_ptr<QProcess> process;
        bool stopped = false, paused = false;
    };

    bool fail(const QString &message);
    bool launch(Instance &instance);
    // A REST call's JSON object (empty for an empty answer); none when it failed.
    std::optional<QJsonObject> call(const Instance &instance, const QByteArray &verb, const QString &path,
                                    int timeoutMs = 30000);
    QString notInSync(); // why not, or empty

    QString m_root;
    std::vector<std::unique_ptr<Instance>> m_instances;
    QNetworkAccessManager m_network;
    QString m_lastError;
};
