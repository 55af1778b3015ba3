// The ASCII import driven as a user drives it: "Ajout ASCII au Brouillard" opens on the dossier's
// import file, shows it as read and imports it on "Accepter"; a faulty file shows its errors with
// their line numbers and writes nothing; the working-date command's automatic import runs once and
// refuses the same content the next time.
#include <QWidget>

#include <cstdlib>
#include <fstream>
#include <string>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/dossier_record_commands.h"
#include "platform/gui/command.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/files.h"
#include "processing/ascii_window.h"
#include "processing/bank_commands.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/dossier_fixture.h"
#include "support/line_files.h"
#include "support/window_amounts.h"
#include "runtime/numbers.h"
#include "runtime/text.h"

namespace {

// The rights' line of "Ajout ASCII au Brouillard": its function number first.
constexpr int kRightsAsciiImport = 9032;

const char* const kThreePieces =
    "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n"
    "OD;14/03/2026;F1;51200000;1;Vente comptoir;120,00;\r\n"
    "OD;14/03/2026;F1;70600000;1;Vente comptoir;;100,00\r\n"
    "OD;14/03/2026;F1;70700000;1;Vente comptoir;;20,00\r\n"
    "BQ;02/04/2026;R1;62700000;0;Frais;12,5;\r\n"
    "BQ;02/04/2026;R1;51200000;0;Frais;;12,5\r\n"
    "OD;30/06/2026;X;60700000;0;Achat;1 000;\r\n"
    "OD;30/06/2026;X;51200000;0;Achat;;1 000\r\n";

class AsciiWindowTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallBankCommands();
    InstallDossierRecordCommands();
    gui::ModalSeam::Reset();
    folder_ = MakeDossier("a", "SA", 40);
    OpenThroughDialog(C10Path(folder_, "SA"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "SA") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
  }
  void TearDown() override {
    CloseWindows();
    for (unsigned id : {command_id::AjoutAsciiBrouillard, command_id::FichierNouveauDossier,
                        command_id::FichierDateTravail, command_id::FichierAProposDossier})
      SetCommandWork(id, {});
    DossierFixture::TearDown();
  }
  std::string WriteImport(const std::string& name, const std::string& content) {
    const std::string path = root_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    EXPECT_TRUE(DossierIniSet("ImportAuto", "FichierImport", path.c_str()));
    return path;
  }
  static TWUtiModAjoutAscii* Form() {
    return dynamic_cast<TWUtiModAjoutAscii*>(gui::Window::FromHandle(SlotHandle(kAsciiImportFormSlot)));
  }
  long DraftRecords() {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(folder_ + "c50sa", "", true));
    return static_cast<long>(c50.RecCount());
  }
  std::string Log() { return ReadAll(folder_ + "clgsa.txt"); }
  // "Date de travail" answered with OK.
  void WorkingDate() {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK);
    Menu(20204);
  }


  std::string folder_;
};

TEST_F(AsciiWindowTest, TheFormShowsTheFileAndImportsItOnAccepter) {
  const std::string path = WriteImport("ventes.txt", kThreePieces);
  const long before = DraftRecords();
  Menu(command_id::AjoutAsciiBrouillard);
  TWUtiModAjoutAscii* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(form->FileEdit()->GetValue(), path);
  EXPECT_EQ(form->InfoText(0), "S\xE9parateur : \";\"     Codage : Windows-1252");
  EXPECT_EQ(form->InfoText(1), "7 lignes d'\xE9" "critures en 3 pi\xE8" "ces");
  EXPECT_EQ(form->InfoText(2), "P\xE9riode du 14/03/2026 au 30/06/2026");
  EXPECT_EQ(form->ErrorList()->GetCount(), 0);
  test_support::Screenshot(form->Widget(), "processing", "ascii_form");
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  gui::SendCommand(form->GetHandle(), ascii_cmd::Accepter);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(ShownContains("7 lignes import\xE9" "es en 3 pi\xE8" "ces")) << test_support::ShownTexts();
  test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "ascii_end_message");
  EXPECT_EQ(Form(), nullptr) << "the form closes after the import";
  EXPECT_EQ(DraftRecords(), before + 7);
  EXPECT_FALSE(platform::FileExists(path));
  EXPECT_NE(Log().find("AJOUT ASCII AU BROUILLARD - Ok - " + path), std::string::npos) << Log();
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

TEST_F(AsciiWindowTest, CtrlEImportsAsAccepterDoesAndNeverClosesTheFormWithoutAWord) {
  const std::string path = WriteImport("ventes.txt", kThreePieces);
  const long before = DraftRecords();
  Menu(command_id::AjoutAsciiBrouillard);
  TWUtiModAjoutAscii* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  form->FileEdit()->SetFocus();
  // Asked to confirm, the user first says no: nothing is written and the form stays.
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  test_support::SendKey(form->FileEdit()->Widget(), test_support::kKeyPress, 'E', test_support::kControlModifier);
  gui::ProcessPendingMessages();
  EXPECT_EQ(Form(), form) << test_support::ShownTexts();
  EXPECT_EQ(DraftRecords(), before);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  test_support::SendKey(form->FileEdit()->Widget(), test_support::kKeyPress, 'E', test_support::kControlModifier);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(ShownContains("7 lignes import\xE9" "es en 3 pi\xE8" "ces")) << test_support::ShownTexts();
  EXPECT_EQ(Form(), nullptr);
  EXPECT_EQ(DraftRecords(), before + 7);
  EXPECT_FALSE(platform::FileExists(path));
}

// Ctrl+E (or "Accepter") with no file named asks for the file, and imports the one chosen; a file that cannot be
// read says why. Neither names an error file "_erreurs.txt" that nobody wrote.
TEST_F(AsciiWindowTest, CtrlEWithoutAFileAsksForItAndAnUnreadableFileSaysWhy) {
  const std::string path = root_ + "/choisi.txt";
  std::ofstream(path, std::ios::binary) << kThreePieces;
  const long before = DraftRecords();
  Menu(command_id::AjoutAsciiBrouillard);
  TWUtiModAjoutAscii* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  ASSERT_EQ(form->FileEdit()->GetValue(), "");
  auto ctrlE = [&] {
    form->FileEdit()->SetFocus();
    test_support::SendKey(form->FileEdit()->Widget(), test_support::kKeyPress, 'E', test_support::kControlModifier);
    gui::ProcessPendingMessages();
  };
  auto kinds = [] {
    std::string k;
    for (const gui::ShownModal& m : gui::ModalSeam::Shown())
      k += m.kind == gui::ModalKind::FileOpen ? "file|" : m.kind == gui::ModalKind::MessageBox ? "box|" : "other|";
    return k;
  };
  // Asked for the file, the user gives up: nothing else.
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueFileAnswer("");
  ctrlE();
  EXPECT_EQ(kinds(), "file|") << test_support::ShownTexts();
  // The file chosen is read and its import confirmed (here refused): nothing written.
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueFileAnswer(path);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  ctrlE();
  EXPECT_EQ(kinds(), "file|box|") << test_support::ShownTexts();
  EXPECT_TRUE(ShownContains("Confirmez l'ajout au brouillard de 7 lignes en 3 pi\xE8" "ces")) << test_support::ShownTexts();
  EXPECT_EQ(form->FileEdit()->GetValue(), path);
  EXPECT_EQ(DraftRecords(), before);
  // A file named that is not there.
  const std::string missing = root_ + "/absent.txt";
  form->FileEdit()->SetValue(missing, false);
  gui::ModalSeam::Reset();
  ctrlE();
  EXPECT_EQ(kinds(), "box|") << test_support::ShownTexts();
  EXPECT_TRUE(ShownContains("Fichier illisible : " + missing)) << test_support::ShownTexts();
  EXPECT_FALSE(ShownContains("_erreurs.txt")) << test_support::ShownTexts();
  EXPECT_FALSE(platform::FileExists(root_ + "/absent_erreurs.txt"));
  test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "ascii_unreadable_file");
  EXPECT_EQ(DraftRecords(), before);
}

TEST_F(AsciiWindowTest, AFaultyFileShowsItsErrorsAndWritesNothing) {
  std::string content = kThreePieces;
  content += "OD;01/05/2026;Z;60700000;0;x;10;\r\nOD;01/05/2026;Z;60799999;0;x;;9\r\nOD;01/01/2027;Y;512;0;x;1;\r\n"
             "OD;02/05/2026;W;60799998;0;x;1,234;\r\n";
  const std::string path = WriteImport("faux.txt", content);
  const long before = DraftRecords();
  Menu(command_id::AjoutAsciiBrouillard);
  TWUtiModAjoutAscii* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  ASSERT_EQ(form->ErrorList()->GetCount(), 6) << "every fault at once";
  // A line refused by its own form has its account checked too.
  EXPECT_EQ(form->ErrorList()->GetString(5), "Ligne 12 : Le Compte est inconnu : 60799998");
  EXPECT_EQ(form->ErrorList()->GetString(0).rfind("Ligne 9 : ", 0), 0u) << form->ErrorList()->GetString(0);
  EXPECT_EQ(form->ErrorList()->GetString(1).rfind("Ligne 10 : ", 0), 0u) << form->ErrorList()->GetString(1);
  EXPECT_TRUE(platform::FileExists(root_ + "/faux_erreurs.txt"));
  // The rows stay one line high; the error list takes what the window leaves below them.
  EXPECT_LE(form->RowHeight, form->MinRowHeight + 8);
  EXPECT_GE(form->ErrorList()->GetWindowRect().Bottom(), form->ClientRect.h - 10) << "the list ends at the bottom";
  test_support::Screenshot(form->Widget(), "processing", "ascii_form_errors");
  gui::SendCommand(form->GetHandle(), ascii_cmd::Accepter);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(ShownContains("rien n'a \xE9t\xE9 import\xE9")) << test_support::ShownTexts();
  EXPECT_EQ(DraftRecords(), before);
  EXPECT_TRUE(platform::FileExists(path));
  EXPECT_NE(Log().find("AJOUT ASCII AU BROUILLARD - Erreur: "), std::string::npos) << Log();
}

// A file whose column line holds no separator says there is none, never shows a blank glyph for it, and
// names its fault.
TEST_F(AsciiWindowTest, AFileWithoutSeparatorSaysItHasNone) {
  WriteImport("colonne.txt", "Journal Date Piece Compte\r\nOD 14/03/2026 F1 51200000\r\n");
  Menu(command_id::AjoutAsciiBrouillard);
  TWUtiModAjoutAscii* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(form->InfoText(0), "S\xE9parateur : aucun     Codage : Windows-1252");
  EXPECT_EQ(form->InfoText(0).find('\0'), std::string::npos);
  ASSERT_EQ(form->ErrorList()->GetCount(), 1);
  EXPECT_NE(form->ErrorList()->GetString(0).find("ni par une tabulation"), std::string::npos)
      << form->ErrorList()->GetString(0);
  test_support::Screenshot(form->Widget(), "processing", "ascii_form_no_separator");
}

TEST_F(AsciiWindowTest, TheWorkingDateImportsTheFileOnceAndNotTheNextTime) {
  const std::string path = WriteImport("auto.txt", kThreePieces);
  const long before = DraftRecords();
  WorkingDate();
  EXPECT_TRUE(ShownContains("7 lignes import\xE9" "es en 3 pi\xE8" "ces")) << test_support::ShownTexts();
  EXPECT_EQ(Form(), nullptr) << "a file without error is imported without the form";
  EXPECT_EQ(DraftRecords(), before + 7);
  EXPECT_FALSE(platform::FileExists(path)) << "renamed";
  // Nothing to import: the next working date posts nothing.
  gui::ModalSeam::Reset();
  WorkingDate();
  EXPECT_EQ(Form(), nullptr);
  EXPECT_EQ(DraftRecords(), before + 7);
  // The same content put back under the configured name: refused, the form shows why.
  std::ofstream(path, std::ios::binary) << kThreePieces;
  gui::ModalSeam::Reset();
  WorkingDate();
  EXPECT_EQ(DraftRecords(), before + 7);
  ASSERT_NE(Form(), nullptr) << test_support::ShownTexts();
  ASSERT_GE(Form()->ErrorList()->GetCount(), 1);
  EXPECT_NE(Form()->ErrorList()->GetString(0).find("d\xE9j\xE0 \xE9t\xE9 import\xE9"), std::string::npos);
  test_support::Screenshot(Form()->Widget(), "processing", "ascii_form_already_imported");
}

// The automatic import holds for the command the working date posted only: refused by the command's
// own checks (the dossier constant 056, the user's rights on function 32), it imports nothing and the
// user's next "Ajout ASCII au Brouillard" opens the form and asks; once allowed, it imports at once.
TEST_F(AsciiWindowTest, ARefusedAutomaticImportLeavesNothingForTheNextCommand) {
  const std::string constant = TheDossierRecord.Constant(56);
  const std::string rights = TheDossierRecord.Rights();
  const char level = TheDossierRecord.UserLevel();
  const int function32 = std::atoi(std::string(LoadStr(kRightsAsciiImport)).substr(0, 3).c_str());
  ASSERT_GT(function32, 0);
  const std::string refusals[] = {"constant 056", "function 32"};
  for (const std::string& refusal : refusals) {
    SCOPED_TRACE(refusal);
    const std::string path = WriteImport("refus.txt", kThreePieces);
    const long before = DraftRecords();
    if (refusal == "constant 056") {
      TheDossierRecord.SetConstant(56, "O  ");
    } else {
      std::string denied = rights;
      denied[function32 - 1] = '0' + 0x0E;  // menu access cleared
      TheDossierRecord.SetRights(denied);
      TheDossierRecord.SetUserLevel('B');
    }
    gui::ModalSeam::Reset();
    WorkingDate();
    EXPECT_EQ(DraftRecords(), before) << "refused: nothing imported";
    EXPECT_EQ(Form(), nullptr) << test_support::ShownTexts();
    EXPECT_TRUE(platform::FileExists(path));
    // The refusal lifted, the user's own command opens the form and waits for "Accepter".
    TheDossierRecord.SetConstant(56, constant);
    TheDossierRecord.SetRights(rights);
    TheDossierRecord.SetUserLevel(level);
    gui::ModalSeam::Reset();
    Menu(command_id::AjoutAsciiBrouillard);
    ASSERT_NE(Form(), nullptr) << test_support::ShownTexts();
    EXPECT_EQ(Form()->InfoText(1), "7 lignes d'\xE9" "critures en 3 pi\xE8" "ces");
    EXPECT_FALSE(ShownContains("import\xE9" "es en")) << test_support::ShownTexts();
    EXPECT_EQ(DraftRecords(), before);
    EXPECT_TRUE(platform::FileExists(path));
    CloseWindows();
  }
  // Allowed again: the working date imports the file at once, and the menu command after it asks.
  const long before = DraftRecords();
  gui::ModalSeam::Reset();
  WorkingDate();
  EXPECT_TRUE(ShownContains("7 lignes import\xE9" "es en 3 pi\xE8" "ces")) << test_support::ShownTexts();
  EXPECT_EQ(DraftRecords(), before + 7);
  EXPECT_EQ(Form(), nullptr);
  WriteImport("suite.txt", "Journal;Date;Piece;Compte;Debit;Credit\r\nOD;15/03/2026;G;60700000;5;\r\n"
                           "OD;15/03/2026;G;51200000;;5\r\n");
  gui::ModalSeam::Reset();
  Menu(command_id::AjoutAsciiBrouillard);
  ASSERT_NE(Form(), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(DraftRecords(), before + 7);
}

// A file whose lines 2 and 3 carry an amount no draft line holds: both are named at once, each with its line, and
// the form counts two errors.
TEST_F(AsciiWindowTest, EveryAmountADraftLineCannotHoldIsNamedAtOnce) {
  const std::string euroOnly = TheDossierRecord.Constant(39);
  TheDossierRecord.SetConstant(39, "NON");
  WriteImport("grands.txt", "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n"
                            "OD;14/03/2026;G1;51200000;1;Grand;16000000000,00;\r\n"
                            "OD;14/03/2026;G1;70600000;1;Grand;;16000000000,00\r\n"
                            "OD;15/03/2026;G2;51200000;1;Petit;10,00;\r\n"
                            "OD;15/03/2026;G2;70600000;1;Petit;;10,00\r\n");
  Menu(command_id::AjoutAsciiBrouillard);
  TWUtiModAjoutAscii* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  const std::string refusal = "Montant trop grand pour une ligne du brouillard : 16 000 000 000,00 (une ligne prend au "
                              "plus 15 244 901 723,74 euros, pour que sa contre-valeur en francs tienne aussi). Rien "
                              "n'a \xE9t\xE9 import\xE9.";
  ASSERT_EQ(form->ErrorList()->GetCount(), 2) << form->ErrorList()->GetString(0);
  EXPECT_EQ(form->ErrorList()->GetString(0), "Ligne 2 : " + refusal);
  EXPECT_EQ(form->ErrorList()->GetString(1), "Ligne 3 : " + refusal);
  EXPECT_EQ(form->InfoText(4).rfind("2 erreur(s)", 0), 0u) << form->InfoText(4);
  test_support::Screenshot(form->Widget(), "processing", "ascii_form_every_amount_refused");
  const std::string errors = ReadAll(root_ + "/grands_erreurs.txt");
  EXPECT_NE(errors.find("Ligne 2 : Montant trop grand"), std::string::npos) << errors;
  EXPECT_NE(errors.find("Ligne 3 : Montant trop grand"), std::string::npos) << errors;
  CloseWindows();
  TheDossierRecord.SetConstant(39, euroOnly);
}

// In a dossier kept in francs, a file in euros that an account's total in francs cannot hold is refused in a
// sentence naming the currency of each figure: the euros the account still takes, the francs its total holds.
TEST_F(AsciiWindowTest, AFrancsTotalsRefusalNamesTheCurrencyOfEachFigure) {
  const char saved = TheDossierRecord.At(DossierRecord::kEuroMainPos);
  const std::string euroOnly = TheDossierRecord.Constant(39);
  TheDossierRecord.SetConstant(39, "NON");
  TheDossierRecord.SetAt(DossierRecord::kEuroMainPos, 'N');
  {
    const test_support::RawRecords chart(folder_ + "c20sa.dbf");
    std::uint32_t n = 0;
    for (std::uint32_t k = 1; k <= chart.Count() && n == 0; ++k)
      if (chart.Field(chart.Record(k), "CCODE") == "60700000") n = k;
    ASSERT_NE(n, 0u);
    chart.Put(n, "CDEBITF", "99999000000.00");
  }
  const std::string path = WriteImport("francs.txt", "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n"
                                                     "OD;30/06/2026;X;60700000;0;Achat;200000,00;\r\n"
                                                     "OD;30/06/2026;X;51200000;0;Achat;;200000,00\r\n");
  const long before = DraftRecords();
  Menu(command_id::AjoutAsciiBrouillard);
  TWUtiModAjoutAscii* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  ASSERT_EQ(form->ErrorList()->GetCount(), 0) << form->ErrorList()->GetString(0);
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  gui::SendCommand(form->GetHandle(), ascii_cmd::Accepter);
  gui::ProcessPendingMessages();
  const gui::ShownModal* said = gui::ModalSeam::LastShown();
  ASSERT_NE(said, nullptr);
  EXPECT_EQ(said->text.rfind("Le compte 60700000 ne peut recevoir que ", 0), 0u) << said->text;
  EXPECT_NE(said->text.find(" euros au plus, son total en francs ne pouvant d\xE9passer 99 999 999 999,99 francs"),
            std::string::npos)
      << said->text;
  test_support::ScreenshotMessage(*said, "processing", "ascii_francs_total_refused");
  EXPECT_EQ(DraftRecords(), before);
  EXPECT_TRUE(platform::FileExists(path));
  CloseWindows();
  TheDossierRecord.SetAt(DossierRecord::kEuroMainPos, saved);
  TheDossierRecord.SetConstant(39, euroOnly);
}

}  // namespace

// The totals of a file at 1, 10 million, a billion, 99 999 999 999,99 and a file whose totals pass
// what a total holds: each said whole and grouped, inside its line of the form.
TEST_F(AsciiWindowTest, AmountsSweepTheTotalsAreWholeGroupedAndInsideTheForm) {
  test_support::SweepFaults faults;
  std::vector<long long> totals;
  for (long long cents : test_support::SweepCents())
    if (cents > 0) totals.push_back(cents);
  totals.push_back(2 * totals.back());
  for (std::size_t k = 0; k < totals.size(); ++k) {
    const bool twice = k + 1 == totals.size();
    std::string amount = AmountDigits(FromCents(twice ? totals[k] / 2 : totals[k]));
    amount[amount.size() - 3] = ',';
    std::string file = "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n";
    for (int piece = 0; piece < (twice ? 2 : 1); ++piece) {
      const std::string p = "P" + std::to_string(piece);
      file += "OD;14/03/2026;" + p + ";51200000;1;Balayage;" + amount + ";\r\n";
      file += "OD;14/03/2026;" + p + ";70600000;1;Balayage;;" + amount + "\r\n";
    }
    WriteImport("balayage.txt", file);
    Menu(command_id::AjoutAsciiBrouillard);
    TWUtiModAjoutAscii* form = Form();
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    const std::string where = "ASCII import " + amount + (twice ? " twice" : "");
    const std::string text = form->InfoText(3);
    faults.Add(test_support::AmountFault(where, text, totals[k], test_support::Shown::kBare));
    faults.Add(test_support::GroupedFault(where, text));
    if (gui::Control* c = test_support::ChildControl(form, 1302 + 3)) faults.Add(test_support::CutFault(where, *c));
    else ADD_FAILURE() << "no line of totals";
    if (k + 2 >= totals.size()) test_support::Screenshot(form->Widget(), "processing", "amounts_sweep_ascii" + std::string(twice ? "_twice" : ""));
    CloseWindows();
  }
  faults.Report();
}

// The totals of a file are shown in the currency it is typed in, named: a file of francs in a dossier kept in
// francs shows its francs, not their euros; a file mixing both shows the dossier's main currency. An amount
// whose francs no draft line holds is refused in the error list grouped as the largest amount beside it.
TEST_F(AsciiWindowTest, TheTotalsAreInTheFilesCurrencyAndARefusedAmountIsGroupedLikeItsLimit) {
  const char saved = TheDossierRecord.At(DossierRecord::kEuroMainPos);
  const std::string head = "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit;Devise\r\n";
  auto piece = [](const std::string& p, const std::string& amount, const std::string& currency) {
    return "OD;14/03/2026;" + p + ";51200000;1;Grand;" + amount + ";;" + currency + "\r\n" + "OD;14/03/2026;" + p +
           ";70600000;1;Grand;;" + amount + ";" + currency + "\r\n";
  };
  const struct Case {
    const char* what;
    char euroMain;  // the dossier's position 533
    std::string file;
    const char* totals;  // the line of totals ("" when the file is refused)
    const char* error;   // the first line of the error list ("" none)
    const char* picture; // the screenshot's name (null none)
  } cases[] = {
      {"francs in a dossier kept in francs", 'N', piece("F1", "12345678901,23", "F"),
       "Total D\xE9" "bit : 12 345 678 901.23 francs     Total Cr\xE9" "dit : 12 345 678 901.23 francs", "",
       "ascii_form_totals_in_francs"},
      {"euros in a dossier kept in francs: the file's own currency", 'N', piece("E1", "1234,50", ""),
       "Total D\xE9" "bit : 1 234.50 euros     Total Cr\xE9" "dit : 1 234.50 euros", "", nullptr},
      {"both currencies in a dossier kept in francs: the dossier's", 'N',
       piece("F1", "655,96", "F") + piece("E1", "100,00", "E"),
       "Total D\xE9" "bit : 1 311.92 francs     Total Cr\xE9" "dit : 1 311.92 francs", "", nullptr},
      {"both currencies in a dossier kept in euros: the dossier's", 'O',
       piece("F1", "655,96", "F") + piece("E1", "100,00", "E"),
       "Total D\xE9" "bit : 200.00 euros     Total Cr\xE9" "dit : 200.00 euros", "", nullptr},
      {"an amount whose francs no line holds", 'O', piece("G1", "16000000000,00", ""), "",
       "Ligne 2 : Montant trop grand pour une ligne du brouillard : 16 000 000 000,00 (une ligne prend au plus "
       "15 244 901 723,74 euros, pour que sa contre-valeur en francs tienne aussi). Rien n'a \xE9t\xE9 import\xE9.",
       "ascii_form_amount_past_its_twin"},
  };
  // The generated dossier is kept only in euros: here it keeps its francs too.
  const std::string euroOnly = TheDossierRecord.Constant(39);
  TheDossierRecord.SetConstant(39, "NON");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TheDossierRecord.SetAt(DossierRecord::kEuroMainPos, c.euroMain);
    WriteImport("devises.txt", head + c.file);
    Menu(command_id::AjoutAsciiBrouillard);
    TWUtiModAjoutAscii* form = Form();
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    if (*c.totals != '\0') EXPECT_EQ(form->InfoText(3), c.totals);
    if (*c.error != '\0') {
      ASSERT_GE(form->ErrorList()->GetCount(), 1);
      EXPECT_EQ(form->ErrorList()->GetString(0), c.error);
    } else {
      EXPECT_EQ(form->ErrorList()->GetCount(), 0) << form->ErrorList()->GetString(0);
    }
    if (c.picture != nullptr) test_support::Screenshot(form->Widget(), "processing", c.picture);
    CloseWindows();
  }
  TheDossierRecord.SetAt(DossierRecord::kEuroMainPos, saved);
  TheDossierRecord.SetConstant(39, euroOnly);
}
