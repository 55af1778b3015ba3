// The copy of code ranges between two dossiers, started from the lists' "Ajouter à partir d'un
// autre dossier" (20067) and "Ajouter vers un autre dossier" (20069) as a user starts it: both
// ways for a code kind of the general file, the chart of accounts and the analytic sections; the
// receivers read back with python3-dbfread; the refusals; another station in the other dossier.
#include <QWidget>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/locks.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "framework/browse.h"
#include "framework/browse_services.h"
#include "framework/lock_notice.h"
#include "framework/lookup_dialog.h"
#include "masterdata/core/chart_files.h"
#include "masterdata/core/code_kinds.h"
#include "masterdata/masterdata_commands.h"
#include "platform/gui/command.h"
#include "platform/gui/modal_seam.h"
#include "processing/code_copy_dialogs.h"
#include "processing/opening_balances_window.h"
#include "runtime/xbase.h"
#include "resources/command_ids.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/books_writes.h"
#include "support/dossier_fixture.h"
#include "support/dossier_passwords.h"
#include "support/other_process.h"
#include "support/python.h"

namespace {

// A record of a list's kind: its code, name and (accounts and sections) one year figure and
// its budget.
struct Rec {
  std::string code;
  std::string name;
  double figure = 0;
  double budget = 0;
  bool cancelled = false;
};

// How each kind's records are named in its table.
struct KindFields {
  const char* table;  // "c10", "c20", "c30"
  const char* tag;
  const char* code;
  const char* name;
  const char* figure;  // empty for C10
  const char* budget;
};

KindFields FieldsOf(char kind) {
  if (kind == '2') return {"c20", "C20CODE", "CCODE", "CLIB", "CDEBITF", "CBUDGETF"};
  if (kind == '3') return {"c30", "C30CODE", "ACODE", "ALIB", "ADEBITF", "ABUDGETF"};
  return {"c10", "C10CODE", "GCODE", "GLIB", "", ""};
}

class CodeCopyTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallMasterDataCommands();
    InstallYearEndCommands();
    a_ = Make("a", "SA");
    b_ = Make("b", "SB");
  }
  void TearDown() override {
    CloseWindows();
    BrowseHooks() = BrowseServices{};
    for (const masterdata::CodeKind& k : masterdata::CodeKinds()) SetCommandWork(k.command, {});
    for (unsigned id : {command_id::DonneesPlanComptable, command_id::DonneesSectionsAnal}) SetCommandWork(id, {});
    SetCommandWork(command_id::GenerationSoldesANouveau, {});
    DossierFixture::TearDown();
  }
  std::string Make(const std::string& folder, const std::string& code) {
    DemoOptions o;
    o.folder = root_ + "/" + folder;
    o.code = code;
    o.lines = 40;
    o.analyticMode = '1';
    std::string message;
    EXPECT_TRUE(GenerateDemoDossier(o, &message)) << message;
    return o.folder + "/";
  }
  void OpenA() {
    OpenThroughDialog(C10Path(a_, "SA"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "SA") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    SetProgramOption(3, 'N');
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
  }
  // The list of a kind, opened from the "Données" menu.
  CMDIBrowse* OpenList(char kind) {
    const masterdata::CodeKind* k = kind == '2' || kind == '3' ? masterdata::FindChartKind(kind)
                                                               : masterdata::FindCodeKind(kind);
    gui::PostCommand(CommandWindow->GetHandle(), kind == '2' ? 20309u : kind == '3' ? 20310u : k->command);
    gui::ProcessPendingMessages();
    auto* list = dynamic_cast<CMDIBrowse*>(gui::Window::FromHandle(SlotHandle(k->listSlot)));
    EXPECT_NE(list, nullptr) << kind << "\n" << test_support::ShownTexts();
    return list;
  }
  static void Send(gui::Window* w, unsigned command) {
    gui::SendCommand(w->GetHandle(), command);
    gui::ProcessPendingMessages();
  }
  // Writes the records into a dossier's table of the kind, as another program would.
  static void Put(const std::string& folder, const std::string& code, char kind, const std::vector<Rec>& recs) {
    const test_support::SetUpPermit permit("codes mis en place");
    const KindFields f = FieldsOf(kind);
    Table t;
    ASSERT_TRUE(t.OpenShared(folder + f.table + Lower(code.c_str()), f.tag));
    for (const Rec& r : recs) {
      ASSERT_TRUE(t.AppendBlank());
      if (kind != '2' && kind != '3') t.PutField(t.FieldPos("GCLE"), std::string(1, kind).c_str());
      t.PutField(t.FieldPos(f.code), r.code.c_str());
      t.PutField(t.FieldPos(f.name), r.name.c_str());
      if (*f.figure != '\0') {
        t.PutFieldNum(t.FieldPos(f.figure), r.figure);
        t.PutFieldNum(t.FieldPos(f.budget), r.budget);
      }
      ASSERT_TRUE(t.InsertRecord());
      if (r.cancelled) {
        ASSERT_TRUE(t.DeleteRecord(nullptr, 0));
        UnlockRecord(t);
      }
      ASSERT_TRUE(t.Commit());
    }
  }
  // The records of the kind whose code begins with "ZC", as python3-dbfread reads them:
  // code -> "name|figure|budget" (cancelled ones with "x" before).
  static std::map<std::string, std::string> Read(const std::string& folder, const std::string& code, char kind) {
    const KindFields f = FieldsOf(kind);
    const std::string figure = *f.figure ? std::string("r['") + f.figure + "']" : "''";
    const std::string budget = *f.budget ? std::string("r['") + f.budget + "']" : "''";
    const std::string kindTest = kind == '2' || kind == '3' ? "True" : "r['GCLE'] == '" + std::string(1, kind) + "'";
    const std::string out = test_support::RunPythonScript(
        "from dbfread import DBF\n"
        "t = DBF('" + folder + f.table + Lower(code.c_str()) + ".dbf', encoding='cp1252', ignore_missing_memofile=True)\n"
        "def show(r, mark):\n"
        "    if " + kindTest + " and r['" + f.code + "'].startswith('ZC'):\n"
        "        print(mark + r['" + f.code + "'].rstrip() + '=' + r['" + f.name + "'].rstrip() + '|' + str(" + figure +
            ") + '|' + str(" + budget + "))\n"
        "for r in t: show(r, '')\n"
        "for r in t.deleted: show(r, 'x')\n",
        true);
    std::map<std::string, std::string> recs;
    std::size_t at = 0;
    for (std::size_t nl; (nl = out.find('\n', at)) != std::string::npos; at = nl + 1) {
      const std::string line = out.substr(at, nl - at);
      const std::size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      recs[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return recs;
  }
  // The other dossier chosen through the chooser of an open dialog.
  void Choose(gui::Window& dialog, const std::string& folder, const std::string& code) {
    gui::ModalSeam::QueueFileAnswer(C10Path(folder, code));
    gui::SendCommand(dialog.GetHandle(), CodeCopyDialog::kChooser);
  }
  static std::size_t Boxes(const std::string& text) {
    std::size_t n = 0;
    for (const gui::ShownModal& s : gui::ModalSeam::Shown())
      if (s.kind == gui::ModalKind::MessageBox && s.text.find(text) != std::string::npos) ++n;
    return n;
  }

  std::string a_, b_;
};

// The sources of each case: ZC1 new in the receiver, ZC2 present there with its own figures,
// ZC3 cancelled there, ZC4 cancelled in the source, ZC5 the last code of the range.
std::vector<Rec> Source() {
  return {{"ZC1", "Source un", 11, 12}, {"ZC2", "Source deux", 21, 22}, {"ZC3", "Source trois", 31, 32},
          {"ZC4", "Source quatre", 41, 42, true}, {"ZC5", "Source cinq", 51, 52}};
}
std::vector<Rec> Receiver() { return {{"ZC2", "Recu deux", 7, 8}, {"ZC3", "Recu trois", 9, 10, true}}; }

struct CopyCase {
  char kind;
  bool into;  // true: 20069 into the other dossier; false: 20067 from it
};

class CodeCopyBothWays : public CodeCopyTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CodeCopyBothWays, NewCodesAreAddedExistingOnesKeepTheirFiguresCancelledOnesStay) {
  const CopyCase c = GetParam();
  const bool c10 = c.kind != '2' && c.kind != '3';
  const std::string from = c.into ? a_ : b_, fromCode = c.into ? "SA" : "SB";
  const std::string to = c.into ? b_ : a_, toCode = c.into ? "SB" : "SA";
  Put(from, fromCode, c.kind, Source());
  Put(to, toCode, c.kind, Receiver());
  // A code of the next kind that sorts inside the range: the walk ends with the list's kind.
  if (c10) Put(from, fromCode, static_cast<char>(c.kind + 1), {{"ZC2A", "Autre sorte"}});
  OpenA();
  CMDIBrowse* list = OpenList(c.kind);
  ASSERT_NE(list, nullptr);
  const long rows = list->Store().totalRows;
  const std::string picture = std::string(c.into ? "code_copy_out_" : "code_copy_in_") + c.kind;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& w) {
    auto& dialog = dynamic_cast<CodeCopyDialog&>(w);
    if (c.into) {
      Choose(dialog, b_, "SB");
    } else {
      // The dialog opens its chooser at once.
      gui::ModalSeam::QueueFileAnswer(C10Path(b_, "SB"));
      gui::ProcessPendingMessages();
    }
    EXPECT_EQ(dialog.DossierEdit()->GetText(), "SB");
    dialog.FirstEdit()->SetText("ZC1");
    dialog.LastEdit()->SetText("ZC5");
    dialog.Show(gui::SW_SHOWNORMAL);
    test_support::Screenshot(dialog.OuterWidget(), "processing", picture);
  });
  if (c.into) {
    ASSERT_TRUE(list->LocateCode("ZC1"));
    Send(list, browse_cmd::AjouterVers);
  } else {
    Send(list, browse_cmd::AjouterDepuis);
  }
  ASSERT_FALSE(gui::ModalSeam::Shown().empty());
  EXPECT_EQ(gui::ModalSeam::Shown()[0].resourceId, c.into ? 1315 : 1316) << test_support::ShownTexts();
  EXPECT_EQ(Boxes(""), 0u) << test_support::ShownTexts();

  const auto got = Read(to, toCode, c.kind);
  const std::string zero = c10 ? "||" : "|0.0|0.0";
  EXPECT_EQ(got.at("ZC1"), "Source un" + zero) << "appended with zero figures";
  EXPECT_EQ(got.at("ZC2"), "Source deux" + std::string(c10 ? "||" : "|7.0|8.0")) << "its own figures kept";
  EXPECT_EQ(got.count("ZC3"), 0u);
  EXPECT_EQ(got.at("xZC3"), "Recu trois" + std::string(c10 ? "||" : "|9.0|10.0")) << "cancelled: untouched";
  EXPECT_EQ(got.count("ZC4"), 0u) << "cancelled in the source";
  EXPECT_EQ(got.at("ZC5"), "Source cinq" + zero);
  EXPECT_EQ(got.size(), 4u) << "nothing beyond the range or its kind";
  if (c10) {
    EXPECT_EQ(Read(to, toCode, static_cast<char>(c.kind + 1)).size(), 0u) << "another kind";
  }
  // The source is not changed; a copy into the open dossier shows the codes it added.
  EXPECT_EQ(Read(from, fromCode, c.kind).at("ZC2"), std::string("Source deux") + (c10 ? "||" : "|21.0|22.0"));
  if (!c.into) {
    EXPECT_EQ(list->Store().totalRows, rows + 2);
    EXPECT_EQ(RTrim(list->GetSelectedRowText().c_str()), std::string("ZC5"));
  } else {
    EXPECT_EQ(list->Store().totalRows, rows);
  }
}

// Each refusal keeps the dialog open with its reason and writes nothing into either dossier.
TEST_F(CodeCopyTest, EachRefusalSaysWhyAndWritesNothing) {
  Put(a_, "SA", 'J', {{"ZC1", "Seulement ici"}, {"ZC5", "Ici et la"}});
  Put(b_, "SB", 'J', {{"ZC5", "Ici et la"}});
  struct Case {
    bool into;
    const char* dossier;  // "B": chosen with the chooser; otherwise typed (in the open dossier's folder)
    const char* first;
    const char* last;
    const char* message;
  };
  const Case cases[] = {
      {true, "B", "", "ZC5", "Entrez un Code d\xE9" "but"},
      {true, "B", "ZC1", "", "Entrez un Code fin"},
      {true, "B", "ZC9", "ZC5", "Code d\xE9" "but inexistant"},
      {true, "B", "ZC1", "ZC9", "Code fin inexistant"},
      {true, "B", "ZC5", "ZC1", "Valeur fin incorrecte"},
      {true, "", "ZC1", "ZC5", "Entrez un Code dossier"},
      {true, "SA", "ZC1", "ZC5", "Le code dossier ne peut-\xEAtre celui ouvert"},
      {true, "ZZ", "ZC1", "ZC5", "Dossier inexistant ou incorrect"},
      {false, "", "ZC1", "ZC5", "Entrez un Code dossier"},
      {false, "SA", "ZC1", "ZC5", "Le code dossier ne peut-\xEAtre celui ouvert"},
      {false, "ZZ", "ZC1", "ZC5", "Dossier inexistant ou incorrect"},
      {false, "B", "", "ZC5", "Entrez un Code d\xE9" "but"},
      {false, "B", "ZC5", "ZC1", "Valeur fin incorrecte"},
      // ZC1 lies in the open dossier only: the other dossier must hold both ends of the range.
      {false, "B", "ZC1", "ZC5", "Code d\xE9" "but inexistant"},
      {false, "B", "ZC5", "ZC9", "Code fin inexistant"},
  };
  OpenA();
  CMDIBrowse* list = OpenList('J');
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->LocateCode("ZC1"));
  const auto before = Read(b_, "SB", 'J');
  const auto ownBefore = Read(a_, "SA", 'J');
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.into ? "into " : "from ") + c.dossier + " " + c.first + "-" + c.last);
    gui::ModalSeam::Reset();
    std::string message;
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
      auto& dialog = dynamic_cast<CodeCopyDialog&>(w);
      gui::ProcessPendingMessages();  // 1316 opens its chooser at once: cancelled
      if (std::string(c.dossier) == "B") Choose(dialog, b_, "SB");
      else dialog.DossierEdit()->SetText(c.dossier);
      dialog.FirstEdit()->SetText(c.first);
      dialog.LastEdit()->SetText(c.last);
      gui::SendCommand(dialog.GetHandle(), gui::IDOK);
      message = dialog.Message();
      if (!c.into && std::string(c.first) == "ZC1" && std::string(c.dossier) == "B") {
        dialog.Show(gui::SW_SHOWNORMAL);
        test_support::Screenshot(dialog.OuterWidget(), "processing", "code_copy_in_refused");
      }
    });
    Send(list, c.into ? browse_cmd::AjouterVers : browse_cmd::AjouterDepuis);
    EXPECT_EQ(message, c.message) << test_support::ShownTexts();
  }
  EXPECT_EQ(Read(b_, "SB", 'J'), before);
  EXPECT_EQ(Read(a_, "SA", 'J'), ownBefore);
}

// While another station has the other dossier open, both ways refuse with the message of a
// dossier in use and write nothing; once it has left, the copy goes through.
TEST_F(CodeCopyTest, AnotherStationInTheOtherDossierStopsBothWays) {
  Put(a_, "SA", 'J', Source());
  Put(b_, "SB", 'J', Source());
  const std::string lock = DossierTablePathOf(b_, "SB");
  test_support::OtherProcess station([lock](char cmd) {
    static Table* t = new Table();
    if (cmd == 'o') return t->OpenShared(lock);
    if (cmd == 'c') return t->CloseTable(true);
    return false;
  });
  ASSERT_TRUE(station.Do('o'));
  OpenA();
  CMDIBrowse* list = OpenList('J');
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->LocateCode("ZC1"));
  const auto before = Read(b_, "SB", 'J');
  auto run = [&](bool into) {
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
      auto& dialog = dynamic_cast<CodeCopyDialog&>(w);
      if (!into) gui::ModalSeam::QueueFileAnswer(C10Path(b_, "SB"));
      gui::ProcessPendingMessages();
      if (into) Choose(dialog, b_, "SB");
      dialog.FirstEdit()->SetText("ZC1");
      dialog.LastEdit()->SetText("ZC5");
      gui::SendCommand(dialog.GetHandle(), gui::IDOK);
    });
    Send(list, into ? browse_cmd::AjouterVers : browse_cmd::AjouterDepuis);
  };
  const long rows = list->Store().totalRows;
  for (bool into : {true, false}) {
    run(into);
    EXPECT_EQ(Boxes("IMPOSSIBLE d'ouvrir l'autre dossier de mani\xE8re EXCLUSIVE"), 1u) << test_support::ShownTexts();
  }
  EXPECT_EQ(Read(b_, "SB", 'J'), before);
  EXPECT_EQ(list->Store().totalRows, rows);
  // The station leaves: the copy into it goes through.
  ASSERT_TRUE(station.Do('c'));
  run(true);
  EXPECT_EQ(Boxes("IMPOSSIBLE"), 0u) << test_support::ShownTexts();
}

// The lookups of the copy from another dossier list the other dossier's codes, and the list's
// table object is back on the open dossier afterwards.
TEST_F(CodeCopyTest, TheLookupFromAnotherDossierListsItsCodes) {
  Put(a_, "SA", 'J', {{"ZC1", "Seulement ici"}});
  Put(b_, "SB", 'J', {{"ZC7", "Seulement la-bas"}});
  OpenA();
  CMDIBrowse* list = OpenList('J');
  ASSERT_NE(list, nullptr);
  std::vector<std::string> rows;
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
    gui::ModalSeam::QueueFileAnswer(C10Path(b_, "SB"));
    gui::ProcessPendingMessages();
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& lookup) {
      rows = dynamic_cast<TDAideFichier&>(lookup).Rows().rows;
    });
    gui::SendCommand(w.GetHandle(), CodeCopyDialog::kFirstHelp);
  });
  Send(list, browse_cmd::AjouterDepuis);
  std::string all;
  for (const std::string& r : rows) all += r + "\n";
  EXPECT_NE(all.find("ZC7"), std::string::npos) << all;
  EXPECT_EQ(all.find("ZC1"), std::string::npos) << all;
  ASSERT_NE(TableC10, nullptr);
  EXPECT_TRUE(TableC10->isOpen);
  EXPECT_NE(TableC10->tablePath.find("c10sa"), std::string::npos) << TableC10->tablePath;
}

// A copy into the open dossier while another station edits one of the receivers: the copy waits
// for that record with the lock notice, then writes it over the station's own figures, kept.
test_support::OtherProcess* gStation = nullptr;
int gNotices = 0;

TEST_F(CodeCopyTest, ACopyIntoTheOpenDossierWaitsForARecordAnotherStationHolds) {
  Put(b_, "SB", '2', Source());
  Put(a_, "SA", '2', Receiver());
  const std::string c20 = a_ + "c20sa";
  test_support::OtherProcess station([c20](char cmd) {
    static Table* t = new Table();
    if (cmd == 'l') {
      // The station holds account ZC2 and has just written its debit.
      const test_support::SetUpPermit permit("total d un autre poste");
      if (!t->OpenShared(c20, "C20CODE") || !t->Seek("C20CODE", "ZC2") || !LockRecord(*t, nullptr, 0)) return false;
      return t->PutFieldNum(t->FieldPos("CDEBITF"), 99.0) && t->Commit();
    }
    if (cmd == 'r') return UnlockRecord(*t);
    return false;
  });
  ASSERT_TRUE(station.Do('l'));
  gStation = &station;
  gNotices = 0;
  SetLockNoticeHook([](const char*, const char*) {
    ++gNotices;
    gStation->Do('r');
  });
  OpenA();
  CMDIBrowse* list = OpenList('2');
  ASSERT_NE(list, nullptr);
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& w) {
    auto& dialog = dynamic_cast<CodeCopyDialog&>(w);
    gui::ModalSeam::QueueFileAnswer(C10Path(b_, "SB"));
    gui::ProcessPendingMessages();
    dialog.FirstEdit()->SetText("ZC1");
    dialog.LastEdit()->SetText("ZC5");
  });
  Send(list, browse_cmd::AjouterDepuis);
  SetLockNoticeHook(&ShowLockNotice);
  gStation = nullptr;
  EXPECT_EQ(gNotices, 1);
  const auto got = Read(a_, "SA", '2');
  EXPECT_EQ(got.at("ZC2"), "Source deux|99.0|8.0");
  EXPECT_EQ(got.at("ZC1"), "Source un|0.0|0.0");
}

// A copy whose run marker cannot be written into the receiving dossier says so and copies nothing.
TEST_F(CodeCopyTest, ACopyWhoseMarkerCannotBeWrittenCopiesNothing) {
  Put(a_, "SA", '2', Source());
  // A folder where the marker file would go: it cannot be put there.
  std::filesystem::create_directories(b_ + "csb.run");
  OpenA();
  CMDIBrowse* list = OpenList('2');
  ASSERT_NE(list, nullptr);
  const auto before = Read(b_, "SB", '2');
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& w) {
    auto& dialog = dynamic_cast<CodeCopyDialog&>(w);
    Choose(dialog, b_, "SB");
    dialog.FirstEdit()->SetText("ZC1");
    dialog.LastEdit()->SetText("ZC5");
  });
  ASSERT_TRUE(list->LocateCode("ZC1"));
  Send(list, browse_cmd::AjouterVers);
  ASSERT_EQ(Boxes("Le fichier de suivi du traitement ne peut pas \xEAtre \xE9" "crit"), 1u) << test_support::ShownTexts();
  for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
    if (shown.kind == gui::ModalKind::MessageBox)
      test_support::ScreenshotMessage(shown, "processing", "code_copy_marker_refused");
  EXPECT_EQ(Read(b_, "SB", '2'), before);
}

// A dossier with passwords is written into only with its privileged one: the secondary one and
// wrong ones, three tries, end the dialog before anything of that dossier is changed; the
// privileged one copies.
TEST_F(CodeCopyTest, AProtectedDossierIsWrittenIntoOnlyWithItsPrivilegedPassword) {
  Put(a_, "SA", '2', Source());
  test_support::StorePasswords(C10Path(b_, "SB"), "CHEF", "AIDE");
  OpenA();
  CMDIBrowse* list = OpenList('2');
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->LocateCode("ZC1"));
  const auto before = test_support::FilesButLog(b_);
  int result = 0;
  auto copy = [&](const std::vector<std::string>& typed, bool lastRight, const char* shot) {
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
      auto& dialog = dynamic_cast<CodeCopyDialog&>(w);
      Choose(dialog, b_, "SB");
      dialog.FirstEdit()->SetText("ZC1");
      dialog.LastEdit()->SetText("ZC5");
      test_support::QueuePasswords(typed, lastRight, shot, "Mot de passe privil\xE9gi\xE9");
      gui::SendCommand(dialog.GetHandle(), gui::IDOK);
      result = dialog.IsEnded() ? dialog.Result() : 0;
    });
    Send(list, browse_cmd::AjouterVers);
  };
  copy({"FAUX", "AIDE", "chef"}, false, "code_copy_out_password");
  EXPECT_EQ(test_support::PasswordPrompts(), 3);
  EXPECT_EQ(result, gui::IDCANCEL) << "the dialog ends";
  EXPECT_TRUE(ShownContains("SB n'est ni lu ni modifi\xE9 : le traitement est abandonn\xE9")) << ShownTexts();
  EXPECT_TRUE(test_support::FilesButLog(b_) == before) << "the protected dossier was written into";
  copy({"CHEF"}, true, nullptr);
  EXPECT_EQ(test_support::PasswordPrompts(), 1);
  EXPECT_EQ(result, gui::IDOK);
  EXPECT_EQ(Read(b_, "SB", '2').count("ZC1"), 1u) << "copied with the privileged password";
}

// A dossier with passwords is read (its codes copied, or listed by the lookup) with its secondary
// password only where its rights give that user the list and its addition to another dossier;
// otherwise the secondary password is refused with the right it lacks and the privileged one is
// asked. Three tries end the dialog with nothing read: the open dossier as it was.
TEST_F(CodeCopyTest, AProtectedDossierIsReadWithThePasswordItsRightsAllow) {
  const char* const anyPassword = "Mot de passe du dossier";
  const char* const privileged = "Mot de passe privil\xE9gi\xE9";
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> refused;  // rights SB withholds from its secondary user
    bool lookup;                               // the lookup of "Code début" first
    std::vector<std::string> typed;
    bool lastRight;
    const char* range;  // the codes copied: range + "1" to range + "2"
    const char* label;  // what the prompts ask for
    const char* why;    // the refusal of the secondary password ("": none)
  };
  const Case cases[] = {
      {"wrong three times", {}, false, {"FAUX", "chef", "aide"}, false, "ZCA", anyPassword, ""},
      {"secondary, the rights granting", {}, false, {"AIDE"}, true, "ZCB", anyPassword, ""},
      {"secondary, another list refused", {{5, 7}, {17, 1}}, false, {"AIDE"}, true, "ZCC", anyPassword, ""},
      {"secondary, the chart not added elsewhere", {{11, 7}}, false, {"AIDE", "AIDE", "AIDE"}, false, "ZCD",
       privileged, "\nle droit \xAB Ajouter vers un autre dossier \xBB de \xAB Plan Comptable \xBB"},
      {"secondary then privileged, the chart refused", {{11, 1}}, false, {"AIDE", "CHEF"}, true, "ZCE", privileged,
       "\nle droit \xAB Acc\xE8s \xBB de \xAB Plan Comptable \xBB"},
      {"lookup, wrong three times", {{11, 7}}, true, {"FAUX", "AIDE", "FAUX"}, false, "ZCF", privileged, ""},
      {"lookup, privileged", {{11, 7}}, true, {"CHEF"}, true, "ZCG", privileged, ""},
  };
  std::vector<Rec> sources;
  for (const Case& c : cases)
    for (const char* n : {"1", "2"}) sources.push_back({std::string(c.range) + n, std::string("Source ") + c.range});
  Put(b_, "SB", '2', sources);
  test_support::StorePasswords(C10Path(b_, "SB"), "CHEF", "AIDE");
  OpenA();
  CMDIBrowse* list = OpenList('2');
  ASSERT_NE(list, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test_support::StoreRights(C10Path(b_, "SB"), c.refused);
    const auto open = test_support::FilesButLog(a_);
    const auto other = test_support::FilesButLog(b_);
    const bool copies = c.lastRight;
    gui::ModalSeam::Reset();
    std::vector<std::string> looked;
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
      auto& dialog = dynamic_cast<CodeCopyDialog&>(w);
      gui::ModalSeam::QueueFileAnswer(C10Path(b_, "SB"));
      gui::ProcessPendingMessages();
      test_support::QueuePasswords(c.typed, c.lastRight, nullptr, c.label);
      if (c.lookup) {
        if (copies) {
          gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& lookup) {
            looked = dynamic_cast<TDAideFichier&>(lookup).Rows().rows;
          });
        }
        gui::SendCommand(dialog.GetHandle(), CodeCopyDialog::kFirstHelp);
        if (dialog.IsEnded()) return;
      }
      dialog.FirstEdit()->SetText(std::string(c.range) + "1");
      dialog.LastEdit()->SetText(std::string(c.range) + "2");
      gui::SendCommand(dialog.GetHandle(), gui::IDOK);
    });
    Send(list, browse_cmd::AjouterDepuis);
    EXPECT_EQ(test_support::PasswordPrompts(), static_cast<int>(c.typed.size())) << ShownTexts();
    if (*c.why != '\0') {
      EXPECT_TRUE(ShownContains(c.why)) << ShownTexts();
      for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
        if (shown.kind == gui::ModalKind::MessageBox && std::string(c.range) == "ZCD") {
          test_support::ScreenshotMessage(shown, "processing", "code_copy_in_right_refused");
          break;
        }
    }
    const auto got = Read(a_, "SA", '2');
    EXPECT_EQ(got.count(std::string(c.range) + "1") + got.count(std::string(c.range) + "2"), copies ? 2u : 0u);
    if (!copies) {
      EXPECT_TRUE(ShownContains("le traitement est abandonn\xE9")) << ShownTexts();
      EXPECT_TRUE(test_support::FilesButLog(a_) == open) << "the open dossier was written";
    }
    if (c.lookup) {
      std::size_t dialogs = 0;
      for (const gui::ShownModal& shown : gui::ModalSeam::Shown()) dialogs += shown.resourceId == 1309 ? 1 : 0;
      EXPECT_EQ(dialogs, copies ? 1u : 0u) << "the lookup of the other dossier's chart";
      EXPECT_EQ(looked.empty(), !copies);
    }
    EXPECT_TRUE(test_support::FilesButLog(b_) == other) << "the other dossier was written";
  }
}

// A dossier this run opened earlier, then left for another: at its secondary level, or before it had a
// password. A copy into it asks its privileged password all the same, the secondary one refused and
// nothing written until the privileged one is typed; a copy from it takes the secondary level it was
// opened at where its rights allow, and asks once more where they do not or where it was opened
// without a password.
TEST_F(CodeCopyTest, ADossierOpenedEarlierIsWrittenIntoOnlyWithItsPrivilegedPassword) {
  const char* const anyPassword = "Mot de passe du dossier";
  const char* const privileged = "Mot de passe privil\xE9gi\xE9";
  const std::string c = Make("c", "SC");
  Put(a_, "SA", '2', Source());
  for (const auto& [folder, code] : {std::pair{b_, "SB"}, std::pair{c, "SC"}})
    Put(folder, code, '2', {{"ZCR1", "Lu un"}, {"ZCR2", "Lu deux"}, {"ZCS1", "Lu trois"}, {"ZCS2", "Lu quatre"},
                                 {"ZCT1", "Lu cinq"}, {"ZCT2", "Lu six"}});
  test_support::StorePasswords(C10Path(b_, "SB"), "CHEF", "AIDE");
  OpenThroughDialog(C10Path(b_, "SB"), [] { test_support::QueuePasswords({"AIDE"}, true); });
  ASSERT_EQ(TheDossierRecord.UserLevel(), '2') << ShownTexts();
  OpenThroughDialog(C10Path(c, "SC"));
  ASSERT_EQ(TheDossierRecord.UserLevel(), '0') << ShownTexts();
  test_support::StorePasswords(C10Path(c, "SC"), "CHEF", "AIDE");
  OpenA();
  CMDIBrowse* list = OpenList('2');
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->LocateCode("ZC1"));
  struct Case {
    const char* what;
    const std::string* folder;
    const char* code;
    bool into;
    std::vector<std::pair<int, int>> refused;  // rights the other dossier withholds from its secondary user
    std::vector<std::string> typed;
    bool lastRight;
    const char* label;
    const char* range;  // copied from the other dossier: range + "1" to range + "2"
  };
  const Case cases[] = {
      {"into, secondary three times", &b_, "SB", true, {}, {"AIDE", "AIDE", "AIDE"}, false, privileged, ""},
      {"into, privileged", &b_, "SB", true, {}, {"CHEF"}, true, privileged, ""},
      {"from, the level it was opened at", &b_, "SB", false, {}, {}, true, nullptr, "ZCR"},
      {"from, the chart not added elsewhere", &b_, "SB", false, {{11, 7}}, {"AIDE", "CHEF"}, true, privileged, "ZCS"},
      {"into, opened without a password", &c, "SC", true, {}, {"AIDE", "AIDE", "AIDE"}, false, privileged, ""},
      {"from, opened without a password", &c, "SC", false, {}, {"AIDE"}, true, anyPassword, "ZCT"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    test_support::StoreRights(C10Path(*k.folder, k.code), k.refused);
    const auto other = test_support::FilesButLog(*k.folder);
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
      auto& dialog = dynamic_cast<CodeCopyDialog&>(w);
      if (k.into) {
        Choose(dialog, *k.folder, k.code);
        dialog.FirstEdit()->SetText("ZC1");
        dialog.LastEdit()->SetText("ZC5");
      } else {
        gui::ModalSeam::QueueFileAnswer(C10Path(*k.folder, k.code));
        gui::ProcessPendingMessages();
        dialog.FirstEdit()->SetText(std::string(k.range) + "1");
        dialog.LastEdit()->SetText(std::string(k.range) + "2");
      }
      test_support::QueuePasswords(k.typed, k.lastRight, nullptr, k.label);
      gui::SendCommand(dialog.GetHandle(), gui::IDOK);
    });
    Send(list, k.into ? browse_cmd::AjouterVers : browse_cmd::AjouterDepuis);
    EXPECT_EQ(test_support::PasswordPrompts(), static_cast<int>(k.typed.size())) << ShownTexts();
    if (k.into) {
      EXPECT_EQ(Read(*k.folder, k.code, '2').count("ZC1"), k.lastRight ? 1u : 0u);
      EXPECT_TRUE(k.lastRight || test_support::FilesButLog(*k.folder) == other) << "written into";
    } else {
      EXPECT_EQ(Read(a_, "SA", '2').count(std::string(k.range) + "2"), 1u) << ShownTexts();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CodeCopyBothWays,
                         ::testing::Values(CopyCase{'J', true}, CopyCase{'J', false}, CopyCase{'2', true},
                                           CopyCase{'2', false}, CopyCase{'3', true}, CopyCase{'3', false}),
                         [](const auto& info) {
                           const char k = info.param.kind;
                           return std::string(k == '2' ? "Chart" : k == '3' ? "Sections" : "Journals") +
                                  (info.param.into ? "Out" : "In");
                         });

}  // namespace
