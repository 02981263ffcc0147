// INI entries set or delete a key, or delete a section, of an INI file in
// the Windows or product directory. The product's own ZEVRA.INI is edited
// through the profiles the run holds; with the settings kept in the
// registry, the Windows directory's files live there instead.
#include <memory>
#include <vector>

#include "base/error.h"
#include "base/strings.h"
#include "base/windows_path.h"
#include "engine/entry_line.h"
#include "engine/entry_support.h"
#include "engine/nls_class.h"
#include "platform/registry_names.h"
#include "platform/trace.h"
#include "profile/profile.h"

namespace zv {

bool iniEntry(SectionContext& c, const std::string& line) {
  ConfigData& s = c.settings;
  std::vector<Field> f = splitFields(line, 5);
  const Field &location = f[0], &filename = f[1], &section = f[2], &key = f[3];
  Field value = f[4];
  if (value) c.substitutions.substitute(*value);
  if (!given(filename) || !given(section)) {
    reportMessage(c.engine, Msg::kInvalidLine);
    return true;
  }
  if (!c.lastPass()) return true;

  bool windows = location && equalsIgnoringCase(*location, "WINDOWS");
  bool inRegistry = windows && s.registryLocation();
  std::string target;
  if (inRegistry) {
    target = withBackslash(kProductKey);
  } else {
    BaseChoice choice = selectBase(c, location, &target);
    if (choice != BaseChoice::kSelected) return choice != BaseChoice::kAbandon;
  }
  target = withBackslash(target) + *filename;
  if (s.debug()) {
    TracePrint(0, "     INI\n");
    TracePrint(0, "          filename : %s\n", target.c_str());
    TracePrint(0, "          section  : %s\n", section->c_str());
    TracePrint(0, "          key      : %s\n", fieldText(key));
    TracePrint(0, "          value    : %s\n", fieldText(value));
  }

  const char* keyText = key ? key->c_str() : nullptr;
  const char* valueText = value ? value->c_str() : nullptr;
  if (equalsIgnoringCase(*filename, "ZEVRA.INI")) {
    Profile* held = windows ? s.locationProfile() : s.productProfile();
    if (held) held->setValue(*section, keyText, valueText);
    return true;
  }
  std::unique_ptr<Profile> profile;
  try {
    profile =
        std::make_unique<Profile>(target, inRegistry ? Profile::kRegistryMode : Profile::kFileMode);
  } catch (const Error&) {
    c.engine.countError();
    TracePrint(1, "\n%s: %s\n", c.engine.catalog().MessageText(Msg::kIniUnreadable).c_str(),
               target.c_str());
    return true;
  }
  profile->setValue(*section, keyText, valueText);
  return true;
}

}  // namespace zv
