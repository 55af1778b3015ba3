// Amount fields holding what no program writes (letters, NUL bytes, an exponent) in lines of the
// closed and the draft file: the trial balance and the general ledger count each such line as
// zero, keep the totals of the lines that read, and name the lines at the end of the run.
#include "balance_window_fixture.h"

#include <tuple>

#include <filesystem>
#include <functional>
#include <memory>

#include "data/record_fields.h"
#include "reports/balances/core/trial_balance_run.h"
#include "reports/balances/core/trial_balance_variables.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/visu_window.h"
#include "reports/ledgers/core/account_statement.h"
#include "reports/ledgers/core/centralising_summary.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "reports/ledgers/core/journal_listings.h"
#include "reports/ledgers/core/limits_checks.h"
#include "reports/ledgers/core/ledger_options.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/line_files.h"
#include "support/report_export_run.h"

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

// A line or record damaged for the exports: where it is and how the reports name it.
struct Unread {
  std::string named;
  std::string account;  // its account or section, as stored
  std::string month;    // its month, stored (YYMM)
};

// A run of one export layout over the dossier: each file it was to write, with its text ("" when
// none was written), and the warning it gave about amounts that do not read.
struct ExportRun {
  std::vector<std::pair<std::string, std::string>> files;
  std::string warning;
};

// Every CSV export of the trial balances and the ledgers run through the report engine as their
// windows run them, over a dossier whose amounts do not read in places (letters, NUL bytes,
// "-1e300", "inf", "0x10": a general line, an auxiliary line, an analytic line, a journal-month
// header): each names them in its warning and writes no file, where the same run over the sound
// dossier writes its file. The balances name and refuse every such amount of their reading, a run
// of several lists in one refusal at its first, the lists after it not run; the ledgers those of
// the lines and records they read.
TEST_F(UnreadableAmountsTest, NoCsvExportIsWrittenOverAnAmountThatDoesNotRead) {
  using DF = DossierRecord::DateField;
  OpenPair();
  const std::string start = TheDossierRecord.DateStored(DF::YearStart), end = TheDossierRecord.DateStored(DF::YearEnd);
  // The lines to damage, chosen before anything is run: the last live line of each kind.
  Unread general, auxiliary, analytic, header;
  std::string generalAt, auxiliaryAt, analyticAt;
  for (const char* file : {"C40", "C50"}) {
    const char p = file[1] == '4' ? 'D' : 'B';
    const test_support::RawRecords raw(folder_ + (file[1] == '4' ? "c40bw.dbf" : "c50bw.dbf"));
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      const std::string kind = raw.Field(r, std::string(1, p) + "CLE"), account = raw.Field(r, std::string(1, p) + "CODE");
      if (r[0] == '*' || StoredAmountCents(raw.Field(r, std::string(1, p) + "MONTANTE")) == 0) continue;
      const Unread u{std::string(file) + " enregistrement " + std::to_string(n) + ", pi\xE8" "ce " +
                         Trimmed(raw.Field(r, std::string(1, p) + "PIECE")) + ", compte " + Trimmed(account),
                     account, raw.Field(r, std::string(1, p) + "MOIS")};
      const std::string at = std::string(file) + " " + std::to_string(n);
      if (kind == "Z" && file[1] == '4' && account[0] == '6') general = u, generalAt = at;
      if (kind == "Z" && file[1] == '5' && account[0] == 'C') auxiliary = u, auxiliaryAt = at;
      if (kind == "W") analytic = u, analyticAt = at;
    }
  }
  ASSERT_FALSE(generalAt.empty());
  ASSERT_FALSE(auxiliaryAt.empty());
  ASSERT_FALSE(analyticAt.empty());
  const auto damage = [&](const std::string& at, const std::string& bytes) {
    const bool closed = at[1] == '4';
    test_support::RawRecords(folder_ + (closed ? "c40bw.dbf" : "c50bw.dbf"))
        .Put(static_cast<std::uint32_t>(std::stoul(at.substr(4))), closed ? "DMONTANTE" : "BMONTANTE", bytes);
  };

  // The runs: a trial balance of its options, list after list; a ledger report as it is prepared.
  const auto balance = [&](char kind, bool prior, char lettering) {
    return [=, this](const std::string& layout, const std::string& path) {
      balances::TrialBalanceReport r;
      r.Begin(balances::MakeOptions(kind, start, end, prior, 'S', lettering, true).text,
              balances::TrialBalancePaths::OfOpenDossier());
      r.ChooseReportCode(layout);
      ExportRun run;
      for (int list = 0; !r.Lists().empty(); ++list, r.DropList()) {
        r.reportCode = PadRight(r.ListKind() == '9' ? balances::AnalyticReportCode(layout) : layout, 18);
        if (!r.PrepareReport()) continue;
        const std::string file = path + "-" + std::to_string(list) + ".csv";
        std::vector<std::string> warnings;
        run.files.emplace_back(file, test_support::RunLayoutToExport(
                                         r, test_support::ShippedLayout(Trimmed(r.reportCode.substr(0, 10))), file,
                                         nullptr, &warnings));
        for (const std::string& w : warnings) run.warning += w;
      }
      // The balance's own warning is the screen's: over an export it says nothing.
      run.warning += r.LastWarningText();
      return run;
    };
  };
  const auto ledger = [](const std::function<std::unique_ptr<ledgers::LedgerReport>()>& prepared) {
    return [=](const std::string& layout, const std::string& path) {
      ExportRun run;
      const std::unique_ptr<ledgers::LedgerReport> r = prepared();
      if (r == nullptr) return run;
      const std::string file = path + ".csv";
      std::vector<std::string> warnings;
      run.files.emplace_back(file,
                             test_support::RunLayoutToExport(*r, test_support::ShippedLayout(layout), file, nullptr, &warnings));
      for (const std::string& w : warnings) run.warning += w;
      run.warning += r->LastUnreadableText();
      return run;
    };
  };
  const auto generalLedger = [&](char kind, bool prior) {
    return ledger([=, &general]() -> std::unique_ptr<ledgers::LedgerReport> {
      ledgers::GeneralLedgerOptions o;
      o.kind = kind;
      o.dateFrom = prior ? general.month + "01" : start;
      o.dateTo = end;
      o.priorCumulation = prior;
      o.inEuros = true;
      auto r = std::make_unique<ledgers::GeneralLedgers>();
      r->TakeLimits(o.ToRecord());
      r->ChooseReportCode("EG-CSV");
      if (!r->PrepareNextLedger()) return nullptr;
      return r;
    });
  };
  const auto journals = [&](bool analyticLines) {
    return ledger([=]() -> std::unique_ptr<ledgers::LedgerReport> {
      ledgers::JournalListingOptions o;
      o.analytic = analyticLines;
      o.inEuros = true;
      auto r = std::make_unique<ledgers::JournalListings>();
      r->TakeLimits(o.ToRecord());
      if (!r->PrepareReport()) return nullptr;
      return r;
    });
  };
  const auto statement = [&](const Unread& of, bool analyticLines) {
    return ledger([=, &of]() -> std::unique_ptr<ledgers::LedgerReport> {
      ledgers::AccountStatementOptions o;
      o.account = of.account;
      o.dateFrom = start;
      o.dateTo = end;
      o.analytic = analyticLines;
      o.inEuros = true;
      auto r = std::make_unique<ledgers::AccountStatement>();
      r->TakeLimits(o.ToRecord());
      if (!r->PrepareReport()) return nullptr;
      return r;
    });
  };
  const auto summary = ledger([]() -> std::unique_ptr<ledgers::LedgerReport> {
    auto r = std::make_unique<ledgers::CentralisingSummary>();
    r->optionsText = "E";
    if (!r->PrepareReport()) return nullptr;
    return r;
  });
  const struct Case {
    const char* what;
    const char* layout;
    std::function<ExportRun(const std::string&, const std::string&)> run;
    const Unread* named;  // a damaged line or record the warning names
  } cases[] = {
      {"general balance", "EBS-CSV", balance('G', false, '1'), &general},
      {"balance of the collective C", "EBS-CSV", balance('C', false, '1'), &general},
      {"every balance", "EBS-CSV", balance('T', false, '1'), &general},
      {"balance with prior totals", "EBC-CSV", balance('G', true, '1'), &general},
      {"balance with the lettering apart", "EBA-CSV", balance('G', false, '4'), &general},
      {"balance with prior totals and the lettering apart", "EBB-CSV", balance('G', true, '5'), &general},
      {"tax return balance", "EBS-LIASSE", balance('G', false, '1'), &general},
      // The analytic list takes the analytic layout of the code chosen: EBAS-CSV, EBAC-CSV.
      {"analytic balance", "EBS-CSV", balance('(', false, '1'), &analytic},
      {"analytic balance with prior totals", "EBC-CSV", balance('(', true, '1'), &analytic},
      // EBAA-CSV, EBAB-CSV, EBAS-LIASS.
      {"analytic balance with the lettering apart", "EBA-CSV", balance('(', false, '4'), &analytic},
      {"analytic balance with prior totals and the lettering apart", "EBB-CSV", balance('(', true, '5'), &analytic},
      {"analytic tax return balance", "EBS-LIASSE", balance('(', false, '1'), &analytic},
      {"general ledger", "EG-CSV", generalLedger('G', false), &general},
      {"general ledger with prior totals", "EG-CSV", generalLedger('G', true), &general},
      {"auxiliary ledger", "EG-CSV", generalLedger('C', false), &auxiliary},
      {"analytic ledger", "EGA-CSV", generalLedger('(', false), &analytic},
      {"journals", "EJ-CSV", journals(false), &general},
      {"analytic journals", "EJA-CSV", journals(true), &analytic},
      {"centralising summary", "ER-CSV", summary, &header},
      {"account statement", "EC-CSV", statement(general, false), &general},
      {"analytic statement", "ECA-CSV", statement(analytic, true), &analytic},
  };
  const std::filesystem::path artefacts = std::filesystem::path(MERLON_BINARY_DIR) / "test-artefacts" / "balances";
  std::filesystem::create_directories(artefacts);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ExportRun sound = c.run(c.layout, (artefacts / (std::string("sound-") + c.what)).string());
    ASSERT_FALSE(sound.files.empty());
    for (const auto& [path, text] : sound.files) EXPECT_NE(text, "") << path;
    EXPECT_EQ(sound.warning, "");
  }

  damage(generalAt, "0x10");
  damage(auxiliaryAt, std::string("  12\0\0.50", 9));
  damage(analyticAt, "inf");
  {
    // The first journal-month header's euro debit.
    test_support::RawRecords raw(folder_ + "c10bw.dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && header.named.empty(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, "GCLE") != "C" || StoredAmountCents(raw.Field(r, "GZONE2").substr(0, 14)) == 0)
        continue;
      std::string zone = raw.Field(r, "GZONE2");
      zone.replace(0, 14, "        -1e300");
      raw.Put(n, "GZONE2", zone);
      const std::string code = raw.Field(r, "GCODE");
      header.named = "C10 enregistrement " + std::to_string(n) + ", journal " + Trimmed(code.substr(4, 3)) + " " +
                     code.substr(2, 2) + "/" + DecodeYear(code.substr(0, 2).c_str());
    }
  }
  ASSERT_FALSE(header.named.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ExportRun damaged = c.run(c.layout, (artefacts / (std::string("unread-") + c.what)).string());
    ASSERT_FALSE(damaged.files.empty());
    for (const auto& [path, text] : damaged.files) EXPECT_FALSE(std::filesystem::exists(path)) << path;
    // Nor the file of a list the run did not reach.
    const std::string base = (artefacts / (std::string("unread-") + c.what)).string();
    for (int list = 0; list < 8; ++list) EXPECT_FALSE(std::filesystem::exists(base + "-" + std::to_string(list) + ".csv"));
    EXPECT_NE(damaged.warning.find(c.named->named), std::string::npos) << c.named->named << "\n" << damaged.warning;
    // One refusal a run, said by the report engine: never a second box from the report itself, nor
    // one for each list of the run.
    std::size_t said = 0;
    for (std::size_t at = damaged.warning.find("Le fichier n'a pas \xE9t\xE9 \xE9" "crit"); at != std::string::npos;
         at = damaged.warning.find("Le fichier n'a pas \xE9t\xE9 \xE9" "crit", at + 1))
      ++said;
    EXPECT_EQ(said, 1u) << damaged.warning;
  }
  {
    // Every balance, its lists read at once: the one refusal names the analytic line the last list
    // reads as well as the general line of the first.
    const ExportRun every = balance('T', false, '1')("EBS-CSV", (artefacts / "unread-every-list").string());
    EXPECT_EQ(every.files.size(), 1u);
    EXPECT_NE(every.warning.find(general.named), std::string::npos) << every.warning;
    EXPECT_NE(every.warning.find(analytic.named), std::string::npos) << every.warning;
  }

  // As the user runs it: "Visualiser" with the CSV layout; the box names the lines and says that no
  // file was written, and no export is offered.
  gui::ModalSeam::Reset();
  form_->SelectKind('G');
  QueueChoice(gui::IDOK, kCsv);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(form_, 20035);
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  CurrentPreviewWindow->CmAllPages();
  gui::ProcessPendingMessages();
  if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->CmQuitVisu();
  gui::ProcessPendingMessages();
  const gui::ShownModal* box = nullptr;
  for (const auto& shown : gui::ModalSeam::Shown()) {
    EXPECT_NE(shown.caption, "Fichier d'exportation") << shown.text;
    if (shown.caption == "ATTENTION - Montants illisibles") box = &shown;
  }
  ASSERT_NE(box, nullptr) << test_support::ShownTexts();
  EXPECT_NE(box->text.find(general.named), std::string::npos) << box->text;
  EXPECT_NE(box->text.find("Le fichier n'a pas \xE9t\xE9 \xE9" "crit"), std::string::npos) << box->text;
  test_support::ScreenshotMessage(*box, "balances", "unreadable-amounts-no-export");
  EXPECT_EQ(reports::ExportFile().GetState(), reports::ReportExportFile::State::kNone);

  // "Toutes" with the CSV layout: one box for the run, naming the amounts of every list; no file,
  // and the form back.
  gui::ModalSeam::Reset();
  form_->SelectKind('T');
  QueueChoice(gui::IDOK, kCsv);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(form_, 20035);
  for (int guard = 0; CurrentPreviewWindow != nullptr && guard < 10; ++guard) {
    CurrentPreviewWindow->CmAllPages();
    gui::ProcessPendingMessages();
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->CmQuitVisu();
    gui::ProcessPendingMessages();
  }
  int boxes = 0;
  for (const auto& shown : gui::ModalSeam::Shown()) {
    EXPECT_NE(shown.caption, "Fichier d'exportation") << shown.text;
    if (shown.caption != "ATTENTION - Montants illisibles") continue;
    ++boxes;
    EXPECT_NE(shown.text.find(general.named), std::string::npos) << shown.text;
    EXPECT_NE(shown.text.find(analytic.named), std::string::npos) << shown.text;
    test_support::ScreenshotMessage(shown, "balances", "unreadable-amounts-no-export-every-list");
  }
  EXPECT_EQ(boxes, 1) << test_support::ShownTexts();
  EXPECT_EQ(Active(), form_);
}

}  // namespace
}  // namespace balances_window_test
