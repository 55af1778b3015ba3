// Writers killed before one of their file changes (every change on a small table, random
// ones on a large one). Another process then finds every committed record once and every
// tag holding exactly its records: the index is rebuilt when that process can have the table
// alone, and writes are refused with their message while another station holds it open.
// Checked with the engine, with XBase::Index (the library index_dump runs) and with
// python3-dbfread.
#include <signal.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "dbase/fileio.h"
#include "dbase/mdx.h"
#include "dbase_test_util.h"

namespace dbase_test {
namespace {

struct Rec {
  std::string code, name;
  bool deleted = false;
  bool operator==(const Rec&) const = default;
};
using Model = std::vector<Rec>;  // record n at n - 1

std::string Pad(const std::string& s, std::size_t n) { return (s + std::string(n, ' ')).substr(0, n); }

// The table's tags and the key each gives a record ("" = no entry). Names hold capitals,
// digits and blanks only, so byte order is key order.
struct TagRule {
  const char* name;
  const char* expr;
  const char* cond;
  std::string (*key)(const Rec&);
};
const TagRule kTags[] = {
    {"CODE", "CODE", "", [](const Rec& r) { return Pad(r.code, 8); }},
    {"NAME", "UPPER(NAME)", "LEN(TRIM(NAME))>0",
     [](const Rec& r) { return r.name.empty() ? std::string() : Pad(r.name, 12); }},
    {"BOTH", "NAME+CODE", "", [](const Rec& r) { return Pad(r.name, 12) + Pad(r.code, 8); }},
};
const RecordLayout kLayout = {{"CODE", 'C', 1, 8, 0}, {"NAME", 'C', 9, 12, 0}};

// One step of a writer and what it does to the table when it completes.
struct Step {
  std::function<DBIResult(hDBIDb, hDBICur)> run;
  std::function<void(Model&)> apply;
};
struct Writer {
  const char* what;
  DBIShareMode share;
  std::vector<Step> steps;
};

DBIResult PutRecord(hDBICur c, std::uint32_t recno, const Rec& r) {
  std::vector<std::uint8_t> buf(21);
  DBIResult rc = DbiSetToRecordNo(c, recno);
  if (rc == DBIERR_NONE) rc = DbiGetRecord(c, dbiNOLOCK, buf.data(), nullptr);
  DbiPutField(c, 1, buf.data(), r.code.c_str());
  DbiPutField(c, 2, buf.data(), r.name.c_str());
  return rc == DBIERR_NONE ? DbiModifyRecord(c, buf.data(), true) : rc;
}
DBIResult AddRecord(hDBICur c, const Rec& r) {
  std::vector<std::uint8_t> buf(21);
  DbiInitRecord(c, buf.data());
  DbiPutField(c, 1, buf.data(), r.code.c_str());
  DbiPutField(c, 2, buf.data(), r.name.c_str());
  return DbiInsertRecord(c, dbiNOLOCK, buf.data());
}
Step Add(Rec r) {
  return {[r](hDBIDb, hDBICur c) { return AddRecord(c, r); }, [r](Model& m) { m.push_back(r); }};
}
Step Modify(std::uint32_t recno, Rec r) {
  return {[=](hDBIDb, hDBICur c) { return PutRecord(c, recno, r); },
          [=](Model& m) { m[recno - 1] = Rec{r.code, r.name, m[recno - 1].deleted}; }};
}
Step Delete(std::uint32_t recno, bool deleted) {
  return {[=](hDBIDb, hDBICur c) {
            DBIResult rc = DbiSetToRecordNo(c, recno);
            if (rc != DBIERR_NONE) return rc;
            return deleted ? DbiDeleteRecord(c, nullptr) : DbiUndeleteRecord(c);
          },
          [=](Model& m) { m[recno - 1].deleted = deleted; }};
}
Step BuildTag(const TagRule& t) {
  return {[&t](hDBIDb db, hDBICur c) {
            IDXDesc idx;
            std::snprintf(idx.szTagName, sizeof idx.szTagName, "%s", t.name);
            std::snprintf(idx.szKeyExp, sizeof idx.szKeyExp, "%s", t.expr);
            std::snprintf(idx.szKeyCond, sizeof idx.szKeyCond, "%s", t.cond);
            return DbiAddIndex(db, c, nullptr, nullptr, &idx, nullptr);
          },
          [](Model&) {}};
}

int g_cutAt = 0;
int g_changes = 0;
void CountChange() {
  if (++g_changes == g_cutAt) ::raise(SIGKILL);
}

class Crash : public Engine {
 protected:
  // Makes the table with `records` records and the tags CODE and NAME in dir/base.
  void MakeBase(int records) {
    base = dir / "base.dbf";
    std::vector<FLDCreate> f = {Field("CODE", 'C', 8), Field("NAME", 'C', 12)};
    ASSERT_EQ(DbiCreateTable(db, base.c_str(), 2, f.data(), true), DBIERR_NONE);
    hDBICur c = nullptr;
    ASSERT_EQ(Open(base, &c, dbiOPENEXCL), DBIERR_NONE);
    for (int i = 1; i <= records; ++i) {
      char code[16];
      std::snprintf(code, sizeof code, "C%06d", (i * 7919) % 1000003);
      pristine.push_back({code, i % 5 == 0 ? "" : "N" + std::to_string(i % 97)});
      ASSERT_EQ(AddRecord(c, pristine.back()), DBIERR_NONE);
    }
    for (int i = 0; i < 2; ++i) ASSERT_EQ(BuildTag(kTags[i]).run(db, c), DBIERR_NONE);
    DbiCloseCursor(&c);
  }

  // Puts a fresh copy of the table at dir/t.
  void Fresh() {
    for (const char* ext : {".dbf", ".mdx"}) ASSERT_EQ(CopyFile(dir / ("base" + std::string(ext)), dir / ("t" + std::string(ext))), DBIERR_NONE);
  }

  // Runs the writer in a child process killed before its n-th file change (0: never) and
  // gives the number of changes it made, or -1 when it was killed.
  static constexpr int kFailed = 250;
  int RunCut(const Writer& w, int n) {
    const std::string table = dir / "t.dbf";
    const pid_t pid = ::fork();
    if (pid == 0) {
      g_cutAt = n;
      BeforeFileChange = CountChange;
      hDBICur c = nullptr;
      if (Open(table, &c, w.share) != DBIERR_NONE) ::_exit(kFailed);
      for (const Step& s : w.steps)
        if (s.run(db, c) != DBIERR_NONE) ::_exit(kFailed);
      if (DbiCloseCursor(&c) != DBIERR_NONE) ::_exit(kFailed);
      ::_exit(std::min(g_changes, kFailed - 1));
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    if (WIFSIGNALED(st) && WTERMSIG(st) == SIGKILL) return -1;
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) < kFailed) << w.what << " failed on its own: " << st;
    return WIFEXITED(st) ? WEXITSTATUS(st) : 0;
  }

  // The table as the engine reads it, in physical order.
  Model Read(hDBICur c) {
    Model m;
    std::vector<std::uint8_t> buf(21);
    RECProps rp;
    DbiSetToBegin(c);
    while (DbiGetNextRecord(c, dbiNOLOCK, buf.data(), &rp) == DBIERR_NONE)
      m.push_back({Text(c, buf, 1), Text(c, buf, 2), rp.bDeleteFlag});
    return m;
  }

  // Entries of each tag as "key recno" in key order, walked by the engine, which checks
  // the tag's structure too. A walk longer than the table would be a loop.
  std::map<std::string, std::vector<std::string>> Entries(std::size_t records) {
    std::map<std::string, std::vector<std::string>> out;
    std::unique_ptr<Mdx> m;
    EXPECT_EQ(Mdx::Open(dir / "t.mdx", kLayout, true, false, &m), DBIERR_NONE);
    std::vector<MdxTagInfo> tags;
    if (!m || m->Tags(&tags) != DBIERR_NONE) return out;
    for (const MdxTagInfo& t : tags) {
      EXPECT_EQ(m->Check(t.name), DBIERR_NONE) << t.name;
      std::vector<std::string>& lines = out[t.name];
      MdxEntry e, next;
      for (DBIResult r = m->First(t.name, &e); r != DBIERR_EOF; r = m->Next(t.name, e, &next), e = next) {
        EXPECT_EQ(r, DBIERR_NONE) << t.name;
        if (r != DBIERR_NONE || lines.size() > records) break;
        lines.push_back(e.key + " " + std::to_string(e.recno));
      }
    }
    return out;
  }

  // What the tags must hold for the records (the tags CODE and NAME, and BOTH when built).
  static std::map<std::string, std::vector<std::string>> Expected(const Model& m, bool both) {
    std::map<std::string, std::vector<std::string>> out;
    for (const TagRule& t : kTags) {
      if (std::string(t.name) == "BOTH" && !both) continue;
      std::vector<std::pair<std::string, std::size_t>> keys;
      for (std::size_t i = 0; i < m.size(); ++i)
        if (std::string k = t.key(m[i]); !k.empty()) keys.emplace_back(k, i + 1);
      std::sort(keys.begin(), keys.end());
      for (auto& [k, n] : keys) out[t.name].push_back(k + " " + std::to_string(n));
    }
    return out;
  }

  // After a kill: a station holding the table open makes the next writer's append either
  // succeed on a whole index or be refused; alone, the writer gets the repair. Checks the
  // table against the states the killed writer may have left and returns what it holds now.
  Model CheckAfterKill(const Writer& w, const std::vector<Model>& states, bool* refused) {
    const std::string table = dir / "t.dbf";
    const Rec extra{"ZAFTER", "AFTER"};
    hDBICur holder = nullptr, ours = nullptr;
    EXPECT_EQ(Open(table, &holder, dbiOPENSHARED, nullptr, dbiREADONLY), DBIERR_NONE);
    EXPECT_EQ(Open(table, &ours), DBIERR_NONE);
    Model now = Read(ours);
    EXPECT_NE(std::find(states.begin(), states.end(), now), states.end()) << w.what << ": records torn";
    DBIResult rc = AddRecord(ours, extra);
    *refused = rc == DBIERR_INDEXOUTOFDATE;
    if (!*refused) {
      EXPECT_EQ(rc, DBIERR_NONE) << w.what;
      now.push_back(extra);
      const auto entries = Entries(now.size());
      EXPECT_EQ(entries, Expected(now, entries.count("BOTH") != 0)) << w.what << ": an append succeeded on a torn index";
    }
    DbiCloseCursor(&holder);
    if (*refused) {
      EXPECT_EQ(Read(ours), now) << w.what << ": a refused append wrote";
      EXPECT_EQ(AddRecord(ours, extra), DBIERR_NONE) << w.what << ": no repair once alone";
      now.push_back(extra);
    }
    DbiCloseCursor(&ours);
    const auto entries = Entries(now.size());
    EXPECT_EQ(entries, Expected(now, entries.count("BOTH") != 0)) << w.what;
    return now;
  }

  TempDir dir;
  std::string base;
  Model pristine;
};

TEST_F(Crash, EveryWriteOfEveryWriterKilledLeavesATableTheNextStationRepairsOrRefuses) {
  MakeBase(40);
  const std::vector<Writer> writers = {
      {"shared append", dbiOPENSHARED, {Add({"A1", "NEW ONE"}), Add({"A2", ""})}},
      {"shared modify", dbiOPENSHARED, {Modify(5, {"B05", "CHANGED"}), Modify(8, {pristine[7].code, "RENAMED"})}},
      {"shared delete", dbiOPENSHARED, {Delete(3, true), Delete(3, false), Delete(9, true)}},
      {"exclusive writes", dbiOPENEXCL, {Add({"E1", "EXCL"}), Modify(2, {"E2", ""}), Delete(4, true)}},
      {"tag build", dbiOPENEXCL, {BuildTag(kTags[2])}},
  };
  std::string script = "import dbfread\n";
  std::string perl;
  std::vector<std::string> wantRecords, wantEntries;
  int refusals = 0;
  for (const Writer& w : writers) {
    std::vector<Model> states = {pristine};
    for (const Step& s : w.steps) {
      states.push_back(states.back());
      s.apply(states.back());
    }
    for (int n = 1;; ++n) {
      SCOPED_TRACE(std::string(w.what) + ", killed before change " + std::to_string(n));
      Fresh();
      const int made = RunCut(w, n);
      bool refused = false;
      const Model now = CheckAfterKill(w, states, &refused);
      refusals += refused;
      // Kept for the outside readers, checked together at the end.
      const std::string kept = dir / (std::to_string(wantRecords.size()));
      for (const char* ext : {".dbf", ".mdx"}) CopyFile(dir / ("t" + std::string(ext)), kept + ext);
      std::string line;
      for (const Rec& r : now) line += r.code + "," + r.name + "," + (r.deleted ? "*" : " ") + ";";
      wantRecords.push_back(line);
      for (auto& [tag, lines] : Entries(now.size()))
        for (const std::string& l : lines) wantEntries.push_back(kept + ".mdx " + tag + " " + l);
      if (made >= 0) {
        EXPECT_EQ(made, n - 1) << "every change counted";
        break;
      }
    }
  }
  EXPECT_GT(refusals, 10);
  char text[kDbiMaxMsgLen + 1];
  DbiGetErrorString(DBIERR_INDEXOUTOFDATE, text);
  EXPECT_NE(std::string(text).find("reconstruction des fichiers et des index du dossier"), std::string::npos);

  // python3-dbfread reads every record of every table left, deleted ones included.
  script += "for i in range(" + std::to_string(wantRecords.size()) + "):\n"
            "    t = dbfread.DBF('" + dir.path() + "/%d.dbf' % i, load=True)\n"
            "    recs = [(r, ' ') for r in t.records] + [(r, '*') for r in t.deleted]\n"
            "    print(';'.join(sorted(r['CODE'] + ',' + r['NAME'] + ',' + d for r, d in recs)))\n";
  int status = 0;
  std::istringstream got(RunPython(script, &status));
  ASSERT_EQ(status, 0);
  for (std::string want : wantRecords) {
    std::vector<std::string> parts;
    for (std::size_t at = 0, end; (end = want.find(';', at)) != std::string::npos; at = end + 1)
      parts.push_back(want.substr(at, end - at));
    std::sort(parts.begin(), parts.end());
    std::string line, joined;
    for (std::size_t i = 0; i < parts.size(); ++i) joined += (i ? ";" : "") + parts[i];
    std::getline(got, line);
    EXPECT_EQ(line, joined);
  }
  // XBase::Index walks every tag of every index left, as index_dump does.
  perl = "use XBase::Index;\nfor my $f (@ARGV) {\n  for my $t ((XBase::Index->new($f) or die)->tags) {\n"
         "    my $i = XBase::Index->new($f, tag => $t) or die; $i->prepare_select;\n"
         "    while (my @d = $i->fetch) { print \"$f $t @d\\n\"; }\n  }\n}\n";
  std::string args;
  for (std::size_t i = 0; i < wantRecords.size(); ++i) args += " " + dir / (std::to_string(i) + ".mdx");
  std::FILE* f = std::fopen((dir / "walk.pl").c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs(perl.c_str(), f);
  std::fclose(f);
  std::FILE* p = ::popen(("/usr/bin/perl " + dir / "walk.pl" + args).c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::vector<std::string> dumped;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) dumped.emplace_back(buf, std::strlen(buf) - 1);
  EXPECT_EQ(::pclose(p), 0);
  EXPECT_EQ(dumped, wantEntries);
}

}  // namespace
}  // namespace dbase_test
