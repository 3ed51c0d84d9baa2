// The networked client in a game loop. A frame with requests in flight to a
// service that never answers must cost what a frame costs on the loopback,
// give or take microseconds: nothing waits. And a pushed status must reach
// a player within a frame or two of its match forming, however many players
// one process runs.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "ServiceClient.h"
#include "halyard.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kTicket[] = "7e57ab1e-0000-4000-8000-00000000000a";
constexpr char kDuelHopper[] = "0e6976d1-1655-5da5-8354-3d3a38537aed";

// A socket that listens and never accepts: the kernel completes each
// connection, nobody ever answers.
int SilentListener(uint16_t* port) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listener, reinterpret_cast<sockaddr*>(&address), size);
    listen(listener, 1024);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    *port = ntohs(address.sin_port);
    return listener;
}

// One frame of a game with tasks in flight: the pump, then one poll of each.
void Frame(hy_client* client, const std::vector<hy_task*>& tasks) {
    hyn_client_pump(client);
    for (hy_task* task : tasks) {
        benchmark::DoNotOptimize(hy_task_is_pending(task));
    }
}

void RunFrames(benchmark::State& state, hy_client* client) {
    std::vector<hy_task*> tasks;
    for (int64_t i = 0; i < state.range(0); ++i) {
        tasks.push_back(hy_r_matchmaking_keepalive(client, kTicket));
    }
    for (int i = 0; i < 100; ++i) {  // the connections open
        Frame(client, tasks);
    }
    for (auto _ : state) {
        Frame(client, tasks);
    }
    for (hy_task* task : tasks) {
        hy_task_free(task);
    }
    hy_client_free(client);
}

void BM_FrameInFlightToSilentService(benchmark::State& state) {
    uint16_t port = 0;
    const int listener = SilentListener(&port);
    const std::string token = std::string(kTicket) + ".1999999999." + std::string(64, 'e');
    hy_client* client =
        hyn_client_connect(("http://127.0.0.1:" + std::to_string(port)).c_str(), token.c_str());
    hyn_client_set_timeout(client, 600000);
    RunFrames(state, client);
    close(listener);
}

// The floor: the same frame on the loopback, every task still pending.
void BM_FrameInFlightOnLoopback(benchmark::State& state) {
    hy_client* client = hy_client_create(nullptr);
    hyl_set_default(client, HYL_KEEPALIVE, 200, "{}", UINT32_MAX);
    RunFrames(state, client);
}

BENCHMARK(BM_FrameInFlightToSilentService)->Arg(1)->Arg(10)->Arg(100);
BENCHMARK(BM_FrameInFlightOnLoopback)->Arg(1)->Arg(10)->Arg(100);

std::string HopperId(int index) {
    char id[40];
    std::snprintf(id, sizeof id, "00000000-0000-4000-8000-%012x", index);
    return id;
}

// A hoppers file with one duel hopper per measured player.
std::string WriteHoppers(int count) {
    const double halves[] = {0.5, 0.5};
    hy_json* hoppers = hy_json_new_array();
    for (int i = 0; i < count; ++i) {
        hy_json_append_value(hoppers, hyl_hopper_json(HopperId(i).c_str(), "duel", 2, halves, 2));
    }
    char* text = hy_json_serialize(hoppers, 0);
    const std::string path = "/tmp/halyard-bench-hoppers-" + std::to_string(getpid()) + ".json";
    std::FILE* file = std::fopen(path.c_str(), "w");
    std::fputs(text, file);
    std::fclose(file);
    hy_free(text);
    hy_json_free(hoppers);
    return path;
}

struct Player {
    hy_client* client = nullptr;
    krmm_matchmaker* mm = nullptr;
    bool pumping = false;
    bool byPush = false;
    Clock::time_point matchedAt{};
};

void OnMessage(krmm_matchmaker*, const char* name, int32_t value, const char*, void* data) {
    auto* player = static_cast<Player*>(data);
    if (std::strcmp(name, "state") == 0 && value == MMS_MATCHED) {
        player->matchedAt = Clock::now();
        player->byPush = player->pumping;
    }
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

// count players, each a networked client and matchmaker in one game loop
// (a frame: every player's pump and process pass), wait alone in a duel
// hopper of their own. A second thread then completes each duel with a
// ticket and a keep-alive of its own, which forms the match; the latency of
// a player runs from the moment that keep-alive was sent (so it includes
// the request's trip to the service) to its matchmaker entering
// MMS_MATCHED, which the push brings.
void BM_PushLatencyFromFormation(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string hoppers = WriteHoppers(count);
    server_net_test::ServerProcess service(
        {"--listen", "127.0.0.1:0", "--dev-sessions", "--hoppers", hoppers});
    if (!service.running()) {
        state.SkipWithError("halyard-server did not start");
        return;
    }
    server_net_test::HttpClient http(service.url());
    const auto newToken = [&http] { return http.Post("/v1/sessions", "").Text("token"); };
    std::vector<std::unique_ptr<Player>> players;
    for (int i = 0; i < count; ++i) {
        auto player = std::make_unique<Player>();
        player->client = hyn_client_connect(service.url().c_str(), newToken().c_str());
        player->mm = krmm_create_matchmaking(player->client, "bench", 0);
        krmm_register_msg_callback(player->mm, &OnMessage, player.get());
        krmm_start_matchmaking(player->mm, HopperId(i).c_str(), nullptr, nullptr, 0, nullptr,
                               nullptr);
        players.push_back(std::move(player));
    }
    std::vector<std::string> tokens;
    for (int i = 0; i < count; ++i) {
        tokens.push_back(newToken());
    }
    std::vector<double> frames;
    std::vector<double> frameCpu;  // the machine is shared: what the frame itself used
    const auto frame = [&] {
        const Clock::time_point start = Clock::now();
        const double cpu = ThreadCpuMs();
        for (const std::unique_ptr<Player>& player : players) {
            player->pumping = true;
            hyn_client_pump(player->client);
            player->pumping = false;
            krmm_process(player->mm);
        }
        frames.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        frameCpu.push_back(ThreadCpuMs() - cpu);
    };
    const auto allIn = [&](int32_t state) {
        return std::all_of(players.begin(), players.end(), [state](const auto& p) {
            return krmm_get_error_code(p->mm) == 0 &&
                   (state == MMS_MATCHING ? p->matchedAt == Clock::time_point()
                                          : p->matchedAt != Clock::time_point());
        });
    };
    // Every player waits in its hopper with its stream open.
    const Clock::time_point settled = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < settled) {
        frame();
    }
    frames.clear();
    frameCpu.clear();
    std::vector<Clock::time_point> formedAt(static_cast<size_t>(count));
    for (auto _ : state) {
        std::thread second([&] {
            server_net_test::HttpClient own(service.url());
            for (int i = 0; i < count; ++i) {
                const std::string ticket =
                    own.Post("/v1/matchmaking/tickets", "{\"hopper_id\":\"" + HopperId(i) + "\"}",
                             tokens[i])
                        .Text("ticket");
                formedAt[i] = Clock::now();
                own.Post("/v1/matchmaking/tickets/" + ticket + "/keepalive", "", tokens[i]);
            }
        });
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(120);
        while (!allIn(MMS_MATCHED) && Clock::now() < deadline) {
            frame();
        }
        second.join();
    }
    std::vector<double> latencies;
    for (int i = 0; i < count; ++i) {
        if (players[i]->byPush) {
            latencies.push_back(
                std::chrono::duration<double, std::milli>(players[i]->matchedAt - formedAt[i])
                    .count());
        }
    }
    state.counters["pushed"] = static_cast<double>(latencies.size());
    state.counters["p50_ms"] = Percentile(latencies, 0.50);
    state.counters["p99_ms"] = Percentile(latencies, 0.99);
    state.counters["frame_p50_ms"] = Percentile(frames, 0.50);
    state.counters["frame_cpu_p50_ms"] = Percentile(frameCpu, 0.50);
    for (const std::unique_ptr<Player>& player : players) {
        krmm_free_matchmaking(player->mm);
        hy_client_free(player->client);
    }
    std::remove(hoppers.c_str());
}

BENCHMARK(BM_PushLatencyFromFormation)
    ->Arg(2)
    ->Arg(100)
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
