#include "Simulation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <thread>

#include "KRMatchmakingSystem.h"
#include "emulator/HalyardEmulator.h"
#include "emulator/Hopper.h"
#include "halyard.h"
#include "util/Clock.h"

namespace KRSimulator {

namespace {

using KRHalyardEmulator::HalyardEmulator;
namespace TestClock = KRMatchmakingSystem::TestClock;

// Where simulated time starts. Any value works; a round one reads well when
// the matchmakers' own debug lines are shown.
constexpr uint32_t kClockOrigin = 1000000;
constexpr uint32_t kMaxPlayers = 100000;
constexpr uint32_t kMaxRunTimeMs = 86400000;  // one day

// The emulator's UUIDs (tickets, match ids, identities) come from this
// generator, seeded per run, so that a seed repeats a run exactly. The
// emulator's random hook takes no user data, hence the file-level state; the
// emulator is process-wide, so there is only ever one run anyway.
std::mt19937_64 g_uuid_bytes;

bool SeededRandomBytes(uint8_t* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<uint8_t>(g_uuid_bytes() >> 56);
    }
    return true;
}

// A uniform value in [0, bound] from the generator, the same on every
// standard library (the distributions of <random> are not).
uint32_t Draw(std::mt19937_64& generator, uint32_t bound) {
    return static_cast<uint32_t>(generator() % (static_cast<uint64_t>(bound) + 1));
}

TimeStats Stats(const std::vector<uint32_t>& values) {
    TimeStats stats;
    if (values.empty()) {
        return stats;
    }
    stats.count = static_cast<uint32_t>(values.size());
    stats.min_ms = *std::min_element(values.begin(), values.end());
    stats.max_ms = *std::max_element(values.begin(), values.end());
    double total = 0.0;
    for (uint32_t value : values) {
        total += value;
    }
    stats.mean_ms = total / static_cast<double>(values.size());
    return stats;
}

bool IsSearching(int32_t state) {
    return state >= MMS_REQUEST_TICKET && state <= MMS_MATCHING;
}
bool IsInMatch(int32_t state) {
    return state >= MMS_MATCHED && state <= MMS_MATCH_STARTED;
}

class Session;

struct Player {
    Session* session = nullptr;
    uint32_t index = 0;
    hy_client* client = nullptr;
    krmm_matchmaker* matchmaker = nullptr;
    Behaviour behaviour = Behaviour::kAccept;
    uint32_t join_at_ms = 0;

    bool joined = false;
    bool done = false;  // back in MMS_IDLE after joining
    int32_t state = MMS_IDLE;
    uint32_t joined_ms = 0;
    bool matched = false;
    uint32_t matched_ms = 0;
    bool leader = false;
    uint32_t leader_start_at_ms = 0;
    bool match_started = false;
    uint32_t started_ms = 0;
    std::string match_id;
    int32_t users_in_match = 0;
    std::vector<int32_t> errors;
};

class Session {
public:
    explicit Session(const SimulationOptions& options) : options_(options) {}
    ~Session();

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Setup(std::string* error);
    void Run();
    // Frees every matchmaker and client and empties the emulator; the
    // emulator lines this causes are still counted.
    void Finish();
    void Summarise(SimulationSummary* summary) const;

private:
    static void OnMessage(krmm_matchmaker* matchmaker, const char* name, int32_t value,
                          const char* text, void* user_data);
    static void OnLog(krmm_matchmaker* matchmaker, int32_t type, const char* line, void* user_data);
    static void OnEmulatorLine(const char* line, void* user_data);

    void HandleState(Player& player, int32_t state);
    void Join(Player& player, const char* hopper_id);
    void Act(Player& player);
    void ReportProgress();
    uint32_t FlagsFor(const Player& player) const;

    const SimulationOptions& options_;
    // Reserved in full before the first player is made and never grown
    // after: each player's address is the user data of its callbacks.
    std::vector<Player> players_;
    uint32_t now_ms_ = 0;
    uint32_t done_count_ = 0;
    uint64_t frames_ = 0;
    uint64_t emulator_lines_ = 0;
    uint64_t log_lines_ = 0;
    bool safety_limit_hit_ = false;
    bool finished_ = false;
    double wall_ms_ = 0.0;
    std::set<std::string> found_matches_;
    std::set<std::string> started_matches_;

    bool engaged_clock_ = false;
    std::chrono::steady_clock::time_point real_start_;
};

Session::~Session() {
    Finish();
    HalyardEmulator& emulator = HalyardEmulator::Instance();
    emulator.SetOutput(nullptr, nullptr);
    emulator.SetRandomSource(nullptr);
    if (engaged_clock_) {
        TestClock::Release();
    }
}

void Session::Finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    // Matchmakers first: freeing one drains its queue, which still talks to
    // the emulator and may name its client.
    for (Player& player : players_) {
        krmm_free_matchmaking(player.matchmaker);
        player.matchmaker = nullptr;
    }
    for (Player& player : players_) {
        if (player.client != nullptr) {
            hy_client_free(player.client);
            player.client = nullptr;
        }
    }
    // Leave no clients or hoppers behind for whatever runs next.
    HalyardEmulator::Instance().Reset();
}

uint32_t Session::FlagsFor(const Player& player) const {
    uint32_t flags = options_.log_flags;
    if (player.behaviour == Behaviour::kAccept) {
        flags |= MMF_AUTO_ACCEPT;
    }
    if (options_.auto_start) {
        flags |= MMF_AUTO_START;
    }
    return flags;
}

bool Session::Setup(std::string* error) {
    HalyardEmulator& emulator = HalyardEmulator::Instance();
    // A fresh emulator per run: hoppers and clients of an earlier run would
    // otherwise join this one's matches. What clearing them writes is not
    // part of this run.
    emulator.SetOutput(&Session::OnEmulatorLine, this);
    emulator.Reset();
    emulator_lines_ = 0;
    g_uuid_bytes.seed(options_.seed ^ 0x5eed0f0e1a7a11ceULL);
    emulator.SetRandomSource(&SeededRandomBytes);

    if (!options_.real_time) {
        TestClock::Set(kClockOrigin);
        engaged_clock_ = true;
    } else if (TestClock::IsEngaged()) {
        TestClock::Release();
    }
    real_start_ = std::chrono::steady_clock::now();

    // Behaviours go to seeded positions, so that decliners are not simply the
    // first players to join.
    std::mt19937_64 generator(options_.seed);
    const uint32_t count = options_.players;
    std::vector<Behaviour> behaviours(count, Behaviour::kAccept);
    const uint32_t decliners = static_cast<uint32_t>(options_.decline_fraction * count + 0.5);
    const uint32_t silent =
        std::min<uint32_t>(count - std::min(decliners, count),
                           static_cast<uint32_t>(options_.no_answer_fraction * count + 0.5));
    for (uint32_t i = 0; i < count; ++i) {
        if (i < decliners) {
            behaviours[i] = Behaviour::kDecline;
        } else if (i < decliners + silent) {
            behaviours[i] = Behaviour::kNoAnswer;
        }
    }
    for (uint32_t i = count; i > 1; --i) {
        std::swap(behaviours[i - 1], behaviours[Draw(generator, i - 1)]);
    }

    players_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        players_.emplace_back();
        Player* player = &players_.back();
        player->session = this;
        player->index = i;
        player->behaviour = behaviours[i];
        player->join_at_ms = Draw(generator, options_.join_spread_ms);
        player->client = hy_client_create(nullptr);
        char name[32];
        std::snprintf(name, sizeof name, "player-%05u", i + 1);
        player->matchmaker = krmm_create_matchmaking(player->client, name, FlagsFor(*player));
        if (player->client == nullptr || player->matchmaker == nullptr) {
            *error = "cannot create player " + std::to_string(i + 1);
            return false;
        }
        krmm_matchmaker* matchmaker = player->matchmaker;
        krmm_set_matchmaking_timeout(matchmaker, options_.matchmaking_timeout_ms);
        if (options_.heartbeat_ms != 0) {
            krmm_set_heartbeat_interval(matchmaker, options_.heartbeat_ms);
        }
        krmm_register_msg_callback(matchmaker, &Session::OnMessage, player);
        if (options_.log_flags != 0) {
            krmm_register_log_callback(matchmaker, &Session::OnLog, player);
        }
    }
    // Creating a matchmaker switches the emulator off, so switch it on only
    // now that every player exists.
    if (!players_.empty()) {
        krmm_set_emulator(players_.front().matchmaker, 1);
    }
    return true;
}

void Session::OnMessage(krmm_matchmaker*, const char* name, int32_t value, const char*,
                        void* user_data) {
    Player& player = *static_cast<Player*>(user_data);
    const std::string message = name != nullptr ? name : "";
    if (message == "state") {
        player.session->HandleState(player, value);
    } else if (message == "error") {
        player.errors.push_back(value);
    }
}

void Session::HandleState(Player& player, int32_t state) {
    player.state = state;
    switch (state) {
        case MMS_MATCHED: {
            if (!player.matched) {
                player.matched = true;
                player.matched_ms = now_ms_ - player.joined_ms;
            }
            player.match_id = krmm_get_match_info_match_id(player.matchmaker);
            if (!player.match_id.empty()) {
                found_matches_.insert(player.match_id);
            }
            break;
        }
        case MMS_ACCEPTED_LEADER:
            player.leader = true;
            player.leader_start_at_ms = now_ms_ + options_.start_delay_ms;
            break;
        case MMS_MATCH_STARTED:
            player.match_started = true;
            player.started_ms = now_ms_ - player.joined_ms;
            player.match_id = krmm_get_match_info_match_id(player.matchmaker);
            player.users_in_match = krmm_get_match_info_num_users(player.matchmaker);
            started_matches_.insert(player.match_id);
            break;
        case MMS_IDLE:
            if (player.joined && !player.done) {
                player.done = true;
                ++done_count_;
            }
            break;
        default:
            break;
    }
}

void Session::OnLog(krmm_matchmaker*, int32_t, const char* line, void* user_data) {
    Session& session = *static_cast<Player*>(user_data)->session;
    ++session.log_lines_;
    if (session.options_.on_log_line) {
        session.options_.on_log_line(line);
    }
}

void Session::OnEmulatorLine(const char* line, void* user_data) {
    Session& session = *static_cast<Session*>(user_data);
    ++session.emulator_lines_;
    if (session.options_.on_emulator_line) {
        session.options_.on_emulator_line(line);
    }
}

void Session::Join(Player& player, const char* hopper_id) {
    player.joined = true;
    player.joined_ms = now_ms_;
    if (!krmm_start_matchmaking(player.matchmaker, hopper_id, nullptr, nullptr, 0, nullptr,
                                nullptr)) {
        // Refused at once (the error is recorded): nothing to wait for.
        player.done = true;
        ++done_count_;
    }
}

// The game's side of one frame for one player: what a player does by hand.
void Session::Act(Player& player) {
    krmm_matchmaker* matchmaker = player.matchmaker;
    if (player.state == MMS_MATCHED && player.behaviour == Behaviour::kDecline) {
        krmm_decline_match(matchmaker);
    } else if (player.state == MMS_ACCEPTED_LEADER && !options_.auto_start &&
               now_ms_ >= player.leader_start_at_ms) {
        // The join info tells the followers where the leader's server is.
        char join_info[96];
        std::snprintf(join_info, sizeof join_info, "{\"server\":\"10.%u.%u.%u\",\"port\":7777}",
                      (player.index >> 16) & 255, (player.index >> 8) & 255, player.index & 255);
        krmm_start_match(matchmaker, join_info);
    }
}

void Session::ReportProgress() {
    uint32_t waiting = 0;
    uint32_t searching = 0;
    uint32_t in_match = 0;
    uint32_t restarting = 0;
    for (const Player& player : players_) {
        if (!player.joined) {
            ++waiting;
        } else if (player.done) {
            continue;
        } else if (IsSearching(player.state)) {
            ++searching;
        } else if (IsInMatch(player.state)) {
            ++in_match;
        } else {
            ++restarting;
        }
    }
    char line[256];
    std::snprintf(line, sizeof line,
                  "[%7.1fs] not joined %u, searching %u, in a match %u, restarting %u, done %u/%zu"
                  " | matches found %zu, started %zu",
                  now_ms_ / 1000.0, waiting, searching, in_match, restarting, done_count_,
                  players_.size(), found_matches_.size(), started_matches_.size());
    options_.on_progress(line);
}

void Session::Run() {
    const auto wall_start = std::chrono::steady_clock::now();
    const char* hopper_id = options_.hopper_id.c_str();
    uint32_t next_progress_ms = options_.progress_every_ms;
    const uint32_t count = static_cast<uint32_t>(players_.size());

    for (;;) {
        // One visit per player and frame: a crowd of matchmakers does not
        // fit in the cache, so every extra walk over them costs a miss each.
        for (Player& player : players_) {
            if (!player.joined && now_ms_ >= player.join_at_ms) {
                Join(player, hopper_id);
            }
            krmm_process(player.matchmaker);
            Act(player);
        }
        ++frames_;

        if (done_count_ == count) {
            break;
        }
        if (now_ms_ >= options_.max_time_ms) {
            safety_limit_hit_ = true;
            break;
        }
        if (options_.on_progress && options_.progress_every_ms != 0 &&
            now_ms_ >= next_progress_ms) {
            ReportProgress();
            next_progress_ms += options_.progress_every_ms;
        }

        if (options_.real_time) {
            std::this_thread::sleep_for(std::chrono::milliseconds(options_.frame_ms));
            const auto elapsed = std::chrono::steady_clock::now() - real_start_;
            now_ms_ = static_cast<uint32_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
        } else {
            TestClock::Advance(options_.frame_ms);
            now_ms_ += options_.frame_ms;
        }
    }
    if (options_.on_progress && options_.progress_every_ms != 0) {
        ReportProgress();
    }
    wall_ms_ =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall_start)
            .count();
}

void Session::Summarise(SimulationSummary* summary) const {
    SimulationSummary out;
    out.players = static_cast<uint32_t>(players_.size());
    out.hopper_id = options_.hopper_id;
    out.match_size = KRHalyardEmulator::HopperMatchSize(options_.hopper_id);
    out.seed = options_.seed;
    out.matches_found = static_cast<uint32_t>(found_matches_.size());
    out.matches_started = static_cast<uint32_t>(started_matches_.size());
    out.frames = frames_;
    out.run_time_ms = now_ms_;
    out.wall_ms = wall_ms_;
    out.emulator_lines = emulator_lines_;
    out.log_lines = log_lines_;
    out.safety_limit_hit = safety_limit_hit_;

    std::vector<uint32_t> to_match;
    std::vector<uint32_t> to_start;
    for (const Player& player : players_) {
        ++out.behaviours[BehaviourName(player.behaviour)];
        if (player.matched) {
            to_match.push_back(player.matched_ms);
        }
        if (player.match_started) {
            to_start.push_back(player.started_ms);
            ++out.players_in_started_matches;
            if (!player.leader) {
                ++out.followers;
            }
        }
        if (player.leader) {
            ++out.leaders;
        }
        for (int32_t code : player.errors) {
            ++out.errors[krmm_error_code_to_str(code)];
        }
        ++out.final_states[krmm_matchmaking_state_to_str(player.state)];
        if (!player.done) {
            ++out.players_still_active;
        }

        PlayerResult result;
        result.behaviour = player.behaviour;
        result.joined_at_ms = player.joined_ms;
        result.matched = player.matched;
        result.leader = player.leader;
        result.match_started = player.match_started;
        result.match_id = player.match_id;
        result.users_in_match = player.users_in_match;
        result.errors = player.errors;
        result.final_state = player.state;
        out.player_results.push_back(std::move(result));
    }
    out.time_to_match = Stats(to_match);
    out.time_to_start = Stats(to_start);
    *summary = std::move(out);
}

}  // namespace

const char* BehaviourName(Behaviour behaviour) {
    switch (behaviour) {
        case Behaviour::kAccept:
            return "accept";
        case Behaviour::kDecline:
            return "decline";
        case Behaviour::kNoAnswer:
            return "no_answer";
    }
    return "<unknown>";
}

const char* HopperIdForSize(int32_t match_size) {
    for (const HopperChoice& hopper : KnownHoppers()) {
        if (hopper.match_size == match_size) {
            return hopper.id;
        }
    }
    return nullptr;
}

uint32_t SimulationSummary::total_errors() const {
    uint32_t total = 0;
    for (const auto& entry : errors) {
        total += entry.second;
    }
    return total;
}

std::string ValidateOptions(const SimulationOptions& options) {
    if (options.players == 0 || options.players > kMaxPlayers) {
        return "the number of players must be between 1 and " + std::to_string(kMaxPlayers);
    }
    if (KRHalyardEmulator::HopperMatchSize(options.hopper_id) <= 0) {
        return "the emulator forms no matches in hopper '" + options.hopper_id + "'";
    }
    const auto is_fraction = [](double value) { return value >= 0.0 && value <= 1.0; };
    if (!is_fraction(options.decline_fraction) || !is_fraction(options.no_answer_fraction)) {
        return "behaviour fractions must be between 0 and 1";
    }
    if (options.decline_fraction + options.no_answer_fraction > 1.0 + 1e-9) {
        return "the decline and no-answer fractions add up to more than 1";
    }
    if (options.frame_ms == 0 || options.frame_ms > 1000) {
        return "the frame step must be between 1 and 1000 ms";
    }
    if (options.max_time_ms == 0 || options.max_time_ms > kMaxRunTimeMs) {
        return "the safety limit must be more than 0 and at most one day";
    }
    if (options.join_spread_ms > kMaxRunTimeMs || options.start_delay_ms > kMaxRunTimeMs ||
        options.matchmaking_timeout_ms > kMaxRunTimeMs || options.heartbeat_ms > kMaxRunTimeMs) {
        return "times must be at most one day";
    }
    if ((options.log_flags & ~0xFFu) != 0) {
        return "log flags are the MMF_LOG_ bits 0x01 to 0x80";
    }
    return "";
}

bool RunSimulation(const SimulationOptions& options, SimulationSummary* summary,
                   std::string* error) {
    std::string problem = ValidateOptions(options);
    if (!problem.empty()) {
        *error = problem;
        return false;
    }
    Session session(options);
    if (!session.Setup(error)) {
        return false;
    }
    session.Run();
    session.Finish();
    session.Summarise(summary);
    return true;
}

}  // namespace KRSimulator
