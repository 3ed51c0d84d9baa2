#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>

namespace KRHalyardServer {

class Hoppers;
class Store;

// Counters of what the service did, rendered in the Prometheus text format.
class Metrics {
public:
    void TicketCreated() { ++tickets_created_; }
    void TicketFinished(const char* state) { ++tickets_finished_[state]; }
    void MatchFormed() { ++matches_formed_; }
    void MatchStarted() { ++matches_started_; }
    void MatchDissolved(const char* reason) { ++matches_dissolved_[reason]; }
    void EventSent() { ++events_sent_; }
    // route is the route's pattern (a static text), so ticket ids do not
    // multiply the series.
    void Request(const char* route, const std::string& method, int status, double seconds);

    // Gauges are read from the store and the stream count at rendering time.
    std::string Render(Store& store, const Hoppers& hoppers, std::size_t open_streams) const;

private:
    static constexpr std::array<double, 11> kBuckets = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                        0.05,   0.1,   0.25,   0.5,   1.0};

    uint64_t tickets_created_ = 0;
    std::map<std::string, uint64_t> tickets_finished_;
    uint64_t matches_formed_ = 0;
    uint64_t matches_started_ = 0;
    std::map<std::string, uint64_t> matches_dissolved_;
    uint64_t events_sent_ = 0;
    std::map<std::tuple<const char*, std::string, int>, uint64_t> requests_;
    std::array<uint64_t, kBuckets.size()> latency_buckets_{};
    uint64_t latency_count_ = 0;
    double latency_sum_ = 0.0;
};

}  // namespace KRHalyardServer
