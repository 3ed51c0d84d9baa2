#include "Journal.h"

#include <algorithm>

#include "Client.h"

namespace halyard {

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
}

void Journal::Add(std::unique_ptr<JournalEntry> entry) {
    entry->Bind();
    entries_.push_back(std::move(entry));
}

uint32_t Journal::CountKind(hyl_kind kind) const {
    return static_cast<uint32_t>(
        std::count_if(entries_.begin(), entries_.end(),
                      [kind](const auto& entry) { return entry->request.kind == kind; }));
}

const hyl_request* Journal::Get(uint32_t index) const {
    return index < entries_.size() ? &entries_[index]->request : nullptr;
}

}  // namespace halyard

extern "C" {

HY_API uint32_t HY_CALL hyl_journal_count(hy_client* client) {
    return client != nullptr ? client->journal.Count() : 0;
}

HY_API const hyl_request* HY_CALL hyl_journal_get(hy_client* client, uint32_t index) {
    return client != nullptr ? client->journal.Get(index) : nullptr;
}

HY_API uint32_t HY_CALL hyl_journal_count_kind(hy_client* client, hyl_kind kind) {
    return client != nullptr ? client->journal.CountKind(kind) : 0;
}

HY_API void HY_CALL hyl_journal_clear(hy_client* client) {
    if (client != nullptr) {
        client->journal.Clear();
    }
}

}  // extern "C"
