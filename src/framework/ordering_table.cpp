#include "data/collation.h"
#include "framework/ordering_table.h"

#include <algorithm>
#include <cstring>


OrderingTable::OrderingTable() { std::memcpy(weights_, CollationWeights(), sizeof weights_); }

std::string OrderingTable::MapThroughOrderingTable(std::string_view text) const {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(weights_[static_cast<unsigned char>(c)]);
  return out;
}

int OrderingTable::Compare(std::string_view a, std::string_view b, bool map) const {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    int wa = map ? weights_[static_cast<unsigned char>(a[i])] : static_cast<unsigned char>(a[i]);
    int wb = map ? weights_[static_cast<unsigned char>(b[i])] : static_cast<unsigned char>(b[i]);
    if (wa != wb) return wa < wb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}
