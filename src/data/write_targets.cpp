#include "data/write_targets.h"

#include <filesystem>
#include <iterator>
#include <map>
#include <system_error>
#include <utility>
#include <vector>

#include "data/dossier_files.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMsgOpenDossierFile = 19970;   // "... est un fichier du dossier ouvert ..." (the file)
constexpr int kMsgProgramFile = 19971;       // "... est un fichier du programme ..." (the file)
constexpr int kMsgOtherDossierFile = 30600;  // the file, the dossier's code
constexpr int kMsgSameFile = 30601;          // the file chosen, the protected file it is
constexpr int kMsgNotAFile = 34701;          // the name chosen: a folder, a pipe, a device
// The names of the program INI and of the e-mail model, files of the program folder.
constexpr int kIniFileName = 36;
constexpr int kEmailTemplateFile = 41;

// A message box's text keeps three blank lines around it, as the other refusals of a target.
const char* const kBoxMargin = "\n\n\n";

// A code the program gives a dossier: 1 to 5 characters, none that a file name or the padding of
// the lock table uses otherwise.
bool UsableCode(const std::string& code) {
  return !code.empty() && code.size() <= 5 && code.find_first_of(" /\\._") == std::string::npos;
}

// The codes of the dossiers whose file the lower-case name `lower` would be: the tables and the
// report set with their memo and index files, the INI, the opening's marker and the plan of a
// renumbering ("c10" ... "c70", "cep" + code), the log, the INI copies and the records of the
// imports ("clg", "cin", "cof", "cas" + code, whatever the extension), method W's mark ("c10" +
// code + "-sauvew"), the backup archives ("zel" + code), the log a restore sets aside ("c_lg" +
// code), the run marker ("c" + code + ".run") and the lock table ("c" + code, "_" up to 8
// characters); the same followed by the suffix of a file being made (".dbf.pack" ...). The
// exports named after a dossier ("cxp" + code ...) are none of them.
std::vector<std::string> CodesNaming(const std::string& lower) {
  static const char* const kTablePrefixes[] = {"c10", "c20", "c30", "c40", "c50", "c60", "c70", "cep"};
  static const char* const kTableExtensions[] = {".dbf", ".dbt", ".mdx", ".ndx", ".ini", ".zel", ".ren"};
  static const char* const kOtherPrefixes[] = {"clg", "cin", "cof", "cas", "zel"};
  const std::size_t dot = lower.find('.');
  const std::size_t next = dot == std::string::npos ? dot : lower.find('.', dot + 1);
  const std::string base = lower.substr(0, dot);
  const std::string extension = dot == std::string::npos ? std::string() : lower.substr(dot, next - dot);
  std::vector<std::string> codes;
  auto add = [&](std::string code) {
    if (UsableCode(code)) codes.push_back(std::move(code));
  };
  std::vector<const char*> prefixes(std::begin(kOtherPrefixes), std::end(kOtherPrefixes));
  for (const char* e : kTableExtensions)
    if (extension == e) prefixes.insert(prefixes.end(), std::begin(kTablePrefixes), std::end(kTablePrefixes));
  for (const char* prefix : prefixes) {
    if (base.compare(0, 3, prefix) != 0) continue;
    std::string code = base.substr(3);
    const std::string mark = "-sauvew";
    if (base.compare(0, 3, "c10") == 0 && code.size() > mark.size() &&
        code.compare(code.size() - mark.size(), mark.size(), mark) == 0)
      code.erase(code.size() - mark.size());
    add(code);
  }
  if (base.compare(0, 4, "c_lg") == 0) add(base.substr(4));
  if (base.size() > 1 && base[0] == 'c') {
    if (extension == ".run") add(base.substr(1));
    const std::size_t padding = base.find('_');
    if (base.size() == 8 && padding != std::string::npos && base.find_first_not_of('_', padding) == std::string::npos)
      add(base.substr(1, padding - 1));
  }
  return codes;
}

// A path of a folder (cp1252, absolute, without a final "/": "" is the root) and a name in it.
std::string Joined(const std::string& folder, const std::string& name) { return folder + "/" + name; }

bool Within(const std::string& inner, const std::string& outer) {
  return inner == outer || (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
                            inner[outer.size()] == '/');
}

// The real path of a folder named by the program (DossierFolder, ProgramFolder), without its
// final "/"; false when it cannot be told.
bool RealFolder(const std::string& named, std::string* real) {
  if (IsBlank(named)) return false;
  std::string path = platform::RealPath(named);
  if (path.empty()) return false;
  while (!path.empty() && path.back() == '/') path.pop_back();
  *real = path;
  return true;
}

// The code of the dossier whose copies a sub-folder of that lower-case name keeps while a run
// changes its tables ("let-", "bil-", "san-", "validation-" ... + code + "-" + date + "-" +
// time); "" when the name is no such folder's.
std::string CopiesCode(const std::string& name) {
  constexpr std::size_t kStamp = 16;  // "-YYYYMMDD-HHMMSS"
  if (name.size() < kStamp + 3) return "";
  const std::size_t stamp = name.size() - kStamp;
  for (std::size_t i = stamp; i < name.size(); ++i) {
    const bool dash = i == stamp || i == stamp + 9;
    if (dash ? name[i] != '-' : (name[i] < '0' || name[i] > '9')) return "";
  }
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash >= stamp) return "";
  for (std::size_t i = 0; i < dash; ++i)
    if (name[i] < 'a' || name[i] > 'z') return "";
  const std::string code = name.substr(dash + 1, stamp - dash - 1);
  return UsableCode(code) ? code : "";
}

// What judges the names of the folders a target is compared with: the open dossier (its code in
// lower case and its real folder) and the dossiers found by their general file, remembered.
class Judge {
 public:
  Judge() {
    openCode_ = LowerCp1252(TrimmedRight(DossierCode));
    if (!openCode_.empty() && !RealFolder(DossierFolder, &openFolder_)) openCode_.clear();
  }

  const std::string& OpenFolder() const { return openFolder_; }
  bool DossierOpen() const { return !openCode_.empty(); }

  // Whether the lower-case name `lower` in `folder` (real) is a file of a dossier, *code (the
  // open dossier's: *open set): one of its names (CodesNaming), the note of a put-back beside
  // its folder of copies, or any file in that folder, which a put-back takes whole.
  bool Guards(const std::string& folder, const std::string& lower, std::string* code, bool* open) {
    for (const std::string& k : CodesNaming(lower))
      if (Owns(folder, k, code, open)) return true;
    const std::string note = ".remise";
    if (lower.size() > note.size() && lower.compare(lower.size() - note.size(), note.size(), note) == 0) {
      const std::string k = CopiesCode(lower.substr(0, lower.size() - note.size()));
      if (!k.empty() && Owns(folder, k, code, open)) return true;
    }
    for (std::string f = folder;;) {
      const std::size_t slash = f.rfind('/');
      if (slash == std::string::npos) return false;
      const std::string k = CopiesCode(LowerCp1252(f.substr(slash + 1)));
      f.erase(slash);
      if (!k.empty() && Owns(f, k, code, open)) return true;
    }
  }

 private:
  // Whether dossier `k` owns the files of `folder` named after it: the open dossier in its folder
  // or below it, any dossier whose general file lies in `folder` or in a folder above it (a
  // dossier's copies and backups lie in its sub-folders).
  bool Owns(const std::string& folder, const std::string& k, std::string* code, bool* open) {
    *code = k;
    *open = k == openCode_ && Within(folder, openFolder_);
    return *open || DossierAbove(folder, k);
  }

  bool DossierAbove(std::string folder, const std::string& code) {
    const std::string general = "c10" + code + ".dbf";
    for (;;) {
      const auto known = found_.find({folder, code});
      bool here = false;
      if (known != found_.end()) {
        here = known->second;
      } else {
        here = platform::FileExists(platform::ResolveName(folder.empty() ? "/" : folder, general));
        found_[{folder, code}] = here;
      }
      if (here) return true;
      const std::size_t slash = folder.rfind('/');
      if (slash == std::string::npos) return false;
      folder.erase(slash);
    }
  }

  std::string openCode_, openFolder_;
  std::map<std::pair<std::string, std::string>, bool> found_;
};

// Whether a file of the program folder is one the program ships, reads or keeps there, whether it
// stands there yet or not: by its extension (tables, indexes, memos, INI files, batch files,
// programs, the older help files), by its name without case (the help page, the e-mail model, the
// program INI, the reference set's text file, the list of reports stored at start-up and its old
// copy), or, for an existing file, by its run bit.
bool IsProgramFile(const std::string& path, const std::string& lower) {
  static const char* const kExtensions[] = {".dbf", ".dbt", ".mdx", ".ndx", ".ini", ".bat", ".exe", ".dll", ".hlp",
                                            ".chm", ".so"};
  static const char* const kNames[] = {"caidenuv.html", "cesetats.txt", "cesetats.lst", "cesetats.old"};
  const std::size_t dot = lower.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : lower.substr(dot);
  for (const char* e : kExtensions)
    if (extension == e) return true;
  for (const char* n : kNames)
    if (lower == n) return true;
  for (int id : {kIniFileName, kEmailTemplateFile})
    if (lower == LowerCp1252(LoadStr(id))) return true;
  std::error_code ec;
  const fs::perms p = fs::status(platform::DiskPath(path), ec).permissions();
  return !ec && (p & (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec)) != fs::perms::none;
}

std::string Refusal(int id, const std::string& first, const std::string& second) {
  return kBoxMargin + FillPlaceholders(LoadStr(id), {first, second}) + kBoxMargin;
}

}  // namespace

std::string WriteTargetRefusal(const std::string& path) {
  if (IsBlank(path)) return "";
  // The file a chain of links ends at is the one written; a name the system cannot tell in
  // cp1252 is no file of a dossier or of the program.
  const std::string real = platform::RealPath(path);
  const std::size_t slash = real.rfind('/');
  if (real.empty() || slash == std::string::npos) return "";
  // Only a regular file is written: a folder would take nothing, a pipe would hold the program
  // until something reads it, a device is no file to keep.
  if (platform::DirectoryExists(real) || platform::IsSpecialFile(real))
    return FillPlaceholder(LoadStr(kMsgNotAFile), path);
  const std::string folder = real.substr(0, slash);
  const std::string name = real.substr(slash + 1);
  // The entry of that name without case, as the program would open it.
  const std::string entry = platform::ResolveName(folder.empty() ? "/" : folder, name);
  const std::string lower = LowerCp1252(name);

  Judge judge;
  std::string code;
  bool open = false;
  if (judge.Guards(folder, lower, &code, &open))
    return open ? FillPlaceholder(LoadStr(kMsgOpenDossierFile), entry)
                : Refusal(kMsgOtherDossierFile, entry, UpperCp1252(code));
  std::string program;
  const bool programKnown = RealFolder(ProgramFolder, &program);
  if (programKnown && folder == program && IsProgramFile(entry, lower))
    return FillPlaceholder(LoadStr(kMsgProgramFile), entry);

  // A file with other names: none of them may be a protected file of the folders looked at.
  platform::FileIdentity target;
  if (!platform::IdentityOf(real, &target) || target.links < 2) return "";
  std::vector<std::string> folders = {folder};
  if (judge.DossierOpen()) folders.push_back(judge.OpenFolder());
  if (programKnown) folders.push_back(program);
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const std::string& f = folders[i];
    bool seen = false;
    for (std::size_t j = 0; j < i; ++j) seen = seen || folders[j] == f;
    if (seen) continue;
    for (const std::string& file : platform::ListFiles(f.empty() ? "/" : f)) {
      const std::string other = Joined(f, file);
      const std::string lowerFile = LowerCp1252(file);
      const bool guarded = judge.Guards(f, lowerFile, &code, &open) ||
                           (programKnown && f == program && IsProgramFile(other, lowerFile));
      platform::FileIdentity identity;
      if (guarded && platform::IdentityOf(other, &identity) && identity.SameFile(target))
        return Refusal(kMsgSameFile, entry, other);
    }
  }
  return "";
}
