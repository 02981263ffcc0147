#include "platform/win32/single_instance.h"

#include <gtest/gtest.h>

#include <memory>

namespace zv {
namespace {

TEST(SingleInstanceTest, OnlyTheFirstClaimsTheMachineUntilItEnds) {
  auto first = std::make_unique<SingleInstance>();
  ASSERT_TRUE(first->claimed());
  EXPECT_FALSE(SingleInstance().claimed()) << "a second installer while the first runs";
  first.reset();
  EXPECT_TRUE(SingleInstance().claimed()) << "once the first has ended";
}

}  // namespace
}  // namespace zv
