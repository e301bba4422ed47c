#include "JoinChoice.h"

#include "DockChangeText.h"
#include "LocalizedText.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
// Button texts treat "&" as a mnemonic marker; a host name is shown as typed.
QString plainButtonText(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}
} // namespace

JoinChoice::JoinChoice(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : QWidget(parent), m_syncManager(syncManager), m_locManager(locManager), m_origin(ViewStyle::label(this, 12)),
      m_changes(ViewStyle::label(this, 11)), m_pull(new QRadioButton(this)), m_push(new QRadioButton(this))
{
    setObjectName(QStringLiteral("joinChoice"));
    m_origin->setObjectName(QStringLiteral("joinOrigin"));
    m_origin->setWordWrap(true);
    m_changes->setObjectName(QStringLiteral("joinChanges"));
    m_changes->setWordWrap(true);
    ViewStyle::setTextColor(m_changes, ViewStyle::secondaryText(this));
    m_pull->setObjectName(QStringLiteral("joinPullChoice"));
    m_push->setObjectName(QStringLiteral("joinPushChoice"));
    m_pull->setChecked(true); // the other Macs' Dock is kept unless the user says otherwise
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 4, 0, 0);
    column->setSpacing(6);
    column->addWidget(m_origin);
    column->addWidget(m_changes);
    column->addWidget(m_pull);
    column->addWidget(m_push);
    connect(m_locManager, &LocalizationManager::langChanged, this, &JoinChoice::render);
    render();
}

void JoinChoice::inspect(const QString &folder)
{
    m_inspecting = true;
    m_difference = DockDifference();
    render();
    // A later choice of folder makes an answer still on its way stale.
    const quint64 generation = ++m_generation;
    QPointer<JoinChoice> self(this);
    m_syncManager->inspectFolder(folder, [self, generation](const DockDifference &difference) {
        JoinChoice *choice = self.data();
        if (!choice || generation != choice->m_generation)
            return;
        choice->m_inspecting = false;
        choice->m_difference = difference;
        choice->m_pull->setChecked(true);
        choice->render();
        emit choice->inspected();
    });
}

std::optional<SyncEngine::Mode> JoinChoice::chosenMode() const
{
    if (m_inspecting || m_difference.result != DockDifference::Result::Different)
        return std::nullopt;
    return m_push->isChecked() ? SyncEngine::Mode::Push : SyncEngine::Mode::Pull;
}

void JoinChoice::render()
{
    using Result = DockDifference::Result;
    const bool shared =
        !m_inspecting && (m_difference.result == Result::Same || m_difference.result == Result::Different);
    setVisible(shared);
    if (!shared)
        return;
    const QString pushed = DockChangeText::pushedBy(m_difference, m_locManager);
    m_origin->setText(pushed.isEmpty()
                          ? localized(m_locManager, "Dieser Ordner enthält schon ein gemeinsames Dock.",
                                      "This folder already holds a shared Dock.")
                          : localized(m_locManager, "Dieser Ordner enthält schon ein gemeinsames Dock, geteilt von ",
                                      "This folder already holds a shared Dock, shared by ") +
                                pushed + QLatin1Char('.'));
    const bool different = m_difference.result == Result::Different;
    m_changes->setText(
        different
            ? localized(m_locManager, "Es weicht vom Dock dieses Macs ab: ", "It differs from this Mac's Dock: ") +
                  DockChangeText::summary(m_difference, m_locManager)
            : localized(m_locManager, "Es gleicht dem Dock dieses Macs.", "It matches this Mac's Dock."));
    const QString host = m_difference.pushedBy;
    m_pull->setText(host.isEmpty() ? localized(m_locManager, "Gemeinsames Dock verwenden", "Use the shared Dock")
                                   : plainButtonText(localized(m_locManager, "Dock von ", "Use the Dock from ") + host +
                                                     localized(m_locManager, " verwenden", "")));
    m_push->setText(
        localized(m_locManager, "Dock dieses Macs auf allen Macs verwenden", "Use this Mac's Dock on all Macs"));
    m_pull->setVisible(different);
    m_push->setVisible(different);
}
