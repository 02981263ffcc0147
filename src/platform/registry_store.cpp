#include "platform/registry_store.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

#include "base/strings.h"
#include "platform/registry_names.h"

namespace zv {

namespace {

// Empty components (leading, doubled or trailing backslashes) name nothing.
std::vector<std::string> splitPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void appendQuoted(const std::string& s, std::string* out) {
  out->push_back('"');
  for (char c : s) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

// A line feed cannot be written inside a quoted name or string.
bool validName(const std::string& name) {
  return name.find('\n') == std::string::npos;
}

// The REGEDIT4 grammar. Lines are trimmed of blanks at both ends, so text
// hand-edited with indentation or trailing spaces still loads; names and
// strings are delimited and keep their blanks. The text is read line by
// line as it is parsed: a large registry is never held twice.
class TextParser {
 public:
  explicit TextParser(const std::string& text) : text_(text) {}

  // Calls onKey(root, path) for each key header and onValue(name, type,
  // data) for each value, in file order; false at the first error.
  template <typename OnKey, typename OnValue>
  bool run(const OnKey& onKey, const OnValue& onValue) {
    std::string t;
    bool header = false;
    while (!header && nextLine(&t)) header = !t.empty();
    if (!header) {
      line_ = 1;
      return fail("missing REGEDIT4 header");
    }
    if (t != "REGEDIT4") return fail("first line is not REGEDIT4");
    bool inKey = false;
    int root = 0;
    std::vector<std::string> path;
    std::string name, data;
    uint32_t type = 0;
    while (nextLine(&t)) {
      if (t.empty() || t[0] == ';') continue;
      if (t[0] == '[') {
        path.clear();
        if (!parseHeader(t, &root, &path)) return false;
        onKey(root, path);
        inKey = true;
      } else if (t[0] == '@' || t[0] == '"') {
        if (!inKey) return fail("value before any key");
        name.clear();
        data.clear();
        if (!parseValue(t, &name, &type, &data)) return false;
        onValue(name, type, data);
      } else {
        return fail("unrecognised line");
      }
    }
    return true;
  }

  size_t errorLine() const { return line_; }
  const std::string& errorWhat() const { return what_; }

 private:
  bool fail(const std::string& what) {
    what_ = what;
    return false;
  }

  // The next line without its line end, trimmed of blanks; false at the end
  // of the text.
  bool nextLine(std::string* t) {
    if (next_ >= text_.size()) return false;
    size_t end = text_.find('\n', next_);
    if (end == std::string::npos) end = text_.size();
    size_t b = next_;
    size_t e = end;
    next_ = end + 1;
    ++line_;
    if (e > b && text_[e - 1] == '\r') --e;
    while (b < e && isBlank(text_[b])) ++b;
    while (e > b && isBlank(text_[e - 1])) --e;
    t->assign(text_, b, e - b);
    return true;
  }

  bool parseHeader(const std::string& t, int* rootIndex, std::vector<std::string>* path) {
    if (t.size() < 2 || t.back() != ']') return fail("key name not closed by ]");
    std::string inner = t.substr(1, t.size() - 2);
    if (!inner.empty() && inner[0] == '-') return fail("deleting keys is not supported");
    size_t slash = inner.find('\\');
    std::string root = inner.substr(0, slash);
    *rootIndex = -1;
    for (int i = 0; i < 4; ++i) {
      if (equalsIgnoringCase(root, kRegistryRoots[i].name)) *rootIndex = i;
    }
    if (*rootIndex < 0) return fail("unknown root key \"" + root + "\"");
    if (slash != std::string::npos) *path = splitPath(inner.substr(slash + 1));
    if (path->size() > kMaxKeyDepth)
      return fail("key nested deeper than " + std::to_string(kMaxKeyDepth) + " levels");
    return true;
  }

  bool parseValue(const std::string& t, std::string* name, uint32_t* type, std::string* data) {
    size_t pos = 0;
    if (t[0] == '@') {
      pos = 1;
    } else if (!parseQuoted(t, &pos, name)) {
      return false;
    }
    if (pos >= t.size() || t[pos] != '=') return fail("missing = after value name");
    ++pos;
    if (pos < t.size() && t[pos] == '"') {
      if (!parseQuoted(t, &pos, data)) return false;
      if (pos != t.size()) return fail("text after value");
      *type = kRegSz;
      data->push_back('\0');
      return true;
    }
    if (startsWithIgnoringCase(t, "dword:", pos)) {
      pos += 6;
      if (t.size() - pos != 8) return fail("dword needs exactly 8 hex digits");
      uint32_t v = 0;
      for (; pos < t.size(); ++pos) {
        int d = hexDigit(t[pos]);
        if (d < 0) return fail("dword needs exactly 8 hex digits");
        v = (v << 4) | static_cast<uint32_t>(d);
      }
      *type = kRegDword;
      for (int i = 0; i < 4; ++i) data->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
      return true;
    }
    if (startsWithIgnoringCase(t, "hex:", pos)) {
      *type = kRegBinary;
      return parseHexList(t, pos + 4, data);
    }
    if (startsWithIgnoringCase(t, "hex(", pos)) {
      pos += 4;
      size_t digits = 0;
      uint32_t number = 0;
      for (; pos < t.size() && hexDigit(t[pos]) >= 0; ++pos, ++digits) {
        number = (number << 4) | static_cast<uint32_t>(hexDigit(t[pos]));
      }
      if (digits == 0 || digits > 8 || t.compare(pos, 2, "):") != 0) {
        return fail("bad value type in hex()");
      }
      *type = number;
      return parseHexList(t, pos + 2, data);
    }
    return fail("unknown value type");
  }

  // A quoted name or string starting at *pos; on return *pos is just past
  // the closing quote.
  bool parseQuoted(const std::string& t, size_t* pos, std::string* out) {
    size_t i = *pos + 1;
    for (; i < t.size() && t[i] != '"'; ++i) {
      if (t[i] == '\\') {
        if (i + 1 >= t.size()) break;
        char c = t[++i];
        if (c != '\\' && c != '"') return fail(std::string("bad escape \\") + c);
      }
      out->push_back(t[i]);
    }
    if (i >= t.size()) return fail("unterminated string");
    *pos = i + 1;
    return true;
  }

  // Comma-separated two-digit bytes; a line ending in a backslash goes on
  // in the next line, as regedit wraps long lists.
  bool parseHexList(std::string t, size_t pos, std::string* out) {
    enum { kStart, kAfterByte, kAfterComma } state = kStart;
    for (;;) {
      if (pos == t.size()) {
        if (state == kAfterComma) return fail("hex list ends with a comma");
        return true;
      }
      if (t[pos] == '\\' && pos + 1 == t.size() && state != kAfterByte) {
        if (!nextLine(&t)) return fail("continued line missing");
        pos = 0;
        continue;
      }
      if (state == kAfterByte) {
        if (t[pos] != ',') return fail("bad hex byte list");
        state = kAfterComma;
        ++pos;
        continue;
      }
      int hi = hexDigit(t[pos]);
      int lo = pos + 1 < t.size() ? hexDigit(t[pos + 1]) : -1;
      if (hi < 0 || lo < 0) return fail("bad hex byte list");
      out->push_back(static_cast<char>(hi * 16 + lo));
      pos += 2;
      state = kAfterByte;
    }
  }

  const std::string& text_;
  size_t next_ = 0;  // where the next line starts
  size_t line_ = 0;  // the number of the line read last
  std::string what_;
};

void appendHexList(const std::string& data, bool wrap, std::string* out) {
  static const char kDigits[] = "0123456789abcdef";
  size_t lineStart = out->rfind('\n');
  lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
  for (size_t i = 0; i < data.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(data[i]);
    out->push_back(kDigits[b >> 4]);
    out->push_back(kDigits[b & 15]);
    if (i + 1 == data.size()) break;
    out->push_back(',');
    // Wrap as regedit does, keeping lines under 80 columns.
    if (wrap && out->size() - lineStart >= 76) {
      out->append("\\\n  ");
      lineStart = out->size() - 2;
    }
  }
}

}  // namespace

void appendRegeditData(uint32_t type, const std::string& d, bool wrap, std::string* out) {
  if (type == kRegSz && !d.empty() && d.find('\0') == d.size() - 1 &&
      d.find('\n') == std::string::npos) {
    appendQuoted(d.substr(0, d.size() - 1), out);
  } else if (type == kRegDword && d.size() == 4) {
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(d[i]);
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(n));
    out->append(buf);
  } else {
    if (type == kRegBinary) {
      out->append("hex:");
    } else {
      char buf[16];
      std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(type));
      out->append(buf);
    }
    appendHexList(d, wrap, out);
  }
}

std::string regeditValueName(const std::string& name) {
  if (name.empty()) return "@";
  std::string out;
  appendQuoted(name, &out);
  return out;
}

RegistryStore::RegistryStore() {
  for (int i = 0; i < 4; ++i) {
    roots_[i] = std::make_shared<Key>();
    roots_[i]->name = kRegistryRoots[i].name;
  }
}

bool RegistryStore::parse(const std::string& text, const std::string& fileName,
                          std::string* error) {
  // Built aside, so that malformed text changes nothing.
  RegistryStore fresh;
  Key* current = nullptr;
  TextParser parser(text);
  bool parsed = parser.run(
      [&](int root, const std::vector<std::string>& path) {
        bool created = false;
        current = createPath(fresh.roots_[root].get(), path, &created);
      },
      [&](const std::string& name, uint32_t type, const std::string& data) {
        current->values.put(name, type, data);
      });
  if (!parsed) {
    if (error)
      *error = fileName + ":" + std::to_string(parser.errorLine()) + ": " + parser.errorWhat();
    return false;
  }
  for (int i = 0; i < 4; ++i) {
    Key* root = roots_[i].get();
    for (auto& child : root->children) markDeleted(child.second.get());
    root->values = std::move(fresh.roots_[i]->values);
    root->children = std::move(fresh.roots_[i]->children);
    for (auto& child : root->children) child.second->parent = root;
  }
  ++changeCount_;
  return true;
}

// A key is written when it has values or no subkeys: a key with subkeys and
// no values is implied by its subkeys' headers, and the depth-first order
// makes the first header naming it carry its own case. This reproduces the
// tree exactly. A root is written only when it has values.
std::string RegistryStore::serialize() const {
  std::string out = "REGEDIT4\n\n";
  for (const auto& root : roots_) {
    if (!root->values.empty()) writeBlock(*root, root->name, &out);
    for (const auto& child : root->children) {
      writeTree(*child.second, root->name + "\\" + child.second->name, &out);
    }
  }
  return out;
}

void RegistryStore::writeTree(const Key& key, const std::string& path, std::string* out) {
  if (!key.values.empty() || key.children.empty()) writeBlock(key, path, out);
  for (const auto& child : key.children) {
    writeTree(*child.second, path + "\\" + child.second->name, out);
  }
}

void RegistryStore::writeBlock(const Key& key, const std::string& path, std::string* out) {
  out->append("[" + path + "]\n");
  std::vector<const Value*> order;
  for (const Value& v : key.values) {
    if (v.name.empty())
      order.insert(order.begin(), &v);
    else
      order.push_back(&v);
  }
  for (const Value* v : order) {
    out->append(regeditValueName(v->name) + "=");
    appendRegeditData(v->type, v->data, true, out);
    out->push_back('\n');
  }
  out->push_back('\n');
}

void RegistryStore::forEachKey(
    const std::function<void(const std::vector<std::string>& path,
                             const std::vector<Value>& values)>& visit) const {
  std::vector<std::string> path;
  forEachKeyByDepth([&](size_t depth, const std::string& name, const RegistryValues& values) {
    path.resize(depth);
    path.push_back(name);
    visit(path, values.inOrder());
  });
}

void RegistryStore::forEachKeyByDepth(
    const std::function<void(size_t depth, const std::string& name, const RegistryValues& values)>&
        visit) const {
  for (const auto& root : roots_) visitTree(*root, 0, visit);
}

template <typename Visit>
void RegistryStore::visitTree(const Key& key, size_t depth, const Visit& visit) {
  visit(depth, key.name, key.values);
  for (const auto& child : key.children) visitTree(*child.second, depth + 1, visit);
}

long RegistryStore::resolve(RegKey handle, Key** key) const {
  for (int i = 0; i < 4; ++i) {
    if (handle == kRegistryRoots[i].handle) {
      *key = roots_[i].get();
      return kErrorSuccess;
    }
  }
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kErrorInvalidHandle;
  if (it->second->deleted) return kErrorKeyDeleted;
  *key = it->second.get();
  return kErrorSuccess;
}

// Numbers are never reused while the store lives, so a stale handle value
// cannot reach a key opened later.
RegKey RegistryStore::addHandle(const std::shared_ptr<Key>& key) {
  RegKey h;
  do {
    h = nextHandle_++;
    if (nextHandle_ >= kHkeyClassesRoot) nextHandle_ = 1;
  } while (handles_.count(h) != 0);
  handles_[h] = key;
  return h;
}

std::shared_ptr<RegistryStore::Key> RegistryStore::sharedOf(Key* key) const {
  if (key->parent) return key->parent->children.at(upperCased(key->name));
  for (const auto& root : roots_) {
    if (root.get() == key) return root;
  }
  return nullptr;
}

RegistryStore::Key* RegistryStore::findPath(Key* from, const std::vector<std::string>& path) {
  for (const std::string& part : path) {
    auto it = from->children.find(upperCased(part));
    if (it == from->children.end()) return nullptr;
    from = it->second.get();
  }
  return from;
}

RegistryStore::Key* RegistryStore::createPath(Key* from, const std::vector<std::string>& path,
                                              bool* created) {
  for (const std::string& part : path) {
    std::shared_ptr<Key>& slot = from->children[upperCased(part)];
    if (!slot) {
      slot = std::make_shared<Key>();
      slot->name = part;
      slot->parent = from;
      *created = true;
    }
    from = slot.get();
  }
  return from;
}

void RegistryStore::markDeleted(Key* key) {
  key->deleted = true;
  key->parent = nullptr;
  for (auto& child : key->children) markDeleted(child.second.get());
  key->children.clear();
  key->values.clear();
}

long RegistryStore::openKey(RegKey parent, const std::string& subkey, RegKey* result) {
  if (!result) return kErrorInvalidParameter;
  Key* from;
  long rc = resolve(parent, &from);
  if (rc != kErrorSuccess) return rc;
  Key* key = findPath(from, splitPath(subkey));
  if (!key) return kErrorFileNotFound;
  *result = addHandle(sharedOf(key));
  return kErrorSuccess;
}

long RegistryStore::createKey(RegKey parent, const std::string& subkey, RegKey* result) {
  if (!result) return kErrorInvalidParameter;
  Key* from;
  long rc = resolve(parent, &from);
  if (rc != kErrorSuccess) return rc;
  std::vector<std::string> path = splitPath(subkey);
  for (const std::string& part : path) {
    if (!validName(part)) return kErrorInvalidParameter;
  }
  size_t depth = path.size();
  for (const Key* k = from; k->parent; k = k->parent) ++depth;
  if (depth > kMaxKeyDepth) return kErrorInvalidParameter;
  bool created = false;
  Key* key = createPath(from, path, &created);
  if (created) ++changeCount_;
  *result = addHandle(sharedOf(key));
  return kErrorSuccess;
}

long RegistryStore::queryValue(RegKey key, const std::string& name, uint32_t* type, void* data,
                               uint32_t* size) {
  Key* k;
  long rc = resolve(key, &k);
  if (rc != kErrorSuccess) return rc;
  if (data && !size) return kErrorInvalidParameter;
  const Value* v = k->values.find(name);
  if (!v) return kErrorFileNotFound;
  if (type) *type = v->type;
  if (!size) return kErrorSuccess;
  uint32_t needed = static_cast<uint32_t>(v->data.size());
  if (data && *size < needed) {
    *size = needed;
    return kErrorMoreData;
  }
  if (data) std::memcpy(data, v->data.data(), needed);
  *size = needed;
  return kErrorSuccess;
}

long RegistryStore::setValue(RegKey key, const std::string& name, uint32_t type,
                             const std::string& bytes) {
  Key* k;
  long rc = resolve(key, &k);
  if (rc != kErrorSuccess) return rc;
  if (!validName(name)) return kErrorInvalidParameter;
  if (k->values.put(name, type, bytes)) ++changeCount_;
  return kErrorSuccess;
}

long RegistryStore::deleteValue(RegKey key, const std::string& name) {
  Key* k;
  long rc = resolve(key, &k);
  if (rc != kErrorSuccess) return rc;
  if (!k->values.erase(name)) return kErrorFileNotFound;
  ++changeCount_;
  return kErrorSuccess;
}

long RegistryStore::deleteKey(RegKey key, const std::string& subkey) {
  Key* k;
  long rc = resolve(key, &k);
  if (rc != kErrorSuccess) return rc;
  Key* target = findPath(k, splitPath(subkey));
  if (!target) return kErrorFileNotFound;
  if (!target->parent) return kErrorAccessDenied;  // a root
  // NT refuses to delete a key that still has subkeys.
  if (!target->children.empty()) return kErrorAccessDenied;
  auto& siblings = target->parent->children;
  auto it = siblings.find(upperCased(target->name));
  std::shared_ptr<Key> hold = it->second;
  siblings.erase(it);
  markDeleted(hold.get());
  ++changeCount_;
  return kErrorSuccess;
}

long RegistryStore::enumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) {
  Key* k;
  long rc = resolve(key, &k);
  if (rc != kErrorSuccess) return rc;
  if (!name || !nameSize) return kErrorInvalidParameter;
  if (index >= k->children.size()) return kErrorNoMoreItems;
  auto it = k->children.begin();
  std::advance(it, index);
  const std::string& n = it->second->name;
  if (n.size() >= *nameSize) return kErrorMoreData;
  std::memcpy(name, n.c_str(), n.size() + 1);
  *nameSize = static_cast<uint32_t>(n.size());
  return kErrorSuccess;
}

long RegistryStore::querySubkeyCount(RegKey key, uint32_t* count) {
  Key* k;
  long rc = resolve(key, &k);
  if (rc != kErrorSuccess) return rc;
  if (!count) return kErrorInvalidParameter;
  *count = static_cast<uint32_t>(k->children.size());
  return kErrorSuccess;
}

long RegistryStore::closeKey(RegKey key) {
  for (const RegistryRoot& registryRoot : kRegistryRoots) {
    const RegKey root = registryRoot.handle;
    if (key == root) return kErrorSuccess;
  }
  return handles_.erase(key) != 0 ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace zv
