// The edit control: one line or several, read-only, password, a limit on
// its length, selection and caret. Multi-line text is exchanged with CR LF
// line ends and positions count them as two characters, as the program's
// texts hold them. Keys arrive translated to virtual keys (EvKeyDown,
// EvKeyUp, EvChar); FilterChar decides whether a typed character goes in.
#pragma once

#include "platform/gui/window_users.h"

#include <string>

#include "platform/gui/controls.h"

namespace gui {

class Edit : public Control {
 public:
  using Control::Control;
  // An edit made by code.
  Edit(Window* parent, int id, const std::string& text, int textLimit, bool multiLine);

  std::string GetText() const override;
  void SetText(const std::string& cp1252) override;
  // False when the user typed or pasted a character that cp1252 lacks
  // (GetText shows it as '?'): a name or path with it must be refused.
  bool HoldsOnlyCp1252() const;

  // At most `limit` characters (0 = no limit); a longer text is cut.
  void SetTextLimit(int limit);
  int GetTextLimit() const { return limit_; }
  void SetReadOnly(bool readOnly);
  bool IsReadOnly() const { return (flags_ & ctl::ReadOnly) != 0; }
  bool IsMultiLine() const { return (flags_ & ctl::MultiLine) != 0; }
  // A one-line edit that shows a dot for each typed character.
  void SetPassword(bool password);
  bool IsPassword() const { return (flags_ & ctl::Password) != 0; }

  // Selection [start, end); the caret stands at `end`. end < 0 = to the end
  // of the text; start < 0 removes the selection (caret unchanged).
  void GetSelection(int& start, int& end) const;
  void SetSelection(int start, int end);
  int GetCaretPos() const;
  void ReplaceSelection(const std::string& cp1252);
  // Line of a position (0-based), for the caret's line display.
  int GetLineFromPos(int pos) const;

  // Set by typing, cleared by ClearModify (SetText does not set it).
  bool IsModified() const;
  void ClearModify();

  // The Edit menu's commands (CM_EDITUNDO ... CM_EDITDELETE) on this edit,
  // each enabled when it applies: something to undo, a selection to cut,
  // copy or delete, text on the clipboard to paste; nothing changes a
  // read-only edit and nothing copies out of a password.
  static const ResponseTable& Table();
  const ResponseTable& Responses() const override { return Table(); }
  bool CanEdit(unsigned command) const;
  void RunEdit(unsigned command);

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  // A typed character goes in when FilterChar answers true.
  void EvChar(unsigned ch, unsigned repeat, unsigned flags) override;
  // Enter released: the dialog's default button when the dialog leaves Enter in its edits to it.
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;
  virtual bool FilterChar(unsigned ch) { return true; }
  void CleanupWindow() override { text_ = GetText(); }
  unsigned SetFocusCode() const override { return EN_SETFOCUS; }
  unsigned KillFocusCode() const override { return EN_KILLFOCUS; }

 private:
  void Changed();
  int limit_ = 0;
  bool modified_ = false;
  bool settingText_ = false;
};

}  // namespace gui
