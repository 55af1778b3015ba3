// The options of the ledger reports as tables of cases on small dossiers built line by line (a
// two-line generated dossier of 2026 in euros, then the lines of each case): the account
// statement's five matching filters with constant 044 at NON, MIN and VID and the list of accounts
// whose matchings are left whole from the dossier INI, the program INI or the default; 27
// collective accounts in the statement, the general ledgers and the journal summary; a
// journal-month of zero totals in the summary; the cut-off of constant 031 in the centralising
// summary; labels 2 and 3 with constant 065 and the account shown as constant 019 asks.
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/index_defs.h"
#include "entry/core/validation.h"
#include "platform/dbase/idapi.h"
#include "ledger_fixture.h"
#include "reports/ledgers/core/account_statement.h"
#include "reports/ledgers/core/centralising_summary.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "reports/ledgers/core/journal_listings.h"
#include "reports/engine/core/report_texts.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"

namespace ledgers_test {
namespace {

using L = LigneEcriture;
using T = LigneTri;

std::string Cell(const std::vector<std::string>& row, std::size_t i) {
  return i < row.size() ? std::string(AllTrim(row[i].c_str())) : std::string();
}
std::string Cents(const std::vector<std::string>& row, std::size_t i) { return std::to_string(CellCents(Cell(row, i))); }

// A line of a case: stored month and day, journal, piece, account, sense, euros in cents, the
// letter in euros, labels 2 and 3.
struct Seed {
  const char* month;
  const char* day;
  const char* journal;
  const char* piece;
  const char* account;
  char sense;
  long long euros;
  const char* letter = "";
  const char* label2 = "";
  const char* label3 = "";
  char kind = 'Z';
  const char* general = "";
};

class OptionsTest : public LedgerCoreTest {
 protected:
  void SetUp() override {
    LedgerCoreTest::SetUp();
    DemoOptions o;
    o.code = "OPT";
    o.lines = 2;
    o.currency = DossierCurrency::EuroMain;
    OpenDemo(o);
  }

  // Appends a draft line and its sort record.
  void Add(const Seed& s) {
    const test_support::SetUpPermit permit("ligne mise en place");
    Table& c50 = *TableC50;
    ASSERT_TRUE(c50.AppendBlank());
    c50.PutField(L::BCLE, std::string(1, s.kind).c_str());
    c50.PutField(L::BCG, s.general);
    c50.PutField(L::BMOIS, s.month);
    c50.PutField(L::BJAL, s.journal);
    c50.PutField(L::BPIECE, s.piece);
    c50.PutField(L::BREC, s.piece);
    c50.PutField(L::BNUM, StrZero(++number_, 4));
    c50.PutField(L::BNUMA, "0001");
    c50.PutField(L::BJOUR, s.day);
    c50.PutField(L::BCODE, s.account);
    c50.PutField(L::BCLIB, "0");
    c50.PutField(L::BLIB, "Ligne");
    c50.PutField(L::BLIB2, s.label2);
    c50.PutField(L::BLIB3, s.label3);
    c50.PutField(L::BEURO, "O");
    c50.PutField(L::BSENS, std::string(1, s.sense).c_str());
    c50.PutFieldNum(L::BMONTANTF, Round(2, static_cast<double>(s.euros) / 100 * 6.55957));
    c50.PutFieldNum(L::BMONTANTE, static_cast<double>(s.euros) / 100);
    c50.PutField(L::BLETE, s.letter);
    ASSERT_TRUE(c50.InsertRecord());
    ASSERT_TRUE(c50.Commit());
    ASSERT_TRUE(AppendLigneTri(c50, T::kDraft, *TableC60));
  }
  void Add(const std::vector<Seed>& seeds) {
    for (const Seed& s : seeds) Add(s);
  }

  // A record of the general file (kind, code, name, field 4).
  void AddCode(const std::string& kind, const std::string& code, const std::string& name, const std::string& zone) {
    Table& c10 = *TableC10;
    ASSERT_TRUE(c10.AppendBlank());
    c10.PutField(1, kind.c_str());
    c10.PutField(2, code.c_str());
    c10.PutField(3, name.c_str());
    c10.PutField(4, zone.c_str());
    ASSERT_TRUE(c10.InsertRecord());
    ASSERT_TRUE(c10.Commit());
  }

  // An account of the chart (code, name).
  void AddAccount(const std::string& code, const std::string& name) {
    Table& c20 = *TableC20;
    ASSERT_TRUE(c20.AppendBlank());
    c20.PutField(1, code.c_str());
    c20.PutField(2, name.c_str());
    ASSERT_TRUE(c20.InsertRecord());
    ASSERT_TRUE(c20.Commit());
  }

  // The statement's export as rows "L|day|debit|credit|letter", "AE|d|c", "COLL|d|c", "TG|d|c".
  // With `letter`, the first line's type letter comes first ("D:").
  std::string Statement(const ledgers::AccountStatementOptions& o, bool letter = false) {
    ledgers::AccountStatement s;
    s.TakeLimits(o.ToRecord());
    if (!s.PrepareReport()) return "empty";
    const std::string type = letter ? s.lineType.substr(0, 1) + ": " : "";
    const std::string csv = RunToExport(s, ReadText(DataPath("C-Etat-EC-CSV.txt")), ArtefactPath("options-ec.csv"));
    std::string out;
    for (const auto& row : CsvRows(csv)) {
      const std::string kind = Cell(row, 0);
      if (!out.empty()) out += " ";
      if (kind == "L")
        out += "L|" + Cell(row, 1).substr(0, 2) + "|" + Cents(row, 4) + "|" + Cents(row, 5) + "|" + Cell(row, 6);
      else
        out += kind + "|" + Cents(row, 1) + "|" + Cents(row, 2);
    }
    return type + out;
  }

  // The journal listing of a month selector and a journal in euros through the export layout
  // (detail or summary), or through `layout`; "" when it has nothing to show.
  std::string JournalListingCsv(const std::string& month, const std::string& journal, bool summary,
                                const std::string& name, const std::string& layout = "") {
    ledgers::JournalListings j;
    ledgers::JournalListingOptions o;
    o.monthSelector = month;
    o.journal = journal;
    o.summary = summary;
    o.inEuros = true;
    j.TakeLimits(o.ToRecord());
    if (!j.PrepareReport()) return "";
    return RunToExport(j, !layout.empty() ? layout : ReadText(DataPath(summary ? "C-Etat-EJR-CSV.txt" : "C-Etat-EJ-CSV.txt")),
                       ArtefactPath(name));
  }
  int number_ = 0;
};

// The lines of account CTEST001 around March 2026: a matching "A" with a line before the period, an
// unmatched line, a matching "B" completed after the period (an orphan letter), a matching "C"
// inside it.
const std::vector<Seed> kStatementLines = {
    {"C602", "10", "OD ", "900001", "CTEST001", 'D', 100000, "A"},
    {"C603", "05", "OD ", "900002", "CTEST001", 'D', 20000, ""},
    {"C603", "10", "OD ", "900003", "CTEST001", 'C', 100000, "A"},
    {"C603", "15", "OD ", "900004", "CTEST001", 'D', 30000, "B"},
    {"C604", "05", "OD ", "900005", "CTEST001", 'C', 30000, "B"},
    {"C603", "20", "OD ", "900006", "CTEST001", 'D', 5000, "C"},
    {"C603", "25", "OD ", "900007", "CTEST001", 'C', 5000, "C"},
};

// The five filters with constant 044 at NON, MIN and VID: an orphan letter counts as unmatched for
// filters 2 and 4, shows in lower case with MIN and blank with VID; filters 4 and 5 total the lines
// they leave out (AE, added into the grand total), 1 to 3 never do.
TEST_F(OptionsTest, StatementFiltersWithConstant044) {
  Add(kStatementLines);
  const struct Case {
    const char* c044;
    char filter;
    const char* letter;
    const char* rows;
  } cases[] = {
      {"NON", '1', "", "L|05|20000|0| L|10|0|100000|A L|15|30000|0|B L|20|5000|0|C L|25|0|5000|C TG|55000|105000"},
      {"NON", '2', "", "L|05|20000|0| TG|20000|0"},
      {"NON", '3', "", "L|10|0|100000|A L|15|30000|0|B L|20|5000|0|C L|25|0|5000|C TG|35000|105000"},
      {"NON", '3', "C", "L|20|5000|0|C L|25|0|5000|C TG|5000|5000"},
      {"NON", '4', "", "L|05|20000|0| AE|35000|105000 TG|55000|105000"},
      {"NON", '5', "", "L|10|0|100000|A L|15|30000|0|B L|20|5000|0|C L|25|0|5000|C AE|20000|0 TG|55000|105000"},
      {"MIN", '1', "", "L|05|20000|0| L|10|0|100000|A L|15|30000|0|b L|20|5000|0|C L|25|0|5000|C TG|55000|105000"},
      {"MIN", '2', "", "L|05|20000|0| L|15|30000|0|b TG|50000|0"},
      {"MIN", '3', "", "L|10|0|100000|A L|15|30000|0|b L|20|5000|0|C L|25|0|5000|C TG|35000|105000"},
      {"MIN", '4', "", "L|05|20000|0| L|15|30000|0|b AE|5000|105000 TG|55000|105000"},
      {"MIN", '5', "", "L|10|0|100000|A L|15|30000|0|b L|20|5000|0|C L|25|0|5000|C AE|20000|0 TG|55000|105000"},
      {"VID", '2', "", "L|05|20000|0| L|15|30000|0| TG|50000|0"},
      {"VID", '4', "", "L|05|20000|0| L|15|30000|0| AE|5000|105000 TG|55000|105000"},
      {"VID", '5', "", "L|10|0|100000|A L|15|30000|0| L|20|5000|0|C L|25|0|5000|C AE|20000|0 TG|55000|105000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.c044) + " filter " + c.filter + " " + c.letter);
    SetConstant(44, c.c044);
    ledgers::AccountStatementOptions o;
    o.account = "CTEST001";
    o.dateFrom = "C60301";
    o.dateTo = "C60331";
    o.letteringFilter = c.filter;
    o.matchingLetter = c.letter;
    o.matchingLetter.resize(4, ' ');
    o.inEuros = true;
    EXPECT_EQ(Statement(o), c.rows);
  }
}

// With "Avec Sous-Total par Journal et par Mois" each journal-month of the account makes one line
// ("--" for the day), its debits and credits summed, in the order month, then journal.
TEST_F(OptionsTest, StatementMonthlySubtotals) {
  Add(kStatementLines);
  Add({"C603", "18", "VE ", "900008", "CTEST001", 'D', 7000, ""});
  ledgers::AccountStatementOptions o;
  o.account = "CTEST001";
  o.dateFrom = "C60201";
  o.dateTo = "C60430";
  o.monthlySubtotals = true;
  o.inEuros = true;
  EXPECT_EQ(Statement(o), "L|--|100000|0| L|--|55000|105000| L|--|7000|0| L|--|0|30000| TG|162000|135000");
  // Without them, line by line.
  o.monthlySubtotals = false;
  const std::string lines = Statement(o);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), 'L'), 8) << lines;
}

// The accounts whose matchings are left whole: the dossier INI's list first, the program INI's
// when the dossier's is blank, else the bank and cash accounts. A listed account has no orphan
// letter: with MIN and filter 2 its matched line "B" stays out.
TEST_F(OptionsTest, LettragesSaufFromTheDossierIniThenTheProgramIniThenTheDefault) {
  Add(kStatementLines);
  for (const Seed& s : kStatementLines) {
    Seed bank = s;
    bank.account = "51200000";
    bank.piece = "910000";
    Add(bank);
  }
  SetConstant(44, "MIN");
  const std::string orphan = "L|05|20000|0| L|15|30000|0|b TG|50000|0", whole = "L|05|20000|0| TG|20000|0";
  const struct Case {
    const char* dossierIni;
    const char* programIni;
    const char* account;
    std::string rows;
  } cases[] = {
      {"-CTE-", "", "CTEST001", whole},
      {"", "-CTE-", "CTEST001", whole},
      {"-411-", "-CTE-", "CTEST001", orphan},
      {"", "", "CTEST001", orphan},
      {"", "", "51200000", whole},
      {"", "-411-", "51200000", orphan},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.dossierIni) + " / " + c.programIni + " / " + c.account);
    ASSERT_TRUE(DossierIniSet("Lettrages", "LettragesSauf", c.dossierIni));
    ASSERT_TRUE(IniSetString("LettragesSauf", c.programIni));
    ledgers::AccountStatementOptions o;
    o.account = c.account;
    o.dateFrom = "C60301";
    o.dateTo = "C60331";
    o.letteringFilter = '2';
    o.inEuros = true;
    EXPECT_EQ(Statement(o), c.rows);
  }
}

// Many orphan letters on one account: every one of them is listed (the list grows).
TEST_F(OptionsTest, EveryOrphanLetterOfAnAccountIsListed) {
  SetConstant(44, "MIN");
  std::vector<Seed> seeds;
  static std::vector<std::string> letters;
  letters.clear();
  for (int i = 0; i < 40; ++i) letters.push_back(std::string(1, static_cast<char>('A' + i / 26)) + static_cast<char>('A' + i % 26));
  for (const std::string& letter : letters) {
    seeds.push_back({"C603", "12", "OD ", "900100", "CMANY001", 'D', 1000, letter.c_str()});
    seeds.push_back({"C605", "12", "OD ", "900200", "CMANY001", 'C', 1000, letter.c_str()});
  }
  Add(seeds);
  ledgers::AccountStatement s;
  ledgers::AccountStatementOptions o;
  o.account = "CMANY001";
  o.dateFrom = "C60301";
  o.dateTo = "C60331";
  o.letteringFilter = '2';
  o.inEuros = true;
  s.TakeLimits(o.ToRecord());
  ASSERT_TRUE(s.PrepareReport());
  EXPECT_EQ(s.Orphans().Count(), 40u);
  const std::string rows = Statement(o);
  EXPECT_NE(rows.find("L|12|1000|0|an"), std::string::npos) << rows;
  EXPECT_NE(rows.find("TG|40000|0"), std::string::npos) << rows;
}

// 27 collective accounts ("0" and "A" to "Z"): the 27th in code order, "Z", is a collective like
// the others: the statement of its account sums its auxiliary lines on one line, the general
// ledgers list its ledger, the journal summary puts its auxiliary lines on its account.
TEST_F(OptionsTest, TwentySevenCollectives) {
  ASSERT_TRUE(TableC10->Seek("C10CODE", "B"));
  AddCode("B", "0", "Collectif 0", "46800000");
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (letter == 'C' || letter == 'F') continue;  // the dossier's customers and suppliers
    AddCode("B", std::string(1, letter), std::string("Collectif ") + letter, std::string("467000") + StrZero(letter - 'A', 2));
  }
  AddCode("J", "TS ", "Journal des tests", "O");
  const std::string zAccount = "46700025";
  AddAccount("ZEBRE001", "Zebre");
  AddAccount("ZORRO001", "Zorro");
  Add({{"C603", "04", "TS ", "920001", "ZEBRE001", 'D', 12000},
       {"C603", "04", "TS ", "920001", "70600000", 'C', 12000},
       {"C603", "06", "TS ", "920002", "ZORRO001", 'D', 3000},
       {"C603", "06", "TS ", "920002", "70600000", 'C', 3000}});
  EXPECT_EQ(ledgers::CollectiveLetters(*TableC10).size(), 27u);

  // The statement of Z's account: one collective line.
  ledgers::AccountStatementOptions so;
  so.account = zAccount;
  so.dateFrom = "C60301";
  so.dateTo = "C60331";
  so.inEuros = true;
  EXPECT_EQ(Statement(so), "COLL|15000|0 TG|15000|0");

  // The general ledgers of "Tous": general, result, then every collective, "Z" last.
  ledgers::GeneralLedgers gl;
  ledgers::GeneralLedgerOptions go;
  go.kind = 'T';
  go.dateFrom = "C60301";
  go.dateTo = "C60331";
  go.inEuros = true;
  gl.TakeLimits(go.ToRecord());
  ASSERT_EQ(gl.ledgerSelection.size(), 29u);
  EXPECT_EQ(gl.ledgerSelection.back(), 'Z');
  ledgers::GeneralLedgerOptions zo = go;
  zo.kind = 'A';
  zo.collectives = "Z";
  gl.TakeLimits(zo.ToRecord());
  gl.ChooseReportCode("EG-CSV");
  ASSERT_TRUE(gl.PrepareNextLedger());
  const std::string csv = RunToExport(gl, ReadText(DataPath("C-Etat-EG-CSV.txt")), ArtefactPath("options-gl-z.csv"));
  std::string accounts;
  for (const auto& row : CsvRows(csv))
    if (Cell(row, 0) == "B") accounts += Cell(row, 1) + " ";
  EXPECT_EQ(accounts, "ZEBRE001 ZORRO001 ");

  // The journal summary of March in the journal TS.
  ledgers::JournalListings j;
  ledgers::JournalListingOptions jo;
  jo.monthSelector = "C603";
  jo.journal = "TS ";
  jo.summary = true;
  jo.inEuros = true;
  j.TakeLimits(jo.ToRecord());
  ASSERT_TRUE(j.PrepareReport());
  std::string summary;
  for (const auto& e : j.Block()) summary += e.code + "|" + std::to_string(e.debit) + "|" + std::to_string(e.credit) + " ";
  EXPECT_EQ(summary, zAccount + "|15000|0 70600000|0|15000 ");
}

// A collective account's statement and general ledger: its auxiliary accounts' lines of the period
// that pass the filter make one collective line, those before it the cumulation, those the filter
// leaves out (4 and 5) the other-lines total; the first line's letter says which the block opens
// with.
TEST_F(OptionsTest, CollectiveLines) {
  AddCode("B", "Q", "Collectif Q", "46900000");
  AddAccount("46900000", "Clients divers Q");
  AddAccount("QTEST001", "Q un");
  AddAccount("QTEST002", "Q deux");
  Add({{"C602", "10", "OD ", "960001", "QTEST001", 'D', 100000, "A"},
       {"C603", "05", "OD ", "960002", "QTEST001", 'C', 100000, "A"},
       {"C603", "08", "OD ", "960003", "QTEST002", 'D', 50000, ""},
       {"C603", "12", "OD ", "960004", "QTEST002", 'C', 20000, "B"},
       {"C604", "02", "OD ", "960005", "QTEST002", 'D', 20000, "B"}});
  const struct Case {
    char filter;
    bool prior;
    const char* letter;
    const char* statement;
  } cases[] = {
      {'1', false, "", "E: COLL|50000|120000 TG|50000|120000"},
      {'1', true, "", "I: CA|100000|0 COLL|50000|120000 TG|150000|120000"},
      {'2', false, "", "E: COLL|50000|0 TG|50000|0"},
      {'3', false, "A", "E: COLL|0|100000 TG|0|100000"},
      {'4', false, "", "F: COLL|50000|0 AE|0|120000 TG|50000|120000"},
      {'5', true, "", "J: CA|100000|0 COLL|0|120000 AE|50000|0 TG|150000|120000"},
      {'5', false, "Z", "F: COLL|0|120000 AE|50000|0 TG|50000|120000"},
      {'3', true, "Z", "G: CA|100000|0 TG|100000|0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.filter) + (c.prior ? " prior" : "") + " " + c.letter);
    ledgers::AccountStatementOptions o;
    o.account = "46900000";
    o.dateFrom = "C60301";
    o.dateTo = "C60331";
    o.priorCumulation = c.prior;
    o.letteringFilter = c.filter;
    o.matchingLetter = c.letter;
    o.matchingLetter.resize(4, ' ');
    o.inEuros = true;
    EXPECT_EQ(Statement(o, true), c.statement);
  }

  // The general ledger of the collective's account: its line for the auxiliary accounts.
  ledgers::GeneralLedgers gl;
  ledgers::GeneralLedgerOptions go;
  go.kind = 'G';
  go.accountFrom = "46900000";
  go.accountTo = "46900000";
  go.dateFrom = "C60301";
  go.dateTo = "C60331";
  go.priorCumulation = true;
  go.inEuros = true;
  gl.TakeLimits(go.ToRecord());
  gl.ChooseReportCode("EG-CSV");
  ASSERT_TRUE(gl.PrepareNextLedger());
  EXPECT_EQ(gl.lineType.substr(0, 1), "I");
  const std::string csv = RunToExport(gl, ReadText(DataPath("C-Etat-EG-CSV.txt")), ArtefactPath("options-gl-q.csv"));
  std::string rows;
  for (const auto& row : CsvRows(csv)) {
    if (!rows.empty()) rows += " ";
    rows += Cell(row, 0) + (Cell(row, 0) == "B" ? "|" + Cell(row, 1) : "|" + Cents(row, 1) + "|" + Cents(row, 2));
  }
  EXPECT_EQ(rows, "B|46900000 CA|100000|0 COLL|50000|120000 SC|150000|120000 TG|150000|120000");
}

// The general ledger of March: a line on its first day and one on its last are in it, the day
// before goes into the cumulation and the day after nowhere; each account opens on the first line
// it has in the period, whether or not lines come before; the running balance follows every line.
TEST_F(OptionsTest, TheGeneralLedgersPeriodHoldsItsFirstAndLastDays) {
  for (const char* code : {"60611000", "60612000", "60613000", "60614000", "60615000"}) AddAccount(code, "Bornes");
  Add({{"C602", "28", "OD ", "910001", "60611000", 'D', 1000},
       {"C603", "01", "OD ", "910002", "60611000", 'D', 2000},
       {"C603", "31", "OD ", "910003", "60611000", 'C', 500},
       {"C604", "01", "OD ", "910004", "60611000", 'D', 7000},
       {"C603", "31", "OD ", "910005", "60612000", 'D', 300},
       {"C602", "28", "OD ", "910006", "60613000", 'C', 100},
       {"C604", "01", "OD ", "910007", "60614000", 'D', 900},
       {"C603", "01", "OD ", "910008", "60615000", 'D', 40}});
  ledgers::GeneralLedgerOptions go;
  go.kind = 'G';
  go.accountFrom = "60611000";
  go.accountTo = "60615000";
  go.dateFrom = "C60301";
  go.dateTo = "C60331";
  go.priorCumulation = true;
  go.inEuros = true;
  const std::string csv = GeneralLedgerCsv(go, "options-gl-days.csv");
  std::string rows;
  for (const auto& row : CsvRows(csv)) {
    const std::string kind = Cell(row, 0);
    if (kind == "SC" || ((kind == "CA" || kind == "AE") && Cents(row, 1) == "0" && Cents(row, 2) == "0")) continue;
    if (!rows.empty()) rows += " ";
    if (kind == "B")
      rows += "B|" + Cell(row, 1);
    else if (kind == "L")
      rows += "L|" + Cell(row, 1).substr(0, 5) + "|" + Cents(row, 4) + "|" + Cents(row, 5) + "|" + Cents(row, 7) +
              Cell(row, 8);
    else
      rows += kind + "|" + Cents(row, 1) + "|" + Cents(row, 2);
  }
  EXPECT_EQ(rows,
            "B|60611000 CA|1000|0 L|01/03|2000|0|3000Db L|31/03|0|500|2500Db "
            "B|60612000 L|31/03|300|0|300Db "
            "B|60613000 CA|0|100 "
            "B|60615000 L|01/03|40|0|40Db "
            "TG|3340|600");
}

// The statement's period from its first to its last day: a line on each is in it, the day before
// goes into the cumulation (or nowhere) and the day after nowhere; a matching completed on the
// last day is whole, one completed the day after is orphan; a last day inside a month ends the
// month's subtotal there; a collective's line sums the same days.
TEST_F(OptionsTest, TheStatementsPeriodHoldsItsFirstAndLastDays) {
  AddCode("B", "Q", "Collectif Q", "46900000");
  AddAccount("46900000", "Clients divers Q");
  for (const char* account : {"CBORN001", "QBORN001"})
    Add({{"C602", "28", "OD ", "971001", account, 'D', 1000, "F"},
         {"C603", "01", "OD ", "971002", account, 'D', 2000, "E"},
         {"C603", "31", "OD ", "971003", account, 'C', 4000, "F"},
         {"C604", "01", "OD ", "971004", account, 'C', 8000, "E"}});
  SetConstant(44, "MIN");
  const struct Case {
    const char* account;
    const char* from;
    const char* to;
    bool prior, monthly;
    char filter;
    const char* rows;
  } cases[] = {
      {"CBORN001", "C60301", "C60331", false, false, '1', "L|01|2000|0|e L|31|0|4000|F TG|2000|4000"},
      {"CBORN001", "C60301", "C60331", true, false, '1', "CA|1000|0 L|01|2000|0|e L|31|0|4000|F TG|3000|4000"},
      {"CBORN001", "C60301", "C60331", false, false, '2', "L|01|2000|0|e TG|2000|0"},
      {"CBORN001", "C60301", "C60331", false, false, '4', "L|01|2000|0|e AE|0|4000 TG|2000|4000"},
      {"CBORN001", "C60302", "C60331", true, false, '1', "CA|3000|0 L|31|0|4000|F TG|3000|4000"},
      {"CBORN001", "C60301", "C60330", false, false, '2', "L|01|2000|0|e TG|2000|0"},
      {"CBORN001", "C60301", "C60330", false, false, '1', "L|01|2000|0|e TG|2000|0"},
      {"CBORN001", "C60301", "C60330", false, true, '1', "L|--|2000|0| TG|2000|0"},
      {"CBORN001", "C60301", "C60331", false, true, '1', "L|--|2000|4000| TG|2000|4000"},
      {"CBORN001", "C60401", "C60401", true, false, '1', "CA|3000|4000 L|01|0|8000|E TG|3000|12000"},
      {"CBORN001", "C60301", "C60331", false, false, '5', "L|01|2000|0|e L|31|0|4000|F TG|2000|4000"},
      {"46900000", "C60301", "C60331", false, false, '1', "COLL|2000|4000 TG|2000|4000"},
      {"46900000", "C60301", "C60331", true, false, '1', "CA|1000|0 COLL|2000|4000 TG|3000|4000"},
      {"46900000", "C60302", "C60330", true, false, '1', "CA|3000|0 TG|3000|0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.account) + " " + c.from + "-" + c.to + (c.prior ? " prior" : "") +
                 (c.monthly ? " monthly" : "") + " filter " + c.filter);
    ledgers::AccountStatementOptions o;
    o.account = c.account;
    o.dateFrom = c.from;
    o.dateTo = c.to;
    o.priorCumulation = c.prior;
    o.monthlySubtotals = c.monthly;
    o.letteringFilter = c.filter;
    o.inEuros = true;
    EXPECT_EQ(Statement(o), c.rows);
  }
}

// The journal listings of a month, of a calendar year and of every month, for one journal and
// for all: a line on the first day and one on the last are listed, the day before and the day
// after are not, in the detail and in the summary.
TEST_F(OptionsTest, TheJournalListingsSelectionHoldsItsFirstAndLastDays) {
  AddCode("J", "TS ", "Journal des tests", "O");
  AddCode("J", "TU ", "Journal des tests 2", "O");
  const struct Day {
    const char* month;
    const char* day;
    const char* journal;
    const char* piece;
    long long euros;
  } days[] = {
      {"C512", "31", "TS ", "972001", 1},   {"C601", "01", "TS ", "972002", 2},   {"C602", "28", "TS ", "972003", 4},
      {"C603", "01", "TS ", "972004", 8},   {"C603", "31", "TS ", "972005", 16},  {"C604", "01", "TS ", "972006", 32},
      {"C612", "31", "TS ", "972007", 64},  {"C701", "01", "TS ", "972008", 128}, {"C603", "01", "TU ", "972104", 256},
      {"C603", "31", "TU ", "972105", 512},
  };
  for (const Day& d : days)
    Add({{d.month, d.day, d.journal, d.piece, "62700000", 'D', d.euros * 100},
         {d.month, d.day, d.journal, d.piece, "51200000", 'C', d.euros * 100}});
  const struct Case {
    const char* month;
    const char* journal;
    bool summary;
    const char* rows;
  } cases[] = {
      {"C603", "TS ", false, "972004 972005"},
      {"C603", "   ", false, "972004 972005 972104 972105"},
      {"C603", "TU ", false, "972104 972105"},
      {"C6  ", "TS ", false, "972002 972003 972004 972005 972006 972007"},
      {"C6  ", "   ", false, "972002 972003 972004 972005 972104 972105 972006 972007"},
      {"C5  ", "TS ", false, "972001"},
      {"C7  ", "   ", false, "972008"},
      {"    ", "TS ", false, "972001 972002 972003 972004 972005 972006 972007 972008"},
      {"C603", "TS ", true, "03/26|TS|2400"},
      {"C603", "   ", true, "03/26|TS|2400 03/26|TU|76800"},
      {"C6  ", "TS ", true, "01/26|TS|200 02/26|TS|400 03/26|TS|2400 04/26|TS|3200 12/26|TS|6400"},
      {"C7  ", "TS ", true, "01/27|TS|12800"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.month + "' '" + c.journal + "'" + (c.summary ? " summary" : ""));
    const std::string csv = JournalListingCsv(c.month, c.journal, c.summary, "options-ej-days.csv");
    ASSERT_FALSE(csv.empty());
    // The test's journals only (the dossier's own lines are in others); a summary as each
    // journal-month's total debit.
    std::string rows, key;
    long long debit = 0;
    auto flush = [&] {
      if (!key.empty()) rows += (rows.empty() ? "" : " ") + key + "|" + std::to_string(debit);
    };
    for (const auto& row : CsvRows(csv)) {
      const std::string journal = Cell(row, 3);
      if (journal != "TS" && journal != "TU") continue;
      if (!c.summary) {
        const std::string piece = Cell(row, 4).substr(1, 6);
        if (rows.size() < 6 || rows.substr(rows.size() - 6) != piece) rows += (rows.empty() ? "" : " ") + piece;
        continue;
      }
      const std::string k = Cell(row, 1) + "/" + Cell(row, 2) + "|" + journal;
      if (k != key) {
        flush();
        key = k;
        debit = 0;
      }
      debit += CellCents(Cell(row, 5));
    }
    flush();
    EXPECT_EQ(rows, c.rows);
  }
}

// The reports run again after the validation of a journal-month: the journal listing of the month
// lists the same lines and totals, now closed (pieces without parentheses); its summary is
// unchanged; the centralising summary moves the month's totals from the draft line to the closed
// one; the statement shows the same lines; the next month, left in the draft, is unchanged.
TEST_F(OptionsTest, TheReportsAfterTheValidationOfAMonth) {
  AddCode("J", "TS ", "Journal des tests", "O");
  AddAccount("62710000", "Charges de test");
  AddAccount("51210000", "Banque de test");
  std::vector<NewDraftLine> lines;
  const struct {
    const char* month;
    const char* day;
    const char* piece;
    double euros;
  } days[] = {{"C602", "28", "973003", 4}, {"C603", "01", "973004", 8}, {"C603", "31", "973005", 16},
              {"C604", "01", "973006", 32}};
  for (const auto& d : days)
    for (const char* account : {"62710000", "51210000"}) {
      NewDraftLine n;
      n.month = d.month;
      n.journal = "TS ";
      n.piece = d.piece;
      n.day = d.day;
      n.account = account;
      n.labelCode = "0";
      n.label = "Ligne";
      n.sense = account[0] == '6' ? 'D' : 'C';
      n.euros = d.euros;
      n.francs = Round(2, d.euros * 6.55957);
      lines.push_back(n);
    }
  ASSERT_EQ(WriteDraftLines(*TableC50, *TableC60, lines), DraftWrite::Written);

  // The journal listing of a month (detail "piece|debit|credit", summary "account|debit|credit"),
  // the centralising summary's lines of the journal, the statement of the charge account.
  auto listing = [&](const char* month, bool summary) {
    const std::string csv = JournalListingCsv(month, "TS ", summary, "validated-ej.csv");
    std::string rows;
    for (const auto& row : CsvRows(csv))
      rows += (rows.empty() ? "" : " ") + Cell(row, 4) + (summary ? "" : "/" + Cell(row, 5)) + "|" +
              Cents(row, summary ? 5 : 6) + "|" + Cents(row, summary ? 6 : 7);
    return rows;
  };
  auto central = [&] {
    ledgers::CentralisingSummary r;
    r.optionsText = "E";
    if (!r.PrepareReport()) return std::string("empty");
    const std::string csv = RunToExport(r, ReadText(DataPath("C-Etat-ER-CSV.txt")), ArtefactPath("validated-er.csv"));
    std::string rows;
    for (const auto& row : CsvRows(csv))
      if (Cell(row, 0) == "R" && Cell(row, 3) == "TS")
        rows += (rows.empty() ? "" : " ") + Cell(row, 1) + "|" + Cell(row, 4).substr(0, 1) + "|" + Cents(row, 5) +
                "|" + Cents(row, 6);
    return rows;
  };
  ledgers::AccountStatementOptions so;
  so.account = "62710000";
  so.dateFrom = "C60301";
  so.dateTo = "C60331";
  so.priorCumulation = true;
  so.inEuros = true;

  const std::string march = "(973004)/62710000|800|0 (973004)/51210000|0|800 (973005)/62710000|1600|0 "
                            "(973005)/51210000|0|1600";
  EXPECT_EQ(listing("C603", false), march);
  EXPECT_EQ(listing("C603", true), "51210000|0|2400 62710000|2400|0");
  EXPECT_EQ(central(), "02|B|400|400 03|B|2400|2400 04|B|3200|3200");
  EXPECT_EQ(Statement(so), "CA|400|0 L|01|800|0| L|31|1600|0| TG|2800|0");

  CloseAllTables();
  const entry::ValidationResult result = entry::RunValidation(entry::JournalValidationRequest{{"C603TS "}, "C60331"});
  ASSERT_EQ(result.code, 0) << result.error;
  EXPECT_EQ(result.generalLines, 4);
  OpenDossier(Dir() + "/demo/", "OPT");

  std::string closed = march;
  for (std::size_t at; (at = closed.find('(')) != std::string::npos;) closed.erase(at, 1);
  for (std::size_t at; (at = closed.find(')')) != std::string::npos;) closed.erase(at, 1);
  EXPECT_EQ(listing("C603", false), closed);
  EXPECT_EQ(listing("C603", true), "51210000|0|2400 62710000|2400|0");
  EXPECT_EQ(listing("C604", false), "(973006)/62710000|3200|0 (973006)/51210000|0|3200");
  EXPECT_EQ(central(), "02|B|400|400 03|B|0|0 03|C|2400|2400 04|B|3200|3200");
  EXPECT_EQ(Statement(so), "CA|400|0 L|01|800|0| L|31|1600|0| TG|2800|0");
}

// A journal-month whose lines are all of zero amount shows nothing, and the summary goes on with
// the next journal-month, also when the zero one comes first (a layout with a list type of its
// own reads the lines of zero amount).
TEST_F(OptionsTest, AZeroJournalMonthDoesNotEndTheSummary) {
  AddCode("J", "TS ", "Journal des tests", "O");
  Add({{"C602", "03", "TS ", "930001", "62700000", 'D', 0},
       {"C602", "03", "TS ", "930001", "51200000", 'C', 0},
       {"C603", "03", "TS ", "930002", "62700000", 'D', 700},
       {"C603", "03", "TS ", "930002", "51200000", 'C', 700},
       {"C604", "03", "TS ", "930003", "62700000", 'D', 0},
       {"C604", "03", "TS ", "930003", "51200000", 'C', 0},
       {"C605", "03", "TS ", "930004", "62700000", 'D', 900},
       {"C605", "03", "TS ", "930004", "51200000", 'C', 900}});
  ledgers::JournalListings j;
  ledgers::JournalListingOptions o;
  o.journal = "TS ";
  o.summary = true;
  o.inEuros = true;
  j.TakeLimits(o.ToRecord());
  // A chosen layout of its own list type: the lines of zero amount are read too.
  j.chosenLayoutText = "E";
  ASSERT_TRUE(j.PrepareReport());
  const std::string csv = RunToExport(j, ReadText(DataPath("C-Etat-EJR-CSV.txt")), ArtefactPath("options-ejr.csv"));
  std::string rows;
  for (const auto& row : CsvRows(csv))
    rows += Cell(row, 1) + "|" + Cell(row, 4) + "|" + Cents(row, 5) + "|" + Cents(row, 6) + " ";
  EXPECT_EQ(rows, "03|51200000|0|700 03|62700000|700|0 05|51200000|0|900 05|62700000|900|0 ");
}

// The journal listing's CSV as the program ships it: the balance of a summary line on its side
// (SOLDEDEBIT, SOLDECREDI) is no cell of a journal line, which leaves both empty; the summary
// through the same layout writes the balance on its side and leaves the other side empty.
TEST_F(OptionsTest, TheSummarysBalanceCellsStayEmptyOnTheJournalLines) {
  AddCode("J", "TS ", "Journal des tests", "O");
  Add({{"C603", "03", "TS ", "930002", "62700000", 'D', 70000},
       {"C603", "03", "TS ", "930002", "51200000", 'C', 70000}});
  for (const bool summary : {false, true}) {
    SCOPED_TRACE(summary ? "summary" : "journal lines");
    const std::vector<std::vector<std::string>> rows =
        CsvRows(JournalListingCsv("    ", "TS ", summary, "options-ej-sides.csv", ShippedLayout("EJ-CSV")));
    ASSERT_GE(rows.size(), 3u);
    std::size_t debit = rows[0].size(), credit = rows[0].size(), account = rows[0].size();
    for (std::size_t i = 0; i < rows[0].size(); ++i) {
      if (Cell(rows[0], i) == "SOLDEDEBIT") debit = i;
      if (Cell(rows[0], i) == "SOLDECREDI") credit = i;
      if (Cell(rows[0], i) == "COMPTE") account = i;
    }
    ASSERT_LT(debit, rows[0].size());
    ASSERT_LT(credit, rows[0].size());
    std::string cells;
    for (std::size_t r = 1; r < rows.size(); ++r)
      cells += Cell(rows[r], account) + "|" + Cell(rows[r], debit) + "|" + Cell(rows[r], credit) + " ";
    EXPECT_EQ(cells, summary ? "51200000||700,00 62700000|700,00| " : "62700000|| 51200000|| ");
  }
}

// Constant 031 "O" stops the centralising summary after the month of the working date, whichever
// day of that month it is (its first or its last); the month after it is left out, and a working
// date in the year before lists nothing. "N" runs to the year's end.
TEST_F(OptionsTest, Constant031CutsTheCentralisingSummaryAtTheWorkingDate) {
  const test_support::SetUpPermit permit("totaux mis en place");
  AddCode("C", "C603TS B", "Journal des tests", "          0.00          0.00");
  AddCode("C", "C604TS B", "Journal des tests", "          0.00          0.00");
  AddCode("C", "C606TS B", "Journal des tests", "          0.00          0.00");
  ASSERT_TRUE(TableC10->Seek("C10CODE", "C", "C603TS B"));
  ASSERT_TRUE(TableC10->PutField(5, "        100.00        100.00"));
  ASSERT_TRUE(TableC10->Seek("C10CODE", "C", "C604TS B"));
  ASSERT_TRUE(TableC10->PutField(5, "         20.00         20.00"));
  ASSERT_TRUE(TableC10->Seek("C10CODE", "C", "C606TS B"));
  ASSERT_TRUE(TableC10->PutField(5, "         40.00         40.00"));
  ASSERT_TRUE(TableC10->Commit());
  const struct Case {
    const char* c031;
    const char* working;
    const char* last;  // the last month listed, "" for nothing
    const char* total;
  } cases[] = {
      {"O", "20260415", "04", "12000"}, {"N", "20260415", "12", "16000"}, {"O", "20260331", "03", "10000"},
      {"O", "20260401", "04", "12000"}, {"O", "20260430", "04", "12000"}, {"O", "20260501", "05", "12000"},
      {"O", "20260531", "05", "12000"}, {"O", "20260601", "06", "16000"}, {"N", "20260331", "12", "16000"},
      {"O", "20251231", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.c031) + " " + c.working);
    SetConstant(31, c.c031);
    TheDossierRecord.SetDateYyyymmdd(DossierRecord::DateField::Working, c.working);
    ledgers::CentralisingSummary r;
    r.optionsText = "E";
    ASSERT_TRUE(r.HasRecords());
    if (*c.last == 0) {
      EXPECT_FALSE(r.PrepareReport());
      continue;
    }
    ASSERT_TRUE(r.PrepareReport());
    const std::string csv = RunToExport(r, ReadText(DataPath("C-Etat-ER-CSV.txt")), ArtefactPath("options-er.csv"));
    std::string last, tests;
    long long total = 0;
    for (const auto& row : CsvRows(csv)) {
      if (Cell(row, 0) == "R") last = std::max(last, Cell(row, 1));
      if (Cell(row, 0) == "R" && Cell(row, 3) == "TS") total += CellCents(Cell(row, 5));
    }
    EXPECT_LE(last, std::string(c.last));
    EXPECT_EQ(std::to_string(total), c.total);
  }
}

// Constant 065 "O" puts labels 2 and 3 into LIB23, each after a line break and the column of
// MargeLib23; "N" leaves it blank. Constant 019 shows the account: "O" without its final zeros,
// 5 to 7 cut after that many digits when the rest is zeros, anything else as stored.
TEST_F(OptionsTest, Constants065And019) {
  Add({{"C603", "08", "OD ", "940001", "60700000", 'D', 2500, "", "Second", "Troisieme"}});
  const std::string crlf = std::string("\x18") + "crlf\x19\x18s:015\x19";
  const struct Case {
    const char* c065;
    const char* c019;
    std::string lib23;
    const char* account;
  } cases[] = {
      {"O", "O", crlf + "Second" + crlf + "Troisieme", "607"},
      {"N", "6", "", "607000"},
      {"O", "N", crlf + "Second" + crlf + "Troisieme", "60700000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.c065) + " " + c.c019);
    SetConstant(65, c.c065);
    SetConstant(19, c.c019);
    ledgers::AccountStatement s;
    ledgers::AccountStatementOptions o;
    o.account = "60700000";
    o.dateFrom = "C60301";
    o.dateTo = "C60331";
    o.inEuros = true;
    s.TakeLimits(o.ToRecord());
    s.SetMargeLib23(15);
    ASSERT_TRUE(s.PrepareReport());
    s.ComputeLine();
    EXPECT_EQ(std::string(RTrim(s.fields.Value(ledgers::AccountStatement::LIB23).c_str())), c.lib23);
    EXPECT_EQ(std::string(RTrim(s.fields.Value(ledgers::AccountStatement::COMPTE).c_str())), c.account);
  }
}

// The analytic statement and ledger of a section with constant 032 "N" (the analytic sort order
// by section and date: the lines before the period make the cumulation) and "O" (by section,
// general account and date: the lines outside the period are passed over, the ledger opens a
// block per general account, "section\account"). The layout prints the running account total
// (SC) after each line.
TEST_F(OptionsTest, AnalyticStatementAndLedgerWithConstant032) {
  Table& c30 = *TableC30;
  ASSERT_TRUE(c30.AppendBlank());
  c30.PutField(1, "SECTA");
  c30.PutField(2, "Section de test");
  ASSERT_TRUE(c30.InsertRecord());
  ASSERT_TRUE(c30.Commit());
  auto w = [](const char* month, const char* day, const char* general, long long euros) {
    return Seed{month, day, "OD ", "950001", "SECTA", 'D', euros, "", "", "", 'W', general};
  };
  Add({w("C602", "10", "60700000", 10000), w("C603", "05", "62700000", 20000), w("C603", "10", "60700000", 30000),
       w("C604", "05", "60700000", 40000)});
  const struct Case {
    const char* c032;
    const char* statement;
    const char* ledger;  // nullptr: the statement only
    const char* from = "C60301";
    const char* to = "C60331";
  } cases[] = {
      {"N", "CA|10000|0 L|05|20000|0| L|10|30000|0| TG|60000|0",
       "B|SECTA CA|10000|0 AE|0|0 L|05|20000|0| SC|30000|0 AE|0|0 L|10|30000|0| SC|60000|0 TG|60000|0"},
      {"O", "L|10|30000|0| L|05|20000|0| TG|50000|0",
       "B|SECTA\\60700000 AE|0|0 L|10|30000|0| SC|30000|0 B|SECTA\\62700000 AE|0|0 L|05|20000|0| SC|20000|0 "
       "TG|50000|0"},
      // The period's first and last days are lines of it; the day before and the day after are not.
      {"N", "CA|10000|0 L|05|20000|0| L|10|30000|0| TG|60000|0", nullptr, "C60305", "C60310"},
      {"N", "CA|30000|0 TG|30000|0", nullptr, "C60306", "C60309"},
      {"O", "L|10|30000|0| L|05|20000|0| TG|50000|0", nullptr, "C60305", "C60310"},
      {"O", "empty", nullptr, "C60306", "C60309"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.c032) + " " + c.from + "-" + c.to);
    SetConstant(32, c.c032);
    // The analytic order of the sort file as the dossier's creation builds it for that constant.
    std::string c60 = TableC60->tablePath;
    c60.resize(c60.size() - 4);
    CloseAllTables();
    ASSERT_EQ(dbase::DbiDropProductionIndex(c60.c_str()), dbase::DBIERR_NONE);
    {
      Table t;
      ASSERT_TRUE(t.OpenExclusive(c60));
      ASSERT_TRUE(AddTags(t, TagsToBuild(TableKind::C60, c.c032[0] == 'O')));
      t.CloseTable();
    }
    OpenDossier(Dir() + "/demo/", "OPT");

    ledgers::AccountStatementOptions so;
    so.account = "SECTA   ";
    so.analytic = true;
    so.dateFrom = c.from;
    so.dateTo = c.to;
    so.priorCumulation = true;
    so.inEuros = true;
    EXPECT_EQ(Statement(so), c.statement);
    if (c.ledger == nullptr) continue;

    ledgers::GeneralLedgerOptions go;
    go.kind = '(';
    go.accountFrom = "SECTA   ";
    go.accountTo = "SECTA   ";
    go.dateFrom = "C60301";
    go.dateTo = "C60331";
    go.priorCumulation = true;
    go.inEuros = true;
    const std::string csv = GeneralLedgerCsv(go, "options-ga.csv");
    ASSERT_FALSE(csv.empty());
    std::string rows;
    for (const auto& row : CsvRows(csv)) {
      const std::string kind = Cell(row, 0);
      if (!rows.empty()) rows += " ";
      if (kind == "B")
        rows += "B|" + Cell(row, 1);
      else if (kind == "L")
        rows += "L|" + Cell(row, 1).substr(0, 2) + "|" + Cents(row, 4) + "|" + Cents(row, 5) + "|" + Cell(row, 6);
      else
        rows += kind + "|" + Cents(row, 1) + "|" + Cents(row, 2);
    }
    EXPECT_EQ(rows, c.ledger);
  }
}

// A table that does not open (the closed file cut short) is told before the window closes, and
// nothing is written to it.
TEST_F(OptionsTest, ATableThatDoesNotOpenIsToldFirst) {
  CloseAllTables();
  const std::string path = Dir() + "/demo/c40opt.dbf";
  const std::string bytes = ReadText(path);
  ASSERT_GT(bytes.size(), 40u);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes.substr(0, 20);
  Messages().clear();
  SetDossier(Dir() + "/demo/", "OPT");
  EXPECT_FALSE(ledgers::OpenLedgerTables(ledgers::ProgramLedgerTables(), 0));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(std::string(Lower(Messages()[0].c_str())).find("c40opt"), std::string::npos) << Messages()[0];
  EXPECT_EQ(ReadText(path), bytes.substr(0, 20));
  EXPECT_FALSE(TableC40->isOpen);
}

// The texts the reports fill with a value read whole, the value in its place: the empty statement and the
// empty general ledger as their notices say them, then each text with a value as its line shows it.
TEST_F(OptionsTest, TheTextsFilledWithAValueReadWhole) {
  ledgers::AccountStatementOptions so;
  so.account = "CVIDE001";
  so.dateFrom = "C60301";
  so.dateTo = "C60331";
  ledgers::AccountStatement statement;
  statement.TakeLimits(so.ToRecord());
  EXPECT_FALSE(statement.PrepareReport());
  EXPECT_EQ(statement.LastEmptyText(), "Compte: CVIDE001");

  ledgers::GeneralLedgerOptions go;
  go.kind = 'G';
  go.accountFrom = "60699000";
  go.accountTo = "60699999";
  go.dateFrom = "C60301";
  go.dateTo = "C60331";
  ledgers::GeneralLedgers ledger;
  ledger.TakeLimits(go.ToRecord());
  ledger.ChooseReportCode("EG-CSV");
  EXPECT_FALSE(ledger.PrepareNextLedger());
  EXPECT_EQ(ledger.LastEmptyText(), "Grand Livre: GENERAL");

  const struct {
    int id;
    const char* value;
    const char* whole;
  } cases[] = {
      {23401, "41100000", "Compte: 41100000"},
      {23402, "AB  ", "Seulement le Lettrage: AB  "},
      {23406, "000042", "??? Erreur C60: 000042"},
      {23407, "/03/26", "Total pour le mois /03/26"},
      {23414, "GENERAL", "Grand Livre: GENERAL"},
      {23415, "Fournisseurs", "Suite Fournisseurs"},
      {23415, "", "Suite "},
      {23416, "000042", " Erreur C60: ???000042"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FillPlaceholder(LoadStr(c.id), c.value), c.whole) << c.id;
}

// The report editor finds the help of the line-type letters under each prefix of the two families.
TEST(LedgerHelpTest, TheEditorFindsTheLineTypeLettersOfEachPrefix) {
  const struct {
    const char* prefix;
    std::size_t lines;
    const char* first;
    const char* last;
  } cases[] = {
      {"EG-", 19, "A = Debut CA AE sans ligne: CA", "Z = Fin avec AE"},
      {"EGA-", 19, "A = Debut CA AE sans ligne: CA", "Z = Fin avec AE"},
      {"EJ-", 5, "A = D\xE9" "but", "Z = Fin"},
      {"EJR-", 5, "A = D\xE9" "but", "Z = Fin"},
      {"EJA-", 5, "A = D\xE9" "but", "Z = Fin"},
      {"EJRA-", 5, "A = D\xE9" "but", "Z = Fin"},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> lines = settings::ReportVariableHelp(c.prefix);
    ASSERT_EQ(lines.size(), c.lines) << c.prefix;
    EXPECT_EQ(lines.front(), c.first) << c.prefix;
    EXPECT_EQ(lines.back(), c.last) << c.prefix;
  }
}

}  // namespace
}  // namespace ledgers_test
