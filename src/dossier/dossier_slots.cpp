#include "dossier/dossier_slots.h"

#include <utility>

#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"

std::string DossierEntry(const std::string& code, const std::string& folder) {
  std::string entry = code.substr(0, 5);
  entry.resize(5, ' ');
  return entry + folder;
}

std::string EntryCode(const std::string& entry) { return RTrim(entry.substr(0, 5).c_str()); }

std::string EntryFolder(const std::string& entry) { return entry.size() > 5 ? entry.substr(5) : std::string(); }

namespace {

// The entry goes to position 0; the entries before position k move down one place.
template <std::size_t N>
void MoveToFront(std::string (&list)[N], std::size_t k, const std::string& entry) {
  for (std::size_t i = k; i > 0; --i) list[i] = std::move(list[i - 1]);
  list[0] = entry;
}

}  // namespace

void PutFirstInSlots(const std::string& entry) {
  constexpr std::size_t n = kDossierSlotCount;
  for (std::size_t k = 0; k < n; ++k) {
    if (DossierSlots[k] == entry) return MoveToFront(DossierSlots, k, entry);
  }
  for (std::size_t k = 0; k < n; ++k) {
    if (IsBlank(DossierSlots[k])) return MoveToFront(DossierSlots, k, entry);
  }
  // All five filled: the oldest dossier of the run leaves the list.
  MoveToFront(DossierSlots, n - 1, entry);
}

void PutFirstInRecent(const std::string& entry) {
  constexpr std::size_t n = kRecentDossierCount;
  for (std::size_t k = 0; k < n; ++k) {
    if (RecentDossiers[k] == entry) return MoveToFront(RecentDossiers, k, entry);
  }
  if (IsBlank(RecentDossiers[0])) {
    RecentDossiers[0] = entry;
    return;
  }
  MoveToFront(RecentDossiers, n - 1, entry);
}

void DropFirstSlot() {
  for (int i = 0; i + 1 < kDossierSlotCount; ++i) DossierSlots[i] = std::move(DossierSlots[i + 1]);
  DossierSlots[kDossierSlotCount - 1].clear();
}

void ExchangeWithFirstSlot(int k) {
  if (k < 2 || k > kDossierSlotCount) return;
  std::swap(DossierSlots[0], DossierSlots[k - 1]);
}

int FilledSlotCount() {
  int count = 0;
  for (const std::string& slot : DossierSlots)
    if (!IsBlank(slot)) ++count;
  return count;
}
