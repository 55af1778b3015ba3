// Set-up of the maintenance tests: a generated demo dossier made current in
// a folder of its own, helpers that damage it, and independent checks that
// read the lines and compare them with the totals the dossier keeps.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "dossier_test_util.h"
#include "platform/dbase/idapi.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

namespace maintenance_test {

namespace fs = std::filesystem;

struct Cents {
  long long debitF = 0, debitE = 0, creditF = 0, creditE = 0;
  void Add(char sense, double francs, double euros) {
    if (sense == 'D') {
      debitF += ToCents(francs);
      debitE += ToCents(euros);
    } else {
      creditF += ToCents(francs);
      creditE += ToCents(euros);
    }
  }
  bool operator==(const Cents&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Cents& c) {
  return out << "D " << c.debitF << "/" << c.debitE << " C " << c.creditF << "/" << c.creditE;
}

// Opens a dossier table exclusively (tag optional); the caller closes it.
inline bool Open(Table& t, const std::string& path, const char* tag = "") {
  t.CloseTable(true);
  t.shareMode = dbase::dbiOPENEXCL;
  return t.OpenTable(path, tag);
}

// Calls fn on every live record of a table in physical order.
inline void EachLive(Table& t, const std::string& path, const std::function<void(Table&)>& fn) {
  ASSERT_TRUE(Open(t, path));
  const std::uint32_t n = t.RecCount();
  for (std::uint32_t r = 1; r <= n; ++r) {
    ASSERT_TRUE(t.GoTo(r));
    if (!t.IsDeleted()) fn(t);
  }
  t.CloseTable(true);
}

inline std::string Trim(const char* text) { return AllTrim(text); }

// What the lines say: per account (auxiliary accounts also on their
// collecting account), per section and per journal-month header key.
struct LineTotals {
  std::map<std::string, Cents> accounts, sections, headers;
};

inline LineTotals TotalsFromLines() {
  LineTotals t;
  std::map<char, std::string> collecting;
  EachLive(*TableC10, PathC10(), [&](Table& c10) {
    if (c10.GetField(1)[0] == 'B') {
      std::string acc = RTrim(std::string(c10.GetField(4)).substr(0, 8).c_str());
      acc.resize(8, '0');
      collecting[c10.GetField(2)[0]] = acc;
    }
  });
  auto line = [&](Table& l, bool closed) {
    const char kind = l.GetField(1)[0];
    const std::string account = l.GetField(closed ? 2 : 10);
    const char sense = l.GetField(closed ? 13 : 17)[0];
    const double f = l.GetFieldNum(closed ? 14 : 18), e = l.GetFieldNum(closed ? 15 : 19);
    if (kind == 'Z') {
      t.accounts[account].Add(sense, f, e);
      if (account[0] >= 'A' && account[0] <= 'Z') t.accounts[collecting[account[0]]].Add(sense, f, e);
      const std::string key = closed ? std::string(l.GetField(3)) + l.GetField(5) + "C"
                                     : std::string(l.GetField(2)) + l.GetField(3) + "B";
      t.headers[key].Add(sense, f, e);
    } else if (kind == 'W' || kind == 'Y') {
      t.sections[account].Add(sense, f, e);
    }
  };
  EachLive(*TableC40, PathC40(), [&](Table& l) { line(l, true); });
  EachLive(*TableC50, PathC50(), [&](Table& l) { line(l, false); });
  return t;
}

// The totals kept in C20, C30 and the live headers of C10.
inline LineTotals TotalsKept() {
  LineTotals t;
  auto totals = [](Table& r, int first) {
    Cents c;
    c.debitF = ToCents(r.GetFieldNum(first));
    c.debitE = ToCents(r.GetFieldNum(first + 1));
    c.creditF = ToCents(r.GetFieldNum(first + 2));
    c.creditE = ToCents(r.GetFieldNum(first + 3));
    return c;
  };
  EachLive(*TableC20, PathC20(), [&](Table& r) {
    const Cents c = totals(r, 17);
    if (!(c == Cents())) t.accounts[r.GetField(1)] = c;
  });
  EachLive(*TableC30, PathC30(), [&](Table& r) {
    const Cents c = totals(r, 9);
    if (!(c == Cents())) t.sections[r.GetField(1)] = c;
  });
  EachLive(*TableC10, PathC10(), [&](Table& r) {
    if (r.GetField(1)[0] != 'C') return;
    std::string f = r.GetField(4), e = r.GetField(5);
    f.resize(28, ' ');
    e.resize(28, ' ');
    Cents c;
    c.debitF = ToCents(Val(f.substr(0, 14).c_str()));
    c.creditF = ToCents(Val(f.substr(14).c_str()));
    c.debitE = ToCents(Val(e.substr(0, 14).c_str()));
    c.creditE = ToCents(Val(e.substr(14).c_str()));
    t.headers[std::string(r.GetField(2)).substr(0, 8)] = c;
  });
  return t;
}

inline void DropZero(std::map<std::string, Cents>& m) {
  std::erase_if(m, [](const auto& kv) { return kv.second == Cents(); });
}

// Every total kept equals the lines, and nothing else is kept.
inline void ExpectTotalsEqualLines() {
  LineTotals lines = TotalsFromLines();
  LineTotals kept = TotalsKept();
  DropZero(lines.accounts);
  DropZero(lines.sections);
  EXPECT_EQ(kept.accounts, lines.accounts);
  EXPECT_EQ(kept.sections, lines.sections);
  EXPECT_EQ(kept.headers, lines.headers);
}

// Journal-months (closed and draft headers together) whose debits and
// credits differ, in euros (and francs when asked).
inline int UnbalancedJournalMonths(bool francsToo) {
  std::map<std::string, Cents> months;
  for (const auto& [key, c] : TotalsKept().headers) {
    Cents& m = months[key.substr(0, 7)];
    m.debitF += c.debitF, m.debitE += c.debitE, m.creditF += c.creditF, m.creditE += c.creditE;
  }
  int n = 0;
  for (const auto& [key, c] : months)
    if (c.debitE != c.creditE || (francsToo && c.debitF != c.creditF)) ++n;
  return n;
}

inline std::string LogText() { return dossier_test::ReadFile(LogPath(".txt")); }

// The dossier in `folder` made current with TheDossierRecord loaded from its C10 records "0"
// and "P", as the opening does.
inline void MakeCurrent(const std::string& folder, const char* code) {
  SetDossier(folder, code);
  SetLogDossier(folder, code);
  SetDossierIniPath(PathC10(".ini"));
  ASSERT_TRUE(Open(*TableC10, PathC10(), "C10CODE"));
  ASSERT_TRUE(ReadC10Texts());
  ASSERT_TRUE(TableC10->Seek("C10CODE", "P"));
  TheDossierRecord.Set(539, 252, TableC10->GetField(4));
  TheDossierRecord.Set(791, 252, TableC10->GetField(5));
  CloseAllTables();
}

// Session, runtime and a demo dossier made current.
class MaintenanceTest : public dossier_test::SessionTest {
 protected:
  void SetUp() override {
    dossier_test::SessionTest::SetUp();
    folder_ = Dir() + "/dossier/";
    DemoOptions o;
    o.folder = folder_;
    o.code = "DEMO";
    o.lines = Lines();
    o.seed = 11;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
    MakeCurrent(folder_, "DEMO");
  }
  virtual long Lines() const { return 600; }

  // Changes the records of a table through fn (record by record, physical order).
  static void Edit(Table& t, const std::string& path, const std::function<void(Table&)>& fn) {
    ASSERT_TRUE(Open(t, path));
    const std::uint32_t n = t.RecCount();
    for (std::uint32_t r = 1; r <= n; ++r) {
      ASSERT_TRUE(t.GoTo(r));
      fn(t);
    }
    t.CloseTable(true);
  }

  // Appends one record with the given fields.
  static void Append(Table& t, const std::string& path, const std::map<int, std::string>& fields) {
    ASSERT_TRUE(Open(t, path));
    ASSERT_TRUE(t.AppendBlank());
    for (const auto& [f, v] : fields) t.PutField(f, v.c_str());
    ASSERT_TRUE(t.InsertRecord());
    t.CloseTable(true);
  }

  // A text of the constants record "P" (constant n) changed in C10 and in memory.
  static void SetConstant(int n, const char* value) {
    TheDossierRecord.SetConstant(n, value);
    ASSERT_TRUE(Open(*TableC10, PathC10(), "C10CODE"));
    ASSERT_TRUE(TableC10->Seek("C10CODE", "P"));
    TableC10->PutField(4, TheDossierRecord.Get(539, 252).c_str());
    TableC10->PutField(5, TheDossierRecord.Get(791, 252).c_str());
    CloseAllTables();
  }

  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
};

}  // namespace maintenance_test
