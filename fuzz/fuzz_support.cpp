#include "fuzz_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/trace.h"

namespace zv::fuzz {

namespace {

class DiscardTrace : public TraceOutput {
 public:
  void print(bool, const std::string&) override {}
};

// Runs at exit; a crashing process leaves its directory for inspection.
void removeScratch() {
  std::error_code ec;
  std::filesystem::remove_all(scratchDir(), ec);
}

bool hasDrive(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

}  // namespace

const std::string& scratchDir() {
  // Never destroyed: the exit handler still needs it.
  static const std::string* dir = [] {
    // In memory when possible: the machine syncs every registry write.
    // ZV_FUZZ_SCRATCH lets a script collect what crashed processes leave.
    const char* given = std::getenv("ZV_FUZZ_SCRATCH");
    std::string base = given && *given                 ? given
                       : access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                                       : "/tmp";
    std::string pattern = base + "/zvfuzz-XXXXXX";
    if (!mkdtemp(&pattern[0])) {
      std::perror("mkdtemp");
      std::abort();
    }
    const std::string made = pattern;
    std::filesystem::create_directories(made + "/TEMP");
    // SUBST stages its work in TEMP; keep it inside the scratch directory.
    setenv("TEMP", (made + "/TEMP").c_str(), 1);
    std::atexit(removeScratch);
    return new std::string(made);
  }();
  return *dir;
}

void silenceTrace() {
  static DiscardTrace trace;
  setTraceOutput(&trace);
}

std::string SandboxPlatform::confine(const std::string& path) {
  if (hasDrive(path)) return path;
  const std::string temp = scratchDir() + "/TEMP";
  if (path.compare(0, temp.size(), temp) == 0 && path.find("..") == std::string::npos) {
    return path;
  }
  return "C:\\" + path;
}

Machine::Machine(const std::string& name) : hostDir_(scratchDir() + "/" + name) {
  std::error_code ec;
  std::filesystem::remove_all(hostDir_, ec);
  std::string error;
  machine_ = SimulatedMachine::openMachine(hostDir_, &error);
  if (!machine_) {
    std::fprintf(stderr, "fuzz: cannot open the machine: %s\n", error.c_str());
    std::abort();
  }
  machine_->setScreenStreams(discard_, discard_, in_, "", false);
  sandbox_ = std::make_unique<SandboxPlatform>(*machine_);
  previous_ = Platform::setCurrent(sandbox_.get());
}

Machine::~Machine() {
  Platform::setCurrent(previous_);
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::unique_ptr<File> f = Platform::current().open(path, FileMode::kWrite);
  if (!f || (size > 0 && f->write(data, size) != static_cast<int64_t>(size))) {
    std::fprintf(stderr, "fuzz: cannot write %s\n", path.c_str());
    std::abort();
  }
}

void writeFile(const std::string& path, const std::string& bytes) {
  writeFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string readFile(const std::string& path) {
  std::string bytes;
  std::unique_ptr<File> f = Platform::current().open(path, FileMode::kRead);
  if (!f) return bytes;
  char buffer[4096];
  for (int64_t n; (n = f->read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  return bytes;
}

}  // namespace zv::fuzz
