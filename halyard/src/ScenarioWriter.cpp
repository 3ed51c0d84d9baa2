#include "Journal.h"
#include "Json.h"
#include "Kinds.h"
#include "RequestKey.h"

namespace halyard {
namespace {

// The answer given to the order-th request of the session. A request that
// got none (status 0: a networked one still in flight, or freed first) is
// written as a request that ends without an answer, after the polls that
// found it pending: the replay sees what the recorded game saw, and then an
// end that the matchmaker recovers from.
json_t* AnswerObject(const hyl_request& exchange, uint32_t order) {
    json_t* answer = json_object();
    json_object_set_new(answer, "order", json_integer(order));
    json_object_set_new(answer, "request", RequestObject(exchange));
    const int32_t status = exchange.status != 0 ? exchange.status : kNoAnswerStatus;
    json_object_set_new(answer, "status", json_integer(status));
    SetJsonMember(answer, "body", exchange.body_json);
    if (exchange.pending_polls != 0) {
        json_object_set_new(answer, "pending", json_integer(exchange.pending_polls));
    }
    if (exchange.source != HYL_SCRIPTED) {
        json_object_set_new(answer, "source", json_string(SourceName(exchange.source)));
    }
    return answer;
}

json_t* PushObject(const hyl_push& push) {
    json_t* object = json_object();
    json_object_set_new(object, "after_requests", json_integer(push.after_requests));
    json_object_set_new(object, "after_polls", json_integer(push.after_polls));
    json_object_set_new(object, "first", json_string(push.first));
    json_object_set_new(object, "type", json_string(push.type));
    SetJsonMember(object, "json", push.json);
    return object;
}

}  // namespace

std::string ScenarioText(const std::string& identity, const Journal& journal) {
    const JsonPtr scenario(json_object());
    if (!identity.empty()) {
        json_object_set_new(scenario.get(), "identity_id", json_string(identity.c_str()));
    }
    json_t* answers = json_object();
    json_object_set_new(scenario.get(), "answers", answers);
    for (uint32_t i = 0; i < journal.Count(); ++i) {
        const hyl_request& exchange = *journal.Get(i);
        const char* kind = hyl_kind_name(exchange.kind);
        json_t* list = json_object_get(answers, kind);
        if (list == nullptr) {
            list = json_array();
            json_object_set_new(answers, kind, list);
        }
        json_array_append_new(list, AnswerObject(exchange, i));
    }
    json_t* pushes = json_array();
    json_object_set_new(scenario.get(), "pushes", pushes);
    for (uint32_t i = 0; i < journal.PushCount(); ++i) {
        json_array_append_new(pushes, PushObject(*journal.GetPush(i)));
    }
    return SerializeToString(scenario.get(), JSON_INDENT(2)) + "\n";
}

}  // namespace halyard
