#include "profile/profile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <new>

#include "base/error.h"
#include "base/strings.h"
#include "platform/registry_tree.h"
#include "platform/stream.h"
#include "platform/text_file.h"
#include "platform/whole_file.h"

namespace zv {

namespace {

constexpr size_t kGrowStep = 10;
constexpr uint32_t kRegistryValueBuffer = 256;

// isspace in the "C" locale, without a library call per character.
bool isSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The value as "%ld" reads it; false when it holds no number.
bool scanNumber(const std::string& text, long* value) {
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(start, &end, 10);
  if (end == start) return false;
  *value = v;
  return true;
}

}  // namespace

Profile::Profile(const std::string& name, Mode mode) : name_(name), mode_(mode) {
  if (mode_ != kFileMode) {
    name_ += '\\';
    return;
  }
  if (named()) refresh();
}

namespace {

// A line a load gives back unchanged: no CR, line feed, 0x1A or NUL.
bool readsBackAsIs(const std::string& line) {
  bool special = false;
  for (const char c : line) special |= c == '\r' || c == '\n' || c == '\x1A' || c == '\0';
  return !special;
}

}  // namespace

Profile::~Profile() {
  if (mode_ != kFileMode || !named() || !dirty_) return;
  FileStatus status;
  if (Platform::current().stat(name_, &status) && status.size == savedSize_ &&
      status.modifiedNs == savedTime_) {
    return;  // the file is what the last save wrote
  }
  try {
    save();
  } catch (const Error&) {
    // Every edit has written the file already; this last save only repeats
    // it, and a failure of the edit itself has been reported then.
  }
}

bool Profile::isSectionHeader(const std::string& line) {
  size_t first = 0;
  while (first < line.size() && isSpace(line[first])) ++first;
  return first < line.size() && line[first] == '[';
}

void Profile::grow() {
  try {
    // The room the profile counts grows by ten; the array itself doubles,
    // so that a long file does not move all its lines every ten.
    if (lines_.capacity() < capacity_ + kGrowStep)
      lines_.reserve(std::max(capacity_ + kGrowStep, 2 * lines_.capacity()));
  } catch (const std::bad_alloc&) {
    throw Error(ErrorCode::kNoMemory,
                static_cast<unsigned>((capacity_ + kGrowStep) * sizeof(std::string)), kUnitProfile,
                __LINE__);
  }
  capacity_ += kGrowStep;
}

void Profile::refresh() {
  if (!named()) return;
  Platform& platform = Platform::current();
  FileStatus status;
  if (!platform.stat(name_, &status) || status.isDirectory) return;
  if (status.size == fileSize_ && status.modifiedNs == fileTime_) return;

  std::unique_ptr<Stream> stream = Stream::open(name_, FileMode::kRead);
  if (!stream) throw Error(ErrorCode::kFileUnreadable, name_, kUnitProfile, __LINE__);
  TextRules rules;
  rules.dropEveryCr = true;
  rules.stopAtCtrlZ = true;
  TextReader reader(*stream, rules);
  std::vector<std::string> lines;
  std::string piece;
  try {
    // Lines are kept whole, however long: a line an edit does not touch is
    // written back exactly as it was read.
    while (reader.readLine(&piece)) {
      stripLineFeed(&piece);
      // A line is text: it ends at a NUL byte, as every name built from it
      // would when it reaches the system.
      size_t nul = piece.find('\0');
      if (nul != std::string::npos) piece.resize(nul);
      lines.push_back(piece);
    }
  } catch (const std::bad_alloc&) {
    throw Error(ErrorCode::kNoMemory, static_cast<unsigned>(piece.size()), kUnitProfile, __LINE__);
  }
  // A read that failed half-way would replace the lines with part of them.
  if (stream->failed()) throw Error(ErrorCode::kFileUnreadable, name_, kUnitProfile, __LINE__);
  if (lines.size() > capacity_) capacity_ = lines.size() + kGrowStep;
  lines_ = std::move(lines);
  unreadable_ = false;
  // Recorded only after a complete load, so a file that could not be read
  // is tried again by the next operation.
  fileSize_ = status.size;
  fileTime_ = status.modifiedNs;
}

void Profile::save() {
  WholeFileWriter writer(name_, "ZP");
  bool written = false;
  if (std::unique_ptr<File> file = writer.create()) {
    Stream stream(std::move(file));
    for (const std::string& line : lines_) {
      stream.write(line);
      stream.write("\r\n", 2);
    }
    stream.write("\x1A", 1);
    written = stream.close() && writer.commit(true);
  }
  if (written) {
    // The file holds the lines now: the next operation need not read it
    // again, nor does the release write it again unless it changes.
    FileStatus status;
    if (Platform::current().stat(name_, &status)) {
      savedSize_ = status.size;
      savedTime_ = status.modifiedNs;
      // Reading the file back gives these lines again, unless an edit put
      // in what a load splits or drops.
      if (!unreadable_) {
        fileSize_ = status.size;
        fileTime_ = status.modifiedNs;
      }
    }
    return;
  }
  {
    // The file is what counts: the edit that could not be written is
    // dropped, and the next operation reloads the file, so a later save
    // (or the one at release) cannot slip in what was reported as failed.
    dirty_ = 0;
    fileSize_ = -1;
    if (!Platform::current().exists(name_)) lines_.clear();
    throw Error(ErrorCode::kFileNotWritten, name_, kUnitProfile, __LINE__);
  }
}

int Profile::findSection(const std::string& section) const {
  std::string pattern = "[" + section + "]";
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (startsWithIgnoringCase(lines_[i], pattern)) return static_cast<int>(i);
  }
  return -1;
}

int Profile::sectionExists(const std::string& section) const {
  std::string pattern = "[" + section + "]";
  for (const std::string& line : lines_) {
    if (equalsIgnoringCase(line, pattern)) return 1;
  }
  return 0;
}

int Profile::findKeyForReading(const std::string& section, const std::string& key) const {
  int header = findSection(section);
  if (header < 0) return -1;
  for (size_t i = header + 1; i < lines_.size(); ++i) {
    const std::string& line = lines_[i];
    if (!line.empty() && line[0] == '[') return -1;
    size_t p = 0;
    while (p < line.size() && isSpace(line[p])) ++p;
    if (!startsWithIgnoringCase(line, key, p)) continue;
    p += key.size();
    while (p < line.size() && isSpace(line[p])) ++p;
    if (p < line.size() && line[p] == '=') return static_cast<int>(i);
  }
  return -1;
}

std::string Profile::getString(const std::string& section, const std::string& key,
                               const std::string& def) {
  if (isRegistry()) return getRegistryString(section, key, def);
  refresh();
  int at = findKeyForReading(section, key);
  if (at < 0) return def;
  const std::string& line = lines_[at];
  return line.substr(line.find('=') + 1);
}

bool Profile::readNumber(const std::string& section, const std::string& key, long* value) {
  if (isRegistry()) return false;
  refresh();
  int at = findKeyForReading(section, key);
  if (at < 0) return false;
  const std::string& line = lines_[at];
  return scanNumber(line.substr(line.find('=') + 1), value);
}

long Profile::getLong(const std::string& section, const std::string& key, long def) {
  long value;
  return readNumber(section, key, &value) ? value : def;
}

int Profile::getInt(const std::string& section, const std::string& key, int def) {
  long value;
  if (!readNumber(section, key, &value)) return def;
  return static_cast<int>(static_cast<uint32_t>(value));  // wraps as "%d" would
}

const std::string* Profile::getLine(size_t n) const {
  if (n == 0 || n > lines_.size()) return nullptr;
  return &lines_[n - 1];
}

size_t Profile::sectionEnd(int header) const {
  size_t i = header + 1;
  while (i < lines_.size() && !isSectionHeader(lines_[i])) ++i;
  return i;
}

int Profile::findKeySlot(int header, const std::string& key, size_t* insertAt) const {
  std::string pattern = key + "=";
  size_t stop = sectionEnd(header);
  for (size_t i = header + 1; i < stop; ++i) {
    if (startsWithIgnoringCase(lines_[i], pattern)) return static_cast<int>(i);
  }
  // A blank line before the next header stays between the sections.
  *insertAt = stop > static_cast<size_t>(header) + 1 && lines_[stop - 1].empty() ? stop - 1 : stop;
  return -1;
}

void Profile::insertLine(size_t at, const std::string& text) {
  if (lines_.size() + 1 > capacity_) grow();
  unreadable_ = unreadable_ || !readsBackAsIs(text);
  try {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), text);
  } catch (const std::bad_alloc&) {
    throw Error(ErrorCode::kNoMemory, static_cast<unsigned>(text.size() + 1), kUnitProfile,
                __LINE__);
  }
}

void Profile::appendSectionHeader(const std::string& section) {
  if (!lines_.empty() && !lines_.back().empty()) insertLine(lines_.size(), "");
  insertLine(lines_.size(), "[" + section + "]");
}

void Profile::removeSection(const std::string& section) {
  int header = findSection(section);
  if (header < 0) return;
  lines_.erase(lines_.begin() + header,
               lines_.begin() + static_cast<std::ptrdiff_t>(sectionEnd(header)));
}

void Profile::setValue(const std::string& section, const char* key, const char* value) {
  if (isRegistry()) {
    setRegistryValue(section, key, value);
    return;
  }
  refresh();
  if (capacity_ == 0) grow();
  int header = findSection(section);
  dirty_ = 1;
  if (header >= 0) {
    if (key) {
      size_t insertAt = 0;
      int at = findKeySlot(header, key, &insertAt);
      if (value) {
        std::string line = std::string(key) + "=" + value;
        if (at >= 0) {
          unreadable_ = unreadable_ || !readsBackAsIs(line);
          lines_[at] = line;
        } else {
          insertLine(insertAt, line);
        }
      } else if (at >= 0) {
        lines_.erase(lines_.begin() + at);
      }
    } else {
      removeSection(section);
    }
  } else if (key && value) {
    appendSectionHeader(section);
    insertLine(lines_.size(), std::string(key) + "=" + value);
  }
  if (named()) save();
}

void Profile::addEntry(const std::string& section, const std::string& key, const std::string& value,
                       bool unique) {
  refresh();
  if (capacity_ == 0) grow();
  std::string text = key + "=" + value;
  int header = findSection(section);
  if (unique && header >= 0) {
    for (size_t i = header; i < lines_.size(); ++i) {
      if (equalsIgnoringCase(lines_[i], text)) return;
    }
  }
  insertEntry(section, text);
  if (named()) save();
}

void Profile::addEntries(const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& entries) {
  refresh();
  if (capacity_ == 0) grow();
  for (const auto& entry : entries) insertEntry(section, entry.first + "=" + entry.second);
  if (named()) save();
}

void Profile::insertEntry(const std::string& section, const std::string& text) {
  int header = findSection(section);
  dirty_ = 1;
  if (header < 0) {
    appendSectionHeader(section);
    insertLine(lines_.size(), text);
  } else {
    size_t at = sectionEnd(header);
    while (at > static_cast<size_t>(header) + 1 && lines_[at - 1].empty()) --at;
    insertLine(at, text);
  }
}

void Profile::addRawLine(size_t at, const std::string& text) {
  if (lines_.size() + 1 >= capacity_) grow();
  insertLine(at, text);
  if (named()) save();
}

void Profile::appendLine(const std::string& text) {
  refresh();
  addRawLine(lines_.size(), text);
}

void Profile::insertFirstLine(const std::string& text) {
  refresh();
  addRawLine(0, text);
}

void Profile::insertLineAfter(const std::string& text, const char* prefix) {
  refresh();
  size_t at = 0;
  if (prefix && *prefix) {
    std::string p = prefix;
    for (size_t i = lines_.size(); i > 0; --i) {
      if (lines_[i - 1].compare(0, p.size(), p) == 0) {
        at = i;
        break;
      }
    }
  }
  addRawLine(at, text);
}

// ---- registry mode

std::string Profile::getRegistryString(const std::string& section, const std::string& key,
                                       const std::string& def) {
  Platform& platform = Platform::current();
  RegKey handle;
  if (platform.regOpenKey(kHkeyLocalMachine, name_ + section, RegAccess::kRead, &handle) !=
      kErrorSuccess) {
    return def;
  }
  char buffer[kRegistryValueBuffer];
  uint32_t type = 0, size = sizeof buffer;
  long result = platform.regQueryValue(handle, key, &type, buffer, &size);
  platform.regCloseKey(handle);
  if (result != kErrorSuccess) return def;
  std::string value(buffer, size);
  return value.substr(0, value.find('\0'));
}

void Profile::setRegistryValue(const std::string& section, const char* key, const char* value) {
  Platform& platform = Platform::current();
  RegKey handle;
  std::string path = name_ + section;
  if (value) {
    if (platform.regCreateKey(kHkeyLocalMachine, path, &handle) != kErrorSuccess) return;
    platform.regSetString(handle, key ? key : "", value);
  } else {
    if (platform.regOpenKey(kHkeyLocalMachine, path, RegAccess::kAllAccess, &handle) !=
        kErrorSuccess) {
      return;
    }
    if (key) {
      platform.regDeleteValue(handle, key);
    } else if (deleteKeyTree(handle, path) == 1) {
      platform.regDeleteKey(handle, "");
    }
  }
  platform.regCloseKey(handle);
}

int Profile::deleteKeyTree(RegKey key, const std::string& path) {
  return deleteSubkeys(Platform::current(), key, path) ? 1 : 0;
}

}  // namespace zv
