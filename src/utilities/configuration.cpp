#include "utilities/configuration.h"

#include <algorithm>
#include <cctype>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/index_recovery.h"
#include "data/session.h"
#include "dossier/backup.h"
#include "data/rounding_accounts.h"
#include "framework/font_choice.h"
#include "platform/gui/application.h"
#include "platform/gui/combobox.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/dc.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/listbox.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "shell/startup.h"

using settings::ProgramSetting;
using settings::SettingKind;

namespace {

constexpr const char* kMethodKey = "LanceM?BACKUP";
constexpr int kLabelColumns = 58;  // where the values line up in the list

// The texts shown here, by their ids in the string table: what each kind of value is checked against, the mark of
// a value left to its default, the file chooser's filter, the box's title and the refusal of the settings file.
constexpr int kHintYesNo = 22340;
constexpr int kHintOneCharacterOf = 22341;         // the characters allowed at %s
constexpr int kHintSignCharacter = 22342;
constexpr int kHintNumberRange = 22343;            // the lowest and the highest number at %s
constexpr int kHintMultiplierAtMost = 22345;
constexpr int kHintAccount = 22346;
constexpr int kHintSection = 22347;
constexpr int kHintFolder = 22348;
constexpr int kHintFile = 22349;
constexpr int kHintNewFile = 22350;
constexpr int kHintFont = 22351;
constexpr int kHintTextLength = 22352;
constexpr int kHintBackupMethod = 22354;
constexpr int kHintBackupUnit = 22355;
constexpr int kLabelDefault = 22356;
constexpr int kFilterAllFiles = 22357;
constexpr int kProgramTitle = 127;
constexpr int kMsgSettingsFileNotWritten = 22358;  // the file's path at %s

const std::vector<ProgramSetting>& All() { return settings::ProgramSettings(); }

// The value the INI holds for a setting; the rounding accounts as the line form and the rebuild read them.
std::string StoredValue(const ProgramSetting& s) {
  if (s.kind == SettingKind::Account) return RoundingAccount(std::string(s.key) == "CpteArrondiDB");
  return settings::CurrentSettingValue(s);
}

// What the row's value is checked against, in words.
std::string HintOf(const ProgramSetting& s) {
  switch (s.kind) {
    case SettingKind::YesNo: return LoadStr(kHintYesNo);
    case SettingKind::Letters: return FillPlaceholder(LoadStr(kHintOneCharacterOf), s.values);
    case SettingKind::Character: return LoadStr(kHintSignCharacter);
    case SettingKind::Number:
    case SettingKind::Margin: {
      const std::string low = AllTrim(FormatNumber(12, 0, false, s.low));
      const std::string high = AllTrim(FormatNumber(12, 0, false, s.high));
      return FillPlaceholders(LoadStr(kHintNumberRange), {low, high});
    }
    case SettingKind::Multiplier:
      return FillPlaceholder(LoadStr(kHintMultiplierAtMost), AllTrim(FormatNumber(6, 1, false, s.high)));
    case SettingKind::Account: return LoadStr(kHintAccount);
    case SettingKind::Section: return LoadStr(kHintSection);
    case SettingKind::Folder: return LoadStr(kHintFolder);
    case SettingKind::File: return LoadStr(kHintFile);
    case SettingKind::NewFile: return LoadStr(kHintNewFile);
    case SettingKind::Font: return LoadStr(kHintFont);
    case SettingKind::Text: return FillPlaceholder(LoadStr(kHintTextLength), std::to_string(static_cast<int>(s.high)));
    case SettingKind::BackupMethod: return LoadStr(kHintBackupMethod);
    case SettingKind::BackupUnit: return LoadStr(kHintBackupUnit);
  }
  return {};
}

bool HasChooser(SettingKind k) {
  return k == SettingKind::Font || k == SettingKind::Folder || k == SettingKind::File || k == SettingKind::NewFile ||
         k == SettingKind::BackupUnit;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? ProgramFolder : path.substr(0, slash + 1);
}

}  // namespace

// ---- the dialog ---------------------------------------------------------------------------------------------------

TDUtiConfiguration::TDUtiConfiguration(gui::Window* parent) : TDNuv(parent, "UTI_CONFIGURATION", false) {
  new MListBox(kOnTemplate, this, kList);
  for (int id : {kLabel, kHint, kFontNote}) new MStatic(kOnTemplate, this, id);
  new MEdit(kOnTemplate, this, kValue, 255, 1, false, MEdit::kText, 0);
  new MComboBox(kOnTemplate, this, kMethods, 80, 1);
  for (int id : {kChoose, 1, 2}) new MButton(kOnTemplate, this, id);
}

const gui::ResponseTable& TDUtiConfiguration::Table() {
  static const gui::ResponseTable table =
      gui::ResponseTable(&gui::Dialog::Table()).Command(kChoose, &TDUtiConfiguration::CmChoisir);
  return table;
}

void TDUtiConfiguration::SetupWindow() {
  TDNuv::SetupWindow();
  auto* list = Item<gui::ListBox>(kList);
  if (list == nullptr) return;
  list->SetFont(TableFontFixed);
  // The values line up after the longest label.
  std::size_t widest = 0;
  for (const ProgramSetting& s : All()) widest = std::max(widest, std::string(s.label).size());
  const int charWidth = std::max(gui::ScreenTextMetrics(TableFontFixed).aveCharWidth, 5);
  list->SetTabStop(static_cast<int>(std::min<std::size_t>(widest, kLabelColumns) + 2) * charWidth);
  for (const ProgramSetting& s : All()) list->AddString(RowText(s));
  auto* methods = Item<gui::ComboBox>(kMethods);
  if (methods != nullptr) {
    for (char m : settings::OfferedBackupMethods()) methods->AddString(settings::BackupMethodText(m));
    // A method the INI holds that is no longer offered (the Windows archivers) stays until another is chosen.
    const char held = settings::CurrentSettingValue(*settings::FindProgramSetting(kMethodKey))[0];
    if (settings::OfferedBackupMethods().find(held) == std::string::npos && std::isalnum(static_cast<unsigned char>(held)))
      methods->AddString(settings::BackupMethodText(held));
  }
  list->SetSelIndex(0);
  ShowSetting(0);
}

std::string TDUtiConfiguration::ShownValue(const ProgramSetting& s) const {
  const auto it = changes_.find(s.key);
  return it != changes_.end() ? it->second : StoredValue(s);
}

std::string TDUtiConfiguration::RowText(const ProgramSetting& s) const {
  std::string value = ShownValue(s);
  if (s.kind == SettingKind::BackupMethod && !value.empty()) value = settings::BackupMethodText(value[0]);
  const bool changed = changes_.count(s.key) != 0;
  return std::string(s.label) + "\t" + (changed ? "* " : "") + (IsBlank(value) ? LoadStr(kLabelDefault) : value);
}

const ProgramSetting* TDUtiConfiguration::Selected() const {
  return row_ >= 0 && row_ < static_cast<int>(All().size()) ? &All()[static_cast<std::size_t>(row_)] : nullptr;
}

char TDUtiConfiguration::PendingMethod() const {
  const std::string m = ShownValue(*settings::FindProgramSetting(kMethodKey));
  return m.empty() ? '9' : m[0];
}

settings::SettingContext TDUtiConfiguration::Context() const {
  settings::SettingContext c;
  c.methodRefusal = [](char m) { return UnavailableMethodText(m, false); };
  c.backupMethod = PendingMethod();
  return c;
}

void TDUtiConfiguration::RefreshRow(int row) {
  auto* list = Item<gui::ListBox>(kList);
  if (list == nullptr || row < 0 || row >= static_cast<int>(All().size())) return;
  const int selected = list->GetSelIndex();
  list->DeleteString(row);
  list->InsertString(RowText(All()[static_cast<std::size_t>(row)]), row);
  list->SetSelIndex(selected);
}

void TDUtiConfiguration::ShowSetting(int row) {
  row_ = row;
  const ProgramSetting* s = Selected();
  if (s == nullptr) return;
  loading_ = true;
  SetItemText(kLabel, std::string(s->label) + "   [" + s->key + "]");
  SetItemText(kHint, HintOf(*s));
  const bool method = s->kind == SettingKind::BackupMethod;
  ShowItem(kValue, !method);
  ShowItem(kMethods, method);
  EnableItem(kChoose, HasChooser(s->kind));
  if (method) {
    if (auto* methods = Item<gui::ComboBox>(kMethods))
      methods->SetSelIndex(methods->FindStringExact(settings::BackupMethodText(PendingMethod())));
  } else if (auto* e = Item<MEdit>(kValue)) {
    e->SetValue(ShownValue(*s), true);
  }
  loading_ = false;
}

bool TDUtiConfiguration::AcceptShownValue() {
  const ProgramSetting* s = Selected();
  if (s == nullptr || s->kind == SettingKind::BackupMethod) return true;
  auto* e = Item<MEdit>(kValue);
  if (e == nullptr) return true;
  const std::string typed = e->GetValue();
  if (typed == ShownValue(*s)) return true;
  const settings::SettingCheck check = settings::CheckSettingValue(*s, typed, Context());
  if (!check.accepted) {
    gui::MessageBeep(0);
    gui::MessageBox(this, check.message, s->label, gui::MB_OK | gui::MB_ICONSTOP);
    e->FocusSelect(true);
    return false;
  }
  if (check.value == settings::CurrentSettingValue(*s)) changes_.erase(s->key);
  else changes_[s->key] = check.value;
  e->SetValue(ShownValue(*s), true);
  RefreshRow(row_);
  return true;
}

bool TDUtiConfiguration::SelectSetting(const std::string& key) {
  const auto& all = All();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (key != all[i].key) continue;
    if (static_cast<int>(i) != row_ && !AcceptShownValue()) return false;
    if (auto* list = Item<gui::ListBox>(kList)) list->SetSelIndex(static_cast<int>(i));
    ShowSetting(static_cast<int>(i));
    return true;
  }
  return false;
}

void TDUtiConfiguration::ChooseMethod() {
  auto* methods = Item<gui::ComboBox>(kMethods);
  const ProgramSetting* s = settings::FindProgramSetting(kMethodKey);
  if (methods == nullptr || s == nullptr) return;
  const std::string text = methods->GetString(methods->GetSelIndex());
  const char m = text.empty() ? ' ' : text[0];
  if (m == PendingMethod()) return;
  const settings::SettingCheck check = settings::CheckSettingValue(*s, std::string(1, m), Context());
  if (!check.accepted) {
    // The method chosen cannot run here: its refusal is said and the method kept.
    gui::MessageBeep(0);
    gui::MessageBox(this, check.message, LoadStr(kProgramTitle), gui::MB_OK | gui::MB_ICONSTOP);
    methods->SetSelIndex(methods->FindStringExact(settings::BackupMethodText(PendingMethod())));
    return;
  }
  if (check.value == settings::CurrentSettingValue(*s)) changes_.erase(s->key);
  else changes_[s->key] = check.value;
  RefreshRow(row_);
}

void TDUtiConfiguration::EvChildNotify(int id, unsigned code, gui::Handle control) {
  if (id == kList && code == gui::LBN_SELCHANGE) {
    auto* list = Item<gui::ListBox>(kList);
    const int wanted = list != nullptr ? list->GetSelIndex() : -1;
    if (wanted < 0 || wanted == row_) return;
    if (!AcceptShownValue()) {
      list->SetSelIndex(row_);
      return;
    }
    ShowSetting(wanted);
    return;
  }
  if (id == kMethods && code == gui::CBN_SELCHANGE) {
    if (!loading_) ChooseMethod();
    return;
  }
  TDNuv::EvChildNotify(id, code, control);
}

void TDUtiConfiguration::CmChoisir() {
  const ProgramSetting* s = Selected();
  auto* e = Item<MEdit>(kValue);
  if (s == nullptr || e == nullptr) return;
  std::string value = e->GetValue();
  bool chosen = false;
  switch (s->kind) {
    case SettingKind::Font:
      chosen = ChooseFonts(this, value);
      break;
    case SettingKind::Folder:
    case SettingKind::BackupUnit:
      chosen = gui::BrowseForFolder(this, s->label, IsBlank(value) ? ProgramFolder : value, value);
      break;
    case SettingKind::File:
      chosen = gui::GetOpenFileName(this, s->label, LoadStr(kFilterAllFiles), FolderOf(value), value);
      break;
    case SettingKind::NewFile:
      chosen = gui::GetSaveFileName(this, s->label, LoadStr(kFilterAllFiles), FolderOf(value), value);
      break;
    default:
      break;
  }
  if (chosen) e->SetValue(value, false);
  e->FocusSelect(true);
}

void TDUtiConfiguration::CmOk() {
  if (!AcceptShownValue()) return;
  if (!ApplyProgramSettings(changes_)) {
    // Nothing typed is lost: the dialog stays open with its changes, to be tried again or abandoned.
    gui::MessageBeep(0);
    gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgSettingsFileNotWritten), IniPath()), LoadStr(kProgramTitle),
                    gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  TDNuv::CmOk();
}

// ---- applying -----------------------------------------------------------------------------------------------------

bool ApplyProgramSettings(const std::map<std::string, std::string>& changes) {
  if (changes.empty()) return true;
  const bool written = settings::WriteSettings(changes);
  const char choice = ProgramOption(12), running = ProgramOption(17);
  const char chart = ProgramOption(21), sections = ProgramOption(22);
  FillProgramOptions(choice == 'N');
  const std::string red = IniGetString("SaisieEnRouge", "O");
  SetProgramOption(16, red.empty() ? ' ' : red[0]);
  FillReportOptions();
  SetProgramOption(17, running);
  SetProgramOption(21, chart);
  SetProgramOption(22, sections);
  if (!settings::ChangesReportSets(changes)) return written;
  // The lists of user-defined reports work on the sets: they close before the sets are made again.
  for (int slot : {kReportFormSlotY, kReportFormSlotZ, kReportListSlotY, kReportListSlotZ})
    if (gui::Window* w = gui::Window::FromHandle(SlotHandle(slot))) w->CloseWindow();
  if (TableCE0 != nullptr) TableCE0->CloseTable(true);
  if (TableCE1 != nullptr) TableCE1->CloseTable(true);
  EnsureReportTableCE0(ProgramOption(5), false);
  EnsureReportTableCE1(ProgramOption(8) == 'O' ? ProgramOption(7) : ProgramOption(6), false);
  return written;
}

// Core: FindProgramSetting, CheckSettingValue.
void CmConfiguration() {
  TDUtiConfiguration dialog(gui::Window::FromHandle(MainWindowHandle));
  dialog.Execute(kTaskModal);
}
