// Index files read directly, page by page, without an index object: the entry counts of the
// lists and the table name of a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "mdx_impl.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"

namespace dbase {

std::uint32_t CountTagEntries(const std::string& mdxPath, int tagSeqNo, int mode, std::string_view key,
                              std::uint32_t* recno) {
  *recno = 0;
  if (tagSeqNo < 1 || tagSeqNo > kMdxMaxTags || (mode != 1 && mode != 2)) return 0;
  const int fd = ::open(platform::DiskPath(mdxPath).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct Closer {
    int fd;
    bool locked;
    ~Closer() {
      if (locked) UnlockByte(fd);
      ::close(fd);
    }
  } closer{fd, LockByte(fd, F_RDLCK) == LockOutcome::kGranted};
  if (!closer.locked) return 0;  // an index held too long by another station reads as unreadable
  // The file's size and its header with the whole tag table.
  std::uint64_t size = 0;
  std::uint8_t head[kHeaderLength] = {};
  const std::uint32_t entryAt = kTagTable + kTagEntry * static_cast<std::uint32_t>(tagSeqNo);
  auto readHead = [&] {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return size >= entryAt + kTagEntry &&
           ReadExact(fd, head, std::min<std::uint64_t>(size, kHeaderLength), 0) == DBIERR_NONE;
  };
  if (!readHead()) return 0;
  // The update of a writer that is gone is put back first (the lock let go meanwhile).
  if (IndexMarkHasJournal(Get32(head + kMarkAt))) {
    UnlockByte(fd);
    closer.locked = false;
    bool done = false;
    if (PutBackLeftIndexUpdate(mdxPath, &done) != DBIERR_NONE) return 0;  // torn: unreadable
    closer.locked = LockByte(fd, F_RDLCK) == LockOutcome::kGranted;
    if (!closer.locked || !readHead()) return 0;
  }
  auto valid = [size](std::uint32_t block) {
    return block >= 1 && static_cast<std::uint64_t>(block) * kBlock + kPage <= size;
  };
  const std::uint32_t tagHeader = Get32(head + entryAt + mdx_tag_entry::kHeaderBlock);
  if (!valid(tagHeader)) return 0;
  std::uint8_t th[kPage];
  if (ReadExact(fd, th, kPage, static_cast<off_t>(tagHeader) * kBlock) != DBIERR_NONE) return 0;
  const std::uint32_t keyLength = Get16(th + mdx_tag_header::kKeyLength);
  if (keyLength == 0 || keyLength > kPage - 16) return 0;
  const std::uint32_t itemLength = (keyLength + 3) / 4 * 4 + 4;
  const std::uint32_t maxItems = (kPage - 12) / itemLength;
  std::string_view k = key;
  if (k.size() >= keyLength) k = k.substr(0, keyLength - 1);
  const std::uint32_t root = Get32(th + mdx_tag_header::kRoot);
  const std::uint32_t firstLeaf = Get32(th + kFirstLeafAt);
  // Levels: descend along the first entries until the first leaf.
  struct Level {
    std::uint32_t count = 0;
    std::uint32_t pos = 0;
    std::uint8_t page[kPage];
  };
  std::vector<std::unique_ptr<Level>> levels;
  std::uint32_t block = root;
  for (;;) {
    if (levels.size() >= static_cast<std::size_t>(kMaxLevels) || !valid(block)) return 0;
    auto l = std::make_unique<Level>();
    if (ReadExact(fd, l->page, kPage, static_cast<off_t>(block) * kBlock) != DBIERR_NONE) return 0;
    l->count = Get32(l->page + mdx_node::kKeyCount);
    if (l->count > maxItems) return 0;
    const bool leaf = block == firstLeaf;
    const std::uint32_t child = Get32(l->page + kItemsAt);
    levels.push_back(std::move(l));
    if (leaf) break;
    block = child;
  }
  const std::size_t depth = levels.size();
  std::uint64_t budget = size / kPage + 1;  // no walk reads more pages than the file holds
  std::uint32_t count = 0;
  std::uint32_t found = 0;
  bool matched = false;
  std::size_t lvl = depth - 1;
  // levels[0..depth-1] hold the path to the first leaf, each at position 0.
  for (;;) {
    Level& cur = *levels[lvl];
    if (lvl == depth - 1) {
      for (; cur.pos < cur.count; ++cur.pos) {
        const std::uint8_t* item = cur.page + kItemsAt + cur.pos * itemLength;
        const bool match = std::memcmp(item + 4, k.data(), k.size()) == 0;
        if (mode == 1) {
          if (match) {
            ++count;
            found = Get32(item);
            matched = true;
          } else if (matched && depth > 1) {
            *recno = found;
            return count;
          }
        } else {
          ++count;
          if (match) {
            *recno = Get32(item);
            return count;
          }
        }
      }
      if (lvl == 0) break;
      --lvl;
      ++levels[lvl]->pos;
      continue;
    }
    if (cur.pos > cur.count) {
      if (lvl == 0) break;
      --lvl;
      ++levels[lvl]->pos;
      continue;
    }
    const std::uint32_t child = Get32(cur.page + kItemsAt + cur.pos * itemLength);
    if (budget-- == 0 || !valid(child)) return 0;
    Level& below = *levels[lvl + 1];
    if (ReadExact(fd, below.page, kPage, static_cast<off_t>(child) * kBlock) != DBIERR_NONE) return 0;
    below.count = Get32(below.page + mdx_node::kKeyCount);
    below.pos = 0;
    if (below.count > maxItems) return 0;
    ++lvl;
  }
  *recno = mode == 1 ? found : 0;
  return count;
}

bool ReadMdxTableName(const std::string& mdxPath, std::string* name) {
  const int fd = ::open(platform::DiskPath(mdxPath).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::uint8_t h[mdx_header::kTableName + mdx_header::kTableNameLength];
  const DBIResult r = ReadExact(fd, h, sizeof h, 0);
  ::close(fd);
  if (r != DBIERR_NONE) return false;
  const std::uint8_t* stored = h + mdx_header::kTableName;
  std::size_t n = 0;
  while (n < mdx_header::kTableNameLength && stored[n] != 0) ++n;
  name->assign(reinterpret_cast<const char*>(stored), n);
  while (!name->empty() && name->back() == ' ') name->pop_back();
  return true;
}

}  // namespace dbase
