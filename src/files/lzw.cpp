#include "files/lzw.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zv {

namespace {

constexpr int kHashSize = 5003;  // prime
// The number of doublings that take kHashSize to 65536 or more is 4.
constexpr int kHashShift = 8 - 4;
constexpr int kMaxBits = 12;
constexpr int kMaxMaxCode = 1 << kMaxBits;
constexpr int kClearCode = 256;
constexpr int kFirstCode = 257;
constexpr int kInitialWidth = 9;
constexpr int kInitialMaxCode = (1 << kInitialWidth) - 1;
constexpr int64_t kCheckGap = 10000;
// Files are read and written in blocks of this size: few calls, and little
// memory to set up.
constexpr size_t kBlockSize = size_t{64} << 10;
// Room past a block for the longest string a code stands for (3842 bytes)
// and for whole-word stores.
constexpr size_t kSlack = kMaxMaxCode + 64;

// The encoder's group buffer lives as long as the process: a short group
// closed by a width change carries, after its last code, the bytes that
// earlier groups left there.
uint8_t gGroup[kMaxBits];

// Tables in static storage: too large for a small thread stack, and the
// state is process-wide anyway (one file at a time).

// The encoder's strings. Its 5003-entry table finds every string it holds
// but one: probing stops at the entry of fcode 0 (two zero bytes) as at a
// free slot, so an insertion may land on that entry and replace it. Any
// exact lookup thus gives the same codes as long as that replacement is
// seen. gNext is such a lookup; gSlotState replays the table's layout, and
// only when the string of two zero bytes is looked up.
//
// gNext is indexed directly, by byte and then by code: the entry holds the
// code of the string one byte longer, or the byte itself when the table has
// no such string, so the value loaded is the next state whether the string
// is known or not. Rows by byte measured faster than rows by code; they are
// padded so that they start in different cache sets.
constexpr size_t kColumns = kMaxMaxCode + 16;
uint16_t gNext[256 * kColumns];
inline uint32_t entryOf(uint32_t code, uint32_t byte) {
  return byte * static_cast<uint32_t>(kColumns) + code;
}
// The entry of two zero bytes holds this while the table fills (no code
// and no byte is 256): that string takes the slow way. Once the table is
// full the string's fate is settled and its entry holds its answer.
constexpr uint16_t kZeroMark = kClearCode;
// The entry each code was given, to empty them when the table clears; the
// string of two zero bytes "has" one in the padding, which is never read.
uint32_t gEntryOf[kMaxMaxCode];
constexpr uint32_t kSpareEntry = kMaxMaxCode;
// The fcode of each code, for the replay.
uint32_t gFcodeOf[kMaxMaxCode];
// -1 free, 0 the entry of fcode 0, 1 any other entry.
int8_t gSlotState[kHashSize];

// The decoder's strings: a copy of each sits in the output kept in memory
// at offset gSource (-1 once it has left), and every string can be spelt
// backwards through the prefix chain.
uint16_t gPrefix[kMaxMaxCode];
uint8_t gSuffix[kMaxMaxCode];
uint16_t gLength[kMaxMaxCode];
int32_t gSource[kMaxMaxCode];

// A hint to the cache; no effect on the result.
inline void prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

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

// Output gathered in large blocks; a failed or short write is remembered
// and ends all further writing.
class BlockWriter {
 public:
  explicit BlockWriter(File& file) : file_(file), buffer_(kBlockSize + kSlack) {}
  uint8_t* begin() { return buffer_.data(); }
  // Past this point the buffer is written out.
  const uint8_t* limit() const { return buffer_.data() + kBlockSize; }
  // Writes [begin, end) and returns begin again.
  uint8_t* flush(uint8_t* end) {
    const size_t count = static_cast<size_t>(end - buffer_.data());
    if (count > 0 && ok_ && file_.write(buffer_.data(), count) != static_cast<int64_t>(count)) {
      ok_ = false;
    }
    return buffer_.data();
  }
  bool ok() const { return ok_; }

 private:
  File& file_;
  std::vector<uint8_t> buffer_;
  bool ok_ = true;
};

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

// Spells the string of a code at o, last byte first.
inline void writeString(uint8_t* o, int code, int length) {
  uint8_t* q = o + length;
  for (int k = length - 1; k > 0; --k) {
    *--q = gSuffix[code];
    code = gPrefix[code];
  }
  *--q = static_cast<uint8_t>(code);
}

// The last group of a stream is cut to the bytes its codes use, and the
// bits above the last code are zero. Anything else is a cut-off stream.
bool lastGroupIntact(const uint8_t* group, size_t bytes, int width) {
  const int bits = static_cast<int>(bytes) * 8;
  const int leftover = bits % width;
  if (bits < width || leftover >= 8) return false;
  return leftover == 0 || (group[bytes - 1] >> (8 - leftover)) == 0;
}

// Puts an fcode the table does not hold where the table's probing puts it;
// true when that replaces the entry of fcode 0. The start slot and the
// next seven of the probe are looked at together, without a branch: most
// entries land among them, and a branch on each slot would mispredict.
bool placeInTable(uint32_t fcode) {
  const int c = static_cast<int>(fcode >> kMaxBits);
  const int ent = static_cast<int>(fcode & (kMaxMaxCode - 1));
  const int start = (c << kHashShift) ^ ent;
  const int disp = start == 0 ? 1 : start;
  // The start slot stops the probe only when free; the others also at the
  // entry of fcode 0.
  int slot = start;
  unsigned stops = gSlotState[start] < 0;
  int slots[8];
  slots[0] = start;
  for (int k = 1; k < 8; ++k) {
    slot -= disp;
    slot += slot < 0 ? kHashSize : 0;
    slots[k] = slot;
    stops |= static_cast<unsigned>(gSlotState[slot] <= 0) << k;
  }
  while (stops == 0) {
    for (int k = 0; k < 8; ++k) {
      slot -= disp;
      slot += slot < 0 ? kHashSize : 0;
      slots[k] = slot;
      stops |= static_cast<unsigned>(gSlotState[slot] <= 0) << k;
    }
  }
  const int i = slots[__builtin_ctz(stops)];
  const bool replaces = gSlotState[i] == 0;
  gSlotState[i] = fcode == 0 ? 0 : 1;
  return replaces;
}

// Eight codes of width W, a full group of W bytes, stored at o; returns
// the end. Stores up to four bytes past it.
template <int W>
inline uint8_t* putGroup(uint8_t* o, const uint16_t* codes) {
  uint64_t acc = 0;
  int bits = 0;
  for (int j = 0; j < 8; ++j) {
    acc |= static_cast<uint64_t>(codes[j]) << bits;
    bits += W;
    if (bits >= 32) {
      store32(o, static_cast<uint32_t>(acc));
      o += 4;
      acc >>= 32;
      bits -= 32;
    }
  }
  if (bits > 0) {
    store32(o, static_cast<uint32_t>(acc));
    o += bits >> 3;
  }
  return o;
}

// Packs codes into groups: up to 8 codes of one width, a group closed by a
// width change written whole, the last one cut to the bytes it uses.
class Packer {
 public:
  explicit Packer(BlockWriter& out, uint8_t* o) : out_(out), o_(o) {}

  // Codes other than the clear code. The width grows after 256 codes of 9
  // bits, 512 of 10 and 1024 of 11, as the table fills.
  void pack(const uint16_t* codes, size_t count) {
    while (count > 0) {
      const size_t run = count < left_ ? count : left_;
      switch (width_) {
        case 9:
          packRun<9>(codes, run);
          break;
        case 10:
          packRun<10>(codes, run);
          break;
        case 11:
          packRun<11>(codes, run);
          break;
        default:
          packRun<12>(codes, run);
          break;
      }
      codes += run;
      count -= run;
      left_ -= run;
      if (left_ == 0) {
        closeGroup();
        ++width_;
        left_ = width_ == kMaxBits ? kUnlimited : size_t{1} << (width_ - 1);
      }
    }
  }

  // The clear code, at the current width; the next code starts a group of
  // 9 bits.
  void clear() {
    const uint16_t code = kClearCode;
    left_ = kUnlimited;
    pack(&code, 1);
    closeGroup();
    width_ = kInitialWidth;
    left_ = size_t{1} << (kInitialWidth - 1);
  }

  // Cuts the last group to the bytes its codes use and writes everything.
  bool finish() {
    if (groupCodes_ > 0) storeShort(o_, acc_, accBits_, groupCodes_);
    out_.flush(o_);
    return out_.ok();
  }

 private:
  static constexpr size_t kUnlimited = ~size_t{0};

  template <int W>
  void packRun(const uint16_t* codes, size_t count) {
    uint8_t* o = o_;
    uint64_t acc = acc_;
    int accBits = accBits_;
    int groupCodes = groupCodes_;
    const uint16_t* const end = codes + count;
    for (;;) {
      if (groupCodes == 0 && end - codes >= 8) {
        // Whole groups at once.
        do {
          o = putGroup<W>(o, codes);
          codes += 8;
          lastFull_ = o - W;
          lastFullWidth_ = W;
          if (o >= out_.limit()) {
            keepLastFull();
            o = out_.flush(o);
          }
        } while (end - codes >= 8);
      }
      if (codes == end) break;
      acc |= static_cast<uint64_t>(*codes++) << accBits;
      accBits += W;
      if (accBits >= 32) {
        store32(o, static_cast<uint32_t>(acc));
        o += 4;
        acc >>= 32;
        accBits -= 32;
      }
      if (++groupCodes == 8) {
        // A full group ends on a byte.
        store32(o, static_cast<uint32_t>(acc));
        o += accBits >> 3;
        acc = 0;
        accBits = 0;
        groupCodes = 0;
        lastFull_ = o - W;
        lastFullWidth_ = W;
        if (o >= out_.limit()) {
          keepLastFull();
          o = out_.flush(o);
        }
      }
    }
    o_ = o;
    acc_ = acc;
    accBits_ = accBits;
    groupCodes_ = groupCodes;
  }

  // Ends the group in progress before a width change. Written whole: the
  // reader takes width bytes at a time.
  void closeGroup() {
    if (groupCodes_ == 0) return;
    const int used = storeShort(o_, acc_, accBits_, groupCodes_);
    std::memcpy(o_, gGroup + used, static_cast<size_t>(width_ - used));
    o_ += width_ - used;
    acc_ = 0;
    accBits_ = 0;
    groupCodes_ = 0;
    if (o_ >= out_.limit()) o_ = out_.flush(o_);
  }
  // gGroup learns the latest full group only when it is about to be read
  // or to leave the buffer; it covers every position a later full group
  // of smaller width would not.
  void keepLastFull() {
    if (lastFull_) std::memcpy(gGroup, lastFull_, static_cast<size_t>(lastFullWidth_));
    lastFull_ = nullptr;
  }
  // Stores the codes of a short group at o, advances o past them and
  // returns their number of bytes; gGroup then holds them.
  int storeShort(uint8_t*& o, uint64_t acc, int accBits, int groupCodes) {
    keepLastFull();
    const int used = (groupCodes * width_ + 7) >> 3;
    store32(o, static_cast<uint32_t>(acc));
    o += (accBits + 7) >> 3;
    std::memcpy(gGroup, o - used, static_cast<size_t>(used));
    return used;
  }

  BlockWriter& out_;
  uint8_t* o_;
  uint64_t acc_ = 0;
  int accBits_ = 0;
  int groupCodes_ = 0;
  int width_ = kInitialWidth;
  size_t left_ = size_t{1} << (kInitialWidth - 1);
  const uint8_t* lastFull_ = nullptr;
  int lastFullWidth_ = 0;
};

// Whether the string of two zero bytes keeps its code: replays the
// 5003-entry table's layout, only when that string is looked up.
class ZeroString {
 public:
  int code() const { return code_; }
  void define(int code) { code_ = code; }
  // freeEnt: the codes below it have their fcodes in gFcodeOf.
  bool survives(int freeEnt) {
    if (!slotsInUse_) {
      std::memset(gSlotState, -1, sizeof gSlotState);
      slotsInUse_ = true;
    }
    for (; placed_ < freeEnt; ++placed_) {
      if (placeInTable(gFcodeOf[placed_])) code_ = -1;
    }
    return code_ >= 0;
  }
  void reset() {
    code_ = -1;
    placed_ = kFirstCode;
    slotsInUse_ = false;
  }

 private:
  int code_ = -1;
  int placed_ = kFirstCode;
  bool slotsInUse_ = false;
};

// Input bytes parsed between runs of the packer.
constexpr size_t kChunk = 32 * 1024;

// With the table full, the parse of a stretch of input depends only on
// where it starts. kLanes parses started at spaced points run side by side,
// so that their table loads overlap; the parse from the true start then
// goes on past the next lane's start until it begins a string where that
// lane began one (after a few dozen bytes as a rule) and takes that lane's
// codes from there.
constexpr int kLanes = 4;
// Shorter stretches are parsed in one go.
constexpr size_t kLanesFrom = 1024;
// A lane's codes, each with its position in the stretch (bits 12 and up).
uint32_t gLaneCodes[kLanes][kChunk / kLanes + 16];

// Parses data[begin, end) from the state ent with the table full, adding
// the codes at *code; returns the state at end.
uint32_t parseFull(const uint8_t* data, size_t begin, size_t end, uint32_t ent, uint16_t*& code) {
  const size_t length = end - begin;
  if (length < kLanesFrom) {
    uint16_t* out = code;
    for (size_t p = begin; p < end; ++p) {
      const uint32_t next = gNext[entryOf(ent, data[p])];
      *out = static_cast<uint16_t>(ent);
      out += next < 256;
      ent = next;
    }
    code = out;
    return ent;
  }
  const size_t step = length / kLanes;
  size_t start[kLanes + 1];
  uint32_t state[kLanes];
  uint32_t* out[kLanes];
  for (int k = 0; k < kLanes; ++k) {
    start[k] = begin + static_cast<size_t>(k) * step;
    state[k] = data[start[k]];
    out[k] = gLaneCodes[k];
  }
  start[kLanes] = end;
  // Lane 0 is the true parse: its first byte continues ent, and its codes
  // go straight to the output.
  uint16_t* trueOut = code;
  {
    const uint32_t next = gNext[entryOf(ent, data[begin])];
    *trueOut = static_cast<uint16_t>(ent);
    trueOut += next < 256;
    state[0] = next;
  }
  // Every lane stores its code at each byte and keeps it on a miss.
  for (size_t j = 1; j < step; ++j) {
    {
      const uint32_t next = gNext[entryOf(state[0], data[start[0] + j])];
      *trueOut = static_cast<uint16_t>(state[0]);
      trueOut += next < 256;
      state[0] = next;
    }
    for (int k = 1; k < kLanes; ++k) {
      const size_t p = start[k] + j;
      const uint32_t next = gNext[entryOf(state[k], data[p])];
      *out[k] = state[k] | static_cast<uint32_t>(p - begin) << kMaxBits;
      out[k] += next < 256;
      state[k] = next;
    }
  }
  // The last stretch is the longest.
  for (size_t p = start[kLanes - 1] + step; p < end; ++p) {
    const uint32_t next = gNext[entryOf(state[kLanes - 1], data[p])];
    *out[kLanes - 1] = state[kLanes - 1] | static_cast<uint32_t>(p - begin) << kMaxBits;
    out[kLanes - 1] += next < 256;
    state[kLanes - 1] = next;
  }
  // The true parse goes on into each lane until it begins a string where
  // the lane began one; the lane's later codes are then the true ones.
  ent = state[0];
  size_t p = start[1];
  for (int m = 1; m < kLanes; ++m) {
    const uint32_t* laneCode = gLaneCodes[m];
    const uint32_t* const laneEnd = out[m];
    for (; p < start[m + 1]; ++p) {
      const uint32_t next = gNext[entryOf(ent, data[p])];
      if (next >= 256) {
        ent = next;
        continue;
      }
      *trueOut++ = static_cast<uint16_t>(ent);
      ent = next;
      bool met = p == start[m];
      if (!met) {
        const uint32_t at = static_cast<uint32_t>(p - begin) << kMaxBits;
        while (laneCode < laneEnd && (*laneCode & ~uint32_t{kMaxMaxCode - 1}) < at) ++laneCode;
        met = laneCode < laneEnd && (*laneCode & ~uint32_t{kMaxMaxCode - 1}) == at;
        // The lane's code here ends its own string: the true one is out.
        if (met) ++laneCode;
      }
      if (met) {
        for (; laneCode < laneEnd; ++laneCode) {
          *trueOut++ = static_cast<uint16_t>(*laneCode & (kMaxMaxCode - 1));
        }
        ent = state[m];
        p = start[m + 1];
        break;
      }
    }
  }
  code = trueOut;
  return ent;
}

// Bytes of the code stream before the first 12-bit code of a table: 256
// codes of 9 bits, 512 of 10 and 1024 of 11, all in full groups.
constexpr int64_t kBytesBeforeWidth12 = (256 * 9 + 512 * 10 + 1024 * 11) / 8;
constexpr int64_t kCodesBeforeWidth12 = 256 + 512 + 1024;

}  // namespace

bool lzwCompress(File& input, File& output, const uint8_t fileHeader[kLzwFileHeaderSize]) {
  BlockWriter out(output);
  // One byte of slack: the parse looks at the byte after the one it is at.
  std::vector<uint8_t> in(kBlockSize + 1);
  // At most one code per byte.
  std::vector<uint16_t> codes(kChunk + 16);
  uint8_t* o = out.begin();
  *o++ = kLzwMagic0;
  *o++ = kLzwMagic1;
  std::memcpy(o, fileHeader, kLzwFileHeaderSize);
  o += kLzwFileHeaderSize;
  *o++ = kLzwFlags;
  Packer packer(out, o);

  int64_t n = input.read(in.data(), kBlockSize);
  if (n < 0) return false;
  if (n == 0) return packer.finish();

  int freeEnt = kFirstCode;
  int64_t checkpoint = kCheckGap;
  int64_t ratio = 0;
  // The output count the ratio sees (whole groups) follows from the codes:
  // every table starts at 9 bits on a group boundary.
  int64_t tableStartOut = kLzwHeaderSize;
  int64_t codesBefore = 0;     // codes packed so far, clear codes included
  int64_t tableStartCode = 0;  // code count when the table was last cleared
  ZeroString zero;
  for (uint32_t c = 0; c < 256; ++c) {
    std::fill_n(gNext + entryOf(0, c), kMaxMaxCode, static_cast<uint16_t>(c));
  }
  gNext[entryOf(0, 0)] = kZeroMark;

  // After a code was written with the table full; emitted counts codes.
  // true when the table was cleared and the clear code is due.
  auto clearBlock = [&](int64_t inCount, int64_t emitted) -> bool {
    checkpoint = inCount + kCheckGap;
    const int64_t tableCodes = emitted - tableStartCode;
    const int64_t outCount =
        tableStartOut + kBytesBeforeWidth12 + ((tableCodes - kCodesBeforeWidth12) >> 3) * 12;
    int64_t r;
    if (inCount > 0x7FFFFF) {
      const int64_t scaled = outCount >> 8;
      r = scaled == 0 ? 0x7FFFFFFF : inCount / scaled;
    } else {
      r = (inCount << 8) / outCount;
    }
    if (r > ratio) {
      ratio = r;
      return false;
    }
    ratio = 0;
    for (int k = kFirstCode; k < freeEnt; ++k) {
      gNext[gEntryOf[k]] = static_cast<uint16_t>(gFcodeOf[k] >> kMaxBits);
    }
    gNext[entryOf(0, 0)] = kZeroMark;
    freeEnt = kFirstCode;
    zero.reset();
    // The clear code closes its group, which is written whole.
    tableStartOut += kBytesBeforeWidth12 + ((tableCodes + 1 - kCodesBeforeWidth12 + 7) >> 3) * 12;
    tableStartCode = emitted + 1;
    return true;
  };

  uint32_t ent = in[0];
  int64_t p = 1;
  int64_t blockStart = 0;  // input count of the byte before the block
  uint16_t* const codeStart = codes.data();
  for (;;) {
    const uint8_t* const data = in.data();
    while (p < n) {
      const int64_t chunkEnd = std::min(n, p + static_cast<int64_t>(kChunk));
      uint16_t* code = codeStart;
      const uint8_t* q = data + p;
      const uint8_t* const end = data + chunkEnd;
      while (q < end) {
        if (freeEnt < kMaxMaxCode) {
          // A byte defines one code at most: the table cannot fill before
          // stop. Branch-free but for two zero bytes: every byte stores its
          // code and its entry, a miss (the byte itself loaded) keeps them.
          const uint8_t* const stop =
              end - q > kMaxMaxCode - freeEnt ? q + (kMaxMaxCode - freeEnt) : end;
          for (; q < stop; ++q) {
            const uint32_t c = *q;
            // After a miss the next entry is that of this byte and the
            // next: fetched early, it is in the cache when needed.
            prefetch(gNext + entryOf(c, q[1]));
            uint16_t* const entry = gNext + entryOf(ent, c);
            const uint32_t next = *entry;
            if (next == kZeroMark) {
              // The one string the table may have lost.
              if (zero.code() >= 0 && zero.survives(freeEnt)) {
                ent = static_cast<uint32_t>(zero.code());
                continue;
              }
              zero.define(freeEnt);
              gEntryOf[freeEnt] = kSpareEntry;
              gFcodeOf[freeEnt] = 0;
              *code++ = static_cast<uint16_t>(ent);
              ent = 0;
              ++freeEnt;
              continue;
            }
            const uint32_t miss = next < 256;
            *code = static_cast<uint16_t>(ent);
            code += miss;
            *entry = static_cast<uint16_t>(miss ? static_cast<uint32_t>(freeEnt) : next);
            gEntryOf[freeEnt] = static_cast<uint32_t>(entry - gNext);
            gFcodeOf[freeEnt] = c << kMaxBits | ent;
            freeEnt += static_cast<int>(miss);
            ent = next;
          }
          if (freeEnt == kMaxMaxCode) {
            // Nothing is added until the table clears: two zero bytes now
            // either have their code for good or are unknown.
            const bool kept = zero.code() >= 0 && zero.survives(freeEnt);
            gNext[entryOf(0, 0)] = static_cast<uint16_t>(kept ? zero.code() : 0);
          }
        } else {
          // The table is full: misses only emit, and from the checkpoint on
          // the first one may clear the table. Every byte stores the code,
          // a miss keeps it.
          const int64_t checkOffset = checkpoint - blockStart - 1;
          const uint8_t* const check =
              checkOffset < chunkEnd ? data + std::max(checkOffset, static_cast<int64_t>(q - data))
                                     : end;
          ent = parseFull(data, static_cast<size_t>(q - data), static_cast<size_t>(check - data),
                          ent, code);
          q = check;
          for (; q < end; ++q) {
            const uint32_t c = *q;
            const uint32_t next = gNext[entryOf(ent, c)];
            if (next >= 256) {
              ent = next;
              continue;
            }
            *code++ = static_cast<uint16_t>(ent);
            ent = c;
            const size_t count = static_cast<size_t>(code - codeStart);
            if (clearBlock(blockStart + (q - data) + 1,
                           codesBefore + static_cast<int64_t>(count))) {
              packer.pack(codeStart, count);
              packer.clear();
              codesBefore += static_cast<int64_t>(count) + 1;
              code = codeStart;
            }
            ++q;
            break;
          }
        }
      }
      const size_t count = static_cast<size_t>(code - codeStart);
      packer.pack(codeStart, count);
      codesBefore += static_cast<int64_t>(count);
      p = chunkEnd;
    }
    blockStart += n;
    n = input.read(in.data(), kBlockSize);
    if (n < 0) return false;
    if (n == 0) break;
    p = 0;
  }
  const uint16_t last = static_cast<uint16_t>(ent);
  packer.pack(&last, 1);
  return packer.finish();
}

LzwStatus lzwDecompress(File& input, File& output, int flags) {
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
    gPrefix[c] = 0;
    gSuffix[c] = static_cast<uint8_t>(c);
    gLength[c] = 1;
    gSource[c] = c;
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
      for (int32_t& source : gSource) {
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
        length = gLength[code];
        const int32_t source = gSource[code];
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
        gPrefix[freeEnt] = static_cast<uint16_t>(old);
        gSuffix[freeEnt] = o[0];
        gLength[freeEnt] = static_cast<uint16_t>(previousLength + 1);
        gSource[freeEnt] = previous;
        ++freeEnt;
      }
      // The latest copy of a string stays in memory longest.
      previous = static_cast<int32_t>(o - base);
      if (code < kMaxMaxCode) gSource[code] = previous;
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

}  // namespace zv
