#pragma once

#include <QAbstractButton>

class LocalizationManager;

// The flag that switches the interface language: the British flag while German is shown, the
// German flag otherwise; its tooltip says, in the other language, what a click does. A plain face,
// painted here: only the flag shows, without a frame or a background.
class LanguageButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit LanguageButton(LocalizationManager *locManager, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void render();

    LocalizationManager *m_locManager;
};
