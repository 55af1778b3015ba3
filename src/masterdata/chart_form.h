// The account form (TWDonModPlanComptable) and the analytic section form (TWDonModSectionsAnal): the record engine
// of the code forms over C20 and C30, with what both add: the franc and euro rows of the previous year's amounts
// and of the budget (one row editable at a time, "En Euros" choosing it, the other row following by the dossier's
// rate as the user types) and the balances. The account form shows the rows its account has: the domiciliation
// with its RIB and IBAN, the counterpart of an auxiliary account, the balance-sheet and analytic boxes of a general
// account.
#pragma once

#include <string>

#include "masterdata/code_form.h"
#include "masterdata/core/chart_records.h"

class ChartRecordForm : public CodeRecordForm {
 public:
  // The controls of the currency rows.
  struct CurrencyIds {
    int euros, rowF, rowE;
    int francs[3];  // previous year's debit and credit, budget
    int euros3[3];
    int balanceF, balanceE;
  };

  ChartRecordForm(gui::MDIClient* client, const std::string& title, char kind, const CurrencyIds& ids,
                  const std::function<bool(masterdata::Presence)>& present = {});

  bool EvCommand(unsigned id) override;

  // "En Euros": the row of the box's currency becomes the editable one (always the euro row of a dossier kept
  // only in euros) and its first edit takes the focus.
  void CmEnEuros();
  // Enables the euro row and disables the franc row when "En Euros" is checked, and the reverse.
  void EnableCurrencyRow();
  // A changed amount writes its counterpart in the other row, converted by the dossier's rate.
  void EnChangeAmount(int id);
  bool EurosChecked() const;

 protected:
  void AfterLoad() override;
  void EvNotify(int id, unsigned code) override;
  void RefreshList() override;
  // An amount of the currency rows is judged by the row typed (the other follows it by the rate): it
  // reads as an amount, and it and its twin fit their fields; refused on the typed edit otherwise.
  bool CheckAmount(int control) override;

 private:
  // The other row's edit of an amount edit (0 when `id` is none), whether `id` is of the franc row, and its column.
  int Partner(int id, bool& franc, masterdata::AmountColumn& column) const;

  CurrencyIds ids_;
  bool guard_ = true;  // no conversion while set: from construction to the end of the loading, and during one
};

class TWDonModPlanComptable : public ChartRecordForm {
 public:
  // The account whose code stands in the form's registry entry.
  TWDonModPlanComptable(gui::MDIClient* client, const std::string& title);

  // Which rows an account of that code has in this dossier.
  static bool Has(masterdata::Presence presence, const std::string& code);

 protected:
  void AfterLoad() override;
  // An unchanged "Avec Analytique" box leaves field 27 as stored (blank: nothing decided yet).
  bool KeepsStoredValue(const masterdata::FormItem& item, const std::string& stored) override;
  int ResolveFocus(int control) override;
};

class TWDonModSectionsAnal : public ChartRecordForm {
 public:
  TWDonModSectionsAnal(gui::MDIClient* client, const std::string& title);
};

// The form of an account ("2") or a section ("3") with its title: the code prompt and the right-trimmed code.
ChartRecordForm* MakeChartForm(gui::MDIClient* client, char kind, const std::string& code);
