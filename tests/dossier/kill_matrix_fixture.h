// The fixture the kill and fault matrices share: a run's model dossiers made once, its uncut run
// counted, each point's run in a child process, and the dossiers then opened as the user opens
// them and checked (kill_matrix.h).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "data/table_structures.h"
#include "kill_matrix.h"
#include "platform/dbase/fileio.h"
#include "platform/gui/dialog.h"
#include "platform/gui/modal_seam.h"
#include "runtime/xbase.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/write_fault.h"
#include "processing/bank_commands.h"
#include "processing/matching_windows.h"
#include "processing/year_end_forms.h"
#include "reports/balances/balance_sheet_commands.h"
#include "support/dossier_fixture.h"
#include "support/other_process.h"

namespace kill_matrix {

namespace fs = std::filesystem;

// The writes of a run that went through, numbered from 1, those made while a ".pack" file stood
// in one of its dossiers' folders (the pack of a table being written or renamed), those that
// write a file beside the tables (a log, an import's identities or totals journal, a marker), and
// the first write of each file (where a run refused there has written nothing else of it).
struct RunWrites {
  long total = 0;
  long reads = 0;  // the reads of its files, counted apart (write_fault.h)
  std::vector<long> pack;
  std::vector<long> besideTables;
  std::vector<long> firstOfFile;
};

// The pack writes as ranges "120-180, 300-310".
inline std::string Ranges(const std::vector<long>& writes) {
  std::string text;
  for (std::size_t i = 0; i < writes.size();) {
    std::size_t j = i;
    while (j + 1 < writes.size() && writes[j + 1] == writes[j] + 1) ++j;
    text += (text.empty() ? "" : ", ") + std::to_string(writes[i]) + (j > i ? "-" + std::to_string(writes[j]) : "");
    i = j + 1;
  }
  return text;
}

// The writes tried, as the environment's `variable` says (MERLON_KILL_MATRIX): every one ("full"),
// every n-th from the i-th ("full:i/n", to share a full sweep between processes), those named
// ("points:5,17"), or a sample: every one of the last `lastWrites` when given; else the first two
// and the last sixty, sixteen spread over the run, four over its last tenth (where the runs put
// their tables in place and remove their copies), and over the pack: the first and last write of
// each stretch and sixteen spread over them.
inline std::vector<long> Points(const RunWrites& w, const char* variable, long lastWrites = 0) {
  const long total = w.total;
  std::set<long> points;
  const char* mode = std::getenv(variable);
  const std::string m = mode == nullptr ? "" : mode;
  if (m.rfind("full", 0) == 0) {
    long part = 1, parts = 1;
    if (m.size() > 5 && std::sscanf(m.c_str() + 5, "%ld/%ld", &part, &parts) != 2) part = parts = 1;
    for (long k = 1; k <= total; ++k)
      if (parts < 1 || (k - 1) % parts == part - 1) points.insert(k);
  } else if (m.rfind("points:", 0) == 0) {
    for (std::size_t at = 7; at < m.size();) {
      std::size_t end = m.find(',', at);
      if (end == std::string::npos) end = m.size();
      points.insert(std::atol(m.substr(at, end - at).c_str()));
      at = end + 1;
    }
  } else if (lastWrites > 0) {
    for (long k = std::max(1L, total - lastWrites + 1); k <= total; ++k) points.insert(k);
  } else {
    points = {1, 2};
    // The last sixty: the runs write their indexes back and remove their marker and copies
    // there; a refusal there is what would leave a finished run to be put back or a tag short.
    for (long k = std::max(1L, total - 59); k <= total; ++k) points.insert(k);
    for (long i = 1; i < 16; ++i) points.insert(total * i / 16);
    for (long i = 1; i <= 4; ++i) points.insert(total - total * i / 40);
    const std::vector<long>& pack = w.pack;
    for (std::size_t i = 0; i < pack.size(); ++i)
      if (i == 0 || i + 1 == pack.size() || pack[i - 1] + 1 != pack[i] || pack[i + 1] != pack[i] + 1)
        points.insert(pack[i]);
    for (std::size_t i = 0; i < 16 && !pack.empty(); ++i) points.insert(pack[i * pack.size() / 16]);
  }
  std::vector<long> out;
  for (long k : points)
    if (k >= 1 && k <= total) out.push_back(k);
  return out;
}

// The folders the uncut run's writes are watched in, and the writes made with a pack file there.
inline std::vector<std::string>& WatchedFolders() {
  static std::vector<std::string> folders;
  return folders;
}
inline std::vector<long>& PackWrites() {
  static std::vector<long> writes;
  return writes;
}
inline std::vector<long>& WritesBesideTables() {
  static std::vector<long> writes;
  return writes;
}
inline std::vector<long>& FirstWritesOfFiles() {
  static std::vector<long> writes;
  return writes;
}
// A write into a file of a watched folder itself that is none of a table's files.
inline bool WritesBesideTables(const std::string& change) {
  if (change.rfind("write ", 0) != 0) return false;
  const fs::path file = change.substr(6);
  const std::string ext = file.extension().string();
  if (ext == ".dbf" || ext == ".dbt" || ext == ".mdx" || ext == ".pack") return false;
  std::error_code ec;
  for (const std::string& folder : WatchedFolders())
    if (fs::weakly_canonical(fs::path(folder).parent_path(), ec) == fs::weakly_canonical(file.parent_path(), ec))
      return true;
  return false;
}
inline void NoteWriteDuringPack() {
  const std::string& change = platform::ChangeBeingMade();
  if (WritesBesideTables(change)) WritesBesideTables().push_back(dbase::WritesCounted() + 1);
  static std::set<std::string> written;
  if (change.rfind("write ", 0) == 0 && written.insert(change).second)
    FirstWritesOfFiles().push_back(dbase::WritesCounted() + 1);
  for (const std::string& folder : WatchedFolders())
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().filename().string().find(".pack") != std::string::npos) {
        PackWrites().push_back(dbase::WritesCounted() + 1);
        return;
      }
}

inline std::string JoinFaults(const std::vector<std::string>& faults) {
  std::string all;
  for (const std::string& f : faults) all += (all.empty() ? "" : " | ") + f;
  return all;
}

// What the opening of a run's dossiers and the user's next step (the import again) left.
struct Opened {
  bool named = false;  // a stopped run was named (at the opening, or by the run again)
  bool namedAtOpening = false;  // a stopped run was named by the opening
  // An import: right after the opening, before it is run again, every dossier as after the run,
  // or every one as before it.
  bool afterAtOpening = false, beforeAtOpening = false;
  std::vector<std::string> faults;  // dossiers that did not open, a run again that failed
  bool allBefore = false, allAfter = false;  // every dossier as before the run, or every one as after
  std::vector<std::string> sides;  // what differs, dossier by dossier, when neither holds
  std::vector<std::string> sidesAtOpening;  // an import: what differs from before, right after the opening
};

// A row whose other station owns its writes (MatrixRun::ownsItsWrites): every dossier's records
// before and after the run, by number, without that station's writes; those it wrote at the point
// tried, as right after its writes; and the sort records of the lines it wrote, whose letters follow
// their line as the finish leaves it (the invariants check them against it), compared without them.
struct OwnedWrites {
  std::vector<NumberedRecords> before, after, wrote, follow;
};

class MatrixTest : public DossierOpenTest, public ::testing::WithParamInterface<MatrixRun> {
 protected:
 protected:
  void SetUp() override {
    DossierOpenTest::SetUp();
    // What the opening does with a stopped run, as the program installs it: the put-backs of the
    // opening balances, the merge, the separation, the letter operations and the balance-sheet
    // computation, the end of a code copy, and the finish of a stopped import.
    InstallYearEndCommands();
    InstallMatchingCommands();
    InstallBalanceSheetCommands();
    InstallBankCommands();
  }
  void TearDown() override {
    CloseOpenDossier();
    DossierOpenTest::TearDown();
  }

  void CloseOpenDossier() {
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    SetDossier("", "");
  }

  // `work` in a child process, this process's dossier closed first: the child's exit status
  // (kKilled when the write fault killed it); *text gets what the child wrote (a short text).
  int InChild(const std::function<bool(std::string*)>& work, std::string* text) {
    CloseOpenDossier();
    return kill_matrix::InChildSaying(work, text);
  }


  // The run uncut, its writes counted and those of its packs noted: its exit status.
  int RunUncut(const MatrixRun& r, const std::string& root, RunWrites* writes) {
    std::string text;
    const int status = InChild(
        [&](std::string* out) {
          WatchedFolders() = Folders(r, root);
          const bool ok = r.run(root, [] {
            dbase::SetWriteFault(dbase::WriteFault::kKill, LONG_MAX);
            dbase::BeforeFileChange = NoteWriteDuringPack;
          });
          dbase::BeforeFileChange = nullptr;
          *out = std::to_string(dbase::WritesCounted()) + " " + std::to_string(platform::ReadsCounted());
          for (long k : PackWrites()) *out += " " + std::to_string(k);
          *out += " /";
          for (long k : WritesBesideTables()) *out += " " + std::to_string(k);
          *out += " /";
          for (long k : FirstWritesOfFiles()) *out += " " + std::to_string(k);
          return ok;
        },
        &text);
    std::istringstream in(text);
    in >> writes->total >> writes->reads;
    for (long k; in >> k;) writes->pack.push_back(k);
    in.clear();
    in.ignore(2);
    for (long k; in >> k;) writes->besideTables.push_back(k);
    in.clear();
    in.ignore(2);
    for (long k; in >> k;) writes->firstOfFile.push_back(k);
    return status;
  }


  // Opens the dossier through "Ouvrir dossier", every question answered Yes: true when it opened.
  // *said gets the captions and texts shown.
  // The euro rate's field of the conversion's dialog.
  static constexpr int kEuroRateItem = 1202;

  bool OpenAsUser(const std::string& folder, const std::string& code, std::string* said) {
    said->clear();
    // A dossier of an older format is converted as the opening offers it, at the euro's rate (after
    // the question on a stopped run, if any); the opening stops there, and the user opens it again.
    for (int attempt = 0; attempt < 3; ++attempt) {
      CloseOpenDossier();
      gui::ModalSeam::Reset();
      // A stopped conversion is put back first: the dossier is then of its older format again.
      std::string marker;
      const bool stopped = platform::ReadWholeFile(folder + "c" + Lower(code.c_str()) + ".run", marker);
      const bool older = OlderFormat(folder, code).value_or(false) || marker.find("traitement=conversion") != std::string::npos;
      OpenThroughDialog(C10Path(folder, code), [older, stopped] {
        if (older) {
          if (stopped) gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
          gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
          gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
          gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
            static_cast<gui::Dialog&>(w).SetItemText(kEuroRateItem, "6.55957");
          });
        }
        for (int i = 0; i < 6; ++i) gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      });
      *said += ShownTexts();
      const bool open = DossierFolder == folder && DossierLockTable->isOpen;
      CloseOpenDossier();
      if (open) return true;
      if (!older) return false;
      *said += "|";
    }
    return false;
  }

  // Whether what was shown or said names a stopped run, or a conversion still to be made (which
  // the opening offers of a dossier of an older format, its failed conversion put back).
  static bool NamesStoppedRun(const std::string& said) {
    return said.find("nterromp") != std::string::npos || said.find("arr\xEAt\xE9") != std::string::npos ||
           said.find("La CONVERSION de ce dossier") != std::string::npos;
  }

  std::vector<std::string> Folders(const MatrixRun& r, const std::string& root) {
    std::vector<std::string> folders;
    for (const MatrixDossier& d : r.dossiers) folders.push_back(root + d.folder + "/");
    return folders;
  }

  std::vector<NumberedRecords> Numbered(const MatrixRun& r, const std::string& root) {
    std::vector<NumberedRecords> records;
    for (const std::string& f : Folders(r, root)) records.push_back(ReadNumberedRecords(f, r.ignored, r.lineChange));
    return records;
  }

  std::vector<DossierRecords> Records(const MatrixRun& r, const std::string& root) {
    std::vector<DossierRecords> records;
    for (const std::string& f : Folders(r, root)) records.push_back(ReadRecords(f, r.ignored, r.lineChange));
    return records;
  }

  // Every dossier holds the records of `side` (RecordDifference).
  static bool AllAs(const std::vector<DossierRecords>& got, const std::vector<DossierRecords>& side) {
    bool all = got.size() == side.size();
    for (std::size_t i = 0; all && i < got.size(); ++i) all = RecordDifference(got[i], side[i]).empty();
    return all;
  }

  // The faults of a world after a run: its tags, its leftovers, and the rules between its lines
  // and their sort records, headers and totals when the dossiers kept them before the run.
  std::vector<std::string> TagsAndLeftovers(const MatrixRun& r, const std::string& root) {
    std::vector<std::string> faults;
    for (const MatrixDossier& d : r.dossiers) {
      const std::string folder = root + d.folder + "/";
      if (invariantsHeld_.count(d.code) != 0) {
        SetDossier(folder, d.code);
        DossierInvariants check;
        if (!check.Check()) {
          std::string first;
          for (std::size_t i = 0; i < check.Faults().size() && i < 3; ++i) first += (i ? " / " : "") + check.Faults()[i];
          faults.push_back(std::string(d.code) + ": " + std::to_string(check.FaultCount()) + " invariant faults: " +
                           OneLine(first));
        }
        SetDossier("", "");
      }
      for (const std::string& f : TagFaults(folder, root_ + "/scratch"))
        faults.push_back(std::string(d.code) + ": " + f);
      for (const std::string& f : Leftovers(folder, d.code)) faults.push_back(std::string(d.code) + ": " + f);
    }
    return faults;
  }

  // What the run's records beside the books say against the books (MatrixRun::recordsAgree).
  std::vector<std::string> RecordsDisagree(const MatrixRun& r, const std::string& root) {
    if (r.recordsAgree == nullptr) return {};
    std::string why;
    if (InChild([&](std::string* out) { return r.recordsAgree(root, out); }, &why) == 0) return {};
    return {"the records beside the books disagree with them: " + OneLine(why)};
  }

  // The dossiers whose invariants held before the run, and their pieces that did not balance.
  std::set<std::string> invariantsHeld_;
  std::map<std::string, long> unbalancedBefore_;

  // The live records of table `name` of `got` are among those of `expected` (as many times at most).
  static bool Within(const DossierRecords& got, const DossierRecords& expected, const std::string& name) {
    static const TableRecords none;
    const auto g = got.find(name), e = expected.find(name);
    TableRecords a = g == got.end() ? none : g->second;
    const TableRecords& b = e == expected.end() ? none : e->second;
    std::erase_if(a, [](const std::string& r) { return !r.empty() && r[0] == kCancelledMark; });
    return std::includes(b.begin(), b.end(), a.begin(), a.end());
  }

  static void Copy(const std::string& from, const std::string& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
  }

  // The model's dossiers made and read: their records before the run, and which keep the
  // invariants (the others are named, and not checked after the runs).
  std::vector<DossierRecords> PrepareModel(const MatrixRun& r, const std::string& model) {
    fs::create_directories(model);
    r.prepare(model);
    CloseOpenDossier();
    const std::vector<DossierRecords> before = Records(r, model);
    for (const MatrixDossier& d : r.dossiers) {
      unbalancedBefore_[d.code] = UnbalancedPieces(model + d.folder + "/", d.code);
      SetDossier(model + d.folder + "/", d.code);
      DossierInvariants check;
      if (check.Check())
        invariantsHeld_.insert(d.code);
      else
        std::printf("%s: %s breaks the invariants before the run, not checked: %s\n", r.title, d.code,
                    platform::Cp1252ToUtf8(OneLine(check.Report())).c_str());
    }
    SetDossier("", "");
    return before;
  }

  // Every dossier of the run at `root` opened as the user opens it, the import then run again
  // when the run has one, and what they hold set against the records before and after the run.
  // With `owned`: the records another station wrote each as it wrote them, and the others set
  // against the records before and after the run (`before` and `after` then unused).
  Opened OpenAndCompare(const MatrixRun& r, const std::string& root, const std::vector<DossierRecords>& before,
                        const std::vector<DossierRecords>& after, const OwnedWrites* owned = nullptr) {
    Opened o;
    for (const MatrixDossier& d : r.dossiers) {
      std::string said;
      const bool open = OpenAsUser(root + d.folder + "/", d.code, &said);
      o.namedAtOpening = o.namedAtOpening || NamesStoppedRun(said);
      if (!open) o.faults.push_back(std::string(d.code) + " does not open: " + OneLine(said));
    }
    o.named = o.namedAtOpening;
    if (r.retry != nullptr) {
      // Opened, before the import is run again: the books whole, every piece in the draft once
      // and balanced, nothing left of the run but what the import run again needs.
      for (const std::string& f : TagsAndLeftovers(r, root)) o.faults.push_back("right after the opening: " + f);
      const std::vector<DossierRecords> opened = Records(r, root);
      o.afterAtOpening = o.beforeAtOpening = true;
      for (std::size_t i = 0; i < opened.size(); ++i) {
        const std::string code = r.dossiers[i].code;
        o.afterAtOpening = o.afterAtOpening && RecordDifference(opened[i], after[i]).empty();
        const std::string changed = RecordDifference(opened[i], before[i]);
        o.beforeAtOpening = o.beforeAtOpening && changed.empty();
        if (!changed.empty()) o.sidesAtOpening.push_back(code + ": " + changed);
        const long unbalanced = UnbalancedPieces(root + r.dossiers[i].folder + "/", code);
        if (unbalanced != unbalancedBefore_[code])
          o.faults.push_back("right after the opening: " + code + ": " + std::to_string(unbalanced) +
                             " unbalanced pieces, " + std::to_string(unbalancedBefore_[code]) + " before the run");
        const std::string draft = TableBaseName(TableKind::C50, code) + ".dbf";
        if (!Within(opened[i], after[i], draft))
          o.faults.push_back("right after the opening: " + code + ": draft lines that the run does not write");
      }
    }
    if (r.retry != nullptr) {
      std::string said;
      const int again = InChild([&](std::string* out) { return r.retry(root, out); }, &said);
      o.named = o.named || NamesStoppedRun(said);
      if (again != 0) o.faults.push_back("run again: exit status " + std::to_string(again) + ": " + OneLine(said));
    }
    std::vector<DossierRecords> now, was = before, then = after;
    if (owned == nullptr) {
      now = Records(r, root);
    } else {
      const std::vector<NumberedRecords> numbered = Numbered(r, root);
      was.clear();
      then.clear();
      for (std::size_t i = 0; i < numbered.size() && i < owned->wrote.size(); ++i) {
        const NumberedRecords& wrote = owned->wrote[i];
        const NumberedRecords& follow = owned->follow[i];
        now.push_back(RecordsLeavingOut(LettersBlanked(numbered[i], follow), wrote));
        was.push_back(RecordsLeavingOut(LettersBlanked(owned->before[i], follow), wrote));
        then.push_back(RecordsLeavingOut(LettersBlanked(owned->after[i], follow), wrote));
        for (const auto& [name, records] : wrote)
          for (const auto& [recno, text] : records) {
            const auto table = numbered[i].find(name);
            const auto got = table == numbered[i].end() ? NumberedTable::const_iterator() : table->second.find(recno);
            if (table == numbered[i].end() || got == table->second.end())
              o.faults.push_back(std::string(r.dossiers[i].code) + ": " + name + ": the other station's record " +
                                 std::to_string(recno) + " is gone");
            else if (got->second != text)
              o.faults.push_back(std::string(r.dossiers[i].code) + ": " + name + ": the other station's record " +
                                 std::to_string(recno) + " written over");
          }
      }
    }
    o.allBefore = o.allAfter = true;
    for (std::size_t i = 0; i < now.size(); ++i) {
      const std::string b = RecordDifference(now[i], was[i]);
      const std::string a = RecordDifference(now[i], then[i]);
      o.allBefore = o.allBefore && b.empty();
      o.allAfter = o.allAfter && a.empty();
      const std::string code = r.dossiers[i].code;
      if (b.empty() || a.empty())
        o.sides.push_back(code + (b.empty() ? " as before" : " as after"));
      else
        o.sides.push_back(code + " is neither as before nor as after [against before: " + b + "] [against after: " + a +
                          "]");
    }
    return o;
  }
};

}  // namespace kill_matrix
