#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Context.h"

namespace KRHalyardServer {

// One open event stream as the transport provides it.
class StreamSink {
public:
    virtual ~StreamSink() = default;
    virtual void Write(const std::string& text) = 0;
    // Ends the stream from the service's side.
    virtual void End() = 0;
};

// Server-Sent Events per identity: every change of one of its tickets'
// status is written as
//   event: matchmaking_update
//   id: <the identity's event number>
//   data: <the status JSON on one line>
// A status is a state, not a log: a stream that opens gets the latest status
// of each ticket the identity holds that changed after Last-Event-ID (all of
// them without it, or with a number this service never gave the identity),
// in event order. A change of the hopper size alone is
// written too, at most once per size-push interval per ticket.
class EventStreams {
public:
    explicit EventStreams(Context& context);

    void Open(std::unique_ptr<StreamSink> sink, const std::string& identity,
              std::optional<uint64_t> last_event_id);
    // The peer went away: the sink is destroyed without being written again.
    void Closed(StreamSink* sink);
    // Ends every stream (the service is stopping).
    void EndAll();

    // Writes changed hopper sizes, once the size-push interval has passed.
    void PushSizes();
    // A comment line on every stream, so idle streams stay open.
    void Ping();

    std::size_t open() const { return open_; }

private:
    struct Stream {
        std::unique_ptr<StreamSink> sink;
        std::string identity;
        uint64_t last_event_id = 0;
        std::map<std::string, std::size_t> sizes_sent;  // by ticket
    };

    using Streams = std::vector<std::unique_ptr<Stream>>;

    void OnTicket(const Ticket& ticket);
    void Send(Stream& stream, const Ticket& ticket, uint64_t event_id);

    Context& context_;
    std::unordered_map<std::string, Streams> by_identity_;
    std::unordered_map<StreamSink*, std::string> identity_of_;
    std::size_t open_ = 0;
    int64_t last_size_push_ms_;
};

}  // namespace KRHalyardServer
