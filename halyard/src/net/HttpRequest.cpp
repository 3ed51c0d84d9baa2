#include "HttpRequest.h"

#include "../Json.h"
#include "../Uuid.h"

namespace halyard {
namespace {

// Far beyond any status or hopper body; a service sending more is broken.
constexpr size_t kMaxBody = 4 * 1024 * 1024;

std::string EscapeWithCurl(const std::string& segment) {
    char* escaped = curl_easy_escape(nullptr, segment.data(), static_cast<int>(segment.size()));
    std::string text = escaped != nullptr ? escaped : "";
    curl_free(escaped);
    return text;
}

// Failures after which the service cannot have answered: the request may go
// to the next address (the Idempotency-Key covers one that was received).
bool MayTryNext(CURLcode result) {
    switch (result) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_OPERATION_TIMEDOUT:
            return true;
        default:
            return false;
    }
}

long Milliseconds(SteadyClock::duration duration) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(duration).count());
}

}  // namespace

HttpRequest::HttpRequest(std::shared_ptr<Exchange> exchange, Session& session, CURLM* multi)
    : exchange_(std::move(exchange)),
      session_(session),
      call_(RouteOf(*exchange_->entry, &EscapeWithCurl)),
      name_(std::string(hyl_kind_name(exchange_->entry->request.kind)) + " request"),
      idempotencyKey_(NewUuidText()),
      deadline_(SteadyClock::now() + std::chrono::milliseconds(session.timeoutMs)),
      address_(session.preferred),
      transfer_(multi) {}

bool HttpRequest::Start() {
    return Attempt();
}

bool HttpRequest::Attempt() {
    transfer_.End();
    const long left = Milliseconds(deadline_ - SteadyClock::now());
    if (left <= 0) {
        FinishWithoutAnswer(name_ + " timed out");
        return false;
    }
    CURL* easy = transfer_.Begin(session_.baseUrls[address_] + call_.path, session_,
                                 &HttpRequest::OnData, this);
    if (easy == nullptr) {
        FinishWithoutAnswer(name_ + ": libcurl could not make a transfer");
        return false;
    }
    ++attempts_;
    received_.clear();
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, left);
    // An address that cannot be reached leaves time for the others.
    const size_t untried = session_.baseUrls.size() - attempts_ + 1;
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     std::max(1L, left / static_cast<long>(untried)));
    transfer_.Header("Accept: application/json");
    if (std::string(call_.method) == "POST") {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(call_.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, call_.body.c_str());
        transfer_.Header("Idempotency-Key: " + idempotencyKey_);
        transfer_.Header("Content-Type: application/json");
        // No wait for "100 Continue" before a larger body.
        transfer_.Header("Expect:");
    }
    if (!transfer_.Start()) {
        FinishWithoutAnswer(name_ + ": libcurl could not start the transfer");
        return false;
    }
    return true;
}

bool HttpRequest::Done(CURLcode result) {
    const std::string& base = session_.baseUrls[address_];
    if (result == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(transfer_.easy(), CURLINFO_RESPONSE_CODE, &status);
        Answer answer;
        answer.status = static_cast<int32_t>(status);
        json_t* body = received_.empty() ? nullptr : ParseJson(received_.data(), received_.size());
        answer.body = SerializeToString(body);
        json_decref(body);
        if (body == nullptr && !received_.empty()) {
            session_.Log(HY_LOG_WARNING, name_ + " to " + base + ": answer " +
                                             std::to_string(status) +
                                             " with a body that is not JSON");
        }
        if (status == 401) {
            session_.Log(HY_LOG_ERROR, name_ +
                                           " refused with 401: the token has expired or is not "
                                           "the service's; renew it with hyn_client_set_token");
        }
        session_.preferred = address_;
        transfer_.End();
        exchange_->Finish(std::move(answer), false, "");
        return true;
    }
    const std::string reason = name_ + " to " + base + ": " + transfer_.Reason(result);
    const bool timeLeft = Milliseconds(deadline_ - SteadyClock::now()) > 0;
    if (MayTryNext(result) && timeLeft && attempts_ < session_.baseUrls.size()) {
        address_ = session_.Next(address_);
        session_.Log(HY_LOG_NOTICE, reason + "; trying " + session_.baseUrls[address_]);
        return !Attempt();
    }
    FinishWithoutAnswer(reason);
    return true;
}

void HttpRequest::FinishWithoutAnswer(const std::string& reason) {
    transfer_.End();
    session_.Log(HY_LOG_WARNING,
                 reason + ": no answer, finished as " + std::to_string(kNoAnswerStatus));
    Answer answer;
    answer.status = kNoAnswerStatus;
    exchange_->Finish(std::move(answer), true, reason);
}

size_t HttpRequest::OnData(char* data, size_t size, size_t count, void* self) noexcept {
    auto* request = static_cast<HttpRequest*>(self);
    if (request->received_.size() + size * count > kMaxBody) {
        return 0;  // libcurl ends the transfer with an error
    }
    try {
        request->received_.append(data, size * count);
    } catch (...) {
        return 0;  // out of memory: nothing may be thrown through libcurl
    }
    return size * count;
}

}  // namespace halyard
