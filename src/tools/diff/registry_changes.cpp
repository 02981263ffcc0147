#include "tools/diff/registry_changes.h"

#include <algorithm>

#include "base/strings.h"

namespace zv {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

// One key of a registry, in the depth-first order of the store, which sorts
// subkeys by name without regard to case.
struct Node {
  const std::string* name;
  const RegistryValues* values;
  size_t end;  // just past the last key below it
};

std::vector<Node> nodesOf(const RegistryStore& store) {
  std::vector<Node> nodes;
  std::vector<size_t> open;  // the key visited last and the keys above it
  store.forEachKeyByDepth([&](size_t depth, const std::string& name, const RegistryValues& values) {
    for (; open.size() > depth; open.pop_back()) nodes[open.back()].end = nodes.size();
    open.push_back(nodes.size());
    nodes.push_back({&name, &values, 0});
  });
  for (size_t at : open) nodes[at].end = nodes.size();
  return nodes;
}

// The roots, by name.
std::vector<size_t> rootsOf(const std::vector<Node>& nodes) {
  std::vector<size_t> roots;
  for (size_t at = 0; at < nodes.size(); at = nodes[at].end) roots.push_back(at);
  std::sort(roots.begin(), roots.end(), [&](size_t x, size_t y) {
    return compareIgnoringCase(*nodes[x].name, *nodes[y].name) < 0;
  });
  return roots;
}

std::string dataText(const RegistryValue& v) {
  std::string text;
  appendRegeditData(v.type, v.data, false, &text);
  return text;
}

void appendValueChanges(const RegistryValues* before, const RegistryValues* after,
                        std::vector<std::string>* lines) {
  if (after) {
    for (const RegistryValue& v : *after) {
      const RegistryValue* old = before ? before->find(v.name) : nullptr;
      if (!old) {
        lines->push_back(regeditValueName(v.name) + " added: " + dataText(v));
      } else if (old->type != v.type || old->data != v.data) {
        lines->push_back(regeditValueName(v.name) + " changed: " + dataText(*old) + " -> " +
                         dataText(v));
      }
    }
  }
  if (before) {
    for (const RegistryValue& v : *before) {
      if (!after || !after->find(v.name)) {
        lines->push_back(regeditValueName(v.name) + " removed (was: " + dataText(v) + ")");
      }
    }
  }
}

// Walks both trees at once, a key's subkeys merged by name, so every key is
// met once and in the order of paths.
class Comparison {
 public:
  Comparison(const RegistryStore& before, const RegistryStore& after,
             const std::vector<IgnoredValue>& ignored)
      : before_(nodesOf(before)), after_(nodesOf(after)), ignored_(ignored) {}

  std::vector<KeyChanges> run() {
    // Every store has the same roots.
    std::vector<size_t> a = rootsOf(before_);
    std::vector<size_t> b = rootsOf(after_);
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) compare(a[i], b[i]);
    return std::move(changes_);
  }

 private:
  // The key at a in before and at b in after (kNone where it is missing),
  // then its subkeys.
  void compare(size_t a, size_t b) {
    const size_t lengthA = pathA_.size(), lengthB = pathB_.size();
    if (a != kNone) appendName(*before_[a].name, &pathA_);
    if (b != kNone) appendName(*after_[b].name, &pathB_);
    report(a, b);
    size_t ca = a == kNone ? kNone : firstChild(before_, a);
    size_t cb = b == kNone ? kNone : firstChild(after_, b);
    while (ca != kNone || cb != kNone) {
      int order = ca == kNone   ? 1
                  : cb == kNone ? -1
                                : compareIgnoringCase(*before_[ca].name, *after_[cb].name);
      compare(order <= 0 ? ca : kNone, order >= 0 ? cb : kNone);
      if (order <= 0) ca = nextSibling(before_, a, ca);
      if (order >= 0) cb = nextSibling(after_, b, cb);
    }
    pathA_.resize(lengthA);
    pathB_.resize(lengthB);
  }

  void report(size_t a, size_t b) {
    // A key keeps the case it has now; a removed one, the case it had.
    const std::string& path = b != kNone ? pathB_ : pathA_;
    const RegistryValues* before = a == kNone ? nullptr : before_[a].values;
    const RegistryValues* after = b == kNone ? nullptr : after_[b].values;
    // The key of a value shown another way comes and goes with it.
    RegistryValues keptBefore, keptAfter;
    bool holdsIgnored = false;
    for (const IgnoredValue& i : ignored_) {
      holdsIgnored = holdsIgnored || equalsIgnoringCase(i.keyPath, path);
    }
    if (holdsIgnored) {
      before = before ? withoutIgnored(*before, path, &keptBefore) : nullptr;
      after = after ? withoutIgnored(*after, path, &keptAfter) : nullptr;
    }
    std::vector<std::string> lines;
    // A new key that only leads to newer ones (SOFTWARE\QEL on the way to
    // SOFTWARE\QEL\Driver) is implied by them.
    if (a == kNone && !holdsIgnored && !(firstChild(after_, b) != kNone && after->empty())) {
      lines.push_back("key added");
    }
    if (b == kNone && !holdsIgnored) lines.push_back("key removed");
    appendValueChanges(before, after, &lines);
    if (!lines.empty()) changes_.push_back({path, std::move(lines)});
  }

  const RegistryValues* withoutIgnored(const RegistryValues& values, const std::string& path,
                                       RegistryValues* kept) const {
    for (const RegistryValue& v : values) {
      bool skip = false;
      for (const IgnoredValue& i : ignored_) {
        skip = skip || (equalsIgnoringCase(i.keyPath, path) && equalsIgnoringCase(i.name, v.name));
      }
      if (!skip) kept->put(v.name, v.type, v.data);
    }
    return kept;
  }

  static void appendName(const std::string& name, std::string* path) {
    if (!path->empty()) path->push_back('\\');
    path->append(name);
  }

  static size_t firstChild(const std::vector<Node>& nodes, size_t at) {
    return nodes[at].end > at + 1 ? at + 1 : kNone;
  }

  static size_t nextSibling(const std::vector<Node>& nodes, size_t parent, size_t at) {
    return nodes[at].end < nodes[parent].end ? nodes[at].end : kNone;
  }

  const std::vector<Node> before_, after_;
  const std::vector<IgnoredValue>& ignored_;
  std::string pathA_, pathB_;  // the paths of the keys compared, as each store has them
  std::vector<KeyChanges> changes_;
};

}  // namespace

std::vector<KeyChanges> registryChanges(const RegistryStore& before, const RegistryStore& after,
                                        const std::vector<IgnoredValue>& ignored) {
  return Comparison(before, after, ignored).run();
}

}  // namespace zv
