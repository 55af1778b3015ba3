// Index files: tags built from sorted records and written page by page, the tag table, tags
// added and deleted, whole indexes rebuilt.
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "mdx_impl.h"
#include "platform/system/files.h"

namespace dbase {

namespace {

// Order-preserving bytes of a double (for sorting numeric and date keys with memcmp).
void SortableDouble(double v, std::uint8_t out[8]) {
  if (v == 0) v = 0;  // -0 sorts as 0
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  bits = (bits & 0x8000000000000000ULL) ? ~bits : bits | 0x8000000000000000ULL;
  for (int i = 7; i >= 0; --i, bits >>= 8) out[i] = static_cast<std::uint8_t>(bits);
}
double FromSortableDouble(const std::uint8_t in[8]) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = bits << 8 | in[i];
  bits = (bits & 0x8000000000000000ULL) ? bits & ~0x8000000000000000ULL : ~bits;
  return std::bit_cast<double>(bits);
}

// Eight bytes as a number that orders as they do, and back.
std::uint64_t BigEndianWord(const std::uint8_t* bytes) {
  std::uint64_t v;
  std::memcpy(&v, bytes, 8);
  return std::endian::native == std::endian::little ? __builtin_bswap64(v) : v;
}
void PutBigEndianWord(std::uint64_t v, std::uint8_t* bytes) {
  if (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  std::memcpy(bytes, &v, 8);
}

}  // namespace

// ---- building ---------------------------------------------------------------------------

DBIResult Mdx::Impl::WriteTree(const TagState& t, const std::vector<std::uint8_t>& items, std::size_t n, Built* out) {
  const std::uint32_t L = t.itemLength;
  const std::uint32_t maxKeys = t.maxKeys;
  struct Child {
    std::uint32_t block;
    std::size_t lastItem;  // index of the greatest entry under it
  };
  std::vector<Child> level;
  std::vector<std::uint8_t> run;  // consecutive pages written in one call
  std::uint32_t runStart = 0;
  std::uint32_t runNext = 0;
  auto flush = [&]() -> DBIResult {
    if (run.empty()) return DBIERR_NONE;
    DBIResult r = WriteMarked(run.data(), run.size(), static_cast<off_t>(runStart) * kBlock);
    run.clear();
    return r;
  };
  auto emit = [&](const std::uint8_t* page, std::uint32_t* block) -> DBIResult {
    std::uint32_t b = 0;
    DBIResult r = AllocBlock(&b);
    if (r != DBIERR_NONE) return r;
    if (run.empty() || b != runNext || run.size() >= (1u << 20)) {
      r = flush();
      if (r != DBIERR_NONE) return r;
      runStart = b;
    }
    run.insert(run.end(), page, page + kPage);
    runNext = b + kBlocksPerPage;
    *block = b;
    return DBIERR_NONE;
  };
  std::vector<std::uint8_t> page(kPage);
  // Leaves, spread evenly.
  const std::size_t leaves = n == 0 ? 1 : (n + maxKeys - 1) / maxKeys;
  std::size_t pos = 0;
  for (std::size_t i = 0; i < leaves; ++i) {
    const std::size_t take = n / leaves + (i < n % leaves ? 1 : 0);
    std::memset(page.data(), 0, kPage);
    Put32(page.data() + mdx_node::kKeyCount, static_cast<std::uint32_t>(take));
    for (std::size_t k = 0; k < take; ++k) {
      const std::uint8_t* e = items.data() + (pos + k) * (t.info.keyLength + 4);
      std::uint8_t* dst = page.data() + kItemsAt + k * L;
      std::memcpy(dst, e + t.info.keyLength, 4);
      std::memcpy(dst + 4, e, t.info.keyLength);
    }
    std::uint32_t b = 0;
    DBIResult r = emit(page.data(), &b);
    if (r != DBIERR_NONE) return r;
    if (i == 0) out->firstLeaf = b;
    level.push_back({b, pos + take - 1});
    pos += take;
  }
  // Upper levels: up to maxKeys + 1 children per node.
  while (level.size() > 1) {
    std::vector<Child> upper;
    const std::size_t per = maxKeys + 1;
    const std::size_t nodes = (level.size() + per - 1) / per;
    std::size_t at = 0;
    for (std::size_t i = 0; i < nodes; ++i) {
      const std::size_t take = level.size() / nodes + (i < level.size() % nodes ? 1 : 0);
      std::memset(page.data(), 0, kPage);
      Put32(page.data() + mdx_node::kKeyCount, static_cast<std::uint32_t>(take - 1));
      for (std::size_t k = 0; k < take; ++k) {
        std::uint8_t* dst = page.data() + kItemsAt + k * L;
        Put32(dst, level[at + k].block);
        if (k + 1 < take) {
          const std::uint8_t* e = items.data() + level[at + k].lastItem * (t.info.keyLength + 4);
          std::memcpy(dst + 4, e, t.info.keyLength);
        }
      }
      std::uint32_t b = 0;
      DBIResult r = emit(page.data(), &b);
      if (r != DBIERR_NONE) return r;
      upper.push_back({b, level[at + take - 1].lastItem});
      at += take;
    }
    level = std::move(upper);
  }
  DBIResult r = flush();
  if (r != DBIERR_NONE) return r;
  out->root = level[0].block;
  return DBIERR_NONE;
}

void Mdx::Impl::Collect(Collector& c, const std::uint8_t* rec, std::uint32_t recno) {
  const TagState& t = *c.tag;
  std::uint8_t key[kMdxMaxKeyLength];
  bool in = false;
  MakeKey(t, rec, key, &in);
  if (!in) return;
  const std::size_t at = c.buf.size();
  c.buf.resize(at + c.sortLength + 4);
  std::uint8_t* e = c.buf.data() + at;
  if (t.info.keyType == 'C' && keyOrder == KeyOrder::kBytes) {
    std::memcpy(e, key, t.info.keyLength);
  } else if (t.info.keyType == 'C') {
    const std::uint8_t* w = CollationWeights();
    for (std::uint32_t i = 0; i < t.info.keyLength; ++i) e[i] = w[key[i]];
  } else if (t.info.keyType == 'N') {
    SortableDouble(BcdKeyToNumber(key), e);
  } else {
    SortableDouble(GetDouble(key), e);
  }
  if (t.descending)
    for (std::uint32_t i = 0; i < c.sortLength; ++i) e[i] = static_cast<std::uint8_t>(~e[i]);
  e[c.sortLength] = static_cast<std::uint8_t>(recno >> 24);
  e[c.sortLength + 1] = static_cast<std::uint8_t>(recno >> 16);
  e[c.sortLength + 2] = static_cast<std::uint8_t>(recno >> 8);
  e[c.sortLength + 3] = static_cast<std::uint8_t>(recno);
  ++c.n;
}

void Mdx::Impl::Finish(Collector& c, std::vector<std::uint8_t>* items) {
  const TagState& t = *c.tag;
  const std::uint32_t E = c.sortLength + 4;
  const std::uint8_t* base = c.buf.data();
  // The entries sorted by their first 24 bytes held beside their numbers (no reach into the
  // collected bytes for most comparisons), the rest compared only between equal beginnings.
  struct Sorted {
    std::uint64_t word[3];
    std::uint32_t entry;
  };
  constexpr std::uint32_t kHeld = sizeof(Sorted::word);
  const std::uint32_t head = std::min<std::uint32_t>(E, kHeld);
  std::unique_ptr<Sorted[]> held(new Sorted[c.n]);  // every element written below
  Sorted* const sorted = held.get();
  for (std::uint32_t i = 0; i < c.n; ++i) {
    std::uint8_t bytes[kHeld] = {};
    std::memcpy(bytes, base + static_cast<std::size_t>(i) * E, head);
    Sorted& s = sorted[i];
    for (int w = 0; w < 3; ++w) s.word[w] = BigEndianWord(bytes + w * 8);
    s.entry = i;
  }
  // Entries held whole need their collected bytes no more.
  const bool whole = E <= kHeld;
  if (whole) {
    c.buf.clear();
    c.buf.shrink_to_fit();
    base = nullptr;
  }
  auto less = [base, E, head](const Sorted& a, const Sorted& b) {
    if (a.word[0] != b.word[0]) return a.word[0] < b.word[0];
    if (a.word[1] != b.word[1]) return a.word[1] < b.word[1];
    if (a.word[2] != b.word[2]) return a.word[2] < b.word[2];
    return E > head && std::memcmp(base + static_cast<std::size_t>(a.entry) * E + head,
                                   base + static_cast<std::size_t>(b.entry) * E + head, E - head) < 0;
  };
  // Records often come in a few stretches already in key order (a file written in that order, two
  // files one after the other): those are merged; any other order is sorted.
  std::vector<std::size_t> runs{0};
  constexpr std::size_t kMostRuns = 64;
  for (std::size_t i = 1; i < c.n && runs.size() <= kMostRuns; ++i)
    if (less(sorted[i], sorted[i - 1])) runs.push_back(i);
  if (runs.size() > kMostRuns) {
    std::sort(sorted, sorted + c.n, less);
  } else {
    runs.push_back(c.n);
    while (runs.size() > 2) {
      std::vector<std::size_t> merged{0};
      for (std::size_t k = 0; k + 2 < runs.size(); k += 2) {
        std::inplace_merge(sorted + runs[k], sorted + runs[k + 1], sorted + runs[k + 2], less);
        merged.push_back(runs[k + 2]);
      }
      if (runs.size() % 2 == 0) merged.push_back(runs.back());
      runs = std::move(merged);
    }
  }
  // An entry of at most the held bytes is read back from them, in order; a longer one from
  // the collected bytes.
  auto entry = [&](std::size_t i, std::uint8_t* bytes) -> const std::uint8_t* {
    if (!whole) return base + static_cast<std::size_t>(sorted[i].entry) * E;
    for (int w = 0; w < 3; ++w) PutBigEndianWord(sorted[i].word[w], bytes + w * 8);
    return bytes;
  };
  // Sort bytes back to key bytes: the inverse of the weights, or the bytes themselves.
  std::uint8_t inverse[256];
  const std::uint8_t* w = CollationWeights();
  for (int i = 0; i < 256; ++i) inverse[keyOrder == KeyOrder::kBytes ? i : w[i]] = static_cast<std::uint8_t>(i);
  // A unique tag keeps the first record of each key.
  std::size_t count = c.n;
  if (t.unique && count > 0) {
    std::size_t kept = 1;
    std::uint8_t a[kHeld], b[kHeld];
    for (std::size_t i = 1; i < count; ++i)
      if (std::memcmp(entry(kept - 1, a), entry(i, b), c.sortLength) != 0) sorted[kept++] = sorted[i];
    count = kept;
    c.n = kept;
  }
  const std::uint32_t K = t.info.keyLength;
  items->resize(count * (K + 4));
  std::uint8_t plain[kMdxMaxKeyLength + 4];
  std::uint8_t bytes[kHeld];
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = entry(i, bytes);
    if (t.descending) {
      for (std::uint32_t k = 0; k < c.sortLength; ++k) plain[k] = static_cast<std::uint8_t>(~e[k]);
      std::memcpy(plain + c.sortLength, e + c.sortLength, 4);
      e = plain;
    }
    std::uint8_t* dst = items->data() + i * (K + 4);
    if (t.info.keyType == 'C') {
      for (std::uint32_t k = 0; k < K; ++k) dst[k] = inverse[e[k]];
    } else if (t.info.keyType == 'N') {
      NumberToBcdKey(FromSortableDouble(e), dst);
    } else {
      PutDouble(dst, FromSortableDouble(e));
    }
    const std::uint32_t recno = static_cast<std::uint32_t>(e[c.sortLength]) << 24 |
                                static_cast<std::uint32_t>(e[c.sortLength + 1]) << 16 |
                                static_cast<std::uint32_t>(e[c.sortLength + 2]) << 8 | e[c.sortLength + 3];
    Put32(dst + K, recno);
  }
  held.reset();
  c.buf.clear();
  c.buf.shrink_to_fit();
}

DBIResult Mdx::Impl::FreeTree(const TagState& t) {
  std::vector<std::uint32_t> blocks;
  DBIResult r = WalkTag(t, [](std::uint8_t*) -> DBIResult { return DBIERR_NONE; },
                        [&](std::uint32_t b) -> DBIResult { blocks.push_back(b); return DBIERR_NONE; });
  if (r != DBIERR_NONE) return r;
  std::sort(blocks.begin(), blocks.end());
  if (std::adjacent_find(blocks.begin(), blocks.end()) != blocks.end()) return DBIERR_INDEXCORRUPT;
  for (std::uint32_t b : blocks) {
    r = FreeBlock(b);
    if (r != DBIERR_NONE) return r;
  }
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::SetTree(const TagState& t, const Built& b) {
  DBIResult err = DBIERR_NONE;
  std::uint8_t* h = Page(t.headerBlock, &err);
  if (!h) return err;
  WillChange(t.headerBlock, h);
  Put32(h + mdx_tag_header::kRoot, b.root);
  Put32(h + kFirstLeafAt, b.firstLeaf);
  MarkDirty(t.headerBlock);
  return DBIERR_NONE;
}

void Mdx::Impl::LinkTags() {
  const std::uint32_t used = Get16(header + mdx_header::kTagsInUse);
  std::vector<std::pair<std::string, std::uint32_t>> names;
  for (std::uint32_t i = 1; i <= used; ++i) {
    std::uint8_t* e = header + kTagTable + kTagEntry * i;
    names.emplace_back(CString(e + mdx_tag_entry::kName, mdx_tag_entry::kNameLength), i);
    e[mdx_tag_entry::kLeftTag] = e[mdx_tag_entry::kRightTag] = e[mdx_tag_entry::kParentTag] = 0;
  }
  std::sort(names.begin(), names.end());
  struct Builder {
    std::uint8_t* header;
    const std::vector<std::pair<std::string, std::uint32_t>>& names;
    std::uint32_t Build(std::size_t lo, std::size_t hi, std::uint32_t parent) {
      if (lo >= hi) return 0;
      const std::size_t mid = (lo + hi) / 2;
      const std::uint32_t seq = names[mid].second;
      std::uint8_t* e = header + kTagTable + kTagEntry * seq;
      e[mdx_tag_entry::kParentTag] = static_cast<std::uint8_t>(parent);
      e[mdx_tag_entry::kLeftTag] = static_cast<std::uint8_t>(Build(lo, mid, seq));
      e[mdx_tag_entry::kRightTag] = static_cast<std::uint8_t>(Build(mid + 1, hi, seq));
      return seq;
    }
  } builder{header, names};
  builder.Build(0, names.size(), 0);
  tagTableDirty = true;
}

// ---- public interface: tags added, deleted and rebuilt ----------------------------------

DBIResult Mdx::AddTag(std::string_view name, std::string_view keyExpr, std::string_view forExpr,
                      RecordSource* records) {
  return AddTags({MdxTagDefinition{std::string(name), std::string(keyExpr), std::string(forExpr)}}, records);
}

DBIResult Mdx::AddTags(const std::vector<MdxTagDefinition>& defs, RecordSource* records) {
  Impl& d = *impl_;
  std::vector<std::unique_ptr<TagState>> added;
  for (const MdxTagDefinition& def : defs) {
    const std::string tagName = UpperName(def.name);
    if (tagName.empty()) return DBIERR_INVALIDPARAM;
    for (const auto& other : added)
      if (other->info.name == tagName) return DBIERR_INVALIDPARAM;
    auto t = std::make_unique<TagState>();
    t->info.name = tagName;
    t->info.keyExpr = def.keyExpr;
    std::string cond = def.forExpr;
    while (!cond.empty() && cond.back() == ' ') cond.pop_back();
    while (!cond.empty() && cond.front() == ' ') cond.erase(cond.begin());
    t->info.forExpr = cond;
    if (def.keyExpr.size() > kKeyExprMax - 1 || cond.size() > kForExprMax) return DBIERR_INVALIDEXPR;
    t->key = Expression::Parse(def.keyExpr, d.layout);
    if (!t->key) return DBIERR_INVALIDEXPR;
    switch (t->key->type()) {
      case ExprType::kCharacter:
        t->info.keyType = 'C';
        t->info.keyLength = static_cast<std::uint16_t>(t->key->length());
        if (t->info.keyLength == 0 || t->info.keyLength > kMdxMaxKeyLength) return DBIERR_INVALIDEXPR;
        break;
      case ExprType::kNumeric: t->info.keyType = 'N'; t->info.keyLength = 12; break;
      case ExprType::kDate: t->info.keyType = 'D'; t->info.keyLength = 8; break;
      default: return DBIERR_INVALIDEXPR;
    }
    if (!cond.empty()) {
      t->cond = Expression::Parse(cond, d.layout);
      if (!t->cond || t->cond->type() != ExprType::kLogical) return DBIERR_INVALIDEXPR;
    }
    t->exprOk = true;
    t->itemLength = ItemLength(t->info.keyLength);
    t->maxKeys = MaxKeys(t->itemLength);
    added.push_back(std::move(t));
  }
  if (added.empty()) return DBIERR_NONE;

  DBIResult r = d.Begin(true);
  if (r != DBIERR_NONE) return r;
  const off_t sizeBefore = d.FileLength();
  auto fail = [&](DBIResult code) {
    d.CutBack(sizeBefore);
    d.End(false);
    return code;
  };
  const std::uint32_t used = Get16(d.header + mdx_header::kTagsInUse);
  for (const auto& t : added)
    if (d.FindTag(t->info.name)) return fail(DBIERR_INVALIDPARAM);
  if (used + added.size() > static_cast<std::uint32_t>(kMdxMaxTags)) return fail(DBIERR_INVALIDPARAM);

  // Every new tag's entries gathered in one pass over the records.
  std::vector<Impl::Collector> cs;
  cs.reserve(added.size());
  for (const auto& t : added) {
    cs.push_back(Impl::Collector{t.get(), t->info.keyType == 'C' ? t->info.keyLength : 8u, {}, 0});
    if (records) cs.back().buf.reserve(static_cast<std::size_t>(records->SizeHint()) * (cs.back().sortLength + 4));
  }
  if (records) {
    std::uint32_t recno = 0;
    const std::uint8_t* rec = nullptr;
    while (records->Next(&recno, &rec))
      for (Impl::Collector& c : cs) d.Collect(c, rec, recno);
    if (records->status() != DBIERR_NONE) return fail(records->status());
  }
  // Each tag's tree and header page; the tag table takes them all at the end.
  for (std::size_t i = 0; i < added.size(); ++i) {
    TagState& t = *added[i];
    std::vector<std::uint8_t> items;
    d.Finish(cs[i], &items);
    const std::size_t n = cs[i].n;
    Impl::Built built;
    r = d.WriteTree(t, items, n, &built);
    if (r != DBIERR_NONE) return fail(r);
    items.clear();
    items.shrink_to_fit();

    std::uint8_t* h = d.NewPage(&t.headerBlock, &r);
    if (!h) return fail(r);
    Put32(h + mdx_tag_header::kRoot, built.root);
    h[mdx_tag_header::kKeyFormat] = 0x10;
    h[mdx_tag_header::kKeyType] = static_cast<std::uint8_t>(t.info.keyType);
    Put16(h + mdx_tag_header::kKeyLength, t.info.keyLength);
    Put16(h + mdx_tag_header::kKeysPerPage, t.maxKeys);
    Put16(h + mdx_tag_header::kItemLength, t.itemLength);
    std::memcpy(h + kKeyExprAt, t.info.keyExpr.data(), t.info.keyExpr.size());
    h[kForFlagAt] = t.info.forExpr.empty() ? 0 : 1;
    Put32(h + kFirstLeafAt, built.firstLeaf);
    std::memcpy(h + kForExprAt, t.info.forExpr.data(), t.info.forExpr.size());
  }

  // Tag table entries, last.
  std::uint32_t seq = used;
  for (auto& t : added) {
    ++seq;
    std::uint8_t* e = d.header + kTagTable + kTagEntry * seq;
    std::memset(e, 0, kTagEntry);
    Put32(e + mdx_tag_entry::kHeaderBlock, t->headerBlock);
    std::memcpy(e + mdx_tag_entry::kName, t->info.name.data(), t->info.name.size());
    e[mdx_tag_entry::kKeyFormat] = 0x10;
    e[mdx_tag_entry::kTagFlag] = 0x02;
    e[mdx_tag_entry::kKeyType] = static_cast<std::uint8_t>(t->info.keyType);
    t->info.seqNo = static_cast<int>(seq);
  }
  Put16(d.header + mdx_header::kTagsInUse, static_cast<std::uint16_t>(seq));
  d.LinkTags();
  d.headerDirty = true;
  for (auto& t : added) d.tags.push_back(std::move(t));
  if (d.exclusive) {
    r = d.WriteBack();  // new tags are written at once even in exclusive mode
    if (r != DBIERR_NONE) return fail(r);
  }
  return d.End(true);
}

DBIResult Mdx::DeleteTag(std::string_view name) {
  Impl& d = *impl_;
  DBIResult r = d.Begin(true);
  if (r != DBIERR_NONE) return r;
  TagState* t = d.FindTag(name);
  if (!t) {
    d.End(true);
    return DBIERR_NOSUCHINDEX;
  }
  r = d.FreeTree(*t);
  if (r == DBIERR_NONE) r = d.FreeBlock(t->headerBlock);
  if (r != DBIERR_NONE) {
    d.End(false);
    return r;
  }
  const std::uint32_t used = Get16(d.header + mdx_header::kTagsInUse);
  const std::uint32_t seq = static_cast<std::uint32_t>(t->info.seqNo);
  std::uint8_t* tableStart = d.header + kTagTable;
  std::memmove(tableStart + kTagEntry * seq, tableStart + kTagEntry * (seq + 1), kTagEntry * (used - seq));
  std::memset(tableStart + kTagEntry * used, 0, kTagEntry);
  Put16(d.header + mdx_header::kTagsInUse, static_cast<std::uint16_t>(used - 1));
  d.LinkTags();
  d.headerDirty = true;
  d.tags.erase(d.tags.begin() + (seq - 1));
  for (std::size_t i = 0; i < d.tags.size(); ++i) d.tags[i]->info.seqNo = static_cast<int>(i + 1);
  if (d.exclusive) {
    r = d.WriteBack();
    if (r != DBIERR_NONE) {
      d.End(false);
      return r;
    }
  }
  return d.End(true);
}

DBIResult Mdx::Rebuild(RecordSource* records) {
  Impl& d = *impl_;
  d.repairing = true;
  DBIResult r = d.Begin(true);
  d.repairing = false;
  if (r != DBIERR_NONE) return r;
  const off_t sizeBefore = d.FileLength();
  for (auto& t : d.tags) {
    if (!t->exprOk) {
      d.End(false);
      return DBIERR_INVALIDEXPR;
    }
  }
  std::vector<Impl::Collector> cs;
  for (auto& t : d.tags) cs.push_back(Impl::Collector{t.get(), t->info.keyType == 'C' ? t->info.keyLength : 8u, {}, 0});
  if (records) {
    std::uint32_t recno = 0;
    const std::uint8_t* rec = nullptr;
    while (records->Next(&recno, &rec))
      for (auto& c : cs) d.Collect(c, rec, recno);
    if (records->status() != DBIERR_NONE) {
      d.End(false);
      return records->status();
    }
  }
  // After an interrupted update the free list and the end of the file in the header may
  // name pages the dead writer had already taken: the old trees are abandoned and new pages
  // come from past the end of the file.
  const bool torn = d.interrupted || d.stale;
  if (torn) {
    struct stat st {};
    if (::fstat(d.fd, &st) == 0) d.fileSize = std::max(d.fileSize, static_cast<std::uint64_t>(st.st_size));
    Put32(d.header + mdx_header::kFreeListHead, 0);
    Put32(d.header + mdx_header::kFreeListPages, 0);
    const std::uint32_t end = static_cast<std::uint32_t>((d.fileSize + kPage - 1) / kPage * kBlocksPerPage);
    if (end > Get32(d.header + mdx_header::kNextFreeBlock)) Put32(d.header + mdx_header::kNextFreeBlock, end);
    d.headerDirty = true;
  }
  for (std::size_t i = 0; i < cs.size(); ++i) {
    const TagState& t = *d.tags[i];
    // A damaged old tree is simply abandoned; its pages are not reused.
    if (torn || d.FreeTree(t) != DBIERR_NONE) {
      Put32(d.header + mdx_header::kFreeListHead, 0);
      Put32(d.header + mdx_header::kFreeListPages, 0);
      d.headerDirty = true;
    }
    std::vector<std::uint8_t> items;
    d.Finish(cs[i], &items);
    const std::size_t n = cs[i].n;
    Impl::Built built;
    r = d.WriteTree(t, items, n, &built);
    if (r == DBIERR_NONE) r = d.SetTree(t, built);
    if (r != DBIERR_NONE) {
      d.CutBack(sizeBefore);
      d.End(false);
      return r;
    }
  }
  d.stale = false;
  if (d.exclusive) {
    r = d.WriteBack();
    if (r != DBIERR_NONE) {
      d.CutBack(sizeBefore);
      d.End(false);
      return r;
    }
  }
  r = d.End(true);
  if (r == DBIERR_NONE) d.interrupted = false;
  return r;
}

DBIResult Mdx::CreateIndexFile(const std::string& path, std::string_view keyExpr, std::string_view forExpr,
                               const RecordLayout& layout, RecordSource* records, KeyOrder order) {
  std::string base = path;
  const std::size_t slash = base.find_last_of('/');
  if (slash != std::string::npos) base = base.substr(slash + 1);
  const std::size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
  std::string tag = UpperName(base);
  if (tag.empty()) tag = "INDEX";
  std::unique_ptr<Mdx> m;
  DBIResult r = Create(path, base, false, layout, true, &m, order);
  if (r != DBIERR_NONE) return r;
  r = m->AddTag(tag, keyExpr, forExpr, records);
  DBIResult c = m->Close();
  if (r != DBIERR_NONE) {
    platform::RemoveFile(path);
    return r;
  }
  return c;
}

}  // namespace dbase
