#pragma once

#include <string>

#include "halyard.h"

namespace halyard {

// Length of the text form, 8-4-4-4-12 hexadecimal digits.
constexpr size_t kUuidTextLength = 36;

// Reads the 8-4-4-4-12 text form (either case of hex digits); false otherwise.
bool ParseUuid(const char* text, hy_uuid* out);
// The lower-case text form.
std::string FormatUuid(const hy_uuid& uuid);
// A freshly drawn random (version 4) identifier in text form.
std::string NewUuidText();

}  // namespace halyard
