// Runs that change several records killed half-way, as a crash stops them: a child process runs
// the code-range copy or the automatic matching and kills itself before its n-th file write, for
// every n the run reaches. The dossier is then opened as the user opens it: the interrupted run
// is named, answered Yes it is finished or put back, and each table's live records equal as a
// whole those before the run or those after an uninterrupted one, each tag walking its records.
#include <signal.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "platform/dbase/fileio.h"
#include "platform/gui/modal_seam.h"
#include "processing/matching_windows.h"
#include "processing/core/automatic_matching.h"
#include "processing/core/code_copy.h"
#include "processing/opening_balances_window.h"
#include "support/dossier_fixture.h"
#include "support/killed_runs.h"

namespace {

class RunsKilledTest : public test_support::KilledRunFixture {
 protected:
  void SetUp() override {
    KilledRunFixture::SetUp();
    InstallYearEndCommands();
    InstallMatchingCommands();
  }
};

// Accounts of two dossiers: A's suppliers with their bank details, B with the same codes under
// other texts (each rewritten by the copy) and one missing (appended).
void PutSuppliers(const std::string& path, const std::vector<std::vector<std::string>>& rows) {
  Table t;
  ASSERT_TRUE(t.OpenShared(path, "C20CODE"));
  for (const auto& row : rows) {
    ASSERT_TRUE(t.AppendBlank());
    const char* names[] = {"CCODE", "CLIB", "CDOM1", "CETS", "CGUICHET", "CCOMPTE", "CCLERIB", "CIBAN", "CBIC"};
    for (std::size_t i = 0; i < row.size(); ++i) t.PutField(t.FieldPos(names[i]), row[i].c_str());
    ASSERT_TRUE(t.InsertRecord());
    ASSERT_TRUE(t.Commit());
  }
}

// The copy of a range of suppliers into another dossier, killed before each of its writes: the
// receiving dossier names the copy at its next opening and finishes it; no supplier is left with
// one bank's name and RIB and another's key, IBAN and BIC.
TEST_F(RunsKilledTest, ACodeCopyKilledAtAnyWriteIsNamedAndFinished) {
  const std::string a = MakeDossier("a", "KA", 20), b = MakeDossier("b", "KB", 20);
  PutSuppliers(a + "c20ka", {{"F9000001", "Banque du Nord", "Lille", "30001", "00001", "11111111111", "11",
                              "FR7630001000011111111111111", "NORDFRPP"},
                             {"F9000002", "Banque du Sud", "Nice", "30002", "00002", "22222222222", "22",
                              "FR7630002000022222222222222", "SUDFRPP"},
                             {"F9000003", "Banque de l'Est", "Metz", "30003", "00003", "33333333333", "33",
                              "FR7630003000033333333333333", "ESTFRPP"}});
  PutSuppliers(b + "c20kb", {{"F9000001", "Ancien Nord", "Roubaix", "40001", "00009", "99999999999", "99",
                              "FR7640001000099999999999999", "ANCNFRPP"},
                             {"F9000003", "Ancien Est", "Nancy", "40003", "00008", "88888888888", "88",
                              "FR7640003000088888888888888", "ANCEFRPP"}});
  KillAtEveryWrite(
      b, "KB", {TableKind::C20},
      [&] {
        SetDossier(a, "KA");
        processing::CodeCopyKind k;
        Table source, receiver;
        if (!processing::CodeCopyKindOf("2", &k) || !source.OpenShared(a + "c20ka", k.tag, true) ||
            !receiver.OpenExclusive(b + "c20kb", k.tag))
          return false;
        std::string refusal;
        processing::CodeCopyCount count;
        return processing::CopyCodeRangeMarked(source, a + "c20ka", receiver, processing::OtherDossier{b, "KB"}, k,
                                               {"2", 8, "F9000001", "F9000003"}, {}, &count, &refusal) &&
               count.added == 1 && count.rewritten == 2;
      },
      Opening::kFinishes);
}

// A supplier rewritten by a copy is written whole: killed at any write, without the opening's
// help, it has all the source's texts or all its own.
TEST_F(RunsKilledTest, ACodeCopyRewritesEachRecordInOneWrite) {
  const std::string a = MakeDossier("a", "KA", 20), b = MakeDossier("b", "KB", 20);
  PutSuppliers(a + "c20ka", {{"F9000001", "Banque du Nord", "Lille", "30001", "00001", "11111111111", "11",
                              "FR7630001000011111111111111", "NORDFRPP"}});
  PutSuppliers(b + "c20kb", {{"F9000001", "Ancien Nord", "Roubaix", "40001", "00009", "99999999999", "99",
                              "FR7640001000099999999999999", "ANCNFRPP"}});
  KillAtEveryWrite(
      b, "KB", {TableKind::C20},
      [&] {
        processing::CodeCopyKind k;
        Table source, receiver;
        if (!processing::CodeCopyKindOf("2", &k) || !source.OpenShared(a + "c20ka", k.tag, true) ||
            !receiver.OpenShared(b + "c20kb", k.tag))
          return false;
        return processing::CopyCodeRange(source, receiver, k, {"2", 8, "F9000001", "F9000001"}).rewritten == 1;
      },
      Opening::kNone);
}

// The automatic matching of every account, killed before each of its writes (a sample): the next
// opening names it and puts the three line tables back, so that no letter group is left on some
// of its lines and not on their partners.
TEST_F(RunsKilledTest, AnAutomaticMatchingKilledAtAnyWriteIsNamedAndPutBack) {
  const std::string d = MakeDossier("m", "KM", 80);
  auto run = [&](bool remove) {
    SetDossier(d, "KM");
    Table c40, c50, c60;
    if (!c40.OpenExclusive(PathC40(), "C40CODE") || !c50.OpenExclusive(PathC50(), LigneEcriture::kCodeTag) ||
        !c60.OpenExclusive(PathC60(), processing::kC60CodeTag))
      return false;
    const processing::MatchTables t{c40, c50, c60};
    processing::AutomaticParameters p;
    p.currency = 1;
    p.startAccount = "0";
    p.endAccount = "ZZZZZZZZ";
    p.power = 3;
    p.dateLimit = "ZZZZZZ";
    p.clock = [] { return std::uint64_t{0}; };
    p.deadline = 1;
    long matches = 0;
    std::string refusal;
    const bool ran = processing::RunMatchingGuarded(
        t,
        [&] {
          if (remove) matches = processing::RemoveLetters(t, 1, "0", "ZZZZZZZZ", true, "");
          else matches = processing::RunAutomaticMatching(t, p).matches;
        },
        &refusal);
    return ran && matches > 0;
  };
  // The demo's own letters taken off first, so that the run has groups to letter.
  ASSERT_EQ(RunKilled(LONG_MAX, [&] { return run(true); }), 0);
  KillAtEveryWrite(d, "KM", {TableKind::C40, TableKind::C50, TableKind::C60}, [&] { return run(false); },
                   Opening::kPutsBack);
}

}  // namespace
