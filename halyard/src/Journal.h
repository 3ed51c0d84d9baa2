#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "halyard.h"

namespace halyard {

// What a request ends with when no answer came (it timed out, reached no
// address, or its client was freed): the matchmaker recovers from it.
constexpr int32_t kNoAnswerStatus = 504;

// One exchange: a request and the answer it got. The texts live here;
// request points into them once Bind has run, and the entry is never moved
// afterwards (the journal holds it by pointer), so those pointers stay valid
// for the entry's life. A networked request's answer is written in when it
// arrives (status 0 and no body until then).
struct JournalEntry {
    explicit JournalEntry(hyl_kind kind) { request.kind = kind; }
    JournalEntry(const JournalEntry&) = delete;
    JournalEntry& operator=(const JournalEntry&) = delete;

    // An entry holding copies of every field of exchange (null texts as "").
    static std::unique_ptr<JournalEntry> CopyOf(const hyl_request& exchange);

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
    std::string body;
};

// One delivered push, held like a JournalEntry.
struct PushEntry {
    // An entry holding copies of every field of push (null texts as "").
    static std::unique_ptr<PushEntry> CopyOf(const hyl_push& push);

    void Bind();

    hyl_push push{};
    std::string first;
    std::string type;
    std::string json;
};

// The exchanges and pushes of one client (or one recorder), oldest first.
class Journal {
public:
    // The stored entry, which a request still in flight completes later.
    std::shared_ptr<JournalEntry> Add(std::unique_ptr<JournalEntry> entry);
    void AddPush(std::unique_ptr<PushEntry> entry);
    uint32_t Count() const { return static_cast<uint32_t>(entries_.size()); }
    uint32_t CountKind(hyl_kind kind) const;
    const hyl_request* Get(uint32_t index) const;
    uint32_t PushCount() const { return static_cast<uint32_t>(pushes_.size()); }
    const hyl_push* GetPush(uint32_t index) const;
    void Clear() {
        entries_.clear();
        pushes_.clear();
    }

private:
    std::vector<std::shared_ptr<JournalEntry>> entries_;
    std::vector<std::unique_ptr<PushEntry>> pushes_;
};

// The journal in the scenario format, identity_id first when not empty.
std::string ScenarioText(const std::string& identity, const Journal& journal);

}  // namespace halyard
