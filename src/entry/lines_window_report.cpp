// The report hooks of the journal lines window: its printout (entry/core/journal_printout.h)
// driven by the template interpreter, the transfer file of a treasury journal included.
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "entry/lines_window.h"
#include "framework/browse_services.h"

using namespace entry;

bool TWSaiBroDetJournaux::PrepareReport() {
  if (!opened_) return false;
  if (!printout_) {
    printout_ = std::make_unique<JournalPrintout>(ReportFields());
    printout_->AbandonExport = [] {
      if (BrowseHooks().abandonExport) BrowseHooks().abandonExport();
    };
  }
  printRun_.journalMonth = key_;
  if (posting::EnsureGeneralFile()) journal_ = posting::ReadJournal(*TableC10, posting::JournalOf(key_));
  printRun_.journalType = journal_.type();
  printRun_.euros = mainEuro_;
  printRun_.typeListe = ChosenLayoutText;
  printRun_.pieceFrom = LimitFrom;
  printRun_.pieceTo = LimitTo;
  printRun_.continuationColumn = MargeLib23;
  // The single-piece run takes the piece of the selected row, when it is a live line.
  printRun_.selectedPiece.clear();
  const std::uint32_t recno = SelectedLine();
  if (recno != 0 && LiveOrSaid(*Lines()).IsFound()) printRun_.selectedPiece
 = Lines()->GetField(LigneEcriture::BPIECE);
  const bool ready = printout_->Prepare(printRun_);
  LimitFrom = printRun_.pieceFrom;
  LimitTo = printRun_.pieceTo;
  LineTypeText = printout_->LineType();
  ListLineCount = 0;
  return ready;
}

void TWSaiBroDetJournaux::ComputeLine() {
  if (!printout_) return;
  printout_->Compute();
  ListLineCount = printout_->LinesComputed();
}

bool TWSaiBroDetJournaux::NextRecord() {
  if (!printout_) return false;
  const bool more = printout_->Next();
  LineTypeText = printout_->LineType();
  return more;
}

void TWSaiBroDetJournaux::ClassifyLine() {
  if (!printout_) return;
  printout_->Classify();
  LineTypeText = printout_->LineType();
}

void TWSaiBroDetJournaux::DefaultAction() {
  if (printout_) {
    printout_->Default(printRun_);
    LimitFrom = printRun_.pieceFrom;
    LimitTo = printRun_.pieceTo;
  }
  CMDIBrowse::DefaultAction();
}
