#include "CheckedDockPreferences.h"

#include "DockLayout.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <utility>

namespace {

class CheckedDockPreferences final : public DockPreferences {
public:
    CheckedDockPreferences(std::unique_ptr<DockPreferences> inner, DockRestartWatch watch)
        : m_inner(std::move(inner)), m_watch(std::move(watch))
    {}

    std::optional<QByteArray> exportCurrent() override { return m_inner->exportCurrent(); }

    std::optional<QString> import(const QByteArray &bytes) override
    {
        m_applied.reset();
        const auto failure = m_inner->import(bytes);
        if (!failure)
            m_applied = DockLayout::parse(bytes);
        return failure;
    }

    void restartDock() override { m_inner->restartDock(); }

    std::optional<QString> restartAndCheck() override
    {
        const QList<qint64> before = m_watch.dockProcesses();
        m_inner->restartDock();
        // Where no Dock ran or nothing starts it again, there is nothing to wait for.
        if (!before.isEmpty() && !waitForNewDock(before))
            return QStringLiteral("Das Dock ist nach dem Neustart nicht wieder gestartet (%1 s gewartet)")
                .arg(m_watch.timeoutMs / 1000);
        if (!m_applied)
            return std::nullopt;
        const auto bytes = m_inner->exportCurrent();
        const auto shown = bytes ? DockLayout::parse(*bytes) : std::nullopt;
        if (!shown)
            return QStringLiteral("Die Dock-Einstellungen sind nach dem Neustart nicht lesbar");
        if (!(*shown == *m_applied))
            return QStringLiteral("Das Dock zeigt nach dem Neustart nicht die übernommene Konfiguration "
                                  "(ein verwaltetes Dock oder ein Dock, das seinen alten Stand zurückschreibt)");
        return std::nullopt;
    }

private:
    // A Dock process that was not there before: the old one has ended, and with it any write-back.
    bool waitForNewDock(const QList<qint64> &before) const
    {
        const qint64 deadline = m_watch.elapsedMs() + m_watch.timeoutMs;
        for (;;) {
            const QList<qint64> now = m_watch.dockProcesses();
            if (std::any_of(now.begin(), now.end(), [&before](qint64 pid) { return !before.contains(pid); }))
                return true;
            if (m_watch.elapsedMs() >= deadline)
                return false;
            m_watch.sleep(m_watch.pollMs);
        }
    }

    std::unique_ptr<DockPreferences> m_inner;
    DockRestartWatch m_watch;
    std::optional<DockLayout> m_applied;
};

} // namespace

DockRestartWatch DockRestartWatch::system(std::function<QList<qint64>()> dockProcesses)
{
    DockRestartWatch watch;
    watch.dockProcesses = std::move(dockProcesses);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    watch.elapsedMs = [clock] { return clock->elapsed(); };
    watch.sleep = [](int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); };
    return watch;
}

std::unique_ptr<DockPreferences> createCheckedDockPreferences(std::unique_ptr<DockPreferences> inner,
                                                              DockRestartWatch watch)
{
    return std::make_unique<CheckedDockPreferences>(std::move(inner), std::move(watch));
}
