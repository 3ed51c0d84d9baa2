#pragma once

#include <cstdint>
#include <string>

namespace KRHalyardServer {

// The all-zero UUID, which names no hopper.
extern const char* const kNilUuid;

// True for a UUID text exactly as the matchmaker compares ids: 36
// characters, lower-case hexadecimal groups 8-4-4-4-12 joined by '-'.
bool IsUuid(const std::string& text);

// A random (version 4) UUID text in that form.
std::string NewUuid();

// "YYYY-MM-DDTHH:MM:SSZ" for Unix seconds, the date-time form the client
// library reads.
std::string FormatUtc(int64_t unix_seconds);

}  // namespace KRHalyardServer
