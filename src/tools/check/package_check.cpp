#include "tools/check/package_check.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

#include "base/strings.h"
#include "base/text_lines.h"
#include "engine/entry_line.h"
#include "engine/entry_support.h"
#include "engine/nls_class.h"
#include "files/compressed_file.h"
#include "files/path.h"
#include "files/substitute.h"
#include "platform/registry_names.h"
#include "platform/trace.h"
#include "simulator/posix_file.h"

namespace zv {

namespace {

constexpr int kCatalogMessages = 47;
// The entry keywords, in the order the program tries them.
const std::vector<std::string> kEntryKinds = {"INI",    "REG",  "SUBST", "FILE",  "FINDFILE",
                                              "RENAME", "COPY", "ERASE", "REBOOT"};
const std::vector<std::string> kPatchKeys = {
    "Patch", "LogFile",   "AppendLog",   "Force",          "Backup",   "Interactive",
    "Debug", "Diskettes", "Compression", "AllowReinstall", "Condition"};
const std::vector<std::string> kResponseKeys = {"CID", "CIDInstall", "CIDReboot", "CIDClose"};
const std::set<int> kOsNumbers = {0, 1, 2, 4, 7, 8, 9};
const char kOsList[] =
    "1 Windows 95, 7 Windows 98, 2 NT 3.51, 8 NT 4.0, 9 Windows 2000 and XP, 4 Win32s, 0 any "
    "other";

// The lines of a text file as the profile store holds them: CR dropped, the
// text ends at 0x1A, a line at a NUL.
std::vector<std::string> readLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string text = bytes.substr(0, bytes.find('\x1A'));
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line;
    for (size_t i = start; i < end; ++i) {
      if (text[i] != '\r') line += text[i];
    }
    line = line.substr(0, line.find('\0'));
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      bool same = std::toupper(static_cast<unsigned char>(a[i - 1])) ==
                  std::toupper(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The word of choices nearest to word (at most two edits away), or empty.
std::string nearest(const std::string& word, const std::vector<std::string>& choices) {
  std::string best;
  size_t bestDistance = 3;
  for (const std::string& choice : choices) {
    size_t d = editDistance(word, choice);
    if (d < bestDistance) {
      best = choice;
      bestDistance = d;
    }
  }
  return best;
}

// What the program reads for a field whose text holds single backslashes:
// each escapes the character after it. Empty when the field has none.
std::string eatenBackslashes(const std::string& raw) {
  bool single = false;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\') continue;
    if (i + 1 < raw.size() && raw[i + 1] == '\\') {
      ++i;
    } else {
      single = true;
    }
  }
  if (!single) return "";
  FieldSplitter splitter(raw);
  Field read = splitter.nextToken("");
  return read ? *read : "";
}

// The fields after "=", raw (as written) and as the program splits them.
struct Fields {
  std::vector<Field> read;
  std::vector<std::string> raw;
};

Fields splitKeepingRaw(const std::string& line, size_t count) {
  Fields f;
  f.read = splitFields(line, count);
  // The raw texts, cut at the same commas (escaped ones do not cut).
  size_t eq = line.find('=');
  std::string rest = eq == std::string::npos ? "" : line.substr(eq + 1);
  std::string current;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '\\' && i + 1 < rest.size()) {
      current += rest[i];
      current += rest[++i];
    } else if (rest[i] == ',') {
      f.raw.push_back(current);
      current.clear();
    } else {
      current += rest[i];
    }
  }
  f.raw.push_back(current);
  f.raw.resize(std::max(f.raw.size(), count));
  return f;
}

struct Section {
  std::string name;
  size_t header;  // index of the header line
  size_t end;     // index after the last line
};

class Checker {
 public:
  Checker(const std::string& dir, const std::string& name) : dir_(dir), name_(name) {
    if (DIR* d = ::opendir(dir.c_str())) {
      while (struct dirent* e = ::readdir(d)) files_.push_back(e->d_name);
      ::closedir(d);
    }
  }

  std::vector<Diagnostic> run() {
    definition();
    response();
    catalog();
    return diagnostics_;
  }

 private:
  // ---- reporting
  void report(bool error, const std::string& file, size_t index, const std::string& text) {
    diagnostics_.push_back({file, static_cast<int>(index), error, text});
  }
  void error(const std::string& file, size_t line, const std::string& text) {
    report(true, file, line, text);
  }
  void warning(const std::string& file, size_t line, const std::string& text) {
    report(false, file, line, text);
  }

  // The file of the package folder with that name, any case; empty if none.
  std::string find(const std::string& name) const {
    for (const std::string& f : files_) {
      if (equalsIgnoringCase(f, name)) return f;
    }
    return "";
  }
  bool read(const std::string& name, std::vector<std::string>* lines) const {
    std::string file = find(name), bytes;
    if (file.empty() || !readHostFile(dir_ + "/" + file, &bytes)) return false;
    *lines = readLines(bytes);
    return true;
  }

  // ---- the definition file
  void definition() {
    dat_ = name_ + ".DAT";
    if (!read(dat_, &lines_)) {
      error(dat_, 0,
            "there is no patch definition file: the program says \"Missing DAT file or DAT "
            "file is missing PATCH section.\"");
      return;
    }
    findSections();
    const Section* patch = section("Patch");
    if (!patch) {
      error(dat_, 0,
            "there is no section [Patch]: the program says \"Missing DAT file or DAT file is "
            "missing PATCH section.\"");
      return;
    }
    settings(*patch);
    conditions(*patch);
    for (const Section& s : sections_) {
      if (equalsIgnoringCase(s.name, "Patch")) continue;
      if (!named_.count(upperCased(s.name))) {
        warning(dat_, s.header + 1,
                "section [" + s.name + "] is never used: no condition line names it");
        continue;
      }
      for (size_t i = s.header + 1; i < s.end; ++i) entry(i);
    }
    labels();
  }

  void findSections() {
    for (size_t i = 0; i < lines_.size(); ++i) {
      std::string t = lines_[i];
      trimLine(t);
      if (t.empty() || t[0] != '[') continue;
      size_t close = t.find(']');
      std::string name = t.substr(1, close == std::string::npos ? std::string::npos : close - 1);
      if (lines_[i][0] != '[') {
        error(dat_, i + 1,
              "the header [" + name +
                  "] does not start the line: the program does not find this section");
      }
      if (!sections_.empty()) sections_.back().end = i;
      sections_.push_back({name, i, lines_.size()});
    }
  }

  // The section as the program finds it: the first line that begins with
  // "[name]", any case.
  const Section* section(const std::string& name) const {
    for (const Section& s : sections_) {
      if (startsWithIgnoringCase(lines_[s.header], "[" + name + "]")) return &s;
    }
    return nullptr;
  }

  // The key lines of [Patch]: run settings, condition lines.
  void settings(const Section& patch) {
    for (size_t i = patch.header + 1; i < patch.end; ++i) {
      std::string t = lines_[i];
      trimLine(t);
      if (t.empty() || isComment(t)) continue;
      size_t eq = t.find('=');
      std::string key = t.substr(0, eq);
      trimLine(key);
      std::string word = key.substr(0, key.find_first_of("0123456789"));
      if (equalsIgnoringCase(word, "Condition")) continue;  // conditions() reads them
      bool known = false;
      for (const std::string& k : kPatchKeys) known |= equalsIgnoringCase(k, key);
      if (eq == std::string::npos || !known) {
        std::string hint = nearest(word, kPatchKeys);
        warning(dat_, i + 1,
                "[Patch] has no key \"" + key + "\"; the line is not read" +
                    (hint.empty() ? std::string() : "; did you mean " + hint + "?"));
        continue;
      }
      std::string value = t.substr(eq + 1);
      trimLine(value);
      if (equalsIgnoringCase(key, "Patch")) {
        patchName_ = value;
        if (value.size() > 255)
          error(dat_, i + 1, "the patch name is longer than 255 characters (message 18)");
        continue;
      }
      if (equalsIgnoringCase(key, "LogFile")) continue;
      char* end = nullptr;
      long number = std::strtol(value.c_str(), &end, 10);
      if (end == value.c_str()) {
        warning(dat_, i + 1, key + "=" + value + " is no number: the default is used");
        continue;
      }
      if (equalsIgnoringCase(key, "Diskettes")) diskettes_ = static_cast<int>(number);
      if (equalsIgnoringCase(key, "Compression")) compression_ = static_cast<int>(number);
    }
    if (patchName_.empty()) {
      warning(dat_, patch.header + 1,
              "[Patch] has no Patch= name: the install is never recorded, and the package "
              "installs again at every run");
    }
  }

  struct ConditionLine {
    size_t index;
    std::string text;
  };

  void conditions(const Section& patch) {
    std::map<int, std::vector<ConditionLine>> patches;
    std::map<int, std::vector<size_t>> dropped;  // lines the program does not read
    for (size_t i = patch.header + 1; i < patch.end; ++i) {
      const std::string& raw = lines_[i];
      std::string t = raw;
      trimLine(t);
      std::string key = t.substr(0, t.find('='));
      trimLine(key);
      if (!startsWithIgnoringCase(key, "Condition")) continue;
      std::string digits = key.substr(9);
      if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        error(dat_, i + 1, "\"" + key + "\" is no condition line: write ConditionN= (N from 0)");
        continue;
      }
      std::string exact = "Condition" + std::to_string(std::stoi(digits)) + "=";
      if (!startsWithIgnoringCase(raw, exact)) {
        dropped[std::stoi(digits)].push_back(i);
        continue;
      }
      patches[std::stoi(digits)].push_back({i, raw});
    }
    for (const auto& [n, indexes] : dropped) {
      std::string exact = "Condition" + std::to_string(n) + "=";
      for (size_t i : indexes) {
        error(dat_, i + 1,
              "the program does not read this condition line: it must begin with " + exact +
                  " without blanks; " +
                  (patches.count(n) ? "patch " + std::to_string(n) + " is tested without it"
                                    : "patch " + std::to_string(n) + " has no other line"));
      }
    }
    int next = 0;
    for (const auto& [n, lines] : patches) {
      if (n != next) {
        for (const ConditionLine& c : lines) {
          error(dat_, c.index + 1,
                "patch " + std::to_string(n) + " is never tested: there is no Condition" +
                    std::to_string(next) + " line, and the program stops at the first gap");
        }
        continue;
      }
      ++next;
      patchConditions(n, lines);
    }
    if (patches.empty()) {
      warning(dat_, patch.header + 1,
              "[Patch] has no condition line: no part of the patch applies (messages 9, 10)");
    }
  }

  void patchConditions(int n, const std::vector<ConditionLine>& lines) {
    std::optional<int> os;
    std::string branch;
    for (const ConditionLine& c : lines) {
      size_t line = c.index + 1;
      std::string t = c.text;
      trimLine(t);
      if (t.size() > kEntryLineLimit) {
        error(dat_, line, "the line is longer than 255 characters and is refused (message 18)");
        continue;
      }
      FieldSplitter splitter(t);
      splitter.nextToken("=");
      Field lineBranch = splitter.nextToken(",");
      Field osField = splitter.nextToken(",");
      Field mode = splitter.nextToken(",");
      Field fourth = splitter.nextToken(",");
      const bool registry = conditionRoot(fourth) != 0;
      Field path = registry ? splitter.nextToken(",") : std::nullopt;
      Field key = splitter.nextToken(",");
      Field rangeS = splitter.nextToken(",");
      Field rangeE = splitter.nextToken(",");
      if (!given(fourth) || !given(osField) || (!registry && !given(key))) {
        error(dat_, line,
              "this condition never holds: it needs a section, an OS number, a mode, a settings "
              "section or registry root (and path), and a key");
        continue;
      }
      int number = 0;
      if (!readNumber(osField, &number) || !kOsNumbers.count(number)) {
        error(dat_, line,
              "this condition never holds: no Windows version has OS number " + *osField + " (" +
                  kOsList + ")");
      } else if (os && *os != number) {
        error(dat_, line,
              "patch " + std::to_string(n) + " never applies: its lines ask for OS " +
                  std::to_string(*os) + " and " + std::to_string(number));
      } else {
        os = number;
      }
      int m = 2;
      if (given(mode) && (!readNumber(mode, &m) || m < 0 || m > 5)) {
        warning(dat_, line, "mode " + *mode + " is not 0 to 5: the value is compared as mode 2");
        m = 2;
      }
      if ((m > 0 && !given(rangeS)) || (m == 4 && !given(rangeE))) {
        error(dat_, line,
              "this condition never holds: mode " + std::to_string(m) + " needs " +
                  (m == 4 ? "two reference values" : "a reference value"));
      }
      if (registry) backslashes(line, t, "the registry path");
      if (lineBranch && branch.empty()) branch = *lineBranch;
    }
    if (branch.empty()) return;
    named_.insert(upperCased(branch));
    if (!section(branch)) {
      error(dat_, lines.front().index + 1,
            "the work section [" + branch + "] does not exist (message 18)");
    }
  }

  // A warning for each field of line whose single backslashes the program
  // takes as escapes.
  void backslashes(size_t line, const std::string& text, const char* what) {
    size_t eq = text.find('=');
    std::string rest = eq == std::string::npos ? "" : text.substr(eq + 1);
    for (size_t start = 0; start <= rest.size();) {
      size_t comma = start;
      while (comma < rest.size() && rest[comma] != ',') comma += rest[comma] == '\\' ? 2 : 1;
      std::string raw = rest.substr(start, std::min(comma, rest.size()) - start);
      std::string read = eatenBackslashes(raw);
      if (!read.empty()) {
        warning(dat_, line,
                std::string(what) + " \"" + raw + "\" is read as \"" + read +
                    "\": a backslash escapes the character after it; write \\\\ for one");
      }
      start = comma + 1;
    }
  }

  // ---- entry lines
  void entry(size_t index) {
    size_t line = index + 1;
    std::string t = lines_[index];
    trimLine(t);
    if (t.empty() || isComment(t) || t[0] == '[') return;
    std::string kind;
    for (const std::string& k : kEntryKinds) {
      if (isEntry(t, k.c_str())) {
        kind = k;
        break;
      }
    }
    const std::string refused = " (message 18, once per diskette)";
    if (kind.empty()) {
      std::string key = t.substr(0, t.find('='));
      std::string trimmed = key;
      trimLine(trimmed);
      for (const std::string& k : kEntryKinds) {
        if (trimmed != key && isEntry(trimmed, k.c_str())) {
          error(dat_, line, "a blank before \"=\": the program does not take this line" + refused);
          return;
        }
      }
      std::string word = trimmed.substr(0, trimmed.find_first_of("0123456789"));
      std::string hint = nearest(word, kEntryKinds);
      error(dat_, line,
            "unknown entry \"" + trimmed + "\"" +
                (hint.empty() ? "" : "; did you mean " + hint + trimmed.substr(word.size()) + "?") +
                refused);
      return;
    }
    if (t.size() > kEntryLineLimit) {
      error(dat_, line, "the line is longer than 255 characters and is refused" + refused);
      return;
    }
    if (kind == "FILE" || kind == "SUBST" || kind == "FINDFILE") {
      fileEntry(line, t);
    } else if (kind == "INI") {
      iniEntry(line, t);
    } else if (kind == "REG") {
      regEntry(line, t);
    } else if (kind == "REBOOT") {
      Fields f = splitKeepingRaw(t, 1);
      int value;
      if (!readNumber(f.read[0], &value))
        warning(dat_, line, "REBOOT without a number leaves the restart request as it is");
    } else {
      localEntry(line, t, kind);
    }
  }

  bool location(size_t line, const Field& field) {
    if (field && (equalsIgnoringCase(*field, "ZEVRA") || equalsIgnoringCase(*field, "WINDOWS")))
      return true;
    error(dat_, line,
          "the location \"" + (field ? *field : std::string()) +
              "\" is neither ZEVRA nor WINDOWS (message 18)");
    return false;
  }

  void fileEntry(size_t line, const std::string& t) {
    Fields f = splitKeepingRaw(t, 8);
    if (!given(f.read[1])) {
      error(dat_, line, "the entry names no package file (message 18)");
      return;
    }
    location(line, f.read[0]);
    for (size_t i : {4u, 5u, 6u, 7u}) {
      int value;
      if (given(f.read[i]) && !readNumber(f.read[i], &value))
        warning(dat_, line, "\"" + *f.read[i] + "\" is no number: the default is used");
    }
    int disk = numberOr(f.read[7], 1);
    if (disk < 1 || disk > diskettes_) {
      error(dat_, line,
            "disk " + std::to_string(disk) +
                " is never installed: the package has Diskettes=" + std::to_string(diskettes_));
      return;
    }
    for (size_t i : {2u, 3u}) {
      std::string read = eatenBackslashes(f.raw[i]);
      if (!read.empty())
        warning(dat_, line,
                "\"" + f.raw[i] + "\" is read as \"" + read +
                    "\": a backslash escapes the character after it; write \\\\ for one");
    }
    bool compressed = numberOr(f.read[6], compression_) != 0;
    std::string file = pathFileName(*f.read[1]);
    if (compressed) file = replaceExtension(file, compressedName(pathExtension(file)));
    std::string found = find(file);
    if (found.empty()) {
      if (disk > 1) {
        warning(dat_, line,
                file + " is not in this folder: it must be on diskette " + std::to_string(disk));
      } else {
        error(dat_, line, "the package file " + file + " is missing (message 30 at the install)");
      }
      return;
    }
    if (compressed) compressedFile(line, found);
  }

  void compressedFile(size_t line, const std::string& file) {
    std::string bytes;
    readHostFile(dir_ + "/" + file, &bytes);
    if (bytes.size() < 2 || bytes[0] != '\x1F' || bytes[1] != '\x9D') {
      error(dat_, line,
            file +
                " is not in the compressed format (made with UPD -c or zvpatch-check "
                "--compress): the program says \"Unable to find magic header for "
                "decompression.\"");
    } else if (bytes.size() < 23) {
      error(dat_, line, file + " is cut short: the program says \"Damaged compressed data\"");
    } else if ((bytes[22] & 0x1F) > 12) {
      error(dat_, line,
            file + " needs codes of " + std::to_string(bytes[22] & 0x1F) +
                " bits: the program says \"Unable to process ... decompression bits\"");
    }
  }

  void iniEntry(size_t line, const std::string& t) {
    Fields f = splitKeepingRaw(t, 5);
    if (!given(f.read[1]) || !given(f.read[2])) {
      error(dat_, line, "an INI entry needs a file name and a section (message 18)");
      return;
    }
    location(line, f.read[0]);
    for (size_t i : {1u, 4u}) {
      std::string read = eatenBackslashes(f.raw[i]);
      if (!read.empty())
        warning(dat_, line,
                "\"" + f.raw[i] + "\" is read as \"" + read +
                    "\": a backslash escapes the character after it; write \\\\ for one");
    }
  }

  void regEntry(size_t line, const std::string& t) {
    Fields f = splitKeepingRaw(t, 4);
    const Field& root = f.read[0];
    bool known = false;
    for (const RegistryRoot& r : kRegistryRoots)
      known |= root && equalsIgnoringCase(*root, r.shortName);
    if (!known) {
      std::string hint =
          root && startsWithIgnoringCase(*root, "HKEY_") ? "; write HKLM, HKCU, HKCR or HKU" : "";
      error(dat_, line,
            "the root \"" + (root ? *root : std::string()) + "\" is none of HKLM, HKCU, HKCR, HKU" +
                hint + " (message 18)");
      return;
    }
    bool path = given(f.read[1]) && f.read[1]->find_first_not_of('\\') != std::string::npos;
    if (!path && !given(f.read[2])) {
      error(dat_, line,
            "a REG entry with neither path nor key would delete a whole root key: it is "
            "refused (message 18)");
      return;
    }
    for (size_t i : {1u, 3u}) {
      std::string read = eatenBackslashes(f.raw[i]);
      if (!read.empty())
        warning(dat_, line,
                std::string(i == 1 ? "the registry path" : "the value") + " \"" + f.raw[i] +
                    "\" is read as \"" + read +
                    "\": a backslash escapes the character after it; write \\\\ for one");
    }
  }

  void localEntry(size_t line, const std::string& t, const std::string& kind) {
    bool erase = kind == "ERASE";
    Fields f = splitKeepingRaw(t, erase ? 3 : 5);
    if (!given(f.read[1]) || (!erase && !given(f.read[2]))) {
      error(dat_, line,
            kind + " needs " + (erase ? "a file name" : "a source and a destination") +
                " (message 18)");
      return;
    }
    location(line, f.read[0]);
  }

  void labels() {
    if (find("ZVPATCH.001").empty()) {
      error("ZVPATCH.001", 0,
            "the label file of diskette 1 is missing: attended, the program asks for the "
            "diskette again and again (messages 43, 44); unattended it stops (message 45)");
    }
  }

  // ---- the response file
  void response() {
    std::string rsp = name_ + ".RSP";
    std::vector<std::string> lines;
    if (!read(rsp, &lines)) return;  // an attended package has none
    bool inCid = false;
    for (size_t i = 0; i < lines.size(); ++i) {
      std::string t = lines[i];
      trimLine(t);
      if (t.empty() || isComment(t)) continue;
      if (t[0] == '[') {
        inCid = startsWithIgnoringCase(t, "[CID]");
        if (!inCid) warning(rsp, i + 1, "the program reads only section [CID]");
        continue;
      }
      if (!inCid) continue;
      std::string key = t.substr(0, t.find('='));
      trimLine(key);
      bool known = false;
      for (const std::string& k : kResponseKeys) known |= equalsIgnoringCase(k, key);
      if (!known || t.find('=') == std::string::npos) {
        std::string hint = nearest(key, kResponseKeys);
        warning(rsp, i + 1,
                "[CID] has no key \"" + key + "\"; the line is not read" +
                    (hint.empty() ? std::string() : "; did you mean " + hint + "?"));
        continue;
      }
      std::string value = t.substr(t.find('=') + 1);
      trimLine(value);
      char* end = nullptr;
      long number = std::strtol(value.c_str(), &end, 10);
      if (end == value.c_str()) {
        warning(rsp, i + 1, key + "=" + value + " is no number: it counts as 0");
      } else if (equalsIgnoringCase(key, "CID") && number != 0 && number != 1) {
        warning(rsp, i + 1,
                "CID=" + value +
                    " is unattended only in part: CIDInstall and CIDReboot are read, but boxes "
                    "and questions of the installation (the diskette prompt) are still shown; "
                    "CID=1 shows none");
      }
    }
  }

  // ---- the catalog
  void catalog() {
    std::string msg = name_ + ".MSG";
    std::string file = find(msg), bytes;
    if (file.empty() || !readHostFile(dir_ + "/" + file, &bytes)) {
      error(msg, 0, "there is no message catalog: the program stops at once");
      return;
    }
    // Lines as the catalog reads them: a CR before a LF goes, 0x1A ends.
    const std::vector<std::string> lines = textLines(bytes, true);
    size_t count = 0;
    while (count < lines.size() && !NLSClass::endsCatalog(lines[count])) ++count;
    SubstituteClass lineBreaks('\\');
    lineBreaks.addPair("n", "\n");
    for (size_t n = 0; n < count; ++n) {
      std::string message = lines[n];
      lineBreaks.substitute(message);
      // Printed as "\n%s\n" mostly, of which the window keeps 255 characters.
      const size_t shown = kWindowTextLimit - 1;
      if (message.find('\0') != std::string::npos) {
        warning(
            msg, n + 1,
            "a NUL byte ends message " + std::to_string(n + 1) + " there: the rest is never shown");
      } else if (message.size() > shown) {
        warning(msg, n + 1,
                "message " + std::to_string(n + 1) + " is " + std::to_string(message.size()) +
                    " characters long: the window cuts what it prints after " +
                    std::to_string(kWindowTextLimit) + " characters");
      }
    }
    if (count >= kCatalogMessages) return;
    std::string where = count < lines.size() ? "a blank or comment line ends the catalog here"
                                             : "the catalog ends here";
    error(msg, count < lines.size() ? count + 1 : lines.size(),
          where + " after " + std::to_string(count) + " messages: messages " +
              std::to_string(count + 1) + " to " + std::to_string(kCatalogMessages) +
              " show message 2 instead");
  }

  std::string dir_, name_, dat_;
  std::vector<std::string> files_;
  std::vector<std::string> lines_;
  std::vector<Section> sections_;
  std::set<std::string> named_;  // work sections named by conditions, upper case
  std::string patchName_;
  int diskettes_ = 1;
  int compression_ = 0;
  std::vector<Diagnostic> diagnostics_;
};

}  // namespace

std::vector<Diagnostic> checkPackage(const std::string& dir, const std::string& name) {
  std::vector<Diagnostic> found = Checker(dir, name).run();
  // By file (the definition first), then by line.
  auto rank = [&](const Diagnostic& d) {
    const std::string ext = upperCased(d.file.substr(d.file.rfind('.') + 1));
    return ext == "DAT" ? 0 : ext == "RSP" ? 2 : ext == "MSG" ? 3 : 1;
  };
  std::stable_sort(found.begin(), found.end(), [&](const Diagnostic& a, const Diagnostic& b) {
    return rank(a) != rank(b) ? rank(a) < rank(b) : a.line < b.line;
  });
  return found;
}

std::string formatDiagnostic(const Diagnostic& d) {
  return d.file + (d.line > 0 ? ":" + std::to_string(d.line) : "") +
         (d.error ? ": error: " : ": warning: ") + d.text;
}

}  // namespace zv
