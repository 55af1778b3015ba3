// Every text the program shows is byte for byte what it was before its ids were named, its fragments joined into
// whole sentences and its repeated texts stored once: the table of then (data/texts_before.txt) against the table
// of now, through the changes listed under data/text_changes/.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/cp1252.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(MERLON_SOURCE_DIR) / "tests/resources/data";

std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char n = s[i + 1];
      const char* to = n == 'n' ? "\n" : n == 'r' ? "\r" : n == 't' ? "\t" : n == 's' ? " " : n == '\\' ? "\\" : nullptr;
      if (to != nullptr) {
        out += to;
        ++i;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
  return fields;
}

std::vector<std::string> Lines(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  return lines;
}

// The old table, in cp1252 as the program holds it.
std::map<int, std::string> TextsBefore() {
  std::map<int, std::string> texts;
  for (const std::string& line : Lines(kData / "texts_before.txt")) {
    const auto tab = line.find('\t');
    std::string cp;
    platform::Utf8ToCp1252(Unescape(line.substr(tab + 1)), cp, platform::Unassigned::kRefuse);
    texts[std::stoi(line.substr(0, tab))] = cp;
  }
  return texts;
}

struct Change {
  std::string kind;  // "join", "same", "new" or "reword"
  int id = 0;
  std::string parts;  // join: the old message's parts; same: the old id; new, reword: why
  std::string where;
};

std::vector<Change> Changes() {
  std::vector<Change> changes;
  for (const auto& entry : fs::directory_iterator(kData / "text_changes")) {
    int number = 0;
    std::ifstream in(entry.path(), std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      ++number;
      if (line.empty() || line[0] == '#') continue;
      const std::vector<std::string> f = Fields(line);
      const std::string where = entry.path().filename().string() + ":" + std::to_string(number);
      EXPECT_EQ(f.size(), 3u) << where;
      if (f.size() != 3u) continue;
      changes.push_back({f[0], std::stoi(f[1]), f[2], where});
    }
  }
  return changes;
}

// The message the code built from the old table: {N} the old text of id N, %s the next value, the rest literal.
std::string OldMessage(const std::string& parts, const std::map<int, std::string>& before,
                       const std::vector<std::string>& values, std::set<int>& used, const std::string& where) {
  std::string literal, message;
  std::size_t value = 0;
  auto flush = [&] {
    std::string cp;
    platform::Utf8ToCp1252(Unescape(literal), cp, platform::Unassigned::kRefuse);
    message += cp;
    literal.clear();
  };
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (parts[i] == '{') {
      const auto close = parts.find('}', i);
      const int id = std::stoi(parts.substr(i + 1, close - i - 1));
      flush();
      const auto old = before.find(id);
      EXPECT_NE(old, before.end()) << where << ": no old text " << id;
      if (old != before.end()) message += old->second;
      used.insert(id);
      i = close;
    } else if (parts.compare(i, 2, "%s") == 0) {
      flush();
      message += values.at(value++);
      ++i;
    } else {
      literal += parts[i];
    }
  }
  flush();
  return message;
}

TEST(TextIdentity, EveryMessageIsTheOneTheOldTableBuilt) {
  const std::map<int, std::string> before = TextsBefore();
  ASSERT_GT(before.size(), 2000u);
  std::set<int> changed, accounted;
  for (const Change& c : Changes()) {
    const std::string* now = resources::FindString(c.id);
    ASSERT_NE(now, nullptr) << c.where << ": no text " << c.id << " today";
    changed.insert(c.id);
    if (c.kind == "same") {
      const int old = std::stoi(c.parts);
      accounted.insert(old);
      ASSERT_TRUE(before.count(old)) << c.where;
      EXPECT_EQ(*now, before.at(old)) << c.where;
      continue;
    }
    // A text added since, or reworded on purpose: the line says why, and the text must stand in the table.
    if (c.kind == "new") {
      EXPECT_FALSE(before.count(c.id)) << c.where << ": text " << c.id << " was already there";
      EXPECT_FALSE(c.parts.empty()) << c.where;
      continue;
    }
    if (c.kind == "reword") {
      EXPECT_TRUE(before.count(c.id)) << c.where << ": text " << c.id << " is not an old text";
      EXPECT_FALSE(c.parts.empty()) << c.where;
      continue;
    }
    // Values that cannot be mistaken for the texts around them; the two forms' values in the same order.
    const std::vector<std::string> values = {"<v1>", "<v2>", "<v3>", "<v4>", "<v5>", "<v6>"};
    if (c.kind == "form") {
      // A text whose placeholders took the one form "%s": the old text with each of its own placeholders filled by
      // the value its "%s" takes now.
      ASSERT_TRUE(before.count(c.id)) << c.where << ": text " << c.id << " is not an old text";
      std::istringstream names(c.parts);
      std::string old = before.at(c.id);
      std::vector<std::string_view> taken;
      for (std::string name; names >> name && taken.size() < values.size();) {
        const std::size_t at = old.find(name);
        ASSERT_NE(at, std::string::npos) << c.where << ": no " << name << " in the old text " << c.id;
        old.replace(at, name.size(), values[taken.size()]);
        taken.push_back(values[taken.size()]);
      }
      EXPECT_EQ(resources::FillValues(*now, taken.data(), taken.size()), old) << c.where << ": text " << c.id;
      continue;
    }
    ASSERT_EQ(c.kind, "join") << c.where;
    const std::string old = OldMessage(c.parts, before, values, accounted, c.where);
    std::string filled = *now;
    std::size_t count = 0;
    for (std::size_t at = filled.find("%s"); at != std::string::npos; at = filled.find("%s", at + 2)) ++count;
    ASSERT_LE(count, values.size()) << c.where;
    switch (count) {
      case 0: break;
      case 1: filled = FillPlaceholders(*now, {values[0]}); break;
      case 2: filled = FillPlaceholders(*now, {values[0], values[1]}); break;
      case 3: filled = FillPlaceholders(*now, {values[0], values[1], values[2]}); break;
      case 4: filled = FillPlaceholders(*now, {values[0], values[1], values[2], values[3]}); break;
      case 5: filled = FillPlaceholders(*now, {values[0], values[1], values[2], values[3], values[4]}); break;
      default: filled = FillPlaceholders(*now, {values[0], values[1], values[2], values[3], values[4], values[5]});
    }
    EXPECT_EQ(filled, old) << c.where << ": text " << c.id;
  }
  for (const auto& [id, text] : before) {
    const std::string* now = resources::FindString(id);
    if (now == nullptr) {
      EXPECT_TRUE(accounted.count(id)) << "text " << id << " left the table without a change naming it";
    } else if (!changed.count(id)) {
      EXPECT_EQ(*now, text) << "text " << id << " changed";
    }
  }
  for (int id : resources::StringIds())
    EXPECT_TRUE(before.count(id) || changed.count(id)) << "text " << id << " is new without a change naming it";
}

}  // namespace

namespace {

// A text is stored once: no two ids hold the same text, but for the lists read by position, where each id has
// its place (a command's hint and its menu text, a report's variable definitions, the keywords of the two record
// models, a list of choices, a calculator key and a character mark).
TEST(TextIdentity, EveryTextIsStoredOnce) {
  const std::set<std::set<int>> byPosition = {
      {37, 1010},         {1005, 1282},       {1504, 2172},       {1505, 2173},
      {1704, 19730},      {3496, 24323},      {5990, 6000},       {5992, 6001},
      {6607, 6642, 6682, 6902},               {6643, 6683},       {6649, 6686},
      {14133, 19742},     {19731, 19752},     {23001, 29604},     {20025, 21025},
      {20053, 21053},     {20057, 21057},     {20059, 21059},     {20061, 21061},
      {20133, 21133},     {20153, 21153},     {20161, 21161},
  };
  std::map<std::string, std::set<int>> ids;
  for (int id : resources::StringIds()) ids[*resources::FindString(id)].insert(id);
  for (const auto& [text, same] : ids)
    if (same.size() > 1)
      EXPECT_TRUE(byPosition.count(same)) << "\"" << text << "\" is stored under " << same.size() << " ids, from "
                                          << *same.begin();
}

}  // namespace
