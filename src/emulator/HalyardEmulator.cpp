#include "emulator/HalyardEmulator.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "emulator/EmulatedClient.h"
#include "emulator/EmulatedTask.h"
#include "emulator/Hopper.h"
#include "emulator/Uuid.h"
#include "platform/Platform.h"

namespace KRHalyardEmulator {
namespace {

// Longest message, and longest line, in characters; longer text is cut.
constexpr std::size_t kLogBufferSize = 2048;

const char* TextOrNull(const char* text) {
    return text != nullptr ? text : "<null>";
}

// Runs a ticket request on the ticket's hopper. A ticket the emulator never
// issued gets a task of the same kind without a client.
template <class ClientlessTask, class HopperOperation>
Task* RunTicketRequest(HalyardEmulator& emulator, const char* operation, const char* ticket,
                       HopperOperation run) {
    Client* client = emulator.FindClient(ticket);
    if (client == nullptr) {
        emulator.EmulatorLog(EMU_LOG_WARNING,
                             "HalyardEmulator::%s: Unknown ticket %s - answering without a client",
                             operation, TextOrNull(ticket));
        return &emulator.RegisterTask(std::make_unique<ClientlessTask>(emulator, nullptr));
    }
    return &run(*client->hopper(), *client);
}

hy_client* RequesterOf(const HalyardEmulator& emulator, const char* ticket) {
    const Client* client = emulator.FindClient(ticket);
    return client != nullptr ? client->halyard_client() : nullptr;
}

// Proof requests make no task of their own; one that a fault answers is
// logged with a type no real task has.
constexpr TaskType kProofTaskType = static_cast<TaskType>(6);

}  // namespace

const char* EmulatorLogTag(int32_t level) {
    switch (level) {
        case EMU_LOG_INFO:
            return "NFO";
        case EMU_LOG_DEBUG:
            return "DBG";
        case EMU_LOG_WARNING:
            return "WRN";
        default:
            return "UKN";
    }
}

HalyardEmulator& HalyardEmulator::Instance() {
    // Deliberately never destroyed: matchmakers and the game may still call
    // the switch layer while the process shuts down.
    static HalyardEmulator* const instance = new HalyardEmulator();
    return *instance;
}

HalyardEmulator::HalyardEmulator() = default;

HalyardEmulator::~HalyardEmulator() = default;

// ---- Output, ids, tables --------------------------------------------------

void HalyardEmulator::EmulatorLog(int32_t level, const char* format, ...) {
    // Every request writes lines, so each is formatted once, in place on the
    // stack: the prefix, the message after it, the newline if it still fits.
    char line[kLogBufferSize];
    const int prefix = std::snprintf(line, sizeof(line), "[HYE][%s] ", EmulatorLogTag(level));
    std::size_t length = prefix > 0 ? static_cast<std::size_t>(prefix) : 0;
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(line + length, sizeof(line) - length, format, args);
    va_end(args);
    if (written > 0) {
        length += std::min(static_cast<std::size_t>(written), sizeof(line) - length - 1);
    }
    if (length + 1 < sizeof(line)) {
        line[length] = '\n';
        line[length + 1] = '\0';
    }
    if (sink_ != nullptr) {
        sink_(line, sink_user_);
        return;
    }
    std::fputs(line, stdout);
    KRPlatform::DebugOutput(line);
}

void HalyardEmulator::SetOutput(OutputSink sink, void* user) {
    sink_ = sink;
    sink_user_ = sink != nullptr ? user : nullptr;
}

void HalyardEmulator::SetRandomSource(RandomSource source) {
    random_source_ = source;
}

void HalyardEmulator::SetFaultPlan(FaultPlan plan) {
    faults_ = std::move(plan);
}

void HalyardEmulator::SetFaultObserver(FaultObserver observer, void* user) {
    fault_observer_ = observer;
    fault_observer_user_ = observer != nullptr ? user : nullptr;
}

void HalyardEmulator::SetExchangeObserver(ExchangeObserver observer, void* user) {
    observer_ = observer;
    observer_user_ = observer != nullptr ? user : nullptr;
}

template <class Perform>
const char* HalyardEmulator::Answer(RequestKind kind, TaskType type, hy_client* requester,
                                    const char* argument, Perform perform) {
    FaultAnswer answer;
    if (!faults_.empty()) {
        answer = faults_.Draw(kind);
    }
    Task* task = nullptr;
    if (answer.applied) {
        task = perform();
    } else {
        task = &RegisterTask(std::make_unique<TaskFaulted>(*this, type));
    }
    if (task == nullptr) {
        return nullptr;
    }
    if (answer.faulted) {
        task->SetAnswer(answer);
        EmulatorLog(EMU_LOG_WARNING,
                    "HalyardEmulator::Fault: %s request %s answered %s (status %i after %u polls)",
                    RequestKindName(kind), task->id().c_str(),
                    answer.times_out ? "never"
                    : answer.applied ? "slowly"
                                     : "with an error",
                    answer.status, answer.pending_polls);
        if (fault_observer_ != nullptr) {
            fault_observer_(kind, answer, fault_observer_user_);
        }
    }
    if (observer_ != nullptr) {
        task->Describe(kind, requester != nullptr ? requester : RequesterOf(*this, argument),
                       argument);
    }
    return task->id().c_str();
}

std::string HalyardEmulator::NewUuid() {
    uint8_t bytes[kUuidByteCount];
    const RandomSource source =
        random_source_ != nullptr ? random_source_ : KRPlatform::RandomBytes;
    if (!source(bytes, sizeof(bytes))) {
        // Ids only have to be distinct for the emulation to work, so a failing
        // system source degrades to a seeded generator instead of failing
        // every request; the warning says so once.
        if (!warned_random_failure_) {
            warned_random_failure_ = true;
            EmulatorLog(EMU_LOG_WARNING,
                        "HalyardEmulator::NewUuid: random source failed - using a pseudo-random "
                        "generator for ids");
        }
        if (fallback_state_ == 0) {
            const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
            fallback_state_ = static_cast<uint64_t>(now) ^ reinterpret_cast<uintptr_t>(this);
        }
        FillPseudoRandom(&fallback_state_, bytes);
    }
    return FormatUuid(bytes);
}

Task& HalyardEmulator::RegisterTask(std::unique_ptr<Task> task) {
    EmulatorLog(EMU_LOG_INFO, "HalyardEmulator::RegisterTask: task: %s with id %s",
                TaskTypeName(task->type()), task->id().c_str());
    Task& registered = *task;
    live_handles_.insert(registered.id().c_str());
    tasks_[registered.id()] = std::move(task);
    return registered;
}

Hopper& HalyardEmulator::EnsureHopperExists(const std::string& hopper_id) {
    auto found = hoppers_.find(hopper_id);
    if (found == hoppers_.end()) {
        EmulatorLog(EMU_LOG_INFO,
                    "HalyardEmulator::EnsureHopperExists: Hopper does not exist - creating hopper "
                    "'%s'",
                    hopper_id.c_str());
        found = hoppers_.emplace(hopper_id, std::make_unique<Hopper>(*this, hopper_id)).first;
    }
    return *found->second;
}

Task& HalyardEmulator::GenerateTicket(hy_client* client, const std::string& hopper_id) {
    auto created = std::make_unique<Client>(*this, client);
    Client& made = *created;
    clients_by_ticket_[made.ticket()] = std::move(created);
    made.set_hopper(&EnsureHopperExists(hopper_id));
    const char* ticket = made.ticket().c_str();
    EmulatorLog(EMU_LOG_INFO, "%s: Client created", ticket);
    // The handle prints as the target platform prints pointers: zero-padded
    // upper-case hex.
    EmulatorLog(EMU_LOG_INFO,
                "HalyardEmulator::GenerateTicket: Generated ticket %s for hyClient: 0x%0*" PRIXPTR
                " (%s) and hopper '%s'",
                ticket, static_cast<int>(sizeof(void*) * 2), reinterpret_cast<uintptr_t>(client),
                GetIdentity(client), hopper_id.c_str());
    return RegisterTask(std::make_unique<TaskMatchmakingTicket>(*this, &made));
}

const char* HalyardEmulator::GetIdentity(hy_client* client) {
    std::string& identity = identities_[client];
    if (identity.empty()) {
        identity = NewUuid();
    }
    return identity.c_str();
}

Client* HalyardEmulator::FindClient(const char* ticket) const {
    if (ticket == nullptr) {
        return nullptr;
    }
    const auto found = clients_by_ticket_.find(ticket);
    return found != clients_by_ticket_.end() ? found->second.get() : nullptr;
}

Hopper* HalyardEmulator::FindHopper(const char* hopper_id) const {
    if (hopper_id == nullptr) {
        return nullptr;
    }
    const auto found = hoppers_.find(hopper_id);
    return found != hoppers_.end() ? found->second.get() : nullptr;
}

Task* HalyardEmulator::FindTask(const char* task_id) const {
    if (task_id == nullptr) {
        return nullptr;
    }
    const auto found = tasks_.find(task_id);
    return found != tasks_.end() ? found->second.get() : nullptr;
}

bool HalyardEmulator::IsEmulatorHandle(const void* handle) const {
    return handle != nullptr && live_handles_.count(handle) != 0;
}

void HalyardEmulator::Reset() {
    // Tasks and hoppers only point at clients, so they go first.
    tasks_.clear();
    live_handles_.clear();
    hoppers_.clear();
    clients_by_ticket_.clear();
    identities_.clear();
    enabled_ = false;
    warned_random_failure_ = false;
}

void HalyardEmulator::LogCall(const char* call_line, const char* detail_format,
                              const char* handle) {
    EmulatorLog(EMU_LOG_INFO, "%s", call_line);
    EmulatorLog(EMU_LOG_INFO, detail_format, TextOrNull(handle));
}

Task* HalyardEmulator::ResolveTask(const char* operation, const char* handle) {
    Task* task = FindTask(handle);
    if (task == nullptr) {
        EmulatorLog(EMU_LOG_WARNING, "HalyardEmulator::%s: No task with id %s", operation,
                    TextOrNull(handle));
    }
    return task;
}

// ---- Tasks and responses --------------------------------------------------

void HalyardEmulator::TaskFree(const char* task_id) {
    LogCall("===> APICALL TaskFree ===", "HalyardEmulator::TaskFree: taskId: %s", task_id);
    if (task_id == nullptr) {
        return;
    }
    const auto found = tasks_.find(task_id);
    if (found == tasks_.end()) {
        return;
    }
    // task_id may be the task's own text: nothing reads it past this point.
    // The task leaves the tables before the observer hears of it: an
    // observer that makes a request adds to them.
    std::unique_ptr<Task> task = std::move(found->second);
    tasks_.erase(found);
    live_handles_.erase(task->id().c_str());
    const Task::Description* described = task->description();
    if (observer_ != nullptr && described != nullptr) {
        const Exchange exchange{described->requester,         described->kind,
                                described->argument.c_str(),  task->status(),
                                described->last_body.c_str(), task->polls_pending()};
        observer_(exchange, observer_user_);
    }
}

bool HalyardEmulator::TaskIsPending(const char* task_id) {
    LogCall("===> APICALL TaskIsPending ===", "HalyardEmulator::TaskIsPending: taskId: %s",
            task_id);
    Task* task = ResolveTask("TaskIsPending", task_id);
    return task != nullptr && task->Poll();
}

bool HalyardEmulator::TaskIsTimedOut(const char* task_id) {
    LogCall("===> APICALL TaskIsTimedOut ===", "HalyardEmulator::TaskIsTimedOut: taskId: %s",
            task_id);
    const Task* task = ResolveTask("TaskIsTimedOut", task_id);
    return task != nullptr && task->timed_out();
}

bool HalyardEmulator::TaskIsOkay(const char* task_id) {
    LogCall("===> APICALL TaskIsOkay === ===", "HalyardEmulator::TaskIsOkay: taskId: %s", task_id);
    const Task* task = ResolveTask("TaskIsOkay", task_id);
    return task != nullptr && task->okay();
}

const char* HalyardEmulator::TaskFetchResponse(const char* task_id) {
    LogCall("===> APICALL TaskFetchResponse ===", "HalyardEmulator::TaskFetchResponse: taskId: %s",
            task_id);
    const Task* task = ResolveTask("TaskFetchResponse", task_id);
    // A request the client library gave up on has no response.
    return task != nullptr && !task->timed_out() ? task->id().c_str() : nullptr;
}

void HalyardEmulator::ResponseFree(const char* response_id) {
    // The response is the task itself and goes with TaskFree.
    LogCall("===> APICALL ResponseFree ===", "HalyardEmulator::ResponseFree: responseId: %s",
            response_id);
}

int32_t HalyardEmulator::ResponseGetStatusCode(const char* response_id) {
    LogCall("===> APICALL ResponseGetStatusCode ===",
            "HalyardEmulator::ResponseGetStatusCode: responseId: %s", response_id);
    const Task* task = ResolveTask("ResponseGetStatusCode", response_id);
    return task != nullptr ? task->status() : -1;
}

bool HalyardEmulator::ResponseIsOkay(const char* response_id) {
    LogCall("===> APICALL ResponseIsOkay ===", "HalyardEmulator::ResponseIsOkay: responseId: %s",
            response_id);
    const Task* task = ResolveTask("ResponseIsOkay", response_id);
    return task != nullptr && task->okay();
}

hy_json* HalyardEmulator::ResponseGetJson(const char* response_id) {
    LogCall("===> APICALL ResponseGetJson ===", "HalyardEmulator::ResponseGetJson: responseId: %s",
            response_id);
    Task* task = ResolveTask("ResponseGetJson", response_id);
    if (task == nullptr) {
        return nullptr;
    }
    hy_json* body = task->GetJson();
    Task::Description* described = task->description();
    if (described != nullptr && observer_ != nullptr) {
        char* text = body != nullptr ? hy_json_serialize(body, 0) : nullptr;
        described->last_body = text != nullptr ? text : "";
        hy_free(text);
    }
    return body;
}

// ---- Requests ---------------------------------------------------------------

const char* HalyardEmulator::MatchmakingTicket(hy_client* client, const hy_uuid* hopper_id,
                                               const hy_uuid* /*group_id*/,
                                               const hy_uuid* /*second_group_id*/,
                                               uint32_t /*group_size*/, hy_json* attributes,
                                               hy_json* values) {
    EmulatorLog(EMU_LOG_INFO, "===> APICALL MatchmakingTicket");
    // The request owns the values it was handed; the emulator has no use for
    // them.
    hy_json_free(attributes);
    hy_json_free(values);
    // A null client is served like any other handle: a matchmaker made
    // without a backend client runs on the emulator alone.
    char* hopper_text = hopper_id != nullptr ? hy_uuid_to_string(hopper_id) : nullptr;
    if (hopper_text == nullptr) {
        EmulatorLog(EMU_LOG_WARNING,
                    "HalyardEmulator::MatchmakingTicket: No hopper id - no ticket");
        return nullptr;
    }
    const std::string hopper(hopper_text);
    hy_free(hopper_text);
    return Answer(RequestKind::kTicket, TASK_TYPE_MATCHMAKING_TICKET, client, hopper.c_str(),
                  [&]() -> Task* {
                      Task& task = GenerateTicket(client, hopper);
                      EmulatorLog(EMU_LOG_INFO, "HalyardEmulator::MatchmakingTicket: ticket: %s",
                                  task.id().c_str());
                      return &task;
                  });
}

const char* HalyardEmulator::MatchmakingKeepAlive(const char* ticket) {
    LogCall("===> APICALL MatchmakingKeepAlive ===",
            "HalyardEmulator::MatchmakingKeepAlive: ticket: %s", ticket);
    return Answer(RequestKind::kKeepAlive, TASK_TYPE_MATCHMAKE_CLIENT, nullptr, ticket, [&]() {
        return RunTicketRequest<TaskMatchmakeClient>(*this, "MatchmakingKeepAlive", ticket,
                                                     [&](Hopper& hopper, Client& client) -> Task& {
                                                         return hopper.MatchmakeClient(client);
                                                     });
    });
}

const char* HalyardEmulator::MatchmakingAccept(const char* ticket) {
    LogCall("===> APICALL MatchmakingAccept ===", "HalyardEmulator::MatchmakingAccept: ticket: %s",
            ticket);
    return Answer(RequestKind::kAccept, TASK_TYPE_ACCEPT, nullptr, ticket, [&]() {
        return RunTicketRequest<TaskAccept>(
            *this, "MatchmakingAccept", ticket,
            [&](Hopper& hopper, Client& client) -> Task& { return hopper.Accept(client); });
    });
}

const char* HalyardEmulator::MatchmakingCancel(const char* ticket, bool soft) {
    EmulatorLog(EMU_LOG_INFO, "===> APICALL MatchmakingCancel ===");
    EmulatorLog(EMU_LOG_INFO, "HalyardEmulator::MatchmakingCancel: ticket: %s, soft: %s",
                TextOrNull(ticket), soft ? "true" : "false");
    return Answer(RequestKind::kDecline, TASK_TYPE_CANCEL, nullptr, ticket, [&]() {
        return RunTicketRequest<TaskCancel>(
            *this, "MatchmakingCancel", ticket,
            [&](Hopper& hopper, Client& client) -> Task& { return hopper.Cancel(client, soft); });
    });
}

const char* HalyardEmulator::MatchmakingStart(const char* ticket, hy_json* join_info) {
    EmulatorLog(EMU_LOG_INFO, "===> APICALL MatchmakingStart ===");
    EmulatorLog(EMU_LOG_INFO, "HalyardEmulator::MatchmakingStart: ticket: %s join_info: %s",
                TextOrNull(ticket), join_info != nullptr ? "<json_object>" : "<null>");
    // Handed over with the request and not part of the emulated status.
    hy_json_free(join_info);
    return Answer(RequestKind::kStart, TASK_TYPE_START, nullptr, ticket, [&]() {
        return RunTicketRequest<TaskStart>(
            *this, "MatchmakingStart", ticket,
            [&](Hopper& hopper, Client& client) -> Task& { return hopper.Start(client); });
    });
}

const char* HalyardEmulator::MatchmakingCreateProof(const char* ticket) {
    LogCall("===> APICALL MatchmakingCreateProof ===",
            "HalyardEmulator::MatchmakingCreateProof: ticket: %s", ticket);
    return Answer(RequestKind::kProof, kProofTaskType, nullptr, ticket,
                  []() -> Task* { return nullptr; });
}

const char* HalyardEmulator::MatchmakingCheckProof(const char* proof) {
    LogCall("===> APICALL MatchmakingCheckProof ===",
            "HalyardEmulator::MatchmakingCheckProof: proof: %s", proof);
    return Answer(RequestKind::kProof, kProofTaskType, nullptr, proof,
                  []() -> Task* { return nullptr; });
}

const char* HalyardEmulator::MatchmakingCreateManualProof(const char* /*argument*/) {
    EmulatorLog(EMU_LOG_INFO, "===> APICALL MatchmakingCreateManualProof ===");
    return nullptr;
}

}  // namespace KRHalyardEmulator
