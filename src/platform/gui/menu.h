// Menus: a menu bar or pop-up built from a menu resource, with items that
// can be inserted and deleted by position (the recent-dossier entries),
// check marks, and enablers that run each time a menu opens.
//
// Menu resources are text files ":/menus/<id>.menu" (UTF-8): one line per
// entry, two spaces of indentation per level. A line "<id><TAB><text>" is a
// command ("<id>" alone: a command whose owner sets the text later), "-" a
// separator, and a line with text only opens a pop-up that holds the more
// indented lines below it. In texts "&" marks the mnemonic and "\t"
// separates the accelerator text. Lines starting with "#" are comments.
#pragma once

#include "platform/gui/window_users.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/command.h"
#include "platform/gui/window.h"

class QMenu;

namespace gui {

class Menu {
 public:
  Menu();
  ~Menu();
  Menu(const Menu&) = delete;
  Menu& operator=(const Menu&) = delete;

  static std::unique_ptr<Menu> Load(int resourceId);
  // Parses the resource format; on error returns nullptr and says where.
  static std::unique_ptr<Menu> FromText(const std::string& utf8, std::string* error = nullptr);

  int GetItemCount() const;
  // Command id at `pos`; 0 for separators and pop-ups, and out of range.
  unsigned GetItemId(int pos) const;
  bool IsSeparator(int pos) const;
  Menu* GetSubMenu(int pos) const;
  std::string GetItemText(int pos) const;  // cp1252
  // Position of the command in this menu (not its pop-ups), or -1.
  int FindPosition(unsigned id) const;

  // `pos` < 0 or beyond the end appends. Texts are cp1252.
  bool InsertItem(int pos, unsigned id, const std::string& text);
  bool InsertSeparator(int pos);
  bool InsertPopup(int pos, const std::string& text, std::unique_ptr<Menu> sub);
  bool DeleteItem(int pos);

  // By command id, searching the pop-ups too; false when not found.
  bool CheckItem(unsigned id, bool checked);
  bool IsItemChecked(unsigned id) const;
  bool EnableItem(unsigned id, bool enabled);
  bool IsItemEnabled(unsigned id) const;
  bool SetItemText(unsigned id, const std::string& text);
  // Every command id of the menu and its pop-ups, in order.
  std::vector<unsigned> CommandIds() const;

  // Who answers the enablers and receives the chosen commands (the frame
  // for its menu bar). Applies to the pop-ups too.
  void SetCommandTarget(Window* target);
  // Runs the enablers of this menu's items now (done when it opens).
  void RunEnablers();
  // Work done each time the menu opens, before its enablers (items that follow the program's state).
  void SetBeforeShow(std::function<void()> work);
  // Chooses the item as a click would; false when absent or greyed.
  bool Choose(unsigned id);

  // Context menu for `owner` at a point of its client area (where the user
  // clicked): enablers run, then the choice (through the modal seam) is sent
  // to the owner as a command. Returns the chosen id, 0 when none.
  unsigned TrackPopupMenu(Window& owner, Point client);

  QMenu* GetQMenu() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace gui
