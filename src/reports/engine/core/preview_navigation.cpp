#include "reports/engine/core/preview_navigation.h"

#include <vector>

#include "reports/engine/core/report_text.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace reports {

namespace {

// A search that found nothing (%s: the words searched).
constexpr int kMsgSearchNotFound = 14188;

bool FoundInText(const PreviewPage& page, std::string_view word, std::string& upper) {
  if (word.empty()) return false;
  for (const PageRecord& r : page) {
    if (static_cast<unsigned char>(r.kind) < static_cast<unsigned char>('X')) continue;
    upper.assign(r.text);
    for (char& c : upper) c = UpperChar(c);
    if (upper.find(word) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

bool PageMatches(const PreviewPage& page, std::string_view searchText) {
  std::string upper;
  if (searchText.find_first_of("&|") == std::string_view::npos) return FoundInText(page, searchText, upper);
  // The chain: each word with the separator after it (0 at the end of the text).
  std::vector<std::string_view> words;
  std::vector<char> separators;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= searchText.size(); ++i) {
    if (i == searchText.size() || searchText[i] == '&' || searchText[i] == '|') {
      words.push_back(searchText.substr(start, i - start));
      separators.push_back(i == searchText.size() ? '\0' : searchText[i]);
      start = i + 1;
    }
  }
  std::size_t i = 0;
  while (i < words.size()) {
    const bool found = FoundInText(page, words[i], upper);
    const char separator = separators[i];
    if (found && separator != '&') return true;
    if (found || separator == '|') {
      ++i;
      // A trailing separator: the next word is expected and there is none.
      if (i >= words.size() || (i == words.size() - 1 && words[i].empty() && separators[i] == '\0')) return false;
      continue;
    }
    return false;
  }
  return false;
}

int FindWord(const PreviewPageStore& store, std::string_view searchText, int currentPage, bool again, int pageCount,
             int renderedPages, const std::function<void(int)>& onPage) {
  int start = currentPage + (again ? 1 : 0);
  if (start > pageCount || start < 1) start = 1;
  for (int p = start; p <= renderedPages; ++p) {
    if (onPage) onPage(p);
    const PreviewPage* page = store.Page(p);
    if (page != nullptr && PageMatches(*page, searchText)) return p;
  }
  return 0;
}

std::string SearchNotFoundText(std::string_view searchText) {
  return FillPlaceholder(LoadStr(kMsgSearchNotFound), searchText);
}

void ApplyPaintMode(PreviewView& v, int mode) {
  if (mode == 1) return;
  if (mode == 0 || v.zoom > 2) {
    v.zoom = 1;
  } else {
    v.zoom *= 2;
  }
  if (v.zoom == 1) {
    v.scrollX = v.scrollY = 0;
  } else {
    v.scrollX = 2 * v.scrollX - v.zoomPointX;
    v.scrollY = 2 * v.scrollY - v.zoomPointY;
  }
}

bool ScrollLeft(PreviewView& v, int clientWidth) {
  if (v.scrollX >= 0) return false;
  int x = v.scrollX + static_cast<int>(0.8 * clientWidth);
  v.scrollX = x > 0 ? 0 : x;
  return true;
}

namespace {

// The step right or down: the new offset, or the same one when nothing moves.
int StepForward(int scroll, int extent, int zoom, int client, double factor) {
  const long long size = static_cast<long long>(zoom) * extent;
  if (size < client) return scroll;
  const int step = static_cast<int>(factor * client);
  int next = scroll - step;
  if (static_cast<long long>(factor * client - next) > size) next = static_cast<int>(step - size);
  return next;
}

}  // namespace

bool ScrollRight(PreviewView& v, int clientWidth) {
  const int next = StepForward(v.scrollX, v.extentX, v.zoom, clientWidth, 0.7);
  if (next == v.scrollX) return false;
  v.scrollX = next;
  return true;
}

bool ScrollUp(PreviewView& v, int clientHeight, bool large) {
  if (v.scrollY >= 0) return false;
  int y = v.scrollY + static_cast<int>((large ? 0.7 : 0.2) * clientHeight);
  v.scrollY = y > 0 ? 0 : y;
  return true;
}

bool ScrollDown(PreviewView& v, int clientHeight, bool large) {
  const int next = StepForward(v.scrollY, v.extentY, v.zoom, clientHeight, large ? 0.7 : 0.2);
  if (next == v.scrollY) return false;
  v.scrollY = next;
  return true;
}

bool CanScrollRight(const PreviewView& v, int clientWidth) {
  return v.extentX == 0 || StepForward(v.scrollX, v.extentX, v.zoom, clientWidth, 0.7) != v.scrollX;
}

bool CanScrollDown(const PreviewView& v, int clientHeight) {
  return v.extentY == 0 || StepForward(v.scrollY, v.extentY, v.zoom, clientHeight, 0.7) != v.scrollY;
}

int MarkerLineY(int clickY, int lineHeight) {
  if (lineHeight < 1) lineHeight = 1;
  return (clickY / lineHeight + 1) * lineHeight + 3;
}

}  // namespace reports
