// Cursors: named cursors from our own images (":/cursors/<name>.png",
// hot spot at the centre unless a "<name>.hot" file gives "x y"), the
// busy cursor of long runs, and animated cursors from numbered frames.
#pragma once

#include "platform/gui/window_users.h"

#include <string>
#include <vector>

namespace gui {

class Window;

// Shows the named cursor over the whole program until SetArrowCursor;
// a name without an image shows the platform's busy cursor. False when
// there is no window system.
bool SetNamedCursor(const std::string& name);
// Back to the normal arrow.
void SetArrowCursor();
// The name shown now ("" for the arrow).
std::string CurrentCursorName();
// True when the image of the name exists among the resources.
bool HasCursorImage(const std::string& name);

// The cursor of one window (used while the pointer is over it).
bool SetWindowCursor(Window& window, const std::string& name);

// An animation over frames named in order; Step shows the next frame.
class AnimatedCursor {
 public:
  explicit AnimatedCursor(std::vector<std::string> frames) : frames_(std::move(frames)) {}
  void Step();
  int Frame() const { return frame_; }

 private:
  std::vector<std::string> frames_;
  int frame_ = -1;
};

}  // namespace gui
