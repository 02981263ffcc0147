// An INI-style file held as its raw lines, in file order. Nothing is parsed
// when it loads: headers, keys, comments and anything else are interpreted
// only by the operations, each by its own rule, so a file written back keeps
// every line it does not change.
//
// Three modes: a file (name, kFileMode) is reloaded whenever its size or
// time changes and written through on every edit; in memory (empty name,
// kFileMode) nothing is read or written; registry (kRegistryMode) reads
// strings from and edits keys below HKEY_LOCAL_MACHINE\<name>\<section>.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace zv {

class Profile {
 public:
  enum Mode : int { kFileMode = 0, kRegistryMode = 1 };

  // Loads the file at once (which may raise ErrorCode::kFileUnreadable); in
  // registry mode the name gets a trailing "\" and nothing is loaded.
  Profile(const std::string& name, Mode mode);
  // Writes the file once more when an edit has changed it.
  ~Profile();
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  // Index (from 0) of the first line that begins with "[section]", any
  // case, or -1. Works on the lines as they are.
  int findSection(const std::string& section) const;
  // 1 when a line is exactly "[section]", any case.
  int sectionExists(const std::string& section) const;

  // The text after "=" of the key's line, exactly as stored, or def.
  std::string getString(const std::string& section, const std::string& key, const std::string& def);
  // The value read as a decimal number, or def when it holds none. There is
  // no registry variant: in registry mode these return def.
  int getInt(const std::string& section, const std::string& key, int def);
  long getLong(const std::string& section, const std::string& key, long def);
  // Line n, counted from 1; nullptr when there is none.
  const std::string* getLine(size_t n) const;

  // key and value given: set the key; key without value: delete the key;
  // no key: delete the section. Missing sections are created at the end.
  void setValue(const std::string& section, const char* key, const char* value);
  // Adds key=value at the end of the section, never replacing a line; with
  // unique, not when the same line (any case) stands from the section's
  // header on.
  void addEntry(const std::string& section, const std::string& key, const std::string& value,
                bool unique);
  // Adds every key=value at the end of the section, in order, with one
  // write of the file: all of them or, when it fails, none.
  void addEntries(const std::string& section,
                  const std::vector<std::pair<std::string, std::string>>& entries);
  void addUniqueEntry(const std::string& section, const std::string& key,
                      const std::string& value) {
    addEntry(section, key, value, true);
  }
  void appendLine(const std::string& text);
  void insertFirstLine(const std::string& text);
  // Inserts after the last line that begins with prefix (same case); first
  // when there is no such line or no prefix.
  void insertLineAfter(const std::string& text, const char* prefix);

  // Deletes every subkey below the open key, depth first; 1 when all are
  // gone, 0 on a registry failure. path names the key for the recursion.
  int deleteKeyTree(RegKey key, const std::string& path);

  // Reloads the lines when the file's size or modification time differs
  // from the last load; a missing file leaves them as they are.
  void refresh();
  // Writes every line with CR LF and one closing 0x1A. The new content goes
  // to a new file beside the old one, renamed over it only when complete.
  void save();
  void grow();

  // After white space is trimmed at both ends, the line begins with "[".
  static bool isSectionHeader(const std::string& line);

  void setMode(Mode mode) { mode_ = mode; }
  Mode getMode() const { return mode_; }
  bool isRegistry() const { return mode_ == kRegistryMode; }

  const std::string& name() const { return name_; }
  unsigned dirty() const { return dirty_; }
  // For a profile kept beyond one edit: every edit is in the file, so its
  // release writes nothing, whatever becomes of the file meanwhile.
  void markWritten() { dirty_ = 0; }
  size_t lineCount() const { return lines_.size(); }
  size_t capacity() const { return capacity_; }

 private:
  // A file behind the lines: named and not in registry mode.
  bool named() const { return !name_.empty() && mode_ == kFileMode; }
  // Index of the key's line for reading, or -1 (stops at a line that
  // begins with "[").
  int findKeyForReading(const std::string& section, const std::string& key) const;
  // The key's value scanned as "%ld" scans it; false when it holds none.
  bool readNumber(const std::string& section, const std::string& key, long* value);
  // The key's line within the section that starts at header (editing
  // rule), or -1; *insertAt is where a new key line goes.
  int findKeySlot(int header, const std::string& key, size_t* insertAt) const;
  // Index of the next line after header for which isSectionHeader holds,
  // or the line count.
  size_t sectionEnd(int header) const;
  void removeSection(const std::string& section);
  // Puts the line at the end of the section (before its trailing blank
  // lines), creating the section at the end of the file when missing.
  void insertEntry(const std::string& section, const std::string& text);
  void appendSectionHeader(const std::string& section);
  void insertLine(size_t at, const std::string& text);
  void addRawLine(size_t at, const std::string& text);
  std::string getRegistryString(const std::string& section, const std::string& key,
                                const std::string& def);
  void setRegistryValue(const std::string& section, const char* key, const char* value);

  unsigned dirty_ = 0;
  std::string name_;
  std::vector<std::string> lines_;
  size_t capacity_ = 0;
  int64_t fileTime_ = 0;  // modification time of the last load, finest resolution
  int64_t fileSize_ = 0;
  // The file as the last save left it, or -1: a dirty profile is written
  // again at release only when the file has changed since.
  int64_t savedTime_ = -1;
  int64_t savedSize_ = -1;
  // A line holds what a load would split or drop (a CR, a line feed, 0x1A
  // or NUL put in by an edit): after a save the file is read again.
  bool unreadable_ = false;
  Mode mode_;
};

}  // namespace zv
