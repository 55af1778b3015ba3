// The control bar (toolbar) of a frame: command buttons, two-state buttons
// and separators, with tooltips. Buttons are greyed and set by the command
// enablers of the frame at idle time.
#pragma once

#include "platform/gui/window_users.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/window.h"

class QAction;

namespace gui {

class ControlBar;

class Gadget {
 public:
  virtual ~Gadget();
  Gadget(const Gadget&) = delete;
  Gadget& operator=(const Gadget&) = delete;
  // Command id (0 for separators).
  unsigned GetId() const { return id_; }
  bool IsEnabled() const;
  QAction* GetAction() const { return action_; }

 protected:
  explicit Gadget(unsigned id);
  QAction* action_;

 private:
  unsigned id_;
};

class SeparatorGadget : public Gadget {
 public:
  SeparatorGadget();
};

class ButtonGadget : public Gadget {
 public:
  // Command: sends its command when clicked. NonExclusive: a two-state
  // button that changes state on each click, then sends its command.
  enum class Type { Command, NonExclusive };
  enum class State { Up, Down };

  // Glyph from the bitmap resources (":/bitmaps/<bitmapId>.png"); a drawn
  // placeholder when there is none.
  ButtonGadget(int bitmapId, unsigned commandId, Type type = Type::Command, bool enabled = true,
               State state = State::Up, bool repeat = false);

  Type GetType() const { return type_; }
  int GetBitmapId() const { return bitmapId_; }
  void SetButtonState(State state);
  State GetButtonState() const;
  void SetEnabled(bool enabled);
  void SetTooltip(const std::string& cp1252);
  std::string GetTooltip() const;

 private:
  Type type_;
  int bitmapId_;
};

class ControlBar : public Window {
 public:
  // Placed at the top of `frame` (an MDIFrame or any window with a layout).
  explicit ControlBar(Window* frame);
  ~ControlBar() override;

  // The bar owns inserted gadgets. `after` nullptr appends.
  void Insert(Gadget* gadget, Gadget* after = nullptr);
  // Takes the gadget out; the caller owns it again.
  Gadget* Remove(Gadget* gadget);
  int GadgetCount() const { return static_cast<int>(gadgets_.size()); }
  Gadget* GadgetAt(int index) const;
  Gadget* GadgetWithId(unsigned id) const;
  // Lays the gadgets out again after inserts and removals.
  void LayoutSession();

  // Runs the enablers of the buttons through the parent's command route
  // (done at idle).
  void RunEnablers();
  // Clicks the button of `id` as the user would; false when absent or grey.
  bool Press(unsigned id);

  // Tooltip text of a command id, asked when a button is inserted without
  // one (the shell serves the string table).
  static void SetHintProvider(std::function<std::string(unsigned id)> provider);

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  void SetupWindow() override;

 private:
  void Clicked(ButtonGadget* gadget);
  std::vector<std::unique_ptr<Gadget>> gadgets_;
};

}  // namespace gui
