// What the entry handlers share: the section being walked, field access and
// defaults, base directory selection, and the message for a bad line.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "engine/data_file.h"
#include "engine/entry_line.h"
#include "engine/messages.h"
#include "files/substitute.h"

namespace zv {

using Field = std::optional<std::string>;

struct SectionContext {
  DataFile& engine;
  ConfigData& settings;
  SubstituteClass& substitutions;
  int pass;
  bool lastPass() const { return pass == settings.diskettes(); }
};

// The fields after "=", absent ones as nullopt.
std::vector<Field> splitFields(const std::string& line, size_t count);
// Present and not empty.
inline bool given(const Field& f) {
  return f && !f->empty();
}
// A numeric field's value, or def when it holds no number.
int numberOr(const Field& field, int def);
// The registry root a condition's fourth field names (compared over four
// characters, as the conditions do); 0 for a settings condition.
RegKey conditionRoot(const Field& field);
// A catalog message as an error: "\n%s\n" with the error box; counted.
void reportMessage(DataFile& engine, Msg message);

// The longest path the system takes (MAX_PATH without its terminator).
constexpr size_t kPathLimit = 259;
// False after kInvalidLine when a path the entry would act on is longer: a
// cut path would name another file.
bool pathsFit(DataFile& engine, std::initializer_list<std::string> paths);
// A staged file's name in the work directory, for its length.
std::string stagedNameIn(const std::string& workDir);

enum class BaseChoice { kSelected, kNone, kAbandon };
// Selects the base directory that component names (ZEVRA or WINDOWS) and
// prepares the work directories under it. kNone (after kInvalidLine) when
// the component names neither, or its directory is not known; kAbandon when the work directories
// cannot be created, which ends the section.
BaseChoice selectBase(SectionContext& c, const Field& component, std::string* base);

// Entries that install a package file: as it is, with the directories
// substituted in it, or over every copy found below the directory.
enum class PackageEntry { kFile, kSubst, kFindFile };
// Entries on files already on the machine.
enum class LocalEntry { kRename, kCopy, kErase };

// The handlers; false when the section must be abandoned.
bool fileEntry(SectionContext& c, PackageEntry kind, const std::string& line);
bool localEntry(SectionContext& c, LocalEntry kind, const std::string& line);
bool iniEntry(SectionContext& c, const std::string& line);
// 1 when the registry operation succeeded.
int processRegistry(SectionContext& c, const std::string& line);

}  // namespace zv
