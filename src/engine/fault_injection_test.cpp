// Fails one platform call at a time while a section replaces, renames and
// erases files and edits INI files and the registry, and checks that no
// original is lost, no file is left half written and no failure goes
// unreported.
#include <array>
#include <map>
#include <tuple>

#include "base/error.h"
#include "base/strings.h"
#include "base/text_lines.h"
#include "engine/engine_test_fixture.h"
#include "platform/platform_wrapper.h"

namespace zv {
namespace {

enum Kind { kOpen, kOpenWrite, kRead, kWrite, kRename, kSetStamp, kMove, kRegSet, kKinds };
const char* const kKindNames[kKinds] = {"open",          "open for writing", "read",
                                        "write",         "rename",           "setStamp",
                                        "moveAtRestart", "regSetString"};

// Fails call number `failAt` of kind `failKind`, counting from 1.
class FaultyPlatform : public PlatformWrapper {
 public:
  FaultyPlatform(Platform& target, Kind kind, int at)
      : PlatformWrapper(target), failKind(kind), failAt(at) {
    previous_ = Platform::setCurrent(this);
  }
  ~FaultyPlatform() override { Platform::setCurrent(previous_); }
  bool fails(Kind k) { return ++counts[k] == failAt && k == failKind; }

  std::unique_ptr<File> open(const std::string& path, FileMode mode) override;
  bool renameReplacing(const std::string& from, const std::string& to) override {
    return !fails(kRename) && target().renameReplacing(from, to);
  }
  bool moveAtRestart(const std::string& source, const std::string* destination) override {
    return !fails(kMove) && target().moveAtRestart(source, destination);
  }
  long regSetString(RegKey key, const std::string& name, const std::string& value) override {
    return fails(kRegSet) ? kErrorAccessDenied : target().regSetString(key, name, value);
  }

  Kind failKind;
  int failAt;
  std::array<int, kKinds> counts{};

 private:
  Platform* previous_;
};

class FaultyFile : public File {
 public:
  FaultyFile(std::unique_ptr<File> file, FaultyPlatform& owner)
      : file_(std::move(file)), owner_(owner) {}
  int64_t read(void* buffer, size_t count) override {
    return owner_.fails(kRead) ? -1 : file_->read(buffer, count);
  }
  int64_t write(const void* data, size_t count) override {
    return owner_.fails(kWrite) ? -1 : file_->write(data, count);
  }
  bool seekToStart() override { return file_->seekToStart(); }
  bool getStamp(DosStamp* stamp) override { return file_->getStamp(stamp); }
  bool setStamp(const DosStamp& stamp) override {
    return !owner_.fails(kSetStamp) && file_->setStamp(stamp);
  }
  bool close() override { return file_->close(); }

 private:
  std::unique_ptr<File> file_;
  FaultyPlatform& owner_;
};

std::unique_ptr<File> FaultyPlatform::open(const std::string& path, FileMode mode) {
  if (fails(kOpen) || (mode != FileMode::kRead && fails(kOpenWrite))) return nullptr;
  std::unique_ptr<File> file = target().open(path, mode);
  return file ? std::make_unique<FaultyFile>(std::move(file), *this) : nullptr;
}

const std::string kCIni = "[Sec]\r\nold=1\r\n", kZevraIni = "[Zevra]\r\nroot=C:\\PROD\r\n";

// An original, and the places the restart may leave its content in.
struct Original {
  const char* name;
  const char* content;
  std::vector<std::string> places;
};
const std::vector<Original> kOriginals = {
    {"PROD\\A.DLL", "old A", {"PROD\\A.DLL", "PROD\\A.OLD"}},
    {"PROD\\R.TXT", "R", {"PROD\\R.TXT", "PROD\\S.TXT"}},
    {"PROD\\S.TXT", "S", {"PROD\\S.TXT", "PROD\\S.OLD"}},
    {"PROD\\E.TXT", "E", {"PROD\\E.TXT", "PROD\\E.OLD"}},
};

using Files = std::map<std::string, std::string>;  // upper-case relative path: bytes

struct Outcome {
  std::array<int, kKinds> counts{};
  Files files;   // the machine after the run
  Files booted;  // and after the next start, without WININIT.INI and staged copies
  std::string regValue;
  bool reported = false;
};

// One run on a fresh machine.
class Machine : public EngineTest {
 public:
  void TestBody() override {}

  Outcome run(OsClass osClass, Kind kind, int failAt) {
    settings_.setOsClass(osClass);
    write("A.DLL", "new A" + std::string(9000, 'a'));
    write("N.DLL", "new N" + std::string(10000, 'n'));
    for (const Original& o : kOriginals) write(o.name, o.content, 1999);
    write("PROD\\C.INI", kCIni, 1999);
    useSettings(kZevraIni);
    DataFile& e = engine(
        "[S]\r\nFILE1=ZEVRA,A.DLL,,,0,1\r\nFILE2=ZEVRA,N.DLL\r\nRENAME1=ZEVRA,R.TXT,S.TXT,0,1\r\n"
        "ERASE1=ZEVRA,E.TXT,1\r\nINI1=ZEVRA,C.INI,Sec,Key,Val\r\n"
        "INI2=WINDOWS,ZEVRA.INI,Patch,Level,5\r\nREG1=HKCU,Software\\\\Fault,Name,Val\r\n");
    Outcome out;
    {
      FaultyPlatform faulty(tp_.platform(), kind, failAt);
      try {
        e.processSection("S");
      } catch (const Error&) {
        out.reported = true;
      } catch (...) {
        ADD_FAILURE() << "only zv::Error may escape";
      }
      out.counts = faulty.counts;
    }
    for (const std::string& line : trace_.lines) out.reported |= line.rfind("[box] ", 0) == 0;
    collect("", &out.files);
    out.booted = boot(out.files);
    RegKey k;
    char data[64];
    uint32_t type = 0, size = sizeof data;
    if (tp_.platform().regOpenKey(kHkeyCurrentUser, "Software\\Fault", RegAccess::kRead, &k) ==
            kErrorSuccess &&
        tp_.platform().regQueryValue(k, "Name", &type, data, &size) == kErrorSuccess) {
      out.regValue = std::string(data, size - 1);
    }
    return out;
  }

 private:
  // Every file below the scratch directory, by upper-case relative path.
  void collect(const std::string& dir, Files* files) {
    std::vector<DirEntry> entries;
    tp_.platform().listDir(dir.empty() ? tp_.scratchDir() : path(dir), &entries);
    for (const DirEntry& d : entries) {
      const std::string name = (dir.empty() ? "" : dir + "\\") + d.name;
      if (d.isDirectory) {
        collect(name, files);
      } else {
        (*files)[upperCased(name)] = read(name);
      }
    }
  }
  std::string relative(const std::string& windowsPath) const {
    const std::string p = upperCased(windowsPath), root = upperCased(tp_.scratchDir()) + "\\";
    return p.rfind(root, 0) == 0 ? p.substr(root.size()) : p;
  }
  // The files after the next start: the [rename] lines of WININIT.INI, then
  // the delayed moves; a move onto itself changes nothing.
  Files boot(Files files) {
    std::vector<std::pair<std::string, std::string>> ops;  // destination, source
    Profile wininit("", Profile::kFileMode);
    for (const std::string& line : textLines(files["WININIT.INI"], true)) wininit.appendLine(line);
    const int header = wininit.findSection("rename");
    for (size_t n = static_cast<size_t>(header) + 2; header >= 0 && wininit.getLine(n); ++n) {
      const std::string& line = *wininit.getLine(n);
      if (Profile::isSectionHeader(line)) break;
      const size_t eq = line.find('=');
      if (eq != std::string::npos) ops.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    for (const std::string& move : tp_.platform().moves) {
      const size_t arrow = move.find(" -> ");
      ops.emplace_back(move.substr(arrow + 4), move.substr(0, arrow));
    }
    for (const auto& [to, from] : ops) {
      const std::string destination = relative(to), source = relative(from);
      EXPECT_NE(destination, source) << "moved onto itself";
      auto it = files.find(source);
      if (it == files.end() || destination == source) continue;
      if (destination != "NUL") files[destination] = it->second;
      files.erase(source);
    }
    for (auto it = files.begin(); it != files.end();) {
      const bool scratch =
          it->first == "WININIT.INI" || it->first.rfind("PROD\\ARCHIVE\\TEMP\\", 0) == 0;
      it = scratch ? files.erase(it) : std::next(it);
    }
    return files;
  }
};

void checkNothingLost(const Outcome& o, const Outcome& baseline) {
  for (const Original& orig : kOriginals) {
    auto now = o.files.find(orig.name);
    EXPECT_TRUE(now != o.files.end() && now->second == orig.content)
        << orig.name << " changed before the restart";
    bool kept = false;
    for (const std::string& place : orig.places) {
      kept |= o.booted.count(place) && o.booted.at(place) == orig.content;
    }
    EXPECT_TRUE(kept) << orig.name << " is lost at the restart";
  }
  auto n = o.files.find("PROD\\N.DLL");
  EXPECT_TRUE(n == o.files.end() || n->second == baseline.files.at("PROD\\N.DLL"))
      << "a new file left partial";
  // An INI file is its old self, or that and the new key, written whole.
  for (const auto& [file, before, added] : {std::tuple{"PROD\\C.INI", kCIni, "Key=Val\r\n"},
                                            std::tuple{"ZEVRA.INI", kZevraIni, "Level=5\r\n"}}) {
    const std::string& bytes = o.files.at(file);
    EXPECT_TRUE(bytes == before || (bytes.rfind(before, 0) == 0 && bytes.find(added) != bytes.npos))
        << file << " is neither old nor new: " << bytes;
  }
  // A fallback that reaches the same machine after the restart (another
  // staged name, a staged copy instead of a direct one) needs no report.
  EXPECT_TRUE(o.reported || (o.booted == baseline.booted && o.regValue == baseline.regValue))
      << "a failure passed in silence";
}

// Every run is on a fresh in-memory machine, so the states compared are
// alike but for what the failure changed, on both targets.
TEST(FaultInjection, EveryFailedCallLeavesEveryOriginalRecoverableAndIsReported) {
  for (OsClass osClass : {OsClass::kWindows9x, OsClass::kNt}) {
    const Outcome baseline = Machine().run(osClass, kKinds, 0);
    ASSERT_FALSE(baseline.reported) << "the unfailed run succeeds";
    ASSERT_EQ(baseline.files.at("PROD\\N.DLL").size(), 10005u);
    ASSERT_EQ(baseline.regValue, "Val");
    for (int kind = 0; kind < kKinds; ++kind) {
      // WININIT.INI instead of delayed moves on Windows 95 and 98.
      const bool expected = kind != kMove || osClass == OsClass::kNt;
      EXPECT_EQ(baseline.counts[kind] > 0, expected) << kKindNames[kind] << " is never called";
      for (int n = 1; n <= baseline.counts[kind]; ++n) {
        SCOPED_TRACE(std::string(kKindNames[kind]) + " call " + std::to_string(n) + " of " +
                     std::to_string(baseline.counts[kind]) +
                     (osClass == OsClass::kNt ? " on NT" : " on Windows 98"));
        checkNothingLost(Machine().run(osClass, static_cast<Kind>(kind), n), baseline);
      }
    }
  }
}

}  // namespace
}  // namespace zv
