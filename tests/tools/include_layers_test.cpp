// The include check of src/ (tools/include_check), which the build runs: every #include under src/, written
// "..." or <...>, is resolved to the file it names the way the compiler finds it (beside the including file for
// "...", then the include folders the build gives that file, read from compile_commands.json), and an include that
// reaches a file of another folder must be allowed by the list "## Dependencies between folders" of
// docs/architecture.md. The list is ordered lowest layer first; a folder may name only folders listed above it, so
// the folders never include each other in a ring. Outside src/platform a source includes, besides the program's
// own headers, only the C++ standard library's; only src/platform/gui includes Qt; no include goes through a
// macro; no source defines the marks that open the engine's and the window layer's headers. What the compiler reads
// besides is read as well (#include_next, a file of any name an include reaches, a file from outside src/ compiled
// into one of its libraries, a compile command's -include), and every target of src/ waits for the check, so that
// building one of them alone runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "include_check/include_check.h"
#include "support/command_run.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using include_check::Finding;
using include_check::Layers;
using include_check::SearchPaths;

std::vector<std::string> Texts(const std::vector<Finding>& findings) {
  std::vector<std::string> out;
  for (const Finding& f : findings) out.push_back(f.Text());
  std::sort(out.begin(), out.end());
  return out;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += "  " + l + "\n";
  return text;
}

// The message of an include between folders that the list does not allow.
std::string Crossing(const std::string& where, const std::string& written, const std::string& target) {
  const std::string file = where.substr(0, where.find(':'));
  return where + ": includes " + target + " (written " + written + "): docs/architecture.md does not let " +
         fs::path(file).parent_path().generic_string() + " include " + fs::path(target).parent_path().generic_string();
}

// The messages of a header that is not the program's own, by the rule it breaks.
std::string OutsidePlatform(const std::string& where, const std::string& written) {
  return where + ": includes " + written +
         ": outside src/platform a source includes only the program's own headers and the C++ standard library's";
}
std::string QtOutsideWindowLayer(const std::string& where, const std::string& written) {
  return where + ": includes " + written + ": Qt is included only in src/platform/gui";
}
std::string TestLibrary(const std::string& where, const std::string& written) {
  return where + ": includes " + written + ": the test and benchmark libraries are not included under src/";
}
std::string MacroInclude(const std::string& where, const std::string& operand) {
  return where + ": #include " + operand + ": an include is written \"...\" or <...>, never through a macro";
}
std::string MarkDefined(const std::string& where, const std::string& directive) {
  return where + ": " + directive +
         ": the mark comes from the build (the CMakeLists.txt of the library that gives it), never from a source";
}

// A small tree for the checks of the checker itself.
void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// One entry of a compile_commands.json for a file of the small tree, compiled from root/build with these flags
// into this object (relative to root/build, where the library's CMakeFiles folder says which library it goes to).
std::string CompileEntry(const fs::path& root, const std::string& file, const std::string& flags,
                         const std::string& object = "x.o") {
  const std::string source = (root / file).string();
  return "{\n  \"directory\": \"" + (root / "build").string() + "\",\n  \"command\": \"/usr/bin/c++ " + flags +
         " -o " + object + " -c " + source + "\",\n  \"file\": \"" + source + "\"\n}";
}

// The tree's compile_commands.json made of these entries.
fs::path WriteCompileCommands(const fs::path& root, const std::vector<std::string>& entries) {
  std::string json = "[\n";
  for (std::size_t i = 0; i < entries.size(); ++i) json += entries[i] + (i + 1 < entries.size() ? ",\n" : "\n");
  Write(root / "build/compile_commands.json", json + "]\n");
  return root / "build/compile_commands.json";
}

// The tree's compile_commands.json made of these entries, read back as the checker reads the build's.
SearchPaths TreeSearchPaths(const fs::path& root, const std::vector<std::string>& entries) {
  return include_check::ReadSearchPaths(root, include_check::ReadFile(WriteCompileCommands(root, entries)));
}

const fs::path kRoot = MERLON_SOURCE_DIR;

Layers RepositoryLayers() { return include_check::ParseLayers(include_check::ReadFile(kRoot / "docs/architecture.md")); }

// The include folders the build gives the sources, from the compile commands it writes beside itself.
SearchPaths RepositorySearchPaths() {
  return include_check::ReadSearchPaths(kRoot, include_check::ReadFile(fs::path(MERLON_BINARY_DIR) / "compile_commands.json"));
}

TEST(IncludeLayers, EveryIncludeOfTheSourcesIsAllowedByTheList) {
  const Layers layers = RepositoryLayers();
  ASSERT_FALSE(layers.order.empty()) << "docs/architecture.md has no list under \"" << include_check::kLayerSection
                                     << "\"";
  const SearchPaths paths = RepositorySearchPaths();
  ASSERT_FALSE(paths.empty()) << "no compile command of src/ in " << MERLON_BINARY_DIR << "/compile_commands.json";
  const include_check::Scan scan = include_check::ScanSources(kRoot, paths);
  ASSERT_TRUE(std::any_of(scan.includes.begin(), scan.includes.end(), [](const include_check::Include& i) {
    return !i.target.empty() && fs::path(i.target).parent_path() != fs::path(i.file).parent_path();
  }));
  const std::vector<std::string> bad = Texts(include_check::ForbiddenCrossings(scan.includes, layers));
  EXPECT_TRUE(bad.empty()) << "includes that docs/architecture.md does not allow:\n" << Joined(bad);
}

TEST(IncludeLayers, TheListIsOrderedLowestFirstAndCoversEveryFolder) {
  const std::vector<std::string> faults = Texts(include_check::LayerListFaults(kRoot, RepositoryLayers()));
  EXPECT_TRUE(faults.empty()) << Joined(faults);
}

TEST(IncludeLayers, OnlyThePlatformIncludesSystemHeaders) {
  const include_check::Scan sources = include_check::ScanSources(kRoot, RepositorySearchPaths());
  const std::vector<std::string> bad = Texts(include_check::ForeignHeaders(sources.includes));
  EXPECT_TRUE(bad.empty()) << "headers outside the standard library included outside src/platform:\n" << Joined(bad);

  test_support::TempFolder tree("include-system");
  Write(fs::path(tree.path()) / "src/platform/system/files.cpp", "#include <fcntl.h>\n#include <sys/mman.h>\n");
  Write(fs::path(tree.path()) / "src/reports/balances/core/arrays.cpp",
        "#include <cstdint>\n#include <sys/mman.h>\n  #  include <unistd.h>\n#include <csignal>\n");
  const include_check::Scan scan = include_check::ScanSources(tree.path(), {});
  EXPECT_EQ(Texts(include_check::ForeignHeaders(scan.includes)),
            (std::vector<std::string>{OutsidePlatform("src/reports/balances/core/arrays.cpp:2", "<sys/mman.h>"),
                                      OutsidePlatform("src/reports/balances/core/arrays.cpp:3", "<unistd.h>")}));
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
  const Layers layers = include_check::ParseLayers(
      std::string("# Title\n\n") + include_check::kLayerSection +
      "\n\n- src/platform/dbase:\n- src/data: src/platform/dbase\n"
      "- src/entry/core: src/data\n- src/entry: src/entry/core\n\n## Next\n- src/x: src/y\n");
  EXPECT_EQ(layers.order, (std::vector<std::string>{"src/platform/dbase", "src/data", "src/entry/core", "src/entry"}));

  const include_check::Scan scan = include_check::ScanSources(root, paths);
  EXPECT_EQ(Texts(include_check::ForbiddenCrossings(scan.includes, layers)),
            (std::vector<std::string>{
                Crossing("src/entry/core/lines.cpp:2", "\"dbase/idapi.h\"", "src/platform/dbase/idapi.h"),
                Crossing("src/entry/window.cpp:2", "\"../platform/dbase/idapi.h\"", "src/platform/dbase/idapi.h")}));
}

TEST(IncludeLayers, OnlyTheWindowLayerIncludesQt) {
  const include_check::Scan scan = include_check::ScanSources(kRoot, RepositorySearchPaths());
  std::vector<std::string> bad;
  for (const std::string& finding : Texts(include_check::ForeignHeaders(scan.includes)))
    if (finding.find("Qt is included") != std::string::npos) bad.push_back(finding);
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

  const Layers layers = include_check::ParseLayers(std::string(include_check::kLayerSection) +
                                                   "\n- src/platform/dbase:\n- src/platform/gui:\n- src/entry/core:\n"
                                                   "- src/processing/core:\n- src/reports/ledgers: src/platform/gui\n");
  const include_check::Scan scan = include_check::ScanSources(root, paths);
  const std::string engine = "src/platform/dbase/idapi.h";
  const std::string window = "src/platform/gui/window.h";
  EXPECT_EQ(Texts(include_check::ForbiddenCrossings(scan.includes, layers)),
            (std::vector<std::string>{Crossing("src/entry/core/validation.cpp:2", "\"platform/dbase/idapi.h\"", engine),
                                      Crossing("src/entry/core/validation.h:2", "\"idapi.h\"", engine),
                                      Crossing("src/processing/core/matching.cpp:2", "<platform/gui/window.h>", window),
                                      Crossing("src/processing/core/matching.cpp:4", "\"window.h\"", window)}));
  // <window.h> is found nowhere the compiler looks: to the check it is a header that is not the program's.
  EXPECT_EQ(Texts(include_check::ForeignHeaders(scan.includes)),
            (std::vector<std::string>{OutsidePlatform("src/processing/core/matching.cpp:3", "<window.h>"),
                                      QtOutsideWindowLayer("src/reports/ledgers/ledger_windows.cpp:2", "<QString>"),
                                      QtOutsideWindowLayer("src/reports/ledgers/ledger_windows.cpp:3", "<QtCore>")}));
}

// The list of a small tree, and one compiled file in each of its folders.
const char kTreeList[] =
    "# Layers\n\n## Dependencies between folders\n\n"
    "- src/platform/system:\n"
    "- src/platform/dbase: src/platform/system\n"
    "- src/platform/gui: src/platform/system\n"
    "- src/runtime: src/platform/system\n"
    "- src/data: src/platform/dbase, src/runtime\n"
    "- src/entry: src/data, src/platform/gui\n"
    "- src/processing/ofx_reader:\n"
    "- src/shell: src/platform/gui\n";

fs::path WriteTree(const fs::path& root) {
  Write(root / "docs/architecture.md", kTreeList);
  Write(root / "src/platform/system/files.h", "#pragma once\n#include <string>\n");
  Write(root / "src/platform/dbase/idapi.h", "#pragma once\n#include \"platform/system/files.h\"\n");
  Write(root / "src/platform/gui/window.h", "#pragma once\n");
  Write(root / "src/runtime/dates.h", "#pragma once\n#include <chrono>\n");
  Write(root / "src/data/table.h", "#pragma once\n#include \"platform/dbase/idapi.h\"\n#include \"runtime/dates.h\"\n");
  Write(root / "src/entry/form.h", "#pragma once\n#include \"data/table.h\"\n#include \"platform/gui/window.h\"\n");
  Write(root / "src/processing/ofx_reader/read.h", "#pragma once\n");
  std::vector<std::string> entries;
  for (const char* file : {"src/platform/system/files.cpp", "src/platform/dbase/idapi.cpp", "src/platform/gui/window.cpp",
                           "src/runtime/dates.cpp", "src/data/table.cpp", "src/entry/form.cpp",
                           "src/processing/ofx_reader/read.cpp"}) {
    Write(root / file, "#include <vector>\n");
    entries.push_back(CompileEntry(root, file, "-I" + (root / "src").string()));
  }
  return WriteCompileCommands(root, entries);
}

// Each rule broken once in a source of the small tree, beside what the same rule lets through, and what the
// whole check says of each file.
TEST(IncludeLayers, TheCheckerRefusesEachBrokenRuleAndNothingElse) {
  struct Case {
    const char* file;
    const char* text;
    std::vector<std::string> want;
  } cases[] = {
      // Between folders: the list lets the table layer reach the runtime, not the runtime the table layer.
      {"src/data/table.cpp", "#include \"table.h\"\n#include \"runtime/dates.h\"\n#include <platform/dbase/idapi.h>\n",
       {}},
      {"src/runtime/dates.cpp", "#include \"dates.h\"\n#include \"data/table.h\"\n",
       {Crossing("src/runtime/dates.cpp:2", "\"data/table.h\"", "src/data/table.h")}},
      // Through a macro, in a subject and in the platform layer alike.
      {"src/entry/form.cpp", "#define FORM_HEADER \"data/table.h\"\n#include FORM_HEADER\n",
       {MacroInclude("src/entry/form.cpp:2", "FORM_HEADER")}},
      {"src/platform/system/files.cpp", "#include <unistd.h>\n  #  include  SYSTEM_HEADER // chosen by the build\n",
       {MacroInclude("src/platform/system/files.cpp:2", "SYSTEM_HEADER")}},
      // Outside the platform layer: the standard library only, the C headers by their <cxxx> names.
      {"src/runtime/clock.cpp",
       "#include <chrono>\n#include <cstdlib>\n#include <sys/mman.h>\n#include <unistd.h>\n#include <zlib.h>\n"
       "#include <stdlib.h>\n#include \"fcntl.h\"\n",
       {OutsidePlatform("src/runtime/clock.cpp:3", "<sys/mman.h>"), OutsidePlatform("src/runtime/clock.cpp:4", "<unistd.h>"),
        OutsidePlatform("src/runtime/clock.cpp:5", "<zlib.h>"), OutsidePlatform("src/runtime/clock.cpp:6", "<stdlib.h>"),
        OutsidePlatform("src/runtime/clock.cpp:7", "\"fcntl.h\"")}},
      {"src/entry/list.cpp", "#include <QtCore>\n#include <QtWidgets/QWidget>\n",
       {QtOutsideWindowLayer("src/entry/list.cpp:1", "<QtCore>"),
        QtOutsideWindowLayer("src/entry/list.cpp:2", "<QtWidgets/QWidget>")}},
      // The platform layer: the system's headers, Qt only in the window layer.
      {"src/platform/dbase/lock.cpp", "#include <sys/mman.h>\n#include <fcntl.h>\n#include <zlib.h>\n#include <QString>\n",
       {QtOutsideWindowLayer("src/platform/dbase/lock.cpp:4", "<QString>")}},
      {"src/platform/gui/widget.cpp", "#include <QWidget>\n#include <sys/mman.h>\n#include \"window.h\"\n", {}},
      // The test libraries nowhere under src/.
      {"src/platform/gui/seam.cpp", "#include <gtest/gtest.h>\n",
       {TestLibrary("src/platform/gui/seam.cpp:1", "<gtest/gtest.h>")}},
      {"src/data/speed.cpp", "#include \"benchmark/benchmark.h\"\n",
       {TestLibrary("src/data/speed.cpp:1", "\"benchmark/benchmark.h\"")}},
      // libofx in the statement reader's folder only.
      {"src/processing/ofx_reader/statement.cpp", "#include <libofx/libofx.h>\n#include \"read.h\"\n", {}},
      {"src/entry/ofx.cpp", "#include <libofx/libofx.h>\n", {OutsidePlatform("src/entry/ofx.cpp:1", "<libofx/libofx.h>")}},
      // The marks that open the engine's and the window layer's headers: the build's, never a source's.
      {"src/entry/engine_access.cpp", "#define MERLON_ENGINE_USER\n#include \"platform/dbase/idapi.h\"\n",
       {MarkDefined("src/entry/engine_access.cpp:1", "#define MERLON_ENGINE_USER"),
        Crossing("src/entry/engine_access.cpp:2", "\"platform/dbase/idapi.h\"", "src/platform/dbase/idapi.h")}},
      {"src/data/windows.cpp", "#ifndef MERLON_WINDOW_USER\n#  define MERLON_WINDOW_USER 1\n#endif\n#undef MERLON_WINDOW_USER\n",
       {MarkDefined("src/data/windows.cpp:2", "#define MERLON_WINDOW_USER"),
        MarkDefined("src/data/windows.cpp:4", "#undef MERLON_WINDOW_USER")}},
      {"src/platform/dbase/engine.cpp", "#ifdef MERLON_ENGINE_USER\n#define MERLON_ENGINE_USERS 2\n#endif\n", {}},
      // A folder this build does not compile (the windows, in a build without them) is read with src/.
      {"src/shell/menu.cpp", "#include \"platform/gui/window.h\"\n#include \"data/table.h\"\n",
       {Crossing("src/shell/menu.cpp:2", "\"data/table.h\"", "src/data/table.h")}},
  };
  test_support::TempFolder tree("include-rules");
  const fs::path root = tree.path();
  const fs::path compile_commands = WriteTree(root);
  for (const Case& c : cases) Write(root / c.file, c.text);

  const include_check::Outcome outcome = include_check::CheckTree(root, compile_commands);
  std::map<std::string, std::vector<std::string>> found;
  for (const Finding& f : outcome.findings) found[f.file].push_back(f.Text());
  for (const Case& c : cases) {
    std::vector<std::string> want = c.want;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(found[c.file], want) << c.file;
    found.erase(c.file);
  }
  EXPECT_TRUE(found.empty()) << "findings in the tree's other files:\n" << found.begin()->second.front();

  // What the check read: the list, the compile commands, every source and every folder under src/.
  for (const fs::path& read : {root / "docs/architecture.md", compile_commands, root / "src/runtime/clock.cpp",
                               root / "src/entry/form.h", root / "src/processing/ofx_reader"})
    EXPECT_NE(std::find(outcome.read.begin(), outcome.read.end(), read), outcome.read.end()) << read;

  EXPECT_TRUE(include_check::IsStandardHeader("string_view"));
  EXPECT_TRUE(include_check::IsStandardHeader("cstdint"));
  EXPECT_FALSE(include_check::IsStandardHeader("stdint.h"));
  EXPECT_FALSE(include_check::IsStandardHeader("sys/types.h"));
}

// The list itself: a folder listed twice or naming one below it, a folder of sources not listed.
TEST(IncludeLayers, TheCheckerRefusesAListOutOfOrderOrShort) {
  test_support::TempFolder tree("include-list");
  const fs::path root = tree.path();
  Write(root / "src/runtime/dates.cpp", "");
  Write(root / "src/data/table.cpp", "");
  Write(root / "src/entry/form.cpp", "");
  Write(root / "src/entry/form.h", "");
  const Layers layers = include_check::ParseLayers(std::string(include_check::kLayerSection) +
                                                   "\n- src/data: src/runtime\n- src/runtime:\n- src/data:\n");
  EXPECT_EQ(Texts(include_check::LayerListFaults(root, layers)),
            (std::vector<std::string>{
                "docs/architecture.md:2: src/data may include src/runtime, which is not listed above it",
                "docs/architecture.md:4: src/data is listed twice",
                "src/entry/form.cpp:1: src/entry holds sources but is not listed under \"## Dependencies between "
                "folders\" of docs/architecture.md"}));
  EXPECT_EQ(Texts(include_check::LayerListFaults(root, include_check::ParseLayers("# No list\n"))),
            (std::vector<std::string>{
                "docs/architecture.md:1: no list under \"## Dependencies between folders\""}));
}

// What the compiler reads besides the includes written #include in the files under src/, each a way past a check
// that read only those: #include_next, which goes on after the folder its file was found in; a file of another name
// that an include reaches (".ipp", ".inl", ".def"); a file outside src/ compiled into a library of src/, which
// follows that library's rules; a header a compile command includes first (-include, -imacros).
TEST(IncludeLayers, TheCheckerReadsWhatTheCompilerReadsBesidesTheSources) {
  test_support::TempFolder tree("include-beside");
  const fs::path root = tree.path();
  WriteTree(root);
  const std::string src = (root / "src").string();
  const std::string library = "src/runtime/CMakeFiles/tree_runtime.dir/";
  Write(root / "src/runtime/table.h", "#pragma once\n#include_next \"table.h\"\n");
  Write(root / "src/runtime/periods.h", "#pragma once\n  #  include_next <periods.h> // the next one\n");
  Write(root / "src/data/periods.h", "#pragma once\n");
  Write(root / "src/runtime/dates.cpp", "#include \"dates.h\"\n#include \"table.h\"\n#include \"periods.h\"\n");
  Write(root / "src/runtime/dates.h", "#pragma once\n#include \"dates.ipp\"\n#include \"dates.inl\"\n#include \"dates.def\"\n");
  Write(root / "src/runtime/dates.ipp", "#include \"data/table.h\"\n");
  Write(root / "src/runtime/dates.inl", "#include <chrono>\n#include <QString>\n");
  Write(root / "src/runtime/dates.def", "#include <unistd.h>\n");
  Write(root / "src/runtime/periods.cc", "#include \"data/table.h\"\n");
  Write(root / "tools/extra.cpp", "#include <vector>\n#include \"data/table.h\"\n");
  Write(root / "tests/extra_test.cpp", "#include \"data/table.h\"\n");
  Write(root / "build/src/runtime/made.cpp", "#include \"data/table.h\"\n");
  const fs::path compile_commands = WriteCompileCommands(
      root, {// The runtime's folder, then the table layer's: the next "table.h" after the runtime's is the table layer's.
             CompileEntry(root, "src/runtime/dates.cpp", "-I" + src + "/runtime -I" + src + "/data -I" + src,
                          library + "dates.cpp.o"),
             CompileEntry(root, "src/runtime/periods.cc", "-I" + src, library + "periods.cc.o"),
             CompileEntry(root, "tools/extra.cpp", "-I" + src, library + "__/__/tools/extra.cpp.o"),
             CompileEntry(root, "tests/extra_test.cpp", "-I" + src, "tests/CMakeFiles/tree_tests.dir/extra_test.cpp.o"),
             // A source the build makes itself is written after the check has run.
             CompileEntry(root, "build/src/runtime/made.cpp", "-I" + src, library + "made.cpp.o"),
             // Found from the build folder first, then through the include folders.
             CompileEntry(root, "src/runtime/clock.cpp",
                          "-I" + src + " -include ../src/data/table.h --include=data/table.h -imacros unistd.h",
                          library + "clock.cpp.o"),
             CompileEntry(root, "src/data/table.cpp", "-I" + src + " -includeruntime/dates.h -include-pch x.pch",
                          "src/data/CMakeFiles/tree_data.dir/table.cpp.o")});
  Write(root / "src/runtime/clock.cpp", "#include <vector>\n");
  Write(root / "src/data/table.cpp", "#include <vector>\n");

  const std::string table = "src/data/table.h";
  const std::string refused = ": docs/architecture.md does not let src/runtime include src/data";
  const std::map<std::string, std::vector<std::string>> want = {
      {"src/runtime/table.h",
       {"src/runtime/table.h:2: includes " + table + " (written #include_next \"table.h\")" + refused}},
      {"src/runtime/periods.h",
       {"src/runtime/periods.h:2: includes src/data/periods.h (written #include_next <periods.h>)" + refused}},
      {"src/runtime/dates.ipp", {Crossing("src/runtime/dates.ipp:1", "\"data/table.h\"", table)}},
      {"src/runtime/dates.inl", {QtOutsideWindowLayer("src/runtime/dates.inl:2", "<QString>")}},
      {"src/runtime/dates.def", {OutsidePlatform("src/runtime/dates.def:1", "<unistd.h>")}},
      {"src/runtime/periods.cc", {Crossing("src/runtime/periods.cc:1", "\"data/table.h\"", table)}},
      {"tools/extra.cpp", {"tools/extra.cpp:2: includes " + table + " (written \"data/table.h\")" + refused}},
      {"src/runtime/clock.cpp",
       {"src/runtime/clock.cpp:0: includes " + table + " (written -include data/table.h)" + refused,
        "src/runtime/clock.cpp:0: includes " + table + " (written -include ../src/data/table.h)" + refused,
        OutsidePlatform("src/runtime/clock.cpp:0", "-imacros unistd.h")}},
  };
  const include_check::Outcome outcome = include_check::CheckTree(root, compile_commands);
  std::map<std::string, std::vector<std::string>> found;
  for (const Finding& f : outcome.findings) found[f.file].push_back(f.Text());
  for (auto& [file, lines] : found) std::sort(lines.begin(), lines.end());
  for (auto [file, lines] : want) {
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(found[file], lines) << file;
  }
  for (const auto& [file, lines] : found)
    EXPECT_TRUE(want.count(file) || lines.empty()) << "a finding in " << file << ":\n" << Joined(lines);
  for (const fs::path& read : {root / "src/runtime/dates.ipp", root / "src/runtime/dates.def", root / "tools/extra.cpp"})
    EXPECT_NE(std::find(outcome.read.begin(), outcome.read.end(), read), outcome.read.end()) << read;
}

// Each way of writing an include that the compiler reads and a line-by-line reading missed: a header unit imported,
// an #import (the compilers' #include read once), the digraph "%:" for "#", a comment before the directive (one
// over several lines too), a directive spliced by a backslash; and what only looks like one (a function named
// import, a directive inside a comment or a raw string).
// A file from outside src/ compiled into a core library follows the rules of that library's own sources, not those
// of the folder whose CMakeLists.txt makes it (the subject's windows).
TEST(IncludeLayers, TheCheckerReadsEveryWayOfWritingAnInclude) {
  test_support::TempFolder tree("include-ways");
  const fs::path root = tree.path();
  const std::string src = (root / "src").string();
  Write(root / "docs/architecture.md",
        "# Layers\n\n## Dependencies between folders\n\n"
        "- src/platform/system:\n"
        "- src/platform/gui: src/platform/system\n"
        "- src/runtime: src/platform/system\n"
        "- src/data: src/runtime\n"
        "- src/dossier/core: src/data, src/runtime\n"
        "- src/dossier: src/data, src/dossier/core, src/platform/gui, src/runtime\n");
  Write(root / "src/platform/system/files.h", "#pragma once\n");
  Write(root / "src/platform/gui/window.h", "#pragma once\n");
  Write(root / "src/runtime/dates.h", "#pragma once\n");
  Write(root / "src/data/table.h", "#pragma once\n");
  Write(root / "src/dossier/core/totals.cpp", "#include \"data/table.h\"\n");
  Write(root / "src/dossier/open.cpp", "#include \"platform/gui/window.h\"\n");
  Write(root / "tools/core_extra.cpp", "#include \"data/table.h\"\n#include \"platform/gui/window.h\"\n");
  Write(root / "tools/window_extra.cpp", "#include \"platform/gui/window.h\"\n");
  Write(root / "src/runtime/ways.cpp",
        "import \"data/table.h\";\n"                    // 1
        "export import <data/table.h>;\n"               // 2
        "import tree.dates;\n"                          // 3
        "%:include \"data/table.h\"\n"                  // 4
        "  %:  include <vector>\n"                      // 5
        "/* the table */ #include \"data/table.h\"\n"   // 6
        "#\\\n"                                         // 7
        "include \"data/table.h\"\n"                    // 8
        "#inc\\\r\n"                                    // 9
        "lude \"data/table.h\"\n"                       // 10
        "/* a comment over\n"                           // 11
        "   two lines */ #include \"data/table.h\"\n"   // 12
        "void f() { import.Run(); }\n"                  // 13
        "/*\n#include \"data/table.h\"\n*/\n"           // 14-16
        "// #include \"data/table.h\"\n"                // 17
        "const char* s = R\"x(\n"                       // 18
        "#include \"data/table.h\"\n"                   // 19
        ")x\";\n"                                       // 20
        "int n = 1'000; const char* t = \"'\";\n"       // 21
        "#include \"runtime/dates.h\"\n"                // 22
        "#include \"data/table.h\" /* and a note\n"     // 23
        "   that goes on */\n"                          // 24
        "#import \"data/table.h\"\n"                    // 25
        "  %:  import <vector>\n");                     // 26
  const std::string core = "src/dossier/CMakeFiles/tree_dossier_core.dir/";
  const std::string windows = "src/dossier/CMakeFiles/tree_dossier.dir/";
  const fs::path compile_commands = WriteCompileCommands(
      root, {CompileEntry(root, "src/runtime/ways.cpp", "-I" + src, "src/runtime/CMakeFiles/tree_runtime.dir/ways.cpp.o"),
             CompileEntry(root, "src/dossier/core/totals.cpp", "-I" + src, core + "core/totals.cpp.o"),
             CompileEntry(root, "tools/core_extra.cpp", "-I" + src, core + "__/__/tools/core_extra.cpp.o"),
             CompileEntry(root, "src/dossier/open.cpp", "-I" + src, windows + "open.cpp.o"),
             CompileEntry(root, "tools/window_extra.cpp", "-I" + src, windows + "__/__/tools/window_extra.cpp.o")});

  const std::string table = "src/data/table.h";
  auto at = [](int line) { return "src/runtime/ways.cpp:" + std::to_string(line); };
  std::vector<std::string> want = {
      Crossing(at(1), "import \"data/table.h\"", table),
      Crossing(at(2), "import <data/table.h>", table),
      at(3) + ": import tree.dates: a header is included, written \"...\" or <...>, never imported as a module",
      Crossing(at(4), "\"data/table.h\"", table),
      Crossing(at(6), "\"data/table.h\"", table),
      Crossing(at(7), "\"data/table.h\"", table),
      Crossing(at(9), "\"data/table.h\"", table),
      Crossing(at(12), "\"data/table.h\"", table),
      Crossing(at(23), "\"data/table.h\"", table),
      Crossing(at(25), "#import \"data/table.h\"", table),
      "tools/core_extra.cpp:2: includes src/platform/gui/window.h (written \"platform/gui/window.h\"): "
      "docs/architecture.md does not let src/dossier/core include src/platform/gui",
  };
  std::sort(want.begin(), want.end());
  EXPECT_EQ(Texts(include_check::CheckTree(root, compile_commands).findings), want);
}

// The command the build runs: its output, its exit status, its stamp and depfile.
test_support::CommandRun RunCheck(const std::string& arguments) {
  return test_support::RunCommand(std::string(MERLON_INCLUDE_CHECK) + " " + arguments);
}

TEST(IncludeLayers, TheBuildsCommandFailsWithTheMessagesAndStampsOnlyAWholeTree) {
  test_support::TempFolder tree("include-command");
  const fs::path root = tree.path();
  const fs::path compile_commands = WriteTree(root);
  const fs::path stamp = root / "build/include_check.stamp";
  const fs::path depfile = root / "build/include_check.d";
  const std::string arguments = "--source " + root.string() + " --compile-commands " + compile_commands.string() +
                                " --stamp " + stamp.string() + " --depfile " + depfile.string();

  const test_support::CommandRun whole = RunCheck(arguments);
  EXPECT_EQ(whole.status, 0) << whole.output;
  EXPECT_EQ(whole.output, "");
  EXPECT_TRUE(fs::exists(stamp));
  const std::string depends = include_check::ReadFile(depfile);
  EXPECT_EQ(depends.rfind(stamp.string() + ": \\\n", 0), 0u) << depends;
  for (const fs::path& read : {root / "docs/architecture.md", compile_commands, root / "src/entry/form.h", root / "src/data"})
    EXPECT_NE(depends.find("  " + read.string() + " \\\n"), std::string::npos) << read << " in\n" << depends;

  Write(root / "src/runtime/dates.cpp", "#include \"data/table.h\"\n#include <unistd.h>\n");
  Write(root / "src/entry/form.cpp", "#define MERLON_WINDOW_USER\n#include FORM_HEADER\n");
  const test_support::CommandRun broken = RunCheck(arguments);
  EXPECT_EQ(broken.status, 1);
  for (const std::string& line :
       {Crossing("src/runtime/dates.cpp:1", "\"data/table.h\"", "src/data/table.h"),
        OutsidePlatform("src/runtime/dates.cpp:2", "<unistd.h>"),
        MarkDefined("src/entry/form.cpp:1", "#define MERLON_WINDOW_USER"), MacroInclude("src/entry/form.cpp:2", "FORM_HEADER"),
        "merlon-include-check: 4 include rule(s) broken under " + root.string() + "/src (see docs/architecture.md)"})
    EXPECT_NE(broken.output.find(line + "\n"), std::string::npos) << line << " in\n" << broken.output;
  EXPECT_FALSE(fs::exists(stamp)) << "a stamp left by the run before";
  EXPECT_TRUE(fs::exists(depfile));

  // Without its inputs it says so and stamps nothing.
  const test_support::CommandRun lost = RunCheck("--source " + root.string() + " --compile-commands " +
                                                 (root / "none.json").string() + " --stamp " + stamp.string());
  EXPECT_EQ(lost.status, 2) << lost.output;
  EXPECT_FALSE(fs::exists(stamp));
}

// A small CMake project laid out as the program, its check wired by the program's own cmake/IncludeCheck.cmake
// with the checker this build made: a build of one library or one program runs the check, a forbidden include
// stops it, and an up-to-date tree leaves nothing to do.
class OneTargetBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(MERLON_CMAKE_GENERATOR) != "Ninja") GTEST_SKIP() << "the build's generator is not Ninja";
    Write(root_ / "CMakeLists.txt",
          "cmake_minimum_required(VERSION 3.25)\nproject(tree CXX)\nset(CMAKE_EXPORT_COMPILE_COMMANDS ON)\n"
          "include(" + (kRoot / "cmake/IncludeCheck.cmake").string() + ")\n"
          "add_subdirectory(src/runtime)\nadd_subdirectory(src/data)\nadd_subdirectory(src/app)\n"
          "merlon_include_check(COMMAND " MERLON_INCLUDE_CHECK " FOLDERS src/runtime src/data src/app)\n");
    Write(root_ / "docs/architecture.md", "## Dependencies between folders\n\n- src/runtime:\n- src/data: src/runtime\n"
                                          "- src/app: src/data, src/runtime\n");
    Write(root_ / "src/runtime/CMakeLists.txt",
          "add_library(tree_runtime STATIC dates.cpp)\ntarget_include_directories(tree_runtime PUBLIC ${CMAKE_SOURCE_DIR}/src)\n");
    Write(root_ / "src/data/CMakeLists.txt",
          "add_library(tree_data STATIC table.cpp)\ntarget_link_libraries(tree_data PUBLIC tree_runtime)\n");
    Write(root_ / "src/app/CMakeLists.txt", "add_executable(tree_app main.cpp)\ntarget_link_libraries(tree_app PRIVATE tree_data)\n");
    Write(root_ / "src/runtime/dates.h", "#pragma once\nint Days();\n");
    Write(root_ / "src/runtime/dates.cpp", "#include \"runtime/dates.h\"\nint Days() { return 365; }\n");
    Write(root_ / "src/data/table.h", "#pragma once\nint Records();\n");
    Write(root_ / "src/data/table.cpp", "#include \"data/table.h\"\n#include \"runtime/dates.h\"\nint Records() { return Days(); }\n");
    Write(root_ / "src/app/main.cpp", "#include \"data/table.h\"\nint main() { return Records() == 365 ? 0 : 1; }\n");
    const test_support::CommandRun configured = Run(std::string(MERLON_CMAKE_COMMAND) + " -S " + root_.string() + " -B " +
                                                    build_.string() + " -G Ninja -DCMAKE_MAKE_PROGRAM=" MERLON_MAKE_PROGRAM
                                                    " -DCMAKE_CXX_COMPILER=" MERLON_CXX_COMPILER);
    ASSERT_EQ(configured.status, 0) << configured.output;
  }

  test_support::CommandRun Run(const std::string& command) { return test_support::RunCommand(command); }
  test_support::CommandRun Build(const std::string& target) {
    return Run(std::string(MERLON_CMAKE_COMMAND) + " --build " + build_.string() + " --target " + target);
  }

  test_support::TempFolder tree_{"include-one-target"};
  fs::path root_ = tree_.path();
  fs::path build_ = root_ / "build";
};

TEST_F(OneTargetBuild, RunsTheCheckFirstAndStopsOnAForbiddenInclude) {
  const test_support::CommandRun app = Build("tree_app");
  ASSERT_EQ(app.status, 0) << app.output;
  EXPECT_NE(app.output.find("Checking the includes of src/"), std::string::npos) << app.output;
  const test_support::CommandRun again = Run(std::string(MERLON_MAKE_PROGRAM) + " -C " + build_.string() + " -n");
  EXPECT_NE(again.output.find("no work to do"), std::string::npos) << again.output;

  // The runtime reaches up into the table layer: building the runtime alone, or the program, fails on it.
  Write(root_ / "src/runtime/dates.cpp", "#include \"runtime/dates.h\"\n#include \"data/table.h\"\nint Days() { return 365; }\n");
  const std::string finding = "src/runtime/dates.cpp:2: includes src/data/table.h (written \"data/table.h\"): "
                              "docs/architecture.md does not let src/runtime include src/data";
  for (const char* target : {"tree_runtime", "tree_app"}) {
    const test_support::CommandRun stopped = Build(target);
    EXPECT_NE(stopped.status, 0) << target << "\n" << stopped.output;
    EXPECT_NE(stopped.output.find(finding), std::string::npos) << target << "\n" << stopped.output;
    EXPECT_EQ(stopped.output.find("dates.cpp.o"), std::string::npos) << target << ": compiled before the check\n"
                                                                      << stopped.output;
  }
  Write(root_ / "src/runtime/dates.cpp", "#include \"runtime/dates.h\"\nint Days() { return 365; }\n");
  const test_support::CommandRun mended = Build("tree_data");
  EXPECT_EQ(mended.status, 0) << mended.output;
}

// In this build, the program and the tests that link the libraries of src/ run the check when they are built.
TEST(IncludeLayers, EveryTargetOfTheProgramWaitsForTheCheck) {
  if (std::string(MERLON_CMAKE_GENERATOR) != "Ninja") GTEST_SKIP() << "the build's generator is not Ninja";
  for (const char* target : {"merlon", "merlon_resources", "merlon_runtime", "merlon_processing_core", "runtime_tests",
                             "processing_core_tests", "merlon-demo"}) {
    const test_support::CommandRun commands = test_support::RunCommand(std::string(MERLON_MAKE_PROGRAM) + " -C " +
                                                                      MERLON_BINARY_DIR + " -t commands " + target);
    ASSERT_EQ(commands.status, 0) << target << "\n" << commands.output.substr(0, 2000);
    EXPECT_NE(commands.output.find(MERLON_INCLUDE_CHECK " --source"), std::string::npos) << target;
  }
}

}  // namespace
