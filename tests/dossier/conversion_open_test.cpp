// Dossiers of another format converted: francs only, offered on opening with the
// euro rate asked; records kept in their place and headers apart; originals kept
// aside until the conversion succeeded.
#include <cmath>
#include <functional>
#include <map>

#include "data/dossier_invariants.h"
#include "data/entry_lines.h"
#include "dossier/core/conversion.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/restore_files.h"
#include "dossier/dossier_open.h"
#include "dossier_test_util.h"
#include "support/books_files.h"
#include "support/books_writes.h"
#include "support/dossier_fixture.h"
#include "platform/gui/dialog.h"
#include "support/gui_test.h"
#include "support/line_files.h"
#include "support/refused_read.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/write_fault.h"
#include "runtime/numbers.h"

namespace {

using dossier_test::RenameField;

std::string LastFieldName(const std::string& base) {
  Table t;
  if (!t.OpenShared(base)) return "";
  const std::string name = RTrim(t.FieldName(t.FieldCount()));
  t.CloseTable(true);
  return name;
}

bool HasAsideFolder(const std::string& folder) {
  for (const auto& e : fs::directory_iterator(folder))
    if (e.is_directory() && e.path().filename().string().rfind("conversion-", 0) == 0) return true;
  return false;
}

struct Line {
  char kind, sense;
  std::string piece;
  double francs;
};

// Sets every euro amount of the entry lines and account totals to zero, as a dossier of
// francs only holds them; the lines as they were (francs) by record number.
std::map<std::uint32_t, Line> MakeFrancsOnly(const std::string& folder, const std::string& code) {
  const test_support::SetUpPermit permit("dossier en francs");
  std::map<std::uint32_t, Line> lines;
  Table c50, c20;
  maintenance_test::EachRecord(c50, folder + "c50" + code, [&](Table& t) {
    lines[t.RecNo()] = {t.GetField(1)[0], t.GetField(17)[0], std::string(t.GetField(2)) + t.GetField(3) + t.GetField(4),
                        t.GetFieldNum(18)};
    t.PutFieldNum(19, 0);
  });
  maintenance_test::EachRecord(c20, folder + "c20" + code, [](Table& t) {
    for (int f : {18, 20, 22, 24, 29}) t.PutFieldNum(f, 0);
  });
  return lines;
}

// The dossier of `folder` converted to two currencies at the euro's rate, as the opening converts it.
ConversionResult ConvertAtTheEuroRate(const std::string& folder, const std::string& code) {
  SetDossier(folder, code);
  SetLogDossier(folder, code);
  ConversionRequest request;
  request.toTwoCurrencies = true;
  request.rate = 6.55957;
  return ConvertDossier(request);
}

// The dossier's own tables unpacked as a backup into the restore's folder and judged there, as the
// restore judges a backup before anything is installed.
RestoreSelection SelectOwnBackup(const std::string& folder, const std::string& code) {
  RestoreFolders folders;
  if (!MakeRestoreFolders(folder, code, &folders)) {
    ADD_FAILURE() << "no restore folders for " << folder;
    return {};
  }
  for (const std::string& name : platform::ListFiles(folder, std::string("c??") + Lower(code.c_str()) + ".*"))
    EXPECT_TRUE(platform::CopyFile(folder + name, folders.work + name)) << name;
  const RestoreSelection selection = SelectRestoredFiles(folders.work, folder, code);
  RemoveRestoreFolders(folders);
  return selection;
}

}  // namespace

TEST_F(DossierOpenTest, FrancsOnlyDossierGetsEurosAtTheTypedRate) {
  const std::string d = MakeDossier("francs", "FRF", 120);
  const auto lines = MakeFrancsOnly(d, "frf");
  RenameField(d + "c10frf.dbf", 0, "GD19970101");

  OpenThroughDialog(C10Path(d, "FRF"), [] {
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
      test_support::Screenshot(w.Widget(), "dossier", "euro_rate");
      static_cast<gui::Dialog&>(w).SetItemText(1202, "6.55957");
    });
  });
  ASSERT_EQ(LastFieldName(d + "c10frf"), "GD20131223") << ShownTexts();
  EXPECT_TRUE(HasAsideFolder(d));
  // The last box names the folder that keeps the originals, and says nothing of their removal.
  EXPECT_TRUE(ShownContains("Les fichiers d'origine du dossier sont intacts dans:\n\n   " + d + "conversion-"))
      << ShownTexts();
  EXPECT_FALSE(ShownContains("supprim\xE9s")) << ShownTexts();

  // Every line in euros at the rate (a rounding cent moved at most), every piece balanced.
  Table c50;
  std::map<std::string, long long> pieceEuros, pieceFrancs;
  std::size_t seen = 0;
  maintenance_test::EachRecord(c50, d + "c50frf", [&](Table& t) {
    const Line& l = lines.at(t.RecNo());
    ++seen;
    ASSERT_DOUBLE_EQ(t.GetFieldNum(18), l.francs);
    const long long euros = std::llround(t.GetFieldNum(19) * 100.0);
    EXPECT_LE(std::llabs(euros - std::llround(l.francs / 6.55957 * 100.0)), 2) << t.RecNo();
    // Cancelled lines (the generator leaves some) count in no balance.
    if (l.kind != 'Z' || t.IsDeleted()) return;
    pieceEuros[l.piece] += l.sense == 'D' ? euros : -euros;
    pieceFrancs[l.piece] += std::llround(l.francs * 100.0) * (l.sense == 'D' ? 1 : -1);
  });
  ASSERT_EQ(seen, lines.size());
  for (const auto& [piece, sum] : pieceEuros) {
    ASSERT_EQ(pieceFrancs[piece], 0) << piece;
    EXPECT_EQ(sum, 0) << "piece " << piece << " balances in euros";
  }
  const std::string log = ReadAll(d + "clgfrf.txt");
  EXPECT_NE(log.find("CONVERSION - Ok - FRF GD19970101>GD20131223, Francs/Euros au taux 6.55957"), std::string::npos)
      << log;
  EXPECT_NE(log.find("originaux dans " + d + "conversion-"), std::string::npos) << log;
}

// A 200-line dossier of francs only with six cancelled lines (their sort records with them, as the
// program cancels a line), a cancelled account, and a
// closed header ("...C") beside the draft header ("...B") of the same journal-month: the
// conversion keeps every record in its place, so each sort record still points at its own
// line, and the cancelled records stay cancelled; each header takes the euro totals of its
// own lines, the closed one, without lines, its francs converted.
TEST_F(DossierOpenTest, ConversionKeepsRecordsInPlaceAndHeadersApart) {
  const std::string d = MakeDossier("annules", "ANN", 200);
  MakeFrancsOnly(d, "ann");
  std::vector<bool> cancelled;
  std::string draft;
  {
    Table c50, c60, c20, c10;
    const test_support::SetUpPermit permit("dossier ancien mis en place");
    ASSERT_TRUE(c50.OpenShared(d + "c50ann"));
    ASSERT_TRUE(c60.OpenShared(d + "c60ann", LigneTri::kRecordTag));
    for (long r : {3, 40, 41, 99, 150, 200}) {
      ASSERT_TRUE(c50.GoTo(r));
      // The generator may have cancelled it already.
      if (!c50.IsDeleted()) {
        ASSERT_TRUE(c50.DeleteRecord(nullptr, 0));
        ASSERT_TRUE(LigneTri::Find(c60, LigneTri::kDraft, static_cast<std::uint32_t>(r)));
        ASSERT_TRUE(c60.DeleteRecord(nullptr, 0));
      }
    }
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) cancelled.push_back(c50.GoTo(r) && c50.IsDeleted());
    ASSERT_TRUE(c20.OpenShared(d + "c20ann"));
    ASSERT_TRUE(c20.GoTo(2));
    ASSERT_TRUE(c20.DeleteRecord(nullptr, 0));
    ASSERT_TRUE(c10.OpenShared(d + "c10ann"));
    for (bool more = c10.GoTop(""); more && draft.empty(); more = c10.Skip(1))
      if (c10.GetField(1)[0] == 'C') draft = RTrim(c10.GetField(2));
    ASSERT_EQ(draft.size(), 8u);
    ASSERT_TRUE(c10.AppendBlank());
    c10.PutField(1, "C");
    c10.PutField(2, (draft.substr(0, 7) + "C").c_str());
    c10.PutField(4, (std::string(FormatNumber(14, 2, false, 655.96)) + FormatNumber(14, 2, false, 0)).c_str());
    ASSERT_TRUE(c10.InsertRecord());
  }
  RenameField(d + "c10ann.dbf", 0, "GD19970101");
  const ConversionResult r = ConvertAtTheEuroRate(d, "ANN");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(fs::exists(r.asideFolder + "c50ann.dbf")) << "the originals are kept";

  Table c50, c60, c20, c10;
  ASSERT_TRUE(c50.OpenShared(d + "c50ann"));
  ASSERT_EQ(c50.RecCount(), cancelled.size());
  for (std::uint32_t n = 1; n <= c50.RecCount(); ++n) {
    ASSERT_TRUE(c50.GoTo(n));
    EXPECT_EQ(c50.IsDeleted(), cancelled[n - 1]) << n;
  }
  ASSERT_TRUE(c60.OpenShared(d + "c60ann"));
  for (std::uint32_t n = 1; n <= c60.RecCount(); ++n) {
    ASSERT_TRUE(c60.GoTo(n));
    if (c60.GetField(9)[0] != 'B') continue;
    ASSERT_TRUE(c50.GoTo(std::atol(c60.GetField(10))));
    EXPECT_STREQ(c60.GetField(2), c50.GetField(10)) << "sort record " << n << " points at another line";
  }
  ASSERT_TRUE(c20.OpenShared(d + "c20ann"));
  ASSERT_TRUE(c20.GoTo(2));
  EXPECT_TRUE(c20.IsDeleted()) << "the cancelled account is kept cancelled";
  ASSERT_TRUE(c10.OpenShared(d + "c10ann", "C10CODE"));
  ASSERT_TRUE(c10.Seek("C10CODE", ("C" + draft.substr(0, 7) + "C").c_str()));
  EXPECT_EQ(std::string(c10.GetField(5)).substr(0, 28),
            std::string(FormatNumber(14, 2, false, 100)) + FormatNumber(14, 2, false, 0));
}

// A conversion refused before it changes anything says why in one sentence, the value it names in
// its place; a conversion done writes one log line, the rate, the counts and the originals' folder
// each in its place.
TEST_F(DossierOpenTest, ConversionSaysItsValuesInTheirPlaces) {
  const std::string d = MakeDossier("valeurs", "VAL", 20);
  MakeFrancsOnly(d, "val");
  RenameField(d + "c10val.dbf", 0, "GD19970101");
  const std::string empty = d + "vide/";
  fs::create_directories(empty);
  const struct Case {
    const char* what;
    std::string folder;
    double rate;
    std::string said;
  } cases[] = {
      {"rate out of range", d, 0.5, "taux de conversion hors limites 0.50000"},
      {"no dossier file", empty, 6.55957, "aucun fichier du dossier dans " + empty},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetDossier(c.folder, "VAL");
    SetLogDossier(d, "VAL");
    ConversionRequest request;
    request.toTwoCurrencies = true;
    request.rate = c.rate;
    const ConversionResult r = ConvertDossier(request);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.said);
  }

  const ConversionResult r = ConvertAtTheEuroRate(d, "VAL");
  ASSERT_TRUE(r.ok) << r.error;
  const std::string log = ReadAll(d + "clgval.txt");
  const std::size_t at = log.find("CONVERSION - Ok - ");
  ASSERT_NE(at, std::string::npos) << log;
  const std::string line = log.substr(at, log.find("\r\n", at) - at);  // the log's lines end as in DOS
  EXPECT_EQ(line, "CONVERSION - Ok - VAL GD19970101>GD20131223, Francs/Euros au taux 6.55957, " +
                      std::to_string(r.tables) + " fichiers, " + std::to_string(r.records) +
                      " enregistrements, originaux dans " + r.asideFolder);
}

// A backup of an older format whose tables come from two states of the dossier (the draft of
// another state beside the rest): it is judged as the conversion the opening offers would leave it,
// whatever fields the format has that the check reads (a general file without its name field), and
// refused with the sort records that are not their lines', while the same backup of one state is
// taken. Fields that a table of the dossier has, but in another order, are no older format: the
// conversion would copy them crosswise. Books of two states already in the folder (restored before
// the check) are not converted: the conversion says what does not agree and puts the originals
// back, the dossier still of its older format.
TEST_F(DossierOpenTest, BooksOfTwoStatesOfAnOlderFormatAreNeitherRestoredNorConverted) {
  const std::string d = MakeDossier("ancien", "OLD", 120);
  const std::string other = MakeDossier("autre-etat", "OLD", 60);
  SetDossier(d, "OLD");
  SetLogDossier(d, "OLD");
  const auto withoutName = [](const std::string& work) { dossier_test::DropField(work + "c10old.dbf", "GLIB"); };
  const struct Case {
    const char* name;
    bool mixed;
    std::function<void(const std::string& work)> spoil;
    const char* refused;  // what the refusal says; "" when taken
  } cases[] = {
      {"one state", false, nullptr, ""},
      {"two states", true, nullptr, "enregistrement de tri"},
      {"one state without the name field", false, withoutName, ""},
      {"two states without the name field", true, withoutName, "enregistrement de tri"},
      {"two fields of the chart in each other's place", false,
       [](const std::string& work) {
         RenameField(work + "c20old.dbf", 2, "CRUE1");
         RenameField(work + "c20old.dbf", 3, "CLIB");
       },
       "n'a pas la structure du fichier C20"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RestoreFolders folders;
    ASSERT_TRUE(MakeRestoreFolders(d, "OLD", &folders));
    for (const std::string& name : platform::ListFiles(d, "c??old.*"))
      if (!test_support::IsIndexJournal(name)) {
        ASSERT_TRUE(platform::CopyFile((c.mixed && name.rfind("c50", 0) == 0 ? other : d) + name, folders.work + name));
      }
    RenameField(folders.work + "c10old.dbf", 0, "GD19970101");
    if (c.spoil) c.spoil(folders.work);
    const RestoreSelection selection = SelectRestoredFiles(folders.work, d, "OLD");
    if (*c.refused != 0) {
      EXPECT_NE(selection.refusal.find(c.refused), std::string::npos) << selection.refusal;
      if (c.mixed) EXPECT_NE(selection.refusal.find("ne vont pas ensemble"), std::string::npos) << selection.refusal;
    } else {
      EXPECT_EQ(selection.refusal, "");
    }
    // The trial conversion leaves nothing behind in the restore's folder.
    EXPECT_FALSE(fs::exists(folders.folder + "conversion"));
    RemoveRestoreFolders(folders);
  }

  for (const char* ext : {".dbf", ".mdx"}) fs::copy_file(other + "c50old" + ext, d + "c50old" + ext, fs::copy_options::overwrite_existing);
  RenameField(d + "c10old.dbf", 0, "GD19970101");
  const ConversionResult r = ConvertDossier(ConversionRequest{});
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("enregistrement de tri"), std::string::npos) << r.error;
  EXPECT_EQ(LastFieldName(d + "c10old"), "GD19970101") << "the originals are back";
  EXPECT_FALSE(HasAsideFolder(d));
}

// A backup of a format before the euro, whose lines and journal-month headers hold francs only (the
// accounts kept their totals in both currencies), is judged as the conversion the opening offers
// would leave it: that conversion gives every line its euros, and the restore says of the books
// what the conversion itself says. Judged as it stands, every account's euro total would be named
// as not its lines'.
TEST_F(DossierOpenTest, AFrancsOnlyBackupBeforeTheEuroIsJudgedAsItsConversionLeavesIt) {
  // Typed in francs, as the books of a dossier before the euro were.
  const std::string d = MakeDossier("avant-euro", "AVE", 120, [](DemoOptions& o) { o.currency = DossierCurrency::FrancMain; });
  {
    const test_support::SetUpPermit permit("dossier en francs");
    Table c40, c50, c10;
    maintenance_test::EachRecord(c40, d + "c40ave", [](Table& t) { t.PutFieldNum(t.FieldPos("DMONTANTE"), 0); });
    maintenance_test::EachRecord(c50, d + "c50ave", [](Table& t) { t.PutFieldNum(t.FieldPos("BMONTANTE"), 0); });
    maintenance_test::EachRecord(c10, d + "c10ave", [](Table& t) {
      if (t.GetField(1)[0] != 'C') return;
      std::string euros = t.GetField(5);
      euros.resize(28, ' ');
      t.PutField(5, (std::string(FormatNumber(14, 2, false, 0)) + FormatNumber(14, 2, false, 0) + euros.substr(28)).c_str());
    });
  }
  RenameField(d + "c10ave.dbf", 0, "GD19970101");
  std::string asItStands;
  {
    DossierInvariants check(d, "ave");
    ASSERT_FALSE(check.Check());
    ASSERT_FALSE(check.Apart()) << check.Report();
    asItStands = check.TotalsAdvice();
  }

  const RestoreSelection selection = SelectOwnBackup(d, "AVE");
  ASSERT_EQ(selection.refusal, "");

  const ConversionResult converted = ConvertAtTheEuroRate(d, "AVE");
  ASSERT_TRUE(converted.ok) << converted.error;
  EXPECT_EQ(selection.totalsAdvice, converted.totalsAdvice);
  EXPECT_NE(selection.totalsAdvice, asItStands);
}

// A backup that lacks a table whose lines, sort records or totals the check of the books reads is
// refused naming it, even where the dossier lacks it too: such books could not be judged, and the
// dossier would be left without the table. Here the lines come from another state of the dossier,
// which the check would have named.
TEST_F(DossierOpenTest, ABackupWithoutATableOfTheBooksIsRefusedNamingIt) {
  const std::string d = MakeDossier("sans-table", "SST", 60);
  const std::string other = MakeDossier("sans-table-autre", "SST", 30);
  for (const char* table : {"c10sst", "c20sst", "c30sst", "c50sst", "c60sst"}) {
    SCOPED_TRACE(table);
    const std::string dossier = MakeDossier(std::string("sans-") + table, "SST", 60);
    for (const std::string& name : platform::ListFiles(dossier, std::string(table) + ".*"))
      fs::remove(platform::DiskPath(dossier + name));
    RestoreFolders folders;
    ASSERT_TRUE(MakeRestoreFolders(dossier, "SST", &folders));
    for (const std::string& name : platform::ListFiles(d, "c??sst.*"))
      if (name.rfind(table, 0) != 0)
        ASSERT_TRUE(platform::CopyFile((name.rfind("c50", 0) == 0 ? other : d) + name, folders.work + name));
    const RestoreSelection selection = SelectRestoredFiles(folders.work, dossier, "SST");
    RemoveRestoreFolders(folders);
    EXPECT_NE(selection.refusal.find("Il y manque:\n\n   " + std::string(table) + ".dbf\n"), std::string::npos)
        << selection.refusal;
  }
}

// The restore's trial conversion holds a permit for its scratch copy only: while it writes there, a
// write of the dossier's own draft is refused.
TEST_F(DossierOpenTest, TheConversionTrialsPermitOpensItsScratchCopyOnly) {
  const std::string d = MakeDossier("essai", "ESS", 20);
  const std::string scratch = d + "essai-conversion/";
  ASSERT_TRUE(platform::MakeDirectories(scratch));
  static Table* own = nullptr;
  static int tried = 0, went = 0;
  Table c50;
  ASSERT_TRUE(c50.OpenShared(d + "c50ess"));
  own = &c50;
  tried = went = 0;
  test_support::BooksWriteRefusals refusals;
  // At the trial's first change of its scratch copy, the dossier's own draft is written.
  platform::BeforeFileChange = [] {
    if (tried != 0 || platform::ChangeBeingMade().find("essai-conversion/") == std::string::npos) return;
    ++tried;
    if (own->GoTo(1) && own->PutField(12, "Pendant l'essai")) ++went;
  };
  const std::string why = WriteConversionTrial(d, scratch, "ESS");
  platform::BeforeFileChange = nullptr;
  own = nullptr;
  EXPECT_EQ(why, "");
  EXPECT_EQ(tried, 1);
  EXPECT_EQ(went, 0);
  ASSERT_EQ(refusals.seen().size(), 1u);
  EXPECT_NE(refusals.seen()[0].file.find("c50ess.dbf"), std::string::npos);
}

// A dossier of francs only, of a format before the euro, one amount of which does not read (a draft
// line's francs, an account's debit in francs): its conversion would count it as zero in its euros and
// its journals' euro totals. The conversion is refused naming it, the dossier's every file byte for
// byte as before, no folder aside and no marker left; the restore of its backup is refused alike,
// naming it, before anything is installed.
TEST_F(DossierOpenTest, AnAmountThatDoesNotReadStopsTheConversionAndTheRestoreOfItsBackup) {
  const struct Case {
    const char* folder;
    const char* table;
    int field;  // of the first live general line (c50) or the first account (c20)
    const char* named;
  } cases[] = {{"ligne-illisible", "c50", 18, "C50 enregistrement"}, {"compte-illisible", "c20", 17, "C20"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    const std::string d = MakeDossier(c.folder, "ILL", 60);
    MakeFrancsOnly(d, "ill");
    RenameField(d + "c10ill.dbf", 0, "GD19970101");
    {
      Table t;
      ASSERT_TRUE(t.OpenShared(d + c.table + "ill"));
      const std::string name = RTrim(t.FieldName(c.field));
      t.CloseTable(true);
      test_support::RawRecords raw(d + c.table + "ill.dbf");
      std::uint32_t n = 1;
      while (c.table[2] == '5' && n < raw.Count() && raw.Field(raw.Record(n), "BCLE") != "Z") ++n;
      raw.Put(n, name, "ABC");
    }
    const auto files = [&d] {
      std::map<std::string, std::string> bytes;
      for (const std::string& name : platform::ListFiles(d, "*"))
        if (name.rfind("clg", 0) != 0 && fs::is_regular_file(d + name)) bytes[name] = ReadAll(d + name);
      return bytes;
    };
    const auto before = files();

    const RestoreSelection selection = SelectOwnBackup(d, "ILL");
    EXPECT_NE(selection.refusal.find("ne se lit pas"), std::string::npos) << selection.refusal;
    EXPECT_NE(selection.refusal.find(c.named), std::string::npos) << selection.refusal;

    const ConversionResult r = ConvertAtTheEuroRate(d, "ILL");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("ne se lit pas"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find(c.named), std::string::npos) << r.error;
    EXPECT_FALSE(HasAsideFolder(d));
    EXPECT_FALSE(DossierRunMarkerExists());
    EXPECT_TRUE(files() == before) << "a file of the dossier changed";

    // Opened as a user opens it: the conversion offered, the rate typed, its failure said in one box.
    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(d, "ILL"), [] {
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
        static_cast<gui::Dialog&>(w).SetItemText(1202, "6.55957");
      });
    });
    EXPECT_TRUE(ShownContains("La CONVERSION du dossier a \xE9" "chou\xE9")) << ShownTexts();
    EXPECT_TRUE(ShownContains(c.named)) << ShownTexts();
    for (const gui::ShownModal& box : gui::ModalSeam::Shown())
      if (box.text.find("a \xE9" "chou\xE9") != std::string::npos)
        test_support::ScreenshotMessage(box, "dossier", std::string("conversion_unread_") + c.table);
    EXPECT_FALSE(HasAsideFolder(d));
    EXPECT_TRUE(files() == before) << "a file of the dossier changed";
  }
}

// A conversion of a format of the euro's time (no euros to compute, the dossier's own parity kept),
// each read of a table's source refused by the disk in turn (the general file, the chart, the
// draft): it goes to its end with every record of that table
// there and the dossier's parity, or fails with every file of the dossier as it was, never a copy
// short of records nor the default parity taken for the dossier's.
TEST_F(DossierOpenTest, AReadRefusedDuringTheConversionFailsItWithTheOriginalsBack) {
  const std::string model = MakeDossier("lecture-refusee", "LRF", 60);
  const auto parity = [](const std::string& folder) {
    Table c10;
    std::string zone;
    if (!c10.OpenShared(folder + "c10lrf", "C10CODE") || !c10.Seek("C10CODE", "0")) return zone;
    zone = c10.GetField(5);
    zone.resize(254, ' ');
    c10.CloseTable(true);
    return zone.substr(238, 10);
  };
  {
    const test_support::SetUpPermit permit("parite du dossier");
    Table c10;
    ASSERT_TRUE(c10.OpenShared(model + "c10lrf", "C10CODE"));
    ASSERT_TRUE(c10.Seek("C10CODE", "0"));
    ASSERT_TRUE(c10.PutFieldPart(5, 239, 10, "   6.50000"));
    c10.CloseTable(true);
  }
  ASSERT_EQ(parity(model), "   6.50000");
  RenameField(model + "c10lrf.dbf", 0, "GD20010101");
  const auto files = [](const std::string& folder) {
    std::map<std::string, std::string> bytes;
    for (const std::string& name : platform::ListFiles(folder, "c??lrf.*"))
      if (name.rfind("clg", 0) != 0) bytes[name] = ReadAll(folder + name);  // the log says what happened
    return bytes;
  };
  const auto before = files(model);
  const auto records = [](const std::string& base) {
    Table t;
    if (!t.OpenShared(base)) return -1L;
    const long n = static_cast<long>(t.RecCount());
    t.CloseTable(true);
    return n;
  };
  int n = 0;
  for (const std::string table : {"c10lrf", "c20lrf", "c50lrf"}) {
    const long whole = records(model + table);
    int refused = 0;
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE("read " + std::to_string(nth) + " of " + table + " refused");
      const std::string d = root_ + "/lecture-refusee-" + std::to_string(++n) + "/";
      fs::create_directories(d);
      for (const auto& entry : before) ASSERT_TRUE(platform::CopyFile(model + entry.first, d + entry.first));
      SetDossier(d, "LRF");
      SetLogDossier(d, "LRF");
      test_support::RefusedRead::Arm("/" + table + ".dbf", nth);
      const ConversionResult r = ConvertDossier(ConversionRequest{});
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      if (r.ok) {
        EXPECT_EQ(records(d + table), whole);
        EXPECT_EQ(parity(d), "   6.50000");
      } else {
        ++refused;
        EXPECT_TRUE(files(d) == before) << r.error;
        EXPECT_FALSE(HasAsideFolder(d));
      }
      fs::remove_all(d);
      ASSERT_FALSE(HasFailure());
      if (seen < nth) break;
    }
    EXPECT_GE(refused, 1) << table;
  }
}

// A sound dossier of francs only (its lines, journal-month headers, accounts and sections without
// euros) converted: every total the conversion writes is the sum of its converted lines, an
// account's, a journal-month's and a section's alike, and nothing is left for a ReConstruction.
// Converting an account's franc total on its own would leave it a cent or two off its lines.
TEST_F(DossierOpenTest, ConvertedTotalsEqualTheirConvertedLines) {
  DemoOptions options;
  options.folder = root_ + "/totaux-euros";
  options.code = "TEU";
  options.lines = 400;
  options.currency = DossierCurrency::FrancMain;
  options.analyticMode = '1';
  std::string made;
  ASSERT_TRUE(GenerateDemoDossier(options, &made)) << made;
  const std::string d = options.folder + "/";
  {
    DossierInvariants sound(d, "teu");
    ASSERT_TRUE(sound.Check()) << sound.Report();
  }
  {
    const test_support::SetUpPermit permit("dossier en francs");
    Table c40, c50, c10, c20, c30;
    maintenance_test::EachRecord(c40, d + "c40teu", [](Table& t) { t.PutFieldNum(t.FieldPos("DMONTANTE"), 0); });
    maintenance_test::EachRecord(c50, d + "c50teu", [](Table& t) { t.PutFieldNum(t.FieldPos("BMONTANTE"), 0); });
    maintenance_test::EachRecord(c10, d + "c10teu", [](Table& t) {
      if (t.GetField(1)[0] != 'C') return;
      std::string euros = t.GetField(5);
      euros.resize(28, ' ');
      t.PutField(5, (std::string(FormatNumber(14, 2, false, 0)) + FormatNumber(14, 2, false, 0) + euros.substr(28)).c_str());
    });
    maintenance_test::EachRecord(c20, d + "c20teu", [](Table& t) {
      for (const char* f : {"CDEBITE", "CCREDITE", "CDEBNM1E", "CCRENM1E", "CBUDGETE"}) t.PutFieldNum(t.FieldPos(f), 0);
    });
    maintenance_test::EachRecord(c30, d + "c30teu", [](Table& t) {
      for (const char* f : {"ADEBITE", "ACREDITE", "ADEBNM1E", "ACRENM1E", "ABUDGETE"}) t.PutFieldNum(t.FieldPos(f), 0);
    });
  }
  RenameField(d + "c10teu.dbf", 0, "GD19970101");
  const ConversionResult converted = ConvertAtTheEuroRate(d, "TEU");
  ASSERT_TRUE(converted.ok) << converted.error;
  EXPECT_EQ(converted.totalsAdvice, "");
  DossierInvariants check(d, "teu");
  EXPECT_TRUE(check.Check()) << check.Report();
  EXPECT_TRUE(check.WrongTotals().empty());
  // The check compared totals that the conversion wrote: headers, and euros on the accounts and sections.
  EXPECT_GT(check.headers, 0);
  long accounts = 0, sections = 0;
  Table c20, c30;
  maintenance_test::EachRecord(c20, d + "c20teu", [&](Table& t) { accounts += t.GetFieldNum(t.FieldPos("CDEBITE")) != 0; });
  maintenance_test::EachRecord(c30, d + "c30teu", [&](Table& t) { sections += t.GetFieldNum(t.FieldPos("ADEBITE")) != 0; });
  EXPECT_GT(accounts, 10);
  EXPECT_GT(sections, 0);
}
