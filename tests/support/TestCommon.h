#pragma once

// What the test files of this suite share: QtTest and the registration with the shared main, the
// isolated environment, the simulated Macs and the file helpers.
#include "SafeFile.h"
#include "SimulatedMac.h"
#include "SyncFormat.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Kind = SyncEngine::Result::Kind;
using Mode = SyncEngine::Mode;
using namespace Qt::StringLiterals;

// A test class whose every function starts with a fresh temporary root and one simulated Mac on its
// shared folder "Dock Sync" there.
class OneMacTest : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_mac;

    QString folder() const { return m_root->path() + u"/Dock Sync"_s; }
    QString file(const char *name) const { return folder() + u'/' + QLatin1String(name); }
    void makeMac(const QString &hostname = u"Mac A"_s)
    {
        m_root = std::make_unique<QTemporaryDir>();
        if (!m_root->isValid() || !QDir().mkpath(folder()))
            qFatal("no temporary folder for the test");
        m_mac = std::make_unique<SimulatedMac>(hostname, folder(), m_root->path());
    }
};
