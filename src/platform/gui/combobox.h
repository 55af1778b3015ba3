// The combo box: a drop-down list (ctl::DropDownList) or a drop-down with
// an edit part. Selection changes made by the user notify CBN_SELCHANGE;
// those made by code do not.
#pragma once

#include "platform/gui/window_users.h"

#include <cstdint>
#include <string>

#include "platform/gui/controls.h"

namespace gui {

class ComboBox : public Control {
 public:
  using Control::Control;
  ComboBox(Window* parent, int id, int textLimit, bool dropDownList);

  int AddString(const std::string& cp1252);  // index of the new line
  int InsertString(const std::string& cp1252, int index);  // -1 = at the end
  int DeleteString(int index);  // lines left, CB_ERR when out of range
  void ClearList();
  int GetCount() const;
  std::string GetString(int index) const;
  void SetItemData(int index, std::uintptr_t data);
  std::uintptr_t GetItemData(int index) const;
  // First line from `start` + 1 (wrapping) whose text begins with the
  // prefix, compared without case; CB_ERR when none.
  int FindString(const std::string& prefix, int start = -1) const;
  int FindStringExact(const std::string& text, int start = -1) const;

  int GetSelIndex() const;
  int SetSelIndex(int index);  // -1 clears; CB_ERR when out of range

  // The shown text: the edit part, or the selected line of a list (a text
  // that is no line shows with no line selected).
  std::string GetText() const override;
  void SetText(const std::string& cp1252) override;
  void SetTextLimit(int limit);
  bool IsDropDownList() const { return (flags_ & ctl::DropDownList) != 0; }

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void CleanupWindow() override { text_ = GetText(); }
  unsigned SetFocusCode() const override { return CBN_SETFOCUS; }
  unsigned KillFocusCode() const override { return CBN_KILLFOCUS; }

 private:
  struct Line {
    std::string text;
    std::uintptr_t data = 0;
  };
  void Refill();
  std::vector<Line> lines_;
  int sel_ = -1;
  int limit_ = 0;
  bool quiet_ = false;
};

}  // namespace gui
