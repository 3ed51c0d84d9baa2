#include "RateLimiter.h"

#include <algorithm>

namespace KRHalyardServer {

void RateLimiter::Refill(Bucket& bucket, int64_t now_ms) const {
    const int64_t elapsed = std::max<int64_t>(0, now_ms - bucket.updated_ms);
    bucket.tokens = std::min<double>(per_second_, bucket.tokens + elapsed * per_second_ / 1000.0);
    bucket.updated_ms = now_ms;
}

bool RateLimiter::Take(const std::string& identity, int64_t now_ms) {
    if (per_second_ <= 0) {
        return true;
    }
    auto found = buckets_.find(identity);
    if (found == buckets_.end()) {
        found = buckets_.emplace(identity, Bucket{static_cast<double>(per_second_), now_ms}).first;
    }
    Bucket& bucket = found->second;
    Refill(bucket, now_ms);
    if (bucket.tokens < 1.0) {
        return false;
    }
    bucket.tokens -= 1.0;
    return true;
}

void RateLimiter::Forget(int64_t now_ms) {
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        Refill(it->second, now_ms);
        if (it->second.tokens >= per_second_) {
            it = buckets_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace KRHalyardServer
