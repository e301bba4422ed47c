#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

// Timers of the coordinator behind an interface, so tests can run hours of background sync in
// virtual time. Callbacks run on the thread that owns `context`, and never after it is gone.
class RepeatingTimer {
public:
    virtual ~RepeatingTimer() = default; // stops the timer, or calls off a single shot not yet fired
};

class Scheduler {
public:
    virtual ~Scheduler() = default;
    virtual std::unique_ptr<RepeatingTimer> startRepeating(std::chrono::milliseconds period, QObject *context,
                                                           std::function<void()> tick) = 0;
    virtual void singleShot(std::chrono::milliseconds delay, QObject *context, std::function<void()> action) = 0;
    // A single shot that can be called off (a quiet period that starts again with every change):
    // the handle may be kept after it fired, a fired timer costs nothing.
    virtual std::unique_ptr<RepeatingTimer> startSingleShot(std::chrono::milliseconds delay, QObject *context,
                                                            std::function<void()> action) = 0;
};

// QTimer based; the timers also fire while a menu is open (Qt runs them in every event loop).
std::unique_ptr<Scheduler> createQtScheduler();
