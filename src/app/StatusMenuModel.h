#pragma once

#include "HostInfo.h"
#include "SyncManager.h"

#include <QList>
#include <QMap>
#include <QString>

class LocalizationManager;

// What the tray item shows, read from the coordinator when the menu is built.
struct StatusMenuState {
    SyncProblem problem = SyncProblem::None;
    ConflictCause conflictCause = ConflictCause::None;
    QString problemMessage;
    bool daemonRunning = false;
    bool isSyncing = false;
    QString lastSuccessfulSync; // "—" before the first

    QList<HostInfo> connectedHosts;
    QMap<QString, QString> hostCustomNames;
    bool hasSyncFolder = true; // without one, the sync rows are shown disabled and say why
};

// One row of the tray menu, as a person sees it.
struct StatusMenuRow {
    enum class Kind { Item, Separator };
    enum class Command { None, Push, Pull, Auto, StartDaemon, StopDaemon, OpenWindow, Quit };
    enum class Tint { Plain, Orange, Green, Red, Secondary };

    Kind kind = Kind::Item;
    QString title;                   // plain text, shown as typed
    QString toolTip;                 // plain text; empty for none
    Command command = Command::None; // rows without a command are disabled
    Tint tint = Tint::Plain;
    int fontPixelSize = 0; // 0: the menu's own font
    bool bold = false;
    bool unavailable = false; // a command that cannot run now; its tooltip says why

    bool enabled() const { return command != Command::None && !unavailable; }
};

// The tray item's title colour, tooltip and menu rows for a state, in the current language.
// A missing localization manager gives the German texts.
class StatusMenuModel {
public:
    static QList<StatusMenuRow> rows(const StatusMenuState &state, const LocalizationManager *loc);

    // A problem before running before stopped.
    static StatusMenuRow::Tint buttonTint(const StatusMenuState &state);
    static QString buttonToolTip(const StatusMenuState &state, const LocalizationManager *loc);

    static QString hostTitle(const HostInfo &host, const QMap<QString, QString> &customNames,
                             const LocalizationManager *loc);
    static QString hostToolTip(const HostInfo &host, const QMap<QString, QString> &customNames,
                               const LocalizationManager *loc);
};
