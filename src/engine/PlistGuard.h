#pragma once

#include <QByteArray>

// What is not given to libplist. It stops the whole process on text holding a NUL character (an
// assertion when such a key or string is read back), and it parses and frees nested containers by
// recursion, so a file nested deeply enough overflows the stack: while parsing a binary list, while
// freeing an XML one. A Dock nests five levels; a file nested deeper than kMaxDepth, holding such
// text, or with an object table that makes no sense is not a Dock, whoever put it in the folder.
namespace PlistGuard {

inline constexpr int kMaxDepth = 32;

// `binary`: the bytes start with the binary list's magic; XML otherwise.
bool safeToParse(const QByteArray &bytes, bool binary);

} // namespace PlistGuard
