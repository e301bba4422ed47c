#include "CenterNotifier.h"

#include "AppLog.h"
#include "platform/UserNotificationCenter.h"

CenterNotifier::CenterNotifier(std::unique_ptr<UserNotificationCenter> center, std::function<void()> refused)
    : m_center(std::move(center))
{
    m_answer->onRefused = std::move(refused);
}

CenterNotifier::~CenterNotifier() = default;

void CenterNotifier::send(const QString &body, const QString &title)
{
    requestPermission();
    m_center->post(title, body);
}

bool CenterNotifier::askPermission()
{
    // The answer comes later; it is asked once per run, so the refusal is logged once.
    m_center->requestAuthorization([answer = m_answer](bool granted, const QString &error) {
        if (granted)
            return;
        qCWarning(lcApp).noquote() << "notifications are not allowed for Tandrill" << error;
        answer->refused = true;
        if (answer->onRefused)
            answer->onRefused();
    });
    return false;
}
