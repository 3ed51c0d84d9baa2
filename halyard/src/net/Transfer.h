#pragma once

#include <curl/curl.h>

#include <string>

#include "Session.h"

namespace halyard {

// One libcurl transfer on a client's multi handle, with what every transfer
// of the client carries: the player's token, no signals, an error text.
class Transfer {
public:
    explicit Transfer(CURLM* multi) : multi_(multi) {}
    ~Transfer() { End(); }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // A new easy handle for url that hands what it receives to write(self),
    // ending the one before; null when libcurl cannot make one.
    CURL* Begin(const std::string& url, const Session& session, curl_write_callback write,
                void* self);
    void Header(const std::string& line) { headers_ = curl_slist_append(headers_, line.c_str()); }
    // Puts it on the multi handle; false if libcurl refuses.
    bool Start();
    // Takes it off the multi handle and frees it, if there is one.
    void End();
    // Why it ended with result, in libcurl's words.
    std::string Reason(CURLcode result) const {
        return errorText_[0] != '\0' ? errorText_ : curl_easy_strerror(result);
    }
    CURL* easy() const { return easy_; }

private:
    CURLM* multi_;
    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    char errorText_[CURL_ERROR_SIZE] = {};
};

}  // namespace halyard
