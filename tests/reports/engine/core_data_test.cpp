// Statements that fetch data: report variables (parts, indexes, positions, zero amounts),
// conditions, the dossier's record and constants, prompts and INI values, the dossier's tables
// with their fields, relations and memo keywords, and the field writes of raw table previews.
#include <cstring>

#include "core_support.h"
#include "data_test_util.h"
#include "runtime/text.h"
#include "support/books_writes.h"
#include "support/line_files.h"

using namespace test_support;

namespace {

reports::ReportFixture OneRecord() {
  return MakeFixture({"NOM       C120", "CODE      C050", "MONTANT   M142", "ZERO      M142", "NB        N050",
                      "POS       C060", "LEN       C080", "COMPTE    C080"},
                     {{'A',
                       {{"NOM", "Dupont Jean"},
                        {"CODE", "AB123"},
                        {"MONTANT", "1234.5"},
                        {"ZERO", "0"},
                        {"NB", "7"},
                        {"POS", "005012"},
                        {"LEN", "004ABCDE"},
                        {"COMPTE", "401000"}}}});
}

struct Case {
  const char* tmpl;
  const char* page;
};

class DataStatementsTest : public data_test::DataTest {
 protected:
  // Page 1 of a template whose first statement computes the record.
  std::string Page(const std::string& tmpl, const std::function<void(EngineRun&)>& prepare = {}) {
    EngineRun run("[TT-Avant]" + tmpl, OneRecord());
    if (prepare) prepare(run);
    run.First();
    return TextOf(run.Page(1));
  }
};

}  // namespace

TEST_F(DataStatementsTest, Variables) {
  const Case cases[] = {
      {"[@NOM]|", "Dupont Jean |"},
      {"[@NOM,8]|", "Jean |"},
      {"[@NOM,8,2]|", "Je|"},
      {"[@CODE,4,6]|", "23    |"},       // on into the next variable
      {"[@LEN,4,@]|", "ABCD|"},          // the length in the value's first 3 characters
      {"[@6]", "004ABCDE"},              // a variable by its index
      {"[@inconnu]", "?@inconnu?"},
      {"[@MONTANT]|", "      1 234.50|"},
      {"[@ZERO]|", "          0.00|"},
      {"[SansMtsNuls][@ZERO]|[@NB]", "              |    7"},
      {"[SansMtsNuls][AvecMtsNuls][@ZERO]", "          0.00"},
      {"[@#POS]x", "\n\n\n\n           x"},  // line 5, column 12
      {"avant[@#LEN]x", "avantx"},          // line 4, column 0: nothing moves
  };
  for (const Case& c : cases) EXPECT_EQ(Page(c.tmpl), c.page) << c.tmpl;
}

TEST_F(DataStatementsTest, Conditions) {
  const Case cases[] = {
      {"[Si:@NB>5,grand,petit]", "grand"},
      {"[Si:@NB<=5,grand,petit]", "petit"},
      {"[Si:@NB>=7,oui,non]", "oui"},
      {"[Si:@NB=7,sept,]", "sept"},
      {"[Si:@NB#7,autre,sept]", "sept"},
      {"[Si:@MONTANT>1234.49,plus,moins]", "plus"},
      {"[Si:@NOM='dupont jean',oui,non]", "oui"},
      {"[Si:@NOM=\"Dupont Jean\",oui,non]", "oui"},
      {"[Si:@NOM$'jean',oui,non]", "oui"},
      {"[Si:@NOM!$'jean',oui,non]", "non"},
      {"[Si:@CODE<'ac',avant,apres]", "avant"},
      {"[Si:@NB>5,!grand,petit]", "GRAND"},
      {"[Si:@NB>5,g!rand,petit]", "Grand"},
      {"[Si:@NB>5,@CODE@,]", "AB123"},
      {"[Si:@NB>5,s:3@,]x", "   x"},
      {"[Si:@NB<5,seul]x", "x"},
      {"[Si:@NB>5]", "?si:@nb>5?"},
      {"[Si:@XX>5,a,b]", "?si:@xx>5,a,b?"},
      {"[Si@NOM]\xABplein\xBB[Si!@NOM]\xABvide\xBB", "plein"},
      {"[Si@ZERO]\xABz\xBB", "z"},
  };
  for (const Case& c : cases) EXPECT_EQ(Page(c.tmpl), c.page) << c.tmpl;
}

TEST_F(DataStatementsTest, DossierRecordAndConstants) {
  DossierRecord& d = TheDossierRecord;
  d.SetName("Soci\xE9t\xE9 Test");
  d.Set(31, 30, "Zone artisanale");
  d.Set(61, 30, "  12  rue   de la Paix");
  d.Set(91, 30, "75001 Paris");
  d.Set(121, 30, "SIRET 123");
  ASSERT_TRUE(d.SetDateYyyymmdd(DossierRecord::DateField::Working, "20290115"));
  ASSERT_TRUE(d.SetDateYyyymmdd(DossierRecord::DateField::YearStart, "20290101"));
  ASSERT_TRUE(d.SetDateYyyymmdd(DossierRecord::DateField::YearEnd, "20291231"));
  d.SetParity(6.55957);
  d.SetConstant(4, "BAB");
  d.SetConstant(18, ";  ");
  const Case cases[] = {
      {"[RS]|", "Soci\xE9t\xE9 Test                  |"},
      {"[RS,7]|", "Soci\xE9t\xE9|"},
      {"[R1]|", "Zone artisanale               |"},
      {"[R2]|", "12 rue  de la Paix            |"},  // two blanks make one, three two
      {"[VL]|", "75001 Paris                   |"},
      {"[VILLE]|", "Paris|"},
      {"[SA]|", "SIRET 123                     |"},
      {"[Date] [Annee] [DebEx] [FinEx]", "15/01/29 2029 01/01/29 31/12/29"},
      {"[TAUXEURO]", " 6.55957"},
      {"[Dossier]", "TST"},
      {"[Cst:004]", "BAB"},
      {"[Cst:004,B,S:5,S:0]x", "     x"},
      {"[Cst:004,Z,S:5,S:1]x", " x"},
      {"[Cst:004,Z,crlf]x", "x"},
      {"[Cst:04]", "?cst:04?"},
      {"[Cst:004,B]", "?cst:004,b?"},
  };
  for (const Case& c : cases) EXPECT_EQ(Page(c.tmpl), c.page) << c.tmpl;
  d.Set(91, 30, "75001 Paris");
  ASSERT_TRUE(d.SetDateYyyymmdd(DossierRecord::DateField::Working, "19950115"));
  EXPECT_EQ(Page("[Annee]"), "1995");
}

TEST_F(DataStatementsTest, PromptsIniValuesAndListOptions) {
  EXPECT_EQ(Page("[Saisie05,Code]|", [](EngineRun& r) { r.env.answers.push_back({true, "AB"}); }), "AB|");
  // A fixed-width export pads the answer to its width.
  EXPECT_EQ(Page("[ExportSansDelimiteur][Saisie05,Code]|", [](EngineRun& r) { r.env.answers.push_back({true, "AB"}); }),
            "AB   |");
  EXPECT_EQ(Page("[Saisie05,Code]|", [](EngineRun& r) { r.env.answers.push_back({false, "non"}); }), "|");
  EXPECT_EQ(Page("[ini:cle]x", [](EngineRun& r) { r.env.ini["cle"] = "[S:2]"; }), "  x");
  EXPECT_EQ(Page("[ini:absente]x"), "x");

  EngineRun run("[ini:police][ini:10cpi][TypeListe=b][TypeListe] [ModeListe=3][AvecLignesTexte][MargeLib23=-4]",
                OneRecord());
  run.env.ini["police"] = "Arial,012/7M0";
  run.First();
  // An INI value is a font statement; a built-in key gives its fixed-pitch font.
  EXPECT_EQ(RecordsOf(run.Page(1), "5"), "5 -16,700,0,77 'arial'\n5 -16,400,0,48 'courier new'\n");
  EXPECT_EQ(TextOf(run.Page(1)), "B");
  EXPECT_EQ(run.owner.listMode, '3');
  EXPECT_TRUE(run.owner.textLines);
  EXPECT_EQ(run.owner.margeLib23, 20);
}

TEST_F(DataStatementsTest, TablesFieldsAndRelations) {
  ASSERT_EQ(CreateTableOfKind(TableKind::C20, DossierPath(TableKind::C20)), 0);
  ASSERT_EQ(CreateTableOfKind(TableKind::C10, DossierPath(TableKind::C10)), 0);
  ASSERT_TRUE(TableC20->OpenShared(DossierPath(TableKind::C20), "C20CODE"));
  ASSERT_TRUE(TableC10->OpenShared(DossierPath(TableKind::C10), "C10CODE"));
  Add(*TableC20, {"411000", "Clients"});
  Add(*TableC20, {"401000", "Fournisseurs"});
  Add(*TableC10, {"B", "401000", "Collectif fournisseurs"});
  ASSERT_TRUE(TableC20->Seek("C20CODE", "411000"));
  const Case cases[] = {
      {"[C20->CLIB]|", "Clients                       |"},
      {"[C20->CLIB,1,4]|", "Clie|"},
      {"[C20->2]|", "Clients                       |"},
      {"[C20][->CCODE]|", "411000  |"},
      {"[C20->CXX]", "?c20->cxx?"},
      {"[C20$NCLIB]|", "CLIB                          |"},
      {"[C20$CCLIB]|", "Clients                       |"},
      {"[C20][Recn]", "000001"},
      {"[Recn]", "000001"},  // C10 again at each page start, where it stands
      {"[@COMPTE:C20->CLIB]|", "Fournisseurs                  |"},
      {"[@COMPTE:C10->BGLIB]|", "Collectif fournisseurs        |"},
      {"[@NOM:C20->CLIB,1,5]|", "?????|"},
      {"[C20->CCODE:C20->CLIB]|", "Clients                       |"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(TableC20->Seek("C20CODE", "411000"));
    EXPECT_EQ(Page(c.tmpl), c.page) << c.tmpl;
  }
  // [REL:] stands the related table on the field's value.
  ASSERT_TRUE(TableC20->Seek("C20CODE", "401000"));
  EXPECT_EQ(Page("[C20][REL:CCODE,C10B][C10->GLIB]|[REL:CCODE,C10Q]"), "Collectif fournisseurs        |?rel:?");
}

TEST_F(DataStatementsTest, MemoKeywordsAndFieldWrites) {
  TableStructure s;
  s.fields = {FieldDef{"XCODE", 'C', 10, 0}, FieldDef{"XNOM", 'C', 30, 0}, FieldDef{"XMEMO", 'M', 10, 0}};
  Create(s, Dir() + "/cxxtest");
  ASSERT_TRUE(TableCXX->OpenShared(Dir() + "/cxxtest"));
  ASSERT_TRUE(TableCXX->AppendBlank());
  ASSERT_TRUE(TableCXX->PutField(1, "X1"));
  ASSERT_TRUE(TableCXX->PutField(2, "SAS Dupont"));
  ASSERT_TRUE(TableCXX->PutMemo(3, "Note\r\nTVA=20.0\r\nPays= Fr an ce \r\n"));
  ASSERT_TRUE(TableCXX->InsertRecord());
  ASSERT_TRUE(TableCXX->GoTop());
  const Case cases[] = {
      {"[CXX][MMot:TVA,5]|", "20.0 |"},
      {"[CXX][MMot-PAYS,10]|", "FRANCE    |"},
      {"[CXX][MMot:ABSENT,3]|", "   |"},
      {"[CXX][MMot:TVA,120]|", "                                                                                                                        |"},  // a width out of 1-99: that many blanks
      {"[CXX][MotCle,XNOM,SA,5]|", "S DUP|"},
      {"[CXX][MotCle,3,TVA=,4]|", "20.0|"},
      {"[CXX][MotCle,XNOM,ZZ,2]|", "  |"},
      {"[CXX][MotCle,XNOM,SA]", "?motcle,xnom,sa?"},
      {"[CXX][champ:xnom<!martin]", "?champ:xnom<!martin?"},  // only for raw table previews
  };
  for (const Case& c : cases) EXPECT_EQ(Page(c.tmpl), c.page) << c.tmpl;

  auto writable = [](EngineRun& r) { r.context.allowFieldUpdates = true; };
  EXPECT_EQ(Page("[CXX][champ:xnom<!martin]|", writable), "MARTIN                        |");
  EXPECT_EQ(std::string(TableCXX->GetField(2)), "MARTIN" + std::string(24, ' '));
  EXPECT_EQ(Page("[CXX][champ:xnom<durand]|", writable), "durand                        |");
  EXPECT_EQ(Page("[CXX][copie:xcode>xnom]|", writable), "X1        |");
  EXPECT_EQ(std::string(TableCXX->GetField(2)).substr(0, 3), "X1 ");
  EXPECT_EQ(Page("[CXX][raz:xnom]|", writable), "                              |");
  EXPECT_EQ(Page("[CXX][raz:xmemo]", writable), "?raz:xmemo?");
}

// [%:field] multiplies an amount by the coefficient, [copie:] copies it. An amount whose stored
// text does not read as a number (an exponent, letters, NUL bytes) is neither: its field and the
// copy's keep their bytes (never 0 written over them), and the records are named once, when the
// page ends, as every reader of amounts names them.
TEST_F(DataStatementsTest, FieldWritesLeaveAnAmountThatDoesNotReadAsItWas) {
  TableStructure s;
  s.fields = {FieldDef{"XCODE", 'C', 10, 0}, FieldDef{"XMONT", 'N', 14, 2}, FieldDef{"XTAUX", 'N', 10, 3},
              FieldDef{"XNOM", 'C', 20, 0}};
  const std::string path = Dir() + "/cxxmaj";
  Create(s, path);
  ASSERT_TRUE(TableCXX->OpenShared(path));
  ASSERT_TRUE(TableCXX->AppendBlank());
  ASSERT_TRUE(TableCXX->PutField(1, "X1"));
  ASSERT_TRUE(TableCXX->PutFieldNum(2, 100));
  ASSERT_TRUE(TableCXX->PutFieldNum(3, 1.5));
  ASSERT_TRUE(TableCXX->PutField(4, "avant"));
  ASSERT_TRUE(TableCXX->InsertRecord());
  const std::string tmpl = "[TT-Avant][CXX][%:xmont]|[%:xtaux]|[copie:xmont>xnom]|";
  auto run = [&tmpl](std::vector<std::string>* warnings = nullptr) {
    EXPECT_TRUE(TableCXX->GoTop());
    EngineRun r(tmpl, OneRecord());
    r.context.allowFieldUpdates = true;
    r.context.updateCoefficient = 2;
    r.First();
    if (warnings != nullptr) *warnings = r.env.warnings;
  };
  run();
  EXPECT_EQ(TableCXX->GetFieldNum(2), 200);
  EXPECT_EQ(TableCXX->GetFieldNum(3), 3);
  EXPECT_EQ(Trimmed(TableCXX->GetField(4)), "200.00");

  for (const std::string& garbage : {std::string("-1e300"), std::string("ABC"), std::string(8, '\0')}) {
    SCOPED_TRACE(garbage.c_str());
    TableCXX->CloseTable();
    {
      test_support::RawRecords raw(path + ".dbf");
      raw.Put(1, "XMONT", garbage);
      raw.Put(1, "XTAUX", garbage);
      raw.Put(1, "XNOM", "avant");
    }
    const std::string before = test_support::RawRecords(path + ".dbf").Record(1);
    ASSERT_TRUE(TableCXX->OpenShared(path));
    std::vector<std::string> warnings;
    run(&warnings);
    TableCXX->CloseTable();
    EXPECT_EQ(test_support::RawRecords(path + ".dbf").Record(1), before);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("ATTENTION - Montants illisibles|", 0), 0u) << warnings[0];
    for (const char* named : {"CXXMAJ.DBF enregistrement 1, champ XMONT\n",
                              "CXXMAJ.DBF enregistrement 1, champ XTAUX\n", "ni multipli\xE9 ni copi\xE9"})
      EXPECT_NE(warnings[0].find(named), std::string::npos) << named << "\n" << warnings[0];
    ASSERT_TRUE(TableCXX->OpenShared(path));
  }
}

// A field write refused (a file of lines, written outside a change of lines or a run) leaves the field
// as it stands and shows as a statement not carried out, "?champ:...?"; the fields are named once,
// when the page ends, each with why.
TEST_F(DataStatementsTest, AFieldWriteRefusedLeavesTheFieldAndSaysWhy) {
  TableStructure s;
  s.fields = {FieldDef{"XCODE", 'C', 10, 0}, FieldDef{"XNOM", 'C', 20, 0}};
  const std::string path = Dir() + "/c50rb";
  Create(s, path);
  ASSERT_TRUE(TableCXX->OpenShared(path));
  {
    const SetUpPermit permit("ligne d'essai");
    ASSERT_TRUE(TableCXX->AppendBlank());
    ASSERT_TRUE(TableCXX->PutField(1, "X1"));
    ASSERT_TRUE(TableCXX->PutField(2, "avant"));
    ASSERT_TRUE(TableCXX->InsertRecord());
  }
  for (const char* statement : {"[champ:xnom<durand]", "[champ:xnom<!martin]", "[raz:xnom]"}) {
    SCOPED_TRACE(statement);
    ASSERT_TRUE(TableCXX->GoTop());
    const BooksWriteRefusals refusals;
    EngineRun r(std::string("[TT-Avant][CXX]") + statement + "[$cxnom]|", OneRecord());
    r.context.allowFieldUpdates = true;
    r.First();
    EXPECT_EQ(TextOf(r.Page(1)), "?" + std::string(statement + 1, std::strlen(statement) - 2) + "?avant               |");
    EXPECT_FALSE(refusals.seen().empty());
    EXPECT_EQ(Trimmed(TableCXX->GetField(2)), "avant");
    ASSERT_EQ(r.env.warnings.size(), 1u);
    EXPECT_NE(r.env.warnings[0].find("C50RB.DBF enregistrement 1, champ XNOM : \xE9" "criture refus\xE9" "e hors d'une "
                                     "modification de lignes"),
              std::string::npos)
        << r.env.warnings[0];
  }
}

namespace {

// An owner that declares its two variables again, in each other's place, after its first record:
// the interpreter's memory of where a variable stands must follow.
class SwappingOwner : public reports::SimpleReportOwner {
 public:
  SwappingOwner() { Declare("A         C030", "B         C030"); }
  void ComputeLine() override {
    fields.SetFieldText(fields.FindField("A"), ("a" + std::to_string(record_)).c_str());
    fields.SetFieldText(fields.FindField("B"), ("b" + std::to_string(record_)).c_str());
  }
  bool NextRecord() override {
    if (++record_ == 1) Declare("B         C030", "A         C030");
    return record_ < 3;
  }

 private:
  void Declare(const char* first, const char* second) {
    fields.ReleaseField(0);
    fields.ReleaseField(1);
    fields.SetFieldCount(2);
    if (!fields.Declared()) fields.InitFieldTable();
    fields.DeclareField(0, first);
    fields.DeclareField(1, second);
  }
  int record_ = 0;
};

}  // namespace

TEST_F(DataStatementsTest, VariablesDeclaredAgainDuringARun) {
  SwappingOwner owner;
  OwnerRun run(owner);
  ASSERT_TRUE(run.interpreter.BeginListWithTemplate(reports::ListSetup{},
                                                    "[ITD][TT-Avant][@A]-[@B]-[@A]\r\n[TT-Suivant][ITF]"));
  run.interpreter.RenderToEnd();
  EXPECT_EQ(TextOf(*run.context.store.Page(1)), "a0 -b0 -a0\na1 -b1 -a1\na2 -b2 -a2");
}
