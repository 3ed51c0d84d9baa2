#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace KRHalyardServer {

// Every limit and window of the service, with its default. Times are
// milliseconds.
struct Settings {
    std::string host = "127.0.0.1";
    uint16_t port = 8750;
    std::string hoppers_file;  // empty: the three built-in hoppers
    std::string secret_file;   // empty: a random secret for this run
    bool dev_sessions = false;
    bool manual_clock = false;

    // A ticket without a keep-alive for this long expires.
    int64_t keepalive_timeout_ms = 60000;
    // Longer than the matchmaker's own accept and start deadlines with their
    // grace, so an accept or start sent in time never races a dissolution.
    int64_t accept_window_ms = 35000;
    int64_t start_window_ms = 35000;
    // Finished tickets keep answering this long, then 404.
    int64_t retain_ms = 600000;
    // Requests per second and identity (the burst is as large); 0: no limit.
    int32_t rate_limit = 20;
    // A keep-alive this long after the ticket's previous one passes even when
    // the identity's budget is spent, so a heartbeat is never refused.
    int64_t keepalive_pace_ms = 1000;

    std::size_t max_body_bytes = 64 * 1024;
    // Bodies past this are refused by the HTTP layer before they are read.
    std::size_t max_read_bytes = 1024 * 1024;
    std::size_t max_header_bytes = 8 * 1024;
    std::size_t max_idempotency_key = 200;
    int64_t idempotency_ms = 10 * 60 * 1000;
    int32_t connection_timeout_s = 60;

    std::size_t checked_tokens = 100000;     // tokens remembered as passed
    int64_t token_ttl_ms = 6 * 3600 * 1000;  // longer than the matchmaker's 3-hour timeout
    int64_t proof_ttl_ms = 3600 * 1000;

    // Event streams: a comment line this often keeps idle streams open
    // through proxies; hopper sizes are pushed at most this often per ticket.
    int64_t stream_ping_ms = 15000;
    int64_t size_push_ms = 1000;
    std::size_t max_streams_per_identity = 4;

    // Clocks look for due work this often (wall-clock time).
    int64_t tick_ms = 100;
    // Formation reads at most this many waiting tickets per hopper per pass.
    std::size_t formation_scan = 2000;
    // Clocks handle at most this many due records per pass.
    std::size_t due_batch = 1000;
};

}  // namespace KRHalyardServer
