#include "UpdateDialog.h"

#include "LocalizationManager.h"

#include <QMessageBox>
#include <QPushButton>

UpdateDialog::UpdateDialog(LocalizationManager *locManager, std::function<void(const QUrl &)> openUrl)
    : m_locManager(locManager), m_openUrl(std::move(openUrl))
{}

QString UpdateDialog::pick(const QString &german, const QString &english) const
{
    return m_locManager ? m_locManager->pick(german, english) : german;
}

void UpdateDialog::present(const UpdateCheckResult &result)
{
    delete m_box;
    auto *box = new QMessageBox(m_parentWindow);
    box->setObjectName(QStringLiteral("updateDialog"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Tandrill"));
    // The error comes from the network or the feed: shown as typed.
    box->setTextFormat(Qt::PlainText);
    m_box = box;

    using Outcome = UpdateCheckResult::Outcome;
    switch (result.outcome) {
    case Outcome::UpToDate:
        box->setIcon(QMessageBox::Information);
        box->setText(pick(QStringLiteral("Tandrill ist auf dem neuesten Stand.\n\nVersion %1 ist die neueste Version.")
                              .arg(result.currentVersion),
                          QStringLiteral("You’re up to date!\n\nTandrill %1 is currently the newest version available.")
                              .arg(result.currentVersion)));
        box->addButton(QMessageBox::Ok);
        break;
    case Outcome::UpdateAvailable: {
        box->setIcon(QMessageBox::Information);
        box->setText(pick(QStringLiteral("Version %1 von Tandrill ist verfügbar.\n\nDu hast Version %2.")
                              .arg(result.availableVersion, result.currentVersion),
                          QStringLiteral("Version %1 of Tandrill is available.\n\nYou have version %2.")
                              .arg(result.availableVersion, result.currentVersion)));
        QPushButton *download =
            box->addButton(pick(QStringLiteral("Download-Seite öffnen"), QStringLiteral("Open Download Page")),
                           QMessageBox::AcceptRole);
        download->setObjectName(QStringLiteral("openDownloadPage"));
        download->setEnabled(result.downloadPage.isValid() && !result.downloadPage.isEmpty());
        box->addButton(pick(QStringLiteral("Später"), QStringLiteral("Later")), QMessageBox::RejectRole);
        box->setDefaultButton(download);
        const QUrl page = result.downloadPage;
        QObject::connect(download, &QPushButton::clicked, box, [openUrl = m_openUrl, page] {
            if (openUrl)
                openUrl(page);
        });
        break;
    }
    case Outcome::Failed:
        box->setIcon(QMessageBox::Warning);
        box->setText(pick(QStringLiteral("Die Suche nach Updates ist fehlgeschlagen.\n\n"),
                          QStringLiteral("The update check failed.\n\n")) +
                     result.error);
        box->addButton(QMessageBox::Ok);
        break;
    }
    box->show();
    box->raise();
    box->activateWindow();
}
