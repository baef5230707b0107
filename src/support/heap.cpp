#include "support/heap.h"

#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
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

// Whether the address space or the data segment is bounded (ulimit -v,
// -d): steps of GROWTH_STEP could then fail where small ones fit.
bool is_limited(__rlimit_resource resource) {
    struct rlimit limit {};
    return ::getrlimit(resource, &limit) != 0 || limit.rlim_cur != RLIM_INFINITY;
}

bool memory_is_limited() { return is_limited(RLIMIT_AS) || is_limited(RLIMIT_DATA); }

}  // namespace

void prefer_huge_pages() {
    if (memory_is_limited()) return;
    if (::mallopt(M_MMAP_THRESHOLD, LARGEST_HEAP_BLOCK) == 0 || ::mallopt(M_TOP_PAD, GROWTH_STEP) == 0) return;
    // The free top of the heap, and a block larger than it, which makes the
    // heap grow now by the block and the step. Freed, the block goes back
    // to the top (and the heap is cut back to the step), so the advice
    // covers the top from where it began to the end of the heap after the
    // free.
    const std::size_t top_size = ::mallinfo2().keepcost;
    const auto top = reinterpret_cast<std::uintptr_t>(::sbrk(0)) - top_size;
    if (top_size + MIB >= static_cast<std::size_t>(LARGEST_HEAP_BLOCK)) return;
    void* const block = std::malloc(top_size + MIB);
    if (block == nullptr) return;
    std::free(block);
    const auto start = (top + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0)) & ~(HUGE_PAGE - 1);
    if (end > start) (void)::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

}  // namespace quorl::heap
