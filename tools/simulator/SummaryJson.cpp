#include <cstdio>
#include <sstream>

#include "JsonText.h"
#include "SummaryFormat.h"

namespace KRSimulator {

namespace {

std::string JsonCounts(const std::map<std::string, uint32_t>& counts) {
    std::string text = "{";
    for (const auto& entry : counts) {
        text += (text.size() > 1 ? "," : "") + JsonString(entry.first) + ":" +
                std::to_string(entry.second);
    }
    return text + "}";
}

std::string JsonStrings(const std::vector<std::string>& texts) {
    std::string text = "[";
    for (const std::string& entry : texts) {
        text += (text.size() > 1 ? "," : "") + JsonString(entry);
    }
    return text + "]";
}

std::string JsonPercentiles(const Percentiles& p) {
    if (p.count == 0) {
        return "{\"count\":0,\"p50\":null,\"p90\":null,\"p99\":null,\"max\":null}";
    }
    char text[128];
    std::snprintf(text, sizeof text, "{\"count\":%u,\"p50\":%u,\"p90\":%u,\"p99\":%u,\"max\":%u}",
                  p.count, p.p50, p.p90, p.p99, p.max);
    return text;
}

std::string JsonWaits(const SimulationSummary& summary, Percentiles WaitFigures::*wait) {
    std::string text = "{";
    for (const WaitFigures& group : summary.waits) {
        text += (text.size() > 1 ? "," : "") + JsonString(group.group) + ":" +
                JsonPercentiles(group.*wait);
    }
    return text + "}";
}

}  // namespace

std::string FormatSummaryJson(const SimulationSummary& s, bool wall_time) {
    std::ostringstream text;
    char wall[32] = "null";
    if (wall_time) {
        std::snprintf(wall, sizeof wall, "%.3f", s.wall_ms);
    }
    char share[32] = "null";
    if (s.keepalive_share >= 0.0) {
        std::snprintf(share, sizeof share, "%.3f", s.keepalive_share);
    }
    std::string outcomes = "{";
    for (const auto& behaviour : s.outcomes) {
        outcomes += (outcomes.size() > 1 ? "," : "") + JsonString(behaviour.first) + ":" +
                    JsonCounts(behaviour.second);
    }
    outcomes += "}";
    const RecoveryCounts& r = s.recoveries;
    text << "{\"players\":" << s.players << ",\"hopper_id\":" << JsonString(s.hopper_id)
         << ",\"match_size\":" << s.match_size << ",\"seed\":" << s.seed
         << ",\"requeue\":" << s.requeue << ",\"heartbeat_ms\":" << s.heartbeat_ms
         << ",\"accept_timeout_ms\":" << s.accept_timeout_ms
         << ",\"start_timeout_ms\":" << s.start_timeout_ms
         << ",\"faults\":" << JsonStrings(s.faults) << ",\"warnings\":" << JsonStrings(s.warnings)
         << ",\"behaviours\":" << JsonCounts(s.behaviours) << ",\"attempts\":" << s.attempts.size()
         << ",\"matches_found\":" << s.matches_found << ",\"matches_started\":" << s.matches_started
         << ",\"players_in_started_matches\":" << s.players_in_started_matches
         << ",\"started_matches_missing_players\":" << s.started_matches_missing_players
         << ",\"players_missing_from_started_matches\":" << s.players_missing_from_started_matches
         << ",\"leaders\":" << s.leaders << ",\"followers\":" << s.followers
         << ",\"leaders_not_started\":" << s.leaders_not_started
         << ",\"followers_left_waiting_ms\":" << JsonPercentiles(s.followers_left_waiting)
         << ",\"time_to_match_ms\":" << JsonWaits(s, &WaitFigures::to_match)
         << ",\"time_to_accept_ms\":" << JsonWaits(s, &WaitFigures::to_accept)
         << ",\"time_to_start_ms\":" << JsonWaits(s, &WaitFigures::to_start)
         << ",\"accepting_players\":" << s.accepting_players
         << ",\"accepting_players_started\":" << s.accepting_players_started
         << ",\"first_join_to_start_ms\":" << JsonPercentiles(s.first_join_to_start)
         << ",\"keepalive_share\":" << share
         << ",\"keepalive_note\":" << JsonString(s.keepalive_note) << ",\"outcomes\":" << outcomes
         << ",\"errors\":" << JsonCounts(s.errors)
         << ",\"errors_ended\":" << JsonCounts(s.errors_ended)
         << ",\"errors_went_on\":" << JsonCounts(s.errors_went_on)
         << ",\"errors_after_end\":" << JsonCounts(s.errors_after_end)
         << ",\"recoveries\":{\"opened\":" << r.opened << ",\"recovered\":" << r.recovered
         << ",\"gave_up\":" << r.gave_up << ",\"cut_short\":" << r.cut_short
         << "},\"faults_injected\":" << JsonCounts(s.faults_injected)
         << ",\"final_states\":" << JsonCounts(s.final_states) << ",\"frames\":" << s.frames
         << ",\"run_time_ms\":" << s.run_time_ms << ",\"wall_ms\":" << wall
         << ",\"emulator_lines\":" << s.emulator_lines << ",\"log_lines\":" << s.log_lines
         << ",\"players_still_active\":" << s.players_still_active
         << ",\"safety_limit_hit\":" << (s.safety_limit_hit ? "true" : "false")
         << ",\"invariant_violations\":" << JsonStrings(s.invariant_violations) << "}\n";
    return text.str();
}

}  // namespace KRSimulator
