// The check of a print's or an export's file: every file of a dossier of the target's folder,
// whatever its code, and every other name of such a file (links of any kind and depth) is
// refused in French; a file of no dossier is not; nor is a name that stands for anything but a
// regular file (a folder, a pipe, a device), however reached.
#include "data/write_targets.h"

#include <filesystem>
#include <fstream>

#include "data/dossier_files.h"
#include "support/fifo_guard.h"
#include "support/runtime_fixture.h"

namespace {

namespace fs = std::filesystem;

class WriteTargetsTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    data_ = Dir() + "/donnees/";
    for (const char* folder : {"donnees/validation-ab-20260105-101010", "donnees/Sauvegarde", "autre", "dehors"})
      fs::create_directories(File(folder));
    // The open dossier AB and dossier CD in one folder, dossier EF in another.
    for (const char* name : {"c10ab.dbf", "c40ab.dbf", "c50ab.dbf", "c10ab.ini", "cofab.txt", "casab.pcs",
                             "cab_____.dbf", "clgab.txt", "c10cd.dbf", "c40cd.dbf", "c10cd.ini", "cofcd.lck",
                             "ccd.run", "cxpab.txt", "coffee.pdf", "validation-ab-20260105-101010/c50ab.dbf",
                             "Sauvegarde/ZELCD.ZIP"})
      Write("donnees/" + std::string(name), std::string("contenu de ") + name);
    for (const char* name : {"c10ef.dbf", "c20ef.dbf"}) Write("autre/" + std::string(name), name);
    Write("CRESTA9.BAT", "#!/bin/sh\n");
    Write("cr00ref.dbf", "table de reference");
    SetDossier(data_, "AB   ");
  }
  void TearDown() override {
    SetDossier("", "");
    RuntimeTest::TearDown();
  }

  std::string data_;
};

TEST_F(WriteTargetsTest, EveryNameOfADossiersFileIsRefused) {
  const std::string out = Dir() + "/dehors/";
  fs::create_symlink(data_ + "c50ab.dbf", out + "lien.pdf");
  // Three links deep, the last one relative.
  fs::create_symlink("../donnees/c40cd.dbf", out + "l3");
  fs::create_symlink(out + "l3", out + "l2");
  fs::create_symlink("l2", out + "l1.pdf");
  // A relative link read through a link to a folder: ".." is the real folder's parent.
  fs::create_symlink(data_, out + "vers");
  fs::create_symlink("vers/../donnees/c10cd.ini", out + "rel.pdf");
  // A link to a table not yet made: the print would make it.
  fs::create_symlink(data_ + "c30cd.dbf", out + "neuf.pdf");
  fs::create_hard_link(data_ + "c40ab.dbf", out + "dur.pdf");
  fs::create_hard_link(data_ + "c40cd.dbf", out + "dur-cd.pdf");
  fs::create_hard_link(File("cr00ref.dbf"), out + "prog.pdf");
  Write("dehors/rien.txt", "rien");
  fs::create_hard_link(out + "rien.txt", out + "rien.pdf");

  const std::string open = "fichier du dossier ouvert", cd = "fichier du dossier CD", same = "autre nom du fichier",
                    program = "fichier du programme";
  const struct Case {
    std::string target, says;
  } cases[] = {
      {data_ + "c40cd.dbf", cd},
      {data_ + "C40CD.DBF", cd},
      {data_ + "c10cd.ini", cd},
      {data_ + "cofcd.lck", cd},
      {data_ + "ccd.run", cd},
      {data_ + "c20cd.mdx", cd},  // not made yet: still the dossier's name
      {data_ + "ccd_____.mdx", cd},
      {data_ + "cofab.txt", open},
      {data_ + "casab.pcs", open},
      {data_ + "c_lgab.tmp", open},
      {data_ + "cab_____.dbf", open},
      {data_ + "validation-ab-20260105-101010/c50ab.dbf", open},
      // Anything in a folder of copies: a put-back refuses a folder holding a file it did not copy.
      {data_ + "validation-ab-20260105-101010/rapport.pdf", open},
      {data_ + "let-cd-20260105-101010.remise", cd},
      {data_ + "Sauvegarde/ZELCD.ZIP", cd},
      {data_ + "c10cd-sauvew.dbf", cd},
      {Dir() + "/autre/c20ef.dbf", "fichier du dossier EF"},
      {out + "lien.pdf", open},
      {out + "l1.pdf", cd},
      {out + "rel.pdf", cd},
      {out + "neuf.pdf", cd},
      {out + "vers/c40ab.mdx", open},
      {out + "dur.pdf", same},
      {out + "dur-cd.pdf", same},
      {out + "prog.pdf", same},
      {File("CRESTA9.BAT"), program},
      // Files of no dossier: the exports named after the dossier, names that only begin like a
      // dossier's, a dossier's name where that dossier is not, a file with two names of its own.
      {data_ + "cxpab.txt", ""},
      {data_ + "coffee.pdf", ""},
      {data_ + "c40ab.txt", ""},
      {data_ + "let-zz-20260105-101010/rapport.pdf", ""},
      {data_ + "rapport.pdf", ""},
      {Dir() + "/autre/c20ab.dbf", ""},
      {out + "rien.pdf", ""},
      {File("balance.pdf"), ""},
  };
  for (const Case& c : cases) {
    const std::string refusal = WriteTargetRefusal(c.target);
    if (c.says.empty()) {
      EXPECT_EQ(refusal, "") << c.target;
    } else {
      EXPECT_NE(refusal.find(c.says), std::string::npos) << c.target << " -> " << refusal;
    }
  }
  // The refusal of another name tells which file it is.
  EXPECT_NE(WriteTargetRefusal(out + "dur.pdf").find(data_ + "c40ab.dbf"), std::string::npos);
}

// Every file the program ships or keeps in its folder is refused by its name, without case, whether
// it stands there yet or not: the help page, the e-mail model, the program INI, the reference set's
// text and list files, the reference tables, report sets and balance-sheet models with their
// indexes and memos, the batch files; and any file of the folder the system may run. A new file of
// another name, an export named after the dossier, and the text file a report's layout is exported
// to (the program's own "Exporter" writes it there) are not.
TEST_F(WriteTargetsTest, EveryFileOfTheProgramFolderIsRefusedByName) {
  for (const char* name : {"CAideNuv.html", "CRefEML.txt", "merlon.ini", "CESETATS.txt", "cesetats.dbf",
                           "cesetats.mdx", "ce0etats.dbt", "clbilanr.dbf", "cpbilans.mdx", "cr10ref.dbt"})
    Write(name, std::string("contenu de ") + name);
  Write("outil", "#!/bin/sh\n");
  fs::permissions(File("outil"), fs::perms::owner_exec, fs::perm_options::add);
  Write("C-Etat-DB-1LISTE.txt", "[Export]");
  Write("cxpab.csv", "ancien");
  const struct Case {
    std::string name;
    bool refused;
  } cases[] = {
      {"CAideNuv.html", true}, {"caidenuv.HTML", true}, {"CRefEML.txt", true},   {"crefeml.TXT", true},
      {"merlon.ini", true},    {"CESETATS.txt", true},  {"CESETATS.LST", true},  {"cesetats.old", true},
      {"cesetats.dbf", true},  {"cesetats.mdx", true},  {"ce0etats.dbt", true},  {"ce1etats.dbf", true},
      {"clbilanr.dbf", true},  {"cpbilans.mdx", true},  {"cr10ref.dbt", true},   {"cr50ref.mdx", true},
      {"CSAUVE7.BAT", true},   {"cwcopy.bat", true},    {"outil", true},
      {"C-Etat-DB-1LISTE.txt", false}, {"cxpab.csv", false}, {"balance.pdf", false}, {"aide.html", false},
  };
  for (const Case& c : cases) {
    const std::string refusal = WriteTargetRefusal(File(c.name));
    if (!c.refused) {
      EXPECT_EQ(refusal, "") << c.name;
      continue;
    }
    EXPECT_NE(refusal.find("fichier du programme"), std::string::npos) << c.name << " -> " << refusal;
  }
  // Another name of the help page, out of the program folder, is refused as that page.
  fs::create_hard_link(File("CAideNuv.html"), Dir() + "/dehors/aide.csv");
  EXPECT_NE(WriteTargetRefusal(Dir() + "/dehors/aide.csv").find(File("CAideNuv.html")), std::string::npos);
}

// A folder takes nothing and a pipe holds the writer until something reads it: only a regular
// file (or a name not used yet) is a target.
TEST_F(WriteTargetsTest, ANameThatIsNoRegularFileIsRefused) {
  const std::string out = Dir() + "/dehors/";
  test_support::FifoGuard pipe(out + "tube.csv");
  ASSERT_TRUE(pipe.Made());
  fs::create_symlink(out + "tube.csv", out + "vers-tube.pdf");
  fs::create_directories(out + "rapport.pdf");
  Write("dehors/rapport.csv", "ancien");
  const struct Case {
    std::string target;
    bool refused;
  } cases[] = {
      {out + "tube.csv", true},     {out + "vers-tube.pdf", true}, {out + "rapport.pdf", true},
      {out + "rapport.pdf/", true}, {out, true},                   {"/dev/null", true},
      {out + "rapport.csv", false}, {out + "nouveau.csv", false},
  };
  for (const Case& c : cases) {
    const std::string refusal = WriteTargetRefusal(c.target);
    if (!c.refused) {
      EXPECT_EQ(refusal, "") << c.target;
      continue;
    }
    EXPECT_NE(refusal.find("est celui d'un r\xE9pertoire, d'un tube ou d'un p\xE9riph\xE9rique"),
              std::string::npos)
        << c.target << " -> " << refusal;
    EXPECT_NE(refusal.find(c.target), std::string::npos) << refusal;
  }
  pipe.Done();
  EXPECT_FALSE(pipe.Released());
}

}  // namespace
