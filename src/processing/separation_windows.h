// The form of the year separation ("Séparation de deux exercices", SeparationExercices): the new year's
// dossier (its code, or its general file chosen with "?") and the separation date; "Accepter"
// checks the dossier, asks for the launch (a backup first) and runs the separation with both
// rebuilds.
#pragma once

#include <string>

#include "framework/edit_form.h"
#include "processing/core/year_separation.h"
#include "processing/year_end_forms.h"

class MButton;
class MEdit;
class MStatic;

// SeparationExercices: the dossier taken alone, then the form.
void CmSeparationExercices();

class TWTraSeparationExercices : public CMDIModif {
 public:
  explicit TWTraSeparationExercices(gui::MDIClient* client);
  ~TWTraSeparationExercices() override;

  // The check of the new year's dossier against the date: true when usable.
  bool CheckOther();
  void CmCheckOther() { CheckOther(); }
  void CmChooseOther();
  void CmAccepter();

  MEdit* CodeEdit() const { return c_.code; }
  MEdit* DateEdit() const { return c_.date; }
  const std::string& First() const { return first_; }
  const std::string& OtherFolder() const { return other_.folder; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  // Notifications of the controls other than a click (focus, changes) are not commands.
  void SetupWindow() override;
  void ArrangeControls() override;

 private:
  void ShowTexts(const std::string& first, const std::string& second);

  bool running_ = false;
  processing::OtherDossier other_;
  std::string first_;
  YearEndTargetControls c_;
};
