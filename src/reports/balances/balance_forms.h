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

class TWEtaModBalances : public TWEtaModAccountRange {
 public:
  static constexpr int kKind = 1201, kEuros = 1202, kAct = 1203, kListLookup = 1204, kList = 1205;
  static constexpr int kListStatic = 1207, kFrom = 1208, kFromLookup = 1209, kFromStatic = 1211;
  static constexpr int kTo = 1216, kToLookup = 1217, kToStatic = 1219, kDateFrom = 1224, kDateTo = 1226;
  static constexpr int kPrior = 1228, kBreak = 1229, kLettering = 1230;

  explicit TWEtaModBalances(gui::MDIClient* client);

  int Check() override;
  std::string BuildLimits() override;

  MEdit* Act() const { return act_; }
  MEdit* List() const { return list_; }
  MComboBox* BreakCombo() const { return break_; }
  MComboBox* LetteringCombo() const { return lettering_; }
  MStatic* ListStatic() const { return listStatic_; }
  // Selects the kind by its value and runs the kind change.
  void SelectKind(char kind);

  bool CheckList(bool focusNext) override;

  void CmKindChanged() override;
  void CmDateFromEntered() override;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void PlaceControls() override;
  std::string ListText() const override;
  gui::Window* AfterEmptiedAccounts(bool upper) override;

 private:
  balances::CodeLists codes_;
  MStatic* actLabel_;
  MEdit* act_;
  MStatic* breakLabel_;
  MComboBox* break_;
};
