#include "framework/edit_form.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "controls/control_env.h"
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/gui/application.h"
#include "platform/gui/cursor.h"
#include "platform/gui/custom_control.h"
#include "platform/gui/edit.h"
#include "platform/gui/menu.h"
#include "platform/gui/messagebox.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/twin_amounts.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {
// The texts shown here, by their ids in the string table.
constexpr int kMsgSaveChanges = 153;
constexpr int kCaptionAttention = 52;
constexpr int kMsgNotNegative = 22292;
constexpr int kMsgAtMostThreeDigits = 22293;

// The text of a command in the context menu: the string of the command's id plus this.
constexpr int kMenuTextOffset = 1000;

constexpr int kMinTrackWidth = 300;
constexpr int kMinTrackHeight = 150;
constexpr int kBorderAllowance = 10;  // (client width - 10) / columns
constexpr int kRowSpacing = 8;  // room above the line height in a row
constexpr int kTextLimitCap = 2000;
constexpr int kFormAccelerators = 1100;

int EntryWidth() { return EntryCharWidth > 0 ? EntryCharWidth : 7; }
int EntryHeight() { return EntryRowHeight > 0 ? EntryRowHeight : 16; }

// The smallest multiple of `unit` that is at least `need` (0 when need <= 0).
int WholeUnits(int need, int unit) {
  if (need <= 0 || unit <= 0) return 0;
  return ((need + unit - 1) / unit) * unit;
}

void SetStatusText(const std::string& text) {
  if (MessageBar != nullptr && MessageBar->IsCreated()) MessageBar->SetText(text);
}
}  // namespace

// ---- grid computations ---------------------------------------------------------

GridBox ComputeGridBox(const GridMetrics& m, int c, int r, int nc, int nr, int kind, int extra, int last) {
  const int W = m.columnWidth, H = m.rowHeight, T = m.topOffset, cw = m.charWidth, ch = m.charHeight;
  const int left0 = (c - 1) * W + 1;
  const int right0 = W * (c + nc - 1) - 1;
  const int top0 = T + 1 + (r - 1) * H;
  const int cap = W * (c + nc - 1) - left0;  // room from left0 to the end of the span
  GridBox b;
  switch (kind) {
    case grid::Fill:
      b = {left0, top0, right0, H * (r + nr - 1) - 1};
      break;
    case grid::Button:
      b.left = left0;
      b.right = right0;
      b.top = top0 + ((last == 1 && H * nr > 23) ? (H * nr - 24) / 2 : 0);
      b.bottom = b.top + 22;
      break;
    case grid::Box:
      b.left = left0;
      if (extra == 1 && W * nc >= 16) b.left = left0 + (W * nc - 16) / 2;
      else if (extra == 5 && W * nc >= 16) b.left = (c - 1) * W - 15 + W * nc;
      b.right = b.left + 14;
      b.top = top0 + ((last == 1 && H * nr > ch) ? (H * nr - ch - 1) / 2 : 0);
      b.bottom = b.top + ch - 1;
      break;
    case grid::Text: {
      const int w = extra == 0 ? cap : std::min((extra + 3) * cw, cap);
      b.left = left0 + ((last == 1 && W * nc > w) ? (W * nc - w - 1) / 2 : 0);
      b.right = b.left + w;
      b.top = top0;
      b.bottom = b.top + ch - 1;
      break;
    }
    case grid::Lines:
      b.left = left0;
      b.right = extra != 0 ? left0 + std::min((extra + 1) * cw, cap) : right0;
      b.top = T + 2 + (r - 1) * H;
      b.bottom = last != 0 ? b.top + ch * last - 1 : b.top + ch - 2;
      break;
    case grid::Label:
      b.left = left0;
      b.right = W * (c + nc - 1) - 2;
      b.top = T + 2 + (r - 1) * H;
      b.bottom = b.top + ch - 1;
      break;
    case grid::Frame:
      b.left = (c - 1) * W - 6;
      b.right = W * (c + nc - 1) + 1;
      b.top = T - 6 + (r - 1) * H;
      b.bottom = H * (r + nr - 1) + 1;
      break;
    default:
      b = {last, last, last, last};
      break;
  }
  return b;
}

GridSizing ComputeGridSizing(int clientWidth, int clientHeight, int columns, int rows, int minColumnWidth,
                             int minRowHeight) {
  GridSizing s;
  columns = std::max(columns, 1);
  rows = std::max(rows, 1);
  s.columnWidth = (clientWidth - kBorderAllowance) / columns;
  if (s.columnWidth < minColumnWidth) {
    s.columnWidth = minColumnWidth;
    s.hRange = WholeUnits(minColumnWidth * columns - clientWidth, minColumnWidth);
  }
  // A row is one line high whatever the window's height: a taller window
  // leaves empty room at the bottom instead of spreading the rows apart.
  s.rowHeight = std::min(clientHeight / rows, minRowHeight + kRowSpacing);
  if (s.rowHeight < minRowHeight) {
    s.rowHeight = minRowHeight;
    s.vRange = WholeUnits(minRowHeight * rows - clientHeight, minRowHeight);
  }
  return s;
}

std::optional<std::string> ConvertAmountText(const std::string& source, double rate, bool inverse) {
  if (!(rate > 0.0) || !std::isfinite(rate)) return std::nullopt;
  const double value = Val(source.c_str());
  const double converted = Round(2, inverse ? value / rate : value * rate);
  // A twin its field cannot hold is left blank, never shown as asterisks or cut: the typed amount is refused.
  if (converted == 0.0 || !(std::fabs(converted) < 1e13) || !StoredAmountHolds(ToCents(converted)))
    return std::string();
  return AmountDigits(converted);
}

// ---- construction ----------------------------------------------------------------

CMDIModif::CMDIModif(gui::MDIClient* client, const std::string& title, int gridColumns, int gridRows, int ownSlot,
                     int ownSlotLength, int partnerSlot)
    : gui::MDIChild(client, title) {
  SetMaximizeBox(false);  // a form keeps its size; a maximised one is restored on focus
  HelpContext() = 85;
  CurrentHelpContext = 85;
  ContextCommands = {3, form_cmd::Quitter, form_cmd::Enregistrer, form_cmd::Texte};
  GridColumns = std::max(gridColumns, 1);
  GridRows = std::max(gridRows, 1);
  OwnSlot = ownSlot;
  OwnSlotLength = ownSlotLength;
  PartnerSlot = partnerSlot;
  if (OwnSlot > 0) SetRegistryText(OwnSlot, 1, "1");
  MinColumnWidth = 8 * EntryWidth();
  MinRowHeight = EntryHeight() + 2;
  ColumnWidth = MinColumnWidth;
  RowHeight = MinRowHeight;
  BackgroundWindow = new MWindow(this);
  SetMinimumSize(kMinTrackWidth, kMinTrackHeight);
  // The forms' keys (Ctrl+Q, Ctrl+E, Ctrl+T, the edit keys) before the frame's.
  SetAccelerators(kFormAccelerators);
}

CMDIModif::~CMDIModif() {
  CloseRegisteredWindow(RegisteredName.c_str());
  OwnedArray.reset();
  if (OwnSlot > 0 && OwnSlotLength > 0) SetRegistryText(OwnSlot, OwnSlotLength, "");
  SetStatusText("");
  if (PartnerSlot > 0 && RegistryChar(PartnerSlot) == '1') {
    if (gui::Window* list = gui::Window::FromHandle(SlotHandle(PartnerSlot))) list->BringToTop();
  }
}

const gui::ResponseTable& CMDIModif::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&gui::MDIChild::Table())
                                              .Command(form_cmd::Enregistrer, &CMDIModif::CmEnregistrer)
                                              .Command(form_cmd::Quitter, &CMDIModif::CmQuitter)
                                              .Enable(form_cmd::Quitter, &CMDIModif::CeQuitter);
  return table;
}

void CMDIModif::SetupWindow() {
  gui::SetNamedCursor("C03");
  gui::MDIChild::SetupWindow();
  if (OwnSlot > 0) SetRegistryText(OwnSlot + 1, 10, StrNum10(GetHandle()));
  gui::SetArrowCursor();
}

// ---- close and save ---------------------------------------------------------------

bool CMDIModif::CanClose() {
  if (ClosingFlag || PrintRunFlag) return false;
  // A form closed while minimised (the program's end among them) is brought back first, so that
  // what it asks or refuses is seen.
  if (IsIconic()) Show(gui::SW_RESTORE);
  if (NoCheckFlag) return true;
  if (AskOnClose) {
    const int answer = AskSaveChanges();
    if (answer == gui::IDCANCEL) return false;
    if (answer == gui::IDNO) return true;
  }
  const int check = Check();
  if (check == kCheckInvalid) {
    BringToTop();
    return false;
  }
  if (check == kCheckSave && !Save()) {
    // The write failed (its own message was shown): keep what was typed.
    BringToTop();
    return false;
  }
  return true;
}

int CMDIModif::AskSaveChanges() {
  if (!IsModified()) return gui::IDYES;
  ActivateWindowHandle(0);
  gui::MessageBeep(0);
  return gui::MessageBox(this, LoadStr(kMsgSaveChanges), LoadStr(kCaptionAttention),
                         gui::MB_YESNOCANCEL | gui::MB_ICONQUESTION);
}

void CMDIModif::CmEnregistrer() {
  if (ClosingFlag) return;
  if (Check() == kCheckInvalid) {
    BringToTop();
    return;
  }
  AskOnClose = false;
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

void CMDIModif::CmQuitter() {
  if (ClosingFlag) return;
  NoCheckFlag = true;
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

void CMDIModif::CeQuitter(gui::CommandEnabler& ce) { ce.Enable(!ClosingFlag && !PrintRunFlag && !IsIconic()); }

void CMDIModif::CeEnregistrer(gui::CommandEnabler& ce) {
  ce.Enable(!ClosingFlag && !PrintRunFlag && !IsIconic() && IsModified());
}

// ---- context menu ------------------------------------------------------------------

std::vector<unsigned> CMDIModif::ContextMenuIds() const {
  std::vector<unsigned> ids;
  auto separator = [&ids] {
    if (!ids.empty() && ids.back() != 0) ids.push_back(0);
  };
  const std::size_t n =
      ContextCommands.empty() ? 0 : std::min<std::size_t>(ContextCommands[0], ContextCommands.size() - 1);
  for (std::size_t i = 1; i <= n; ++i) {
    const unsigned id = ContextCommands[i];
    if (i == 2) separator();
    if (id < child_command::FirstToolbarButton) separator();
    else if (id % 2 == 1) ids.push_back(id);
  }
  separator();
  ids.push_back(form_cmd::Visualiser);
  ids.push_back(form_cmd::Imprimer);
  return ids;
}

void CMDIModif::EvRButtonDown(unsigned, gui::Point p) {
  if (ClosingFlag) return;
  gui::Menu menu;
  for (unsigned id : ContextMenuIds()) {
    if (id == 0) menu.InsertSeparator(-1);
    else menu.InsertItem(-1, id, LoadStr(static_cast<int>(id) + kMenuTextOffset));
  }
  menu.TrackPopupMenu(*this, p);
}

// ---- focus and sizing ---------------------------------------------------------------

void CMDIModif::EvSetFocus(gui::Handle lost) {
  gui::MDIChild::EvSetFocus(lost);
  if (IsIconic()) return;
  if (IsZoomed()) Show(gui::SW_RESTORE);
  if (OwnSlot > 0) SetRegistryText(OwnSlot, 1, "1");
  SetStatusText("");
  BuildToolbar(ContextCommands, true);
}

void CMDIModif::EvSize(int sizeType, int width, int height) {
  gui::MDIChild::EvSize(sizeType, width, height);
  if (PrintRunFlag || sizeType == gui::SIZE_MINIMIZED || IsIconic()) return;
  ClientRect = GetClientRect();
  const GridSizing s =
      ComputeGridSizing(ClientRect.w, ClientRect.h, GridColumns, GridRows, MinColumnWidth, MinRowHeight);
  ColumnWidth = s.columnWidth;
  RowHeight = s.rowHeight;
  if (s.hRange != hRange_ || s.vRange != vRange_) {
    hRange_ = s.hRange;
    vRange_ = s.vRange;
    scrollX_ = scrollY_ = 0;
  }
  scrollX_ = std::min(scrollX_, hRange_);
  scrollY_ = std::min(scrollY_, vRange_);
  // The bars show while the grid is larger than the window (showing one
  // narrows the client area, and the sizing runs again).
  SetScrollRange(false, 0, hRange_, std::max(1, ClientRect.w));
  SetScrollRange(true, 0, vRange_, std::max(1, ClientRect.h));
  SetScrollPos(false, scrollX_);
  SetScrollPos(true, scrollY_);
  PlaceBackground();
  ArrangeControls();
}

void CMDIModif::PlaceBackground() {
  if (BackgroundWindow == nullptr || !BackgroundWindow->IsCreated()) return;
  BackgroundWindow->MoveWindow(gui::Rect{-scrollX_, -scrollY_, std::max(ClientRect.w, MinColumnWidth * GridColumns),
                                         std::max(ClientRect.h, MinRowHeight * GridRows)});
}

std::intptr_t CMDIModif::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == gui::WM_HSCROLL || msg == gui::WM_VSCROLL) {
    Scroll(msg == gui::WM_VSCROLL, static_cast<int>(wParam & 0xFFFF), static_cast<int>((wParam >> 16) & 0xFFFF));
    return 0;
  }
  if (msg == gui::WM_COMMAND && lParam != 0) {
    const unsigned code = static_cast<unsigned>((wParam >> 16) & 0xFFFF);
    if (code != gui::BN_CLICKED) {
      EvNotify(static_cast<int>(wParam & 0xFFFF), code);
      return 0;
    }
  }
  return gui::MDIChild::WindowProc(msg, wParam, lParam);
}

void CMDIModif::Scroll(bool vertical, int code, int pos) {
  int& at = vertical ? scrollY_ : scrollX_;
  const int range = vertical ? vRange_ : hRange_;
  const int line = vertical ? MinRowHeight : MinColumnWidth;
  int next = at;
  switch (code) {
    case gui::SB_LINEUP: next -= line; break;
    case gui::SB_LINEDOWN: next += line; break;
    case gui::SB_PAGEUP: next -= 4 * line; break;
    case gui::SB_PAGEDOWN: next += 4 * line; break;
    case gui::SB_THUMBPOSITION:
    case gui::SB_THUMBTRACK: next = pos; break;
    case gui::SB_TOP: next = 0; break;
    case gui::SB_BOTTOM: next = range; break;
    default: return;
  }
  next = std::clamp(next, 0, range);
  if (next == at) return;
  at = next;
  SetScrollPos(vertical, at);
  PlaceBackground();
  ArrangeControls();
}

GridMetrics CMDIModif::Metrics() const {
  return GridMetrics{ColumnWidth, RowHeight, TopOffset, EntryWidth(), EntryHeight()};
}

int CMDIModif::RoomBelowGrid() const { return std::max(0, ClientRect.h - TopOffset - GridRows * RowHeight); }

void CMDIModif::MoveFormControls(gui::Window* window, int c, int r, int nc, int nr, int kind, int extra, int last) {
  if (window == nullptr) return;
  const GridBox b = ComputeGridBox(Metrics(), c, r, nc, nr, kind, extra, last);
  window->MoveWindow(gui::Rect{b.left + 5 - scrollX_, b.top - scrollY_, b.right - b.left + 1, b.bottom - b.top + 1});
}

void CMDIModif::PlaceAfter(gui::Window* control, gui::Window* edit) {
  if (control == nullptr || edit == nullptr) return;
  const gui::Rect e = edit->GetWindowRect();
  gui::Rect b = control->GetWindowRect();
  b.x = e.Right() + 5;
  b.y = e.y;
  control->MoveWindow(b);
}

// ---- operations for the forms ---------------------------------------------------------

void CMDIModif::ActivateWindowHandle(gui::Handle handle) {
  if (handle != 0) {
    gui::Window* w = gui::Window::FromHandle(handle);
    if (w == nullptr) return;
    if (w->IsIconic()) w->Show(gui::SW_RESTORE);
    w->BringToTop();
    w->EnableWindow(true);
    w->SetFocus();
    return;
  }
  bool childFocused = false;
  for (gui::Window* child : Children())
    if (child->HasFocus()) childFocused = true;
  if (!childFocused) {
    if (IsIconic()) Show(gui::SW_RESTORE);
    BringToTop();
    EnableWindow(true);
    SetFocus();
  }
}

void CMDIModif::SetControlsOwner(gui::Window* c1, gui::Window* c2, gui::Window* c3, gui::Window* c4,
                                 gui::Window* c5, gui::Window* c6, gui::Window* c7, gui::Window* c8,
                                 gui::Window* c9, gui::Window* c10) {
  for (gui::Window* w : {c1, c2, c3, c4, c5, c6, c7, c8, c9, c10}) {
    if (w == nullptr) continue;
    if (auto* e = dynamic_cast<MEdit*>(w)) e->SetNotifyWindow(this);
    else if (auto* b = dynamic_cast<MCheckBox*>(w)) b->Keys().notify = this;
    else if (auto* cb = dynamic_cast<MComboBox*>(w)) cb->Keys().notify = this;
    else if (auto* l = dynamic_cast<MListBox*>(w)) l->Keys().notify = this;
    else if (auto* rb = dynamic_cast<MRadioButton*>(w)) rb->Keys().notify = this;
    else if (auto* bt = dynamic_cast<MButton*>(w)) bt->Keys().notify = this;
  }
}

void CMDIModif::RefreshPartnerList(const std::string& code, int width) {
  if (PartnerSlot <= 0 || RegistryChar(PartnerSlot) != '1') return;
  const gui::Handle list = SlotHandle(PartnerSlot);
  if (!IsBlank(code)) {
    const int w = width > 0 ? width : KeyWidth;
    // w blanks then the code: the list reads the width it knows.
    SetRegistryText(PartnerSlot + 11, w, "");
    SetRegistryText(PartnerSlot + 11, w, code);
    gui::SendCommand(list, form_cmd::ListRefreshCode);
  } else {
    gui::SendCommand(list, form_cmd::ListRefreshAll);
  }
}

void CMDIModif::OpenRecordTextFromForm(const std::string& t1, const std::string& t2, const std::string& t3) {
  const std::string name = t1 + t2 + t3;
  const int answer = SwitchRegisteredWindow(name.c_str(), static_cast<int>(name.size()));
  if (answer == 0) return;  // shown already
  if (answer == 1) {
    // Another record's text window is closing: ask again once it is gone.
    gui::PostCommand(GetHandle(), form_cmd::Texte);
    return;
  }
  if (RegistryChar(kRegistryRecordTextState) != ' ' && RegistryChar(kRegistryRecordTextState) != 0) return;
  SetRegistryText(kRegistryRecordTextState, 1, "2");
  SetRegistryText(kRegistryRecordTextKey, static_cast<int>(name.size()), name);
  gui::SendCommand(static_cast<gui::Handle>(SessionInt(1)), command_id::DonneesTexte);
}

bool CMDIModif::CheckAmountDigits(gui::Edit& edit) {
  const std::string text = edit.GetText();
  if (IsBlank(text)) return false;
  const double value = Val(text.c_str());
  std::string message;
  if (value < 0) message = LoadStr(kMsgNotNegative);
  else if (value >= 1000) message = LoadStr(kMsgAtMostThreeDigits);
  else return false;
  gui::MessageBeep(0);
  gui::MessageBox(this, message, LoadStr(kCaptionAttention), gui::MB_OK | gui::MB_ICONSTOP);
  edit.SetFocus();
  edit.SetSelection(0, -1);
  return true;
}

namespace {
void PutConverted(gui::Edit& target, std::string text) {
  // The window layer's limit counts characters (no terminator).
  const int limit = target.GetTextLimit();
  if (limit > 0 && limit < kTextLimitCap && static_cast<int>(text.size()) > limit)
    text.resize(static_cast<std::size_t>(limit));
  target.SetText(text);
}
double DossierRate() { return Val(TheDossierRecord.Get(DossierRecord::kParityPos, DossierRecord::kParityWidth).c_str()); }
}  // namespace

void CMDIModif::ConvertAmountByRate(gui::Edit& source, gui::Edit& target) {
  if (auto text = ConvertAmountText(source.GetText(), DossierRate(), false)) PutConverted(target, *text);
}

void CMDIModif::ConvertAmountByInverseRate(gui::Edit& source, gui::Edit& target) {
  if (auto text = ConvertAmountText(source.GetText(), DossierRate(), true)) PutConverted(target, *text);
}

// ---- record lock ---------------------------------------------------------------------

bool CMDIModif::LockFormRecord(::Table& table, int formKind, int textFields) {
  if (formKind < 0 || formKind >= kFormRecordLockCount || !table.isOpen || table.recordNumber == 0) return false;
  const std::string text = textFields > 0 ? std::string(table.RecordToText(textFields)) : std::string();
  if (!LockRecord(table, text.c_str(), 0)) return false;
  FormRecordLocks[static_cast<std::size_t>(formKind)] = table.recordNumber;
  return true;
}

void CMDIModif::UnlockFormRecord(::Table& table, int formKind) {
  if (formKind < 0 || formKind >= kFormRecordLockCount) return;
  std::uint32_t& held = FormRecordLocks[static_cast<std::size_t>(formKind)];
  if (held == 0) return;
  if (table.isOpen && table.recordNumber != held) table.GoToRecord(static_cast<long>(held));
  if (table.isOpen && table.recordNumber == held) UnlockRecord(table);
  held = 0;
}
