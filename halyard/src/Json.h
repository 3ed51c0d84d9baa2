#pragma once

#include <jansson.h>

#include <cstddef>
#include <memory>
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

// A JSON value released when it goes out of scope, exceptions (a message
// function that threw, memory) included.
struct JsonRelease {
    void operator()(json_t* node) const { json_decref(node); }
};
using JsonPtr = std::unique_ptr<json_t, JsonRelease>;

// Any JSON text (scalars too); null when the bytes are not JSON, with the
// reason ("line 1, column 7 (byte 6): ...") in *error when error is given.
// flags: more decoding flags of the JSON runtime (JSON_REJECT_DUPLICATES).
json_t* ParseJson(const char* text, size_t length, std::string* error = nullptr, size_t flags = 0);
constexpr size_t kCompactFlags = JSON_COMPACT | JSON_ENCODE_ANY;

// Text of the value as the JSON runtime writes it with flags (compact by
// default); "" for a null value or one that cannot be written. The text never
// passes through the runtime's allocator, which belongs to the process.
std::string SerializeToString(const json_t* node, size_t flags = kCompactFlags);
// Sets key of object to the value of a recorded JSON text, so that a written
// scenario reads as JSON; text that is somehow not JSON goes in as a string.
// Nothing is set for a null or empty text.
void SetJsonMember(json_t* object, const char* key, const char* text);
// Takes a value handed to this library: it no longer counts as the
// caller's, and is released. Returns its compact text ("" for null).
std::string TakeJson(hy_json* value);

}  // namespace halyard
