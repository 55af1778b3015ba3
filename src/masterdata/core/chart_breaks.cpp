#include "masterdata/core/chart_breaks.h"

#include "data/collation.h"
#include "data/table.h"
#include "masterdata/core/chart_files.h"
#include "runtime/dossier_record.h"

namespace masterdata {

namespace {

constexpr int kChartBreakPos = 722;    // constant 062
constexpr int kSectionBreakPos = 725;  // constant 063

int LevelAt(int position, int fallback) {
  const char c = TheDossierRecord.At(position);
  return c >= '1' && c <= '3' ? c - '0' : fallback;
}

// The byte that sorts after every other in the key order.
char LastByte() {
  const std::uint8_t* w = CollationWeights();
  for (int b = 0; b < 256; ++b)
    if (w[b] == 255) return static_cast<char>(b);
  return static_cast<char>(0xFF);
}

std::string CodeHere(Table& t) {
  std::string code = t.GetField(1);
  code.resize(kChartCodeWidth, ' ');
  return code;
}

}  // namespace

BreakLevels ChartBreakLevels() {
  return BreakLevels{LevelAt(kChartBreakPos, 1), LevelAt(kChartBreakPos + 1, 2), LevelAt(kChartBreakPos + 2, 2)};
}

BreakLevels SectionBreakLevels() {
  const int l = LevelAt(kSectionBreakPos, 1);
  return BreakLevels{l, l, l};
}

std::string BreakPrefix(const std::string& code, const BreakLevels& levels) {
  const char first = code.empty() ? ' ' : code[0];
  const int length = first >= '0' && first <= '9' ? levels.general : first == 'C' ? levels.customer : levels.other;
  std::string prefix = code.substr(0, static_cast<std::size_t>(length));
  prefix.resize(static_cast<std::size_t>(length), ' ');
  return prefix;
}

std::string BuildBreakList(Table& t, const char* codeTag, const BreakLevels& levels) {
  std::string list = "/";
  if (!t.isOpen) return list;
  int group = 0;
  auto add = [&](const std::string& prefix) {
    if (++group % 2 == 1) list += prefix + "/";
  };
  if (levels.AllOne()) {
    for (const char* c = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"; *c != '\0'; ++c) {
      const char key[2] = {*c, '\0'};
      if (t.Find(codeTag, key).IsFound() && !t.eof && t.recordNumber != 0) add(std::string(1, *c));
    }
    return list;
  }
  // One walk in code order, from a group straight to the first code past its prefix (every code of a prefix
  // lies together in the key order).
  const std::string last(kChartCodeWidth, LastByte());
  if (!t.GoTop(codeTag)) return list;
  while (!t.eof && t.recordNumber != 0) {
    const std::string prefix = BreakPrefix(CodeHere(t), levels);
    add(prefix);
    const std::string past = prefix + last.substr(prefix.size());
    if (!t.FindNotBelow(codeTag, past.c_str()).IsFound()) break;
    while (!t.eof && t.recordNumber != 0 && CodeHere(t).compare(0, prefix.size(), prefix) == 0) t.Skip(1);
  }
  return list;
}

bool IsShadedCode(const std::string& breakList, const std::string& code, const BreakLevels& levels) {
  if (breakList.empty()) return false;
  return breakList.find("/" + BreakPrefix(code, levels) + "/") == std::string::npos;
}

}  // namespace masterdata
