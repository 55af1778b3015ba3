// What the year-end forms share (the opening balances, the year separation, the merge): their
// opening and closing on the dossier taken alone, the target dossier's controls, the maintenance
// the runs ask for, the refusal message, the other dossier offered to "Changer de dossier"; and
// the installation of the year-end commands.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dossier/dossier_password.h"
#include "framework/edit_form.h"
#include "processing/core/opening_balances.h"
#include "resources/command_ids.h"

class MButton;
class MEdit;
class MStatic;
namespace yearend_cmd {
using child_command::Accepter;
}  // namespace yearend_cmd

// Installs the work of the year-end commands and the put-back of an interrupted run.
void InstallYearEndCommands();

// The opening of a year-end form: the form brought forward when it is open; otherwise the other child
// windows closed, the tables closed, the dossier taken alone and the form made by `make` and placed in
// `slot`. A form that cannot be made gives the dossier back.
void OpenYearEndForm(int slot, const std::function<CMDIModif*(gui::MDIClient*)>& make);
// The closing of a year-end form: its slot freed, the tables closed and the dossier given back to the
// other stations.
void CloseYearEndForm(int slot);

// The controls the opening balances and the year separation share (ids 1301-1308, 1201, 1202,
// 1204): the date, the open dossier's name and year, the other dossier's code with "&?", the two
// lines of its check and its folder. Enter in the date or the code runs command 1203.
struct YearEndTargetControls {
  // Made by the form's constructor, the labels with the texts `dateText` and `codeText`.
  void Make(CMDIModif* form, int dateText, int codeText);
  // The fonts, the day after the open year's end in the date, the open dossier's lines, `folderText`.
  void Setup(const std::string& folderText);
  // Rows 1 to 7 of `form`, the labels `labelColumns` wide.
  void Arrange(CMDIModif& form, int labelColumns);

  MStatic* dateLabel = nullptr;
  MStatic* codeLabel = nullptr;
  MStatic* folderLabel = nullptr;
  MEdit* date = nullptr;
  MEdit* code = nullptr;
  MStatic* source[2] = {};
  MStatic* target[2] = {};
  MStatic* folder = nullptr;
  MButton* choose = nullptr;
};

// What the year-end runs ask of the dossier maintenance on the program's dossier: the refusal of
// a pending renumbering or a damaged table, and the rebuild on `owner` with rebalance (and pack).
processing::TargetMaintenance YearEndMaintenance(gui::Window* owner, bool pack);

// A run's refusal (nothing written): beep and message, under the caption of a dossier in use
// when another station has the other dossier.
void ShowYearEndRefusal(gui::Window* owner, const std::string& error, bool busy, const std::string& caption);

// The password of the other dossier, asked before the run's question: the privileged one for a
// run that `writes` into it, otherwise the one its rights allow for `reads`. False when it is
// refused or abandoned, or when the other dossier's record cannot be read (a refusal shown under
// `caption`): the run stops before touching either dossier.
bool OtherDossierPasswordGiven(gui::Window* owner, const processing::OtherDossier& other, bool writes,
                               const std::vector<ReadRight>& reads, const std::string& caption);

// Offers the other dossier to "Changer de dossier": written into the first blank of the recent
// slots 2 to 5, unless listed there.
void RememberOtherDossier(const processing::OtherDossier& other);
