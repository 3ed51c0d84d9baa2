#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace KRHalyardEmulator {

constexpr std::size_t kUuidByteCount = 16;

// The backend's id text of 16 bytes, as the client library writes it
// (lower-case hex, groups 8-4-4-4-12), with the version digit (character 14)
// forced to "4". The variant digit is left as drawn. "" when the library
// cannot allocate the text.
std::string FormatUuid(const uint8_t (&bytes)[kUuidByteCount]);

// Fills the 16 bytes from a 64-bit generator state (splitmix64). Used only
// when the system random source fails, so ids stay distinct.
void FillPseudoRandom(uint64_t* state, uint8_t (&bytes)[kUuidByteCount]);

}  // namespace KRHalyardEmulator
