#include "simulator/simulated_machine.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "base/strings.h"
#include "base/windows_path.h"
#include "platform/registry_names.h"
#include "simulator/machine_lock.h"
#include "simulator/posix_file.h"
#include "simulator/tool_name.h"

namespace zv {

namespace {

const char kEmptyRegistry[] = "REGEDIT4\r\n\r\n";

// Where a delayed move names a file: as given with a drive letter, else the
// absolute host path, as the system resolves it when the call is made.
std::string absoluteForRestart(const std::string& path) {
  bool hasDrive = path.size() >= 2 && path[1] == ':';
  if (hasDrive || path.empty() || path[0] == '\\' || path[0] == '/') return path;
  return std::filesystem::current_path().string() + "/" + path;
}

}  // namespace

SimulatedMachine::SimulatedMachine(const std::string& dir)
    : dir_(dir), paths_(dir), events_(dir + "/events.log") {
  const char* answers = std::getenv("ZVPATCH_ANSWERS");
  screen_ = std::make_unique<TerminalScreen>(events_, answers ? answers : "", isatty(0) != 0,
                                             std::cout, std::cerr, std::cin);
}

std::unique_ptr<SimulatedMachine> SimulatedMachine::openMachine(const std::string& dir,
                                                                std::string* error) {
  std::error_code ec;
  bool fresh = !std::filesystem::exists(dir, ec);
  if (fresh && (std::filesystem::create_directories(dir, ec), ec)) {
    *error = "cannot create the machine " + dir + ": " + ec.message();
    return nullptr;
  }
  std::unique_ptr<SimulatedMachine> machine(new SimulatedMachine(dir));
  if (!machine->lock_.acquire(dir, error)) return nullptr;
  // Another run may have made it while this one waited for the lock.
  if (!std::filesystem::exists(dir + "/machine.ini", ec) && fresh) {
    MachineConfig defaults;
    std::string windowsDir = MachinePaths(dir).toHost(defaults.windowsDir);
    std::filesystem::create_directories(windowsDir + "/TEMP", ec);
    if (ec || !writeHostFileWhole(dir + "/machine.ini", withCrLf(defaultMachineIni()), error) ||
        !writeHostFileWhole(dir + "/registry.reg", kEmptyRegistry, error)) {
      if (ec) *error = "cannot create the machine " + dir + ": " + ec.message();
      return nullptr;
    }
  }
  // What a run that was killed left half-written is nobody's any more.
  removeStaleTemporaryFiles(dir);
  std::string text;
  if (readHostFile(dir + "/machine.ini", &text) &&
      !parseMachineConfig(text, dir + "/machine.ini", &machine->config_, error)) {
    return nullptr;
  }
  if (readHostFile(dir + "/registry.reg", &text) &&
      !machine->registry_.parse(text, dir + "/registry.reg", error)) {
    return nullptr;
  }
  machine->savedChangeCount_ = machine->registry_.changeCount();
  if (!machine->config_.windowsDir.empty())
    machine->paths_.setSystemDrive(machine->config_.windowsDir[0]);
  if (machine->config_.versionInfo.platformId == 1) {
    // The Windows 95/98/Me family: every long name has its short alias.
    machine->shortNames_ = std::make_unique<ShortNames>(dir);
    if (readHostFile(dir + "/" + kShortNamesFile, &text) &&
        !machine->shortNames_->load(text, error)) {
      return nullptr;
    }
    machine->paths_.setShortNames(machine->shortNames_.get());
  }
  return machine;
}

std::string SimulatedMachine::defaultDir() {
  const char* dir = std::getenv("ZVPATCH_MACHINE");
  const char* home = std::getenv("HOME");
  return dir && *dir ? dir : std::string(home ? home : ".") + "/.zvpatch";
}

std::unique_ptr<SimulatedMachine> SimulatedMachine::openDefault() {
  std::string error;
  std::unique_ptr<SimulatedMachine> machine = openMachine(defaultDir(), &error);
  if (!machine)
    std::cerr << toolName() << ": the simulated machine cannot start: " << error << "\n";
  return machine;
}

void SimulatedMachine::setCommandLine(const std::string& commandLine) {
  commandLine_ = commandLine;
  std::vector<std::string> words;
  std::string word;
  for (char c : commandLine + ' ') {
    if (c != ' ') {
      word += c;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  if (words.empty()) return;
  auto directoryOf = [](const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  };
  paths_.handOver(directoryOf(words[0]));
  // The values of the switches that take a file (-p, -l, -c, -x): attached
  // to the switch, or the next word. Other switches may start with "/" too.
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w.size() < 2 || (w[0] != '-' && w[0] != '/')) continue;
    if (std::string("pPlLcCxX").find(w[1]) == std::string::npos) continue;
    std::string value = w.size() > 2 ? w.substr(2) : i + 1 < words.size() ? words[++i] : "";
    if (value.empty()) continue;
    paths_.handOver(value);
    paths_.handOver(directoryOf(value));
  }
  if (const char* temp = std::getenv("TEMP")) {
    if (*temp) paths_.handOver(temp);
  }
}

void SimulatedMachine::setScreenStreams(std::ostream& out, std::ostream& err, std::istream& in,
                                        const std::string& answers, bool interactive) {
  screen_ = std::make_unique<TerminalScreen>(events_, answers, interactive, out, err, in);
}

// ---- files

std::unique_ptr<File> SimulatedMachine::open(const std::string& path, FileMode mode) {
  std::string host = paths_.toHost(path);
  bool isNew = mode != FileMode::kRead && shortNames_ && ::access(host.c_str(), F_OK) != 0;
  std::unique_ptr<File> file = openHostFile(host, mode);
  if (file && isNew) shortNames_->added(host);
  if (file && mode != FileMode::kRead) paths_.added(host);
  return file;
}

bool SimulatedMachine::stat(const std::string& path, FileStatus* status) {
  struct stat st;
  if (::stat(paths_.toHost(path).c_str(), &st) != 0) return false;
  status->size = st.st_size;
  status->modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  status->isDirectory = S_ISDIR(st.st_mode);
  return true;
}

bool SimulatedMachine::exists(const std::string& path) {
  return ::access(paths_.toHost(path).c_str(), F_OK) == 0;
}

bool SimulatedMachine::createDir(const std::string& path) {
  std::string host = paths_.toHost(path);
  if (::mkdir(host.c_str(), 0777) != 0) return false;
  noteAdded(host);
  return true;
}

bool SimulatedMachine::listDir(const std::string& path, std::vector<DirEntry>* entries) {
  std::string host = paths_.toHost(path);
  DIR* d = ::opendir(host.c_str());
  if (!d) return false;
  entries->clear();
  while (struct dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    std::string full = host + "/" + name;
    bool isLink = ::lstat(full.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    bool isDir = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    entries->push_back({name, isDir, isLink});
  }
  ::closedir(d);
  // In name order, as an NTFS volume lists them: the host's own order
  // differs from one file system to the next, and a run must come out the
  // same on every host.
  std::sort(entries->begin(), entries->end(), [](const DirEntry& a, const DirEntry& b) {
    return compareIgnoringCase(a.name, b.name) < 0;
  });
  return true;
}

bool SimulatedMachine::deleteFile(const std::string& path) {
  std::string host = paths_.toHost(path);
  struct stat st;
  if (::lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (::unlink(host.c_str()) != 0) return false;
  noteRemoved(host);
  return true;
}

bool SimulatedMachine::renameReplacing(const std::string& from, const std::string& to) {
  std::string source = paths_.toHost(from), target = paths_.toHost(to);
  if (::rename(source.c_str(), target.c_str()) != 0) return false;
  noteRemoved(source);
  noteAdded(target);
  return true;
}

bool SimulatedMachine::renameNoReplace(const std::string& from, const std::string& to) {
  std::string source = paths_.toHost(from), target = paths_.toHost(to);
  bool done =
      ::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0;
  // A file system without RENAME_NOREPLACE: a hard link fails as well when
  // the target exists.
  if (!done && (errno == EINVAL || errno == ENOSYS))
    done = ::link(source.c_str(), target.c_str()) == 0 && ::unlink(source.c_str()) == 0;
  if (!done) return false;
  noteRemoved(source);
  noteAdded(target);
  return true;
}

bool SimulatedMachine::shortPath(const std::string& path, std::string* shortForm) {
  std::string host = paths_.toHost(path);
  if (host.empty() || ::access(host.c_str(), F_OK) != 0) return false;
  bool hasDrive = path.size() >= 2 && path[1] == ':';
  if (!shortNames_ || !hasDrive) {
    *shortForm = path;
    return true;
  }
  // Each component below the drive by its short name.
  std::string drive = paths_.driveDir(path[0]);
  std::string form = path.substr(0, 2);
  std::string dir = drive;
  size_t start = drive.size() + 1;
  while (start <= host.size()) {
    size_t slash = host.find('/', start);
    if (slash == std::string::npos) slash = host.size();
    std::string name = host.substr(start, slash - start);
    if (!name.empty()) {
      form += "\\" + shortNames_->shortNameOf(dir, name);
      dir += "/" + name;
    }
    start = slash + 1;
  }
  if (form.size() == 2) form += "\\";
  *shortForm = form;
  return true;
}

void SimulatedMachine::noteAdded(const std::string& hostPath) {
  paths_.added(hostPath);
  if (shortNames_) shortNames_->added(hostPath);
}

void SimulatedMachine::noteRemoved(const std::string& hostPath) {
  paths_.removed(hostPath);
  if (shortNames_) shortNames_->removed(hostPath);
}

// The host's TEMP when it is set; otherwise the machine's own, as Windows
// sets it: the TEMP folder of the Windows directory (a TEMP of "\" would
// mean the root of the host).
bool SimulatedMachine::tempVariable(std::string* value) {
  if (const char* temp = std::getenv("TEMP")) {
    *value = temp;
    return true;
  }
  if (config_.windowsDir.empty()) return false;
  *value = withBackslash(config_.windowsDir) + "TEMP";
  return true;
}

uint32_t SimulatedMachine::processId() {
  return static_cast<uint32_t>(::getpid());
}

// ---- registry

long SimulatedMachine::saveRegistry(long result) {
  if (registry_.changeCount() == savedChangeCount_) return result;
  std::string error;
  if (!writeHostFileWhole(dir_ + "/registry.reg", withCrLf(registry_.serialize()), &error)) {
    std::cerr << toolName() << ": " << error << "\n";
    return kErrorRegistryIoFailed;
  }
  savedChangeCount_ = registry_.changeCount();
  return result;
}

long SimulatedMachine::regOpenKey(RegKey parent, const std::string& subkey, RegAccess,
                                  RegKey* result) {
  return registry_.openKey(parent, subkey, result);
}

long SimulatedMachine::regCreateKey(RegKey parent, const std::string& subkey, RegKey* result) {
  return saveRegistry(registry_.createKey(parent, subkey, result));
}

long SimulatedMachine::regQueryValue(RegKey key, const std::string& name, uint32_t* type,
                                     void* data, uint32_t* size) {
  return registry_.queryValue(key, name, type, data, size);
}

long SimulatedMachine::regSetString(RegKey key, const std::string& name, const std::string& value) {
  return saveRegistry(registry_.setValue(key, name, kRegSz, value + '\0'));
}

long SimulatedMachine::regDeleteValue(RegKey key, const std::string& name) {
  return saveRegistry(registry_.deleteValue(key, name));
}

long SimulatedMachine::regDeleteKey(RegKey key, const std::string& subkey) {
  return saveRegistry(registry_.deleteKey(key, subkey));
}

long SimulatedMachine::regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) {
  return registry_.enumKey(key, index, name, nameSize);
}

long SimulatedMachine::regQuerySubkeyCount(RegKey key, uint32_t* count) {
  return registry_.querySubkeyCount(key, count);
}

long SimulatedMachine::regCloseKey(RegKey key) {
  return registry_.closeKey(key);
}

// ---- system

bool SimulatedMachine::windowsDirectory(std::string* dir) {
  if (config_.windowsDir.empty()) return false;
  *dir = config_.windowsDir;
  return true;
}

bool SimulatedMachine::getVersion(VersionInfo* info) {
  *info = config_.versionInfo;
  return true;
}

bool SimulatedMachine::moveAtRestart(const std::string& source, const std::string* destination) {
  RegKey key;
  if (registry_.createKey(kHkeyLocalMachine, kSessionManagerKey, &key) != kErrorSuccess)
    return false;
  std::vector<std::string> moves;
  uint32_t type = 0, size = 0;
  if (registry_.queryValue(key, kPendingMovesValue, &type, nullptr, &size) == kErrorSuccess) {
    std::string data(size, '\0');
    registry_.queryValue(key, kPendingMovesValue, &type, &data[0], &size);
    moves = splitMultiString(data);
  }
  moves.push_back("\\??\\" + absoluteForRestart(source));
  moves.push_back(destination ? "!\\??\\" + absoluteForRestart(*destination) : "");
  long result = registry_.setValue(key, kPendingMovesValue, kRegMultiSz, joinMultiString(moves));
  registry_.closeKey(key);
  return saveRegistry(result) == kErrorSuccess;
}

bool SimulatedMachine::restartWindows() {
  events_.restart(privilegeEnabled_);
  restartRequested_ = true;
  return true;
}

bool SimulatedMachine::createLogWindow(int) {
  return true;
}

}  // namespace zv
