#include "files/lzw.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "files/lzw_codes.h"

namespace zv {

namespace {

using namespace lzw;

// Input read in large blocks and handed out in small pieces.
class BlockReader {
 public:
  explicit BlockReader(File& file) : file_(file), buffer_(kBlockSize) {}
  // Copies up to count bytes; fewer only at the end of the input or after
  // a read error.
  size_t take(uint8_t* out, size_t count) {
    if (static_cast<size_t>(end_ - pos_) >= count) {
      std::memcpy(out, pos_, count);
      pos_ += count;
      return count;
    }
    size_t done = 0;
    while (done < count) {
      if (pos_ == end_ && !refill()) break;
      size_t n = std::min(count - done, static_cast<size_t>(end_ - pos_));
      std::memcpy(out + done, pos_, n);
      pos_ += n;
      done += n;
    }
    return done;
  }
  bool failed() const { return failed_; }

 private:
  bool refill() {
    if (atEnd_) return false;
    const int64_t n = file_.read(buffer_.data(), buffer_.size());
    if (n <= 0) {
      failed_ = n < 0;
      atEnd_ = true;
      return false;
    }
    pos_ = buffer_.data();
    end_ = pos_ + n;
    return true;
  }

  File& file_;
  std::vector<uint8_t> buffer_;
  const uint8_t* pos_ = nullptr;
  const uint8_t* end_ = nullptr;
  bool atEnd_ = false;
  bool failed_ = false;
};

// The 256 single bytes sit in front of the output, so that every code can
// be copied from one place.
constexpr int32_t kRootBytes = 256;
constexpr size_t kHistorySize = size_t{512} << 10;
// Room past the limit for the strings of a whole group, and whole-word
// stores: the limit is looked at once per group.
constexpr size_t kGroupSlack = 8 * kMaxMaxCode + 64;
// Kept in memory when the output is written out: the strings used lately.
constexpr size_t kKeep = size_t{128} << 10;

// The decoder's output, written out in large blocks while the latest part
// stays in memory for strings to be copied from.
class HistoryWriter {
 public:
  explicit HistoryWriter(File& file) : file_(file), buffer_(kHistorySize + kGroupSlack) {
    for (int c = 0; c < kRootBytes; ++c) buffer_[c] = static_cast<uint8_t>(c);
    written_ = kRootBytes;
  }
  uint8_t* base() { return buffer_.data(); }
  uint8_t* begin() { return buffer_.data() + kRootBytes; }
  // Past this point the output is written out before the next string.
  const uint8_t* limit() const { return buffer_.data() + kHistorySize; }
  // Writes what is new, keeps the last kKeep bytes behind the single bytes
  // and returns how far they moved.
  int32_t slide(uint8_t* end) {
    write(end);
    uint8_t* keep = end - kKeep;
    std::memmove(begin(), keep, kKeep);
    written_ = kRootBytes + kKeep;
    return static_cast<int32_t>(keep - begin());
  }
  void finish(uint8_t* end) { write(end); }
  bool ok() const { return ok_; }

 private:
  void write(uint8_t* end) {
    const size_t count = static_cast<size_t>(end - buffer_.data()) - written_;
    if (count > 0 && ok_ &&
        file_.write(buffer_.data() + written_, count) != static_cast<int64_t>(count)) {
      ok_ = false;
    }
    written_ += count;
  }

  File& file_;
  std::vector<uint8_t> buffer_;
  size_t written_;
  bool ok_ = true;
};

// Copies a string of up to 16 bytes from earlier output. The string ends
// before o, so the bytes read past it do not matter and are overwritten.
inline void copy16(uint8_t* o, const uint8_t* source) {
  uint8_t chunk[16];
  std::memcpy(chunk, source, 16);
  std::memcpy(o, chunk, 16);
}

inline void copyLong(uint8_t* o, const uint8_t* source, int length) {
  for (int k = 0; k < length; k += 16) copy16(o + k, source + k);
}

// The last group of a stream is cut to the bytes its codes use, and the
// bits above the last code are zero. Anything else is a cut-off stream.
bool lastGroupIntact(const uint8_t* group, size_t bytes, int width) {
  const int bits = static_cast<int>(bytes) * 8;
  const int leftover = bits % width;
  if (bits < width || leftover >= 8) return false;
  return leftover == 0 || (group[bytes - 1] >> (8 - leftover)) == 0;
}

// The decoder's strings: a copy of each sits in the output kept in memory
// at offset source_ (-1 once it has left), and every string can be spelt
// backwards through the prefix chain.
class Decoder {
 public:
  LzwStatus run(File& input, File& output, int flags);

 private:
  // Spells the string of a code at o, last byte first.
  void writeString(uint8_t* o, int code, int length) const {
    uint8_t* q = o + length;
    for (int k = length - 1; k > 0; --k) {
      *--q = suffix_[code];
      code = prefix_[code];
    }
    *--q = static_cast<uint8_t>(code);
  }

  uint16_t prefix_[kMaxMaxCode];
  uint8_t suffix_[kMaxMaxCode];
  uint16_t length_[kMaxMaxCode];
  int32_t source_[kMaxMaxCode];
};

LzwStatus Decoder::run(File& input, File& output, int flags) {
  const int widthLimit = flags & 0x1F;
  const bool blockMode = (flags & 0x80) != 0;
  const int maxMaxCode = 1 << widthLimit;
  BlockReader in(input);
  HistoryWriter out(output);
  uint8_t* const base = out.base();

  int width = kInitialWidth;
  int maxCode = kInitialMaxCode;
  int freeEnt = blockMode ? kFirstCode : kClearCode;
  // One group, with room for whole-word loads past its end.
  uint8_t group[kMaxBits + 4] = {};
  for (int c = 0; c < 256; ++c) {
    prefix_[c] = 0;
    suffix_[c] = static_cast<uint8_t>(c);
    length_[c] = 1;
    source_[c] = c;
  }

  // A group cut short by a failed read is no sign of damage.
  auto broken = [&] { return in.failed() ? LzwStatus::kReadError : LzwStatus::kDamaged; };

  uint8_t* o = out.begin();
  int old = -1;          // the previous code; none before the first
  int32_t previous = 0;  // where the previous code's string starts
  int previousLength = 0;
  // A group at a time: its codes are read until it ends, a clear code
  // comes or the table outgrows the width (the rest of the group is then
  // padding). The loop over a group calls nothing, so that its state stays
  // in registers.
  for (;;) {
    // The width never passes 12: the table stops growing at 2^limit.
    if (freeEnt > maxCode) {
      ++width;
      maxCode = width == widthLimit ? maxMaxCode : (1 << width) - 1;
    }
    const size_t got = in.take(group, static_cast<size_t>(width));
    if (got == 0) break;
    if (got < static_cast<size_t>(width) && !lastGroupIntact(group, got, width)) return broken();
    if (o >= out.limit()) {
      const int32_t moved = out.slide(o);
      o -= moved;
      previous -= moved;
      for (int32_t& source : source_) {
        if (source >= kRootBytes) source = source >= kRootBytes + moved ? source - moved : -1;
      }
    }
    uint16_t codes[8];
    const int count = static_cast<int>(got) * 8 / width;
    const uint32_t mask = (1u << width) - 1;
    for (int k = 0, offset = 0; k < count; ++k, offset += width) {
      codes[k] = static_cast<uint16_t>((load32(group + (offset >> 3)) >> (offset & 7)) & mask);
    }
    bool damaged = false;
    for (const uint16_t* next = codes; next < codes + count; ++next) {
      const int code = *next;
      if (old < 0) {
        // The first code stands for a byte.
        if (code > 255) {
          damaged = true;
          break;
        }
        *o = static_cast<uint8_t>(code);
        previous = static_cast<int32_t>(o - base);
        previousLength = 1;
        ++o;
        old = code;
        continue;
      }
      if (code == kClearCode && blockMode) {
        freeEnt = kClearCode;
        width = kInitialWidth;
        maxCode = kInitialMaxCode;
        break;
      }
      int length;
      if (code < freeEnt) {
        length = length_[code];
        const int32_t source = source_[code];
        if (source >= 0 && length <= 16) {
          copy16(o, base + source);
        } else if (source >= 0) {
          copyLong(o, base + source, length);
        } else {
          writeString(o, code, length);
        }
      } else {
        // Only the code being defined may follow: the previous string and
        // its own first byte.
        if (code > freeEnt) {
          damaged = true;
          break;
        }
        copyLong(o, base + previous, previousLength);
        o[previousLength] = o[0];
        length = previousLength + 1;
      }
      if (freeEnt < maxMaxCode) {
        prefix_[freeEnt] = static_cast<uint16_t>(old);
        suffix_[freeEnt] = o[0];
        length_[freeEnt] = static_cast<uint16_t>(previousLength + 1);
        source_[freeEnt] = previous;
        ++freeEnt;
      }
      // The latest copy of a string stays in memory longest.
      previous = static_cast<int32_t>(o - base);
      if (code < kMaxMaxCode) source_[code] = previous;
      previousLength = length;
      o += length;
      old = code;
      if (freeEnt > maxCode) break;
    }
    if (damaged) return broken();
  }
  if (in.failed()) return LzwStatus::kReadError;
  out.finish(o);
  return out.ok() ? LzwStatus::kOk : LzwStatus::kWriteError;
}

}  // namespace

LzwStatus lzwDecompress(File& input, File& output, int flags) {
  // Its tables are too large for a small thread stack.
  return std::make_unique<Decoder>()->run(input, output, flags);
}

}  // namespace zv
