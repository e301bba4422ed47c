#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// A file-sync service for tests: every simulated Mac keeps its own replica of the sync folder,
// and Unison carries changes between each replica and one hub, the way a cloud drive carries
// them between Macs through its server. Conflicting changes go to the newer file, which is the
// cloud drive's "last writer wins".
class UnisonHub {
public:
    // keepTimes: propagate modification times (-times); without it an arriving file gets the
    // time of its arrival, as with a service that does not keep them.
    UnisonHub(const QString &root, bool keepTimes);

    static QString executable(); // empty when Unison is not installed

    QString hub() const { return m_hub; }
    QString addReplica(const QString &name); // creates and returns the replica's folder

    // Two-way sync of one replica with the hub; with paths, only those files travel.
    bool sync(const QString &replica, const QStringList &paths = {});

    // Every replica with the hub, twice, so that a change of any replica reaches all of them.
    bool propagate();

    QString lastError() const { return m_lastError; }

private:
    QString m_hub;
    QString m_replicaRoot;
    QStringList m_replicas;
    QProcessEnvironment m_environment;
    bool m_keepTimes;
    QString m_lastError;
};
