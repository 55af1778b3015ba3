#include "command_listing/command_listing.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "platform/system/cp1252.h"
#include "resources/string_table.h"
#include "shell/command_table.h"

namespace command_listing {

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// True when `word` stands alone in `text` (not inside a longer name).
bool HasWord(const std::string& text, const std::string& word) {
  for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const bool before = at > 0 && IsWordChar(text[at - 1]);
    const bool after = at + word.size() < text.size() && IsWordChar(text[at + word.size()]);
    if (!before && !after) return true;
  }
  return false;
}

// The names of command_ids.h: "inline constexpr unsigned Name = number;", those of namespace
// command_id only (the child windows' names follow it).
// Its comment, when the line has one, says what a command without a menu text does.
struct Constant {
  std::string name;
  std::string comment;
};

std::map<unsigned, Constant> ReadConstants(const fs::path& header, std::vector<std::string>& problems) {
  std::map<unsigned, Constant> names;
  const std::string prefix = "inline constexpr unsigned ";
  for (const std::string& line : Lines(ReadText(header))) {
    if (line.rfind("}  // namespace command_id", 0) == 0) break;
    if (line.rfind(prefix, 0) != 0) continue;
    const auto eq = line.find(" = ", prefix.size());
    if (eq == std::string::npos) continue;
    const std::string name = line.substr(prefix.size(), eq - prefix.size());
    const unsigned id = static_cast<unsigned>(std::stoul(line.substr(eq + 3)));
    const auto slashes = line.find("//");
    const std::string comment = slashes == std::string::npos ? std::string() : Trimmed(line.substr(slashes + 2));
    if (!names.emplace(id, Constant{name, comment}).second) {
      problems.push_back("id " + std::to_string(id) + " has two constants");
    }
  }
  return names;
}

// One command of menu 1101: the popups above it and its id.
struct MenuPlace {
  std::string path;
  unsigned id;
};

std::string WithoutMnemonic(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] != '&') continue;
    if (text[i] == '&') ++i;
    out += text[i];
  }
  return out;
}

// The menu file: a popup title, then its items indented two spaces deeper; "-" a separator.
std::vector<MenuPlace> ReadMenu(const fs::path& file) {
  std::vector<MenuPlace> places;
  std::vector<std::string> popups;
  for (const std::string& line : Lines(ReadText(file))) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t depth = line.find_first_not_of(' ') / 2;
    const std::string item = Trimmed(line);
    popups.resize(std::min(popups.size(), depth));
    if (item == "-") continue;
    if (std::all_of(item.begin(), item.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
      std::string path;
      for (const std::string& p : popups) path += (path.empty() ? "" : " > ") + p;
      places.push_back({path, static_cast<unsigned>(std::stoul(item))});
    } else {
      popups.push_back(WithoutMnemonic(item));
    }
  }
  return places;
}

// Accelerator table: "key<TAB>id" lines.
std::map<unsigned, std::string> ReadKeys(const fs::path& file) {
  std::map<unsigned, std::string> keys;
  for (const std::string& line : Lines(ReadText(file))) {
    const auto tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    keys[static_cast<unsigned>(std::stoul(line.substr(tab + 1)))] = line.substr(0, tab);
  }
  return keys;
}

std::string StringText(int id) {
  const std::string* text = resources::FindString(id);
  return text == nullptr ? std::string() : platform::Cp1252ToUtf8(*text);
}

// The work a subject installs: the SetCommandWork call's second argument as written, the
// function it names or calls, and where the call is.
struct Install {
  std::string expression;
  std::string function;
  bool lambdaWithArguments = false;
  std::string where;
};

// The arguments of the call whose "(" is at `open`, split at the commas of its own level.
std::vector<std::string> CallArguments(const std::string& text, std::size_t open) {
  std::vector<std::string> args(1);
  int level = 0;
  for (std::size_t i = open + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '(' || c == '[' || c == '{') ++level;
    if ((c == ')' || c == ']' || c == '}') && level-- == 0) break;
    if (c == ',' && level == 0) {
      args.emplace_back();
      continue;
    }
    args.back() += (c == '\n' ? ' ' : c);
  }
  for (std::string& a : args) {
    a = Trimmed(a);
    // Spaces that line breaks left behind.
    for (auto at = a.find("  "); at != std::string::npos; at = a.find("  ")) a.erase(at, 1);
  }
  return args;
}

std::string LeadingName(const std::string& text) {
  std::string name;
  for (char c : text) {
    if (!IsWordChar(c) && c != ':') break;
    name += c;
  }
  return name;
}

Install ReadInstall(const std::string& expression, const std::string& where) {
  Install install{expression, "", false, where};
  std::string e = expression;
  if (!e.empty() && e[0] == '&') e.erase(0, 1);
  if (!e.empty() && e[0] == '[') {
    // A lambda making one call: "[...] { F(args); }".
    const auto open = e.find('{');
    const auto close = e.rfind('}');
    std::string body = open == std::string::npos ? e : Trimmed(e.substr(open + 1, close - open - 1));
    if (!body.empty() && body.back() == ';') body.pop_back();
    install.expression = body;
    install.function = LeadingName(body);
    install.lambdaWithArguments = body.find("()") == std::string::npos && body.find('(') != std::string::npos;
  } else {
    install.expression = e;
    install.function = LeadingName(e);
  }
  return install;
}

std::vector<fs::path> SourceFiles(const fs::path& src) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    const fs::path extension = entry.path().extension();
    if (entry.is_regular_file() && (extension == ".cpp" || extension == ".h")) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// A function's definition: its body and the comment lines just above it.
struct Definition {
  std::vector<std::string> comment;
  std::string body;
  fs::path file;
};

struct SourceTree {
  std::map<fs::path, std::vector<std::string>> files;
};

// The comment lines just above line `i`, each without its indent.
std::vector<std::string> CommentAbove(const std::vector<std::string>& lines, std::size_t i) {
  std::vector<std::string> comment;
  for (std::size_t c = i; c > 0 && Trimmed(lines[c - 1]).rfind("//", 0) == 0; --c) {
    comment.insert(comment.begin(), Trimmed(lines[c - 1]));
  }
  return comment;
}

// Where a definition may be: every .cpp file, or only the computations (a core/ folder, src/posting).
enum class Where { Anywhere, Core };

bool InCore(const fs::path& path) {
  const std::string p = path.generic_string();
  return p.find("/core/") != std::string::npos || p.find("/src/posting/") != std::string::npos;
}

// The definition of `function` ("Name" or "Class::Name"): a line at the left margin holding
// " Name(" (a free function) or "::Name(" (a member, when `qualified`), not a declaration.
bool FindDefinitionAs(const SourceTree& tree, const std::string& function, bool qualified, Where where,
                      Definition& found) {
  const std::string call = function + "(";
  for (const auto& [path, lines] : tree.files) {
    if (path.extension() != ".cpp" || (where == Where::Core && !InCore(path))) continue;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      if (line.empty() || line[0] == ' ' || line[0] == '/' || line[0] == '#' || line.back() == ';') continue;
      // The name defined is the line's first call: "void F() { G(); }" defines F, not G.
      const auto at = line.find(call);
      if (at == std::string::npos || at == 0 || line.find('(') != at + function.size()) continue;
      const bool member = at >= 2 && line[at - 1] == ':' && line[at - 2] == ':';
      if (line[at - 1] != ' ' && !(qualified && member)) continue;
      if (line.find(" = ") != std::string::npos) continue;
      found.comment = CommentAbove(lines, i);
      found.file = path;
      for (std::size_t b = i; b < lines.size(); ++b) {
        found.body += lines[b] + "\n";
        if (lines[b] == "}" || (b == i && line.back() == '}')) break;
      }
      return true;
    }
  }
  return false;
}

// A free function first; a member of that name (the shell's CMDIClient::CmQuitter) only when none.
bool FindDefinition(const SourceTree& tree, const std::string& function, Definition& found,
                    Where where = Where::Anywhere) {
  return FindDefinitionAs(tree, function, false, where, found) ||
         FindDefinitionAs(tree, function, true, where, found);
}

// The "Core:" line of a comment: the core functions named up to the end of its sentence, or "none"
// with the reason given after it ("Core: none, a window of settings only.").
struct CoreLine {
  bool present = false;
  bool none = false;
  std::string reason;
  std::vector<std::string> names;
};

CoreLine ReadCoreLine(const std::vector<std::string>& comment) {
  std::string text;
  for (const std::string& line : comment) text += line.substr(std::min<std::size_t>(line.size(), 3)) + " ";
  CoreLine core;
  const auto at = text.find("Core: ");
  if (at == std::string::npos) return core;
  core.present = true;
  // The sentence ends at a full stop followed by a space ("backup.cpp" does not end it).
  const auto end = text.find(". ", at);
  const std::string entries = text.substr(at + 6, end == std::string::npos ? std::string::npos : end - at - 6);
  if (entries.rfind("none", 0) == 0) {
    core.none = true;
    core.reason = Trimmed(entries.substr(4));
    if (!core.reason.empty() && (core.reason[0] == ',' || core.reason[0] == ':'))
      core.reason = Trimmed(core.reason.substr(1));
    return core;
  }
  // Names between commas; a remark in brackets after a name ("RunDossierRebuild (through
  // RebuildDossier)") is for the reader only.
  std::string name;
  int depth = 0;
  for (const char c : entries + ",") {
    if (c == '(') ++depth;
    if (depth == 0 && c == ',') {
      name = Trimmed(name.substr(0, name.find('(')));
      if (!name.empty()) core.names.push_back(name);
      name.clear();
      continue;
    }
    if (c == ')') --depth;
    name += c;
  }
  return core;
}

std::string LastName(const std::string& name) {
  return name.substr(name.rfind(':') == std::string::npos ? 0 : name.rfind(':') + 1);
}

std::string Cell(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '|') out += '\\';
    out += c;
  }
  return out;
}

std::string Code(const std::string& text) { return text.empty() ? std::string("-") : "`" + text + "`"; }

// Menu text and key of a command: the string N + 1000 ("text<TAB>[key]"); a command without one
// is named by its tooltip (the hint's last line), else by the comment of its constant.
void TextAndKey(unsigned id, const std::map<unsigned, std::string>& keys, std::string& text, std::string& key) {
  const std::string menuText = StringText(static_cast<int>(id) + 1000);
  const auto tab = menuText.find('\t');
  text = WithoutMnemonic(menuText.substr(0, tab));
  if (tab != std::string::npos) {
    key = menuText.substr(tab + 1);
    key.erase(std::remove(key.begin(), key.end(), '['), key.end());
    key.erase(std::remove(key.begin(), key.end(), ']'), key.end());
  }
  if (const auto k = keys.find(id); k != keys.end()) key = k->second;
  if (text.empty()) {
    std::string hint = StringText(static_cast<int>(id));
    const auto nl = hint.rfind("\\n");
    const auto cut = hint.rfind('\n');
    if (cut != std::string::npos) hint = hint.substr(cut + 1);
    else if (nl != std::string::npos) hint = hint.substr(nl + 2);
    hint = Trimmed(hint);
    if (!hint.empty()) text = "(" + hint + ")";
  }
}

// The classes that handle a command of the active child, each checked to have a response table in src/.
std::string ChildHandlers(const SourceTree& tree, unsigned id, std::vector<std::string>& problems) {
  std::string names;
  std::istringstream in(FindChildCommand(id)->handledBy);
  for (std::string name; std::getline(in, name, ',');) {
    name = Trimmed(name);
    const std::string owner = name.substr(name.rfind(':') == std::string::npos ? 0 : name.rfind(':') + 1);
    Definition definition;
    if (!FindDefinition(tree, owner + "::Table", definition)) {
      problems.push_back("command " + std::to_string(id) + ": " + name + " has no response table in src/");
    }
    names += (names.empty() ? "" : ", ") + Code(name);
  }
  return names;
}


// A core function or class: defined in a .cpp file of a core folder or src/posting, or a class of
// their headers.
bool DefinedInCore(const SourceTree& tree, const std::string& name) {
  Definition definition;
  if (FindDefinition(tree, name, definition, Where::Core)) return true;
  const std::string last = LastName(name);
  for (const auto& [path, lines] : tree.files) {
    if (!InCore(path) || path.extension() != ".h") continue;
    for (const std::string& line : lines) {
      for (const char* kind : {"class ", "struct "}) {
        const std::string head = kind + last;
        if (line.rfind(head, 0) == 0 && (line.size() == head.size() || !IsWordChar(line[head.size()]))) return true;
      }
    }
  }
  return false;
}

// True when the work calls `name`: its own body, or a window of its folder (the list or form it
// opens, whose code sits beside it), the folder's core/ excepted.
bool CalledByWork(const SourceTree& tree, const Definition& work, const std::string& name) {
  if (HasWord(work.body, name)) return true;
  for (const auto& [path, lines] : tree.files) {
    if (path.parent_path() != work.file.parent_path()) continue;
    for (const std::string& line : lines) {
      const std::string code = line.substr(0, line.find("//"));
      if (HasWord(code, name)) return true;
    }
  }
  return false;
}

// The core cell of a row, from the "Core:" line of the comment above `owner` (the work, the shell's
// handler or the row of the child windows' commands): "none (why)", or the core functions named,
// each checked to be defined in a core folder and, when the `work` is known, called by it.
std::string CoreCell(const SourceTree& tree, const std::string& owner, const std::vector<std::string>& comment,
                     const Definition* work, std::vector<std::string>& problems) {
  const CoreLine core = ReadCoreLine(comment);
  if (!core.present) {
    problems.push_back(owner + " has no \"Core:\" line in the comment above it");
    return "-";
  }
  if (core.none) {
    if (core.reason.empty()) problems.push_back(owner + " says \"Core: none\" without saying why");
    return core.reason.empty() ? std::string("none") : "none (" + core.reason + ")";
  }
  if (core.names.empty()) problems.push_back(owner + " has an empty \"Core:\" line");
  std::string cell;
  for (const std::string& name : core.names) {
    if (work != nullptr && !CalledByWork(tree, *work, LastName(name))) {
      problems.push_back(owner + " names " + name + " as its core entry but does not call it");
    }
    if (!DefinedInCore(tree, name)) {
      problems.push_back(owner + " names " + name + " as its core entry but no core folder nor src/posting defines it");
    }
    cell += (cell.empty() ? "" : ", ") + Code(name);
  }
  return cell;
}

// The lines of src/shell/command_table.cpp in the tree (empty when it has none).
const std::vector<std::string>& CommandTableLines(const SourceTree& tree, const fs::path& src) {
  static const std::vector<std::string> none;
  const auto found = tree.files.find(src / "shell/command_table.cpp");
  return found == tree.files.end() ? none : found->second;
}

// The line of command_table.cpp where the row of `constant` begins, in the table opened by `table`.
std::size_t RowLine(const std::vector<std::string>& lines, const std::string& table, const std::string& constant) {
  bool inTable = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find(table) != std::string::npos && lines[i].find("= {") != std::string::npos) inTable = true;
    if (inTable && lines[i] == "};") inTable = false;
    if (inTable && lines[i].find("{.first = command_id::" + constant + ",") != std::string::npos) return i;
  }
  return lines.size();
}

// The shell's own handler of a row: the function its `handler` names (CmQuitter, a member of the
// client; CmDossierRecent for CmDossierRecent1 and CmDossierRecent2-9), else the table's function
// that the row's `.shell` points at.
bool FindShellHandler(const SourceTree& tree, const fs::path& src, const CommandEntry& entry,
                      const std::string& constant, std::string& owner, Definition& found) {
  std::string name = entry.handler;
  for (const std::string& candidate : {"CMDIClient::" + name, name}) {
    if (FindDefinition(tree, candidate, found)) {
      owner = candidate;
      return true;
    }
  }
  while (!name.empty() && (std::isdigit(static_cast<unsigned char>(name.back())) || name.back() == '-')) {
    name.pop_back();
  }
  if (!name.empty() && name != entry.handler && FindDefinition(tree, name, found)) {
    owner = name;
    return true;
  }
  const std::vector<std::string>& lines = CommandTableLines(tree, src);
  std::string row;
  for (std::size_t i = RowLine(lines, "kTable", constant); i < lines.size(); ++i) {
    row += lines[i];
    if (lines[i].find("},") != std::string::npos) break;
  }
  const auto at = row.find(".shell = &");
  if (at == std::string::npos) return false;
  owner = LeadingName(row.substr(at + 10));
  return FindDefinition(tree, owner, found);
}

}  // namespace

std::string RegenerateCommand() {
  return "ninja -C build merlon-commands && build/tools/command_listing/merlon-commands . > docs/commands.md";
}

Listing MakeListing(const fs::path& sourceDir) {
  Listing listing;
  auto& problems = listing.problems;
  const fs::path src = sourceDir / "src";
  const std::map<unsigned, Constant> constants = ReadConstants(src / "resources/command_ids.h", problems);
  const std::vector<MenuPlace> menu = ReadMenu(src / "resources/menus/1101.menu");
  const std::map<unsigned, std::string> keys = ReadKeys(src / "resources/accelerators/1102.acc");

  // Every SetCommandWork call of the subjects, by constant.
  SourceTree tree;
  std::map<std::string, std::vector<Install>> installs;
  for (const fs::path& file : SourceFiles(src)) {
    const std::string text = ReadText(file);
    tree.files[file] = Lines(text);
    if (file.extension() != ".cpp") continue;
    const std::string where = fs::relative(file, sourceDir).generic_string();
    if (where.rfind("src/shell/handlers", 0) == 0) continue;
    const std::string call = "SetCommandWork(";
    for (auto at = text.find(call); at != std::string::npos; at = text.find(call, at + 1)) {
      if (at > 0 && IsWordChar(text[at - 1])) continue;
      const std::vector<std::string> args = CallArguments(text, at + call.size() - 1);
      const std::string prefix = "command_id::";
      if (args.size() < 2 || args[0].rfind(prefix, 0) != 0) {
        problems.push_back(where + ": SetCommandWork(" + args[0] + ", ...) names no command_id constant");
        continue;
      }
      installs[args[0].substr(prefix.size())].push_back(ReadInstall(args[1], where));
    }
  }

  // The table's ids in menu order, then those of no menu item in table order.
  std::vector<std::pair<std::string, unsigned>> order;
  std::set<unsigned> placed;
  for (const MenuPlace& p : menu) {
    if (FindCommand(p.id) == nullptr && FindChildCommand(p.id) == nullptr) {
      problems.push_back("menu 1101 item " + std::to_string(p.id) +
                         " is in no row of the command table nor of the child windows' commands");
      continue;
    }
    if (placed.insert(p.id).second) order.push_back({p.path, p.id});
  }
  for (const CommandEntry& e : CommandTable()) {
    for (unsigned id = e.first; id <= e.Last(); ++id) {
      if (placed.insert(id).second) order.push_back({"", id});
    }
  }
  for (const auto& [id, constant] : constants) {
    if (!placed.count(id)) problems.push_back("command_id::" + constant.name + " is in no row of the command table");
  }

  std::ostringstream md;
  md << "# The main window's commands\n\n"
     << "Generated from the command table (src/shell/command_table.cpp), the ids (src/resources/command_ids.h),\n"
     << "menu 1101, accelerator table 1102, the string table and the subjects' SetCommandWork calls; do not\n"
     << "edit it by hand. After a change, write it again with:\n\n"
     << "    " << RegenerateCommand() << "\n\n"
     << "A command's menu text is string N + 1000, its hint string N. The work installed for\n"
     << "command_id::X is the function CmX (or a lambda making one call with the command's arguments);\n"
     << "its core entry is named by the \"Core:\" line of the comment above that function: the functions of\n"
     << "a core/ folder or of src/posting that it calls, or \"none\" and why. A shell handler's line is above\n"
     << "its function. The commands of the Fichier and Edition menus that the client does not hold go to the\n"
     << "active child window (the focused field for the edit commands): their row names the classes whose\n"
     << "response tables take them, and the \"Core:\" line is above their row of ChildCommands\n"
     << "(src/shell/command_table.cpp).\n\n"
     << "| Menu | Text | Key | Id | Constant | Work installed | Core entry |\n"
     << "|---|---|---|---|---|---|---|\n";
  std::set<std::string> used;
  for (const auto& [path, id] : order) {
    const auto c = constants.find(id);
    const std::string constant = c == constants.end() ? std::string() : c->second.name;
    if (constant.empty()) problems.push_back("id " + std::to_string(id) + " has no constant in command_ids.h");
    std::string text, key, work, core;
    TextAndKey(id, keys, text, key);
    if (text.empty() && c != constants.end() && !c->second.comment.empty()) text = "(" + c->second.comment + ")";
    const CommandEntry* entry = FindCommand(id);
    if (entry == nullptr) {
      work = "the active child: " + ChildHandlers(tree, id, problems);
      // Its "Core:" line is above its row of ChildCommands (a range's first command).
      const auto first = constants.find(FindChildCommand(id)->first);
      const std::string firstName = first == constants.end() ? constant : first->second.name;
      const std::vector<std::string>& lines = CommandTableLines(tree, src);
      const std::size_t row = RowLine(lines, "kChildTable", firstName);
      core = CoreCell(tree, "the row of command_id::" + firstName + " in ChildCommands",
                      row < lines.size() ? CommentAbove(lines, row) : std::vector<std::string>(), nullptr, problems);
    } else if (entry->shell != nullptr) {
      work = Code(entry->handler) + " (shell)";
      std::string owner;
      Definition definition;
      // A range's row begins with its first command.
      const auto first = constants.find(entry->first);
      const std::string firstName = first == constants.end() ? constant : first->second.name;
      if (!FindShellHandler(tree, src, *entry, firstName, owner, definition)) {
        problems.push_back("command_id::" + constant + ": no definition of its shell handler " + entry->handler);
      } else {
        core = CoreCell(tree, owner, definition.comment, &definition, problems);
      }
    } else {
      const CommandEntry& e = *entry;
      const auto found = installs.find(constant);
      const std::size_t count = found == installs.end() ? 0 : found->second.size();
      used.insert(constant);
      if (count != 1) {
        problems.push_back("command_id::" + constant + " has " + std::to_string(count) + " SetCommandWork calls");
      }
      if (count >= 1) {
        const Install& install = found->second.front();
        work = Code(install.expression);
        // The naming rule: the function the row names, or a lambda passing the command's arguments.
        if (install.function != e.handler && !install.lambdaWithArguments) {
          problems.push_back(install.where + ": command_id::" + constant + " installs " + install.expression +
                             ", not " + e.handler);
        }
        Definition definition;
        if (!FindDefinition(tree, install.function, definition)) {
          problems.push_back(install.where + ": no definition of " + install.function + " in src/");
        } else {
          core = CoreCell(tree, install.function, definition.comment, &definition, problems);
        }
      }
    }
    md << "| " << Cell(path.empty() ? "-" : path) << " | " << Cell(text) << " | " << Cell(key.empty() ? "-" : key)
       << " | " << id << " | " << Code(constant) << " | " << Cell(work) << " | " << Cell(core.empty() ? "-" : core)
       << " |\n";
  }
  for (const auto& [constant, list] : installs) {
    if (!used.count(constant)) problems.push_back(list.front().where + ": command_id::" + constant +
                                                   " is installed but its row runs a shell handler, or has none");
  }
  listing.markdown = md.str();
  return listing;
}

}  // namespace command_listing
