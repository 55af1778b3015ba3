// TWEtaModRelances: the options form of the dunning and supplier-payment report. It collects the
// account range, the dates and the filters, checks them, writes the 53-character options text
// at the report window's slot + 11 and sends the window "Visualiser" or "Imprimer". Two modes:
// customers (ComptesClients, accounts "C", balances in debit) and suppliers (ComptesFournisseurs, accounts "F",
// balances in credit, the runs that write transfer files).
#pragma once

#include <string>

#include "data/table.h"
#include "framework/edit_form.h"
#include "reports/vat_dunning/core/dunning_options.h"
#include "resources/command_ids.h"

class MButton;
class MCheckBox;
class MComboBox;
class MEdit;
class MStatic;

namespace gui {
class CommandEnabler;
}

namespace dunning_form {
constexpr int kFirstAccount = 1202, kFirstLookup = 1203, kFirstBalance = 1205;
constexpr int kLastAccount = 1210, kLastLookup = 1211, kLastBalance = 1213;
constexpr int kFirstDate = 1218, kLastDate = 1220, kDueTest = 1222, kLetters = 1223, kStatement = 1224;
constexpr int kSense = 1227, kMinimum = 1225, kLabels = 1228, kLabelLookup = 1230, kEuros = 1201;
// Checks moving the focus on, then the same without moving it.
constexpr unsigned kCheckFirst = 1204, kCheckLast = 1212, kCheckFirstDate = 1219, kCheckLastDate = 1221,
                   kCheckLabels = 1229;
constexpr unsigned kFirstFirst = 1206, kFirstNext = 1207, kFirstPrior = 1208, kFirstLast = 1209;
constexpr unsigned kLastFirst = 1214, kLastNext = 1215, kLastPrior = 1216, kLastLast = 1217;
}  // namespace dunning_form

class TWEtaModRelances : public CMDIModif {
 public:
  TWEtaModRelances(gui::MDIClient* client, const std::string& title);
  ~TWEtaModRelances() override;

  // ---- the checks (move-on: the focus goes to the next field when it passes)
  bool CheckFirstAccount(bool moveOn);
  bool CheckLastAccount(bool moveOn);
  bool CheckFirstDate(bool moveOn);
  bool CheckLastDate(bool moveOn);
  bool CheckLabels(bool moveOn);
  int Check() override;
  // Never asks and never checks; refused while a run is in progress (the report window still
  // serves the preview then).
  bool CanClose() override;

  // ---- commands
  void CmClients() { SetMode(false); }
  void CmFournisseurs() { SetMode(true); }
  void CmVisualiser() { Send(command_id::Visualiser); }
  void CmImprimer() { Send(command_id::Imprimer); }
  void CmEuros();
  void CmQuitterForm();
  // The form's own commands: checks, lookups, the steps of the account fields.
  void FormCommand(unsigned id);

  // The options text of the form as it stands.
  std::string OptionsText();
  bool SupplierMode() const { return supplier_; }

  MEdit* FirstAccount() const { return first_; }
  MEdit* LastAccount() const { return last_; }
  MEdit* FirstDate() const { return firstDate_; }
  MEdit* LastDate() const { return lastDate_; }
  MEdit* Minimum() const { return minimum_; }
  MEdit* Labels() const { return labels_; }
  MStatic* FirstBalance() const { return firstBalance_; }
  MStatic* LastBalance() const { return lastBalance_; }
  MComboBox* Letters() const { return letters_; }
  MComboBox* Sense() const { return sense_; }
  MCheckBox* Euros() const { return euros_; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void ArrangeControls() override;

 private:
  void SetMode(bool supplier);
  void ResetDates();
  bool CheckAccount(MEdit* edit, MStatic* balance, unsigned lookup, bool last);
  // True when `found` is a look-up the system refused: said in a box with the file, never taken for
  // a code missing.
  bool Unread(const ::Table& table, const ::Lookup& found);
  void ShowBalance(MStatic* label, const std::string& code);
  void Send(unsigned command);
  void Lookup(MEdit* edit, MStatic* balance, unsigned returnCommand);
  void LabelLookup();
  void Step(MEdit* edit, MStatic* balance, int how, bool lastField);
  void Focus(gui::Window* w);
  void CeIdle(gui::CommandEnabler& ce);

  bool supplier_ = false;
  ::Table c10_, c20_;
  MStatic* labels_texts_[9] = {};
  MEdit* first_;
  MButton* firstLookup_;
  MStatic* firstBalance_;
  MEdit* last_;
  MButton* lastLookup_;
  MStatic* lastBalance_;
  MEdit* firstDate_;
  MEdit* lastDate_;
  MCheckBox* dueTest_;
  MComboBox* letters_;
  MCheckBox* statement_;
  MComboBox* sense_;
  MEdit* minimum_;
  MEdit* labels_;
  MButton* labelLookup_;
  MCheckBox* euros_;
};
