#include "platform/system/large_arrays.h"

#include <sys/mman.h>

#include <cstdint>

namespace platform {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t Rounded(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* AllocateLarge(std::size_t bytes) {
  const std::size_t length = Rounded(bytes);
  // A huge page more than asked, then the part before the first boundary and after the last
  // given back.
  void* mapped = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto at = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (at + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > at) ::munmap(mapped, aligned - at);
  const std::uintptr_t end = at + length + kHugePage;
  if (end > aligned + length) ::munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
  // A hint only: where the system does not take it, the usual pages serve.
  ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

void FreeLarge(void* memory, std::size_t bytes) {
  if (memory != nullptr) ::munmap(memory, Rounded(bytes));
}

}  // namespace platform
