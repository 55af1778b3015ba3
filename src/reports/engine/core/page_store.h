// The rendered pages of a preview (or of a printout being prepared): every page is a list of
// typed drawing records, appended by the interpreter in drawing order and read back by the
// paint walk, the word search, the printout of the page shown and the HTML page.
//
// A record is a kind character, four whole numbers and a text (plain cp1252, blanks as
// blanks). Kinds and their numbers:
//   "1"-"6"  font 1-4, 5 the special font, 6 the sub-total font: height, weight, style bits
//            (1 italic, 2 underlined, 4 struck out), colour letter; text = face. Makes the
//            font current and its colour the text colour.
//   "7"      as "5", text turned a quarter turn.
//   "9"      text colour: N4 = colour letter.
//   "A"      font N1 (a character code "1"-"6") again with the style letters of the text
//            ("l" light, "b" bold, "i" italic, "u" underlined, "o" struck out).
//   "C" / "D" transparent / opaque text background.
//   "K"      line width N1 for "L" and "R".
//   "L"      line (x1, y1, x2, y2).
//   "R" "T" "G" "N"  rectangle (left, top, right, bottom): framed, filled with the colour
//            letter that ends the text, grey-filled, black-filled.
//   "M"      picture (left, top, right, bottom), text = file path or resource name.
//   "E" "F" "H" "I" "J"  barcode at (N1, N2) of height N4 (Code 39, EAN-13, EAN-8, 2 of 5,
//            interleaved 2 of 5), text = the data.
//   "X" "Y" "Z"  text left-aligned, centred, right-aligned in the cell (left, top, width,
//            height). Only these kinds are text that the word search matches.
// Other kinds are skipped by every reader.
//
// Storage: one compact byte vector per page (the kind, the numbers as zig-zag variable-length
// integers, the text's length and bytes), so that a report of a million lines stays in memory
// at a few bytes per record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace reports {

struct PageRecord {
  char kind = 0;
  int n1 = 0, n2 = 0, n3 = 0, n4 = 0;
  std::string_view text;  // valid while the page is not appended to
};

class PreviewPage {
 public:
  PreviewPage() = default;
  PreviewPage(const PreviewPage& other);
  PreviewPage& operator=(const PreviewPage& other);
  // A page moved from is left empty.
  PreviewPage(PreviewPage&& other) noexcept { Take(other); }
  PreviewPage& operator=(PreviewPage&& other) noexcept {
    if (this != &other) Take(other);
    return *this;
  }

  void Append(char kind, int n1, int n2, int n3, int n4, std::string_view text);
  std::size_t RecordCount() const { return count_; }
  std::size_t Bytes() const { return used_; }
  bool Empty() const { return count_ == 0; }

  class Iterator {
   public:
    Iterator(const std::uint8_t* at, const std::uint8_t* end) : at_(at), end_(end) { Read(); }
    const PageRecord& operator*() const { return record_; }
    const PageRecord* operator->() const { return &record_; }
    Iterator& operator++() {
      at_ = next_;
      Read();
      return *this;
    }
    bool operator!=(const Iterator& other) const { return at_ != other.at_; }

   private:
    void Read();
    const std::uint8_t* at_;
    const std::uint8_t* end_;
    const std::uint8_t* next_ = nullptr;
    PageRecord record_;
  };
  Iterator begin() const { return Iterator(bytes_.get(), bytes_.get() + used_); }
  Iterator end() const {
    return Iterator(bytes_.get() + used_, bytes_.get() + used_);
  }

 private:
  friend class PreviewPageStore;
  void Take(PreviewPage& other) noexcept {
    bytes_ = std::move(other.bytes_);
    used_ = std::exchange(other.used_, 0);
    room_ = std::exchange(other.room_, 0);
    count_ = std::exchange(other.count_, 0);
  }
  // Room for `bytes` bytes at least (the records kept).
  void Reserve(std::size_t bytes);
  // The records in bytes_[0, used_), room up to room_ after them (not cleared: only written).
  std::unique_ptr<std::uint8_t[]> bytes_;
  std::size_t used_ = 0, room_ = 0;
  std::size_t count_ = 0;
};

// Pages numbered from 1, created in page order; a page once created is only appended to
// while it is the page being rendered, then only read.
class PreviewPageStore {
 public:
  void Clear() { pages_.clear(); }
  int PageCount() const { return static_cast<int>(pages_.size()); }
  // Page `number` made empty, the pages before it created empty when missing; the page to
  // which the interpreter appends.
  PreviewPage& OpenPage(int number);
  // Null outside 1..PageCount().
  const PreviewPage* Page(int number) const;
  PreviewPage* MutablePage(int number);
  std::size_t Bytes() const;

 private:
  std::vector<PreviewPage> pages_;
};

}  // namespace reports
