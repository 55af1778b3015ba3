#include "processing/manual_list.h"

#include "data/dossier_files.h"
#include "data/draft_lines.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/statusbar.h"
#include "platform/system/files.h"
#include "processing/matching_windows.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "platform/gui/cursor.h"
#include "resources/string_table.h"
#include "shell/mdi_client.h"
#include "shell/progress.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

constexpr int kManualCaption = 29002;
constexpr int kLetterPrompt = 232;
constexpr int kSearchPrompt = 796;
constexpr int kHeadersListSlot = 517;
// The titles of the columns.
constexpr int kColumnPiece = 23010, kColumnDate = 23211, kColumnJournal = 23001, kColumnLabel = 23014;
constexpr int kColumnDebit = 66, kColumnCredit = 67;
constexpr int kColumnLetterNow = 23216, kColumnLetterNew = 23217;
constexpr int kColumnDue = 23018, kColumnLabel2 = 23019, kColumnLabel3 = 23037;
// The other texts of the list, by their ids in the string table.
constexpr int kLetterPromptFrom = 32611;       // the letter prompt with the first letter the account allows
constexpr int kCaptionWarning = 52;
constexpr int kMsgJournalBusy = 16003;
constexpr int kMsgNoBalancingJournal = 29013;  // the journal of constant 053
constexpr int kMsgSearchInterrupted = 16018;
constexpr int kMsgWordsNotFound = 29012;       // the words searched

std::string Cut(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

std::string ShownDate(const std::string& stored) {
  Ymd d;
  return ParseStoredDate(stored, d) ? DisplayDateOf(d) : std::string(8, ' ');
}

// The declared columns of each currency, made once.
const BrowseColumnTable* ColumnsFor(bool euros) {
  static const BrowseColumnTable francs = TraBroLettrageManuel::MakeColumns(false);
  static const BrowseColumnTable inEuros = TraBroLettrageManuel::MakeColumns(true);
  return euros ? &inEuros : &francs;
}

}  // namespace

BrowseColumnTable TraBroLettrageManuel::MakeColumns(bool euros) {
  // Every title shows whole, and so do the amounts (up to 999 999 999.99) and the letters.
  const std::uint32_t i = euros ? 1 : 0;
  BrowseColumnTable c = MakeColumnTable(14, 1);
  DefineColumn(c, 1, 2, "", 'C', 'D', 0, 1, 1);
  DefineColumn(c, 2, 0, "", 'C', 'C', 10, 1, 6);
  DefineColumn(c, 3, 7, LoadStr(kColumnPiece), 'C', 'C', 11, 1, 8);
  DefineColumn(c, 4, 7, LoadStr(kColumnDate), 'C', 'C', 3, 1, 8);
  DefineColumn(c, 5, 7, LoadStr(kColumnJournal), 'C', 'C', 5, 1, 3);
  DefineColumn(c, 6, 7, "", 'C', 'C', 11, 1, 7);
  DefineColumn(c, 7, 22, LoadStr(kColumnLabel), 'C', 'G', 12, 1, 25);
  DefineColumn(c, 8, 14, LoadStr(kColumnDebit), 'C', 'D', static_cast<int>(18 + i), 1, 17);
  DefineColumn(c, 9, 14, LoadStr(kColumnCredit), 'C', 'D', static_cast<int>(18 + i), 1, 17);
  DefineColumn(c, 10, 12, LoadStr(kColumnLetterNow), 'C', 'C', static_cast<int>(6 + i), 1, 4);
  DefineColumn(c, 11, 12, LoadStr(kColumnLetterNew), 'C', 'C', 8, 1, 4);
  DefineColumn(c, 12, 7, LoadStr(kColumnDue), 'C', 'C', 15, 1, 8);
  DefineColumn(c, 13, 22, LoadStr(kColumnLabel2), 'C', 'G', 13, 1, 25);
  DefineColumn(c, 14, 22, LoadStr(kColumnLabel3), 'C', 'G', 14, 1, 25);
  return c;
}

TraBroLettrageManuel::TraBroLettrageManuel(gui::MDIClient* client, const std::string& title,
                                           const processing::ManualMatchingParameters& parameters)
    : RankedList(client, title, ColumnsFor(parameters.euros), kManualListSlot, kManualListSlotLength, kManualFormSlot),
      matching_(parameters) {
  keyWidth = 6;
  listName = "TraBroLettrageManuel";
  toolbarCommands = {7, browse_cmd::Quitter, matching_cmd::LettrerOuDelettrer, form_cmd::Enregistrer,
                     matching_cmd::ProchaineLettre, matching_cmd::Chercher, matching_cmd::ChercherEncore,
                     matching_cmd::SolderEtEnregistrer};
  EscapeDown = [] { return gui::GetKeyState(gui::VK_ESCAPE) < 0; };
}

TraBroLettrageManuel::~TraBroLettrageManuel() = default;

processing::ManualOpen TraBroLettrageManuel::OpenMatching() {
  const processing::ManualOpen opened = matching_.Open();
  rankOf_.clear();
  const auto& rows = matching_.Rows();
  for (std::size_t k = 0; k < rows.size(); ++k) rankOf_[rows[k]] = static_cast<long>(k);
  Store().totalRows = static_cast<long>(rows.size());
  rank_ = rows.empty() ? -1 : 0;
  return opened;
}

void TraBroLettrageManuel::SetupWindow() {
  CMDIBrowse::SetupWindow();
  BuildToolbar(toolbarCommands, true);
  RegisterWindowSlot(kManualListSlot, GetHandle());
  SetRegistryText(kManualListSlot + 11, processing::ManualMatchingParameters::kLength, matching_.Parameters().Text());
  if (Store().totalRows > 0 && Store().selected == 0) Store().selected = 1;
  ShowStatus();
  // An exempt account chooses its letter at once.
  if (matching_.ExemptAccount()) {
    gui::PostCommand(GetHandle(), matching_cmd::ProchaineLettre);
    gui::MessageBeep(0);
  }
}

void TraBroLettrageManuel::CleanupWindow() {
  matching_.Close();
  SetRegistryText(kManualListSlot, 1, " ");
  CMDIBrowse::CleanupWindow();
}

const gui::ResponseTable& TraBroLettrageManuel::Table() {
  using F = TraBroLettrageManuel;
  static const gui::ResponseTable table =
      gui::ResponseTable(&CMDIBrowse::Table())
          .Command(form_cmd::Enregistrer, &F::CmEnregistrer)
          .Command(matching_cmd::Lettrer, &F::CmLettrer)
          .Command(matching_cmd::LettrerOuDelettrer, &F::CmLettrerOuDelettrer)
          .Command(matching_cmd::ProchaineLettre, &F::CmProchaineLettre)
          .Command(matching_cmd::DeLettrer, &F::CmDeLettrer)
          .Command(matching_cmd::Chercher, &F::CmChercher)
          .Command(matching_cmd::ChercherEncore, &F::CmChercherEncore)
          .Command(matching_cmd::SolderEtEnregistrer, &F::CmSolderEtEnregistrer)
          .Enable(form_cmd::Enregistrer, &F::CanSave)
          .Enable(matching_cmd::Lettrer, &F::CeNotBusy)
          .Enable(matching_cmd::LettrerOuDelettrer, &F::CeNotBusy)
          .Enable(matching_cmd::ProchaineLettre, &F::CeNotBusy)
          .Enable(matching_cmd::DeLettrer, &F::CeNotBusy)
          .Enable(matching_cmd::Chercher, &F::CeChercher)
          .Enable(matching_cmd::ChercherEncore, &F::CeChercherEncore)
          .Enable(matching_cmd::SolderEtEnregistrer, &F::CeSolderEtEnregistrer)
          .Enable(form_cmd::Visualiser, &F::CeNever)
          .Enable(form_cmd::Imprimer, &F::CeNever);
  return table;
}

// ---- the rows: positions in the row set ----------------------------------------------------------------------------

void TraBroLettrageManuel::BuildRank(BrowseRows& rows, int i, long rank) {
  const std::uint32_t c60 = matching_.Rows()[static_cast<std::size_t>(rank)];
  line_ = matching_.ReadLine(c60);
  BuildRowText(rows, i, static_cast<long>(c60), !line_.readable);
}

// A row's record number is its line's C60 record.
long TraBroLettrageManuel::RankOfRecord(long recno) const {
  const auto it = rankOf_.find(static_cast<std::uint32_t>(recno));
  return it == rankOf_.end() ? -1 : it->second;
}

std::string TraBroLettrageManuel::GetCellText(int, std::uint32_t, std::uint32_t value2, int column) {
  const processing::ManualLine& l = line_;
  const std::size_t width = value2;
  const std::string amount = GroupedAmount(l.cents, 17);
  switch (column) {
    case 2: return l.readable ? std::string(StrZero(static_cast<long>(l.c60), 6)) : std::string("000000");
    case 3: return l.draft ? "(" + Cut(l.piece, 6) + ")" : " " + Cut(l.piece, 6) + " ";
    case 4: return ShownDate(l.date);
    case 5: return Cut(l.journal, 3);
    case 6: return Cut(l.labelText, 7);
    case 7: return Cut(l.label, width);
    case 8: return l.sense == 'D' ? amount : std::string(17, ' ');
    case 9: return l.sense == 'C' ? amount : std::string(17, ' ');
    case 10: return Cut(l.letter, 4);
    case 11: return Cut(l.mark, 4);
    case 12: return Trimmed(l.due).empty() ? std::string(8, ' ') : ShownDate(l.due);
    case 13: return Cut(l.label2, width);
    case 14: return Cut(l.label3, width);
    default: return std::string(width, ' ');
  }
}

void TraBroLettrageManuel::CopySelectedCode() { CopySelectedCodeFrom(kJournalPos, 3); }

// ---- commands -------------------------------------------------------------------------------------------------------

void TraBroLettrageManuel::Mark(processing::MarkCommand command) {
  const long rank = SelectedRank();
  if (Busy() || rank < 0 || !matching_.Mark(static_cast<std::size_t>(rank), command)) {
    gui::MessageBeep(0);
    // A mark the system refused to write: its one sentence.
    if (!matching_.Refusal().empty())
      gui::MessageBox(this, matching_.Refusal(), LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  ReloadShownRows();
}

void TraBroLettrageManuel::CmLettrer() { Mark(processing::MarkCommand::Lettrer); }
void TraBroLettrageManuel::CmDeLettrer() { Mark(processing::MarkCommand::Delettrer); }
void TraBroLettrageManuel::CmLettrerOuDelettrer() {
  const long before = SelectedRank();
  Mark(processing::MarkCommand::LettrerOuDelettrer);
  if (before >= 0) EvKeyDown(gui::VK_DOWN, 1, 0);
}

void TraBroLettrageManuel::CmProchaineLettre() {
  if (Busy()) return;
  std::string prompt = LoadStr(kLetterPrompt);
  if (!matching_.ExemptAccount())
    prompt = FillPlaceholder(LoadStr(kLetterPromptFrom), matching_.FirstAllowedLetter().empty()
                                                             ? std::string("A")
                                                             : matching_.FirstAllowedLetter());
  for (;;) {
    std::string typed = matching_.CurrentLetter();
    TDFmtSaisie dialog(this, TDFmtSaisie::kOkCancel, prompt, &typed, true);
    dialog.SetCaption(LoadStr(kManualCaption));
    if (dialog.Execute(kTaskModal) != gui::IDOK) return;
    if (matching_.ChooseLetter(typed)) return;
    gui::MessageBeep(0);
  }
}

void TraBroLettrageManuel::CanSave(gui::CommandEnabler& ce) { ce.Enable(!Busy() && matching_.CanSave()); }

unsigned TraBroLettrageManuel::F12Command() const { return form_cmd::Enregistrer; }

void TraBroLettrageManuel::CmEnregistrer() {
  if (Busy() || !matching_.CanSave()) {
    gui::MessageBeep(0);
    return;
  }
  SetDossierState('1');
  const bool saved = matching_.SaveLetters();
  SetDossierState(' ');
  if (!saved) {
    // Nothing changed: the list stays, its marks with it, for a save made again.
    gui::MessageBeep(0);
    if (!matching_.Refusal().empty())
      gui::MessageBox(this, matching_.Refusal(), LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

void TraBroLettrageManuel::CeSolderEtEnregistrer(gui::CommandEnabler& ce) {
  const long rank = SelectedRank();
  ce.Enable(!Busy() && rank >= 0 && matching_.CanBalance(static_cast<std::size_t>(rank)));
}

void TraBroLettrageManuel::CmSolderEtEnregistrer() {
  const long rank = SelectedRank();
  if (Busy() || rank < 0) {
    gui::MessageBeep(0);
    return;
  }
  SetDossierState('1');
  const processing::BalanceOutcome out = matching_.Balance(static_cast<std::size_t>(rank));
  SetDossierState(' ');
  switch (out) {
    case processing::BalanceOutcome::Written:
      // The journal-months list shows the new totals.
      if (RegistryChar(kHeadersListSlot) == '1') gui::SendCommand(SlotHandle(kHeadersListSlot), form_cmd::ListRefreshAll);
      // The piece written, its letters refused: said, the list closing all the same (its lines keep their marks).
      if (!matching_.BalanceRefusal().empty())
        gui::MessageBox(this, matching_.BalanceRefusal(), LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
      gui::PostMessage(GetHandle(), gui::WM_CLOSE);
      return;
    case processing::BalanceOutcome::HeaderLocked:
      gui::MessageBeep(0);
      gui::MessageBox(this, LoadStr(kMsgJournalBusy), LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
      return;
    case processing::BalanceOutcome::NoJournal:
      gui::MessageBeep(0);
      gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgNoBalancingJournal), Trimmed(ConstantEntry(53))),
                      LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
      return;
    case processing::BalanceOutcome::TooManyLines:
      gui::MessageBeep(0);
      gui::MessageBox(this, TooManyLinesMessage(platform::ResolvePath(std::string(PathC50()) + ".dbf")),
                      LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
      return;
    default:
      // A total that cannot hold the piece, or a write the system refused: its one sentence.
      gui::MessageBeep(0);
      if (!matching_.BalanceRefusal().empty())
        gui::MessageBox(this, matching_.BalanceRefusal(), LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
      return;
  }
}

void TraBroLettrageManuel::CeChercher(gui::CommandEnabler& ce) {
  ce.Enable(!Busy() && Store().totalRows > 0 && GetSelectedRowIndex() != 0);
}

void TraBroLettrageManuel::CeChercherEncore(gui::CommandEnabler& ce) {
  ce.Enable(!Busy() && Store().totalRows > 0 && GetSelectedRowIndex() != 0 && !IsBlank(BrowseSearchText.c_str()));
}

void TraBroLettrageManuel::CmChercher() { SearchWords(false); }

void TraBroLettrageManuel::CmChercherEncore() {
  if (IsBlank(BrowseSearchText.c_str())) {
    gui::MessageBeep(0);
    return;
  }
  SearchWords(true);
}

void TraBroLettrageManuel::SearchWords(bool goOn) {
  const long rank = SelectedRank();
  if (rank < 0) {
    gui::MessageBeep(0);
    return;
  }
  if (!goOn) {
    std::string typed = BrowseSearchText;
    TDFmtSaisie dialog(this, TDFmtSaisie::kOkCancel, kSearchPrompt, &typed, true);
    dialog.SetCaption(LoadStr(kManualCaption));
    if (dialog.Execute(kTaskModal) != gui::IDOK || IsBlank(typed.c_str())) return;
    BrowseSearchText = AllTrim(typed.c_str());
  }
  // The words are folded as the texts are (constant 064), by the framework's search helpers.
  std::vector<std::string> words = SplitText(BrowseSearchText.c_str(), true, '&', '|');
  FoldAccentsUpper(words);
  // A progress count over the rows, which lets waiting messages through at each line that does not match.
  Progress progress(Store().totalRows, this);
  long walked = 0;
  const processing::WordSearchResult r = processing::SearchRows(
      matching_, static_cast<std::size_t>(rank), goOn, [&words](const std::string& text) { return FindFolded(words, text); },
      [&] {
        progress.ProgressStep(++walked, true);
        return EscapeDown && EscapeDown();
      });
  gui::SetArrowCursor();
  switch (r.end) {
    case processing::WordSearchEnd::Found:
      rank_ = static_cast<long>(r.row);
      SelectRow(static_cast<long>(r.row) + 1, 1);
      return;
    case processing::WordSearchEnd::Interrupted:
      gui::MessageBox(this, LoadStr(kMsgSearchInterrupted), LoadStr(kManualCaption),
                      gui::MB_OK | gui::MB_ICONEXCLAMATION);
      return;
    case processing::WordSearchEnd::NotFound:
      gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgWordsNotFound), BrowseSearchText), LoadStr(kManualCaption),
                      gui::MB_OK | gui::MB_ICONEXCLAMATION);
      return;
  }
}
