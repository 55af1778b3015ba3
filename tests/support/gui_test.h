// Base of the window tests: Qt up headless, modal windows answered through the seam (recorded,
// never shown), beeps counted, the control environment emptied; and the screenshot that every
// window test saves under <build>/test-artefacts/<subject>/. No Qt header comes in: widgets are
// named as the window layer names them, pictures, keys and modifiers are the kit's own, and the
// work with Qt is done once in gui_test.cpp (merlon_gui_test_kit). A test that uses Qt itself
// includes the Qt headers it uses.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "controls/control_env.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/modal_seam.h"

class QWidget;

namespace test_support {

// The texts of every box shown since the last reset, "caption|text" one a line.
inline std::string ShownTexts() {
  std::string all;
  for (const auto& s : gui::ModalSeam::Shown()) all += s.caption + "|" + s.text + "\n";
  return all;
}

// <build>/test-artefacts/<subject>/<name>, its folder made.
inline std::string ArtefactPath(const std::string& subject, const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(MERLON_BINARY_DIR) / "test-artefacts" / subject;
  std::filesystem::create_directories(folder);
  return (folder / name).string();
}

// A picture of a widget, as a grab gave it.
class Picture {
 public:
  struct Data;  // the picture itself, in gui_test.cpp
  Picture() = default;
  explicit Picture(std::shared_ptr<const Data> data) : data_(std::move(data)) {}

  // The colour of a pixel, 0xAARRGGBB; kWhite for an opaque white.
  std::uint32_t Pixel(int x, int y) const;
  static constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
  // Saves it as a PNG file; false when it cannot be written.
  bool Save(const std::string& path) const;

 private:
  std::shared_ptr<const Data> data_;
};

// Grabs the widget, checks that the picture is not blank and saves it as
// <build>/test-artefacts/<subject>/<name>.png.
Picture Screenshot(QWidget* widget, const std::string& subject, const std::string& name);

// What reached the screen of a shown widget once the pending paints are done: its part of its window's
// picture on the screen (unlike Screenshot, which paints the widget afresh, it keeps what a paint left out).
Picture OnScreen(QWidget* widget);

// A picture of a message box the seam recorded, built as it shows, saved as
// <build>/test-artefacts/<subject>/<name>.png (not blank).
Picture ScreenshotMessage(const gui::ShownModal& shown, const std::string& subject, const std::string& name);

// Whether a top-level window is wide enough for a title bar to show its caption whole: the caption in the
// title font, bold as title bars draw it, beside an icon and a close box.
::testing::AssertionResult CaptionFits(QWidget* top);

// The lines of a list box (its widget) that its width shows cut: each line wider than the list's
// room for text, in the list's own font (its tab stop counted), when no sideways scroll bar reaches
// the rest. With `amountsOnly`, a line counts as cut only when its last amount ("1 234.50", with its
// "Db" or "Cr") does not show whole: a long label after it may run on.
std::vector<std::string> CutListLines(QWidget* list, bool amountsOnly = false);

// "" when the control's text shows whole inside it (its own font, a pixel each side); else the fault.
inline std::string CutFault(const std::string& where, const gui::Control& control) {
  const int width = control.TextWidth(), room = control.GetWindowRect().w;
  if (width + 2 <= room) return {};
  return where + ": '" + control.GetText() + "' takes " + std::to_string(width) + " pixels in a control of " +
         std::to_string(room);
}

// The control of that id among the window's children and theirs; null when none.
inline gui::Control* ChildControl(const gui::Window* window, int id) {
  if (window == nullptr) return nullptr;
  for (gui::Window* child : window->Children()) {
    if (child->GetId() == id)
      if (auto* c = dynamic_cast<gui::Control*>(child)) return c;
    if (gui::Control* c = ChildControl(child, id)) return c;
  }
  return nullptr;
}


// A key pressed or released.
enum KeyAction { kKeyPress, kKeyRelease };

// The modifier keys held with a key, joined with |.
enum KeyModifiers : unsigned { kNoModifier = 0, kShiftModifier = 1, kControlModifier = 2, kAltModifier = 4 };
constexpr KeyModifiers operator|(KeyModifiers a, KeyModifiers b) {
  return static_cast<KeyModifiers>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

// The keys a test sends that the window layer gives no virtual-key code: the program sees none of
// them as a key (only the text they type), the window system does.
constexpr int kKeyBacktab = 0x10001;  // Shift+Tab
constexpr int kKeyLess = 0x10002;     // "<"
constexpr int kKeyGreater = 0x10003;  // ">"
constexpr int kKeyPlus = 0x10004;     // "+"
constexpr int kKeyMinus = 0x10005;    // "-" beside the digits
constexpr int kKeyF24 = 0x10006;      // a key no window handles: sent alone, it leaves no modifier held

// Sends one key event to the widget. `key` is the window layer's virtual-key code (gui::VK_RETURN,
// gui::VK_F8, 'S' for the letter's key, '1' for the digit's), one of the keys above, or 0 for a text
// typed without a key; `text` is what the key types, in UTF-8.
void SendKey(QWidget* w, KeyAction action, int key, KeyModifiers modifiers = kNoModifier,
             const std::string& text = {});

// The text the tests type for a byte of cp1252 text, the byte read as a Latin-1 character (the window
// layer takes the C1 characters back as their bytes), in UTF-8.
inline std::string Latin1Text(unsigned char c) {
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  return {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
}

// The window layer in test mode, for fixtures that cannot derive from GuiTest: beeps are
// counted in *beeps.
inline void EnterGuiTestMode(int* beeps) {
  gui::Application::EnsureQt();
  gui::ModalSeam::SetTestMode(true);
  gui::ModalSeam::Reset();
  gui::SetBeepHook([beeps](unsigned) { ++*beeps; });
  gui::ResetBeepCount();
  ControlEnv() = ControlEnvironment{};
}

inline void LeaveGuiTestMode() {
  gui::ProcessPendingMessages();
  gui::ModalSeam::Reset();
  gui::SetBeepHook([](unsigned) {});
  ControlEnv() = ControlEnvironment{};
}

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override { EnterGuiTestMode(&beeps); }
  void TearDown() override { LeaveGuiTestMode(); }

  int beeps = 0;
};

}  // namespace test_support
