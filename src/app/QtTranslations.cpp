#include "QtTranslations.h"

#include "AppLog.h"
#include "LocalizationManager.h"

#include <QCoreApplication>
#include <QLibraryInfo>

QtTranslations::QtTranslations(LocalizationManager *locManager, QObject *parent) : QObject(parent)
{
    if (!locManager)
        return;
    connect(locManager, &LocalizationManager::langChanged, this, &QtTranslations::load);
    load(locManager->lang());
}

QtTranslations::~QtTranslations()
{
    if (m_loaded)
        QCoreApplication::removeTranslator(&m_translator);
}

void QtTranslations::load(const QString &language)
{
    if (m_loaded)
        QCoreApplication::removeTranslator(&m_translator);
    m_loaded = false;
    // Qt's texts are English already.
    if (language == QLatin1String("en"))
        return;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!m_translator.load(QLatin1String("qtbase_") + language, folder)) {
        qCDebug(lcApp) << "no Qt translation for" << language << "in" << folder;
        return;
    }
    m_loaded = QCoreApplication::installTranslator(&m_translator);
}
