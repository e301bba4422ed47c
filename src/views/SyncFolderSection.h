#pragma once

#include "RoundedPanel.h"

class ElidedLabel;
class FolderProbe;
class HeadingLabel;
class LocalizationManager;
class QLabel;
class QPushButton;
class SymbolView;
class SyncManager;

// The settings' sync-folder box: the folder's path, whether it exists, the note that every Mac
// must use the same folder, and the button that starts a change of folder.
class SyncFolderSection : public RoundedPanel {
    Q_OBJECT

public:
    SyncFolderSection(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

    // Shows the path and asks again, off the interface thread, whether the folder exists.
    void redraw();

signals:
    void changeFolderRequested();

private:
    void retranslate();
    void showCheck(const QString &path, bool exists);

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    FolderProbe *m_probe;
    HeadingLabel *m_heading;
    ElidedLabel *m_path;
    QWidget *m_check;
    SymbolView *m_checkIcon;
    QLabel *m_checkText;
    QLabel *m_note;
    QPushButton *m_change;
    bool m_hasAnswer = false;
    bool m_exists = false;
};
