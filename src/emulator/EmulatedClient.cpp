#include "emulator/EmulatedClient.h"

#include "emulator/HalyardEmulator.h"
#include "emulator/StatusBody.h"

namespace KRHalyardEmulator {

const char* ClientStateName(uint32_t state) {
    switch (state) {
        case CLIENT_MATCHING:
            return "matching";
        case CLIENT_MATCHED:
            return "matched";
        case CLIENT_ACCEPTED:
            return "accepted";
        case CLIENT_MATCH_STARTED:
            return "match_started";
        case CLIENT_EXPIRED:
            return "expired";
        case CLIENT_CANCELLED:
            return "cancelled";
        default:
            return "<unknown state>";
    }
}

Client::Client(HalyardEmulator& emulator, hy_client* halyard_client)
    : emulator_(emulator), ticket_(emulator.NewUuid()), halyard_client_(halyard_client) {}

Client::~Client() {
    emulator_.EmulatorLog(EMU_LOG_INFO, "%s: Client deleted", ticket_.c_str());
    hy_json_free(started_status_);
}

void Client::EnterMatchmaking() {
    emulator_.EmulatorLog(EMU_LOG_INFO, "%s: Client entering matchmaking", ticket_.c_str());
    if (state_ == CLIENT_MATCHED || state_ == CLIENT_ACCEPTED) {
        accepted_ = false;
    }
    if (state_ == CLIENT_MATCHING || state_ == CLIENT_MATCHED || state_ == CLIENT_ACCEPTED) {
        state_ = CLIENT_MATCHING;
    }
}

void Client::FoundMatch() {
    emulator_.EmulatorLog(EMU_LOG_INFO, "%s: Client found match", ticket_.c_str());
    if (state_ == CLIENT_MATCHING) {
        state_ = CLIENT_MATCHED;
    }
}

void Client::AcceptMatch() {
    emulator_.EmulatorLog(EMU_LOG_INFO, "%s: Client accepted match", ticket_.c_str());
    accepted_ = true;
}

void Client::PromoteToAccepted() {
    if (state_ == CLIENT_MATCHED) {
        state_ = CLIENT_ACCEPTED;
    }
}

void Client::CancelMatch() {
    emulator_.EmulatorLog(EMU_LOG_INFO, "%s: Client cancelled match", ticket_.c_str());
    state_ = CLIENT_CANCELLED;
}

void Client::StartMatch() {
    emulator_.EmulatorLog(EMU_LOG_INFO, "%s: Client started match", ticket_.c_str());
    if (state_ != CLIENT_ACCEPTED || hopper_ == nullptr) {
        return;
    }
    state_ = CLIENT_MATCH_STARTED;
    hy_json_free(started_status_);
    started_status_ = BuildMatchableStatus(emulator_, *hopper_, *this, true);
}

}  // namespace KRHalyardEmulator
