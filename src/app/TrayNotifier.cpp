#include "TrayNotifier.h"

#include <QMetaObject>

TrayNotifier::TrayNotifier(TrayPresenter presenter, QObject *parent)
    : QObject(parent), m_presenter(std::move(presenter))
{}

void TrayNotifier::send(const QString &body, const QString &title)
{
    requestPermission();
    // Direct on this object's thread; from any other thread queued there.
    QMetaObject::invokeMethod(
        this,
        [this, body, title] {
            if (m_presenter)
                m_presenter(title, body);
        },
        Qt::AutoConnection);
}
