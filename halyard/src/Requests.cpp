#include <memory>
#include <new>

#include "Client.h"
#include "Json.h"
#include "LastError.h"
#include "Options.h"
#include "Replay.h"
#include "Task.h"
#include "Uuid.h"

namespace {

using halyard::JournalEntry;
using halyard::TakeJson;

std::string TakeOptions(hy_options* options) {
    std::string text = options != nullptr ? std::move(options->json) : std::string();
    delete options;
    return text;
}

std::string UuidText(const hy_uuid* uuid) {
    return uuid != nullptr ? halyard::FormatUuid(*uuid) : std::string();
}

std::string Text(const char* text) {
    return text != nullptr ? text : "";
}

std::string BodyDescription(const halyard::Answer& answer) {
    return answer.body.empty() ? "without a body" : "with " + answer.body;
}

// Defaults answer silently in a real session but usually mean a test forgot
// to script something, so each one is logged on the client.
void LogDefault(hy_client* client, hyl_kind kind, hyl_source source,
                const halyard::Answer& answer) {
    const std::string what = std::string(hyl_kind_name(kind)) + " request: ";
    if (source == HYL_BUILT_IN_DEFAULT) {
        halyard::LogToClient(client, HY_LOG_WARNING,
                             "unscripted " + what + "built-in default answer " +
                                 std::to_string(answer.status) + " " + BodyDescription(answer));
    } else if (source == HYL_DEFAULT) {
        halyard::LogToClient(client, HY_LOG_NOTICE,
                             what + "default answer " + std::to_string(answer.status) + " " +
                                 BodyDescription(answer));
    }
}

// Journals the request and answers it: a fault, the next scripted answer of
// its kind or its default, or, on a networked client, its service. Pushes
// that are due go out first.
hy_task* Issue(hy_client* client, std::unique_ptr<JournalEntry> entry) {
    halyard::BeginCall(client);
    ++client->loopback.requests;
    if (client->transport != nullptr) {
        return halyard::SendToService(client, std::move(entry));
    }
    const hyl_kind kind = entry->request.kind;
    hyl_source source = HYL_SCRIPTED;
    halyard::Answer answer = client->loopback.Next(kind, &source);
    entry->Bind();
    halyard::CheckReplay(client, *entry, answer, source);
    entry->request.status = answer.status;
    entry->body = answer.body;
    entry->request.pending_polls = answer.pendingPolls;
    entry->request.source = source;
    client->journal.Add(std::move(entry));
    LogDefault(client, kind, source, answer);
    return new (std::nothrow) hy_task(std::move(answer), client->self);
}

// The common shape of the requests whose only argument is a text.
hy_task* TextRequest(hy_client* client, hyl_kind kind, const char* ticket, const char* text) {
    if (client == nullptr) {
        return nullptr;
    }
    auto entry = std::make_unique<JournalEntry>(kind);
    entry->ticket = Text(ticket);
    entry->text = Text(text);
    return Issue(client, std::move(entry));
}

}  // namespace

extern "C" {

HY_API hy_task* HY_CALL hy_r_matchmaking_ticket(hy_client* client, const hy_uuid* hopper_id,
                                                const hy_uuid* group_id,
                                                const hy_uuid* second_group_id, uint32_t group_size,
                                                void* reserved, hy_json* attributes,
                                                hy_json* values) try {
    auto entry = std::make_unique<JournalEntry>(HYL_TICKET);
    entry->attributesJson = TakeJson(attributes);
    entry->valuesJson = TakeJson(values);
    if (client == nullptr) {
        return nullptr;
    }
    entry->hopperId = UuidText(hopper_id);
    entry->groupId = UuidText(group_id);
    entry->secondGroupId = UuidText(second_group_id);
    entry->request.group_size = group_size;
    entry->request.has_reserved = reserved != nullptr ? 1 : 0;
    return Issue(client, std::move(entry));
} catch (...) {
    return halyard::Caught("hy_r_matchmaking_ticket", nullptr);
}

HY_API hy_task* HY_CALL hy_r_matchmaking_keepalive(hy_client* client, const char* ticket) try {
    return TextRequest(client, HYL_KEEPALIVE, ticket, nullptr);
} catch (...) {
    return halyard::Caught("hy_r_matchmaking_keepalive", nullptr);
}

HY_API hy_task* HY_CALL hy_r_matchmaking_accept(hy_client* client, const char* ticket) try {
    return TextRequest(client, HYL_ACCEPT, ticket, nullptr);
} catch (...) {
    return halyard::Caught("hy_r_matchmaking_accept", nullptr);
}

HY_API hy_task* HY_CALL hy_r_matchmaking_cancel(hy_client* client, const char* ticket,
                                                int soft) try {
    if (client == nullptr) {
        return nullptr;
    }
    auto entry = std::make_unique<JournalEntry>(HYL_CANCEL);
    entry->ticket = Text(ticket);
    entry->request.soft = soft;
    return Issue(client, std::move(entry));
} catch (...) {
    return halyard::Caught("hy_r_matchmaking_cancel", nullptr);
}

HY_API hy_task* HY_CALL hy_r_matchmaking_start(hy_client* client, const char* ticket,
                                               hy_json* join_info) try {
    auto entry = std::make_unique<JournalEntry>(HYL_START);
    entry->joinInfoJson = TakeJson(join_info);
    if (client == nullptr) {
        return nullptr;
    }
    entry->ticket = Text(ticket);
    return Issue(client, std::move(entry));
} catch (...) {
    return halyard::Caught("hy_r_matchmaking_start", nullptr);
}

HY_API hy_task* HY_CALL hy_r_matchmaking_create_proof(hy_client* client, const char* ticket) try {
    return TextRequest(client, HYL_CREATE_PROOF, ticket, nullptr);
} catch (...) {
    return halyard::Caught("hy_r_matchmaking_create_proof", nullptr);
}

HY_API hy_task* HY_CALL hy_r_matchmaking_check_proof(hy_client* client, const char* proof) try {
    return TextRequest(client, HYL_CHECK_PROOF, nullptr, proof);
} catch (...) {
    return halyard::Caught("hy_r_matchmaking_check_proof", nullptr);
}

HY_API hy_task* HY_CALL hy_r_matchmaking_create_manual_proof(hy_client* client,
                                                             const char* argument) try {
    return TextRequest(client, HYL_CREATE_MANUAL_PROOF, nullptr, argument);
} catch (...) {
    return halyard::Caught("hy_r_matchmaking_create_manual_proof", nullptr);
}

HY_API hy_task* HY_CALL hy_r_get_object(hy_client* client, const char* collection,
                                        const hy_uuid* object_id, hy_options* options) try {
    auto entry = std::make_unique<JournalEntry>(HYL_GET_OBJECT);
    entry->optionsJson = TakeOptions(options);
    if (client == nullptr) {
        return nullptr;
    }
    entry->collection = Text(collection);
    entry->objectId = UuidText(object_id);
    return Issue(client, std::move(entry));
} catch (...) {
    return halyard::Caught("hy_r_get_object", nullptr);
}

HY_API hy_task* HY_CALL hy_r_mark_identity_active(hy_client* client, int32_t argument) try {
    if (client == nullptr) {
        return nullptr;
    }
    auto entry = std::make_unique<JournalEntry>(HYL_MARK_IDENTITY_ACTIVE);
    entry->request.argument = argument;
    return Issue(client, std::move(entry));
} catch (...) {
    return halyard::Caught("hy_r_mark_identity_active", nullptr);
}

}  // extern "C"
