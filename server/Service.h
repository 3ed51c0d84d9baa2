#pragma once

#include <memory>
#include <string>

#include "Clock.h"
#include "Clocks.h"
#include "Context.h"
#include "EventStreams.h"
#include "Formation.h"
#include "Hoppers.h"
#include "Http.h"
#include "Metrics.h"
#include "RateLimiter.h"
#include "Settings.h"
#include "Store.h"
#include "Tickets.h"
#include "Tokens.h"

namespace KRHalyardServer {

class Routes;

// The whole matchmaking service short of its transport: what the program,
// the tests and the fuzzer put behind HTTP.
class Service {
public:
    Service(const Settings& settings, Hoppers hoppers, const std::string& secret,
            std::unique_ptr<Store> store);
    ~Service();

    HttpResponse Handle(const HttpRequest& request);
    // The periodic work: due clocks, hopper-size pushes, idle rate buckets.
    void Tick();

    const Settings& settings() const { return settings_; }
    const Hoppers& hoppers() const { return hoppers_; }
    Store& store() { return *store_; }
    const Clock& clock() const { return *clock_; }
    // Null unless the service runs on the manual clock.
    ManualClock* manual_clock() { return manual_clock_; }
    Metrics& metrics() { return metrics_; }
    Tickets& tickets() { return tickets_; }
    Clocks& clocks() { return clocks_; }
    EventStreams& streams() { return streams_; }
    RateLimiter& limiter() { return limiter_; }
    const Signer& signer() const { return signer_; }
    CheckedTokens& checked_tokens() { return checked_tokens_; }
    int64_t started_ms() const { return started_ms_; }

private:
    Settings settings_;
    Hoppers hoppers_;
    std::unique_ptr<Store> store_;
    std::unique_ptr<Clock> clock_;
    ManualClock* manual_clock_ = nullptr;
    Metrics metrics_;
    Context context_;
    Formation formation_;
    Tickets tickets_;
    Clocks clocks_;
    EventStreams streams_;
    RateLimiter limiter_;
    Signer signer_;
    CheckedTokens checked_tokens_;
    int64_t started_ms_;
    int64_t last_forget_ms_;
    std::unique_ptr<Routes> routes_;
};

}  // namespace KRHalyardServer
