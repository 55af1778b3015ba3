#include "entry/lines_window.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/index_recovery.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_results.h"
#include "posting/entry_state.h"
#include "posting/line_changes.h"
#include "posting/new_lines.h"
#include "entry/entry_commands.h"
#include "entry/entry_search_dialog.h"
#include "entry/headers_list.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/cursor.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/messagebox.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/child_status.h"
#include "shell/mdi_client.h"
#include "shell/progress.h"
#include "shell/registry.h"

using namespace entry;

namespace {

using L = LigneEcriture;

namespace cmd {
using child_command::ReCaler;
using child_command::AllerAuCode;
using child_command::Chercher;
using child_command::ChercherEncore;
using child_command::ChercherMontant;
using child_command::LigneRestore;
using child_command::LignePrecedente;
using child_command::LigneSuivante;
using child_command::CreerLigne;
using child_command::CreerPiece;
using child_command::Annuler;
using child_command::Reactiver;
using child_command::Modifier;
using child_command::Deplacer;
using child_command::Copier;
using child_command::Rafraichir;
using child_command::RafraichirTotal;
using child_command::Quitter;
// The next slice of the shading walk (the window's own, posted to itself).
constexpr unsigned Ombrer = 24411;
}  // namespace cmd

constexpr int kEntryRightsFunction = 14;
constexpr int kAmountWidth = 17;
constexpr long kShadingSlice = 20000;
constexpr int kWordPrompt = 796;

// The texts of the window and of its messages; a "%s" of a text takes the value its comment names.
constexpr int kTitleAttention = 52;
constexpr int kTitleLines = 16010;          // the journal, the month
constexpr int kTitlePreview = 14109;        // the printout's title
constexpr int kColumnPiece = 23010, kColumnDay = 23011, kColumnDistribution = 23012, kColumnAccount = 22516;
constexpr int kColumnLabel = 23014, kColumnDueDate = 23018, kColumnLabel2 = 23019, kColumnEntry = 23020;
constexpr int kColumnDebit = 23015, kColumnCredit = 23016, kColumnLetter = 23017;  // the currency's letter
constexpr int kStatusBalance = 32412;  // the account's code and name, its balance, the currency
constexpr int kLabelEuros = 2277, kLabelFrancs = 2278;
constexpr int kMsgHeaderMissing = 16007;    // the journal's code, the month
// The header the disk would not read (the journal's code, the month, the file and the error).
constexpr int kMsgEntryUnread = 38150;
constexpr int kMsgUnbalancedFrancs = 178, kMsgUnbalancedEuros = 32400;  // the journal, the month, the balance
constexpr int kTitleJournalSearch = 16017;
constexpr int kTitleWordSearch = 16016;     // the journal, the month, the year
constexpr int kMsgSearchInterrupted = 16018;
constexpr int kMsgWordsNotFound = 14188;    // the words sought
constexpr int kMsgRoundingLineFixed = 16012;
constexpr int kMsgGroupTooLarge = 16013, kMsgNumberTooLarge = 16014, kMsgDraftFullNoLine = 16217;
constexpr int kMsgPieceCounterFull = 16015;
// "Créer Ligne" whose selected line the disk would not read (the file and the error).
constexpr int kMsgSelectedLineUnread = 38107;
// The accented capitals and the letters they fold to, as the list's word search compares them.
constexpr int kFoldAccented = 2869, kFoldPlain = 2870;

// The key just after every key that begins with the prefix: its last character one higher.
std::string AfterPrefix(std::string prefix) {
  if (!prefix.empty()) prefix.back() = static_cast<char>(static_cast<unsigned char>(prefix.back()) + 1);
  return prefix;
}

// The loose fold of the word scan's quick test: capitals, accented letters as their base
// letter, "^" as a blank, whatever dossier constant 064 says. Every text the exact test
// (FindFolded) matches also matches once both sides are folded this way.
class LooseFold {
 public:
  LooseFold() {
    const std::string from = LoadStr(kFoldAccented), to = LoadStr(kFoldPlain);
    for (int c = 0; c < 256; ++c) {
      const char ch[2] = {static_cast<char>(c), 0};
      char u = c == 0 ? 0 : Upper(ch)[0];
      const std::size_t k = from.find(u);
      if (k != std::string::npos && k < to.size()) u = to[k];
      if (u == '^') u = ' ';
      table_[static_cast<std::size_t>(c)] = u;
    }
  }
  std::string operator()(const std::string& text) const {
    std::string out(text);
    for (char& c : out) c = table_[static_cast<unsigned char>(c)];
    return out;
  }

 private:
  std::array<char, 256> table_{};
};

// A look-up of the lines the system could not read, said in a box: never a code unknown nor a word not found.
void SayUnread(gui::Window* owner, const ::Table& t, const Lookup& answer) {
  gui::MessageBeep(0);
  gui::MessageBox(owner, UnreadText(t.tablePath, answer.result()), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
}

}  // namespace

// ---- construction -------------------------------------------------------------------------------

TWSaiBroDetJournaux::TWSaiBroDetJournaux(gui::MDIClient* parent, const std::string& title,
                                         const BrowseColumnTable* columns, int ownSlot, int partnerSlot)
    : LineRangeBrowse(parent, title, columns, ownSlot, kSlotLength, partnerSlot) {
  rightsFunction = kRightsFunction;
  keyWidth = kKeyWidth;
  key_ = RegistryText(posting::kPendingKeyPosition, posting::kJournalMonthKeyLength);
  SetRegistryText(ownSlot + posting::kSlotKeyOffset, posting::kJournalMonthKeyLength, key_);
  prefix_ = posting::LinePrefix(key_);
  slot_ = posting::SlotIndexOf(ownSlot);
  if (slot_ >= 0) SlotModelText[static_cast<std::size_t>(slot_)].clear();
  mainEuro_ = TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N';
  euroOnly_ = DossierIsEuroOnly();
  if (posting::EnsureGeneralFile()) journal_ = posting::ReadJournal(*TableC10, posting::JournalOf(key_));
  EntryCurrencyFlag = mainEuro_;
  RoundingLineFlag = 0;
  toolbarCommands = {12,          cmd::Quitter, cmd::Modifier,    cmd::Chercher, cmd::ChercherEncore,
                     cmd::CreerPiece, cmd::CreerLigne, cmd::LigneSuivante, cmd::Annuler, cmd::Reactiver,
                     cmd::Deplacer, cmd::Copier, cmd::ChercherMontant};
  listName = euroOnly_ ? "TWSaiBroDetJournauxEuros" : "TWSaiBroDetJournaux";
  reportPrefix = "SS-";
  printTitle = FileTitleForType("5");
  previewTitle = FillPlaceholder(LoadStr(kTitlePreview), printTitle);
  SetAccelerators(kAccelerators);

  // Its own cursors on the draft and the sort file, and one for the walk of the pieces.
  shadingCursor_ = std::make_unique<::Table>();
  walkCursor_ = std::make_unique<::Table>();
  opened_ = posting::EnsureGeneralFile() && Lines()->OpenShared(PathC50(), L::kCodeTag) && Sorts()->OpenShared(PathC60(), LigneTri::kRecordTag) &&
            shadingCursor_->OpenShared(PathC50(), L::kCodeTag) && walkCursor_->OpenShared(PathC50(), L::kCodeTag);
  // The totals of cancelled and reactivated lines go to the chart and the sections.
  if (opened_ && TableC20 != nullptr && !TableC20->isOpen) opened_ = TableC20->UseShared(PathC20(), "C20CODE");
  if (opened_ && TableC30 != nullptr && !TableC30->isOpen) TableC30->UseShared(PathC30(), "C30CODE");
  if (opened_) {
    Store().totalRows = posting::CountJournalLines(*Lines(), prefix_);
    shading_.Restart(shadingCursor_.get(), prefix_);
  }
}

TWSaiBroDetJournaux::~TWSaiBroDetJournaux() {
  ReleaseHeader();
  if (posting::ActiveLinesWindowPosition() == ownSlot) posting::SetActiveLinesWindowPosition(0);
  // The headers list shows the totals this entry changed.
  if (RegistryChar(posting::kHeadersListFlag) == '1') {
    const gui::Handle list = SlotHandle(posting::kHeadersListFlag);
    if (list != 0 && gui::Window::FromHandle(list) != nullptr) gui::SendCommand(list, cmd::RafraichirTotal);
  }
}

void TWSaiBroDetJournaux::CleanupWindow() {
  // Its own cursors on the draft file go with the list's tables.
  if (shadingCursor_) shadingCursor_->CloseTable(true);
  if (walkCursor_) walkCursor_->CloseTable(true);
  LineRangeBrowse::CleanupWindow();
}

void TWSaiBroDetJournaux::ReleaseHeader() {
  if (!headerHeld_ || TableC10 == nullptr || !TableC10->isOpen) return;
  headerHeld_ = false;
  // A header not read keeps its lock until the general file's cursor closes: said, naming the file.
  const Lookup header = posting::FindHeader(*TableC10, key_, posting::kDraftSource);
  if (header.IsFound()) UnlockRecord(*TableC10);
  else ReportRefusedLookup(*TableC10, header, "C10CODE", key_.c_str());
}

std::string TWSaiBroDetJournaux::TitleOf(const std::string& journalMonth) {
  return FillPlaceholders(LoadStr(kTitleLines),
                          {posting::JournalOf(journalMonth), posting::MonthDisplay(journalMonth)});
}

BrowseColumnTable TWSaiBroDetJournaux::DeclaredColumns(bool mainEuro, bool euroOnly) {
  const char main = mainEuro ? 'E' : 'F', other = mainEuro ? 'F' : 'E';
  const int mainAmount = mainEuro ? L::BMONTANTE : L::BMONTANTF, otherAmount = mainEuro ? L::BMONTANTF : L::BMONTANTE;
  const int mainLetter = mainEuro ? L::BLETE : L::BLET, otherLetter = mainEuro ? L::BLET : L::BLETE;
  // An amount's or a letter's caption with the letter of its currency.
  const auto WithLetter = [](int caption, char letter) {
    return FillPlaceholder(LoadStr(caption), std::string(1, letter));
  };
  BrowseColumnTable t = MakeColumnTable(euroOnly ? kEuroOnlyLabel2 : kDueDate, kBnum);
  DefineColumn(t, kMarker, 2, "", 'C', 'C', 0, 0, 0);
  // The line's key, kept in the row (characters 8-31) and not shown.
  DefineColumn(t, kBcle, 0, "BCLE", 'C', 'G', L::BCLE, 1, 1);
  DefineColumn(t, kBmois, 0, "BMOIS", 'C', 'G', L::BMOIS, 1, 4);
  DefineColumn(t, kBjal, 0, "BJAL", 'C', 'G', L::BJAL, 1, 3);
  DefineColumn(t, kBpiece, 0, "BPIECE", 'C', 'G', L::BPIECE, 1, 6);
  DefineColumn(t, kBrec, 0, "BREC", 'C', 'G', L::BREC, 1, 6);
  DefineColumn(t, kBnum, 0, "BNUM", 'C', 'G', L::BNUM, 1, 4);
  DefineColumn(t, kPiece, 8, LoadStr(kColumnPiece), 'C', 'G', L::BPIECE, 1, 6);
  DefineColumn(t, kDay, 5, LoadStr(kColumnDay), 'C', 'C', L::BJOUR, 1, 2);
  DefineColumn(t, kDistribution, 5, LoadStr(kColumnDistribution), 'C', 'C', L::BVENT, 1, 2);
  DefineColumn(t, kAccount, 10, LoadStr(kColumnAccount), 'C', 'G', L::BCODE, 1, 8);
  DefineColumn(t, kLabelCode, 0, "BCLIB", 'C', 'G', L::BCLIB, 1, 1);
  DefineColumn(t, kLabelText, 8, "", 'C', 'G', L::BCLIB, 1, 7);
  DefineColumn(t, kLabel, 26, LoadStr(kColumnLabel), 'C', 'G', L::BLIB, 1, 25);
  DefineColumn(t, kDebit, 15, WithLetter(kColumnDebit, main), 'C', 'D', mainAmount, 1, kAmountWidth);
  DefineColumn(t, kCredit, 15, WithLetter(kColumnCredit, main), 'C', 'D', mainAmount, 1, kAmountWidth);
  DefineColumn(t, kLetter, 5, WithLetter(kColumnLetter, main), 'C', 'C', mainLetter, 1, 4);
  if (euroOnly) {
    DefineColumn(t, kEuroOnlyDueDate, 9, LoadStr(kColumnDueDate), 'C', 'C', L::BECHEANCE, 1, 8);
    DefineColumn(t, kEuroOnlyLabel2, 26, LoadStr(kColumnLabel2), 'C', 'G', L::BLIB2, 1, 25);
  } else {
    DefineColumn(t, kOtherDebit, 15, WithLetter(kColumnDebit, other), 'C', 'D', otherAmount, 1, kAmountWidth);
    DefineColumn(t, kOtherCredit, 15, WithLetter(kColumnCredit, other), 'C', 'D', otherAmount, 1, kAmountWidth);
    DefineColumn(t, kOtherLetter, 5, WithLetter(kColumnLetter, other), 'C', 'C', otherLetter, 1, 4);
    DefineColumn(t, kEntryCurrency, 6, LoadStr(kColumnEntry), 'C', 'C', L::BEURO, 1, 1);
    DefineColumn(t, kDueDate, 9, LoadStr(kColumnDueDate), 'C', 'C', L::BECHEANCE, 1, 8);
  }
  return t;
}

void TWSaiBroDetJournaux::SetupWindow() {
  CMDIBrowse::SetupWindow();
  if (!opened_) {
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  // The header lock "Saisir" took on the program's general-file cursor: this cursor holds it,
  // so it is granted again, and kept until the window goes. Sought with its source letter: a
  // missing draft header is never mistaken for the closed one.
  ::Table& c10 = *TableC10;
  // A header whose read the disk refused is no header missing: the read is said.
  std::optional<RefusalWatch> reading(std::in_place, RefusalWatch::EngineBoxes::kHeld);
  const Lookup draft = posting::FindHeader(c10, key_, posting::kDraftSource);
  if (draft.IsRefused()) RefusalWatch::NoteEngineReadRefusal(c10.tablePath, draft.result());
  const bool header = draft.IsFound() && LiveOrNoted(c10).IsFound();
  // The lock reads the header again: a read refused there is said the same way.
  const RecordLockRefusal tried = header && !reading->ReadRefused() ? TryLockRecord(c10) : RecordLockRefusal::kFailed;
  const std::string unread = reading->ReadRefused() ? reading->Reason(0, c10.tablePath, 0) : std::string();
  reading.reset();
  if (!header || !unread.empty()) {
    gui::MessageBeep(0);
    const std::string journal = posting::JournalOf(key_), month = posting::MonthDisplay(key_);
    const std::string text = unread.empty()
                                 ? FillPlaceholders(LoadStr(kMsgHeaderMissing), {journal, month})
                                 : FillPlaceholders(LoadStr(kMsgEntryUnread), {journal, month, unread});
    gui::MessageBox(this, text, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    gui::PostCommand(GetHandle(), cmd::Quitter);
    return;
  }
  if (!TakeJournalMonthLock(this, c10, key_, tried)) {
    gui::PostCommand(GetHandle(), cmd::Quitter);
    return;
  }
  headerHeld_ = true;
  gui::PostCommand(GetHandle(), cmd::Ombrer);
  shadingPosted_ = true;
  if (SearchTargetKey.compare(0, prefix_.size(), prefix_) == 0) gui::PostCommand(GetHandle(), cmd::ReCaler);
  else if (Store().totalRows > 0) gui::PostMessage(GetHandle(), gui::WM_KEYDOWN, gui::VK_END);
}

// ---- rows ---------------------------------------------------------------------------------------

bool TWSaiBroDetJournaux::InRange(::Table& t) const { return posting::InJournal(t, prefix_); }

bool TWSaiBroDetJournaux::SeekFirstOfRange(::Table& t) { return t.Find(L::kCodeTag, prefix_.c_str()).IsFound(); }

bool TWSaiBroDetJournaux::SeekLastOfRange(::Table& t) {
  // The journal-month's last line: one step back from the first key after its prefix.
  const std::string after = AfterPrefix(prefix_);
  const Lookup past = t.FindNotBelow(L::kCodeTag, after.c_str());
  // Not read, the rows are not filled from another place of the table.
  if (past.IsRefused()) return false;
  if (past.IsFound() && !t.eof) t.Skip(-1);
  else t.GoBottom(L::kCodeTag);
  return true;
}

std::string TWSaiBroDetJournaux::LabelText(char code) {
  if (code == labelCode_ && !labelText_.empty()) return labelText_;
  labelCode_ = code;
  labelText_ = "    ???";
  // Only shown: a label code not read shows as an unknown one.
  if (code != ' ' && TableC10 != nullptr && posting::FindC10(*TableC10, 'L', std::string(1, code)).FoundOrNone() &&
      TableC10->LiveHere().IsFound())
    labelText_ = PadRight(std::string(TableC10->GetField(4)).substr(0, 7), 7);
  return labelText_;
}

std::string TWSaiBroDetJournaux::GetCellText(int field, std::uint32_t start, std::uint32_t length, int column) {
  ::Table& t = *Lines();
  const int declared = DeclaredAt(column);
  const char sense = t.GetField(L::BSENS)[0];
  auto amount = [&](int f, char side) {
    return sense == side ? GroupedAmount(StoredAmountOf(t, f), kAmountWidth)
                         : std::string(kAmountWidth, ' ');
  };
  auto dueDate = [&]() {
    const std::string stored = t.GetField(L::BECHEANCE);
    return IsBlank(stored) ? std::string(8, ' ') : PadRight(ConvertDate(stored.c_str()), 8);
  };
  switch (declared) {
    case kLabelText: return LabelText(t.GetField(L::BCLIB)[0]);
    case kDebit: return amount(field, 'D');
    case kCredit: return amount(field, 'C');
    default: break;
  }
  if (euroOnly_) {
    if (declared == kEuroOnlyDueDate) return dueDate();
  } else {
    switch (declared) {
      case kOtherDebit: return amount(field, 'D');
      case kOtherCredit: return amount(field, 'C');
      case kEntryCurrency: {
        const char c = t.GetField(L::BEURO)[0];
        return c >= 'n' ? "A" : (c == 'O' ? "E" : "F");
      }
      case kDueDate: return dueDate();
      default: break;
    }
  }
  const std::string text = t.GetField(field);
  return PadRight(start >= 1 && start <= text.size() ? text.substr(start - 1, length) : std::string(), length);
}

int TWSaiBroDetJournaux::GetCellTextColor(int row, int column) {
  // Every other piece gets the band of the list painter.
  const std::string& text = Store().rows[static_cast<std::size_t>(std::max(row - 1, 0))];
  stripe_ = shading_.IsShaded(Cell(text, kBpiece));
  return 0;
}

const char* TWSaiBroDetJournaux::LinesTag() const { return L::kCodeTag; }

// ---- pieces in alternation ------------------------------------------------------------------------

void TWSaiBroDetJournaux::RestartShading() {
  shading_.Restart(shadingCursor_.get(), prefix_);
  if (!shadingPosted_ && GetHandle() != 0) {
    shadingPosted_ = true;
    gui::PostCommand(GetHandle(), cmd::Ombrer);
  }
}

void TWSaiBroDetJournaux::CmOmbrer() {
  shadingPosted_ = false;
  const bool done = shading_.Advance(kShadingSlice);
  Repaint();
  if (!done) {
    shadingPosted_ = true;
    gui::PostCommand(GetHandle(), cmd::Ombrer);
  }
}

void TWSaiBroDetJournaux::FinishShading() {
  while (!shading_.Advance(kShadingSlice)) {
  }
  Repaint();
}

// ---- focus, click, closing -------------------------------------------------------------------------

void TWSaiBroDetJournaux::EvSetFocus(gui::Handle lost) {
  CMDIBrowse::EvSetFocus(lost);
  if (PrintRunFlag) return;
  posting::SetActiveLinesWindowPosition(ownSlot);
  OrderLines();
  if (SearchTargetKey.compare(0, prefix_.size(), prefix_) == 0) gui::PostCommand(GetHandle(), cmd::ReCaler);
}

void TWSaiBroDetJournaux::EvLButtonDown(unsigned modKeys, gui::Point p) {
  if (Store().totalRows <= 0) return;
  CMDIBrowse::EvLButtonDown(modKeys, p);
  const std::string row = SelectedRow();
  if (Busy() || row.empty()) return;
  const std::string account = Cell(row, kAccount);
  if (IsBlank(account)) return;
  StoreSessionCode(account.c_str());
  ::Table* c20 = TableC20;
  if (c20 == nullptr || !c20->isOpen) return;
  if (!c20->Find("C20CODE", account.c_str()).IsFound() || !c20->MatchRecordKey(account.c_str(), 8, 1).IsLive()) return;
  ShowBalance(BalanceStatus(*c20, mainEuro_));
}

std::string TWSaiBroDetJournaux::BalanceStatus(::Table& c20, bool mainEuro) {
  const int d = mainEuro ? 1 : 0;
  const long long balance = StoredAmountOf(c20, 17 + d) - StoredAmountOf(c20, 19 + d);
  return FillPlaceholders(LoadStr(kStatusBalance), {PadRight(c20.GetField(1), 8), c20.GetField(2),
                                                    Trimmed(BalanceAmount(balance)),
                                                    LoadStr(mainEuro ? kLabelEuros : kLabelFrancs)});
}

void TWSaiBroDetJournaux::ShowBalance(const std::string& text) {
  balanceText_ = text;
  ShowChildStatus(*this, text);
}

bool TWSaiBroDetJournaux::CanClose() {
  if (!ReadyToClose()) return false;
  if (opened_ && headerHeld_) {
    Progress progress(Store().totalRows, this);
    const posting::JournalBalance b = posting::SumJournal(*walkCursor_, prefix_, [&progress](long n) { progress.ProgressStep(n, false); });
    gui::SetArrowCursor();
    // Lines not read leave the balance unknown: said with the file, and no balance is asked about.
    if (b.refused) {
      BringToTop();
      gui::MessageBeep(0);
      gui::MessageBox(this, ReadErrorText(walkCursor_->tablePath), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
      return CMDIBrowse::CanClose();
    }
    // Lines counted as zero for an amount that does not read make the balance below wrong: named first.
    if (!b.unreadable.empty()) {
      BringToTop();
      gui::MessageBox(this, UnreadableAmountsMessage(b.unreadable), UnreadableAmountsCaption(),
                      gui::MB_OK | gui::MB_ICONEXCLAMATION);
    }
    const std::string journal = posting::JournalOf(key_);
    const std::string month = posting::MonthDisplay(key_);
    auto ask = [&](long long balance, int question) {
      BringToTop();
      gui::MessageBeep(0);
      const std::string text =
          FillPlaceholders(LoadStr(question), {journal, month, Trimmed(BalanceAmount(balance))});
      return gui::MessageBox(this, text, LoadStr(kTitleAttention),
                             gui::MB_YESNO | gui::MB_ICONSTOP | gui::MB_DEFBUTTON2) == gui::IDYES;
    };
    if (!euroOnly_ && b.BalanceF() != 0 && !ask(b.BalanceF(), kMsgUnbalancedFrancs)) return false;
    if (b.BalanceE() != 0 && !ask(b.BalanceE(), kMsgUnbalancedEuros)) return false;
  }
  return CMDIBrowse::CanClose();
}

// ---- commands -----------------------------------------------------------------------------------------

const gui::ResponseTable& TWSaiBroDetJournaux::Table() {
  static const gui::ResponseTable table =
      gui::ResponseTable(&CMDIBrowse::Table())
          .Command(cmd::ReCaler, &TWSaiBroDetJournaux::CmReCaler)
          .Command(cmd::AllerAuCode, &TWSaiBroDetJournaux::CmAllerAuCode)
          .Command(cmd::Chercher, &TWSaiBroDetJournaux::CmChercher)
          .Command(cmd::ChercherEncore, &TWSaiBroDetJournaux::CmChercherEncore)
          .Command(cmd::ChercherMontant, &TWSaiBroDetJournaux::CmChercherMontant)
          .Command(cmd::LigneRestore, &TWSaiBroDetJournaux::CmLigneRestore)
          .Command(cmd::LignePrecedente, &LineRangeBrowse::CmLignePrecedente)
          .Command(cmd::LigneSuivante, &LineRangeBrowse::CmLigneSuivante)
          .Command(cmd::CreerLigne, &TWSaiBroDetJournaux::CmCreerLigne)
          .Command(cmd::CreerPiece, &TWSaiBroDetJournaux::CmCreerPiece)
          .Command(cmd::Annuler, &TWSaiBroDetJournaux::CmAnnuler)
          .Command(cmd::Reactiver, &TWSaiBroDetJournaux::CmReactiver)
          .Command(cmd::Modifier, &TWSaiBroDetJournaux::CmModifier)
          .Command(cmd::Deplacer, &TWSaiBroDetJournaux::CmDeplacer)
          .Command(cmd::Copier, &TWSaiBroDetJournaux::CmCopier)
          .Command(cmd::Rafraichir, &TWSaiBroDetJournaux::CmRafraichirLigne)
          .Command(cmd::Ombrer, &TWSaiBroDetJournaux::CmOmbrer)
          .Enable(cmd::CreerLigne, &TWSaiBroDetJournaux::CeCreerLigne)
          .Enable(cmd::CreerPiece, &TWSaiBroDetJournaux::CeCreerPiece)
          .Enable(cmd::Annuler, &TWSaiBroDetJournaux::CeAnnulerLigne)
          .Enable(cmd::Reactiver, &TWSaiBroDetJournaux::CeAlways)
          .Enable(cmd::Modifier, &TWSaiBroDetJournaux::CeModifierLigne)
          .Enable(cmd::Deplacer, &TWSaiBroDetJournaux::CeDeplacerPiece)
          .Enable(cmd::Copier, &TWSaiBroDetJournaux::CeDeplacerPiece)
          .Enable(cmd::ChercherMontant, &TWSaiBroDetJournaux::CeModifierLigne)
          .Enable(cmd::Chercher, &TWSaiBroDetJournaux::CeChercher)
          .Enable(cmd::ChercherEncore, &TWSaiBroDetJournaux::CeChercherEncore)
          .Enable(cmd::ReCaler, &TWSaiBroDetJournaux::CeAlways)
          .Enable(cmd::AllerAuCode, &TWSaiBroDetJournaux::CeAlways)
          .Enable(cmd::LigneRestore, &TWSaiBroDetJournaux::CeAlways)
          .Enable(cmd::LignePrecedente, &TWSaiBroDetJournaux::CeAlways);
  return table;
}

bool TWSaiBroDetJournaux::Lettered(const std::string& row) const {
  return !IsBlank(Cell(row, kLetter)) || (!euroOnly_ && !IsBlank(Cell(row, kOtherLetter)));
}

bool TWSaiBroDetJournaux::MayCreate(bool piece) const {
  return HasAccessRight(kEntryMenuFunction, 1) && HasAccessRight(rightsFunction, 2) &&
         HasAccessRight(rightsFunction, piece ? kRightCreatePiece : kRightCreateLine);
}

void TWSaiBroDetJournaux::CeCreerLigne(gui::CommandEnabler& ce) {
  ce.Enable(MayCreate(false) && !PrintRunFlag && !IsIconic() && RegistryChar(partnerSlot) != '1');
}

void TWSaiBroDetJournaux::CeCreerPiece(gui::CommandEnabler& ce) {
  ce.Enable(MayCreate(true) && !PrintRunFlag && !IsIconic() && RegistryChar(partnerSlot) != '1');
}

void TWSaiBroDetJournaux::CeAnnulerLigne(gui::CommandEnabler& ce) {
  const std::string row = SelectedRow();
  if (!Busy() && !row.empty() && Lettered(row)) {
    ce.Enable(false);
    return;
  }
  CeAnnuler(ce);
}

void TWSaiBroDetJournaux::CeModifierLigne(gui::CommandEnabler& ce) {
  if (!HasAccessRight(rightsFunction, 3)) {
    ce.Enable(false);
    return;
  }
  const std::string row = SelectedRow();
  if (!Busy() && !row.empty() && Lettered(row)) {
    ce.Enable(false);
    return;
  }
  CeModifier(ce);
}

void TWSaiBroDetJournaux::CeChercher(gui::CommandEnabler& ce) {
  ce.Enable(!Busy() && GetSelectedRowIndex() != 0 && Store().totalRows > 0);
}

void TWSaiBroDetJournaux::CeChercherEncore(gui::CommandEnabler& ce) {
  ce.Enable(!Busy() && GetSelectedRowIndex() != 0 && Store().totalRows > 0 && !IsBlank(BrowseSearchText));
}

void TWSaiBroDetJournaux::CmRafraichirLigne() {
  const std::string key = RegistryText(ownSlot + posting::kSlotRestoreOffset, posting::kRestoreKeyLength);
  for (int i = 0; i < Store().rowsPerPage; ++i) {
    const long recno = Store().RecordNumberOf(i);
    if (recno == 0) break;
    const std::string& row = Store().rows[static_cast<std::size_t>(i)];
    if (IsBlank(key) || (row.size() >= 7 + key.size() && row.compare(7, key.size(), key) == 0)) {
      ReloadRow(Store().rows, i, recno);
      RepaintRow(i + 1);
    }
  }
}

void TWSaiBroDetJournaux::CmReCaler() {
  if (SearchTargetKey.compare(0, prefix_.size(), prefix_) != 0) return;
  const std::string target = RTrim(SearchTargetKey.c_str());
  SearchTargetKey.assign(kSearchTargetKeyLength, ' ');
  ::Table& t = *Lines();
  const Lookup found = t.Find(L::kCodeTag, target.c_str())
                           .And(t.MatchRecordKey(target.c_str(), static_cast<int>(target.size()), L::BCLE, L::BMOIS,
                                                 L::BJAL, L::BPIECE, L::BREC, L::BNUM).HoldsKey());
  if (found.IsRefused()) return SayUnread(this, t, found);
  if (found.IsNotFound()) {
    gui::MessageBeep(0);
    return;
  }
  ActivateBrowse();
  const std::string key = L::Key(t);
  const long rank = static_cast<long>(CountIndexEntries(t, L::kCodeTag, 2, key.c_str()));
  const long first = static_cast<long>(CountIndexEntries(t, L::kCodeTag, 2, prefix_.c_str()));
  if (rank > 0 && first > 0 && rank >= first) SelectRow(rank, first);
  LocateRowByKey(Lines(), key, 1, 1, 1);
}

void TWSaiBroDetJournaux::CmAllerAuCode() {
  GoToCodeDialog([this](const std::string& code) {
    const std::string wanted = prefix_ + code;
    ::Table& t = *Lines();
    const Lookup found = t.Find(L::kCodeTag, wanted.c_str())
                             .And(t.MatchRecordKey(wanted.c_str(), static_cast<int>(wanted.size()), L::BCLE, L::BMOIS,
                                                   L::BJAL, L::BPIECE).HoldsKey());
    // A code not read is no code unknown: the read is said and the code not asked again.
    if (found.IsRefused()) {
      SayUnread(this, t, found);
      return true;
    }
    if (found.IsNotFound()) return false;
    const long rank = static_cast<long>(CountIndexEntries(t, L::kCodeTag, 2, wanted.c_str()));
    const long first = static_cast<long>(CountIndexEntries(t, L::kCodeTag, 2, prefix_.c_str()));
    if (rank > 0 && first > 0 && rank >= first) SelectRow(rank, first);
    return LocateRowByKey(Lines(), wanted, 1, 1, 1);
  });
}

void TWSaiBroDetJournaux::CopySelectedCode() {
  const std::string row = SelectedRow();
  if (Busy() || row.empty() || Store().RecordNumberOf(GetSelectedRowIndex() - 1) == 0) {
    gui::MessageBeep(0);
    return;
  }
  PutTextOnClipboard(AllTrim(Cell(row, kAccount).c_str()));
}

// ---- line navigation ------------------------------------------------------------------------------------

void TWSaiBroDetJournaux::CmLigneRestore() {
  const std::string key =
      RTrim(RegistryText(ownSlot + posting::kSlotRestoreOffset, posting::kRestoreKeyLength).c_str());
  if (key.empty()) return;
  LocateRowByKey(Lines(), key, 1, 1, 1);
}

// ---- word search --------------------------------------------------------------------------------------

void TWSaiBroDetJournaux::CmChercher() {
  if (SelectedLine() == 0) {
    gui::MessageBeep(0);
    return;
  }
  SearchWordInJournal(false);
}

void TWSaiBroDetJournaux::CmChercherEncore() {
  if (SelectedLine() == 0 || IsBlank(BrowseSearchText)) {
    gui::MessageBeep(0);
    return;
  }
  SearchWordInJournal(true);
}

void TWSaiBroDetJournaux::SearchWordInJournal(bool next) {
  const std::uint32_t selected = SelectedLine();
  if (selected == 0) {
    gui::MessageBeep(0);
    return;
  }
  const std::string month = PadRight(key_, 4);
  if (!next) {
    const std::string caption =
        FillPlaceholders(LoadStr(kTitleWordSearch),
                         {posting::JournalOf(key_), month.substr(2, 2), DecodeYear(month.substr(0, 2).c_str())});
    std::string typed = BrowseSearchText;
    TDFmtSaisie dialog(this, TDFmtSaisie::kOkCancel, kWordPrompt, &typed, true);
    dialog.SetCaption(caption);
    if (dialog.Execute(kTaskModal) != gui::IDOK || IsBlank(typed)) return;
    BrowseSearchText = AllTrim(typed.c_str());
  }
  // The words of a search text joined by "&" or "|", folded as the field texts are.
  const bool anyOf = BrowseSearchText.find_first_of("&|") != std::string::npos;
  std::vector<std::string> words = SplitText(BrowseSearchText.c_str(), false, '&', '|');
  FoldAccentsUpper(words);
  const LooseFold loose;
  std::vector<std::string> needles;
  if (anyOf) {
    for (const std::string& w : words)
      if (!w.empty()) needles.push_back(loose(w));
  } else {
    needles.push_back(loose(AllTrim(BrowseSearchText.c_str())));
  }
  // The fields of the columns from the second on, in the order shown.
  std::vector<int> fields;
  for (int k = 2; k <= ColumnCount(Columns()); ++k)
    if (Columns()[static_cast<std::size_t>(k)].field != 0) fields.push_back(Columns()[static_cast<std::size_t>(k)].field);

  Progress progress(Store().totalRows, this);
  long count = Store().selected;
  AppendInProgress = true;
  ::Table& t = *walkCursor_;
  if (t.tag != L::kCodeTag) t.SetOrder(L::kCodeTag);
  // The search starts on the line selected: one not read is said, never "not found" from elsewhere.
  if (const Lookup at = t.GoToRecord(static_cast<long>(selected)); at.IsRefused()) {
    AppendInProgress = false;
    return SayUnread(this, t, at);
  }
  if (next) {
    if (!(t.Skip(1) && posting::InJournal(t, prefix_))) t.GoToRecord(static_cast<long>(selected));
    else ++count;
  }
  const posting::ScanResult found = posting::ScanJournal(
      t, prefix_, fields, [&words](const std::string& text) { return FindFolded(words, text); },
      [&](const std::string& joined) {
        const std::string folded = loose(joined);
        for (const std::string& n : needles)
          if (folded.find(n) != std::string::npos) return true;
        return false;
      },
      [&](long n) {
        // Now and then the window paints and the keys are read, so that Escape is seen.
        progress.ProgressStep(count + n, (n & 8191) == 0);
        return gui::GetKeyState(gui::VK_ESCAPE) < 0;
      });
  AppendInProgress = false;
  gui::SetArrowCursor();
  if (found == posting::ScanResult::Found) {
    LocateRowByKey(Lines(), L::Key(t), 1, 1, 1);
    return;
  }
  const std::string text = found == posting::ScanResult::Interrupted
                               ? std::string(LoadStr(kMsgSearchInterrupted))
                               : FillPlaceholder(LoadStr(kMsgWordsNotFound), BrowseSearchText);
  gui::MessageBox(this, text, LoadStr(kTitleJournalSearch), gui::MB_OK | gui::MB_ICONEXCLAMATION);
}

// ---- amount search --------------------------------------------------------------------------------------

void TWSaiBroDetJournaux::CmChercherMontant() {
  if (Busy() || !HasAccessRight(rightsFunction, 3)) return;
  const long recno = PositionOnSelectedRow(1);
  ::Table* c50 = TableC50;
  if (recno == 0 || c50 == nullptr || c50->recordNumber != static_cast<std::uint32_t>(recno) || !LiveOrSaid(*c50).IsFound())
    return;
  const std::string amount = AmountDigits(FromCents(StoredAmountOf(*c50, L::BMONTANTE)));
  const std::string current = L::Key(*c50);
  // Shift held: the next line of that amount, without the dialog.
  if (gui::GetKeyState(gui::VK_SHIFT) < 0) {
    const std::vector<posting::FoundLine> found = TDRechercheEcriture::Search(amount, key_);
    std::size_t at = 0;
    for (std::size_t i = 0; i < found.size(); ++i)
      if (found[i].key == current) at = i + 1;
    if (found.empty()) {
      gui::MessageBeep(0);
      return;
    }
    ShowSearchTarget(this, found[at % found.size()].key);
    return;
  }
  TDRechercheEcriture dialog(this, amount, key_);
  if (dialog.Execute(kTaskModal) != gui::IDOK) return;
  ShowSearchTarget(this, SearchTargetKey);
}

// ---- cancel and reactivate --------------------------------------------------------------------------------

void TWSaiBroDetJournaux::CmAnnuler() {
  std::string row;
  const std::uint32_t recno = LineToChange(4, row);
  if (recno == 0) return;
  if (Lettered(row)) {
    gui::MessageBeep(0);
    return;
  }
  std::string refusal, totalsLeft;
  const posting::LineChange done = posting::CancelLine(*Lines(), *Sorts(), recno, AllTrim(row.substr(7).c_str()),
                                                       nullptr, &refusal, &totalsLeft);
  if (done == posting::LineChange::Lettered) gui::MessageBeep(0);
  SayRefusal(refusal);
  // Cancelled over its own amount that did not read: the totals that still count it are named.
  if (!totalsLeft.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, totalsLeft, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONEXCLAMATION);
  }
  ShowRecordAgain(recno);
}

void TWSaiBroDetJournaux::CmReactiver() {
  std::string row;
  const std::uint32_t recno = LineToChange(4, row);
  if (recno == 0) return;
  std::string refusal;
  posting::ReactivateLine(*Lines(), *Sorts(), recno, AllTrim(row.substr(7).c_str()), &refusal);
  SayRefusal(refusal);
  ShowRecordAgain(recno);
}

void TWSaiBroDetJournaux::SayRefusal(const std::string& refusal) {
  if (refusal.empty()) return;
  gui::MessageBeep(0);
  gui::MessageBox(this, refusal, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
}

// ---- the line form ---------------------------------------------------------------------------------------

void TWSaiBroDetJournaux::CmModifier() {
  if (Busy() || !HasAccessRight(rightsFunction, 3)) return;
  const std::string row = SelectedRow();
  const long recno = PositionOnSelectedRow(1);
  ::Table* c50 = TableC50;
  if (recno == 0 || c50 == nullptr || c50->recordNumber != static_cast<std::uint32_t>(recno) || !LiveOrSaid(*c50).IsFound())
    return;
  // An exchange-rounding line keeps its amount.
  const char entry = c50->GetField(L::BEURO)[0];
  if (entry >= 'a' && entry <= 'z' &&
      (StoredAmountOf(*c50, L::BMONTANTF) != 0 || StoredAmountOf(*c50, L::BMONTANTE) != 0)) {
    gui::MessageBeep(0);
    gui::MessageBox(this, LoadStr(kMsgRoundingLineFixed), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  if (!LockRecord(*c50, AllTrim(row.substr(7).c_str()), 0)) return;
  // A lock the cursor held already is the line form's own: it stays with it.
  const bool formHolds = c50->result == kResultAlreadyLocked;
  const std::string mainLetter = c50->GetField(mainEuro_ ? L::BLETE : L::BLET);
  const std::string otherLetter = c50->GetField(mainEuro_ ? L::BLET : L::BLETE);
  if (mainLetter != Cell(row, kLetter) || (!euroOnly_ && otherLetter != Cell(row, kOtherLetter))) CmRafraichirTotal();
  if (!IsBlank(mainLetter) || (!euroOnly_ && !IsBlank(otherLetter))) {
    // Matched meanwhile: the line is not changed here, and its lock goes back at once, so that
    // the matching runs of the other stations keep it.
    const std::string account = c50->GetField(L::BCODE);
    if (!IsBlank(account)) StoreSessionCode(account.c_str());
    if (!formHolds) UnlockRecord(*c50);
    gui::MessageBeep(0);
    return;
  }
  // The line form locks the line itself when it loads it (it may be another station's turn
  // first, the lock notice then says so): the lock taken here only tested it.
  if (!formHolds) UnlockRecord(*c50);
  OpenPartnerForm(row.substr(7, kKeyWidth), partnerSlot, command_id::ModDetJournaux);
}

// ---- new lines and pieces ---------------------------------------------------------------------------------

void TWSaiBroDetJournaux::ShowNewLine(const std::string& key) {
  RefreshTotal();
  if (Store().totalRows > Store().rowsPerPage) ShowRowCount();
  const long rank = static_cast<long>(CountIndexEntries(*Lines(), L::kCodeTag, 2, key.c_str()));
  const long first = static_cast<long>(CountIndexEntries(*Lines(), L::kCodeTag, 2, prefix_.c_str()));
  if (rank > 0 && first > 0 && rank >= first) SelectRow(rank, first);
  if (LocateRowByKey(Lines(), key, 1, 1, 1)) gui::PostCommand(GetHandle(), cmd::Modifier);
}

void TWSaiBroDetJournaux::CmCreerLigne() {
  if (Busy() || !MayCreate(false)) return;
  // The selected line, whose group and number the new one follows: a read the disk refused is said.
  std::optional<RefusalWatch> reading(std::in_place, RefusalWatch::EngineBoxes::kHeld);
  const std::uint32_t recno = SelectedLine();
  ::Table& t = *Lines();
  const bool cancelled = recno != 0 && LiveOrNoted(t).IsNotFound();
  if (reading->ReadRefused()) {
    const std::string text = FillPlaceholder(LoadStr(kMsgSelectedLineUnread), reading->Reason(0, t.tablePath, 0));
    reading.reset();
    gui::MessageBeep(0);
    gui::MessageBox(this, text, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  reading.reset();
  if (recno == 0 || cancelled) {
    gui::MessageBeep(0);
    return;
  }
  posting::LineAfter after = posting::LineAfterOf(t);
  after.prefix = prefix_;
  const long long main = StoredAmountOf(t, mainEuro_ ? L::BMONTANTE : L::BMONTANTF);
  after.sense = t.GetField(L::BSENS)[0] == 'D' && main != 0 ? 'D' : 'C';
  after.entryCurrency = EntryCurrencyFlag ? 'O' : 'N';
  if (RoundingLineFlag != 0) after.entryCurrency = static_cast<char>(after.entryCurrency - 'A' + 'a');
  const posting::NewLineResult made = posting::CreateLineAfter(t, *Sorts(), after);
  // The renumbering's notice after every 1,000 analytic lines.
  for (long n = made.analyticRenumbered / posting::kAnalyticLinesPerNotice; n > 0; --n) {
    gui::MessageBeep(0);
    gui::MessageBox(this, StrInt(9999, 5), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONINFORMATION);
  }
  switch (made.outcome) {
    case posting::NewLineOutcome::Created:
      ++Store().totalRows;
      ShowNewLine(made.key);
      return;
    case posting::NewLineOutcome::GroupTooLarge:
    case posting::NewLineOutcome::NumberTooLarge:
    case posting::NewLineOutcome::DraftFull:
      gui::MessageBeep(0);
      gui::MessageBox(this,
                      LoadStr(made.outcome == posting::NewLineOutcome::GroupTooLarge    ? kMsgGroupTooLarge
                              : made.outcome == posting::NewLineOutcome::NumberTooLarge ? kMsgNumberTooLarge
                                                                                        : kMsgDraftFullNoLine),
                      LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
      return;
    default:
      gui::MessageBeep(0);
      // A refused write or read: its one sentence, nothing created.
      if (!made.refusal.empty())
        gui::MessageBox(this, made.refusal, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
      return;
  }
}

void TWSaiBroDetJournaux::CmCreerPiece() {
  if (Busy() || !MayCreate(true)) return;
  // The slot's line form is open: its line comes first.
  if (RegistryChar(partnerSlot) == '1') {
    gui::MessageBeep(0);
    return;
  }
  // A full draft refuses the piece before its number is taken from the counter.
  if (!posting::DraftHasRoomFor(*Lines(), 1)) {
    gui::MessageBeep(0);
    gui::MessageBox(this, LoadStr(kMsgDraftFullNoLine), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  if (slot_ >= 0) SlotModelText[static_cast<std::size_t>(slot_)] = journal_.modelText;
  // The journal read again as its counter is taken (a read refused there leaves it as it was).
  posting::JournalRecord read;
  const posting::PieceNumber number = posting::TakePieceNumber(*TableC10, posting::JournalOf(key_), &read);
  if (number.refusal.empty()) journal_ = read;
  if (number.outcome != posting::NewLineOutcome::Created) {
    gui::MessageBeep(0);
    // A full counter, or its read or write refused: one sentence; another station's lock was noticed
    // as it was asked for.
    const std::string text = number.outcome == posting::NewLineOutcome::CounterFull
                                 ? std::string(LoadStr(kMsgPieceCounterFull))
                                 : number.refusal;
    if (!text.empty()) gui::MessageBox(this, text, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  const posting::NewLineResult made = posting::CreatePieceLine(*Lines(), *Sorts(), prefix_, StrZero(number.number, 0),
                                                               journal_.defaultLabel(), EntryCurrencyFlag ? 'O' : 'N');
  if (made.outcome != posting::NewLineOutcome::Created) {
    gui::MessageBeep(0);
    // A refused write or read: its one sentence, nothing created.
    if (!made.refusal.empty())
      gui::MessageBox(this, made.refusal, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  ++Store().totalRows;
  RestartShading();
  ShowNewLine(made.key);
}
