#include "Json.h"
#include "LiveCounts.h"

using halyard::Handle;
using halyard::Node;

extern "C" {

HY_API hy_json* HY_CALL hy_json_new_object(void) {
    return Handle(halyard::TrackJson(json_object()));
}

HY_API hy_json* HY_CALL hy_json_new_array(void) {
    return Handle(halyard::TrackJson(json_array()));
}

HY_API int HY_CALL hy_json_set_key(hy_json* object, const char* key, hy_json* value) {
    if (value == object) {
        // A value cannot own itself; taking it would free the caller's object.
        return -1;
    }
    halyard::UntrackJson(Node(value));
    if (key == nullptr || !json_is_object(Node(object))) {
        json_decref(Node(value));
        return -1;
    }
    return json_object_set_new(Node(object), key, Node(value)) == 0 ? 0 : -1;
}

HY_API int HY_CALL hy_json_set_string_key(hy_json* object, const char* key, const char* text) {
    if (text == nullptr) {
        return -1;
    }
    json_t* string = json_string(text);
    return string == nullptr ? -1 : hy_json_set_key(object, key, Handle(string));
}

HY_API int HY_CALL hy_json_set_integer_key(hy_json* object, const char* key, int64_t number) {
    json_t* integer = json_integer(number);
    return integer == nullptr ? -1 : hy_json_set_key(object, key, Handle(integer));
}

HY_API int HY_CALL hy_json_append_value(hy_json* array, hy_json* value) {
    if (value == array) {
        return -1;
    }
    halyard::UntrackJson(Node(value));
    if (!json_is_array(Node(array))) {
        json_decref(Node(value));
        return -1;
    }
    return json_array_append_new(Node(array), Node(value)) == 0 ? 0 : -1;
}

HY_API int HY_CALL hy_json_append_string_value(hy_json* array, const char* text) {
    if (text == nullptr) {
        return -1;
    }
    json_t* string = json_string(text);
    return string == nullptr ? -1 : hy_json_append_value(array, Handle(string));
}

HY_API hy_json* HY_CALL hy_json_clone(const hy_json* value) {
    return Handle(halyard::TrackJson(json_deep_copy(Node(value))));
}

}  // extern "C"
