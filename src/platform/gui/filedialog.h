// File-open, file-save, folder and printer set-up dialogs, through the
// modal seam. Qt's own dialogs (not the desktop's), so they run anywhere.
#pragma once

#include <string>

class QPrinter;

namespace gui {

class Window;

// `filter` is the Windows form "Text|*.txt|All|*.*" (pairs split by '|').
// Returns true and sets `path` when a file was chosen.
bool GetOpenFileName(Window* owner, const std::string& caption, const std::string& filter,
                     const std::string& startFolder, std::string& path);
bool GetSaveFileName(Window* owner, const std::string& caption, const std::string& filter,
                     const std::string& startFolder, std::string& path);
// Folder choice; the chosen folder keeps its case.
bool BrowseForFolder(Window* owner, const std::string& caption, const std::string& startFolder,
                     std::string& folder);
// Printer set-up on `printer`; IDOK when accepted, IDCANCEL otherwise.
int PrintSetupDialog(Window* owner, QPrinter& printer, const std::string& caption);

// Converts the Windows filter form to Qt's ("Text (*.txt);;All (*.*)").
std::string ConvertFileFilter(const std::string& windowsFilter);

}  // namespace gui
