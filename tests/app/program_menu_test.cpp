// Commands chosen from the program's menu on a generated dossier, with the
// program's own hooks and commands installed, as a user meets them; and
// every dialog of the resources built by the class that shows it, each
// button, check box and label with a template text showing it (a grab of
// each kept for a look).
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QToolBar>

#include <fstream>
#include <functional>
#include <memory>

#include "reports/balances/balance_sheet_commands.h"
#include "reports/balances/balance_sheet_edition_window.h"
#include "app/program_commands.h"
#include "app/program_hooks.h"
#include "controls/medit.h"
#include "demo/dossier_demo.h"
#include "dossier/backup_settings.h"
#include "dossier/dossier_management.h"
#include "dossier/dossier_properties.h"
#include "dossier/dossier_slots.h"
#include "dossier/new_dossier.h"
#include "entry/entry_search_dialog.h"
#include "entry/new_journal_dialog.h"
#include "entry/validation_dialog.h"
#include "framework/calculator.h"
#include "framework/browse.h"
#include "framework/browse_services.h"
#include "framework/dialog_bases.h"
#include "framework/edit_form.h"
#include "framework/fmt_saisie.h"
#include "framework/lock_notice.h"
#include "framework/lookup_dialog.h"
#include "masterdata/new_code_dialog.h"
#include "processing/code_copy_dialogs.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/report_window.h"
#include "reports/vat_dunning/vat_windows.h"
#include "platform/gui/dialog_template.h"
#include "platform/gui/controlbar.h"
#include "platform/gui/menu.h"
#include "platform/gui/statusbar.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/xbase.h"
#include "shell/about_box.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/seeding.h"
#include "shell/toolbar.h"
#include "support/access_rights.h"
#include "support/books_writes.h"
#include "support/dossier_fixture.h"
#include "support/python.h"
#include "utilities/configuration.h"
#include "utilities/constants_window.h"
#include "dossier/constants_check.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"

namespace {

// The texts the tests look for, by their ids in the string table.
constexpr int kMsgRenumberWarning = 3475;    // the renumbering's warning to back up first
constexpr int kMsgBackupFilesClosed = 2268;  // the backup's question once the files are closed

struct Case {
  const char* templateId;
  std::function<std::unique_ptr<gui::Dialog>(gui::Window*)> make;
};

QString ShownText(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return QString();
}

class ProgramMenuTest : public DossierOpenTest {
 protected:
  void SetUp() override {
    DossierOpenTest::SetUp();
    InstallProgramWindowHooks();
    InstallProgramCommands();
  }
  void TearDown() override {
    SetTextPromptHook(nullptr);
    DossierOpenTest::TearDown();
  }
  void OpenDemo() {
    const std::string folder = MakeDossier("demo", "DEMO", 40);
    OpenThroughDialog(C10Path(folder, "DEMO"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "DEMO");
    gui::ModalSeam::Reset();
  }
  void Choose(unsigned id) {
    ASSERT_NE(MainMenuHandle, nullptr);
    EXPECT_TRUE(MainMenuHandle->Choose(id)) << id;  // runs the enablers of its menu first
    gui::ProcessPendingMessages();
  }
};

// "Renuméroter toutes les Pièces" asks the support password in its dialog,
// then the warning, then renumbers.
TEST_F(ProgramMenuTest, RenumberingAsksThePasswordThroughItsDialog) {
  OpenDemo();
  const Ymd today = Today();
  const std::string code = SupportCodeForDate(today.year, today.month, today.day);
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [code](gui::Window& dialog) {
    static_cast<gui::Dialog&>(dialog).SetItemText(1202, code);
  });
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  Choose(20722);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].resourceId, 1306);
  EXPECT_NE(ShownTexts().find("La prochaine pi\xE8" "ce aura le num\xE9ro"), std::string::npos) << ShownTexts();
}

// The support password is typed as dots; what was typed is what is checked:
// a wrong one stops the renumbering before its warning, the right one goes on.
TEST_F(ProgramMenuTest, TheSupportPasswordIsTypedAsDots) {
  OpenDemo();
  const Ymd today = Today();
  const std::string code = SupportCodeForDate(today.year, today.month, today.day);
  const struct {
    std::string typed;
    bool warned;
  } cases[] = {{"FAUX" + code.substr(4), false}, {code, true}};
  for (const auto& c : cases) {
    gui::ModalSeam::Reset();
    bool dots = false;
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& dialog) {
      auto* edit = qobject_cast<QLineEdit*>(static_cast<gui::Dialog&>(dialog).GetDlgItem(1202)->Widget());
      ASSERT_NE(edit, nullptr);
      dots = edit->echoMode() == QLineEdit::Password;
      // Typed key by key, as a user does.
      for (char ch : c.typed) {
        // Capitals and digits only: each is its own key's code.
        const std::string text(1, ch);
        const int key = static_cast<unsigned char>(ch);
        test_support::SendKey(edit, test_support::kKeyPress, key, test_support::kNoModifier, text);
        test_support::SendKey(edit, test_support::kKeyRelease, key, test_support::kNoModifier, text);
      }
      if (c.warned) test_support::Screenshot(dialog.Widget(), "app", "support_password");
    });
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);  // the warning, when it comes
    Choose(20722);
    EXPECT_TRUE(dots) << c.typed;
    ASSERT_GE(gui::ModalSeam::Shown().size(), 1u);
    EXPECT_EQ(gui::ModalSeam::Shown()[0].resourceId, 1306);
    EXPECT_EQ(ShownTexts().find(LoadStr(kMsgRenumberWarning)) != std::string::npos, c.warned)
        << c.typed << "\n" << ShownTexts();
  }
}

// With the settings of a fresh program folder, "Sauvegarde" writes an LHA
// archive of every file of the dossier, which jlha and lhasa test whole.
TEST_F(ProgramMenuTest, BackupAndRestoreWithTheDefaultSettings) {
  SeedProgramFolder(MERLON_BINARY_DIR "/share/merlon", root_ + "/program/");
  OpenDemo();
  const std::string folder = DossierFolder;
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  Choose(20723);
  EXPECT_EQ(gui::ModalSeam::Shown().at(0).text, LoadStr(kMsgBackupFilesClosed)) << ShownTexts();
  std::string archive;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.path().filename() == "ZELDEMO.lzh") archive = e.path().string();
  ASSERT_FALSE(archive.empty()) << ShownTexts();

  // Both testers list every file of the dossier as tested ("jlha t" alone
  // checks no CRC). Each is called by its own name: "lha" may be either.
  int dossierFiles = 0;
  for (const auto& e : fs::directory_iterator(folder))
    dossierFiles += e.is_regular_file() && e.path().filename().string().rfind("demo.") == 3 ? 1 : 0;
  ASSERT_GE(dossierFiles, 10);
  for (const char* tester : {"jlha", "lhasa"}) {
    const std::string out = test_support::RunPythonScript(
        "import subprocess\nr = subprocess.run(['" + std::string(tester) + "', 't', r'''" + archive +
            "'''], capture_output=True, text=True)\nprint(r.returncode, r.stdout.count('- Tested'))\n",
        false);
    EXPECT_EQ(out, "0 " + std::to_string(dossierFiles) + "\n") << tester;
  }
}

// The frame's close (Alt+F4, its close button) asks the children to close,
// "Changer de dossier" among them.
TEST_F(ProgramMenuTest, FrameCloseClosesTheChangeWindowFirst) {
  OpenDemo();
  RunSubjectCommand(20206);
  gui::ProcessPendingMessages();
  ASSERT_NE(ChangeDossierWindow(), nullptr);
  EXPECT_TRUE(MainFrame->CanClose());
  EXPECT_EQ(ChangeDossierWindow(), nullptr);
}

// "Nouveau dossier" closes the dossiers of the run first; the new one heads
// the dossier lists once it opened, and a cancelled window changes no list.
TEST_F(ProgramMenuTest, NewDossierClosesTheOpenOnesAndListsItselfWhenOpened) {
  OpenDemo();
  const std::string recent = RecentDossiers[0];
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
  Choose(20201);
  EXPECT_TRUE(IsBlank(DossierSlots[0]));
  EXPECT_EQ(RecentDossiers[0], recent);

  const std::string folder = root_ + "/neuf";
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [folder](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    d.SetItemText(1201, "NEUF");
    d.SetItemText(1202, folder);
    d.SetItemText(1204, "SARL NEUVE");
  });
  Choose(20201);
  EXPECT_EQ(std::string(RTrim(DossierCode.c_str())), "NEUF");
  EXPECT_EQ(std::pair(RecentDossiers[0], RecentDossiers[1]), std::pair(DossierEntry("NEUF", folder + "/"), recent));
}

// A chosen file that is no dossier (a general file without a code, or one that holds no
// table) is refused with a word naming it and leaves nothing in its folder.
TEST_F(ProgramMenuTest, FileThatIsNoDossierIsRefusedAndCreatesNothing) {
  for (const char* name : {"c10.dbf", "c10xyz.dbf"}) {
    SCOPED_TRACE(name);
    const fs::path folder = fs::path(root_) / ("autre-" + std::string(name));
    fs::create_directories(folder);
    { std::ofstream(folder / name) << std::string(700, 'x'); }
    gui::ModalSeam::Reset();
    OpenThroughDialog((folder / name).string());
    EXPECT_TRUE(IsBlank(DossierCode));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_NE(ShownTexts().find((folder / name).string()), std::string::npos) << ShownTexts();
  }
}

// The properties dialog's analytic mode brings "Sections Analytiques" into
// the Données menu, and takes it out again. The working date is a date
// field that its label's mnemonic leads to, and the message bar, emptied by
// the dialog, does not come back with the stored date (YYYYMMDD) once it is gone.
TEST_F(ProgramMenuTest, PropertiesAndWorkingDateUpdateMenuAndMessageBar) {
  OpenDemo();
  gui::Menu* data = MainMenuHandle->GetSubMenu(2);
  ASSERT_NE(data, nullptr);
  for (int mode : {1, 0}) {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [mode](gui::Window& w) {
      static_cast<gui::Dialog&>(w).SetItemSel(TDFicAProposDossier::kAnalytic, mode);
    });
    Choose(20205);
    EXPECT_EQ(data->FindPosition(20310) >= 0, mode == 1) << mode << ShownTexts();
  }
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    auto* date = dynamic_cast<MEdit*>(d.GetDlgItem(TDFicAProposDossier::kWorkingDate));
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->InputKind(), MEdit::kDate);
    EXPECT_EQ(qobject_cast<QLabel*>(d.GetDlgItem(1291)->Widget())->buddy(), date->Widget());
  });
  MessageBar->SetText("avant");
  Choose(20204);
  EXPECT_EQ(MessageBar->GetText(), "");
  EXPECT_NE(TheDossierRecord.Get(DossierRecord::kWorkingDatePos, DossierRecord::kDateWidth), "        ");
}

// Every dialog of the resources, built by the class that shows it, over the demo dossier open.
std::vector<Case> EveryDialog() {
  static std::string buffer, result;
  // The report windows' dialogs ask a report window.
  static TWEtats* report = nullptr;
  report = new TWEtats(CommandWindow, "Etat", 0, 0, 0);
  EXPECT_TRUE(report->Create());
  // The VAT returns' period dialogs, over cursors they do not read until a computation.
  static ::Table t10, t20, t40, t50, t60;
  static vat::DebitsComputation debits(t10, t20, t40, t50, t60);
  static vat::ReceiptsComputation receipts(t10, t40, t50, t60);
  static vat::DebitsReturn debitsReturn;
  static vat::ReceiptsReturn receiptsReturn;
  return {
      {"1301", [](gui::Window* p) { return std::make_unique<TDCetteVersion>(p); }},
      {"1324", [](gui::Window* p) { return std::make_unique<TDTvaSurLesDebits>(p, debits, debitsReturn); }},
      {"1325",
       [](gui::Window* p) { return std::make_unique<TDTvaSurLesEncaissements>(p, receipts, receiptsReturn); }},
      {"1302", [](gui::Window*) { return std::make_unique<TDVisuChoixEtat>(report, "DB-"); }},
      {"1303", [](gui::Window*) { return std::make_unique<TDImprChoixEtat>(report, "DB-"); }},
      {"DEFINIR_LIMITES", [](gui::Window*) { return std::make_unique<TDDefinirLimites>(report); }},
      {"1305", [](gui::Window* p) { return std::make_unique<TDFmtSaisie>(p, 1305, 2284, &buffer, false); }},
      {"1306", [](gui::Window* p) { return std::make_unique<TDFmtSaisie>(p, 1306, 2284, &buffer, true); }},
      {"1309", [](gui::Window* p) { return std::make_unique<TDAideFichier>(p, "", "C", 6, &result); }},
      {"1311", [](gui::Window* p) { return std::make_unique<TDDonNouv>(p, &buffer, "Q", 1311, &result); }},
      {"1312", [](gui::Window* p) { return std::make_unique<TDDonNouv>(p, &buffer, "Y", 1312, &result); }},
      {"1314", [](gui::Window* p) { return std::make_unique<TDFicAProposDossier>(p, 2); }},
      {"1315", [](gui::Window* p) { return std::make_unique<TDAjouterVersAutreDossier>(p, "J", 3, 5, "VE "); }},
      {"1316", [](gui::Window* p) { return std::make_unique<TDAjouterDUnAutreDossier>(p, "2", 8, 11); }},
      {"1318", [](gui::Window* p) { return std::make_unique<TDNouveauJournal>(p, &buffer, false, 1318, false, false); }},
      {"1319", [](gui::Window* p) { return std::make_unique<TDNouveauJournal>(p, &buffer, false, 1319, false, true); }},
      {"1334", [](gui::Window* p) { return std::make_unique<TDRechercheEcriture>(p, "100.00", "C601VE "); }},
      {"1320", [](gui::Window* p) { return std::make_unique<TDNuvModeless>(p, false); }},
      {"1322", [](gui::Window* p) { return std::make_unique<TDEtaBilanCalcul>(p); }},
      {"1323", [](gui::Window* p) { return std::make_unique<TDEtaBilanEdition>(p, buffer); }},
      {"1328", [](gui::Window* p) { return std::make_unique<TDMessageLockR>(p, "Enregistrement 12"); }},
      {"1331", [](gui::Window* p) { return std::make_unique<TDUtiGestionDossiers>(p); }},
      {"1333", [](gui::Window* p) { return std::make_unique<TDCalc>(p, nullptr); }},
      {"1335", [](gui::Window* p) { return std::make_unique<TDConfSauvegarde>(p, 1335, "essai"); }},
      {"NOUVEAU_DOSSIER", [](gui::Window* p) { return std::make_unique<TDNouveauDossier>(p); }},
      {"UTI_CONFIGURATION", [](gui::Window* p) { return std::make_unique<TDUtiConfiguration>(p); }},
      {"UTI_CONSTANTE",
       [](gui::Window* p) { return std::make_unique<TDUtiConstante>(p, *FindConstantDefinition(52), "NON"); }},
      {"SAISIE_VARIABLES", [](gui::Window* p) { return std::make_unique<TDSaisieVariables>(p, &buffer); }},
      {"SAISIE_VALIDATION",
       [](gui::Window* p) { return std::make_unique<TDSaiValidation>(p, std::vector<entry::DraftMonth>{}, "", 0L); }},
  };
}

// Every dialog of the resources shows each template text and is wide enough for its caption; a grab of each.
TEST_F(ProgramMenuTest, EveryTemplateTextIsShownByItsDialog) {
  OpenDemo();
  const std::vector<Case> cases = EveryDialog();
  // The table covers every dialog of the resources.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(MERLON_SOURCE_DIR) / "src/resources/dialogs"))
    files += entry.path().extension() == ".dlg" ? 1 : 0;
  EXPECT_EQ(files, static_cast<int>(cases.size()));

  for (const Case& c : cases) {
    SCOPED_TRACE(c.templateId);
    const gui::DialogTemplate* t = gui::DialogTemplates::Find(c.templateId);
    ASSERT_NE(t, nullptr);
    std::unique_ptr<gui::Dialog> dialog = c.make(MainFrame);
    dialog->Show(gui::SW_HIDE);
    ASSERT_TRUE(dialog->Create());
    for (const gui::ControlTemplate& item : t->controls) {
      if (item.text.empty() || item.kind == gui::ControlKind::Edit || item.kind == gui::ControlKind::ComboBox ||
          item.kind == gui::ControlKind::ListBox || item.kind == gui::ControlKind::Custom)
        continue;
      gui::Control* control = dialog->GetDlgItem(item.id);
      ASSERT_NE(control, nullptr) << item.id;
      EXPECT_FALSE(ShownText(control->Widget()).trimmed().isEmpty()) << "control " << item.id << " is blank";
    }
    EXPECT_TRUE(test_support::CaptionFits(dialog->Widget()));
    test_support::Screenshot(dialog->Widget(), "dialogs", c.templateId);
  }
}

// The controls of a window and of its pages, in the order they were made.
void CollectControls(gui::Window& w, std::vector<gui::Control*>& out) {
  for (gui::Window* child : w.Children()) {
    if (child == nullptr || !child->IsCreated()) continue;
    if (auto* c = dynamic_cast<gui::Control*>(child)) out.push_back(c);
    CollectControls(*child, out);
  }
}

// Tabs through a window as a user does (Tab from the control that has the focus, as many times as it has
// controls, and once more), then clicks into each control in turn; answers what opened meanwhile: the boxes
// and dialogs the seam was asked to show, and the MDI children that came. Empty when nothing opened.
std::string TabThrough(gui::Window& w) {
  // What the window does as it opens (a dossier chooser asked first, a refusal that closes it) is not the
  // focus's doing.
  gui::ProcessPendingMessages();
  if (!w.IsCreated()) return "closed as it opened";
  gui::ModalSeam::Reset();
  const std::size_t children = CommandWindow->GetChildren().size();
  QWidget* top = w.Widget()->window();
  top->show();
  QApplication::setActiveWindow(top);
  top->activateWindow();
  gui::ProcessPendingMessages();
  std::vector<gui::Control*> controls;
  CollectControls(w, controls);
  for (std::size_t i = 0; i <= controls.size(); ++i) {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr) break;
    test_support::SendKey(focus, test_support::kKeyPress, gui::VK_TAB);
    if (QApplication::focusWidget() != nullptr) focus = QApplication::focusWidget();
    test_support::SendKey(focus, test_support::kKeyRelease, gui::VK_TAB);
    gui::ProcessPendingMessages();
  }
  for (gui::Control* c : controls) {
    if (!w.IsCreated()) break;
    if (c->IsCreated() && c->IsWindowVisible() && c->IsWindowEnabled()) c->SetFocus();
    gui::ProcessPendingMessages();
  }
  std::string opened = test_support::ShownTexts();
  for (const auto& shown : gui::ModalSeam::Shown())
    if (shown.resourceId != 0) opened += "dialog " + std::to_string(shown.resourceId) + "\n";
  const std::size_t now = CommandWindow->GetChildren().size();
  if (now != children) opened += std::to_string(now) + " windows open instead of " + std::to_string(children) + "\n";
  if (!w.IsCreated()) opened += "the window closed\n";
  return opened;
}

// No control opens anything when it only gets the focus: tabbing through every dialog of the resources, and
// clicking into each of its controls, shows no box, no dialog and no window.
TEST_F(ProgramMenuTest, TabbingThroughEveryDialogOpensNothing) {
  OpenDemo();
  for (const Case& c : EveryDialog()) {
    SCOPED_TRACE(c.templateId);
    std::unique_ptr<gui::Dialog> dialog = c.make(MainFrame);
    ASSERT_TRUE(dialog->Create());
    const std::string opened = TabThrough(*dialog);
    // The balance sheet's computation and edition refuse a dossier without a balance sheet model, as they open.
    const bool refusedAtOpening = std::string(c.templateId) == "1322" || std::string(c.templateId) == "1323";
    EXPECT_EQ(opened, refusedAtOpening ? "closed as it opened" : "");
    if (dialog->IsCreated()) dialog->Destroy();
    gui::ProcessPendingMessages();
  }
}

// The same through every edit form of the program, each opened as the user opens it: from its menu command
// (the report limits forms, the runs), or by "Modifier" in its list (the code forms, the chart's). The "?"
// buttons beside the fields (the statement file of the bank reconciliation, of the ASCII import, the account
// lookups of the dunning letters and of the opening balances) open nothing when the Tab key reaches them.
// (The sections' form is the chart's form on another table; the demo dossier has no analytic sections.)
TEST_F(ProgramMenuTest, TabbingThroughEveryFormOpensNothing) {
  OpenDemo();
  MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
  MainFrame->Show(gui::SW_SHOW);
  const struct {
    const char* what;
    unsigned command;  // the menu command
    bool fromList;     // the form is opened by "Modifier" in the list the command opens
  } forms[] = {
      {"Etablissements", 20301, true}, {"Journaux", 20302, true}, {"Collectifs", 20303, true},
      {"Banques", 20304, true}, {"Codes Libell\xE9s", 20305, true}, {"Codes Ventilations", 20306, true},
      {"Mod\xE8les de saisie", 20307, true}, {"Codes Tva", 20308, true}, {"Plan Comptable", 20309, true},
      {"Compte", 20501, false}, {"Grands Livres", 20502, false},
      {"Journaux (\xE9tat)", 20503, false}, {"Lettres de Relance", 20506, false}, {"Lettrage Manuel", 20601, false},
      {"Lettrage Automatique", 20602, false}, {"Rapprochement", 20603, false}, {"S\xE9paration", 20604, false},
      {"Ajout d'un autre dossier", 20606, false}, {"Ajout ASCII", 20706, false},
      {"Importation Relev\xE9 (ofx)", 20407, false}, {"Soldes \xE0 Nouveau", 20605, false},
  };
  for (const auto& f : forms) {
    SCOPED_TRACE(f.what);
    if (f.command == 20605) {
      // The opening balances ask for an empty draft: its lines cancelled.
      ::Table c50;
      ASSERT_TRUE(c50.OpenShared(PathC50()));
      const test_support::SetUpPermit permit("brouillard vide");
      for (bool more = c50.GoTop(); more; more = c50.Skip(1))
        if (!c50.IsDeleted()) ASSERT_TRUE(c50.DeleteRecord("", 0));
    }
    gui::ModalSeam::Reset();
    Choose(f.command);
    if (f.fromList) {
      gui::MDIChild* list = CommandWindow->GetActiveMDIChild();
      ASSERT_NE(dynamic_cast<CMDIBrowse*>(list), nullptr) << test_support::ShownTexts();
      gui::SendCommand(list->GetHandle(), browse_cmd::Modifier);
      gui::ProcessPendingMessages();
    }
    auto* form = dynamic_cast<CMDIModif*>(CommandWindow->GetActiveMDIChild());
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    EXPECT_EQ(TabThrough(*form), "");
    if (f.command == 20603) test_support::Screenshot(MainFrame->Widget(), "app", "reconciliation_tabbed");
    ASSERT_TRUE(CommandWindow->CloseChildren());
    gui::ProcessPendingMessages();
  }
}

// How many boxes and dialogs a ShownModals text holds.
int ShownModalsCount(const std::string& seen) {
  int n = 0;
  for (std::size_t at = 0; (at = seen.find('|', at)) != std::string::npos; at = seen.find('\n', at)) ++n;
  return n;
}

// What the seam was asked to show, boxes and dialogs, one a line.
std::string ShownModals() {
  std::string all;
  for (const auto& shown : gui::ModalSeam::Shown())
    all += std::to_string(shown.resourceId) + "|" + shown.caption + "|" + shown.text + "\n";
  return all;
}

// F5 and F6 in a report limits form do what the Fichier menu says of them ("Visualiser [F5]", "Imprimer
// [F6]"): the same as Ctrl+V and Ctrl+P, typed in the form's first field. What they open (the report's choice of
// layout, cancelled here, the windows that come) is compared.
TEST_F(ProgramMenuTest, F5AndF6PreviewAndPrintFromTheReportLimitsForms) {
  SeedProgramFolder(MERLON_BINARY_DIR "/share/merlon", root_ + "/program/");
  OpenDemo();
  MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
  MainFrame->Show(gui::SW_SHOW);
  // The account statement asks nothing while its account is blank; the others ask for their layout.
  const struct {
    const char* what;
    unsigned command;
    bool asks;
  } forms[] = {{"Compte", 20501, false}, {"Grands Livres", 20502, true}, {"Journaux", 20503, true},
               {"Lettres de Relance", 20506, true}};
  const struct {
    int key, menuKey;
    const char* letter;
  } keys[] = {{gui::VK_F5, 'V', "\x16"}, {gui::VK_F6, 'P', "\x10"}};
  auto press = [](int key, test_support::KeyModifiers mods, const std::string& text) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    test_support::SendKey(focus, test_support::kKeyPress, key, mods, text);
    if (QApplication::focusWidget() != nullptr) focus = QApplication::focusWidget();
    test_support::SendKey(focus, test_support::kKeyRelease, key, mods, text);
    gui::ProcessPendingMessages();
  };
  for (const auto& f : forms) {
    for (const auto& k : keys) {
      SCOPED_TRACE(std::string(f.what) + (k.key == gui::VK_F5 ? " F5" : " F6"));
      std::string seen[2];
      for (int round = 0; round < 2; ++round) {
        Choose(f.command);
        auto* form = dynamic_cast<CMDIModif*>(CommandWindow->GetActiveMDIChild());
        ASSERT_NE(form, nullptr) << test_support::ShownTexts();
        gui::ModalSeam::Reset();
        for (int i = 0; i < 4; ++i) gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
        if (round == 0) press(k.menuKey, test_support::kControlModifier, k.letter);
        else press(k.key, test_support::kNoModifier, {});
        seen[round] = ShownModals();
        for (gui::MDIChild* c : CommandWindow->GetChildren()) seen[round] += "window " + c->GetCaption() + "\n";
        if (round == 1 && f.command == 20501 && k.key == gui::VK_F5)
          test_support::Screenshot(MainFrame->Widget(), "app", "limits_form_f5");
        ASSERT_TRUE(CommandWindow->CloseChildren());
        gui::ProcessPendingMessages();
      }
      EXPECT_EQ(ShownModalsCount(seen[0]) != 0, f.asks) << seen[0];
      EXPECT_EQ(seen[1], seen[0]);
    }
  }
}

// "+" on a list, F9 in a window: keys go to the window the user sees. After a code form closes, its list is
// active again and in front, though the chart's list was opened before it; its commands go to it.
TEST_F(ProgramMenuTest, AClosedFormGivesTheKeysBackToItsList) {
  OpenDemo();
  MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
  MainFrame->Show(gui::SW_SHOW);
  Choose(20309);
  auto* chart = dynamic_cast<CMDIBrowse*>(CommandWindow->GetActiveMDIChild());
  ASSERT_NE(chart, nullptr);
  Choose(20302);
  auto* journals = dynamic_cast<CMDIBrowse*>(CommandWindow->GetActiveMDIChild());
  ASSERT_NE(journals, nullptr);
  ASSERT_NE(journals, chart);
  for (unsigned close : {20023u, 20055u}) {
    SCOPED_TRACE(close);
    gui::SendCommand(journals->GetHandle(), browse_cmd::Modifier);
    gui::ProcessPendingMessages();
    auto* form = dynamic_cast<CMDIModif*>(CommandWindow->GetActiveMDIChild());
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    // "Quitter" then "Enregistrer" from the keys of the form.
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    const int key = close == 20023 ? gui::VK_F9 : gui::VK_F12;
    test_support::SendKey(focus, test_support::kKeyPress, key);
    test_support::SendKey(QApplication::focusWidget() ? QApplication::focusWidget() : focus, test_support::kKeyRelease,
                          key);
    gui::ProcessPendingMessages();
    EXPECT_EQ(CommandWindow->GetActiveMDIChild(), journals) << test_support::ShownTexts();
    auto* area = qobject_cast<QMdiArea*>(CommandWindow->Widget());
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->subWindowList(QMdiArea::StackingOrder).back(), journals->OuterWidget()) << "in front";
    // The frame's commands go to the list seen ("Modifier" of the chart would open the chart's form).
    EXPECT_TRUE(MainFrame->RouteCommand(browse_cmd::Modifier));
    gui::ProcessPendingMessages();
    form = dynamic_cast<CMDIModif*>(CommandWindow->GetActiveMDIChild());
    ASSERT_NE(form, nullptr);
    EXPECT_NE(form->GetCaption().find("Journal"), std::string::npos) << form->GetCaption();
    if (close == 20023) test_support::Screenshot(MainFrame->Widget(), "app", "journal_form_over_lists");
    form->NoCheckFlag = true;
    gui::SendMessage(form->GetHandle(), gui::WM_CLOSE);
    gui::ProcessPendingMessages();
    EXPECT_EQ(CommandWindow->GetActiveMDIChild(), journals);
  }
  test_support::Screenshot(MainFrame->Widget(), "app", "journals_list_after_form");
}

// A key typed as a user does: pressed and released on the focused widget, then what it posted.
void TypeKey(int key, test_support::KeyModifiers mods = test_support::kNoModifier, const std::string& text = {}) {
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  test_support::SendKey(focus, test_support::kKeyPress, key, mods, text);
  if (QApplication::focusWidget() != nullptr) focus = QApplication::focusWidget();
  test_support::SendKey(focus, test_support::kKeyRelease, key, mods, text);
  // The window system then holds no modifier down any more (a key alone).
  if (mods != test_support::kNoModifier) {
    test_support::SendKey(focus, test_support::kKeyPress, test_support::kKeyF24);
    test_support::SendKey(focus, test_support::kKeyRelease, test_support::kKeyF24);
  }
  gui::ProcessPendingMessages();
}

// The menu holding the item `id`, whichever of the bar's menus (or their sub-menus) it lies in.
gui::Menu* MenuHolding(gui::Menu& menu, unsigned id) {
  if (menu.FindPosition(id) >= 0) return &menu;
  for (int i = 0; i < menu.GetItemCount(); ++i)
    if (gui::Menu* sub = menu.GetSubMenu(i))
      if (gui::Menu* holder = MenuHolding(*sub, id)) return holder;
  return nullptr;
}

// The item chosen as with Alt and the arrows: its menu opened, the item highlighted and Return pressed on it (a menu
// runs its item as the key goes down).
void ChooseWithReturn(unsigned id) {
  gui::Menu* holder = MenuHolding(*MainMenuHandle, id);
  ASSERT_NE(holder, nullptr) << id;
  QMenu* menu = holder->GetQMenu();
  menu->popup(QPoint(40, 40));
  QAction* item = nullptr;
  for (QAction* a : menu->actions())
    if (a->data().toUInt() == id) item = a;
  ASSERT_NE(item, nullptr) << id;
  menu->setActiveAction(item);
  test_support::SendKey(menu, test_support::kKeyPress, gui::VK_RETURN, test_support::kNoModifier, "\r");
  // The menu closed, the window system gives the keyboard back to the main window (where the command opened its
  // window, if it did).
  gui::ProcessPendingMessages();
  if (QApplication::activeModalWidget() == nullptr) QApplication::setActiveWindow(MainFrame->OuterWidget());
  gui::ProcessPendingMessages();
}

// What a window shows: the control that has the focus, and the text of every label.
std::string WindowContents(gui::Window& w) {
  std::vector<gui::Control*> controls;
  CollectControls(w, controls);
  std::string contents;
  for (gui::Control* c : controls) {
    if (c->HasFocus()) contents += "focus " + std::to_string(c->GetId()) + "\n";
    if (auto* label = qobject_cast<QLabel*>(c->Widget())) contents += label->text().toStdString() + "\n";
  }
  return contents;
}

// Return on a menu item runs its command once: the release of that Return reaches the window the command opened, a
// dialog or a report's limits form, whose first field acts on a key's release only when it saw the key pressed.
// The window stays as the command chosen with the mouse leaves it: no refusal of the empty dossier code, no "???"
// under the empty account, the focus in its first field.
TEST_F(ProgramMenuTest, ReturnOnAMenuItemActsOnlyInTheMenu) {
  OpenDemo();
  MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
  MainFrame->Show(gui::SW_SHOW);
  QApplication::setActiveWindow(MainFrame->OuterWidget());
  const struct {
    const char* what;
    unsigned id;
    bool dialog;  // a modal dialog, else a window among the children
    const char* picture;
  } cases[] = {
      {"A Propos du dossier ouvert", command_id::FichierAProposDossier, true, "return_on_dossier_properties"},
      {"Etats > Compte", command_id::EtaCompte, false, "return_on_account_statement"},
      {"Nouveau dossier", command_id::FichierNouveauDossier, true, "return_on_new_dossier"},  // closes the dossier
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string seen[2];  // chosen with the mouse, then with Return
    for (int round = 0; round < 2; ++round) {
      const bool withReturn = round == 1;
      gui::ModalSeam::Reset();
      QApplication::setActiveWindow(MainFrame->OuterWidget());
      std::string contents;
      auto look = [&](gui::Window& w) {
        gui::ProcessPendingMessages();
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        if (withReturn) {
          test_support::SendKey(focus, test_support::kKeyRelease, gui::VK_RETURN, test_support::kNoModifier, "\r");
          gui::ProcessPendingMessages();
        }
        contents = WindowContents(w);
        if (withReturn) test_support::Screenshot(w.Widget(), "app", c.picture);
      };
      if (c.dialog)
        gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
          w.Show(gui::SW_SHOWNORMAL);
          look(w);
        });
      if (withReturn) ChooseWithReturn(c.id);
      else Choose(c.id);
      if (!c.dialog) {
        gui::MDIChild* form = CommandWindow->GetActiveMDIChild();
        ASSERT_NE(form, nullptr) << test_support::ShownTexts();
        look(*form);
        ASSERT_TRUE(CommandWindow->CloseChildren());
        gui::ProcessPendingMessages();
      }
      seen[round] = contents + test_support::ShownTexts();
    }
    EXPECT_FALSE(seen[0].empty());
    EXPECT_EQ(seen[1], seen[0]);
    EXPECT_EQ(seen[1].find("???"), std::string::npos) << seen[1];
  }
}

// The Edition menu on a field of a form, as a user uses it: each command grey until it applies (a
// selection to cut, copy or delete, text to paste, something to undo), then doing what it says.
TEST_F(ProgramMenuTest, TheEditMenuCutsCopiesPastesAndUndoesInTheFocusedField) {
  OpenDemo();
  MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
  MainFrame->Show(gui::SW_SHOW);
  QApplication::setActiveWindow(MainFrame->OuterWidget());
  Choose(20309);
  auto* chart = dynamic_cast<CMDIBrowse*>(CommandWindow->GetActiveMDIChild());
  ASSERT_NE(chart, nullptr);
  gui::SendCommand(chart->GetHandle(), browse_cmd::Modifier);
  gui::ProcessPendingMessages();
  auto* form = dynamic_cast<CMDIModif*>(CommandWindow->GetActiveMDIChild());
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  QLineEdit* field = nullptr;
  for (QLineEdit* e : form->OuterWidget()->findChildren<QLineEdit*>())
    if (field == nullptr && e->isEnabled() && !e->isReadOnly() && e->text().trimmed().size() > 3) field = e;
  ASSERT_NE(field, nullptr);
  field->setFocus();
  gui::ProcessPendingMessages();
  ASSERT_EQ(QApplication::focusWidget(), field);
  const QString text = field->text();
  gui::Menu* edit = MainMenuHandle->GetSubMenu(1);
  ASSERT_NE(edit, nullptr);
  auto enabled = [edit](unsigned id) {
    edit->RunEnablers();
    return edit->IsItemEnabled(id);
  };
  QGuiApplication::clipboard()->clear();
  field->deselect();
  for (unsigned id = 24321; id <= 24325; ++id) EXPECT_FALSE(enabled(id)) << id << " with nothing selected";
  field->selectAll();
  const struct {
    unsigned id;
    bool enabled;
  } selected[] = {{24321, false}, {24322, true}, {24323, true}, {24324, false}, {24325, true}};
  for (const auto& c : selected) EXPECT_EQ(enabled(c.id), c.enabled) << c.id << " with the field selected";
  Choose(24323);  // Copier
  EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
  EXPECT_EQ(field->text(), text);
  EXPECT_TRUE(enabled(24324));
  QMenu* shown = edit->GetQMenu();
  shown->popup(field->mapToGlobal(QPoint(0, field->height())));
  test_support::Screenshot(shown, "app", "edit_menu");
  shown->hide();
  Choose(24322);  // Couper
  EXPECT_EQ(field->text(), "");
  EXPECT_TRUE(enabled(24321));
  Choose(24324);  // Coller
  EXPECT_EQ(field->text(), text);
  field->selectAll();
  Choose(24325);  // Effacer
  EXPECT_EQ(field->text(), "");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), text) << "Effacer keeps the clipboard";
  Choose(24321);  // Annuler
  EXPECT_EQ(field->text(), text);
  // The form's own keys give the same commands.
  field->selectAll();
  TypeKey(gui::VK_DELETE, test_support::kShiftModifier);
  EXPECT_EQ(field->text(), "");
  TypeKey(gui::VK_BACK, test_support::kAltModifier);
  EXPECT_EQ(field->text(), text);
  form->NoCheckFlag = true;
  gui::SendMessage(form->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
}

// A masked password field gives nothing away: with its text selected, Copier and Couper stay grey in
// the Edition menu, the command and its keys leave the clipboard as it was, while Effacer still applies.
TEST_F(ProgramMenuTest, APasswordFieldLetsNothingBeCopiedFromIt) {
  OpenDemo();
  MainFrame->Show(gui::SW_SHOW);
  QApplication::setActiveWindow(MainFrame->OuterWidget());
  bool checked = false;
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& dialog) {
    auto* item = static_cast<gui::Dialog&>(dialog).GetDlgItem(1202);
    auto* field = qobject_cast<QLineEdit*>(item->Widget());
    ASSERT_NE(field, nullptr);
    ASSERT_EQ(field->echoMode(), QLineEdit::Password);
    field->setText("SECRET12");
    field->setFocus();
    field->selectAll();
    gui::ProcessPendingMessages();
    QGuiApplication::clipboard()->setText("avant");
    // What the Edition menu asks of the field its command goes to.
    auto enabled = [item](unsigned id) {
      gui::CommandEnabler ce(id);
      return item->EvCommandEnable(ce) && ce.Enabled();
    };
    const struct {
      unsigned id;
      bool enabled;
    } cases[] = {{24322, false}, {24323, false}, {24325, true}};
    for (const auto& c : cases) EXPECT_EQ(enabled(c.id), c.enabled) << c.id << " on the selected password";
    gui::SendCommand(item->GetHandle(), 24323);
    for (int key : {gui::VK_INSERT, int{'C'}}) {
      test_support::SendKey(field, test_support::kKeyPress, key, test_support::kControlModifier);
      test_support::SendKey(field, test_support::kKeyRelease, key, test_support::kControlModifier);
    }
    gui::ProcessPendingMessages();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "avant");
    EXPECT_EQ(field->text(), "SECRET12");
    checked = true;
  });
  Choose(20722);
  EXPECT_TRUE(checked) << test_support::ShownTexts();
}

// A command's hint shows in the status bar while its menu item is highlighted or its toolbar button
// pointed; the bar's own text comes back when the menu closes or the pointer leaves the bar.
TEST_F(ProgramMenuTest, TheStatusBarShowsTheHintOfTheCommandPointed) {
  OpenDemo();
  MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
  MainFrame->Show(gui::SW_SHOW);
  ASSERT_NE(MessageBar, nullptr);
  const std::string own = MessageBar->ShownText();
  gui::Menu* saisie = MainMenuHandle->GetSubMenu(3);
  ASSERT_NE(saisie, nullptr);
  QMenu* menu = saisie->GetQMenu();
  menu->popup(QPoint(120, 40));
  QAction* entry = nullptr;
  for (QAction* a : menu->actions())
    if (a->data().toUInt() == 20401) entry = a;
  ASSERT_NE(entry, nullptr);
  menu->setActiveAction(entry);
  gui::ProcessPendingMessages();
  EXPECT_EQ(MessageBar->ShownText(), "Saisie des \xE9" "critures au brouillard");
  test_support::Screenshot(MainFrame->OuterWidget(), "app", "status_bar_menu_hint");
  menu->hide();
  gui::ProcessPendingMessages();
  EXPECT_EQ(MessageBar->ShownText(), own);
  auto* bar = qobject_cast<QToolBar*>(MainControlBar->Widget());
  ASSERT_NE(bar, nullptr);
  gui::Gadget* chart = MainControlBar->GadgetWithId(20309);
  ASSERT_NE(chart, nullptr);
  QWidget* button = bar->widgetForAction(chart->GetAction());
  ASSERT_NE(button, nullptr);
  QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), QPointF(4, 4));
  QApplication::sendEvent(button, &enter);
  EXPECT_EQ(MessageBar->ShownText(), "Plan comptable du dossier");
  test_support::Screenshot(MainFrame->OuterWidget(), "app", "status_bar_toolbar_hint");
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(bar, &leave);
  EXPECT_EQ(MessageBar->ShownText(), own);
  EXPECT_EQ(MessageBar->GetText(), own) << "the hint never became the bar's text";
}

// F5 and F6 in a list do what the Fichier menu and the list's pop-up show ("Visualiser [F5]", "Imprimer
// [F6]"), as Ctrl+V previews: what they open (the report's choice of layout, cancelled here) is compared.
TEST_F(ProgramMenuTest, F5AndF6PreviewAndPrintFromTheLists) {
  SeedProgramFolder(MERLON_BINARY_DIR "/share/merlon", root_ + "/program/");
  OpenDemo();
  MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
  MainFrame->Show(gui::SW_SHOW);
  QApplication::setActiveWindow(MainFrame->OuterWidget());
  const struct {
    unsigned list, menu;
    int key;
  } cases[] = {{20309, 20035, gui::VK_F5}, {20309, 20041, gui::VK_F6}, {20302, 20035, gui::VK_F5},
               {20302, 20041, gui::VK_F6}, {20305, 20035, gui::VK_F5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.list) + (c.key == gui::VK_F5 ? " F5" : " F6"));
    std::string seen[3];
    const int rounds = c.key == gui::VK_F5 ? 3 : 2;
    for (int round = 0; round < rounds; ++round) {
      Choose(c.list);
      ASSERT_NE(dynamic_cast<CMDIBrowse*>(CommandWindow->GetActiveMDIChild()), nullptr);
      gui::ModalSeam::Reset();
      for (int i = 0; i < 4; ++i) gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
      if (round == 0) Choose(c.menu);
      else if (round == 1) TypeKey(c.key);
      else TypeKey('V', test_support::kControlModifier, std::string("\x16"));
      seen[round] = ShownModals();
      ASSERT_TRUE(CommandWindow->CloseChildren());
      gui::ProcessPendingMessages();
    }
    EXPECT_NE(ShownModalsCount(seen[0]), 0) << "the menu asks for the layout";
    EXPECT_EQ(seen[1], seen[0]);
    if (rounds == 3) EXPECT_EQ(seen[2], seen[0]) << "Ctrl+V";
  }
}

// Qt's own dialogs (the file dialog's buttons) speak French once the program started.
TEST_F(ProgramMenuTest, QtOwnDialogsSpeakFrench) {
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Annuler");
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Voir dans :");
}

}  // namespace

namespace {

// "Ajouter à partir d'un autre dossier" (20067) and "Ajouter vers un autre dossier" (20069) are offered by the code
// lists, the chart of accounts and the analytic sections, the second one with a visible selected row; the list of
// the journal-months ("Journaux saisis"), a code list too, greys both in the Edition menu, and a copy posted to it
// as another window would post it opens nothing.
TEST_F(ProgramMenuTest, TheCopiesBetweenDossiersAreOfferedOnlyWhereTheyBelong) {
  DemoOptions o;
  o.folder = root_ + "/demo";
  o.code = "DEMO";
  o.lines = 40;
  o.analyticMode = '1';
  std::string message;
  ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
  OpenThroughDialog(C10Path(o.folder + "/", "DEMO"));
  ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "DEMO") << ShownTexts();
  MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
  MainFrame->Show(gui::SW_SHOW);
  QApplication::setActiveWindow(MainFrame->OuterWidget());
  gui::Menu* edit = MainMenuHandle->GetSubMenu(1);
  ASSERT_NE(edit, nullptr);
  auto offered = [edit](unsigned id) {
    edit->RunEnablers();
    return edit->IsItemEnabled(id);
  };
  auto picture = [edit](const std::string& name) {
    edit->RunEnablers();
    QMenu* shown = edit->GetQMenu();
    shown->popup(QPoint(40, 40));
    test_support::Screenshot(shown, "app", name);
    shown->hide();
  };
  const struct {
    unsigned command;
    const char* picture;  // the Edition menu over the list ("": none)
    bool offered;
  } lists[] = {
      {command_id::DonneesJournaux, "", true},
      {command_id::DonneesPlanComptable, "copy_commands_chart", true},
      {command_id::DonneesSectionsAnal, "", true},
      {command_id::SaisieEcritures, "copy_commands_journal_months", false},
  };
  for (const auto& l : lists) {
    SCOPED_TRACE(l.command);
    gui::ModalSeam::Reset();
    gui::PostCommand(CommandWindow->GetHandle(), l.command);
    gui::ProcessPendingMessages();
    auto* list = dynamic_cast<CMDIBrowse*>(CommandWindow->GetActiveMDIChild());
    ASSERT_NE(list, nullptr) << ShownTexts();
    ASSERT_NE(list->GetSelectedRowIndex(), 0) << list->GetCaption();
    EXPECT_TRUE(l.command != command_id::SaisieEcritures || list->GetCaption() == "Journaux saisis");
    EXPECT_EQ(offered(command_id::AjouterDepuisDossier), l.offered) << list->GetCaption();
    EXPECT_EQ(offered(command_id::AjouterVersDossier), l.offered) << list->GetCaption();
    if (*l.picture != '\0') picture(l.picture);
    if (l.offered) {
      // The selected row scrolled out of sight: nothing to copy to another dossier, while codes may still come in.
      const long top = list->Store().top;
      for (int page = 0; page < 3 && list->GetSelectedRowIndex() != 0; ++page) list->EvVScroll(gui::SB_PAGEDOWN, 0);
      if (list->Store().top != top) {
        EXPECT_FALSE(offered(command_id::AjouterVersDossier)) << list->GetCaption();
        EXPECT_TRUE(offered(command_id::AjouterDepuisDossier)) << list->GetCaption();
      }
    } else {
      // Posted as another window would post them: no dialog, no word, the list as it was.
      const std::string page = list->PageAsText();
      for (unsigned id : {command_id::AjouterDepuisDossier, command_id::AjouterVersDossier})
        gui::PostCommand(list->GetHandle(), id);
      gui::ProcessPendingMessages();
      EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << list->GetCaption() << "\n" << ShownTexts();
      EXPECT_EQ(list->PageAsText(), page);
    }
    ASSERT_TRUE(CommandWindow->CloseChildren());
    gui::ProcessPendingMessages();
  }

  // In the chart, for a user of the secondary password: the copy to another dossier on right 7 of the chart, the
  // copy from another dossier on its create right.
  const DossierRecord saved = TheDossierRecord;
  const struct {
    int refused;  // the chart's right taken away
    bool from, to;
  } rights[] = {{7, true, false}, {2, false, true}};
  for (const auto& r : rights) {
    SCOPED_TRACE(r.refused);
    TheDossierRecord = saved;
    TheDossierRecord.SetUserLevel('2');
    test_support::RefuseAccessRight(11, r.refused);
    gui::PostCommand(CommandWindow->GetHandle(), command_id::DonneesPlanComptable);
    gui::ProcessPendingMessages();
    auto* chart = dynamic_cast<CMDIBrowse*>(CommandWindow->GetActiveMDIChild());
    ASSERT_NE(chart, nullptr) << ShownTexts();
    ASSERT_NE(chart->GetSelectedRowIndex(), 0);
    EXPECT_EQ(offered(command_id::AjouterDepuisDossier), r.from);
    EXPECT_EQ(offered(command_id::AjouterVersDossier), r.to);
    ASSERT_TRUE(CommandWindow->CloseChildren());
    gui::ProcessPendingMessages();
  }
  TheDossierRecord = saved;
}

}  // namespace
