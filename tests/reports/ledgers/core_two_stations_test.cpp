// Two stations list the journal summary of one dossier at the same time: the other process has
// built its first block when this one runs the whole listing, then it finishes its own. Both get
// the totals an independent reader computes from the files, and the general file is left byte for
// byte as it was (the summary gathers its blocks in memory).
#include "ledger_fixture.h"
#include "reports/ledgers/core/journal_listings.h"
#include "runtime/xbase.h"
#include "support/other_process.h"

namespace ledgers_test {
namespace {

std::string Cell(const std::vector<std::string>& row, std::size_t i) {
  return i < row.size() ? std::string(AllTrim(row[i].c_str())) : std::string();
}

// The summary's export as the reader writes it: per journal-month its totals, then its accounts.
std::vector<std::string> SummaryRows(const std::string& csv) {
  std::vector<std::string> got, entries;
  std::string key, total;
  auto flush = [&] {
    if (key.empty()) return;
    got.push_back(total);
    for (const std::string& e : entries) got.push_back(e);
    entries.clear();
  };
  auto amounts = [](const std::vector<std::string>& row, std::size_t i) {
    return std::to_string(CellCents(Cell(row, i))) + "|" + std::to_string(CellCents(Cell(row, i + 1)));
  };
  for (const auto& row : CsvRows(csv)) {
    const std::string month = Cell(row, 1) + "/" + Cell(row, 2), journal = Cell(row, 3);
    if (month + journal != key) {
      flush();
      key = month + journal;
    }
    total = "J|" + month + "|" + journal + "|" + amounts(row, 7);
    entries.push_back("S|" + Cell(row, 4) + "|" + amounts(row, 5));
  }
  flush();
  return got;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  for (std::string line; std::getline(s, line);)
    if (!line.empty()) out.push_back(line);
  return out;
}

class TwoStationsTest : public LedgerCoreTest {
 protected:
  // The dossier's tables opened as a report window opens them (no assertion: the child runs it).
  static bool OpenShared(const std::string& folder) {
    SetDossier(folder, "TWO");
    SetDossierIniPath(PathC10(".ini"));
    if (!ledgers::OpenLedgerTables(ledgers::ProgramLedgerTables(), 0)) return false;
    Table& c10 = *TableC10;
    DossierRecord::C10Texts texts;
    if (!c10.Seek("C10CODE", "0")) return false;
    texts.record0Field3 = c10.GetField(3);
    texts.record0Field4 = c10.GetField(4);
    texts.record0Field5 = c10.GetField(5);
    texts.record0Field6 = c10.GetField(6);
    if (!c10.Seek("C10CODE", "P", "0")) return false;
    texts.p0Field4 = c10.GetField(4);
    texts.p0Field5 = c10.GetField(5);
    TheDossierRecord.LoadFromC10(texts);
    return true;
  }
  static std::unique_ptr<ledgers::JournalListings> Summary() {
    auto j = std::make_unique<ledgers::JournalListings>();
    ledgers::JournalListingOptions o;
    o.summary = true;
    o.inEuros = true;
    j->TakeLimits(o.ToRecord());
    return j;
  }
};

TEST_F(TwoStationsTest, BothGetTheRightTotalsAndTheGeneralFileIsUnchanged) {
  DemoOptions o;
  o.folder = Dir() + "/two";
  o.code = "TWO";
  o.lines = 3000;
  o.currency = DossierCurrency::EuroMain;
  o.closedMonths = -1;
  o.matchings = true;
  std::string message;
  ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
  const std::string folder = o.folder + "/";
  const std::string c10 = ReadText(folder + "c10two.dbf"), c10Tags = ReadText(folder + "c10two.mdx");
  ASSERT_FALSE(c10.empty());
  const std::string layout = ReadText(DataPath("C-Etat-EJR-CSV.txt"));
  const std::string otherCsv = ArtefactPath("two-stations-other.csv");

  // The other station: 'o' opens the dossier, 'p' prepares its summary (its first block built),
  // 'r' lists it to the end.
  std::unique_ptr<ledgers::JournalListings> other;
  test_support::OtherProcess station([&](char command) {
    switch (command) {
      case 'o': return OpenShared(folder);
      case 'p':
        other = Summary();
        return other->PrepareReport();
      case 'r': return !RunToExport(*other, layout, otherCsv).empty();
      default: return false;
    }
  });
  ASSERT_TRUE(station.Do('o'));
  ASSERT_TRUE(station.Do('p'));

  ASSERT_TRUE(OpenShared(folder));
  auto mine = Summary();
  ASSERT_TRUE(mine->PrepareReport());
  const std::string myCsv = RunToExport(*mine, layout, ArtefactPath("two-stations-this.csv"));
  ASSERT_TRUE(station.Do('r'));

  const std::vector<std::string> want = Lines(Figures({"journals", o.folder, "TWO", "E"}));
  ASSERT_GT(want.size(), 20u);
  EXPECT_EQ(SummaryRows(myCsv), want);
  EXPECT_EQ(SummaryRows(ReadText(otherCsv)), want);
  CloseAllTables();
  EXPECT_TRUE(ReadText(folder + "c10two.dbf") == c10) << "the general file changed";
  EXPECT_TRUE(ReadText(folder + "c10two.mdx") == c10Tags) << "the general file's tags changed";
}

}  // namespace
}  // namespace ledgers_test
