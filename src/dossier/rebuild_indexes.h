// The rebuild of the dossier's index files, and the small progress window
// that the dossier-wide runs of the opening show while they work.
#pragma once

#include <string>

#include "platform/gui/dialog.h"

// A modeless window with a framed first line and a second line; it lets the
// window system work while the run goes on and is destroyed with the object.
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
  bool Shown() const { return dialog_ != nullptr; }

  // The caption of the last progress window made (tests read it).
  static const std::string& LastCaption();

 private:
  gui::Dialog* dialog_ = nullptr;
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
