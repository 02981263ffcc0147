#include "files/compressed_file.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

TEST(CompressedNameTest, LastCharacterReplacedOrPadded) {
  EXPECT_EQ(compressedName(".DLL"), ".DL_");
  EXPECT_EQ(compressedName(".HTML"), ".HTM_");
  EXPECT_EQ(compressedName(".TX"), ".TX_");
  EXPECT_EQ(compressedName(".H"), ".H__");
  EXPECT_EQ(compressedName(""), "____");
}

}  // namespace
}  // namespace zv
