#include "Metrics.h"

#include <sstream>

#include "Hoppers.h"
#include "Store.h"

namespace KRHalyardServer {
namespace {

void Header(std::ostringstream& out, const char* name, const char* type, const char* help) {
    out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
}

}  // namespace

void Metrics::Request(const char* route, const std::string& method, int status, double seconds) {
    ++requests_[std::make_tuple(route, method, status)];
    for (std::size_t i = 0; i < kBuckets.size(); ++i) {
        if (seconds <= kBuckets[i]) {
            ++latency_buckets_[i];
        }
    }
    ++latency_count_;
    latency_sum_ += seconds;
}

std::string Metrics::Render(Store& store, const Hoppers& hoppers, std::size_t open_streams) const {
    std::ostringstream out;
    Header(out, "halyard_tickets_waiting", "gauge", "Tickets waiting in a hopper's pool.");
    for (const Hopper& hopper : hoppers.all()) {
        out << "halyard_tickets_waiting{hopper=\"" << hopper.id << "\"} "
            << store.WaitingCount(hopper.id) << '\n';
    }
    const StoreCounts counts = store.Counts();
    Header(out, "halyard_tickets", "gauge", "Tickets held, by state.");
    for (const auto& entry : counts.tickets) {
        out << "halyard_tickets{state=\"" << StateText(entry.first) << "\"} " << entry.second
            << '\n';
    }
    Header(out, "halyard_matches_open", "gauge", "Matches held (forming, starting or retained).");
    out << "halyard_matches_open " << counts.matches << '\n';
    Header(out, "halyard_event_streams", "gauge", "Open event streams.");
    out << "halyard_event_streams " << open_streams << '\n';

    Header(out, "halyard_tickets_created_total", "counter", "Tickets given out.");
    out << "halyard_tickets_created_total " << tickets_created_ << '\n';
    Header(out, "halyard_tickets_finished_total", "counter", "Tickets expired or cancelled.");
    for (const auto& entry : tickets_finished_) {
        out << "halyard_tickets_finished_total{state=\"" << entry.first << "\"} " << entry.second
            << '\n';
    }
    Header(out, "halyard_matches_formed_total", "counter", "Matches formed.");
    out << "halyard_matches_formed_total " << matches_formed_ << '\n';
    Header(out, "halyard_matches_started_total", "counter", "Matches started by their leader.");
    out << "halyard_matches_started_total " << matches_started_ << '\n';
    Header(out, "halyard_matches_dissolved_total", "counter", "Matches dissolved, by reason.");
    for (const auto& entry : matches_dissolved_) {
        out << "halyard_matches_dissolved_total{reason=\"" << entry.first << "\"} " << entry.second
            << '\n';
    }
    Header(out, "halyard_events_sent_total", "counter", "Status events written to streams.");
    out << "halyard_events_sent_total " << events_sent_ << '\n';

    Header(out, "halyard_requests_total", "counter", "Requests answered, by route and status.");
    for (const auto& entry : requests_) {
        out << "halyard_requests_total{route=\"" << std::get<0>(entry.first) << "\",method=\""
            << std::get<1>(entry.first) << "\",status=\"" << std::get<2>(entry.first) << "\"} "
            << entry.second << '\n';
    }
    Header(out, "halyard_request_duration_seconds", "histogram",
           "Time from a request's arrival to its answer.");
    for (std::size_t i = 0; i < kBuckets.size(); ++i) {
        out << "halyard_request_duration_seconds_bucket{le=\"" << kBuckets[i] << "\"} "
            << latency_buckets_[i] << '\n';
    }
    out << "halyard_request_duration_seconds_bucket{le=\"+Inf\"} " << latency_count_ << '\n';
    out << "halyard_request_duration_seconds_sum " << latency_sum_ << '\n';
    out << "halyard_request_duration_seconds_count " << latency_count_ << '\n';
    return out.str();
}

}  // namespace KRHalyardServer
