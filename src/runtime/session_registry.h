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
