#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "Client.h"
#include "Json.h"
#include "Kinds.h"
#include "LastError.h"
#include "RequestKey.h"
#include "ScenarioFile.h"
#include "Uuid.h"

namespace halyard {
namespace {

// Everything a scenario sets, read in full before any of it is applied, so a
// refused scenario leaves the client as it was.
struct Scenario {
    std::string identity;
    struct Queued {
        hyl_kind kind;
        Answer answer;
        uint32_t repeat;
    };
    std::vector<Queued> answers;
    std::vector<std::pair<hyl_kind, Answer>> defaults;
    std::vector<ScheduledPush> pushes;
};

// Reads one scenario; on the first problem records where ("answers.keepalive[2].status")
// and why, and stops.
class ScenarioReader {
public:
    bool Read(const json_t* root, Scenario* out) {
        if (!Expect(json_is_object(root), "", "a scenario is a JSON object") ||
            !KnownMembers(root, "", {"identity_id", "answers", "defaults", "pushes"})) {
            return false;
        }
        const json_t* identity = json_object_get(root, "identity_id");
        if (identity != nullptr) {
            if (!Expect(json_is_string(identity) &&
                            std::strlen(json_string_value(identity)) == kUuidTextLength,
                        "identity_id", "expected a 36-character identity id")) {
                return false;
            }
            out->identity = json_string_value(identity);
        }
        return ReadAnswers(json_object_get(root, "answers"), out) &&
               ReadDefaults(json_object_get(root, "defaults"), out) &&
               ReadPushes(json_object_get(root, "pushes"), out);
    }

    const std::string& error() const { return error_; }

private:
    bool Expect(bool condition, const std::string& path, const std::string& reason) {
        if (!condition && error_.empty()) {
            error_ = (path.empty() ? std::string() : path + ": ") + reason;
        }
        return condition;
    }

    bool KnownMembers(const json_t* object, const std::string& path,
                      std::initializer_list<const char*> known) {
        const char* key = nullptr;
        const json_t* value = nullptr;
        json_object_foreach(const_cast<json_t*>(object), key, value) {
            bool found = false;
            for (const char* name : known) {
                found = found || std::strcmp(name, key) == 0;
            }
            if (!Expect(found, path, std::string("unknown member \"") + key + "\"")) {
                return false;
            }
        }
        return true;
    }

    // An optional non-negative 32-bit integer member.
    bool ReadCount(const json_t* object, const char* key, const std::string& path, uint32_t* out) {
        const json_t* value = json_object_get(object, key);
        if (value == nullptr) {
            return true;
        }
        const bool fits = json_is_integer(value) && json_integer_value(value) >= 0 &&
                          json_integer_value(value) <= UINT32_MAX;
        *out = fits ? static_cast<uint32_t>(json_integer_value(value)) : 0;
        return Expect(fits, path + "." + key, "expected an integer from 0 to 4294967295");
    }

    bool ReadKind(const char* name, const std::string& path, hyl_kind* kind) {
        return Expect(KindFromName(name, kind), path,
                      std::string("unknown request kind \"") + name + "\"");
    }

    // One answer for a request of kind; a queued one may also say how often
    // it repeats and which request it expects.
    bool ReadAnswer(hyl_kind kind, const json_t* object, const std::string& path, bool queued,
                    Answer* answer, uint32_t* repeat) {
        if (!Expect(json_is_object(object), path, "expected an answer object")) {
            return false;
        }
        if (queued ? !KnownMembers(
                         object, path,
                         {"status", "body", "pending", "repeat", "request", "order", "source"})
                   : !KnownMembers(object, path, {"status", "body", "pending", "source"})) {
            return false;
        }
        const json_t* status = json_object_get(object, "status");
        if (!Expect(json_is_integer(status) && json_integer_value(status) >= 100 &&
                        json_integer_value(status) <= 599,
                    path + ".status", "expected an integer status code from 100 to 599")) {
            return false;
        }
        answer->status = static_cast<int32_t>(json_integer_value(status));
        answer->body = SerializeToString(json_object_get(object, "body"));
        const json_t* source = json_object_get(object, "source");
        hyl_source ignored = HYL_SCRIPTED;
        if (source != nullptr &&
            !Expect(json_is_string(source) && SourceFromName(json_string_value(source), &ignored),
                    path + ".source",
                    "expected \"scripted\", \"default\", \"built_in_default\" or \"fault\"")) {
            return false;
        }
        const json_t* request = json_object_get(object, "request");
        if (request != nullptr) {
            std::string member;
            std::string reason = "expected an object";
            const bool read =
                json_is_object(request) &&
                ReadRequestKey(kind, request, &answer->expectedRequest, &member, &reason);
            if (!Expect(read, path + ".request" + (member.empty() ? "" : "." + member), reason)) {
                return false;
            }
        }
        *repeat = 1;
        uint32_t order = 0;
        if (json_object_get(object, "order") != nullptr) {
            if (!ReadCount(object, "order", path, &order)) {
                return false;
            }
            answer->order = order;
        }
        return ReadCount(object, "pending", path, &answer->pendingPolls) &&
               ReadCount(object, "repeat", path, repeat);
    }

    // Calls read(kind, value, path) for each member of a section keyed by
    // request kind ("answers", "defaults").
    template <typename Read>
    bool ReadKinds(const json_t* section, const char* name, Read read) {
        if (section == nullptr) {
            return true;
        }
        if (!Expect(json_is_object(section), name, "expected an object of request kinds")) {
            return false;
        }
        const char* key = nullptr;
        const json_t* value = nullptr;
        json_object_foreach(const_cast<json_t*>(section), key, value) {
            const std::string path = std::string(name) + "." + key;
            hyl_kind kind = HYL_TICKET;
            if (!ReadKind(key, path, &kind) || !read(kind, value, path)) {
                return false;
            }
        }
        return true;
    }

    bool ReadAnswers(const json_t* answers, Scenario* out) {
        return ReadKinds(
            answers, "answers", [&](hyl_kind kind, const json_t* list, const std::string& path) {
                if (!Expect(json_is_array(list), path, "expected an array of answers")) {
                    return false;
                }
                for (size_t i = 0; i < json_array_size(list); ++i) {
                    Answer answer;
                    uint32_t repeat = 1;
                    if (!ReadAnswer(kind, json_array_get(list, i),
                                    path + "[" + std::to_string(i) + "]", true, &answer, &repeat)) {
                        return false;
                    }
                    out->answers.push_back({kind, std::move(answer), repeat});
                }
                return true;
            });
    }

    bool ReadDefaults(const json_t* defaults, Scenario* out) {
        return ReadKinds(defaults, "defaults",
                         [&](hyl_kind kind, const json_t* object, const std::string& path) {
                             Answer answer;
                             uint32_t repeat = 1;
                             if (!ReadAnswer(kind, object, path, false, &answer, &repeat)) {
                                 return false;
                             }
                             out->defaults.emplace_back(kind, std::move(answer));
                             return true;
                         });
    }

    bool ReadPushes(const json_t* pushes, Scenario* out) {
        if (pushes == nullptr) {
            return true;
        }
        if (!Expect(json_is_array(pushes), "pushes", "expected an array of pushes")) {
            return false;
        }
        for (size_t i = 0; i < json_array_size(pushes); ++i) {
            const std::string path = "pushes[" + std::to_string(i) + "]";
            const json_t* object = json_array_get(pushes, i);
            if (!Expect(json_is_object(object), path, "expected a push object") ||
                !KnownMembers(object, path,
                              {"after_requests", "after_polls", "first", "type", "json"})) {
                return false;
            }
            const json_t* type = json_object_get(object, "type");
            const json_t* first = json_object_get(object, "first");
            if (!Expect(json_is_string(type), path + ".type", "expected a message type text") ||
                !Expect(first == nullptr || json_is_string(first), path + ".first",
                        "expected a text")) {
                return false;
            }
            ScheduledPush push;
            push.type = json_string_value(type);
            push.first = first != nullptr ? json_string_value(first) : "";
            push.json = SerializeToString(json_object_get(object, "json"));
            if (!ReadCount(object, "after_requests", path, &push.afterRequests) ||
                !ReadCount(object, "after_polls", path, &push.afterPolls)) {
                return false;
            }
            out->pushes.push_back(std::move(push));
        }
        return true;
    }

    std::string error_;
};

int Load(const char* function, hy_client* client, const std::string& file, const char* text,
         size_t size) {
    if (client == nullptr) {
        return Refuse(function, "no client");
    }
    if (size > kMaxScenarioBytes) {
        return Refuse(function, file + ": " + TooLargeReason());
    }
    std::string error;
    // A member written twice would silently lose one of its values.
    const JsonPtr root(ParseJson(text, size, &error, JSON_REJECT_DUPLICATES));
    if (root == nullptr) {
        return Refuse(function, file + ": " + error);
    }
    Scenario scenario;
    ScenarioReader reader;
    if (!reader.Read(root.get(), &scenario)) {
        return Refuse(function, file + ": " + reader.error());
    }
    if (!scenario.identity.empty()) {
        client->identity = scenario.identity;
    }
    for (Scenario::Queued& queued : scenario.answers) {
        client->loopback.Script(queued.kind, std::move(queued.answer), queued.repeat);
    }
    for (auto& [kind, answer] : scenario.defaults) {
        client->loopback.SetDefault(kind, std::move(answer));
    }
    for (ScheduledPush& push : scenario.pushes) {
        client->loopback.Schedule(std::move(push));
    }
    return 0;
}

}  // namespace
}  // namespace halyard

extern "C" {

HY_API int HY_CALL hyl_load_scenario(hy_client* client, const char* path) try {
    std::string text;
    if (halyard::ReadScenarioFile("hyl_load_scenario", path, &text) != 0) {
        return -1;
    }
    return halyard::Load("hyl_load_scenario", client, path, text.data(), text.size());
} catch (...) {
    return halyard::Caught("hyl_load_scenario");
}

HY_API int HY_CALL hyl_load_scenario_text(hy_client* client, const char* text) try {
    if (text == nullptr) {
        return halyard::Refuse("hyl_load_scenario_text", "no text");
    }
    return halyard::Load("hyl_load_scenario_text", client, "<text>", text, std::strlen(text));
} catch (...) {
    return halyard::Caught("hyl_load_scenario_text");
}

}  // extern "C"
