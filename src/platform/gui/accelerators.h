// Accelerator tables: key combinations that send commands, read from text
// resources ":/accelerators/<id>.acc" (UTF-8), one "<keys><TAB><command id>"
// per line, keys written as Qt writes them ("Ctrl+S", "Shift+F5", "F9");
// "#" starts a comment line.
//
// Installed on a window, a table is looked at before the focused control
// sees the key (as the Windows message loop did), so Ctrl+C reaches the
// table even from an edit. A command whose enabler greys it is not sent.
#pragma once

#include "platform/gui/window_users.h"

#include <memory>
#include <string>
#include <vector>

namespace gui {

class Window;

class AcceleratorTable {
 public:
  struct Entry {
    int key = 0;        // Qt key with its modifiers (QKeyCombination::toCombined)
    unsigned id = 0;    // command
  };

  static std::unique_ptr<AcceleratorTable> Load(int resourceId);
  static std::unique_ptr<AcceleratorTable> FromText(const std::string& utf8, std::string* error = nullptr);

  const std::vector<Entry>& Entries() const { return entries_; }
  // Command of a Qt key combination, 0 when the table has none.
  unsigned Translate(int combinedKey) const;
  // Same, from the key text ("Ctrl+S").
  unsigned TranslateText(const std::string& keys) const;

  // The table acts for keys typed inside `window` (and its children) until
  // the window is destroyed or Uninstall.
  void Install(Window& window);
  void Uninstall();
  ~AcceleratorTable();

 private:
  std::vector<Entry> entries_;
  unsigned installedOn_ = 0;
};

}  // namespace gui
