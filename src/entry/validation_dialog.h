// The validation of journals, ValidationJournaux ("&Saisie > &Validation des Journaux"): its work, with
// the dossier held exclusively, and its selection form TDSaiValidation.
//
// TDSaiValidation (modal): the draft journal-months with lines, one per row (month, journal, name,
// debit and credit of the main currency, balanced or not), ticked by a click, the space bar or
// "Tout cocher"; the validation date (the working date by default). "&Valider" checks the
// refusals (named journal-months and lines; the form stays) and asks a confirmation, No by
// default, that validated lines can no longer be changed and that the pack drops the cancelled
// lines of the other journal-months; "&Abandon" gives up.
#pragma once

#include <string>
#include <vector>

#include "entry/core/validation.h"
#include "framework/dialog_bases.h"

class MEdit;
class MListBox;
class MStatic;

class TDSaiValidation : public TDNuv {
 public:
  enum : int { kList = 1202, kTickAll = 1203, kSummary = 1204, kDate = 1206 };
  // A click or the space bar on a row (the form's own command).
  static constexpr unsigned kTick = 24420;

  // `months` the draft's journal-months, `latest` the latest validation date of C40 (stored, may
  // be blank), `closedRecords` the records of C40.
  TDSaiValidation(gui::Window* parent, std::vector<entry::DraftMonth> months, std::string latest, long closedRecords);

  // The row's tick switched; every row ticked.
  void Tick(int row);
  void TickAll();
  bool IsTicked(int row) const;
  MListBox* List() const { return list_; }
  MEdit* DateEdit() const { return date_; }
  const std::vector<entry::DraftMonth>& Months() const { return months_; }
  // What "Valider" accepted (the journal-months ticked and the stored date).
  const entry::JournalValidationRequest& Request() const { return request_; }
  // One row of the list.
  std::string Row(int row) const;

  void CmTick();
  void CmTickAll();
  bool CanClose() override;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;

 private:
  void ShowSummary();

  std::vector<entry::DraftMonth> months_;
  std::vector<bool> ticked_;
  long cancelled_ = 0;  // the draft's cancelled records, every journal-month's
  std::string latest_;
  long closedRecords_;
  MListBox* list_;
  MEdit* date_;
  MStatic* summary_;
  entry::JournalValidationRequest request_;
};

// The work of ValidationJournaux, after the shell's prologue.
void CmValidationJournaux();
// Installs it in the shell's command table (InstallEntryCommands calls it).
void InstallValidationCommand();
