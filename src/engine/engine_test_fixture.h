// A patch engine on a fresh in-memory machine, for the engine's tests: a
// catalog whose message n reads "Mn", settings whose ZEVRA.INI lives in the
// scratch directory (the Windows directory), the product in PROD, and a
// definition file written by the test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/data_file.h"
#include "engine/nls_class.h"
#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"
#include "profile/profile.h"

namespace zv {

using Lines = std::vector<std::string>;

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
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
    useSettings("");
  }

  std::string path(const std::string& name) const { return tp_.scratchDir() + "\\" + name; }
  // A file of the scratch directory, dated 1 January of the year.
  void write(const std::string& name, const std::string& bytes, int year = 2001) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f) << name;
    f->write(bytes.data(), bytes.size());
    ASSERT_TRUE(f->setStamp({10 << 11, static_cast<uint16_t>((year - 1980) << 9 | 1 << 5 | 1)}));
  }
  std::string read(const std::string& name) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kRead);
    if (!f) return "<missing>";
    std::string text;
    char buf[4096];
    for (int64_t n; (n = f->read(buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
    return text;
  }
  // A fresh ZEVRA.INI of this content as the settings.
  void useSettings(const std::string& content) {
    settings_.setLocationProfile(nullptr);
    write("ZEVRA.INI", content);
    settings_.setLocationProfile(std::make_unique<Profile>(path("ZEVRA.INI"), Profile::kFileMode));
  }
  // The engine on a definition file of these lines.
  DataFile& engine(const std::string& lines) {
    write("UPD.DAT", lines);
    engine_ = std::make_unique<DataFile>(path("UPD.DAT"), &settings_, nls_.get());
    return *engine_;
  }
  // Section S of these entry lines, processed.
  void run(const std::string& lines) { engine("[S]\r\n" + lines).processSection("S"); }

  MemoryTestPlatform tp_;
  RecordingTrace trace_;
  ConfigData settings_;
  std::unique_ptr<NLSClass> nls_;
  std::unique_ptr<DataFile> engine_;
};

}  // namespace zv
