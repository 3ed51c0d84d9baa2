#include "Routes.h"

#include "../Json.h"

namespace halyard {
namespace {

void SetText(json_t* object, const char* key, const std::string& text) {
    if (!text.empty()) {
        json_object_set_new(object, key, json_string(text.c_str()));
    }
}

std::string TicketBody(const JournalEntry& request) {
    json_t* body = json_object();
    SetText(body, "hopper_id", request.hopperId);
    SetText(body, "group_id", request.groupId);
    SetText(body, "second_group_id", request.secondGroupId);
    if (!request.secondGroupId.empty()) {
        json_object_set_new(body, "group_size", json_integer(request.request.group_size));
    }
    SetJsonMember(body, "attributes", request.attributesJson.c_str());
    SetJsonMember(body, "values", request.valuesJson.c_str());
    std::string text = SerializeToString(body);
    json_decref(body);
    return text;
}

std::string OneMember(const char* key, json_t* value) {
    json_t* body = json_object();
    json_object_set_new(body, key, value);
    std::string text = SerializeToString(body);
    json_decref(body);
    return text;
}

}  // namespace

HttpCall RouteOf(const JournalEntry& request, EscapeSegment escape) {
    const std::string ticket = "/v1/matchmaking/tickets/" + escape(request.ticket);
    HttpCall call;
    switch (request.request.kind) {
        case HYL_TICKET:
            call.path = "/v1/matchmaking/tickets";
            call.body = TicketBody(request);
            break;
        case HYL_KEEPALIVE:
            call.path = ticket + "/keepalive";
            break;
        case HYL_ACCEPT:
            call.path = ticket + "/accept";
            break;
        case HYL_CANCEL:
            call.path = ticket + "/cancel";
            call.body = OneMember("soft", json_boolean(request.request.soft != 0));
            break;
        case HYL_START:
            call.path = ticket + "/start";
            call.body = request.joinInfoJson;
            break;
        case HYL_CREATE_PROOF:
            call.path = ticket + "/proof";
            break;
        case HYL_CHECK_PROOF:
            call.path = "/v1/matchmaking/proofs/check";
            call.body = OneMember("proof", json_string(request.text.c_str()));
            break;
        case HYL_CREATE_MANUAL_PROOF:
            call.path = "/v1/matchmaking/proofs/manual";
            call.body = OneMember("argument", json_string(request.text.c_str()));
            break;
        case HYL_GET_OBJECT:
            call.method = "GET";
            call.path =
                "/v1/objects/" + escape(request.collection) + "/" + escape(request.objectId);
            break;
        default:  // HYL_MARK_IDENTITY_ACTIVE
            call.path = "/v1/identity/active";
            call.body = OneMember("argument", json_integer(request.request.argument));
            break;
    }
    return call;
}

}  // namespace halyard
