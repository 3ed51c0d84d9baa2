#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace krmm_test {

// A TCP listener on 127.0.0.1 (port 0, read back) standing in for a service
// or in front of one. Each connection runs on its own thread; Stop closes
// every socket and joins every thread.
class TestListener {
public:
    enum class Mode {
        kAnswer,   // reads a request head, writes what the answer function gives, closes
        kSilent,   // reads a request head and never answers
        kForward,  // relays bytes to and from 127.0.0.1:upstream
    };
    using AnswerFn = std::function<std::string(const std::string& request)>;

    ~TestListener() { Stop(); }
    // Listens (again) on port, 0 for a free one; false if it cannot.
    bool Start(uint16_t port = 0);
    // Closes the listener and every connection: clients are refused.
    void Stop();
    uint16_t port() const { return port_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

    std::atomic<Mode> mode{Mode::kAnswer};
    AnswerFn answer;
    uint16_t upstream = 0;
    // Drops the relayed connections whose request starts with prefix.
    void Drop(const std::string& prefix);
    // The heads of the requests read or relayed so far.
    std::vector<std::string> Requests();

private:
    void Serve(int socket);
    void Relay(int socket, std::string head);

    std::atomic<bool> stopping_{false};
    int listener_ = -1;
    uint16_t port_ = 0;
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> threads_;
    std::vector<int> sockets_;
    std::vector<std::pair<std::string, int>> relayed_;  // request head, client socket
    std::vector<std::string> requests_;
};

// An HTTP answer with a body and Connection: close.
std::string HttpAnswer(int status, const std::string& body,
                       const std::string& type = "application/json");

}  // namespace krmm_test
