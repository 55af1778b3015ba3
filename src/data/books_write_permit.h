// The permit to write the books. The lines (C40, C50 and their analytic lines), the sort file (C60)
// and the running totals (the debit and credit totals of the accounts in C20, of the sections in C30
// and of the journal-month headers in C10) are written only by a change of lines (LineChangeSteps)
// or by a run holding the dossier's marker, each whole or not at all. Each of them holds a permit
// for its life, named after the change or the run it stands for, and naming the books it covers: the
// tables of one dossier (its folder and its code), or every dossier's of one folder. Permits nest (a
// change begun inside another, a run inside a run).
//
// The table layer refuses every write of these (a field, an append, a queued append, a delete mark or
// its removal, a record rewritten, a table emptied or packed, a table copied or made anew over one
// that stands) that no living permit covers: a permit for another dossier opens nothing here.
// Nothing is written, the table's `result` is kResultBooksWriteRefused, and the refusal, naming the
// file and what was written, goes to the log and to the hook below. In C10, C20 and C30 only a write
// that changes a running total's value is refused (a record rewritten with other totals than it
// holds, one appended with totals other than zero): a master-data field (a label, an address, a
// dossier constant), an account created without totals, a delete mark, are not concerned.
//
//   BooksWritePermit permit("renumerotation", BooksScope::OpenDossier());  // a run's guard holds it
//   ... the writes of the run ...
//
// A new kind of change or run takes its permit the same way, through LineChangeSteps (once its note
// stands) or the run's marker (DossierRunMarker), never on its own beside them: the permit says that
// the writes are made whole or not at all, not that they may be made.
#pragma once

#include <atomic>
#include <string>
#include <vector>

// The books a permit covers: the tables of dossier `code` in `folder`, or, `code` empty, those of
// every dossier in `folder` (a folder as given: "" is the process's current folder); `beneath`, those
// of its sub-folders too.
struct BooksScope {
  std::string folder;
  std::string code;
  bool beneath = false;
  // The open dossier (DossierFolder, DossierCode) as it stands now.
  static BooksScope OpenDossier();
  // Every dossier of the open dossier's folder.
  static BooksScope OpenFolder();
  // The dossier whose table `path` is (its folder, and its code for a dossier's table).
  static BooksScope OfFile(const std::string& path);
};

class BooksWritePermit {
 public:
  BooksWritePermit(std::string name, const BooksScope& scope);
  ~BooksWritePermit();
  BooksWritePermit(const BooksWritePermit&) = delete;
  BooksWritePermit& operator=(const BooksWritePermit&) = delete;

  const std::string& name() const { return name_; }

  // True while a permit lives in the process.
  static bool Living() { return count_.load(std::memory_order_relaxed) != 0; }
  // True when a living permit covers the table of dossier `code` (lower case) in the folder whose key
  // (BooksFolderKey) is `folderKey`: the test made on each write of the books.
  static bool Covers(const std::string& folderKey, const std::string& code);
  // The names of the permits living, outermost first.
  static std::vector<std::string> LivingNames();

 private:
  std::string name_;
  std::string folderKey_;  // BooksFolderKey of the scope's folder
  std::string code_;       // lower case; empty for every dossier of the folder
  bool beneath_ = false;
  static std::atomic<int> count_;
};

// A folder as the permits compare it: absolute, its links followed, without a final "/".
// Kept once worked out for a folder named by its absolute path, until ForgetBooksFolderKeys (called
// whenever another dossier is set).
std::string BooksFolderKey(const std::string& folder);
void ForgetBooksFolderKeys();

// What a write of the books changes.
enum class BooksWrite {
  Field,   // a field of the current record (a total, or any field of a line)
  Record,  // the current record rewritten whole
  Append,  // a record appended (one at a time or queued)
  Delete,  // a delete mark
  Recall,  // a delete mark removed
  Empty,   // every record of the table removed
  Pack,    // the deleted records removed
  Replace, // the table's file written over whole (a table copied onto it, or made anew in its place)
};

// A write of the books refused for want of a permit.
struct BooksWriteRefusal {
  std::string file;   // the table's file
  std::string field;  // the field written (a total, a field of a line), or empty
  BooksWrite write = BooksWrite::Field;
  bool total = false;  // the field is a running total (of C10, C20, C30)
};

// The sentence of a refusal (French, naming the file and the field or the write).
std::string BooksWriteRefusalText(const BooksWriteRefusal& refusal);

// Called with each refusal after its log line (none by default). The test kit installs one that
// stops the test at once, naming the file, the field and the caller. Answers the hook it replaces.
using BooksWriteRefusedHook = void (*)(const BooksWriteRefusal& refusal);
BooksWriteRefusedHook SetBooksWriteRefusedHook(BooksWriteRefusedHook hook);
