#include "StatusBody.h"

#include <jansson.h>

#include <cstdlib>
#include <memory>

namespace KRHalyardServer {
namespace {

struct JsonFree {
    void operator()(json_t* value) const { json_decref(value); }
};
using Json = std::unique_ptr<json_t, JsonFree>;

// A stored JSON text as a value; an empty text is an empty object.
json_t* Value(const std::string& text) {
    json_t* value =
        text.empty() ? nullptr : json_loadb(text.data(), text.size(), JSON_DECODE_ANY, nullptr);
    return value != nullptr ? value : json_object();
}

json_t* MatchObject(const Match& match) {
    json_t* object = json_object();
    json_object_set_new(object, "id", json_string(match.id.c_str()));
    json_object_set_new(object, "hopper_id", json_string(match.hopper_id.c_str()));
    json_object_set_new(object, "params", json_object());
    json_object_set_new(object, "join_info", Value(match.join_info));
    json_t* accepted = json_array();
    for (const std::string& ticket : match.accepted) {
        if (const MatchMember* member = match.Find(ticket)) {
            json_array_append_new(accepted, json_string(member->identity.c_str()));
        }
    }
    json_object_set_new(object, "accepted", accepted);
    json_t* teams = json_array();
    for (const auto& team : match.teams) {
        json_t* users = json_array();
        for (const MatchMember& member : team) {
            json_t* user = json_object();
            json_object_set_new(user, "identity_id", json_string(member.identity.c_str()));
            if (!member.party_id.empty()) {
                json_object_set_new(user, "group_id", json_string(member.party_id.c_str()));
            }
            json_object_set_new(user, "attributes", Value(member.attributes));
            json_object_set_new(user, "values", Value(member.values));
            json_array_append_new(users, user);
        }
        json_array_append_new(teams, users);
    }
    json_object_set_new(object, "teams", teams);
    return object;
}

// The party as this ticket sees it: from its match once matched (the party
// record ends when the match starts), else from the party record.
void SetGroup(Store& store, const Ticket& ticket, const Match* match, json_t* status) {
    json_object_set_new(status, "group_id", json_string(ticket.party_id.c_str()));
    json_t* joined = json_array();
    json_int_t size = 0;
    if (match != nullptr) {
        for (const MatchMember* member : match->Members()) {
            if (member->party_id == ticket.party_id) {
                json_array_append_new(joined, json_string(member->identity.c_str()));
                ++size;
            }
        }
    } else if (const std::optional<Party> party = store.GetParty(ticket.party_id)) {
        for (const std::string& identity : party->identities) {
            json_array_append_new(joined, json_string(identity.c_str()));
        }
        size = party->size;
    }
    json_object_set_new(status, "group_size", json_integer(size));
    json_object_set_new(status, "group_members_joined", joined);
}

}  // namespace

std::string StatusBody(Store& store, const Ticket& ticket) {
    Json status(json_object());
    json_object_set_new(status.get(), "seq", json_integer(ticket.seq));
    json_object_set_new(status.get(), "matchable_id", json_string(ticket.id.c_str()));
    json_object_set_new(status.get(), "hopper_id", json_string(ticket.hopper_id.c_str()));
    json_object_set_new(
        status.get(), "estimated_hopper_size",
        json_integer(static_cast<json_int_t>(store.WaitingCount(ticket.hopper_id))));
    json_object_set_new(status.get(), "state", json_string(StateText(ticket.state)));
    std::optional<Match> match;
    if (!ticket.match_id.empty()) {
        match = store.GetMatch(ticket.match_id);
    }
    if (!ticket.party_id.empty()) {
        SetGroup(store, ticket, match ? &*match : nullptr, status.get());
    }
    if (match) {
        json_object_set_new(status.get(), "match", MatchObject(*match));
    }
    std::unique_ptr<char, decltype(&free)> text(json_dumps(status.get(), JSON_COMPACT), &free);
    return text.get();
}

}  // namespace KRHalyardServer
