#include "SyncthingHub.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {

const QString kFolderId = QStringLiteral("tandrill");

// Syncthing's folder marker and its files in flight are its own, not the shared folder's content.
bool isServiceFile(const QString &relativePath)
{
    return relativePath.startsWith(QLatin1String(".stfolder")) || relativePath.contains(QLatin1String(".syncthing."));
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace

struct SyncthingHub::Instance {
    QString name;
    QString home;
    QString replica;
    QString deviceId;
    QString apiKey;
    quint16 guiPort = 0;
    quint16 listenPort = 0;
    std::unique_ptr<QProcess> process;
    bool paused = false;
};

SyncthingHub::SyncthingHub(const QString &root) : m_root(root + QLatin1String("/syncthing"))
{
    QDir().mkpath(m_root);
    // A proxy from the environment would take loopback calls elsewhere.
    m_network.setProxy(QNetworkProxy::NoProxy);
}

SyncthingHub::~SyncthingHub()
{
    for (int index = 0; index < size(); ++index)
        stop(index);
}

QString SyncthingHub::executable()
{
    return QStandardPaths::findExecutable(QStringLiteral("syncthing"));
}

bool SyncthingHub::fail(const QString &message)
{
    m_lastError = message;
    return false;
}

QString SyncthingHub::replica(int index) const
{
    return m_instances[size_t(index)]->replica;
}

QString SyncthingHub::deviceId(int index) const
{
    return m_instances[size_t(index)]->deviceId;
}

bool SyncthingHub::start(int count)
{
    // Free loopback ports, all held until every one is chosen so that no two instances get the same.
    std::vector<std::unique_ptr<QTcpServer>> holders;
    const auto freePort = [&holders]() -> quint16 {
        holders.push_back(std::make_unique<QTcpServer>());
        return holders.back()->listen(QHostAddress::LocalHost, 0) ? holders.back()->serverPort() : 0;
    };
    for (int index = 0; index < count; ++index) {
        auto instance = std::make_unique<Instance>();
        instance->name = QStringLiteral("device-%1").arg(index + 1);
        instance->home = m_root + QLatin1Char('/') + instance->name;
        instance->replica = m_root + QLatin1String("/replica-") + QString::number(index + 1);
        instance->apiKey = QString::number(QRandomGenerator::global()->generate64(), 36);
        instance->guiPort = freePort();
        instance->listenPort = freePort();
        if (instance->guiPort == 0 || instance->listenPort == 0)
            return fail(QStringLiteral("no free loopback port"));
        // Syncthing refuses a folder without its marker: it could be a disk that is not mounted.
        QDir().mkpath(instance->replica + QLatin1String("/.stfolder"));
        if (!generate(*instance))
            return false;
        m_instances.push_back(std::move(instance));
    }
    holders.clear();
    for (const auto &instance : m_instances) {
        if (!writeConfig(*instance) || !launch(*instance))
            return false;
    }
    return waitUntilInSync();
}

bool SyncthingHub::generate(Instance &instance)
{
    QProcess generator;
    generator.setProcessChannelMode(QProcess::MergedChannels);
    generator.start(executable(), {QStringLiteral("generate"), QLatin1String("--home=") + instance.home,
                                   QStringLiteral("--no-default-folder"), QStringLiteral("--skip-port-probing")});
    if (!generator.waitForFinished(60000) || generator.exitCode() != 0) {
        generator.kill();
        generator.waitForFinished();
        return fail(QStringLiteral("syncthing generate failed: ") + QString::fromLocal8Bit(generator.readAll()));
    }
    const QString output = QString::fromLocal8Bit(generator.readAll());
    const QRegularExpressionMatch id = QRegularExpression(QStringLiteral("Device ID: ([A-Z0-9-]+)")).match(output);
    if (!id.hasMatch())
        return fail(QStringLiteral("no device ID from syncthing generate: ") + output);
    instance.deviceId = id.captured(1);
    return true;
}

bool SyncthingHub::writeConfig(const Instance &instance)
{
    QString devices;
    QString folderDevices;
    for (const auto &other : m_instances) {
        const bool self = other.get() == &instance;
        devices +=
            QStringLiteral("<device id=\"%1\" name=\"%2\" compression=\"metadata\" introducer=\"false\">"
                           "<address>%3</address><paused>false</paused>"
                           "<autoAcceptFolders>false</autoAcceptFolders></device>\n")
                .arg(other->deviceId, other->name,
                     self ? QStringLiteral("dynamic") : QStringLiteral("tcp://127.0.0.1:%1").arg(other->listenPort));
        folderDevices += QStringLiteral("<device id=\"%1\"></device>").arg(other->deviceId);
    }
    // A short watcher delay and rescan interval carry a change within seconds, as a busy cloud
    // drive does; the tests still ask for a scan before they rely on anything having arrived.
    const QString folder =
        QStringLiteral("<folder id=\"%1\" label=\"Tandrill\" path=\"%2\" type=\"sendreceive\" rescanIntervalS=\"5\" "
                       "fsWatcherEnabled=\"true\" fsWatcherDelayS=\"1\" ignorePerms=\"false\" autoNormalize=\"true\">"
                       "%3<minDiskFree unit=\"%\">0</minDiskFree><versioning></versioning>"
                       "<markerName>.stfolder</markerName></folder>\n")
            .arg(kFolderId, escaped(instance.replica), folderDevices);
    const QString options =
        QStringLiteral(
            "<options><listenAddress>tcp://127.0.0.1:%1</listenAddress>"
            "<globalAnnounceEnabled>false</globalAnnounceEnabled><localAnnounceEnabled>false</localAnnounceEnabled>"
            "<relaysEnabled>false</relaysEnabled><natEnabled>false</natEnabled><urAccepted>-1</urAccepted>"
            "<crashReportingEnabled>false</crashReportingEnabled><autoUpgradeIntervalH>0</autoUpgradeIntervalH>"
            "<startBrowser>false</startBrowser><reconnectionIntervalS>1</reconnectionIntervalS>"
            "<stunKeepaliveStartS>0</stunKeepaliveStartS><setLowPriority>false</setLowPriority>"
            "<minHomeDiskFree unit=\"%\">0</minHomeDiskFree></options>\n")
            .arg(instance.listenPort);
    const QString gui = QStringLiteral("<gui enabled=\"true\" tls=\"false\"><address>127.0.0.1:%1</address>"
                                       "<apikey>%2</apikey></gui>\n")
                            .arg(instance.guiPort)
                            .arg(instance.apiKey);
    QFile config(instance.home + QLatin1String("/config.xml"));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("cannot write ") + config.fileName());
    config.write((QStringLiteral("<configuration version=\"36\">\n") + folder + devices + gui + options +
                  QStringLiteral("</configuration>\n"))
                     .toUtf8());
    return true;
}

bool SyncthingHub::launch(Instance &instance)
{
    instance.process = std::make_unique<QProcess>();
    QProcess &process = *instance.process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("STNOUPGRADE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("STNORESTART"), QStringLiteral("1"));
    // Syncthing 1.19 keeps a monitor process in front of itself even with --no-restart; this tells it
    // that it is the monitored process already, so the PID held here is Syncthing's own.
    environment.insert(QStringLiteral("STMONITORED"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(instance.home + QLatin1String("/syncthing.log"), QIODevice::Append);
#ifdef Q_OS_LINUX
    // Should the test process die, its instances go with it rather than linger.
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    process.start(executable(),
                  {QStringLiteral("serve"), QLatin1String("--home=") + instance.home, QStringLiteral("--no-browser"),
                   QStringLiteral("--no-restart"), QStringLiteral("--no-upgrade"), QStringLiteral("--logflags=3")});
    if (!process.waitForStarted(30000))
        return fail(QStringLiteral("syncthing did not start: ") + process.errorString());
    const QDeadlineTimer deadline(60000);
    while (!call(instance, "GET", QStringLiteral("/rest/system/ping"), 2000)) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return fail(QStringLiteral("syncthing of %1 did not answer; see %2/syncthing.log")
                            .arg(instance.name, instance.home));
        QThread::msleep(100);
    }
    return true;
}

bool SyncthingHub::stop(int index)
{
    Instance &instance = *m_instances[size_t(index)];
    if (!instance.process)
        return true;
    QProcess &process = *instance.process;
    if (process.state() != QProcess::NotRunning) {
        process.terminate(); // SIGTERM to its PID: Syncthing closes its database and exits
        if (!process.waitForFinished(15000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    instance.process.reset();
    return true;
}

bool SyncthingHub::restart(int index)
{
    stop(index);
    // A pause is kept in the instance's configuration, so it outlives the restart.
    return launch(*m_instances[size_t(index)]);
}

bool SyncthingHub::pause(int index)
{
    Instance &instance = *m_instances[size_t(index)];
    // Without a device, every remote device is paused: this instance neither sends nor receives.
    if (!call(instance, "POST", QStringLiteral("/rest/system/pause")))
        return fail(QStringLiteral("cannot pause ") + instance.name);
    instance.paused = true;
    return true;
}

bool SyncthingHub::resume(int index)
{
    Instance &instance = *m_instances[size_t(index)];
    if (!call(instance, "POST", QStringLiteral("/rest/system/resume")))
        return fail(QStringLiteral("cannot resume ") + instance.name);
    instance.paused = false;
    return true;
}

bool SyncthingHub::active(const Instance &instance) const
{
    return instance.process && instance.process->state() == QProcess::Running && !instance.paused;
}

std::optional<QJsonObject> SyncthingHub::call(const Instance &instance, const QByteArray &verb, const QString &path,
                                              int timeoutMs)
{
    QUrl url(QStringLiteral("http://127.0.0.1:%1").arg(instance.guiPort) + path);
    QNetworkRequest request(url);
    request.setRawHeader("X-API-Key", instance.apiKey.toLatin1());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply *reply = m_network.sendCustomRequest(request, verb);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();
    const bool done = reply->isFinished();
    if (!done)
        reply->abort();
    const QByteArray body = done ? reply->readAll() : QByteArray();
    const bool ok = done && reply->error() == QNetworkReply::NoError;
    reply->deleteLater();
    if (!ok)
        return std::nullopt;
    const QJsonDocument json = QJsonDocument::fromJson(body);
    return json.isObject() ? json.object() : QJsonObject();
}

bool SyncthingHub::waitUntilInSync(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QString why;
    while (!inSyncNow(&why)) {
        if (deadline.hasExpired())
            return fail(QStringLiteral("Syncthing not in sync after %1 ms: %2").arg(timeoutMs).arg(why));
        QEventLoop loop;
        QTimer::singleShot(200, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool SyncthingHub::inSyncNow(QString *why)
{
    std::vector<Instance *> running;
    for (const auto &instance : m_instances) {
        if (active(*instance))
            running.push_back(instance.get());
    }
    // A scan first: a change the watcher has not reported yet would otherwise pass for in sync.
    for (Instance *instance : running) {
        if (!call(*instance, "POST", QLatin1String("/rest/db/scan?folder=") + kFolderId)) {
            *why = instance->name + QLatin1String(" did not scan");
            return false;
        }
    }
    for (Instance *instance : running) {
        const auto connections = call(*instance, "GET", QStringLiteral("/rest/system/connections"));
        const auto status = call(*instance, "GET", QLatin1String("/rest/db/status?folder=") + kFolderId);
        if (!connections || !status) {
            *why = instance->name + QLatin1String(" did not answer");
            return false;
        }
        if (status->value(QLatin1String("state")).toString() != QLatin1String("idle") ||
            status->value(QLatin1String("needTotalItems")).toInt(-1) != 0 ||
            status->value(QLatin1String("pullErrors")).toInt() != 0) {
            *why = instance->name + QLatin1String(" is busy or has files to pull: ") +
                   QString::fromUtf8(QJsonDocument(*status).toJson(QJsonDocument::Compact));
            return false;
        }
        const QJsonObject peers = connections->value(QLatin1String("connections")).toObject();
        for (Instance *other : running) {
            if (other == instance)
                continue;
            if (!peers.value(other->deviceId).toObject().value(QLatin1String("connected")).toBool()) {
                *why = instance->name + QLatin1String(" is not connected to ") + other->name;
                return false;
            }
            const auto completion =
                call(*instance, "GET",
                     QStringLiteral("/rest/db/completion?folder=%1&device=%2").arg(kFolderId, other->deviceId));
            if (!completion || completion->value(QLatin1String("completion")).toDouble() < 100 ||
                completion->value(QLatin1String("needItems")).toInt(-1) != 0 ||
                completion->value(QLatin1String("needDeletes")).toInt(-1) != 0) {
                *why = instance->name + QLatin1String(" sees ") + other->name + QLatin1String(" incomplete");
                return false;
            }
        }
    }
    return sameReplicas(why);
}

bool SyncthingHub::sameReplicas(QString *why) const
{
    // Name and content of every file; times are left to the stories that care about them.
    QString first;
    QHash<QString, QByteArray> reference;
    bool haveReference = false;
    for (const auto &instance : m_instances) {
        if (!active(*instance))
            continue;
        QHash<QString, QByteArray> files;
        QDirIterator it(instance->replica, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString relative = QDir(instance->replica).relativeFilePath(path);
            if (isServiceFile(relative))
                continue;
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                files.insert(relative, QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
        }
        if (!haveReference) {
            reference = files;
            first = instance->name;
            haveReference = true;
        } else if (files != reference) {
            *why = first + QLatin1String(" and ") + instance->name + QLatin1String(" hold different files");
            return false;
        }
    }
    return true;
}
