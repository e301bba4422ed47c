#pragma once

#include "FeedFetcher.h"

#include <QString>

#include <memory>

// The updater's network part is a module beside the app (Contents/PlugIns in the macOS bundle,
// lib/tandrill on Linux): loaded the first time it is asked for, then kept.
namespace UpdateNetworkModule {

// Where the app looks for the module.
QString path();

// A fetcher from the module; null, with `error` saying why, when the module cannot be loaded.
std::unique_ptr<FeedFetcher> createFeedFetcher(QString *error);

} // namespace UpdateNetworkModule
