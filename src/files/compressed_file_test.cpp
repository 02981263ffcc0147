#include "files/compressed_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"

namespace zv {
namespace {

// The encoder's rules followed to the letter, one byte and one code at a
// time, with the 5003-entry table and a group buffer of its own (zero at
// the start, like the program's). Gives the code stream without header.
std::string referenceCodes(const std::string& input) {
  std::string out;
  uint8_t group[12] = {};
  int width = 9, maxCode = 511, freeEnt = 257, offset = 0;
  bool clear = false;
  long outCount = 23;
  auto put = [&](int code) {
    for (int bit = 0; bit < width; ++bit, ++offset) {
      if (offset % 8 == 0) group[offset / 8] = 0;  // earlier bits of a byte stay
      if (code >> bit & 1) group[offset / 8] |= static_cast<uint8_t>(1 << (offset % 8));
    }
    const bool change = freeEnt > maxCode || clear;
    if (offset == width * 8 || (change && offset > 0)) {
      out.append(reinterpret_cast<char*>(group), width);
      outCount += width;
      offset = 0;
    }
    if (change) {
      width = clear ? 9 : width + 1;
      maxCode = clear ? 511 : width == 12 ? 4096 : (1 << width) - 1;
      clear = false;
    }
  };
  if (input.empty()) return out;
  int32_t hash[5003];
  uint16_t codes[5003] = {};
  std::fill(hash, hash + 5003, -1);
  long inCount = 1, checkpoint = 10000, ratio = 0;
  int ent = static_cast<uint8_t>(input[0]);
  for (size_t p = 1; p < input.size(); ++p) {
    const int c = static_cast<uint8_t>(input[p]);
    ++inCount;
    const int32_t fcode = (c << 12) + ent;
    int i = (c << 4) ^ ent;
    bool found = hash[i] == fcode;
    if (!found && hash[i] >= 0) {
      const int disp = i == 0 ? 1 : i;
      do {
        if ((i -= disp) < 0) i += 5003;
        found = hash[i] == fcode;
      } while (!found && hash[i] > 0);
    }
    if (found) {
      ent = codes[i];
      continue;
    }
    put(ent);
    ent = c;
    if (freeEnt < 4096) {
      codes[i] = static_cast<uint16_t>(freeEnt++);
      hash[i] = fcode;
    } else if (inCount >= checkpoint) {
      checkpoint = inCount + 10000;
      const long r = inCount <= 0x7FFFFF  ? (inCount << 8) / outCount
                     : outCount >> 8 == 0 ? 0x7FFFFFFF
                                          : inCount / (outCount >> 8);
      if (r > ratio) {
        ratio = r;
      } else {
        ratio = 0;
        std::fill(hash, hash + 5003, -1);
        freeEnt = 257;
        clear = true;
        put(256);
      }
    }
  }
  put(ent);
  return out.append(reinterpret_cast<char*>(group), (offset + 7) / 8);
}

// 9-bit codes packed least significant bit first, the last byte cut.
std::string pack9(const std::vector<int>& codes) {
  std::string bytes((codes.size() * 9 + 7) / 8, '\0');
  for (size_t at = 0; at < codes.size() * 9; ++at) {
    if (codes[at / 9] >> at % 9 & 1) bytes[at / 8] = static_cast<char>(bytes[at / 8] | 1 << at % 8);
  }
  return bytes;
}

// Bytes below range; with zeros (percent), runs of zero bytes make the
// string of two zero bytes come and go in the encoder's table.
std::string randomBytes(size_t size, uint32_t seed, uint32_t range = 256, uint32_t zeros = 0) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(rng() % 100 < zeros ? 0 : rng() % range);
  return s;
}

std::string wordText(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"patch", "file",   "the",    "install", "version",
                                       "of",    "update", "system", "and",     "directory"};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < size) s += std::string(kWords[rng() % 10]) + (rng() % 9 ? " " : ".\r\n");
  return s.substr(0, size);
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
    s += r < 70   ? instructions[rng() % 300]
         : r < 85 ? std::string(rng() % 48, '\0')
                  : std::string(1, static_cast<char>(rng()));
  }
  return s.substr(0, size);
}

// Bytes whose every pair of neighbours is new, so that each code stands
// for one byte: runs of 0, d, 2d, ... (mod 256) for odd steps d in turn.
std::string distinctPairs(size_t size) {
  std::string s;
  for (int step = 1; s.size() < size; step += 2) {
    for (int k = 0; k < 256 && s.size() < size; ++k) s += static_cast<char>(k * step % 256);
  }
  return s;
}

class CompressedFileTest : public ::testing::Test {
 protected:
  CompressedFileTest() : platform_(mp()) {}

  MemoryPlatform& mp() { return tp_.platform(); }
  std::string path(const std::string& name) const { return tp_.scratchDir() + "\\" + name; }
  void write(const std::string& name, const std::string& bytes, const DosStamp* stamp = nullptr) {
    mp().write(path(name), bytes, stamp);
  }
  std::string read(const std::string& name) { return mp().read(path(name)); }
  DosStamp stampOf(const std::string& name) {
    DosStamp stamp;
    EXPECT_TRUE(mp().open(path(name), FileMode::kRead)->getStamp(&stamp));
    return stamp;
  }
  // The compressed file of data.
  std::string compress(const std::string& data) {
    write("IN.DAT", data);
    EXPECT_EQ(compressFile(path("IN.DAT"), path("OUT.CM_"), 0), 1);
    return read("OUT.CM_");
  }
  std::string expand(const std::string& compressed) {
    write("IN.CM_", compressed);
    EXPECT_EQ(decompressFile(path("IN.CM_"), path("EXPANDED"), 1, 0), 1);
    return read("EXPANDED");
  }
  std::string withHeader(const std::string& codes, uint8_t flags = 0x8C) {
    return std::string("\x1F\x9D", 2) + std::string(6, '\0') + "BAD.TXT" + std::string(7, '\0') +
           static_cast<char>(flags) + codes;
  }

  MemoryTestPlatform tp_;
  RecordingPlatform platform_;
  RecordingTrace trace_;
};

TEST_F(CompressedFileTest, NamesAndStampsInTheHeader) {
  for (const auto& [ext, name] : std::vector<std::pair<std::string, std::string>>{
           {".DLL", ".DL_"}, {".HTML", ".HTM_"}, {".TX", ".TX_"}, {".H", ".H__"}, {"", "____"}})
    EXPECT_EQ(compressedName(ext), name) << ext;
  // The name is stored whole up to 14 characters, and the stamp with it.
  const DosStamp stamp{(13 << 11) | (45 << 5) | 10, (19 << 9) | (6 << 5) | 21};
  write("ABCDEFGHIJ.TXT", "fourteen", &stamp);
  write("LONGFILENAME.TEXT", "long");
  ASSERT_EQ(compressFile(path("ABCDEFGHIJ.TXT"), path("P.TX_"), 1), 1);
  ASSERT_EQ(compressFile(path("LONGFILENAME.TEXT"), path("P.TE_"), 0), 1);
  EXPECT_EQ(read("P.TX_").substr(0, 23),
            std::string("\x1F\x9D\xAA\x6D\xD5\x26\0\0", 8) + "ABCDEFGHIJ.TXT\x8C");
  ASSERT_TRUE(mp().createDir(path("OUT")));
  ASSERT_EQ(decompressFile(path("P.TX_"), path("OUT"), 0, 0), 1);
  ASSERT_EQ(decompressFile(path("P.TE_"), path("OUT\\"), 0, 0), 1);  // no second backslash
  EXPECT_EQ(read("OUT\\ABCDEFGHIJ.TXT") + read("OUT\\LONGFILENAME.T"), "fourteenlong");
  EXPECT_EQ(stampOf("OUT\\ABCDEFGHIJ.TXT"), stamp);
}

TEST_F(CompressedFileTest, CodesFollowTheEncoderRulesAndExpandBack) {
  std::vector<std::string> inputs = {
      "", "A", "AB", "AAAAAA", std::string(20, 'A'), std::string(1, '\xFF'), std::string(2, '\0'),
      std::string(5000, '\0'), std::string(3000000, 'x'), randomBytes(70000, 11),
      wordText(2500000, 12),
      // Poorly compressible, then text: the table is cleared again and again.
      randomBytes(300000, 1) + wordText(100000, 2),
      // Long enough for stretches parsed with the table full, several
      // clears, and two zero bytes lost and found.
      wordText(400000, 16), programBytes(400000, 17)};
  for (size_t size : {7u, 8u, 9u, 255u, 256u, 257u, 511u, 512u, 513u, 700u, 4095u, 4096u, 4097u})
    inputs.push_back(distinctPairs(size));
  std::mt19937 rng(8);
  for (uint32_t k = 0; k < 12; ++k)
    inputs.push_back(randomBytes(rng() % 120000, k, 1 + k * 20, 70 - 5 * k));
  for (const std::string& input : inputs) {
    const std::string compressed = compress(input);
    EXPECT_EQ(compressed.substr(23), referenceCodes(input)) << "size " << input.size();
    EXPECT_EQ(expand(compressed), input) << "size " << input.size();
  }
  // The group buffer outlives a file, but no earlier file shows in the next.
  const std::string data = randomBytes(150000, 4) + wordText(20000, 5);
  for (const std::string& before :
       {randomBytes(99999, 6), std::string(70000, '\0') + randomBytes(50000, 7)}) {
    compress(before);
    EXPECT_EQ(compress(data).substr(23), referenceCodes(data));
  }
  EXPECT_TRUE(trace_.lines.empty());
}

TEST_F(CompressedFileTest, FailuresLeaveNoOutput) {
  const auto box = [&](const std::string& text, const std::string& name = "") {
    return "[box] \n" + text + (name.empty() ? "" : path(name)) + "\n";
  };
  write("A.TXT", "a");
  write("PLAIN.TX_", "plain text, not compressed");
  write("WIDE.TX_", withHeader("\x41\x00", 0x8D));
  EXPECT_EQ(compressFile(path("NONE.TXT"), path("NONE.TX_"), 0), 0);
  EXPECT_EQ(decompressFile(path("NONE.TX_"), path("NONE.TXT"), 1, 0), 0);
  EXPECT_EQ(compressFile(path("A.TXT"), path("NODIR\\A.TX_"), 0), 0);
  ASSERT_EQ(compressFile(path("A.TXT"), path("A.TX_"), 0), 1);
  EXPECT_EQ(decompressFile(path("A.TX_"), path("NODIR"), 0, 0), 0);
  EXPECT_EQ(decompressFile(path("PLAIN.TX_"), path("PLAIN.TXT"), 1, 0), 0);
  EXPECT_EQ(decompressFile(path("WIDE.TX_"), path("WIDE.TXT"), 1, 0), 0);
  EXPECT_EQ(trace_.lines, (std::vector<std::string>{
                              box("Unable to open source for compression: ", "NONE.TXT"),
                              box("Unable to open source for decompression: ", "NONE.TX_"),
                              box("Unable to open destination for compression: ", "NODIR\\A.TX_"),
                              box("Unable to open destination for decompression: ", "NODIR\\A.TXT"),
                              box("Unable to find magic header for decompression."),
                              box("Unable to process 13 decompression bits")}));

  // A full disk: nothing appears, and the compressed file is left whole.
  const std::string packed = compress(wordText(300000, 19));
  trace_.lines.clear();
  mp().faults.push_back({MemoryPlatform::Fault::kWrite, "\\ZN", FileMode::kCreateNew, 1000});
  EXPECT_EQ(compressFile(path("IN.DAT"), path("FULL.TX_"), 0), 0);
  EXPECT_EQ(decompressFile(path("OUT.CM_"), path("FULL.TXT"), 1, 0), 0);
  mp().faults.clear();
  EXPECT_EQ(trace_.lines,
            (std::vector<std::string>{box("Unable to write the compressed file: ", "FULL.TX_"),
                                      box("Unable to write the expanded file: ", "FULL.TXT")}));
  EXPECT_EQ(read("OUT.CM_"), packed);

  std::string cleared = pack9({'A', 256});  // a clear code's group is written whole
  cleared.resize(9, '\0');
  write("OK.TX_", withHeader(cleared + pack9({'B', 'C'})));
  EXPECT_EQ(decompressFile(path("OK.TX_"), path("OK.TXT"), 1, 0), 1);
  EXPECT_EQ(read("OK.TXT"), "ABC");
  std::vector<std::string> damaged = {
      packed.substr(0, packed.size() - 1),  // what is left of the last code is no padding
      packed.substr(0, 10),                 // a cut header
      withHeader(pack9(std::vector<int>(8, 'A')) + "\x01"),  // a full group, then a byte
      withHeader(pack9({'A', 'B'}).substr(0, 2) + "\x80"),   // nonzero bits after the end
      withHeader(pack9({'A', 300})),                         // beyond the table
      withHeader(pack9({256})),                              // a first code of no byte
      withHeader(cleared + pack9({300}))};                   // the same after a clear
  for (size_t k = 0; k < damaged.size(); ++k) {
    SCOPED_TRACE(k);
    for (bool existing : {false, true}) {
      trace_.lines.clear();
      write("BAD.TX_", damaged[k]);
      mp().deleteFile(path("BAD.TXT"));
      if (existing) write("BAD.TXT", "the installed file");
      EXPECT_EQ(decompressFile(path("BAD.TX_"), path("BAD.TXT"), 1, 0), 0);
      EXPECT_EQ(trace_.lines,
                std::vector<std::string>{box("Damaged compressed data in ", "BAD.TX_")});
      EXPECT_EQ(read("BAD.TXT"), existing ? "the installed file" : "<missing>");
      EXPECT_EQ(mp().names(tp_.scratchDir()).find("ZN"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace zv
