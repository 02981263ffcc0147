#include "engine/engine_test_fixture.h"
#include "platform/interaction.h"

namespace zv {
namespace {

// Boxes that bring the missing diskette after a number of prompts.
class DiskettePlatform : public RecordingPlatform {
 public:
  DiskettePlatform(Platform& target, std::string label, int promptsBeforeInsert)
      : RecordingPlatform(target), label_(std::move(label)), left_(promptsBeforeInsert) {}
  int messageBox(const std::string& text, const std::string& caption, unsigned style) override {
    if (--left_ == 0) target().open(label_, FileMode::kWrite);
    return RecordingPlatform::messageBox(text, caption, style);
  }
  bool pump() override { return !closed; }
  bool closed = false;

 private:
  std::string label_;
  int left_;
};

class SectionTest : public EngineTest {
 protected:
  int count(const std::string& line) const {
    return static_cast<int>(std::count(trace_.lines.begin(), trace_.lines.end(), line));
  }
};

TEST_F(SectionTest, EveryPassRecognisesEveryLineFilesActInTheirPass) {
  settings_.setDebug(1);
  settings_.setDiskettes(2);
  write("ZVPATCH.002", "");
  DataFile& e = engine(
      "[S]\r\n"
      "  ; a comment\r\n"
      "// another\r\n"
      "FILE1=ZEVRA,A.DLL,,,,,,2\r\n"
      "FILES=ZEVRA,B.DLL\r\n"
      "REM not a comment\r\n"
      "REBOOT1=2\r\n"
      "[NEXT]\r\n"
      "REBOOT1=1\r\n");
  e.processSection("s");
  EXPECT_EQ(count("     File\n"), 2) << "traced in every pass";
  EXPECT_EQ(count("          disk val    : 2\n"), 2);
  EXPECT_EQ(count("[box] \nM18\n"), 4) << "two bad lines, two passes";
  EXPECT_EQ(settings_.rebootNeededRaw(), 2) << "REBOOT acts in the last pass, its value kept";
  EXPECT_TRUE(tp_.platform().exists(path("PROD\\ARCHIVE\\TEMP"))) << "the disk-2 file acted";
}

TEST_F(SectionTest, RebootWithdrawsAndLongLinesAreRefused) {
  settings_.setRebootNeeded(1);
  DataFile& e =
      engine("[S]\r\nREBOOT=0\r\nREBOOT2=x\r\nFILE=ZEVRA," + std::string(260, 'a') + "\r\n");
  e.processSection("S");
  EXPECT_EQ(settings_.rebootNeededRaw(), 0) << "withdrawn; a value that is no number is ignored";
  EXPECT_EQ(count("[box] \nM18\n"), 1) << "the long line is refused, not cut";
  EXPECT_FALSE(tp_.platform().exists(path("PROD\\ARCHIVE")));
}

TEST_F(SectionTest, MissingSectionAndNoPasses) {
  DataFile& e = engine("[S]\r\nREBOOT1=1\r\n");
  e.processSection("T");
  EXPECT_EQ(count("[box] \nM18\n"), 1);
  settings_.setDiskettes(0);
  e.processSection("S");
  EXPECT_EQ(settings_.rebootNeededRaw(), 0) << "no pass, nothing acts";
}

TEST_F(SectionTest, AMissingDisketteIsAskedForUntilItIsThere) {
  tp_.platform().deleteFile(path("ZVPATCH.001"));
  DiskettePlatform diskettes(tp_.platform(), path("ZVPATCH.001"), 2);
  DataFile& e = engine("[S]\r\nREBOOT1=1\r\n");
  e.processSection("S");
  EXPECT_EQ(diskettes.boxes, (std::vector<std::string>{"M44|M43|OK", "M44|M43|OK"}));
  EXPECT_EQ(settings_.rebootNeededRaw(), 1);
}

TEST_F(SectionTest, UnattendedAMissingDisketteEndsTheSection) {
  tp_.platform().deleteFile(path("ZVPATCH.001"));
  settings_.setCid(1);
  DataFile& e = engine("[S]\r\nREBOOT1=1\r\n");
  e.processSection("S");
  EXPECT_EQ(count("\nM45\n"), 1);
  EXPECT_TRUE(platform_.boxes.empty());
  EXPECT_EQ(settings_.rebootNeededRaw(), 0);
}

TEST_F(SectionTest, ClosingTheWindowEndsTheWorkAtTheNextLine) {
  DiskettePlatform closing(tp_.platform(), path("X"), 0);
  closing.closed = true;
  DataFile& e = engine("[S]\r\nREBOOT1=1\r\n");
  EXPECT_THROW(e.processSection("S"), WindowClosed);
  EXPECT_EQ(settings_.rebootNeededRaw(), 0);
}

}  // namespace
}  // namespace zv
