#include "files/compressed_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/platform_wrapper.h"
#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"

namespace zv {
namespace {

TEST(CompressedNameTest, LastCharacterReplacedOrPadded) {
  EXPECT_EQ(compressedName(".DLL"), ".DL_");
  EXPECT_EQ(compressedName(".HTML"), ".HTM_");
  EXPECT_EQ(compressedName(".TX"), ".TX_");
  EXPECT_EQ(compressedName(".H"), ".H__");
  EXPECT_EQ(compressedName(""), "____");
}

// The encoder's rules followed to the letter, one byte and one code at a
// time, with the 5003-entry table and a group buffer of its own (zero at
// the start, like the program's). Gives the code stream without header.
class ReferenceEncoder {
 public:
  std::string encode(const std::string& input) {
    out_.clear();
    width_ = 9;
    maxCode_ = 511;
    freeEnt_ = 257;
    offset_ = 0;
    clearPending_ = false;
    outCount_ = 23;
    if (input.empty()) return out_;
    int32_t hash[5003];
    uint16_t codes[5003] = {};
    long inCount = 1, checkpoint = 10000, ratio = 0;
    int ent = static_cast<uint8_t>(input[0]);
    for (int32_t& h : hash) h = -1;
    for (size_t p = 1; p < input.size(); ++p) {
      const int c = static_cast<uint8_t>(input[p]);
      ++inCount;
      const int32_t fcode = (c << 12) + ent;
      int i = (c << 4) ^ ent;
      if (hash[i] == fcode) {
        ent = codes[i];
        continue;
      }
      bool found = false;
      if (hash[i] >= 0) {
        const int disp = i == 0 ? 1 : i;
        do {
          i -= disp;
          if (i < 0) i += 5003;
          if (hash[i] == fcode) {
            found = true;
            break;
          }
        } while (hash[i] > 0);
      }
      if (found) {
        ent = codes[i];
        continue;
      }
      putCode(ent);
      ent = c;
      if (freeEnt_ < 4096) {
        codes[i] = static_cast<uint16_t>(freeEnt_++);
        hash[i] = fcode;
      } else if (inCount >= checkpoint) {
        checkpoint = inCount + 10000;
        long r;
        if (inCount > 0x7FFFFF) {
          const long d = outCount_ >> 8;
          r = d == 0 ? 0x7FFFFFFF : inCount / d;
        } else {
          r = (inCount << 8) / outCount_;
        }
        if (r > ratio) {
          ratio = r;
        } else {
          ratio = 0;
          for (int32_t& h : hash) h = -1;
          freeEnt_ = 257;
          clearPending_ = true;
          putCode(256);
        }
      }
    }
    putCode(ent);
    if (offset_ > 0) out_.append(reinterpret_cast<char*>(buffer_), (offset_ + 7) / 8);
    offset_ = 0;
    return out_;
  }

 private:
  void putCode(int code) {
    for (int bit = 0; bit < width_; ++bit) {
      const int at = offset_ + bit;
      const uint8_t mask = static_cast<uint8_t>(1 << (at % 8));
      // Bits above the code in its last byte are zero; earlier bits stay.
      if ((at % 8) == 0) buffer_[at / 8] = 0;
      if (code >> bit & 1) buffer_[at / 8] |= mask;
    }
    offset_ += width_;
    if (offset_ == width_ * 8) {
      out_.append(reinterpret_cast<char*>(buffer_), width_);
      outCount_ += width_;
      offset_ = 0;
    }
    if (freeEnt_ > maxCode_ || clearPending_) {
      if (offset_ > 0) {
        out_.append(reinterpret_cast<char*>(buffer_), width_);
        outCount_ += width_;
      }
      offset_ = 0;
      if (clearPending_) {
        width_ = 9;
        maxCode_ = 511;
        clearPending_ = false;
      } else {
        ++width_;
        maxCode_ = width_ == 12 ? 4096 : (1 << width_) - 1;
      }
    }
  }

  std::string out_;
  uint8_t buffer_[12] = {};
  int width_ = 9, maxCode_ = 511, freeEnt_ = 257, offset_ = 0;
  bool clearPending_ = false;
  long outCount_ = 23;
};

// One code of a stream as the reader's rules find it.
struct ReadCode {
  int code;
  int width;
  size_t groupStart;  // offset in the code stream
  int indexInGroup;
};

// Reads a code stream by the reader's rules: groups of width bytes, the
// rest of a group dropped on a width change or after a clear code.
std::vector<ReadCode> readCodes(const std::string& stream) {
  std::vector<ReadCode> codes;
  int width = 9, maxCode = 511, freeEnt = 257;
  bool clear = false;
  size_t pos = 0, groupStart = 0;
  int bitOffset = 0, usable = 0, index = 0;
  bool first = true;
  for (;;) {
    if (clear || bitOffset >= usable || freeEnt > maxCode) {
      if (freeEnt > maxCode) {
        ++width;
        maxCode = width == 12 ? 4096 : (1 << width) - 1;
      }
      if (clear) {
        width = 9;
        maxCode = 511;
        clear = false;
      }
      const size_t got = std::min(stream.size() - pos, static_cast<size_t>(width));
      if (got == 0) return codes;
      groupStart = pos;
      pos += got;
      bitOffset = 0;
      index = 0;
      usable = static_cast<int>(got) * 8 - (width - 1);
    }
    int code = 0;
    for (int bit = 0; bit < width; ++bit) {
      const size_t at = groupStart * 8 + bitOffset + bit;
      code |= (static_cast<uint8_t>(stream[at / 8]) >> (at % 8) & 1) << bit;
    }
    bitOffset += width;
    codes.push_back({code, width, groupStart, index++});
    if (code == 256) {
      clear = true;
      freeEnt = 256;
    } else if (!first && freeEnt < 4096) {
      ++freeEnt;
    }
    first = false;
  }
}

// 9-bit codes packed least significant bit first, the last byte cut.
std::string pack9(const std::vector<int>& codes) {
  std::string bytes((codes.size() * 9 + 7) / 8, '\0');
  for (size_t k = 0; k < codes.size(); ++k) {
    for (int bit = 0; bit < 9; ++bit) {
      const size_t at = k * 9 + bit;
      if (codes[k] >> bit & 1) bytes[at / 8] = static_cast<char>(bytes[at / 8] | 1 << (at % 8));
    }
  }
  return bytes;
}

std::string randomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

std::string wordText(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"patch", "file",   "the",    "install", "version",
                                       "of",    "update", "system", "and",     "directory"};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < size) {
    s += kWords[rng() % 10];
    s += rng() % 9 == 0 ? ".\r\n" : " ";
  }
  s.resize(size);
  return s;
}

// Bytes shaped like a program: instructions from a small set, operands,
// and runs of zero bytes as padding between them.
std::string programBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> instructions(300);
  for (std::string& in : instructions) in = randomBytes(1 + rng() % 6, rng());
  std::string s;
  while (s.size() < size) {
    const uint32_t r = rng() % 100;
    if (r < 70) {
      s += instructions[rng() % instructions.size()];
    } else if (r < 85) {
      s.append(rng() % 48, '\0');
    } else {
      s += static_cast<char>(rng());
    }
  }
  s.resize(size);
  return s;
}

// Bytes whose every pair of neighbours is new, so that each code stands
// for one byte: runs of 0, d, 2d, ... (mod 256) for odd steps d in turn,
// the step telling the pairs of different runs apart. Up to 32768 bytes.
std::string distinctPairs(size_t size) {
  std::string s;
  for (int step = 1; s.size() < size; step += 2) {
    for (int k = 0; k < 256 && s.size() < size; ++k) s += static_cast<char>(k * step % 256);
  }
  return s;
}

// A platform whose files accept only the first writeLimit bytes written.
class ShortWritePlatform : public PlatformWrapper {
 public:
  ShortWritePlatform(Platform& target, size_t writeLimit)
      : PlatformWrapper(target), writeLimit_(writeLimit) {}
  std::unique_ptr<File> open(const std::string& path, FileMode mode) override {
    std::unique_ptr<File> file = target().open(path, mode);
    if (!file || mode == FileMode::kRead) return file;
    return std::make_unique<ShortFile>(std::move(file), writeLimit_);
  }

 private:
  class ShortFile : public File {
   public:
    ShortFile(std::unique_ptr<File> file, size_t limit) : file_(std::move(file)), left_(limit) {}
    int64_t read(void* buffer, size_t count) override { return file_->read(buffer, count); }
    int64_t write(const void* data, size_t count) override {
      const size_t n = std::min(count, left_);
      left_ -= n;
      return n == 0 ? -1 : file_->write(data, n);
    }
    bool seekToStart() override { return file_->seekToStart(); }
    bool getStamp(DosStamp* stamp) override { return file_->getStamp(stamp); }
    bool setStamp(const DosStamp& stamp) override { return file_->setStamp(stamp); }
    bool close() override { return file_->close(); }

   private:
    std::unique_ptr<File> file_;
    size_t left_;
  };
  size_t writeLimit_;
};

class CompressedFileTest : public ::testing::Test {
 protected:
  CompressedFileTest() : platform_(tp_.platform()) {}

  std::string path(const std::string& name) const { return tp_.scratchDir() + "\\" + name; }
  void write(const std::string& name, const std::string& bytes) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->write(bytes.data(), bytes.size()), static_cast<int64_t>(bytes.size()));
  }
  std::string read(const std::string& name) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kRead);
    EXPECT_TRUE(f) << name;
    std::string bytes;
    if (!f) return bytes;
    char buffer[65536];
    for (int64_t n; (n = f->read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
    return bytes;
  }
  bool exists(const std::string& name) { return tp_.platform().exists(path(name)); }
  DosStamp stampOf(const std::string& name) {
    DosStamp stamp;
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kRead);
    EXPECT_TRUE(f && f->getStamp(&stamp));
    return stamp;
  }
  void setStamp(const std::string& name, DosStamp stamp) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kAppend);
    ASSERT_TRUE(f && f->setStamp(stamp));
  }
  // Compresses data stored as name; returns the compressed file.
  std::string compress(const std::string& name, const std::string& data) {
    write(name, data);
    EXPECT_EQ(compressFile(path(name), path("OUT.CM_"), 0), 1);
    return read("OUT.CM_");
  }
  // The code stream of data, past the 23-byte header.
  std::string codesOf(const std::string& data) { return compress("IN.DAT", data).substr(23); }
  // Expands the file as the installer does; the output's content.
  std::string expand(const std::string& compressed) {
    write("IN.CM_", compressed);
    EXPECT_EQ(decompressFile(path("IN.CM_"), path("EXPANDED"), 1, 0), 1);
    return read("EXPANDED");
  }
  std::string withHeader(const std::string& name, const std::string& codes, uint8_t flags = 0x8C) {
    std::string header("\x1F\x9D", 2);
    header += std::string(6, '\0') + name + std::string(14 - name.size(), '\0');
    header += static_cast<char>(flags);
    return header + codes;
  }

  MemoryTestPlatform tp_;
  RecordingPlatform platform_;
  RecordingTrace trace_;
};

TEST_F(CompressedFileTest, EmptyFileIsTheHeaderAlone) {
  const std::string out = compress("EMPTY.TXT", "");
  ASSERT_EQ(out.size(), 23u);
  EXPECT_EQ(expand(out), "");
  EXPECT_TRUE(trace_.lines.empty());
}

TEST_F(CompressedFileTest, OneAndTwoBytes) {
  EXPECT_EQ(codesOf("A"), std::string("\x41\x00", 2));
  EXPECT_EQ(codesOf("AB"), std::string("\x41\x84\x00", 3));
  EXPECT_EQ(expand(compress("ONE", "A")), "A");
  EXPECT_EQ(expand(compress("TWO", "AB")), "AB");
}

TEST_F(CompressedFileTest, HeaderHoldsStampNameAndFlags) {
  write("README.TXT", "hello");
  const DosStamp stamp{(13 << 11) | (45 << 5) | 10, (19 << 9) | (6 << 5) | 21};
  setStamp("README.TXT", stamp);
  ASSERT_EQ(compressFile(path("README.TXT"), path("README.TX_"), 1), 1);
  const std::string out = read("README.TX_");
  ASSERT_GE(out.size(), 23u);
  EXPECT_EQ(out.substr(0, 2), "\x1F\x9D");
  EXPECT_EQ(static_cast<uint8_t>(out[2]) | static_cast<uint8_t>(out[3]) << 8, stamp.time);
  EXPECT_EQ(static_cast<uint8_t>(out[4]) | static_cast<uint8_t>(out[5]) << 8, stamp.date);
  EXPECT_EQ(out.substr(6, 16), std::string("\0\0README.TXT\0\0\0\0", 16));
  EXPECT_EQ(static_cast<uint8_t>(out[22]), 0x8C);
}

TEST_F(CompressedFileTest, FirstWidthChangeAfterThirtyTwoGroupsOfNineBytes) {
  const std::string data = distinctPairs(700);
  const std::string codes = codesOf(data);
  // Every code stands for one byte: 256 codes of 9 bits in 32 full groups,
  // the rest at 10 bits, the last group cut to its bytes.
  const std::vector<ReadCode> read = readCodes(codes);
  ASSERT_EQ(read.size(), data.size());
  for (size_t k = 0; k < read.size(); ++k) {
    ASSERT_EQ(read[k].code, static_cast<uint8_t>(data[k])) << k;
    ASSERT_EQ(read[k].width, k < 256 ? 9 : 10) << k;
  }
  EXPECT_EQ(read[255].groupStart, 31u * 9);
  EXPECT_EQ(read[256].groupStart, 32u * 9);
  EXPECT_EQ(codes.size(), 288 + (444 * 10 + 7) / 8);
  EXPECT_EQ(expand(compress("PAIRS", data)), data);
}

TEST_F(CompressedFileTest, PoorlyCompressibleInputClearsTheTable) {
  const std::string data = randomBytes(300000, 1) + wordText(100000, 2);
  const std::string codes = codesOf(data);
  EXPECT_EQ(codes, ReferenceEncoder().encode(data));
  const std::vector<ReadCode> read = readCodes(codes);
  int clears = 0;
  for (size_t k = 0; k + 1 < read.size(); ++k) {
    if (read[k].code != 256) continue;
    ++clears;
    EXPECT_EQ(read[k].width, 12);
    // The codes after it start again at 9 bits, in a new group.
    EXPECT_EQ(read[k + 1].width, 9);
    EXPECT_EQ(read[k + 1].indexInGroup, 0);
    EXPECT_EQ(read[k + 1].groupStart, read[k].groupStart + 12);
    EXPECT_LT(read[k + 1].code, 256);
  }
  EXPECT_GT(clears, 10);
  EXPECT_EQ(expand(compress("MIXED.DAT", data)), data);
}

TEST_F(CompressedFileTest, ShortGroupBeforeAClearKeepsThePreviousGroupsBytes) {
  const std::string data = randomBytes(200000, 3);
  const std::string codes = codesOf(data);
  const std::vector<ReadCode> read = readCodes(codes);
  int checked = 0;
  for (const ReadCode& code : read) {
    if (code.code != 256 || code.indexInGroup == 7) continue;
    // A full 12-bit group came just before, and the bytes after the clear
    // code are that group's.
    const size_t used = ((code.indexInGroup + 1) * 12 + 7) / 8;
    const size_t start = code.groupStart;
    ASSERT_GE(start, 12u);
    EXPECT_EQ(codes.substr(start + used, 12 - used), codes.substr(start - 12 + used, 12 - used));
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

TEST_F(CompressedFileTest, AnEarlierFileLeavesNoTraceInTheNext) {
  // The buffer keeps its bytes for the whole process, but only a group
  // closed by a clear code shows them, and full 12-bit groups of the same
  // file always come before it.
  const std::string data = randomBytes(150000, 4) + wordText(20000, 5);
  const std::string alone = codesOf(data);
  codesOf(randomBytes(99999, 6));
  EXPECT_EQ(codesOf(data), alone);
  codesOf(std::string(70000, '\0') + randomBytes(50000, 7));
  EXPECT_EQ(codesOf(data), alone);
  EXPECT_EQ(alone, ReferenceEncoder().encode(data));
}

TEST_F(CompressedFileTest, CodesFollowTheEncoderRulesExactly) {
  std::mt19937 rng(8);
  std::vector<std::string> inputs = {"", "A", "AB", "AAAAAAAAAAAAAAAAAAAA", std::string(1, '\0'),
                                     std::string(2, '\0'), std::string(5000, '\0'),
                                     wordText(50000, 9), distinctPairs(2000),
                                     // Long enough for stretches parsed with the table full,
                                     // several clears, and two zero bytes lost and found.
                                     wordText(400000, 16), programBytes(400000, 17)};
  for (int k = 0; k < 12; ++k) {
    const size_t size = rng() % 120000;
    std::string s(size, '\0');
    // Runs of zero bytes make the string of two zero bytes come and go.
    const uint32_t zeros = static_cast<uint32_t>(70 - 5 * k);
    for (char& c : s) c = static_cast<char>(rng() % 100 < zeros ? 0 : rng() % (1 + k * 20));
    inputs.push_back(s);
  }
  for (const std::string& input : inputs) {
    EXPECT_EQ(codesOf(input), ReferenceEncoder().encode(input)) << "size " << input.size();
  }
}

TEST_F(CompressedFileTest, RoundTripsOfAssortedData) {
  std::vector<std::string> inputs = {
      std::string(1, '\xFF'),
      std::string(3000000, 'x'),
      std::string(100000, '\0'),
      randomBytes(17, 10),
      randomBytes(70000, 11),
      wordText(2500000, 12),
      wordText(30000, 13) + randomBytes(30000, 14) + wordText(30000, 15)};
  for (size_t size : {7u, 8u, 9u, 255u, 256u, 257u, 511u, 512u, 513u, 4095u, 4096u, 4097u}) {
    inputs.push_back(distinctPairs(size));
  }
  for (const std::string& input : inputs) {
    EXPECT_EQ(expand(compress("DATA.BIN", input)), input) << "size " << input.size();
  }
  EXPECT_TRUE(trace_.lines.empty());
}

TEST_F(CompressedFileTest, FourteenCharacterNameIsStoredWhole) {
  write("ABCDEFGHIJ.TXT", "fourteen");
  ASSERT_EQ(compressFile(path("ABCDEFGHIJ.TXT"), path("PACKED.TX_"), 0), 1);
  EXPECT_EQ(read("PACKED.TX_").substr(8, 15), "ABCDEFGHIJ.TXT\x8C");
  ASSERT_TRUE(tp_.platform().createDir(path("OUT")));
  ASSERT_EQ(decompressFile(path("PACKED.TX_"), path("OUT"), 0, 0), 1);
  EXPECT_EQ(read("OUT\\ABCDEFGHIJ.TXT"), "fourteen");
}

TEST_F(CompressedFileTest, LongerNameIsCutToFourteen) {
  write("LONGFILENAME.TEXT", "long");
  ASSERT_EQ(compressFile(path("LONGFILENAME.TEXT"), path("PACKED.TE_"), 0), 1);
  EXPECT_EQ(read("PACKED.TE_").substr(8, 15), "LONGFILENAME.T\x8C");
  ASSERT_TRUE(tp_.platform().createDir(path("OUT")));
  // A destination ending in a backslash gets none added.
  ASSERT_EQ(decompressFile(path("PACKED.TE_"), path("OUT\\"), 0, 0), 1);
  EXPECT_EQ(read("OUT\\LONGFILENAME.T"), "long");
}

TEST_F(CompressedFileTest, ExpandedFileCarriesTheSourceStamp) {
  write("STAMPED.DLL", wordText(20000, 16));
  const DosStamp stamp{(8 << 11) | (30 << 5) | 7, (17 << 9) | (11 << 5) | 3};
  setStamp("STAMPED.DLL", stamp);
  ASSERT_EQ(compressFile(path("STAMPED.DLL"), path("STAMPED.DL_"), 0), 1);
  ASSERT_TRUE(tp_.platform().createDir(path("OUT")));
  ASSERT_EQ(decompressFile(path("STAMPED.DL_"), path("OUT"), 0, 0), 1);
  EXPECT_EQ(stampOf("OUT\\STAMPED.DLL"), stamp);
  ASSERT_EQ(decompressFile(path("STAMPED.DL_"), path("COPY.DLL"), 1, 0), 1);
  EXPECT_EQ(stampOf("COPY.DLL"), stamp);
  EXPECT_EQ(read("COPY.DLL"), read("STAMPED.DLL"));
}

TEST_F(CompressedFileTest, MissingSourceAndUnwritableDestination) {
  EXPECT_EQ(compressFile(path("NONE.TXT"), path("NONE.TX_"), 0), 0);
  EXPECT_EQ(decompressFile(path("NONE.TX_"), path("NONE.TXT"), 1, 0), 0);
  write("A.TXT", "a");
  EXPECT_EQ(compressFile(path("A.TXT"), path("NODIR\\A.TX_"), 0), 0);
  ASSERT_EQ(compressFile(path("A.TXT"), path("A.TX_"), 0), 1);
  EXPECT_EQ(decompressFile(path("A.TX_"), path("NODIR"), 0, 0), 0);
  EXPECT_EQ(
      trace_.lines,
      (std::vector<std::string>{
          "[box] \nUnable to open source for compression: " + path("NONE.TXT") + "\n",
          "[box] \nUnable to open source for decompression: " + path("NONE.TX_") + "\n",
          "[box] \nUnable to open destination for compression: " + path("NODIR\\A.TX_") + "\n",
          "[box] \nUnable to open destination for decompression: " + path("NODIR\\A.TXT") + "\n"}));
}

TEST_F(CompressedFileTest, BadMagicAndTooManyBits) {
  write("PLAIN.TX_", "plain text, not compressed");
  EXPECT_EQ(decompressFile(path("PLAIN.TX_"), path("PLAIN.TXT"), 1, 0), 0);
  write("WIDE.TX_", withHeader("WIDE.TXT", "\x41\x00", 0x8D));
  EXPECT_EQ(decompressFile(path("WIDE.TX_"), path("WIDE.TXT"), 1, 0), 0);
  EXPECT_EQ(trace_.lines,
            (std::vector<std::string>{"[box] \nUnable to find magic header for decompression.\n",
                                      "[box] \nUnable to process 13 decompression bits\n"}));
  EXPECT_FALSE(exists("PLAIN.TXT"));
  EXPECT_FALSE(exists("WIDE.TXT"));
}

TEST_F(CompressedFileTest, DamagedStreamsLeaveNoOutput) {
  const std::string good = compress("GOOD.TXT", wordText(40000, 17));
  const std::string message = "[box] \nDamaged compressed data in " + path("BAD.TX_") + "\n";
  // A file of the output's name is left as it was, and no other appears.
  auto expectDamaged = [&](const std::string& bytes, const std::string& what,
                           bool existing = true) {
    trace_.lines.clear();
    write("BAD.TX_", bytes);
    if (existing) {
      write("BAD.TXT", "the installed file");
    } else {
      tp_.platform().deleteFile(path("BAD.TXT"));
    }
    EXPECT_EQ(decompressFile(path("BAD.TX_"), path("BAD.TXT"), 1, 0), 0) << what;
    EXPECT_EQ(trace_.lines, std::vector<std::string>{message}) << what;
    if (existing) {
      EXPECT_EQ(read("BAD.TXT"), "the installed file") << what;
    }
    EXPECT_EQ(exists("BAD.TXT"), existing) << what;
    std::vector<DirEntry> files;
    tp_.platform().listDir(tp_.scratchDir(), &files);
    for (const DirEntry& f : files) EXPECT_NE(f.name.substr(0, 2), "ZN") << what;
  };
  // The last code loses its last byte: what is left of it is not padding.
  expectDamaged(good.substr(0, good.size() - 1), "truncated");
  // A cut inside the header: refused before the output is opened.
  expectDamaged(good.substr(0, 10), "cut header", false);
  expectDamaged(good.substr(0, 10), "cut header, existing output");
  // A full group of eight codes, then a single byte.
  expectDamaged(withHeader("BAD.TXT", pack9(std::vector<int>(8, 'A')) + "\x01"), "one byte left");
  // Nonzero bits after the last code.
  expectDamaged(withHeader("BAD.TXT", pack9({'A', 'B'}).substr(0, 2) + "\x80"), "padding");
  // Code 300 while the next free code is 257.
  expectDamaged(withHeader("BAD.TXT", pack9({'A', 300})), "beyond the table");
  // A first code that is no single byte.
  expectDamaged(withHeader("BAD.TXT", pack9({256})), "first code");
  // After a clear code, whose group is written whole, a code that is no
  // single byte.
  std::string cleared = pack9({'A', 256});
  cleared.resize(9, '\0');
  expectDamaged(withHeader("BAD.TXT", cleared + pack9({300})), "after clear");
  // The same with a byte after the clear: a valid stream.
  trace_.lines.clear();
  write("OK.TX_", withHeader("OK.TXT", cleared + pack9({'B', 'C'})));
  EXPECT_EQ(decompressFile(path("OK.TX_"), path("OK.TXT"), 1, 0), 1);
  EXPECT_EQ(read("OK.TXT"), "ABC");
  std::mt19937 rng(18);
  for (int k = 0; k < 20; ++k) {
    // A valid start, then noise: a code past the table comes soon.
    expectDamaged(good.substr(0, 23 + 90) + randomBytes(5000, rng()), "noise " + std::to_string(k));
  }
}

TEST_F(CompressedFileTest, KwKwKCodeIsTheOneBeingDefined) {
  // "AAA...": the second code is 257 while 257 is being defined.
  const std::string codes = codesOf("AAAAAA");
  const std::vector<ReadCode> read = readCodes(codes);
  ASSERT_GE(read.size(), 2u);
  EXPECT_EQ(read[1].code, 257);
  EXPECT_EQ(expand(compress("KWK", "AAAAAA")), "AAAAAA");
}

TEST_F(CompressedFileTest, WriteErrorsFailAndLeaveNoFile) {
  const std::string data = wordText(300000, 19);
  write("BIG.TXT", data);
  ASSERT_EQ(compressFile(path("BIG.TXT"), path("BIG.TX_"), 0), 1);
  const std::string packed = read("BIG.TX_");
  {
    ShortWritePlatform full(tp_.platform(), 1000);
    Platform* previous = Platform::setCurrent(&full);
    EXPECT_EQ(compressFile(path("BIG.TXT"), path("FULL.TX_"), 0), 0);
    EXPECT_EQ(decompressFile(path("BIG.TX_"), path("FULL.TXT"), 1, 0), 0);
    Platform::setCurrent(previous);
  }
  EXPECT_FALSE(exists("FULL.TX_"));
  EXPECT_FALSE(exists("FULL.TXT"));
  EXPECT_EQ(trace_.lines,
            (std::vector<std::string>{
                "[box] \nUnable to write the compressed file: " + path("FULL.TX_") + "\n",
                "[box] \nUnable to write the expanded file: " + path("FULL.TXT") + "\n"}));
  EXPECT_EQ(read("BIG.TX_"), packed);
}

}  // namespace
}  // namespace zv
