#include <cstring>
#include <string>

#include "Json.h"
#include "LastError.h"
#include "LiveCounts.h"
#include "Uuid.h"

namespace halyard {
namespace {

const char* const kStates[] = {"initial_waiting", "matching", "matched",  "accepted",
                               "match_started",   "expired",  "cancelled"};

bool IsId(const char* text) {
    return text != nullptr && std::strlen(text) == kUuidTextLength;
}

bool IsState(const char* text) {
    for (const char* state : kStates) {
        if (text != nullptr && std::strcmp(text, state) == 0) {
            return true;
        }
    }
    return false;
}

// The JSON runtime takes only UTF-8 texts; asking it is the one test that
// agrees with it.
bool IsUtf8(const char* text) {
    json_t* probe = json_string(text);
    json_decref(probe);
    return probe != nullptr;
}

// Refuses in the name of function unless every id is a 36-character UTF-8 text.
bool CheckIds(const char* function, std::initializer_list<const char*> ids) {
    for (const char* id : ids) {
        if (id != nullptr && !IsUtf8(id)) {
            Refuse(function, "an id is not UTF-8 text");
            return false;
        }
        if (!IsId(id)) {
            Refuse(function, std::string("\"") + (id != nullptr ? id : "(null)") +
                                 "\" is not a 36-character id");
            return false;
        }
    }
    return true;
}

// The new value for the caller; null, with the reason, when memory ran out.
hy_json* Owned(const char* function, json_t* value) {
    json_t* tracked = TrackJson(value);
    if (tracked == nullptr) {
        Refuse(function, "out of memory");
    }
    return Handle(tracked);
}

int Appended(const char* function, int result) {
    return result == 0 ? 0 : Refuse(function, "out of memory");
}

}  // namespace
}  // namespace halyard

extern "C" {

HY_API hy_json* HY_CALL hyl_status_json(const char* matchable_id, const char* hopper_id,
                                        uint32_t seq, const char* state) try {
    if (!halyard::CheckIds("hyl_status_json", {matchable_id, hopper_id})) {
        return nullptr;
    }
    if (!halyard::IsState(state)) {
        halyard::Refuse("hyl_status_json", std::string("unknown state \"") +
                                               (state != nullptr ? state : "(null)") + "\"");
        return nullptr;
    }
    return halyard::Owned(
        "hyl_status_json",
        json_pack("{s:I,s:s,s:s,s:s,s:i,s:i}", "seq", static_cast<json_int_t>(seq), "matchable_id",
                  matchable_id, "hopper_id", hopper_id, "state", state, "estimated_hopper_size", 1,
                  "group_size", 1));
} catch (...) {
    return halyard::Caught("hyl_status_json", nullptr);
}

HY_API hy_json* HY_CALL hyl_match_json(const char* match_id) try {
    if (!halyard::CheckIds("hyl_match_json", {match_id})) {
        return nullptr;
    }
    return halyard::Owned("hyl_match_json",
                          json_pack("{s:s,s:[],s:[]}", "id", match_id, "accepted", "teams"));
} catch (...) {
    return halyard::Caught("hyl_match_json", nullptr);
}

HY_API int HY_CALL hyl_match_add_team(hy_json* match, const char* const* identity_ids,
                                      uint32_t count) try {
    json_t* teams = json_object_get(halyard::Node(match), "teams");
    if (!json_is_array(teams) || (identity_ids == nullptr && count > 0)) {
        return halyard::Refuse("hyl_match_add_team", "not a match made by hyl_match_json");
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (!halyard::CheckIds("hyl_match_add_team", {identity_ids[i]})) {
            return -1;
        }
    }
    json_t* team = json_array();
    int appended = 0;
    for (uint32_t i = 0; i < count && appended == 0; ++i) {
        appended = json_array_append_new(team, json_pack("{s:s,s:{},s:{}}", "identity_id",
                                                         identity_ids[i], "attributes", "values"));
    }
    if (appended != 0) {
        json_decref(team);  // a team short of a member would be a different match
        return halyard::Appended("hyl_match_add_team", appended);
    }
    return halyard::Appended("hyl_match_add_team", json_array_append_new(teams, team));
} catch (...) {
    return halyard::Caught("hyl_match_add_team");
}

HY_API int HY_CALL hyl_match_add_accepted(hy_json* match, const char* identity_id) try {
    json_t* accepted = json_object_get(halyard::Node(match), "accepted");
    if (!json_is_array(accepted)) {
        return halyard::Refuse("hyl_match_add_accepted", "not a match made by hyl_match_json");
    }
    if (!halyard::CheckIds("hyl_match_add_accepted", {identity_id})) {
        return -1;
    }
    return halyard::Appended("hyl_match_add_accepted",
                             json_array_append_new(accepted, json_string(identity_id)));
} catch (...) {
    return halyard::Caught("hyl_match_add_accepted");
}

HY_API hy_json* HY_CALL hyl_hopper_json(const char* hopper_id, const char* name, int32_t players,
                                        const double* team_fractions, uint32_t team_count) try {
    if (!halyard::CheckIds("hyl_hopper_json", {hopper_id})) {
        return nullptr;
    }
    if (team_fractions == nullptr && team_count > 0) {
        halyard::Refuse("hyl_hopper_json", "no team fractions");
        return nullptr;
    }
    if (name != nullptr && !halyard::IsUtf8(name)) {
        halyard::Refuse("hyl_hopper_json", "name is not UTF-8 text");
        return nullptr;
    }
    json_t* teams = json_array();
    for (uint32_t i = 0; i < team_count; ++i) {
        json_array_append_new(teams, json_real(team_fractions[i]));
    }
    return halyard::Owned("hyl_hopper_json",
                          json_pack("{s:s,s:s,s:b,s:b,s:i,s:i,s:i,s:i,s:o}", "_id", hopper_id,
                                    "name", name != nullptr ? name : "", "is_enabled", 1,
                                    "allow_groups", 0, "expansion_time", 0, "expansion_wait", 0,
                                    "maximum_wait_time", 0, "players", players, "teams", teams));
} catch (...) {
    return halyard::Caught("hyl_hopper_json", nullptr);
}

}  // extern "C"
