// The passwords of a dossier at its opening: the privileged password gives this station the
// user level "1", the secondary password a level outside "01A" ("2", limited by the dossier's
// access rights), a dossier without password the level "0". The level is kept for this run
// with the dossier (DossierRecord position 194 while it is the open one), so that its tests
// again and a change back to it ask nothing; closing the dossier forgets it.
#pragma once

#include <string>
#include <vector>

class DossierRecord;
namespace gui {
class Window;
}

// Sets the user level of the dossier just loaded, asking its password when this run has not
// yet opened it: typed masked, three tries. False when it was refused or abandoned (the
// caller leaves the dossier closed).
bool CheckDossierPassword();
// The dossier of this entry (DossierEntry) is closed: its next opening asks again.
void ForgetDossierLevel(const std::string& entry);

// A right the secondary password of another dossier must give for a run to read that dossier
// with it: right `right` (1-12) of guarded function `function`, as that dossier's rights say.
struct ReadRight {
  int function;
  int right;
};

// Another dossier (its folder, code and dossier record with its rights) that a run is about to
// read, or to write into (`writes`): when it has a password, that password is asked first, typed
// masked, three tries. A run that writes needs the privileged one. A run that reads takes the
// secondary one only where the other dossier's rights give its secondary user every right of
// `reads`; otherwise it asks for the privileged one, and the secondary one typed is refused with
// the right it lacks. A run that writes is asked every time; a run that reads is not asked again
// for a dossier this run opened with one of its passwords at a level that suffices. False when
// refused or abandoned: the caller stops before touching either dossier.
bool CheckOtherDossierPassword(gui::Window* owner, const std::string& folder, const std::string& code,
                               const DossierRecord& record, bool writes, const std::vector<ReadRight>& reads);
