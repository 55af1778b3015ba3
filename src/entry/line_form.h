// TWSaiModDetJournaux: the form of one general line of a piece of the draft, beside the lines window of its
// journal-month in the same journal-entry slot. It loads the line under its record lock (held until the form
// goes), proposes the day, applies the journal's entry model to a new line, tests each field as the user
// leaves it, switches the sense and converts the amounts between the currencies as they are typed, shows the
// piece's totals, balances the line against the piece, the journal-month or the account, asks the lines
// window for the next line, a new piece or an exchange-rounding line, and saves the line with its totals.
//
// Its slot: the flag at F = L + 53, the handle at F + 1, the line's key at F + 11 (24 characters). It hands
// its line's key to the lines window at L + 18, the place "Ligne Restore" reads, so that the journal-month
// key at L + 11 stays for IsJournalInEntry.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "data/entry_lines.h"
#include "data/lookup.h"
#include "posting/line_save.h"
#include "posting/line_validation.h"
#include "entry/line_form_base.h"

class MButton;
class MCheckBox;
class MComboBox;
class MEdit;
class MRStatic;
class MStatic;

namespace line_form {
// Controls of the form.
enum Id : int {
  kPiece = 1201, kDay = 1202, kDistribution = 1208, kDistributionLookup = 1210, kAccount = 1215,
  kAccountLookup = 1217, kAccountView = 1222, kAnalytic = 1223, kLabelCodeLookup = 1226, kLabelCode = 1224,
  kLabelFromAccount = 1231, kLabel1 = 1232, kLabel2 = 1234, kLabel3 = 1236, kDebitF = 1238, kCreditF = 1240,
  kDebitE = 1243, kCreditE = 1245, kEuros = 1248, kLabelCodeText = 1249, kAccountInfo = 1250, kDueCaption = 1251,
  kDueDate = 1252, kDebitButton = 1254, kSense = 1255, kCreditButton = 1256, kTotalsCaption = 1257,
  kMainDebitTotal = 1258, kMainCreditTotal = 1259, kBalance = 1260, kBalanceCaption = 1261, kDebitTotalF = 1262,
  kCreditTotalF = 1263, kTotalLetterF = 1264, kDebitTotalE = 1265, kCreditTotalE = 1266, kTotalLetterE = 1267,
  kOtherModel = 1268, kVatCaption = 1269, kVat = 1270, kMessage = 1283, kAmountLetterF = 1242,
  kAmountLetterE = 1247,
  // Captions "Jour" ... "Crédit".
  kCaptionDay = 1284, kCaptionDistribution, kCaptionAccount, kCaptionLabelCode, kCaptionLabel1, kCaptionLabel2,
  kCaptionLabel3, kCaptionDebit, kCaptionCredit,
};
// The three layouts of dossier constant 061 and the plain one.
enum class Layout { A, B, C, Plain };
Layout LayoutOf(char constant061);
}  // namespace line_form

// The day last typed in a line form (0 none): proposed to the next new line.
extern int LastEntryDay;

class TWSaiModDetJournaux : public LineFormBase {
 public:
  // `formSlot` is F (its line's key at F + 11), `linesSlot` the lines window's L.
  TWSaiModDetJournaux(gui::MDIClient* client, const std::string& title, int gridColumns, int gridRows, int formSlot,
                      int linesSlot);
  ~TWSaiModDetJournaux() override;

  // The edit-form base's three operations: SaveLine, IsModified, ValidateLine.
  bool Save() override;
  bool IsModified() override;
  int Check() override;
  bool CanClose() override;
  // The changes of the amounts and of the distribution code.
  void EvNotify(int id, unsigned code) override;

  // ---- what the form shows (tests read it)
  const std::string& Key() const { return key_; }
  int SlotIndex() const { return slot_; }
  line_form::Layout LayoutShown() const { return layout_; }
  bool HoldsLine() const { return holdsLine_; }
  bool NewLine() const { return newLine_; }
  int RoundingMode() const { return roundingMode_; }
  bool AnalyticAllowedNow() const { return analyticAllowed_; }
  MCheckBox* EurosBox() const { return euros_; }
  MComboBox* VatList() const { return vat_; }
  // The line as the form holds it now.
  posting::LineValues Values() const;
  // The piece's balances left by the last totals (cents).
  long long PieceBalanceF() const { return pieceBalanceF_; }
  long long PieceBalanceE() const { return pieceBalanceE_; }
  // "Ligne: " + piece + "/" + group and number + " de " + journal + " en " + month/year.
  std::string LineTitle() const;
  // The line's lock given back as another station would find it free (a test's hook).
  void ReleaseLineLockForTest();

  // ---- commands
  void CmQuitterLigne();
  void CmEnregistrerLigne();
  void CmSolderPiece();
  void CmSolderCompte();
  void CmSolderJournal();
  void CmNouvelleLigne();
  void CmNouvellePiece();
  void CmLigneSuivante();
  void CmLignePrecedente();
  void CmCompteSuivantModele();
  void CmAutreModele();
  void CmRechercheEcriture();
  void CeEnregistrerLigne(gui::CommandEnabler& ce);
  void CeToujours(gui::CommandEnabler& ce) { ce.Enable(true); }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void EvSetFocus(gui::Handle lost) override;
  void ArrangeControls() override;
  void CleanupWindow() override;
  bool EvCommand(unsigned id) override;

 private:
  // ---- loading
  bool LoadLine();
  void ProposeDay();
  void HideFrancControls();
  bool ShowVatOnReceipts();
  void FillVatList();

  // ---- form state
  void SetAccountText(const std::string& text);
  void FocusField(posting::LineField field);
  void RememberValues();

  // ---- account and labels
  void ShowAccount();
  void ShowAccountBalance();
  void ShareTotalsRoom();
  void AccountUnknown();
  // An account whose look-up the system refused: the read said beside it, never "unknown".
  void AccountUnread(const Lookup& answer);
  void AutoSense();
  void ProposeLabel(bool focus);
  // The label code's text and kind of operation; false ("???") for an unknown code.
  bool ShowLabelCode(bool beepWhenUnknown);
  void AfterLabels();

  // ---- field handlers
  void DayEnter(bool moveOn);
  void DayStep(unsigned id);
  void DistributionEnter(bool moveOn);
  void DistributionLookup();
  void AccountEnter(bool moveOn);
  void AccountLookup();
  void AccountView();
  void LabelCodeEnter(bool moveOn);
  void LabelCodeLookup();
  void LabelEnter(int id);
  void DueDateEnter(bool moveOn);
  void AmountEnter(unsigned id);
  void AmountLeave();
  void VatEnter();
  void StepCode(unsigned id);
  char HelpCharacter() const;
  bool TakeHelpCharacter(MEdit* edit, unsigned lookup);

  // ---- commands of the line
  void CmDebit(bool moveFocus = true);
  void CmCredit(bool moveFocus = true);
  void SwitchSense(char to, bool moveFocus);
  void EvChangeMontant(int id);
  void EvChangeVentilation();
  void CmEnEuros();
  void CmAnalytique();
  bool AnalyticWindowOpen();
  void SyncLinesWindow(gui::Handle handle);
  bool ValidateAndClose();
  void NextLineStep();
  // A command (or key) for the lines window, after the line's save when the form has asked to close
  // (StepAfterSave); `roundingFlag` (1 or 2) asks the next line as a rounding line.
  void StepLinesWindow(unsigned message, std::uintptr_t param, int roundingFlag = 0);
  gui::Handle LinesHandle() const;
  void TakeFocus(bool opening);

  // ---- balancing
  void ShowPieceTotals(bool includeForm, bool asBalanced);
  // Lines the disk refused to read (`refused`): the balance is not known, the balancing refused (true)
  // in a box naming the file.
  bool RefuseUnreadBalance(bool refused);
  // A balance made with lines whose amount does not read would be wrong: they are named and the
  // balancing refused (true). False when there is none.
  bool RefuseUnreadableBalance(const std::vector<UnreadableAmountLine>& lines);
  void ShowBalanceLine(long long debit, long long credit);
  void PutBalanceInLine(bool convert, long long francs, long long euros);
  bool AutomaticRoundingLine();
  void FillCounterpartAccount();

  // ---- models
  std::string& ModelText();
  void ApplyModelLine();
  void ProposeCounterpartOf(const std::string& counterpart);

  // ---- save
  bool AnalyticSplitMatches();
  void ShowSavedBalance(const std::string& account);
  void RefreshLines();
  // A change of the line's split or its cancel that did not go through, said in its one sentence.
  void TellRefusal(const std::string& refusal);
  // The close's own tests (the edit form's validation and save, the analytic split's check): true
  // when the form may go.
  bool Closes();
  // A new line left blank: no account, no distribution code, no amount. Nothing of it can be saved.
  bool BlankNewLine() const;
  // The new line given up as "Quitter" gives it up: cancelled with its sort record when it stands
  // without account (a cancel refused is said in its one sentence), the form then closed unchecked.
  void GiveUpNewLine();

  std::string key_;
  int slot_ = -1;
  int linesSlot_ = 0;
  line_form::Layout layout_ = line_form::Layout::Plain;
  std::string journal_;        // characters 1-24 of the journal's field 4
  posting::LineRecord loaded_;
  std::string previousAccount_;
  char labelDigit_ = '0';
  bool newLine_ = false;
  bool holdsLine_ = false;
  bool opened_ = false;
  bool filling_ = false;
  bool analyticAllowed_ = false;
  // The account's look-up was refused: nothing is known of its split, which is left as it stands.
  bool accountUnread_ = false;
  bool splitDone_ = false;
  bool amountFocus_ = false;
  bool euroFirst_ = true;
  bool euroOnly_ = false;
  int roundingMode_ = 0;
  bool accountSetting_ = false;
  bool amountsSetting_ = false;
  bool guards_[4] = {false, false, false, false};
  bool noSenseInModel_ = true;
  bool arranging_ = false;
  long long pieceBalanceF_ = 0, pieceBalanceE_ = 0;
  double rate_ = 0;
  std::vector<std::uint32_t> toolbar_;
  MEdit* day_ = nullptr;
  MEdit* distribution_ = nullptr;
  MEdit* account_ = nullptr;
  MEdit* labelCode_ = nullptr;
  MEdit* label1_ = nullptr;
  MEdit* label2_ = nullptr;
  MEdit* label3_ = nullptr;
  MEdit* due_ = nullptr;
  MComboBox* vat_ = nullptr;
};

// ModDetJournaux: the line form the lines window of a slot asked for (flag "2"), or that window brought
// back when it asked for the line its form shows already (flag "R").
void CmModDetJournaux();
