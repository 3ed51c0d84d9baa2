#include "Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "Ids.h"

namespace KRHalyardServer {
namespace {

constexpr std::size_t kMinSecretBytes = 16;
// A year: a window or timeout longer than that is a typing error.
constexpr double kMaxSeconds = 86400.0 * 365;

bool ReadSeconds(const std::string& name, const std::string& text, bool allow_zero, int64_t* ms,
                 std::string* error) {
    char* end = nullptr;
    errno = 0;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(seconds) || seconds < 0 ||
        seconds > kMaxSeconds || (!allow_zero && seconds == 0)) {
        *error = name + " takes a number of seconds" + (allow_zero ? "" : " above 0") + ", not '" +
                 text + "'";
        return false;
    }
    *ms = static_cast<int64_t>(std::llround(seconds * 1000));
    return true;
}

bool ReadCount(const std::string& name, const std::string& text, int64_t max, int64_t* value,
               std::string* error) {
    char* end = nullptr;
    errno = 0;
    const long long count = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || count < 0 || count > max) {
        *error = name + " takes a whole number from 0 to " + std::to_string(max) + ", not '" +
                 text + "'";
        return false;
    }
    *value = count;
    return true;
}

bool ReadListen(const std::string& text, Settings* settings, std::string* error) {
    const std::size_t colon = text.rfind(':');
    int64_t port = 0;
    if (colon == std::string::npos || colon == 0) {
        *error = "--listen takes HOST:PORT, not '" + text + "'";
        return false;
    }
    if (!ReadCount("--listen's port", text.substr(colon + 1), 65535, &port, error)) {
        return false;
    }
    settings->host = text.substr(0, colon);
    settings->port = static_cast<uint16_t>(port);
    return true;
}

}  // namespace

const char* HelpText() {
    return R"(halyard-server: a matchmaking service for libKRMatchmakingSystem games.

Usage:
  halyard-server [options]            serve (the first line on stdout is
                                      "listening on http://HOST:PORT")
  halyard-server token --secret-file FILE --identity ID [--ttl SECONDS]
                                      print a token for the identity
  halyard-server --help

Options:
  --listen HOST:PORT        where to listen (default 127.0.0.1:8750; port 0
                            picks a free port)
  --hoppers FILE            a JSON array of hopper records (default: the
                            emulator's three hoppers of 1, 2 and 10 players)
  --secret-file FILE        the secret tokens and proofs are signed with
                            (default: a random secret for this run)
  --dev-sessions            POST /v1/sessions hands out tokens to anyone
  --keepalive-timeout S     a ticket without a keep-alive this long expires
                            (default 60)
  --accept-window S         a match not accepted by everyone in time
                            dissolves (default 35)
  --start-window S          an accepted match not started in time dissolves
                            (default 35)
  --retain S                finished tickets answer this long (default 600)
  --rate-limit N            requests per second and identity (default 20;
                            0: no limit); a paced keep-alive always passes
  --clock system|manual     manual: time moves only through POST
                            /testing/clock (for tests)

Seconds may have decimals. SIGINT or SIGTERM stops the service.
)";
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* out, std::string* error) {
    CommandLine line;
    std::size_t i = 0;
    if (!args.empty() && args[0] == "token") {
        line.mode = CommandLine::Mode::kToken;
        i = 1;
    }
    for (; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool has_value = false;
        const std::size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            has_value = true;
        }
        if (name == "--help" || name == "-h") {
            out->mode = CommandLine::Mode::kHelp;
            return true;
        }
        const bool is_flag = name == "--dev-sessions";
        if (is_flag) {
            if (line.mode == CommandLine::Mode::kToken) {
                *error = name + " is an option of the service, not of token";
                return false;
            }
            line.settings.dev_sessions = true;
            continue;
        }
        if (!has_value) {
            if (i + 1 >= args.size()) {
                *error = name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        Settings& s = line.settings;
        int64_t count = 0;
        bool ok = true;
        const bool token_option = name == "--identity" || name == "--ttl";
        if (token_option != (line.mode == CommandLine::Mode::kToken) && name != "--secret-file") {
            *error = "unknown option '" + name + "'" +
                     (token_option ? " (it belongs to the token command)" : "");
            return false;
        }
        if (name == "--listen") {
            ok = ReadListen(value, &s, error);
        } else if (name == "--hoppers") {
            s.hoppers_file = value;
        } else if (name == "--secret-file") {
            s.secret_file = value;
        } else if (name == "--keepalive-timeout") {
            ok = ReadSeconds(name, value, false, &s.keepalive_timeout_ms, error);
        } else if (name == "--accept-window") {
            ok = ReadSeconds(name, value, false, &s.accept_window_ms, error);
        } else if (name == "--start-window") {
            ok = ReadSeconds(name, value, false, &s.start_window_ms, error);
        } else if (name == "--retain") {
            ok = ReadSeconds(name, value, true, &s.retain_ms, error);
        } else if (name == "--rate-limit") {
            ok = ReadCount(name, value, 1000000, &count, error);
            s.rate_limit = static_cast<int32_t>(count);
        } else if (name == "--clock") {
            ok = value == "system" || value == "manual";
            s.manual_clock = value == "manual";
            if (!ok) {
                *error = "--clock takes system or manual, not '" + value + "'";
            }
        } else if (name == "--identity") {
            line.identity = value;
            ok = IsUuid(value);
            if (!ok) {
                *error = "--identity takes a lower-case UUID, not '" + value + "'";
            }
        } else if (name == "--ttl") {
            int64_t ms = 0;
            ok = ReadSeconds(name, value, false, &ms, error);
            line.ttl_s = (ms + 999) / 1000;  // up: --ttl 0.5 must not mint an expired token
        } else {
            *error = "unknown option '" + name + "'";
            return false;
        }
        if (!ok) {
            return false;
        }
    }
    if (line.mode == CommandLine::Mode::kToken &&
        (line.identity.empty() || line.settings.secret_file.empty())) {
        *error = "token needs --secret-file FILE and --identity ID";
        return false;
    }
    *out = line;
    return true;
}

bool ReadTextFile(const std::string& path, std::string* text, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    *text = contents.str();
    return true;
}

bool ReadSecretFile(const std::string& path, std::string* secret, std::string* error) {
    if (!ReadTextFile(path, secret, error)) {
        return false;
    }
    while (!secret->empty() && (secret->back() == '\n' || secret->back() == '\r')) {
        secret->pop_back();
    }
    if (secret->size() < kMinSecretBytes) {
        *error = path + ": a secret needs at least " + std::to_string(kMinSecretBytes) + " bytes";
        return false;
    }
    return true;
}

}  // namespace KRHalyardServer
