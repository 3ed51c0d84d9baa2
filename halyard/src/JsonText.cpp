#include "Json.h"

#include <cstring>

#include "LastError.h"
#include "LiveCounts.h"

namespace halyard {
json_t* ParseJson(const char* text, size_t length, std::string* error, size_t flags) {
    if (text == nullptr) {
        if (error != nullptr) {
            *error = "no text";
        }
        return nullptr;
    }
    json_error_t failure;
    json_t* node = json_loadb(text, length, JSON_DECODE_ANY | flags, &failure);
    if (node == nullptr && error != nullptr) {
        *error = "line " + std::to_string(failure.line) + ", column " +
                 std::to_string(failure.column) + " (byte " + std::to_string(failure.position) +
                 "): " + failure.text;
    }
    return node;
}

std::string SerializeToString(const json_t* node, size_t flags) {
    if (node == nullptr) {
        return std::string();
    }
    const size_t size = json_dumpb(node, nullptr, 0, flags);
    std::string text(size, '\0');
    if (size == 0 || json_dumpb(node, &text[0], size, flags) != size) {
        return std::string();
    }
    return text;
}

void SetJsonMember(json_t* object, const char* key, const char* text) {
    if (text == nullptr || text[0] == '\0') {
        return;
    }
    json_t* value = ParseJson(text, std::strlen(text));
    json_object_set_new(object, key, value != nullptr ? value : json_string(text));
}

std::string TakeJson(hy_json* value) {
    UntrackJson(Node(value));
    // Released even when its text cannot be made: a value given is taken.
    const JsonPtr taken(Node(value));
    return SerializeToString(taken.get());
}

}  // namespace halyard

extern "C" {

HY_API hy_json* HY_CALL hy_json_parse(const char* text, size_t length) {
    return halyard::Handle(halyard::TrackJson(halyard::ParseJson(text, length)));
}

HY_API void HY_CALL hy_json_free(hy_json* value) {
    halyard::UntrackJson(halyard::Node(value));
    json_decref(halyard::Node(value));
}

// Texts are written into a buffer of this library's own, never the JSON
// runtime's, so hy_free always releases what it was given.
HY_API char* HY_CALL hy_json_serialize(const hy_json* value, uint32_t /*flags*/) try {
    if (value == nullptr) {
        return nullptr;
    }
    const std::string text = halyard::SerializeToString(halyard::Node(value));
    return text.empty() ? nullptr : halyard::CopyText(text);
} catch (...) {
    return halyard::Caught("hy_json_serialize", nullptr);
}

HY_API void HY_CALL hy_free(void* text) {
    halyard::FreeText(text);
}

}  // extern "C"
