#include "RequestKey.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "Json.h"

namespace halyard {
namespace {

// One argument of a request as a scenario names it, and the field of
// hyl_request that holds it: a text (or a JSON text), a signed or an
// unsigned 32-bit number.
struct Argument {
    const char* name;
    const char* hyl_request::*text;
    bool json;
    int32_t hyl_request::*number;
    uint32_t hyl_request::*count;
};

constexpr Argument Text(const char* name, const char* hyl_request::*field) {
    return {name, field, false, nullptr, nullptr};
}
constexpr Argument Json(const char* name, const char* hyl_request::*field) {
    return {name, field, true, nullptr, nullptr};
}
constexpr Argument Number(const char* name, int32_t hyl_request::*field) {
    return {name, nullptr, false, field, nullptr};
}
constexpr Argument Count(const char* name, uint32_t hyl_request::*field) {
    return {name, nullptr, false, nullptr, field};
}

// RequestObject as its key: sorted keys, compact.
std::string KeyOf(const json_t* object) {
    return SerializeToString(object, kCompactFlags | JSON_SORT_KEYS);
}

// The arguments of one kind, for range-for.
struct Arguments {
    const Argument* first;
    const Argument* last;
    const Argument* begin() const { return first; }
    const Argument* end() const { return last; }
};

template <size_t N>
Arguments All(const Argument (&list)[N]) {
    return {list, list + N};
}

// The arguments each kind takes, in the order a scenario writes them.
Arguments ArgumentsOf(hyl_kind kind) {
    static constexpr Argument kTicket[] = {Text("hopper_id", &hyl_request::hopper_id),
                                           Text("group_id", &hyl_request::group_id),
                                           Text("second_group_id", &hyl_request::second_group_id),
                                           Count("group_size", &hyl_request::group_size),
                                           Number("has_reserved", &hyl_request::has_reserved),
                                           Json("attributes", &hyl_request::attributes_json),
                                           Json("values", &hyl_request::values_json)};
    static constexpr Argument kTicketText[] = {Text("ticket", &hyl_request::ticket)};
    static constexpr Argument kCancel[] = {Text("ticket", &hyl_request::ticket),
                                           Number("soft", &hyl_request::soft)};
    static constexpr Argument kStart[] = {Text("ticket", &hyl_request::ticket),
                                          Json("join_info", &hyl_request::join_info_json)};
    static constexpr Argument kProofText[] = {Text("text", &hyl_request::text)};
    static constexpr Argument kGetObject[] = {Text("collection", &hyl_request::collection),
                                              Text("object_id", &hyl_request::object_id),
                                              Json("options", &hyl_request::options_json)};
    static constexpr Argument kMarkActive[] = {Number("argument", &hyl_request::argument)};
    switch (kind) {
        case HYL_TICKET:
            return All(kTicket);
        case HYL_KEEPALIVE:
        case HYL_ACCEPT:
        case HYL_CREATE_PROOF:
            return All(kTicketText);
        case HYL_CANCEL:
            return All(kCancel);
        case HYL_START:
            return All(kStart);
        case HYL_CHECK_PROOF:
        case HYL_CREATE_MANUAL_PROOF:
            return All(kProofText);
        case HYL_GET_OBJECT:
            return All(kGetObject);
        case HYL_MARK_IDENTITY_ACTIVE:
            return All(kMarkActive);
        default:
            return {nullptr, nullptr};
    }
}

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

// '"ticket"' or '"ticket", "soft"': what a kind takes, for a refusal.
std::string NamesOf(hyl_kind kind) {
    std::string names;
    for (const Argument& argument : ArgumentsOf(kind)) {
        names += (names.empty() ? "\"" : ", \"") + std::string(argument.name) + "\"";
    }
    return names;
}

// Puts one member of a "request" object into key as RequestObject would
// write it; the reason when its type is not the argument's, "" otherwise.
std::string ReadArgument(const Argument& argument, json_t* value, json_t* key) {
    if (argument.json) {
        json_object_set(key, argument.name, value);
        return "";
    }
    if (argument.text != nullptr) {
        if (!json_is_string(value)) {
            return "expected a text";
        }
        SetText(key, argument.name, json_string_value(value));
        return "";
    }
    const int64_t low = argument.number != nullptr ? INT32_MIN : 0;
    const int64_t high = argument.number != nullptr ? INT32_MAX : UINT32_MAX;
    if (!json_is_integer(value) || json_integer_value(value) < low ||
        json_integer_value(value) > high) {
        return "expected an integer from " + std::to_string(low) + " to " + std::to_string(high);
    }
    SetInteger(key, argument.name, json_integer_value(value));
    return "";
}

}  // namespace

json_t* RequestObject(const hyl_request& request) {
    json_t* object = json_object();
    for (const Argument& argument : ArgumentsOf(request.kind)) {
        if (argument.json) {
            SetJsonMember(object, argument.name, request.*argument.text);
        } else if (argument.text != nullptr) {
            SetText(object, argument.name, request.*argument.text);
        } else if (argument.number != nullptr) {
            SetInteger(object, argument.name, request.*argument.number);
        } else {
            SetInteger(object, argument.name, request.*argument.count);
        }
    }
    return object;
}

std::string RequestKey(const hyl_request& request) {
    const JsonPtr object(RequestObject(request));
    return KeyOf(object.get());
}

bool ReadRequestKey(hyl_kind kind, const json_t* object, std::string* key, std::string* member,
                    std::string* reason) {
    const JsonPtr normal(json_object());
    const char* name = nullptr;
    json_t* value = nullptr;
    json_object_foreach(const_cast<json_t*>(object), name, value) {
        const Arguments arguments = ArgumentsOf(kind);
        const Argument* found =
            std::find_if(arguments.begin(), arguments.end(),
                         [name](const Argument& a) { return a.name == std::string(name); });
        if (found == arguments.end()) {
            member->clear();
            *reason = std::string("unknown member \"") + name + "\" (" + hyl_kind_name(kind) +
                      " requests take " + NamesOf(kind) + ")";
        } else {
            *member = name;
            *reason = ReadArgument(*found, value, normal.get());
        }
        if (!reason->empty()) {
            return false;
        }
    }
    *key = KeyOf(normal.get());
    return true;
}

}  // namespace halyard
