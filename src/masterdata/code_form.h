// The edit forms of the master data. One engine (CodeRecordForm, on CMDIModif) reads a kind's layout: it creates the
// controls in their order (those the record has: an account shows its domiciliation, counterpart or balance-sheet
// rows by its kind) and places them on the form grid, loads the record's fields or slices into them, holds the
// record's lock while it is open, runs the kind's checks one message at a time (captioned with the kind's code
// prompt and the code, the focus on the faulty control), offers the lookups and the page-key stepping of the code
// fields, checks a RIB and an IBAN and makes the IBAN of a RIB, and writes the values back. Each kind's form
// (TWDonModBanques and its siblings, the account and section forms of chart_form.h) adds only what is its own:
// the journals' and labels' type lists, the accounts' and sections' currency rows.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "data/lookup.h"
#include "framework/edit_form.h"
#include "masterdata/core/chart_files.h"
#include "masterdata/core/code_kinds.h"
#include "masterdata/core/code_layouts.h"

class MCheckBox;
class MComboBox;
class MEdit;

namespace gui {
class Static;
}

class CodeRecordForm : public CMDIModif {
 public:
  // The form of the code read at the kind's form slot + 11 of the registry: a code list's kind, "2" an account,
  // "3" a section. `present` tells which of the layout's optional controls the record has (all when empty).
  CodeRecordForm(gui::MDIClient* client, const std::string& title, char kind,
                 const std::function<bool(masterdata::Presence)>& present = {});
  ~CodeRecordForm() override;

  bool Save() override;
  bool IsModified() override;
  int Check() override;
  bool EvCommand(unsigned id) override;

  const masterdata::CodeKind& Kind() const { return *kind_; }
  const masterdata::KindLayout& Layout() const { return *layout_; }
  // The code of the record (the code width's characters) and whether the form holds it locked.
  const std::string& Code() const { return code_; }
  bool HoldsRecord() const { return held_ != 0; }
  // Caption of the check messages: the kind's code prompt and the code.
  std::string Caption() const;

  gui::Window* Control(int id) const;
  MEdit* EditOf(int id) const;
  MCheckBox* CheckOf(int id) const;
  MComboBox* ComboOf(int id) const;
  gui::Static* StaticOf(int id) const;

  // "Texte": the record's free text in the record-text window.
  void CmTexte();
  // "RIB>IBAN": the IBAN of the RIB typed, "FR" + check digits + RIB, into the IBAN edit; a beep and the focus on
  // the key when the RIB holds a blank, a bank or branch code that is not digits, or a wrong key.
  void CmRibVersIban();
  // Enter in the RIB key / in the IBAN: a wrong key is shown with the right one, else the focus moves on.
  void CmValiderCleRib();
  void CmValiderIban();

  // The table of the record (TableC10, TableC20 or TableC30).
  ::Table* RecordTable() const;

 protected:
  void SetupWindow() override;
  void EvSetFocus(gui::Handle lost) override;
  void ArrangeControls() override;

  // The kinds with a type list fill it and say which entry a stored letter shows.
  virtual void FillCombo(const masterdata::FormItem& item, MComboBox& combo) {}
  virtual std::string ComboValueOf(const masterdata::FormItem& item, const std::string& stored) { return stored; }
  // A stored slice that an unchanged control gives back as it was (a value the control cannot show).
  virtual bool KeepsStoredValue(const masterdata::FormItem& item, const std::string& stored) { return false; }
  // After the record is loaded into the controls (the record is current on RecordTable()).
  virtual void AfterLoad() {}
  // A focus target of a code field that the kind resolves (kFocusAmountRow); the id itself by default.
  virtual int ResolveFocus(int control) { return control; }
  // After a save: the partner list shows the saved record again.
  virtual void RefreshList();

  // The check of an amount control: its text reads as an amount (a budget may carry its sign letter);
  // otherwise refused naming what was typed.
  virtual bool CheckAmount(int control);
  // A refusal of Check: the form forward, a beep, the message (none for an empty text) captioned with Caption()
  // and the stop icon, the focus on the control. Always false.
  bool Refuse(int control, const std::string& message);
  // Puts the focus on a control (its text selected).
  void FocusOn(int control);
  // The value a control holds now, as its slice is written from it.
  std::string TypedValue(const masterdata::FormItem& item) const;

 private:
  enum class Known { Blank, Yes, No };
  bool Load();
  // Says that the form holds stored amounts that do not read, and that they are kept as stored.
  void TellUnreadAmounts();
  Lookup SeekRecord();
  bool CheckBankRule(masterdata::Rule rule);
  std::string TypedRib() const;
  std::string TextOf(int id) const;
  bool RunRule(masterdata::Rule rule, int control);
  // Looks the code of a code field up: its name (or balance) in its display, "???" when unknown.
  Known TestCode(const masterdata::CodeField& field, const std::string& typed);
  void ShowAccount(const masterdata::CodeField& field);
  void ValidateCodeField(const masterdata::CodeField& field);
  void LookupCodeField(const masterdata::CodeField& field);
  void StepCodeField(const masterdata::CodeField& field, unsigned command);

  const masterdata::CodeKind* kind_;
  const masterdata::KindLayout* layout_;
  const masterdata::ChartFile* chart_;   // the accounts' or sections' file; null for a code list
  std::map<int, int> rows_;               // a layout row -> the form row (rows without a control of the record go)
  std::string code_;
  std::uint32_t held_ = 0;
  std::map<int, gui::Window*> controls_;
  std::map<int, std::string> stored_;  // the slices as loaded
  // The amounts whose stored text does not read as a number ("ABC", "1e300"), as stored: shown as
  // zero, they are written only when the user types another figure, never as the zero shown.
  std::map<int, std::string> unread_;
};

// Banks: the RIB and IBAN checks and "RIB>IBAN" (1232) of the engine.
class TWDonModBanques : public CodeRecordForm {
 public:
  TWDonModBanques(gui::MDIClient* client, const std::string& title) : CodeRecordForm(client, title, 'Q') {}
};

// Journals: the type list ("Achats", "Ventes", "Trésorerie", "Opérations Diverses").
class TWDonModJournaux : public CodeRecordForm {
 public:
  TWDonModJournaux(gui::MDIClient* client, const std::string& title) : CodeRecordForm(client, title, 'J') {}

 protected:
  void FillCombo(const masterdata::FormItem& item, MComboBox& combo) override;
  std::string ComboValueOf(const masterdata::FormItem& item, const std::string& stored) override;
};

// Standard labels: the type list of the label types "0" to "8".
class TWDonModLibelles : public CodeRecordForm {
 public:
  TWDonModLibelles(gui::MDIClient* client, const std::string& title) : CodeRecordForm(client, title, 'L') {}

 protected:
  void FillCombo(const masterdata::FormItem& item, MComboBox& combo) override;
  std::string ComboValueOf(const masterdata::FormItem& item, const std::string& stored) override;
  // A type the list does not offer (a letter, "9") stays as stored while the list is not changed.
  bool KeepsStoredValue(const masterdata::FormItem& item, const std::string& stored) override;
};

class TWDonModCollectifs : public CodeRecordForm {
 public:
  TWDonModCollectifs(gui::MDIClient* client, const std::string& title) : CodeRecordForm(client, title, 'B') {}
};
class TWDonModCodesTva : public CodeRecordForm {
 public:
  TWDonModCodesTva(gui::MDIClient* client, const std::string& title) : CodeRecordForm(client, title, 'T') {}
};
class TWDonModEtablissements : public CodeRecordForm {
 public:
  TWDonModEtablissements(gui::MDIClient* client, const std::string& title) : CodeRecordForm(client, title, 'E') {}
};
// Distribution codes: any live account, or none; eight zeros count as none.
class TWDonModVentilations : public CodeRecordForm {
 public:
  TWDonModVentilations(gui::MDIClient* client, const std::string& title) : CodeRecordForm(client, title, 'V') {}
};
class TWDonModModeles : public CodeRecordForm {
 public:
  TWDonModModeles(gui::MDIClient* client, const std::string& title) : CodeRecordForm(client, title, 'M') {}
};

// The form of a kind with its title (the code prompt and the right-trimmed code); null for another letter.
CodeRecordForm* MakeCodeForm(gui::MDIClient* client, char kind, const std::string& code);
