#include "Simulation.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <thread>
#include <unordered_map>

#include "BackendPlayer.h"
#include "FaultOptions.h"
#include "KRMatchmakingSystem.h"
#include "PlayerRecording.h"
#include "Progress.h"
#include "RecoveryWatch.h"
#include "emulator/HalyardEmulator.h"
#include "halyard.h"
#include "util/Clock.h"

namespace KRSimulator {

namespace {

using KRHalyardEmulator::HalyardEmulator;
namespace TestClock = KRMatchmakingSystem::TestClock;

// Where simulated time starts. Any value works; a round one reads well when
// the matchmakers' own debug lines are shown.
constexpr uint32_t kClockOrigin = 1000000;
// The listed players of a broken invariant; the rest are counted.
constexpr std::size_t kViolationsListed = 10;

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

// A uniform value in [0, bound], the same on every standard library.
uint32_t Draw(std::mt19937_64& generator, uint32_t bound) {
    return static_cast<uint32_t>(generator() % (static_cast<uint64_t>(bound) + 1));
}

bool IsActive(int32_t state) {
    return state >= MMS_REQUEST_TICKET && state <= MMS_MATCH_STARTED;
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

    int32_t state = MMS_IDLE;
    bool in_attempt = false;
    bool done = false;  // idle after its last attempt
    uint32_t next_join_ms = 0;
    uint32_t attempts_made = 0;
    std::size_t attempt = 0;  // index of its current attempt in the session's list
    // The current attempt has wound down (left the active states).
    bool wound_down = false;
    // Which error ended an attempt: one raised in the call that wound it
    // down (a timeout stops matchmaking first and raises its error after),
    // else the last one since its last active state, whose consequence came
    // a pass or more later (a decline answered "cancelled"). Counts of the
    // attempt's errors before the current call and at its last active state.
    std::size_t call_first_error = 0;
    std::size_t active_errors = 0;
    bool awaiting_end_error = false;
    RecoveryWatch recovery;
    uint32_t leader_start_at_ms = 0;
    int64_t first_join_ms = -1;
    int64_t first_started_ms = -1;
};

class Session {
public:
    explicit Session(const SimulationOptions& options) : options_(options) {}
    ~Session();

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Setup(std::string* error);
    void Run();
    // Checks that every player is idle, frees every matchmaker and client,
    // empties the emulator and checks that no backend object is left alive.
    void Finish();
    void Summarise(SimulationSummary* summary);

private:
    static void OnMessage(krmm_matchmaker* matchmaker, const char* name, int32_t value,
                          const char* text, void* user_data);
    static void OnLog(krmm_matchmaker* matchmaker, int32_t type, const char* line, void* user_data);
    static void OnEmulatorLine(const char* line, void* user_data);
    static void OnFault(KRHalyardEmulator::RequestKind kind,
                        const KRHalyardEmulator::FaultAnswer& answer, void* user_data);

    void HandleState(Player& player, int32_t state);
    void HandleError(Player& player, int32_t code);
    // The match the player's status names, entered in matches_ when new; -1
    // for none.
    int32_t MatchOf(const Player& player);
    void BeginCall(Player& player);
    void EndCall(Player& player);
    void WindDown(Player& player);
    void Join(Player& player);
    void EndAttempt(Player& player);
    void Act(Player& player);
    void ReportProgress(double wall_ms);
    uint32_t FlagsFor(const Player& player) const;
    Attempt& CurrentAttempt(const Player& player) { return attempts_[player.attempt]; }

    const SimulationOptions& options_;
    std::mt19937_64 think_times_;
    // Reserved in full before the first player is made and never grown
    // after: each player's address is the user data of its callbacks.
    std::vector<Player> players_;
    std::vector<Attempt> attempts_;
    std::vector<StateEvent> events_;
    uint32_t now_ms_ = 0;
    uint32_t done_count_ = 0;
    uint64_t frames_ = 0;
    uint64_t emulator_lines_ = 0;
    uint64_t log_lines_ = 0;
    RecoveryCounts recoveries_;
    std::map<std::string, uint32_t> faults_injected_;
    bool safety_limit_hit_ = false;
    bool finished_ = false;
    double wall_ms_ = 0.0;
    std::vector<MatchRecord> matches_;
    std::unordered_map<std::string, int32_t> match_index_;
    uint32_t matches_started_ = 0;
    std::vector<std::string> violations_;
    uint32_t baseline_tasks_ = 0;
    uint32_t baseline_responses_ = 0;
    uint32_t baseline_json_ = 0;

    // Destroyed after the destructor's Finish, so that what freeing the
    // matchmakers finishes is still recorded.
    std::unique_ptr<PlayerRecording> recording_;
    // The recorded player's journal, on a service (taken before its client
    // is freed).
    std::string journalled_scenario_;

    bool engaged_clock_ = false;
    std::chrono::steady_clock::time_point real_start_;
};

Session::~Session() {
    Finish();
    HalyardEmulator& emulator = HalyardEmulator::Instance();
    emulator.SetOutput(nullptr, nullptr);
    emulator.SetFaultObserver(nullptr, nullptr);
    emulator.SetRandomSource(nullptr);
    emulator.SetFaultPlan(KRHalyardEmulator::FaultPlan());
    if (engaged_clock_) {
        TestClock::Release();
    }
}

void Session::Finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    const std::string seed = " (seed " + std::to_string(options_.seed) + ")";
    std::size_t not_idle = 0;
    for (const Player& player : players_) {
        if (player.state != MMS_IDLE && ++not_idle <= kViolationsListed) {
            violations_.push_back("player-" + std::to_string(player.index + 1) + " ended in " +
                                  krmm_matchmaking_state_to_str(player.state) + seed);
        }
    }
    if (not_idle > kViolationsListed) {
        violations_.push_back("and " + std::to_string(not_idle - kViolationsListed) +
                              " more players not in MMS_IDLE" + seed);
    }
    // Matchmakers first: freeing one drains its queue, which still talks to
    // the emulator and may name its client.
    for (Player& player : players_) {
        krmm_free_matchmaking(player.matchmaker);
        player.matchmaker = nullptr;
    }
    HalyardEmulator& emulator = HalyardEmulator::Instance();
    if (emulator.task_count() != 0) {
        violations_.push_back(std::to_string(emulator.task_count()) +
                              " backend tasks (with their responses and bodies) left alive in "
                              "the emulator" +
                              seed);
    }
    if (options_.record_player != 0 && options_.record_player <= players_.size() &&
        !options_.backend.empty()) {
        char* scenario = hyl_journal_scenario(players_[options_.record_player - 1].client);
        journalled_scenario_ = scenario != nullptr ? scenario : "";
        hy_free(scenario);
    }
    for (Player& player : players_) {
        if (player.client != nullptr) {
            hy_client_free(player.client);
            player.client = nullptr;
        }
    }
    // Leave no clients or hoppers behind for whatever runs next.
    emulator.Reset();
    const auto left = [](uint32_t now, uint32_t before) { return now > before ? now - before : 0; };
    const uint32_t tasks = left(hyl_live_tasks(), baseline_tasks_);
    const uint32_t responses = left(hyl_live_responses(), baseline_responses_);
    const uint32_t json = left(hyl_live_json(), baseline_json_);
    if (tasks + responses + json != 0) {
        violations_.push_back(std::to_string(tasks) + " client library tasks, " +
                              std::to_string(responses) + " responses and " + std::to_string(json) +
                              " JSON blocks left alive" + seed);
    }
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
    emulator.SetFaultObserver(&Session::OnFault, this);
    emulator.Reset();
    emulator_lines_ = 0;
    baseline_tasks_ = hyl_live_tasks();
    baseline_responses_ = hyl_live_responses();
    baseline_json_ = hyl_live_json();
    g_uuid_bytes.seed(options_.seed ^ 0x5eed0f0e1a7a11ceULL);
    emulator.SetRandomSource(&SeededRandomBytes);
    // Polls are passes: one per frame.
    emulator.SetFaultPlan(KRHalyardEmulator::FaultPlan(
        options_.faults, options_.seed ^ 0xfa017fa017ULL, options_.slow_max_ms / options_.frame_ms,
        options_.give_up_ms / options_.frame_ms));
    think_times_.seed(options_.seed ^ 0x7417c7417cULL);

    if (!RunsOnRealTime(options_)) {
        TestClock::Set(kClockOrigin);
        engaged_clock_ = true;
    } else if (TestClock::IsEngaged()) {
        TestClock::Release();
    }
    real_start_ = std::chrono::steady_clock::now();

    std::mt19937_64 generator(options_.seed);
    const std::vector<Behaviour> behaviours = AssignBehaviours(options_, generator);
    const uint32_t count = options_.players;
    players_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        players_.emplace_back();
        Player* player = &players_.back();
        player->session = this;
        player->index = i;
        player->behaviour = behaviours[i];
        player->next_join_ms = Draw(generator, options_.join_spread_ms);
        player->client = options_.backend.empty() ? hy_client_create(nullptr)
                                                  : ConnectPlayer(options_.backend, error);
        if (player->client == nullptr && !options_.backend.empty()) {
            *error = "player " + std::to_string(i + 1) + ": " + *error;
            return false;
        }
        char name[32];
        std::snprintf(name, sizeof name, "player-%05u", i + 1);
        player->matchmaker = krmm_create_matchmaking(player->client, name, FlagsFor(*player));
        if (player->client == nullptr || player->matchmaker == nullptr) {
            *error = "cannot create player " + std::to_string(i + 1);
            return false;
        }
        krmm_matchmaker* matchmaker = player->matchmaker;
        krmm_set_matchmaking_timeout(matchmaker, options_.matchmaking_timeout_ms);
        krmm_set_accept_timeout(matchmaker, options_.accept_timeout_ms);
        krmm_set_start_timeout(matchmaker, options_.start_timeout_ms);
        if (options_.heartbeat_ms != 0) {
            krmm_set_heartbeat_interval(matchmaker, options_.heartbeat_ms);
        }
        krmm_register_msg_callback(matchmaker, &Session::OnMessage, player);
        krmm_register_log_callback(matchmaker, &Session::OnLog, player);
    }
    // A networked client journals its own session.
    if (options_.record_player != 0 && options_.backend.empty()) {
        const uint32_t index = options_.record_player - 1;
        recording_ = std::make_unique<PlayerRecording>(
            players_[index].client, options_.auto_start ? "" : LeaderJoinInfo(index));
    }
    // Creating a matchmaker switches the emulator off, so switch it on only
    // now that every player exists.
    if (!players_.empty() && options_.backend.empty()) {
        krmm_set_emulator(players_.front().matchmaker, 1);
    }
    return true;
}

void Session::OnMessage(krmm_matchmaker* matchmaker, const char* name, int32_t value, const char*,
                        void* user_data) {
    Player& player = *static_cast<Player*>(user_data);
    Session& session = *player.session;
    if (name == nullptr) {
        return;
    }
    if (std::strcmp(name, "state") == 0) {
        player.recovery.Observe(matchmaker, 0, &session.recoveries_);
        session.HandleState(player, value);
    } else if (std::strcmp(name, "error") == 0) {
        player.recovery.Observe(matchmaker, value, &session.recoveries_);
        session.HandleError(player, value);
    }
}

void Session::BeginCall(Player& player) {
    player.call_first_error = player.in_attempt ? CurrentAttempt(player).errors.size() : 0;
}

void Session::EndCall(Player& player) {
    if (player.awaiting_end_error) {
        player.awaiting_end_error = false;
        std::vector<RaisedError>& errors = CurrentAttempt(player).errors;
        if (errors.size() > player.active_errors) {
            errors.back().role = ErrorRole::kEnded;
        }
    }
    player.recovery.Observe(player.matchmaker, 0, &recoveries_);
}

void Session::WindDown(Player& player) {
    Attempt& attempt = CurrentAttempt(player);
    player.wound_down = true;
    attempt.ended_ms = now_ms_;
    std::vector<RaisedError>& errors = attempt.errors;
    if (errors.size() > player.call_first_error) {
        errors[player.call_first_error].role = ErrorRole::kEnded;
    } else {
        player.awaiting_end_error = true;
    }
}

void Session::HandleError(Player& player, int32_t code) {
    if (!player.in_attempt) {
        return;
    }
    ErrorRole role = ErrorRole::kWentOn;
    if (player.wound_down) {
        role = player.awaiting_end_error ? ErrorRole::kEnded : ErrorRole::kAfterEnd;
        player.awaiting_end_error = false;
    }
    CurrentAttempt(player).errors.push_back(RaisedError{code, role});
}

int32_t Session::MatchOf(const Player& player) {
    const char* id = krmm_get_match_info_match_id(player.matchmaker);
    if (id == nullptr || id[0] == '\0') {
        return -1;
    }
    const auto found = match_index_.emplace(id, static_cast<int32_t>(matches_.size()));
    if (found.second) {
        matches_.push_back(MatchRecord{id, krmm_get_match_info_num_users(player.matchmaker)});
    }
    return found.first->second;
}

void Session::HandleState(Player& player, int32_t state) {
    player.state = state;
    if (!player.in_attempt) {
        return;
    }
    Attempt& attempt = CurrentAttempt(player);
    const int32_t match = MatchOf(player);
    events_.push_back(StateEvent{now_ms_, player.index, attempt.number, state, match});
    if (IsActive(state)) {
        attempt.last_state = state;
        player.active_errors = attempt.errors.size();
    } else if (!player.wound_down) {
        WindDown(player);
    }
    if (attempt.ticket.empty() && state >= MMS_INITIAL_WAITING && IsActive(state)) {
        attempt.ticket = krmm_get_match_info_matchable_id(player.matchmaker);
    }
    switch (state) {
        case MMS_MATCHED:
            if (attempt.matched_ms < 0) {
                attempt.matched_ms = now_ms_;
            }
            attempt.match = match;
            break;
        case MMS_ACCEPTED_LEADER:
        case MMS_ACCEPTED_FOLLOWER:
            attempt.role = state == MMS_ACCEPTED_LEADER ? Role::kLeader : Role::kFollower;
            if (attempt.accepted_ms < 0) {
                attempt.accepted_ms = now_ms_;
            }
            attempt.match = match;
            if (state == MMS_ACCEPTED_LEADER) {
                player.leader_start_at_ms = now_ms_ + options_.start_delay_ms;
            }
            break;
        case MMS_MATCH_STARTED:
            attempt.started_ms = now_ms_;
            // A follower may hear of everyone's accept and the start at once.
            if (attempt.accepted_ms < 0) {
                attempt.accepted_ms = now_ms_;
            }
            if (attempt.role == Role::kNone) {
                attempt.role = Role::kFollower;
            }
            attempt.match = match;
            if (match >= 0 && !matches_[match].started) {
                matches_[match].started = true;
                ++matches_started_;
            }
            if (player.first_started_ms < 0) {
                player.first_started_ms = now_ms_;
            }
            break;
        case MMS_IDLE:
            EndAttempt(player);
            break;
        default:
            break;
    }
}

void Session::EndAttempt(Player& player) {
    player.in_attempt = false;
    if (CurrentAttempt(player).started() || player.attempts_made > options_.requeue) {
        player.done = true;
        ++done_count_;
        return;
    }
    // Joins again after thinking about it for a moment.
    player.next_join_ms = now_ms_ + Draw(think_times_, options_.think_ms);
}

void Session::OnLog(krmm_matchmaker*, int32_t, const char* line, void* user_data) {
    Session& session = *static_cast<Player*>(user_data)->session;
    ++session.log_lines_;
    if (session.options_.on_log_line) {
        session.options_.on_log_line(line);
    }
}

void Session::OnFault(KRHalyardEmulator::RequestKind kind,
                      const KRHalyardEmulator::FaultAnswer& answer, void* user_data) {
    ++static_cast<Session*>(user_data)->faults_injected_[FaultLabel(kind, answer)];
}

void Session::OnEmulatorLine(const char* line, void* user_data) {
    Session& session = *static_cast<Session*>(user_data);
    ++session.emulator_lines_;
    if (session.options_.on_emulator_line) {
        session.options_.on_emulator_line(line);
    }
}

void Session::Join(Player& player) {
    ++player.attempts_made;
    Attempt attempt;
    attempt.player = player.index;
    attempt.number = player.attempts_made;
    attempt.behaviour = player.behaviour;
    attempt.joined_ms = now_ms_;
    player.attempt = attempts_.size();
    attempts_.push_back(std::move(attempt));
    player.in_attempt = true;
    player.wound_down = false;
    player.active_errors = 0;
    if (player.first_join_ms < 0) {
        player.first_join_ms = now_ms_;
    }
    BeginCall(player);
    if (!krmm_start_matchmaking(player.matchmaker, options_.hopper_id.c_str(), nullptr, nullptr, 0,
                                nullptr, nullptr)) {
        // Refused at once (the error is recorded): nothing to wait for.
        WindDown(player);
        EndAttempt(player);
    }
    EndCall(player);
}

// The game's side of one frame for one player: what a player does by hand.
void Session::Act(Player& player) {
    krmm_matchmaker* matchmaker = player.matchmaker;
    if (player.state == MMS_MATCHED && player.behaviour == Behaviour::kDecline) {
        BeginCall(player);
        krmm_decline_match(matchmaker);
        EndCall(player);
    } else if (player.state == MMS_ACCEPTED_LEADER && !options_.auto_start &&
               now_ms_ >= player.leader_start_at_ms) {
        BeginCall(player);
        krmm_start_match(matchmaker, LeaderJoinInfo(player.index).c_str());
        EndCall(player);
    }
}

void Session::ReportProgress(double wall_ms) {
    ProgressCounts counts;
    counts.wall_ms = wall_ms;
    counts.run_time_ms = now_ms_;
    counts.players = static_cast<uint32_t>(players_.size());
    counts.done = done_count_;
    counts.matches_found = static_cast<uint32_t>(matches_.size());
    counts.matches_started = matches_started_;
    for (const Player& player : players_) {
        if (player.done) {
            continue;
        }
        if (!player.in_attempt) {
            ++counts.not_joined;
        } else if (IsSearching(player.state)) {
            ++counts.searching;
        } else if (IsInMatch(player.state)) {
            ++counts.in_match;
        } else {
            ++counts.restarting;
        }
    }
    options_.on_progress(ProgressLine(counts, RunTimeBoundMs(options_)));
}

void Session::Run() {
    const auto wall_start = std::chrono::steady_clock::now();
    const auto wall_ms = [&]() {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                         wall_start)
            .count();
    };
    const bool progress = options_.on_progress && options_.progress_every_ms != 0;
    double next_progress_ms = options_.progress_every_ms;
    const uint32_t count = static_cast<uint32_t>(players_.size());

    for (;;) {
        // One visit per player and frame: a crowd of matchmakers does not
        // fit in the cache, so every extra walk over them costs a miss each.
        for (Player& player : players_) {
            if (!player.in_attempt && !player.done && now_ms_ >= player.next_join_ms) {
                Join(player);
            }
            BeginCall(player);
            // A service's pushes reach the matchmaker in the pump, before
            // its pass, as in a game.
            if (!options_.backend.empty()) {
                hyn_client_pump(player.client);
            }
            krmm_process(player.matchmaker);
            EndCall(player);
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
        // Wall time, so that even a crowd too big for a frame a millisecond
        // reports within the first second.
        if (progress && (frames_ & 7) == 0) {
            const double wall = wall_ms();
            if (wall >= next_progress_ms) {
                ReportProgress(wall);
                next_progress_ms = wall + options_.progress_every_ms;
            }
        }

        if (RunsOnRealTime(options_)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(options_.frame_ms));
            const auto elapsed = std::chrono::steady_clock::now() - real_start_;
            now_ms_ = static_cast<uint32_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
        } else {
            TestClock::Advance(options_.frame_ms);
            now_ms_ += options_.frame_ms;
        }
    }
    wall_ms_ = wall_ms();
    if (progress) {
        ReportProgress(wall_ms_);
    }
}

void Session::Summarise(SimulationSummary* summary) {
    SimulationSummary out;
    out.players = static_cast<uint32_t>(players_.size());
    out.hopper_id = options_.hopper_id;
    out.match_size = KRHalyardEmulator::HopperMatchSize(options_.hopper_id);
    out.seed = options_.seed;
    out.requeue = options_.requeue;
    out.heartbeat_ms = HeartbeatMs(options_);
    out.accept_timeout_ms = options_.accept_timeout_ms;
    out.start_timeout_ms = options_.start_timeout_ms;
    out.faults = FaultRuleTexts(options_.faults);
    out.warnings = OptionWarnings(options_);
    out.recoveries = recoveries_;
    out.faults_injected = std::move(faults_injected_);
    out.frames = frames_;
    out.run_time_ms = now_ms_;
    out.wall_ms = wall_ms_;
    out.emulator_lines = emulator_lines_;
    out.log_lines = log_lines_;
    out.safety_limit_hit = safety_limit_hit_;
    out.invariant_violations = violations_;
    for (const Player& player : players_) {
        PlayerResult result;
        result.behaviour = player.behaviour;
        result.attempts = player.attempts_made;
        result.final_state = player.state;
        if (player.first_started_ms >= 0) {
            result.first_join_to_start_ms = player.first_started_ms - player.first_join_ms;
        }
        out.players_still_active += player.done ? 0 : 1;
        out.player_results.push_back(result);
    }
    out.attempts = std::move(attempts_);
    out.events = std::move(events_);
    out.matches = std::move(matches_);
    if (recording_ != nullptr) {
        out.recorded_scenario = recording_->Scenario();
    } else {
        out.recorded_scenario = std::move(journalled_scenario_);
    }
    DeriveFigures(&out);
    *summary = std::move(out);
}

}  // namespace

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
