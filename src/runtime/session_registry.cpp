#include "runtime/session_registry.h"

#include "runtime/xbase.h"

std::string DossierSlots[kDossierSlotCount];

bool DossierIsCurrent() { return !IsBlank(DossierSlots[0]); }

void EnsureOpenWindowRegistry() {
  if (OpenWindowRegistry.size() < static_cast<std::size_t>(kOpenWindowRegistryLength)) {
    OpenWindowRegistry.resize(kOpenWindowRegistryLength, ' ');
  }
}

std::string RegistryText(int position, int width) {
  std::string out;
  if (width <= 0) return out;
  out.reserve(width);
  for (int i = 0; i < width; ++i) out += RegistryChar(position + i);
  return out;
}

char RegistryChar(int position) {
  if (position < 1 || static_cast<std::size_t>(position) > OpenWindowRegistry.size()) return ' ';
  char c = OpenWindowRegistry[position - 1];
  return c == '\0' ? ' ' : c;
}

void SetRegistryText(int position, int width, std::string_view value) {
  EnsureOpenWindowRegistry();
  for (int i = 0; i < width; ++i) {
    int p = position + i;
    if (p < 1 || static_cast<std::size_t>(p) > OpenWindowRegistry.size()) continue;
    OpenWindowRegistry[p - 1] = static_cast<std::size_t>(i) < value.size() ? value[i] : ' ';
  }
}

char GetDossierState() { return RegistryChar(kDossierStatePosition); }

void SetDossierState(char state) { SetRegistryText(kDossierStatePosition, 1, std::string_view(&state, 1)); }
