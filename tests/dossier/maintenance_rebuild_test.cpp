// The rebuild run without windows on generated dossiers damaged by the test:
// totals equal to the lines afterwards, journals balanced or rebalanced,
// every deleted record in the log; the refusals of a damaged data file and of a line
// table the sort file cannot point into, which leave the files as they were.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "data/account_totals.h"
#include "data/collective_account.h"
#include "data/dossier_invariants.h"
#include "data/live_totals.h"
#include "data/record_fields.h"
#include "dossier/core/conversion.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/renumber_pieces.h"
#include "dossier/core/restore_files.h"
#include "dossier/rebuild_dossier.h"
#include "platform/system/files.h"
#include "platform/system/write_fault.h"
#include "dossier_test_util.h"
#include "data/record_fields.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "support/books_writes.h"
#include "support/line_files.h"

namespace maintenance_test {
namespace {

using RebuildTest = MaintenanceTest;

long Count(Table& t, const std::string& path, const std::function<bool(Table&)>& which) {
  long n = 0;
  EachLive(t, path, [&](Table& r) {
    if (which(r)) ++n;
  });
  return n;
}

// A journal header gone, the others emptied, an index file deleted, duplicate and badly
// coded accounts (the zeroed totals and the lower-case code are the other tests'): one run
// mends it all and logs what it removed.
TEST_F(RebuildTest, DamagedDossierIsMendedAndRemovedRecordsAreLogged) {
  bool dropped = false;
  EachRecord(*TableC10, PathC10(), [&](Table& t) {
    if (!dropped && t.GetField(1)[0] == 'C') dropped = t.DeleteRecord(nullptr, 0);
    else if (t.GetField(1)[0] == 'C') t.PutField(4, "");
  });
  ASSERT_TRUE(dropped);
  Append(*TableC20, PathC20(), {{1, "41100000"}, {2, "Doublon"}});
  Append(*TableC20, PathC20(), {{1, " 411"}, {2, "Blanc devant"}});
  Append(*TableC20, PathC20(), {{1, "512"}, {2, "Court"}});
  Append(*TableC30, PathC30(), {{1, "-X"}, {2, "Ponctuation"}});
  ASSERT_TRUE(fs::remove(std::string(PathC20()) + ".mdx"));

  const RebuildReport report = RunDossierRebuild(false, true);
  ASSERT_EQ(report.code, 0);
  // " 411", "-X", the second 41100000, and "512" which became a second 51200000.
  EXPECT_EQ(report.removed, 4);
  ExpectTotalsEqualLines();
  EXPECT_EQ(UnbalancedJournalMonths(true), 0);
  EXPECT_TRUE(fs::exists(std::string(PathC20()) + ".mdx"));

  for (const char* account : {"41100000", "51200000"})
    EXPECT_EQ(Count(*TableC20, PathC20(), [&](Table& t) { return Trim(t.GetField(1)) == account; }), 1) << account;
  const std::string log = LogText();
  for (const char* label : {"supprim\xE9: C20", "Blanc devant", "Ponctuation", "Doublon", "Court"})
    EXPECT_NE(log.find(label), std::string::npos) << label;
}

// Amounts holding letters, NUL bytes or an exponent in live lines of C40 and C50: the walk,
// which reads every line, names each one (report and log) and leaves its bytes as they were;
// a sound dossier names none.
TEST_F(RebuildTest, LinesWhoseAmountDoesNotReadAreNamedAndLeftAsTheyAre) {
  EXPECT_TRUE(RunDossierRebuild(false, true).unreadable.empty());
  struct Case {
    const char* file;
    const char* field;
    std::string bytes;
  };
  const Case cases[] = {{"C40", "DMONTANTE", "12A4.50"},
                        {"C40", "DMONTANTF", std::string("  12\0\0.50", 9)},
                        {"C50", "BMONTANTE", "-1e300"},
                        {"C50", "BMONTANTF", "1.0.0"}};
  // A dossier whose draft (or closed) file holds no such line takes all four in the other.
  auto holdsLines = [](const char* path) { return test_support::RawRecords(std::string(path) + ".dbf").Count() > 4; };
  std::vector<Case> used(std::begin(cases), std::end(cases));
  for (Case& c : used) {
    const bool closed = c.file[1] == '4';
    if (holdsLines(closed ? PathC40() : PathC50())) continue;
    c.file = closed ? "C50" : "C40";
    c.field = closed ? (c.field[8] == 'E' ? "BMONTANTE" : "BMONTANTF") : (c.field[8] == 'E' ? "DMONTANTE" : "DMONTANTF");
  }
  std::vector<std::pair<std::string, std::uint32_t>> named;
  for (const Case& c : used) {
    test_support::RawRecords raw(std::string(c.file[1] == '4' ? PathC40() : PathC50()) + ".dbf");
    const std::string pre(1, c.field[0]);
    // A live general line not damaged yet, on a general account.
    for (std::uint32_t n = raw.Count(); n >= 1; --n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, pre + "CLE") != "Z" || (raw.Field(r, pre + "CODE")[0] < '1' || raw.Field(r, pre + "CODE")[0] > '9')) continue;
      if (std::find(named.begin(), named.end(), std::make_pair(std::string(c.file), n)) != named.end()) continue;
      raw.Put(n, c.field, c.bytes);
      named.emplace_back(c.file, n);
      break;
    }
  }
  ASSERT_EQ(named.size(), 4u);
  const RebuildReport report = RunDossierRebuild(false, true);
  EXPECT_EQ(report.code, 0);
  ASSERT_EQ(report.unreadable.size(), 4u);
  const std::string text = UnreadableAmountLinesText(report.unreadable);
  const std::string log = LogText();
  for (std::size_t i = 0; i < named.size(); ++i) {
    const auto& [file, n] = named[i];
    EXPECT_NE(text.find(file + " enregistrement " + std::to_string(n) + ", pi\xE8" "ce "), std::string::npos) << text;
    EXPECT_NE(log.find("montant illisible: " + file + " n\xB0 " + std::to_string(n) + " "), std::string::npos) << log;
    // The bytes stay for the user to put right.
    test_support::RawRecords raw(std::string(file == "C40" ? PathC40() : PathC50()) + ".dbf");
    std::string stored = used[i].bytes;
    const std::string now = raw.Field(raw.Record(n), used[i].field);
    EXPECT_EQ(now.substr(now.size() - stored.size()), stored);
  }
}

// A dossier that keeps both currencies, one draft debit 0.01 euro too high: the euro
// difference goes to 47599999 with its francs (0.07) and the francs' remaining rounding to
// the rounding account of "CpteArrondiDB"; with a franc rate outside 1 to 10 (never divided
// by) the next run's euro line carries no francs and the francs, still balanced, need no line.
TEST_F(RebuildTest, SecondCurrencyRoundingGoesToTheRoundingAccount) {
  for (const bool badRate : {false, true}) {
    SCOPED_TRACE(badRate);
    SetConstant(39, "NON");
    SetConstant(27, "OUI");
    if (badRate) {
      ASSERT_TRUE(Open(*TableC10, PathC10(), "C10CODE"));
      ASSERT_TRUE(TableC10->Seek("C10CODE", "0"));
      ASSERT_TRUE(TableC10->PutFieldPart(5, 239, 10, "   0.00000"));
      CloseAllTables();
    }
    bool changed = false;
    EachLive(*TableC50, PathC50(), [&](Table& t) {
      if (!changed && t.GetField(17)[0] == 'D') {
        t.PutFieldNum(19, t.GetFieldNum(19) + 0.01);
        changed = true;
      }
    });
    IniSetString("CpteArrondiDB", "66800000");
    const long francs = badRate ? 0 : 7;
    const RebuildReport report = RunDossierRebuild(false, true);
    ASSERT_EQ(report.code, 0);
    EXPECT_TRUE(report.balance.rebalancing);  // constant 027
    EXPECT_EQ(report.balance.linesWritten, badRate ? 1 : 2);
    EXPECT_EQ(UnbalancedJournalMonths(true), 0);
    ExpectTotalsEqualLines();
    EXPECT_EQ(Count(*TableC50, PathC50(),
                    [&](Table& t) {
                      return Trim(t.GetField(10)) == "47599999" && t.GetField(17)[0] == 'C' &&
                             ToCents(t.GetFieldNum(19)) == 1 && ToCents(t.GetFieldNum(18)) == francs;
                    }),
              1);
    EXPECT_EQ(Count(*TableC50, PathC50(),
                    [](Table& t) {
                      return Trim(t.GetField(16)) == "n" && Trim(t.GetField(10)) == "66800000" &&
                             t.GetField(17)[0] == 'D' && ToCents(t.GetFieldNum(18)) == 7 && ToCents(t.GetFieldNum(19)) == 0;
                    }),
              1);  // the second run writes none: its line stays the first run's
    if (badRate) EXPECT_EQ(TheDossierRecord.Parity(), 0.0);
    else EXPECT_NE(std::string(OpenWindowRegistry).substr(3943, 8), "        ");
  }
}

// A damaged data file (C30 too short to hold a header, C40 with a first field
// of unknown type): the reindex and the rebuild refuse before touching any file.
TEST_F(RebuildTest, DamagedDataFileIsRefusedBeforeAnyFileIsTouched) {
  struct Case {
    const char* what;
    int table;
    std::function<void(const std::string&)> damage;
  } cases[] = {
      {"C30 cut to 20 bytes", 30, [](const std::string& dbf) { fs::resize_file(dbf, 20); }},
      {"C40 first field of unknown type", 40, [](const std::string& dbf) { dossier_test::Poke(dbf, 32 + 11, "X"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string base = DossierTableOf(c.table).path;
    const std::string saved = dossier_test::ReadFile(base + ".dbf");
    c.damage(base + ".dbf");
    const std::string before = dossier_test::FolderBytes(Folder());
    const PackResult result = PackAndReindexTables(true);
    EXPECT_EQ(result.outcome, PackOutcome::TableDamaged);
    EXPECT_EQ(result.table, c.table);
    EXPECT_EQ(result.dataPath, base + ".dbf");
    const RebuildReport report = RunDossierRebuild(true, true);
    EXPECT_EQ(report.code, kRebuildDamagedTable);
    EXPECT_EQ(report.removed, 0);
    EXPECT_TRUE(dossier_test::FolderBytes(Folder()) == before) << "a file of the dossier changed";
    std::ofstream(base + ".dbf", std::ios::binary | std::ios::trunc) << saved;
  }
  EXPECT_EQ(ReindexErrorCaption(10), "ERREUR pendant ReIndex du fichier:    10");
}

// A draft table of 1,000,000 records (the records past the real ones left sparse, the last
// one with its delete mark): the rebuild and the renumbering refuse it before any write,
// since a sort record could not point at line 1,000,000.
TEST_F(RebuildTest, LineTablePastTheSortFilesPointersIsRefused) {
  // The closed lines (40) and the draft lines (50).
  for (int table : {40, 50}) {
    SCOPED_TRACE(table);
    const std::string dbf = DossierTableOf(table).path + ".dbf";
    const std::string saved = dossier_test::ReadFile(dbf);
    const std::size_t header = static_cast<unsigned char>(saved[8]) | static_cast<unsigned char>(saved[9]) << 8;
    const std::size_t length = static_cast<unsigned char>(saved[10]) | static_cast<unsigned char>(saved[11]) << 8;
    fs::resize_file(dbf, header + 1000000 * length + 1);
    dossier_test::Poke(dbf, 4, std::string("\x40\x42\x0F\x00", 4));
    for (std::size_t r : {0, 999999}) dossier_test::Poke(dbf, header + r * length, " ");
    // Every write moves a file's modification time: the files are compared by it, not read.
    auto stamps = [&] {
      std::map<std::string, std::pair<fs::file_time_type, std::uintmax_t>> all;
      for (const auto& e : fs::directory_iterator(Folder()))
        if (e.path().extension() != ".txt") all[e.path()] = {e.last_write_time(), e.file_size()};
      return all;
    };
    const auto before = stamps();
    const RebuildReport report = RunDossierRebuild(true, true);
    EXPECT_EQ(report.code, kRebuildTooManyLines);
    EXPECT_EQ(report.reindex.dataPath, dbf);
    const RenumberResult renumbered = RenumberPieces();
    EXPECT_EQ(renumbered.outcome, RenumberOutcome::TooManyLines);
    EXPECT_EQ(renumbered.failedTable, dbf);
    EXPECT_TRUE(stamps() == before) << "a file of the dossier changed";
    std::ofstream(dbf, std::ios::binary | std::ios::trunc) << saved;
  }
}

// A late error (C70 turns unreadable during the walks, so the second reindex
// fails) no longer leaves zeroed totals: the sort file is refilled and the
// totals computed, and the report says so.
TEST_F(RebuildTest, TotalsStillRunAfterALateReindexError) {
  class Breaker : public MaintenanceProgress {
   public:
    void SetLine(const std::string& text) override {
      if (!broken && text == PathC50() && ++seen == 2) {
        fs::resize_file(std::string(PathC70()) + ".dbf", 10);
        broken = true;
      }
    }
    int seen = 0;
    bool broken = false;
  } breaker;
  EachRecord(*TableC20, PathC20(), [](Table& t) { t.PutFieldNum(17, 0); });
  const RebuildReport report = RunDossierRebuild(false, true, &breaker);
  ASSERT_TRUE(breaker.broken);
  EXPECT_EQ(report.code, kRebuildSecondReindex);
  EXPECT_EQ(report.reindex.table, 70);
  EXPECT_TRUE(report.totalsRebuilt);
  ExpectTotalsEqualLines();
}

// The collective of the suppliers ("B F", account 40100000) cancelled in its list, or naming no
// account: the rebuild (with and without its pack, which drops a cancelled record), the moves of a
// line (AccountTotalsCodes) and the finish of a stopped change (LiveTotals) total the suppliers'
// lines where the dossier's check looks for them, and the check finds nothing wrong.
TEST_F(RebuildTest, TheSuppliersCollectiveIsOneAccountToEveryTotal) {
  const struct Case {
    const char* name;
    bool cancel;
    const char* account;  // written into the record's field 4, or nullptr
    bool pack;
    std::vector<std::string> fed;  // the records a supplier's line moves
  } cases[] = {
      {"cancelled", true, nullptr, false, {"40100000"}},
      {"cancelled, then packed away", true, nullptr, true, {"44444444"}},
      {"naming no account", false, "", false, {}},
      {"naming 401 as typed", false, "401", false, {"40100000"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DemoOptions o;
    o.folder = Dir() + "/collectif" + std::to_string(++n) + "/";
    o.lines = 300;
    o.seed = 5;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
    MakeCurrent(o.folder, "DEMO");
    ASSERT_TRUE(Open(*TableC10, PathC10(), "C10CODE"));
    ASSERT_TRUE(TableC10->Seek("C10CODE", "BF"));
    if (c.cancel) ASSERT_TRUE(TableC10->DeleteRecord(nullptr, 0));
    if (c.account != nullptr) ASSERT_TRUE(TableC10->PutField(4, c.account));
    CloseAllTables();

    ASSERT_EQ(RunDossierRebuild(false, c.pack).code, 0);
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << check.Report();
    Table c20;
    ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE", true));
    EXPECT_FALSE(c20.Seek("C20CODE", "00000000")) << "an account made for no collective";
    std::string supplier;
    TotalsCents stored;
    for (bool more = c20.SeekNotBelow("C20CODE", "F"); more && supplier.empty(); more = c20.Skip(1))
      if (c20.GetField(1)[0] == 'F' && c20.GetFieldNum(18) != 0) supplier = c20.GetField(1);
    ASSERT_FALSE(supplier.empty());
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE", true));
    ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE", true));
    std::vector<std::string> fed{supplier};
    fed.insert(fed.end(), c.fed.begin(), c.fed.end());
    EXPECT_EQ(AccountTotalsCodes(supplier.c_str(), false), fed);
    CloseAllTables();
    for (const std::string& collective : c.fed) {
      ASSERT_TRUE(c20.Seek("C20CODE", collective.c_str()));
      stored = {StoredAmountOf(c20, 17), StoredAmountOf(c20, 19), StoredAmountOf(c20, 18), StoredAmountOf(c20, 20)};
      Table c50;
      ASSERT_TRUE(c50.OpenShared(PathC50(), "", true));
      std::map<TotalsRecord, TotalsCents> live;
      ASSERT_TRUE(LiveTotals(c50, {{'A', collective}}, &live));
      EXPECT_EQ((live[{'A', collective}]), stored) << collective;
    }
  }
}

}  // namespace
}  // namespace maintenance_test

namespace maintenance_test {
namespace {

// Something in the place of the run marker that is no file: each run that writes several
// tables refuses to start, says which file, and the dossier's files stay as they were.
TEST_F(RebuildTest, RunsWhoseMarkerCannotBeWrittenChangeNothing) {
  const std::string marker = Folder() + "cdemo.run";
  std::filesystem::create_directories(marker);
  const std::string before = dossier_test::FolderBytes(Folder());
  const struct Case {
    const char* run;
    std::function<std::string()> refusal;  // the file named, "" when the run went on
  } cases[] = {
      {"pack and reindex",
       [] {
         const PackResult r = PackAndReindexTables(true);
         return r.outcome == PackOutcome::MarkerFailed ? r.dataPath : "";
       }},
      {"rebuild",
       [] {
         const RebuildReport r = RunDossierRebuild(true, true);
         return r.code == kRebuildMarkerFailed ? r.reindex.dataPath : "";
       }},
      {"renumbering",
       [] {
         const RenumberResult r = RenumberPieces();
         return r.outcome == RenumberOutcome::MarkerFailed ? r.failedTable : "";
       }},
      {"conversion",
       [] {
         const ConversionResult r = ConvertDossier(ConversionRequest{});
         return r.ok ? "" : r.error;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.run);
    EXPECT_NE(c.refusal().find(marker), std::string::npos);
    EXPECT_TRUE(dossier_test::FolderBytes(Folder()) == before) << "the refused run wrote";
  }
}

}  // namespace
}  // namespace maintenance_test

namespace maintenance_test {
namespace {

// The disk turns read-only at the removal of a table's pack journal, the last change of its
// pack: the table opened again must finish that pack and cannot. The rebuild stops there and
// says why, the disk read-only with the table's file, never an incident's number alone.
TEST_F(RebuildTest, APackFinishedOnADiskTurnedReadOnlySaysTheDiskIsReadOnly) {
  static std::string journal;
  for (int number : {40, 70}) {
    const std::string table = platform::ResolvePath(std::string(DossierTableOf(number).path) + ".dbf");
    SCOPED_TRACE(table);
    journal = "unlink " + table + ".pack.journal";
    platform::BeforeFileChange = [] {
      if (platform::ChangeBeingMade() == journal) platform::SetWriteFault(platform::WriteFault::kFailForGood, 1);
    };
    const RebuildReport report = RunDossierRebuild(false, true);
    const std::string refused = platform::RefusedChange();
    platform::BeforeFileChange = nullptr;
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
    EXPECT_EQ(refused, journal);
    EXPECT_NE(report.code, 0);
    EXPECT_FALSE(report.totalsRebuilt);
    const std::string told = RebuildEndMessage(report);
    EXPECT_NE(told.find("en lecture seule"), std::string::npos) << told;
    EXPECT_NE(told.find(table), std::string::npos) << told;
    EXPECT_EQ(told.find("incident " + std::to_string(report.code)), std::string::npos) << told;
    CloseAllTables();
    // The disk writable again, the rebuild run again as the opening does goes to its end.
    EXPECT_TRUE(report.markerKept);
    {
      const DossierRunMarkerTakeOver redo;
      EXPECT_EQ(RunDossierRebuild(false, true).code, 0);
    }
    EXPECT_FALSE(DossierRunMarkerExists());
    ExpectTotalsEqualLines();
  }
}

}  // namespace
}  // namespace maintenance_test

namespace maintenance_test {
namespace {

// A live general line, as the bytes of its file hold it.
struct RawLine {
  bool closed;
  std::uint32_t recno;
  std::string account, month, journal;
  char sense;
  std::string Prefix() const { return closed ? "D" : "B"; }
  bool operator==(const RawLine&) const = default;
};

// Lines each within its own field whose amounts, added up, pass what a total holds
// (99 999 999 999,99): on one general account, on two auxiliary accounts of one collective, on two
// general accounts of one journal-month. The rebuild refuses before it changes anything, in one
// sentence naming the account (the collective's) or the journal-month and what the lines give it,
// never as a disk's error; and the totals step, given such lines, writes none of that total,
// neither its last partial sum nor asterisks.
TEST_F(RebuildTest, ATotalItsFieldCannotHoldRefusesTheRunByName) {
  const std::string c40 = std::string(PathC40()) + ".dbf", c50 = std::string(PathC50()) + ".dbf";
  const std::string saved40 = dossier_test::ReadFile(c40), saved50 = dossier_test::ReadFile(c50);
  std::vector<RawLine> lines;
  for (const bool closed : {true, false}) {
    const test_support::RawRecords raw(closed ? c40 : c50);
    const std::string p = closed ? "D" : "B";
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] != '*' && raw.Field(r, p + "CLE") == "Z")
        lines.push_back({closed, n, raw.Field(r, p + "CODE"), raw.Field(r, p + "MOIS"), raw.Field(r, p + "JAL"),
                         raw.Field(r, p + "SENS")[0]});
    }
  }
  const auto general = [](const RawLine& l) { return l.account[0] >= '1' && l.account[0] <= '9'; };
  // The first two debit lines that `pair` takes.
  const auto twoLines = [&](const std::function<bool(const RawLine&, const RawLine&)>& pair) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      for (std::size_t j = i + 1; j < lines.size(); ++j)
        if (lines[i].sense == 'D' && lines[j].sense == 'D' && pair(lines[i], lines[j]))
          return std::vector<RawLine>{lines[i], lines[j]};
    return std::vector<RawLine>{};
  };
  // The collective account of an auxiliary account's letter.
  const auto collectiveOf = [&](char letter) {
    std::string account;
    EXPECT_TRUE(Open(*TableC10, PathC10(), "C10CODE"));
    if (TableC10->Seek("C10CODE", (std::string("B") + letter).c_str())) account = TableC10->GetField(4);
    CloseAllTables();
    return Trimmed(account.substr(0, 8));
  };
  const std::vector<RawLine> onOneAccount =
      twoLines([&](const RawLine& a, const RawLine& b) { return general(a) && a.account == b.account; });
  const std::vector<RawLine> onOneCollective = twoLines([&](const RawLine& a, const RawLine& b) {
    return !general(a) && !general(b) && a.account != b.account && a.account[0] == b.account[0];
  });
  const std::vector<RawLine> inOneMonth = twoLines([&](const RawLine& a, const RawLine& b) {
    return general(a) && general(b) && a.account != b.account && a.month == b.month && a.journal == b.journal;
  });
  ASSERT_FALSE(onOneAccount.empty());
  ASSERT_FALSE(onOneCollective.empty());
  ASSERT_FALSE(inOneMonth.empty());
  const std::string month = inOneMonth[0].month, journal = Trimmed(inOneMonth[0].journal);
  const struct Case {
    const char* what;
    std::vector<RawLine> swollen;
    const char* field;     // "MONTANTF" or "MONTANTE"
    std::string named;     // how the refusal begins
    const char* currency;
  } cases[] = {
      {"one general account", onOneAccount, "MONTANTF", "Le compte " + Trimmed(onOneAccount[0].account) + " ne peut", "francs"},
      {"two auxiliary accounts", onOneCollective, "MONTANTF",
       "Le compte " + collectiveOf(onOneCollective[0].account[0]) + " ne peut", "francs"},
      // In francs: two lines of 60 000 000 000,00 euros are past what a line takes, and do not read.
      {"one journal-month", inOneMonth, "MONTANTF",
       "Le journal " + journal + " de " + month.substr(2, 2) + "/" + DecodeYear(month.substr(0, 2).c_str()) + " ne peut",
       "francs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const RawLine& l : c.swollen)
      test_support::RawRecords(l.closed ? c40 : c50).Put(l.recno, l.Prefix() + c.field, "60000000000.00");
    // What the general account's lines give it, read from the bytes.
    long long given = 0;
    for (const RawLine& l : lines) {
      if (l.account != c.swollen[0].account || l.sense != 'D') continue;
      const test_support::RawRecords raw(l.closed ? c40 : c50);
      given += StoredAmountCents(raw.Field(raw.Record(l.recno), l.Prefix() + c.field));
    }
    const std::string before = dossier_test::FolderBytes(Folder());
    const RebuildReport report = RunDossierRebuild(true, true);
    EXPECT_EQ(report.code, kRebuildTotalsTooLarge);
    EXPECT_EQ(report.refusal.rfind(c.named, 0), 0u) << report.refusal;
    EXPECT_NE(report.refusal.find(std::string(" ") + c.currency + "."), std::string::npos) << report.refusal;
    if (c.swollen == onOneAccount)
      EXPECT_NE(report.refusal.find(GroupedAmountText(given) + " francs."), std::string::npos) << report.refusal;
    const std::string told = RebuildEndMessage(report);
    EXPECT_NE(told.find(report.refusal), std::string::npos) << told;
    EXPECT_NE(told.find("n'a rien modifi\xE9"), std::string::npos) << told;
    EXPECT_EQ(told.find("disque"), std::string::npos) << told;
    EXPECT_TRUE(dossier_test::FolderBytes(Folder()) == before) << "a file of the dossier changed";
    EXPECT_FALSE(DossierRunMarkerExists());

    // The totals step alone (as the rebuild runs it, over the totals as they stand), given the
    // swollen lines' sums: the first total it cannot hold stops it before that total is written.
    for (int number = 10; number <= 60; number += 10) {
      static const char* const kTags[] = {"C10CODE", "C20CODE", "C30CODE", "C40CODE", "C50CODE", "C60CODE"};
      ASSERT_TRUE(DossierTableOf(number).table->OpenExclusive(DossierTableOf(number).path, kTags[number / 10 - 1]));
    }
    TotalsPlan plan;
    const bool francs = std::string(c.field) == "MONTANTF";
    for (const RawLine& l : c.swollen)
      plan.AddLine('Z', l.closed ? 'C' : 'B', l.month, PadRight(l.journal, 3), l.account, l.sense,
                   francs ? 6'000'000'000'000 : 0, francs ? 0 : 6'000'000'000'000);
    plan.FindCollectives(CollectiveAccounts(*TableC10));
    ASSERT_TRUE(TableC20->Seek("C20CODE", c.swollen[0].account.c_str()));
    const std::string accountBefore = TableC20->RecordToText(TableC20->FieldCount());
    // The rebuild's step on its own: the test holds the rebuild's permit.
    const test_support::SetUpPermit rebuild("etape de la reconstruction");
    const TotalsWriteFault fault = RecomputeDossierTotals(plan);
    EXPECT_EQ(fault.result, 0);
    EXPECT_NE(fault.tooLarge.find(" ne peut recevoir"), std::string::npos) << fault.tooLarge;
    ASSERT_TRUE(TableC20->Seek("C20CODE", c.swollen[0].account.c_str()));
    EXPECT_EQ(TableC20->RecordToText(TableC20->FieldCount()), accountBefore);
    CloseAllTables();
    EachLive(*TableC10, PathC10(), [](Table& t) {
      if (t.GetField(1)[0] != 'C') return;
      for (int field : {4, 5}) EXPECT_EQ(std::string(t.GetField(field)).find('*'), std::string::npos) << t.GetField(2);
    });
    std::ofstream(c40, std::ios::binary | std::ios::trunc) << saved40;
    std::ofstream(c50, std::ios::binary | std::ios::trunc) << saved50;
  }
}

// The stored text of an amount of `cents` in a field of 14 characters ("12345.67").
std::string AmountField(long long cents) {
  const std::string digits = std::to_string(cents / 100), decimals = std::to_string(100 + cents % 100).substr(1);
  return digits + "." + decimals;
}

// The limit of a total to the cent: two lines of one general account, in two journal-months, whose
// francs come with the account's other lines to 100 000 000 000,00 refuse the run, naming the
// account and that amount; one cent less is taken, and the account holds 99 999 999 999,99.
TEST_F(RebuildTest, ATotalOneCentPastItsFieldIsRefusedAndOneCentLessTaken) {
  const std::string c50 = std::string(PathC50()) + ".dbf";
  const test_support::RawRecords raw(c50);
  std::vector<RawLine> lines;
  for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
    const std::string r = raw.Record(n);
    if (r[0] != '*' && raw.Field(r, "BCLE") == "Z")
      lines.push_back({false, n, raw.Field(r, "BCODE"), raw.Field(r, "BMOIS"), raw.Field(r, "BJAL"), raw.Field(r, "BSENS")[0]});
  }
  std::vector<RawLine> pair;
  for (std::size_t i = 0; i < lines.size() && pair.empty(); ++i)
    for (std::size_t j = i + 1; j < lines.size() && pair.empty(); ++j)
      if (lines[i].sense == 'D' && lines[j].sense == 'D' && lines[i].account == lines[j].account &&
          lines[i].account[0] >= '1' && lines[i].account[0] <= '9' &&
          lines[i].month + lines[i].journal != lines[j].month + lines[j].journal)
        pair = {lines[i], lines[j]};
  ASSERT_EQ(pair.size(), 2u);
  long long others = 0;
  for (const RawLine& l : lines)
    if (l.account == pair[0].account && l.sense == 'D' && l.recno != pair[0].recno && l.recno != pair[1].recno)
      others += StoredAmountCents(raw.Field(raw.Record(l.recno), "BMONTANTF"));
  const std::string account = Trimmed(pair[0].account);
  const struct Case {
    long long total;
    bool taken;
  } cases[] = {{kLargestTotalCents + 1, false}, {kLargestTotalCents, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(AmountField(c.total));
    const long long first = kLargestTotalCents / 2;
    raw.Put(pair[0].recno, "BMONTANTF", AmountField(first));
    raw.Put(pair[1].recno, "BMONTANTF", AmountField(c.total - others - first));
    const RebuildReport report = RunDossierRebuild(false, true);
    if (!c.taken) {
      EXPECT_EQ(report.code, kRebuildTotalsTooLarge);
      EXPECT_EQ(report.refusal.rfind("Le compte " + account + " ne peut", 0), 0u) << report.refusal;
      EXPECT_NE(report.refusal.find(GroupedAmountText(c.total) + " francs."), std::string::npos) << report.refusal;
      continue;
    }
    EXPECT_EQ(report.code, 0) << report.refusal;
    ASSERT_TRUE(Open(*TableC20, PathC20(), "C20CODE"));
    ASSERT_TRUE(TableC20->Seek("C20CODE", pair[0].account.c_str()));
    EXPECT_EQ(Trimmed(TableC20->GetField(17)), "99999999999.99");
    CloseAllTables();
  }
}

// A backup whose lines hold amounts that do not read (letters, NUL bytes, an exponent): the restore
// takes it and names each line in its message; the ReConstruction then says so before it changes
// anything, leaves the totals of their accounts and journal-months as they stood, writes no
// balancing line for those journal-months (with rebalancing asked for), makes every other total
// again, and its log shows what each line holds.
TEST_F(RebuildTest, UnreadableAmountsAreNamedAtTheRestoreAndTheirTotalsLeftByTheRebuild) {
  const std::string folder = Folder();
  // The lines damaged: live general lines on general accounts, each of its own account and journal-month.
  const bool closed = test_support::RawRecords(std::string(PathC40()) + ".dbf").Count() > 0;
  const std::string p = closed ? "D" : "B", table = closed ? "c40demo" : "c50demo";
  const struct Damage {
    const char* field;
    std::string bytes;
    const char* logged;
  } damages[] = {{"MONTANTE", "ABC", "ABC"},
                 {"MONTANTF", std::string("  12\0\0.50", 9), "12\\x00\\x00.50"},
                 {"MONTANTE", "-1e300", "-1e300"}};
  std::vector<RawLine> damaged;
  {
    const test_support::RawRecords raw(folder + table + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && damaged.size() < std::size(damages); ++n) {
      const std::string r = raw.Record(n);
      const RawLine l{closed, n, raw.Field(r, p + "CODE"), raw.Field(r, p + "MOIS"), raw.Field(r, p + "JAL"),
                      raw.Field(r, p + "SENS")[0]};
      if (r[0] == '*' || raw.Field(r, p + "CLE") != "Z" || l.account[0] < '1' || l.account[0] > '9') continue;
      if (std::any_of(damaged.begin(), damaged.end(), [&](const RawLine& d) {
            return d.account == l.account || d.month + d.journal == l.month + l.journal;
          }))
        continue;
      damaged.push_back(l);
    }
  }
  ASSERT_EQ(damaged.size(), std::size(damages));

  // The backup: the dossier's files, the lines damaged in it.
  RestoreFolders folders;
  ASSERT_TRUE(MakeRestoreFolders(folder, "DEMO", &folders));
  for (const std::string& name : platform::ListFiles(folder, "c??demo.*"))
    ASSERT_TRUE(platform::CopyFile(folder + name, folders.work + name));
  for (std::size_t i = 0; i < damaged.size(); ++i)
    test_support::RawRecords(folders.work + table + ".dbf").Put(damaged[i].recno, p + damages[i].field, damages[i].bytes);
  const RestoreSelection selection = SelectRestoredFiles(folders.work, folder, "DEMO");
  ASSERT_EQ(selection.refusal, "");
  const RestoreResult restored = InstallRestoredFiles(folders, folder, "DEMO", selection);
  ASSERT_TRUE(restored.done) << restored.message;
  const std::string head = "Le montant de ces lignes de la sauvegarde ne se lit pas";
  EXPECT_NE(restored.message.find(head), std::string::npos) << restored.message;
  for (const RawLine& l : damaged)
    EXPECT_NE(restored.message.find(std::string(closed ? "C40" : "C50") + " enregistrement " + std::to_string(l.recno) +
                                    ", pi\xE8" "ce "),
              std::string::npos)
        << restored.message;

  // One of their journal-months unbalanced in euros as it stands: it stays so, without a balancing line.
  EachRecord(*TableC10, PathC10(), [&](Table& t) {
    if (t.GetField(1)[0] == 'C' && !t.IsDeleted() && std::string(t.GetField(2)).substr(0, 7) == damaged[0].month + damaged[0].journal)
      EXPECT_TRUE(t.PutFieldPart(5, 1, 14, "     123456.78"));
  });
  // What the damaged lines' totals hold before the rebuild.
  const auto held = [&] {
    std::map<std::string, std::string> texts;
    EachRecord(*TableC20, PathC20(), [&](Table& t) {
      for (const RawLine& l : damaged)
        if (t.GetField(1) == l.account) texts["A" + l.account] += t.RecordToText(t.FieldCount());
    });
    EachRecord(*TableC10, PathC10(), [&](Table& t) {
      for (const RawLine& l : damaged)
        if (t.GetField(1)[0] == 'C' && std::string(t.GetField(2)).substr(0, 7) == l.month + l.journal)
          texts["H" + l.month + l.journal] += std::string(t.IsDeleted() ? "*" : " ") + t.RecordToText(t.FieldCount());
    });
    return texts;
  };
  const std::map<std::string, std::string> before = held();
  ASSERT_EQ(before.size(), 2 * damaged.size());
  const std::string bytesBefore = dossier_test::FolderBytes(folder);
  bool said = false;
  const RebuildReport report = RunDossierRebuild(true, true, nullptr, [&](const RebuildReport& read) {
    said = true;
    EXPECT_EQ(read.unreadable.size(), damaged.size());
    EXPECT_TRUE(dossier_test::FolderBytes(folder) == bytesBefore) << "a file changed before the lines were named";
  });
  EXPECT_TRUE(said);
  EXPECT_EQ(report.code, 0) << report.refusal;
  ASSERT_EQ(report.unreadable.size(), damaged.size());
  // Each named by the number it has once the run's pack has dropped the cancelled records.
  const test_support::RawRecords after(folder + table + ".dbf");
  for (const UnreadableAmountLine& u : report.unreadable) {
    const std::string r = after.Record(u.recno);
    EXPECT_TRUE(std::any_of(std::begin(damages), std::end(damages), [&](const Damage& d) {
      const std::string stored = after.Field(r, p + d.field);
      return stored.substr(stored.size() - d.bytes.size()) == d.bytes;
    })) << u.recno;
  }
  EXPECT_EQ(held(), before);
  // No balancing line in those journal-months; every other total is its lines'.
  EachLive(*TableC50, PathC50(), [&](Table& t) {
    for (const RawLine& l : damaged)
      EXPECT_FALSE(Trimmed(t.GetField(10)) == kSuspenseAccount && std::string(t.GetField(2)) + t.GetField(3) == l.month + l.journal)
          << l.month << l.journal;
  });
  DossierInvariants check;
  check.Check();
  EXPECT_FALSE(check.Apart()) << check.Report();
  for (const std::string& total : check.WrongTotals())
    EXPECT_TRUE(before.count(total.substr(0, 1) + PadRight(total.substr(1), total[0] == 'A' ? 8 : 7)))
        << total << "\n" << check.Report();
  const std::string log = LogText();
  for (std::size_t i = 0; i < damaged.size(); ++i) {
    const std::size_t at = log.find(std::string("montant illisible: ") + (closed ? "C40" : "C50") + " n\xB0 ");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_NE(log.find(damages[i].logged, at), std::string::npos) << damages[i].logged << "\n" << log;
  }
}

// The journal an index's update keeps beside it is no part of the books at rest: a backup taken in
// the middle of an update holds one, which the restore neither takes nor names as left out; the
// dossier's own journal of a restored index goes with the index it was written for, so that none
// is ever put back over the restored one. The restored table reads whole and takes a change.
TEST_F(RebuildTest, ARestoreTakesNoIndexJournalAndLeavesNoneBesideTheRestoredIndexes) {
  const std::string folder = Folder();
  CloseAllTables();
  RestoreFolders folders;
  ASSERT_TRUE(MakeRestoreFolders(folder, "DEMO", &folders));
  for (const std::string& name : platform::ListFiles(folder, "c??demo.*")) {
    if (name.find(".journal") == std::string::npos) ASSERT_TRUE(platform::CopyFile(folder + name, folders.work + name));
  }
  // A journal in the backup, and one of another update beside the dossier's index: as long as a
  // journal of many pages, the head of an update that names the index's mark.
  const std::string journal = std::string("MRLNMDXJ") + std::string(56, '\x5A') + std::string(4096, '\x77');
  std::ofstream(folders.work + "c20demo.mdx.journal", std::ios::binary) << journal;
  std::ofstream(folder + "c20demo.mdx.journal", std::ios::binary) << journal;
  const RestoreSelection selection = SelectRestoredFiles(folders.work, folder, "DEMO");
  ASSERT_EQ(selection.refusal, "");
  for (const std::string& name : selection.leftOut) EXPECT_EQ(name.find(".journal"), std::string::npos) << name;
  for (const std::string& name : selection.taken) EXPECT_EQ(name.find(".journal"), std::string::npos) << name;
  EXPECT_NE(std::find(selection.replaced.begin(), selection.replaced.end(), "c20demo.mdx.journal"),
            selection.replaced.end());
  const RestoreResult restored = InstallRestoredFiles(folders, folder, "DEMO", selection);
  ASSERT_TRUE(restored.done) << restored.message;
  EXPECT_EQ(restored.message.find(".journal"), std::string::npos) << restored.message;
  EXPECT_FALSE(fs::exists(folder + "c20demo.mdx.journal"));
  EXPECT_FALSE(fs::exists(folders.folder));
  Append(*TableC20, PathC20(), {{1, "40999999"}, {2, "Apr\xE8s la restauration"}});
  EXPECT_EQ(Count(*TableC20, PathC20(), [&](Table& t) { return Trim(t.GetField(1)) == "40999999"; }), 1);
}

}  // namespace
}  // namespace maintenance_test
