// The export of a report: its file's name, the plain, fixed-width, delimited, CSV and HTML
// forms byte for byte (with each line end), read back by Python's csv module, tidy and xmllint;
// the failures said once; and the e-mail follow-up read back by Python's email module.
#include <sys/resource.h>

#include <fstream>

#include "core_support.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "platform/system/write_fault.h"
#include "runtime/inifiles.h"
#include "support/fifo_guard.h"
#include "support/python.h"

using namespace test_support;

namespace {

reports::ReportFixture Ledger() {
  return MakeFixture({"COMPTE    C060", "LIB       C200", "DEBIT     M142", "NB        N052"},
                     {{'A', {{"COMPTE", "411000"}, {"LIB", "Vente; \"urgente\""}, {"DEBIT", "1234.5"}, {"NB", "3"}}},
                      {'A', {{"COMPTE", "401000"}, {"LIB", "Achat <b> & 'co'"}, {"DEBIT", "-12"}, {"NB", "0.25"}}},
                      {'B', {{"COMPTE", "512000"}, {"LIB", "Banque \xE9t\xE9"}, {"DEBIT", "1000000000.5"}, {"NB", ""}}}});
}

// Title, column heads, a line per record (an empty line before the total), a footer.
const char* kLedgerBody =
    "Grand^livre[S:2]\r\n"
    "Compte Libell\xE9 D\xE9" "bit Nombre\r\n"
    "[ITD][TT-Avant][@COMPTE] [@LIB] [@DEBIT] [@NB][TT-Suivant]\r\n[ITF]"
    "\r\n"
    "Fin [Fin]";

class ExportTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    folder = ExportDossier(Dir());
  }
  // Runs a template to its end and closes its export; the export's bytes.
  std::string Export(const std::string& tmpl, reports::ReportExportFile& file,
                     const std::function<void(EngineRun&)>& prepare = {}) {
    EngineRun run(tmpl, Ledger(), &file);
    if (prepare) prepare(run);
    run.ToEnd();
    warnings = run.env.warnings;
    end = reports::CloseExportFile(file, run.context.exportSettings);
    return ReadFileBytes(file.Path());
  }
  std::string folder;
  std::vector<std::string> warnings;
  reports::ExportEnd end = reports::ExportEnd::kNone;
};

}  // namespace

TEST_F(ExportTest, PlainFixedAndDelimitedGoldensWithEachLineEnd) {
  struct Golden {
    const char* head;
    const char* bytes;
  };
  const Golden goldens[] = {
      {"[Export:txt][ExportSansDelimiteur][Export][ExportCrLf]",
       "Grand livre  \\r\\nCompte Libell\\351 D\\351bit Nombre\\r\\n"
       "411000 Vente; \"urgente\"           1 234.50  3.00\\r\\n"
       "401000 Achat <b> & 'co'             -12.00  0.25\\r\\n"
       "512000 Banque \\351t\\351           1 000 000 000.50  0.00\\r\\n\\r\\nFin * Fin *\\r\\n"},
      {"[Delimiteur=NON][Export][ExportLf]",
       "Grand livre  \\nCompte Libell\\351 D\\351bit Nombre\\n"
       "411000 Vente; \"urgente\"           1 234.50  3.00\\n"
       "401000 Achat <b> & 'co'             -12.00  0.25\\n"
       "512000 Banque \\351t\\351           1 000 000 000.50  0.00\\n\\nFin * Fin *\\n"},
      {"[Export][ExportCr]",
       "Grand livre\\rCompte;Libell\\351;D\\351bit;Nombre\\r411000;Vente; \"urgente\";1234,50;3,00\\r"
       "401000;Achat <b> & 'co';-12,00;0,25\\r512000;Banque \\351t\\351;1000000000,50;0,00\\r\\rFin;* Fin *\\r"},
      {"[Delimiteur=TAB][Export][ExportSansCrLf]",
       "Grand livreCompte\\tLibell\\351\\tD\\351bit\\tNombre411000\\tVente; \"urgente\"\\t1234,50\\t3,00"
       "401000\\tAchat <b> & 'co'\\t-12,00\\t0,25512000\\tBanque \\351t\\351\\t1000000000,50\\t0,00Fin\\t* Fin *"},
  };

  int n = 0;
  for (const Golden& g : goldens) {
    reports::ReportExportFile file;
    const std::string bytes = Export(std::string(g.head) + kLedgerBody, file);
    EXPECT_EQ(end, reports::ExportEnd::kOffered);
    EXPECT_EQ(Bytes(bytes), g.bytes) << g.head;
    // The golden as od -c shows it, for a person to look at.
    std::ofstream(ArtefactPathFor("reports-engine", "export" + std::to_string(n++) + ".txt"), std::ios::binary) << bytes;
  }
}

// The cells the interpreter cuts for the page and gives the export are those the export cuts
// from the same printed lines itself: hard blanks around and inside cells, tabs, alignment marks,
// escaped brackets and braces, quotes, amounts, lines of blanks only and empty lines, in CSV, in
// each delimited form and in HTML.
TEST_F(ExportTest, CellsGivenByTheInterpreterAreThoseTheExportCuts) {
  const std::vector<std::string> lines = {
      "a^^ ^^b^ \t\"q\"uote\x01^x^\x02y\x03z",
      "^^^ 12^345,67 -1^234.50 13^239.20^Cr^ ^^0.00^Db \x1c" "1\x1f \x1dk\x1e",
      "  deux  blancs  ",
      "^",
      "",
      "\x03^droite^ \x02^centre \x01gauche^^",
      "Fin;\"fin\" 007 -0 1,5",
  };
  std::string body;
  for (const std::string& line : lines) body += line + "\r\n";
  const char* heads[] = {"[Export:csv][Export]", "[Export]", "[Delimiteur=TAB][Export]", "[Delimiteur=|][Export]",
                         "[HTML][Export]"};
  for (const char* head : heads) {
    SCOPED_TRACE(head);
    reports::ReportExportFile file;
    reports::ExportSettings settings;
    {
      EngineRun run(std::string(head) + "\r\n" + body, Ledger(), &file);
      run.ToEnd();
      // The same settings, as the run left them, for a file given the printed lines whole.
      settings = run.context.exportSettings;
      reports::CloseExportFile(file, run.context.exportSettings);
    }
    const std::string bytes = ReadFileBytes(file.Path());
    ASSERT_FALSE(bytes.empty());
    settings.htmlStyle = 0;
    reports::ReportExportFile direct;
    const std::string path = folder + "direct" + settings.extension;
    ASSERT_TRUE(direct.Create(path, settings, "", 80));
    direct.EndLine(settings);  // the line of the export statements
    for (const std::string& line : lines) {
      direct.WriteSegment(line, settings);
      direct.EndLine(settings);
    }
    ASSERT_TRUE(direct.Close(settings));
    std::string expected = ReadFileBytes(path);
    std::string got = bytes;
    if (settings.html) {
      // The page's head carries the run's title: the rows are compared.
      got = got.substr(got.find("<tr"));
      expected = expected.substr(expected.find("<tr"));
    }
    EXPECT_EQ(Bytes(got), Bytes(expected));
    EXPECT_GT(got.size(), 40u);
  }
}

TEST_F(ExportTest, CsvReadsBackOneRowPerLineWithAConstantCellCount) {
  reports::ReportExportFile file;
  const std::string tmpl =
      "[Export:csv][Export]Compte Libell\xE9 D\xE9" "bit Nombre\r\n"
      "[ITD][TT-Avant][@COMPTE] [@LIB] [@DEBIT] [@NB][TT-Suivant]\r\n[ITF]";
  const std::string bytes = Export(tmpl, file);
  EXPECT_EQ(file.Path(), folder + "cxptst.csv");
  const std::string script =
      "import csv\n"
      "with open('" + file.Path() + "', newline='', encoding='cp1252') as f:\n"
      "    rows = list(csv.reader(f, delimiter=';'))\n"
      "print(len(rows), sorted(set(len(r) for r in rows)))\n"
      "for r in rows: print('|'.join(r))\n";
  int status = -1;
  const std::string out = RunPythonScript(script, true, &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out,
            "4 [4]\n"
            "Compte|Libell\xC3\xA9|D\xC3\xA9" "bit|Nombre\n"
            "411000|Vente; \"urgente\"|1234,50|3,00\n"
            "401000|Achat <b> & 'co'|-12,00|0,25\n"
            "512000|Banque \xC3\xA9t\xC3\xA9|1000000000,50|0,00\n");
  EXPECT_NE(bytes.find("\"Vente; \"\"urgente\"\"\""), std::string::npos);
}

TEST_F(ExportTest, HtmlPassesTidyAndXmllint) {
  reports::ReportExportFile file;
  const std::string tmpl =
      "[HTML][Export][HTML1][POLICE3b]Grand livre\r\n[TABLE1][HTML2][Largeur:20]Compte Libell\xE9\r\n"
      "[TABLE0][HTML3][POLICE]"
      "[ITD][TT-Avant][@COMPTE] [@LIB] [@DEBIT][TT-Suivant]\r\n[ITF]\r\n[HTML4]Fin";
  const std::string html = Export(tmpl, file, [](EngineRun& r) { r.setup.documentTitle = "TST-Grand-livre"; });
  EXPECT_EQ(file.Path(), folder + "cxptst.htm");
  EXPECT_NE(html.find("<title>\r\nNuv-Merlon ZEL - TST-Grand-livre de TST\r\n</title>"), std::string::npos);
  EXPECT_NE(html.find("charset=windows-1252"), std::string::npos);
  EXPECT_NE(html.find("<td>Achat &lt;b&gt; &amp; &#39;co&#39;</td>"), std::string::npos) << html;
  EXPECT_NE(html.find("<td width='25%'><font size='3'><b>Compte</b></font></td>"), std::string::npos);
  EXPECT_NE(html.find("<td><font size='3'><b>Grand</b></font></td>"), std::string::npos);
  // Body rows alternate grey and white.
  const std::size_t grey = html.find("<tr bgcolor='#eeeee0'>");
  ASSERT_NE(grey, std::string::npos);
  EXPECT_NE(html.find("<tr>", grey), std::string::npos);
  EXPECT_NE(html.find("<tr bgcolor='#eeeee0'>", grey + 1), std::string::npos);
  EXPECT_EQ(html.substr(html.size() - 18), "</body>\r\n</html>\r\n");
  std::ofstream(test_support::ArtefactPathFor("reports-engine", "export.htm"), std::ios::binary) << html;

  platform::LaunchOptions wait;
  wait.wait = true;
  wait.captureOutput = true;
  const platform::LaunchResult tidy = platform::LaunchProcess({"tidy", "-q", "-errors", file.Path()}, wait);
  ASSERT_TRUE(tidy.launched);
  EXPECT_LT(tidy.exitStatus, 2) << tidy.output;
  const platform::LaunchResult xmllint = platform::LaunchProcess({"xmllint", "--html", "--noout", file.Path()}, wait);
  ASSERT_TRUE(xmllint.launched);
  EXPECT_EQ(xmllint.exitStatus, 0) << xmllint.output;
}

TEST_F(ExportTest, FileNames) {
  struct Name {
    const char* statements;
    const char* file;
  };
  const Name names[] = {
      {"[Export:csv][Export]", "cxptst.csv"},
      {"[Export:ab][Export]", "cxptst.ab"},  // the padding blank is not part of the name
      {"[ExportRacine:ZZ][Export]", "czztst.txt"},
      {"[ExportRacine:ZZZ][Export]", "cxptst.txt"},
      {"[Export][Export:csv][Export]", "cxptst.txt"},  // one file per run
  };
  for (const Name& n : names) {
    reports::ReportExportFile file;
    Export(n.statements, file);
    EXPECT_EQ(file.Path(), folder + n.file) << n.statements;
  }
  reports::ReportExportFile owned;
  Export("[Export]", owned, [this](EngineRun& r) { r.owner.exportFileName = folder + "fec.txt"; });
  EXPECT_EQ(owned.Path(), folder + "fec.txt");
  ASSERT_TRUE(IniSetString("NomFichierExport", (folder + "choisi.txt").c_str()));
  reports::ReportExportFile configured;
  Export("[Export:csv][Export]", configured);
  EXPECT_EQ(configured.Path(), folder + "choisi.txt");
}

TEST_F(ExportTest, FixedWidthGivenBeforeTheFileStays) {
  reports::ReportExportFile file;
  const std::string bytes = Export("[ExportSansDelimiteur][Export]a  b\r\n[Saisie04,x]|[FinDoc]", file,
                                   [](EngineRun& r) { r.env.answers.push_back({true, "AB"}); });
  EXPECT_EQ(Bytes(bytes), "a  b\\r\\nAB  |\\r\\n");
}

TEST_F(ExportTest, LinesEndAtLineEndsNeverAtSegments) {
  reports::ReportExportFile file;
  // A font statement draws the text before it as a segment of the same line; the page's last
  // line, left open, is ended once.
  EXPECT_EQ(Bytes(Export("[Export]a[F2]b\r\n\r\nc[F1]d", file)), "a;b\\r\\n\\r\\nc;d\\r\\n");
}

TEST_F(ExportTest, AFolderThatCannotBeWrittenIsSaidOnceAndOffersNothing) {
  // A folder where nothing can be created: its name is a file's.
  std::ofstream(folder + "fichier") << "x";
  folder += "fichier/";
  SetDossier(folder, "TST");
  reports::ReportExportFile file;
  EngineRun run("[Export]a\r\n[Export]b", Ledger(), &file);
  run.setup.pageHeight = 30;
  run.owner.reportCode = "LISTE     99999999";
  run.ToEnd();
  EXPECT_EQ(file.Handle(), -1);
  ASSERT_EQ(run.env.warnings.size(), 1u);
  EXPECT_EQ(run.env.warnings[0],
            "ATTENTION|\n\n\nImpossible de cr\xE9" "er le fichier d'exportation:\n\n" + folder + "cxptst.txt\n\n");
  EXPECT_EQ(reports::CloseExportFile(file, run.context.exportSettings), reports::ExportEnd::kFailed);
  EXPECT_FALSE(file.Written());
}

TEST_F(ExportTest, AWriteErrorIsSaidOnceAndOffersNothing) {
  const std::string path = folder + "plein.txt";
  ASSERT_TRUE(IniSetString("NomFichierExport", path.c_str()));
  reports::ReportExportFile file;
  std::string big = "[Export][ITD][TT-Avant]" + std::string(2000, 'x') + "[TT-Suivant]\r\n[ITF]";
  reports::ReportFixture many = Ledger();
  for (int i = 0; i < 200; ++i) many.records.push_back(many.records[0]);
  EngineRun run(big, many, &file);
  // A full disk: every write that makes a file longer is refused.
  platform::SetWriteFault(platform::WriteFault::kFull, 1);
  run.ToEnd();
  platform::SetWriteFault(platform::WriteFault::kNone, 0);
  EXPECT_EQ(run.env.warnings.size(), 1u);
  EXPECT_NE(run.env.warnings[0].find("Erreur d'\xE9" "criture dans le fichier d'exportation:\n\n" + path),
            std::string::npos);
  EXPECT_EQ(reports::CloseExportFile(file, run.context.exportSettings), reports::ExportEnd::kFailed);
  EXPECT_FALSE(platform::FileExists(path));
}

// A name that stands for a pipe, a device or a folder is no export file: refused when the run
// makes it, said once with the name, nothing offered; a pipe never holds the run.
TEST_F(ExportTest, ANameThatIsNoRegularFileIsRefusedAtOnce) {
  test_support::FifoGuard pipe(folder + "tube.csv");
  ASSERT_TRUE(pipe.Made());
  ASSERT_TRUE(platform::MakeDirectories(folder + "rapport.csv"));
  for (const std::string& name : {pipe.Path(), std::string("/dev/full"), folder + "rapport.csv"}) {
    ASSERT_TRUE(IniSetString("NomFichierExport", name.c_str()));
    reports::ReportExportFile file;
    EngineRun run("[Export][ITD][TT-Avant][@COMPTE][TT-Suivant]\r\n[ITF]", Ledger(), &file);
    run.ToEnd();
    EXPECT_EQ(file.Handle(), -1) << name;
    ASSERT_EQ(run.env.warnings.size(), 1u) << name;
    EXPECT_NE(run.env.warnings[0].find("   " + name + "\n\nest celui d'un r\xE9pertoire, d'un tube ou "
                                       "d'un p\xE9riph\xE9rique"),
              std::string::npos)
        << run.env.warnings[0];
    EXPECT_EQ(reports::CloseExportFile(file, run.context.exportSettings), reports::ExportEnd::kFailed) << name;
  }
  pipe.Done();
  EXPECT_FALSE(pipe.Released()) << "the export waited on the pipe";
  EXPECT_TRUE(platform::DirectoryExists(folder + "rapport.csv"));
}

// An export named after a file of the program folder (the help page, the e-mail model, the list of
// reports stored at start-up, absent yet) is refused when the run makes it, said once with the
// name, and the file is left as it was: F1 still opens the help page, not a CSV.
TEST_F(ExportTest, AFileOfTheProgramIsNeverAnExport) {
  Write("CAideNuv.html", "<html>Aide</html>");
  Write("CRefEML.txt", "To: %s");
  for (const std::string& name : {std::string("CAideNuv.html"), std::string("crefeml.txt"), std::string("CESETATS.LST")}) {
    const std::string path = Dir() + "/" + name;
    const std::string before = platform::FileExists(path) ? ReadFileBytes(path) : std::string("<absent>");
    ASSERT_TRUE(IniSetString("NomFichierExport", path.c_str()));
    reports::ReportExportFile file;
    EngineRun run("[Export:csv][Export][ITD][TT-Avant][@COMPTE] [@DEBIT][TT-Suivant]\r\n[ITF]", Ledger(), &file);
    run.ToEnd();
    EXPECT_EQ(file.Handle(), -1) << name;
    ASSERT_EQ(run.env.warnings.size(), 1u) << name;
    EXPECT_NE(run.env.warnings[0].find("est un fichier du programme"), std::string::npos) << run.env.warnings[0];
    EXPECT_EQ(reports::CloseExportFile(file, run.context.exportSettings), reports::ExportEnd::kFailed) << name;
    EXPECT_EQ(platform::FileExists(path) ? ReadFileBytes(path) : std::string("<absent>"), before) << name;
  }
  ASSERT_TRUE(IniSetString("NomFichierExport", ""));
}

// A disk that refuses the export half-way (a file-size limit, as a full disk): the export of the
// same name from the run before is left whole, and no temporary file stays beside it.
TEST_F(ExportTest, AFailedExportLeavesThePreviousOneWhole) {
  reports::ReportExportFile first;
  const std::string before = Export("[Export][ITD][TT-Avant][@COMPTE][TT-Suivant]\r\n[ITF]", first);
  ASSERT_EQ(end, reports::ExportEnd::kOffered);
  ASSERT_EQ(before, "411000\r\n401000\r\n512000\r\n");
  const std::string path = first.Path();
  first.Reset();

  reports::ReportExportFile file;
  reports::ReportFixture many = Ledger();
  for (int i = 0; i < 200; ++i) many.records.push_back(many.records[0]);
  platform::IgnoreFileSizeLimitSignal();
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  const rlimit cut{16 * 1024, limit.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &cut), 0);
  EngineRun run("[Export][ITD][TT-Avant]" + std::string(2000, 'x') + "[TT-Suivant]\r\n[ITF]", many, &file);
  run.ToEnd();
  const reports::ExportEnd failed = reports::CloseExportFile(file, run.context.exportSettings);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  EXPECT_EQ(failed, reports::ExportEnd::kFailed);
  ASSERT_EQ(run.env.warnings.size(), 1u);
  EXPECT_NE(run.env.warnings[0].find("Erreur d'\xE9" "criture dans le fichier d'exportation:\n\n" + path), std::string::npos)
      << run.env.warnings[0];
  EXPECT_EQ(ReadFileBytes(path), before);
  file.Reset();
  EXPECT_EQ(file.TakeIncompletePath(), "");
  EXPECT_EQ(platform::ListFiles(folder), std::vector<std::string>{"cxptst.txt"});
}

// A template whose long line passes the template's limit is refused by that line, where it was
// cut there and run without its records: an export of its first lines only, said to be ready.
TEST_F(ExportTest, ATemplatePassingItsLimitIsRefusedByItsLine) {
  reports::ReportExportFile file;
  const std::string text =
      Export("[Export]Titre\r\n" + std::string(32760, 'x') + "\r\n[ITD][TT-Avant][@COMPTE][TT-Suivant]\r\n[ITF]", file);
  EXPECT_TRUE(text.empty()) << text.size() << " bytes exported";
  EXPECT_EQ(end, reports::ExportEnd::kNone);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "ATTENTION|\n\n\nLe mod\xE8le de l'\xE9tat d\xE9passe 32 768 caract\xE8res \xE0 sa ligne 2 (de 32760 "
                         "caract\xE8res).\n\nL'\xE9tat n'est pas lanc\xE9 : raccourcissez cette ligne ou le mod\xE8le.\n\n\n");
  EXPECT_TRUE(platform::ListFiles(folder).empty());
  // A report another one runs ([ES:]) is refused the same way.
  EngineRun chained("[TT-Avant][ES:grand]", Ledger());
  chained.env.templates.Add("GRAND", "a\r\nb\r\n" + std::string(32800, 'y'));
  chained.First();
  ASSERT_EQ(chained.env.warnings.size(), 1u);
  EXPECT_NE(chained.env.warnings[0].find("\xE0 sa ligne 3 (de 32800 caract\xE8res)"), std::string::npos)
      << chained.env.warnings[0];
  // Within the limit, the same long line runs with its records.
  const std::string whole =
      Export("[Export]" + std::string(32700, 'x') + "\r\n[ITD][TT-Avant][@COMPTE][TT-Suivant]\r\n[ITF]", file);
  EXPECT_EQ(whole.size(), 32700u + 2 + 3 * 8) << whole.substr(32700);
}

// Nothing written into the export (a transfer run whose file was not written): nothing is put in
// place and nothing is offered. A file the owner put under the export's name during the run is
// the one offered, untouched.
TEST_F(ExportTest, AnEmptyExportIsNotOfferedAndAFileTheOwnerPlacedIsKept) {
  reports::ReportExportFile file;
  reports::ExportSettings settings;
  const std::string path = folder + "cxptst.xml";
  ASSERT_TRUE(file.Create(path, settings, "", 80));
  EXPECT_EQ(reports::CloseExportFile(file, settings), reports::ExportEnd::kNone);
  file.Reset();
  EXPECT_TRUE(platform::ListFiles(folder).empty());

  ASSERT_TRUE(file.Create(path, settings, "", 80));
  file.WriteLine("ligne", settings);
  ASSERT_TRUE(platform::WriteFileAtomic(path, "<Document/>\r\n"));
  EXPECT_EQ(reports::CloseExportFile(file, settings), reports::ExportEnd::kOffered);
  EXPECT_EQ(ReadFileBytes(path), "<Document/>\r\n");
  file.Reset();
  EXPECT_EQ(platform::ListFiles(folder), std::vector<std::string>{"cxptst.xml"});
}

TEST_F(ExportTest, TheOwnerWritesItsOwnLines) {
  reports::ReportExportFile file;
  reports::ExportSettings settings;
  settings.lineEnd = '3';
  ASSERT_TRUE(file.Create(folder + "propre.txt", settings, "", 80));
  file.WriteLine("ligne du rapport", settings);
  EXPECT_EQ(reports::CloseExportFile(file, settings), reports::ExportEnd::kOffered);
  EXPECT_EQ(ReadFileBytes(folder + "propre.txt"), "ligne du rapport\n");
}

TEST_F(ExportTest, TheFollowUpMailCarriesTheExportWhole) {
  ASSERT_TRUE(std::filesystem::copy_file(std::string(MERLON_SOURCE_DIR) + "/src/resources/files/CRefEML.txt",
                                         ProgramFolder + "CRefEML.txt"));
  reports::ReportExportFile file;
  Export("[Export:csv][Export][ITD][TT-Avant][@COMPTE] [@LIB] [@DEBIT][TT-Suivant]\r\n[ITF]", file);
  ASSERT_EQ(end, reports::ExportEnd::kOffered);
  std::string eml;
  ASSERT_TRUE(reports::WriteExportEmail(file.Path(), "compta@exemple.fr", "TST-Grand-livre", eml));
  EXPECT_EQ(eml, folder + "cxptst.eml");
  const std::string script =
      "import email, sys\n"
      "m = email.message_from_binary_file(open('" + eml + "', 'rb'))\n"
      "print(m['To'], m['Subject'])\n"
      "part = [p for p in m.walk() if p.get_filename()][0]\n"
      "print(part.get_filename())\n"
      "print(part.get_payload(decode=True) == open('" + file.Path() + "', 'rb').read())\n";
  int status = -1;
  EXPECT_EQ(RunPythonScript(script, true, &status), "compta@exemple.fr TST-Grand-livre\ncxptst.csv\nTrue\n");
  EXPECT_EQ(status, 0);
  EXPECT_NE(reports::FollowUpQuestion(file.Path()).find(file.Path()), std::string::npos);
}
