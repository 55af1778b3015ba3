#include "reports/engine/choice_dialogs.h"

#include <algorithm>
#include <cstdio>

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/index_recovery.h"
#include "data/table.h"
#include "framework/browse.h"
#include "framework/lookup_dialog.h"
#include "platform/gui/application.h"
#include "platform/gui/combobox.h"
#include "platform/gui/cursor.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/edit.h"
#include "platform/gui/listbox.h"
#include "platform/gui/messagebox.h"
#include "reports/engine/browse_report_owner.h"
#include "reports/engine/core/report_text.h"
#include "reports/engine/core/template_loader.h"
#include "reports/engine/window_environment.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"

namespace {

using namespace choice_ids;

constexpr int kAttention = 52;
constexpr int kPrinterA = 19563;
constexpr int kPrinterB = 19564;
constexpr int kPrinterInService = 19565;
constexpr int kMsgNoLayout = 19566;  // no layout for the codes beginning with the prefix (%s)
constexpr int kMsgPrinterNotFound = 19567;  // %s: the printer
constexpr int kLimitsLabel = 19568;
constexpr int kPrinterSetupCaption = 21207;
constexpr int kReportCodeWidth = 10;
constexpr int kCodeField = 1;
constexpr int kNameField = 2;
constexpr int kTemplateField = 11;
constexpr int kLastPageDefault = 9999;
const char* const kPrinterKeys[2] = {"1ere-Imprim-A", "2eme-Imprim-B"};

// A page number typed in a page field: 1-9999, `fallback` when none.
int PageOf(const std::string& text, int fallback) {
  const int n = reports::LeadingInt(text);
  if (n <= 0) return fallback;
  return std::min(n, kLastPageDefault);
}

std::string WithoutMnemonic(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\t') break;
    if (c != '&') out += c;
  }
  return out;
}

// A layout line as the list shows it: the "0" that stands for no list type is not shown.
std::string ShownLayoutLine(const std::string& line) {
  if (line.size() < kLayoutTypeWidth || line.compare(line.size() - kLayoutTypeWidth, 1, "0") != 0) return line;
  std::string shown = line;
  shown[line.size() - kLayoutTypeWidth] = ' ';
  return shown;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Layout lines

std::vector<std::string> ReportLayoutLines(char setLetter, const std::string& prefix) {
  std::vector<std::string> lines;
  ::Table t;
  if (!t.OpenShared(PathReportDefs(setLetter), "CE0CODE", true)) return lines;
  const std::string key = UpperCp1252(TrimmedRight(prefix));
  // Not read, the list shows nothing and says why, never as a set without layouts.
  const Lookup first = t.FindNotBelow("CE0CODE", key.c_str());
  if (first.IsRefused())
    RuntimeMessage(LoadStr(kAttention), UnreadText(t.tablePath, first.result()).c_str(), kMbIconStop);
  while (t.isOpen && !t.eof && t.recordNumber != 0) {
    const std::string code = TrimmedRight(t.GetField(kCodeField));
    if (!reports::StartsWith(UpperCp1252(code), key)) break;
    // A list to choose from: a template whose mark is not read is left out; the one chosen is read again.
    if (t.LiveHere().FoundOrNone()) {
      std::string text;
      t.GetMemoText(kTemplateField, text);
      std::string type = reports::ListTypeOfTemplate(text);
      if (type.empty()) type = "0";
      const std::string name = TrimmedRight(t.GetField(kNameField));
      lines.push_back(code + "\t" + name + "  " + PadRight(type, kLayoutTypeWidth));
    }
    if (!t.Skip(1)) break;
  }
  t.CloseTable();
  return lines;
}

std::string LayoutCode(const std::string& line) {
  const std::size_t tab = line.find('\t');
  return line.substr(0, tab == std::string::npos ? line.size() : tab);
}

std::string LayoutListType(const std::string& line) {
  std::string type = line.size() > kLayoutTypeWidth ? line.substr(line.size() - kLayoutTypeWidth) : line;
  type = TrimmedRight(UpperCp1252(type));
  if (!type.empty() && type[0] == '0') type.clear();
  return type;
}

// ---------------------------------------------------------------------------------------
// The printer of a printout

PrinterChoice::PrinterChoice() : option8_(ProgramOption(8)), setLetter_(PrintSetLetter()) {
  if (gui::MPrinter* p = ProgramPrinter()) printer_ = p->Current();
}

PrinterChoice::~PrinterChoice() {
  if (gui::MPrinter* p = ExistingProgramPrinter()) p->Restore(printer_);
  const char installed = PrintSetLetter();
  SetProgramOption(8, option8_);
  if (installed != setLetter_) EnsureReportTableCE1(setLetter_, false);
}

bool PrinterChoice::Install(bool second) {
  gui::MPrinter* printer = ProgramPrinter();
  const std::string name = Trimmed(IniGetString(kPrinterKeys[second ? 1 : 0], ""));
  if (printer != nullptr && !name.empty() && !printer->SelectPrinter(name)) return false;
  const char before = PrintSetLetter();
  SetProgramOption(8, second ? 'O' : 'N');
  if (PrintSetLetter() != before) EnsureReportTableCE1(PrintSetLetter(), false);
  return true;
}

// ---------------------------------------------------------------------------------------
// The choice dialogs

TDVisuChoixEtat::TDVisuChoixEtat(CMDIBrowse* owner, const std::string& prefix, bool print)
    : TDNuv(owner, print ? kPrintDialog : kPreviewDialog, true), owner_(owner), prefix_(prefix), print_(print) {
  if (owner_ != nullptr) owner_->ReportCode = PadRight(prefix_, 18);
}

TDVisuChoixEtat::~TDVisuChoixEtat() = default;

const gui::ResponseTable& TDVisuChoixEtat::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&TDNuv::Table())
                                              .Command(kLimit, &TDVisuChoixEtat::CmLimiter)
                                              .Command(kToPrint, &TDVisuChoixEtat::CmSwitch)
                                              .Command(kToPreview, &TDVisuChoixEtat::CmSwitch)
                                              .Command(kPrinterSetup, &TDVisuChoixEtat::CmPrinterSetup);
  return table;
}

bool TDVisuChoixEtat::SecondPrinterChosen() const {
  if (!print_) return false;
  if (IsCreated()) {
    if (auto* combo = Item<gui::ComboBox>(kPrinters)) return combo->GetSelIndex() == 1;
  }
  return ProgramOption(8) == 'O';
}

char TDVisuChoixEtat::SetLetter() const {
  if (!print_) return ProgramOption(5);
  return SecondPrinterChosen() ? ProgramOption(7) : ProgramOption(6);
}

int TDVisuChoixEtat::Execute(unsigned flags) {
  if (owner_ == nullptr) return gui::IDCANCEL;
  layouts_ = ReportLayoutLines(SetLetter(), prefix_);
  if (layouts_.empty()) {
    gui::SetArrowCursor();
    gui::MessageBeep(0);
    gui::MessageBox(Parent(), FillPlaceholder(LoadStr(kMsgNoLayout), prefix_), LoadStr(kAttention),
                    gui::MB_OK | gui::MB_ICONEXCLAMATION);
    return gui::IDCANCEL;
  }
  // The automatic choice: the first layout, every page, the printer in service.
  if (ProgramOption(12) == 'N' && !ForceChoice) {
    gui::SetArrowCursor();
    WriteChoice(layouts_.front(), 1, kLastPageDefault);
    return gui::IDOK;
  }
  return TDNuv::Execute(flags);
}

void TDVisuChoixEtat::SetupWindow() {
  TDNuv::SetupWindow();
  auto* list = Item<gui::ListBox>(kLayouts);
  if (list != nullptr) {
    list->SetTabStop(12 * Units().ToPixelsX(4));
    for (const std::string& line : layouts_) list->AddString(ShownLayoutLine(line));
    // The layout chosen last stays chosen.
    int selected = 0;
    const std::string last = UpperCp1252(TrimmedRight(owner_->ReportCode.substr(0, 10)));
    for (std::size_t i = 0; i < layouts_.size(); ++i) {
      if (UpperCp1252(LayoutCode(layouts_[i])) == last) selected = static_cast<int>(i);
    }
    list->SetSelIndex(selected);
  }
  SetItemText(kFirstPage, "1");
  SetItemText(kLastPage, std::to_string(kLastPageDefault));
  if (auto* e = Item<gui::Edit>(kFirstPage)) e->SetTextLimit(4);
  if (auto* e = Item<gui::Edit>(kLastPage)) e->SetTextLimit(4);
  const bool pagesOffered = owner_->ChoiceOptionsLevel != 0;
  EnableItem(kFirstPage, pagesOffered);
  EnableItem(kLastPage, pagesOffered);
  EnableItem(kLimit, owner_->ChoiceOptionsLevel > 1 && owner_->LimitsMode != kLimitsModeNone);
  if (print_) {
    if (auto* combo = Item<gui::ComboBox>(kPrinters)) {
      for (int k = 0; k < 2; ++k) {
        std::string name = Trimmed(IniGetString(kPrinterKeys[k], ""));
        if (name.empty()) name = LoadStr(kPrinterInService);
        combo->AddString(LoadStr(k == 0 ? kPrinterA : kPrinterB) + name);
      }
      combo->SetSelIndex(ProgramOption(8) == 'O' ? 1 : 0);
    }
  }
  ShowLimits();
  FocusItem(kLayouts);
}

void TDVisuChoixEtat::ShowLimits() {
  if (owner_->LimitsMode == kLimitsModeNone) {
    SetItemText(kLimitsText, "");
    return;
  }
  SetItemText(kLimitsText, LoadStr(kLimitsLabel) + reports::LimitsDescription(owner_->LimitFrom, owner_->LimitTo));
}

void TDVisuChoixEtat::EvChildNotify(int id, unsigned code, gui::Handle control) {
  if (id == kLayouts && code == gui::LBN_DBLCLK) {
    CmOk();
    return;
  }
  // Another printer prints from its own report set.
  if (id == kPrinters && code == gui::CBN_SELCHANGE) {
    FillLayouts();
    return;
  }
  TDNuv::EvChildNotify(id, code, control);
}

void TDVisuChoixEtat::FillLayouts() {
  layouts_ = ReportLayoutLines(SetLetter(), prefix_);
  auto* list = Item<gui::ListBox>(kLayouts);
  if (list == nullptr) return;
  list->ClearList();
  for (const std::string& line : layouts_) list->AddString(ShownLayoutLine(line));
  if (!layouts_.empty()) list->SetSelIndex(0);
}

void TDVisuChoixEtat::CmLimiter() {
  if (owner_->ChoiceOptionsLevel <= 1 || owner_->LimitsMode == kLimitsModeNone) return;
  TDDefinirLimites limits(owner_);
  limits.Execute(kTaskModal);
  ShowLimits();
}

void TDVisuChoixEtat::CmSwitch() { EndDialog(print_ ? kToPreview : kToPrint); }

bool TDVisuChoixEtat::InstallPrinter() {
  if (!print_) return true;
  if (!printerChoice_) printerChoice_ = std::make_unique<PrinterChoice>();
  if (printerChoice_->Install(SecondPrinterChosen())) return true;
  const int k = SecondPrinterChosen() ? 1 : 0;
  gui::MessageBeep(0);
  gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgPrinterNotFound), Trimmed(IniGetString(kPrinterKeys[k], ""))),
                  LoadStr(kAttention), gui::MB_OK | gui::MB_ICONEXCLAMATION);
  return false;
}

void TDVisuChoixEtat::CmPrinterSetup() {
  if (!InstallPrinter()) return;
  gui::MPrinter* printer = ProgramPrinter();
  if (printer == nullptr) {
    gui::MessageBeep(0);
    return;
  }
  printer->Flags |= gui::PD_NOSELECTION | gui::PD_NOPAGENUMS | gui::PD_HIDEPRINTTOFILE;
  printer->Flags &= ~(gui::PD_RETURNDC | gui::PD_RETURNDEFAULT);
  printer->ExecPrintDialog(this, WithoutMnemonic(LoadStr(kPrinterSetupCaption)));
}

void TDVisuChoixEtat::WriteChoice(const std::string& line, int firstPage, int lastPage) {
  owner_->ReportCode = PadRight(LayoutCode(line).substr(0, kReportCodeWidth), kReportCodeWidth) + StrInt(firstPage, 4) +
                       StrInt(lastPage, 4);
  owner_->ChosenLayoutText = LayoutListType(line);
  owner_->ListTypeLetter = owner_->ChosenLayoutText.empty() ? ' ' : owner_->ChosenLayoutText[0];
}

bool TDVisuChoixEtat::CanClose() {
  auto* list = Item<gui::ListBox>(kLayouts);
  const int i = list != nullptr ? list->GetSelIndex() : -1;
  if (i < 0 || i >= static_cast<int>(layouts_.size())) {
    gui::MessageBeep(0);
    FocusItem(kLayouts);
    return false;
  }
  int first = 1, last = kLastPageDefault;
  if (owner_->ChoiceOptionsLevel != 0) {
    first = PageOf(GetItemText(kFirstPage), 1);
    last = PageOf(GetItemText(kLastPage), kLastPageDefault);
  }
  if (!InstallPrinter()) return false;
  WriteChoice(layouts_[static_cast<std::size_t>(i)], first, last);
  return true;
}

// ---------------------------------------------------------------------------------------
// The code limits

TDDefinirLimites::TDDefinirLimites(CMDIBrowse* owner) : TDNuv(owner, "definir_limites", false), owner_(owner) {}

const gui::ResponseTable& TDDefinirLimites::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&TDNuv::Table())
                                              .Command(1203, &TDDefinirLimites::CmLookupFrom)
                                              .Command(1204, &TDDefinirLimites::CmLookupTo);
  return table;
}

int TDDefinirLimites::Width() const { return std::max(owner_ != nullptr ? owner_->keyWidth : 0, 1); }

void TDDefinirLimites::SetupWindow() {
  TDNuv::SetupWindow();
  if (owner_ == nullptr) return;
  SetItemText(1210, owner_->printTitle.empty() ? owner_->GetCaption() : owner_->printTitle);
  for (int id : {1201, 1202}) {
    if (auto* e = Item<gui::Edit>(id)) e->SetTextLimit(Width());
  }
  SetItemText(1201, TrimmedRight(owner_->LimitFrom));
  SetItemText(1202, TrimmedRight(owner_->LimitTo));
  FocusItem(1201);
}

void TDDefinirLimites::Lookup(int editId) {
  std::string code = GetItemText(editId);
  TDAideFichier lookup(this, nullptr, owner_->kindLetter, Width(), &code);
  if (lookup.Execute(kTaskModal) != gui::IDOK) return;
  SetItemText(editId, TrimmedRight(code));
  FocusItem(editId);
}

bool TDDefinirLimites::CanClose() {
  const std::string from = UpperCp1252(Trimmed(GetItemText(1201))).substr(0, Width());
  const std::string to = UpperCp1252(Trimmed(GetItemText(1202))).substr(0, Width());
  // A range that ends before it begins would list nothing.
  if (!from.empty() && !to.empty() && to < from) {
    gui::MessageBeep(0);
    FocusItem(1202);
    return false;
  }
  owner_->LimitFrom = from;
  owner_->LimitTo = to;
  return true;
}
