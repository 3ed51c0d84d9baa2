#include "Session.h"

#include "halyard.h"

namespace halyard {
namespace {

// A game that stops pumping must not make the client grow without end; the
// status is a state, so the newest messages are the ones worth keeping.
constexpr size_t kMaxArrivals = 4096;

}  // namespace

void Session::Log(int32_t level, std::string text) {
    Arrival arrival;
    arrival.isLog = true;
    arrival.level = level;
    arrival.text = std::move(text);
    Add(std::move(arrival));
}

void Session::Push(std::string first, std::string type, JsonPtr json) {
    Arrival arrival;
    arrival.first = std::move(first);
    arrival.type = std::move(type);
    arrival.json = std::move(json);
    Add(std::move(arrival));
}

std::vector<Arrival> Session::TakeArrivals() {
    if (dropped_ > 0) {
        Arrival warning;
        warning.isLog = true;
        warning.level = HY_LOG_WARNING;
        warning.text = std::to_string(dropped_) +
                       " messages from the service were dropped unread: call hyn_client_pump "
                       "every frame";
        arrivals_.insert(arrivals_.begin(), std::move(warning));
        dropped_ = 0;
    }
    std::vector<Arrival> taken;
    taken.swap(arrivals_);
    return taken;
}

void Session::Add(Arrival arrival) {
    if (arrivals_.size() >= kMaxArrivals) {
        arrivals_.erase(arrivals_.begin());
        ++dropped_;
    }
    arrivals_.push_back(std::move(arrival));
}

}  // namespace halyard
