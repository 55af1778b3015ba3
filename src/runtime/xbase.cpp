#include "runtime/xbase.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/system/cp1252.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_internal.h"

char EmptyText[1] = {0};
char ScratchText[kScratchTextSize] = {0};
std::string OpenWindowRegistry;

namespace {

struct Ring {
  std::unique_ptr<char[]> slot[kRingSlots];
  std::size_t room[kRingSlots] = {};
  int index = kRingSlots - 1;  // the first use takes slot 0
};

Ring& TheRing() {
  static Ring ring;
  return ring;
}

struct ConcatState {
  std::string buffer[2];
  int toggle = 0;
};

ConcatState& TheConcat() {
  static ConcatState c;
  return c;
}

const char* Safe(const char* t) { return t ? t : ""; }

}  // namespace

void ResetTextBuffers() {
  Ring& r = TheRing();
  for (int i = 0; i < kRingSlots; ++i) {
    if (r.room[i] < kRingSlotRoom) {
      r.slot[i] = std::make_unique<char[]>(kRingSlotRoom + 1);
      r.room[i] = kRingSlotRoom;
    }
    r.slot[i][0] = 0;
  }
  r.index = kRingSlots - 1;
  ConcatState& c = TheConcat();
  for (auto& b : c.buffer) {
    b.clear();
    b.reserve(kRingSlotRoom);
  }
  c.toggle = 0;
  ScratchText[0] = 0;
}

void FreeTextBuffers() {
  Ring& r = TheRing();
  for (int i = 0; i < kRingSlots; ++i) {
    r.slot[i].reset();
    r.room[i] = 0;
  }
  r.index = kRingSlots - 1;
  ConcatState& c = TheConcat();
  for (auto& b : c.buffer) std::string().swap(b);
  c.toggle = 0;
}

char* NextRingSlot(std::size_t length) {
  Ring& r = TheRing();
  r.index = (r.index + 1) % kRingSlots;
  int i = r.index;
  if (!r.slot[i] || r.room[i] < length) {
    std::size_t room = length < kRingSlotRoom && !r.slot[i] ? kRingSlotRoom : length;
    r.slot[i] = std::make_unique<char[]>(room + 1);
    r.room[i] = room;
  }
  return r.slot[i].get();
}

char* RingCopy(std::string_view text) {
  char* s = NextRingSlot(text.size());
  // An empty view may hold no address at all, which memcpy must not be given.
  if (!text.empty()) std::memcpy(s, text.data(), text.size());
  s[text.size()] = 0;
  return s;
}

std::size_t RingSlotRoom(int slot) {
  if (slot < 0 || slot >= kRingSlots) return 0;
  return TheRing().room[slot];
}

int RingIndex() { return TheRing().index; }

char* SubStr(const char* text, int position, int length) {
  text = Safe(text);
  std::size_t n = std::strlen(text);
  if (n == 0 || position < 1 || static_cast<std::size_t>(position) > n || length < 0) return EmptyText;
  std::size_t from = static_cast<std::size_t>(position) - 1;
  std::size_t count = n - from;
  if (length > 0 && static_cast<std::size_t>(length) < count) count = static_cast<std::size_t>(length);
  return RingCopy(std::string_view(text + from, count));
}

char* Left(const char* text, int n) { return SubStr(text, 1, n); }

char* Space(int n) {
  if (n < 1) return EmptyText;
  char* s = NextRingSlot(static_cast<std::size_t>(n));
  std::memset(s, ' ', static_cast<std::size_t>(n));
  s[n] = 0;
  return s;
}

char* Replicate(const char* text, int n) {
  text = Safe(text);
  if (n < 1 || text[0] == 0) return EmptyText;
  char* s = NextRingSlot(static_cast<std::size_t>(n));
  std::memset(s, text[0], static_cast<std::size_t>(n));
  s[n] = 0;
  return s;
}

char* RTrim(const char* text) {
  text = Safe(text);
  std::size_t n = std::strlen(text);
  while (n > 0 && text[n - 1] == ' ') --n;
  return RingCopy(std::string_view(text, n));
}

char* LTrim(const char* text) {
  text = Safe(text);
  while (*text == ' ') ++text;
  return RingCopy(text);
}

char* AllTrim(const char* text) { return LTrim(RTrim(text)); }

char* Upper(const char* text) {
  char* s = RingCopy(Safe(text));
  for (char* p = s; *p; ++p) *p = static_cast<char>(platform::Cp1252Upper(static_cast<unsigned char>(*p)));
  return s;
}

char* Lower(const char* text) {
  char* s = RingCopy(Safe(text));
  for (char* p = s; *p; ++p) *p = static_cast<char>(platform::Cp1252Lower(static_cast<unsigned char>(*p)));
  return s;
}

char* Chr(char c) { return RingCopy(std::string_view(&c, 1)); }

char* StrInt(int value, int n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%5i", value);
  int from = 6 - n;
  if (from < 1) from = 1;
  return SubStr(buf, from, 0);
}

char* StrZero(long value, int n) {
  char buf[32];
  if (value >= 0 && value <= 999999) {
    // The common case (record numbers, groups), written without the formatted print.
    long rest = value;
    for (int i = 5; i >= 0; --i, rest /= 10) buf[i] = static_cast<char>('0' + rest % 10);
  } else {
    std::snprintf(buf, sizeof buf, "%6ld", value);
  }
  buf[6] = 0;
  int i = 0;
  while (buf[i] == ' ') buf[i++] = '0';
  if (buf[i] == '-' && i > 0) {
    buf[i] = '0';
    buf[0] = '-';
  }
  if (n < 1 || n > 6) n = 6;
  return RingCopy(std::string_view(buf + 6 - n, static_cast<std::size_t>(n)));
}

char* StrNum10(std::uint32_t value) { return FormatNumber(10, 0, false, static_cast<double>(value)); }

int SessionInt(int position) {
  if (position < 1 || static_cast<std::size_t>(position) > OpenWindowRegistry.size()) return 0;
  std::string field = OpenWindowRegistry.substr(static_cast<std::size_t>(position) - 1, 10);
  return std::atoi(field.c_str());
}

char CharAt(int position, const char* text) {
  text = Safe(text);
  if (position < 1 || static_cast<std::size_t>(position) > std::strlen(text)) return 0;
  return text[position - 1];
}

void SetCharAt(int position, char* text, char c) {
  if (!text || position < 1 || static_cast<std::size_t>(position) > std::strlen(text)) return;
  text[position - 1] = c;
}

void SetCharAt(int position, std::string& text, char c) {
  if (position < 1 || static_cast<std::size_t>(position) > text.size()) return;
  text[static_cast<std::size_t>(position) - 1] = c;
}

void SetCharAtFrom(int position, char* text, const char* other) { SetCharAt(position, text, Safe(other)[0]); }
void SetCharAtFrom(int position, std::string& text, const char* other) {
  SetCharAt(position, text, Safe(other)[0]);
}

bool IsBlank(const char* text) {
  for (const char* p = Safe(text); *p; ++p)
    if (*p != ' ') return false;
  return true;
}

char* Concat(const char* t1, const char* t2, const char* t3, const char* t4, const char* t5,
             const char* t6, const char* t7, const char* t8, const char* t9, const char* t10) {
  ConcatState& c = TheConcat();
  c.toggle ^= 1;
  // Build aside first: an argument may be the other buffer's (or this one's) text.
  std::string joined;
  for (const char* t : {t1, t2, t3, t4, t5, t6, t7, t8, t9, t10}) joined += Safe(t);
  std::string& b = c.buffer[c.toggle];
  b = std::move(joined);
  return b.data();
}

bool Stuff(std::string& text, int position, int length, const char* replacement) {
  if (position < 1 || static_cast<std::size_t>(position) > text.size()) return false;
  std::size_t from = static_cast<std::size_t>(position) - 1;
  std::size_t count = length < 0 ? 0 : static_cast<std::size_t>(length);
  if (count > text.size() - from) count = text.size() - from;
  std::string_view repl = Safe(replacement);
  if (text.size() - count + repl.size() > kStuffBufferRoom) return false;
  text.replace(from, count, repl);
  return true;
}

void PadTo(std::string& text, int n, const char* fill) {
  if (n <= 0) {
    text.clear();
    return;
  }
  std::size_t want = static_cast<std::size_t>(n);
  std::string_view f = Safe(fill);
  if (text.size() < want && !f.empty()) {
    std::size_t times = want - text.size();
    // Appending more than enough copies changes nothing once cut to n.
    while (times-- > 0 && text.size() < want) text.append(f);
  }
  if (text.size() > want) text.resize(want);
}

bool StrTran(std::string& text, const char* search, const char* replacement) {
  std::string_view s = Safe(search), r = Safe(replacement);
  if (!s.empty() && !r.empty() && r.find(s) != std::string_view::npos) {
    RuntimeBeep(0);
    std::string caption = std::string("Cherche: ") + std::string(s);
    std::string body = "Remplace: " + std::string(r);
    RuntimeMessage(caption.c_str(), body.c_str(), kMbIconStop);
    return false;
  }
  if (s.empty() || text.empty() || text.find(s) == std::string::npos) return true;

  // Leftmost replacement, repeated from the start, done in one pass: `out`
  // never holds an occurrence, so the first time it ends with the search text
  // that is the leftmost occurrence of the whole text; its replacement goes
  // back in front of the unread input (kept reversed in `pending`), because
  // it may form a new occurrence with what follows.
  std::string out;
  out.reserve(text.size());
  std::string pending(text.rbegin(), text.rend());
  std::size_t steps = 0;
  const std::size_t maxSteps = 64 * kStuffBufferRoom;
  while (!pending.empty()) {
    out.push_back(pending.back());
    pending.pop_back();
    if (out.size() >= s.size() && std::string_view(out).substr(out.size() - s.size()) == s) {
      out.resize(out.size() - s.size());
      pending.append(r.rbegin(), r.rend());
      if (out.size() + pending.size() > kStuffBufferRoom || ++steps > maxSteps) return false;
    }
  }
  text = std::move(out);
  return true;
}

int At(const char* text, const char* search, int start, int limit) {
  std::string_view t = Safe(text), s = Safe(search);
  if (t.empty() || s.empty() || start < 1 || static_cast<std::size_t>(start) > t.size()) return 0;
  std::size_t found = t.find(s, static_cast<std::size_t>(start) - 1);
  if (found == std::string_view::npos) return 0;
  int offset = static_cast<int>(found) - (start - 1);
  if (limit != 0 && offset > limit) return 0;
  return offset + 1;
}

int RAt(const char* text, const char* search) {
  std::string_view t = Safe(text), s = Safe(search);
  if (t.empty() || s.empty()) return 0;
  std::size_t found = t.rfind(s);
  return found == std::string_view::npos ? 0 : static_cast<int>(found) + 1;
}

int CountLines(const char* text) {
  std::string_view t = Safe(text);
  if (t.empty()) return 0;
  if (t.size() == 1) return 1;
  int n = 1;
  for (std::size_t p = t.find("\r\n"); p != std::string_view::npos; p = t.find("\r\n", p + 2)) ++n;
  return n;
}

std::vector<std::string> SplitText(const char* text, bool skipBlank, char separator, char extra1,
                                   char extra2) {
  std::vector<std::string> out;
  std::string copy = Safe(text);
  if (separator == 0) {
    if (!IsBlank(copy)) out.push_back(copy);
    return out;
  }
  for (char extra : {extra1, extra2})
    if (extra != 0)
      for (char& c : copy)
        if (c == extra) c = separator;
  std::size_t from = 0;
  for (std::size_t p = copy.find(separator); p != std::string::npos; p = copy.find(separator, from)) {
    std::string piece = copy.substr(from, p - from);
    if (!(skipBlank && IsBlank(piece))) out.push_back(std::move(piece));
    from = p + 1;
  }
  std::string rest = copy.substr(from);
  if (!IsBlank(rest)) out.push_back(std::move(rest));
  return out;
}

static void ProperCaseBytes(char* s, std::size_t n) {
  if (n == 0) return;
  if (n > 3) {
    for (std::size_t i = 3; i < n; ++i) {
      unsigned char prev = static_cast<unsigned char>(s[i - 1]);
      bool upper = prev == '\\' || prev == '/' || prev == ' ' || prev == '-' || prev == '_' ||
                   (prev >= '0' && prev <= '9');
      char c = s[i];
      if (upper && c >= 'a' && c <= 'z') s[i] = static_cast<char>(c - 32);
      if (!upper && c >= 'A' && c <= 'Z') s[i] = static_cast<char>(c + 32);
    }
  }
  if (s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 32);
}

char* ProperCase(char* text) {
  if (text) ProperCaseBytes(text, std::strlen(text));
  return text;
}

std::string& ProperCase(std::string& text) {
  ProperCaseBytes(text.data(), text.size());
  return text;
}
