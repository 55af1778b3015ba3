#include "entry/validation_dialog.h"

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "posting/journal_month.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/cursor.h"
#include "platform/gui/messagebox.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "shell/graphics.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/progress.h"

using namespace entry;

namespace {

constexpr const char* kResource = "SAISIE_VALIDATION";
constexpr int kNameWidth = 24;

// The texts of the form and of its messages; a "%s" of a text takes the value its comment names.
constexpr int kTitleAttention = 52;
constexpr int kTitleValidation = 16240;
constexpr int kLabelBalanced = 16241, kLabelUnbalanced = 16242;
constexpr int kLabelUnread = 39125;                // its lines whose amount does not read
constexpr int kLabelTicked = 16243;                // the journal-months ticked, their lines
constexpr int kMsgValidationQuestion = 16245;      // the journal-months, the date
constexpr int kMsgOthersCancelledDropped = 16248;  // the cancelled lines of the other journal-months
constexpr int kMsgConfirmValidation = 16258;
constexpr int kMsgValidationDone = 16260;  // the journal-months, lines, analytic lines, date, cancelled lines dropped
constexpr int kMsgValidationFailed = 16266;        // the error's code, its text
constexpr int kMsgPutBack = 16267;
constexpr int kMsgNotPutBack = 16268;              // why not
constexpr int kBlankLines = 55;                    // "\n\n" after the invariant check's report
constexpr int kMsgFilesWontOpen = 16269;
// The list of journal-months to validate not read whole, a read refused (the file and the error).
constexpr int kMsgMonthsUnread = 38153;

bool MainEuro() { return TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N'; }

// The journal-month's totals stand in columns: as wide as the widest a total takes ("99 999 999 999.99").
constexpr int kAmountWidth = 17;

}  // namespace

TDSaiValidation::TDSaiValidation(gui::Window* parent, std::vector<DraftMonth> months, std::string latest,
                                 long closedRecords)
    : TDNuv(parent, kResource, false),
      months_(std::move(months)),
      latest_(std::move(latest)),
      closedRecords_(closedRecords) {
  // The journal-months with lines; one of cancelled records only has nothing to validate.
  std::vector<DraftMonth> kept;
  for (DraftMonth& m : months_) {
    cancelled_ += m.cancelled;
    if (m.lines + m.analytic > 0) kept.push_back(std::move(m));
  }
  months_ = std::move(kept);
  ticked_.assign(months_.size(), false);
  new MStatic(kOnTemplate, this, 1201);
  list_ = new MListBox(kOnTemplate, this, kList);
  new MButton(kOnTemplate, this, kTickAll);
  summary_ = new MStatic(kOnTemplate, this, kSummary);
  new MStatic(kOnTemplate, this, 1205);
  date_ = new MEdit(kOnTemplate, this, kDate, 8, 1, true, MEdit::kDate, 0);
  new MButton(kOnTemplate, this, gui::IDOK);
  new MButton(kOnTemplate, this, gui::IDCANCEL);
}

const gui::ResponseTable& TDSaiValidation::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&gui::Dialog::Table())
                                              .Command(kTick, &TDSaiValidation::CmTick)
                                              .Command(kTickAll, &TDSaiValidation::CmTickAll);
  return table;
}

std::string TDSaiValidation::Row(int row) const {
  if (row < 0 || row >= static_cast<int>(months_.size())) return {};
  const DraftMonth& m = months_[static_cast<std::size_t>(row)];
  const std::string head = std::string(ticked_[static_cast<std::size_t>(row)] ? "[X] " : "[ ] ") +
                           posting::MonthDisplay(m.journalMonth) + "  " +
                           PadRight(posting::JournalOf(m.journalMonth), 4) + PadRight(m.name, kNameWidth);
  // Totals that counted a line as zero are not the journal-month's: none shown, nor its balance.
  if (!m.Read())
    return head + std::string(2 * kAmountWidth + 4, ' ') +
           FillPlaceholder(LoadStr(kLabelUnread), std::to_string(m.unreadable + m.pastBound));
  const bool euros = MainEuro();
  const bool balanced = m.BalancedInEuros() && (DossierIsEuroOnly() || m.BalancedInFrancs());
  return head + GroupedAmount(euros ? m.debitE : m.debitF, kAmountWidth) + "  " +
         GroupedAmount(euros ? m.creditE : m.creditF, kAmountWidth) + "  " +
         LoadStr(balanced ? kLabelBalanced : kLabelUnbalanced);
}

void TDSaiValidation::SetupWindow() {
  TDNuv::SetupWindow();
  // A font of one width, so that the amounts stand in columns.
  list_->SetFont(EntryFontFixed);
  list_->SetNotify(this, 0, kTick, kTick);
  for (int i = 0; i < static_cast<int>(months_.size()); ++i) list_->AddString(Row(i));
  if (!months_.empty()) list_->SetSelIndex(0);
  date_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::Working), true);
  ShowSummary();
  list_->SetFocus();
}

bool TDSaiValidation::IsTicked(int row) const {
  return row >= 0 && row < static_cast<int>(ticked_.size()) && ticked_[static_cast<std::size_t>(row)];
}

void TDSaiValidation::Tick(int row) {
  if (row < 0 || row >= static_cast<int>(months_.size())) return;
  ticked_[static_cast<std::size_t>(row)] = !ticked_[static_cast<std::size_t>(row)];
  if (list_->IsCreated()) {
    list_->DeleteString(row);
    list_->InsertString(Row(row), row);
    list_->SetSelIndex(row);
  }
  ShowSummary();
}

void TDSaiValidation::TickAll() {
  for (int i = 0; i < static_cast<int>(months_.size()); ++i)
    if (!IsTicked(i)) Tick(i);
}

void TDSaiValidation::CmTick() { Tick(list_->GetSelIndex()); }
void TDSaiValidation::CmTickAll() { TickAll(); }

void TDSaiValidation::ShowSummary() {
  long months = 0, lines = 0;
  for (std::size_t i = 0; i < months_.size(); ++i) {
    if (!ticked_[i]) continue;
    ++months;
    lines += months_[i].lines;
  }
  if (summary_ != nullptr && summary_->IsCreated())
    summary_->SetText(FillPlaceholders(LoadStr(kLabelTicked), {std::to_string(months), std::to_string(lines)}));
}

bool TDSaiValidation::CanClose() {
  JournalValidationRequest request;
  // The pack drops the cancelled records of the journal-months left, those of cancelled lines only too.
  long other = cancelled_;
  for (std::size_t i = 0; i < months_.size(); ++i) {
    if (!ticked_[i]) continue;
    request.journalMonths.push_back(months_[i].journalMonth);
    other -= months_[i].cancelled;
  }
  const std::string typed = AllTrim(date_->GetValue().c_str());
  request.date = typed.size() == 8 && IsValidDate(typed.c_str()) ? std::string(ConvertDate(typed.c_str())) : "";
  const std::string refusal = ValidationRefusal(request, months_, latest_, closedRecords_, DossierIsEuroOnly());
  if (!refusal.empty()) {
    gui::MessageBeep(0);
    gui::MessageBox(this, refusal, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return false;
  }
  std::string question =
      FillPlaceholders(LoadStr(kMsgValidationQuestion), {JournalMonthsText(request.journalMonths), typed});
  if (other > 0) question += FillPlaceholder(LoadStr(kMsgOthersCancelledDropped), std::to_string(other));
  question += LoadStr(kMsgConfirmValidation);
  gui::MessageBeep(0);
  if (gui::MessageBox(this, question, LoadStr(kTitleAttention),
                      gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2) != gui::IDYES)
    return false;
  request_ = request;
  return true;
}

// ---- the command ---------------------------------------------------------------------------------------

namespace {

// The dossier given back on every way out: shared again, its state "2", opened again.
class ExclusiveHold {
 public:
  ~ExclusiveHold() { Release(); }
  // Given back now (once): true when the dossier opened again, false when its opening refused it and
  // said why in its own box, the dossier left closed.
  bool Release() {
    if (released_) return reopened_;
    released_ = true;
    CloseAllTables();
    ReleaseDossierExclusive();
    SetDossierState('2');
    reopened_ = !Services().ensureDossierOpen || Services().ensureDossierOpen();
    return reopened_;
  }

 private:
  bool released_ = false;
  bool reopened_ = true;
};

std::string EndMessage(const ValidationResult& r, const std::vector<std::string>& months, const std::string& date) {
  if (r.code == 0)
    return FillPlaceholders(LoadStr(kMsgValidationDone),
                            {JournalMonthsText(months), std::to_string(r.generalLines), std::to_string(r.analyticLines),
                             date, std::to_string(r.cancelledDropped + r.otherCancelled)}) +
           r.totalsAdvice;
  std::string text = FillPlaceholders(LoadStr(kMsgValidationFailed), {std::to_string(r.code), r.error});
  text += r.putBack ? std::string(LoadStr(kMsgPutBack)) : FillPlaceholder(LoadStr(kMsgNotPutBack), r.putBackError);
  if (!r.invariantReport.empty()) text += r.invariantReport + LoadStr(kBlankLines);
  return text;
}

}  // namespace

// Core: ListDraftMonths, RunValidation.
void CmValidationJournaux() {
  gui::Window* parent = CommandWindow;
  if (CommandWindow != nullptr && !CommandWindow->CloseChildren()) return;
  CloseAllTables();
  // Refused while another station has the dossier open: the message 2259 has been shown.
  if (!OpenDossierExclusive(true)) return;
  SetDossierState('1');
  ExclusiveHold hold;

  // The form's rows, read with the dossier held: nobody changes them meanwhile.
  std::vector<DraftMonth> months;
  std::string latest;
  long closed = 0;
  std::string unread;  // why the list could not be read whole
  {
    // A read the disk refuses here would leave a journal-month out, or its balance short: said alone.
    RefusalWatch reads(RefusalWatch::EngineBoxes::kHeld);
    ::Table c10, c40, c50;
    if (!c10.OpenShared(PathC10(), "C10CODE", true) || !c50.OpenShared(PathC50(), "", true)) {
      if (!reads.ReadRefused()) {
        gui::MessageBeep(0);
        gui::MessageBox(parent, LoadStr(kMsgFilesWontOpen), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
        return;
      }
    } else {
      months = ListDraftMonths(c50, c10);
      if (c40.OpenShared(PathC40(), "", true)) {
        latest = LatestValidationDate(c40);
        closed = static_cast<long>(c40.RecCount());
      }
    }
    if (reads.ReadRefused()) unread = FillPlaceholder(LoadStr(kMsgMonthsUnread), reads.Reason(0, "", 0));
  }
  if (!unread.empty()) {
    // The dossier given back first: a disk that still refuses keeps it closed, which its opening says
    // in one box with why; opened again, the list's refusal is said alone.
    if (hold.Release()) {
      gui::MessageBeep(0);
      gui::MessageBox(parent, unread, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    }
    return;
  }
  TDSaiValidation form(parent, months, latest, closed);
  if (form.Execute(kTaskModal) != gui::IDOK) return;
  const JournalValidationRequest request = form.Request();

  long total = 0;
  for (const DraftMonth& m : form.Months())
    for (const std::string& k : request.journalMonths)
      if (k == m.journalMonth) total += m.lines + m.analytic;
  Progress progress(total, parent);
  const ValidationResult result =
      RunValidation(request, [&progress](long n) { progress.ProgressStep(n, (n & 16383) == 0); });
  gui::SetArrowCursor();
  gui::MessageBeep(0);
  gui::MessageBox(parent, EndMessage(result, request.journalMonths, ConvertDate(request.date.c_str())),
                  LoadStr(kTitleValidation),
                  gui::MB_OK | (result.code == 0 ? gui::MB_ICONINFORMATION : gui::MB_ICONSTOP));
}

void InstallValidationCommand() {
  SetCommandWork(command_id::ValidationJournaux, CmValidationJournaux);
}
