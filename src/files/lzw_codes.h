// What the encoder and the decoder of the LZW code stream share: the code
// widths, the codes with a meaning of their own, the block size of their
// reads and writes, and words stored least significant byte first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zv {
namespace lzw {

constexpr int kMaxBits = 12;
constexpr int kMaxMaxCode = 1 << kMaxBits;
constexpr int kClearCode = 256;
constexpr int kFirstCode = 257;
constexpr int kInitialWidth = 9;
constexpr int kInitialMaxCode = (1 << kInitialWidth) - 1;
// Files are read and written in blocks of this size: few calls, and little
// memory to set up.
constexpr size_t kBlockSize = size_t{64} << 10;

inline void store32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

inline uint32_t load32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace lzw
}  // namespace zv
