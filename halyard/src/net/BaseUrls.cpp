#include "BaseUrls.h"

namespace halyard {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

bool ReadBaseUrls(const std::string& text, std::vector<std::string>* out, std::string* reason) {
    std::vector<std::string> urls;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string url = text.substr(start, end - start);
        url.erase(0, url.find_first_not_of(" \t"));
        url.erase(url.find_last_not_of(" \t") + 1);
        if (!StartsWith(url, "http://") && !StartsWith(url, "https://")) {
            *reason = "base URL \"" + url + "\" does not start with http:// or https://";
            return false;
        }
        const size_t host = url.find("://") + 3;
        while (url.size() > host && url.back() == '/') {
            url.pop_back();
        }
        if (url.size() == host || url.find_first_of("?# ") != std::string::npos) {
            *reason = "base URL \"" + url + "\" must name a service, without query or spaces";
            return false;
        }
        urls.push_back(url);
        start = end + 1;
    }
    *out = std::move(urls);
    return true;
}

}  // namespace halyard
