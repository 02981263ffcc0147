// The LZW code stream of the package's compressed files: 9- to 12-bit codes
// with a clear code, packed least significant bit first in groups of up to
// eight codes of one width.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace zv {

constexpr uint8_t kLzwMagic0 = 0x1F;
constexpr uint8_t kLzwMagic1 = 0x9D;
// Largest code width 12, block mode (clear codes) on.
constexpr uint8_t kLzwFlags = 0x8C;
// Magic, the 20-byte file header and the flags byte.
constexpr size_t kLzwHeaderSize = 23;
constexpr size_t kLzwFileHeaderSize = 20;
// In the file header: the DOS time and date of the file (two bytes each,
// low byte first), two zero bytes, then its name, padded with zeros.
constexpr size_t kLzwNameOffset = 6;
constexpr size_t kLzwNameSize = 14;

// Writes the header around fileHeader, then the codes for everything read
// from input. false on a read or write error.
bool lzwCompress(File& input, File& output, const uint8_t fileHeader[kLzwFileHeaderSize]);

enum class LzwStatus { kOk, kDamaged, kReadError, kWriteError };

// Expands the code stream that follows the flags byte. The width limit
// (flags bits 0-4) must not exceed 12; bit 7 turns on block mode.
LzwStatus lzwDecompress(File& input, File& output, int flags);

}  // namespace zv
