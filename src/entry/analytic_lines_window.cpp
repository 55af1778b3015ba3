#include "entry/analytic_lines_window.h"

#include <algorithm>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_results.h"
#include "posting/entry_state.h"
#include "posting/journal_month.h"
#include "posting/new_lines.h"
#include "entry/entry_commands.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/progress.h"
#include "shell/registry.h"

using namespace entry;

namespace {

using L = LigneEcriture;

namespace cmd {
using child_command::Annuler;
using child_command::Reactiver;
using child_command::Modifier;
using child_command::Rafraichir;
using child_command::ReCaler;
using child_command::CreerLigne;
using child_command::LignePrecedente;
using child_command::LigneRestore;
using child_command::LigneSuivante;
using child_command::Quitter;
using child_command::Visualiser;
// Why the default split was not made, told once the window shows (the window's own, posted to itself).
constexpr unsigned OpeningMessage = 24421;
}  // namespace cmd

constexpr int kRightsCreate = 2, kRightsModify = 3, kRightsCancel = 4;
constexpr int kAmountWidth = 17;
constexpr int kIcon = 1005;
// Sub-slots of the analytic lines windows from a journal-entry slot's flag.
constexpr int kLines1 = 88, kLines2 = 250;
constexpr int kAccountText = 30;
constexpr int kAccountTextRoom = 4000;

// The texts of the window and of its messages; a "%s" of a text takes the value its comment names.
constexpr int kTitleAttention = 52;
// The window's title on either axis: the journal, the month, the year, the account, "Db" or "Cr", the amount.
constexpr int kTitleAxis1 = 16300, kTitleAxis2 = 16301;
constexpr int kColumnPiece = 23010, kColumnNumber = 2681, kColumnDay = 23011, kColumnSection = 22516;
constexpr int kColumnLabel = 23014, kColumnEntry = 23020;
constexpr int kColumnDebitF = 2290, kColumnDebitE = 2291, kColumnCreditF = 2292, kColumnCreditE = 2293;
constexpr int kStatusBalance = 32412;  // the section's code and name, its balance, the currency
constexpr int kLabelEuros = 2277, kLabelFrancs = 2278;
constexpr int kMsgSplitLineGone = 16303;
constexpr int kMsgSplitAmountUnread = 37713;
constexpr int kMsgAxisTooLarge = 16304, kMsgAxisLineHeld = 16305;
constexpr int kMsgSplitTextFault = 16306;  // the text's line, its words, the reason
constexpr int kReasonNoSection = 16309, kReasonLongSection = 16310, kReasonBadPercent = 16311;
constexpr int kMsgZeroParity = 16312;
constexpr int kMsgDraftFullNoLine = 16217;
// "Créer Ligne" whose selected line the disk would not read (the file and the error).
constexpr int kMsgSelectedLineUnread = 38106;
constexpr int kMsgSplitFilesUnread = 39352;  // the split's files not opened: why
constexpr int kMsgRoundingLineFixed = 16012;
// The balance question of a split closed unbalanced: the journal, the month, the year, the balance.
constexpr int kMsgUnbalancedFrancs = 192, kMsgUnbalancedEuros = 32410;

}  // namespace

// ---- construction -------------------------------------------------------------------------------

TWSaiBroDetJournauxAnal::TWSaiBroDetJournauxAnal(gui::MDIClient* parent, const std::string& title,
                                                 const BrowseColumnTable* columns, int ownSlot, int partnerSlot)
    : LineRangeBrowse(parent, title, columns, ownSlot, kSlotLength, partnerSlot) {
  key_ = SplitKey(RegistryText(ownSlot + 11, kKeyWidth));
  linesKey_ = key_.LinesKey();
  keyWidth = kKeyWidth;
  helpContext = kHelpContext;
  euroView_ = LastAnalyticEntryInEuros;
  euroOnly_ = DossierIsEuroOnly();
  toolbarCommands = {5, cmd::Quitter, cmd::Modifier, cmd::Annuler, cmd::Reactiver, cmd::CreerLigne};
  listName = euroOnly_ ? "TWSaiBroDetJournauxAnalEuros" : "TWSaiBroDetJournauxAnal";
  SetAccelerators(kAccelerators);
  {
    // A file the system would not read is said in one sentence as the window shows, never the engine's box
    // nor a window gone without a word.
    const RefusalWatch reading(RefusalWatch::EngineBoxes::kRefusalsHeld);
    opened_ = posting::EnsureGeneralFile() && Lines()->OpenShared(PathC50(), L::kAnalyticTag) &&
              Sorts()->OpenShared(PathC60(), LigneTri::kRecordTag);
    if (!opened_ && reading.HasReason()) {
      ::Table& failed = Lines()->isOpen ? *Sorts() : *Lines();
      unopened_ = FillPlaceholder(LoadStr(kMsgSplitFilesUnread), reading.Reason(0, failed.tablePath, failed.result));
    }
  }
  // The default split reads the account's text; the totals go to the sections.
  if (opened_ && TableC20 != nullptr && !TableC20->isOpen) TableC20->UseShared(PathC20(), "C20CODE");
  if (opened_ && TableC30 != nullptr && !TableC30->isOpen) TableC30->UseShared(PathC30(), "C30CODE");
}

TWSaiBroDetJournauxAnal::~TWSaiBroDetJournauxAnal() {
  if (posting::ActiveLinesWindowPosition() == ownSlot) posting::SetActiveLinesWindowPosition(0);
  // The window to come back to: the other axis's form or list, or the line form of the slot.
  const int slot = posting::SlotIndexOf(ownSlot - kLines1) >= 0 ? ownSlot - kLines1 : ownSlot - kLines2;
  const bool first = slot + kLines1 == ownSlot;
  const int other = slot + (first ? kLines2 : kLines1);
  for (int position : {other + kFormOffset, other, slot + posting::kPartnerOffset}) {
    if (RegistryChar(position) == '1') {
      posting::SetActiveLinesWindowPosition(position);
      break;
    }
  }
  if (posting::ActiveLinesWindowPosition() != 0) gui::PostCommand(MainWindowHandle, command_id::ActiverSaisie);
}

BrowseColumnTable TWSaiBroDetJournauxAnal::DeclaredColumns(bool euros, bool euroOnly) {
  const int shown = euros ? L::BMONTANTE : L::BMONTANTF, other = euros ? L::BMONTANTF : L::BMONTANTE;
  BrowseColumnTable t = MakeColumnTable(euroOnly ? kCredit : kEntry, kBnuma);
  DefineColumn(t, kMarker, 2, "", 'C', 'C', 0, 0, 0);
  // The record's C50ANAL key, kept in the row (characters 8-37) and not shown.
  DefineColumn(t, kBmois, 0, "BMOIS", 'C', 'C', L::BMOIS, 1, 4);
  DefineColumn(t, kBjal, 0, "BJAL", 'C', 'C', L::BJAL, 1, 3);
  DefineColumn(t, kBpiece, 0, "BPIECE", 'C', 'C', L::BPIECE, 1, 6);
  DefineColumn(t, kBcg, 0, "BCG", 'C', 'C', L::BCG, 1, 8);
  DefineColumn(t, kBnum, 0, "BNUM", 'C', 'C', L::BNUM, 1, 4);
  DefineColumn(t, kBcle, 0, "BCLE", 'C', 'C', L::BCLE, 1, 1);
  DefineColumn(t, kBnuma, 0, "BNUMA", 'C', 'C', L::BNUMA, 1, 4);
  DefineColumn(t, kPiece, 6, LoadStr(kColumnPiece), 'C', 'C', L::BPIECE, 1, 6);
  DefineColumn(t, kNumber, 6, LoadStr(kColumnNumber), 'C', 'C', L::BNUMA, 1, 4);
  DefineColumn(t, kDay, 4, LoadStr(kColumnDay), 'C', 'C', L::BJOUR, 1, 2);
  DefineColumn(t, kSection, 9, LoadStr(kColumnSection), 'C', 'G', L::BCODE, 1, 8);
  DefineColumn(t, kLabelCode, 0, "BCLIB", 'C', 'C', L::BCLIB, 1, 1);
  DefineColumn(t, kLabelText, 7, "", 'C', 'C', L::BCLIB, 1, 7);
  DefineColumn(t, kLabel, 22, LoadStr(kColumnLabel), 'C', 'G', L::BLIB, 1, 25);
  const int debit = euros ? kColumnDebitE : kColumnDebitF, credit = euros ? kColumnCreditE : kColumnCreditF;
  const int otherDebit = euros ? kColumnDebitF : kColumnDebitE, otherCredit = euros ? kColumnCreditF : kColumnCreditE;
  DefineColumn(t, kDebit, 15, LoadStr(debit), 'C', 'D', shown, 1, kAmountWidth);
  DefineColumn(t, kCredit, 15, LoadStr(credit), 'C', 'D', shown, 1, kAmountWidth);
  if (!euroOnly) {
    DefineColumn(t, kOtherDebit, 15, LoadStr(otherDebit), 'C', 'D', other, 1, kAmountWidth);
    DefineColumn(t, kOtherCredit, 15, LoadStr(otherCredit), 'C', 'D', other, 1, kAmountWidth);
    DefineColumn(t, kEntry, 4, LoadStr(kColumnEntry), 'C', 'C', L::BEURO, 1, 1);
  }
  return t;
}

std::string TWSaiBroDetJournauxAnal::TitleOf(const SplitKey& key, bool euros) {
  // The general line's amount grouped whole after its side; a credit keeps its minus sign.
  const long long cents = euros ? key.Euros() : key.Francs();
  return FillPlaceholders(LoadStr(key.Axis() == 1 ? kTitleAxis1 : kTitleAxis2),
                          {RTrim(key.Part(5, 3).c_str()), key.Part(3, 2), DecodeYear(key.Part(1, 2).c_str()),
                           key.Account(), cents < 0 ? "Cr" : "Db", GroupedAmount(cents)});
}

void TWSaiBroDetJournauxAnal::SetupWindow() {
  CMDIBrowse::SetupWindow();
  if (!opened_) {
    SayRefusal(unopened_);
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  bool created = false;
  std::string refusal;
  const SplitOpening opening = KeepSplitHeader(*Lines(), *Sorts(), key_, &created, &refusal);
  if (opening != SplitOpening::Opened) {
    // A general line cancelled since the form asked, another station's hold (its notice shown), or a
    // refused write or read (said in its one sentence): nothing more is written and the window goes.
    opened_ = false;
    if (opening == SplitOpening::LineGone || opening == SplitOpening::DraftFull ||
        opening == SplitOpening::AmountUnread) {
      gui::MessageBeep(0);
      const int text = opening == SplitOpening::LineGone       ? kMsgSplitLineGone
                       : opening == SplitOpening::AmountUnread ? kMsgSplitAmountUnread
                                                               : kMsgDraftFullNoLine;
      gui::MessageBox(this, LoadStr(text), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    }
    SayRefusal(refusal);
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  // Amounts taken from the general line (too wide for the key) are the title's too.
  if (!key_.AmountsRead()) SetCaption(TitleOf(key_, euroView_));
  headerCreated_ = created;
  if (created) MakeDefaultSplit();
  // The lines given the line's day and label: a refusal leaves them as they were, and is said once the
  // window shows.
  const long count = RefreshSplitLines(*Lines(), *Sorts(), key_, &refusal);
  if (openingMessage_.empty()) openingMessage_ = refusal;
  if (!openingMessage_.empty()) gui::PostCommand(GetHandle(), cmd::OpeningMessage);
  Store().totalRows = count;
  FillRowsFromFirst(Store().rows, 0, Store().rowsPerPage);
  Store().top = 0;
  if (count > Store().rowsPerPage) ShowRowCount();
  UpdateScroller();
  if (count > 0) {
    Store().selected = 1;
    Repaint();
    gui::PostCommand(GetHandle(), cmd::Modifier);
  } else {
    gui::PostCommand(GetHandle(), cmd::CreerLigne);
  }
}

// The default split of the account's text, made the first time the split is opened.
void TWSaiBroDetJournauxAnal::MakeDefaultSplit() {
  ::Table* c20 = TableC20;
  const std::string account = key_.Account();
  if (c20 == nullptr || !c20->isOpen) return;
  Lookup found = c20->Find("C20CODE", account.c_str()).And(c20->MatchRecordKey(account.c_str(), 8, 1).HoldsKey());
  if (found.IsFound()) found = c20->LiveHere();
  // An account not read is no account without a default split: the read is said.
  if (found.IsRefused()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, UnreadText(c20->tablePath, found.result()), LoadStr(kTitleAttention),
                    gui::MB_OK | gui::MB_ICONSTOP);
  }
  if (!found.IsFound()) return;
  std::string text = c20->GetMemo(kAccountText, kAccountTextRoom);
  if (IsBlank(text)) return;
  DefaultSplitText parsed;
  std::string refusal;
  const DefaultSplitOutcome made = entry::MakeDefaultSplit(*Lines(), *Sorts(), key_, text, TheDossierRecord.Parity(),
                                                           euroView_, &parsed, &defaultMade_, &refusal);
  if (!refusal.empty()) {
    openingMessage_ = refusal;
  } else if (made == DefaultSplitOutcome::TextFault) {
    const int reason = parsed.fault == SplitTextFault::NoSection     ? kReasonNoSection
                       : parsed.fault == SplitTextFault::LongSection ? kReasonLongSection
                                                                     : kReasonBadPercent;
    openingMessage_ =
        FillPlaceholders(LoadStr(kMsgSplitTextFault),
                         {std::to_string(parsed.faultLine), AllTrim(parsed.faultText.c_str()), LoadStr(reason)});
  } else if (made == DefaultSplitOutcome::RateNotPositive) {
    openingMessage_ = LoadStr(kMsgZeroParity);
  } else if (made == DefaultSplitOutcome::DraftFull) {
    openingMessage_ = LoadStr(kMsgDraftFullNoLine);
  } else if (made == DefaultSplitOutcome::AmountUnread) {
    openingMessage_ = LoadStr(kMsgSplitAmountUnread);
  }
  Lines()->SetOrder(L::kAnalyticTag);
}

void TWSaiBroDetJournauxAnal::CmOpeningMessage() {
  if (openingMessage_.empty()) return;
  gui::MessageBeep(0);
  gui::MessageBox(this, openingMessage_, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONEXCLAMATION);
  openingMessage_.clear();
}

// ---- rows ---------------------------------------------------------------------------------------

bool TWSaiBroDetJournauxAnal::InRange(::Table& t) const {
  if (!t.isOpen || t.eof || t.bof) return false;
  return MatchSplitLines(t, linesKey_).HoldsKey();
}

std::string TWSaiBroDetJournauxAnal::GetRecordKey(::Table* table, int start, int length, int) {
  if (table == nullptr || !table->isOpen) return {};
  std::string key;
  for (int f : {L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM, L::BCLE, L::BNUMA}) key += table->GetField(f);
  if (start > 1) key = key.size() >= static_cast<std::size_t>(start) ? key.substr(static_cast<std::size_t>(start - 1)) : "";
  return Ordering().MapThroughOrderingTable(key.substr(0, static_cast<std::size_t>(std::max(length, 0))));
}

bool TWSaiBroDetJournauxAnal::SeekFirstOfRange(::Table& t) {
  return t.FindNotBelow(L::kAnalyticTag, linesKey_.c_str()).IsFound();
}

bool TWSaiBroDetJournauxAnal::SeekLastOfRange(::Table& t) {
  long lastRecord = 0;
  for (bool more = SeekFirstOfRange(t); more && InRange(t); more = t.Skip(1)) lastRecord = static_cast<long>(t.recordNumber);
  return lastRecord != 0 && t.GoToRecord(lastRecord).IsFound();
}

std::string TWSaiBroDetJournauxAnal::LabelText(char code) {
  if (code == labelCode_ && !labelText_.empty()) return labelText_;
  labelCode_ = code;
  labelText_ = "???    ";
  // Only shown: a label code not read shows as an unknown one.
  if (TableC10 != nullptr && TableC10->isOpen &&
      posting::FindC10(*TableC10, 'L', std::string(1, code)).FoundOrNone() && TableC10->LiveHere().IsFound())
    labelText_ = PadRight(std::string(TableC10->GetField(4)).substr(0, 7), 7);
  return labelText_;
}

std::string TWSaiBroDetJournauxAnal::GetCellText(int field, std::uint32_t start, std::uint32_t length, int column) {
  ::Table& t = *Lines();
  const char sense = t.GetField(L::BSENS)[0];
  auto amount = [&](char side) {
    return sense == side ? GroupedAmount(StoredAmountOf(t, field), kAmountWidth)
                         : std::string(kAmountWidth, ' ');
  };
  switch (DeclaredAt(column)) {
    case kLabelText: return LabelText(t.GetField(L::BCLIB)[0]);
    case kDebit: case kOtherDebit: return amount('D');
    case kCredit: case kOtherCredit: return amount('C');
    case kEntry: {
      const char c = t.GetField(L::BEURO)[0];
      return c >= 'a' && c <= 'z' ? "A" : (c == 'O' ? "E" : "F");
    }
    default: break;
  }
  const std::string text = t.GetField(field);
  return PadRight(start >= 1 && start <= text.size() ? text.substr(start - 1, length) : std::string(), length);
}

const char* TWSaiBroDetJournauxAnal::LinesTag() const { return L::kAnalyticTag; }

void TWSaiBroDetJournauxAnal::CopySelectedCode() {
  const std::string row = SelectedRow();
  if (Busy() || row.empty()) {
    gui::MessageBeep(0);
    return;
  }
  PutTextOnClipboard(AllTrim(Cell(row, kSection).c_str()));
}

// ---- focus, click, closing -------------------------------------------------------------------------

void TWSaiBroDetJournauxAnal::EvSetFocus(gui::Handle lost) {
  CMDIBrowse::EvSetFocus(lost);
  if (PrintRunFlag) return;
  posting::SetActiveLinesWindowPosition(ownSlot);
  OrderLines();
}

void TWSaiBroDetJournauxAnal::EvLButtonDown(unsigned modKeys, gui::Point p) {
  if (Store().totalRows <= 0) return;
  CMDIBrowse::EvLButtonDown(modKeys, p);
  const std::string row = SelectedRow();
  if (Busy() || row.empty()) return;
  const std::string section = Cell(row, kSection);
  SetRegistryText(kRegistryLastSection, 8, section);
  ::Table* c30 = TableC30;
  if (c30 == nullptr || !c30->isOpen || IsBlank(section)) return;
  if (!c30->Find("C30CODE", section.c_str()).IsFound() || !c30->MatchRecordKey(section.c_str(), 8, 1).IsLive()) return;
  const long long balance = euroView_ ? StoredAmountOf(*c30, 10) - StoredAmountOf(*c30, 12)
                                      : StoredAmountOf(*c30, 9) - StoredAmountOf(*c30, 11);
  if (MessageBar != nullptr)
    MessageBar->SetText(FillPlaceholders(LoadStr(kStatusBalance), {c30->GetField(1), c30->GetField(2),
                                                                   Trimmed(BalanceAmount(balance)),
                                                                   LoadStr(euroView_ ? kLabelEuros : kLabelFrancs)}));
}

bool TWSaiBroDetJournauxAnal::CanClose() {
  if (!ReadyToClose()) return false;
  if (opened_) {
    // Without a line number of its own, every line of the axis counts.
    const SplitRemainder r = ComputeSplitRemainder(*Lines(), linesKey_, nullptr);
    const long long offF = key_.Francs() - r.splitF, offE = key_.Euros() - r.splitE;
    const std::string year = DecodeYear(key_.Part(1, 2).c_str());
    const std::string journal = RTrim(key_.Part(5, 3).c_str());
    const std::string month = key_.Part(3, 2), shortYear = year.size() >= 2 ? year.substr(year.size() - 2) : year;
    auto ask = [&](long long off, int question) {
      ActivateBrowse();
      gui::MessageBeep(0);
      const std::string text =
          FillPlaceholders(LoadStr(question), {journal, month, shortYear, BalanceAmount(off)});
      return gui::MessageBox(this, text, LoadStr(kTitleAttention),
                             gui::MB_YESNO | gui::MB_ICONSTOP | gui::MB_DEFBUTTON2) == gui::IDYES;
    };
    if (!euroOnly_ && offF != 0 && !ask(offF, kMsgUnbalancedFrancs)) return false;
    if (offE != 0 && !ask(offE, kMsgUnbalancedEuros)) return false;
  }
  return CMDIBrowse::CanClose();
}

// ---- commands -----------------------------------------------------------------------------------------

const gui::ResponseTable& TWSaiBroDetJournauxAnal::Table() {
  static const gui::ResponseTable table =
      gui::ResponseTable(&CMDIBrowse::Table())
          .Command(cmd::Annuler, &TWSaiBroDetJournauxAnal::CmAnnuler)
          .Command(cmd::Reactiver, &TWSaiBroDetJournauxAnal::CmReactiver)
          .Command(cmd::Modifier, &TWSaiBroDetJournauxAnal::CmModifier)
          .Command(cmd::CreerLigne, &TWSaiBroDetJournauxAnal::CmNouvelleLigne)
          .Command(cmd::LignePrecedente, &LineRangeBrowse::CmLignePrecedente)
          .Command(cmd::LigneRestore, &TWSaiBroDetJournauxAnal::CmLigneRestore)
          .Command(cmd::ReCaler, &TWSaiBroDetJournauxAnal::CmLigneRestore)
          .Command(cmd::LigneSuivante, &LineRangeBrowse::CmLigneSuivante)
          .Command(cmd::Rafraichir, &TWSaiBroDetJournauxAnal::CmRafraichirLignes)
          .Command(cmd::OpeningMessage, &TWSaiBroDetJournauxAnal::CmOpeningMessage)
          .Enable(cmd::CreerLigne, &TWSaiBroDetJournauxAnal::CeNouvelleLigne)
          .Enable(cmd::LignePrecedente, &TWSaiBroDetJournauxAnal::CeAlways)
          .Enable(cmd::LigneRestore, &TWSaiBroDetJournauxAnal::CeAlways)
          .Enable(cmd::LigneSuivante, &TWSaiBroDetJournauxAnal::CeAlways);
  return table;
}

void TWSaiBroDetJournauxAnal::CeNouvelleLigne(gui::CommandEnabler& ce) {
  ce.Enable(HasAccessRight(rightsFunction, kRightsCreate) && !Busy() && RegistryChar(partnerSlot) != '1');
}

// The analytic line form saved a line: the page is read again, a line cancelled by the save included.
void TWSaiBroDetJournauxAnal::CmRafraichirLignes() {
  RefreshTotal();
  for (int i = 0; i < Store().rowsPerPage; ++i) {
    const long recno = Store().RecordNumberOf(i);
    if (recno != 0) ReloadRow(Store().rows, i, recno);
  }
  Repaint();
}

void TWSaiBroDetJournauxAnal::CmAnnuler() {
  std::string row;
  const std::uint32_t recno = LineToChange(kRightsCancel, row);
  if (recno == 0) return;
  // The line's lock goes back once it is written: its form may open it at once.
  std::string refusal, totalsLeft;
  CancelSplitLine(*Lines(), *Sorts(), recno, AllTrim(row.substr(7, kSplitHeaderKeyLength).c_str()), &refusal,
                  &totalsLeft);
  SayRefusal(refusal);
  // Cancelled over its own amount that did not read: its section's total, which still counts it, is named.
  if (!totalsLeft.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, totalsLeft, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONEXCLAMATION);
  }
  ShowRecordAgain(recno);
}

void TWSaiBroDetJournauxAnal::CmReactiver() {
  std::string row;
  const std::uint32_t recno = LineToChange(kRightsCancel, row);
  if (recno == 0) return;
  std::string refusal;
  ReactivateSplitLine(*Lines(), *Sorts(), recno, AllTrim(row.substr(7, kSplitHeaderKeyLength).c_str()), &refusal);
  SayRefusal(refusal);
  ShowRecordAgain(recno);
}

void TWSaiBroDetJournauxAnal::SayRefusal(const std::string& refusal) {
  if (refusal.empty()) return;
  gui::MessageBeep(0);
  gui::MessageBox(this, refusal, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
}

void TWSaiBroDetJournauxAnal::CmModifier() {
  if (Busy() || !HasAccessRight(rightsFunction, kRightsModify)) return;
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
  const std::string text = AllTrim(row.substr(7, kSplitHeaderKeyLength).c_str());
  if (!LockRecord(*c50, text.c_str(), 0)) return;
  // The form locks the line itself when it loads it: the lock taken here only tested it.
  if (c50->result != kResultAlreadyLocked) UnlockRecord(*c50);
  // The form's own sub-slot carries the request ("2", or "R" for the line it shows already).
  OpenPartnerForm(linesKey_ + std::string(c50->GetField(L::BNUMA)), partnerSlot, command_id::ModDetJournauxAnal,
                  partnerSlot);
}

void TWSaiBroDetJournauxAnal::CmNouvelleLigne() {
  if (Busy() || !HasAccessRight(rightsFunction, kRightsCreate)) return;
  // Refused before the renumbering below writes anything.
  if (!posting::DraftHasRoomFor(*Lines(), 1)) {
    gui::MessageBeep(0);
    gui::MessageBox(this, LoadStr(kMsgDraftFullNoLine), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  NewSplitLine line;
  long after = 0;
  if (Store().totalRows > 0) {
    // The selected line, whose number the new one follows: a read the disk refused is said.
    const RefusalWatch reading(RefusalWatch::EngineBoxes::kHeld);
    const std::uint32_t recno = SelectedLine();
    ::Table& t = *Lines();
    const bool cancelled = recno != 0 && LiveOrNoted(t).IsNotFound();
    if (reading.ReadRefused()) {
      SayRefusal(FillPlaceholder(LoadStr(kMsgSelectedLineUnread), reading.Reason(0, t.tablePath, 0)));
      return;
    }
    if (recno == 0 || cancelled) {
      gui::MessageBeep(0);
      return;
    }
    after = std::atol(t.GetField(L::BNUMA));
    line.day = t.GetField(L::BJOUR);
    line.labelCode = t.GetField(L::BCLIB);
    line.label = t.GetField(L::BLIB);
    line.sense = Cell(SelectedRow(), kDebit).find_first_of("123456789") != std::string::npos ? 'D' : 'C';
  } else {
    line.day = key_.Day();
    line.labelCode = key_.LabelCode();
    line.label = key_.Label();
    line.sense = key_.Sense();
  }
  line.entry = euroView_ ? 'O' : 'N';
  if (PendingRoundingLine != 0) line.entry = static_cast<char>(line.entry - 'A' + 'a');
  // The number and the line as one change: a refusal takes back the renumbering with the line.
  std::string refusal;
  const long number = CreateSplitLineAfter(*Lines(), *Sorts(), key_, after, line, &refusal);
  if (number == kSplitRenumberFailed) {
    if (refusal.empty()) gui::MessageBeep(0);
    SayRefusal(refusal);
    CmRafraichirLignes();
    return;
  }
  if (number < 0) {
    gui::MessageBeep(0);
    const int text = number == kSplitRenumberTooLarge ? kMsgAxisTooLarge
                     : number == kSplitLineNoRoom      ? kMsgDraftFullNoLine
                                                       : kMsgAxisLineHeld;
    gui::MessageBox(this, LoadStr(text), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    CmRafraichirLignes();
    return;
  }
  ++Store().totalRows;
  RefreshTotal();
  if (Store().totalRows > Store().rowsPerPage) ShowRowCount();
  if (LocateRowByKey(Lines(), linesKey_ + line.number, 1, 1, 1)) gui::PostCommand(GetHandle(), cmd::Modifier);
}

// ---- line navigation ------------------------------------------------------------------------------------

void TWSaiBroDetJournauxAnal::CmLigneRestore() {
  const std::string key = RegistryText(ownSlot + 11, kSplitHeaderKeyLength);
  // Only a line of this split: the header key the opening left there names none.
  if (key.compare(0, kSplitLinesKeyLength, linesKey_) != 0 || IsBlank(key.substr(kSplitLinesKeyLength))) return;
  LocateRowByKey(Lines(), key, 1, 1, 1);
}

// ---- BroDetJournauxAnal ----------------------------------------------------------------------------------------

// Core: MakeDefaultSplit, CreateSplitLineAfter, CancelSplitLine.
void CmBroDetJournauxAnal() {
  for (int offset : {kLines1, kLines2})
    for (int k = 0; k < posting::kSlotCount; ++k) {
      const int position = posting::SlotPosition(k) + offset;
      if (RegistryChar(position) == 'R' && ActivateExistingChild(position)) return;
    }
  int own = 0;
  for (int offset : {kLines2, kLines1}) {
    for (int k = 0; k < posting::kSlotCount && own == 0; ++k)
      if (RegistryChar(posting::SlotPosition(k) + offset) == '2') own = posting::SlotPosition(k) + offset;
    if (own != 0) break;
  }
  if (own == 0 || CommandWindow == nullptr) return;
  const SplitKey key(RegistryText(own + 11, TWSaiBroDetJournauxAnal::kKeyWidth));
  const BrowseColumnTable columns = TWSaiBroDetJournauxAnal::DeclaredColumns(LastAnalyticEntryInEuros, DossierIsEuroOnly());
  auto* window = new TWSaiBroDetJournauxAnal(CommandWindow, TWSaiBroDetJournauxAnal::TitleOf(key, LastAnalyticEntryInEuros),
                                             &columns, own, own + TWSaiBroDetJournauxAnal::kFormOffset);
  SetChildIcon(*window, kIcon);
  PlaceChildWindow(*window, 0, -3);
  if (ProgramOption(3) != 'O') {
    // The upper two thirds of the client area, as wide as the columns; the line form below.
    const gui::Rect client = CommandWindow->GetClientRect();
    const int h = std::max(client.h, 300);
    const int wanted = (TotalColumnWidth(window->Columns()) + 4) * CMDIBrowse::CharWidthPixels() + 40;
    window->MoveWindow(gui::Rect{0, 0, std::min(wanted, std::max(client.w, 300)), h - h / 3});
  }
  // The two axes of one line stand one below the other.
  const char mode = TheDossierRecord.AnalyticMode();
  if (mode == '1' || mode == '2') {
    const int down = key.Axis() == 1 ? 20 : 40;
    const gui::Rect r = window->GetWindowRect();
    window->MoveWindow(gui::Rect{r.x, r.y + down, r.w, std::max(r.h - down, 100)});
  }
  if (window->Create()) window->Show(gui::SW_SHOWNORMAL);
  else delete window;
  SetRegistryText(own, 1, "1");
}
