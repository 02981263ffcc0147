// The short (8.3) names of a simulated Windows 95/98/Me machine. Every file
// and directory below a drive whose name is no short name gets an alias,
// formed as those systems form it, when it is created, and keeps it. The
// aliases are kept in short-names in the machine directory ("drive_c/
// Program Files<TAB>PROGRA~1", one line each); a directory whose long
// names have none (a machine made by hand) gets them, in name order, the
// first time it is used.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace zv {

// The aliases file, in the machine directory.
extern const char kShortNamesFile[];

class ShortNames {
 public:
  explicit ShortNames(std::string machineDir) : machineDir_(std::move(machineDir)) {}

  // Reads the stored aliases; false with "<file>:<line>: <problem>".
  bool load(const std::string& text, std::string* error);

  // The short name of entry `name` of host directory `dir`: its alias, or
  // its name upper-cased when that is a short name.
  std::string shortNameOf(const std::string& dir, const std::string& name);
  // The entry of dir whose alias is shortName (any case); empty for none.
  std::string entryWithAlias(const std::string& dir, const std::string& shortName);
  // A file or directory was made, or went (hostPath inside the machine).
  void added(const std::string& hostPath);
  void removed(const std::string& hostPath);

 private:
  using Aliases = std::map<std::string, std::string>;  // entry name: alias
  using Names = std::set<std::string>;
  // The aliases of dir, every long name given one (nullptr outside
  // drives). The first use of a folder in a run reads it; from then on the
  // changes reported keep its names and aliases in step.
  Aliases* aliasesOf(const std::string& dir);
  void assign(const std::string& name, const Names& names, Aliases* aliases);
  void save();

  std::string machineDir_;
  std::map<std::string, Aliases> dirs_;  // by path relative to the machine
  std::map<std::string, Names> listed_;  // the folders read in this run
};

}  // namespace zv
