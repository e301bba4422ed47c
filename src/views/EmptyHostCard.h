#pragma once

#include "RoundedPanel.h"

class LocalizationManager;
class QLabel;

// A free place on the dashboard for one more Mac, up to four.
class EmptyHostCard : public RoundedPanel {
    Q_OBJECT

public:
    explicit EmptyHostCard(LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    void retranslate();

    LocalizationManager *m_locManager;
    QLabel *m_title;
    QLabel *m_subtitle;
};
