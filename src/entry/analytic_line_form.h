// TWSaiModDetJournauxAnal: the form of one analytic line, opened by the analytic lines window of its split
// (ModDetJournauxAnal). It holds the line's lock from loading to closing, takes its section (typed, looked up in
// the sections list, or stepped with the page keys) and its amount in francs or in euros with the other
// currency converted, shows what remains of the general line to split, balances the line against the split
// ("Solder la Pièce", with the exchange-rounding line on the rounding section) or against its section
// ("Solder le Compte"), and saves the line with its sections' totals.
//
// Its sub-slot: the flag at F (L + 209 first axis, L + 371 second), the handle at F + 1, the line's C50ANAL key
// at F + 11 (30 characters); the lines window's sub-slot is 121 characters before it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "data/entry_lines.h"
#include "entry/core/analytic_split.h"
#include "entry/line_form_base.h"

class MCheckBox;
class MEdit;
class MRStatic;

namespace analytic_form {
enum Id : int {
  kPanelCaption = 1229, kPanelPiece = 1230, kPanelEmpty = 1231, kPanelDifference = 1232, kPanelBalance = 1233,
  kGeneralF = 1234, kSplitF = 1235, kPanelF = 1236, kGeneralE = 1237, kSplitE = 1238, kPanelE = 1239,
  kPiece = 1201, kDay = 1202, kSection = 1203, kSectionLookup = 1205, kSectionInfo = 1225, kSectionView = 1210,
  kLabelCode = 1211, kLabelCodeText = 1224, kLabel = 1212, kCreditButton = 1228, kDebitF = 1213, kDebitE = 1218,
  kLetterF = 1217, kDebitButton = 1226, kCreditF = 1215, kCreditE = 1220, kLetterE = 1222, kEuros = 1223,
  kSense = 1227, kMessage = 1245,
};
}  // namespace analytic_form

class TWSaiModDetJournauxAnal : public LineFormBase {
 public:
  static constexpr int kSlotLength = 41;
  static constexpr int kListOffset = 121;

  TWSaiModDetJournauxAnal(gui::MDIClient* client, const std::string& title, int formSlot, int listSlot);
  ~TWSaiModDetJournauxAnal() override;

  // The edit-form base's three operations: SaveAnalyticLine, IsModified, CheckAnalyticLine.
  bool Save() override;
  bool IsModified() override;
  int Check() override;
  // The changes of the amounts.
  void EvNotify(int id, unsigned code) override;

  // ---- what the form shows (tests read it)
  const std::string& LineKey() const { return lineKey_; }
  int RoundingLine() const { return roundingLine_; }
  bool HoldsLine() const { return holdsLine_; }
  long long RemainderFrancs() const { return remainderF_; }
  long long RemainderEuros() const { return remainderE_; }

  // ---- commands
  void CmQuitterLigne();
  void CmEnregistrerLigne();
  void CmSolderLigne();
  void CmSolderCompte();
  void CmNouvelleLigne();
  void CmLignePrecedente();
  void CmLigneSuivante();
  void CeToujours(gui::CommandEnabler& ce) { ce.Enable(true); }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void EvSetFocus(gui::Handle lost) override;
  void ArrangeControls() override;
  void CleanupWindow() override;
  bool EvCommand(unsigned id) override;
  bool CanClose() override { return CloseDecided(CMDIModif::CanClose()); }

 private:
  bool LoadLine();
  entry::FormAmounts Amounts() const;
  gui::Handle ListHandle() const;
  // A command for the list, after the line's save when the form has asked to close (StepAfterSave);
  // `pendingRounding` (not 0) asks the line it makes as a rounding line.
  void PostToList(unsigned command, int pendingRounding = 0);
  void ReselectInList();

  // ---- fields
  void SectionEnter();
  void SectionLeave();
  void SectionLookup();
  void SectionStep(unsigned id);
  void SectionView();
  void SectionUnknown(int message);
  // A section whose look-up the system refused: the read said in a box, never "unknown".
  void SectionUnread(const Lookup& answer);
  Lookup ShowSection();
  void AmountEnter(unsigned id);
  void AmountChanged(int id);
  void SwitchSense(char to);
  void CurrencySwitch();
  void LeaveFor(unsigned command);

  // ---- balancing
  // False when a look-up of the split was refused: the sums shown are short of it.
  bool ComputeSplitRemainder(bool useForm, bool detailed);
  void PutBalancingAmount(bool convert, long long francs, long long euros);

  std::string lineKey_;
  int listSlot_ = 0;
  int roundingLine_ = 0;
  bool holdsLine_ = false;
  bool opened_ = false;
  bool loading_ = true;
  bool changing_ = false;
  bool euroOnly_ = false;
  double rate_ = 0;
  long long remainderF_ = 0, remainderE_ = 0;
  std::string loadedSection_;
  std::vector<UnreadableAmountLine> loadedUnread_;  // the loaded amounts that do not read
  std::vector<std::uint32_t> toolbar_;
  MEdit* day_ = nullptr;
  MEdit* section_ = nullptr;
  MEdit* labelCode_ = nullptr;
  MEdit* label_ = nullptr;
};

// ModDetJournauxAnal: the analytic line form a lines window asked for (flag "2"), or the one it asked for again
// (flag "R") brought forward.
void CmModDetJournauxAnal();
