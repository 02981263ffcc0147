#include "platform/testing/memory_platform.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "base/short_name.h"
#include "base/strings.h"
#include "platform/dos_stamp.h"

namespace zv {

struct MemoryPlatform::Content {
  std::string bytes;
  int64_t modifiedNs = 0;
};

struct MemoryPlatform::Node {
  std::string name;
  std::string alias;  // the short name, when the name is no short name
  bool isDirectory = false;
  // Shared with the open files, which go on working after a rename or a
  // deletion, as files opened with every sharing mode do.
  std::shared_ptr<Content> content = std::make_shared<Content>();
  std::map<std::string, std::unique_ptr<Node>> children;  // by upper-cased name
};

class MemoryPlatform::MemFile : public File {
 public:
  MemFile(std::shared_ptr<Content> content, bool writable, bool append)
      : content_(std::move(content)), writable_(writable), append_(append) {}

  int64_t read(void* buffer, size_t count) override {
    if (closed_) return -1;
    const std::string& bytes = content_->bytes;
    if (pos_ >= bytes.size()) return 0;
    const size_t n = std::min(count, bytes.size() - pos_);
    std::memcpy(buffer, bytes.data() + pos_, n);
    pos_ += n;
    return static_cast<int64_t>(n);
  }
  int64_t write(const void* data, size_t count) override {
    if (closed_ || !writable_) return -1;
    std::string& bytes = content_->bytes;
    if (append_) pos_ = bytes.size();
    // Another handle may have truncated the file: the gap reads as zeros.
    if (pos_ > bytes.size()) bytes.resize(pos_, '\0');
    bytes.replace(pos_, std::min(count, bytes.size() - pos_), static_cast<const char*>(data),
                  count);
    pos_ += count;
    // A time set through this handle stays, as on Windows.
    if (!stampSet_) content_->modifiedNs = now();
    return static_cast<int64_t>(count);
  }
  bool seekToStart() override {
    if (closed_) return false;
    pos_ = 0;
    return true;
  }
  bool getStamp(DosStamp* stamp) override {
    if (closed_) return false;
    int64_t seconds = content_->modifiedNs / 1000000000;
    if (content_->modifiedNs < 0 && content_->modifiedNs % 1000000000 != 0) --seconds;
    *stamp = timeToDosStamp(static_cast<std::time_t>(seconds));
    return true;
  }
  // A handle opened for reading only may not change the time on Windows.
  bool setStamp(const DosStamp& stamp) override {
    if (closed_ || !writable_) return false;
    const std::time_t t = dosStampToTime(stamp);
    if (t == -1) return false;
    content_->modifiedNs = static_cast<int64_t>(t) * 1000000000;
    stampSet_ = true;
    return true;
  }
  bool close() override {
    closed_ = true;
    return true;
  }

 private:
  std::shared_ptr<Content> content_;
  bool writable_;
  bool append_;
  size_t pos_ = 0;
  bool stampSet_ = false;
  bool closed_ = false;
};

namespace {

// The names of a path below the root of drive C:, with "." and ".."
// resolved and the trailing dots and blanks Windows drops dropped. A path
// without a drive is on C:, relative ones from its root. False for another
// drive, a UNC path or a name with a character no name may hold.
bool splitPath(const std::string& path, std::vector<std::string>* names) {
  if (path.empty()) return false;
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  size_t at = 0;
  if (path.size() >= 2 && path[1] == ':') {
    if (upperAscii(path[0]) != 'C') return false;
    at = 2;
  } else if (path.size() >= 2 && separator(path[0]) && separator(path[1])) {
    return false;
  }
  names->clear();
  while (at <= path.size()) {
    size_t end = at;
    while (end < path.size() && !separator(path[end])) ++end;
    std::string name = path.substr(at, end - at);
    at = end + 1;
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!names->empty()) names->pop_back();
      continue;
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (name.empty()) return false;
    for (char c : name) {
      if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|?*", c)) return false;
    }
    names->push_back(name);
  }
  return true;
}

}  // namespace

MemoryPlatform::MemoryPlatform() : drive_(std::make_unique<Node>()) {
  drive_->name = "C:";
  drive_->isDirectory = true;
  drive_->content->modifiedNs = now();
  createDir(windowsDir);
  createDir(temp);
}

MemoryPlatform::~MemoryPlatform() = default;

int64_t MemoryPlatform::now() {
  const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
  return ns - ns % 100;  // the system keeps 100 ns steps
}

// ---- files

MemoryPlatform::Node* MemoryPlatform::child(Node* folder, const std::string& name) {
  if (!folder->isDirectory) return nullptr;
  auto it = folder->children.find(upperCased(name));
  if (it != folder->children.end()) return it->second.get();
  for (auto& entry : folder->children) {
    if (!entry.second->alias.empty() && equalsIgnoringCase(entry.second->alias, name))
      return entry.second.get();
  }
  return nullptr;
}

MemoryPlatform::Node* MemoryPlatform::insert(Node* folder, const std::string& name,
                                             std::unique_ptr<Node> node) {
  node->name = name;
  node->alias.clear();
  if (!isShortName(name)) {
    node->alias = formShortName(name, [folder](const std::string& shortName) {
      for (const auto& entry : folder->children) {
        if (entry.first == shortName || equalsIgnoringCase(entry.second->alias, shortName))
          return true;
      }
      return false;
    });
  }
  std::unique_ptr<Node>& slot = folder->children[upperCased(name)];
  slot = std::move(node);
  return slot.get();
}

bool MemoryPlatform::locate(const std::string& path, Node** folder, std::string* name) {
  std::vector<std::string> names;
  if (!splitPath(path, &names) || names.empty()) return false;
  Node* at = drive_.get();
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    at = child(at, names[i]);
    if (!at || !at->isDirectory) return false;
  }
  *folder = at;
  *name = names.back();
  return true;
}

MemoryPlatform::Node* MemoryPlatform::find(const std::string& path) {
  std::vector<std::string> names;
  if (!splitPath(path, &names)) return nullptr;
  Node* at = drive_.get();
  for (const std::string& name : names) {
    at = child(at, name);
    if (!at) return nullptr;
  }
  return at;
}

std::unique_ptr<File> MemoryPlatform::open(const std::string& path, FileMode mode) {
  Node* folder;
  std::string name;
  if (!locate(path, &folder, &name)) return nullptr;
  Node* node = child(folder, name);
  if (node && node->isDirectory) return nullptr;
  if (mode == FileMode::kRead && !node) return nullptr;
  if (mode == FileMode::kCreateNew && node) return nullptr;
  if (!node) {
    node = insert(folder, name, std::make_unique<Node>());
    node->content->modifiedNs = now();
  } else if (mode == FileMode::kWrite) {
    node->content->bytes.clear();
    node->content->modifiedNs = now();
  }
  return std::make_unique<MemFile>(node->content, mode != FileMode::kRead,
                                   mode == FileMode::kAppend);
}

bool MemoryPlatform::stat(const std::string& path, FileStatus* status) {
  const Node* node = find(path);
  if (!node) return false;
  status->size = node->isDirectory ? 0 : static_cast<int64_t>(node->content->bytes.size());
  status->modifiedNs = node->content->modifiedNs;
  status->isDirectory = node->isDirectory;
  return true;
}

bool MemoryPlatform::exists(const std::string& path) {
  return find(path) != nullptr;
}

bool MemoryPlatform::createDir(const std::string& path) {
  Node* folder;
  std::string name;
  if (!locate(path, &folder, &name) || child(folder, name)) return false;
  Node* node = insert(folder, name, std::make_unique<Node>());
  node->isDirectory = true;
  node->content->modifiedNs = now();
  return true;
}

bool MemoryPlatform::listDir(const std::string& path, std::vector<DirEntry>* entries) {
  const Node* node = find(path);
  if (!node || !node->isDirectory) return false;
  entries->clear();
  // The map's order is the name order of an NTFS volume.
  for (const auto& entry : node->children)
    entries->push_back({entry.second->name, entry.second->isDirectory, false});
  return true;
}

bool MemoryPlatform::deleteFile(const std::string& path) {
  Node* folder;
  std::string name;
  if (!locate(path, &folder, &name)) return false;
  const Node* node = child(folder, name);
  if (!node || node->isDirectory) return false;
  folder->children.erase(upperCased(node->name));
  return true;
}

namespace {

template <typename N>
bool holds(const N& folder, const N* node) {
  if (&folder == node) return true;
  for (const auto& entry : folder.children) {
    if (holds(*entry.second, node)) return true;
  }
  return false;
}

}  // namespace

bool MemoryPlatform::rename(const std::string& from, const std::string& to, bool replace) {
  Node* fromFolder;
  Node* toFolder;
  std::string fromName, toName;
  if (!locate(from, &fromFolder, &fromName) || !locate(to, &toFolder, &toName)) return false;
  Node* source = child(fromFolder, fromName);
  if (!source) return false;
  if (source->isDirectory && holds(*source, toFolder)) return false;
  // The same file under another spelling is only renamed.
  Node* target = child(toFolder, toName);
  if (target && target != source) {
    if (!replace || target->isDirectory || source->isDirectory) return false;
    toFolder->children.erase(upperCased(target->name));
  }
  auto it = fromFolder->children.find(upperCased(source->name));
  std::unique_ptr<Node> moved = std::move(it->second);
  fromFolder->children.erase(it);
  insert(toFolder, toName, std::move(moved));
  return true;
}

bool MemoryPlatform::renameReplacing(const std::string& from, const std::string& to) {
  return rename(from, to, true);
}

bool MemoryPlatform::renameNoReplace(const std::string& from, const std::string& to) {
  return rename(from, to, false);
}

// Each name by its alias, or upper-cased when it is a short name, as
// Windows 95/98 give them; a path without a drive is given back as it is.
bool MemoryPlatform::shortPath(const std::string& path, std::string* shortForm) {
  std::vector<std::string> names;
  if (!splitPath(path, &names)) return false;
  Node* at = drive_.get();
  std::string form = "C:";
  for (const std::string& name : names) {
    at = child(at, name);
    if (!at) return false;
    form += "\\" + (at->alias.empty() ? upperCased(at->name) : at->alias);
  }
  if (names.empty()) form += "\\";
  *shortForm = path.size() >= 2 && path[1] == ':' ? form : path;
  return true;
}

bool MemoryPlatform::tempVariable(std::string* value) {
  if (temp.empty()) return false;
  *value = temp;
  return true;
}

// ---- registry

long MemoryPlatform::regOpenKey(RegKey parent, const std::string& subkey, RegAccess,
                                RegKey* result) {
  return registry_.openKey(parent, subkey, result);
}
long MemoryPlatform::regCreateKey(RegKey parent, const std::string& subkey, RegKey* result) {
  return registry_.createKey(parent, subkey, result);
}
long MemoryPlatform::regQueryValue(RegKey key, const std::string& name, uint32_t* type, void* data,
                                   uint32_t* size) {
  return registry_.queryValue(key, name, type, data, size);
}
long MemoryPlatform::regSetString(RegKey key, const std::string& name, const std::string& value) {
  return registry_.setValue(key, name, kRegSz, value + '\0');
}
long MemoryPlatform::regDeleteValue(RegKey key, const std::string& name) {
  return registry_.deleteValue(key, name);
}
long MemoryPlatform::regDeleteKey(RegKey key, const std::string& subkey) {
  return registry_.deleteKey(key, subkey);
}
long MemoryPlatform::regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) {
  return registry_.enumKey(key, index, name, nameSize);
}
long MemoryPlatform::regQuerySubkeyCount(RegKey key, uint32_t* count) {
  return registry_.querySubkeyCount(key, count);
}
long MemoryPlatform::regCloseKey(RegKey key) {
  return registry_.closeKey(key);
}

// ---- system

bool MemoryPlatform::windowsDirectory(std::string* dir) {
  if (windowsDir.empty()) return false;
  *dir = windowsDir;
  return true;
}

bool MemoryPlatform::getVersion(VersionInfo* info) {
  *info = version;
  return true;
}

bool MemoryPlatform::moveAtRestart(const std::string& source, const std::string* destination) {
  moves.push_back(source + " -> " + (destination ? *destination : "NUL"));
  return true;
}

bool MemoryPlatform::restartWindows() {
  ++restarts;
  return true;
}

// ---- screen

bool MemoryPlatform::createLogWindow(int) {
  windowCreated = true;
  windowClosed_ = false;
  return true;
}

// Nobody is there to close the window: the loop ends at once, as if the
// user had.
int MemoryPlatform::messageLoop() {
  windowClosed_ = true;
  return 0;
}

int MemoryPlatform::messageBox(const std::string& text, const std::string& caption,
                               unsigned style) {
  boxes.push_back(caption + "|" + text + "|" + (style == kMbYesNo ? "YESNO" : "OK"));
  if (!answers.empty()) {
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  return style == kMbYesNo ? kIdNo : kIdOk;
}

MemoryTestPlatform::MemoryTestPlatform() {
  platform_.createDir(scratchDir_);
}

}  // namespace zv
