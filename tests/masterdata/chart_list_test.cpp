// The chart of accounts list opened from "Données > Plan Comptable" over the demo dossier: both orders and the
// switch between them, the shaded groups of constant 062, the balances, type-ahead, creation, cancellation, the
// word search and the report variables.
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <algorithm>

#include "chart_fixture.h"
#include "framework/browse_services.h"
#include "framework/fmt_saisie.h"
#include "masterdata/core/record_text.h"
#include "masterdata/record_text_editor.h"
#include "platform/gui/keyboard.h"
#include "runtime/numbers.h"
#include "shell/application.h"
#include "shell/startup.h"
#include "support/books_writes.h"
#include "support/cut_texts.h"
#include "support/report_hook_driver.h"

namespace md_test {
namespace {

using namespace masterdata;

bool Enabled(gui::Window* w, unsigned id) {
  gui::CommandEnabler ce(id);
  w->EvCommandEnable(ce);
  return ce.Enabled();
}

class ChartListTest : public ChartTest {
 protected:
  void TearDown() override {
    gui::NoteKeyUp(gui::VK_ESCAPE);
    BrowseTickSource = nullptr;
    BrowseSearchText.clear();
    ChartTest::TearDown();
  }
  // Every code of the chart in code order, read by another cursor.
  static std::vector<std::string> Codes() {
    std::vector<std::string> codes;
    Table t;
    EXPECT_TRUE(t.OpenShared(PathC20(), "C20CODE"));
    for (t.GoTop("C20CODE"); !t.eof && t.recordNumber != 0; t.Skip(1)) codes.push_back(SliceOf(t.GetField(1), 1, 8));
    return codes;
  }
  static std::string RowOf(ChartList* list, const std::string& code) {
    if (!list->LocateCode(code)) return {};
    return list->Store().rows[static_cast<std::size_t>(list->GetSelectedRowIndex() - 1)];
  }
  // "Chercher" [F2] with the word typed in its input.
  void Search(ChartList* list, const std::string& word) {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [word](gui::Window& w) {
      dynamic_cast<TDFmtSaisie&>(w).Input()->SetText(word);
    });
    Send(list, browse_cmd::Chercher);
  }
  // A code the form of another window left in the list's registry entry, then "ReCaler" (20071).
  void Recaler(ChartList* list, const std::string& code) {
    SetRegistryText(461 + 11, 8, code);
    Send(list, browse_cmd::ReCaler);
  }
  // The new-code dialog of "Créer", the code (and the model) typed and OK pressed; its two lines when refused.
  std::string Create(ChartList* list, const std::string& code, const std::string& from = "") {
    std::string lines;
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
      auto& d = dynamic_cast<TDDonNouv&>(w);
      d.CodeEdit()->SetText(code);
      d.FromEdit()->SetText(from);
      d.EvCommand(gui::IDOK);
      gui::ProcessPendingMessages();
      lines = d.Line1() + "|" + d.Line2();
    });
    Send(list, browse_cmd::Nouveau);
    return lines;
  }
};

TEST_F(ChartListTest, BothOrdersTheSwitchKeepsTheAccountAndThePlaceAndTheOrderHoldsUntilTheNextStart) {
  // Two customers of one name: the switch keeps the second.
  Put('2', "CZZZ0001", {{2, "Garage Zo\xE9"}, {25, "41100000"}});
  Put('2', "CZZZ0002", {{2, "Garage Zo\xE9"}, {25, "41100000"}});
  ChartList* list = Open();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->GetCaption(), "Fichier du Plan Comptable (Tri par Code)");
  EXPECT_EQ(list->Store().totalRows, 302);
  EXPECT_EQ(list->SelectedCode(), "10100000");
  const std::string row = RowOf(list, "53000000");
  EXPECT_EQ(row.substr(7, 8), "53000000") << "the hidden key column";
  EXPECT_EQ(row.substr(15, 8), "53000000") << "the code at position 16";
  EXPECT_EQ(row.substr(23, 6), "Caisse");
  test_support::Screenshot(MainFrame->OuterWidget(), "masterdata", "chart_list_by_code");
  EXPECT_TRUE(list->SaveSnapshot(test_support::ArtefactPath("masterdata", "chart_list_by_code_rows.png")));

  // "Tri par Nom" on a customer: the list opens again at its place, in name order, on that customer.
  const std::string customer = "CZZZ0002";
  ASSERT_TRUE(list->LocateCode(customer));
  const gui::Rect place = list->GetWindowRect();
  Send(list, 20147);
  list = ListOf('2');
  ASSERT_NE(list, nullptr);
  EXPECT_FALSE(list->CodeOrder());
  EXPECT_EQ(list->GetCaption(), "Fichier du Plan Comptable (Tri par Nom)");
  EXPECT_EQ(list->GetWindowRect().x, place.x);
  EXPECT_EQ(list->GetWindowRect().w, place.w);
  EXPECT_EQ(list->SelectedCode(), customer);
  EXPECT_EQ(ProgramOption(21), 'N');
  EXPECT_TRUE(ListReopenState.empty());
  const std::string byName = list->Store().rows[static_cast<std::size_t>(list->GetSelectedRowIndex() - 1)];
  EXPECT_EQ(byName.substr(45, 8), customer) << "the code at position 46";
  EXPECT_EQ(byName.substr(7, 8), std::string(Upper(byName.substr(15, 8).c_str()))) << "the key: the name in capitals";
  // Name order: no creation, no form, no word search; "Aller au code" beeps; rows shaded one in two.
  EXPECT_FALSE(Enabled(list, browse_cmd::Nouveau));
  EXPECT_FALSE(Enabled(list, browse_cmd::Modifier));
  EXPECT_FALSE(Enabled(list, browse_cmd::Chercher));
  EXPECT_FALSE(Enabled(list, 20147));
  EXPECT_TRUE(Enabled(list, 20145));
  const int beeps0 = beeps;
  Send(list, browse_cmd::AllerAuCode);
  Send(list, browse_cmd::Modifier);
  EXPECT_EQ(beeps, beeps0 + 2);
  EXPECT_EQ(FormOf('2'), nullptr);
  EXPECT_EQ(list->GetCellTextColor(1, 3), 0);
  EXPECT_EQ(list->GetCellTextColor(2, 3), 6);
  test_support::Screenshot(MainFrame->OuterWidget(), "masterdata", "chart_list_by_name");
  // The returned code is read at position 46.
  list->CopySelectedCode();

  // Closed and opened from the menu again: still by name; a new start: by code.
  gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
  list = Open();
  ASSERT_NE(list, nullptr);
  EXPECT_FALSE(list->CodeOrder());
  gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
  FillReportOptions();  // what a new start does
  list = Open();
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->CodeOrder());
  // No order switch while the account form is open.
  ASSERT_NE(Edit("53000000"), nullptr);
  EXPECT_FALSE(Enabled(list, 20147));
  Send(list, 20147);
  EXPECT_EQ(ListOf('2'), list);
  EXPECT_TRUE(list->CodeOrder());
}

// The groups shown plain or shaded for constant 062 are the groups the codes make: a new group wherever the
// prefix of the code's level (digits: first level, "C": second, other letters: third) changes, every second
// group shaded.
TEST_F(ChartListTest, TheShadedGroupsFollowTheBreakLevelsOfConstant062) {
  Put('2', "C1", {{2, "Client court"}, {25, "41100000"}});
  const struct {
    const char* constant;
    int general, customer, other;
  } cases[] = {{"111", 1, 1, 1}, {"122", 1, 2, 2}, {"123", 1, 2, 3}, {"233", 2, 3, 3}, {"409", 1, 2, 2}};
  const std::vector<std::string> codes = Codes();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.constant);
    Constant(62, c.constant);
    ChartList* list = Open();
    ASSERT_NE(list, nullptr);
    std::string previous;
    int group = 0;
    std::map<std::string, bool> shaded;
    for (const std::string& code : codes) {
      const int level = code[0] >= '0' && code[0] <= '9' ? c.general : code[0] == 'C' ? c.customer : c.other;
      std::string prefix = code.substr(0, static_cast<std::size_t>(level));
      if (group == 0 || prefix != previous) ++group;
      previous = prefix;
      shaded[code] = group % 2 == 0;
    }
    for (const std::string& code : codes)
      EXPECT_EQ(IsShadedCode(list->BreakList(), code, list->Levels()), shaded[code]) << code;
    // The painter's colour of the rows of a page.
    ASSERT_TRUE(list->LocateCode(codes[150]));
    for (int i = 1; i <= list->Store().rowsPerPage; ++i) {
      const std::string& row = list->Store().rows[static_cast<std::size_t>(i - 1)];
      if (row.size() < 15) break;
      EXPECT_EQ(list->GetCellTextColor(i, 3), shaded[row.substr(7, 8)] ? 6 : 0) << row.substr(7, 8);
    }
    if (std::string(c.constant) == "123") test_support::Screenshot(list->OuterWidget(), "masterdata", "chart_list_123");
    gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
    gui::ProcessPendingMessages();
  }
}

TEST_F(ChartListTest, TheBalanceColumnIsBlankWhenDebitEqualsCreditAndTypedKeysLandOnTheirRank) {
  Put('2', "47100000", {{2, "Compte d'attente"}, {17, "100"}, {18, "15.24"}, {19, "100"}, {20, "15.24"}});
  Put('2', "47200000", {{2, "Autre attente"}, {18, "1234.5"}, {20, "0.5"}});
  ChartList* list = Open();
  ASSERT_NE(list, nullptr);
  // The balance cell: after the marker, the key (8), the code (8), the name (30), the counterpart (8) and the
  // balance-sheet mark (3).
  const std::size_t balance = 7 + 8 + 8 + 30 + 8 + 3;
  EXPECT_EQ(RowOf(list, "47100000").substr(balance, 21), std::string(21, ' '));
  EXPECT_EQ(RowOf(list, "47200000").substr(balance, 21), "          1 234.00 Db");

  // Keys typed: each selects the first account of that rank in the code index.
  std::uint32_t now = 1000;
  BrowseTickSource = [&now] { return now; };
  const std::vector<std::string> codes = Codes();
  const struct {
    const char* keys;
    const char* prefix;
  } cases[] = {{"4", "4"}, {"F", "F"}, {"CB", "CB"}, {"7", "7"}, {"CM", "CM"}, {"1", "1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    now += 5000;
    for (const char* k = c.keys; *k != '\0'; ++k) list->EvKeyDown(*k, 1, 0);
    const auto first = std::find_if(codes.begin(), codes.end(),
                                    [&](const std::string& code) { return code.rfind(c.prefix, 0) == 0; });
    ASSERT_NE(first, codes.end());
    EXPECT_EQ(list->SelectedCode(), *first);
    EXPECT_EQ(list->Store().selected, first - codes.begin() + 1);
  }
  // A prefix no code has: a beep, nothing selected anew.
  now += 5000;
  const long before = list->Store().selected;
  list->EvKeyDown('9', 1, 0);
  EXPECT_EQ(list->Store().selected, before);
}

// Créer, the copy of a model and the creation offers of a code left in the list's registry (constant 010), each
// with and without the create right.
TEST_F(ChartListTest, CreationFromTheDialogAsACopyAndFromTheOffersOfConstant010) {
  {
    // "Caisse" with an amount in every field.
    const test_support::SetUpPermit permit("compte mis en place");
    Table t;
    ASSERT_TRUE(t.OpenShared(PathC20(), "C20CODE"));
    ASSERT_TRUE(t.Seek("C20CODE", "53000000"));
    for (int f : {17, 18, 19, 20, 21, 22, 23, 24, 28, 29}) t.PutFieldNum(f, f * 10.5);
    t.PutField(3, "Place du March\xE9");
    ASSERT_TRUE(t.Commit());
  }
  ChartList* list = Open();
  ASSERT_NE(list, nullptr);
  // A general code is completed with zeros and opens in its form, named after its code.
  EXPECT_EQ(Create(list, "409"), "|");
  ChartRecordForm* form = FormOf('2');
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(form->Code(), "40900000");
  EXPECT_EQ(form->EditOf(1201)->GetText(), "40900000");
  form->CmQuitter();
  gui::ProcessPendingMessages();
  EXPECT_EQ(list->Store().totalRows, 301);
  // An auxiliary code keeps its letters, blank-padded; its collective must exist; a small letter or a blank in a
  // code is refused with its message.
  EXPECT_EQ(Create(list, "FMOREL"), "|");
  ASSERT_NE(FormOf('2'), nullptr);
  EXPECT_EQ(FormOf('2')->Code(), "FMOREL  ");
  EXPECT_EQ(FormOf('2')->EditOf(1201)->GetText(), "MOREL");
  FormOf('2')->CmQuitter();
  gui::ProcessPendingMessages();
  EXPECT_EQ(Create(list, "ZMOREL"), "\nATTENTION, auparavant...|le compte collectif 'Z' doit exister");
  EXPECT_EQ(Create(list, "4a1"), "|Svp, pas de minuscule dans le code");
  EXPECT_EQ(Create(list, "41 1"), "|Svp, pas d'espace parmi le code");
  // A copy of "Caisse": "Copie de Caisse", its fields but every amount zero.
  EXPECT_EQ(Create(list, "531", "530"), "|");
  ASSERT_NE(FormOf('2'), nullptr);
  FormOf('2')->CmQuitter();
  gui::ProcessPendingMessages();
  const auto copy = Stored('2', "53100000"), model = Stored('2', "53000000");
  EXPECT_EQ(copy.at("CLIB"), "Copie de Caisse");
  EXPECT_EQ(copy.at("CRUE1"), "Place du March\xE9");
  EXPECT_EQ(model.at("CDEBITE"), "189.00");
  for (const char* f : {"CDEBITF", "CDEBITE", "CCREDITF", "CCREDITE", "CDEBNM1F", "CDEBNM1E", "CCRENM1F", "CCRENM1E",
                        "CBUDGETF", "CBUDGETE"})
    EXPECT_EQ(copy.at(f), "0.00") << f;
  EXPECT_EQ(list->SelectedCode(), "53100000");

  // The offers of a code another window left: constant 010, the answer, the create right.
  const struct {
    const char* constant;
    const char* key;
    bool right;
    int answer;             // 0: no question expected
    const char* question;   // the code offered
    const char* created;    // "" none
    const char* selected;   // the row selected afterwards
  } cases[] = {
      {"O38", "9", true, 0, "", "", ""},                          // a general code needs 3 characters
      {"OUI", "9", true, gui::IDYES, "90000000", "90000000", "90000000"},
      {"O38", "4019", true, gui::IDNO, "40190000", "", "40100000"},  // No: the code cut until an account is found
      {"OUI", "CDUPONT", true, gui::IDYES, "CDUPONT", "CDUPONT ", "CDUPONT "},
      {"OUI", "9999", false, 0, "", "", ""},                        // no create right: only looked for
      {"NON", "9998", true, 0, "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.constant) + " " + c.key);
    Constant(10, c.constant);
    gui::ModalSeam::Reset();
    const DossierRecord saved = TheDossierRecord;
    if (!c.right) {
      // A user of the secondary password who may see the chart but not create in it (function 11: code 018).
      TheDossierRecord.SetUserLevel('2');
      TheDossierRecord.SetAt(DossierRecord::kRightsPos - 1 + 18, '1');
      ASSERT_FALSE(HasAccessRight(11, 2));
      ASSERT_TRUE(HasAccessRight(11, 1));
    }
    if (c.answer != 0) gui::ModalSeam::QueueMessageBoxAnswer(c.answer);
    Recaler(list, c.key);
    const auto& shown = gui::ModalSeam::Shown();
    if (c.answer == 0) {
      EXPECT_TRUE(shown.empty()) << test_support::ShownTexts();
    } else {
      ASSERT_EQ(shown.size(), 1u) << test_support::ShownTexts();
      EXPECT_EQ(shown[0].text, std::string("Code Plan Comptable: ") + c.question + " inexistant\n\nVoulez-vous le cr\xE9" "er?\n\n");
      EXPECT_EQ(shown[0].caption, "ATTENTION");
    }
    if (*c.created != '\0') {
      EXPECT_FALSE(Stored('2', RTrim(c.created)).empty());
      ASSERT_NE(FormOf('2'), nullptr);
      EXPECT_EQ(FormOf('2')->Code(), c.created);
      FormOf('2')->CmQuitter();
      gui::ProcessPendingMessages();
    }
    if (*c.selected != '\0') {
      EXPECT_EQ(list->SelectedCode(), c.selected);
    }
    EXPECT_TRUE(Stored('2', "9999").empty());
    EXPECT_TRUE(IsBlank(RegistryText(461 + 11, 8))) << "the stored code is consumed";
    TheDossierRecord = saved;
  }
  // No collective "Z": the offer is not made, the message says why.
  Constant(10, "OUI");
  gui::ModalSeam::Reset();
  Recaler(list, "ZDUPONT");
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, "\n\n\nLe compte collectif n'existe pas:\n\n   Z\n\n");
  // A code beginning with "0" is neither sought nor offered and stays stored.
  gui::ModalSeam::Reset();
  Recaler(list, "0123");
  EXPECT_TRUE(gui::ModalSeam::Shown().empty());
  EXPECT_EQ(RegistryText(461 + 11, 8), "0123    ");
}

TEST_F(ChartListTest, AccountsCreatedInARowEachOpenInTheFormLeftOpenByTheOneBefore) {
  ChartList* list = Open();
  ASSERT_NE(list, nullptr);
  // The form of each new account opens, the form of the one before still open: what the user types next goes
  // to the new account's form, never to the list.
  for (const char* code : {"47100001", "47100002", "47100003"}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(Create(list, code), "|");
    gui::ProcessPendingMessages();
    ChartRecordForm* form = FormOf('2');
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    EXPECT_EQ(form->Code(), code);
    EXPECT_EQ(MainFrame->GetClient()->GetActiveMDIChild(), form) << "the form in front";
  }
  test_support::Screenshot(MainFrame->OuterWidget(), "masterdata", "chart_third_account_created");
}

TEST_F(ChartListTest, AnnulerOnlyAtZeroAndACancelledAccountDoesNotOpen) {
  const struct {
    const char* code;
    std::map<int, std::string> amounts;
    const char* constant039;
    bool cancelled;
  } cases[] = {
      {"47300001", {}, "NON", true},
      {"47300002", {{18, "0.01"}}, "OUI", false},         // euro debit
      {"47300003", {{24, "-3"}}, "OUI", false},           // euro previous-year credit
      {"47300004", {{29, "-50"}}, "OUI", false},          // euro budget
      {"47300005", {{17, "6.56"}}, "NON", false},         // franc debit, a dossier in both currencies
      {"47300006", {{17, "6.56"}, {28, "1"}}, "OUI", true},  // francs only count outside euro-only mode
  };
  for (const auto& c : cases) Put('2', c.code, c.amounts);
  ChartList* list = Open();
  ASSERT_NE(list, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    Constant(39, c.constant039);
    ASSERT_TRUE(list->LocateCode(c.code));
    EXPECT_EQ(Enabled(list, browse_cmd::Annuler), c.cancelled);
    const int beeps0 = beeps;
    Send(list, browse_cmd::Annuler);
    EXPECT_EQ(RowOf(list, c.code)[6], c.cancelled ? kMarkerCancelled : kMarkerOrdinary);
    EXPECT_EQ(beeps, beeps0 + (c.cancelled ? 0 : 1));
    EXPECT_EQ(Stored('2', c.code).empty(), c.cancelled) << "python3-dbfread leaves a cancelled record out";
  }
  // A cancelled account opens neither in its form nor in its text; reactivated, it opens.
  ASSERT_TRUE(list->LocateCode("47300001"));
  Send(list, browse_cmd::Modifier);
  Send(list, browse_cmd::Texte);
  EXPECT_EQ(FormOf('2'), nullptr);
  Send(list, browse_cmd::Reactiver);
  EXPECT_EQ(RowOf(list, "47300001")[6], kMarkerOrdinary);
  Send(list, browse_cmd::Modifier);
  ASSERT_NE(FormOf('2'), nullptr);
}

TEST_F(ChartListTest, TheWordSearchFindsNamesTownsAndEMailsFoldedAsTheWordsAndEscapeStopsIt) {
  Put('2', "CZZZ0001", {{2, "\xC9picerie G\xE9raud"}, {5, "37000 Tours"}, {8, "geraud@exemple.fr"}, {25, "41100000"}});
  Put('2', "CZZZ0002", {{2, "Quincaillerie Z\xE9" "bulon"}, {5, "21000 Dijonvert"}, {25, "41100000"}});
  ChartList* list = Open();
  ASSERT_NE(list, nullptr);
  const struct {
    const char* word;
    const char* constant064;
    const char* found;  // "" for not found
  } cases[] = {
      {"quincaillerie", "NON", "CZZZ0002"},      // small letters find capitals
      {"GERAUD@", "NON", "CZZZ0001"},            // the e-mail
      {"Dijonv", "NON", "CZZZ0002"},             // the town
      {"epicerie geraud", "OUI", "CZZZ0001"},    // accents folded under constant 064
      {"epicerie geraud", "NON", ""},            // exact search
      {"\xE9picerie g\xE9raud", "OUI", "CZZZ0001"},  // typed with accents, folded too
      {"xyzzy|zebulon", "OUI", "CZZZ0002"},      // any of the words
      {"xyzzy&g^raud", "NON", ""},
      {"plomberie^zzz", "NON", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    Constant(64, c.constant064);
    ASSERT_TRUE(list->LocateCode("CZZZ0001")) << "the search starts at the selected account";
    list->LocateCode("C");
    gui::ModalSeam::Reset();
    Search(list, c.word);
    if (*c.found != '\0') {
      EXPECT_EQ(list->SelectedCode(), c.found);
      EXPECT_EQ(gui::ModalSeam::Shown().size(), 1u) << "only the input";
    } else {
      ASSERT_EQ(gui::ModalSeam::Shown().size(), 2u);
      EXPECT_EQ(gui::ModalSeam::Shown()[1].caption, "Recherche dans le Plan Comptable");
      EXPECT_EQ(gui::ModalSeam::Shown()[1].text,
                std::string("\n\n\n   Mot(s):\n\n      '") + c.word + "'\n\n   introuvable(s)\n\n\n");
    }
  }
  // "Chercher Encore" [F3] goes on after the selected account: the second match.
  Constant(64, "OUI");
  ASSERT_TRUE(list->LocateCode("C"));
  Search(list, "geraud|zebulon");
  EXPECT_EQ(list->SelectedCode(), "CZZZ0001");
  Send(list, browse_cmd::ChercherEncore);
  EXPECT_EQ(list->SelectedCode(), "CZZZ0002");
  // Escape held down stops the walk.
  ASSERT_TRUE(list->LocateCode("1"));
  gui::NoteKeyDown(gui::VK_ESCAPE);
  gui::ModalSeam::Reset();
  Search(list, "nowhere");
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 2u);
  EXPECT_EQ(gui::ModalSeam::Shown()[1].text, "\n\n\nRecherche Interrompue\n\n\n");
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[1], "masterdata", "chart_search_interrupted");
}

// The report variables through the hook driver: list type "1" keeps the accounts with an e-mail, "C" puts three
// accounts on a line in the copies "A", "B" and "C", another letter ("1" excepted) makes a blank list type.
TEST_F(ChartListTest, TheReportVariablesForListTypesOneCAndTheStandardLayout) {
  Put('2', "CZZZ0001", {{2, "Client"}, {8, "client@exemple.fr"}, {25, "411"}, {22, "10"}, {24, "2.5"}, {29, "-50"}});
  ChartList* list = Open();
  ASSERT_NE(list, nullptr);
  list->ListTypeLetter = ' ';
  auto all = test_support::RunReportHooks(*list, "CZ", "CZZZ");
  ASSERT_TRUE(all.prepared);
  ASSERT_EQ(all.lines.size(), 1u);
  const auto& line = all.lines[0];
  EXPECT_EQ(line.at("EURO"), "Euros ");
  EXPECT_EQ(RTrim(line.at("CTRPARTIE").c_str()), std::string("411"));
  EXPECT_EQ(RTrim(line.at("LIBCTRPART").c_str()), std::string("Clients")) << "an old unpadded counterpart is read padded";
  EXPECT_EQ(line.at("SOLDENM1"), "          7.50 Db");
  EXPECT_EQ(line.at("BUDGET"), "         50.00 Cr");
  EXPECT_EQ(all.lastLineType, "Z");

  list->ListTypeLetter = '1';
  auto mails = test_support::RunReportHooks(*list);
  Table t;
  ASSERT_TRUE(t.OpenShared(PathC20(), "C20CODE"));
  std::size_t withMail = 0;
  for (t.GoTop("C20CODE"); !t.eof; t.Skip(1)) withMail += IsBlank(t.GetField(8)) ? 0 : 1;
  EXPECT_EQ(mails.lines.size(), withMail);
  for (const std::string& m : test_support::Column(mails, "EMAIL")) EXPECT_FALSE(m.empty());

  list->ListTypeLetter = 'C';
  auto three = test_support::RunReportHooks(*list, "1", "2");
  std::vector<std::string> codes;
  // From "1" to "2": every code beginning with either (a limit is compared on its own length).
  for (t.GoTop("C20CODE"); !t.eof; t.Skip(1))
    if (t.GetField(1)[0] == '1' || t.GetField(1)[0] == '2') codes.push_back(RTrim(t.GetField(1)));
  ASSERT_EQ(three.lines.size(), (codes.size() + 2) / 3);
  for (std::size_t i = 0; i < codes.size(); ++i)
    EXPECT_EQ(RTrim(three.lines[i / 3].at(std::string(1, static_cast<char>('A' + i % 3)) + "CODE").c_str()), codes[i]);
  if (codes.size() % 3 != 0) {
    EXPECT_TRUE(IsBlank(three.lines.back().at("CCODE")));
  }
  EXPECT_EQ(list->ListTypeLetter, 'C');
  list->ListTypeLetter = '7';
  test_support::RunReportHooks(*list, "1", "1");
  EXPECT_EQ(list->ListTypeLetter, ' ');
}

// Names as long as the field (30 characters) show whole in both orders: no name is cut short with a tooltip
// holding the rest.
TEST_F(ChartListTest, LongNamesShowWhole) {
  const std::vector<std::pair<std::string, std::string>> accounts = {
      {"42100000", "Personnel - r\xE9mun\xE9rations dues"},
      {"40100000", "Fournisseurs - Factures non pa"},
      {"CZZZ0003", "Menuiserie G\xE9n\xE9rale du Maine"},
      {"CZZZ0004", "SARL MENUISERIE GENERALE TOURS"},
  };
  for (const auto& [code, name] : accounts) Put('2', code, {{2, name}});
  for (bool byCode : {true, false}) {
    SCOPED_TRACE(byCode ? "code order" : "name order");
    ChartList* list = byCode ? Open() : ListOf('2');
    ASSERT_NE(list, nullptr);
    if (!byCode) {
      Send(list, 20147);
      list = ListOf('2');
      ASSERT_NE(list, nullptr);
    }
    const BrowseColumnTable& columns = list->Columns();
    int nameColumn = 0;
    for (int k = 1; k <= ColumnCount(columns); ++k)
      if (columns[static_cast<std::size_t>(k)].title == "Nom") nameColumn = k;
    ASSERT_GT(nameColumn, 0);
    const int cw = CMDIBrowse::CharWidthPixels(), rh = CMDIBrowse::RowHeightPixels();
    const int left = ColumnStart(columns, nameColumn) * cw;
    const int right = left + static_cast<int>(columns[static_cast<std::size_t>(nameColumn)].width) * cw;
    for (const auto& [code, name] : accounts) {
      SCOPED_TRACE(code);
      ASSERT_TRUE(list->LocateCode(code));
      list->View()->Widget()->grab();  // painted: a cut cell gets its tooltip
      const int row = list->GetSelectedRowIndex();
      const int y = row * rh + rh / 2;
      std::string tip;
      for (int x = left + 2; x < right - 1 && tip.empty(); x += cw) tip = list->View()->ToolTipAt(gui::Point{x, y});
      EXPECT_EQ(tip, "") << "a name cut in a column of " << right - left << " pixels";
    }
    test_support::Screenshot(list->View()->Widget(), "masterdata", byCode ? "chart_long_names" : "chart_long_names_by_name");
  }
}

// Telephone, fax and e-mail as long as their fields show whole, and so does every column title, in the
// accounts' and the sections' lists (the picture: the list at its opening size).
TEST_F(ChartListTest, ContactCellsAndTitlesShowWhole) {
  const std::map<int, std::string> contact = {{masterdata::c20::kName, "Menuiserie G\xE9n\xE9rale du Maine"},
                                              {masterdata::c20::kPhone, "+33 (0)2 43 28 45 90"},
                                              {masterdata::c20::kFax, "+33 (0)2 43 28 45 99"},
                                              {masterdata::c20::kEmail, "comptabilite@menuiserie-gdm.fr"}};
  Put('2', "CZZZ0005", contact);
  Put('3', "ZZ05", contact);
  for (char kind : {'2', '3'}) {
    SCOPED_TRACE(kind == '2' ? "accounts" : "sections");
    ChartList* list = Open(kind);
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(list->LocateCode(kind == '2' ? "CZZZ0005" : "ZZ05"));
    const int row = list->GetSelectedRowIndex();
    list->Store().selected = 0;  // the row in its own colours
    test_support::Screenshot(list->View()->Widget(), "masterdata", kind == '2' ? "chart_contacts" : "sections_contacts");
    // And scrolled to the telephone, as the user scrolls to it.
    const BrowseColumnTable& columns = list->Columns();
    for (int k = 1; k <= ColumnCount(columns); ++k)
      if (columns[static_cast<std::size_t>(k)].field == masterdata::c20::kPhone)
        list->Store().hPos = ColumnStart(columns, k) - ColumnStart(columns, FixedColumnCount(columns) + 1);
    test_support::Screenshot(list->View()->Widget(), "masterdata",
                             kind == '2' ? "chart_contacts_scrolled" : "sections_contacts_scrolled");
    list->Store().hPos = 0;
    int seen = 0;
    EXPECT_EQ(test_support::CutTexts(*list, row, &seen), std::vector<std::string>());
    EXPECT_EQ(seen, test_support::ShownColumnCount(*list)) << "every column looked at";
    list->CmQuitter();
    gui::ProcessPendingMessages();
  }
}

// "Texte" chosen from the pop-up of the first row, as the user right-clicks it: the text window opens once,
// active and in front; the click that opened the pop-up is not handled again by the list around the rows (which
// took the keys back and offered its pop-up a second time).
TEST_F(ChartListTest, TexteFromThePopUpOfTheFirstRowOpensTheTextInFront) {
  ChartList* list = Open();
  ASSERT_NE(list, nullptr);
  list->GoFirst();
  QWidget* view = list->View()->Widget();
  view->setFocus();
  gui::ProcessPendingMessages();
  const QPoint at(60, CMDIBrowse::RowHeightPixels() + CMDIBrowse::RowHeightPixels() / 2);
  gui::ModalSeam::QueuePopupMenuAnswer(browse_cmd::Texte);
  QMouseEvent press(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                    Qt::NoModifier);
  QApplication::sendEvent(view, &press);
  gui::ProcessPendingMessages();
  auto* text = dynamic_cast<TWDonTexte*>(gui::Window::FromHandle(SlotHandle(kRecordTextSlot)));
  ASSERT_NE(text, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(text->GetCaption(), "Texte - Code Plan Comptable: " + std::string(RTrim(list->SelectedCode().c_str())));
  EXPECT_EQ(CommandWindow->GetActiveMDIChild(), text) << "the text window active, not the list";
  int popups = 0;
  for (const gui::ShownModal& m : gui::ModalSeam::Shown()) {
    if (m.kind != gui::ModalKind::PopupMenu) continue;
    ++popups;
    EXPECT_EQ(QPoint(m.screenX, m.screenY), view->mapToGlobal(at)) << "the pop-up opens where the row was clicked";
  }
  EXPECT_EQ(popups, 1);
  test_support::Screenshot(MainFrame->OuterWidget(), "masterdata", "chart_text_from_popup");
  text->NoCheckFlag = true;
  text->CloseWindow();
  gui::ProcessPendingMessages();
}

}  // namespace
}  // namespace md_test
