// The note a change of lines keeps in the dossier folder while it writes (a line saved, cancelled or
// reactivated, a new line or piece, a piece moved or copied, lines appended to the draft, an analytic
// line, a split's own writes, a default split): what it touches (its lines, the pieces it appends,
// the fields it rewrites, the totals of accounts, journal-months and sections it moves), written
// before its first write and marked done after its last, so that
// a change stopped half-way (the program killed, a write refused that could not be taken back) is
// finished by the next opening of the dossier (FinishStoppedLineChanges, stopped_line_changes.h).
// Changes keep it through LineChangeSteps (line_change_steps.h), never alone.
//
// Each process keeps one note file per dossier, "lignes-<code>-<process>-<n>.note", open and
// locked while it lives: another station tells a process at work from one that stopped. Its bytes
// are written in place and not flushed, one write before the change and one after it: a change of
// lines stays light enough to be made line after line. A change that could not be taken back whole
// leaves its note (Leave): the note is let go for the next opening, and the process takes another.
//
//   LineChangeNote note(LineChangeKind::LineCancelled);
//   note.Line(recno);
//   note.Totals(moves);
//   if (!note.Write()) return refused;   // nothing written: the refusal is noted and shown
//   ... the change's writes ...
//   note.Done();                         // after the last write only
//
// A note is marked done only when its change says so: one that ends written and not done (a change
// that returned half-way) is left for the next opening, which finds what stands and finishes it. A
// change begun while another lives in this process writes into that one's note (LineChangeSteps
// joins them): the process keeps one note at a time.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

class Table;
class TotalsMoves;

// The changes a note names, each as the user knows it in the opening's message.
enum class LineChangeKind {
  LineSaved,
  LineCancelled,
  LineReactivated,
  PieceMoved,
  PieceCopied,
  LinesAppended,
  AnalyticLineSaved,
  AnalyticLineCancelled,
  AnalyticLineReactivated,
  DefaultSplit,
  SplitRemoved,
  LineCreated,          // "Créer Ligne", the group renumbered when the next number is taken
  PieceCreated,         // "Créer Pièce"
  SplitHeaderKept,      // the header of a split made or kept in step as the analytic lines window opens
  AnalyticLineCreated,  // a new analytic line
  SplitRenumbered,      // an axis of a split renumbered to make room for a new line
  SplitRefreshed,       // the analytic lines of an axis given the day and label of their line
  // The manual matching's marks of the lines to letter, its letters saved, the bank reconciliation's
  // letters saved.
  MatchingMarked,
  LettersSaved,
  LinesReconciled,
};

class LineChangeNote {
 public:
  explicit LineChangeNote(LineChangeKind kind);
  ~LineChangeNote();
  LineChangeNote(const LineChangeNote&) = delete;
  LineChangeNote& operator=(const LineChangeNote&) = delete;

  // ---- what the change touches, named before Write
  // A draft line it writes: its sort record is made to follow the line as it stands.
  void Line(std::uint32_t recno);
  // A line that takes the cancel mark of line `master` (an analytic line cancelled with its line).
  void Follows(std::uint32_t master, std::uint32_t recno);
  // A record of the analytic split that line `master` had on `account`: live only while the line is
  // live and stands on that account (a split dropped by a save onto another account).
  void Follows(std::uint32_t master, std::uint32_t recno, const std::string& account);
  // A line the change moves from journal-month `from` on day `was` to `to` (month and journal, 7
  // characters), there on day `day`: a piece found part moved is moved whole. The day before is an
  // item of its own, which a note of an older program lacks and an older program passes over.
  void Moved(std::uint32_t recno, const std::string& from, const std::string& was, const std::string& to,
             const std::string& day);
  // A line the change cancels once its main writes are made: cancelled whatever else was done.
  void Cancelled(std::uint32_t recno);
  // A line the change cancels once it is written without amount on `code` (its account, or its
  // section): cancelled when it stands so, left as it is otherwise (its write not made).
  void CancelledOnceWritten(std::uint32_t recno, const std::string& code);
  // `lines` lines of the piece (stored month, journal, number) appended past record `after` of the
  // draft: a piece found cut short is taken back, its lines cancelled.
  void Appended(const std::string& month, const std::string& journal, const std::string& piece, long lines,
                std::uint32_t after);
  // A record the change appends to that piece, as AppendedRecordKey gives it of the record it writes:
  // named for each of them, the opening counts and takes back only the piece's records that hold one
  // of these; a line another station added to the piece since holds none, and is left as it stands.
  // A note that names none (of an older program, or of a change that does not) counts them all.
  void AppendedRecord(const std::string& month, const std::string& journal, const std::string& piece,
                      const std::string& key);
  // Character field `field` of line `recno` written from `was` to `now` (a line renumbered, an
  // analytic line given its line's label): the lines a change rewrites so stand all rewritten or
  // none. With pieces the change appends, they follow those: rewritten when the pieces stand whole,
  // put back otherwise; without, rewritten whole once one of them is.
  void Rewritten(std::uint32_t recno, int field, const std::string& was, const std::string& now);
  // Every record whose totals `moves` plans to move: made equal to the live lines.
  void Totals(const TotalsMoves& moves);
  // The sort file holds `records` records before the change: one it appends that points at no
  // line (its line's record refused, or read short) is cancelled.
  void SortRecordsFrom(std::uint32_t records);
  // The letter of currency `currency` (0 francs, 1 euros) of line `recno` of the draft (file "B") or
  // of the closed file ("C"), and of its sort record, taken from `before` to `after`: the opening
  // gives every line the change names, with its sort record, its letter after once one of them holds
  // it, and its letter before otherwise.
  void Letter(char file, std::uint32_t recno, int currency, const std::string& before, const std::string& after);
  // The letter of currency `currency` of sort record `recno` whose line could not be reached (it
  // points at no line of the draft or of the closed file), taken from `before` to `after`: the
  // opening gives it its letter after or before with the lines the change names.
  void SortLetter(std::uint32_t recno, int currency, const std::string& before, const std::string& after);
  // The working mark (TLETP) of sort record `recno`, taken from `before` to `after`: the opening gives
  // every sort record the change names its mark after once one of them holds it, its mark before
  // otherwise.
  void Mark(std::uint32_t recno, const std::string& before, const std::string& after);
  // Draft record `recno` of `lines` as it stands before the change, every field but its cancel mark,
  // named before a change that only marks it (Cancelled, Follows): the opening gives it the change's
  // mark only while it holds those fields, and leaves a record written since (by another station) as
  // it stands, named. A record that cannot be read is not noted (a note of an older program notes
  // none: its records are marked whatever they hold).
  void Before(Table& lines, std::uint32_t recno);
  // Record `recno` of `table` (`file`: "B" a line of the draft, "C" of the closed file, "T" a sort
  // record) as it stands before a change of letters or marks, its cancel mark included: the opening
  // writes the change's letter or mark (Letter, Mark) only on a record that still holds every other
  // byte, and leaves a record cancelled or rewritten since (its amount, its account) as it stands,
  // named. A note of an older program keeps none.
  void Before(char file, Table& table, std::uint32_t recno);
  // Letter `letter` of currency `currency` given on account `account` (its 8 characters) by this
  // change: named before its first write, it is the change's own from then on. Every station reads it
  // before giving the account's next letter (LettersNoted), and the opening takes a line holding it
  // for this change's work only while no line of the account that the change does not name holds it.
  void Given(const std::string& account, int currency, const std::string& letter);

  // Written (again, when the change adds to what it touches) before the change's next write. False
  // when it could not be: the change writes nothing; the refusal is noted in the refusal watches
  // and, unless a watch holds the boxes back, shown.
  bool Write();
  // After the change's last write: the note says it is done. A note that ends written and not done
  // is left (Leave). False when the disk refused to mark it so: the note stays for the next opening,
  // which finds nothing left to do.
  bool Done();
  // The change could not be taken back whole: its note is left for the next opening to finish.
  void Leave();
  bool written() const { return written_; }

 private:
  void Add(const std::string& line);
  std::string Text() const;
  LineChangeKind kind_;
  std::vector<std::string> lines_;       // in the order they were named
  std::unordered_set<std::string> named_;  // the same, to name each once in constant time
  bool written_ = false;
  bool left_ = false;
};

// A letter as a note holds it: its four characters, each blank written "_" (a letter is made of
// letters and digits), and read back, blanks on the right dropped.
inline constexpr std::size_t kNoteLetterWidth = 4;
std::string NoteLetter(const std::string& letter);
std::string LetterOfNote(const std::string& text);

// The change as the user knows it ("annulation d'une ligne").
std::string LineChangeKindText(LineChangeKind kind);

// A note read back: what it says of its change.
struct LineChangeNoteText {
  bool atWork = false;  // written whole and not marked done: the change may have stopped half-way
  std::string kind;     // the change as the user knows it (French)
  std::string station, started;
  std::string machine;  // the machine the change ran on ("" in a note of an older program)
  struct Item {
    char what = 0;  // 'L' Line, 'F' Follows, 'M' Moved, 'J' its day before, 'D' Cancelled, 'P' Appended, 'T' SortRecordsFrom,
                    // 'R' Rewritten (its texts as NoteFieldText reads them), 'E' Letter, 'G' SortLetter, 'K' Mark, 'B' Before, 'W' Given,
                    // 'Q' AppendedRecord,
                    // 'A' 'H' 'S' a total
    std::vector<std::string> fields;
  };
  std::vector<Item> items;
};
// The note's text read; a note cut short (its write stopped part-way) says no change at work.
LineChangeNoteText ReadLineChangeNote(const std::string& text);

// A text a note keeps of a field (Rewritten), as it was given; "" for one that does not read.
std::string NoteFieldText(const std::string& stored);
// The fields of the current record of `table` as a note keeps them (Before): its bytes past the cancel mark.
std::string NoteRecordFields(const Table& table);
// The current record of `table` whole, its cancel mark first (Before with a file).
std::string NoteRecord(const Table& table);
// What tells a draft record appended to a piece from the others of the piece (AppendedRecord): its
// kind, group, line number, analytic number and general account.
std::string AppendedRecordKey(Table& c50);

// The letters of currency `currency` that changes whose notes stand in the open dossier's folder (at
// work, or left by a stopped station for the next opening) give account `account` (Given): a station
// gives the account's next letter after them. A note that cannot be read names none.
std::vector<std::string> LettersNoted(const std::string& account, int currency);

// The note files of the dossier `code` in `folder`, by name (any process's, held or not). *error gets
// the errno of a folder that could not be read (0 when it was).
std::vector<std::string> LineChangeNoteFiles(const std::string& folder, const std::string& code, int* error = nullptr);

// The note file this process keeps for the dossier it leaves goes, when no change is left in it
// (SetDossier calls it whenever the dossier changes, and it is called at the program's end).
void CloseLineChangeNote();
