// The word search every list shares (a single search text folded as the words of a "&" or "|" search are) and
// the franc / euro conversion of the forms (a rate that is not positive converts nothing and blanks nothing).
#include "controls/medit.h"
#include "test_subject.h"

namespace {

using subject::SubjectTest;

class WordSearchTest : public SubjectTest {
 protected:
  void TearDown() override {
    BrowseSearchText.clear();
    TheDossierRecord.SetConstant(64, "NON");
    SubjectTest::TearDown();
  }
  // As a list searches: the search text split at "&" and "|" into folded words, then the field's text.
  static bool Finds(const std::string& search, const std::string& text) {
    BrowseSearchText = search;
    std::vector<std::string> words = SplitText(search.c_str(), false, '&', '|');
    FoldAccentsUpper(words);
    return FindFolded(words, text);
  }
};

TEST_F(WordSearchTest, ASingleSearchTextIsFoldedAsTheWordsAre) {
  const struct {
    const char* search;
    const char* constant064;
    const char* text;
    bool found;
  } cases[] = {
      {"dupont", "NON", "Boucherie DUPONT", true},         // small letters find capitals
      {"DUPONT", "NON", "boucherie dupont", true},
      {"  dupont ", "NON", "DUPONT", true},                // trimmed
      {"\xE9picerie", "NON", "\xC9PICERIE", true},         // accents upper-cased as letters
      {"epicerie", "NON", "\xC9picerie Martin", false},    // without constant 064: an exact search
      {"epicerie", "OUI", "\xC9picerie Martin", true},     // with it: accents folded in the text
      {"\xE9picerie", "OUI", "EPICERIE", true},            // ... and in the single search text
      {"g^raud", "NON", "G RAUD", true},                   // "^" stands for a blank
      {"g^raud", "NON", "GERAUD", false},
      {"xyz|dupont", "NON", "DUPONT", true},               // any of the words
      {"xyz&dupont", "NON", "DUPONT", true},
      {"xyz&abc", "NON", "DUPONT", false},
      {"\xE9pi&xyz", "OUI", "EPICERIE", true},
      {"&", "NON", "DUPONT", false},                       // separators only
      {"", "NON", "DUPONT", false},                        // nothing to look for finds nothing
      {"dupont", "NON", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.search) + " / " + c.constant064);
    TheDossierRecord.SetConstant(64, c.constant064);
    EXPECT_EQ(Finds(c.search, c.text), c.found) << c.text;
  }
}

TEST(AmountConversionTest, ConvertedTextsAndRatesThatConvertNothing) {
  const struct {
    const char* source;
    double rate;
    bool inverse;
    const char* converted;  // null: nothing converted
  } cases[] = {
      {"655.96", 6.55957, true, "100.00"}, {"100", 6.55957, false, "655.96"}, {"1", 6.55957, true, "0.15"},
      {"0", 6.55957, false, ""},           {"", 6.55957, true, ""},          {"0.001", 6.55957, true, ""},
      {"-10", 6.55957, true, "-1.52"},     {"10", 0.0, true, nullptr},       {"10", -6.55957, false, nullptr},
      {"10", 0.0, false, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " at " + std::to_string(c.rate));
    const auto text = ConvertAmountText(c.source, c.rate, c.inverse);
    ASSERT_EQ(text.has_value(), c.converted != nullptr);
    if (text) {
      EXPECT_EQ(*text, c.converted);
    }
  }
}

// The form's conversion between two edits with the dossier's rate: a rate of 0 leaves the other amount as it is,
// a result of 0 still empties it.
class ConversionFormTest : public SubjectTest {
 protected:
  void TearDown() override {
    TheDossierRecord.Set(DossierRecord::kParityPos, DossierRecord::kParityWidth, "");
    SubjectTest::TearDown();
  }
};

TEST_F(ConversionFormTest, ARateThatIsNotPositiveLeavesTheOtherAmount) {
  auto* form = new CMDIModif(client_, "Conversion", 4, 2, 500, 15, 0);
  auto* francs = new MEdit(form, 1201, 14, 1, MEdit::kSigned, 2, false);
  auto* euros = new MEdit(form, 1202, 14, 1, MEdit::kSigned, 2, false);
  ASSERT_TRUE(form->Create());
  const struct {
    const char* rate;
    const char* typed;
    const char* before;
    const char* after;
  } cases[] = {{"6.55957", "655.96", "1", "100.00"}, {"6.55957", "0", "1", ""}, {"0", "655.96", "12.00", "12.00"},
               {"", "655.96", "12.00", "12.00"},     {"-1", "5", "3.00", "3.00"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.rate) + " " + c.typed);
    TheDossierRecord.Set(DossierRecord::kParityPos, DossierRecord::kParityWidth, c.rate);
    francs->SetText(c.typed);
    euros->SetText(c.before);
    form->ConvertAmountByInverseRate(*francs, *euros);
    EXPECT_EQ(euros->GetText(), c.after);
    form->ConvertAmountByRate(*euros, *francs);
    if (std::string(c.before) == c.after) {
      EXPECT_EQ(francs->GetText(), c.typed) << "nothing converted back either";
    }
  }
  form->NoCheckFlag = true;
  gui::SendMessage(form->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
}

}  // namespace
