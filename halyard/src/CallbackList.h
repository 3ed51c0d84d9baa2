#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace halyard {

// The functions registered on a client for one kind of delivery. Deliveries
// go newest registration first. A function removed while a delivery is under
// way (from inside an earlier function) is not called by that delivery, so a
// caller may free its user data right after removing its function.
template <typename Func>
class CallbackList {
public:
    void Add(Func func, void* userData) { entries_.push_back(Entry{func, userData, nextId_++}); }

    // Removes every registration of func.
    void Remove(Func func) {
        entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                      [func](const Entry& entry) { return entry.func == func; }),
                       entries_.end());
    }

    // Calls invoke(func, userData) for each registration, newest first.
    template <typename Invoke>
    void Deliver(Invoke invoke) const {
        const std::vector<Entry> snapshot = entries_;
        for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
            if (IsRegistered(it->id)) {
                invoke(it->func, it->userData);
            }
        }
    }

private:
    struct Entry {
        Func func;
        void* userData;
        uint64_t id;
    };

    bool IsRegistered(uint64_t id) const {
        return std::any_of(entries_.begin(), entries_.end(),
                           [id](const Entry& entry) { return entry.id == id; });
    }

    std::vector<Entry> entries_;  // oldest first
    uint64_t nextId_ = 0;
};

}  // namespace halyard
