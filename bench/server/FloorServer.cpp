// The floor of a keep-alive route: libevent's HTTP server answering every
// request at once with a fixed JSON body of a given size and the same
// headers the service sends, doing nothing else.
// Usage: bench_floor_server BODY_BYTES  (prints "listening on http://127.0.0.1:PORT")
#include <event2/buffer.h>
#include <event2/event.h>
#include <event2/http.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Answer(evhttp_request* request, void* body) {
    const std::string& text = *static_cast<std::string*>(body);
    evkeyvalq* headers = evhttp_request_get_output_headers(request);
    evhttp_add_header(headers, "Cache-Control", "no-store");
    evhttp_add_header(headers, "Content-Type", "application/json");
    evbuffer* out = evbuffer_new();
    evbuffer_add(out, text.data(), text.size());
    evhttp_send_reply(request, 200, "OK", out);
    evbuffer_free(out);
}

void Stop(evutil_socket_t, short, void* base) {
    event_base_loopexit(static_cast<event_base*>(base), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    const long bytes = argc > 1 ? std::atol(argv[1]) : 0;
    if (bytes < 2) {
        std::fprintf(stderr, "usage: bench_floor_server BODY_BYTES (2 or more)\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    // {"x":"aaa..."} padded to the size asked for.
    std::string body = "{}";
    if (bytes >= 9) {
        body = "{\"x\":\"" + std::string(static_cast<size_t>(bytes - 8), 'a') + "\"}";
    }
    event_base* base = event_base_new();
    evhttp* http = evhttp_new(base);
    evhttp_set_gencb(http, &Answer, &body);
    evhttp_bound_socket* socket = evhttp_bind_socket_with_handle(http, "127.0.0.1", 0);
    event* term = evsignal_new(base, SIGTERM, &Stop, base);
    event* interrupt = evsignal_new(base, SIGINT, &Stop, base);
    evsignal_add(term, nullptr);
    evsignal_add(interrupt, nullptr);
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(evhttp_bound_socket_get_fd(socket), reinterpret_cast<sockaddr*>(&address), &length);
    std::printf("listening on http://127.0.0.1:%u\n", ntohs(address.sin_port));
    std::fflush(stdout);
    event_base_dispatch(base);
    event_free(term);
    event_free(interrupt);
    evhttp_free(http);
    event_base_free(base);
    return 0;
}
