// The unread part of a page's work text: the interpreter reads it from the front, pushes
// results back in front of it (so that they are read again for statements) and deletes
// blocks at its front. Every change happens at the front, so a position counted from the end
// of the text (Offset) names the same character for as long as the front has not passed it:
// the alias definitions and the line count of the iteration block are kept by such offsets.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace reports {

class WorkText {
 public:
  void Reset(std::string_view text);
  std::size_t Size() const { return buffer_.size() - front_; }
  bool Empty() const { return front_ >= buffer_.size(); }
  std::string_view Rest() const { return std::string_view(buffer_).substr(front_); }
  char Front() const { return buffer_[front_]; }
  // Removes n characters from the front (all that remain when fewer).
  void Drop(std::size_t n);
  // Puts the text in front of what remains.
  void Push(std::string_view text);
  // Removes the character at index i of the rest (i < Size()), the text before it moved by one
  // toward the end: as Drop(i + 1) then Push of those i characters, without the copy.
  void EraseAt(std::size_t i);
  // Character at index i of the rest (i < Size()).
  char At(std::size_t i) const { return buffer_[front_ + i]; }
  // Index in the rest of the character at `offset` from the end (offset <= Size()).
  std::size_t IndexOfOffset(std::size_t offset) const { return Size() - offset; }

  // The smallest size the rest had since MarkLow: a position at offset o from the end was
  // never passed while LowWater() >= o.
  void MarkLow() { low_ = Size(); }
  std::size_t LowWater() const { return low_; }

  // Counts the changes other than drops from the front (Reset, Push, EraseAt): while it stays
  // the same, the rest is a suffix of what it was, and its size says which.
  std::size_t Edits() const { return edits_; }
  // The offset from the end that the character removed by the last EraseAt had, and whether
  // that EraseAt was the last edit.
  std::size_t LastEraseOffset() const { return lastErase_; }
  bool LastEditWasErase() const { return lastEraseEdits_ == edits_; }

 private:
  void NoteLow() {
    if (Size() < low_) low_ = Size();
  }
  std::string buffer_;
  std::size_t front_ = 0;
  std::size_t low_ = 0;
  std::size_t edits_ = 0;
  std::size_t lastErase_ = 0;
  std::size_t lastEraseEdits_ = static_cast<std::size_t>(-1);
};

}  // namespace reports
