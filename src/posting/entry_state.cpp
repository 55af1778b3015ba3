#include "posting/entry_state.h"

#include <cstdlib>

#include "runtime/session_registry.h"
#include "runtime/xbase.h"

std::string SearchTargetKey(kSearchTargetKeyLength, ' ');
std::array<std::string, posting::kSlotCount> SlotModelText;
bool EntryCurrencyFlag = true;
int RoundingLineFlag = 0;

namespace posting {

int SlotPosition(int k) { return k >= 0 && k < kSlotCount ? kFirstSlot + kSlotLength * k : 0; }

int SlotIndexOf(int position) {
  for (int k = 0; k < kSlotCount; ++k)
    if (SlotPosition(k) == position) return k;
  return -1;
}

bool SlotInUse(int k) {
  const int p = SlotPosition(k);
  return p > 0 && RegistryChar(p) != ' ';
}

std::string SlotKey(int k) {
  if (!SlotInUse(k)) return std::string(kJournalMonthKeyLength, ' ');
  return RegistryText(SlotPosition(k) + kSlotKeyOffset, kJournalMonthKeyLength);
}

int SlotHolding(const std::string& journalMonth) {
  std::string wanted = journalMonth.substr(0, kJournalMonthKeyLength);
  wanted.resize(kJournalMonthKeyLength, ' ');
  for (int k = 0; k < kSlotCount; ++k)
    if (SlotInUse(k) && SlotKey(k) == wanted) return k;
  return -1;
}

int FreeSlot() {
  for (int k = 0; k < kSlotCount; ++k)
    if (!SlotInUse(k)) return k;
  return -1;
}

int ActiveLinesWindowPosition() {
  return std::atoi(RegistryText(kActiveWindowPosition, kActiveWindowWidth).c_str());
}

void SetActiveLinesWindowPosition(int position) {
  // Printed in width 5, its last four characters.
  const std::string text = position > 0 ? std::string(StrInt(position, 4)) : std::string();
  SetRegistryText(kActiveWindowPosition, kActiveWindowWidth, text);
}

}  // namespace posting
