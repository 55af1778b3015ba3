// The new-code dialog "Créer un nouveau code" for every kind it serves: its refusals in its message lines, the
// lookup the help character opens, the page keys in both fields, "Parmi", and the lookup settings kept in the
// dossier INI; a VAT code of two characters is refused while a stored one still opens.
#include <fstream>

#include "data/dossier_files.h"
#include "data/table_create.h"
#include "framework/lookup_dialog.h"
#include "masterdata_fixture.h"
#include "runtime/inifiles.h"
#include "shell/mdi_client.h"
#include "support/gui_test.h"

namespace md_test {
namespace {

// What one run of the dialog showed after OK.
struct Outcome {
  int result = 0;
  std::string line1, line2;
  int focus = 0;  // 1203 or 1205
  std::string code, from;
};

class NewCodeDialogTest : public MasterDataTest {
 protected:
  void SetUp() override {
    MasterDataTest::SetUp();
    // The tables the dialog reads for the kinds "2", "3" and "Y" (their lists open them).
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), masterdata::kC10Tag));
    ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
    ASSERT_TRUE(TableC30->OpenShared(PathC30(), "C30CODE"));
    const std::string reports = root_ + "/program/ceaetats";
    ASSERT_EQ(CreateTableOfKind(TableKind::ReportDefs, reports), 0);
    ASSERT_TRUE(TableCE0->OpenShared(reports, "CE0CODE"));
    ASSERT_TRUE(TableCE0->AppendBlank());
    TableCE0->PutField(1, "DB-1LISTE");
    TableCE0->PutField(2, "Liste des banques");
    ASSERT_TRUE(TableCE0->InsertRecord());
    std::ofstream(root_ + "/program/cesetats.txt") << "[Etat]\n";
  }

  // Runs the dialog for a kind: `act` works in it (typed texts, keys), then OK is pressed.
  Outcome Run(const std::string& kind, int width, const std::string& code, const std::string& from,
              const std::function<void(TDDonNouv&)>& act = {}) {
    Outcome o;
    std::string codeBuffer(static_cast<std::size_t>(width), ' '), fromBuffer(static_cast<std::size_t>(width), ' ');
    TDDonNouv dialog(CommandWindow, &codeBuffer, kind,
                     kind == "Y" || kind == "Z" ? TDDonNouv::kReportsDialog : TDDonNouv::kCodesDialog, &fromBuffer);
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
      auto& d = dynamic_cast<TDDonNouv&>(w);
      d.Show(gui::SW_SHOWNORMAL);
      d.CodeEdit()->SetText(code);
      d.FromEdit()->SetText(from);
      if (act) act(d);
      d.EvCommand(gui::IDOK);
      gui::ProcessPendingMessages();
      o.line1 = d.Line1();
      o.line2 = d.Line2();
      o.focus = d.FromEdit()->HasFocus() ? TDDonNouv::kFrom : d.CodeEdit()->HasFocus() ? TDDonNouv::kCode : 0;
    });
    o.result = dialog.Execute(kTaskModal);
    o.code = codeBuffer;
    o.from = fromBuffer;
    return o;
  }
  static void Key(MEdit* edit, int key, test_support::KeyModifiers mods = test_support::kNoModifier) {
    test_support::SendKey(edit->Widget(), test_support::kKeyPress, key, mods);
    test_support::SendKey(edit->Widget(), test_support::kKeyRelease, key, mods);
    gui::ProcessPendingMessages();
  }
};

TEST_F(NewCodeDialogTest, EveryKindsRulesAreShownInTheDialog) {
  MasterDataTest::Put('Q', "ZOLD", "Ancienne banque", "", "", true);
  const std::string exists = "Code d\xE9j\xE0 existant";
  const std::string noBlank = "Svp, pas d'espace parmi le code";
  const std::string unknownFrom = "Code \xE0 dupliquer inconnu";
  struct Case {
    const char* kind;
    int width;
    const char* code;
    const char* from;
    bool accepted;
    std::string line1, line2;
    int focus;
    const char* storedCode;  // the caller's code buffer after OK
  } cases[] = {
      {"J", 3, "", "", false, "Entrez un Code", "", 1203, ""},
      {"J", 3, "-X", "", false, "Le code doit commencer par:\nun chiffre de '0' \xE0 '9' ou une lettre de 'A' \xE0 'Z'", "", 1203, ""},
      {"J", 3, "A B", "", false, "", noBlank, 1203, ""},
      {"J", 3, "AC", "", false, exists, "AC - Journal des Achats", 1203, ""},
      {"J", 3, "ZN", "QQQ", false, unknownFrom, "QQQ", 1205, ""},
      {"J", 3, "ZN", "AC", true, "", "", 0, "ZN "},
      {"Q", 4, "ZOLD", "", false, exists, "ZOLD - Ancienne banque", 1203, ""},
      {"E", 4, "ZE9", "", false, "", noBlank, 1203, ""},
      {"E", 4, "ZE99", "", true, "", "", 0, "ZE99"},
      {"B", 1, "1", "", false, "Le code 'Collectif' doit commencer par:\nune lettre de 'A' \xE0 'Z'", "", 1203, ""},
      {"B", 1, "C", "", false, exists, "C - Clients", 1203, ""},
      {"T", 8, "A", "", false, "Le code 'TVA' doit commencer par:\nun chiffre de '0' \xE0 '9'", "", 1203, ""},
      {"T", 8, "10", "", false, "Le code 'TVA' n'a qu'un caract\xE8re:\nune ligne d'\xE9" "criture ne garde que le premier", "", 1203, ""},
      {"T", 8, "7", "", true, "", "", 0, "7       "},
      {"2", 8, "401", "", false, exists, "40100000 - ", 1203, ""},
      {"2", 8, "ZZCLI", "", false, "\nATTENTION, auparavant...", "le compte collectif 'Z' doit exister", 1203, ""},
      {"2", 8, "4999", "", true, "", "", 0, "49990000"},
      {"3", 8, "ANA1", "", true, "", "", 0, "ANA1    "},
      {"Y", 10, "DB-1LISTE", "", false, exists, "DB-1LISTE - Liste des banques", 1203, ""},
      {"Y", 10, "DB-NOUV", "/nulle/part.txt", false, unknownFrom, "/nulle/part.txt", 1205, ""},
      {"Y", 10, "DB-NOUV", "CESETATS", true, "", "", 0, "DB-NOUV   "},
      {"X", 1, "A", "", false, "Type de code inconnu: 'X'", "", 1203, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.kind) + " " + c.code + " " + c.from);
    const int beeps0 = beeps;
    const Outcome o = Run(c.kind, c.width, c.code, c.from);
    EXPECT_EQ(o.result, c.accepted ? gui::IDOK : gui::IDCANCEL);
    if (std::string(c.kind) == "2" && !c.accepted && c.line1 == exists) {
      EXPECT_EQ(o.line1, exists);
      EXPECT_EQ(o.line2.substr(0, 11), c.line2);
    } else {
      EXPECT_EQ(o.line1, c.line1);
      EXPECT_EQ(o.line2, c.line2);
    }
    if (!c.accepted) {
      EXPECT_EQ(o.focus, c.focus);
      EXPECT_EQ(beeps, beeps0 + 1);
    } else {
      EXPECT_EQ(o.code, c.storedCode);
    }
  }
  EXPECT_TRUE(gui::ModalSeam::LastShown() != nullptr);
  for (const auto& shown : gui::ModalSeam::Shown()) EXPECT_NE(shown.kind, gui::ModalKind::MessageBox) << shown.text;
}

TEST_F(NewCodeDialogTest, TheHelpCharacterAndTheQuestionMarksOpenTheLookup) {
  gui::ModalSeam::Reset();
  const Outcome o = Run("J", 3, "B*", "");
  EXPECT_EQ(o.result, gui::IDCANCEL) << "the dialog stays";
  EXPECT_EQ(o.line1, "");
  bool lookup = false;
  for (const auto& shown : gui::ModalSeam::Shown()) lookup = lookup || shown.resourceId == 1309;
  EXPECT_TRUE(lookup) << "the lookup list opened";

  // The lookup answers a code: it comes into the field.
  gui::ModalSeam::Reset();
  std::string chosen;
  Run("J", 3, "", "", [&](TDDonNouv& d) {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
      auto& lookup = dynamic_cast<TDAideFichier&>(w);
      lookup.List()->SetSelIndex(lookup.List()->FindString("OD"));
    });
    gui::SendCommand(d.GetHandle(), TDDonNouv::kAide1);
    chosen = d.CodeEdit()->GetText();
    d.CodeEdit()->SetText("");
  });
  EXPECT_EQ(chosen, "OD");

  // A report copied from a file: "?2" on a path chooses the file.
  const std::string file = root_ + "/program/etat.txt";
  std::ofstream(file) << "[Etat]\n";
  std::string from, line2;
  Run("Y", 10, "", "", [&](TDDonNouv& d) {
    d.FromEdit()->SetText("/");
    gui::ModalSeam::QueueFileAnswer(file);
    gui::SendCommand(d.GetHandle(), TDDonNouv::kAide2);
    from = d.FromEdit()->GetText();
    line2 = d.Line2();
  });
  EXPECT_EQ(from, file);
  EXPECT_EQ(line2, "A partir du fichier:\n" + file);
}

TEST_F(NewCodeDialogTest, PageKeysBrowseTheLiveCodesInBothFields) {
  MasterDataTest::Put('J', "AB", "Journal annul\xE9", "", "", true);
  std::vector<std::string> seen;
  Run("J", 3, "", "", [&](TDDonNouv& d) {
    MEdit* code = d.CodeEdit();
    auto note = [&] { seen.push_back(code->GetText() + "|" + d.Line2()); };
    Key(code, gui::VK_NEXT);  // an empty field: the first live code (the cancelled AB stepped over)
    note();
    Key(code, gui::VK_PRIOR);  // before the first: nothing
    note();
    Key(code, gui::VK_NEXT);
    note();
    Key(d.FromEdit(), gui::VK_NEXT, test_support::kControlModifier);  // the last code, in the other field
    seen.push_back(d.FromEdit()->GetText());
    code->SetText("");
    d.FromEdit()->SetText("");
  });
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], "AC|Journal des Achats");
  EXPECT_EQ(seen[1], "AC|???");
  EXPECT_EQ(seen[2], "BQ|Banque BNP Paribas");
  EXPECT_FALSE(seen[3].empty());
}

TEST_F(NewCodeDialogTest, TheAccountLookupSettingsAreKeptInTheDossierIni) {
  Run("2", 8, "", "", [](TDDonNouv& d) {
    EXPECT_TRUE(d.SortBoxesActive());
    MCheckBox* byName = d.ByNameBox();
    MCheckBox* among = d.AmongBox();
    byName->SetValue(true, false);
    among->SetValue(true, false);
    gui::SendCommand(d.GetHandle(), TDDonNouv::kAmong);
    EXPECT_EQ(d.LookupMode(), "n");
    // "Parmi" with an empty code: "?1" only beeps.
    gui::ModalSeam::Reset();
    gui::SendCommand(d.GetHandle(), TDDonNouv::kAide1);
    EXPECT_TRUE(gui::ModalSeam::Shown().empty());
    among->SetValue(false, false);
    gui::SendCommand(d.GetHandle(), TDDonNouv::kAmong);
    d.CodeEdit()->SetText("");
  });
  const std::string ini = DossierIniPath();
  ASSERT_FALSE(ini.empty());
  EXPECT_EQ(test_support::RunPythonScript("import configparser\n"
                                          "c = configparser.ConfigParser()\n"
                                          "c.optionxform = str\n"
                                          "c.read('" + ini + "', encoding='cp1252')\n"
                                          "print(c['Aide']['TriParNom2'], c['Aide']['Parmi2'])\n",
                                          true),
            "O N\n");
  // Read back at the next run; the C10 kinds have no boxes and write nothing.
  Run("2", 8, "", "", [](TDDonNouv& d) {
    EXPECT_EQ(d.LookupMode(), "N");
    d.CodeEdit()->SetText("");
  });
  Run("J", 3, "", "", [](TDDonNouv& d) {
    EXPECT_FALSE(d.SortBoxesActive());
    EXPECT_EQ(d.LookupMode(), "");
    d.CodeEdit()->SetText("");
  });
  EXPECT_EQ(DossierIniGet("Aide", "TriParNomJ", "-"), "-");
}

TEST_F(NewCodeDialogTest, AStoredVatCodeOfTwoCharactersStillOpensInItsListAndForm) {
  MasterDataTest::Put('T', "10", "Ancien code", "20.0044571000");
  CodeRecordForm* form = Edit('T', "10");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->GetCaption(), "Code Tva: 10");
  EXPECT_EQ(form->EditOf(1202)->GetText(), "20.00");
}

}  // namespace
}  // namespace md_test
