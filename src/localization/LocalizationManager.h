#pragma once

#include <QLocale>
#include <QObject>
#include <QString>

class QSettings;

// The interface language, German or English, switchable at run time. Every visible text is a
// German/English pair chosen through pick() when it is shown. It sits below the views and the
// shell, which both word their texts through it.
class LocalizationManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString lang READ lang WRITE setLang NOTIFY langChanged)

public:
    static constexpr QLatin1StringView kLanguageKey{"TandrillLanguage"};

    // Without a stored choice the language follows the system: German for German locales,
    // English for every other one.
    explicit LocalizationManager(QSettings *settings, QObject *parent = nullptr);
    LocalizationManager(QSettings *settings, const QLocale &systemLocale, QObject *parent = nullptr);

    static QString languageFor(const QLocale &locale);

    QString lang() const { return m_lang; }
    void setLang(const QString &lang); // stored on every assignment
    void toggle();

    // The English text when lang is exactly "en", the German one otherwise.
    QString pick(const QString &german, const QString &english) const;
    // The language button's tooltip: what a click will do.
    QString switchTooltip() const;

signals:
    void langChanged(const QString &lang);

private:
    QSettings *m_settings;
    QString m_lang;
};
