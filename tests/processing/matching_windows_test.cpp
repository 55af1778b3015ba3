// The matching windows driven as a user drives them, over a generated dossier "MT" opened through
// "Ouvrir dossier" with accounts of the test's own lines: "Lettrage Automatique" takes the dossier
// (refused while another station has it open), letters, removes and copies letters; "Lettrage
// Manuel" opens its form, then the list of one account, whose marks move the status line, whose
// "Enregistrer" waits for balanced marks and writes the letters (read back with python3-dbfread),
// whose account another station cannot open, whose "Solder et Enregistrer" writes the balancing
// piece, and whose word search finds words joined by "&" and "|" and stops on Escape.
#include <QWidget>
#include <filesystem>
#include <fstream>

#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "framework/browse.h"
#include "framework/fmt_saisie.h"
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "platform/gui/command.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "entry/entry_commands.h"
#include "processing/manual_list.h"
#include "processing/matching_windows.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "resources/command_ids.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "shell/toolbar.h"
#include "support/books_writes.h"
#include "support/cut_texts.h"
#include "support/dossier_fixture.h"
#include "support/other_process.h"
#include "support/python.h"
#include "support/refused_write.h"
#include "support/sweep_lines.h"
#include "support/window_amounts.h"
#include "platform/system/files.h"
#include "resources/string_table.h"

namespace {

constexpr int kHeadersListSlot = 517;
constexpr int kMsgDossierNotExclusive = 2259;  // the open dossier held by another station
using L = LigneEcriture;
using T = LigneTri;

// The other station: 'o' opens the dossier (its lock table, shared), 'c' closes it, 'a' locks
// the account CLOCK in its own chart cursor.
bool OtherStation(char cmd) {
  static Table* t = nullptr;
  static Table* c20 = nullptr;
  if (t == nullptr) t = new Table();
  if (c20 == nullptr) c20 = new Table();
  if (cmd == 'o') return t->OpenShared(DossierTablePath());
  if (cmd == 'c') return t->CloseTable();
  if (cmd == 'a') return c20->OpenShared(PathC20(), "C20CODE") && c20->Seek("C20CODE", "CLOCK") &&
                         LockRecord(*c20, nullptr, 0);
  return false;
}

struct Line {
  char sense;
  double euros;
  int day;
  const char* journal = "OD";
  const char* month = "C603";
};

class MatchingWindowTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallMatchingCommands();
    folder_ = MakeDossier("demo", "MT", 60);
    OpenThroughDialog(C10Path(folder_, "MT"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "MT") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
  }
  void TearDown() override {
    CloseWindows();
    gui::NoteKeyUp(gui::VK_ESCAPE);
    for (unsigned id : {command_id::LettrageManuel, command_id::LettrageAutomatique}) SetCommandWork(id, {});
    DossierFixture::TearDown();
  }
  static void Send(gui::Window* w, unsigned command) {
    gui::SendCommand(w->GetHandle(), command);
    gui::ProcessPendingMessages();
  }
  bool Enabled(gui::Window* w, unsigned id) {
    gui::CommandEnabler ce(id);
    w->RouteCommandEnable(ce);
    return ce.Handled() && ce.Enabled();
  }
  template <class W>
  static W* WindowAt(int slot) {
    return dynamic_cast<W*>(gui::Window::FromHandle(SlotHandle(slot)));
  }

  // Writes the lines on the account through the program's tables (the dossier open shared).
  void AddLines(const std::string& account, const std::vector<Line>& lines) {
    if (!TableC10->isOpen) {
      ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    }
    if (!TableC20->isOpen) {
      ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
    }
    Table c50, c60;
    ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
    ASSERT_TRUE(c60.OpenShared(PathC60(), "C60CODE"));
    long piece = 800;
    for (const Line& l : lines) {
      NewDraftLine n;
      n.month = l.month;
      n.journal = l.journal;
      n.piece = StrZero(++piece, 0);
      n.day = "0" + std::to_string(l.day);
      n.account = account;
      n.labelCode = "0";
      n.label = "Essai lettrage";
      n.sense = l.sense;
      n.euros = l.euros;
      n.francs = Round(2, l.euros * 6.55957);
      ASSERT_EQ(WriteDraftLines(c50, c60, {n}), DraftWrite::Written);
    }
  }

  // "letter of C60|letter of C50" of each line of the account in C60CODE order, read by python3-dbfread (the
  // sort record and its line joined on the piece and the account: the reader skips cancelled records).
  std::string StoredLetters(const std::string& account, bool euros = true) {
    const std::string sortField = euros ? "TLETE" : "TLET", lineField = euros ? "BLETE" : "BLET";
    return test_support::RunPythonScript(
        "import sys\nfrom dbfread import DBF\n"
        "lines = {(l['BPIECE'], l['BCODE'].strip()): l for l in DBF('" + std::string(PathC50()) +
            ".dbf', encoding='latin-1')}\n"
        "rows = [r for r in DBF('" + std::string(PathC60()) + ".dbf', encoding='latin-1') if r['TCODE'].strip() == '" +
            account + "']\n"
        "rows.sort(key=lambda r: (r['TMOIS'], r['TJOUR']))\n"
        "out = []\n"
        "for r in rows:\n"
        "    line = lines[(r['TPIECE'], r['TCODE'].strip())]\n"
        "    out.append((r['" + sortField + "'] or '').strip() + '|' + (line['" + lineField + "'] or '').strip())\n"
        "sys.stdout.write(' '.join(out))\n",
        true);
  }

  TraBroLettrageManuel* OpenList(const std::string& account) {
    Menu(command_id::LettrageManuel);
    auto* form = WindowAt<TWTraModLettrageManuel>(kManualFormSlot);
    EXPECT_NE(form, nullptr) << test_support::ShownTexts();
    if (form == nullptr) return nullptr;
    form->AccountEdit()->SetValue(account, false);
    Send(form, matching_cmd::LettrerOuDelettrer);
    return WindowAt<TraBroLettrageManuel>(kManualListSlot);
  }
  void Select(TraBroLettrageManuel* list, long rank) {
    list->Store().selected = rank;
    gui::ProcessPendingMessages();
  }

  std::string folder_;
};

TEST_F(MatchingWindowTest, AutomaticMatchingTakesTheDossierLettersRemovesAndGivesItBack) {
  AddLines("CAUTO", {{'D', 100, 1}, {'C', 100, 2}, {'D', 40, 3}, {'C', 40, 4}});
  CloseWindows();
  // The other station is forked holding none of this station's tables (only the dossier's lock table).
  CloseAllTables();
  {
    test_support::OtherProcess station(&OtherStation);
    ASSERT_TRUE(station.Do('o'));
    Menu(command_id::LettrageAutomatique);
    EXPECT_EQ(WindowAt<TWTraModLettrageAutomatique>(kAutomaticFormSlot), nullptr);
    EXPECT_NE(test_support::ShownTexts().find(RTrim(LoadStr(kMsgDossierNotExclusive))), std::string::npos)
        << test_support::ShownTexts();
    ASSERT_TRUE(station.Do('c'));
    gui::ModalSeam::Reset();
    Menu(command_id::LettrageAutomatique);
    auto* form = WindowAt<TWTraModLettrageAutomatique>(kAutomaticFormSlot);
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    EXPECT_FALSE(station.Do('o')) << "held by this station while the form is open";
    EXPECT_FALSE(form->EurosBox()->IsWindowVisible()) << "a dossier kept in euros alone";
    // Ctrl+Page Up and Ctrl+Page Down in the start account go to the chart's first and last accounts; Ctrl+Page Up in
    // the end account takes the start's account.
    Send(form, 1214);
    const std::string first = form->StartEdit()->GetValue();
    EXPECT_FALSE(first.empty());
    Send(form, 1217);
    EXPECT_GT(form->StartEdit()->GetValue(), first);
    Send(form, 1218);
    EXPECT_EQ(form->EndEdit()->GetValue(), form->StartEdit()->GetValue());
    form->StartEdit()->SetValue("CAUTO", false);
    form->EndEdit()->SetValue("", false);
    EXPECT_FALSE(Enabled(form, matching_cmd::Lettrer)) << "an account edit is blank";
    form->EndEdit()->SetValue("CAUTO", false);
    EXPECT_TRUE(Enabled(form, matching_cmd::Lettrer));
    // The help character in an account asks for the lookup and runs nothing.
    form->StartEdit()->SetValue("CAU*", false);
    Send(form, matching_cmd::Lettrer);
    EXPECT_EQ(test_support::ShownTexts().find("Confirmez"), std::string::npos) << test_support::ShownTexts();
    EXPECT_EQ(form->StartEdit()->GetValue(), "CAU");
    form->StartEdit()->SetValue("CAUTO", false);
    test_support::Screenshot(form->Widget(), "processing", "automatic_form");
    BuildToolbar(form->ContextCommands, true);
    EXPECT_EQ(InstalledCommandsWithoutGlyph(), std::vector<unsigned>()) << "the form's bar";
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    Send(form, matching_cmd::Lettrer);
    EXPECT_NE(test_support::ShownTexts().find("La proc\xE9" "dure de Lettrages est termin\xE9" "e"), std::string::npos)
        << test_support::ShownTexts();
    test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "automatic_end");
    // The first group takes the form's letter, constant 029 (E00), the next one the letter after it.
    EXPECT_EQ(StoredLetters("CAUTO"), "E00|E00 E00|E00 E01|E01 E01|E01");
    // Removing only the letters "E00": the letter asked, then "Non".
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& d) {
      static_cast<TDFmtSaisie&>(d).Input()->SetText("E00");
    });
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    Send(form, matching_cmd::DeLettrer);
    EXPECT_EQ(StoredLetters("CAUTO"), "| | E01|E01 E01|E01");
    // The copy gives the francs the letters of the euros.
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    Send(form, matching_cmd::CopierLettrages);
    EXPECT_EQ(StoredLetters("CAUTO", false), "| | E01|E01 E01|E01");
    CloseWindows();
    EXPECT_EQ(GetDossierState(), '2');
    EXPECT_TRUE(station.Do('o')) << "given back";
  }
}

TEST_F(MatchingWindowTest, ManualMatchingMarksSavesAndHoldsTheAccount) {
  AddLines("CMAN", {{'D', 100, 1}, {'C', 60, 2}, {'C', 40, 3}});
  TraBroLettrageManuel* list = OpenList("CMAN");
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  auto* form = WindowAt<TWTraModLettrageManuel>(kManualFormSlot);
  ASSERT_NE(form, nullptr);
  test_support::Screenshot(form->Widget(), "processing", "manual_form");
  EXPECT_EQ(list->Store().totalRows, 3);
  Select(list, 1);
  Send(list, matching_cmd::Lettrer);
  EXPECT_NE(list->StatusText().find("100.00 Db"), std::string::npos) << list->StatusText();
  EXPECT_FALSE(Enabled(list, form_cmd::Enregistrer));
  Select(list, 2);
  Send(list, matching_cmd::Lettrer);
  EXPECT_FALSE(Enabled(list, form_cmd::Enregistrer));
  Select(list, 3);
  Send(list, matching_cmd::Lettrer);
  EXPECT_NE(list->StatusText().find("3 lignes"), std::string::npos) << list->StatusText();
  EXPECT_TRUE(Enabled(list, form_cmd::Enregistrer));
  test_support::Screenshot(list->Widget(), "processing", "manual_list");
  list->Activate();
  gui::ProcessPendingMessages();
  EXPECT_EQ(ToolbarCommandList[0], 7u);
  EXPECT_EQ(InstalledCommandsWithoutGlyph(), std::vector<unsigned>()) << "the list's bar";
  test_support::Screenshot(MainControlBar->Widget(), "processing", "manual_toolbar");
  // A second 20601 brings the list forward, it makes no second list.
  Menu(command_id::LettrageManuel);
  EXPECT_EQ(WindowAt<TraBroLettrageManuel>(kManualListSlot), list);
  // F12 saves, as the list's menu shows.
  list->Activate();
  test_support::SendKey(list->Widget(), test_support::kKeyPress, gui::VK_F12);
  test_support::SendKey(list->Widget(), test_support::kKeyRelease, gui::VK_F12);
  gui::ProcessPendingMessages();
  EXPECT_EQ(WindowAt<TraBroLettrageManuel>(kManualListSlot), nullptr) << "saving closes the list";
  EXPECT_EQ(StoredLetters("CMAN"), "E01|E01 E01|E01 E01|E01");
}

// The list shows its titles and cells whole: none cut short behind a tooltip ("Jou…", "Lettre A…",
// "Nouvelle…" were), amounts up to 999 999 999.99 included (the picture: the list at its opening size).
TEST_F(MatchingWindowTest, TheManualListShowsItsTitlesAndCellsWhole) {
  AddLines("CWIDE", {{'D', 999999999.99, 1}, {'C', 999999999.99, 2}});
  TraBroLettrageManuel* list = OpenList("CWIDE");
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  Select(list, 1);
  Send(list, matching_cmd::Lettrer);
  test_support::Screenshot(list->Widget(), "processing", "manual_list_whole");
  int seen = 0;
  EXPECT_EQ(test_support::CutTexts(*list, 2, &seen), std::vector<std::string>());
  EXPECT_EQ(seen, test_support::ShownColumnCount(*list)) << "every column looked at";
}

// The line form keeps the auxiliary account it posted and sends 20601: the form opens on it, or takes it when open.
TEST_F(MatchingWindowTest, AChainedMatchingOpensTheFormOnTheLineFormsAccount) {
  StoreSessionCode("CCHAIN  ");
  Menu(command_id::LettrageManuel);
  auto* form = WindowAt<TWTraModLettrageManuel>(kManualFormSlot);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->AccountEdit()->GetValue(), "CCHAIN");
  StoreSessionCode("CSUITE  ");
  Menu(command_id::LettrageManuel);
  EXPECT_EQ(WindowAt<TWTraModLettrageManuel>(kManualFormSlot), form) << "no second form";
  EXPECT_EQ(form->AccountEdit()->GetValue(), "CSUITE");
}

TEST_F(MatchingWindowTest, AnAccountAnotherStationMatchesGetsNoList) {
  AddLines("CLOCK", {{'D', 100, 1}, {'C', 100, 2}});
  test_support::OtherProcess station(&OtherStation);
  ASSERT_TRUE(station.Do('a'));
  const int before = beeps;
  EXPECT_EQ(OpenList("CLOCK"), nullptr);
  EXPECT_GT(beeps, before);
}

TEST_F(MatchingWindowTest, SolderEtEnregistrerWritesTheBalancingPiece) {
  // The lines in the sales journal: the piece of the journal OD makes its journal-month, which the open list of the
  // journal-months then shows.
  AddLines("CBAL", {{'D', 100, 1, "VE"}, {'C', 99.60, 2, "VE"}});
  InstallEntryCommands();
  Menu(command_id::SaisieEcritures);
  auto* months = WindowAt<CMDIBrowse>(kHeadersListSlot);
  ASSERT_NE(months, nullptr) << test_support::ShownTexts();
  const long monthsBefore = months->Store().totalRows;
  TheDossierRecord.SetConstant(52, "1\x80");
  const long piece = std::atol(TheDossierRecord.NextPiece().c_str());
  TraBroLettrageManuel* list = OpenList("CBAL");
  ASSERT_NE(list, nullptr);
  Select(list, 1);
  Send(list, matching_cmd::Lettrer);
  Select(list, 2);
  Send(list, matching_cmd::Lettrer);
  EXPECT_FALSE(Enabled(list, form_cmd::Enregistrer));
  EXPECT_TRUE(Enabled(list, matching_cmd::SolderEtEnregistrer));
  Send(list, matching_cmd::SolderEtEnregistrer);
  EXPECT_EQ(WindowAt<TraBroLettrageManuel>(kManualListSlot), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(StoredLetters("CBAL"), "E01|E01 E01|E01 E01|E01");
  EXPECT_EQ(std::atol(TheDossierRecord.NextPiece().c_str()), piece + 1);
  EXPECT_EQ(months->Store().totalRows, monthsBefore + 1) << "the list of the journal-months read its rows again";
  for (unsigned id : {command_id::SaisieEcritures, command_id::ActiverSaisie, command_id::ModDetJournaux,
                      command_id::ValidationJournaux})
    SetCommandWork(id, {});
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

// A draft grown to 999,999 records (the records past the real ones left sparse): the balancing
// piece writes nothing and shows the rebuild's refusal.
TEST_F(MatchingWindowTest, SolderEtEnregistrerOnAFullDraftWritesNothing) {
  AddLines("CFULL", {{'D', 100, 1}, {'C', 99.60, 2}});
  TheDossierRecord.SetConstant(52, "1\x80");
  const std::string piece = TheDossierRecord.NextPiece();
  CloseAllTables();
  const std::string dbf = platform::ResolvePath(std::string(PathC50()) + ".dbf");
  {
    std::fstream f(dbf, std::ios::in | std::ios::out | std::ios::binary);
    unsigned char head[12];
    f.read(reinterpret_cast<char*>(head), 12);
    const std::size_t header = head[8] | head[9] << 8, length = head[10] | head[11] << 8;
    f.close();
    fs::resize_file(dbf, header + 999999 * length + 1);
    std::fstream g(dbf, std::ios::in | std::ios::out | std::ios::binary);
    g.seekp(4);
    g.write("\x3F\x42\x0F\x00", 4);
    g.seekp(static_cast<std::streamoff>(header + 999998 * length));
    g.write(" ", 1);
    g.seekp(static_cast<std::streamoff>(header + 999999 * length));
    g.write("\x1A", 1);
  }
  const auto size = fs::file_size(dbf);
  TraBroLettrageManuel* list = OpenList("CFULL");
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  Select(list, 1);
  Send(list, matching_cmd::Lettrer);
  Select(list, 2);
  Send(list, matching_cmd::Lettrer);
  ASSERT_TRUE(Enabled(list, matching_cmd::SolderEtEnregistrer));
  Send(list, matching_cmd::SolderEtEnregistrer);
  EXPECT_NE(test_support::ShownTexts().find("999 999 lignes"), std::string::npos) << test_support::ShownTexts();
  test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "balance_too_many_lines");
  EXPECT_EQ(fs::file_size(dbf), size) << "nothing appended";
  EXPECT_EQ(TheDossierRecord.NextPiece(), piece);
  EXPECT_NE(WindowAt<TraBroLettrageManuel>(kManualListSlot), nullptr) << "the list stays open";
}

// "Solder et Enregistrer" whose writes the system refuses (the piece counter, the piece's line, its sort
// record, the account's total; a full disk or an error of the disk): each time one box saying in one
// sentence that the piece was not written and why (the file named), the list open with its marks, no
// line of the piece left and no letter written; once the disk lets it, the same command writes it.
TEST_F(MatchingWindowTest, SolderEtEnregistrerRefusedByTheDiskSaysWhyInOneSentence) {
  AddLines("CREF", {{'D', 100, 1}, {'C', 99.60, 2}});
  TheDossierRecord.SetConstant(52, "1\x80");
  TraBroLettrageManuel* list = OpenList("CREF");
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  Select(list, 1);
  Send(list, matching_cmd::Lettrer);
  Select(list, 2);
  Send(list, matching_cmd::Lettrer);
  const std::string letters = StoredLetters("CREF");
  auto liveLines = [] {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
    long n = 0;
    for (bool more = c50.GoTop(L::kCodeTag); more; more = c50.Skip(1)) n += c50.IsDeleted() ? 0 : 1;
    return n;
  };
  const long lines = liveLines();
  const std::string start = "La pi\xE8" "ce soldant l'\xE9" "cart n'a pas \xE9t\xE9 \xE9" "crite (";
  const struct {
    const char* what;
    const char* file;
    platform::WriteFault fault;
  } cases[] = {
      {"the piece counter, disk full", "c10mt.dbf", platform::WriteFault::kFullOnce},
      {"the piece's line, disk full", "c50mt.dbf", platform::WriteFault::kFullOnce},
      {"its sort record, an error of the disk", "c60mt.dbf", platform::WriteFault::kFailOnce},
      {"the account's total, an error of the disk", "c20mt.dbf", platform::WriteFault::kFailOnce},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    gui::ModalSeam::Reset();
    ASSERT_TRUE(Enabled(list, matching_cmd::SolderEtEnregistrer));
    test_support::RefusedWrite::Arm(c.file, 1, c.fault);
    Send(list, matching_cmd::SolderEtEnregistrer);
    EXPECT_GE(test_support::RefusedWrite::Seen(), 1) << "the write refused was made";
    test_support::RefusedWrite::Disarm();
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
    const std::string& said = gui::ModalSeam::Shown()[0].text;
    EXPECT_EQ(said.rfind(start, 0), 0u) << said;
    EXPECT_NE(said.find(c.file), std::string::npos) << said;
    EXPECT_EQ(WindowAt<TraBroLettrageManuel>(kManualListSlot), list) << "the list stays open";
    EXPECT_EQ(liveLines(), lines) << "no line of the piece left";
    EXPECT_EQ(StoredLetters("CREF"), letters);
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << check.Report();
  }
  test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "balance_refused_by_the_disk");
  gui::ModalSeam::Reset();
  Send(list, matching_cmd::SolderEtEnregistrer);
  EXPECT_EQ(WindowAt<TraBroLettrageManuel>(kManualListSlot), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(liveLines(), lines + 2);
  EXPECT_EQ(StoredLetters("CREF"), "E01|E01 E01|E01 E01|E01");
}

TEST_F(MatchingWindowTest, AWordWithAnAccentIsFoundWhateverConstant064) {
  // Constant 064 "NON": neither the words nor the texts are folded, so "é" typed finds "é".
  AddLines("CACC", {{'D', 10, 1}, {'C', 10, 2}});
  {
    Table c50;
    ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
    ASSERT_TRUE(c50.GoTo(static_cast<long>(c50.RecCount())));
    const test_support::SetUpPermit permit("libelle mis en place");
    ASSERT_TRUE(c50.PutField(L::BLIB, "Remise ch\xE8que"));
  }
  for (const char* c064 : {"NON", "OUI"}) {
    SCOPED_TRACE(c064);
    TheDossierRecord.SetConstant(64, c064);
    TraBroLettrageManuel* list = OpenList("CACC");
    ASSERT_NE(list, nullptr);
    Select(list, 1);
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& d) {
      static_cast<TDFmtSaisie&>(d).Input()->SetText("ch\xE8que");
    });
    Send(list, matching_cmd::Chercher);
    EXPECT_EQ(list->Store().selected, 2) << test_support::ShownTexts();
    Send(list, browse_cmd::Quitter);
    gui::ModalSeam::Reset();
  }
}

TEST_F(MatchingWindowTest, TheWordSearchFindsWordsAndStopsOnEscape) {
  AddLines("CWORD", {{'D', 1234.56, 1}, {'C', 20, 2}, {'C', 1214.56, 3}});
  TraBroLettrageManuel* list = OpenList("CWORD");
  ASSERT_NE(list, nullptr);
  Select(list, 1);
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& d) {
    static_cast<TDFmtSaisie&>(d).Input()->SetText("NEANT|20.00");
  });
  Send(list, matching_cmd::Chercher);
  EXPECT_EQ(list->Store().selected, 2) << test_support::ShownTexts();
  Send(list, matching_cmd::ChercherEncore);
  EXPECT_NE(test_support::ShownTexts().find("introuvable"), std::string::npos) << test_support::ShownTexts();
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& d) {
    static_cast<TDFmtSaisie&>(d).Input()->SetText("1 214&RIEN");
  });
  Select(list, 1);
  Send(list, matching_cmd::Chercher);
  EXPECT_EQ(list->Store().selected, 3) << test_support::ShownTexts();
  gui::ModalSeam::Reset();
  Select(list, 1);
  gui::NoteKeyDown(gui::VK_ESCAPE);
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& d) {
    static_cast<TDFmtSaisie&>(d).Input()->SetText("NEANT");
  });
  Send(list, matching_cmd::Chercher);
  gui::NoteKeyUp(gui::VK_ESCAPE);
  EXPECT_NE(test_support::ShownTexts().find("Recherche Interrompue"), std::string::npos) << test_support::ShownTexts();
  test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "search_interrupted");
}

TEST_F(MatchingWindowTest, EscapeClosesTheListButNotWhenItStoppedASearch) {
  AddLines("CESC", {{'D', 10, 1}, {'C', 10, 2}});
  TraBroLettrageManuel* list = OpenList("CESC");
  ASSERT_NE(list, nullptr);
  list->Activate();
  gui::ProcessPendingMessages();
  QWidget* keys = list->View()->Widget();
  // Escape pressed while the search runs (here, as its words are asked) stops it; let go afterwards, it leaves
  // the list open.
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [keys](gui::Window& d) {
    static_cast<TDFmtSaisie&>(d).Input()->SetText("NEANT");
    test_support::SendKey(keys, test_support::kKeyPress, gui::VK_ESCAPE);
  });
  Send(list, matching_cmd::Chercher);
  test_support::SendKey(keys, test_support::kKeyRelease, gui::VK_ESCAPE);
  gui::ProcessPendingMessages();
  ASSERT_EQ(WindowAt<TraBroLettrageManuel>(kManualListSlot), list) << "the release of a search's Escape closed the list";
  // Pressed and let go on the list: the list closes, as F9 closes it.
  test_support::SendKey(keys, test_support::kKeyPress, gui::VK_ESCAPE);
  test_support::SendKey(keys, test_support::kKeyRelease, gui::VK_ESCAPE);
  gui::ProcessPendingMessages();
  EXPECT_EQ(WindowAt<TraBroLettrageManuel>(kManualListSlot), nullptr) << test_support::ShownTexts();
}


// The lines of an account at 1, 10 million, a billion and 15 244 901 723,74 either way (the widest the
// most the totals still take beside the others): each amount
// whole and grouped in its column, the balance of the lines marked whole with its side in the status
// (past what a total holds as they add up), and the word search finding an amount as the list shows
// it.
TEST_F(MatchingWindowTest, AmountsSweepTheListTheStatusAndTheSearchShowEveryAmountWhole) {
  if (!TableC10->isOpen) {
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
  }
  if (!TableC20->isOpen) {
    ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
  }
  // Each line written alone, the widest of a side last.
  const std::vector<long long> amounts = test_support::WriteSweepLines("C603", "OD", "CSWEEP", true);
  ASSERT_FALSE(::testing::Test::HasFailure());
  TraBroLettrageManuel* list = OpenList("CSWEEP");
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  list->MoveWindow(gui::Rect{0, 0, 1250, 420});
  gui::ProcessPendingMessages();
  ASSERT_EQ(list->Store().totalRows, static_cast<long>(test_support::LineSweepCents().size()));
  test_support::SweepFaults faults;
  long long marked = 0;
  for (std::size_t k = 0; k < amounts.size(); ++k) {
    const long long cents = amounts[k];
    Select(list, static_cast<long>(k + 1));
    const std::string row = list->SelectedRow();
    faults.Add(test_support::AmountFault("manual list, row " + std::to_string(k + 1), list->Cell(row, cents > 0 ? 8 : 9),
                                         cents < 0 ? -cents : cents, test_support::Shown::kBare));
    Send(list, matching_cmd::Lettrer);
    marked += cents;
    if (marked != 0)
      faults.Add(test_support::AmountFault("manual list's status", list->StatusText(), marked, test_support::Shown::kSided));
    faults.Add(test_support::GroupedFault("manual list's status", list->StatusText()));
    if (k == 3) test_support::Screenshot(list->Widget(), "processing", "amounts_sweep_manual_list");
  }
  for (const std::string& cut : test_support::CutTexts(*list, static_cast<int>(test_support::LineSweepCents().size())))
    faults.Add("manual list: cut: " + cut);
  // The word search reads an amount as the list shows it.
  for (std::size_t k = 0; k < amounts.size(); ++k) {
    const long long cents = amounts[k];
    if (cents < 0) continue;  // the same words as the amount above zero, found first
    Select(list, 1);
    gui::ModalSeam::Reset();
    const std::string word = test_support::GroupedDigits(cents);
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [word](gui::Window& d) { static_cast<TDFmtSaisie&>(d).Input()->SetText(word); });
    Send(list, matching_cmd::Chercher);
    if (list->Store().selected != static_cast<long>(k + 1))
      faults.Add("word search of '" + word + "': row " + std::to_string(list->Store().selected) + " " + test_support::ShownTexts());
  }
  faults.Report();
}
}  // namespace

// The generated dossier with its matched and unmatched customer and supplier lines, a third of its months closed.
class GeneratedMatchingTest : public MatchingWindowTest {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallMatchingCommands();
    DemoOptions options;
    options.folder = root_ + "/gen";
    options.code = "GM";
    options.lines = 1500;
    options.closedMonths = -1;
    options.matchings = true;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    folder_ = options.folder + "/";
    OpenThroughDialog(C10Path(folder_, "GM"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "GM") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
  }

  // Python reading the lettered general lines of the draft and closed files: (file, index, currency, account,
  // letter, signed cents) in `lettered`, the customer accounts of the chart in `customers`.
  std::string Reader() const {
    return "import sys, ast\nfrom dbfread import DBF\nlettered = set()\n"
           "for tag, path, p in (('B', '" + std::string(PathC50()) + "', 'B'), ('C', '" + std::string(PathC40()) +
           "', 'D')):\n"
           "    for i, r in enumerate(DBF(path + '.dbf', encoding='latin-1')):\n"
           "        sign = 1 if r[p + 'SENS'] == 'D' else -1\n"
           "        for cur, let, amt in (('F', 'LET', 'MONTANTF'), ('E', 'LETE', 'MONTANTE')):\n"
           "            letter = (r[p + let] or '').strip()\n"
           "            if letter:\n"
           "                lettered.add((tag, i, cur, r[p + 'CODE'].strip(), letter, sign * round((r[p + amt] or 0) * 100)))\n"
           "customers = sorted(list(r.values())[0].strip() for r in DBF('" + std::string(PathC20()) +
           ".dbf', encoding='latin-1') if (list(r.values())[24] or '').strip() == '41100000')\n";
  }
  std::string snapshot_ = root_ + "/letters.txt";
};

// 20602 over every customer account: each group sharing a letter on an account balances in its currency, the
// generator's letters stay and new groups are lettered; 20601 then lists a customer account's lines.
TEST_F(GeneratedMatchingTest, AutomaticMatchingOfTheCustomersKeepsTheGivenLettersAndBalancesEveryGroup) {
  const std::string customers = test_support::RunPythonScript(
      Reader() + "open('" + snapshot_ + "', 'w').write(repr(lettered))\n"
                 "sys.stdout.write(customers[0] + ' ' + customers[-1] + ' ' + str(len(lettered)))\n", true);
  std::istringstream in(customers);
  std::string first, last;
  long given = 0;
  ASSERT_TRUE(in >> first >> last >> given) << customers;
  ASSERT_GT(given, 0) << "the generator letters matched lines";
  // Beside its unmatched lines, which it leaves a cent apart, a group of three that only the run can letter.
  AddLines(first, {{'D', 100, 1, "OD", "C610"}, {'C', 60, 2, "OD", "C610"}, {'C', 40, 3, "OD", "C610"}});
  CloseWindows();
  Menu(command_id::LettrageAutomatique);
  auto* form = WindowAt<TWTraModLettrageAutomatique>(kAutomaticFormSlot);
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  form->StartEdit()->SetValue(first, false);
  form->EndEdit()->SetValue(last, false);
  form->DateEdit()->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
  form->PowerCombo()->SetValue("3 montants", false);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(form, matching_cmd::Lettrer);
  EXPECT_NE(test_support::ShownTexts().find("La proc\xE9" "dure de Lettrages est termin\xE9" "e"), std::string::npos)
      << test_support::ShownTexts();
  CloseWindows();
  const std::string check = test_support::RunPythonScript(
      Reader() + "before = ast.literal_eval(open('" + snapshot_ + "').read())\n"
                 "sums, old = {}, set((b[2], b[3], b[4]) for b in before)\n"
                 "for l in lettered:\n"
                 "    sums[l[2:5]] = sums.get(l[2:5], 0) + l[5]\n"
                 "unbalanced = sorted(k for k, v in sums.items() if v != 0)\n"
                 "new = [k for k in sums if k not in old and k[1] in customers]\n"
                 "sys.stdout.write('unbalanced %s lost %d new %d' % (unbalanced[:3], len(before - lettered), "
                 "len(new)))\n", true);
  EXPECT_EQ(check, "unbalanced [] lost 0 new 1") << test_support::ShownTexts();
  gui::ModalSeam::Reset();
  // The manual list of the first customer over the whole year shows each of its lines (one sort record each).
  const std::string count = test_support::RunPythonScript(
      "import sys\nfrom dbfread import DBF\nsys.stdout.write(str(sum(1 for r in DBF('" + std::string(PathC60()) +
          ".dbf', encoding='latin-1') if r['TCODE'].strip() == '" + first + "')))\n", true);
  Menu(command_id::LettrageManuel);
  auto* manual = WindowAt<TWTraModLettrageManuel>(kManualFormSlot);
  ASSERT_NE(manual, nullptr) << test_support::ShownTexts();
  manual->AccountEdit()->SetValue(first, false);
  manual->LastDateEdit()->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
  Send(manual, matching_cmd::LettrerOuDelettrer);
  auto* list = WindowAt<TraBroLettrageManuel>(kManualListSlot);
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  EXPECT_GT(list->Store().totalRows, 0);
  EXPECT_EQ(std::to_string(list->Store().totalRows), count);
}
