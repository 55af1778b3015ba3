// The runs of the kill and fault matrices, each on its small generated dossiers.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "demo/dossier_demo.h"
#include "dossier/core/conversion.h"
#include "dossier/core/dossier_create.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/renumber_pieces.h"
#include "dossier/core/restore_files.h"
#include "entry/core/validation.h"
#include "dossier_test_util.h"
#include "kill_matrix.h"
#include "processing/core/ascii_import.h"
#include "processing/core/automatic_matching.h"
#include "processing/core/code_copy.h"
#include "processing/core/dossier_merge.h"
#include "processing/core/matching_lines.h"
#include "processing/core/ofx_import.h"
#include "processing/core/opening_balances.h"
#include "processing/core/year_separation.h"
#include "reports/balances/core/balance_sheet_compile.h"
#include "reports/balances/core/balance_sheet_init.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "reports/balances/core/balance_sheet_run.h"
#include "platform/system/files.h"
#include "runtime/backup_paths.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"
#include "support/bank_statements.h"
#include "support/books_writes.h"
#include "support/dossier_fixture.h"
#include "support/rebuild_maintenance.h"

namespace kill_matrix {
namespace {

using L = LigneEcriture;

// The piece numbers of the lines and sort records, and the dossier's piece counter. The lines'
// groups (their record count at the append) and the record numbers of the sort records' lines
// follow: a piece written again goes into new records (the invariant check sees them point right).
const std::set<std::string> kPieceNumbers = {"BPIECE", "BREC", "TPIECE", "TREC", "GZONE1@165:6"};

std::string Make(const std::string& root, const char* folder, const char* code, long lines,
                 const std::function<void(DemoOptions&)>& more = {}) {
  return MakeDossier(root + folder, code, lines, more);
}

bool Load(const std::string& folder, const char* code) { return LoadAsOpened(folder, code); }

processing::TargetMaintenance Maintenance(bool pack) { return test_support::RebuildMaintenance(pack); }

// Validation: the first three balanced journal-months of the draft into the closed file.
void PrepareValidation(const std::string& root) { Make(root, "v", "V", 160); }
bool RunValidation(const std::string& root, const Arm& arm) {
  if (!Load(root + "v/", "V") || !DossierLockTable->OpenExclusive(DossierTablePath())) return false;
  std::vector<std::string> chosen;
  if (!ValidationMonths(&chosen)) return false;
  arm();
  return entry::RunValidation(entry::JournalValidationRequest{chosen, "C61231"}).code == 0;
}

// Opening balances of A's year 2026 into B's draft.
void PrepareOpening(const std::string& root) {
  const auto year = [](int y) {
    return [y](DemoOptions& o) {
      o.firstDay = Ymd{y, 1, 1};
      o.lastDay = Ymd{y, 12, 31};
      o.currency = DossierCurrency::EuroMain;
      o.seed = static_cast<std::uint64_t>(y);
    };
  };
  Make(root, "a", "A", 300, year(2026));
  Make(root, "b", "B", 40, year(2027));
}
bool RunOpening(const std::string& root, const Arm& arm) {
  if (!Load(root + "a/", "A")) return false;
  std::vector<processing::Collective> collectives;
  processing::TrialBalance balance;
  if (!OpeningSource(&collectives, &balance)) return false;
  if (!processing::TrialBalanceRefusal(balance, DossierIsEuroOnly()).empty()) return false;
  processing::OpeningRequest request;
  request.target = processing::OtherDossier{root + "b/", "B"};
  request.date = Ymd{2026 + 1, 1, 1};
  arm();
  return processing::GenerateOpeningBalances(request, collectives, balance, Maintenance(true)).code == 0;
}

// Merge of O (April to September) into A.
void PrepareMerge(const std::string& root) {
  Make(root, "a", "A", 200, [](DemoOptions& o) { o.currency = DossierCurrency::EuroMain; });
  Make(root, "o", "O", 150, [](DemoOptions& o) {
    o.firstDay = Ymd{2026, 4, 1};
    o.lastDay = Ymd{2026, 9, 30};
    o.currency = DossierCurrency::EuroMain;
    o.matchings = true;
    o.closedMonths = 2;
    o.seed = 7;
  });
}
bool RunMerge(const std::string& root, const Arm& arm) {
  if (!Load(root + "a/", "A")) return false;
  processing::MergeRequest request;
  request.other = processing::OtherDossier{root + "o/", "O"};
  request.from = "01/04/26";
  request.to = "30/09/26";
  arm();
  return processing::MergeOtherDossier(request, Maintenance(false)).code == 0;
}

// Separation of A's 14 months at 1 January 2027 into B.
void PrepareSeparation(const std::string& root) {
  Make(root, "a", "A", 300, [](DemoOptions& o) {
    o.lastDay = Ymd{2027, 2, 28};
    o.currency = DossierCurrency::EuroMain;
    o.matchings = true;
    o.closedMonths = 4;
    o.analyticMode = '1';
  });
  Make(root, "b", "B", 40, [](DemoOptions& o) {
    o.firstDay = Ymd{2027, 1, 1};
    o.lastDay = Ymd{2027, 12, 31};
    o.currency = DossierCurrency::EuroMain;
    o.analyticMode = '1';
    o.seed = 3;
  });
}
bool RunSeparation(const std::string& root, const Arm& arm) {
  if (!Load(root + "a/", "A")) return false;
  processing::SeparationRequest request;
  request.other = processing::OtherDossier{root + "b/", "B"};
  request.date = Ymd{2027, 1, 1};
  arm();
  return processing::SeparateYears(request, Maintenance(true)).code == 0;
}

// Code copy: every account of A's chart into B's (another dossier: other names and bank details).
void PrepareCodeCopy(const std::string& root) {
  Make(root, "a", "A", 120);
  Make(root, "b", "B", 40, [](DemoOptions& o) { o.seed = 5; });
}
bool RunCodeCopy(const std::string& root, const Arm& arm) {
  if (!Load(root + "a/", "A")) return false;
  processing::CodeCopyKind k;
  if (!processing::CodeCopyKindOf("2", &k)) return false;
  Table source, receiver;
  if (!source.OpenShared(processing::OpenCodeTablePath(k), k.tag, true) ||
      !receiver.OpenExclusive(processing::OtherCodeTablePath(k, processing::OtherDossier{root + "b/", "B"}), k.tag))
    return false;
  const processing::CodeRange range{"2", 8, processing::CodeOfWidth("0", 8), processing::CodeOfWidth("zzzzzzzz", 8)};
  arm();
  // As the list's "copy into another dossier" runs it: under the receiving dossier's run marker.
  processing::CodeCopyCount count;
  std::string refusal;
  const bool ran = processing::CopyCodeRangeMarked(source, processing::OpenCodeTablePath(k), receiver,
                                                   processing::OtherDossier{root + "b/", "B"}, k, range, {}, &count,
                                                   &refusal);
  return ran && count.failed == 0 && count.added + count.rewritten > 0;
}

// Automatic matching in euros of every account, on a dossier whose lines carry no letter.
void PrepareMatching(const std::string& root) { Make(root, "a", "A", 300); }
bool RunMatching(const std::string& root, const Arm& arm) {
  if (!Load(root + "a/", "A")) return false;
  if (!TableC10->OpenExclusive(PathC10(), "C10CODE") || !TableC20->OpenExclusive(PathC20(), "C20CODE") ||
      !TableC30->OpenExclusive(PathC30(), "C30CODE") || !TableC40->OpenExclusive(PathC40(), "C40CODE") ||
      !TableC50->OpenExclusive(PathC50(), L::kCodeTag) || !TableC60->OpenExclusive(PathC60(), processing::kC60CodeTag))
    return false;
  processing::AutomaticParameters p;
  p.currency = 1;
  p.startAccount = processing::CodeOfWidth("0", 8);
  p.endAccount = processing::CodeOfWidth("zzzzzzzz", 8);
  p.power = 3;
  p.dateLimit = "C61231";
  p.clock = [] { return std::uint64_t{0}; };
  p.deadline = 1;
  arm();
  // As "Lettrage Automatique" runs it: C40, C50 and C60 copied aside under the run marker.
  const processing::MatchTables t{*TableC40, *TableC50, *TableC60};
  long matches = 0;
  std::string refusal;
  const bool ran =
      processing::RunMatchingGuarded(t, [&] { matches = processing::RunAutomaticMatching(t, p).matches; }, &refusal);
  return ran && matches > 0;
}

// The bank statement import: twelve transactions into journal BQ.
void PrepareOfx(const std::string& root) { Make(root, "a", "A", 60); }
processing::StatementImport Statement() { return test_support::DemoStatementImport(); }
// The program's general file and chart and the test's draft and sort file, open shared.
bool OpenForImport(const std::string& root, Table& c50, Table& c60) {
  return Load(root + "a/", "A") && TableC10->OpenShared(PathC10(), "C10CODE") &&
         TableC20->OpenShared(PathC20(), "C20CODE") && c50.OpenShared(PathC50(), L::kCodeTag) &&
         c60.OpenShared(PathC60(), processing::kC60CodeTag);
}
bool RunOfx(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenForImport(root, c50, c60)) return false;
  arm();
  return processing::ImportStatement(*TableC10, c50, c60, Statement()).written;
}
bool RetryOfx(const std::string& root, std::string* said) {
  Table c50, c60;
  if (!OpenForImport(root, c50, c60)) return false;
  const processing::StatementImportResult r = processing::ImportStatement(*TableC10, c50, c60, Statement());
  *said = r.message;
  return r.written || r.nothingNew;
}

// The ASCII import of a file of 24 pieces.
std::string AsciiFile(const std::string& root) { return root + "import/ecritures.txt"; }
void PrepareAscii(const std::string& root) {
  Make(root, "a", "A", 60);
  std::filesystem::create_directories(root + "import");
  std::ofstream out(AsciiFile(root), std::ios::binary);
  out << "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n";
  for (int i = 0; i < 24; ++i) {
    const std::string date = (i % 28 < 9 ? "0" : "") + std::to_string(1 + i % 28) + "/0" + std::to_string(3 + i % 6) +
                             "/2026";
    const std::string piece = "F" + std::to_string(100 + i), amount = std::to_string(100 + 13 * i) + ",00";
    out << "OD;" << date << ";" << piece << ";51200000;1;Vente " << i << ";" << amount << ";\r\n"
        << "OD;" << date << ";" << piece << ";70600000;1;Vente " << i << ";;" << amount << "\r\n";
  }
}
bool RunAscii(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenForImport(root, c50, c60)) return false;
  const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, AsciiFile(root));
  if (!read.Importable()) return false;
  arm();
  return processing::ImportAsciiFile(*TableC10, c50, c60, read).written;
}
bool RetryAscii(const std::string& root, std::string* said) {
  if (!std::filesystem::exists(AsciiFile(root))) return true;  // imported whole, and renamed
  Table c50, c60;
  if (!OpenForImport(root, c50, c60)) return false;
  const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, AsciiFile(root));
  if (!read.stoppedRun.empty()) *said = "Importation interrompue: " + read.stoppedRun + "\n";
  if (!read.importedBefore.empty()) *said += "D\xE9j\xE0 import\xE9: " + read.importedBefore + "\n";
  if (!read.Importable()) return read.readable;
  const processing::AsciiRun run = processing::ImportAsciiFile(*TableC10, c50, c60, read);
  *said += run.message;
  return run.written;
}

// The balance-sheet computation of the whole year into C70, over a computation to June.
balances::SheetRunInput SheetInput(const std::string& end) {
  return balances::DossierSheetInput('S', {"C60101", "C61231", "C60101", end}, true);
}
void PrepareSheet(const std::string& root) {
  Make(root, "a", "A", 200);
  const std::string models = std::string(MERLON_SOURCE_DIR) + "/src/resources/models/";
  std::string message;
  ASSERT_TRUE(balances::CompileModel(models + "clbilans.csv", models + "cpbilans.csv", ProgramFolder, 's', &message))
      << message;
  ASSERT_TRUE(Load(root + "a/", "A"));
  {
    Table c10, c70;
    ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(c70.OpenExclusive(PathC70(), "C70CODE"));
    ASSERT_EQ(balances::InitialiseBalanceSheet(c10, c70, ProgramFolder, 'S'), balances::InitOutcome::kDone);
  }
  ASSERT_EQ(balances::RunBalanceSheet(SheetInput("C60630")).outcome, balances::RunOutcome::kDone);
  CloseAllTables();
  SetDossier("", "");
}
bool RunSheet(const std::string& root, const Arm& arm) {
  if (!Load(root + "a/", "A")) return false;
  arm();
  return balances::RunBalanceSheet(SheetInput("C61231")).outcome == balances::RunOutcome::kDone;
}

// The rebuild with rebalance and pack, over an account code it deletes.
void PrepareRebuild(const std::string& root) {
  const std::string a = Make(root, "a", "A", 60);
  Table c20;
  ASSERT_TRUE(c20.OpenShared(a + "c20a", "C20CODE"));
  ASSERT_TRUE(c20.AppendBlank());
  c20.PutField(1, "abc");
  ASSERT_TRUE(c20.InsertRecord());
}
bool RunRebuild(const std::string& root, const Arm& arm) {
  if (!Load(root + "a/", "A")) return false;
  arm();
  return RunDossierRebuild(true, true).code == 0;
}

// The conversion the opening offers of a dossier of francs only, of a format before the euro (its
// lines and accounts without euros): every table written anew in this program's format beside the
// originals set aside, the lines given their euros at the euro's rate, each piece balanced in
// euros, the journal-months' euro totals those of their lines.
void PrepareConversion(const std::string& root) {
  const test_support::SetUpPermit permit("dossier en francs");
  const std::string a = Make(root, "a", "A", 60);
  for (const char* table : {"c40a", "c50a"}) {
    Table t;
    ASSERT_TRUE(t.OpenShared(a + table));
    const int euros = t.FieldPos(table[2] == '4' ? "DMONTANTE" : "BMONTANTE");
    for (long r = 1; t.GoTo(r); ++r) ASSERT_TRUE(t.PutFieldNum(euros, 0));
  }
  Table c20;
  ASSERT_TRUE(c20.OpenShared(a + "c20a"));
  for (long r = 1; c20.GoTo(r); ++r)
    for (int f : {18, 20, 22, 24, 29}) ASSERT_TRUE(c20.PutFieldNum(f, 0));
  c20.CloseTable(true);
  dossier_test::RenameField(a + "c10a.dbf", 0, "GD19970101");
}
bool RunConversion(const std::string& root, const Arm& arm) {
  SetDossier(root + "a/", "A");
  SetLogDossier(root + "a/", "A");
  arm();
  ConversionRequest request;
  request.toTwoCurrencies = true;
  request.rate = 6.55957;
  return ConvertDossier(request).ok;
}

// The renumbering of draft pieces numbered backwards with gaps: every line takes another number
// (its sort record too, so that the dossier keeps its rules before the run).
void PrepareRenumbering(const std::string& root) {
  const test_support::SetUpPermit permit("pieces espacees");
  const std::string a = Make(root, "a", "A", 200);
  Table c50, c60;
  ASSERT_TRUE(c50.OpenShared(a + "c50a"));
  ASSERT_TRUE(c60.OpenShared(a + "c60a"));
  long max = 0;
  for (long r = 1; c50.GoTo(r); ++r) max = std::max(max, static_cast<long>(Val(c50.GetField(4))));
  for (long r = 1; c50.GoTo(r); ++r)
    c50.PutField(4, StrZero(2 * (max + 1 - static_cast<long>(Val(c50.GetField(4)))) + 1, 0));
  const int file = c60.FieldPos("TFIC"), record = c60.FieldPos("TREC"), piece = c60.FieldPos("TPIECE");
  for (long r = 1; c60.GoTo(r); ++r)
    if (std::string(c60.GetField(file)) == "B" && c50.GoTo(static_cast<long>(Val(c60.GetField(record)))))
      c60.PutField(piece, c50.GetField(4));
}
bool RunRenumbering(const std::string& root, const Arm& arm) {
  if (!Load(root + "a/", "A")) return false;
  arm();
  return RenumberPieces().outcome == RenumberOutcome::Done;
}

// The restore of another state of the dossier (generated with fewer lines and another seed) over
// it: the backup unpacked into the restore's folder as a batch file does, then checked and put in
// place; the dossier's record of imported statements, which the backup lacks, set aside. Two
// ASCII files: "f" imported into the dossier after the backup, "g" into the backup's books, whose
// import the dossier's log names and an earlier restore of an older backup took out: the restore
// makes the log say that the books hold "g" and not "f".
std::string RestoreAsciiFile(const std::string& root, const std::string& name) {
  return root + "import/" + name + ".txt";
}
std::string RestoreAsciiLabel(const std::string& name) { return "Restaur\xE9 " + name; }
void WriteRestoreAsciiFile(const std::string& root, const std::string& name, int day) {
  std::ofstream out(RestoreAsciiFile(root, name), std::ios::binary);
  out << "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n";
  for (int i = 0; i < 2; ++i) {
    const std::string date = std::to_string(10 + day + i) + "/05/2026", piece = name + std::to_string(i);
    out << "OD;" << date << ";" << piece << ";51200000;1;" << RestoreAsciiLabel(name) << ";" << 40 + i << ",00;\r\n"
        << "OD;" << date << ";" << piece << ";70600000;1;" << RestoreAsciiLabel(name) << ";;" << 40 + i << ",00\r\n";
  }
}
// A copy of the file imported into the dossier of `folder` (the import renames what it imports).
void ImportAsciiCopy(const std::string& folder, const std::string& file) {
  const std::string copy = file + ".copie";
  ASSERT_TRUE(platform::CopyFile(file, copy));
  ASSERT_TRUE(Load(folder, "A"));
  Table c50, c60;
  ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE") && TableC20->OpenShared(PathC20(), "C20CODE") &&
              c50.OpenShared(PathC50(), L::kCodeTag) && c60.OpenShared(PathC60(), processing::kC60CodeTag));
  const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, copy);
  ASSERT_TRUE(read.Importable()) << (read.errors.empty() ? std::string() : read.errors[0].text);
  ASSERT_TRUE(processing::ImportAsciiFile(*TableC10, c50, c60, read).written);
  CloseAllTables();
}
std::string ReadLog() {
  std::string text;
  platform::ReadWholeFile(LogPath(), text);
  return text;
}
void PrepareRestore(const std::string& root) {
  Make(root, "a", "A", 160);
  Make(root, "sauvegarde", "A", 60, [](DemoOptions& o) { o.seed = 11; });
  std::ofstream(root + "a/cofA.txt", std::ios::binary) << "30004|00123|00012345678|T1000\tC601\tBQ \t000001\t51200000\n";
  std::filesystem::create_directories(root + "import");
  WriteRestoreAsciiFile(root, "f", 0);
  WriteRestoreAsciiFile(root, "g", 5);
  ImportAsciiCopy(root + "sauvegarde/", RestoreAsciiFile(root, "g"));
  std::string gImported;
  for (std::string line : SplitText(ReadLog().c_str(), true, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find(" - Ok - ") != std::string::npos) gImported = line.substr(line.find(processing::kAsciiLogTitle));
  }
  ASSERT_NE(gImported, "");
  ImportAsciiCopy(root + "a/", RestoreAsciiFile(root, "f"));
  // "g" as a restore of a backup that held it, then one of an older backup, leave it in the log.
  ASSERT_TRUE(Load(root + "a/", "A"));
  const std::string withoutG = ReadLog();
  ASSERT_TRUE(WriteLog(gImported));
  for (const std::string& line : processing::AsciiLogAfterRestore(withoutG, ReadLog()).lines) ASSERT_TRUE(WriteLog(line));
}
bool RunRestore(const std::string& root, const Arm& arm) {
  if (!Load(root + "a/", "A") || !DossierLockTable->OpenExclusive(DossierTablePath())) return false;
  RestoreFolders folders;
  if (!MakeRestoreFolders(DossierFolder, "A", &folders)) return false;
  const std::string backup = root + "sauvegarde/";
  for (const std::string& name : platform::ListFiles(backup, DossierFilePattern("A")))
    if (!platform::CopyFile(backup + name, folders.work + name)) return false;
  arm();
  const RestoreSelection selection = SelectRestoredFiles(folders.work, DossierFolder, "A");
  if (!selection.refusal.empty() || selection.setAside.size() != 1) return false;
  return InstallRestoredFiles(folders, DossierFolder, "A", selection).done;
}
// The log names each file imported when, and only when, the draft holds its lines.
bool RestoreLogAgrees(const std::string& root, std::string* why) {
  Table c50, c60;
  if (!OpenForImport(root, c50, c60)) {
    *why = "A does not open";
    return false;
  }
  bool agrees = true;
  for (const char* name : {"f", "g"}) {
    long held = 0;
    for (bool on = c50.GoTop() && c50.SkipActive(false); on; on = c50.SkipActive(true))
      held += std::string(RTrim(c50.GetField(L::BLIB))) == RestoreAsciiLabel(name);
    const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, RestoreAsciiFile(root, name));
    const bool logged = !read.importedBefore.empty();
    if (held == (logged ? 4 : 0) && read.stoppedRun.empty()) continue;
    agrees = false;
    *why += std::string(name) + ": " + std::to_string(held) + " lines in the draft, the log says " +
            (logged ? "imported" : "not imported") + (read.stoppedRun.empty() ? "" : ", stopped") + "; ";
  }
  return agrees;
}
}  // namespace

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

void PrintTo(const MatrixRun& r, std::ostream* os) { *os << r.title; }

// Every run of the matrix. knownFaulty: the runs whose interruptions are being mended; flip each
// to false once it holds at every point of a full sweep.
const std::vector<MatrixRun>& Runs() {
  static const std::vector<MatrixRun> runs = {
    {"validation", "validation", false, {{"v", "V"}}, PrepareValidation, RunValidation},
    {"opening_balances", "opening balances", false, {{"a", "A"}, {"b", "B"}}, PrepareOpening, RunOpening},
    {"merge", "merge", false, {{"a", "A"}, {"o", "O"}}, PrepareMerge, RunMerge},
    {"separation", "separation", false, {{"a", "A"}, {"b", "B"}}, PrepareSeparation, RunSeparation},
    // The separation's end, every write of it: the markers and copies of both dossiers removed.
    {"separation_end", "separation (its end)", false, {{"a", "A"}, {"b", "B"}}, PrepareSeparation, RunSeparation,
     nullptr, {}, 80},
    {"code_copy", "code copy", false, {{"a", "A"}, {"b", "B"}}, PrepareCodeCopy, RunCodeCopy},
    {"automatic_matching", "automatic matching", false, {{"a", "A"}}, PrepareMatching, RunMatching},
    {"ofx_import", "OFX import", false, {{"a", "A"}}, PrepareOfx, RunOfx, RetryOfx, kPieceNumbers},
    {"ascii_import", "ASCII import", false, {{"a", "A"}}, PrepareAscii, RunAscii, RetryAscii, kPieceNumbers},
    {"balance_sheet", "balance-sheet computation", false, {{"a", "A"}}, PrepareSheet, RunSheet},
    {"rebuild", "rebuild", false, {{"a", "A"}}, PrepareRebuild, RunRebuild},
    {"renumbering", "renumbering", false, {{"a", "A"}}, PrepareRenumbering, RunRenumbering},
    {"conversion", "conversion", false, {{"a", "A"}}, PrepareConversion, RunConversion},
    {"restore", "restore", false, {{"a", "A"}}, PrepareRestore, RunRestore, nullptr, {}, 0, RestoreLogAgrees},
  };
  return runs;
}

}  // namespace kill_matrix
