// TWSaiBroDetJournaux: the general lines of one journal-month of the draft in piece order, every
// other piece shaded, opened in one of the five journal-entry slots. While it lives it keeps the
// write lock on the journal-month's header (taken by "Saisir" on the same general-file cursor),
// so that no other station enters the journal-month. It cancels and reactivates lines, creates
// lines and pieces, searches words and amounts, shows an account's balance on a click, and asks
// before it closes on an unbalanced journal-month.
#pragma once

#include <memory>
#include <string>

#include "posting/journal_lines.h"
#include "posting/journal_month.h"
#include "entry/core/journal_printout.h"
#include "entry/line_range_browse.h"
#include "resources/command_ids.h"

class TWSaiBroDetJournaux : public LineRangeBrowse {
 public:
  // Declared column numbers; from 18 on the two layouts differ.
  enum Column {
    kMarker = 1, kBcle, kBmois, kBjal, kBpiece, kBrec, kBnum, kPiece, kDay, kDistribution, kAccount, kLabelCode,
    kLabelText, kLabel, kDebit, kCredit, kLetter,
    // Outside euro-only mode: the other currency, the entry currency and the due date.
    kOtherDebit = 18, kOtherCredit, kOtherLetter, kEntryCurrency, kDueDate,
    // In euro-only mode: the due date and the second label.
    kEuroOnlyDueDate = 18, kEuroOnlyLabel2,
  };
  static constexpr int kKeyWidth = 24;
  static constexpr int kRightsFunction = 14;
  // "Saisie d'Ecritures", whose menu right opens the entry at all.
  static constexpr int kEntryMenuFunction = 13;
  static constexpr int kRightCreatePiece = 8;
  static constexpr int kRightCreateLine = 9;
  static constexpr int kAccelerators = 1113;
  static constexpr int kSlotLength = 53;

  // `ownSlot` is the flag position of the journal-entry slot (its key, at + 11, comes from
  // 528-534); the partner is the slot's line form at own + 53.
  TWSaiBroDetJournaux(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns, int ownSlot,
                      int partnerSlot);
  ~TWSaiBroDetJournaux() override;

  // The column table the opener declares: main currency titles and the layout of the dossier.
  static BrowseColumnTable DeclaredColumns(bool mainEuro, bool euroOnly);
  // "Saisie journal " + journal + " " + MM/YY.
  static std::string TitleOf(const std::string& journalMonth);

  const std::string& JournalMonth() const { return key_; }
  const std::string& Prefix() const { return prefix_; }
  int SlotIndex() const { return slot_; }
  bool MainEuro() const { return mainEuro_; }
  bool EuroOnly() const { return euroOnly_; }
  bool HoldsHeader() const { return headerHeld_; }
  const posting::JournalRecord& Journal() const { return journal_; }
  const posting::PieceShading& Shading() const { return shading_; }
  ::Table* Sorts() { return GetTable(1); }
  // The shading walk started again from the first line, and done to its end (the window does it
  // in slices while it waits).
  void RestartShading();
  void FinishShading();

  // ---- data source
  std::string GetCellText(int field, std::uint32_t start, std::uint32_t length, int column) override;
  int GetCellTextColor(int row, int column) override;
  void CopySelectedCode() override;

  // ---- commands
  void CmReCaler();
  void CmAllerAuCode();
  void CmChercher();
  void CmChercherEncore();
  void CmChercherMontant();
  void CmLigneRestore();
  void CmCreerLigne();
  void CmCreerPiece();
  void CmAnnuler();
  void CmReactiver();
  void CmModifier();
  void CmDeplacer();
  void CmCopier();
  void CmRafraichirLigne();
  void CmOmbrer();
  // A piece or a line is created only with the entry's menu right, the create right (2) and the
  // right of its own: 8 for a piece, 9 for a line.
  bool MayCreate(bool piece) const;
  void CeCreerLigne(gui::CommandEnabler& ce);
  void CeCreerPiece(gui::CommandEnabler& ce);
  void CeAnnulerLigne(gui::CommandEnabler& ce);
  void CeModifierLigne(gui::CommandEnabler& ce);
  void CeChercher(gui::CommandEnabler& ce);
  void CeChercherEncore(gui::CommandEnabler& ce);
  void CeAlways(gui::CommandEnabler& ce) { ce.Enable(true); }

  void EvSetFocus(gui::Handle lost) override;
  void EvLButtonDown(unsigned modKeys, gui::Point p) override;
  bool CanClose() override;

  // ---- the printout's report hooks (lines_window_report.cpp): the window's TypeListe is
  // ChosenLayoutText, its piece limits LimitFrom and LimitTo, its currency the main one.
  bool PrepareReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;
  void DefaultAction() override;
  const entry::JournalPrintout* Printout() const { return printout_.get(); }

  // ---- moving and copying the selected piece (lines_window_pieces.cpp): the last target
  // chosen in this window, 35 characters (CiblePiece), blank at construction.
  std::string& CiblePiece() { return ciblePiece_; }
  void MoveOrCopyPiece(bool copy);
  // The box of a change of lines that did not go through (nothing when `refusal` is empty).
  void SayRefusal(const std::string& refusal);
  // Moving and copying need the modify right of the window, then a live line selected.
  void CeDeplacerPiece(gui::CommandEnabler& ce);

  // The balance shown in the message bar by the last click or save (empty when none).
  const std::string& BalanceText() const { return balanceText_; }
  // The status line of an account's balance (its C20 record current): its code and name, the balance
  // in the main currency (euros when `mainEuro`) and the currency's name.
  static std::string BalanceStatus(::Table& c20, bool mainEuro);
  // A balance the window shows as its own status line, kept when it becomes active again (the line
  // form's save gives the balance it wrote).
  void ShowBalance(const std::string& text);

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void CleanupWindow() override;
  bool InRange(::Table& t) const override;
  bool SeekFirstOfRange(::Table& t) override;
  bool SeekLastOfRange(::Table& t) override;
  unsigned EditCommand() const override { return child_command::Modifier; }
  const char* LinesTag() const override;

 private:
  void SearchWordInJournal(bool next);
  // A new line brought into view and opened in the form.
  void ShowNewLine(const std::string& key);
  std::string LabelText(char code);
  bool Lettered(const std::string& row) const;
  // The header lock released (destruction, refused opening).
  void ReleaseHeader();

  std::string key_;     // CleJournalMois
  std::string prefix_;  // "Z" + key
  int slot_ = -1;
  bool mainEuro_ = true;
  bool euroOnly_ = false;
  bool opened_ = false;
  bool headerHeld_ = false;
  posting::JournalRecord journal_;
  posting::PieceShading shading_;
  std::unique_ptr<::Table> shadingCursor_;
  // The long walks (the closing balance, the word search) let the window paint while they go: they
  // read through a cursor of their own, which the painting never moves.
  std::unique_ptr<::Table> walkCursor_;
  bool shadingPosted_ = false;
  char labelCode_ = 0;
  std::string labelText_;
  std::string balanceText_;
  // The printout of the journal-month and the move and copy of pieces.
  std::unique_ptr<entry::JournalPrintout> printout_;
  entry::PrintoutRun printRun_;
  std::string ciblePiece_;
};
