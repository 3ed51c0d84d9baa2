#include "Summary.h"

#include <algorithm>
#include <cstdio>

#include "KRMatchmakingSystem.h"

namespace KRSimulator {

namespace {

uint32_t Since(int64_t at_ms, uint32_t joined_ms) {
    return static_cast<uint32_t>(at_ms - joined_ms);
}

// Collects the waits of the attempts that belong to a group.
template <class InGroup>
WaitFigures WaitsOf(const char* group, const std::vector<Attempt>& attempts, InGroup in_group) {
    std::vector<uint32_t> to_match;
    std::vector<uint32_t> to_accept;
    std::vector<uint32_t> to_start;
    for (const Attempt& attempt : attempts) {
        if (!in_group(attempt)) {
            continue;
        }
        if (attempt.matched_ms >= 0) {
            to_match.push_back(Since(attempt.matched_ms, attempt.joined_ms));
        }
        if (attempt.accepted_ms >= 0) {
            to_accept.push_back(Since(attempt.accepted_ms, attempt.joined_ms));
        }
        if (attempt.started()) {
            to_start.push_back(Since(attempt.started_ms, attempt.joined_ms));
        }
    }
    return WaitFigures{group, PercentilesOf(to_match), PercentilesOf(to_accept),
                       PercentilesOf(to_start)};
}

}  // namespace

Percentiles PercentilesOf(std::vector<uint32_t> values) {
    Percentiles result;
    if (values.empty()) {
        return result;
    }
    std::sort(values.begin(), values.end());
    const std::size_t count = values.size();
    // Nearest rank: the smallest value with at least p % of the values at or
    // below it.
    const auto rank = [&](std::size_t percent) {
        const std::size_t position = (percent * count + 99) / 100;
        return values[position == 0 ? 0 : position - 1];
    };
    result.count = static_cast<uint32_t>(count);
    result.p50 = rank(50);
    result.p90 = rank(90);
    result.p99 = rank(99);
    result.max = values.back();
    return result;
}

uint32_t TotalOf(const std::map<std::string, uint32_t>& counts) {
    uint32_t total = 0;
    for (const auto& entry : counts) {
        total += entry.second;
    }
    return total;
}

uint32_t SimulationSummary::total_errors() const {
    return TotalOf(errors);
}

uint32_t SimulationSummary::total_faults() const {
    return TotalOf(faults_injected);
}

void DeriveFigures(SimulationSummary* summary) {
    SimulationSummary& s = *summary;
    const std::vector<Attempt>& attempts = s.attempts;
    for (const Attempt& attempt : attempts) {
        s.players_in_started_matches += attempt.started() ? 1 : 0;
        s.leaders += attempt.role == Role::kLeader ? 1 : 0;
        s.followers += attempt.started() && attempt.role != Role::kLeader ? 1 : 0;
        ++s.outcomes[BehaviourName(attempt.behaviour)][AttemptOutcome(attempt)];
        for (const RaisedError& error : attempt.errors) {
            const char* name = krmm_error_code_to_str(error.code);
            ++s.errors[name];
            ++(error.recovered ? s.errors_recovered : s.errors_ended)[name];
        }
    }

    const auto behaving = [](Behaviour behaviour) {
        return [behaviour](const Attempt& attempt) { return attempt.behaviour == behaviour; };
    };
    const WaitFigures groups[] = {
        WaitsOf("all", attempts, [](const Attempt&) { return true; }),
        WaitsOf("leader", attempts,
                [](const Attempt& attempt) { return attempt.role == Role::kLeader; }),
        WaitsOf("follower", attempts,
                [](const Attempt& attempt) { return attempt.role == Role::kFollower; }),
        WaitsOf("accept", attempts, behaving(Behaviour::kAccept)),
        WaitsOf("decline", attempts, behaving(Behaviour::kDecline)),
        WaitsOf("no_answer", attempts, behaving(Behaviour::kNoAnswer)),
    };
    for (const WaitFigures& group : groups) {
        if (group.to_match.count != 0 || group.group == "all") {
            s.waits.push_back(group);
        }
    }

    std::vector<uint32_t> first_join_to_start;
    for (const PlayerResult& player : s.player_results) {
        ++s.behaviours[BehaviourName(player.behaviour)];
        ++s.final_states[krmm_matchmaking_state_to_str(player.final_state)];
        if (player.behaviour == Behaviour::kAccept) {
            ++s.accepting_players;
            if (player.first_join_to_start_ms >= 0) {
                ++s.accepting_players_started;
                first_join_to_start.push_back(static_cast<uint32_t>(player.first_join_to_start_ms));
            }
        }
    }
    s.first_join_to_start = PercentilesOf(first_join_to_start);

    // A player hears of its match, and a follower of the start, only from a
    // keep-alive answer: the emulator pushes nothing. When the typical match
    // arrives within two intervals, the intervals are what the figures show.
    const Percentiles& to_match = s.waits.front().to_match;
    if (to_match.count != 0 && 2.0 * s.heartbeat_ms >= to_match.p50) {
        char note[400];
        std::snprintf(note, sizeof note,
                      "waits are dominated by the keep-alive interval (%.1f s): a player hears "
                      "of its match only from a keep-alive answer, and followers hear of the "
                      "start at their next keep-alive, because the emulator pushes nothing "
                      "(--heartbeat changes the interval)",
                      s.heartbeat_ms / 1000.0);
        s.keepalive_note = note;
    }
}

}  // namespace KRSimulator
