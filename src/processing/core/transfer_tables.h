// What the runs that write records from one dossier into another share: the field map of a pair
// of tables (data/table_copy.h), the other dossier's record read from its general file, and the
// swap that makes another dossier the program's dossier for as long as an object lives.
#pragma once

#include <string>

#include "data/table_copy.h"
#include "processing/core/other_dossier.h"
#include "runtime/dossier_record.h"

class Table;

namespace processing {

// The dossier record of another dossier (its record "0" with the rights of its secondary
// password, and its constants "P") from its general file opened read-only: false when the file
// does not open or holds no dossier record.
bool LoadDossierRecordOf(const OtherDossier& dossier, DossierRecord* record);

// The other dossier made the program's dossier (folder, code and record) for the object's life.
class DossierIdentity {
 public:
  DossierIdentity(const OtherDossier& other, const DossierRecord& record);
  ~DossierIdentity();
  DossierIdentity(const DossierIdentity&) = delete;
  DossierIdentity& operator=(const DossierIdentity&) = delete;

 private:
  std::string folder_, code_;
  DossierRecord record_;
};

// The stored date (YYMMDD) of the current line of a C40 (closed) or C50 table.
std::string LineDate(Table& lines, bool closed);
// The two amounts of the current line of a C40 (closed) or C50 table read, before a run copies it:
// one that does not read is noted in the run's watch (BooksReading), whose marker then refuses it.
void ReadLineAmounts(Table& lines, bool closed);

}  // namespace processing
