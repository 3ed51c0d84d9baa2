#include "EventsOutput.h"

#include <cstdio>

#include "JsonText.h"
#include "KRMatchmakingSystem.h"

namespace KRSimulator {

void WriteEvents(const SimulationSummary& summary, std::ostream& out) {
    for (const StateEvent& event : summary.events) {
        char line[160];
        const int length = std::snprintf(
            line, sizeof line, "{\"t\":%.3f,\"player\":%u,\"attempt\":%u,\"state\":\"%s\",",
            event.ms / 1000.0, event.player + 1, event.attempt,
            krmm_matchmaking_state_to_str(event.state));
        out.write(line, length);
        if (event.match >= 0) {
            const MatchRecord& match = summary.matches[event.match];
            out << "\"match_id\":" << JsonString(match.id) << ",\"match_players\":" << match.players
                << "}\n";
        } else {
            out << "\"match_id\":null,\"match_players\":null}\n";
        }
    }
}

}  // namespace KRSimulator
