// libFuzzer entry point over the record parsers (clang only).
#include <cstdio>
#include <cstdlib>

#include "../RecordsFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (const char* broken = records_test::CheckRecordParsers(data, size)) {
        std::fprintf(stderr, "record invariant broken: %s\n", broken);
        std::abort();
    }
    return 0;
}
