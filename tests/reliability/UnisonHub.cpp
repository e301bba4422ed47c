#include "UnisonHub.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

UnisonHub::UnisonHub(const QString &root, bool keepTimes)
    : m_hub(root + QLatin1String("/hub")), m_replicaRoot(root + QLatin1String("/replicas")), m_keepTimes(keepTimes)
{
    QDir().mkpath(m_hub);
    QDir().mkpath(m_replicaRoot);
    // Unison keeps its archives (the last synchronized state of each pair) here, not in the home.
    const QString state = root + QLatin1String("/unison-state");
    QDir().mkpath(state);
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("UNISON"), state);
}

QString UnisonHub::executable()
{
    return QStandardPaths::findExecutable(QStringLiteral("unison"));
}

QString UnisonHub::addReplica(const QString &name)
{
    const QString replica = m_replicaRoot + QLatin1Char('/') + name;
    QDir().mkpath(replica);
    m_replicas.append(replica);
    return replica;
}

bool UnisonHub::sync(const QString &replica, const QStringList &paths)
{
    // -fastcheck false compares contents rather than trusting size and time, so an edit that
    // keeps both is still carried; -confirmbigdel=false lets a replica that lost every file
    // (a vanished folder) sync without a question.
    QStringList arguments{replica, m_hub};
    arguments += QStringLiteral("-batch -auto -silent -prefer newer -fastcheck false -confirmbigdel=false -log=false")
                     .split(QLatin1Char(' '));
    if (m_keepTimes)
        arguments.append(QStringLiteral("-times"));
    for (const QString &path : paths)
        arguments << QStringLiteral("-path") << path;

    QProcess unison;
    unison.setProcessEnvironment(m_environment);
    unison.setProcessChannelMode(QProcess::MergedChannels);
    unison.start(executable(), arguments);
    if (!unison.waitForFinished(120000)) {
        unison.kill();
        unison.waitForFinished();
        m_lastError = QStringLiteral("unison did not finish");
        return false;
    }
    // 0: all done; 1: some files skipped. Anything above is a failure of the sync itself.
    if (unison.exitStatus() != QProcess::NormalExit || unison.exitCode() > 1) {
        m_lastError =
            QStringLiteral("unison exit %1: %2").arg(unison.exitCode()).arg(QString::fromLocal8Bit(unison.readAll()));
        return false;
    }
    return true;
}

bool UnisonHub::propagate()
{
    for (int pass = 0; pass < 2; ++pass) {
        for (const QString &replica : std::as_const(m_replicas)) {
            if (!sync(replica))
                return false;
        }
    }
    return true;
}
