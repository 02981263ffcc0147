#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

#include "platform/testing/test_platform.h"
#include "simulator/simulated_machine.h"

namespace zv {

struct TestPlatform::Impl {
  std::string hostDir;
  std::unique_ptr<SimulatedMachine> machine;
};

TestPlatform::TestPlatform() : impl_(new Impl) {
  char pattern[] = "/tmp/zvtest-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
  impl_->hostDir = pattern;
  std::string error;
  impl_->machine = SimulatedMachine::openMachine(impl_->hostDir + "/machine", &error);
  if (!impl_->machine) throw std::runtime_error(error);
  scratchDir_ = "C:\\SCRATCH";
  impl_->machine->createDir(scratchDir_);
  scratchKey_ = "Software\\zvpatch-test";
}

TestPlatform::~TestPlatform() {
  impl_->machine.reset();
  std::error_code ec;
  std::filesystem::remove_all(impl_->hostDir, ec);
}

Platform& TestPlatform::platform() {
  return *impl_->machine;
}

}  // namespace zv
