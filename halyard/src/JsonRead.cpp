#include <cstdint>

#include "DateTime.h"
#include "Json.h"

using halyard::Handle;
using halyard::Node;

namespace {

// The member under key, or null when object is not an object or key is absent.
const json_t* Member(const hy_json* object, const char* key) {
    if (key == nullptr || !json_is_object(Node(object))) {
        return nullptr;
    }
    return json_object_get(Node(object), key);
}

}  // namespace

extern "C" {

HY_API hy_json* HY_CALL hy_json_get_item(const hy_json* object, const char* key) {
    return Handle(const_cast<json_t*>(Member(object, key)));
}

HY_API const char* HY_CALL hy_json_get_string_item(const hy_json* object, const char* key) {
    return json_string_value(Member(object, key));
}

HY_API int32_t HY_CALL hy_json_get_integer_item(const hy_json* object, const char* key) {
    const json_t* member = Member(object, key);
    if (!json_is_integer(member)) {
        return 0;
    }
    // Keep the low 32 bits, as a 32-bit reader of the wire value would.
    return static_cast<int32_t>(static_cast<uint32_t>(json_integer_value(member)));
}

HY_API double HY_CALL hy_json_get_double_item(const hy_json* object, const char* key) {
    return json_number_value(Member(object, key));
}

HY_API int64_t HY_CALL hy_json_get_datetime_item(const hy_json* object, const char* key) {
    const json_t* member = Member(object, key);
    if (json_is_integer(member)) {
        return json_integer_value(member);
    }
    int64_t seconds = 0;
    if (json_is_string(member) && halyard::ParseUtcTimestamp(json_string_value(member), &seconds)) {
        return seconds;
    }
    return 0;
}

HY_API int32_t HY_CALL hy_json_get_size(const hy_json* array) {
    if (!json_is_array(Node(array))) {
        return 0;
    }
    const size_t size = json_array_size(Node(array));
    return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
}

HY_API hy_json* HY_CALL hy_json_get_value(const hy_json* array, int32_t index) {
    if (index < 0 || !json_is_array(Node(array))) {
        return nullptr;
    }
    return Handle(json_array_get(Node(array), static_cast<size_t>(index)));
}

HY_API const char* HY_CALL hy_json_get_string(const hy_json* value) {
    return json_string_value(Node(value));
}

HY_API double HY_CALL hy_json_get_double(const hy_json* value) {
    return json_number_value(Node(value));
}

HY_API int HY_CALL hy_json_is_true(const hy_json* value) {
    return json_is_true(Node(value)) ? 1 : 0;
}

}  // extern "C"
