// Amounts stored as no program writes them ("12,34" over a line's 16.44, "-1e300"), in lines of the
// draft and of the closed file, in an account's totals and in a journal-month's header: the account
// statement, the journal listing and the centralising summary count each as zero, as the general
// ledger and the trial balance do, and name every line and record at the end of the run; their
// export files, which would carry those zeros, are not written. The rebuild makes no total from such a
// line, and the totals check the runs make before they end names it.
#include "data/dossier_invariants.h"
#include "data/record_fields.h"
#include "dossier/core/maintenance_rebuild.h"
#include "ledger_fixture.h"
#include "reports/ledgers/core/account_statement.h"
#include "reports/ledgers/core/centralising_summary.h"
#include "reports/ledgers/core/journal_listings.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/csv_cells.h"
#include "support/line_files.h"

namespace ledgers_test {
namespace {

class UnreadableAmountsTest : public LedgerCoreTest {
 protected:
  void SetUp() override {
    LedgerCoreTest::SetUp();
    OpenYearDemo("FIG", 1500);
  }
  std::string File(const std::string& table) const { return Dir() + "/demo/" + table + "fig.dbf"; }
  std::string Layout(const std::string& name) { return ReadText(DataPath("C-Etat-" + name + ".txt")); }

  // The first live general line of `account` in the closed file (C40) or the draft (C50) whose
  // euro amount is not zero, given `text` in its place: how the reports name it.
  std::string DamageLine(bool closed, const std::string& account, const std::string& text) {
    test_support::RawRecords raw(File(closed ? "c40" : "c50"));
    const std::string p = closed ? "D" : "B";
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, p + "CLE") != "Z" || raw.Field(r, p + "CODE") != account ||
          StoredAmountCents(raw.Field(r, p + "MONTANTE")) == 0)
        continue;
      raw.Put(n, p + "MONTANTE", text);
      return std::string(closed ? "C40" : "C50") + " enregistrement " + std::to_string(n) + ", pi\xE8" "ce " +
             Trimmed(raw.Field(r, p + "PIECE")) + ", compte " + Trimmed(account);
    }
    ADD_FAILURE() << "no line of " << account << (closed ? " in C40" : " in C50");
    return "";
  }
};

TEST_F(UnreadableAmountsTest, TheStatementAndTheJournalsNameTheLinesTheyCountAsZero) {
  const std::string account = "60700000";
  const std::vector<std::string> lines = {DamageLine(false, account, "12,34"), DamageLine(true, account, "-1e300")};
  // The account's own debit total in euros, as its record holds it.
  std::string accountRecord;
  {
    test_support::RawRecords raw(File("c20"));
    for (std::uint32_t n = 1; n <= raw.Count() && accountRecord.empty(); ++n)
      if (raw.Field(raw.Record(n), "CCODE") == account) {
        raw.Put(n, "CDEBITE", "12,34");
        accountRecord = "C20 enregistrement " + std::to_string(n) + ", compte " + account;
      }
  }
  ASSERT_FALSE(accountRecord.empty());

  ledgers::AccountStatement s;
  ledgers::AccountStatementOptions o;
  o.account = account;
  o.dateFrom = "C50701";
  o.dateTo = "C60630";
  o.inEuros = true;
  s.TakeLimits(o.ToRecord());
  ASSERT_TRUE(s.PrepareReport());
  // The account's debit total as its record holds it reads as zero, not 1,234.00.
  std::int64_t held = -1;
  EXPECT_TRUE(s.fields.GetFieldUnits(ledgers::AccountStatement::TC_DEBIT, held));
  EXPECT_EQ(held, 0);
  // Their export is refused by the report engine, which names them all.
  std::vector<std::string> warnings;
  RunToExport(s, Layout("EC-CSV"), ArtefactPath("statement.csv"), nullptr, &warnings);
  ASSERT_EQ(warnings.size(), 1u);
  for (const std::string& named : {lines[0], lines[1], accountRecord})
    EXPECT_NE(warnings[0].find(named), std::string::npos) << named << "\n" << warnings[0];

  for (const bool summary : {false, true}) {
    ledgers::JournalListings j;
    ledgers::JournalListingOptions jo;
    jo.summary = summary;
    jo.inEuros = true;
    j.TakeLimits(jo.ToRecord());
    ASSERT_TRUE(j.PrepareReport());
    RunToExport(j, Layout(summary ? "EJR-CSV" : "EJ-CSV"), ArtefactPath(summary ? "ejr.csv" : "ej.csv"), nullptr,
                &warnings);
    ASSERT_EQ(warnings.size(), 1u);
    for (const std::string& named : lines)
      EXPECT_NE(warnings[0].find(named), std::string::npos)
          << (summary ? "summary: " : "detail: ") << named << "\n" << warnings[0];
  }
}

TEST_F(UnreadableAmountsTest, TheCentralisingSummaryCountsADamagedHeaderTotalAsZero) {
  // The first journal-month header's euro debit, "12,34" over what it held.
  std::uint32_t damaged = 0;
  std::string code;
  {
    test_support::RawRecords raw(File("c10"));
    for (std::uint32_t n = 1; n <= raw.Count() && damaged == 0; ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, "GCLE") != "C" || StoredAmountCents(raw.Field(r, "GZONE2").substr(0, 14)) == 0)
        continue;
      std::string zone = raw.Field(r, "GZONE2");
      zone.replace(0, 14, "         12,34");
      raw.Put(n, "GZONE2", zone);
      damaged = n;
      code = raw.Field(r, "GCODE");
    }
  }
  ASSERT_NE(damaged, 0u);
  using CS = ledgers::CentralisingSummary;
  CS r;
  r.optionsText = "E";
  ASSERT_TRUE(r.PrepareReport());
  const std::string named = "C10 enregistrement " + std::to_string(damaged) + ", journal " +
                            Trimmed(code.substr(4, 3)) + " " + code.substr(2, 2) + "/" +
                            DecodeYear(code.substr(0, 2).c_str());
  // On screen and in print, row by row as the layout prints them: the month's row shows no debit
  // for it, and the grand total is the sum of the rows.
  const auto cents = [&r](int field) {
    std::int64_t units = 0;
    return r.fields.GetFieldUnits(field, units) ? static_cast<long long>(units) : 0LL;
  };
  long long rows = 0;
  bool zeroRow = false;
  const bool draft = code[7] == 'B';
  r.InitReport();
  do {
    r.ComputeLine();
    rows += cents(CS::DEBIT);
    const bool same = AllTrim(r.fields.Value(CS::MOIS).c_str()) == code.substr(2, 2) &&
                      AllTrim(r.fields.Value(CS::JOURNAL).c_str()) == Trimmed(code.substr(4, 3)) &&
                      (AllTrim(r.fields.Value(CS::TYPE).c_str()) == std::string("Brouillard")) == draft;
    if (same && cents(CS::DEBIT) == 0) zeroRow = true;
    EXPECT_NE(cents(CS::DEBIT), 123400);
  } while (r.NextRecord() && (r.ClassifyLine(), true));
  EXPECT_TRUE(zeroRow);
  EXPECT_EQ(cents(CS::TG_DEBIT), rows);
  EXPECT_NE(r.LastUnreadableText().find(named), std::string::npos) << named << "\n" << r.LastUnreadableText();

  // Its export would carry the month's total as 0,00: no file is written, and the box says so.
  CS exported;
  exported.optionsText = "E";
  ASSERT_TRUE(exported.PrepareReport());
  const std::string path = ArtefactPath("er.csv");
  std::vector<std::string> warnings;
  EXPECT_EQ(RunToExport(exported, Layout("ER-CSV"), path, nullptr, &warnings), "");
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find(named), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find("Le fichier n'a pas \xE9t\xE9 \xE9" "crit"), std::string::npos) << warnings[0];
  // The report's own warning is the screen's: the export's refusal is the engine's, said once.
  EXPECT_EQ(exported.LastUnreadableText(), "");
}

// "12,34" over a draft line's 16.44 and "-1e300" over a closed line's amount, in a dossier in euros
// only (a line whose euros read as zero and whose francs do not would go): the rebuild names both
// lines and keeps them as they are, and makes no total from an amount it cannot read: the account's
// totals stay as they stood. The totals check the runs make before they end names the same lines and
// finds wrong only the totals they feed (the account, their journal-months); the general ledger of the
// account counts them as zero, and its export, which would carry those zeros, is not written.
TEST_F(UnreadableAmountsTest, TheRebuildMakesNoTotalFromADamagedLineAndTheChecksNameIt) {
  const std::string account = "60700000";
  const std::vector<std::string> lines = {DamageLine(false, account, "12,34"), DamageLine(true, account, "-1e300")};
  SetConstant(39, "OUI");
  CloseAllTables();
  // The account's totals as stored.
  const auto accountTotals = [this, &account] {
    test_support::RawRecords raw(File("c20"));
    for (std::uint32_t n = 1; n <= raw.Count(); ++n)
      if (const std::string r = raw.Record(n); raw.Field(r, "CCODE") == account)
        return raw.Field(r, "CDEBITF") + raw.Field(r, "CDEBITE") + raw.Field(r, "CCREDITF") + raw.Field(r, "CCREDITE");
    return std::string();
  };
  const std::string before = accountTotals();
  ASSERT_FALSE(before.empty());
  const RebuildReport report = RunDossierRebuild(false, false);
  ASSERT_EQ(report.code, 0) << RTrim(report.refusal.c_str());
  EXPECT_EQ(accountTotals(), before);
  const std::string rebuilt = UnreadableAmountLinesText(report.unreadable);
  DossierInvariants check;
  EXPECT_FALSE(check.Check());
  EXPECT_FALSE(check.Apart()) << check.Report();
  EXPECT_TRUE(check.WrongTotals().count("A" + account)) << check.Report();
  for (const std::string& total : check.WrongTotals())
    EXPECT_TRUE(total == "A" + account || total[0] == 'H') << total << "\n" << check.Report();
  for (const std::string& named : lines) {
    EXPECT_NE(rebuilt.find(named), std::string::npos) << named << "\n" << rebuilt;
    EXPECT_NE(check.Report().find(named), std::string::npos) << named << "\n" << check.Report();
  }
  for (const bool closed : {false, true}) {
    test_support::RawRecords raw(File(closed ? "c40" : "c50"));
    const std::string p = closed ? "D" : "B";
    int kept = 0;
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      const std::string amount = AllTrim(raw.Field(r, p + "MONTANTE").c_str());
      if (r[0] != '*' && (amount == "12,34" || amount == "-1e300")) ++kept;
    }
    EXPECT_EQ(kept, 1) << (closed ? "C40" : "C50");
  }

  OpenDossier(Dir() + "/demo/", "FIG");
  for (const bool euros : {false, true}) {
    SCOPED_TRACE(euros ? "euros" : "francs");
    ledgers::GeneralLedgerOptions o;
    o.kind = 'G';
    o.accountFrom = o.accountTo = account;
    o.dateFrom = "C50701";
    o.dateTo = "C60630";
    o.inEuros = euros;
    // Its export, which would carry the lines counted as zero, is not written.
    EXPECT_EQ(GeneralLedgerCsv(o, euros ? "gl-e.csv" : "gl-f.csv"), "");
  }
}

}  // namespace
}  // namespace ledgers_test
