// Every command of the menus that changes the books, chosen on a demo dossier (two analytic axes,
// cancelled pieces and lines) as a user chooses it, its windows and boxes answered through the
// modal seam; after each, the books keep every rule (the check and the oracle), and they go
// through what a user does next: "Utilitaires > Sauvegarde du dossier" with the program's default
// settings, "Restauration du dossier" of that backup, and "Validation des Journaux" of a draft
// journal-month; then the restore of the same books in an older format, converted by the opening.
// What each command made is restored whole, in either format, and validates.
#include "line_form_fixture.h"

#include <fstream>
#include <functional>

#include "data/draft_lines.h"
#include "data/session.h"
#include "data/table_structures.h"
#include "entry/core/validation.h"
#include "framework/framework_hooks.h"
#include "entry/validation_dialog.h"
#include "masterdata/code_form.h"
#include "masterdata/code_list.h"
#include "masterdata/core/code_kinds.h"
#include "ofx_fixture/ofx_fixture.h"
#include "processing/ascii_window.h"
#include "processing/core/ofx_import.h"
#include "processing/core/ofx_statement.h"
#include "processing/manual_list.h"
#include "processing/matching_windows.h"
#include "processing/merge_windows.h"
#include "processing/ofx_window.h"
#include "processing/reconciliation_windows.h"
#include "processing/separation_windows.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/inifiles.h"
#include "platform/system/process.h"
#include "shell/seeding.h"
#include "support/line_files.h"

namespace entry_test {
namespace {

using namespace line_form;

// The texts looked for in the boxes, by their ids in the string table.
constexpr int kMsgRestoreRefused = 19950;  // the reason
constexpr int kMsgValidationDone = 16260;  // the journal-months, lines, analytic lines, date, cancelled lines
constexpr int kMsgConversionDone = 36600;  // the conversion done, the originals kept in their folder
constexpr unsigned kDeplacer = 20167, kCopier = 20169;
constexpr unsigned kCollectifs = 20303;

// The first line of a text, up to its first "%s", without the blank lines before it.
std::string Head(int id) {
  std::string text = LoadStr(id);
  text = text.substr(0, text.find("%s"));
  return text.substr(text.find_first_not_of('\n'));
}

class CommandWalkTest : public LineFormTest {
 protected:
  DossierCurrency Currency() const override { return DossierCurrency::EuroOnly; }
  char AnalyticMode() const override { return '2'; }
  long Lines() const override { return 600; }
  void SetUp() override {
    LineFormTest::SetUp();
    SeedProgramFolder(MERLON_BINARY_DIR "/share/merlon", root_ + "/program/");
    processing::SetOfxReaderPath(MERLON_OFX_READER);
    // The framework's prompts, as the program installs them (the support password's among them),
    // the lock notices kept by the fixture.
    InstallFrameworkHooks();
    SetLockNoticeHook([](const char*, const char* text) { Notices().push_back(text); });
  }
  void TearDown() override {
    SetTextPromptHook(nullptr);
    processing::SetOfxReaderPath("");
    LineFormTest::TearDown();
  }
  // A dossier generated beside JE: its folder.
  std::string Other(const std::string& code, long lines, Ymd first, Ymd last) {
    DemoOptions o;
    o.analyticMode = AnalyticMode();
    o.currency = Currency();
    o.folder = root_ + "/" + code;
    o.code = code;
    o.lines = lines;
    o.firstDay = first;
    o.lastDay = last;
    o.seed = 3;
    std::string message;
    EXPECT_TRUE(GenerateDemoDossier(o, &message)) << message;
    return o.folder + "/";
  }
  template <class W>
  static W* At(int slot) {
    return dynamic_cast<W*>(gui::Window::FromHandle(SlotHandle(slot)));
  }

  // The texts of the message boxes shown since the seam was reset.
  static std::string Boxes() {
    std::string texts;
    for (const gui::ShownModal& m : gui::ModalSeam::Shown())
      if (m.kind == gui::ModalKind::MessageBox) texts += m.text + "\n";
    return texts;
  }

  // The dossier backed up from the menu with the program's default method into a folder of its own:
  // the archive.
  std::string BackUp(int n) {
    const std::string target = root_ + "/sauvegardes/" + std::to_string(n) + "/";
    IniSetString("Un-Sauvegarde", target.c_str());
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    Menu(command_id::SauvegardeDossier);
    return target + "ZELJE.lzh";
  }
  // The archive restored from the menu, its end confirmed: the boxes shown.
  std::string Restore(const std::string& archive) {
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueFileAnswer(archive);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    Menu(command_id::RestaurationDossier);
    return Boxes();
  }
  // The draft journal-month with the fewest lines that the validation takes, validated from the
  // menu at the year's last day: its name and the boxes shown ("" when none is left).
  std::pair<std::string, std::string> ValidateAMonth() {
    std::vector<entry::DraftMonth> months;
    {
      Table c10, c50;
      EXPECT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
      EXPECT_TRUE(c50.OpenShared(PathC50(), "", true));
      months = entry::ListDraftMonths(c50, c10);
    }
    const entry::DraftMonth* chosen = nullptr;
    for (const entry::DraftMonth& m : months)
      if (m.lines > 0 && m.BalancedInEuros() && m.BalancedInFrancs() && m.noAccount == 0 && m.outOfYear == 0 &&
          m.unreadable == 0 && (chosen == nullptr || m.lines + m.analytic < chosen->lines + chosen->analytic))
        chosen = &m;
    if (chosen == nullptr) return {};
    const std::string month = chosen->journalMonth;
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [month](gui::Window& d) {
      auto& form = dynamic_cast<TDSaiValidation&>(d);
      for (std::size_t i = 0; i < form.Months().size(); ++i)
        if (form.Months()[i].journalMonth == month) form.Tick(static_cast<int>(i));
      form.DateEdit()->SetValue("31/12/26", false);
    });
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    Menu(command_id::ValidationJournaux);
    return {month, Boxes()};
  }

  // What a command made: it keeps every rule, is backed up, restored whole and validates. Totals
  // that the command left to be made again (`advised`) are named at the restore and the validation,
  // with the ReConstruction, and refuse neither.
  void RoundTrip(const std::string& step, int n, bool advised) {
    SCOPED_TRACE(step);
    CloseAll();
    if (!advised) ExpectInvariants("after " + step);
    const std::string archive = BackUp(n);
    ASSERT_TRUE(fs::exists(archive)) << test_support::ShownTexts();
    const std::string restored = Restore(archive);
    EXPECT_EQ(restored.find(Head(kMsgRestoreRefused)), std::string::npos) << restored;
    EXPECT_NE(restored.find("Dossier 'JE' restaur\xE9"), std::string::npos) << restored;
    EXPECT_EQ(restored.find("demander de suite une ReConstruction") != std::string::npos, advised) << restored;
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "JE") << test_support::ShownTexts();
    const auto [month, validated] = ValidateAMonth();
    ASSERT_FALSE(month.empty()) << "no journal-month left to validate";
    EXPECT_NE(validated.find(Head(kMsgValidationDone)), std::string::npos) << month << "\n" << validated;
    EXPECT_EQ(validated.find("demander de suite une ReConstruction") != std::string::npos, advised) << validated;
    CloseAll();
    if (!advised) ExpectInvariants("after the validation of " + month);
  }

  // The books as they stand, in a backup of an older format that the conversion takes: the general
  // file of a format before this one, the lines' second and third labels under the names they had
  // then. The restore takes it whole, the opening that follows converts it, and the books opened
  // again keep every rule. `advised`: totals left for the ReConstruction, named and not refusing.
  void OlderFormatRoundTrip(const std::string& step, int n, bool advised) {
    SCOPED_TRACE(step + ", in an older format");
    CloseAll();
    const std::string stage = root_ + "/ancien-format/" + std::to_string(n) + "/", target = stage + "archive/";
    fs::create_directories(target);
    std::vector<std::string> members;
    for (const auto& e : fs::directory_iterator(std::string(DossierFolder))) {
      const std::string name = e.path().filename().string();
      if (!e.is_regular_file() || name.find("je.") != 3 || name.rfind("clg", 0) == 0) continue;
      fs::copy_file(e.path(), stage + name);
      members.push_back(name);
    }
    test_support::RawRecords(stage + "c10je.dbf").Rename(std::string(kC10FormatStamp), "GD20050101");
    for (const auto& [table, prefix] : {std::pair{"c50je.dbf", "B"}, std::pair{"c40je.dbf", "D"}}) {
      if (!fs::exists(stage + table)) continue;
      test_support::RawRecords(stage + table).Rename(std::string(prefix) + "LIB2", std::string(prefix) + "REF");
      test_support::RawRecords(stage + table).Rename(std::string(prefix) + "LIB3", std::string(prefix) + "RESP");
    }
    std::vector<std::string> argv{"jlha", "aq", target + "ZELJE.lzh"};
    argv.insert(argv.end(), members.begin(), members.end());
    platform::LaunchOptions o;
    o.wait = true;
    o.captureOutput = true;
    o.workingDirectory = stage;
    ASSERT_EQ(platform::LaunchProcess(argv, o).exitStatus, 0);
    // The restore's end confirmed, its message read; the opening's question of the conversion
    // answered "Oui", its end read.
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueFileAnswer(target + "ZELJE.lzh");
    for (const int answer : {gui::IDYES, gui::IDOK, gui::IDYES, gui::IDOK}) gui::ModalSeam::QueueMessageBoxAnswer(answer);
    Menu(command_id::RestaurationDossier);
    const std::string said = Boxes();
    EXPECT_EQ(said.find(Head(kMsgRestoreRefused)), std::string::npos) << said;
    EXPECT_NE(said.find("Dossier 'JE' restaur\xE9"), std::string::npos) << said;
    EXPECT_NE(said.find("La CONVERSION de ce dossier ZEL est indispensable"), std::string::npos) << said;
    EXPECT_NE(said.find(Head(kMsgConversionDone)), std::string::npos) << said;
    EXPECT_EQ(said.find("demander de suite une ReConstruction") != std::string::npos, advised) << said;
    // The originals of the older format, kept aside by the conversion, go: the next backups are of
    // the books alone.
    for (const auto& e : fs::directory_iterator(std::string(DossierFolder)))
      if (e.is_directory() && e.path().filename().string().rfind("conversion-", 0) == 0) fs::remove_all(e.path());
    Open();
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "JE") << test_support::ShownTexts();
    CloseAll();
    if (!advised) ExpectInvariants("after the restore of " + step + " in an older format");
  }

  // The list of a code kind from the "Données" menu, the row of `code` selected.
  static TWFichiersC10* CodeList(unsigned command, char kind, const std::string& code) {
    Menu(command);
    auto* list = dynamic_cast<TWFichiersC10*>(
        gui::Window::FromHandle(SlotHandle(masterdata::FindCodeKind(kind)->listSlot)));
    EXPECT_NE(list, nullptr) << test_support::ShownTexts();
    if (list != nullptr) {
      EXPECT_TRUE(list->LocateCode(code)) << code;
    }
    return list;
  }

  // A draft piece with analytic lines: its journal-month and number.
  std::pair<std::string, std::string> PieceWithSplit() {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kAnalyticTag, true));
    for (bool more = c50.GoTop(L::kAnalyticTag); more; more = c50.Skip(1))
      if (!c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'W')
        return {std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL), c50.GetField(L::BPIECE)};
    ADD_FAILURE() << "no piece with a split";
    return {};
  }
  // A live general line with a split, typed in euros on the debit: its key; and another account that
  // takes a split.
  std::pair<std::string, std::string> LineWithSplit() {
    Table c50, c20;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
    EXPECT_TRUE(c20.OpenShared(PathC20(), "C20CODE", true));
    const auto [month, piece] = PieceWithSplit();
    const std::string prefix = posting::LinePrefix(month) + piece;
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more; more = c50.Skip(1)) {
      const posting::LineRecord r = posting::ReadLineRecord(c50);
      if (r.key.compare(0, prefix.size(), prefix) != 0) break;
      if (!r.live || r.entry != 'O' || r.account[0] != '6') continue;
      for (bool on = c20.GoTop("C20CODE"); on; on = c20.Skip(1))
        if (!c20.IsDeleted() && c20.GetField(1)[0] == '6' && std::string(c20.GetField(27)) == "O" &&
            r.account != c20.GetField(1))
          return {r.key, c20.GetField(1)};
    }
    ADD_FAILURE() << "no line with a split in " << prefix;
    return {};
  }
  // The first customer of the chart.
  static std::string Customer() {
    Table c20;
    EXPECT_TRUE(c20.OpenShared(PathC20(), "C20CODE", true));
    return c20.SeekNotBelow("C20CODE", "C") ? RTrim(c20.GetField(1)) : std::string();
  }
  // "Déplacer" or "Copier sur un autre Journal" on a piece with a split, the journal OD of its month
  // chosen in the dialog (a copy dated the 15th and labelled "Copie").
  void PieceToJournalOD(unsigned command) {
    const auto [month, piece] = PieceWithSplit();
    TWSaiBroDetJournaux* w = Saisir(month);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->LocateRowByKey(w->Lines(), w->Prefix() + piece, 1, 1, 1));
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [m = month](gui::Window& d) {
      auto& dialog = dynamic_cast<TDNouveauJournal&>(d);
      EXPECT_TRUE(dialog.SelectJournal("OD"));
      EXPECT_TRUE(dialog.SelectMonth(m.substr(0, 4)));
      if (dialog.DateEdit() != nullptr) {
        dialog.DateEdit()->SetValue("15" + m.substr(2, 2) + "26", false);
        dialog.LabelEdit()->SetValue("Copie", false);
      }
    });
    Send(w, command);
  }
  // The lines window of a line's journal-month, the form open on the line.
  TWSaiModDetJournaux* ModifyLine(const std::string& key) {
    TWSaiBroDetJournaux* w = Saisir(key.substr(1, 7));
    return w == nullptr ? nullptr : Modify(w, key);
  }
};

struct Step {
  const char* name;
  std::function<void()> run;
  bool advised = false;  // totals left for the ReConstruction
};

TEST_F(CommandWalkTest, WhatEveryCommandMakesIsRestoredAndValidates) {
  Open();
  const Step steps[] = {
      // "Données > Collectifs", "Annuler" on the suppliers' collective.
      {"the suppliers' collective cancelled",
       [this] {
         TWFichiersC10* list = CodeList(kCollectifs, 'B', "F");
         ASSERT_NE(list, nullptr);
         Send(list, browse_cmd::Annuler);
       }},
      // "Saisie d'Ecritures": "Annuler" on two lines of a journal-month, then "Réactiver" on the first.
      {"lines cancelled and reactivated",
       [this] {
         TWSaiBroDetJournaux* w = Saisir(MonthOf("VE "));
         ASSERT_NE(w, nullptr);
         for (long row : {2, 3}) {
           w->SelectRow(row, 1);
           Send(w, browse_cmd::Annuler);
           EXPECT_EQ(w->Store().MarkerOf(w->GetSelectedRowIndex() - 1), kMarkerCancelled) << row;
         }
         w->SelectRow(2, 1);
         Send(w, browse_cmd::Reactiver);
         EXPECT_EQ(w->Store().MarkerOf(w->GetSelectedRowIndex() - 1), kMarkerOrdinary);
       }},
      // "Déplacer sur un autre Journal": a piece with its split into the journal OD.
      {"a piece moved to another journal", [this] { PieceToJournalOD(kDeplacer); }},
      // Ctrl+P in a lines window: a piece of two lines typed, the second saved with F12.
      {"a piece typed",
       [this] {
         TWSaiBroDetJournaux* w = Saisir(MonthOf("OD "));
         ASSERT_NE(w, nullptr);
         Key('P', test_support::kControlModifier);
         TWSaiModDetJournaux* f = Form();
         ASSERT_NE(f, nullptr) << test_support::ShownTexts();
         FocusOnControl(f, kDay);
         Field("12");
         FocusOnControl(f, kAccount);
         Field("51200000");
         FocusOnControl(f, kDebitE);
         Field("123.45");
         f = Form();
         ASSERT_NE(f, nullptr) << test_support::ShownTexts();
         FocusOnControl(f, kAccount);
         Field(Customer());
         f->EditOf(kDebitE)->SetText("");
         f->EditOf(kCreditE)->SetText("123.45");
         Key(gui::VK_F12);
         EXPECT_EQ(Form(), nullptr) << test_support::ShownTexts();
       }},
      // A line with a split saved onto another account that takes one: the old split goes, the new
      // account's default split is made.
      {"a line saved onto another analytic account",
       [this] {
         const auto [key, account] = LineWithSplit();
         TWSaiModDetJournaux* f = ModifyLine(key);
         ASSERT_NE(f, nullptr);
         FocusOnControl(f, kAccount);
         Field(account);
         FocusOnControl(f, kDebitE);
         Field("100");
         EXPECT_EQ(LineOf(key).account, account);
       }},
      // The same onto an account without analytics: the split goes.
      {"a line saved onto an account without a split",
       [this] {
         const auto [key, account] = LineWithSplit();
         TWSaiModDetJournaux* f = ModifyLine(key);
         ASSERT_NE(f, nullptr);
         FocusOnControl(f, kAccount);
         Field("51200000");
         Key(gui::VK_F12);
         EXPECT_EQ(LineOf(key).account, "51200000");
       }},
      // "Copier sur un autre Journal": a piece with its split, the copy dated and its amounts kept.
      {"a piece copied to another journal", [this] { PieceToJournalOD(kCopier); }},
      // "Lettrage Automatique" over the customers, confirmed.
      {"the customers matched automatically",
       [this] {
         const std::string customer = Customer();
         Menu(command_id::LettrageAutomatique);
         auto* form = At<TWTraModLettrageAutomatique>(kAutomaticFormSlot);
         ASSERT_NE(form, nullptr) << test_support::ShownTexts();
         form->StartEdit()->SetValue(customer, false);
         form->EndEdit()->SetValue(customer, false);
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
         Send(form, matching_cmd::Lettrer);
         EXPECT_TRUE(ShownContains("La proc\xE9" "dure de Lettrages est termin\xE9" "e")) << test_support::ShownTexts();
       }},
      // "Lettrage Manuel" of a customer with an invoice of 100.00 and a payment of 99.60: both lines
      // marked, then "Solder et Enregistrer", which writes the balancing piece.
      {"a customer's lines matched and balanced",
       [this] {
         ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
         ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
         {
           Table c50, c60;
           ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
           ASSERT_TRUE(c60.OpenShared(PathC60(), "C60CODE"));
           const auto line = [](const char* piece, const char* account, char sense, double euros) {
             NewDraftLine n;
             n.month = "C603";
             n.journal = "OD ";
             n.piece = piece;
             n.day = "10";
             n.account = account;
             n.labelCode = "0";
             n.label = "Lettrage";
             n.sense = sense;
             n.euros = euros;
             n.francs = Round(2, euros * 6.55957);
             return n;
           };
           ASSERT_EQ(WriteDraftLines(c50, c60, {line("000801", "CWALK001", 'D', 100), line("000801", "53000000", 'C', 100)}),
                     DraftWrite::Written);
           ASSERT_EQ(WriteDraftLines(c50, c60, {line("000802", "51200000", 'D', 99.60), line("000802", "CWALK001", 'C', 99.60)}),
                     DraftWrite::Written);
         }
         CloseAllTables();
         // A difference of up to 1.00 balanced (constant 052).
         TheDossierRecord.SetConstant(52, "1");
         Menu(command_id::LettrageManuel);
         auto* form = At<TWTraModLettrageManuel>(kManualFormSlot);
         ASSERT_NE(form, nullptr) << test_support::ShownTexts();
         form->AccountEdit()->SetValue("CWALK001", false);
         Send(form, matching_cmd::LettrerOuDelettrer);
         auto* list = At<TraBroLettrageManuel>(kManualListSlot);
         ASSERT_NE(list, nullptr) << test_support::ShownTexts();
         ASSERT_EQ(list->Store().totalRows, 2);
         for (long rank : {1, 2}) {
           list->Store().selected = rank;
           gui::ProcessPendingMessages();
           Send(list, matching_cmd::Lettrer);
         }
         Send(list, matching_cmd::SolderEtEnregistrer);
         EXPECT_EQ(At<TraBroLettrageManuel>(kManualListSlot), nullptr) << test_support::ShownTexts();
       }},
      // "Ajout ASCII au Brouillard" of a file of two pieces, accepted.
      {"an ASCII file added to the draft",
       [this] {
         const std::string path = root_ + "/import.txt";
         std::ofstream(path, std::ios::binary)
             << "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n"
                "OD;14/03/2026;F1;51200000;1;Vente comptoir;120,00;\r\n"
                "OD;14/03/2026;F1;" + Customer() + ";1;Vente comptoir;;120,00\r\n"
                "BQ;02/04/2026;R1;53000000;0;Frais;12,5;\r\n"
                "BQ;02/04/2026;R1;51200000;0;Frais;;12,5\r\n";
         ASSERT_TRUE(DossierIniSet("ImportAuto", "FichierImport", path.c_str()));
         Menu(command_id::AjoutAsciiBrouillard);
         auto* form = At<TWUtiModAjoutAscii>(kAsciiImportFormSlot);
         ASSERT_NE(form, nullptr) << test_support::ShownTexts();
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
         Send(form, ascii_cmd::Accepter);
         EXPECT_TRUE(ShownContains("4 lignes import\xE9" "es en 2 pi\xE8" "ces")) << test_support::ShownTexts();
       }},
      // "Importation Relevé de Banque (ofx)" of the bank's statement, chosen with "?" and accepted.
      {"a bank statement imported",
       [this] {
         processing::BankStatement statement;
         std::string error;
         ASSERT_TRUE(ofx_fixture::StatementFromDossier(DossierFolder, "JE", 0, 6, statement, error)) << error;
         const std::string path = root_ + "/releve.ofx";
         ASSERT_TRUE(ofx_fixture::WriteText(path, ofx_fixture::OfxSgml102(statement)));
         ASSERT_TRUE(DossierIniSet(processing::kOfxIniSection, "CompteAttente", "53"));
         Menu(command_id::ImportationReleveBanque);
         auto* form = At<TWSaiModImportationOfx>(kOfxImportFormSlot);
         ASSERT_NE(form, nullptr) << test_support::ShownTexts();
         gui::ModalSeam::QueueFileAnswer(path);
         Send(form, ofx_cmd::Choose);
         ASSERT_TRUE(form->StatementRead()) << test_support::ShownTexts();
         Send(form, ofx_cmd::Accepter);
         EXPECT_TRUE(ShownContains("op\xE9rations import\xE9" "es")) << test_support::ShownTexts();
       }},
      // "Rapprochement avec Relevé de Banque" at the year's end: two lines ticked and saved.
      {"two bank lines reconciled",
       [this] {
         Menu(command_id::RapprochementBanque);
         auto* form = At<TWTraModRapprochement>(kReconciliationFormSlot);
         ASSERT_NE(form, nullptr) << test_support::ShownTexts();
         form->DateEdit()->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
         form->BalanceEdit()->SetValue("0", false);
         Send(form, reconciliation_cmd::Accepter);
         auto* list = At<TWTraBroRapprochement>(kReconciliationListSlot);
         ASSERT_NE(list, nullptr) << test_support::ShownTexts();
         for (long rank : {1, 2}) {
           list->Store().selected = rank;
           Send(list, reconciliation_cmd::Pointer);
         }
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
         Send(list, form_cmd::Enregistrer);
         EXPECT_EQ(At<TWTraBroRapprochement>(kReconciliationListSlot), nullptr) << test_support::ShownTexts();
       }},
      // "Ajout d'un autre dossier" of a dossier of the same year, chosen with "?" and confirmed.
      {"another dossier added",
       [this] {
         const std::string other = Other("SO", 60, Ymd{2026, 4, 1}, Ymd{2026, 9, 30});
         Menu(command_id::AjoutDossier);
         auto* form = At<TWTraAjoutDossier>(kMergeFormSlot);
         ASSERT_NE(form, nullptr) << test_support::ShownTexts();
         gui::ModalSeam::QueueFileAnswer(other + "c10so.dbf");
         Send(form, 1208);
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
         Send(form, yearend_cmd::Accepter);
         EXPECT_TRUE(ShownContains("L'AJOUT de Dossier est termin\xE9")) << test_support::ShownTexts();
       }},
      // "Séparation de deux exercices": December goes to a dossier whose year begins then.
      {"the year separated from its last month",
       [this] {
         const std::string other = Other("SB", 20, Ymd{2026, 12, 1}, Ymd{2027, 11, 30});
         Menu(command_id::SeparationExercices);
         auto* form = At<TWTraSeparationExercices>(kSeparationFormSlot);
         ASSERT_NE(form, nullptr) << test_support::ShownTexts();
         gui::ModalSeam::QueueFileAnswer(other + "c10sb.dbf");
         Send(form, 1204);
         form->DateEdit()->SetValue("01/12/26", false);
         ASSERT_TRUE(form->CheckOther()) << form->First();
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
         Send(form, yearend_cmd::Accepter);
         EXPECT_TRUE(ShownContains("La SEPARATION des Exercices est termin\xE9")) << test_support::ShownTexts();
       }},
      // "Données > Collectifs", the customers' collective given another account in its form: the
      // totals of the customers stay on the old one until a ReConstruction.
      {"the customers' collective given another account",
       [this] {
         TWFichiersC10* list = CodeList(kCollectifs, 'B', "C");
         ASSERT_NE(list, nullptr);
         Send(list, browse_cmd::Modifier);
         auto* form = At<CodeRecordForm>(masterdata::FindCodeKind('B')->formSlot);
         ASSERT_NE(form, nullptr) << test_support::ShownTexts();
         form->EditOf(1202)->SetText("401");
         Send(form, 20055);
         EXPECT_EQ(At<CodeRecordForm>(masterdata::FindCodeKind('B')->formSlot), nullptr) << test_support::ShownTexts();
       },
       true},
      // "ReConstruction du dossier", confirmed.
      {"the dossier rebuilt",
       [this] {
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
         Menu(command_id::ReconstructionDossier);
         EXPECT_TRUE(ShownContains("La Re-Construction du dossier est termin\xE9" "e.")) << test_support::ShownTexts();
       }},
      // "Renuméroter toutes les Pièces", the support password typed in its dialog.
      {"every piece renumbered",
       [this] {
         const Ymd today = Today();
         const std::string code = SupportCodeForDate(today.year, today.month, today.day);
         gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [code](gui::Window& dialog) {
           static_cast<gui::Dialog&>(dialog).SetItemText(1202, code);
         });
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
         Menu(command_id::RenumeroterPieces);
         EXPECT_TRUE(ShownContains("La ReNum\xE9rotation est termin\xE9" "e")) << test_support::ShownTexts();
       }},
  };
  int n = 0;
  for (const Step& step : steps) {
    gui::ModalSeam::Reset();
    // The main window in front again after the reopening, as the user finds it.
    MainFrame->Widget()->activateWindow();
    QApplication::setActiveWindow(MainFrame->Widget());
    gui::ProcessPendingMessages();
    step.run();
    RoundTrip(step.name, ++n, step.advised);
    OlderFormatRoundTrip(step.name, n, step.advised);
  }
}

}  // namespace
}  // namespace entry_test

