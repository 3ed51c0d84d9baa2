#pragma once

#include <string>
#include <vector>

#include "Http.h"
#include "Tickets.h"

namespace KRHalyardServer {

class Service;

// One handler per route. Before a handler runs: the route must exist (404;
// 405 for another method), the body must fit (413), the bearer token must
// be valid for an authenticated route (401), the identity must be within
// its request rate (429), and a repeated Idempotency-Key gets the first
// answer again. Handlers reach state only through the service's parts.
class Routes {
public:
    explicit Routes(Service& service);

    HttpResponse Handle(const HttpRequest& request);

private:
    struct Call {
        const HttpRequest& request;
        std::string identity;             // from the token
        std::vector<std::string> params;  // the path's {placeholders}, in order
    };
    using Handler = HttpResponse (Routes::*)(const Call& call);
    struct Route {
        Route(const char* method, const char* pattern, bool authenticated, Handler handler);
        const char* method;
        const char* pattern;
        bool authenticated;
        Handler handler;
        std::vector<std::string> segments;  // the pattern split at '/'
    };

    HttpResponse Dispatch(const HttpRequest& request, const char** route_pattern);
    HttpResponse Authenticated(const Route& route, Call& call);
    HttpResponse Status(const Outcome& outcome);

    HttpResponse Health(const Call& call);
    HttpResponse MetricsText(const Call& call);
    HttpResponse Info(const Call& call);
    HttpResponse Session(const Call& call);
    HttpResponse CreateTicket(const Call& call);
    HttpResponse KeepAlive(const Call& call);
    HttpResponse Accept(const Call& call);
    HttpResponse Cancel(const Call& call);
    HttpResponse Start(const Call& call);
    HttpResponse CreateProof(const Call& call);
    HttpResponse CheckProof(const Call& call);
    HttpResponse NotSupported(const Call& call);
    HttpResponse Object(const Call& call);
    HttpResponse Events(const Call& call);
    HttpResponse AdvanceClock(const Call& call);

    Service& service_;
    std::vector<Route> routes_;
};

}  // namespace KRHalyardServer
