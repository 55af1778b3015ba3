#include "entry/core/models.h"

#include "data/entry_lines.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

namespace entry {

namespace {

constexpr std::size_t kKeywordLength = 3;
constexpr std::size_t kAccountWidth = 8, kLabelCodeWidth = 1, kLabelWidth = 25, kSenseWidth = 1;
const char* const kLineBreak = "\r\n";

// A copy with the ASCII letters in capitals: the keywords are ASCII, the text keeps its own case.
std::string Capitals(const std::string& text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// The current line: the text up to its first line break (the whole text without one).
std::string CurrentLine(const std::string& text) {
  const std::size_t end = text.find(kLineBreak);
  return end == std::string::npos ? text : text.substr(0, end + 1);
}

}  // namespace

int FindModelKeyword(const std::string& text, const std::string& keyword) {
  if (text.empty() || keyword.empty()) return 0;
  const std::size_t at = Capitals(CurrentLine(text)).find(Capitals(keyword));
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

int FindModelKeyword(const std::string& text, int keywordId) { return FindModelKeyword(text, std::string(LoadStr(keywordId))); }

std::string ModelValue(const std::string& text, int position, std::size_t width) {
  if (position <= 0) return {};
  const std::size_t start = static_cast<std::size_t>(position - 1) + kKeywordLength;
  if (start >= text.size()) return {};
  std::size_t end = text.find_first_of("\r\n", start);
  if (end == std::string::npos) end = text.size();
  std::size_t count = end - start;
  if (width > 0 && count > width) count = width;
  return text.substr(start, count);
}

ModelLine ReadModelLine(const std::string& text) {
  ModelLine m;
  int at = FindModelKeyword(text, kKeywordAccount);
  if (at == 0) at = FindModelKeyword(text, kKeywordCounterpart);
  if (at > 0) {
    m.hasAccount = true;
    m.account = AllTrim(ModelValue(text, at, kAccountWidth).c_str());
  }
  if ((at = FindModelKeyword(text, kKeywordLabelCode)) > 0) m.labelCode = ModelValue(text, at, kLabelCodeWidth);
  if ((at = FindModelKeyword(text, kKeywordLabel)) > 0) {
    m.hasLabel = true;
    m.label = RTrim(ModelValue(text, at, kLabelWidth).c_str());
  }
  if ((at = FindModelKeyword(text, kKeywordSense)) > 0) {
    const std::string sense = ModelValue(text, at, kSenseWidth);
    if (!IsBlank(sense)) m.sense = Capitals(sense)[0] == 'D' ? 'D' : 'C';
  }
  if (FindModelKeyword(text, kKeywordBalance) > 0) {
    m.amount = ModelLine::Amount::Balance;
  } else if ((at = FindModelKeyword(text, kKeywordAmount)) > 0) {
    m.amount = ModelLine::Amount::Value;
    m.value = Val(ModelValue(text, at, 0).c_str());
  }
  m.lookup = FindModelKeyword(text, kKeywordLookup) > 0;
  return m;
}

bool NextModelLine(std::string& text) {
  const std::size_t end = text.find(kLineBreak);
  if (end == std::string::npos) return false;
  text = text.substr(end + 2) + text.substr(0, end + 2);
  return true;
}

bool DropSavedModelLine(std::string& text, const std::string& savedAccount) {
  int at = FindModelKeyword(text, kKeywordAccount);
  if (at == 0) at = FindModelKeyword(text, kKeywordCounterpart);
  if (at == 0) return false;
  const std::string value = AllTrim(ModelValue(text, at, kAccountWidth).c_str());
  if (savedAccount.compare(0, value.size(), value) != 0) return false;
  const std::size_t end = text.find(kLineBreak);
  text = end == std::string::npos ? std::string() : text.substr(end + 2);
  return true;
}

void ProposeCounterpart(std::string& text, const std::string& counterpart) {
  const std::string account = NormalizeAccount(counterpart);
  const std::string keyword = LoadStr(kKeywordCounterpart);
  // An earlier proposal leaves: the keyword, its value (to the end of its line) and its line break.
  std::size_t removedAt = std::string::npos;
  const std::size_t at = Capitals(text).find(Capitals(keyword));
  if (at != std::string::npos) {
    std::size_t end = at + keyword.size();
    while (end < text.size() && end < at + keyword.size() + kAccountWidth && text[end] != '\r' && text[end] != '\n') ++end;
    if (text.compare(end, 2, kLineBreak) == 0) end += 2;
    text.erase(at, end - at);
    removedAt = at;
  }
  if (account.empty()) return;
  if (Capitals(text).find(Capitals(std::string(LoadStr(kKeywordAccount)) + account)) != std::string::npos) return;
  const std::string proposal = keyword + account + kLineBreak;
  if (removedAt != std::string::npos && removedAt < text.size()) {
    text.insert(removedAt, proposal);
    return;
  }
  // Appended as a line of its own, after the last line's break.
  if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, kLineBreak) != 0)) text += kLineBreak;
  text += proposal;
}

}  // namespace entry
