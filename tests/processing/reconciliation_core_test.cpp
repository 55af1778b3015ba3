// The bank reconciliation without a window: the pairing rule case by case; on a generated bank
// account and a statement made from it, the proposals pair every line the statement holds and
// leave the fees; saving writes the letter into C60 and the lines (read with dbfread), the saved
// lines leave the list, the opening balances of the next year then carry exactly the lines left;
// the account held by another station is refused.
#include <algorithm>
#include <map>
#include <sstream>

#include "data/entry_lines.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/renumber_pieces.h"
#include "dossier/core/maintenance_pack.h"
#include "processing/core/manual_matching.h"
#include "processing/core/opening_balances.h"
#include "reconciliation_fixture.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "support/books_writes.h"
#include "runtime/text.h"
#include "support/demo_oracle.h"
#include "support/other_process.h"

namespace reconciliation_test {
namespace {

using processing::BankTransaction;
using processing::PairLines;
using processing::Reconciliation;
using processing::ReconciliationLine;
using processing::ReconciliationOpen;
using processing::ReconciliationSave;

// ---- the pairing rule -------------------------------------------------------------------------------------------

ReconciliationLine L(const char* date, long long cents, const char* identity = "") {
  ReconciliationLine l;
  l.date = date;
  l.cents = cents;
  l.identity = identity;
  return l;
}

BankTransaction Tr(const char* date, long long cents, const char* fitid = "") {
  BankTransaction t;
  t.date = date;
  t.cents = cents;
  t.fitid = fitid;
  return t;
}

TEST(ReconciliationPairing, CaseByCase) {
  struct Case {
    const char* what;
    std::vector<ReconciliationLine> lines;
    std::vector<BankTransaction> transactions;
    int window;
    std::vector<int> expected;  // per line: the transaction paired, -1 none
  } cases[] = {
      {"same amount and date", {L("C60310", 500)}, {Tr("20260310", 500)}, 5, {0}},
      {"within the window", {L("C60310", 500)}, {Tr("20260315", 500)}, 5, {0}},
      {"within the window, the line after", {L("C60315", 500)}, {Tr("20260310", 500)}, 5, {0}},
      {"past the window, the line after", {L("C60316", 500)}, {Tr("20260310", 500)}, 5, {-1}},
      {"past the window", {L("C60310", 500)}, {Tr("20260316", 500)}, 5, {-1}},
      {"a window of 0 days", {L("C60310", 500)}, {Tr("20260311", 500)}, 0, {-1}},
      {"the other sense", {L("C60310", 500)}, {Tr("20260310", -500)}, 5, {-1}},
      {"another amount", {L("C60310", 500)}, {Tr("20260310", 501)}, 5, {-1}},
      {"the nearest date wins", {L("C60301", 500), L("C60309", 500)}, {Tr("20260308", 500)}, 10, {-1, 0}},
      {"each used once", {L("C60310", 500), L("C60310", 500)}, {Tr("20260310", 500)}, 5, {0, -1}},
      {"two of each, nearest pairs",
       {L("C60310", 500), L("C60320", 500)},
       {Tr("20260321", 500), Tr("20260309", 500)},
       5,
       {1, 0}},
      {"the identity first, whatever the date",
       {L("C60101", 500, "F1"), L("C60310", 500)},
       {Tr("20260310", 500, "F1")},
       5,
       {0, -1}},
      {"an unknown identity falls back on the amount", {L("C60310", 500, "F9")}, {Tr("20260310", 500, "F1")}, 5, {0}},
      {"a transaction without date", {L("C60310", 500)}, {Tr("", 500)}, 5, {-1}},
      {"across the year end", {L("C61231", -70)}, {Tr("20270102", -70)}, 5, {0}},
  };
  for (Case& c : cases) {
    PairLines(c.lines, c.transactions, c.window);
    std::vector<int> got;
    for (const ReconciliationLine& l : c.lines) got.push_back(l.transaction);
    EXPECT_EQ(got, c.expected) << c.what;
  }
}

TEST(ReconciliationPairing, TheWindowComesFromTheDossierIni) {
  test_support::TempFolder dir("merlon-rapp");
  const std::string ini = dir / "a.ini";
  SetDossierIniPath(ini);
  struct Case {
    const char* value;
    int days;
  } cases[] = {{nullptr, 5}, {"9", 9}, {"0", 0}, {"x", 5}, {"-3", 5}};
  for (const Case& c : cases) {
    if (c.value != nullptr) {
      ASSERT_TRUE(DossierIniSet("Rapprochement", "JoursEcart", c.value));
    }
    EXPECT_EQ(processing::ReconciliationWindowDays(), c.days) << (c.value ? c.value : "none");
  }
  SetDossierIniPath("");
}

// ---- on a generated dossier --------------------------------------------------------------------------------------

class ReconciliationTest : public test_support::RuntimeTest {
 protected:
  virtual bool NextYear() const { return false; }
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char*, unsigned) { return 1; });
    SetRuntimeBeepHook([](unsigned) {});
    SetLockNoticeHook([](const char*, const char*) {});
    ASSERT_EQ(StartDbSession(), 0);
    MakeDossiers(Dir(), NextYear());
  }
  void TearDown() override {
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    SetLockNoticeHook(nullptr);
    RuntimeTest::TearDown();
  }
};

TEST_F(ReconciliationTest, TheProposalsPairEveryLineTheStatementHoldsAndLeaveTheFees) {
  Reconciliation r(kBank, true);
  ASSERT_EQ(r.Open(), ReconciliationOpen::Opened);
  ASSERT_TRUE(r.Load(kYearEnd));
  ASSERT_GE(r.Lines().size(), 12u) << "the last two months and the lines left off the earlier statements";
  EXPECT_NE(r.Letter(), "A") << "the demo's statements have letters already";
  for (const ReconciliationLine& l : r.Lines())
    for (long long fee : kFees) ASSERT_NE(l.cents, fee) << "a fee must not be in the books";
  const MadeStatement made = MakeStatement(r);
  r.SetStatement(made.statement);
  EXPECT_EQ(r.Difference(), made.statement.closingCents - r.BookBalance() + [&] {
    long long s = 0;
    for (const auto& l : r.Lines()) s += l.cents;
    return s;
  }()) << "nothing ticked: the reconciled balance is the book's without the open lines";
  r.Propose(processing::ReconciliationWindowDays());
  std::size_t paired = 0;
  for (std::size_t t = 0; t < made.lineOf.size(); ++t) {
    if (made.lineOf[t] < 0) continue;
    const ReconciliationLine& l = r.Lines()[static_cast<std::size_t>(made.lineOf[t])];
    // Two lines of one amount within the window may be paired the other way round: same amount.
    ASSERT_GE(l.transaction, 0) << "line " << l.c60;
    EXPECT_EQ(made.statement.transactions[static_cast<std::size_t>(l.transaction)].cents, l.cents);
    EXPECT_TRUE(l.ticked);
    ++paired;
  }
  EXPECT_EQ(r.TickedCount(), paired);
  for (std::uint32_t c60 : made.left)
    for (const ReconciliationLine& l : r.Lines())
      if (l.c60 == c60) {
        EXPECT_FALSE(l.ticked) << "left off the statement: " << c60;
      }
  const std::vector<std::size_t> unpaired = r.UnpairedTransactions();
  ASSERT_EQ(unpaired.size(), 2u);
  EXPECT_EQ(made.lineOf[unpaired[0]], -1);
  EXPECT_EQ(made.lineOf[unpaired[1]], -1);
  EXPECT_EQ(r.Difference(), kFees[0] + kFees[1]) << "the fees alone are missing from the books";
  EXPECT_EQ(r.UnreconciledDebit() - r.UnreconciledCredit(), made.leftCents);
  // Unticking a paired line moves its amount back into the difference.
  const std::size_t first = static_cast<std::size_t>(made.lineOf[0]);
  ASSERT_TRUE(r.Tick(first, false));
  EXPECT_EQ(r.Difference(), kFees[0] + kFees[1] + r.Lines()[first].cents);
  EXPECT_FALSE(r.Tick(r.Lines().size(), true));
}

TEST_F(ReconciliationTest, SavingWritesTheLetterInTheSortRecordsAndTheLines) {
  std::vector<std::uint32_t> ticked;
  std::string letter;
  {
    Reconciliation r(kBank, true);
    ASSERT_EQ(r.Open(), ReconciliationOpen::Opened);
    ASSERT_TRUE(r.Load(kYearEnd));
    const MadeStatement made = MakeStatement(r);
    r.SetStatement(made.statement);
    r.Propose(5);
    for (const ReconciliationLine& l : r.Lines())
      if (l.ticked) ticked.push_back(l.c60);
    EXPECT_FALSE(r.ChooseLetter("")) << "no statement without a letter";
    EXPECT_FALSE(r.ChooseLetter("ABCDE"));
    EXPECT_FALSE(r.ChooseLetter("A-B"));
    ASSERT_TRUE(r.ChooseLetter("R12"));
    letter = r.Letter();
    std::size_t written = 0;
    ASSERT_EQ(r.Save(&written), ReconciliationSave::Saved);
    EXPECT_EQ(written, ticked.size());
    EXPECT_EQ(r.Lines().size(), made.left.size()) << "the saved lines leave the list";
    EXPECT_EQ(r.LogLine(written), "RAPPROCHEMENT BANCAIRE - Ok - 51200000 31/12/2026 " +
                                      Trimmed(BalanceAmount(made.statement.closingCents)) + " - " +
                                      std::to_string(written) + " lignes - lettre R12");
    EXPECT_EQ(r.Save(), ReconciliationSave::NothingTicked);
  }
  // Read back: each ticked sort record and its line carry the letter; no other got it.
  std::istringstream in(BankLetters(Dir() + "/a"));
  std::map<std::uint32_t, std::string> letters;
  std::uint32_t n = 0;
  std::string pair;
  while (in >> n >> pair) letters[n] = pair;
  ASSERT_FALSE(letters.empty());
  std::size_t withLetter = 0;
  for (const auto& [c60, both] : letters) {
    const bool isTicked = std::find(ticked.begin(), ticked.end(), c60) != ticked.end();
    if (isTicked) {
      EXPECT_EQ(both, letter + "|" + letter) << c60;
    } else {
      EXPECT_EQ(both.find("R12"), std::string::npos) << c60;
    }
    withLetter += both.find("R12") != std::string::npos;
  }
  EXPECT_EQ(withLetter, ticked.size());
  // Opened again: the lines left, and the letter after the highest.
  Reconciliation again(kBank, true);
  ASSERT_EQ(again.Open(), ReconciliationOpen::Opened);
  ASSERT_TRUE(again.Load(kYearEnd));
  EXPECT_EQ(again.Lines().size() + ticked.size(), letters.size() - [&] {
    std::size_t before = 0;
    for (const auto& [c60, both] : letters) before += both != "|" && both.find("R12") == std::string::npos;
    return before;
  }());
  EXPECT_EQ(again.Letter(), "R13");
}

// A line another station lettered after the list read it keeps that letter.
TEST_F(ReconciliationTest, ALineLetteredMeanwhileKeepsItsLetter) {
  Reconciliation r(kBank, true);
  ASSERT_EQ(r.Open(), ReconciliationOpen::Opened);
  ASSERT_TRUE(r.Load(kYearEnd));
  r.SetStatement(MakeStatement(r).statement);
  r.Propose(5);
  const std::size_t ticked = r.TickedCount();
  ASSERT_GT(ticked, 1u);
  std::uint32_t taken = 0;
  for (const ReconciliationLine& l : r.Lines())
    if (l.ticked) taken = l.c60;
  {
    Table c60;
    ASSERT_TRUE(c60.OpenShared(PathC60(), processing::kC60CodeTag));
    ASSERT_TRUE(c60.GoTo(static_cast<long>(taken)));
    const test_support::SetUpPermit permit("lettre d un autre poste");
    ASSERT_TRUE(c60.PutField(LigneTri::TLETE, "ZZ"));
    ASSERT_TRUE(c60.Commit());
  }
  std::size_t written = 0;
  ASSERT_EQ(r.Save(&written), ReconciliationSave::Saved);
  EXPECT_EQ(written, ticked - 1);
  std::istringstream in(BankLetters(Dir() + "/a"));
  std::uint32_t n = 0;
  std::string pair;
  while (in >> n >> pair)
    if (n == taken) {
      EXPECT_EQ(pair.substr(0, 3), "ZZ|");
    }
}

TEST_F(ReconciliationTest, AnAccountAnotherStationHoldsIsRefused) {
  const std::string c20 = PathC20();
  test_support::OtherProcess other([c20](char) {
    static Table t;
    if (!t.isOpen) t.OpenShared(c20, "C20CODE");
    return t.Seek("C20CODE", kBank) && LockRecord(t, nullptr, 0);
  });
  ASSERT_TRUE(other.Do('l'));
  Reconciliation r(kBank, true);
  EXPECT_EQ(r.Open(), ReconciliationOpen::AccountLocked);
  Reconciliation none("51999999", true);
  EXPECT_EQ(none.Open(), ReconciliationOpen::NoAccount);
}

// The manual matching undoes a statement: the bank account is exempt, so the lines that lose the
// statement's letter need not balance, and they come back into the reconciliation.
TEST_F(ReconciliationTest, RemovingTheLetterInTheManualMatchingUndoesTheReconciliation) {
  struct Exempt {
    const char* list;
    const char* account;
    bool exempt;
  } exempt[] = {{nullptr, kBank, true}, {nullptr, "41100000", false}, {"-411-", kBank, false}, {"-411-", "41100000", true}};
  SetDossierIniPath(Dir() + "/a/a.ini");
  for (const Exempt& e : exempt) {
    ASSERT_TRUE(DossierIniSet("Lettrages", "LettragesSauf", e.list != nullptr ? e.list : ""));
    EXPECT_EQ(processing::IsExemptAccount(e.account), e.exempt) << (e.list ? e.list : "default") << " " << e.account;
  }
  ASSERT_TRUE(DossierIniSet("Lettrages", "LettragesSauf", ""));
  std::size_t left = 0, saved = 0;
  {
    Reconciliation r(kBank, true);
    ASSERT_EQ(r.Open(), ReconciliationOpen::Opened);
    ASSERT_TRUE(r.Load(kYearEnd));
    r.SetStatement(MakeStatement(r).statement);
    r.Propose(5);
    ASSERT_TRUE(r.ChooseLetter("U1"));
    ASSERT_EQ(r.Save(&saved), ReconciliationSave::Saved);
    left = r.Lines().size();
  }
  processing::ManualMatchingParameters p;
  p.account = kBank;
  p.firstDate = "C60101";
  p.lastDate = kYearEnd;
  p.filter = '3';
  p.euros = true;
  {
    processing::ManualMatching list(p);
    ASSERT_EQ(list.Open(), processing::ManualOpen::Opened);
    ASSERT_TRUE(list.ExemptAccount());
    std::size_t removed = 0;
    for (std::size_t row = 0; row < list.Rows().size(); ++row)
      if (list.ReadLine(list.Rows()[row]).letter.substr(0, 2) == "U1") removed += list.Mark(row, processing::MarkCommand::Delettrer);
    ASSERT_EQ(removed, saved);
    ASSERT_TRUE(list.CanSave()) << "an exempt account: the lines losing their letter need not balance";
    list.SaveLetters();
  }
  Reconciliation again(kBank, true);
  ASSERT_EQ(again.Open(), ReconciliationOpen::Opened);
  ASSERT_TRUE(again.Load(kYearEnd));
  EXPECT_EQ(again.Lines().size(), left + saved);
  SetDossierIniPath("");
}

// The demo's reconciled bank lines in every currency mode pass the oracle (letters of the main
// currency only, one month per statement), and the lines a statement left out stay open.
TEST_F(ReconciliationTest, TheDemosStatementsSatisfyTheOracle) {
  const struct Case {
    const char* code;
    DossierCurrency currency;
    const char* lettered;  // the field of the main currency's letter
  } cases[] = {{"E", DossierCurrency::EuroMain, "TLETE"}, {"F", DossierCurrency::FrancMain, "TLET"},
               {"O", DossierCurrency::EuroOnly, "TLETE"}};
  for (const Case& c : cases) {
    DemoOptions o;
    o.folder = Dir() + "/oracle" + c.code;
    o.code = c.code;
    o.lines = 2000;
    o.currency = c.currency;
    o.closedMonths = -1;
    o.matchings = true;
    o.bankStatements = true;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
    int status = -1;
    const std::string out = test_support::RunPythonScript(
        "import sys, runpy\nsys.argv = ['check_demo.py', '" + o.folder + "/', '" + c.code +
            "']\nrunpy.run_path('" + test_support::DemoOracle() + "', run_name='__main__')\n",
        true, &status);
    EXPECT_EQ(status, 0) << c.code << "\n" << out;
    const std::string counts = test_support::RunPythonScript(
        "from dbfread import DBF\nrows = [r for r in DBF('" + o.folder + "/c60" + std::string(1, static_cast<char>(c.code[0] + 32)) +
            ".dbf', encoding='cp1252') if r['TCODE'].strip() == '51200000']\n"
            "print(sum(1 for r in rows if r['" + c.lettered + "'].strip()), sum(1 for r in rows if not r['" +
            c.lettered + "'].strip()))\n",
        true);
    long lettered = 0, open = 0;
    std::istringstream(counts) >> lettered >> open;
    EXPECT_GT(lettered, 2 * open) << c.code << " " << counts;
    EXPECT_GT(open, 0) << c.code << " " << counts;
  }
}

class ReconciliationOpeningTest : public ReconciliationTest {
 protected:
  bool NextYear() const override { return true; }
};

// The opening balances with the bank lines in detail: the lines left off the statement one by
// one, the reconciled rest in one line "SAN Ecritures Pointées".
TEST_F(ReconciliationOpeningTest, TheOpeningBalancesCarryExactlyTheUnreconciledLines) {
  std::vector<long long> expected;
  long long book = 0;
  {
    Reconciliation r(kBank, true);
    ASSERT_EQ(r.Open(), ReconciliationOpen::Opened);
    ASSERT_TRUE(r.Load(kYearEnd));
    r.SetStatement(MakeStatement(r).statement);
    r.Propose(5);
    ASSERT_EQ(r.Save(), ReconciliationSave::Saved);
    for (const ReconciliationLine& l : r.Lines()) expected.push_back(l.cents);
    book = r.BookBalance();
  }
  long long left = 0;
  for (long long c : expected) left += c;
  CloseAllTables();
  Table c10, c20;
  ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
  ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE", true));
  const auto collectives = processing::ReadCollectives(c10);
  const processing::TrialBalance balance = processing::ComputeTrialBalance(c20, collectives);
  c10.CloseTable();
  c20.CloseTable();
  processing::OpeningRequest request;
  request.target = processing::OtherDossier{Dir() + "/b/", "B"};
  request.date = Ymd{2027, 1, 1};
  request.detailUnreconciled = true;
  processing::TargetMaintenance m;
  m.refusal = [] {
    if (RenumberingPending()) return RenumberPendingMessage();
    const std::string damaged = FindDamagedDossierTable();
    return damaged.empty() ? std::string() : DamagedFileMessage(damaged);
  };
  m.rebuild = [] { return RunDossierRebuild(true, true).code; };
  const processing::OpeningResult result = processing::GenerateOpeningBalances(request, collectives, balance, m);
  ASSERT_EQ(result.code, 0) << result.error;
  int status = 0;
  const std::string out = test_support::RunPythonScript(
      "import sys\nfrom dbfread import DBF\n"
      "for r in DBF('" + Dir() + "/b/c50b.dbf', encoding='cp1252'):\n"
      "    if r['BJAL'].strip() == 'AN' and r['BCODE'].strip() == '51200000':\n"
      "        v = int(round(r['BMONTANTE'] * 100)) * (1 if r['BSENS'] == 'D' else -1)\n"
      "        print(v, 'P' if r['BLIB'].startswith('SAN Ecritures Point') else 'L')\n",
      true, &status);
  ASSERT_EQ(status, 0) << out;
  std::istringstream in(out);
  std::vector<long long> got;
  long long value = 0, rest = 0;
  std::string kind;
  while (in >> value >> kind) (kind == "L" ? got.push_back(value) : void(rest += value));
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected) << out;
  EXPECT_EQ(rest, book - left) << "the reconciled rest in one line";
}

}  // namespace
}  // namespace reconciliation_test
