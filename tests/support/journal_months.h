// The draft's journal-months by their number of lines, as the validation tests pick the months to
// validate in a generated dossier.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "data/entry_lines.h"
#include "data/table.h"

namespace test_support {

// The `count` journal-months ("MMJJ" as the validation request names them: month then journal)
// with the most live general lines in C50, the largest first; fewer when the draft has fewer.
inline std::vector<std::string> LargestJournalMonths(Table& c50, std::size_t count) {
  using L = LigneEcriture;
  std::map<std::string, long> months;
  for (bool more = c50.GoTop(""); more; more = c50.Skip(1))
    if (!c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z')
      ++months[std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL)];
  std::vector<std::pair<long, std::string>> bySize;
  for (const auto& [m, n] : months) bySize.emplace_back(-n, m);
  std::sort(bySize.begin(), bySize.end());
  std::vector<std::string> largest;
  for (std::size_t i = 0; i < bySize.size() && i < count; ++i) largest.push_back(bySize[i].second);
  return largest;
}

}  // namespace test_support
