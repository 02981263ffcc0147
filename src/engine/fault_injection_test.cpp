// Fails one platform call at a time while a section replaces, renames and
// erases files and edits INI files, and checks that no original is lost,
// no INI file is left half written and no failure goes unreported.
#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <memory>
#include <vector>

#include "base/error.h"
#include "engine/engine_test_fixture.h"

namespace zv {
namespace {

enum Kind { kOpen, kOpenWrite, kRead, kWrite, kRename, kSetStamp, kMove, kRegSet, kKinds };
const char* const kKindNames[kKinds] = {"open",          "open for writing", "read",
                                        "write",         "rename",           "setStamp",
                                        "moveAtRestart", "regSetString"};

// Fails call number `failAt` of kind `failKind` (counting from 1); keeps
// delayed moves to itself, so that the restart can be replayed.
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
    if (!fails(kRename)) return target().renameReplacing(from, to);
    failed = to;
    return false;
  }
  bool moveAtRestart(const std::string& source, const std::string* destination) override {
    if (fails(kMove)) {
      failed = source;
      return false;
    }
    moves.emplace_back(destination ? *destination : "NUL", source);
    return true;
  }
  long regSetString(RegKey key, const std::string& name, const std::string& value) override {
    return fails(kRegSet) ? kErrorAccessDenied : target().regSetString(key, name, value);
  }

  Kind failKind;
  int failAt;
  std::array<int, kKinds> counts{};
  std::vector<std::pair<std::string, std::string>> moves;  // destination, source
  std::string failed;                                      // what the failed call named

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
  if (fails(kOpen) || (mode != FileMode::kRead && fails(kOpenWrite))) {
    failed = path;
    return nullptr;
  }
  std::unique_ptr<File> file = target().open(path, mode);
  if (!file) return file;
  return std::make_unique<FaultyFile>(std::move(file), *this);
}

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

// The [rename] lines of a WININIT.INI, (destination, source).
std::vector<std::pair<std::string, std::string>> renames(std::string text) {
  std::vector<std::pair<std::string, std::string>> ops;
  text = text.substr(0, text.find('\x1A'));
  bool inRename = false;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = std::min(text.find("\r\n", pos), text.size());
    std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    if (!line.empty() && line[0] == '[') inRename = upper(line) == "[RENAME]";
    size_t eq = line.find('=');
    if (inRename && eq != std::string::npos)
      ops.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return ops;
}

const DosStamp kOld{10 << 11, (1999 - 1980) << 9 | 1 << 5 | 1};
const DosStamp kNew{10 << 11, (2001 - 1980) << 9 | 1 << 5 | 1};
const std::string kCIni = "[Sec]\r\nold=1\r\n";
const std::string kZevraIni = "[Zevra]\r\nroot=C:\\PROD\r\n";

// An original, and the places the restart may leave its content in.
struct Original {
  const char* name;
  const char* content;
  std::vector<const char*> places;
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
  Files files;  // the machine after the run
  // Restart operations, (destination, source) relative to the machine:
  // [rename] of WININIT.INI, then the delayed moves.
  std::vector<std::pair<std::string, std::string>> ops;
  std::string regValue;
  std::string failed;
  bool reported = false;
};

// One fresh machine per run.
class Machine : public EngineTest {
 public:
  void TestBody() override {}

  Outcome run(int osClass, Kind kind, int failAt) {
    settings_.setOsClass(static_cast<OsClass>(osClass));
    const std::string bigA(9000, 'a'), bigN(10000, 'n');
    put("A.DLL", "new A" + bigA, kNew);
    put("N.DLL", "new N" + bigN, kNew);
    for (const Original& o : kOriginals) put(o.name, o.content, kOld);
    put("PROD\\C.INI", kCIni, kOld);
    put("ZEVRA.INI", kZevraIni, kOld);
    settings_.setLocationProfile(std::make_unique<Profile>(path("ZEVRA.INI"), Profile::kFileMode));
    location_ = settings_.locationProfile();
    std::string key = tp_.scratchKey() + "\\Fault";
    for (size_t at = 0; (at = key.find('\\', at)) != std::string::npos; at += 2)
      key.insert(at, 1, '\\');
    DataFile& e = engine(
        "[S]\r\nFILE1=ZEVRA,A.DLL,,,0,1\r\nFILE2=ZEVRA,N.DLL\r\nRENAME1=ZEVRA,R.TXT,S.TXT,0,1\r\n"
        "ERASE1=ZEVRA,E.TXT,1\r\nINI1=ZEVRA,C.INI,Sec,Key,Val\r\n"
        "INI2=WINDOWS,ZEVRA.INI,Patch,Level,5\r\nREG1=HKCU," +
        key + ",Name,Val\r\n");
    Outcome out;
    {
      FaultyPlatform faulty(platform_, kind, failAt);
      try {
        e.processSection("S");
      } catch (const Error&) {
        out.reported = true;
      } catch (...) {
        ADD_FAILURE() << "only zv::Error may escape";
      }
      out.counts = faulty.counts;
      out.ops = faulty.moves;
      out.failed = faulty.failed;
    }
    for (const std::string& line : trace_.lines) out.reported |= line.rfind("[box] ", 0) == 0;
    collect("", &out.files);
    std::vector<std::pair<std::string, std::string>> wininit = renames(out.files["WININIT.INI"]);
    out.ops.insert(out.ops.begin(), wininit.begin(), wininit.end());
    for (auto& op : out.ops) op = {relative(op.first), relative(op.second)};
    if (out.files["WININIT.INI"].empty()) out.files.erase("WININIT.INI");
    out.regValue = regValue(tp_.scratchKey() + "\\Fault", "Name");
    return out;
  }

 private:
  // Every file below the scratch directory, by upper-case relative path.
  void collect(const std::string& dir, Files* files) {
    std::vector<DirEntry> entries;
    if (!tp_.platform().listDir(dir.empty() ? tp_.scratchDir() : path(dir), &entries)) return;
    for (const DirEntry& d : entries) {
      std::string name = (dir.empty() ? "" : dir + "\\") + d.name;
      if (d.isDirectory) {
        collect(name, files);
      } else {
        (*files)[upper(name)] = read(name);
      }
    }
  }

  void put(const std::string& name, const std::string& bytes, const DosStamp& stamp) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f) << name;
    f->write(bytes.data(), bytes.size());
    ASSERT_TRUE(f->setStamp(stamp));
  }
  std::string read(const std::string& name) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kRead);
    std::string text;
    char buf[4096];
    for (int64_t n; f && (n = f->read(buf, sizeof buf)) > 0;)
      text.append(buf, static_cast<size_t>(n));
    return text;
  }
  std::string relative(const std::string& windowsPath) const {
    std::string p = upper(windowsPath);
    std::string root = upper(tp_.scratchDir()) + "\\";
    return p.rfind(root, 0) == 0 ? p.substr(root.size()) : p;
  }
  std::string regValue(const std::string& key, const std::string& name) {
    Platform& p = tp_.platform();
    RegKey k;
    if (p.regOpenKey(kHkeyCurrentUser, key, RegAccess::kRead, &k) != kErrorSuccess) return "<none>";
    char data[64];
    uint32_t type = 0, size = sizeof data;
    long r = p.regQueryValue(k, name, &type, data, &size);
    p.regCloseKey(k);
    return r == kErrorSuccess && size > 0 ? std::string(data, size - 1) : "<none>";
  }
};

// The files after the next start; a move onto itself changes nothing.
Files boot(const Outcome& o) {
  Files files = o.files;
  for (const auto& op : o.ops) {
    auto it = files.find(op.second);
    if (it == files.end() || op.first == op.second) continue;
    if (op.first != "NUL") files[op.first] = it->second;
    files.erase(op.second);
  }
  return files;
}

std::string iniValue(const std::string& bytes, const std::string& section, const std::string& key) {
  Profile p("", Profile::kFileMode);
  std::string text = bytes.substr(0, bytes.find('\x1A'));
  for (size_t pos = 0; pos < text.size();) {
    size_t end = std::min(text.find("\r\n", pos), text.size());
    p.appendLine(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return p.getString(section, key, "<none>");
}

// The machine after the restart, without staged copies and WININIT.INI.
Files settled(const Outcome& o) {
  Files files = boot(o);
  for (auto it = files.begin(); it != files.end();) {
    bool scratch = it->first == "WININIT.INI" || it->first.rfind("PROD\\ARCHIVE\\TEMP\\", 0) == 0;
    it = scratch ? files.erase(it) : std::next(it);
  }
  return files;
}

void checkNothingLost(const Outcome& o, const Outcome& baseline) {
  Files after = boot(o);
  for (const Original& orig : kOriginals) {
    auto now = o.files.find(orig.name);
    EXPECT_TRUE(now != o.files.end() && now->second == orig.content)
        << orig.name << " changed before the restart";
    bool kept = false;
    for (const char* place : orig.places)
      kept |= after.count(place) && after[place] == orig.content;
    EXPECT_TRUE(kept) << orig.name << " is lost at the restart";
  }
  for (const auto& op : o.ops) EXPECT_NE(op.first, op.second) << "moved onto itself";
  auto n = o.files.find("PROD\\N.DLL");
  if (n != o.files.end()) {
    EXPECT_TRUE(n->second == baseline.files.at("PROD\\N.DLL"))
        << "a new file left partial: " << n->second.size() << " bytes";
  }
  for (const auto& ini :
       {std::make_pair("PROD\\C.INI", kCIni), std::make_pair("ZEVRA.INI", kZevraIni)}) {
    const std::string& bytes = o.files.at(ini.first);
    if (bytes == ini.second) continue;
    bool c = std::string(ini.first) == "PROD\\C.INI";
    EXPECT_EQ(iniValue(bytes, c ? "Sec" : "Patch", c ? "Key" : "Level"), c ? "Val" : "5")
        << ini.first;
    EXPECT_EQ(iniValue(bytes, c ? "Sec" : "Zevra", c ? "old" : "root"), c ? "1" : "C:\\PROD")
        << ini.first;
  }
  // A fallback that reaches the same machine after the restart (another
  // staged name, a staged copy instead of a direct one) needs no report.
  Files now = settled(o), then = settled(baseline);
  std::string changed;
  for (const auto& f : now) {
    if (!then.count(f.first) || then[f.first] != f.second) changed += " " + f.first;
  }
  for (const auto& f : then) {
    if (!now.count(f.first)) changed += " -" + f.first;
  }
  EXPECT_TRUE(o.reported || (changed.empty() && o.regValue == baseline.regValue))
      << "a failure passed in silence: " << o.failed << ", changed:" << changed;
}

// Every run is on a fresh in-memory machine, so the states compared are
// alike but for what the failure changed, on both targets.
TEST(FaultInjection, EveryFailedCallLeavesEveryOriginalRecoverableAndIsReported) {
  for (int osClass : {1, 2}) {
    Outcome baseline = Machine().run(osClass, kKinds, 0);
    ASSERT_FALSE(baseline.reported) << "the unfailed run succeeds";
    ASSERT_EQ(baseline.files.at("PROD\\N.DLL").size(), 10005u);
    ASSERT_EQ(baseline.regValue, "Val");
    for (int kind = 0; kind < kKinds; ++kind) {
      for (int n = 1; n <= baseline.counts[kind]; ++n) {
        SCOPED_TRACE("osClass " + std::to_string(osClass) + ", " + kKindNames[kind] + " call " +
                     std::to_string(n) + " of " + std::to_string(baseline.counts[kind]));
        checkNothingLost(Machine().run(osClass, static_cast<Kind>(kind), n), baseline);
      }
    }
  }
}

TEST(FaultInjection, TheUnfailedRunMakesEveryKindOfCall) {
  for (int osClass : {1, 2}) {
    Outcome o = Machine().run(osClass, kKinds, 0);
    for (int kind = 0; kind < kKinds; ++kind) {
      if (kind == kMove && osClass == 1) continue;  // WININIT.INI instead
      EXPECT_GT(o.counts[kind], 0) << kKindNames[kind] << ", osClass " << osClass;
    }
  }
}

}  // namespace
}  // namespace zv
