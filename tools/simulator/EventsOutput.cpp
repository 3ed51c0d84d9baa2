#include "EventsOutput.h"

#include <cstdio>

#include "KRMatchmakingSystem.h"

namespace KRSimulator {

void WriteEvents(const SimulationSummary& summary, std::ostream& out) {
    for (const StateEvent& event : summary.events) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "{\"t\":%.3f,\"player\":%u,\"attempt\":%u,\"state\":\"%s\"}\n",
                      event.ms / 1000.0, event.player + 1, event.attempt,
                      krmm_matchmaking_state_to_str(event.state));
        out << line;
    }
}

}  // namespace KRSimulator
