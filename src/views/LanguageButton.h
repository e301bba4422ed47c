#pragma once

#include <QPushButton>

class LocalizationManager;

// The flag that switches the interface language: the British flag while German is shown, the
// German flag otherwise; its tooltip says, in the other language, what a click does.
class LanguageButton : public QPushButton {
    Q_OBJECT

public:
    explicit LanguageButton(LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    void render();

    LocalizationManager *m_locManager;
};
