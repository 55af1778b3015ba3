// The other dossier of the transfers: its folder and code read from the general file chosen, and
// the open dossier recognised under a second spelling of its folder.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "data/dossier_files.h"
#include "platform/system/files.h"
#include "processing/core/other_dossier.h"
#include "support/temp_folder.h"

namespace {

using processing::OtherDossier;

TEST(OtherDossierTest, TheChosenFileGivesFolderAndCode) {
  struct Case {
    const char* path;
    bool ok;
    const char* folder;
    const char* code;
  };
  const Case cases[] = {
      {"/data/Compta/c10abc.dbf", true, "/data/Compta/", "ABC"},      // three letters, folder case kept
      {"/data/Compta/C10AbCdEfG.DBF", true, "/data/Compta/", "ABCDE"},  // seven letters: the first five
      {"/data/x/c10.dbf", true, "/data/x/", ""},                      // no code: the check refuses it
      {"/data/x/c20abc.dbf", false, "", ""},
      {"c10abc.dbf", false, "", ""},
  };
  for (const Case& c : cases) {
    OtherDossier d;
    EXPECT_EQ(processing::OtherDossierOfFile(c.path, &d), c.ok) << c.path;
    if (!c.ok) continue;
    EXPECT_EQ(d.folder, c.folder) << c.path;
    EXPECT_EQ(d.code, c.code) << c.path;
    EXPECT_EQ(processing::OtherPathC50(d), std::string(c.folder) + "c50" + [&] {
                std::string low = c.code;
                for (char& ch : low) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                return low;
              }()) << c.path;
  }
}

TEST(OtherDossierTest, TheOpenDossierIsKnownUnderAnotherSpellingOfItsFolder) {
  test_support::TempFolder temp;
  const std::string dir = temp.path() + "/Compta";
  ASSERT_TRUE(platform::MakeDirectories(dir));
  SetDossier(dir + "/", "AB");
  struct Case {
    std::string folder;
    const char* code;
    bool open;
  };
  const Case cases[] = {
      {dir + "/", "AB", true},
      {dir + "//", "ab", true},
      {temp.path() + "/compta/", "AB", true},
      {dir + "/", "AC", false},
      {temp.path() + "/Autre/", "AB", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(processing::IsOpenDossier(OtherDossier{c.folder, c.code}), c.open) << c.folder << c.code;
  SetDossier("", "");
}

}  // namespace
