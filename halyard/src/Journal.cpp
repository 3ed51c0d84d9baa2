#include "Journal.h"

#include <algorithm>

#include "Client.h"
#include "LastError.h"
#include "LiveCounts.h"
#include "ScenarioFile.h"

namespace halyard {
namespace {

std::string Text(const char* text) {
    return text != nullptr ? text : "";
}

}  // namespace

std::unique_ptr<JournalEntry> JournalEntry::CopyOf(const hyl_request& exchange) {
    auto entry = std::make_unique<JournalEntry>(exchange.kind);
    entry->request = exchange;
    entry->ticket = Text(exchange.ticket);
    entry->hopperId = Text(exchange.hopper_id);
    entry->groupId = Text(exchange.group_id);
    entry->secondGroupId = Text(exchange.second_group_id);
    entry->attributesJson = Text(exchange.attributes_json);
    entry->valuesJson = Text(exchange.values_json);
    entry->joinInfoJson = Text(exchange.join_info_json);
    entry->text = Text(exchange.text);
    entry->collection = Text(exchange.collection);
    entry->objectId = Text(exchange.object_id);
    entry->optionsJson = Text(exchange.options_json);
    entry->body = Text(exchange.body_json);
    return entry;
}

std::unique_ptr<PushEntry> PushEntry::CopyOf(const hyl_push& push) {
    auto entry = std::make_unique<PushEntry>();
    entry->push = push;
    entry->first = Text(push.first);
    entry->type = Text(push.type);
    entry->json = Text(push.json);
    return entry;
}

void JournalEntry::Bind() {
    request.ticket = ticket.c_str();
    request.hopper_id = hopperId.c_str();
    request.group_id = groupId.c_str();
    request.second_group_id = secondGroupId.c_str();
    request.attributes_json = attributesJson.c_str();
    request.values_json = valuesJson.c_str();
    request.join_info_json = joinInfoJson.c_str();
    request.text = text.c_str();
    request.collection = collection.c_str();
    request.object_id = objectId.c_str();
    request.options_json = optionsJson.c_str();
    request.body_json = body.c_str();
}

void PushEntry::Bind() {
    push.first = first.c_str();
    push.type = type.c_str();
    push.json = json.c_str();
}

std::shared_ptr<JournalEntry> Journal::Add(std::unique_ptr<JournalEntry> entry) {
    entry->Bind();
    entries_.push_back(std::move(entry));
    return entries_.back();
}

void Journal::AddPush(std::unique_ptr<PushEntry> entry) {
    entry->Bind();
    pushes_.push_back(std::move(entry));
}

uint32_t Journal::CountKind(hyl_kind kind) const {
    return static_cast<uint32_t>(
        std::count_if(entries_.begin(), entries_.end(),
                      [kind](const auto& entry) { return entry->request.kind == kind; }));
}

const hyl_request* Journal::Get(uint32_t index) const {
    return index < entries_.size() ? &entries_[index]->request : nullptr;
}

const hyl_push* Journal::GetPush(uint32_t index) const {
    return index < pushes_.size() ? &pushes_[index]->push : nullptr;
}

}  // namespace halyard

extern "C" {

HY_API uint32_t HY_CALL hyl_journal_count(hy_client* client) {
    return client != nullptr ? client->journal.Count() : 0;
}

HY_API const hyl_request* HY_CALL hyl_journal_get(hy_client* client, uint32_t index) try {
    if (client == nullptr) {
        halyard::Refuse("hyl_journal_get", "no client");
        return nullptr;
    }
    const hyl_request* entry = client->journal.Get(index);
    if (entry == nullptr) {
        halyard::Refuse("hyl_journal_get", halyard::OutOfRange(index, client->journal.Count()));
    }
    return entry;
} catch (...) {
    return halyard::Caught("hyl_journal_get", nullptr);
}

HY_API uint32_t HY_CALL hyl_journal_count_kind(hy_client* client, hyl_kind kind) {
    return client != nullptr ? client->journal.CountKind(kind) : 0;
}

HY_API uint32_t HY_CALL hyl_journal_push_count(hy_client* client) {
    return client != nullptr ? client->journal.PushCount() : 0;
}

HY_API const hyl_push* HY_CALL hyl_journal_push_get(hy_client* client, uint32_t index) try {
    if (client == nullptr) {
        halyard::Refuse("hyl_journal_push_get", "no client");
        return nullptr;
    }
    const hyl_push* entry = client->journal.GetPush(index);
    if (entry == nullptr) {
        halyard::Refuse("hyl_journal_push_get",
                        halyard::OutOfRange(index, client->journal.PushCount()));
    }
    return entry;
} catch (...) {
    return halyard::Caught("hyl_journal_push_get", nullptr);
}

HY_API void HY_CALL hyl_journal_clear(hy_client* client) {
    if (client != nullptr) {
        client->journal.Clear();
    }
}

HY_API char* HY_CALL hyl_journal_scenario(hy_client* client) try {
    if (client == nullptr) {
        halyard::Refuse("hyl_journal_scenario", "no client");
        return nullptr;
    }
    return halyard::CopyText(halyard::ScenarioText(client->identity, client->journal));
} catch (...) {
    return halyard::Caught("hyl_journal_scenario", nullptr);
}

HY_API int HY_CALL hyl_journal_write(hy_client* client, const char* path) try {
    if (client == nullptr) {
        return halyard::Refuse("hyl_journal_write", "no client");
    }
    return halyard::WriteScenarioFile("hyl_journal_write", path,
                                      halyard::ScenarioText(client->identity, client->journal));
} catch (...) {
    return halyard::Caught("hyl_journal_write");
}

}  // extern "C"
