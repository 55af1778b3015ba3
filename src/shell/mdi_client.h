// The MDI client: the frame's client window and the program's command
// window. It owns the main menu's command table, allocates the program-wide
// records every subsystem reads, runs the start-up checks when the frame is
// created, fills the program options from the program INI, and decides
// whether the program may close.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "platform/gui/mdi.h"
#include "platform/system/cp1252.h"
#include "resources/command_ids.h"
#include "runtime/session_registry.h"

namespace gui {
class Menu;
}

class CMDIClient;

// ---- Program-wide records (allocated by the client's constructor) ---------

constexpr int kRecentDossierCount = 9;
constexpr int kProgramOptionsLength = 22;

// DossierCode (at most 5 characters) and DossierFolder ("/" at the end) are
// the table layer's (data/dossier_files.h), which builds the file names.
// DossierState is character 11 of the open-window registry: GetDossierState /
// SetDossierState of runtime/session_registry.h.
// Recent dossiers, entry 0 the current one: code blank-padded to 5, then the folder.
extern std::string RecentDossiers[kRecentDossierCount];
// 22 option characters (1-based positions through ProgramOption / SetProgramOption).
extern std::string ProgramOptions;
// Help context of F1; every menu handler sets it to 85.
extern long CurrentHelpContext;
// The client's handle (owner of the program's message boxes) and the menu bar.
extern gui::Handle MainWindowHandle;
extern gui::Menu* MainMenuHandle;
// The window other windows post command ids to (the client).
extern CMDIClient* CommandWindow;
// Child layout mode of the child-window placement (0 at start).
extern int ChildLayoutMode;

char ProgramOption(int position);               // ' ' outside 1-22
void SetProgramOption(int position, char value);  // nothing outside 1-22

// ---- Services of the lower layers ----------------------------------------
//
// The shell calls the table layer and the dossier handling through these, so
// it starts without them (tests give their own). An empty function means
// "not available": the default answers are written next to each.
struct ShellServices {
  std::function<int()> startDbSession;         // engine start code, 0 = started (empty: 0)
  std::function<void()> stopDbSession;         // (empty: nothing)
  std::function<void()> closeAllTables;        // (empty: nothing)
  std::function<bool()> ensureReportTableCE0;  // display set of ProgramOptions 5 (empty: true)
  std::function<bool()> ensureReportTableCE1;  // printer set of ProgramOptions 6/7 by 8 (empty: true)
  std::function<bool()> ensureDossierOpen;     // dossier check (empty: false)
  std::function<bool()> previewOpen;           // a preview window exists (empty: false)
  std::function<void()> closePreview;          // asks the preview to close (empty: nothing)
  std::function<void()> rebuildRecentDossiersMenu;  // (empty: nothing)
  // The window framework's hooks (custom controls, lock notice, message
  // boxes of the lower layers), once the shared graphics are made (empty:
  // nothing).
  std::function<void()> installWindowHooks;
};
ShellServices& Services();

// Text of engine start code c as start-up shows it ("" for unknown codes).
std::string EngineStartCodeText(int code);

class CMDIClient : public gui::MDIClient {
 public:
  // `argc` / `argv` as main received them (kept, not copied).
  CMDIClient(int argc, char** argv);
  ~CMDIClient() override;

  // Command ids of this Part's own handlers.
  static constexpr unsigned CM_SET_MAIN_CAPTION = command_id::SetMainCaption;
  static constexpr unsigned CM_QUITTER = command_id::Quitter;
  static constexpr unsigned CM_FERMER_APPLICATION = command_id::FermerApplication;

  // The main menu's command table: every command's handler and enabler,
  // chained to the MDI client's window commands. Defined with the command
  // table (command_table.cpp).
  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

  bool CanClose() override;
  // WM_CLOSE posted to the client closes the whole main window.
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  // Every command of the table reaches its handler here, however it was
  // started (menu, key, toolbar, a command posted or sent by a window, the
  // automatic start): one its enabler greys (state, rights, constant 056)
  // is refused with a beep and does not run.
  bool EvCommand(unsigned id) override;

  // Quitter "Quitter" and FermerApplication (the same, posted by other windows).
  void CmQuitter();
  void CmFermerApplication() { CmQuitter(); }
  // SetMainCaption: caption with the dossier, or with the program folder.
  void SetMainCaption();

  int ArgumentCount() const { return argc_; }
  char** ArgumentVector() const { return argv_; }
  // The first command-line argument, given once (the dossier the program was started on), in
  // cp1252; empty when there is none or it was already taken. A path cp1252 cannot hold stays
  // as given, so the opening names it in its refusal.
  std::string TakeStartArgument() {
    if (startArgumentTaken_ || argc_ < 2 || argv_ == nullptr || argv_[1] == nullptr) return {};
    startArgumentTaken_ = true;
    std::string path;
    return platform::ProgramName(argv_[1], path) ? path : std::string(argv_[1]);
  }
  bool RuntimeStartedFlag() const { return runtimeStarted_; }
  int EngineStartCode() const { return engineStartCode_; }
  // True once every start-up step passed.
  bool StartupSucceeded() const { return startupOk_; }

 protected:
  // The program's start-up; a failing step shows its message and posts
  // WM_CLOSE to the client.
  void SetupWindow() override;

 private:
  void FailStartup();
  // The steps of the start-up, in order; false stops it (the step has
  // shown its message).
  bool StartRuntime();
  bool StartEngine();
  bool CheckFileHandles();
  void RegisterClientHandle();
  void ReadProgramSettings();
  int argc_;
  char** argv_;
  bool runtimeStarted_ = false;
  int engineStartCode_ = -1;
  bool startupOk_ = false;
  bool startArgumentTaken_ = false;
};
