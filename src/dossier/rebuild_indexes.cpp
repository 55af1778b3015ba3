#include "dossier/rebuild_indexes.h"

#include <memory>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "dossier/core/maintenance_pack.h"
#include "dossier/rebuild_dossier.h"
#include "framework/dialog_bases.h"
#include "platform/gui/constants.h"
#include "platform/gui/dialog.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"

namespace {

// The texts of the reindex, by their ids in the string table.
constexpr int kCaptionReindex = 19700;           // the dossier's code
constexpr int kLogReindexError = 22136;          // the file
constexpr int kLogReindexDone = 22138;           // the code, the files reindexed
constexpr int kLogTagsFailed = 32019;            // the code, the files without index
constexpr int kLogReindexPackedDone = 32020;     // the code, the files packed and reindexed

std::string& LastProgressCaption() {
  static std::string caption;
  return caption;
}

std::string& LastProgressLine() {
  static std::string line;
  return line;
}

std::vector<std::string>& RecentProgressLines() {
  static std::vector<std::string> lines;
  return lines;
}

}  // namespace

DossierProgressWindow::DossierProgressWindow(gui::Window* owner, const std::string& caption, bool waitCursor)
    : caption_(caption) {
  LastProgressCaption() = caption;
  LastProgressLine().clear();
  window_ = std::make_unique<TDNuvModeless>(owner, waitCursor);
  if (!window_->Create()) {
    window_.reset();
    return;
  }
  window_->SetCaption(caption);
  window_->Show(gui::SW_SHOWNORMAL);
  gui::Dialog::ProcessEvents();
}

DossierProgressWindow::~DossierProgressWindow() {
  if (!window_ || !window_->IsCreated()) return;
  LastProgressLine() = window_->Line1();
  window_->Destroy();
}

void DossierProgressWindow::SetLine(const std::string& text) {
  line_ = text;
  std::vector<std::string>& recent = RecentProgressLines();
  if (recent.size() >= 64) recent.erase(recent.begin());
  recent.push_back(text);
  if (!window_) return;
  window_->SetLine(text);
  gui::Dialog::ProcessEvents();
}

void DossierProgressWindow::SetLine2(const std::string& text) {
  if (!window_) return;
  window_->SetLine2(text);
  gui::Dialog::ProcessEvents();
}

const std::string& DossierProgressWindow::LastCaption() { return LastProgressCaption(); }

const std::string& DossierProgressWindow::LastFramedLine() { return LastProgressLine(); }

const std::vector<std::string>& DossierProgressWindow::RecentFramedLines() { return RecentProgressLines(); }

void DossierProgressWindow::ForgetFramedLines() { RecentProgressLines().clear(); }

namespace {

// Waiting window messages are let through once every this many steps.
constexpr long kPumpEvery = 256;

}  // namespace

DossierRunProgress::DossierRunProgress(gui::Window* parent, const std::string& caption, bool animate)
    : window_(parent, caption, animate), cursor_(0, nullptr), animate_(animate) {
  if (animate_) ToggleBusyCursor();
}

DossierRunProgress::~DossierRunProgress() { SetAppCursor(0, false); }

void DossierRunProgress::Tick(const std::string& mark, bool force) {
  if (window_.Window() != nullptr) window_.Window()->Tick(mark, force);
}

void DossierRunProgress::SetTotal(long total) {
  count_ = 0;
  cursor_.ProgressInit(total, window_.Window());
}

void DossierRunProgress::Step() {
  ++count_;
  cursor_.ProgressStep(count_, count_ % kPumpEvery == 0);
}

void DossierRunProgress::TableDone() {
  if (animate_) ToggleBusyCursor();
  gui::Dialog::ProcessEvents();
}

namespace {

// The reindex's progress on the dossier's progress window, counting the
// tables done.
class ReindexProgress : public MaintenanceProgress {
 public:
  explicit ReindexProgress(DossierProgressWindow* window) : window_(window) {}
  void SetLine(const std::string& text) override {
    if (window_ != nullptr) window_->SetLine(text);
  }
  void TableDone() override { gui::Dialog::ProcessEvents(); }

 private:
  DossierProgressWindow* window_;
};

}  // namespace

bool RebuildTablesAndIndexes(gui::Window* owner, bool pack, bool showProgress) {
  const std::string code = RTrim(DossierCode.c_str());
  PackResult result;
  // A change the system refused is said in the reindex's own box, with its cause; the engine
  // says its other failures itself.
  const RefusalWatch refused(RefusalWatch::EngineBoxes::kRefusalsHeld);
  {
    std::unique_ptr<DossierProgressWindow> window;
    if (showProgress) window = std::make_unique<DossierProgressWindow>(owner, FillPlaceholder(LoadStr(kCaptionReindex), code));
    ReindexProgress progress(window.get());
    result = PackAndReindexTables(pack, &progress, true);
  }
  if (result.outcome == PackOutcome::OldGeneration) {
    // Its tags cannot be made: the opening goes on to offer the conversion,
    // with C10's missing or foreign index file dropped so the table opens.
    if (!DropIndexFile(PathC10())) {
      PackResult failed;
      failed.outcome = PackOutcome::TableFailed;
      failed.table = 10;
      failed.dataPath = result.dataPath;
      ShowReindexFailure(owner, failed);
      return false;
    }
    return true;
  }
  if (!result.ok()) {
    WriteLog(FillPlaceholder(LoadStr(kLogReindexError), result.dataPath));
    ShowReindexFailure(owner, result);
    return false;
  }
  // A tag builder that failed has shown its engine error, unless the system refused its change
  // or the table did not open again: the table is then named here. The dossier cannot be used.
  if (result.tagFailures > 0) {
    WriteLog(FillPlaceholders(LoadStr(kLogTagsFailed), {code, std::to_string(result.tagFailures)}));
    if (refused.RefusedResult() != 0 || !refused.Seen()) {
      PackResult failed;
      failed.outcome = PackOutcome::TableFailed;
      failed.table = result.packFailedTable;
      failed.dataPath = result.packFailedPath;
      if (refused.RefusedResult() != 0) failed.refusal = refused.Reason(refused.RefusedResult(), "", 0);
      ShowReindexFailure(owner, failed);
    }
    return false;
  }
  WriteLog(FillPlaceholders(LoadStr(pack ? kLogReindexPackedDone : kLogReindexDone),
                            {code, std::to_string(result.reindexed)}));
  return true;
}
