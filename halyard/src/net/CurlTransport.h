#pragma once

#include <curl/curl.h>

#include <memory>
#include <vector>

#include "EventStream.h"
#include "HttpRequest.h"
#include "Session.h"

namespace halyard {

// A networked client's transport on libcurl: one multi handle carries its
// requests and its event stream and reuses their connections. libcurl is
// only ever asked to do what it can do now (curl_multi_perform), so no call
// waits for the network.
class CurlTransport final : public Transport {
public:
    CurlTransport(std::vector<std::string> baseUrls, std::string token, std::string identity);
    ~CurlTransport() override;
    bool started() const { return multi_ != nullptr; }

    void Send(std::shared_ptr<Exchange> exchange) override;
    void Drop(const Exchange& exchange) override;
    std::vector<Arrival> TakeArrivals() override { return session_.TakeArrivals(); }
    int SetToken(const std::string& token, std::string* reason) override;
    void SetTimeout(uint32_t milliseconds) override { session_.timeoutMs = milliseconds; }

private:
    void Move() override;

    Session session_;
    CURLM* multi_;
    std::unique_ptr<EventStream> stream_;
    std::vector<std::unique_ptr<HttpRequest>> requests_;
};

}  // namespace halyard
