#include "files/compressed_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"

namespace zv {
namespace {

// FNV-1a, to pin a long code stream in a few digits.
uint32_t hashOf(const std::string& bytes) {
  uint32_t h = 2166136261u;
  for (unsigned char c : bytes) h = (h ^ c) * 16777619u;
  return h;
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
  RecordingTrace trace_;
};

TEST_F(CompressedFileTest, CodeStreamsArePinnedAndExpandBack) {
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
  // Last, a file the group buffer's leftovers must not reach (below).
  const std::string data = randomBytes(150000, 4) + wordText(20000, 5);
  inputs.push_back(data);
  // The code streams of the encoder as it was checked byte for byte against
  // the Unix compress program's rules (5003-entry table, 12 bits, a clear
  // when the ratio falls), pinned.
  static const uint32_t kCodes[] = {
      0x811c9dc5, 0x6ad58324, 0xb8d65388, 0xf60e968c, 0xf6167084, 0x6e1e20ca, 0x4ab0f7b7,
      0x6d30979f, 0xe759a7df, 0xd9a63654, 0xfb2d50ff, 0x380ef045, 0xf3a11a75, 0x0ebfefd7,
      0x1b351cbc, 0x925f0c2d, 0xeb0f9d2d, 0x5b9d97d8, 0xded88765, 0xa41faa6d, 0x2b9529d0,
      0x0a3268fd, 0x94afa1c5, 0xd7504df9, 0x2f756c49, 0x9cb1cd35, 0x79226cbd, 0xb49b6d1a,
      0x3638f503, 0x30846c60, 0x36d4ca52, 0xe977fe5f, 0xc1de0857, 0x1deebc2b, 0x84046525,
      0x990e95eb, 0x77b5072a, 0xaa7d19a1, 0x04eab9f1, 0xc57127b6};
  ASSERT_EQ(inputs.size(), std::size(kCodes));
  for (size_t k = 0; k < inputs.size(); ++k) {
    const std::string compressed = compress(inputs[k]);
    EXPECT_EQ(hashOf(compressed.substr(23)), kCodes[k]) << "input " << k;
    EXPECT_EQ(expand(compressed), inputs[k]) << "input " << k;
  }
  // The group buffer outlives a file, but no earlier file shows in the next.
  for (const std::string& before :
       {randomBytes(99999, 6), std::string(70000, '\0') + randomBytes(50000, 7)}) {
    compress(before);
    EXPECT_EQ(hashOf(compress(data).substr(23)), kCodes[std::size(kCodes) - 1]);
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
