// Every command of the menus that changes the books, chosen on a demo dossier (two analytic axes,
// cancelled pieces and lines) as a user chooses it, its windows and boxes answered through the
// modal seam; after each, the books keep every rule (the check and the oracle), and they go
// through what a user does next: "Utilitaires > Sauvegarde du dossier" with the program's default
// settings, "Restauration du dossier" of that backup, and "Validation des Journaux" of a draft
// journal-month; then the restore of the same books in an older format, converted by the opening.
// What each command made is restored whole, in either format, and validates. Then every command
// that reads amounts, over a dossier with one amount that does not read in each table that holds
// amounts: none computes a figure from it.
#include "line_form_fixture.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <set>

#include "data/draft_lines.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table_structures.h"
#include "entry/core/validation.h"
#include "framework/framework_hooks.h"
#include "entry/validation_dialog.h"
#include "entry/analytic_line_form.h"
#include "entry/analytic_lines_window.h"
#include "entry/core/analytic_split.h"
#include "masterdata/code_form.h"
#include "masterdata/code_list.h"
#include "masterdata/core/code_kinds.h"
#include "ofx_fixture/ofx_fixture.h"
#include "processing/ascii_window.h"
#include "processing/core/ofx_import.h"
#include "processing/core/ofx_statement.h"
#include "processing/manual_list.h"
#include "processing/opening_balances_window.h"
#include "processing/matching_windows.h"
#include "processing/merge_windows.h"
#include "processing/ofx_window.h"
#include "processing/reconciliation_windows.h"
#include "processing/separation_windows.h"
#include "reports/balances/balance_sheet_commands.h"
#include "reports/balances/balance_sheet_edition_window.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/ledgers/ledger_forms.h"
#include "reports/engine/visu_window.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
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
  // The draft journal-months that the validation takes (balanced, every line with an account, dated
  // in the year and read), the one with the fewest lines first.
  std::vector<std::string> MonthsToValidate() {
    std::vector<entry::DraftMonth> months;
    {
      Table c10, c50;
      EXPECT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
      EXPECT_TRUE(c50.OpenShared(PathC50(), "", true));
      months = entry::ListDraftMonths(c50, c10);
    }
    std::vector<const entry::DraftMonth*> taken;
    for (const entry::DraftMonth& m : months)
      if (m.lines > 0 && m.BalancedInEuros() && m.BalancedInFrancs() && m.noAccount == 0 && m.outOfYear == 0 &&
          m.Read())
        taken.push_back(&m);
    std::stable_sort(taken.begin(), taken.end(), [](const entry::DraftMonth* a, const entry::DraftMonth* b) {
      return a->lines + a->analytic < b->lines + b->analytic;
    });
    std::vector<std::string> names;
    for (const entry::DraftMonth* m : taken) names.push_back(m->journalMonth);
    return names;
  }
  // "Validation des Journaux" of journal-months from the menu at the year's last day, confirmed:
  // the boxes shown.
  std::string ValidateMonths(const std::vector<std::string>& months) {
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [months](gui::Window& d) {
      auto& form = dynamic_cast<TDSaiValidation&>(d);
      for (std::size_t i = 0; i < form.Months().size(); ++i)
        if (std::find(months.begin(), months.end(), form.Months()[i].journalMonth) != months.end())
          form.Tick(static_cast<int>(i));
      form.DateEdit()->SetValue("31/12/26", false);
    });
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    Menu(command_id::ValidationJournaux);
    return Boxes();
  }
  std::string ValidateMonth(const std::string& month) { return ValidateMonths({month}); }
  // The draft journal-month with the fewest lines that the validation takes, validated: its name
  // and the boxes shown ("" when none is left).
  std::pair<std::string, std::string> ValidateAMonth() {
    const std::vector<std::string> months = MonthsToValidate();
    if (months.empty()) return {};
    return {months.front(), ValidateMonth(months.front())};
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
  // "Déplacer" or "Copier sur un autre Journal" on a piece, the journal OD of its month chosen in
  // the dialog (a copy dated the 15th and labelled "Copie").
  void PieceToJournalOD(unsigned command, const std::string& month, const std::string& piece) {
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
  // The same on a piece with a split.
  void PieceToJournalOD(unsigned command) {
    const auto [month, piece] = PieceWithSplit();
    PieceToJournalOD(command, month, piece);
  }

  // "Lettrage Automatique" over the accounts from `first` to `last`, confirmed.
  static void MatchAutomatically(const std::string& first, const std::string& last) {
    Menu(command_id::LettrageAutomatique);
    auto* form = At<TWTraModLettrageAutomatique>(kAutomaticFormSlot);
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    form->StartEdit()->SetValue(first, false);
    form->EndEdit()->SetValue(last, false);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    Send(form, matching_cmd::Lettrer);
  }
  // "Lettrage Manuel" of an account: its list of lines (null when it did not open).
  static TraBroLettrageManuel* ManualMatching(const std::string& account) {
    Menu(command_id::LettrageManuel);
    auto* form = At<TWTraModLettrageManuel>(kManualFormSlot);
    EXPECT_NE(form, nullptr) << test_support::ShownTexts();
    if (form == nullptr) return nullptr;
    form->AccountEdit()->SetValue(account, false);
    Send(form, matching_cmd::LettrerOuDelettrer);
    return At<TraBroLettrageManuel>(kManualListSlot);
  }
  // Its rows 1 to `rows` marked, then "Solder et Enregistrer".
  static void MarkAndBalance(TraBroLettrageManuel* list, long rows) {
    for (long rank = 1; rank <= rows; ++rank) {
      list->Store().selected = rank;
      gui::ProcessPendingMessages();
      Send(list, matching_cmd::Lettrer);
    }
    Send(list, matching_cmd::SolderEtEnregistrer);
  }
  // "Rapprochement avec Relevé de Banque" at the year's end: its first two lines ticked and saved.
  static void ReconcileTwoLines() {
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
  }
  // "Ajout d'un autre dossier" of the dossier of general file `c10`, chosen with "?" and confirmed.
  static void AddDossier(const std::string& c10) {
    Menu(command_id::AjoutDossier);
    auto* form = At<TWTraAjoutDossier>(kMergeFormSlot);
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    gui::ModalSeam::QueueFileAnswer(c10);
    Send(form, 1208);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    Send(form, yearend_cmd::Accepter);
  }
  // "Séparation de deux exercices" into the dossier of general file `c10`, from `date` on, confirmed.
  static void Separate(const std::string& c10, const std::string& date) {
    Menu(command_id::SeparationExercices);
    auto* form = At<TWTraSeparationExercices>(kSeparationFormSlot);
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    gui::ModalSeam::QueueFileAnswer(c10);
    Send(form, 1204);
    form->DateEdit()->SetValue(date, false);
    ASSERT_TRUE(form->CheckOther()) << form->First();
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    Send(form, yearend_cmd::Accepter);
  }
  // "ReConstruction du dossier", confirmed.
  static void Rebuild() {
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    Menu(command_id::ReconstructionDossier);
  }
  // "Renuméroter toutes les Pièces", the support password typed in its dialog.
  static void Renumber() {
    const Ymd today = Today();
    const std::string code = SupportCodeForDate(today.year, today.month, today.day);
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [code](gui::Window& dialog) {
      static_cast<gui::Dialog&>(dialog).SetItemText(1202, code);
    });
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    Menu(command_id::RenumeroterPieces);
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
         MatchAutomatically(customer, customer);
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
         auto* list = ManualMatching("CWALK001");
         ASSERT_NE(list, nullptr) << test_support::ShownTexts();
         ASSERT_EQ(list->Store().totalRows, 2);
         MarkAndBalance(list, 2);
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
         ReconcileTwoLines();
         EXPECT_EQ(At<TWTraBroRapprochement>(kReconciliationListSlot), nullptr) << test_support::ShownTexts();
       }},
      // "Ajout d'un autre dossier" of a dossier of the same year, chosen with "?" and confirmed.
      {"another dossier added",
       [this] {
         AddDossier(Other("SO", 60, Ymd{2026, 4, 1}, Ymd{2026, 9, 30}) + "c10so.dbf");
         EXPECT_TRUE(ShownContains("L'AJOUT de Dossier est termin\xE9")) << test_support::ShownTexts();
       }},
      // "Séparation de deux exercices": December goes to a dossier whose year begins then.
      {"the year separated from its last month",
       [this] {
         Separate(Other("SB", 20, Ymd{2026, 12, 1}, Ymd{2027, 11, 30}) + "c10sb.dbf", "01/12/26");
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
         Rebuild();
         EXPECT_TRUE(ShownContains("La Re-Construction du dossier est termin\xE9" "e.")) << test_support::ShownTexts();
       }},
      // "Renuméroter toutes les Pièces", the support password typed in its dialog.
      {"every piece renumbered",
       [this] {
         Renumber();
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



// ---- the walk over a damaged dossier

// A field damaged by the test: what it is, its table and field, the bytes it holds and the fields
// that name its record and that no command changes (a line's kind, account, month and journal; a
// record's code; a line's label, which the test writes).
struct Damage {
  std::string what, dbf, field, bytes, original;
  std::vector<std::pair<std::string, std::string>> identity;
};

// Whether a text says that amounts do not read.
bool NamesUnread(const std::string& text) {
  for (const char* said : {"ne se lit pas", "ne se lisent pas", "ne se lisait pas", "illisible"})
    if (text.find(said) != std::string::npos) return true;
  return false;
}

class DamagedWalkTest : public CommandWalkTest {
 protected:
  // Bytes written over field `field` of record n of a table: the damage, read back as stored.
  static Damage Put(const std::string& what, const std::string& dbf, std::uint32_t n, const std::string& field,
                    const std::string& bytes, const std::vector<std::string>& identity) {
    const test_support::RawRecords raw(dbf);
    const std::string original = raw.Field(raw.Record(n), field);
    raw.Put(n, field, bytes);
    const std::string record = raw.Record(n);
    Damage d{what, dbf, field, raw.Field(record, field), original, {}};
    for (const std::string& name : identity) d.identity.emplace_back(name, raw.Field(record, name));
    return d;
  }
  // "abc" over the euro amount of the first live general line of a line file (prefix 'B' the draft,
  // 'D' the closed file) that passes `which` (the raw records and the record).
  static Damage DamageLine(const std::string& what, const std::string& dbf, char prefix,
                           const std::function<bool(const test_support::RawRecords&, const std::string&)>& which,
                           const std::string& bytes = "abc") {
    const test_support::RawRecords raw(dbf);
    const std::string p(1, prefix);
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, p + "CLE") != "Z" || StoredAmountCents(raw.Field(r, p + "MONTANTE")) == 0 ||
          !which(raw, r))
        continue;
      // Its label names it whatever its piece's number becomes.
      raw.Put(n, p + "LIB", "Montant illisible " + std::to_string(n));
      return Put(what, dbf, n, p + "MONTANTE", bytes, {p + "CLE", p + "CODE", p + "MOIS", p + "JAL", p + "LIB"});
    }
    ADD_FAILURE() << "no line for " << what << " in " << dbf;
    return {what, dbf, p + "MONTANTE", "", "", {}};
  }
  // `bytes` over a field of the first live record of a table whose field `key` begins with `first`.
  static Damage DamageRecord(const std::string& what, const std::string& dbf, const std::string& key,
                             const std::string& first, const std::string& field, const std::string& bytes) {
    const test_support::RawRecords raw(dbf);
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] != '*' && raw.Field(r, key).rfind(first, 0) == 0) return Put(what, dbf, n, field, bytes, {key});
    }
    ADD_FAILURE() << "no record for " << what << " in " << dbf;
    return {what, dbf, field, "", "", {}};
  }
  // The damages no longer where they were put: their names. Each is put back in its record where
  // that record still is, so that the next command meets it. `mend`: each record given back what
  // it held before its damage.
  static std::string Lost(const std::vector<Damage>& damages, bool mend = false) {
    std::string lost;
    for (const Damage& d : damages) {
      const test_support::RawRecords raw(d.dbf);
      std::uint32_t at = 0;
      for (std::uint32_t n = 1; n <= raw.Count() && at == 0; ++n) {
        const std::string r = raw.Record(n);
        bool same = r[0] != '*';
        for (const auto& [name, value] : d.identity) same = same && raw.Field(r, name) == value;
        if (same) at = n;
      }
      if (at != 0 && mend) raw.Put(at, d.field, d.original);
      if (mend || (at != 0 && raw.Field(raw.Record(at), d.field) == d.bytes)) continue;
      lost += d.what + (at == 0 ? " (its record is gone)" : " (written over)") + "; ";
      if (at != 0) raw.Put(at, d.field, d.bytes);
    }
    return lost;
  }

  // The first analytic line of a first-axis split, live with euros, of a live general line of a general
  // account outside the journal-month `notMonth`: the line's journal-month and key, the analytic line's
  // C50ANAL key, record, section, sense and euros; another section of the dossier.
  struct AnalyticAt {
    std::string month, lineKey, key, section, otherSection;
    std::uint32_t recno = 0;
    char sense = 'D';
    long long euros = 0;
  };
  static AnalyticAt FirstAnalyticLine(const std::string& notMonth) {
    AnalyticAt at;
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
    for (std::uint32_t r = 1; r <= c50.RecCount() && at.recno == 0; ++r) {
      if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z') continue;
      const posting::LineRecord line = posting::ReadLineRecord(c50);
      if (line.key.substr(1, 7) == notMonth || line.account[0] == 'C' || line.account[0] == 'F') continue;
      const std::string lines = L::AnalyticKey(c50) + "W";
      if (c50.SeekNotBelow(L::kAnalyticTag, lines.c_str()) && entry::MatchSplitLines(c50, lines).IsLive() &&
          ToCents(posting::ReadLineRecord(c50).euros) != 0) {
        const posting::LineRecord a = posting::ReadLineRecord(c50);
        at = {line.key.substr(1, 7), line.key, lines + c50.GetField(L::BNUMA), a.account, "", c50.recordNumber,
              a.sense, ToCents(a.euros)};
      }
      c50.SetOrder(L::kCodeTag);
    }
    EXPECT_NE(at.recno, 0u) << "no split outside " << notMonth;
    Table c30;
    EXPECT_TRUE(c30.OpenShared(PathC30(), "C30CODE", true));
    for (bool more = c30.GoTop("C30CODE"); more && at.otherSection.empty(); more = c30.Skip(1))
      if (!c30.IsDeleted() && Trimmed(c30.GetField(1)) != Trimmed(at.section)) at.otherSection = Trimmed(c30.GetField(1));
    return at;
  }
  // The general line of `at` opened in its form from its journal-month's lines window and "Analytique"
  // pressed: the first axis's analytic lines window and the form it opens on its first line (null
  // when either did not open).
  std::pair<TWSaiBroDetJournauxAnal*, TWSaiModDetJournauxAnal*> OpenSplit(const AnalyticAt& at) {
    TWSaiBroDetJournaux* w = Saisir(at.month);
    TWSaiModDetJournaux* f = w == nullptr ? nullptr : Modify(w, at.lineKey);
    if (f == nullptr) return {};
    Send(f, line_form::kAnalytic);
    constexpr int kFirstAxisLines = 88;  // the first axis's lines window, from the lines window's slot
    const int p = posting::SlotPosition(w->SlotIndex()) + kFirstAxisLines, q = p + TWSaiBroDetJournauxAnal::kFormOffset;
    auto* list = RegistryChar(p) != '1' ? nullptr
                                         : dynamic_cast<TWSaiBroDetJournauxAnal*>(gui::Window::FromHandle(SlotHandle(p)));
    auto* form = RegistryChar(q) != '1' ? nullptr
                                         : dynamic_cast<TWSaiModDetJournauxAnal*>(gui::Window::FromHandle(SlotHandle(q)));
    EXPECT_NE(form, nullptr) << test_support::ShownTexts();
    if (form != nullptr) {
      EXPECT_EQ(form->LineKey(), at.key) << "the form opened on another line";
    }
    return {list, form};
  }
  // An amount typed over the euro field of the form's sense.
  static void TypeEuros(TWSaiModDetJournauxAnal* f, char sense, long long cents) {
    const std::string text = std::to_string(cents / 100) + "." + std::string(cents % 100 < 10 ? "0" : "") +
                             std::to_string(cents % 100);
    f->EditOf(sense == 'D' ? analytic_form::kDebitE : analytic_form::kCreditE)->SetText(text);
    f->ControlOf(sense == 'D' ? analytic_form::kDebitE : analytic_form::kCreditE)->SetFocus();
    gui::ProcessPendingMessages();
  }
  // Every analytic window closed, found by its slot (a form may have closed itself), an unbalanced
  // split left as it is.
  static void CloseSplits() {
    for (int k = 0; k < posting::kSlotCount; ++k)
      for (int offset : {88, 250}) {
        const int p = posting::SlotPosition(k) + offset, q = p + TWSaiBroDetJournauxAnal::kFormOffset;
        if (RegistryChar(q) == '1')
          if (auto* form = dynamic_cast<TWSaiModDetJournauxAnal*>(gui::Window::FromHandle(SlotHandle(q)))) {
            form->NoCheckFlag = true;
            gui::SendMessage(form->GetHandle(), gui::WM_CLOSE);
            gui::ProcessPendingMessages();
          }
        if (RegistryChar(p) == '1')
          if (auto* list = dynamic_cast<TWSaiBroDetJournauxAnal*>(gui::Window::FromHandle(SlotHandle(p)))) {
            gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
            gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
            gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
            gui::ProcessPendingMessages();
          }
      }
  }
  // The first message box shown since the seam was reset whose text holds every one of `texts`,
  // screenshot under `name` (null when none).
  static const gui::ShownModal* BoxSaying(const std::vector<std::string>& texts, const std::string& name) {
    for (const gui::ShownModal& m : gui::ModalSeam::Shown()) {
      if (m.kind != gui::ModalKind::MessageBox) continue;
      bool all = true;
      for (const std::string& t : texts) all = all && m.text.find(t) != std::string::npos;
      if (!all) continue;
      test_support::ScreenshotMessage(m, "entry", name);
      return &m;
    }
    ADD_FAILURE() << "no box saying " << texts.front() << "\n" << test_support::ShownTexts();
    return nullptr;
  }
  // The bytes of the tables of the dossier `folder` (its code `code`) that a change of lines writes.
  static std::string BooksBytes(const std::string& folder, const std::string& code) {
    std::string all;
    for (const char* table : {"c10", "c20", "c30", "c50", "c60"}) {
      std::ifstream f(folder + table + code + ".dbf", std::ios::binary);
      all += std::string(std::istreambuf_iterator<char>(f), {}) + "|";
    }
    return all;
  }
  // The analytic line of record `recno`: whether it is live and its euros read, and its euros.
  static std::pair<bool, long long> AnalyticEuros(std::uint32_t recno) {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
    if (!c50.GoTo(recno) || c50.IsDeleted()) return {false, 0};
    bool read = true;
    const long long euros = StoredAmountOf(c50, L::BMONTANTE, &read);
    return {read, euros};
  }

  // The figures of the books of the dossier `code` in `folder`, one text a record: each
  // journal-month header's totals (C10), each account's and section's totals, previous-year and
  // budget figures (C20, C30), each live line's kind, account, month, journal, sense and amounts
  // (C40, C50), each live sort record's kind, account, month and journal (C60), each live line of
  // the computed balance sheet (C70). Letters, ticks, piece numbers and labels are not figures.
  static std::multiset<std::string> Figures(const std::string& folder, const std::string& code) {
    std::multiset<std::string> out;
    const auto each = [&](const char* table, const std::function<std::string(const test_support::RawRecords&,
                                                                             const std::string&)>& text) {
      const std::string dbf = folder + table + code + ".dbf";
      if (!fs::exists(dbf)) return;
      const test_support::RawRecords raw(dbf);
      for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
        const std::string r = raw.Record(n);
        if (r[0] == '*') continue;
        const std::string t = text(raw, r);
        if (!t.empty()) out.insert(std::string(table) + code + " " + t);
      }
    };
    const auto fields = [](const test_support::RawRecords& raw, const std::string& r,
                           std::initializer_list<const char*> names) {
      std::string t;
      for (const char* name : names) t += raw.Field(r, name) + "|";
      return t;
    };
    each("c10", [](const test_support::RawRecords& raw, const std::string& r) {
      return raw.Field(r, "GCLE") != "C" ? std::string()
                                          : raw.Field(r, "GCODE") + "|" + raw.Field(r, "GZONE1").substr(0, 28) + "|" +
                                                raw.Field(r, "GZONE2").substr(0, 28);
    });
    each("c20", [&](const test_support::RawRecords& raw, const std::string& r) {
      return fields(raw, r, {"CCODE", "CDEBITF", "CDEBITE", "CCREDITF", "CCREDITE", "CDEBNM1F", "CDEBNM1E",
                             "CCRENM1F", "CCRENM1E", "CBUDGETF", "CBUDGETE"});
    });
    each("c30", [&](const test_support::RawRecords& raw, const std::string& r) {
      return fields(raw, r, {"ACODE", "ADEBITF", "ADEBITE", "ACREDITF", "ACREDITE", "ADEBNM1F", "ADEBNM1E",
                             "ACRENM1F", "ACRENM1E", "ABUDGETF", "ABUDGETE"});
    });
    each("c40", [&](const test_support::RawRecords& raw, const std::string& r) {
      return fields(raw, r, {"DCLE", "DCODE", "DMOIS", "DJAL", "DSENS", "DMONTANTF", "DMONTANTE"});
    });
    each("c50", [&](const test_support::RawRecords& raw, const std::string& r) {
      return fields(raw, r, {"BCLE", "BCODE", "BMOIS", "BJAL", "BSENS", "BMONTANTF", "BMONTANTE"});
    });
    each("c60", [&](const test_support::RawRecords& raw, const std::string& r) {
      return fields(raw, r, {"TCLE", "TCODE", "TMOIS", "TJAL", "TFIC"});
    });
    each("c70", [](const test_support::RawRecords&, const std::string& r) { return r.substr(1); });
    return out;
  }
  // What one snapshot holds that the other does not, for the message.
  static std::string Difference(const std::multiset<std::string>& a, const std::multiset<std::string>& b) {
    std::vector<std::string> only;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(only));
    std::string text;
    for (std::size_t i = 0; i < only.size() && i < 6; ++i) text += "  " + only[i] + "\n";
    return only.size() > 6 ? text + "  ... (" + std::to_string(only.size()) + ")\n" : text;
  }

  // A report's form opened from its menu command and previewed ("Visualiser", layout `row` of the
  // choice), every page shown, the preview closed.
  static void Preview(unsigned command, int row = 0) {
    Menu(command);
    PreviewOf(CommandWindow->GetActiveMDIChild(), row);
  }
  static void PreviewOf(gui::Window* form, int row) {
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    // "Choix de l'état" on, as the user sets it to choose the layout.
    const char choice = ProgramOption(12);
    SetProgramOption(12, 'O');
    QueueChoice(gui::IDOK, row);
    Send(form, command_id::Visualiser);
    ShowAllAndQuit();
    SetProgramOption(12, choice);
  }
  // The choice dialog answered with layout `row`.
  static void QueueChoice(int answer, int row) {
    gui::ModalSeam::QueueDialogAnswer(answer, [row](gui::Window& w) {
      static_cast<gui::Dialog&>(w).SetItemSel(choice_ids::kLayouts, row);
    });
  }
  // Every page of the preview shown, then "Fin Visualisation".
  static void ShowAllAndQuit() {
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->CmAllPages();
    gui::ProcessPendingMessages();
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->CmQuitVisu();
    gui::ProcessPendingMessages();
  }
  // "Bilan Calcul" of the simplified model over the whole year, confirmed.
  static void ComputeBalanceSheet() {
    TheDossierRecord.SetConstant(4, "S  ");
    SetDossierState(' ');
    const std::string first = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart);
    const std::string last = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd);
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [first, last](gui::Window& w) {
      auto& d = dynamic_cast<TDEtaBilanCalcul&>(w);
      d.StartEdit()->SetValue(first, false);
      d.EndEdit()->SetValue(last, false);
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
      d.PressButton(gui::IDOK);
    });
    Menu(command_id::EtaBilanCalcul);
  }
};

struct DamagedStep {
  const char* name;
  std::function<void()> run;
  // It reads an amount that does not read: a box must name them.
  bool mustSay = false;
  // Done before the books are taken as they were (what the command needs, not its work).
  std::function<void()> setUp = {};
  // Not empty: the command goes through over its own line's amount that does not read (it replaces
  // or takes it away); only the figures of this code (its section, its line, its sort record) change.
  std::string goesOnOver = {};
};

// Over a demo dossier in which every table that holds an amount has one that does not read, every
// menu command that reads amounts, chosen as a user chooses it. After each: every damaged field
// still holds its bytes where it was put, and the figures of the books of every dossier involved
// (see Figures) are as they were; a command that reads a damaged amount also shows a box that
// says amounts do not read (refusal or warning). The count of commands walked is printed.
TEST_F(DamagedWalkTest, NoCommandComputesFromAnAmountThatDoesNotRead) {
  // The report set "0" holds every layout of the program, as its reference set does.
  for (const char* ext : {".dbf", ".dbt", ".mdx"})
    fs::copy_file(root_ + "/program/cesetats" + ext, root_ + "/program/ce0etats" + ext,
                  fs::copy_options::overwrite_existing);
  Open();
  const std::string je = std::string(DossierFolder);
  // A journal-month the validation would take, not of the journal OD (the move's target), with a
  // line on a customer account.
  std::string month, piece;
  for (const std::string& m : MonthsToValidate()) {
    if (m.substr(4, 3) == "OD ") continue;
    const std::string key = LineWhere(m, [](const posting::LineRecord& r) {
      return r.account[0] == 'C' && ToCents(r.euros) != 0;
    });
    if (key.empty()) continue;
    month = m;
    piece = key.substr(8, 6);
    break;
  }
  ASSERT_FALSE(month.empty()) << "no journal-month with a customer's line";
  // Another journal-month validated, for closed lines.
  for (const std::string& m : MonthsToValidate())
    if (m != month) {
      ValidateMonth(m);
      break;
    }
  const std::string so = Other("SO", 60, Ymd{2026, 4, 1}, Ymd{2026, 9, 30});
  const std::string sb = Other("SB", 20, Ymd{2026, 12, 1}, Ymd{2027, 11, 30});
  const std::string sn = root_ + "/SN/";
  CloseAll();
  std::vector<Damage> damages;
  damages.push_back(DamageLine("a customer's draft line", je + "c50je.dbf", 'B',
                               [&](const test_support::RawRecords& raw, const std::string& r) {
                                 return raw.Field(r, "BMOIS") + raw.Field(r, "BJAL") == month &&
                                        raw.Field(r, "BPIECE") == piece && raw.Field(r, "BCODE")[0] == 'C';
                               }));
  const std::string customer = Trimmed(damages.back().identity[1].second);
  // A closed line's euros a cent past the most a line takes: a number, but one no entry makes.
  damages.push_back(DamageLine("a closed line", je + "c40je.dbf", 'D',
                                 [](const test_support::RawRecords&, const std::string&) { return true; },
                                 "15244901723.75"));
  damages.push_back(DamageRecord("an account's previous-year debit", je + "c20je.dbf", "CCODE", "512", "CDEBNM1E", "abc"));
  damages.push_back(DamageRecord("an account's budget", je + "c20je.dbf", "CCODE", "6", "CBUDGETE", "abc"));
  damages.push_back(DamageRecord("a section's budget", je + "c30je.dbf", "ACODE", "", "ABUDGETE", "abc"));
  {
    const std::string code = "C" + month + "B";
    const test_support::RawRecords raw(je + "c10je.dbf");
    std::string zone;
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, "GCLE") + raw.Field(r, "GCODE").substr(0, 8) != code) continue;
      zone = raw.Field(r, "GZONE2");
      zone.replace(0, 14, "           abc");
      damages.push_back(Put("the journal-month's euro debit", je + "c10je.dbf", n, "GZONE2", zone, {"GCLE", "GCODE"}));
    }
    ASSERT_FALSE(zone.empty()) << "no header " << code;
  }
  damages.push_back(DamageLine("a line of the dossier merged", so + "c50so.dbf", 'B',
                               [](const test_support::RawRecords&, const std::string&) { return true; }));
  damages.push_back(DamageLine("a line of the separation's other dossier", sb + "c50sb.dbf", 'B',
                               [](const test_support::RawRecords&, const std::string&) { return true; }));
  Open();
  // A split's first analytic line, outside the damaged journal-month: its section's total is damaged
  // for the commands of the analytic windows alone, then the line's own amount.
  const AnalyticAt an = FirstAnalyticLine(month);
  const std::string section = PadRight(Trimmed(an.section), 8), named = "section " + Trimmed(an.section);
  const std::string sectionTotal = an.sense == 'D' ? "ADEBITE" : "ACREDITE";
  // The analytic windows opened on the line with its section's total damaged; `command` run over them;
  // the books byte for byte as before it, the total as it was put, then mended.
  const auto overUnreadTotal = [&](const std::function<void(TWSaiBroDetJournauxAnal*, TWSaiModDetJournauxAnal*)>& command) {
    const Damage total = DamageRecord("the section's total", je + "c30je.dbf", "ACODE", section, sectionTotal, "abc");
    const auto [list, form] = OpenSplit(an);
    if (list != nullptr && form != nullptr) {
      const std::string books = BooksBytes(je, "je");
      command(list, form);
      EXPECT_EQ(BooksBytes(je, "je"), books) << "written over a section's total that does not read";
      EXPECT_TRUE(AnalyticEuros(an.recno).first) << "the analytic line cancelled";
    }
    CloseSplits();
    const std::vector<Damage> one{total};
    EXPECT_EQ(Lost(one), "") << "the section's total written over";
    Lost(one, true);
  };
  // The line's own euros damaged, the analytic windows opened on it, `command` run over them: its box
  // says `said` and advises the ReConstruction; when it goes through, it names the section's total too.
  const auto overOwnAmount = [&](const std::string& shot, const std::string& said,
                                 const std::function<void(TWSaiBroDetJournauxAnal*, TWSaiModDetJournauxAnal*)>& command,
                                 bool goesThrough = true) {
    const Damage own = Put("the analytic line's euros", je + "c50je.dbf", an.recno, "BMONTANTE", "abc", {});
    const auto [list, form] = OpenSplit(an);
    if (list != nullptr && form != nullptr) {
      command(list, form);
      if (goesThrough) BoxSaying({said, named, "ReConstruction"}, shot);
      else BoxSaying({said, "ReConstruction"}, shot);
    }
    CloseSplits();
    // A cancel leaves the bytes it was made over in the cancelled line: given back, as every damage is
    // before the draft is validated at the walk's end.
    const test_support::RawRecords raw(own.dbf);
    if (raw.Field(raw.Record(an.recno), own.field) == own.bytes) raw.Put(an.recno, own.field, own.original);
  };

  const DamagedStep steps[] = {
      // Saisie
      {"Validation des Journaux of the damaged journal-month", [&] { ValidateMonth(month); }, true},
      // The lines window of the damaged journal-month previewed with its first layout.
      {"Saisie d'Ecritures: the lines window previewed", [&] { PreviewOf(Saisir(month), 0); }, true},
      // A sound line of the damaged journal-month changed: its month's total does not read.
      {"the line form's Enregistrer on the damaged journal-month",
       [&] {
         TWSaiBroDetJournaux* w = Saisir(month);
         const std::string key = LineWhere(month, [](const posting::LineRecord& r) { return r.account[0] != 'C'; });
         TWSaiModDetJournaux* f = Modify(w, key);
         ASSERT_NE(f, nullptr) << test_support::ShownTexts();
         f->EditOf(kLabel1)->SetText("Libelle corrige");
         FocusOnControl(f, kLabel1);
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
         Key(gui::VK_F12);
         EXPECT_EQ(Form(), f) << "saved over a total that does not read";
       },
       true},
      {"the lines window's Annuler on the damaged journal-month",
       [&] {
         TWSaiBroDetJournaux* w = Saisir(month);
         ASSERT_NE(w, nullptr);
         const std::string key = LineWhere(month, [](const posting::LineRecord& r) { return r.account[0] != 'C'; });
         ASSERT_TRUE(w->LocateRowByKey(w->Lines(), key, 1, 1, 1)) << key;
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
         Send(w, 20029);
         EXPECT_TRUE(LineOf(key).live) << "cancelled over a total that does not read";
       },
       true},
      // The bank account's euro debit total damaged for the command alone: "Solder le Compte" proposes
      // nothing, and F12 saves nothing over it.
      {"Solder Compte and Enregistrer over the bank account's unread total",
       [&] {
         const Damage total = DamageRecord("the bank's euro debit total", je + "c20je.dbf", "CCODE", "51200000",
                                           "CDEBITE", "abc");
         const std::string bank = MonthOf("BQ ");
         TWSaiBroDetJournaux* w = Saisir(bank);
         const std::string key = LineWhere(bank, [](const posting::LineRecord& r) { return r.account == "51200000"; });
         TWSaiModDetJournaux* f = key.empty() ? nullptr : Modify(w, key);
         if (f != nullptr) {
           const std::string amounts = f->TextOf(kDebitE) + "|" + f->TextOf(kCreditE);
           gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
           Send(f, 20081);
           EXPECT_EQ(f->TextOf(kDebitE) + "|" + f->TextOf(kCreditE), amounts) << "a balance from an unread total";
           f->EditOf(kLabel1)->SetText("Libelle corrige");
           FocusOnControl(f, kLabel1);
           gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
           Key(gui::VK_F12);
           EXPECT_EQ(Form(), f) << "saved over a total that does not read";
         } else {
           ADD_FAILURE() << "no bank line in " << bank;
         }
         // Read back and mended with the form still open: closing it would clear the boxes shown.
         const std::vector<Damage> one{total};
         EXPECT_EQ(Lost(one), "") << "the total written over";
         Lost(one, true);
       },
       true},
      // The damaged customer line's own amount counts in its account's total: "Solder le Compte" cannot
      // take it off, and proposes nothing.
      {"Solder Compte over the line's own unread amount",
       [&] {
         TWSaiBroDetJournaux* w = Saisir(month);
         const std::string key =
             LineWhere(month, [](const posting::LineRecord& r) { return !r.unreadAmounts.empty(); });
         TWSaiModDetJournaux* f = key.empty() ? nullptr : Modify(w, key);
         ASSERT_NE(f, nullptr) << "no line of " << month << " whose amount does not read";
         const std::string amounts = f->TextOf(kDebitE) + "|" + f->TextOf(kCreditE);
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
         Send(f, 20081);
         EXPECT_EQ(f->TextOf(kDebitE) + "|" + f->TextOf(kCreditE), amounts)
             << "a balance counting the line's unread amount as zero";
         BoxSaying({"Le solde n'est pas propos\xE9", "ReConstruction"}, "damaged-walk-line-own-balance");
       },
       true},
      // The analytic windows over a section's total that does not read: the line's save (F12), its
      // cancel in the list, "Solder la Pièce" and "Solder le Compte" are refused before their first
      // write, the total named and the ReConstruction advised.
      {"the analytic form's Enregistrer over its section's unread total",
       [&] {
         overUnreadTotal([&](TWSaiBroDetJournauxAnal*, TWSaiModDetJournauxAnal* f) {
           TypeEuros(f, an.sense, an.euros + 100);
           gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
           Key(gui::VK_F12);
           BoxSaying({"Rien n'a \xE9t\xE9 modifi\xE9", named, "ReConstruction"}, "damaged-walk-analytic-save-refused");
         });
       },
       true},
      {"the analytic lines window's Annuler over its section's unread total",
       [&] {
         overUnreadTotal([&](TWSaiBroDetJournauxAnal* list, TWSaiModDetJournauxAnal* f) {
           Send(f, 20023);
           ASSERT_TRUE(list->LocateRowByKey(list->Lines(), an.key, 1, 1, 1)) << an.key;
           gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
           Send(list, 20029);
           BoxSaying({"Rien n'a \xE9t\xE9 modifi\xE9", named, "ReConstruction"}, "damaged-walk-analytic-cancel-refused");
         });
       },
       true},
      {"Solder la Pi\xE8" "ce of an analytic line over its section's unread total",
       [&] {
         // The line moved to another section, then balanced against its split: the old section's
         // total would lose its amount.
         overUnreadTotal([&](TWSaiBroDetJournauxAnal*, TWSaiModDetJournauxAnal* f) {
           f->ControlOf(analytic_form::kSection)->SetFocus();
           gui::ProcessPendingMessages();
           Field(an.otherSection);
           gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
           Send(f, 20077);
           BoxSaying({"Rien n'a \xE9t\xE9 modifi\xE9", named}, "damaged-walk-analytic-balance-refused");
         });
       },
       true},
      {"Solder le Compte and Enregistrer of an analytic line over its section's unread total",
       [&] {
         overUnreadTotal([&](TWSaiBroDetJournauxAnal*, TWSaiModDetJournauxAnal* f) {
           const std::string amounts = f->TextOf(analytic_form::kDebitE) + "|" + f->TextOf(analytic_form::kCreditE);
           gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
           Send(f, 20081);
           EXPECT_EQ(f->TextOf(analytic_form::kDebitE) + "|" + f->TextOf(analytic_form::kCreditE), amounts)
               << "a balance from an unread total";
           BoxSaying({"Le solde n'est pas propos\xE9", named}, "damaged-walk-analytic-section-balance");
           TypeEuros(f, an.sense, an.euros + 100);
           gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
           Key(gui::VK_F12);
         });
       },
       true},
      // Etats, each previewed from its form
      // The statement of the damaged line's customer.
      {"Etats > Compte",
       [&] {
         Menu(command_id::EtaCompte);
         auto* form = dynamic_cast<TWEtaModCompte*>(CommandWindow->GetActiveMDIChild());
         ASSERT_NE(form, nullptr) << test_support::ShownTexts();
         form->Account()->SetText(customer);
         PreviewOf(form, 0);
       },
       true},
      {"Etats > Grands Livres", [] { Preview(command_id::EtaGrandsLivres); }, true},
      {"Etats > Journaux", [] { Preview(command_id::EtaJournaux); }, true},
      {"Etats > Balances", [] { Preview(command_id::EtaBalances); }, true},
      {"Etats > Récapitulatif Centralisateur", [] { Preview(command_id::EtaRecapCentralisateur); }, true},
      {"Etats > Lettres de Relance et Relevés", [] { Preview(command_id::EtatsRelances); }, true},
      // Its period as it opens, "Visualiser", the first layout; at the preview's end the period
      // asked again, given up.
      {"Etats > Déclaration de Tva",
       [] {
         gui::ModalSeam::QueueDialogAnswer(gui::IDOK);
         QueueChoice(choice_ids::kToPreview, 0);
         QueueChoice(gui::IDOK, 0);
         Menu(command_id::EtatsDeclarationTva);
         gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
         ShowAllAndQuit();
       }},
      {"Etats > Bilan Calcul", [] { ComputeBalanceSheet(); }, true,
       [] {
         TheDossierRecord.SetConstant(4, "S  ");
         SetDossierState(' ');
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
         Menu(command_id::EtaBilanInitialisation);
       }},
      {"Etats > Bilan Edition", [] {
         gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
           auto& d = dynamic_cast<TDEtaBilanEdition&>(w);
           d.SetCheck(TDEtaBilanEdition::kPreview, gui::BST_CHECKED);
           d.SetCheck(TDEtaBilanEdition::kPrinter, gui::BST_UNCHECKED);
           d.PressButton(gui::IDOK);
         });
         Menu(command_id::EtaBilanEdition);
         ShowAllAndQuit();
       }, true,
       [&] {
         TheDossierRecord.SetConstant(4, "S  ");
         SetDossierState(' ');
         // The amount of the first box of the balance sheet, in C70, does not read.
         const std::string c70 = je + "c70je.dbf";
         ASSERT_TRUE(fs::exists(c70));
         const test_support::RawRecords raw(c70);
         for (std::uint32_t n = 1; n <= raw.Count(); ++n)
           if (raw.Record(n)[0] != '*' && Trimmed(raw.Field(raw.Record(n), "BPOSTE1")) != "") {
             damages.push_back(Put("a computed amount of the balance sheet", c70, n, "BMTE1", "abc", {"BLN"}));
             return;
           }
       }},
      // Traitements
      {"Lettrage Manuel of the damaged customer, balanced",
       [&] {
         TheDossierRecord.SetConstant(52, "1");
         TraBroLettrageManuel* list = ManualMatching(customer);
         if (list != nullptr) MarkAndBalance(list, list->Store().totalRows);
       }},
      {"Lettrage Automatique of the customers", [] { MatchAutomatically("C", "CZZZZZZZ"); }},
      {"Rapprochement avec Relevé de Banque", [] { ReconcileTwoLines(); }},
      {"Ajout d'un autre dossier", [&] { AddDossier(so + "c10so.dbf"); }, true},
      {"Séparation de deux exercices", [&] { Separate(sb + "c10sb.dbf", "01/12/26"); }, true},
      // Saisie, the lines window
      {"Déplacer sur un autre Journal of the damaged piece", [&] { PieceToJournalOD(kDeplacer, month, piece); }, true},
      {"Copier sur un autre Journal of the damaged piece", [&] { PieceToJournalOD(kCopier, month, piece); }, true},
      // Utilitaires
      {"ReConstruction du dossier", [] { Rebuild(); }, true},
      // The analytic windows over the analytic line's own euros that do not read (after the
      // ReConstruction, which would make its section's total again): the amount typed (or proposed)
      // replaces them, or the cancel takes them away; the box names its section's total, which still
      // counts them.
      {"the analytic form's Enregistrer over its own unread amount",
       [&] {
         overOwnAmount("damaged-walk-analytic-saved-totals-left", "il est remplac\xE9",
                       [&](TWSaiBroDetJournauxAnal*, TWSaiModDetJournauxAnal* f) {
                         TypeEuros(f, an.sense, an.euros);
                         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
                         Key(gui::VK_F12);
                         EXPECT_EQ(AnalyticEuros(an.recno), std::make_pair(true, an.euros));
                       });
       },
       true, {}, an.section},
      {"Solder la Pi\xE8" "ce of an analytic line over its own unread amount",
       [&] {
         overOwnAmount("damaged-walk-analytic-balanced-totals-left", "il est remplac\xE9",
                       [&](TWSaiBroDetJournauxAnal*, TWSaiModDetJournauxAnal* f) {
                         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
                         Send(f, 20077);
                         EXPECT_TRUE(AnalyticEuros(an.recno).first) << "its amount not replaced";
                       });
       },
       true, {}, an.section},
      // "Solder le Compte" cannot take the line's own amount off its section's total: nothing proposed.
      {"Solder le Compte of an analytic line over its own unread amount",
       [&] {
         overOwnAmount("damaged-walk-analytic-own-section-balance", "Le solde n'est pas propos\xE9",
                       [&](TWSaiBroDetJournauxAnal*, TWSaiModDetJournauxAnal* f) {
                         const std::string books = BooksBytes(je, "je");
                         const std::string amounts =
                             f->TextOf(analytic_form::kDebitE) + "|" + f->TextOf(analytic_form::kCreditE);
                         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
                         Send(f, 20081);
                         EXPECT_EQ(f->TextOf(analytic_form::kDebitE) + "|" + f->TextOf(analytic_form::kCreditE),
                                   amounts)
                             << "a balance counting the line's unread amount as zero";
                         EXPECT_EQ(BooksBytes(je, "je"), books);
                       },
                       false);
       },
       true},
      {"the analytic lines window's Annuler over the line's own unread amount",
       [&] {
         overOwnAmount("damaged-walk-analytic-cancelled-totals-left", "la ligne est annul\xE9" "e",
                       [&](TWSaiBroDetJournauxAnal* list, TWSaiModDetJournauxAnal* f) {
                         Send(f, 20023);
                         ASSERT_TRUE(list->LocateRowByKey(list->Lines(), an.key, 1, 1, 1)) << an.key;
                         gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
                         Send(list, 20029);
                         EXPECT_EQ(AnalyticEuros(an.recno), std::make_pair(false, 0LL)) << "not cancelled";
                       });
       },
       true, {}, an.section},
      {"Renuméroter toutes les Pièces", [] { Renumber(); }},
      {"Sauvegarde then Restauration du dossier", [&] { Restore(BackUp(1)); }, true},
      // Données
      // Their lists with their CSV layouts, which carry the figures.
      {"Plan Comptable previewed", [] { Preview(command_id::DonneesPlanComptable, 1); }, true},
      {"Sections Analytiques previewed", [] { Preview(command_id::DonneesSectionsAnal, 1); }, true},
      // The opening balances need an empty draft: the draft's lines go first (their damage with them).
      {"Génération des Soldes à Nouveau", [&] {
         Menu(command_id::GenerationSoldesANouveau);
         auto* form = At<TWTraGenerationSAN>(kOpeningFormSlot);
         ASSERT_NE(form, nullptr) << test_support::ShownTexts();
         gui::ModalSeam::QueueFileAnswer(sn + "c10sn.dbf");
         Send(form, 1204);
         ASSERT_TRUE(form->CheckTarget()) << form->TargetFirst();
         for (int answer : {gui::IDYES, gui::IDYES}) gui::ModalSeam::QueueMessageBoxAnswer(answer);
         Send(form, yearend_cmd::Accepter);
       }, true,
       [&] {
         // The draft emptied and the totals made again from the lines, the damages mended
         // meanwhile; then damaged again but for the draft's (the line and its month's header).
         CloseAll();
         // Every damage mended first: the validation is undone over any line that does not read.
         Lost(damages, true);
         damages.erase(std::remove_if(damages.begin(), damages.end(),
                                      [&](const Damage& d) {
                                        return d.dbf == je + "c50je.dbf" || d.dbf == je + "c10je.dbf";
                                      }),
                       damages.end());
         ValidateMonths(MonthsToValidate());
         CloseAll();
         {
           const test_support::SetUpPermit permit("brouillard vid\xE9");
           Table c50;
           ASSERT_TRUE(c50.OpenExclusive(je + "c50je"));
           for (bool more = c50.GoTop(); more; more = c50.Skip(1))
             if (!c50.IsDeleted()) ASSERT_TRUE(c50.DeleteRecord("", 0)) << c50.RecNo();
         }
         Rebuild();
         CloseAll();
         Lost(damages);
         // An open closed line of a customer, which the opening balances carry line by line.
         damages.push_back(DamageLine("a customer's open closed line", je + "c40je.dbf", 'D',
                                      [](const test_support::RawRecords& raw, const std::string& r) {
                                        return raw.Field(r, "DCODE")[0] == 'C' && Trimmed(raw.Field(r, "DLET")) == "" &&
                                               Trimmed(raw.Field(r, "DLETE")) == "";
                                      }));
         // The next year's dossier, beginning the day after this year's end (the separation may
         // have moved it).
         Ymd end;
         ASSERT_TRUE(ParseDisplayDate(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), end));
         const Ymd first = end.month == 12 ? Ymd{end.year + 1, 1, 1} : Ymd{end.year, end.month + 1, 1};
         Other("SN", 20, first, Ymd{end.year + 1, end.month, end.day});
       }},
  };
  const std::vector<std::pair<std::string, std::string>> dossiers{{je, "je"}, {so, "so"}, {sb, "sb"}, {sn, "sn"}};
  const auto books = [&] {
    std::multiset<std::string> all;
    for (const auto& [folder, code] : dossiers) all.merge(Figures(folder, code));
    return all;
  };
  int walked = 0;
  bool shot = false;
  std::string failed;
  for (const DamagedStep& step : steps) {
    SCOPED_TRACE(step.name);
    if (step.setUp) step.setUp();
    CloseAll();
    const std::multiset<std::string> before = books();
    gui::ModalSeam::Reset();
    MainFrame->Widget()->activateWindow();
    QApplication::setActiveWindow(MainFrame->Widget());
    gui::ProcessPendingMessages();
    step.run();
    const std::string said = Boxes();
    // The first box that says so, as the user sees it.
    for (const gui::ShownModal& m : gui::ModalSeam::Shown())
      if (!shot && m.kind == gui::ModalKind::MessageBox && NamesUnread(m.text)) {
        test_support::ScreenshotMessage(m, "entry", "damaged-walk-refusal");
        shot = true;
      }
    CloseAll();
    ++walked;
    const std::multiset<std::string> after = books();
    const std::string lost = Lost(damages);
    const bool saidUnread = NamesUnread(said);
    bool same = before == after;
    if (!step.goesOnOver.empty()) {
      // Only the figures the change was made over: every other one as it was.
      const auto others = [&](const std::multiset<std::string>& figures) {
        std::multiset<std::string> kept;
        for (const std::string& f : figures)
          if (f.find(PadRight(Trimmed(step.goesOnOver), 8)) == std::string::npos) kept.insert(f);
        return kept;
      };
      same = others(before) == others(after);
      EXPECT_NE(before, after) << step.name << ": it did not go through";
    }
    EXPECT_EQ(lost, "") << step.name << ": damaged fields written over";
    EXPECT_TRUE(same) << step.name << ": the figures of the books changed\nbefore:\n"
                      << Difference(before, after) << "after:\n" << Difference(after, before) << said;
    if (step.mustSay) {
      EXPECT_TRUE(saidUnread) << step.name << ": no box says that amounts do not read\n" << said;
    }
    if (!lost.empty() || !same || (step.mustSay && !saidUnread)) failed += std::string("  ") + step.name + "\n";
    std::cout << step.name << ": " << (saidUnread ? "a box says amounts do not read" : "no box on amounts") << ", "
              << (same ? "the figures as they were" : "the figures changed") << "\n";
  }
  std::cout << "Commands walked over the damaged dossier: " << walked << "\n"
            << (failed.empty() ? std::string("every one refused, warned or left the amounts untouched\n")
                               : "failing:\n" + failed);
}

}  // namespace
}  // namespace entry_test
