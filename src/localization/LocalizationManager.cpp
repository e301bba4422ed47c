#include "LocalizationManager.h"

#include <QSettings>

LocalizationManager::LocalizationManager(QSettings *settings, QObject *parent)
    : LocalizationManager(settings, QLocale::system(), parent)
{}

LocalizationManager::LocalizationManager(QSettings *settings, const QLocale &systemLocale, QObject *parent)
    : QObject(parent), m_settings(settings)
{
    const QVariant stored = m_settings ? m_settings->value(kLanguageKey) : QVariant();
    m_lang = stored.typeId() == QMetaType::QString ? stored.toString() : languageFor(systemLocale);
}

QString LocalizationManager::languageFor(const QLocale &locale)
{
    return locale.language() == QLocale::German ? QStringLiteral("de") : QStringLiteral("en");
}

void LocalizationManager::setLang(const QString &lang)
{
    const bool changed = lang != m_lang;
    m_lang = lang;
    if (changed)
        emit langChanged(m_lang);
    if (m_settings)
        m_settings->setValue(kLanguageKey, m_lang);
}

void LocalizationManager::toggle()
{
    setLang(m_lang == QLatin1String("de") ? QStringLiteral("en") : QStringLiteral("de"));
}

QString LocalizationManager::pick(const QString &german, const QString &english) const
{
    return m_lang == QLatin1String("en") ? english : german;
}

QString LocalizationManager::switchTooltip() const
{
    return m_lang == QLatin1String("de") ? QStringLiteral("Switch to English") : QStringLiteral("Auf Deutsch wechseln");
}
