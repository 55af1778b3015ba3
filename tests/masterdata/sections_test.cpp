// The analytic sections of an analytic demo dossier: the menu item, the list and its groups of constant 063,
// cancellation, creation and the offer of a code left in the registry, the section form, the account and section
// forms over a stored figure that does not read; and the lookups of the
// forms through the lists (constant 030 "N"): an account from a bank form of the code lists, a section through
// LookupC30Code.
#include "chart_fixture.h"
#include "masterdata/code_form.h"
#include "masterdata/code_list.h"
#include "platform/gui/menu.h"
#include "runtime/text.h"
#include "shell/application.h"
#include "support/line_files.h"
#include "support/report_hook_driver.h"

namespace md_test {
namespace {

using namespace masterdata;
using namespace masterdata::section_form;

bool Enabled(gui::Window* w, unsigned id) {
  gui::CommandEnabler ce(id);
  w->EvCommandEnable(ce);
  return ce.Enabled();
}

class SectionsTest : public ChartTest {
 protected:
  char AnalyticMode() const override { return '1'; }
  void SetUp() override {
    ChartTest::SetUp();
    saved_ = TheDossierRecord;
  }
  void TearDown() override {
    TheDossierRecord = saved_;
    ChartTest::TearDown();
  }
  static std::string RowOf(ChartList* list, const std::string& code) {
    if (!list->LocateCode(code)) return {};
    return list->Store().rows[static_cast<std::size_t>(list->GetSelectedRowIndex() - 1)];
  }
  DossierRecord saved_;
};

TEST_F(SectionsTest, TheListItsGroupsOfConstant063AndItsReport) {
  gui::Menu* data = MainMenuHandle->GetSubMenu(2);
  ASSERT_NE(data, nullptr);
  EXPECT_GE(data->FindPosition(20310), 0) << "an analytic dossier has the item";
  for (const char* code : {"1A01", "1A02", "1B01", "2A01"}) Put('3', code, {{2, std::string("Section ") + code}});
  const struct {
    const char* constant;
    std::vector<std::pair<const char*, bool>> shaded;
  } cases[] = {
      {"2  ", {{"1A01", false}, {"1A02", false}, {"1B01", true}, {"2A01", false}, {"ADMIN", true}, {"ATELIER", false}}},
      {"1  ", {{"1A01", false}, {"1B01", false}, {"2A01", true}, {"ADMIN", false}, {"BUREAU", true}, {"SAV", true}}},
      {"7  ", {{"1A01", false}, {"2A01", true}, {"ADMIN", false}}},  // not 1-3: 1
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.constant);
    Constant(63, c.constant);
    ChartList* list = Open('3');
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetCaption(), "Fichier des Sections Analytiques (Tri par Code)");
    EXPECT_EQ(list->Store().totalRows, 9);
    for (const auto& [code, shaded] : c.shaded)
      EXPECT_EQ(IsShadedCode(list->BreakList(), PaddedCode(code, 8), list->Levels()), shaded) << code;
    if (c.constant[0] == '2') {
      list->GoFirst();
      test_support::Screenshot(MainFrame->OuterWidget(), "masterdata", "section_list");
    }
    gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
    gui::ProcessPendingMessages();
  }
  // The report: 17 variables, list type "1" keeps the sections with an e-mail address.
  ChartList* list = Open('3');
  ASSERT_NE(list, nullptr);
  list->ListTypeLetter = '1';
  const auto run = test_support::RunReportHooks(*list);
  ASSERT_TRUE(run.prepared);
  EXPECT_EQ(run.lines.size(), 5u) << "the generated sections have one, those put here not";
  EXPECT_EQ(RTrim(run.lines[0].at("CODE").c_str()), std::string("ADMIN"));
  EXPECT_EQ(run.lines[0].size(), 16u) << "17 variables, two of them without a name";
  EXPECT_EQ(run.lines[0].count("TG_BUDGET"), 1u);
}

TEST_F(SectionsTest, CancellationCreationAndTheOfferOfAStoredCode) {
  const struct {
    const char* code;
    std::map<int, std::string> amounts;
    bool cancelled;
  } cases[] = {
      {"Z001", {}, true},
      {"Z002", {{9, "6.56"}}, false},   // a franc amount refuses it whatever constant 039 says
      {"Z003", {{12, "1"}}, false},
      {"Z004", {{17, "-10"}}, false},
      {"Z005", {{16, "2"}}, false},
  };
  for (const auto& c : cases) Put('3', c.code, c.amounts);
  Constant(39, "OUI");
  ChartList* list = Open('3');
  ASSERT_NE(list, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    ASSERT_TRUE(list->LocateCode(c.code));
    EXPECT_EQ(Enabled(list, browse_cmd::Annuler), c.cancelled);
    Send(list, browse_cmd::Annuler);
    EXPECT_EQ(RowOf(list, c.code)[6], c.cancelled ? kMarkerCancelled : kMarkerOrdinary);
  }
  // Créer without a model: the code only, the name blank until the form is saved.
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    dynamic_cast<TDDonNouv&>(w).CodeEdit()->SetText("ZNEW");
  });
  Send(list, browse_cmd::Nouveau);
  ChartRecordForm* form = FormOf('3');
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(form->GetCaption(), "Code Section Analytique: ZNEW");
  EXPECT_EQ(Text(form, kName), "");
  EXPECT_EQ(Stored('3', "ZNEW").at("ALIB"), "");
  form->CmQuitter();
  gui::ProcessPendingMessages();
  // A copy of a model: its name, zero amounts.
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = dynamic_cast<TDDonNouv&>(w);
    d.CodeEdit()->SetText("ZCOPY");
    d.FromEdit()->SetText("ADMIN");
  });
  Send(list, browse_cmd::Nouveau);
  ASSERT_NE(FormOf('3'), nullptr);
  FormOf('3')->CmQuitter();
  gui::ProcessPendingMessages();
  const auto copy = Stored('3', "ZCOPY"), model = Stored('3', "ADMIN");
  EXPECT_EQ(copy.at("ALIB"), "Copie de Administration");
  EXPECT_EQ(copy.at("AEMAIL"), model.at("AEMAIL"));
  EXPECT_NE(model.at("ABUDGETE"), "0.00");
  for (const char* f : {"ADEBITF", "ADEBITE", "ACREDITF", "ACREDITE", "ADEBNM1F", "ADEBNM1E", "ACRENM1F", "ACRENM1E",
                        "ABUDGETF", "ABUDGETE"})
    EXPECT_EQ(copy.at(f), "0.00") << f;
  // A stored code beginning with "0" is sought and may be created like any other; without the create right it
  // is only sought.
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  SetRegistryText(303 + 11, 8, "0SEC");
  Send(list, browse_cmd::ReCaler);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, "Code Section Analytique: 0SEC inexistant\n\nVoulez-vous le cr\xE9" "er?\n\n");
  ASSERT_NE(FormOf('3'), nullptr);
  EXPECT_EQ(FormOf('3')->Code(), "0SEC    ");
  FormOf('3')->CmQuitter();
  gui::ProcessPendingMessages();
  EXPECT_TRUE(IsBlank(RegistryText(303 + 11, 8)));
  TheDossierRecord.SetUserLevel('2');
  TheDossierRecord.SetAt(DossierRecord::kRightsPos - 1 + 20, '1');  // function 12: rights code 020
  ASSERT_FALSE(HasAccessRight(12, 2));
  gui::ModalSeam::Reset();
  SetRegistryText(303 + 11, 8, "1SEC");
  Send(list, browse_cmd::ReCaler);
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
  EXPECT_TRUE(Stored('3', "1SEC").empty());
}

TEST_F(SectionsTest, TheSectionForm) {
  Put('3', "ZF01", {{2, "Section"}, {17, "-65.6"}, {18, "-10"}, {9, "13.12"}, {10, "2"}, {11, "0"}, {12, "0"}});
  ChartRecordForm* form = Edit("ZF01", '3');
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(Text(form, kBudgetE), "C10.00");
  EXPECT_EQ(Text(form, kBalanceE), "2.00 Db");
  EXPECT_TRUE(form->EurosChecked());
  EXPECT_TRUE(form->Control(kDebitE)->IsWindowEnabled());
  test_support::Screenshot(form->OuterWidget(), "masterdata", "section_form");
  // Closing unchanged writes nothing and leaves the section free for another cursor.
  EXPECT_EQ(form->Check(), CMDIModif::kCheckClose);
  form->CmQuitter();
  gui::ProcessPendingMessages();
  {
    Table other;
    ASSERT_TRUE(other.OpenShared(PathC30(), "C30CODE"));
    ASSERT_TRUE(other.Seek("C30CODE", "ZF01"));
    EXPECT_TRUE(LockRecord(other, nullptr, 0));
    UnlockRecord(other);
  }
  // A blank name is refused; the budget unchanged is stored back as it was.
  form = Edit("ZF01", '3');
  ASSERT_NE(form, nullptr);
  Type(form, kName, "  ");
  gui::ModalSeam::Reset();
  Save(form);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, "La d\xE9signation ne peut \xEAtre vide");
  EXPECT_EQ(gui::ModalSeam::Shown()[0].caption, "Code Section Analytique: ZF01");
  Type(form, kName, "Section renomm\xE9" "e");
  Type(form, 1207, "zf01@exemple.fr");
  Save(form);
  EXPECT_EQ(FormOf('3'), nullptr);
  const auto stored = Stored('3', "ZF01");
  EXPECT_EQ(stored.at("ALIB"), "Section renomm\xE9" "e");
  EXPECT_EQ(stored.at("AEMAIL"), "zf01@exemple.fr");
  EXPECT_EQ(stored.at("ABUDGETE"), "-10.00");
  EXPECT_EQ(stored.at("ABUDGETF"), "-65.60");
  // In a dossier kept in francs the franc row is the editable one and the box unchecked.
  TheDossierRecord.SetAt(DossierRecord::kEuroMainPos, 'N');
  form = Edit("ZF01", '3');
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(form->EurosChecked());
  EXPECT_TRUE(form->Control(kDebitF)->IsWindowEnabled());
  EXPECT_FALSE(form->Control(kDebitE)->IsWindowEnabled());
  Type(form, kDebitF, "65.60");
  EXPECT_EQ(Text(form, kDebitE), "10.00");
  // Francs past their field: their euros, past theirs too, show blank; the refusal names the column, the
  // amount grouped and their own field as the bound.
  Type(form, kCreditF, "999999999999");
  EXPECT_EQ(Text(form, kCreditE), "");
  gui::ModalSeam::Reset();
  Save(form);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text,
            "\n\nMontant trop grand dans la colonne Cr\xE9" "dit N-1 :\n\n999 999 999 999,00\n\nIl va de "
            "-9 999 999 999,99 \xE0 99 999 999 999,99 francs au plus, ce que son champ peut contenir.\n\n");
  EXPECT_EQ(FormOf('3'), form);
  test_support::Screenshot(form->OuterWidget(), "masterdata", "section_form_francs_past_their_field");
  form->CmQuitter();
  gui::ProcessPendingMessages();
}

// A form with a section field, as journal entry will have: its "?" (1301) runs LookupC30Code.
class SectionAsker : public CMDIModif {
 public:
  static constexpr unsigned kAsk = 1301;
  static constexpr int kSlot = 3500;
  explicit SectionAsker(gui::MDIClient* client) : CMDIModif(client, "Section", 4, 2, kSlot, 30, 0) {
    edit = new MEdit(this, 1201, 8, 1, MEdit::kText, 0, false);
    name = new MStatic(this, "", 1202);
  }
  bool EvCommand(unsigned id) override {
    if (id != kAsk) return CMDIModif::EvCommand(id);
    answer = LookupC30Code(edit, kAsk, name);
    return true;
  }
  MEdit* edit;
  MStatic* name;
  char answer = 0;
};

TEST_F(SectionsTest, TheFormsLookUpSectionsAndAccountsInTheListsWithConstant030N) {
  Constant(30, "N  ");
  auto* asker = new SectionAsker(CommandWindow);
  ASSERT_TRUE(asker->Create());
  asker->Show(gui::SW_SHOWNORMAL);
  gui::ProcessPendingMessages();
  asker->edit->SetText("SA");
  Send(asker, SectionAsker::kAsk);
  EXPECT_EQ(asker->answer, kLookupListOpened);
  ChartList* list = ListOf('3');
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->SelectedCode(), "SAV     ") << "the list shows the code typed";
  ASSERT_TRUE(list->LocateCode("BUREAU"));
  Send(list, browse_cmd::Entree);
  EXPECT_EQ(asker->answer, kLookupFound);
  EXPECT_EQ(asker->edit->GetText(), "BUREAU");
  EXPECT_EQ(asker->name->GetText(), "Bureau d'\xE9tudes");
  // Asked again while the list is open: it comes forward on the new text.
  asker->edit->SetText("ATE");
  Send(asker, SectionAsker::kAsk);
  EXPECT_EQ(asker->answer, kLookupListRepositioned);
  EXPECT_EQ(list->SelectedCode(), "ATELIER ");
  asker->NoCheckFlag = true;
  gui::SendMessage(asker->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();

  // The account of a bank form of the code lists: its "?" opens the chart list, the chosen account comes back
  // with its name and balance.
  Menu(20304);
  auto* banks = dynamic_cast<TWFichiersC10*>(gui::Window::FromHandle(SlotHandle(FindCodeKind('Q')->listSlot)));
  ASSERT_NE(banks, nullptr);
  ASSERT_TRUE(banks->LocateCode("BQ01"));
  Send(banks, browse_cmd::Modifier);
  auto* bank = dynamic_cast<CodeRecordForm*>(gui::Window::FromHandle(SlotHandle(FindCodeKind('Q')->formSlot)));
  ASSERT_NE(bank, nullptr);
  Send(bank, 1212);
  ChartList* chart = ListOf('2');
  ASSERT_NE(chart, nullptr);
  EXPECT_TRUE(chart->CodeOrder());
  EXPECT_EQ(chart->SelectedCode(), bank->EditOf(1211)->GetText());
  ASSERT_TRUE(chart->LocateCode("53000000"));
  Send(chart, browse_cmd::Entree);
  EXPECT_EQ(bank->EditOf(1211)->GetText(), "53000000");
  EXPECT_EQ(bank->StaticOf(1310)->GetText().rfind("Caisse - ", 0), 0u) << bank->StaticOf(1310)->GetText();
  // In name order the list returns the code read at position 46.
  Send(chart, 20147);
  chart = ListOf('2');
  ASSERT_NE(chart, nullptr);
  ASSERT_FALSE(chart->CodeOrder());
  Send(bank, 1212);
  ASSERT_TRUE(chart->LocateCode("51200000"));
  Send(chart, browse_cmd::Entree);
  EXPECT_EQ(bank->EditOf(1211)->GetText(), "51200000");
  // With another value of constant 030 the lookup dialog opens instead.
  Constant(30, "050");
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
  Send(bank, 1212);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].kind, gui::ModalKind::Dialog);
}

// A previous-year debit in francs and a budget in euros that do not read ("ABC", "1e300"), as a restored backup
// brings them, on an account and on a section: the form says so when it opens; another field changed and saved
// leaves their stored bytes as they were (never the zero shown); a figure typed over one replaces it.
TEST_F(SectionsTest, TheFormsKeepAFigureThatDoesNotReadUntilOneIsTyped) {
  struct Case {
    char kind;
    const char* code;
    const char* prefix;  // of the file's field names
    int debitE;          // the previous-year debit's euro edit
  };
  const Case cases[] = {{'2', "47900009", "C", account_form::kDebitE}, {'3', "ZDAMAGE", "A", section_form::kDebitE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    Put(c.kind, c.code, {{2, "Attente"}});
    const std::string file = std::string(c.kind == '2' ? PathC20() : PathC30()) + ".dbf";
    const std::string p = c.prefix, debitF = p + "DEBNM1F", budgetE = p + "BUDGETE", name = p + "LIB";
    std::uint32_t n = 0;
    {
      const test_support::RawRecords raw(file);
      for (std::uint32_t r = 1; r <= raw.Count() && n == 0; ++r)
        if (Trimmed(raw.Field(raw.Record(r), p + "CODE")) == c.code) n = r;
      ASSERT_NE(n, 0u);
      raw.Put(n, debitF, "ABC");
      raw.Put(n, budgetE, "1e300");
    }
    auto field = [&](const std::string& f) {
      const test_support::RawRecords raw(file);
      return raw.Field(raw.Record(n), f);
    };
    const std::string abc = field(debitF), huge = field(budgetE);

    gui::ModalSeam::Reset();
    ChartRecordForm* form = Edit(c.code, c.kind);
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
    const std::string said = gui::ModalSeam::Shown()[0].text;
    EXPECT_NE(said.find("ne se lit pas comme un nombre (\xAB 1e300, ABC \xBB)"), std::string::npos) << said;
    EXPECT_NE(said.find("gard\xE9 tel quel"), std::string::npos) << said;
    if (c.kind == '2')
      test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "masterdata", "account_form_figure_unread");
    Type(form, kName, "Attente corrigee");
    gui::ModalSeam::Reset();
    Save(form);
    EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
    EXPECT_EQ(FormOf(c.kind), nullptr) << "the form closes once saved";
    EXPECT_EQ(RTrim(field(name).c_str()), std::string("Attente corrigee"));
    EXPECT_EQ(field(debitF), abc);
    EXPECT_EQ(field(budgetE), huge);

    // A figure typed over the damaged one replaces it (its francs with it); the other stays as stored.
    gui::ModalSeam::Reset();
    form = Edit(c.code, c.kind);
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    Type(form, c.debitE, "10");
    gui::ModalSeam::Reset();
    Save(form);
    EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
    EXPECT_EQ(Trimmed(field(debitF)), "65.60");
    EXPECT_EQ(Trimmed(field(p + "DEBNM1E")), "10.00");
    EXPECT_EQ(field(budgetE), huge);
  }
}

}  // namespace
}  // namespace md_test
