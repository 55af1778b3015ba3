#include "masterdata/new_code_dialog.h"

#include "controls/mcontrols.h"
#include "data/session.h"
#include "framework/lookup_dialog.h"
#include "masterdata/core/code_checks.h"
#include "masterdata/core/code_kinds.h"
#include "masterdata/core/masterdata_strings.h"
#include "masterdata/upper_edit.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"

using namespace masterdata;

namespace {

constexpr int kReportCodeWidth = 10;
constexpr int kReportFromWidth = 200;
constexpr int kTitleAttention = 52;  // "ATTENTION"
constexpr std::size_t kReportFromCut = 10;

bool IsReportKind(const std::string& kind) { return !kind.empty() && (kind[0] == 'Y' || kind[0] == 'Z'); }
bool HasSortBoxes(const std::string& kind) { return !kind.empty() && (kind[0] == '2' || kind[0] == '3'); }

char HelpCharacter() {
  const char c = ProgramOption(4);
  return c == ' ' || c == '\0' ? '*' : c;
}

}  // namespace

TDDonNouv::TDDonNouv(gui::Window* parent, std::string* code, const std::string& kind, int resourceId,
                     std::string* from)
    : TDNuv(parent, resourceId, false),
      codeBuffer_(code),
      fromBuffer_(from),
      kind_(kind.substr(0, 1)),
      codeWidth_(code != nullptr ? static_cast<int>(code->size()) : 0),
      fromWidth_(IsReportKind(kind) ? kReportFromWidth : (from != nullptr ? static_cast<int>(from->size()) : 0)) {
  if (codeBuffer_ != nullptr) *codeBuffer_ = RTrim(codeBuffer_->c_str());
  title_ = new MRStatic(kOnTemplate, this, kTitle);
  new MStatic(kOnTemplate, this, kCodeLabel);
  new MStatic(kOnTemplate, this, kFromLabel);
  code_ = new MUpperEdit(kOnTemplate, this, kCode, codeWidth_, 1, true, MEdit::kText, 0);
  if (resourceId == kReportsDialog) fromEdit_ = new MEdit(kOnTemplate, this, kFrom, fromWidth_, 1, true, MEdit::kText, 0);
  else fromEdit_ = new MUpperEdit(kOnTemplate, this, kFrom, fromWidth_, 1, true, MEdit::kText, 0);
  line1_ = new MStatic(kOnTemplate, this, kLine1);
  line2_ = new MStatic(kOnTemplate, this, kLine2);
  new MButton(kOnTemplate, this, gui::IDOK);
  new MButton(kOnTemplate, this, gui::IDCANCEL);
  aide1_ = new MButton(kOnTemplate, this, kAide1);
  aide2_ = new MButton(kOnTemplate, this, kAide2);
  byNameBox_ = new MCheckBox(kOnTemplate, this, kByName);
  amongBox_ = new MCheckBox(kOnTemplate, this, kAmong);
  code_->SetF8Command(kAide1);
  fromEdit_->SetF8Command(kAide2);
}

TDDonNouv::~TDDonNouv() {
  if (!sortActive_) return;
  DossierIniSet(LoadStr(kIniSectionAide), IniKey(kIniTriParNom).c_str(), byName_ ? "O" : "N");
  DossierIniSet(LoadStr(kIniSectionAide), IniKey(kIniParmi).c_str(), among_ ? "O" : "N");
}

const gui::ResponseTable& TDDonNouv::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&gui::Dialog::Table())
                                              .Command(kAide1, &TDDonNouv::CmAide1)
                                              .Command(kAide2, &TDDonNouv::CmAide2)
                                              .Command(kShow, &TDDonNouv::CmShow)
                                              .Command(kCodeFirst, &TDDonNouv::CmCodeFirst)
                                              .Command(kCodePrevious, &TDDonNouv::CmCodePrevious)
                                              .Command(kCodeNext, &TDDonNouv::CmCodeNext)
                                              .Command(kCodeLast, &TDDonNouv::CmCodeLast)
                                              .Command(kFromFirst, &TDDonNouv::CmFromFirst)
                                              .Command(kFromPrevious, &TDDonNouv::CmFromPrevious)
                                              .Command(kFromNext, &TDDonNouv::CmFromNext)
                                              .Command(kFromLast, &TDDonNouv::CmFromLast)
                                              .Command(kByName, &TDDonNouv::CmTri)
                                              .Command(kAmong, &TDDonNouv::CmTri);
  return table;
}

std::string TDDonNouv::IniKey(int keyId) const { return std::string(LoadStr(keyId)) + kind_; }

void TDDonNouv::SetupWindow() {
  TDNuv::SetupWindow();
  for (MEdit* e : {code_, fromEdit_}) {
    e->SetFont(EntryFont);
    e->SetNotifyWindow(this);
  }
  line2_->SetFont(EntryFont);
  code_->SetKeyCommands(kCodePrevious, kCodeNext, kCodeFirst, kCodeLast, 0, 0);
  fromEdit_->SetKeyCommands(kFromPrevious, kFromNext, kFromFirst, kFromLast, 0, 0);
  title_->SetText(FileTitleForType(kind_.c_str()));
  title_->DrawFrame();
  code_->SetValue(codeBuffer_ != nullptr ? *codeBuffer_ : std::string(), true);
  code_->FocusSelect(true);
  fromEdit_->SetValue("", true);
  const std::string section = LoadStr(kIniSectionAide);
  byName_ = DossierIniGet(section.c_str(), IniKey(kIniTriParNom).c_str(), "").substr(0, 1) == "O";
  among_ = DossierIniGet(section.c_str(), IniKey(kIniParmi).c_str(), "").substr(0, 1) == "O";
  byNameBox_->SetValue(byName_, true);
  amongBox_->SetValue(among_, true);
  sortActive_ = HasSortBoxes(kind_);
  byNameBox_->EnableWindow(sortActive_);
  amongBox_->EnableWindow(sortActive_);
  gui::PostCommand(GetHandle(), kShow);
}

void TDDonNouv::CmShow() { Show(gui::SW_SHOWNORMAL); }

void TDDonNouv::CmTri() {
  byName_ = byNameBox_->IsChecked();
  among_ = amongBox_->IsChecked();
}

std::string TDDonNouv::LookupMode() const {
  if (!sortActive_) return {};
  if (among_) return byName_ ? "n" : "c";
  return byName_ ? "N" : "C";
}

std::string TDDonNouv::Line1() const { return line1_->GetText(); }
std::string TDDonNouv::Line2() const { return line2_->GetText(); }

void TDDonNouv::SetLines(const std::string& line1, const std::string& line2) {
  line1_->SetText(line1);
  line2_->SetText(line2);
}

void TDDonNouv::FocusField(MEdit* field) {
  field->FocusSelect(true);
  field->SetSelection(0, -1);
}

void TDDonNouv::Lookup(MEdit* field, int width) {
  std::string search = Trimmed(field->GetText());
  const std::size_t help = search.find(HelpCharacter());
  if (help != std::string::npos) search.resize(help);
  search.resize(static_cast<std::size_t>(std::max(width, 0)), ' ');
  std::string result = search;
  TDAideFichier dialog(this, nullptr, kind_, width, &result);
  if (dialog.Execute(kTaskModal) == gui::IDOK) {
    std::string chosen = RTrim(result.c_str());
    if (field->GetTextLimit() > 0 && static_cast<int>(chosen.size()) > field->GetTextLimit())
      chosen.resize(static_cast<std::size_t>(field->GetTextLimit()));
    field->SetText(chosen);
  }
  FocusField(field);
  SetLines("", "");
}

void TDDonNouv::CmAide1() {
  if (sortActive_ && among_ && IsBlank(code_->GetText())) {
    gui::MessageBeep(0);
    FocusField(code_);
    return;
  }
  Lookup(code_, codeWidth_);
}

void TDDonNouv::CmAide2() {
  std::string text = fromEdit_->GetText();
  if (IsReportKind(kind_)) {
    // A path names the text file of a report to import.
    if (text.find_first_of(":\\/") != std::string::npos) {
      std::string path;
      if (gui::GetOpenFileName(this, LoadStr(kTextAsciiTitle), LoadStr(kTextAsciiFilter), ProgramFolder, path)) {
        fromEdit_->SetText(path);
        line2_->SetText(FillPlaceholder(LoadStr(kTextFromFile), path));
      }
      return;
    }
    if (text.size() > kReportFromCut) fromEdit_->SetText(text.substr(0, kReportFromCut));
  }
  Lookup(fromEdit_, fromWidth_);
}

CodeSource TDDonNouv::Source(int width) const {
  const char k = kind_.empty() ? '\0' : kind_[0];
  if (k == '2') return {TableC20, "C20CODE", "", 1, 2, 8};
  if (k == '3') return {TableC30, "C30CODE", "", 1, 2, 8};
  if (k == 'Y') return {TableCE0, "CE0CODE", "", 1, 2, kReportCodeWidth};
  if (k == 'Z') return {TableCE1, "CE0CODE", "", 1, 2, kReportCodeWidth};
  return {TableC10, kC10Tag, kind_, kCodeField, kNameField, width};
}

void TDDonNouv::Step(MEdit* field, CodeStep step) {
  SetLines("", "");
  if (!IsCodeListKind(kind_.empty() ? '\0' : kind_[0]) && !HasSortBoxes(kind_) && !IsReportKind(kind_)) {
    gui::MessageBeep(0);
    line2_->SetText(LoadStr(kTextUnknown));
    return;
  }
  std::string code, name;
  if (!StepCode(Source(codeWidth_), step, field->GetText(), code, name)) {
    gui::MessageBeep(0);
    line2_->SetText(LoadStr(kTextUnknown));
    return;
  }
  field->SetText(code);
  line2_->SetText(name);
}

bool TDDonNouv::CanClose() {
  SetLines("", "");
  NewCodeRequest request;
  request.kind = kind_;
  request.code = code_->GetText();
  request.from = fromEdit_->GetText();
  request.codeWidth = codeWidth_;
  request.fromWidth = fromWidth_;
  request.helpChar = HelpCharacter();
  request.programFolder = ProgramFolder;
  const NewCodeAnswer a = CheckNewCode(request);
  if (a.verdict == NewCodeVerdict::LookupCode || a.verdict == NewCodeVerdict::LookupFrom) {
    gui::PostCommand(GetHandle(), a.verdict == NewCodeVerdict::LookupCode ? kAide1 : kAide2);
    return false;
  }
  if (codeBuffer_ != nullptr) *codeBuffer_ = a.code;
  if (fromBuffer_ != nullptr) *fromBuffer_ = a.from;
  auto refuse = [this](const std::string& line1, const std::string& line2, int focus) {
    gui::MessageBeep(0);
    SetLines(line1, line2);
    FocusField(focus == kFrom ? fromEdit_ : code_);
    return false;
  };
  if (a.verdict == NewCodeVerdict::Refused) return refuse(a.line1, a.line2, a.focus);
  if (!creator_) return true;
  const CreateResult made = creator_(a.code, a.from);
  switch (made.outcome) {
    case CreateOutcome::Created: return true;
    case CreateOutcome::Exists:
      return refuse(LoadStr(kMsgCodeExists), Trimmed(a.code) + " - " + made.existingName, kCode);
    case CreateOutcome::LockRefused: return refuse(LoadStr(kMsgRecordLocked), "", kCode);
    case CreateOutcome::Failed:
      if (!made.refusal.empty()) {
        gui::MessageBeep(0);
        gui::MessageBox(this, made.refusal, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
        FocusField(code_);
        return false;
      }
      break;
  }
  return refuse(LoadStr(kMsgCreateFailed), "", kCode);
}
