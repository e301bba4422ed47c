#pragma once

#include "HostInfo.h"

#include <QPointer>
#include <QWidget>

class LocalizationManager;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QToolButton;
class SymbolView;
class SyncManager;

// One Mac in the settings' name list: its host name, its display name, and buttons to name it,
// rename it, drop the name or remove the Mac from the sync folder (after a confirmation).
class HostNameRow : public QWidget {
    Q_OBJECT

public:
    HostNameRow(const HostInfo &host, SyncManager *syncManager, LocalizationManager *locManager,
                QWidget *parent = nullptr);

    void setHost(const HostInfo &host); // keeps an edit in progress
    const HostInfo &host() const { return m_host; }
    bool isEditing() const { return m_isEditing; }

private:
    QWidget *buildIdleControls();
    QWidget *buildEditControls();
    void render();
    void beginEditing();
    void save();
    void cancelEditing();
    void askToRemove();
    void closeRemoveDialog(bool remove);

    HostInfo m_host;
    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    QString m_editingName;
    bool m_isEditing = false;
    bool m_confirmDelete = false;

    SymbolView *m_machine;
    QLabel *m_hostname;
    QLabel *m_displayName;
    QWidget *m_idleControls = nullptr;
    QWidget *m_editControls = nullptr;
    QPushButton *m_edit = nullptr;
    QToolButton *m_clearName = nullptr;
    QToolButton *m_trash = nullptr;
    QLineEdit *m_nameField = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    QPointer<QMessageBox> m_removeDialog;
};
