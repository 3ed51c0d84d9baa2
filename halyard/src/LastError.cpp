#include "LastError.h"

#include <cstdio>
#include <exception>
#include <new>

#include "halyard.h"

namespace halyard {
namespace {

// Per thread, so that a test on one thread never reads another's reason.
thread_local std::string t_lastError;
// Used instead when the text above could not be allocated.
thread_local char t_shortError[160];
thread_local bool t_useShort = false;

}  // namespace

int Refuse(const char* function, const std::string& reason) noexcept {
    return Refuse(function, reason.c_str());
}

int Refuse(const char* function, const char* reason) noexcept {
    try {
        t_lastError.assign(function).append(": ").append(reason);
        t_useShort = false;
    } catch (...) {
        std::snprintf(t_shortError, sizeof t_shortError, "%s: out of memory", function);
        t_useShort = true;
    }
    return -1;
}

std::string OutOfRange(uint32_t index, uint32_t count) {
    return "index " + std::to_string(index) + " out of range: the count is " +
           std::to_string(count);
}

int Caught(const char* function) noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return Refuse(function, "out of memory");
    } catch (const std::exception& caught) {
        return Refuse(function, caught.what());
    } catch (...) {
        return Refuse(function, "an exception that is not a std::exception");
    }
}

}  // namespace halyard

extern "C" {

HY_API const char* HY_CALL hyl_last_error(void) {
    return halyard::t_useShort ? halyard::t_shortError : halyard::t_lastError.c_str();
}

}  // extern "C"
