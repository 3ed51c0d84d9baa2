#pragma once

#include <cstddef>
#include <vector>

namespace KRTaskSystem {

// Where task managers live. A manager is one large object (its 256 KiB heap
// region embedded) whose busy fields all sit in its first bytes. Allocated
// one by one, each such object gets its own page-aligned mapping from the C
// runtime, so the first bytes of every manager share one offset within the
// page and thousands of managers compete for the same few cache sets; every
// creation and destruction also maps and unmaps memory.
//
// The pool cuts blocks from large slabs taken from the ordinary heap and
// keeps freed blocks for the next manager. Consecutive blocks lie an odd
// number of cache lines apart, so their first bytes walk through every cache
// set. Slabs grow from one block to kMaxSlabBlocks as managers are created,
// so a game with one matchmaker holds one block, and they are kept for reuse
// for the life of the pool. One pool serves one thread.
class StaggeredBlockPool {
public:
    static constexpr std::size_t kMaxSlabBlocks = 64;

    explicit StaggeredBlockPool(std::size_t block_size);
    ~StaggeredBlockPool();
    StaggeredBlockPool(const StaggeredBlockPool&) = delete;
    StaggeredBlockPool& operator=(const StaggeredBlockPool&) = delete;

    // A block of block_size bytes aligned to a cache line; null when memory
    // is short.
    void* Take();
    // Gives a block from Take back for reuse.
    void Give(void* block);

    // Distance between neighbouring blocks of a slab: an odd number of cache
    // lines.
    std::size_t stride() const { return stride_; }

private:
    bool Grow();

    const std::size_t block_size_;
    const std::size_t stride_;
    std::size_t next_slab_blocks_ = 1;
    std::size_t blocks_made_ = 0;
    std::vector<void*> free_;  // room for every block this pool made
    std::vector<void*> slabs_;
};

}  // namespace KRTaskSystem
