// halyard-server: options, start, signals. Everything else is in Service and
// HttpServer.
#include <openssl/rand.h>

#include <csignal>
#include <cstdio>
#include <memory>

#include "HttpServer.h"
#include "MemoryStore.h"
#include "Options.h"
#include "Service.h"
#include "Tokens.h"

using namespace KRHalyardServer;

namespace {

constexpr int kUsageError = 2;
constexpr std::size_t kRandomSecretBytes = 32;

int Fail(const std::string& message) {
    std::fprintf(stderr, "halyard-server: %s\n", message.c_str());
    return 1;
}

int MintTokenCommand(const CommandLine& line) {
    std::string secret;
    std::string error;
    if (!ReadSecretFile(line.settings.secret_file, &secret, &error)) {
        return Fail(error);
    }
    const int64_t expiry_s = SystemClock().NowSeconds() + line.ttl_s;
    std::printf("%s\n", MintToken(Signer(secret), line.identity, expiry_s).c_str());
    return 0;
}

int Serve(const Settings& settings) {
    std::string error;
    Hoppers hoppers = Hoppers::Defaults();
    if (!settings.hoppers_file.empty()) {
        std::string text;
        if (!ReadTextFile(settings.hoppers_file, &text, &error) ||
            !Hoppers::Parse(text, &hoppers, &error)) {
            return Fail(settings.hoppers_file + ": " + error);
        }
    }
    std::string secret(kRandomSecretBytes, '\0');
    if (!settings.secret_file.empty()) {
        if (!ReadSecretFile(settings.secret_file, &secret, &error)) {
            return Fail(error);
        }
    } else if (RAND_bytes(reinterpret_cast<unsigned char*>(&secret[0]),
                          static_cast<int>(secret.size())) != 1) {
        return Fail("cannot draw a random secret");
    }
    // A client that goes away mid-answer must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    Service service(settings, std::move(hoppers), secret, std::make_unique<MemoryStore>());
    HttpServer server(service);
    uint16_t port = 0;
    if (!server.Listen(settings.host, settings.port, &port, &error)) {
        return Fail(error);
    }
    std::printf("listening on http://%s:%u\n", settings.host.c_str(), port);
    std::fflush(stdout);
    server.Run();
    std::fprintf(stderr, "halyard-server: stopped\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &line, &error)) {
        std::fprintf(stderr, "halyard-server: %s (try --help)\n", error.c_str());
        return kUsageError;
    }
    switch (line.mode) {
        case CommandLine::Mode::kHelp:
            std::fputs(HelpText(), stdout);
            return 0;
        case CommandLine::Mode::kToken:
            return MintTokenCommand(line);
        case CommandLine::Mode::kServe:
            break;
    }
    try {
        return Serve(line.settings);
    } catch (const std::exception& failure) {
        return Fail(failure.what());
    }
}
