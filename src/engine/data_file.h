// The patch engine: one patch definition file and its installation.
#pragma once

#include <string>

#include "files/config_data.h"

namespace zv {

class NLSClass;

class DataFile {
 public:
  DataFile(const std::string& definitionName, ConfigData* config, NLSClass* nls)
      : definitionName_(definitionName), config_(config), nls_(nls) {}

  // Nonzero when a patch was installed.
  int install();

 private:
  std::string definitionName_;
  ConfigData* config_;  // not owned
  NLSClass* nls_;       // not owned
};

}  // namespace zv
