// The kinds of code records kept in the general file C10, one letter each.
#pragma once

namespace masterdata {

// True for the letters of the eight code lists of the general file: Q banks, B collective accounts, T VAT codes,
// E establishments, J journals, L standard labels, M entry models, V distribution codes.
bool IsCodeListKind(char kind);

}  // namespace masterdata
