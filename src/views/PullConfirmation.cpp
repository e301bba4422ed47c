#include "PullConfirmation.h"

#include "DockChangeText.h"
#include "LocalizedText.h"
#include "SyncManager.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>

void PullConfirmation::pullAfterAsking(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
{
    const DockDifference difference = syncManager->dockDifference();
    if (difference.result != DockDifference::Result::Different) {
        syncManager->performSync(SyncEngine::Mode::Pull);
        return;
    }
    auto *dialog = new PullConfirmation(difference, locManager, parent);
    QPointer<SyncManager> mgr(syncManager);
    connect(dialog, &QMessageBox::finished, dialog, [dialog, mgr] {
        if (dialog->clickedButton() == dialog->pullButton() && mgr)
            mgr->performSync(SyncEngine::Mode::Pull);
    });
    dialog->open();
    if (!parent) {
        // From the tray: bring it before whatever the user is working in.
        dialog->raise();
        dialog->activateWindow();
    }
}

PullConfirmation::PullConfirmation(const DockDifference &difference, LocalizationManager *locManager, QWidget *parent)
    : QMessageBox(parent)
{
    setObjectName(QStringLiteral("pullConfirmation"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    setIcon(QMessageBox::Question);
    const QString title = localized(locManager, "Gemeinsames Dock übernehmen?", "Use the shared Dock?");
    setWindowTitle(title);
    setTextFormat(Qt::PlainText);
    setText(title);

    QStringList lines;
    const QString pushed = DockChangeText::pushedBy(difference, locManager);
    lines.append(pushed.isEmpty()
                     ? localized(locManager, "Das Dock dieses Macs wird durch das gemeinsame ersetzt:",
                                 "This Mac's Dock will be replaced by the shared one:")
                     : localized(locManager, "Das Dock dieses Macs wird durch das gemeinsame ersetzt (von ",
                                 "This Mac's Dock will be replaced by the shared one (from ") +
                           pushed + QStringLiteral("):"));
    for (const QString &line : DockChangeText::details(difference, locManager))
        lines.append(QStringLiteral("• ") + line);
    if (!difference.appsNotInstalled.isEmpty())
        lines << QString()
              << localized(locManager, "⚠ Auf diesem Mac nicht installiert (im Dock mit Fragezeichen): ",
                           "⚠ Not installed on this Mac (shown with a question mark in the Dock): ") +
                     difference.appsNotInstalled.join(QStringLiteral(", "));
    if (const QString kept = DockChangeText::lookKeptLocal(difference, locManager); !kept.isEmpty())
        lines << QString() << kept;
    lines << QString()
          << localized(locManager, "Vorher wird das aktuelle Dock gesichert.", "The current Dock is backed up first.");
    setInformativeText(lines.join(QLatin1Char('\n')));
    // App names come from the shared folder: never rich text.
    if (auto *informative = findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);

    m_pull = addButton(QStringLiteral("Pull"), QMessageBox::AcceptRole);
    m_pull->setObjectName(QStringLiteral("confirmPullButton"));
    QPushButton *cancel = addButton(localized(locManager, "Abbrechen", "Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelPullButton"));
    setDefaultButton(m_pull);
    setEscapeButton(cancel);
}
