// A platform to run the contract tests against, with a scratch directory and
// a scratch registry key that are removed when the test ends.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace zv {

class TestPlatform {
 public:
  TestPlatform();
  ~TestPlatform();
  TestPlatform(const TestPlatform&) = delete;
  TestPlatform& operator=(const TestPlatform&) = delete;

  Platform& platform();
  // An empty directory, as a Windows path without a trailing backslash.
  const std::string& scratchDir() const { return scratchDir_; }
  // A key below HKEY_CURRENT_USER that exists only for this test, e.g.
  // "Software\zvpatch-test-1234".
  const std::string& scratchKey() const { return scratchKey_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string scratchDir_;
  std::string scratchKey_;
};

}  // namespace zv
