#pragma once

#include "DockLayout.h"
#include "SyncEngine.h"

#include <QWidget>

#include <optional>

class LocalizationManager;
class QLabel;
class QRadioButton;
class SyncManager;

// The wizard's answer for a folder that already holds a shared Dock: where it came from, how it
// differs from this Mac's, and whether to use it here (pull, the default) or to share this Mac's
// Dock with all Macs (push). Hidden for a folder without a shared Dock.
class JoinChoice : public QWidget {
    Q_OBJECT

public:
    JoinChoice(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

    // Reads what the folder holds, off the main thread; inspected() follows.
    void inspect(const QString &folder);
    bool isInspecting() const { return m_inspecting; }
    // What set-up runs once it is complete: none when the Docks match or nothing is shared.
    std::optional<SyncEngine::Mode> chosenMode() const;

signals:
    void inspected();

private:
    void render();

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    DockDifference m_difference;
    bool m_inspecting = false;
    quint64 m_generation = 0;
    QLabel *m_origin;
    QLabel *m_changes;
    QRadioButton *m_pull;
    QRadioButton *m_push;
};
