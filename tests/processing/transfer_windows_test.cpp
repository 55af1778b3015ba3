// The forms of the merge (20606) and of the year separation (20604) driven as a user drives them:
// the other dossier chosen with "?", checked, the launch refused once then confirmed, the end
// message, the log line, the form gone.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "platform/gui/command.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/cp1252.h"
#include "platform/system/write_fault.h"
#include "processing/merge_windows.h"
#include "processing/separation_windows.h"
#include "processing/opening_balances_window.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/dossier_fixture.h"
#include "support/dossier_passwords.h"
#include "support/line_files.h"
#include "support/other_process.h"

namespace {

// The separation's step that takes the lines moved to the new year out of the old one: the child
// is killed there, the lines in both dossiers.
constexpr int kPhaseTransferredLinesRemoved = 29264;

using test_support::PasswordPrompts;
using test_support::QueuePasswords;
using test_support::StorePasswords;

class TransferWindowTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallYearEndCommands();
    gui::ModalSeam::Reset();
  }
  void TearDown() override {
    CloseWindows();
    for (unsigned id : {command_id::SeparationExercices, command_id::GenerationSoldesANouveau,
                        command_id::AjoutDossier})
      SetCommandWork(id, {});
    DossierFixture::TearDown();
  }
  std::string Generate(const std::string& folder, const std::string& code, long lines, Ymd first, Ymd last) {
    DemoOptions o;
    o.folder = root_ + "/" + folder;
    o.code = code;
    o.lines = lines;
    o.firstDay = first;
    o.lastDay = last;
    std::string message;
    EXPECT_TRUE(GenerateDemoDossier(o, &message)) << message;
    return o.folder + "/";
  }
  void Open(const std::string& folder, const std::string& code) {
    OpenThroughDialog(C10Path(folder, code));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), code) << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
  }
  void Send(gui::Window* form, unsigned command) {
    gui::SendCommand(form->GetHandle(), command);
    gui::ProcessPendingMessages();
  }
  // Saves the run's progress window (its caption) as <name>.png once its framed line shows
  // `phase`, and keeps the texts it showed then.
  void WatchProgress(const std::string& caption, const std::string& phase, const std::string& name) {
    const QString title = QString::fromStdString(platform::Cp1252ToUtf8(caption));
    const QString line = QString::fromStdString(platform::Cp1252ToUtf8(phase));
    progressTimer_.setInterval(0);
    QObject::connect(&progressTimer_, &QTimer::timeout, [this, title, line, name] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w->windowTitle() != title) continue;
        QStringList texts;
        for (QLabel* label : w->findChildren<QLabel*>()) texts << label->text();
        if (!texts.contains(line)) continue;
        progressTimer_.stop();
        progressTexts_ = texts.join("|").toStdString();
        test_support::Screenshot(w, "processing", name);
        return;
      }
    });
    progressTimer_.start();
  }
  // The form the command opens in its slot, the other dossier chosen with its "?" (`chooser`).
  template <class Form>
  Form* FormOn(unsigned command, int slot, unsigned chooser, const std::string& folder, const std::string& code) {
    Menu(command);
    auto* form = dynamic_cast<Form*>(gui::Window::FromHandle(SlotHandle(slot)));
    EXPECT_NE(form, nullptr) << test_support::ShownTexts();
    if (form == nullptr) return nullptr;
    gui::ModalSeam::QueueFileAnswer(C10Path(folder, code));
    Send(form, chooser);
    return form;
  }
  // The merge form, the other dossier chosen with its "?".
  TWTraAjoutDossier* MergeFormOn(const std::string& folder, const std::string& code) {
    auto* merge = FormOn<TWTraAjoutDossier>(command_id::AjoutDossier, kMergeFormSlot, 1208, folder, code);
    if (merge != nullptr) EXPECT_EQ(merge->CodeEdit()->GetValue(), code);
    return merge;
  }
  // "Accepter" in the merge form, the other dossier's password prompts answered with `typed`: one prompt for each,
  // and the launch's question (answered No) only when the last one was right.
  void AcceptMerge(TWTraAjoutDossier* merge, const std::vector<std::string>& typed, bool lastRight, const char* label) {
    gui::ModalSeam::Reset();
    QueuePasswords(typed, lastRight, nullptr, label);
    if (lastRight) gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
    Send(merge, yearend_cmd::Accepter);
    EXPECT_EQ(PasswordPrompts(), static_cast<int>(typed.size())) << test_support::ShownTexts();
    EXPECT_EQ(ShownContains("Confirmez le LANCEMENT"), lastRight) << test_support::ShownTexts();
  }
  // The separation's form at 1 January 2027, the new year chosen with its "?" and checked.
  TWTraSeparationExercices* SeparationFormInto(const std::string& folder, const std::string& code) {
    auto* form = FormOn<TWTraSeparationExercices>(command_id::SeparationExercices, kSeparationFormSlot, 1204, folder, code);
    if (form == nullptr) return nullptr;
    form->DateEdit()->SetValue("01/01/27", false);
    EXPECT_TRUE(form->CheckOther()) << form->First();
    return form;
  }
  std::string Log() {
    std::ifstream in(LogPath());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The separation of A ("SA", in `a`) at 1 January 2027 into B ("SB", in `b`) in a child, as the
  // program runs it (A's record and constants loaded, no rebuild): its exit status. `phase` is
  // given the first line of each phase.
  // The separation killed once its lines reached the new year, before they leave the old one.
  static int SeparateKilledHalfWay(const std::string& a, const std::string& b) {
    return SeparateInChild(a, b, [](const std::string& phase) {
      if (phase == LoadStr(kPhaseTransferredLinesRemoved)) ::raise(SIGKILL);
    });
  }
  static int SeparateInChild(const std::string& a, const std::string& b,
                             const std::function<void(const std::string&)>& phase = {}) {
    return test_support::RunInChild([&] {
      SetDossier(a, "SA");
      if (!TableC10->OpenShared(PathC10(), "C10CODE") || !ReadC10Texts() || !TableC10->Seek("C10CODE", "P", "0"))
        return 1;
      TheDossierRecord.Set(539, 252, TableC10->GetField(4));
      TheDossierRecord.Set(791, 252, TableC10->GetField(5));
      CloseAllTables();
      processing::SeparationRequest request;
      request.other = processing::OtherDossier{b, "SB"};
      request.date = Ymd{2027, 1, 1};
      const processing::SeparationResult r =
          processing::SeparateYears(request, {}, [&phase](const std::string& first, const std::string&) {
            if (phase) phase(first);
          });
      return r.code == 0 ? 0 : 2;
    });
  }
  QTimer progressTimer_;
  std::string progressTexts_;
};

// The run markers of the separation's two dossiers while it runs; the child stops itself before
// the first change made once A's marker is gone and B's still stands.
std::string g_markerA, g_markerB;
void StopOnceTheOldYearDecided() {
  if (!fs::exists(g_markerA) && fs::exists(g_markerB)) ::raise(SIGKILL);
}

TEST_F(TransferWindowTest, TheMergeFormChoosesChecksAndMerges) {
  const std::string a = Generate("a", "SA", 60, Ymd{2026, 1, 1}, Ymd{2026, 12, 31});
  const std::string o = Generate("o", "SO", 40, Ymd{2026, 4, 1}, Ymd{2026, 9, 30});
  Open(a, "SA");
  Menu(command_id::AjoutDossier);
  auto* form = dynamic_cast<TWTraAjoutDossier*>(gui::Window::FromHandle(SlotHandle(kMergeFormSlot)));
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(form->FromEdit()->GetValue(), "01/01/26");
  EXPECT_EQ(form->First().substr(0, 4), "SA: ");
  test_support::Screenshot(form->Widget(), "processing", "merge_form");
  // The open dossier itself, then the other's general file.
  form->CodeEdit()->SetValue("SA", false);
  Send(form, 1205);
  EXPECT_EQ(form->First(), "Dossier d\xE9j\xE0 ouvert: SA");
  EXPECT_EQ(form->CodeEdit()->GetValue(), "");
  gui::ModalSeam::QueueFileAnswer(o + "c10so.dbf");
  Send(form, 1208);
  EXPECT_EQ(form->CodeEdit()->GetValue(), "SO");
  EXPECT_EQ(form->OtherFolder(), o);
  EXPECT_EQ(form->First().substr(0, 4), "SO: ");
  EXPECT_EQ(form->FromEdit()->GetValue(), "01/04/26");
  EXPECT_EQ(form->ToEdit()->GetValue(), "30/09/26");
  test_support::Screenshot(form->Widget(), "processing", "merge_form_checked");
  // "Ajout seulement" greys the dates; cleared again.
  form->OptionBox()->SetValue(true, false);
  Send(form, 1202);
  EXPECT_FALSE(form->FromEdit()->IsWindowEnabled());
  form->OptionBox()->SetValue(false, false);
  Send(form, 1202);
  EXPECT_TRUE(form->ToEdit()->IsWindowEnabled());
  // No (the default) leaves the form; Yes runs.
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  Send(form, yearend_cmd::Accepter);
  ASSERT_NE(gui::Window::FromHandle(SlotHandle(kMergeFormSlot)), nullptr);
  EXPECT_TRUE(ShownContains("Confirmez le LANCEMENT"));
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  WatchProgress("Ajout d'un Autre Dossier: SA", "Ajout des \xE9" "critures du fichier: ", "merge_progress");
  Send(form, yearend_cmd::Accepter);
  // The run's window named the phase and the other dossier's file it read.
  EXPECT_NE(progressTexts_.find("/o/c40so.dbf"), std::string::npos) << progressTexts_;
  EXPECT_TRUE(ShownContains("L'AJOUT de Dossier est termin\xE9")) << test_support::ShownTexts();
  test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "merge_end");
  EXPECT_EQ(SlotHandle(kMergeFormSlot), 0u);
  EXPECT_NE(Log().find("AJOUT d'un AUTRE DOSSIER - Ok - Ajout du dossier 'SO' sur " + o + " - Du 01/04/26 au 30/09/26"),
            std::string::npos)
      << Log();
}

// The merge into a dossier whose lines do not all read: the rebuild at its end meets them and the
// run is undone, said in one box that names the lines, the open dossier's files as they were.
TEST_F(TransferWindowTest, TheMergeUndoneOverTheOpenDossiersUnreadLinesNamesThemInOneBox) {
  const std::string a = Generate("a", "SA", 60, Ymd{2026, 1, 1}, Ymd{2026, 12, 31});
  const std::string o = Generate("o", "SO", 40, Ymd{2026, 4, 1}, Ymd{2026, 9, 30});
  std::vector<std::string> named;
  {
    const test_support::RawRecords raw(a + "c50sa.dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && named.size() < 2; ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, "BCLE") != "Z") continue;
      raw.Put(n, "BMONTANTE", "ABC");
      named.push_back("C50 enregistrement " + std::to_string(n) + ", pi\xE8" "ce " +
                      Trimmed(raw.Field(r, "BPIECE")) + ", compte " + Trimmed(raw.Field(r, "BCODE")));
    }
  }
  ASSERT_EQ(named.size(), 2u);
  Open(a, "SA");
  const auto bytes = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  };
  const std::string before = bytes(a + "c50sa.dbf");
  auto* form = MergeFormOn(o, "SO");
  ASSERT_NE(form, nullptr);
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  Send(form, yearend_cmd::Accepter);
  ASSERT_TRUE(ShownContains("Confirmez le LANCEMENT")) << test_support::ShownTexts();
  // After the question, one box: the run undone, the lines named.
  const auto& shown = gui::ModalSeam::Shown();
  std::size_t question = 0;
  while (question < shown.size() && shown[question].text.find("Confirmez le LANCEMENT") == std::string::npos) ++question;
  ASSERT_EQ(shown.size(), question + 2) << test_support::ShownTexts();
  const std::string& said = shown.back().text;
  EXPECT_NE(said.find("remis tel qu'il \xE9tait"), std::string::npos) << said;
  for (const std::string& line : named) EXPECT_NE(said.find(line), std::string::npos) << line << "\n" << said;
  EXPECT_EQ(said.find("dont l'enregistrement n'a pas \xE9t\xE9 nomm\xE9"), std::string::npos) << said;
  test_support::ScreenshotMessage(shown.back(), "processing", "merge_undone_unread_lines");
  CloseAllTables();
  EXPECT_TRUE(bytes(a + "c50sa.dbf") == before) << "the open dossier's lines changed";
}

TEST_F(TransferWindowTest, TheSeparationFormChecksTheDateAndSeparates) {
  const std::string a = Generate("a", "SA", 120, Ymd{2026, 1, 1}, Ymd{2027, 2, 28});
  const std::string b = Generate("b", "SB", 20, Ymd{2027, 1, 1}, Ymd{2027, 12, 31});
  Open(a, "SA");
  Menu(command_id::SeparationExercices);
  auto* form = dynamic_cast<TWTraSeparationExercices*>(gui::Window::FromHandle(SlotHandle(kSeparationFormSlot)));
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  // The day after the year's end by default: the new year begins earlier.
  EXPECT_EQ(form->DateEdit()->GetValue(), "01/03/27");
  // Opened at the size of the client area: everything fits, one line per row.
  EXPECT_FALSE(form->ScrollBarShown(false)) << "no horizontal bar";
  EXPECT_FALSE(form->ScrollBarShown(true)) << "no vertical bar";
  const int rows = form->CodeEdit()->GetWindowRect().y - form->DateEdit()->GetWindowRect().y;
  EXPECT_LE(rows, 3 * (form->MinRowHeight + 8)) << "the date and the code three rows apart";
  test_support::Screenshot(form->OuterWidget(), "framework", "separation_form_large");
  // Its twenty columns fit a narrower window too (a screen of 1024 pixels and a larger font).
  const gui::Rect opened = form->GetWindowRect();
  form->MoveWindow(gui::Rect{opened.x, opened.y, 900, 400});
  gui::ProcessPendingMessages();
  EXPECT_FALSE(form->ScrollBarShown(false)) << "no horizontal bar at 900 pixels";
  test_support::Screenshot(form->OuterWidget(), "framework", "separation_form_narrow");
  form->MoveWindow(opened);
  gui::ProcessPendingMessages();
  gui::ModalSeam::QueueFileAnswer(b + "c10sb.dbf");
  Send(form, 1204);
  EXPECT_EQ(form->CodeEdit()->GetValue(), "SB");
  EXPECT_EQ(form->First(), "Date d\xE9" "but incorrecte: SB");
  form->DateEdit()->SetValue("01/01/27", false);
  EXPECT_TRUE(form->CheckOther()) << form->First();
  test_support::Screenshot(form->Widget(), "processing", "separation_form");
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  Send(form, yearend_cmd::Accepter);
  ASSERT_NE(gui::Window::FromHandle(SlotHandle(kSeparationFormSlot)), nullptr);
  EXPECT_TRUE(ShownContains("SAUVEGARDE"));
  test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "separation_question");
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  WatchProgress("S\xE9paration de deux Exercices: SA", "Transfert des \xE9" "critures vers le fichier: ",
                "separation_progress");
  Send(form, yearend_cmd::Accepter);
  EXPECT_NE(progressTexts_.find("/b/c40sb.dbf"), std::string::npos) << progressTexts_;
  EXPECT_TRUE(ShownContains("La SEPARATION des Exercices est termin\xE9")) << test_support::ShownTexts();
  EXPECT_EQ(SlotHandle(kSeparationFormSlot), 0u);
  EXPECT_NE(Log().find("SEPARATION DES EXERCICES - Ok - Dossier 'SB' sur " + b + " - Date: 01/01/27"),
            std::string::npos)
      << Log();
}

// A separation stopped half-way (its process killed after the lines reached the new year and
// before they left the old one) is put back in both dossiers, whichever opens first, as the old
// year's marker decides: the old year's opening names the run and puts both back (the new year then
// opens without a question); the new year's opening, while the old year's marker stands, names the
// run and puts the new year back (the old year's opening then does the same for its own).
TEST_F(TransferWindowTest, AStoppedSeparationIsPutBackWhenEachDossierOpens) {
  for (const bool oldYearFirst : {true, false}) {
    const std::string tag = oldYearFirst ? "1" : "2";
    const std::string a = Generate("a" + tag, "SA", 120, Ymd{2026, 1, 1}, Ymd{2027, 2, 28});
    const std::string b = Generate("b" + tag, "SB", 20, Ymd{2027, 1, 1}, Ymd{2027, 12, 31});
    auto lines = [](const std::string& folder, const std::string& code) {
      return ReadAll(folder + "c40" + code + ".dbf") + ReadAll(folder + "c50" + code + ".dbf");
    };
    const std::string beforeA = lines(a, "sa"), beforeB = lines(b, "sb");
    ASSERT_EQ(SeparateKilledHalfWay(a, b), 128 + SIGKILL);
    using Opening = std::tuple<std::string, const char*, bool, bool, bool>;  // folder, code, named, A and B back
    const std::vector<Opening> openings =
        oldYearFirst ? std::vector<Opening>{{a, "SA", true, true, true}, {b, "SB", false, true, true}}
                     : std::vector<Opening>{{b, "SB", true, false, true}, {a, "SA", true, true, true}};
    for (const auto& [folder, name, named, aBack, bBack] : openings) {
      SCOPED_TRACE(std::string(oldYearFirst ? "old year first, " : "new year first, ") + name);
      gui::ModalSeam::Reset();
      OpenThroughDialog(C10Path(folder, name), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES); });
      EXPECT_EQ(std::string(RTrim(DossierCode.c_str())), name) << test_support::ShownTexts();
      EXPECT_EQ(ShownContains("S\xE9paration de deux Exercices"), named) << test_support::ShownTexts();
      if (aBack) {
        EXPECT_EQ(lines(a, "sa"), beforeA);
      }
      if (bBack) {
        EXPECT_EQ(lines(b, "sb"), beforeB);
      }
      CloseAllTables();
      if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    }
  }
}


// The change refused once by the disk (ENOSPC or EIO), the first time it is made.
std::string g_refusedChange;
platform::WriteFault g_refusedFault = platform::WriteFault::kNone;
void RefuseTheChangeOnce() {
  if (platform::ChangeBeingMade() != g_refusedChange) return;
  platform::SetWriteFault(g_refusedFault, 1);
  platform::BeforeFileChange = nullptr;
}

// A separation stopped half-way, put back by the old year's opening, whose removal of the new
// year's marker (once the new year's tables are back) is refused by a full disk or a disk error:
// the old year stays closed, its own tables and copies as the run left them, and its box names the
// new year's marker and the disk's words, without advice to restore a backup. The next openings
// finish the put-back: the new year opens, then the old year, both as before the run.
TEST_F(TransferWindowTest, AStoppedSeparationWhoseNewYearsMarkerCannotGoSaysWhyAndIsFinishedNextTime) {
  auto lines = [](const std::string& folder, const std::string& code) {
    return ReadAll(folder + "c40" + code + ".dbf") + ReadAll(folder + "c50" + code + ".dbf");
  };
  for (const auto& [fault, cause] : {std::pair{platform::WriteFault::kFullOnce, "disque plein"},
                                     std::pair{platform::WriteFault::kFailOnce, "erreur d'\xE9" "criture sur le disque"}}) {
    const std::string tag = fault == platform::WriteFault::kFullOnce ? "full" : "eio";
    SCOPED_TRACE(tag);
    const std::string a = Generate(tag + "/a", "SA", 120, Ymd{2026, 1, 1}, Ymd{2027, 2, 28});
    const std::string b = Generate(tag + "/b", "SB", 20, Ymd{2027, 1, 1}, Ymd{2027, 12, 31});
    const std::string beforeA = lines(a, "sa"), beforeB = lines(b, "sb");
    ASSERT_EQ(SeparateKilledHalfWay(a, b), 128 + SIGKILL);
    const std::string stoppedA = lines(a, "sa");
    ASSERT_NE(lines(b, "sb"), beforeB);
    auto copiesOf = [](const std::string& folder) {
      int copies = 0;
      for (const auto& e : fs::directory_iterator(folder)) copies += e.is_directory() ? 1 : 0;
      return copies;
    };

    g_refusedChange = "unlink " + b + "csb.run";
    g_refusedFault = fault;
    platform::BeforeFileChange = RefuseTheChangeOnce;
    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(a, "SA"), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES); });
    platform::BeforeFileChange = nullptr;
    const std::string refused = platform::RefusedChange();
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
    ASSERT_EQ(refused, g_refusedChange);
    EXPECT_FALSE(DossierFolder == a && DossierLockTable != nullptr && DossierLockTable->isOpen)
        << test_support::ShownTexts();
    EXPECT_TRUE(ShownContains(b + "csb.run: " + cause)) << test_support::ShownTexts();
    EXPECT_TRUE(ShownContains("reprendra")) << test_support::ShownTexts();
    EXPECT_FALSE(ShownContains("sauvegarde")) << test_support::ShownTexts();
    if (fault == platform::WriteFault::kFullOnce)
      for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
        if (shown.kind == gui::ModalKind::MessageBox && shown.text.find("reprendra") != std::string::npos)
          test_support::ScreenshotMessage(shown, "processing", "separation_put_back_marker_refused");
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    EXPECT_TRUE(lines(a, "sa") == stoppedA) << "the old year untouched";
    EXPECT_TRUE(lines(b, "sb") == beforeB) << "the new year back";
    EXPECT_TRUE(fs::exists(a + "csa.run"));
    EXPECT_EQ(copiesOf(a), 1) << "the old year's copies kept";

    for (const auto& [folder, code] : {std::pair{b, "SB"}, std::pair{a, "SA"}}) {
      gui::ModalSeam::Reset();
      OpenThroughDialog(C10Path(folder, code), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES); });
      EXPECT_EQ(std::string(RTrim(DossierCode.c_str())), code) << test_support::ShownTexts();
      EXPECT_FALSE(ShownContains("sauvegarde")) << test_support::ShownTexts();
      CloseAllTables();
      if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    }
    EXPECT_TRUE(lines(a, "sa") == beforeA) << "the old year as before the run";
    EXPECT_TRUE(lines(b, "sb") == beforeB) << "the new year as before the run";
    EXPECT_FALSE(fs::exists(a + "csa.run"));
    EXPECT_FALSE(fs::exists(b + "csb.run"));
    EXPECT_EQ(copiesOf(a) + copiesOf(b), 0);
  }
}

// A separation stopped half-way whose other year cannot be read (its folder gone, or left empty as
// the mount point of a share that is down) is not settled on a guess: whichever dossier opens says
// which folder it could not read, asks nothing, changes nothing and stays closed with its marker;
// once the folder is back, the openings put both dossiers back as the old year's marker decides.
TEST_F(TransferWindowTest, AStoppedSeparationWaitsForTheOtherYearsFolder) {
  auto lines = [](const std::string& folder, const std::string& code) {
    return ReadAll(folder + "c40" + code + ".dbf") + ReadAll(folder + "c50" + code + ".dbf");
  };
  for (const bool oldYearFirst : {true, false}) {
    for (const bool emptyFolder : {false, true}) {
      const std::string tag = std::string(oldYearFirst ? "old" : "new") + (emptyFolder ? "-empty" : "-gone");
      SCOPED_TRACE(tag);
      const std::string a = Generate(tag + "/a", "SA", 120, Ymd{2026, 1, 1}, Ymd{2027, 2, 28});
      const std::string b = Generate(tag + "/b", "SB", 20, Ymd{2027, 1, 1}, Ymd{2027, 12, 31});
      const std::string beforeA = lines(a, "sa"), beforeB = lines(b, "sb");
      ASSERT_EQ(SeparateKilledHalfWay(a, b), 128 + SIGKILL);
      const auto [opened, openedCode, other, otherCode] =
          oldYearFirst ? std::tuple{a, "SA", b, "sb"} : std::tuple{b, "SB", a, "sa"};
      const std::string openedLines = lines(opened, oldYearFirst ? "sa" : "sb");
      const std::string otherLines = lines(other, otherCode);
      const std::string away = other.substr(0, other.size() - 1) + "-ailleurs";
      fs::rename(other, away);
      if (emptyFolder) fs::create_directories(other);

      gui::ModalSeam::Reset();
      OpenThroughDialog(C10Path(opened, openedCode), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES); });
      EXPECT_FALSE(DossierFolder == opened && DossierLockTable->isOpen) << test_support::ShownTexts();
      std::vector<gui::ShownModal> boxes;
      for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
        if (shown.kind == gui::ModalKind::MessageBox && shown.text.find("Exercices") != std::string::npos)
          boxes.push_back(shown);
      ASSERT_EQ(boxes.size(), 1u) << test_support::ShownTexts();
      EXPECT_NE(boxes[0].text.find(other), std::string::npos) << boxes[0].text;
      EXPECT_NE(boxes[0].text.find("ne peut pas \xEAtre lu"), std::string::npos) << boxes[0].text;
      EXPECT_EQ(boxes[0].buttons, static_cast<unsigned>(gui::MB_OK)) << "nothing is asked";
      if (oldYearFirst && !emptyFolder)
        test_support::ScreenshotMessage(boxes[0], "processing", "separation_other_year_out_of_reach");
      CloseAllTables();
      if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
      EXPECT_TRUE(lines(opened, oldYearFirst ? "sa" : "sb") == openedLines) << "nothing settled";
      EXPECT_TRUE(fs::exists(opened + "c" + std::string(oldYearFirst ? "sa" : "sb") + ".run"));

      // The folder back: each opening settles it, both dossiers as before the run.
      if (emptyFolder) fs::remove(other);
      fs::rename(away, other);
      EXPECT_TRUE(lines(other, otherCode) == otherLines) << "the other year as the run left it";
      for (const auto& [folder, code] : {std::pair{opened, openedCode}, std::pair{other, oldYearFirst ? "SB" : "SA"}}) {
        gui::ModalSeam::Reset();
        OpenThroughDialog(C10Path(folder, code), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES); });
        EXPECT_EQ(std::string(RTrim(DossierCode.c_str())), code) << test_support::ShownTexts();
        CloseAllTables();
        if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
      }
      EXPECT_TRUE(lines(a, "sa") == beforeA) << "the old year as before the run";
      EXPECT_TRUE(lines(b, "sb") == beforeB) << "the new year as before the run";
    }
  }
}

// A separation stopped once the old year's marker was removed (its decision that the run stands)
// and before the new year's: the new year opened first says that the separation is finished and
// offers only to remove its copies; Yes removes them, No keeps them (offered again as copies left
// at its next opening); either way the new year opens as the run left it, and so does the old
// year, whose copies left are offered likewise.
TEST_F(TransferWindowTest, ASeparationStoppedAfterItsDecisionIsFinishedWhenTheNewYearOpensFirst) {
  auto lines = [](const std::string& folder, const std::string& code) {
    return ReadAll(folder + "c40" + code + ".dbf") + ReadAll(folder + "c50" + code + ".dbf");
  };
  const std::string doneA = Generate("done/a", "SA", 120, Ymd{2026, 1, 1}, Ymd{2027, 2, 28});
  const std::string doneB = Generate("done/b", "SB", 20, Ymd{2027, 1, 1}, Ymd{2027, 12, 31});
  const std::string beforeB = lines(doneB, "sb");
  ASSERT_EQ(SeparateInChild(doneA, doneB), 0);
  const std::string afterA = lines(doneA, "sa"), afterB = lines(doneB, "sb");
  ASSERT_NE(afterB, beforeB);

  for (const bool remove : {true, false}) {
    SCOPED_TRACE(remove ? "copies removed" : "copies kept");
    const std::string tag = remove ? "yes" : "no";
    const std::string a = Generate(tag + "/a", "SA", 120, Ymd{2026, 1, 1}, Ymd{2027, 2, 28});
    const std::string b = Generate(tag + "/b", "SB", 20, Ymd{2027, 1, 1}, Ymd{2027, 12, 31});
    g_markerA = a + "csa.run";
    g_markerB = b + "csb.run";
    platform::BeforeFileChange = StopOnceTheOldYearDecided;
    const int status = SeparateInChild(a, b);
    platform::BeforeFileChange = nullptr;
    ASSERT_EQ(status, 128 + SIGKILL);
    ASSERT_FALSE(fs::exists(g_markerA));
    ASSERT_TRUE(fs::exists(g_markerB));

    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(b, "SB"),
                      [remove] { gui::ModalSeam::QueueMessageBoxAnswer(remove ? gui::IDYES : gui::IDNO); });
    EXPECT_EQ(std::string(RTrim(DossierCode.c_str())), "SB") << test_support::ShownTexts();
    // One box about the run.
    std::vector<gui::ShownModal> boxes;
    for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
      if (shown.kind == gui::ModalKind::MessageBox && shown.text.find("traitement") != std::string::npos)
        boxes.push_back(shown);
    ASSERT_EQ(boxes.size(), 1u) << test_support::ShownTexts();
    const gui::ShownModal& box = boxes[0];
    EXPECT_NE(box.text.find("S\xE9paration de deux Exercices"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("Il est termin\xE9"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("Voulez-vous supprimer ces copies"), std::string::npos) << box.text;
    EXPECT_EQ(box.text.find("remettre"), std::string::npos) << box.text;
    if (remove) test_support::ScreenshotMessage(box, "processing", "separation_finished_copies_left");
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    EXPECT_EQ(lines(b, "sb"), afterB);
    EXPECT_FALSE(fs::exists(g_markerB));
    bool copies = false;
    for (const auto& e : fs::directory_iterator(b)) copies = copies || e.is_directory();
    EXPECT_EQ(copies, !remove);

    // The copies kept are offered as copies left at the next opening; the old year's likewise.
    for (const auto& [folder, code] : remove ? std::vector<std::pair<std::string, std::string>>{{a, "SA"}}
                                             : std::vector<std::pair<std::string, std::string>>{{b, "SB"}, {a, "SA"}}) {
      gui::ModalSeam::Reset();
      OpenThroughDialog(C10Path(folder, code), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES); });
      EXPECT_EQ(std::string(RTrim(DossierCode.c_str())), code) << test_support::ShownTexts();
      EXPECT_TRUE(ShownContains("garde des copies de ses fichiers")) << code << test_support::ShownTexts();
      CloseAllTables();
      if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
      for (const auto& e : fs::directory_iterator(folder)) EXPECT_FALSE(e.is_directory()) << e.path();
    }
    EXPECT_EQ(lines(a, "sa"), afterA);
    EXPECT_EQ(lines(b, "sb"), afterB);
  }
}

// Another dossier with passwords is read by the merge only once one of them is typed, and written
// into by the separation only with the privileged one; three wrong tries end the run before its
// question, both dossiers as they were.
TEST_F(TransferWindowTest, AnotherDossiersPasswordGuardsTheMergeAndTheSeparation) {
  const std::string a = Generate("a", "SA", 120, Ymd{2026, 1, 1}, Ymd{2027, 2, 28});
  const std::string o = Generate("o", "SO", 40, Ymd{2026, 4, 1}, Ymd{2026, 9, 30});
  const std::string b = Generate("b", "SB", 20, Ymd{2027, 1, 1}, Ymd{2027, 12, 31});
  StorePasswords(o + "c10so.dbf", "CHEF", "AIDE");
  StorePasswords(b + "c10sb.dbf", "CHEF", "AIDE");
  // The books of the three dossiers: accounts, closed and draft lines.
  auto files = [&] {
    std::string all;
    for (const auto& [folder, code] : {std::pair{a, "sa"}, std::pair{o, "so"}, std::pair{b, "sb"}})
      for (const char* table : {"c20", "c40", "c50"}) all += ReadAll(folder + table + code + ".dbf");
    return all;
  };
  Open(a, "SA");
  const std::string before = files();

  // The merge: three wrong tries, then the secondary password lets it read.
  TWTraAjoutDossier* merge = MergeFormOn(o, "SO");
  ASSERT_NE(merge, nullptr);
  gui::ModalSeam::Reset();
  QueuePasswords({"", "chef", "FAUX"}, false, "other_dossier_password");
  Send(merge, yearend_cmd::Accepter);
  EXPECT_EQ(PasswordPrompts(), 3);
  EXPECT_FALSE(ShownContains("Confirmez le LANCEMENT")) << test_support::ShownTexts();
  EXPECT_TRUE(ShownContains("le traitement est abandonn\xE9")) << test_support::ShownTexts();
  EXPECT_NE(Log().find("AUTRE DOSSIER - Erreur - SO (" + o + ") - mot de passe refus\xE9"), std::string::npos) << Log();
  EXPECT_TRUE(files() == before) << "a dossier was written into";
  gui::ModalSeam::Reset();
  QueuePasswords({"AIDE"}, true);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  Send(merge, yearend_cmd::Accepter);
  EXPECT_EQ(PasswordPrompts(), 1);
  EXPECT_TRUE(ShownContains("Confirmez le LANCEMENT")) << test_support::ShownTexts();
  CloseWindows();

  // The separation writes into SB: the secondary password is not enough.
  TWTraSeparationExercices* separation = SeparationFormInto(b, "SB");
  ASSERT_NE(separation, nullptr);
  gui::ModalSeam::Reset();
  QueuePasswords({"AIDE", "AIDE", "AIDE"}, false, "other_dossier_privileged_password");
  Send(separation, yearend_cmd::Accepter);
  EXPECT_EQ(PasswordPrompts(), 3);
  EXPECT_FALSE(ShownContains("SAUVEGARDE")) << test_support::ShownTexts();
  EXPECT_TRUE(files() == before) << "a dossier was written into";
  gui::ModalSeam::Reset();
  QueuePasswords({"CHEF"}, true);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  Send(separation, yearend_cmd::Accepter);
  EXPECT_EQ(PasswordPrompts(), 1);
  EXPECT_TRUE(ShownContains("SAUVEGARDE")) << test_support::ShownTexts();
  EXPECT_TRUE(files() == before) << "a dossier was written into";
}

// Dossiers this run opened earlier, then left for the one open: the merge reads one opened at its
// secondary level with that level only where its rights allow, and one opened before it had a
// password only once a password is typed; the separation writes into one opened at its secondary
// level only with its privileged password.
TEST_F(TransferWindowTest, DossiersOpenedEarlierAreReadAndWrittenWithThePasswordsTheyNeedNow) {
  const char* const anyPassword = "Mot de passe du dossier";
  const char* const privileged = "Mot de passe privil\xE9gi\xE9";
  const std::string a = Generate("a", "SA", 120, Ymd{2026, 1, 1}, Ymd{2027, 2, 28});
  const std::string o = Generate("o", "SO", 40, Ymd{2026, 4, 1}, Ymd{2026, 9, 30});
  const std::string n = Generate("n", "SN", 40, Ymd{2026, 4, 1}, Ymd{2026, 9, 30});
  const std::string b = Generate("b", "SB", 20, Ymd{2027, 1, 1}, Ymd{2027, 12, 31});
  StorePasswords(o + "c10so.dbf", "CHEF", "AIDE");
  StorePasswords(b + "c10sb.dbf", "CHEF", "AIDE");
  for (const auto& [folder, code] : {std::pair{o, "SO"}, std::pair{b, "SB"}}) {
    OpenThroughDialog(C10Path(folder, code), [] { QueuePasswords({"AIDE"}, true); });
    ASSERT_EQ(TheDossierRecord.UserLevel(), '2') << code << "\n" << test_support::ShownTexts();
  }
  OpenThroughDialog(C10Path(n, "SN"));
  ASSERT_EQ(TheDossierRecord.UserLevel(), '0') << test_support::ShownTexts();
  StorePasswords(n + "c10sn.dbf", "CHEF", "AIDE");
  Open(a, "SA");

  struct Case {
    const char* what;
    const std::string* folder;
    const char* code;
    std::vector<std::pair<int, int>> refused;  // rights the other dossier withholds from its secondary user
    std::vector<std::string> typed;
    bool lastRight;
    const char* label;
  };
  const Case merges[] = {
      {"the level it was opened at", &o, "SO", {}, {}, true, nullptr},
      {"the entries refused", &o, "SO", {{13, 1}}, {"AIDE", "AIDE", "AIDE"}, false, privileged},
      {"opened without a password", &n, "SN", {}, {"AIDE"}, true, anyPassword},
  };
  for (const Case& c : merges) {
    SCOPED_TRACE(c.what);
    test_support::StoreRights(*c.folder + "c10" + Lower(c.code) + ".dbf", c.refused);
    TWTraAjoutDossier* merge = MergeFormOn(*c.folder, c.code);
    ASSERT_NE(merge, nullptr);
    const auto before = test_support::FilesButLog(a);
    AcceptMerge(merge, c.typed, c.lastRight, c.label);
    EXPECT_TRUE(test_support::FilesButLog(a) == before) << "the open dossier was written";
    CloseWindows();
  }

  // The separation writes into SB, opened at its secondary level: its privileged password is asked.
  const auto before = test_support::FilesButLog(a);
  const auto newYear = test_support::FilesButLog(b);
  gui::ModalSeam::Reset();
  TWTraSeparationExercices* separation = SeparationFormInto(b, "SB");
  ASSERT_NE(separation, nullptr);
  gui::ModalSeam::Reset();
  QueuePasswords({"AIDE", "AIDE", "AIDE"}, false, nullptr, privileged);
  Send(separation, yearend_cmd::Accepter);
  EXPECT_EQ(PasswordPrompts(), 3);
  EXPECT_FALSE(ShownContains("SAUVEGARDE")) << test_support::ShownTexts();
  EXPECT_TRUE(test_support::FilesButLog(b) == newYear) << "the new year was written into";
  EXPECT_TRUE(test_support::FilesButLog(a) == before) << "the open dossier was written";
}

// The merge reads another dossier with its secondary password only where that dossier's rights
// let its secondary user see the entries, the ledgers and the balances; otherwise the secondary
// password is refused with the right it lacks and the privileged one is asked. Three tries leave
// the open dossier as it was, before the launch's question.
TEST_F(TransferWindowTest, TheMergeTakesTheSecondaryPasswordOnlyWhereTheOtherDossiersRightsAllow) {
  const char* const anyPassword = "Mot de passe du dossier";
  const char* const privileged = "Mot de passe privil\xE9gi\xE9";
  const std::string a = Generate("a", "SA", 60, Ymd{2026, 1, 1}, Ymd{2026, 12, 31});
  const std::string o = Generate("o", "SO", 40, Ymd{2026, 4, 1}, Ymd{2026, 9, 30});
  StorePasswords(o + "c10so.dbf", "CHEF", "AIDE");
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> refused;  // rights SO withholds from its secondary user
    std::vector<std::string> typed;
    bool lastRight;
    const char* label;  // what the prompts ask for
    const char* why;    // the refusal of the secondary password ("": none)
  };
  const Case cases[] = {
      {"the entries refused", {{13, 1}}, {"AIDE", "AIDE", "AIDE"}, false, privileged,
       "\nle droit \xAB Acc\xE8s \xBB de \xAB Saisie d'Ecritures \xBB"},
      {"the ledgers refused, then the privileged password", {{17, 1}}, {"AIDE", "CHEF"}, true, privileged,
       "\nle droit \xAB Acc\xE8s \xBB de \xAB Grands Livres \xBB"},
      {"the balances refused", {{19, 1}}, {"FAUX", "AIDE", "chef"}, false, privileged,
       "\nle droit \xAB Acc\xE8s \xBB de \xAB Balances \xBB"},
      {"the merge command and the chart's copy refused", {{30, 1}, {11, 7}}, {"AIDE"}, true, anyPassword, ""},
  };
  Open(a, "SA");
  TWTraAjoutDossier* merge = MergeFormOn(o, "SO");
  ASSERT_NE(merge, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test_support::StoreRights(o + "c10so.dbf", c.refused);
    const auto before = test_support::FilesButLog(a);
    AcceptMerge(merge, c.typed, c.lastRight, c.label);
    if (*c.why != '\0') {
      EXPECT_TRUE(ShownContains(c.why)) << test_support::ShownTexts();
      if (!c.lastRight && c.typed.back() == "AIDE")
        test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "merge_password_right_refused");
    }
    EXPECT_TRUE(test_support::FilesButLog(a) == before) << "the open dossier was written";
  }
}

}  // namespace
