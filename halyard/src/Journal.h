#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "halyard.h"

namespace halyard {

// One recorded request. The texts live here; request points into them once
// Bind has run, and the entry is never moved afterwards (the journal holds it
// by pointer), so those pointers stay valid for the entry's life.
struct JournalEntry {
    explicit JournalEntry(hyl_kind kind) { request.kind = kind; }
    JournalEntry(const JournalEntry&) = delete;
    JournalEntry& operator=(const JournalEntry&) = delete;

    // Points every text field of request at its string; fields a kind does
    // not use read as "".
    void Bind();

    hyl_request request{};
    std::string ticket;
    std::string hopperId;
    std::string groupId;
    std::string secondGroupId;
    std::string attributesJson;
    std::string valuesJson;
    std::string joinInfoJson;
    std::string text;
    std::string collection;
    std::string objectId;
    std::string optionsJson;
};

// The requests made on one client, oldest first.
class Journal {
public:
    void Add(std::unique_ptr<JournalEntry> entry);
    uint32_t Count() const { return static_cast<uint32_t>(entries_.size()); }
    uint32_t CountKind(hyl_kind kind) const;
    const hyl_request* Get(uint32_t index) const;
    void Clear() { entries_.clear(); }

private:
    std::vector<std::unique_ptr<JournalEntry>> entries_;
};

}  // namespace halyard
