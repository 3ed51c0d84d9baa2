#include "TestListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace krmm_test {
namespace {

// Reads the head of one request (a body, if any, follows unread or, when
// relaying, passes on). Waits in slices so a stopping listener is noticed.
std::string ReadRequest(int socket, const std::atomic<bool>& stopping) {
    std::string text;
    char buffer[4096];
    while (!stopping && text.find("\r\n\r\n") == std::string::npos) {
        pollfd entry{socket, POLLIN, 0};
        if (poll(&entry, 1, 50) <= 0) {
            continue;
        }
        const ssize_t got = recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return std::string();
        }
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

void SendAll(int socket, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

}  // namespace

std::string HttpAnswer(int status, const std::string& body, const std::string& type) {
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

bool TestListener::Start(uint16_t port) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener_, 64) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        close(listener_);
        listener_ = -1;
        return false;
    }
    port_ = ntohs(address.sin_port);
    stopping_ = false;
    acceptor_ = std::thread([this] {
        while (!stopping_) {
            pollfd entry{listener_, POLLIN, 0};
            if (poll(&entry, 1, 50) <= 0) {
                continue;
            }
            const int client = accept(listener_, nullptr, nullptr);
            if (client < 0) {
                continue;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            sockets_.push_back(client);
            threads_.emplace_back([this, client] { Serve(client); });
        }
    });
    return true;
}

void TestListener::Stop() {
    if (listener_ < 0) {
        return;
    }
    stopping_ = true;
    acceptor_.join();
    close(listener_);
    listener_ = -1;
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int socket : sockets_) {
            shutdown(socket, SHUT_RDWR);
        }
        threads.swap(threads_);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (int socket : sockets_) {
        close(socket);
    }
    sockets_.clear();
    relayed_.clear();
}

void TestListener::Drop(const std::string& prefix) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [head, socket] : relayed_) {
        if (head.compare(0, prefix.size(), prefix) == 0) {
            shutdown(socket, SHUT_RDWR);
        }
    }
}

std::vector<std::string> TestListener::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void TestListener::Serve(int socket) {
    const std::string request = ReadRequest(socket, stopping_);
    if (request.empty()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
    }
    switch (mode.load()) {
        case Mode::kAnswer:
            SendAll(socket, answer ? answer(request) : std::string());
            shutdown(socket, SHUT_RDWR);
            break;
        case Mode::kSilent:
            while (!stopping_) {
                pollfd entry{socket, POLLIN, 0};
                poll(&entry, 1, 50);
                char byte;
                if ((entry.revents & POLLIN) != 0 && recv(socket, &byte, 1, 0) <= 0) {
                    break;
                }
            }
            break;
        case Mode::kForward:
            Relay(socket, request);
            break;
    }
}

// Copies bytes both ways until either side closes, the connection is
// dropped or the listener stops. A later request on a reused connection is
// recorded too: a chunk from the client that opens with a method.
void TestListener::Relay(int socket, std::string head) {
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(upstream);
    if (connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(server);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        relayed_.emplace_back(head, socket);
    }
    SendAll(server, head);
    char buffer[16384];
    while (!stopping_) {
        pollfd entries[2] = {{socket, POLLIN, 0}, {server, POLLIN, 0}};
        if (poll(entries, 2, 50) <= 0) {
            continue;
        }
        const int from = (entries[0].revents != 0) ? socket : server;
        const ssize_t got = recv(from, buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        const std::string chunk(buffer, static_cast<size_t>(got));
        if (from == socket &&
            (chunk.compare(0, 4, "GET ") == 0 || chunk.compare(0, 5, "POST ") == 0)) {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(chunk);
        }
        SendAll(from == socket ? server : socket, chunk);
    }
    shutdown(socket, SHUT_RDWR);
    close(server);
}

}  // namespace krmm_test
