#include "dossier/renumber_window.h"

#include <algorithm>
#include <functional>
#include <string>

#include "data/dossier_lock.h"
#include "data/draft_lines.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/renumber_pieces.h"
#include "dossier/dossier_management.h"
#include "framework/dialog_bases.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/progress.h"

// ---- the command -----------------------------------------------------------

namespace {

gui::Window* Owner() {
  if (gui::Window* w = gui::Window::FromHandle(MainWindowHandle)) return w;
  return CommandWindow;
}

// Waiting window messages are let through once every this many records.
constexpr long kPumpEvery = 256;

// The texts of the renumbering, by their ids in the string table.
constexpr int kCaptionRenumber = 3474;
constexpr int kAskRenumber = 3475;
constexpr int kLabelRenumberProgress = 3476;  // the dossier's code
constexpr int kMsgRenumberDone = 3477;        // the next piece's number
constexpr int kMsgTooManyPieces = 3478;
constexpr int kMsgTableNotExclusive = 3479;   // the file
constexpr int kMsgRenumberStopped = 3480;
constexpr int kMsgPlanStale = 22140;          // the file

// The progress window and the cursor while the run works; the second line
// ends with the share of the run done, in percent.
class WindowObserver : public RenumberObserver {
 public:
  explicit WindowObserver(gui::Window* owner) : dialog_(owner, true), progress_(0, nullptr) {
    if (dialog_.Create()) {
      dialog_.SetCaption(FillPlaceholder(LoadStr(kLabelRenumberProgress), RTrim(DossierCode.c_str())));
      dialog_.Show(gui::SW_SHOWNORMAL);
      dialog_.SetFocus();
      shown_ = true;
    }
  }
  ~WindowObserver() override { Close(); }
  void Close() {
    if (shown_) dialog_.Destroy();
    shown_ = false;
  }
  void SetLine(const std::string& text) override {
    if (shown_) dialog_.SetLine(text);
  }
  void SetLine2(const std::string& text) override {
    line2_ = text;
    ShowLine2();
  }
  void SetTotal(long total) override {
    total_ = total;
    progress_.ProgressInit(total, shown_ ? &dialog_ : nullptr);
  }
  void Step() override {
    ++count_;
    const int percent = total_ > 0 ? static_cast<int>(std::min<long>(100, count_ * 100 / total_)) : 0;
    const bool moved = percent != percent_;
    progress_.ProgressStep(count_, moved || count_ % kPumpEvery == 0);
    if (!moved) return;
    percent_ = percent;
    ShowLine2();
  }

 private:
  void ShowLine2() {
    if (shown_) dialog_.SetLine2(line2_ + "   -   " + std::to_string(percent_) + " %");
  }

  TDNuvModeless dialog_;
  Progress progress_;
  std::string line2_;
  long count_ = 0;
  long total_ = 0;
  int percent_ = 0;
  bool shown_ = false;
};

// Gives the dossier back and says so to the next command.
void GiveBack(bool beep) {
  CloseAllTables();
  ReleaseDossierExclusive();
  SetDossierState('2');
  if (beep) gui::MessageBeep(0);
}

}  // namespace

// Core: RenumberPieces.
void CmRenumeroterPieces() {
  gui::Window* owner = Owner();
  if (CommandWindow != nullptr && !CommandWindow->CloseChildren()) return;
  CloseAllTables();
  if (!OpenDossierExclusive(true)) return;
  SetDossierState('1');
  RenumberResult unread;
  bool opened = false;
  {
    RefusalWatch watch(RefusalWatch::EngineBoxes::kRefusalsHeld);
    opened = TableC10->OpenExclusive(PathC10());
    unread.readRefused = !opened && watch.RefusedReading();
    unread.failedTable = watch.RefusedFile();
  }
  if (!opened) {
    GiveBack(true);
    // A general file that the disk could not read is said: nothing was renumbered.
    unread.outcome = RenumberOutcome::WriteRefusedUndone;
    if (unread.readRefused)
      gui::MessageBox(owner, RenumberRefusalMessage(unread), LoadStr(kCaptionRenumber), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  if (!AskSupportPassword()) {
    GiveBack(true);
    return;
  }
  CloseAllTables();
  gui::MessageBeep(0);
  if (gui::MessageBox(owner, LoadStr(kAskRenumber), LoadStr(kCaptionRenumber), gui::MB_YESNO | gui::MB_ICONSTOP) !=
      gui::IDYES) {
    GiveBack(true);
    return;
  }

  RunRenumberingWindow(owner, [] { GiveBack(false); });
}

bool RunRenumberingWindow(gui::Window* owner, const std::function<void()>& afterRun) {
  RenumberResult result;
  {
    WindowObserver observer(owner);
    result = RenumberPieces(&observer);
    observer.Close();
  }
  if (afterRun) afterRun();
  gui::MessageBeep(0);
  switch (result.outcome) {
    case RenumberOutcome::Done:
      gui::MessageBox(owner, FillPlaceholder(LoadStr(kMsgRenumberDone), StrZero(result.nextNumber, 0)),
                      LoadStr(kCaptionRenumber), gui::MB_OK | gui::MB_ICONQUESTION);
      break;
    case RenumberOutcome::TooManyPieces:
      gui::MessageBox(owner, LoadStr(kMsgTooManyPieces), LoadStr(kCaptionRenumber), gui::MB_OK | gui::MB_ICONSTOP);
      break;
    case RenumberOutcome::TooManyLines:
      gui::MessageBox(owner, TooManyLinesMessage(result.failedTable), LoadStr(kCaptionRenumber),
                      gui::MB_OK | gui::MB_ICONSTOP);
      break;
    case RenumberOutcome::PlanStale:
      gui::MessageBox(owner, FillPlaceholder(LoadStr(kMsgPlanStale), result.failedTable), LoadStr(kCaptionRenumber),
                      gui::MB_OK | gui::MB_ICONSTOP);
      break;
    case RenumberOutcome::TableFailed:
      gui::MessageBox(owner, FillPlaceholder(LoadStr(kMsgTableNotExclusive), result.failedTable),
                      LoadStr(kCaptionRenumber), gui::MB_OK | gui::MB_ICONSTOP);
      break;
    case RenumberOutcome::Stopped:
      gui::MessageBox(owner, LoadStr(kMsgRenumberStopped), LoadStr(kCaptionRenumber), gui::MB_OK | gui::MB_ICONSTOP);
      break;
    case RenumberOutcome::WriteRefused:
    case RenumberOutcome::WriteRefusedUndone:
      gui::MessageBox(owner, RenumberRefusalMessage(result), LoadStr(kCaptionRenumber), gui::MB_OK | gui::MB_ICONSTOP);
      break;
    case RenumberOutcome::MarkerFailed:
      gui::MessageBox(owner, DossierRunMarkerRefusal(result.failedTable), LoadStr(kCaptionRenumber),
                      gui::MB_OK | gui::MB_ICONSTOP);
      break;
  }
  return result.outcome == RenumberOutcome::Done;
}

void InstallMaintenance2Commands() {
  // "Utilitaires > Accès aux Fichiers > Renuméroter toutes les Pièces"
  SetCommandWork(command_id::RenumeroterPieces, &CmRenumeroterPieces);
  SetCommandWork(command_id::GestionDossiers, &CmGestionDossiers);
}
