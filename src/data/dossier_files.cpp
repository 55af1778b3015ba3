#include "data/dossier_files.h"

#include "data/books_write_permit.h"
#include "data/line_change_note.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "platform/system/files.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

using tablelayer::Str;

std::string DossierFolder;
std::string DossierCode;
bool UseStoredWorkingDate = true;

namespace {

// The texts read here, by their ids in the string table: the tag names of the dossier tables (one
// id each, C10 first) give the files' prefixes.
constexpr int kTagNamesFirst = 21;
constexpr int kFilePrefix = 1003;
constexpr int kReportDefsFile = 43;
constexpr int kLetterE = 1083;
constexpr int kLetterP = 1094;
constexpr int kDossierRecordKey = 1105;

std::string Folder() {
  std::string f = DossierFolder;
  if (!f.empty() && f.back() != '/') f += '/';
  return f;
}

std::string Code() { return RTrim(DossierCode.c_str()); }

const char* Result(std::string path) {
  PathBuffer = std::move(path);
  return PathBuffer.c_str();
}

// The file prefix of a dossier table is the first three characters of its first tag name
// (kTagNamesFirst and the six after it), so file names and tags always agree.
const char* TablePath(int n) {
  const std::string prefix = Str(kTagNamesFirst + n).substr(0, 3);
  return Result(Folder() + LowerCp1252(prefix + Code()));
}

}  // namespace

void SetDossier(const std::string& folder, const std::string& code) {
  // The note of the changes of lines made in the dossier left goes with it.
  CloseLineChangeNote();
  // The folders' keys are worked out again for the dossier set.
  ForgetBooksFolderKeys();
  DossierFolder = folder;
  if (!DossierFolder.empty() && DossierFolder.back() != '/') DossierFolder += '/';
  DossierCode = code.substr(0, 5);
}

const char* PathC10(const char* suffix) {
  std::string name = LowerCp1252(Str(kTagNamesFirst).substr(0, 3) + Code() + (suffix != nullptr ? suffix : ""));
  if (suffix == nullptr || suffix[0] == 0) return Result(Folder() + name);
  // A file with its extension (the dossier INI) is found without case.
  std::string folder = Folder();
  if (folder.size() > 1) folder.pop_back();
  return Result(DossierFolder.empty() ? name : platform::ResolveName(folder, name));
}
const char* PathC20() { return TablePath(1); }
const char* PathC30() { return TablePath(2); }
const char* PathC40() { return TablePath(3); }
const char* PathC50() { return TablePath(4); }
const char* PathC60() { return TablePath(5); }
const char* PathC70() { return TablePath(6); }

std::string DossierTablePathOf(const std::string& folder, const std::string& code) {
  std::string name = Str(kFilePrefix) + RTrim(code.c_str());
  while (name.size() < 8) name += '_';
  return folder + LowerCp1252(name);
}

const char* DossierTablePath() { return Result(DossierTablePathOf(Folder(), DossierCode)); }

const char* PathReportDefs(char letter) {
  std::string name = Str(kReportDefsFile);
  if (name.size() >= 3) name[2] = letter;
  return Result(ProgramFolder + LowerCp1252(name));
}

const char* PathCEP() {
  return Result(Folder() + LowerCp1252(Str(kFilePrefix) + Str(kLetterE) + Str(kLetterP) + Code()));
}

const char* ExportFileName(const char* extension, const char* namePart) {
  std::string configured = IniGetString("NomFichierExport", "");
  if (configured.size() > 200) configured.resize(200);
  if (!IsBlank(configured)) return Result(configured);
  return Result(Folder() + LowerCp1252(Str(kFilePrefix) + (namePart != nullptr ? namePart : "") + Code() +
                                       (extension != nullptr ? extension : "")));
}

bool ReadC10Texts() {
  if (TableC10 == nullptr || !TableC10->isOpen) return false;
  const std::string tag = Str(kTagNamesFirst).substr(0, 7);
  if (!TableC10->Find(tag, Str(kDossierRecordKey).c_str()).IsFound()) return false;
  DossierRecord& record = TheDossierRecord;
  const char level = record.At(DossierRecord::kUserLevelPos);
  const std::string workingDate = record.Get(DossierRecord::kWorkingDatePos, DossierRecord::kDateWidth);
  record.Set(1, 30, TableC10->GetField(3));
  record.Set(31, 254, TableC10->GetField(4));
  record.Set(285, 254, TableC10->GetField(5));
  if (!UseStoredWorkingDate) record.Set(DossierRecord::kWorkingDatePos, DossierRecord::kDateWidth, workingDate);
  record.SetAt(DossierRecord::kUserLevelPos, level != 0 ? level : ' ');
  return true;
}
