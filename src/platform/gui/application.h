// The application object: owns the Qt application, the message loop with
// its idle work, the main window, and beeps.
#pragma once

#include "platform/gui/window_users.h"

#include <functional>
#include <string>
#include <vector>

namespace gui {

class Window;

class Application {
 public:
  // Creates the Qt application when there is none yet. `argc` and `argv`
  // must outlive the object (as main's do).
  Application(int& argc, char** argv, const std::string& name);
  // Shares an existing Qt application (tests create one per process).
  explicit Application(const std::string& name);
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  static Application* Current();
  // Makes sure a Qt application exists (tests); safe to call often.
  static void EnsureQt();

  const std::string& GetName() const { return name_; }

  // Runs InitMainWindow, creates and shows the main window, then the
  // message loop until the main window is destroyed or Quit. Returns the
  // exit code.
  int Run();
  void Quit(int code);

  void SetMainWindow(Window* window) { mainWindow_ = window; }
  Window* GetMainWindow() const { return mainWindow_; }

  // Idle work: enablers of the main window's toolbar and status indicators,
  // then IdleAction. Runs after each batch of events (through a zero timer),
  // and may be run directly.
  void RunIdle();
  // Extra idle tasks (the shell's toolbar resets, indicators ...).
  void AddIdleTask(std::function<void()> task);
  // The idle work of the windows alone (no application object needed).
  static void RunWindowIdleHandlers();
  // Idle work of one window; dropped once the window's handle is stale.
  static void AddWindowIdleHandler(unsigned handle, std::function<void()> handler);
  // Something happened (input, posted message): the idle work runs again.
  static void NoteActivity();

 protected:
  virtual void InitMainWindow() {}
  virtual void IdleAction() {}

 private:
  void Init();
  std::string name_;
  Window* mainWindow_ = nullptr;
  std::vector<std::function<void()>> idleTasks_;
  bool ownsQt_ = false;
  struct Impl;
  Impl* d_ = nullptr;
};

// Beep of the given message-box icon type (0 = default sound). A hook set
// for tests receives every beep instead of the speaker.
// The window toolkit's name and version, as the about box shows it ("Qt 6.4.2").
std::string ToolkitVersionText();

void MessageBeep(unsigned type);
void SetBeepHook(std::function<void(unsigned type)> hook);
// Number of beeps since the start of the run (or since ResetBeepCount).
int BeepCount();
void ResetBeepCount();

}  // namespace gui
