// The kill and fault matrices' runs and checks: the runs that change a dossier's books, what a
// dossier holds, read through the engine, and what a stopped or failed run may have left beside it.
//
// - The live records of every table as a multiset of their fields' texts (memos read whole),
//   some fields left out where a run may legitimately give another value.
// - Every tag of every production index walks exactly the records a tag built afresh on the
//   same data walks, in the same order; every tag the table kind has is there.
// - No copies folder, pack file or run marker left in the dossier folder.
#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/system/write_fault.h"

struct DemoOptions;

namespace processing {
struct Collective;
struct TrialBalance;
}  // namespace processing

namespace kill_matrix {

// One table's records; a dossier's tables by file name ("c50a.dbf").
using TableRecords = std::multiset<std::string>;
using DossierRecords = std::map<std::string, TableRecords>;

// The text of a cancelled record begins with this mark (ReadRecords with `cancelled`); the text of
// a live one never does.
inline constexpr char kCancelledMark = '\x7F';

// The dossier tables of `folder` (the lock table aside), their live records with the fields
// named in `ignored` left out: "BPIECE" a whole field, "GZONE1@165:6" six characters of it from
// the 165th; with `cancelled`, the cancelled records of the draft and of the sort file too, each
// behind kCancelledMark: a cancelled line is reactivated as it stands, its sort record with it.
// A table that does not open is given as one record naming the engine's code.
DossierRecords ReadRecords(const std::string& folder, const std::set<std::string>& ignored, bool cancelled = false);

// The same records by their number in their table (a table that does not open: its one record
// numbered 0), to tell apart those another station wrote.
using NumberedTable = std::map<std::uint32_t, std::string>;
using NumberedRecords = std::map<std::string, NumberedTable>;
NumberedRecords ReadNumberedRecords(const std::string& folder, const std::set<std::string>& ignored,
                                    bool cancelled = false);
// The records of `all` but those numbered in `leftOut`, as ReadRecords gives them.
DossierRecords RecordsLeavingOut(const NumberedRecords& all, const NumberedRecords& leftOut);
// The records of `now` that are not in `was` as they stand there (written or appended since).
NumberedRecords ChangedRecords(const NumberedRecords& was, const NumberedRecords& now);

// The sort records of `all` whose line is one of the draft records of `lines`.
NumberedRecords SortRecordsOf(const NumberedRecords& all, const NumberedRecords& lines);
// The records of `all`, those of the sort file numbered in `which` without their letters (TLET,
// TLETE), which follow their line.
NumberedRecords LettersBlanked(NumberedRecords all, const NumberedRecords& which);

// What differs between the records read and those expected, table by table, in a few words
// ("c50a.dbf: 412 records, expected 420 (3 not expected, 11 missing)"); empty when equal. Every
// record expected is there, live or cancelled as expected, with every field as expected; a
// cancelled record beyond them is allowed: one that a change appended and cancelled again when it
// took itself back.
std::string RecordDifference(const DossierRecords& got, const DossierRecords& expected);

// The tags of the folder's tables that do not walk their table's records, each named with
// what differs; `scratch` is a folder the check may write into. Empty when every tag holds.
std::vector<std::string> TagFaults(const std::string& folder, const std::string& scratch);

// The pieces of the folder's draft (journal, month and number of its live general lines) whose
// euro debits and credits differ.
long UnbalancedPieces(const std::string& folder, const std::string& code);

// Whether the dossier's general file is of an older format than this program's (a conversion still
// to be made); nothing when it does not open.
std::optional<bool> OlderFormat(const std::string& folder, const std::string& code);

// What a run left in the dossier folder that a finished or put-back run never leaves: a
// sub-folder (copies aside; not the originals a conversion gone to its end keeps aside), a ".pack" file or a pack journal "<table>.dbf.pack.journal", the run
// marker "c<code>.run", a put-back's note "<copies>.remise", the second name "<file>.avant" of a
// file it replaced, or the note of a change of lines "lignes-<code>-<process>-<n>.note".
std::vector<std::string> Leftovers(const std::string& folder, const std::string& code);

// ---- The runs (kill_matrix_runs.cpp) ----

// Called by a run once it has read what it reads first: from there on its writes are counted
// (and the kill or the fault waits for its point).
using Arm = std::function<void()>;

// A dossier of a run: its sub-folder of the run's folder and its code.
struct MatrixDossier {
  const char* folder;
  const char* code;
};

struct MatrixRun {
  const char* name;   // the test's name
  const char* title;  // the run as the report names it
  // The run is known to fail at some kill points while its faults are being mended: its points
  // are tried and reported all the same, but do not fail the test. Cleared once it holds.
  bool knownFaulty;
  std::vector<MatrixDossier> dossiers;  // the first is the program's dossier while the run works
  // Makes the dossiers (and the files the run reads) in the run's folder (ending with "/").
  void (*prepare)(const std::string& root);
  // The run, in a child: what it reads first, then `arm`, then its changes. True when it says
  // it went to its end.
  bool (*run)(const std::string& root, const Arm& arm);
  // For an import: what the user does after the opening (the same import again), in a child;
  // *said gets what it told. The opening keeps the pieces a stopped import wrote whole: the
  // dossier is checked right after it, then again after this. Null for the other runs.
  bool (*retry)(const std::string& root, std::string* said) = nullptr;
  // Fields not compared (ReadRecords): a run done again takes new piece numbers where the
  // stopped one took some, and leaves those as gaps.
  std::set<std::string> ignored = {};
  // When not 0, the sample is every one of the run's last `lastWrites` writes (where a run over
  // two dossiers settles both), rather than points spread over all of them.
  long lastWrites = 0;
  // What the dossiers keep beside their books about them (the imports' log), checked in a child
  // after the opening: true when it agrees with the books; *why says where it does not. Null
  // when the run has nothing to check there.
  bool (*recordsAgree)(const std::string& root, std::string* why) = nullptr;
  // A change of lines: its records compared with their cancelled ones in the draft and the sort
  // file (ReadRecords), a cancelled line being reactivated as it stands (the other runs pack the
  // tables they write, a rebuild too, which drops them); and the fault matrix's sample refuses
  // every read of the run in turn, not a few spread over them: a change of lines reads little, and
  // a read refused in the middle of it is the one that may leave it half made.
  bool lineChange = false;
  // The opening matrix's rows over another station's work: what that station writes between the
  // run's stop and the opening (in a child, on the run's folder): true when it went through; *lines
  // gets the lines it wrote that the stopped change had named, one a line, each as the opening names a
  // line it leaves as it stands (as the lines window shows it). The records before and after the run are compared with its writes made over them.
  bool (*meanwhile)(const std::string& root, std::string* lines) = nullptr;
  // The records that station's writes change are its own: once the dossiers are opened again each
  // holds what it wrote, as right after its writes, whatever the opening finished or took back;
  // every other record is compared with those before and after the run (without its writes). For a
  // station that cancels, rewrites or fills a line the stopped change named: no whole dossier is
  // then as before or after the run with its writes made over them.
  bool ownsItsWrites = false;
};
void PrintTo(const MatrixRun& r, std::ostream* os);

// The runs: validation, opening balances, merge, separation, code copy, automatic matching, OFX
// and ASCII imports, balance-sheet computation, rebuild, renumbering, conversion, restore.
const std::vector<MatrixRun>& Runs();
// The changes of lines, driven through their core functions (kill_matrix_line_changes.cpp), every
// kind a note of a change of lines names: a line saved onto another account, a line cancelled with
// its analytic lines, a cancelled line reactivated, a piece moved and copied to another
// journal-month, two lines appended to the draft, a line saved at zero, a line saved onto an
// account without analytic with its split of four or eight records, a split removed on its own, a
// default split, an analytic line saved, cancelled and reactivated, a line created after a line with
// its split (its group renumbered), a piece created, a split's header made or given its line's new
// day, the analytic lines given it, an axis renumbered and a new analytic line.
const std::vector<MatrixRun>& LineChangeRuns();
// Changes of letters stopped half-way, then another station's letters written over the same lines
// before the opening (MatrixRun::meanwhile): a manual lettering of two bank lines, the same lines
// lettered on the other station; a bank reconciliation in francs of eight bank lines passing over
// one lettered since it read them, another lettered on the other station. Then the rows whose other
// station owns its writes (MatrixRun::ownsItsWrites): under a lettering, a reconciliation and the
// matching's marks, a draft line they named cancelled there, or given another amount; and a blank new
// line given up, filled and saved there.
const std::vector<MatrixRun>& OtherStationRuns();

// What was shown, on one line.
std::string OneLine(std::string text);

// A demo dossier of `lines` lines generated in `folder` (made for it), with the code `code`; `more`
// sets further options. The folder with its "/".
std::string MakeDossier(const std::string& folder, const char* code, long lines,
                        const std::function<void(DemoOptions&)>& more = {});

// The dossier made the program's dossier, its record and constants loaded as the opening does.
bool LoadAsOpened(const std::string& folder, const char* code);

// `work` in a forked child: its exit status (0 when `work` returned true, 1 when false, 128 +
// the signal that ended it); *text gets what `work` put in its text (a short one).
int InChildSaying(const std::function<bool(std::string*)>& work, std::string* text);

// What the validation and the opening balances read before they write, from the program's
// dossier: the first three journal-months of the draft that may be validated (balanced, every
// line on an account and in the year), and the collective accounts and trial balance of the
// year; false when its tables do not open.
bool ValidationMonths(std::vector<std::string>* months);
bool OpeningSource(std::vector<processing::Collective>* collectives, processing::TrialBalance* balance);

// A fault's name in the matrices' reports ("ENOSPC", "EIO on a read" ...).
const char* FaultName(platform::WriteFault f);

}  // namespace kill_matrix
