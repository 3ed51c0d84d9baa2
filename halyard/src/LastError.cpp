#include "LastError.h"

#include "halyard.h"

namespace halyard {
namespace {

// Per thread, so that a test on one thread never reads another's reason.
thread_local std::string t_lastError;

}  // namespace

int Refuse(const char* function, const std::string& reason) {
    t_lastError = std::string(function) + ": " + reason;
    return -1;
}

}  // namespace halyard

extern "C" {

HY_API const char* HY_CALL hyl_last_error(void) {
    return halyard::t_lastError.c_str();
}

}  // extern "C"
