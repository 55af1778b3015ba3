#include "dossier/renumber_pieces.h"

#include "dossier/dossier_management.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "data/table.h"
#include "framework/dialog_bases.h"
#include "dossier/maintenance_pack.h"
#include "platform/dbase/idapi.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/progress.h"

namespace {

// Fields of the sort file C60.
constexpr int kTcle = 1, kTcode = 2, kTfic = 9, kTrec = 10, kTpiece = 11, kTcg = 12;
// Piece number of a closed line (C40) and of a draft line (C50).
constexpr int kC40Piece = 6, kC50Piece = 4;
// Where the dossier record "0" of C10 keeps the next piece number.
constexpr int kNextPieceField = 4, kNextPieceOffset = 165, kNextPieceWidth = 6;

// C60 field, then the field of C40 and of C50 it is filled from (0 = written
// separately); field 8 stays as it is.
struct RefillField {
  int c60, c40, c50;
};
constexpr RefillField kRefill[] = {
    {1, 1, 1},   {2, 2, 10},  {3, 3, 2},   {4, 4, 8},   {5, 5, 3},   {6, 16, 20}, {7, 17, 21},
    {11, 6, 4},  {12, 18, 22}, {13, 19, 6}, {14, 20, 7}, {15, 21, 23}, {16, 22, 24},
};

const char kDistribution[] = "Ventil";

bool IsDistribution(const std::string& piece) { return piece.compare(0, 6, kDistribution) == 0; }

std::string Trimmed(const std::string& text) {
  const std::size_t b = text.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return text.substr(b, text.find_last_not_of(' ') - b + 1);
}

std::string Field(Table& t, int field) {
  const char* v = t.GetField(field);
  return v == nullptr ? std::string() : std::string(v);
}

// Writes a field only when its text changes (a second run writes nothing).
bool SetField(Table& t, int field, const std::string& text) {
  std::string now = Field(t, field);
  std::string want = text;
  const int width = t.FieldWidth(field);
  if (width > 0) want.resize(static_cast<std::size_t>(width), ' ');
  if (now == want) return true;
  return t.PutField(field, want.c_str());
}

std::string Count6(long n) { return std::string(FormatNumber(6, 0, false, static_cast<double>(n))); }

// The line a C60 record stands for, on its record: in C40 when its file is closed ("C"),
// else in C50; null when its record number leads to no record.
Table* LineOf(Table& c60, bool* closed, long* lineRec) {
  *closed = Field(c60, kTfic)[0] == 'C';
  Table& line = *closed ? *TableC40 : *TableC50;
  *lineRec = static_cast<long>(Val(Field(c60, kTrec).c_str()));
  return *lineRec > 0 && line.GoTo(*lineRec) ? &line : nullptr;
}

class Run {
 public:
  explicit Run(RenumberObserver* observer) : obs_(observer ? observer : &quiet_) {}

  RenumberResult Go();

 private:
  // Opens the table alone; a failure is recorded in the result.
  bool OpenOrFail(Table* t, const char* path, const char* tag = "");
  bool ReadPlanFile(long* pieces);
  bool PlanMatchesLines();
  bool WritePlanFile(long pieces);
  void FillFromLines();
  bool Analyse(long* pieces);
  // False when StopNow asked to stop.
  bool WriteBack();
  void Refill();
  void WriteNextNumber(long next);
  void CloseAll() { CloseAllTables(); }
  // Shows the path and the record count of a table walked record by record; returns the count.
  long ShowCount(Table& t, const std::string& path);

  RenumberObserver quiet_;
  RenumberObserver* obs_;
  RenumberResult r_;
};

long Run::ShowCount(Table& t, const std::string& path) {
  const long count = static_cast<long>(t.RecCount());
  obs_->SetLine(path);
  obs_->SetLine2(Count6(count) + LoadStr(3472));
  return count;
}

bool Run::OpenOrFail(Table* t, const char* path, const char* tag) {
  std::string p = path;
  if (t->OpenExclusive(p, tag)) return true;
  r_.outcome = RenumberOutcome::TableFailed;
  r_.failedTable = p;
  t->CloseTable(true);
  return false;
}

bool Run::ReadPlanFile(long* pieces) {
  std::ifstream in(platform::DiskPath(RenumberPlanPath()));
  if (!in) return false;
  long n = -1;
  in >> n;
  if (!in || n < 0 || n > kMaxPieceNumber) n = -1;
  *pieces = n;
  return true;
}

// The plan file is written whole (and flushed to disk) under another name and then
// renamed, so it either exists complete or not at all.
bool Run::WritePlanFile(long pieces) {
  return platform::WriteFileAtomic(RenumberPlanPath(), std::to_string(pieces) + "\n");
}

// A plan is only finished when C60 still holds it and every line carries
// either its old or its new number: after another run has rebuilt C60 (the
// dossier rebuild), the plan file is stale and is dropped.
bool Run::PlanMatchesLines() {
  Table& c60 = *TableC60;
  const long count = static_cast<long>(c60.RecCount());
  for (long rec = 1; rec <= count; ++rec) {
    if (!c60.GoTo(rec)) return false;
    obs_->Step();
    const std::string code = Field(c60, kTcode);
    const std::string planned = Field(c60, kTcg);
    const std::string file = Field(c60, kTfic);
    if (Field(c60, kTcle) != "Z" || !IsBlank(Field(c60, kTpiece)) || (file != "C" && file != "B")) return false;
    if (IsDistribution(code)) continue;
    if (planned.size() < 8 || planned.compare(6, 2, "  ") != 0) return false;
    for (int i = 0; i < 6; ++i)
      if (planned[i] < '0' || planned[i] > '9') return false;
    Table& line = file == "C" ? *TableC40 : *TableC50;
    const long lineRec = static_cast<long>(Val(Field(c60, kTrec).c_str()));
    if (lineRec <= 0 || !line.GoTo(lineRec)) continue;
    const std::string piece = Field(line, file == "C" ? kC40Piece : kC50Piece);
    if (piece != code.substr(0, 6) && piece != planned.substr(0, 6)) return false;
  }
  return true;
}

// Pass 1: C60 emptied, then one record per line of C40 and C50 with the
// line's current piece; cancelled lines give cancelled records.
void Run::FillFromLines() {
  Table& c60 = *TableC60;
  obs_->SetLine(PathC60());
  obs_->SetLine2("RAZ");
  c60.Zap();
  struct Source {
    Table* table;
    const char* file;
    int pieceField;
  };
  const Source sources[] = {{TableC40, "C", kC40Piece}, {TableC50, "B", kC50Piece}};
  for (const Source& s : sources) {
    Table& t = *s.table;
    const long count = ShowCount(t, t.tablePath);
    for (long rec = 1; rec <= count; ++rec) {
      if (!t.GoTo(rec)) break;
      obs_->Step();
      const std::string piece = Field(t, s.pieceField);
      const bool deleted = t.IsDeleted();
      c60.AppendBlank();
      c60.PutField(kTcle, "Z");
      c60.PutField(kTcode, piece.c_str());
      c60.PutField(kTfic, s.file);
      c60.PutField(kTrec, StrZero(rec, 0));
      if (!c60.InsertRecord()) continue;
      if (deleted) c60.DeleteRecord(nullptr, 0);
    }
  }
}

// Pass 2: in the order of the current numbers (tag C60CODE), every distinct
// piece text takes the next number; records of one text share it wherever
// they stand in the order.
bool Run::Analyse(long* pieces) {
  Table& c60 = *TableC60;
  obs_->SetLine(PathC60());
  obs_->SetLine2(LoadStr(3473));
  std::map<std::string, long> numbers;
  long counter = 0;
  bool tooMany = false;
  for (bool ok = c60.GoTop("C60CODE"); ok && !c60.eof; ok = c60.Skip(1)) {
    obs_->Step();
    const std::string code = Field(c60, kTcode);
    if (IsDistribution(code)) {
      SetField(c60, kTcg, kDistribution);
      continue;
    }
    const std::string key = Trimmed(code);
    auto found = numbers.find(key);
    long number;
    if (found != numbers.end()) {
      number = found->second;
    } else {
      number = ++counter;
      numbers.emplace(key, number);
    }
    if (number > kMaxPieceNumber) {
      tooMany = true;
      break;
    }
    SetField(c60, kTcg, StrZero(number, 0));
  }
  *pieces = counter;
  return !tooMany;
}

// Pass 3: the plan of C60, in physical order, onto the lines.
bool Run::WriteBack() {
  Table& c60 = *TableC60;
  const long count = ShowCount(c60, PathC60());
  for (long rec = 1; rec <= count; ++rec) {
    if (!c60.GoTo(rec)) break;
    obs_->Step();
    const std::string code = Field(c60, kTcode);
    const std::string planned = Field(c60, kTcg).substr(0, 6);
    if (IsDistribution(code) || IsBlank(planned)) continue;
    bool closed = false;
    long lineRec = 0;
    Table* line = LineOf(c60, &closed, &lineRec);
    if (line == nullptr) {
      ++r_.unreachable;
      continue;
    }
    const int field = closed ? kC40Piece : kC50Piece;
    if (Field(*line, field) != planned) {
      // A line left on its old number could share it with another piece: the
      // run stops with its plan kept, so that the next run finishes it.
      if (!line->PutField(field, planned.c_str())) {
        r_.outcome = RenumberOutcome::TableFailed;
        r_.failedTable = line->tablePath;
        return false;
      }
      ++r_.linesWritten;
      if (obs_->StopNow()) return false;
    }
  }
  return true;
}

// Pass 4: every C60 record filled again from its line, so C60 is an ordinary
// sort file; a record whose line cannot be read is cancelled.
void Run::Refill() {
  Table& c60 = *TableC60;
  const long count = ShowCount(c60, PathC60());
  for (long rec = 1; rec <= count; ++rec) {
    if (!c60.GoTo(rec)) break;
    obs_->Step();
    bool closed = false;
    long lineRec = 0;
    Table* line = LineOf(c60, &closed, &lineRec);
    if (line == nullptr) {
      if (!c60.IsDeleted()) c60.DeleteRecord(nullptr, 0);
      continue;
    }
    for (const RefillField& f : kRefill) SetField(c60, f.c60, Field(*line, closed ? f.c40 : f.c50));
    SetField(c60, kTfic, closed ? "C" : "B");
    SetField(c60, kTrec, StrZero(lineRec, 0));
  }
}

void Run::WriteNextNumber(long next) {
  r_.nextNumber = next;
  Table& c10 = *TableC10;
  if (!OpenOrFail(&c10, PathC10(), "C10CODE")) {
    r_.outcome = RenumberOutcome::Done;  // the lines are done; only the record is missing
    return;
  }
  if (!c10.Seek("C10CODE", "0") || c10.GetField(1)[0] != '0') return;
  ReadC10Texts();
  const std::string text = StrZero(next, 0);
  if (c10.PutFieldPart(kNextPieceField, kNextPieceOffset, kNextPieceWidth, text.c_str())) {
    r_.nextWritten = true;
    TheDossierRecord.SetNextPiece(next);
  }
}

RenumberResult Run::Go() {
  CloseAll();
  if (!OpenOrFail(TableC40, PathC40()) || !OpenOrFail(TableC50, PathC50()) ||
      !OpenOrFail(TableC60, PathC60())) {
    CloseAll();
    return r_;
  }
  // Sort records point at their lines through six digits: a larger table is refused first.
  for (Table* t : {TableC40, TableC50}) {
    if (static_cast<long>(t->RecCount()) <= kMaxLineRecords) continue;
    r_.outcome = RenumberOutcome::TooManyLines;
    r_.failedTable = platform::ResolvePath(t->tablePath);
    CloseAll();
    return r_;
  }
  const long lines = static_cast<long>(TableC40->RecCount() + TableC50->RecCount());

  // A plan left by a stopped run is finished first: its C60 still holds
  // every line's new number.
  long planned = -1;
  if (ReadPlanFile(&planned) && (planned < 0 || !PlanMatchesLines())) {
    // The lines carry old and new numbers mixed and the sort file no longer says which:
    // numbering them again would merge pieces. The plan stays; the backup made before the
    // run is the way back.
    r_.outcome = RenumberOutcome::PlanStale;
    r_.failedTable = RenumberPlanPath();
    CloseAll();
    return r_;
  }
  if (planned >= 0) {
    r_.resumed = true;
    obs_->SetTotal(6 * lines);
    if (!WriteBack()) {
      if (r_.outcome != RenumberOutcome::TableFailed) r_.outcome = RenumberOutcome::Stopped;
      CloseAll();
      return r_;
    }
    platform::RemoveFile(RenumberPlanPath());
  } else {
    obs_->SetTotal(4 * lines);
  }

  FillFromLines();
  long pieces = 0;
  if (!OpenOrFail(TableC60, PathC60(), "C60CODE")) {
    CloseAll();
    return r_;
  }
  const bool fits = Analyse(&pieces);
  if (!OpenOrFail(TableC60, PathC60())) {
    CloseAll();
    return r_;
  }
  r_.pieces = pieces;
  if (!fits) {
    // Nothing was written to the lines: only the sort file is put back.
    r_.outcome = RenumberOutcome::TooManyPieces;
    Refill();
    CloseAll();
    return r_;
  }
  if (!WritePlanFile(pieces)) {
    // Without the plan file a stop could not be recovered: write nothing.
    r_.outcome = RenumberOutcome::TableFailed;
    r_.failedTable = RenumberPlanPath();
    Refill();
    CloseAll();
    return r_;
  }
  if (!WriteBack()) {
    if (r_.outcome != RenumberOutcome::TableFailed) r_.outcome = RenumberOutcome::Stopped;
    CloseAll();
    return r_;
  }
  platform::RemoveFile(RenumberPlanPath());
  Refill();
  CloseAll();
  r_.outcome = RenumberOutcome::Done;
  WriteNextNumber(pieces + 1);
  CloseAll();
  return r_;
}

}  // namespace

std::string RenumberPlanPath() { return std::string(PathC60()) + LoadStr(3471); }

bool RenumberingPending() { return platform::FileExists(platform::ResolvePath(RenumberPlanPath())); }

std::string RenumberPendingMessage() {
  return "\n\n\nUne ReNum\xE9rotation des Pi\xE8" "ces a \xE9t\xE9 interrompue sur ce dossier.\n\n"
         "Relancez-la (Renum\xE9roter toutes les Pi\xE8" "ces) avant tout autre traitement:\n"
         "la ReConstruction et les traitements du dossier sont refus\xE9s jusque-l\xE0.\n\n\n";
}

RenumberResult RenumberPieces(RenumberObserver* observer) {
  Run run(observer);
  return run.Go();
}

// ---- the command -----------------------------------------------------------

namespace {

gui::Window* Owner() {
  if (gui::Window* w = gui::Window::FromHandle(MainWindowHandle)) return w;
  return CommandWindow;
}

// The progress window and the cursor while the run works.
class WindowObserver : public RenumberObserver {
 public:
  explicit WindowObserver(gui::Window* owner) : dialog_(owner, true), progress_(0, nullptr) {
    if (dialog_.Create()) {
      dialog_.SetCaption(LoadStr(3476) + std::string(RTrim(DossierCode.c_str())));
      dialog_.Show(gui::SW_SHOWNORMAL);
      dialog_.SetFocus();
      shown_ = true;
    }
  }
  ~WindowObserver() override { Close(); }
  void Close() {
    if (shown_) dialog_.Destroy();
    shown_ = false;
  }
  void SetLine(const std::string& text) override {
    if (shown_) dialog_.SetLine(text);
  }
  void SetLine2(const std::string& text) override {
    if (shown_) dialog_.SetLine2(text);
  }
  void SetTotal(long total) override { progress_.ProgressInit(total, shown_ ? &dialog_ : nullptr); }
  void Step() override { progress_.ProgressStep(++count_, true); }

 private:
  TDNuvModeless dialog_;
  Progress progress_;
  long count_ = 0;
  bool shown_ = false;
};

// Gives the dossier back and says so to the next command.
void GiveBack(bool beep) {
  CloseAllTables();
  ReleaseDossierExclusive();
  SetDossierState('2');
  if (beep) gui::MessageBeep(0);
}

}  // namespace

void CmRenumeroterPieces_Work() {
  gui::Window* owner = Owner();
  if (CommandWindow != nullptr && !CommandWindow->CloseChildren()) return;
  CloseAllTables();
  if (!OpenDossierExclusive(true)) return;
  SetDossierState('1');
  if (!TableC10->OpenExclusive(PathC10())) {
    GiveBack(true);
    return;
  }
  if (!AskSupportPassword()) {
    GiveBack(true);
    return;
  }
  CloseAllTables();
  gui::MessageBeep(0);
  if (gui::MessageBox(owner, LoadStr(3475), LoadStr(3474), gui::MB_YESNO | gui::MB_ICONSTOP) != gui::IDYES) {
    GiveBack(true);
    return;
  }

  RenumberResult result;
  {
    WindowObserver observer(owner);
    result = RenumberPieces(&observer);
    observer.Close();
  }
  GiveBack(false);
  gui::MessageBeep(0);
  switch (result.outcome) {
    case RenumberOutcome::Done:
      gui::MessageBox(owner, LoadStr(3477) + std::string(StrZero(result.nextNumber, 0)) + "\n\n\n", LoadStr(3474),
                      gui::MB_OK | gui::MB_ICONQUESTION);
      break;
    case RenumberOutcome::TooManyPieces:
      gui::MessageBox(owner, LoadStr(3478), LoadStr(3474), gui::MB_OK | gui::MB_ICONSTOP);
      break;
    case RenumberOutcome::TooManyLines:
      gui::MessageBox(owner, TooManyLinesMessage(result.failedTable), LoadStr(3474), gui::MB_OK | gui::MB_ICONSTOP);
      break;
    case RenumberOutcome::PlanStale:
      gui::MessageBox(owner,
                      "\n\n\nLa ReNum\xE9rotation interrompue ne peut pas \xEAtre reprise: les lignes ont chang\xE9 "
                      "depuis.\n\nRien n'a \xE9t\xE9 modifi\xE9. Restaurez la sauvegarde faite avant la "
                      "ReNum\xE9rotation,\npuis supprimez le fichier\n\n   " + result.failedTable + "\n\n\n",
                      LoadStr(3474), gui::MB_OK | gui::MB_ICONSTOP);
      break;
    case RenumberOutcome::TableFailed:
      gui::MessageBox(owner, LoadStr(3479) + result.failedTable + "\n\n\n", LoadStr(3474),
                      gui::MB_OK | gui::MB_ICONSTOP);
      break;
    case RenumberOutcome::Stopped:
      gui::MessageBox(owner, LoadStr(3480), LoadStr(3474), gui::MB_OK | gui::MB_ICONSTOP);
      break;
  }
}

void InstallMaintenance2Commands() {
  // "Utilitaires > Accès aux Fichiers > Renuméroter toutes les Pièces"
  SetCommandWork(20722, &CmRenumeroterPieces_Work);
  SetCommandWork(20725, &CmGestionDossiers_Work);  // "Utilitaires > Gestion des dossiers..."
}
