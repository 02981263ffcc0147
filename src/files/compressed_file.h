// The package's compressed file format.
#pragma once

#include <string>

namespace zv {

// 1 on success, 0 on failure (after a message with an error box).
int compressFile(const std::string& source, const std::string& destination, int verbose);
// destinationIsFile 0: destination is a directory, and the output is named
// after the name stored in the compressed file.
int decompressFile(const std::string& source, const std::string& destination, int destinationIsFile,
                   int verbose);

}  // namespace zv

namespace zv {

// The extension under which the package holds a compressed file: the last
// character of a longer extension becomes "_", a shorter one is padded
// with "_" to four characters (".DLL" -> ".DL_", ".H" -> ".H__").
std::string compressedName(const std::string& extension);

}  // namespace zv
