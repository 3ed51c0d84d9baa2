#include "emulator/Uuid.h"

#include <cstring>

#include "halyard.h"

namespace KRHalyardEmulator {

std::string FormatUuid(const uint8_t (&bytes)[kUuidByteCount]) {
    hy_uuid uuid;
    std::memcpy(uuid.bytes, bytes, kUuidByteCount);
    // The version digit is the high half of byte 6.
    uuid.bytes[6] = static_cast<uint8_t>((uuid.bytes[6] & 0x0F) | 0x40);
    char* text = hy_uuid_to_string(&uuid);
    if (text == nullptr) {
        return std::string();
    }
    std::string copy(text);
    hy_free(text);
    return copy;
}

void FillPseudoRandom(uint64_t* state, uint8_t (&bytes)[kUuidByteCount]) {
    for (std::size_t i = 0; i < kUuidByteCount; i += 8) {
        uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        for (std::size_t b = 0; b < 8; ++b) {
            bytes[i + b] = static_cast<uint8_t>(z >> (8 * b));
        }
    }
}

}  // namespace KRHalyardEmulator
