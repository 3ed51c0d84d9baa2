#include "EventStream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "../Json.h"
#include "../Random.h"

namespace halyard {
namespace {

constexpr long kFirstWaitMs = 250;
constexpr long kLongestWaitMs = 8000;
constexpr size_t kRefusalShown = 300;

std::string Seconds(SteadyClock::duration duration) {
    const double seconds = std::chrono::duration<double>(duration).count();
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

}  // namespace

EventStream::EventStream(Session& session, CURLM* multi)
    : session_(session), transfer_(multi), address_(session.preferred) {
    uint32_t seed = 1;
    FillRandomBytes(&seed, sizeof seed);
    jitter_.seed(seed);
}

void EventStream::Advance(SteadyClock::time_point now) {
    if (transfer_.easy() == nullptr && now >= nextOpen_) {
        Open();
    } else if (transfer_.easy() != nullptr && status_ == 0 &&
               now - openedAt_ > std::chrono::milliseconds(session_.timeoutMs)) {
        // Connected but never answered: a stream that would bring nothing.
        Closed("not answered in " + Seconds(now - openedAt_), now);
    }
}

void EventStream::Open() {
    CURL* easy = transfer_.Begin(session_.baseUrls[address_] + "/v1/matchmaking/events", session_,
                                 &EventStream::OnData, this);
    if (easy == nullptr) {
        nextOpen_ = SteadyClock::now() + Backoff();
        return;
    }
    parser_.Restart();
    oversized_ = false;
    openedAt_ = SteadyClock::now();
    status_ = 0;
    refusal_.clear();
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &EventStream::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(session_.timeoutMs));
    // The service writes a keep-alive comment every 15 s: a stream silent
    // for three of them died without a word and is opened again.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, 45L);
    transfer_.Header("Accept: text/event-stream");
    transfer_.Header("Cache-Control: no-cache");
    if (!parser_.lastEventId().empty()) {
        transfer_.Header("Last-Event-ID: " + parser_.lastEventId());
    }
    if (!transfer_.Start()) {
        transfer_.End();
        nextOpen_ = SteadyClock::now() + Backoff();
    }
}

void EventStream::Done(CURLcode result, SteadyClock::time_point now) {
    const bool wasOpen = status_ == 200;
    std::string reason;
    if (oversized_) {
        reason = "sent an event over " + std::to_string(SseParser::kMaxEventBytes / 1024) + " KiB";
    } else if (wasOpen) {
        reason = result == CURLE_OK ? "closed by the service" : transfer_.Reason(result);
    } else if (status_ != 0) {
        reason = "refused with " + std::to_string(status_) +
                 (refusal_.empty() ? std::string() : " " + refusal_);
    } else {
        reason = transfer_.Reason(result);
    }
    Closed(reason, now);
}

void EventStream::Closed(const std::string& reason, SteadyClock::time_point now) {
    const std::string& base = session_.baseUrls[address_];
    const bool wasOpen = status_ == 200;
    transfer_.End();
    failures_ = wasOpen ? 0 : failures_ + 1;
    if (!wasOpen && session_.baseUrls.size() > 1) {
        address_ = session_.Next(address_);
    }
    const SteadyClock::duration wait = Backoff();
    nextOpen_ = now + wait;
    if (status_ == 401) {
        session_.Log(HY_LOG_ERROR, "event stream from " + base + " " + reason +
                                       ": renew the token with hyn_client_set_token");
    } else {
        session_.Log(HY_LOG_WARNING, "event stream from " + base + " " +
                                         (wasOpen ? "lost: " : "not opened: ") + reason +
                                         "; opening again in " + Seconds(wait));
    }
}

// Waits double with each failure in a row, from the service's "retry" if it
// gave one, up to a ceiling; each is drawn between half and all of that, so
// that many clients dropped at once do not come back at once.
SteadyClock::duration EventStream::Backoff() {
    const long first = parser_.retryMs() > 0 ? static_cast<long>(parser_.retryMs()) : kFirstWaitMs;
    const unsigned doublings = std::min(failures_, 6u);
    const long longest = std::max(first, kLongestWaitMs);
    const long wait = std::min(first << doublings, longest);
    const long drawn =
        wait / 2 + static_cast<long>(jitter_() % static_cast<uint32_t>(wait / 2 + 1));
    return std::chrono::milliseconds(drawn);
}

size_t EventStream::OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* stream = static_cast<EventStream*>(self);
    const size_t length = size * count;
    // The blank line after the headers: the status is known.
    if ((length == 2 && std::memcmp(data, "\r\n", 2) == 0) || (length == 1 && data[0] == '\n')) {
        curl_easy_getinfo(stream->transfer_.easy(), CURLINFO_RESPONSE_CODE, &stream->status_);
        if (stream->status_ == 200) {
            stream->failures_ = 0;
            const std::string& after = stream->parser_.lastEventId();
            stream->session_.Log(
                HY_LOG_NOTICE,
                "event stream open at " + stream->session_.baseUrls[stream->address_] +
                    (after.empty() ? std::string() : ", resuming after event " + after));
        }
    }
    return length;
}

// libcurl is C: nothing may be thrown through it. Out of memory ends the
// connection, which opens again later.
size_t EventStream::OnData(char* data, size_t size, size_t count, void* self) noexcept {
    try {
        return static_cast<EventStream*>(self)->Read(data, size * count);
    } catch (...) {
        return 0;
    }
}

size_t EventStream::Read(const char* data, size_t length) {
    if (status_ != 200) {
        const size_t room = kRefusalShown - std::min(kRefusalShown, refusal_.size());
        refusal_.append(data, std::min(room, length));
        return length;
    }
    std::vector<SseEvent> events;
    if (!parser_.Feed(data, length, &events)) {
        oversized_ = true;
        return 0;  // libcurl ends the transfer; the stream opens again
    }
    for (SseEvent& event : events) {
        JsonPtr json(ParseJson(event.data.data(), event.data.size()));
        if (json == nullptr) {
            session_.Log(HY_LOG_WARNING, "event " + event.id + " (" + event.type +
                                             ") dropped: its data is not JSON");
            continue;
        }
        session_.Push(event.id, event.type, std::move(json));
    }
    return length;
}

}  // namespace halyard
