// Memory for the large arrays a report makes and drops at every run (the lines of a year: tens
// of megabytes): whole huge pages where the system gives them on request (transparent huge pages
// in "madvise" mode), so that the kernel fills one page fault per 2 MB instead of one per 4 KB.
// Smaller arrays come from the usual heap.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace platform {

// At least `bytes` bytes on huge-page boundaries (null when the system refuses them), given back
// by FreeLarge with the same count.
void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* memory, std::size_t bytes);

// The size from which an array takes AllocateLarge's memory: two huge pages.
inline constexpr std::size_t kLargeArrayBytes = std::size_t{4} << 20;

template <typename T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) {}  // NOLINT: converting, as allocators are
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    if (n * sizeof(T) < kLargeArrayBytes) return std::allocator<T>().allocate(n);
    void* memory = AllocateLarge(n * sizeof(T));
    if (memory == nullptr) throw std::bad_alloc();
    return static_cast<T*>(memory);
  }
  void deallocate(T* p, std::size_t n) {
    if (n * sizeof(T) < kLargeArrayBytes)
      std::allocator<T>().deallocate(p, n);
    else
      FreeLarge(p, n * sizeof(T));
  }
  template <typename U>
  bool operator==(const LargeAllocator<U>&) const {
    return true;
  }
};

template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

}  // namespace platform
