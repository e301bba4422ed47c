#include "DialogFolderPicker.h"

#include "LocalizationManager.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QString DialogFolderPicker::startDirectory()
{
    const QString iCloudDrive = QDir::homePath() + kICloudDrive;
    return QFileInfo::exists(iCloudDrive) ? iCloudDrive : QDir::homePath();
}

void DialogFolderPicker::pickFolder(std::function<void(std::optional<QString>)> completion)
{
    const auto pick = [this](const QString &german, const QString &english) {
        return m_locManager ? m_locManager->pick(german, english) : german;
    };
    // Its other labels are Qt's own, translated with Qt's translations.
    auto *dialog = new QFileDialog(
        m_parentWindow,
        pick(QStringLiteral("Wähle einen Ordner in iCloud Drive, den du auf allen Macs verwenden wirst."),
             QStringLiteral("Choose a folder in iCloud Drive that you will use on all your Macs.")),
        startDirectory());
    dialog->setObjectName(QStringLiteral("syncFolderDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setLabelText(QFileDialog::Accept, pick(QStringLiteral("Ordner wählen"), QStringLiteral("Choose folder")));
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, completion = std::move(completion)](int result) {
        const QStringList chosen = dialog->selectedFiles();
        if (result == QDialog::Accepted && !chosen.isEmpty())
            completion(chosen.constFirst());
        else
            completion(std::nullopt);
    });
    dialog->open();
}
