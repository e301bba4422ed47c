// tandrill-cli: the same engine as the app, for scripts and for tests that drive it as a process.

#include "CheckedDockPreferences.h"
#include "HostInfo.h"
#include "LogEntry.h"
#include "SafeFile.h"
#include "SyncEngine.h"
#include "SyncFormat.h"
#include "platform/CloudFiles.h"
#include "platform/DockPreferences.h"
#include "platform/HostName.h"
#include "platform/MachineIdentity.h"
#include "platform/Notifier.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSettings>

#include <cstdio>

namespace {

enum ExitCode { Success = 0, Failure = 1, UsageError = 2, ConflictFound = 3 };

class CollectingNotifier final : public Notifier {
public:
    void send(const QString &body, const QString &) override
    {
        const QMutexLocker lock(&m_mutex);
        m_bodies.append(body);
    }
    QStringList bodies() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_bodies;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_bodies;
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
    write(stderr, QLatin1String("tandrill-cli: ") + message + QLatin1String("\nTry 'tandrill-cli --help'.\n"));
    return UsageError;
}

int folderMissing(const QString &folder, bool json)
{
    const QString message = QLatin1String("Sync-Ordner nicht gefunden: ") + folder;
    if (json) {
        writeJson(QJsonDocument(
            QJsonObject{{QStringLiteral("result"), QStringLiteral("error")}, {QStringLiteral("message"), message}}));
    } else {
        write(stderr, plainText(message) + QLatin1Char('\n'));
    }
    return Failure;
}

// The system's Dock services for one command; the engine borrows them.
struct SystemServices {
    CollectingNotifier notifier;
    std::unique_ptr<DockPreferences> dock =
        createCheckedDockPreferences(createSystemDockPreferences(EngineServices::forCurrentUser().homeDirectory),
                                     DockRestartWatch::system(&relaunchedDockProcesses));
    std::unique_ptr<CloudFiles> cloud = createSystemCloudFiles();

    EngineServices engine()
    {
        EngineServices services = EngineServices::forCurrentUser();
        services.machine = machineIdentity();
        services.notices = noticesTo(&notifier); // German, as the JSON output has always carried them
        services.dockPreferences = dock.get();
        services.cloudFiles = cloud.get();
        return services;
    }
};

int finish(const SyncEngine::Result &result, const QStringList &bodies, bool json)
{
    if (json) {
        writeJson(QJsonDocument(QJsonObject{{QStringLiteral("result"), result.name()},
                                            {QStringLiteral("message"), result.message()},
                                            {QStringLiteral("notifications"), QJsonArray::fromStringList(bodies)}}));
    } else {
        for (const QString &body : bodies)
            write(stdout, plainText(body) + QLatin1Char('\n'));
        if (result.kind() == SyncEngine::Result::Kind::Error)
            write(stderr, plainText(result.message()) + QLatin1Char('\n'));
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

int runEngine(SyncEngine::Mode mode, const QString &folder, bool folderGiven, const QString &host, bool json)
{
    SystemServices system;
    EngineServices services = system.engine();
    // A folder named on the command line may be new; the app's configured folder is never remade.
    services.createSyncFolder = folderGiven;
    SyncEngine engine(folder, host, services);
    const SyncEngine::Result result = engine.run(mode);
    return finish(result, system.notifier.bodies(), json);
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
int showDifference(const QString &folder, const QString &host, bool json)
{
    SystemServices system;
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
        write(stdout, QLatin1String("Sicherung ") + name +
                          QStringLiteral(" wiederhergestellt. Das Dock gilt jetzt als lokale Änderung und wird beim "
                                         "nächsten automatischen Abgleich an die anderen Macs weitergegeben.\n"));
    }
    return finish(result, system.notifier.bodies(), json);
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
                          (info.isThisMac ? QStringLiteral("\tthis Mac\n") : QStringLiteral("\n")));
    }
    return Success;
}

int showLog(const QString &folder, int limit, bool json)
{
    if (!SafeFile::isDirectory(folder))
        return folderMissing(folder, json);
    const QList<LogEntry> entries = readLogTail(folder + QLatin1Char('/') + SyncFormat::kLogFileName, limit);
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

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Keeps the Dock identical on several Macs through one shared folder.\n\n"
                       "Commands:\n"
                       "  push           copy this Mac's Dock file into the folder\n"
                       "  pull           apply the folder's Dock file here and restart the Dock\n"
                       "  auto           push or pull, whichever side is newer; exit 3 on a conflict\n"
                       "  status         register this Mac in the folder\n"
                       "  hosts          list the Macs registered in the folder\n"
                       "  log            show the shared log, newest first\n"
                       "  diff           what a pull would change on this Mac\n"
                       "  backups        list the local backups of the Dock, newest first\n"
                       "  restore NAME   back up the Dock, apply the backup NAME and restart the Dock"));
    const QCommandLineOption folderOption(
        QStringLiteral("folder"), QStringLiteral("The sync folder (default: the app's)."), QStringLiteral("DIR"));
    const QCommandLineOption hostOption(QStringLiteral("host"), QStringLiteral("The host name to act as."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print one JSON value."));
    const QCommandLineOption limitOption(QStringLiteral("limit"), QStringLiteral("At most N log entries (default 80)."),
                                         QStringLiteral("N"), QStringLiteral("80"));
    parser.addOptions({folderOption, hostOption, jsonOption, limitOption});
    parser.addPositionalArgument(
        QStringLiteral("command"),
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
        return usageError(QStringLiteral("no command given"));
    const QString command = positional.first();
    static const QStringList commands{QStringLiteral("push"),   QStringLiteral("pull"),    QStringLiteral("auto"),
                                      QStringLiteral("status"), QStringLiteral("hosts"),   QStringLiteral("log"),
                                      QStringLiteral("diff"),   QStringLiteral("backups"), QStringLiteral("restore")};
    if (!commands.contains(command))
        return usageError(QStringLiteral("unknown command '%1'").arg(command));
    const bool isRestore = command == QLatin1String("restore");
    if (isRestore && positional.size() != 2)
        return usageError(QStringLiteral("restore needs the name of one backup"));
    if (!isRestore && positional.size() != 1)
        return usageError(QStringLiteral("one command only"));

    bool limitValid = false;
    const int limit = parser.value(limitOption).toInt(&limitValid);
    if (!limitValid || limit < 0)
        return usageError(QStringLiteral("--limit needs a whole number of at least 0"));
    if (parser.isSet(limitOption) && command != QLatin1String("log"))
        return usageError(QStringLiteral("--limit goes with log"));

    QString folder = parser.value(folderOption);
    if (folder.isEmpty()) {
        const QSettings settings;
        folder = settings.value(QStringLiteral("TandrillFolderPath")).toString();
    }
    if (folder.isEmpty())
        return usageError(QStringLiteral("no sync folder: pass --folder DIR or choose one in Tandrill"));
    const QString host = parser.isSet(hostOption) ? parser.value(hostOption) : systemHostName();
    const bool json = parser.isSet(jsonOption);

    if (command == QLatin1String("hosts"))
        return listHosts(folder, host, json);
    if (command == QLatin1String("log"))
        return showLog(folder, limit, json);
    if (command == QLatin1String("diff"))
        return showDifference(folder, host, json);
    if (command == QLatin1String("backups"))
        return listBackups(folder, host, json);
    if (isRestore)
        return restoreBackup(folder, host, positional.at(1), json);
    const SyncEngine::Mode mode = command == QLatin1String("push")   ? SyncEngine::Mode::Push
                                  : command == QLatin1String("pull") ? SyncEngine::Mode::Pull
                                  : command == QLatin1String("auto") ? SyncEngine::Mode::Auto
                                                                     : SyncEngine::Mode::Status;
    return runEngine(mode, folder, !parser.value(folderOption).isEmpty(), host, json);
}
