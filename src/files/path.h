// Windows paths taken apart and put together by one splitting rule, and
// unique temporary names. A forward slash splits like a backslash; joins
// insert a backslash. The same rules hold on every target.
#pragma once

#include <string>

namespace zv {

struct PathParts {
  std::string drive;  // "C:" or empty
  std::string dir;    // keeps its trailing separator
  std::string name;
  std::string ext;  // with its leading "."
};

// Only the first 260 characters of the path count; each part is cut to 255
// characters (the drive to 2).
PathParts splitPath(const std::string& path);

// The merge of parts: drive; directory followed by "\" unless it already
// ends in "\" or "/"; name; extension, given a "." when it lacks one.
std::string mergePath(const PathParts& parts);

// directory, "\" unless it is empty or ends in "\" or ":", then name.
std::string joinPath(const std::string& directory, const std::string& name);

// The directory (drive and directory, merged) and the file name (name and
// extension) of a path, as the file services take paths apart.
void splitDirAndName(const std::string& path, std::string* dir, std::string* name);

// Position of the last c in text, or std::string::npos.
size_t lastIndexOf(const std::string& text, char c);

// Each returns the path rebuilt from the parts named; a "separator" goes
// between the parts when the text built so far is not empty and ends
// neither in a separator nor in ":".
std::string pathDrive(const std::string& path);             // drive
std::string pathDirectory(const std::string& path);         // directory
std::string pathBaseName(const std::string& path);          // name
std::string pathExtension(const std::string& path);         // extension
std::string pathFileName(const std::string& path);          // name, extension
std::string pathDriveDir(const std::string& path);          // drive, directory, separator
std::string pathWithoutExtension(const std::string& path);  // drive, dir, separator, name
std::string pathDirBase(const std::string& path);           // directory, separator, name
std::string pathWithoutDrive(const std::string& path);      // directory, separator, name, ext
std::string pathDriveBase(const std::string& path);         // drive, name

// Rebuilds path (drive, directory, separator, name, extension) with each
// part taken from the argument when one is given (not null), else from the
// path. An empty part removes that part; parts are inserted exactly as
// passed (an extension brings its own dot, a drive its colon).
std::string replacePathParts(const std::string& path, const std::string* drive,
                             const std::string* dir, const std::string* name,
                             const std::string* ext);
// replacePathParts with the name and extension of other.
std::string replacePathPartsFrom(const std::string& path, const std::string* drive,
                                 const std::string* dir, const std::string& other);

std::string replaceExtension(const std::string& path, const std::string& ext);
std::string replaceBaseName(const std::string& path, const std::string& name);
std::string replaceBaseExtension(const std::string& path, const std::string& name,
                                 const std::string& ext);
std::string replaceFileName(const std::string& path, const std::string& other);
std::string replaceDrive(const std::string& path, const std::string& drive);
std::string replaceDriveDir(const std::string& path, const std::string& drive,
                            const std::string& dir);
std::string replaceDriveDirBase(const std::string& path, const std::string& drive,
                                const std::string& dir, const std::string& name);
std::string replaceDriveExtension(const std::string& path, const std::string& drive,
                                  const std::string& ext);
std::string replaceDriveBase(const std::string& path, const std::string& drive,
                             const std::string& name);
std::string replaceDriveFileName(const std::string& path, const std::string& drive,
                                 const std::string& other);
std::string replaceDriveBaseExtension(const std::string& path, const std::string& drive,
                                      const std::string& name, const std::string& ext);
std::string replaceDir(const std::string& path, const std::string& dir);
std::string replaceDirExtension(const std::string& path, const std::string& dir,
                                const std::string& ext);
std::string replaceDirBase(const std::string& path, const std::string& dir,
                           const std::string& name);
std::string replaceDirFileName(const std::string& path, const std::string& dir,
                               const std::string& other);
std::string replaceDirBaseExtension(const std::string& path, const std::string& dir,
                                    const std::string& name, const std::string& ext);

// The file name at the end of name, without any drive or directories; empty
// when that is no name a file can have on Windows (empty, "." or "..", or
// holding one of the characters < > : " / \ | ? * or a control character).
std::string bareFileName(const std::string& name);

// A unique name in directory: "ZV" then, when those are used up, "ZT",
// each followed by six characters that make a name no file has yet. With
// trace, "TEMPMK : %s\n" is printed for the second template. Empty when
// no name can be made. The file itself is not created.
std::string makeTempName(const std::string& directory, bool trace);

}  // namespace zv
