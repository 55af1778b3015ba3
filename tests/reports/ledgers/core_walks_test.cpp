// The quick paths of the general ledgers write what the plain ones write: the sort file read once
// into a snapshot and walked in memory gives the same exports, byte for byte, as the walk through
// its tag; the values of a line made when read give the same pages and exports as the values made
// at once; the balances' text made from the cents is the runtime's amount text.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>

#include "data/record_fields.h"
#include "ledger_fixture.h"
#include "data/entry_lines.h"
#include "data/table.h"
#include "reports/engine/core/page_store.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "runtime/numbers.h"
#include "support/books_writes.h"
#include "runtime/text.h"

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

// The values of a line made when the template reads them are those made at once on every line,
// however a template reads them: in the line, in a condition or a blank test, gathered from the
// variable before them, by their number, through an alias, with the margin of labels 2 and 3
// changed between the line's computation and its reading, in the head of the next block (the
// previous line's values, after the walk moved on), in the totals, and after the data ended;
// for the pages of the preview as for the export, in every ledger of "Tous".
TEST_F(WalksTest, ValuesMadeWhenReadAreThoseMadeAtOnce) {
  const test_support::SetUpPermit permit("lignes mises en place");
  // Runs the ledgers of the options with a template; their exports and every record of their
  // pages, one after the other.
  auto run = [&](const ledgers::GeneralLedgerOptions& o, bool whenRead, const std::string& layout) {
    ledgers::GeneralLedgers gl;
    gl.valuesWhenRead = whenRead;
    gl.TakeLimits(o.ToRecord());
    gl.ChooseReportCode("EG-CSV");
    std::string all;
    int n = 0;
    for (bool more = gl.PrepareNextLedger(); more; more = gl.NextLedger()) {
      const std::string path = ArtefactPath(std::to_string(++n) + (whenRead ? "-read" : "-once") + ".csv");
      std::string pages;
      const std::string text = RunToExport(gl, layout, path, &pages);
      if (text.empty()) return std::string("no run");
      all += text + "\n--\n" + pages + "\n==\n";
    }
    return all;
  };
  // CLIB is followed by CODELIBELL, DATE, JOURNAL, PIECE; field 9 is DATE.
  const std::string layouts[] = {
      // Each value in the line, in conditions and blank tests, gathered, by number, by alias.
      "[Export:csv][Export][ITD][Rupt-abcdefghijkluvwx]{[TT-Init]B [@COMPTE] [@NOMCOMPTE]\r\n"
      "}[TT-Avant][Rupt-klm]{L [@CLIB] [@CODELIBELL] [d] [@9] [@JOURNAL] [@PIECE] [@LIBELLE] [@ECHEANCE] "
      "[@SENSDC] [@VENTILATIO] [@SEURO] [@LETTRE] [@MONTANTE] [@DEBIT] [@CREDIT]\r\n"
      "G [@CLIB,1,40] [@LIBELLE,3,4] [Si:@SENSDC='D',deb,cred] [Si:@LETTRE#'',lettre,libre] "
      "[Si@ECHEANCE]\xAB" "ech [@ECHEANCE]\xBB [Si!@LETTRE]\xAB" "sans\xBB\r\n"
      "[MargeLib23=7]M [@LIB23][MargeLib23=9]\r\n"
      "S [@SC_SOLDE] [@SC_SOLDEMT] [@SC_SOLDEDC] [@TG_SOLDE] [@TG_SOLDEMT] [@TG_SOLDEDC]\r\n"
      "}[TT-Suivant][ITF]F [@DATE] [@PIECE] [@LETTRE] [@TG_SOLDE] [@TG_SOLDEDC]\r\n[FinPage][d=@DATE]",
      // Nothing of the line read in it: only in the head of the next block and at the end.
      "[Export:csv][Export][ITD][Rupt-abcdefghijkluvwx]{[TT-Init]B [@COMPTE] [@LIBELLE] [@DATE] [@LETTRE] "
      "[@SC_SOLDE] [@SC_SOLDEDC] [@TG_SOLDEMT]\r\n"
      "}[TT-Avant][Rupt-klm]{L [@DEBIT] [@CREDIT]\r\n"
      "}[TT-Suivant][ITF]F [@PIECE] [@SEURO] [@SC_SOLDEMT] [@TG_SOLDE]\r\n",
      // Read only now and then: the balances when the amount is a debit, the texts when not.
      "[Export:csv][Export][ITD][Rupt-abcdefghijkluvwx]{[TT-Init]B [@COMPTE]\r\n"
      "}[TT-Avant][Rupt-klm]{[Si:@SENSDC='D',@SC_SOLDE@,@LIBELLE@] [Si:@SENSDC='C',@TG_SOLDEDC@,@DATE@]\r\n"
      "}[TT-Suivant][ITF]",
  };
  struct Case {
    char kind;
    const char* from;
    const char* to;
    bool prior;
    char lettering;
  };
  const Case cases[] = {{'T', "C50701", "C60630", false, '1'}, {'G', "C50901", "C60331", true, '4'},
                        {'A', "C50701", "C60630", false, '3'}};
  // Labels 2 and 3 shown at their margin, a label 2 on every third draft line (the generated
  // lines have none).
  SetConstant(65, "O");
  Table& c50 = *TableC50;
  int n = 0;
  for (bool more = c50.GoTop("C50CODE"); more; more = c50.SkipActive(true))
    if (++n % 3 == 0) ASSERT_TRUE(c50.PutField(LigneEcriture::BLIB2, ("Deuxi\xE8me " + std::to_string(n)).c_str()));
  ASSERT_TRUE(c50.Commit());
  ASSERT_GT(n, 100);
  for (const Case& c : cases) {
    ledgers::GeneralLedgerOptions o;
    o.kind = c.kind;
    o.dateFrom = c.from;
    o.dateTo = c.to;
    o.priorCumulation = c.prior;
    o.inEuros = true;
    o.letteringFilter = c.lettering;
    if (c.kind == 'A') o.collectives = "CF";
    for (std::size_t l = 0; l < std::size(layouts); ++l) {
      SCOPED_TRACE(std::string(1, c.kind) + c.from + " layout " + std::to_string(l));
      const std::string once = run(o, false, layouts[l]);
      const std::string read = run(o, true, layouts[l]);
      EXPECT_GT(once.size(), 2000u);
      for (const char* refused : {"?@", "?si", "?d?"})
        EXPECT_EQ(once.find(refused), std::string::npos) << "a statement was not understood: " << refused;
      EXPECT_TRUE(once == read) << "the runs differ (" << once.size() << " and " << read.size() << " bytes)";
      if (once != read) {
        std::size_t at = 0;
        while (at < once.size() && at < read.size() && once[at] == read[at]) ++at;
        ADD_FAILURE() << "first difference at " << at << ":\n" << once.substr(at > 200 ? at - 200 : 0, 400)
                      << "\n---\n" << read.substr(at > 200 ? at - 200 : 0, 400);
      }
    }
  }
}

// The snapshot holds the general lines of the sort file in the order its tags give them, equal
// keys in record order: its lines counted into place by their keys' words, and sorted by
// comparison when a word takes more distinct values than counting allows.
TEST_F(WalksTest, TheSnapshotListsTheLinesInTheTagsOrder) {
  Table& c60 = *TableC60;
  for (const ledgers::SortOrder order : {ledgers::SortOrder::kCode, ledgers::SortOrder::kStm, ledgers::SortOrder::kJx}) {
    SCOPED_TRACE(ledgers::TagOf(order));
    std::vector<std::uint32_t> byTag;
    auto walk = ledgers::MakeIndexWalk(c60, order);
    for (bool more = walk->GoTop(); more; more = walk->Next()) byTag.push_back(walk->Line().recno);
    ASSERT_GT(byTag.size(), 1000u);
    for (const std::size_t most : {std::size_t{1} << 16, std::size_t{400}, std::size_t{2}, std::size_t{0}}) {
      SCOPED_TRACE(most);
      ledgers::SortSnapshot snapshot;
      snapshot.mostCountedValues = most;
      ASSERT_TRUE(snapshot.Build(c60, order));
      std::vector<std::uint32_t> bySnapshot;
      for (std::size_t i = 0; i < snapshot.Size(); ++i) bySnapshot.push_back(snapshot.At(i).recno);
      EXPECT_TRUE(bySnapshot == byTag);
    }
  }
}

// A sort record pointing at no line (of the drafts and of the closed file) is passed over in both
// walks alike, and the run goes on to the end.
TEST_F(WalksTest, ASortRecordPointingNowhereIsPassedOver) {
  const test_support::SetUpPermit permit("enregistrement de tri abime");
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

// A ledger's balance as the field table writes it: the amount grouped whole with its side, reading
// back as its value, at every size up to the widest a total holds and past it.
TEST(BalanceTextTest, IsTheRuntimesAmountText) {
  std::vector<ledgers::Cents> values{0, 1, -1, 9, 10, 99, 100, 101, -100, 99999, 100000, 123456, -123456,
                                     99999999, 100000000, 123456789, -987654321, 9999999999, 10000000000,
                                     99999999999, -99999999999, 12345678901, 1000, 100000, 1000000};
  for (ledgers::Cents v = 1; v < 100000000000; v = v * 7 + 3) {
    values.push_back(v);
    values.push_back(-v);
  }
  for (ledgers::Cents v : {100000000000LL, -100000000000LL, 9999999999999LL, -9999999999999LL}) values.push_back(v);
  static const std::regex balance("^ *[0-9]{1,3}( [0-9]{3})*\\.[0-9]{2} (Db|Cr)$");
  for (ledgers::Cents v : values) {
    if (v == 0) continue;
    const std::string text = BalanceAmount(v);
    EXPECT_TRUE(std::regex_match(text, balance)) << v << " '" << text << "'";
    EXPECT_GE(text.size(), 17u) << v;
    EXPECT_EQ(text.substr(text.size() - 2), v > 0 ? "Db" : "Cr") << v;
    EXPECT_DOUBLE_EQ(Val(text.c_str()), FromCents(v < 0 ? -v : v)) << v;
  }
}

// The one reading of a stored amount: the numbers as the engine writes them and any other
// number (signs and points out of place, more decimals, long runs of digits) give their cents;
// what does not read as a number gives 0 and says so, a run of 19 digits or more included.
TEST(StoredAmountTest, ReadsEveryNumberAndRefusesTheRest) {
  struct Case {
    std::string text;
    std::optional<long long> cents;  // none: not a number
  };
  const std::optional<long long> no;
  std::vector<Case> cases{{"", 0},          {" ", 0},
                          {"          ", 0}, {"0", 0},
                          {"0.00", 0},       {"    1234.50", 123450},
                          {"   -1234.50", -123450}, {"-0.01", -1},
                          {"  .5", 50},      {"1.", 100},
                          {"12.3", 1230},    {"12.345", 1235},
                          {"12.344", 1234},  {"12.3449", 1234},
                          {"12.3451", 1235}, {"  12.50 ", 1250},
                          {"99999999999999.99", 9999999999999999},
                          {"123456789012345.67", 12345678901234567},
                          {"00012.00", 1200}, {"+12.00", 1200},
                          {"0000000000000000000001.25", 125},
                          {"-", no},         {" - ", no},
                          {"1.2.3", no},     {"12-", no},
                          {"1 234.50", no},  {"12.5x", no},
                          {"abc", no},       {"12,50", no},
                          {"12,34", no},     {"-1e300", no},
                          {std::string("  12\0\0.50", 9), no},
                          {"1234567890123456", no},
                          {"-1234567890123456789", no},
                          {"99999999999999999999", no},
                          {"-99999999999999999999999.99", no},
                          {"18446744073709551617.00", no}};
  for (long long v = 1; v < 100000000000000LL; v = v * 13 + 7) {
    char text[32];
    std::snprintf(text, sizeof text, "%17lld.%02lld", v / 100, v % 100);
    cases.push_back({text, v});
    std::snprintf(text, sizeof text, "%17s", ("-" + std::to_string(v / 100) + "." + std::to_string(v % 10)).c_str());
    cases.push_back({text, -(v / 100 * 100 + v % 10 * 10)});
  }
  for (const Case& c : cases) {
    bool readable = true;
    const long long cents = StoredAmountCents(c.text, &readable);
    EXPECT_EQ(readable, c.cents.has_value()) << "'" << c.text << "'";
    EXPECT_EQ(readable, ReadableNumberText(c.text)) << "'" << c.text << "'";
    EXPECT_EQ(cents, c.cents.value_or(0)) << "'" << c.text << "'";
  }
}


// A third decimal rounds half up wherever a stored amount is read, as ToCents rounds the value:
// the one reading, the ledger's, the general one; the decimals past the third count for nothing.
TEST(StoredAmountTest, AThirdDecimalRoundsHalfUpAsToCentsDoes) {
  const struct {
    const char* text;
    long long cents;
  } kCases[] = {{"12.345", 1235},  {"12.3449", 1234}, {"12.3409", 1234}, {"12.3451", 1235}, {"-1.005", -101},
                {"  0.004", 0},    {"0.0059", 1},     {"  99.995 ", 10000}, {"+2.675", 268}, {"-0.0049", 0}};
  for (const auto& c : kCases) {
    EXPECT_EQ(StoredAmountCents(c.text), c.cents) << c.text;
  }
  for (long long v = 1; v < 10000000000LL; v = v * 7 + 3) {
    for (const char* form : {"%lld.%03lld", "-%lld.%04lld"}) {
      char text[40];
      std::snprintf(text, sizeof text, form, v / 1000, v % (form[0] == '-' ? 10000 : 1000));
      EXPECT_EQ(StoredAmountCents(text), ToCents(std::strtod(text, nullptr))) << text;
    }
  }
}

}  // namespace
}  // namespace ledgers_test
