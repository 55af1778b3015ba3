// File-open, file-save, folder, printer set-up and font dialogs, through
// the modal seam. Qt's own dialogs (not the desktop's), so they run anywhere.
#pragma once

#include "platform/gui/window_users.h"

#include <functional>
#include <string>

class QPrinter;
class QWidget;

namespace gui {

class Window;

// `filter` is the Windows form "Text|*.txt|All|*.*" (pairs split by '|').
// Returns true and sets `path` when a file was chosen.
bool GetOpenFileName(Window* owner, const std::string& caption, const std::string& filter,
                     const std::string& startFolder, std::string& path);
// A file chosen that the write-target check refuses is refused in a box, and the dialog asked
// again.
bool GetSaveFileName(Window* owner, const std::string& caption, const std::string& filter,
                     const std::string& startFolder, std::string& path);
// The check of a file about to be written by a print or an export (a save dialog's choice, the
// PDF-file printer's file): a refusal text for a file that must not be written over, "" when
// it may. The layer above installs it; none installed lets every file through.
void SetWriteTargetCheck(std::function<std::string(const std::string& path)> check);
std::string CheckWriteTarget(const std::string& path);
// Folder choice; the chosen folder keeps its case.
bool BrowseForFolder(Window* owner, const std::string& caption, const std::string& startFolder,
                     std::string& folder);
// Printer set-up on `printer`, the PDF-file printer among the printers; IDOK when accepted,
// IDCANCEL otherwise. `fileFixed` tells whether the set-up fixed the PDF file (a test's answer
// names it); otherwise the PDF-file printer asks the file of each printout.
int PrintSetupDialog(Window* owner, QPrinter& printer, const std::string& caption, bool* fileFixed = nullptr);

// A font: face (cp1252), size in points, weight 100-900 (400 regular, 700
// bold) and style.
struct FontChoice {
  std::string face;
  int points = 0;
  int weight = 400;
  bool italic = false;
  bool underline = false;
};
// Font choice among the installed faces (every printer of the system prints
// them: the print job carries them), starting on `font`; IDOK with `font`
// rewritten when one was chosen, IDCANCEL with `font` unchanged otherwise.
// A face whose name the program cannot hold in cp1252 counts as cancelled.
int ChooseFontDialog(Window* owner, const std::string& caption, FontChoice& font);

// The file-open dialog GetOpenFileName shows, built but neither shown nor
// run, for a test's look at it. The caller owns it.
QWidget* NewFileDialogWidget(const std::string& caption, const std::string& filter, const std::string& startFolder);

// Converts the Windows filter form to Qt's ("Text (*.txt);;All (*.*)").
std::string ConvertFileFilter(const std::string& windowsFilter);

}  // namespace gui
