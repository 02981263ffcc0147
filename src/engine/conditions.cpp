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

}  // namespace

int DataFile::testCondition(std::string& line) {
  ConfigData& s = settings();
  const bool debug = s.debug();
  if (line.size() > kEntryLineLimit) {
    // A cut line could test another value or range than the one written.
    countError();
    TracePrint(1, "\n%s\n", catalog().MessageText(18).c_str());
    return 0;
  }

  SubstituteClass keywords('\\');
  keywords.addPair("ZEVRA", s.productDir());
  keywords.addPair("WINDOWS", s.windowsDir());

  FieldSplitter splitter(line);
  splitter.nextToken("=");
  const Field branch = splitter.nextToken(",");
  const Field os = splitter.nextToken(",");
  const Field force = splitter.nextToken(",");
  const Field fourth = splitter.nextToken(",");
  const RegKey root = conditionRoot(fourth);
  const bool registry = root != 0;
  const Field path = registry ? splitter.nextToken(",") : std::nullopt;
  const Field key = splitter.nextToken(",");
  Field rangeS = splitter.nextToken(",");
  Field rangeE = splitter.nextToken(",");
  if (rangeS) keywords.substitute(*rangeS);
  if (rangeE) keywords.substitute(*rangeE);

  if (debug) {
    TracePrint(0, registry ? "Testing Registry Condition\n" : "Testing Condition\n");
    TracePrint(0, "     branch : %s\n", fieldText(branch));
    TracePrint(0, "     OS     : %s\n", fieldText(os));
    TracePrint(0, "     force  : %s\n", fieldText(force));
    TracePrint(0, "     section: %s\n", fieldText(fourth));
    if (registry) TracePrint(0, "     path   : %s\n", fieldText(path));
    TracePrint(0, "     key    : %s\n", fieldText(key));
    TracePrint(0, "     range s: %s\n", fieldText(rangeS));
    TracePrint(0, "     range e: %s\n", fieldText(rangeE));
  }

  if (!given(fourth) || !given(os) || (!registry && !given(key))) return 0;
  line = *branch;  // present: the fields after it are

  int mode = 2;
  if (!readNumber(force, &mode) || mode < 0 || mode > 5) mode = 2;
  int osNumber = 0;
  // An OS field that is no number names no system, so it never matches.
  const bool osIsNumber = readNumber(os, &osNumber);
  if (debug) {
    TracePrint(0, "Testing OS\n");
    if (osIsNumber) {
      TracePrint(0, "     Datafile:  %d\n", osNumber);
    } else {
      TracePrint(0, "     Datafile:  %s\n", os->c_str());
    }
    TracePrint(0, "     Detection: %d\n", s.osDetection());
  }
  if (!osIsNumber || osNumber != s.osDetection()) return 0;
  if (debug) TracePrint(0, "Testing Condition Value\n");

  std::string value;
  if (registry) {
    Platform& platform = Platform::current();
    RegKey handle = 0;
    if (platform.regOpenKey(root, path ? *path : "", RegAccess::kRead, &handle) != kErrorSuccess) {
      if (debug) {
        TracePrint(1, "\n%s:\n     %s\\%s\n", catalog().MessageText(19).c_str(), fieldText(fourth),
                   fieldText(path));
      }
      return 0;
    }
    char data[kValueBuffer];
    uint32_t size = sizeof data;
    uint32_t type = kRegSz;
    const long rc = platform.regQueryValue(handle, key ? *key : "", &type, data, &size);
    platform.regCloseKey(handle);
    if (rc != kErrorSuccess) {
      if (debug) {
        TracePrint(1, "\n%s:\n     %s\\%s\\%s\n", catalog().MessageText(27).c_str(),
                   fieldText(fourth), fieldText(path), fieldText(key));
      }
      return 0;
    }
    const size_t limit = size < sizeof data ? size : sizeof data;
    const void* nul = std::memchr(data, '\0', limit);
    value.assign(data, nul ? static_cast<const char*>(nul) - data : limit);
  } else {
    Profile* location = s.locationProfile();
    if (location) value = location->getString(*fourth, *key, "");
    // Held in a buffer of 256 characters.
    if (value.size() > kValueBuffer - 1) value.resize(kValueBuffer - 1);
  }
  if (value.empty()) return 0;

  trimLine(value);
  if (debug) TracePrint(0, "     Test Val: %s\n", value.c_str());

  int againstS = 0;
  if (given(rangeS)) {
    trimLine(*rangeS);
    againstS = compareIgnoringCase(value, *rangeS);
  } else if (mode > 0) {
    return 0;
  }
  int againstE = 0;
  if (given(rangeE)) {
    trimLine(*rangeE);
    againstE = compareIgnoringCase(value, *rangeE);
  } else if (mode == 4) {
    return 0;
  }

  switch (mode) {
    case 0:
      return value.empty() ? 0 : 1;
    case 1:
      return againstS == 0 ? 1 : 0;
    case 3:
      return againstS <= 0 ? 1 : 0;
    case 4:
      return againstS >= 0 && againstE <= 0 ? 1 : 0;
    case 5:
      return againstS != 0 ? 1 : 0;
    default:
      return againstS >= 0 ? 1 : 0;
  }
}

}  // namespace zv
