// The opening balances run between two generated dossiers: A (2026, the open one) carried into
// B (2027), the figures read back with dbfread and computed again from A's files; the checks
// that stop the run before anything is written; another station holding B.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "demo/dossier_demo.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/maintenance_pack.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/renumber_pieces.h"
#include "platform/system/files.h"
#include "processing/core/matching_lines.h"
#include "processing/core/opening_balances.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "support/books_files.h"
#include "support/window_amounts.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/kill_point.h"
#include "support/refused_read.h"
#include "support/line_files.h"
#include "support/other_process.h"
#include "support/python.h"
#include "support/rebuild_maintenance.h"
#include "support/runtime_fixture.h"

namespace {

using processing::OpeningRequest;
using processing::OpeningResult;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The figures of B computed again from A's and B's files (the exit status, then what was printed).
std::string CheckFigures(const std::string& dir);

class OpeningTest : public test_support::RuntimeTest {
 protected:
  virtual DossierCurrency Currency() const { return DossierCurrency::EuroMain; }
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char*, unsigned) { return 1; });
    SetRuntimeBeepHook([](unsigned) {});
    SetLockNoticeHook([](const char*, const char*) {});
    ASSERT_EQ(StartDbSession(), 0);
    for (int year : {2026, 2027}) {
      DemoOptions o;
      o.folder = Dir() + (year == 2026 ? "/a" : "/b");
      o.code = year == 2026 ? "A" : "B";
      o.lines = year == 2026 ? 600 : 40;
      o.firstDay = Ymd{year, 1, 1};
      o.lastDay = Ymd{year, 12, 31};
      o.currency = Currency();
      o.seed = static_cast<std::uint64_t>(year);
      std::string message;
      ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
    }
    target_ = processing::OtherDossier{Dir() + "/b/", "B"};
    OpenSource();
  }
  void TearDown() override {
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    SetLockNoticeHook(nullptr);
    RuntimeTest::TearDown();
  }

  // A made the program's dossier, its record and constants loaded as the opening does.
  void OpenSource() {
    SetDossier(Dir() + "/a/", "A");
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(ReadC10Texts());
    ASSERT_TRUE(TableC10->Seek("C10CODE", "P", "0"));
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TheDossierRecord.Set(791, 252, TableC10->GetField(5));
    CloseAllTables();
  }

  // The checks' figures and the run, as the form does them.
  OpeningResult Run(const OpeningRequest& request, std::string* refusal = nullptr,
                    void (*step)(const std::string&) = nullptr) {
    Table c10, c20;
    EXPECT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
    EXPECT_TRUE(c20.OpenShared(PathC20(), "C20CODE", true));
    collectives_ = processing::ReadCollectives(c10);
    const processing::TrialBalance balance = processing::ComputeTrialBalance(c20, collectives_);
    c10.CloseTable();
    c20.CloseTable();
    const std::string text = processing::TrialBalanceRefusal(balance, DossierIsEuroOnly());
    if (refusal != nullptr) *refusal = text;
    if (!text.empty()) return OpeningResult{processing::kOpeningRefused, text};
    return processing::GenerateOpeningBalances(request, collectives_, balance, Maintenance(), step);
  }

  // The rebuild's refusals and the rebuild without windows.
  static processing::TargetMaintenance Maintenance() { return test_support::RebuildMaintenance(true); }

  OpeningRequest Request() const {
    OpeningRequest r;
    r.target = target_;
    r.date = Ymd{2027, 1, 1};
    return r;
  }

  // A run carrying the unmatched lines of the auxiliary accounts one by one: its code, the piece
  // checked to balance.
  int RunInDetail() {
    OpeningRequest request = Request();
    request.detailUnmatched = true;
    const OpeningResult r = Run(request);
    EXPECT_EQ(r.code, 0) << r.error;
    const std::string printed = CheckFigures(Dir());
    EXPECT_NE(printed.find("balanced True"), std::string::npos) << printed;
    return r.code;
  }

  // B's files, byte for byte: a refused run leaves them as they were.
  std::string TargetBytes() {
    std::string all;
    for (const char* t : {"c10b", "c20b", "c50b", "c60b"}) all += FileBytes(Dir() + "/b/" + t + ".dbf");
    return all;
  }

  // Every file of B with its bytes, in name order.
  std::vector<std::string> TargetFiles() {
    std::vector<std::string> all;
    for (const auto& e : std::filesystem::directory_iterator(Dir() + "/b"))
      if (!test_support::IsIndexJournal(e.path().string()))
        all.push_back(e.path().filename().string() + FileBytes(e.path().string()));
    std::sort(all.begin(), all.end());
    return all;
  }

  processing::OtherDossier target_;
  std::vector<processing::Collective> collectives_;
};

// Sets a field of every record of one of A's tables (or of the records whose code begins with
// `prefix`) to a number.
void SetNumbers(const std::string& path, const std::vector<int>& fields, double value, const std::string& prefix = "") {
  const test_support::SetUpPermit permit("totaux mis en place");
  Table t;
  ASSERT_TRUE(t.OpenExclusive(path));
  for (bool more = t.GoTop(); more; more = t.Skip(1)) {
    if (std::string(t.GetField(1)).compare(0, prefix.size(), prefix) != 0) continue;
    for (int f : fields) ASSERT_TRUE(t.PutFieldNum(f, value));
  }
}

// The figures of B computed again from A's and B's files with dbfread.
const char* kCheckScript = R"PY(
import sys
from dbfread import DBF
a, b = sys.argv[1], sys.argv[2]
def cents(x): return int(round((x or 0) * 100))
coll = {}
general = DBF(a + '/c10a.dbf', encoding='cp1252')
for r in list(general) + list(general.deleted):  # a cancelled collective collects as a live one
    if r['GCLE'] == 'B' and (r['GZONE1'] or '')[:8].strip():
        coll[r['GZONE1'][:8]] = r['GCODE'][0]
expected, prev = {}, {}
result = [0, 0]
for r in DBF(a + '/c20a.dbf', encoding='cp1252'):
    code = r['CCODE'].ljust(8)
    prev[code] = [cents(r[k]) for k in ('CDEBITF', 'CDEBITE', 'CCREDITF', 'CCREDITE')]
    f = cents(r['CDEBITF']) - cents(r['CCREDITF']); e = cents(r['CDEBITE']) - cents(r['CCREDITE'])
    if code[0].isdigit() and code not in coll:
        if code[0] in '6789': result[0] += f; result[1] += e
        elif f or e: expected[code] = [f, e]
got, d, c = {}, [0, 0], [0, 0]
for r in DBF(b + '/c50b.dbf', encoding='cp1252'):
    if r['BJAL'].strip() != 'AN': continue
    s = 1 if r['BSENS'] == 'D' else -1
    v = [cents(r['BMONTANTF']), cents(r['BMONTANTE'])]
    (d if s == 1 else c)[0] += v[0]; (d if s == 1 else c)[1] += v[1]
    code = r['BCODE'].ljust(8)
    if code[0].isdigit() and code[:2] != '12':
        g = got.setdefault(code, [0, 0]); g[0] += s * v[0]; g[1] += s * v[1]
    if code.strip() in ('12000000', '12900000'):
        print('result', s * v[0] == result[0], s * v[1] == result[1])
print('balanced', d == c)
print('accounts', expected == got, len(expected))
bad = [k for k, r in ((r['CCODE'].ljust(8), r) for r in DBF(b + '/c20b.dbf', encoding='cp1252')) if k in prev and
       [cents(r[x]) for x in ('CDEBNM1F', 'CDEBNM1E', 'CCRENM1F', 'CCRENM1E')] != prev[k] and any(prev[k])]
print('previous', not bad)
)PY";

TEST_F(OpeningTest, TheOpeningPieceCarriesTheBalancesAndTheResultIntoTheNextYear) {
  DossierRecord before;
  {
    Table c10;
    ASSERT_TRUE(c10.OpenShared(Dir() + "/b/c10b", "C10CODE", true));
    ASSERT_TRUE(c10.Seek("C10CODE", "0"));
    before.Set(195, 6, std::string(c10.GetField(4)).substr(164, 6));
  }
  const OpeningResult r = Run(Request());
  ASSERT_EQ(r.code, 0) << r.error;
  EXPECT_GT(r.lines, 10);
  EXPECT_EQ(r.piece, std::atol(before.NextPiece().c_str()));
  const std::string printed = CheckFigures(Dir());
  EXPECT_EQ(printed.substr(0, 2), "0\n") << printed;
  EXPECT_NE(printed.find("balanced True"), std::string::npos) << printed;
  EXPECT_NE(printed.find("accounts True"), std::string::npos) << printed;
  EXPECT_NE(printed.find("previous True"), std::string::npos) << printed;
  EXPECT_NE(printed.find("result True True"), std::string::npos) << printed;
  // B's totals equal its lines after the rebuild; its counter went one further.
  SetDossier(Dir() + "/b/", "B");
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
  Table c10;
  ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
  ASSERT_TRUE(c10.Seek("C10CODE", "0"));
  EXPECT_EQ(std::atol(std::string(c10.GetField(4)).substr(164, 6).c_str()), r.piece + 1);
  ASSERT_TRUE(c10.Seek("C10CODE", "J", "AN "));
}

TEST_F(OpeningTest, ARefusedTargetOrBooksWriteNothing) {
  const std::string bytes = TargetBytes();
  struct Case {
    const char* name;
    std::function<void(OpeningRequest&)> change;
    const char* message;
  };
  const std::vector<Case> cases{
      {"date", [](OpeningRequest& r) { r.date = Ymd{2027, 2, 1}; }, "Date d\xE9" "but incorrecte: B"},
      // The day before the target's first day (the open year's last) and the day after it.
      {"the day before", [](OpeningRequest& r) { r.date = Ymd{2026, 12, 31}; }, "Date d\xE9" "but incorrecte: B"},
      {"the day after", [](OpeningRequest& r) { r.date = Ymd{2027, 1, 2}; }, "Date d\xE9" "but incorrecte: B"},
      {"own", [this](OpeningRequest& r) { r.target = processing::OtherDossier{Dir() + "/a//", "A"}; },
       "Dossier d\xE9" "j\xE0 ouvert: A"},
      {"missing", [](OpeningRequest& r) { r.target.code = "ZZ"; }, "Dossier inexistant: ZZ"},
      {"lower", [](OpeningRequest& r) { r.target.code = "b"; }, "Caract\xE8re incorrect: b"},
  };
  for (const Case& c : cases) {
    OpeningRequest request = Request();
    c.change(request);
    const OpeningResult r = Run(request);
    EXPECT_EQ(r.code, processing::kOpeningRefused) << c.name;
    EXPECT_EQ(r.error, c.message) << c.name;
  }
  EXPECT_EQ(TargetBytes(), bytes);
}

std::string CheckFigures(const std::string& dir) {
  int status = 0;
  const std::string printed = test_support::RunPythonScript(
      "import sys\nsys.argv=['', '" + dir + "/a', '" + dir + "/b']\n" + kCheckScript, true, &status);
  return std::to_string(status) + "\n" + printed;
}

// What the target's rebuild would refuse there (a renumbering left pending, a damaged table, a
// draft that the opening lines would take past 999,999 records) stops the run before any write.
TEST_F(OpeningTest, WhatTheTargetsRebuildWouldRefuseStopsTheRunBeforeAnyWrite) {
  struct Case {
    const char* name;
    void (*damage)(const std::string& b);
    const char* message;
  };
  const Case cases[] = {
      {"pending renumbering",
       [](const std::string& b) { std::ofstream(b + "c60b.ren") << "plan"; },
       "ReNum\xE9rotation des Pi\xE8" "ces a \xE9t\xE9 interrompue"},
      {"damaged table",
       [](const std::string& b) {
         std::filesystem::resize_file(b + "c20b.dbf", std::filesystem::file_size(b + "c20b.dbf") / 2);
       },
       "c20b.dbf"},
      {"draft past its limit",
       [](const std::string& b) {
         test_support::PadWithDeletedRecords(b + "c50b.dbf", static_cast<std::uint32_t>(kMaxLineRecords) - 5);
       },
       "/c50b.dbf\n\ncompte plus de 999 999 lignes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Each case on a fresh copy of the next year's dossier.
    std::filesystem::remove_all(Dir() + "/b-clean");
    std::filesystem::copy(Dir() + "/b", Dir() + "/b-clean");
    c.damage(Dir() + "/b/");
    const auto before = TargetFiles();
    const OpeningResult r = Run(Request());
    EXPECT_EQ(r.code, processing::kOpeningRefused) << r.error;
    EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
    EXPECT_EQ(TargetFiles(), before) << "nothing written";
    std::filesystem::remove_all(Dir() + "/b");
    std::filesystem::rename(Dir() + "/b-clean", Dir() + "/b");
  }
}

// Two income accounts of A credited 8 000 000 000,00 more, two bank accounts debited as much:
// the trial balance still balances and each account's balance fits a line, but the year's result,
// their sum, is past the 15 244 901 723,74 euros a line takes (its francs would fit). The run is refused before anything is written, naming
// the result's account and the amount, never as a write the disk refused.
TEST_F(OpeningTest, AResultPastWhatALineHoldsStopsTheRunByName) {
  {
    Table c20;
    ASSERT_TRUE(c20.OpenExclusive(PathC20(), "C20CODE"));
    int credited = 0, debited = 0;
    const test_support::SetUpPermit permit("totaux mis en place");
    for (bool more = c20.GoTop("C20CODE"); more; more = c20.Skip(1)) {
      const char first = c20.GetField(1)[0];
      const bool income = first == '7' && credited < 2, bank = first == '5' && debited < 2;
      if (c20.IsDeleted() || (!income && !bank)) continue;
      for (int field : income ? std::vector<int>{19, 20} : std::vector<int>{17, 18})
        ASSERT_TRUE(c20.PutFieldNum(field, FromCents(StoredAmountOf(c20, field) + 800'000'000'000)));
      ++(income ? credited : debited);
    }
    ASSERT_EQ(credited + debited, 4);
  }
  const auto before = TargetFiles();
  const OpeningResult r = Run(Request());
  EXPECT_EQ(r.code, processing::kOpeningRefused) << r.error;
  EXPECT_EQ(r.error.rfind("La ligne d'\xE0-nouveau du compte 12000000 ne peut porter", 0), 0u) << r.error;
  EXPECT_NE(r.error.find("que 15 244 901 723,74 au plus"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find(" euros : rien n'est \xE9" "crit."), std::string::npos) << r.error;
  EXPECT_EQ(r.error.find("disque"), std::string::npos) << r.error;
  EXPECT_EQ(TargetFiles(), before) << "nothing written";
}

TEST_F(OpeningTest, AnUnbalancedTrialBalanceStopsTheRun) {
  SetNumbers(PathC20(), {18}, 1000.0, "601");
  const std::string bytes = TargetBytes();
  std::string refusal;
  EXPECT_EQ(Run(Request(), &refusal).code, processing::kOpeningRefused);
  EXPECT_NE(refusal.find("Solde Euros: "), std::string::npos) << refusal;
  EXPECT_EQ(TargetBytes(), bytes);
}

// Amounts that do not read are named, never carried as zero: an account's year total ("12,34" over
// what it held) in the refusal of the trial balance it leaves unbalanced; that total put back, a
// line of an auxiliary account ("-1e300"), read by the run, refuses it before its first write, its
// end message naming the line, every file of B as it was.
TEST_F(OpeningTest, AmountsThatDoNotReadAreNamedInTheEndMessage) {
  const std::string c20 = std::string(PathC20()) + ".dbf";
  const std::string kept = FileBytes(c20);
  std::string account, line;
  {
    test_support::RawRecords raw(c20);
    for (std::uint32_t n = 1; n <= raw.Count() && account.empty(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, "CCODE")[0] != '6' || StoredAmountCents(raw.Field(r, "CDEBITE")) == 0) continue;
      raw.Put(n, "CDEBITE", "12,34");
      account = "C20 enregistrement " + std::to_string(n) + ", compte " + Trimmed(raw.Field(r, "CCODE"));
    }
  }
  ASSERT_FALSE(account.empty());
  std::string refusal;
  EXPECT_EQ(Run(Request(), &refusal).code, processing::kOpeningRefused);
  EXPECT_NE(refusal.find("Solde Euros: "), std::string::npos) << refusal;
  EXPECT_NE(refusal.find(account), std::string::npos) << refusal;

  std::ofstream(c20, std::ios::binary) << kept;
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && line.empty(); ++n) {
      const std::string r = raw.Record(n);
      const char first = raw.Field(r, "BCODE")[0];
      if (r[0] == '*' || raw.Field(r, "BCLE") != "Z" || first < 'A' || first > 'Z' ||
          StoredAmountCents(raw.Field(r, "BMONTANTE")) == 0)
        continue;
      raw.Put(n, "BMONTANTE", "-1e300");
      line = "C50 enregistrement " + std::to_string(n) + ", pi\xE8" "ce " + Trimmed(raw.Field(r, "BPIECE")) +
             ", compte " + Trimmed(raw.Field(r, "BCODE"));
    }
  }
  ASSERT_FALSE(line.empty());
  const std::vector<std::string> before = TargetFiles();
  const OpeningResult r = Run(Request());
  EXPECT_EQ(r.code, processing::kOpeningMarker) << r.error;
  const std::string end = processing::OpeningEndMessage(Request(), r);
  EXPECT_NE(end.find(line), std::string::npos) << end;
  EXPECT_NE(end.find("Rien n'a \xE9t\xE9 modifi\xE9"), std::string::npos) << end;
  EXPECT_EQ(end.find("est termin\xE9"), std::string::npos) << end;
  EXPECT_EQ(end.find(account), std::string::npos) << end;
  EXPECT_TRUE(TargetFiles() == before) << "a file of B changed";
}

// A journal "AN" that keeps its own counter gives the piece its number; the dossier's stays.
TEST_F(OpeningTest, TheJournalsOwnCounterNumbersThePiece) {
  {
    Table c10;
    ASSERT_TRUE(c10.OpenExclusive(Dir() + "/b/c10b", "C10CODE"));
    ASSERT_TRUE(c10.AppendBlank());
    c10.PutField(1, "J");
    c10.PutField(2, "AN");
    c10.PutField(3, "Journal des SOLDES A NOUVEAU");
    c10.PutField(4, "O        0        000500");
    ASSERT_TRUE(c10.InsertRecord());
  }
  const OpeningResult r = Run(Request());
  ASSERT_EQ(r.code, 0) << r.error;
  EXPECT_EQ(r.piece, 500);
  Table c10;
  ASSERT_TRUE(c10.OpenShared(Dir() + "/b/c10b", "C10CODE", true));
  ASSERT_TRUE(c10.Seek("C10CODE", "J", "AN"));
  EXPECT_EQ(std::string(c10.GetField(4)).substr(18, 6), "000501");
}

// A run killed half-way leaves B's marker; the opening of B puts it back from the copies.
TEST_F(OpeningTest, ARunKilledHalfWayIsPutBack) {
  const std::string bytes = TargetBytes();
  const int code = test_support::RunInChild([this] {
    Run(Request(), nullptr, [](const std::string&) {
      static int accounts = 0;
      if (++accounts == 20) ::raise(SIGKILL);
    });
    return 0;
  });
  EXPECT_EQ(code, 128 + SIGKILL);
  EXPECT_NE(TargetBytes(), bytes);
  SetDossier(Dir() + "/b/", "B");
  DossierRunInfo info;
  ASSERT_TRUE(ReadDossierRunMarker(&info));
  EXPECT_EQ(info.run, processing::kOpeningRun);
  ASSERT_TRUE(processing::PutBackInterruptedOpening(info.detail));
  EXPECT_EQ(TargetBytes(), bytes);
}

// A run killed at the first write into the new data file of B's C60 pack (the rebuild at its
// end): the put-back leaves nothing of the pack, and C60 opens whole, its tags holding it.
TEST_F(OpeningTest, ARunKilledInItsRebuildsPackIsPutBackWhole) {
  const std::vector<std::string> files = TargetFiles();
  const std::string c60 = Dir() + "/b/c60b";
  const int code = test_support::RunInChild([this, c60] {
    test_support::KillWhen(c60 + ".dbf.pack");
    Run(Request());
    return 0;
  });
  EXPECT_EQ(code, 128 + SIGKILL);
  ASSERT_TRUE(std::filesystem::exists(c60 + ".dbf.pack"));
  SetDossier(Dir() + "/b/", "B");
  DossierRunInfo info;
  ASSERT_TRUE(ReadDossierRunMarker(&info));
  ASSERT_TRUE(processing::PutBackInterruptedOpening(info.detail));
  ASSERT_TRUE(RemoveDossierRunMarker());
  EXPECT_TRUE(TargetFiles() == files);
  Table t;
  ASSERT_TRUE(t.OpenShared(c60, "", true));
  EXPECT_EQ(dbase::DbiCheckIndex(t.Engine().cursor, false), dbase::DBIERR_NONE);
}

// With constant 040 the letters of each auxiliary account must balance: one lettered line alone
// is named; the letters taken off again, the check passes.
TEST_F(OpeningTest, UnbalancedLettersAreNamed) {
  Table c10, c40, c50, c60;
  ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
  const std::vector<processing::Collective> collectives = processing::ReadCollectives(c10);
  ASSERT_FALSE(collectives.empty());
  ASSERT_TRUE(c40.OpenShared(PathC40(), "C40CODE", true));
  ASSERT_TRUE(c50.OpenShared(PathC50(), LigneEcriture::kCodeTag, true));
  ASSERT_TRUE(c60.OpenExclusive(PathC60(), processing::kC60CodeTag));
  EXPECT_EQ(processing::CheckLetterBalances(c40, c50, c60, collectives, 1), "");
  const std::string letter(1, collectives[0].letter);
  ASSERT_TRUE(c60.SeekNotBelow(processing::kC60CodeTag, letter.c_str()));
  const std::string account = RTrim(processing::AccountOf(c60).c_str());
  const test_support::SetUpPermit permit("lettre desequilibree");
  ASSERT_TRUE(c60.PutField(LigneTri::TLETE, "A"));
  const std::string refusal = processing::CheckLetterBalances(c40, c50, c60, collectives, 1);
  EXPECT_NE(refusal.find("Les LETTRAGES en Euros du compte: " + account), std::string::npos) << refusal;
  EXPECT_EQ(processing::CheckLetterBalances(c40, c50, c60, collectives, 0), "");
}

// The letters checked while the disk refuses one read of the sort file (each in turn, EIO once): letters not
// read are said so with the file, never taken for letters that balance; one of them unbalanced is named
// whenever the reads go through.
TEST_F(OpeningTest, LettersNotReadAreNeverTakenForBalanced) {
  Table c10, c40, c50, c60;
  ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
  const std::vector<processing::Collective> collectives = processing::ReadCollectives(c10);
  ASSERT_FALSE(collectives.empty());
  {
    ASSERT_TRUE(c60.OpenExclusive(PathC60(), processing::kC60CodeTag));
    const std::string letter(1, collectives[0].letter);
    ASSERT_TRUE(c60.SeekNotBelow(processing::kC60CodeTag, letter.c_str()));
    const test_support::SetUpPermit permit("lettre desequilibree");
    ASSERT_TRUE(c60.PutField(LigneTri::TLETE, "A"));
    c60.CloseTable();
  }
  const std::string file = "/" + std::filesystem::path(platform::ResolvePath(std::string(PathC60()) + ".dbf")).filename().string();
  int unread = 0;
  for (int nth = 1;; ++nth) {
    SCOPED_TRACE("read " + std::to_string(nth) + " of " + file + " refused");
    // Opened while reads are counted, so that the engine reads the file rather than maps it.
    test_support::RefusedRead::Arm(file, INT_MAX);
    ASSERT_TRUE(c40.OpenShared(PathC40(), "C40CODE", true));
    ASSERT_TRUE(c50.OpenShared(PathC50(), LigneEcriture::kCodeTag, true));
    ASSERT_TRUE(c60.OpenShared(PathC60(), processing::kC60CodeTag, true));
    test_support::RefusedRead::Arm(file, nth);
    const std::string said = processing::CheckLetterBalances(c40, c50, c60, collectives, 1);
    const int seen = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
    for (Table* t : {&c40, &c50, &c60}) t->CloseTable();
    EXPECT_FALSE(said.empty()) << "taken for letters that balance";
    if (said.find("Les LETTRAGES") == std::string::npos) {
      ++unread;
      EXPECT_NE(said.find(file.substr(1)), std::string::npos) << said;
    }
    ASSERT_FALSE(HasFailure());
    if (seen < nth) break;
  }
  EXPECT_GE(unread, 1);
}

// The trial balance over a chart one of whose reads the disk refuses (a step of the walk, an account's
// delete mark, its totals) is never taken for a balanced one: it is refused, naming the chart's file.
TEST_F(OpeningTest, ATrialBalanceReadShortIsRefusedNamingTheChart) {
  Table c10, c20;
  ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
  const std::vector<processing::Collective> collectives = processing::ReadCollectives(c10);
  c10.CloseTable();
  ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE", true));
  ASSERT_EQ(processing::TrialBalanceRefusal(processing::ComputeTrialBalance(c20, collectives), false), "");
  c20.CloseTable();
  const std::string file = "/" + std::filesystem::path(platform::ResolvePath(std::string(PathC20()) + ".dbf")).filename().string();
  for (int nth = 1;; ++nth) {
    SCOPED_TRACE("read " + std::to_string(nth) + " of " + file + " refused");
    // Opened while reads are counted, so that the engine reads the file rather than maps it.
    test_support::RefusedRead::Arm(file, INT_MAX);
    ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE", true));
    test_support::RefusedRead::Arm(file, nth);
    const processing::TrialBalance balance = processing::ComputeTrialBalance(c20, collectives);
    const int seen = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
    c20.CloseTable();
    const std::string said = processing::TrialBalanceRefusal(balance, false);
    if (seen < nth) {
      EXPECT_EQ(said, "") << "no read refused";
      break;
    }
    EXPECT_NE(said.find(file.substr(1)), std::string::npos) << said;
    ASSERT_FALSE(HasFailure());
  }
}
TEST_F(OpeningTest, AnAuxiliaryAccountWithoutCollectiveStopsTheRun) {
  {
    Table c20;
    ASSERT_TRUE(c20.OpenExclusive(PathC20(), "C20CODE"));
    const test_support::SetUpPermit permit("compte sans collectif");
    ASSERT_TRUE(c20.AppendBlank());
    c20.PutField(1, "QORPHAN");
    c20.PutFieldNum(18, 12.5);
    c20.PutFieldNum(17, 82.0);
    ASSERT_TRUE(c20.InsertRecord());
  }
  const std::string bytes = TargetBytes();
  std::string refusal;
  const OpeningResult r = Run(Request(), &refusal);
  EXPECT_EQ(r.code, processing::kOpeningRefused);
  EXPECT_NE(refusal.find("QORPHAN"), std::string::npos) << refusal;
  EXPECT_EQ(TargetBytes(), bytes);
}

TEST_F(OpeningTest, ACancelledCollectiveStillCarriesTheAccountsOfItsLetter) {
  // "F Fournisseurs" cancelled in the list of collectives: its accounts keep feeding 40100000, and
  // are carried as every total counts them.
  {
    Table c10;
    ASSERT_TRUE(c10.OpenExclusive(PathC10(), "C10CODE"));
    ASSERT_TRUE(c10.Seek("C10CODE", "B", "F"));
    ASSERT_TRUE(c10.DeleteRecord("", 0)) << c10.result;
  }
  std::string refusal;
  const OpeningResult r = Run(Request(), &refusal);
  ASSERT_EQ(r.code, 0) << refusal << r.error;
  EXPECT_TRUE(std::any_of(collectives_.begin(), collectives_.end(),
                          [](const processing::Collective& c) { return c.letter == 'F' && c.account == "40100000"; }));
  const std::string printed = CheckFigures(Dir());
  EXPECT_NE(printed.find("balanced True"), std::string::npos) << printed;
  EXPECT_NE(printed.find("accounts True"), std::string::npos) << printed;
  EXPECT_NE(printed.find("result True True"), std::string::npos) << printed;
  // The new year's books hold together: its totals are its lines'.
  SetDossier(Dir() + "/b/", "B");
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

TEST_F(OpeningTest, AnotherStationInTheTargetIsRefusedWithNothingWritten) {
  const std::string lock = DossierTablePathOf(Dir() + "/b/", "B");
  test_support::OtherProcess other([lock](char cmd) {
    static Table* t = new Table();
    if (cmd == 'o') return t->OpenShared(lock);
    return false;
  });
  ASSERT_TRUE(other.Do('o'));
  const std::string bytes = TargetBytes();
  const OpeningResult r = Run(Request());
  EXPECT_TRUE(r.busy);
  EXPECT_NE(r.error.find("IMPOSSIBLE d'ouvrir l'autre dossier de mani\xE8re EXCLUSIVE"), std::string::npos);
  EXPECT_EQ(TargetBytes(), bytes);
}

}  // namespace

namespace {

// In a dossier kept in euros alone, with no francs at all, the year's result is still posted.
class EuroOnlyOpeningTest : public OpeningTest {
 protected:
  DossierCurrency Currency() const override { return DossierCurrency::EuroOnly; }
};

TEST_F(EuroOnlyOpeningTest, TheResultIsPostedWithoutFrancs) {
  SetNumbers(PathC20(), {17, 19}, 0.0);
  SetNumbers(PathC50(), {18}, 0.0);
  const OpeningResult r = Run(Request());
  ASSERT_EQ(r.code, 0) << r.error;
  const std::string printed = CheckFigures(Dir());
  EXPECT_NE(printed.find("balanced True"), std::string::npos) << printed;
  EXPECT_NE(printed.find("result True True"), std::string::npos) << printed;
}

}  // namespace

namespace {

// The unmatched lines carried one by one while letters of an account do not balance (no letter
// check asked for): the rest of that account is carried by a residual line and the piece balances.
TEST_F(OpeningTest, LettersThatDoNotBalanceLeaveAResidualLine) {
  std::string account;
  {
    Table c10, c60;
    ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
    const std::vector<processing::Collective> collectives = processing::ReadCollectives(c10);
    ASSERT_FALSE(collectives.empty());
    ASSERT_TRUE(c60.OpenExclusive(PathC60(), processing::kC60CodeTag));
    ASSERT_TRUE(c60.SeekNotBelow(processing::kC60CodeTag, std::string(1, collectives[0].letter).c_str()));
    account = processing::AccountOf(c60);
    const test_support::SetUpPermit permit("lettre desequilibree");
    ASSERT_TRUE(c60.PutField(LigneTri::TLETE, "A"));
    ASSERT_TRUE(c60.Commit());
  }
  ASSERT_EQ(RunInDetail(), 0);
  Table c50;
  ASSERT_TRUE(c50.OpenShared(Dir() + "/b/c50b", "", true));
  long residuals = 0;
  for (bool more = c50.GoTop(); more; more = c50.Skip(1))
    if (!c50.IsDeleted() && std::string(c50.GetField(LigneEcriture::BCODE)) == account &&
        std::string(RTrim(c50.GetField(LigneEcriture::BLIB))) == "SAN Ecritures Point\xE9" "es")
      ++residuals;
  EXPECT_EQ(residuals, 1) << account;
}

}  // namespace

namespace {

// B's opening lines: month, day, piece, account, sense, francs, euros, labels and due date of every
// live line of journal "AN", in record order.
std::vector<std::string> OpeningLines(const std::string& c50) {
  std::vector<std::string> out;
  Table t;
  EXPECT_TRUE(t.OpenShared(c50, "", true));
  for (bool more = t.GoTop(); more; more = t.Skip(1)) {
    if (t.IsDeleted() || RTrim(t.GetField(LigneEcriture::BJAL)) != std::string("AN")) continue;
    std::string line;
    for (int f : {LigneEcriture::BMOIS, LigneEcriture::BJOUR, LigneEcriture::BPIECE, LigneEcriture::BCODE,
                  LigneEcriture::BSENS, LigneEcriture::BMONTANTF, LigneEcriture::BMONTANTE, LigneEcriture::BLIB,
                  LigneEcriture::BECHEANCE})
      line += std::string(AllTrim(t.GetField(f))) + "|";
    out.push_back(line);
  }
  return out;
}

// Lines of the open year's first and last days on an auxiliary account, carried one by one: each
// is written on the opening date with its own due date, sense and amounts; the lines matched in the
// main currency stay behind, those matched in francs alone are carried.
TEST_F(OpeningTest, TheYearsFirstAndLastDaysAreCarriedOneByOneOnTheOpeningDate) {
  std::string account;
  {
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
    const std::vector<processing::Collective> collectives = processing::ReadCollectives(*TableC10);
    for (const processing::Collective& c : collectives) {
      if (c.account[0] >= '6') continue;
      if (TableC20->SeekNotBelow("C20CODE", std::string(1, c.letter).c_str()) && TableC20->GetField(1)[0] == c.letter) {
        account = TableC20->GetField(1);
        break;
      }
    }
    ASSERT_FALSE(account.empty());
    Table c50, c60;
    ASSERT_TRUE(c50.OpenShared(PathC50(), LigneEcriture::kCodeTag));
    ASSERT_TRUE(c60.OpenShared(PathC60(), processing::kC60CodeTag));
    struct Own {
      const char* month;
      const char* day;
      char sense;
      double euros;
      const char* label;
      const char* due;
      const char* letterE;
      const char* letterF;
    };
    const Own lines[] = {
        {"C601", "01", 'D', 100.0, "Premier jour", "C60215", "", ""},
        {"C612", "31", 'C', 100.0, "Dernier jour", "C70131", "", ""},
        {"C612", "31", 'D', 30.0, "Lettre euros", "", "ZY", "ZY"},
        {"C601", "01", 'C', 30.0, "Lettre euros", "", "ZY", "ZY"},
        {"C612", "31", 'D', 7.0, "Lettre francs", "", "", "ZX"},
        {"C601", "01", 'C', 7.0, "Lettre francs", "", "", "ZX"},
    };
    long piece = 990000;
    for (const Own& o : lines) {
      NewDraftLine line;
      line.month = o.month;
      line.day = o.day;
      line.journal = "OD";
      line.piece = StrZero(++piece, 0);
      line.account = account;
      line.labelCode = "0";
      line.label = o.label;
      line.dueDate = o.due;
      line.sense = o.sense;
      line.euros = o.euros;
      line.francs = Round(2, o.euros * 6.55957);
      std::vector<std::uint32_t> recnos;
      const test_support::SetUpPermit permit("lignes lettrees mises en place");
      ASSERT_EQ(WriteDraftLines(c50, c60, {line}, &recnos), DraftWrite::Written);
      ASSERT_TRUE(c50.GoTo(recnos[0]));
      c50.PutField(LigneEcriture::BLETE, o.letterE);
      c50.PutField(LigneEcriture::BLET, o.letterF);
      ASSERT_TRUE(c50.Commit());
      ASSERT_TRUE(LigneTri::Find(c60, LigneTri::kDraft, recnos[0]));
      c60.PutField(LigneTri::TLETE, o.letterE);
      c60.PutField(LigneTri::TLET, o.letterF);
      ASSERT_TRUE(c60.Commit());
      c60.SetOrder(processing::kC60CodeTag);
    }
    c50.CloseTable();
    c60.CloseTable();
    CloseAllTables();
  }
  ASSERT_EQ(RunInDetail(), 0);
  std::vector<std::string> own;
  for (const std::string& line : OpeningLines(Dir() + "/b/c50b")) {
    // Every line of the piece on the opening date.
    EXPECT_EQ(line.substr(0, 8), "C701|01|") << line;
    if (line.find("|" + std::string(RTrim(account.c_str())) + "|") == std::string::npos) continue;
    // The test's own lines; the account's others are the generated year's.
    if (line.find("|Premier jour|") == std::string::npos && line.find("|Dernier jour|") == std::string::npos &&
        line.find("|Lettre ") == std::string::npos)
      continue;
    std::string fields = line.substr(line.find('|', 8) + 1);       // past the piece
    fields = fields.substr(fields.find('|') + 1);                    // past the account
    own.push_back(fields);
  }
  std::sort(own.begin(), own.end());
  EXPECT_EQ(own, (std::vector<std::string>{"C|45.92|7.00|Lettre francs||", "C|655.96|100.00|Dernier jour|C70131|",
                                           "D|45.92|7.00|Lettre francs||", "D|655.96|100.00|Premier jour|C60215|"}))
      << account;
}

// A second run into the same next year, as a user may start it again: a second opening piece
// under the next number, the first one's lines kept as they were, the previous-year columns those
// of the open year (not added twice), one journal "AN", and B's totals those of its lines.
TEST_F(OpeningTest, ASecondRunIntoTheSameYearAddsASecondPieceAndKeepsTheFirst) {
  const OpeningResult first = Run(Request());
  ASSERT_EQ(first.code, 0) << first.error;
  const std::vector<std::string> firstLines = OpeningLines(Dir() + "/b/c50b");
  ASSERT_EQ(static_cast<long>(firstLines.size()), first.lines);
  auto previousColumns = [this] {
    std::vector<std::string> out;
    Table t;
    EXPECT_TRUE(t.OpenShared(Dir() + "/b/c20b", "C20CODE", true));
    for (bool more = t.GoTop("C20CODE"); more; more = t.Skip(1))
      if (!t.IsDeleted())
        out.push_back(std::string(t.GetField(1)) + " " + t.GetField(21) + t.GetField(22) + t.GetField(23) + t.GetField(24));
    return out;
  };
  auto generalRecords = [this] {
    std::map<std::string, int> kinds;
    Table t;
    EXPECT_TRUE(t.OpenShared(Dir() + "/b/c10b", "C10CODE", true));
    for (bool more = t.GoTop(); more; more = t.Skip(1))
      if (!t.IsDeleted() && (t.GetField(1)[0] == 'B' || (t.GetField(1)[0] == 'J' && RTrim(t.GetField(2)) == std::string("AN"))))
        ++kinds[std::string(t.GetField(1)) + RTrim(t.GetField(2))];
    return kinds;
  };
  const std::vector<std::string> columns = previousColumns();
  const std::map<std::string, int> kinds = generalRecords();
  EXPECT_EQ(kinds.at("JAN"), 1);

  const OpeningResult second = Run(Request());
  ASSERT_EQ(second.code, 0) << second.error;
  EXPECT_EQ(second.piece, first.piece + 1);
  EXPECT_EQ(second.lines, first.lines);
  EXPECT_EQ(second.accounts, first.accounts);
  const std::vector<std::string> lines = OpeningLines(Dir() + "/b/c50b");
  ASSERT_EQ(lines.size(), 2 * firstLines.size());
  const std::string firstPiece = "|" + std::string(StrZero(first.piece, 0)) + "|";
  const std::string secondPiece = "|" + std::string(StrZero(second.piece, 0)) + "|";
  std::vector<std::string> kept, again, expected;
  for (const std::string& line : lines) (line.find(firstPiece) != std::string::npos ? kept : again).push_back(line);
  EXPECT_EQ(kept, firstLines);
  for (std::string line : firstLines) expected.push_back(line.replace(line.find(firstPiece), firstPiece.size(), secondPiece));
  EXPECT_EQ(again, expected);
  EXPECT_EQ(previousColumns(), columns);
  EXPECT_EQ(generalRecords(), kinds);
  const std::string printed = CheckFigures(Dir());
  EXPECT_NE(printed.find("balanced True"), std::string::npos) << printed;
  EXPECT_NE(printed.find("previous True"), std::string::npos) << printed;
  SetDossier(Dir() + "/b/", "B");
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

}  // namespace

namespace {

// The edge accounts of the chart: an auxiliary account without a figure of the year stays out of
// B's chart; a balance in debit in francs and in credit in euros (and the reverse) is written in
// credit with both amounts negated; an account of B that A does not carry loses its previous-year
// figures.
TEST_F(OpeningTest, TheEdgeAccountsOfTheChart) {
  auto append = [](const std::string& path, const std::string& code, const std::vector<std::pair<int, double>>& numbers) {
    Table c20;
    ASSERT_TRUE(c20.OpenExclusive(path, "C20CODE"));
    const test_support::SetUpPermit permit("compte mis en place");
    ASSERT_TRUE(c20.AppendBlank());
    c20.PutField(1, code.c_str());
    c20.PutField(2, code.c_str());
    for (const auto& [field, value] : numbers) ASSERT_TRUE(c20.PutFieldNum(field, value));
    ASSERT_TRUE(c20.InsertRecord());
  };
  append(PathC20(), "CZERO001", {});
  append(PathC20(), "47199991", {{17, 100.0}, {20, 10.0}});  // francs +100, euros -10
  append(PathC20(), "47199992", {{18, 10.0}, {19, 100.0}});  // francs -100, euros +10
  append(Dir() + "/b/c20b", "47199993", {{21, 1.0}, {22, 2.0}, {23, 3.0}, {24, 4.0}});
  const OpeningResult r = Run(Request());
  ASSERT_EQ(r.code, 0) << r.error;
  std::vector<std::string> mixed;
  for (const std::string& line : OpeningLines(Dir() + "/b/c50b"))
    if (line.find("|4719999") != std::string::npos) mixed.push_back(line.substr(line.find("|4719999") + 1));
  EXPECT_EQ(mixed, (std::vector<std::string>{"47199991|C|-100.00|10.00|Solde A Nouveau||",
                                             "47199992|C|100.00|-10.00|Solde A Nouveau||"}));
  Table c20;
  ASSERT_TRUE(c20.OpenShared(Dir() + "/b/c20b", "C20CODE", true));
  EXPECT_FALSE(c20.Seek("C20CODE", "CZERO001") && !c20.IsDeleted());
  ASSERT_TRUE(c20.Seek("C20CODE", "47199993"));
  for (int f = 21; f <= 24; ++f) EXPECT_EQ(c20.GetFieldNum(f), 0.0) << f;
}

}  // namespace

namespace {

// The refusals of an unbalanced trial balance name its balance whole, grouped, with its side, at 1,
// 10 million, a billion and 99 999 999 999,99 (the balance of either side is said without its sign).
TEST(OpeningSentences, AmountsSweepTheUnbalancedBalanceIsSaidWholeAndGrouped) {
  test_support::SweepFaults faults;
  for (long long cents : test_support::SweepCents()) {
    for (const bool francs : {true, false}) {
      processing::TrialBalance b;
      (francs ? b.francs : b.euros) = cents;
      const std::string said = processing::TrialBalanceRefusal(b, false);
      const std::string where = std::string("opening refusal in ") + (francs ? "francs" : "euros");
      faults.Add(test_support::AmountFault(where, said, cents < 0 ? -cents : cents, test_support::Shown::kSided));
      faults.Add(test_support::GroupedFault(where, said));
    }
  }
  faults.Report();
}

}  // namespace
