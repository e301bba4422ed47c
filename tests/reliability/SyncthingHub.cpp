#include "SyncthingHub.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const QString kFolder = u"tandrill"_s;

// A digest of every file of a replica but Syncthing's own (its folder marker, its files in flight).
QHash<QString, QByteArray> contents(const QString &replica)
{
    QHash<QString, QByteArray> files;
    for (QDirIterator it(replica, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString relative = QDir(replica).relativeFilePath(it.next());
        QFile file(it.filePath());
        if (!relative.startsWith(u".stfolder"_s) && !relative.contains(u".syncthing."_s) &&
            file.open(QIODevice::ReadOnly))
            files.insert(relative, QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return files;
}

QString logTail(const QString &home)
{
    QFile log(home + u"/syncthing.log"_s);
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll().right(600)) : u"(no log)"_s;
}

} // namespace

SyncthingHub::SyncthingHub(const QString &root) : m_root(root + u"/syncthing"_s)
{
    m_network.setProxy(QNetworkProxy::NoProxy); // a proxy from the environment would take loopback calls elsewhere
}

SyncthingHub::~SyncthingHub()
{
    for (int index = 0; index < size(); ++index)
        stop(index);
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
    for (int index = 1; index <= count; ++index) {
        auto instance = std::make_unique<Instance>();
        instance->name = u"device-%1"_s.arg(index);
        instance->home = m_root + u'/' + instance->name;
        instance->replica = m_root + u"/replica-"_s + QString::number(index);
        instance->apiKey = QString::number(QRandomGenerator::global()->generate64(), 36);
        instance->guiPort = freePort();
        instance->listenPort = freePort();
        // Syncthing refuses a folder without its marker: it could be a disk that is not mounted.
        QDir().mkpath(instance->replica + u"/.stfolder"_s);
        QProcess generator;
        generator.setProcessChannelMode(QProcess::MergedChannels);
        generator.start(executable(), {u"generate"_s, u"--home="_s + instance->home, u"--no-default-folder"_s,
                                       u"--skip-port-probing"_s});
        const bool done = generator.waitForFinished(60000) && generator.exitCode() == 0;
        const QString output = QString::fromLocal8Bit(generator.readAll());
        const auto id = QRegularExpression(u"Device ID: ([A-Z0-9-]+)"_s).match(output);
        if (instance->guiPort == 0 || instance->listenPort == 0 || !done || !id.hasMatch())
            return fail(u"no free loopback port, or syncthing generate: "_s + output);
        instance->deviceId = id.captured(1);
        m_instances.push_back(std::move(instance));
    }
    held.clear();
    for (const auto &instance : m_instances) {
        QString devices, members;
        for (const auto &other : m_instances) {
            const QString address = other == instance ? u"dynamic"_s : u"tcp://127.0.0.1:%1"_s.arg(other->listenPort);
            devices += u"<device id=\"%1\" name=\"%2\"><address>%3</address></device>"_s.arg(other->deviceId,
                                                                                             other->name, address);
            members += u"<device id=\"%1\"></device>"_s.arg(other->deviceId);
        }
        // A short watcher delay and rescan interval carry a change within seconds, as a busy cloud
        // drive does; waitUntilInSync still scans before it relies on anything having arrived.
        const QString config = uR"(<configuration version="36">
<folder id="%1" path="%2" type="sendreceive" rescanIntervalS="5" fsWatcherEnabled="true" fsWatcherDelayS="1">%3
<minDiskFree unit="%">0</minDiskFree></folder>%4
<gui enabled="true" tls="false"><address>127.0.0.1:%5</address><apikey>%6</apikey></gui>
<options><listenAddress>tcp://127.0.0.1:%7</listenAddress><globalAnnounceEnabled>false</globalAnnounceEnabled>
<localAnnounceEnabled>false</localAnnounceEnabled><relaysEnabled>false</relaysEnabled><natEnabled>false</natEnabled>
<urAccepted>-1</urAccepted><crashReportingEnabled>false</crashReportingEnabled><reconnectionIntervalS>1</reconnectionIntervalS>
<stunKeepaliveStartS>0</stunKeepaliveStartS><minHomeDiskFree unit="%">0</minHomeDiskFree></options>
</configuration>
)"_s.arg(kFolder, instance->replica.toHtmlEscaped(), members, devices)
                                   .arg(instance->guiPort)
                                   .arg(instance->apiKey)
                                   .arg(instance->listenPort);
        QFile file(instance->home + u"/config.xml"_s);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config.toUtf8()) < 0)
            return fail(u"cannot write "_s + file.fileName());
        file.close();
        if (!launch(*instance))
            return false;
    }
    return waitUntilInSync();
}

bool SyncthingHub::launch(Instance &instance)
{
    instance.process = std::make_unique<QProcess>();
    QProcess &process = *instance.process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Syncthing 1.19 keeps a monitor process in front of itself even with --no-restart; this tells it
    // that it is the monitored process already, so the PID held here is Syncthing's own.
    environment.insert(u"STMONITORED"_s, u"1"_s);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(instance.home + u"/syncthing.log"_s, QIODevice::Append);
#ifdef Q_OS_LINUX
    // Should the test process die, its instances go with it rather than linger.
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    process.start(executable(), {u"serve"_s, u"--home="_s + instance.home, u"--no-browser"_s, u"--no-restart"_s,
                                 u"--no-upgrade"_s, u"--logflags=3"_s});
    instance.stopped = false;
    const QDeadlineTimer deadline(60000);
    while (!call(instance, "GET", u"/rest/system/ping"_s, 2000)) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return fail(instance.name + u" did not come up: "_s + logTail(instance.home));
        QTest::qWait(100);
    }
    return true;
}

void SyncthingHub::stop(int index)
{
    Instance &instance = *m_instances[size_t(index)];
    instance.stopped = true;
    if (instance.process) {
        instance.process->terminate();            // SIGTERM to its PID: Syncthing closes its database and exits
        instance.process->waitForFinished(15000); // else the reset kills it (~QProcess: SIGKILL and a wait)
    }
    instance.process.reset();
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
    if (!call(instance, "POST", paused ? u"/rest/system/pause"_s : u"/rest/system/resume"_s))
        return fail(u"cannot pause or resume "_s + instance.name);
    instance.paused = paused;
    return true;
}

std::optional<QJsonObject> SyncthingHub::call(const Instance &instance, const QByteArray &verb, const QString &path,
                                              int timeoutMs)
{
    QNetworkRequest request(QUrl(u"http://127.0.0.1:%1"_s.arg(instance.guiPort) + path));
    request.setRawHeader("X-API-Key", instance.apiKey.toLatin1());
    request.setTransferTimeout(timeoutMs);
    const std::unique_ptr<QNetworkReply> reply(m_network.sendCustomRequest(request, verb));
    if (!QTest::qWaitFor([&reply] { return reply->isFinished(); }, timeoutMs + 1000) ||
        reply->error() != QNetworkReply::NoError)
        return std::nullopt;
    return QJsonDocument::fromJson(reply->readAll()).object();
}

bool SyncthingHub::waitUntilInSync(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (QString why = notInSync(); !why.isEmpty(); why = notInSync()) {
        if (deadline.hasExpired())
            return fail(u"not in sync after %1 ms: "_s.arg(timeoutMs) + why);
        QTest::qWait(200);
    }
    return true;
}

QString SyncthingHub::notInSync()
{
    std::vector<Instance *> online;
    for (const auto &instance : m_instances) {
        if (!instance->stopped && (!instance->process || instance->process->state() != QProcess::Running))
            return instance->name + u" ended: "_s + logTail(instance->home);
        if (!instance->stopped && !instance->paused)
            online.push_back(instance.get());
    }
    // A scan first (it returns when done): a change the watcher has not reported yet would otherwise
    // pass for in sync.
    for (Instance *instance : online) {
        if (!call(*instance, "POST", u"/rest/db/scan?folder="_s + kFolder))
            return instance->name + u" did not scan"_s;
    }
    const auto first = online.empty() ? QHash<QString, QByteArray>() : contents(online[0]->replica);
    for (Instance *instance : online) {
        const auto status = call(*instance, "GET", u"/rest/db/status?folder="_s + kFolder);
        const auto connections = call(*instance, "GET", u"/rest/system/connections"_s);
        if (!status || status->value(u"state"_s).toString() != u"idle"_s ||
            status->value(u"needTotalItems"_s).toInt(-1) != 0 || status->value(u"pullErrors"_s).toInt(-1) != 0 ||
            !connections)
            return instance->name + u" is busy or has files to pull: "_s +
                   QString::fromUtf8(QJsonDocument(status.value_or(QJsonObject())).toJson());
        for (Instance *other : online) {
            if (other == instance)
                continue;
            const auto completion =
                call(*instance, "GET", u"/rest/db/completion?folder=%1&device=%2"_s.arg(kFolder, other->deviceId));
            const bool connected =
                connections->value(u"connections"_s)[other->deviceId].toObject().value(u"connected"_s).toBool();
            if (!connected || !completion || completion->value(u"completion"_s).toDouble() < 100 ||
                completion->value(u"needItems"_s).toInt(-1) != 0 || completion->value(u"needDeletes"_s).toInt(-1) != 0)
                return instance->name + u" sees "_s + other->name + u" not connected or behind"_s;
        }
        if (contents(instance->replica) != first)
            return instance->name + u" holds other files than "_s + online[0]->name;
    }
    return {};
}
