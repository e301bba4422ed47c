#pragma once

#include "platform/FolderPicker.h"

#include <QPointer>
#include <QWidget>

// The sync-folder chooser: a directory dialog that may create folders, opened without
// blocking, starting in iCloud Drive when this home has one.
class DialogFolderPicker : public FolderPicker {
public:
    static constexpr QLatin1StringView kICloudDrive{"/Library/Mobile Documents/com~apple~CloudDocs"};

    void setParentWindow(QWidget *window) { m_parentWindow = window; }
    void pickFolder(std::function<void(std::optional<QString>)> completion) override;

    static QString startDirectory();

private:
    QPointer<QWidget> m_parentWindow;
};
