// How the process's heap is laid out for a command that builds large
// structures out of many small blocks (the environment's metadata, its
// requirements and map: some hundred thousand allocations, tens of MiB).
#pragma once

namespace quorl::heap {

// Lets the heap grow in large steps, backed by huge pages where the kernel
// offers them on request (transparent huge pages in "madvise" or "always"
// mode). Each first touch of a 4 KiB page is a page fault, and on a virtual
// machine a fault costs several microseconds: reading 10,000 distributions
// touched some 6,000 pages, a quarter of the run's CPU time. With huge pages
// one fault brings in 2 MiB.
//
// Blocks of up to 32 MiB then come from the heap rather than from mappings
// of their own, so that the space a growing vector leaves behind is used
// again instead of fresh pages being touched. The heap reserves 64 MiB of
// address space ahead; only the pages written become resident, rounded up
// to a huge page. A process whose address space or data segment is
// bounded keeps the usual small steps. Call once, early, before the
// command allocates.
// Nothing fails: where the kernel refuses, the heap stays as it was.
void prefer_huge_pages();

}  // namespace quorl::heap
