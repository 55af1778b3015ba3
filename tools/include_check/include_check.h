// The include check of src/, run by the build (merlon-include-check) and tested in
// tests/tools/include_layers_test.cpp. Every #include, #include_next and #import under src/, read as the
// preprocessor reads it (lines spliced, comments blanked, "%:" for "#"), and every header unit imported, is
// resolved to the file it names the way the compiler finds it: beside the including file for "...", then the
// include folders the build gives that file, read from compile_commands.json (#include_next goes on after the
// folder the including file was found in). What the compiler reads besides is read as well: a file of any name
// that an include under src/ reaches (a ".ipp", an ".inl"), a file outside src/ that the build compiles into a
// library of src/ (read with the rules of the folder of that library's own sources), the files a compile command
// includes before the source (-include). It then holds these rules:
//   - an include that reaches a file of another folder is allowed by the list "## Dependencies between folders"
//     of docs/architecture.md (lowest layer first; a folder names only folders listed above it);
//   - a header that is not the program's own is, outside src/platform, one of the C++ standard library's; Qt is
//     included only in src/platform/gui, the test and benchmark libraries nowhere under src/;
//   - an include is written "..." or <...>, never through a macro nor as a module's import (the check could not
//     follow it);
//   - the marks MERLON_ENGINE_USER and MERLON_WINDOW_USER, which open the engine's and the window layer's
//     headers, come from the build only: no source defines or undefines them.
// Standard library only: the check is built and run before the program's libraries.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace include_check {

namespace fs = std::filesystem;

// The heading of docs/architecture.md's list of what each folder may include.
extern const char kLayerSection[];

// Each folder in the order of the list, with the line of the document that lists it and the folders it may include.
struct Layers {
  std::vector<std::string> order;
  std::vector<int> lines;
  std::map<std::string, std::set<std::string>> allowed;
};

// The lines "- src/x: src/y, src/z" of the section, up to the next heading.
Layers ParseLayers(const std::string& document);

// One include folder of a compile command. A folder given by -iquote serves only includes written "...".
struct SearchFolder {
  fs::path path;  // absolute
  bool quote_only = false;
};

// The include folders the build gives each file it compiles, "src/..." -> folders in the compiler's order. A file
// outside src/ is named from the root ("tools/x.cpp"), or by its absolute path outside the root.
using SearchPaths = std::map<std::string, std::vector<SearchFolder>>;

// A file a compile command includes before the source's first line (-include, -imacros): its name as written,
// and the folder the command runs in, where the compiler looks for it first.
struct ForcedInclude {
  std::string name;
  fs::path directory;
  bool macros = false;  // -imacros: its macros kept, what it declares dropped
};

// What the compile commands say of the files the build compiles into the libraries of src/.
struct Build {
  // The include folders of every file under src/, and of every file outside src/ compiled into a library of src/.
  SearchPaths paths;
  // A file compiled from outside src/ -> the folders of the sources under src/ of the libraries it is compiled
  // into, whose rules it follows (a library is known by where its objects go: "<build>/src/x/CMakeFiles/y.dir").
  std::map<std::string, std::set<std::string>> libraries;
  // A compiled file -> what its command includes before its first line.
  std::map<std::string, std::vector<ForcedInclude>> forced;
};

// The include folders of every file under root/src that the text of a compile_commands.json compiles.
SearchPaths ReadSearchPaths(const fs::path& root, const std::string& json);

// What the text of the compile_commands.json of the build folder `build` says (see Build).
Build ReadBuild(const fs::path& root, const fs::path& build, const std::string& json);

// The folders the compiler searches for a file's includes: those of its own compile command; a header (or a
// file the build does not compile) takes those of the files compiled in its folder, or in the nearest folder
// above it that has some.
std::vector<SearchFolder> FoldersOf(const SearchPaths& paths, const std::string& file);

// How an include is written: #include, #include_next, the import of a header unit, #import (an #include read
// once), or -include or -imacros in the file's compile command.
enum class IncludeForm { kInclude, kIncludeNext, kForcedInclude, kForcedMacros, kImport, kHashImport };

// One include directive of a source under src/ (or of a file the build compiles into a library of src/).
struct Include {
  std::string file;    // the including file, "src/..."
  int line = 0;        // 0 for an include of the compile command
  std::string name;    // as written between the quotes or the angle brackets, or after -include
  bool quoted = false;
  std::string target;  // the program's file it reaches, "src/...", or "" (a header of the system, Qt, a library)
  IncludeForm form = IncludeForm::kInclude;
  std::string folder;  // the folder whose rules it follows: the including file's, or that of the sources of the
                       // library it is built into
};

// A broken rule: "file:line: reason" once written out.
struct Finding {
  std::string file;  // relative to the source folder
  int line = 0;
  std::string reason;
  std::string Text() const;
  bool operator<(const Finding& other) const;
};

// What the sources under src/ hold: every include written "..." or <...> with the file it reaches, the lines
// that break a rule by themselves (an include through a macro, a mark defined), and what was read: the sources
// under src/, every file an include of theirs reaches there whatever its name, the files outside src/ compiled
// into its libraries.
struct Scan {
  std::vector<Include> includes;
  std::vector<Finding> findings;
  std::vector<fs::path> files;    // every source read, absolute
  std::vector<fs::path> folders;  // every folder under src/, absolute: a file added there runs the check again
};

// A C or C++ source or header by its extension, the included implementation files (".ipp", ".inl", ".tcc")
// among them.
bool IsSource(const fs::path& path);
std::string ReadFile(const fs::path& path);

// Reads every source under root/src, each with the include folders the build gives it (FoldersOf); a file that
// none are given for is read with root/src, the folder every library publishes.
Scan ScanSources(const fs::path& root, const SearchPaths& paths);
// The same with the rest of what the build compiles: the files outside src/ compiled into its libraries, and
// what each compile command includes first.
Scan ScanBuild(const fs::path& root, const Build& build);

// The includes that reach another folder where the list does not allow it.
std::vector<Finding> ForbiddenCrossings(const std::vector<Include>& includes, const Layers& layers);

// The includes of headers that are not the program's own and that their folder may not include: outside
// src/platform anything but the C++ standard library, Qt outside src/platform/gui, the test libraries anywhere.
std::vector<Finding> ForeignHeaders(const std::vector<Include>& includes);

// The faults of the list itself: a folder listed twice, one that names a folder not listed above it, a folder
// under root/src that holds sources and is not listed.
std::vector<Finding> LayerListFaults(const fs::path& root, const Layers& layers);

// True for a header of the C++17/20 standard library, <cxxx> wrappers of the C library included (not the
// <xxx.h> forms, through which the system's own functions come).
bool IsStandardHeader(std::string_view name);

// The whole check of root/src against root/docs/architecture.md and a build's compile_commands.json.
struct Outcome {
  std::vector<Finding> findings;  // sorted, empty when every rule holds
  std::vector<fs::path> read;     // every file and folder the check read, for the build's depfile
};
Outcome CheckTree(const fs::path& root, const fs::path& compile_commands);

// A depfile in the compiler's form: target depends on every path read.
std::string DepfileText(const std::string& target, const std::vector<fs::path>& read);

}  // namespace include_check
