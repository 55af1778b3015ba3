#include "dossier/core/dossier_create.h"

#include <cctype>
#include <cstdio>
#include <set>

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "data/table_results.h"
#include "data/table_structures.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kLabelSiret = 1199;
constexpr int kLabelApe = 1200;
constexpr int kMsgCodeMissing = 22161;
constexpr int kMsgCodeTooLong = 22162;
constexpr int kMsgCodeBadCharacter = 22163;
constexpr int kMsgYearStartInvalid = 22164;
constexpr int kMsgYearEndInvalid = 22165;
constexpr int kMsgYearEndBeforeStart = 22166;
constexpr int kMsgYearTooLong = 22167;
constexpr int kMsgNameMissing = 22168;
constexpr int kMsgFolderMissing = 22169;
constexpr int kMsgFolderNotCreated = 22170;
constexpr int kMsgDossierExists = 22171;
constexpr int kMsgTableNotCreated = 22174;
constexpr int kMsgTableNotCreatedWhy = 36603;  // the table, its folder, why
constexpr int kMsgRecordNotWritten = 22176;
constexpr int kMsgIniNotWritten = 22177;
constexpr int kLogDossierCreated = 22178;
constexpr int kMsgReferenceNotCreated = 22180;

std::string WithSlash(const std::string& folder) {
  return (!folder.empty() && folder.back() == '/') ? folder : folder + "/";
}

// The same day 24 months later (the last day of that month when it has no such day).
long DaysAfterMonths(const Ymd& from, int months) {
  Ymd to = from;
  int m = from.month - 1 + months;
  to.year = from.year + m / 12;
  to.month = m % 12 + 1;
  while (to.day > 28 && !IsValidYmd(to)) --to.day;
  return DaysFromCivil(to);
}

const std::vector<TableKind>& DossierKinds() {
  static const std::vector<TableKind> kinds{TableKind::C10, TableKind::C20, TableKind::C30, TableKind::C40,
                                            TableKind::C50, TableKind::C60, TableKind::C70};
  return kinds;
}

// Files made by the creation so far, removed again when a later step fails.
class CreatedFiles {
 public:
  explicit CreatedFiles(std::string folder) : folder_(std::move(folder)) {}
  void AddTable(const std::string& base) {
    for (const char* ext : {".dbf", ".mdx", ".dbt"}) paths_.push_back(folder_ + base + ext);
  }
  void AddFile(const std::string& path) { paths_.push_back(path); }
  void RemoveAll() {
    for (const std::string& p : paths_) platform::RemoveFile(p);
    paths_.clear();
  }

 private:
  std::string folder_;
  std::vector<std::string> paths_;
};

void Fail(std::string* message, const std::string& text) {
  if (message != nullptr) *message = text;
}

// A table of the dossier made empty in `folder` under `base`: "" when it was, otherwise why not,
// its folder and what the system refused (a disk full or read-only, a folder this station may not
// write in) in words.
std::string CreateDossierTable(TableKind kind, const std::string& folder, const std::string& base) {
  RefusalWatch watch(RefusalWatch::EngineBoxes::kHeld);
  const int rc = CreateTableOfKind(kind, folder + base, false);
  if (rc == 0) return "";
  const bool refusedBySystem =
      watch.RefusedResult() != 0 || rc == kResultDiskFull || rc == kResultSystemError || rc == kResultAccessDenied;
  if (!refusedBySystem) return FillPlaceholder(LoadStr(kMsgTableNotCreated), base);
  return FillPlaceholders(LoadStr(kMsgTableNotCreatedWhy), {base, folder, watch.Reason(rc, folder + base + ".dbf", rc)});
}

bool WriteDossierRecords(const std::string& c10Path, const DossierRecord& record) {
  const DossierRecord::C10Texts texts = record.ToC10();
  Table c10;
  if (!c10.OpenShared(c10Path, "C10CODE")) return false;
  bool ok = c10.AppendBlank() && c10.PutField(1, "0") && c10.PutField(3, texts.record0Field3.c_str()) &&
            c10.PutField(4, texts.record0Field4.c_str()) && c10.PutField(5, texts.record0Field5.c_str()) &&
            c10.PutField(6, texts.record0Field6.c_str()) && c10.InsertRecord();
  ok = ok && c10.AppendBlank() && c10.PutField(1, "P") && c10.PutField(2, "0") &&
       c10.PutField(4, texts.p0Field4.c_str()) && c10.PutField(5, texts.p0Field5.c_str()) && c10.InsertRecord();
  ok = ok && c10.Commit();
  c10.CloseTable();
  return ok;
}

}  // namespace

const std::vector<std::string>& DefaultDossierConstants() {
  static const std::vector<std::string> constants = [] {
    std::vector<std::string> c(DossierRecord::kConstantCount, "   ");
    const struct {
      int n;
      const char* value;
    } defaults[] = {
        {4, "NON"},  {6, "NON"},  {7, "NON"},  {28, "F00"}, {29, "E00"}, {33, "MVT"}, {37, "AN "},
        {39, "OUI"}, {44, "NON"}, {45, "NON"}, {52, "NON"}, {53, "OD "}, {54, "0  "}, {55, "718"},
        {56, "NON"}, {60, "OUI"}, {61, "NOR"}, {62, "122"}, {63, "1  "}, {64, "NON"}, {69, "C  "},
    };
    for (const auto& d : defaults) c[d.n] = d.value;
    return c;
  }();
  return constants;
}

DossierRecord NewDossierRecord(const NewDossierSpec& spec) {
  DossierRecord record;
  record.Clear();
  record.SetName(spec.companyName);
  record.Set(DossierRecord::kSiretLabelPos, DossierRecord::kSiretLabelWidth, LoadStr(kLabelSiret));
  record.Set(DossierRecord::kApeLabelPos, DossierRecord::kApeLabelWidth, LoadStr(kLabelApe));
  record.SetDateYmd(DossierRecord::DateField::YearStart, spec.firstDay);
  record.SetDateYmd(DossierRecord::DateField::YearEnd, spec.lastDay);
  const Ymd today = Today();
  const long t = DaysFromCivil(today);
  const bool inYear = t >= DaysFromCivil(spec.firstDay) && t <= DaysFromCivil(spec.lastDay);
  record.SetDateYmd(DossierRecord::DateField::Working, inYear ? today : spec.firstDay);
  record.SetAt(DossierRecord::kAnalyticModePos, spec.analyticMode == '1' || spec.analyticMode == '2'
                                                     ? spec.analyticMode
                                                     : 'N');
  record.SetNextPiece(1);
  record.SetParity(kEuroRate);
  record.SetEuroIsMain(spec.currency != DossierCurrency::FrancMain);
  const std::vector<std::string>& constants = DefaultDossierConstants();
  for (int n = 0; n < DossierRecord::kConstantCount; ++n) record.SetConstant(n, constants[n]);
  record.SetConstant(kEuroOnlyConstant, spec.currency == DossierCurrency::EuroOnly ? "OUI" : "NON");
  record.EnsureRights();
  return record;
}

std::string CheckDossierCode(std::string_view code) {
  if (IsBlank(std::string(code))) return LoadStr(kMsgCodeMissing);
  if (code.size() > 5) return LoadStr(kMsgCodeTooLong);
  for (char c : code) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) && u < 0x80) && c != '-') return LoadStr(kMsgCodeBadCharacter);
  }
  return "";
}

std::string CheckFinancialYear(const Ymd& firstDay, const Ymd& lastDay) {
  if (!IsValidYmd(firstDay) || StoredDateOf(firstDay).empty()) return LoadStr(kMsgYearStartInvalid);
  if (!IsValidYmd(lastDay) || StoredDateOf(lastDay).empty()) return LoadStr(kMsgYearEndInvalid);
  if (DaysFromCivil(lastDay) <= DaysFromCivil(firstDay)) return LoadStr(kMsgYearEndBeforeStart);
  if (DaysFromCivil(lastDay) >= DaysAfterMonths(firstDay, kMaxYearMonths)) return LoadStr(kMsgYearTooLong);
  return "";
}

std::vector<std::string> DossierTableNames(std::string_view code) {
  std::vector<std::string> names;
  for (TableKind kind : DossierKinds()) names.push_back(TableBaseName(kind, code));
  names.push_back(TableBaseName(TableKind::DossierLock, code));
  return names;
}

bool CreateDossier(const std::string& folder, const std::string& code, const std::string& companyName,
                   const Ymd& firstDay, const Ymd& lastDay, std::string* message) {
  NewDossierSpec spec;
  spec.folder = folder;
  spec.code = code;
  spec.companyName = companyName;
  spec.firstDay = firstDay;
  spec.lastDay = lastDay;
  return CreateDossier(spec, message);
}

bool CreateDossier(const NewDossierSpec& given, std::string* message) {
  NewDossierSpec spec = given;
  std::string problem = CheckDossierCode(spec.code);
  if (problem.empty()) problem = CheckFinancialYear(spec.firstDay, spec.lastDay);
  if (problem.empty() && IsBlank(spec.companyName)) problem = LoadStr(kMsgNameMissing);
  if (problem.empty() && IsBlank(spec.folder)) problem = LoadStr(kMsgFolderMissing);
  if (!problem.empty()) {
    Fail(message, problem);
    return false;
  }
  spec.code = UpperAscii(spec.code);
  if (spec.companyName.size() > DossierRecord::kNameWidth) spec.companyName.resize(DossierRecord::kNameWidth);
  const std::string folder = WithSlash(spec.folder);

  if (!platform::MakeDirectories(folder)) {
    Fail(message, FillPlaceholder(LoadStr(kMsgFolderNotCreated), folder));
    return false;
  }

  // Never overwrite: any file of this dossier already there (in any case) refuses the run.
  const std::string lowerCode = LowerAscii(spec.code);
  std::set<std::string> ours;
  for (const std::string& base : DossierTableNames(spec.code))
    for (const char* ext : {".dbf", ".mdx", ".dbt"}) ours.insert(base + ext);
  ours.insert("c10" + lowerCode + ".ini");
  for (const std::string& name : platform::ListFiles(folder)) {
    if (ours.count(LowerAscii(name)) != 0) {
      Fail(message, FillPlaceholders(LoadStr(kMsgDossierExists), {spec.code, folder}));
      return false;
    }
  }

  const DossierRecord record = NewDossierRecord(spec);
  // The analytic order of C60 follows constant 032 as the creation reads it: take the new
  // dossier's value for the time of the creation.
  const std::string open032 = TheDossierRecord.Constant(32);
  TheDossierRecord.SetConstant(32, record.Constant(32));

  CreatedFiles created(folder);
  bool ok = true;
  for (TableKind kind : DossierKinds()) {
    const std::string base = TableBaseName(kind, spec.code);
    created.AddTable(base);
    problem = CreateDossierTable(kind, folder, base);
    if (!problem.empty()) {
      ok = false;
      break;
    }
  }
  if (ok) {
    const std::string base = TableBaseName(TableKind::DossierLock, spec.code);
    created.AddTable(base);
    problem = CreateDossierTable(TableKind::DossierLock, folder, base);
    ok = problem.empty();
  }
  TheDossierRecord.SetConstant(32, open032);

  if (ok && !WriteDossierRecords(folder + TableBaseName(TableKind::C10, spec.code), record)) {
    problem = FillPlaceholder(LoadStr(kMsgRecordNotWritten), TableBaseName(TableKind::C10, spec.code));
    ok = false;
  }
  const std::string ini = folder + "c10" + lowerCode + ".ini";
  if (ok) {
    created.AddFile(ini);
    const char* euroOnly = spec.currency == DossierCurrency::EuroOnly ? "O" : "N";
    if (!IniFileSetString(ini.c_str(), "Monnaie", "SeulementEnEuros", euroOnly)) {
      problem = FillPlaceholder(LoadStr(kMsgIniNotWritten), ini);
      ok = false;
    }
  }
  if (!ok) {
    created.RemoveAll();
    Fail(message, problem);
    return false;
  }

  SetLogDossier(folder, spec.code);
  WriteLog(FillPlaceholders(LoadStr(kLogDossierCreated),
                            {spec.code, spec.companyName, PrintDateOf(spec.firstDay), PrintDateOf(spec.lastDay)}));
  SetLogDossier(DossierFolder, DossierCode);
  if (message != nullptr) message->clear();
  return true;
}

bool MakeReferenceTables(const std::string& folder, std::string* message) {
  platform::MakeDirectories(folder);
  const std::string dir = WithSlash(folder);
  const struct {
    TableKind kind;
    const char* name;
  } tables[] = {{TableKind::DossierLock, "cr00ref"}, {TableKind::C10, "cr10ref"}, {TableKind::C50, "cr50ref"}};
  for (const auto& t : tables) {
    if (CreateTableOfKind(t.kind, dir + t.name, true) != 0) {
      Fail(message, FillPlaceholders(LoadStr(kMsgReferenceNotCreated), {t.name, dir}));
      return false;
    }
  }
  if (message != nullptr) message->clear();
  return true;
}
