#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "platform/system/profile.h"
#include "platform/system/write_fault.h"
#include "support/fifo_guard.h"
#include "support/other_process.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

using TempDir = test_support::TempFolder;

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
    EXPECT_EQ(Cp1252Upper(c), c) << int(c);
    EXPECT_EQ(Cp1252Lower(c), c) << int(c);
  }
  EXPECT_TRUE(Cp1252EqualNoCase("Fen\xEAtres-Maxi", "FEN\xCATRES-MAXI"));
  EXPECT_FALSE(Cp1252EqualNoCase("Fenetres-Maxi", "Fen\xEAtres-Maxi"));
}

TEST(Profile, ReadsAndWritesWithWindowsRules) {
  TempDir dir;
  std::string ini = dir / "a.ini";
  // CR LF line ends, blanks around names and values, quotes, a comment,
  // an accented key and no final line end.
  std::ofstream(ini, std::ios::binary) << "[Nuv-Merlon ZEL]\r\n"
                                          "  NumeroPoste = 12  \r\n"
                                          "Quoted=\"  spaced  \"\r\n"
                                          ";Hidden=1\r\n"
                                          "Fen\xEAtres-Maxi=O\r\n"
                                          "Empty=\r\n"
                                          "[ Other ]\r\n"
                                          "Last=end";
  struct Row { const char* section; const char* key; const char* expected; } rows[] = {
      {"NUV-MERLON zel", "numeroposte", "12"},
      {"Nuv-Merlon ZEL", "Quoted", "  spaced  "},
      {"Nuv-Merlon ZEL", ";Hidden", "dflt"},
      {"Nuv-Merlon ZEL", "FEN\xCATRES-MAXI", "O"},
      {"other", "LAST", "end"},
  };
  for (const auto& r : rows) EXPECT_EQ(Get(r.section, r.key, ini), r.expected) << r.section << "/" << r.key;

  char small[4];
  EXPECT_EQ(GetPrivateProfileString("Nuv-Merlon ZEL", "Quoted", "", small, sizeof small, ini.c_str()), 3u);
  EXPECT_STREQ(small, "  s");

  // Writes replace, delete and add, keeping every other line as it was.
  ini = dir / "b.ini";
  std::ofstream(ini, std::ios::binary) << "[S]\r\nA=1\r\nB=2\r\n\r\n[T]\r\nC=3";

  ASSERT_TRUE(WritePrivateProfileString("s", "a", "10", ini.c_str()));      // replace, keeps "A"
  ASSERT_TRUE(WritePrivateProfileString("S", "New", "", ini.c_str()));      // empty value writes "New="
  ASSERT_TRUE(WritePrivateProfileString("S", "B", nullptr, ini.c_str()));   // null value deletes
  ASSERT_TRUE(WritePrivateProfileString("U", "D", "4", ini.c_str()));       // new section at the end
  EXPECT_EQ(ReadRaw(ini), "[S]\r\nA=10\r\nNew=\r\n\r\n[T]\r\nC=3\r\n\r\n[U]\r\nD=4\r\n");

  ASSERT_TRUE(WritePrivateProfileString("t", nullptr, nullptr, ini.c_str()));  // null key: whole section
  EXPECT_EQ(ReadRaw(ini), "[S]\r\nA=10\r\nNew=\r\n\r\n[U]\r\nD=4\r\n");

  // A new file is created with LF line ends; no temporary file stays behind.
  std::string fresh = dir / "fresh.ini";
  ASSERT_TRUE(WritePrivateProfileString("Sec", "Fen\xEAtres-Maxi", "O", fresh.c_str()));
  EXPECT_EQ(ReadRaw(fresh), "[Sec]\nFen\xEAtres-Maxi=O\n");
  int files = 0;
  for (auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 3);
}

TEST(Process, LaunchesFromAnArgumentVector) {
  TempDir dir;
  LaunchOptions wait;
  wait.wait = true;
  EXPECT_NE(LaunchProcess({"/nonexistent/program"}, wait).error, 0);
  EXPECT_FALSE(LaunchProcess({}, wait).launched);

  // An argument with blanks and shell characters stays one argument; the
  // environment entry and the working folder reach the child.
  LaunchOptions opts = wait;
  opts.workingDirectory = dir.path();
  opts.extraEnvironment = {"NUVSAUVE=sub dir"};
  std::string tricky = "a b; touch injected";
  auto res = LaunchProcess({"/bin/sh", "-c", "printf '%s|%s' \"$1\" \"$NUVSAUVE\" > out.txt", "sh", tricky}, opts);
  ASSERT_EQ(res.exitStatus, 0);
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


// A file opened in place for writing (a message file, a marker) is a regular file only: a pipe, a
// device or a folder under the name gives -1 at once, never a wait for a reader, and a device is
// not emptied; a regular file is made, emptied or appended to as before.
TEST(Files, OpenedForWritingOnlyWhenTheNameIsARegularFile) {
  TempDir dir;
  const std::string folder = dir.path();
  test_support::FifoGuard pipe(folder + "/tube.eml");
  ASSERT_TRUE(pipe.Made());
  ASSERT_TRUE(MakeDirectories(folder + "/sous-dossier"));
  for (const std::string& name : {pipe.Path(), std::string("/dev/null"), folder + "/sous-dossier"}) {
    const int created = CreateTruncated(name);
    EXPECT_EQ(created, -1) << name;
    CloseHandle(created);
    const int appended = OpenForAppending(name);
    EXPECT_EQ(appended, -1) << name;
    CloseHandle(appended);
  }
  pipe.Done();
  EXPECT_FALSE(pipe.Released()) << "a writer waited on the pipe";

  const std::string file = folder + "/message.eml";
  ASSERT_TRUE(WriteFileAtomic(file, "ancien contenu"));
  const int emptied = CreateTruncated(file);
  ASSERT_GE(emptied, 0);
  EXPECT_TRUE(WriteAll(emptied, "neuf", 4));
  CloseHandle(emptied);
  const int more = OpenForAppending(file);
  ASSERT_GE(more, 0);
  EXPECT_TRUE(WriteAll(more, "+", 1));
  CloseHandle(more);
  EXPECT_EQ(ReadRaw(file), "neuf+");
}

// Two processes append to one file (the identities, the log, a totals journal): an append cut
// part-way by a disk that fills is taken back before the other process's append lands after it.
// While ours is under way, the other station finds the file held by it and waits; once ours is
// taken back, its line and our next one follow the old text whole.
test_support::OtherProcess* appendingStation = nullptr;
bool stationAppended = false;
std::string appendedFile;

TEST(Files, AnAppendCutShortIsTakenBackBeforeAnotherProcessAppends) {
  TempDir dir;
  const std::string file = dir.path() + "/cofa.tot";
  const std::string old = "ancienne ligne\n";
  ASSERT_TRUE(AppendToFile(file, old));
  // The other station appends its line unless another process's append holds the file (where it
  // would wait for it): false then.
  test_support::OtherProcess station([file](char) {
    const int fd = ::open(file.c_str(), O_RDWR);
    struct flock probe{};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    const bool held = fd >= 0 && ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    if (fd >= 0) ::close(fd);
    return !held && AppendToFile(file, "autre poste\n");
  });
  appendingStation = &station;
  appendedFile = file;
  stationAppended = false;
  // Just before our text is written: the other station appends if it can, then our write is cut
  // part-way.
  BeforeFileChange = [] {
    if (ChangeBeingMade() != "write " + appendedFile) return;
    BeforeFileChange = nullptr;
    stationAppended = appendingStation->Do('a');
    SetWriteFault(WriteFault::kPartOnce, 1);
  };
  EXPECT_FALSE(AppendToFile(file, std::string(6000, 'n') + "\n"));
  BeforeFileChange = nullptr;
  SetWriteFault(WriteFault::kNone, 0);
  appendingStation = nullptr;
  EXPECT_FALSE(stationAppended) << "the other station appended while ours was under way";
  const std::string cut = old + (stationAppended ? "autre poste\n" : "");
  EXPECT_EQ(ReadRaw(file).size(), cut.size()) << "a part of the cut text stays";

  ASSERT_TRUE(station.Do('a'));
  ASSERT_TRUE(AppendToFile(file, "fin\n"));
  EXPECT_EQ(ReadRaw(file).substr(cut.size()), "autre poste\nfin\n");
}
