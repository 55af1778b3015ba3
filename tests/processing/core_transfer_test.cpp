// The runs between two generated dossiers: the merge of another dossier into the open one (its
// lines for the period, its previous-year and budget figures, its missing journals; "Ajout
// seulement"; the periods the check gives) and the year separation of a dossier of 14 months
// (every line standing exactly once afterwards, both dossiers balanced and sound); the refusals
// that write nothing, another station in the other dossier among them.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/dossier_lock.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "demo/dossier_demo.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/maintenance_pack.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/renumber_pieces.h"
#include "posting/journal_month.h"
#include "processing/core/dossier_merge.h"
#include "processing/core/year_separation.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/books_files.h"
#include "support/books_writes.h"
#include "support/demo_oracle.h"
#include "support/kill_point.h"
#include "support/line_files.h"
#include "support/other_process.h"
#include "support/python.h"
#include "support/rebuild_maintenance.h"
#include "support/runtime_fixture.h"

namespace {

using L = LigneEcriture;
using processing::OtherDossier;
using test_support::PadWithDeletedRecords;

// The phases the runs are stopped in: the merge adding the lines, the separation removing those it moved.
constexpr int kPhaseMergeLines = 29222;
constexpr int kPhaseSeparationRemoveLines = 29264;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every data file of a dossier, byte for byte.
std::string DossierBytes(const std::string& folder, const std::string& code) {
  std::string all;
  for (const char* t : {"c10", "c20", "c30", "c40", "c50", "c60"}) all += FileBytes(folder + t + code + ".dbf");
  return all;
}

// Every file of a dossier's folder (copies aside and markers included), by name, size and a
// digest of its bytes: large files are compared without holding them.
std::string FolderDigest(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
    if (test_support::IsIndexJournal(e.path().string())) continue;
    if (!e.is_regular_file()) {
      files[e.path().string()] = "folder";
      continue;
    }
    std::ifstream in(e.path(), std::ios::binary);
    std::uint64_t hash = 1469598103934665603ull;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
      for (std::streamsize i = 0; i < in.gcount(); ++i) hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
    }
    files[e.path().string()] = std::to_string(e.file_size()) + ":" + std::to_string(hash);
  }
  std::string all;
  for (const auto& [name, what] : files) all += name + "=" + what + "\n";
  return all;
}

// The damages the runs refuse before writing: a renumbering left pending, a data file cut short.
void LeaveRenumberingPending(const std::string& folder, const std::string& code) {
  std::ofstream(folder + "c60" + code + ".ren") << "";
}
void CutShort(const std::string& dbf) {
  std::filesystem::resize_file(dbf, std::filesystem::file_size(dbf) - 40);
}

// One live line as a text that does not depend on the file that holds it nor on its letters.
struct LineCensus {
  std::multiset<std::string> lines;
  std::map<std::string, long long> lettered;  // "account letter": lettered lines
  long long debit = 0, credit = 0;             // euro cents of the general lines
  std::string firstDate = "\x7f", lastDate;
};

LineCensus Census(const std::string& folder, const std::string& code) {
  LineCensus c;
  for (bool closed : {true, false}) {
    Table t;
    EXPECT_TRUE(t.OpenShared(folder + (closed ? "c40" : "c50") + code, "", true));
    for (bool more = t.GoTop(); more; more = t.Skip(1)) {
      if (t.IsDeleted()) continue;
      auto get = [&](int draft) { return L::Get(t, closed, draft); };
      const std::string date = get(L::BMOIS) + get(L::BJOUR);
      const std::string text = get(L::BCLE) + "|" + get(L::BCODE) + "|" + date + "|" + get(L::BJAL) + "|" +
                               get(L::BPIECE) + "|" + get(L::BNUM) + "|" + get(L::BSENS) + "|" +
                               get(L::BMONTANTE) + "|" + get(L::BMONTANTF) + "|" + get(L::BLIB);
      c.lines.insert(text);
      const std::string letter = AllTrim(get(L::BLETE).c_str());
      if (!letter.empty()) ++c.lettered[get(L::BCODE) + " " + letter];
      if (get(L::BCLE) == "Z") {
        const long long cents = ToCents(closed ? t.GetFieldNum(L::DMONTANTE) : t.GetFieldNum(L::BMONTANTE));
        (get(L::BSENS) == "D" ? c.debit : c.credit) += cents;
      }
      if (date < c.firstDate) c.firstDate = date;
      if (date > c.lastDate) c.lastDate = date;
    }
  }
  return c;
}

class TransferTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char*, unsigned) { return 1; });
    SetRuntimeBeepHook([](unsigned) {});
    SetLockNoticeHook([](const char*, const char*) {});
    ASSERT_EQ(StartDbSession(), 0);
  }
  void TearDown() override {
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    SetLockNoticeHook(nullptr);
    RuntimeTest::TearDown();
  }

  std::string Make(const std::string& name, const std::string& code, long lines, Ymd first, Ymd last,
                   std::function<void(DemoOptions&)> more = {}) {
    DemoOptions o;
    o.folder = Dir() + "/" + name;
    o.code = code;
    o.lines = lines;
    o.firstDay = first;
    o.lastDay = last;
    o.currency = DossierCurrency::EuroMain;
    o.seed = static_cast<std::uint64_t>(lines + first.month);
    if (more) more(o);
    std::string message;
    EXPECT_TRUE(GenerateDemoDossier(o, &message)) << message;
    return o.folder + "/";
  }

  // The dossier made the program's dossier, its record and constants loaded as the opening does.
  static void Open(const std::string& folder, const std::string& code) {
    SetDossier(folder, code);
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(ReadC10Texts());
    ASSERT_TRUE(TableC10->Seek("C10CODE", "P", "0"));
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TheDossierRecord.Set(791, 252, TableC10->GetField(5));
    CloseAllTables();
  }

  static processing::TargetMaintenance Maintenance(bool pack) { return test_support::RebuildMaintenance(pack); }

  // The invariants of the data layer and of the independent oracle on a dossier.
  static void ExpectSound(const std::string& folder, const std::string& code) {
    SetDossier(folder, code);
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << code << "\n" << check.Report();
    int status = -1;
    const std::string out = test_support::RunPythonScript(
        "import sys, runpy\nsys.argv = ['check_demo.py', '" + folder + "', '" + code + "', '--invariants']\n"
        "runpy.run_path('" + test_support::DemoOracle() + "', run_name='__main__')\n",
        true, &status);
    EXPECT_EQ(status, 0) << code << "\n" << out;
  }
};

// Changes a dossier's record "0" through the accessors of the dossier record.
void EditRecord(const std::string& folder, const std::string& code, const std::function<void(DossierRecord&)>& edit) {
  Table c10;
  ASSERT_TRUE(c10.OpenExclusive(folder + "c10" + code, "C10CODE"));
  ASSERT_TRUE(posting::FindC10(c10, '0', "").IsFound());
  DossierRecord record;
  DossierRecord::C10Texts texts;
  texts.record0Field3 = c10.GetField(3);
  texts.record0Field4 = c10.GetField(4);
  texts.record0Field5 = c10.GetField(5);
  record.LoadFromC10(texts);
  edit(record);
  ASSERT_TRUE(c10.PutField(4, record.ToC10().record0Field4.c_str()));
  ASSERT_TRUE(c10.Commit());
}

// Writes a dossier's year into its record "0".
void SetYear(const std::string& folder, const std::string& code, Ymd first, Ymd last) {
  EditRecord(folder, code, [&](DossierRecord& record) {
    using F = DossierRecord::DateField;
    ASSERT_TRUE(record.SetDateYmd(F::YearStart, first));
    ASSERT_TRUE(record.SetDateYmd(F::YearEnd, last));
  });
}

// The six previous-year and budget figures of every live account, in cents.
std::map<std::string, std::vector<long long>> AccountFigures(const std::string& path) {
  std::map<std::string, std::vector<long long>> out;
  Table t;
  EXPECT_TRUE(t.OpenShared(path, "", true));
  for (bool more = t.GoTop(); more; more = t.Skip(1)) {
    if (t.IsDeleted()) continue;
    std::vector<long long>& v = out[t.GetField(1)];
    for (int f : {21, 22, 23, 24, 28, 29}) v.push_back(ToCents(t.GetFieldNum(f)));
  }
  return out;
}

// ---- The merge ------------------------------------------------------------------------------

class MergeTest : public TransferTest {
 protected:
  void SetUp() override {
    TransferTest::SetUp();
    a_ = Make("a", "A", 400, Ymd{2026, 1, 1}, Ymd{2026, 12, 31});
    o_ = Make("o", "O", 300, Ymd{2026, 4, 1}, Ymd{2026, 9, 30}, [](DemoOptions& o) {
      o.matchings = true;
      o.closedMonths = 2;
    });
    Open(a_, "A");
  }
  processing::MergeRequest Request() const {
    processing::MergeRequest r;
    r.other = OtherDossier{o_, "O"};
    r.from = "01/04/26";
    r.to = "30/09/26";
    return r;
  }
  std::string a_, o_;
};

TEST_F(MergeTest, AnInsideYearAddsItsLinesFiguresAndJournals) {
  // One journal of the other dossier renamed everywhere there: the merge has to create it.
  std::string renamed;
  {
    Table c50;
    const test_support::SetUpPermit permit("journal renomme");
    ASSERT_TRUE(c50.OpenExclusive(o_ + "c50o"));
    ASSERT_TRUE(c50.GoTop());
    renamed = c50.GetField(L::BJAL);
    for (bool more = c50.GoTop(); more; more = c50.Skip(1))
      if (std::string(c50.GetField(L::BJAL)) == renamed) c50.PutField(L::BJAL, "XJ");
    Table c10;
    ASSERT_TRUE(c10.OpenExclusive(o_ + "c10o", "C10CODE"));
    ASSERT_TRUE(posting::FindC10(c10, 'J', renamed).IsFound());
    ASSERT_TRUE(c10.PutField(2, "XJ"));
    ASSERT_TRUE(c10.Commit());
  }
  // Previous-year and budget figures on every account of both dossiers (euro amounts whose francs
  // convert exactly, so that their sums convert too).
  for (const std::string& path : {a_ + "c20a", o_ + "c20o"}) {
    Table c20;
    ASSERT_TRUE(c20.OpenExclusive(path));
    for (bool more = c20.GoTop(); more; more = c20.Skip(1)) {
      const std::pair<int, double> figures[] = {{21, 6559.57}, {22, 1000.0}, {23, 0.0}, {24, 0.0},
                                                {28, 13119.14}, {29, 2000.0}};
      for (const auto& [field, value] : figures) c20.PutFieldNum(field, value);
      ASSERT_TRUE(c20.Commit());
    }
  }
  const LineCensus a = Census(a_, "a"), o = Census(o_, "o");
  ASSERT_FALSE(o.lettered.empty());
  const auto figuresA = AccountFigures(a_ + "c20a"), figuresO = AccountFigures(o_ + "c20o");
  const processing::MergeResult r = processing::MergeOtherDossier(Request(), Maintenance(false));
  ASSERT_EQ(r.code, 0) << r.error;
  EXPECT_EQ(r.lines, static_cast<long>(o.lines.size()));
  const LineCensus after = Census(a_, "a");
  // Every line of both, the other's without letters.
  std::multiset<std::string> expected = a.lines;
  expected.insert(o.lines.begin(), o.lines.end());
  EXPECT_TRUE(after.lines == expected) << after.lines.size() << " / " << expected.size();
  EXPECT_EQ(after.lettered, a.lettered);
  EXPECT_EQ(after.debit, after.credit);
  // Previous-year and budget figures summed; an account of the other alone has its own.
  const auto figures = AccountFigures(a_ + "c20a");
  for (const auto& [code, mine] : figures) {
    std::vector<long long> want(6, 0);
    for (const auto* source : {&figuresA, &figuresO}) {
      const auto it = source->find(code);
      if (it != source->end())
        for (int i = 0; i < 6; ++i) want[static_cast<std::size_t>(i)] += it->second[static_cast<std::size_t>(i)];
    }
    EXPECT_EQ(mine, want) << code;
  }
  Table c10;
  ASSERT_TRUE(c10.OpenShared(a_ + "c10a", "C10CODE", true));
  EXPECT_TRUE(posting::FindC10(c10, 'J', "XJ").IsFound());
  c10.CloseTable();
  ExpectSound(a_, "A");
  EXPECT_NE(processing::MergeLogLine(Request(), r).find("AJOUT d'un AUTRE DOSSIER - Ok - Ajout du dossier 'O' sur " +
                                                         o_ + " - Du 01/04/26 au 30/09/26"),
            std::string::npos);
}

TEST_F(MergeTest, CodesOnlyAddsNoLine) {
  {
    Table c10;
    ASSERT_TRUE(c10.OpenExclusive(o_ + "c10o", "C10CODE"));
    ASSERT_TRUE(c10.AppendBlank());
    c10.PutField(1, "L");
    c10.PutField(2, "ZZZ");
    c10.PutField(3, "Libelle de l'autre dossier");
    ASSERT_TRUE(c10.InsertRecord());
  }
  const LineCensus a = Census(a_, "a");
  processing::MergeRequest request = Request();
  request.codesOnly = true;
  const processing::MergeResult r = processing::MergeOtherDossier(request, Maintenance(false));
  ASSERT_EQ(r.code, 0) << r.error;
  EXPECT_EQ(r.lines, 0);
  EXPECT_GT(r.codes, 0);
  EXPECT_TRUE(Census(a_, "a").lines == a.lines);
  Table c10;
  ASSERT_TRUE(c10.OpenShared(a_ + "c10a", "C10CODE", true));
  EXPECT_TRUE(posting::FindC10(c10, 'L', "ZZZ").IsFound());
  c10.CloseTable();
  EXPECT_NE(processing::MergeLogLine(request, r).find(" - El\xE9ments seuls"), std::string::npos);
  // A failed rebuild is reported, not "terminé".
  processing::MergeResult failed = r;
  failed.code = 5040;
  EXPECT_NE(processing::MergeLogLine(request, failed).find("AJOUT d'un AUTRE DOSSIER - Erreur: 5040"),
            std::string::npos);
  EXPECT_NE(processing::MergeEndMessage(request, failed).find(" 5040"), std::string::npos);
}

// The part of the open year (2026) the other dossier's year gives.
TEST_F(MergeTest, ThePeriodIsThePartOfTheOpenYearTheOtherCovers) {
  struct Case {
    Ymd first, last;
    const char* start;  // "" : refused with "Ajout impossible: O"
    const char* end;
  };
  const std::vector<Case> cases{
      {{2026, 4, 1}, {2026, 9, 30}, "01/04/26", "30/09/26"},    // inside
      {{2025, 7, 1}, {2026, 6, 30}, "01/01/26", "30/06/26"},    // starts before
      {{2026, 7, 1}, {2027, 6, 30}, "01/07/26", "31/12/26"},    // ends after
      {{2025, 7, 1}, {2027, 6, 30}, "", ""},                    // encloses
      {{2025, 1, 1}, {2025, 12, 31}, "", ""},                   // before
      {{2026, 12, 31}, {2027, 12, 30}, "31/12/26", "31/12/26"},  // one day
  };
  for (const Case& c : cases) {
    SetYear(o_, "o", c.first, c.last);
    const processing::MergeSourceCheck check = processing::CheckMergeSource(OtherDossier{o_, "O"});
    if (*c.start == '\0') {
      EXPECT_FALSE(check.ok) << c.first.year;
      EXPECT_EQ(check.first, "Ajout impossible: O");
      continue;
    }
    ASSERT_TRUE(check.ok) << check.first;
    Ymd s, e;
    ASSERT_TRUE(ParseStoredDate(check.periodStart, s) && ParseStoredDate(check.periodEnd, e));
    EXPECT_EQ(DisplayDateOf(s), c.start);
    EXPECT_EQ(DisplayDateOf(e), c.end);
  }
}

TEST_F(MergeTest, RefusalsWriteNothing) {
  const std::string bytes = DossierBytes(a_, "a");
  struct Case {
    const char* name;
    std::function<void(processing::MergeRequest&)> change;
    const char* message;
  };
  const std::vector<Case> cases{
      {"own", [this](processing::MergeRequest& r) { r.other = OtherDossier{a_ + "/", "A"}; },
       "Dossier d\xE9" "j\xE0 ouvert: A"},
      {"missing", [](processing::MergeRequest& r) { r.other.code = "ZZ"; }, "Dossier inexistant: ZZ"},
      {"blank", [](processing::MergeRequest& r) { r.other.code = "A B"; }, "Caract\xE8re incorrect: "},
      {"from", [](processing::MergeRequest& r) { r.from = "31/03/26"; }, "Date D\xE9" "but incorrecte"},
      {"to", [](processing::MergeRequest& r) { r.to = "01/10/26"; }, "Date Fin incorrecte"},
  };
  for (const Case& c : cases) {
    processing::MergeRequest request = Request();
    c.change(request);
    const processing::MergeResult r = processing::MergeOtherDossier(request, Maintenance(false));
    EXPECT_EQ(r.code, processing::kMergeRefused) << c.name;
    EXPECT_NE(r.error.find(c.message), std::string::npos) << c.name << ": " << r.error;
  }
  // An other dossier without its dossier record.
  {
    Table c10;
    ASSERT_TRUE(c10.OpenExclusive(o_ + "c10o", "C10CODE"));
    ASSERT_TRUE(posting::FindC10(c10, '0', "").IsFound());
    ASSERT_TRUE(c10.DeleteRecord("", 0));
  }
  const processing::MergeResult r = processing::MergeOtherDossier(Request(), Maintenance(false));
  EXPECT_EQ(r.code, processing::kMergeRefused);
  EXPECT_EQ(r.error, "Dossier incorrect: O");
  EXPECT_EQ(DossierBytes(a_, "a"), bytes);
}

// ---- The separation ---------------------------------------------------------------------------

class SeparationTest : public TransferTest {
 protected:
  void SetUp() override {
    TransferTest::SetUp();
    a_ = Make("a", "A", 900, Ymd{2026, 1, 1}, Ymd{2027, 2, 28}, [](DemoOptions& o) {
      o.matchings = true;
      o.closedMonths = 4;
      o.analyticMode = '1';
    });
    b_ = Make("b", "B", 40, Ymd{2027, 1, 1}, Ymd{2027, 12, 31}, [](DemoOptions& o) { o.analyticMode = '1'; });
    Open(a_, "A");
  }
  processing::SeparationRequest Request() const {
    processing::SeparationRequest r;
    r.other = OtherDossier{b_, "B"};
    r.date = Ymd{2027, 1, 1};
    return r;
  }
  std::string a_, b_;
};

TEST_F(SeparationTest, FourteenMonthsGiveTwoDossiersWithEveryLineOnce) {
  // A group of letters the date cuts: a line kept and a line moved of one account share a letter.
  std::string account, letter;
  {
    Table c50;
    ASSERT_TRUE(c50.OpenExclusive(a_ + "c50a"));
    const test_support::SetUpPermit permit("lettres mises en place");
    for (bool more = c50.GoTop(); more && letter.empty(); more = c50.Skip(1)) {
      if (c50.IsDeleted() || std::string(c50.GetField(L::BMOIS)) < StoredDateOf(Ymd{2027, 1, 1}).substr(0, 4))
        continue;
      if (std::string(c50.GetField(L::BCODE))[0] >= 'A') {
        account = c50.GetField(L::BCODE);
        letter = "ZZ";
        c50.PutField(L::BLETE, letter.c_str());
        ASSERT_TRUE(c50.Commit());
      }
    }
    ASSERT_FALSE(letter.empty());
    bool kept = false;
    for (bool more = c50.GoTop(); more && !kept; more = c50.Skip(1)) {
      if (c50.IsDeleted() || std::string(c50.GetField(L::BCODE)) != account ||
          std::string(c50.GetField(L::BMOIS)) >= StoredDateOf(Ymd{2027, 1, 1}).substr(0, 4))
        continue;
      c50.PutField(L::BLETE, letter.c_str());
      ASSERT_TRUE(c50.Commit());
      kept = true;
    }
    ASSERT_TRUE(kept);
  }
  const LineCensus a = Census(a_, "a"), b = Census(b_, "b");
  const std::string first = StoredDateOf(Ymd{2027, 1, 1});
  ASSERT_GE(a.lastDate, first);
  // Lines dated on the date itself go with the others.
  auto on = [](const LineCensus& c, const std::string& day) {
    long n = 0;
    for (const std::string& l : c.lines) n += l.find("|" + day + "|") != std::string::npos ? 1 : 0;
    return n;
  };
  ASSERT_GT(on(a, first), 0);
  const processing::SeparationResult r = processing::SeparateYears(Request(), Maintenance(true));
  ASSERT_EQ(r.code, 0) << r.error;
  EXPECT_GT(r.pieces, 0);
  EXPECT_FALSE(r.cutLetters.empty());
  const LineCensus a2 = Census(a_, "a"), b2 = Census(b_, "b");
  std::multiset<std::string> before = a.lines, after = a2.lines;
  before.insert(b.lines.begin(), b.lines.end());
  after.insert(b2.lines.begin(), b2.lines.end());
  EXPECT_TRUE(before == after) << before.size() << " / " << after.size();
  EXPECT_EQ(static_cast<long>(b2.lines.size() - b.lines.size()), r.lines);
  EXPECT_LT(a2.lastDate, first);
  EXPECT_GE(b2.firstDate, first);
  EXPECT_EQ(on(b2, first), on(a, first) + on(b, first));
  EXPECT_EQ(a2.debit, a2.credit);
  EXPECT_EQ(b2.debit, b2.credit);
  // No group of letters lies on both sides.
  for (const auto& [group, n] : a2.lettered) {
    EXPECT_EQ(b2.lettered.count(group), 0u) << group;
  }
  // The cut group's letter is gone from both sides; it was there before.
  EXPECT_EQ(a.lettered.count(account + " " + letter), 1u);
  EXPECT_EQ(a2.lettered.count(account + " " + letter), 0u);
  EXPECT_EQ(b2.lettered.count(account + " " + letter), 0u);
  ExpectSound(a_, "A");
  ExpectSound(b_, "B");
  // The old year ends the day before the new one begins, in the record and in its file: the
  // opening balances of the new year are dated the day after it.
  EXPECT_EQ(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), "31/12/26");
  TheDossierRecord.Clear();
  Open(a_, "A");
  EXPECT_EQ(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), "31/12/26");
  EXPECT_EQ(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart), "01/01/26");
  EXPECT_NE(processing::SeparationLogLine(Request(), r).find("SEPARATION DES EXERCICES - Ok - Dossier 'B' sur " + b_ +
                                                             " - Date: 01/01/27"),
            std::string::npos);
}

TEST_F(SeparationTest, RefusalsWriteNothing) {
  const std::string bytesA = DossierBytes(a_, "a"), bytesB = DossierBytes(b_, "b");
  struct Case {
    const char* name;
    std::function<void(processing::SeparationRequest&)> change;
    const char* message;
  };
  const std::vector<Case> cases{
      {"date", [](processing::SeparationRequest& r) { r.date = Ymd{2027, 2, 1}; }, "Date d\xE9" "but incorrecte: B"},
      {"own", [this](processing::SeparationRequest& r) { r.other = OtherDossier{a_, "A"}; },
       "Dossier d\xE9" "j\xE0 ouvert: A"},
      {"missing", [](processing::SeparationRequest& r) { r.other.code = "ZZ"; }, "Dossier inexistant: ZZ"},
  };
  for (const Case& c : cases) {
    processing::SeparationRequest request = Request();
    c.change(request);
    const processing::SeparationResult r = processing::SeparateYears(request, Maintenance(true));
    EXPECT_EQ(r.code, processing::kSeparationRefused) << c.name;
    EXPECT_NE(r.error.find(c.message), std::string::npos) << c.name << ": " << r.error;
  }
  EXPECT_EQ(DossierBytes(a_, "a"), bytesA);
  EXPECT_EQ(DossierBytes(b_, "b"), bytesB);
  // What the new year's rebuild would throw away: pieces after its year's end, analytic lines in
  // a dossier without sections.
  const std::vector<std::pair<std::function<void(DossierRecord&)>, const char*>> losses{
      {[](DossierRecord& r) { r.SetDateYmd(DossierRecord::DateField::YearEnd, Ymd{2027, 1, 31}); },
       "Des pi\xE8" "ces sont dat\xE9" "es apr\xE8" "s la fin"},
      {[](DossierRecord& r) { r.SetAt(193, 'N'); }, "lignes analytiques"},
  };
  for (const auto& [edit, message] : losses) {
    EditRecord(b_, "b", edit);
    const std::string changedB = DossierBytes(b_, "b");
    const processing::SeparationResult r = processing::SeparateYears(Request(), Maintenance(true));
    EXPECT_EQ(r.code, processing::kSeparationRefused);
    EXPECT_NE(r.error.find(message), std::string::npos) << r.error;
    EXPECT_EQ(DossierBytes(a_, "a"), bytesA);
    EXPECT_EQ(DossierBytes(b_, "b"), changedB);
    EditRecord(b_, "b", [](DossierRecord& r) {
      r.SetDateYmd(DossierRecord::DateField::YearEnd, Ymd{2027, 12, 31});
      r.SetAt(193, '1');
    });
  }
}

// Another process has the other dossier open: both runs say so and write nothing.
TEST_F(SeparationTest, AnotherStationInTheOtherDossierStopsBothRuns) {
  const std::string lock = DossierTablePathOf(b_, "B");
  test_support::OtherProcess other([lock](char cmd) {
    static Table* t = new Table();
    if (cmd == 'o') return t->OpenShared(lock);
    return false;
  });
  ASSERT_TRUE(other.Do('o'));
  SetYear(b_, "b", Ymd{2026, 1, 1}, Ymd{2026, 12, 31});
  const std::string bytesA = DossierBytes(a_, "a"), bytesB = DossierBytes(b_, "b");
  const char* busy = "IMPOSSIBLE d'ouvrir l'autre dossier de mani\xE8re EXCLUSIVE";
  processing::SeparationRequest separation = Request();
  separation.date = Ymd{2026, 1, 1};
  const processing::SeparationResult s = processing::SeparateYears(separation, Maintenance(true));
  EXPECT_TRUE(s.busy);
  EXPECT_NE(s.error.find(busy), std::string::npos) << s.error;
  processing::MergeRequest merge;
  merge.other = OtherDossier{b_, "B"};
  merge.from = "01/01/26";
  merge.to = "31/12/26";
  const processing::MergeResult m = processing::MergeOtherDossier(merge, Maintenance(false));
  EXPECT_TRUE(m.busy);
  EXPECT_NE(m.error.find(busy), std::string::npos) << m.error;
  EXPECT_TRUE(processing::CheckMergeSource(merge.other).busy);
  EXPECT_EQ(DossierBytes(a_, "a"), bytesA);
  EXPECT_EQ(DossierBytes(b_, "b"), bytesB);
}

// ---- What the runs refuse, and what a failed or stopped run leaves --------------------------------

// The draft filled near its limit: the lines of the period would take it past 999,999 records.
TEST_F(MergeTest, ADraftPastItsLimitIsRefusedBeforeAnythingIsWritten) {
  PadWithDeletedRecords(a_ + "c50a.dbf", static_cast<std::uint32_t>(kMaxLineRecords) - 50);
  const std::string before = FolderDigest(a_);
  const processing::MergeResult r = processing::MergeOtherDossier(Request(), Maintenance(false));
  EXPECT_EQ(r.code, processing::kMergeRefused);
  EXPECT_NE(r.error.find("/c50a.dbf\n\ncompte plus de 999 999 lignes"), std::string::npos) << r.error;
  EXPECT_EQ(FolderDigest(a_), before);
}

TEST_F(MergeTest, WhatTheRebuildRefusesWritesNothing) {
  const std::vector<std::pair<const char*, std::function<void()>>> damages{
      {"Une ReNum\xE9rotation", [this] { LeaveRenumberingPending(a_, "a"); }},
      {"c30a.dbf", [this] { CutShort(a_ + "c30a.dbf"); }},
  };
  for (const auto& [message, damage] : damages) {
    damage();
    const std::string before = FolderDigest(a_);
    const processing::MergeResult r = processing::MergeOtherDossier(Request(), Maintenance(false));
    EXPECT_EQ(r.code, processing::kMergeRefused) << message;
    EXPECT_NE(r.error.find(message), std::string::npos) << r.error;
    EXPECT_EQ(FolderDigest(a_), before) << message;
    std::filesystem::remove(a_ + "c60a.ren");
  }
}

// The rebuild fails after the lines were added: the dossier is put back from its copies.
TEST_F(MergeTest, AFailedRebuildPutsTheDossierBack) {
  const std::string before = FolderDigest(a_);
  processing::TargetMaintenance m = Maintenance(false);
  m.rebuild = [] { return 5017; };
  const processing::MergeResult r = processing::MergeOtherDossier(Request(), m);
  EXPECT_EQ(r.code, 5017);
  EXPECT_GT(r.lines, 0);
  EXPECT_TRUE(r.putBack);
  EXPECT_EQ(FolderDigest(a_), before);
  EXPECT_NE(processing::MergeEndMessage(Request(), r).find("rien n'a \xE9t\xE9 chang\xE9"), std::string::npos);
}

// An account's previous-year debit in francs, 60 000 000 000,00 in each dossier: together past what
// the field holds. The merge stops on that account, naming it and the sum, never as a refused
// write, before it copies or changes anything.
TEST_F(MergeTest, APreviousYearFigurePastItsFieldStopsTheMergeByName) {
  std::string account;
  for (const std::string& folder : {o_ + "c20o", a_ + "c20a"}) {
    Table t;
    ASSERT_TRUE(t.OpenExclusive(folder, "C20CODE"));
    if (account.empty()) {
      for (bool more = t.GoTop("C20CODE"); more && account.empty(); more = t.Skip(1))
        if (!t.IsDeleted() && t.GetField(1)[0] == '6') account = t.GetField(1);
    }
    ASSERT_TRUE(t.Seek("C20CODE", account.c_str())) << account;
    ASSERT_TRUE(t.PutFieldNum(21, 60'000'000'000.00));
  }
  const std::string before = FolderDigest(a_);
  const processing::MergeResult r = processing::MergeOtherDossier(Request(), Maintenance(false));
  EXPECT_EQ(r.code, processing::kMergeWrite + 2);
  // Every sum is read and checked before the copies and the marker: nothing was changed to put back.
  EXPECT_FALSE(r.putBack);
  EXPECT_FALSE(r.putBackFailed);
  EXPECT_FALSE(DossierRunMarkerExists());
  EXPECT_EQ(r.error.rfind("Le compte " + Trimmed(account) + " ne peut recevoir", 0), 0u) << r.error;
  EXPECT_NE(r.error.find("les deux dossiers r\xE9unis lui donnent 120 000 000 000,00 francs."), std::string::npos)
      << r.error;
  const std::string said = processing::MergeEndMessage(Request(), r);
  EXPECT_NE(said.find(r.error), std::string::npos) << said;
  EXPECT_EQ(said.find("disque"), std::string::npos) << said;
  EXPECT_EQ(FolderDigest(a_), before);
}

// A merge killed after the closed lines of the period were added: the dossier carries the
// merge's marker and is put back from its copies as its opening does.
TEST_F(MergeTest, ARunKilledHalfWayIsPutBack) {
  const std::string before = FolderDigest(a_);
  const int code = test_support::RunInChild([this] {
    int lines = 0;
    processing::MergeOtherDossier(Request(), Maintenance(false), [&lines](const std::string& phase, const std::string&) {
      if (phase == LoadStr(kPhaseMergeLines) && ++lines == 2) ::raise(SIGKILL);
    });
    return 0;
  });
  ASSERT_EQ(code, 128 + SIGKILL);
  EXPECT_NE(FolderDigest(a_), before);
  DossierRunInfo info;
  ASSERT_TRUE(ReadDossierRunMarker(&info));
  EXPECT_EQ(info.run, processing::kMergeRun);
  ASSERT_TRUE(processing::PutBackInterruptedTransfer(info.detail));
  ASSERT_TRUE(RemoveDossierRunMarker());
  EXPECT_EQ(FolderDigest(a_), before);
}

// A table opened as the next opening does after a put-back: its live records, -1 when it does
// not open or its tags do not hold its records.
long WholeRecords(const std::string& base) {
  Table t;
  if (!t.OpenShared(base, "", true)) return -1;
  long live = 0;
  for (bool more = t.GoTop(); more; more = t.Skip(1)) live += t.IsDeleted() ? 0 : 1;
  const bool sound = dbase::DbiCheckIndex(t.Engine().cursor, false) == dbase::DBIERR_NONE;
  t.CloseTable(true);
  return sound ? live : -1;
}

// A merge killed at the first write into the new data file of C60's pack (the rebuild at its
// end): the put-back leaves nothing of the pack, and C60 opens whole, its tags holding it.
TEST_F(MergeTest, ARunKilledInItsRebuildsPackIsPutBackWhole) {
  const std::string before = FolderDigest(a_);
  const long sortRecords = WholeRecords(a_ + "c60a");
  ASSERT_GT(sortRecords, 0);
  const int code = test_support::RunInChild([this] {
    test_support::KillWhen(a_ + "c60a.dbf.pack");
    processing::MergeOtherDossier(Request(), Maintenance(false));
    return 0;
  });
  ASSERT_EQ(code, 128 + SIGKILL);
  ASSERT_TRUE(std::filesystem::exists(a_ + "c60a.dbf.pack"));
  DossierRunInfo info;
  ASSERT_TRUE(ReadDossierRunMarker(&info));
  ASSERT_TRUE(processing::PutBackInterruptedTransfer(info.detail));
  ASSERT_TRUE(RemoveDossierRunMarker());
  EXPECT_EQ(FolderDigest(a_), before);
  EXPECT_EQ(WholeRecords(a_ + "c60a"), sortRecords);
}

TEST_F(SeparationTest, LineFilesPastTheirLimitAreRefusedBeforeAnythingIsWritten) {
  // The draft near its limit takes no more moved lines; the closed file past it none at all.
  for (const auto& [file, records] : {std::pair{"c50b.dbf", kMaxLineRecords - 5}, std::pair{"c40b.dbf", kMaxLineRecords + 1}}) {
    const std::string dbf = b_ + file;
    const std::string saved = FileBytes(dbf);
    PadWithDeletedRecords(dbf, static_cast<std::uint32_t>(records));
    const std::string beforeA = FolderDigest(a_), beforeB = FolderDigest(b_);
    const processing::SeparationResult r = processing::SeparateYears(Request(), Maintenance(true));
    EXPECT_EQ(r.code, processing::kSeparationRefused) << file;
    EXPECT_NE(r.error.find(std::string("/") + file + "\n\ncompte plus de 999 999 lignes"), std::string::npos)
        << r.error;
    EXPECT_EQ(FolderDigest(a_), beforeA) << file;
    EXPECT_EQ(FolderDigest(b_), beforeB) << file;
    std::ofstream(dbf, std::ios::binary | std::ios::trunc) << saved;
  }
}

TEST_F(SeparationTest, WhatEitherRebuildRefusesWritesNothing) {
  struct Case {
    const char* message;
    std::function<void()> damage;
    std::function<void()> mend;
  };
  const std::vector<Case> cases{
      {"Une ReNum\xE9rotation", [this] { LeaveRenumberingPending(a_, "a"); },
       [this] { std::filesystem::remove(a_ + "c60a.ren"); }},
      {"Une ReNum\xE9rotation", [this] { LeaveRenumberingPending(b_, "b"); },
       [this] { std::filesystem::remove(b_ + "c60b.ren"); }},
      {"c20a.dbf", [this] { CutShort(a_ + "c20a.dbf"); }, [this, saved = FileBytes(a_ + "c20a.dbf")] {
         std::ofstream(a_ + "c20a.dbf", std::ios::binary | std::ios::trunc) << saved;
       }},
      {"c30b.dbf", [this] { CutShort(b_ + "c30b.dbf"); }, [] {}},
  };
  for (const Case& c : cases) {
    c.damage();
    const std::string beforeA = FolderDigest(a_), beforeB = FolderDigest(b_);
    const processing::SeparationResult r = processing::SeparateYears(Request(), Maintenance(true));
    EXPECT_EQ(r.code, processing::kSeparationRefused) << c.message;
    EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
    EXPECT_EQ(FolderDigest(a_), beforeA) << c.message;
    EXPECT_EQ(FolderDigest(b_), beforeB) << c.message;
    c.mend();
  }
}

// The new year's rebuild fails: both dossiers are put back, and the error is the second's.
TEST_F(SeparationTest, AFailedSecondRebuildPutsBothDossiersBack) {
  const std::string beforeA = FolderDigest(a_), beforeB = FolderDigest(b_);
  processing::SeparationMaintenance m = Maintenance(true);
  m.rebuild = [] { return AllTrim(DossierCode.c_str()) == std::string("B") ? 5017 : RunDossierRebuild(true, true).code; };
  const processing::SeparationResult r = processing::SeparateYears(Request(), m);
  EXPECT_EQ(r.code, 5017 + processing::kSeparationSecondRebuild);
  EXPECT_TRUE(r.putBack);
  EXPECT_EQ(FolderDigest(a_), beforeA);
  EXPECT_EQ(FolderDigest(b_), beforeB);
  EXPECT_NE(processing::SeparationEndMessage(Request(), r).find("remis dans leur \xE9tat"), std::string::npos);
}

// A run killed after its lines reached the new year and before they left the old one: both
// dossiers carry the run's marker, the runs refuse the half-written dossier, and each opening
// puts its dossier back from the copies.
TEST_F(SeparationTest, ARunKilledHalfWayIsPutBackAtEachOpening) {
  const std::string beforeA = FolderDigest(a_), beforeB = FolderDigest(b_);
  const int code = test_support::RunInChild([this] {
    processing::SeparateYears(Request(), Maintenance(true), [](const std::string& phase, const std::string&) {
      if (phase == LoadStr(kPhaseSeparationRemoveLines)) ::raise(SIGKILL);
    });
    return 0;
  });
  ASSERT_EQ(code, 128 + SIGKILL);
  EXPECT_NE(FolderDigest(b_), beforeB);
  // The half-written new year is refused by both runs until it is mended.
  EXPECT_FALSE(processing::CheckMergeSource(OtherDossier{b_, "B"}).ok);
  const processing::SeparationResult again = processing::SeparateYears(Request(), Maintenance(true));
  EXPECT_EQ(again.code, processing::kSeparationRefused);
  EXPECT_NE(again.error.find("Traitement interrompu"), std::string::npos) << again.error;
  for (const auto& [folder, name] : {std::pair{a_, "A"}, std::pair{b_, "B"}}) {
    SetDossier(folder, name);
    DossierRunInfo info;
    ASSERT_TRUE(ReadDossierRunMarker(&info)) << name;
    EXPECT_EQ(info.run, processing::kSeparationRun);
    ASSERT_TRUE(processing::PutBackInterruptedTransfer(info.detail)) << name;
    ASSERT_TRUE(RemoveDossierRunMarker());
  }
  EXPECT_EQ(FolderDigest(a_), beforeA);
  EXPECT_EQ(FolderDigest(b_), beforeB);
}

// A separation killed at the first write into the new year's C50 pack (its rebuild, after the
// old year's): each opening puts its dossier back, nothing of either dossier's packs stays, and
// both draft files open whole.
TEST_F(SeparationTest, ARunKilledInTheSecondRebuildsPackIsPutBackWhole) {
  const std::string beforeA = FolderDigest(a_), beforeB = FolderDigest(b_);
  const long draftA = WholeRecords(a_ + "c50a"), draftB = WholeRecords(b_ + "c50b");
  const int code = test_support::RunInChild([this] {
    test_support::KillWhen(b_ + "c50b.dbf.pack");
    processing::SeparateYears(Request(), Maintenance(true));
    return 0;
  });
  ASSERT_EQ(code, 128 + SIGKILL);
  ASSERT_TRUE(std::filesystem::exists(b_ + "c50b.dbf.pack"));
  for (const auto& [folder, name] : {std::pair{a_, "A"}, std::pair{b_, "B"}}) {
    SetDossier(folder, name);
    DossierRunInfo info;
    ASSERT_TRUE(ReadDossierRunMarker(&info)) << name;
    ASSERT_TRUE(processing::PutBackInterruptedTransfer(info.detail)) << name;
    ASSERT_TRUE(RemoveDossierRunMarker());
  }
  EXPECT_EQ(FolderDigest(a_), beforeA);
  EXPECT_EQ(FolderDigest(b_), beforeB);
  EXPECT_EQ(WholeRecords(a_ + "c50a"), draftA);
  EXPECT_EQ(WholeRecords(b_ + "c50b"), draftB);
}

}  // namespace
