#include "emulator/Uuid.h"

namespace KRHalyardEmulator {

std::string FormatUuid(const uint8_t (&bytes)[kUuidByteCount]) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(kUuidTextLength);
    for (std::size_t i = 0; i < kUuidByteCount; ++i) {
        // Dashes go before bytes 4, 6, 8 and 10: groups of 8-4-4-4-12 digits.
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text.push_back('-');
        }
        text.push_back(kHex[bytes[i] >> 4]);
        text.push_back(kHex[bytes[i] & 0x0F]);
    }
    text[14] = '4';
    return text;
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
