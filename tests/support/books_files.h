// What a test comparing a dossier's files leaves out: the journal the engine keeps beside an
// index for its updates ("c50xx.mdx.journal"). It holds no record of the books: made by the first
// station that writes the index, kept for the next update, emptied of what an ended update kept.
#pragma once

#include <string>

namespace test_support {

inline bool IsIndexJournal(const std::string& name) {
  static const std::string kEnd = ".mdx.journal";
  if (name.size() < kEnd.size()) return false;
  for (std::size_t i = 0; i < kEnd.size(); ++i) {
    char c = name[name.size() - kEnd.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kEnd[i]) return false;
  }
  return true;
}

}  // namespace test_support
