#include "ServiceClient.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace server_net_test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads fd until a line end or the deadline.
std::string ReadLine(int fd, Clock::time_point deadline) {
    std::string line;
    char c = 0;
    while (MillisecondsLeft(deadline) > 0) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, MillisecondsLeft(deadline)) <= 0 || read(fd, &c, 1) != 1 || c == '\n') {
            break;
        }
        line += c;
    }
    return line;
}

}  // namespace

ServerProcess::ServerProcess(std::vector<std::string> args) {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
        return;
    }
    args.insert(args.begin(), HALYARD_SERVER_BINARY);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(err[0]);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(&arg[0]);
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    stdout_fd_ = out[0];
    stderr_fd_ = err[0];
    first_line_ = ReadLine(stdout_fd_, Clock::now() + std::chrono::milliseconds(kStartTimeoutMs));
    const std::string prefix = "listening on http://127.0.0.1:";
    if (first_line_.rfind(prefix, 0) == 0) {
        port_ = static_cast<uint16_t>(std::atoi(first_line_.c_str() + prefix.size()));
        url_ = "http://127.0.0.1:" + std::to_string(port_);
    }
}

int ServerProcess::Stop() {
    return Reap(true);
}

int ServerProcess::Wait() {
    return Reap(false);
}

int ServerProcess::Reap(bool terminate) {
    if (pid_ <= 0) {
        return -1;
    }
    if (terminate) {
        kill(pid_, SIGTERM);
    }
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStopTimeoutMs);
    pid_t done = 0;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && MillisecondsLeft(deadline) > 0) {
        poll(nullptr, 0, 10);
    }
    if (done == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    char chunk[4096];
    fcntl(stderr_fd_, F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = read(stderr_fd_, chunk, sizeof chunk)) > 0;) {
        errors_.append(chunk, static_cast<size_t>(n));
    }
    return done != 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ServerProcess::~ServerProcess() {
    Stop();
    close(stdout_fd_);
    close(stderr_fd_);
}

Json::Json(const std::string& text) : value(json_loads(text.c_str(), JSON_DECODE_ANY, nullptr)) {}

std::string Reply::Text(const char* key) const {
    const Json json(body);
    const char* text = json_string_value(json_object_get(json.value, key));
    return text != nullptr ? text : "";
}

int64_t Reply::Number(const char* key) const {
    const Json json(body);
    return json_integer_value(json_object_get(json.value, key));
}

namespace {

size_t AppendBody(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

size_t AppendHeader(char* data, size_t size, size_t count, void* out) {
    const std::string line(data, size * count);
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        for (char& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        const size_t start = line.find_first_not_of(' ', colon + 1);
        const size_t end = line.find_last_not_of("\r\n");
        (*static_cast<std::map<std::string, std::string>*>(out))[name] =
            start <= end ? line.substr(start, end - start + 1) : "";
    }
    return size * count;
}

}  // namespace

HttpClient::HttpClient(std::string url) : url_(std::move(url)), curl_(curl_easy_init()) {}

HttpClient::~HttpClient() {
    curl_easy_cleanup(curl_);
}

Reply HttpClient::Perform(const std::string& path, const std::string* body,
                          const std::string& token, const std::vector<std::string>& headers) {
    Reply reply;
    curl_slist* list = nullptr;
    if (!token.empty()) {
        list = curl_slist_append(list, ("Authorization: Bearer " + token).c_str());
    }
    for (const std::string& header : headers) {
        list = curl_slist_append(list, header.c_str());
    }
    list = curl_slist_append(list, "Expect:");  // no 100-continue round trip
    const std::string url = url_ + path;
    curl_easy_reset(curl_);
    curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, 5000L);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, &AppendHeader);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, &reply.headers);
    if (body != nullptr) {
        curl_easy_setopt(curl_, CURLOPT_POST, 1L);
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body->data());
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE, static_cast<long>(body->size()));
    }
    if (curl_easy_perform(curl_) == CURLE_OK) {
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &reply.status);
    }
    curl_slist_free_all(list);
    return reply;
}

Reply HttpClient::Post(const std::string& path, const std::string& body, const std::string& token,
                       const std::vector<std::string>& headers) {
    return Perform(path, &body, token, headers);
}

Reply HttpClient::Get(const std::string& path, const std::string& token) {
    return Perform(path, nullptr, token, {});
}

EventReader::EventReader(const std::string& url, const std::string& token,
                         std::optional<uint64_t> last_event_id)
    : multi_(curl_multi_init()), curl_(curl_easy_init()) {
    headers_ = curl_slist_append(headers_, ("Authorization: Bearer " + token).c_str());
    if (last_event_id) {
        headers_ = curl_slist_append(headers_,
                                     ("Last-Event-ID: " + std::to_string(*last_event_id)).c_str());
    }
    const std::string events = url + "/v1/matchmaking/events";
    curl_easy_setopt(curl_, CURLOPT_URL, events.c_str());
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers_);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &EventReader::OnData);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, this);
    curl_multi_add_handle(multi_, curl_);
    // Open now: what happens from here on reaches this stream as it happens.
    WaitFor([this](const std::vector<Event>&) { return status() != 0; });
}

EventReader::~EventReader() {
    curl_multi_remove_handle(multi_, curl_);
    curl_easy_cleanup(curl_);
    curl_multi_cleanup(multi_);
    curl_slist_free_all(headers_);
}

size_t EventReader::OnData(char* data, size_t size, size_t count, void* self) {
    auto* reader = static_cast<EventReader*>(self);
    reader->buffer_.append(data, size * count);
    reader->Parse();
    return size * count;
}

void EventReader::Parse() {
    for (size_t end; (end = buffer_.find("\n\n")) != std::string::npos;) {
        const std::string block = buffer_.substr(0, end + 1);
        buffer_.erase(0, end + 2);
        Event event;
        for (size_t start = 0, stop; (stop = block.find('\n', start)) != std::string::npos;
             start = stop + 1) {
            const std::string line = block.substr(start, stop - start);
            if (line.rfind("id: ", 0) == 0) {
                event.id = std::strtoull(line.c_str() + 4, nullptr, 10);
            } else if (line.rfind("event: ", 0) == 0) {
                event.type = line.substr(7);
            } else if (line.rfind("data: ", 0) == 0) {
                event.data += line.substr(6);
            }
        }
        if (!event.type.empty()) {
            events.push_back(event);
        }
    }
}

bool EventReader::WaitFor(const std::function<bool(const std::vector<Event>&)>& done,
                          int timeout_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    int running = 1;
    while (!done(events) && MillisecondsLeft(deadline) > 0 && running > 0) {
        curl_multi_perform(multi_, &running);
        curl_multi_poll(multi_, nullptr, 0, std::min(50, MillisecondsLeft(deadline)), nullptr);
    }
    return done(events);
}

void EventReader::Drain(int timeout_ms) {
    WaitFor([](const std::vector<Event>&) { return false; }, timeout_ms);
}

long EventReader::status() const {
    long status = 0;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

std::string StateOf(const Event& event) {
    const Json json(event.data);
    const char* state = json_string_value(json_object_get(json.value, "state"));
    return state != nullptr ? state : "";
}

}  // namespace server_net_test
