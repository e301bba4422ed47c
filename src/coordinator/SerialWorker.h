#pragma once

#include <QObject>
#include <QString>
#include <QThread>

#include <functional>

// One background thread that runs jobs strictly one after another, in the order posted.
// Jobs hand their results back with QMetaObject::invokeMethod on a context object, so they
// arrive on its thread in the same order and are dropped when the context is gone.
class SerialWorker {
public:
    explicit SerialWorker(const QString &name);
    ~SerialWorker(); // lets the running job finish; jobs not yet started are dropped

    SerialWorker(const SerialWorker &) = delete;
    SerialWorker &operator=(const SerialWorker &) = delete;

    void post(std::function<void()> job);

    // Runs work on the worker, then done(result) on context's thread.
    template <typename T> void run(QObject *context, std::function<T()> work, std::function<void(T)> done)
    {
        post([context, work = std::move(work), done = std::move(done)]() mutable {
            T result = work();
            QMetaObject::invokeMethod(
                context, [done = std::move(done), result = std::move(result)]() mutable { done(std::move(result)); },
                Qt::QueuedConnection);
        });
    }

private:
    QThread m_thread;
    QObject *m_receiver;
};
