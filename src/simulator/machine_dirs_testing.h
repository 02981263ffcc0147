// Test fixture for the simulated machine's tests: a temporary folder
// holding machine directories, and files written into it with a chosen
// time.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "simulator/posix_file.h"

namespace zv {

class MachineDirsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zvmachine-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    top_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(top_); }

  std::string at(const std::string& path) const { return top_ + "/" + path; }

  // Writes a file below top_ (folders made as needed), dated `seconds`
  // after the start of 2000 and `nanoseconds` more.
  void put(const std::string& path, const std::string& bytes, int seconds = 0) {
    std::filesystem::create_directories(std::filesystem::path(at(path)).parent_path());
    std::string error;
    ASSERT_TRUE(writeHostFileWhole(at(path), bytes, &error)) << error;
    date(path, seconds);
  }
  void date(const std::string& path, int seconds, long nanoseconds = 0) {
    const time_t kY2k = 946684800;
    struct timespec times[2] = {{kY2k + seconds, nanoseconds}, {kY2k + seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, at(path).c_str(), times, 0), 0) << path;
  }

  std::string top_;
};

}  // namespace zv
