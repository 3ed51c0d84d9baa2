#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace halyard {

// One event of a Server-Sent Events stream.
struct SseEvent {
    std::string type;  // "message" when the event names none
    std::string data;  // its data lines joined by "\n"
    std::string id;    // the stream's last event id when it was dispatched
};

// Reads an event stream (text/event-stream) from the bytes of one connection
// as they come, in chunks of any size: a line ending (CR LF, LF or CR) or a
// field may be split across chunks. Pure: no input or output, so every
// transport shares it.
class SseParser {
public:
    // The most one event (or one line) may hold: a stream that sends more
    // is broken or hostile, and would otherwise grow without end.
    static constexpr size_t kMaxEventBytes = 1024 * 1024;

    // Appends the events completed by these bytes to *events. False, and
    // nothing more is read until Restart, once an event passes
    // kMaxEventBytes.
    bool Feed(const char* bytes, size_t length, std::vector<SseEvent>* events);
    // A new connection: what a dropped one left half-read is forgotten; the
    // last event id, to resume from, and the retry time are kept.
    void Restart();

    const std::string& lastEventId() const { return lastEventId_; }
    // The reconnection time the stream asked for, in milliseconds; 0 if none.
    uint32_t retryMs() const { return retryMs_; }

private:
    void Line(std::string line, std::vector<SseEvent>* events);
    void Field(const std::string& name, const std::string& value);

    std::string line_;
    bool skipLf_ = false;  // a CR ended the last line: a LF right after it belongs to it
    bool atStart_ = true;  // a byte-order mark may open the stream
    std::string type_;
    std::string data_;
    bool hasData_ = false;
    bool overflow_ = false;
    std::string lastEventId_;
    uint32_t retryMs_ = 0;
};

}  // namespace halyard
