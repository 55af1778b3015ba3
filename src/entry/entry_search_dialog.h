// TDRechercheEcriture (dialog 1334): the search of the entries of one amount. The caller's amount
// stands in the edit; "Chercher" lists the live general lines of the draft whose franc or euro
// amount is that one to the cent, the caller's journal-month first. "Ok" on a line writes its key
// into SearchTargetKey and shows it: in its lines window when its journal-month is in entry here,
// otherwise by opening the journal-month as "Saisir" does, whose new window selects the line.
#pragma once

#include <string>
#include <vector>

#include "posting/journal_lines.h"
#include "framework/dialog_bases.h"

class MEdit;
class MListBox;

class TDRechercheEcriture : public TDNuv {
 public:
  static constexpr int kResource = 1334;
  enum : int { kAmount = 1202, kSearch = 1203, kList = 1204 };

  TDRechercheEcriture(gui::Window* parent, const std::string& amount, const std::string& journalMonth);

  void CmChercher();
  bool CanClose() override;

  MEdit* AmountEdit() const { return amount_; }
  MListBox* List() const { return list_; }
  const std::vector<posting::FoundLine>& Found() const { return found_; }

  // The lines of an amount typed as text ("1 234,56" and "1234.56" alike); an empty list for a
  // text that is no amount.
  static std::vector<posting::FoundLine> Search(const std::string& amount, const std::string& journalMonth);
  // One line of the list: journal, month, piece, day, account, label, amounts.
  static std::string ListLine(const posting::FoundLine& f);

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;

 private:
  std::string initial_;
  std::string journalMonth_;
  MEdit* amount_;
  MListBox* list_;
  std::vector<posting::FoundLine> found_;
};

// Writes the line's key into SearchTargetKey and brings it into view (see above); false when the
// journal-month could not be opened (the refusal has been shown).
bool ShowSearchTarget(gui::Window* owner, const std::string& lineKey);
