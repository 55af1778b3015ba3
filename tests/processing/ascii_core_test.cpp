// The ASCII import into the draft without its window: the file's separator, encoding and columns
// (the statutory entries file's names too), the checks of every line with its line number, a file
// of three pieces imported, renamed and logged, the whole file refused for one error, a journal-month
// entered on another station, the same content refused the next time, and a run stopped half-way
// named from its log line.
#include <signal.h>

#include <cctype>
#include <chrono>
#include <climits>
#include <map>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include "ascii_fixture.h"
#include "core_fixture.h"
#include "data/dossier_invariants.h"
#include "data/draft_lines.h"
#include "posting/journal_month.h"
#include "platform/dbase/fileio.h"
#include "platform/system/files.h"
#include "platform/system/write_fault.h"
#include "processing/core/ascii_import.h"
#include "processing/core/bank_pieces.h"
#include "runtime/logfile.h"
#include "support/books_writes.h"
#include "support/other_process.h"
#include "support/refused_read.h"

namespace processing_test {
namespace {

using processing::AsciiRead;

const char* const kHeader = "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n";

std::string ErrorsOf(const AsciiRead& r) {
  std::string all;
  for (const processing::AsciiError& e : r.errors) all += std::to_string(e.line) + ": " + e.text + "\n";
  return all;
}

TEST(AsciiParseTest, SeparatorEncodingAndColumnsAreFoundFromTheFile) {
  struct Case {
    const char* what;
    std::string bytes;
    char separator;
    const char* encoding;
    long lines, pieces;
    long long debit;
  };
  const Case cases[] = {
      {"semicolons, Windows-1252 accents, thousands blanks",
       "Journal;Date;Piece;Compte;Libell\xE9;D\xE9" "bit;Cr\xE9" "dit\n"
       "OD;14/03/2026;A1;51200000;Ch\xE8que;1 234,50;\nOD;14/03/2026;A1;70600000;Ch\xE8que;;1234.5\n",
       ';', "Windows-1252", 2, 1, 123450},
      {"tabs, UTF-8 with its mark, Montant and Sens, short years",
       "\xEF\xBB\xBFJournal\tDate\tPiece\tCompte\tMontant\tSens\n"
       "BQ\t01/04/26\t7\t51200000\t10\tD\nBQ\t01/04/26\t7\t70600000\t10,00\tC\n",
       '\t', "UTF-8 (BOM)", 2, 1, 1000},
      {"bars, UTF-8 without its mark, the statutory file's columns and dates",
       "JournalCode|JournalLib|EcritureNum|EcritureDate|CompteNum|CompteLib|CompAuxNum|CompAuxLib|PieceRef|"
       "PieceDate|EcritureLib|Debit|Credit|EcritureLet|DateLet|ValidDate|Montantdevise|Idevise\n"
       "VE|Ventes|12|20260301|70600000|x|||F1|20260301|Caf\xC3\xA9|0,00|5,00|||||\n"
       "VE|Ventes|12|20260301|51200000|x|||F1|20260301|Caf\xC3\xA9|5,00|0,00|||||EUR\n",
       '|', "UTF-8", 2, 1, 500},
  };
  for (const Case& c : cases) {
    const AsciiRead r = processing::ParseAsciiText(c.bytes);
    EXPECT_TRUE(r.errors.empty()) << c.what << "\n" << ErrorsOf(r);
    EXPECT_EQ(r.separator, c.separator) << c.what;
    EXPECT_EQ(r.encoding, c.encoding) << c.what;
    EXPECT_EQ(r.lines, c.lines) << c.what;
    EXPECT_EQ(static_cast<long>(r.pieces.size()), c.pieces) << c.what;
    EXPECT_EQ(r.debit, c.debit) << c.what;
    EXPECT_EQ(r.credit, c.debit) << c.what;
  }
  // The accent read from UTF-8 is kept in Windows-1252.
  EXPECT_EQ(processing::ParseAsciiText(cases[2].bytes).pieces[0].lines[0].label, "Caf\xE9");
  // The period runs from the earliest date to the latest, whatever their order in the file; the
  // largest amount a line holds is read to the cent.
  const AsciiRead period = processing::ParseAsciiText(
      "Journal;Date;Piece;Compte;Debit;Credit\n"
      "OD;10/05/2026;1;51200000;99 999 999 999,99;\nOD;10/05/2026;1;70600000;;99999999999,99\n"
      "OD;20260102;2;51200000;1;\nOD;20260102;2;70600000;;1\n"
      "OD;31/12/26;3;51200000;1;\nOD;31/12/26;3;70600000;;1\n");
  ASSERT_TRUE(period.errors.empty()) << ErrorsOf(period);
  EXPECT_EQ(period.firstDate, "20260102");
  EXPECT_EQ(period.lastDate, "20261231");
  EXPECT_EQ(period.debit, 9999999999999LL + 200);
  EXPECT_EQ(period.pieces.at(0).lines.at(1).cents, 9999999999999LL);
}

// A piece is its journal and its reference: lines of pieces interleaved join their own piece,
// one reference in two journals makes two pieces, references that begin alike stay apart, and
// thousands of pieces (met again out of order) each keep their lines in the file's order.
TEST(AsciiParseTest, LinesJoinThePieceOfTheirJournalAndReference) {
  std::string text = "Journal;Date;Piece;Compte;Libelle;Debit;Credit\n";
  // Pieces k = 0..2999: journal OD or BQ by k's parity, reference "k" (so "1", "10", "100"...),
  // each of two lines written in two rounds: every first line, then every second line backwards.
  constexpr int kPieces = 3000;
  auto journalOf = [](int k) { return k % 2 ? "BQ" : "OD"; };
  for (int k = 0; k < kPieces; ++k)
    text += std::string(journalOf(k)) + ";14/03/2026;" + std::to_string(k / 2) + ";51200000;first " +
            std::to_string(k) + ";" + std::to_string(k + 1) + ";\n";
  for (int k = kPieces - 1; k >= 0; --k)
    text += std::string(journalOf(k)) + ";14/03/2026;" + std::to_string(k / 2) + ";70600000;second " +
            std::to_string(k) + ";;" + std::to_string(k + 1) + "\n";
  const AsciiRead r = processing::ParseAsciiText(text);
  ASSERT_TRUE(r.errors.empty()) << ErrorsOf(r);
  ASSERT_EQ(r.pieces.size(), static_cast<std::size_t>(kPieces));
  ASSERT_EQ(r.pieceLines.size(), r.pieces.size());
  for (int k = 0; k < kPieces; ++k) {
    SCOPED_TRACE(k);
    const processing::ImportedPiece& p = r.pieces[static_cast<std::size_t>(k)];
    EXPECT_EQ(p.journal, journalOf(k));
    EXPECT_EQ(r.pieceLines[static_cast<std::size_t>(k)], k + 2) << "the file line of its first entry";
    ASSERT_EQ(p.lines.size(), 2u);
    EXPECT_EQ(p.lines[0].label, "first " + std::to_string(k));
    EXPECT_EQ(p.lines[1].label, "second " + std::to_string(k));
    EXPECT_EQ(p.lines[1].sourceLine, 2 * kPieces + 1 - k);
  }
}

// The bytes Windows-1252 leaves undefined, and bytes that break the UTF-8 of a file with its byte
// order mark, are read as "?" (they were stored as they came).
TEST(AsciiParseTest, BytesThatAreNoCharacterBecomeQuestionMarks) {
  const std::string header = "Journal;Date;Piece;Compte;Libelle;Debit;Credit\n";
  const std::string second = "OD;14/03/2026;A1;70600000;x;;5\n";
  const AsciiRead cp1252 = processing::ParseAsciiText(header + "OD;14/03/2026;A1;51200000;Caf\xE9 \x81\x8D\x8F\x90\x9D;5;\n" + second);
  ASSERT_TRUE(cp1252.errors.empty()) << ErrorsOf(cp1252);
  EXPECT_EQ(cp1252.encoding, "Windows-1252");
  EXPECT_EQ(cp1252.pieces.at(0).lines.at(0).label, "Caf\xE9 ?????");
  const AsciiRead marked = processing::ParseAsciiText("\xEF\xBB\xBF" + header + "OD;14/03/2026;A1;51200000;Caf\xE9;5;\n" + second);
  ASSERT_TRUE(marked.errors.empty()) << ErrorsOf(marked);
  EXPECT_EQ(marked.pieces.at(0).lines.at(0).label, "Caf?");
}

TEST(AsciiParseTest, EveryFaultyLineIsNamedByItsNumber) {
  struct Case {
    const char* what;
    std::string body;  // lines after the column line (line 2 on)
    long line;
    const char* text;
  };
  const Case cases[] = {
      {"a third decimal", "OD;01/03/2026;1;51200000;0;x;1,234;\n", 2, "Plus de deux d\xE9" "cimales"},
      {"both sides", "OD;01/03/2026;1;51200000;0;x;1;1\n", 2, "Un D\xE9" "bit et un Cr\xE9" "dit"},
      {"no amount", "OD;01/03/2026;1;51200000;0;x;;\n", 2, "Ni D\xE9" "bit ni Cr\xE9" "dit"},
      {"a sign", "OD;01/03/2026;1;51200000;0;x;-5;\n", 2, "Montant sign\xE9"},
      {"two separators", "OD;01/03/2026;1;51200000;0;x;1.234,56;\n", 2, "Montant incorrect"},
      {"fourteen digits", "OD;01/03/2026;1;51200000;0;x;;123 456 789 012,34\n", 2, "Montant incorrect"},
      {"twenty digits", "OD;01/03/2026;1;51200000;0;x;99999999999999999999;\n", 2, "Montant incorrect"},
      {"a letter in an amount", "OD;01/03/2026;1;51200000;0;x;12a;\n", 2, "Montant incorrect"},
      {"a bad date", "OD;31/02/2026;1;51200000;0;x;5;\n", 2, "Date incorrecte"},
      {"a blank account", "OD;01/03/2026;1;;0;x;5;\n", 2, "Compte vide"},
      {"an unbalanced piece on its first line",
       "OD;01/03/2026;1;51200000;0;x;5;\nOD;01/03/2026;2;51200000;0;x;5;\nOD;01/03/2026;2;70600000;0;x;;4,99\n", 3,
       "n'est pas \xE9quilibr\xE9" "e"},
      {"a piece over two dates", "OD;01/03/2026;1;51200000;0;x;5;\nOD;02/03/2026;1;70600000;0;x;;5\n", 3,
       "plusieurs dates"},
  };
  for (const Case& c : cases) {
    const AsciiRead r = processing::ParseAsciiText(kHeader + c.body);
    bool found = false;
    for (const processing::AsciiError& e : r.errors) found = found || (e.line == c.line && e.text.find(c.text) != std::string::npos);
    EXPECT_TRUE(found) << c.what << "\n" << ErrorsOf(r);
  }
  EXPECT_EQ(processing::ParseAsciiText("Journal Date Piece\n").errors.at(0).line, 1) << "no separator";
  EXPECT_FALSE(processing::ParseAsciiText("Journal;Date;Compte;Debit;Credit\n").errors.empty()) << "no Piece column";
}

class AsciiImportTest : public CoreTest {
 protected:
  std::string File(const std::string& name, const std::string& body) {
    const std::string path = Dir() + "/" + name;
    std::ofstream(path, std::ios::binary) << kHeader << body;
    return path;
  }
  AsciiRead Read(const std::string& path) { return processing::ReadAsciiFile(*TableC10, *TableC20, c50, path); }
  long Records() { return static_cast<long>(c50.RecCount()); }
  static std::string ThreePieces() {
    return "OD;14/03/2026;F1;51200000;1;Vente comptoir;120,00;\r\n"
           "OD;14/03/2026;F1;70600000;1;Vente comptoir;;100,00\r\n"
           "OD;14/03/2026;F1;70700000;1;Vente comptoir;;20,00\r\n"
           "BQ;02/04/2026;R1;62700000;0;Frais;12,5;\r\n"
           "BQ;02/04/2026;R1;51200000;0;Frais;;12,5\r\n"
           "OD;30/06/2026;X;60700000;0;Achat;1 000;\r\n"
           "OD;30/06/2026;X;51200000;0;Achat;;1 000\r\n";
  }
  std::string LogText() {
    std::string text;
    platform::ReadWholeFile(LogPath(), text);
    return text;
  }
  // The import run in another process, which kills itself at its first file change once a whole batch of lines
  // and one more are in the draft's file: the first batch is counted in the table's header by then, and the
  // run is far from its end.
  void ImportKilledAfterTheFirstBatch(const AsciiRead& read) {
    static std::string grownFile;
    static std::int64_t grownPast = 0;
    const std::string c50File = platform::ResolvePath(std::string(PathC50()) + ".dbf");
    const std::int64_t size = platform::FileSize(c50File);
    std::signal(SIGPIPE, SIG_IGN);
    // The other process works through files it opens itself: locks taken through the descriptions it
    // inherited would stay with this process once it is killed.
    test_support::OtherProcess other([&](char) {
      TableC10->CloseTable();
      TableC20->CloseTable();
      Table lines, sorts;
      if (!TableC10->OpenShared(PathC10(), "C10CODE") || !TableC20->OpenShared(PathC20(), "C20CODE") ||
          !lines.OpenShared(PathC50(), L::kCodeTag) || !sorts.OpenShared(PathC60(), processing::kC60CodeTag))
        return false;
      grownFile = c50File;
      grownPast = size + static_cast<std::int64_t>((kDraftBatchLines + 1) * lines.recordBuffer.size());
      dbase::BeforeFileChange = [] {
        if (platform::FileSize(grownFile) >= grownPast) ::raise(SIGKILL);
      };
      return processing::ImportAsciiFile(*TableC10, lines, sorts, read).written;
    });
    EXPECT_FALSE(other.Do('i')) << "the run was to be killed half-way";
  }
};

TEST_F(AsciiImportTest, AFileOfThreePiecesIsImportedRenamedAndLoggedOnce) {
  SetLogDossier(Dir() + "/lt/", "LT");
  const std::string path = File("ventes.txt", ThreePieces());
  const long before = Records();
  const AsciiRead read = Read(path);
  ASSERT_TRUE(read.Importable()) << ErrorsOf(read);
  EXPECT_EQ(read.firstDate, "20260314");
  EXPECT_EQ(read.lastDate, "20260630");
  EXPECT_EQ(read.debit, 113250);
  const processing::AsciiRun run = processing::ImportAsciiFile(*TableC10, c50, c60, read);
  ASSERT_TRUE(run.written) << run.message;
  EXPECT_EQ(Records(), before + 7);
  EXPECT_EQ(run.pieces.numbers.size(), 3u);
  EXPECT_FALSE(platform::FileExists(path));
  ASSERT_FALSE(run.renamedTo.empty());
  EXPECT_TRUE(platform::FileExists(run.renamedTo));
  EXPECT_EQ(run.renamedTo.rfind(Dir() + "/ventes_2", 0), 0u) << run.renamedTo;
  EXPECT_NE(LogText().find("AJOUT ASCII AU BROUILLARD - Ok - " + path + " - 7 lignes - 3 pi\xE8" "ces n\xB0 "),
            std::string::npos)
      << LogText();
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
  // The same content under another name is recognised and refused.
  ASSERT_TRUE(platform::CopyFile(run.renamedTo, Dir() + "/copie.txt"));
  const AsciiRead again = Read(Dir() + "/copie.txt");
  EXPECT_FALSE(again.Importable());
  EXPECT_FALSE(again.importedBefore.empty());
  EXPECT_FALSE(processing::ImportAsciiFile(*TableC10, c50, c60, again).written);
  EXPECT_EQ(Records(), before + 7);
}

// A file read against the dossier while the disk refuses one read of the general file, its index or the
// chart (each read in turn, EIO once): the file is importable, or refused for that read alone, said once
// with the file; never a journal, account or code called unknown, nor a check that passes, for a read that
// went short. The writer's own check of the pieces read whole says the same.
TEST_F(AsciiImportTest, ARefusedReadOfTheDossierIsNoUnknownJournalAccountOrCode) {
  SetLogDossier(Dir() + "/lt/", "LT");
  const std::string path = File("ventes.txt", ThreePieces());
  const AsciiRead whole = Read(path);
  ASSERT_TRUE(whole.Importable()) << ErrorsOf(whole);
  auto fileOf = [](const std::string& base, const char* extension) {
    return "/" + std::filesystem::path(platform::ResolvePath(base + extension)).filename().string();
  };
  const std::string files[] = {fileOf(PathC10(), ".dbf"), fileOf(PathC10(), ".mdx"), fileOf(PathC20(), ".dbf")};
  for (const std::string& file : files) {
    long refused = 0, checkRefused = 0;
    for (int nth = 1; nth <= 200; ++nth) {
      SCOPED_TRACE(file + ", read " + std::to_string(nth) + " refused");
      test_support::RefusedRead::Arm(file, nth);
      const AsciiRead read = Read(path);
      int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      if (!read.Importable()) {
        ++refused;
        ASSERT_EQ(read.errors.size(), 1u) << ErrorsOf(read);
        EXPECT_EQ(read.errors[0].line, 0) << ErrorsOf(read);
        EXPECT_EQ(read.errors[0].text.find('\n'), std::string::npos) << "one row of the list: " << ErrorsOf(read);
        const std::string said = "Une lecture a \xE9t\xE9 refus\xE9" "e : erreur de lecture sur le disque";
        EXPECT_EQ(read.errors[0].text.rfind(said, 0), 0u) << ErrorsOf(read);
        EXPECT_NE(read.errors[0].text.find(file.substr(1)), std::string::npos) << ErrorsOf(read);
      }
      // The check alone of the pieces read whole.
      test_support::RefusedRead::Arm(file, nth);
      const processing::PiecesReport check = processing::CheckImportedPieces(*TableC10, c50, whole.pieces);
      seen = std::max(seen, test_support::RefusedRead::Seen());
      test_support::RefusedRead::Disarm();
      if (check.outcome != processing::PiecesOutcome::Written) {
        ++checkRefused;
        EXPECT_EQ(check.outcome, processing::PiecesOutcome::Failed) << check.message;
        EXPECT_NE(check.message.find("Une lecture a \xE9t\xE9 refus\xE9" "e"), std::string::npos) << check.message;
      }
      ASSERT_FALSE(HasFailure());
      if (seen < nth) break;
    }
    if (file == files[0]) {
      EXPECT_GE(refused, 1) << file;
      EXPECT_GE(checkRefused, 1) << file;
    }
  }
}

TEST_F(AsciiImportTest, OneFaultRefusesTheWholeFileWithItsLineNumbers) {
  SetLogDossier(Dir() + "/lt/", "LT");
  struct Case {
    const char* what;
    std::string last;  // a piece added after the three good ones, lines 9 and 10
    long line;
    const char* text;
  };
  const Case cases[] = {
      {"an unbalanced piece", "OD;01/05/2026;Z;60700000;0;x;10;\r\nOD;01/05/2026;Z;51200000;0;x;;9\r\n", 9,
       "n'est pas \xE9quilibr\xE9" "e"},
      {"an unknown account", "OD;01/05/2026;Z;51200000;0;x;10;\r\nOD;01/05/2026;Z;60799999;0;x;;10\r\n", 10,
       "inconnu"},
      {"a date outside the year", "OD;01/01/2027;Z;60700000;0;x;10;\r\nOD;01/01/2027;Z;51200000;0;x;;10\r\n", 9,
       "hors de l'exercice"},
      {"an unknown journal", "QQ;01/05/2026;Z;60700000;0;x;10;\r\nQQ;01/05/2026;Z;51200000;0;x;;10\r\n", 9,
       "Journal inconnu"},
      {"an unknown label code", "OD;01/05/2026;Z;60700000;9;x;10;\r\nOD;01/05/2026;Z;51200000;0;x;;10\r\n", 9,
       "Code libell\xE9 inconnu"},
      // Cut to its first 8 digits, it was imported on another account.
      {"an account of 19 digits", "OD;01/05/2026;Z;6070000000000000000;0;x;10;\r\nOD;01/05/2026;Z;51200000;0;x;;10\r\n",
       9, "Compte trop long : 6070000000000000000 (8 caract\xE8res au plus)"},
      // It cut the label where it stood.
      {"a NUL byte in a label",
       std::string("OD;01/05/2026;Z;60700000;0;Caf") + '\0' + "e;10;\r\nOD;01/05/2026;Z;51200000;0;x;;10\r\n", 9,
       "Caract\xE8re de contr\xF4le (code 0)"},
      // The writer failed on it half-way: a piece number taken, a blank record left in the draft.
      {"an amount no draft line holds",
       "OD;01/05/2026;Z;60700000;0;x;99999999999,99;\r\nOD;01/05/2026;Z;51200000;0;x;;99999999999,99\r\n", 9,
       "Montant trop grand pour une ligne du brouillard : 99 999 999 999,99"},
      // Its own field holds it, not its francs: refused naming the largest amount a line takes in euros.
      {"an amount whose francs no draft line holds",
       "OD;01/05/2026;Z;60700000;0;x;16000000000,00;\r\nOD;01/05/2026;Z;51200000;0;x;;16000000000,00\r\n", 9,
       "Montant trop grand pour une ligne du brouillard : 16 000 000 000,00 (une ligne prend au plus 15 244 901 723,74 "
       "euros, pour que sa contre-valeur en francs tienne aussi)"},
  };
  for (const Case& c : cases) {
    const std::string path = File("faux.txt", ThreePieces() + c.last);
    const long before = Records();
    const AsciiRead read = Read(path);
    ASSERT_FALSE(read.Importable()) << c.what;
    bool found = false;
    for (const processing::AsciiError& e : read.errors) found = found || (e.line == c.line && e.text.find(c.text) != std::string::npos);
    EXPECT_TRUE(found) << c.what << "\n" << ErrorsOf(read);
    const processing::AsciiRun run = processing::ImportAsciiFile(*TableC10, c50, c60, read);
    EXPECT_FALSE(run.written) << c.what;
    EXPECT_EQ(Records(), before) << c.what;
    EXPECT_TRUE(platform::FileExists(path)) << c.what << ": the file keeps its name";
    ASSERT_TRUE(processing::WriteAsciiErrors(read));
    std::string errors;
    ASSERT_TRUE(platform::ReadWholeFile(Dir() + "/faux_erreurs.txt", errors));
    EXPECT_NE(errors.find("Ligne " + std::to_string(c.line) + " : "), std::string::npos) << errors;
    EXPECT_NE(LogText().find("AJOUT ASCII AU BROUILLARD - Erreur: "), std::string::npos);
  }
}

TEST_F(AsciiImportTest, AJournalMonthInEntryElsewhereRefusesWithTheEntryNotice) {
  const std::string c10 = PathC10();
  ASSERT_NE(posting::EnsureDraftHeader(*TableC10, posting::CleJournalMois("C604", "BQ")),
            posting::HeaderCreation::Failed);
  test_support::OtherProcess other([c10](char) {
    static Table t;
    if (!t.isOpen) t.OpenShared(c10, "C10CODE");
    return posting::FindHeader(t, posting::CleJournalMois("C604", "BQ"), posting::kDraftSource).IsFound() &&
           LockRecord(t, nullptr, 0);
  });
  ASSERT_TRUE(other.Do('l'));
  const std::string path = File("banque.txt", ThreePieces());
  const long before = Records();
  const AsciiRead read = Read(path);
  ASSERT_TRUE(read.Importable()) << ErrorsOf(read);
  const processing::AsciiRun run = processing::ImportAsciiFile(*TableC10, c50, c60, read);
  EXPECT_FALSE(run.written);
  EXPECT_NE(run.message.find("Journal d\xE9j\xE0 en cours de Saisie sur un autre poste"), std::string::npos);
  EXPECT_EQ(Records(), before);
  EXPECT_TRUE(platform::FileExists(path));
}

TEST_F(AsciiImportTest, ARunStoppedHalfWayIsNamedOnceWithItsFirstPiece) {
  SetLogDossier(Dir() + "/lt/", "LT");
  const std::string path = File("arret.txt", ThreePieces());
  const AsciiRead first = Read(path);
  // The run began (its numbers taken and its start logged) and was stopped before its end line.
  WriteLog(std::string("AJOUT ASCII AU BROUILLARD - D\xE9" "but - ") + path + " - OD pi\xE8" "ce 4711 - empreinte " +
           first.digest);
  const AsciiRead named = Read(path);
  EXPECT_NE(named.stoppedRun.find("pi\xE8" "ce 4711"), std::string::npos) << named.stoppedRun;
  EXPECT_TRUE(named.importedBefore.empty()) << "a stopped run is not an import";
  ASSERT_TRUE(processing::ImportAsciiFile(*TableC10, c50, c60, named).written);
  EXPECT_NE(LogText().find("AJOUT ASCII AU BROUILLARD - Interrompu - "), std::string::npos);
  const AsciiRead after =
      Read(File("arret_autre.txt", "OD;01/05/2026;Z;60700000;0;x;10;\r\nOD;01/05/2026;Z;51200000;0;x;;10\r\n"));
  EXPECT_TRUE(after.stoppedRun.empty()) << "named once";
}

TEST_F(AsciiImportTest, ARunKilledHalfWayIsNamedAtTheNextImportWithItsFirstPiece) {
  SetLogDossier(Dir() + "/lt/", "LT");
  AsciiFixtureOptions options;
  options.lines = 20000;
  const std::string path = Dir() + "/gros.txt";
  std::ofstream(path, std::ios::binary) << MakeAsciiFixture(options);
  const AsciiRead read = Read(path);
  ASSERT_TRUE(read.Importable()) << ErrorsOf(read);
  const long before = Records();
  ImportKilledAfterTheFirstBatch(read);
  auto written = [&] {
    Table probe;
    return probe.OpenShared(PathC50(), "", true) ? static_cast<long>(probe.RecCount()) - before : -1;
  };
  const long half = written();
  ASSERT_GT(half, 0);
  ASSERT_LT(half, 20000) << "the run was stopped before its end";
  EXPECT_TRUE(platform::FileExists(path)) << "a stopped run leaves the file under its name";
  const AsciiRead again = Read(path);
  EXPECT_TRUE(again.importedBefore.empty());
  EXPECT_NE(again.stoppedRun.find("gros.txt - BQ pi\xE8" "ce "), std::string::npos) << again.stoppedRun;
}

// The import killed at writes spread over its run, each time with a file of its own: the next
// import of that file names the stopped run and writes only what the draft lacks, so that each
// piece is in the draft once whole; a piece cut between its lines is written again whole and
// named, for the user to remove what was cut.
TEST_F(AsciiImportTest, AnImportKilledAtAnyWriteIsResumedWithoutWritingAPieceTwice) {
  SetLogDossier(Dir() + "/lt/", "LT");
  // The three pieces of ThreePieces under labels of their own: piece label -> its lines.
  auto body = [](int k) {
    const std::string f = "K" + std::to_string(k) + "F1", r = "K" + std::to_string(k) + "R1",
                      x = "K" + std::to_string(k) + "X";
    return "OD;14/03/2026;F1;51200000;1;" + f + ";120,00;\r\nOD;14/03/2026;F1;70600000;1;" + f +
           ";;100,00\r\nOD;14/03/2026;F1;70700000;1;" + f + ";;20,00\r\nBQ;02/04/2026;R1;62700000;0;" + r +
           ";12,5;\r\nBQ;02/04/2026;R1;51200000;0;" + r + ";;12,5\r\nOD;30/06/2026;X;60700000;0;" + x +
           ";1 000;\r\nOD;30/06/2026;X;51200000;0;" + x + ";;1 000\r\n";
  };
  const std::map<std::string, int> sizes = {{"F1", 3}, {"R1", 2}, {"X", 2}};
  // The import of `read` in a child killed before its nth write.
  auto importKilled = [&](const AsciiRead& read, long nth, long* writes) {
    return test_support::RunKilledAtWrite(
        nth,
        [&] {
          // The child's own tables: the descriptions it inherited keep this process's locks.
          TableC10->CloseTable();
          TableC20->CloseTable();
          Table lines, sorts;
          return TableC10->OpenShared(PathC10(), "C10CODE") && TableC20->OpenShared(PathC20(), "C20CODE") &&
                 lines.OpenShared(PathC50(), L::kCodeTag) && sorts.OpenShared(PathC60(), processing::kC60CodeTag) &&
                 processing::ImportAsciiFile(*TableC10, lines, sorts, read).written;
        },
        writes);
  };
  long writes = 0;
  ASSERT_EQ(importKilled(Read(File("k0.txt", body(0))), LONG_MAX, &writes), 0);
  ASSERT_GT(writes, 10);
  for (long nth = 1, k = 1; nth <= writes; nth += std::max(1L, writes / 12), ++k) {
    SCOPED_TRACE("killed before write " + std::to_string(nth) + " of " + std::to_string(writes));
    const std::string path = File("k" + std::to_string(k) + ".txt", body(static_cast<int>(k)));
    if (importKilled(Read(path), nth, nullptr) != 128 + SIGKILL) continue;
    // Opened again, as the window opens them for a run.
    ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
    ASSERT_TRUE(c60.OpenShared(PathC60(), processing::kC60CodeTag));
    // Killed once its end line was logged and its file renamed: nothing is left to import.
    const bool ended = !platform::FileExists(path);
    const AsciiRead again = ended ? AsciiRead{} : Read(path);
    std::string message;
    if (ended) {
      EXPECT_NE(LogText().find(" - Ok - " + path), std::string::npos) << LogText();
    } else if (!again.stoppedRun.empty()) {
      EXPECT_NE(again.stoppedRun.find("empreinte " + again.digest), std::string::npos) << again.stoppedRun;
      const processing::AsciiRun run = processing::ImportAsciiFile(*TableC10, c50, c60, again);
      ASSERT_TRUE(run.written) << run.message;
      message = run.message;
    } else {
      // Stopped before its first line: imported whole now.
      ASSERT_TRUE(again.Importable()) << ErrorsOf(again);
      ASSERT_TRUE(processing::ImportAsciiFile(*TableC10, c50, c60, again).written);
    }
    // The file's lines in the draft, by piece label and number.
    std::map<std::string, std::map<std::string, int>> groups;
    Table probe;
    ASSERT_TRUE(probe.OpenShared(PathC50(), "", true));
    const std::string prefix = "K" + std::to_string(k);
    for (bool on = probe.GoTop() && probe.SkipActive(false); on; on = probe.SkipActive(true)) {
      const std::string label = std::string(RTrim(probe.GetField(L::BLIB)));
      if (label.rfind(prefix, 0) == 0 && label.size() > prefix.size() && !std::isdigit(label[prefix.size()]))
        ++groups[label.substr(prefix.size())][std::string(RTrim(probe.GetField(L::BJAL))) + " " + RTrim(probe.GetField(L::BPIECE))];
    }
    // Each piece once and whole: the lines of a piece cut short were cancelled (the message says
    // so), and the totals are those of the lines.
    for (const auto& [piece, lines] : sizes) {
      ASSERT_EQ(groups[piece].size(), 1u) << piece << "\n" << message;
      EXPECT_EQ(groups[piece].begin()->second, lines) << piece << "\n" << message;
    }
    EXPECT_EQ(message.find("qu'en partie") == std::string::npos ||
                  message.find("ont \xE9t\xE9 annul\xE9" "es dans le brouillard") != std::string::npos,
              true)
        << message;
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << check.Report();
    if (!ended) EXPECT_FALSE(platform::FileExists(processing::AsciiRunPiecesPath()));
  }
}

// A run killed half-way whose resume the writer refuses (the draft full) keeps the record of its
// pieces: the next import of the file, with room, still writes only what the draft lacks, so that
// the file's lines are in the draft once.
TEST_F(AsciiImportTest, AResumeTheWriterRefusesKeepsTheStoppedRunsPieces) {
  SetLogDossier(Dir() + "/lt/", "LT");
  AsciiFixtureOptions options;
  options.lines = 20000;
  const std::string path = Dir() + "/reprise.txt";
  std::ofstream(path, std::ios::binary) << MakeAsciiFixture(options);
  const AsciiRead read = Read(path);
  ASSERT_TRUE(read.Importable()) << ErrorsOf(read);
  long fileLines = 0;
  for (const auto& p : read.pieces) fileLines += static_cast<long>(p.lines.size());
  auto live = [] {
    Table probe;
    long n = 0;
    if (!probe.OpenShared(PathC50(), "", true)) return -1L;
    for (bool on = probe.GoTop() && probe.SkipActive(false); on; on = probe.SkipActive(true)) ++n;
    return n;
  };
  const long before = live();
  ImportKilledAfterTheFirstBatch(read);
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
  ASSERT_TRUE(c60.OpenShared(PathC60(), processing::kC60CodeTag));
  const long half = live() - before;
  ASSERT_GT(half, 0);
  ASSERT_LT(half, fileLines) << "the run was stopped before its end";

  // The resume refused before any write: the draft has no room.
  const AsciiRead again = Read(path);
  ASSERT_NE(again.stoppedRun.find("empreinte " + again.digest), std::string::npos) << again.stoppedRun;
  const processing::AsciiRun refused =
      processing::ImportAsciiFile(*TableC10, c50, c60, again, static_cast<long>(c50.RecCount()));
  ASSERT_FALSE(refused.written) << refused.message;
  EXPECT_TRUE(platform::FileExists(processing::AsciiRunPiecesPath())) << "the stopped run's record stays";

  // With room, the file goes in once: the draft holds each of its lines once.
  const processing::AsciiRun run = processing::ImportAsciiFile(*TableC10, c50, c60, Read(path));
  ASSERT_TRUE(run.written) << run.message;
  EXPECT_EQ(live() - before, fileLines) << run.message;
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
  EXPECT_FALSE(platform::FileExists(processing::AsciiRunPiecesPath()));
}

// The first change of `what` ("unlink", "write") on a file whose name holds `file` refused once.
std::string g_refusedWhat, g_refusedFile;
void RefuseFirstChangeOfFile() {
  const std::string& change = platform::ChangeBeingMade();
  if (g_refusedFile.empty() || change.rfind(g_refusedWhat + " ", 0) != 0 || change.find(g_refusedFile) == std::string::npos)
    return;
  g_refusedFile.clear();
  platform::SetWriteFault(platform::WriteFault::kFailOnce, 1);
}

// A run's totals journal whose removal is refused at its end is said, and removed by the next
// import before it writes: its sections, read when that import is stopped and taken up, would
// cover the pieces that take the same numbers again (once a renumbering has given the run's
// pieces others and set the journal's counter back) and their totals would never be written.
TEST_F(AsciiImportTest, ARunFileLeftByAnEndedRunIsSaidAndNeverReadAsTheNextRuns) {
  SetLogDossier(Dir() + "/lt/", "LT");
  auto counterFrom = [](const char* next) {
    ASSERT_TRUE(posting::FindJournal(*TableC10, "OD").IsFound());
    ASSERT_TRUE(LockRecord(*TableC10, nullptr, 0));
    ASSERT_TRUE(TableC10->PutFieldPart(4, 19, 6, next));
    UnlockRecord(*TableC10);
    ASSERT_TRUE(TableC10->Commit());
  };
  auto refuseOnce = [](const char* what) {
    g_refusedWhat = what;
    g_refusedFile = std::filesystem::path(processing::AsciiRunTotalsPath()).filename().string();
    platform::BeforeFileChange = RefuseFirstChangeOfFile;
  };
  auto watchEnds = [] {
    platform::BeforeFileChange = nullptr;
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
  };
  counterFrom("000500");
  refuseOnce("unlink");
  const processing::AsciiRun first = processing::ImportAsciiFile(
      *TableC10, c50, c60,
      Read(File("mars.txt", "OD;14/03/2026;A;51200000;1;Vente;50,00;\r\nOD;14/03/2026;A;70600000;1;Vente;;50,00\r\n"
                            "OD;30/06/2026;B;51200000;1;Vente;70,00;\r\nOD;30/06/2026;B;70600000;1;Vente;;70,00\r\n")));
  watchEnds();
  ASSERT_TRUE(first.written) << first.message;
  EXPECT_EQ(first.pieces.numbers, (std::vector<long>{500, 501}));
  EXPECT_NE(first.message.find(processing::AsciiRunTotalsPath() + " de cette importation termin\xE9" "e n'a pas pu"),
            std::string::npos)
      << first.message;
  ASSERT_TRUE(platform::FileExists(processing::AsciiRunTotalsPath()));

  // Renumbered: the pieces take 300 and 301, the counter 500 again.
  test_support::SetUpWrites renumbering("pieces renumerotees");
  for (const auto& [month, from, to] : {std::tuple{"C603", 500L, "300"}, std::tuple{"C606", 501L, "301"}})
    for (const std::uint32_t recno : processing::DraftPieceRecords(c50, month, "OD", from)) {
      ASSERT_TRUE(c50.GoTo(recno) && LockRecord(c50, nullptr, 0) && c50.PutField(L::BPIECE, to));
      UnlockRecord(c50);
      ASSERT_TRUE(T::Find(c60, T::kDraft, recno) && LockRecord(c60, nullptr, 0) && c60.PutField(T::TPIECE, to));
      UnlockRecord(c60);
    }
  renumbering.End();
  counterFrom("000500");
  DossierInvariants renumbered;
  ASSERT_TRUE(renumbered.Check()) << renumbered.Report();

  // Another file's pieces take the same numbers; its totals journal refused once, it stops with
  // its lines written, then is taken up by the same file imported again.
  const std::string second =
      File("juin.txt", "OD;15/03/2026;C;60700000;0;Achat;30,00;\r\nOD;15/03/2026;C;51200000;0;Achat;;30,00\r\n"
                       "OD;20/06/2026;D;60700000;0;Achat;40,00;\r\nOD;20/06/2026;D;51200000;0;Achat;;40,00\r\n");
  refuseOnce("write");
  const processing::AsciiRun stopped = processing::ImportAsciiFile(*TableC10, c50, c60, Read(second));
  watchEnds();
  ASSERT_FALSE(stopped.written) << stopped.message;
  EXPECT_EQ(stopped.pieces.numbers, (std::vector<long>{500, 501}));
  const processing::AsciiRun resumed = processing::ImportAsciiFile(*TableC10, c50, c60, Read(second));
  ASSERT_TRUE(resumed.written) << resumed.message;
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
  EXPECT_FALSE(platform::FileExists(processing::AsciiRunTotalsPath()));
}

// After a restore the log is made to say of a file what the backup's log says, whatever the two
// logs hold: the file is then imported before, stopped half-way or neither as in the backup's,
// and the restore's lines, read again, leave nothing more to add.
TEST_F(AsciiImportTest, ARestoreMakesTheLogSayOfEachFileWhatTheBackupsLogSays) {
  SetLogDossier(Dir() + "/lt/", "LT");
  const std::string path = File("restaure.txt", ThreePieces());
  const std::string digest = Read(path).digest, mark = " - empreinte " + digest;
  const std::string title = "AJOUT ASCII AU BROUILLARD - ";
  const std::string ok = title + "Ok - " + path + " - 7 lignes - 3 pi\xE8" "ces n\xB0 4-6" + mark;
  const std::string begun = title + "D\xE9" "but - " + path + " - OD pi\xE8" "ce 4" + mark;
  const std::string refused = title + "Erreur: 1 erreur - " + path + mark;
  const std::string stoppedEnd = title + "Interrompu - " + path + " - OD pi\xE8" "ce 4" + mark;
  const std::string other = title + "Ok - autre.txt - 2 lignes - 1 pi\xE8" "ces n\xB0 9 - empreinte 0123456789abcdef";
  // A log's text from its lines, as WriteLog writes them.
  const auto log = [](const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "12/05/26-10h00m00s> 1 - " + line + "\r\n";
    return text;
  };
  const std::string cancelledAfterOk = log({ok}) + log(processing::AsciiLogAfterRestore("", log({ok})).lines);
  struct Case {
    const char* what;
    std::string backup, now;
    bool imported, stopped;   // what the log then says of the file
    std::size_t notHeld, held, resumed;  // the files the end message names
  };
  const Case cases[] = {
      {"imported after the backup", log({other}), log({other, ok}), false, false, 1, 0, 0},
      {"imported before the backup, refused since", log({ok}), log({ok, refused}), true, false, 0, 0, 0},
      {"imported in the backup, taken out by an earlier restore", log({ok}), cancelledAfterOk, true, false, 0, 1, 0},
      {"stopped after the backup", "", log({begun}), false, false, 1, 0, 0},
      {"stopped in the backup, finished since", log({begun}), log({begun, stoppedEnd, ok}), false, true, 0, 0, 1},
      {"stopped in both", log({begun}), log({begun}), false, true, 0, 0, 0},
      {"imported in the backup, the log lost since", log({ok}), "", true, false, 0, 1, 0},
      {"neither", log({other}), log({other, refused}), false, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const ImportLogChange change = processing::AsciiLogAfterRestore(c.backup, c.now);
    EXPECT_EQ(change.notHeld.size(), c.notHeld) << c.what;
    EXPECT_EQ(change.held.size(), c.held) << c.what;
    EXPECT_EQ(change.stopped.size(), c.resumed) << c.what;
    for (const auto* files : {&change.notHeld, &change.held, &change.stopped})
      for (const std::string& file : *files) EXPECT_EQ(file, path) << c.what;
    const std::string after = c.now + log(change.lines);
    ASSERT_TRUE(platform::WriteFileAtomic(LogPath(), after));
    const AsciiRead read = Read(path);
    EXPECT_EQ(!read.importedBefore.empty(), c.imported) << c.what << "\n" << after;
    EXPECT_EQ(read.stoppedRun.find(mark) != std::string::npos, c.stopped) << c.what << "\n" << after;
    EXPECT_TRUE(processing::AsciiLogAfterRestore(c.backup, after).lines.empty()) << c.what << "\n" << after;
  }
}

TEST_F(AsciiImportTest, TheToolsFixtureFilesImportWithTheirAccents) {
  SetLogDossier(Dir() + "/lt/", "LT");
  const std::filesystem::path artefacts = std::filesystem::path(MERLON_BINARY_DIR) / "test-artefacts" / "processing";
  std::filesystem::create_directories(artefacts);
  for (bool utf8 : {false, true}) {
    AsciiFixtureOptions options;
    options.lines = 31;
    options.utf8 = utf8;
    options.seed = utf8 ? 2 : 1;
    const std::string bytes = MakeAsciiFixture(options);
    // Kept beside the other test files; the import works on a copy, which it renames.
    const std::string kept = (artefacts / (utf8 ? "ascii_import_utf8.txt" : "ascii_import.txt")).string();
    std::ofstream(kept, std::ios::binary) << bytes;
    const std::string path = Dir() + "/" + (utf8 ? "fixture_utf8.txt" : "fixture.txt");
    std::ofstream(path, std::ios::binary) << bytes;
    const long before = Records();
    const AsciiRead read = Read(path);
    ASSERT_TRUE(read.Importable()) << ErrorsOf(read);
    EXPECT_EQ(read.encoding, utf8 ? "UTF-8 (BOM)" : "Windows-1252");
    EXPECT_EQ(read.lines, 31);
    ASSERT_TRUE(processing::ImportAsciiFile(*TableC10, c50, c60, read).written);
    ASSERT_EQ(Records(), before + 31);
    bool accents = false;
    for (long r = before + 1; r <= before + 31; ++r) {
      ASSERT_TRUE(c50.GoTo(r));
      const std::string label = c50.GetField(L::BLIB);
      accents = accents || label.find("Pr\xE9l\xE8vement") != std::string::npos ||
                label.find("Ch\xE8que") != std::string::npos;
    }
    EXPECT_TRUE(accents) << "the labels keep their accents in Windows-1252";
  }
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

}  // namespace
}  // namespace processing_test
