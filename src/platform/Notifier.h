#pragma once

#include <QString>

// Posts a user notification. The engine calls it from its worker thread and never waits for it,
// so implementations must be thread-safe and must not block.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void send(const QString &body, const QString &title) = 0;
};
