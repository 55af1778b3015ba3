// The bank imports and the automatic matching with one engine write refused, the run going on: at
// every write of the run, once as on a full disk (every longer write refused from there on) and
// once as an I/O error (that write only). A run that says it succeeded has written everything; a
// run that failed says so, naming the file (and the full disk); an import run again gives each
// transaction once with its totals, and a matching that failed leaves no letter. A statement's
// transaction of amount 0,00 is left out, and the end message says so.
#include <climits>
#include <functional>
#include <set>
#include <fstream>
#include <map>

#include "core_fixture.h"
#include "data/dossier_invariants.h"
#include "dossier/core/dossier_run_marker.h"
#include "platform/dbase/fileio.h"
#include "platform/system/files.h"
#include "processing/core/ascii_import.h"
#include "processing/core/automatic_matching.h"
#include "processing/core/ofx_import.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "support/bank_statements.h"

namespace processing_test {
namespace {

// An I/O error on a write, as a run's message says it: in words, never the engine's number.
const char* const kWriteError = "erreur d'\xE9" "criture sur le disque";

using dbase::WriteFault;

struct Fault {
  WriteFault kind;
  const char* name;
};
const Fault kFaults[] = {{WriteFault::kFull, "disk full"}, {WriteFault::kFailOnce, "I/O error"}};

class WriteRefusedTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    SetLogDossier(Dir() + "/lt/", "LT");
  }
  void TearDown() override {
    dbase::SetWriteFault(WriteFault::kNone, 0);
    CoreTest::TearDown();
  }
  // The draft and its sort file opened again, as the import window opens them for each run.
  void Reopen() {
    c50.CloseTable();
    c60.CloseTable();
    ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
    ASSERT_TRUE(c60.OpenShared(PathC60(), processing::kC60CodeTag));
  }
  // The live draft lines by label.
  std::map<std::string, int> LinesByLabel() {
    std::map<std::string, int> lines;
    Table probe;
    EXPECT_TRUE(probe.OpenShared(PathC50(), "", true));
    for (bool on = probe.GoTop() && probe.SkipActive(false); on; on = probe.SkipActive(true))
      ++lines[std::string(RTrim(probe.GetField(L::BLIB)))];
    return lines;
  }
  // The writes of `run` without a fault.
  static long WritesOf(const std::function<void()>& run) {
    dbase::SetWriteFault(WriteFault::kFailOnce, LONG_MAX);
    run();
    const long n = dbase::WritesCounted();
    dbase::SetWriteFault(WriteFault::kNone, 0);
    return n;
  }
  // Each import of `labels` once whole (`lines` lines a label), the dossier's rules holding.
  void ExpectOnceWhole(const std::vector<std::string>& labels, int lines, const std::string& said) {
    const std::map<std::string, int> found = LinesByLabel();
    for (const std::string& label : labels) {
      const auto it = found.find(label);
      EXPECT_EQ(it == found.end() ? 0 : it->second, lines) << label << "\n" << said;
    }
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << check.Report() << "\n" << said;
  }
};

// A statement of eight transactions whose names carry `tag`, over three months.
processing::StatementImport Statement(const std::string& tag) {
  processing::StatementImport r = test_support::DemoStatementRequest(test_support::DemoBankStatement());
  processing::BankStatement& s = r.statement;
  for (int i = 0; i < 8; ++i) {
    processing::BankTransaction t;
    t.fitid = tag + "-" + std::to_string(i);
    t.date = "20260" + std::to_string(3 + i % 3) + "1" + std::to_string(i);
    t.cents = (i % 3 == 0 ? -1 : 1) * (1000 + 7 * i);
    t.name = tag + "T" + std::to_string(i);
    s.transactions.push_back(t);
  }
  r.file = tag + ".ofx";
  return r;
}

std::vector<std::string> Labels(const processing::StatementImport& request) {
  std::vector<std::string> labels;
  for (const processing::BankTransaction& t : request.statement.transactions) labels.push_back(t.name);
  return labels;
}

TEST_F(WriteRefusedTest, AStatementImportWithAWriteRefusedIsNeverCountedTwiceNorCalledDone) {
  const long writes = WritesOf([&] { processing::ImportStatement(*TableC10, c50, c60, Statement("W0")); });
  ASSERT_GT(writes, 20);
  int tag = 0, failed = 0;
  for (const Fault& fault : kFaults)
    for (long k = 1; k <= writes; ++k) {
      const processing::StatementImport request = Statement("W" + std::to_string(++tag));
      SCOPED_TRACE(std::string(fault.name) + " at write " + std::to_string(k) + " of " + std::to_string(writes));
      Reopen();
      dbase::SetWriteFault(fault.kind, k);
      const processing::StatementImportResult first = processing::ImportStatement(*TableC10, c50, c60, request);
      dbase::SetWriteFault(WriteFault::kNone, 0);
      if (first.written) {
        ExpectOnceWhole(Labels(request), 2, first.message);
        continue;
      }
      ++failed;
      // A refusal says so and names the file; never "nothing imported" when lines stay.
      EXPECT_NE(first.message.find(fault.kind == WriteFault::kFull ? "disque plein" : kWriteError), std::string::npos)
          << first.message;
      Reopen();
      const processing::StatementImportResult again = processing::ImportStatement(*TableC10, c50, c60, request);
      EXPECT_TRUE(again.written || again.nothingNew) << again.message;
      ExpectOnceWhole(Labels(request), 2, first.message + "\n" + again.message);
      EXPECT_FALSE(platform::FileExists(processing::OfxRunTotalsPath()));
    }
  EXPECT_GT(failed, writes / 2);
}

TEST_F(WriteRefusedTest, ATransactionOfNoAmountIsLeftOutAndTold) {
  processing::StatementImport request = Statement("Z");
  request.statement.transactions[3].cents = 0;
  const processing::StatementImportResult r = processing::ImportStatement(*TableC10, c50, c60, request);
  ASSERT_TRUE(r.written) << r.message;
  EXPECT_EQ(r.imported, 7);
  EXPECT_EQ(r.zeroAmounts, 1);
  EXPECT_NE(r.message.find("1 op\xE9ration(s) de montant nul"), std::string::npos) << r.message;
  const processing::StatementImportResult again = processing::ImportStatement(*TableC10, c50, c60, request);
  EXPECT_TRUE(again.nothingNew) << again.message;
  EXPECT_NE(again.message.find("1 op\xE9ration(s) de montant nul"), std::string::npos) << again.message;
}

TEST_F(WriteRefusedTest, AnAsciiImportWithAWriteRefusedIsTakenUpOnceByTheNextImport) {
  // Three pieces over two journals and three months, labelled with the file's own tag.
  auto file = [&](const std::string& tag) {
    const std::string path = Dir() + "/" + tag + ".txt";
    std::ofstream(path, std::ios::binary)
        << "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n"
        << "OD;14/03/2026;F1;51200000;1;" << tag << "F1;120,00;\r\nOD;14/03/2026;F1;70600000;1;" << tag
        << "F1;;120,00\r\nBQ;02/04/2026;R1;62700000;0;" << tag << "R1;12,5;\r\nBQ;02/04/2026;R1;51200000;0;" << tag
        << "R1;;12,5\r\nOD;30/06/2026;X;60700000;0;" << tag << "X;1 000;\r\nOD;30/06/2026;X;51200000;0;" << tag
        << "X;;1 000\r\n";
    return path;
  };
  auto import = [&](const std::string& path) {
    Reopen();
    const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, path);
    EXPECT_TRUE(read.Importable() || !read.stoppedRun.empty()) << read.importedBefore;
    return processing::ImportAsciiFile(*TableC10, c50, c60, read);
  };
  const long writes = WritesOf([&] { import(file("A0")); });
  ASSERT_GT(writes, 20);
  int tag = 0, failed = 0;
  for (const Fault& fault : kFaults)
    for (long k = 1; k <= writes; ++k) {
      const std::string name = "A" + std::to_string(++tag), path = file(name);
      SCOPED_TRACE(std::string(fault.name) + " at write " + std::to_string(k) + " of " + std::to_string(writes));
      dbase::SetWriteFault(fault.kind, k);
      const processing::AsciiRun first = import(path);
      dbase::SetWriteFault(WriteFault::kNone, 0);
      std::string said = first.message;
      if (!first.written) {
        ++failed;
        EXPECT_NE(first.message.find(fault.kind == WriteFault::kFull ? "disque plein" : kWriteError), std::string::npos)
            << first.message;
        const processing::AsciiRun again = import(path);
        EXPECT_TRUE(again.written) << again.message;
        said += "\n" + again.message;
      }
      ExpectOnceWhole({name + "F1", name + "R1", name + "X"}, 2, said);
      EXPECT_FALSE(platform::FileExists(processing::AsciiRunPiecesPath())) << said;
    }
  EXPECT_GT(failed, writes / 2);
}

TEST_F(WriteRefusedTest, AMatchingWithAWriteRefusedPutsTheLettersBackAndSaysSo) {
  // Three pairs and a group of three on one account; the tables held alone, as the form holds them.
  AddLines("41100000", {{'D', 100}, {'C', 100, 2}, {'D', 40, 3}, {'C', 40, 4}, {'D', 7, 5}, {'C', 7, 6},
                        {'D', 50, 7}, {'D', 30, 8}, {'C', 80, 9}});
  c40.CloseTable();
  c50.CloseTable();
  c60.CloseTable();
  ASSERT_TRUE(c40.OpenExclusive(PathC40(), "C40CODE"));
  ASSERT_TRUE(c50.OpenExclusive(PathC50(), L::kCodeTag));
  ASSERT_TRUE(c60.OpenExclusive(PathC60(), processing::kC60CodeTag));
  processing::AutomaticParameters p;
  p.currency = 1;
  p.startAccount = "41100000";
  p.endAccount = "41100000";
  p.power = 3;
  p.dateLimit = "C61231";
  p.clock = [] { return std::uint64_t{0}; };
  p.deadline = 1;
  // The euro letters of the draft lines and of their sort records.
  auto letters = [&] {
    std::multiset<std::string> all;
    for (long r = 1; c50.GoTo(r); ++r)
      if (std::string(RTrim(c50.GetField(L::BCODE))) == "41100000") all.insert("L" + std::string(RTrim(c50.GetField(L::BLETE))));
    for (long r = 1; c60.GoTo(r); ++r)
      if (processing::AccountOf(c60) == "41100000") all.insert("T" + std::string(RTrim(c60.GetField(T::TLETE))));
    return all;
  };
  const std::multiset<std::string> before = letters();
  // The changes made before the matching's first (the copies and the run marker).
  long startedAt = 0;
  auto run = [&](std::string* refusal) {
    long matches = 0;
    const processing::MatchTables t{c40, c50, c60};
    const bool ran = processing::RunMatchingGuarded(
        t,
        [&] {
          startedAt = dbase::WritesCounted();
          matches = processing::RunAutomaticMatching(t, p).matches;
        },
        refusal);
    return ran ? matches : -1;
  };
  std::string refusal;
  long writes = 0, beforeWork = 0;
  {
    dbase::SetWriteFault(WriteFault::kFailOnce, LONG_MAX);
    ASSERT_EQ(run(&refusal), 4) << refusal;
    writes = dbase::WritesCounted();
    beforeWork = startedAt;
    dbase::SetWriteFault(WriteFault::kNone, 0);
  }
  ASSERT_GT(writes, beforeWork);
  const std::multiset<std::string> after = letters();
  ASSERT_NE(after, before);
  int failed = 0;
  for (long k = 1; k <= writes; ++k) {
    SCOPED_TRACE("I/O error at write " + std::to_string(k) + " of " + std::to_string(writes));
    // Back to no letter: the removal of every letter, then the run with the k-th write refused.
    ASSERT_TRUE(processing::RunMatchingGuarded(
        {c40, c50, c60}, [&] { processing::RemoveLetters({c40, c50, c60}, 1, "41100000", "41100000", true, ""); },
        &refusal))
        << refusal;
    ASSERT_EQ(letters(), before);
    refusal.clear();
    dbase::SetWriteFault(WriteFault::kFailOnce, k);
    const long matches = run(&refusal);
    dbase::SetWriteFault(WriteFault::kNone, 0);
    EXPECT_FALSE(DossierRunMarkerExists()) << refusal;
    if (matches >= 0) {
      EXPECT_EQ(matches, 4);
      EXPECT_EQ(letters(), after);
      continue;
    }
    ++failed;
    // Refused while its copies or its marker were written: the run did not start. Refused later:
    // the lines are put back from the copies.
    EXPECT_NE(refusal.find(k <= beforeWork ? "pas \xE9t\xE9 lanc\xE9" : "remises telles qu'elles \xE9taient"),
              std::string::npos)
        << refusal;
    EXPECT_EQ(letters(), before) << refusal;
  }
  EXPECT_GT(failed, beforeWork);
}

// The messages of the statement import, whole and to the byte: the refusals of a request, the
// end of a run of several pieces, of one piece after pieces imported before, of nothing new.
TEST_F(WriteRefusedTest, TheStatementMessagesAreTheirOwnBytes) {
  using processing::ImportStatement;
  const std::string nothing = "Rien n'a \xE9t\xE9 import\xE9.";
  const std::string currencies = TheDossierRecord.EuroIsMain() ? "euros" : "euros ou en francs";
  processing::StatementImport bad = Statement("M1");
  bad.statement.currency = "USD";
  EXPECT_EQ(ImportStatement(*TableC10, c50, c60, bad).message,
            "Relev\xE9 en devise USD: seuls les relev\xE9s en " + currencies + " sont import\xE9s.\n" + nothing);
  bad.statement.currency = "";
  EXPECT_EQ(ImportStatement(*TableC10, c50, c60, bad).message,
            "Relev\xE9 en devise inconnue: seuls les relev\xE9s en " + currencies + " sont import\xE9s.\n" + nothing);
  bad = Statement("M1");
  bad.journal = "";
  EXPECT_EQ(ImportStatement(*TableC10, c50, c60, bad).message,
            "Le compte de la banque, le compte de contrepartie et le journal sont n\xE9" "cessaires.");
  bad = Statement("M1");
  bad.counterpart = "99999999";
  EXPECT_EQ(ImportStatement(*TableC10, c50, c60, bad).message,
            "Le compte 99999999 n'existe pas dans le plan comptable.\n" + nothing);
  bad = Statement("M1");
  bad.statement.transactions[1].fitid = bad.statement.transactions[0].fitid;
  EXPECT_EQ(ImportStatement(*TableC10, c50, c60, bad).message.rfind(
                "Le relev\xE9 donne le m\xEAme identifiant (FITID) \xE0 des op\xE9rations diff\xE9rentes :\nFITID M1-0 : ", 0),
            0u);
  bad = Statement("M1");
  bad.statement.transactions[2].date = "2026XX01";
  EXPECT_EQ(ImportStatement(*TableC10, c50, c60, bad).message, "Date illisible: 2026XX01.\n" + nothing);

  processing::StatementImport request = Statement("M2");
  const processing::StatementImportResult all = ImportStatement(*TableC10, c50, c60, request);
  ASSERT_TRUE(all.written) << all.message;
  ASSERT_EQ(all.numbers.size(), 8u);
  EXPECT_EQ(all.message, "8 op\xE9rations import\xE9" "es dans le journal BQ (pi\xE8" "ces " +
                             std::to_string(all.numbers.front()) + " \xE0 " + std::to_string(all.numbers.back()) + ").");
  processing::BankTransaction more = request.statement.transactions.back();
  more.fitid = "M2-new";
  request.statement.transactions.push_back(more);
  Reopen();
  const processing::StatementImportResult one = ImportStatement(*TableC10, c50, c60, request);
  ASSERT_TRUE(one.written) << one.message;
  EXPECT_EQ(one.message, "1 op\xE9ration import\xE9" "e dans le journal BQ (pi\xE8" "ces " + std::to_string(one.numbers.front()) +
                             "),\n8 op\xE9rations d\xE9j\xE0 import\xE9" "es.");
  Reopen();
  EXPECT_EQ(ImportStatement(*TableC10, c50, c60, request).message,
            "Aucune nouvelle op\xE9ration: les 9 op\xE9rations du relev\xE9 sont d\xE9j\xE0 import\xE9" "es.");
}

}  // namespace
}  // namespace processing_test
