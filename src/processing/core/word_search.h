// The walk of the word search of the manual matching list ("Chercher un mot", "Chercher
// encore"): from the selected row (or the row after it), the first row whose source line holds
// one of the words in its piece, journal, label code text, first label, amount as printed
// (blanks between groups of three digits, width 12, 2 decimals) or letter in francs. The
// matcher (the framework's FindFolded) and the Escape test come from the window.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "processing/core/manual_matching.h"

namespace processing {

enum class WordSearchEnd { Found, NotFound, Interrupted };

struct WordSearchResult {
  WordSearchEnd end = WordSearchEnd::NotFound;
  std::size_t row = 0;  // the row found
};

// The texts of a line that the search reads, in the order they are tested.
std::vector<std::string> SearchedTexts(const ManualLine& line);

WordSearchResult SearchRows(ManualMatching& list, std::size_t selected, bool goOn,
                            const std::function<bool(const std::string&)>& matches,
                            const std::function<bool()>& escapeDown);

}  // namespace processing
