// CMDIModif: the base of every edit form. It gives each form the close and
// save protocol (Save / IsModified / Check, "Quitter" and
// "Enregistrer"), its place in the open-window registry beside its
// partner list, a grid in which the form places its controls, the record
// lock the form holds, and the code-field lookups (code_lookup.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gui/mdi.h"
#include "resources/command_ids.h"

class MEdit;
class MWindow;
class Table;

namespace gui {
class Edit;
class Static;
}  // namespace gui

// Commands every form answers.
namespace form_cmd {
using child_command::Quitter;
using child_command::Enregistrer;
using child_command::Texte;
using child_command::Visualiser;
using child_command::Imprimer;
// Sent to the partner list after a save: refresh and go to the code in its
// slot / full refresh.
constexpr unsigned ListRefreshCode = child_command::Rafraichir;
constexpr unsigned ListRefreshAll = child_command::RafraichirTotal;
// Posted to a list opened as a lookup: re-position on the code in its slot.
constexpr unsigned ListReposition = child_command::ReCaler;
}  // namespace form_cmd

// Registry positions of the lookups: the chart of accounts' list (slot 461,
// DonneesPlanComptable), the analytic sections' list (slot 303, DonneesSectionsAnal), and
// the codes last chosen in the lookup dialog.
constexpr int kAccountListSlot = 461;
constexpr int kSectionListSlot = 303;
constexpr int kRegistryLastAccount = 3944;
constexpr int kRegistryLastAuxiliary = 3952;
constexpr int kRegistryLastSection = 3960;
constexpr int kRegistryRecordTextState = 3819;
constexpr int kRegistryRecordTextKey = 3830;

// Results of a lookup.
constexpr char kLookupListOpened = '1';
constexpr char kLookupListRepositioned = '2';
constexpr char kLookupFound = '3';
constexpr char kLookupNone = '4';

// The report limits forms' accelerator table: the forms' keys, and F5 "Visualiser" and F6 "Imprimer" as the
// Fichier menu shows them.
constexpr int kReportLimitsAccelerators = 1105;

// Kinds of MoveFormControls.
namespace grid {
constexpr int Fill = 0;
constexpr int Button = 1;
constexpr int Box = 2;
constexpr int Text = 5;
constexpr int Lines = 6;
constexpr int Label = 7;
constexpr int Frame = 8;
}  // namespace grid

// What the grid's placement needs to know.
struct GridMetrics {
  int columnWidth = 0;  // W
  int rowHeight = 0;    // H
  int topOffset = 0;    // T
  int charWidth = 0;    // cw, the entry font's
  int charHeight = 0;   // ch, the entry font's row
};
// Rectangle (left, top, right, bottom inclusive as the grid computes them)
// of a control at column c, row r spanning nc x nr cells.
struct GridBox {
  int left = 0, top = 0, right = 0, bottom = 0;
};
GridBox ComputeGridBox(const GridMetrics& m, int c, int r, int nc, int nr, int kind, int extra, int last);

// Scroll ranges of the grid for a client size: the column width and row
// height (bounded below by the minimums, a row one line high at most) and
// the scroll ranges (0 when the grid fits).
struct GridSizing {
  int columnWidth = 0;
  int rowHeight = 0;
  int hRange = 0;
  int vRange = 0;
};
GridSizing ComputeGridSizing(int clientWidth, int clientHeight, int columns, int rows, int minColumnWidth,
                             int minRowHeight);

// Text of a converted amount: value * rate (or / rate), rounded to 2
// decimals, as an edit holds it; "" for a zero result and for one that 14
// characters cannot hold (the edit left blank, never asterisks or a cut
// figure). No text for a rate that is not a positive number: nothing can be
// converted, and the other amount stays as it is.
std::optional<std::string> ConvertAmountText(const std::string& source, double rate, bool inverse);

class CMDIModif : public gui::MDIChild {
 public:
  // Answers of Check.
  static constexpr int kCheckInvalid = 0;
  static constexpr int kCheckSave = 1;
  static constexpr int kCheckClose = 2;

  CMDIModif(gui::MDIClient* client, const std::string& title, int gridColumns, int gridRows, int ownSlot = 0,
            int ownSlotLength = 0, int partnerSlot = 0);
  ~CMDIModif() override;

  // ---- the three operations each form overrides
  // Writes the form to its table. False when the write failed: the form
  // then stays open with its values, so that nothing typed is lost.
  virtual bool Save() { return true; }
  virtual bool IsModified() { return false; }
  // 0 stay open, 1 save then close, any other value close without saving.
  virtual int Check() { return kCheckClose; }

  // ---- close and save protocol
  bool CanClose() override;
  // Yes (6) without a question when nothing changed; otherwise the question
  // (string 153) with Yes / No / Cancel.
  int AskSaveChanges();
  void CmEnregistrer();
  void CmQuitter();
  void CeEnregistrer(gui::CommandEnabler& ce);
  void CeQuitter(gui::CommandEnabler& ce);

  // ---- context menu
  // Items of the context menu in order, 0 for a separator.
  std::vector<unsigned> ContextMenuIds() const;
  void EvRButtonDown(unsigned modKeys, gui::Point p) override;

  // ---- grid
  // Places one control of the form in the grid (see ComputeGridBox); the
  // current scroll position is taken off.
  void MoveFormControls(gui::Window* window, int c, int r, int nc, int nr, int kind, int extra, int last);
  // Moves a placed control just right of `edit`, on its line: a "?" beside the field it serves, however
  // wide the columns.
  void PlaceAfter(gui::Window* control, gui::Window* edit);
  GridMetrics Metrics() const;
  // The height a window taller than the grid leaves below its last row (the
  // rows stay one line high): a form whose list or text ends the grid gives
  // it this room.
  int RoomBelowGrid() const;
  int HorizontalRange() const { return hRange_; }
  int VerticalRange() const { return vRange_; }
  int ScrollX() const { return scrollX_; }
  int ScrollY() const { return scrollY_; }

  // ---- operations the forms call
  // Brings a window forward and focuses it; 0 = the form itself.
  void ActivateWindowHandle(gui::Handle handle);
  // The controls (up to ten, nulls skipped) scroll this form with the Scroll
  // Lock arrows.
  void SetControlsOwner(gui::Window* c1, gui::Window* c2 = nullptr, gui::Window* c3 = nullptr,
                        gui::Window* c4 = nullptr, gui::Window* c5 = nullptr, gui::Window* c6 = nullptr,
                        gui::Window* c7 = nullptr, gui::Window* c8 = nullptr, gui::Window* c9 = nullptr,
                        gui::Window* c10 = nullptr);
  // Refreshes the partner list when it is open: on `code` (width `width`,
  // KeyWidth when 0) when the code is not blank, else completely.
  void RefreshPartnerList(const std::string& code, int width = 0);
  // Opens the free-text window of the record named by the three texts.
  void OpenRecordTextFromForm(const std::string& t1, const std::string& t2, const std::string& t3);
  // Range check of a numeric edit (0 to 999.99); true when it reported an
  // error.
  bool CheckAmountDigits(gui::Edit& edit);
  // Franc / euro conversion of amount fields with the dossier's rate; with a
  // rate that is not positive the target keeps its text.
  void ConvertAmountByRate(gui::Edit& source, gui::Edit& target);
  void ConvertAmountByInverseRate(gui::Edit& source, gui::Edit& target);

  // ---- record lock of the form
  // Locks the current record of `table` for form kind `formKind` (0-12),
  // asking once with the record's text (fields textFields ... 1) when another
  // station holds it. True when locked; FormRecordLocks then names it.
  bool LockFormRecord(::Table& table, int formKind, int textFields);
  // Releases the lock the form kind holds on `table`.
  void UnlockFormRecord(::Table& table, int formKind);

  // ---- code-field lookups (code_lookup.cpp)
  // `returnCommand` is the id the list posts back (below 10,000: it travels
  // in four characters of the registry).
  char LookupC10Code(MEdit* edit, unsigned returnCommand, const char* kind, int width, unsigned listCommand,
                     int listSlot, gui::Static* nameLabel, std::string* result = nullptr);
  char LookupC20Code(MEdit* edit, unsigned returnCommand, gui::Static* nameLabel);
  char LookupC30Code(MEdit* edit, unsigned returnCommand, gui::Static* nameLabel);
  bool FirstC10Code(MEdit* edit, const char* kind, int width, gui::Static* nameLabel);
  bool PriorC10Code(MEdit* edit, const char* kind, int width, gui::Static* nameLabel);
  bool NextC10Code(MEdit* edit, const char* kind, int width, gui::Static* nameLabel);
  bool LastC10Code(MEdit* edit, const char* kind, int width, gui::Static* nameLabel);
  bool FirstC20Code(MEdit* edit, gui::Static* nameLabel);
  bool PriorC20Code(MEdit* edit, gui::Static* nameLabel);
  bool NextC20Code(MEdit* edit, gui::Static* nameLabel);
  bool LastC20Code(MEdit* edit, gui::Static* nameLabel);
  bool FirstC30Code(MEdit* edit, gui::Static* nameLabel);
  bool PriorC30Code(MEdit* edit, gui::Static* nameLabel);
  bool NextC30Code(MEdit* edit, gui::Static* nameLabel);
  bool LastC30Code(MEdit* edit, gui::Static* nameLabel);
  // The account's (the section's) name and balance in `label`, the balance grouped whole; on a line of
  // its own with `amountBelow`.
  void ShowAccountBalanceC20(gui::Static* label, bool euro, bool amountBelow = false);
  void ShowAccountBalanceC30(gui::Static* label, bool euro);

  // ---- fields
  MWindow* BackgroundWindow = nullptr;
  std::unique_ptr<char[]> OwnedArray;
  bool ClosingFlag = false;
  bool NoCheckFlag = false;
  bool AskOnClose = true;
  std::vector<std::uint32_t> ContextCommands;  // word 0 the count, then the ids
  int OwnSlot = 0;
  int OwnSlotLength = 0;
  int PartnerSlot = 0;
  int GridColumns = 1;
  int GridRows = 1;
  int MinColumnWidth = 0;
  int MinRowHeight = 0;
  int ColumnWidth = 0;
  int RowHeight = 0;
  int TopOffset = 0;
  int KeyWidth = 0;
  std::string RegisteredName;
  gui::Rect ClientRect;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }
  // A control's WM_COMMAND runs its command on a button's click only (BN_CLICKED); every other notification (a
  // button or an edit getting the focus, a changed text, a combo's selection) goes to EvNotify, so that no
  // button acts when it only gets the focus.
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

 protected:
  // A notification of one of the form's controls other than a click (EN_CHANGE, CBN_SELCHANGE, focus changes).
  virtual void EvNotify(int id, unsigned code) {}
  void SetupWindow() override;
  void EvSetFocus(gui::Handle lost) override;
  void EvSize(int sizeType, int width, int height) override;
  // Called after every sizing and scroll: the form places its controls here
  // with MoveFormControls.
  virtual void ArrangeControls() {}

 private:
  void Scroll(bool vertical, int code, int pos);
  void PlaceBackground();
  int hRange_ = 0;
  int vRange_ = 0;
  int scrollX_ = 0;
  int scrollY_ = 0;
};
