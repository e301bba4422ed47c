#include "LogTab.h"

#include "LocalizedText.h"
#include "LogRow.h"
#include "RoundedPanel.h"
#include "SymbolIcons.h"
#include "SymbolView.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

LogTab::LogTab(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : QWidget(parent), m_syncManager(syncManager), m_locManager(locManager), m_count(ViewStyle::label(this, 11)),
      m_reload(new QToolButton(this)), m_clear(new QPushButton(this)), m_listArea(new QStackedWidget(this))
{
    setObjectName(QStringLiteral("logTab"));
    m_count->setObjectName(QStringLiteral("logCount"));
    ViewStyle::setTextColor(m_count, ViewStyle::secondaryText(this));
    m_reload->setObjectName(QStringLiteral("reloadLogButton"));
    m_reload->setIcon(SymbolIcons::icon(QStringLiteral("arrow.clockwise"), ViewStyle::primaryText(this)));
    m_reload->setIconSize(QSize(14, 14));
    ViewStyle::makeBorderless(m_reload);
    connect(m_reload, &QToolButton::clicked, m_syncManager, &SyncManager::refreshAll);
    m_clear->setObjectName(QStringLiteral("clearLogButton"));
    ViewStyle::makeBordered(m_clear, 11);
    ViewStyle::setButtonTextColor(m_clear, ViewStyle::red()); // a destructive action
    connect(m_clear, &QPushButton::clicked, this, &LogTab::askToClear);

    auto *header = new QHBoxLayout;
    header->addWidget(m_count);
    header->addStretch(1);
    header->addWidget(m_reload);
    header->addWidget(m_clear);

    m_listArea->setObjectName(QStringLiteral("logListArea"));
    m_listArea->addWidget(buildEmptyState());
    m_listArea->addWidget(buildList());

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addLayout(header);
    column->addWidget(m_listArea, 1);
    column->addWidget(buildFootnote());

    connect(m_syncManager, &SyncManager::logLinesChanged, this, &LogTab::renderLines);
    connect(m_locManager, &LocalizationManager::langChanged, this, &LogTab::retranslate);
    renderLines();
    retranslate();
}

QWidget *LogTab::buildEmptyState()
{
    m_emptyState = new QWidget;
    m_emptyState->setObjectName(QStringLiteral("logEmptyState"));
    m_emptyText = ViewStyle::label(m_emptyState, 13);
    m_emptyText->setObjectName(QStringLiteral("logEmptyText"));
    ViewStyle::setTextColor(m_emptyText, ViewStyle::secondaryText(this));
    auto *column = new QVBoxLayout(m_emptyState);
    column->setSpacing(8);
    column->addStretch(1);
    column->addWidget(new SymbolView(QStringLiteral("doc.text"), 40,
                                     ViewStyle::withOpacity(ViewStyle::secondaryText(this), 0.5), m_emptyState),
                      0, Qt::AlignHCenter);
    column->addWidget(m_emptyText, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return m_emptyState;
}

QWidget *LogTab::buildList()
{
    auto *panel = new RoundedPanel;
    panel->setObjectName(QStringLiteral("logList"));
    panel->setFill(ViewStyle::controlBackground(this));
    panel->setRadius(8);
    m_list = new QWidget;
    m_list->setObjectName(QStringLiteral("logRows"));
    m_rows = new QVBoxLayout(m_list);
    m_rows->setContentsMargins(0, 6, 0, 6);
    m_rows->setSpacing(2);
    m_rows->addStretch(1);
    auto *scroll = new QScrollArea(panel);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setWidget(m_list);
    m_list->setAutoFillBackground(false); // setWidget turned it on
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    return panel;
}

QWidget *LogTab::buildFootnote()
{
    auto *panel = new RoundedPanel;
    panel->setObjectName(QStringLiteral("logFootnote"));
    panel->setFill(ViewStyle::withOpacity(ViewStyle::controlBackground(this), 0.6));
    panel->setRadius(6);
    const QColor faint = ViewStyle::withOpacity(ViewStyle::secondaryText(this), 0.6);
    m_footnote = ViewStyle::label(panel, 10);
    m_footnote->setObjectName(QStringLiteral("logFootnoteText"));
    m_footnote->setWordWrap(true);
    ViewStyle::setTextColor(m_footnote, faint);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 5, 6, 5);
    row->setSpacing(6);
    row->addWidget(new SymbolView(QStringLiteral("info.circle"), 10, faint, panel), 0, Qt::AlignTop);
    row->addWidget(m_footnote, 1);
    return panel;
}

void LogTab::retranslate()
{
    renderCount();
    for (LogRow *row : m_list->findChildren<LogRow *>(QString(), Qt::FindDirectChildrenOnly))
        row->retranslate();
    m_reload->setToolTip(localized(m_locManager, "Log neu laden", "Reload log"));
    m_clear->setText(localized(m_locManager, "Log leeren", "Clear log"));
    m_clear->setToolTip(localized(m_locManager, "Alle Log-Einträge löschen", "Delete all log entries"));
    m_emptyText->setText(localized(m_locManager, "Kein Log vorhanden", "No log entries"));
    m_footnote->setText(localized(
        m_locManager,
        "Angezeigt werden die letzten 80 Einträge aller Macs. Jeder Mac begrenzt seine Log-Datei auf 500 Zeilen.",
        "Showing the last 80 entries of all Macs. Each Mac caps its log file at 500 lines."));
}

void LogTab::askToClear()
{
    if (findChild<QMessageBox *>(QStringLiteral("clearLogDialog")))
        return;
    // The log is shared: clearing it here clears it for every Mac.
    auto *dialog = new QMessageBox(this);
    dialog->setObjectName(QStringLiteral("clearLogDialog"));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setTextFormat(Qt::PlainText);
    const QString title = localized(m_locManager, "Log leeren?", "Clear Log?");
    dialog->setWindowTitle(title);
    dialog->setText(title);
    dialog->setInformativeText(localized(m_locManager, "Das Log wird im Sync-Ordner gelöscht, also auf allen Macs.",
                                         "The log is deleted in the sync folder, so on all Macs."));
    QPushButton *clear = dialog->addButton(localized(m_locManager, "Leeren", "Clear"), QMessageBox::DestructiveRole);
    clear->setObjectName(QStringLiteral("confirmClearLogButton"));
    ViewStyle::setButtonTextColor(clear, ViewStyle::red(this));
    QPushButton *cancel = dialog->addButton(localized(m_locManager, "Abbrechen", "Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelClearLogButton"));
    dialog->setDefaultButton(cancel);
    dialog->setEscapeButton(cancel);
    QPointer<SyncManager> mgr(m_syncManager);
    connect(dialog, &QMessageBox::finished, this, [dialog, clear, mgr] {
        if (dialog->clickedButton() == clear && mgr)
            mgr->clearLog();
    });
    dialog->open();
}

void LogTab::renderLines()
{
    const QList<LogEntry> entries = m_syncManager->logLines();
    renderCount();
    m_listArea->setCurrentWidget(entries.isEmpty() ? m_emptyState : m_listArea->widget(1));

    QStringList lines;
    lines.reserve(entries.size());
    for (const LogEntry &entry : entries)
        lines.append(entry.raw);
    // Every refresh re-reads the log; rows are rebuilt only when it changed,
    // so the scroll position and a selection survive.
    if (lines == m_shownLines)
        return;
    m_shownLines = lines;
    while (m_rows->count() > 1) {
        QLayoutItem *item = m_rows->takeAt(0);
        delete item->widget();
        delete item;
    }
    for (qsizetype i = 0; i < entries.size(); ++i)
        m_rows->insertWidget(static_cast<int>(i), new LogRow(entries[i], m_locManager, m_list));
}

void LogTab::renderCount()
{
    m_count->setText(QString::number(m_syncManager->logLines().size()) +
                     localized(m_locManager, " Einträge", " entries"));
}
