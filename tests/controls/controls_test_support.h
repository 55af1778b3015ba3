// Shared set-up of the custom-control tests: a Qt application, the modal
// seam in test mode, beeps counted, a page window that records the
// commands its controls post, and key helpers that type as a user does.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <string>
#include <vector>

#include "controls/control_env.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/modal_seam.h"
#include "platform/gui/window.h"
#include "support/gui_test.h"

namespace ctest {

// A plain window holding controls, as a form page does; records commands.
class Page : public gui::Window {
 public:
  Page() { MoveWindow(gui::Rect{0, 0, 400, 300}); }
  std::vector<unsigned> commands;  // WM_COMMAND ids posted without a sender
  std::vector<std::pair<unsigned, std::uintptr_t>> messages;  // other messages
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wp, std::intptr_t lp) override {
    if (msg == gui::WM_COMMAND && lp == 0) commands.push_back(static_cast<unsigned>(wp & 0xFFFF));
    else if (msg != gui::WM_COMMAND) messages.emplace_back(msg, wp);
    return gui::Window::WindowProc(msg, wp, lp);
  }
};

// Types cp1252 text: each byte as a key press and release carrying it.
inline void Type(QWidget* w, const std::string& cp1252) {
  for (unsigned char c : cp1252) {
    const std::string text = test_support::Latin1Text(c);
    const int key = c == '\b' ? gui::VK_BACK : 0;
    test_support::SendKey(w, test_support::kKeyPress, key, test_support::kNoModifier, text);
    test_support::SendKey(w, test_support::kKeyRelease, key, test_support::kNoModifier, text);
  }
}

// Presses and releases one key with modifiers.
inline void Press(QWidget* w, int key, test_support::KeyModifiers mods = test_support::kNoModifier,
                  const std::string& text = {}) {
  test_support::SendKey(w, test_support::kKeyPress, key, mods, text);
  test_support::SendKey(w, test_support::kKeyRelease, key, mods, text);
}

inline void Release(QWidget* w, int key, test_support::KeyModifiers mods = test_support::kNoModifier) {
  test_support::SendKey(w, test_support::kKeyRelease, key, mods);
}

class ControlTest : public test_support::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    gui::SetScrollLockOn(false);
    options_ = std::string(22, 'N');
    ControlEnv().programOptions = &options_;
    page = new Page;
  }
  void TearDown() override {
    delete page;
    GuiTest::TearDown();
  }
  // Shows the page as the active window so that focus changes are real.
  void ShowActive() {
    ASSERT_TRUE(page->Create());
    page->Show(gui::SW_SHOW);
    page->Widget()->activateWindow();
    QApplication::setActiveWindow(page->Widget());
    QApplication::processEvents();
  }

  Page* page = nullptr;
  std::string options_;
};

}  // namespace ctest
