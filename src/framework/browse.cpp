#include "framework/browse.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <utility>

#include "controls/control_env.h"
#include "data/table.h"
#include "framework/lookup_registry.h"
#include "platform/gui/application.h"
#include "platform/gui/cursor.h"
#include "platform/gui/keyboard.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/graphics.h"
#include "shell/toolbar.h"

long PendingRowCount = 0;
std::string BrowseSearchText;

namespace {
// The texts shown here, by their ids in the string table.
constexpr int kLayoutSections = 42;
constexpr int kDoubleBufferDefault = 1093;
constexpr int kCursorBusy = 514;
constexpr int kUnknownCell = 38;
constexpr int kRowCountSuffix = 102;
constexpr int kVersionText = 34;

constexpr int kScrollBarSize = 16;  // the view's bars (see CustomControl)
constexpr int kDossierRefreshConstant = 25;
const char* const kSectionScroll = "BrowseScroll";
const char* const kSectionColumns = "BrowseColonnes";

// Sections of the saved layout: characters 1-12 and 13-26 of string 42.
std::string SectionName(bool columns) {
  std::string s = LoadStr(kLayoutSections);
  if (s.size() < 26) return columns ? kSectionColumns : kSectionScroll;
  return columns ? s.substr(12, 14) : s.substr(0, 12);
}

int RowHeight() { return CMDIBrowse::RowHeightPixels(); }
int CharWidth() { return CMDIBrowse::CharWidthPixels(); }

unsigned long long ParseHandle(const std::string& text) {
  unsigned long long v = 0;
  for (char c : text) {
    if (c == ' ') continue;
    if (c < '0' || c > '9') return 0;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  return v;
}
}  // namespace

int CMDIBrowse::RowHeightPixels() { return TableRowHeight > 0 ? TableRowHeight : 16; }
int CMDIBrowse::CharWidthPixels() { return TableCharWidth > 0 ? TableCharWidth : 7; }

int BrowseRefreshInterval() {
  const std::string c = TheDossierRecord.Constant(kDossierRefreshConstant);
  int v = 0;
  for (char ch : c) {
    if (ch == ' ') continue;
    if (ch < '0' || ch > '9') return 0;
    v = v * 10 + (ch - '0');
  }
  return std::min(v, kBrowseMaxRefreshSeconds);
}

// ---- construction -----------------------------------------------------------

CMDIBrowse::CMDIBrowse(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns,
                       int ownSlotArg, int slotLengthArg, int partnerSlotArg)
    : gui::MDIChild(parent, title) {
  for (auto& t : tables_) t = std::make_unique<::Table>();
  const std::string db = IniGetString("Double-Buffer", LoadStr(kDoubleBufferDefault));
  doubleBuffer = !db.empty() && std::toupper(static_cast<unsigned char>(db[0])) == 'O';
  helpContext = 85;
  ownSlot = ownSlotArg;
  slotLength = slotLengthArg;
  partnerSlot = partnerSlotArg;
  if (ownSlot > 0) SetRegistryText(ownSlot, 1, "1");
  columns_ = columns != nullptr ? *columns : MakeColumnTable(0);
  PrepareColumnTable(columns_);
  declaredColumns_ = columns_;
  toolbarCommands = {7,
                     child_command::Quitter,
                     child_command::Modifier,
                     child_command::Annuler,
                     child_command::Reactiver,
                     child_command::Nouveau,
                     child_command::RenvoyerCode,
                     child_command::Texte};
  refreshInterval = BrowseRefreshInterval();
  store_.Clear();
  view_ = new BrowseView(this);
  SetMinimumSize(300, 300);
}

CMDIBrowse::~CMDIBrowse() {
  SaveLayout();
  // The slot is free again, unless another window of the kind took it.
  if (ownSlot > 0 && slotLength > 0) {
    const unsigned long long held = ParseRegistryHandle(RegistryText(ownSlot + 1, 10));
    if (held == 0 || held == GetHandle() || !gui::IsWindow(static_cast<gui::Handle>(held)))
      SetRegistryText(ownSlot, slotLength, "");
  }
  if (HasTimer(kBrowseRefreshTimer)) KillTimer(kBrowseRefreshTimer);
  if (MessageBar != nullptr) MessageBar->SetText("");
}

void CMDIBrowse::CleanupWindow() {
  for (auto& table : tables_)
    if (table) table->CloseTable(true);
  gui::MDIChild::CleanupWindow();
}

void CMDIBrowse::SetupWindow() {
  gui::SetNamedCursor(LoadStr(kCursorBusy));
  gui::MDIChild::SetupWindow();
  if (HasColumns() && refreshInterval > 0) SetTimer(kBrowseRefreshTimer, static_cast<unsigned>(refreshInterval) * 1000u);
  typeAhead_.clear();
  ReadSavedLayout();
  if (ownSlot > 0) {
    SetRegistryText(ownSlot + 1, 10, StrNum10(static_cast<std::uint32_t>(GetHandle())));
    if (keyWidth > 0 && !IsBlank(RegistryText(ownSlot + 11, keyWidth)))
      gui::PostCommand(GetHandle(), browse_cmd::ReCaler);
  }
  gui::SetArrowCursor();
}

void CMDIBrowse::ReadSavedLayout() {
  if (!HasColumns() || listName.empty()) return;
  const std::string value = IniGetSectionString(SectionName(true).c_str(), listName.c_str(), "");
  BrowseColumnTable t = declaredColumns_;
  if (ApplySavedLayout(t, value.substr(0, kLayoutValueRoom))) columns_ = std::move(t);
}

void CMDIBrowse::SaveLayout() {
  if (listName.empty()) return;
  const std::string columns = SectionName(true), scroll = SectionName(false);
  if (!keepLayout) {
    IniSetSectionString(columns.c_str(), listName.c_str(), "");
    IniSetSectionString(scroll.c_str(), listName.c_str(), "");
  } else {
    if (HasColumns()) IniSetSectionString(columns.c_str(), listName.c_str(), FormatSavedLayout(columns_).c_str());
    if (sized_) {
      std::string v = StrZero(store_.hRange, 6);
      v += StrZero(store_.hPos, 6);
      IniSetSectionString(scroll.c_str(), listName.c_str(), v.c_str());
    }
  }
  if (!DossierIniPath().empty()) DossierIniSet("Browse", "", "");
}

bool CMDIBrowse::ReadyToClose() {
  if (PrintRunFlag) return false;
  // A list closed while minimised (the program's end among them) is brought back first, so that what
  // it asks or refuses is seen.
  if (IsIconic()) Show(gui::SW_RESTORE);
  return true;
}

bool CMDIBrowse::CanClose() { return ReadyToClose() && gui::MDIChild::CanClose(); }

namespace {
// Commands of lists running now (a search reads the keys while it runs): an Escape pressed then is the
// search's, not a wish to leave the list. Counted for every list, as a list may be gone when its command ends.
int g_listCommandsRunning = 0;
}  // namespace

bool CMDIBrowse::EvCommand(unsigned id) {
  struct Running {
    Running() { ++g_listCommandsRunning; }
    ~Running() { --g_listCommandsRunning; }
  } running;
  return gui::MDIChild::EvCommand(id);
}

std::intptr_t CMDIBrowse::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == gui::WM_VSCROLL || msg == gui::WM_HSCROLL) {
    const int code = static_cast<int>(wParam & 0xFFFF);
    const int pos = static_cast<int>((wParam >> 16) & 0xFFFF);
    if (msg == gui::WM_VSCROLL) EvVScroll(code, pos);
    else EvHScroll(code, pos);
    return 0;
  }
  return gui::MDIChild::WindowProc(msg, wParam, lParam);
}

bool CMDIBrowse::Busy() const { return PrintRunFlag || IsIconic(); }

gui::Rect CMDIBrowse::ClientArea() const {
  if (view_ == nullptr || !view_->IsCreated()) return {};
  gui::Rect r = view_->GetClientRect();
  r.w = std::max(0, r.w - kScrollBarSize);
  r.h = std::max(0, r.h - kScrollBarSize);
  return r;
}

// ---- rows --------------------------------------------------------------------

std::string CMDIBrowse::GetCellText(int, std::uint32_t, std::uint32_t, int) { return LoadStr(kUnknownCell); }

void CMDIBrowse::BuildRowText(BrowseRows& rows, int i, long recno, bool flagged) {
  if (i < 0) return;
  if (static_cast<std::size_t>(i) >= rows.size()) rows.resize(static_cast<std::size_t>(i) + 1);
  std::string& row = rows[static_cast<std::size_t>(i)];
  row.assign(StrZero(recno, 6));
  row.reserve(static_cast<std::size_t>(RowLength()) + 8);
  const int n = ColumnCount(columns_);
  for (int k = 1; k <= n; ++k) {
    const BrowseColumn& c = columns_[static_cast<std::size_t>(k)];
    if (c.field == 0) row += flagged ? kMarkerCancelled : kMarkerOrdinary;
    else row += GetCellText(c.field, c.value1, c.value2, k);
  }
}

int CMDIBrowse::GetSelectedRowIndex() const {
  if (PrintRunFlag || IsIconic() || store_.selected <= 0) return 0;
  const long i = store_.selected - store_.top;
  if (i < 1 || i > store_.rowsPerPage) return 0;
  return static_cast<int>(i);
}

std::string CMDIBrowse::GetSelectedRowText() const {
  const int i = GetSelectedRowIndex();
  if (i == 0) return std::string(static_cast<std::size_t>(std::max(keyWidth, 0)), ' ');
  const std::string& row = store_.rows[static_cast<std::size_t>(i - 1)];
  std::string code = row.size() > 7 ? row.substr(7, static_cast<std::size_t>(keyWidth)) : std::string();
  code.resize(static_cast<std::size_t>(std::max(keyWidth, 0)), ' ');
  return code;
}

long CMDIBrowse::PositionOnSelectedRow(int flag) {
  const int i = GetSelectedRowIndex();
  if (i == 0) return 0;
  const long recno = store_.RecordNumberOf(i - 1);
  if (recno != 0) PositionOnRecord(recno, flag);
  return recno;
}

bool CMDIBrowse::RowHasText(int index1) const { return store_.HasText(index1 - 1); }

bool CMDIBrowse::SelectedIsOrdinary() const {
  const int i = GetSelectedRowIndex();
  return i != 0 && store_.MarkerOf(i - 1) == kMarkerOrdinary;
}

// The rows' area only: the scroll bars repaint themselves when they move.
void CMDIBrowse::Repaint() {
  if (view_ == nullptr || !view_->IsCreated()) return;
  const gui::Rect c = ClientArea();
  view_->InvalidateRect(gui::Rect{0, 0, c.w, c.h}, false);
}

void CMDIBrowse::RepaintRow(int index) {
  if (view_ == nullptr || !view_->IsCreated() || index < 1) return;
  const gui::Rect c = ClientArea();
  view_->InvalidateRect(gui::Rect{0, index * RowHeight(), c.w, RowHeight()}, false);
}

void CMDIBrowse::InvalidateSelectedRow() { RepaintRow(GetSelectedRowIndex()); }

void CMDIBrowse::UpdateScroller() {
  if (view_ == nullptr || !view_->IsCreated()) return;
  view_->SetScrollRange(true, 0, static_cast<int>(std::min<long>(store_.LastTop(), 0x7FFFFFFF)),
                        std::max(1, store_.rowsPerPage));
  view_->SetScrollPos(true, static_cast<int>(std::min<long>(store_.top, 0x7FFFFFFF)));
  view_->SetScrollRange(false, 0, store_.hRange, std::max(1, ClientArea().w / CharWidth()));
  view_->SetScrollPos(false, store_.hPos);
}

void CMDIBrowse::UpdateTooltip() {
  if (view_ != nullptr) view_->ClearToolTips();
}

std::string CMDIBrowse::RowCountText() const {
  if (store_.totalRows <= 0) return {};
  return std::string(LTrim(FormatNumber(10, 0, false, static_cast<double>(store_.totalRows)))) +
         LoadStr(kRowCountSuffix);
}

void CMDIBrowse::ShowRowCount() {
  UpdateScroller();
  if (MessageBar != nullptr) MessageBar->SetText(RowCountText());
}

void CMDIBrowse::SelectRow(long rank, long firstRank) {
  const long n = rank - firstRank + 1;
  if (n <= store_.totalRows - store_.rowsPerPage) {
    FillRowsForward(store_.rows, 0, store_.rowsPerPage, 0);
    store_.top = std::max(0L, n - 1);
  } else {
    FillRowsFromLast(store_.rows, store_.rowsPerPage - 1, store_.rowsPerPage);
    store_.top = store_.LastTop();
  }
  store_.selected = n;
  UpdateScroller();
  UpdateTooltip();
  Repaint();
}

// ---- moves -------------------------------------------------------------------

void CMDIBrowse::MoveDone(long oldTop) {
  if (store_.top == oldTop) return;
  UpdateScroller();
  UpdateTooltip();
  Repaint();
}

void CMDIBrowse::LineUp() {
  const long old = store_.top;
  if (store_.top <= 0) return;
  const long first = store_.RecordNumberOf(0);
  if (first == 0) return;
  PositionOnRecord(first, 0);
  SkipRecords(-1);
  FillRowsForward(store_.rows, 0, store_.rowsPerPage, 0);
  --store_.top;
  MoveDone(old);
}

void CMDIBrowse::LineDown() {
  const long old = store_.top;
  if (store_.top >= store_.LastTop()) return;
  const long first = store_.RecordNumberOf(0);
  if (first == 0) return;
  PositionOnRecord(first, 0);
  SkipRecords(1);
  FillRowsForward(store_.rows, 0, store_.rowsPerPage, 0);
  ++store_.top;
  MoveDone(old);
}

void CMDIBrowse::PageUp() {
  const long old = store_.top;
  const long n = std::min<long>(store_.top, store_.rowsPerPage - 1);
  if (n <= 0) return;
  const long first = store_.RecordNumberOf(0);
  if (first == 0) return;
  PositionOnRecord(first, 0);
  SkipRecords(-n);
  FillRowsForward(store_.rows, 0, store_.rowsPerPage, 0);
  store_.top -= n;
  MoveDone(old);
}

void CMDIBrowse::PageDown() {
  const long old = store_.top;
  const long last = store_.LastTop();
  if (store_.top >= last || store_.rowsPerPage < 2) return;
  if (store_.rowsPerPage - 1 + store_.top < last) {
    const long recno = store_.RecordNumberOf(store_.rowsPerPage - 1);
    if (recno == 0) return;
    PositionOnRecord(recno, 0);
    FillRowsForward(store_.rows, 0, store_.rowsPerPage, 0);
    store_.top += store_.rowsPerPage - 1;
  } else {
    const long recno = store_.RecordNumberOf(static_cast<int>(last - store_.top));
    if (recno == 0) return;
    PositionOnRecord(recno, 0);
    FillRowsForward(store_.rows, 0, store_.rowsPerPage, 0);
    store_.top = last;
  }
  MoveDone(old);
}

void CMDIBrowse::GoFirst() {
  const long old = store_.top;
  FillRowsFromFirst(store_.rows, 0, store_.rowsPerPage);
  store_.top = 0;
  if (old == 0) Repaint();
  MoveDone(old);
}

void CMDIBrowse::GoLast() {
  const long old = store_.top;
  FillRowsFromLast(store_.rows, store_.rowsPerPage - 1, store_.rowsPerPage);
  store_.top = store_.LastTop();
  if (old == store_.top) Repaint();
  MoveDone(old);
}

void CMDIBrowse::ThumbTo(int p) {
  const int h = RowHeight();
  const long last = store_.LastTop();
  if (p <= h / 2) return GoFirst();
  if (static_cast<long long>(p) >= static_cast<long long>(last) * h - h / 2) return GoLast();
  const long t = p / h;
  if (t == store_.top) return;
  const long first = store_.RecordNumberOf(0);
  if (first == 0) return;
  const long old = store_.top;
  gui::SetNamedCursor(LoadStr(kCursorBusy));
  PositionOnRecord(first, 0);
  SkipRecords(t - store_.top);
  FillRowsForward(store_.rows, 0, store_.rowsPerPage, 0);
  store_.top = t;
  gui::SetArrowCursor();
  MoveDone(old);
}

void CMDIBrowse::EvVScroll(int code, int pos) {
  if (Busy()) return;
  switch (code) {
    case gui::SB_LINEUP: LineUp(); break;
    case gui::SB_LINEDOWN: LineDown(); break;
    case gui::SB_PAGEUP: PageUp(); break;
    case gui::SB_PAGEDOWN: PageDown(); break;
    case gui::SB_THUMBPOSITION:
    case gui::SB_THUMBTRACK: ThumbTo(pos * RowHeight()); break;
    case gui::SB_TOP: GoFirst(); break;
    case gui::SB_BOTTOM: GoLast(); break;
    default: break;
  }
}

void CMDIBrowse::EvHScroll(int code, int pos) {
  if (Busy()) return;
  const int n = ColumnCount(columns_);
  const int range = store_.hRange;
  // Stops: 0, the starts of columns 2 to n - 1, and the total width.
  std::vector<int> stops{0};
  for (int k = 2; k <= n - 1; ++k) stops.push_back(ColumnStart(columns_, k));
  stops.push_back(TotalColumnWidth(columns_));
  int p = store_.hPos;
  switch (code) {
    case gui::SB_LINELEFT:
      for (auto it = stops.rbegin(); it != stops.rend(); ++it) {
        if (*it > range || *it > store_.hPos) continue;
        if (*it == store_.hPos && *it != 0) continue;
        p = *it == 0 ? 0 : *it - 1;
        if (p < store_.hPos) break;
      }
      break;
    case gui::SB_LINERIGHT:
      for (int s : stops) {
        int cut = std::min(s, range);
        if (cut > store_.hPos + 1) {
          p = cut == range ? range : cut - 1;
          break;
        }
        if (cut == range && range > store_.hPos) {
          p = range;
          break;
        }
      }
      break;
    case gui::SB_PAGELEFT: p = std::max(0, store_.hPos - range / 4); break;
    case gui::SB_PAGERIGHT: p = std::min(range, store_.hPos + range / 4); break;
    case gui::SB_THUMBPOSITION:
    case gui::SB_THUMBTRACK: p = std::clamp(pos, 0, range); break;
    default: return;
  }
  if (p != store_.hPos) {
    store_.hPos = p;
    UpdateScroller();
    Repaint();
  }
}

void CMDIBrowse::EvMouseWheel(unsigned modKeys, int delta, gui::Point p) {
  const gui::Rect c = ClientArea();
  if (p.x < 0 || p.y < 0 || p.x >= c.w || p.y >= c.h || Busy() || delta == 0) return;
  if (delta > 0) {
    if (modKeys & gui::MK_CONTROL) GoFirst();
    else if (modKeys & gui::MK_SHIFT) PageUp();
    else LineUp();
  } else {
    if (modKeys & gui::MK_CONTROL) GoLast();
    else if (modKeys & gui::MK_SHIFT) PageDown();
    else LineDown();
  }
}

// ---- keys --------------------------------------------------------------------

void CMDIBrowse::EvKeyDown(int vk, unsigned repeat, unsigned flags) {
  if (PassedOnByView(vk, true)) return;
  keyDefault_ = false;
  enterDown_ = vk == gui::VK_RETURN;
  reportKeyDown_ = vk == gui::VK_F5 || vk == gui::VK_F6 ? vk : 0;
  escapeDown_ = vk == gui::VK_ESCAPE && !Busy() && g_listCommandsRunning == 0;
  if (Busy()) return;
  const long sel = store_.selected, total = store_.totalRows, step = store_.rowsPerPage - 1;
  long next = sel;
  int scroll = -1;
  switch (vk) {
    case gui::VK_PRIOR: next = std::max(1L, sel - step); scroll = gui::SB_PAGEUP; break;
    case gui::VK_NEXT: next = std::min(total, sel + step); scroll = gui::SB_PAGEDOWN; break;
    case gui::VK_END: next = total; scroll = gui::SB_BOTTOM; break;
    case gui::VK_HOME: next = 1; scroll = gui::SB_TOP; break;
    case gui::VK_UP: next = std::max(1L, sel - 1); scroll = gui::SB_LINEUP; break;
    case gui::VK_DOWN: next = std::min(total, sel + 1); scroll = gui::SB_LINEDOWN; break;
    case gui::VK_LEFT:
    case gui::VK_RIGHT:
      typeAhead_.clear();
      if (store_.hRange != 0)
        gui::PostMessage(GetHandle(), gui::WM_HSCROLL, vk == gui::VK_LEFT ? gui::SB_LINELEFT : gui::SB_LINERIGHT);
      else
        keyDefault_ = true;
      return;
    default: {
      char ch = 0;
      if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) ch = static_cast<char>(vk);
      else if (vk >= gui::VK_NUMPAD0 && vk <= gui::VK_NUMPAD0 + 9) ch = static_cast<char>('0' + vk - gui::VK_NUMPAD0);
      if (ch != 0 && gui::GetKeyState(gui::VK_CONTROL) >= 0) {
        if (!SeekTypedKey(ch)) keyDefault_ = true;
        return;
      }
      keyDefault_ = true;
      return;
    }
  }
  typeAhead_.clear();
  if (total <= 0) next = 0;
  if (next == sel) return;
  const int oldIndex = GetSelectedRowIndex();
  store_.selected = next;
  const bool onPage = next > store_.top && next <= store_.top + store_.rowsPerPage;
  if (onPage || store_.LastTop() == 0) {
    RepaintRow(oldIndex);
    InvalidateSelectedRow();
  } else {
    RepaintRow(oldIndex);
    gui::PostMessage(GetHandle(), gui::WM_VSCROLL, static_cast<std::uintptr_t>(scroll));
  }
}

unsigned CMDIBrowse::F12Command() const { return browse_cmd::Modifier; }

void CMDIBrowse::EvKeyUp(int vk, unsigned repeat, unsigned flags) {
  if (PassedOnByView(vk, false)) return;
  keyDefault_ = false;
  unsigned cmd = 0;
  switch (vk) {
    case gui::VK_F1:
      if (ControlEnv().showHelp) ControlEnv().showHelp(helpContext);
      return;
    case gui::VK_F2: cmd = browse_cmd::Chercher; break;
    case gui::VK_F3: cmd = browse_cmd::ChercherEncore; break;
    // "Visualiser [F5]" and "Imprimer [F6]", as the Fichier menu and the pop-up show them; only a key the
    // list saw pressed: a window whose own keys took the press already ran the command.
    case gui::VK_F5:
    case gui::VK_F6:
      if (std::exchange(reportKeyDown_, 0) != vk) {
        keyDefault_ = true;
        return;
      }
      cmd = vk == gui::VK_F5 ? browse_cmd::Visualiser : browse_cmd::Imprimer;
      // Greyed in the menu (no rows, no right, the form open): the key does nothing either.
      if (gui::CommandEnabler ce(cmd); !EvCommandEnable(ce) || !ce.Enabled()) {
        gui::MessageBeep(0);
        return;
      }
      break;
    case gui::VK_F8: cmd = browse_cmd::AllerAuCode; break;
    case gui::VK_F9: cmd = browse_cmd::Quitter; break;
    case gui::VK_ESCAPE:
      // Escape closes the list as F9 does, when the list saw it pressed: an Escape that interrupted a search
      // or closed a message box over the list is not the user's wish to leave it.
      if (!escapeDown_ || g_listCommandsRunning > 0) {
        escapeDown_ = false;
        keyDefault_ = true;
        return;
      }
      escapeDown_ = false;
      cmd = browse_cmd::Quitter;
      break;
    case gui::VK_F12: cmd = F12Command(); break;
    case gui::VK_RETURN:
      // Enter is "Entrée", when the list saw it pressed too: the release of an Enter that closed a message
      // box over the list is not the user's choice of a row.
      if (!enterDown_) {
        keyDefault_ = true;
        return;
      }
      enterDown_ = false;
      cmd = browse_cmd::Entree;
      break;
    default: keyDefault_ = true; return;
  }
  gui::PostCommand(GetHandle(), cmd);
}

// ---- mouse -------------------------------------------------------------------

void CMDIBrowse::EvLButtonDown(unsigned modKeys, gui::Point p) {
  if (view_ != nullptr && view_->IsCreated() && !view_->HasFocus()) view_->SetFocus();
  if (Busy()) return;
  int r = p.y / RowHeight();
  if (r == 0) {
    const int border = BorderAtX(p.x);
    if (border > 0) {
      drag_ = Drag::Resize;
      dragColumn_ = border;
    } else {
      const int col = ColumnAtX(p.x);
      if (col <= FixedColumnCount(columns_) || col == 0) return;
      drag_ = Drag::Move;
      dragColumn_ = col;
    }
    dragStartX_ = dragX_ = p.x;
    gui::SetWindowCursor(*view_, "C28");
    Repaint();
    return;
  }
  r = std::min(r, store_.rowsPerPage);
  if (r > store_.totalRows - store_.top || !RowHasText(r)) return;
  const int old = GetSelectedRowIndex();
  store_.selected = store_.top + r;
  if (HasColumns() && HasTimer(kBrowseRefreshTimer)) RefreshTotal();
  RepaintRow(old);
  RepaintRow(r);
}

void CMDIBrowse::EvLButtonDblClk(unsigned, gui::Point p) {
  if (p.y / RowHeight() == 0) return;
  gui::PostCommand(GetHandle(), browse_cmd::Entree);
}

// Column under a point of the header (0 when none).
int CMDIBrowse::ColumnAtX(int x) const {
  const int n = ColumnCount(columns_), fixed = FixedColumnCount(columns_), cw = CharWidth();
  for (int k = 1; k <= n; ++k) {
    const BrowseColumn& c = columns_[static_cast<std::size_t>(k)];
    int left = (ColumnStart(columns_, k) - (k > fixed ? store_.hPos : 0)) * cw;
    if (x >= left && x < left + static_cast<int>(c.width) * cw) return k;
  }
  return 0;
}

// Column whose right border lies within 5 pixels of x (0 when none): the
// borders after the fixed columns, the right edge of the fixed ones and the
// right end of the list.
int CMDIBrowse::BorderAtX(int x) const {
  const int n = ColumnCount(columns_), fixed = FixedColumnCount(columns_), cw = CharWidth();
  for (int k = std::max(1, fixed); k <= n; ++k) {
    const BrowseColumn& c = columns_[static_cast<std::size_t>(k)];
    const int shift = k > fixed ? store_.hPos : 0;
    const int right = (ColumnStart(columns_, k) + static_cast<int>(c.width) - shift) * cw;
    if (k == fixed && fixed == 0) continue;
    if (std::abs(x - right) <= 5) return k;
  }
  return 0;
}

void CMDIBrowse::EvMouseMove(unsigned modKeys, gui::Point p) {
  if (drag_ != Drag::None) {
    if (!(modKeys & gui::MK_LBUTTON)) return EvNCMouseMove();
    dragX_ = p.x;
    Repaint();
    return;
  }
  if (view_ != nullptr && view_->IsCreated())
    gui::SetWindowCursor(*view_, p.y < RowHeight() && BorderAtX(p.x) > 0 ? "C28" : "");
}

void CMDIBrowse::EvLButtonUp(unsigned, gui::Point p) {
  if (drag_ == Drag::None) return;
  EndDrag(true, p.x);
}

void CMDIBrowse::EvNCMouseMove() {
  if (drag_ == Drag::None) return;
  EndDrag(false, dragX_);
}

void CMDIBrowse::EndDrag(bool apply, int x) {
  const Drag kind = drag_;
  drag_ = Drag::None;
  if (view_ != nullptr && view_->IsCreated()) gui::SetWindowCursor(*view_, "");
  const int cw = CharWidth(), n = ColumnCount(columns_), fixed = FixedColumnCount(columns_);
  const int c = dragColumn_;
  if (apply && c >= 1 && c <= n) {
    const int moved = (x - dragStartX_) / cw;  // whole characters
    if (kind == Drag::Resize && moved != 0) {
      BrowseColumn& col = columns_[static_cast<std::size_t>(c)];
      const int width = std::max(2, static_cast<int>(col.width) + moved);
      const int diff = width - static_cast<int>(col.width);
      col.width = static_cast<std::uint32_t>(width);
      col.customised = 1;
      for (int k = c + 1; k <= n; ++k) {
        columns_[static_cast<std::size_t>(k)].start =
            static_cast<std::uint32_t>(static_cast<int>(columns_[static_cast<std::size_t>(k)].start) + diff);
        columns_[static_cast<std::size_t>(k)].customised = 1;
      }
      columns_[1].start = static_cast<std::uint32_t>(TotalColumnWidth(columns_));
      columns_[1].customised = 1;
    } else if (kind == Drag::Move && moved != 0 && c > fixed) {
      // The outline's right end, in characters of the list.
      const BrowseColumn dragged = columns_[static_cast<std::size_t>(c)];
      const int outlineRight = ColumnStart(columns_, c) + static_cast<int>(dragged.width) + moved;
      std::vector<BrowseColumn> order(columns_.begin() + 1, columns_.begin() + 1 + n);
      order.erase(order.begin() + (c - 1));
      std::size_t at = order.size();
      for (std::size_t i = 0; i < order.size(); ++i) {
        const int k = static_cast<int>(i) + 1;
        if (k <= fixed) continue;
        const int right = (k == 1 ? 0 : static_cast<int>(order[i].start)) + static_cast<int>(order[i].width);
        if (right > outlineRight) {
          at = i;
          break;
        }
      }
      at = std::max<std::size_t>(at, static_cast<std::size_t>(fixed));
      order.insert(order.begin() + static_cast<std::ptrdiff_t>(at), dragged);
      std::uint32_t sum = 0;
      for (int k = 1; k <= n; ++k) {
        BrowseColumn col = order[static_cast<std::size_t>(k - 1)];
        if (col.declared != columns_[static_cast<std::size_t>(k)].declared) col.customised = 1;
        col.number = static_cast<std::uint32_t>(k);
        if (k > 1) col.start = sum;
        sum += col.width;
        columns_[static_cast<std::size_t>(k)] = col;
      }
      columns_[1].start = sum;
    }
  }
  if (ownSlot > 0 && keyWidth > 0) SetRegistryText(ownSlot + 11, keyWidth, "");
  const gui::Rect cl = ClientArea();
  store_.hRange = std::max(0, TotalColumnWidth(columns_) - cl.w / cw);
  store_.hPos = std::min(store_.hPos, store_.hRange);
  CmRafraichir();
  UpdateScroller();
}

// ---- size and focus ----------------------------------------------------------

void CMDIBrowse::EvSize(int sizeType, int width, int height) {
  if (view_ != nullptr && view_->IsCreated()) view_->MoveWindow(gui::Rect{0, 0, width, height});
  if (sizeType == gui::SIZE_MINIMIZED || Busy()) return;
  const gui::Rect c = ClientArea();
  const int rpp = std::max(1, c.h / RowHeight() - 1);
  if (!sized_) {
    store_.rowsPerPage = rpp;
    store_.rows.assign(static_cast<std::size_t>(rpp), std::string());
    FillRowsFromFirst(store_.rows, 0, rpp);
  } else if (rpp != store_.rowsPerPage) {
    FillAfterResize(rpp);
  }
  store_.hRange = std::max(0, TotalColumnWidth(columns_) - c.w / CharWidth());
  store_.hPos = std::min(store_.hPos, store_.hRange);
  if (!sized_ && !listName.empty()) {
    const std::string v = IniGetSectionString(SectionName(false).c_str(), listName.c_str(), "");
    if (v.size() >= 12 && std::atoi(v.substr(0, 6).c_str()) == store_.hRange)
      store_.hPos = std::clamp(std::atoi(v.substr(6, 6).c_str()), 0, store_.hRange);
  }
  sized_ = true;
  UpdateScroller();
  Repaint();
}

void CMDIBrowse::FillAfterResize(int rpp) {
  const int old = store_.rowsPerPage;
  BrowseRows rows(static_cast<std::size_t>(rpp));
  for (int i = 0; i < std::min(old, rpp); ++i) rows[static_cast<std::size_t>(i)] = store_.rows[static_cast<std::size_t>(i)];
  store_.rows = std::move(rows);
  store_.rowsPerPage = rpp;
  bool ended = false;
  for (int i = old; i < rpp; ++i) {
    const long above = i > 0 ? store_.RecordNumberOf(i - 1) : 0;
    if (above == 0) {
      ended = true;
      break;
    }
    FillRowsForward(store_.rows, i, 1, above);
    if (store_.RecordNumberOf(i) == 0) {
      ended = true;
      break;
    }
  }
  if (ended && store_.totalRows > 0) {
    if (store_.rowsPerPage >= store_.totalRows) {
      FillRowsFromFirst(store_.rows, 0, rpp);
      store_.top = 0;
    } else {
      FillRowsFromLast(store_.rows, rpp - 1, rpp);
      store_.top = store_.LastTop();
    }
  }
  if (store_.top > store_.LastTop()) store_.top = store_.LastTop();
}

void CMDIBrowse::EvSetFocus(gui::Handle) {
  if (PrintRunFlag) return;
  if (toolbarCommands.size() < kBrowseToolbarWords) {
    std::vector<std::uint32_t> words(kBrowseToolbarWords, 0);
    std::copy(toolbarCommands.begin(), toolbarCommands.end(), words.begin());
    BuildToolbar(words.data(), true);
  } else {
    BuildToolbar(toolbarCommands.data(), true);
  }
  if (IsIconic()) return;
  // A maximised list is shown normal; not while it is being maximised itself (the focus moves inside it then).
  if (IsZoomed() && !StateChanging()) Show(gui::SW_RESTORE);
  // '2' is a list whose form the main window is about to open: the focus coming back to it from the form
  // that just closed (the form of another record) arrives after that ask, and must not undo it.
  if (ownSlot > 0 && RegistryChar(ownSlot) != '3' && RegistryChar(ownSlot) != '2') SetRegistryText(ownSlot, 1, "1");
  if (MessageBar != nullptr) MessageBar->SetText(RowCountText());
  typeAhead_.clear();
  if (HasColumns() && HasTimer(kBrowseRefreshTimer)) RefreshTotal();
  ArmTimer();
}

void CMDIBrowse::ArmTimer() {
  const int n = BrowseRefreshInterval();
  if (n == refreshInterval) return;
  if (HasTimer(kBrowseRefreshTimer)) KillTimer(kBrowseRefreshTimer);
  refreshInterval = n;
  if (n > 0 && HasColumns()) SetTimer(kBrowseRefreshTimer, static_cast<unsigned>(n) * 1000u);
}

void CMDIBrowse::EvTimer(unsigned id) {
  if (id == kBrowseRefreshTimer) RefreshTick();
}

void CMDIBrowse::RefreshTick() {
  if (AppendInProgress || PrintRunFlag || IsIconic() || !IsWindowVisible()) return;
  RefreshTotal();
  ArmTimer();
}

// ---- refresh -------------------------------------------------------------------

void CMDIBrowse::CmRafraichir() {
  BeforeRefresh();
  const std::string key = (ownSlot > 0 && keyWidth > 0) ? RegistryText(ownSlot + 11, keyWidth) : std::string();
  if (IsBlank(key)) {
    for (int i = 0; i < store_.rowsPerPage; ++i) {
      const long recno = store_.RecordNumberOf(i);
      if (recno == 0) break;
      ReloadRow(store_.rows, i, recno);
    }
    Repaint();
    return;
  }
  for (int i = 0; i < store_.rowsPerPage; ++i) {
    const std::string& row = store_.rows[static_cast<std::size_t>(i)];
    if (row.size() >= 7 + key.size() && row.compare(7, key.size(), key) == 0) {
      ReloadRow(store_.rows, i, store_.RecordNumberOf(i));
      RepaintRow(i + 1);
      break;
    }
  }
}

void CMDIBrowse::CmRafraichirTotal() { RefreshTotal(); }

bool CMDIBrowse::RefreshTotal() {
  BeforeRefresh();
  const long oldTotal = store_.totalRows, oldTop = store_.top;
  store_.totalRows += PendingRowCount;
  PendingRowCount = 0;
  const int rpp = store_.rowsPerPage;
  BrowseRows fresh(static_cast<std::size_t>(rpp));
  auto holdsRecord = [&fresh](int i) { return BrowseRowStore::RecordNumberOfText(fresh[static_cast<std::size_t>(i)]) != 0; };
  bool fromFirst = store_.totalRows <= rpp;
  if (!fromFirst) {
    const long first = store_.RecordNumberOf(0);
    if (first == 0) {
      if (oldTotal != store_.totalRows) ShowRowCount();
      return false;
    }
    PositionOnRecord(first, 0);
    FillRowsForward(fresh, 0, rpp, 0);
    // Rows taken out of the list under the page (or the page's first row itself) leave the rows below
    // short: the page is filled from the last row backwards, as End does, and a list found shorter than
    // a page from its first row.
    if (rpp > 0 && !holdsRecord(rpp - 1)) {
      fresh.assign(static_cast<std::size_t>(rpp), std::string());
      FillRowsFromLast(fresh, rpp - 1, rpp);
      store_.top = store_.LastTop();
      fromFirst = !holdsRecord(0);
    } else if (store_.top > store_.LastTop()) {
      store_.top = store_.LastTop();
    }
  }
  if (fromFirst) {
    fresh.assign(static_cast<std::size_t>(rpp), std::string());
    FillRowsFromFirst(fresh, 0, rpp);
    long last = 0;
    for (int i = 0; i < rpp; ++i)
      if (holdsRecord(i)) last = i + 1;
    store_.totalRows = last;
    store_.top = 0;
  }
  if (oldTotal != store_.totalRows || oldTop != store_.top) ShowRowCount();
  if (store_.selected > store_.totalRows) store_.selected = store_.totalRows;
  if (fresh == store_.rows && oldTop == store_.top && oldTotal == store_.totalRows) return false;
  store_.rows = std::move(fresh);
  UpdateTooltip();
  Repaint();
  return true;
}

// ---- lookup and partner ------------------------------------------------------

bool CMDIBrowse::LookupAskerAlive() const { return ::LookupAskerAlive(ownSlot, keyWidth); }

bool CMDIBrowse::PartnerOpen() const { return partnerSlot > 0 && RegistryChar(partnerSlot) == '1'; }

unsigned CMDIBrowse::SecondToolbarCommand() const {
  if (toolbarCommands.size() < 3 || toolbarCommands[0] < 2) return 0;
  return toolbarCommands[2];
}

void CMDIBrowse::ReturnSelectedCode() {
  if (PositionOnSelectedRow(0) == 0) {
    gui::MessageBeep(0);
    return;
  }
  if (!LookupAskerAlive()) return;
  // The code with the answer mark, so that the form never takes its own
  // request (or a code left to refresh the list) for an answer.
  WriteLookupAnswer(ownSlot, keyWidth, GetSelectedRowText());
  const int cmd = LookupReturnCommand(ownSlot, keyWidth);
  const auto handle = static_cast<gui::Handle>(LookupAskerHandle(ownSlot, keyWidth));
  if (cmd > 0) gui::PostCommand(handle, static_cast<unsigned>(cmd));
}

void CMDIBrowse::CmReCaler() {
  if (ownSlot <= 0 || keyWidth <= 0) return;
  const std::string key = RTrim(RegistryText(ownSlot + 11, keyWidth).c_str());
  if (IsBlank(key)) return;
  ActivateBrowse();
  LocateCode(key);
}

bool CMDIBrowse::LocateCode(const std::string& code) {
  if (codeIndex.table != nullptr) return ShowCode(code);
  for (int i = 0; i < store_.rowsPerPage && i < static_cast<int>(store_.rows.size()); ++i) {
    const std::string& row = store_.rows[static_cast<std::size_t>(i)];
    if (store_.RecordNumberOf(i) == 0) break;
    if (row.size() >= 7 + code.size() && row.compare(7, code.size(), code) == 0) {
      const int old = GetSelectedRowIndex();
      store_.selected = store_.top + i + 1;
      RepaintRow(old);
      RepaintRow(i + 1);
      return true;
    }
  }
  return false;
}

void CMDIBrowse::OpenPartnerForm(const std::string& key, int f, unsigned command, int markSlot) {
  if (markSlot <= 0) markSlot = ownSlot;
  const gui::Handle main = static_cast<gui::Handle>(ParseHandle(RegistryText(1, 10)));
  const char flag = RegistryChar(f);
  const int w = static_cast<int>(key.size());
  if (flag == ' ' || flag == 0) {
    SetRegistryText(f + 11, w, key);
    if (markSlot > 0) SetRegistryText(markSlot, 1, "2");
    gui::PostCommand(main, command);
    retryState_ = 0;
  } else if (RegistryText(f + 11, w) == key) {
    if (markSlot > 0) SetRegistryText(markSlot, 1, "R");
    gui::PostCommand(main, command);
    retryState_ = 0;
  } else {
    gui::SendMessage(static_cast<gui::Handle>(ParseHandle(RegistryText(f + 1, 10))), gui::WM_CLOSE);
    if (retryState_ == 0) {
      retryState_ = 1;
      if (unsigned second = SecondToolbarCommand()) gui::PostCommand(GetHandle(), second);
    } else {
      retryState_ = 0;
    }
  }
}

void CMDIBrowse::ActivateBrowse() {
  if (IsIconic()) Show(gui::SW_RESTORE);
  BringToTop();
  EnableWindow(true);
  if (view_ != nullptr && view_->IsCreated()) view_->SetFocus();
}

std::string CMDIBrowse::VersionText() { return LoadStr(kVersionText); }

void CMDIBrowse::DefaultAction() {
  if (partnerSlot > 0 && RegistryChar(partnerSlot) == '1') {
    const gui::Handle h = static_cast<gui::Handle>(ParseHandle(RegistryText(partnerSlot + 1, 10)));
    if (gui::Window* w = gui::Window::FromHandle(h)) {
      w->BringToTop();
      return;
    }
  }
  std::vector<std::uint32_t> words(kBrowseToolbarWords, 0);
  std::copy_n(toolbarCommands.begin(), std::min<std::size_t>(toolbarCommands.size(), kBrowseToolbarWords), words.begin());
  BuildToolbar(words.data(), true);
}

// ---- the view ----------------------------------------------------------------

BrowseView::BrowseView(CMDIBrowse* owner)
    : gui::CustomControl(owner, 1, gui::ctl::VScroll | gui::ctl::HScroll | gui::ctl::TabStop), owner_(owner) {}

void BrowseView::EvPaint() { owner_->Paint(); }
// The list answers each key once. A list's own handler that takes a key without the base's leaves the key taken,
// whatever the last key was; a key the list leaves to the default processing goes on to the windows around it,
// the list among them, which lets it go by (PassedOnByView).
void BrowseView::EvKeyDown(int vk, unsigned repeat, unsigned flags) {
  owner_->keyDefault_ = false;
  owner_->passedDown_ = 0;
  owner_->EvKeyDown(vk, repeat, flags);
  if (owner_->keyDefault_) {
    owner_->passedDown_ = vk;
    DefaultProcessing();
  }
}
void BrowseView::EvKeyUp(int vk, unsigned repeat, unsigned flags) {
  owner_->keyDefault_ = false;
  owner_->passedUp_ = 0;
  owner_->EvKeyUp(vk, repeat, flags);
  if (owner_->keyDefault_) {
    owner_->passedUp_ = vk;
    DefaultProcessing();
  }
}
void BrowseView::EvSetFocus(gui::Handle lost) {
  gui::CustomControl::EvSetFocus(lost);
  owner_->EvSetFocus(lost);
}
void BrowseView::EvKillFocus(gui::Handle gained) {
  owner_->passedDown_ = owner_->passedUp_ = 0;
  gui::CustomControl::EvKillFocus(gained);
}

bool CMDIBrowse::PassedOnByView(int vk, bool down) {
  int& passed = down ? passedDown_ : passedUp_;
  if (vk == 0 || std::exchange(passed, 0) != vk) return false;
  keyDefault_ = true;
  DefaultProcessing();
  return true;
}
void BrowseView::EvSize(int, int, int) {}

int CMDIBrowse::DeclaredAt(int k) const {
  return k >= 1 && k < static_cast<int>(columns_.size()) ? static_cast<int>(columns_[static_cast<std::size_t>(k)].declared)
                                                        : 0;
}

std::string CMDIBrowse::Cell(const std::string& row, int declared) const {
  std::size_t pos = 6;
  for (int k = 1; k <= ColumnCount(columns_); ++k) {
    const BrowseColumn& col = columns_[static_cast<std::size_t>(k)];
    const std::size_t len = col.field == 0 ? 1 : col.value2;
    if (static_cast<int>(col.declared) == declared) {
      std::string text = pos < row.size() ? row.substr(pos, len) : std::string();
      text.resize(len, ' ');
      return text;
    }
    pos += len;
  }
  return {};
}

void CMDIBrowse::ShowRecordAgain(long recno) {
  for (int i = 0; i < store_.rowsPerPage; ++i) {
    if (store_.RecordNumberOf(i) == recno) {
      ReloadRow(store_.rows, i, recno);
      RepaintRow(i + 1);
    }
  }
}

std::string CMDIBrowse::SelectedRow() const {
  const int i = GetSelectedRowIndex();
  return i == 0 ? std::string() : store_.rows[static_cast<std::size_t>(i - 1)];
}
