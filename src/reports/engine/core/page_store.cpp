#include "reports/engine/core/page_store.h"

#include <algorithm>
#include <cstring>

namespace reports {

namespace {

// Reads a variable-length integer; stops at the end of the bytes (a page is only written
// by Append, so a cut integer cannot happen, but a reader never runs past the end).
std::uint32_t GetVarint(const std::uint8_t*& p, const std::uint8_t* end) {
  std::uint32_t v = 0;
  int shift = 0;
  while (p < end && shift < 35) {
    const std::uint8_t b = *p++;
    v |= static_cast<std::uint32_t>(b & 0x7f) << shift;
    if ((b & 0x80) == 0) break;
    shift += 7;
  }
  return v;
}

int GetSigned(const std::uint8_t*& p, const std::uint8_t* end) {
  const std::uint32_t u = GetVarint(p, end);
  return static_cast<int>((u >> 1) ^ (~(u & 1) + 1));
}

}  // namespace

void PreviewPage::Append(char kind, int n1, int n2, int n3, int n4, std::string_view text) {
  // The record's head made apart (at most 26 bytes), then appended with its text.
  std::uint8_t head[32] = {};
  std::size_t at = 0;
  auto put = [&](std::uint32_t v) {
    while (v >= 0x80) {
      head[at++] = static_cast<std::uint8_t>(v | 0x80);
      v >>= 7;
    }
    head[at++] = static_cast<std::uint8_t>(v);
  };
  auto putSigned = [&](int v) {
    const std::uint32_t u = static_cast<std::uint32_t>(v);
    put((u << 1) ^ static_cast<std::uint32_t>(v >> 31));
  };
  head[at++] = static_cast<std::uint8_t>(kind);
  putSigned(n1);
  putSigned(n2);
  putSigned(n3);
  putSigned(n4);
  put(static_cast<std::uint32_t>(text.size()));
  // The room grows by half again when it is short: no growth per record. The head is copied
  // whole (a fixed size, copied in place), the text after its used bytes.
  const std::size_t need = used_ + at + text.size();
  const std::size_t room = std::max(need, used_ + sizeof head);
  if (room > room_) Reserve(std::max({room, room_ + room_ / 2, std::size_t{256}}));
  std::memcpy(bytes_.get() + used_, head, sizeof head);
  if (!text.empty()) std::memcpy(bytes_.get() + used_ + at, text.data(), text.size());
  used_ = need;
  ++count_;
}

PreviewPage::PreviewPage(const PreviewPage& other) : count_(other.count_) {
  Reserve(other.used_);
  if (other.used_ > 0) std::memcpy(bytes_.get(), other.bytes_.get(), other.used_);
  used_ = other.used_;
}

PreviewPage& PreviewPage::operator=(const PreviewPage& other) {
  if (this != &other) *this = PreviewPage(other);
  return *this;
}

void PreviewPage::Reserve(std::size_t bytes) {
  if (bytes <= room_) return;
  std::unique_ptr<std::uint8_t[]> grown(new std::uint8_t[bytes]);
  if (used_ > 0) std::memcpy(grown.get(), bytes_.get(), used_);
  bytes_ = std::move(grown);
  room_ = bytes;
}

void PreviewPage::Iterator::Read() {
  if (at_ >= end_) {
    at_ = end_;
    next_ = end_;
    return;
  }
  const std::uint8_t* p = at_;
  record_.kind = static_cast<char>(*p++);
  record_.n1 = GetSigned(p, end_);
  record_.n2 = GetSigned(p, end_);
  record_.n3 = GetSigned(p, end_);
  record_.n4 = GetSigned(p, end_);
  std::size_t length = GetVarint(p, end_);
  if (length > static_cast<std::size_t>(end_ - p)) length = static_cast<std::size_t>(end_ - p);
  record_.text = std::string_view(reinterpret_cast<const char*>(p), length);
  next_ = p + length;
}

PreviewPage& PreviewPageStore::OpenPage(int number) {
  if (number < 1) number = 1;
  if (static_cast<int>(pages_.size()) < number) pages_.resize(static_cast<std::size_t>(number));
  PreviewPage& page = pages_[static_cast<std::size_t>(number - 1)];
  page = PreviewPage();
  // The pages of a report are much alike: room for as many bytes as the page before holds, so
  // that the page is not copied again and again as it grows.
  if (number >= 2) {
    const std::size_t before = pages_[static_cast<std::size_t>(number - 2)].used_;
    page.Reserve(before + before / 8);
  }
  return page;
}

const PreviewPage* PreviewPageStore::Page(int number) const {
  if (number < 1 || number > PageCount()) return nullptr;
  return &pages_[static_cast<std::size_t>(number - 1)];
}

PreviewPage* PreviewPageStore::MutablePage(int number) {
  if (number < 1 || number > PageCount()) return nullptr;
  return &pages_[static_cast<std::size_t>(number - 1)];
}

std::size_t PreviewPageStore::Bytes() const {
  std::size_t total = 0;
  for (const PreviewPage& p : pages_) total += p.Bytes();
  return total;
}

}  // namespace reports
