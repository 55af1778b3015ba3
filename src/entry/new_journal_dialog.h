// TDNouveauJournal: the choice of a journal and a month of the financial year (dialog 1318 "Créer un
// Nouveau Journal"; dialog 1319 adds "Date", "Libellé" and "RAZ Montants" for the copy of a
// piece). The caller's 35-character text (CiblePiece) proposes the month (1-4, stored YYMM) and
// the journal (5-7); OK writes them back and, with the extended fields, the day of "Date" made a
// valid day of that month (8-9), "Libellé" (10-34) and "O" or "N" for "RAZ Montants" (35).
#pragma once

#include <string>
#include <vector>

#include "posting/journal_month.h"
#include "framework/dialog_bases.h"

class MCheckBox;
class MEdit;
class MListBox;

constexpr int kCiblePieceLength = 35;

class TDNouveauJournal : public TDNuv {
 public:
  static constexpr int kNewJournal = 1318;
  static constexpr int kCopyJournal = 1319;
  enum : int { kJournals = 1202, kMonths = 1204, kDate = 1206, kLabel = 1208, kClearAmounts = 1209 };
  // What Return in either list sends the dialog: its default button, Ok, pressed.
  static constexpr unsigned kEnterInList = 1210;

  // `monthFixed` keeps the proposed month; `check` refuses a journal that is missing or cancelled;
  // `extended` writes the fields of dialog 1319.
  TDNouveauJournal(gui::Window* parent, std::string* ciblePiece, bool monthFixed, int resourceId, bool check,
                   bool extended);

  MListBox* JournalList() const { return journals_; }
  MListBox* MonthList() const { return months_; }
  MEdit* DateEdit() const { return date_; }
  MEdit* LabelEdit() const { return label_; }
  MCheckBox* ClearAmountsBox() const { return clear_; }
  // The journal codes and months in list order.
  const std::vector<std::string>& JournalCodes() const { return codes_; }
  const std::vector<posting::YearMonth>& Months() const { return monthList_; }
  bool SelectJournal(const std::string& code);
  bool SelectMonth(const std::string& stored);

  bool CanClose() override;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void CmEnterInList();

 private:
  std::string* target_;
  bool monthFixed_, check_, extended_;
  MListBox* journals_;
  MListBox* months_;
  MEdit* date_ = nullptr;
  MEdit* label_ = nullptr;
  MCheckBox* clear_ = nullptr;
  std::vector<std::string> codes_;
  std::vector<posting::YearMonth> monthList_;
};
