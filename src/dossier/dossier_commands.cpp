#include "dossier/dossier_commands.h"

#include "controls/mcontrols.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "dossier/auto_start.h"
#include "dossier/backup.h"
#include "dossier/dossier_open.h"
#include "dossier/dossier_password.h"
#include "dossier/dossier_slots.h"
#include "framework/edit_form.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/listbox.h"
#include "platform/gui/mdi.h"
#include "platform/gui/menu.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/statusbar.h"
#include "platform/system/files.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"
#include "shell/utility_commands.h"

namespace {

// The texts of the dossier commands, by their ids in the string table.
constexpr int kMarkerExtension = 63;          // the marker file's extension beside C10
constexpr int kTitleChangeDossier = 682;
constexpr int kSlotLineFirst = 683;           // "1 - %s sur %s", a slot's code and folder; slots 2 to 5 follow
constexpr int kMenuAnalyticSections = 829;
constexpr int kFilterDossiers = 1189;
constexpr int kTitleChooseDossier = 2059;
constexpr int kMarkerFileText = 2063;
constexpr int kC10Prefix = 2514;
constexpr int kMsgUncRefused = 3046;
constexpr int kLogDossierOpened = 22062;      // the code, the folder
constexpr int kMsgNotADossier = 22063;        // the file chosen
constexpr int kLogDossierClosed = 22065;      // the code, the folder
constexpr int kCaptionDossier = 32001;        // the dossier's code and folder
constexpr int kCaptionNoDossier = 32002;      // the program's folder

}  // namespace

void UpdateAnalyticMenuItem() {
  if (MainMenuHandle == nullptr) return;
  gui::Menu* data = MainMenuHandle->GetSubMenu(2);
  if (data == nullptr) return;
  const int position = data->FindPosition(command_id::DonneesSectionsAnal);
  const char mode = TheDossierRecord.AnalyticMode();
  if ((mode == '1' || mode == '2') && IsBlank(DossierCode) == false) {
    if (position < 0) data->InsertItem(-1, command_id::DonneesSectionsAnal, LoadStr(kMenuAnalyticSections));
  } else if (position >= 0) {
    data->DeleteItem(position);
  }
}

void ShowWorkingDate() {
  if (MessageBar != nullptr) MessageBar->SetText(TheDossierRecord.Get(DossierRecord::kWorkingDatePos, DossierRecord::kDateWidth));
}

namespace {

CMDIClient* Client() { return CommandWindow; }

void SetFrameCaption(const std::string& caption) {
  if (Client() != nullptr && Client()->Parent() != nullptr) Client()->Parent()->SetCaption(caption);
}


// Marker file beside C10: written once, it tells that a link to it opens the dossier.
void WriteMarkerFile() {
  const std::string path = std::string(PathC10()) + "." + LoadStr(kMarkerExtension);
  if (platform::FileExists(platform::ResolvePath(path))) return;
  const int handle = CreateFileTrunc(path.c_str());
  if (handle < 0) return;
  WriteLine(handle, LoadStr(kMarkerFileText), true);
  CloseFile(handle);
}

// The common ending of a successful opening.
void FinishOpening(bool markerFile) {
  const std::string entry = DossierEntry(RTrim(DossierCode.c_str()), DossierFolder);
  PutFirstInSlots(entry);
  PutFirstInRecent(entry);
  RebuildRecentDossiersMenu();
  SetFrameCaption(DossierCaption());
  if (markerFile) WriteMarkerFile();
  ShowWorkingDate();
  UpdateAnalyticMenuItem();
  ReadC10Texts();
  WriteLog(FillPlaceholders(LoadStr(kLogDossierOpened), {RTrim(DossierCode.c_str()), DossierFolder}));
  if (SetWorkingDateToToday()) {
    gui::PostCommand(MainWindowHandle, command_id::FichierDateTravail);
    UseStoredWorkingDate = false;
  } else {
    RunAutoLaunch();
  }
}

// The dossier open before a failed choice comes back.
void RestorePrevious(const std::string& previous) {
  RebuildRecentDossiersMenu();
  DossierCode = EntryCode(previous);
  DossierFolder = EntryFolder(previous);
  if (!IsBlank(DossierCode)) {
    if (!EnsureDossierOpen()) {
      gui::PostCommand(MainWindowHandle, command_id::FichierFermerDossier);
    } else {
      SetFrameCaption(DossierCaption());
    }
  } else {
    SetFrameCaption(DossierCaption());
  }
  UpdateAnalyticMenuItem();
  ShowWorkingDate();
}

bool CloseChildrenOfClient() { return Client() == nullptr || Client()->CloseChildren(); }

std::string CurrentEntry() { return DossierEntry(RTrim(DossierCode.c_str()), DossierFolder); }

// "Changer de dossier": an edit form holding one list, a line per filled
// dossier slot; the list's choice (Accepter, a double click or Enter) makes that
// slot the open dossier. While it exists every other dossier command waits.
class TWFicChanger : public CMDIModif {
 public:
  explicit TWFicChanger(gui::MDIClient* client) : CMDIModif(client, LoadStr(kTitleChangeDossier), 1, 1) {
    ContextCommands = {2, form_cmd::Quitter, child_command::Accepter};
    AskOnClose = false;  // nothing is typed here, nothing to save
    list_ = new MListBox(this, 1201);
    list_->SetNotify(this, child_command::Accepter, 0, 0);
    list_->Keys().enterAction = static_cast<int>(child_command::Accepter);
    SetDossierState('1');
    HelpContext() = 21;
    CurrentHelpContext = 21;
    Current() = this;
  }
  ~TWFicChanger() override { GiveCommandsBack(); }
  static TWFicChanger*& Current() {
    static TWFicChanger* current = nullptr;
    return current;
  }
  MListBox* List() const { return list_; }

  void CmChangerDossier() {
    const int line = list_->GetSelIndex();
    if (line < 0) {
      gui::MessageBeep(0);
      return;
    }
    ChangeToSlot(static_cast<int>(list_->GetItemData(line)));
  }

  static const gui::ResponseTable& Table() {
    static const gui::ResponseTable table =
        gui::ResponseTable(&CMDIModif::Table())
            .Command(child_command::Accepter, &TWFicChanger::CmChangerDossier);
    return table;
  }
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  // The dossier commands run again as soon as the window is gone (the
  // frame's close tests that right after closing the children).
  void CleanupWindow() override {
    GiveCommandsBack();
    CMDIModif::CleanupWindow();
  }
  void SetupWindow() override {
    CMDIModif::SetupWindow();
    BuildToolbar(ContextCommands, true);
    for (int k = 1; k <= kDossierSlotCount; ++k) {
      const std::string& slot = DossierSlots[k - 1];
      if (IsBlank(slot)) continue;
      const int line = list_->AddString(
          FillPlaceholders(LoadStr(kSlotLineFirst + k - 1), {Upper(EntryCode(slot).c_str()), EntryFolder(slot)}));
      list_->SetItemData(line, static_cast<std::uintptr_t>(k));
    }
  }
  void EvSetFocus(gui::Handle lost) override {
    CMDIModif::EvSetFocus(lost);
    if (list_->IsCreated() && list_->IsWindowEnabled()) list_->SetFocus();
  }
  // The list covers the whole client area.
  void ArrangeControls() override {
    if (!list_->IsCreated()) return;
    const gui::Rect r = GetClientRect();
    list_->MoveWindow(gui::Rect{0, 0, r.w, r.h});
  }

 private:
  void GiveCommandsBack() {
    if (Current() != this) return;
    Current() = nullptr;
    if (GetDossierState() == '1') SetDossierState(' ');
  }
  MListBox* list_;
};

}  // namespace

std::string DossierCaption() {
  if (IsBlank(DossierCode)) return FillPlaceholder(LoadStr(kCaptionNoDossier), ProgramFolder);
  return FillPlaceholders(LoadStr(kCaptionDossier), {RTrim(DossierCode.c_str()), DossierFolder});
}

bool DossierFromChosenPath(const std::string& chosen, std::string& folder, std::string& code) {
  // A symbolic link plays the part of a shortcut: the file it points to is the choice. A path given from
  // the current folder (the command line's "dossiers/rel/c10rel.dbf") is made absolute from it now.
  const std::string path = platform::AbsolutePath(platform::FollowLinks(chosen));
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (slash == std::string::npos || dot == std::string::npos || dot < slash) return false;
  std::string name = path.substr(slash + 1, dot - slash - 1);
  if (LowerAscii(name.substr(0, 3)) != LoadStr(kC10Prefix)) return false;
  // The marker file names the same dossier as its C10 table.
  const std::string extension = LowerAscii(path.substr(dot));
  if (extension != ".dbf" && extension != "." + LowerAscii(LoadStr(kMarkerExtension))) return false;
  code = Upper(name.substr(3, 5).c_str());
  if (IsBlank(code)) return false;
  folder = path.substr(0, slash + 1);
  return true;
}

bool OpenRecentDossier(int n) {
  if (n < 1 || n > kRecentDossierCount) return false;
  if (!HandlerPrologue()) return false;
  if (!CloseChildrenOfClient()) return false;
  CloseAllTables();
  ClearOpenWindowRegistry();
  const std::string previous = CurrentEntry();
  const std::string chosen = RecentDossiers[n - 1];
  DossierCode = EntryCode(chosen);
  DossierFolder = EntryFolder(chosen);
  if (EnsureDossierOpen()) {
    // An entry kept with a relative folder gives way to the absolute one the opening made.
    RecentDossiers[n - 1] = CurrentEntry();
    FinishOpening(false);
    return true;
  }
  RestorePrevious(previous);
  return false;
}

// The dossier named on the command line (a C10 table, its ".ZEL" marker or a link to either)
// opens at start without the file dialog, as a double-click on a shortcut would; the argument
// serves the first opening only, and a name that is not there leaves the dialog to choose.
static std::string TakeStartupDossierArgument() {
  if (CommandWindow == nullptr) return {};
  const std::string arg = CommandWindow->TakeStartArgument();
  if (arg.empty() || !platform::FileExists(arg)) return {};
  return arg;
}

// Core: FindDamagedDossierTable, PutBackInterruptedValidation, ConvertDossier (through EnsureDossierOpen).
void CmFichierOuvrirDossier() {
  if (!CloseChildrenOfClient()) return;
  CloseAllTables();
  if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  ClearOpenWindowRegistry();
  UseStoredWorkingDate = true;
  const std::string previous = CurrentEntry();
  const std::string start = IsBlank(DossierFolder) ? ProgramFolder : DossierFolder;
  if (!IsBlank(DossierFolder)) ChangeDir(DossierFolder.c_str());
  std::string path = TakeStartupDossierArgument();
  if (path.empty() &&
      (!gui::GetOpenFileName(DossierMessageOwner(), LoadStr(kTitleChooseDossier), LoadStr(kFilterDossiers), start, path) || path.empty())) {
    RestorePrevious(previous);
    return;
  }
  if (path.rfind("//", 0) == 0 || path.rfind("\\\\", 0) == 0) {
    // The permission's key: characters 1-13 of the packed keys.
    const std::string allowed = IniGetString(SubStr(LoadStr(kPackedIniKeys), 1, 13), "O");
    if (allowed.empty() || allowed[0] != 'O') {
      gui::MessageBeep(0);
      gui::MessageBox(DossierMessageOwner(), LoadStr(kMsgUncRefused), path, gui::MB_OK | gui::MB_ICONINFORMATION);
      RestorePrevious(previous);
      return;
    }
  }
  // The folder keeps its case: on this system another case names another folder.
  std::string folder, code;
  if (!DossierFromChosenPath(path, folder, code)) {
    gui::MessageBeep(0);
    gui::MessageBox(DossierMessageOwner(), FillPlaceholder(LoadStr(kMsgNotADossier), path),
                    LoadStr(kTitleChooseDossier), gui::MB_OK | gui::MB_ICONEXCLAMATION);
    RestorePrevious(previous);
    return;
  }
  DossierCode = code;
  DossierFolder = folder;
  if (EnsureDossierOpen()) {
    FinishOpening(true);
  } else {
    RestorePrevious(previous);
  }
}

bool OpenDossierAt(const std::string& folder, const std::string& code) {
  if (!CloseChildrenOfClient()) return false;
  CloseAllTables();
  ClearOpenWindowRegistry();
  UseStoredWorkingDate = true;
  const std::string previous = CurrentEntry();
  DossierCode = code;
  DossierFolder = folder;
  if (EnsureDossierOpen()) {
    FinishOpening(true);
    return true;
  }
  RestorePrevious(previous);
  return false;
}

void CloseDossierAndReopenPrevious() {
  const std::string closed = RTrim(DossierCode.c_str());
  if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  ClearOpenWindowRegistry();
  if (!closed.empty()) WriteLog(FillPlaceholders(LoadStr(kLogDossierClosed), {closed, DossierFolder}));
  ForgetDossierLevel(DossierEntry(closed, DossierFolder));
  DropFirstSlot();
  DossierCode = EntryCode(DossierSlots[0]);
  DossierFolder = EntryFolder(DossierSlots[0]);
  if (!IsBlank(DossierCode)) {
    std::swap(RecentDossiers[0], RecentDossiers[1]);
    RebuildRecentDossiersMenu();
    EnsureDossierOpen();
    SetFrameCaption(DossierCaption());
  } else {
    DossierFolder.clear();
    TheDossierRecord.Clear();
    SetDossierIniPath("");
    SetLogDossier("", "");
    SetFrameCaption(DossierCaption());
  }
  UpdateAnalyticMenuItem();
}

// Core: none, it closes the windows and the tables and opens the previous dossier again.
void CmFichierFermerDossier() {
  if (!CloseChildrenOfClient()) return;
  CloseAllTables();
  CloseDossierAndReopenPrevious();
}

// Core: none, a window listing the dossiers held, to bring one forward.
void CmFichierChangerDossier() {
  if (!CloseChildrenOfClient()) return;
  CloseAllTables();
  ClearOpenWindowRegistry();
  if (Client() == nullptr) return;
  auto* window = new TWFicChanger(Client());
  window->MoveWindow(gui::Rect{0, 0, 400, 150});
  if (!window->Create()) {
    // A window that got as far as its widget is deleted by the layer.
    if (window->IsCreated()) window->Destroy();
    else delete window;
    return;
  }
  SetChildIcon(*window, 1003);
  window->Show(gui::SW_SHOWNORMAL);
}

gui::Window* ChangeDossierWindow() { return TWFicChanger::Current(); }

gui::ListBox* ChangeDossierList() {
  TWFicChanger* window = TWFicChanger::Current();
  return window != nullptr ? window->List() : nullptr;
}

void ChangeToSlot(int k) {
  if (k < 1 || k > kDossierSlotCount || IsBlank(DossierSlots[k - 1])) return;
  ExchangeWithFirstSlot(k);
  DossierCode = EntryCode(DossierSlots[0]);
  DossierFolder = EntryFolder(DossierSlots[0]);
  UseStoredWorkingDate = true;
  // The window closes first (its end gives the dossier state back), then the
  // main window opens the dossier and sets its caption.
  if (TWFicChanger* window = TWFicChanger::Current()) window->CmQuitter();
  gui::PostCommand(MainWindowHandle, CMDIClient::CM_SET_MAIN_CAPTION);
}

void InstallDossierCommands() {
  Services().ensureDossierOpen = [] { return EnsureDossierOpen(); };
  Services().rebuildRecentDossiersMenu = [] { RebuildRecentDossiersMenu(); };
  Utilities().openRecentDossier = [](int k) {
    UseStoredWorkingDate = true;
    OpenRecentDossier(k);
  };
  Utilities().openDossierExclusive = [] { return OpenDossierExclusive(true); };
  Utilities().releaseDossierExclusive = [] { ReleaseDossierExclusive(); };
  SetCommandWork(command_id::FichierOuvrirDossier, CmFichierOuvrirDossier);
  SetCommandWork(command_id::FichierFermerDossier, CmFichierFermerDossier);
  SetCommandWork(command_id::FichierChangerDossier, CmFichierChangerDossier);
  InstallRestoreRedos();
}
