// Sort weights of the list windows: the same 256 weights as the engine's
// character keys, so that a list compares codes in the order of its index.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class OrderingTable {
 public:
  OrderingTable();

  // Weight of one character.
  std::uint8_t Weight(unsigned char c) const { return weights_[c]; }
  // Every character of the text replaced by its weight.
  std::string MapThroughOrderingTable(std::string_view text) const;
  // Compares n characters of two texts that are already mapped (or not:
  // both are mapped here when `map` is set): < 0, 0, > 0.
  int Compare(std::string_view a, std::string_view b, bool map) const;

 private:
  std::uint8_t weights_[256];
};
