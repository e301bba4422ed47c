#include "HostNameRow.h"

#include "HostDisplayName.h"
#include "LocalizedText.h"
#include "ProminentButton.h"
#include "SymbolIcons.h"
#include "SymbolView.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

HostNameRow::HostNameRow(const HostInfo &host, SyncManager *syncManager, LocalizationManager *locManager,
                         QWidget *parent)
    : QWidget(parent), m_host(host), m_syncManager(syncManager), m_locManager(locManager),
      m_machine(new SymbolView(QString(), 18, ViewStyle::blue(), this)),
      m_hostname(ViewStyle::label(this, 10, QFont::Normal, ViewStyle::Design::Monospaced)),
      m_displayName(ViewStyle::label(this, 11))
{
    m_idleControls = buildIdleControls();
    m_editControls = buildEditControls();
    setObjectName(QStringLiteral("hostNameRow"));
    m_hostname->setObjectName(QStringLiteral("rowHostname"));
    ViewStyle::setTextColor(m_hostname, ViewStyle::secondaryText(this));
    m_displayName->setObjectName(QStringLiteral("rowDisplayName"));

    auto *names = new QVBoxLayout;
    names->setSpacing(1);
    names->addWidget(m_hostname);
    names->addWidget(m_displayName);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 2);
    row->setSpacing(8);
    row->addWidget(m_machine);
    row->addLayout(names, 1);
    row->addWidget(m_idleControls);
    row->addWidget(m_editControls);

    connect(m_syncManager, &SyncManager::hostCustomNamesChanged, this, &HostNameRow::render);
    connect(m_locManager, &LocalizationManager::langChanged, this, &HostNameRow::render);
    render();
}

QWidget *HostNameRow::buildIdleControls()
{
    auto *idle = new QWidget(this);
    m_edit = new QPushButton(idle);
    m_edit->setObjectName(QStringLiteral("editNameButton"));
    ViewStyle::makeBordered(m_edit, 11);
    connect(m_edit, &QPushButton::clicked, this, &HostNameRow::beginEditing);
    m_clearName = new QToolButton(idle);
    m_clearName->setObjectName(QStringLiteral("clearNameButton"));
    m_clearName->setIcon(SymbolIcons::icon(QStringLiteral("xmark.circle"), ViewStyle::secondaryText(this)));
    ViewStyle::makeBorderless(m_clearName);
    connect(m_clearName, &QToolButton::clicked, this,
            [this] { m_syncManager->setDisplayName(QString(), m_host.hostname); });
    m_trash = new QToolButton(idle);
    m_trash->setObjectName(QStringLiteral("removeHostButton"));
    m_trash->setIcon(SymbolIcons::icon(QStringLiteral("trash"), ViewStyle::secondaryText(this)));
    ViewStyle::makeBorderless(m_trash);
    connect(m_trash, &QToolButton::clicked, this, &HostNameRow::askToRemove);
    auto *layout = new QHBoxLayout(idle);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_edit);
    layout->addWidget(m_clearName);
    layout->addWidget(m_trash);
    return idle;
}

QWidget *HostNameRow::buildEditControls()
{
    auto *editing = new QWidget(this);
    m_nameField = new QLineEdit(editing);
    m_nameField->setObjectName(QStringLiteral("nameField"));
    m_nameField->setFixedWidth(140);
    m_nameField->setFont(ViewStyle::font(12));
    connect(m_nameField, &QLineEdit::textEdited, this, [this](const QString &text) { m_editingName = text; });
    connect(m_nameField, &QLineEdit::returnPressed, this, &HostNameRow::save);
    m_ok = new ProminentButton(QStringLiteral("OK"), ViewStyle::blue(), 12, editing);
    m_ok->setObjectName(QStringLiteral("saveNameButton"));
    connect(m_ok, &QPushButton::clicked, this, &HostNameRow::save);
    m_cancel = new QPushButton(editing);
    m_cancel->setObjectName(QStringLiteral("cancelNameButton"));
    ViewStyle::makeBordered(m_cancel, 12);
    connect(m_cancel, &QPushButton::clicked, this, &HostNameRow::cancelEditing);
    auto *layout = new QHBoxLayout(editing);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(m_nameField);
    layout->addWidget(m_ok);
    layout->addWidget(m_cancel);
    return editing;
}

void HostNameRow::setHost(const HostInfo &host)
{
    m_host = host;
    render();
}

void HostNameRow::render()
{
    const auto custom = HostDisplayName::customName(m_syncManager->hostCustomNames(), m_host.hostname);
    m_machine->setSymbol(m_host.isThisMac ? QStringLiteral("desktopcomputer") : QStringLiteral("laptopcomputer"));
    m_machine->setColor(m_host.isThisMac ? ViewStyle::blue() : ViewStyle::purple());
    m_hostname->setText(m_host.hostname);
    m_displayName->setText(custom.value_or(m_host.hostname));
    m_displayName->setFont(ViewStyle::font(11, custom ? QFont::Medium : QFont::Normal));
    m_displayName->setVisible(!m_isEditing);
    m_idleControls->setVisible(!m_isEditing);
    m_editControls->setVisible(m_isEditing);

    m_edit->setText(custom ? localized(m_locManager, "Ändern", "Edit")
                           : localized(m_locManager, "Name vergeben", "Assign Name"));
    m_clearName->setVisible(custom.has_value());
    m_clearName->setToolTip(localized(m_locManager, "Anzeigenamen entfernen", "Remove display name"));
    m_trash->setToolTip(m_host.isThisMac
                            ? localized(m_locManager,
                                        "Diesen Mac aus der Liste der Macs entfernen. Er erscheint beim nächsten Sync "
                                        "wieder.",
                                        "Remove this Mac from the list of Macs. It appears again at its next sync.")
                            : localized(m_locManager, "Diesen Mac aus der Liste der Macs entfernen",
                                        "Remove this Mac from the list of Macs"));
    m_nameField->setPlaceholderText(localized(m_locManager, "Anzeigename", "Display name"));
    m_cancel->setText(localized(m_locManager, "Abbrechen", "Cancel"));
}

void HostNameRow::beginEditing()
{
    m_editingName = HostDisplayName::customName(m_syncManager->hostCustomNames(), m_host.hostname).value_or(QString());
    m_nameField->setText(m_editingName);
    m_isEditing = true;
    render();
    m_nameField->setFocus();
    m_nameField->selectAll();
}

void HostNameRow::save()
{
    // The coordinator trims the name and drops it when nothing is left.
    const QString name = m_editingName;
    m_isEditing = false;
    m_editingName.clear();
    render();
    m_syncManager->setDisplayName(name, m_host.hostname);
}

void HostNameRow::cancelEditing()
{
    m_isEditing = false;
    m_editingName.clear();
    render();
}

void HostNameRow::askToRemove()
{
    if (m_confirmDelete)
        return;
    m_confirmDelete = true;
    const QString name = HostDisplayName::of(m_syncManager->hostCustomNames(), m_host.hostname);
    const QString title = m_locManager->pick(QStringLiteral("«") + name + QStringLiteral("» entfernen?"),
                                             QStringLiteral("Remove “") + name + QStringLiteral("”?"));
    auto *dialog = new QMessageBox(this);
    m_removeDialog = dialog;
    dialog->setObjectName(QStringLiteral("removeHostDialog"));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    dialog->setTextFormat(Qt::PlainText);
    dialog->setText(title);
    dialog->setInformativeText(
        m_host.isThisMac ? localized(m_locManager,
                                     "Deine Status-Datei wird gelöscht. Dieser Mac registriert sich beim nächsten Sync "
                                     "automatisch wieder.",
                                     "Your status file will be deleted. This Mac will re-register automatically on the "
                                     "next sync.")
                         : localized(m_locManager, "Die Status-Datei dieses Macs wird aus dem iCloud-Ordner gelöscht.",
                                     "This Mac's status file will be deleted from the iCloud folder."));
    QPushButton *remove =
        dialog->addButton(localized(m_locManager, "Entfernen", "Remove"), QMessageBox::DestructiveRole);
    remove->setObjectName(QStringLiteral("confirmRemoveButton"));
    ViewStyle::setButtonTextColor(remove, ViewStyle::red());
    QPushButton *cancel = dialog->addButton(localized(m_locManager, "Abbrechen", "Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelRemoveButton"));
    dialog->setDefaultButton(cancel);
    dialog->setEscapeButton(cancel);
    connect(dialog, &QMessageBox::buttonClicked, this,
            [this, remove](QAbstractButton *button) { closeRemoveDialog(button == remove); });
    connect(dialog, &QMessageBox::rejected, this, [this] { closeRemoveDialog(false); });
    dialog->open();
}

void HostNameRow::closeRemoveDialog(bool remove)
{
    if (!m_confirmDelete)
        return;
    m_confirmDelete = false;
    if (remove)
        m_syncManager->removeHost(m_host.hostname);
}
