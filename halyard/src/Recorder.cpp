#include <cstring>
#include <new>

#include "Journal.h"
#include "Json.h"
#include "Kinds.h"
#include "LastError.h"
#include "LiveCounts.h"
#include "ScenarioFile.h"

// A journal that the caller fills, for sessions served by something other
// than the loopback.
struct hyl_recorder {
    std::string identity;
    halyard::Journal journal;
};

namespace halyard {
namespace {

// "" (none) or JSON text; false, with the reason, for anything else.
bool IsJsonOrEmpty(const char* text, std::string* error) {
    if (text == nullptr || text[0] == '\0') {
        return true;
    }
    json_t* value = ParseJson(text, std::strlen(text), error);
    json_decref(value);
    return value != nullptr;
}

}  // namespace
}  // namespace halyard

extern "C" {

HY_API hyl_recorder* HY_CALL hyl_recorder_new(const char* identity_id) try {
    hyl_recorder* recorder = new (std::nothrow) hyl_recorder();
    if (recorder != nullptr && identity_id != nullptr) {
        recorder->identity = identity_id;
    }
    return recorder;
} catch (...) {
    return halyard::Caught("hyl_recorder_new", nullptr);
}

HY_API void HY_CALL hyl_recorder_free(hyl_recorder* recorder) {
    delete recorder;
}

HY_API int HY_CALL hyl_recorder_add(hyl_recorder* recorder, const hyl_request* exchange) try {
    if (recorder == nullptr || exchange == nullptr) {
        return halyard::Refuse("hyl_recorder_add", "no recorder or no exchange");
    }
    if (!halyard::IsValidKind(exchange->kind)) {
        return halyard::Refuse("hyl_recorder_add",
                               "request kind " + std::to_string(exchange->kind) + " out of range");
    }
    std::string error;
    if (!halyard::IsJsonOrEmpty(exchange->body_json, &error)) {
        return halyard::Refuse("hyl_recorder_add", "body: " + error);
    }
    recorder->journal.Add(halyard::JournalEntry::CopyOf(*exchange));
    return 0;
} catch (...) {
    return halyard::Caught("hyl_recorder_add");
}

HY_API int HY_CALL hyl_recorder_add_push(hyl_recorder* recorder, const hyl_push* push) try {
    if (recorder == nullptr || push == nullptr || push->type == nullptr) {
        return halyard::Refuse("hyl_recorder_add_push", "no recorder, push or message type");
    }
    std::string error;
    if (!halyard::IsJsonOrEmpty(push->json, &error)) {
        return halyard::Refuse("hyl_recorder_add_push", "json: " + error);
    }
    recorder->journal.AddPush(halyard::PushEntry::CopyOf(*push));
    return 0;
} catch (...) {
    return halyard::Caught("hyl_recorder_add_push");
}

HY_API char* HY_CALL hyl_recorder_scenario(const hyl_recorder* recorder) try {
    if (recorder == nullptr) {
        halyard::Refuse("hyl_recorder_scenario", "no recorder");
        return nullptr;
    }
    return halyard::CopyText(halyard::ScenarioText(recorder->identity, recorder->journal));
} catch (...) {
    return halyard::Caught("hyl_recorder_scenario", nullptr);
}

HY_API int HY_CALL hyl_recorder_write(const hyl_recorder* recorder, const char* path) try {
    if (recorder == nullptr) {
        return halyard::Refuse("hyl_recorder_write", "no recorder");
    }
    return halyard::WriteScenarioFile("hyl_recorder_write", path,
                                      halyard::ScenarioText(recorder->identity, recorder->journal));
} catch (...) {
    return halyard::Caught("hyl_recorder_write");
}

}  // extern "C"
