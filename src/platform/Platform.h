#pragma once

#include <cstddef>
#include <cstdint>

// Everything the library takes from the operating system. One implementation
// per system: PlatformUnix.cpp, PlatformWindows.cpp.
namespace KRPlatform {

// High-resolution counter and its ticks per second.
uint64_t PerformanceCounter();
uint64_t PerformanceFrequency();

// Broken-down UTC calendar time of the current system time.
struct UtcTime {
    int year;   // years since 1900
    int month;  // 0-based
    int day;    // day of the month, 1-based
    int hour;
    int minute;
    int second;
};
// False when the system time or its UTC conversion is unavailable.
bool CurrentUtcTime(UtcTime* out);

// Fills out with cryptographically random bytes; false on failure.
bool RandomBytes(uint8_t* out, std::size_t count);

// Text for an attached debugger; does nothing where there is none.
void DebugOutput(const char* text);

}  // namespace KRPlatform
