// TDMessageLockR: the notice shown while another workstation holds a
// record this one wants to change. It ends when the user presses "&Ok".
#pragma once

#include <string>

#include "framework/dialog_bases.h"

class MButton;
class MStatic;

class TDMessageLockR : public TDNuv {
 public:
  TDMessageLockR(gui::Window* parent, const std::string& message);
  const std::string& Message() const { return message_; }

 protected:
  void SetupWindow() override;

 private:
  std::string message_;
  MStatic* static_;
  MButton* ok_;
};

// The table layer's lock-notice hook: the notice, owned by the main
// window, run task-modal with the given caption.
void ShowLockNotice(const char* caption, const char* message);
