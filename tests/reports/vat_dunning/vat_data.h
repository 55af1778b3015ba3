// The VAT tests' dossier: a small generated dossier "TV" over the year July 2029 - June 2030,
// made the program's dossier, its entry lines emptied or kept, with the test's own lines added
// (each with its sort record), and the cursors the returns read through.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "reports/vat_dunning/core/vat_return.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/runtime_hooks.h"
#include "support/books_writes.h"
#include "support/runtime_fixture.h"

namespace vat_test {

using L = LigneEcriture;

// A stored date.
inline std::string D(int year, int month, int day) { return StoredDateOf(Ymd{year, month, day}); }

// Empties the entry lines and their sort records (the tables taken alone for it).
inline void EmptyEntryLines() {
  const test_support::SetUpPermit permit("lignes videes");
  for (const std::string& path : {std::string(PathC40()), std::string(PathC50()), std::string(PathC60())}) {
    Table t;
    ASSERT_TRUE(t.OpenExclusive(path)) << path << " " << t.result;
    ASSERT_TRUE(t.Zap());
  }
}

// The pieces of the test's lines: 800001 on.
inline int& Pieces() {
  static int n = 0;
  return n;
}

// A code of the general file (a VAT code "T", a journal "J" ...).
inline void AddCode(char kind, const std::string& code, const std::string& zone) {
  Table c10;
  ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE"));
  ASSERT_TRUE(c10.AppendBlank());
  c10.PutField(1, std::string(1, kind).c_str());
  c10.PutField(2, code.c_str());
  c10.PutField(3, "Test");
  c10.PutField(4, zone.c_str());
  ASSERT_TRUE(c10.InsertRecord());
  ASSERT_TRUE(c10.Commit());
}
// Cancels the code records of a kind ("J": every journal).
inline void CancelAllCodes(char kind) {
  Table c10;
  ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE"));
  bool more = c10.Seek("C10CODE", std::string(1, kind).c_str());
  while (more && !c10.eof && c10.GetField(1)[0] == kind) {
    c10.DeleteRecord("", 0);
    more = c10.Skip(1);
  }
  c10.Commit();
}
inline void AddAccount(const std::string& code, const std::string& name) {
  Table c20;
  ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE"));
  if (c20.Seek("C20CODE", code.c_str()) && std::string(c20.GetField(1)).compare(0, code.size(), code) == 0) return;
  ASSERT_TRUE(c20.AppendBlank());
  c20.PutField(1, code.c_str());
  c20.PutField(2, name.c_str());
  ASSERT_TRUE(c20.InsertRecord());
  ASSERT_TRUE(c20.Commit());
}
// A draft line (closed = false) or a closed line, with its sort record; its label "Ligne " and its
// piece unless given.
inline void AddLine(const std::string& account, const std::string& journal, const std::string& date, char sense,
          long long cents, const std::string& mark = " ", const std::string& due = "", bool closed = false,
          const std::string& label = "") {
  const test_support::SetUpPermit permit("ligne mise en place");
  char amount[32];
  std::snprintf(amount, sizeof amount, "%s%lld.%02lld", cents < 0 ? "-" : "", (cents < 0 ? -cents : cents) / 100,
                (cents < 0 ? -cents : cents) % 100);
  const std::string piece = std::to_string(800000 + ++Pieces());
  Table lines, c60;
  ASSERT_TRUE(lines.OpenShared(closed ? PathC40() : PathC50(), closed ? "C40CODE" : L::kCodeTag));
  ASSERT_TRUE(c60.OpenShared(PathC60(), LigneTri::kRecordTag));
  ASSERT_TRUE(lines.AppendBlank());
  auto put = [&](int draftField, const std::string& text) {
    lines.PutField(closed ? L::ClosedFieldOf(draftField) : draftField, text.c_str());
  };
  put(L::BCLE, "Z");
  put(L::BMOIS, date.substr(0, 4));
  put(L::BJAL, journal);
  put(L::BPIECE, piece);
  if (!closed) {
    put(L::BREC, "000001");
  }
  put(L::BNUM, "0001");
  put(L::BNUMA, "0001");
  put(L::BJOUR, date.substr(4, 2));
  put(L::BCODE, account);
  put(L::BCLIB, "1");
  put(L::BLIB, label.empty() ? "Ligne " + piece : label);
  put(L::BECHEANCE, due);
  put(L::BEURO, "O");
  put(L::BSENS, std::string(1, sense));
  put(L::BMONTANTE, amount);
  put(L::BMONTANTF, amount);
  put(L::BTVA, mark);
  ASSERT_TRUE(lines.InsertRecord());
  ASSERT_TRUE(AppendLigneTri(lines, closed ? LigneTri::kClosed : LigneTri::kDraft, c60));
  ASSERT_TRUE(lines.Commit());
}


class VatDossierTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char*, unsigned) { return 1; });
    SetRuntimeBeepHook([](unsigned) {});
    ASSERT_EQ(StartDbSession(), 0);
    DemoOptions options;
    options.folder = Dir() + "/tv";
    options.code = "TV";
    options.lines = lines_;
    options.firstDay = Ymd{2029, 7, 1};
    options.lastDay = Ymd{2030, 6, 30};
    options.vatDetail = vatDetail_;
    options.closedMonths = closedMonths_;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    SetDossier(options.folder + "/", "TV");
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(ReadC10Texts());
    TableC10->CloseTable();
    TheDossierRecord.SetConstant(69, "C  ");
    TheDossierRecord.SetConstant(70, "   ");
    TheDossierRecord.SetConstant(71, "   ");
    if (emptyLines_) EmptyEntryLines();
  }
  void TearDown() override {
    CloseCursors();
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    RuntimeTest::TearDown();
  }

  void OpenCursors(const char* c60Tag) {
    CloseCursors();
    ASSERT_TRUE(c10_.OpenShared(PathC10(), "C10CODE", true));
    ASSERT_TRUE(c20_.OpenShared(PathC20(), "C20CODE", true));
    ASSERT_TRUE(c40_.OpenShared(PathC40(), "C40CODE", true));
    ASSERT_TRUE(c50_.OpenShared(PathC50(), L::kCodeTag, true));
    ASSERT_TRUE(c60_.OpenShared(PathC60(), c60Tag, true));
  }
  void CloseCursors() {
    for (Table* t : {&c10_, &c20_, &c40_, &c50_, &c60_}) t->CloseTable();
  }

  void Code(char kind, const std::string& code, const std::string& zone) { AddCode(kind, code, zone); }
  void CancelCodes(char kind) { CancelAllCodes(kind); }
  void Account(const std::string& code, const std::string& name) { AddAccount(code, name); }
  void Line(const std::string& account, const std::string& journal, const std::string& date, char sense,
            long long cents, const std::string& mark = " ", const std::string& due = "", bool closed = false) {
    AddLine(account, journal, date, sense, cents, mark, due, closed);
  }

  long lines_ = 300;
  bool emptyLines_ = true;
  // The generator's VAT detail (lines under every code, marked payments, credits on 44567), and
  // its first months closed.
  bool vatDetail_ = false;
  int closedMonths_ = 0;
  Table c10_, c20_, c40_, c50_, c60_;
};

}  // namespace vat_test
