// Runs that change books killed half-way, as a crash stops them: a child process runs the run and
// kills itself before its n-th file write (the engine's write fault), for the run's writes in turn.
// The dossier is then opened as the user opens it, Yes answered to its first question: the
// interrupted run is named, finished or put back, and each table's live records (every field as
// text, memos whole, in physical order) equal as a whole those before the run or those after an
// uninterrupted one, each tag walking exactly the records it takes.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_structures.h"
#include "demo/dossier_demo.h"
#include "platform/dbase/fileio.h"
#include "platform/gui/modal_seam.h"
#include "runtime/xbase.h"
#include "support/dossier_fixture.h"
#include "support/other_process.h"

namespace test_support {

// The live records of a table (path without extension), each as its fields' texts joined by "|".
inline std::vector<std::string> LiveRecords(const std::string& path) {
  std::vector<std::string> out;
  Table t;
  if (!t.OpenShared(path, "", true)) return {"<" + path + " ne s'ouvre pas>"};
  for (bool more = t.GoTop() && t.SkipActive(false); more; more = t.SkipActive(true)) {
    std::string record;
    for (int f = 1; f <= t.FieldCount(); ++f) {
      const char type = t.FieldType(f);
      std::string text;
      if (type == 'M') t.GetMemoText(f, text);
      else if (type == 'C' || type == 'N') text = t.GetField(f);
      record += text + "|";
    }
    out.push_back(record);
  }
  return out;
}

// "" when every tag of `kind` walks the table's records once each (every record for a tag
// without condition); otherwise the first tag that does not, with what it walked.
inline std::string TagFault(const std::string& path, TableKind kind) {
  for (const TagDef& tag : TagsToBuild(kind, false)) {
    const std::string name(tag.name);
    Table t;
    if (!t.OpenShared(path, name, true)) return name + " ne s'ouvre pas";
    const std::uint32_t count = t.RecCount();
    std::vector<std::uint32_t> walked;
    for (bool more = t.GoTop(name); more && walked.size() <= count; more = t.Skip(1)) walked.push_back(t.recordNumber);
    std::sort(walked.begin(), walked.end());
    const bool once = std::adjacent_find(walked.begin(), walked.end()) == walked.end() &&
                      (walked.empty() || (walked.front() >= 1 && walked.back() <= count));
    if (!once || (tag.condition.empty() && walked.size() != count))
      return name + ": " + std::to_string(walked.size()) + " entr\xE9" "es pour " + std::to_string(count) +
             " enregistrements";
  }
  return "";
}


namespace killed_runs {
namespace fs = std::filesystem;
constexpr int kKilled = 128 + SIGKILL;
}  // namespace killed_runs

// Every table of a dossier as the kill tests compare it: its live records, and the fault of its
// tags ("" when each walks its records).
struct DossierState {
  std::map<std::string, std::vector<std::string>> records;
  std::map<std::string, std::string> tagFaults;
};

class KilledRunFixture : public DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    gui::ModalSeam::Reset();
  }
  void TearDown() override {
    Close();
    DossierFixture::TearDown();
  }
  static void Close() {
    CloseWindows();
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  }

  // The dossier folder made again from its copy `kept` (its marker and copies gone with it).
  static void Restore(const std::string& kept, const std::string& folder) {
    killed_runs::fs::remove_all(folder);
    killed_runs::fs::copy(kept, folder, killed_runs::fs::copy_options::recursive);
  }
  std::string Keep(const std::string& folder) {
    const std::string kept = root_ + "/kept-" + std::to_string(++kept_) + "/";
    killed_runs::fs::copy(folder, kept, killed_runs::fs::copy_options::recursive);
    return kept;
  }

  // `work` in a child killed before its nth file write, no table of this process open.
  static int RunKilled(long nth, const std::function<bool()>& work, long* writes = nullptr) {
    Close();
    return RunKilledAtWrite(nth, work, writes);
  }

  // Opens the dossier as the user does, Yes answered to its first question; true when that
  // question named an interrupted run.
  bool OpenNamingRun(const std::string& folder, const std::string& code) {
    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(folder, code), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES); });
    const bool named = ShownContains("Un traitement de ce dossier a \xE9t\xE9 interrompu");
    Close();
    return named;
  }

  static DossierState State(const std::string& folder, const std::string& code, const std::vector<TableKind>& kinds) {
    DossierState s;
    for (TableKind kind : kinds) {
      const std::string path = folder + TableBaseName(kind, code);
      s.records[path] = LiveRecords(path);
      s.tagFaults[path] = TagFault(path, kind);
    }
    return s;
  }

  // What the opening after a kill does with the run: finishes it, puts it back, or the tables
  // are looked at without an opening.
  enum class Opening { kFinishes, kPutsBack, kNone };

  // Kills `work` before each of its writes in turn; after each, the dossier of `folder` (opened:
  // the run named) holds, table by table, all of `before` or all of `after`.
  void KillAtEveryWrite(const std::string& folder, const std::string& code, const std::vector<TableKind>& kinds,
                        const std::function<bool()>& work, Opening opening) {
    const bool afterOnly = opening == Opening::kFinishes;
    const std::string kept = Keep(folder);
    const DossierState before = State(folder, code, kinds);
    long writes = 0;
    ASSERT_EQ(RunKilled(LONG_MAX, work, &writes), 0);
    const DossierState after = State(folder, code, kinds);
    ASSERT_NE(before.records, after.records) << "the run changes nothing";
    ASSERT_GT(writes, 1);
    for (long nth : Points(writes)) {
      SCOPED_TRACE("killed before write " + std::to_string(nth) + " of " + std::to_string(writes));
      Restore(kept, folder);
      ASSERT_EQ(RunKilled(nth, work), killed_runs::kKilled);
      // Killed before its marker was written (or once it was removed), the run had changed nothing
      // yet (or was done): nothing is named, the tables are as before (or as after).
      const bool marked = killed_runs::fs::exists(DossierRunMarkerFile(folder, code));
      if (opening != Opening::kNone) {
        const bool named = OpenNamingRun(folder, code);
        if (marked) {
          EXPECT_TRUE(named) << ShownTexts();
        }
      }
      const DossierState got = State(folder, code, kinds);
      // Without an opening, an index whose update was cut is left for the next writer to mend.
      if (opening != Opening::kNone) {
        for (const auto& [path, fault] : got.tagFaults) EXPECT_EQ(fault, "") << path;
      }
      for (const auto& [path, records] : got.records) {
        const bool isAfter = records == after.records.at(path);
        const bool isBefore = records == before.records.at(path);
        EXPECT_TRUE(isAfter || ((!afterOnly || !marked) && isBefore)) << path << " is neither before nor after the run";
      }
      // Every table on the same side.
      EXPECT_TRUE(got.records == after.records || ((!afterOnly || !marked) && got.records == before.records));
      if (opening != Opening::kNone) {
        EXPECT_FALSE(killed_runs::fs::exists(DossierRunMarkerFile(folder, code)));
        // No copies folder left behind.
        for (const auto& e : killed_runs::fs::directory_iterator(folder)) EXPECT_FALSE(e.is_directory()) << e.path();
      }
    }
  }
  // Every write of a short run; of a longer one the first and last ten and forty spread between.
  static std::vector<long> Points(long writes) {
    std::vector<long> points;
    for (long n = 1; n <= writes; ++n)
      if (writes <= 60 || n <= 10 || n > writes - 10 || (n - 10) % ((writes - 20) / 40 + 1) == 0) points.push_back(n);
    return points;
  }
  static std::string DossierRunMarkerFile(const std::string& folder, const std::string& code) {
    return folder + "c" + Lower(code.c_str()) + ".run";
  }

  int kept_ = 0;
};

}  // namespace test_support
