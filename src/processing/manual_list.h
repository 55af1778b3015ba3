// TraBroLettrageManuel: the list of one account's lines for manual matching, on the matching
// core (processing/core/manual_matching.h): 14 columns, the marking commands, the status line,
// the letter choice, "Enregistrer", "Solder et Enregistrer" and the word search.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "processing/core/manual_matching.h"
#include "processing/core/word_search.h"
#include "processing/ranked_list.h"

class TraBroLettrageManuel : public RankedList {
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
  void CeChercher(gui::CommandEnabler& ce);
  void CeChercherEncore(gui::CommandEnabler& ce);
  // The search's reading of the Escape key (tests set it).
  std::function<bool()> EscapeDown;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

  void CopySelectedCode() override;
  std::string GetCellText(int field, std::uint32_t value1, std::uint32_t value2, int column) override;

  // The status line's text.
  std::string StatusText() const override { return matching_.StatusLine(); }

 protected:
  void SetupWindow() override;
  void CleanupWindow() override;
  void BuildRank(BrowseRows& rows, int i, long rank) override;
  long RankOfRecord(long recno) const override;
  // F12 saves the letters, as the list's menu shows "Enregistrer [F12]".
  unsigned F12Command() const override;

 private:
  void Mark(processing::MarkCommand command);
  void SearchWords(bool goOn);

  processing::ManualMatching matching_;
  std::unordered_map<std::uint32_t, long> rankOf_;
  processing::ManualLine line_;  // the line whose cells are being built
};
