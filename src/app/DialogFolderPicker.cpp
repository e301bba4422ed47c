#include "DialogFolderPicker.h"

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
    // The texts are the same in both languages.
    auto *dialog = new QFileDialog(m_parentWindow,
                                   QStringLiteral("Wähle einen Ordner in iCloud Drive, den du auf allen Macs "
                                                  "verwenden wirst."),
                                   startDirectory());
    dialog->setObjectName(QStringLiteral("syncFolderDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Ordner wählen"));
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, completion = std::move(completion)](int result) {
        const QStringList chosen = dialog->selectedFiles();
        if (result == QDialog::Accepted && !chosen.isEmpty())
            completion(chosen.constFirst());
        else
            completion(std::nullopt);
    });
    dialog->open();
}
