#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace KRTaskSystem {

// Fixed bump heap for the task system's small bookkeeping (list entries,
// callback entries, result message copies). Allocation moves a cursor by
// exactly the requested size: no alignment and no header. Freed bytes come
// back only when every allocation has been freed, which resets the heap.
// The region is not owned.
class TaskHeap {
public:
    void Init(void* region, std::size_t size);
    // Null when the request does not fit before the end of the region.
    void* Alloc(std::size_t size);
    // Null is ignored.
    void Free(void* pointer);
    // Copy of text including its terminator; null gives "". Null when full.
    char* StrDup(const char* text);

    float peak_usage() const { return peak_; }
    bool IsAtStart() const { return cursor_ == start_; }
    uint32_t live_count() const { return count_; }
    std::size_t used() const { return static_cast<std::size_t>(cursor_ - start_); }
    std::size_t capacity() const { return static_cast<std::size_t>(end_ - start_); }

private:
    uint8_t* start_ = nullptr;
    uint8_t* end_ = nullptr;
    uint8_t* cursor_ = nullptr;
    uint32_t count_ = 0;
    float peak_ = 0.0f;
};

// Heap blocks carry no alignment, so entries stored in them are read and
// written by copy rather than through a typed pointer.
template <typename T>
inline T LoadEntry(const void* block) {
    T value;
    std::memcpy(&value, block, sizeof(T));
    return value;
}

template <typename T>
inline void StoreEntry(void* block, const T& value) {
    std::memcpy(block, &value, sizeof(T));
}

}  // namespace KRTaskSystem
