// The options form of the trial balances, TWEtaModBalances: the balance kind ("Toutes",
// "Clients", "Fournisseurs", "Générale", "Résultat", "Autres Balances", "(Analytique)"), the
// list of "Autres Balances", the account and date limits, the Act code, the break level, the
// lettering filter, the prior totals and the currency. "Visualiser" and "Imprimer" check every
// field, pack the choices into the 77-character options text, write it into the report window's
// key and send it the command. It shares the ledger forms' base: it never asks when it closes,
// and closing it closes its report window.
#pragma once

#include <string>
#include <vector>

#include "reports/balances/core/code_lists.h"
#include "reports/ledgers/ledger_forms.h"

class TWEtaModBalances : public TWEtaModLedger {
 public:
  static constexpr int kKind = 1201, kEuros = 1202, kAct = 1203, kListLookup = 1204, kList = 1205;
  static constexpr int kListStatic = 1207, kFrom = 1208, kFromLookup = 1209, kFromStatic = 1211;
  static constexpr int kTo = 1216, kToLookup = 1217, kToStatic = 1219, kDateFrom = 1224, kDateTo = 1226;
  static constexpr int kPrior = 1228, kBreak = 1229, kLettering = 1230;

  explicit TWEtaModBalances(gui::MDIClient* client);

  int Check() override;
  std::string BuildLimits() override;

  MComboBox* KindCombo() const { return kind_; }
  MEdit* Act() const { return act_; }
  MEdit* List() const { return list_; }
  MEdit* From() const { return from_; }
  MEdit* To() const { return to_; }
  MEdit* DateFrom() const { return dateFrom_; }
  MEdit* DateTo() const { return dateTo_; }
  MCheckBox* Prior() const { return prior_; }
  MCheckBox* Euros() const { return euros_; }
  MComboBox* BreakCombo() const { return break_; }
  MComboBox* LetteringCombo() const { return lettering_; }
  MStatic* ListStatic() const { return listStatic_; }
  MStatic* FromStatic() const { return fromStatic_; }
  MStatic* ToStatic() const { return toStatic_; }
  // The kind chosen: T, C, F, G, R, A or "(".
  char Kind();
  // Selects the kind by its value and runs the kind change.
  void SelectKind(char kind);

  bool CheckList(bool focusNext);
  bool CheckAccount(bool upper, bool focusNext);
  bool CheckDateFrom(bool focusNext);
  bool CheckDateTo(bool focusNext);

  void CmKindChanged();
  void CmListEntered() { CheckList(true); }
  void CmFromEntered() { CheckAccount(false, true); }
  void CmToEntered() { CheckAccount(true, true); }
  void CmDateFromEntered();
  void CmDateToEntered() { CheckDateTo(true); }
  void CmListQuiet() { CheckList(false); }
  void CmFromQuiet() { CheckAccount(false, false); }
  void CmToQuiet() { CheckAccount(true, false); }
  void CmDateFromQuiet() { CheckDateFrom(false); }
  void CmDateToQuiet() { CheckDateTo(false); }
  void CmLookupList();
  void CmLookupFrom() { LookupAccount(false); }
  void CmLookupTo() { LookupAccount(true); }
  void CmEuros();
  void CmFirstFrom() { Step(false, 0); }
  void CmPriorFrom() { Step(false, 1); }
  void CmNextFrom() { Step(false, 2); }
  void CmLastFrom() { Step(false, 3); }
  void CmFirstTo() { Step(true, 0); }
  void CmPriorTo() { Step(true, 1); }
  void CmNextTo() { Step(true, 2); }
  void CmLastTo() { Step(true, 3); }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void EvSetFocus(gui::Handle lost) override;
  void ArrangeControls() override;
  void EvNotify(int id, unsigned code) override;

 private:
  void LookupAccount(bool upper);
  void Step(bool upper, int which);
  bool CodesApply();
  std::string ListText() const;

  std::vector<std::string> kinds_;
  balances::CodeLists codes_;
  MStatic* kindLabel_;
  MComboBox* kind_;
  MStatic* actLabel_;
  MEdit* act_;
  MCheckBox* euros_;
  MStatic* listLabel_;
  MEdit* list_;
  MButton* listLookup_;
  MStatic* listStatic_;
  MStatic* fromLabel_;
  MEdit* from_;
  MButton* fromLookup_;
  MStatic* fromStatic_;
  MStatic* toLabel_;
  MEdit* to_;
  MButton* toLookup_;
  MStatic* toStatic_;
  MStatic* dateFromLabel_;
  MEdit* dateFrom_;
  MStatic* dateToLabel_;
  MEdit* dateTo_;
  MCheckBox* prior_;
  MStatic* breakLabel_;
  MComboBox* break_;
  MStatic* letteringLabel_;
  MComboBox* lettering_;
};
