// A patch engine on a fresh in-memory machine, for the engine's tests: a
// catalog whose message n reads "Mn", settings whose ZEVRA.INI lives in the
// scratch directory, and a definition file written by the test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/data_file.h"
#include "engine/nls_class.h"
#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"
#include "profile/profile.h"

namespace zv {

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() : platform_(tp_.platform()) {
    std::string catalog;
    for (int n = 1; n <= 47; ++n) catalog += "M" + std::to_string(n) + "\r\n";
    write("UPD.MSG", catalog);
    nls_ = std::make_unique<NLSClass>(path("UPD.MSG"));
    std::string failure;
    nls_->LoadCatalog(&failure);
    settings_.setWindowsDir(tp_.scratchDir());
    settings_.setProductDir(path("PROD"));
    settings_.setProgramDir(tp_.scratchDir() + "\\");
    settings_.setOsDetection(OsDetection::kWindows98);
    settings_.setOsClass(OsClass::kWindows9x);
    settings_.setInteractive(1);
    tp_.platform().createDir(path("PROD"));
    write("ZVPATCH.001", "");
    settings_.setLocationProfile(std::make_unique<Profile>(path("ZEVRA.INI"), Profile::kFileMode));
    location_ = settings_.locationProfile();
  }

  std::string path(const std::string& name) const { return tp_.scratchDir() + "\\" + name; }
  void write(const std::string& name, const std::string& bytes) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f);
    f->write(bytes.data(), bytes.size());
  }
  // The engine on a definition file of these lines.
  DataFile& engine(const std::string& lines) {
    write("UPD.DAT", lines);
    engine_ = std::make_unique<DataFile>(path("UPD.DAT"), &settings_, nls_.get());
    return *engine_;
  }

  MemoryTestPlatform tp_;
  RecordingPlatform platform_;
  RecordingTrace trace_;
  ConfigData settings_;
  std::unique_ptr<NLSClass> nls_;
  Profile* location_ = nullptr;  // the settings' own
  std::unique_ptr<DataFile> engine_;
};

}  // namespace zv
