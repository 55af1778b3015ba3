#include "dossier/dossier_properties.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/core/conversion.h"
#include "dossier/dossier_commands.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/combobox.h"
#include "platform/gui/edit.h"
#include "platform/gui/messagebox.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"

namespace {

using Field = DossierRecord::DateField;

// The texts of the dossier's properties, by their ids in the string table.
constexpr int kC10CodeTag = 21;               // the general file's code tag, its first 7 characters
constexpr int kCaptionProperties = 49;
constexpr int kLabelShortCode = 1082;         // the dossier's short code
constexpr int kGeneralRecordKey = 1105;       // the key of the general file's record "0"
constexpr int kMsgBadEuroRate = 1188;
constexpr int kMsgBadWorkingDate = 1192;
constexpr int kMsgBadYearStart = 1193;
constexpr int kMsgBadYearEnd = 1194;
constexpr int kMsgYearDatesInconsistent = 1195;
constexpr int kMsgNameIncomplete = 1196;
constexpr int kMsgWorkingBeforeYear = 1197;
constexpr int kMsgWorkingAfterYear = 1198;
constexpr int kStoredSiretLabel = 1199;
constexpr int kStoredApeLabel = 1200;
constexpr int kAnalyticModeFirst = 1201;      // the three analytic modes, in the order of the list
constexpr int kLabelNameLock = 2266;
constexpr int kAskLaterYearStart = 2509;      // the stored start of the year
constexpr int kAskEarlierYearEnd = 2511;      // the stored end of the year
constexpr int kVariablePrefix = 3255;
constexpr int kTitleVariables = 3259;
constexpr int kVariablesSection = 3261;

// Edits and the record positions they show: control, position, width.
struct Place {
  int control, position, width;
};
constexpr Place kPlaces[] = {
    {TDFicAProposDossier::kName, 1, 30},           {TDFicAProposDossier::kStreet, 31, 30},
    {TDFicAProposDossier::kNumber, 61, 4},         {TDFicAProposDossier::kNumberSuffix, 65, 1},
    {TDFicAProposDossier::kStreet2, 67, 24},       {TDFicAProposDossier::kPostalCode, 91, 5},
    {TDFicAProposDossier::kTown, 97, 24},          {TDFicAProposDossier::kSiren, 127, 9},
    {TDFicAProposDossier::kEstablishment, 136, 5}, {TDFicAProposDossier::kApe, 146, 5},
};

// YYYYMMDD of a DD/MM/YY text ("" when it is no valid date).
std::string YmdText(const std::string& display) {
  Ymd d;
  if (!ParseDisplayDate(Trimmed(display), d) || !IsValidYmd(d)) return "";
  return YyyymmddOf(d);
}

}  // namespace

std::string DossierShortCode() { return Trimmed(DossierCode) + "-" + WorkstationNumber(); }

bool ParseParity(const std::string& text, double& value) {
  std::string t = Trimmed(text);
  for (char& c : t) {
    if (c == ',') c = '.';
  }
  if (t.empty()) return false;
  char* end = nullptr;
  value = std::strtod(t.c_str(), &end);
  return end != nullptr && *end == '\0' && std::isfinite(value);
}

TDFicAProposDossier::TDFicAProposDossier(gui::Window* owner, int mode, int resourceId)
    : TDNuv(owner, resourceId, false), mode_(mode) {
  // The fields filter what they take by kind: dates step with Page Up and
  // Page Down, numbers take digits only.
  for (const Place& p : kPlaces) {
    const bool digits = p.control == kNumber || p.control == kSiren || p.control == kEstablishment;
    new MEdit(kOnTemplate, this, p.control, p.width, 1, true, digits ? MEdit::kUnsigned : MEdit::kText, 0);
  }
  new MEdit(kOnTemplate, this, kCode, 5, 1, true, MEdit::kText, 0);
  for (int id : {kWorkingDate, kYearStart, kYearEnd}) new MEdit(kOnTemplate, this, id, 8, 1, true, MEdit::kDate, 0);
  for (int id : {kPrivileged, kSecondary}) new MEdit(kOnTemplate, this, id, 9, 1, true, MEdit::kText, 0);
  new MEdit(kOnTemplate, this, kNextPiece, 6, 1, true, MEdit::kUnsigned, 0);
  new MEdit(kOnTemplate, this, kParity, 10, 1, true, MEdit::kAmount, 5);
  new MCheckBox(kOnTemplate, this, kEuroMain);
  new MComboBox(kOnTemplate, this, kAnalytic, 22, 1);
  new MRStatic(kOnTemplate, this, kShortCode);
  for (int id : {int{kVariables}, 1, 2}) new MButton(kOnTemplate, this, id);
}

void TDFicAProposDossier::SetupWindow() {
  TDNuv::SetupWindow();
  const DossierRecord& r = TheDossierRecord;
  SetItemText(kShortCode, FillPlaceholder(LoadStr(kLabelShortCode), DossierShortCode()));
  SetItemText(kEmpty, "");
  SetItemText(kCode, Trimmed(DossierCode).substr(0, 5));
  for (const Place& p : kPlaces) {
    SetItemText(p.control, Trimmed(r.Get(p.position, p.width)));
  }
  for (int id : {kPrivileged, kSecondary}) {
    const std::string stored = Trimmed(r.Get(id == kPrivileged ? 151 : 160, 9));
    SetItemText(id, mode_ == kPropertiesMode ? stored : (stored.empty() ? "" : "*********"));
  }
  SetItemText(kWorkingDate, r.DateDisplay(Field::Working));
  SetItemText(kYearStart, r.DateDisplay(Field::YearStart));
  SetItemText(kYearEnd, r.DateDisplay(Field::YearEnd));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%06ld", std::atol(Trimmed(r.NextPiece()).c_str()));
  SetItemText(kNextPiece, buf);
  const std::string parity = Trimmed(r.Get(DossierRecord::kParityPos, DossierRecord::kParityWidth));
  SetItemText(kParity, parity.empty() ? std::string("6.55957") : parity);
  SetCheck(kEuroMain, r.At(DossierRecord::kEuroMainPos) == 'N' ? gui::BST_UNCHECKED : gui::BST_CHECKED);
  if (auto* combo = Item<gui::ComboBox>(kAnalytic)) {
    for (int k = 0; k < 3; ++k) combo->AddString(LoadStr(kAnalyticModeFirst + k));
  }
  const char mode = r.AnalyticMode();
  SetItemSel(kAnalytic, mode == '1' ? 1 : mode == '2' ? 2 : 0);
  oldStart_ = r.DateYyyymmdd(Field::YearStart);
  oldEnd_ = r.DateYyyymmdd(Field::YearEnd);
  if (mode_ == kWorkingDateMode && Template() != nullptr) {
    for (const gui::ControlTemplate& c : Template()->controls) {
      if (c.id != kWorkingDate && c.id != 1 && c.id != 2 && c.kind != gui::ControlKind::Static) EnableItem(c.id, false);
    }
  }
  FocusItem(kWorkingDate);
}

bool TDFicAProposDossier::Refuse(int messageId, int control) {
  gui::MessageBeep(0);
  gui::MessageBox(this, LoadStr(messageId), LoadStr(kCaptionProperties), gui::MB_OK | gui::MB_ICONSTOP);
  refusedAt_ = control;
  FocusItem(control);
  return false;
}

bool TDFicAProposDossier::Ask(const std::string& text, int control) {
  gui::MessageBeep(0);
  if (gui::MessageBox(this, text, LoadStr(kCaptionProperties), gui::MB_YESNO | gui::MB_ICONSTOP) == gui::IDYES) return true;
  refusedAt_ = control;
  FocusItem(control);
  return false;
}

bool TDFicAProposDossier::CanClose() {
  refusedAt_ = 0;
  const std::string working = YmdText(GetItemText(kWorkingDate));
  std::string start = YmdText(GetItemText(kYearStart));
  std::string end = YmdText(GetItemText(kYearEnd));
  if (working.empty()) return Refuse(kMsgBadWorkingDate, kWorkingDate);
  if (mode_ == kPropertiesMode) {
    for (int id : {kName, kPostalCode, kTown}) {
      if (!IsBlank(GetItemText(id))) continue;
      int focus = kApe;
      for (int f : {kName, kPostalCode, kTown, kSiren, kEstablishment}) {
        if (IsBlank(GetItemText(f))) {
          focus = f;
          break;
        }
      }
      return Refuse(kMsgNameIncomplete, focus);
    }
    if (start.empty()) return Refuse(kMsgBadYearStart, kYearStart);
    if (end.empty()) return Refuse(kMsgBadYearEnd, kYearEnd);
    if (end < start) return Refuse(kMsgYearDatesInconsistent, kYearEnd);
    if (!oldStart_.empty() && !oldEnd_.empty()) {
      if (start > oldStart_ &&
          !Ask(FillPlaceholder(LoadStr(kAskLaterYearStart), TheDossierRecord.Get(DossierRecord::kYearStartPos, 8)),
               kYearStart))
        return false;
      if (end < oldEnd_ &&
          !Ask(FillPlaceholder(LoadStr(kAskEarlierYearEnd), TheDossierRecord.Get(DossierRecord::kYearEndPos, 8)),
               kYearEnd))
        return false;
    }
  } else {
    start = TheDossierRecord.DateYyyymmdd(Field::YearStart);
    end = TheDossierRecord.DateYyyymmdd(Field::YearEnd);
  }
  if (!start.empty() && working < start) return Refuse(kMsgWorkingBeforeYear, kWorkingDate);
  if (!end.empty() && working > end) return Refuse(kMsgWorkingAfterYear, kWorkingDate);
  // The rate is divided by: it is tested whatever the currency setting says.
  double parity = 0;
  if (!ParseParity(GetItemText(kParity), parity) || !EuroRateInRange(parity)) return Refuse(kMsgBadEuroRate, kParity);

  DossierRecord& r = TheDossierRecord;
  if (mode_ == kPropertiesMode) {
    for (const Place& p : kPlaces) {
      std::string v = Trimmed(GetItemText(p.control)).substr(0, static_cast<std::size_t>(p.width));
      if (p.control == kNumber && v.size() < 4) v = std::string(4 - v.size(), ' ') + v;  // right-aligned
      r.Set(p.position, p.width, v);
    }
    r.Set(66, 1, " ");
    r.Set(96, 1, " ");
    r.Set(141, 1, " ");
    r.Set(121, 6, LoadStr(kStoredSiretLabel));
    r.Set(142, 4, LoadStr(kStoredApeLabel));
    r.Set(151, 9, Trimmed(GetItemText(kPrivileged)));
    r.Set(160, 9, Trimmed(GetItemText(kSecondary)));
    r.SetDateYyyymmdd(Field::YearStart, start);
    r.SetDateYyyymmdd(Field::YearEnd, end);
    const int sel = GetItemSel(kAnalytic);
    r.SetAt(DossierRecord::kAnalyticModePos, sel == 1 ? '1' : sel == 2 ? '2' : 'N');
    r.SetNextPiece(std::atol(Trimmed(GetItemText(kNextPiece)).c_str()));
    r.SetParity(parity);
    r.SetEuroIsMain(GetCheck(kEuroMain) == gui::BST_CHECKED);
  }
  r.SetDateYyyymmdd(Field::Working, working);
  return true;
}

bool TDFicAProposDossier::EvCommand(unsigned id) {
  if (id == static_cast<unsigned>(kVariables)) {
    CmVariables();
    return true;
  }
  return TDNuv::EvCommand(id);
}

void TDFicAProposDossier::CmVariables() {
  std::string text = ReadVdVariables();
  TDSaisieVariables dialog(this, &text);
  dialog.SetCaption(LoadStr(kTitleVariables));
  if (dialog.Execute() == gui::IDOK) WriteVdVariables(text);
}

// ---- "VD_" variables -----------------------------------------------------------

namespace {

// The "VD_" lines of section [Variables_VD] of the dossier INI.
std::vector<std::string> VdLines(const std::string& content) {
  std::vector<std::string> lines;
  const std::string section = LoadStr(kVariablesSection), prefix = LoadStr(kVariablePrefix);
  bool inSection = false;
  std::size_t at = 0;
  while (at < content.size()) {
    std::size_t eol = content.find('\n', at);
    if (eol == std::string::npos) eol = content.size();
    std::string line = content.substr(at, eol - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    at = eol + 1;
    const std::string t = Trimmed(line);
    if (!t.empty() && t[0] == '[') {
      inSection = Lower(t.c_str()) == std::string(Lower(section.c_str()));
      continue;
    }
    if (inSection && t.compare(0, prefix.size(), prefix) == 0 && t.find('=') != std::string::npos)
      lines.push_back(t);
  }
  return lines;
}

std::string KeyOf(const std::string& line) { return Trimmed(line.substr(0, line.find('='))); }

}  // namespace

std::string ReadVdVariables() {
  std::string content;
  platform::ReadWholeFile(DossierIniPath(), content);
  std::string out;
  for (const std::string& line : VdLines(content)) out += line + "\r\n";
  return out;
}

bool WriteVdVariables(const std::string& text) {
  std::string content;
  platform::ReadWholeFile(DossierIniPath(), content);
  std::set<std::string> kept;
  bool ok = true;
  // The edited text holds no section line: every "VD_" line counts.
  const std::string prefix = LoadStr(kVariablePrefix);
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t eol = text.find('\n', at);
    if (eol == std::string::npos) eol = text.size();
    std::string line = Trimmed(text.substr(at, eol - at));
    if (!line.empty() && line.back() == '\r') line = Trimmed(line.substr(0, line.size() - 1));
    at = eol + 1;
    const std::size_t eq = line.find('=');
    if (line.compare(0, prefix.size(), prefix) != 0 || eq == std::string::npos) continue;
    const std::string key = KeyOf(line);
    const std::string value = line.substr(eq + 1);
    kept.insert(key);
    ok = DossierIniSet("Variables_VD", key.c_str(), value.c_str()) && ok;
  }
  for (const std::string& line : VdLines(content)) {
    const std::string key = KeyOf(line);
    if (kept.count(key) == 0) ok = DossierIniSet("Variables_VD", key.c_str(), "") && ok;
  }
  return ok;
}

// ---- Writing back to C10 -------------------------------------------------------

namespace {

bool SeekRecord0() {
  if (TableC10 == nullptr || !TableC10->isOpen) return false;
  return TableC10->Find(std::string(LoadStr(kC10CodeTag)).substr(0, 7), LoadStr(kGeneralRecordKey)).IsFound();
}

}  // namespace

bool WriteDossierPropertiesToC10() {
  if (!SeekRecord0()) return false;
  if (!LockRecord(*TableC10, LoadStr(kLabelNameLock), 0)) return false;
  const DossierRecord& r = TheDossierRecord;
  bool ok = TableC10->PutField(3, r.Get(1, 30).c_str());
  ok = TableC10->PutFieldPart(4, 1, 170, r.Get(31, 170).c_str()) && ok;
  ok = TableC10->PutFieldPart(5, 523 - 284, 11, r.Get(523, 11).c_str()) && ok;
  UnlockRecord(*TableC10);
  return TableC10->Commit() && ok;
}

bool WriteWorkingDateToC10() {
  if (!SeekRecord0()) return false;
  if (!LockRecord(*TableC10, LoadStr(kLabelNameLock), 0)) return false;
  const bool ok = TableC10->PutFieldPart(4, 139, 8, TheDossierRecord.Get(DossierRecord::kWorkingDatePos, 8).c_str());
  UnlockRecord(*TableC10);
  return TableC10->Commit() && ok;
}

// Core: EuroRateInRange.
void CmFichierAProposDossier() {
  if (CommandWindow != nullptr && !CommandWindow->CloseChildren()) return;
  CloseAllTables();
  if (TableC10 == nullptr || !TableC10->OpenShared(PathC10(), std::string(LoadStr(kC10CodeTag)).substr(0, 7)) ||
      !SeekRecord0() || !ReadC10Texts()) {
    CloseAllTables();
    return;
  }
  const DossierRecord before = TheDossierRecord;
  TDFicAProposDossier dialog(gui::Window::FromHandle(MainWindowHandle), TDFicAProposDossier::kPropertiesMode);
  if (dialog.Execute(gui::MB_TASKMODAL) == gui::IDOK && !WriteDossierPropertiesToC10()) {
    // The dossier keeps what it had: the record in memory follows it.
    TheDossierRecord = before;
  }
  UpdateAnalyticMenuItem();
  CloseAllTables();
  if (CommandWindow != nullptr) gui::PostCommand(CommandWindow->GetHandle(), CMDIClient::CM_SET_MAIN_CAPTION);
}
