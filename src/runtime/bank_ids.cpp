#include "runtime/bank_ids.h"

#include <cstring>

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
  if (IsBlank(rib)) return -1;
  std::string text(rib);
  if (text.size() > 23) text.resize(23);
  text.resize(23, ' ');
  std::string digits;
  digits.reserve(30);
  for (int i = 0; i < 23; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsAsciiDigit(c)) {
      digits += static_cast<char>(c);
    } else if (i >= 10 && i <= 20 && IsAsciiUpper(AsciiUpper(c))) {
      // Letters of the account number stand for digits.
      digits += static_cast<char>('0' + RibLetterValue(AsciiUpper(c)));
    } else {
      // Blanks (and any other character) count as "0".
      digits += '0';
    }
  }
  int r = Mod97(digits);
  int key = (digits[21] - '0') * 10 + (digits[22] - '0');
  if (key == 0) return 97 - r;
  if (r == 0) return 0;
  int right = key + 97 - r;
  if (right > 97) right -= 97;
  return right;
}

int CheckIban(const char* iban) {
  if (IsBlank(iban)) return -1;
  std::string text;
  for (const char* p = iban; *p; ++p) {
    if (*p != ' ') text += static_cast<char>(AsciiUpper(static_cast<unsigned char>(*p)));
  }
  // Country and check digits go to the end, the check digits as "00".
  std::string given = text.size() >= 4 ? text.substr(2, 2) : std::string();
  std::string moved = text.size() >= 4 ? text.substr(4) + text.substr(0, 2) + "00" : text + "00";
  std::string digits;
  for (unsigned char c : moved) {
    if (IsAsciiDigit(c)) {
      digits += static_cast<char>(c);
    } else if (IsAsciiUpper(c)) {
      int v = c - 'A' + 10;
      digits += static_cast<char>('0' + v / 10);
      digits += static_cast<char>('0' + v % 10);
    } else {
      // A character no IBAN holds: counted as an out-of-range value, so the
      // text can only match by chance of the remainder, never silently pass
      // as the digits it hides.
      digits += "99";
    }
  }
  int c = 98 - Mod97(digits);
  char two[3] = {static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10), 0};
  return given == two ? 0 : c;
}

namespace {

// The transfer-file character set, without the typographic quotes that the
// string holds (0x91 and 0x92 are no SEPA characters and would make the
// UTF-8 file ill-formed).
void SepaAllowed(bool (&allowed)[256]) {
  for (bool& a : allowed) a = false;
  for (const char* p = LoadStr(3213); *p; ++p) allowed[static_cast<unsigned char>(*p)] = true;
  allowed[0x91] = allowed[0x92] = false;
  allowed[0] = false;
}

unsigned char SepaChar(unsigned char c, const std::string& from, const std::string& to,
                       const bool* allowed) {
  std::size_t i = from.find(static_cast<char>(c));
  if (i != std::string::npos && i < to.size()) c = static_cast<unsigned char>(to[i]);
  return allowed[c] ? c : '-';
}

}  // namespace

std::string& SepaText(int n, std::string& text) {
  std::size_t limit = n > 1 ? static_cast<std::size_t>(n - 1) : 0;
  if (text.size() > limit) text.resize(limit);
  const std::string from = LoadStr(3211);
  const std::string to = LoadStr(3212);
  bool allowed[256];
  SepaAllowed(allowed);
  for (char& ch : text) {
    ch = static_cast<char>(SepaChar(static_cast<unsigned char>(ch), from, to, allowed));
  }
  return text;
}

char* SepaText(int n, char* text) {
  if (text == nullptr) return text;
  std::string work(text);
  SepaText(n, work);
  std::memcpy(text, work.c_str(), work.size() + 1);
  return text;
}
