#include "LanguageButton.h"

#include "LocalizationManager.h"
#include "ViewStyle.h"

namespace {
// Regional indicator pairs: G B is the Union Jack, D E the German flag.
const QString kBritishFlag = QStringLiteral("\U0001F1EC\U0001F1E7");
const QString kGermanFlag = QStringLiteral("\U0001F1E9\U0001F1EA");
} // namespace

LanguageButton::LanguageButton(LocalizationManager *locManager, QWidget *parent)
    : QPushButton(parent), m_locManager(locManager)
{
    setObjectName(QStringLiteral("languageButton"));
    setFlat(true);
    setAutoDefault(false);
    setCursor(Qt::PointingHandCursor);
    setFont(ViewStyle::font(20));
    setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0px 2px; background: transparent; }"));
    connect(this, &QPushButton::clicked, m_locManager, &LocalizationManager::toggle);
    connect(m_locManager, &LocalizationManager::langChanged, this, &LanguageButton::render);
    render();
}

void LanguageButton::render()
{
    setText(m_locManager->lang() == QLatin1String("de") ? kBritishFlag : kGermanFlag);
    setToolTip(m_locManager->switchTooltip());
}
