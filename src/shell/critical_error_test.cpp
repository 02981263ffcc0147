#include "shell/critical_error.h"

#include <gtest/gtest.h>

#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"

namespace zv {
namespace {

TEST(CriticalErrorTest, FourLinesThenTheBox) {
  MemoryTestPlatform tp;
  RecordingPlatform platform(tp.platform());
  RecordingTrace trace;
  ReportCriticalError(Error(static_cast<ErrorCode>(7), std::string("M"), "A", 10));
  EXPECT_EQ(trace.lines, (std::vector<std::string>{
                             "Critical ERROR Occured on line 10\n  of file A\n",
                             "     Error Number:  7\n",
                             "     Error Message: M\n",
                             "     Size:          0\n",
                         }));
  EXPECT_EQ(platform.boxes, (std::vector<std::string>{"Critical Error|Critical Error!|OK"}));
}

}  // namespace
}  // namespace zv
