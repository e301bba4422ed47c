#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Asks whether something exists at a path without blocking the interface: the file system is
// asked on the thread pool (a sleeping network or cloud folder can take seconds) and the answer
// arrives as checked() on this object's thread. One question runs at a time; asking again while
// it runs replaces the waiting question, so the answer always catches up with the newest path.
class FolderProbe : public QObject {
    Q_OBJECT

public:
    using ExistsFunction = std::function<bool(const QString &path)>;

    // `exists` is asked on a pool thread; the file system's answer when none is given.
    explicit FolderProbe(ExistsFunction exists = {}, QObject *parent = nullptr);

    void check(const QString &path);

signals:
    void checked(const QString &path, bool exists);

private:
    void start(const QString &path);
    void finish(const QString &path, bool exists);

    ExistsFunction m_exists;
    bool m_running = false;
    std::optional<QString> m_waiting;
};
