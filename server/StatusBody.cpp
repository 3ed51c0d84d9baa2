#include "StatusBody.h"

namespace KRHalyardServer {
namespace {

// Written as text: every string in a status is an id the service checked to
// be a UUID, or a fixed state name, and every free-form part (attributes,
// values, join info) is compact JSON the service produced from a parsed
// value, so nothing needs escaping and nothing is parsed again.
void Text(std::string& out, const char* key, const std::string& value) {
    out += '"';
    out += key;
    out += "\":\"";
    out += value;
    out += '"';
}

void Number(std::string& out, const char* key, uint64_t value) {
    out += '"';
    out += key;
    out += "\":";
    out += std::to_string(value);
}

void Fragment(std::string& out, const char* key, const std::string& json) {
    out += '"';
    out += key;
    out += "\":";
    out += json.empty() ? "{}" : json;
}

void Ids(std::string& out, const char* key, const std::vector<const std::string*>& ids) {
    out += '"';
    out += key;
    out += "\":[";
    for (std::size_t i = 0; i < ids.size(); ++i) {
        out += i == 0 ? "\"" : ",\"";
        out += *ids[i];
        out += '"';
    }
    out += ']';
}

void MatchObject(std::string& out, const Match& match) {
    out += "\"match\":{";
    Text(out, "id", match.id);
    out += ',';
    Text(out, "hopper_id", match.hopper_id);
    out += ",\"params\":{},";
    Fragment(out, "join_info", match.join_info);
    out += ',';
    std::vector<const std::string*> accepted;
    for (const std::string& ticket : match.accepted) {
        if (const MatchMember* member = match.Find(ticket)) {
            accepted.push_back(&member->identity);
        }
    }
    Ids(out, "accepted", accepted);
    out += ",\"teams\":[";
    for (std::size_t t = 0; t < match.teams.size(); ++t) {
        out += t == 0 ? "[" : ",[";
        for (std::size_t m = 0; m < match.teams[t].size(); ++m) {
            const MatchMember& member = match.teams[t][m];
            out += m == 0 ? "{" : ",{";
            Text(out, "identity_id", member.identity);
            if (!member.party_id.empty()) {
                out += ',';
                Text(out, "group_id", member.party_id);
            }
            out += ',';
            Fragment(out, "attributes", member.attributes);
            out += ',';
            Fragment(out, "values", member.values);
            out += '}';
        }
        out += ']';
    }
    out += "]}";
}

// The party as this ticket sees it: from its match once matched (the party
// record ends when the match starts), else from the party record.
void Group(std::string& out, Store& store, const Ticket& ticket, const Match* match) {
    std::vector<const std::string*> joined;
    uint64_t size = 0;
    std::optional<Party> party;
    if (match != nullptr) {
        for (const MatchMember* member : match->Members()) {
            if (member->party_id == ticket.party_id) {
                joined.push_back(&member->identity);
            }
        }
        size = joined.size();
    } else if ((party = store.GetParty(ticket.party_id))) {
        for (const std::string& identity : party->identities) {
            joined.push_back(&identity);
        }
        size = static_cast<uint64_t>(party->size);
    }
    out += ',';
    Text(out, "group_id", ticket.party_id);
    out += ',';
    Number(out, "group_size", size);
    out += ',';
    Ids(out, "group_members_joined", joined);
}

}  // namespace

std::string StatusBody(Store& store, const Ticket& ticket) {
    std::string out;
    out.reserve(256);
    out += '{';
    Number(out, "seq", ticket.seq);
    out += ',';
    Text(out, "matchable_id", ticket.id);
    out += ',';
    Text(out, "hopper_id", ticket.hopper_id);
    out += ',';
    Number(out, "estimated_hopper_size", store.WaitingCount(ticket.hopper_id));
    out += ",\"state\":\"";
    out += StateText(ticket.state);
    out += '"';
    std::optional<Match> match;
    if (!ticket.match_id.empty()) {
        match = store.GetMatch(ticket.match_id);
    }
    if (!ticket.party_id.empty()) {
        Group(out, store, ticket, match ? &*match : nullptr);
    }
    if (match) {
        out += ',';
        MatchObject(out, *match);
    }
    out += '}';
    return out;
}

}  // namespace KRHalyardServer
