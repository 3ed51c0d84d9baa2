#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// wincrypt.h needs windows.h first.
#include <wincrypt.h>

#include <ctime>

#include "platform/Platform.h"

namespace KRPlatform {

uint64_t PerformanceCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<uint64_t>(now.QuadPart);
}

uint64_t PerformanceFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<uint64_t>(frequency.QuadPart);
}

bool CurrentUtcTime(UtcTime* out) {
    const __time64_t now = _time64(nullptr);
    if (now == static_cast<__time64_t>(-1)) {
        return false;
    }
    tm broken{};
    if (_gmtime64_s(&broken, &now) != 0) {
        return false;
    }
    *out = UtcTime{broken.tm_year, broken.tm_mon, broken.tm_mday,
                   broken.tm_hour, broken.tm_min, broken.tm_sec};
    return true;
}

bool RandomBytes(uint8_t* out, std::size_t count) {
    // A verification-only context: no key container is touched and no user
    // interface may appear.
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        return false;
    }
    const BOOL ok = CryptGenRandom(provider, static_cast<DWORD>(count), out);
    CryptReleaseContext(provider, 0);
    return ok != FALSE;
}

void DebugOutput(const char* text) {
    OutputDebugStringA(text);
}

}  // namespace KRPlatform
