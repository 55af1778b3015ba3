// Writers killed before each of their file changes. Another process then finds every
// committed record once and every tag holding exactly its records: the index is rebuilt when
// that process can have the table alone, and writes are refused with their message while another station holds it open.
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

// One step of a writer, and what it does to the table when it completes (the index of the
// record it adds or changes).
struct Step {
  std::function<DBIResult(hDBIDb, hDBICur)> run;
  std::function<std::size_t(Model&)> apply;
};
struct Writer {
  const char* what;
  DBIShareMode share;
  std::vector<Step> steps;
};

// Rewrites record recno, or appends when recno is 0.
DBIResult PutRecord(hDBICur c, std::uint32_t recno, const Rec& r) {
  std::vector<std::uint8_t> buf(21);
  DBIResult rc = recno == 0 ? DbiInitRecord(c, buf.data()) : DbiSetToRecordNo(c, recno);
  if (rc == DBIERR_NONE && recno != 0) rc = DbiGetRecord(c, dbiNOLOCK, buf.data(), nullptr);
  DbiPutField(c, 1, buf.data(), r.code.c_str());
  DbiPutField(c, 2, buf.data(), r.name.c_str());
  if (rc != DBIERR_NONE) return rc;
  return recno == 0 ? DbiInsertRecord(c, dbiNOLOCK, buf.data()) : DbiModifyRecord(c, buf.data(), true);
}
Step Add(Rec r) {
  return {[r](hDBIDb, hDBICur c) { return PutRecord(c, 0, r); },
          [r](Model& m) {
            m.push_back(r);
            return m.size() - 1;
          }};
}
Step Modify(std::uint32_t recno, Rec r) {
  return {[=](hDBIDb, hDBICur c) { return PutRecord(c, recno, r); },
          [=](Model& m) {
            m[recno - 1] = Rec{r.code, r.name, m[recno - 1].deleted};
            return recno - 1;
          }};
}
Step Delete(std::uint32_t recno, bool deleted) {
  return {[=](hDBIDb, hDBICur c) {
            DBIResult rc = DbiSetToRecordNo(c, recno);
            if (rc != DBIERR_NONE) return rc;
            return deleted ? DbiDeleteRecord(c, nullptr) : DbiUndeleteRecord(c);
          },
          [=](Model& m) {
            m[recno - 1].deleted = deleted;
            return recno - 1;
          }};
}
// Appends the records in one exclusive batch (DbiAppendRecords).
Step AddBatch(std::vector<Rec> recs) {
  return {[recs](hDBIDb, hDBICur c) {
            std::vector<std::uint8_t> all(21 * recs.size());
            for (std::size_t i = 0; i < recs.size(); ++i) {
              std::uint8_t* buf = all.data() + 21 * i;
              DbiInitRecord(c, buf);
              DbiPutField(c, 1, buf, recs[i].code.c_str());
              DbiPutField(c, 2, buf, recs[i].name.c_str());
            }
            return DbiAppendRecords(c, static_cast<std::uint32_t>(recs.size()), all.data());
          },
          [recs](Model& m) {
            m.insert(m.end(), recs.begin(), recs.end());
            return m.size() - recs.size();
          }};
}
Step BuildTag(const TagRule& t) {
  return {[&t](hDBIDb db, hDBICur c) { return AddTag(db, c, t.name, t.expr, t.cond); },
          [](Model& m) { return m.size(); }};
}

int g_cutAt = 0;
int g_changes = 0;
void CountChange() {
  if (++g_changes == g_cutAt) ::raise(SIGKILL);
}

class Crash : public Engine {
 protected:
  // Makes the table of `records` records and the tags CODE and NAME in dir/base.
  void MakeBase(int records = 40) {
    hDBICur c = nullptr;
    ASSERT_EQ(Create(dir / "base.dbf", {Field("CODE", 'C', 8), Field("NAME", 'C', 12)}, &c), DBIERR_NONE);
    for (int i = 1; i <= records; ++i) {
      char code[16];
      std::snprintf(code, sizeof code, "C%06d", (i * 7919) % 1000003);
      pristine.push_back({code, i % 5 == 0 ? "" : "N" + std::to_string(i % 97)});
      ASSERT_EQ(PutRecord(c, 0, pristine.back()), DBIERR_NONE);
    }
    for (int i = 0; i < 2; ++i) ASSERT_EQ(BuildTag(kTags[i]).run(db, c), DBIERR_NONE);
    DbiCloseCursor(&c);
  }

  // Runs the writer on a fresh copy of the table (dir/t) in a child process killed before
  // its n-th file change (0: never); gives the number of changes it made, or -(128 + SIGKILL) when killed.
  int RunCut(const Writer& w, int n) {
    CopyTable(dir / "base", dir / "t");
    const int made = InChild([&] {
      g_cutAt = n;
      BeforeFileChange = CountChange;
      hDBICur c = nullptr;
      bool ok = Open(dir / "t.dbf", &c, w.share) == DBIERR_NONE;
      for (std::size_t i = 0; ok && i < w.steps.size(); ++i) ok = w.steps[i].run(db, c) == DBIERR_NONE;
      return ok && DbiCloseCursor(&c) == DBIERR_NONE ? g_changes : -2;
    });
    EXPECT_NE(made, -2) << w.what << " failed on its own";
    return made;
  }

  // True when the records are those the writer may have left: every record it did not touch
  // as it was, each one it touched in one of its successive versions, no record twice.
  bool Allowed(const Writer& w, const Model& now) {
    Model m = pristine;
    std::map<std::size_t, std::vector<Rec>> versions;
    for (const Step& s : w.steps) {
      const std::size_t before = m.size();
      const std::size_t i = s.apply(m);
      // The record it changed, or every one it added.
      const std::size_t end = m.size() > before ? m.size() : i + 1;
      for (std::size_t j = i; j < end && j < m.size(); ++j) {
        std::vector<Rec>& v = versions[j];
        if (v.empty() && j < pristine.size()) v.push_back(pristine[j]);
        v.push_back(m[j]);
      }
    }
    if (now.size() < pristine.size() || now.size() > m.size()) return false;
    for (std::size_t i = 0; i < now.size(); ++i) {
      auto it = versions.find(i);
      const bool ok = it == versions.end() ? now[i] == pristine[i]
                                           : std::find(it->second.begin(), it->second.end(), now[i]) != it->second.end();
      if (!ok) return false;
    }
    return true;
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
    std::vector<MdxTagInfo> tags;
    std::unique_ptr<Mdx> m;
    EXPECT_EQ(Mdx::Open(dir / "t.mdx", kLayout, true, true, &m), DBIERR_NONE);
    EXPECT_EQ(m->Tags(&tags), DBIERR_NONE);
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

  void ExpectTags(const Model& now, const std::string& when) {
    const auto entries = Entries(now.size());
    EXPECT_EQ(entries, Expected(now, entries.count("BOTH") != 0)) << when;
  }

  // After a kill: while a station holds the table open (`held`), the next writer's append
  // either succeeds on a whole index or is refused; alone, the writer gets the repair, at its
  // open or at its append. Checks the records and the tags, and returns the records the
  // table holds now.
  Model CheckAfterKill(const Writer& w, bool held, bool* refused) {
    const std::string table = dir / "t.dbf";
    const std::string when = std::string(w.what) + " killed";
    const Rec extra{"ZAFTER", "AFTER"};
    hDBICur holder = nullptr, ours = nullptr;
    if (held) {
      EXPECT_EQ(Open(table, &holder, dbiOPENSHARED, nullptr, dbiREADONLY), DBIERR_NONE);
    }
    EXPECT_EQ(Open(table, &ours), DBIERR_NONE);
    Model now = Read(ours);
    EXPECT_TRUE(Allowed(w, now)) << when << ": records torn";
    DBIResult rc = PutRecord(ours, 0, extra);
    *refused = rc == DBIERR_INDEXOUTOFDATE;
    if (!*refused) {
      EXPECT_EQ(rc, DBIERR_NONE) << when;
      now.push_back(extra);
      ExpectTags(now, when + ": an append succeeded on a torn index");
    }
    if (held) DbiCloseCursor(&holder);
    if (*refused) {
      EXPECT_EQ(Read(ours).size(), now.size()) << when << ": a refused append wrote";
      EXPECT_EQ(PutRecord(ours, 0, extra), DBIERR_NONE) << when << ": no repair once alone";
      now.push_back(extra);
    }
    DbiCloseCursor(&ours);
    ExpectTags(now, when);
    return now;
  }

  TempDir dir;
  Model pristine;
};

// A large table killed at random points: an exclusive batch long enough to force pages out of
// its cache part-way, and each shared writer.
class CrashLarge : public Crash, public ::testing::WithParamInterface<int> {};

TEST_P(CrashLarge, RandomChangesKilledLeaveATableTheNextStationRepairsOrRefuses) {
  MakeBase(100000);
  std::mt19937 rng(static_cast<unsigned>(GetParam()));
  auto recno = [&] { return static_cast<std::uint32_t>(rng() % pristine.size() + 1); };
  Writer batch{"exclusive batch", dbiOPENEXCL, {}};
  for (int i = 0; i < 4000; ++i)
    batch.steps.push_back(Add({"X" + std::to_string(rng() % 999999), "B" + std::to_string(i % 89)}));
  const std::vector<Writer> writers = {
      {"shared append", dbiOPENSHARED, {Add({"A1", "NEW ONE"})}},
      {"shared modify", dbiOPENSHARED, {Modify(recno(), {"B05", "CHANGED"})}},
      {"shared delete", dbiOPENSHARED, {Delete(recno(), true)}},
      batch,
      {"tag build", dbiOPENEXCL, {BuildTag(kTags[2])}},
  };
  std::vector<int> changes;
  for (const Writer& w : writers) changes.push_back(RunCut(w, 0));
  int refusals = 0;
  Model last;
  for (int point = 0; point < 60; ++point) {
    const std::size_t k = rng() % writers.size();
    const int n = static_cast<int>(rng() % static_cast<unsigned>(changes[k])) + 1;
    SCOPED_TRACE(std::string(writers[k].what) + ", killed before change " + std::to_string(n));
    ASSERT_EQ(RunCut(writers[k], n), -(128 + SIGKILL));
    bool refused = false;
    last = CheckAfterKill(writers[k], point % 2 == 1, &refused);
    refusals += refused;
  }
  EXPECT_GT(refusals, 5);
  // The last table left, as python3-dbfread and XBase::Index read it.
  int status = 0;
  EXPECT_EQ(RunPython("import dbfread\nt = dbfread.DBF('" + dir / "t.dbf" +
                      "')\nprint(sum(1 for r in t.records) + sum(1 for r in t.deleted))\n", &status),
            std::to_string(last.size()) + "\n");
  std::unique_ptr<Mdx> m;
  ASSERT_EQ(Mdx::Open(dir / "t.mdx", kLayout, true, false, &m), DBIERR_NONE);
  const bool both = m->FindTag("BOTH", nullptr) == DBIERR_NONE;
  m.reset();
  std::string want;
  for (const auto& [tag, entries] : Expected(last, both))
    want += dir / "t.mdx" + " " + tag + " " + std::to_string(entries.size()) + "\n";
  EXPECT_EQ(XBaseEntryCounts({dir / "t.mdx"}, dir.path()), want);
}

INSTANTIATE_TEST_SUITE_P(Runs, CrashLarge, ::testing::Values(1, 2, 3));

TEST_F(Crash, EveryChangeOfEveryWriterKilledLeavesATableTheNextStationRepairsOrRefuses) {
  MakeBase();
  const std::vector<Writer> writers = {
      {"shared append", dbiOPENSHARED, {Add({"A1", "NEW ONE"}), Add({"A2", ""})}},
      {"shared modify", dbiOPENSHARED, {Modify(5, {"B05", "CHANGED"}), Modify(8, {pristine[7].code, "RENAMED"})}},
      {"shared delete", dbiOPENSHARED, {Delete(3, true), Delete(3, false), Delete(9, true)}},
      {"exclusive writes", dbiOPENEXCL, {Add({"E1", "EXCL"}), Modify(2, {"E2", ""}), Delete(4, true)}},
      {"exclusive batch", dbiOPENEXCL, {AddBatch({{"F1", "BATCH"}, {"F2", ""}, {"A0", "FIRST"}}), Modify(1, {"F3", "AFTER"})}},
      {"tag build", dbiOPENEXCL, {BuildTag(kTags[2])}},
  };
  std::string wantRecords, wantEntries;
  int refusals = 0, tables = 0;
  for (const Writer& w : writers) {
    for (int n = 1;; ++n) {
      SCOPED_TRACE(std::string(w.what) + ", killed before change " + std::to_string(n));
      const int made = RunCut(w, n);
      bool refused = false;
      const Model now = CheckAfterKill(w, n % 2 == 1, &refused);
      refusals += refused;
      // Kept for the outside readers, which read them all at the end.
      const std::string kept = dir / std::to_string(tables++);
      CopyTable(dir / "t", kept);
      std::vector<std::string> lines;
      for (const Rec& r : now) lines.push_back(r.code + "," + r.name + "," + (r.deleted ? "*" : " "));
      std::sort(lines.begin(), lines.end());
      for (const std::string& l : lines) wantRecords += (&l == &lines.front() ? "" : ";") + l;
      wantRecords += "\n";
      for (auto& [tag, entries] : Entries(now.size()))
        for (const std::string& e : entries) wantEntries += kept + ".mdx " + tag + " " + e + "\n";
      if (made >= 0) {
        EXPECT_EQ(made, n - 1) << "every change counted";
        break;
      }
    }
  }
  EXPECT_GT(refusals, 5);

  // python3-dbfread reads every record of every table left, deleted ones included.
  const std::string script =
      "import dbfread\nfor i in range(" + std::to_string(tables) + "):\n"
      "    t = dbfread.DBF('" + dir.path() + "/%d.dbf' % i, load=True)\n"
      "    recs = [(r, ' ') for r in t.records] + [(r, '*') for r in t.deleted]\n"
      "    print(';'.join(sorted(r['CODE'] + ',' + r['NAME'] + ',' + d for r, d in recs)))\n";
  int status = 0;
  EXPECT_EQ(RunPython(script, &status) + std::to_string(status), wantRecords + "0");
  // XBase::Index walks every tag of every index left, as index_dump does.
  const std::string perl =
      "use XBase::Index;\nfor my $f (@ARGV) {\n  for my $t ((XBase::Index->new($f) or die)->tags) {\n"
      "    my $i = XBase::Index->new($f, tag => $t) or die; $i->prepare_select;\n"
      "    while (my @d = $i->fetch) { print \"$f $t @d\\n\"; }\n  }\n}\n";
  std::ofstream(dir / "walk.pl") << perl;
  std::string args;
  for (int i = 0; i < tables; ++i) args += " " + dir / (std::to_string(i) + ".mdx");
  EXPECT_EQ(Output("/usr/bin/perl " + dir / "walk.pl" + args), wantEntries);
}

TEST_F(Crash, AWalkMeetingAnEntryPastTheRecordsReportsTheDamage) {
  MakeBase();
  CopyTable(dir / "base", dir / "t");
  {
    std::fstream f(dir / "t.dbf", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(4);
    f.put(30);  // ten records fewer than the tags know
  }
  hDBICur c = nullptr;
  ASSERT_EQ(Open(dir / "t.dbf", &c, dbiOPENSHARED, "CODE"), DBIERR_NONE);
  std::vector<std::uint8_t> buf(21);
  DBIResult r = DBIERR_NONE;
  int steps = 0;
  while (r == DBIERR_NONE && steps++ < 100) r = DbiGetNextRecord(c, dbiNOLOCK, buf.data(), nullptr);
  EXPECT_EQ(r, DBIERR_INDEXCORRUPT);
  DbiCloseCursor(&c);
}

}  // namespace
}  // namespace dbase_test
