#include "data/write_targets.h"

#include <filesystem>
#include <system_error>

#include "data/dossier_files.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace fs = std::filesystem;

namespace {

// The real path of a folder (links followed in every part that exists); empty when none.
fs::path RealFolder(const fs::path& folder) {
  std::error_code ec;
  fs::path real = fs::weakly_canonical(fs::absolute(folder, ec), ec);
  return ec ? fs::path() : real;
}

bool Within(const fs::path& inner, const fs::path& outer) {
  auto i = inner.begin();
  for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
    if (o->empty()) continue;  // the empty last part of a folder ending with "/"
    if (i == inner.end() || *i != *o) return false;
  }
  return true;
}

// Whether a lower-case name is one of dossier `code`'s files: its tables ("c10" to "c70" and
// "cep" + code, with their memo and index files), its INI, the opening's marker, the log (and
// the one a restore sets aside), the run marker and the lock table "c" + code + "_...". The
// exports named after the dossier ("c" + two letters + code + ".csv" ...) are not among them.
bool IsDossierFileName(const std::string& lower, const std::string& code) {
  if (code.empty()) return false;
  const std::size_t dot = lower.find('.');
  const std::string base = dot == std::string::npos ? lower : lower.substr(0, dot);
  const std::string extension = dot == std::string::npos ? std::string() : lower.substr(dot);
  if (base.size() == 3 + code.size() && base.compare(3, std::string::npos, code) == 0) {
    static const char* const kTables[] = {"c10", "c20", "c30", "c40", "c50", "c60", "c70", "cep"};
    static const char* const kTableExtensions[] = {".dbf", ".dbt", ".mdx", ".ndx", ".ini", ".zel"};
    for (const char* t : kTables)
      if (base.compare(0, 3, t) == 0)
        for (const char* e : kTableExtensions)
          if (extension == e) return true;
    if (base.compare(0, 3, "clg") == 0 || base.compare(0, 3, "cin") == 0) return true;
  }
  if (base == "c" + code || base == "c_lg" + code) return true;
  return base.size() > 1 + code.size() && base.compare(0, 1 + code.size(), "c" + code) == 0 &&
         base.find_first_not_of('_', 1 + code.size()) == std::string::npos;
}

// Whether an existing file of the program folder is one the program reads or runs.
bool IsProgramFile(const fs::path& disk, const std::string& lower) {
  static const char* const kExtensions[] = {".dbf", ".dbt", ".mdx", ".ndx", ".ini", ".bat", ".exe", ".dll", ".hlp",
                                            ".chm", ".so"};
  const std::size_t dot = lower.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : lower.substr(dot);
  for (const char* e : kExtensions)
    if (extension == e) return true;
  std::error_code ec;
  const fs::perms p = fs::status(disk, ec).permissions();
  return !ec && (p & (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec)) != fs::perms::none;
}

std::string Fill(int id, const std::string& path) {
  std::string text = LoadStr(id);
  const std::size_t at = text.find("%1");
  if (at != std::string::npos) text.replace(at, 2, path);
  return text;
}

}  // namespace

std::string WriteTargetRefusal(const std::string& path) {
  if (IsBlank(path)) return "";
  // The file a chain of links ends at is the one written.
  const fs::path target = fs::path(platform::DiskPath(platform::FollowLinks(path)));
  const fs::path folder = RealFolder(target.parent_path().empty() ? fs::path(".") : target.parent_path());
  if (folder.empty()) return "";
  std::string name;
  if (!platform::ProgramName(target.filename().string(), name)) return "";
  std::string folderText;
  if (!platform::ProgramName(folder.string(), folderText)) return "";
  // The entry of that name without case, as the program would open it.
  const std::string entry = platform::ResolveName(folderText, name);
  const std::string lower = LowerCp1252(name);

  const std::string code = LowerCp1252(TrimmedRight(DossierCode));
  if (!code.empty() && !IsBlank(DossierFolder)) {
    const fs::path dossier = RealFolder(platform::DiskPath(DossierFolder));
    if (!dossier.empty() && Within(folder, dossier) && IsDossierFileName(lower, code)) return Fill(19970, entry);
  }
  if (!IsBlank(ProgramFolder)) {
    const fs::path program = RealFolder(platform::DiskPath(ProgramFolder));
    std::error_code ec;
    const fs::path disk = platform::DiskPath(entry);
    if (!program.empty() && folder == RealFolder(program) && fs::exists(disk, ec) && IsProgramFile(disk, lower))
      return Fill(19971, entry);
  }
  return "";
}
