// The code lists opened from the "Données" menu on the demo dossier: each shows its kind's records only, creates
// codes through the new-code dialog (also as a copy), cancels and reactivates them, opens the form beside it, asks
// the report and copy services through BrowseServices, and gives its report variables to the hook driver.
#include <algorithm>

#include "data/dossier_files.h"
#include "framework/browse_services.h"
#include "masterdata/core/code_layouts.h"
#include "masterdata/record_text_editor.h"
#include "masterdata_fixture.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "shell/application.h"
#include "shell/mdi_client.h"
#include "support/report_hook_driver.h"

namespace md_test {
namespace {

using namespace masterdata;

constexpr int kMsgNotAvailable = 19990;  // a command whose service the program was built without

class ListsTest : public MasterDataTest {
 protected:
  void TearDown() override {
    BrowseHooks() = BrowseServices{};
    MasterDataTest::TearDown();
  }
  // Every record the list shows on its first page (the kinds of the demo dossier fit on it): kind and code.
  static std::vector<std::string> ListedKeys(TWFichiersC10* list) {
    std::vector<std::string> keys;
    list->GoFirst();
    EXPECT_LE(list->Store().totalRows, list->Store().rowsPerPage);
    Table t;
    EXPECT_TRUE(t.OpenShared(PathC10(), kC10Tag));
    for (int i = 0; i < list->Store().rowsPerPage; ++i) {
      const long recno = list->Store().RecordNumberOf(i);
      if (recno == 0) break;
      EXPECT_TRUE(t.GoTo(recno));
      keys.push_back(std::string(t.GetField(1)).substr(0, 1) + RTrim(t.GetField(2)));
    }
    EXPECT_EQ(static_cast<long>(keys.size()), list->Store().totalRows);
    return keys;
  }
  static std::string RowOf(TWFichiersC10* list, const std::string& code) {
    if (!list->LocateCode(code)) return {};
    return list->Store().rows[static_cast<std::size_t>(list->GetSelectedRowIndex() - 1)];
  }
};

TEST_F(ListsTest, EachListShowsItsKindOnlyAlsoWhenTwoKindsShareACode) {
  Put('J', "ZZZ", "Journal ZZZ");
  Put('M', "ZZZ", "Mod\xE8le ZZZ");
  Put('M', "ZZY", "Mod\xE8le annul\xE9", "", "", true);
  for (const CodeKind& k : CodeKinds()) {
    SCOPED_TRACE(k.kind);
    TWFichiersC10* list = OpenList(k.kind);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetCaption(), FileTitleForType(std::string(1, k.kind).c_str()));
    Table t;
    ASSERT_TRUE(t.OpenShared(PathC10(), kC10Tag));
    EXPECT_EQ(list->Store().totalRows, CountCodes(t, k.kind));
    for (const std::string& key : ListedKeys(list)) EXPECT_EQ(key[0], k.kind) << key;
    gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
    gui::ProcessPendingMessages();
  }
  TWFichiersC10* journals = OpenList('J');
  TWFichiersC10* models = OpenList('M');
  ASSERT_TRUE(journals != nullptr && models != nullptr);
  const std::string journal = RowOf(journals, "ZZZ"), model = RowOf(models, "ZZZ");
  EXPECT_NE(journal.find("Journal ZZZ"), std::string::npos);
  EXPECT_NE(model.find("Mod\xE8le ZZZ"), std::string::npos);
  EXPECT_NE(journal.substr(0, 6), model.substr(0, 6)) << "two records";
  EXPECT_EQ(RowOf(models, "ZZY")[6], kMarkerCancelled);
  // Type-ahead: "V" selects the first journal beginning with it.
  journals->EvKeyDown('V', 1, 0);
  EXPECT_EQ(journals->GetSelectedRowText(), "VE ");
}

TEST_F(ListsTest, CreateOpensTheNewCodesFormBesideTheListAlsoAsACopy) {
  Put('Q', "ZSRC", "Source", "12 rue du Port", "FR7630004008250001234567897");
  TWFichiersC10* list = OpenList('Q');
  ASSERT_NE(list, nullptr);
  const long before = list->Store().totalRows;
  auto create = [&](const std::string& code, const std::string& from, bool picture) {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [=](gui::Window& w) {
      auto& dialog = dynamic_cast<TDDonNouv&>(w);
      dialog.CodeEdit()->SetText(code);
      dialog.FromEdit()->SetText(from);
      if (picture) {
        dialog.Show(gui::SW_SHOWNORMAL);
        test_support::Screenshot(dialog.OuterWidget(), "masterdata", "new_code_dialog");
      }
    });
    Send(list, browse_cmd::Nouveau);
  };
  create("ZB20", "", true);
  CodeRecordForm* form = FormOf('Q');
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(form->Code(), "ZB20");
  EXPECT_EQ(form->GetCaption(), "Code Banque: ZB20");
  EXPECT_GE(form->GetWindowRect().x, list->GetWindowRect().Right() - 1) << "beside the list";
  EXPECT_EQ(list->Store().totalRows, before + 1);
  EXPECT_EQ(list->GetSelectedRowText(), "ZB20");
  test_support::Screenshot(MainFrame->OuterWidget(), "masterdata", "bank_list_and_form");
  form->CmQuitter();
  gui::ProcessPendingMessages();

  create("ZB21", "ZSRC", false);
  form = FormOf('Q');
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->EditOf(1201)->GetText(), "Copie de ZSRC Source");
  EXPECT_EQ(form->EditOf(1202)->GetText(), "12 rue du Port");
  form->CmQuitter();
  gui::ProcessPendingMessages();
  const std::vector<std::string> copy = Stored('Q', "ZB21"), source = Stored('Q', "ZSRC");
  EXPECT_EQ(StoredSlice(copy, 3, 1, 20), "Copie de ZSRC Source");
  EXPECT_EQ(copy[1], source[1]);
  EXPECT_EQ(copy[2], source[2]);
  EXPECT_EQ(list->Store().totalRows, before + 2);
  EXPECT_TRUE(list->SaveSnapshot(test_support::ArtefactPath("masterdata", "bank_list.png")));
}

TEST_F(ListsTest, EachNewCodeOpensInItsFormInFrontTheDialogShownAsTheUserSeesIt) {
  struct Case {
    char kind;
    const char* codes[2];
  };
  for (const Case& k : {Case{'J', {"ZN1", "ZN2"}}, Case{'E', {"Z001", "Z002"}}, Case{'M', {"ZN1", "ZN2"}}}) {
    SCOPED_TRACE(k.kind);
    TWFichiersC10* list = OpenList(k.kind);
    ASSERT_NE(list, nullptr);
    for (const char* code : k.codes) {
      // The dialog shown for real, as the user sees it: the focus goes to it and comes back to the list after.
      gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [=](gui::Window& w) {
        auto& dialog = dynamic_cast<TDDonNouv&>(w);
        dialog.Show(gui::SW_SHOWNORMAL);
        dialog.CodeEdit()->SetFocus();
        dialog.CodeEdit()->SetText(code);
      });
      Send(list, browse_cmd::Nouveau);
      gui::ProcessPendingMessages();
      CodeRecordForm* form = FormOf(k.kind);
      ASSERT_NE(form, nullptr) << code << "\n" << test_support::ShownTexts();
      EXPECT_EQ(std::string(RTrim(form->Code().c_str())), code) << test_support::ShownTexts();
      EXPECT_EQ(MainFrame->GetClient()->GetActiveMDIChild(), form) << code;
      if (k.kind == 'J') test_support::Screenshot(MainFrame->OuterWidget(), "masterdata", "journal_created_form");
      form->EditOf(1201)->SetText("Essai");
      Save(form);
      EXPECT_EQ(FormOf(k.kind), nullptr) << test_support::ShownTexts();
    }
    gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
    gui::ProcessPendingMessages();
  }
}

TEST_F(ListsTest, FenetresMaxiPlacesTheFormByTheShell) {
  SetProgramOption(3, 'O');
  CodeRecordForm* form = Edit('J', "AC");
  ASSERT_NE(form, nullptr);
  const gui::Rect client = CommandWindow->GetClientRect();
  EXPECT_EQ(form->GetWindowRect().x, 5 * CMDIBrowse::CharWidthPixels());
  EXPECT_EQ(form->GetWindowRect().w, client.w - form->GetWindowRect().x);
}

TEST_F(ListsTest, CancelShowsTheMarkerTheFormRefusesItAndReactivateBringsItBack) {
  Put('E', "ZE02", "Etablissement");
  TWFichiersC10* list = OpenList('E');
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(Select(list, "ZE02"));
  Send(list, browse_cmd::Annuler);
  EXPECT_EQ(RowOf(list, "ZE02")[6], kMarkerCancelled);
  Send(list, browse_cmd::Annuler);
  EXPECT_EQ(RowOf(list, "ZE02")[6], kMarkerCancelled) << "twice: only the marker";
  const int beeps0 = beeps;
  Send(list, browse_cmd::Modifier);
  Send(list, browse_cmd::Texte);
  EXPECT_EQ(FormOf('E'), nullptr);
  EXPECT_EQ(beeps, beeps0 + 2);
  EXPECT_EQ(Stored('E', "ZE02")[0], "<>") << "python3-dbfread leaves a cancelled record out";
  Send(list, browse_cmd::Reactiver);
  EXPECT_EQ(RowOf(list, "ZE02")[6], kMarkerOrdinary);
  Send(list, browse_cmd::Modifier);
  EXPECT_NE(FormOf('E'), nullptr);
}

TEST_F(ListsTest, ReportAndCopyCommandsWithoutTheirServicesSayTheyAreNotAvailable) {
  TWFichiersC10* list = OpenList('J');
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(Select(list, "OD"));
  for (unsigned id : {browse_cmd::Visualiser, browse_cmd::Imprimer, browse_cmd::AjouterDepuis, browse_cmd::AjouterVers})
    Send(list, id);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 4u) << test_support::ShownTexts();
  for (const auto& shown : gui::ModalSeam::Shown()) EXPECT_EQ(shown.text, LoadStr(kMsgNotAvailable));

  // With the services: the preview's choice switches to printing, which prints the prepared report; the copies
  // add what the other dossier gave and show its code.
  std::vector<std::string> calls;
  BrowseServices& hooks = BrowseHooks();
  hooks.chooseLayout = [&](CMDIBrowse& l, const std::string& prefix, bool print) {
    calls.push_back(std::string(print ? "choose print " : "choose preview ") + prefix);
    return print ? gui::IDOK : kSwitchToPrint;
  };
  hooks.preview = [&](CMDIBrowse&, const std::string& title) { calls.push_back("preview " + title); };
  hooks.print = [&](CMDIBrowse& l, const std::string& title) {
    calls.push_back("print " + title + " " + l.LineTypeText);
  };
  hooks.copyIn = [&](CMDIBrowse&) {
    Put('J', "ZC1", "Copi\xE9 1");
    Put('J', "ZC2", "Copi\xE9 2");
    return BrowseCopyResult{2, "ZC2"};
  };
  hooks.copyOut = [&](CMDIBrowse& l, int row) { calls.push_back("out " + l.GetSelectedRowText()); };
  const long before = list->Store().totalRows;
  Send(list, browse_cmd::Visualiser);
  Send(list, browse_cmd::AjouterDepuis);
  EXPECT_EQ(list->Store().totalRows, before + 2);
  EXPECT_EQ(list->GetSelectedRowText(), "ZC2");
  Send(list, browse_cmd::AjouterVers);
  const std::vector<std::string> expected{"choose preview DJ-", "choose print DJ-", "print Fichier des Journaux A",
                                          "out ZC2"};
  EXPECT_EQ(calls, expected);
}

TEST_F(ListsTest, RecalerAndTheCopyFromAnotherDossierNeedTheCreateRight) {
  TWFichiersC10* list = OpenList('Q');
  ASSERT_NE(list, nullptr);
  bool copied = false;
  BrowseHooks().copyIn = [&](CMDIBrowse&) {
    copied = true;
    return BrowseCopyResult{};
  };
  // A user of the secondary password who may see the banks but not create them.
  const DossierRecord saved = TheDossierRecord;
  TheDossierRecord.SetUserLevel('2');
  const int rightsAt = DossierRecord::kRightsPos - 1 + 10;  // function 7: rights code 010
  TheDossierRecord.SetAt(rightsAt, '1');
  ASSERT_FALSE(HasAccessRight(7, 2));
  const int slot = FindCodeKind('Q')->listSlot;
  SetRegistryText(slot + 11, 4, "ZNEW");
  Send(list, browse_cmd::ReCaler);
  Send(list, browse_cmd::AjouterDepuis);
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
  EXPECT_FALSE(copied);
  EXPECT_TRUE(IsBlank(RegistryText(slot + 11, 4)));
  EXPECT_EQ(Stored('Q', "ZNEW")[0].substr(0, 1), "<");
  // With the right, "ReCaler" asks and creates the typed code.
  TheDossierRecord = saved;
  SetRegistryText(slot + 11, 4, "ZNEW");
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  Send(list, browse_cmd::ReCaler);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, "Code Banque: ZNEW inexistant\n\nVoulez-vous le cr\xE9" "er?\n\n");
  EXPECT_EQ(Stored('Q', "ZNEW")[0], std::string(30, ' '));
  EXPECT_EQ(list->GetSelectedRowText(), "ZNEW");
  // A code holding the lookup character, or beginning with a small letter: a beep, no question.
  gui::ModalSeam::Reset();
  for (const char* code : {"ZN*", "zq"}) {
    SetRegistryText(slot + 11, 4, code);
    Send(list, browse_cmd::ReCaler);
  }
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
}

// Each kind's report, played by the hook driver between code limits: a variable of the kind's own for every live
// record, the cancelled one left out.
TEST_F(ListsTest, EachKindsReportGivesItsVariablesForTheLiveCodesBetweenTheLimits) {
  struct KindCase {
    char kind;
    std::string codes[3];          // the second one is cancelled
    std::string text1;             // field 4 of the three records
    std::string text2;
    std::string variable;          // a variable of the kind and its value for the first record
    std::string value;
  } cases[] = {
      {'Q', {"ZQ1", "ZQ2", "ZQ3"}, std::string(60, ' ') + "59000 Lille" + std::string(138, ' ') + "N", "", "COMMUNE", "Lille"},
      {'Q', {"ZQ4", "ZQ5", "ZQ6"}, "", "", "SEPARATEUR", "Oui"},
      {'B', {"W", "X", "Y"}, "41100000", "", "COMPTE", "41100000"},
      {'T', {"10", "11", "12"}, "20.0044571000", "", "CODE", "10"},
      {'E', {"ZE1", "ZE2", "ZE3"}, std::string(60, ' ') + "75001 Paris" + std::string(19, ' ') + "7", "", "CLESIRET", "7"},
      {'J', {"ZJ1", "ZJ2", "ZJ3"}, "V" + std::string(23, ' ') + "N", "", "TABLEAUBOR", "Non"},
      {'L', {"X", "Y", "Z"}, "Remise 5", "", "TYPE", "5 - Remise"},
      {'M', {"ZM1", "ZM2", "ZM3"}, "", "", "NOM", "Nom ZM1"},
      {'V', {"X1", "X2", "X3"}, "00000000", "", "NOMCOMPTE", ""},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(std::string(1, c.kind) + " " + c.variable);
    for (int i = 0; i < 3; ++i)
      if (Stored(c.kind, c.codes[i])[0][0] == '<') Put(c.kind, c.codes[i], "Nom " + c.codes[i], c.text1, c.text2, i == 1);
    TWFichiersC10* list = OpenList(c.kind);
    ASSERT_NE(list, nullptr);
    const test_support::ReportHookRun run = test_support::RunReportHooks(*list, c.codes[0], c.codes[2]);
    ASSERT_TRUE(run.prepared);
    EXPECT_EQ(test_support::Column(run, "CODE"), (std::vector<std::string>{c.codes[0], c.codes[2]}));
    EXPECT_EQ(test_support::Column(run, c.variable).at(0), c.value);
    EXPECT_EQ(run.lines.at(0).size(), static_cast<std::size_t>(FindCodeKind(c.kind)->reportFieldCount));
    EXPECT_EQ(run.lineTypes, std::vector<std::string>{"S"});
    EXPECT_EQ(run.lastLineType, "Z");
    EXPECT_EQ(run.lineCount, 2);
    EXPECT_FALSE(test_support::RunReportHooks(*list, "ZZZZZZZZ", "").prepared) << "nothing past the last";
    gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
    gui::ProcessPendingMessages();
  }
}

}  // namespace
}  // namespace md_test

namespace md_test {
namespace {

// "Texte" asks the main window for the record-text window (20311) with the record's reference: the editor opens on
// the selected record and holds it; "Texte" on another record moves it there; once it closes the record is free.
TEST_F(ListsTest, TexteOpensTheRecordTextEditorOnTheSelectedRecord) {
  Put('Q', "ZT1", "Banque un");
  Put('Q', "ZT2", "Banque deux");
  TWFichiersC10* list = OpenList('Q');
  ASSERT_TRUE(Select(list, "ZT1"));
  Send(list, browse_cmd::Texte);
  auto editor = [] { return dynamic_cast<TWDonTexte*>(gui::Window::FromHandle(SlotHandle(3819))); };
  ASSERT_NE(editor(), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(RegistryText(3830, 6), "1QZT1 ");
  Table other;
  ASSERT_TRUE(other.OpenShared(PathC10(), kC10Tag));
  ASSERT_TRUE(SeekCodeRecord(other, 'Q', "ZT1", 4).IsFound());
  EXPECT_FALSE(LockRecord(other, nullptr, 0)) << "held by the editor";
  ASSERT_TRUE(Select(list, "ZT2"));
  Send(list, browse_cmd::Texte);
  ASSERT_NE(editor(), nullptr);
  EXPECT_EQ(RegistryText(3830, 6), "1QZT2 ");
  ASSERT_TRUE(SeekCodeRecord(other, 'Q', "ZT1", 4).IsFound());
  EXPECT_TRUE(LockRecord(other, nullptr, 0)) << "the first record was given back";
  UnlockRecord(other);
  // Closing the form of another record leaves the editor open.
  CodeRecordForm* form = Edit('Q', "ZT1");
  ASSERT_NE(form, nullptr);
  form->CmQuitter();
  gui::ProcessPendingMessages();
  ASSERT_NE(editor(), nullptr);
  // The form of its record asks for the same window, then closes it with itself.
  form = Edit('Q', "ZT2");
  ASSERT_NE(form, nullptr);
  TWDonTexte* shown = editor();
  Send(form, 20187);
  EXPECT_EQ(editor(), shown) << "the same record: only brought forward";
  form->CmQuitter();
  gui::ProcessPendingMessages();
  EXPECT_EQ(editor(), nullptr);
  ASSERT_TRUE(SeekCodeRecord(other, 'Q', "ZT2", 4).IsFound());
  EXPECT_TRUE(LockRecord(other, nullptr, 0)) << "free once the editor is closed";
  UnlockRecord(other);
}

}  // namespace
}  // namespace md_test
