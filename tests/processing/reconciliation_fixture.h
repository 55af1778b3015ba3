// The bank reconciliation's tests: a generated dossier "A" (2026, in euros with francs) made the
// program's dossier, its general file and chart open in the program-wide tables, and a statement
// made from its bank account 51200000: the lines without a letter, one in four left out, the
// others dated a day off now and then, and two bank fees the books do not hold.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/locks.h"
#include "data/session.h"
#include "demo/dossier_demo.h"
#include "processing/core/reconciliation.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/runtime_hooks.h"
#include "support/python.h"
#include "support/runtime_fixture.h"

namespace reconciliation_test {

inline constexpr const char* kBank = "51200000";
inline constexpr const char* kYearEnd = "C61231";
// Two bank fees no line of the books holds.
inline constexpr long long kFees[] = {-1237, -419};

// Generates A (and, when asked, B for 2027), makes A the program's dossier.
inline void MakeDossiers(const std::string& dir, bool nextYear) {
  for (int year : {2026, 2027}) {
    if (year == 2027 && !nextYear) break;
    DemoOptions o;
    o.folder = dir + (year == 2026 ? "/a" : "/b");
    o.code = year == 2026 ? "A" : "B";
    o.lines = year == 2026 ? 600 : 40;
    o.firstDay = Ymd{year, 1, 1};
    o.lastDay = Ymd{year, 12, 31};
    o.currency = DossierCurrency::EuroMain;
    o.seed = static_cast<std::uint64_t>(year);
    o.bankStatements = true;
    o.closedMonths = year == 2026 ? -1 : 0;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
  }
  SetDossier(dir + "/a/", "A");
  ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
  ASSERT_TRUE(ReadC10Texts());
  ASSERT_TRUE(TableC10->Seek("C10CODE", "P", "0"));
  TheDossierRecord.Set(539, 252, TableC10->GetField(4));
  TheDossierRecord.Set(791, 252, TableC10->GetField(5));
  ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
}

// A statement made from the lines: which line each transaction stands for (-1 for the fees).
struct MadeStatement {
  processing::BankStatement statement;
  std::vector<int> lineOf;          // per transaction
  std::vector<std::uint32_t> left;  // C60 records of the lines left out
  long long leftCents = 0;
};

inline MadeStatement MakeStatement(const processing::Reconciliation& r) {
  MadeStatement m;
  long long included = 0;
  const auto& lines = r.Lines();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i % 4 == 3) {
      m.left.push_back(lines[i].c60);
      m.leftCents += lines[i].cents;
      continue;
    }
    Ymd d;
    EXPECT_TRUE(ParseStoredDate(lines[i].date, d));
    processing::BankTransaction t;
    t.date = YyyymmddOf(CivilFromDays(DaysFromCivil(d) + static_cast<long>(i % 3) - 1));
    t.cents = lines[i].cents;
    t.name = lines[i].label;
    m.statement.transactions.push_back(t);
    m.lineOf.push_back(static_cast<int>(i));
    included += lines[i].cents;
  }
  for (long long fee : kFees) {
    processing::BankTransaction t;
    t.date = "20261230";
    t.cents = fee;
    t.name = "Frais bancaires";
    m.statement.transactions.push_back(t);
    m.lineOf.push_back(-1);
    included += fee;
  }
  long long unreconciled = 0;
  for (const auto& l : lines) unreconciled += l.cents;
  m.statement.closingCents = r.BookBalance() - unreconciled + included;
  m.statement.closingDate = "20261231";
  m.statement.currency = "EUR";
  return m;
}

// The letters of the bank account's sort records and of their lines, read with dbfread:
// "c60record TLETE|line's letter" a line.
inline std::string BankLetters(const std::string& folder) {
  // dbfread passes over cancelled records: the live records are read by number from the layout it gives.
  const std::string script = R"PY(
import sys
from dbfread import DBF
folder = sys.argv[1]
def records(name):
    t = DBF(folder + '/' + name, encoding='cp1252', load=False, ignore_missing_memofile=True)
    where, at = {}, 1
    for f in t.fields:
        where[f.name] = (at, f.length)
        at += f.length
    data = open(folder + '/' + name, 'rb').read()
    h, n = t.header, t.header.numrecords
    out = {}
    for i in range(n):
        rec = data[h.headerlen + i * h.recordlen:h.headerlen + (i + 1) * h.recordlen]
        if rec[0:1] != b'*':
            out[i + 1] = {k: rec[a:a + l].decode('cp1252') for k, (a, l) in where.items()}
    return out
lines = {'B': records('c50a.dbf'), 'C': records('c40a.dbf')}
for n, t in records('c60a.dbf').items():
    if t['TCODE'].strip() != '51200000':
        continue
    l = lines[t['TFIC']][int(t['TREC'])]
    print('%d %s|%s' % (n, t['TLETE'].strip(), (l['BLETE'] if t['TFIC'] == 'B' else l['DLETE']).strip()))
)PY";
  int status = 0;
  const std::string out =
      test_support::RunPythonScript("import sys\nsys.argv=['', '" + folder + "']\n" + script, true, &status);
  EXPECT_EQ(status, 0) << out;
  return out;
}

}  // namespace reconciliation_test
