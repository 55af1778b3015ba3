// The ledger reports' windows and forms driven as a user drives them, over a generated dossier
// whose year runs from July to June: the commands open their window and form, a second command
// brings the form back, the forms refuse bad fields with a beep and keep the focus there,
// "Visualiser" opens the preview with its title, closing it brings the form back, "Liste
// suivante" walks the general ledgers, "Imprimer" prints what the preview shows into a PDF.
#include "ledger_window_fixture.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "platform/system/files.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/visu_window.h"
#include "runtime/access_rights.h"
#include "runtime/logfile.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"

namespace ledgers_window_test {
namespace {

struct CommandCase {
  unsigned command;
  int windowSlot, formSlot;
  const char* title;
  const char* shot;
};

const CommandCase kWithForms[] = {
    {20501, kStatementWindowSlot, kStatementFormSlot, "Relev\xE9 de Compte", "form-compte"},
    {20502, kGeneralLedgersWindowSlot, kGeneralLedgersFormSlot, "Grands Livres des Comptes", "form-grands-livres"},
    {20503, kJournalsWindowSlot, kJournalsFormSlot, "Journaux", "form-journaux"},
};

TEST_F(LedgerWindowTest, EachCommandOpensItsWindowAndItsFormAndASecondCommandBringsTheFormBack) {
  for (const CommandCase& c : kWithForms) {
    SCOPED_TRACE(c.command);
    const int before = Children();
    Run(c.command);
    auto* window = Slot<TWEtaBroLedger>(c.windowSlot);
    auto* form = Slot<TWEtaModLedger>(c.formSlot);
    ASSERT_NE(window, nullptr) << test_support::ShownTexts();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(Children(), before + 2);
    EXPECT_EQ(form->GetCaption(), c.title);
    EXPECT_EQ(window->GetCaption(), c.title);
    EXPECT_EQ(Active(), form);
    gui::ProcessPendingMessages();
    test_support::Screenshot(form->OuterWidget(), "ledgers", c.shot);
    test_support::Screenshot(window->OuterWidget(), "ledgers", std::string("window-") + (c.shot + 5));
    // Another window on top; the command again: the same form comes back, nothing new opens.
    window->BringToTop();
    gui::ProcessPendingMessages();
    Run(c.command);
    EXPECT_EQ(Active(), form);
    EXPECT_EQ(Children(), before + 2);
  }
  // Closing a form closes its report window.
  auto* form = Slot<TWEtaModLedger>(kStatementFormSlot);
  form->CmQuitterForm();
  gui::ProcessPendingMessages();
  EXPECT_EQ(Slot<TWEtaModLedger>(kStatementFormSlot), nullptr);
  EXPECT_EQ(Slot<TWEtaBroLedger>(kStatementWindowSlot), nullptr);
  EXPECT_EQ(RegistryChar(kStatementWindowSlot), ' ');
}

// The three forms stay compact at their top left however large their window grows, their codes'
// and dates' edits as wide as their text.
TEST_F(LedgerWindowTest, TheFormsStayCompactWhenTheirWindowGrows) {
  for (const CommandCase& c : kWithForms) {
    SCOPED_TRACE(c.command);
    Run(c.command);
    auto* form = Slot<TWEtaModLedger>(c.formSlot);
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    std::vector<gui::Window*> edits;
    if (auto* f = dynamic_cast<TWEtaModCompte*>(form)) edits = {f->Account(), f->DateFrom(), f->DateTo()};
    if (auto* f = dynamic_cast<TWEtaModGrandsLivres*>(form)) edits = {f->From(), f->To(), f->DateFrom(), f->DateTo()};
    ExpectCompactForm(form, edits, "ledgers", std::string(c.shot) + "-compact");
  }
}

TEST_F(LedgerWindowTest, DuringAPreviewRunTheCommandsBeepAndChangeNothing) {
  PrintRunFlag = true;
  const int children = Children();
  for (unsigned command : {20501u, 20502u, 20503u, 20505u}) {
    const int before = beeps;
    Run(command);
    EXPECT_EQ(beeps, before + 1) << command;
    EXPECT_EQ(Children(), children) << command;
  }
  PrintRunFlag = false;
}

// ---- the account statement's form

TEST_F(LedgerWindowTest, TheStatementFormBeepsAndKeepsTheFocusOnABadField) {
  Run(20501);
  auto* form = Slot<TWEtaModCompte>(kStatementFormSlot);
  ASSERT_NE(form, nullptr);
  struct Case {
    const char* account;
    const char* from;
    const char* to;
    bool subtotals;
    int field;  // the refused field, 0 none
    const char* nameText;
    const char* said = nullptr;  // what the refusal's box says
  } cases[] = {
      {"ZZZ9", "01/07/25", "30/06/26", false, TWEtaModCompte::kAccount, "???"},
      {"", "01/07/25", "30/06/26", false, TWEtaModCompte::kAccount, "???"},
      {"411", "01/07/24", "30/06/26", false, TWEtaModCompte::kDateFrom, nullptr,
       "La date 01/07/24 n'est pas une date de l'exercice\n\n(du 01/07/25 au 30/06/26)"},
      {"411", "01/07/25", "01/07/26", false, TWEtaModCompte::kDateTo, nullptr,
       "La date 01/07/26 n'est pas une date de l'exercice"},
      {"411", "01/07/25", "31/02/26", false, TWEtaModCompte::kDateTo, nullptr,
       "La date 31/02/26 n'est pas une date de l'exercice"},
      {"411", "01/09/25", "01/08/25", false, TWEtaModCompte::kDateTo, nullptr,
       "La 'Date fin' ne peut pr\xE9" "c\xE9" "der la 'Date d\xE9" "but'"},
      {"411", "15/01/26", "30/06/26", true, TWEtaModCompte::kDateFrom, nullptr},
      {"411", "01/01/26", "30/06/26", true, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.account) + " " + c.from + " " + c.to);
    form->Account()->SetText(c.account);
    form->DateFrom()->SetText(c.from);
    form->DateTo()->SetText(c.to);
    form->Subtotals()->SetValue(c.subtotals, false);
    SetRegistryText(kStatementWindowSlot + 11, 29, "");
    gui::ModalSeam::Reset();
    const int before = beeps;
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    form->CmVisualiser();
    gui::ProcessPendingMessages();
    if (c.field == 0) {
      EXPECT_EQ(form->RefusedField(), nullptr);
      // Handed over: the record is in the window's key (the choice dialog was abandoned).
      EXPECT_EQ(RegistryText(kStatementWindowSlot + 11, 8), "41100000");
      continue;
    }
    EXPECT_GT(beeps, before);
    ASSERT_NE(form->RefusedField(), nullptr);
    EXPECT_EQ(form->RefusedField()->GetId(), c.field);
    EXPECT_TRUE(form->RefusedField()->HasFocus());
    if (c.nameText != nullptr) {
      EXPECT_EQ(form->NameStatic()->GetText(), c.nameText);
    }
    EXPECT_TRUE(IsBlank(RegistryText(kStatementWindowSlot + 11, 29)));
    if (c.said != nullptr) {
      ASSERT_NE(gui::ModalSeam::LastShown(), nullptr) << "refused without a word";
      EXPECT_NE(gui::ModalSeam::LastShown()->text.find(c.said), std::string::npos) << gui::ModalSeam::LastShown()->text;
      EXPECT_EQ(gui::ModalSeam::LastShown()->caption, "Relev\xE9 de Compte");
    }
    if (c.subtotals) {
      ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
      EXPECT_NE(gui::ModalSeam::LastShown()->text.find("en d\xE9" "but de mois"), std::string::npos);
      EXPECT_EQ(gui::ModalSeam::LastShown()->caption, "Relev\xE9 de Compte");
    }
  }
}

// Tabbing out of a date outside the year only beeps and leaves the focus where the user put it, so that
// walking through the form never stacks message boxes; Enter on the same date says why it is refused.
TEST_F(LedgerWindowTest, LeavingARefusedDateBeepsWithoutABoxAndEnterExplains) {
  Run(20501);
  auto* form = Slot<TWEtaModCompte>(kStatementFormSlot);
  ASSERT_NE(form, nullptr);
  struct Case {
    MEdit* field;
    MEdit* next;
    const char* text;
    unsigned enter;
  } cases[] = {
      {form->DateFrom(), form->DateTo(), "01/07/24", 1212},
      {form->DateTo(), form->DateFrom(), "01/07/26", 1214},
  };
  form->Account()->SetText("411");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    form->DateFrom()->SetText("01/07/25");
    form->DateTo()->SetText("30/06/26");
    c.field->SetText(c.text);
    c.field->SetFocus();
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
    const int before = beeps;
    c.next->SetFocus();
    gui::ProcessPendingMessages();
    EXPECT_GT(beeps, before) << "left without a beep";
    const auto* shown = gui::ModalSeam::LastShown();
    EXPECT_EQ(shown, nullptr) << "leaving showed: " << (shown != nullptr ? shown->text : "");
    EXPECT_EQ(form->RefusedField(), c.field);
    EXPECT_TRUE(c.next->HasFocus()) << "the quiet check took the focus back";
    // Enter on the refused date: the box names it and the year, the focus goes back to it.
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    c.field->SetFocus();
    gui::PostCommand(form->GetHandle(), c.enter);
    gui::ProcessPendingMessages();
    ASSERT_NE(gui::ModalSeam::LastShown(), nullptr) << "Enter refused without a word";
    EXPECT_NE(gui::ModalSeam::LastShown()->text.find(std::string("La date ") + c.text), std::string::npos)
        << gui::ModalSeam::LastShown()->text;
    EXPECT_TRUE(c.field->HasFocus());
  }
}

TEST_F(LedgerWindowTest, TheStatementsDateFromChecksTheCumulationBoxAndTheMatchingEntryThreeShowsTheLetter) {
  Run(20501);
  auto* form = Slot<TWEtaModCompte>(kStatementFormSlot);
  ASSERT_NE(form, nullptr);
  Enter(form->DateFrom(), "01/10/25");
  EXPECT_TRUE(form->Prior()->IsChecked());
  Enter(form->DateFrom(), "01/07/25");
  EXPECT_FALSE(form->Prior()->IsChecked());
  EXPECT_FALSE(form->Letter()->IsWindowVisible());
  form->Lettering()->SetSelIndex(2);
  form->CmLettrageChanged();
  EXPECT_TRUE(form->Letter()->IsWindowVisible());
  Enter(form->Account(), "411");
  EXPECT_EQ(form->Account()->GetText(), "41100000");
  EXPECT_NE(form->NameStatic()->GetText(), "???");
  // The "?" just after the account's edit, on its line, a button's width.
  const gui::Rect edit = form->Account()->GetWindowRect(), ask = form->Lookup()->GetWindowRect();
  EXPECT_GE(ask.x - edit.Right(), 0);
  EXPECT_LE(ask.x - edit.Right(), 10);
  EXPECT_EQ(ask.y, edit.y);
  EXPECT_GE(ask.w, 20);
  test_support::Screenshot(form->OuterWidget(), "ledgers", "form-compte-lettrage");
}

// ---- the general ledgers' form

TEST_F(LedgerWindowTest, TheGeneralLedgersFormChecksItsCodesAndOffersNoMonthlySubtotals) {
  Run(20502);
  auto* form = Slot<TWEtaModGrandsLivres>(kGeneralLedgersFormSlot);
  ASSERT_NE(form, nullptr);
  // No general ledger reads "Avec Sous-Total par Mois": shown unchecked and disabled.
  EXPECT_FALSE(form->Subtotals()->IsChecked());
  EXPECT_FALSE(form->Subtotals()->IsWindowEnabled());
  // "Tous": no codes.
  EXPECT_FALSE(form->From()->IsWindowEnabled());
  form->KindCombo()->SetSelIndex(3);  // "Général"
  form->CmKindChanged();
  ASSERT_EQ(form->Kind(), 'G');
  EXPECT_TRUE(form->From()->IsWindowEnabled());
  struct Case {
    const char* from;
    const char* to;
    int refused;
    const char* fromText;
    const char* toText;
  } cases[] = {
      {"41", "", 0, "A partir de '41'", ""},
      {"6", "41", TWEtaModGrandsLivres::kTo, nullptr, "Erreur"},
      {"ZZ", "", TWEtaModGrandsLivres::kFrom, "???", nullptr},
      {"C001", "", TWEtaModGrandsLivres::kFrom, "???", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + "-" + c.to);
    form->From()->SetText(c.from);
    form->To()->SetText(c.to);
    const int before = beeps;
    const bool ok = form->CheckAccount(false, true) && form->CheckAccount(true, true);
    EXPECT_EQ(ok, c.refused == 0);
    if (c.fromText != nullptr) {
      EXPECT_EQ(form->FromStatic()->GetText(), c.fromText);
    }
    if (c.toText != nullptr) {
      EXPECT_EQ(form->ToStatic()->GetText(), c.toText);
    }
    if (c.refused != 0) {
      EXPECT_GT(beeps, before);
      ASSERT_NE(form->RefusedField(), nullptr);
      EXPECT_EQ(form->RefusedField()->GetId(), c.refused);
      EXPECT_TRUE(form->RefusedField()->HasFocus());
    }
  }
  // The record: position 56 "N" whatever the box held.
  form->From()->SetText("");
  form->To()->SetText("");
  form->Subtotals()->SetValue(true, false);
  const std::string record = form->BuildLimits();
  ASSERT_EQ(record.size(), 67u);
  EXPECT_EQ(record[0], 'G');
  EXPECT_EQ(record[55], 'N');
}

TEST_F(LedgerWindowTest, TheCollectivesLookupAddsTheChosenCollectiveToTheList) {
  Run(20502);
  auto* form = Slot<TWEtaModGrandsLivres>(kGeneralLedgersFormSlot);
  ASSERT_NE(form, nullptr);
  form->KindCombo()->SetSelIndex(5);  // "Autres Grands Livres"
  form->CmKindChanged();
  ASSERT_EQ(form->Kind(), 'A');
  form->Collectives()->SetText("C");
  ASSERT_TRUE(form->CheckCollectives(false));
  auto choose = [](char letter) {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [letter](gui::Window& w) {
      auto* list = static_cast<TDAideFichier&>(w).List();
      for (int i = 0; i < list->GetCount(); ++i)
        if (list->GetString(i)[0] == letter) list->SetSelIndex(i);
    });
  };
  choose('F');
  Send(form, TWEtaModGrandsLivres::kCollectivesLookup);
  EXPECT_EQ(form->Collectives()->GetText(), "CF");
  EXPECT_EQ(form->CollectivesStatic()->GetText().rfind("F: ", 0), 0u) << form->CollectivesStatic()->GetText();
  // A collective already listed: the list stays.
  choose('C');
  Send(form, TWEtaModGrandsLivres::kCollectivesLookup);
  EXPECT_EQ(form->Collectives()->GetText(), "CF");
  EXPECT_EQ(form->CollectivesStatic()->GetText(), "");
  // Two collectives: the account range does not apply and is emptied.
  form->From()->SetText("C");
  EXPECT_TRUE(form->CheckAccount(false, false));
  EXPECT_EQ(form->From()->GetText(), "");
  EXPECT_EQ(form->BuildLimits().substr(0, 3), "ACF");
}

// The steps of the account fields (first, next, last from the chart): they walk the codes when
// they apply; with no codes (all accounts, or several collectives) they beep and empty the
// field and the name beside it. The last account's "first" copies the first account.
TEST_F(LedgerWindowTest, TheAccountStepsWalkTheChartOnlyWhereCodesApply) {
  Run(20502);
  auto* form = Slot<TWEtaModGrandsLivres>(kGeneralLedgersFormSlot);
  ASSERT_NE(form, nullptr);
  struct Case {
    int kindIndex;  // 0 "Tous", 3 "Général", 5 "Autres Grands Livres"
    const char* collectives;
    unsigned command;  // 1210 first, 1211 next, 1213 last (first account); 1218 first (last account)
    bool walks;
  } cases[] = {
      {0, "", 1210, false}, {5, "CF", 1213, false}, {3, "", 1210, true},
      {3, "", 1211, true},  {3, "", 1213, true},   {3, "", 1218, true},
  };
  std::string previous;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    form->KindCombo()->SetSelIndex(c.kindIndex);
    form->CmKindChanged();
    form->Collectives()->SetText(c.collectives);
    MEdit* edit = c.command >= 1218 ? form->To() : form->From();
    MStatic* name = c.command >= 1218 ? form->ToStatic() : form->FromStatic();
    edit->SetText("X");
    name->SetText("old name");
    const int before = beeps;
    Send(form, c.command);
    if (!c.walks) {
      EXPECT_GT(beeps, before);
      EXPECT_EQ(edit->GetText(), "");
      EXPECT_EQ(name->GetText(), "");
      continue;
    }
    EXPECT_FALSE(IsBlank(edit->GetText()));
    EXPECT_NE(name->GetText(), "old name");
    if (c.command == 1211) {
      EXPECT_GT(edit->GetText(), previous);
    }
    if (c.command == 1218) {
      EXPECT_EQ(edit->GetText(), form->From()->GetText());
      EXPECT_EQ(name->GetText(), form->FromStatic()->GetText());
    }
    previous = edit->GetText();
  }
}

// ---- the journal listings' form

TEST_F(LedgerWindowTest, TheJournalsFormListsTheMonthsOfAYearFromJulyToJune) {
  Run(20503);
  auto* form = Slot<TWEtaModJournaux>(kJournalsFormSlot);
  ASSERT_NE(form, nullptr);
  std::vector<std::string> months;
  for (int i = 0; i < form->Months()->GetCount(); ++i) months.push_back(form->Months()->GetString(i));
  const std::vector<std::string> want = {"07/25", "08/25", "09/25", "10/25", "11/25", "12/25", "Tout 25",
                                         "01/26", "02/26", "03/26", "04/26", "05/26", "06/26", "Tous les mois"};
  EXPECT_EQ(months, want);
  EXPECT_EQ(form->Months()->GetSelIndex(), form->Months()->GetCount() - 1);
  EXPECT_EQ(form->Journals()->GetString(form->Journals()->GetSelIndex()), "Tous les journaux");
  // Every journal and every month: seven blanks; 03/26 as its stored year and month.
  EXPECT_EQ(form->BuildLimits().substr(0, 7), std::string(7, ' '));
  form->Months()->SetSelIndex(9);
  EXPECT_EQ(form->BuildLimits().substr(0, 4), "C603");
}

// ---- the cycle: preview, its end, the next ledger, the summary

TEST_F(LedgerWindowTest, VisualiserOpensThePreviewWithItsTitleAndItsEndBringsTheFormBack) {
  Run(20501);
  auto* form = Slot<TWEtaModCompte>(kStatementFormSlot);
  ASSERT_NE(form, nullptr);
  form->Account()->SetText("411");
  form->DateTo()->SetText("30/06/26");
  QueueChoice(gui::IDOK);
  Send(form, 20035);
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  TWVisuWindow* preview = CurrentPreviewWindow;
  EXPECT_EQ(preview->GetCaption().rfind("Visualisation: Compte: 41100000", 0), 0u) << preview->GetCaption();
  EXPECT_TRUE(preview->PrintPageDisabled);
  EXPECT_NE(PageText(preview, 1).find("Relev\xE9"), std::string::npos);
  test_support::Screenshot(preview->OuterWidget(), "ledgers", "preview-compte");
  // The command during the preview: a beep, nothing else.
  const int before = beeps;
  Run(20502);
  EXPECT_EQ(beeps, before + 1);
  EXPECT_EQ(Slot<TWEtaBroLedger>(kGeneralLedgersWindowSlot), nullptr);
  // The form's "Visualiser" and "Imprimer" are greyed while the preview runs.
  for (unsigned id : {20035u, 20041u}) {
    gui::CommandEnabler ce(id);
    form->EvCommandEnable(ce);
    EXPECT_TRUE(ce.Handled()) << id;
    EXPECT_FALSE(ce.Enabled()) << id;
  }
  // "Quitter" of the form, or closing it, while the preview runs over its report window: the
  // form and its window stay.
  form->CmQuitterForm();
  gui::PostMessage(form->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
  EXPECT_EQ(Slot<TWEtaModCompte>(kStatementFormSlot), form);
  EXPECT_NE(Slot<TWEtaBroLedger>(kStatementWindowSlot), nullptr);
  preview->CmQuitVisu();
  gui::ProcessPendingMessages();
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(Active(), form) << (Active() != nullptr ? Active()->GetCaption() : "");
  for (unsigned id : {20035u, 20041u}) {
    gui::CommandEnabler ce(id);
    form->EvCommandEnable(ce);
    EXPECT_TRUE(ce.Enabled()) << id;
  }
}

TEST_F(LedgerWindowTest, ListeSuivanteWalksEveryGeneralLedgerToTheLast) {
  Run(20502);
  auto* form = Slot<TWEtaModGrandsLivres>(kGeneralLedgersFormSlot);
  auto* window = Slot<TWEtaBroGrandsLivres>(kGeneralLedgersWindowSlot);
  ASSERT_NE(form, nullptr);
  form->DateTo()->SetText("31/07/25");
  QueueChoice(gui::IDOK);
  Send(form, 20035);
  const std::string selection = window->Ledgers().ledgerSelection;
  ASSERT_GT(selection.size(), 2u);
  std::vector<std::string> titles;
  for (int guard = 0; CurrentPreviewWindow != nullptr && guard < 30; ++guard) {
    TWVisuWindow* preview = CurrentPreviewWindow;
    titles.push_back(preview->GetCaption().substr(0, preview->GetCaption().find(" - ")));
    const bool more = preview->Mode() == 1;
    if (titles.size() == 1) test_support::Screenshot(preview->OuterWidget(), "ledgers", "preview-grand-livre");
    // "Liste suivante" once the ledger was paged to its end.
    preview->CmAllPages();
    gui::ProcessPendingMessages();
    EXPECT_TRUE(preview->Context().endOfData);
    if (more) preview->CmNextList();
    else preview->CmQuitVisu();
    gui::ProcessPendingMessages();
  }
  ASSERT_GE(titles.size(), 3u);
  EXPECT_EQ(titles.front().rfind("Visualisation: Grand Livre: GENERAL", 0), 0u) << titles.front();
  EXPECT_EQ(titles[1].rfind("Visualisation: Grand Livre: RESULTAT", 0), 0u) << titles[1];
  EXPECT_EQ(std::set<std::string>(titles.begin(), titles.end()).size(), titles.size());
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(Active(), form);
}

TEST_F(LedgerWindowTest, TheSummaryPreviewsAtOnceAndClosesWithItsPreview) {
  QueueChoice(gui::IDOK);
  Run(20505);
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  TWVisuWindow* preview = CurrentPreviewWindow;
  EXPECT_EQ(preview->GetCaption().rfind("Visualisation: R\xE9" "capitulatif Centralisateur", 0), 0u)
      << preview->GetCaption();
  EXPECT_TRUE(preview->PrintDisabled);
  ASSERT_NE(Slot<TWEtaBroLedger>(kSummaryWindowSlot), nullptr);
  test_support::Screenshot(preview->OuterWidget(), "ledgers", "preview-recapitulatif");
  preview->CmQuitVisu();
  gui::ProcessPendingMessages();
  EXPECT_EQ(Slot<TWEtaBroLedger>(kSummaryWindowSlot), nullptr);
  EXPECT_EQ(RegistryChar(kSummaryWindowSlot), ' ');
}

TEST_F(LedgerWindowTest, AbandonInTheJournalsChoiceBringsTheFormBackAndNothingElse) {
  Run(20503);
  auto* form = Slot<TWEtaModJournaux>(kJournalsFormSlot);
  ASSERT_NE(form, nullptr);
  QueueChoice(gui::IDCANCEL);
  Send(form, 20035);
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(Active(), form);
  // The journals' preview, its title.
  QueueChoice(gui::IDOK);
  Send(form, 20035);
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(CurrentPreviewWindow->GetCaption().rfind("Visualisation: Journaux", 0), 0u);
  test_support::Screenshot(CurrentPreviewWindow->OuterWidget(), "ledgers", "preview-journaux");
}

// ---- an analytic dossier kept in francs

class AnalyticLedgerWindowTest : public LedgerWindowTest {
 protected:
  DemoOptions Options() override {
    DemoOptions options = LedgerWindowTest::Options();
    options.currency = DossierCurrency::FrancMain;
    options.analyticMode = '1';
    return options;
  }
};

TEST_F(AnalyticLedgerWindowTest, TheFormsOfferTheAnalyticAndCurrencyBoxes) {
  TheDossierRecord.SetConstant(32, "O");
  Run(20501);
  auto* statement = Slot<TWEtaModCompte>(kStatementFormSlot);
  ASSERT_NE(statement, nullptr);
  EXPECT_TRUE(statement->AnalyticBox()->IsWindowVisible());
  EXPECT_TRUE(statement->Euros()->IsWindowVisible());
  // Francs are the main currency: "En Euros" unchecked.
  EXPECT_FALSE(statement->Euros()->IsChecked());
  // An analytic statement while 032 is "O": no subtotals, no cumulation, every line.
  statement->AnalyticBox()->SetValue(true, false);
  statement->CmAnalytique();
  EXPECT_FALSE(statement->Subtotals()->IsWindowEnabled());
  EXPECT_FALSE(statement->Prior()->IsWindowEnabled());
  EXPECT_FALSE(statement->Lettering()->IsWindowEnabled());
  EXPECT_EQ(statement->BuildLimits()[23], 'O');
  test_support::Screenshot(statement->OuterWidget(), "ledgers", "form-compte-analytique");
  statement->AnalyticBox()->SetValue(false, false);
  statement->CmAnalytique();
  EXPECT_TRUE(statement->Subtotals()->IsWindowEnabled());
  EXPECT_TRUE(statement->Lettering()->IsWindowEnabled());

  Run(20502);
  auto* ledgersForm = Slot<TWEtaModGrandsLivres>(kGeneralLedgersFormSlot);
  ASSERT_NE(ledgersForm, nullptr);
  ASSERT_EQ(ledgersForm->KindCombo()->GetCount(), 7);
  ledgersForm->KindCombo()->SetSelIndex(6);
  ledgersForm->CmKindChanged();
  EXPECT_EQ(ledgersForm->Kind(), '(');
  EXPECT_FALSE(ledgersForm->Prior()->IsWindowEnabled());
  test_support::Screenshot(ledgersForm->OuterWidget(), "ledgers", "form-grands-livres-analytique");

  Run(20503);
  auto* journals = Slot<TWEtaModJournaux>(kJournalsFormSlot);
  ASSERT_NE(journals, nullptr);
  EXPECT_TRUE(journals->AnalyticBox()->IsWindowVisible());
  journals->Summary()->SetValue(true, false);
  journals->AnalyticBox()->SetValue(true, false);
  EXPECT_EQ(journals->BuildLimits().substr(7, 2), "OO");
  test_support::Screenshot(journals->OuterWidget(), "ledgers", "form-journaux-analytique");
}

TEST_F(LedgerWindowTest, TheChoiceDialogsSwitchBetweenPreviewAndPrintout) {
  Run(20501);
  auto* form = Slot<TWEtaModCompte>(kStatementFormSlot);
  ASSERT_NE(form, nullptr);
  form->Account()->SetText("411");
  // "Imprimer", then the print dialog's switch to the preview: the preview's dialog, then the preview.
  QueueChoice(choice_ids::kToPreview);
  QueueChoice(gui::IDOK);
  Send(form, 20041);
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::PendingAnswers(), 0u);
  CurrentPreviewWindow->CmQuitVisu();
  gui::ProcessPendingMessages();
  EXPECT_EQ(Active(), form);
  // "Visualiser", its switch to the printout, Abandon there: no preview, the form on top.
  QueueChoice(choice_ids::kToPrint);
  QueueChoice(gui::IDCANCEL);
  Send(form, 20035);
  EXPECT_EQ(gui::ModalSeam::PendingAnswers(), 0u);
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(Active(), form);
}

// ---- faults

TEST_F(LedgerWindowTest, TheStatementsEmptyPreviewClosesWhenItsListCannotBegin) {
  Run(20501);
  auto* form = Slot<TWEtaModCompte>(kStatementFormSlot);
  ASSERT_NE(form, nullptr);
  form->Account()->SetText("411");
  const int children = Children();
  // The layout is chosen, then the preview's report set is one that does not exist: the
  // template cannot be read.
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    static_cast<gui::Dialog&>(w).SetItemSel(choice_ids::kLayouts, 0);
    SetProgramOption(5, '7');
  });
  const int before = beeps;
  Send(form, 20035);
  gui::ProcessPendingMessages();
  EXPECT_GT(beeps, before);
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(Children(), children);
  EXPECT_FALSE(PrintRunFlag);
  EXPECT_EQ(Active(), form);
}

TEST_F(LedgerWindowTest, ATableThatDoesNotOpenIsReportedBeforeTheWindowCloses) {
  // The sort file damaged: its header cut short.
  const std::string c60 = std::string(PathC60()) + ".dbf";
  CloseAllTables();
  ASSERT_TRUE(std::filesystem::exists(c60)) << c60;
  std::filesystem::resize_file(c60, 10);
  const int children = Children();
  Run(20501);
  EXPECT_EQ(Children(), children);
  EXPECT_EQ(RegistryChar(kStatementWindowSlot), ' ');
  EXPECT_EQ(RegistryChar(kStatementFormSlot), ' ');
  // The engine-error report named the table.
  ASSERT_FALSE(gui::ModalSeam::Shown().empty());
  EXPECT_NE(test_support::ShownTexts().find("C60"), std::string::npos) << test_support::ShownTexts();
}


// The report definitions' memo file with its blocks broken: "Visualiser" names that file (and the
// report) in a message and in the log, instead of ending without a word.
TEST_F(LedgerWindowTest, DamagedReportDefinitionsAreNamedWhenAReportIsShown) {
  const std::string dbt = platform::ResolvePath(std::string(PathReportDefs(ProgramOption(5))) + ".dbt");
  for (Table* t : {TableCE0, TableCE1})
    if (t != nullptr) t->CloseTable(true);
  // Every memo block's length made to run past the end of the file.
  std::string bytes;
  {
    std::ifstream in(dbt, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  int broken = 0;
  for (std::size_t at = 0; (at = bytes.find(std::string("\xFF\xFF\x08\x00", 4), at)) != std::string::npos; at += 8, ++broken)
    bytes.replace(at + 4, 4, std::string("\xF0\xFF\xFF\x00", 4));
  ASSERT_GT(broken, 0) << dbt;
  std::ofstream(dbt, std::ios::binary | std::ios::trunc) << bytes;
  Run(20501);
  auto* form = Slot<TWEtaModCompte>(kStatementFormSlot);
  ASSERT_NE(form, nullptr);
  form->Account()->SetText("411");
  form->DateTo()->SetText("30/06/26");
  gui::ModalSeam::Reset();
  QueueChoice(gui::IDOK);
  Send(form, 20035);
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("Le fichier des \xE9tats\n\n   " + dbt + "\n\nest endommag\xE9"), std::string::npos) << shown;
  std::ifstream log(LogPath());
  const std::string logged((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(logged.find("fichier des \xE9tats endommag\xE9: " + dbt), std::string::npos) << logged;
  for (const gui::ShownModal& s : gui::ModalSeam::Shown())
    if (s.text.find(dbt) != std::string::npos) test_support::ScreenshotMessage(s, "ledgers", "report_defs_damaged");
}

}  // namespace
}  // namespace ledgers_window_test
