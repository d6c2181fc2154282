// What the update tests need of the outside world, made at test time: a loopback HTTP server, and the feed's
// signing key, an Ed25519 key pair that OpenSSL generates, with the signing helper that wraps a feed into its
// signed envelope.
#pragma once

#include "HttpTestServer.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <stdexcept>
#include <string>

namespace FeedTest {

// The update server of the tests.
using FeedServer = TestSupport::HttpTestServer;

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
