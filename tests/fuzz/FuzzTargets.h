#pragma once

#include <cstddef>
#include <cstdint>

// The readers of the shared folder, driven by arbitrary bytes. Each entry point checks what must
// hold for every input and aborts when it does not, so libFuzzer reports it like a crash. The
// libFuzzer targets call them, and so does tst_reliability, which replays the corpus in every
// test run, with or without clang.
namespace FuzzTargets {

// A key=value file (meta or status file) and the numbers read from its values.
void keyValues(const std::uint8_t *data, std::size_t size);

// This Mac's host name, then status files, separated by NUL bytes: each file read as a host
// record, then the records sorted for the list of Macs.
void hostStatus(const std::uint8_t *data, std::size_t size);

// One byte of flags (bit 0: the bytes are the tail of a larger log), one byte of limit, then the
// log's bytes: split into entries, each split into time, source and message.
void logLines(const std::uint8_t *data, std::size_t size);

// A host name, read as UTF-8 and, for an even length, as UTF-16, turned into its file name.
void fileSafeName(const std::uint8_t *data, std::size_t size);

// Two Dock files, this Mac's and the shared copy: two bytes give the first one's length (big
// endian), the rest is the second. Each is read as a Dock, and the difference between them shown.
void dockFiles(const std::uint8_t *data, std::size_t size);

} // namespace FuzzTargets
