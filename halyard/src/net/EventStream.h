#pragma once

#include <curl/curl.h>

#include <random>
#include <string>

#include "Session.h"
#include "SseParser.h"
#include "Transfer.h"

namespace halyard {

// The service's stream of this player's events, kept open on the client's
// multi handle. Each event is queued for the game's next pump. A dropped or
// refused stream is opened again after a growing, jittered wait, with
// Last-Event-ID so the service resumes where it left off.
class EventStream {
public:
    EventStream(Session& session, CURLM* multi);
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    // Opens the stream when it is closed and its wait is over.
    void Advance(SteadyClock::time_point now);
    bool Owns(CURL* easy) const { return easy != nullptr && easy == transfer_.easy(); }
    // Its transfer ended with result.
    void Done(CURLcode result, SteadyClock::time_point now);
    // The token changed: a stream waiting to open again tries at once.
    void Renewed() { nextOpen_ = SteadyClock::time_point(); }

private:
    void Open();
    // The connection ended for reason: open again after a wait.
    void Closed(const std::string& reason, SteadyClock::time_point now);
    SteadyClock::duration Backoff();
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnData(char* data, size_t size, size_t count, void* self) noexcept;
    size_t Read(const char* data, size_t length);

    Session& session_;
    Transfer transfer_;
    SseParser parser_;
    size_t address_;
    SteadyClock::time_point nextOpen_{};  // the epoch: open at once
    SteadyClock::time_point openedAt_{};
    long status_ = 0;         // of the current connection, once its headers are in
    std::string refusal_;     // the start of a body that was not a stream
    bool oversized_ = false;  // the connection sent an event past the parser's limit
    unsigned failures_ = 0;   // attempts in a row that did not open
    std::minstd_rand jitter_;
};

}  // namespace halyard
