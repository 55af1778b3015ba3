// Program-wide session texts that the runtime reads and the shell fills:
// the dossier slots, and safe access to the open-window registry text
// (declared in runtime/xbase.h, laid out by the shell).
#pragma once

#include <string>
#include <string_view>

// Length of the open-window registry text.
constexpr int kOpenWindowRegistryLength = 3968;

// Dossiers of this run, most recent first: code blank-padded to 5, then the
// folder. Entry 0 is the dossier open now (empty when none is open).
constexpr int kDossierSlotCount = 5;
extern std::string DossierSlots[kDossierSlotCount];

// True when a dossier is open (the first dossier slot is not blank).
bool DossierIsCurrent();

// Makes the registry its full length, blank-filled, when it is shorter.
void EnsureOpenWindowRegistry();

// ---- The slots of the open-window registry ----------------------------------------------------------------------
//
// Every window kind that keeps a slot (its flag at the position, its handle in the next 10 characters, then the key
// it shows and, for a list opened as a lookup, the asking window) takes a free range of this table. The subjects
// that landed first keep their own names for their positions (given under "named by"); a new window takes a free
// range here and names it here. The check below refuses two ranges that overlap.
struct RegistryRange {
  int first;          // 1-based position of the flag (or of the text)
  int length;         // characters the range covers
  const char* owner;  // the window or the text that lives there
};
// Slots of the settings subject (the constants list, the user-defined reports' lists and forms of the display and
// printing sets, the raw table browser and its record form).
constexpr int kConstantsListSlot = 2614, kConstantsListSlotLength = 39;
constexpr int kReportListSlotY = 2653, kReportFormSlotY = 2692;
constexpr int kReportListSlotZ = 2713, kReportFormSlotZ = 2752;
constexpr int kReportListSlotLength = 39, kReportFormSlotLength = 21;
constexpr int kRawListSlot = 2773, kRawListSlotLength = 21;
constexpr int kRawFormSlot = 2794, kRawFormSlotLength = 17;
// Slots of the matching windows.
constexpr int kManualReportSlot = 3642, kManualReportSlotLength = 33;  // parameters at 3653
constexpr int kManualFormSlot = 3700, kManualFormSlotLength = 11;
constexpr int kManualListSlot = 3726, kManualListSlotLength = 33;      // key at 3737
constexpr int kAutomaticReportSlot = 3777, kAutomaticReportSlotLength = 30;
constexpr int kAutomaticFormSlot = 3807, kAutomaticFormSlotLength = 11;
// Slots of the ledger reports: each report window, then its limits form (the form's key is the limits record).
constexpr int kStatementWindowSlot = 2892, kStatementWindowSlotLength = 58;
constexpr int kStatementFormSlot = 2950, kStatementFormSlotLength = 11 + 29;
constexpr int kGeneralLedgersWindowSlot = 2990, kGeneralLedgersWindowSlotLength = 96;
constexpr int kGeneralLedgersFormSlot = 3086, kGeneralLedgersFormSlotLength = 11 + 67;
constexpr int kJournalsWindowSlot = 3358, kJournalsWindowSlotLength = 45;
constexpr int kJournalsFormSlot = 3403, kJournalsFormSlotLength = 11 + 16;
constexpr int kSummaryWindowSlot = 3576, kSummaryWindowSlotLength = 32;
// Slots of the trial balances: the report window with its options text (3175-3251), then its form.
constexpr int kBalancesWindowSlot = 3164, kBalancesWindowSlotLength = 11 + 77;
constexpr int kBalancesFormSlot = 3270, kBalancesFormSlotLength = 11 + 77;
// Slot of the balance-sheet edition window.
constexpr int kSheetEditionWindowSlot = 3608, kSheetEditionWindowSlotLength = 11;
// Slot of the year-end forms.
constexpr int kOpeningFormSlot = 2811, kOpeningFormSlotLength = 11;
constexpr int kMergeFormSlot = 2822, kMergeFormSlotLength = 11;
constexpr int kSeparationFormSlot = 2833, kSeparationFormSlotLength = 11;
// Slot of the ASCII import form.
constexpr int kAsciiImportFormSlot = 3711, kAsciiImportFormSlotLength = 11;
// Slot of the bank statement import form.
constexpr int kOfxImportFormSlot = 2844, kOfxImportFormSlotLength = 11;
// Slots of the bank reconciliation: its form, then its list.
constexpr int kReconciliationFormSlot = 2855, kReconciliationFormSlotLength = 11;
constexpr int kReconciliationListSlot = 2866, kReconciliationListSlotLength = 21;

constexpr RegistryRange kRegistryRanges[] = {
    {1, 10, "main window's handle (shell/registry.h)"},
    {11, 1, "DossierState (kDossierStatePosition)"},
    // Code lists: the list, then its form (masterdata/core/code_kinds.cpp).
    {23, 31, "distribution codes list (V)"},
    {54, 13, "distribution codes form"},
    {67, 30, "collective accounts list (B)"},
    {97, 12, "collective accounts form"},
    {109, 33, "banks list (Q)"},
    {142, 15, "banks form"},
    {157, 30, "standard labels list (L)"},
    {187, 12, "standard labels form"},
    {199, 33, "establishments list (E)"},
    {232, 15, "establishments form"},
    {247, 37, "entry models list (M)"},
    {284, 19, "entry models form"},
    // Analytic sections and chart of accounts (masterdata/core/chart_files.cpp, framework/edit_form.h).
    {303, 37, "analytic sections list"},
    {340, 19, "analytic section form"},
    {359, 32, "journals list (J)"},
    {391, 14, "journals form"},
    {405, 37, "VAT codes list (T)"},
    {442, 19, "VAT codes form"},
    {461, 37, "chart of accounts list"},
    {498, 19, "account form"},
    // Journal entry (entry/core/entry_state.h): the journal-months list, then the five entry slots.
    {517, 37, "journal-months list"},
    {554, 5 * 412, "five journal-entry slots of 412"},
    // Settings.
    {kConstantsListSlot, kConstantsListSlotLength, "dossier constants list (X)"},
    {kReportListSlotY, kReportListSlotLength, "user-defined reports list, display set (Y)"},
    {kReportFormSlotY, kReportFormSlotLength, "user-defined report form, display set"},
    {kReportListSlotZ, kReportListSlotLength, "user-defined reports list, printing set (Z)"},
    {kReportFormSlotZ, kReportFormSlotLength, "user-defined report form, printing set"},
    {kRawListSlot, kRawListSlotLength, "raw table browser"},
    {kRawFormSlot, kRawFormSlotLength, "raw table record form"},
    // Year end (processing/year_end_forms.h): the forms of the opening balances, the merge and the separation.
    {kOpeningFormSlot, kOpeningFormSlotLength, "opening balances form"},
    {kMergeFormSlot, kMergeFormSlotLength, "merge of another dossier form"},
    {kSeparationFormSlot, kSeparationFormSlotLength, "year separation form"},
    // Bank runs (processing/ofx_window.h): the statement import form.
    {kOfxImportFormSlot, kOfxImportFormSlotLength, "bank statement import form"},
    // Ledger reports.
    {kStatementWindowSlot, kStatementWindowSlotLength, "account statement window"},
    {kStatementFormSlot, kStatementFormSlotLength, "account statement limits form"},
    {kGeneralLedgersWindowSlot, kGeneralLedgersWindowSlotLength, "general ledgers window"},
    {kGeneralLedgersFormSlot, kGeneralLedgersFormSlotLength, "general ledgers limits form"},
    {kJournalsWindowSlot, kJournalsWindowSlotLength, "journal listings window"},
    {kJournalsFormSlot, kJournalsFormSlotLength, "journal listings limits form"},
    {kSummaryWindowSlot, kSummaryWindowSlotLength, "centralising summary window"},
    // Trial balances (reports/balances/balance_windows.h).
    {kBalancesWindowSlot, kBalancesWindowSlotLength, "trial balances window and its options text"},
    {kBalancesFormSlot, kBalancesFormSlotLength, "trial balances options form"},
    {kSheetEditionWindowSlot, kSheetEditionWindowSlotLength, "balance-sheet edition window"},
    // Matching (processing/matching_slots.h): the manual matching report window (its parameters at 3653-3674),
    // form and list (its key at 3737-3758, whose account is the account it holds, data/account_totals.h); the
    // automatic matching report window and form.
    {kManualReportSlot, kManualReportSlotLength, "manual matching report window"},
    {kManualFormSlot, kManualFormSlotLength, "manual matching form"},
    {kManualListSlot, kManualListSlotLength, "manual matching list"},
    {kAutomaticReportSlot, kAutomaticReportSlotLength, "automatic matching report window"},
    {kAutomaticFormSlot, kAutomaticFormSlotLength, "automatic matching form"},
    // Dunning letters and supplier payments (reports/vat_dunning/dunning_window.h): the window with its options
    // text, then its options form.
    {3430, 64, "dunning report window and its options text"},
    {3512, 11, "dunning options form"},
    // The VAT returns on debits and on receipts share one slot (reports/vat_dunning/vat_windows.h).
    {3494, 11, "VAT return window, debits or receipts"},
    // Free: 2887-2891, 3252-3269, 3505-3511, 3523-3575, 3619-3641, 3675-3699, 3722-3725 and 3759-3776.
    {kAsciiImportFormSlot, kAsciiImportFormSlotLength, "ASCII import form (processing/ascii_window.h)"},
    // Bank reconciliation (processing/reconciliation_windows.h): the form, then the list.
    {kReconciliationFormSlot, kReconciliationFormSlotLength, "bank reconciliation form"},
    {kReconciliationListSlot, kReconciliationListSlotLength, "bank reconciliation list"},
    {3819, 121, "record text window: flag, handle, reference (masterdata/core/record_text.h)"},
    // 3940-3968 survive every reset (shell/registry.h).
    {3940, 4, "number of the active journal lines window"},
    {3944, 8, "last account chosen in a lookup"},
    {3952, 8, "last auxiliary account chosen in a lookup"},
    {3960, 8, "last analytic section chosen in a lookup"},
};

constexpr bool RegistryRangesApart() {
  const int n = static_cast<int>(sizeof kRegistryRanges / sizeof kRegistryRanges[0]);
  for (int i = 0; i < n; ++i) {
    const RegistryRange& a = kRegistryRanges[i];
    if (a.first < 1 || a.first + a.length - 1 > kOpenWindowRegistryLength) return false;
    for (int j = i + 1; j < n; ++j) {
      const RegistryRange& b = kRegistryRanges[j];
      if (a.first < b.first + b.length && b.first < a.first + a.length) return false;
    }
  }
  return true;
}
static_assert(RegistryRangesApart(), "two ranges of the open-window registry overlap");

// Characters of the registry from a 1-based position; positions outside it
// read as blanks.
std::string RegistryText(int position, int width);
char RegistryChar(int position);
// Writes the value blank-padded or cut to width; the registry is first made
// its full length. Positions outside it are ignored.
void SetRegistryText(int position, int width, std::string_view value);

// DossierState is character 11 of the registry: ' ' ready, '1' a dossier-wide
// process or an exclusive window runs, '2' the dossier must be tested again
// before the next command. Every reader and writer goes through the registry.
constexpr int kDossierStatePosition = 11;
char GetDossierState();
void SetDossierState(char state);
