// Type-ahead search, search of a row by key and the word-search helpers.
#include <algorithm>
#include <cstdlib>

#include "data/index_recovery.h"
#include "data/table.h"
#include "framework/browse.h"
#include "platform/gui/application.h"
#include "platform/gui/cursor.h"
#include "platform/system/clock.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/xbase.h"

namespace {
// The texts shown here, by their ids in the string table.
constexpr int kCursorBusy = 514;
constexpr int kCursorBackward = 513;
constexpr int kAccentedLetters = 2869;
constexpr int kPlainLetters = 2870;

// Now in milliseconds; tests replace the clock.
std::uint32_t Now() { return platform::GetTickCount(); }
}  // namespace

std::function<std::uint32_t()> BrowseTickSource;

const std::string& CMDIBrowse::TypeAheadChar(char c) {
  const std::uint32_t now = BrowseTickSource ? BrowseTickSource() : Now();
  const std::size_t room = static_cast<std::size_t>(std::max(keyWidth, 1));
  if (typeAhead_.size() >= room ||
      (!typeAhead_.empty() && now - typeAheadStart_ > static_cast<std::uint32_t>(typeAhead_.size()) * 1000u))
    typeAhead_.clear();
  if (IsBlank(typeAhead_)) {
    typeAhead_.clear();
    typeAheadStart_ = now;
  }
  typeAhead_ += c;
  return typeAhead_;
}

bool CMDIBrowse::SeekTypedKey(char) {
  gui::MessageBeep(0);
  return false;
}

bool CMDIBrowse::HasCurrentRecord(::Table* table) { return table != nullptr && !table->bof && !table->eof; }

std::string CMDIBrowse::GetRecordKey(::Table* table, int start, int length, int firstField) {
  if (table == nullptr || table->tag.empty() || length <= 0) return {};
  if (start < 1) start = 1;
  std::string key;
  const std::size_t need = static_cast<std::size_t>(start + length - 1);
  for (int f = firstField; f <= table->FieldCount() && key.size() < need; ++f) key += table->GetField(f);
  if (start > 1) key = key.size() >= static_cast<std::size_t>(start) ? key.substr(static_cast<std::size_t>(start - 1)) : std::string();
  key = key.substr(0, static_cast<std::size_t>(length));
  return ordering_.MapThroughOrderingTable(key);
}

bool CMDIBrowse::LocateRowByKey(::Table* table, const std::string& search, int keyStart, int position,
                                int firstField) {
  const std::size_t n = search.size();
  if (n == 0) return false;
  const std::string wanted = ordering_.MapThroughOrderingTable(search);
  const std::size_t at = static_cast<std::size_t>(std::max(position, 1) + 6);
  auto rowKey = [&](int i) -> std::string {
    const std::string& row = store_.rows[static_cast<std::size_t>(i)];
    return ordering_.MapThroughOrderingTable(at < row.size() ? row.substr(at, n) : std::string());
  };
  auto recordKey = [&]() { return GetRecordKey(table, keyStart, static_cast<int>(n), firstField); };
  return ScrollToWanted(table, wanted, rowKey, recordKey);
}

bool CMDIBrowse::ScrollToRecordNumber(::Table* table, const std::string& number) {
  const std::string trimmed = AllTrim(number.c_str());
  if (trimmed.empty() || trimmed.size() > 6 || trimmed.find_first_not_of("0123456789") != std::string::npos) return false;
  if (table == nullptr) return false;
  const std::string wanted = StrZero(std::atol(trimmed.c_str()), 6);
  auto rowNumber = [&](int i) -> std::string {
    const std::string& row = store_.rows[static_cast<std::size_t>(i)];
    return row.size() >= 6 ? row.substr(0, 6) : std::string();
  };
  auto current = [&]() -> std::string { return StrZero(static_cast<long>(table->recordNumber), 6); };
  return ScrollToWanted(table, wanted, rowNumber, current);
}

// Brings the rows whose key (rowKey of a page row, recordKey of the table's current record, in the list's order)
// starts at wanted onto the page: from the first visible row the table is walked forward or back to the first
// record at or after wanted, and the page refilled from there; the row found is selected.
bool CMDIBrowse::ScrollToWanted(::Table* table, const std::string& wanted,
                                const std::function<std::string(int row)>& rowKey,
                                const std::function<std::string()>& recordKey) {
  const int rpp = store_.rowsPerPage;
  const long oldTop = store_.top;
  if (rpp <= 0) return false;
  if (rpp >= store_.totalRows) {
    FillRowsFromFirst(store_.rows, 0, rpp);
    store_.top = 0;
  } else if (store_.RecordNumberOf(0) != 0) {
    PositionOnRecord(store_.RecordNumberOf(0), 0);
    const int cmp = rowKey(0).compare(wanted);
    const long last = store_.LastTop();
    if (cmp < 0) {
      if (store_.top < last) {
        gui::SetNamedCursor(LoadStr(kCursorBusy));
        while (HasCurrentRecord(table) && recordKey() < wanted) {
          SkipRecords(1);
          if (store_.top < last) ++store_.top;
        }
        if (HasCurrentRecord(table) && store_.top < last) {
          FillRowsForward(store_.rows, 0, rpp, 0);
        } else {
          FillRowsFromLast(store_.rows, rpp - 1, rpp);
          store_.top = last;
        }
      } else {
        FillRowsFromLast(store_.rows, rpp - 1, rpp);
      }
    } else if (cmp > 0) {
      if (store_.top > 0) {
        // Back over every key at or above the search text, then one step
        // forward: the page starts with the first record of that key, not
        // the last one.
        gui::SetNamedCursor(LoadStr(kCursorBackward));
        while (HasCurrentRecord(table) && recordKey() >= wanted) {
          SkipRecords(-1);
          if (store_.top > 0) --store_.top;
        }
        if (HasCurrentRecord(table)) {
          SkipRecords(1);
          FillRowsForward(store_.rows, 0, rpp, 0);
        } else {
          FillRowsFromFirst(store_.rows, 0, rpp);
          store_.top = 0;
        }
      } else {
        FillRowsFromFirst(store_.rows, 0, rpp);
      }
    }
    UpdateScroller();
    if (store_.top != oldTop) UpdateTooltip();
    Repaint();
  }
  bool found = false;
  for (int i = 0; i < rpp; ++i) {
    if (store_.RecordNumberOf(i) == 0) break;
    if (rowKey(i) == wanted) {
      const int old = GetSelectedRowIndex();
      store_.selected = store_.top + i + 1;
      RepaintRow(old);
      RepaintRow(i + 1);
      found = true;
      break;
    }
  }
  gui::SetArrowCursor();
  return found;
}

bool CMDIBrowse::ShowCode(const std::string& code) {
  ::Table* t = codeIndex.table;
  if (t == nullptr || code.empty()) return false;
  const std::string& prefix = codeIndex.prefix;
  if (!t->Find(codeIndex.tag, prefix.c_str(), code.c_str()).IsFound() || !HasCurrentRecord(t)) return false;
  // Ranks in the index: the list's first record (the prefix's first entry),
  // then the code's, which leaves the table on the code's record. An index
  // file that cannot be read gives 0: the walk of LocateRowByKey alone then
  // brings the row from the visible page.
  const char* tag = codeIndex.tag.c_str();
  const long first = prefix.empty() ? 1 : static_cast<long>(CountIndexEntries(*t, tag, 2, prefix.c_str()));
  const long rank = static_cast<long>(CountIndexEntries(*t, tag, 2, (prefix + code).c_str()));
  if (first > 0 && rank >= first) SelectRow(rank, first);
  return LocateRowByKey(t, code, 1, 1, codeIndex.firstField);
}

// ---- word search -------------------------------------------------------------------

namespace {
bool FoldAccentsWanted() {
  const std::string c = TheDossierRecord.Constant(64);
  return !c.empty() && c[0] == 'O';
}

// What every byte becomes when folded: its capital, a blank for "^", and with the accents folded the letter of
// string 2870 for each accented capital of string 2869. Built once for each setting of constant 064.
const char* FoldTable(bool accents) {
  static char tables[2][256];
  static bool built[2] = {false, false};
  char* t = tables[accents ? 1 : 0];
  if (!built[accents ? 1 : 0]) {
    t[0] = 0;
    for (int b = 1; b < 256; ++b) t[b] = Upper(std::string(1, static_cast<char>(b)).c_str())[0];
    t[static_cast<unsigned char>('^')] = ' ';
    if (accents) {
      const std::string from = LoadStr(kAccentedLetters), to = LoadStr(kPlainLetters);
      for (int b = 1; b < 256; ++b) {
        const std::size_t k = from.find(t[b]);
        if (k != std::string::npos && k < to.size()) t[b] = to[k];
      }
    }
    built[accents ? 1 : 0] = true;
  }
  return t;
}

void FoldInPlace(std::string& text, const char* table) {
  for (char& c : text) c = table[static_cast<unsigned char>(c)];
}
}  // namespace

void FoldAccentsUpper(std::vector<std::string>& texts) {
  const char* table = FoldTable(FoldAccentsWanted());
  for (std::string& t : texts) FoldInPlace(t, table);
}

bool FindFolded(const std::vector<std::string>& words, const std::string& text) {
  if (text.empty()) return false;
  // The field text and a single search text are folded as the words of a "&" or "|" search are: "dupont" finds
  // "DUPONT" and, under constant 064, "G\xE9raud" typed finds "GERAUD".
  const char* table = FoldTable(FoldAccentsWanted());
  std::string folded = text;
  FoldInPlace(folded, table);
  if (BrowseSearchText.find_first_of("&|") != std::string::npos) {
    for (const std::string& w : words)
      if (!w.empty() && folded.find(w) != std::string::npos) return true;
    return false;
  }
  std::string wanted = AllTrim(BrowseSearchText.c_str());
  FoldInPlace(wanted, table);
  return !wanted.empty() && folded.find(wanted) != std::string::npos;
}
