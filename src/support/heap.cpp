#include "support/heap.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace quorl::heap {
namespace {

constexpr std::size_t MIB = std::size_t{1} << 20;
// The huge page size of x86-64 and of arm64 with 4 KiB pages. Where it is
// larger, no aligned range fits and the advice has no effect.
constexpr std::uintptr_t HUGE_PAGE = 2 * MIB;
// As large as glibc lets the mapping threshold be on a 64-bit system.
constexpr int LARGEST_HEAP_BLOCK = 32 * MIB;
constexpr int GROWTH_STEP = 64 * MIB;

}  // namespace

void prefer_huge_pages() {
    if (::mallopt(M_MMAP_THRESHOLD, LARGEST_HEAP_BLOCK) == 0 || ::mallopt(M_TOP_PAD, GROWTH_STEP) == 0) return;
    // A block larger than what is left at the top of the heap makes it grow
    // now, by the block and the step; freed, it goes back to the top.
    void* const block = std::malloc(MIB);
    if (block == nullptr) return;
    const auto start = (reinterpret_cast<std::uintptr_t>(block) + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0)) & ~(HUGE_PAGE - 1);
    std::free(block);
    if (end > start) (void)::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

}  // namespace quorl::heap
