// The eleven runs of the kill and fault matrices, each on its small generated dossiers.
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
#include "dossier/core/dossier_create.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/renumber_pieces.h"
#include "entry/core/validation.h"
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
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"
#include "support/bank_statement.h"
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
  {
    Table c10, c50;
    if (!c10.OpenShared(PathC10(), "C10CODE", true) || !c50.OpenShared(PathC50(), "", true)) return false;
    for (const entry::DraftMonth& m : entry::ListDraftMonths(c50, c10))
      if (chosen.size() < 3 && m.BalancedInEuros() && m.noAccount == 0 && m.outOfYear == 0)
        chosen.push_back(m.journalMonth);
  }
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
  {
    Table c10, c20;
    if (!c10.OpenShared(PathC10(), "C10CODE", true) || !c20.OpenShared(PathC20(), "C20CODE", true)) return false;
    collectives = processing::ReadCollectives(c10);
    balance = processing::ComputeTrialBalance(c20, collectives);
  }
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
processing::StatementImport Statement() { return test_support::BankStatementOf(12); }
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

// The renumbering of draft pieces numbered backwards with gaps: every line takes another number
// (its sort record too, so that the dossier keeps its rules before the run).
void PrepareRenumbering(const std::string& root) {
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

}  // namespace

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

void PrintTo(const MatrixRun& r, std::ostream* os) { *os << r.title; }

// Every run of the matrix. knownFaulty: the runs whose interruptions are being mended (the put-back
// after a killed pack, marked indexes at the opening, the runs outside the marker); flip each to
// false once it holds at every point of a full sweep. The imports hold at every point but those
// killed inside the append of a journal-month header into C10: the opening then reindexes the
// dossier, and the reindex's pack of C60 drops the sort records of the draft's cancelled lines.
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
  };
  return runs;
}

}  // namespace kill_matrix
