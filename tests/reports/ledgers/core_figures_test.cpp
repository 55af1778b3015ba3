// The figures of the four reports against an independent computation: a generated dossier of a
// July-June year with its first months closed, an opening entry and matched lines; each report
// run through the interpreter with an export-only CSV layout of data/, as the windows run it, in
// francs and in euros, gives the rows that data/ledger_figures.py computes from the files alone.
#include <map>
#include <regex>
#include <set>

#include "data/closed_lines.h"
#include "ledger_fixture.h"
#include "platform/system/cp1252.h"
#include "reports/ledgers/core/account_statement.h"
#include "reports/ledgers/core/centralising_summary.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "reports/ledgers/core/journal_listings.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/calc.h"

namespace ledgers_test {
namespace {

std::string Cell(const std::vector<std::string>& row, std::size_t i) {
  return i < row.size() ? std::string(AllTrim(row[i].c_str())) : std::string();
}
std::string Amounts(const std::vector<std::string>& row, std::size_t first) {
  return std::to_string(CellCents(Cell(row, first))) + "|" + std::to_string(CellCents(Cell(row, first + 1)));
}
bool Zero(const std::vector<std::string>& row, std::size_t first) {
  return CellCents(Cell(row, first)) == 0 && CellCents(Cell(row, first + 1)) == 0;
}

// The rows of an account report's export as the reader writes them: zero cumulations left out,
// one account total per account (the last of its block).
std::vector<std::string> LedgerRows(const std::string& csv, bool withLetters) {
  std::vector<std::string> out;
  std::string pendingTotal;
  for (const auto& row : CsvRows(csv)) {
    const std::string kind = Cell(row, 0);
    if ((kind == "B" || kind == "TG") && !pendingTotal.empty()) {
      out.push_back(pendingTotal);
      pendingTotal.clear();
    }
    if (kind == "B") out.push_back("B|" + Cell(row, 1));
    if ((kind == "CA" || kind == "COLL" || kind == "AE") && !Zero(row, 1)) out.push_back(kind + "|" + Amounts(row, 1));
    if (kind == "L")
      out.push_back("L|" + Cell(row, 1) + "|" + Cell(row, 2) + "|" + Cell(row, 3) + "|" + Amounts(row, 4) +
                    (withLetters ? "|" + Cell(row, 6) : std::string()));
    if (kind == "SC") pendingTotal = "SC|" + Amounts(row, 1);
    if (kind == "TG") out.push_back("TG|" + Amounts(row, 1));
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  for (std::string line; std::getline(s, line);)
    if (!line.empty()) out.push_back(line);
  return out;
}

// The account's running balance after each of its lines as the ledger shows it (SC_SOLDEMT with
// the side of SC_SOLDEDC), debit positive.
std::vector<long long> ShownRunningBalances(const std::string& csv) {
  std::vector<long long> out;
  for (const auto& row : CsvRows(csv)) {
    if (Cell(row, 0) != "L") continue;
    const long long amount = CellCents(Cell(row, 7));
    out.push_back(Cell(row, 8).rfind("C", 0) == 0 ? -amount : amount);
  }
  return out;
}

// The same from the reader's rows: the cumulation before the period and the collective's line
// open the account, then each line moves it.
std::vector<long long> RunningBalances(const std::vector<std::string>& rows) {
  std::vector<long long> out;
  long long balance = 0;
  for (const std::string& row : rows) {
    std::vector<std::string> f;
    std::stringstream s(row);
    for (std::string part; std::getline(s, part, '|');) f.push_back(part);
    if (f[0] == "B") balance = 0;
    if (f[0] == "CA" || f[0] == "COLL") balance += std::stoll(f[1]) - std::stoll(f[2]);
    if (f[0] == "L") out.push_back(balance += std::stoll(f[4]) - std::stoll(f[5]));
  }
  return out;
}

class FiguresTest : public LedgerCoreTest {
 protected:
  void SetUp() override {
    LedgerCoreTest::SetUp();
    OpenYearDemo("FIG", 4000);
  }
  std::string Folder() const { return Dir() + "/demo"; }
  std::string Layout(const std::string& name) { return ReadText(DataPath("C-Etat-" + name + ".txt")); }
};

// Every ledger of "Tous" over a period inside the year, with the cumulations before it: the
// general accounts (the collectives' accounts summing their auxiliary accounts), the result
// accounts, the customers and the suppliers, each ledger from its first account with something
// to show, in francs and in euros.
TEST_F(FiguresTest, EveryGeneralLedgerOfAPeriodInBothCurrencies) {
  // Lines on the period's first and last days and on the days around it, so that its bounds count.
  EXPECT_EQ(test_support::RunPythonScript("from dbfread import DBF\n"
                                          "days = [r['TMOIS'] + r['TJOUR'] for r in DBF('" + Folder() +
                                              "/c60fig.dbf', encoding='cp1252') if r['TCLE'] == 'Z']\n"
                                          "print([d in days for d in ('C50831', 'C50901', 'C60331', 'C60401')])\n",
                                          true),
            "[True, True, True, True]\n");
  for (const char* currency : {"F", "E"}) {
    SCOPED_TRACE(currency);
    ledgers::GeneralLedgers gl;
    ledgers::GeneralLedgerOptions o;
    o.kind = 'T';
    o.dateFrom = "C50901";
    o.dateTo = "C60331";
    o.priorCumulation = true;
    o.inEuros = currency[0] == 'E';
    gl.TakeLimits(o.ToRecord());
    EXPECT_EQ(gl.ledgerSelection, "12CF");
    gl.ChooseReportCode("EG-CSV");
    std::vector<std::string> rows;
    std::vector<long long> balances;
    int n = 0;
    for (bool more = gl.PrepareNextLedger(); more; more = gl.NextLedger()) {
      EXPECT_EQ(std::string(RTrim(gl.ReportCode().c_str())), "EG-CSV");
      rows.push_back(std::string("LEDGER|") + gl.CurrentLedger());
      const std::string csv =
          RunToExport(gl, Layout("EG-CSV"), ArtefactPath("gl-" + std::to_string(++n) + currency + ".csv"));
      for (const std::string& r : LedgerRows(csv, false)) rows.push_back(r);
      for (long long b : ShownRunningBalances(csv)) balances.push_back(b);
    }
    EXPECT_EQ(n, 4);
    const std::vector<std::string> want =
        Lines(Figures({"gl", Folder(), "FIG", "T", "C50901", "C60331", "O", currency}));
    EXPECT_EQ(FirstDifference(rows, want), "");
    // The running balance of every line, not only the account's last.
    const std::vector<long long> expected = RunningBalances(want);
    ASSERT_EQ(balances.size(), expected.size());
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < balances.size(); ++i)
      if (balances[i] != expected[i] && wrong++ < 5) ADD_FAILURE() << "line " << i << ": running balance "
                                                                     << balances[i] << ", expected " << expected[i];
    EXPECT_EQ(wrong, 0u) << "of " << balances.size() << " lines";
  }
}

// The general ledger of the whole year, every general account (customers and suppliers on
// their collectives' lines), kept in test-artefacts/ledgers/ as <test>-grand-livre.csv: read back by
// Python's csv module, its debit and credit columns add up to the same total, the lines of the
// whole dossier.
TEST_F(FiguresTest, TheWholeYearsGeneralLedgerBalances) {
  ledgers::GeneralLedgers gl;
  ledgers::GeneralLedgerOptions o;
  o.kind = 'G';
  o.dateFrom = "C50701";
  o.dateTo = "C60630";
  o.inEuros = true;
  gl.TakeLimits(o.ToRecord());
  gl.ChooseReportCode("EG-GL");
  ASSERT_TRUE(gl.PrepareNextLedger());
  const std::string path = ArtefactPath("grand-livre.csv");
  RunToExport(gl, Layout("EG-GL"), path);
  const std::string totals = Figures({"gl", Folder(), "FIG", "1", "C50701", "C60630", "N", "E"});
  int status = -1;
  const std::string out = test_support::RunPythonScript(
      "import csv\n"
      "debit = credit = 0\n"
      "rows = list(csv.reader(open('" + path + "', encoding='cp1252', newline=''), delimiter=';'))\n"
      "for row in rows[1:]:\n"
      "    debit += round(float(row[5].replace(',', '.') or 0) * 100)\n"
      "    credit += round(float(row[6].replace(',', '.') or 0) * 100)\n"
      "print(rows[0][0], len(rows) - 1, debit, credit)\n",
      true, &status);
  ASSERT_EQ(status, 0) << out;
  std::string header;
  long rows = 0;
  long long debit = -1, credit = -2;
  std::istringstream(out) >> header >> rows >> debit >> credit;
  EXPECT_EQ(header, "Compte");
  EXPECT_GT(rows, 1000);
  EXPECT_EQ(debit, credit) << out;
  // The reader's total of the ledger is the same.
  const std::vector<std::string> want = Lines(totals);
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(want.back(), "TG|" + std::to_string(debit) + "|" + std::to_string(credit));
}

// The sort file written again from the lines' bytes, as a validation writes it after its pack:
// a cancelled line keeps a cancelled sort record, so that every ledger of "Tous" over the whole
// year is still what the reader of the files finds (a live sort record would bring the cancelled
// line into every report that walks the sort file).
TEST_F(FiguresTest, TheSortFileWrittenAgainFromTheLinesLeavesTheCancelledLinesOut) {
  auto ledgers = [&](const char* name) {
    ledgers::GeneralLedgers gl;
    ledgers::GeneralLedgerOptions o;
    o.kind = 'T';
    o.dateFrom = "C50701";
    o.dateTo = "C60630";
    o.inEuros = true;
    gl.TakeLimits(o.ToRecord());
    gl.ChooseReportCode("EG-CSV");
    std::vector<std::string> rows;
    int n = 0;
    for (bool more = gl.PrepareNextLedger(); more; more = gl.NextLedger()) {
      rows.push_back(std::string("LEDGER|") + gl.CurrentLedger());
      const std::string csv =
          RunToExport(gl, Layout("EG-CSV"), ArtefactPath(std::string(name) + std::to_string(++n) + ".csv"));
      for (const std::string& r : LedgerRows(csv, false)) rows.push_back(r);
    }
    return rows;
  };
  const std::vector<std::string> want = Lines(Figures({"gl", Folder(), "FIG", "T", "C50701", "C60630", "N", "E"}));
  ASSERT_GT(want.size(), 100u);
  EXPECT_EQ(FirstDifference(ledgers("before"), want), "");

  long cancelled = 0;
  {
    CloseAllTables();
    Table c40, c50, c60;
    ASSERT_TRUE(c40.OpenExclusive(PathC40()) && c50.OpenExclusive(PathC50()) && c60.OpenExclusive(PathC60()));
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) cancelled += c50.GoTo(static_cast<long>(r)) && c50.IsDeleted();
    const test_support::SetUpPermit rebuild("etape de la reconstruction");
    ASSERT_TRUE(RefillSortRecords(c40, c50, c60));
    c40.CloseTable(true);
    c50.CloseTable(true);
  }
  ASSERT_GT(cancelled, 0) << "the generated draft holds cancelled lines";
  OpenDossier(Folder() + "/", "FIG");
  EXPECT_EQ(FirstDifference(ledgers("after"), want), "");
}

// The statements of a bank account, the busiest customer, a supplier, a charge account and a
// collective's account (one line for its auxiliary accounts), with the cumulation before the
// period and the letters of the matched lines, in francs and in euros.
TEST_F(FiguresTest, AccountStatementsInBothCurrencies) {
  // The customer with the most lines.
  std::map<std::string, int> count;
  for (bool more = TableC60->GoTop("C60CODE"); more; more = TableC60->SkipActive(true))
    if (TableC60->GetField(2)[0] == 'C') ++count[TableC60->GetField(2)];
  std::string busiest;
  for (const auto& [code, n] : count)
    if (busiest.empty() || n > count[busiest]) busiest = code;
  for (const char* currency : {"F", "E"}) {
    for (const std::string& account : {std::string("51200000"), busiest, std::string("40100000"),
                                      std::string("60700000"), std::string("41100000")}) {
      SCOPED_TRACE(account + " " + currency);
      ledgers::AccountStatement s;
      ledgers::AccountStatementOptions o;
      o.account = account;
      o.dateFrom = "C50815";
      o.dateTo = "C60430";
      o.priorCumulation = true;
      o.inEuros = currency[0] == 'E';
      s.TakeLimits(o.ToRecord());
      ASSERT_TRUE(s.PrepareReport());
      const std::string csv = RunToExport(s, Layout("EC-CSV"), ArtefactPath("statement.csv"));
      const std::vector<std::string> want =
          Lines(Figures({"statement", Folder(), "FIG", account, "C50815", "C60430", "O", currency}));
      EXPECT_EQ(FirstDifference(LedgerRows(csv, true), want), "");
    }
  }
}

// The journal listings of every month and journal: the detail's journal-month totals and the
// summary's totals per account (auxiliary accounts on their collective's), in both currencies.
TEST_F(FiguresTest, JournalListingsInBothCurrencies) {
  for (const char* currency : {"F", "E"}) {
    SCOPED_TRACE(currency);
    const std::vector<std::string> want = Lines(Figures({"journals", Folder(), "FIG", currency}));
    std::vector<std::string> months;
    for (const std::string& w : want)
      if (w[0] == 'J') months.push_back(w);
    for (const bool summary : {false, true}) {
      ledgers::JournalListings j;
      ledgers::JournalListingOptions o;
      o.summary = summary;
      o.inEuros = currency[0] == 'E';
      j.TakeLimits(o.ToRecord());
      ASSERT_TRUE(j.PrepareReport());
      const std::string csv = RunToExport(j, Layout(summary ? "EJR-CSV" : "EJ-CSV"),
                                          ArtefactPath(std::string(summary ? "ejr-" : "ej-") + currency + ".csv"));
      // Rows grouped by journal-month: its totals from the last row's running totals.
      std::vector<std::string> got, entries;
      std::string key, total;
      auto flush = [&] {
        if (key.empty()) return;
        got.push_back(total);
        for (const std::string& e : entries) got.push_back(e);
        entries.clear();
      };
      long long pieceDebit = 0, pieceCredit = 0;
      std::string piece;
      for (const auto& row : CsvRows(csv)) {
        const std::string month = Cell(row, 1) + "/" + Cell(row, 2), journal = Cell(row, 3);
        if (month + journal != key) {
          flush();
          key = month + journal;
        }
        const std::size_t totals = summary ? 7 : 8;
        total = "J|" + month + "|" + journal + "|" + Amounts(row, totals);
        if (summary) {
          entries.push_back("S|" + Cell(row, 4) + "|" + Amounts(row, 5));
        } else {
          // The piece totals run as the journal totals do, from each piece's first line.
          if (Cell(row, 4) != piece) pieceDebit = pieceCredit = 0;
          piece = Cell(row, 4);
          pieceDebit += CellCents(Cell(row, 6));
          pieceCredit += CellCents(Cell(row, 7));
          ASSERT_EQ(Amounts(row, 10), std::to_string(pieceDebit) + "|" + std::to_string(pieceCredit)) << piece;
        }
      }
      flush();
      EXPECT_EQ(FirstDifference(got, summary ? want : months), "");
    }
  }
}

// The program's own CSV layouts of the statement, the general ledger and the journals, as a
// user opens their exports in LibreOffice Calc: every code, piece, date and label comes back as
// written (a piece "000004" or "(002262)" not read as a number), every amount as its value and
// every column of amounts as numbers.
TEST_F(FiguresTest, TheCsvExportsComeBackFromASpreadsheetAsWritten) {
  struct Export {
    std::string name, csv;
    const char* family;
  };
  std::vector<Export> exports;
  {
    ledgers::AccountStatement s;
    ledgers::AccountStatementOptions o;
    o.account = "51200000";
    o.dateFrom = "C50701";
    o.dateTo = "C60630";
    o.priorCumulation = true;
    o.inEuros = true;
    s.TakeLimits(o.ToRecord());
    ASSERT_TRUE(s.PrepareReport());
    const std::string path = ArtefactPath("ec.csv");
    RunToExport(s, ShippedLayout("EC-CSV"), path);
    exports.push_back({"EC-CSV", path, "statement.txt"});
  }
  {
    ledgers::GeneralLedgers gl;
    ledgers::GeneralLedgerOptions o;
    o.kind = 'T';
    o.dateFrom = "C50701";
    o.dateTo = "C60630";
    o.inEuros = true;
    gl.TakeLimits(o.ToRecord());
    gl.ChooseReportCode("EG-CSV");
    ASSERT_TRUE(gl.PrepareNextLedger());
    const std::string path = ArtefactPath("eg.csv");
    RunToExport(gl, ShippedLayout("EG-CSV"), path);
    exports.push_back({"EG-CSV", path, "ledgers.txt"});
  }
  {
    ledgers::JournalListings j;
    ledgers::JournalListingOptions o;
    o.inEuros = true;
    j.TakeLimits(o.ToRecord());
    ASSERT_TRUE(j.PrepareReport());
    const std::string path = ArtefactPath("ej.csv");
    RunToExport(j, ShippedLayout("EJ-CSV"), path);
    exports.push_back({"EJ-CSV", path, "journals.txt"});
  }
  bool draftPiece = false;
  for (const Export& e : exports) {
    SCOPED_TRACE(e.name);
    const std::vector<std::vector<std::string>> rows = CsvRows(ReadText(e.csv));
    ASSERT_GT(rows.size(), 20u);
    for (const auto& row : rows)
      for (const std::string& cell : row) draftPiece = draftPiece || (cell.size() == 8 && cell[0] == '(');
    const std::string calc =
        test_support::CsvThroughCalc(e.csv, Dir() + "/calc-" + e.name, test_support::NumericVariables(e.family));
    EXPECT_NE(calc.find("CELLS "), std::string::npos) << calc;
    EXPECT_EQ(calc.find("CHANGED"), std::string::npos) << calc.substr(0, 2000);
    EXPECT_EQ(calc.find("TEXT"), std::string::npos) << calc.substr(0, 2000);
  }
  EXPECT_TRUE(draftPiece) << "a draft piece in parentheses was exported";
}

// The journal listing's and the centralising summary's CSV exports as the program ships them write
// each balance as the balance exports do, a number and its side in two cells: no cell holds an
// amount with its side ("1 132.18 Db", which a spreadsheet keeps as text), every pair is its
// debit less its credit, and LibreOffice Calc reads every amount column as numbers, the
// balances' included.
TEST_F(FiguresTest, TheJournalAndSummaryCsvWriteEachBalanceAsANumberAndItsSide) {
  struct Balance {
    const char *debit, *credit, *amount, *side;
  };
  // `sided`: some balances are not zero (the journal's running totals); the summary's are all zero,
  // each journal-month's lines balancing.
  struct Export {
    std::string name, path;
    const char* family;
    bool sided;
    std::vector<Balance> balances;
  };
  std::vector<Export> exports;
  {
    ledgers::JournalListings j;
    ledgers::JournalListingOptions o;
    o.inEuros = true;
    j.TakeLimits(o.ToRecord());
    ASSERT_TRUE(j.PrepareReport());
    const std::string path = ArtefactPath("ej-balances.csv");
    RunToExport(j, ShippedLayout("EJ-CSV"), path);
    exports.push_back({"EJ-CSV", path, "journals.txt", true,
                       {{"TP_DEBIT", "TP_CREDIT", "TP_SOLDEMT", "TP_SOLDEDC"},
                        {"TG_DEBIT", "TG_CREDIT", "TG_SOLDEMT", "TG_SOLDEDC"}}});
  }
  for (const char* choice : {"E", "F", ""}) {
    ledgers::CentralisingSummary r;
    r.optionsText = choice;
    ASSERT_TRUE(r.PrepareReport());
    const std::string path = ArtefactPath(std::string("er-balances") + choice + ".csv");
    RunToExport(r, ShippedLayout("ER-CSV"), path);
    exports.push_back({std::string("ER-CSV ") + choice, path, "summary.txt", false,
                       {{"DEBIT", "CREDIT", "SOLDEMT", "SOLDEDC"},
                        {"TM_DEBIT", "TM_CREDIT", "TM_SOLDEMT", "TM_SOLDEDC"},
                        {"TG_DEBIT", "TG_CREDIT", "TG_SOLDEMT", "TG_SOLDEDC"},
                        {"DEBITF", "CREDITF", "SOLDEFMT", "SOLDEFDC"},
                        {"TM_DEBITF", "TM_CREDITF", "TM_SLDFMT", "TM_SLDFDC"},
                        {"TG_DEBITF", "TG_CREDITF", "TG_SLDFMT", "TG_SLDFDC"},
                        {"DEBITE", "CREDITE", "SOLDEEMT", "SOLDEEDC"},
                        {"TM_DEBITE", "TM_CREDITE", "TM_SLDEMT", "TM_SLDEDC"},
                        {"TG_DEBITE", "TG_CREDITE", "TG_SLDEMT", "TG_SLDEDC"}}});
  }
  static const std::regex withSide("^ *-?[0-9][0-9 ]*[.,][0-9]{2} *(Db|Cr) *$");
  for (const Export& e : exports) {
    SCOPED_TRACE(e.name);
    const std::vector<std::vector<std::string>> rows = CsvRows(ReadText(e.path));
    ASSERT_GT(rows.size(), 20u);
    std::map<std::string, std::size_t> column;
    for (std::size_t i = 0; i < rows[0].size(); ++i) column[Cell(rows[0], i)] = i;
    for (const Balance& b : e.balances)
      for (const char* name : {b.debit, b.credit, b.amount, b.side}) ASSERT_EQ(column.count(name), 1u) << name;
    int balances = 0, sides = 0;
    for (std::size_t r = 1; r < rows.size(); ++r) {
      for (const std::string& cell : rows[r])
        EXPECT_FALSE(std::regex_match(cell, withSide)) << "row " << r << ": '" << cell << "' is a text";
      for (const Balance& b : e.balances) {
        const long long amount = CellCents(Cell(rows[r], column[b.amount]));
        const std::string side = Cell(rows[r], column[b.side]);
        const long long want = CellCents(Cell(rows[r], column[b.debit])) - CellCents(Cell(rows[r], column[b.credit]));
        EXPECT_EQ(side == "Cr" ? -amount : amount, want) << "row " << r << " " << b.amount;
        EXPECT_EQ(side, want > 0 ? "Db" : want < 0 ? "Cr" : "") << "row " << r << " " << b.side;
        ++balances;
        sides += side.empty() ? 0 : 1;
      }
    }
    EXPECT_EQ(sides > 0, e.sided) << sides << " balances of a side among " << balances;
    const std::string calc =
        test_support::CsvThroughCalc(e.path, Dir() + "/calc-balances", test_support::NumericVariables(e.family));
    EXPECT_NE(calc.find("CELLS "), std::string::npos) << calc;
    EXPECT_EQ(calc.find("CHANGED"), std::string::npos) << calc.substr(0, 2000);
    EXPECT_EQ(calc.find("TEXT"), std::string::npos) << calc.substr(0, 2000);
  }
}

// The centralising summary: the journal-month totals of the general file, draft and closed,
// in euros, in francs, and in the main currency when the window gives no choice.
TEST_F(FiguresTest, TheCentralisingSummaryInBothCurrencies) {
  for (const char* choice : {"E", "F", ""}) {
    SCOPED_TRACE(choice);
    ledgers::CentralisingSummary r;
    r.optionsText = choice;
    ASSERT_TRUE(r.HasRecords());
    ASSERT_TRUE(r.PrepareReport());
    const std::string csv = RunToExport(r, Layout("ER-CSV"), ArtefactPath("er.csv"));
    std::vector<std::string> got;
    // The month totals run from each month's first line.
    std::string month;
    long long monthDebit = 0, monthCredit = 0;
    for (const auto& row : CsvRows(csv)) {
      if (Cell(row, 0) == "R") {
        got.push_back("R|" + Cell(row, 1) + "/" + Cell(row, 2) + "|" + Cell(row, 3) + "|" +
                      (Cell(row, 4) == "Brouillard" ? "B" : "C") + "|" + Amounts(row, 5));
        if (Cell(row, 1) + Cell(row, 2) != month) monthDebit = monthCredit = 0;
        month = Cell(row, 1) + Cell(row, 2);
        monthDebit += CellCents(Cell(row, 5));
        monthCredit += CellCents(Cell(row, 6));
        EXPECT_EQ(Amounts(row, 7), std::to_string(monthDebit) + "|" + std::to_string(monthCredit)) << got.back();
      }
      if (Cell(row, 0) == "TG") got.push_back("TG|" + Amounts(row, 1));
    }
    // The dossier's main currency is the euro.
    const std::vector<std::string> want = Lines(Figures({"central", Folder(), "FIG", *choice == 'F' ? "F" : "E"}));
    EXPECT_EQ(FirstDifference(got, want), "");
  }
}

// The summary's shipped CSV read back row by row over two journal-months whose totals do not balance (a
// balanced dossier has every balance at zero, whichever cell it is written to): each row carries its
// journal-month's totals, its month's running totals and the running grand totals, each pair with its balance
// as a number and its side, in the main currency, in francs and in euros.
class SummaryCsvTest : public LedgerCoreTest {
 protected:
  void SetUp() override {
    LedgerCoreTest::SetUp();
    OpenYearDemo("SRC", 400);
  }
};

TEST_F(SummaryCsvTest, EachRowCarriesItsMonthsAndTheGrandRunningTotals) {
  const test_support::SetUpPermit permit("totaux mis en place");
  // The headers of the first two months kept, each with totals of its own; the others blanked, so not shown.
  struct Header {
    std::string month, journal;
    long long francs[2], euros[2];
  };
  std::vector<Header> kept;
  std::set<std::string> months;
  Table& c10 = *TableC10;
  auto zone = [](const long long* cents) {
    return std::string(FormatNumber(14, 2, false, FromCents(cents[0]))) + FormatNumber(14, 2, false, FromCents(cents[1]));
  };
  ASSERT_TRUE(c10.Seek("C10CODE", "C"));
  for (bool on = true; on && c10.GetField(1)[0] == 'C'; on = c10.Skip(1)) {
    if (c10.IsDeleted()) continue;
    const std::string code = c10.GetField(2);
    const std::string month = code.substr(0, 4);
    if (months.size() < 2) months.insert(month);
    Header h{month, code.substr(4, 3), {0, 0}, {0, 0}};
    if (months.count(month)) {
      const long long k = static_cast<long long>(kept.size()) + 1;
      h.francs[0] = 100000 * k + 1;
      h.francs[1] = 30000 * k;
      h.euros[0] = 15000 * k + 7;
      h.euros[1] = 4000 * k + 3;
      kept.push_back(h);
    }
    const bool shown = months.count(month) != 0;
    c10.BeginRewrite();
    ASSERT_TRUE(c10.PutField(4, shown ? zone(h.francs).c_str() : ""));
    ASSERT_TRUE(c10.PutField(5, shown ? zone(h.euros).c_str() : ""));
    ASSERT_TRUE(c10.EndRewrite(true));
  }
  ASSERT_EQ(months.size(), 2u);
  ASSERT_GE(kept.size(), 4u) << "two journals a month at least";

  for (const char* choice : {"", "F", "E"}) {
    SCOPED_TRACE(std::string("choice '") + choice + "'");
    ledgers::CentralisingSummary r;
    r.optionsText = choice;
    ASSERT_TRUE(r.PrepareReport());
    const std::vector<std::vector<std::string>> rows =
        CsvRows(RunToExport(r, ShippedLayout("ER-CSV"), ArtefactPath(std::string("er-rows") + choice + ".csv")));
    ASSERT_EQ(rows.size(), kept.size() + 1) << "a title row, then one row per journal-month";
    std::map<std::string, std::size_t> column;
    for (std::size_t i = 0; i < rows[0].size(); ++i) column[Cell(rows[0], i)] = i;
    auto cents = [&](const std::vector<std::string>& row, const char* name) {
      EXPECT_EQ(column.count(name), 1u) << name;
      return CellCents(Cell(row, column[name]));
    };
    // A balance's amount and side cells against its debit and credit.
    auto balance = [&](const std::vector<std::string>& row, const char* amount, const char* side, long long debit,
                       long long credit) {
      const long long want = debit - credit;
      EXPECT_EQ(cents(row, amount), want < 0 ? -want : want) << amount;
      EXPECT_EQ(Cell(row, column[side]), want > 0 ? "Db" : want < 0 ? "Cr" : "") << side;
    };
    // The three amounts of a row: the journal-month's, the month's and the grand running totals; `names` the
    // cells' names for each, debit, credit, balance and side.
    struct Set {
      const char* names[3][4];
      bool euros;
    };
    const bool mainEuros = *choice != 'F';
    const Set sets[] = {
        {{{"DEBIT", "CREDIT", "SOLDEMT", "SOLDEDC"},
          {"TM_DEBIT", "TM_CREDIT", "TM_SOLDEMT", "TM_SOLDEDC"},
          {"TG_DEBIT", "TG_CREDIT", "TG_SOLDEMT", "TG_SOLDEDC"}},
         mainEuros},
        {{{"DEBITF", "CREDITF", "SOLDEFMT", "SOLDEFDC"},
          {"TM_DEBITF", "TM_CREDITF", "TM_SLDFMT", "TM_SLDFDC"},
          {"TG_DEBITF", "TG_CREDITF", "TG_SLDFMT", "TG_SLDFDC"}},
         false},
        {{{"DEBITE", "CREDITE", "SOLDEEMT", "SOLDEEDC"},
          {"TM_DEBITE", "TM_CREDITE", "TM_SLDEMT", "TM_SLDEDC"},
          {"TG_DEBITE", "TG_CREDITE", "TG_SLDEMT", "TG_SLDEDC"}},
         true},
    };
    for (const Set& set : sets) {
      long long month[2] = {0, 0}, grand[2] = {0, 0};
      std::string current;
      for (std::size_t i = 0; i < kept.size(); ++i) {
        const Header& h = kept[i];
        const std::vector<std::string>& row = rows[i + 1];
        SCOPED_TRACE("row " + std::to_string(i + 1) + " " + set.names[0][0]);
        EXPECT_EQ(Cell(row, column["JOURNAL"]), std::string(AllTrim(h.journal.c_str())));
        if (h.month != current) month[0] = month[1] = 0;
        current = h.month;
        const long long* own = set.euros ? h.euros : h.francs;
        for (int side = 0; side < 2; ++side) {
          month[side] += own[side];
          grand[side] += own[side];
        }
        const long long* amounts[3] = {own, month, grand};
        for (int a = 0; a < 3; ++a) {
          EXPECT_EQ(cents(row, set.names[a][0]), amounts[a][0]) << set.names[a][0];
          EXPECT_EQ(cents(row, set.names[a][1]), amounts[a][1]) << set.names[a][1];
          balance(row, set.names[a][2], set.names[a][3], amounts[a][0], amounts[a][1]);
        }
      }
    }
  }
}

}  // namespace
}  // namespace ledgers_test
