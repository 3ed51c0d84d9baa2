#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
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
        kAnswer,   // answers a request head with what answer() gives, then closes
        kSilent,   // reads and never answers
        kForward,  // relays bytes to and from 127.0.0.1:upstream
    };

    ~TestListener() { Stop(); }
    // Listens (again) on port, 0 for a free one; false if it cannot.
    bool Start(uint16_t port = 0);
    // Closes the listener and every connection: clients are refused.
    void Stop();
    // Closes the connections whose latest request starts with prefix.
    void Drop(const std::string& prefix);
    // The request heads read so far, each as its first chunk.
    std::vector<std::string> Requests();
    uint16_t port() const { return port_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

    std::atomic<Mode> mode{Mode::kAnswer};  // taken by each connection as it opens
    std::function<std::string(const std::string& head)> answer;
    uint16_t upstream = 0;

private:
    struct Connection {
        int socket;
        std::string head;
        std::thread thread;
    };
    void Serve(Connection* connection, Mode mode);

    std::atomic<bool> stopping_{false};
    int listener_ = -1;
    uint16_t port_ = 0;
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::vector<std::string> requests_;
};

// An HTTP answer with a body and Connection: close.
std::string HttpAnswer(int status, const std::string& body);

}  // namespace krmm_test
