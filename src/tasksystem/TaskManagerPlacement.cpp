#include "tasksystem/TaskManagerPlacement.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "tasksystem/TaskManager.h"

namespace KRTaskSystem {

namespace {

// The cache line of its page at which a block's manager starts, from the
// block's page number mixed by a multiplicative hash: blocks that lie a whole
// number of pages apart, as the C runtime's large blocks do, still start
// their managers on different lines.
std::uintptr_t StaggerLines(std::uintptr_t block) {
    const uint64_t page = static_cast<uint64_t>(block / kPage);
    return static_cast<std::uintptr_t>((page * 0x9E3779B97F4A7C15ull) >> 58);  // 0..63
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
    static_assert(kPage / kCacheLine == 64, "StaggerLines picks one of 64 lines");
    void* block = ::operator new(size + kManagerBlockExtra, std::nothrow);
    if (block == nullptr) {
        return nullptr;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t aligned = (start + kCacheLine - 1) & ~std::uintptr_t{kCacheLine - 1};
    // The line in front of the manager records where the block starts.
    const std::uintptr_t object = aligned + kCacheLine + StaggerLines(start) * kCacheLine;
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
