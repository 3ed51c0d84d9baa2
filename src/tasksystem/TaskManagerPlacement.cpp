#include "tasksystem/TaskManagerPlacement.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

#include "tasksystem/TaskManager.h"

namespace KRTaskSystem {

namespace {

// How many cache lines past its block's first line a new manager starts:
// each manager five lines (more than its busy bytes span) after the one made
// before it, round a page. A counter spreads managers made one after another
// evenly over the cache sets; drawing the line from the block's address
// spread them unevenly and cost the simulator half as much time again at
// 5,000 players. The counter is atomic so that threads may create managers
// at once; it takes no lock.
std::uintptr_t StaggerLines() {
    static std::atomic<uint32_t> made{0};
    return (made.fetch_add(1, std::memory_order_relaxed) * 5u) % (kPage / kCacheLine);
}

}  // namespace

void* TaskManager::operator new(std::size_t size) {
    void* object = operator new(size, std::nothrow);
    if (object == nullptr) {
        throw std::bad_alloc();
    }
    return object;
}

void* TaskManager::operator new(std::size_t size, const std::nothrow_t&) noexcept {
    void* block = ::operator new(size + kManagerBlockExtra, std::nothrow);
    if (block == nullptr) {
        return nullptr;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t aligned = (start + kCacheLine - 1) & ~std::uintptr_t{kCacheLine - 1};
    // The line in front of the manager records where the block starts.
    const std::uintptr_t object = aligned + kCacheLine + StaggerLines() * kCacheLine;
    std::memcpy(reinterpret_cast<void*>(object - sizeof(block)), &block, sizeof(block));
    return reinterpret_cast<void*>(object);
}

void TaskManager::operator delete(void* object, std::size_t) noexcept {
    if (object == nullptr) {
        return;
    }
    void* block = nullptr;
    std::memcpy(&block, static_cast<unsigned char*>(object) - sizeof(block), sizeof(block));
    ::operator delete(block);
}

void TaskManager::operator delete(void* object, const std::nothrow_t&) noexcept {
    operator delete(object, sizeof(TaskManager));
}

}  // namespace KRTaskSystem
