#pragma once

#include <cstddef>
#include <cstdint>

namespace records_test {

// What one fuzz input did, so a corpus can show that it reaches every path.
struct FuzzOutcome {
    bool json_parsed = false;
    bool status_valid = false;
    bool hopper_valid = false;
};

// Parses data as JSON and runs the status, match and hopper parsers over it,
// checking what must hold for any body: the parse result is the record's own
// verdict, a valid record's counts agree with its lists, a copy or a parse
// into a used record has the fresh record's counts, Clear restores the
// constructed state and no JSON block outlives the call. Returns null when
// all hold, otherwise what broke. Usable as the body of a libFuzzer entry
// point.
const char* CheckRecordParsers(const uint8_t* data, size_t size, FuzzOutcome* outcome = nullptr);

}  // namespace records_test
