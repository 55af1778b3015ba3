// The entry lines and their sort records, by field number: the draft line of C50 and the closed
// line of C40 (LigneEcriture), the sort record of C60 (LigneTri), and the one rule that derives a
// sort record from its line. Every writer of a line (new lines and pieces, renumbering, the
// rebuild, the line save) derives the sort record through DeriveLigneTri, so that C60 keeps one
// record per line of C40 and C50, pointing back at it with the same key fields.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class LineChangeSteps;
class Table;

// The entry line. The draft (C50) numbers its fields as below; the closed file (C40) holds the
// same data under names beginning with "D", in another order, without the group number and the
// distribution code, with a validation date last.
struct LigneEcriture {
  enum Field : int {
    BCLE = 1,    // "Z" a general line; "V"/"W" header and lines of the first analytic axis, "X"/"Y" of the second
    BMOIS,       // month YYMM, year in stored form
    BJAL,        // journal code
    BPIECE,      // piece number, six digits
    BREC,        // group of the piece's lines, six digits
    BNUM,        // line number in the group, four digits
    BNUMA,       // sub-number of an analytic record ("0001" on a general line)
    BJOUR,       // day of the month
    BVENT,       // distribution code
    BCODE,       // account; the section of an analytic line
    BCLIB,       // standard-label code
    BLIB,
    BLIB2,
    BLIB3,
    BECHEANCE,   // due date, stored YYMMDD
    BEURO,       // "O" typed in euros, "N" in francs; lower case: an exchange-rounding line
    BSENS,       // "D" or "C"
    BMONTANTF,   // amount in francs
    BMONTANTE,   // amount in euros
    BLET,        // matching letter in francs
    BLETE,       // matching letter in euros
    BCG,         // the general account an analytic line splits
    BTVA,        // VAT code
    BCODE2,      // a further code carried to the sort record
  };
  enum ClosedField : int {
    DCLE = 1, DCODE, DMOIS, DJOUR, DJAL, DPIECE, DCLIB, DLIB, DLIB2, DLIB3, DECHEANCE, DEURO, DSENS,
    DMONTANTF, DMONTANTE, DLET, DLETE, DCG, DNUM, DNUMA, DTVA, DCODE2, DVALID,
  };

  static constexpr char kGeneral = 'Z';
  // "Z" + BMOIS + BJAL: the journal-month part of a general line's key.
  static constexpr int kJournalMonthKeyLength = 8;
  // That part + BPIECE + BREC + BNUM: the C50CODE key.
  static constexpr int kKeyLength = 24;
  // BMOIS + BJAL + BPIECE + BCODE + BNUM of a general line: its analytic lines on C50ANAL.
  static constexpr int kAnalyticKeyLength = 25;
  static constexpr const char* kCodeTag = "C50CODE";
  static constexpr const char* kAnalyticTag = "C50ANAL";
  // Highest line number BNUM holds.
  static constexpr long kMaxLineNumber = 9999;

  // The closed field that holds the data of a draft field; 0 for BREC and BVENT.
  static int ClosedFieldOf(int draftField);
  // A draft field of the current record of a draft (closed = false) or closed line table.
  static std::string Get(Table& lines, bool closed, int draftField);

  // The C50CODE key of the current draft line (fields 1-6 joined) and its analytic key.
  static std::string Key(Table& c50);
  static std::string AnalyticKey(Table& c50);
};

// The sort record of C60, one per line of C40 and C50.
struct LigneTri {
  enum Field : int {
    TCLE = 1, TCODE, TMOIS, TJOUR, TJAL, TLET, TLETE,
    TLETP,       // working letter of the matching runs: never derived
    TFIC,        // "B" a line of the draft, "C" a line of the closed file
    TREC,        // the line's physical record number, six digits
    TPIECE, TCG, TNUM, TNUMA, TTVA, TCODE2,
  };
  static constexpr char kDraft = 'B';
  static constexpr char kClosed = 'C';
  static constexpr const char* kRecordTag = "C60REC";
  static constexpr int kRecordKeyLength = 7;

  // The C60REC key of a line's sort record: the file letter + its record number in six digits.
  static std::string RecordKey(char file, std::uint32_t recno);
  // Makes the sort record of a line current on C60: the whole key sought on C60REC and checked.
  static bool Find(Table& c60, char file, std::uint32_t recno);
  // After a Find that failed: true when the sort record is not there, false when the seek could
  // not look (a read the system refused, a damaged index). A caller makes no record for a line
  // whose own it could not read: that would give the line a second one.
  static bool Missing(const Table& c60);
  // The sort record's fields DeriveLigneTri copies from its line (TFIC and TREC aside): pairs of
  // a sort field and the draft field whose text it takes, as kSortRecordCopies lists them.
  static const std::vector<std::pair<int, int>>& DerivedFields();
};

// A field a sort record copies from its line: the sort record's, and the draft line's (C50).
struct SortRecordCopy {
  int sortField;
  int draftField;
};
// Every field a sort record copies from its line, from the one list of them (sort_record_fields.inc):
// what DeriveLigneTri writes, what SortRecordFollows compares, and what the dossier's check wants equal.
inline constexpr SortRecordCopy kSortRecordCopies[] = {
#include "data/sort_record_fields.inc"
};

// The stored text of fields of the current record, read in one pass without conversion: character
// fields blank-padded, numbers as written (right-aligned with their decimals). The walks over many
// lines read through it; `out` gets one text per field, in the order asked.
void ReadStoredFields(Table& table, const std::vector<int>& fields, std::vector<std::string>& out);
// A line whose amount field does not read as a number (ReadableNumberText): its file ("B" the
// draft C50, "C" the closed C40), record number, piece and account as stored. A record of
// another table whose amount does not read is named alike, by the digit of its table and with no
// piece: '1' a journal-month header of C10 (`account`: its journal and month as shown), '2' an
// account of C20, '3' a section of C30 (`account`: its code); '9' a record of any other table
// (`piece`: its file's name, `account`: the field's).
struct UnreadableAmountLine {
  static constexpr char kJournalMonthRecord = '1', kAccountRecord = '2', kSectionRecord = '3', kOtherRecord = '9';
  char file = 'B';
  std::uint32_t recno = 0;
  std::string piece, account;
  bool operator<(const UnreadableAmountLine& o) const {
    if (file != o.file) return file > o.file;  // C40 first, as the walks read them
    if (recno != o.recno) return recno < o.recno;
    return file == kOtherRecord && piece < o.piece;
  }
};
// The lines named one a line ("C40 enregistrement 12, pi\xE8" "ce 000034, compte 41100000"),
// sorted and each once, at most `most` of them and how many more after.
std::string UnreadableAmountLinesText(std::vector<UnreadableAmountLine> lines, std::size_t most = 20);
// The whole warning of a report that counted such lines as zero (empty when there is none).
std::string UnreadableAmountsMessage(const std::vector<UnreadableAmountLine>& lines);
// The warning of a file that leaves the program (a payment file, an export) and is not written
// because it would carry these lines' amounts (empty when there is none).
std::string UnreadableAmountsFileMessage(const std::vector<UnreadableAmountLine>& lines);
// Their caption.
std::string UnreadableAmountsCaption();

// The one account normalisation of the entry lines: an account as typed or proposed, trimmed and cut to
// 8 characters, padded to 8 with blanks when it begins with a letter (an auxiliary account, "A" or above) and
// with "0" otherwise (a general account: "411" is 41100000). A blank text gives "". The line form, its save,
// its balancing and entry models, the analytic split key and the totals updates all go through it, so that a
// line's account, its analytic lines' general account and the key that finds them always agree.
std::string NormalizeAccount(const std::string& typed);
// True for an auxiliary account: its first character is a capital letter "A"-"Z".
bool IsAuxiliaryAccount(const std::string& account);

// Writes the sort record of the current line of `lines` (C50 when file is "B", C40 when "C") into
// the current record of C60: the one being appended, or an existing one, written once. Field 8,
// the working letter, is left as it is. False when the write failed.
bool DeriveLigneTri(Table& lines, char file, Table& c60);
// The sort record of a line just inserted: appended to C60, derived, inserted and committed.
bool AppendLigneTri(Table& lines, char file, Table& c60);
// The one rule that keeps a draft line's sort record in step with it: the sort record of the current
// line of `c50` found on C60REC and made when it is truly missing (never when it could not be read: the
// line would have two; the log says so), its fields derived again when they differ from the line's, and
// its cancel mark the line's. Its lock is waited for with the notice naming `recordText`, or, without a
// text, taken silently (a lock the cursor holds already stays held). c50 stays on its line, c60 on the
// sort record. False when a read, a write or the lock was refused.
bool SortRecordFollows(Table& c50, Table& c60, const char* recordText = nullptr);
// True when the sort record current on `c60` holds what the current line of `c50` gives it, its cancel
// mark included: nothing to write.
bool SortRecordInStep(Table& c50, Table& c60);
// The same for the sort record current on `c60`, one of the line's that the caller found.
bool CurrentSortRecordFollows(Table& c50, Table& c60, const char* recordText = nullptr);
// Draft line `recno` given the cancel mark (`cancel`) or relieved of it, its sort record following it.
// False when a read or a write was refused.
bool MarkDraftLine(Table& c50, Table& c60, std::uint32_t recno, bool cancel, const char* recordText = nullptr);
// A draft line just appended, taken back: cancelled with its sort record, which is made first when the
// append left the line without one (every line, cancelled or not, has its sort record). False when a
// write was refused.
bool CancelDraftLine(Table& c50, Table& c60, std::uint32_t recno);
// A record appended to the draft within the change `steps`, its fields filled by `fill`, then its sort
// record: one that went in is cancelled with its sort record when the change is taken back (one whose
// number could not be read back is left to the next opening, which takes it back with its piece). C50
// is left on the new record. False when a write or a read was refused.
bool AppendDraftRecord(Table& c50, Table& c60, const std::function<bool()>& fill, LineChangeSteps& steps);
