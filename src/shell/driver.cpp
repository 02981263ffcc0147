// The run from start to exit: window, file names, catalog, product, switches,
// then install, compress or decompress, then release and the final loop.
#include <cstdio>
#include <memory>
#include <new>

#include "base/error.h"
#include "engine/data_file.h"
#include "engine/nls_class.h"
#include "files/compressed_file.h"
#include "files/config_data.h"
#include "files/path.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "platform/trace.h"
#include "shell/command_line.h"
#include "shell/critical_error.h"
#include "shell/log_window.h"
#include "shell/product_location.h"
#include "shell/program.h"
#include "shell/run_settings.h"
#include "shell/window_trace.h"

namespace zv {

namespace {

const char kCompiledFormat[] = "Compiled: %s %s\n";

// What the window says instead of the success line when entries reported
// errors; a fixed text, as the catalog has no message for it.
std::string incompleteText(int errors) {
  return "The patch was not installed completely: " + std::to_string(errors) +
         (errors == 1 ? " error was reported." : " errors were reported.");
}

// Creates one of the driver's objects; a failed allocation is a critical
// error recording the request.
template <typename T, typename... Args>
std::unique_ptr<T> create(int line, Args&&... args) {
  T* object = new (std::nothrow) T(std::forward<Args>(args)...);
  if (!object)
    throw Error(ErrorCode::kNoMemory, static_cast<unsigned>(sizeof(T)), kUnitShell, line);
  return std::unique_ptr<T>(object);
}

class Driver {
 public:
  explicit Driver(Platform& platform) : platform_(platform), trace_(window_) {}
  ~Driver() { setTraceOutput(nullptr); }
  int run(int showState);

 private:
  int work();
  int compressOrDecompress(ConfigData& config);
  void complete();
  void releaseProfiles();
  void releaseCatalog();
  void release();

  Platform& platform_;
  LogWindow window_;
  WindowTrace trace_;
  CommandLine commandLine_;
  ResponseSettings response_;
  int closeAtEnd_ = 0;
  std::unique_ptr<NLSClass> nls_;
  std::unique_ptr<ConfigData> config_;
  std::unique_ptr<DataFile> dataFile_;
};

int Driver::run(int showState) {
  if (!platform_.createLogWindow(showState)) return 0;
  commandLine_ = parseCommandLine(platform_.commandLine());
  platform_.setLogWindowClient(&window_);
  setTraceOutput(&trace_);
  try {
    int result = 0;
    if (!commandLine_.tooLong.empty()) {
      // Cutting a path would install to or read from the wrong place.
      TracePrint(1, "Unable to start: %s is longer than 259 characters.\n",
                 commandLine_.tooLong.c_str());
    } else {
      try {
        result = work();
      } catch (const Error& error) {
        ReportCriticalError(error);
        result = 0;
      }
    }
    if (result != 0) {
      complete();
    } else {
      release();
    }
  } catch (const WindowClosed&) {
    // The user closed the window while work went on: the work ends here,
    // and with the window gone so does the process.
    release();
    return 0;
  }
  if (closeAtEnd_ || response_.cidClose) platform_.closeLogWindow();
  return platform_.messageLoop();
}

int Driver::work() {
  nls_ = create<NLSClass>(__LINE__, commandLine_.catalogName);
  std::string failure;
  if (!nls_->LoadCatalog(&failure)) {
    // Before the catalog there is no other place for it.
    std::fprintf(stderr, "%c\r\n%s\r\n\r\n", 7, failure.c_str());
    TracePrint(1, "Unable to Load NLS Messages :  %s\n", commandLine_.catalogName.c_str());
    return 0;
  }
  window_.attach(nls_.get());
  std::string windowsDir;
  if (!platform_.windowsDirectory(&windowsDir)) {
    TracePrint(1, "%s\n", nls_->MessageText(Msg::kNoWindowsDir).c_str());
    return 0;
  }
  config_ = LocateProduct(windowsDir);
  if (!config_)
    throw Error(ErrorCode::kNoMemory, static_cast<unsigned>(sizeof(ConfigData)), kUnitShell,
                __LINE__);
  config_->setProgramDir(commandLine_.programDir);
  if (commandLine_.notInteractive) config_->setInteractive(0);
  if (commandLine_.verboseTrace) config_->setDebug(1);

  if (commandLine_.compress || commandLine_.decompress) return compressOrDecompress(*config_);

  readDefinitionSettings(commandLine_, *config_, *nls_);
  response_ = readResponseSettings(commandLine_.responseName, *config_);
  closeAtEnd_ = response_.cid != 0;

  TracePrint(0, "%s %s\n", nls_->MessageText(Msg::kBanner).c_str(), "");
  if (config_->debug()) {
    TracePrint(0, kCompiledFormat, __DATE__, __TIME__);
    TracePrint(0, "NLSFile : %s\n", commandLine_.catalogName.c_str());
    TracePrint(0, "INFFile : %s\n", commandLine_.definitionName.c_str());
    TracePrint(0, "RSPFile : %s\n", commandLine_.responseName.c_str());
  }
  dataFile_ = create<DataFile>(__LINE__, commandLine_.definitionName, config_.get(), nls_.get());
  if (response_.cidInstall) return dataFile_->install();
  int answer = askUser(nls_->MessageText(Msg::kInstallQuestion),
                       nls_->MessageText(Msg::kInstallCaption), kMbYesNo);
  return answer == kIdYes ? dataFile_->install() : 0;
}

int Driver::compressOrDecompress(ConfigData& config) {
  const std::string& workFile = commandLine_.workFile;
  bool compress = commandLine_.compress;
  std::string output = compress
                           ? replaceExtension(workFile, compressedName(pathExtension(workFile)))
                           : pathDriveDir(workFile);
  if (config.debug()) {
    TracePrint(0, kCompiledFormat, __DATE__, __TIME__);
    TracePrint(0, "CMPFile : %s\n", workFile.c_str());
    TracePrint(0, compress ? "RSPFile : %s\n" : "INFFile : %s\n", output.c_str());
  }
  int done;
  if (compress) {
    TracePrint(0, "\nCompressing %s...\n", workFile.c_str());
    done = compressFile(workFile, output, config.debug());
  } else {
    TracePrint(0, "\nDecompressing %s...\n", workFile.c_str());
    // Under the name stored in it, beside it.
    done = decompressFile(workFile, output, false, config.debug());
  }
  if (done) {
    TracePrint(0, "Completed!");
    askUser("Completed!", compress ? "Compression" : "Decompression", kMbOk);
    if (!config.debug()) closeAtEnd_ = 1;
  }
  return 0;
}

// After an install: the success line (or, when entries reported errors, the
// fixed text that says so), the settings written back, then the restart
// (asked, or unattended) or the completion box.
void Driver::complete() {
  const int errors = dataFile_->errorCount();
  const std::string incomplete = errors != 0 ? incompleteText(errors) : "";
  if (errors != 0) {
    TracePrint(0, "%s\n", incomplete.c_str());
  } else {
    TracePrint(0, "%s\n", nls_->MessageText(Msg::kInstalled).c_str());
  }
  // The settings, with the record of the installed patch, are on disk
  // before anything else happens.
  dataFile_.reset();
  releaseProfiles();
  bool restart = false;
  if (config_->rebootNeeded()) {
    TracePrint(0, "%s\n", nls_->MessageText(Msg::kRestartNeeded).c_str());
    restart = response_.cidReboot != 0 ||
              askUser(nls_->MessageText(Msg::kRestartQuestion),
                      nls_->MessageText(Msg::kRestartCaption), kMbYesNo) == kIdYes;
  } else if (!response_.cidInstall) {
    if (errors != 0) {
      askUser(incomplete, kErrorCaption, kMbOk);
    } else {
      askUser(nls_->MessageText(Msg::kCompleteText), nls_->MessageText(Msg::kCompleteCaption),
              kMbOk);
    }
  }
  const OsClass osClass = config_->osClass();
  // The trace log is complete before Windows goes down.
  releaseCatalog();
  if (restart && osClass == OsClass::kNt) platform_.enableShutdownPrivilege();
  config_.reset();
  if (restart) platform_.restartWindows();
}

void Driver::releaseProfiles() {
  if (!config_) return;
  config_->setLocationProfile(nullptr);
  config_->setProductProfile(nullptr);
}

void Driver::releaseCatalog() {
  window_.attach(nullptr);
  nls_.reset();
}

// The objects that exist, in their release order.
void Driver::release() {
  dataFile_.reset();
  releaseProfiles();
  config_.reset();
  releaseCatalog();
}

}  // namespace

int runProgram(int showState) {
  Driver driver(Platform::current());
  return driver.run(showState);
}

}  // namespace zv
