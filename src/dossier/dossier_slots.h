// The two lists of dossiers: the five dossier slots of this run and the
// nine recent dossiers of the program INI. Each entry is the code
// blank-padded to 5 characters followed by the folder; both lists hold the
// most recent first.
#pragma once

#include <string>

// Code blank-padded (or cut) to 5, then the folder.
std::string DossierEntry(const std::string& code, const std::string& folder);
// Code of an entry (characters 1-5, right-trimmed) and its folder (from 6 on).
std::string EntryCode(const std::string& entry);
std::string EntryFolder(const std::string& entry);

// Puts the entry first in DossierSlots: an entry already there moves up;
// otherwise the others move down one place. With all five slots filled by
// other dossiers the oldest (slot 5) is dropped, so slot 1 is always the
// dossier open now and "Fermer" / "Changer" act on the right one.
void PutFirstInSlots(const std::string& entry);
// Puts the entry first in RecentDossiers: an entry already there moves up;
// otherwise a blank entry 1 takes it, else the list moves down (entry 9 is
// dropped).
void PutFirstInRecent(const std::string& entry);
// Drops slot 1: slots 2-5 move up, slot 5 becomes empty.
void DropFirstSlot();
// Exchanges slot k (1-5) with slot 1.
void ExchangeWithFirstSlot(int k);
// Number of filled slots.
int FilledSlotCount();
