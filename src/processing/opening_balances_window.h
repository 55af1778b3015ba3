// The form of the opening balances ("Génération des Soldes à Nouveau", GenerationSoldesANouveau)
// with its target check and its run.
#pragma once

#include <string>
#include <vector>

#include "processing/year_end_forms.h"

class MCheckBox;

// Opens the form (the command's work): the dossier taken alone, then the form, which closes at
// once when its guard fails.
void CmGenerationSoldesANouveau();

// The form of the opening balances: the date, the target dossier (its code, or its general file
// chosen with "?"), the detail boxes; "Accepter" checks the books and the target, then runs.
class TWTraGenerationSAN : public CMDIModif {
 public:
  explicit TWTraGenerationSAN(gui::MDIClient* client);
  ~TWTraGenerationSAN() override;

  // The target check (command 1203): true when the target is usable.
  bool CheckTarget();
  void CmAccepter();
  void CmChooseTarget();
  // The target checked (Enter or F8 in the date or the code), then the code edit focused.
  void CmCheckTarget();

  bool Guarded() const { return guarded_; }
  MEdit* DateEdit() const { return c_.date; }
  MEdit* CodeEdit() const { return c_.code; }
  MCheckBox* UnmatchedBox() const { return unmatched_; }
  MCheckBox* UnreconciledBox() const { return unreconciled_; }
  const std::string& TargetFirst() const { return targetFirst_; }
  const std::string& TargetFolder() const { return target_.folder; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void ArrangeControls() override;

 private:
  bool Ask(const std::string& text, unsigned icon);
  void ShowTarget(const std::string& first, const std::string& second);

  bool running_ = false;
  bool guarded_ = false;
  std::vector<processing::Collective> collectives_;
  std::string bankPrefixes_;
  processing::OtherDossier target_;
  std::string targetFirst_;
  YearEndTargetControls c_;
  MStatic* titles_[2] = {};
  MCheckBox* unmatched_ = nullptr;
  MCheckBox* unreconciled_ = nullptr;
};
