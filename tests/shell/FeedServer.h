// What the update tests need of the outside world, made at test time: an HTTP server on 127.0.0.1 that
// answers each path with what the test set (or holds the connection without answering) and counts the
// requests, and the feed's signing key, an Ed25519 key pair that OpenSSL generates, with the signing helper
// that wraps a feed into its signed envelope.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace FeedTest {

class FeedServer {
public:
    FeedServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            throw std::runtime_error("no loopback port");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~FeedServer() {
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
        for (int held : held_)
            ::close(held);
    }
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    void answer(const std::string& path, int status, std::string body) {
        std::lock_guard guard(lock_);
        routes_[path] = {status, std::move(body)};
    }
    // Takes the request and never answers.
    void stall(const std::string& path) { answer(path, 0, {}); }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int requests() const { return requests_; }

    // An address on loopback where nothing listens.
    static std::string closedURL() {
        const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(probe, reinterpret_cast<sockaddr*>(&address), size);
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
        ::close(probe); // bound, never listening, now closed: connections to it are refused
        return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/feed.json";
    }

private:
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
            std::pair<int, std::string> route{404, "not found"};
            {
                std::lock_guard guard(lock_);
                if (auto found = routes_.find(path); found != routes_.end())
                    route = found->second;
            }
            if (route.first == 0) {
                held_.push_back(client);
                continue;
            }
            const std::string reply = "HTTP/1.1 " + std::to_string(route.first) +
                                      " Answer\r\nContent-Length: " + std::to_string(route.second.size()) +
                                      "\r\nConnection: close\r\n\r\n" + route.second;
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
    std::map<std::string, std::pair<int, std::string>> routes_;
    std::vector<int> held_;
    std::atomic<int> requests_{0};
};

inline std::string base64(const unsigned char* bytes, std::size_t size) {
    std::string text(4 * ((size + 2) / 3), '\0');
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes, static_cast<int>(size));
    return text;
}

// A feed signing key pair, new for each test.
class FeedKey {
public:
    FeedKey() : key_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free) {
        if (!key_)
            throw std::runtime_error("no Ed25519 key");
    }
    // What the build is configured with: the base64 of the raw public key.
    std::string publicKey() const {
        unsigned char raw[32];
        std::size_t size = sizeof raw;
        EVP_PKEY_get_raw_public_key(key_.get(), raw, &size);
        return base64(raw, size);
    }
    std::string signature(const std::string& text) const {
        std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
        unsigned char signature[64];
        std::size_t size = sizeof signature;
        EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key_.get());
        EVP_DigestSign(context.get(), signature, &size, reinterpret_cast<const unsigned char*>(text.data()),
                       text.size());
        return base64(signature, size);
    }
    // The signed envelope of a feed text.
    std::string envelope(const std::string& feed) const {
        return nlohmann::json{{"feed", feed}, {"signature", signature(feed)}}.dump(2);
    }

private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_;
};

inline std::string feedText(const std::string& version, const std::string& notes = "고친 점: 용지 목록",
                            const std::string& page = "https://example.invalid/download") {
    return nlohmann::json{
        {"schemaVersion", 1}, {"version", version}, {"notes", notes}, {"downloadPage", page}}
        .dump();
}

} // namespace FeedTest
