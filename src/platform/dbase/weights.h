// Collating weights of cp1252 text. One 256-entry table serves the character keys of the
// indexes and the list orders of the window layer (OrderingTable): an accented letter weighs
// as its base letter and ties are broken by the byte, so "e" < "\xE9" < "\xE8" < "f" and
// "E" < "\xC9" < "F". Letters keep their case (upper case before lower case, as in the byte
// order); every other byte keeps its byte order. The table is a permutation of 0..255, so
// two texts compare equal only when their bytes are equal, and all texts that begin with a
// given prefix lie next to each other in this order (a partial key seek depends on it).
#pragma once

#include "engine_users.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dbase {

// Weight (rank 0..255) of every byte. Built once; safe to read from any thread.
const std::uint8_t* CollationWeights();

// The unaccented letter that an accented cp1252 letter weighs as ('\xE9' -> 'e'); any other
// byte is returned unchanged.
char BaseLetter(unsigned char c);

// Compares n bytes of a and b through the weights: < 0, 0 or > 0.
int CompareWeighted(const char* a, const char* b, std::size_t n);

// Compares two texts through the weights; a shorter text that is a prefix of the other
// comes first.
int CompareWeighted(std::string_view a, std::string_view b);

}  // namespace dbase
