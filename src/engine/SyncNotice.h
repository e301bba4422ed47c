#pragma once

#include <QString>

#include <functional>

class Notifier;

// Why a conflict was flagged, so each can be worded for what the user did.
enum class ConflictCause {
    None,
    BothChanged, // this Mac's Dock and the shared one both changed since they last agreed
    Joining,     // this Mac never agreed with the shared Dock and holds another one
    Overwritten, // this Mac's own push was replaced by another Mac's before any Mac followed it
};

// What the engine tells the user, as a value: the app words it in the interface language, the
// command-line tool in German. The shared log keeps its own German lines.
struct SyncNotice {
    enum class Kind {
        Pushed,
        PushFailed,
        Pulled,
        PullFailed,
        NothingToPull, // the sync folder holds no Dock copy
        Conflict,
        InSync,
        FolderMissing, // the sync folder is not there
        // The coordinator's own notices, for what it finds around the engine's runs:
        SharedUnavailable,  // a shared file is there but cannot be read yet; detail: the engine's words
        Restored,           // a backup was applied; detail: its file name
        RestoreFailed,      // detail: the engine's words
        FolderFollowed,     // the sync folder was renamed or moved and is used where it is now; detail: the path
        MoreMacsThanPlaces, // a fifth Mac joined, more than the set-up speaks of
    };

    Kind kind;
    QString detail; // the error or path behind a failure, for whoever wants it; not part of the text
    ConflictCause cause = ConflictCause::None; // with Kind::Conflict

    bool operator==(const SyncNotice &) const = default;
};

using NoticeHandler = std::function<void(const SyncNotice &)>;

inline constexpr QLatin1StringView kNoticeTitle{"Tandrill"};

// The notification text: English for "en", German for every other code.
QString noticeText(const SyncNotice &notice, QStringView language);

// The engine words its errors in German, as the shared log keeps them. For "en" the known
// phrases are put in English; names and system error texts inside them stay as they are.
QString engineMessageText(const QString &message, QStringView language);

// Words every notice in the language that language() gives at that moment (German when it is
// empty) and posts it through notifier with the title "Tandrill". Notices come from the engine's
// worker thread, so language must be safe to call there.
NoticeHandler noticesTo(Notifier *notifier, std::function<QString()> language = {});
