#include "SyncNotice.h"

#include "platform/Notifier.h"

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
    case SyncNotice::Kind::Conflict:
        return {u"⚠️ Konflikt erkannt — bitte Push oder Pull manuell wählen",
                u"⚠️ Conflict detected — please choose Push or Pull manually"};
    case SyncNotice::Kind::InSync:
        return {u"Dock bereits synchron ✅", u"Dock already in sync ✅"};
    case SyncNotice::Kind::FolderMissing:
        return {u"❌ Sync-Ordner nicht gefunden", u"❌ Sync folder not found"};
    }
    return {u"", u""};
}

} // namespace

QString noticeText(const SyncNotice &notice, QStringView language)
{
    const Wording wording = wordingOf(notice.kind);
    return QString::fromUtf16(language == QLatin1String("en") ? wording.english : wording.german);
}

NoticeHandler noticesTo(Notifier *notifier, std::function<QString()> language)
{
    if (!notifier)
        return {};
    return [notifier, language = std::move(language)](const SyncNotice &notice) {
        notifier->send(noticeText(notice, language ? language() : QString()), kNoticeTitle);
    };
}
