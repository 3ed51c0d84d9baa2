// The names the game sees for states, errors and log types.
#include "KRMatchmakingSystem.h"

namespace {

const char* const kStateNames[] = {
    "MMS_INIT",
    "MMS_IDLE",
    "MMS_RESTART",
    "MMS_REQUEST_TICKET",
    "MMS_INITIAL_KEEPALIVE",
    "MMS_INITIAL_WAITING",
    "MMS_MATCHING",
    "MMS_MATCHED",
    "MMS_ACCEPT_MATCH",
    "MMS_ACCEPTED_LEADER",
    "MMS_ACCEPTED_FOLLOWER",
    "MMS_MATCH_STARTED_WAIT",
    "MMS_MATCH_STARTED",
    "MMS_ERR_EXPIRED",
    "MMS_ERR_DECLINED",
};

// Index 0 is unused: 0 means "no error" and has no name.
const char* const kErrorNames[] = {
    nullptr,
    "MME_REQUEST_TICKET_FAILED",
    "MME_INITIAL_KEEPALIVE_REQUEST_FAILED",
    "MME_INITIAL_KEEPALIVE_UNEXPECTED_STATE",
    "MME_TICKET_EXPIRED",
    "MME_UNEXPECTED_HY_STATE",
    "MME_INITIAL_ACCEPT_MATCH_REQUEST_FAILED",
    "MME_INITIAL_DECLINE_MATCH_REQUEST_FAILED",
    "MME_INITIAL_START_MATCH_REQUEST_FAILED",
    "MME_KEEPALIVE_REQUEST_FAILED",
    "MME_NOT_MATCHMAKING",
    "MME_ALREADY_MATCHMAKING",
    "MME_NOT_IN_MATCH",
    "MME_CREATE_PROOF_FAILED",
    "MME_TIMEOUT_WAITING_FOR_OTHER_ACCEPT",
    "MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT",
    "MME_TIMEOUT_FOLLOWER_WAIT_FOR_JOIN_INFO",
    "MME_TIMEOUT_LEADER_FINDING_SERVER",
    "MME_TIMEOUT_FINDING_MATCH",
    "MME_HOPPER_DOES_NOT_EXIST",
    "MME_REQUEST_TICKET_USER_PARAMS_INCORRECT",
    "MME_REQUEST_TICKET_SERVER_ERROR",
};

// Log types are single bits 1 to 2048, in this order.
const char* const kLogTypeNames[] = {"NFO", "DBG", "WRN", "ERR", "HYD", "HYN",
                                     "HYW", "HYE", "TSN", "TSD", "TSW", "TSE"};

template <typename T, int N>
constexpr int Count(T (&)[N]) {
    return N;
}

}  // namespace

extern "C" {

KRMM_API const char* KRMM_CALL krmm_matchmaking_state_to_str(int32_t state) {
    if (state < 0 || state >= Count(kStateNames)) {
        return "<unknown>";
    }
    return kStateNames[state];
}

KRMM_API const char* KRMM_CALL krmm_error_code_to_str(int32_t error_code) {
    if (error_code <= 0 || error_code >= Count(kErrorNames)) {
        return "<invalid error code>";
    }
    return kErrorNames[error_code];
}

KRMM_API const char* KRMM_CALL krmm_log_type_to_str(int32_t log_type) {
    for (int bit = 0; bit < Count(kLogTypeNames); ++bit) {
        if (log_type == (1 << bit)) {
            return kLogTypeNames[bit];
        }
    }
    return "UKN";
}

}  // extern "C"
