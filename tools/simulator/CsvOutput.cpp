#include "CsvOutput.h"

#include <cstdio>

#include "KRMatchmakingSystem.h"

namespace KRSimulator {

namespace {

std::string Time(int64_t ms) {
    if (ms < 0) {
        return "";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms / 1000.0);
    return text;
}

}  // namespace

const char kCsvHeader[] =
    "player,attempt,behaviour,joined,ticket,matched,accepted,started,role,final_state,error,"
    "match_id,match_players";

// Every field is a number, an id or an identifier: none needs quoting.
void WriteCsv(const SimulationSummary& summary, std::ostream& out) {
    out << kCsvHeader << '\n';
    for (const Attempt& attempt : summary.attempts) {
        const int32_t error = attempt.EndingError();
        out << attempt.player + 1 << ',' << attempt.number << ','
            << BehaviourName(attempt.behaviour) << ',' << Time(attempt.joined_ms) << ','
            << attempt.ticket << ',' << Time(attempt.matched_ms) << ',' << Time(attempt.accepted_ms)
            << ',' << Time(attempt.started_ms) << ',' << RoleName(attempt.role) << ','
            << krmm_matchmaking_state_to_str(attempt.last_state) << ','
            << (error != MME_NONE ? krmm_error_code_to_str(error) : "") << ',';
        if (attempt.match >= 0) {
            const MatchRecord& match = summary.matches[attempt.match];
            out << match.id << ',' << match.players;
        } else {
            out << ',';
        }
        out << '\n';
    }
}

}  // namespace KRSimulator
