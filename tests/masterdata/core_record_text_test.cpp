// The record text editor without its window: the keyword lists of each record type, the
// search and insertion rules, and the record it holds, between two stations.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <map>
#include <string>

#include "data/dossier_files.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "dossier/core/dossier_create.h"
#include "masterdata/core/record_text.h"
#include "masterdata/core/record_text_keywords.h"
#include "platform/system/files.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "support/other_process.h"
#include "support/refused_read.h"
#include "support/runtime_fixture.h"

namespace {

using namespace masterdata;

// Every record type: the list's title and first line, and how many lines it has.
TEST(RecordTextKeywords, EachRecordTypeGetsItsList) {
  struct Case {
    char designation, kind;
    const char* code;
    char mode;
    const char* title;  // "" for no list
    const char* first;
    std::size_t count;
  } cases[] = {
      {'1', 'M', "ACHAT", 'N', "Mots-cl\xE9s disponibles pour le Texte ci-dessous", "// Pour chacune", 7},
      {'1', 'Q', "BQ01", 'N', "", "", 0},
      {'1', 'J', "AC", '1', "", "", 0},
      {'2', ' ', "60700000", '1', "Mots-cl\xE9s disponibles pour le Texte ci-dessous", "// Seulement pour", 5},
      {'2', ' ', "60700000", '2', "Mots-cl\xE9s disponibles pour le Texte ci-dessous", "// Seulement pour", 5},
      {'2', ' ', "CMARTIN", '1', "Mots-cl\xE9s disponibles pour le Texte ci-dessous", "// Seulement pour", 5},
      {'2', ' ', "CMARTIN", '2', "Exemple de Mot-cl\xE9 pouvant \xEAtre cr\xE9\xE9 dans le Texte ci-dessous", "Ref/Vrt=", 1},
      {'2', ' ', "CMARTIN", 'N', "Exemple de Mot-cl\xE9 pouvant \xEAtre cr\xE9\xE9 dans le Texte ci-dessous", "Ref/Vrt=", 1},
      {'2', ' ', "60700000", 'N', "", "", 0},
      {'3', ' ', "ATELIER", '2', "", "", 0},
      {'Y', 'Y', "STANDARD", 'N', "Variables accessibles ou Mots-cl\xE9s disponibles pour l'Etat ci-dessous",
       "// Variables et Mots-Cl\xE9s communs", 59},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.designation) + c.kind + c.code + " mode " + c.mode);
    RecordTextType type;
    type.designation = c.designation;
    type.kind = c.kind;
    const KeywordList list = KeywordListFor(type, c.code, c.mode);
    EXPECT_EQ(list.title, c.title);
    ASSERT_EQ(list.lines.size(), c.count);
    if (c.count > 0) { EXPECT_EQ(list.lines[0].rfind(c.first, 0), 0u) << list.lines[0]; }
  }
}

// The report's own section: found by any of the prefixes its header names, read on through a
// numbered continuation, ended by a blank line; then the common lines.
TEST(RecordTextKeywords, AReportFindsItsSectionByItsPrefix) {
  const std::map<int, std::string> table{
      {6011, "Titre"},        {6012, "// communs"},    {6013, "[Date]\tDate"},  {6300, "6320"},
      {6301, "\\DV-"},        {6302, "[@CODE]\tCode"}, {6303, "6310"},          {6304, "jamais lu"},
      {6305, ""},             {6306, "\\EBA-\\EBB-\\EBC-\\EBS-"},              {6307, "[@SOLDE]\tSolde"},
      {6308, "   "},          {6309, "[@AUTRE]"},      {6310, "[@NOM]\tNom"},   {6311, ""},
      {6330, "\\ZZ-"},        {6331, "[@HORS]\tapr\xE8s la fin"},
  };
  const StringLookup lookup = [&table](int id) -> const std::string* {
    const auto it = table.find(id);
    return it == table.end() ? nullptr : &it->second;
  };
  struct Case {
    const char* code;
    std::vector<std::string> lines;
  } cases[] = {
      {"EBB-MOIS", {"// Variables et Mots-Cl\xE9s sp\xE9" "cifiques \xE0 cet Etat", "[@SOLDE]\tSolde", "// communs", "[Date]\tDate"}},
      {"DV-1LISTE", {"// Variables et Mots-Cl\xE9s sp\xE9" "cifiques \xE0 cet Etat", "[@CODE]\tCode", "[@NOM]\tNom", "// communs", "[Date]\tDate"}},
      {"EB-X", {"// communs", "[Date]\tDate"}},
      {"STANDARD", {"// communs", "[Date]\tDate"}},
      {"ZZ-A", {"// communs", "[Date]\tDate"}},  // past the last id of string 6300
      {"", {"// communs", "[Date]\tDate"}},
  };
  RecordTextType type;
  type.designation = 'Z';
  for (const Case& c : cases) {
    const KeywordList list = KeywordListFor(type, c.code, 'N', lookup);
    EXPECT_EQ(list.title, "Titre") << c.code;
    EXPECT_EQ(list.lines, c.lines) << c.code;
  }
  EXPECT_EQ(ReportPrefix("DB-1LISTE  "), "DB-");
  EXPECT_EQ(ReportPrefix("STANDARD  "), "STANDARD");
}

TEST(RecordTextKeywords, OnlyKeywordsAreInserted) {
  struct Case {
    const char* line;
    const char* inserted;
  } cases[] = {
      {"CC=\tPr\xE9" "cise un compte particulier (CC=44566000)", "CC="},
      {"MO=SOLDE\tPr\xE9" "cise que le solde", "MO=SOLDE"},
      {"[Dossier]", "[Dossier]"},
      {"// Pour chacune des lignes", ""},
      {"   \tblanc", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(InsertableText(c.line), c.inserted) << c.line;
}

TEST(RecordTextRules, SearchIgnoresTheCaseOfLetters) {
  const std::string text = "Premi\xE8re ligne\r\nLe mot CLEF, puis \xC9" "criture.\r\n";
  struct Case {
    const char* word;
    int from;
    int at;
  } cases[] = {
      {"clef", 0, 23},
      {"clef", 24, -1},
      {"\xE9" "criture", 0, 34},
      {"PREMI\xC8RE", 0, 0},
      {"absent", 0, -1},
      {"", 0, -1},
      {"clef", 99, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(FindWordInText(text, c.word, c.from), c.at) << c.word << " from " << c.from;
}

TEST(RecordTextRules, InsertionStaysWithinTheLimit) {
  struct Case {
    int length, selected, inserted, limit;
    bool fits;
  } cases[] = {
      {3997, 0, 3, 4000, true},     // reaches the limit exactly
      {3998, 0, 3, 4000, false},
      {4000, 0, 1, 4000, false},
      {4000, 5, 3, 4000, true},     // over the selection
      {5000, 0, 1, 4000, false},    // a longer text takes nothing more
      {5000, 1, 1, 4000, false},
      {5000, 1, 0, 4000, false},
      {32767, 0, 1, 32768, true},
      {32768, 0, 1, 32768, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InsertionFits(c.length, c.selected, c.inserted, c.limit), c.fits)
        << c.length << " - " << c.selected << " + " << c.inserted << " / " << c.limit;
}

TEST(RecordTextRules, ReferencesNameTheirRecord) {
  struct Case {
    std::string reference;
    bool known;
    int width, memo, limit, entry;
    const char* key;
  } cases[] = {
      {MakeRecordReference('1', 'Q', "BQ01"), true, 4, 7, 4000, 1, "QBQ01"},
      {MakeRecordReference('1', 'M', "ACHAT"), true, 8, 7, 4000, 4, "MACHAT   "},
      {MakeRecordReference('1', 'B', "C"), true, 1, 7, 4000, 0, "BC"},
      {MakeRecordReference('1', 'C', "A601AC B"), true, 8, 7, 4000, 8, "CA601AC B"},
      {MakeRecordReference('2', '2', "41100000"), true, 8, 30, 4000, 9, "41100000"},
      {MakeRecordReference('3', '3', "ATELIER"), true, 8, 19, 4000, 10, "ATELIER "},
      {MakeRecordReference('Y', 'Y', "DB-1LISTE"), true, 10, 11, 32768, 11, "DB-1LISTE "},
      {MakeRecordReference('Z', 'Z', "DB-1LISTE"), true, 10, 11, 32768, 12, "DB-1LISTE "},
      {MakeRecordReference('1', 'X', "0"), false, 0, 0, 0, 0, ""},
      {MakeRecordReference('4', ' ', "A"), false, 0, 0, 0, 0, ""},
  };
  test_support::TempFolder folder{"merlon-ref"};
  SetProgramFolder(folder.path() + "/");
  ASSERT_TRUE(InitRuntime());
  ASSERT_EQ(StartDbSession(), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reference.substr(0, 12));
    EXPECT_EQ(c.reference.size(), 92u);
    RecordTextType t;
    ASSERT_EQ(RecordTextTypeOf(c.reference, t), c.known);
    if (!c.known) continue;
    EXPECT_EQ(t.codeWidth, c.width);
    EXPECT_EQ(t.memoField, c.memo);
    EXPECT_EQ(t.maxLength, c.limit);
    EXPECT_EQ(t.formEntry, c.entry);
    EXPECT_EQ(RecordTextKey(t, c.reference), c.key);
  }
  StopDbSession();
  FreeRuntime();
}

// ---- the held record, between two stations --------------------------------------------------

class RecordTextHoldTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char* text, unsigned) {
      messages += text;
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    ASSERT_EQ(StartDbSession(), 0);
    ASSERT_TRUE(MakeReferenceTables(Dir() + "/"));
    DemoOptions o;
    o.folder = Dir() + "/d";
    o.code = "TXT";
    o.lines = 40;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
    SetDossier(o.folder, "TXT");
  }
  void TearDown() override {
    CloseAllTables();
    StopDbSession();
    RuntimeTest::TearDown();
  }

  // A code record of kind M with a text, written and closed again.
  static void AddModel(const std::string& code, const std::string& memo, bool cancelled = false) {
    Table t;
    ASSERT_TRUE(t.OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(t.AppendBlank());
    ASSERT_TRUE(t.PutField(1, "M"));
    ASSERT_TRUE(t.PutField(2, code.c_str()));
    ASSERT_TRUE(t.PutField(3, ("Mod\xE8le " + code).c_str()));
    ASSERT_TRUE(t.InsertRecord());
    ASSERT_TRUE(t.PutMemoText(7, memo));
    if (cancelled) {
      ASSERT_TRUE(t.DeleteRecord(nullptr, 1));
    }
    t.CloseTable();
  }

  static inline std::string messages;
};

// The other station: 'e' opens the text of model ACHAT as an editor does, 'r' closes it, 'l'
// locks the record as a form does, 'u' unlocks it.
bool OtherStation(char cmd) {
  static RecordTextHold* hold = nullptr;
  static Table* form = nullptr;
  if (hold == nullptr) hold = new RecordTextHold();
  if (form == nullptr) form = new Table();
  const std::string reference = MakeRecordReference('1', 'M', "ACHAT");
  switch (cmd) {
    case 'e': return hold->Open(reference);
    case 'r': hold->Release(); return EditorLock.table == nullptr;
    case 'l': return form->OpenShared(PathC10(), "C10CODE") && form->Seek("C10CODE", "MACHAT   ") && LockRecord(*form, nullptr, 0);
    case 'u': return UnlockRecord(*form);
    default: return false;
  }
}

TEST_F(RecordTextHoldTest, ARecordHeldOnOneStationIsRefusedToTheOther) {
  AddModel("ACHAT", "CC=60700000\r\nMO=SOLDE\r\n");
  test_support::OtherProcess other(&OtherStation);
  const std::string reference = MakeRecordReference('1', 'M', "ACHAT");

  // This station's editor holds it: the other's editor and form are refused until it closes.
  {
    RecordTextHold hold;
    ASSERT_TRUE(hold.Open(reference));
    EXPECT_EQ(hold.Text(), "CC=60700000\r\nMO=SOLDE\r\n");
    EXPECT_EQ(EditorLock.table, TableC10);
    EXPECT_EQ(EditorLock.record, hold.Record());
    EXPECT_TRUE(TableC10->IsLockedByMe());
    EXPECT_FALSE(other.Do('e'));
    EXPECT_FALSE(other.Do('l'));
  }
  EXPECT_EQ(EditorLock.table, nullptr);
  EXPECT_TRUE(other.Do('e'));

  // The other station's editor, then its form, hold it: refused here without a word.
  RecordTextHold hold;
  EXPECT_FALSE(hold.Open(reference));
  EXPECT_FALSE(hold.Held());
  EXPECT_TRUE(other.Do('r'));
  ASSERT_TRUE(other.Do('l'));
  EXPECT_FALSE(hold.Open(reference));
  EXPECT_EQ(EditorLock.table, nullptr);
  ASSERT_TRUE(other.Do('u'));
  EXPECT_TRUE(hold.Open(reference));
  hold.Release();
  EXPECT_TRUE(messages.empty()) << messages;
}

// A form of the same type keeps the lock it holds when the editor closes; without one the
// record is free again.
TEST_F(RecordTextHoldTest, TheLockGoesBackToTheFormThatHoldsIt) {
  AddModel("ACHAT", "LI=Achats\r\n");
  test_support::OtherProcess other(&OtherStation);
  const std::string reference = MakeRecordReference('1', 'M', "ACHAT");
  ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
  ASSERT_TRUE(TableC10->Seek("C10CODE", "MACHAT   "));
  ASSERT_TRUE(LockRecord(*TableC10, nullptr, 0));
  FormRecordLocks[4] = TableC10->recordNumber;  // the model form holds it
  {
    RecordTextHold hold;
    ASSERT_TRUE(hold.Open(reference));
  }
  EXPECT_EQ(EditorLock.table, nullptr);
  EXPECT_FALSE(other.Do('l')) << "the form still holds it";
  FormRecordLocks[4] = 0;
  {
    RecordTextHold hold;
    ASSERT_TRUE(hold.Open(reference));
  }
  EXPECT_TRUE(other.Do('l')) << "free once the editor closed";
  EXPECT_TRUE(other.Do('u'));
}

// Missing and cancelled records are not opened; the whole memo is read and written, a byte 26
// and what lies past the limit included.
TEST_F(RecordTextHoldTest, TheWholeMemoIsReadAndWritten) {
  std::string longText(4100, 'a');
  longText += "FIN";
  const std::string marked = std::string("avant\x1A") + "apr\xE8s la marque";
  AddModel("LONG", longText);
  AddModel("MARQUE", marked);
  AddModel("ANNULE", "texte", true);
  RecordTextHold hold;
  EXPECT_FALSE(hold.Open(MakeRecordReference('1', 'M', "ABSENT")));
  EXPECT_FALSE(hold.Open(MakeRecordReference('1', 'M', "ANNULE")));
  for (const std::string code : {"LONG", "MARQUE"}) {
    SCOPED_TRACE(code);
    ASSERT_TRUE(hold.Open(MakeRecordReference('1', 'M', code)));
    const std::string before = hold.Text();
    EXPECT_EQ(before, code == "LONG" ? longText : marked);
    ASSERT_TRUE(hold.Save("X" + before));
    hold.Release();
    ASSERT_TRUE(hold.Open(MakeRecordReference('1', 'M', code)));
    EXPECT_EQ(hold.Text(), "X" + before);
    hold.Release();
  }
}

// The record held, read again for a save while the disk refuses its reads: not saved (the editor keeps its
// text), never said saved with nothing written; once the disk reads again, saved.
TEST_F(RecordTextHoldTest, ATextWhoseRecordCannotBeReadAgainIsNotTakenForSaved) {
  AddModel("LU", "texte");
  const std::string file =
      "/" + std::filesystem::path(platform::ResolvePath(std::string(PathC10()) + ".dbf")).filename().string();
  // Opened while reads are counted, so that the engine reads the file rather than maps it.
  test_support::RefusedRead::Arm(file, INT_MAX);
  RecordTextHold hold;
  ASSERT_TRUE(hold.Open(MakeRecordReference('1', 'M', "LU")));
  test_support::RefusedRead::Arm(file, 1, true);
  EXPECT_FALSE(hold.Save("nouveau"));
  test_support::RefusedRead::Disarm();
  EXPECT_TRUE(hold.Save("nouveau"));
  hold.Release();
  ASSERT_TRUE(hold.Open(MakeRecordReference('1', 'M', "LU")));
  EXPECT_EQ(hold.Text(), "nouveau");
  hold.Release();
}

}  // namespace
