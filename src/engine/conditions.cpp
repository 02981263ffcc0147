// Condition lines of section Patch: which operating system a patch is for,
// and a settings or registry value it requires.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "base/strings.h"
#include "engine/data_file.h"
#include "engine/entry_line.h"
#include "engine/entry_support.h"
#include "engine/nls_class.h"
#include "files/substitute.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace zv {

namespace {

// The value is read into a buffer of this many bytes (terminator included).
constexpr size_t kValueBuffer = 256;

// How the value compares with the references: the condition's mode field.
enum class Comparison {
  kPresent = 0,   // exists and is not empty
  kEqual = 1,     // = reference 1
  kAtLeast = 2,   // >= reference 1, the default
  kAtMost = 3,    // <= reference 1
  kBetween = 4,   // reference 1 <= value <= reference 2
  kNotEqual = 5,  // != reference 1
};

// The mode field's comparison; the default for a field that is no mode.
Comparison comparisonOf(const Field& field) {
  int mode;
  if (!readNumber(field, &mode) || mode < static_cast<int>(Comparison::kPresent) ||
      mode > static_cast<int>(Comparison::kNotEqual)) {
    return Comparison::kAtLeast;
  }
  return static_cast<Comparison>(mode);
}

// A condition line's fields: Name=branch,os,mode,section-or-root[,path],key,
// reference 1,reference 2.
struct Condition {
  Field branch, os, mode, fourth;
  RegKey root = 0;  // 0: a settings value
  Field path, key, rangeS, rangeE;
};

Condition parseCondition(const std::string& line, const ConfigData& s) {
  FieldSplitter splitter(line);
  splitter.nextToken("=");
  Condition c;
  c.branch = splitter.nextToken(",");
  c.os = splitter.nextToken(",");
  c.mode = splitter.nextToken(",");
  c.fourth = splitter.nextToken(",");
  c.root = conditionRoot(c.fourth);
  if (c.root != 0) c.path = splitter.nextToken(",");
  c.key = splitter.nextToken(",");
  c.rangeS = splitter.nextToken(",");
  c.rangeE = splitter.nextToken(",");
  SubstituteClass keywords('\\');
  keywords.addPair("ZEVRA", s.productDir());
  keywords.addPair("WINDOWS", s.windowsDir());
  if (c.rangeS) keywords.substitute(*c.rangeS);
  if (c.rangeE) keywords.substitute(*c.rangeE);
  return c;
}

void traceCondition(const Condition& c) {
  const bool registry = c.root != 0;
  TracePrint(0, registry ? "Testing Registry Condition\n" : "Testing Condition\n");
  TracePrint(0, "     branch : %s\n", fieldText(c.branch));
  TracePrint(0, "     OS     : %s\n", fieldText(c.os));
  TracePrint(0, "     force  : %s\n", fieldText(c.mode));
  TracePrint(0, "     section: %s\n", fieldText(c.fourth));
  if (registry) TracePrint(0, "     path   : %s\n", fieldText(c.path));
  TracePrint(0, "     key    : %s\n", fieldText(c.key));
  TracePrint(0, "     range s: %s\n", fieldText(c.rangeS));
  TracePrint(0, "     range e: %s\n", fieldText(c.rangeE));
}

// The OS field holds the detection number of the system the patch is for; a
// field that is no number names no system, so it never matches.
bool osMatches(const Condition& c, OsDetection detection, bool debug) {
  int osNumber = 0;
  const bool osIsNumber = readNumber(c.os, &osNumber);
  if (debug) {
    TracePrint(0, "Testing OS\n");
    if (osIsNumber) {
      TracePrint(0, "     Datafile:  %d\n", osNumber);
    } else {
      TracePrint(0, "     Datafile:  %s\n", c.os->c_str());
    }
    TracePrint(0, "     Detection: %d\n", static_cast<int>(detection));
  }
  return osIsNumber && osNumber == static_cast<int>(detection);
}

// The registry value as a string, cut at its first NUL; false when the key
// or the value cannot be read.
bool readRegistryValue(const Condition& c, const NLSClass& catalog, bool debug,
                       std::string* value) {
  Platform& platform = Platform::current();
  RegKey handle = 0;
  if (platform.regOpenKey(c.root, c.path ? *c.path : "", RegAccess::kRead, &handle) !=
      kErrorSuccess) {
    if (debug) {
      TracePrint(1, "\n%s:\n     %s\\%s\n", catalog.MessageText(Msg::kKeyOpenFailed).c_str(),
                 fieldText(c.fourth), fieldText(c.path));
    }
    return false;
  }
  char data[kValueBuffer];
  uint32_t size = sizeof data;
  uint32_t type = kRegSz;
  const long rc = platform.regQueryValue(handle, c.key ? *c.key : "", &type, data, &size);
  platform.regCloseKey(handle);
  if (rc != kErrorSuccess) {
    if (debug) {
      TracePrint(1, "\n%s:\n     %s\\%s\\%s\n", catalog.MessageText(Msg::kValueReadFailed).c_str(),
                 fieldText(c.fourth), fieldText(c.path), fieldText(c.key));
    }
    return false;
  }
  const size_t limit = size < sizeof data ? size : sizeof data;
  const void* nul = std::memchr(data, '\0', limit);
  value->assign(data, nul ? static_cast<const char*>(nul) - data : limit);
  return true;
}

std::string readSettingsValue(const Condition& c, const ConfigData& s) {
  std::string value;
  Profile* location = s.locationProfile();
  if (location) value = location->getString(*c.fourth, *c.key, "");
  // Held in a buffer of 256 characters.
  if (value.size() > kValueBuffer - 1) value.resize(kValueBuffer - 1);
  return value;
}

// 1 when the (trimmed, non-empty) value passes the comparison; a missing
// reference the comparison needs fails it.
int compareValue(const std::string& value, Comparison mode, Field rangeS, Field rangeE) {
  int againstS = 0;
  if (given(rangeS)) {
    trimLine(*rangeS);
    againstS = compareIgnoringCase(value, *rangeS);
  } else if (mode != Comparison::kPresent) {
    return 0;
  }
  int againstE = 0;
  if (given(rangeE)) {
    trimLine(*rangeE);
    againstE = compareIgnoringCase(value, *rangeE);
  } else if (mode == Comparison::kBetween) {
    return 0;
  }

  switch (mode) {
    case Comparison::kPresent:
      return value.empty() ? 0 : 1;
    case Comparison::kEqual:
      return againstS == 0 ? 1 : 0;
    case Comparison::kAtMost:
      return againstS <= 0 ? 1 : 0;
    case Comparison::kBetween:
      return againstS >= 0 && againstE <= 0 ? 1 : 0;
    case Comparison::kNotEqual:
      return againstS != 0 ? 1 : 0;
    case Comparison::kAtLeast:
      break;
  }
  return againstS >= 0 ? 1 : 0;
}

}  // namespace

int DataFile::testCondition(std::string& line) {
  ConfigData& s = settings();
  const bool debug = s.debug();
  if (line.size() > kEntryLineLimit) {
    // A cut line could test another value or range than the one written.
    countError();
    TracePrint(1, "\n%s\n", catalog().MessageText(Msg::kInvalidLine).c_str());
    return 0;
  }

  const Condition c = parseCondition(line, s);
  if (debug) traceCondition(c);
  const bool registry = c.root != 0;
  if (!given(c.fourth) || !given(c.os) || (!registry && !given(c.key))) return 0;
  line = *c.branch;  // present: the fields after it are

  if (!osMatches(c, s.osDetection(), debug)) return 0;
  if (debug) TracePrint(0, "Testing Condition Value\n");

  std::string value;
  if (registry) {
    if (!readRegistryValue(c, catalog(), debug, &value)) return 0;
  } else {
    value = readSettingsValue(c, s);
  }
  if (value.empty()) return 0;

  trimLine(value);
  if (debug) TracePrint(0, "     Test Val: %s\n", value.c_str());
  return compareValue(value, comparisonOf(c.mode), c.rangeS, c.rangeE);
}

}  // namespace zv
