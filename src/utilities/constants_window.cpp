#include "utilities/constants_window.h"

#include <algorithm>
#include <cstdlib>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/constants_check.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "utilities/list_placement.h"
#include "utilities/core/dossier_constants.h"

namespace {

constexpr int kRights = 31;  // "Constantes du dossier"
constexpr int kIcon = 1004;
constexpr int kCount = DossierRecord::kConstantCount;
constexpr int kTitleWidth = 56;
constexpr int kAnalyticOrderConstant = 32;  // shapes the analytic sort key C60ANAL
constexpr const char* kKind = "X";

// The texts shown here, by their ids in the string table.
constexpr int kMsgValueRefused = 22360;    // the constant's number, then why, at %s
constexpr int kMsgPossibleValues = 22361;  // the values, one blank between them
constexpr int kMsgNumberRange = 22362;     // the lowest and the highest value
constexpr int kTitleFreeConstant = 22364;
constexpr int kLabelDefaultValue = 22365;
constexpr int kColumnNumber = 22366;
constexpr int kColumnTitle = 22509;
constexpr int kMsgConstantNotSaved = 22367;
constexpr int kMsgRebuildForAnalyticOrder = 22369;
constexpr int kCaptionAttention = 52;

std::string Number3(int n) { return StrZero(n, 3); }

// The help as lines: ";" separates them.
std::string HelpLines(const char* help) {
  std::string text = help != nullptr ? help : "";
  for (char& c : text)
    if (c == ';') c = '\n';
  return text;
}

std::string RefusedText(const ConstantDefinition& d) {
  std::string why;
  const std::vector<std::string> values = ConstantValueButtons(d);
  if (d.kind == ConstantKind::List && !values.empty()) {
    std::string list;
    for (std::size_t i = 0; i < values.size(); ++i) list += (i == 0 ? "" : " ") + values[i];
    why = FillPlaceholder(LoadStr(kMsgPossibleValues), list);
  } else if (d.kind == ConstantKind::Number) {
    why = FillPlaceholders(LoadStr(kMsgNumberRange), {std::to_string(d.low), std::to_string(d.high)});
  } else {
    why = HelpLines(d.help);
  }
  return FillPlaceholders(LoadStr(kMsgValueRefused), {Number3(d.number), why});
}

}  // namespace

// ---- the dialog ---------------------------------------------------------------------------------------------------

TDUtiConstante::TDUtiConstante(gui::Window* parent, const ConstantDefinition& definition, const std::string& value)
    : TDNuv(parent, "UTI_CONSTANTE", false), definition_(definition), value_(value) {
  new MRStatic(kOnTemplate, this, kTitle);
  new MStatic(kOnTemplate, this, kHelp);
  new MStatic(kOnTemplate, this, 1203);
  new MStatic(kOnTemplate, this, kNote);
  new MEdit(kOnTemplate, this, kValue, 3, 1, false, MEdit::kText, 0);
  for (int i = 0; i < kButtons; ++i) new MButton(kOnTemplate, this, kFirstButton + i);
  new MButton(kOnTemplate, this, gui::IDOK);
  new MButton(kOnTemplate, this, gui::IDCANCEL);
}

const gui::ResponseTable& TDUtiConstante::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&gui::Dialog::Table());
  return table;
}

void TDUtiConstante::SetupWindow() {
  TDNuv::SetupWindow();
  SetCaption(std::string(CodeLabelForType(kKind)) + Number3(definition_.number));
  const std::string title =
      definition_.title[0] != '\0' ? std::string(definition_.title) : std::string(LoadStr(kTitleFreeConstant));
  SetItemText(kTitle, Number3(definition_.number) + " - " + title);
  if (auto* t = Item<MRStatic>(kTitle)) t->DrawFrame();
  SetItemText(kHelp, HelpLines(definition_.help));
  const std::vector<std::string> values = ConstantValueButtons(definition_);
  for (int i = 0; i < kButtons; ++i) {
    const bool used = i < static_cast<int>(values.size());
    if (used) SetItemText(kFirstButton + i, values[static_cast<std::size_t>(i)]);
    ShowItem(kFirstButton + i, used);
  }
  SetItemText(kNote, IsBlank(definition_.defaultValue)
                         ? std::string()
                         : FillPlaceholder(LoadStr(kLabelDefaultValue), definition_.defaultValue));
  if (auto* e = Item<MEdit>(kValue)) {
    e->SetValue(RTrim(value_.c_str()), true);
    e->FocusSelect(true);
  }
}

int TDUtiConstante::ButtonOf(const std::string& value) const {
  const std::vector<std::string> values = ConstantValueButtons(definition_);
  for (std::size_t i = 0; i < values.size() && i < static_cast<std::size_t>(kButtons); ++i)
    if (values[i] == value) return kFirstButton + static_cast<int>(i);
  return 0;
}

void TDUtiConstante::EvChildNotify(int id, unsigned code, gui::Handle control) {
  if (code == gui::BN_CLICKED && id >= kFirstButton && id < kFirstButton + kButtons) {
    const std::vector<std::string> values = ConstantValueButtons(definition_);
    const std::size_t i = static_cast<std::size_t>(id - kFirstButton);
    if (i < values.size()) {
      SetItemText(kValue, values[i]);
      if (auto* e = Item<MEdit>(kValue)) e->FocusSelect(true);
    }
    return;
  }
  TDNuv::EvChildNotify(id, code, control);
}

void TDUtiConstante::CmOk() {
  const std::string typed = GetItemText(kValue);
  if (!ConstantValueAccepted(definition_, typed)) {
    gui::MessageBeep(0);
    gui::MessageBox(this, RefusedText(definition_), std::string(CodeLabelForType(kKind)) + Number3(definition_.number),
                    gui::MB_OK | gui::MB_ICONSTOP);
    if (auto* e = Item<MEdit>(kValue)) e->FocusSelect(true);
    return;
  }
  value_ = typed.substr(0, 3);
  value_.resize(3, ' ');
  TDNuv::CmOk();
}

// ---- the list -----------------------------------------------------------------------------------------------------

TWUtiBroConstantes::TWUtiBroConstantes(gui::MDIClient* parent)
    : CMDIBrowse(parent, FileTitleForType(kKind), &Columns(), kConstantsListSlot, kConstantsListSlotLength, 0) {
  keyWidth = 3;
  rightsFunction = kRights;
  kindLetter = kKind;
  listName = "TWUtiBroConstantes";
  toolbarCommands = {2, browse_cmd::Quitter, browse_cmd::Modifier};
  // One row per constant of the catalogue.
  Store().totalRows = static_cast<long>(std::min<std::size_t>(ConstantCatalog().size(), kCount));
  GetTable(0)->OpenShared(PathC10(), "C10CODE");
}

const BrowseColumnTable& TWUtiBroConstantes::Columns() {
  static const BrowseColumnTable columns = [] {
    BrowseColumnTable c = MakeColumnTable(4, 2);
    DefineColumn(c, 1, 2, "", 'C', 'C', 0, 1, 1);
    DefineColumn(c, 2, 5, LoadStr(kColumnNumber), 'C', 'C', 1, 0, 3);
    DefineColumn(c, 3, kTitleWidth + 1, LoadStr(kColumnTitle), 'C', 'G', 2, 0, kTitleWidth);
    DefineColumn(c, 4, 6, "Valeur", 'C', 'G', 3, 0, 3);
    return c;
  }();
  return columns;
}

void TWUtiBroConstantes::SetupWindow() {
  CMDIBrowse::SetupWindow();
  if (Store().selected == 0) Store().selected = 1;
}

bool TWUtiBroConstantes::HasCurrentRecord(::Table*) { return current_ >= 0 && current_ < kCount; }

void TWUtiBroConstantes::Row(BrowseRows& rows, int i, int n) {
  current_ = n;
  BuildRowText(rows, i, n + 1, false);
}

void TWUtiBroConstantes::ReloadRow(BrowseRows& rows, int i, long recno) {
  if (recno >= 1 && recno <= kCount) Row(rows, i, static_cast<int>(recno - 1));
}

void TWUtiBroConstantes::FillRowsForward(BrowseRows& rows, int first, int count, long recno) {
  int n = recno != 0 ? static_cast<int>(recno) : current_;
  for (int i = first; i < first + count && i < static_cast<int>(rows.size()); ++i, ++n) {
    if (n < 0 || n >= kCount) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    Row(rows, i, n);
  }
  current_ = n;
}

void TWUtiBroConstantes::FillRowsFromFirst(BrowseRows& rows, int first, int count) {
  current_ = 0;
  FillRowsForward(rows, first, count, 0);
}

void TWUtiBroConstantes::FillRowsFromLast(BrowseRows& rows, int last, int count) {
  if (kCount < count) return FillRowsFromFirst(rows, last - count + 1, count);
  int n = kCount - 1;
  for (int i = last; i > last - count; --i, --n)
    if (i >= 0 && i < static_cast<int>(rows.size())) Row(rows, i, n);
}

std::string TWUtiBroConstantes::GetCellText(int field, std::uint32_t, std::uint32_t width, int) {
  std::string text;
  const ConstantDefinition* d = FindConstantDefinition(current_);
  if (field == 1) text = Number3(current_);
  else if (field == 2 && d != nullptr) text = d->title;
  else if (field == 3) text = TheDossierRecord.Constant(current_);
  text.resize(width, ' ');
  return text;
}

void TWUtiBroConstantes::PositionOnRecord(long recno, int) { current_ = static_cast<int>(recno - 1); }

void TWUtiBroConstantes::SkipRecords(long count) {
  const long n = current_ + count;
  current_ = n < 0 ? -1 : (n >= kCount ? kCount : static_cast<int>(n));
}

bool TWUtiBroConstantes::SeekTypedKey(char c) {
  // Digits find the constant of that number.
  if (c < '0' || c > '9') return CMDIBrowse::SeekTypedKey(c);
  const std::string typed = TypeAheadChar(c);
  const int n = std::atoi(typed.c_str());
  if (n < 0 || n >= kCount) {
    gui::MessageBeep(0);
    ClearTypeAhead();
    return false;
  }
  // The page is brought from the constant itself, its row selected.
  current_ = n;
  SelectRow(n + 1, 1);
  return true;
}

const gui::ResponseTable& TWUtiBroConstantes::Table() {
  using namespace browse_cmd;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIBrowse::Table())
                                              .Command(Modifier, &TWUtiBroConstantes::CmModifier)
                                              .Enable(Nouveau, &TWUtiBroConstantes::CeNever)
                                              .Enable(Annuler, &TWUtiBroConstantes::CeNever)
                                              .Enable(Reactiver, &TWUtiBroConstantes::CeNever)
                                              .Enable(Texte, &TWUtiBroConstantes::CeNever);
  return table;
}

void TWUtiBroConstantes::CmModifier() {
  if (Busy() || !HasAccessRight(rightsFunction, 3)) return;
  const int i = GetSelectedRowIndex();
  const long recno = i == 0 ? 0 : Store().RecordNumberOf(i - 1);
  const ConstantDefinition* d = FindConstantDefinition(static_cast<int>(recno - 1));
  if (d == nullptr) {
    gui::MessageBeep(0);
    return;
  }
  TDUtiConstante dialog(this, *d, TheDossierRecord.Constant(d->number));
  if (dialog.Execute(kTaskModal) != gui::IDOK) return;
  if (dialog.Value() == TheDossierRecord.Constant(d->number)) return;
  SaveConstant(d->number, dialog.Value());
}

bool TWUtiBroConstantes::SaveConstant(int n, const std::string& value) {
  const std::string before = TheDossierRecord.Constant(n);
  const settings::SaveOutcome outcome = settings::SaveDossierConstant(*GetTable(0), n, value);
  if (outcome != settings::SaveOutcome::Saved) {
    // A hold another station keeps was told by the lock's own notice.
    if (outcome != settings::SaveOutcome::LockRefused) {
      gui::MessageBeep(0);
      gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgConstantNotSaved), Number3(n)), LoadStr(kCaptionAttention),
                      gui::MB_OK | gui::MB_ICONSTOP);
    }
    return false;
  }
  for (int i = 0; i < Store().rowsPerPage; ++i)
    if (Store().RecordNumberOf(i) == n + 1) {
      ReloadRow(Store().rows, i, n + 1);
      RepaintRow(i + 1);
    }
  // The analytic sort key of the sort file is built by this constant: the dossier's indexes follow it only once
  // rebuilt.
  if (n == kAnalyticOrderConstant && before.substr(0, 1) != value.substr(0, 1)) {
    gui::MessageBeep(0);
    gui::MessageBox(this, LoadStr(kMsgRebuildForAnalyticOrder), LoadStr(kCaptionAttention),
                    gui::MB_OK | gui::MB_ICONINFORMATION);
  }
  return true;
}

// Core: SaveDossierConstant.
void CmConstantesDossier() {
  if (ActivateExistingChild(kConstantsListSlot) || CommandWindow == nullptr) return;
  auto* list = new TWUtiBroConstantes(CommandWindow);
  SetChildIcon(*list, kIcon);
  PlaceUtilityList(*list);
  if (!list->Create()) {
    if (list->IsCreated()) list->Destroy();
    else delete list;
    return;
  }
  list->Show(gui::SW_SHOWNORMAL);
}
