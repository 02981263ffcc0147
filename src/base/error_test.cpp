#include "base/error.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

void raiseFileError() {
  std::string path = "C:\\PROD\\A.DLL";
  throw Error(ErrorCode::kFileUnreadable, path, kUnitFiles, 42);
}

TEST(ErrorTest, TheRecordSurvivesTheCodeThatRaisedIt) {
  try {
    raiseFileError();
    FAIL() << "nothing raised";
  } catch (const Error& e) {
    Error copy = e;
    EXPECT_EQ(copy.code, 20);
    EXPECT_EQ(copy.size, 0u);
    EXPECT_EQ(copy.message, "C:\\PROD\\A.DLL");
    EXPECT_EQ(copy.file, "zvpfile.cpp");
    EXPECT_EQ(copy.line, 42);
  }
  Error memory(ErrorCode::kNoMemory, 148u, kUnitShell, 7);
  EXPECT_EQ(memory.message, "");
  EXPECT_EQ(memory.size, 148u);
  EXPECT_EQ(memory.file, "zvpat32.cpp");
  EXPECT_EQ(std::string(kUnitEngine), "zvpdf.cpp");
  EXPECT_EQ(std::string(kUnitProfile), "zvpprof.cpp");
}

}  // namespace
}  // namespace zv
