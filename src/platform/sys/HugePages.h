// Transparent huge pages for the memory a large scene takes.
//
// A plant of 100,000 elements allocates gigabytes in small pieces: graph nodes, point lists,
// meshes. On virtual machines the first touch of each 4 KB page costs more than most of the
// work that fills it, and a third or more of building and first drawing such a scene is the
// kernel handing out pages. Where the kernel gives huge pages only on request ("madvise" in
// /sys/kernel/mm/transparent_hugepage/enabled), glibc asks for them only when a tunable is set
// at program start, which a host that links this library does not do. These calls ask for them
// on the heap as it grows, the way that tunable would:
//
// - the main heap grows in steps of at least kHeapStep, and each step is advised as soon as
//   one of the calls below sees it, before most of it is touched;
// - a thread's malloc arena is advised whole (glibc reserves those in aligned 64 MB blocks).
//
// - pages a few megabytes ahead of the newest block a caller names are faulted in on a thread
//   of their own, so that the kernel's share of a first touch runs on another core.
//
// Set KETRA_SMALL_PAGES=1 to leave the allocator as it is. No advice is given when glibc's own
// "glibc.malloc.hugetlb" tunable is set or the kernel gives huge pages to everything or to
// nothing (the heap still grows in steps, and pages are still faulted in ahead), and nothing
// is done with another allocator (the heap then does not move).
#pragma once

#include <cstddef>

namespace ketra::sys {

inline constexpr std::size_t kHeapStep = std::size_t{64} << 20;

// Advises what the main heap grew by since the last call. Cheap when it did not grow: call
// it wherever a large scene allocates in a loop. Safe from any thread. Given `recent`, a block
// just allocated, the pages from there to a few megabytes on are faulted in on a thread of
// its own (where the kernel allows), ahead of their first touch.
void AdviseHeapGrowth(const void* recent = nullptr);

// Advises the malloc arena that `allocated` (a block the calling thread just allocated) comes
// from, when that is a thread arena rather than the main heap. Cheap after the first call
// for the same arena.
void AdviseArenaOf(const void* allocated);

// Advises `bytes` from `start`: for a block larger than the allocator takes from the heap
// (32 MB), which gets a mapping of its own, called right after allocating it.
void AdviseBlock(const void* start, std::size_t bytes);

// Gives the calling thread's arena room ahead, advised, before a loop of allocations: glibc
// grows a thread arena only by what each allocation lacks, too little at a time for huge
// pages, but keeps up to kHeapStep of free room at its top.
void ReserveArenaRoom();

// Whether the advice is given in this process (see above).
bool HugePageAdviceOn();

// Ends the advice: the heap and the arenas advised so far are told to take small pages from
// now on (memory already in huge pages stays so). Called by the library itself when fresh
// huge pages prove slow to come by, as on a virtual machine whose host is short of them:
// there a 2 MB page can take 30 ms to back, fifteen times the same memory in small pages.
void StopHugePages();

} // namespace ketra::sys
