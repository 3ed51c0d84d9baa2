#include <cstdarg>
#include <cstdio>
#include <new>

#include "halyard.h"
#include "matchmaking/MatchmakingSystem.h"
#include "platform/Platform.h"
#include "tasksystem/TaskManager.h"

namespace KRMatchmakingSystem {

namespace {

constexpr std::size_t kLineBufferSize = 2048;

// The flag bit that lets lines of a log type through; 0 for unknown types.
uint32_t FlagForLogType(int32_t type) {
    switch (type) {
        case KRMM_LOG_NFO:
            return MMF_LOG_INFO;
        case KRMM_LOG_DBG:
            return MMF_LOG_DEBUG;
        case KRMM_LOG_WRN:
            return MMF_LOG_WARNING;
        case KRMM_LOG_ERR:
            return MMF_LOG_ERROR;
        case KRMM_LOG_HYD:
        case KRMM_LOG_HYN:
            return MMF_LOG_HY_INFO;
        case KRMM_LOG_HYW:
        case KRMM_LOG_HYE:
            return MMF_LOG_HY_ERRORS;
        case KRMM_LOG_TSN:
        case KRMM_LOG_TSD:
            return MMF_LOG_TS_INFO;
        case KRMM_LOG_TSW:
        case KRMM_LOG_TSE:
            return MMF_LOG_TS_ERRORS;
        default:
            return 0;
    }
}

}  // namespace

void FormatTimeStamp(String* out) {
    out->Clear();
    KRPlatform::UtcTime now{};
    if (!KRPlatform::CurrentUtcTime(&now)) {
        return;
    }
    char buffer[20];
    const int written =
        std::snprintf(buffer, sizeof(buffer), "%04i-%02i-%02i %02i:%02i:%02i", now.year + 1900,
                      now.month + 1, now.day, now.hour, now.minute, now.second);
    if (written > 0) {
        out->Assign(buffer);
    }
}

krmm_registration* MatchmakingSystem::RegisterLogCallback(krmm_log_callback function,
                                                          void* user_data) {
    // Refused now rather than crashing at the next line.
    if (function == nullptr) {
        Log(KRMM_LOG_WRN, "RegisterLogCallback: a null callback was refused");
        return nullptr;
    }
    auto* node = new (std::nothrow) LogCallbackNode{function, user_data, log_callbacks_};
    if (node == nullptr) {
        return nullptr;
    }
    log_callbacks_ = node;
    return reinterpret_cast<krmm_registration*>(node);
}

krmm_registration* MatchmakingSystem::RegisterMsgCallback(krmm_msg_callback function,
                                                          void* user_data) {
    if (function == nullptr) {
        Log(KRMM_LOG_WRN, "RegisterMsgCallback: a null callback was refused");
        return nullptr;
    }
    auto* node = new (std::nothrow) MsgCallbackNode{function, user_data, msg_callbacks_};
    if (node == nullptr) {
        return nullptr;
    }
    msg_callbacks_ = node;
    return reinterpret_cast<krmm_registration*>(node);
}

namespace {

template <typename Node>
void DeleteNodes(Node* node) {
    while (node != nullptr) {
        Node* next = node->next;
        delete node;
        node = next;
    }
}

// Puts list in front of retired; the list becomes empty.
template <typename Node>
void RetireNodes(Node** list, Node** retired) {
    if (*list == nullptr) {
        return;
    }
    Node* last = *list;
    while (last->next != nullptr) {
        last = last->next;
    }
    last->next = *retired;
    *retired = *list;
    *list = nullptr;
}

}  // namespace

void MatchmakingSystem::FreeCallbacks() {
    // A walk over the lists may be running below a nested call: it stops at
    // its next node, and the nodes are freed when the outermost call ends.
    RetireNodes(&log_callbacks_, &retired_log_callbacks_);
    RetireNodes(&msg_callbacks_, &retired_msg_callbacks_);
    ++callback_generation_;
    if (!InsideAnotherCall()) {
        FreeRetiredCallbacks();
    }
}

void MatchmakingSystem::FreeRetiredCallbacks() {
    DeleteNodes(retired_log_callbacks_);
    DeleteNodes(retired_msg_callbacks_);
    retired_log_callbacks_ = nullptr;
    retired_msg_callbacks_ = nullptr;
}

void MatchmakingSystem::DispatchMsg(const char* name, int32_t value, const char* text) {
    const uint32_t generation = callback_generation_;
    for (MsgCallbackNode* node = msg_callbacks_; node != nullptr; node = node->next) {
        node->function(Handle(), name, value, text, node->user_data);
        if (generation != callback_generation_) {
            break;
        }
    }
}

bool MatchmakingSystem::WouldLog(int32_t type) const {
    return log_callbacks_ != nullptr && (flags_ & FlagForLogType(type)) != 0;
}

void MatchmakingSystem::Log(int32_t type, const char* format, ...) {
    // Lines nobody receives cost nothing: no formatting, no time stamp.
    if (!WouldLog(type)) {
        return;
    }
    char message[kLineBufferSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof(message), format, args);
    va_end(args);
    message[sizeof(message) - 1] = '\0';

    String stamp;
    FormatTimeStamp(&stamp);
    const char* match =
        current_status_.match.id.empty() ? "IDLE" : current_status_.match.id.c_str();
    const int32_t passes = task_manager_ != nullptr ? task_manager_->pass_count() : 0;
    const double seconds = static_cast<double>(Now()) / 1000.0;

    // Over-long lines are cut at 2047 characters on purpose.
    char line[kLineBufferSize];
    if (std::snprintf(line, sizeof(line), "[%s][%03.3f][%02i][%s][%s][%s] %8s", stamp.c_str(),
                      seconds, passes, name_, krmm_log_type_to_str(type), match, message) < 0) {
        return;
    }
    line[sizeof(line) - 1] = '\0';

    const uint32_t generation = callback_generation_;
    for (LogCallbackNode* node = log_callbacks_; node != nullptr; node = node->next) {
        node->function(Handle(), type, line, node->user_data);
        if (generation != callback_generation_) {
            break;
        }
    }
}

void MatchmakingSystem::TriggerMsg(const char* name, int32_t value, const char* text) {
    Log(KRMM_LOG_DBG, "TriggerMsg '%s':%i", name, value);
    DispatchMsg(name, value, text);
}

void MatchmakingSystem::TriggerError(int32_t code, const char* text) {
    last_error_code_ = code;
    last_error_message_.Assign(text);
    TriggerMsg("error", code, text);
    Log(KRMM_LOG_ERR, "%s", krmm_error_code_to_str(code));
}

namespace {

// The matchmaker log type of a task system line.
int32_t TaskLogType(uint32_t level) {
    switch (level) {
        case KRTaskSystem::TASK_LOG_INFO:
            return KRMM_LOG_TSN;
        case KRTaskSystem::TASK_LOG_WARNING:
            return KRMM_LOG_TSW;
        case KRTaskSystem::TASK_LOG_ERROR:
            return KRMM_LOG_TSE;
        default:
            return KRMM_LOG_NFO;
    }
}

}  // namespace

void MatchmakingSystem::TaskLogFunction(KRTaskSystem::TaskManager*, uint32_t level,
                                        const char* line, void* user_data) {
    static_cast<MatchmakingSystem*>(user_data)->Log(TaskLogType(level), "%s", line);
}

bool MatchmakingSystem::TaskLogWanted(uint32_t level, void* user_data) {
    return static_cast<const MatchmakingSystem*>(user_data)->WouldLog(TaskLogType(level));
}

void MatchmakingSystem::ClientLogFunction(int32_t level, const char* first, const char* second,
                                          void*, void* user_data) {
    int32_t type = KRMM_LOG_NFO;
    switch (level) {
        case HY_LOG_DEBUG:
            type = KRMM_LOG_HYD;
            break;
        case HY_LOG_NOTICE:
            type = KRMM_LOG_HYN;
            break;
        case HY_LOG_WARNING:
            type = KRMM_LOG_HYW;
            break;
        case HY_LOG_ERROR:
            type = KRMM_LOG_HYE;
            break;
        default:
            break;
    }
    auto* system = static_cast<MatchmakingSystem*>(user_data);
    system->Guarded(
        [&] { system->Log(type, "[%s] %s", first ? first : "", second ? second : ""); });
}

}  // namespace KRMatchmakingSystem
