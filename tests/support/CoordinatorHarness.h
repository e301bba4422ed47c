#pragma once

#include "BookmarkManager.h"
#include "Scheduler.h"
#include "SimulatedMac.h"
#include "SyncManager.h"
#include "platform/FolderPicker.h"
#include "platform/LoginItem.h"

#include <QList>
#include <QPointer>
#include <QSettings>

#include <chrono>
#include <deque>
#include <memory>

// Virtual time: timers fire only when a test advances the clock, in due order.
class ManualScheduler final : public Scheduler {
public:
    std::unique_ptr<RepeatingTimer> startRepeating(std::chrono::milliseconds period, QObject *context,
                                                   std::function<void()> tick) override;
    void singleShot(std::chrono::milliseconds delay, QObject *context, std::function<void()> action) override;
    std::unique_ptr<RepeatingTimer> startSingleShot(std::chrono::milliseconds delay, QObject *context,
                                                    std::function<void()> action) override;

    // Moves the clock forward, firing every timer that falls due on the way, in due order.
    void advance(std::chrono::milliseconds by, const std::function<void()> &afterEach = {});

private:
    struct Entry {
        quint64 id;
        std::chrono::milliseconds due;
        std::chrono::milliseconds period; // zero for a single shot
        QPointer<QObject> context;
        std::function<void()> action;
        bool cancelled = false;
    };
    class Timer;

    std::chrono::milliseconds m_now{0};
    quint64 m_nextId = 1;
    std::deque<std::shared_ptr<Entry>> m_entries;
};

class FakeLoginItem final : public LoginItem {
public:
    Status status() const override { return m_status; }
    bool registerItem() override;
    bool unregisterItem() override;
    Availability availability() const override { return m_availability; }
    QString lastError() const override { return m_lastError; }
    bool canOpenSystemSettings() const override { return m_canOpenSettings; }
    void openSystemSettings() override { ++settingsOpened; }

    Status m_status = Status::NotRegistered;
    Status m_statusAfterRegister = Status::Enabled;
    Availability m_availability = Availability::Available;
    QString m_refusal; // when set, the system refuses to register with this message
    QString m_lastError;
    bool m_canOpenSettings = false;
    int registerCalls = 0;
    int settingsOpened = 0;
};

class FakeFolderPicker final : public FolderPicker {
public:
    void pickFolder(std::function<void(std::optional<QString>)> completion) override;
    std::deque<std::optional<QString>> answers; // an empty queue answers "cancelled"
};

// One simulated Mac running the coordinator on its own settings, services and virtual clock.
class CoordinatorHarness {
public:
    CoordinatorHarness(const QString &hostname, const QString &root);

    QSettings &settings() { return *m_settings; }
    SimulatedMac &mac() { return m_mac; }
    FakeLoginItem &loginItem() { return m_loginItem; }
    FakeFolderPicker &folderPicker() { return m_picker; }
    BookmarkManager &bookmarks() { return *m_bookmarks; }

    // Settings as if this Mac had completed the set-up with `folder`.
    void storeSetUp(const QString &folder);

    // Real timers instead of virtual time, for what is measured in real time; before start().
    void useScheduler(Scheduler *scheduler) { m_realScheduler = scheduler; }
    SyncManager &start(); // constructs the coordinator from the stored settings
    SyncManager &manager() { return *m_manager; }
    void stop() { m_manager.reset(); }

    // Runs the event loop until no engine work or folder read is pending.
    void settle();
    // Advances virtual time, letting the work each timer starts finish.
    void advance(std::chrono::milliseconds by);

private:
    SimulatedMac m_mac;
    QString m_settingsPath;
    std::unique_ptr<QSettings> m_settings;
    ManualScheduler m_scheduler;
    Scheduler *m_realScheduler = nullptr;
    FakeLoginItem m_loginItem;
    FakeFolderPicker m_picker;
    std::unique_ptr<BookmarkManager> m_bookmarks;
    std::unique_ptr<SyncManager> m_manager;
};
