// Keyword substitution: an escape character followed by a pair's name is
// replaced by the pair's value, and a doubled escape character stands for
// itself. The engine uses the pairs ZEVRA and WINDOWS (directories), the
// catalog the pair n (a line feed).
#pragma once

#include <string>
#include <vector>

namespace zv {

struct SubstitutePair {
  std::string name;   // compared without regard to case
  std::string value;  // kept whole: a cut directory would corrupt every path
};

class SubstituteClass {
 public:
  explicit SubstituteClass(char escapeChar) : escapeChar_(escapeChar) {}

  // Appends a pair; 1 (0 only when memory runs out).
  int addPair(const std::string& name, const std::string& value);

  // Rewrites text: a doubled escape becomes one (not examined again); an
  // escape followed by the name of a pair (prefix match, any case, first
  // pair in order wins) becomes the pair's value, which is not rescanned.
  void substitute(std::string& text);

  // Substitutes the whole text file at path, in pieces of at most 511
  // characters as fgets reads them. The file keeps its old content until
  // the new content is complete beside it and renamed over it. 1 on
  // success; 0, with the file unchanged, when it cannot be read, no
  // temporary or new file can be made or written, or the rename fails; a
  // failure while copying raises Error (20, 23, 24, 27, 28) as the file
  // copy does.
  int substituteInFile(const std::string& path);

  // The list's one cursor; substitute moves it.
  int first();
  int last();
  int next();
  int getCurrent(SubstitutePair* pair) const;
  int getFirst(SubstitutePair* pair);
  int getLast(SubstitutePair* pair);
  int getNext(SubstitutePair* pair);

 private:
  std::vector<SubstitutePair> pairs_;
  size_t cursor_ = kNoCursor;
  char escapeChar_;
  static constexpr size_t kNoCursor = static_cast<size_t>(-1);
};

}  // namespace zv
