#include "shell/application.h"

#include <cstdlib>

#include "platform/gui/constants.h"
#include "platform/gui/cursor.h"
#include "platform/gui/dc.h"
#include "platform/gui/menu.h"
#include "platform/gui/messagebox.h"
#include "platform/system/clock.h"
#include "resources/command_ids.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/xbase.h"
#include "shell/child_status.h"
#include "shell/command_table.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/utility_commands.h"

Merlon* TheApplication = nullptr;
CDecoratedMDIFrame* MainFrame = nullptr;
gui::ControlBar* MainControlBar = nullptr;
gui::StatusBar* MessageBar = nullptr;
gui::StatusBar* SecondStatusBar = nullptr;
int BitmapSizeOffset = 0;
std::uint32_t ToolbarCommandList[kToolbarListWords] = {};
gui::Gadget* ToolbarGadgets[kToolbarListWords] = {};

namespace {

const char* kApplicationName = "Nuv-MERLON ZEL+";
constexpr int kProgramKeys = 1;  // the program INI's keys packed by 13, by their id in the string table
constexpr int kFrameIcon = 1001;
constexpr int kMainMenu = 1101;
constexpr int kMainAccelerators = 1102;

std::string FrameKey(char letter) {
  std::string key = PackedKey(kProgramKeys, 5);  // "FenetreMain-?"
  std::string::size_type q = key.find('?');
  if (q != std::string::npos) key[q] = letter;
  return key;
}

// At most six characters are read, as the old 7-byte buffer held.
std::string FrameValue(char letter, const char* def) {
  std::string v = IniGetString(FrameKey(letter).c_str(), def);
  if (v.size() > 6) v.resize(6);
  return v;
}

// The runtime's messages and beeps go to the window system once the
// application exists: boxes owned by the main window, through the seam.
int ShowRuntimeMessage(const char* caption, const char* text, unsigned style) {
  return gui::MessageBox(gui::Window::FromHandle(MainWindowHandle), text ? text : "", caption ? caption : "",
                         style);
}
void WindowBeep(unsigned type) { gui::MessageBeep(type); }

void ConnectRuntimeHooks(bool on) {
  SetRuntimeMessageHook(on ? &ShowRuntimeMessage : nullptr);
  SetRuntimeBeepHook(on ? &WindowBeep : nullptr);
  platform::SetBeepHook(on ? &WindowBeep : nullptr);
}

void ResetProgramWideObjects() {
  MainFrame = nullptr;
  MainControlBar = nullptr;
  MessageBar = nullptr;
  SecondStatusBar = nullptr;
  for (auto& w : ToolbarCommandList) w = 0;
  for (auto& g : ToolbarGadgets) g = nullptr;
}

}  // namespace

CDecoratedMDIFrame::CDecoratedMDIFrame(const std::string& caption, CMDIClient* client)
    : gui::MDIFrame(caption, client) {}

void CDecoratedMDIFrame::SetupWindow() {
  gui::MDIFrame::SetupWindow();
  SetIconResource(kFrameIcon);
}

void CDecoratedMDIFrame::EvKeyUp(int vk, unsigned repeat, unsigned flags) {
  if (vk != gui::VK_F1) {
    gui::MDIFrame::EvKeyUp(vk, repeat, flags);
    return;
  }
  gui::CommandEnabler help(command_id::Aide);
  RouteCommandEnable(help);
  if (help.Handled() && help.Enabled()) RouteCommand(command_id::Aide);
}

int BitmapOffsetFor(char sizeChar, int screenDpi) {
  switch (sizeChar) {
    case '1': return 0;
    case '2': return 1000;
    case '3': return 2000;
    case '4': return 3000;
    default: break;
  }
  if (screenDpi == 96) return 0;
  if (screenDpi == 120) return 1000;
  if (screenDpi == 144) return 2000;
  return 3000;
}

FrameSettings ReadFrameSettings(int screenDpi) {
  FrameSettings s;
  s.placement.x = std::atoi(FrameValue('X', "0").c_str());
  s.placement.y = std::atoi(FrameValue('Y', "0").c_str());
  s.placement.w = std::atoi(FrameValue('W', "1024").c_str());
  s.placement.h = std::atoi(FrameValue('H', "768").c_str());
  // A rectangle off every screen, or too small to use, takes the defaults.
  if (!gui::MDIFrame::PlacementUsable(s.placement, kFrameMinWidth, kFrameMinHeight)) {
    s.placement = gui::FramePlacement{0, 0, 1024, 768, false, false};
    s.placementReset = true;
  }
  s.maximized = FrameValue('Z', "O").substr(0, 1) == "O";
  s.reportChoice = FrameValue('C', "O").substr(0, 1) == "O";
  std::string size = FrameValue('I', "0");
  s.bitmapSizeOffset = BitmapOffsetFor(size.empty() ? ' ' : size[0], screenDpi);
  s.placement.maximized = s.maximized;
  return s;
}

Merlon::Merlon(int& argc, char** argv) : gui::Application(argc, argv, kApplicationName), argc_(argc), argv_(argv) {
  TheApplication = this;
  ResetProgramWideObjects();
  RegisterGraphicsHooks();
  ConnectRuntimeHooks(true);
}

Merlon::Merlon(int argc, char** argv, bool) : gui::Application(std::string(kApplicationName)), argc_(argc), argv_(argv) {
  TheApplication = this;
  ResetProgramWideObjects();
  RegisterGraphicsHooks();
  ConnectRuntimeHooks(true);
}

Merlon::~Merlon() {
  // The frame owns the client, the bars and every child window.
  if (MainFrame != nullptr) {
    CDecoratedMDIFrame* frame = MainFrame;
    MainFrame = nullptr;
    // The bars may go before the list windows still open, whose destructors clear the message bar.
    MessageBar = nullptr;
    SecondStatusBar = nullptr;
    delete frame;
  }
  ResetProgramWideObjects();
  if (Services().stopDbSession) Services().stopDbSession();
  FreeRuntime();
  gui::SetArrowCursor();
  ConnectRuntimeHooks(false);
  if (TheApplication == this) TheApplication = nullptr;
}

void Merlon::InitMainWindow() {
  if (MainFrame != nullptr) return;
  // The shell's hooks (recent-dossier menu, registry window actions, toolbar
  // hints) are in place before the client's start-up calls them.
  InstallShellCommands();
  auto* client = new CMDIClient(argc_, argv_);
  auto* frame = new CDecoratedMDIFrame(kApplicationName, client);
  MainFrame = frame;
  frame->AssignMenu(kMainMenu);
  if (gui::Menu* menu = frame->GetMenu()) FillMenuTexts(*menu);
  frame->SetAccelerators(kMainAccelerators);
  frame->SetReportChoiceFlag(true);

  // Placement from the program INI (one file: merlon.ini).
  const int dpiX = gui::ScreenLogPixelsY();
  FrameSettings fs = ReadFrameSettings(dpiX);
  frame->SetReportChoiceFlag(fs.reportChoice);
  BitmapSizeOffset = fs.bitmapSizeOffset;
  frame->MoveWindow({fs.placement.x, fs.placement.y, fs.placement.w, fs.placement.h});

  // Control bar: the ten permanent buttons, no separator between them.
  MainControlBar = new gui::ControlBar(frame);
  MainControlBar->SetId(32041);
  for (const PermanentButton& b : kPermanentButtons) {
    const bool twoState = b.command == command_id::ChoixEtat;
    auto* gadget = new gui::ButtonGadget(
        b.bitmap + BitmapSizeOffset, b.command,
        twoState ? gui::ButtonGadget::Type::NonExclusive : gui::ButtonGadget::Type::Command, true,
        twoState && fs.reportChoice ? gui::ButtonGadget::State::Down : gui::ButtonGadget::State::Up);
    MainControlBar->Insert(gadget);
  }

  // Two status bars: messages with the key indicators, then the second one.
  MessageBar = new gui::StatusBar(frame, gui::StatusBar::Border::Recessed,
                                  gui::StatusBar::CapsLock | gui::StatusBar::NumLock |
                                      gui::StatusBar::ScrollLock | gui::StatusBar::Overtype);
  SecondStatusBar = new gui::StatusBar(frame, gui::StatusBar::Border::Embossed);

  SetMainWindow(frame);
  pendingShow_ = fs.maximized ? gui::SW_SHOWMAXIMIZED : gui::SW_SHOWNORMAL;
}

void Merlon::IdleAction() { FollowActiveChildStatus(); }

int Merlon::Run() {
  InitMainWindow();
  if (MainFrame == nullptr) return -1;
  if (!MainFrame->IsCreated() && !MainFrame->Create()) return -1;
  MainFrame->Show(pendingShow_);
  return gui::Application::Run();
}
