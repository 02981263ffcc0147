#include "platform/whole_file.h"

namespace zv {

WholeFileWriter::WholeFileWriter(const std::string& target, const char* prefix)
    : target_(target), prefix_(prefix) {}

WholeFileWriter::~WholeFileWriter() {
  if (!temp_.empty()) Platform::current().deleteFile(temp_);
}

std::unique_ptr<File> WholeFileWriter::create() {
  Platform& platform = Platform::current();
  size_t slash = target_.find_last_of("\\/:");
  std::string dir = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
  std::string name = platform.makeUniqueName(dir + prefix_ + "XXXXXX");
  if (name.empty()) return nullptr;
  std::unique_ptr<File> file = platform.open(name, FileMode::kCreateNew);
  if (file) temp_ = name;
  return file;
}

bool WholeFileWriter::commit(bool replaceExisting) {
  if (temp_.empty()) return false;
  Platform& platform = Platform::current();
  bool done = replaceExisting ? platform.renameReplacing(temp_, target_)
                              : platform.renameNoReplace(temp_, target_);
  if (!done) platform.deleteFile(temp_);
  temp_.clear();
  return done;
}

}  // namespace zv
