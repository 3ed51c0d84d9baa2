#include "HttpServer.h"

#include <arpa/inet.h>
#include <event2/buffer.h>
#include <event2/bufferevent.h>
#include <event2/event.h>
#include <event2/http.h>
#include <event2/keyvalq_struct.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <csignal>
#include <cstdio>
#include <memory>

#include "EventStreams.h"
#include "Service.h"

namespace KRHalyardServer {
namespace {

timeval Interval(int64_t ms) {
    timeval tv;
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    return tv;
}

const char* MethodName(evhttp_cmd_type command) {
    switch (command) {
        case EVHTTP_REQ_GET:
            return "GET";
        case EVHTTP_REQ_POST:
            return "POST";
        case EVHTTP_REQ_HEAD:
            return "HEAD";
        case EVHTTP_REQ_PUT:
            return "PUT";
        case EVHTTP_REQ_DELETE:
            return "DELETE";
        case EVHTTP_REQ_OPTIONS:
            return "OPTIONS";
        case EVHTTP_REQ_TRACE:
            return "TRACE";
        case EVHTTP_REQ_CONNECT:
            return "CONNECT";
        case EVHTTP_REQ_PATCH:
            return "PATCH";
    }
    return "UNKNOWN";
}

// One event stream: a chunked reply that stays open.
class EvhttpStream : public StreamSink {
public:
    EvhttpStream(evhttp_request* request, EventStreams& streams)
        : request_(request), streams_(streams) {
        evhttp_connection_set_closecb(evhttp_request_get_connection(request), &OnClosed, this);
    }

    void Write(const std::string& text) override {
        evbuffer* chunk = evbuffer_new();
        evbuffer_add(chunk, text.data(), text.size());
        evhttp_send_reply_chunk(request_, chunk);
        evbuffer_free(chunk);
    }

    void End() override {
        evhttp_connection_set_closecb(evhttp_request_get_connection(request_), nullptr, nullptr);
        evhttp_send_reply_end(request_);
    }

private:
    // The client went away. The connection has let go of the request, which
    // is ours to free; then the streams forget (and destroy) this sink.
    static void OnClosed(evhttp_connection*, void* self) {
        auto* stream = static_cast<EvhttpStream*>(self);
        evhttp_send_reply_end(stream->request_);
        stream->streams_.Closed(stream);
    }

    evhttp_request* request_;
    EventStreams& streams_;
};

}  // namespace

HttpServer::HttpServer(Service& service)
    : service_(service),
      base_(event_base_new()),
      http_(evhttp_new(base_)),
      tick_(event_new(base_, -1, EV_PERSIST, &HttpServer::OnTick, this)),
      ping_(event_new(base_, -1, EV_PERSIST, &HttpServer::OnPing, this)),
      sigint_(evsignal_new(base_, SIGINT, &HttpServer::OnSignal, this)),
      sigterm_(evsignal_new(base_, SIGTERM, &HttpServer::OnSignal, this)) {
    const Settings& settings = service_.settings();
    evhttp_set_max_headers_size(http_, static_cast<ev_ssize_t>(settings.max_header_bytes));
    evhttp_set_max_body_size(http_, static_cast<ev_ssize_t>(settings.max_read_bytes));
    evhttp_set_timeout(http_, settings.connection_timeout_s);
    // Every method reaches the routes, which answer 405 in JSON.
    evhttp_set_allowed_methods(http_, EVHTTP_REQ_GET | EVHTTP_REQ_POST | EVHTTP_REQ_HEAD |
                                          EVHTTP_REQ_PUT | EVHTTP_REQ_DELETE | EVHTTP_REQ_OPTIONS |
                                          EVHTTP_REQ_PATCH);
    evhttp_set_gencb(http_, &HttpServer::OnRequest, this);
    const timeval tick = Interval(settings.tick_ms);
    const timeval ping = Interval(settings.stream_ping_ms);
    evtimer_add(tick_, &tick);
    evtimer_add(ping_, &ping);
    evsignal_add(sigint_, nullptr);
    evsignal_add(sigterm_, nullptr);
}

HttpServer::~HttpServer() {
    service_.streams().EndAll();
    evhttp_free(http_);
    event_free(tick_);
    event_free(ping_);
    event_free(sigint_);
    event_free(sigterm_);
    event_base_free(base_);
}

bool HttpServer::Listen(const std::string& host, uint16_t port, uint16_t* bound_port,
                        std::string* error) {
    evhttp_bound_socket* socket = evhttp_bind_socket_with_handle(http_, host.c_str(), port);
    if (socket == nullptr) {
        *error = "cannot listen on " + host + ":" + std::to_string(port);
        return false;
    }
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(evhttp_bound_socket_get_fd(socket), reinterpret_cast<sockaddr*>(&address),
                    &length) != 0) {
        *error = "cannot read the bound port";
        return false;
    }
    *bound_port =
        ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                            : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return true;
}

void HttpServer::Run() {
    event_base_dispatch(base_);
    service_.streams().EndAll();
}

void HttpServer::Stop() {
    event_base_loopexit(base_, nullptr);
}

void HttpServer::OnSignal(int, short, void* self) {
    static_cast<HttpServer*>(self)->Stop();
}

void HttpServer::OnTick(int, short, void* self) {
    auto* server = static_cast<HttpServer*>(self);
    try {
        server->service_.Tick();
    } catch (const std::exception& error) {
        // The store is away: the clocks try again on the next tick.
        std::fprintf(stderr, "halyard-server: clocks: %s\n", error.what());
    }
}

void HttpServer::OnPing(int, short, void* self) {
    static_cast<HttpServer*>(self)->service_.streams().Ping();
}

void HttpServer::OnRequest(evhttp_request* request, void* self) {
    static_cast<HttpServer*>(self)->Answer(request);
}

void HttpServer::Answer(evhttp_request* request) {
    HttpRequest in;
    in.method = MethodName(evhttp_request_get_command(request));
    const evhttp_uri* uri = evhttp_request_get_evhttp_uri(request);
    const char* path = uri != nullptr ? evhttp_uri_get_path(uri) : nullptr;
    in.path = path != nullptr && *path != '\0' ? path : "/";
    evbuffer* input = evhttp_request_get_input_buffer(request);
    in.body.resize(evbuffer_get_length(input));
    evbuffer_copyout(input, &in.body[0], in.body.size());
    evkeyvalq* headers = evhttp_request_get_input_headers(request);
    in.header = [headers](const char* name) { return evhttp_find_header(headers, name); };

    const HttpResponse out = service_.Handle(in);
    evkeyvalq* out_headers = evhttp_request_get_output_headers(request);
    evhttp_add_header(out_headers, "Cache-Control", "no-store");
    for (const auto& header : out.headers) {
        evhttp_add_header(out_headers, header.first.c_str(), header.second.c_str());
    }
    if (out.stream && out.status == 200) {
        OpenStream(request, out);
        return;
    }
    evhttp_add_header(out_headers, "Content-Type", out.content_type);
    evbuffer* body = evbuffer_new();
    evbuffer_add(body, out.body.data(), out.body.size());
    evhttp_send_reply(request, out.status, ReasonPhrase(out.status), body);
    evbuffer_free(body);
}

void HttpServer::OpenStream(evhttp_request* request, const HttpResponse& response) {
    evhttp_add_header(evhttp_request_get_output_headers(request), "Content-Type",
                      "text/event-stream");
    evhttp_send_reply_start(request, 200, "OK");
    // A stream stays quiet for long stretches: only a stalled write ends it.
    evhttp_connection* connection = evhttp_request_get_connection(request);
    const timeval write_timeout = Interval(service_.settings().connection_timeout_s * 1000);
    bufferevent_set_timeouts(evhttp_connection_get_bufferevent(connection), nullptr,
                             &write_timeout);
    service_.streams().Open(std::make_unique<EvhttpStream>(request, service_.streams()),
                            response.stream_identity, response.last_event_id);
}

}  // namespace KRHalyardServer
