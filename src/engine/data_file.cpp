#include "engine/data_file.h"

#include <cctype>
#include <new>

#include "base/error.h"
#include "base/strings.h"
#include "base/windows_path.h"
#include "engine/nls_class.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace zv {

namespace {

const char kPatchSection[] = "Patch";
const char kInstallSection[] = "Install";
constexpr size_t kRecordLimit = 255;

std::string recordKey(int index) {
  return "Patch" + std::to_string(index);
}

}  // namespace

DataFile::DataFile(const std::string& profileName, ConfigData* settings, NLSClass* catalog)
    : settings_(settings), catalog_(catalog), profileName_(profileName) {
  if (settings_->debug()) TracePrint(0, "Opening installation profile\n");
  Profile* profile = new (std::nothrow) Profile(profileName_, Profile::kFileMode);
  if (!profile)
    throw Error(ErrorCode::kNoMemory, static_cast<unsigned>(sizeof(Profile)), kUnitEngine,
                __LINE__);
  profile_.reset(profile);
  if (settings_->debug()) TracePrint(0, "Installation profile open\n");
}

DataFile::~DataFile() = default;

int DataFile::install() {
  ConfigData& s = *settings_;
  if (s.debug()) TracePrint(0, "Processing installation profile\n");
  std::string name = profile_->getString(kPatchSection, "Patch", "");
  if (s.debug()) TracePrint(0, "Checking patch\n");
  if (name.size() > kRecordLimit) {
    // A cut name would record, and later recognise, another patch.
    countError();
    TracePrint(1, "\n%s\n", catalog_->MessageText(Msg::kInvalidLine).c_str());
    return 0;
  }
  int nextPatch = 0;
  if (!name.empty() && isPatchInstalled(name, &nextPatch) == 1 && !s.allowReinstall()) {
    if (s.interactive()) {
      TracePrint(0, "\n%s\n", catalog_->MessageText(Msg::kAlreadyInstalled).c_str());
      if (!s.cid()) {
        askUser(catalog_->MessageText(Msg::kNothingInstalledText),
                catalog_->MessageText(Msg::kNothingInstalledCaption), kMbOk);
      }
    }
    return 0;
  }
  if (!name.empty() && s.debug()) TracePrint(0, "Next Patch: %d\n", nextPatch);
  if (s.debug()) TracePrint(0, "Checking Conditions\n");
  if (installPatches() == 0) return 0;
  // A patch installed in part is not recorded: the corrected package, or
  // the same one run again, must still be accepted.
  if (errors_ == 0 && !name.empty() &&
      (s.osClass() == OsClass::kWindows9x || s.osClass() == OsClass::kNt))
    recordPatch(SettingsProfile::kLocation, nextPatch, name);
  return 1;
}

int DataFile::isPatchInstalled(const std::string& name, int* nextPatch) {
  Profile* location = settings_->locationProfile();
  for (*nextPatch = 0;; ++*nextPatch) {
    std::string record =
        location ? location->getString(kInstallSection, recordKey(*nextPatch), "") : "";
    if (record.empty()) {
      if (settings_->debug()) TracePrint(0, "Patch *NOT* already installed\n");
      return 0;
    }
    if (startsWithIgnoringCase(record, name)) {
      if (settings_->debug()) TracePrint(0, "Patch already installed\n");
      return 1;
    }
  }
}

void DataFile::recordPatch(SettingsProfile target, int index, const std::string& name) {
  Profile* profile = target == SettingsProfile::kLocation ? settings_->locationProfile()
                                                          : settings_->productProfile();
  if (profile) profile->setValue(kInstallSection, recordKey(index).c_str(), name.c_str());
}

int DataFile::installPatches() {
  ConfigData& s = *settings_;
  int applied = 0, ended = 0;
  for (int n = 0;; ++n) {
    std::string key = "Condition" + std::to_string(n) + "=";
    int header = profile_->findSection(kPatchSection);
    if (header < 0) {
      TracePrint(1, "Missing DAT file or DAT file is missing PATCH section.\n");
      return 0;
    }
    int lines = 0, held = 0;
    std::string section;
    for (size_t i = static_cast<size_t>(header) + 2;; ++i) {
      const std::string* line = profile_->getLine(i);
      if (!line || Profile::isSectionHeader(*line)) break;
      if (!startsWithIgnoringCase(*line, key)) continue;
      ++lines;
      std::string buffer = *line;
      if (testCondition(buffer) == 0) break;
      if (++held == 1) section = buffer;
    }
    if (lines == 0) break;
    if (held == lines) ++(processSection(section) ? applied : ended);
  }
  if (applied != 0) return 1;
  // A section that ended before its work has said why.
  if (ended != 0) return 0;
  if (s.interactive()) {
    TracePrint(0, "\n%s\n%s\n", catalog_->MessageText(Msg::kNothingApplies).c_str(),
               catalog_->MessageText(Msg::kNothingChanged).c_str());
    if (!s.cid()) {
      askUser(catalog_->MessageText(Msg::kNothingInstalledText),
              catalog_->MessageText(Msg::kNothingInstalledCaption), kMbOk);
    }
  }
  return 0;
}

int DataFile::setWorkDirs(WorkBase base) {
  if (base != WorkBase::kCurrentArchive) {
    const std::string& dir =
        base == WorkBase::kWindowsDir ? settings_->windowsDir() : settings_->productDir();
    archiveDir_ = withBackslash(dir) + "ARCHIVE";
  }
  tempDir_ = withBackslash(archiveDir_) + "TEMP";
  Platform& platform = Platform::current();
  for (const std::string* dir : {&archiveDir_, &tempDir_}) {
    if (platform.exists(*dir) || platform.createDir(*dir)) continue;
    countError();
    if (settings_->interactive())
      TracePrint(1, "\n%s %s\n", catalog_->MessageText(Msg::kWorkDirFailed).c_str(), dir->c_str());
    return 0;
  }
  return 1;
}

}  // namespace zv
