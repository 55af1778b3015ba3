// What the two line forms of the entry (a journal line, an analytic line) share: their controls
// found by id, the four amounts (debit and credit, in francs and in euros) with the sense shown
// beside them, the currency box and the message line.
#pragma once

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
};
