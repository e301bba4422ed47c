// tandrill-cli: the same engine as the app, for scripts and for tests that drive it as a process.

#include "CheckedDockPreferences.h"
#include "HostInfo.h"
#include "LogEntry.h"
#include "SafeFile.h"
#include "SharedLog.h"
#include "SyncEngine.h"
#include "SyncFormat.h"
#include "platform/CloudFiles.h"
#include "platform/DockPreferences.h"
#include "platform/HostName.h"
#include "platform/MachineIdentity.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QMutex>
#include <QSettings>
#include <QTranslator>

#include <cstdio>

namespace {

enum ExitCode { Success = 0, Failure = 1, UsageError = 2, ConflictFound = 3 };

// The language of plain output, as the environment asks for messages (LC_ALL before LC_MESSAGES
// before LANG): "de" for German, "en" for everything else. JSON output is the same in both.
QString outputLanguage()
{
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            return value.startsWith(QLatin1String("de")) ? QStringLiteral("de") : QStringLiteral("en");
    }
    return QStringLiteral("en");
}

const QString &language()
{
    static const QString chosen = outputLanguage();
    return chosen;
}

// Plain output's own words in the environment's language.
QString says(const char *german, const char *english)
{
    return QString::fromUtf8(language() == QLatin1String("de") ? german : english);
}

// The engine's notices, worded when printed: German in JSON as always, the environment's language
// in plain output.
class CollectingNotices {
public:
    NoticeHandler handler()
    {
        return [this](const SyncNotice &notice) {
            const QMutexLocker lock(&m_mutex);
            m_notices.append(notice);
        };
    }
    QStringList bodies(QStringView language) const
    {
        const QMutexLocker lock(&m_mutex);
        QStringList bodies;
        for (const SyncNotice &notice : m_notices)
            bodies.append(noticeText(notice, language));
        return bodies;
    }

private:
    mutable QMutex m_mutex;
    QList<SyncNotice> m_notices;
};

void write(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

// Text from the shared folder (host names, log lines, file names in messages) may hold terminal
// control sequences. Plain output shows each control or line-breaking character as U+FFFD, and
// bidirectional overrides too, so no line can move the cursor, recolour or reorder what follows.
// JSON output keeps every character: the encoder escapes them.
QString plainText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        const bool control = category == QChar::Other_Control || category == QChar::Separator_Line ||
                             category == QChar::Separator_Paragraph || (c >= 0x202A && c <= 0x202E) ||
                             (c >= 0x2066 && c <= 0x2069);
        if (control)
            shown.append(QChar(QChar::ReplacementCharacter));
        else
            shown.append(QString::fromUcs4(&c, 1));
    }
    return shown;
}

void writeJson(const QJsonDocument &document)
{
    write(stdout, QString::fromUtf8(document.toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
}

int usageError(const QString &message)
{
    write(stderr, QLatin1String("tandrill-cli: ") + message +
                      says("\n„tandrill-cli --help“ zeigt die Hilfe.\n", "\nTry 'tandrill-cli --help'.\n"));
    return UsageError;
}

int folderMissing(const QString &folder, bool json)
{
    const QString message = QLatin1String("Sync-Ordner nicht gefunden: ") + folder;
    if (json) {
        writeJson(QJsonDocument(
            QJsonObject{{QStringLiteral("result"), QStringLiteral("error")}, {QStringLiteral("message"), message}}));
    } else {
        write(stderr, plainText(engineMessageText(message, language())) + QLatin1Char('\n'));
    }
    return Failure;
}

// The system's Dock services for one command; the engine borrows them.
struct SystemServices {
    CollectingNotices notices;
    std::unique_ptr<DockPreferences> dock =
        createCheckedDockPreferences(createSystemDockPreferences(EngineServices::forCurrentUser().homeDirectory),
                                     DockRestartWatch::system(&relaunchedDockProcesses));
    std::unique_ptr<CloudFiles> cloud = createSystemCloudFiles();

    bool sameLook = true;

    EngineServices engine()
    {
        EngineServices services = EngineServices::forCurrentUser();
        services.sameLookOnAllMacs = sameLook;
        services.machine = machineIdentity();
        services.notices = notices.handler();
        services.dockPreferences = dock.get();
        services.cloudFiles = cloud.get();
        return services;
    }
};

int finish(const SyncEngine::Result &result, const CollectingNotices &notices, bool json)
{
    if (json) {
        // The notifications in German, as scripts have always read them.
        writeJson(QJsonDocument(
            QJsonObject{{QStringLiteral("result"), result.name()},
                        {QStringLiteral("message"), result.message()},
                        {QStringLiteral("notifications"), QJsonArray::fromStringList(notices.bodies(u"de"))}}));
    } else {
        for (const QString &body : notices.bodies(language()))
            write(stdout, plainText(body) + QLatin1Char('\n'));
        if (result.kind() == SyncEngine::Result::Kind::Error)
            write(stderr, plainText(engineMessageText(result.message(), language())) + QLatin1Char('\n'));
    }
    switch (result.kind()) {
    case SyncEngine::Result::Kind::Error:
        return Failure;
    case SyncEngine::Result::Kind::Conflict:
        return ConflictFound;
    default:
        return Success;
    }
}

int runEngine(SyncEngine::Mode mode, const QString &folder, bool folderGiven, const QString &host, bool json,
              bool sameLook)
{
    SystemServices system;
    system.sameLook = sameLook;
    EngineServices services = system.engine();
    // A folder named on the command line may be new; the app's configured folder is never remade.
    services.createSyncFolder = folderGiven;
    SyncEngine engine(folder, host, services);
    const SyncEngine::Result result = engine.run(mode);
    if (!json && result.kind() == SyncEngine::Result::Kind::StatusWritten)
        write(stdout, plainText(SyncFormat::cleanHostName(host)) +
                          says(": im Sync-Ordner eingetragen\n", ": registered in the sync folder\n"));
    return finish(result, system.notices, json);
}

QString resultName(DockDifference::Result result)
{
    switch (result) {
    case DockDifference::Result::Same:
        return QStringLiteral("same");
    case DockDifference::Result::Different:
        return QStringLiteral("different");
    case DockDifference::Result::NothingShared:
        return QStringLiteral("nothingShared");
    case DockDifference::Result::Unavailable:
        return QStringLiteral("unavailable");
    }
    return QString();
}

// What a pull would change here. Reads only: no log line, no status, no backup.
int showDifference(const QString &folder, const QString &host, bool json, bool sameLook)
{
    // "nothingShared" would be a lie about a folder that is not there.
    if (!SafeFile::isDirectory(folder))
        return folderMissing(folder, json);
    SystemServices system;
    system.sameLook = sameLook;
    const DockDifference difference = SyncEngine(folder, host, system.engine()).dockDifference();
    const bool failed = difference.result == DockDifference::Result::Unavailable;
    if (json) {
        QJsonObject object{{QStringLiteral("result"), resultName(difference.result)}};
        if (failed) {
            object.insert(QStringLiteral("message"), difference.problem);
        } else {
            object.insert(QStringLiteral("appsAdded"), QJsonArray::fromStringList(difference.appsAdded));
            object.insert(QStringLiteral("appsRemoved"), QJsonArray::fromStringList(difference.appsRemoved));
            object.insert(QStringLiteral("othersAdded"), QJsonArray::fromStringList(difference.othersAdded));
            object.insert(QStringLiteral("othersRemoved"), QJsonArray::fromStringList(difference.othersRemoved));
            object.insert(QStringLiteral("orderChanged"), difference.orderChanged);
            object.insert(QStringLiteral("settingsChanged"), QJsonArray::fromStringList(difference.settingsChanged));
            object.insert(QStringLiteral("appsNotInstalled"), QJsonArray::fromStringList(difference.appsNotInstalled));
            object.insert(QStringLiteral("lookKeptLocal"), QJsonArray::fromStringList(difference.lookKeptLocal));
        }
        writeJson(QJsonDocument(object));
        return failed ? Failure : Success;
    }
    if (failed) {
        write(stderr, plainText(difference.problem) + QLatin1Char('\n'));
        return Failure;
    }
    write(stdout, resultName(difference.result) + QLatin1Char('\n'));
    const auto list = [](const char *title, const QStringList &labels) {
        for (const QString &label : labels)
            write(stdout, QLatin1String(title) + plainText(label) + QLatin1Char('\n'));
    };
    list("+ app\t", difference.appsAdded);
    list("- app\t", difference.appsRemoved);
    list("+ other\t", difference.othersAdded);
    list("- other\t", difference.othersRemoved);
    if (difference.orderChanged)
        write(stdout, QStringLiteral("order changed\n"));
    list("~ setting\t", difference.settingsChanged);
    list("! not installed\t", difference.appsNotInstalled);
    list("= own look\t", difference.lookKeptLocal);
    return Success;
}

int listBackups(const QString &folder, const QString &host, bool json)
{
    const QList<BackupInfo> backups = SyncEngine(folder, host, EngineServices::forCurrentUser()).listBackups();
    if (json) {
        QJsonArray array;
        for (const BackupInfo &backup : backups) {
            array.append(QJsonObject{{QStringLiteral("name"), backup.name},
                                     {QStringLiteral("size"), backup.size},
                                     {QStringLiteral("taken"), backup.taken.toString(Qt::ISODate)},
                                     {QStringLiteral("action"), backup.action}});
        }
        writeJson(QJsonDocument(array));
        return Success;
    }
    for (const BackupInfo &backup : backups) {
        write(stdout, plainText(backup.name) + QLatin1Char('\t') + QString::number(backup.size) + QLatin1Char('\t') +
                          backup.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QLatin1Char('\n'));
    }
    return Success;
}

int restoreBackup(const QString &folder, const QString &host, const QString &name, bool json)
{
    SystemServices system;
    SyncEngine engine(folder, host, system.engine());
    const SyncEngine::Result result = engine.restoreBackup(name);
    if (!json && result.kind() == SyncEngine::Result::Kind::Restored) {
        write(stdout, says("Sicherung ", "Backup ") + plainText(name) +
                          says(" wiederhergestellt. Das Dock gilt jetzt als lokale Änderung und wird beim nächsten "
                               "automatischen Abgleich an die anderen Macs weitergegeben.\n",
                               " restored. The Dock now counts as a change on this Mac and is shared with the other "
                               "Macs at the next automatic sync.\n"));
    }
    return finish(result, system.notices, json);
}

int listHosts(const QString &folder, const QString &host, bool json)
{
    if (!SafeFile::isDirectory(folder))
        return folderMissing(folder, json);
    const QList<HostInfo> hosts = readHostRegistry(folder, host).value_or(QList<HostInfo>());
    if (json) {
        QJsonArray array;
        for (const HostInfo &info : hosts) {
            array.append(QJsonObject{{QStringLiteral("hostname"), info.hostname},
                                     {QStringLiteral("lastAction"), info.lastAction},
                                     {QStringLiteral("lastTime"), info.lastTime},
                                     {QStringLiteral("isThisMac"), info.isThisMac}});
        }
        writeJson(QJsonDocument(array));
        return Success;
    }
    for (const HostInfo &info : hosts) {
        write(stdout, plainText(info.hostname) + QLatin1Char('\t') + plainText(info.lastAction) + QLatin1Char('\t') +
                          plainText(info.lastTime) +
                          (info.isThisMac ? says("\tdieser Mac\n", "\tthis Mac\n") : QStringLiteral("\n")));
    }
    return Success;
}

int showLog(const QString &folder, int limit, bool json)
{
    if (!SafeFile::isDirectory(folder))
        return folderMissing(folder, json);
    const QList<LogEntry> entries = SharedLog::readMerged(folder, limit);
    if (json) {
        QJsonArray array;
        for (const LogEntry &entry : entries) {
            array.append(QJsonObject{{QStringLiteral("raw"), entry.raw},
                                     {QStringLiteral("timestamp"), entry.timestamp()},
                                     {QStringLiteral("source"), entry.source()},
                                     {QStringLiteral("message"), entry.message()}});
        }
        writeJson(QJsonDocument(array));
        return Success;
    }
    for (const LogEntry &entry : entries)
        write(stdout, plainText(entry.raw) + QLatin1Char('\n'));
    return Success;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tandrill"));
    QCoreApplication::setApplicationName(QStringLiteral("Tandrill"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TANDRILL_VERSION));
    // Qt's own words of the help and of its parse errors ("Usage:", "Unknown option") in German too.
    QTranslator qtWords;
    if (language() == QLatin1String("de") &&
        qtWords.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtWords);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        says("Hält das Dock auf mehreren Macs über einen gemeinsamen Ordner gleich.\n\n"
             "Befehle:\n"
             "  push           das Dock dieses Macs in den Ordner kopieren\n"
             "  pull           das Dock des Ordners hier übernehmen und das Dock neu starten\n"
             "  auto           nach Inhalt entscheiden: gleiche Docks sind synchron; eine Änderung auf\n"
             "                 einer Seite wird geteilt; Änderungen auf beiden Seiten oder ein neuer Mac\n"
             "                 mit anderem Dock werden als Konflikt gemeldet (Exit-Code 3)\n"
             "  status         diesen Mac im Ordner eintragen\n"
             "  hosts          die im Ordner eingetragenen Macs auflisten\n"
             "  log            das gemeinsame Protokoll zeigen, neueste zuerst\n"
             "  diff           was ein Pull auf diesem Mac ändern würde\n"
             "  backups        die lokalen Backups des Docks auflisten, neueste zuerst\n"
             "  restore NAME   das Dock sichern, das Backup NAME übernehmen und das Dock neu starten\n\n"
             "Mit --keep-look behält dieser Mac sein eigenes Aussehen (Symbolgröße, Vergrößerung, Position,\n"
             "Ausblenden, Effekt beim Minimieren, zuletzt benutzte Apps, Anzeige für geöffnete Apps): push,\n"
             "pull, auto und diff vergleichen, übernehmen und teilen es nicht. Ohne die Option wie in Tandrill "
             "eingestellt.",
             "Keeps the Dock identical on several Macs through one shared folder.\n\n"
             "Commands:\n"
             "  push           copy this Mac's Dock file into the folder\n"
             "  pull           apply the folder's Dock file here and restart the Dock\n"
             "  auto           decide by content: equal Docks are in sync; a change on one\n"
             "                 side is shared; changes on both sides, or a joining Mac with\n"
             "                 another Dock, are flagged as a conflict (exit 3)\n"
             "  status         register this Mac in the folder\n"
             "  hosts          list the Macs registered in the folder\n"
             "  log            show the shared log, newest first\n"
             "  diff           what a pull would change on this Mac\n"
             "  backups        list the local backups of the Dock, newest first\n"
             "  restore NAME   back up the Dock, apply the backup NAME and restart the Dock\n\n"
             "With --keep-look this Mac keeps its own look (tile size, magnification, position,\n"
             "hiding, minimise effect, recent apps, open-app indicators): push, pull, auto and\n"
             "diff neither compare it, apply it nor share it. Without it, as set in Tandrill."));
    const QCommandLineOption folderOption(
        QStringLiteral("folder"),
        says("Der Sync-Ordner (ohne Angabe: der der App).", "The sync folder (default: the app's)."),
        QStringLiteral("DIR"));
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        says("Der Rechnername, als der gehandelt wird.", "The host name to act as."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        says("Einen JSON-Wert ausgeben.", "Print one JSON value."));
    const QCommandLineOption limitOption(
        QStringLiteral("limit"),
        says("Höchstens N Protokolleinträge (ohne Angabe 80).", "At most N log entries (default 80)."),
        QStringLiteral("N"), QStringLiteral("80"));
    const QCommandLineOption keepLookOption(
        QStringLiteral("keep-look"), says("Das eigene Aussehen dieses Macs behalten; nur Apps und Ordner abgleichen.",
                                          "Keep this Mac's own look; sync apps and folders only."));
    parser.addOptions({folderOption, hostOption, jsonOption, limitOption, keepLookOption});
    parser.addPositionalArgument(
        says("befehl", "command"),
        QStringLiteral("push | pull | auto | status | hosts | log | diff | backups | restore NAME"));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        write(stdout, parser.helpText());
        return Success;
    }
    if (parser.isSet(versionOption)) {
        write(stdout, QStringLiteral("tandrill-cli " TANDRILL_VERSION "\n"));
        return Success;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(says("kein Befehl angegeben", "no command given"));
    const QString command = positional.first();
    static const QStringList commands{QStringLiteral("push"),   QStringLiteral("pull"),    QStringLiteral("auto"),
                                      QStringLiteral("status"), QStringLiteral("hosts"),   QStringLiteral("log"),
                                      QStringLiteral("diff"),   QStringLiteral("backups"), QStringLiteral("restore")};
    if (!commands.contains(command))
        return usageError(says("unbekannter Befehl „%1“", "unknown command '%1'").arg(command));
    const bool isRestore = command == QLatin1String("restore");
    if (isRestore && positional.size() != 2)
        return usageError(says("restore braucht den Namen eines Backups", "restore needs the name of one backup"));
    if (!isRestore && positional.size() != 1)
        return usageError(says("nur ein Befehl", "one command only"));

    bool limitValid = false;
    const int limit = parser.value(limitOption).toInt(&limitValid);
    if (!limitValid || limit < 0)
        return usageError(says("--limit braucht eine ganze Zahl ab 0", "--limit needs a whole number of at least 0"));
    if (parser.isSet(limitOption) && command != QLatin1String("log"))
        return usageError(says("--limit gehört zu log", "--limit goes with log"));

    QString folder = parser.value(folderOption);
    if (folder.isEmpty()) {
        const QSettings settings;
        folder = settings.value(QStringLiteral("TandrillFolderPath")).toString();
    }
    // The backups are local: listing and restoring them needs no sync folder.
    const bool local = isRestore || command == QLatin1String("backups");
    if (folder.isEmpty() && !local)
        return usageError(says("kein Sync-Ordner: --folder DIR angeben oder in Tandrill einen wählen",
                               "no sync folder: pass --folder DIR or choose one in Tandrill"));
    const QString host = parser.isSet(hostOption) ? parser.value(hostOption) : systemHostName();
    // Every Mac would show a nameless status file as an empty card.
    if (host.trimmed().isEmpty())
        return usageError(says("--host braucht einen Namen", "--host needs a name"));
    const bool json = parser.isSet(jsonOption);
    const bool sameLook =
        !parser.isSet(keepLookOption) && QSettings().value(QStringLiteral("TandrillSameLook"), true).toBool();

    if (command == QLatin1String("hosts"))
        return listHosts(folder, host, json);
    if (command == QLatin1String("log"))
        return showLog(folder, limit, json);
    if (command == QLatin1String("diff"))
        return showDifference(folder, host, json, sameLook);
    if (command == QLatin1String("backups"))
        return listBackups(folder, host, json);
    if (isRestore)
        return restoreBackup(folder, host, positional.at(1), json);
    const SyncEngine::Mode mode = command == QLatin1String("push")   ? SyncEngine::Mode::Push
                                  : command == QLatin1String("pull") ? SyncEngine::Mode::Pull
                                  : command == QLatin1String("auto") ? SyncEngine::Mode::Auto
                                                                     : SyncEngine::Mode::Status;
    return runEngine(mode, folder, !parser.value(folderOption).isEmpty(), host, json, sameLook);
}
