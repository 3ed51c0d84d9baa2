#include "TestListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace krmm_test {
namespace {

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

void SendAll(int socket, const std::string& text) {
    for (size_t sent = 0; sent < text.size();) {
        const ssize_t n = send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

}  // namespace

std::string HttpAnswer(int status, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) +
           " X\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

bool TestListener::Start(uint16_t port) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = Loopback(port);
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
            const int client = poll(&entry, 1, 50) > 0 ? accept(listener_, nullptr, nullptr) : -1;
            if (client >= 0) {
                std::lock_guard<std::mutex> lock(mutex_);
                connections_.push_back(std::make_unique<Connection>(Connection{client, "", {}}));
                Connection* connection = connections_.back().get();
                connection->thread =
                    std::thread([this, connection, m = mode.load()] { Serve(connection, m); });
            }
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
    for (const std::unique_ptr<Connection>& connection : connections_) {
        shutdown(connection->socket, SHUT_RDWR);
        connection->thread.join();
        close(connection->socket);
    }
    connections_.clear();
}

void TestListener::Drop(const std::string& prefix) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::unique_ptr<Connection>& connection : connections_) {
        if (connection->head.compare(0, prefix.size(), prefix) == 0) {
            shutdown(connection->socket, SHUT_RDWR);
        }
    }
}

std::vector<std::string> TestListener::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

// Reads the client in chunks until it or the listener closes; a chunk that
// opens with a method starts a request (small heads come whole on the
// loopback).
void TestListener::Serve(Connection* connection, Mode mode) {
    int server = -1;
    if (mode == Mode::kForward) {
        server = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = Loopback(upstream);
        connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    char buffer[16384];
    while (!stopping_) {
        pollfd entries[2] = {{connection->socket, POLLIN, 0}, {server, POLLIN, 0}};
        if (poll(entries, server < 0 ? 1 : 2, 50) <= 0) {
            continue;
        }
        const bool fromClient = entries[0].revents != 0;
        const ssize_t got =
            recv(fromClient ? connection->socket : server, buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        const std::string chunk(buffer, static_cast<size_t>(got));
        if (!fromClient) {
            SendAll(connection->socket, chunk);
            continue;
        }
        if (chunk.compare(0, 4, "GET ") == 0 || chunk.compare(0, 5, "POST ") == 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(chunk);
            connection->head = chunk;
        }
        if (server >= 0) {
            SendAll(server, chunk);
        } else if (mode == Mode::kAnswer) {
            SendAll(connection->socket, answer ? answer(chunk) : std::string());
            break;
        }
    }
    shutdown(connection->socket, SHUT_RDWR);
    if (server >= 0) {
        close(server);
    }
}

}  // namespace krmm_test
