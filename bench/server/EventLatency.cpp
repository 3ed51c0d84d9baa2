// How long a formed match takes to reach a waiting player's event stream.
// Each round: player A waits in the hopper of two with its stream open; B's
// first keep-alive forms the match. Measured from the moment B's keep-alive
// is sent: the arrival of A's "matched" event, and B's own answer (which
// carries the same match), side by side on one libcurl multi handle.
// Usage: bench_event_latency URL ROUNDS   (the service with --dev-sessions)
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const char* const kDuel = "0e6976d1-1655-5da5-8354-3d3a38537aed";
constexpr int kWaitMs = 5000;

size_t Append(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// Member text of a flat JSON answer (ids and tokens hold no quotes).
std::string Member(const std::string& body, const std::string& key) {
    const std::string marker = "\"" + key + "\":\"";
    const size_t at = body.find(marker);
    if (at == std::string::npos) {
        return std::string();
    }
    const size_t start = at + marker.size();
    return body.substr(start, body.find('"', start) - start);
}

CURL* Request(const std::string& url, const std::string& token, const std::string* body,
              std::string* out, curl_slist** headers) {
    CURL* curl = curl_easy_init();
    *headers = curl_slist_append(nullptr, ("Authorization: Bearer " + token).c_str());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, *headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, out);
    if (body != nullptr) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->c_str());
    }
    return curl;
}

std::string Post(const std::string& url, const std::string& token, const std::string& body) {
    std::string out;
    curl_slist* headers = nullptr;
    CURL* curl = Request(url, token, &body, &out, &headers);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    return out;
}

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) { return samples[static_cast<size_t>(q * (samples.size() - 1))]; };
    std::printf("  %-38s p50 %6.2f ms   p99 %6.2f ms   max %6.2f ms\n", what, at(0.5), at(0.99),
                samples.back());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_event_latency URL ROUNDS\n");
        return 2;
    }
    const std::string url = argv[1];
    const int rounds = std::atoi(argv[2]);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    std::vector<double> event_ms;
    std::vector<double> answer_ms;
    const std::string ticket_body = std::string("{\"hopper_id\":\"") + kDuel + "\"}";
    for (int round = 0; round < rounds; ++round) {
        const std::string a = Member(Post(url + "/v1/sessions", "", ""), "token");
        const std::string b = Member(Post(url + "/v1/sessions", "", ""), "token");
        const std::string a_ticket =
            Member(Post(url + "/v1/matchmaking/tickets", a, ticket_body), "ticket");
        const std::string b_ticket =
            Member(Post(url + "/v1/matchmaking/tickets", b, ticket_body), "ticket");
        Post(url + "/v1/matchmaking/tickets/" + a_ticket + "/keepalive", a, "");

        CURLM* multi = curl_multi_init();
        std::string stream_text;
        std::string answer_text;
        curl_slist* stream_headers = nullptr;
        curl_slist* answer_headers = nullptr;
        CURL* stream =
            Request(url + "/v1/matchmaking/events", a, nullptr, &stream_text, &stream_headers);
        curl_multi_add_handle(multi, stream);
        // Wait until the stream is open and has replayed A's waiting status.
        const Clock::time_point open_deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
        int running = 0;
        while (stream_text.find("\n\n") == std::string::npos && Clock::now() < open_deadline) {
            curl_multi_perform(multi, &running);
            curl_multi_poll(multi, nullptr, 0, 5, nullptr);
        }
        const std::string empty;
        CURL* answer = Request(url + "/v1/matchmaking/tickets/" + b_ticket + "/keepalive", b,
                               &empty, &answer_text, &answer_headers);
        const Clock::time_point sent = Clock::now();
        curl_multi_add_handle(multi, answer);
        Clock::time_point event_at{};
        Clock::time_point answer_at{};
        const Clock::time_point deadline = sent + std::chrono::milliseconds(kWaitMs);
        while ((event_at == Clock::time_point{} || answer_at == Clock::time_point{}) &&
               Clock::now() < deadline) {
            curl_multi_perform(multi, &running);
            if (event_at == Clock::time_point{} &&
                stream_text.find("\"state\":\"matched\"") != std::string::npos) {
                event_at = Clock::now();
            }
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == answer) {
                    answer_at = Clock::now();
                }
            }
            curl_multi_poll(multi, nullptr, 0, 1, nullptr);
        }
        if (event_at == Clock::time_point{} || answer_at == Clock::time_point{}) {
            std::fprintf(stderr, "round %d: no match within %d ms\n", round, kWaitMs);
            return 1;
        }
        event_ms.push_back(Millis(event_at - sent));
        answer_ms.push_back(Millis(answer_at - sent));
        for (CURL* handle : {stream, answer}) {
            curl_multi_remove_handle(multi, handle);
            curl_easy_cleanup(handle);
        }
        curl_slist_free_all(stream_headers);
        curl_slist_free_all(answer_headers);
        curl_multi_cleanup(multi);
    }
    std::printf("event delivery, %d rounds (from B's keep-alive being sent):\n", rounds);
    Report("A's \"matched\" event on its stream", event_ms);
    Report("B's keep-alive answer (same match)", answer_ms);
    curl_global_cleanup();
    return 0;
}
