// The rights of a user of the secondary password, set as the rights editor stores them: one bit
// per right in the characters of the dossier record that the function's row names.
#pragma once

class DossierRecord;

namespace test_support {

// Takes right `right` (1-12) of guarded function `function` away from the secondary user.
void RefuseAccessRight(int function, int right);
// The same in the rights of any dossier record (another dossier's).
void RefuseAccessRight(DossierRecord& record, int function, int right);

}  // namespace test_support
