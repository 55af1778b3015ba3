#include "masterdata/code_list.h"

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/index_recovery.h"
#include "data/session.h"
#include "data/table.h"
#include "framework/dialog_bases.h"
#include "masterdata/core/code_records.h"
#include "masterdata/core/code_reports.h"
#include "masterdata/core/code_values.h"
#include "masterdata/core/masterdata_strings.h"
#include "masterdata/new_code_dialog.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"

using namespace masterdata;

namespace {

constexpr int kCaptionWarning = 52;

char HelpCharacter() {
  const char c = ProgramOption(4);
  return c == ' ' || c == '\0' ? '*' : c;
}

// The table is open on the dossier's general file in code order.
bool OpenOnC10(::Table* t) { return t != nullptr && t->UseShared(PathC10(), kC10Tag); }

}  // namespace

TWFichiersC10::TWFichiersC10(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns,
                             int ownSlot, int slotDistance, int partnerSlot)
    : CMDIBrowse(parent, title, columns, ownSlot, slotDistance, partnerSlot) {
  menuCommand = 0;
}

void TWFichiersC10::SetKind(char kind) {
  kind_ = FindCodeKind(kind);
  layout_ = FindLayout(kind);
  if (kind_ == nullptr || layout_ == nullptr) {
    kind_ = nullptr;
    return;
  }
  kindLetter = std::string(1, kind);
  keyWidth = kind_->codeWidth;
  rightsFunction = kind_->accessFunction;
  helpContext = kind_->helpTopic;
  menuCommand = kind_->command;
  reportPrefix = kind_->reportPrefix;
  ReportFields().SetFieldCount(kind_->reportFieldCount);
  printTitle = FileTitleForType(kindLetter.c_str());
  previewTitle = FillPlaceholder(LoadStr(kTextPreviewOf), printTitle);
  listName = kind_->listClass;
  codeIndex = BrowseCodeIndex{Cursor(), kC10Tag, kindLetter, kCodeField};
  opened_ = OpenOnC10(Cursor()) && OpenOnC10(ReportCursor()) && OpenOnC10(TableC10);
  if (opened_ && kind_->usesChart) opened_ = TableC20 != nullptr && TableC20->UseShared(PathC20(), "C20CODE");
  if (!opened_) return;
  long n = static_cast<long>(CountIndexEntries(*Cursor(), kC10Tag, 1, kindLetter.c_str()));
  if (n == 0) n = CountCodes(*Cursor(), kind);
  Store().totalRows = n;
}

void TWFichiersC10::SetupWindow() {
  CMDIBrowse::SetupWindow();
  if (kind_ == nullptr) {
    gui::MessageBeep(0);
    gui::MessageBox(this, UnknownKindMessage(kindLetter), LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  // A general file that cannot be opened closes the list without a word (the table keeps the engine's code).
  if (!opened_) {
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  if (Store().totalRows > 0 && Store().selected == 0) Store().selected = 1;
}

BrowseColumnTable TWFichiersC10::ColumnsOf(const KindLayout& layout) {
  const int n = static_cast<int>(layout.columns.size());
  BrowseColumnTable table = MakeColumnTable(n, 2);
  for (int k = 1; k <= n; ++k) {
    const ListColumn& c = layout.columns[static_cast<std::size_t>(k - 1)];
    DefineColumn(table, k, c.width, c.title, 'C', c.align, c.field, static_cast<std::uint32_t>(c.start),
                 static_cast<std::uint32_t>(c.length));
  }
  return table;
}

// ---- data source ----------------------------------------------------------------------------------------------

bool TWFichiersC10::OnKind(::Table& t) {
  return kind_ != nullptr && t.isOpen && !t.bof && !t.eof && t.recordNumber != 0 &&
         t.GetField(kKindField)[0] == kind_->kind;
}

bool TWFichiersC10::HasCurrentRecord(::Table* table) { return table != nullptr && OnKind(*table); }

void TWFichiersC10::Row(BrowseRows& rows, int i) {
  ::Table& t = *Cursor();
  BuildRowText(rows, i, static_cast<long>(t.recordNumber), !t.LiveHere().FoundOrNone());
}

void TWFichiersC10::ReloadRow(BrowseRows& rows, int i, long recno) {
  ::Table& t = *Cursor();
  if (!t.isOpen || !t.GoToRecord(recno).IsFound()) return;
  Row(rows, i);
}

void TWFichiersC10::FillRowsForward(BrowseRows& rows, int first, int count, long recno) {
  ::Table& t = *Cursor();
  if (!t.isOpen) return;
  if (recno != 0 && t.GoToRecord(recno).IsFound()) t.Skip(1);
  for (int i = first; i < first + count && i < static_cast<int>(rows.size()); ++i) {
    if (t.eof) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    if (!OnKind(t)) {
      for (int j = i; j < first + count && j < static_cast<int>(rows.size()); ++j) rows[static_cast<std::size_t>(j)].clear();
      return;
    }
    Row(rows, i);
    t.Skip(1);
  }
}

void TWFichiersC10::FillRowsFromFirst(BrowseRows& rows, int first, int count) {
  ::Table& t = *Cursor();
  if (kind_ == nullptr || !t.isOpen || !t.Find(kC10Tag, kindLetter.c_str()).IsFound()) {
    for (int i = first; i < first + count && i < static_cast<int>(rows.size()); ++i) rows[static_cast<std::size_t>(i)].clear();
    return;
  }
  FillRowsForward(rows, first, count, 0);
}

void TWFichiersC10::FillRowsFromLast(BrowseRows& rows, int last, int count) {
  if (Store().totalRows < count) return FillRowsFromFirst(rows, last - count + 1, count);
  ::Table& t = *Cursor();
  if (kind_ == nullptr || !t.isOpen) return;
  // The last record of the kind: one step back from the first key of the next letter.
  const std::string next(1, static_cast<char>(kind_->kind + 1));
  const Lookup past = t.FindNotBelow(kC10Tag, next.c_str());
  // Not read, the rows are not filled from another place of the table.
  if (past.IsRefused()) return FillRowsFromFirst(rows, last - count + 1, count);
  if (past.IsNotFound() || t.eof) t.GoBottom(kC10Tag);
  else t.Skip(-1);
  for (int i = last; i > last - count; --i) {
    if (i < 0 || i >= static_cast<int>(rows.size())) continue;
    if (!OnKind(t)) {
      for (int j = i; j > last - count; --j)
        if (j >= 0 && j < static_cast<int>(rows.size())) rows[static_cast<std::size_t>(j)].clear();
      return;
    }
    Row(rows, i);
    t.Skip(-1);
  }
}

std::string TWFichiersC10::GetCellText(int field, std::uint32_t start, std::uint32_t length, int) {
  ::Table& t = *Cursor();
  if (!t.isOpen || field < 1 || field > t.FieldCount()) return std::string(length, ' ');
  return SliceOf(t.GetField(field), static_cast<int>(start), static_cast<int>(length));
}

void TWFichiersC10::PositionOnRecord(long recno, int flag) {
  ::Table* t = flag != 0 ? TableC10 : Cursor();
  if (t != nullptr && t->isOpen) t->GoToRecord(recno);
}

void TWFichiersC10::SkipRecords(long count) {
  if (Cursor()->isOpen) Cursor()->Skip(count);
}

bool TWFichiersC10::SeekTypedKey(char c) {
  if (c == 0) return false;
  if (LocateRowByKey(Cursor(), TypeAheadChar(c), 1, 1, kCodeField)) return true;
  gui::MessageBeep(0);
  ClearTypeAhead();
  return false;
}

// ---- report ---------------------------------------------------------------------------------------------------

bool TWFichiersC10::PrepareReport() {
  if (layout_ == nullptr || !PrepareCodeReport(*ReportCursor(), *layout_, ReportFields(), LimitFrom, LimitTo))
    return false;
  LineTypeText = "A";
  ListLineCount = 0;
  return true;
}

void TWFichiersC10::ComputeLine() {
  if (layout_ == nullptr) return;
  ComputeCodeLine(*ReportCursor(), TableC20, *layout_, ReportFields());
  ++ListLineCount;
}

bool TWFichiersC10::NextRecord() {
  const bool more = kind_ != nullptr && NextCodeRecord(*ReportCursor(), kind_->kind, LimitTo);
  if (!more) LineTypeText = "Z";
  return more;
}

void TWFichiersC10::ClassifyLine() { LineTypeText = "S"; }

// ---- commands -------------------------------------------------------------------------------------------------

const gui::ResponseTable& TWFichiersC10::Table() {
  using namespace browse_cmd;
  static const gui::ResponseTable table = WithCopiesBetweenDossiers(&CMDIBrowse::Table())
                                              .Command(Nouveau, &TWFichiersC10::CmCreer)
                                              .Command(Annuler, &TWFichiersC10::CmAnnuler)
                                              .Command(Reactiver, &TWFichiersC10::CmReactiver)
                                              .Command(Modifier, &TWFichiersC10::CmModifier)
                                              .Command(Texte, &TWFichiersC10::CmTexte)
                                              .Command(ReCaler, &TWFichiersC10::CmRecaler)
                                              .Enable(Nouveau, &TWFichiersC10::CeCreer);
  return table;
}

void TWFichiersC10::CeCreer(gui::CommandEnabler& ce) { ce.Enable(!Busy() && HasAccessRight(rightsFunction, 2)); }

std::string TWFichiersC10::SelectedRowText() const {
  const int i = GetSelectedRowIndex();
  if (i == 0) return {};
  const std::string& row = Store().rows[static_cast<std::size_t>(i - 1)];
  return row.size() > 7 ? std::string(AllTrim(row.substr(7).c_str())) : std::string();
}

void TWFichiersC10::ShowNewCode(const std::string& code) {
  ++Store().totalRows;
  ShowRowCount();
  LocateCode(RTrim(code.c_str()));
  gui::PostCommand(GetHandle(), browse_cmd::Modifier);
}

void TWFichiersC10::CmCreer() {
  if (kind_ == nullptr || Busy() || !HasAccessRight(rightsFunction, 2)) return;
  const int width = kind_->codeWidth;
  const char kind = kind_->kind;
  std::string code(static_cast<std::size_t>(width), ' ');
  std::string from(static_cast<std::size_t>(width), ' ');
  TDDonNouv dialog(this, &code, kindLetter, TDDonNouv::kCodesDialog, &from);
  dialog.SetCreator([kind, width](const std::string& c, const std::string& f) {
    return CreateCodeRecord(*TableC10, kind, c, width, f);
  });
  if (dialog.Execute(kTaskModal) != gui::IDOK) return;
  ShowNewCode(code);
}

void TWFichiersC10::SetCancelled(bool cancel) {
  if (kind_ == nullptr || Busy() || !HasAccessRight(rightsFunction, 4)) return;
  const int i = GetSelectedRowIndex();
  const long recno = PositionOnSelectedRow(0);
  if (recno == 0) {
    gui::MessageBeep(0);
    return;
  }
  ::Table& t = *Cursor();
  const Lookup live = LiveOrSaid(t);
  if (live.IsRefused()) return;
  if (live.IsNotFound() != cancel) {
    const std::string text = SelectedRowText();
    if (!(cancel ? t.DeleteRecord(text.c_str(), 0) : t.RecallRecord(text.c_str(), 0))) return;
    UnlockRecord(t);
  }
  ReloadRow(Store().rows, i - 1, recno);
  if (!Busy()) RepaintRow(i);
}

void TWFichiersC10::CmAnnuler() { SetCancelled(true); }
void TWFichiersC10::CmReactiver() { SetCancelled(false); }

bool TWFichiersC10::LockSelectedForForm() {
  const long recno = PositionOnSelectedRow(1);
  if (recno == 0 || TableC10 == nullptr || TableC10->recordNumber != static_cast<std::uint32_t>(recno) ||
      !LiveOrSaid(*TableC10).IsFound() || !LockRecord(*TableC10, SelectedRowText().c_str(), 0)) {
    gui::MessageBeep(0);
    return false;
  }
  return true;
}

namespace {
// The lock taken for a form or the text editor that did not open on the record goes back, unless the form or
// the editor holds it.
void ReleaseUnusedLock(std::uint32_t recno, int formLockEntry) {
  if (TableC10 == nullptr || !TableC10->isOpen || !TableC10->GoToRecord(static_cast<long>(recno)).IsFound()) return;
  if (TableC10->IsLockedByMe() || FormRecordLocks[static_cast<std::size_t>(formLockEntry)] == recno) return;
  UnlockRecord(*TableC10);
}
}  // namespace

void TWFichiersC10::CmModifier() {
  if (kind_ == nullptr || menuCommand == 0 || Busy() || !HasAccessRight(rightsFunction, 3)) return;
  if (!LockSelectedForForm()) return;
  const std::uint32_t recno = TableC10->recordNumber;
  const std::string code = GetSelectedRowText();
  OpenPartnerForm(code, partnerSlot, menuCommand, 0);
  const bool formOnIt = RegistryChar(partnerSlot) == '1' && RegistryText(partnerSlot + 11, keyWidth) == code;
  if (!formOnIt && RegistryChar(ownSlot) != '2') ReleaseUnusedLock(recno, kind_->formLockEntry);
}

void TWFichiersC10::CmTexte() {
  if (kind_ == nullptr || Busy() || !HasAccessRight(rightsFunction, 3)) return;
  if (!LockSelectedForForm()) return;
  const std::uint32_t recno = TableC10->recordNumber;
  OpenRecordTextFromList("1", GetSelectedRowIndex());
  if (EditorLock.table != TableC10 || EditorLock.record != recno) ReleaseUnusedLock(recno, kind_->formLockEntry);
}

void TWFichiersC10::CmRecaler() {
  if (kind_ == nullptr || ownSlot <= 0 || keyWidth <= 0) return;
  const std::string raw = RegistryText(ownSlot + 11, keyWidth);
  if (IsBlank(raw)) return;
  const std::string code = RTrim(raw.c_str());
  ActivateBrowse();
  if (!LocateCode(code)) {
    gui::MessageBeep(0);
    const char first = code[0];
    const bool typedCode = ((first >= '0' && first <= '9') || (first >= 'A' && first <= 'Z')) &&
                           code.find(HelpCharacter()) == std::string::npos;
    // Creating the typed code needs the create right, as "Créer" does.
    if (typedCode && HasAccessRight(rightsFunction, 2)) {
      const std::string question =
          FillPlaceholders(LoadStr(kMsgCreateTypedCode), {CodeLabelForType(kindLetter.c_str()), code});
      if (gui::MessageBox(this, question, LoadStr(kCaptionWarning), gui::MB_YESNO | gui::MB_ICONQUESTION) ==
          gui::IDYES) {
        const CreateResult made = CreateCodeRecord(*TableC10, kind_->kind, code, kind_->codeWidth, "");
        if (made.outcome == CreateOutcome::Created) ShowNewCode(code);
        else if (made.outcome == CreateOutcome::Exists) LocateCode(code);
        else if (!made.refusal.empty())
          gui::MessageBox(this, made.refusal, LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
      }
    }
  }
  SetRegistryText(ownSlot + 11, keyWidth, "");
}

// ---- the eight lists ------------------------------------------------------------------------------------------

// The slots of a kind (its row of the kind table).
const CodeKind& KindRow(char letter) { return *FindCodeKind(letter); }

#define MERLON_CODE_LIST(Class, letter)                                                                        \
  Class::Class(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns)            \
      : TWFichiersC10(parent, title, columns, KindRow(letter).listSlot, KindRow(letter).SlotDistance(),       \
                      KindRow(letter).formSlot) {                                                              \
    SetKind(letter);                                                                                           \
  }
MERLON_CODE_LIST(TWDonBroEtablissements, 'E')
MERLON_CODE_LIST(TWDonBroJournaux, 'J')
MERLON_CODE_LIST(TWDonBroCollectifs, 'B')
MERLON_CODE_LIST(TWDonBroBanques, 'Q')
MERLON_CODE_LIST(TWDonBroLibelles, 'L')
MERLON_CODE_LIST(TWDonBroVentilations, 'V')
MERLON_CODE_LIST(TWDonBroModeles, 'M')
MERLON_CODE_LIST(TWDonBroCodesTva, 'T')
#undef MERLON_CODE_LIST

std::string TWDonBroLibelles::GetCellText(int field, std::uint32_t start, std::uint32_t length, int column) {
  // Column 5, the type: the label type's text of character 8.
  if (column == 5) return LabelTypeCell(TWFichiersC10::GetCellText(field, start, 1, column)[0]);
  return TWFichiersC10::GetCellText(field, start, length, column);
}

TWFichiersC10* MakeCodeList(gui::MDIClient* parent, char kind) {
  const KindLayout* layout = FindLayout(kind);
  if (layout == nullptr) return nullptr;
  const BrowseColumnTable columns = TWFichiersC10::ColumnsOf(*layout);
  const std::string title = FileTitleForType(std::string(1, kind).c_str());
  switch (kind) {
    case 'E': return new TWDonBroEtablissements(parent, title, &columns);
    case 'J': return new TWDonBroJournaux(parent, title, &columns);
    case 'B': return new TWDonBroCollectifs(parent, title, &columns);
    case 'Q': return new TWDonBroBanques(parent, title, &columns);
    case 'L': return new TWDonBroLibelles(parent, title, &columns);
    case 'V': return new TWDonBroVentilations(parent, title, &columns);
    case 'M': return new TWDonBroModeles(parent, title, &columns);
    case 'T': return new TWDonBroCodesTva(parent, title, &columns);
    default: return nullptr;
  }
}
