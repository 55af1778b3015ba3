#include "data/line_change_note.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/table.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "platform/system/clock.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts of a note, by their ids in the string table: each change as the user knows it, the
// refusal of a change whose note could not be written, its caption, and the start of a change as
// the run markers give it.
constexpr int kKindLineSaved = 35010;
constexpr int kKindLineCancelled = 35011;
constexpr int kKindLineReactivated = 35012;
constexpr int kKindPieceMoved = 35013;
constexpr int kKindPieceCopied = 35014;
constexpr int kKindLinesAppended = 35015;
constexpr int kKindAnalyticLineSaved = 35016;
constexpr int kKindAnalyticLineCancelled = 35017;
constexpr int kKindAnalyticLineReactivated = 35018;
constexpr int kKindDefaultSplit = 35019;
constexpr int kKindSplitRemoved = 35020;
constexpr int kKindLineCreated = 35050;
constexpr int kKindPieceCreated = 35051;
constexpr int kKindSplitHeaderKept = 35052;
constexpr int kKindAnalyticLineCreated = 35053;
constexpr int kKindSplitRenumbered = 35054;
constexpr int kKindSplitRefreshed = 35055;
constexpr int kKindMatchingMarked = 37750;
constexpr int kKindLettersSaved = 37751;
constexpr int kKindLinesReconciled = 37752;
constexpr int kMsgNoteRefused = 35000;  // why the note was refused
constexpr int kCaptionAttention = 52;
constexpr int kFormatStartedAt = 22181;

// The note's first line, both the same length: written over each other in place.
constexpr const char* kAtWork = "en_cours";
constexpr const char* kDone = "terminee";
constexpr const char* kEnd = "fin";
constexpr const char* kStationKey = "poste";
constexpr const char* kStartedKey = "debut";
constexpr const char* kMachineKey = "machine";
constexpr const char* kKindKey = "modification";

// The kinds by the word a note stores, and their texts.
struct KindName {
  LineChangeKind kind;
  const char* word;
  int text;
};
constexpr KindName kKinds[] = {
    {LineChangeKind::LineSaved, "ligne", kKindLineSaved},
    {LineChangeKind::LineCancelled, "annulation", kKindLineCancelled},
    {LineChangeKind::LineReactivated, "reactivation", kKindLineReactivated},
    {LineChangeKind::PieceMoved, "deplacement", kKindPieceMoved},
    {LineChangeKind::PieceCopied, "copie", kKindPieceCopied},
    {LineChangeKind::LinesAppended, "ajout", kKindLinesAppended},
    {LineChangeKind::AnalyticLineSaved, "analytique", kKindAnalyticLineSaved},
    {LineChangeKind::AnalyticLineCancelled, "annulation-analytique", kKindAnalyticLineCancelled},
    {LineChangeKind::AnalyticLineReactivated, "reactivation-analytique", kKindAnalyticLineReactivated},
    {LineChangeKind::DefaultSplit, "repartition", kKindDefaultSplit},
    {LineChangeKind::SplitRemoved, "suppression-repartition", kKindSplitRemoved},
    {LineChangeKind::LineCreated, "creation-ligne", kKindLineCreated},
    {LineChangeKind::PieceCreated, "creation-piece", kKindPieceCreated},
    {LineChangeKind::SplitHeaderKept, "entete-repartition", kKindSplitHeaderKept},
    {LineChangeKind::AnalyticLineCreated, "creation-analytique", kKindAnalyticLineCreated},
    {LineChangeKind::SplitRenumbered, "renumerotation-analytique", kKindSplitRenumbered},
    {LineChangeKind::SplitRefreshed, "mise-a-jour-analytique", kKindSplitRefreshed},
    {LineChangeKind::MatchingMarked, "marque-lettrage", kKindMatchingMarked},
    {LineChangeKind::LettersSaved, "lettrage", kKindLettersSaved},
    {LineChangeKind::LinesReconciled, "pointage", kKindLinesReconciled},
};

const KindName& NameOf(LineChangeKind kind) {
  for (const KindName& k : kKinds)
    if (k.kind == kind) return k;
  return kKinds[0];
}
const char* WordOf(LineChangeKind kind) { return NameOf(kind).word; }

// The note file this process writes for the dossier open, kept from one change to the next.
struct NoteFile {
  platform::LockedFile file;
  std::string dossier;  // the folder and code it belongs to
  int process = 0;      // the process that made it (a forked child makes its own)
  std::size_t length = 0;
  bool atWork = false;  // it names a change not yet done
  long made = 0;        // files made by this process, for their names
  ~NoteFile() { Close(); }
  // Removed when it names no change at work; otherwise let go, for the next opening.
  void Close() {
    if (file.Held() && process == platform::CurrentProcessId()) {
      if (atWork) file.Release();
      else file.Remove();
    }
    Forget();
  }
  // Let go as it stands (a note left, or a file inherited from the process that forked this one).
  void Forget() {
    if (process == platform::CurrentProcessId()) file.Release();
    dossier.clear();
    process = 0;
    length = 0;
    atWork = false;
  }
};

NoteFile& TheFile() {
  static NoteFile file;
  return file;
}

std::string DossierKey() { return DossierFolder + "\t" + DossierCode; }

std::string NoteName(const std::string& code, int process, long n) {
  return "lignes-" + LowerCp1252(Trimmed(code)) + "-" + std::to_string(process) + "-" + std::to_string(n) + ".note";
}

// The file for the dossier open, made when this process has none for it yet.
bool NoteFileReady(NoteFile& f) {
  const int process = platform::CurrentProcessId();
  if (f.process != process) f.Forget();
  if (f.file.Held() && f.dossier == DossierKey()) return true;
  f.Close();
  // A name a stopped process of the same number left is not written over.
  for (int tries = 0; tries < 20; ++tries) {
    const std::string path = DossierFolder + NoteName(DossierCode, process, ++f.made);
    if (f.file.Create(path)) {
      f.dossier = DossierKey();
      f.process = process;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// A field's text kept in a note as hexadecimal digits: a label may hold a tab, which parts the
// note's fields.
std::string Hex(const std::string& text) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    hex += digits[u >> 4];
    hex += digits[u & 0xF];
  }
  return hex;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Joined(char what, std::initializer_list<std::string> fields) {
  std::string line(1, what);
  for (const std::string& f : fields) line += "\t" + f;
  return line;
}

}  // namespace

LineChangeNote::LineChangeNote(LineChangeKind kind) : kind_(kind) {}

// Not said done: the change stopped half-way, and the next opening finishes it.
LineChangeNote::~LineChangeNote() {
  if (written_ && !left_) Leave();
}

// A change of many lines (a piece of 64,000 moved) names each once: the cost stays in proportion to
// its lines.
void LineChangeNote::Add(const std::string& line) {
  if (named_.insert(line).second) lines_.push_back(line);
}

void LineChangeNote::Line(std::uint32_t recno) { Add(Joined('L', {std::to_string(recno)})); }

void LineChangeNote::Follows(std::uint32_t master, std::uint32_t recno) {
  Add(Joined('F', {std::to_string(master), std::to_string(recno)}));
}

void LineChangeNote::Follows(std::uint32_t master, std::uint32_t recno, const std::string& account) {
  Add(Joined('F', {std::to_string(master), std::to_string(recno), account}));
}

void LineChangeNote::Moved(std::uint32_t recno, const std::string& from, const std::string& was,
                           const std::string& to, const std::string& day) {
  Add(Joined('M', {std::to_string(recno), from, to, day}));
  Add(Joined('J', {std::to_string(recno), was}));
}

void LineChangeNote::Cancelled(std::uint32_t recno) { Add(Joined('D', {std::to_string(recno)})); }

void LineChangeNote::CancelledOnceWritten(std::uint32_t recno, const std::string& code) {
  Add(Joined('D', {std::to_string(recno), code}));
}

void LineChangeNote::Appended(const std::string& month, const std::string& journal, const std::string& piece,
                              long lines, std::uint32_t after) {
  Add(Joined('P', {month, journal, piece, std::to_string(lines), std::to_string(after)}));
}

void LineChangeNote::AppendedRecord(const std::string& month, const std::string& journal, const std::string& piece,
                                    const std::string& key) {
  Add(Joined('Q', {month, journal, piece, Hex(key)}));
}

std::string AppendedRecordKey(Table& c50) {
  std::string key;
  using L = LigneEcriture;
  for (const int f : {L::BCLE, L::BREC, L::BNUM, L::BNUMA, L::BCG}) key += c50.GetField(f);
  return key;
}

void LineChangeNote::Rewritten(std::uint32_t recno, int field, const std::string& was, const std::string& now) {
  Add(Joined('R', {std::to_string(recno), std::to_string(field), Hex(was), Hex(now)}));
}

void LineChangeNote::SortRecordsFrom(std::uint32_t records) { Add(Joined('T', {std::to_string(records)})); }

void LineChangeNote::Letter(char file, std::uint32_t recno, int currency, const std::string& before,
                            const std::string& after) {
  Add(Joined('E', {std::string(1, file), std::to_string(recno), std::to_string(currency), NoteLetter(before),
                   NoteLetter(after)}));
}

void LineChangeNote::SortLetter(std::uint32_t recno, int currency, const std::string& before,
                                const std::string& after) {
  Add(Joined('G', {std::to_string(recno), std::to_string(currency), NoteLetter(before), NoteLetter(after)}));
}

void LineChangeNote::Mark(std::uint32_t recno, const std::string& before, const std::string& after) {
  Add(Joined('K', {std::to_string(recno), NoteLetter(before), NoteLetter(after)}));
}

void LineChangeNote::Before(Table& lines, std::uint32_t recno) {
  // A record not read is not noted: the change's watch of refused reads stops it before its first write.
  if (lines.GoToRecord(static_cast<long>(recno)).FoundOrNone())
    Add(Joined('B', {std::to_string(recno), Hex(NoteRecordFields(lines))}));
}

void LineChangeNote::Given(const std::string& account, int currency, const std::string& letter) {
  Add(Joined('W', {PadRight(account, 8).substr(0, 8), std::to_string(currency), NoteLetter(letter)}));
}

std::vector<std::string> LettersNoted(const std::string& account, int currency) {
  std::vector<std::string> letters;
  const std::string wanted = PadRight(account, 8).substr(0, 8);
  for (const std::string& name : LineChangeNoteFiles(DossierFolder, DossierCode)) {
    std::string text;
    if (!platform::ReadWholeFile(DossierFolder + name, text)) continue;
    const LineChangeNoteText note = ReadLineChangeNote(text);
    for (const LineChangeNoteText::Item& item : note.items)
      if (item.what == 'W' && item.fields.size() == 3 && item.fields[0] == wanted &&
          item.fields[1] == std::to_string(currency))
        letters.push_back(LetterOfNote(item.fields[2]));
  }
  return letters;
}

void LineChangeNote::Before(char file, Table& table, std::uint32_t recno) {
  // A record not read is not noted: the change's watch of refused reads stops it before its first write.
  if (table.GoToRecord(static_cast<long>(recno)).FoundOrNone())
    Add(Joined('B', {std::string(1, file), std::to_string(recno), Hex(NoteRecord(table))}));
}

std::string NoteRecord(const Table& table) {
  const std::size_t length = std::min(table.RecordLength(), table.recordBuffer.size());
  return std::string(table.recordBuffer.begin(), table.recordBuffer.begin() + static_cast<std::ptrdiff_t>(length));
}

std::string NoteRecordFields(const Table& table) {
  const std::size_t length = std::min(table.RecordLength(), table.recordBuffer.size());
  if (length < 1) return std::string();
  return std::string(table.recordBuffer.begin() + 1, table.recordBuffer.begin() + static_cast<std::ptrdiff_t>(length));
}

std::string NoteLetter(const std::string& letter) {
  std::string text = letter.substr(0, std::min<std::size_t>(letter.size(), kNoteLetterWidth));
  text.resize(kNoteLetterWidth, ' ');
  for (char& c : text)
    if (c == ' ' || c == '\t' || c == '\n') c = '_';
  return text;
}

std::string LetterOfNote(const std::string& text) {
  std::string letter = text;
  for (char& c : letter)
    if (c == '_') c = ' ';
  return TrimmedRight(letter);
}

void LineChangeNote::Totals(const TotalsMoves& moves) {
  for (const auto& [kind, code] : moves.Records()) Add(Joined(kind, {code}));
}

std::string LineChangeNote::Text() const {
  const platform::LocalTime t = platform::GetLocalTime();
  char started[40];
  std::snprintf(started, sizeof started, LoadStr(kFormatStartedAt), t.day, t.month, t.year, t.hour, t.minute);
  std::string text = std::string(kAtWork) + "\n" + kKindKey + "\t" + WordOf(kind_) + "\n" + kStationKey + "\t" +
                     AllTrim(WorkstationNumber()) + "\n" + kMachineKey + "\t" + platform::MachineName() + "\n" + kStartedKey + "\t" + started + "\n";
  for (const std::string& line : lines_) text += line + "\n";
  return text + kEnd + "\n";
}

bool LineChangeNote::Write() {
  NoteFile& f = TheFile();
  std::string text = Text();
  // Never shorter than what the file holds: no part of an older note stays after this one.
  if (text.size() < f.length && f.dossier == DossierKey()) text.append(f.length - text.size(), ' ');
  const bool ready = NoteFileReady(f);
  if (ready && f.file.WriteAt(0, text)) {
    f.length = std::max(f.length, text.size());
    f.atWork = true;
    written_ = true;
    left_ = false;
    return true;
  }
  // A note written part-way has no end: it names no change at work.
  const int cause = errno;
  const std::string path = ready ? f.file.path() : DossierFolder + NoteName(DossierCode, platform::CurrentProcessId(), f.made);
  errno = cause;
  RefusalWatch::NoteFileRefused(path);
  if (!RefusalWatch::EngineBoxesHeld()) {
    RuntimeBeep();
    RuntimeMessage(LoadStr(kCaptionAttention),
                   FillPlaceholder(LoadStr(kMsgNoteRefused), SystemRefusalText(path, cause)).c_str(), kMbIconStop);
  }
  return false;
}

bool LineChangeNote::Done() {
  if (!written_ || left_) return true;
  written_ = false;
  NoteFile& f = TheFile();
  if (!f.file.Held()) return true;
  // Not marked done: the note stays for the next opening, which finds nothing left to do.
  if (f.file.WriteAt(0, kDone)) {
    f.atWork = false;
    return true;
  }
  f.Forget();
  return false;
}

void LineChangeNote::Leave() {
  if (!written_ || left_) return;
  left_ = true;
  TheFile().Forget();
}

std::string LineChangeKindText(LineChangeKind kind) { return LoadStr(NameOf(kind).text); }

LineChangeNoteText ReadLineChangeNote(const std::string& text) {
  LineChangeNoteText note;
  const std::vector<std::string> lines = SplitText(text.c_str(), true, '\n');
  if (lines.empty() || lines[0] != kAtWork) return note;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line == kEnd) {
      note.atWork = true;
      return note;
    }
    std::vector<std::string> fields = SplitText(line.c_str(), false, '\t');
    if (fields.empty() || fields[0].empty()) continue;
    if (fields[0] == kKindKey && fields.size() == 2) {
      for (const KindName& k : kKinds)
        if (fields[1] == k.word) note.kind = LoadStr(k.text);
    } else if (fields[0] == kStationKey && fields.size() == 2) {
      note.station = fields[1];
    } else if (fields[0] == kMachineKey && fields.size() == 2) {
      note.machine = fields[1];
    } else if (fields[0] == kStartedKey && fields.size() == 2) {
      note.started = fields[1];
    } else if (fields[0].size() == 1) {
      LineChangeNoteText::Item item;
      item.what = fields[0][0];
      item.fields.assign(fields.begin() + 1, fields.end());
      note.items.push_back(std::move(item));
    }
  }
  // No end: the note was cut short, and the change it began wrote nothing.
  return LineChangeNoteText{};
}

std::string NoteFieldText(const std::string& stored) {
  std::string text;
  if (stored.size() % 2 != 0) return text;
  for (std::size_t i = 0; i < stored.size(); i += 2) {
    const int high = HexDigit(stored[i]), low = HexDigit(stored[i + 1]);
    if (high < 0 || low < 0) return std::string();
    text += static_cast<char>(high * 16 + low);
  }
  return text;
}

std::vector<std::string> LineChangeNoteFiles(const std::string& folder, const std::string& code, int* error) {
  return platform::ListFiles(folder, "lignes-" + LowerCp1252(Trimmed(code)) + "-*.note", error);
}

void CloseLineChangeNote() {
  // A change at work keeps its note until it says it is done.
  if (!TheFile().atWork) TheFile().Close();
}
