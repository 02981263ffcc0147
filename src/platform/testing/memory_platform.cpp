#include "platform/testing/memory_platform.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "base/short_name.h"
#include "base/strings.h"
#include "platform/dos_stamp.h"

namespace zv {

namespace {

int64_t now() {
  const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
  return ns - ns % 100;  // the system keeps 100 ns steps
}

// Shared with the open files, which go on working after a rename or a
// deletion, as files opened with every sharing mode do.
struct Content {
  std::string bytes;
  int64_t modifiedNs = now();
};

// The names of a path below the root of drive C:, with "." and ".."
// resolved and the trailing dots and blanks Windows drops dropped. A path
// without a drive is on C:, relative ones from its root. False for another
// drive, a UNC path or a name with a character no name may hold.
bool splitPath(const std::string& path, std::vector<std::string>* names) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  size_t at = path.size() >= 2 && path[1] == ':' ? 2 : 0;
  if (path.empty() || (at == 2 && upperAscii(path[0]) != 'C') ||
      (at == 0 && path.size() >= 2 && separator(path[0]) && separator(path[1])))
    return false;
  while (at <= path.size()) {
    size_t end = at;
    while (end < path.size() && !separator(path[end])) ++end;
    std::string name = path.substr(at, end - at);
    at = end + 1;
    if (name == "..") {
      if (!names->empty()) names->pop_back();
      continue;
    }
    if (name.empty() || name == ".") continue;
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (name.empty()) return false;
    for (char c : name) {
      if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|?*", c)) return false;
    }
    names->push_back(name);
  }
  return true;
}

// A folder holds itself and everything below it.
template <typename N>
bool holds(const N& folder, const N* node) {
  if (&folder == node) return true;
  for (const auto& entry : folder.children) {
    if (holds(*entry.second, node)) return true;
  }
  return false;
}

}  // namespace

struct MemoryPlatform::Node {
  std::string name;
  std::string alias;  // the short name, when the name is no short name
  bool isDirectory = false;
  std::shared_ptr<Content> content = std::make_shared<Content>();
  std::map<std::string, std::unique_ptr<Node>> children;  // by upper-cased name
};

class MemoryPlatform::MemFile : public File {
 public:
  MemFile(std::shared_ptr<Content> content, bool writable, bool append)
      : content_(std::move(content)), writable_(writable), append_(append) {}

  int64_t read(void* buffer, size_t count) override {
    const std::string& bytes = content_->bytes;
    if (closed_ || failRead) return -1;
    if (pos_ >= bytes.size()) return 0;
    const size_t n = std::min(count, bytes.size() - pos_);
    std::memcpy(buffer, bytes.data() + pos_, n);
    pos_ += n;
    return static_cast<int64_t>(n);
  }
  int64_t write(const void* data, size_t count) override {
    if (closed_ || !writable_ || count > writeLimit - written_) return -1;
    std::string& bytes = content_->bytes;
    if (append_) pos_ = bytes.size();
    // Another handle may have truncated the file: the gap reads as zeros.
    if (pos_ > bytes.size()) bytes.resize(pos_, '\0');
    bytes.replace(pos_, std::min(count, bytes.size() - pos_), static_cast<const char*>(data),
                  count);
    pos_ += count;
    written_ += count;
    // A time set through this handle stays, as on Windows.
    if (!stampSet_) content_->modifiedNs = now();
    return static_cast<int64_t>(count);
  }
  bool seekToStart() override {
    pos_ = 0;
    return !closed_;
  }
  bool getStamp(DosStamp* stamp) override {
    if (closed_ || failGetStamp) return false;
    const int64_t ns = content_->modifiedNs;
    *stamp =
        timeToDosStamp(static_cast<std::time_t>(ns / 1000000000 - (ns < 0 && ns % 1000000000)));
    return true;
  }
  // A handle opened for reading only may not change the time on Windows.
  bool setStamp(const DosStamp& stamp) override {
    const std::time_t t = dosStampToTime(stamp);
    if (closed_ || !writable_ || failSetStamp || t == -1) return false;
    content_->modifiedNs = static_cast<int64_t>(t) * 1000000000;
    return stampSet_ = true;
  }
  bool close() override { return closed_ = true; }

  bool failRead = false, failGetStamp = false, failSetStamp = false;
  size_t writeLimit = SIZE_MAX;

 private:
  std::shared_ptr<Content> content_;
  bool writable_, append_;
  size_t pos_ = 0, written_ = 0;
  bool stampSet_ = false, closed_ = false;
};

MemoryPlatform::MemoryPlatform() : drive_(std::make_unique<Node>()) {
  drive_->name = "C:";
  drive_->isDirectory = true;
  createDir(windowsDir);
  createDir(temp);
}

MemoryPlatform::~MemoryPlatform() = default;

const MemoryPlatform::Fault* MemoryPlatform::fault(Fault::Kind kind, const std::string& path,
                                                   FileMode mode) const {
  for (const Fault& f : faults) {
    if (f.kind == kind && f.mode == mode && path.find(f.path) != std::string::npos) return &f;
  }
  return nullptr;
}

// ---- files

std::string MemoryPlatform::read(const std::string& path) {
  const Node* node = find(path);
  return node && !node->isDirectory ? node->content->bytes : "<missing>";
}

void MemoryPlatform::write(const std::string& path, const std::string& bytes,
                           const DosStamp* stamp) {
  std::unique_ptr<File> file = open(path, FileMode::kWrite);
  if (!file || file->write(bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size()) ||
      (stamp && !file->setStamp(*stamp)))
    throw std::runtime_error("cannot write " + path);  // fails the test that asked
}

std::string MemoryPlatform::names(const std::string& folder) {
  std::vector<DirEntry> entries;
  std::string out;
  if (listDir(folder, &entries)) {
    for (const DirEntry& entry : entries) out += entry.name + " ";
  }
  return out;
}

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
  if (!splitPath(path, &names)) return false;
  *folder = drive_.get();
  *name = names.empty() ? "" : names.back();
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    if (!(*folder = child(*folder, names[i]))) return false;
  }
  return (*folder)->isDirectory;
}

MemoryPlatform::Node* MemoryPlatform::find(const std::string& path) {
  Node* folder;
  std::string name;
  if (!locate(path, &folder, &name)) return nullptr;
  return name.empty() ? folder : child(folder, name);
}

std::unique_ptr<File> MemoryPlatform::open(const std::string& path, FileMode mode) {
  opened.emplace_back(mode, path);
  Node* folder;
  std::string name;
  if (fault(Fault::kOpen, path, mode) || !locate(path, &folder, &name) || name.empty())
    return nullptr;
  Node* node = child(folder, name);
  if ((node && node->isDirectory) || (mode == FileMode::kRead && !node) ||
      (mode == FileMode::kCreateNew && node))
    return nullptr;
  if (!node) node = insert(folder, name, std::make_unique<Node>());
  if (mode == FileMode::kWrite) *node->content = Content();
  auto file =
      std::make_unique<MemFile>(node->content, mode != FileMode::kRead, mode == FileMode::kAppend);
  file->failRead = fault(Fault::kRead, path, mode);
  file->failGetStamp = fault(Fault::kGetStamp, path, mode);
  file->failSetStamp = fault(Fault::kSetStamp, path, mode);
  if (const Fault* f = fault(Fault::kWrite, path, mode)) file->writeLimit = f->after;
  return file;
}

bool MemoryPlatform::stat(const std::string& path, FileStatus* status) {
  const Node* node = find(path);
  if (!node) return false;
  status->size = node->isDirectory ? 0 : static_cast<int64_t>(node->content->bytes.size());
  status->modifiedNs = node->content->modifiedNs;
  status->isDirectory = node->isDirectory;
  return true;
}

bool MemoryPlatform::createDir(const std::string& path) {
  Node* folder;
  std::string name;
  if (!locate(path, &folder, &name) || name.empty() || child(folder, name)) return false;
  insert(folder, name, std::make_unique<Node>())->isDirectory = true;
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
  const Node* node = locate(path, &folder, &name) && !name.empty() ? child(folder, name) : nullptr;
  return node && !node->isDirectory && folder->children.erase(upperCased(node->name));
}

bool MemoryPlatform::rename(const std::string& from, const std::string& to, bool replace) {
  Node *fromFolder, *toFolder;
  std::string fromName, toName;
  if (!locate(from, &fromFolder, &fromName) || !locate(to, &toFolder, &toName) || toName.empty())
    return false;
  Node* source = fromName.empty() ? nullptr : child(fromFolder, fromName);
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

// Each name by its alias, or upper-cased when it is a short name, as
// Windows 95/98 give them; a path without a drive is given back as it is.
bool MemoryPlatform::shortPath(const std::string& path, std::string* shortForm) {
  std::vector<std::string> names;
  if (!splitPath(path, &names)) return false;
  Node* at = drive_.get();
  std::string form = "C:";
  for (const std::string& name : names) {
    if (!(at = child(at, name))) return false;
    form += "\\" + (at->alias.empty() ? upperCased(at->name) : at->alias);
  }
  *shortForm = path.size() < 2 || path[1] != ':' ? path : names.empty() ? form + "\\" : form;
  return true;
}

// ---- system and screen

bool MemoryPlatform::moveAtRestart(const std::string& source, const std::string* destination) {
  if (fault(Fault::kMove, source)) return false;
  moves.push_back(source + " -> " + (destination ? *destination : "NUL"));
  return true;
}

int MemoryPlatform::messageBox(const std::string& text, const std::string& caption,
                               unsigned style) {
  boxes.push_back(caption + "|" + text + "|" + (style == kMbYesNo ? "YESNO" : "OK"));
  if (answers.empty()) return style == kMbYesNo ? kIdNo : kIdOk;
  const int answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

}  // namespace zv
