#include "SyncNotice.h"

#include "platform/Notifier.h"

#include <utility>

namespace {

struct Wording {
    const char16_t *german;
    const char16_t *english;
};

Wording wordingOf(SyncNotice::Kind kind)
{
    switch (kind) {
    case SyncNotice::Kind::Pushed:
        return {u"Dock nach iCloud hochgeladen ✅", u"Dock uploaded to iCloud ✅"};
    case SyncNotice::Kind::PushFailed:
        return {u"❌ Push fehlgeschlagen", u"❌ Push failed"};
    case SyncNotice::Kind::Pulled:
        return {u"Dock von iCloud geladen ✅", u"Dock loaded from iCloud ✅"};
    case SyncNotice::Kind::PullFailed:
        return {u"❌ Pull fehlgeschlagen", u"❌ Pull failed"};
    case SyncNotice::Kind::NothingToPull:
        return {u"⚠️ Keine Dock-Konfiguration im Sync-Ordner gefunden",
                u"⚠️ No Dock configuration found in the sync folder"};
    case SyncNotice::Kind::Conflict: // worded by its cause
        break;
    case SyncNotice::Kind::InSync:
        return {u"Dock bereits synchron ✅", u"Dock already in sync ✅"};
    case SyncNotice::Kind::FolderMissing:
        return {u"❌ Sync-Ordner nicht gefunden — Tandrill synchronisiert nicht, bis er wieder da ist",
                u"❌ Sync folder not found — Tandrill does not sync until it is back"};
    case SyncNotice::Kind::SharedUnavailable:
        return {u"⏳ Das gemeinsame Dock ist noch nicht auf diesem Mac angekommen — Tandrill wartet darauf",
                u"⏳ The shared Dock has not arrived on this Mac yet — Tandrill waits for it"};
    case SyncNotice::Kind::Restored:
        return {u"Sicherung wiederhergestellt ✅", u"Backup restored ✅"};
    case SyncNotice::Kind::RestoreFailed:
        return {u"❌ Wiederherstellen fehlgeschlagen", u"❌ Restore failed"};
    case SyncNotice::Kind::FolderFollowed:
        return {u"Der Sync-Ordner wurde umbenannt oder verschoben — Tandrill nutzt ihn jetzt unter ",
                u"The sync folder was renamed or moved — Tandrill now uses it at "};
    case SyncNotice::Kind::MoreMacsThanPlaces:
        return {u"Willkommen! Jetzt teilen mehr als vier Macs das Dock — Tandrill hält sie alle gleich",
                u"Welcome! More than four Macs now share the Dock — Tandrill keeps all of them alike"};
    }
    return {u"", u""};
}

// The conflict's words use the same verbs as the banner's buttons.
Wording conflictWording(ConflictCause cause)
{
    switch (cause) {
    case ConflictCause::Joining:
        return {u"⚠️ Dieser Mac hat ein anderes Dock als das gemeinsame — "
                u"„Dock dieses Macs behalten“ oder „Gemeinsames Dock verwenden“?",
                u"⚠️ This Mac has a different Dock than the shared one — "
                u"“Keep this Mac's Dock” or “Use the shared Dock”?"};
    case ConflictCause::Overwritten:
        return {u"⚠️ Ein anderer Mac hat das Dock ersetzt, das dieser Mac gerade geteilt hatte — "
                u"„Dock dieses Macs behalten“ oder „Gemeinsames Dock verwenden“?",
                u"⚠️ Another Mac replaced the Dock this Mac had just shared — "
                u"“Keep this Mac's Dock” or “Use the shared Dock”?"};
    case ConflictCause::None:
    case ConflictCause::BothChanged:
        break;
    }
    return {u"⚠️ Das Dock wurde auf diesem Mac und auf einem anderen Mac geändert — "
            u"„Dock dieses Macs behalten“ oder „Gemeinsames Dock verwenden“?",
            u"⚠️ The Dock was changed on this Mac and on another Mac — "
            u"“Keep this Mac's Dock” or “Use the shared Dock”?"};
}

// The engine's German phrases and their English words, longest first where one holds another.
constexpr std::pair<const char16_t *, const char16_t *> kEngineWords[] = {
    {u"Dock übernommen, aber Status-Datei nicht geschrieben: ", u"Dock applied, but the status file was not written: "},
    {u"Meta-Datei nicht geschrieben: ", u"Meta file not written: "},
    {u"Status-Datei nicht geschrieben: ", u"Status file not written: "},
    {u"Sync-Ordner nicht gefunden: ", u"Sync folder not found: "},
    {u"Keine gemeinsame Konfiguration vorhanden", u"No shared Dock in the sync folder"},
    {u"Keine Sicherung namens ", u"No backup named "},
    {u"PUSH FEHLER: ", u"Push failed: "},
    {u"PULL FEHLER: ", u"Pull failed: "},
    {u"RESTORE FEHLER: ", u"Restore failed: "},
    {u"Lokales Dock (", u"Local Dock ("},
    {u" ist noch nicht verfügbar", u" is not available yet"},
    {u" ist keine Dock-Konfiguration", u" is not a Dock configuration"},
    {u" ist größer als 16 MiB", u" is larger than 16 MiB"},
    {u" kann nicht gelesen werden", u" cannot be read"},
    {u": Die Datei im Sync-Ordner ist leer", u": the file in the sync folder is empty"},
    {u": ist ein symbolischer Link und nicht verfügbar", u": is a symbolic link and not available"},
    {u": Die Datei ist größer als ", u": the file is larger than "},
};

} // namespace

QString noticeText(const SyncNotice &notice, QStringView language)
{
    const bool english = language == QLatin1String("en");
    const Wording wording =
        notice.kind == SyncNotice::Kind::Conflict ? conflictWording(notice.cause) : wordingOf(notice.kind);
    QString text = QString::fromUtf16(english ? wording.english : wording.german);
    if (notice.kind == SyncNotice::Kind::FolderFollowed)
        text += notice.detail;
    else if (notice.kind == SyncNotice::Kind::RestoreFailed && !notice.detail.isEmpty())
        text += QLatin1String(": ") + engineMessageText(notice.detail, language);
    return text;
}

QString engineMessageText(const QString &message, QStringView language)
{
    if (language != QLatin1String("en"))
        return message;
    QString text = message;
    for (const auto &[german, english] : kEngineWords)
        text.replace(QString::fromUtf16(german), QString::fromUtf16(english));
    return text;
}

NoticeHandler noticesTo(Notifier *notifier, std::function<QString()> language)
{
    if (!notifier)
        return {};
    return [notifier, language = std::move(language)](const SyncNotice &notice) {
        notifier->send(noticeText(notice, language ? language() : QString()), kNoticeTitle);
    };
}
