// The quick paths of the general ledgers write what the plain ones write: the sort file read once
// into a snapshot and walked in memory gives the same exports, byte for byte, as the walk through
// its tag; the balances' text made from the cents is the runtime's amount text.
#include "ledger_fixture.h"
#include "data/entry_lines.h"
#include "data/table.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "runtime/numbers.h"

namespace ledgers_test {
namespace {

class WalksTest : public LedgerCoreTest {
 protected:
  void SetUp() override {
    LedgerCoreTest::SetUp();
    OpenYearDemo("WLK", 3000);
  }
  std::string Layout(const std::string& name) { return ReadText(DataPath("C-Etat-" + name + ".txt")); }

  // Every ledger of the options to its export, one after the other, walked as asked.
  std::string Ledgers(const ledgers::GeneralLedgerOptions& o, ledgers::GeneralLedgers::Walk walk,
                      const std::string& layout) {
    ledgers::GeneralLedgers gl;
    gl.walk = walk;
    gl.TakeLimits(o.ToRecord());
    gl.ChooseReportCode("EG-CSV");
    std::string all;
    int n = 0;
    for (bool more = gl.PrepareNextLedger(); more; more = gl.NextLedger())
      all += RunToExport(gl, Layout(layout), ArtefactPath(std::to_string(++n) + ".csv")) + "\n--\n";
    return all;
  }
};

TEST_F(WalksTest, TheSnapshotWalkWritesWhatTheTagWalkWrites) {
  using Walk = ledgers::GeneralLedgers::Walk;
  struct Case {
    char kind;
    const char* from;
    const char* to;
    bool prior;
    bool euros;
    char lettering;
    const char* layout;
  };
  // Every ledger of the year; a period inside it with the cumulations before it; the lettered and
  // unlettered lines with the others summed; the general ledger's own layout.
  const Case cases[] = {
      {'T', "C50701", "C60630", false, true, '1', "EG-CSV"}, {'T', "C50901", "C60331", true, false, '1', "EG-CSV"},
      {'G', "C50801", "C60531", true, true, '4', "EG-CSV"},  {'G', "C50701", "C60630", false, true, '5', "EG-CSV"},
      {'G', "C50701", "C60630", false, false, '1', "EG-GL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.kind) + c.from + "-" + c.to + " " + c.layout + " " + c.lettering);
    ledgers::GeneralLedgerOptions o;
    o.kind = c.kind;
    o.dateFrom = c.from;
    o.dateTo = c.to;
    o.priorCumulation = c.prior;
    o.inEuros = c.euros;
    o.letteringFilter = c.lettering;
    const std::string byTag = Ledgers(o, Walk::kIndex, c.layout);
    const std::string bySnapshot = Ledgers(o, Walk::kSnapshot, c.layout);
    EXPECT_GT(byTag.size(), 1000u);
    EXPECT_TRUE(byTag == bySnapshot) << "the exports differ (" << byTag.size() << " and " << bySnapshot.size()
                                     << " bytes)";
  }
}

// A sort record pointing at no line (of the drafts and of the closed file) is passed over in both
// walks alike, and the run goes on to the end.
TEST_F(WalksTest, ASortRecordPointingNowhereIsPassedOver) {
  using T = LigneTri;
  ledgers::GeneralLedgerOptions o;
  o.kind = 'G';
  o.dateFrom = "C50701";
  o.dateTo = "C60630";
  o.inEuros = true;
  auto lineRows = [](const std::string& csv) {
    int n = 0;
    for (std::size_t at = csv.find("\"L\";"); at != std::string::npos; at = csv.find("\"L\";", at + 1)) ++n;
    return n;
  };
  const int whole = lineRows(Ledgers(o, ledgers::GeneralLedgers::Walk::kIndex, "EG-CSV"));
  Table& c60 = *TableC60;
  for (const char file : {T::kDraft, T::kClosed}) {
    bool more = c60.GoTop("C60CODE");
    while (more && !(c60.GetField(T::TCLE)[0] == 'Z' && c60.GetField(T::TFIC)[0] == file)) more = c60.Skip(1);
    ASSERT_TRUE(more) << file;
    ASSERT_TRUE(c60.PutField(T::TREC, "999999"));
  }
  const std::string byTag = Ledgers(o, ledgers::GeneralLedgers::Walk::kIndex, "EG-CSV");
  const std::string bySnapshot = Ledgers(o, ledgers::GeneralLedgers::Walk::kSnapshot, "EG-CSV");
  EXPECT_EQ(lineRows(byTag), whole - 2);
  EXPECT_NE(byTag.find("\"TG\""), std::string::npos);
  EXPECT_TRUE(byTag == bySnapshot);
}

TEST(BalanceTextTest, IsTheRuntimesAmountText) {
  std::vector<ledgers::Cents> values{0, 1, -1, 9, 10, 99, 100, 101, -100, 99999, 100000, 123456, -123456,
                                     99999999, 100000000, 123456789, -987654321, 9999999999, 10000000000,
                                     99999999999, -99999999999, 12345678901, 1000, 100000, 1000000};
  for (ledgers::Cents v = 1; v < 100000000000; v = v * 7 + 3) {
    values.push_back(v);
    values.push_back(-v);
  }
  for (ledgers::Cents v : values) {
    char text[18];
    ASSERT_TRUE(ledgers::BalanceText(v, text)) << v;
    const std::string want = v == 0 ? std::string(FormatNumber(14, 2, false, 0.0)) : std::string(FormatAmount(FromCents(v)));
    EXPECT_EQ(std::string(text), want) << v;
  }
  char text[18];
  EXPECT_FALSE(ledgers::BalanceText(100000000000, text));
  EXPECT_FALSE(ledgers::BalanceText(-100000000000, text));
}

}  // namespace
}  // namespace ledgers_test
