// Index files: keys, descents and walks, and the read calls (seeks, walks, counts, checks).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "mdx_impl.h"

namespace dbase {

// ---- numeric keys -----------------------------------------------------------------------

// 12 bytes: byte 0 = 0x34 + decimal exponent (value = 0.d1d2... x 10^exponent), byte 1 =
// sign (0x80) | significant digits << 2 | 1, then 20 BCD digits, most significant first.
void NumberToBcdKey(double value, std::uint8_t out[12]) {
  std::memset(out, 0, 12);
  if (!std::isfinite(value) || value == 0) {
    out[0] = 0x34;
    out[1] = 0x01;
    return;
  }
  const bool neg = value < 0;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));  // d.dddddddddddddde+XX
  std::string digits;
  digits += buf[0];
  const char* p = buf + 2;
  while (*p && *p != 'e') digits += *p++;
  const int exp10 = std::atoi(p + 1) + 1;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int e = std::clamp(exp10, -0x34, 0xFF - 0x34);
  out[0] = static_cast<std::uint8_t>(0x34 + e);
  out[1] = static_cast<std::uint8_t>((neg ? 0x80 : 0) | (digits.size() & 0x1F) << 2 | 0x01);
  for (std::size_t i = 0; i < digits.size() && i < 20; ++i) {
    const std::uint8_t d = static_cast<std::uint8_t>(digits[i] - '0');
    out[2 + i / 2] |= (i % 2 == 0) ? static_cast<std::uint8_t>(d << 4) : d;
  }
}

double BcdKeyToNumber(const std::uint8_t key[12]) {
  double mant = 0;
  double scale = 0.1;
  for (int i = 0; i < 20; ++i) {
    const int d = (i % 2 == 0) ? key[2 + i / 2] >> 4 : key[2 + i / 2] & 0x0F;
    mant += (d > 9 ? 9 : d) * scale;
    scale /= 10;
  }
  const double v = mant * std::pow(10.0, static_cast<int>(key[0]) - 0x34);
  return (key[1] & 0x80) ? -v : v;
}

// ---- tags -------------------------------------------------------------------------------

bool Mdx::Impl::MakeKey(const TagState& t, const std::uint8_t* rec, std::uint8_t* key, bool* included) const {
  if (!t.exprOk) return false;
  *included = !t.cond || t.cond->IsTrue(rec);
  if (!*included) return true;
  switch (t.info.keyType) {
    case 'C':
      t.key->EvaluateText(rec, reinterpret_cast<char*>(key));
      break;
    case 'N': {
      ExprValue v;
      t.key->Evaluate(rec, &v);
      NumberToBcdKey(v.number, key);
      break;
    }
    default: {
      ExprValue v;
      t.key->Evaluate(rec, &v);
      PutDouble(key, v.number);
      break;
    }
  }
  return true;
}

std::string Mdx::Impl::SearchKey(const TagState& t, std::string_view text) const {
  if (t.info.keyType == 'C') return std::string(text.substr(0, std::min<std::size_t>(text.size(), t.info.keyLength)));
  std::uint8_t k[12];
  if (t.info.keyType == 'N') {
    std::string s(text);
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    NumberToBcdKey(v, k);
    return std::string(reinterpret_cast<char*>(k), 12);
  }
  PutDouble(k, JulianDay(text));
  return std::string(reinterpret_cast<char*>(k), 8);
}

// ---- node helpers -----------------------------------------------------------------------

DBIResult Mdx::Impl::CheckNodeOrder(const TagState& t, std::uint32_t block, std::uint8_t* p) {
  Slot* slot = Lookup(block);
  if (slot != nullptr && slot->ordered) return DBIERR_NONE;
  const bool leaf = IsLeaf(t, p);
  for (std::uint32_t i = 1; i < Count(p); ++i) {
    std::uint8_t* a = Item(t, p, i - 1);
    std::uint8_t* b = Item(t, p, i);
    const int c = Compare(t, a + 4, b + 4, t.info.keyLength);
    if (c > 0 || (leaf && c == 0 && Get32(a) >= Get32(b))) return DBIERR_INDEXCORRUPT;
  }
  if (slot != nullptr) slot->ordered = true;
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::StepMovesOn(const TagState& t, const std::string& fromKey, std::uint32_t fromRecno, const MdxEntry& to,
                                 bool forward) const {
  int c = Compare(t, reinterpret_cast<const std::uint8_t*>(to.key.data()),
                  reinterpret_cast<const std::uint8_t*>(fromKey.data()), t.info.keyLength);
  if (c == 0) c = to.recno < fromRecno ? -1 : (to.recno > fromRecno ? 1 : 0);
  return (forward ? c > 0 : c < 0) ? DBIERR_NONE : DBIERR_INDEXCORRUPT;
}

DBIResult Mdx::Impl::Descend(const TagState& t, const std::uint8_t* key, std::size_t n, std::vector<PathStep>* path,
                             bool past, const std::uint32_t* recno) {
  DBIResult err = DBIERR_NONE;
  path->clear();
  path->reserve(kMaxLevels);
  const std::uint32_t block = Root(t, &err);
  if (err != DBIERR_NONE) return err;
  return DescendFrom(t, key, n, block, path, past, recno);
}

DBIResult Mdx::Impl::DescendFrom(const TagState& t, const std::uint8_t* key, std::size_t n, std::uint32_t block,
                                 std::vector<PathStep>* path, bool past, const std::uint32_t* recno) {
  DBIResult err = DBIERR_NONE;
  for (int level = static_cast<int>(path->size()); level < kMaxLevels; ++level) {
    std::uint8_t* p = Page(block, &err);
    if (!p) return err;
    if (!CountOk(t, p)) return DBIERR_INDEXCORRUPT;
    DBIResult r = CheckNodeOrder(t, block, p);
    if (r != DBIERR_NONE) return r;
    const std::uint32_t cnt = Count(p);
    std::uint32_t lo = 0, hi = cnt;
    // Past the key: the first node whose greatest key is above it, so that an entry added after
    // many of the same key does not walk their leaves.
    while (lo < hi) {
      const std::uint32_t mid = (lo + hi) / 2;
      const int c = Compare(t, Item(t, p, mid) + 4, key, n);
      if (c < 0 || (past && c == 0)) lo = mid + 1;
      else hi = mid;
    }
    if (IsLeaf(t, p)) {
      path->push_back({block, lo});
      return DBIERR_NONE;
    }
    // The first of the key's entries is in the child found; a later one may be further on.
    if (recno != nullptr && *recno != 0 && lo < cnt && Compare(t, Item(t, p, lo) + 4, key, n) == 0) {
      r = EntryChild(t, block, key, *recno, &lo);
      if (r != DBIERR_NONE) return r;
      p = Page(block, &err);
      if (!p) return err;
    }
    path->push_back({block, lo});
    block = Child(t, p, lo);
  }
  return DBIERR_INDEXCORRUPT;
}

DBIResult Mdx::Impl::EntryChild(const TagState& t, std::uint32_t block, const std::uint8_t* key, std::uint32_t recno,
                                std::uint32_t* index) {
  DBIResult err = DBIERR_NONE;
  std::uint8_t* p = Page(block, &err);
  if (!p) return err;
  // The children of the key: from *index up to the first whose key is above it (or the last).
  std::uint32_t lo = *index, hi = lo;
  for (std::uint32_t end = Count(p); hi < end;) {
    const std::uint32_t mid = (hi + end) / 2;
    if (Compare(t, Item(t, p, mid) + 4, key, t.info.keyLength) <= 0) hi = mid + 1;
    else end = mid;
  }
  // Halves: is the last entry under the child `mid` below (key, recno)?
  while (lo < hi) {
    const std::uint32_t mid = (lo + hi) / 2;
    p = Page(block, &err);
    if (!p) return err;
    edgePath.clear();
    DBIResult r = DescendEdge(t, Child(t, p, mid), true, &edgePath);
    if (r != DBIERR_NONE) return r;
    std::uint8_t* leaf = Page(edgePath.back().block, &err);
    if (!leaf) return err;
    const std::uint32_t n = Count(leaf);
    if (n > 0 && CompareEntry(t, Item(t, leaf, n - 1), key, recno) < 0) lo = mid + 1;
    else hi = mid;
  }
  *index = lo;
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::DescendEdge(const TagState& t, std::uint32_t block, bool right, std::vector<PathStep>* path) {
  DBIResult err = DBIERR_NONE;
  for (int level = 0; level < kMaxLevels; ++level) {
    if (path->size() >= static_cast<std::size_t>(kMaxLevels)) return DBIERR_INDEXCORRUPT;
    std::uint8_t* p = Page(block, &err);
    if (!p) return err;
    if (!CountOk(t, p)) return DBIERR_INDEXCORRUPT;
    DBIResult r = CheckNodeOrder(t, block, p);
    if (r != DBIERR_NONE) return r;
    const std::uint32_t cnt = Count(p);
    if (IsLeaf(t, p)) {
      path->push_back({block, right ? (cnt == 0 ? 0 : cnt - 1) : 0});
      return DBIERR_NONE;
    }
    const std::uint32_t i = right ? cnt : 0;
    path->push_back({block, i});
    block = Child(t, p, i);
  }
  return DBIERR_INDEXCORRUPT;
}

DBIResult Mdx::Impl::SiblingLeaf(const TagState& t, bool forward, std::vector<PathStep>* path, bool* end) {
  DBIResult err = DBIERR_NONE;
  *end = false;
  std::vector<PathStep> up = *path;
  up.pop_back();
  while (!up.empty()) {
    PathStep& s = up.back();
    std::uint8_t* p = Page(s.block, &err);
    if (!p) return err;
    if (forward ? s.index < Count(p) : s.index > 0) {
      s.index = forward ? s.index + 1 : s.index - 1;
      const std::uint32_t child = Child(t, p, s.index);
      DBIResult r = DescendEdge(t, child, !forward, &up);
      if (r != DBIERR_NONE) return r;
      *path = std::move(up);
      return DBIERR_NONE;
    }
    up.pop_back();
  }
  *end = true;
  return DBIERR_NONE;
}

std::uint32_t Mdx::Impl::LeafLowerBound(const TagState& t, std::uint8_t* p, const std::uint8_t* key, std::uint32_t recno) const {
  std::uint32_t lo = 0, hi = Count(p);
  while (lo < hi) {
    const std::uint32_t mid = (lo + hi) / 2;
    if (CompareEntry(t, Item(t, p, mid), key, recno) < 0) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

DBIResult Mdx::Impl::LowerBound(const TagState& t, const std::uint8_t* key, std::uint32_t recno, bool stopAtLeafEnd,
                                std::vector<PathStep>* path, bool* end, bool past) {
  *end = false;
  DBIResult r = Descend(t, key, t.info.keyLength, path, past, past ? nullptr : &recno);
  if (r != DBIERR_NONE) return r;
  DBIResult err = DBIERR_NONE;
  std::uint8_t* p = Page(path->back().block, &err);
  if (!p) return err;
  path->back().index = LeafLowerBound(t, p, key, recno);
  std::uint64_t guard = fileSize / kPage + 1;
  while (path->back().index >= Count(p)) {
    if (guard-- == 0) return DBIERR_INDEXCORRUPT;
    std::vector<PathStep> next = *path;
    bool atEnd = false;
    r = SiblingLeaf(t, true, &next, &atEnd);
    if (r != DBIERR_NONE) return r;
    if (atEnd) {
      *end = !stopAtLeafEnd;
      return DBIERR_NONE;
    }
    std::uint8_t* q = Page(next.back().block, &err);
    if (!q) return err;
    if (!CountOk(t, q)) return DBIERR_INDEXCORRUPT;
    if (stopAtLeafEnd) {
      // Stay here unless the next leaf still holds smaller entries of the same key.
      if (Count(q) == 0 || CompareEntry(t, Item(t, q, 0), key, recno) >= 0) {
        if (Count(q) != 0 || Count(p) != 0) return DBIERR_NONE;
      }
    }
    *path = std::move(next);
    p = q;
    path->back().index = LeafLowerBound(t, p, key, recno);
  }
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::EntryAt(const TagState& t, const std::vector<PathStep>& path, MdxEntry* out) {
  DBIResult err = DBIERR_NONE;
  std::uint8_t* p = Page(path.back().block, &err);
  if (!p) return err;
  std::uint8_t* item = Item(t, p, path.back().index);
  out->recno = Get32(item);
  out->key.assign(reinterpret_cast<const char*>(item + 4), t.info.keyLength);
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::StepForward(const TagState& t, std::vector<PathStep>* path, bool* end) {
  *end = false;
  DBIResult err = DBIERR_NONE;
  std::uint8_t* p = Page(path->back().block, &err);
  if (!p) return err;
  if (path->back().index + 1 < Count(p)) {
    ++path->back().index;
    return DBIERR_NONE;
  }
  std::uint64_t guard = fileSize / kPage + 1;
  for (;;) {
    if (guard-- == 0) return DBIERR_INDEXCORRUPT;
    DBIResult r = SiblingLeaf(t, true, path, end);
    if (r != DBIERR_NONE || *end) return r;
    p = Page(path->back().block, &err);
    if (!p) return err;
    if (Count(p) > 0) return DBIERR_NONE;
  }
}

DBIResult Mdx::Impl::StepBack(const TagState& t, std::vector<PathStep>* path, bool* begin) {
  *begin = false;
  std::uint64_t guard = fileSize / kPage + 1;
  if (path->back().index > 0) {
    --path->back().index;
    return DBIERR_NONE;
  }
  for (;;) {
    if (guard-- == 0) return DBIERR_INDEXCORRUPT;
    DBIResult r = SiblingLeaf(t, false, path, begin);
    if (r != DBIERR_NONE || *begin) return r;
    DBIResult err = DBIERR_NONE;
    std::uint8_t* p = Page(path->back().block, &err);
    if (!p) return err;
    if (Count(p) > 0) {
      path->back().index = Count(p) - 1;
      return DBIERR_NONE;
    }
  }
}

DBIResult Mdx::Impl::CheckSeparators(const TagState& t, std::uint32_t block, int depth, std::string* last) {
  if (depth >= kMaxLevels) return DBIERR_INDEXCORRUPT;
  std::vector<std::uint8_t> page(kPage);
  DBIResult r = ReadPage(block, page.data());
  if (r != DBIERR_NONE) return r;
  std::uint8_t* p = page.data();
  if (!CountOk(t, p)) return DBIERR_INDEXCORRUPT;
  const std::uint32_t n = Count(p);
  if (IsLeaf(t, p)) {
    if (n == 0) last->clear();
    else last->assign(reinterpret_cast<const char*>(Item(t, p, n - 1) + 4), t.info.keyLength);
    return DBIERR_NONE;
  }
  for (std::uint32_t i = 0; i <= n; ++i) {
    r = CheckSeparators(t, Child(t, p, i), depth + 1, last);
    if (r != DBIERR_NONE) return r;
    if (i < n && !last->empty() &&
        Compare(t, Item(t, p, i) + 4, reinterpret_cast<const std::uint8_t*>(last->data()), t.info.keyLength) != 0)
      return DBIERR_INDEXCORRUPT;
  }
  return DBIERR_NONE;
}

// ---- public interface: tags, keys, walks, seeks and checks ------------------------------

DBIResult Mdx::Tags(std::vector<MdxTagInfo>* tags) {
  Impl& d = *impl_;
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  tags->clear();
  for (auto& t : d.tags) tags->push_back(t->info);
  return d.End(true);
}

DBIResult Mdx::FindTag(std::string_view name, MdxTagInfo* info) {
  Impl& d = *impl_;
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  TagState* t = d.FindTag(name);
  if (t && info) *info = t->info;
  d.End(true);
  return t ? DBIERR_NONE : DBIERR_NOSUCHINDEX;
}

DBIResult Mdx::KeyOf(std::string_view tag, const std::uint8_t* record, std::string* key, bool* included) {
  Impl& d = *impl_;
  // A key needs only the tag's expressions: a tag already known is used without going to
  // the file (a cursor asks for the key of every record it writes).
  if (d.synced && d.lockDepth == 0) {
    if (TagState* t = d.FindTag(tag); t && t->exprOk) {
      std::uint8_t k[kMdxMaxKeyLength];
      d.MakeKey(*t, record, k, included);
      if (*included) key->assign(reinterpret_cast<char*>(k), t->info.keyLength);
      return DBIERR_NONE;
    }
  }
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  TagState* t = d.FindTag(tag);
  if (!t) {
    d.End(true);
    return DBIERR_NOSUCHINDEX;
  }
  std::uint8_t k[kMdxMaxKeyLength];
  const bool ok = d.MakeKey(*t, record, k, included);
  if (ok && *included) key->assign(reinterpret_cast<char*>(k), t->info.keyLength);
  d.End(true);
  return ok ? DBIERR_NONE : DBIERR_INVALIDEXPR;
}

MdxReadWays* mdxReadWays = nullptr;

namespace {

// Runs fn(tag) under a read lock, resolving the tag by name.
template <class Fn>
DBIResult WithTag(Mdx::Impl& d, std::string_view tag, Fn fn) {
  if (d.MayReadWithoutLock()) {
    d.optimistic = true;
    TagState* t = d.FindTag(tag);
    const DBIResult r = t ? fn(*t) : DBIERR_NOSUCHINDEX;
    d.optimistic = false;
    const bool answered = r != kNotCached && d.MappedCounter() == d.counter;
    if (mdxReadWays != nullptr) ++(answered ? mdxReadWays->withoutLock : mdxReadWays->lockedAfterAll);
    if (answered) return r;
  }
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  TagState* t = d.FindTag(tag);
  r = t ? fn(*t) : DBIERR_NOSUCHINDEX;
  d.End(true);
  return r;
}

// The first entry of the tag, or its last one when last: down the edge of the tree, then
// on past empty leaves.
DBIResult EdgeEntry(Mdx::Impl& d, std::string_view tag, bool last, MdxEntry* out) {
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    std::vector<PathStep> path;
    DBIResult err = DBIERR_NONE;
    const std::uint32_t root = d.Root(t, &err);
    if (err != DBIERR_NONE) return err;
    DBIResult r = d.DescendEdge(t, root, last, &path);
    if (r != DBIERR_NONE) return r;
    std::uint8_t* p = d.Page(path.back().block, &err);
    if (!p) return err;
    if (Mdx::Impl::Count(p) == 0) {
      bool end = false;
      r = last ? d.StepBack(t, &path, &end) : d.StepForward(t, &path, &end);
      if (r != DBIERR_NONE) return r;
      if (end) return last ? DBIERR_BOF : DBIERR_EOF;
    }
    return d.EntryAt(t, path, out);
  });
}

}  // namespace

DBIResult Mdx::First(std::string_view tag, MdxEntry* out) { return EdgeEntry(*impl_, tag, false, out); }

DBIResult Mdx::Last(std::string_view tag, MdxEntry* out) { return EdgeEntry(*impl_, tag, true, out); }

DBIResult Mdx::Next(std::string_view tag, const MdxEntry& from, MdxEntry* out) {
  Impl& d = *impl_;
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    std::string key = from.key;
    key.resize(t.info.keyLength, t.info.keyType == 'C' ? ' ' : '\0');
    const auto* k = reinterpret_cast<const std::uint8_t*>(key.data());
    std::vector<PathStep> path;
    bool end = false;
    DBIResult r = d.LowerBound(t, k, from.recno, false, &path, &end);
    if (r != DBIERR_NONE) return r;
    if (end) return DBIERR_EOF;
    r = d.EntryAt(t, path, out);
    if (r != DBIERR_NONE) return r;
    if (out->recno == from.recno && out->key == key) {
      r = d.StepForward(t, &path, &end);
      if (r != DBIERR_NONE) return r;
      if (end) return DBIERR_EOF;
      r = d.EntryAt(t, path, out);
    }
    if (r != DBIERR_NONE) return r;
    return d.StepMovesOn(t, key, from.recno, *out, true);
  });
}

DBIResult Mdx::Prior(std::string_view tag, const MdxEntry& from, MdxEntry* out) {
  Impl& d = *impl_;
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    std::string key = from.key;
    key.resize(t.info.keyLength, t.info.keyType == 'C' ? ' ' : '\0');
    const auto* k = reinterpret_cast<const std::uint8_t*>(key.data());
    std::vector<PathStep> path;
    bool end = false;
    DBIResult r = d.LowerBound(t, k, from.recno, true, &path, &end);
    if (r != DBIERR_NONE) return r;
    bool begin = false;
    r = d.StepBack(t, &path, &begin);
    if (r != DBIERR_NONE) return r;
    if (begin) return DBIERR_BOF;
    r = d.EntryAt(t, path, out);
    if (r != DBIERR_NONE) return r;
    return d.StepMovesOn(t, key, from.recno, *out, false);
  });
}

DBIResult Mdx::Seek(std::string_view tag, std::string_view key, MdxEntry* out, bool* found) {
  Impl& d = *impl_;
  *found = false;
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    const std::string k = d.SearchKey(t, key);
    const auto* kp = reinterpret_cast<const std::uint8_t*>(k.data());
    std::vector<PathStep> path;
    DBIResult r = d.Descend(t, kp, k.size(), &path);
    if (r != DBIERR_NONE) return r;
    DBIResult err = DBIERR_NONE;
    std::uint8_t* p = d.Page(path.back().block, &err);
    if (!p) return err;
    std::uint64_t guard = d.fileSize / kPage + 1;
    while (path.back().index >= Impl::Count(p)) {
      bool end = false;
      if (guard-- == 0) return DBIERR_INDEXCORRUPT;
      r = d.SiblingLeaf(t, true, &path, &end);
      if (r != DBIERR_NONE) return r;
      if (end) return DBIERR_EOF;
      p = d.Page(path.back().block, &err);
      if (!p) return err;
      // The next leaf may still begin below the key in a file whose keys above the leaves
      // are not the greatest keys below them (written so by another tool).
      std::uint32_t i = 0;
      while (i < Impl::Count(p) && d.Compare(t, d.Item(t, p, i) + 4, kp, k.size()) < 0) ++i;
      path.back().index = i;
    }
    r = d.EntryAt(t, path, out);
    if (r != DBIERR_NONE) return r;
    *found = d.Compare(t, reinterpret_cast<const std::uint8_t*>(out->key.data()), kp, k.size()) == 0;
    if (t.info.keyType == 'C') *found = std::memcmp(out->key.data(), k.data(), k.size()) == 0;
    return DBIERR_NONE;
  });
}

DBIResult Mdx::Count(std::string_view tag, std::uint64_t* count) {
  Impl& d = *impl_;
  *count = 0;
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    return d.WalkTag(t, [&](std::uint8_t* p) -> DBIResult { *count += Impl::Count(p); return DBIERR_NONE; },
                     [](std::uint32_t) -> DBIResult { return DBIERR_NONE; });
  });
}

DBIResult Mdx::Check(std::string_view tag) {
  Impl& d = *impl_;
  return WithTag(d, tag, [&](TagState& t) -> DBIResult {
    std::string prevKey;
    std::uint32_t prevRec = 0;
    bool havePrev = false;
    bool firstLeafSeen = false;
    std::uint32_t firstLeaf = 0;
    DBIResult err = DBIERR_NONE;
    std::uint8_t* h = d.Page(t.headerBlock, &err);
    if (!h) return err;
    const std::uint32_t wantFirst = Get32(h + kFirstLeafAt);
    std::vector<std::uint32_t> blocks;
    std::uint32_t lastBlock = 0;
    DBIResult r = d.WalkTag(
        t,
        [&](std::uint8_t* p) -> DBIResult {
          if (!firstLeafSeen) {
            firstLeafSeen = true;
            firstLeaf = lastBlock;
          }
          for (std::uint32_t i = 0; i < Impl::Count(p); ++i) {
            std::uint8_t* item = d.Item(t, p, i);
            const std::string key(reinterpret_cast<const char*>(item + 4), t.info.keyLength);
            const std::uint32_t rec = Get32(item);
            if (rec == 0) return DBIERR_INDEXCORRUPT;
            if (havePrev) {
              const int c = d.Compare(t, reinterpret_cast<const std::uint8_t*>(prevKey.data()),
                                      reinterpret_cast<const std::uint8_t*>(key.data()), t.info.keyLength);
              if (c > 0 || (c == 0 && prevRec >= rec)) return DBIERR_INDEXCORRUPT;
            }
            prevKey = key;
            prevRec = rec;
            havePrev = true;
          }
          return DBIERR_NONE;
        },
        [&](std::uint32_t b) -> DBIResult {
          blocks.push_back(b);
          lastBlock = b;
          return DBIERR_NONE;
        });
    if (r != DBIERR_NONE) return r;
    std::sort(blocks.begin(), blocks.end());
    if (std::adjacent_find(blocks.begin(), blocks.end()) != blocks.end()) return DBIERR_INDEXCORRUPT;
    if (firstLeaf != wantFirst) return DBIERR_INDEXCORRUPT;
    std::string last;
    return d.CheckSeparators(t, d.Root(t, &err), 0, &last);
  });
}

DBIResult Mdx::CheckOrder() {
  Impl& d = *impl_;
  std::vector<std::string> names;
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  for (auto& t : d.tags) names.push_back(t->info.name);
  d.End(true);
  for (const std::string& name : names) {
    MdxEntry first, last;
    r = First(name, &first);
    if (r == DBIERR_EOF) continue;
    if (r == DBIERR_NONE) r = Last(name, &last);
    if (r != DBIERR_NONE) return r;
    r = WithTag(d, name, [&](TagState& t) -> DBIResult {
      if (first.recno == last.recno && first.key == last.key) return DBIERR_NONE;
      return d.StepMovesOn(t, first.key, first.recno, last, true);
    });
    if (r != DBIERR_NONE) return r;
  }
  // The pages looked at are not kept: the next call reads under the lock, as at an open.
  if (d.lockDepth == 0 && !d.exclusive) {
    d.ClearCache();
    d.synced = false;
  }
  return DBIERR_NONE;
}

DBIResult Mdx::CheckMaintainable() {
  Impl& d = *impl_;
  DBIResult r = d.Begin(false);
  if (r != DBIERR_NONE) return r;
  for (auto& t : d.tags)
    if (!t->exprOk) r = DBIERR_INVALIDEXPR;
  d.End(true);
  return r;
}

}  // namespace dbase
