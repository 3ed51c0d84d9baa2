// libFuzzer entry point over pushed status messages (clang only).
#include <cstdio>
#include <cstdlib>

#include "../PushedMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (const char* broken = fuzz_test::CheckPushedMessages(data, size)) {
        std::fprintf(stderr, "pushed message invariant broken: %s\n", broken);
        std::abort();
    }
    return 0;
}
