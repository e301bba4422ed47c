#include "SerialWorker.h"

SerialWorker::SerialWorker(const QString &name) : m_receiver(new QObject)
{
    m_thread.setObjectName(name);
    m_receiver->moveToThread(&m_thread);
    m_thread.start();
}

SerialWorker::~SerialWorker()
{
    m_thread.quit();
    m_thread.wait();
    delete m_receiver;
}

void SerialWorker::post(std::function<void()> job)
{
    QMetaObject::invokeMethod(m_receiver, std::move(job), Qt::QueuedConnection);
}
