// The word search of the lines window as one table of search texts and the line each finds, Escape
// stopping a search, and the amount search finding a line of another journal-month and showing it
// selected in that journal-month's own lines window.
#include "controls/mcontrols.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "posting/new_lines.h"
#include "entry_fixture.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"

namespace entry_test {
namespace {

using namespace entry;
using namespace posting;

const std::string kMonth = "C607CAI";

class SearchTest : public EntryTest {
 public:
  // Lines of a journal-month of their own, written as the line form will write them.
  struct Line {
    const char* label;
    const char* account;
    double euros;
    const char* due;
    bool cancelled;
  };
  void WriteLines(const std::vector<Line>& lines) {
    const test_support::SetUpPermit permit("lignes mises en place");
    ASSERT_TRUE(EnsureGeneralFile());
    ASSERT_EQ(EnsureDraftHeader(*TableC10, kMonth), HeaderCreation::Created);
    Table c50, c60;
    ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
    ASSERT_TRUE(c60.OpenShared(PathC60(), T::kRecordTag));
    long n = 0;
    for (const Line& l : lines) {
      ASSERT_TRUE(c50.AppendBlank());
      const std::vector<std::pair<int, std::string>> fields{
          {L::BCLE, "Z"},        {L::BMOIS, "C607"},   {L::BJAL, "CAI"},      {L::BPIECE, StrZero(900 + ++n, 0)},
          {L::BREC, "000001"},   {L::BNUM, "0001"},    {L::BNUMA, "0001"},    {L::BJOUR, "14"},
          {L::BCODE, l.account}, {L::BLIB, l.label},   {L::BECHEANCE, l.due}, {L::BEURO, "O"},
          {L::BSENS, "D"},       {L::BCLIB, "1"}};
      for (const auto& [f, v] : fields) c50.PutField(f, v.c_str());
      c50.PutFieldNum(L::BMONTANTE, l.euros);
      c50.PutFieldNum(L::BMONTANTF, Round(2, l.euros * 6.55957));
      ASSERT_TRUE(c50.InsertRecord());
      ASSERT_TRUE(AppendLigneTri(c50, T::kDraft, c60));
      if (l.cancelled) {
        ASSERT_TRUE(c50.DeleteRecord(nullptr, 0));
        UnlockRecord(c50);
        ASSERT_TRUE(T::Find(c60, T::kDraft, c50.recordNumber) && c60.DeleteRecord(nullptr, 0));
        UnlockRecord(c60);
      }
    }
  }
  // "Chercher" from the first line with a typed text: the piece of the line found ("" when the
  // search ended without one) and what was shown.
  std::string Search(TWSaiBroDetJournaux* w, const std::string& text, bool again = false) {
    gui::ModalSeam::Reset();
    if (!again) {
      w->GoFirst();
      w->SelectRow(1, 1);
      gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [text](gui::Window& d) {
        static_cast<gui::Dialog&>(d).SetItemText(1202, text);
      });
    }
    const std::string before = w->GetSelectedRowText();
    Send(w, again ? 20051u : 20049u);
    const bool told = !gui::ModalSeam::Shown().empty() &&
                      gui::ModalSeam::Shown().back().kind == gui::ModalKind::MessageBox;
    if (told) return "";
    return w->GetSelectedRowText().substr(8, 6);
  }
};

const std::vector<SearchTest::Line> kLines = {
    {"Facture DUPONT", "41100000", 10.00, "", false},                  // 000901
    {"R\xE9glement \xC9lise H\xF4tel", "51200000", 20.00, "", false},  // 000902 "Réglement Élise Hôtel"
    {"Remise de ch\xE8ques", "51200000", 1234.50, "C60315", false},    // 000903
    {"Frais bancaires", "62700000", 5.00, "", true},                   // 000904, cancelled
    {"Loyer de mars", "61320000", 900.00, "", false},                  // 000905
};

TEST_F(SearchTest, EachSearchTextFindsItsLine) {
  Open();
  WriteLines(kLines);
  TWSaiBroDetJournaux* w = Saisir(kMonth);
  ASSERT_NE(w, nullptr) << test_support::ShownTexts();
  ASSERT_EQ(w->Store().totalRows, 5);
  const struct Case {
    const char* text;
    const char* c064;
    const char* found;  // piece, "" none
  } cases[] = {
      {"DUPONT", "OUI", "000901"},
      {"ELISE", "OUI", "000902"},          // accented capitals folded under constant 064
      {"ELISE", "NON", ""},                // an exact search leaves "É" as it is
      {"\xC9LISE", "NON", "000902"},       // ... and finds it typed with its accent
      {"HOTEL|LOYER", "OUI", "000902"},    // either word
      {"LOYER|ZZZ", "OUI", "000905"},
      {"ZZZ&LOYER", "OUI", "000905"},      // "&" behaves as "|"
      {"DE^MARS&ZZZ", "OUI", "000905"},    // "^" is a blank inside the words of a list
      {"&&", "OUI", ""},                   // separators only
      {"LOYER&&", "OUI", "000905"},        // the empty words match nothing, the others still do
      {"1234.50", "OUI", "000903"},        // an amount in its plain form ...
      {"1 234.50", "OUI", ""},             // ... not as the list shows it
      {"C60315", "OUI", "000903"},         // a due date as it is stored ...
      {"15/03/26", "OUI", ""},             // ... not as it is shown
      {"FRAIS", "OUI", "000904"},          // a cancelled line is found too
      {"000901", "OUI", "000901"},         // the key fields are searched: the first line matches
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.c064);
    TheDossierRecord.SetConstant(64, c.c064);
    const std::string found = Search(w, c.text);
    EXPECT_EQ(found, c.found) << test_support::ShownTexts();
    if (*c.found == '\0') {
      EXPECT_NE(test_support::ShownTexts().find("introuvable"), std::string::npos) << test_support::ShownTexts();
    }
  }
  // "Chercher Encore" goes on from the next line and never wraps.
  TheDossierRecord.SetConstant(64, "OUI");
  EXPECT_EQ(Search(w, "51200000"), "000902");
  EXPECT_EQ(Search(w, "", true), "000903");
  EXPECT_EQ(Search(w, "", true), "");
  EXPECT_EQ(w->GetSelectedRowText().substr(8, 6), "000903") << "the selection stays";
}

// A single word is folded like the words of a list, so that a word typed in small letters and
// without accents finds accented text (the framework's FindFolded as "Master data 2" mends it).
TEST_F(SearchTest, ASingleWordIsFoldedLikeTheWordsOfAList) {
  Open();
  WriteLines(kLines);
  TWSaiBroDetJournaux* w = Saisir(kMonth);
  ASSERT_NE(w, nullptr);
  const struct Case {
    const char* text;
    const char* c064;
    const char* found;
  } cases[] = {
      {"dupont", "OUI", "000901"},
      {"elise", "OUI", "000902"},
      {"\xC9lise", "OUI", "000902"},
      {"loyer de mars", "NON", "000905"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TheDossierRecord.SetConstant(64, c.c064);
    EXPECT_EQ(Search(w, c.text), c.found) << test_support::ShownTexts();
  }
}

TEST_F(SearchTest, EscapeStopsASearch) {
  Open();
  TWSaiBroDetJournaux* w = Saisir(JournalMonths()[0].first);
  ASSERT_NE(w, nullptr);
  gui::NoteKeyDown(gui::VK_ESCAPE);
  EXPECT_EQ(Search(w, "QQQQQQ"), "");
  gui::NoteKeyUp(gui::VK_ESCAPE);
  EXPECT_NE(test_support::ShownTexts().find("Recherche dans le Journal|\n\nRecherche Interrompue"), std::string::npos)
      << test_support::ShownTexts();
  EXPECT_EQ(Search(w, "QQQQQQ"), "");
  EXPECT_NE(test_support::ShownTexts().find("introuvable"), std::string::npos);
}

TEST_F(SearchTest, ChercherMontantFindsTheLineInAnotherJournalMonthAndShowsItThere) {
  Open();
  // A live line whose euro amount is found in another journal-month too (a sale and its receipt).
  Table c50;
  ASSERT_TRUE(c50.OpenShared(PathC50(), "", true));
  std::map<long long, std::vector<std::pair<std::string, std::string>>> byAmount;  // cents -> month, key
  for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z') continue;
    byAmount[ToCents(c50.GetFieldNum(L::BMONTANTE))].emplace_back(std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL),
                                                                  L::Key(c50));
  }
  std::string from, fromKey, target;
  for (const auto& [cents, lines] : byAmount)
    for (const auto& a : lines)
      for (const auto& b : lines)
        if (target.empty() && a.first != b.first) {
          from = a.first;
          fromKey = a.second;
          target = b.second;
        }
  ASSERT_FALSE(target.empty());
  TWSaiBroDetJournaux* w = Saisir(from);
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->LocateRowByKey(w->Lines(), fromKey, 1, 1, 1));
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& d) {
    auto& dialog = dynamic_cast<TDRechercheEcriture&>(d);
    dialog.CmChercher();
    ASSERT_GE(dialog.Found().size(), 2u);
    EXPECT_EQ(dialog.Found().front().journalMonth, from) << "the caller's journal-month first";
    for (std::size_t i = 0; i < dialog.Found().size(); ++i)
      if (dialog.Found()[i].key == target) dialog.List()->SetSelIndex(static_cast<int>(i));
    dialog.Show(gui::SW_SHOWNORMAL);
    test_support::Screenshot(dialog.OuterWidget(), "entry", "search_1334");
  });
  Send(w, 20185);
  gui::ProcessPendingMessages();
  TWSaiBroDetJournaux* other = WindowOf(target.substr(1, 7));
  ASSERT_NE(other, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(other->GetSelectedRowText(), target);
  EXPECT_TRUE(IsBlank(SearchTargetKey));
  EXPECT_TRUE(other->HoldsHeader());

  // Shift held: the next line of that amount, without the dialog, here in the open window.
  ASSERT_TRUE(w->LocateRowByKey(w->Lines(), fromKey, 1, 1, 1));
  gui::ModalSeam::Reset();
  gui::SetModifierKeyDown(gui::VK_SHIFT, true);
  Send(w, 20185);
  gui::ProcessPendingMessages();
  gui::ClearModifierKeyOverrides();
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
  EXPECT_EQ(other->GetSelectedRowText().substr(0, 8), target.substr(0, 8));
}

}  // namespace
}  // namespace entry_test
