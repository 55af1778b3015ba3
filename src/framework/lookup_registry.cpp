#include "framework/lookup_registry.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/session_registry.h"
#include "runtime/xbase.h"

namespace {
// "%5i" of a number without its first character.
std::string Four(long n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%5li", n);
  return std::string(buf).substr(1);
}
int KeyAt(int s) { return s + 11; }
int PositionAt(int s, int w) { return s + w + 11; }
int HandleAt(int s, int w) { return s + w + 15; }
int CommandAt(int s, int w) { return s + w + 25; }
}  // namespace

unsigned long long ParseRegistryHandle(const std::string& text) {
  unsigned long long v = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || (i == 0 && c == kLookupAnswerMark)) continue;
    if (c < '0' || c > '9') return 0;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  return v;
}

void WriteLookupRequest(int s, int w, const std::string& text, int askerPosition, const std::string& askerHandle10,
                        unsigned returnCommand) {
  if (s <= 0 || w <= 0) return;
  std::string request = text;
  request.resize(static_cast<std::size_t>(w), ' ');
  request += Four(askerPosition);
  std::string handle = askerHandle10;
  handle.resize(10, ' ');
  if (handle[0] == kLookupAnswerMark) handle[0] = ' ';
  request += handle;
  request += Four(static_cast<long>(returnCommand));
  SetRegistryText(KeyAt(s), static_cast<int>(request.size()), request);
}

void WriteLookupAnswer(int s, int w, const std::string& code) {
  if (s <= 0 || w <= 0) return;
  SetRegistryText(KeyAt(s), w, code);
  SetRegistryText(HandleAt(s, w), 1, std::string(1, kLookupAnswerMark));
}

bool TakeLookupAnswer(int s, int w, const std::string& askerHandle10, std::string& code) {
  code.clear();
  if (s <= 0 || w <= 0) return false;
  const std::string handle = RegistryText(HandleAt(s, w), 10);
  if (handle.empty() || handle[0] != kLookupAnswerMark) return false;
  const unsigned long long asker = ParseRegistryHandle(handle);
  if (asker == 0 || asker != ParseRegistryHandle(askerHandle10)) return false;
  const std::string key = RegistryText(KeyAt(s), w);
  SetRegistryText(HandleAt(s, w), 1, " ");
  if (IsBlank(key)) return false;
  SetRegistryText(KeyAt(s), w, "");
  code = key;
  return true;
}

unsigned long long LookupAskerHandle(int s, int w) {
  return s > 0 && w >= 0 ? ParseRegistryHandle(RegistryText(HandleAt(s, w), 10)) : 0;
}

int LookupAskerPosition(int s, int w) {
  return s > 0 && w >= 0 ? std::atoi(RegistryText(PositionAt(s, w), 4).c_str()) : 0;
}

int LookupReturnCommand(int s, int w) {
  return s > 0 && w >= 0 ? std::atoi(RegistryText(CommandAt(s, w), 4).c_str()) : 0;
}

bool LookupAskerAlive(int s, int w) {
  const int pos = LookupAskerPosition(s, w);
  if (pos <= 0) return false;
  const unsigned long long handle = LookupAskerHandle(s, w);
  return handle != 0 && ParseRegistryHandle(RegistryText(pos, 10)) == handle;
}
