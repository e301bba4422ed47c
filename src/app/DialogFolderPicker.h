#pragma once

#include "platform/FolderPicker.h"

#include <QPointer>
#include <QWidget>

class LocalizationManager;

// The sync-folder chooser: a directory dialog that may create folders, opened without
// blocking, starting in iCloud Drive when this home has one.
class DialogFolderPicker : public FolderPicker {
public:
    static constexpr QLatin1StringView kICloudDrive{"/Library/Mobile Documents/com~apple~CloudDocs"};

    explicit DialogFolderPicker(LocalizationManager *locManager = nullptr) : m_locManager(locManager) {}

    void setParentWindow(QWidget *window) { m_parentWindow = window; }
    void pickFolder(std::function<void(std::optional<QString>)> completion) override;

    static QString startDirectory();

private:
    LocalizationManager *m_locManager;
    QPointer<QWidget> m_parentWindow;
};
