#include "ViewTestFixture.h"

#include "SyncFormat.h"

#include <QDir>
#include <QtTest>

ViewTestFixture::ViewTestFixture(const QString &root, const QString &hostname)
    : m_folder(root + QLatin1String("/iCloud/Dock Sync")),
      m_harness(std::make_unique<CoordinatorHarness>(hostname, root))
{
    m_harness->mac().writeDock("<dock of " + hostname.toUtf8() + ">", 1'700'000'000.0);
    m_loc = std::make_unique<LocalizationManager>(&m_harness->settings());
}

ViewTestFixture::~ViewTestFixture()
{
    m_harness->stop();
}

SyncManager &ViewTestFixture::startSetUp()
{
    m_harness->storeSetUp(m_folder);
    return startFresh();
}

SyncManager &ViewTestFixture::startFresh()
{
    SyncManager &manager = m_harness->start();
    m_harness->settle();
    return manager;
}

void ViewTestFixture::writeStatus(const QString &hostname, const QString &action, const QString &time)
{
    QDir().mkpath(m_folder);
    writeBytes(m_folder + QLatin1Char('/') + SyncFormat::hostFileName(SyncFormat::kStatusPrefix, hostname),
               QStringLiteral("hostname=%1\nlast_action=%2\nlast_time=%3\nlast_pulled=0\n")
                   .arg(hostname, action, time)
                   .toUtf8());
}

void ViewTestFixture::refresh()
{
    manager().refreshAll();
    settle();
}

void ViewTestFixture::settle()
{
    m_harness->settle();
    QCoreApplication::processEvents();
}

bool showView(QWidget *view, QSize size)
{
    view->resize(size);
    view->show();
    const bool exposed = QTest::qWaitForWindowExposed(view);
    QCoreApplication::processEvents();
    return exposed;
}
