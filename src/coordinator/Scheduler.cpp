#include "Scheduler.h"

#include <QPointer>
#include <QTimer>

namespace {

class QtRepeatingTimer final : public RepeatingTimer {
public:
    QtRepeatingTimer(std::chrono::milliseconds period, QObject *context, std::function<void()> tick,
                     bool singleShot = false)
    {
        m_timer.setInterval(period);
        m_timer.setSingleShot(singleShot);
        // Hour-long periods need no precision; the refresh may drift by a few milliseconds too.
        m_timer.setTimerType(Qt::CoarseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, context, std::move(tick));
        m_timer.start();
    }

private:
    QTimer m_timer;
};

class QtScheduler final : public Scheduler {
public:
    std::unique_ptr<RepeatingTimer> startRepeating(std::chrono::milliseconds period, QObject *context,
                                                   std::function<void()> tick) override
    {
        return std::make_unique<QtRepeatingTimer>(period, context, std::move(tick));
    }

    void singleShot(std::chrono::milliseconds delay, QObject *context, std::function<void()> action) override
    {
        QTimer::singleShot(delay, context, std::move(action));
    }

    std::unique_ptr<RepeatingTimer> startSingleShot(std::chrono::milliseconds delay, QObject *context,
                                                    std::function<void()> action) override
    {
        return std::make_unique<QtRepeatingTimer>(delay, context, std::move(action), true);
    }
};

} // namespace

std::unique_ptr<Scheduler> createQtScheduler()
{
    return std::make_unique<QtScheduler>();
}
