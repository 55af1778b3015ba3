// CMDIBrowse: the base of every list window and report window. It shows a
// page of rows in fixed columns of characters, keeps only the visible rows,
// and reads them through its virtual data-source operations, which each
// concrete list implements over its tables. The base owns the column layout,
// the row store, keys and mouse, painting, the refresh timer, the lookup
// side of the open-window registry and the report-field store.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/browse_columns.h"
#include "framework/ordering_table.h"
#include "framework/row_store.h"
#include "platform/gui/custom_control.h"
#include "platform/gui/dc.h"
#include "platform/gui/mdi.h"
#include "resources/command_ids.h"
#include "runtime/report_fields.h"

class Table;
class BrowseView;

// Commands of the list windows.
namespace browse_cmd {
using child_command::Quitter;
using child_command::QuitterGrid;
using child_command::Nouveau;
using child_command::Annuler;
using child_command::Reactiver;
using child_command::Visualiser;
using child_command::FinVisualisation;
using child_command::Imprimer;
using child_command::Modifier;
using child_command::Chercher;
using child_command::ChercherEncore;
using child_command::Rafraichir;
using child_command::RafraichirTotal;
using child_command::RenvoyerCode;
using child_command::CopierCode;
using child_command::CopierTableau;
using child_command::AjouterDepuis;
using child_command::AjouterVers;
using child_command::ReCaler;
using child_command::LigneSuivante;
using child_command::AllerAuCode;
using child_command::Entree;
using child_command::Texte;
}  // namespace browse_cmd

constexpr unsigned kBrowseRefreshTimer = 1100;
constexpr int kBrowseMaxRefreshSeconds = 65;
constexpr int kBrowseToolbarWords = 20;

// Records another window has just added to a list's table; the next full
// refresh (RafraichirTotal) adds them to the list's row count and clears the count.
extern long PendingRowCount;
// The search text of the word searches ("Chercher"); '&' or '|' in it makes
// FindFolded look for any of the given words.
extern std::string BrowseSearchText;

// Clock of the type-ahead buffer in milliseconds (empty: the system's tick
// count); tests set their own.
extern std::function<std::uint32_t()> BrowseTickSource;

// Refresh interval of dossier constant 025: seconds, 0 when not a number,
// at most 65.
int BrowseRefreshInterval();

// Word search helpers of the concrete lists' "Chercher".
// Upper-cases each text and turns '^' into a blank; with dossier constant
// 064 beginning with 'O', accented capitals become their base letters.
void FoldAccentsUpper(std::vector<std::string>& texts);
// True when the text (upper-cased and folded) holds one of the words (when
// the search text carries '&' or '|') or the trimmed search text, folded the
// same way. An empty text or search text never matches.
bool FindFolded(const std::vector<std::string>& words, const std::string& text);

// Asks the main window for the record-text window (DonneesTexte) of a record reference: the file designation,
// the kind letter and the code, laid out as the registry keeps it from position 3830 (`keyLength` characters of it
// name the record). The window of the same record comes forward; one of another record is asked to close and
// `repost` is posted to `asker` to ask again once it is gone; otherwise the reference is stored with the flag
// "2" at 3819 and the command sent. A request nobody took leaves the flag blank again.
void RequestRecordText(const std::string& reference, int keyLength, gui::Handle asker, unsigned repost);

// Cuts a text wider than `width` pixels for a cell: "abc..." (see the .cpp).
// `measure` gives the pixel width of a text.
template <class Measure>
std::string FitTextToWidth(const std::string& text, int width, Measure measure) {
  if (text.empty() || measure(text.substr(0, 1)) > width) return {};
  std::size_t n = 0;
  while (n < text.size() && measure(text.substr(0, n + 1)) <= width) ++n;
  if (n >= 4) return text.substr(0, n - 3) + "...";
  if (n == 3) return text.substr(0, 1) + "..";
  if (n == 2) return text.substr(0, 1) + ".";
  return ".";
}

// Where a code list finds its codes in its table: the tag in code order, the
// key prefix written before the code (the record-kind letter of a code list)
// and the record's first field of the code. A concrete list sets it; "Aller
// au code" and "ReCaler" then search the whole table through it.
struct BrowseCodeIndex {
  ::Table* table = nullptr;
  std::string tag;
  std::string prefix;
  int firstField = 1;
};

class CMDIBrowse : public gui::MDIChild {
 public:
  // `columns` may be null (report windows): one empty column entry then.
  CMDIBrowse(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns,
             int ownSlot = 0, int slotLength = 0, int partnerSlot = 0);
  ~CMDIBrowse() override;

  // ---- virtual operations (data source, commands, painting, report hooks)
  virtual void ReturnSelectedCode();
  virtual void CopySelectedCode();
  virtual void CopyTableToClipboard();
  virtual void BeforeRefresh() {}
  virtual void SetRowStripe() { stripe_ = true; }
  virtual int GetCellTextColor(int row, int column) { return 0; }
  virtual const gui::Font& GetCellFont(int row, int column, const gui::Font& font) { return font; }
  virtual bool SeekTypedKey(char c);
  // Key of the current record, mapped through the ordering table.
  virtual std::string GetRecordKey(::Table* table, int start, int length, int firstField);
  virtual bool HasCurrentRecord(::Table* table);
  virtual void ReloadRow(BrowseRows& rows, int i, long recno) {}
  virtual void FillRowsForward(BrowseRows& rows, int first, int count, long recno) {}
  virtual void FillRowsFromFirst(BrowseRows& rows, int first, int count) {}
  virtual void FillRowsFromLast(BrowseRows& rows, int last, int count) {}
  virtual std::string GetCellText(int field, std::uint32_t value1, std::uint32_t value2, int column);
  virtual void PositionOnRecord(long recno, int flag) {}
  virtual void SkipRecords(long count) {}
  virtual bool PrepareReport() { return false; }
  virtual void InitReport() {}
  virtual void ComputeLine() {}
  virtual bool NextRecord() { return false; }
  virtual void ClassifyLine() {}
  virtual void DefaultAction();
  // The command F12 posts to the list: "Modifier"; a list that saves its work rather than modify a record
  // gives its own.
  virtual unsigned F12Command() const;
  virtual std::string GetCodeLabel(const std::string& code) { return {}; }
  virtual std::string GetCodeValue(const std::string& code) { return {}; }
  // A template's field write, for a list whose AllowFieldUpdates is set: `text` into field `field`
  // of `table`'s current record, written as the list's own form writes it; false when refused, with
  // why (empty: the table's `result` says it). No list but the raw table browser writes.
  virtual bool WriteReportField(::Table& table, int field, const std::string& text, std::string& why) { return false; }

  // ---- rows
  // Row i := record number, then each column's cell (or marker).
  void BuildRowText(BrowseRows& rows, int i, long recno, bool flagged);
  int GetSelectedRowIndex() const;           // 1..rows per page, 0 none
  std::string SelectedRow() const;           // the selected row's text, empty when none is visible
  std::string GetSelectedRowText() const;    // the selected row's code (key width), blanks when none
  long PositionOnSelectedRow(int flag);      // its record made current; 0 when none
  void InvalidateSelectedRow();
  // Last top + 1, scroller sizes and the row count in the status bar.
  void ShowRowCount();
  std::string RowCountText() const;
  void SelectRow(long rank, long firstRank);

  // ---- moves of the page
  void LineUp();
  void LineDown();
  void PageUp();
  void PageDown();
  void GoFirst();
  void GoLast();
  void ThumbTo(int pixels);

  // ---- search
  // Adds a typed character to the type-ahead buffer (emptied when full or
  // when the typing paused too long) and returns the buffer.
  const std::string& TypeAheadChar(char c);
  void ClearTypeAhead() { typeAhead_.clear(); }
  const std::string& TypeAheadText() const { return typeAhead_; }
  // Brings the record whose key begins with `search` on the page and selects
  // its row. The key of a record is GetRecordKey (table, keyStart, length of
  // the search, firstField); the code stands in the row from character
  // position + 7. True when a visible row matches.
  bool LocateRowByKey(::Table* table, const std::string& search, int keyStart, int position, int firstField);
  // The same for a list shown in physical record order: the record numbers (zero-filled to 6 digits, as the rows
  // begin with them) are compared with `number` while the table is walked forward or backward from the first
  // visible row; the page is filled from there and the row of that record selected. True when it is on the page.
  bool ScrollToRecordNumber(::Table* table, const std::string& number);
  // "Aller au code": asks for a code until `find` finds it (upper-cased and
  // trimmed; `find` shows it, with SelectRow and LocateRowByKey) or the user
  // gives up; an unknown code beeps and asks again with "Code inconnu: ".
  void GoToCodeDialog(const std::function<bool(const std::string& code)>& find);
  // Asks for a code (the input dialog); false on cancel. Lists may replace it.
  virtual bool AskCode(const std::string& caption, std::string& code);

  // ---- report of the list: the preview and print commands run the report-choice dialog, then PrepareReport,
  // then the preview or the printout (BrowseServices); the template interpreter then calls the report hooks.
  void CmVisualiser();
  void CmImprimer();
  // "Ajouter d'un Autre Dossier" (AjouterDepuis, create right) and "Ajouter vers un AutreDossier"
  // (AjouterVers, right 7 and a visible selected row). The base does not offer them: only the lists whose table
  // is built on WithCopiesBetweenDossiers do (the code lists, the chart of accounts, the analytic sections).
  void CmAjouterDUnAutreDossier();
  void CmAjouterVersAutreDossier();
  // Opens the record-text window of the selected row's record (row 1-based, 0 = none: a beep), with the file
  // designation ("1" C10, "2" C20, "3" C30 ...), the list's kind letter and the row's code. False after a beep.
  bool OpenRecordTextFromList(const std::string& designation, int row);

  // ---- refresh
  void CmRafraichir();
  void CmRafraichirTotal();
  // RafraichirTotal's body; true when the rows changed (and were repainted).
  bool RefreshTotal();
  // One tick of the refresh timer.
  void RefreshTick();

  // ---- commands
  void CmQuitter();
  void CmQuitterGrid();
  void CmFinVisualisation();
  void CmEntree();
  void CmRenvoyerCode() { ReturnSelectedCode(); }
  // "ReCaler": the list comes forward and shows the code written in
  // its slot (by a form's lookup, or before the list opened).
  void CmReCaler();
  // Selects the row of the first record whose code begins with `code`;
  // false when there is none. With a code index the whole table is
  // searched (ShowCode); without one, the visible page.
  virtual bool LocateCode(const std::string& code);
  // Shows the first record whose code begins with `code` on the code index:
  // sought behind the prefix, its rank in the index counted from the
  // prefix's first entry (CountIndexEntries), the page brought there
  // (SelectRow) and its row selected (LocateRowByKey). False when the table
  // has no such code or the list no code index.
  bool ShowCode(const std::string& code);
  void CmCopierCode() { CopySelectedCode(); }
  void CmCopierTableau() { CopyTableToClipboard(); }
  // "Aller au code" (AllerAuCode, F8) on the code index; a list without one beeps.
  void CmAllerAuCode();
  void CopySelectedCodeFrom(int position, int length);
  bool PutTextOnClipboard(const std::string& text);
  void ActivateBrowse();
  void OpenPartnerForm(const std::string& key, int formSlot, unsigned command, int markSlot = 0);
  static std::string VersionText();
  // The text of the page as CopyTableToClipboard puts it.
  std::string PageAsText() const;
  // Context menu ids in order (0 = separator).
  std::vector<unsigned> ContextMenuIds() const;

  // ---- painting
  // Draws the list on any device context of the client size.
  void DrawList(gui::DC& dc, int width, int height);
  // Writes a picture of the list (client area) as PNG.
  bool SaveSnapshot(const std::string& path);

  // ---- handlers (public so that tests can drive them as the user would)
  void EvKeyDown(int vk, unsigned repeat, unsigned flags) override;
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;
  void EvLButtonDown(unsigned modKeys, gui::Point p) override;
  void EvLButtonUp(unsigned modKeys, gui::Point p) override;
  void EvLButtonDblClk(unsigned modKeys, gui::Point p) override;
  void EvRButtonDown(unsigned modKeys, gui::Point p) override;
  void EvMouseMove(unsigned modKeys, gui::Point p) override;
  void EvMouseWheel(unsigned modKeys, int delta, gui::Point p) override;
  void EvSize(int sizeType, int width, int height) override;
  void EvSetFocus(gui::Handle lost) override;
  void EvTimer(unsigned id) override;
  void EvVScroll(int code, int pos);
  void EvHScroll(int code, int pos);
  // Pointer left the client area during a drag.
  void EvNCMouseMove();
  bool CanClose() override;
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool EvCommand(unsigned id) override;

  // ---- state
  BrowseRowStore& Store() { return store_; }
  const BrowseRowStore& Store() const { return store_; }
  const BrowseColumnTable& Columns() const { return columns_; }
  int ColumnCountOf() const { return ColumnCount(columns_); }
  // The declared column shown at position k (0 when none), and the text of a declared column in a row text, as wide
  // as the column (rows begin with the record number's 6 characters; a column without a field is 1 wide).
  int DeclaredAt(int k) const;
  std::string Cell(const std::string& row, int declared) const;
  // Reads the visible rows of a record again and repaints them.
  void ShowRecordAgain(long recno);
  bool HasColumns() const { return ColumnCount(columns_) > 0; }
  int RowLength() const { return static_cast<int>(columns_[0].value2); }
  ::Table* GetTable(int i) { return tables_[static_cast<std::size_t>(i)].get(); }
  const OrderingTable& Ordering() const { return ordering_; }
  ReportFieldTable& ReportFields() { return reportFields_; }
  BrowseView* View() const { return view_; }
  gui::Rect ClientArea() const;
  // Row height and character width of the list font, in pixels.
  static int RowHeightPixels();
  static int CharWidthPixels();

  bool doubleBuffer = true;
  long helpContext = 85;
  std::vector<std::uint32_t> toolbarCommands;  // word 0 the count, then the ids
  int rightsFunction = 0;
  int keyWidth = 0;
  std::string listName;
  bool keepLayout = true;
  int ownSlot = 0;
  int slotLength = 0;
  int partnerSlot = 0;
  int refreshInterval = 0;
  bool stripe_ = false;
  BrowseCodeIndex codeIndex;
  // The kind letter of a code list's records ("" for other lists).
  std::string kindLetter;

  // ---- report state, written by the report-choice dialogs and read by the report hooks and the templates
  std::string reportPrefix;         // the list's user-defined reports begin with it ("DB-"); empty: no report
  std::string previewTitle;         // titles of the preview and of the printout (empty: the window's caption)
  std::string printTitle;
  std::string ReportCode = std::string(18, ' ');  // 1-10 the report code, 11-14 the first page, 15-18 the last
  std::string LineTypeText;         // its first character is the line type of the report's current line
  std::string ChosenLayoutText;     // at most 20 characters, empty for the standard layout
  std::string LimitFrom;            // the code limits of the report, empty when there is none
  std::string LimitTo;
  int LimitsMode = 0;               // how the choice dialogs ask for the limits (1: no code range; else codes)
  char ListTypeLetter = ' ';        // set by the chosen layout
  long ListLineCount = 0;           // lines of the report computed so far
  int ChoiceOptionsLevel = 3;       // 0: no page range in the choice dialogs; 1 or less: no "Limiter" button
  int MargeLib23 = 20;              // set by the template statement [MargeLib23=]
  bool AllowFieldUpdates = false;   // the templates may write into the fields (the raw table browser's reports)
  bool ReportFieldsDeclared() const { return reportFields_.Declared(); }

  // Second command of the toolbar list (run by Enter), 0 when none.
  unsigned SecondToolbarCommand() const;
  // The asking window of a lookup is still registered at its position.
  bool LookupAskerAlive() const;
  // The partner edit form is open (its flag is '1').
  bool PartnerOpen() const;
  // "Visualiser" or "Imprimer" (`command`) has something to run here: layouts of the list (its report prefix), or a
  // window's own report. A list without is not offered them (menu, keys, tool bar, pop-up).
  bool HasReport(unsigned command) const;
  bool Busy() const;  // print run in progress or minimised
  // Whether a close may go on: not during a print run; a minimised list is brought back first.
  bool ReadyToClose();

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }
  // A response table on `base` that adds the two copies between dossiers, with their enablers.
  static gui::ResponseTable WithCopiesBetweenDossiers(const gui::ResponseTable* base);
  // The command's enabler in the list's response table allows it now (true when it has none).
  bool Offered(unsigned command);

 protected:
  void SetupWindow() override;
  // A list closed lets go of its tables at once, not when it is deleted later: the command that
  // closed it may take them alone straight after.
  void CleanupWindow() override;
  void EvPaint() override {}
  void Paint();

  // Enablers.
  void CeVisualiser(gui::CommandEnabler& ce);
  void CeImprimer(gui::CommandEnabler& ce);
  void CeAnnuler(gui::CommandEnabler& ce);
  void CeReactiver(gui::CommandEnabler& ce);
  void CeModifier(gui::CommandEnabler& ce);
  void CeRenvoyer(gui::CommandEnabler& ce);
  void CeCopier(gui::CommandEnabler& ce);
  void CeNever(gui::CommandEnabler& ce);
  void CeHasRows(gui::CommandEnabler& ce);
  void CeAjouterDepuis(gui::CommandEnabler& ce);
  void CeAjouterVersAutreDossier(gui::CommandEnabler& ce);

  void Repaint();
  void RepaintRow(int index);  // 1-based visible row
  void UpdateScroller();
  void UpdateTooltip();
  void ReadSavedLayout();
  void SaveLayout();
  void ArmTimer();
  bool SelectedIsOrdinary() const;
  bool RowHasText(int index1) const;  // 1-based

 private:
  friend class BrowseView;
  // The walk LocateRowByKey and ScrollToRecordNumber share: rows and records compared by their keys.
  bool ScrollToWanted(::Table* table, const std::string& wanted, const std::function<std::string(int row)>& rowKey,
                      const std::function<std::string()>& recordKey);
  void MoveDone(long oldTop);
  void FillAfterResize(int oldRows);
  int ColumnAtX(int x) const;
  int BorderAtX(int x) const;
  void EndDrag(bool apply, int x);
  void DrawDragMark(int x);

  std::unique_ptr<::Table> tables_[3];
  BrowseColumnTable columns_;
  BrowseColumnTable declaredColumns_;
  BrowseRowStore store_;
  OrderingTable ordering_;
  ReportFieldTable reportFields_;
  BrowseView* view_ = nullptr;
  std::string typeAhead_;
  std::uint32_t typeAheadStart_ = 0;
  bool sized_ = false;
  int retryState_ = 0;
  // A key its view passed on reaching the list's own window: let go by, as the view's call handled it.
  bool PassedOnByView(int vk, bool down);
  bool keyDefault_ = false;  // the key goes on to the default processing
  int passedDown_ = 0;       // the key press (release) the view just left to the default processing
  int passedUp_ = 0;
  bool enterDown_ = false;   // Enter was pressed in the list and not yet released
  int reportKeyDown_ = 0;    // F5 or F6 pressed in the list (not taken by an accelerator) and not yet released
  bool escapeDown_ = false;  // Escape likewise, pressed while no print run or search was going on
  // Column drag in the header.
  enum class Drag { None, Resize, Move } drag_ = Drag::None;
  int dragColumn_ = 0;
  int dragStartX_ = 0;
  int dragX_ = 0;
};

// The surface of a list: fills the list's client area, carries its scroll
// bars and passes everything it receives to the list.
class BrowseView : public gui::CustomControl {
 public:
  explicit BrowseView(CMDIBrowse* owner);

 protected:
  void EvPaint() override;
  void EvKeyDown(int vk, unsigned repeat, unsigned flags) override;
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;
  void EvLButtonDown(unsigned modKeys, gui::Point p) override { owner_->EvLButtonDown(modKeys, p); }
  void EvLButtonUp(unsigned modKeys, gui::Point p) override { owner_->EvLButtonUp(modKeys, p); }
  void EvLButtonDblClk(unsigned modKeys, gui::Point p) override { owner_->EvLButtonDblClk(modKeys, p); }
  void EvRButtonDown(unsigned modKeys, gui::Point p) override { owner_->EvRButtonDown(modKeys, p); }
  void EvMouseMove(unsigned modKeys, gui::Point p) override { owner_->EvMouseMove(modKeys, p); }
  void EvMouseWheel(unsigned modKeys, int delta, gui::Point p) override { owner_->EvMouseWheel(modKeys, delta, p); }
  void EvSetFocus(gui::Handle lost) override;
  void EvKillFocus(gui::Handle gained) override;
  void EvSize(int sizeType, int width, int height) override;
  void EvVScroll(int code, int pos) override { owner_->EvVScroll(code, pos); }
  void EvHScroll(int code, int pos) override { owner_->EvHScroll(code, pos); }

 private:
  CMDIBrowse* owner_;
};
