// Our tables read by Debian's python3-dbfread (a memo of several blocks with an end-of-file
// mark inside too), and tables written by python3-dbf read by us.
#include "dbase/expr.h"
#include "dbase_test_util.h"

namespace dbase_test {
namespace {

class InteropTest : public Engine {
 protected:  TempDir dir;
};

TEST_F(InteropTest, DbfreadReadsOurRecordsMemosAndDeletions) {
  std::string t = dir / "ours.dbf";
  std::vector<FLDCreate> f = {Field("CODE", 'C', 6), Field("NAME", 'C', 20), Field("AMOUNT", 'N', 10, 2),
                              Field("DAY", 'D'),      Field("OK", 'L'),        Field("NOTE", 'M')};
  ASSERT_EQ(DbiCreateTable(db, t.c_str(), 6, f.data(), true), DBIERR_NONE);
  EngineCursor cur;
  ASSERT_EQ(Open(t, &cur), DBIERR_NONE);
  struct Row {
    const char* code;
    const char* name;
    double amount;
    const char* day;
    int ok;  // -1 blank
    std::string memo;
    bool deleted;
  } rows[] = {{"A1", "Caf\xE9 cr\xE8me", 12.5, "20240229", 1, "Premi\xE8re note", false},
              {"B2", "Supprim\xE9", -3.25, "", 0, std::string(30000, 'x') + '\x1A' + std::string(9999, 'x'), true},
              {"C3", "", 0, "19991231", -1, "", false}};
  std::vector<std::uint8_t> buf(1 + 6 + 20 + 10 + 8 + 1 + 10);
  for (const Row& r : rows) {
    DbiInitRecord(cur, buf.data());
    DbiPutField(cur, 1, buf.data(), r.code);
    DbiPutField(cur, 2, buf.data(), r.name);
    if (r.amount != 0) DbiPutField(cur, 3, buf.data(), &r.amount);
    std::int32_t jd = static_cast<std::int32_t>(JulianDay(r.day));
    DbiPutField(cur, 4, buf.data(), &jd);
    std::int16_t ok = static_cast<std::int16_t>(r.ok);
    DbiPutField(cur, 5, buf.data(), r.ok < 0 ? nullptr : &ok);
    if (!r.memo.empty()) {
      DbiOpenBlob(cur, buf.data(), 6, dbiREADWRITE);
      DbiPutBlob(cur, buf.data(), 6, 0, static_cast<std::uint32_t>(r.memo.size()), r.memo.data());
    }
    ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, buf.data()), DBIERR_NONE);
    DbiFreeBlob(cur, buf.data(), 6);
    if (r.deleted) {
      ASSERT_EQ(DbiDeleteRecord(cur, buf.data()), DBIERR_NONE);
    }
  }
  cur.Close();
  // dbfread takes the stored memo length (which counts the block header) as the text's
  // length: only the start of a memo text is compared.
  std::string script = "PATH = '" + t + "'\n" + R"PY(
import datetime, dbfread
t = dbfread.DBF(PATH, encoding='cp1252', load=True)
recs, dels = t.records, t.deleted
assert len(recs) == 2 and len(dels) == 1, (len(recs), len(dels))
r = recs[0]
assert r['CODE'] == 'A1' and r['NAME'] == 'Caf\xe9 cr\xe8me', r
assert r['AMOUNT'] == 12.5 and r['DAY'] == datetime.date(2024, 2, 29) and r['OK'] is True, r
assert r['NOTE'].startswith('Premi\xe8re note'), r['NOTE']
d = dels[0]
assert d['CODE'] == 'B2' and d['AMOUNT'] == -3.25 and d['OK'] is False and d['DAY'] is None, d
assert d['NOTE'].startswith('x' * 30000) and ord(d['NOTE'][30000]) == 26, len(d['NOTE'])
r = recs[1]
assert r['CODE'] == 'C3' and r['NAME'] == '' and r['AMOUNT'] is None, r
assert r['DAY'] == datetime.date(1999, 12, 31) and r['OK'] is None and not r['NOTE'], r
print('OK')
)PY";
  int status = 0;
  std::string out = RunPython(script, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, "OK\n");
}

TEST_F(InteropTest, WeReadTablesWrittenByPythonDbf) {
  std::string t = dir / "theirs.dbf";
  std::string script = "PATH = '" + t + "'\n" + R"PY(
import dbf
t = dbf.Table(PATH, 'code C(6); name C(20); amount N(10,2); day D; ok L; note M',
              dbf_type='db3', codepage='cp1252')
t.open(dbf.READ_WRITE)
t.append(('A1', 'Caf\xe9', 12.5, dbf.Date(2024, 2, 29), True, 'note \xe9crite'))
t.append(('B2', 'gone', -1.0, None, False, ''))
t.append(('C3', 'last', 7.0, dbf.Date(2000, 1, 1), None, 'x' * 600))
dbf.delete(t[1])
t.close()
print('OK')
)PY";
  int status = 0;
  ASSERT_EQ(RunPython(script, &status), "OK\n");
  EngineCursor cur;
  ASSERT_EQ(Open(t, &cur), DBIERR_NONE);
  CURProps props;
  DbiGetCursorProps(cur, &props);
  EXPECT_EQ(props.iFields, 6);
  std::vector<std::uint8_t> buf(props.iRecBufSize);
  RECProps rp;
  struct Expect { const char* code; const char* name; double amount; bool deleted; std::string memo; } expect[] = {{"A1", "Caf\xE9", 12.5, false, "note \xE9" "crite"},
                {"B2", "gone", -1.0, true, ""},
                {"C3", "last", 7.0, false, std::string(600, 'x')}};
  for (const Expect& e : expect) {
    ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), &rp), DBIERR_NONE);
    EXPECT_EQ(Text(cur, buf, 1), e.code);
    EXPECT_EQ(Text(cur, buf, 2), e.name);
    double amount = 0;
    DbiGetField(cur, 3, buf.data(), &amount, nullptr);
    EXPECT_DOUBLE_EQ(amount, e.amount);
    EXPECT_EQ(rp.bDeleteFlag, e.deleted) << e.code;
    EXPECT_EQ(Memo(cur, buf, 6), e.memo) << e.code;
  }
  EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), &rp), DBIERR_EOF);
  // A memo written by us into their dBASE III file keeps that layout and reads back.
  DbiSetToRecordNo(cur, 2);
  DbiGetRecord(cur, dbiNOLOCK, buf.data(), nullptr);
  DbiOpenBlob(cur, buf.data(), 6, dbiREADWRITE);
  DbiPutBlob(cur, buf.data(), 6, 0, 5, "ajout");
  ASSERT_EQ(DbiModifyRecord(cur, buf.data(), true), DBIERR_NONE);
  DbiFreeBlob(cur, buf.data(), 6);
  cur.Close();
  script = "PATH = '" + t + "'\n" + R"PY(
import dbfread
t = dbfread.DBF(PATH, encoding='cp1252', load=True)
assert t.deleted[0]['NOTE'] == 'ajout', repr(t.deleted[0]['NOTE'])
print('OK')
)PY";
  EXPECT_EQ(RunPython(script, &status), "OK\n");
}

}  // namespace
}  // namespace dbase_test
