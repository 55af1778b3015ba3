// The dialog base of every dialog (TDNuv), the small modeless window that
// long dossier-wide runs show while they work (TDNuvModeless), and the
// dialog in which a user composes a list of variables (TDSaisieVariables).
#pragma once

#include <cstdint>
#include <string>

#include "platform/gui/dialog.h"
#include "resources/command_ids.h"

class MButton;
class MEdit;
class MListBox;
class MRStatic;
class MStatic;

// Modal-run flags of TDNuv::Execute.
constexpr unsigned kTaskModal = 0x2000;
constexpr unsigned kSystemModal = 0x1000;

class TDNuv : public gui::Dialog {
 public:
  // Sets the help context to 85, shows the wait cursor when asked and
  // empties the main frame's message bar.
  TDNuv(gui::Window* parent, int resourceId, bool showWaitCursor);
  TDNuv(gui::Window* parent, const std::string& resourceName, bool showWaitCursor);

  // Runs the dialog modally. With flags 0 the ordinary modal run; with
  // other flags the dialog is created and shown first (-1 when it cannot
  // be), the flags are kept in ModalFlags for the run, and the run is the
  // dialog's own (task- or system-modal) or its parent's.
  virtual int Execute(unsigned flags);
  int Execute() override { return Execute(0u); }
  // The window a flagged run is modal for: the dialog itself with the
  // task- or system-modal bit, its parent otherwise.
  gui::Window* ModalWindowFor(unsigned flags);

  unsigned ModalFlags() const { return modalFlags_; }
  bool SetUpDone() const { return setUp_; }
  // The framed first line of a progress window (0 for other dialogs).
  gui::Handle FramedLine() const { return framedLine_; }

 protected:
  // F4 of a control asks for the previous control (WM_NEXTDLGCTL).
  std::intptr_t EvMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

  unsigned modalFlags_ = 0;
  bool setUp_ = false;
  gui::Handle framedLine_ = 0;

 private:
  void Start(bool showWaitCursor);
};

// The progress window of long runs: a framed first line, a second line,
// and a ticker of the records gone through. Escape or F9 does not close it
// under the run's feet: it asks the run to stop (Aborted).
class TDNuvModeless : public TDNuv {
 public:
  static constexpr int kTickLineRoom = 50;

  TDNuvModeless(gui::Window* parent, bool showWaitCursor);

  void SetLine(const std::string& text);
  void SetLine2(const std::string& text);
  // Every twentieth call (or every call with `force`) appends " " + mark
  // to the tick line, dropping the oldest marks to stay within 50
  // characters, and shows it on the second line.
  void Tick(const std::string& mark, bool force);

  const std::string& TickLine() const { return tickLine_; }
  int TickCount() const { return tickCount_; }
  std::string Line1() const;
  std::string Line2() const;
  // The user asked to stop the run (Escape / F9 / the window's close).
  bool Aborted() const { return aborted_; }

 protected:
  void SetupWindow() override;
  void CmCancel() override;
  bool CanClose() override;

 private:
  MRStatic* line1_;
  MStatic* line2_;
  std::string tickLine_;
  int tickCount_ = 0;
  bool aborted_ = false;
};

// Picks lines of a list into a multi-line text: a double click (command
// Inserer) appends the selected line on a new line; OK returns the text in
// the caller's buffer, "Abandon" leaves it as it was.
class TDSaisieVariables : public TDNuv {
 public:
  static constexpr unsigned CM_INSERER = child_command::Inserer;

  TDSaisieVariables(gui::Window* parent, std::string* buffer);

  MListBox* List() const { return list_; }
  MEdit* Text() const { return edit_; }
  void CmInserer();
  bool CanClose() override;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;

 private:
  std::string* buffer_;
  MListBox* list_;
  MEdit* edit_;
  MButton* ok_;
  MButton* cancel_;
};
