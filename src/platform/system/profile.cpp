#include "platform/system/profile.h"

#include <algorithm>
#include <cstring>

#include "platform/system/cp1252.h"
#include "platform/system/files.h"

namespace platform {
namespace {

struct IniFile {
  std::vector<std::string> lines;  // without their line ends
  std::string eol = "\n";          // the file's own line end, kept on rewrite
};

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool Load(const char* path, IniFile& ini) {
  std::string content;
  if (!path || !ReadWholeFile(path, content)) return false;
  auto crlf = content.find("\r\n");
  auto lf = content.find('\n');
  if (crlf != std::string::npos && crlf + 1 == lf) ini.eol = "\r\n";
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      ini.lines.push_back(content.substr(start));  // no final line end
      break;
    }
    ini.lines.push_back(content.substr(start, end - start));
    if (content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return true;
}

// Section name when the line is a section header.
bool SectionOf(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.empty() || t[0] != '[') return false;
  auto close = t.find(']');
  name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
  return true;
}

// Key of a "key=value" line.
bool KeyOf(const std::string& line, std::string& key, std::string* value) {
  auto eq = line.find('=');
  if (eq == std::string::npos) return false;
  std::string t = Trim(line);
  if (!t.empty() && t[0] == ';') return false;  // comment
  key = Trim(line.substr(0, eq));
  if (value) *value = Trim(line.substr(eq + 1));
  return true;
}

// [first, last) line range of the section's body; false when absent.
bool FindSection(const IniFile& ini, const char* section, std::size_t& header,
                 std::size_t& first, std::size_t& last) {
  std::string name;
  for (std::size_t i = 0; i < ini.lines.size(); ++i) {
    if (SectionOf(ini.lines[i], name) && Cp1252EqualNoCase(name.c_str(), section)) {
      header = i;
      first = i + 1;
      last = first;
      std::string other;
      while (last < ini.lines.size() && !SectionOf(ini.lines[last], other)) ++last;
      return true;
    }
  }
  return false;
}

bool FindKey(const IniFile& ini, std::size_t first, std::size_t last, const char* key,
             std::size_t& line, std::string* value) {
  std::string k;
  for (std::size_t i = first; i < last; ++i) {
    if (KeyOf(ini.lines[i], k, value) && Cp1252EqualNoCase(k.c_str(), key)) {
      line = i;
      return true;
    }
  }
  return false;
}

std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

std::string DefaultOf(const char* def) {
  std::string d = def ? def : "";
  while (!d.empty() && d.back() == ' ') d.pop_back();
  return d;
}

bool Save(const char* path, const IniFile& ini) {
  std::string out;
  for (const auto& l : ini.lines) {
    out += l;
    out += ini.eol;
  }
  return WriteFileAtomic(path, out);
}

}  // namespace

std::string GetPrivateProfileString(const char* section, const char* key, const char* def,
                                    const char* path) {
  IniFile ini;
  if (!section || !key || !Load(path, ini)) return DefaultOf(def);
  std::size_t header, first, last, line;
  std::string value;
  if (!FindSection(ini, section, header, first, last) || !FindKey(ini, first, last, key, line, &value))
    return DefaultOf(def);
  return Unquote(value);
}

std::size_t GetPrivateProfileString(const char* section, const char* key, const char* def,
                                    char* buf, std::size_t size, const char* path) {
  if (!buf || size == 0) return 0;
  if (!section || !key) {
    // Lists of names, each NUL-terminated, with a final extra NUL.
    std::vector<std::string> names = !section ? ProfileSectionNames(path) : ProfileKeyNames(section, path);
    std::size_t n = 0;
    if (size < 2) {
      buf[0] = 0;
      return 0;
    }
    for (const auto& name : names) {
      if (n + name.size() + 1 > size - 1) break;
      std::memcpy(buf + n, name.c_str(), name.size() + 1);
      n += name.size() + 1;
    }
    buf[n] = 0;
    if (n > 0 && n < size) buf[n] = 0;
    return n;
  }
  std::string v = GetPrivateProfileString(section, key, def, path);
  std::size_t n = std::min(v.size(), size - 1);
  std::memcpy(buf, v.data(), n);
  buf[n] = 0;
  return n;
}

std::vector<std::string> ProfileSectionNames(const char* path) {
  std::vector<std::string> out;
  IniFile ini;
  if (!Load(path, ini)) return out;
  std::string name;
  for (const auto& l : ini.lines)
    if (SectionOf(l, name)) out.push_back(name);
  return out;
}

std::vector<std::string> ProfileKeyNames(const char* section, const char* path) {
  std::vector<std::string> out;
  IniFile ini;
  std::size_t header, first, last;
  if (!section || !Load(path, ini) || !FindSection(ini, section, header, first, last)) return out;
  std::string k;
  for (std::size_t i = first; i < last; ++i)
    if (KeyOf(ini.lines[i], k, nullptr)) out.push_back(k);
  return out;
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* path) {
  if (!section || !path || !*path) return false;
  IniFile ini;
  bool exists = Load(path, ini);
  std::size_t header = 0, first = 0, last = 0, line = 0;
  bool hasSection = exists && FindSection(ini, section, header, first, last);

  if (!key) {  // delete the section
    if (!hasSection) return true;
    ini.lines.erase(ini.lines.begin() + static_cast<long>(header), ini.lines.begin() + static_cast<long>(last));
    return Save(path, ini);
  }
  bool hasKey = hasSection && FindKey(ini, first, last, key, line, nullptr);
  if (!value) {  // delete the key
    if (!hasKey) return true;
    ini.lines.erase(ini.lines.begin() + static_cast<long>(line));
    return Save(path, ini);
  }
  if (hasKey) {
    std::string k;
    KeyOf(ini.lines[line], k, nullptr);  // keep the key's spelling as found
    ini.lines[line] = k + "=" + value;
  } else if (hasSection) {
    std::size_t at = last;
    while (at > first && Trim(ini.lines[at - 1]).empty()) --at;  // before trailing blank lines
    ini.lines.insert(ini.lines.begin() + static_cast<long>(at), std::string(key) + "=" + value);
  } else {
    if (!ini.lines.empty() && !Trim(ini.lines.back()).empty()) ini.lines.emplace_back();
    ini.lines.push_back(std::string("[") + section + "]");
    ini.lines.push_back(std::string(key) + "=" + value);
  }
  return Save(path, ini);
}

}  // namespace platform
