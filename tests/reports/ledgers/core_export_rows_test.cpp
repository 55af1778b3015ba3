// The program's own CSV layout of the general ledgers as a spreadsheet reads it: every row carries
// the values of its own record. Accounts with a cumulation before the period and no line in it,
// with lines and no cumulation, and with both, one after the other, in the general ledger and in
// the customers' and suppliers' ledgers, against the independent reader of the files.
#include <map>
#include <set>
#include <sstream>

#include "ledger_fixture.h"
#include "platform/system/cp1252.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "runtime/xbase.h"

namespace ledgers_test {
namespace {

std::string Cell(const std::vector<std::string>& row, std::size_t i) {
  return i < row.size() ? std::string(AllTrim(row[i].c_str())) : std::string();
}

// An amount as a spreadsheet takes it for a number: digits, a comma and two decimals.
bool NumberCell(const std::string& cell) {
  std::size_t i = cell.rfind('-', 0) == 0 ? 1 : 0;
  const std::size_t comma = cell.find(',');
  if (comma == std::string::npos || comma + 3 != cell.size() || comma == i) return false;
  for (; i < cell.size(); ++i)
    if (i != comma && (cell[i] < '0' || cell[i] > '9')) return false;
  return true;
}

class ExportRowsTest : public LedgerCoreTest {
 protected:
  void SetUp() override {
    LedgerCoreTest::SetUp();
    DemoOptions o;
    o.code = "ROW";
    o.lines = 6000;
    o.analyticMode = '2';
    o.vatDetail = true;
    o.seed = 7;
    o.matchings = true;
    OpenDemo(o);
  }
  // The rows of the shipped layout `code` run over the ledger of `kind` for the second quarter,
  // with its prior cumulation, in euros; its file kept as `file` among the artefacts.
  std::vector<std::vector<std::string>> ShippedExportRows(char kind, const std::string& code, const std::string& file) {
    ledgers::GeneralLedgers gl;
    ledgers::GeneralLedgerOptions o;
    o.kind = kind;
    o.dateFrom = "C60401";
    o.dateTo = "C60630";
    o.priorCumulation = true;
    o.inEuros = true;
    gl.TakeLimits(o.ToRecord());
    gl.ChooseReportCode(code);
    EXPECT_TRUE(gl.PrepareNextLedger()) << code;
    return CsvRows(RunToExport(gl, ShippedLayout(code), ArtefactPath(file)));
  }
  static std::string AccountName(const std::string& code) {
    Table& c20 = *TableC20;
    if (!c20.Seek("C20CODE", PadRight(code, 8).c_str())) return "<none>";
    return std::string(AllTrim(c20.GetField(2)));
  }
};

// Per account: what the reader computes, and what the export's rows add up to.
struct Account {
  long long debit = 0, credit = 0, priorDebit = 0, priorCredit = 0;
  int lines = 0;
  bool prior = false;
  std::vector<std::string> dated;  // "date piece letter" per line of the period
};
struct Rows {
  long long debit = 0, credit = 0;
  std::set<std::pair<long long, long long>> priors;
  std::vector<std::string> dated;
};

TEST_F(ExportRowsTest, EveryRowOfTheShippedGeneralLedgerExportHoldsItsOwnAccountsValues) {
  int priorOnly = 0, periodOnly = 0, both = 0;
  for (const char kind : {'G', 'F', 'C'}) {
    SCOPED_TRACE(std::string("kind ") + kind);
    const auto rows = ShippedExportRows(kind, "EG-CSV", std::string("eg-") + kind + ".csv");
    ASSERT_GT(rows.size(), 10u);
    const std::vector<std::string>& names = rows[0];
    auto column = [&](const char* name) {
      const auto at = static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
      EXPECT_LT(at, names.size()) << name;
      return at;
    };
    const std::size_t account = column("COMPTE"), name = column("NOMCOMPTE"), date = column("DATE"),
                      journal = column("JOURNAL"), piece = column("PIECE"), label = column("LIBELLE"),
                      letter = column("LETTRE"), debit = column("DEBIT"), credit = column("CREDIT"),
                      priorDebit = column("CA_DEBIT"), priorCredit = column("CA_CREDIT");

    // The reader's accounts, in the ledger's order.
    const std::string ledger = kind == 'G' ? "1" : std::string(1, kind);
    std::vector<std::string> order;
    std::map<std::string, Account> want;
    std::stringstream figures(Figures({"gl", Dir() + "/demo", "ROW", ledger, "C60401", "C60630", "O", "E", "L"}));
    for (std::string line; std::getline(figures, line);) {
      std::vector<std::string> f;
      std::stringstream parts(line);
      for (std::string part; std::getline(parts, part, '|');) f.push_back(part);
      if (f.empty()) continue;
      if (f[0] == "B") order.push_back(f[1]);
      if (order.empty()) continue;
      Account& a = want[order.back()];
      if (f[0] == "CA") {
        a.prior = true;
        a.priorDebit = std::stoll(f[1]);
        a.priorCredit = std::stoll(f[2]);
      } else if (f[0] == "COLL") {
        a.debit += std::stoll(f[1]);
        a.credit += std::stoll(f[2]);
      } else if (f[0] == "L") {
        a.debit += std::stoll(f[4]);
        a.credit += std::stoll(f[5]);
        ++a.lines;
        a.dated.push_back(f[1] + " " + f[3] + " " + (f.size() > 6 ? f[6] : std::string()));
      }
    }
    ASSERT_FALSE(order.empty());

    // The export's rows, account by account in the order they come.
    std::vector<std::string> shown;
    std::map<std::string, Rows> got;
    std::size_t wrong = 0;
    int lettered = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
      const std::vector<std::string>& r = rows[i];
      ASSERT_EQ(r.size(), names.size()) << "row " << i;
      const std::string code = Cell(r, account);
      if (shown.empty() || shown.back() != code) shown.push_back(code);
      const std::string raw = shown.size() <= order.size() ? order[shown.size() - 1] : code;
      Rows& g = got[raw];
      g.debit += CellCents(Cell(r, debit));
      g.credit += CellCents(Cell(r, credit));
      g.priors.insert({CellCents(Cell(r, priorDebit)), CellCents(Cell(r, priorCredit))});
      lettered += !Cell(r, date).empty() && !Cell(r, letter).empty();
      if (!Cell(r, date).empty()) g.dated.push_back(Cell(r, date) + " " + Cell(r, piece) + " " + Cell(r, letter));
      if (Cell(r, name) != AccountName(raw) && wrong++ < 3)
        ADD_FAILURE() << "row " << i << " of " << raw << ": NOMCOMPTE '" << Cell(r, name) << "'";
      if (Cell(r, date).empty() && Cell(r, label) != "Lignes compte collectif") {
        // A row without a line of its own: no piece, journal, letter or amount of another's.
        for (std::size_t k : {journal, piece, letter, debit, credit}) {
          const bool amount = k == debit || k == credit;
          if ((amount ? CellCents(Cell(r, k)) != 0 : !Cell(r, k).empty()) && wrong++ < 3)
            ADD_FAILURE() << "row " << i << " of " << raw << " (no line): " << names[k] << " '" << Cell(r, k) << "'";
        }
      }
      // Every amount a number with a comma, the balances included.
      for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string& n = names[k];
        const bool amount = n == "DEBIT" || n == "CREDIT" || n == "MONTANTF" || n == "MONTANTE" ||
                            n.find("_DEBIT") != std::string::npos || n.find("_CREDIT") != std::string::npos ||
                            n.find("_SOLDE") != std::string::npos;
        if (!amount || n.find("SOLDEDC") != std::string::npos || Cell(r, k).empty()) continue;
        if (!NumberCell(Cell(r, k)) && wrong++ < 3)
          ADD_FAILURE() << "row " << i << ": " << n << " '" << Cell(r, k) << "' is no number";
      }
    }
    EXPECT_EQ(wrong, 0u);
    if (kind != 'G') EXPECT_GT(lettered, 0) << "matched lines of the period";
    EXPECT_EQ(shown.size(), order.size());

    for (const std::string& code : order) {
      SCOPED_TRACE(code);
      const Account& a = want[code];
      const Rows& g = got[code];
      EXPECT_EQ(g.debit, a.debit) << "the DEBIT column of the account's rows";
      EXPECT_EQ(g.credit, a.credit) << "the CREDIT column of the account's rows";
      EXPECT_EQ(g.dated, a.dated) << "each line's date, piece and letter";
      ASSERT_EQ(g.priors.size(), 1u) << "one cumulation on every row of the account";
      EXPECT_EQ(*g.priors.begin(), std::make_pair(a.priorDebit, a.priorCredit));
      if (a.prior && a.lines == 0) ++priorOnly;
      if (!a.prior && a.lines > 0) ++periodOnly;
      if (a.prior && a.lines > 0) ++both;
    }
  }
  // The three kinds of account were met.
  EXPECT_GT(priorOnly, 0);
  EXPECT_GT(periodOnly, 0);
  EXPECT_GT(both, 0);
}

// The analytic ledger's export writes its balances as the general ledger's does: each a number and
// its side ("Db", "Cr", blank when zero), no "1 321.40 Cr" text, the pair of every row being the
// debit less the credit of its group on that row.
TEST_F(ExportRowsTest, TheShippedAnalyticLedgerExportWritesItsBalancesAsNumbersAndSides) {
  const auto rows = ShippedExportRows('(', "EGA-CSV", "ega.csv");
  ASSERT_GT(rows.size(), 10u);
  const std::vector<std::string>& names = rows[0];
  auto column = [&](const std::string& name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
  };
  std::size_t wrong = 0, sided = 0;
  for (const char* group : {"CA", "SC", "AE", "TG"}) {
    const std::string g = group;
    const std::size_t debit = column(g + "_DEBIT"), credit = column(g + "_CREDIT"), amount = column(g + "_SOLDEMT"),
                      side = column(g + "_SOLDEDC");
    ASSERT_LT(amount, names.size()) << g << "_SOLDEMT in the titles";
    ASSERT_LT(side, names.size()) << g << "_SOLDEDC in the titles";
    EXPECT_EQ(column(g + "_SOLDE"), names.size()) << "no text balance " << g << "_SOLDE";
    for (std::size_t i = 1; i < rows.size(); ++i) {
      const std::vector<std::string>& r = rows[i];
      ASSERT_EQ(r.size(), names.size()) << "row " << i;
      const std::string mt = Cell(r, amount), dc = Cell(r, side);
      if (!mt.empty() && !NumberCell(mt) && wrong++ < 3) ADD_FAILURE() << "row " << i << ": " << g << " '" << mt << "'";
      const long long cents = CellCents(mt);
      const long long want = CellCents(Cell(r, debit)) - CellCents(Cell(r, credit));
      const long long got = dc == "Cr" ? -cents : cents;
      const bool sideRight = dc == (want > 0 ? "Db" : want < 0 ? "Cr" : "");
      if ((got != want || !sideRight) && wrong++ < 3)
        ADD_FAILURE() << "row " << i << ": " << g << " " << mt << " " << dc << " for " << want << " cents";
      sided += !dc.empty();
    }
  }
  EXPECT_EQ(wrong, 0u);
  EXPECT_GT(sided, 0u);
}

}  // namespace
}  // namespace ledgers_test
