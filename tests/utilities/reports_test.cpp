// "Etats Paramétrables": a report created by copy, its template edited in the record text editor and its name in
// the name form, exported to "C-Etat-" + code + ".txt" and imported back byte for byte; the layout files import;
// a "CESETATS.LST" at start-up stores its reports into the printing sets and is renamed, so that the next start
// opens the dossier given on the command line; the editor's help of a report family, "EDD-" included.
#include <filesystem>
#include <fstream>
#include <map>

#include "controls/medit.h"
#include "masterdata/core/record_text.h"
#include "masterdata/core/record_text_keywords.h"
#include "masterdata/new_code_dialog.h"
#include "masterdata/record_text_editor.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "runtime/dates.h"
#include "runtime/inifiles.h"
#include "settings_fixture.h"
#include "shell/startup.h"
#include "support/gui_test.h"
#include "utilities/reports_window.h"

namespace settings_test {
namespace {

namespace fs = std::filesystem;

const std::string kListe = "[F3][RS][F1]\r\nListe des banques \xE9" "dit\xE9" "e le [Date]\r\n[ITD][@CODE] [@NOM]\r\n[ITF]";

class ReportsTest : public SettingsWindowTest {
 protected:
  void SetUp() override {
    SettingsWindowTest::SetUp();
    // The display and printing sets of the program's options ("0"), and the reference set.
    MakeSet('0', {{"DB-1LISTE", "Liste des banques", kListe}});
    printingSet_ = ProgramOption(6);
  }
  void TearDown() override {
    SetProgramOption(6, printingSet_);
    SettingsWindowTest::TearDown();
  }
  TWUtiBroEtats* OpenList(char kind) {
    // "Etats Paramétrables pour Visualisation" is offered only while the display set differs from the
    // printing set: the printing set is another one then.
    if (kind == 'Y') {
      MakeSet('1', {});
      SetProgramOption(6, '1');
    }
    Menu(kind == 'Y' ? 20707 : 20708);
    auto* list = WindowAt<TWUtiBroEtats>(kind == 'Y' ? kReportListSlotY : kReportListSlotZ);
    EXPECT_NE(list, nullptr) << test_support::ShownTexts();
    return list;
  }
  char printingSet_ = '0';
  // "Créer" with a code and a "A partir de" text.
  void Create(TWUtiBroEtats* list, const std::string& code, const std::string& from) {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [code, from](gui::Window& w) {
      auto& d = static_cast<TDDonNouv&>(w);
      d.CodeEdit()->SetValue(code, false);
      d.FromEdit()->SetValue(from, false);
      d.PressButton(gui::IDOK);
    });
    Send(list, browse_cmd::Nouveau);
  }
  // The template and the name of a report of the display set, as stored.
  static std::string Stored(const std::string& code, int field = 11, char letter = '0') {
    Table t;
    EXPECT_TRUE(t.OpenShared(PathReportDefs(letter), "CE0CODE"));
    std::string key = code;
    key.resize(10, ' ');
    std::string text = "<absent>";
    if (t.Seek("CE0CODE", key.c_str()) && !t.eof && std::string(t.GetField(1)) == key) {
      if (field == 11) t.GetMemoText(11, text);
      else text = RTrim(t.GetField(field));
    }
    t.CloseTable();
    return text;
  }
};

TEST_F(ReportsTest, ACopyEditedExportedAndImportedBackIsTheSameByteForByte) {
  TWUtiBroEtats* list = OpenList('Y');
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->GetCaption(), "Fichier des Etats pour Visualisation");
  Create(list, "DB-COPIE", "DB-1LISTE");
  ASSERT_EQ(Stored("DB-COPIE"), kListe) << test_support::ShownTexts();
  EXPECT_EQ(Stored("DB-COPIE", 2), "Copie de DB-1LISTE Liste des banques");
  test_support::Screenshot(list->OuterWidget(), "utilities", "reports_list");

  // The template edited in the record text editor.
  ASSERT_TRUE(list->LocateCode("DB-COPIE"));
  Send(list, browse_cmd::Texte);
  auto* editor = WindowAt<TWDonTexte>(masterdata::kRecordTextSlot);
  ASSERT_NE(editor, nullptr) << test_support::ShownTexts();
  editor->Text()->SetValue(editor->Text()->GetText() + "[Fin] \x80 \xE0 suivre", false);
  Send(editor, form_cmd::Enregistrer);
  ASSERT_EQ(WindowAt<TWDonTexte>(masterdata::kRecordTextSlot), nullptr);
  const std::string edited = Stored("DB-COPIE");
  ASSERT_NE(edited, kListe);
  ASSERT_NE(edited.find("[Fin] \x80 \xE0 suivre"), std::string::npos);

  // The name in the name form, which holds the record while it is open.
  ASSERT_TRUE(list->LocateCode("DB-COPIE"));
  Send(list, browse_cmd::Modifier);
  auto* form = WindowAt<TWUtiModEtats>(kReportFormSlotY);
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  EXPECT_TRUE(form->Held());
  EXPECT_NE(FormRecordLocks[11], 0u);
  form->NameEdit()->SetValue("Banques, pr\xE9sentation", false);
  test_support::Screenshot(form->OuterWidget(), "utilities", "report_name_form");
  Send(form, form_cmd::Enregistrer);
  EXPECT_EQ(WindowAt<TWUtiModEtats>(kReportFormSlotY), nullptr);
  EXPECT_EQ(FormRecordLocks[11], 0u);
  EXPECT_EQ(Stored("DB-COPIE", 2), "Banques, pr\xE9sentation");

  // Exported, then imported back.
  const std::string path = root_ + "/C-Etat-DB-COPIE.txt";
  ASSERT_TRUE(list->LocateCode("DB-COPIE"));
  gui::ModalSeam::QueueFileAnswer(path);
  Send(list, report_cmd::Exporter);
  ASSERT_FALSE(gui::ModalSeam::Shown().empty());
  EXPECT_EQ(gui::ModalSeam::Shown().back().text, ProgramFolder + "C-Etat-DB-COPIE.txt") << "the name offered";
  EXPECT_EQ(ReadAll(path), edited);
  Create(list, "DB-RETOUR", path);
  EXPECT_EQ(Stored("DB-RETOUR"), edited);
}

// The layout files of the reference set (their form: the template exactly, in UTF-8) import as their text; until
// the reference layouts are in the sources, a layout of this test's own in the same form.
TEST_F(ReportsTest, LayoutFilesImport) {
  TWUtiBroEtats* list = OpenList('Y');
  ASSERT_NE(list, nullptr);
  std::vector<fs::path> layouts;
  for (const char* folder : {"/src/resources/reports", "/tests/utilities/data"}) {
    const fs::path dir = fs::path(MERLON_SOURCE_DIR) / (folder + 1);
    if (!fs::is_directory(dir)) continue;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().filename().string().rfind("C-Etat-", 0) == 0) layouts.push_back(e.path());
  }
  ASSERT_FALSE(layouts.empty());
  int n = 0;
  for (const fs::path& p : layouts) {
    std::string expected;
    ASSERT_TRUE(platform::Utf8ToCp1252(ReadAll(p.string()), expected, platform::Unassigned::kRefuse)) << p;
    const std::string code = "IMP-" + std::to_string(++n);
    Create(list, code, p.string());
    EXPECT_EQ(Stored(code), expected) << p;
  }
}

TEST_F(ReportsTest, AListAtStartUpStoresItsReportsOnceThenTheDossierOfTheCommandLineOpens) {
  MakeSet('S', {{"EC-1STD", "Relev\xE9 de compte", "[releve]"}, {"DB-1LISTE", "Liste de r\xE9" "f\xE9rence", "[ref]"}});
  SetProgramOption(7, '1');
  MakeSet('1', {});
  // A code the reference set lacks: said, nothing stored, the list kept.
  std::ofstream(ProgramFolder + "CESETATS.LST") << "EC-1STD\r\nXX-ABSENT\r\n";
  EXPECT_EQ(FirstStartupCommand(2), 20708u);
  Menu(20708);
  EXPECT_NE(test_support::ShownTexts().find("XX-ABSENT"), std::string::npos) << test_support::ShownTexts();
  EXPECT_EQ(Stored("EC-1STD"), "<absent>");
  EXPECT_EQ(FirstStartupCommand(2), 20708u);
  CloseWindows();

  gui::ModalSeam::Reset();
  std::ofstream(ProgramFolder + "CESETATS.LST") << "EC-1STD\r\ndb-1liste\r\n";
  Menu(20708);
  EXPECT_NE(WindowAt<TWUtiBroEtats>(kReportListSlotZ), nullptr);
  for (char set : {'0', '1'}) {
    EXPECT_EQ(Stored("EC-1STD", 11, set), "[releve]") << set;
    EXPECT_EQ(Stored("DB-1LISTE", 11, set), "[ref]") << set << ": replaced by code";
  }
  EXPECT_FALSE(platform::FileExists(platform::ResolveName(ProgramFolder, "CESETATS.LST")));
  EXPECT_TRUE(platform::FileExists(ProgramFolder + "cesetats.old"));
  EXPECT_EQ(FirstStartupCommand(2), 20202u) << "the next start opens the dossier of the command line";
}

// The editor's list of a report's variables: the block of its family, "EDD-" reading the heading "\ED-".
TEST_F(ReportsTest, TheEditorShowsTheHelpOfTheReportsFamily) {
  const std::map<int, std::string> lines{{6300, "6310"},
                                         {6301, "\\ED-"},
                                         {6302, "[@MOIS]\tMois demand\xE9"},
                                         {6303, ""},
                                         {6304, "\\EDE-"},
                                         {6305, "[TOT_44562]"},
                                         {6306, ""}};
  const masterdata::StringLookup lookup = [&lines](int id) -> const std::string* {
    const auto it = lines.find(id);
    if (it != lines.end()) return &it->second;
    return masterdata::StringTableText(id);
  };
  masterdata::RecordTextType type;
  ASSERT_TRUE(masterdata::RecordTextTypeOf(masterdata::MakeRecordReference('Y', ' ', "EDD-TVA"), type));
  const struct {
    const char* code;
    const char* first;
  } cases[] = {{"EDD-TVA", "[@MOIS]\tMois demand\xE9"}, {"EDE-X", "[TOT_44562]"}, {"DB-1LISTE", nullptr}};
  for (const auto& c : cases) {
    const masterdata::KeywordList list = masterdata::KeywordListFor(type, c.code, ' ', lookup);
    ASSERT_FALSE(list.lines.empty());
    if (c.first == nullptr) {
      EXPECT_NE(list.lines[0].rfind("// Variables et Mots-Cl\xE9s communs", 0), std::string::npos) << c.code;
      continue;
    }
    ASSERT_GE(list.lines.size(), 2u);
    EXPECT_EQ(list.lines[0], "// Variables et Mots-Cl\xE9s sp\xE9" "cifiques \xE0 cet Etat") << c.code;
    EXPECT_EQ(list.lines[1], c.first) << c.code;
  }
}

// The utilities' lists (report definitions, dossier constants, the raw tables) copy nothing between dossiers: the
// Edition menu greys "Ajouter à partir d'un autre dossier" and "Ajouter vers un autre dossier" with a row selected,
// and the commands posted to the list as another window would post them open nothing.
TEST_F(ReportsTest, TheUtilitiesListsOfferNoCopyBetweenDossiers) {
  const unsigned copies[] = {command_id::AjouterDepuisDossier, command_id::AjouterVersDossier};
  // The raw tables open with today's support password.
  SetTextPromptHook([](const char*, const char*, std::string& answer) {
    const Ymd today = Today();
    answer = SupportCodeForDate(today.year, today.month, today.day);
    return true;
  });
  for (unsigned command : {command_id::EtatsParametrablesImpression, command_id::ConstantesDossier,
                           command_id::AccesFichierC10, command_id::AccesFichierC50}) {
    SCOPED_TRACE(command);
    gui::ModalSeam::Reset();
    Menu(command);
    auto* list = dynamic_cast<CMDIBrowse*>(CommandWindow->GetActiveMDIChild());
    ASSERT_NE(list, nullptr) << test_support::ShownTexts();
    ASSERT_NE(list->GetSelectedRowIndex(), 0) << list->GetCaption();
    for (unsigned id : copies) EXPECT_FALSE(Enabled(id)) << id << " in " << list->GetCaption();
    const std::string page = list->PageAsText();
    for (unsigned id : copies) gui::PostCommand(list->GetHandle(), id);
    gui::ProcessPendingMessages();
    EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << list->GetCaption() << "\n" << test_support::ShownTexts();
    EXPECT_EQ(list->PageAsText(), page);
    CloseWindows();
  }
}

}  // namespace
}  // namespace settings_test
