// Dialogs built from templates (dialog_template.h). A modal dialog runs
// through the modal seam (Execute); a modeless one is created and shown and
// lets events through with ProcessEvents while its owner works. Controls
// are reached by id; their notifications arrive in EvChildNotify, and a
// button's click runs the command of its id through the response table
// (IDOK and IDCANCEL end the dialog by default). Enter presses the default
// button only from a list box: the other controls act on Enter themselves
// when it is released. Escape, and F9 / F12 released on a control that
// leaves them, cancel and confirm.
#pragma once

#include "platform/gui/window_users.h"

#include <string>

#include "platform/gui/controls.h"
#include "platform/gui/dialog_template.h"
#include "platform/gui/window.h"

namespace gui {

class Dialog : public Window {
 public:
  Dialog(Window* parent, const std::string& templateId);
  Dialog(Window* parent, int templateId);
  ~Dialog() override;

  const DialogTemplate* Template() const { return template_; }
  DialogUnits Units() const { return units_; }

  // Builds the dialog and runs it modally; the dialog's answer (IDOK,
  // IDCANCEL, ...), or -1 when it could not be built (no template).
  virtual int Execute();
  // Ends the dialog with `result` (a modeless one is destroyed).
  void EndDialog(int result);
  bool IsEnded() const { return ended_; }
  int Result() const { return result_; }

  // Lets the window system work (painting, clicks) during a long run.
  static void ProcessEvents();

  // Controls by id (nullptr when none).
  Control* GetDlgItem(int id) const;
  template <class T>
  T* Item(int id) const { return dynamic_cast<T*>(GetDlgItem(id)); }
  std::string GetItemText(int id) const;
  bool SetItemText(int id, const std::string& cp1252);
  int GetCheck(int id) const;  // BST_ state, BST_UNCHECKED when none
  bool SetCheck(int id, int state);
  bool EnableItem(int id, bool enable);
  bool ShowItem(int id, bool show);
  bool FocusItem(int id);
  // Selection of a combo or list box; CB_ERR / LB_ERR when none.
  int GetItemSel(int id) const;
  bool SetItemSel(int id, int index);
  // Presses a button as a click would.
  bool PressButton(int id);
  // Enter released in a list box (or, when asked, in an edit of the template): the default button pressed;
  // false when the focus is elsewhere.
  bool PressDefaultOnEnter();

  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool EvCommand(unsigned id) override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  // Notification of a control. Default: a click runs the command of the
  // control's id.
  virtual void EvChildNotify(int id, unsigned code, Handle control);
  virtual void CmOk();
  virtual void CmCancel();
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;
  // Asked by a dialog whose edits leave Enter to it.
  void SetEnterInEditsPressesDefault(bool on) { enterInEditsPressesDefault_ = on; }

 private:
  friend class DialogWidget;
  bool enterInEditsPressesDefault_ = false;
  void BuildControls();
  void ArrangeTabOrder();
  const DialogTemplate* template_ = nullptr;
  std::string templateId_;
  DialogUnits units_;
  int controlsShift_ = 0;  // pixels the controls move right in a dialog widened for its caption
  bool ended_ = false;
  bool running_ = false;
  int result_ = IDCANCEL;
};

}  // namespace gui
