// The code records of the general file: finding a code of a kind, counting a kind, creating a code (or a copy of
// another) as one step under the table's creation lock, and the walk of a kind's live codes.
#pragma once

#include <cstdint>
#include <string>

#include "data/lookup.h"

class RefusalWatch;
class Table;

namespace masterdata {

// Seeks kind + code (padded to `width`) on C10CODE: found when the table stands on a record of that kind with
// exactly that code, live or cancelled; refused when the look-up could not read (a closed table too).
Lookup SeekCodeRecord(Table& c10, char kind, const std::string& code, int width);
// The same, and the record is live (a cancelled one is not found).
Lookup SeekLiveCode(Table& c10, char kind, const std::string& code, int width);
// Seeks an account of the chart (its key, AccountKey): found on a live record.
Lookup SeekLiveAccount(Table& c20, const std::string& account);

// Records of a kind, live and cancelled.
long CountCodes(Table& c10, char kind);

enum class CreateOutcome {
  Created,      // the record is written
  Exists,       // the code was there already (live or cancelled): nothing written
  LockRefused,  // the creation lock could not be had in time: nothing written
  Failed,       // the table refused the record (its engine code is in the table's result)
};

struct CreateResult {
  CreateOutcome outcome = CreateOutcome::Failed;
  std::string existingName;  // the name of the code found when it exists
  std::uint32_t recno = 0;   // the new record
  bool copied = false;       // fields 3 onward came from the copy-from code
  // Failed because the look-up of the code or the read of its model could not be read (a read the disk
  // refused, never taken for a code free nor for no model): why, in one sentence naming the file; nothing
  // written.
  std::string refusal;
};

// Creates the code record kind + code under the creation lock of C10: the look-up and the insert are one step,
// so two stations creating one code leave one record. With a copy-from code of the same kind (its first live
// record) fields 3 onward are copied, memo included, and the name becomes "Copie de " + copy-from code + " " +
// its name, cut to the field. The new record is committed and current.
CreateResult CreateCodeRecord(Table& c10, char kind, const std::string& code, int width, const std::string& copyFrom);
// The refusal of CreateResult: the code not created, its look-up refused (`why`: the file and the error).
std::string CodeUnreadText(const std::string& code, const std::string& why);
// The refusal of CreateResult when the creation failed on `t` after its look-up: why, from the watch around it
// (a read refused said as such), else from the table's last engine code.
std::string CreationRefusal(const std::string& code, const RefusalWatch& watch, const Table& t);
// The refusal of CreateResult: the code not created, a read of its model (a copy-from code, an account or a
// section to copy) refused (`why`: the file and the error).
std::string ModelUnreadText(const std::string& code, const std::string& model, const std::string& why);

// Steps through the live codes of a kind (or of every record of a table without kinds).
struct CodeSource {
  Table* table = nullptr;
  const char* tag = "C10CODE";
  std::string kind;  // C10: the kind letter; "" for the tables without kinds
  int codeField = 2;
  int nameField = 3;
  int width = 8;
};
enum class CodeStep { First, Previous, Next, Last };
// From the code `current`: the first, previous, next or last live code. True with the code (right-trimmed, cut
// to the width) and its name (right-trimmed); false at either end or at a record of another kind.
bool StepCode(const CodeSource& source, CodeStep step, const std::string& current, std::string& code,
              std::string& name);

}  // namespace masterdata
