#include <memory>
#include <new>

#include "Client.h"
#include "Json.h"
#include "Options.h"
#include "Task.h"
#include "Uuid.h"

namespace {

using halyard::JournalEntry;

// Requests own the JSON handed to them: record its text, then release it.
std::string TakeJson(hy_json* value) {
    std::string text = halyard::SerializeToString(halyard::Node(value));
    json_decref(halyard::Node(value));
    return text;
}

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

// Journals the request and answers it with the next scripted answer of its kind.
hy_task* Issue(hy_client* client, std::unique_ptr<JournalEntry> entry) {
    const hyl_kind kind = entry->request.kind;
    client->journal.Add(std::move(entry));
    return new (std::nothrow) hy_task(client->loopback.Next(kind));
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
                                                hy_json* values) {
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
}

HY_API hy_task* HY_CALL hy_r_matchmaking_keepalive(hy_client* client, const char* ticket) {
    return TextRequest(client, HYL_KEEPALIVE, ticket, nullptr);
}

HY_API hy_task* HY_CALL hy_r_matchmaking_accept(hy_client* client, const char* ticket) {
    return TextRequest(client, HYL_ACCEPT, ticket, nullptr);
}

HY_API hy_task* HY_CALL hy_r_matchmaking_cancel(hy_client* client, const char* ticket, int soft) {
    if (client == nullptr) {
        return nullptr;
    }
    auto entry = std::make_unique<JournalEntry>(HYL_CANCEL);
    entry->ticket = Text(ticket);
    entry->request.soft = soft;
    return Issue(client, std::move(entry));
}

HY_API hy_task* HY_CALL hy_r_matchmaking_start(hy_client* client, const char* ticket,
                                               hy_json* join_info) {
    auto entry = std::make_unique<JournalEntry>(HYL_START);
    entry->joinInfoJson = TakeJson(join_info);
    if (client == nullptr) {
        return nullptr;
    }
    entry->ticket = Text(ticket);
    return Issue(client, std::move(entry));
}

HY_API hy_task* HY_CALL hy_r_matchmaking_create_proof(hy_client* client, const char* ticket) {
    return TextRequest(client, HYL_CREATE_PROOF, ticket, nullptr);
}

HY_API hy_task* HY_CALL hy_r_matchmaking_check_proof(hy_client* client, const char* proof) {
    return TextRequest(client, HYL_CHECK_PROOF, nullptr, proof);
}

HY_API hy_task* HY_CALL hy_r_matchmaking_create_manual_proof(hy_client* client,
                                                             const char* argument) {
    return TextRequest(client, HYL_CREATE_MANUAL_PROOF, nullptr, argument);
}

HY_API hy_task* HY_CALL hy_r_get_object(hy_client* client, const char* collection,
                                        const hy_uuid* object_id, hy_options* options) {
    auto entry = std::make_unique<JournalEntry>(HYL_GET_OBJECT);
    entry->optionsJson = TakeOptions(options);
    if (client == nullptr) {
        return nullptr;
    }
    entry->collection = Text(collection);
    entry->objectId = UuidText(object_id);
    return Issue(client, std::move(entry));
}

HY_API hy_task* HY_CALL hy_r_mark_identity_active(hy_client* client, int32_t argument) {
    if (client == nullptr) {
        return nullptr;
    }
    auto entry = std::make_unique<JournalEntry>(HYL_MARK_IDENTITY_ACTIVE);
    entry->request.argument = argument;
    return Issue(client, std::move(entry));
}

}  // extern "C"
