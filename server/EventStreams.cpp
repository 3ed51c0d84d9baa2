#include "EventStreams.h"

#include <algorithm>

#include "StatusBody.h"

namespace KRHalyardServer {

EventStreams::EventStreams(Context& context)
    : context_(context), last_size_push_ms_(context.Now()) {
    context_.store.Watch([this](const Ticket& ticket) { OnTicket(ticket); });
}

void EventStreams::Send(Stream& stream, const Ticket& ticket, uint64_t event_id) {
    stream.sink->Write("event: matchmaking_update\nid: " + std::to_string(event_id) +
                       "\ndata: " + StatusBody(context_.store, ticket) + "\n\n");
    stream.last_event_id = std::max(stream.last_event_id, event_id);
    stream.sizes_sent[ticket.id] = context_.store.WaitingCount(ticket.hopper_id);
    context_.metrics.EventSent();
}

void EventStreams::Open(std::unique_ptr<StreamSink> sink, const std::string& identity,
                        std::optional<uint64_t> last_event_id) {
    // A number this service never gave out is another instance's, or an
    // earlier run's: resuming after it would hold back every change until
    // the identity's numbers pass it, so the stream starts from nothing.
    const bool resumes = last_event_id && *last_event_id <= context_.store.LastEventId(identity);
    Streams& own = by_identity_[identity];
    // A client that reconnects before its old stream was noticed closed must
    // not be refused: the oldest stream of the identity gives way.
    while (!own.empty() && own.size() >= context_.settings.max_streams_per_identity) {
        own.front()->sink->End();
        identity_of_.erase(own.front()->sink.get());
        own.erase(own.begin());
        --open_;
    }
    auto stream = std::make_unique<Stream>();
    stream->sink = std::move(sink);
    stream->identity = identity;
    stream->last_event_id = resumes ? *last_event_id : 0;
    std::vector<Ticket> tickets = context_.store.TicketsOf(identity);
    std::sort(tickets.begin(), tickets.end(),
              [](const Ticket& a, const Ticket& b) { return a.event_id < b.event_id; });
    const uint64_t after = stream->last_event_id;
    for (const Ticket& ticket : tickets) {
        if (ticket.event_id > after) {
            Send(*stream, ticket, ticket.event_id);
        }
    }
    identity_of_[stream->sink.get()] = identity;
    own.push_back(std::move(stream));
    ++open_;
}

void EventStreams::Closed(StreamSink* sink) {
    const auto identity = identity_of_.find(sink);
    if (identity == identity_of_.end()) {
        return;
    }
    Streams& own = by_identity_[identity->second];
    own.erase(std::find_if(own.begin(), own.end(), [&](const std::unique_ptr<Stream>& stream) {
        return stream->sink.get() == sink;
    }));
    if (own.empty()) {
        by_identity_.erase(identity->second);
    }
    identity_of_.erase(identity);
    --open_;
}

void EventStreams::EndAll() {
    for (auto& entry : by_identity_) {
        for (auto& stream : entry.second) {
            stream->sink->End();
        }
    }
    by_identity_.clear();
    identity_of_.clear();
    open_ = 0;
}

void EventStreams::OnTicket(const Ticket& ticket) {
    const auto own = by_identity_.find(ticket.identity);
    if (own == by_identity_.end()) {
        return;
    }
    for (auto& stream : own->second) {
        if (ticket.event_id > stream->last_event_id) {
            Send(*stream, ticket, ticket.event_id);
        }
    }
}

void EventStreams::PushSizes() {
    const int64_t now = context_.Now();
    if (now - last_size_push_ms_ < context_.settings.size_push_ms) {
        return;
    }
    last_size_push_ms_ = now;
    for (auto& entry : by_identity_) {
        const std::vector<Ticket> tickets = context_.store.TicketsOf(entry.first);
        for (auto& stream : entry.second) {
            std::map<std::string, std::size_t> sent;
            sent.swap(stream->sizes_sent);
            for (const Ticket& ticket : tickets) {
                const std::size_t size = context_.store.WaitingCount(ticket.hopper_id);
                const auto before = sent.find(ticket.id);
                const bool waiting = ticket.state == TicketState::kMatching ||
                                     ticket.state == TicketState::kInitialWaiting;
                if (waiting && (before == sent.end() || before->second != size)) {
                    Send(*stream, ticket, context_.store.NextEventId(entry.first));
                } else if (before != sent.end()) {
                    stream->sizes_sent.insert(*before);
                }
            }
        }
    }
}

void EventStreams::Ping() {
    for (auto& entry : by_identity_) {
        for (auto& stream : entry.second) {
            stream->sink->Write(": keep-alive\n\n");
        }
    }
}

}  // namespace KRHalyardServer
