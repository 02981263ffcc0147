#include "files/lzw.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "files/lzw_codes.h"

namespace zv {

namespace {

using namespace lzw;

constexpr int kHashSize = 5003;  // prime
// The number of doublings that take kHashSize to 65536 or more is 4.
constexpr int kHashShift = 8 - 4;
constexpr int64_t kCheckGap = 10000;
// Room past a block for the longest string a code stands for (3842 bytes)
// and for whole-word stores.
constexpr size_t kSlack = kMaxMaxCode + 64;

// The group buffer lives as long as the process, not as one encoder: a
// short group closed by a width change carries, after its last code, the
// bytes that earlier groups left there, also those of an earlier file.
uint8_t gGroup[kMaxBits];

// The encoder's strings. Its 5003-entry table finds every string it holds
// but one: probing stops at the entry of fcode 0 (two zero bytes) as at a
// free slot, so an insertion may land on that entry and replace it. Any
// exact lookup thus gives the same codes as long as that replacement is
// seen. next_ is such a lookup; ZeroString replays the table's layout, and
// only when the string of two zero bytes is looked up.
//
// next_ is indexed directly, by byte and then by code: the entry holds the
// code of the string one byte longer, or the byte itself when the table has
// no such string, so the value loaded is the next state whether the string
// is known or not. Rows by byte measured faster than rows by code; they are
// padded so that they start in different cache sets.
constexpr size_t kColumns = kMaxMaxCode + 16;
inline uint32_t entryOf(uint32_t code, uint32_t byte) {
  return byte * static_cast<uint32_t>(kColumns) + code;
}
// The entry of two zero bytes holds this while the table fills (no code
// and no byte is 256): that string takes the slow way. Once the table is
// full the string's fate is settled and its entry holds its answer.
constexpr uint16_t kZeroMark = kClearCode;
// The entry the string of two zero bytes "has": in the padding, never read.
constexpr uint32_t kSpareEntry = kMaxMaxCode;

// A hint to the cache; no effect on the result.
inline void prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
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
  // fcodeOf: the fcode of each code below freeEnt.
  bool survives(int freeEnt, const uint32_t* fcodeOf) {
    if (!slotsInUse_) {
      std::memset(slotState_, -1, sizeof slotState_);
      slotsInUse_ = true;
    }
    for (; placed_ < freeEnt; ++placed_) {
      if (placeInTable(fcodeOf[placed_])) code_ = -1;
    }
    return code_ >= 0;
  }
  void reset() {
    code_ = -1;
    placed_ = kFirstCode;
    slotsInUse_ = false;
  }

 private:
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
    unsigned stops = slotState_[start] < 0;
    int slots[8];
    slots[0] = start;
    for (int k = 1; k < 8; ++k) {
      slot -= disp;
      slot += slot < 0 ? kHashSize : 0;
      slots[k] = slot;
      stops |= static_cast<unsigned>(slotState_[slot] <= 0) << k;
    }
    while (stops == 0) {
      for (int k = 0; k < 8; ++k) {
        slot -= disp;
        slot += slot < 0 ? kHashSize : 0;
        slots[k] = slot;
        stops |= static_cast<unsigned>(slotState_[slot] <= 0) << k;
      }
    }
    const int i = slots[__builtin_ctz(stops)];
    const bool replaces = slotState_[i] == 0;
    slotState_[i] = fcode == 0 ? 0 : 1;
    return replaces;
  }

  // -1 free, 0 the entry of fcode 0, 1 any other entry.
  int8_t slotState_[kHashSize];
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

// Bytes of the code stream before the first 12-bit code of a table: 256
// codes of 9 bits, 512 of 10 and 1024 of 11, all in full groups.
constexpr int64_t kBytesBeforeWidth12 = (256 * 9 + 512 * 10 + 1024 * 11) / 8;
constexpr int64_t kCodesBeforeWidth12 = 256 + 512 + 1024;

class Encoder {
 public:
  bool run(File& input, File& output, const uint8_t fileHeader[kLzwFileHeaderSize]);

 private:
  uint32_t parseFull(const uint8_t* data, size_t begin, size_t end, uint32_t ent, uint16_t*& code);

  uint16_t next_[256 * kColumns];
  // The entry each code was given, to empty them when the table clears.
  uint32_t entryOf_[kMaxMaxCode];
  // The fcode of each code, for the replay.
  uint32_t fcodeOf_[kMaxMaxCode];
  ZeroString zero_;
  // A lane's codes, each with its position in the stretch (bits 12 and up).
  uint32_t laneCodes_[kLanes][kChunk / kLanes + 16];
};

// Parses data[begin, end) from the state ent with the table full, adding
// the codes at *code; returns the state at end.
uint32_t Encoder::parseFull(const uint8_t* data, size_t begin, size_t end, uint32_t ent,
                            uint16_t*& code) {
  const size_t length = end - begin;
  if (length < kLanesFrom) {
    uint16_t* out = code;
    for (size_t p = begin; p < end; ++p) {
      const uint32_t next = next_[entryOf(ent, data[p])];
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
    out[k] = laneCodes_[k];
  }
  start[kLanes] = end;
  // Lane 0 is the true parse: its first byte continues ent, and its codes
  // go straight to the output.
  uint16_t* trueOut = code;
  {
    const uint32_t next = next_[entryOf(ent, data[begin])];
    *trueOut = static_cast<uint16_t>(ent);
    trueOut += next < 256;
    state[0] = next;
  }
  // Every lane stores its code at each byte and keeps it on a miss.
  for (size_t j = 1; j < step; ++j) {
    {
      const uint32_t next = next_[entryOf(state[0], data[start[0] + j])];
      *trueOut = static_cast<uint16_t>(state[0]);
      trueOut += next < 256;
      state[0] = next;
    }
    for (int k = 1; k < kLanes; ++k) {
      const size_t p = start[k] + j;
      const uint32_t next = next_[entryOf(state[k], data[p])];
      *out[k] = state[k] | static_cast<uint32_t>(p - begin) << kMaxBits;
      out[k] += next < 256;
      state[k] = next;
    }
  }
  // The last stretch is the longest.
  for (size_t p = start[kLanes - 1] + step; p < end; ++p) {
    const uint32_t next = next_[entryOf(state[kLanes - 1], data[p])];
    *out[kLanes - 1] = state[kLanes - 1] | static_cast<uint32_t>(p - begin) << kMaxBits;
    out[kLanes - 1] += next < 256;
    state[kLanes - 1] = next;
  }
  // The true parse goes on into each lane until it begins a string where
  // the lane began one; the lane's later codes are then the true ones.
  ent = state[0];
  size_t p = start[1];
  for (int m = 1; m < kLanes; ++m) {
    const uint32_t* laneCode = laneCodes_[m];
    const uint32_t* const laneEnd = out[m];
    for (; p < start[m + 1]; ++p) {
      const uint32_t next = next_[entryOf(ent, data[p])];
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

bool Encoder::run(File& input, File& output, const uint8_t fileHeader[kLzwFileHeaderSize]) {
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
  for (uint32_t c = 0; c < 256; ++c) {
    std::fill_n(next_ + entryOf(0, c), kMaxMaxCode, static_cast<uint16_t>(c));
  }
  next_[entryOf(0, 0)] = kZeroMark;

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
      next_[entryOf_[k]] = static_cast<uint16_t>(fcodeOf_[k] >> kMaxBits);
    }
    next_[entryOf(0, 0)] = kZeroMark;
    freeEnt = kFirstCode;
    zero_.reset();
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
            prefetch(next_ + entryOf(c, q[1]));
            uint16_t* const entry = next_ + entryOf(ent, c);
            const uint32_t next = *entry;
            if (next == kZeroMark) {
              // The one string the table may have lost.
              if (zero_.code() >= 0 && zero_.survives(freeEnt, fcodeOf_)) {
                ent = static_cast<uint32_t>(zero_.code());
                continue;
              }
              zero_.define(freeEnt);
              entryOf_[freeEnt] = kSpareEntry;
              fcodeOf_[freeEnt] = 0;
              *code++ = static_cast<uint16_t>(ent);
              ent = 0;
              ++freeEnt;
              continue;
            }
            const uint32_t miss = next < 256;
            *code = static_cast<uint16_t>(ent);
            code += miss;
            *entry = static_cast<uint16_t>(miss ? static_cast<uint32_t>(freeEnt) : next);
            entryOf_[freeEnt] = static_cast<uint32_t>(entry - next_);
            fcodeOf_[freeEnt] = c << kMaxBits | ent;
            freeEnt += static_cast<int>(miss);
            ent = next;
          }
          if (freeEnt == kMaxMaxCode) {
            // Nothing is added until the table clears: two zero bytes now
            // either have their code for good or are unknown.
            const bool kept = zero_.code() >= 0 && zero_.survives(freeEnt, fcodeOf_);
            next_[entryOf(0, 0)] = static_cast<uint16_t>(kept ? zero_.code() : 0);
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
            const uint32_t next = next_[entryOf(ent, c)];
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
}  // namespace

bool lzwCompress(File& input, File& output, const uint8_t fileHeader[kLzwFileHeaderSize]) {
  // Its tables are too large for a small thread stack.
  return std::make_unique<Encoder>()->run(input, output, fileHeader);
}

}  // namespace zv
