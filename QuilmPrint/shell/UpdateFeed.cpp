#include "QuilmPrint/shell/UpdateFeed.h"

#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>

namespace QuilmPrint {

using Code = UpdateFeedErrorCode;

std::string errorMessage(UpdateFeedErrorCode code, const std::string& detail) {
    auto with = [&](const char* text) { return detail.empty() ? std::string(text) : text + (": " + detail); };
    switch (code) {
    case Code::unreachable:
        return with("업데이트 서버에 연결하지 못했습니다");
    case Code::timedOut:
        return "업데이트 서버가 제때 응답하지 않았습니다";
    case Code::serverError:
        return with("업데이트 서버가 요청에 답하지 못했습니다");
    case Code::tooLarge:
        return "받은 업데이트 정보가 너무 큽니다";
    case Code::badKey:
        return "이 빌드의 업데이트 서명 키가 올바르지 않습니다";
    case Code::badSignature:
        return "업데이트 정보의 서명이 맞지 않습니다";
    case Code::unreadable:
        return "업데이트 정보를 읽지 못했습니다";
    case Code::cancelled:
        return "업데이트 확인을 멈췄습니다";
    }
    return "업데이트를 확인하지 못했습니다";
}

namespace UpdateFeed {

namespace {

constexpr std::size_t ed25519KeySize = 32;
constexpr std::size_t ed25519SignatureSize = 64;
constexpr int schemaVersion = 1;

struct Transfer {
    std::string body;
    std::size_t maxBytes = 0;
    bool tooLarge = false;
    const std::atomic<bool>* stop = nullptr;
};

std::size_t onData(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    if (transfer->body.size() + bytes > transfer->maxBytes) {
        transfer->tooLarge = true;
        return 0; // curl ends the transfer with a write error
    }
    transfer->body.append(data, bytes);
    return bytes;
}

int onProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* transfer = static_cast<const Transfer*>(context);
    return transfer->stop && transfer->stop->load() ? 1 : 0;
}

// The host the address names, for the message of a server that cannot be reached.
std::string hostOf(const std::string& url) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), &curl_url_cleanup);
    char* host = nullptr;
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK || !host)
        return {};
    std::string result(host);
    curl_free(host);
    return result;
}

bool isDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<std::vector<std::string_view>> numbersOf(std::string_view version) {
    std::vector<std::string_view> numbers;
    for (std::size_t start = 0;;) {
        const std::size_t dot = version.find('.', start);
        const std::string_view number =
            version.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (!isDigits(number))
            return std::nullopt;
        numbers.push_back(number);
        if (dot == std::string_view::npos)
            return numbers;
        start = dot + 1;
    }
}

// Compares two runs of digits by value, of any length.
int compareNumbers(std::string_view a, std::string_view b) {
    auto significant = [](std::string_view digits) {
        const std::size_t first = digits.find_first_not_of('0');
        return first == std::string_view::npos ? std::string_view() : digits.substr(first);
    };
    a = significant(a);
    b = significant(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int order = a.compare(b);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

bool verifies(const std::vector<unsigned char>& key, const std::vector<unsigned char>& signature,
              std::string_view message) {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> publicKey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()), &EVP_PKEY_free);
    if (!publicKey)
        throw UpdateFeedError(Code::badKey);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) != 1)
        throw UpdateFeedError(Code::badKey);
    return EVP_DigestVerify(context.get(), signature.data(), signature.size(),
                            reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
}

std::vector<unsigned char> publicKeyBytes(std::string_view publicKey) {
    auto key = decodeBase64(publicKey);
    if (!key || key->size() != ed25519KeySize)
        throw UpdateFeedError(Code::badKey);
    return std::move(*key);
}

bool isWebAddress(const std::string& text) {
    for (const char* scheme : {"https://", "http://"}) {
        const std::string_view prefix(scheme);
        if (text.size() > prefix.size() && text.compare(0, prefix.size(), prefix) == 0)
            return text.find_first_of(" \t\r\n") == std::string::npos;
    }
    return false;
}

} // namespace

std::optional<std::vector<unsigned char>> decodeBase64(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    if (text.size() % 4 != 0)
        return std::nullopt;
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        return c == '+' ? 62 : c == '/' ? 63 : -1;
    };
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (padding == 1 && text[i + 2] == '=')
            return std::nullopt; // "x=y=" is not padding
        std::uint32_t group = 0;
        for (int k = 0; k < 4; ++k) {
            const int v = k >= 4 - padding ? 0 : value(text[i + k]);
            if (v < 0)
                return std::nullopt;
            group = group << 6 | std::uint32_t(v);
        }
        bytes.push_back(static_cast<unsigned char>(group >> 16));
        if (padding < 2)
            bytes.push_back(static_cast<unsigned char>(group >> 8));
        if (padding < 1)
            bytes.push_back(static_cast<unsigned char>(group));
    }
    return bytes;
}

std::optional<int> compareVersions(std::string_view a, std::string_view b) {
    const auto left = numbersOf(a);
    const auto right = numbersOf(b);
    if (!left || !right)
        return std::nullopt;
    for (std::size_t i = 0; i < std::max(left->size(), right->size()); ++i) {
        const std::string_view x = i < left->size() ? (*left)[i] : "0";
        const std::string_view y = i < right->size() ? (*right)[i] : "0";
        if (const int order = compareNumbers(x, y))
            return order;
    }
    return 0;
}

std::string fetch(const std::string& url, const FetchLimits& limits, const std::atomic<bool>* stop) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), &curl_easy_cleanup);
    if (!handle)
        throw UpdateFeedError(Code::unreachable, hostOf(url));
    CURL* curl = handle.get();
    Transfer transfer;
    transfer.maxBytes = limits.maxBytes;
    transfer.stop = stop;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, limits.totalSeconds);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quilm Print");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    const CURLcode result = curl_easy_perform(curl);
    if (result == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 200 && status < 300)
            return transfer.body;
        throw UpdateFeedError(Code::serverError, "HTTP " + std::to_string(status));
    }
    if (transfer.tooLarge)
        throw UpdateFeedError(Code::tooLarge);
    if (result == CURLE_ABORTED_BY_CALLBACK)
        throw UpdateFeedError(Code::cancelled);
    if (result == CURLE_OPERATION_TIMEDOUT)
        throw UpdateFeedError(Code::timedOut);
    throw UpdateFeedError(Code::unreachable, hostOf(url));
}

UpdateFeedEntry read(std::string_view envelope, std::string_view publicKey) {
    const std::vector<unsigned char> key = publicKeyBytes(publicKey);
    const nlohmann::json outer = nlohmann::json::parse(envelope.begin(), envelope.end(), nullptr, false);
    if (!outer.is_object() || !outer.contains("feed") || !outer["feed"].is_string() ||
        !outer.contains("signature") || !outer["signature"].is_string())
        throw UpdateFeedError(Code::unreadable);
    const std::string& feed = outer["feed"].get_ref<const std::string&>();
    const auto signature = decodeBase64(outer["signature"].get_ref<const std::string&>());
    // Nothing of the feed is looked at before its signature holds.
    if (!signature || signature->size() != ed25519SignatureSize || !verifies(key, *signature, feed))
        throw UpdateFeedError(Code::badSignature);

    const nlohmann::json inner = nlohmann::json::parse(feed, nullptr, false);
    if (!inner.is_object() || !inner.contains("schemaVersion") ||
        !inner["schemaVersion"].is_number_integer() ||
        inner["schemaVersion"].get<long long>() != schemaVersion)
        throw UpdateFeedError(Code::unreadable);
    for (const char* field : {"version", "notes", "downloadPage"})
        if (!inner.contains(field) || !inner[field].is_string())
            throw UpdateFeedError(Code::unreadable);
    UpdateFeedEntry entry{inner["version"].get<std::string>(), inner["notes"].get<std::string>(),
                          inner["downloadPage"].get<std::string>()};
    if (!numbersOf(entry.version) || !isWebAddress(entry.downloadPage))
        throw UpdateFeedError(Code::unreadable);
    return entry;
}

UpdateFeedAnswer check(const std::string& url, std::string_view publicKey, std::string_view installedVersion,
                       const FetchLimits& limits, const std::atomic<bool>* stop) {
    publicKeyBytes(publicKey); // a build with a broken key asks the server nothing
    UpdateFeedAnswer answer;
    answer.entry = read(fetch(url, limits, stop), publicKey);
    // An installed version that is not dotted numbers (a developer's build) is older than any release.
    answer.newer = compareVersions(answer.entry.version, installedVersion).value_or(1) > 0;
    return answer;
}

} // namespace UpdateFeed

} // namespace QuilmPrint
