// Every source file of the project is UTF-8. Texts the program keeps in cp1252 are written in
// sources as escapes ("\xE9"), never as raw bytes: a raw cp1252 byte in a source shows as a
// replacement mark in editors and diffs, and a literal's bytes would change silently the day
// the file is saved again as UTF-8.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Length of the valid UTF-8 sequence at `at`, 0 if none (overlong forms, surrogates and code
// points past U+10FFFF are not valid).
std::size_t Utf8SequenceAt(const std::string& s, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, min = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, min = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, min = 0x10000;
  else return 0;
  if (at + length > s.size()) return 0;
  unsigned point = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    point = (point << 6) | (byte(at + i) & 0x3F);
  }
  if (point < min || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
  return length;
}

// 1-based line of the first byte that is not UTF-8, 0 when the whole text is.
std::size_t FirstBadLine(const std::string& text) {
  std::size_t line = 1;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceAt(text, at);
    if (length == 0) return line;
    if (text[at] == '\n') ++line;
    at += length;
  }
  return 0;
}

bool IsSourceFile(const fs::path& path) {
  const std::string name = path.filename().string();
  const std::string ext = path.extension().string();
  if (name == "CMakeLists.txt") return true;
  for (const char* e : {".cpp", ".h", ".c", ".cmake", ".md", ".sh", ".py", ".menu", ".dlg", ".supp"})
    if (ext == e) return true;
  // The string tables and other texts of the program's resources.
  return ext == ".txt" && path.string().find("/src/resources/") != std::string::npos;
}

// Test data (tables, report layouts, statements) and fuzz corpora keep the bytes of the files
// they stand for, cp1252 included: they are not sources.
bool IsDataFolder(const fs::path& path) {
  const std::string name = path.filename().string();
  return name == "data" || name == "corpus" || name == "build" || (!name.empty() && name[0] == '.');
}

std::vector<std::string> FilesNotUtf8(const fs::path& root) {
  std::vector<std::string> bad;
  for (const char* top : {"src", "tests", "tools", "bench", "fuzz", "docs", "cmake", "scripts", ".ci"}) {
    const fs::path folder = root / top;
    if (!fs::is_directory(folder)) continue;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
      if (it->is_directory() && IsDataFolder(it->path())) {
        it.disable_recursion_pending();
        continue;
      }
      if (!it->is_regular_file() || !IsSourceFile(it->path())) continue;
      std::ifstream in(it->path(), std::ios::binary);
      const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      if (const std::size_t line = FirstBadLine(text))
        bad.push_back(fs::relative(it->path(), root).string() + ":" + std::to_string(line));
    }
  }
  for (const char* file : {"CMakeLists.txt", "README.md"})
    if (fs::exists(root / file)) {
      std::ifstream in(root / file, std::ios::binary);
      const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      if (const std::size_t line = FirstBadLine(text)) bad.push_back(std::string(file) + ":" + std::to_string(line));
    }
  return bad;
}

TEST(SourceEncodingTest, TheCheckerTellsUtf8FromCp1252) {
  EXPECT_EQ(FirstBadLine("plain\nd\xC3\xA9j\xC3\xA0\n\xE2\x82\xAC\n\xF0\x9F\x93\x92"), 0u);
  EXPECT_EQ(FirstBadLine("line one\ntermin\xE9\n"), 2u);           // cp1252 é
  EXPECT_EQ(FirstBadLine("\xC3"), 1u);                              // cut sequence
  EXPECT_EQ(FirstBadLine("a\n\nb\xC0\xAF"), 3u);                    // overlong '/'
  EXPECT_EQ(FirstBadLine("\xED\xA0\x80"), 1u);                      // surrogate
  EXPECT_EQ(FirstBadLine("\xF4\x90\x80\x80"), 1u);                  // past U+10FFFF
}

TEST(SourceEncodingTest, EverySourceFileIsUtf8) {
  const std::vector<std::string> bad = FilesNotUtf8(MERLON_SOURCE_DIR);
  std::string listing;
  for (const std::string& file : bad) listing += "\n  " + file;
  EXPECT_TRUE(bad.empty()) << "Sources with bytes that are not UTF-8 (file:first line); write cp1252 texts as "
                              "escapes such as \"\\xE9\":"
                           << listing;
}

}  // namespace
