#pragma once

#include <QObject>
#include <QTranslator>

class LocalizationManager;

// Qt's own texts (the buttons and labels of file and message dialogs) in the interface language,
// from the translations the Qt installation ships; switched when the language is.
class QtTranslations : public QObject {
    Q_OBJECT

public:
    explicit QtTranslations(LocalizationManager *locManager, QObject *parent = nullptr);
    ~QtTranslations() override;

    // Whether Qt's texts are translated now; false for English and where no translation is installed.
    bool isLoaded() const { return m_loaded; }

private:
    void load(const QString &language);

    QTranslator m_translator;
    bool m_loaded = false;
};
