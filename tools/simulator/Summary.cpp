#include "Summary.h"

#include <algorithm>
#include <array>
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
    std::vector<uint32_t> waits[3];
    for (const Attempt& attempt : attempts) {
        if (!in_group(attempt)) {
            continue;
        }
        for (Wait wait : {Wait::kToMatch, Wait::kToAccept, Wait::kToStart}) {
            const int64_t ms = WaitOf(attempt, wait);
            if (ms >= 0) {
                waits[static_cast<int>(wait)].push_back(static_cast<uint32_t>(ms));
            }
        }
    }
    return WaitFigures{group, PercentilesOf(waits[0]), PercentilesOf(waits[1]),
                       PercentilesOf(waits[2])};
}

}  // namespace

int64_t WaitOf(const Attempt& attempt, Wait wait) {
    const int64_t at = wait == Wait::kToMatch    ? attempt.matched_ms
                       : wait == Wait::kToAccept ? attempt.accepted_ms
                                                 : attempt.started_ms;
    return at >= 0 ? at - attempt.joined_ms : -1;
}

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

namespace {

// Attempts by player and attempt number, for reading events.
std::vector<std::vector<const Attempt*>> AttemptsByPlayer(const SimulationSummary& s) {
    std::vector<std::vector<const Attempt*>> by_player(s.players);
    for (const Attempt& attempt : s.attempts) {
        by_player[attempt.player].push_back(&attempt);
    }
    return by_player;
}

// A match's news reaches the member whose request made it at once, and the
// other members only with their next keep-alive answer. Returns the share of
// the started attempts' time to start that went by in between; -1 when no
// attempt started.
double KeepAliveShare(const SimulationSummary& s) {
    if (s.players_in_started_matches == 0) {
        return -1.0;
    }
    enum { kFound, kAccepted, kStarted, kPhases };
    const auto phase_of = [](int32_t state) -> int {
        switch (state) {
            case MMS_MATCHED:
                return kFound;
            case MMS_ACCEPTED_LEADER:
            case MMS_ACCEPTED_FOLLOWER:
                return kAccepted;
            case MMS_MATCH_STARTED:
                return kStarted;
            default:
                return -1;
        }
    };
    // When the first member of each match heard of each step.
    std::vector<std::array<int64_t, kPhases>> first(s.matches.size(), {-1, -1, -1});
    for (const StateEvent& event : s.events) {
        const int phase = phase_of(event.state);
        if (phase >= 0 && event.match >= 0 && first[event.match][phase] < 0) {
            first[event.match][phase] = event.ms;
        }
    }
    const auto by_player = AttemptsByPlayer(s);
    uint64_t late = 0;
    for (const StateEvent& event : s.events) {
        const int phase = phase_of(event.state);
        const Attempt& attempt = *by_player[event.player][event.attempt - 1];
        if (phase >= 0 && attempt.started() && event.match == attempt.match) {
            late += event.ms - first[event.match][phase];
        }
    }
    uint64_t waited = 0;
    for (const Attempt& attempt : s.attempts) {
        waited += attempt.started() ? Since(attempt.started_ms, attempt.joined_ms) : 0;
    }
    return waited == 0 ? 0.0 : static_cast<double>(late) / waited;
}

// Matches as their players went through them: who led, who started.
void TallyMatches(SimulationSummary* summary) {
    SimulationSummary& s = *summary;
    std::vector<int32_t> started_in(s.matches.size(), 0);
    std::vector<const Attempt*> leader_of(s.matches.size(), nullptr);
    for (const Attempt& attempt : s.attempts) {
        const bool leader = attempt.role == Role::kLeader;
        if (attempt.started()) {
            ++s.players_in_started_matches;
            ++(leader ? s.leaders : s.followers);
            if (attempt.match >= 0) {
                ++started_in[attempt.match];
            }
        } else {
            s.leaders_not_started += leader ? 1 : 0;
        }
        if (leader && attempt.match >= 0) {
            leader_of[attempt.match] = &attempt;
        }
    }
    s.matches_found = static_cast<uint32_t>(s.matches.size());
    for (std::size_t m = 0; m < s.matches.size(); ++m) {
        const MatchRecord& match = s.matches[m];
        s.matches_started += match.started ? 1 : 0;
        if (match.started && started_in[m] < match.players) {
            ++s.started_matches_missing_players;
            s.players_missing_from_started_matches +=
                static_cast<uint32_t>(match.players - started_in[m]);
        }
    }
    // Followers of a match that never started, still waiting when its leader
    // left: the backend keeps them in the match, so only their own timeouts
    // free them.
    std::vector<uint32_t> left_waiting;
    for (Attempt& attempt : s.attempts) {
        if (attempt.role != Role::kFollower || attempt.match < 0 ||
            s.matches[attempt.match].started) {
            continue;
        }
        const Attempt* leader = leader_of[attempt.match];
        if (leader == nullptr || leader->ended_ms < 0) {
            continue;
        }
        const int64_t until = attempt.ended_ms >= 0 ? attempt.ended_ms : s.run_time_ms;
        if (until >= leader->ended_ms) {
            attempt.left_waiting_ms = leader->ended_ms;
            left_waiting.push_back(static_cast<uint32_t>(until - leader->ended_ms));
        }
    }
    s.followers_left_waiting = PercentilesOf(left_waiting);
}

}  // namespace

void DeriveFigures(SimulationSummary* summary) {
    SimulationSummary& s = *summary;
    const std::vector<Attempt>& attempts = s.attempts;
    TallyMatches(summary);
    for (const Attempt& attempt : attempts) {
        ++s.outcomes[BehaviourName(attempt.behaviour)][AttemptOutcome(attempt)];
        for (const RaisedError& error : attempt.errors) {
            const char* name = krmm_error_code_to_str(error.code);
            ++s.errors[name];
            switch (error.role) {
                case ErrorRole::kWentOn:
                    ++s.errors_went_on[name];
                    break;
                case ErrorRole::kEnded:
                    ++s.errors_ended[name];
                    break;
                case ErrorRole::kAfterEnd:
                    ++s.errors_after_end[name];
                    break;
            }
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

    s.keepalive_share = KeepAliveShare(s);
    if (s.keepalive_share >= 0.5) {
        char note[400];
        std::snprintf(note, sizeof note,
                      "waits are dominated by the keep-alive interval (%.1f s): %.0f %% of the "
                      "time to start went by after a player's match had been found, accepted or "
                      "started, until a keep-alive answer told the player (--heartbeat changes "
                      "the interval)",
                      s.heartbeat_ms / 1000.0, 100.0 * s.keepalive_share);
        s.keepalive_note = note;
    }
}

}  // namespace KRSimulator
