#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

#include "Routes.h"
#include "Session.h"
#include "Transfer.h"

namespace halyard {

// One request of the game on its way to the service, on the client's multi
// handle. An address that cannot be reached, or that drops the connection
// before answering, passes the request to the next address with the same
// Idempotency-Key, so the service never acts on it twice. With no address
// left, or once its time is up, the request finishes without an answer: 504.
class HttpRequest {
public:
    HttpRequest(std::shared_ptr<Exchange> exchange, Session& session, CURLM* multi);
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // Starts the first attempt; false when the request finished at once.
    bool Start();
    // Its transfer ended with result; true once the exchange is finished,
    // false while a next attempt runs.
    bool Done(CURLcode result);

    bool Owns(CURL* easy) const { return easy == transfer_.easy(); }
    Exchange& exchange() const { return *exchange_; }

private:
    bool Attempt();
    void FinishWithoutAnswer(const std::string& reason);
    static size_t OnData(char* data, size_t size, size_t count, void* self) noexcept;

    std::shared_ptr<Exchange> exchange_;
    Session& session_;
    HttpCall call_;
    std::string name_;            // "keepalive request", for log lines
    std::string idempotencyKey_;  // one for every attempt of a POST
    SteadyClock::time_point deadline_;
    size_t address_;
    size_t attempts_ = 0;
    std::string received_;
    Transfer transfer_;  // last, so that it ends before the body it sends is freed
};

}  // namespace halyard
