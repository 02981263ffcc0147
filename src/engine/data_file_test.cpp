#include "engine/data_file.h"

#include "engine/engine_test_fixture.h"

namespace zv {
namespace {

using Lines = std::vector<std::string>;

class DataFileTest : public EngineTest {
 protected:
  bool traced(const std::string& line) const {
    return std::find(trace_.lines.begin(), trace_.lines.end(), line) != trace_.lines.end();
  }
};

TEST_F(DataFileTest, InstalledRecordsArePrefixesUpToTheFirstGap) {
  DataFile& e = engine("[Patch]\r\n");
  int next = -1;
  EXPECT_EQ(e.isPatchInstalled("FIX", &next), 0);
  EXPECT_EQ(next, 0);
  location_->setValue("Install", "Patch0", "OLD");
  location_->setValue("Install", "Patch1", "fix00421");
  EXPECT_EQ(e.isPatchInstalled("FIX0042", &next), 1) << "a prefix, any case";
  EXPECT_EQ(next, 1);
  EXPECT_EQ(e.isPatchInstalled("NEW", &next), 0);
  EXPECT_EQ(next, 2);
  location_->setValue("Install", "Patch1", "");
  location_->setValue("Install", "Patch2", "FIX");
  EXPECT_EQ(e.isPatchInstalled("FIX", &next), 0) << "the list ends at the empty record";
  EXPECT_EQ(next, 1);
}

TEST_F(DataFileTest, CandidatesRunInIndexOrderAndTheRecordFollows) {
  settings_.setDebug(1);
  DataFile& e = engine(
      "[Patch]\r\nPatch=FIX\r\n"
      "condition1=SECOND,7,0,Zevra,root\r\n"
      "Condition0=FIRST,7,0,Zevra,root\r\n"
      "Condition0 =IGNORED,7,0,Nothing,here\r\n"
      "Condition3=NEVER,7,0,Zevra,root\r\n"
      "[FIRST]\r\n[SECOND]\r\n");
  location_->setValue("Zevra", "root", "C:\\PROD");
  location_->setValue("Install", "Patch0", "OLD");
  ASSERT_EQ(e.install(), 1);
  Lines sections;
  for (const std::string& l : trace_.lines)
    if (l.rfind("Processing section: ", 0) == 0) sections.push_back(l);
  EXPECT_EQ(sections, (Lines{"Processing section: FIRST\n", "Processing section: SECOND\n"}))
      << "no Condition2: index 3 is never a candidate";
  EXPECT_TRUE(traced("Next Patch: 1\n"));
  EXPECT_EQ(location_->getString("Install", "Patch1", ""), "FIX");
}

TEST_F(DataFileTest, AFailingConditionStopsItsPatch) {
  settings_.setDebug(1);
  DataFile& e = engine(
      "[Patch]\r\n"
      "Condition0=FIX,7,0,Zevra,root\r\n"
      "Condition0=FIX,7,0,Zevra,missing\r\n"
      "Condition0=FIX,7,0,Zevra,third\r\n"
      "[FIX]\r\n");
  location_->setValue("Zevra", "root", "x");
  EXPECT_EQ(e.install(), 0);
  EXPECT_FALSE(traced("     key    : third\n")) << "the third line is not evaluated";
  EXPECT_FALSE(traced("Processing section: FIX\n"));
  EXPECT_TRUE(traced("\nM9\nM10\n"));
  EXPECT_EQ(platform_.boxes, (Lines{"M38|M37|OK"}));
  EXPECT_EQ(location_->sectionExists("Install"), 0) << "no record without a patch";
}

TEST_F(DataFileTest, AlreadyInstalledUnlessReinstallIsAllowed) {
  DataFile& e = engine("[Patch]\r\nPatch=FIX\r\nCondition0=FIX,7,0,Zevra,root\r\n[FIX]\r\n");
  location_->setValue("Zevra", "root", "x");
  location_->setValue("Install", "Patch0", "FIX");
  EXPECT_EQ(e.install(), 0);
  EXPECT_TRUE(traced("\nM11\n"));
  settings_.setCid(1);
  EXPECT_EQ(e.install(), 0);
  EXPECT_EQ(platform_.boxes.size(), 1u) << "no box when unattended";
  settings_.setAllowReinstall(1);
  EXPECT_EQ(e.install(), 1);
  EXPECT_EQ(location_->getString("Install", "Patch0", ""), "FIX");
  EXPECT_EQ(location_->getString("Install", "Patch1", "none"), "none") << "same index";
}

TEST_F(DataFileTest, NoRecordOutsideTheTwoFamiliesAndNoPatchSection) {
  DataFile& e = engine("[Patch]\r\nPatch=FIX\r\nCondition0=FIX,4,0,Zevra,root\r\n[FIX]\r\n");
  location_->setValue("Zevra", "root", "x");
  settings_.setOsDetection(OsDetection::kWin32s);
  settings_.setOsClass(OsClass::kWin32s);
  EXPECT_EQ(e.install(), 1);
  EXPECT_EQ(location_->sectionExists("Install"), 0);

  DataFile& none = engine("[Other]\r\n");
  EXPECT_EQ(none.install(), 0);
  EXPECT_TRUE(traced("[box] Missing DAT file or DAT file is missing PATCH section.\n"));
}

TEST_F(DataFileTest, WorkDirectoriesUnderTheSelectedBase) {
  DataFile& e = engine("[Patch]\r\n");
  ASSERT_EQ(e.setWorkDirs(WorkBase::kProductDir), 1);
  EXPECT_EQ(e.archiveDir(), path("PROD\\ARCHIVE"));
  EXPECT_EQ(e.tempDir(), path("PROD\\ARCHIVE\\TEMP"));
  EXPECT_TRUE(tp_.platform().exists(e.tempDir()));
  settings_.setWindowsDir(tp_.scratchDir() + "\\");
  ASSERT_EQ(e.setWorkDirs(WorkBase::kWindowsDir), 1);
  EXPECT_EQ(e.archiveDir(), path("ARCHIVE")) << "no second backslash";
  settings_.setProductDir(path("NO\\SUCH"));
  EXPECT_EQ(e.setWorkDirs(WorkBase::kProductDir), 0);
  EXPECT_TRUE(traced("[box] \nM12 " + path("NO\\SUCH\\ARCHIVE") + "\n"));
}

}  // namespace
}  // namespace zv
