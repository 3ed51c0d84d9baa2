#pragma once

#include <jansson.h>

#include <cstddef>
#include <string>

#include "halyard.h"

namespace halyard {

// A hy_json handle is the JSON runtime's node itself.
inline json_t* Node(hy_json* value) {
    return reinterpret_cast<json_t*>(value);
}
inline const json_t* Node(const hy_json* value) {
    return reinterpret_cast<const json_t*>(value);
}
inline hy_json* Handle(json_t* node) {
    return reinterpret_cast<hy_json*>(node);
}

// Any JSON text (scalars too); null when the bytes are not JSON.
json_t* ParseJson(const char* text, size_t length);
// Compact text; "" for a null value or one that cannot be written.
std::string SerializeToString(const json_t* node);

}  // namespace halyard
