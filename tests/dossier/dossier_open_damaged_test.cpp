// A dossier whose general file or its index was damaged: the opening rebuilds an index it
// can make again, and refuses a damaged data file without writing a byte into the dossier.

#include <algorithm>
#include <climits>
#include <map>
#include <set>

#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/error_report.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/dossier_open.h"
#include "dossier/rebuild_dossier.h"
#include "dossier_test_util.h"
#include "platform/dbase/fileio.h"
#include "platform/system/cp1252.h"
#include "platform/system/write_fault.h"
#include "posting/line_changes.h"
#include "runtime/logfile.h"
#include "support/books_writes.h"
#include "support/dossier_fixture.h"
#include "support/python.h"

namespace {

using dossier_test::Poke;

std::uint32_t Get32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
  return v;
}

// Points the root of tag C10CODE at `block` (in 512-byte units); 0 = its own header.
void MoveC10CodeRoot(const std::string& mdx, std::uint32_t block) {
  const std::string bytes = dossier_test::ReadFile(mdx);
  for (std::size_t entry = 544; entry + 32 <= 1024; entry += 32) {
    if (bytes.compare(entry + 4, 7, "C10CODE") != 0) continue;
    const std::uint32_t header = Get32(bytes, entry);
    const std::uint32_t root = block == 0 ? header : block;
    Poke(mdx, header * 512u, std::string(reinterpret_cast<const char*>(&root), 4));  // little-endian
    return;
  }
  FAIL() << "no C10CODE tag in " << mdx;
}

}  // namespace

TEST_F(DossierOpenTest, DamagedGeneralFileIsRefusedAndADamagedIndexRebuilt) {
  struct Case {
    const char* what;
    std::function<void(const std::string& dbf, const std::string& mdx)> damage;
    const char* damaged;  // the file the refusal names; null: the opening repairs and goes on
  } cases[] = {
      {"data file cut to 1,000 bytes", [](const std::string& dbf, const std::string&) { fs::resize_file(dbf, 1000); },
       ".dbf"},
      {"first field of unknown type", [](const std::string& dbf, const std::string&) { Poke(dbf, 32 + 11, "X"); },
       ".dbf"},
      // The constants' record is not made again over the user's books.
      {"record \"0\" gone", [](const std::string& dbf, const std::string&) {
         Poke(dbf, (Get32(dossier_test::ReadFile(dbf), 8) & 0xFFFF) + 1u, "Z"); },
       ".dbf"},
      {"memo file missing", [](const std::string& dbf, const std::string&) {
         fs::remove(dbf.substr(0, dbf.size() - 4) + ".dbt"); }, ".dbt"},
      {"index root past its end", [](const std::string&, const std::string& mdx) {
         MoveC10CodeRoot(mdx, static_cast<std::uint32_t>(fs::file_size(mdx) / 512 + 40)); }, nullptr},
      {"index root at its own header", [](const std::string&, const std::string& mdx) { MoveC10CodeRoot(mdx, 0); },
       nullptr},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string code = "DMG" + std::to_string(++n);
    const std::string d = MakeDossier("d" + std::to_string(n), code);
    const std::string base = d + "c10" + Lower(code.c_str());
    const std::string sound = ReadAll(base + ".dbf");
    c.damage(base + ".dbf", base + ".mdx");
    const std::string before = dossier_test::FolderBytes(d);
    gui::ModalSeam::Reset();
    OpenThroughDialog(base + ".dbf");
    const std::string shown = ShownTexts();
    const std::string log = ReadAll(d + "clg" + Lower(code.c_str()) + ".txt");
    CloseAllTables();
    if (c.damaged != nullptr) {
      EXPECT_NE(DossierCode, code);
      EXPECT_NE(shown.find(base + c.damaged), std::string::npos) << shown;
      EXPECT_NE(shown.find("Restaurez"), std::string::npos) << shown;
      EXPECT_NE(log.find("OUVERTURE DOSSIER - Erreur"), std::string::npos) << log;
      EXPECT_EQ(log.find("OUVERTURE DOSSIER - Ok"), std::string::npos) << log;
      EXPECT_TRUE(dossier_test::FolderBytes(d) == before) << "the dossier was written into";
    } else {
      // The index is made again; no record is added and no constant reset.
      EXPECT_EQ(DossierCode, code) << shown;
      EXPECT_EQ(shown.find("constantes"), std::string::npos) << shown;
      // Header bytes 1-3 (the date of last update) aside, C10 is as it was.
      EXPECT_TRUE(ReadAll(base + ".dbf").substr(4) == sound.substr(4)) << "C10 was written into";
    }
  }
}

// The plan of a stopped renumbering: the opening goes on and says that the run must be
// finished first.
TEST_F(DossierOpenTest, PendingRenumberingIsSaidAtTheOpening) {
  const std::string d = MakeDossier("plan", "PLN", 10);
  std::ofstream(d + "c60pln.ren") << "4\n";
  OpenThroughDialog(C10Path(d, "PLN"));
  EXPECT_EQ(DossierCode, "PLN");
  EXPECT_NE(ShownTexts().find("ReNum\xE9rotation des Pi\xE8" "ces a \xE9t\xE9 interrompue"), std::string::npos)
      << ShownTexts();
}

// A memo file that is not there is said missing, with the data file that needs it; one
// that is there but unreadable is said damaged. Either way nothing is written.
TEST_F(DossierOpenTest, AMissingMemoFileIsSaidMissingAndNamed) {
  const struct {
    const char* what;
    const char* table;
    bool remove;  // else cut within its header
    const char* says;
  } cases[] = {{"general file's memo removed", "c10", true, "est absent"},
               {"accounts' memo removed", "c20", true, "est absent"},
               {"general file's memo cut", "c10", false, "est endommag\xE9"}};
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string code = "MEM" + std::to_string(++n);
    const std::string d = MakeDossier("m" + std::to_string(n), code, 10);
    const std::string base = d + c.table + Lower(code.c_str());
    if (c.remove) fs::remove(base + ".dbt");
    else fs::resize_file(base + ".dbt", 10);
    const std::string before = dossier_test::FolderBytes(d);
    gui::ModalSeam::Reset();
    if (n == 1) gui::ModalSeam::BuildMessageBoxes([](QWidget* box) { test_support::Screenshot(box, "dossier", "memo_missing"); });
    OpenThroughDialog(C10Path(d, code));
    const std::string shown = ShownTexts();
    const std::string log = ReadAll(d + "clg" + Lower(code.c_str()) + ".txt");
    CloseAllTables();
    EXPECT_NE(DossierCode, code);
    EXPECT_NE(shown.find(base + ".dbt\n\n" + c.says), std::string::npos) << shown;
    EXPECT_EQ(shown.find("est absent") != std::string::npos, c.remove) << shown;
    if (c.remove) {
      EXPECT_NE(shown.find(base + ".dbf"), std::string::npos) << "the data file that needs it: " << shown;
      EXPECT_NE(log.find("fichier absent: " + base + ".dbt"), std::string::npos) << log;
    }
    EXPECT_TRUE(dossier_test::FolderBytes(d) == before) << "the dossier was written into";
  }
}

namespace {

std::uint32_t HeaderCount(const std::string& dbf) { return Get32(dossier_test::ReadFile(dbf), 4); }

// The records python3-dbfread reads as live.
std::string LiveRecords(const std::string& dbf) {
  int status = -1;
  const std::string read = test_support::RunPythonScript(
      "from dbfread import DBF\nprint(len(list(DBF('" + dbf + "', encoding='cp1252', ignore_missing_memofile=True))))\n",
      false, &status);
  return status == 0 ? read : "python3 failed: " + read;
}

void WriteHeaderCount(const std::string& dbf, std::uint32_t count) {
  Poke(dbf, 4, std::string(reinterpret_cast<const char*>(&count), 4));  // little-endian
}

}  // namespace

// A header that counts fewer records than its table holds (what a count written back too low
// leaves): the opening names the table and counts the whole records in again, and the
// ReConstruction then keeps every one of them. One of them without its delete mark is damage:
// the opening refuses the dossier, naming the table, and writes nothing.
TEST_F(DossierOpenTest, RecordsPastALowCountAreNamedAndCountedInNeverCut) {
  struct Case {
    const char* what;
    const char* table;
    bool spoil;  // a record past the count loses its delete mark
  } cases[] = {{"draft lines counted half", "c50", false},
               {"accounts counted half", "c20", false},
               {"a record past the count without its mark", "c50", true}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string code = "CNT" + std::to_string(++n);
    const std::string d = MakeDossier("n" + std::to_string(n), code, 80);
    const std::string dbf = d + c.table + Lower(code.c_str()) + ".dbf";
    const std::uint32_t written = HeaderCount(dbf);
    ASSERT_GE(written, 8u);
    const std::string live = LiveRecords(dbf);
    WriteHeaderCount(dbf, written / 2);
    if (c.spoil) {
      const std::string head = dossier_test::ReadFile(dbf);
      const std::size_t header = Get32(head, 8) & 0xFFFF, length = Get32(head, 10) & 0xFFFF;
      Poke(dbf, header + (written - 1) * length, "X");
    }
    const std::string before = dossier_test::FolderBytes(d);
    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(d, code));
    for (const gui::ShownModal& m : gui::ModalSeam::Shown())
      if (n == 1 && m.text.find("compte moins") != std::string::npos)
        test_support::ScreenshotMessage(m, "dossier", "records_past_count");
    const std::string shown = ShownTexts();
    const std::string log = ReadAll(d + "clg" + Lower(code.c_str()) + ".txt");
    if (c.spoil) {
      CloseAllTables();
      EXPECT_NE(DossierCode, code);
      EXPECT_NE(shown.find(dbf + "\n\nest endommag\xE9"), std::string::npos) << shown;
      EXPECT_TRUE(dossier_test::FolderBytes(d) == before) << "the dossier was written into";
      continue;
    }
    ASSERT_EQ(DossierCode, code) << shown;
    EXPECT_NE(shown.find(dbf + "\n\ncompte moins d'enregistrements"), std::string::npos) << shown;
    EXPECT_NE(shown.find(std::to_string(written - written / 2) + " enregistrement(s) entier(s)"), std::string::npos)
        << shown;
    EXPECT_NE(log.find("hors du compte de l'en-t\xEAte, compt\xE9s \xE0 nouveau: " + dbf), std::string::npos) << log;
    EXPECT_EQ(HeaderCount(dbf), written);
    // The ReConstruction reads and keeps every record.
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    CmReconstructionDossier();
    gui::ProcessPendingMessages();
    bool rebuilt = false;
    for (const gui::ShownModal& m : gui::ModalSeam::Shown()) rebuilt |= m.caption.rfind("ReConstruction du dossier: ", 0) == 0;
    EXPECT_TRUE(rebuilt) << ShownTexts();
    CloseAllTables();
    EXPECT_EQ(LiveRecords(dbf), live);
    Menu(20203);  // "Fermer dossier"
  }
}

// A draft line cancelled, then an index found foreign at the opening, which reindexes the dossier
// and packs the sort records, the cancelled line's with them: the books still hold together (a
// backup of them restores, a validation goes through), and the line reactivated gets its sort
// record made again.
TEST_F(DossierOpenTest, ACancelledLineLeftWithoutItsSortRecordByTheReindexHoldsAndIsReactivated) {
  const std::string d = MakeDossier("cancelled", "CAN", 60);
  std::uint32_t cancelled = 0, sortsLive = 0;
  auto withTables = [&](const std::function<void(Table&, Table&)>& work) {
    SetDossier(d, "CAN");
    SetLogDossier(d, "CAN");
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
    Table c50, c60;
    ASSERT_TRUE(c50.OpenShared(PathC50(), LigneEcriture::kCodeTag));
    ASSERT_TRUE(c60.OpenShared(PathC60(), "C60CODE"));
    work(c50, c60);
    c50.CloseTable(true);
    c60.CloseTable(true);
    CloseAllTables();
    SetDossier("", "");
  };
  auto booksHold = [&](const char* when) {
    SetDossier(d, "CAN");
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << when << "\n" << check.Report();
    SetDossier("", "");
  };
  withTables([&](Table& c50, Table& c60) {
    for (std::uint32_t r = 1; r <= c50.RecCount() && cancelled == 0; ++r)
      if (c50.GoTo(r) && c50.GetField(LigneEcriture::BCLE)[0] == LigneEcriture::kGeneral && !posting::IsLettered(c50))
        cancelled = r;
    ASSERT_NE(cancelled, 0u);
    ASSERT_EQ(posting::CancelLine(c50, c60, cancelled, "ligne"), posting::LineChange::Done);
    for (std::uint32_t r = 1; r <= c60.RecCount(); ++r)
      if (c60.GoTo(r) && !c60.IsDeleted()) ++sortsLive;
  });
  booksHold("cancelled");
  fs::copy_file(d + "c30can.mdx", d + "c20can.mdx", fs::copy_options::overwrite_existing);

  OpenThroughDialog(C10Path(d, "CAN"));
  ASSERT_EQ(DossierCode, "CAN") << ShownTexts();
  EXPECT_NE(ReadAll(d + "clgcan.txt").find("r\xE9index\xE9 \xE0 l'ouverture"), std::string::npos);
  Menu(20203);  // "Fermer dossier"
  withTables([&](Table&, Table& c60) { EXPECT_EQ(c60.RecCount(), sortsLive) << "the cancelled lines' sort records packed"; });
  booksHold("reindexed");

  withTables([&](Table& c50, Table& c60) {
    EXPECT_EQ(posting::ReactivateLine(c50, c60, cancelled, "ligne"), posting::LineChange::Done);
    EXPECT_EQ(c60.RecCount(), sortsLive + 1);
  });
  EXPECT_NE(ReadAll(d + "clgcan.txt").find("sans enregistrement de tri, recr\xE9\xE9"), std::string::npos);
  booksHold("reactivated");

  // Cancelled again, its sort record doubled: a cancelled line may lack one, never have two.
  withTables([&](Table& c50, Table& c60) {
    ASSERT_EQ(posting::CancelLine(c50, c60, cancelled, "ligne"), posting::LineChange::Done);
    std::vector<std::string> fields;
    for (std::uint32_t r = 1; r <= c60.RecCount() && fields.empty(); ++r)
      if (c60.GoTo(r) && c60.IsDeleted() && c60.GetField(LigneTri::TFIC)[0] == 'B' &&
          std::stoul(c60.GetField(LigneTri::TREC)) == cancelled)
        for (int f = 1; f <= c60.FieldCount(); ++f) fields.push_back(c60.GetField(f));
    ASSERT_FALSE(fields.empty());
    {
      const test_support::SetUpPermit permit("enregistrement de tri double");
      ASSERT_TRUE(c60.AppendBlank());
      for (int f = 1; f <= c60.FieldCount(); ++f) ASSERT_TRUE(c60.PutField(f, fields[static_cast<std::size_t>(f - 1)].c_str()));
      ASSERT_TRUE(c60.InsertRecord());
      ASSERT_TRUE(c60.DeleteRecord("tri", 1));
    }
  });
  SetDossier(d, "CAN");
  DossierInvariants doubled;
  EXPECT_FALSE(doubled.Check());
  EXPECT_NE(doubled.Report().find("C50 ligne " + std::to_string(cancelled) + ": 2 enregistrements de tri"),
            std::string::npos)
      << doubled.Report();
  SetDossier("", "");
}

// An index file copied over the chart's from another table of the dossier (c30 over c20, whose
// tags the chart lacks), or from the chart of another dossier (the same tags, made for another
// table's records) is noticed at the opening and the dossier's indexes made again: the accounts
// are then read through their own tags, every one of them.
TEST_F(DossierOpenTest, AnIndexOfAnotherTableIsMadeAgainAtTheOpening) {
  const std::string other = MakeDossier("other", "OTH", 60);
  {
    // Its chart holds accounts this one lacks.
    Table c20;
    ASSERT_TRUE(c20.OpenShared(other + "c20oth", "C20CODE"));
    for (const char* code : {"10100000", "40199999", "70999999"}) {
      ASSERT_TRUE(c20.AppendBlank());
      c20.PutField(1, code);
      ASSERT_TRUE(c20.InsertRecord());
    }
  }
  const struct Case {
    const char* folder;
    std::string copied;  // the index copied over c20<code>.mdx
  } cases[] = {{"foreign", "c30for.mdx"}, {"same-table", other + "c20oth.mdx"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    const std::string d = MakeDossier(c.folder, "FOR", 20);
    const std::string c20 = d + "c20for";
    fs::copy_file(c.copied.find('/') == std::string::npos ? d + c.copied : c.copied, c20 + ".mdx",
                  fs::copy_options::overwrite_existing);
    OpenThroughDialog(C10Path(d, "FOR"));
    ASSERT_EQ(DossierCode, "FOR") << ShownTexts();
    const std::string log = ReadAll(d + "clgfor.txt");
    EXPECT_NE(log.find("Index d'un autre fichier ou sans ses ordres r\xE9index\xE9 \xE0 l'ouverture : " + c20 + ".mdx"),
              std::string::npos)
        << log;
    Table accounts;
    ASSERT_TRUE(accounts.OpenShared(c20, "C20CODE", true)) << "the accounts' own order";
    std::uint32_t walked = 0;
    for (bool more = accounts.GoTop("C20CODE"); more; more = accounts.Skip(1)) ++walked;
    EXPECT_GT(walked, 0u);
    EXPECT_EQ(walked, accounts.RecCount());
    accounts.CloseTable(true);
    Menu(20203);  // "Fermer dossier"
  }
}

namespace {

// The live records of a general file as text, each led by its kind and code ("P0|...").
std::multiset<std::string> GeneralRecords(const std::string& base) {
  std::multiset<std::string> records;
  Table c10;
  EXPECT_TRUE(c10.OpenShared(base, "", true));
  for (bool more = c10.GoTop(""); more; more = c10.Skip(1))
    if (!c10.RecordDeleted())
      records.insert(std::string(c10.GetField(1)) + RTrim(c10.GetField(2)) + "|" + c10.RecordToText(c10.FieldCount()));
  return records;
}

}  // namespace

// A general file without its constants' record "P0", opened with each of the opening's writes
// refused once (ENOSPC): the opening adds the record and opens, every other record as it was;
// or, its insert refused, it says so with the full disk, stays closed, and no other record is
// read or written in its place.
TEST_F(DossierOpenTest, AConstantsRecordTheGeneralFileRefusesIsSaidAndNoOtherTakesItsPlace) {
  const std::string model = MakeDossier("p0", "PZ", 10);
  const std::string base = model + "c10pz";
  {
    Table c10;
    ASSERT_TRUE(c10.OpenShared(base, "C10CODE"));
    ASSERT_TRUE(c10.Seek("C10CODE", "P", "0"));
    ASSERT_TRUE(c10.PutField(1, "!"));
    ASSERT_TRUE(c10.Commit());
  }
  const std::multiset<std::string> before = GeneralRecords(base);
  const fs::path copy = fs::path(root_) / "p0-model";
  fs::copy(model, copy, fs::copy_options::recursive);
  const auto open = [&](dbase::WriteFault fault, long nth) {
    fs::remove_all(model);
    fs::copy(copy, model, fs::copy_options::recursive);
    gui::ModalSeam::Reset();
    dbase::SetWriteFault(fault, nth);
    OpenThroughDialog(base + ".dbf");
    const long counted = dbase::WritesCounted();
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    return counted;
  };
  const long total = open(dbase::WriteFault::kFull, LONG_MAX);
  ASSERT_EQ(DossierCode, "PZ") << ShownTexts();
  std::multiset<std::string> after = GeneralRecords(base);
  ASSERT_EQ(after.size(), before.size() + 1);
  int refusedSaid = 0;
  for (long k = 1; k <= total; ++k) {
    SCOPED_TRACE("write " + std::to_string(k) + " of " + std::to_string(total) + " refused");
    SetDossier("", "");
    open(dbase::WriteFault::kFullOnce, k);
    const std::multiset<std::string> now = GeneralRecords(base);
    if (DossierCode == "PZ") {
      // Opened: the record added, the others as they were (the constants may be set in it).
      std::multiset<std::string> others = now;
      const auto added = std::find_if(others.begin(), others.end(),
                                      [](const std::string& r) { return r.compare(0, 3, "P0|") == 0; });
      ASSERT_NE(added, others.end()) << "opened without its constants record";
      others.erase(added);
      EXPECT_EQ(others, before) << ShownTexts();
    } else if (ShownContains("enregistrement P0")) {
      if (++refusedSaid == 1)
        for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
          if (shown.text.find("enregistrement P0") != std::string::npos)
            test_support::ScreenshotMessage(shown, "dossier", "constants_record_refused");
      EXPECT_TRUE(ShownContains("disque plein")) << ShownTexts();
      EXPECT_EQ(now, before);
    }
  }
  EXPECT_GT(refusedSaid, 0) << "no point refused the record's insert";
}

// Reads of a plain opening refused (EIO), one at a time, the opening going on: every read of the
// general file and of the lock table, and reads spread over the other tables. Each stops the
// opening in one box that names the file the disk could not read, never a damaged table, an
// append cut short or another station; and the tables stay byte for byte as they were: a record
// sought is never made for want of being read, no index is made again over a read refused.
TEST_F(DossierOpenTest, AReadRefusedWhileOpeningChangesNothingAndIsSaid) {
  const std::string d = MakeDossier("lu", "LU", 40);
  const std::string model = root_ + "/lu-modele/";
  fs::create_directories(model);
  for (const auto& e : fs::directory_iterator(d))
    if (e.is_regular_file()) fs::copy_file(e.path(), model + e.path().filename().string());
  // The tables' files, by name.
  const auto tables = [](const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) {
      const std::string ext = e.path().extension().string();
      if (ext == ".dbf" || ext == ".mdx" || ext == ".dbt") files[e.path().filename().string()] = ReadAll(e.path().string());
    }
    return files;
  };
  const auto before = tables(model);
  // The dossier as the model holds it, closed, then opened as the program opens it.
  const auto open = [&](platform::WriteFault fault, long nth) {
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    fs::remove_all(d);
    fs::create_directories(d);
    for (const auto& e : fs::directory_iterator(model)) fs::copy_file(e.path(), d + e.path().filename().string());
    gui::ModalSeam::Reset();
    DossierFolder = d;
    DossierCode = "LU";
    platform::SetWriteFault(fault, nth);
    return EnsureDossierOpen();
  };
  // The reads of the opening, in order ("read <file>").
  static std::vector<std::string> made;
  made.clear();
  platform::BeforeFileRead = [] { made.push_back(platform::ReadBeingMade()); };
  const bool whole = open(platform::WriteFault::kReadFailOnce, LONG_MAX);
  platform::BeforeFileRead = nullptr;
  platform::SetWriteFault(platform::WriteFault::kNone, 0);
  ASSERT_TRUE(whole) << ShownTexts();
  const long reads = static_cast<long>(made.size());
  ASSERT_GT(reads, 100);
  int generalFile = 0;
  for (long nth = 1; nth <= reads; ++nth) {
    const std::string& read = made[static_cast<std::size_t>(nth - 1)];
    const std::string name = read.substr(read.rfind('/') + 1);
    generalFile += name.rfind("c10lu.", 0) == 0;
    // The general file and the lock table at every read, the others at one read in fifteen.
    if (name.rfind("c10lu.", 0) != 0 && name.rfind("clu_", 0) != 0 && nth % 15 != 0) continue;
    const bool opened = open(platform::WriteFault::kReadFailOnce, nth);
    const std::string refused = platform::RefusedChange();
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
    ASSERT_EQ(refused, read) << "read " << nth;
    const std::string file = refused.substr(5);
    SCOPED_TRACE("read " + std::to_string(nth) + " of " + std::to_string(reads) + ": " + file);
    EXPECT_FALSE(opened);
    std::vector<gui::ShownModal> boxes;
    for (const gui::ShownModal& s : gui::ModalSeam::Shown())
      if (s.kind == gui::ModalKind::MessageBox) boxes.push_back(s);
    ASSERT_EQ(boxes.size(), 1u) << ShownTexts();
    EXPECT_NE(boxes[0].text.find("Le dossier LU n'est pas ouvert:\n\n   " + ReadErrorText(file)), std::string::npos)
        << boxes[0].text;
    EXPECT_EQ(boxes[0].caption, "Dossier LU non ouvert");
    if (name == "c10lu.mdx") test_support::ScreenshotMessage(boxes[0], "dossier", "opening-read-refused");
    CloseAllTables();
    EXPECT_TRUE(tables(d) == before) << "a table was written into";
  }
  EXPECT_GT(generalFile, 20);
  EXPECT_TRUE(open(platform::WriteFault::kNone, 0)) << "the disk in order again, it opens: " << ShownTexts();
}
