#include "shell/progress.h"

#include "platform/gui/command.h"
#include "platform/gui/cursor.h"
#include "platform/gui/handles.h"
#include "platform/gui/window.h"
#include "resources/string_table.h"
#include "shell/cursors.h"

namespace {
constexpr int kStartCursorString = 526;  // "C15"
constexpr int kFirstStageString = 527;   // "C16" .. "C25"
}  // namespace

void Progress::ProgressInit(long total, gui::Window* owner) {
  if (owner != nullptr) owner_ = owner;
  stage_ = 0;
  long step = total / 10;
  for (int i = 1; i <= 9; ++i) thresholds_[i - 1] = step * i;
  thresholds_[9] = total - 1 < 0 ? 0 : total - 1;
  ProgressStep(0, false);
}

void Progress::ShowStageCursor(int stage) {
  int id = kFirstStageString + stage - 1;
  SetAppCursor(id, true);
  if (owner_ != nullptr && owner_->IsCreated()) gui::SetWindowCursor(*owner_, LoadStr(id));
}

void Progress::ProgressStep(long count, bool pump) {
  if (pump) gui::ProcessPendingMessages();
  if (count <= 1) {
    SetAppCursor(kStartCursorString, false);
    if (owner_ != nullptr && owner_->IsCreated()) gui::SetWindowCursor(*owner_, LoadStr(kStartCursorString));
    return;
  }
  while (stage_ < 10) {
    long threshold = thresholds_[stage_];
    if (count < threshold) return;
    ShowStageCursor(stage_ + 1);
    ++stage_;
    if (count == threshold) return;
  }
}
