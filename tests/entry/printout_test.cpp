// The journal printout's report hooks, as the template interpreter calls them: the line types and
// the piece totals, the variables of a line, LIB23 and constant 065, the caches, the single-piece
// run, and the 160-character transfer records against their golden file.
#include <fstream>

#include "data/dossier_files.h"
#include "dossier/core/dossier_create.h"
#include "output_fixture.h"
#include "support/refused_read.h"

namespace entry_test {
namespace {

const std::string kGolden = std::string(MERLON_SOURCE_DIR) + "/tests/entry/data/";

class PrintoutTest : public OutputTest {
 protected:
  void TwoPieces(const std::string& month) {
    SeedMonth(month, {
                         {"000010", "05", "60640000", '1', "Fournitures", 'D', 1234.56, false, "Papier", "Encre", "C60815"},
                         {"000010", "05", "60640000", '1', "Fournitures", 'C', 1234.56},
                         {"000011", "31", "62600000", '0', "Telephone", 'D', 15.00},
                         {"000011", "31", "53000000", '0', "Telephone", 'C', 15.00},
                     });
  }
};

TEST_F(PrintoutTest, TwoPiecesGiveTheirLineTypesAndTheirOwnTotals) {
  Open();
  TwoPieces("C607CAI");
  TWSaiBroDetJournaux* w = Saisir("C607CAI");
  ASSERT_NE(w, nullptr);
  TheDossierRecord.SetConstant(65, "NON");
  w->ChosenLayoutText = "";
  ASSERT_TRUE(w->PrepareReport());
  std::vector<std::string> types{w->LineTypeText.substr(0, 1)};
  EXPECT_EQ(w->LineTypeText, "A000010000010");
  const test_support::ReportHookRun run = test_support::RunReportHooks(*w);
  for (const std::string& t : run.lineTypes) types.push_back(t.substr(0, 1));
  types.push_back(run.lastLineType.substr(0, 1));
  EXPECT_EQ(types, (std::vector<std::string>{"A", "S", "R", "S", "Z"}));
  EXPECT_EQ(run.lineCount, 4);
  using test_support::Column;
  EXPECT_EQ(Column(run, "PIECE"), (std::vector<std::string>{"000010", "000010", "000011", "000011"}));
  EXPECT_EQ(Column(run, "MONTANT"), (std::vector<std::string>{"          1235", "          1235", "            15",
                                                              "            15"}));
  EXPECT_EQ(Column(run, "DEBIT"), (std::vector<std::string>{"      1 234.56", "", "         15.00", ""}));
  EXPECT_EQ(Column(run, "CREDIT"), (std::vector<std::string>{"", "      1 234.56", "", "         15.00"}));
  EXPECT_EQ(Column(run, "DEBITF"), (std::vector<std::string>{"      8 098.18", "", "         98.39", ""}));
  // The piece totals restart with the second piece; the run's go on.
  EXPECT_EQ(Column(run, "TP_DEBIT"),
            (std::vector<std::string>{"      1 234.56", "      1 234.56", "         15.00", "         15.00"}));
  EXPECT_EQ(Column(run, "TG_DEBIT"),
            (std::vector<std::string>{"      1 234.56", "      1 234.56", "      1 249.56", "      1 249.56"}));
  EXPECT_EQ(Column(run, "CONTROLE"), (std::vector<std::string>{"?", "", "?", ""}));
  EXPECT_EQ(Column(run, "CONTROLE2"), (std::vector<std::string>{"?", "", "?", ""}));
  EXPECT_EQ(Column(run, "TP_SOLDE"), (std::vector<std::string>{"      1 234.56 Db", "", "         15.00 Db", ""}));
  EXPECT_EQ(Column(run, "TG_SOLDE"), (std::vector<std::string>{"      1 234.56 Db", "", "         15.00 Db", ""}));
  EXPECT_EQ(Column(run, "ECHEANCE"), (std::vector<std::string>{"15/08/26", "", "", ""}));
  EXPECT_EQ(Column(run, "LIB23"), (std::vector<std::string>{"", "", "", ""}));
  EXPECT_EQ(Column(run, "NOMJOURNAL")[0], "Caisse");
  EXPECT_EQ(Column(run, "MOIS")[0], "07");
  EXPECT_EQ(Column(run, "ANNEE")[0], "26");
  EXPECT_EQ(Column(run, "EURO")[0], "Euros");
  EXPECT_EQ(Column(run, "CODELIB")[0], "Facture");
  EXPECT_EQ(Column(run, "NOMCOMPTE")[0], "Fournitures administratives");
  // Two lines of one account read the chart once: three accounts, three reads.
  ASSERT_NE(w->Printout(), nullptr);
  EXPECT_EQ(w->Printout()->AccountReads(), 3);

  // With constant 065 the second and third labels follow on lines of their own, at the column.
  TheDossierRecord.SetConstant(65, "OUI");
  w->MargeLib23 = 12;
  const test_support::ReportHookRun again = Print(w, "");
  EXPECT_EQ(Column(again, "LIB23")[0], "\x18" "crlf\x19\x18s:012\x19Papier\x18" "crlf\x19\x18s:012\x19" "Encre");
  EXPECT_EQ(Column(again, "LIB23")[1], "");
  TheDossierRecord.SetConstant(65, "NON");
}

// The journal printed while the disk refuses one read of the chart or of the lines (each read in turn, EIO
// once): every account named, or the read said naming the file; never an account printed "???" without a
// word, never lines not read printed as a journal with nothing in it.
TEST_F(PrintoutTest, AnAccountOrLinesNotReadAreSaidNeverPrintedUnknownOrEmpty) {
  Open();
  TwoPieces("C607CAI");
  TWSaiBroDetJournaux* w = Saisir("C607CAI");
  ASSERT_NE(w, nullptr);
  TheDossierRecord.SetConstant(65, "NON");
  for (const char* file : {"/c20je.dbf", "/c50je.dbf"}) {
    long said = 0;
    for (int nth = 1; nth <= 60; ++nth) {
      SCOPED_TRACE(std::string("read ") + std::to_string(nth) + " of " + file + " refused");
      gui::ModalSeam::Reset();
      test_support::RefusedRead::Arm(file, nth);
      const test_support::ReportHookRun run = Print(w, "");
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      const std::string shown = test_support::ShownTexts();
      const bool told = shown.find(file + 1) != std::string::npos;
      said += told;
      EXPECT_EQ(shown.find("rien dans cet Etat"), std::string::npos) << shown;
      for (const std::string& name : test_support::Column(run, "NOMCOMPTE"))
        EXPECT_TRUE(told || name.rfind("???", 0) != 0) << "an account printed unknown without a word: " << shown;
      if (said == 1 && told && std::string(file) == "/c20je.dbf")
        test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "entry", "printout_account_unread");
      ASSERT_FALSE(HasFailure());
      if (seen < nth) break;
    }
    EXPECT_GE(said, 1) << "no refusal met the printout's look-ups of " << file;
  }
}

TEST_F(PrintoutTest, TheSinglePieceRunTakesTheSelectedRowsPiece) {
  Open();
  TwoPieces("C608CAI");
  TWSaiBroDetJournaux* w = Saisir("C608CAI");
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->LocateRowByKey(w->Lines(), posting::LinePrefix("C608CAI") + "000011", 1, 1, 1));
  const test_support::ReportHookRun run = Print(w, "1");
  ASSERT_TRUE(run.prepared);
  EXPECT_EQ(test_support::Column(run, "PIECE"), (std::vector<std::string>{"000011", "000011"}));
  EXPECT_EQ(w->LimitFrom, "000011");
  // The preview's end gives the whole journal-month back.
  w->DefaultAction();
  EXPECT_EQ(w->LimitFrom, "");
  EXPECT_EQ(w->LimitTo, "");
  EXPECT_EQ(Print(w, "").lines.size(), 4u);
  // A piece range: the pieces from the first limit to the second.
  EXPECT_EQ(Print(w, "", "000011", "000011").lines.size(), 2u);
  EXPECT_EQ(Print(w, "", "", "000010").lines.size(), 2u);
}

// The fixed-width transfer records: each 160 characters, the emitter record "03", a detail record
// "06" per transfer and the total record "08", "02" after each code, "E" with the euro amounts, 16
// digits at 103-118, the total the sum of the details.
class TransferRecordsTest : public PrintoutTest {
 protected:
  void Creditors() {
    Account("401SCIER", "Scierie de l'\xC9tang & Cie <Nord>", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX",
            "Ref/Vrt=CLI-2026-0042\r\n");
    Account("FDUPO001", "Dupont \xE0 Orl\xE9" "ans", IbanOf("FR", "20041010050500013M02606"), "PSSTFRPPTOU");
    Account("FGONE001", "Compte annul\xE9", "", "");
  }
  std::string Records(const test_support::ReportHookRun& run) {
    std::string text;
    if (run.lines.empty()) return text;
    text += run.lines[0].at("VRTS_03_01") + run.lines[0].at("VRTS_03_02") + "\n";
    for (const auto& line : run.lines) text += line.at("VRTS_06_01") + line.at("VRTS_06_02") + "\n";
    text += run.lines.back().at("VRTS_08_01") + run.lines.back().at("VRTS_08_02") + "\n";
    return text;
  }
};

TEST_F(TransferRecordsTest, RecordsOf160CharactersAgainstTheirGoldenFile) {
  Open();
  Creditors();
  WorkingDate("15/03/26");
  SeedMonth("C609CAI", {{"000001", "05", "401SCIER", 'V', "Facture 12\\mars", 'D', 1234.50},
                        {"000001", "05", "FDUPO001", 'V', "Avoir", 'D', 12.30},
                        {"000001", "05", "FGONE001", 'V', "Sans compte", 'D', 1.00},
                        {"000001", "05", "53000000", 'V', "Banque", 'C', 1247.80}});
  // The last creditor's account is cancelled: it has no bank details, never the line before's.
  Table c20;
  ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE"));
  ASSERT_TRUE(c20.Seek("C20CODE", "FGONE001"));
  ASSERT_TRUE(c20.DeleteRecord(nullptr, 0));
  UnlockRecord(c20);
  c20.CloseTable();
  TWSaiBroDetJournaux* w = Saisir("C609CAI");
  ASSERT_NE(w, nullptr);
  gui::ModalSeam::Reset();
  const test_support::ReportHookRun run = Print(w, "VBQ01V");
  ASSERT_TRUE(run.prepared) << test_support::ShownTexts();
  ASSERT_EQ(run.lines.size(), 3u);
  EXPECT_EQ(test_support::Column(run, "BQF_IBAN")[2], "");
  EXPECT_EQ(test_support::Column(run, "NOMCOMPTE")[2], "???");
  const std::string records = Records(run);
  std::ofstream(test_support::ArtefactPath("entry", "vrts-journal.actual"), std::ios::binary) << records;
  EXPECT_EQ(records, test_support::DossierFixture::ReadAll(kGolden + "vrts-journal.golden"));

  std::vector<std::string> lines;
  for (std::size_t from = 0; from < records.size();) {
    const std::size_t end = records.find('\n', from);
    lines.push_back(records.substr(from, end - from));
    from = end + 1;
  }
  ASSERT_EQ(lines.size(), 5u);
  long long details = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& r = lines[i];
    EXPECT_EQ(r.size(), 160u) << i;
    const std::string code = i == 0 ? "03" : (i + 1 == lines.size() ? "08" : "06");
    EXPECT_EQ(r.substr(0, 4), code + "02") << i;
    if (i == 0) {
      EXPECT_EQ(r[80], 'E');
      continue;
    }
    const std::string amount = r.substr(102, 16);
    EXPECT_EQ(amount.find_first_not_of("0123456789"), std::string::npos) << amount;
    if (code == "06") details += std::stoll(amount);
    else EXPECT_EQ(std::stoll(amount), details);
  }
  EXPECT_EQ(lines[2].substr(102, 16), "0000000000001230");
  // The cancelled account is said at the end of the preview.
  gui::ModalSeam::Reset();
  w->DefaultAction();
  EXPECT_NE(test_support::ShownTexts().find("au moins un RIB est incomplet"), std::string::npos);
  EXPECT_NE(test_support::ShownTexts().find("FGONE001"), std::string::npos);
}

class FrancRecordsTest : public TransferRecordsTest {
 protected:
  DossierCurrency Currency() const override { return DossierCurrency::FrancMain; }
};

// A run in francs writes euro amounts into the records: its currency letter is "E" all the same.
TEST_F(FrancRecordsTest, TheLetterMatchesTheEuroAmounts) {
  Open();
  Creditors();
  SeedMonth("C609CAI", {{"000001", "05", "FDUPO001", 'V', "Avoir", 'D', 12.30},
                        {"000001", "05", "53000000", 'V', "Banque", 'C', 12.30}});
  TWSaiBroDetJournaux* w = Saisir("C609CAI");
  ASSERT_NE(w, nullptr);
  const test_support::ReportHookRun run = Print(w, "VBQ01V");
  ASSERT_TRUE(run.prepared) << test_support::ShownTexts();
  EXPECT_EQ(test_support::Column(run, "EURO")[0], "Francs");
  EXPECT_EQ(run.lines[0].at("VRTS_03_02")[0], 'E');
  EXPECT_EQ(run.lines[0].at("VRTS_06_02").substr(22, 16), "0000000000001230");
}

}  // namespace
}  // namespace entry_test
