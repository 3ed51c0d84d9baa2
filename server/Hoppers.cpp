#include "Hoppers.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>

#include "Ids.h"
#include "RequestBody.h"
#include "halyard.h"
#include "records/HopperInfo.h"

namespace KRHalyardServer {
namespace {

const char* const kDefaultHoppers = R"([
  {"_id": "dcb02466-a5de-5d58-8ce3-552e6c7747ae", "name": "solo", "is_enabled": true,
   "allow_groups": true, "expansion_time": 0, "expansion_wait": 0, "maximum_wait_time": 0,
   "players": 1, "teams": [1.0]},
  {"_id": "0e6976d1-1655-5da5-8354-3d3a38537aed", "name": "duel", "is_enabled": true,
   "allow_groups": true, "expansion_time": 0, "expansion_wait": 0, "maximum_wait_time": 0,
   "players": 2, "teams": [0.5, 0.5]},
  {"_id": "30ac7aba-e072-52cf-b30d-d88c2ff89f76", "name": "five against five",
   "is_enabled": true, "allow_groups": true, "expansion_time": 0, "expansion_wait": 0,
   "maximum_wait_time": 0, "players": 10, "teams": [0.5, 0.5]}
])";

struct HyJsonFree {
    void operator()(hy_json* value) const { hy_json_free(value); }
};

// Reads one record through the matchmaker's own parser and check.
bool ReadHopper(const json_t* record, std::size_t index, Hopper* hopper, std::string* error) {
    const std::string where = "hopper record " + std::to_string(index);
    if (!json_is_object(record)) {
        *error = where + ": not a JSON object";
        return false;
    }
    const std::string text = CompactText(record);
    std::unique_ptr<hy_json, HyJsonFree> parsed(hy_json_parse(text.c_str(), text.size()));
    KRMatchmakingSystem::HopperInfo info;
    if (!KRMatchmakingSystem::ParseHopperInfo(parsed.get(), &info)) {
        *error = where +
                 ": the matchmaker would reject it (it needs a 36-character \"_id\", times of 0 "
                 "or more, \"players\" of at least 1, a \"teams\" array of fractions of 0 or "
                 "more and non-empty \"rules\")";
        return false;
    }
    if (!IsUuid(info.id.c_str())) {
        *error = where + ": \"_id\" must be a lower-case UUID, as tickets name it";
        return false;
    }
    if (std::strcmp(info.id.c_str(), kNilUuid) == 0) {
        *error =
            where + ": \"_id\" must not be the nil UUID, which a matchmaker sends for no hopper";
        return false;
    }
    if (info.players > Hoppers::kMaxPlayers) {
        *error = where + ": more than " + std::to_string(Hoppers::kMaxPlayers) + " players";
        return false;
    }
    hopper->id = info.id.c_str();
    hopper->name = info.name.c_str();
    hopper->enabled = info.is_enabled;
    hopper->allow_groups = info.allow_groups;
    hopper->max_wait_ms = static_cast<int64_t>(info.maximum_wait_time) * 1000;
    hopper->players = info.players;
    // The record keeps its fractions newest first.
    std::vector<double> fractions(info.team_fractions.begin(), info.team_fractions.end());
    std::reverse(fractions.begin(), fractions.end());
    hopper->team_sizes = TeamSizes(info.players, fractions);
    hopper->record = text;
    return true;
}

}  // namespace

int32_t Hopper::LargestTeam() const {
    return team_sizes.empty() ? 0 : *std::max_element(team_sizes.begin(), team_sizes.end());
}

std::vector<int32_t> TeamSizes(int32_t players, const std::vector<double>& fractions) {
    const std::size_t count = fractions.size();
    std::vector<int32_t> sizes(count, 0);
    if (count == 0) {
        return sizes;
    }
    double total = std::accumulate(fractions.begin(), fractions.end(), 0.0);
    std::vector<double> shares(count);
    for (std::size_t i = 0; i < count; ++i) {
        shares[i] = total > 0.0 ? players * fractions[i] / total : double(players) / count;
    }
    int32_t given = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sizes[i] = static_cast<int32_t>(shares[i]);
        given += sizes[i];
    }
    // The seats left go to the largest remainders, the earlier team first on a tie.
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return shares[a] - sizes[a] > shares[b] - sizes[b];
    });
    for (std::size_t i = 0; given < players; i = (i + 1) % count) {
        ++sizes[order[i]];
        ++given;
    }
    return sizes;
}

bool Hoppers::Parse(const std::string& json_text, Hoppers* out, std::string* error) {
    json_error_t json_error;
    const Json root(
        json_loadb(json_text.data(), json_text.size(), JSON_REJECT_DUPLICATES, &json_error));
    if (!root) {
        *error = "not JSON: line " + std::to_string(json_error.line) + ", column " +
                 std::to_string(json_error.column) + ": " + json_error.text;
        return false;
    }
    if (!json_is_array(root.get()) || json_array_size(root.get()) == 0) {
        *error = "expected a JSON array of hopper records";
        return false;
    }
    Hoppers hoppers;
    for (std::size_t i = 0; i < json_array_size(root.get()); ++i) {
        Hopper hopper;
        if (!ReadHopper(json_array_get(root.get(), i), i, &hopper, error)) {
            return false;
        }
        if (hoppers.Find(hopper.id) != nullptr) {
            *error =
                "hopper record " + std::to_string(i) + ": \"_id\" " + hopper.id + " appears twice";
            return false;
        }
        hoppers.hoppers_.push_back(std::move(hopper));
    }
    *out = std::move(hoppers);
    return true;
}

Hoppers Hoppers::Defaults() {
    Hoppers hoppers;
    std::string error;
    Parse(kDefaultHoppers, &hoppers, &error);
    return hoppers;
}

const Hopper* Hoppers::Find(const std::string& id) const {
    for (const Hopper& hopper : hoppers_) {
        if (hopper.id == id) {
            return &hopper;
        }
    }
    return nullptr;
}

}  // namespace KRHalyardServer
