// The texts of journal entry that carry values, each a whole text of the table with the values in their
// places: the captions of the lines lists (the currency's letter after each amount), the title of an analytic
// lines window (the journal, month, year, account and amount), the line form's title and balance caption.
#include <gtest/gtest.h>

#include "entry/analytic_lines_window.h"
#include "entry/core/analytic_split.h"
#include "line_form_fixture.h"

namespace entry_test {
namespace {

using namespace line_form;
using entry::SplitKey;

// The shown columns' captions of a list, in their order, joined by "|".
std::string Captions(const BrowseColumnTable& t) {
  std::string out;
  for (int k = 1; k <= ColumnCount(t); ++k) {
    const std::string& title = t[static_cast<std::size_t>(k)].title;
    if (title.empty() || t[static_cast<std::size_t>(k)].width == 0) continue;
    out += (out.empty() ? "" : "|") + title;
  }
  return out;
}

TEST(EntryTexts, ListsAndTitlesCarryTheirValues) {
  const std::string debit = "D\xE9" "bit", credit = "Cr\xE9" "dit", piece = "Pi\xE8" "ce", label = "Libell\xE9";
  const std::string lines = piece + "|Jour|Vent.|Compte|" + label;
  // The split of a line of journal OD of January 2026 (year "26"), on the first axis, 400.00 euros debit.
  const SplitKey debitKey =
      SplitKey::Of("Z2601OD 000012000001" "0010", "60100000", 'V', "15", "1", "Achat", 262382, 40000);
  const SplitKey creditKey =
      SplitKey::Of("Z2601OD 000012000001" "0020", "40100000", 'X', "15", "1", "Achat", -262382, -40000);
  const struct Case {
    const char* what;
    std::string got, want;
  } cases[] = {
      {"lines, euros first", Captions(TWSaiBroDetJournaux::DeclaredColumns(true, false)),
       lines + "|" + debit + " E|" + credit + " E|Let.E|" + debit + " F|" + credit + " F|Let.F|Saisie|Ech\xE9" "ance"},
      {"lines, francs first", Captions(TWSaiBroDetJournaux::DeclaredColumns(false, false)),
       lines + "|" + debit + " F|" + credit + " F|Let.F|" + debit + " E|" + credit + " E|Let.E|Saisie|Ech\xE9" "ance"},
      {"lines, euros only", Captions(TWSaiBroDetJournaux::DeclaredColumns(true, true)),
       lines + "|" + debit + " E|" + credit + " E|Let.E|Ech\xE9" "ance|" + label + " 2"},
      {"analytic lines, euros first", Captions(TWSaiBroDetJournauxAnal::DeclaredColumns(true, false)),
       piece + "|Num\xE9" "ro|Jour|Compte|" + label + "|" + debit + " E|" + credit + " E|" + debit + " F|" + credit +
           " F|Saisie"},
      {"analytic lines, francs only", Captions(TWSaiBroDetJournauxAnal::DeclaredColumns(false, true)),
       piece + "|Num\xE9" "ro|Jour|Compte|" + label + "|" + debit + " F|" + credit + " F"},
      {"analytic title, euros", TWSaiBroDetJournauxAnal::TitleOf(debitKey, true),
       "Lignes Analytiques (1) OD en 01/26 Compte: 60100000 Db 400.00"},
      {"analytic title, francs", TWSaiBroDetJournauxAnal::TitleOf(debitKey, false),
       "Lignes Analytiques (1) OD en 01/26 Compte: 60100000 Db 2 623.82"},
      {"analytic title, second axis, credit", TWSaiBroDetJournauxAnal::TitleOf(creditKey, true),
       "Lignes Analytiques (2) OD en 01/26 Compte: 40100000 Cr -400.00"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

// The form's title names the line, its journal and month; its balance caption the currency the line was typed in.
TEST_F(LineFormTest, TheFormsTitleAndBalanceCaptionCarryTheirValues) {
  Open();
  const std::string month = MonthOf("BQ ");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  const struct Case {
    char entry;  // the line's entry currency: "O" euros, "N" francs
    const char* balance;
  } cases[] = {{'O', "Solde E"}, {'N', "Solde F"}};
  for (const Case& c : cases) {
    const std::string key = LineWhere(month, [&c](const posting::LineRecord& r) { return r.entry == c.entry; });
    ASSERT_EQ(key.size(), 24u) << c.entry;
    TWSaiModDetJournaux* f = Modify(w, key);
    ASSERT_NE(f, nullptr) << test_support::ShownTexts();
    EXPECT_EQ(f->GetCaption(), "Ligne: " + key.substr(8, 6) + "/" + key.substr(14, 10) + " de BQ de " +
                                   posting::MonthDisplay(month))
        << c.entry;
    EXPECT_EQ(f->TextOf(kBalanceCaption), c.balance) << c.entry;
    f->NoCheckFlag = true;
    gui::SendMessage(f->GetHandle(), gui::WM_CLOSE);
    gui::ProcessPendingMessages();
  }
}

}  // namespace
}  // namespace entry_test
