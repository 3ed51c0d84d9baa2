#pragma once

#include <cstdint>
#include <string>

#include "Http.h"

struct event;
struct event_base;
struct evhttp;
struct evhttp_request;

namespace KRHalyardServer {

class Service;

// The service on libevent's HTTP server: one event loop, every request
// answered on it, event streams as chunked replies, the service's periodic
// work on timers. Limits: header size, the largest body read, idle
// connection timeout (from the settings).
class HttpServer {
public:
    explicit HttpServer(Service& service);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds host:port (port 0: any free port) and reports the bound port.
    bool Listen(const std::string& host, uint16_t port, uint16_t* bound_port, std::string* error);
    // Runs until Stop, SIGINT or SIGTERM; then ends every event stream.
    void Run();
    void Stop();

    event_base* base() { return base_; }

private:
    static void OnRequest(evhttp_request* request, void* self);
    static void OnTick(int fd, short what, void* self);
    static void OnPing(int fd, short what, void* self);
    static void OnSignal(int fd, short what, void* self);
    void Answer(evhttp_request* request);
    void OpenStream(evhttp_request* request, const HttpResponse& response);

    Service& service_;
    event_base* base_;
    evhttp* http_;
    event* tick_;
    event* ping_;
    event* sigint_;
    event* sigterm_;
};

}  // namespace KRHalyardServer
