// What the two line forms of the entry (a journal line, an analytic line) share: their controls
// found by id, the four amounts (debit and credit, in francs and in euros) with the sense shown
// beside them, the currency box and the message line.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "framework/edit_form.h"

class MButton;
class Table;
class MCheckBox;
class MEdit;
class MRStatic;

class LineFormBase : public CMDIModif {
 public:
  gui::Window* ControlOf(int id) const;
  MEdit* EditOf(int id) const;
  // A control's text; the currency box reads "O" or "N".
  std::string TextOf(int id) const;

 protected:
  // `senseId`: the display of the sense ("Débit" / "Crédit"); `eurosId`: the currency box.
  LineFormBase(gui::MDIClient* client, const std::string& title, int gridColumns, int gridRows, int formSlot,
               int formSlotLength, int partnerSlot, int senseId, int eurosId);

  // The amount fields take every amount a line holds, "99999999999.99" (14 characters) at most:
  // a longer one is refused by the validation, never cut short as it is typed.
  static constexpr int kAmountWidth = 14;

  // A control made by the form, found again by its id.
  gui::Window* Add(gui::Window* w);
  // An edit that tells the form its keys (in capitals when `upper`).
  MEdit* AddEdit(int id, int width, unsigned enter, int kind, int decimals, bool upper);
  MButton* AddButton(int id, const std::string& text);
  // The four amounts' keys: Up and Down go to the prior and next line; leaving one sends its
  // command of `leaves` (debit F, credit F, debit E, credit E) unless the focus goes to a sense
  // button.
  void SetAmountKeys(const unsigned (&leaves)[4], unsigned priorLine, unsigned nextLine, int debitButton,
                     int creditButton);

  bool EurosChecked() const;
  char Sense() const;
  void SetSense(char sense);
  void Message(const std::string& text);
  void ClearMessage() { Message(""); }
  MEdit* AmountField(char sense, bool euros) const;
  // An edit focused with its text selected; another control focused when enabled.
  void FocusOn(gui::Window* w);
  // The amounts of the currency chosen are typed, the others computed.
  void EnableAmountFields();
  // The amounts of the other sense moved into the fields of `to` in both currencies, and the
  // sense shown.
  void MoveAmountsTo(char to);
  // An amount typed in the field `id`: the other sense's amounts emptied and the sense shown
  // follow it, and the amount in the other currency is converted from it.
  void FollowTypedAmount(int id);
  // The stored texts of the amounts of the current line of `c50` that do not read as numbers (the
  // form shows them as zero, as the reports count them), joined; "" when both read.
  static std::string UnreadableAmountsText(::Table& c50);
  // Tells the user, once for the line loaded, that its stored amount `stored` (as given above)
  // does not read, so that the right amount is typed before the line is saved.
  void TellUnreadableAmounts(const std::string& stored);

  // ---- leaving the line: the form's close saves it, and what follows waits for the save
  // The close asked, the line saved by it (the edit-form base's close validates and saves).
  void AskToClose();
  // A step for the window the form works with (a command posted to it, the flag of the line it
  // makes): taken at once, or, while the form has asked to close, once the close went through (the
  // line saved and the form gone). A close refused drops it, so that nothing follows a line that was
  // not written.
  void StepAfterSave(std::function<void()> step);
  // CanClose's answer (`closing`) passed through: a close refused, or made without the form's tests,
  // drops the step that waited for it.
  bool CloseDecided(bool closing);
  // From CleanupWindow, the form's slot free: the step that waited for the close.
  void TakeStepAfterSave();

  std::map<int, gui::Window*> controls_;
  MEdit* debitF_ = nullptr;
  MEdit* creditF_ = nullptr;
  MEdit* debitE_ = nullptr;
  MEdit* creditE_ = nullptr;
  MCheckBox* euros_ = nullptr;
  MRStatic* message_ = nullptr;

 private:
  int senseId_;
  int eurosId_;
  bool closeAsked_ = false;
  std::function<void()> afterSave_;
};
