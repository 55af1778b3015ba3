#include "processing/core/word_search.h"

#include "runtime/text.h"

namespace processing {

std::vector<std::string> SearchedTexts(const ManualLine& line) {
  if (!line.reached) return {};
  return {line.piece, line.journal, line.labelText, line.label,
          GroupedAmount(line.cents), line.francsLetter};
}

WordSearchResult SearchRows(ManualMatching& list, std::size_t selected, bool goOn,
                            const std::function<bool(const std::string&)>& matches,
                            const std::function<bool()>& escapeDown) {
  WordSearchResult r;
  const std::vector<std::uint32_t>& rows = list.Rows();
  for (std::size_t i = goOn ? selected + 1 : selected; i < rows.size(); ++i) {
    const ManualLine line = list.ReadLine(rows[i]);
    for (const std::string& text : SearchedTexts(line)) {
      if (matches(text)) {
        r.end = WordSearchEnd::Found;
        r.row = i;
        return r;
      }
    }
    if (escapeDown && escapeDown()) {
      r.end = WordSearchEnd::Interrupted;
      return r;
    }
  }
  return r;
}

}  // namespace processing
