// Journal entry's places in the open-window registry and its program-wide state.
//
// The headers list "Journaux saisis" is registered at 517 (flag) and 518-527 (handle); its code
// area from 528 hands the journal-month key (7 characters at 528-534) to a new lines window.
// Five journal-entry slots of 412 characters begin at 554, 966, 1378, 1790 and 2202: the lines
// window's flag at L, its handle at L + 1 to L + 10, its journal-month key at L + 11 (7
// characters) and, at L + 18, the 24-character key of the line that "Ligne Restore" goes back
// to; both end before the line form's sub-slot at L + 53. The number of the lines window that
// last took the focus stands at 3940-3943.
#pragma once

#include <array>
#include <string>

namespace posting {

constexpr int kHeadersListFlag = 517;
constexpr int kHeadersListSlotLength = 37;  // 517-553
constexpr int kPendingKeyPosition = 528;
constexpr int kJournalMonthKeyLength = 7;   // CleJournalMois: BMOIS + BJAL
constexpr int kSlotCount = 5;
constexpr int kFirstSlot = 554;
constexpr int kSlotLength = 412;
constexpr int kSlotKeyOffset = 11;
constexpr int kSlotRestoreOffset = 18;
constexpr int kRestoreKeyLength = 24;
constexpr int kPartnerOffset = 53;          // the line form of the slot
constexpr int kActiveWindowPosition = 3940;
constexpr int kActiveWindowWidth = 4;

// The flag position of slot k (0-4); -1 gives 0.
int SlotPosition(int k);
// The slot of a flag position, -1 for another position.
int SlotIndexOf(int position);
// The journal-month key a slot in use holds (blank when free).
std::string SlotKey(int k);
bool SlotInUse(int k);
// The slot in use that holds the journal-month, -1 when none.
int SlotHolding(const std::string& journalMonth);
// The first free slot, -1 when the five are taken.
int FreeSlot();

// The lines window that last took the focus: its registry position, 0 when none.
int ActiveLinesWindowPosition();
void SetActiveLinesWindowPosition(int position);

}  // namespace posting

// The line to go to, blank when none: "Z" + CleJournalMois + piece, then its group and number
// (the whole C50CODE key, so that the line itself is selected, not the first of its piece). The
// amount search sets it; the lines window of that journal-month selects the line and empties it.
extern std::string SearchTargetKey;
constexpr int kSearchTargetKeyLength = 24;
// The entry-model text of each slot's journal, proposed by the line form.
extern std::array<std::string, posting::kSlotCount> SlotModelText;
// True when new general lines are typed in euros (the lines window's main currency).
extern bool EntryCurrencyFlag;
// 0 none; 1 a piece typed in euros is unbalanced in francs, 2 the other way round.
extern int RoundingLineFlag;
