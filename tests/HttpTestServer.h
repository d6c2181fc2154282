// An HTTP server on 127.0.0.1 for the tests of what the program downloads: each path answers with what the
// test set, is held without an answer, or is cut off halfway through its body; HEAD gets the headers alone,
// anything unset 404. It counts the requests it took.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace TestSupport {

class HttpTestServer {
public:
    HttpTestServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback();
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            throw std::runtime_error("no loopback port");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~HttpTestServer() {
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
        for (int held : held_)
            ::close(held);
    }
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    void answer(const std::string& path, int status, std::string body) {
        set(path, {status, std::move(body)});
    }
    // Takes the request and never answers.
    void stall(const std::string& path) { set(path, {0, {}, Route::held}); }
    // Announces the whole body, sends half of it and closes the connection.
    void cutShort(const std::string& path, std::string body) {
        set(path, {200, std::move(body), Route::cut});
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int requests() const { return requests_; }

    // An address on loopback where nothing listens: connections to it are refused.
    static std::string closedURL(const std::string& path) {
        const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback();
        socklen_t size = sizeof address;
        ::bind(probe, reinterpret_cast<sockaddr*>(&address), size);
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
        ::close(probe); // bound, never listening, now closed
        return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + path;
    }

private:
    struct Route {
        enum Kind { whole, held, cut };
        int status = 404;
        std::string body = "not found";
        Kind kind = whole;
    };

    static sockaddr_in loopback() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    void set(const std::string& path, Route route) {
        std::lock_guard guard(lock_);
        routes_[path] = std::move(route);
    }

    void serve() {
        for (;;) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            ++requests_;
            std::string request;
            char buffer[4096];
            ssize_t count;
            while (request.find("\r\n\r\n") == std::string::npos &&
                   (count = ::read(client, buffer, sizeof buffer)) > 0)
                request.append(buffer, static_cast<std::size_t>(count));
            const std::size_t start = request.find(' ') + 1;
            const std::string path = request.substr(start, request.find(' ', start) - start);
            Route route;
            {
                std::lock_guard guard(lock_);
                if (auto found = routes_.find(path); found != routes_.end())
                    route = found->second;
            }
            if (route.kind == Route::held) {
                held_.push_back(client);
                continue;
            }
            std::string reply = "HTTP/1.1 " + std::to_string(route.status) +
                                " Answer\r\nContent-Length: " + std::to_string(route.body.size()) +
                                "\r\nConnection: close\r\n\r\n";
            if (request.rfind("HEAD ", 0) != 0)
                reply += route.kind == Route::cut ? route.body.substr(0, route.body.size() / 2) : route.body;
            for (std::size_t sent = 0; sent < reply.size();) {
                const ssize_t written =
                    ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (written <= 0)
                    break;
                sent += static_cast<std::size_t>(written);
            }
            ::close(client);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::mutex lock_;
    std::map<std::string, Route> routes_;
    std::vector<int> held_;
    std::atomic<int> requests_{0};
};

} // namespace TestSupport
