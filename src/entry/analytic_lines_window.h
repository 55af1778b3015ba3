// TWSaiBroDetJournauxAnal: the analytic lines of one general line on one axis, opened by the line form through a
// sub-slot of its journal-entry slot (L + 88 first axis, L + 250 second) and BroDetJournauxAnal. At opening it keeps
// the split's header in step with the general line, makes the default split from the account's text the first time, and
// gives every line the general line's day and label; it adds lines after the selected one (renumbering the axis when
// needed), cancels and reactivates them with their sections' totals, opens the analytic line form on them
// (ModDetJournauxAnal) and asks before it closes on a split that does not add up to the line.
#pragma once

#include <string>

#include "entry/core/analytic_split.h"
#include "entry/line_range_browse.h"
#include "framework/edit_form.h"
#include "resources/command_ids.h"

class TWSaiBroDetJournauxAnal : public LineRangeBrowse {
 public:
  // Declared column numbers.
  enum Column {
    kMarker = 1, kBmois, kBjal, kBpiece, kBcg, kBnum, kBcle, kBnuma, kPiece, kNumber, kDay, kSection, kLabelCode,
    kLabelText, kLabel, kDebit, kCredit, kOtherDebit, kOtherCredit, kEntry,
  };
  static constexpr int kKeyWidth = 92;
  static constexpr int kSlotLength = 53;
  static constexpr int kAccelerators = 1113;
  static constexpr int kFormOffset = 121;   // the partner form's sub-slot
  static constexpr int kHelpContext = 42;

  TWSaiBroDetJournauxAnal(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns,
                          int ownSlot, int partnerSlot);
  ~TWSaiBroDetJournauxAnal() override;

  // The columns the opener declares: the shown currency first; 17 columns in a euro-only dossier.
  static BrowseColumnTable DeclaredColumns(bool euros, bool euroOnly);
  // "Lignes Analytiques (1) " + journal + " en " + MM/YYYY + " Compte: " + account + " Db "/" Cr " + amount.
  static std::string TitleOf(const entry::SplitKey& key, bool euros);

  const entry::SplitKey& Key() const { return key_; }
  bool EuroView() const { return euroView_; }
  bool EuroOnly() const { return euroOnly_; }
  // What the opening did: the header created, the default split's lines made.
  bool HeaderCreated() const { return headerCreated_; }
  long DefaultLinesMade() const { return defaultMade_; }
  ::Table* Sorts() { return GetTable(1); }

  // ---- data source
  std::string GetRecordKey(::Table* table, int start, int length, int firstField) override;
  std::string GetCellText(int field, std::uint32_t start, std::uint32_t length, int column) override;
  void CopySelectedCode() override;

  // ---- commands
  void CmAnnuler();
  void CmReactiver();
  // The box of a change of lines that did not go through (nothing when `refusal` is empty).
  void SayRefusal(const std::string& refusal);
  void CmModifier();
  void CmNouvelleLigne();
  void CmLigneRestore();
  void CmRafraichirLignes();
  void CmOpeningMessage();
  void CeNouvelleLigne(gui::CommandEnabler& ce);
  void CeAlways(gui::CommandEnabler& ce) { ce.Enable(true); }

  void EvSetFocus(gui::Handle lost) override;
  void EvLButtonDown(unsigned modKeys, gui::Point p) override;
  bool CanClose() override;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  // The cursor stands on a line of this split.
  bool InRange(::Table& t) const override;
  bool SeekFirstOfRange(::Table& t) override;
  bool SeekLastOfRange(::Table& t) override;
  unsigned EditCommand() const override { return child_command::Modifier; }
  const char* LinesTag() const override;

 private:
  std::string LabelText(char code);
  void MakeDefaultSplit();

  entry::SplitKey key_;
  std::string linesKey_;    // characters 1-26 of the lines
  bool euroView_ = false;
  bool euroOnly_ = false;
  bool opened_ = false;
  bool headerCreated_ = false;
  long defaultMade_ = 0;
  std::string openingMessage_;
  std::string unopened_;  // why the files could not be opened, said as the window shows
  char labelCode_ = 0;
  std::string labelText_;
};

// BroDetJournauxAnal: the analytic lines window a line form asked for (flag "2" in a sub-slot), or the one it
// asked for again (flag "R") brought forward.
void CmBroDetJournauxAnal();
