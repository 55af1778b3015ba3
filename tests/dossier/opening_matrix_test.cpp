// The kill and fault matrices over the opening's own work. Each run of the matrices is killed
// half-way through the changes it makes under its marker (a change of lines: under its note), so
// that the next opening has its part to do: the put-back from the copies, the run done again, an
// import's take-up, or the stopped change of lines finished or taken back. That opening
// (of every dossier of the run, as the user opens them, each question answered Yes) runs in a
// child process killed before one of its changes, or with one refused (ENOSPC or EIO once, a
// change part-written, every change refused from there on as by a disk remounted read-only), and
// the dossiers are then opened again as the user opens them and checked as the other matrices
// check theirs: each opens, its books pass the invariants and equal, every dossier alike, those
// before the run or after it (an import, run again as the user would, holds each transaction
// once), every tag walks its table's records, and nothing of the run or its put-back is left.
// Neither opening advises restoring a backup: the books could always be put in order; and an
// opening that a refused change kept closed says why, in the disk's words.
// The opening that finishes a stopped change of lines is also tried with its opens refused (too many
// files open, EMFILE): left with 0, 1, 2 ... free file handles, each open it keeps is refused in
// turn; one that kept the dossier closed says why, in those words.
// The changes of letters are also stopped at each of their writes and, before the opening, another
// station letters lines they named: the opening leaves that station's letters as it wrote them,
// whether it finishes the stopped change or takes it back, and names those lines in its sentence;
// the records before and after the change are then compared with that station's letters in them.
//
// The suite tries a sample of the opening's changes (the first two, the last twenty, twelve
// spread over the rest, and the ends of a pack), and of its opens (the last sixteen, where it
// finishes the change, and eight spread below); MERLON_KILL_MATRIX=full and
// MERLON_FAULT_MATRIX=full try every change and every open, "full:i/n" every n-th from the i-th,
// "points:5,17" the changes given.
#include <signal.h>

#include <fstream>
#include <map>
#include <optional>
#include <utility>

#include "kill_matrix.h"
#include "kill_matrix_fixture.h"
#include "runtime/text.h"
#include "support/file_handles.h"

namespace {

using namespace kill_matrix;
using platform::WriteFault;

constexpr int kKilled = 128 + SIGKILL;

// The advice to restore a backup, and what a box says of a refused change (the disk full, an
// error writing to it or reading from it, a disk read-only).
const char* const kRestoreAdvice = "restaurez la derni\xE8re sauvegarde";
const char* const kCauses[] = {"disque plein", "erreur d'\xE9" "criture sur le disque", "erreur de lecture sur le disque",
                               "en lecture seule"};
// What a box says of an open refused for too many files open.
const char* const kTooManyFiles = "trop de fichiers ouverts";

// The runs whose opening is still being mended, killed or under refused changes: their points are
// tried and reported, but do not fail the test. Each goes once it holds at every point of a full
// sweep.
const std::set<std::string> kKilledKnownFaulty = {};
const std::set<std::string> kRefusedKnownFaulty = {};

// The changes of the run made while a marker of one of its dossiers stands, or, for a change of
// lines, while its note says it is at work.
std::vector<std::string>& MarkerPaths() {
  static std::vector<std::string> paths;
  return paths;
}
std::vector<std::string>& NoteFolders() {
  static std::vector<std::string> folders;
  return folders;
}
std::vector<long>& MarkedWrites() {
  static std::vector<long> writes;
  return writes;
}
// A note of a change of lines begun and not yet said done in one of the note folders.
bool ChangeOfLinesAtWork() {
  for (const std::string& folder : NoteFolders())
    for (const auto& e : fs::directory_iterator(folder)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("lignes-", 0) != 0 || e.path().extension() != ".note") continue;
      std::ifstream note(e.path(), std::ios::binary);
      char start[8] = {};
      if (note.read(start, sizeof start) && std::string(start, sizeof start) == "en_cours") return true;
    }
  return false;
}
void NoteMarkedWrite() {
  bool marked = ChangeOfLinesAtWork();
  for (const std::string& marker : MarkerPaths()) marked = marked || fs::exists(marker);
  if (marked) MarkedWrites().push_back(dbase::WritesCounted() + 1);
}


// The sample of an opening's `total` changes: the first two, the last twenty, twelve spread over
// them, and the first and last change of each stretch of a pack.
std::vector<long> OpeningPoints(const RunWrites& w, const char* variable) {
  const char* mode = std::getenv(variable);
  if (mode != nullptr && (std::string(mode).rfind("full", 0) == 0 || std::string(mode).rfind("points:", 0) == 0))
    return Points(w, variable);
  std::set<long> points = {1, 2};
  for (long k = std::max(1L, w.total - 19); k <= w.total; ++k) points.insert(k);
  for (long i = 1; i < 12; ++i) points.insert(w.total * i / 12);
  for (std::size_t i = 0; i < w.pack.size(); ++i)
    if (i == 0 || i + 1 == w.pack.size() || w.pack[i - 1] + 1 != w.pack[i] || w.pack[i + 1] != w.pack[i] + 1)
      points.insert(w.pack[i]);
  std::vector<long> out;
  for (long k : points)
    if (k >= 1 && k <= w.total) out.push_back(k);
  return out;
}

class OpeningMatrixTest : public MatrixTest {
 protected:
  // Every dossier of the run opened as the user opens it, in this process: true when each opened;
  // *said gets what every opening showed.
  bool OpenEach(const MatrixRun& r, const std::string& root, std::string* said) {
    bool all = true;
    for (const MatrixDossier& d : r.dossiers) {
      std::string shown;
      all = OpenAsUser(root + d.folder + "/", d.code, &shown) && all;
      *said += shown;
    }
    return all;
  }

  // Where every run and opening of a point works: a run over two dossiers names the other one by
  // its folder in its marker.
  std::string Point() const { return root_ + "/point/"; }

  // Another station's writes over the run's dossiers at `root` (MatrixRun::meanwhile), in a child:
  // true when the run has none, or when they went through; *lines gets the lines it wrote.
  bool Meanwhile(const MatrixRun& r, const std::string& root, std::string* lines = nullptr) {
    if (r.meanwhile == nullptr) return true;
    std::string text;
    const int status = InChild([&](std::string* out) { return r.meanwhile(root, out); }, &text);
    if (lines != nullptr) *lines = text;
    return status == 0;
  }

  // The change before which the run is killed to leave the openings their work: half-way through
  // those it makes under its marker (among the last ones for a run sampled at its end). Also the
  // records after the uncut run.
  long StopPoint(const MatrixRun& r, const std::string& model, std::vector<DossierRecords>* after) {
    const std::vector<long> marked = MarkedChanges(r, model, after);
    if (marked.empty()) return 0;
    // A row whose other station owns its writes: the latest change from half-way down at which that
    // station still writes (a blank line is filled only until the stopped change cancelled it).
    if (r.ownsItsWrites) {
      for (std::size_t i = marked.size() / 2 + 1; i-- > 0;) {
        const bool stopped = Stop(r, model, marked[i]);
        bool wrote = false;
        for (const NumberedRecords& w : owned_.wrote) wrote = wrote || !w.empty();
        fs::remove_all(Point());
        if (stopped && wrote) return marked[i];
      }
      ADD_FAILURE() << r.title << ": the other station wrote nothing at any stop up to half-way";
      return 0;
    }
    return r.lastWrites > 0 ? marked[marked.size() - std::min<std::size_t>(marked.size(), 20)] : marked[marked.size() / 2];
  }

  // The changes the uncut run makes under its marker (a change of lines: under its note), and the
  // records after it (another station's writes made over them, when the run has some).
  std::vector<long> MarkedChanges(const MatrixRun& r, const std::string& model, std::vector<DossierRecords>* after) {
    const std::string done = root_ + "/after/";
    Copy(model, done);
    MarkerPaths().clear();
    NoteFolders().clear();
    for (const MatrixDossier& d : r.dossiers) {
      MarkerPaths().push_back(done + d.folder + "/c" + LowerAscii(d.code) + ".run");
      if (r.lineChange) NoteFolders().push_back(done + d.folder + "/");
    }
    std::string text;
    const int status = InChild(
                  [&](std::string* out) {
                    const bool ok = r.run(done, [] {
                      dbase::SetWriteFault(dbase::WriteFault::kKill, LONG_MAX);
                      dbase::BeforeFileChange = NoteMarkedWrite;
                    });
                    dbase::BeforeFileChange = nullptr;
                    for (long k : MarkedWrites()) *out += std::to_string(k) + " ";
                    return ok;
                  },
                  &text);
    EXPECT_EQ(status, 0) << r.title << ": the uncut run failed";
    std::vector<long> marked;
    std::istringstream in(text);
    for (long k; in >> k;) marked.push_back(k);
    EXPECT_FALSE(marked.empty()) << r.title << ": no change made under a marker";
    if (r.ownsItsWrites) {
      owned_.after = Numbered(r, done);
    } else {
      EXPECT_TRUE(Meanwhile(r, done)) << r.title << ": the other station's writes failed after the uncut run";
    }
    *after = Records(r, done);
    fs::remove_all(done);
    return marked;
  }

  // The model's run killed before its change `at`, in the point's folder, and another station's
  // writes made then when the run has some (*lines gets the lines it wrote). The stopped run is
  // made there afresh for each point: what it keeps names its files by their identity on the
  // disk, which a copy would not keep.
  // When that station owns its writes, the records they changed are kept, as they wrote them.
  bool Stop(const MatrixRun& r, const std::string& model, long at, std::string* lines = nullptr) {
    Copy(model, Point());
    std::string text;
    if (InChild([&](std::string*) { return r.run(Point(), [at] { dbase::SetWriteFault(dbase::WriteFault::kKill, at); }); },
                &text) != kKilled)
      return false;
    if (!r.ownsItsWrites) return Meanwhile(r, Point(), lines);
    const std::vector<NumberedRecords> stopped = Numbered(r, Point());
    const bool done = Meanwhile(r, Point(), lines);
    const std::vector<NumberedRecords> written = Numbered(r, Point());
    owned_.wrote.clear();
    owned_.follow.clear();
    for (std::size_t i = 0; i < written.size(); ++i) {
      owned_.wrote.push_back(ChangedRecords(stopped[i], written[i]));
      owned_.follow.push_back(SortRecordsOf(written[i], owned_.wrote.back()));
    }
    return done;
  }

  // What the opening left set against the records before and after the run, another station's own
  // records apart when it owns its writes.
  Opened OpenAndCompareOwned(const MatrixRun& r, const std::string& root, const std::vector<DossierRecords>& before,
                             const std::vector<DossierRecords>& after) {
    return OpenAndCompare(r, root, before, after, r.ownsItsWrites ? &owned_ : nullptr);
  }
  OwnedWrites owned_;

  // The openings uncut, their changes counted (those of a pack noted); *said gets what they showed
  // when one did not open.
  RunWrites CountOpening(const MatrixRun& r, const std::string& root, std::string* said) {
    RunWrites writes;
    std::string text;
    const int status = InChild(
        [&](std::string* out) {
          WatchedFolders() = Folders(r, root);
          dbase::SetWriteFault(dbase::WriteFault::kKill, LONG_MAX);
          dbase::BeforeFileChange = NoteWriteDuringPack;
          std::string said;
          const bool open = OpenEach(r, root, &said);
          dbase::BeforeFileChange = nullptr;
          *out = std::to_string(dbase::WritesCounted());
          for (long k : PackWrites()) *out += " " + std::to_string(k);
          if (!open) *out += " " + OneLine(said);
          return open;
        },
        &text);
    if (status != 0) *said = text;
    std::istringstream in(text);
    in >> writes.total;
    for (long k; in >> k;) writes.pack.push_back(k);
    return writes;
  }

  // One point: the openings killed before their change `k`, or with it refused; then the dossiers
  // opened again and checked. The faults found (empty when it held).
  // `handlesLeft` (not negative): the opening left with that many free file handles rather than
  // faulted at a change.
  std::vector<std::string> TryPoint(const MatrixRun& r, const std::string& model, long at, long k, WriteFault fault,
                                    const std::vector<DossierRecords>& before,
                                    const std::vector<DossierRecords>& after, int handlesLeft = -1) {
    std::vector<std::string> faults;
    const std::string root = Point();
    if (!Stop(r, model, at)) return {"the run was not killed before its change " + std::to_string(at)};
    std::string said;
    const int status = InChild(
        [&](std::string* out) {
          bool open = false;
          if (handlesLeft >= 0) {
            const test_support::FileHandlesLeft handles(handlesLeft);
            open = OpenEach(r, root, out);
          } else {
            platform::SetWriteFault(fault, k);
            open = OpenEach(r, root, out);
          }
          *out = platform::RefusedChange() + "\x1E" + *out;
          return open;
        },
        &said);
    const std::size_t mark = said.find('\x1E');
    const std::string refused = mark == std::string::npos ? "" : said.substr(0, mark);
    said = mark == std::string::npos ? said : said.substr(mark + 1);
    if (fault == WriteFault::kKill && status != kKilled)
      faults.push_back("the opening was not killed (exit status " + std::to_string(status) + ")");
    if (fault != WriteFault::kKill && status != 0 && status != 1)
      faults.push_back("the opening ended with exit status " + std::to_string(status));
    // Kept closed for want of file handles: said in those words.
    if (handlesLeft >= 0 && status == 1 && said.find(kTooManyFiles) == std::string::npos)
      faults.push_back("the opening stayed closed without the cause: " + OneLine(said));
    if (said.find(kRestoreAdvice) != std::string::npos)
      faults.push_back("the opening advised a restore: " + OneLine(said));
    // Kept closed by a refused change: said in the disk's words.
    if (status == 1 && !refused.empty()) {
      bool cause = false;
      for (const char* c : kCauses) cause = cause || said.find(c) != std::string::npos;
      if (!cause) faults.push_back("the opening stayed closed without the cause: " + OneLine(said));
    }

    const Opened o = OpenAndCompareOwned(r, root, before, after);
    faults.insert(faults.end(), o.faults.begin(), o.faults.end());
    if (!o.allBefore && !o.allAfter) faults.push_back("opened again: " + JoinFaults(o.sides));
    for (const std::string& f : TagsAndLeftovers(r, root)) faults.push_back(f);
    for (const std::string& f : RecordsDisagree(r, root)) faults.push_back(f);
    if (!faults.empty() && !refused.empty()) {
      std::string change = refused;
      const std::size_t folder = change.find(root);
      if (folder != std::string::npos) change.replace(folder, root.size(), "");
      faults.insert(faults.begin(), "(" + change + ")");
    }
    // MERLON_OPENING_MATRIX_KEEP=<folder>: the dossiers of each point that failed kept there, as
    // the faulted opening and the next one left them.
    if (const char* keep = std::getenv("MERLON_OPENING_MATRIX_KEEP"); keep != nullptr && !faults.empty())
      Copy(root, std::string(keep) + "/" + r.name + "-" + std::to_string(handlesLeft >= 0 ? handlesLeft : k) + "-" +
                     (handlesLeft >= 0 ? "EMFILE" : FaultName(fault)) + "/");
    fs::remove_all(root);
    return faults;
  }

  // The whole matrix of one run: the faults tried at each point of the sample (`faults` gives
  // them for the i-th point of `total`).
  // The model made, its records before and after the uncut run, and the change its run is stopped
  // before (0 when none was found).
  long PrepareStop(const MatrixRun& r, const std::string& model, std::vector<DossierRecords>* before,
                   std::vector<DossierRecords>* after) {
    *before = PrepareBefore(r, model);
    if (HasFatalFailure()) return 0;
    return StopPoint(r, model, after);
  }

  // The model made, and its records before the run (another station's writes made over them, when
  // the run has some).
  std::vector<DossierRecords> PrepareBefore(const MatrixRun& r, const std::string& model) {
    std::vector<DossierRecords> before = PrepareModel(r, model);
    if (r.ownsItsWrites) owned_.before = Numbered(r, model);
    if (HasFatalFailure() || r.meanwhile == nullptr || r.ownsItsWrites) return before;
    const std::string over = root_ + "/before-meanwhile/";
    Copy(model, over);
    EXPECT_TRUE(Meanwhile(r, over)) << r.title << ": the other station's writes failed before the run";
    before = Records(r, over);
    fs::remove_all(over);
    return before;
  }

  void Sweep(const MatrixRun& r, const char* variable, bool knownFaulty,
             const std::function<std::vector<WriteFault>(std::size_t, long, long)>& faults) {
    const std::string model = root_ + "/model/";
    std::vector<DossierRecords> before, after;
    const long at = PrepareStop(r, model, &before, &after);
    ASSERT_GT(at, 0);
    ASSERT_TRUE(Stop(r, model, at)) << r.title << ": the run was not killed before its change " << at;
    std::string said;
    const RunWrites writes = CountOpening(r, Point(), &said);
    fs::remove_all(Point());
    ASSERT_EQ(said, "") << r.title << ": the uncut opening did not open";
    ASSERT_GT(writes.total, 0) << r.title << ": the opening changed nothing";

    const std::vector<long> points = OpeningPoints(writes, variable);
    long tried = 0, held = 0;
    std::map<WriteFault, std::pair<long, long>> byFault;  // tried, held
    std::string report;
    for (std::size_t i = 0; i < points.size(); ++i)
      for (const WriteFault fault : faults(i, points[i], writes.total)) {
        ++tried;
        ++byFault[fault].first;
        const std::vector<std::string> found = TryPoint(r, model, at, points[i], fault, before, after);
        if (found.empty()) {
          ++held;
          ++byFault[fault].second;
          continue;
        }
        report += "  " + std::string(r.title) + ", opening " + FaultName(fault) + " at change " +
                  std::to_string(points[i]) + " of " + std::to_string(writes.total) + ": " + JoinFaults(found) + "\n";
      }
    std::string each;
    for (const auto& [fault, count] : byFault)
      each += std::string(each.empty() ? "" : ", ") + FaultName(fault) + " held " + std::to_string(count.second) +
              " of " + std::to_string(count.first);
    std::printf("%s, its opening after the run killed at its change %ld: %ld points tried, %ld held (of %ld changes; %s)%s\n%s",
                r.title, at, tried, held, writes.total, each.c_str(), knownFaulty ? " [known faulty]" : "",
                platform::Cp1252ToUtf8(report).c_str());
    std::fflush(stdout);
    if (!knownFaulty)
      EXPECT_EQ(held, tried) << platform::Cp1252ToUtf8(report);
    else if (held == tried)
      std::printf("%s holds at every point tried: its known-faulty mark can go\n", r.title);
  }
};

TEST_P(OpeningMatrixTest, KilledAtEveryChangeHolds) {
  Sweep(GetParam(), "MERLON_KILL_MATRIX", kKilledKnownFaulty.count(GetParam().name) != 0,
        [](std::size_t, long, long) { return std::vector<WriteFault>{WriteFault::kKill}; });
}

// The refusals tried at the i-th point of an opening of `total` changes: all four over a full
// sweep or the points named; over the sample ENOSPC and EIO in turn, the part-written change at
// each, and the lasting refusal over the last twenty changes.
std::vector<WriteFault> RefusalsAt(bool every, std::size_t i, long point, long total) {
  if (every) return {WriteFault::kFullOnce, WriteFault::kFailOnce, WriteFault::kPartOnce, WriteFault::kFailForGood};
  std::vector<WriteFault> faults = {i % 2 == 0 ? WriteFault::kFullOnce : WriteFault::kFailOnce, WriteFault::kPartOnce};
  if (point > total - 20) faults.push_back(WriteFault::kFailForGood);
  return faults;
}

TEST_P(OpeningMatrixTest, RefusedAtEveryChangeHolds) {
  const char* mode = std::getenv("MERLON_FAULT_MATRIX");
  const bool every =
      mode != nullptr && (std::string(mode).rfind("full", 0) == 0 || std::string(mode).rfind("points:", 0) == 0);
  Sweep(GetParam(), "MERLON_FAULT_MATRIX", kRefusedKnownFaulty.count(GetParam().name) != 0,
        [every](std::size_t i, long point, long total) { return RefusalsAt(every, i, point, total); });
}

// The opening that finishes a stopped change of lines, left with few free file handles.
class OpeningOpensMatrixTest : public OpeningMatrixTest {
 protected:
  // The run stopped before its change `at` and the dossiers opened with `left` free file handles:
  // true when every one opened.
  bool OpensWith(const MatrixRun& r, const std::string& model, long at, int left) {
    if (!Stop(r, model, at)) return false;
    std::string said;
    const int status = InChild(
        [&](std::string* out) {
          const test_support::FileHandlesLeft handles(left);
          return OpenEach(r, Point(), out);
        },
        &said);
    fs::remove_all(Point());
    return status == 0;
  }
};

TEST_P(OpeningOpensMatrixTest, EveryOpenRefusedHolds) {
  const MatrixRun& r = GetParam();
  const std::string model = root_ + "/model/";
  std::vector<DossierRecords> before, after;
  const long at = PrepareStop(r, model, &before, &after);
  ASSERT_GT(at, 0);
  // The fewest free handles with which the openings go through, by halves: the opens refused below
  // it are those the openings keep, the finish's last.
  int fails = 0, opens = 512;
  ASSERT_TRUE(OpensWith(r, model, at, opens)) << r.title << ": the opening does not open with " << opens << " handles";
  while (opens - fails > 1) {
    const int mid = (fails + opens) / 2;
    (OpensWith(r, model, at, mid) ? opens : fails) = mid;
  }
  const char* mode = std::getenv("MERLON_FAULT_MATRIX");
  const bool every = mode != nullptr && std::string(mode).rfind("full", 0) == 0;
  std::set<int> points;
  for (int left = std::max(0, opens - 16); left < opens; ++left) points.insert(left);
  for (int i = 0; i < 8; ++i) points.insert(opens * i / 8);
  if (every)
    for (int left = 0; left < opens; ++left) points.insert(left);
  long held = 0;
  std::string report;
  for (const int left : points) {
    const std::vector<std::string> found = TryPoint(r, model, at, 0, WriteFault::kNone, before, after, left);
    if (found.empty()) {
      ++held;
      continue;
    }
    report += "  " + std::string(r.title) + ", opening with " + std::to_string(left) + " free file handles of " +
              std::to_string(opens) + ": " + JoinFaults(found) + "\n";
  }
  std::printf("%s, its opening after the run killed at its change %ld, its opens refused (EMFILE): %zu points tried, "
              "%ld held (it opens with %d free file handles)\n%s",
              r.title, at, points.size(), held, opens, platform::Cp1252ToUtf8(report).c_str());
  std::fflush(stdout);
  EXPECT_EQ(held, static_cast<long>(points.size())) << platform::Cp1252ToUtf8(report);
}

// The changes of letters stopped at each of their writes under their note, another station then
// lettering lines the change named: the opening finishes or takes back the stopped change over what
// that station wrote, which stays as it wrote it, and names those lines in its sentence. A row whose
// other station owns its writes (a line cancelled, rewritten or filled there) has those records
// compared with what it wrote, the others with those before and after the change.
class OpeningOverAnotherStationTest : public OpeningMatrixTest {};

TEST_P(OpeningOverAnotherStationTest, EveryStopFinishedOverTheOtherStation) {
  const MatrixRun& r = GetParam();
  const std::string model = root_ + "/model/";
  std::vector<DossierRecords> after;
  const std::vector<DossierRecords> before = PrepareBefore(r, model);
  ASSERT_FALSE(HasFatalFailure());
  const std::vector<long> marked = MarkedChanges(r, model, &after);
  ASSERT_FALSE(marked.empty());
  long held = 0, written = 0;
  std::string report;
  for (const long at : marked) {
    std::vector<std::string> faults;
    std::string lines, said;
    if (!Stop(r, model, at, &lines)) faults.push_back("the run was not killed, or the other station's writes failed");
    if (InChild([&](std::string* out) { return OpenEach(r, Point(), out); }, &said) != 0)
      faults.push_back("the opening did not open: " + OneLine(said));
    std::istringstream named(lines);
    long count = 0;
    for (std::string line; std::getline(named, line);) {
      if (line.empty()) continue;
      ++count;
      if (said.find(line) == std::string::npos) faults.push_back("the opening did not name " + line + ": " + OneLine(said));
    }
    // A station that owns its writes may write no record the stopped change named (a line's amount
    // under a change of marks, which writes its sort record alone; a blank line the stopped change
    // had cancelled already, left unfilled): there is then nothing for the opening to name.
    if (count == 0 && !r.ownsItsWrites) faults.push_back("the other station wrote no line the stopped change named");
    bool wrote = false;
    for (const NumberedRecords& w : owned_.wrote) wrote = wrote || !w.empty();
    if (r.ownsItsWrites && wrote) ++written;
    const Opened o = OpenAndCompareOwned(r, Point(), before, after);
    faults.insert(faults.end(), o.faults.begin(), o.faults.end());
    if (!o.allBefore && !o.allAfter) faults.push_back("opened again: " + JoinFaults(o.sides));
    for (const std::string& f : TagsAndLeftovers(r, Point())) faults.push_back(f);
    fs::remove_all(Point());
    if (faults.empty()) {
      ++held;
      continue;
    }
    report += "  " + std::string(r.title) + ", killed before its change " + std::to_string(at) + ": " +
              JoinFaults(faults) + "\n";
  }
  std::printf("%s, stopped at each of its %zu changes under its note, the other station's writes made, then "
              "opened: %ld held%s\n%s",
              r.title, marked.size(), held,
              r.ownsItsWrites ? (" (that station wrote at " + std::to_string(written) + " of them)").c_str() : "",
              platform::Cp1252ToUtf8(report).c_str());
  std::fflush(stdout);
  EXPECT_EQ(held, static_cast<long>(marked.size())) << platform::Cp1252ToUtf8(report);
  // A station that owns its writes writes at one stop at least: otherwise the row tries nothing of it.
  if (r.ownsItsWrites) EXPECT_GT(written, 0) << r.title << ": the other station wrote nothing at any stop";
}

INSTANTIATE_TEST_SUITE_P(Runs, OpeningMatrixTest, ::testing::ValuesIn(Runs()),
                         [](const ::testing::TestParamInfo<MatrixRun>& info) { return std::string(info.param.name); });
// The changes of lines, stopped half-way through the writes they make under their note: the next
// opening finishes them or takes them back.
INSTANTIATE_TEST_SUITE_P(LineChanges, OpeningMatrixTest, ::testing::ValuesIn(LineChangeRuns()),
                         [](const ::testing::TestParamInfo<MatrixRun>& info) { return std::string(info.param.name); });
// The changes of letters stopped half-way, another station's letters written over their lines before
// the opening.
INSTANTIATE_TEST_SUITE_P(OtherStation, OpeningMatrixTest, ::testing::ValuesIn(OtherStationRuns()),
                         [](const ::testing::TestParamInfo<MatrixRun>& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(OtherStation, OpeningOverAnotherStationTest, ::testing::ValuesIn(OtherStationRuns()),
                         [](const ::testing::TestParamInfo<MatrixRun>& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(LineChanges, OpeningOpensMatrixTest, ::testing::ValuesIn(LineChangeRuns()),
                         [](const ::testing::TestParamInfo<MatrixRun>& info) { return std::string(info.param.name); });

}  // namespace
