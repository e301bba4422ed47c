#pragma once

#include "SyncEngine.h"
#include "platform/DockRestarter.h"
#include "platform/Notifier.h"

#include <QDateTime>
#include <QMutex>
#include <QStringList>

#include <atomic>
#include <optional>

class RecordingNotifier final : public Notifier {
public:
    void send(const QString &body, const QString &title) override;
    QStringList bodies() const;
    QStringList titles() const;
    void clear();

private:
    mutable QMutex m_mutex;
    QStringList m_bodies;
    QStringList m_titles;
};

class CountingDockRestarter final : public DockRestarter {
public:
    void restartDock() override { ++m_count; }
    int count() const { return m_count; }

private:
    std::atomic<int> m_count{0};
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

    // Replaces the Dock file; with an mtime, gives it that modification time.
    void writeDock(const QByteArray &bytes, std::optional<double> mtime = std::nullopt);
    QByteArray dockBytes() const;
    bool hasDock() const;
    double dockMTime() const;

    QStringList backups() const; // file names, sorted
    RecordingNotifier &notifier() { return m_notifier; }
    int dockRestarts() const { return m_dock.count(); }

    // The clock the engine sees; the system clock until set.
    void setNow(const QDateTime &now) { m_now = now; }
    void advance(int seconds);

private:
    QString m_hostname;
    QString m_syncFolder;
    QString m_home;
    QString m_backups;
    RecordingNotifier m_notifier;
    CountingDockRestarter m_dock;
    std::optional<QDateTime> m_now;
};

// Reads a regular file whole; an empty array when it cannot be read or is no regular file.
QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);
