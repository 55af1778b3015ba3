// Progress shown by the cursor: a start cursor (C15), then ten stage
// cursors (C16 .. C25) as a count passes ten thresholds of a total.
#pragma once

namespace gui {
class Window;
}

class Progress {
 public:
  Progress(long total, gui::Window* owner = nullptr) { ProgressInit(total, owner); }

  // New total (and owner when given); stage 0, then the start cursor.
  void ProgressInit(long total, gui::Window* owner = nullptr);
  // Shows the cursor for `count`: the start cursor for 0 or 1, else the
  // cursor of each stage whose threshold the count reached.
  void ProgressStep(long count, bool pump);

  int Stage() const { return stage_; }
  long Threshold(int stage) const { return thresholds_[stage - 1]; }  // 1-10
  gui::Window* Owner() const { return owner_; }

 private:
  void ShowStageCursor(int stage);
  gui::Window* owner_ = nullptr;
  long thresholds_[10] = {};
  int stage_ = 0;
};
