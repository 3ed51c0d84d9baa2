#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Settings.h"

namespace KRHalyardServer {

// The command line: either run the service, mint a token, or print help.
struct CommandLine {
    enum class Mode { kServe, kToken, kHelp };
    Mode mode = Mode::kServe;
    Settings settings;
    // token: who, for how long
    std::string identity;
    int64_t ttl_s = 6 * 3600;
};

// False with a message naming the bad argument.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* out, std::string* error);

const char* HelpText();

// The secret from a file: its bytes without a trailing line end, at least
// 16 of them.
bool ReadSecretFile(const std::string& path, std::string* secret, std::string* error);
bool ReadTextFile(const std::string& path, std::string* text, std::string* error);

}  // namespace KRHalyardServer
