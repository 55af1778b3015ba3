// The engine-error report and the boxes of the table layer's programming errors. Boxes go
// through the runtime's message hook (runtime/runtime_hooks.h), which the window layer fills
// and tests read.
#pragma once

#include <string>

#include "data/lookup.h"

class Table;

// Shows the failure of an engine call made on `table` (its code in table.result): caption
// "Erreur BDE n:" + code, the engine's text, the context, the caller's text, the field name,
// the table and index paths and the tag; writes "BDE ERREUR - " + caption + " - " + text on
// one log line. Code 11012 also posts command ConfigurerBde to the main window.
void ReportDbError(Table& table, int context, const char* text = "", int field = 0);

// A look-up of `table` through `tag` that the system could not answer (`found` refused: a read
// refused, a damaged index), kept by a run's watch as ReportDbError keeps a failure and said in a box
// naming the file that could not be read (held back as the engine's are while a run says its own), `text`
// going to the log: a caller that then takes it for "not there" has said why. One whose order could not be set, or made on a
// closed table, was said by the look-up itself.
void ReportRefusedLookup(Table& table, const Lookup& found, const char* tag, const char* text = "");
// The current record of `table` read again for its delete mark (Table::LiveHere): a read the system
// refused is said as ReportRefusedLookup says it (naming the file, kept by a run's watch), and the
// caller decides nothing from it.
[[nodiscard]] Lookup LiveOrSaid(Table& table);
// The same for a caller whose watch of refused reads says the refusal (RefusalWatch::ReadRefused): the
// read refused is noted into every watch alive, with no box of its own.
[[nodiscard]] Lookup LiveOrNoted(Table& table);


// The message and caption ReportDbError shows, without showing them.
std::string DbErrorCaption(int code);
std::string DbErrorMessage(Table& table, int context, const char* text, int field);

// The reason of a run stopped by a failed engine call on `file` (`result`, the engine's code),
// the caller showing the code beside it: when the disk is full, that it is, with the folder to
// free room in; when the system refused the write (an I/O error) or any change of the file (a
// disk read-only, a file it may not change), that it did, with the file; else "incident " +
// code + " sur " + file.
std::string RunIncidentText(int code, const std::string& file, int result);
// The reason of a run stopped because the system could not read `file` (an I/O error).
std::string ReadErrorText(const std::string& file);
// The reason of a run stopped because the system could not read the table `file`, as the engine's
// `result` says: an open refused for too many files open at once, else an I/O error.
std::string UnreadText(const std::string& file, int result);
// The same for a file or a folder the file helpers could not open or read, as their errno `err` says.
std::string SystemUnreadText(const std::string& file, int err);
// Why the system refused a change of `file` by the file helpers, as `err` (their errno) says: the
// disk full, the disk read-only or the change not allowed, else an I/O error.
std::string SystemRefusalText(const std::string& file, int err);
// That the disk is full: no room left in the folder of `file` to write it, and what to do.
std::string DiskFullText(const std::string& file);
// Why the system refused a change of `file` (the errno `err` it left): the full disk as
// DiskFullText says it, an I/O error as an error writing to the disk, otherwise the system's
// own words (a disk become read-only).
std::string FileRefusalText(const std::string& file, int err);

// The first engine failure of a run: while a watch lives, each failure ReportDbError shows (and
// each one the run notes itself, as a field write the table layer does not show) is kept by it,
// the first only. A run that found one stops and says why with Text().
//
// A watch also keeps the first change of a table's files that the system refused (a full disk,
// an I/O error), as the engine passes it on, even when the caller then reads another code: a
// run that stops says that one (Reason). A read of a table's files that the system refused is
// kept the same way, and marks the watch (ReadRefused): a walk that met it ended short of the
// table's end, so the run fails and says so, as after a refused write. A run that says its
// failure in its own box holds the engine's boxes back meanwhile (EngineBoxes::kHeld): each
// failure still goes to the log, and the user reads one box, the run's. One that says only the
// changes the system refused holds back the boxes of those alone (kRefusalsHeld): the engine
// still says its other failures in its own words.
class RefusalWatch {
 public:
  enum class EngineBoxes { kShown, kHeld, kRefusalsHeld };
  explicit RefusalWatch(EngineBoxes boxes = EngineBoxes::kShown);
  ~RefusalWatch();
  RefusalWatch(const RefusalWatch&) = delete;
  RefusalWatch& operator=(const RefusalWatch&) = delete;

  bool Seen() const { return result_ != 0; }
  // A failure noted into every watch alive (each keeps its first): that of the last engine call
  // made on `table`, or a write of `file` refused (`result` an engine code, kResultDiskFull for a
  // full disk).
  static void NoteAll(const Table& table);
  static void NoteAll(const std::string& file, int result);
  // A change of `file` by the file helpers refused, as the errno it left says (a full disk, an
  // I/O error).
  static void NoteFileRefused(const std::string& file);
  // A change of the table `file` that the engine found refused by the system (`result` its
  // code), kept by every watch alive as its first refused write.
  static void NoteEngineRefusal(const std::string& file, int result);
  // A read of the table file `file` that the system refused (`result` the engine's code).
  static void NoteEngineReadRefusal(const std::string& file, int result);
  // An open of `table` that failed, whatever the system's cause (too many files open, an I/O error,
  // a file it may not open, a file gone): a read refused, since nothing of the table could be read;
  // the engine's own note of that open as a refused change of the file is taken for this read.
  static void NoteOpenRefused(const Table& table);
  const std::string& File() const { return file_; }
  int Result() const { return result_; }
  // The file and what happened to it, as RunIncidentText gives it (the disk full said so).
  std::string Text() const;
  // Why a run stopped with its error `code`: the first write the system refused while the
  // watch lived, else the first failure noted, else `file` and `result` as the run found them;
  // as RunIncidentText gives it (a full disk named with its folder).
  std::string Reason(int code, const std::string& file, int result) const;
  // The first change the system refused while the watch lived: its table's file and the engine's
  // code (0 when none was).
  const std::string& RefusedFile() const { return refusedFile_; }
  int RefusedResult() const { return refusedResult_; }
  // True when the watch has a reason of its own: a refused write or read, or a failure noted.
  bool HasReason() const { return refusedResult_ != 0 || result_ != 0; }
  // True when a read was refused while the watch lived: what the run read may be short.
  bool ReadRefused() const { return readRefused_; }
  // True when the first refusal the watch kept (RefusedFile) was a read.
  bool RefusedReading() const { return refusedReading_; }
  // True while a watch alive holds back the engine's box of a failure with engine code `result`.
  static bool EngineBoxesHeld(int result = 0);

 private:
  std::string file_;
  int result_ = 0;
  std::string refusedFile_;  // the first change (or read) the system refused
  int refusedResult_ = 0;
  bool refusedReading_ = false;  // ... that one was a read
  bool readRefused_ = false;
  EngineBoxes boxes_;
};

// Programming error of the layer: beep and a plain box whose caption is the number printed
// "%5i" (padded) or as it is (not padded).
void ShowLayerError(int number, const char* text, bool padded = true);

// Posts a command to a window handle (the window layer fills it; null = nothing posted).
using DbCommandPoster = void (*)(int window, int command);
void SetDbCommandPoster(DbCommandPoster poster);
