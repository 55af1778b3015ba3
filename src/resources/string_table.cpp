#include "resources/string_table.h"

#include <algorithm>
#include <utility>

#include "platform/system/cp1252.h"
#include "resources/string_table_data.h"

namespace resources {
namespace {

// Converted once, at first use; sorted by id as generated.
const std::vector<std::pair<int, std::string>>& Table() {
  static const std::vector<std::pair<int, std::string>> table = [] {
    std::vector<std::pair<int, std::string>> t;
    t.reserve(detail::kRawStringCount);
    for (unsigned i = 0; i < detail::kRawStringCount; ++i) {
      const auto& raw = detail::kRawStrings[i];
      std::string cp;
      // The build refuses texts outside cp1252, so this always succeeds.
      platform::Utf8ToCp1252(std::string_view(raw.utf8, raw.length), cp, platform::Unassigned::kRefuse);
      t.emplace_back(raw.id, std::move(cp));
    }
    return t;
  }();
  return table;
}

}  // namespace

const std::string* FindString(int id) {
  const auto& t = Table();
  auto it = std::lower_bound(t.begin(), t.end(), id,
                             [](const std::pair<int, std::string>& e, int v) { return e.first < v; });
  if (it == t.end() || it->first != id) return nullptr;
  return &it->second;
}

const char* LastingText(int id) {
  const std::string* text = FindString(id);
  return text != nullptr ? text->c_str() : "";
}

std::string FillValues(std::string_view message, const std::string_view* values, std::size_t count) {
  std::string out;
  const std::string_view* value = values;
  std::size_t from = 0;
  for (std::size_t at = message.find("%s"); at != std::string_view::npos && value != values + count;
       at = message.find("%s", from)) {
    out.append(message.substr(from, at - from)).append(*value++);
    from = at + 2;
  }
  return out.append(message.substr(from));
}

std::vector<int> StringIds() {
  std::vector<int> ids;
  for (const auto& e : Table()) ids.push_back(e.first);
  return ids;
}

}  // namespace resources

const char* LoadStr(int id) { return resources::LastingText(id); }
