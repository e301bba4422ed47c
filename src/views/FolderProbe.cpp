#include "FolderProbe.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>

FolderProbe::FolderProbe(ExistsFunction exists, QObject *parent)
    : QObject(parent),
      m_exists(exists ? std::move(exists) : [](const QString &path) { return QFileInfo::exists(path); })
{}

void FolderProbe::check(const QString &path)
{
    if (path.isEmpty()) {
        emit checked(path, false); // nothing to ask the file system
        return;
    }
    if (m_running) {
        m_waiting = path;
        return;
    }
    start(path);
}

void FolderProbe::start(const QString &path)
{
    m_running = true;
    QPointer<FolderProbe> self(this);
    QThreadPool::globalInstance()->start([self, path, exists = m_exists] {
        const bool found = exists(path);
        // Delivered through the application object, which outlives the probe; the probe itself may
        // be gone by the time the answer comes.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, path, found] {
                if (self)
                    self->finish(path, found);
            },
            Qt::QueuedConnection);
    });
}

void FolderProbe::finish(const QString &path, bool exists)
{
    m_running = false;
    emit checked(path, exists);
    if (m_waiting) {
        const QString next = *m_waiting;
        m_waiting.reset();
        start(next);
    }
}
