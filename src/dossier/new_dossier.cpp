#include "dossier/new_dossier.h"

#include "data/dossier_files.h"
#include "data/session.h"
#include "dossier/core/dossier_create.h"
#include "dossier/dossier_slots.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/edit.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "dossier/dossier_commands.h"

namespace {

// The texts of the new dossier's window, by their ids in the string table.
constexpr int kMsgBadYearStart = 1193;
constexpr int kMsgBadYearEnd = 1194;
constexpr int kCaptionNewDossier = 19600;
constexpr int kMsgFolderMissing = 19601;
constexpr int kTitleChooseFolder = 19602;
constexpr int kMsgUnwritableCharacter = 22128;  // the field, its text with "?" in place of the character
constexpr int kLabelCodeField = 22130;
constexpr int kLabelFolderField = 22131;
constexpr int kLabelNameField = 22132;

std::function<bool(const std::string&, const std::string&)> g_open;

bool DefaultOpen(const std::string& folder, const std::string& code) { return OpenDossierAt(folder, code); }

// The message for a field holding a character the program cannot keep;
// `shown` is the field's text with '?' in its place.
std::string UnwritableText(const char* field, const std::string& shown) {
  return FillPlaceholders(LoadStr(kMsgUnwritableCharacter), {field, shown});
}

// Every dossier of the run is closed before the creation, as "Fermer
// dossier" would one after the other. False when a window refuses.
bool CloseEveryDossier() {
  if (CommandWindow != nullptr && !CommandWindow->CloseChildren()) return false;
  CloseAllTables();
  for (int n = 0; n <= kDossierSlotCount && !IsBlank(DossierCode); ++n) CloseDossierAndReopenPrevious();
  ClearOpenWindowRegistry();
  return true;
}

}  // namespace

TDNouveauDossier::TDNouveauDossier(gui::Window* owner) : TDNuv(owner, "NOUVEAU_DOSSIER", false) {
  // Its fields are plain edits: Enter in any of them confirms, as "Ok".
  SetEnterInEditsPressesDefault(true);
}

void TDNouveauDossier::SetupWindow() {
  TDNuv::SetupWindow();
  if (auto* e = Item<gui::Edit>(kCode)) e->SetTextLimit(5);
  if (auto* e = Item<gui::Edit>(kName)) e->SetTextLimit(30);
  if (auto* e = Item<gui::Edit>(kYearStart)) e->SetTextLimit(8);
  if (auto* e = Item<gui::Edit>(kYearEnd)) e->SetTextLimit(8);
  const Ymd today = Today();
  SetItemText(kYearStart, DisplayDateOf(Ymd{today.year, 1, 1}));
  SetItemText(kYearEnd, DisplayDateOf(Ymd{today.year, 12, 31}));
  FocusItem(kCode);
}

bool TDNouveauDossier::EvCommand(unsigned id) {
  if (id == static_cast<unsigned>(kBrowse)) {
    std::string folder;
    if (gui::BrowseForFolder(this, LoadStr(kTitleChooseFolder), Trimmed(GetItemText(kFolder)), folder)) SetItemText(kFolder, folder);
    return true;
  }
  return TDNuv::EvCommand(id);
}

bool TDNouveauDossier::Refuse(const std::string& text, int control) {
  gui::MessageBeep(0);
  gui::MessageBox(this, text, LoadStr(kCaptionNewDossier), gui::MB_OK | gui::MB_ICONSTOP);
  FocusItem(control);
  return false;
}

bool TDNouveauDossier::CanClose() {
  // Text that cp1252 cannot hold would reach the disk with '?' in place of
  // its letters (a folder "Łódź" made as "?ód?"): refused where it was typed.
  static const struct { int control; const char* field; } kTyped[] = {
      {kCode, LoadStr(kLabelCodeField)}, {kFolder, LoadStr(kLabelFolderField)}, {kName, LoadStr(kLabelNameField)}};
  for (const auto& t : kTyped) {
    const auto* edit = Item<gui::Edit>(t.control);
    if (edit != nullptr && !edit->HoldsOnlyCp1252())
      return Refuse(UnwritableText(t.field, Trimmed(GetItemText(t.control))), t.control);
  }
  const std::string code = Trimmed(GetItemText(kCode));
  std::string message = CheckDossierCode(code);
  if (!message.empty()) return Refuse(message, kCode);
  std::string folder = Trimmed(GetItemText(kFolder));
  if (folder.empty()) return Refuse(LoadStr(kMsgFolderMissing), kFolder);
  Ymd first, last;
  if (!ParseDisplayDate(Trimmed(GetItemText(kYearStart)), first) || !IsValidYmd(first))
    return Refuse(LoadStr(kMsgBadYearStart), kYearStart);
  if (!ParseDisplayDate(Trimmed(GetItemText(kYearEnd)), last) || !IsValidYmd(last))
    return Refuse(LoadStr(kMsgBadYearEnd), kYearEnd);
  message = CheckFinancialYear(first, last);
  if (!message.empty()) return Refuse(message, kYearEnd);
  NewDossierSpec spec;
  spec.folder = folder;
  spec.code = code;
  spec.companyName = Trimmed(GetItemText(kName));
  spec.firstDay = first;
  spec.lastDay = last;
  if (!CreateDossier(spec, &message)) return Refuse(message, spec.companyName.empty() ? kName : kCode);
  if (folder.back() != '/') folder += '/';
  folder_ = folder;
  code_ = Upper(code.c_str());
  return true;
}

void SetNewDossierOpener(std::function<bool(const std::string&, const std::string&)> open) {
  g_open = std::move(open);
}

// Core: CheckDossierCode, CreateDossier.
void CmFichierNouveauDossier() {
  if (!CloseEveryDossier()) return;
  TDNouveauDossier dialog(gui::Window::FromHandle(MainWindowHandle));
  if (dialog.Execute(gui::MB_TASKMODAL) != gui::IDOK) return;
  if (g_open) g_open(dialog.Folder(), dialog.Code());
  else DefaultOpen(dialog.Folder(), dialog.Code());
}
