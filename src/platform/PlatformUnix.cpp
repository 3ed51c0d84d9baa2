#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/Platform.h"

namespace KRPlatform {

// The monotonic clock in nanoseconds stands in for the performance counter.
uint64_t PerformanceCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ull + static_cast<uint64_t>(now.tv_nsec);
}

uint64_t PerformanceFrequency() { return 1000000000ull; }

bool CurrentUtcTime(UtcTime* out) {
    const time_t now = time(nullptr);
    if (now == static_cast<time_t>(-1)) {
        return false;
    }
    tm broken{};
    if (gmtime_r(&now, &broken) == nullptr) {
        return false;
    }
    *out = UtcTime{broken.tm_year, broken.tm_mon,  broken.tm_mday,
                   broken.tm_hour, broken.tm_min, broken.tm_sec};
    return true;
}

bool RandomBytes(uint8_t* out, std::size_t count) {
    const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = read(fd, out + done, count - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            close(fd);
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    close(fd);
    return true;
}

void DebugOutput(const char*) {}

}  // namespace KRPlatform
