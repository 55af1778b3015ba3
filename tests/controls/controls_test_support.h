// Shared set-up of the custom-control tests: a Qt application, the modal
// seam in test mode, beeps counted, a page window that records the
// commands its controls post, and key helpers that type as a user does.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
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
    int key = 0;
    if (c == '\b') key = Qt::Key_Backspace;
    QString text(QChar(static_cast<ushort>(c)));
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &up);
  }
}

// Presses and releases one key with modifiers.
inline void Press(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
  QKeyEvent down(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(w, &down);
  QKeyEvent up(QEvent::KeyRelease, key, mods, text);
  QApplication::sendEvent(w, &up);
}

inline void Release(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent up(QEvent::KeyRelease, key, mods);
  QApplication::sendEvent(w, &up);
}

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gui::Application::EnsureQt();
    gui::ModalSeam::SetTestMode(true);
    gui::ModalSeam::Reset();
    gui::SetBeepHook([](unsigned) {});
    gui::ResetBeepCount();
    gui::SetScrollLockOn(false);
    ControlEnv() = ControlEnvironment{};
    options_ = std::string(22, 'N');
    ControlEnv().programOptions = &options_;
    page = new Page;
  }
  void TearDown() override {
    delete page;
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
    ControlEnv() = ControlEnvironment{};
  }
  // Shows the page as the active window so that focus changes are real.
  void ShowActive() {
    ASSERT_TRUE(page->Create());
    page->Show(gui::SW_SHOW);
    page->Widget()->activateWindow();
    QApplication::setActiveWindow(page->Widget());
    QApplication::processEvents();
  }
  void SetOption(int position, char value) { options_[static_cast<std::size_t>(position - 1)] = value; }

  Page* page = nullptr;
  std::string options_;
};

}  // namespace ctest
