#pragma once

#include <cstdint>
#include <string>

namespace halyard {

// Records why function refused, for hyl_last_error, and returns -1 so that a
// refusal reads "return Refuse(...)". Never throws: without memory for the
// whole text, the reason reads "out of memory".
int Refuse(const char* function, const std::string& reason) noexcept;
int Refuse(const char* function, const char* reason) noexcept;

// "index 7 out of range: the count is 3", for a refused indexed read.
std::string OutOfRange(uint32_t index, uint32_t count);

// For the catch (...) handler of a C entry point, so that no exception
// crosses into C: records the exception being handled (out of memory, or
// what a registered function threw) as function's refusal and returns -1,
// or failed in the second form.
int Caught(const char* function) noexcept;
template <typename T>
T Caught(const char* function, T failed) noexcept {
    Caught(function);
    return failed;
}

}  // namespace halyard
