#include "RequestBody.h"

#include <cstdlib>
#include <cstring>

#include "Ids.h"

namespace KRHalyardServer {
namespace {

HttpResponse Bad(const std::string& code, const std::string& message) {
    return ErrorResponse(400, code, message);
}

BodyError Parse(const std::string& body, Json* value) {
    json_error_t error;
    value->reset(
        json_loadb(body.data(), body.size(), JSON_DECODE_ANY | JSON_REJECT_DUPLICATES, &error));
    if (!*value) {
        return Bad("malformed_json", std::string("the body is not JSON: ") + error.text +
                                         " (byte " + std::to_string(error.position) + ")");
    }
    return std::nullopt;
}

}  // namespace

BodyError ReadObject(const std::string& body, std::initializer_list<const char*> members,
                     Json* object) {
    if (body.empty()) {
        object->reset(json_object());
        return std::nullopt;
    }
    if (BodyError error = Parse(body, object)) {
        return error;
    }
    if (!json_is_object(object->get())) {
        return Bad("wrong_type", "the body must be a JSON object");
    }
    const char* key;
    json_t* value;
    json_object_foreach(object->get(), key, value) {
        bool known = false;
        for (const char* member : members) {
            known = known || std::strcmp(member, key) == 0;
        }
        if (!known) {
            return Bad("unknown_member",
                       std::string("the body has an unknown member \"") + key + "\"");
        }
    }
    return std::nullopt;
}

BodyError ReadValue(const std::string& body, Json* value) {
    if (body.empty()) {
        value->reset();
        return std::nullopt;
    }
    return Parse(body, value);
}

BodyError ReadString(const json_t* object, const char* key, std::string* out) {
    const json_t* value = json_object_get(object, key);
    if (value == nullptr || json_is_null(value)) {
        return std::nullopt;
    }
    if (!json_is_string(value)) {
        return Bad("wrong_type", std::string("\"") + key + "\" must be a string");
    }
    out->assign(json_string_value(value), json_string_length(value));
    return std::nullopt;
}

BodyError ReadUuid(const json_t* object, const char* key, std::string* out) {
    std::string text;
    if (BodyError error = ReadString(object, key, &text)) {
        return error;
    }
    if (!text.empty() && !IsUuid(text)) {
        return Bad("bad_uuid", std::string("\"") + key +
                                   "\" must be a lower-case UUID (8-4-4-4-12 hexadecimal digits)");
    }
    *out = text;
    return std::nullopt;
}

BodyError ReadInteger(const json_t* object, const char* key, int64_t* out) {
    const json_t* value = json_object_get(object, key);
    if (value == nullptr || json_is_null(value)) {
        return std::nullopt;
    }
    if (!json_is_integer(value)) {
        return Bad("wrong_type", std::string("\"") + key + "\" must be an integer");
    }
    *out = json_integer_value(value);
    return std::nullopt;
}

BodyError ReadBool(const json_t* object, const char* key, bool* out) {
    const json_t* value = json_object_get(object, key);
    if (value == nullptr || json_is_null(value)) {
        return std::nullopt;
    }
    if (!json_is_boolean(value)) {
        return Bad("wrong_type", std::string("\"") + key + "\" must be true or false");
    }
    *out = json_is_true(value);
    return std::nullopt;
}

std::string CompactText(const json_t* value) {
    if (value == nullptr || json_is_null(value)) {
        return std::string();
    }
    std::unique_ptr<char, decltype(&free)> text(json_dumps(value, JSON_COMPACT | JSON_ENCODE_ANY),
                                                &free);
    return text ? text.get() : std::string();
}

std::string MemberText(const json_t* object, const char* key) {
    return CompactText(json_object_get(object, key));
}

std::string Dump(json_t* object) {
    Json owned(object);
    return CompactText(owned.get());
}

}  // namespace KRHalyardServer
