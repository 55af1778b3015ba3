// TraBroLettrageManuel: the list of one account's lines for manual matching, on the matching
// core (processing/core/manual_matching.h): 14 columns, the marking commands, the status line,
// the letter choice, "Enregistrer", "Solder et Enregistrer" and the word search.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "framework/browse.h"
#include "processing/core/manual_matching.h"
#include "processing/core/word_search.h"

class TraBroLettrageManuel : public CMDIBrowse {
 public:
  // Positions in a row text (1-based) of what the commands read.
  static constexpr int kDatePos = 22, kJournalPos = 30, kLabelPos = 40, kDebitPos = 65, kCreditPos = 82,
                       kLetterPos = 99, kMarkPos = 103;

  TraBroLettrageManuel(gui::MDIClient* client, const std::string& title,
                       const processing::ManualMatchingParameters& parameters);
  ~TraBroLettrageManuel() override;

  // The 14 columns; the amount and letter columns follow the currency.
  static BrowseColumnTable MakeColumns(bool euros);

  // Opens the matching of the account: anything but Opened and the list is not shown.
  processing::ManualOpen OpenMatching();
  processing::ManualMatching& Matching() { return matching_; }

  void CmLettrer();
  void CmLettrerOuDelettrer();
  void CmDeLettrer();
  void CmProchaineLettre();
  void CmEnregistrer();
  void CmSolderEtEnregistrer();
  void CmChercher();
  void CmChercherEncore();
  void CanSave(gui::CommandEnabler& ce);
  void CeSolderEtEnregistrer(gui::CommandEnabler& ce);
  void CeNotBusy(gui::CommandEnabler& ce);
  void CeChercher(gui::CommandEnabler& ce);
  void CeChercherEncore(gui::CommandEnabler& ce);
  // The search's reading of the Escape key (tests set it).
  std::function<bool()> EscapeDown;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

  void CopySelectedCode() override;
  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override;
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override;
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override;
  std::string GetCellText(int field, std::uint32_t value1, std::uint32_t value2, int column) override;
  void ReloadRow(BrowseRows& rows, int i, long recno) override;
  void PositionOnRecord(long recno, int flag) override;
  void SkipRecords(long count) override;

  // The status line's text.
  std::string StatusText() const { return matching_.StatusLine(); }

 protected:
  void SetupWindow() override;
  void CleanupWindow() override;
  void EvSetFocus(gui::Handle lost) override;

 private:
  void Mark(processing::MarkCommand command);
  void ShowStatus();
  void SearchWords(bool goOn);
  // The index in the row set of the selected row; -1 when none.
  long SelectedRank() const;
  void Build(BrowseRows& rows, int i, long rank);

  processing::ManualMatching matching_;
  std::unordered_map<std::uint32_t, long> rankOf_;
  long rank_ = -1;  // current position in the row set; -1 before the first, size after the last
  processing::ManualLine line_;  // the line whose cells are being built
};
