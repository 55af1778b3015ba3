// The collating order of cp1252 text that the indexes keep (the engine's weights), for the lists and walks that
// must sort as an index does: an accented letter weighs as its base letter, ties broken by the byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Weight (rank 0..255) of every byte.
const std::uint8_t* CollationWeights();

// Compares n bytes of a and b through the weights: < 0, 0 or > 0.
int CompareWeighted(const char* a, const char* b, std::size_t n);

// Compares two texts through the weights; a shorter text that is a prefix of the other comes first.
int CompareWeighted(std::string_view a, std::string_view b);
