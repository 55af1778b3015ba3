#include "include_check/include_check.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>
#include <utility>

namespace include_check {

const char kLayerSection[] = "## Dependencies between folders";

namespace {

const char kArchitecture[] = "docs/architecture.md";

// The marks that open the engine's and the window layer's headers, given by the build to what links them.
const char* const kBuildMarks[] = {"MERLON_ENGINE_USER", "MERLON_WINDOW_USER"};

// The C++ standard library's headers, C++17 and C++20, with the <cxxx> wrappers of the C library (those
// removed by C++20 included, as C++17 has them).
const char* const kStandardHeaders[] = {
    "algorithm", "any", "array", "atomic", "barrier", "bit", "bitset", "charconv", "chrono", "codecvt", "compare",
    "complex", "concepts", "condition_variable", "coroutine", "deque", "exception", "execution", "filesystem",
    "format", "forward_list", "fstream", "functional", "future", "initializer_list", "iomanip", "ios", "iosfwd",
    "iostream", "istream", "iterator", "latch", "limits", "list", "locale", "map", "memory", "memory_resource",
    "mutex", "new", "numbers", "numeric", "optional", "ostream", "queue", "random", "ranges", "ratio", "regex",
    "scoped_allocator", "semaphore", "set", "shared_mutex", "source_location", "span", "sstream", "stack",
    "stdexcept", "stop_token", "streambuf", "string", "string_view", "strstream", "syncstream", "system_error",
    "thread", "tuple", "type_traits", "typeindex", "typeinfo", "unordered_map", "unordered_set", "utility",
    "valarray", "variant", "vector", "version",
    // The C library's facilities.
    "cassert", "ccomplex", "cctype", "cerrno", "cfenv", "cfloat", "cinttypes", "ciso646", "climits", "clocale",
    "cmath", "csetjmp", "csignal", "cstdalign", "cstdarg", "cstdbool", "cstddef", "cstdint", "cstdio", "cstdlib",
    "cstring", "ctgmath", "ctime", "cuchar", "cwchar", "cwctype"};

// The libraries outside the system that one folder above src/platform may include: the statement reader is the
// program of its own that wraps libofx.
const std::pair<const char*, const char*> kFolderLibraries[] = {{"src/processing/ofx_reader", "libofx/"}};

// The test and benchmark libraries' headers.
const char* const kTestLibraries[] = {"gtest/", "gmock/", "benchmark/"};

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool StartsWith(std::string_view text, std::string_view head) { return text.substr(0, head.size()) == head; }

// The strings of a JSON text in order, each with the object that holds it: enough for
// compile_commands.json, an array of flat objects of strings.
struct JsonString {
  std::string text;
  int object;  // which object of the file holds it, counted from 0
};

std::vector<JsonString> JsonStrings(const std::string& json) {
  std::vector<JsonString> out;
  int objects = -1;
  for (std::size_t i = 0; i < json.size(); ++i) {
    if (json[i] == '{') ++objects;
    if (json[i] != '"') continue;
    std::string text;
    for (++i; i < json.size() && json[i] != '"'; ++i) {
      if (json[i] != '\\' || i + 1 >= json.size()) {
        text += json[i];
        continue;
      }
      const char escaped = json[++i];
      if (escaped == 'n') text += '\n';
      else if (escaped == 't') text += '\t';
      else if (escaped == 'u') i += 4;  // not found in file names or flags
      else text += escaped;
    }
    out.push_back({text, objects});
  }
  return out;
}

// The words of a command line as the shell splits them: quotes and backslashes taken away.
std::vector<std::string> CommandWords(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  char quote = 0;
  for (std::size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      else if (c == '\\' && quote == '"' && i + 1 < command.size()) word += command[++i];
      else word += c;
    } else if (c == '"' || c == '\'') {
      quote = c;
      in_word = true;
    } else if (c == '\\' && i + 1 < command.size()) {
      word += command[++i];
      in_word = true;
    } else if (c == ' ' || c == '\t' || c == '\n') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

// What one compile command says: its include folders in the order the compiler searches them (-iquote, -I,
// -isystem, -idirafter; relative folders taken from the command's own folder), the files it includes before the
// source, and the object it writes, as written after -o.
struct Command {
  std::vector<SearchFolder> folders;
  std::vector<ForcedInclude> forced;
  std::string output;
};

// The value of an option written "-opt value", "-optvalue", "--opt value" or "--opt=value" at words[i] (i moved
// past it), or "" when the word is not that option.
std::string OptionValue(const std::vector<std::string>& words, std::size_t& i, const std::string& option) {
  const std::string& word = words[i];
  for (const std::string& spelled : {"--" + option, "-" + option}) {
    if (!StartsWith(word, spelled)) continue;
    if (word.size() == spelled.size()) return i + 1 < words.size() ? words[++i] : "";
    return word.substr(spelled.size() + (word[spelled.size()] == '=' ? 1 : 0));
  }
  return "";
}

Command ParseCommand(const std::string& line, const fs::path& directory) {
  static const char* const kFlags[] = {"-iquote", "-I", "-isystem", "-idirafter"};
  std::vector<std::vector<SearchFolder>> by_flag(std::size(kFlags));
  Command command;
  const std::vector<std::string> words = CommandWords(line);
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "-o" && i + 1 < words.size()) {
      command.output = words[++i];
      continue;
    }
    // -include-pch names a precompiled header, not a file the preprocessor reads.
    if (word == "-include-pch") {
      ++i;
      continue;
    }
    bool forced = false;
    for (const char* option : {"include", "imacros"}) {
      const std::string name = OptionValue(words, i, option);
      if (name.empty()) continue;
      command.forced.push_back({name, directory, std::string(option) == "imacros"});
      forced = true;
      break;
    }
    if (forced) continue;
    for (std::size_t f = 0; f < std::size(kFlags); ++f) {
      const std::string flag = kFlags[f];
      if (word.rfind(flag, 0) != 0) continue;
      std::string folder = word.substr(flag.size());
      if (folder.empty() && i + 1 < words.size()) folder = words[++i];
      if (folder.empty()) break;
      by_flag[f].push_back({(directory / folder).lexically_normal(), f == 0});
      break;
    }
  }
  for (const auto& some : by_flag) command.folders.insert(command.folders.end(), some.begin(), some.end());
  return command;
}

// The file below root that an absolute path names ("src/x/y.cpp"), or "" for a path outside root.
std::string BelowRoot(const fs::path& root, const fs::path& path) {
  const fs::path relative = path.lexically_normal().lexically_relative(root.lexically_normal());
  if (relative.empty() || *relative.begin() == "..") return "";
  return relative.generic_string();
}

void AddFolder(std::vector<SearchFolder>& folders, const SearchFolder& folder) {
  const bool known =
      std::any_of(folders.begin(), folders.end(), [&](const SearchFolder& f) { return f.path == folder.path; });
  if (!known) folders.push_back(folder);
}

// The program's file that a path found by the compiler is, "src/...", or "" for one outside src/.
std::string UnderSrc(const fs::path& root, const fs::path& found) {
  const std::string below = BelowRoot(root, found);
  return StartsWith(below, "src/") ? below : "";
}

// The file an include reaches, relative to the root, as the compiler finds it; "" for a file outside src/ or one
// found nowhere. An include written "..." looks beside the including file first, one of the compile command in
// the folder the command runs in; then come the folders the build gives the file, those after the one the
// including file lies in for #include_next (which never reaches the including file itself).
std::string Resolve(const fs::path& root, const Include& include, const std::vector<SearchFolder>& folders,
                    const fs::path& directory = {}) {
  const fs::path self = (root / include.file).lexically_normal();
  std::size_t first = 0;
  if (include.form == IncludeForm::kIncludeNext) {
    for (std::size_t i = 0; i < folders.size(); ++i) {
      if (BelowRoot(folders[i].path, self).empty()) continue;
      first = i + 1;
      break;
    }
  } else if (include.quoted) {
    const bool forced = include.form == IncludeForm::kForcedInclude || include.form == IncludeForm::kForcedMacros;
    const fs::path beside = ((forced ? directory : self.parent_path()) / include.name).lexically_normal();
    if (fs::is_regular_file(beside)) return UnderSrc(root, beside);
  }
  for (std::size_t i = first; i < folders.size(); ++i) {
    if (folders[i].quote_only && !include.quoted) continue;
    const fs::path candidate = (folders[i].path / include.name).lexically_normal();
    if (!fs::is_regular_file(candidate) || candidate == self) continue;
    return UnderSrc(root, candidate);
  }
  return "";
}

// The name of an include as it is written, with its quotes or angle brackets, its directive when it is not
// #include, or its option in the compile command.
std::string Written(const Include& include) {
  const std::string name = include.quoted ? "\"" + include.name + "\"" : "<" + include.name + ">";
  switch (include.form) {
    case IncludeForm::kIncludeNext: return "#include_next " + name;
    case IncludeForm::kForcedInclude: return "-include " + include.name;
    case IncludeForm::kForcedMacros: return "-imacros " + include.name;
    case IncludeForm::kImport: return "import " + name;
    case IncludeForm::kHashImport: return "#import " + name;
    default: return name;
  }
}

std::string FolderOf(const std::string& file) { return fs::path(file).parent_path().generic_string(); }

// The folder whose rules an include follows.
std::string RuleFolder(const Include& include) { return include.folder.empty() ? FolderOf(include.file) : include.folder; }

// True for a folder that is `top` or lies under it.
bool Within(const std::string& folder, const std::string& top) { return folder == top || StartsWith(folder, top + "/"); }

// The library that a compile command's object goes to, named by its objects' folder under the build
// ("src/dossier/CMakeFiles/merlon_dossier_core.dir" for ".../merlon_dossier_core.dir/core/x.cpp.o"), or "".
std::string LibraryObjects(const fs::path& build, const fs::path& directory, const std::string& output) {
  if (output.empty()) return "";
  const std::string object = BelowRoot(build.empty() ? directory : build, directory / output);
  const std::size_t at = object.find("/CMakeFiles/");
  if (at == std::string::npos) return "";
  const std::size_t end = object.find(".dir/", at);
  return end == std::string::npos ? "" : object.substr(0, end + 4);
}

// The folder of the CMakeLists.txt that makes a library ("src/dossier" for
// "src/dossier/CMakeFiles/merlon_dossier_core.dir").
std::string ListsFolder(const std::string& objects) { return objects.substr(0, objects.find("/CMakeFiles/")); }

// One line as the preprocessor reads it: the lines spliced by a backslash at their end joined, each comment
// replaced by a blank (a comment over several lines joins them), the text of string and character literals kept
// short of what could pass for a directive. `line` is the number of the physical line it begins on.
struct LogicalLine {
  int line = 1;
  std::string text;
};

bool IsIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// True when the quote at `at` opens a raw string: R, u8R, uR, UR or LR before it, as a word of its own.
bool RawStringPrefix(const std::string& text, std::size_t at) {
  for (const char* prefix : {"u8R", "uR", "UR", "LR", "R"}) {
    const std::size_t n = std::char_traits<char>::length(prefix);
    if (at < n || text.compare(at - n, n, prefix) != 0) continue;
    if (at == n || !IsIdentifierChar(text[at - n - 1])) return true;
  }
  return false;
}

// True when the text ends in a number (1'000, 0xFF'FF), where a quote is a digit separator.
bool NumberBefore(const std::string& text) {
  std::size_t start = text.size();
  while (start > 0 && (IsIdentifierChar(text[start - 1]) || text[start - 1] == '\'' || text[start - 1] == '.')) --start;
  return start < text.size() && std::isdigit(static_cast<unsigned char>(text[start])) != 0;
}

std::vector<LogicalLine> LogicalLines(const std::string& source) {
  // Splices first: a backslash at the end of a line joins it to the next; each character keeps its physical
  // line, for the findings.
  std::string text;
  std::vector<int> lines;  // the physical line of each character of `text`
  int line = 1;
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (source[i] == '\\') {
      std::size_t j = i + 1;
      if (j < source.size() && source[j] == '\r') ++j;
      if (j < source.size() && source[j] == '\n') {
        i = j;
        ++line;
        continue;
      }
    }
    text += source[i];
    lines.push_back(line);
    if (source[i] == '\n') ++line;
  }

  std::vector<LogicalLine> out;
  LogicalLine current;
  bool started = false;  // a character other than a blank seen on the current line
  const auto put = [&](char c, std::size_t at) {
    if (!started && c != ' ' && c != '\t' && c != '\r') {
      started = true;
      current.line = lines[at];
    }
    current.text += c;
  };
  const auto end_line = [&](std::size_t at) {
    if (!started) current.line = lines[at];
    out.push_back(current);
    current = LogicalLine{};
    started = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (c == '\n') {
      end_line(i);
    } else if (c == '/' && next == '/') {
      while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
    } else if (c == '/' && next == '*') {
      // The comment is one blank: the lines it spans are one.
      const std::size_t close = text.find("*/", i + 2);
      i = close == std::string::npos ? text.size() - 1 : close + 1;
      current.text += ' ';
    } else if (c == '"' && RawStringPrefix(text, i)) {
      // A raw string: its lines belong to the line it begins on.
      const std::size_t open = text.find('(', i + 1);
      const std::string delimiter = open == std::string::npos ? "" : text.substr(i + 1, open - i - 1);
      const std::size_t close = open == std::string::npos ? std::string::npos : text.find(")" + delimiter + "\"", open);
      put('"', i);
      put('"', i);
      i = close == std::string::npos ? text.size() - 1 : close + delimiter.size() + 1;
    } else if (c == '"' || c == '\'') {
      // A digit separator (1'000) starts no literal.
      if (c == '\'' && NumberBefore(current.text)) {
        put(c, i);
        continue;
      }
      // A string or character literal, up to its end or the line's: a quote inside it starts nothing.
      put(c, i);
      for (++i; i < text.size() && text[i] != '\n'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] != '\n') {
          put(text[i], i);
          ++i;
          put(text[i], i);
          continue;
        }
        put(text[i], i);
        if (text[i] == c) break;
      }
      if (i < text.size() && text[i] == '\n') end_line(i);
    } else {
      put(c, i);
    }
  }
  if (started || !current.text.empty()) out.push_back(current);
  return out;
}

// The text after the first word of a directive ("include", "define"), and the word itself. A directive begins
// with "#" or its digraph "%:".
std::pair<std::string, std::string> DirectiveWord(const std::string& line) {
  const std::string text = Trim(line);
  std::size_t i = 0;
  if (StartsWith(text, "#")) i = 1;
  else if (StartsWith(text, "%:")) i = 2;
  else return {"", ""};
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const std::size_t start = i;
  while (i < text.size() && (std::isalpha(static_cast<unsigned char>(text[i])) || text[i] == '_')) ++i;
  return {text.substr(start, i - start), Trim(text.substr(i))};
}

// A line that imports (C++20: "import", "export import"), and what it imports: the word as written and the rest,
// or "" for a line that imports nothing ("import.Run()" calls a function of that name).
std::pair<std::string, std::string> ImportWord(const std::string& line) {
  std::string text = Trim(line);
  std::string written;
  if (StartsWith(text, "export") && text.size() > 6 && !IsIdentifierChar(text[6])) {
    written = "export ";
    text = Trim(text.substr(6));
  }
  if (!StartsWith(text, "import") || (text.size() > 6 && IsIdentifierChar(text[6]))) return {"", ""};
  const std::string rest = Trim(text.substr(6));
  // What follows: a header's name, a module's name or a partition (":x", not "::").
  const bool imports = !rest.empty() && (rest[0] == '<' || rest[0] == '"' || IsIdentifierChar(rest[0]) ||
                                         (rest[0] == ':' && !StartsWith(rest, "::")));
  if (!imports || (IsIdentifierChar(rest[0]) && rest.find(';') == std::string::npos)) return {"", ""};
  return {written + "import", rest};
}

// The text of a directive's operand without a comment after it.
std::string WithoutComment(const std::string& text) {
  const auto comment = std::min(text.find("//"), text.find("/*"));
  return Trim(text.substr(0, comment));
}

// Reads the directives of one source: its includes, and the lines that break a rule by themselves. Its includes
// follow the rules of `folder`.
void ScanFile(const fs::path& root, const std::string& file, const std::string& folder,
              const std::vector<SearchFolder>& folders, Scan& scan) {
  for (const LogicalLine& logical : LogicalLines(ReadFile(root / file))) {
    const std::string& line = logical.text;
    const int number = logical.line;
    const auto [imported, unit] = ImportWord(line);
    if (!imported.empty()) {
      // A header unit is read as the include it stands for; a module, which names no file, cannot be followed.
      const std::size_t close = unit.empty() ? std::string::npos : unit.find(unit[0] == '"' ? '"' : '>', 1);
      if (unit.empty() || (unit[0] != '"' && unit[0] != '<') || close == std::string::npos) {
        scan.findings.push_back({file, number,
                                 imported + " " + Trim(unit.substr(0, unit.find(';'))) +
                                     ": a header is included, written \"...\" or <...>, never imported as a module"});
        continue;
      }
      Include include{file, number, unit.substr(1, close - 1), unit[0] == '"', "", IncludeForm::kImport, folder};
      include.target = Resolve(root, include, folders);
      scan.includes.push_back(include);
      continue;
    }
    const auto [word, rest] = DirectiveWord(line);
    // "#import" is the compilers' #include read once: an include like the others.
    if (word == "include" || word == "include_next" || word == "import") {
      const std::size_t close =
          rest.empty() ? std::string::npos : rest.find(rest[0] == '"' ? '"' : '>', 1);
      if (rest.empty() || (rest[0] != '"' && rest[0] != '<') || close == std::string::npos) {
        scan.findings.push_back({file, number,
                                 "#" + word + " " + WithoutComment(rest) +
                                     ": an include is written \"...\" or <...>, never through a macro"});
        continue;
      }
      const IncludeForm form = word == "include"        ? IncludeForm::kInclude
                               : word == "include_next" ? IncludeForm::kIncludeNext
                                                        : IncludeForm::kHashImport;
      Include include{file, number, rest.substr(1, close - 1), rest[0] == '"', "", form, folder};
      include.target = Resolve(root, include, folders);
      scan.includes.push_back(include);
    } else if (word == "define" || word == "undef") {
      std::size_t end = 0;
      while (end < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[end])) || rest[end] == '_')) ++end;
      const std::string name = rest.substr(0, end);
      for (const char* mark : kBuildMarks) {
        if (name == mark)
          scan.findings.push_back({file, number,
                                   "#" + word + " " + name +
                                       ": the mark comes from the build (the CMakeLists.txt of the library that "
                                       "gives it), never from a source"});
      }
    }
  }
}

bool IsQt(const std::string& name) {
  static const std::regex qt(R"(^Q(t[A-Za-z0-9]*|[A-Z][A-Za-z0-9]*)(/.*)?$)");
  return std::regex_match(name, qt);
}

bool IsTestLibrary(const std::string& name) {
  return std::any_of(std::begin(kTestLibraries), std::end(kTestLibraries),
                     [&](const char* head) { return StartsWith(name, head); });
}

bool FolderMayUseLibrary(const std::string& folder, const std::string& name) {
  return std::any_of(std::begin(kFolderLibraries), std::end(kFolderLibraries),
                     [&](const auto& library) { return folder == library.first && StartsWith(name, library.second); });
}

}  // namespace

std::string Finding::Text() const { return file + ":" + std::to_string(line) + ": " + reason; }

bool Finding::operator<(const Finding& other) const {
  return std::tie(file, line, reason) < std::tie(other.file, other.line, other.reason);
}

Layers ParseLayers(const std::string& document) {
  Layers layers;
  std::istringstream in(document);
  std::string line;
  bool inside = false;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.rfind("## ", 0) == 0 || line.rfind("# ", 0) == 0) {
      inside = Trim(line) == kLayerSection;
      continue;
    }
    if (!inside || line.rfind("- ", 0) != 0) continue;
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string folder = Trim(line.substr(2, colon - 2));
    layers.order.push_back(folder);
    layers.lines.push_back(number);
    std::set<std::string>& uses = layers.allowed[folder];
    std::istringstream list(line.substr(colon + 1));
    std::string used;
    while (std::getline(list, used, ',')) {
      if (!Trim(used).empty()) uses.insert(Trim(used));
    }
  }
  return layers;
}

SearchPaths ReadSearchPaths(const fs::path& root, const std::string& json) { return ReadBuild(root, {}, json).paths; }

Build ReadBuild(const fs::path& root, const fs::path& build, const std::string& json) {
  Build out;
  const std::vector<JsonString> strings = JsonStrings(json);
  std::map<int, std::map<std::string, std::string>> objects;
  for (std::size_t i = 0; i + 1 < strings.size(); i += 2) objects[strings[i].object][strings[i].text] = strings[i + 1].text;
  // Each library's own sources under src/ give the rules of the files from outside src/ compiled into it: a core
  // library made by its subject's CMakeLists.txt ("src/dossier") from the files of "src/dossier/core" follows the
  // core's rules, not the windows'.
  std::map<std::string, std::set<std::string>> own_folders;  // library -> folders of its sources under src/
  std::map<std::string, std::set<std::string>> outside;      // file outside src/ -> the libraries it goes to
  for (auto& [number, fields] : objects) {
    const fs::path directory = fields["directory"];
    const fs::path path = (directory / fields["file"]).lexically_normal();
    const Command command = ParseCommand(fields["command"], directory);
    const std::string library = LibraryObjects(build, directory, command.output);
    std::string file = BelowRoot(root, path);
    if (!StartsWith(file, "src/")) {
      // A source the build makes itself is written after the check has run: only a file of the tree is read.
      if (!StartsWith(library, "src/") || (!build.empty() && !BelowRoot(build, path).empty())) continue;
      if (file.empty()) file = path.generic_string();
      outside[file].insert(library);
    } else if (!library.empty()) {
      own_folders[library].insert(FolderOf(file));
    }
    std::vector<SearchFolder>& folders = out.paths[file];
    for (const SearchFolder& folder : command.folders) AddFolder(folders, folder);
    std::vector<ForcedInclude>& forced = out.forced[file];
    forced.insert(forced.end(), command.forced.begin(), command.forced.end());
  }
  for (const auto& [file, libraries] : outside) {
    for (const std::string& library : libraries) {
      const auto own = own_folders.find(library);
      // A library made of such files alone follows the folder that makes it.
      if (own == own_folders.end()) out.libraries[file].insert(ListsFolder(library));
      else out.libraries[file].insert(own->second.begin(), own->second.end());
    }
  }
  return out;
}

std::vector<SearchFolder> FoldersOf(const SearchPaths& paths, const std::string& file) {
  const auto own = paths.find(file);
  if (own != paths.end()) return own->second;
  for (fs::path folder = fs::path(file).parent_path(); !folder.empty(); folder = folder.parent_path()) {
    std::vector<SearchFolder> folders;
    for (const auto& [compiled, some] : paths) {
      if (fs::path(compiled).parent_path() != folder) continue;
      for (const SearchFolder& f : some) AddFolder(folders, f);
    }
    if (!folders.empty()) return folders;
  }
  return {};
}

bool IsSource(const fs::path& path) {
  static const std::set<std::string> kExtensions = {".h",   ".hh",  ".hpp", ".hxx", ".h++", ".inc", ".inl",
                                                    ".ipp", ".tpp", ".tcc", ".txx", ".c",   ".cc",  ".cpp",
                                                    ".cxx", ".c++", ".ixx", ".cppm"};
  return kExtensions.count(path.extension().string()) != 0;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

Scan ScanSources(const fs::path& root, const SearchPaths& paths) { return ScanBuild(root, Build{paths, {}, {}}); }

Scan ScanBuild(const fs::path& root, const Build& build) {
  Scan scan;
  std::set<std::string> sources;
  scan.folders.push_back(root / "src");
  for (const auto& entry : fs::recursive_directory_iterator(root / "src")) {
    if (entry.is_directory()) scan.folders.push_back(entry.path());
    if (entry.is_regular_file() && IsSource(entry.path()))
      sources.insert(entry.path().lexically_relative(root).generic_string());
  }
  // A file the build compiles is a source whatever its name.
  for (const auto& [file, folders] : build.paths)
    if (StartsWith(file, "src/") && fs::is_regular_file(root / file)) sources.insert(file);
  std::sort(scan.folders.begin(), scan.folders.end());

  std::set<std::string> read;
  const auto scan_file = [&](const std::string& file, const std::string& rules) {
    // A folder the build does not compile (the windows, in a build without them) is read with src/, the folder
    // every library publishes.
    std::vector<SearchFolder> folders = FoldersOf(build.paths, file);
    if (folders.empty()) folders.push_back({(root / "src").lexically_normal(), false});
    const auto forced = build.forced.find(file);
    if (forced != build.forced.end()) {
      for (const ForcedInclude& f : forced->second) {
        Include include{file, 0, f.name, true, "", f.macros ? IncludeForm::kForcedMacros : IncludeForm::kForcedInclude,
                        rules};
        include.target = Resolve(root, include, folders, f.directory);
        scan.includes.push_back(include);
      }
    }
    ScanFile(root, file, rules, folders, scan);
    if (read.insert(file).second) scan.files.push_back(root / file);
  };
  for (const std::string& file : sources) scan_file(file, FolderOf(file));
  for (const auto& [file, libraries] : build.libraries)
    for (const std::string& library : libraries) scan_file(file, library);
  // What an include reaches under src/ is read as the rest, whatever its name (".ipp", ".inl", ".def").
  for (std::size_t i = 0; i < scan.includes.size(); ++i) {
    const std::string target = scan.includes[i].target;
    if (!target.empty() && read.count(target) == 0) scan_file(target, FolderOf(target));
  }
  return scan;
}

std::vector<Finding> ForbiddenCrossings(const std::vector<Include>& includes, const Layers& layers) {
  std::vector<Finding> out;
  for (const Include& include : includes) {
    if (include.target.empty()) continue;
    const std::string from = RuleFolder(include);
    const std::string to = FolderOf(include.target);
    if (to == from) continue;
    const auto uses = layers.allowed.find(from);
    if (uses != layers.allowed.end() && uses->second.count(to) != 0) continue;
    out.push_back({include.file, include.line,
                   "includes " + include.target + " (written " + Written(include) + "): " + kArchitecture +
                       " does not let " + from + " include " + to});
  }
  return out;
}

std::vector<Finding> ForeignHeaders(const std::vector<Include>& includes) {
  std::vector<Finding> out;
  for (const Include& include : includes) {
    if (!include.target.empty()) continue;
    const std::string folder = RuleFolder(include);
    const std::string written = "includes " + Written(include) + ": ";
    if (IsTestLibrary(include.name)) {
      out.push_back({include.file, include.line, written + "the test and benchmark libraries are not included under src/"});
    } else if (IsQt(include.name) && !Within(folder, "src/platform/gui")) {
      out.push_back({include.file, include.line, written + "Qt is included only in src/platform/gui"});
    } else if (!Within(folder, "src/platform") && !IsStandardHeader(include.name) &&
               !FolderMayUseLibrary(folder, include.name)) {
      out.push_back({include.file, include.line,
                     written + "outside src/platform a source includes only the program's own headers and the C++ "
                               "standard library's"});
    }
  }
  return out;
}

std::vector<Finding> LayerListFaults(const fs::path& root, const Layers& layers) {
  std::vector<Finding> out;
  if (layers.order.empty()) {
    out.push_back({kArchitecture, 1, std::string("no list under \"") + kLayerSection + "\""});
    return out;
  }
  std::set<std::string> above;
  for (std::size_t i = 0; i < layers.order.size(); ++i) {
    const std::string& folder = layers.order[i];
    const int line = layers.lines[i];
    if (above.count(folder) != 0) out.push_back({kArchitecture, line, folder + " is listed twice"});
    for (const std::string& used : layers.allowed.at(folder)) {
      if (above.count(used) == 0)
        out.push_back({kArchitecture, line, folder + " may include " + used + ", which is not listed above it"});
    }
    above.insert(folder);
  }
  std::map<std::string, std::string> unlisted;  // folder -> its first source
  for (const auto& entry : fs::recursive_directory_iterator(root / "src")) {
    if (!entry.is_regular_file() || !IsSource(entry.path())) continue;
    const std::string file = entry.path().lexically_relative(root).generic_string();
    const std::string folder = FolderOf(file);
    if (above.count(folder) != 0) continue;
    auto [place, added] = unlisted.emplace(folder, file);
    if (!added && file < place->second) place->second = file;
  }
  for (const auto& [folder, file] : unlisted)
    out.push_back({file, 1, folder + " holds sources but is not listed under \"" + kLayerSection + "\" of " +
                                kArchitecture});
  return out;
}

bool IsStandardHeader(std::string_view name) {
  return std::any_of(std::begin(kStandardHeaders), std::end(kStandardHeaders),
                     [&](const char* header) { return name == header; });
}

Outcome CheckTree(const fs::path& root, const fs::path& compile_commands) {
  Outcome outcome;
  const fs::path architecture = root / kArchitecture;
  const Layers layers = ParseLayers(ReadFile(architecture));
  const Build build = ReadBuild(root, compile_commands.parent_path(), ReadFile(compile_commands));
  outcome.read = {architecture, compile_commands};
  if (std::none_of(build.paths.begin(), build.paths.end(), [](const auto& p) { return StartsWith(p.first, "src/"); }))
    outcome.findings.push_back({compile_commands.generic_string(), 1, "no compile command of a file under src/"});
  Scan scan = ScanBuild(root, build);
  outcome.read.insert(outcome.read.end(), scan.folders.begin(), scan.folders.end());
  outcome.read.insert(outcome.read.end(), scan.files.begin(), scan.files.end());
  outcome.findings.insert(outcome.findings.end(), scan.findings.begin(), scan.findings.end());
  for (const std::vector<Finding>& some :
       {ForbiddenCrossings(scan.includes, layers), ForeignHeaders(scan.includes), LayerListFaults(root, layers)})
    outcome.findings.insert(outcome.findings.end(), some.begin(), some.end());
  std::sort(outcome.findings.begin(), outcome.findings.end());
  // A file compiled into two libraries is read twice: a line that breaks a rule by itself is said once.
  outcome.findings.erase(std::unique(outcome.findings.begin(), outcome.findings.end(),
                                     [](const Finding& a, const Finding& b) { return !(a < b) && !(b < a); }),
                         outcome.findings.end());
  return outcome;
}

std::string DepfileText(const std::string& target, const std::vector<fs::path>& read) {
  // Spaces, '#' and '$' are escaped as make and ninja read them.
  const auto escaped = [](const std::string& path) {
    std::string out;
    for (const char c : path) {
      if (c == ' ' || c == '#') out += '\\';
      if (c == '$') out += '$';
      out += c;
    }
    return out;
  };
  std::string text = escaped(target) + ":";
  for (const fs::path& path : read) text += " \\\n  " + escaped(path.generic_string());
  return text + "\n";
}

}  // namespace include_check
