#include "CoordinatorHarness.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

#include <algorithm>

class ManualScheduler::Timer final : public RepeatingTimer {
public:
    explicit Timer(std::shared_ptr<Entry> entry) : m_entry(std::move(entry)) {}
    ~Timer() override { m_entry->cancelled = true; }

private:
    std::shared_ptr<Entry> m_entry;
};

std::unique_ptr<RepeatingTimer> ManualScheduler::startRepeating(std::chrono::milliseconds period, QObject *context,
                                                                std::function<void()> tick)
{
    m_entries.push_back(std::make_shared<Entry>(Entry{m_nextId++, m_now + period, period, context, std::move(tick)}));
    return std::make_unique<Timer>(m_entries.back());
}

void ManualScheduler::singleShot(std::chrono::milliseconds delay, QObject *context, std::function<void()> action)
{
    m_entries.push_back(std::make_shared<Entry>(Entry{m_nextId++, m_now + delay, {}, context, std::move(action)}));
}

std::unique_ptr<RepeatingTimer> ManualScheduler::startSingleShot(std::chrono::milliseconds delay, QObject *context,
                                                                 std::function<void()> action)
{
    singleShot(delay, context, std::move(action));
    return std::make_unique<Timer>(m_entries.back());
}

void ManualScheduler::advance(std::chrono::milliseconds by, const std::function<void()> &afterEach)
{
    const std::chrono::milliseconds target = m_now + by;
    for (;;) {
        std::erase_if(m_entries, [](const auto &entry) { return entry->cancelled || !entry->context; });
        auto next = std::min_element(m_entries.begin(), m_entries.end(), [](const auto &a, const auto &b) {
            return a->due != b->due ? a->due < b->due : a->id < b->id;
        });
        if (next == m_entries.end() || (*next)->due > target)
            break;
        const std::shared_ptr<Entry> entry = *next;
        m_now = entry->due;
        if (entry->period.count() > 0)
            entry->due += entry->period;
        else
            entry->cancelled = true;
        entry->action();
        if (afterEach)
            afterEach();
    }
    m_now = target;
}

bool FakeLoginItem::registerItem()
{
    ++registerCalls;
    m_lastError = m_refusal;
    if (!m_refusal.isEmpty())
        return false;
    m_status = m_statusAfterRegister;
    return true;
}

bool FakeLoginItem::unregisterItem()
{
    m_status = Status::NotRegistered;
    return true;
}

void FakeFolderPicker::pickFolder(std::function<void(std::optional<QString>)> completion)
{
    std::optional<QString> answer;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    completion(answer);
}

CoordinatorHarness::CoordinatorHarness(const QString &hostname, const QString &root)
    : m_mac(hostname, QString(), root), m_settingsPath(m_mac.home() + QLatin1String("/settings.ini")),
      m_settings(std::make_unique<QSettings>(m_settingsPath, QSettings::IniFormat))
{
    m_bookmarks = std::make_unique<BookmarkManager>(m_settings.get(), createSystemFolderBookmarks());
}

void CoordinatorHarness::storeSetUp(const QString &folder)
{
    QDir().mkpath(folder);
    m_mac.setSyncFolder(folder);
    m_settings->setValue(QStringLiteral("TandrillFolderPath"), folder);
    m_settings->setValue(QStringLiteral("TandrillOnboardingComplete"), true);
}

SyncManager &CoordinatorHarness::start()
{
    stop();
    CoordinatorServices services;
    services.settings = m_settings.get();
    const QString hostname = m_mac.hostname();
    services.hostName = [hostname] { return hostname; };
    services.engine = m_mac.services();
    services.bookmarks = m_bookmarks.get();
    services.loginItem = &m_loginItem;
    services.folderPicker = &m_picker;
    services.openFolder = [](const QString &) {};
    services.scheduler = m_realScheduler ? m_realScheduler : &m_scheduler;
    m_manager = std::make_unique<SyncManager>(std::move(services));
    return *m_manager;
}

void CoordinatorHarness::settle()
{
    QElapsedTimer timer;
    timer.start();
    while (m_manager && m_manager->hasPendingWork()) {
        // Pending work always ends in a result posted to this thread, which wakes the wait.
        QThread::currentThread()->eventDispatcher()->processEvents(QEventLoop::WaitForMoreEvents);
        if (timer.elapsed() > 20000)
            qFatal("the coordinator did not settle within 20 s");
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CoordinatorHarness::advance(std::chrono::milliseconds by)
{
    // One timer at a time, its work finished before the next, as in real time where engine work
    // takes milliseconds and timers are seconds apart.
    settle();
    m_scheduler.advance(by, [this] { settle(); });
}
