#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace KRHalyardServer {

// A token bucket per identity: per_second requests a second on average and
// as many at once. Held by each process; a limit of 0 lets everything pass.
class RateLimiter {
public:
    explicit RateLimiter(int32_t per_second) : per_second_(per_second) {}

    bool Take(const std::string& identity, int64_t now_ms);
    // Forgets identities whose bucket has been full for a while.
    void Forget(int64_t now_ms);

private:
    struct Bucket {
        double tokens = 0.0;
        int64_t updated_ms = 0;
    };

    void Refill(Bucket& bucket, int64_t now_ms) const;

    int32_t per_second_;
    std::unordered_map<std::string, Bucket> buckets_;
};

}  // namespace KRHalyardServer
