// The "Aide fichier" lookup list over real tables: what it lists, the row
// limit of dossier constant 030, the shortened search text, cancelled
// records, the code handed back and the dialog's answers through the seam.
#include <cstdio>

#include "framework/lookup_dialog.h"
#include "test_subject.h"

namespace {

using subject::SubjectTest;

class LookupDialogTest : public SubjectTest {
 protected:
  // Runs the dialog; `fill` acts on it before the queued answer.
  int Run(const std::string& kind, int width, std::string& text, int answer,
          std::function<void(TDAideFichier&)> fill = {}) {
    TDAideFichier dialog(nullptr, nullptr, kind, width, &text);
    gui::ModalSeam::QueueDialogAnswer(answer, [fill](gui::Window& w) {
      test_support::Screenshot(w.Widget(), "lookup", "lookup_dialog");
      if (fill) fill(static_cast<TDAideFichier&>(w));
    });
    return dialog.Execute(kTaskModal);
  }
};

TEST_F(LookupDialogTest, RowLimitOfConstant030) {
  for (int i = 0; i < 60; ++i) {
    char code[8];
    std::snprintf(code, sizeof code, "J%02d", i);
    AddC10("J", code, std::string("JOURNAL ") + code);
  }
  struct Case {
    const char* constant;
    const char* typed;
    int limit;
    std::size_t rows;
  };
  const Case cases[] = {
      {"050", "", 50, 51}, {"050", "J", 0, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.constant) + "/" + c.typed);
    TheDossierRecord.SetConstant(30, c.constant);
    EXPECT_EQ(LookupRowLimit(c.typed), c.limit);
    const LookupRows r = CollectLookupRows('1', "J", c.typed, LookupRowLimit(c.typed));
    ASSERT_EQ(r.rows.size(), c.rows);
    EXPECT_EQ(r.rows[0], "J00\tJOURNAL J00");
  }
  const LookupRows r = CollectLookupRows('1', "J", "", 50);
  EXPECT_EQ(r.rows[50], "\t>>> Nombre maxi d\xE9pass\xE9 (Constante 030):   50");

  // The overflow row chosen with OK hands back an empty code.
  std::string text;
  EXPECT_EQ(Run("J", 3, text, gui::IDOK, [](TDAideFichier& d) { d.List()->SetSelIndex(50); }), gui::IDOK);
  EXPECT_EQ(text, "");
}

TEST_F(LookupDialogTest, SearchTextShortensUntilSomethingMatches) {
  AddRecord(*TableC20, {"40110000", "FOURNISSEUR A"});
  AddRecord(*TableC20, {"40111000", "FOURNISSEUR B"});
  AddRecord(*TableC20, {"40112000", "FOURNISSEUR ANNULE"}, true);
  AddRecord(*TableC20, {"40120000", "FOURNISSEUR C"});
  AddRecord(*TableC20, {"41100000", "CLIENTS"});
  struct Case {
    const char* typed;
    const char* search;
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {"4011X", "4011", {"40110000\tFOURNISSEUR A", "40111000\tFOURNISSEUR B"}},
      {"4011200", "4011", {"40110000\tFOURNISSEUR A", "40111000\tFOURNISSEUR B"}},  // cancelled: no match
      {"9", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const LookupRows r = CollectLookupRows('2', "2", c.typed, 0);
    EXPECT_EQ(r.search, c.search);
    EXPECT_EQ(r.rows, c.rows);
  }
}

TEST_F(LookupDialogTest, CodeIsCutToTheWidth) {
  AddC10("J", "ACH", "ACHATS");
  AddC10("J", "ACX", "ANNULE", true);
  AddC10("J", "BQ", "BANQUE");
  AddC10("B", "ACZ", "AUTRE SORTE");

  // Names line up behind the longest code (and a blank).
  std::string text = "AC";
  EXPECT_EQ(Run("J", 2, text, gui::IDOK,
                [](TDAideFichier& d) { EXPECT_EQ(d.List()->TabStop(), 4 * d.Units().baseX); }),
            gui::IDOK);
  EXPECT_EQ(text, "AC") << "ACH cut to two characters";


  // Only live records of the kind.
  EXPECT_EQ(CollectLookupRows('1', "J", "", 0).rows, (std::vector<std::string>{"ACH\tACHATS", "BQ\tBANQUE"}));
}

}  // namespace
