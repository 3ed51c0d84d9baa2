#include "CurlTransport.h"

#include <algorithm>
#include <mutex>

#include "BaseUrls.h"
#include "Token.h"

namespace halyard {

CurlTransport::CurlTransport(std::vector<std::string> baseUrls, std::string token,
                             std::string identity)
    : session_(std::move(baseUrls), std::move(token), std::move(identity)) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    multi_ = curl_multi_init();
    if (multi_ != nullptr) {
        stream_ = std::make_unique<EventStream>(session_, multi_);
    }
}

// Requests still in flight finish without an answer, so their tasks, which
// may outlive the client, still end.
CurlTransport::~CurlTransport() {
    for (const std::unique_ptr<HttpRequest>& request : requests_) {
        Answer answer;
        answer.status = kNoAnswerStatus;
        request->exchange().Finish(answer, true, "the client was freed");
    }
    requests_.clear();
    stream_.reset();
    if (multi_ != nullptr) {
        curl_multi_cleanup(multi_);
    }
}

void CurlTransport::Send(std::shared_ptr<Exchange> exchange) {
    auto request = std::make_unique<HttpRequest>(std::move(exchange), session_, multi_);
    if (request->Start()) {
        requests_.push_back(std::move(request));
    }
    Advance();
}

void CurlTransport::Drop(const Exchange& exchange) {
    requests_.erase(std::remove_if(requests_.begin(), requests_.end(),
                                   [&exchange](const std::unique_ptr<HttpRequest>& request) {
                                       return &request->exchange() == &exchange;
                                   }),
                    requests_.end());
}

void CurlTransport::Move() {
    stream_->Advance(SteadyClock::now());
    int running = 0;
    curl_multi_perform(multi_, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        CURL* easy = message->easy_handle;
        const CURLcode result = message->data.result;
        if (stream_->Owns(easy)) {
            stream_->Done(result, SteadyClock::now());
            continue;
        }
        auto it = std::find_if(
            requests_.begin(), requests_.end(),
            [easy](const std::unique_ptr<HttpRequest>& request) { return request->Owns(easy); });
        if (it != requests_.end() && (*it)->Done(result)) {
            requests_.erase(it);
        }
    }
}

int CurlTransport::SetToken(const std::string& token, std::string* reason) {
    std::string identity;
    if (!ReadTokenIdentity(token, &identity, reason)) {
        return -1;
    }
    if (identity != session_.identity) {
        *reason =
            "the token is for identity " + identity + ", the client plays as " + session_.identity;
        return -1;
    }
    session_.token = token;
    stream_->Renewed();
    return 0;
}

std::unique_ptr<Transport> OpenTransport(const char* baseUrls, const char* token,
                                         std::string* identity, std::string* reason) {
    std::vector<std::string> urls;
    std::string read;
    if (baseUrls == nullptr || !ReadBaseUrls(baseUrls, &urls, reason)) {
        if (baseUrls == nullptr) {
            *reason = "no base URL";
        }
        return nullptr;
    }
    if (token == nullptr || !ReadTokenIdentity(token, &read, reason)) {
        if (token == nullptr) {
            *reason = "no token";
        }
        return nullptr;
    }
    auto transport = std::make_unique<CurlTransport>(std::move(urls), token, read);
    if (!transport->started()) {
        *reason = "libcurl could not start a multi handle";
        return nullptr;
    }
    *identity = std::move(read);
    transport->Advance();  // starts opening the event stream
    return transport;
}

}  // namespace halyard
