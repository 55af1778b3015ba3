// The run of a trial balance as the report engine drives it: the report object behind the
// trial-balance window's hooks. A run begins with the form's options (the list sequence and the
// report prefix follow from them); each list of the sequence is prepared (PrepareReport: the
// layout's list type checked, the variables declared, the accounts gathered from one reading of
// the lines), then walked line by line (ComputeLine, NextRecord, ClassifyLine) with the break
// letters the layouts test. The two export layouts serve records instead: the statutory entries
// file ("XF", written whole under its legal name before its rows are shown) and the export for
// the CEGID product ("XC"). What needs the user's word goes through the virtual hooks, which the
// window answers with its message boxes and dialogs.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/code_lists.h"
#include "reports/balances/core/fec_export.h"
#include "reports/balances/core/trial_balance_options.h"
#include "reports/balances/core/trial_balance_run.h"
#include "reports/engine/core/report_owner.h"

namespace balances {

// The tables a run reads.
struct TrialBalancePaths {
  std::string c10, c20, c30, c40, c50, c60;
  // The open dossier's.
  static TrialBalancePaths OfOpenDossier();
};

class TrialBalanceReport : public reports::SimpleReportOwner {
 public:
  TrialBalanceReport();
  ~TrialBalanceReport() override;

  // A new run: the options of the form, the list sequence and the prefix derived from them.
  // The lines are read again at the run's first list.
  void Begin(const std::string& optionsText, const TrialBalancePaths& paths);

  const TrialBalanceOptions& Options() const { return options_; }
  const std::string& Prefix() const { return prefix_; }
  // The lists still to produce; the first is the one being produced.
  const std::string& Lists() const { return lists_; }
  bool SeveralLists() const { return severalLists_; }
  int LimitsMode() const { return limitsMode_; }
  char ListKind() const { return lists_.empty() ? ' ' : lists_[0]; }
  // The first list done (or given up): the next one comes first; the account range applies to
  // the first list only.
  void DropList();
  // The report code chosen in the dialog; the analytic list takes its analytic form.
  void ChooseReportCode(const std::string& code);
  // The title of the list being produced ("GENERALE" ...), trimmed.
  std::string ListTitleText() const;

  // ---- hooks
  bool PrepareReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;
  // The statutory entries file is written whole under its legal name by the run itself (the
  // list prepared is an "XF" one): the layout's export of its rows makes no cut-down copy.
  bool WritesItsOwnExport() const override { return mode_ == Mode::kFec; }
  // A run of several lists exports each to a file of its own: "-generale", "-resultat",
  // "-analytique", "-collectif-" + the collective's letter.
  std::string ExportNameSuffix() override;
  // A balance whose reading met amounts that do not read writes no export file: they are named to
  // the report engine, which gives the file up and says so; no warning of the balance's own. Those
  // of every list left are named at once, and the run ends with this list: one refusal a run.
  void ExportBegins() override;

  // ---- what a run asks or tells (a window answers with its boxes)
  // The empty-report notice ("Il n'y a rien dans cet Etat" and the text).
  virtual void ShowEmpty(const std::string& text) { lastEmpty_ = text; }
  // A refusal or an error that stops the run.
  virtual void ShowError(const std::string& text) { lastError_ = text; }
  // An information once the run has done what it says.
  virtual void ShowInformation(const std::string& text) { lastInformation_ = text; }
  // A warning the run goes on after (the lines whose amount does not read, counted as zero).
  virtual void ShowWarning(const std::string& text, const std::string& caption) { lastWarning_ = text; }
  // A question whose default answer is "Non": true to go on.
  virtual bool AskGoOn(const std::string& text) {
    lastQuestion_ = text;
    return false;
  }
  // The dossier code the CEGID product knows, typed by the user; false when cancelled (the
  // export then goes on without a code, 00000).
  virtual bool AskDossierCode(std::string& typed) { return false; }

  const std::string& LastEmptyText() const { return lastEmpty_; }
  const std::string& LastErrorText() const { return lastError_; }
  const std::string& LastInformationText() const { return lastInformation_; }
  const std::string& LastWarningText() const { return lastWarning_; }
  const std::string& LastQuestionText() const { return lastQuestion_; }
  // The statutory entries file written by the last "XF" list ("" when none).
  const std::string& FecPath() const { return fecPath_; }
  // Lines of the list being produced.
  std::size_t LineCount() const;
  // Sort records met reaching no line in the last gathering.
  long BrokenRecords() const { return brokenRecords_; }

 private:
  bool Load(bool texts, bool analytic = true);
  bool PrepareBalance(const std::string& typeListe);
  bool PrepareFec();
  bool PrepareCegid();
  GatherContext Context(char listKind, const std::string& typeListe) const;
  void FillListVariablesOfRun(char listKind);
  const ChartList& ChartOf(char listKind) const { return listKind == '9' ? sections_ : chart_; }
  std::string CodeOfLine(std::size_t i) const;

  enum class Mode { kBalance, kFec, kCegid };

  TrialBalancePaths paths_;
  TrialBalanceOptions options_;
  std::string prefix_, lists_;
  bool severalLists_ = false;
  int limitsMode_ = 1;
  std::string chosenCode_ = std::string(18, ' '), analyticCode_ = std::string(18, ' ');

  // The sources, read once per run.
  BalanceSource source_;
  ChartList chart_, sections_;
  CodeLists codes_;
  bool loaded_ = false, loadedTexts_ = false, loadedAnalytic_ = false;
  bool unreadableSaid_ = false;  // the lines whose amount does not read named once per reading
  // Those the list being produced counts as zero (its lines, its accounts' or sections' figures),
  // named at its first line, or when its export file is made.
  std::vector<UnreadableAmountLine> unreadable_;
  bool exporting_ = false;
  void SayUnreadable();
  // The list's amounts that do not read named to the report engine, once a list: they were read
  // before its run began.
  bool unreadableHanded_ = false;
  void HandUnreadable();

  // The list being produced.
  Mode mode_ = Mode::kBalance;
  std::string typeListe_;
  PeriodFrame frame_;
  std::vector<BalanceLine> lines_;
  FecRows fecRows_;
  std::string fecLine_;                           // the row being shown
  std::array<std::string, kFecZones> fecZones_;  // and its zones
  std::vector<std::string> cegidRecords_;
  std::size_t current_ = 0;
  bool allBreaks_ = false;
  char exportForm_ = 'N';
  bool analyticByAccount_ = false;
  long brokenRecords_ = 0;

  std::string fecPath_;
  std::string lastEmpty_, lastError_, lastInformation_, lastQuestion_, lastWarning_;
};

}  // namespace balances
