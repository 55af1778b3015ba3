// The list box: lines of text with optional data, single or multiple
// selection, and owner-drawn lines through DrawItem. Selection changes made
// by the user notify LBN_SELCHANGE; a double click notifies LBN_DBLCLK.
#pragma once

#include "platform/gui/window_users.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/controls.h"

namespace gui {

class ListBox : public Control {
 public:
  using Control::Control;
  explicit ListBox(Window* parent, int id, unsigned flags = ctl::TabStop | ctl::VScroll);

  int AddString(const std::string& cp1252);
  int InsertString(const std::string& cp1252, int index);  // -1 = at the end
  int DeleteString(int index);  // lines left, LB_ERR when out of range
  void ClearList();
  int GetCount() const;
  std::string GetString(int index) const;
  int GetStringLen(int index) const;
  void SetItemData(int index, std::uintptr_t data);
  std::uintptr_t GetItemData(int index) const;
  int FindString(const std::string& prefix, int start = -1) const;
  int FindStringExact(const std::string& text, int start = -1) const;

  int GetSelIndex() const;       // LB_ERR when none
  int SetSelIndex(int index);    // -1 clears
  // Multiple selection.
  int GetSelCount() const;
  std::vector<int> GetSelIndexes() const;
  void SetSel(int index, bool select);
  int GetTopIndex() const;
  void SetTopIndex(int index);

  // Owner-drawn lines are this many pixels high.
  void SetItemHeight(int pixels);
  int GetItemHeight() const { return itemHeight_; }
  // One tab stop, `pixels` from the line's left: the text after a line's
  // first tab starts there (0 = Qt's default stops).
  void SetTabStop(int pixels);
  int TabStop() const { return tabStop_; }
  bool IsOwnerDrawn() const { return (flags_ & ctl::OwnerDraw) != 0; }

  // Draws one line of an owner-drawn list. The default draws its text.
  virtual void DrawItem(DC& dc, int index, const Box& rect, bool selected, bool focused);

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  unsigned SetFocusCode() const override { return LBN_SETFOCUS; }
  unsigned KillFocusCode() const override { return LBN_KILLFOCUS; }
  // The user clicked or double-clicked a line (after the selection moved).
  virtual void EvItemClick(int index) {}
  virtual void EvItemDoubleClick(int index) { Notify(LBN_DBLCLK); }

 private:
  friend class ListBoxDelegate;
  friend class TabStopDelegate;
  struct Line {
    std::string text;
    std::uintptr_t data = 0;
  };
  void Refill();
  std::vector<Line> lines_;
  int itemHeight_ = 0;
  int tabStop_ = 0;
  bool quiet_ = false;
};

}  // namespace gui
