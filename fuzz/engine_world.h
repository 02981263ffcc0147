// The patch engine's surroundings on a simulated machine, as the program
// sets them up: a catalog whose message n reads "Mn", the product's
// settings, a package directory with its label file and files, and a
// product directory holding a few files the entries can act on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/data_file.h"
#include "engine/nls_class.h"
#include "files/config_data.h"
#include "fuzz_support.h"
#include "profile/profile.h"

namespace zv::fuzz {

class EngineWorld {
 public:
  static constexpr char kProgramDir[] = "C:\\PKG\\";
  static constexpr char kDefinition[] = "C:\\PKG\\UPD.DAT";

  // Builds the machine in scratchDir()/name; the catalog is read once.
  explicit EngineWorld(const std::string& name);

  // Throws the machine away and builds it again as it was, so that no run
  // sees what an earlier one did.
  void rebuild();
  // Run settings the section walk depends on, chosen by bits.
  void chooseSettings(uint32_t bits);

  ConfigData& settings() { return settings_; }
  NLSClass& catalog() { return *catalog_; }

 private:
  void populate();

  std::string name_;
  std::unique_ptr<Machine> machine_;
  std::unique_ptr<NLSClass> catalog_;
  ConfigData settings_;
  std::string compressedCore_;  // CORE.DL_, made once by the program itself
};

// FNV-1a: settings that follow from the input, the same on every run.
uint32_t hashOf(const uint8_t* data, size_t size);

}  // namespace zv::fuzz
