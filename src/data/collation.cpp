#include "data/collation.h"

#include "platform/dbase/weights.h"

const std::uint8_t* CollationWeights() { return dbase::CollationWeights(); }

int CompareWeighted(const char* a, const char* b, std::size_t n) { return dbase::CompareWeighted(a, b, n); }

int CompareWeighted(std::string_view a, std::string_view b) { return dbase::CompareWeighted(a, b); }
