#include "dossier/dossier_commands.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "dossier/auto_start.h"
#include "dossier/dossier_open.h"
#include "dossier/dossier_slots.h"
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
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "shell/utility_commands.h"

namespace fs = std::filesystem;

namespace {

CMDIClient* Client() { return CommandWindow; }

std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool EndsWithNoCase(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && LowerAscii(text.substr(text.size() - end.size())) == end;
}

void SetFrameCaption(const std::string& caption) {
  if (Client() != nullptr && Client()->Parent() != nullptr) Client()->Parent()->SetCaption(caption);
}

void SetMessageBarText(const std::string& text) {
  if (MessageBar != nullptr) MessageBar->SetText(text);
}

// The "Sections Analytiques" item of the Données menu follows the dossier's analytic mode.
void UpdateAnalyticMenuItem() {
  if (MainMenuHandle == nullptr) return;
  gui::Menu* data = MainMenuHandle->GetSubMenu(2);
  if (data == nullptr) return;
  const int position = data->FindPosition(20310);
  const char mode = TheDossierRecord.AnalyticMode();
  if ((mode == '1' || mode == '2') && IsBlank(DossierCode) == false) {
    if (position < 0) data->InsertItem(-1, 20310, LoadStr(829));
  } else if (position >= 0) {
    data->DeleteItem(position);
  }
}

void ShowWorkingDate() {
  SetMessageBarText(TheDossierRecord.Get(DossierRecord::kWorkingDatePos, DossierRecord::kDateWidth));
}

// Marker file beside C10: written once, it tells that a link to it opens the dossier.
void WriteMarkerFile() {
  const std::string path = std::string(PathC10()) + "." + LoadStr(63);
  if (platform::FileExists(platform::ResolvePath(path))) return;
  const int handle = CreateFileTrunc(path.c_str());
  if (handle < 0) return;
  WriteLine(handle, LoadStr(2063), true);
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
  WriteLog("OUVERTURE DOSSIER - Ok - " + std::string(RTrim(DossierCode.c_str())) + LoadStr(60) + DossierFolder);
  if (SetWorkingDateToToday()) {
    gui::PostCommand(MainWindowHandle, 20204);
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
      gui::PostCommand(MainWindowHandle, 20203);
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

// "Changer de dossier": one line per filled slot; choosing a line opens that dossier.
class TWFicChanger : public gui::MDIChild {
 public:
  explicit TWFicChanger(gui::MDIClient* client) : gui::MDIChild(client, LoadStr(682)) {}
  ~TWFicChanger() override {
    if (Current() == this) Current() = nullptr;
    if (GetDossierState() == '1') SetDossierState(' ');
  }
  static TWFicChanger*& Current() {
    static TWFicChanger* current = nullptr;
    return current;
  }
  gui::ListBox* List() const { return list_; }

 protected:
  void SetupWindow() override {
    gui::MDIChild::SetupWindow();
    list_ = new gui::ListBox(this, 1201);
    list_->Create();
    for (int k = 1; k <= kDossierSlotCount; ++k) {
      const std::string& slot = DossierSlots[k - 1];
      if (IsBlank(slot)) continue;
      list_->AddString(LoadStr(682 + k) + std::string(Upper(EntryCode(slot).c_str())) + LoadStr(60) +
                       EntryFolder(slot));
    }
  }

 private:
  gui::ListBox* list_ = nullptr;
};

}  // namespace

std::string DossierCaption() {
  const std::string title = LoadStr(127);
  if (IsBlank(DossierCode)) return title + " - " + ProgramFolder;
  return title + " - " + std::string(RTrim(DossierCode.c_str())) + LoadStr(60) + DossierFolder;
}

bool DossierFromChosenPath(const std::string& chosen, std::string& folder, std::string& code) {
  std::string path = chosen;
  std::error_code ec;
  // A symbolic link plays the part of a shortcut: the file it points to is the choice.
  for (int depth = 0; depth < 8 && fs::is_symlink(path, ec); ++depth) {
    fs::path target = fs::read_symlink(path, ec);
    if (ec) break;
    if (target.is_relative()) target = fs::path(path).parent_path() / target;
    path = target.lexically_normal().string();
  }
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (slash == std::string::npos || dot == std::string::npos || dot < slash) return false;
  std::string name = path.substr(slash + 1, dot - slash - 1);
  if (LowerAscii(name.substr(0, 3)) != LoadStr(2514)) return false;
  // The marker file names the same dossier as its C10 table.
  const std::string extension = LowerAscii(path.substr(dot));
  if (extension != ".dbf" && extension != "." + LowerAscii(LoadStr(63))) return false;
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
    FinishOpening(false);
    return true;
  }
  RestorePrevious(previous);
  return false;
}

void OuvrirDossier() {
  if (!CloseChildrenOfClient()) return;
  CloseAllTables();
  if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  ClearOpenWindowRegistry();
  UseStoredWorkingDate = true;
  const std::string previous = CurrentEntry();
  const std::string start = IsBlank(DossierFolder) ? ProgramFolder : DossierFolder;
  if (!IsBlank(DossierFolder)) ChangeDir(DossierFolder.c_str());
  std::string path;
  if (!gui::GetOpenFileName(DossierMessageOwner(), LoadStr(2059), LoadStr(1189), start, path) || path.empty()) {
    RestorePrevious(previous);
    return;
  }
  if (path.rfind("//", 0) == 0 || path.rfind("\\\\", 0) == 0) {
    const std::string allowed = IniGetString("Autoriser-UNC", "O");
    if (allowed.empty() || allowed[0] != 'O') {
      gui::MessageBeep(0);
      gui::MessageBox(DossierMessageOwner(), LoadStr(3046), path, gui::MB_OK | gui::MB_ICONINFORMATION);
      RestorePrevious(previous);
      return;
    }
  }
  // The folder keeps its case: on this system another case names another folder.
  std::string folder, code;
  if (!DossierFromChosenPath(path, folder, code)) {
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

void CloseDossier() {
  const std::string closed = RTrim(DossierCode.c_str());
  if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  ClearOpenWindowRegistry();
  if (!closed.empty()) WriteLog("FERMETURE DOSSIER - Ok - " + closed + LoadStr(60) + DossierFolder);
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

void FermerDossier() {
  if (!CloseChildrenOfClient()) return;
  CloseAllTables();
  CloseDossier();
}

void ChangerDossier() {
  if (!CloseChildrenOfClient()) return;
  CloseAllTables();
  ClearOpenWindowRegistry();
  if (Client() == nullptr) return;
  auto* window = new TWFicChanger(Client());
  TWFicChanger::Current() = window;
  CurrentHelpContext = 21;
  if (!window->Create()) {
    window->Destroy();
    return;
  }
  SetDossierState('1');
  window->Show(gui::SW_SHOWNORMAL);
}

void ChangeToSlot(int k) {
  if (k < 1 || k > kDossierSlotCount || IsBlank(DossierSlots[k - 1])) return;
  ExchangeWithFirstSlot(k);
  DossierCode = EntryCode(DossierSlots[0]);
  DossierFolder = EntryFolder(DossierSlots[0]);
  UseStoredWorkingDate = true;
  if (TWFicChanger* window = TWFicChanger::Current()) {
    TWFicChanger::Current() = nullptr;
    window->CloseWindow();
  }
  if (GetDossierState() == '1') SetDossierState(' ');
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
  SetCommandWork(20202, [] { OuvrirDossier(); });
  SetCommandWork(20203, [] { FermerDossier(); });
  SetCommandWork(20206, [] { ChangerDossier(); });
}
