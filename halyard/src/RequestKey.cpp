#include "RequestKey.h"

#include "Json.h"

namespace halyard {
namespace {

void SetText(json_t* object, const char* key, const char* text) {
    if (text != nullptr && text[0] != '\0') {
        json_object_set_new(object, key, json_string(text));
    }
}

void SetInteger(json_t* object, const char* key, int64_t number) {
    if (number != 0) {
        json_object_set_new(object, key, json_integer(number));
    }
}

}  // namespace

json_t* RequestObject(const hyl_request& r) {
    json_t* object = json_object();
    switch (r.kind) {
        case HYL_TICKET:
            SetText(object, "hopper_id", r.hopper_id);
            SetText(object, "group_id", r.group_id);
            SetText(object, "second_group_id", r.second_group_id);
            SetInteger(object, "group_size", r.group_size);
            SetInteger(object, "has_reserved", r.has_reserved);
            SetJsonMember(object, "attributes", r.attributes_json);
            SetJsonMember(object, "values", r.values_json);
            break;
        case HYL_CANCEL:
            SetText(object, "ticket", r.ticket);
            SetInteger(object, "soft", r.soft);
            break;
        case HYL_START:
            SetText(object, "ticket", r.ticket);
            SetJsonMember(object, "join_info", r.join_info_json);
            break;
        case HYL_CHECK_PROOF:
        case HYL_CREATE_MANUAL_PROOF:
            SetText(object, "text", r.text);
            break;
        case HYL_GET_OBJECT:
            SetText(object, "collection", r.collection);
            SetText(object, "object_id", r.object_id);
            SetJsonMember(object, "options", r.options_json);
            break;
        case HYL_MARK_IDENTITY_ACTIVE:
            SetInteger(object, "argument", r.argument);
            break;
        default:  // keep-alive, accept, create proof
            SetText(object, "ticket", r.ticket);
            break;
    }
    return object;
}

std::string RequestKey(const json_t* object) {
    return SerializeToString(object, kCompactFlags | JSON_SORT_KEYS);
}

std::string RequestKey(const hyl_request& request) {
    json_t* object = RequestObject(request);
    std::string key = RequestKey(object);
    json_decref(object);
    return key;
}

}  // namespace halyard
