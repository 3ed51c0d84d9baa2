#include "tasksystem/TaskManagerPlacement.h"

#include <cstdint>
#include <new>

#include "tasksystem/TaskManager.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define KRTS_POISON(block, size) ASAN_POISON_MEMORY_REGION(block, size)
#define KRTS_UNPOISON(block, size) ASAN_UNPOISON_MEMORY_REGION(block, size)
#else
#define KRTS_POISON(block, size) ((void)(block), (void)(size))
#define KRTS_UNPOISON(block, size) ((void)(block), (void)(size))
#endif

namespace KRTaskSystem {

namespace {

constexpr std::size_t kCacheLine = 64;
constexpr std::size_t kPage = 4096;

std::size_t OddLineStride(std::size_t size) {
    const std::size_t lines = (size + kCacheLine - 1) / kCacheLine;
    return (lines % 2 == 0 ? lines + 1 : lines) * kCacheLine;
}

// Each thread takes managers from a pool of its own, so that creating and
// freeing managers takes no lock. A pool is never destroyed: a manager made
// on one thread may be freed on another, or from a static destructor, and
// its block must stay valid.
StaggeredBlockPool& ManagerPool() {
    thread_local StaggeredBlockPool* pool = new StaggeredBlockPool(sizeof(TaskManager));
    return *pool;
}

}  // namespace

StaggeredBlockPool::StaggeredBlockPool(std::size_t block_size)
    : block_size_(block_size), stride_(OddLineStride(block_size)) {}

StaggeredBlockPool::~StaggeredBlockPool() {
    for (void* slab : slabs_) {
        ::operator delete(slab);
    }
}

void* StaggeredBlockPool::Take() {
    if (free_.empty() && !Grow()) {
        return nullptr;
    }
    void* block = free_.back();
    free_.pop_back();
    KRTS_UNPOISON(block, block_size_);
    return block;
}

void StaggeredBlockPool::Give(void* block) {
    if (block == nullptr) {
        return;
    }
    // A block made by another thread's pool may find no room reserved here.
    if (free_.size() == free_.capacity()) {
        try {
            free_.reserve(free_.size() + 1);
        } catch (const std::bad_alloc&) {
            return;  // out of memory: the block stays in its slab, unused
        }
    }
    KRTS_POISON(block, block_size_);
    free_.push_back(block);
}

bool StaggeredBlockPool::Grow() {
    const std::size_t count = next_slab_blocks_;
    // The slab starts on a page boundary plus the offset at which the
    // previous slab's sequence of blocks would have gone on, so the stagger
    // continues from slab to slab.
    const std::size_t bytes = count * stride_ + 2 * kPage;
    try {
        free_.reserve(blocks_made_ + count);
        slabs_.reserve(slabs_.size() + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    void* slab = ::operator new(bytes, std::nothrow);
    if (slab == nullptr) {
        return false;
    }
    slabs_.push_back(slab);
    const auto page = (reinterpret_cast<std::uintptr_t>(slab) + kPage - 1) & ~(kPage - 1);
    auto* first = reinterpret_cast<unsigned char*>(page + (blocks_made_ * stride_) % kPage);
    KRTS_POISON(slab, bytes);
    // Handed out from the front of the slab first.
    for (std::size_t i = count; i-- > 0;) {
        free_.push_back(first + i * stride_);
    }
    blocks_made_ += count;
    next_slab_blocks_ = count * 2 < kMaxSlabBlocks ? count * 2 : kMaxSlabBlocks;
    return true;
}

void* TaskManager::operator new(std::size_t size) {
    void* block = operator new(size, std::nothrow);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* TaskManager::operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (size != sizeof(TaskManager)) {
        return ::operator new(size, std::nothrow);
    }
    return ManagerPool().Take();
}

void TaskManager::operator delete(void* block, std::size_t size) noexcept {
    if (size != sizeof(TaskManager)) {
        ::operator delete(block);
        return;
    }
    ManagerPool().Give(block);
}

void TaskManager::operator delete(void* block, const std::nothrow_t&) noexcept {
    operator delete(block, sizeof(TaskManager));
}

}  // namespace KRTaskSystem
