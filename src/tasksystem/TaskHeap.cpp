#include "tasksystem/TaskHeap.h"

#include <cstring>

namespace KRTaskSystem {

void TaskHeap::Init(void* region, std::size_t size) {
    start_ = static_cast<uint8_t*>(region);
    end_ = start_ ? start_ + size : nullptr;
    cursor_ = start_;
    count_ = 0;
    peak_ = 0.0f;
}

// A request that does not fit (or asks for nothing) fails without touching
// the heap: the cursor never passes the end of the region. The caller reports
// the failure; in normal use the matchmaker replaces its task manager long
// before the heap fills up.
void* TaskHeap::Alloc(std::size_t size) {
    if (start_ == nullptr || size == 0 || size > static_cast<std::size_t>(end_ - cursor_)) {
        return nullptr;
    }
    uint8_t* block = cursor_;
    cursor_ += size;
    ++count_;
    const float usage = static_cast<float>(static_cast<double>(cursor_ - start_) /
                                           static_cast<double>(end_ - start_));
    if (usage > peak_) {
        peak_ = usage;
    }
    return block;
}

// Pointers outside the region (a static fallback text, a block of another
// heap) are ignored, as is a free with nothing live, so a stray call cannot
// reset the heap under live blocks.
void TaskHeap::Free(void* pointer) {
    uint8_t* block = static_cast<uint8_t*>(pointer);
    if (block == nullptr || block < start_ || block >= end_ || count_ == 0) {
        return;
    }
    if (--count_ == 0) {
        cursor_ = start_;
        peak_ = 0.0f;
    }
}

char* TaskHeap::StrDup(const char* text) {
    const char* source = text ? text : "";
    const std::size_t size = std::strlen(source) + 1;
    char* copy = static_cast<char*>(Alloc(size));
    if (copy != nullptr) {
        std::memcpy(copy, source, size);
    }
    return copy;
}

}  // namespace KRTaskSystem
