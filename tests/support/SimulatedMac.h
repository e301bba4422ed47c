#pragma once

#include "SyncEngine.h"
#include "platform/DockPreferences.h"
#include "platform/Notifier.h"

#include <QDateTime>
#include <QMutex>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

class RecordingNotifier final : public Notifier {
public:
    void send(const QString &body, const QString &title) override;
    QStringList bodies() const;
    void clear();

private:
    mutable QMutex m_mutex;
    QStringList m_bodies;
};

// The Dock of a simulated Mac: its preferences are the file in the Mac's home. Like the real Dock,
// it can rewrite its bookkeeping keys after every restart, leaving the file newer than before.
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

// One Mac of a test: its own home (with the Dock file), backups, host name, notifications,
// Dock and clock, sharing a sync folder with the other simulated Macs.
class SimulatedMac {
public:
    SimulatedMac(const QString &hostname, const QString &syncFolder, const QString &root);

    QString hostname() const { return m_hostname; }
    QString syncFolder() const { return m_syncFolder; }
    void setSyncFolder(const QString &folder) { m_syncFolder = folder; }
    QString home() const { return m_home; }
    QString dockPath() const;
    QString backupsDirectory() const { return m_backups; }

    EngineServices services();
    SyncEngine engine();
    SyncEngine::Result run(SyncEngine::Mode mode);
    // Makes this Mac an established member: it last agreed with the shared folder when its Dock was
    // written, so the time rules decide for it, not the rule for a Mac joining with another Dock.
    void establish();

    // Replaces the Dock file; with an mtime, gives it that modification time. Bytes that are not a
    // property list stand for a Dock of that name (TestDock::marker), and dockBytes() and
    // readBytes() give the name back, so a test can follow which Dock went where.
    void writeDock(const QByteArray &bytes, std::optional<double> mtime = std::nullopt);
    QByteArray dockBytes() const;
    double dockMTime() const;

    QStringList backups() const; // file names, sorted
    RecordingNotifier &notifier() { return m_notifier; }
    int dockRestarts() const { return m_dock.restarts(); }
    SimulatedDock &dock() { return m_dock; }
    // The Dock's preferences the engine reads and applies; the simulated Dock unless replaced.
    void setDockPreferences(DockPreferences *preferences) { m_preferences = preferences; }

    // The clock the engine sees; the system clock until set.
    void setNow(const QDateTime &now) { m_now = now; }
    // This computer's hashed identity, written into its status file; none until set.
    void setMachine(const QString &machine) { m_machine = machine; }

private:
    QString m_hostname;
    QString m_syncFolder;
    QString m_home;
    QString m_backups;
    RecordingNotifier m_notifier;
    SimulatedDock m_dock;
    DockPreferences *m_preferences = nullptr;
    std::optional<QDateTime> m_now;
    QString m_machine;
};

// Quiet rounds of automatic syncs on every Mac, a conflict resolved by the user's pull, with
// `beforeRound` (a sync service's turn; its false means "not everything carried") before each.
// True once a whole round finds every Mac in sync; false as soon as a Mac is left without a Dock.
// `conflicts` counts the conflicts on the way.
bool settleMacs(const QList<SimulatedMac *> &macs, int maxRounds, int *conflicts = nullptr,
                const std::function<bool()> &beforeRound = {});
// Once settled, `rounds` more rounds restart no Dock and back nothing up, though every restarted
// Dock rewrote its file.
bool staysQuiet(const QList<SimulatedMac *> &macs, int rounds, const std::function<bool()> &beforeRound = {});

// Reads a regular file whole; an empty array when it cannot be read or is no regular file. A Dock
// that stands for a name (TestDock::marker) reads as that name, and bytes written to a file named
// like the Dock that are not a property list are written as the Dock of that name.
QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);
