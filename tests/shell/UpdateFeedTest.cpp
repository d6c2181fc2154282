// The update feed without Qt: versions compared as dotted numbers, a feed read only under its signature, and
// fetching that ends, with a reason, for every way a server can fail.
#include "QuilmPrint/shell/UpdateFeed.h"

#include "FeedServer.h"
#include "TestSupport.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using Code = UpdateFeedErrorCode;
using FeedTest::FeedKey;
using FeedTest::FeedServer;

namespace {

template <typename Call> std::optional<Code> failure(Call call) {
    try {
        call();
    } catch (const UpdateFeedError& error) {
        return error.code();
    }
    return std::nullopt;
}

} // namespace

TEST(UpdateFeedTest, VersionsCompareAsDottedNumbers) {
    // a, b, a against b (nothing: not a version)
    const std::tuple<std::string, std::string, std::optional<int>> cases[] = {
        {"1.2", "1.2.0", 0},
        {"1.10", "1.9", 1},
        {"0.1", "0.1.1", -1},
        {"2", "1.99.99", 1},
        {"01.002", "1.2", 0},
        {"1.123456789012345678901234567890", "1.123456789012345678901234567889", 1},
        {"1.2", "1.2a", std::nullopt},
        {"1..2", "1.2", std::nullopt},
        {"", "0", std::nullopt},
        {"1.2.", "1.2", std::nullopt},
        {"-1", "1", std::nullopt},
        {"v1.2", "1.2", std::nullopt},
    };
    for (const auto& [a, b, order] : cases) {
        EXPECT_EQ(UpdateFeed::compareVersions(a, b), order) << a << " " << b;
        if (order) { // the other way round
            EXPECT_EQ(UpdateFeed::compareVersions(b, a), -*order) << b << " " << a;
        }
    }
}

TEST(UpdateFeedTest, AFeedIsReadOnlyUnderTheBuildsKey) {
    const FeedKey key, other;
    const std::string feed = FeedTest::feedText("1.4.0", "새 용지 프로파일", "https://example.invalid/get");
    const UpdateFeedEntry entry = UpdateFeed::read(key.envelope(feed), key.publicKey());
    EXPECT_EQ(entry, (UpdateFeedEntry{"1.4.0", "새 용지 프로파일", "https://example.invalid/get"}));

    std::string tampered = feed;
    tampered.replace(tampered.find("1.4.0"), 5, "9.4.0");
    const std::string signature = key.signature(feed);
    auto envelope = [](const std::string& text, const std::string& signed_) {
        return nlohmann::json{{"feed", text}, {"signature", signed_}}.dump();
    };
    // envelope, key; the failure
    const std::tuple<std::string, std::string, Code> cases[] = {
        {envelope(tampered, signature), key.publicKey(), Code::badSignature},
        {other.envelope(feed), key.publicKey(), Code::badSignature},
        {key.envelope(feed), other.publicKey(), Code::badSignature},
        {envelope(feed, "not base64!"), key.publicKey(), Code::badSignature},
        {envelope(feed, signature.substr(4)), key.publicKey(), Code::badSignature},
        {key.envelope(feed), "AAAA", Code::badKey},
        {key.envelope(feed), "", Code::badKey},
        {"<html>not a feed</html>", key.publicKey(), Code::unreadable},
        {R"({"feed": 1, "signature": "AAAA"})", key.publicKey(), Code::unreadable},
        {key.envelope("not json"), key.publicKey(), Code::unreadable},
        {key.envelope(
             R"({"schemaVersion": 2, "version": "2", "notes": "", "downloadPage": "https://a.invalid"})"),
         key.publicKey(), Code::unreadable},
        {key.envelope(R"({"schemaVersion": 1, "version": "2", "downloadPage": "https://a.invalid"})"),
         key.publicKey(), Code::unreadable},
        {key.envelope(FeedTest::feedText("2.0 beta")), key.publicKey(), Code::unreadable},
        {key.envelope(FeedTest::feedText("2.0", "", "file:///etc/passwd")), key.publicKey(),
         Code::unreadable},
        {key.envelope(FeedTest::feedText("2.0", "", "javascript:alert(1)")), key.publicKey(),
         Code::unreadable},
    };
    for (const auto& [text, publicKey, code] : cases) {
        const std::string& given = text;
        const std::string& givenKey = publicKey;
        EXPECT_EQ(failure([&] { UpdateFeed::read(given, givenKey); }), code) << text;
    }
}

TEST(UpdateFeedTest, TheSigningStepsOfTheOpenSSLCommandLineMakeAFeedTheProgramReads) {
    // A release's steps, as the README gives them: the key pair and the signature from the openssl command.
    TestSupport::TemporaryDirectory folder;
    const std::string feed = FeedTest::feedText("3.1", "줄 바꿈\n두 번째 줄");
    TestSupport::writeFile(folder / "feed.json", feed);
    const std::string in = "cd '" + folder.path().string() + "' && ";
    ASSERT_EQ(std::system((in + "openssl genpkey -algorithm ed25519 -out key.pem 2>/dev/null").c_str()), 0);
    ASSERT_EQ(
        std::system((in + "openssl pkey -in key.pem -pubout -outform DER | tail -c 32 | base64 -w0 > public"
                          " && openssl pkeyutl -sign -rawin -inkey key.pem -in feed.json | base64 -w0 > sig")
                        .c_str()),
        0);
    const std::string envelope =
        nlohmann::json{{"feed", feed}, {"signature", TestSupport::readFile(folder / "sig")}}.dump();
    EXPECT_EQ(UpdateFeed::read(envelope, TestSupport::readFile(folder / "public")).version, "3.1");
}

TEST(UpdateFeedTest, FetchingEndsWithTheBodyOrWithWhyNot) {
    FeedServer server;
    server.answer("/feed.json", 200, "the feed");
    server.answer("/big.json", 200, std::string(300 * 1024, 'x'));
    server.answer("/gone.json", 404, "not here");
    server.stall("/stall.json");
    const UpdateFeed::FetchLimits quick{1, 1, 256 * 1024};
    EXPECT_EQ(UpdateFeed::fetch(server.url("/feed.json"), quick), "the feed");
    // path, the failure, its message
    const std::tuple<std::string, Code, std::string> cases[] = {
        {server.url("/big.json"), Code::tooLarge, "받은 업데이트 정보가 너무 큽니다"},
        {server.url("/gone.json"), Code::serverError, "업데이트 서버가 요청에 답하지 못했습니다: HTTP 404"},
        {server.url("/stall.json"), Code::timedOut, "업데이트 서버가 제때 응답하지 않았습니다"},
        {FeedServer::closedURL("/feed.json"), Code::unreachable,
         "업데이트 서버에 연결하지 못했습니다: 127.0.0.1"},
        {"ftp://127.0.0.1/feed.json", Code::unreachable, "업데이트 서버에 연결하지 못했습니다: 127.0.0.1"},
    };
    for (const auto& [url, code, message] : cases) {
        try {
            UpdateFeed::fetch(url, quick);
            ADD_FAILURE() << url << ": no error";
        } catch (const UpdateFeedError& error) {
            EXPECT_EQ(std::make_pair(error.code(), error.message()), std::make_pair(code, message)) << url;
        }
    }
    // A program that ends stops its check at once, however long the server would take.
    const std::atomic<bool> stop{true};
    EXPECT_EQ(failure([&] { UpdateFeed::fetch(server.url("/stall.json"), {}, &stop); }), Code::cancelled);
}

TEST(UpdateFeedTest, ABuildWithABrokenKeyAsksTheServerNothing) {
    FeedServer server;
    server.answer("/feed.json", 200, FeedKey().envelope(FeedTest::feedText("9")));
    EXPECT_EQ(failure([&] { UpdateFeed::check(server.url("/feed.json"), "QUJD", "0.1"); }), Code::badKey);
    EXPECT_EQ(server.requests(), 0);
}

TEST(UpdateFeedTest, Base64IsReadStrictly) {
    using Bytes = std::vector<unsigned char>;
    EXPECT_EQ(UpdateFeed::decodeBase64("TWFu"), (Bytes{'M', 'a', 'n'}));
    EXPECT_EQ(UpdateFeed::decodeBase64(" TWE=\n"), (Bytes{'M', 'a'}));
    EXPECT_EQ(UpdateFeed::decodeBase64("TQ=="), (Bytes{'M'}));
    for (const char* bad : {"", "TWF", "TQ=a", "T===", "TW=u", "TWFu====", "TW u", "TWF*"})
        EXPECT_EQ(UpdateFeed::decodeBase64(bad), std::nullopt) << bad;
}
