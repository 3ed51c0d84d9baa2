#pragma once

#include <curl/curl.h>
#include <jansson.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace server_net_test {

// halyard-server started with the given arguments (to serve: on 127.0.0.1
// with port 0, the port read back from its first stdout line). Stopped by its pid (SIGTERM, then
// SIGKILL after a bounded wait) at destruction, whatever the test did.
class ServerProcess {
public:
    explicit ServerProcess(std::vector<std::string> args);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool running() const { return port_ != 0; }
    // The first line the process wrote on stdout.
    const std::string& first_line() const { return first_line_; }
    const std::string& url() const { return url_; }
    // Sends SIGTERM and returns the exit status (-1 if it had to be killed).
    int Stop();
    // Waits for a command to end by itself (bounded; killed after that).
    int Wait();
    // What the process wrote on stderr (read after it stopped).
    const std::string& errors() const { return errors_; }

private:
    int Reap(bool terminate);

    pid_t pid_ = -1;
    int stdout_fd_ = -1;
    int stderr_fd_ = -1;
    uint16_t port_ = 0;
    std::string first_line_;
    std::string url_;
    std::string errors_;
};

struct Reply {
    long status = 0;
    std::string body;
    std::map<std::string, std::string> headers;  // names in lower case

    // A member of the JSON body ("" / 0 when absent).
    std::string Text(const char* key) const;
    int64_t Number(const char* key) const;
};

// A JSON value read from a text, freed with the object.
struct Json {
    explicit Json(const std::string& text);
    ~Json() { json_decref(value); }
    Json(const Json&) = delete;
    Json& operator=(const Json&) = delete;
    json_t* value;
};

// Requests over one libcurl handle (keep-alive connections).
class HttpClient {
public:
    explicit HttpClient(std::string url);
    ~HttpClient();

    Reply Post(const std::string& path, const std::string& body, const std::string& token = "",
               const std::vector<std::string>& headers = {});
    Reply Get(const std::string& path, const std::string& token = "");

private:
    Reply Perform(const std::string& path, const std::string* body, const std::string& token,
                  const std::vector<std::string>& headers);

    std::string url_;
    CURL* curl_;
};

struct Event {
    uint64_t id = 0;
    std::string type;
    std::string data;
};

// GET /v1/matchmaking/events read on a libcurl multi handle, open once
// constructed (its answer's headers have arrived); every wait is bounded in
// time.
class EventReader {
public:
    EventReader(const std::string& url, const std::string& token,
                std::optional<uint64_t> last_event_id = std::nullopt);
    ~EventReader();
    EventReader(const EventReader&) = delete;
    EventReader& operator=(const EventReader&) = delete;

    // Reads until done(events) holds or timeout_ms passes; returns done's
    // last answer.
    bool WaitFor(const std::function<bool(const std::vector<Event>&)>& done, int timeout_ms = 3000);
    // Reads whatever arrives within the time (for "nothing more came").
    void Drain(int timeout_ms);
    long status() const;
    std::vector<Event> events;

private:
    static size_t OnData(char* data, size_t size, size_t count, void* self);
    void Parse();

    CURLM* multi_;
    CURL* curl_;
    curl_slist* headers_ = nullptr;
    std::string buffer_;
};

// The "state" member of an event's status.
std::string StateOf(const Event& event);

}  // namespace server_net_test
