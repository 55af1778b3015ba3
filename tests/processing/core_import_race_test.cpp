// Two stations importing into the dossier at the same moment, as two processes: the same statement
// imported by both gives one set of pieces and its identities once; a run held elsewhere refuses
// the other station's run with nothing written; a statement's identities that cannot be recorded
// stop the run before its first line, and are taken back when its lines cannot be written; an
// ASCII file imported elsewhere after this station read it is refused; and the statement import's
// label code is checked against the dossier's label codes. Transactions without FITIDs are told
// apart by what they carry.
#include <signal.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "core_fixture.h"
#include "data/dossier_invariants.h"
#include "dossier/core/dossier_run_marker.h"
#include "platform/dbase/fileio.h"
#include "platform/system/files.h"
#include "processing/core/ascii_import.h"
#include "processing/core/bank_pieces.h"
#include "processing/core/ofx_import.h"
#include "runtime/logfile.h"
#include "support/bank_statements.h"
#include "support/other_process.h"

namespace processing_test {
namespace {

// A statement of `count` transactions of the bank account, spread over the year 2026.
processing::BankStatement Statement(int count) { return test_support::DemoStatementImport(count).statement; }

processing::StatementImport Request(const processing::BankStatement& s, const char* journal,
                                    const char* labelCode = "0") {
  processing::StatementImport r = test_support::DemoStatementRequest(s);
  r.journal = journal;
  r.labelCode = labelCode;
  return r;
}

// In a process that is to die half-way: the draft file and the size past which the next change
// of the engine's files kills the process.
std::pair<std::string, std::int64_t>& KilledPast() {
  static std::pair<std::string, std::int64_t> at;
  return at;
}
void KillWhenDraftGrown() {
  if (platform::FileSize(KilledPast().first) >= KilledPast().second) ::raise(SIGKILL);
}

class ImportRaceTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    SetLogDossier(Dir() + "/lt/", "LT");
  }
  long Records() { return static_cast<long>(c50.RecCount()); }
  // The identities recorded, each with how many times.
  std::map<std::string, int> Identities() {
    std::map<std::string, int> n;
    for (const processing::ImportedIdentity& i : processing::ReadImportedIdentities()) ++n[i.identity];
    return n;
  }
  std::string LogText() {
    std::string text;
    platform::ReadWholeFile(LogPath(), text);
    return text;
  }
  // In the other process: the program's tables opened anew (locks taken through the descriptions
  // inherited from this process would be shared with it), with its own draft and sort file.
  static bool ReopenTables(Table& lines, Table& sorts) {
    TableC10->CloseTable();
    TableC20->CloseTable();
    return TableC10->OpenShared(PathC10(), "C10CODE") && TableC20->OpenShared(PathC20(), "C20CODE") &&
           lines.OpenShared(PathC50(), L::kCodeTag) && sorts.OpenShared(PathC60(), processing::kC60CodeTag);
  }
};

TEST_F(ImportRaceTest, TheSameStatementImportedByTwoStationsAtOnceIsWrittenOnce) {
  const processing::BankStatement s = Statement(240);
  const long before = Records();
  test_support::Signal ready, go;
  // The other station imports into another journal, so that no journal-month header stands
  // between the two runs: only the import lock does.
  test_support::OtherProcess other([&](char) {
    Table lines, sorts;
    if (!ReopenTables(lines, sorts)) return false;
    ready.Post();
    go.Wait();
    return processing::ImportStatement(*TableC10, lines, sorts, Request(s, "BQ")).written;
  });
  bool otherWritten = false;
  std::thread station([&] { otherWritten = other.Do('i'); });
  ASSERT_TRUE(ready.Wait());
  go.Post();
  const processing::StatementImportResult mine = processing::ImportStatement(*TableC10, c50, c60, Request(s, "OD"));
  station.join();

  EXPECT_NE(mine.written, otherWritten) << mine.message;
  if (!mine.written) {
    // Refused while the other run held the lock, or found everything imported once it ended.
    EXPECT_TRUE(mine.nothingNew || mine.message.find("en cours sur un autre poste") != std::string::npos)
        << mine.message;
  }
  EXPECT_EQ(Records(), before + 2 * 240);
  const std::map<std::string, int> ids = Identities();
  EXPECT_EQ(ids.size(), 240u);
  for (const auto& [identity, times] : ids) EXPECT_EQ(times, 1) << identity;
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
  // Once both have ended, the statement again brings nothing new.
  EXPECT_TRUE(processing::ImportStatement(*TableC10, c50, c60, Request(s, "BQ")).nothingNew);
}

TEST_F(ImportRaceTest, ARunHeldOnAnotherStationRefusesTheImportWithNothingWritten) {
  const processing::BankStatement s = Statement(4);
  const std::string ascii = Dir() + "/ajout.txt";
  std::ofstream(ascii, std::ios::binary) << "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n"
                                            "OD;14/03/2026;F1;51200000;1;Vente;120,00;\r\n"
                                            "OD;14/03/2026;F1;70600000;1;Vente;;120,00\r\n";
  const std::string ofxLock = processing::OfxImportLockPath(), asciiLock = processing::AsciiImportLockPath();
  test_support::OtherProcess other([&](char cmd) {
    static std::optional<processing::ImportHold> hold;
    hold.reset();
    if (cmd == 'o') hold.emplace(ofxLock, 0);
    if (cmd == 'a') hold.emplace(asciiLock, 0);
    return !hold || hold->held();
  });
  struct Case {
    const char* what;
    char hold;
    std::function<bool(std::string&)> run;  // true when written; the message
  };
  const Case cases[] = {
      {"statement", 'o',
       [&](std::string& said) {
         const processing::StatementImportResult r = processing::ImportStatement(*TableC10, c50, c60, Request(s, "BQ"));
         said = r.message;
         return r.written;
       }},
      {"ASCII file", 'a',
       [&](std::string& said) {
         const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, ascii);
         const processing::AsciiRun r = processing::ImportAsciiFile(*TableC10, c50, c60, read);
         said = r.message;
         return r.written;
       }},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(other.Do(c.hold)) << c.what;
    const long before = Records();
    std::string said;
    EXPECT_FALSE(c.run(said)) << c.what;
    EXPECT_NE(said.find("Une importation dans ce dossier est en cours sur un autre poste"), std::string::npos)
        << c.what << ": " << said;
    EXPECT_EQ(Records(), before) << c.what;
    // Let go there, the same run goes through here.
    ASSERT_TRUE(other.Do('r')) << c.what;
    EXPECT_TRUE(c.run(said)) << c.what << ": " << said;
    EXPECT_GT(Records(), before) << c.what;
  }
  EXPECT_EQ(Identities().size(), 4u);
  EXPECT_FALSE(platform::FileExists(ascii)) << "the imported file was renamed";
}

TEST_F(ImportRaceTest, IdentitiesThatCannotBeRecordedWriteNothing) {
  const processing::BankStatement s = Statement(3);
  const long before = Records();
  // A folder in the place of the identities file: it can be neither read nor written.
  std::filesystem::create_directory(processing::OfxIdentitiesPath());
  processing::StatementImportResult r = processing::ImportStatement(*TableC10, c50, c60, Request(s, "BQ"));
  EXPECT_FALSE(r.written);
  EXPECT_NE(r.message.find("garde trace des importations"), std::string::npos) << r.message;
  EXPECT_EQ(Records(), before);
  EXPECT_EQ(LogText().find("IMPORTATION RELEVE OFX - Ok"), std::string::npos);
  std::filesystem::remove(processing::OfxIdentitiesPath());

  // Lines that cannot be written (the draft open read-only): the identities recorded for them are
  // taken back, so that the next import writes them.
  r = processing::ImportStatement(*TableC10, c50, c60, Request(Statement(1), "BQ"));
  ASSERT_TRUE(r.written) << r.message;
  const std::string kept = [] {
    std::string text;
    platform::ReadWholeFile(processing::OfxIdentitiesPath(), text);
    return text;
  }();
  const long one = Records();
  Table readOnly;
  ASSERT_TRUE(readOnly.OpenShared(PathC50(), L::kCodeTag, true));
  r = processing::ImportStatement(*TableC10, readOnly, c60, Request(s, "BQ"));
  EXPECT_FALSE(r.written);
  EXPECT_EQ(Records(), one);
  std::string now;
  platform::ReadWholeFile(processing::OfxIdentitiesPath(), now);
  EXPECT_EQ(now, kept);
  r = processing::ImportStatement(*TableC10, c50, c60, Request(s, "BQ"));
  EXPECT_TRUE(r.written) << r.message;
  EXPECT_EQ(r.imported, 2);
  EXPECT_EQ(r.skipped, 1);
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

// A station killed while it writes a statement's pieces: its identities were recorded before its
// first line. The next import finds its start line without an end, takes back the identities whose
// piece the draft does not hold whole and writes those transactions: every one once, none lost.
TEST_F(ImportRaceTest, AStatementRunKilledHalfWayIsTakenUpByTheNextImport) {
  const int count = 3000;
  const processing::BankStatement s = Statement(count);
  const long before = Records();
  const std::string c50File = platform::ResolvePath(std::string(PathC50()) + ".dbf");
  const std::int64_t size = platform::FileSize(c50File);
  std::signal(SIGPIPE, SIG_IGN);
  {
    // The other station kills itself at the engine's first change after its draft has grown by
    // one batch of lines and one line more: part-way through its lines (its first batch written,
    // its second not counted), at the same point whatever the machine's load.
    test_support::OtherProcess other([&](char) {
      Table lines, sorts;
      if (!ReopenTables(lines, sorts)) return false;
      KilledPast() = {c50File, size + static_cast<std::int64_t>((kDraftBatchLines + 1) * lines.recordBuffer.size())};
      dbase::BeforeFileChange = &KillWhenDraftGrown;
      return processing::ImportStatement(*TableC10, lines, sorts, Request(s, "BQ")).written;
    });
    EXPECT_FALSE(other.Do('i')) << "the run went to its end";
  }
  auto live = [&] {
    long n = 0;
    Table probe;
    EXPECT_TRUE(probe.OpenShared(PathC50(), "", true));
    for (long rec = before + 1; rec <= static_cast<long>(probe.RecCount()); ++rec)
      if (probe.GoTo(rec) && !probe.IsDeleted()) ++n;
    return n;
  };
  const long half = live();
  ASSERT_GT(half, 0);
  ASSERT_LT(half, 2 * count) << "the run was stopped before its end";
  EXPECT_EQ(Identities().size(), static_cast<std::size_t>(count)) << "recorded before the first line";

  const processing::StatementImportResult r = processing::ImportStatement(*TableC10, c50, c60, Request(s, "BQ"));
  ASSERT_TRUE(r.written) << r.message;
  EXPECT_NE(r.message.find("L'importation du relev\xE9 releve.ofx a \xE9t\xE9 interrompue : ses " +
                           std::to_string(half / 2) + " pi\xE8" "ce(s) \xE9" "crite(s) en entier dans le journal BQ "
                           "sont gard\xE9" "es."),
            std::string::npos)
      << r.message;
  EXPECT_EQ(r.imported + r.skipped, count);
  EXPECT_EQ(r.skipped, half / 2);
  // Killed between the two lines of a piece, its lone line is cancelled and the piece written
  // again whole, which the message says once; the totals are those of the lines.
  EXPECT_EQ(live(), 2L * count);
  const std::string cut = "1 pi\xE8" "ce(s) n'avaient \xE9t\xE9 \xE9" "crites qu'en partie : leurs 1 ligne(s)";
  if (half % 2 == 1) EXPECT_NE(r.message.find(cut), std::string::npos) << r.message;
  EXPECT_EQ(r.message.find("qu'en partie", r.message.find("qu'en partie") + 1), std::string::npos) << r.message;
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
  const std::map<std::string, int> ids = Identities();
  EXPECT_EQ(ids.size(), static_cast<std::size_t>(count));
  for (const auto& [identity, times] : ids) EXPECT_EQ(times, 1) << identity;
  EXPECT_NE(LogText().find("IMPORTATION RELEVE OFX - Interrompu - journal BQ"), std::string::npos);
  // Named once: the next import finds nothing new and no stopped run.
  const processing::StatementImportResult again = processing::ImportStatement(*TableC10, c50, c60, Request(s, "BQ"));
  EXPECT_TRUE(again.nothingNew) << again.message;
  EXPECT_EQ(again.message.find("arr\xEAt\xE9"), std::string::npos) << again.message;
}

// A stopped run's pieces left each with one of its two lines: the lone lines are cancelled, their
// amounts taken back out of the totals, and the transactions written again whole; the message
// says so once, with the count.
TEST_F(ImportRaceTest, APieceAStoppedRunWroteInPartIsCancelledAndWrittenAgainWhole) {
  const processing::BankStatement s = Statement(2);
  AddLines("51200000", {{'D', 10.0, 5}, {'D', 20.0, 6}});  // pieces OD 901 and 902 of March 2026, one line each
  const std::vector<std::string> identities =
      processing::TransactionIdentities(processing::StatementAccountKey(s), s.transactions);
  ASSERT_TRUE(platform::AppendToFile(processing::OfxIdentitiesPath(), identities[0] + "\t2603\tOD\t901\t51200000\n" +
                                                                          identities[1] + "\t2603\tOD\t902\t51200000\n"));
  WriteLog(std::string("IMPORTATION RELEVE OFX - D\xE9" "but - releve.ofx - journal OD pi\xE8" "ces 901 \xE0 902"));
  const long before = Records();
  const processing::StatementImportResult r = processing::ImportStatement(*TableC10, c50, c60, Request(s, "OD"));
  ASSERT_TRUE(r.written) << r.message;
  EXPECT_EQ(r.imported, 2);
  EXPECT_EQ(r.message.find("2 pi\xE8" "ce(s) n'avaient \xE9t\xE9 \xE9" "crites qu'en partie par une importation "
                           "arr\xEAt\xE9" "e : leurs 2 ligne(s) \xE9" "crite(s) ont \xE9t\xE9 annul\xE9" "es"),
            0u)
      << r.message;
  EXPECT_EQ(r.message.find("qu'en partie", r.message.find("qu'en partie") + 1), std::string::npos) << r.message;
  EXPECT_EQ(Records(), before + 4);
  EXPECT_EQ(Identities().size(), 2u);
  EXPECT_EQ(processing::DraftPieceLines(c50, "C603", "OD", 901), 0);
  EXPECT_EQ(processing::DraftPieceLines(c50, "C603", "OD", 902), 0);
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

// A station that kept the dossier open while another's import was killed half-way: its next import,
// of either kind, puts the stopped one in order before it writes anything (the pieces the draft
// holds whole kept, their totals written) and says so, an index update it cut short made again
// first. It refuses, with nothing written, while that index cannot be made again (another station
// has the table open), and when the dossier's marker names a run of another kind, which is for
// the opening.
TEST_F(ImportRaceTest, AStoppedImportIsPutInOrderByTheNextImportOfEitherKind) {
  auto file = [&](const std::string& name, const std::string& piece) {
    const std::string path = Dir() + "/" + name;
    std::ofstream(path, std::ios::binary) << "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n"
                                             "OD;14/03/2026;" << piece << "1;51200000;1;Vente;120,00;\r\n"
                                             "OD;14/03/2026;" << piece << "1;70600000;1;Vente;;120,00\r\n"
                                             "OD;15/03/2026;" << piece << "2;51200000;1;Vente;80,00;\r\n"
                                             "OD;15/03/2026;" << piece << "2;70600000;1;Vente;;80,00\r\n";
    return path;
  };
  auto asciiImport = [&](const std::string& path, Table& lines, Table& sorts) {
    return processing::ImportAsciiFile(*TableC10, lines, sorts,
                                       processing::ReadAsciiFile(*TableC10, *TableC20, lines, path));
  };
  // The import in another station, killed at the engine's first change once `due`.
  auto killed = [&](const std::function<bool()>& due, const std::function<bool(Table&, Table&)>& import) {
    std::signal(SIGPIPE, SIG_IGN);
    test_support::OtherProcess other([&](char) {
      Table l, s;
      if (!ReopenTables(l, s)) return false;
      test_support::KillWhen() = due;
      dbase::BeforeFileChange = &test_support::KillWhenDue;
      return import(l, s);
    });
    EXPECT_FALSE(other.Do('i')) << "the run was to be killed half-way";
    EXPECT_TRUE(platform::FileExists(DossierRunMarkerPath()));
  };
  // Its lines and sort records written, its totals journal listed, no total written.
  auto totalsListed = [](const std::string& journal) {
    return [journal] {
      std::string text;
      return platform::ReadWholeFile(journal, text) && text.find("entrees\n") != std::string::npos;
    };
  };
  auto statement = [](const char* tag) {
    processing::BankStatement s = Statement(3);
    for (processing::BankTransaction& t : s.transactions) t.fitid = tag + t.fitid;
    return s;
  };
  auto whole = [](const std::string& said) {
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << check.Report() << "\n" << said;
    EXPECT_FALSE(platform::FileExists(DossierRunMarkerPath())) << said;
  };
  const std::string first = file("premier.txt", "F"), second = file("second.txt", "G");

  // A file killed, then a statement imported.
  killed(totalsListed(processing::AsciiRunTotalsPath()), [&](Table& l, Table& s) { return asciiImport(first, l, s).written; });
  const processing::StatementImportResult a = processing::ImportStatement(*TableC10, c50, c60, Request(statement("A"), "BQ"));
  EXPECT_TRUE(a.written) << a.message;
  EXPECT_NE(a.message.find("L'importation du fichier " + first + " a \xE9t\xE9 interrompue : ses 2 pi\xE8" "ce(s)"),
            std::string::npos)
      << a.message;
  whole(a.message);

  // A statement killed, then the file again: its two pieces were kept, none is written twice.
  killed(totalsListed(processing::OfxRunTotalsPath()),
         [&](Table& l, Table& s) { return processing::ImportStatement(*TableC10, l, s, Request(statement("B"), "BQ")).written; });
  const processing::AsciiRun resumed = asciiImport(first, c50, c60);
  EXPECT_TRUE(resumed.written) << resumed.message;
  EXPECT_NE(resumed.message.find("L'importation du relev\xE9 releve.ofx a \xE9t\xE9 interrompue : ses 3 pi\xE8" "ce(s)"),
            std::string::npos)
      << resumed.message;
  EXPECT_NE(resumed.message.find("2 pi\xE8" "ce(s) d\xE9j\xE0 \xE9" "crite(s) en entier sont gard\xE9" "es, 0 pi\xE8" "ce(s)"),
            std::string::npos)
      << resumed.message;
  whole(resumed.message);
  EXPECT_TRUE(processing::ImportStatement(*TableC10, c50, c60, Request(statement("B"), "BQ")).nothingNew);

  // A validation stopped half-way: for the opening, which can have the dossier alone.
  ASSERT_TRUE(WriteDossierRunMarker({kValidationRun, "Validation des Journaux", "2", "05/03/2026 \xE0 09h07", ""}));
  long records = Records();
  const processing::StatementImportResult validation =
      processing::ImportStatement(*TableC10, c50, c60, Request(statement("C"), "BQ"));
  EXPECT_FALSE(validation.written);
  EXPECT_NE(validation.message.find("Un traitement de ce dossier a \xE9t\xE9 interrompu avant sa fin (Validation des "
                                    "Journaux)"),
            std::string::npos)
      << validation.message;
  EXPECT_EQ(Records(), records);
  ASSERT_TRUE(RemoveDossierRunMarker());

  // A statement killed inside the index update of its lines: the draft's index is made again
  // before the stopped import is looked at, which waits while another station has the draft open.
  const std::string draft = platform::ResolvePath(std::string(PathC50()) + ".dbf");
  const std::uint32_t counted = test_support::CountedRecords(draft);
  killed([&] { return test_support::CountedRecords(draft) >= counted + 6; },
         [&](Table& l, Table& s) { return processing::ImportStatement(*TableC10, l, s, Request(statement("D"), "BQ")).written; });
  records = Records();
  {
    test_support::OtherProcess reader([](char) {
      static Table lines;
      return lines.OpenShared(PathC50(), "", true);
    });
    ASSERT_TRUE(reader.Do('o'));
    const processing::AsciiRun refused = asciiImport(second, c50, c60);
    EXPECT_FALSE(refused.written);
    EXPECT_NE(refused.message.find("a laiss\xE9 \xE0 refaire l'index " + platform::ResolvePath(std::string(PathC50()) + ".mdx")),
              std::string::npos)
        << refused.message;
    EXPECT_EQ(Records(), records);
    EXPECT_TRUE(platform::FileExists(DossierRunMarkerPath()));
  }
  const processing::AsciiRun afterIndex = asciiImport(second, c50, c60);
  EXPECT_TRUE(afterIndex.written) << afterIndex.message;
  EXPECT_NE(afterIndex.message.find("L'importation du relev\xE9 releve.ofx a \xE9t\xE9 interrompue : ses 3 pi\xE8" "ce(s)"),
            std::string::npos)
      << afterIndex.message;
  whole(afterIndex.message);
  EXPECT_TRUE(processing::ImportStatement(*TableC10, c50, c60, Request(statement("D"), "BQ")).nothingNew);
}

TEST_F(ImportRaceTest, AnAsciiFileImportedElsewhereSinceItWasReadIsRefused) {
  const std::string path = Dir() + "/double.txt";
  std::ofstream(path, std::ios::binary) << "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n"
                                           "BQ;02/04/2026;R1;62700000;0;Frais;12,5;\r\n"
                                           "BQ;02/04/2026;R1;51200000;0;Frais;;12,5\r\n";
  // Both stations read the file; the other one imports it (and renames it) first.
  const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, path);
  ASSERT_TRUE(read.Importable());
  const long before = Records();
  test_support::OtherProcess other([&](char) {
    Table lines, sorts;
    return ReopenTables(lines, sorts) && processing::ImportAsciiFile(*TableC10, lines, sorts, read).written;
  });
  ASSERT_TRUE(other.Do('i'));
  ASSERT_EQ(Records(), before + 2);
  const processing::AsciiRun mine = processing::ImportAsciiFile(*TableC10, c50, c60, read);
  EXPECT_FALSE(mine.written);
  EXPECT_NE(mine.message.find("vient d'\xEAtre import\xE9 sur un autre poste"), std::string::npos) << mine.message;
  EXPECT_EQ(Records(), before + 2);
}

// A statement without FITIDs: transactions that differ only by their amount, their day, their payee
// or their sign are each written; the statement again brings nothing new, and a later one that
// repeats them brings only its new transaction.
TEST_F(ImportRaceTest, TransactionsWithoutFitidAreEachWrittenOnce) {
  processing::BankStatement s = Statement(0);
  const struct {
    const char* date;
    long long cents;
    const char* name;
  } rows[] = {{"20260315", -4250, "CARTE SUPERMARCHE"}, {"20260315", -1999, "CARTE SUPERMARCHE"},
              {"20260316", -4250, "CARTE SUPERMARCHE"}, {"20260315", -4250, "CARTE BOULANGERIE"},
              {"20260315", 4250, "CARTE SUPERMARCHE"}};
  for (const auto& row : rows) {
    processing::BankTransaction t;
    t.date = row.date;
    t.cents = row.cents;
    t.name = row.name;
    s.transactions.push_back(t);
  }
  const long before = Records();
  processing::StatementImportResult r = processing::ImportStatement(*TableC10, c50, c60, Request(s, "BQ"));
  ASSERT_TRUE(r.written) << r.message;
  EXPECT_EQ(r.imported, 5);
  EXPECT_EQ(r.skipped, 0);
  EXPECT_EQ(Records(), before + 10);
  EXPECT_EQ(Identities().size(), 5u);

  r = processing::ImportStatement(*TableC10, c50, c60, Request(s, "BQ"));
  EXPECT_TRUE(r.nothingNew) << r.message;
  EXPECT_EQ(Records(), before + 10);

  processing::BankTransaction later;
  later.date = "20260331";
  later.cents = -1999;
  later.name = "CARTE SUPERMARCHE";
  s.transactions.push_back(later);
  r = processing::ImportStatement(*TableC10, c50, c60, Request(s, "BQ"));
  ASSERT_TRUE(r.written) << r.message;
  EXPECT_EQ(r.imported, 1);
  EXPECT_EQ(r.skipped, 5);
  EXPECT_EQ(Records(), before + 12);
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

// A later statement without FITIDs lists one payee's transactions of a day in another order than
// the statement imported before (two of them identical): none is taken for another, the known ones
// are skipped whatever their place and only the new one is written, once.
TEST_F(ImportRaceTest, ADaysTransactionsListedInAnotherOrderAreKnownAgain) {
  const struct {
    long long cents;
    const char* memo;
  } rows[] = {{-4250, ""}, {-1999, ""}, {-4250, ""}, {-1999, "RETRAIT"}, {-720, ""}};
  auto statement = [&](const std::vector<int>& order) {
    processing::BankStatement s = Statement(0);
    for (int i : order) {
      processing::BankTransaction t;
      t.date = "20260315";
      t.cents = rows[i].cents;
      t.name = "CARTE SUPERMARCHE";
      t.memo = rows[i].memo;
      s.transactions.push_back(t);
    }
    return s;
  };
  const long before = Records();
  processing::StatementImportResult r =
      processing::ImportStatement(*TableC10, c50, c60, Request(statement({0, 1, 2, 3}), "BQ"));
  ASSERT_TRUE(r.written) << r.message;
  EXPECT_EQ(r.imported, 4);
  EXPECT_EQ(Records(), before + 8);

  const struct {
    std::vector<int> order;
    int imported, skipped;
  } later[] = {{{3, 2, 1, 0}, 0, 4}, {{1, 0, 3, 2}, 0, 4}, {{1, 4, 3, 0, 2}, 1, 4}, {{4, 2, 0, 3, 1}, 0, 5}};
  long records = before + 8;
  for (const auto& l : later) {
    SCOPED_TRACE(::testing::PrintToString(l.order));
    r = processing::ImportStatement(*TableC10, c50, c60, Request(statement(l.order), "BQ"));
    if (l.imported == 0) {
      EXPECT_TRUE(r.nothingNew) << r.message;
    } else {
      ASSERT_TRUE(r.written) << r.message;
      EXPECT_EQ(r.imported, l.imported);
      EXPECT_EQ(r.skipped, l.skipped);
    }
    records += 2 * l.imported;
    EXPECT_EQ(Records(), records);
  }
  EXPECT_EQ(Identities().size(), 5u);
  // Each transaction written once: its two lines carry its amount.
  std::multiset<long long> written, want;
  for (long r = before + 1; r <= Records(); ++r) {
    ASSERT_TRUE(c50.GoTo(r));
    written.insert(ToCents(Val(c50.GetField(L::BMONTANTE))));
  }
  for (const auto& row : rows) want.insert({-row.cents, -row.cents});
  EXPECT_EQ(written, want);
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

TEST_F(ImportRaceTest, TheStatementsLabelCodeMustBeALiveLabelCode) {
  const struct Case {
    const char* code;
    bool written;
  } cases[] = {{"", true}, {"0", true}, {"9", false}, {"Z", false}};
  int first = 0;
  for (const Case& c : cases) {
    const long before = Records();
    processing::BankStatement s = Statement(first + 1);
    s.transactions.erase(s.transactions.begin(), s.transactions.begin() + first);
    const processing::StatementImportResult r =
        processing::ImportStatement(*TableC10, c50, c60, Request(s, "BQ", c.code));
    EXPECT_EQ(r.written, c.written) << c.code << ": " << r.message;
    if (c.written) {
      ++first;
      EXPECT_EQ(Records(), before + 2) << c.code;
    } else {
      EXPECT_NE(r.message.find(std::string("Code libell\xE9 inconnu ou annul\xE9 : ") + c.code), std::string::npos)
          << r.message;
      EXPECT_EQ(Records(), before) << c.code;
    }
  }
}

}  // namespace
}  // namespace processing_test
