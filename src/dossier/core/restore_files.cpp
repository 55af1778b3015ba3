#include "dossier/core/restore_files.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <system_error>

#include "data/table_check.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTablePrefixes[] = {"c10", "c20", "c30", "c40", "c50", "c60", "c70", "cep"};
constexpr const char* kTableExtensions[] = {".dbf", ".dbt", ".mdx"};

// The string with "%1" (and "%2") replaced.
std::string Fill(int id, const std::string& one, const std::string& two = "") {
  std::string text = LoadStr(id);
  std::size_t at = text.find("%1");
  if (at != std::string::npos) text.replace(at, 2, one);
  at = text.find("%2");
  if (at != std::string::npos) text.replace(at, 2, two);
  return text;
}

// Splits a lower-case name into the table prefix, the code and the extension when it has the
// form of a dossier table file; false otherwise.
bool SplitTableName(const std::string& lower, std::string* code, std::string* extension) {
  const std::size_t dot = lower.rfind('.');
  if (dot == std::string::npos || dot <= 3) return false;
  const std::string ext = lower.substr(dot);
  if (std::find(std::begin(kTableExtensions), std::end(kTableExtensions), ext) == std::end(kTableExtensions))
    return false;
  const std::string prefix = lower.substr(0, 3);
  if (std::find(std::begin(kTablePrefixes), std::end(kTablePrefixes), prefix) == std::end(kTablePrefixes)) return false;
  *code = lower.substr(3, dot - 3);
  *extension = ext;
  return true;
}

std::string LowerCode(const std::string& code) { return LowerCp1252(TrimmedRight(code)); }

// A member's name as the program holds it (the name on disk when cp1252 cannot hold it).
std::string MemberName(const fs::path& path) {
  const std::string disk = path.filename().string();
  std::string name;
  return platform::ProgramName(disk, name) ? name : disk;
}

std::string Refusal(const std::string& why) { return LoadStr(19950) + why + "\n\n\n"; }

}  // namespace

std::string MakeRestoreWorkFolder(const std::string& dossierFolder) {
  std::random_device seed;
  std::mt19937 random(seed());
  const std::string folder = dossierFolder.empty() || dossierFolder.back() == '/' ? dossierFolder : dossierFolder + "/";
  for (int attempt = 0; attempt < 20; ++attempt) {
    const std::string path = folder + ".restauration-" + std::to_string(random() % 1000000000u);
    std::error_code ec;
    // create_directory fails on a name already there: the folder is ours alone.
    if (!fs::create_directory(platform::DiskPath(path), ec)) {
      if (ec) return "";
      continue;
    }
    fs::permissions(platform::DiskPath(path), fs::perms::owner_all, fs::perm_options::replace, ec);
    return path;
  }
  return "";
}

void RemoveRestoreWorkFolder(const std::string& work) {
  if (work.empty()) return;
  std::error_code ec;
  fs::remove_all(platform::DiskPath(work), ec);
}

bool IsRestorableDossierFile(const std::string& name, const std::string& code) {
  const std::string lower = LowerCp1252(name), own = LowerCode(code);
  if (own.empty()) return false;
  if (lower == "c10" + own + ".ini") return true;
  std::string found, extension;
  return SplitTableName(lower, &found, &extension) && found == own;
}

bool IsOtherDossierFile(const std::string& name, const std::string& code) {
  std::string found, extension;
  return SplitTableName(LowerCp1252(name), &found, &extension) && found != LowerCode(code);
}

RestoreSelection SelectRestoredFiles(const std::string& work, const std::string& code) {
  RestoreSelection selection;
  std::map<std::string, std::string> taken;  // lower-case name -> name as unpacked
  std::error_code ec;
  std::vector<fs::path> members;
  for (const fs::directory_entry& entry : fs::directory_iterator(platform::DiskPath(work), ec))
    members.push_back(entry.path());
  std::sort(members.begin(), members.end());
  for (const fs::path& member : members) {
    const std::string name = MemberName(member);
    const fs::file_status status = fs::symlink_status(member, ec);
    // Nothing that points elsewhere or is written in place is ever put into the dossier.
    if (fs::is_symlink(status)) {
      selection.refusal = Refusal(Fill(19951, name));
      return selection;
    }
    if (fs::is_directory(status)) {
      selection.leftOut.push_back(name + "/");
      continue;
    }
    if (!fs::is_regular_file(status)) {
      selection.refusal = Refusal(Fill(19952, name));
      return selection;
    }
    // The backup's own log, the copy of the program INI and the opening's shortcut marker stay
    // out without a word: the station keeps its log, the program its settings.
    const std::string own = LowerCode(code), lowerName = LowerCp1252(name);
    if (lowerName == "clg" + own + ".txt" || lowerName == "cin" + own + ".ini" || lowerName == "c10" + own + ".zel")
      continue;
    if (IsOtherDossierFile(name, code)) {
      selection.refusal = Refusal(Fill(19953, name));
      return selection;
    }
    if (!IsRestorableDossierFile(name, code)) {
      selection.leftOut.push_back(name);
      continue;
    }
    const std::string lower = LowerCp1252(name);
    if (!taken.emplace(lower, name).second) {
      selection.refusal = Refusal(Fill(19956, name));
      return selection;
    }
  }

  // Each file under the name the program gives it, so that the table and its memo file are
  // found together.
  const std::string folder = work + "/";
  for (const auto& [lower, name] : taken) {
    if (name != lower && !platform::AtomicRename(folder + name, folder + lower)) {
      selection.refusal = Refusal(Fill(19954, name, name));
      return selection;
    }
  }
  for (const auto& [lower, name] : taken) {
    const std::string extension = lower.substr(lower.rfind('.'));
    if (extension == ".ini") continue;
    const std::string base = lower.substr(0, lower.size() - 4);
    // A memo or index file without its data file would be put under a table it was not made for.
    if (extension != ".dbf") {
      if (taken.count(base + ".dbf") == 0) {
        selection.refusal = Refusal(Fill(19955, name, base + ".dbf"));
        return selection;
      }
      continue;
    }
    const std::string damaged = DamagedTableFile(folder + base);
    if (!damaged.empty()) {
      const std::size_t slash = damaged.find_last_of('/');
      selection.refusal = Refusal(Fill(19954, name, damaged.substr(slash + 1)));
      return selection;
    }
  }
  for (const auto& [lower, name] : taken) selection.taken.push_back(lower);
  if (selection.taken.empty()) selection.refusal = Fill(19957, TrimmedRight(code));
  return selection;
}

bool InstallRestoredFiles(const std::string& work, const std::string& dossierFolder, const RestoreSelection& selection,
                          std::string* error) {
  const std::string folder = dossierFolder.empty() || dossierFolder.back() == '/' ? dossierFolder : dossierFolder + "/";
  for (const std::string& name : selection.taken) {
    if (!platform::AtomicRename(work + "/" + name, folder + name)) {
      if (error != nullptr) *error = Fill(19960, folder + name);
      return false;
    }
  }
  // A file of the dossier under another case would stand beside the restored one.
  std::error_code ec;
  std::vector<fs::path> others;
  for (const fs::directory_entry& entry : fs::directory_iterator(platform::DiskPath(folder), ec)) {
    const std::string name = MemberName(entry.path());
    const std::string lower = LowerCp1252(name);
    if (name != lower && std::find(selection.taken.begin(), selection.taken.end(), lower) != selection.taken.end() &&
        !entry.is_directory(ec))
      others.push_back(entry.path());
  }
  for (const fs::path& other : others) fs::remove(other, ec);
  platform::SyncFolder(folder);
  return true;
}

std::string RestoreReport(const std::string& code, const RestoreSelection& selection) {
  std::string text = Fill(19958, TrimmedRight(code));
  for (const std::string& name : selection.taken) text += "   " + name + "\n";
  if (!selection.leftOut.empty()) {
    text += LoadStr(19959);
    for (const std::string& name : selection.leftOut) text += "   " + name + "\n";
  }
  return text + "\n\n";
}
