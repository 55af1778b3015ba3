// "Déplacer sur un autre Journal" (Deplacer) and "Copie cette pièce sur un autre journal" (Copier) of
// the journal lines window: the target chosen in TDNouveauJournal, the piece moved or copied
// (entry/core/move_copy.h), then every window showing either journal-month refreshed.
#include <string>

#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/table.h"
#include "posting/entry_state.h"
#include "entry/core/move_copy.h"
#include "entry/lines_window.h"
#include "entry/new_journal_dialog.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "shell/registry.h"

using namespace entry;

namespace {

constexpr int kTitleAttention = 52;
constexpr int kTitleMovePiece = 16213;  // "Déplacer pièce '%s' sur Journal", the piece in it
constexpr int kTitleCopyPiece = 16214;  // "Copier pièce '%s' sur Journal"
constexpr int kMsgHeaderHeld = 16003;
constexpr int kMsgLineHeld = 16210;     // the line held, by its key
constexpr int kMsgPieceCounterFull = 16015;
constexpr int kMsgPieceCounterHeld = 16212;
constexpr int kMsgDraftFullNothingCopied = 16216;

// Dossier constant 009: the entry stays on the working month.
bool MonthFixed() { return ConstantIs(9, 'O'); }

void Say(gui::Window* owner, const std::string& text) {
  gui::MessageBeep(0);
  gui::MessageBox(owner, text, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
}

// The whole refresh of a window of the program, with the rows another window added to it.
void RefreshWith(gui::Handle window, long added) {
  if (window == 0 || gui::Window::FromHandle(window) == nullptr) return;
  PendingRowCount = added;
  gui::SendCommand(window, child_command::RafraichirTotal);
  PendingRowCount = 0;
}

}  // namespace

void TWSaiBroDetJournaux::CmDeplacer() { MoveOrCopyPiece(false); }
void TWSaiBroDetJournaux::CmCopier() { MoveOrCopyPiece(true); }

void TWSaiBroDetJournaux::CeDeplacerPiece(gui::CommandEnabler& ce) {
  if (!HasAccessRight(rightsFunction, 3)) {
    ce.Enable(false);
    return;
  }
  CeModifier(ce);
}

void TWSaiBroDetJournaux::MoveOrCopyPiece(bool copy) {
  if (Busy() || !HasAccessRight(rightsFunction, 3)) return;
  const std::uint32_t recno = SelectedLine();
  if (recno == 0 || !LiveOrSaid(*Lines()).IsFound()) return;
  const std::string piece = Lines()->GetField(LigneEcriture::BPIECE);
  if (IsBlank(ciblePiece_)) ciblePiece_ = key_;
  ciblePiece_.resize(kCiblePieceLength, ' ');

  // The target: another journal-month than this one.
  for (;;) {
    gui::MessageBeep(0);
    TDNouveauJournal dialog(this, &ciblePiece_, MonthFixed(),
                            copy ? TDNouveauJournal::kCopyJournal : TDNouveauJournal::kNewJournal, false, copy);
    dialog.SetCaption(FillPlaceholder(LoadStr(copy ? kTitleCopyPiece : kTitleMovePiece), RTrim(piece.c_str())));
    if (dialog.Execute(kTaskModal) != gui::IDOK) return;
    ciblePiece_.resize(kCiblePieceLength, ' ');
    if (ciblePiece_.compare(0, posting::kJournalMonthKeyLength, key_) != 0) break;
  }

  // The wait cursor goes round once per line.
  int frame = 0;
  const auto step = [&frame]() {
    SetAppCursor(kAnimationFirstString + frame, false);
    frame = (frame + 1) % 8;
  };
  const PieceTarget target = PieceTarget::From(ciblePiece_);
  const PieceResult done = copy ? CopyPiece(key_, piece, target, step) : MovePiece(key_, piece, target, step);
  SetAppCursor(0, false);

  if (!done.refusal.empty()) {
    Say(this, done.refusal);
    return;
  }
  switch (done.outcome) {
    case PieceOutcome::Done: break;
    case PieceOutcome::TargetHeld: Say(this, LoadStr(kMsgHeaderHeld)); return;
    case PieceOutcome::LineHeld: Say(this, FillPlaceholder(LoadStr(kMsgLineHeld), done.heldLine)); return;
    case PieceOutcome::CounterFull: Say(this, LoadStr(kMsgPieceCounterFull)); return;
    case PieceOutcome::NoPieceNumber: Say(this, LoadStr(kMsgPieceCounterHeld)); return;
    case PieceOutcome::TooManyLines: Say(this, LoadStr(kMsgDraftFullNothingCopied)); return;
    default: gui::MessageBeep(0); return;
  }

  // The headers list counts the headers made; a window of the target shows its new lines.
  if (RegistryChar(posting::kHeadersListFlag) == '1')
    RefreshWith(SlotHandle(posting::kHeadersListFlag), done.headersCreated);
  const std::string targetKey = target.journalMonth;
  for (int k = 0; k < posting::kSlotCount; ++k)
    if (posting::SlotInUse(k) && posting::SlotKey(k) == targetKey)
      RefreshWith(SlotHandle(posting::SlotPosition(k)), done.generalLines);
  if (!copy) {
    Store().totalRows -= done.generalLines;
    if (Store().totalRows <= 0) {
      Store().totalRows = 0;
      gui::PostCommand(GetHandle(), child_command::Quitter);
      return;
    }
    RestartShading();
  }
  CmRafraichirTotal();
}
