#include "runtime/bank_ids.h"

#include <array>
#include <cstring>

#include "resources/string_table.h"
#include "runtime/xbase.h"

namespace {

// Digit value of a letter of the RIB account number: A, J = 1; B, K, S = 2;
// ... I, R, Z = 9 (the series restart at J and at S, S counting as 2).
int RibLetterValue(unsigned char c) {
  if (c >= 'A' && c <= 'I') return c - 'A' + 1;
  if (c >= 'J' && c <= 'R') return c - 'J' + 1;
  if (c >= 'S' && c <= 'Z') return c - 'S' + 2;
  return 0;
}

bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsAsciiUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
unsigned char AsciiUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// Remainder modulo 97 of a decimal digit text, digit by digit, so that a
// number of any length is taken whole.
int Mod97(const std::string& digits) {
  int r = 0;
  for (unsigned char c : digits) r = (r * 10 + (c - '0')) % 97;
  return r;
}

}  // namespace

int CheckRibKey(const char* rib) {
  if (IsBlank(rib)) return kRibBlank;
  std::string text(rib);
  text.resize(23, ' ');
  // Bank code, branch code and account number as 21 digits.
  std::string digits;
  digits.reserve(23);
  for (int i = 0; i < 21; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
    if (IsAsciiDigit(c)) {
      digits += static_cast<char>(c);
    } else if (c == ' ') {
      digits += '0';
    } else if (i >= 10 && IsAsciiUpper(AsciiUpper(c))) {
      // Letters of the account number stand for digits.
      digits += static_cast<char>('0' + RibLetterValue(AsciiUpper(c)));
    } else {
      // A letter in the bank or branch code, or a sign anywhere: no key
      // makes this a RIB.
      return kRibNotANumber;
    }
  }
  // The one key in 01-97 that makes the 23-digit number a multiple of 97.
  const int right = 97 - Mod97(digits + "00");
  int key = 0;
  for (int i = 21; i < 23; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
    if (!IsAsciiDigit(c) && c != ' ') return right;
    key = key * 10 + (c == ' ' ? 0 : c - '0');
  }
  return key == right ? 0 : right;
}

bool CheckBic(const char* bic) {
  if (IsBlank(bic)) return false;
  const std::string text = AllTrim(bic);
  if (text.size() != 8 && text.size() != 11) return false;
  for (std::size_t i = 0; i < 6; ++i)
    if (!IsAsciiUpper(static_cast<unsigned char>(text[i]))) return false;
  const unsigned char place1 = static_cast<unsigned char>(text[6]), place2 = static_cast<unsigned char>(text[7]);
  if (!IsAsciiUpper(place1) && !(place1 >= '2' && place1 <= '9')) return false;
  if (!(IsAsciiUpper(place2) && place2 != 'O') && !IsAsciiDigit(place2)) return false;
  for (std::size_t i = 8; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!IsAsciiUpper(c) && !IsAsciiDigit(c)) return false;
  }
  return true;
}

std::string CompactIban(const std::string& typed) {
  std::string out;
  out.reserve(typed.size());
  for (unsigned char c : typed)
    if (c != ' ') out += static_cast<char>(AsciiUpper(c));
  return out;
}

int CheckIban(const char* iban) {
  if (IsBlank(iban)) return -1;
  const std::string trimmed = AllTrim(iban);
  bool clean = true;
  for (unsigned char c : trimmed)
    if (!IsAsciiDigit(c) && !IsAsciiUpper(c)) clean = false;
  // The check digits its number gives are those of its compact form.
  const std::string text = CompactIban(trimmed);
  // Country and check digits go to the end, the check digits as "00".
  const std::string given = text.size() >= 4 ? text.substr(2, 2) : std::string();
  const std::string moved = text.size() >= 4 ? text.substr(4) + text.substr(0, 2) + "00" : text + "00";
  std::string digits;
  for (unsigned char c : moved) {
    if (IsAsciiDigit(c)) {
      digits += static_cast<char>(c);
    } else if (IsAsciiUpper(c)) {
      int v = c - 'A' + 10;
      digits += static_cast<char>('0' + v / 10);
      digits += static_cast<char>('0' + v % 10);
    } else {
      // A character no IBAN holds: counted as an out-of-range value.
      digits += "99";
    }
  }
  int c = 98 - Mod97(digits);
  char two[3] = {static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10), 0};
  return clean && given == two ? 0 : c;
}

namespace {

// The characters a transfer file may hold, and the accented letters with their plain letters, by
// their ids in the string table.
constexpr int kSepaCharacters = 3213;
constexpr int kAccentedLetters = 3211;
constexpr int kPlainLetters = 3212;

// What each byte becomes in a transfer file, built once from those three texts: accented letters
// their plain letters, every character outside the set (the typographic quotes that the string
// holds included: 0x91 and 0x92 are no SEPA characters and would make the UTF-8 file ill-formed)
// a hyphen.
const std::array<char, 256>& SepaMap() {
  static const std::array<char, 256> map = [] {
    const auto text = [](int id) {
      const std::string* s = resources::FindString(id);
      return s != nullptr ? *s : std::string();
    };
    bool allowed[256] = {};
    for (char c : text(kSepaCharacters)) allowed[static_cast<unsigned char>(c)] = true;
    allowed[0x91] = allowed[0x92] = false;
    allowed[0] = false;
    const std::string from = text(kAccentedLetters);
    const std::string to = text(kPlainLetters);
    std::array<char, 256> m{};
    for (int c = 0; c < 256; ++c) {
      unsigned char b = static_cast<unsigned char>(c);
      const std::size_t i = from.find(static_cast<char>(b));
      if (i != std::string::npos && i < to.size()) b = static_cast<unsigned char>(to[i]);
      m[static_cast<std::size_t>(c)] = allowed[b] ? static_cast<char>(b) : '-';
    }
    return m;
  }();
  return map;
}

}  // namespace

std::string& SepaText(int n, std::string& text) {
  std::size_t limit = n > 1 ? static_cast<std::size_t>(n - 1) : 0;
  if (text.size() > limit) text.resize(limit);
  const std::array<char, 256>& map = SepaMap();
  for (char& ch : text) ch = map[static_cast<unsigned char>(ch)];
  return text;
}

char* SepaText(int n, char* text) {
  if (text == nullptr) return text;
  std::string work(text);
  SepaText(n, work);
  std::memcpy(text, work.c_str(), work.size() + 1);
  return text;
}

int CheckSiren(const std::string& siren) {
  std::size_t first = siren.find_first_not_of(' ');
  if (first == std::string::npos) return kSirenBlank;
  std::size_t last = siren.find_last_not_of(' ');
  const std::string digits = siren.substr(first, last - first + 1);
  if (digits.size() != 9) return kSirenNotNineDigits;
  for (char c : digits)
    if (c < '0' || c > '9') return kSirenNotNineDigits;
  if (digits == "356000000") return 0;
  // Luhn: from the right, every second digit doubled, the digits of the products added.
  int sum = 0;
  for (int i = 0; i < 9; ++i) {
    int d = digits[8 - i] - '0';
    if (i % 2 == 1) {
      d *= 2;
      if (d > 9) d -= 9;
    }
    sum += d;
  }
  return sum % 10 == 0 ? 0 : kSirenWrongKey;
}
