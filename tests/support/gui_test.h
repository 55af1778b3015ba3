// Base of the window tests: Qt up headless, modal windows answered through the seam (recorded,
// never shown), beeps counted, the control environment emptied; and the screenshot that every
// window test saves under <build>/test-artefacts/<subject>/.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScreen>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "controls/control_env.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/modal_seam.h"

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

// Grabs the widget, checks that the picture is not blank and saves it as
// <build>/test-artefacts/<subject>/<name>.png.
inline QImage Screenshot(QWidget* widget, const std::string& subject, const std::string& name) {
  EXPECT_NE(widget, nullptr);
  if (widget == nullptr) return {};
  QApplication::processEvents();
  QImage img = widget->grab().toImage();
  EXPECT_FALSE(img.isNull()) << name;
  std::set<QRgb> colours;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2) colours.insert(img.pixel(x, y));
  EXPECT_GT(colours.size(), 2u) << name << ": the picture is blank";
  EXPECT_TRUE(img.save(QString::fromStdString(ArtefactPath(subject, name + ".png")))) << name;
  return img;
}

// What reached the screen of a shown widget once the pending paints are done: its part of its window's
// picture on the screen (unlike Screenshot, which paints the widget afresh, it keeps what a paint left out).
inline QImage OnScreen(QWidget* widget) {
  QApplication::processEvents();
  QWidget* top = widget->window();
  const QImage screen = QGuiApplication::primaryScreen()->grabWindow(top->winId()).toImage();
  return screen.copy(QRect(widget->mapTo(top, QPoint(0, 0)), widget->size()));
}

// A picture of a message box the seam recorded, built as it shows, saved as
// <build>/test-artefacts/<subject>/<name>.png (not blank).
inline QImage ScreenshotMessage(const gui::ShownModal& shown, const std::string& subject, const std::string& name) {
  std::unique_ptr<QWidget> box(gui::NewMessageBoxWidget(shown.text, shown.caption, shown.style));
  box->adjustSize();
  return Screenshot(box.get(), subject, name);
}

// Whether a top-level window is wide enough for a title bar to show its caption whole: the caption in the
// title font, bold as title bars draw it, beside an icon and a close box.
inline ::testing::AssertionResult CaptionFits(QWidget* top) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  font.setBold(true);
  const QFontMetrics fm(font);
  const int needed = top->windowTitle().isEmpty() ? 0 : fm.horizontalAdvance(top->windowTitle()) + 3 * fm.height();
  if (top->width() >= needed) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << top->windowTitle().toStdString() << "\" needs " << needed
                                       << " pixels, the window is " << top->width();
}

// Sends one key event of the given type.
inline void SendKey(QWidget* w, QEvent::Type type, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
                    const QString& text = {}) {
  QKeyEvent e(type, key, mods, text);
  QApplication::sendEvent(w, &e);
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
