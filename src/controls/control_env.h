// What the custom controls read from the program around them: the help
// context of F1, the program options, the shared pens and fonts, the
// message bar, help and the calculator of F8. The shell and the framework
// fill it when they start (InstallFrameworkHooks, SetControlEnvironment);
// until then each entry answers a usable default, so controls work in a
// bare test.
#pragma once

#include <functional>
#include <string>

#include "platform/gui/dc.h"
#include "platform/gui/handles.h"
#include "resources/command_ids.h"

class MEdit;

namespace gui {
class Window;
}

struct ControlEnvironment {
  // The program-wide help context (CurrentHelpContext) and option text
  // (ProgramOptions, 1-based positions). Null: a value of this file.
  long* helpContext = nullptr;
  std::string* programOptions = nullptr;
  // Shared pens and fonts (null: a default of the same colour or face).
  const gui::Pen* penLightRed = nullptr;
  const gui::Pen* penLightBlue = nullptr;
  const gui::Pen* penWhite = nullptr;
  const gui::Pen* penGray = nullptr;
  const gui::Brush* patternBrush = nullptr;  // behind form pages
  const gui::Font* assistFont = nullptr;
  const gui::Font* entryFontFixed = nullptr;
  // Text of the main frame's message bar (empty: nothing).
  std::function<void(const std::string&)> setMessageBarText;
  // F1: opens help on a context (0 = table of contents). Empty: nothing.
  std::function<void(long context)> showHelp;
  // F8 without a command: runs the calculator on the edit; true with the
  // result text when the user confirmed. Empty: no calculator.
  std::function<bool(MEdit& edit, std::string& result)> runCalculator;
  // The window that owns the program's modal notices (the MDI client).
  std::function<gui::Window*()> mainWindow;
};

ControlEnvironment& ControlEnv();

// CurrentHelpContext (read and written through the environment).
long& HelpContext();
// ProgramOptions character at a 1-based position (' ' when absent).
char ProgramOptionAt(int position);
// "SaisieEnRouge" (position 16) and "SelectSaisies" (position 14) are "O".
bool FrameFocusedControls();
bool SelectWholeTextOnFocus();

const gui::Pen& LightRedPen();
const gui::Pen& LightBluePen();
const gui::Pen& WhitePen();
const gui::Pen& GrayPen();
const gui::Font* SharedAssistFont();     // null when not made yet
const gui::Font* SharedEntryFontFixed(); // null when not made yet

// Posts WM_COMMAND `id` (second parameter 0) to a window, when it lives.
void PostCommandTo(gui::Window* window, unsigned id);
void PostCommandTo(gui::Handle handle, unsigned id);
// Posts WM_NEXTDLGCTL to the parent: previous (1) or next (0) control.
void PostNextControl(gui::Window* control, bool previous);
// Moves the focus from `from` to the next or previous control of its
// parent that can take it (enabled, visible, not a static). Dialogs go in
// template order, other windows in creation order, wrapping around.
bool MoveFocusToNeighbour(gui::Window* from, bool previous);
// WM_NEXTDLGCTL received by `parent`: the focus goes from the child that has
// it to that child's next or previous neighbour.
void MoveFocusFromFocusedChild(gui::Window* parent, bool previous);
// Ctrl / Shift held now.
bool CtrlDown();
bool ShiftDown();

// Tag of the constructors that bind a control of a dialog template.
struct OnTemplate {};
inline constexpr OnTemplate kOnTemplate{};

// Commands the entry controls post (WM_COMMAND, second parameter 0).
constexpr unsigned CM_QUITTER_FORM = child_command::Quitter;  // F9 in a form
constexpr unsigned CM_ENREGISTRER = child_command::Enregistrer;  // F12 in a form
constexpr unsigned CM_WORD_SEARCH = child_command::Chercher;  // F2
constexpr unsigned CM_WORD_SEARCH_NEXT = child_command::ChercherEncore;  // F3

// The tooltip part every custom control carries: one tip, set once.
class MTooltipEx {
 public:
  // Sets the control's tip; ignored when a tip is already set or the text
  // is empty. True when this call set it.
  bool SetTip(const std::string& cp1252);
  bool HasTip() const { return tipSet_; }

 protected:
  explicit MTooltipEx(gui::Window* self) : self_(self) {}

 private:
  gui::Window* self_;
  bool tipSet_ = false;
};
