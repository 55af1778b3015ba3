// The rebuild of the dossier's index files, and the progress window that
// the dossier-wide runs of the opening show while they work.
#pragma once

#include <memory>
#include <string>

class TDNuvModeless;
namespace gui {
class Window;
}

// The framework's modeless progress window (a framed first line, a second
// line), shown under `caption` for as long as the object lives; it lets the
// window system work while the run goes on.
class DossierProgressWindow {
 public:
  DossierProgressWindow(gui::Window* owner, const std::string& caption);
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

 private:
  std::unique_ptr<TDNuvModeless> window_;
  std::string caption_;
  std::string line_;
};

// For each dossier table C10 to C70 in turn (the dossier held exclusively):
// deletes its index file, clears the production-index flag of its data
// file, packs it when asked, reopens it exclusively and adds its tags again,
// under a progress window titled "ReIndex du dossier: " + code when
// `showProgress`. A table whose data file is missing is passed over (the
// opening creates a missing draft file afterwards). True when every table
// present was rebuilt; an engine error is reported by the table layer and
// gives false. The tables are left closed.
bool RebuildTablesAndIndexes(gui::Window* owner, bool pack, bool showProgress);
