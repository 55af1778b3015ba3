// The layers as the build keeps them: every #include under src/, written "..." or <...>, is resolved to the file
// it names the way the compiler finds it (beside the including file for "...", then the include folders the build
// gives that file, read from compile_commands.json), and an include that reaches a file of another folder must be
// allowed by the list "## Dependencies between folders" of docs/architecture.md. The list is ordered lowest layer
// first; a folder may name only folders listed above it, so the folders never include each other in a ring. Only
// src/platform includes the system's own (POSIX) headers, only src/platform/gui includes Qt.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const char kSection[] = "## Dependencies between folders";

// Each folder in the order of the list, with the folders it may include.
struct Layers {
  std::vector<std::string> order;
  std::map<std::string, std::set<std::string>> allowed;
};

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The lines "- src/x: src/y, src/z" of the section, up to the next heading.
Layers ParseLayers(const std::string& document) {
  Layers layers;
  std::istringstream in(document);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0 || line.rfind("# ", 0) == 0) {
      inside = Trim(line) == kSection;
      continue;
    }
    if (!inside || line.rfind("- ", 0) != 0) continue;
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string folder = Trim(line.substr(2, colon - 2));
    layers.order.push_back(folder);
    std::set<std::string>& uses = layers.allowed[folder];
    std::istringstream list(line.substr(colon + 1));
    std::string used;
    while (std::getline(list, used, ',')) {
      if (!Trim(used).empty()) uses.insert(Trim(used));
    }
  }
  return layers;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool IsSource(const fs::path& path) {
  const std::string ext = path.extension().string();
  return ext == ".h" || ext == ".cpp" || ext == ".hpp" || ext == ".inc";
}

// One include that crosses folders.
struct Edge {
  std::string from;    // folder of the including file, "src/..."
  std::string to;      // folder of the included file
  std::string where;   // file:line
};

// One include folder of a compile command. A folder given by -iquote serves only includes written "...".
struct SearchFolder {
  fs::path path;  // absolute
  bool quote_only = false;
};

// The include folders the build gives each file it compiles, "src/..." -> folders in the compiler's order.
using SearchPaths = std::map<std::string, std::vector<SearchFolder>>;

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

// The include folders of one compile command, in the order the compiler searches them: -iquote, -I,
// -isystem, -idirafter. Relative folders are taken from the command's own folder.
std::vector<SearchFolder> CommandFolders(const std::string& command, const fs::path& directory) {
  static const char* const kFlags[] = {"-iquote", "-I", "-isystem", "-idirafter"};
  std::vector<std::vector<SearchFolder>> by_flag(std::size(kFlags));
  const std::vector<std::string> words = CommandWords(command);
  for (std::size_t i = 0; i < words.size(); ++i) {
    for (std::size_t f = 0; f < std::size(kFlags); ++f) {
      const std::string flag = kFlags[f];
      if (words[i].rfind(flag, 0) != 0) continue;
      std::string folder = words[i].substr(flag.size());
      if (folder.empty() && i + 1 < words.size()) folder = words[++i];
      if (folder.empty()) break;
      by_flag[f].push_back({(directory / folder).lexically_normal(), f == 0});
      break;
    }
  }
  std::vector<SearchFolder> folders;
  for (const auto& some : by_flag) folders.insert(folders.end(), some.begin(), some.end());
  return folders;
}

// The file below root that an absolute path names ("src/x/y.cpp"), or "" for a path outside root.
std::string BelowRoot(const fs::path& root, const fs::path& path) {
  const fs::path relative = path.lexically_normal().lexically_relative(root.lexically_normal());
  if (relative.empty() || *relative.begin() == "..") return "";
  return relative.generic_string();
}

// The include folders of every file under root/src that compile_commands.json compiles.
SearchPaths ReadSearchPaths(const fs::path& root, const std::string& json) {
  SearchPaths paths;
  const std::vector<JsonString> strings = JsonStrings(json);
  std::map<int, std::map<std::string, std::string>> objects;
  for (std::size_t i = 0; i + 1 < strings.size(); i += 2) objects[strings[i].object][strings[i].text] = strings[i + 1].text;
  for (auto& [number, fields] : objects) {
    const fs::path directory = fields["directory"];
    const std::string file = BelowRoot(root, directory / fields["file"]);
    if (file.rfind("src/", 0) != 0) continue;
    std::vector<SearchFolder>& folders = paths[file];
    for (const SearchFolder& folder : CommandFolders(fields["command"], directory)) {
      const bool known = std::any_of(folders.begin(), folders.end(),
                                     [&](const SearchFolder& f) { return f.path == folder.path; });
      if (!known) folders.push_back(folder);
    }
  }
  return paths;
}

// The folders the compiler searches for a file's includes: those of its own compile command; a header (or a
// file the build does not compile) takes those of the files compiled in its folder, or in the nearest folder
// above it that has some.
std::vector<SearchFolder> FoldersOf(const SearchPaths& paths, const std::string& file) {
  const auto own = paths.find(file);
  if (own != paths.end()) return own->second;
  for (fs::path folder = fs::path(file).parent_path(); !folder.empty(); folder = folder.parent_path()) {
    std::vector<SearchFolder> folders;
    for (const auto& [compiled, some] : paths) {
      if (fs::path(compiled).parent_path() != folder) continue;
      for (const SearchFolder& f : some) {
        const bool known = std::any_of(folders.begin(), folders.end(),
                                       [&](const SearchFolder& g) { return g.path == f.path; });
        if (!known) folders.push_back(f);
      }
    }
    if (!folders.empty()) return folders;
  }
  return {};
}

// One include directive of a source under src/.
struct Include {
  std::string file;    // the including file, "src/..."
  int line = 0;
  std::string name;    // as written between the quotes or the angle brackets
  bool quoted = false;
  std::string target;  // the program's file it reaches, "src/...", or "" (a header of the system, Qt, a library)
};

// The file an include reaches, relative to the root, as the compiler finds it: beside the including file first
// (an include written "..."), then in each folder the build gives that file; "" for a file outside src/ or one
// found nowhere.
std::string Resolve(const fs::path& root, const std::string& includer, const Include& include,
                    const std::vector<SearchFolder>& folders) {
  if (include.quoted) {
    const fs::path beside = (fs::path(includer).parent_path() / include.name).lexically_normal();
    if (fs::is_regular_file(root / beside)) return beside.generic_string().rfind("src/", 0) == 0 ? beside.generic_string() : "";
  }
  for (const SearchFolder& folder : folders) {
    if (folder.quote_only && !include.quoted) continue;
    const fs::path candidate = (folder.path / include.name).lexically_normal();
    if (!fs::is_regular_file(candidate)) continue;
    const std::string below = BelowRoot(root, candidate);
    return below.rfind("src/", 0) == 0 ? below : "";
  }
  return "";
}

// Every include directive under root/src, written "..." or <...>, with the file it reaches.
std::vector<Include> Includes(const fs::path& root, const SearchPaths& paths) {
  std::vector<Include> out;
  for (const auto& entry : fs::recursive_directory_iterator(root / "src")) {
    if (!entry.is_regular_file() || !IsSource(entry.path())) continue;
    const std::string file = fs::relative(entry.path(), root).generic_string();
    const std::vector<SearchFolder> folders = FoldersOf(paths, file);
    std::istringstream in(ReadFile(entry.path()));
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      const std::string text = Trim(line);
      if (text.rfind("#", 0) != 0) continue;
      const std::string directive = Trim(text.substr(1));
      if (directive.rfind("include", 0) != 0) continue;
      const std::string rest = Trim(directive.substr(std::string("include").size()));
      if (rest.empty() || (rest[0] != '"' && rest[0] != '<')) continue;
      const auto close = rest.find(rest[0] == '"' ? '"' : '>', 1);
      if (close == std::string::npos) continue;
      Include include{file, number, rest.substr(1, close - 1), rest[0] == '"', ""};
      include.target = Resolve(root, file, include, folders);
      out.push_back(include);
    }
  }
  return out;
}

// Every include under root/src that crosses from one folder to another.
std::vector<Edge> CrossingIncludes(const fs::path& root, const SearchPaths& paths) {
  std::vector<Edge> edges;
  for (const Include& include : Includes(root, paths)) {
    if (include.target.empty()) continue;
    const std::string from = fs::path(include.file).parent_path().generic_string();
    const std::string to = fs::path(include.target).parent_path().generic_string();
    if (to != from) edges.push_back({from, to, include.file + ":" + std::to_string(include.line)});
  }
  return edges;
}

// The includes of Qt's headers (<QString>, <QtCore>, <QtWidgets/QWidget>) outside the window layer, one line each.
std::vector<std::string> QtIncludesOutsideWindowLayer(const fs::path& root, const SearchPaths& paths) {
  static const std::regex qt(R"(^Q(t[A-Za-z0-9]*|[A-Z][A-Za-z0-9]*)(/.*)?$)");
  std::vector<std::string> out;
  for (const Include& include : Includes(root, paths)) {
    if (include.file.rfind("src/platform/gui/", 0) == 0 || !include.target.empty()) continue;
    if (std::regex_match(include.name, qt))
      out.push_back(include.file + ":" + std::to_string(include.line) + ": " + include.name);
  }
  return out;
}

// The crossings the list does not allow, one line each.
std::vector<std::string> Forbidden(const std::vector<Edge>& edges, const Layers& layers) {
  std::vector<std::string> out;
  for (const Edge& e : edges) {
    const auto uses = layers.allowed.find(e.from);
    if (uses == layers.allowed.end() || uses->second.count(e.to) == 0)
      out.push_back(e.where + ": " + e.from + " -> " + e.to);
  }
  return out;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += "  " + l + "\n";
  return text;
}

// A small tree for the checks of the checker itself.
void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// One entry of a compile_commands.json for a file of the small tree, compiled from root/build with these flags.
std::string CompileEntry(const fs::path& root, const std::string& file, const std::string& flags) {
  const std::string source = (root / file).string();
  return "{\n  \"directory\": \"" + (root / "build").string() + "\",\n  \"command\": \"/usr/bin/c++ " + flags +
         " -o x.o -c " + source + "\",\n  \"file\": \"" + source + "\"\n}";
}

// The tree's compile_commands.json made of these entries, read back as the checker reads the build's.
SearchPaths TreeSearchPaths(const fs::path& root, const std::vector<std::string>& entries) {
  std::string json = "[\n";
  for (std::size_t i = 0; i < entries.size(); ++i) json += entries[i] + (i + 1 < entries.size() ? ",\n" : "\n");
  Write(root / "build/compile_commands.json", json + "]\n");
  return ReadSearchPaths(root, ReadFile(root / "build/compile_commands.json"));
}

const fs::path kRoot = MERLON_SOURCE_DIR;

Layers RepositoryLayers() { return ParseLayers(ReadFile(kRoot / "docs/architecture.md")); }

// The include folders the build gives the sources, from the compile commands it writes beside itself.
SearchPaths RepositorySearchPaths() {
  return ReadSearchPaths(kRoot, ReadFile(fs::path(MERLON_BINARY_DIR) / "compile_commands.json"));
}

TEST(IncludeLayers, EveryIncludeOfTheSourcesIsAllowedByTheList) {
  const Layers layers = RepositoryLayers();
  ASSERT_FALSE(layers.order.empty()) << "docs/architecture.md has no list under \"" << kSection << "\"";
  const SearchPaths paths = RepositorySearchPaths();
  ASSERT_FALSE(paths.empty()) << "no compile command of src/ in " << MERLON_BINARY_DIR << "/compile_commands.json";
  const std::vector<Edge> edges = CrossingIncludes(kRoot, paths);
  ASSERT_FALSE(edges.empty());
  const std::vector<std::string> bad = Forbidden(edges, layers);
  EXPECT_TRUE(bad.empty()) << "includes that docs/architecture.md does not allow:\n" << Joined(bad);
}

TEST(IncludeLayers, TheListIsOrderedLowestFirstAndCoversEveryFolder) {
  const Layers layers = RepositoryLayers();
  std::set<std::string> above;
  std::vector<std::string> faults;
  for (const std::string& folder : layers.order) {
    if (above.count(folder) != 0) faults.push_back(folder + " is listed twice");
    for (const std::string& used : layers.allowed.at(folder)) {
      if (above.count(used) == 0) faults.push_back(folder + " may include " + used + ", which is not listed above it");
    }
    above.insert(folder);
  }
  for (const auto& entry : fs::recursive_directory_iterator(kRoot / "src")) {
    if (!entry.is_regular_file() || !IsSource(entry.path())) continue;
    const std::string folder = fs::relative(entry.path().parent_path(), kRoot).generic_string();
    if (above.count(folder) == 0) faults.push_back(folder + " holds sources but is not listed");
    above.insert(folder);
  }
  EXPECT_TRUE(faults.empty()) << Joined(faults);
}

// The includes of POSIX headers outside src/platform, one line each: the subjects ask the platform layers.
std::vector<std::string> SystemIncludesOutsidePlatform(const fs::path& root) {
  static const std::regex posix(
      R"(^\s*#\s*include\s*<(sys/[^>]+|unistd\.h|fcntl\.h|dirent\.h|spawn\.h|pwd\.h|signal\.h|pthread\.h|dlfcn\.h|poll\.h|termios\.h)>)");
  std::vector<std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(root / "src")) {
    if (!entry.is_regular_file() || !IsSource(entry.path())) continue;
    const std::string file = fs::relative(entry.path(), root).generic_string();
    if (file.rfind("src/platform/", 0) == 0) continue;
    std::istringstream in(ReadFile(entry.path()));
    std::string line;
    for (int number = 1; std::getline(in, line); ++number)
      if (std::regex_search(line, posix)) out.push_back(file + ":" + std::to_string(number) + ": " + Trim(line));
  }
  return out;
}

TEST(IncludeLayers, OnlyThePlatformIncludesSystemHeaders) {
  const std::vector<std::string> bad = SystemIncludesOutsidePlatform(kRoot);
  EXPECT_TRUE(bad.empty()) << "system headers included outside src/platform:\n" << Joined(bad);

  test_support::TempFolder tree("include-system");
  Write(fs::path(tree.path()) / "src/platform/system/files.cpp", "#include <fcntl.h>\n#include <sys/mman.h>\n");
  Write(fs::path(tree.path()) / "src/reports/balances/core/arrays.cpp",
        "#include <cstdint>\n#include <sys/mman.h>\n  #  include <unistd.h>\n#include <csignal>\n");
  EXPECT_EQ(SystemIncludesOutsidePlatform(tree.path()),
            (std::vector<std::string>{"src/reports/balances/core/arrays.cpp:2: #include <sys/mman.h>",
                                      "src/reports/balances/core/arrays.cpp:3: #  include <unistd.h>"}));
}

TEST(IncludeLayers, TheCheckerFindsAnUpwardIncludeWhereverItIsWritten) {
  test_support::TempFolder tree("include-layers");
  const fs::path root = tree.path();
  Write(root / "src/platform/dbase/idapi.h", "#pragma once\n");
  Write(root / "src/data/table.h", "#pragma once\n#include \"platform/dbase/idapi.h\"\n");
  Write(root / "src/data/table.cpp", "#include \"table.h\"\n#include <vector>\n#include \"gtest/gtest.h\"\n");
  Write(root / "src/entry/core/lines.h", "#pragma once\n#include \"data/table.h\"\n");
  // Each way of writing an include that reaches the engine from a subject.
  Write(root / "src/entry/core/lines.cpp", "#include \"lines.h\"\n  #  include \"dbase/idapi.h\"\n");
  Write(root / "src/entry/window.cpp", "#include \"core/lines.h\"\n#include \"../platform/dbase/idapi.h\"\n");
  // The folders the libraries published beside src/: the engine's parent and the table layer's.
  const std::string published = "-I" + (root / "src").string() + " -I" + (root / "src/platform").string() + " -I" +
                                (root / "src/data").string();
  const SearchPaths paths = TreeSearchPaths(root, {CompileEntry(root, "src/data/table.cpp", published),
                                                   CompileEntry(root, "src/entry/core/lines.cpp", published),
                                                   CompileEntry(root, "src/entry/window.cpp", published)});
  const Layers layers = ParseLayers(std::string("# Title\n\n") + kSection +
                                    "\n\n- src/platform/dbase:\n- src/data: src/platform/dbase\n"
                                    "- src/entry/core: src/data\n- src/entry: src/entry/core\n\n## Next\n- src/x: src/y\n");
  EXPECT_EQ(layers.order, (std::vector<std::string>{"src/platform/dbase", "src/data", "src/entry/core", "src/entry"}));

  std::vector<std::string> bad = Forbidden(CrossingIncludes(root, paths), layers);
  std::sort(bad.begin(), bad.end());
  EXPECT_EQ(bad, (std::vector<std::string>{"src/entry/core/lines.cpp:2: src/entry/core -> src/platform/dbase",
                                           "src/entry/window.cpp:2: src/entry -> src/platform/dbase"}));
}

TEST(IncludeLayers, OnlyTheWindowLayerIncludesQt) {
  const std::vector<std::string> bad = QtIncludesOutsideWindowLayer(kRoot, RepositorySearchPaths());
  EXPECT_TRUE(bad.empty()) << "Qt headers included outside src/platform/gui:\n" << Joined(bad);
}

// The includes a subject could write while the build published more than it should: the window layer by an
// include written <...>, Qt from a report, the engine by its bare name through the folder the engine published.
// Each is refused; a header takes the include folders of the files compiled beside it.
TEST(IncludeLayers, TheCheckerRefusesAngleIncludesQtAboveTheWindowLayerAndTheEngineByBareName) {
  test_support::TempFolder tree("include-forms");
  const fs::path root = tree.path();
  Write(root / "qt/QtWidgets/QWidget", "");
  Write(root / "qt/QtWidgets/QMdiArea", "");
  Write(root / "src/platform/dbase/idapi.h", "#pragma once\n");
  Write(root / "src/platform/dbase/idapi.cpp", "#include \"idapi.h\"\n");
  Write(root / "src/platform/gui/window.h", "#pragma once\n#include <cstdint>\n");
  Write(root / "src/platform/gui/window.cpp",
        "#include \"window.h\"\n#include <QWidget>\n#include <QtWidgets/QMdiArea>\n");
  Write(root / "src/entry/core/validation.h", "#pragma once\n#include \"idapi.h\"\n");
  Write(root / "src/entry/core/validation.cpp", "#include \"validation.h\"\n#include \"platform/dbase/idapi.h\"\n");
  Write(root / "src/processing/core/matching.cpp",
        "#include <string>\n#include <platform/gui/window.h>\n#include <window.h>\n#include \"window.h\"\n");
  Write(root / "src/reports/ledgers/ledger_windows.cpp",
        "#include \"platform/gui/window.h\"\n#include <QString>\n  #  include <QtCore>\n");
  const std::string src = (root / "src").string();
  const SearchPaths paths = TreeSearchPaths(
      root, {CompileEntry(root, "src/platform/dbase/idapi.cpp", "-I../src -I../src/platform/dbase"),
             CompileEntry(root, "src/platform/gui/window.cpp",
                          "-DQT_WIDGETS_LIB -I" + src + " -isystem " + (root / "qt/QtWidgets").string() + " -isystem " +
                              (root / "qt").string()),
             // The engine's folder published to the subjects, as it was.
             CompileEntry(root, "src/entry/core/validation.cpp", "-I " + src + " -I" + src + "/platform/dbase"),
             // A folder for "..." only: <window.h> is not found there, "window.h" is.
             CompileEntry(root, "src/processing/core/matching.cpp", "-iquote " + src + "/platform/gui -I" + src),
             CompileEntry(root, "src/reports/ledgers/ledger_windows.cpp",
                          "-DMERLON_SOURCE_DIR=\\\"" + root.string() + "\\\" -I" + src)});
  ASSERT_EQ(paths.size(), 5u);
  EXPECT_EQ(paths.at("src/platform/dbase/idapi.cpp").front().path, root / "src");

  const Layers layers = ParseLayers(std::string(kSection) +
                                    "\n- src/platform/dbase:\n- src/platform/gui:\n- src/entry/core:\n"
                                    "- src/processing/core:\n- src/reports/ledgers: src/platform/gui\n");
  std::vector<std::string> bad = Forbidden(CrossingIncludes(root, paths), layers);
  std::sort(bad.begin(), bad.end());
  EXPECT_EQ(bad, (std::vector<std::string>{"src/entry/core/validation.cpp:2: src/entry/core -> src/platform/dbase",
                                           "src/entry/core/validation.h:2: src/entry/core -> src/platform/dbase",
                                           "src/processing/core/matching.cpp:2: src/processing/core -> src/platform/gui",
                                           "src/processing/core/matching.cpp:4: src/processing/core -> src/platform/gui"}));
  EXPECT_EQ(QtIncludesOutsideWindowLayer(root, paths),
            (std::vector<std::string>{"src/reports/ledgers/ledger_windows.cpp:2: QString",
                                      "src/reports/ledgers/ledger_windows.cpp:3: QtCore"}));
}

}  // namespace
