#include "platform/registry_values.h"

#include <cstddef>

#include "base/strings.h"

namespace zv {

namespace {

// Up to this many values a key has no index.
constexpr size_t kUnindexed = 16;

constexpr size_t kNone = static_cast<size_t>(-1);

}  // namespace

size_t RegistryValues::position(const std::string& name) const {
  if (index_) {
    auto it = index_->find(upperCased(name));
    return it == index_->end() ? kNone : it->second;
  }
  for (size_t i = 0; i < values_.size(); ++i) {
    if (equalsIgnoringCase(values_[i].name, name)) return i;
  }
  return kNone;
}

const RegistryValue* RegistryValues::find(const std::string& name) const {
  size_t at = position(name);
  return at == kNone ? nullptr : &values_[at];
}

bool RegistryValues::put(const std::string& name, uint32_t type, const std::string& data) {
  size_t at = position(name);
  if (at != kNone) {
    RegistryValue& v = values_[at];
    if (v.type == type && v.data == data) return false;
    v.type = type;
    v.data = data;
    return true;
  }
  values_.push_back(RegistryValue{name, type, data});
  if (index_) {
    index_->emplace(upperCased(name), values_.size() - 1);
  } else if (values_.size() > kUnindexed) {
    index_ = std::make_unique<std::unordered_map<std::string, size_t>>();
    for (size_t i = 0; i < values_.size(); ++i) index_->emplace(upperCased(values_[i].name), i);
  }
  return true;
}

bool RegistryValues::erase(const std::string& name) {
  size_t at = position(name);
  if (at == kNone) return false;
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(at));
  if (index_) {
    index_->erase(upperCased(name));
    for (auto& entry : *index_) {
      if (entry.second > at) --entry.second;
    }
  }
  return true;
}

void RegistryValues::clear() {
  values_.clear();
  index_.reset();
}

}  // namespace zv
