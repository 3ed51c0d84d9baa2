#include "CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <vector>

#include "FaultOptions.h"
#include "KRMatchmakingSystem.h"
#include "emulator/Hopper.h"

namespace KRSimulator {

namespace {

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t* out) {
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value > max) {
        return false;
    }
    *out = value;
    return true;
}

bool ParseNumber(const std::string& text, double* out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value)) {
        return false;
    }
    *out = value;
    return true;
}

// Seconds on the command line, milliseconds inside.
bool ParseSeconds(const std::string& text, uint32_t* ms) {
    double seconds = 0.0;
    if (!ParseNumber(text, &seconds) || seconds < 0.0 || seconds > 86400.0) {
        return false;
    }
    *ms = static_cast<uint32_t>(std::lround(seconds * 1000.0));
    return true;
}

bool ParseHopper(const std::string& text, std::string* hopper_id) {
    uint64_t size = 0;
    if (ParseUnsigned(text, 1000, &size)) {
        const char* id = HopperIdForSize(static_cast<int32_t>(size));
        if (id == nullptr) {
            return false;
        }
        *hopper_id = id;
        return true;
    }
    if (KRHalyardEmulator::HopperMatchSize(text) <= 0) {
        return false;
    }
    *hopper_id = text;
    return true;
}

std::string HopperHelp() {
    std::string text;
    for (const HopperChoice& hopper : KnownHoppers()) {
        text += "\n      " + std::to_string(hopper.match_size) + "  " + hopper.id;
    }
    return text;
}

using Apply = std::function<std::string(const std::string& value, CommandLine* command_line)>;

// A whole number from min to max.
Apply Count(uint32_t SimulationOptions::*field, uint32_t min, uint32_t max,
            const std::string& what) {
    return [field, min, max, what](const std::string& value, CommandLine* cl) -> std::string {
        uint64_t number = 0;
        if (!ParseUnsigned(value, max, &number) || number < min) {
            return "expects " + what;
        }
        cl->options.*field = static_cast<uint32_t>(number);
        return "";
    };
}

Apply Fraction(double SimulationOptions::*field) {
    return [field](const std::string& value, CommandLine* cl) -> std::string {
        double fraction = 0.0;
        if (!ParseNumber(value, &fraction) || fraction < 0.0 || fraction > 1.0) {
            return "expects a fraction of the players from 0 to 1";
        }
        cl->options.*field = fraction;
        return "";
    };
}

Apply Seconds(uint32_t SimulationOptions::*field) {
    return [field](const std::string& value, CommandLine* cl) -> std::string {
        return ParseSeconds(value, &(cl->options.*field)) ? "" : "expects seconds from 0 to 86400";
    };
}

// Seconds, more than 0: a zero here would stall or flood the run.
Apply PositiveSeconds(uint32_t SimulationOptions::*field, const char* zero_means) {
    return [field, zero_means](const std::string& value, CommandLine* cl) -> std::string {
        uint32_t ms = 0;
        if (!ParseSeconds(value, &ms) || ms == 0) {
            return std::string("expects seconds more than 0 and at most 86400") + zero_means;
        }
        cl->options.*field = ms;
        return "";
    };
}

Apply File(std::string CommandLine::*field) {
    return [field](const std::string& value, CommandLine* cl) -> std::string {
        if (value.empty()) {
            return "expects a file name";
        }
        cl->*field = value;
        return "";
    };
}

Apply Flag(bool SimulationOptions::*field) {
    return [field](const std::string&, CommandLine* cl) -> std::string {
        cl->options.*field = true;
        return "";
    };
}

Apply Flag(bool CommandLine::*field) {
    return [field](const std::string&, CommandLine* cl) -> std::string {
        cl->*field = true;
        return "";
    };
}

struct OptionEntry {
    const char* name;
    const char* value_name;  // null for a switch
    // Applies the value; returns the complaint, or "" when it is fine.
    Apply apply;
};

const std::vector<OptionEntry>& Options() {
    static const std::vector<OptionEntry> options = {
        {"--players", "N",
         Count(&SimulationOptions::players, 1, kMaxPlayers,
               "a number of players from 1 to " + std::to_string(kMaxPlayers))},
        {"--hopper", "H",
         [](const std::string& value, CommandLine* cl) -> std::string {
             if (!ParseHopper(value, &cl->options.hopper_id)) {
                 return "expects 1, 2, 10 or one of the emulator's hopper ids:" + HopperHelp();
             }
             return "";
         }},
        {"--requeue", "N",
         Count(&SimulationOptions::requeue, 0, kMaxRequeue,
               "a number of requeues from 0 to " + std::to_string(kMaxRequeue))},
        {"--think", "SECONDS", Seconds(&SimulationOptions::think_ms)},
        {"--fault", "KIND:WHAT=P",
         [](const std::string& value, CommandLine* cl) -> std::string {
             return ParseFaultSpec(value, &cl->options.faults);
         }},
        {"--faults", "PRESET",
         [](const std::string& value, CommandLine* cl) -> std::string {
             return ApplyFaultPreset(value, &cl->options.faults);
         }},
        {"--slow-max", "SECONDS", PositiveSeconds(&SimulationOptions::slow_max_ms, "")},
        {"--give-up", "SECONDS", PositiveSeconds(&SimulationOptions::give_up_ms, "")},
        {"--csv", "FILE", File(&CommandLine::csv_file)},
        {"--record-player", "N FILE",
         [](const std::string& value, CommandLine* cl) -> std::string {
             const std::size_t gap = value.find('\n');
             uint64_t player = 0;
             if (!ParseUnsigned(value.substr(0, gap), kMaxPlayers, &player) || player == 0) {
                 return "expects a player from 1 to " + std::to_string(kMaxPlayers) +
                        " (at most --players) and a file";
             }
             cl->options.record_player = static_cast<uint32_t>(player);
             cl->record_file = value.substr(gap + 1);
             return cl->record_file.empty() ? "expects a file name" : "";
         }},
        {"--events", "FILE", File(&CommandLine::events_file)},
        {"--report", "FILE", File(&CommandLine::report_file)},
        {"--decline", "P", Fraction(&SimulationOptions::decline_fraction)},
        {"--no-answer", "P", Fraction(&SimulationOptions::no_answer_fraction)},
        {"--seed", "S",
         [](const std::string& value, CommandLine* cl) -> std::string {
             uint64_t seed = 0;
             if (!ParseUnsigned(value, UINT64_MAX, &seed)) {
                 return "expects a whole number";
             }
             cl->options.seed = seed;
             return "";
         }},
        {"--log", "FLAGS",
         [](const std::string& value, CommandLine* cl) -> std::string {
             if (!ParseLogFlags(value, &cl->options.log_flags)) {
                 return "expects MMF_LOG_ bits (0x01 to 0xFF) or a list of info, debug, "
                        "warning, error, hy-info, hy-errors, ts-info, ts-errors, all";
             }
             return "";
         }},
        {"--frame-ms", "MS",
         Count(&SimulationOptions::frame_ms, 1, 1000, "a frame step from 1 to 1000 milliseconds")},
        {"--join-spread", "SECONDS", Seconds(&SimulationOptions::join_spread_ms)},
        {"--start-delay", "SECONDS", Seconds(&SimulationOptions::start_delay_ms)},
        {"--matchmaking-timeout", "SECONDS", Seconds(&SimulationOptions::matchmaking_timeout_ms)},
        {"--accept-timeout", "SECONDS", Seconds(&SimulationOptions::accept_timeout_ms)},
        {"--start-timeout", "SECONDS", Seconds(&SimulationOptions::start_timeout_ms)},
        {"--heartbeat", "SECONDS",
         PositiveSeconds(&SimulationOptions::heartbeat_ms,
                         " (leave it out for the library's 17 s)")},
        {"--max-time", "SECONDS",
         [](const std::string& value, CommandLine* cl) -> std::string {
             if (!ParseSeconds(value, &cl->options.max_time_ms) || cl->options.max_time_ms == 0) {
                 return "expects a safety limit of more than 0 and at most 86400 seconds";
             }
             return "";
         }},
        {"--progress", "SECONDS", Seconds(&SimulationOptions::progress_every_ms)},
        {"--auto-start", nullptr, Flag(&SimulationOptions::auto_start)},
        {"--real-time", nullptr, Flag(&SimulationOptions::real_time)},
        {"--backend", "URL[,URL...]",
         [](const std::string& value, CommandLine* cl) -> std::string {
             if (value.compare(0, 7, "http://") != 0 && value.compare(0, 8, "https://") != 0) {
                 return "expects the service's address, http://HOST:PORT (several: "
                        "comma-separated)";
             }
             cl->options.backend = value;
             return "";
         }},
        {"--emulator-log", nullptr, Flag(&CommandLine::emulator_log)},
        {"--json", nullptr, Flag(&CommandLine::json)},
        {"--wall-time", nullptr, Flag(&CommandLine::wall_time)},
        {"--quiet", nullptr, Flag(&CommandLine::quiet)},
    };
    return options;
}

const OptionEntry* FindOption(const std::string& name) {
    for (const OptionEntry& entry : Options()) {
        if (name == entry.name) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

bool ParseLogFlags(const std::string& text, uint32_t* flags) {
    if (text.empty()) {
        return false;
    }
    if (text[0] >= '0' && text[0] <= '9') {
        char* end = nullptr;
        errno = 0;
        const unsigned long value = std::strtoul(text.c_str(), &end, 0);
        if (errno != 0 || *end != '\0' || value > 0xFF) {
            return false;
        }
        *flags = static_cast<uint32_t>(value);
        return true;
    }
    static const struct {
        const char* name;
        uint32_t bits;
    } kNames[] = {
        {"info", MMF_LOG_INFO},
        {"debug", MMF_LOG_DEBUG},
        {"warning", MMF_LOG_WARNING},
        {"error", MMF_LOG_ERROR},
        {"hy-info", MMF_LOG_HY_INFO},
        {"hy-errors", MMF_LOG_HY_ERRORS},
        {"ts-info", MMF_LOG_TS_INFO},
        {"ts-errors", MMF_LOG_TS_ERRORS},
        {"all", 0xFFu},
    };
    uint32_t result = 0;
    std::istringstream words(text);
    std::string word;
    while (std::getline(words, word, ',')) {
        bool known = false;
        for (const auto& entry : kNames) {
            if (word == entry.name) {
                result |= entry.bits;
                known = true;
            }
        }
        if (!known) {
            return false;
        }
    }
    *flags = result;
    return true;
}

ParseOutcome ParseCommandLine(int argc, const char* const* argv, CommandLine* command_line,
                              std::string* error) {
    CommandLine parsed;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            return ParseOutcome::kHelp;
        }
        std::string value;
        bool has_inline_value = false;
        const std::size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = argument.substr(equals + 1);
            argument.resize(equals);
            has_inline_value = true;
        }
        const OptionEntry* entry = FindOption(argument);
        if (entry == nullptr) {
            *error = "unknown option '" + argument + "'";
            return ParseOutcome::kError;
        }
        if (entry->value_name == nullptr) {
            if (has_inline_value) {
                *error = argument + " takes no value";
                return ParseOutcome::kError;
            }
        } else {
            // A value name of several words ("N FILE") takes as many
            // arguments, handed on one per line.
            const std::string value_name = entry->value_name;
            const std::size_t words =
                1 + static_cast<std::size_t>(std::count(value_name.begin(), value_name.end(), ' '));
            for (std::size_t word = has_inline_value ? 1 : 0; word < words; ++word) {
                if (i + 1 >= argc) {
                    *error = argument + " needs a value (" + value_name + ")";
                    return ParseOutcome::kError;
                }
                value += (word > 0 ? "\n" : "") + std::string(argv[++i]);
            }
        }
        const std::string complaint = entry->apply(value, &parsed);
        if (!complaint.empty()) {
            std::string shown = value;
            std::replace(shown.begin(), shown.end(), '\n', ' ');
            *error = argument + " '" + shown + "': " + complaint;
            return ParseOutcome::kError;
        }
    }
    const std::string problem = ValidateOptions(parsed.options);
    if (!problem.empty()) {
        *error = problem;
        return ParseOutcome::kError;
    }
    *command_line = std::move(parsed);
    return ParseOutcome::kRun;
}

static std::string FaultPresetHelp() {
    std::string text;
    for (const FaultPreset& preset : FaultPresets()) {
        std::string meaning = preset.meaning;
        for (std::size_t at = meaning.find('\n'); at != std::string::npos;
             at = meaning.find('\n', at + 1)) {
            meaning.insert(at + 1, "        ");
        }
        text += std::string("\n      ") + preset.name + ": " + meaning;
        if (preset.specs[0] != '\0') {
            text += std::string("\n        = ") + preset.specs;
        }
    }
    return text;
}

std::string UsageText(const char* program) {
    const SimulationOptions defaults;
    std::ostringstream text;
    text
        << "Usage: " << program << " [options]\n"
        << "\n"
        << "Runs a whole matchmaking session on the in-process backend emulator: every\n"
        << "player gets its own matchmaker, joins a hopper, answers the match it is\n"
        << "offered, and the leader of each match starts it. Time is simulated (a frame\n"
        << "step per frame), so minutes of heartbeats pass in about a second.\n"
        << "\n"
        << "An option's value follows it as the next argument or after '='\n"
        << "(--players 40 or --players=40).\n"
        << "\n"
        << "Players:\n"
        << "  --players N              players in the session, 1 to " << kMaxPlayers << " (default "
        << defaults.players << ")\n"
        << "  --hopper H               hopper by match size or id (default 10):" << HopperHelp()
        << "\n"
        << "  --decline P              fraction of players that decline their match\n"
        << "  --no-answer P            fraction that never answer, so their accept\n"
        << "                           timeout fires (the rest accept automatically)\n"
        << "  --requeue N              a player whose attempt ended without a started\n"
        << "                           match (timeout, a partner's decline, an error)\n"
        << "                           joins again, up to N times (0 to " << kMaxRequeue
        << ", default 0)\n"
        << "  --think SECONDS          before joining again a player thinks for up to\n"
        << "                           this long (default " << defaults.think_ms / 1000.0 << ")\n"
        << "  --seed S                 seed for behaviours, join times, ids and faults\n"
        << "                           (default " << defaults.seed << ")\n"
        << "  --auto-start             leaders start with MMF_AUTO_START instead of\n"
        << "                           krmm_start_match with join info\n"
        << "  --start-delay SECONDS    time a leader takes to find a server (default "
        << defaults.start_delay_ms / 1000.0 << ")\n"
        << "  --join-spread SECONDS    players join within this time (default "
        << defaults.join_spread_ms / 1000.0 << ")\n"
        << "\n"
        << "Backend:\n"
        << "  --backend URL[,URL...]   play against a running matchmaking service instead\n"
        << "                           of the in-process emulator, on the real clock: each\n"
        << "                           player has its own networked client and its own\n"
        << "                           token from the service's /v1/sessions (start it\n"
        << "                           with --dev-sessions; ./scripts/serve.sh does); the\n"
        << "                           figures come from the players' state changes as\n"
        << "                           offline, and --record-player writes the player's\n"
        << "                           journal of the real session\n"
        << "\n"
        << "Backend faults, injected by the emulator, so offline only (off by default;\n"
        << "the emulator then answers every request at once with 200):\n"
        << "  --fault KIND:WHAT=P      answer a fraction P of one kind of request badly;\n"
        << "                           repeatable, fractions of a kind add up (at most 1)\n"
        << "      KIND  ticket, keepalive, accept, decline (every cancel), start, proof,\n"
        << "            hopper (hopper-info requests go to the client library, not the\n"
        << "            emulator, and the simulated players send neither proof nor\n"
        << "            hopper-info requests: both kinds are accepted for completeness)\n"
        << "            or all\n"
        << "      WHAT  5xx    a code drawn from 500-599; the request is lost (retrying\n"
        << "                   requests try again, up to 3 times)\n"
        << "            CODE   that status, 100-599: 400 and 504 open the matchmaker's\n"
        << "                   error recovery, others (404, 409, 422) end the attempt\n"
        << "            slow   carried out at once, answered after up to --slow-max\n"
        << "            never  never answered: lost, and given up by the client\n"
        << "                   library after --give-up (no response, status -1)\n"
        << "  --faults PRESET          add a preset's faults:" << FaultPresetHelp() << "\n"
        << "  --slow-max SECONDS       longest wait of a slow answer (default "
        << defaults.slow_max_ms / 1000.0 << ")\n"
        << "  --give-up SECONDS        wait for a never-answered request (default "
        << defaults.give_up_ms / 1000.0 << ")\n"
        << "\n"
        << "Matchmaker and run:\n"
        << "  --matchmaking-timeout SECONDS\n"
        << "                           give up looking for a match (default "
        << defaults.matchmaking_timeout_ms / 1000.0 << ", 0: never)\n"
        << "  --accept-timeout SECONDS window to accept a found match; a player who\n"
        << "                           accepted waits 10 s more for the others (default "
        << defaults.accept_timeout_ms / 1000.0 << ",\n"
        << "                           0: never)\n"
        << "  --start-timeout SECONDS  window for the leader to start an accepted match;\n"
        << "                           followers wait 10 s more (default "
        << defaults.start_timeout_ms / 1000.0 << ", 0: never)\n"
        << "  --heartbeat SECONDS      keep-alive interval, longer than a frame (default:\n"
        << "                           the library's, 17)\n"
        << "  --frame-ms MS            simulated time per frame, 1 to 1000 (default "
        << defaults.frame_ms << ")\n"
        << "  --max-time SECONDS       safety limit; a run still going then fails (default "
        << defaults.max_time_ms / 1000.0 << ")\n"
        << "  --real-time              run on the real clock, sleeping one frame per frame\n"
        << "\n"
        << "Output (the summary goes to stdout as text; warnings about the options,\n"
        << "progress, log lines and errors go to stderr; each FILE is checked before\n"
        << "the run and written whole, as FILE.partial renamed once complete):\n"
        << "  --log FLAGS              matchmaker log lines to stderr: MMF_LOG_ bits\n"
        << "                           (e.g. 0xF0) or a list of info, debug, warning,\n"
        << "                           error, hy-info, hy-errors, ts-info, ts-errors, all\n"
        << "  --emulator-log           print the emulator's lines to stderr (by default\n"
        << "                           they are only counted)\n"
        << "  --progress SECONDS       progress line to stderr every this many seconds of\n"
        << "                           wall time, with an estimate of the time left\n"
        << "                           (default " << defaults.progress_every_ms / 1000.0
        << ", 0: none)\n"
        << "  --quiet                  no progress lines\n"
        << "  --json                   summary as JSON on stdout; two runs of one seed\n"
        << "                           give the same bytes (wall_ms is null)\n"
        << "  --wall-time              show the wall time in the JSON summary too\n"
        << "  --csv FILE               one row per player attempt, columns:\n"
        << "                           player,attempt,behaviour,joined,ticket,matched,\n"
        << "                           accepted,started,role,final_state,error,match_id,\n"
        << "                           match_players (times in seconds of run time, empty\n"
        << "                           if never reached; accepted: first known accepted by\n"
        << "                           everyone, or started; final_state: last active\n"
        << "                           state; error: the one that ended the attempt;\n"
        << "                           match_id: the match started, else the last found)\n"
        << "  --events FILE            JSON lines of state changes:\n"
        << "                           {\"t\":SECONDS,\"player\":N,\"attempt\":N,\n"
        << "                           \"state\":\"MMS_...\",\"match_id\":ID,\"match_players\":N}\n"
        << "                           (match_id and match_players null outside a match)\n"
        << "  --report FILE            self-contained HTML report (inline SVG, nothing\n"
        << "                           fetched): histograms of the time to match, to\n"
        << "                           accept and to start, players by state over time,\n"
        << "                           error counts\n"
        << "  --record-player N FILE   write player N's exchanges as a loopback scenario\n"
        << "  -h, --help               this text\n"
        << "\n"
        << "Exit status: 0 when the run ended with every player back in MMS_IDLE and no\n"
        << "backend task, response or JSON value alive; 1 when it did not (the error\n"
        << "names the player, its state and the seed), when the safety limit stopped\n"
        << "the run, or the players or files could not be created; 2 for bad options.\n";
    return text.str();
}

}  // namespace KRSimulator
