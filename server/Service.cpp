#include "Service.h"

#include "Routes.h"

namespace KRHalyardServer {
namespace {

constexpr int64_t kForgetIdleBucketsMs = 10000;

std::unique_ptr<Clock> MakeClock(bool manual) {
    if (manual) {
        return std::make_unique<ManualClock>();
    }
    return std::make_unique<SystemClock>();
}

}  // namespace

Service::Service(const Settings& settings, Hoppers hoppers, const std::string& secret,
                 std::unique_ptr<Store> store)
    : settings_(settings),
      hoppers_(std::move(hoppers)),
      store_(std::move(store)),
      clock_(MakeClock(settings.manual_clock)),
      manual_clock_(settings.manual_clock ? static_cast<ManualClock*>(clock_.get()) : nullptr),
      context_{*store_, *clock_, hoppers_, settings_, metrics_},
      formation_(context_),
      tickets_(context_, formation_),
      clocks_(context_, formation_),
      streams_(context_),
      limiter_(settings.rate_limit),
      signer_(secret),
      checked_tokens_(settings.checked_tokens),
      started_ms_(clock_->NowMs()),
      last_forget_ms_(started_ms_),
      routes_(std::make_unique<Routes>(*this)) {}

Service::~Service() = default;

HttpResponse Service::Handle(const HttpRequest& request) {
    return routes_->Handle(request);
}

void Service::Tick() {
    clocks_.Tick();
    streams_.PushSizes();
    const int64_t now = clock_->NowMs();
    if (now - last_forget_ms_ >= kForgetIdleBucketsMs) {
        limiter_.Forget(now);
        last_forget_ms_ = now;
    }
}

}  // namespace KRHalyardServer
