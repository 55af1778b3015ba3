// The layers as the build keeps them: every #include "..." under src/ is resolved to the file it names, and an
// include that crosses from one folder to another must be allowed by the list "## Dependencies between folders"
// of docs/architecture.md. The list is ordered lowest layer first; a folder may name only folders listed above it,
// so the folders never include each other in a ring. Only src/platform includes the system's own (POSIX) headers.
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

// One include that crosses folders.
struct Edge {
  std::string from;    // folder of the including file, "src/..."
  std::string to;      // folder of the included file
  std::string where;   // file:line
};

// The include directories the libraries publish beside src/: the engine's folders (its callers write
// "dbase/idapi.h") and the table layer's (its files include each other by bare name).
const char* const kPublishedDirs[] = {"src", "src/platform", "src/data"};

// The file an include names, relative to the root: beside the including file first, then in the published
// directories; "" for a header that is not the program's (the standard library, Qt, GoogleTest).
std::string Resolve(const fs::path& root, const fs::path& includer, const std::string& name) {
  const fs::path beside = (includer.parent_path() / name).lexically_normal();
  if (fs::is_regular_file(root / beside)) return beside.generic_string();
  for (const char* dir : kPublishedDirs) {
    const fs::path candidate = (fs::path(dir) / name).lexically_normal();
    if (fs::is_regular_file(root / candidate)) return candidate.generic_string();
  }
  return "";
}

bool IsSource(const fs::path& path) {
  const std::string ext = path.extension().string();
  return ext == ".h" || ext == ".cpp" || ext == ".hpp" || ext == ".inc";
}

// Every include under root/src that crosses from one folder to another.
std::vector<Edge> CrossingIncludes(const fs::path& root) {
  std::vector<Edge> edges;
  for (const auto& entry : fs::recursive_directory_iterator(root / "src")) {
    if (!entry.is_regular_file() || !IsSource(entry.path())) continue;
    const fs::path file = fs::relative(entry.path(), root);
    const std::string folder = file.parent_path().generic_string();
    std::istringstream in(ReadFile(entry.path()));
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      const std::string text = Trim(line);
      if (text.rfind("#", 0) != 0) continue;
      const std::string directive = Trim(text.substr(1));
      if (directive.rfind("include", 0) != 0) continue;
      const auto open = directive.find('"');
      const auto close = directive.find('"', open + 1);
      if (open == std::string::npos || close == std::string::npos) continue;
      const std::string target = Resolve(root, file, directive.substr(open + 1, close - open - 1));
      if (target.empty()) continue;
      const std::string to = fs::path(target).parent_path().generic_string();
      if (to != folder) edges.push_back({folder, to, file.generic_string() + ":" + std::to_string(number)});
    }
  }
  return edges;
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

const fs::path kRoot = MERLON_SOURCE_DIR;

Layers RepositoryLayers() { return ParseLayers(ReadFile(kRoot / "docs/architecture.md")); }

TEST(IncludeLayers, EveryIncludeOfTheSourcesIsAllowedByTheList) {
  const Layers layers = RepositoryLayers();
  ASSERT_FALSE(layers.order.empty()) << "docs/architecture.md has no list under \"" << kSection << "\"";
  const std::vector<Edge> edges = CrossingIncludes(kRoot);
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
  const Layers layers = ParseLayers(std::string("# Title\n\n") + kSection +
                                    "\n\n- src/platform/dbase:\n- src/data: src/platform/dbase\n"
                                    "- src/entry/core: src/data\n- src/entry: src/entry/core\n\n## Next\n- src/x: src/y\n");
  EXPECT_EQ(layers.order, (std::vector<std::string>{"src/platform/dbase", "src/data", "src/entry/core", "src/entry"}));

  std::vector<std::string> bad = Forbidden(CrossingIncludes(root), layers);
  std::sort(bad.begin(), bad.end());
  EXPECT_EQ(bad, (std::vector<std::string>{"src/entry/core/lines.cpp:2: src/entry/core -> src/platform/dbase",
                                           "src/entry/window.cpp:2: src/entry -> src/platform/dbase"}));
}

}  // namespace
