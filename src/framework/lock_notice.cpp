#include "framework/lock_notice.h"

#include "controls/control_env.h"
#include "controls/mcontrols.h"
#include "platform/gui/cursor.h"
#include "resources/string_table.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kCursorLockNotice = 537;
constexpr int kCaptionProgram = 127;

}  // namespace

TDMessageLockR::TDMessageLockR(gui::Window* parent, const std::string& message)
    : TDNuv(parent, 1328, false),
      message_(message),
      static_(new MStatic(kOnTemplate, this, 1201)),
      ok_(new MButton(kOnTemplate, this, 1)) {}

void TDMessageLockR::SetupWindow() {
  TDNuv::SetupWindow();
  gui::SetWindowCursor(*this, LoadStr(kCursorLockNotice));
  if (const gui::Font* f = SharedAssistFont()) {
    static_->SetFont(*f);
    ok_->SetFont(*f);
  }
  static_->SetText(message_);
}

void ShowLockNotice(const char* caption, const char* message) {
  gui::Window* owner = ControlEnv().mainWindow ? ControlEnv().mainWindow() : nullptr;
  TDMessageLockR notice(owner, message != nullptr ? message : "");
  notice.SetCaption(caption != nullptr && *caption != '\0' ? caption : LoadStr(kCaptionProgram));
  notice.Execute(kTaskModal);
}
