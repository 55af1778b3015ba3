// The rebuild of the dossier's index files, and the progress window that
// the dossier-wide runs of the opening show while they work.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dossier/core/maintenance_pack.h"
#include "shell/progress.h"

class TDNuvModeless;
namespace gui {
class Window;
}

// The framework's modeless progress window (a framed first line, a second
// line), shown under `caption` for as long as the object lives; it lets the
// window system work while the run goes on. `waitCursor`: the window's
// wait-cursor flag.
class DossierProgressWindow {
 public:
  DossierProgressWindow(gui::Window* owner, const std::string& caption, bool waitCursor = false);
  ~DossierProgressWindow();
  DossierProgressWindow(const DossierProgressWindow&) = delete;
  DossierProgressWindow& operator=(const DossierProgressWindow&) = delete;

  void SetLine(const std::string& text);
  void SetLine2(const std::string& text);
  std::string Caption() const { return caption_; }
  std::string Line() const { return line_; }
  bool Shown() const { return window_ != nullptr; }
  TDNuvModeless* Window() const { return window_.get(); }

  // The caption of the last progress window made, and what its framed line
  // showed when it closed (tests read them).
  static const std::string& LastCaption();
  static const std::string& LastFramedLine();
  // The framed lines the progress windows showed, the last 64 in order (tests read them).
  static const std::vector<std::string>& RecentFramedLines();
  static void ForgetFramedLines();

 private:
  std::unique_ptr<TDNuvModeless> window_;
  std::string caption_;
  std::string line_;
};

// A dossier-wide run's progress on the screen (the rebuild's, the take-up of a stopped import at
// the opening): the progress window under `caption` with the run's lines, the cursor's stages as
// the run steps through its total, letting the window system work every few hundred steps, and
// with `animate` the busy cursor turning as each table is done. The cursor goes back to the
// arrow when it ends.
class DossierRunProgress : public MaintenanceProgress {
 public:
  DossierRunProgress(gui::Window* parent, const std::string& caption, bool animate);
  ~DossierRunProgress() override;
  DossierRunProgress(const DossierRunProgress&) = delete;
  DossierRunProgress& operator=(const DossierRunProgress&) = delete;

  void SetLine(const std::string& text) override { window_.SetLine(text); }
  void SetLine2(const std::string& text) override { window_.SetLine2(text); }
  void RestartTicker() override { window_.SetLine2(""); }
  void Tick(const std::string& mark, bool force) override;
  void SetTotal(long total) override;
  void Step() override;
  void TableDone() override;

 private:
  DossierProgressWindow window_;
  Progress cursor_;
  bool animate_;
  long count_ = 0;
};

// The dossier's pack and reindex (PackAndReindexTables: each data file is
// checked before its index file goes), under a progress window titled
// "ReIndex du dossier: " + code when `showProgress`; the dossier is held
// exclusively. A table whose data file is missing is passed over (the
// opening creates a missing draft file afterwards). A table that cannot be
// reindexed shows the reindex failure box; a tag the engine refused is
// reported by the table layer; both give false. A C10 of the oldest
// generation keeps its tables untouched but loses its unusable index file,
// so the opening can offer the conversion: true. The tables are left closed.
bool RebuildTablesAndIndexes(gui::Window* owner, bool pack, bool showProgress);
