#pragma once

#include <cstdint>

namespace halyard {

// Seconds since 1970-01-01 UTC of a "YYYY-MM-DDTHH:MM:SSZ" text; false when
// the text is not exactly that form or names no real instant.
bool ParseUtcTimestamp(const char* text, int64_t* seconds);

}  // namespace halyard
