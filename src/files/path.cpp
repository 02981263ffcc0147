#include "files/path.h"

#include "platform/platform.h"
#include "platform/trace.h"

namespace zv {

namespace {

constexpr size_t kPathLimit = 260;
constexpr size_t kPartLimit = 255;

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

// A trailing "/" counts like "\" so that a forward-slash directory does not
// get a mixed "/\" ending.
void addSeparator(std::string* text) {
  if (text->empty()) return;
  char last = text->back();
  if (!isSeparator(last) && last != ':') *text += '\\';
}

std::string cut(const std::string& text, size_t limit) {
  return text.substr(0, limit);
}

}  // namespace

PathParts splitPath(const std::string& path) {
  const std::string p = cut(path, kPathLimit);
  PathParts parts;
  size_t start = 0;
  if (p.size() >= 2 && p[1] == ':') {
    parts.drive = p.substr(0, 2);
    start = 2;
  }
  size_t lastSep = p.find_last_of("\\/");
  size_t dirEnd = (lastSep == std::string::npos || lastSep < start) ? start : lastSep + 1;
  std::string rest = p.substr(dirEnd);
  if (rest == "." || rest == "..") {
    // A final "." or ".." names a directory, not an empty name with an extension.
    parts.dir = cut(p.substr(start), kPartLimit);
    return parts;
  }
  parts.dir = cut(p.substr(start, dirEnd - start), kPartLimit);
  size_t dot = rest.rfind('.');
  if (dot == std::string::npos) dot = rest.size();
  parts.name = cut(rest.substr(0, dot), kPartLimit);
  parts.ext = cut(rest.substr(dot), kPartLimit);
  return parts;
}

std::string mergePath(const PathParts& parts) {
  std::string out = parts.drive;
  if (!parts.dir.empty()) {
    out += parts.dir;
    if (!isSeparator(parts.dir.back())) out += '\\';
  }
  out += parts.name;
  if (!parts.ext.empty()) {
    if (parts.ext[0] != '.') out += '.';
    out += parts.ext;
  }
  return out;
}

std::string joinPath(const std::string& directory, const std::string& name) {
  std::string out = directory;
  if (!out.empty() && out.back() != '\\' && out.back() != ':') out += '\\';
  return out + name;
}

size_t lastIndexOf(const std::string& text, char c) {
  return text.rfind(c);
}

std::string pathDrive(const std::string& path) {
  return splitPath(path).drive;
}

std::string pathDirectory(const std::string& path) {
  return splitPath(path).dir;
}

std::string pathBaseName(const std::string& path) {
  return splitPath(path).name;
}

std::string pathExtension(const std::string& path) {
  return splitPath(path).ext;
}

std::string pathFileName(const std::string& path) {
  PathParts p = splitPath(path);
  return p.name + p.ext;
}

std::string pathDriveDir(const std::string& path) {
  PathParts p = splitPath(path);
  std::string out = p.drive + p.dir;
  addSeparator(&out);
  return out;
}

std::string pathWithoutExtension(const std::string& path) {
  PathParts p = splitPath(path);
  std::string out = p.drive + p.dir;
  addSeparator(&out);
  return out + p.name;
}

std::string pathDirBase(const std::string& path) {
  PathParts p = splitPath(path);
  std::string out = p.dir;
  addSeparator(&out);
  return out + p.name;
}

std::string pathWithoutDrive(const std::string& path) {
  PathParts p = splitPath(path);
  std::string out = p.dir;
  addSeparator(&out);
  return out + p.name + p.ext;
}

std::string pathDriveBase(const std::string& path) {
  PathParts p = splitPath(path);
  return p.drive + p.name;
}

std::string replacePathParts(const std::string& path, const std::string* drive,
                             const std::string* dir, const std::string* name,
                             const std::string* ext) {
  PathParts p = splitPath(path);
  std::string out = (drive ? *drive : p.drive) + (dir ? *dir : p.dir);
  addSeparator(&out);
  return out + (name ? *name : p.name) + (ext ? *ext : p.ext);
}

std::string replacePathPartsFrom(const std::string& path, const std::string* drive,
                                 const std::string* dir, const std::string& other) {
  PathParts o = splitPath(other);
  return replacePathParts(path, drive, dir, &o.name, &o.ext);
}

std::string replaceExtension(const std::string& path, const std::string& ext) {
  return replacePathParts(path, nullptr, nullptr, nullptr, &ext);
}

std::string replaceBaseName(const std::string& path, const std::string& name) {
  return replacePathParts(path, nullptr, nullptr, &name, nullptr);
}

std::string replaceBaseExtension(const std::string& path, const std::string& name,
                                 const std::string& ext) {
  return replacePathParts(path, nullptr, nullptr, &name, &ext);
}

std::string replaceFileName(const std::string& path, const std::string& other) {
  return replacePathPartsFrom(path, nullptr, nullptr, other);
}

std::string replaceDrive(const std::string& path, const std::string& drive) {
  return replacePathParts(path, &drive, nullptr, nullptr, nullptr);
}

std::string replaceDriveDir(const std::string& path, const std::string& drive,
                            const std::string& dir) {
  return replacePathParts(path, &drive, &dir, nullptr, nullptr);
}

std::string replaceDriveDirBase(const std::string& path, const std::string& drive,
                                const std::string& dir, const std::string& name) {
  return replacePathParts(path, &drive, &dir, &name, nullptr);
}

std::string replaceDriveExtension(const std::string& path, const std::string& drive,
                                  const std::string& ext) {
  return replacePathParts(path, &drive, nullptr, nullptr, &ext);
}

std::string replaceDriveBase(const std::string& path, const std::string& drive,
                             const std::string& name) {
  return replacePathParts(path, &drive, nullptr, &name, nullptr);
}

std::string replaceDriveFileName(const std::string& path, const std::string& drive,
                                 const std::string& other) {
  return replacePathPartsFrom(path, &drive, nullptr, other);
}

std::string replaceDriveBaseExtension(const std::string& path, const std::string& drive,
                                      const std::string& name, const std::string& ext) {
  return replacePathParts(path, &drive, nullptr, &name, &ext);
}

std::string replaceDir(const std::string& path, const std::string& dir) {
  return replacePathParts(path, nullptr, &dir, nullptr, nullptr);
}

std::string replaceDirExtension(const std::string& path, const std::string& dir,
                                const std::string& ext) {
  return replacePathParts(path, nullptr, &dir, nullptr, &ext);
}

std::string replaceDirBase(const std::string& path, const std::string& dir,
                           const std::string& name) {
  return replacePathParts(path, nullptr, &dir, &name, nullptr);
}

std::string replaceDirFileName(const std::string& path, const std::string& dir,
                               const std::string& other) {
  return replacePathPartsFrom(path, nullptr, &dir, other);
}

std::string replaceDirBaseExtension(const std::string& path, const std::string& dir,
                                    const std::string& name, const std::string& ext) {
  return replacePathParts(path, nullptr, &dir, &name, &ext);
}

std::string makeTempName(const std::string& directory, bool trace) {
  const std::string base = joinPath(directory, "");
  Platform& platform = Platform::current();
  std::string name = platform.makeUniqueName(base + "ZVXXXXXX");
  if (!name.empty()) return name;
  // The second template gives more names once the first one's are used up.
  name = platform.makeUniqueName(base + "ZTXXXXXX");
  if (trace) TracePrint(0, "TEMPMK : %s\n", name.empty() ? "(null)" : name.c_str());
  return name;
}

std::string bareFileName(const std::string& name) {
  size_t start = name.find_last_of("\\/:");
  std::string bare = start == std::string::npos ? name : name.substr(start + 1);
  if (bare.empty() || bare == "." || bare == "..") return "";
  for (unsigned char c : bare) {
    if (c < 0x20 || std::string("<>\"|?*").find(static_cast<char>(c)) != std::string::npos)
      return "";
  }
  return bare;
}

void splitDirAndName(const std::string& path, std::string* dir, std::string* name) {
  PathParts p = splitPath(path);
  *dir = mergePath(PathParts{p.drive, p.dir, "", ""});
  *name = mergePath(PathParts{"", "", p.name, p.ext});
}

}  // namespace zv
