// The merge of another dossier into the open one ("Ajout d'un autre dossier"): the check of the
// other dossier with the period of lines it can give, and the run that adds its codes, accounts,
// sections and the lines of the period into the open dossier's draft, then rebuilds it. No
// window: the form asks its questions between the check and the run.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/aside_copies.h"
#include "dossier/core/dossier_run_marker_copies.h"

#include "processing/core/opening_balances.h"
#include "processing/core/other_dossier.h"
#include "runtime/dossier_record.h"

class DossierRunMarker;
class RefusalWatch;
class Table;

namespace processing {

// The names of the runs in the dossiers' run markers.
inline constexpr const char* kMergeRun = "ajout-dossier";
inline constexpr const char* kSeparationRun = "separation-exercices";

// A dossier's tables (C10 ... C70) copied aside and its run marker written before a run changes
// them. A run that fails puts the copies back (PutBack); one that succeeds removes the marker,
// then the copies (Finish); a run killed between leaves both, and the next opening of that
// dossier puts the copies back through the redo registered for the run's name. Made on the
// current dossier (DossierFolder, DossierCode), whose folder and code it keeps.
class GuardedTables {
 public:
  // `partner`: what the marker's detail gives after the copies (see DossierRunCopies).
  // Made from the run's reading, as its marker is (DossierRunMarker).
  GuardedTables(BooksReading&& reading, const char* run, const std::string& title, const std::string& prefix,
                const std::string& partner = "");
  ~GuardedTables();  // a run left unsettled is put back
  GuardedTables(const GuardedTables&) = delete;
  GuardedTables& operator=(const GuardedTables&) = delete;

  // False when the copies or the marker could not be made: nothing changed, error() says why.
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // The copies put back and the marker removed: true. False when a file could not be put back:
  // the marker stays, so that the next opening tries again.
  bool PutBack();
  // The marker removed, then the copies: true. False when the marker could not be removed (the
  // run is not settled: it may still be put back).
  bool Finish();
  // The copies and the marker left for the next opening, which puts the tables back.
  void Keep();
  // The guarded dossier's run marker.
  std::string MarkerPath() const;

 private:
  std::string folder_, code_;
  DossierRunCopies copies_;
  std::string error_;
};

// A table a run opens before it writes anything: alone, or shared for reading; `number` is the
// table's number in the run's error codes.
struct RunTable {
  Table* table;
  std::string path;
  const char* tag;
  bool alone;
  int number;
};
// Opens them all, in order: 0, or `base` + the number of the first that does not open, with the
// message naming its file in *error.
int OpenRunTables(const std::vector<RunTable>& tables, int base, std::string* error);

// Why a run between dossiers stopped with `code` on the write of `path` (`result` the engine's
// code): the write the system refused first while `refusal` watched, else that one; a full disk
// said with its folder, any other refusal naming the file.
std::string TransferRefusalText(const RefusalWatch& refusal, int code, const std::string& path, int result);

// True when another dossier carries the marker of a run stopped half-way (its next opening mends it).
bool HasInterruptedRun(const OtherDossier& d);

// Puts back the tables of the current dossier from the copies a marker's detail names (the redo
// of an interrupted merge or separation).
bool PutBackInterruptedTransfer(const std::string& detail);

// The check of the other dossier: `first` and `second` are the texts shown beside it (its code
// and name, its year; or the refusal). The period is the part of the open year the other
// dossier's year covers, as stored dates.
struct MergeSourceCheck {
  bool ok = false;
  bool beep = true;
  bool busy = false;       // another station has the other dossier open
  bool clearCode = false;  // the code is to be cleared from its edit
  std::string code;        // the code as checked (trimmed, at most 5 characters)
  std::string first, second;
  std::string periodStart, periodEnd;
  DossierRecord record;
};
MergeSourceCheck CheckMergeSource(const OtherDossier& other);

// "Date début" / "Date fin" as typed (DD/MM/YY) against the period: "" when right, else the
// refusal's message.
std::string MergeDateRefusal(const std::string& from, const std::string& to, const MergeSourceCheck& period,
                             bool end);

struct MergeRequest {
  OtherDossier other;
  bool codesOnly = false;     // "Ajout seulement": codes, accounts and sections, no line
  std::string from, to;       // the period's limits as typed (DD/MM/YY)
};

struct MergeResult {
  int code = 0;          // 0, the rebuild's error, or this run's below
  std::string error;     // the refusal or the fault, in French
  bool busy = false;     // another station has the other dossier: nothing written
  bool putBack = false;  // a run that failed was put back as it was
  bool putBackFailed = false;  // ... or could not be: the run marker names the copies
  long codes = 0, accounts = 0, sections = 0, lines = 0, journals = 0;
};
inline constexpr int kMergeRefused = 6201;  // a check refused the run: nothing written
inline constexpr int kMergeMarker = 6202;   // its marker could not be removed at the end: the run put back
inline constexpr int kMergeRead = 6203;     // a read refused by the system: a table read short, the run put back
inline constexpr int kMergeOpen = 6210;     // + table number: a table did not open
inline constexpr int kMergeWrite = 6220;    // + table number: a record could not be written

// The run, on the open dossier held alone by the caller (its tables closed): the other dossier
// held from its check to the end; before anything is written every table is opened and what the
// rebuild would refuse is refused (the draft past 999,999 records, a pending renumbering, a
// damaged table). `step` is called with the first line and the file read of each phase.
MergeResult MergeOtherDossier(const MergeRequest& request, const TargetMaintenance& maintenance,
                              const std::function<void(const std::string&, const std::string&)>& step = {});

// The log line of a run and its end message.
std::string MergeLogLine(const MergeRequest& request, const MergeResult& result);
std::string MergeEndMessage(const MergeRequest& request, const MergeResult& result);

}  // namespace processing
