#pragma once

#include <cstddef>

namespace KRTaskSystem {

// Where task managers lie. A manager is one large object (its 256 KiB heap
// region embedded) whose busy fields all sit in its first bytes. Taken from
// the C runtime one by one, each such object gets a block of its own that
// starts at the same offset within its page as every other, so thousands of
// managers would compete for the same few cache sets.
//
// Each manager is therefore allocated by itself, kManagerBlockExtra bytes
// larger than the object, and placed at a cache line within the first page
// of its block that moves on with every manager made. Deleting a manager frees its
// block at once: memory follows the managers alive, whichever thread creates
// or deletes them, and no lock is taken beyond the C runtime's own.
constexpr std::size_t kCacheLine = 64;
constexpr std::size_t kPage = 4096;
// Slack for aligning to a cache line, the line that records the block's
// start, and the stagger of up to a page less one line.
constexpr std::size_t kManagerBlockExtra = kPage + kCacheLine;

}  // namespace KRTaskSystem
