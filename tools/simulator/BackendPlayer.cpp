#include "BackendPlayer.h"

#if defined(KRMM_SIMULATOR_NETWORK)
#include <curl/curl.h>
#endif

namespace KRSimulator {

#if defined(KRMM_SIMULATOR_NETWORK)

namespace {

size_t Keep(char* data, size_t size, size_t count, void* text) {
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

}  // namespace

// The token is asked for before the run starts, so this one may wait.
hy_client* ConnectPlayer(const std::string& backend, std::string* error) {
    const std::string url = backend.substr(0, backend.find(',')) + "/v1/sessions";
    std::string answer;
    long status = 0;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        *error = "libcurl could not make a transfer";
        return nullptr;
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Keep);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    hy_json* body = hy_json_parse(answer.data(), answer.size());
    const char* token = hy_json_get_string_item(body, "token");
    hy_client* client = token != nullptr ? hyn_client_connect(backend.c_str(), token) : nullptr;
    hy_json_free(body);
    if (result != CURLE_OK) {
        *error = url + ": " + curl_easy_strerror(result);
    } else if (token == nullptr) {
        *error = url + " answered " + std::to_string(status) +
                 " without a token (run the service with --dev-sessions)";
    } else if (client == nullptr) {
        *error = hyl_last_error();
    }
    return client;
}

#else

hy_client* ConnectPlayer(const std::string&, std::string* error) {
    *error = "this build has no network transport (halyard was built without libcurl)";
    return nullptr;
}

#endif

}  // namespace KRSimulator
