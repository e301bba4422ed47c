#include "SyncthingHub.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {

const QString kFolder = QStringLiteral("tandrill");

void waitFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The name and content of every file of a replica but Syncthing's own (its folder marker, its
// files in flight).
QHash<QString, QByteArray> contents(const QString &replica)
{
    QHash<QString, QByteArray> files;
    QDirIterator it(replica, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(replica).relativeFilePath(it.next());
        QFile file(it.filePath());
        if (!relative.startsWith(QLatin1String(".stfolder")) && !relative.contains(QLatin1String(".syncthing.")) &&
            file.open(QIODevice::ReadOnly))
            files.insert(relative, QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return files;
}

} // namespace

SyncthingHub::SyncthingHub(const QString &root) : m_root(root + QLatin1String("/syncthing"))
{
    m_network.setProxy(QNetworkProxy::NoProxy); // a proxy from the environment would take loopback calls elsewhere
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

bool SyncthingHub::start(int count)
{
    // Free loopback ports, each held until all are chosen, so that no two instances get the same.
    std::vector<std::unique_ptr<QTcpServer>> held;
    const auto freePort = [&held] {
        held.push_back(std::make_unique<QTcpServer>());
        return held.back()->listen(QHostAddress::LocalHost, 0) ? held.back()->serverPort() : quint16(0);
    };
    for (int index = 0; index < count; ++index) {
        auto instance = std::make_unique<Instance>();
        instance->name = QStringLiteral("device-%1").arg(index + 1);
        instance->home = m_root + QLatin1Char('/') + instance->name;
        instance->replica = m_root + QLatin1String("/replica-") + QString::number(index + 1);
        instance->apiKey = QString::number(QRandomGenerator::global()->generate64(), 36);
        instance->guiPort = freePort();
        instance->listenPort = freePort();
        // Syncthing refuses a folder without its marker: it could be a disk that is not mounted.
        QDir().mkpath(instance->replica + QLatin1String("/.stfolder"));
        if (instance->guiPort == 0 || instance->listenPort == 0 || !generate(*instance))
            return m_lastError.isEmpty() ? fail(QStringLiteral("no free loopback port")) : false;
        m_instances.push_back(std::move(instance));
    }
    held.clear();
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
    const bool done = generator.waitForFinished(60000) && generator.exitCode() == 0;
    const QString output = QString::fromLocal8Bit(generator.readAll());
    const auto id = QRegularExpression(QStringLiteral("Device ID: ([A-Z0-9-]+)")).match(output);
    if (!done || !id.hasMatch())
        return fail(QStringLiteral("syncthing generate: ") + output);
    instance.deviceId = id.captured(1);
    return true;
}

bool SyncthingHub::writeConfig(const Instance &instance)
{
    QString devices;
    QString members;
    for (const auto &other : m_instances) {
        const QString address = other.get() == &instance ? QStringLiteral("dynamic")
                                                         : QStringLiteral("tcp://127.0.0.1:%1").arg(other->listenPort);
        devices += QStringLiteral("<device id=\"%1\" name=\"%2\"><address>%3</address></device>\n")
                       .arg(other->deviceId, other->name, address);
        members += QStringLiteral("<device id=\"%1\"></device>").arg(other->deviceId);
    }
    // A short watcher delay and rescan interval carry a change within seconds, as a busy cloud drive
    // does; waitUntilInSync still scans before it relies on anything having arrived.
    const QString folder = QStringLiteral("<folder id=\"%1\" path=\"%2\" type=\"sendreceive\" rescanIntervalS=\"5\" "
                                          "fsWatcherEnabled=\"true\" fsWatcherDelayS=\"1\">%3"
                                          "<minDiskFree unit=\"%\">0</minDiskFree></folder>\n")
                               .arg(kFolder, instance.replica.toHtmlEscaped(), members);
    const QString options =
        QStringLiteral("<gui enabled=\"true\" tls=\"false\"><address>127.0.0.1:%1</address><apikey>%2</apikey></gui>\n"
                       "<options><listenAddress>tcp://127.0.0.1:%3</listenAddress>"
                       "<globalAnnounceEnabled>false</globalAnnounceEnabled>"
                       "<localAnnounceEnabled>false</localAnnounceEnabled><relaysEnabled>false</relaysEnabled>"
                       "<natEnabled>false</natEnabled><urAccepted>-1</urAccepted>"
                       "<crashReportingEnabled>false</crashReportingEnabled>"
                       "<autoUpgradeIntervalH>0</autoUpgradeIntervalH><startBrowser>false</startBrowser>"
                       "<reconnectionIntervalS>1</reconnectionIntervalS><stunKeepaliveStartS>0</stunKeepaliveStartS>"
                       "<minHomeDiskFree unit=\"%\">0</minHomeDiskFree></options>\n")
            .arg(instance.guiPort)
            .arg(instance.apiKey)
            .arg(instance.listenPort);
    QFile config(instance.home + QLatin1String("/config.xml"));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("cannot write ") + config.fileName());
    config.write(QStringLiteral("<configuration version=\"36\">\n%1%2%3</configuration>\n")
                     .arg(folder, devices, options)
                     .toUtf8());
    return true;
}

bool SyncthingHub::launch(Instance &instance)
{
    instance.process = std::make_unique<QProcess>();
    QProcess &process = *instance.process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("STNOUPGRADE"), QStringLiteral("1"));
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
    instance.stopped = false;
    const QDeadlineTimer deadline(60000);
    while (!call(instance, "GET", QStringLiteral("/rest/system/ping"), 2000)) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return fail(instance.name + QLatin1String(" did not come up: ") + logTail(instance));
        waitFor(100);
    }
    return true;
}

bool SyncthingHub::stop(int index)
{
    Instance &instance = *m_instances[size_t(index)];
    instance.stopped = true;
    if (instance.process && instance.process->state() != QProcess::NotRunning) {
        instance.process->terminate(); // SIGTERM to its PID: Syncthing closes its database and exits
        if (!instance.process->waitForFinished(15000)) {
            instance.process->kill();
            instance.process->waitForFinished(5000);
        }
    }
    instance.process.reset();
    return true;
}

bool SyncthingHub::restart(int index)
{
    stop(index);
    return launch(*m_instances[size_t(index)]); // a pause is kept in the configuration, so it outlives this
}

bool SyncthingHub::setPaused(int index, bool paused)
{
    Instance &instance = *m_instances[size_t(index)];
    // Without a device named, every remote device: this instance neither sends nor receives.
    if (!call(instance, "POST", paused ? QStringLiteral("/rest/system/pause") : QStringLiteral("/rest/system/resume")))
        return fail(QStringLiteral("cannot pause or resume ") + instance.name);
    instance.paused = paused;
    return true;
}

std::optional<QJsonObject> SyncthingHub::call(const Instance &instance, const QByteArray &verb, const QString &path,
                                              int timeoutMs)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(instance.guiPort) + path));
    request.setRawHeader("X-API-Key", instance.apiKey.toLatin1());
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = m_network.sendCustomRequest(request, verb);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    const bool ok = reply->error() == QNetworkReply::NoError;
    reply->deleteLater();
    if (!ok)
        return std::nullopt;
    return QJsonDocument::fromJson(body).object();
}

bool SyncthingHub::waitUntilInSync(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QString why;
    while (!inSyncNow(&why)) {
        if (deadline.hasExpired())
            return fail(QStringLiteral("not in sync after %1 ms: ").arg(timeoutMs) + why);
        waitFor(200);
    }
    return true;
}

bool SyncthingHub::inSyncNow(QString *why)
{
    std::vector<Instance *> online;
    for (const auto &instance : m_instances) {
        if (!instance->stopped && (!instance->process || instance->process->state() != QProcess::Running)) {
            *why = instance->name + QLatin1String(" ended: ") + logTail(*instance);
            return false;
        }
        if (!instance->stopped && !instance->paused)
            online.push_back(instance.get());
    }
    // A scan first (it returns when done): a change the watcher has not reported yet would otherwise
    // pass for in sync.
    for (Instance *instance : online) {
        if (!call(*instance, "POST", QLatin1String("/rest/db/scan?folder=") + kFolder)) {
            *why = instance->name + QLatin1String(" did not scan");
            return false;
        }
    }
    const QHash<QString, QByteArray> first =
        online.empty() ? QHash<QString, QByteArray>() : contents(online[0]->replica);
    for (Instance *instance : online) {
        const auto status = call(*instance, "GET", QLatin1String("/rest/db/status?folder=") + kFolder);
        const auto connections = call(*instance, "GET", QStringLiteral("/rest/system/connections"));
        if (!status || status->value(QLatin1String("state")).toString() != QLatin1String("idle") ||
            status->value(QLatin1String("needTotalItems")).toInt(-1) != 0 ||
            status->value(QLatin1String("pullErrors")).toInt(-1) != 0 || !connections) {
            *why = instance->name + QLatin1String(" is busy or has files to pull: ") +
                   QString::fromUtf8(QJsonDocument(status.value_or(QJsonObject())).toJson(QJsonDocument::Compact));
            return false;
        }
        for (Instance *other : online) {
            if (other == instance)
                continue;
            const auto completion =
                call(*instance, "GET",
                     QStringLiteral("/rest/db/completion?folder=%1&device=%2").arg(kFolder, other->deviceId));
            const bool connected = connections->value(QLatin1String("connections"))[other->deviceId]
                                       .toObject()
                                       .value(QLatin1String("connected"))
                                       .toBool();
            if (!connected || !completion || completion->value(QLatin1String("completion")).toDouble() < 100 ||
                completion->value(QLatin1String("needItems")).toInt(-1) != 0 ||
                completion->value(QLatin1String("needDeletes")).toInt(-1) != 0) {
                *why =
                    instance->name + QLatin1String(" sees ") + other->name + QLatin1String(" not connected or behind");
                return false;
            }
        }
        if (contents(instance->replica) != first) {
            *why = instance->name + QLatin1String(" holds other files than ") + online[0]->name;
            return false;
        }
    }
    return true;
}

QString SyncthingHub::logTail(const Instance &instance) const
{
    QFile log(instance.home + QLatin1String("/syncthing.log"));
    if (!log.open(QIODevice::ReadOnly))
        return QStringLiteral("(no log)");
    return QString::fromUtf8(log.readAll().right(600));
}
