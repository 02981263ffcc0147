#include "tools/diff/machine_snapshot.h"

#include <algorithm>
#include <filesystem>

#include "simulator/machine_lock.h"

namespace fs = std::filesystem;

namespace zv {

namespace {

// Whether path is dir or lies below it, once both are resolved.
bool isWithin(const fs::path& path, const fs::path& dir) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(path, ec);
  fs::path d = fs::weakly_canonical(dir, ec);
  auto mismatch = std::mismatch(d.begin(), d.end(), p.begin(), p.end());
  return mismatch.first == d.end();
}

bool copyTree(const fs::path& from, const fs::path& to, std::string* error) {
  std::error_code ec;
  fs::create_directories(to, ec);
  for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    fs::path target = to / fs::relative(it->path(), from, ec);
    if (ec) break;
    fs::file_status status = it->symlink_status(ec);
    if (ec) break;
    if (fs::is_directory(status)) {
      fs::create_directory(target, ec);
    } else if (fs::is_symlink(status)) {
      fs::copy_symlink(it->path(), target, ec);
    } else if (fs::is_regular_file(status)) {
      // The copy keeps the time: a file whose time alone changes later is
      // told apart from one left alone.
      fs::file_time_type time = fs::last_write_time(it->path(), ec);
      if (!ec && fs::copy_file(it->path(), target, ec)) fs::last_write_time(target, time, ec);
    }
    if (ec) {
      *error = "cannot copy " + it->path().string() + ": " + ec.message();
      return false;
    }
  }
  if (ec) *error = "cannot read " + from.string() + ": " + ec.message();
  return !ec;
}

}  // namespace

bool saveSnapshot(const std::string& machineDir, const std::string& snapshotDir,
                  std::string* error) {
  std::error_code ec;
  if (!fs::is_directory(machineDir, ec)) {
    *error = "no machine directory " + machineDir;
    return false;
  }
  if (fs::exists(snapshotDir, ec) &&
      (!fs::is_directory(snapshotDir, ec) || !fs::is_empty(snapshotDir, ec))) {
    *error = snapshotDir + " exists and is not an empty directory";
    return false;
  }
  if (isWithin(snapshotDir, machineDir)) {
    *error = "the snapshot " + snapshotDir + " cannot be inside the machine " + machineDir;
    return false;
  }
  // Not while a run changes the machine: the copy would mix two states.
  MachineLock lock;
  return lock.acquire(machineDir, error) && copyTree(machineDir, snapshotDir, error);
}

}  // namespace zv
