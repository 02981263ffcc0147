#include "shell/command_line.h"

#include <cctype>
#include <vector>

#include "files/path.h"

namespace zv {

namespace {

constexpr size_t kNameLimit = 259;

std::vector<std::string> blankTokens(const std::string& text) {
  std::vector<std::string> tokens;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = text.find_first_not_of(' ', pos);
    if (start == std::string::npos) break;
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    tokens.push_back(text.substr(start, end - start));
    pos = end;
  }
  return tokens;
}

}  // namespace

CommandLine parseCommandLine(const std::string& raw) {
  CommandLine cl;
  auto checkLength = [&cl](const std::string& text, const std::string& what) {
    if (cl.tooLong.empty() && text.size() > kNameLimit) cl.tooLong = what;
  };
  // Every token is shorter than the line, so only the line and the names
  // made longer by their extensions need checking.
  checkLength(raw, "the command line");

  // The program path: the line up to the first blank, after an opening
  // quote; a closing quote ends up in the extension and goes with it.
  std::string program = raw.substr(raw.empty() || raw[0] != '"' ? 0 : 1);
  program = program.substr(0, program.find(' '));
  std::string base = pathWithoutExtension(program);
  cl.programDir = pathDriveDir(program);
  cl.catalogName = replaceExtension(base, ".MSG");
  cl.definitionName = replaceExtension(base, ".DAT");
  cl.responseName = replaceExtension(base, ".RSP");

  std::vector<std::string> tokens = blankTokens(raw);
  for (size_t i = 1; i < tokens.size(); ++i) {
    const std::string& token = tokens[i];
    if (token.size() < 2 || (token[0] != '-' && token[0] != '/')) continue;
    char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(token[1])));
    if (letter == 'i') {
      cl.notInteractive = true;
      continue;
    }
    if (letter == 'd') {
      cl.verboseTrace = true;
      continue;
    }
    if (letter != 'p' && letter != 'l' && letter != 'c' && letter != 'x') continue;
    std::string value;
    if (token.size() > 2) {
      value = token.substr(2);
    } else if (i + 1 < tokens.size()) {
      value = tokens[++i];
    }
    switch (letter) {
      case 'p':
        cl.definitionName = value;
        break;
      case 'l':
        cl.logName = value;
        cl.logNameGiven = true;
        break;
      case 'c':
        cl.workFile = value;
        if (!cl.decompress) cl.compress = true;
        break;
      case 'x':
        cl.workFile = value;
        if (!cl.compress) cl.decompress = true;
        break;
    }
  }
  checkLength(cl.catalogName, "the catalog name");
  checkLength(cl.definitionName, "the patch definition file name");
  checkLength(cl.responseName, "the response file name");
  return cl;
}

}  // namespace zv
