#include "data/stopped_line_changes.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "data/account_totals.h"
#include "data/books_write_permit.h"
#include "data/closed_lines.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/line_change_note.h"
#include "data/live_totals.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "data/table_results.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "platform/system/temp_files.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// What the opening says of a stopped change (its kind, station and start first): finished, undone,
// its line kept as written, or not finished and why; and its log lines.
constexpr int kMsgChangeFinished = 35001;
constexpr int kMsgChangeUndone = 35002;
constexpr int kMsgLineKept = 35003;
constexpr int kMsgNothingToRedo = 35025;
constexpr int kMsgChangeNotFinished = 35004;  // ... and why
constexpr int kWhyLineHeld = 35005;           // the line's record number
constexpr int kWhyAccountHeld = 35006;        // the account
constexpr int kWhyHeaderHeld = 35007;         // the journal, the month
constexpr int kWhySectionHeld = 35008;        // the section
constexpr int kWhyChangeAtWork = 35009;       // the other change's station
constexpr int kMsgNoteUnread = 35023;         // why a note could not be read
constexpr int kMsgNotesUnsought = 35024;      // why the notes could not be looked for
constexpr int kLogChangeFinished = 35021;     // the change, its station, its start
constexpr int kLogChangeNotFinished = 35022;  // the change, its station, its start, why
// The records a finish left as they stand, written since the change stopped (their names), and how
// each is named: a draft line, a closed line, a sort record (its record number).
constexpr int kMsgRecordsLeft = 38000;
constexpr int kNameDraftLine = 38001;
constexpr int kNameClosedLine = 38002;
constexpr int kNameSortRecord = 38003;
constexpr int kNameAnalyticLine = 39400;
// The station of a stopped change: this very one, or another with the machine it ran on.
constexpr int kStationThisOne = 39401;
constexpr int kStationOnMachine = 39402;
// How a note names the sort file in a record's state before a change of letters or marks.
constexpr char kSortFile = 'T';

using L = LigneEcriture;
using T = LigneTri;

// Another station's lock is waited for this long, a moment at a time: it holds a record only while
// it writes it, unless a window of its own keeps it.
constexpr int kLockTries = 40;
constexpr int kLockStepMs = 50;
// A change at work on another station on the same totals is waited for as long.
constexpr int kTotalsTries = 40;

// The station of a note as the user tells it apart: its number, with "this one" when it is this
// station's (same number, same machine), or with the machine it ran on; a note of an older program
// names its number alone.
std::string StationName(const LineChangeNoteText& note) {
  if (note.machine.empty()) return note.station;
  if (note.machine == platform::MachineName() && note.station == AllTrim(WorkstationNumber()))
    return FillPlaceholder(LoadStr(kStationThisOne), note.station);
  return FillPlaceholders(LoadStr(kStationOnMachine), {note.station, note.machine});
}

std::uint32_t Number(const std::string& text) {
  return static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

// The current record of `table` locked without a notice, another station's lock waited for a moment.
bool LockSoon(Table& table) {
  const std::uint32_t recno = table.recordNumber;
  for (int tries = 0;; ++tries) {
    if (LockRecord(table, nullptr, 0)) return true;
    if (table.result != dbase::DBIERR_LOCKED || tries >= kLockTries) return false;
    platform::SleepMilliseconds(kLockStepMs);
    // Read again for the next try: a read refused takes no lock (the finish's watch says why).
    if (!table.GoToRecord(static_cast<long>(recno)).IsFound()) return false;
  }
}

// The locks taken, each given back at the end.
class Locks {
 public:
  ~Locks() { Release(); }
  bool Take(Table& table) {
    const std::uint32_t recno = table.recordNumber;
    if (!LockSoon(table)) return false;
    if (table.result != kResultAlreadyLocked) taken_.emplace_back(&table, recno);
    return true;
  }
  void Release() {
    for (auto it = taken_.rbegin(); it != taken_.rend(); ++it)
      // A record not read keeps its lock until its table closes, which gives back every lock.
      if (it->first->GoToRecord(static_cast<long>(it->second)).FoundOrNone()) UnlockRecord(*it->first);
    taken_.clear();
  }

 private:
  std::vector<std::pair<Table*, std::uint32_t>> taken_;
};

// What a note asks of the lines.
struct Plan {
  std::set<std::uint32_t> lines;  // every draft line named
  std::map<std::uint32_t, std::vector<std::uint32_t>> follows;
  // The records of a split that line (the key) had on an account: live only while it stands live there.
  struct SplitRecords {
    std::string account;
    std::vector<std::uint32_t> records;
  };
  std::map<std::uint32_t, SplitRecords> splits;
  struct Move {
    std::uint32_t recno;
    std::string from, to, day;
  };
  std::vector<Move> moves;
  // The day each line moved held before (a note of an older program names none).
  std::map<std::uint32_t, std::string> movedFromDay;
  std::vector<std::uint32_t> cancels;
  // Lines cancelled once written without amount on a code (their account or section).
  std::vector<std::pair<std::uint32_t, std::string>> cancelsOnceWritten;
  struct Piece {
    std::string month, journal, piece;
    long lines = 0;
    std::uint32_t after = 0;
    // The records the change appends to it, as AppendedRecordKey tells them (none named: every record
    // of the piece past `after` is taken for the change's).
    std::set<std::string> records;
  };
  std::vector<Piece> pieces;
  // Character fields of lines rewritten from one text to another: all of them stand rewritten, or none.
  struct Rewrite {
    int field;
    std::string was, now;
  };
  std::map<std::uint32_t, std::vector<Rewrite>> rewrites;
  std::uint32_t sortFrom = 0;  // the sort file's records before the change (0: not noted)
  std::set<TotalsRecord> totals;
  // The letters the change gave lines of the draft or of the closed file, and their sort records;
  // file 0: a sort record whose line could not be reached, `recno` its own number.
  struct Letter {
    char file = 0;
    std::uint32_t recno = 0;
    int currency = 0;
    std::string before, after;
  };
  std::vector<Letter> letters;
  // The working marks the change gave sort records.
  struct Mark {
    std::uint32_t recno = 0;
    std::string before, after;
  };
  std::vector<Mark> marks;
  // The fields of draft records the change only marks, as they stood before it (a note of an older
  // program keeps none).
  std::map<std::uint32_t, std::string> before;
  // The records a change of letters or marks names, whole as they stood before it, by their file
  // ("B" the draft, "C" the closed file, "T" the sort file) and number.
  std::map<std::pair<char, std::uint32_t>, std::string> records;
  // The letters the change gave, each on its account (a note of an older program names none).
  struct Given {
    std::string account;
    int currency = 0;
    std::string letter;
  };
  std::vector<Given> given;
};

Plan PlanOf(const LineChangeNoteText& note) {
  Plan p;
  for (const LineChangeNoteText::Item& item : note.items) {
    const std::vector<std::string>& f = item.fields;
    if (item.what == 'L' && f.size() == 1) {
      p.lines.insert(Number(f[0]));
    } else if (item.what == 'F' && f.size() == 2) {
      p.follows[Number(f[0])].push_back(Number(f[1]));
      p.lines.insert({Number(f[0]), Number(f[1])});
    } else if (item.what == 'M' && f.size() == 4) {
      p.moves.push_back({Number(f[0]), f[1], f[2], f[3]});
      p.lines.insert(Number(f[0]));
    } else if (item.what == 'J' && f.size() == 2) {
      p.movedFromDay[Number(f[0])] = f[1];
    } else if (item.what == 'F' && f.size() == 3) {
      Plan::SplitRecords& split = p.splits[Number(f[0])];
      split.account = f[2];
      split.records.push_back(Number(f[1]));
      p.lines.insert({Number(f[0]), Number(f[1])});
    } else if (item.what == 'D' && f.size() == 1) {
      p.cancels.push_back(Number(f[0]));
      p.lines.insert(Number(f[0]));
    } else if (item.what == 'D' && f.size() == 2) {
      p.cancelsOnceWritten.emplace_back(Number(f[0]), f[1]);
      p.lines.insert(Number(f[0]));
    } else if (item.what == 'K' && f.size() == 3) {
      p.marks.push_back({Number(f[0]), LetterOfNote(f[1]), LetterOfNote(f[2])});
    } else if (item.what == 'E' && f.size() == 5 && !f[0].empty()) {
      p.letters.push_back({f[0][0], Number(f[1]), f[2] == "1" ? 1 : 0, LetterOfNote(f[3]), LetterOfNote(f[4])});
    } else if (item.what == 'G' && f.size() == 4) {
      p.letters.push_back({0, Number(f[0]), f[1] == "1" ? 1 : 0, LetterOfNote(f[2]), LetterOfNote(f[3])});
    } else if (item.what == 'R' && f.size() == 4) {
      p.rewrites[Number(f[0])].push_back({std::atoi(f[1].c_str()), NoteFieldText(f[2]), NoteFieldText(f[3])});
      p.lines.insert(Number(f[0]));
    } else if (item.what == 'W' && f.size() == 3) {
      p.given.push_back({f[0], f[1] == "1" ? 1 : 0, LetterOfNote(f[2])});
    } else if (item.what == 'B' && f.size() == 3 && f[0].size() == 1) {
      p.records[{f[0][0], Number(f[1])}] = NoteFieldText(f[2]);
    } else if (item.what == 'B' && f.size() == 2) {
      p.before[Number(f[0])] = NoteFieldText(f[1]);
    } else if (item.what == 'T' && f.size() == 1) {
      p.sortFrom = Number(f[0]);
    } else if (item.what == 'P' && f.size() == 5) {
      p.pieces.push_back({f[0], f[1], f[2], std::atol(f[3].c_str()), Number(f[4]), {}});
    } else if (item.what == 'Q' && f.size() == 4) {
      for (Plan::Piece& piece : p.pieces)
        if (piece.month == f[0] && piece.journal == f[1] && piece.piece == f[2]) piece.records.insert(NoteFieldText(f[3]));
    } else if (item.what == 'A' && f.size() == 1) {
      // The account and its collective, as the moves found them.
      for (const std::string& code : AccountTotalsCodes(f[0].c_str(), false)) p.totals.insert({'A', code});
    } else if ((item.what == 'H' || item.what == 'S') && f.size() == 1) {
      p.totals.insert({item.what, item.what == 'S' ? TrimmedRight(f[0]) : f[0]});
    }
  }
  p.lines.erase(0);
  return p;
}

// The records of the draft past `after` that belong to the piece, whatever their kind of line: its
// general lines on C50CODE, its analytic headers and lines on C50ANAL (which C50CODE does not take).
// False when a look-up was refused: a piece not read is not a piece cut short.
bool AppendedRecords(Table& c50, const Plan::Piece& piece, std::vector<std::uint32_t>* records) {
  const std::string piecePart = piece.month + PadRight(piece.journal, 3) + piece.piece;
  const std::string general = std::string(1, L::kGeneral) + piecePart;
  const Lookup generalFound = c50.Find(L::kCodeTag, general.c_str());
  for (bool more = generalFound.IsFound(); more && !c50.eof; more = c50.Skip(1)) {
    if (L::Key(c50).compare(0, general.size(), general) != 0) break;
    if (c50.recordNumber > piece.after) records->push_back(c50.recordNumber);
  }
  const Lookup analyticFound =
      generalFound.IsRefused() ? generalFound : c50.FindNotBelow(L::kAnalyticTag, piecePart.c_str());
  for (bool more = analyticFound.IsFound(); more && !c50.eof; more = c50.Skip(1)) {
    // Cancelled or not, a line of the piece is one: its mark is not needed.
    if (c50.MatchRecordKey(piecePart.c_str(), static_cast<int>(piecePart.size()), L::BMOIS, L::BJAL, L::BPIECE).OffKey())
      break;
    if (c50.recordNumber > piece.after) records->push_back(c50.recordNumber);
  }
  c50.SetOrder(L::kCodeTag);
  return !analyticFound.IsRefused();
}

// Of `records`, those of the piece the change appended, into *own, and the others (lines another
// station added to the piece since) into *others: a record is the change's when it holds one of the
// records its note names, or, when the note names none, whatever it holds. False when one of them
// could not be read.
bool OwnRecords(Table& c50, const Plan::Piece& piece, const std::vector<std::uint32_t>& records,
                std::vector<std::uint32_t>* own, std::vector<std::uint32_t>* others) {
  for (const std::uint32_t recno : records) {
    if (piece.records.empty()) {
      own->push_back(recno);
      continue;
    }
    const Lookup at = c50.GoToRecord(static_cast<long>(recno));
    if (at.IsRefused()) return false;
    if (at.IsFound()) (piece.records.count(AppendedRecordKey(c50)) != 0 ? own : others)->push_back(recno);
  }
  return true;
}

// Finishing one note.
class Finish {
 public:
  Finish(Table& c50, Table& c60) : c50_(c50), c60_(c60) {}

  // The lines put in order; "" when done, else why not. *undone: the change was taken back.
  std::string Lines(Plan& plan, bool* undone, bool* finished) {
    before_ = &plan.before;
    std::map<std::size_t, std::vector<std::uint32_t>> appended;
    std::vector<std::uint32_t> others;  // the lines another station added to those pieces since
    for (std::size_t i = 0; i < plan.pieces.size(); ++i) {
      std::vector<std::uint32_t> records, added;
      if (!AppendedRecords(c50_, plan.pieces[i], &records)) return Refused();
      if (!OwnRecords(c50_, plan.pieces[i], records, &appended[i], &added)) return Refused();
      plan.lines.insert(appended[i].begin(), appended[i].end());
      others.insert(others.end(), added.begin(), added.end());
    }
    // Each line is read, or the finish stops: a line not read is neither missing nor free.
    for (const std::uint32_t recno : plan.lines) {
      const Lookup at = c50_.GoToRecord(static_cast<long>(recno));
      if (at.IsRefused()) return Refused();
      if (at.IsNotFound()) continue;
      if (!locks_.Take(c50_)) return HeldOrRefused(FillPlaceholder(LoadStr(kWhyLineHeld), std::to_string(recno)));
    }
    // A line takes the cancel mark of its general line.
    for (const auto& [master, followers] : plan.follows) {
      const Lookup at = c50_.GoToRecord(static_cast<long>(master));
      if (at.IsRefused()) return Refused();
      if (at.IsNotFound()) continue;
      // Its cancel mark read again: a read refused is no cancel mark.
      const Lookup live = c50_.LiveHere();
      if (live.IsRefused()) return Refused();
      const bool cancelled = live.IsNotFound();
      (cancelled ? *finished : *undone) = true;
      for (const std::uint32_t recno : followers)
        if (!Mark(recno, cancelled)) return Refused();
    }
    // A split stays with its line while the line stands live on the split's account, and goes with
    // it once the line is written onto another one (or cancelled).
    for (const auto& [master, split] : plan.splits) {
      Lookup at = c50_.GoToRecord(static_cast<long>(master));
      if (at.IsFound()) at = c50_.LiveHere();
      if (at.IsRefused()) return Refused();
      const bool stays = at.IsFound() &&
                         NormalizeAccount(c50_.GetField(L::BCODE)) == NormalizeAccount(split.account);
      (stays ? *undone : *finished) = true;
      for (const std::uint32_t recno : split.records)
        if (!Mark(recno, !stays)) return Refused();
    }
    // A piece part moved is moved whole.
    long atTarget = 0;
    for (const Plan::Move& m : plan.moves) {
      const Lookup at = c50_.GoToRecord(static_cast<long>(m.recno));
      if (at.IsRefused()) return Refused();
      if (at.IsFound() && JournalMonth() == m.to) ++atTarget;
    }
    if (!plan.moves.empty()) (atTarget > 0 ? *finished : *undone) = true;
    for (const Plan::Move& m : plan.moves)
      if (atTarget > 0 && !Move(m, plan.movedFromDay)) return Refused();
    for (const std::uint32_t recno : plan.cancels) {
      *finished = true;
      if (!Mark(recno, true)) return Refused();
    }
    // A line the change was to cancel once written without amount: cancelled when it stands so.
    for (const auto& [recno, code] : plan.cancelsOnceWritten) {
      const Lookup at = c50_.GoToRecord(static_cast<long>(recno));
      if (at.IsRefused()) return Refused();
      if (at.IsNotFound()) continue;
      const Lookup live = c50_.LiveHere();
      if (live.IsRefused()) return Refused();
      if (live.IsNotFound()) continue;
      const std::string on = c50_.GetField(L::BCODE);
      const bool empty = StoredAmountOf(c50_, L::BMONTANTF) == 0 && StoredAmountOf(c50_, L::BMONTANTE) == 0;
      if (TrimmedRight(on) != TrimmedRight(code) || !empty) continue;
      *finished = true;
      if (!Mark(recno, true)) return Refused();
    }
    // A piece appended cut short, or whose take-back began, is taken back.
    bool piecesWhole = true;
    for (std::size_t i = 0; i < plan.pieces.size(); ++i) {
      long live = 0;
      for (const std::uint32_t recno : appended[i]) {
        Lookup at = c50_.GoToRecord(static_cast<long>(recno));
        if (at.IsFound()) at = c50_.LiveHere();
        if (at.IsRefused()) return Refused();
        live += at.IsFound();
      }
      if (live >= plan.pieces[i].lines) {
        *finished = true;
        continue;
      }
      *undone = true;
      piecesWhole = false;
      for (const std::uint32_t recno : appended[i])
        if (!Mark(recno, true)) return Refused();
    }
    // Another station's lines in those pieces are left as they stand, and named.
    for (const std::uint32_t recno : others) {
      Lookup at = c50_.GoToRecord(static_cast<long>(recno));
      if (at.IsFound()) at = c50_.LiveHere();
      if (at.IsRefused()) return Refused();
      if (at.IsFound()) Name(c50_, kNameDraftLine);
    }
    // Lines rewritten stand all rewritten or none: as the pieces appended with them stand, or, without
    // pieces, rewritten once one of them is.
    if (!plan.rewrites.empty()) {
      bool whole = piecesWhole;
      if (plan.pieces.empty()) {
        whole = false;
        for (const auto& [recno, fields] : plan.rewrites) {
          const Lookup stands = Stands(recno, fields, true);
          if (stands.IsRefused()) return Refused();
          whole = whole || stands.IsFound();
        }
        (whole ? *finished : *undone) = true;
      }
      for (const auto& [recno, fields] : plan.rewrites)
        if (!Rewrite(recno, fields, whole)) return Refused();
    }
    if (plan.sortFrom != 0 && !StraySortRecords(plan.sortFrom, &plan.lines)) return Refused();
    for (const std::uint32_t recno : plan.lines)
      if (!SortFollows(recno, plan.sortFrom)) return Refused();
    c50_.Commit();
    c60_.Commit();
    // A read refused on the way (a record a write was made from) decides nothing: the note stays, and
    // the next opening finishes the change again from what stands.
    return watch_.ReadRefused() ? Refused() : "";
  }

  // The letters of a change of letters: once one of its lines holds its letter after, the change
  // reached it and is finished, every line it names taking its letter after; otherwise it is taken
  // back, each taking its letter before. Only a line that holds the letter before or after is
  // written: one lettered since by another station keeps that letter (and is named). A sort record
  // follows its line as it then stands, under the same rule; one whose line could not be reached is
  // read and written as the lines are. "" when done, else why not.
  std::string Letters(const Plan& plan, bool* undone, bool* finished) {
    if (plan.letters.empty()) return "";
    bool closed = false;
    for (const Plan::Letter& l : plan.letters) closed = closed || l.file == T::kClosed;
    // The closed file not opened, whatever the system's cause (too many files, an I/O error, a file
    // it may not open), could not be read: nothing is decided from it, and the file is named.
    if (closed && !c40_.isOpen && !c40_.OpenShared(PathC40(), "")) {
      RefusalWatch::NoteOpenRefused(c40_);
      return Refused();
    }
    auto lineOf = [&](const Plan::Letter& l) -> Table& { return l.file == T::kClosed ? c40_ : c50_; };
    auto fieldOf = [](const Plan::Letter& l) {
      const int draft = l.currency == 1 ? L::BLETE : L::BLET;
      return l.file == T::kClosed ? L::ClosedFieldOf(draft) : draft;
    };
    auto sortFieldOf = [](const Plan::Letter& l) { return l.currency == 1 ? T::TLETE : T::TLET; };
    // A letter the change gave that a live line of its account the change does not name holds was
    // given by another change as well (typed there, or given by an older program): a line holding
    // it tells nothing of this change, and is left as it stands.
    std::set<std::pair<int, std::string>> shared;
    if (!SharedLetters(plan, &shared)) return Refused();
    auto own = [&shared](const Plan::Letter& l) { return shared.count({l.currency, l.after}) == 0; };
    bool reached = false;
    for (const Plan::Letter& l : plan.letters) {
      Table& lines = l.file == 0 ? c60_ : lineOf(l);
      // A read refused here is said by the watch, looked at right after.
      if (l.after != l.before && own(l) && lines.GoToRecord(static_cast<long>(l.recno)).FoundOrNone() &&
          TrimmedRight(lines.GetField(l.file == 0 ? sortFieldOf(l) : fieldOf(l))) == l.after &&
          (l.file == 0 || StandsAsNoted(plan, lines, l.file, l.recno, fieldOf(l))))
        reached = true;
    }
    // A read refused while they were looked at decides nothing.
    if (watch_.ReadRefused()) return Refused();
    (reached ? *finished : *undone) = true;
    for (const Plan::Letter& l : plan.letters) {
      const std::string& want = reached ? l.after : l.before;
      // A letter shared with another change is this change's only where the change was finished.
      const std::string& after = own(l) || reached ? l.after : l.before;
      if (l.file == 0) {
        const Lookup at = c60_.GoToRecord(static_cast<long>(l.recno));
        if (at.IsRefused() || (at.IsFound() && (!locks_.Take(c60_) ||
                                                !Own(c60_, sortFieldOf(l), l.before, after, want, kNameSortRecord))))
          return Refused();
        continue;
      }
      Table& lines = lineOf(l);
      std::string sortWant = want;
      const Lookup at = lines.GoToRecord(static_cast<long>(l.recno));
      if (at.IsRefused()) return Refused();
      if (at.IsFound()) {
        const int name = l.file == T::kClosed ? kNameClosedLine : kNameDraftLine;
        if (!StandsAsNoted(plan, lines, l.file, l.recno, fieldOf(l))) {
          // Cancelled or rewritten since: left as it stands, its sort record with it.
          Name(lines, name);
          sortWant = TrimmedRight(lines.GetField(fieldOf(l)));
        } else if (!locks_.Take(lines) || !Own(lines, fieldOf(l), l.before, after, want, name, &sortWant)) {
          return Refused();
        }
      }
      if (T::Find(c60_, l.file, l.recno) &&
          (!locks_.Take(c60_) || !Own(c60_, sortFieldOf(l), l.before, after, sortWant, kNameSortRecord)))
        return Refused();
    }
    if (closed) c40_.Commit();
    c50_.Commit();
    c60_.Commit();
    return watch_.ReadRefused() ? Refused() : "";
  }

  // The current record of `table`, `recno` of `file` as the note names it, holds every byte the note
  // kept of it before the change (its cancel mark included) but those of `field`, which the change
  // writes; true too when the note kept none (a note of an older program).
  static bool StandsAsNoted(const Plan& plan, const Table& table, char file, std::uint32_t recno, int field) {
    const auto noted = plan.records.find({file, recno});
    if (noted == plan.records.end()) return true;
    std::string now = NoteRecord(table);
    const std::string& was = noted->second;
    const FieldLayout& f = table.Layout(field);
    if (now.size() != was.size() || static_cast<std::size_t>(f.offset + f.width) > now.size()) return false;
    now.replace(f.offset, static_cast<std::size_t>(f.width), was, f.offset, static_cast<std::size_t>(f.width));
    return now == was;
  }

  // The letters of `plan.given` that a live sort record of their account holds which the change does
  // not name (its own are the sort records of the lines it names, and those it names alone), into
  // *shared. False when the account's records could not be looked up: no letter is known for its own.
  bool SharedLetters(const Plan& plan, std::set<std::pair<int, std::string>>* shared) {
    if (plan.given.empty()) return true;
    std::set<std::uint32_t> named;
    for (const Plan::Letter& l : plan.letters) {
      if (l.file == 0) named.insert(l.recno);
      else if (T::Find(c60_, l.file, l.recno)) named.insert(c60_.recordNumber);
    }
    for (const Plan::Given& g : plan.given) {
      if (g.letter.empty()) continue;
      const int field = g.currency == 1 ? T::TLETE : T::TLET;
      const Lookup found = c60_.Find("C60CODE", g.account.c_str());
      if (found.IsRefused()) {
        c60_.SetOrder(T::kRecordTag);
        return false;
      }
      for (bool more = found.IsFound(); more && !c60_.eof; more = c60_.Skip(1)) {
        if (std::string(c60_.GetField(T::TCODE)).compare(0, g.account.size(), g.account) != 0) break;
        if (named.count(c60_.recordNumber) != 0 || TrimmedRight(c60_.GetField(field)) != g.letter) continue;
        // A record whose mark is not read may share the letter: nothing is decided.
        const Lookup live = LiveOrSaid(c60_);
        if (live.IsRefused()) {
          c60_.SetOrder(T::kRecordTag);
          return false;
        }
        if (live.IsFound()) shared->insert({g.currency, g.letter});
      }
    }
    c60_.SetOrder(T::kRecordTag);
    return true;
  }

  // The working marks of a change of marks: once one of its sort records holds its mark after, the
  // change reached it and is finished, every sort record it names taking its mark after; otherwise
  // it is taken back. Only a sort record that holds the mark before or after is written; one marked
  // since by another station keeps that mark (and is named). A mark another record of the same
  // account holds, which the change does not name, may have been put there by another station's
  // matching as well: a record holding it tells nothing of this change, as a letter given twice does
  // not. "" when done, else why not.
  std::string Marks(const Plan& plan, bool* undone, bool* finished) {
    if (plan.marks.empty()) return "";
    std::set<std::string> shared;
    if (!SharedMarks(plan, &shared)) return Refused();
    auto own = [&shared](const Plan::Mark& m) { return shared.count(m.after) == 0; };
    bool reached = false;
    // A read refused here is said by the watch, looked at right after.
    for (const Plan::Mark& m : plan.marks)
      if (m.after != m.before && own(m) && c60_.GoToRecord(static_cast<long>(m.recno)).FoundOrNone() &&
          TrimmedRight(c60_.GetField(T::TLETP)) == m.after && StandsAsNoted(plan, c60_, kSortFile, m.recno, T::TLETP))
        reached = true;
    // A read refused while they were looked at decides nothing.
    if (watch_.ReadRefused()) return Refused();
    (reached ? *finished : *undone) = true;
    for (const Plan::Mark& m : plan.marks) {
      const std::string& want = reached ? m.after : m.before;
      // A mark shared with another station's matching is this change's only where it was finished.
      const std::string& after = own(m) || reached ? m.after : m.before;
      const Lookup at = c60_.GoToRecord(static_cast<long>(m.recno));
      if (at.IsRefused()) return Refused();
      if (at.IsNotFound()) continue;
      if (!StandsAsNoted(plan, c60_, kSortFile, m.recno, T::TLETP)) {
        Name(c60_, kNameSortRecord);
        continue;
      }
      if (!locks_.Take(c60_) || !Own(c60_, T::TLETP, m.before, after, want, kNameSortRecord)) return Refused();
    }
    c60_.Commit();
    return watch_.ReadRefused() ? Refused() : "";
  }

  // The marks after of `plan.marks` that a live sort record the change does not name holds, on the
  // account of a record it names, into *shared. False when a record could not be read or looked up.
  bool SharedMarks(const Plan& plan, std::set<std::string>* shared) {
    std::set<std::uint32_t> named;
    std::set<std::string> accounts, marks;
    for (const Plan::Mark& m : plan.marks) {
      named.insert(m.recno);
      if (m.after.empty()) continue;
      marks.insert(m.after);
      const Lookup at = c60_.GoToRecord(static_cast<long>(m.recno));
      if (at.IsRefused()) return false;
      if (at.IsFound()) accounts.insert(TrimmedRight(c60_.GetField(T::TCODE)));
    }
    bool read = true;
    for (const std::string& account : accounts) {
      const Lookup found = c60_.Find("C60CODE", account.c_str());
      read = !found.IsRefused();
      if (!read) break;
      for (bool more = found.IsFound(); more && !c60_.eof; more = c60_.Skip(1)) {
        if (TrimmedRight(c60_.GetField(T::TCODE)) != account) break;
        const std::string mark = TrimmedRight(c60_.GetField(T::TLETP));
        if (named.count(c60_.recordNumber) != 0 || marks.count(mark) == 0) continue;
        // A record whose mark is not read may share the mark: nothing is decided.
        const Lookup live = LiveOrSaid(c60_);
        read = !live.IsRefused();
        if (!read) break;
        if (live.IsFound()) shared->insert(mark);
      }
      if (!read) break;
    }
    c60_.SetOrder(T::kRecordTag);
    return read;
  }

  // Each total made to hold what its live lines give it; "" when done, else why not.
  std::string Totals(const Plan& plan, const std::string& ownNote) {
    if (plan.totals.empty()) return "";
    for (int tries = 0;; ++tries) {
      Locks held;
      for (const auto& [kind, code] : plan.totals) {
        Table* table = SeekTotalsRecord(kind, code);
        if (table != nullptr && !held.Take(*table)) return HeldOrRefused(HeldText(kind, code));
      }
      // A change at work elsewhere on these totals may have written its lines and not yet its totals:
      // looked for before the lines are read, and again after (one that began meanwhile and wrote a
      // line waits for a total held here).
      std::string station, unread;
      if (!ChangeAtWork(plan.totals, ownNote, &station, &unread)) return unread;
      std::map<TotalsRecord, TotalsCents> live;
      if (station.empty() && !LiveTotals(c50_, plan.totals, &live)) return Refused();
      if (station.empty() && !ChangeAtWork(plan.totals, ownNote, &station, &unread)) return unread;
      if (!station.empty()) {
        if (tries >= kTotalsTries) return FillPlaceholder(LoadStr(kWhyChangeAtWork), station);
        held.Release();
        platform::SleepMilliseconds(kLockStepMs);
        continue;
      }
      for (const auto& [record, lines] : live) {
        TotalsCents stored;
        if (!ReadTotals(record, &stored)) {
          // A record whose read the disk refused is not a missing one: its total is not worked out.
          if (watch_.ReadRefused()) return Refused();
          stored = TotalsCents{};
        }
        TotalsCents lack = lines;
        lack += stored.Negated();
        if (lack.Empty()) continue;
        wrote_ = true;
        if (!MoveTotals(record, lack)) return Refused();
      }
      return "";
    }
  }

  // A lock not taken: `held` when another station holds the record, the disk's refusal when its read
  // was refused as the lock was taken.
  std::string HeldOrRefused(const std::string& held) const { return watch_.ReadRefused() ? Refused() : held; }

  // Whether the finish had anything to write: a change whose lines, sort records and totals already
  // agree was taken back whole, or made whole, before it stopped.
  bool Wrote() const { return wrote_; }
  // The records left as they stand, written since the change stopped, as the opening names them.
  const std::vector<std::string>& Left() const { return left_; }

  // Why a write or a read was refused, as the watch kept it.
  std::string Refused() const {
    if (watch_.RefusedReading()) return UnreadText(watch_.RefusedFile(), watch_.RefusedResult());
    if (watch_.RefusedResult() != 0)
      return RunIncidentText(watch_.RefusedResult(), watch_.RefusedFile(), watch_.RefusedResult());
    if (watch_.Seen()) return watch_.Text();
    return RunIncidentText(kResultSystemError, c50_.tablePath, kResultSystemError);
  }

 private:
  std::string JournalMonth() { return std::string(c50_.GetField(L::BMOIS)) + c50_.GetField(L::BJAL); }

  // Line `recno` holds every field of `fields` as rewritten (`now`), or as it was: found when it does,
  // not found when it does not or is missing, refused when it could not be read.
  Lookup Stands(std::uint32_t recno, const std::vector<Plan::Rewrite>& fields, bool now) {
    const Lookup at = c50_.GoToRecord(static_cast<long>(recno));
    bool holds = true;
    for (const Plan::Rewrite& f : fields) holds = holds && at.IsFound() && c50_.GetField(f.field) == (now ? f.now : f.was);
    return at.And(holds);
  }

  // Line `recno` given its fields as rewritten (`now`) or as they were, in one write, when each of
  // them holds one or the other: a line with a field written since by another station is left as
  // it stands (and named).
  bool Rewrite(std::uint32_t recno, const std::vector<Plan::Rewrite>& fields, bool now) {
    const Lookup at = c50_.GoToRecord(static_cast<long>(recno));
    if (at.IsRefused()) return false;
    if (at.IsNotFound()) return true;
    const Lookup stands = Stands(recno, fields, now);
    if (stands.IsRefused()) return false;
    if (stands.IsFound()) return true;
    for (const Plan::Rewrite& f : fields) {
      const std::string holds = TrimmedRight(c50_.GetField(f.field));
      if (holds != TrimmedRight(f.was) && holds != TrimmedRight(f.now)) {
        Name(c50_, kNameDraftLine);
        return true;
      }
    }
    std::vector<FieldWrite> writes;
    for (const Plan::Rewrite& f : fields) writes.push_back({f.field, now ? f.now : f.was});
    wrote_ = true;
    return c50_.GoToRecord(static_cast<long>(recno)).IsFound() && WriteRecordFields(c50_, writes);
  }

  // Field `field` of the current record of `table`, held locked, given `want` when it holds what the
  // stopped change left there, its value `before` or `after`; a record holding anything else was
  // written since (by another station) and is left as it is, named as `name` says. *now (when
  // given) gets what the field holds in the end. False when the write was refused.
  bool Own(Table& table, int field, const std::string& before, const std::string& after, const std::string& want,
           int name, std::string* now = nullptr) {
    const std::string holds = TrimmedRight(table.GetField(field));
    if (now != nullptr) *now = holds;
    if (holds == want) return true;
    if (holds != before && holds != after) {
      Name(table, name);
      return true;
    }
    wrote_ = true;
    if (now != nullptr) *now = want;
    return table.PutField(field, want.c_str());
  }

  // A record left as it stands named, once.
  void Name(Table& table, int name) {
    const std::string text = RecordName(table, name);
    if (std::find(left_.begin(), left_.end(), text) == left_.end()) left_.push_back(text);
  }

  // The current record of `table` as the user knows it: a line as the lines window shows it (its
  // number, piece, journal, month and account; an analytic line its number, its line's and its
  // section), a sort record by the line it stands for.
  static std::string RecordName(Table& table, int name) {
    auto field = [&table](int f) { return Trimmed(table.GetField(f)); };
    auto month = [](const std::string& stored) {
      const std::string m = PadRight(stored, 4);
      return m.substr(2, 2) + "/" + DecodeYear(m.substr(0, 2).c_str());
    };
    if (name == kNameSortRecord)
      return FillPlaceholders(LoadStr(name), {field(T::TNUM), field(T::TPIECE), field(T::TJAL),
                                              month(table.GetField(T::TMOIS)), field(T::TCODE)});
    if (name == kNameClosedLine)
      return FillPlaceholders(LoadStr(name), {field(L::ClosedFieldOf(L::BNUM)), field(L::ClosedFieldOf(L::BPIECE)),
                                              field(L::ClosedFieldOf(L::BJAL)),
                                              month(table.GetField(L::ClosedFieldOf(L::BMOIS))),
                                              field(L::ClosedFieldOf(L::BCODE))});
    if (table.GetField(L::BCLE)[0] != 'Z')
      return FillPlaceholders(LoadStr(kNameAnalyticLine), {field(L::BNUMA), field(L::BNUM), field(L::BPIECE),
                                                           field(L::BJAL), month(table.GetField(L::BMOIS)),
                                                           field(L::BCODE)});
    return FillPlaceholders(LoadStr(name), {field(L::BNUM), field(L::BPIECE), field(L::BJAL),
                                            month(table.GetField(L::BMOIS)), field(L::BCODE)});
  }

  // Line `m.recno` moved on to its target when it still stands where the change found it. Its day is
  // written only when it holds the day before (`before` names it; a note of an older program does
  // not, and a day that fits the target's month to the day after is taken for it) or the day after;
  // a day written since by another station stays, fitted to the target's month, and the line is
  // named. So is a line found on neither journal-month. False when the write was refused.
  bool Move(const Plan::Move& m, const std::map<std::uint32_t, std::string>& before) {
    const Lookup found = c50_.GoToRecord(static_cast<long>(m.recno));
    if (found.IsRefused()) return false;
    if (found.IsNotFound()) return true;
    const std::string at = JournalMonth();
    if (at == m.to) return true;
    if (at != m.from) {
      Name(c50_, kNameDraftLine);
      return true;
    }
    const std::string month = m.to.substr(0, 4), holds = c50_.GetField(L::BJOUR);
    const auto was = before.find(m.recno);
    const bool left = was != before.end() ? holds != was->second && holds != m.day : FittedDay(month, holds) != m.day;
    wrote_ = true;
    const bool written =
        WriteRecordFields(c50_, {{L::BMOIS, month}, {L::BJAL, m.to.substr(4, 3)}, {L::BJOUR, left ? FittedDay(month, holds) : m.day}});
    // Named where it now stands.
    if (!left) return written;
    const Lookup now = c50_.GoToRecord(static_cast<long>(m.recno));
    if (now.IsFound()) Name(c50_, kNameDraftLine);
    return written && !now.IsRefused();
  }

  // Line `recno` given the cancel mark, or relieved of it. A record the note keeps as it stood
  // before the change is marked only while it holds those fields: one written since by another
  // station is left as it stands, and named.
  bool Mark(std::uint32_t recno, bool cancel) {
    Lookup at = c50_.GoToRecord(static_cast<long>(recno));
    if (at.IsNotFound()) return true;
    // Its cancel mark read again: a read refused is neither live nor cancelled.
    if (at.IsFound()) at = c50_.LiveHere();
    if (at.IsRefused()) return false;
    if (at.IsNotFound() == cancel) return true;
    const auto stood = before_ != nullptr ? before_->find(recno) : std::map<std::uint32_t, std::string>::const_iterator();
    if (before_ != nullptr && stood != before_->end() && NoteRecordFields(c50_) != stood->second) {
      Name(c50_, kNameDraftLine);
      return true;
    }
    wrote_ = true;
    return cancel ? c50_.DeleteRecord(nullptr, 0) : c50_.RecallRecord(nullptr, 0);
  }

  // The sort record of line `recno` as the line stands: made when missing, its fields derived again
  // when they differ, its cancel mark the line's (SortRecordFollows). A line given a second sort
  // record (its first read short) keeps the one it had before the change (at or before record
  // `sortFrom` of the sort file), else its first; the others are cancelled.
  bool SortFollows(std::uint32_t recno, std::uint32_t sortFrom) {
    const Lookup line = c50_.GoToRecord(static_cast<long>(recno));
    if (line.IsRefused()) return false;
    if (line.IsNotFound()) return true;
    std::vector<std::uint32_t> sorts;
    const std::string key = T::RecordKey(T::kDraft, recno);
    // A sort record not looked up is not a missing one: none is made for the line.
    const Lookup found = c60_.Find(T::kRecordTag, key.c_str());
    if (found.IsRefused()) return false;
    for (bool more = found.IsFound(); more && !c60_.eof; more = c60_.Skip(1)) {
      if (c60_.MatchRecordKey(key.c_str(), T::kRecordKeyLength, T::TFIC, T::TREC).OffKey()) break;
      sorts.push_back(c60_.recordNumber);
    }
    wrote_ = wrote_ || sorts.empty();
    if (sorts.empty()) return c50_.GoToRecord(static_cast<long>(recno)).IsFound() && SortRecordFollows(c50_, c60_);
    std::sort(sorts.begin(), sorts.end());
    std::uint32_t kept = sorts.front();
    for (const std::uint32_t r : sorts)
      if (r <= sortFrom) kept = r;
    for (const std::uint32_t r : sorts) {
      if (r == kept) continue;
      Lookup at = c60_.GoToRecord(static_cast<long>(r));
      if (at.IsFound()) at = c60_.LiveHere();
      if (at.IsRefused()) return false;
      if (at.IsNotFound()) continue;
      wrote_ = true;
      if (!locks_.Take(c60_) || !c60_.DeleteRecord(nullptr, 0)) return false;
    }
    if (!c60_.GoToRecord(static_cast<long>(kept)).IsFound() || !c50_.GoToRecord(static_cast<long>(recno)).IsFound())
      return false;
    if (SortRecordInStep(c50_, c60_)) return true;
    wrote_ = true;
    return locks_.Take(c60_) && c50_.GoToRecord(static_cast<long>(recno)).IsFound() &&
           CurrentSortRecordFollows(c50_, c60_);
  }

  // The live sort records appended past record `from`: those that point at no draft line (their
  // line's write refused, or their fields read short) cancelled; the lines of the others added to
  // `lines`, whose sort records are then put right (another station's are right already).
  bool StraySortRecords(std::uint32_t from, std::set<std::uint32_t>* lines) {
    for (std::uint32_t r = from + 1; r <= c60_.RecCount(); ++r) {
      // A sort record not read is neither live nor stray: the finish stops.
      Lookup at = c60_.GoToRecord(static_cast<long>(r));
      if (at.IsFound()) at = c60_.LiveHere();
      if (at.IsRefused()) return false;
      if (at.IsNotFound()) continue;
      const char file = c60_.GetField(T::TFIC)[0];
      if (file == T::kClosed) continue;
      const std::uint32_t line = Number(c60_.GetField(T::TREC));
      if (file == T::kDraft && line != 0 && line <= c50_.RecCount()) {
        lines->insert(line);
        continue;
      }
      const Lookup again = c60_.GoToRecord(static_cast<long>(r));
      if (again.IsRefused()) return false;
      if (again.IsNotFound() || !locks_.Take(c60_)) continue;
      wrote_ = true;
      if (!c60_.DeleteRecord(nullptr, 0)) return false;
    }
    return true;
  }

  static bool ReadTotals(const TotalsRecord& record, TotalsCents* now) {
    if (record.first == 'H') return ReadHeaderRecord(record.second, now);
    if (record.first == 'S') return ReadSectionRecord(record.second, now);
    return ReadAccountRecord(record.second, now);
  }

  static bool MoveTotals(const TotalsRecord& record, const TotalsCents& move) {
    if (record.first == 'H') return MoveHeaderRecord(record.second, move);
    if (record.first == 'S') return MoveSectionRecord(record.second, move);
    return MoveAccountRecord(record.second, move);
  }

  static std::string HeldText(char kind, const std::string& code) {
    if (kind == 'S') return FillPlaceholder(LoadStr(kWhySectionHeld), Trimmed(code));
    if (kind == 'A') return FillPlaceholder(LoadStr(kWhyAccountHeld), Trimmed(code));
    const std::string month = PadRight(code, 7).substr(0, 4);
    return FillPlaceholders(LoadStr(kWhyHeaderHeld),
                            {Trimmed(code.substr(4, 3)), month.substr(2, 2) + "/" + DecodeYear(month.substr(0, 2).c_str())});
  }

  // The station of another process's change at work that names one of `totals` ("" none); false when
  // a note could not be looked at (*why says so): a change may be at work there.
  static bool ChangeAtWork(const std::set<TotalsRecord>& totals, const std::string& ownNote, std::string* station,
                           std::string* why) {
    station->clear();
    int unlisted = 0;
    const std::vector<std::string> names = LineChangeNoteFiles(DossierFolder, DossierCode, &unlisted);
    if (unlisted != 0) {
      *why = SystemUnreadText(DossierFolder, unlisted);
      return false;
    }
    for (const std::string& name : names) {
      const std::string path = DossierFolder + name;
      int unasked = 0;
      if (name == ownNote || !platform::FileHeldElsewhere(path, &unasked)) {
        if (unasked == 0 || unasked == ENOENT) continue;
        *why = SystemUnreadText(path, unasked);
        return false;
      }
      std::string text;
      if (!platform::ReadWholeFile(path, text)) {
        if (errno == ENOENT) continue;  // done meanwhile
        *why = SystemUnreadText(path, errno);
        return false;
      }
      const LineChangeNoteText note = ReadLineChangeNote(text);
      if (!note.atWork) continue;
      const Plan other = PlanOf(note);
      for (const TotalsRecord& record : other.totals)
        if (totals.count(record) != 0) {
          *station = StationName(note);
          return true;
        }
    }
    return true;
  }

  Table& c50_;
  Table& c60_;
  Table c40_;  // opened for the letters of closed lines only
  Locks locks_;
  const std::map<std::uint32_t, std::string>* before_ = nullptr;  // the plan's records before the change
  RefusalWatch watch_{RefusalWatch::EngineBoxes::kHeld};
  bool wrote_ = false;
  std::vector<std::string> left_;
};

}  // namespace

StoppedLineChanges FinishStoppedLineChanges() {
  StoppedLineChanges out;
  // A folder that could not be read is not one without notes.
  int unlisted = 0;
  const std::vector<std::string> names = LineChangeNoteFiles(DossierFolder, DossierCode, &unlisted);
  auto unsought = [&out](const std::string& file, int err) {
    out.done = false;
    out.said = FillPlaceholder(LoadStr(kMsgNotesUnsought), SystemUnreadText(file, err));
    return out;
  };
  if (unlisted != 0) return unsought(DossierFolder, unlisted);
  if (names.empty()) return out;
  // A run of the opening: it writes the lines, the sort file and the totals of the changes it finishes.
  const BooksWritePermit permit(kStoppedLineChangesRun, BooksScope::OpenDossier());
  // The engine's boxes held back: what could not be done is said in the opening's own box.
  RefusalWatch engineBoxes(RefusalWatch::EngineBoxes::kHeld);
  Table c50, c60;
  Table* unopened = nullptr;
  bool open = false;
  for (const std::string& name : names) {
    const std::string path = DossierFolder + name;
    // A process at work: its change is its own. A note that could not be asked may be one.
    int unasked = 0;
    if (platform::FileHeldElsewhere(path, &unasked)) continue;
    if (unasked == ENOENT) continue;  // finished meanwhile by another station
    if (unasked != 0) return unsought(path, unasked);
    std::string text;
    if (!platform::ReadWholeFile(path, text)) {
      out.done = false;
      out.said = FillPlaceholder(LoadStr(kMsgNoteUnread), SystemUnreadText(path, errno));
      return out;
    }
    const LineChangeNoteText note = ReadLineChangeNote(text);
    if (!note.atWork) {
      platform::RemoveFile(path);
      continue;
    }
    if (!open && unopened == nullptr) {
      const std::pair<Table*, std::string> tables[] = {{TableC10, PathC10()}, {TableC20, PathC20()},
                                                       {TableC30, PathC30()}, {&c50, PathC50()},
                                                       {&c60, PathC60()}};
      const char* const tags[] = {"C10CODE", "C20CODE", "C30CODE", L::kCodeTag, T::kRecordTag};
      open = true;
      for (std::size_t i = 0; open && i < std::size(tables); ++i) {
        Table* table = tables[i].first;
        if (table != nullptr && (table == &c50 || table == &c60 ? table->OpenShared(tables[i].second, tags[i])
                                                                 : table->UseShared(tables[i].second, tags[i])))
          continue;
        open = false;
        unopened = table;
      }
      // A table that could not be opened could not be read: nothing is decided from it.
      if (unopened != nullptr) RefusalWatch::NoteOpenRefused(*unopened);
    }
    // An account's collective is read from the general file: a read the disk refused there would name
    // another record.
    const RefusalWatch planReads;
    Plan plan = PlanOf(note);
    bool undone = false, finished = false, wrote = false;
    std::string why, left;
    if (!open) {
      // The table said as the system refused it: its open, or a read or a write the open made.
      why = unopened != nullptr ? engineBoxes.Reason(kResultSystemError, unopened->tablePath, unopened->result)
                                : engineBoxes.Reason(kResultSystemError, PathC10(), kResultSystemError);
    } else if (planReads.ReadRefused()) {
      why = planReads.Reason(kResultSystemError, PathC10(), kResultSystemError);
    } else {
      Finish finish(c50, c60);
      why = finish.Lines(plan, &undone, &finished);
      if (why.empty()) why = finish.Letters(plan, &undone, &finished);
      if (why.empty()) why = finish.Marks(plan, &undone, &finished);
      if (why.empty()) why = finish.Totals(plan, name);
      wrote = finish.Wrote();
      for (const std::string& record : finish.Left()) left += (left.empty() ? "" : ", ") + record;
    }
    if (!why.empty()) {
      WriteLog(FillPlaceholders(LoadStr(kLogChangeNotFinished), {note.kind, StationName(note), note.started, why}));
      out.done = false;
      out.said = FillPlaceholders(LoadStr(kMsgChangeNotFinished), {note.kind, StationName(note), note.started, why});
      return out;
    }
    // Finished: a note that stays is finished again, with nothing left to do.
    platform::RemoveFile(path);
    WriteLog(FillPlaceholders(LoadStr(kLogChangeFinished), {note.kind, StationName(note), note.started}));
    const int said = !wrote ? kMsgNothingToRedo : undone ? kMsgChangeUndone : finished ? kMsgChangeFinished : kMsgLineKept;
    out.said += (out.said.empty() ? "" : "\n\n") +
                FillPlaceholders(LoadStr(said), {note.kind, StationName(note), note.started});
    if (!left.empty()) out.said += "\n\n" + FillPlaceholder(LoadStr(kMsgRecordsLeft), left);
    ++out.finished;
  }
  return out;
}
