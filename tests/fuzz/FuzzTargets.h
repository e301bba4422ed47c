#pragma once

#include <cstddef>
#include <cstdint>

// The readers of the shared folder, driven by arbitrary bytes (by libFuzzer, and by the corpus replay
// of tst_reliability). Each aborts where what must hold for every input does not.
namespace FuzzTargets {

// A key=value file (meta or status file) and the numbers read from its values.
void keyValues(const std::uint8_t *data, std::size_t size);

// This Mac's host name, then status files, separated by NUL bytes: read, then sorted.
void hostStatus(const std::uint8_t *data, std::size_t size);

// One byte of flags (bit 0: the tail of a larger log), one byte of limit, then the log's bytes.
void logLines(const std::uint8_t *data, std::size_t size);

// A host name, read as UTF-8 and, for an even length, as UTF-16, turned into its file name.
void fileSafeName(const std::uint8_t *data, std::size_t size);

// Two Dock files: two bytes give the first one's length (big endian), the rest is the second.
void dockFiles(const std::uint8_t *data, std::size_t size);

} // namespace FuzzTargets
