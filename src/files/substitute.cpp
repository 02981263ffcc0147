#include "files/substitute.h"

#include <cctype>
#include <memory>
#include <new>

#include "base/error.h"
#include "base/windows_path.h"
#include "files/file_copy.h"
#include "files/path.h"
#include "platform/platform.h"
#include "platform/stream.h"
#include "platform/text_file.h"
#include "platform/whole_file.h"

namespace zv {

namespace {

// fgets into a buffer of this size: pieces of at most 511 characters.
constexpr size_t kPieceBuffer = 512;

bool matchesAt(const std::string& text, size_t pos, const std::string& name) {
  if (text.size() - pos < name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char a = static_cast<unsigned char>(text[pos + i]);
    const unsigned char b = static_cast<unsigned char>(name[i]);
    if (std::tolower(a) != std::tolower(b)) return false;
  }
  return true;
}

// The temporary directory with its trailing backslash; TEMP when it names
// an existing place, else "\" (the root of the current drive).
std::string tempDirectory(Platform& platform) {
  std::string dir;
  if (!platform.tempVariable(&dir) || !platform.exists(dir)) dir.clear();
  return withBackslash(dir);
}

// Writes the substituted text of path into temp; false (temp possibly left
// behind) when path cannot be read or temp cannot be created or written.
bool writeSubstituted(SubstituteClass& list, const std::string& path, const std::string& temp,
                      bool* tempCreated) {
  std::unique_ptr<Stream> input = Stream::open(path, FileMode::kRead);
  if (!input) return false;
  std::unique_ptr<Stream> output = Stream::open(temp, FileMode::kWrite);
  if (!output) return false;
  *tempCreated = true;
  TextRules rules;
  rules.dropEveryCr = false;  // text mode: only a CR before a LF goes
  rules.stopAtCtrlZ = true;
  TextReader reader(*input, rules);
  TextWriter writer(*output);
  std::string piece;
  while (reader.readPiece(kPieceBuffer, &piece)) {
    list.substitute(piece);
    writer.write(piece);
  }
  // A failed read or write would otherwise pass off part of the text as
  // the whole new content.
  return !input->failed() && output->close() && !output->failed();
}

}  // namespace

int SubstituteClass::addPair(const std::string& name, const std::string& value) {
  try {
    pairs_.push_back(SubstitutePair{name, value});
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

// The pairs are tried by walking the cursor from the first pair, so after
// an escape that is not doubled the cursor rests on the matching pair, or
// on the last pair when none matched; an empty list leaves it alone.
void SubstituteClass::substitute(std::string& text) {
  size_t p = 0;
  // A NUL is an ordinary byte here: a text file with one loses nothing.
  while (p < text.size()) {
    if (text[p] != escapeChar_) {
      ++p;
    } else if (p + 1 < text.size() && text[p + 1] == escapeChar_) {
      text.erase(p, 1);
      ++p;
    } else {
      bool replaced = false;
      for (int more = first(); more; more = next()) {
        const SubstitutePair& pair = pairs_[cursor_];
        if (matchesAt(text, p + 1, pair.name)) {
          text.replace(p, 1 + pair.name.size(), pair.value);
          p += pair.value.size();
          replaced = true;
          break;
        }
      }
      if (!replaced) ++p;
    }
  }
}

// Where the text is replaced the new content is first completed beside the
// file and then renamed over it, so the file is never missing or partial.
int SubstituteClass::substituteInFile(const std::string& path) {
  Platform& platform = Platform::current();
  const std::string temp = makeTempName(tempDirectory(platform), false);
  if (temp.empty()) return 0;

  bool tempCreated = false;
  if (!writeSubstituted(*this, path, temp, &tempCreated)) {
    if (tempCreated) platform.deleteFile(temp);
    return 0;
  }
  // The new content is completed beside path (same volume) and renamed over
  // it; nothing of the attempt stays behind, whatever happens.
  WholeFileWriter fresh(path, "ZS");
  try {
    std::unique_ptr<File> source = platform.open(temp, FileMode::kRead);
    if (!source) throw Error(ErrorCode::kFileUnreadable, temp, kUnitFiles, __LINE__);
    DosStamp stamp;
    if (!source->getStamp(&stamp))
      throw Error(ErrorCode::kStampUnreadable, temp, kUnitFiles, __LINE__);
    std::unique_ptr<File> destination = fresh.create();
    if (!destination) {
      source.reset();
      platform.deleteFile(temp);
      return 0;
    }
    // Errors name path: the new file is what path becomes.
    copyContents(*source, temp, *destination, path);
    if (!destination->setStamp(stamp))
      throw Error(ErrorCode::kStampNotSet, path, kUnitFiles, __LINE__);
    if (!destination->close()) throw Error(ErrorCode::kWriteFailed, path, kUnitFiles, __LINE__);
  } catch (const Error&) {
    platform.deleteFile(temp);
    throw;
  }
  if (!fresh.commit(true)) {
    platform.deleteFile(temp);
    return 0;
  }
  return platform.deleteFile(temp) ? 1 : 0;
}

int SubstituteClass::first() {
  if (pairs_.empty()) return 0;
  cursor_ = 0;
  return 1;
}

int SubstituteClass::last() {
  if (pairs_.empty()) return 0;
  cursor_ = pairs_.size() - 1;
  return 1;
}

int SubstituteClass::next() {
  if (cursor_ == kNoCursor || cursor_ + 1 >= pairs_.size()) return 0;
  ++cursor_;
  return 1;
}

// Without a cursor there is nothing to copy: 0 and pair unchanged.
int SubstituteClass::getCurrent(SubstitutePair* pair) const {
  if (cursor_ == kNoCursor) return 0;
  *pair = pairs_[cursor_];
  return 1;
}

int SubstituteClass::getFirst(SubstitutePair* pair) {
  return first() ? getCurrent(pair) : 0;
}

int SubstituteClass::getLast(SubstitutePair* pair) {
  return last() ? getCurrent(pair) : 0;
}

int SubstituteClass::getNext(SubstitutePair* pair) {
  return next() ? getCurrent(pair) : 0;
}

}  // namespace zv
