#include "runtime/access_rights.h"

#include <cstdlib>
#include <string>

#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "support/runtime_fixture.h"

namespace {

// The row of guarded function n is the string kFunctionRowBase + n.
constexpr int kFunctionRowBase = 9000;

}  // namespace

class AccessRightsTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    test_support::RuntimeTest::SetUp();
    DossierSlots[0] = "AB   /data/ab/";
    TheDossierRecord.SetUserLevel('5');
    TheDossierRecord.SetRights(std::string(50, '0'));
  }
  // Start position and right count of function n from its table row.
  static int Start(int n) { return std::atoi(std::string(LoadStr(kFunctionRowBase + n)).substr(0, 3).c_str()); }
  static int Count(int n) { return std::atoi(std::string(LoadStr(kFunctionRowBase + n)).substr(3, 2).c_str()); }
  static void SetRightChar(int start, char c) { TheDossierRecord.SetAt(1042 + start, c); }
};

TEST_F(AccessRightsTest, BitsOfOneCharacter) {
  struct Case { char c; bool rights[4]; } cases[] = {
      {'5', {true, false, true, false}},
      {'a', {false, true, false, true}},  // hexadecimal letters read as masks
      {' ', {true, true, true, true}},    // a blank character grants
  };
  const int n = 7;  // banks
  for (const Case& c : cases) {
    SetRightChar(Start(n), c.c);
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(HasAccessRight(n, k), c.rights[k - 1]) << c.c << " right " << k;
  }
  SetRightChar(Start(n), 'c');  // letters are stored back as masks
  HasAccessRight(n, 1);
  EXPECT_EQ(TheDossierRecord.At(1042 + Start(n)), '<');
}

TEST_F(AccessRightsTest, EveryFunctionOwnsItsCharacters) {
  // With only function n's characters open, n has its rights and no other function gains
  // any; rights 5 to 8 use the function's next character.
  for (int n = 1; n <= 36; ++n) {
    ASSERT_GE(Count(n), 1) << n;
    TheDossierRecord.SetRights(std::string(50, '0'));
    for (int i = 0; i < (Count(n) - 1) / 4 + 1; ++i) SetRightChar(Start(n) + i, '?');
    for (int m = 1; m <= 36; ++m) {
      for (int k = 1; k <= Count(m); ++k) {
        EXPECT_EQ(HasAccessRight(m, k), m == n) << "open " << n << ", function " << m << " right " << k;
      }
    }
  }
  EXPECT_LE(Start(36) + (Count(36) - 1) / 4, 50);
  TheDossierRecord.SetRights(std::string(50, '0'));
  SetRightChar(Start(7) + 1, '2');
  EXPECT_TRUE(HasAccessRight(7, 6));
  EXPECT_FALSE(HasAccessRight(7, 2));
}

TEST_F(AccessRightsTest, WhoIsGrantedEverything) {
  struct Case { const char* what; char level; bool dossier, printRun; int function; bool granted; } cases[] = {
      {"restricted user", '5', true, false, 11, false},
      {"level A", 'A', true, false, 11, true},
      {"level 1 without a dossier: the string decides", '1', false, false, 11, false},
      {"print run", '5', true, true, 11, true},
  };
  for (const Case& c : cases) {
    TheDossierRecord.SetUserLevel(c.level);
    DossierSlots[0] = c.dossier ? "AB   /data/ab/" : "";
    PrintRunFlag = c.printRun;
    for (int k = 1; k <= 12; ++k) EXPECT_EQ(HasAccessRight(c.function, k), c.granted) << c.what << " right " << k;
  }
  PrintRunFlag = false;
}

TEST_F(AccessRightsTest, BadInputNeverCrashes) {
  EXPECT_FALSE(HasAccessRight(11, 0));
  EXPECT_FALSE(HasAccessRight(11, 13));
  EXPECT_TRUE(HasAccessRight(-1, 1));
  // A record cut short: characters past its end grant.
  TheDossierRecord.Text().resize(1050);
  EXPECT_FALSE(HasAccessRight(1, 1));  // position 1043 still there
  EXPECT_TRUE(HasAccessRight(36, 1));  // position 1090 is gone
  TheDossierRecord.Text().clear();
  EXPECT_TRUE(HasAccessRight(11, 1));
}


// Another dossier's rights are read from its own record: this station's level and the print run
// grant nothing there, the record is not changed, and the names say which right is refused.
TEST_F(AccessRightsTest, AnotherDossiersRightsComeFromItsRecord) {
  DossierRecord other;
  other.SetRights(std::string(50, '?'));
  other.SetAt(1042 + Start(17), '0');      // Grands Livres refused
  other.SetAt(1042 + Start(11) + 1, 'b');  // chart: rights 5, 6 and 8 of the hexadecimal mask 11, not 7
  TheDossierRecord.SetUserLevel('1');
  PrintRunFlag = true;
  struct Case { int function, right; bool granted; } cases[] = {
      {17, 1, false}, {19, 1, true}, {11, 1, true}, {11, 5, true}, {11, 6, true}, {11, 7, false},
      {0, 1, true}, {37, 1, true}, {11, 0, false}, {11, 13, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SecondaryUserHasRight(other, c.function, c.right), c.granted) << c.function << " right " << c.right;
  PrintRunFlag = false;
  EXPECT_EQ(other.At(1042 + Start(11) + 1), 'b') << "read, not stored back";
  // A record whose rights were never written grants everything, as at an opening.
  DossierRecord blank;
  EXPECT_TRUE(SecondaryUserHasRight(blank, 17, 1));
  EXPECT_EQ(AccessFunctionName(17), "Grands Livres");
  EXPECT_EQ(AccessFunctionName(37), "");
  EXPECT_EQ(AccessRightName(7), "Ajouter vers un autre dossier");
  EXPECT_EQ(AccessRightName(13), "");
}
