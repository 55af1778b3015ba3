#include "reports/engine/core/work_text.h"

#include <cstring>

namespace reports {

void WorkText::Reset(std::string_view text) {
  // Some room in front, for the results pushed back at the start of a page.
  const std::size_t room = 1024;
  buffer_.assign(room, '\0');
  buffer_.append(text);
  front_ = room;
  low_ = Size();
  ++edits_;
}

void WorkText::Drop(std::size_t n) {
  if (n > Size()) n = Size();
  front_ += n;
  NoteLow();
}

void WorkText::Push(std::string_view text) {
  if (text.empty()) return;
  ++edits_;
  // A part of the work text itself (a block copied in front of it) is copied first.
  const char* begin = buffer_.data();
  if (text.data() >= begin && text.data() < begin + buffer_.size()) {
    const std::string copy(text);
    Push(std::string_view(copy));
    return;
  }
  if (text.size() > front_) {
    // Grow the room in front: at least what is kept, so that pushes stay cheap on the whole.
    const std::size_t rest = Size();
    const std::size_t room = text.size() + (rest > 4096 ? rest : 4096);
    std::string grown(room, '\0');
    grown.append(buffer_, front_, std::string::npos);
    buffer_ = std::move(grown);
    front_ = room;
  }
  front_ -= text.size();
  std::memcpy(&buffer_[front_], text.data(), text.size());
}

void WorkText::EraseAt(std::size_t i) {
  if (i >= Size()) return;
  // The rest was that much shorter in between.
  const std::size_t shortest = Size() - i - 1;
  if (shortest < low_) low_ = shortest;
  ++edits_;
  lastErase_ = Size() - i;
  lastEraseEdits_ = edits_;
  std::memmove(&buffer_[front_ + 1], &buffer_[front_], i);
  ++front_;
}

}  // namespace reports
