// libFuzzer entry point: each input is the raw bytes a client sends to the
// service, whatever they are; the service (on a fresh in-memory store) reads
// them with its HTTP server on 127.0.0.1 and must answer or close without
// crashing. "{ticket}" in the input is replaced by a ticket the fuzzing
// identity holds, so the ticket routes are reached.
#include <event2/event.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "HttpServer.h"
#include "MemoryStore.h"
#include "Service.h"

using namespace KRHalyardServer;

namespace {

// The corpus carries this identity's token: the secret is fixed and the
// expiry far off.
const char* const kSecret = "the fuzzer's secret, not a real one";
const char* const kIdentity = "f0000000-0000-4000-8000-000000000001";
constexpr int64_t kExpiry = 4102444800;
constexpr int kMaxLoopPasses = 400;
// The most an input may keep the service busy before it is dropped.
constexpr long kGuardMicroseconds = 200000;

struct Client {
    int fd;
    bool shut = false;
    bool closed = false;
    bool timed_out = false;
};

void OnReadable(evutil_socket_t fd, short, void* self) {
    char answer[4096];
    const ssize_t n = recv(fd, answer, sizeof answer, MSG_DONTWAIT);
    static_cast<Client*>(self)->closed = n == 0 || (n < 0 && errno != EAGAIN);
}

void OnGuard(evutil_socket_t, short, void* self) {
    static_cast<Client*>(self)->timed_out = true;
}

std::string NewTicket(Service& service, const std::string& token) {
    HttpRequest request;
    request.method = "POST";
    request.path = "/v1/matchmaking/tickets";
    request.body = R"({"hopper_id":"0e6976d1-1655-5da5-8354-3d3a38537aed"})";
    request.header = [&token](const char* name) {
        return std::strcmp(name, "Authorization") == 0 ? token.c_str() : nullptr;
    };
    const HttpResponse response = service.Handle(request);
    const std::size_t at = response.body.find("\"ticket\":\"");
    return at == std::string::npos ? std::string() : response.body.substr(at + 10, 36);
}

int Connect(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    // Closing resets the connection: no TIME_WAIT left behind per input.
    const linger reset{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::signal(SIGPIPE, SIG_IGN);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Settings settings;
    settings.manual_clock = true;
    settings.dev_sessions = true;
    settings.rate_limit = 0;
    Service service(settings, Hoppers::Defaults(), kSecret, std::make_unique<MemoryStore>());
    const std::string token = "Bearer " + MintToken(service.signer(), kIdentity, kExpiry);
    const std::string ticket = NewTicket(service, token);
    std::string input(reinterpret_cast<const char*>(data), size);
    for (std::size_t at; (at = input.find("{ticket}")) != std::string::npos;) {
        input.replace(at, 8, ticket);
    }

    HttpServer server(service);
    uint16_t port = 0;
    std::string error;
    if (!server.Listen("127.0.0.1", 0, &port, &error)) {
        return 0;
    }
    Client client{Connect(port)};
    if (client.fd < 0) {
        return 0;
    }
    // The client's socket and a guard timer share the service's loop, so a
    // pass returns as soon as either side has moved.
    event* readable =
        event_new(server.base(), client.fd, EV_READ | EV_PERSIST, &OnReadable, &client);
    event* guard = evtimer_new(server.base(), &OnGuard, &client);
    const timeval limit{0, kGuardMicroseconds};
    event_add(readable, nullptr);
    evtimer_add(guard, &limit);
    std::size_t sent = 0;
    for (int pass = 0; pass < kMaxLoopPasses && !client.closed && !client.timed_out; ++pass) {
        if (sent < input.size()) {
            const ssize_t n =
                send(client.fd, input.data() + sent, input.size() - sent, MSG_DONTWAIT);
            sent += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        if (sent == input.size() && !client.shut) {
            shutdown(client.fd, SHUT_WR);
            client.shut = true;
        }
        event_base_loop(server.base(), client.shut ? EVLOOP_ONCE : EVLOOP_NONBLOCK);
    }
    event_free(readable);
    event_free(guard);
    close(client.fd);
    // Let the service see the reset and free the connection.
    for (int pass = 0; pass < 4; ++pass) {
        event_base_loop(server.base(), EVLOOP_NONBLOCK);
    }
    return 0;
}
