#include "SameNameNotice.h"

#include "LocalizedText.h"
#include "SymbolView.h"
#include "SyncFormat.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

SameNameNotice::SameNameNotice(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : RoundedPanel(parent), m_syncManager(syncManager), m_locManager(locManager),
      m_title(ViewStyle::label(this, 13, QFont::DemiBold)), m_text(ViewStyle::label(this, 11))
{
    setObjectName(QStringLiteral("sameNameNotice"));
    setFill(ViewStyle::withOpacity(ViewStyle::orange(), 0.08));
    setStroke(ViewStyle::withOpacity(ViewStyle::orange(), 0.3));
    setRadius(10);
    m_title->setObjectName(QStringLiteral("sameNameTitle"));
    m_title->setTextFormat(Qt::PlainText); // the name comes from the shared folder
    m_text->setObjectName(QStringLiteral("sameNameText"));
    m_text->setWordWrap(true);
    ViewStyle::setTextColor(m_text, ViewStyle::secondaryText(this));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(m_title);
    texts->addWidget(m_text);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);
    row->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 20, ViewStyle::orange(), this), 0,
                   Qt::AlignTop);
    row->addLayout(texts, 1);

    connect(m_syncManager, &SyncManager::connectedHostsChanged, this, &SameNameNotice::redraw);
    connect(m_locManager, &LocalizationManager::langChanged, this, &SameNameNotice::redraw);
    redraw();
}

void SameNameNotice::redraw()
{
    const bool shown = m_syncManager->nameUsedByAnotherMac();
    setVisible(shown);
    if (!shown)
        return;
    const QString name = SyncFormat::cleanHostName(m_syncManager->myHostname());
    m_title->setText(localized(m_locManager, "Zwei Macs heißen „%1“", "Two Macs are named “%1”").arg(name));
    m_text->setText(localized(m_locManager,
                              "Sie schreiben dieselbe Status-Datei, und Tandrill hält sie für einen Mac. Gib einem "
                              "der beiden einen anderen Namen: Systemeinstellungen → Allgemein → Info → Name.",
                              "They write the same status file, and Tandrill takes them for one Mac. Give one of "
                              "them another name: System Settings → General → About → Name."));
}
