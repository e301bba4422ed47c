#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The Dock files a sync writes besides copies: the Dock a pull applies on this Mac, and the Dock a
// push shares from a Mac that keeps its own look. Bytes in, bytes out; the engine does the I/O.
namespace DockApply {

// The shared Dock made this Mac's, written binary as the Dock writes its file. This Mac's
// bookkeeping (recent apps, trash, counters, stamps, "loc", "region") stays; paths in another
// account's home point into this one, and their tiles lose their bookmark data so that the Dock
// resolves the path instead; a tile this Mac already shows stays as this Mac wrote it; without
// sameLook, this Mac's look stays too. `current` is this Mac's Dock: none, or not a Dock, when it
// has none yet. None when `shared` is not a Dock.
std::optional<QByteArray> forThisMac(const QByteArray &shared, const std::optional<QByteArray> &current,
                                     const QString &homeDirectory, bool sameLook);

// What a push from a Mac that keeps its own look shares: this Mac's Dock with the shared copy's
// look, so that no Mac takes this one's. This Mac's Dock as it is when there is no shared Dock.
// None when `local` is not a Dock.
std::optional<QByteArray> forSharing(const QByteArray &local, const std::optional<QByteArray> &shared);

} // namespace DockApply
