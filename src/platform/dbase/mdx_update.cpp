// Index files: entries added and removed as records change, pages split and dropped.
#include <algorithm>
#include <cstring>
#include <vector>

#include "mdx_impl.h"
#include "weights.h"

namespace dbase {

// ---- maintenance ------------------------------------------------------------------------

DBIResult Mdx::Impl::Insert(const TagState& t, const std::uint8_t* key, std::uint32_t recno, bool appended) {
  std::vector<PathStep>& path = insertPath;
  bool end = false;
  DBIResult r = LowerBound(t, key, recno, true, &path, &end, appended);
  if (r != DBIERR_NONE) return r;
  return InsertAt(t, path, key, recno);
}

DBIResult Mdx::Impl::InsertAt(const TagState& t, std::vector<PathStep>& path, const std::uint8_t* key,
                              std::uint32_t recno) {
  DBIResult err = DBIERR_NONE;
  std::uint8_t* p = Page(path.back().block, &err);
  if (!p) return err;
  const std::uint32_t idx = path.back().index;
  const std::uint32_t cnt = Count(p);
  if (idx < cnt && CompareEntry(t, Item(t, p, idx), key, recno) == 0) return DBIERR_NONE;  // already there
  if (t.unique && HasKey(t, key)) return DBIERR_NONE;  // the key keeps its first record
  // A new last entry of its leaf is the greatest key under the leaf: the key above that
  // names it follows (a split then hands that key to the right half).
  if (idx == cnt && cnt > 0) {
    DBIResult r = SetSeparator(t, path, path.size() - 1, key);
    if (r != DBIERR_NONE) return r;
  }
  std::uint8_t item[kMdxMaxKeyLength + 8] = {};
  Put32(item, recno);
  std::memcpy(item + 4, key, t.info.keyLength);
  return InsertInNode(t, path, path.size() - 1, item, 0);
}

std::size_t Mdx::Impl::StepsHolding(const TagState& t, const std::vector<PathStep>& path, const std::uint8_t* key) {
  if (path.empty() || path.size() > static_cast<std::size_t>(kMaxLevels)) return 0;
  const std::uint32_t K = t.info.keyLength;
  DBIResult err = DBIERR_NONE;
  if (Root(t, &err) != path.front().block || err != DBIERR_NONE) return 0;
  for (std::size_t l = 0; l + 1 < path.size(); ++l) {
    Slot* slot = Lookup(path[l].block);
    if (slot == nullptr) return l;
    std::uint8_t* p = slot->data;
    const std::uint32_t i = path[l].index;
    const std::uint32_t cnt = Count(p);
    if (i > cnt || !CountOk(t, p) || IsLeaf(t, p) || Child(t, p, i) != path[l + 1].block) return l;
    // As Descend past the key: the first child whose key is above it.
    if (i > 0 && Compare(t, Item(t, p, i - 1) + 4, key, K) > 0) return l;
    if (i < cnt && Compare(t, Item(t, p, i) + 4, key, K) <= 0) return l;
  }
  return path.size();
}

DBIResult Mdx::Impl::InsertAppended(const TagState& t, const std::uint8_t* key, std::uint32_t recno,
                                    std::vector<PathStep>* finger) {
  bool found = false;
  // The steps that hold are kept; the descent goes on from the first node whose child changes.
  const std::size_t held = StepsHolding(t, *finger, key);
  if (held > 0) {
    DBIResult r = DBIERR_NONE;
    if (held < finger->size()) {
      // The key is past the child at this node (keys come rising): the next children are
      // tried in turn, as far as a few, before a search of the node.
      PathStep& step = (*finger)[held];
      DBIResult err = DBIERR_NONE;
      std::uint8_t* p = Page(step.block, &err);
      if (!p) {
        finger->clear();
        return err;
      }
      if (!CountOk(t, p)) {
        finger->clear();
        return DBIERR_INDEXCORRUPT;
      }
      if (DBIResult order = CheckNodeOrder(t, step.block, p); order != DBIERR_NONE) {
        finger->clear();
        return order;
      }
      const std::uint32_t cnt = Count(p);
      std::uint32_t j = step.index;
      const bool pastChild = !IsLeaf(t, p) && j < cnt &&
                             (j == 0 || Compare(t, Item(t, p, j - 1) + 4, key, t.info.keyLength) <= 0);
      if (pastChild) {
        ++j;
        for (int tries = 0; j < cnt && tries < 8 && Compare(t, Item(t, p, j) + 4, key, t.info.keyLength) <= 0; ++tries) ++j;
      }
      if (pastChild && (j == cnt || Compare(t, Item(t, p, j) + 4, key, t.info.keyLength) > 0)) {
        step.index = j;
        const std::uint32_t child = Child(t, p, j);
        finger->resize(held + 1);
        r = DescendFrom(t, key, t.info.keyLength, child, finger, true);
      } else {
        const std::uint32_t from = step.block;
        finger->resize(held);
        r = DescendFrom(t, key, t.info.keyLength, from, finger, true);
      }
    }
    if (r != DBIERR_NONE) {
      finger->clear();
      return r;
    }
    DBIResult err = DBIERR_NONE;
    std::uint8_t* p = Page(finger->back().block, &err);
    if (!p) return err;
    // Past the leaf's last entry the full search decides (the next leaf may take it), unless
    // the leaf is the last of the tag (the last child at every level): the entry goes there.
    const std::uint32_t idx = LeafLowerBound(t, p, key, recno);
    bool lastLeaf = idx >= Count(p);
    for (std::size_t l = 0; lastLeaf && l + 1 < finger->size(); ++l) {
      std::uint8_t* q = Page((*finger)[l].block, &err);
      if (!q) return err;
      lastLeaf = (*finger)[l].index == Count(q);
    }
    if (idx < Count(p) || lastLeaf) {
      finger->back().index = idx;
      found = true;
    }
  }
  if (!found) {
    bool end = false;
    DBIResult r = LowerBound(t, key, recno, true, finger, &end, true);
    if (r != DBIERR_NONE) {
      finger->clear();
      return r;
    }
  }
  // A split leaves the path as it was: the next entry checks every step against the pages.
  const DBIResult r = InsertAt(t, *finger, key, recno);
  if (r != DBIERR_NONE) finger->clear();
  return r;
}

DBIResult Mdx::Impl::SetSeparator(const TagState& t, const std::vector<PathStep>& path, std::size_t level,
                                  const std::uint8_t* key) {
  DBIResult err = DBIERR_NONE;
  for (std::size_t l = level; l > 0; --l) {
    const PathStep& up = path[l - 1];
    std::uint8_t* p = Page(up.block, &err);
    if (!p) return err;
    if (up.index < Count(p)) {
      std::uint8_t* separator = Item(t, p, up.index) + 4;
      if (std::memcmp(separator, key, t.info.keyLength) != 0) {
        WillChange(up.block, p);
        std::memcpy(separator, key, t.info.keyLength);
        MarkDirty(up.block);
      }
      return DBIERR_NONE;
    }
  }
  return DBIERR_NONE;  // the rightmost edge of the tree: no key names it
}

bool Mdx::Impl::HasKey(const TagState& t, const std::uint8_t* key) {
  std::vector<PathStep> probe;
  bool end = false;
  if (LowerBound(t, key, 0, false, &probe, &end) != DBIERR_NONE || end) return false;
  MdxEntry e;
  if (EntryAt(t, probe, &e) != DBIERR_NONE) return false;
  return Compare(t, reinterpret_cast<const std::uint8_t*>(e.key.data()), key, t.info.keyLength) == 0;
}

DBIResult Mdx::Impl::InsertInNode(const TagState& t, std::vector<PathStep>& path, std::size_t level,
                                  const std::uint8_t* item, std::uint32_t rightChild) {
  DBIResult err = DBIERR_NONE;
  const std::uint32_t block = path[level].block;
  std::uint8_t* p = Page(block, &err);
  if (!p) return err;
  WillChange(block, p);
  const bool leaf = rightChild == 0;
  const std::uint32_t cnt = Count(p);
  const std::uint32_t idx = path[level].index;
  const std::uint32_t L = t.itemLength;
  if (cnt + 1 <= t.maxKeys) {
    // Room in the page: the items from idx on (and the trailing word) move one place up.
    std::memmove(p + kItemsAt + (idx + 1) * L, p + kItemsAt + idx * L, (cnt - idx) * L + 4);
    std::memcpy(p + kItemsAt + idx * L, item, L);
    // An upper node: the old pointer at idx, now at idx + 1, becomes the new right part.
    if (!leaf) Put32(p + kItemsAt + (idx + 1) * L, rightChild);
    Put32(p + mdx_node::kKeyCount, cnt + 1);
    MarkDirty(block);
    return DBIERR_NONE;
  }
  // A full page: the node's items go to a scratch array (cnt + 1 items and the trailing
  // word) to be split in two.
  std::vector<std::uint8_t> buf((cnt + 1) * L + 4, 0);
  std::memcpy(buf.data(), p + kItemsAt, idx * L);
  std::memcpy(buf.data() + idx * L, item, L);
  std::memcpy(buf.data() + (idx + 1) * L, p + kItemsAt + idx * L, (cnt - idx) * L);
  std::memcpy(buf.data() + (cnt + 1) * L, p + kItemsAt + cnt * L, 4);  // trailing word (last child)
  if (!leaf) {
    // The old pointer at idx moved to idx + 1: it becomes the new right part.
    Put32(buf.data() + (idx + 1) * L, rightChild);
  }
  const std::uint32_t total = cnt + 1;
  // Split: the left part stays in this page, the right part goes to a new page.
  std::uint32_t newBlock = 0;
  std::uint8_t* q = NewPage(&newBlock, &err);
  if (!q) return err;
  p = Page(block, &err);  // the cache never drops pages within a transaction
  if (!p) return err;
  std::vector<std::uint8_t> sep(L, 0);
  if (leaf) {
    const std::uint32_t left = total / 2;
    std::memcpy(sep.data() + 4, buf.data() + (left - 1) * L + 4, L - 4);
    WriteNode(p, buf.data(), left, L, true);
    std::vector<std::uint8_t> rest(buf.begin() + left * L, buf.begin() + total * L);
    rest.resize(rest.size() + 4, 0);
    WriteNode(q, rest.data(), total - left, L, true);
  } else {
    // total keys with total + 1 pointers: left keeps keys [0, h) and pointers [0, h],
    // key h goes up, right takes keys (h, total) and pointers (h, total].
    const std::uint32_t h = total / 2;
    std::memcpy(sep.data() + 4, buf.data() + h * L + 4, L - 4);
    std::vector<std::uint8_t> left(buf.begin(), buf.begin() + h * L);
    left.resize(h * L + 4, 0);
    std::memcpy(left.data() + h * L, buf.data() + h * L, 4);
    WriteNode(p, left.data(), h, L, false);
    std::vector<std::uint8_t> right(buf.begin() + (h + 1) * L, buf.begin() + total * L + 4);
    WriteNode(q, right.data(), total - h - 1, L, false);
  }
  MarkDirty(block);
  Put32(sep.data(), block);
  if (level == 0) {
    // New root above the two halves.
    std::uint32_t rootBlock = 0;
    std::uint8_t* root = NewPage(&rootBlock, &err);
    if (!root) return err;
    Put32(root + mdx_node::kKeyCount, 1);
    std::memcpy(root + kItemsAt, sep.data(), L);
    Put32(root + kItemsAt + L, newBlock);
    std::uint8_t* h = Page(t.headerBlock, &err);
    if (!h) return err;
    WillChange(t.headerBlock, h);
    Put32(h + mdx_tag_header::kRoot, rootBlock);
    MarkDirty(t.headerBlock);
    return DBIERR_NONE;
  }
  return InsertInNode(t, path, level - 1, sep.data(), newBlock);
}

void Mdx::Impl::WriteNode(std::uint8_t* page, const std::uint8_t* items, std::uint32_t n, std::uint32_t L, bool leaf) {
  std::memset(page, 0, kPage);
  Put32(page + mdx_node::kKeyCount, n);
  std::memcpy(page + kItemsAt, items, n * L);
  if (!leaf) std::memcpy(page + kItemsAt + n * L, items + n * L, 4);
}

DBIResult Mdx::Impl::Remove(TagState& t, const std::uint8_t* key, std::uint32_t recno) {
  std::vector<PathStep> path;
  bool end = false;
  DBIResult r = LowerBound(t, key, recno, false, &path, &end);
  if (r != DBIERR_NONE || end) return r;
  DBIResult err = DBIERR_NONE;
  std::uint8_t* p = Page(path.back().block, &err);
  if (!p) return err;
  const std::uint32_t idx = path.back().index;
  if (CompareEntry(t, Item(t, p, idx), key, recno) != 0) return DBIERR_NONE;  // not there
  const std::uint32_t cnt = Count(p);
  const std::uint32_t L = t.itemLength;
  WillChange(path.back().block, p);
  std::memmove(p + kItemsAt + idx * L, p + kItemsAt + (idx + 1) * L, (cnt - idx - 1) * L);
  std::memset(p + kItemsAt + (cnt - 1) * L, 0, std::min<std::uint32_t>(L + 4, kPage - kItemsAt - (cnt - 1) * L));
  Put32(p + mdx_node::kKeyCount, cnt - 1);
  MarkDirty(path.back().block);
  if (cnt - 1 == 0 && path.size() > 1) return DropChild(t, path, path.size() - 1);
  // The leaf's last entry gone, the one before it is the greatest key under the leaf.
  if (idx == cnt - 1 && idx > 0) return SetSeparator(t, path, path.size() - 1, Item(t, p, idx - 1) + 4);
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::DropChild(TagState& t, std::vector<PathStep>& path, std::size_t level) {
  DBIResult err = DBIERR_NONE;
  const std::uint32_t gone = path[level].block;
  const std::uint32_t parentBlock = path[level - 1].block;
  const std::uint32_t j = path[level - 1].index;
  std::uint8_t* p = Page(parentBlock, &err);
  if (!p) return err;
  WillChange(parentBlock, p);
  const std::uint32_t n = Count(p);
  const std::uint32_t L = t.itemLength;
  if (n == 0) {
    // The parent had only this child: it goes too (or becomes an empty leaf as root).
    DBIResult r = FreeBlock(gone);
    if (r != DBIERR_NONE) return r;
    if (level - 1 == 0) {
      p = Page(parentBlock, &err);
      if (!p) return err;
      std::memset(p, 0, kPage);
      MarkDirty(parentBlock);
      return FixFirstLeaf(t);
    }
    return DropChild(t, path, level - 1);
  }
  if (j < n) {
    // Drop pointer j and key j.
    std::memmove(p + kItemsAt + j * L, p + kItemsAt + (j + 1) * L, (n - j - 1) * L + 4);
  }
  // Otherwise the last pointer and the key before it go: the previous child becomes the last
  // (its pointer already lies where the last child's word goes).
  Put32(p + mdx_node::kKeyCount, n - 1);
  std::memset(p + kItemsAt + (n - 1) * L + 4, 0, kPage - (kItemsAt + (n - 1) * L + 4));
  MarkDirty(parentBlock);
  DBIResult r = FreeBlock(gone);
  if (r != DBIERR_NONE) return r;
  if (j == n) {
    // The parent's greatest key is now that of its new last child: the keys above follow.
    std::vector<PathStep> edge;
    r = DescendEdge(t, Get32(p + kItemsAt + (n - 1) * L), true, &edge);
    if (r != DBIERR_NONE) return r;
    std::uint8_t* leaf = Page(edge.back().block, &err);
    if (!leaf) return err;
    if (Count(leaf) > 0) {
      std::uint8_t last[kMdxMaxKeyLength];
      std::memcpy(last, Item(t, leaf, Count(leaf) - 1) + 4, t.info.keyLength);
      r = SetSeparator(t, path, level - 1, last);
      if (r != DBIERR_NONE) return r;
    }
  }
  // A root left with a single child hands the root over to it.
  for (int guard = 0; guard < kMaxLevels; ++guard) {
    const std::uint32_t rootBlock = Root(t, &err);
    if (err != DBIERR_NONE) return err;
    std::uint8_t* root = Page(rootBlock, &err);
    if (!root) return err;
    if (IsLeaf(t, root) || Count(root) != 0) break;
    const std::uint32_t only = Get32(root + kItemsAt);
    std::uint8_t* h = Page(t.headerBlock, &err);
    if (!h) return err;
    WillChange(t.headerBlock, h);
    Put32(h + mdx_tag_header::kRoot, only);
    MarkDirty(t.headerBlock);
    r = FreeBlock(rootBlock);
    if (r != DBIERR_NONE) return r;
  }
  return FixFirstLeaf(t);
}

DBIResult Mdx::Impl::FixFirstLeaf(const TagState& t) {
  DBIResult err = DBIERR_NONE;
  const std::uint32_t rootBlock = Root(t, &err);
  if (err != DBIERR_NONE) return err;
  std::vector<PathStep> path;
  DBIResult r = DescendEdge(t, rootBlock, false, &path);
  if (r != DBIERR_NONE) return r;
  std::uint8_t* h = Page(t.headerBlock, &err);
  if (!h) return err;
  if (Get32(h + kFirstLeafAt) != path.back().block) {
    WillChange(t.headerBlock, h);
    Put32(h + kFirstLeafAt, path.back().block);
    MarkDirty(t.headerBlock);
  }
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::ApplyChange(std::uint32_t recno, const std::uint8_t* oldRec, const std::uint8_t* newRec) {
  std::uint8_t oldKey[kMdxMaxKeyLength], newKey[kMdxMaxKeyLength];
  for (auto& tp : tags)
    if (!tp->exprOk) return DBIERR_INVALIDEXPR;
  for (auto& tp : tags) {
    TagState& t = *tp;
    bool oldIn = false, newIn = false;
    if (oldRec && !MakeKey(t, oldRec, oldKey, &oldIn)) return DBIERR_INVALIDEXPR;
    if (newRec && !MakeKey(t, newRec, newKey, &newIn)) return DBIERR_INVALIDEXPR;
    if (oldIn && newIn && std::memcmp(oldKey, newKey, t.info.keyLength) == 0) continue;
    if (oldIn) {
      DBIResult r = Remove(t, oldKey, recno);
      if (r != DBIERR_NONE) return r;
    }
    if (newIn) {
      // A record appended (no old record) is numbered past all others: it follows every entry of its key.
      DBIResult r = Insert(t, newKey, recno, oldRec == nullptr);
      if (r != DBIERR_NONE) return r;
    }
  }
  return DBIERR_NONE;
}

DBIResult Mdx::Impl::ApplyAppended(std::uint32_t firstRecno, std::uint32_t count, const std::uint8_t* records,
                                   std::uint32_t recordLength) {
  for (auto& tp : tags)
    if (!tp->exprOk) return DBIERR_INVALIDEXPR;
  // An entry to insert: its first key bytes in sort form (weights, falling keys inverted),
  // read as two numbers, and its record's place in the run.
  struct Sorting {
    std::uint64_t head[2];
    std::uint32_t entry;
  };
  constexpr std::uint32_t kHeld = 16;
  std::vector<std::uint8_t> keys;
  std::vector<Sorting> order;
  std::vector<PathStep> finger;
  const std::uint8_t* weights = CollationWeights();
  for (auto& tp : tags) {
    const TagState& t = *tp;
    const std::uint32_t K = t.info.keyLength;
    keys.resize(static_cast<std::size_t>(count) * K);
    order.clear();
    // Character keys are ordered by their bytes' weights: the first sixteen of them decide
    // most comparisons; numbers and dates by the tag's comparison alone.
    const bool character = t.info.keyType == 'C';
    const std::uint32_t head = character ? std::min(K, kHeld) : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint8_t* key = keys.data() + std::size_t{i} * K;
      bool in = false;
      if (!MakeKey(t, records + static_cast<std::size_t>(i) * recordLength, key, &in)) return DBIERR_INVALIDEXPR;
      if (!in) continue;
      Sorting e{{0, 0}, i};
      for (std::uint32_t k = 0; k < kHeld; ++k) {
        const std::uint64_t b = k >= head ? 0 : (keyOrder == KeyOrder::kBytes ? key[k] : weights[key[k]]);
        e.head[k / 8] = e.head[k / 8] << 8 | b;
      }
      if (t.descending) e.head[0] = ~e.head[0], e.head[1] = ~e.head[1];
      order.push_back(e);
    }
    // Equal keys keep the records' order: their entries go in as they would one by one.
    auto less = [&](const Sorting& a, const Sorting& b) {
      if (a.head[0] != b.head[0]) return a.head[0] < b.head[0];
      if (a.head[1] != b.head[1]) return a.head[1] < b.head[1];
      const int c = K > head ? Compare(t, keys.data() + std::size_t{a.entry} * K + head,
                                       keys.data() + std::size_t{b.entry} * K + head, K - head)
                             : 0;
      return c != 0 ? c < 0 : a.entry < b.entry;
    };
    if (!std::is_sorted(order.begin(), order.end(), less)) std::sort(order.begin(), order.end(), less);
    finger.clear();
    for (const Sorting& e : order) {
      DBIResult r = InsertAppended(t, keys.data() + std::size_t{e.entry} * K, firstRecno + e.entry, &finger);
      if (r != DBIERR_NONE) return r;
    }
  }
  return DBIERR_NONE;
}

// ---- public interface: record changes ---------------------------------------------------

DBIResult Mdx::RecordChanged(std::uint32_t recno, const std::uint8_t* oldRecord, const std::uint8_t* newRecord) {
  Impl& d = *impl_;
  if (d.tags.empty() && d.synced && d.exclusive) return DBIERR_NONE;
  DBIResult r = d.Begin(true);
  if (r != DBIERR_NONE) return r;
  r = d.ApplyChange(recno, oldRecord, newRecord);
  if (r != DBIERR_NONE) {
    d.End(false);
    return r;
  }
  return d.End(true);
}

DBIResult Mdx::RecordsAppended(std::uint32_t firstRecno, std::uint32_t count, const std::uint8_t* records,
                               std::uint32_t recordLength) {
  Impl& d = *impl_;
  if (d.tags.empty() && d.synced && d.exclusive) return DBIERR_NONE;
  DBIResult r = d.Begin(true);
  if (r != DBIERR_NONE) return r;
  r = d.ApplyAppended(firstRecno, count, records, recordLength);
  if (r != DBIERR_NONE) {
    d.End(false);
    return r;
  }
  return d.End(true);
}

}  // namespace dbase
