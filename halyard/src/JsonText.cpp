#include "Json.h"
#include "LiveCounts.h"

namespace halyard {
namespace {

constexpr size_t kCompactFlags = JSON_COMPACT | JSON_ENCODE_ANY;

}  // namespace

json_t* ParseJson(const char* text, size_t length) {
    if (text == nullptr) {
        return nullptr;
    }
    EnsureJsonCounting();
    json_error_t error;
    return json_loadb(text, length, JSON_DECODE_ANY, &error);
}

std::string SerializeToString(const json_t* node) {
    if (node == nullptr) {
        return std::string();
    }
    char* text = json_dumps(node, kCompactFlags);
    if (text == nullptr) {
        return std::string();
    }
    std::string copy(text);
    FreeText(text);
    return copy;
}

}  // namespace halyard

extern "C" {

HY_API hy_json* HY_CALL hy_json_parse(const char* text, size_t length) {
    return halyard::Handle(halyard::ParseJson(text, length));
}

HY_API void HY_CALL hy_json_free(hy_json* value) {
    json_decref(halyard::Node(value));
}

HY_API char* HY_CALL hy_json_serialize(const hy_json* value, uint32_t /*flags*/) {
    if (value == nullptr) {
        return nullptr;
    }
    // The runtime allocates the text through the counting allocator, so it is
    // released by hy_free like every other text of this library.
    return json_dumps(halyard::Node(value), halyard::kCompactFlags);
}

HY_API void HY_CALL hy_free(void* text) {
    halyard::FreeText(text);
}

}  // extern "C"
