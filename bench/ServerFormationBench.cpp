// Tickets matched per second by halyard-server's formation on the in-memory
// store: each ticket is created and kept alive through the same steps the
// routes call, and the last keep-alive of each group forms its match. The
// formed matches are dropped outside the timing, so the store stays small.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "Formation.h"
#include "MemoryStore.h"
#include "Tickets.h"

using namespace KRHalyardServer;

namespace {

const char* const kDuel = "0e6976d1-1655-5da5-8354-3d3a38537aed";
const char* const kTen = "30ac7aba-e072-52cf-b30d-d88c2ff89f76";

struct Core {
    Settings settings;
    ManualClock clock;
    Metrics metrics;
    MemoryStore store;
    Hoppers hoppers = Hoppers::Defaults();
    Context context{store, clock, hoppers, settings, metrics};
    Formation formation{context};
    Tickets tickets{context, formation};
    long next_identity = 0;

    std::string Identity() {
        char text[64];
        std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012ld", ++next_identity);
        return text;
    }

    std::string Queue(const char* hopper, const TicketRequest& extra = {}) {
        TicketRequest request = extra;
        request.hopper_id = hopper;
        const std::string identity = Identity();
        const Outcome created = tickets.Create(identity, request);
        tickets.KeepAlive(identity, created.ticket->id);
        return created.ticket->id;
    }

    // Drops a formed match and its tickets.
    void Drop(const std::string& ticket_id) {
        const Ticket ticket = *store.GetTicket(ticket_id);
        const Match match = *store.GetMatch(ticket.match_id);
        Batch batch;
        for (const MatchMember* member : match.Members()) {
            batch.dropped_tickets.push_back(
                {member->ticket, store.GetTicket(member->ticket)->version});
        }
        batch.dropped_matches.push_back({match.id, match.version});
        store.Commit(batch);
    }
};

void MatchTickets(benchmark::State& state, const char* hopper, int players, int waiting_parties) {
    Core core;
    // Parties still waiting for a member: formation reads past them each time.
    for (int i = 0; i < waiting_parties; ++i) {
        TicketRequest opener;
        char party[40];
        std::snprintf(party, sizeof party, "10000000-0000-4000-8000-%012d", i);
        opener.second_group_id = party;
        opener.group_size = 2;
        core.Queue(hopper, opener);
    }
    int64_t matched = 0;
    for (auto _ : state) {
        std::string last;
        for (int i = 0; i < players; ++i) {
            last = core.Queue(hopper);
        }
        matched += players;
        state.PauseTiming();
        core.Drop(last);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(matched);
}

void BM_MatchDuels(benchmark::State& state) {
    MatchTickets(state, kDuel, 2, 0);
}
void BM_MatchTens(benchmark::State& state) {
    MatchTickets(state, kTen, 10, 0);
}
void BM_MatchTensBehind1000WaitingParties(benchmark::State& state) {
    MatchTickets(state, kTen, 10, 1000);
}

}  // namespace

BENCHMARK(BM_MatchDuels);
BENCHMARK(BM_MatchTens);
BENCHMARK(BM_MatchTensBehind1000WaitingParties);
