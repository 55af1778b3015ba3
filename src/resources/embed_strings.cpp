// Build step: reads the string files ("id<TAB>text" lines, "#" comments,
// \n \r \t \s \\ escapes) and writes a C++ source holding every text as UTF-8.
// A duplicate id, a malformed line, a character outside cp1252 or a text that
// begins or ends with a blank not written \s stops the build with the file and
// line named: an editor that strips trailing blanks would change it unseen.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "platform/system/cp1252.h"

namespace {

std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[i + 1];
      if (n == 'n') { out += '\n'; ++i; continue; }
      if (n == 'r') { out += '\r'; ++i; continue; }
      if (n == 't') { out += '\t'; ++i; continue; }
      if (n == 's') { out += ' '; ++i; continue; }
      if (n == '\\') { out += '\\'; ++i; continue; }
    }
    out += s[i];  // any other backslash stays as written
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string CLiteral(const std::string& s) {
  std::string out = "\"";
  char buf[8];
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
      out += static_cast<char>(c);
    } else {
      std::snprintf(buf, sizeof buf, "\\%03o", c);
      out += buf;
    }
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: embed_strings OUTPUT.cpp FILE...\n";
    return 2;
  }
  std::map<int, std::pair<std::string, std::string>> table;  // id -> text, where
  bool ok = true;
  for (int f = 2; f < argc; ++f) {
    std::ifstream in(argv[f], std::ios::binary);
    if (!in) {
      std::cerr << argv[f] << ": cannot be read\n";
      ok = false;
      continue;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      std::string where = std::string(argv[f]) + ":" + std::to_string(number);
      auto tab = line.find('\t');
      std::string idText = line.substr(0, tab);
      char* endp = nullptr;
      long id = std::strtol(idText.c_str(), &endp, 10);
      if (idText.empty() || *endp != 0 || id < 0 || id > 99999999) {
        std::cerr << where << ": error: line does not start with a numeric id and a tab\n";
        ok = false;
        continue;
      }
      const std::string written = tab == std::string::npos ? std::string() : line.substr(tab + 1);
      if (!written.empty() && (IsBlank(written.front()) || IsBlank(written.back()))) {
        std::cerr << where << ": error: text of id " << id << " begins or ends with a blank: write it \\s\n";
        ok = false;
      }
      std::string text = Unescape(written);
      std::string cp;
      if (!platform::Utf8ToCp1252(text, cp, platform::Unassigned::kRefuse)) {
        std::cerr << where << ": error: text of id " << id << " has a character outside cp1252\n";
        ok = false;
      }
      auto it = table.find(static_cast<int>(id));
      if (it != table.end()) {
        std::cerr << where << ": error: id " << id << " already defined at " << it->second.second << "\n";
        ok = false;
        continue;
      }
      table[static_cast<int>(id)] = {text, where};
    }
  }
  if (!ok) return 1;

  std::ostringstream out;
  out << "// Generated from src/resources/strings/*.txt: do not edit.\n"
         "#include \"resources/string_table_data.h\"\n"
         "namespace resources::detail {\n"
         "const RawString kRawStrings[] = {\n";
  for (const auto& [id, entry] : table)
    out << "  {" << id << ", " << CLiteral(entry.first) << ", " << entry.first.size() << "},\n";
  if (table.empty()) out << "  {-1, \"\", 0},\n";
  out << "};\nconst unsigned kRawStringCount = " << table.size() << ";\n}\n";

  // Write only when changed, so an unchanged table does not rebuild.
  std::string text = out.str();
  std::ifstream old(argv[1], std::ios::binary);
  std::stringstream oldText;
  oldText << old.rdbuf();
  if (old && oldText.str() == text) return 0;
  std::ofstream o(argv[1], std::ios::binary | std::ios::trunc);
  o << text;
  return o ? 0 : 1;
}
