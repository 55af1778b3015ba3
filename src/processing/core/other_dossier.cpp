#include "processing/core/other_dossier.h"

#include "data/dossier_files.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace processing {

namespace {

// The refusal of another dossier some station has open, and its box's title.
constexpr int kMsgOtherDossierBusy = 17400;
constexpr int kCaptionMultiUser = 2271;

std::string PathOf(const OtherDossier& d, const char* table) { return d.folder + table + LowerAscii(d.code); }

// A folder with one final "/", resolved through the files that exist.
std::string ResolvedFolder(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::string resolved = platform::ResolvePath(folder);
  while (resolved.size() > 1 && resolved.back() == '/') resolved.pop_back();
  return resolved;
}

}  // namespace

bool OtherDossierOfFile(const std::string& path, OtherDossier* dossier) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return false;
  const std::string name = path.substr(slash + 1);
  if (name.size() < 3 || LowerAscii(name.substr(0, 3)) != "c10") return false;
  std::string code = name.substr(3, 5);
  const std::size_t dot = code.find('.');
  if (dot != std::string::npos) code.resize(dot);
  dossier->folder = path.substr(0, slash + 1);
  dossier->code = UpperAscii(code);
  return true;
}

std::string OtherPathC10(const OtherDossier& d) { return PathOf(d, "c10"); }
std::string OtherPathC20(const OtherDossier& d) { return PathOf(d, "c20"); }
std::string OtherPathC30(const OtherDossier& d) { return PathOf(d, "c30"); }
std::string OtherPathC40(const OtherDossier& d) { return PathOf(d, "c40"); }
std::string OtherPathC50(const OtherDossier& d) { return PathOf(d, "c50"); }
std::string OtherPathC60(const OtherDossier& d) { return PathOf(d, "c60"); }

bool IsOpenDossier(const OtherDossier& d) {
  if (UpperCp1252(AllTrim(d.code.c_str())) != UpperCp1252(AllTrim(DossierCode.c_str()))) return false;
  return ResolvedFolder(d.folder) == ResolvedFolder(DossierFolder);
}

std::string OtherDossierBusyText() { return LoadStr(kMsgOtherDossierBusy); }
std::string OtherDossierBusyCaption() { return LoadStr(kCaptionMultiUser); }

}  // namespace processing
