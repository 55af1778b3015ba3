#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "platform/system/profile.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

using TempDir = test_support::TempFolder;

void WriteRaw(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadRaw(const std::string& path) {
  std::string s;
  ReadWholeFile(path, s);
  return s;
}

std::string Get(const char* section, const char* key, const std::string& path, const char* def = "dflt") {
  return GetPrivateProfileString(section, key, def, path.c_str());
}

}  // namespace

TEST(Cp1252Case, AccentedLettersChangeCase) {
  struct Row { unsigned char lower, upper; } rows[] = {
      {'a', 'A'}, {0xE9, 0xC9} /* e acute */, {0xEA, 0xCA}, {0xE7, 0xC7}, {0x9C, 0x8C} /* oe */,
      {0x9A, 0x8A}, {0xFF, 0x9F}, {0xF0, 0xD0}};
  for (auto r : rows) {
    EXPECT_EQ(Cp1252Upper(r.lower), r.upper) << int(r.lower);
    EXPECT_EQ(Cp1252Lower(r.upper), r.lower) << int(r.upper);
  }
  // Not letters: division and multiplication signs, sharp s, digits.
  for (unsigned char c : {0xF7, 0xD7, 0xDF, 0x31, 0x2D}) {
    EXPECT_EQ(Cp1252Upper(c), c);
    EXPECT_EQ(Cp1252Lower(c), c);
  }
  EXPECT_TRUE(Cp1252EqualNoCase("Fen\xEAtres-Maxi", "FEN\xCATRES-MAXI"));
  EXPECT_FALSE(Cp1252EqualNoCase("Fenetres-Maxi", "Fen\xEAtres-Maxi"));
}

TEST(Profile, ReadsWithWindowsRules) {
  TempDir dir;
  std::string ini = dir / "a.ini";
  // CR LF line ends, blanks around names and values, quotes, a comment,
  // an accented key and no final line end.
  WriteRaw(ini,
           "[Nuv-Merlon ZEL]\r\n"
           "  NumeroPoste = 12  \r\n"
           "Quoted=\"  spaced  \"\r\n"
           ";Hidden=1\r\n"
           "Fen\xEAtres-Maxi=O\r\n"
           "Empty=\r\n"
           "[ Other ]\r\n"
           "Last=end");
  struct Row { const char* section; const char* key; const char* expected; } rows[] = {
      {"Nuv-Merlon ZEL", "NumeroPoste", "12"},
      {"NUV-MERLON zel", "numeroposte", "12"},
      {"Nuv-Merlon ZEL", "Quoted", "  spaced  "},
      {"Nuv-Merlon ZEL", ";Hidden", "dflt"},
      {"Nuv-Merlon ZEL", "FEN\xCATRES-MAXI", "O"},
      {"Nuv-Merlon ZEL", "Empty", ""},
      {"Nuv-Merlon ZEL", "Missing", "dflt"},
      {"other", "LAST", "end"},
      {"Absent", "Last", "dflt"},
  };
  for (const auto& r : rows) EXPECT_EQ(Get(r.section, r.key, ini), r.expected) << r.section << "/" << r.key;
  EXPECT_EQ(Get("x", "y", dir / "missing.ini", "def  "), "def");

  char small[4];
  EXPECT_EQ(GetPrivateProfileString("Nuv-Merlon ZEL", "Quoted", "", small, sizeof small, ini.c_str()), 3u);
  EXPECT_STREQ(small, "  s");
}

TEST(Profile, WritesDeletesAndKeepsTheRest) {
  TempDir dir;
  std::string ini = dir / "b.ini";
  WriteRaw(ini, "[S]\r\nA=1\r\nB=2\r\n\r\n[T]\r\nC=3");

  ASSERT_TRUE(WritePrivateProfileString("s", "a", "10", ini.c_str()));      // replace, keeps "A"
  ASSERT_TRUE(WritePrivateProfileString("S", "New", "", ini.c_str()));      // empty value writes "New="
  ASSERT_TRUE(WritePrivateProfileString("S", "B", nullptr, ini.c_str()));   // null value deletes
  ASSERT_TRUE(WritePrivateProfileString("U", "D", "4", ini.c_str()));       // new section at the end
  EXPECT_EQ(ReadRaw(ini), "[S]\r\nA=10\r\nNew=\r\n\r\n[T]\r\nC=3\r\n\r\n[U]\r\nD=4\r\n");

  ASSERT_TRUE(WritePrivateProfileString("t", nullptr, nullptr, ini.c_str()));  // null key: whole section
  EXPECT_EQ(ReadRaw(ini), "[S]\r\nA=10\r\nNew=\r\n\r\n[U]\r\nD=4\r\n");
  EXPECT_EQ(Get("T", "C", ini), "dflt");
  EXPECT_FALSE(WritePrivateProfileString(nullptr, "k", "v", ini.c_str()));

  // A new file is created with LF line ends; no temporary file stays behind.
  std::string fresh = dir / "fresh.ini";
  ASSERT_TRUE(WritePrivateProfileString("Sec", "Fen\xEAtres-Maxi", "N", fresh.c_str()));
  ASSERT_TRUE(WritePrivateProfileString("SEC", "FEN\xCATRES-MAXI", "O", fresh.c_str()));
  EXPECT_EQ(ReadRaw(fresh), "[Sec]\nFen\xEAtres-Maxi=O\n");
  int files = 0;
  for (auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 2);
  EXPECT_EQ(ProfileKeyNames("sec", fresh.c_str()).size(), 1u);
}

TEST(Files, ResolvesNamesWithoutCase) {
  TempDir dir;
  WriteRaw(dir / "C10DEMO.DBF", "x");
  WriteRaw(dir / "clgdemo.txt", "12345");
  struct Row { const char* asked; const char* found; } rows[] = {
      {"c10demo.dbf", "C10DEMO.DBF"},
      {"C10Demo.Dbf", "C10DEMO.DBF"},
      {"CLGDEMO.TXT", "clgdemo.txt"},
      {"absent.dbf", "absent.dbf"},
  };
  for (const auto& r : rows) EXPECT_EQ(ResolveName(dir.path(), r.asked), dir / (r.found)) << r.asked;
  EXPECT_EQ(ResolvePath(dir / "CLGDEMO.txt"), dir / "clgdemo.txt");
  EXPECT_EQ(FileSize(ResolvePath(dir / "CLGDEMO.txt")), 5);
  EXPECT_EQ(FileSize(dir / "none"), -1);

  ASSERT_TRUE(CopyFile(dir / "clgdemo.txt", dir / "copy.txt"));
  EXPECT_EQ(ReadRaw(dir / "copy.txt"), "12345");
  EXPECT_FALSE(CopyFile(dir / "clgdemo.txt", dir / "copy.txt", false));
  EXPECT_FALSE(CopyFile(dir / "none", dir / "copy2.txt"));
  ASSERT_TRUE(AtomicRename(dir / "copy.txt", dir / "moved.txt"));
  EXPECT_FALSE(FileExists(dir / "copy.txt"));
  EXPECT_TRUE(RemoveFile(dir / "moved.txt"));
  EXPECT_TRUE(RemoveFile(dir / "moved.txt"));  // already gone
  ASSERT_TRUE(MakeDirectories(dir / "a/b/c"));
  EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
}

TEST(Process, LaunchesFromAnArgumentVector) {
  TempDir dir;
  LaunchOptions wait;
  wait.wait = true;
  struct Row { std::vector<std::string> argv; bool launched; int status; } rows[] = {
      {{"/bin/sh", "-c", "exit 3"}, true, 3},
      {{"true"}, true, 0},
      {{"/nonexistent/program"}, false, -1},
  };
  for (const auto& r : rows) {
    LaunchResult res = LaunchProcess(r.argv, wait);
    EXPECT_EQ(res.launched, r.launched) << r.argv[0];
    EXPECT_EQ(res.exitStatus, r.status) << r.argv[0];
  }
  EXPECT_NE(LaunchProcess({"/nonexistent/program"}, wait).error, 0);
  EXPECT_FALSE(LaunchProcess({}, wait).launched);

  // An argument with blanks and shell characters stays one argument; the
  // environment entry and the working folder reach the child.
  LaunchOptions opts = wait;
  opts.workingDirectory = dir.path();
  opts.extraEnvironment = {"NUVSAUVE=sub dir"};
  std::string tricky = "a b; touch injected";
  auto res = LaunchProcess({"/bin/sh", "-c", "printf '%s|%s' \"$1\" \"$NUVSAUVE\" > out.txt", "sh", tricky}, opts);
  ASSERT_TRUE(res.launched);
  EXPECT_EQ(res.exitStatus, 0);
  EXPECT_EQ(ReadRaw(dir / "out.txt"), tricky + "|sub dir");
  EXPECT_FALSE(FileExists(dir / "injected"));

  // Watched for a while: a quick failure is reported, a program that runs on
  // is left running.
  LaunchOptions watch;
  watch.watchMs = 5000;
  EXPECT_EQ(LaunchProcess({"/bin/sh", "-c", "exit 3"}, watch).exitStatus, 3);
  watch.watchMs = 40;
  res = LaunchProcess({"/bin/sh", "-c", "sleep 1"}, watch);
  EXPECT_TRUE(res.launched);
  EXPECT_EQ(res.exitStatus, -1);
}

