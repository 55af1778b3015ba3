// Amount fields holding what no program writes (letters, NUL bytes, an exponent) in lines of the
// closed and the draft file: the trial balance and the general ledger count each such line as
// zero, keep the totals of the lines that read, and name the lines at the end of the run.
#include "balance_window_fixture.h"

#include <tuple>

#include "data/record_fields.h"
#include "reports/balances/core/trial_balance_variables.h"
#include "reports/engine/visu_window.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "reports/ledgers/core/limits_checks.h"
#include "runtime/text.h"
#include "support/line_files.h"

namespace balances_window_test {
namespace {

long long UnitsOf(ReportFieldTable& f, int index) {
  std::int64_t u = 0;
  return f.GetFieldUnits(index, u) ? u : 0;
}

template <class Report>
void WalkAll(Report& r) {
  r.InitReport();
  do r.ComputeLine();
  while (r.NextRecord() && (r.ClassifyLine(), true));
}

// A line damaged by the test: where it is, what it held in euros, how it is named.
struct Damaged {
  std::string file;  // "C40" / "C50"
  std::uint32_t recno;
  char sense;
  long long euros;   // cents, the amount the euro totals lose
  std::string name;  // "C40 enregistrement 12, pi\xE8" "ce 000034, compte 60100000"
};

class UnreadableAmountsTest : public BalanceWindowTest {
 protected:
  // The general balance and the general ledger "1" over the year, in euros: debit and credit.
  std::tuple<long long, long long, long long, long long> Totals(std::string* balanceWarning = nullptr,
                                                                std::string* ledgerWarning = nullptr) {
    using DF = DossierRecord::DateField;
    balances::TrialBalanceReport balance;
    balance.Begin(balances::MakeOptions('G', TheDossierRecord.DateStored(DF::YearStart),
                                        TheDossierRecord.DateStored(DF::YearEnd), false, 'S', '1', true)
                      .text,
                  balances::TrialBalancePaths::OfOpenDossier());
    EXPECT_TRUE(balance.PrepareReport());
    WalkAll(balance);
    if (balanceWarning != nullptr) *balanceWarning = balance.LastWarningText();
    ledgers::GeneralLedgerForm lf;
    lf.kind = 'G';
    lf.dateFrom = TheDossierRecord.DateDisplay(DF::YearStart);
    lf.dateTo = TheDossierRecord.DateDisplay(DF::YearEnd);
    lf.inEuros = true;
    ledgers::GeneralLedgers ledger;
    ledger.TakeLimits(ledgers::BuildGeneralLedgerLimits(lf, TheDossierRecord));
    ledger.ChooseReportCode("EG-1STD           ");
    EXPECT_TRUE(ledger.PrepareNextLedger());
    EXPECT_EQ(ledger.CurrentLedger(), '1');
    WalkAll(ledger);
    if (ledgerWarning != nullptr) *ledgerWarning = ledger.LastUnreadableText();
    return {UnitsOf(balance.fields, balances::tbv::kTgDebit), UnitsOf(balance.fields, balances::tbv::kTgCredit),
            UnitsOf(ledger.fields, ledgers::GeneralLedgers::TG_DEBIT),
            UnitsOf(ledger.fields, ledgers::GeneralLedgers::TG_CREDIT)};
  }

  // Damages live general lines of class-6 and class-7 accounts: in C40 and C50, the euro amount
  // with letters, NUL bytes or an exponent, and one line's francs only (its euros still count).
  std::vector<Damaged> Damage() {
    const std::string euroGarbage[] = {"12A4.50", std::string("  12\0\0.50", 9), "-1e300",
                                       std::string(3, '\0') + "1.00"};
    std::vector<Damaged> out;
    for (const char* file : {"C40", "C50"}) {
      const char p = file[1] == '4' ? 'D' : 'B';
      const std::string pre(1, p);
      test_support::RawRecords raw(folder_ + (file[1] == '4' ? "c40bw.dbf" : "c50bw.dbf"));
      int taken = 0;
      for (std::uint32_t n = 1; n <= raw.Count() && taken < 3; ++n) {
        const std::string r = raw.Record(n);
        const std::string account = raw.Field(r, pre + "CODE");
        const std::string euros = raw.Field(r, pre + "MONTANTE");
        if (r[0] == '*' || raw.Field(r, pre + "CLE") != "Z" || (account[0] != '6' && account[0] != '7')) continue;
        const long long cents = StoredAmountCents(euros);
        if (cents == 0) continue;
        const bool francsOnly = taken == 2;
        const std::string& garbage = euroGarbage[(out.size()) % 4];
        raw.Put(n, pre + (francsOnly ? "MONTANTF" : "MONTANTE"), garbage);
        out.push_back({file, n, raw.Field(r, pre + "SENS")[0], francsOnly ? 0 : cents,
                       std::string(file) + " enregistrement " + std::to_string(n) + ", pi\xE8" "ce " +
                           Trimmed(raw.Field(r, pre + "PIECE")) + ", compte " + Trimmed(account)});
        ++taken;
      }
    }
    return out;
  }
};

TEST_F(UnreadableAmountsTest, TheBalanceAndTheLedgerCountThemAsZeroAndNameThem) {
  OpenPair();  // the program's tables open
  const auto [bd0, bc0, ld0, lc0] = Totals();
  const std::vector<Damaged> damaged = Damage();
  ASSERT_EQ(damaged.size(), 6u);
  long long lostDebit = 0, lostCredit = 0;
  for (const Damaged& d : damaged) (d.sense == 'D' ? lostDebit : lostCredit) += d.euros;
  ASSERT_GT(lostDebit + lostCredit, 0);

  std::string balanceWarning, ledgerWarning;
  const auto [bd, bc, ld, lc] = Totals(&balanceWarning, &ledgerWarning);
  EXPECT_EQ(bd, bd0 - lostDebit);
  EXPECT_EQ(bc, bc0 - lostCredit);
  EXPECT_EQ(ld, ld0 - lostDebit);
  EXPECT_EQ(lc, lc0 - lostCredit);
  for (const Damaged& d : damaged) {
    EXPECT_NE(balanceWarning.find(d.name), std::string::npos) << d.name << "\n" << balanceWarning;
    EXPECT_NE(ledgerWarning.find(d.name), std::string::npos) << d.name << "\n" << ledgerWarning;
  }

  // As the user runs it: "Visualiser" with the standard layout, then the box naming the lines.
  gui::ModalSeam::Reset();
  form_->SelectKind('G');
  QueueChoice(gui::IDOK, kStd);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(form_, 20035);
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  const gui::ShownModal* box = nullptr;
  for (const auto& shown : gui::ModalSeam::Shown())
    if (shown.caption == "ATTENTION - Montants illisibles") box = &shown;
  ASSERT_NE(box, nullptr) << test_support::ShownTexts();
  for (const Damaged& d : damaged) EXPECT_NE(box->text.find(d.name), std::string::npos) << d.name;
  test_support::ScreenshotMessage(*box, "balances", "unreadable-amounts");
  CurrentPreviewWindow->CmQuitVisu();
  gui::ProcessPendingMessages();
}


// An account's previous-year and budget figures holding what no program writes ("12,34", read by
// the lenient reading as 1,234.00, and "-1e300"): the chart counts them as zero and the balance
// names the account's record with the lines.
TEST_F(UnreadableAmountsTest, TheAccountsPreviousYearAndBudgetFiguresAreNamedWhenTheyDoNotRead) {
  OpenPair();
  std::string named, code;
  std::uint32_t record = 0;
  {
    test_support::RawRecords raw(folder_ + "c20bw.dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && record == 0; ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, "CCODE")[0] != '6') continue;
      raw.Put(n, "CDEBNM1E", "12,34");
      raw.Put(n, "CBUDGETE", "-1e300");
      record = n;
      code = raw.Field(r, "CCODE");
      named = "C20 enregistrement " + std::to_string(n) + ", compte " + Trimmed(code);
    }
  }
  ASSERT_NE(record, 0u);
  balances::ChartList chart;
  ASSERT_TRUE(chart.LoadAccounts(folder_ + "c20bw.dbf"));
  const balances::ChartEntry* e = chart.Find(code);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->prevDebit[1], 0);
  EXPECT_EQ(e->budget[1], 0);
  ASSERT_EQ(chart.Unreadable().size(), 1u);
  std::string balanceWarning;
  Totals(&balanceWarning);
  EXPECT_NE(balanceWarning.find(named), std::string::npos) << named << "\n" << balanceWarning;
}


// Amount fields holding a third decimal (what a foreign program may write): the trial balance
// and the general ledger change by the same cents, the third decimal rounding half up, and name no
// line as unreadable.
TEST_F(UnreadableAmountsTest, AThirdDecimalGivesTheSameCentsInTheBalanceAndTheLedger) {
  OpenPair();
  const auto [bd0, bc0, ld0, lc0] = Totals();
  // Each text and the cents it holds; the texts whose third decimal is 5 or more round up.
  const std::vector<std::pair<std::string, long long>> texts = {
      {"      12.345", 1235}, {"     7.3449", 734}, {"  1000.0051", 100001}, {"       0.005", 1}, {"  250.1299", 25013}};
  long long addDebit = 0, addCredit = 0;
  std::size_t put = 0;
  for (const char* file : {"C40", "C50"}) {
    const std::string pre(1, file[1] == '4' ? 'D' : 'B');
    test_support::RawRecords raw(folder_ + (file[1] == '4' ? "c40bw.dbf" : "c50bw.dbf"));
    for (std::uint32_t n = 1; n <= raw.Count() && put < texts.size(); ++n) {
      const std::string r = raw.Record(n);
      const std::string account = raw.Field(r, pre + "CODE");
      if (r[0] == '*' || raw.Field(r, pre + "CLE") != "Z" || (account[0] != '6' && account[0] != '7')) continue;
      const long long was = StoredAmountCents(raw.Field(r, pre + "MONTANTE"));
      if (was == 0) continue;
      const std::string width = raw.Field(r, pre + "MONTANTE");
      const auto& [text, cents] = texts[put++];
      ASSERT_LE(text.size(), width.size());
      raw.Put(n, pre + "MONTANTE", std::string(width.size() - text.size(), ' ') + text);
      (raw.Field(r, pre + "SENS")[0] == 'D' ? addDebit : addCredit) += cents - was;
      if (put == 3) break;  // the rest in the draft
    }
  }
  ASSERT_EQ(put, texts.size());
  std::string balanceWarning, ledgerWarning;
  const auto [bd, bc, ld, lc] = Totals(&balanceWarning, &ledgerWarning);
  EXPECT_EQ(bd, bd0 + addDebit);
  EXPECT_EQ(bc, bc0 + addCredit);
  EXPECT_EQ(ld, ld0 + addDebit);
  EXPECT_EQ(lc, lc0 + addCredit);
  EXPECT_EQ(balanceWarning, "");
  EXPECT_EQ(ledgerWarning, "");
}

}  // namespace
}  // namespace balances_window_test
