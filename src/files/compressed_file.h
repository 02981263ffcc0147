// The package's compressed file format.
#pragma once

#include <string>

#include "platform/platform.h"

namespace zv {

// 1 on success, 0 on failure (after a message with an error box). The
// compressed file appears only when it is complete; a compressed file that
// would replace its own source is refused.
int compressFile(const std::string& source, const std::string& destination, bool verbose);
// Without destinationIsFile, destination is a directory, and the output is
// named after the name stored in the compressed file. The output appears only
// when the expansion is complete: until then an existing file of that name
// is left as it is.
int decompressFile(const std::string& source, const std::string& destination,
                   bool destinationIsFile, bool verbose);

// Reads the header at the start of file, the compressed file source, for
// the time stored in it. 0 after an error box when source is no compressed
// file or its header is cut; raises ErrorCode::kStampUnreadable (message:
// source) when it cannot be read.
int checkCompressedHeader(File& file, const std::string& source, DosStamp* stamp);

// Expands source into output (open and empty) and gives it the time stored
// in source. 0 after an error box when source is no compressed file or its
// data is damaged; raises ErrorCode::kReadFailed (message: source) when
// source cannot be read and kWriteFailed (message: outputName) when output
// cannot be written.
int expandInto(const std::string& source, File& output, const std::string& outputName);

// The stamp stored in a compressed file's header; *stamp is left alone when
// the file cannot be read.
void readCompressedStamp(const std::string& path, DosStamp* stamp);

// The extension under which the package holds a compressed file: the last
// character of a longer extension becomes "_", a shorter one is padded
// with "_" to four characters (".DLL" -> ".DL_", ".H" -> ".H__").
std::string compressedName(const std::string& extension);

}  // namespace zv
