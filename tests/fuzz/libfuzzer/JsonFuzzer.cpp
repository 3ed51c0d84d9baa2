// libFuzzer entry for the JSON text path; built only with clang.
#include "fuzz/JsonRoundTrip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!JsonRoundTripHolds(data, size)) {
        __builtin_trap();
    }
    return 0;
}
