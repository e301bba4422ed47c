#pragma once

#include "SafeFile.h"
#include "SyncEngine.h"
#include "platform/DockPreferences.h"
#include "platform/Notifier.h"

#include <QDateTime>
#include <QDir>
#include <QMutex>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

// A regular file whole, else empty; a Dock that stands for a name reads as that name, and that
// name written to a file named like the Dock writes that Dock.
QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

class RecordingNotifier final : public Notifier {
public:
    void send(const QString &body, const QString &title) override;
    QStringList bodies() const;
    void clear();

private:
    mutable QMutex m_mutex;
    QStringList m_bodies;
};

// The Dock of a simulated Mac, the file in its home; like the real one it may rewrite it on a restart.
class SimulatedDock final : public DockPreferences {
public:
    explicit SimulatedDock(QString dockPath);
    std::optional<QByteArray> exportCurrent() override;
    std::optional<QString> import(const QByteArray &bytes) override;
    void restartDock() override;

    int restarts() const { return m_restarts; }
    void setRewritesOnRestart(bool rewrites) { m_rewrites = rewrites; }
    void setLanguage(const QString &language) { m_language = language; } // of the labels it rewrites

private:
    QString m_path;
    std::atomic<int> m_restarts{0};
    std::atomic<bool> m_rewrites{false};
    QString m_language;
};

// One Mac of a test: its own home, backups, host name, notifications, Dock and clock.
class SimulatedMac {
public:
    SimulatedMac(const QString &hostname, const QString &syncFolder, const QString &root);

    QString hostname() const { return m_hostname; }
    QString syncFolder() const { return m_syncFolder; }
    void setSyncFolder(const QString &folder) { m_syncFolder = folder; }
    QString home() const { return m_home; }
    QString dockPath() const { return m_home + QLatin1String("/Library/Preferences/com.apple.dock.plist"); }
    QString backupsDirectory() const { return m_backups; }

    EngineServices services();
    SyncEngine engine();
    SyncEngine::Result run(SyncEngine::Mode mode) { return engine().run(mode); }
    // Records that this Mac agreed with the folder when its Dock was written: no longer a joining Mac.
    void establish();

    // Bytes that are not a property list stand for a Dock of that name (TestDock::marker), and
    // dockBytes() gives the name back, so a test can follow which Dock went where.
    void writeDock(const QByteArray &bytes, std::optional<double> mtime = std::nullopt);
    QByteArray dockBytes() const { return readBytes(dockPath()); }
    double dockMTime() const { return SafeFile::modificationTime(dockPath()).value_or(0); }

    QStringList backups() const { return QDir(m_backups).entryList(QDir::Files, QDir::Name); } // sorted
    RecordingNotifier &notifier() { return m_notifier; }
    int dockRestarts() const { return m_dock.restarts(); }
    SimulatedDock &dock() { return m_dock; }
    void setDockPreferences(DockPreferences *preferences) { m_preferences = preferences; }

    void setNow(const QDateTime &now) { m_now = now; }
    void setMachine(const QString &machine) { m_machine = machine; }
    void setSameLookOnAllMacs(bool same) { m_sameLook = same; }

private:
    static inline int s_homes = 0;
    QString m_hostname;
    QString m_syncFolder;
    QString m_home;
    QString m_backups;
    RecordingNotifier m_notifier;
    SimulatedDock m_dock;
    DockPreferences *m_preferences = nullptr;
    std::optional<QDateTime> m_now;
    QString m_machine;
    bool m_sameLook = true;
};

// Rounds of automatic syncs on every Mac, a conflict resolved by a pull, each after `beforeRound`
// (a sync service's turn). True once a round finds every Mac in sync; false when a Dock is lost.
bool settleMacs(const QList<SimulatedMac *> &macs, int maxRounds, int *conflicts = nullptr,
                const std::function<bool()> &beforeRound = {});
// Once settled, `rounds` more rounds restart no Dock and back nothing up.
bool staysQuiet(const QList<SimulatedMac *> &macs, int rounds, const std::function<bool()> &beforeRound = {});
