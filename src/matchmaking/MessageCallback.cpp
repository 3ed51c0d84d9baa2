#include <cstring>

#include "halyard.h"
#include "matchmaking/MatchmakingSystem.h"

namespace KRMatchmakingSystem {

namespace {
constexpr const char* kMatchmakingUpdateType = "matchmaking_update";
}  // namespace

void MatchmakingSystem::HYMsgCallback(hy_client* client, const char* first, const char* type,
                                      hy_json* json, void* user_data) {
    auto* system = static_cast<MatchmakingSystem*>(user_data);
    // Called from the client library: nothing may be thrown back into it.
    system->Guarded([&] {
        const char* first_text = first != nullptr ? first : "";
        const char* type_text = type != nullptr ? type : "";
        // The registration names this matchmaker, so a message for another
        // client is still ours to handle.
        if (client != system->hy_client_) {
            system->Log(KRMM_LOG_WRN, "Unknown hyClient for halyard msg callback");
        }
        if (json == nullptr) {
            system->Log(KRMM_LOG_HYD, "[HY_MSG]m[%s]c[%s]", type_text, first_text);
            return;
        }
        char* serialized = hy_json_serialize(json, 0);
        system->Log(KRMM_LOG_HYD, "[HY_MSG]m[%s]c[%s] '%s'", type_text, first_text,
                    serialized != nullptr ? serialized : "");
        hy_free(serialized);
        system->Log(KRMM_LOG_DBG, "HYMsgCallback '%s'...", type_text);
        if (std::strcmp(type_text, kMatchmakingUpdateType) != 0) {
            system->Log(KRMM_LOG_DBG, "HYMsgCallback: Unknown msgType '%s'", type_text);
            return;
        }
        MatchableStatus status;
        if (!ParseMatchableStatus(json, &status)) {
            system->Log(KRMM_LOG_WRN, "Failed to parse the matchable status json");
            return;
        }
        system->UpdateMatchableStatus(status);
    });
}

}  // namespace KRMatchmakingSystem
