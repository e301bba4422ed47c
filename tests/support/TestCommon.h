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
