// The check of a value typed into a raw table's field (what the table layer would otherwise take in part: a
// number read as far as it goes, a text cut), the raw tables of the commands, and the access rights as the rights
// dialog reads and rebuilds them, checked against the program's access-rights test itself.
#include <gtest/gtest.h>

#include <random>

#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "support/runtime_fixture.h"
#include "utilities/core/dossier_constants.h"
#include "utilities/core/raw_tables.h"

namespace {

using namespace settings;

class FieldsRightsTest : public test_support::RuntimeTest {};

TEST_F(FieldsRightsTest, AValueThatDoesNotFitItsFieldIsRefused) {
  const struct {
    char type;
    int width, decimals;
    const char* typed;
    bool ok;
    const char* stored;
  } cases[] = {
      {'N', 14, 2, "12,3,4", false, ""},       // the table layer would read 12.3
      {'N', 14, 2, "12,34", true, "12.34"},
      {'N', 14, 2, " -0012.5 ", true, "-12.5"},
      {'N', 14, 2, "1.234", false, ""},        // a decimal the field does not keep
      {'N', 14, 2, "12345678901", true, "12345678901"},
      {'N', 14, 2, "123456789012", false, ""},  // 12 digits + point + 2 decimals = 15
      {'N', 14, 2, "-1234567890", true, "-1234567890"},
      {'N', 14, 2, "-12345678901", false, ""},  // the sign takes a place too
      {'N', 6, 0, "999999", true, "999999"},
      {'N', 6, 0, "1.", true, "1"},
      {'N', 6, 0, "1.0", false, ""},
      {'N', 6, 0, "", true, "0"},
      {'N', 6, 0, "-", false, ""},
      {'N', 6, 0, "1e5", false, ""},
      {'N', 6, 0, "+7", true, "7"},
      {'C', 8, 0, "ABCDEFGH", true, "ABCDEFGH"},
      {'C', 8, 0, "ABCDEFGHI", false, ""},
      {'C', 8, 0, "ABCD    ", true, "ABCD    "},
      {'C', 8, 0, "ABCDEFGH   ", true, "ABCDEFGH"},  // the field's own blanks
      {'D', 8, 0, "20240101", false, ""},
  };
  for (const auto& c : cases) {
    std::string stored, message;
    EXPECT_EQ(CheckRawFieldValue(c.type, c.width, c.decimals, c.typed, stored, message), c.ok)
        << c.type << c.width << " '" << c.typed << "'";
    if (c.ok) EXPECT_EQ(stored, c.stored) << c.typed;
    else EXPECT_FALSE(message.empty()) << c.typed;
  }
}

// Each refusal is one sentence with the field's figures and the typed text in their places, word for word as the
// box shows it; a typed "%s" stays as typed.
TEST_F(FieldsRightsTest, ARefusalSaysWhyInOneSentence) {
  const struct {
    char type;
    int width, decimals;
    const char* typed;
    const char* message;
  } cases[] = {
      {'C', 8, 0, "ABCDEFGHI", "\n\n\nLe texte ne tient pas dans ce champ de 8 caract\xE8res.\n\n\n"},
      {'D', 8, 0, "20240101", "\n\n\nCe champ ne se modifie pas ici.\n\n\n"},
      {'N', 6, 0, "1%s2",
       "\n\n\n'1%s2' n'est pas un nombre.\n\nUn nombre s'\xE9" "crit avec des chiffres, un signe et une seule virgule "
       "ou un seul point.\n\n\n"},
      {'N', 6, 0, "-", "\n\n\n'-' n'est pas un nombre.\n\n\n"},
      {'N', 14, 2, "1.234", "\n\n\nCe champ garde 2 d\xE9" "cimale(s): '1.234' n'y tient pas.\n\n\n"},
      {'N', 14, 2, "123456789012",
       "\n\n\nLe nombre '123456789012' ne tient pas dans ce champ de 14 caract\xE8res.\n\n\n"},
  };
  for (const auto& c : cases) {
    std::string stored, message;
    EXPECT_FALSE(CheckRawFieldValue(c.type, c.width, c.decimals, c.typed, stored, message)) << c.typed;
    EXPECT_EQ(message, c.message) << c.type << c.width << " '" << c.typed << "'";
  }
}

TEST_F(FieldsRightsTest, EachCommandHasItsTableAndLayouts) {
  const struct {
    unsigned command;
    const char* prefix;
    int listTitle;
  } cases[] = {{20713, "F10-", 1853}, {20717, "F50-", 1857}, {20719, "F70-", 1859}, {20720, "FPB-", 2051},
               {20721, "FLB-", 2052}};
  for (const auto& c : cases) {
    const RawTable* t = FindRawTable(c.command);
    ASSERT_NE(t, nullptr) << c.command;
    EXPECT_STREQ(t->layoutPrefix, c.prefix);
    EXPECT_EQ(t->listTitle, c.listTitle);
  }
  EXPECT_EQ(FindRawTable(20722), nullptr);
  // The models of the program folder, by the balance-sheet letter.
  EXPECT_EQ(RawTablePath(*FindRawTable(20720), 'R'), Dir() + "/cpbilanr.dbf");
  EXPECT_EQ(RawTablePath(*FindRawTable(20721), 'S'), Dir() + "/clbilans.dbf");
  EXPECT_EQ(UseOfFieldType('M'), RawFieldUse::Leave);
  EXPECT_EQ(UseOfFieldType('D'), RawFieldUse::Show);
}

TEST_F(FieldsRightsTest, TheRowsGiveEveryGuardedFunction) {
  const std::vector<RightsFunction> functions = RightsFunctions();
  ASSERT_EQ(functions.size(), 36u);
  EXPECT_EQ(functions[12].number, 13);
  EXPECT_EQ(functions[12].label, "Saisie d'Ecritures");
  EXPECT_EQ(functions[12].menu, "Saisie");
  EXPECT_EQ(functions[12].start, 22);
  EXPECT_EQ(functions[12].rights, 7);
  EXPECT_EQ(RightName(1), "Acc\xE8s");
  EXPECT_EQ(RightName(9), "Cr\xE9" "er une ligne");
}

// What the dialog shows is what the program's test grants, for any rights string (hexadecimal letters and blanks
// included); and the rebuilt string grants exactly the boxes ticked.
TEST_F(FieldsRightsTest, RebuiltRightsGrantExactlyWhatWasTicked) {
  const std::vector<RightsFunction> functions = RightsFunctions();
  TheDossierRecord.SetUserLevel('2');
  std::mt19937 random(31);
  const std::string alphabet = "0123456789:;<=>?ABCDEFabcdef ";
  for (int round = 0; round < 40; ++round) {
    std::string old;
    for (int i = 0; i < DossierRecord::kRightsWidth; ++i) old += alphabet[random() % alphabet.size()];
    TheDossierRecord.SetRights(old);
    std::vector<std::vector<bool>> ticked(64);
    for (const RightsFunction& f : functions) {
      for (int k = 1; k <= f.rights; ++k) {
        // The test reads the record (and stores hexadecimal letters back as masks): one check at a time.
        TheDossierRecord.SetRights(old);
        EXPECT_EQ(RightGranted(old, f, k), HasAccessRight(f.number, k)) << old << " " << f.number << "/" << k;
        ticked[static_cast<std::size_t>(f.number)].push_back(random() % 2 == 0);
      }
    }
    const std::string rebuilt = BuildRightsString(old, functions, ticked);
    ASSERT_EQ(rebuilt.size(), 50u);
    for (char c : rebuilt) EXPECT_TRUE(c >= '0' && c <= '?') << rebuilt;
    TheDossierRecord.SetRights(rebuilt);
    for (const RightsFunction& f : functions)
      for (int k = 1; k <= f.rights; ++k)
        EXPECT_EQ(HasAccessRight(f.number, k), ticked[static_cast<std::size_t>(f.number)][static_cast<std::size_t>(k - 1)])
            << f.number << "/" << k;
  }
  // A character no function uses keeps its mask.
  std::vector<std::vector<bool>> none(64);
  EXPECT_EQ(BuildRightsString(std::string(49, '?') + "5", functions, none).substr(49), "5");
}

}  // namespace
