#include "Random.h"

#if defined(_WIN32)
#include <windows.h>
// wincrypt.h needs the types of windows.h.
#include <wincrypt.h>
#else
#include <cstdio>
#endif

namespace halyard {

#if defined(_WIN32)

bool FillRandomBytes(void* out, size_t size) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        return false;
    }
    const BOOL ok = CryptGenRandom(provider, static_cast<DWORD>(size), static_cast<BYTE*>(out));
    CryptReleaseContext(provider, 0);
    return ok != FALSE;
}

#else

bool FillRandomBytes(void* out, size_t size) {
    std::FILE* source = std::fopen("/dev/urandom", "rb");
    if (source == nullptr) {
        return false;
    }
    const size_t got = std::fread(out, 1, size, source);
    std::fclose(source);
    return got == size;
}

#endif

}  // namespace halyard
