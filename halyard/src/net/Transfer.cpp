#include "Transfer.h"

namespace halyard {

CURL* Transfer::Begin(const std::string& url, const Session& session, curl_write_callback write,
                      void* self) {
    End();
    easy_ = curl_easy_init();
    if (easy_ == nullptr) {
        return nullptr;
    }
    errorText_[0] = '\0';
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, write);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, self);
    Header(session.Authorization());
    return easy_;
}

bool Transfer::Start() {
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
    return curl_multi_add_handle(multi_, easy_) == CURLM_OK;
}

void Transfer::End() {
    if (easy_ != nullptr) {
        curl_multi_remove_handle(multi_, easy_);
        curl_easy_cleanup(easy_);
        easy_ = nullptr;
    }
    curl_slist_free_all(headers_);
    headers_ = nullptr;
}

}  // namespace halyard
