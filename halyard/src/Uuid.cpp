#include "Uuid.h"

#include <cstring>

#include "LastError.h"
#include "LiveCounts.h"
#include "Random.h"

namespace halyard {
namespace {

bool IsDashPosition(size_t index) {
    return index == 8 || index == 13 || index == 18 || index == 23;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

bool ParseUuid(const char* text, hy_uuid* out) {
    if (text == nullptr || std::strlen(text) != kUuidTextLength) {
        return false;
    }
    hy_uuid parsed{};
    size_t nibble = 0;
    for (size_t i = 0; i < kUuidTextLength; ++i) {
        if (IsDashPosition(i)) {
            if (text[i] != '-') {
                return false;
            }
            continue;
        }
        const int value = HexValue(text[i]);
        if (value < 0) {
            return false;
        }
        uint8_t& byte = parsed.bytes[nibble / 2];
        byte = static_cast<uint8_t>(nibble % 2 == 0 ? value << 4 : byte | value);
        ++nibble;
    }
    *out = parsed;
    return true;
}

std::string FormatUuid(const hy_uuid& uuid) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(kUuidTextLength);
    for (size_t i = 0; i < sizeof uuid.bytes; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text.push_back('-');
        }
        text.push_back(kDigits[uuid.bytes[i] >> 4]);
        text.push_back(kDigits[uuid.bytes[i] & 0x0f]);
    }
    return text;
}

std::string NewUuidText() {
    hy_uuid uuid{};
    if (!FillRandomBytes(uuid.bytes, sizeof uuid.bytes)) {
        // Without an entropy source an identifier is still needed; mixing the
        // address of a stack object and a counter keeps ids distinct per run.
        static uint64_t fallback = 0x9e3779b97f4a7c15ull;
        uint64_t seed = ++fallback ^ reinterpret_cast<uintptr_t>(&uuid);
        for (uint8_t& byte : uuid.bytes) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            byte = static_cast<uint8_t>(seed >> 56);
        }
    }
    uuid.bytes[6] = static_cast<uint8_t>((uuid.bytes[6] & 0x0f) | 0x40);  // version 4
    uuid.bytes[8] = static_cast<uint8_t>((uuid.bytes[8] & 0x3f) | 0x80);  // RFC variant
    return FormatUuid(uuid);
}

}  // namespace halyard

extern "C" {

HY_API int HY_CALL hy_uuid_set_from_string(hy_uuid* out, const char* text) {
    if (out == nullptr) {
        return -1;
    }
    if (!halyard::ParseUuid(text, out)) {
        *out = hy_uuid{};
        return -1;
    }
    return 0;
}

HY_API char* HY_CALL hy_uuid_to_string(const hy_uuid* uuid) try {
    if (uuid == nullptr) {
        return nullptr;
    }
    return halyard::CopyText(halyard::FormatUuid(*uuid));
} catch (...) {
    return halyard::Caught("hy_uuid_to_string", nullptr);
}

}  // extern "C"
