// The updater of a configured build and the feed it reads, served on loopback: versions compared as dotted
// numbers, a feed read only under the build's key, fetching that ends with a reason for every way a server
// fails, and the menu command's answer to each kind of feed.
#include "AppTestSupport.h"
#include "HttpTestServer.h"
#include "QuilmPrint/shared/QtDesktop.h"
#include "QuilmPrint/shell/FeedUpdater.h"
#include "shared/RecordingDesktop.h"
#include "shared/WindowTestSupport.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>

using namespace QuilmPrint;
using Code = UpdateFeedErrorCode;
using TestSupport::HttpTestServer;

namespace {

std::string base64(const unsigned char* bytes, std::size_t size) {
    std::string text(4 * ((size + 2) / 3), '\0');
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes, static_cast<int>(size));
    return text;
}

std::string envelope(const std::string& feed, const std::string& signature) {
    return nlohmann::json{{"feed", feed}, {"signature", signature}}.dump();
}

// A release's signing key, new for each test.
class FeedKey {
public:
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
    std::string envelope(const std::string& feed) const { return ::envelope(feed, signature(feed)); }

private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_{EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"),
                                                             &EVP_PKEY_free};
};

std::string feedText(const std::string& version, const std::string& notes = "고친 점: 용지 목록",
                     const std::string& page = "https://example.invalid/download") {
    return nlohmann::json{
        {"schemaVersion", 1}, {"version", version}, {"notes", notes}, {"downloadPage", page}}
        .dump();
}

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
        {"", "0", std::nullopt},
        {"1.2.", "1.2", std::nullopt},
        {"v1.2", "1.2", std::nullopt},
    };
    for (const auto& [a, b, order] : cases) {
        EXPECT_EQ(UpdateFeed::compareVersions(a, b), order) << a << " " << b;
        if (order) {
            EXPECT_EQ(UpdateFeed::compareVersions(b, a), -*order) << b << " " << a;
        }
    }
}

TEST(UpdateFeedTest, AFeedIsReadOnlyUnderTheBuildsKey) {
    const FeedKey key, other;
    const std::string feed = feedText("1.4.0", "새 용지 프로파일", "https://example.invalid/get");
    EXPECT_EQ(UpdateFeed::read(key.envelope(feed), key.publicKey()),
              (UpdateFeedEntry{"1.4.0", "새 용지 프로파일", "https://example.invalid/get"}));
    std::string tampered = feed;
    tampered.replace(tampered.find("1.4.0"), 5, "9.4.0");
    EXPECT_EQ(failure([&] { UpdateFeed::read(key.envelope(feed), "AAAA"); }), Code::badKey);
    const std::string page = R"("downloadPage": "https://a.invalid")";
    // the envelope; the failure
    const std::pair<std::string, Code> cases[] = {
        {envelope(tampered, key.signature(feed)), Code::badSignature},
        {other.envelope(feed), Code::badSignature},
        {envelope(feed, ""), Code::badSignature},
        {envelope(feed, "not base64!"), Code::badSignature},
        {"<html>not a feed</html>", Code::unreadable},
        {R"({"feed": 1, "signature": "AAAA"})", Code::unreadable},
        {key.envelope("not json"), Code::unreadable},
        {key.envelope(R"({"schemaVersion": 2, "version": "2", "notes": "", )" + page + "}"),
         Code::unreadable},
        {key.envelope(R"({"schemaVersion": 1, "version": "2", )" + page + "}"), Code::unreadable},
        {key.envelope(feedText("2.0 beta")), Code::unreadable},
        {key.envelope(feedText("2.0", "", "file:///etc/passwd")), Code::unreadable},
    };
    for (const auto& [text, code] : cases) {
        const std::string& given = text;
        EXPECT_EQ(failure([&] { UpdateFeed::read(given, key.publicKey()); }), code) << text;
    }
}

TEST(UpdateFeedTest, TheSigningStepsOfTheOpenSSLCommandLineMakeAFeedTheProgramReads) {
    // A release's steps as the README gives them, on a feed written by hand.
    TestSupport::TemporaryDirectory folder;
    const std::string feed =
        "{\"schemaVersion\": 1, \"version\": \"3.1\", \"notes\": \"줄 바꿈\\n두 번째 줄\",\n"
        " \"downloadPage\": \"https://example.invalid/3.1\"}\n";
    TestSupport::writeFile(folder / "feed.json", feed);
    const std::string in = "cd '" + folder.path().string() + "' && ";
    ASSERT_EQ(std::system((in + "openssl genpkey -algorithm ed25519 -out key.pem 2>/dev/null").c_str()), 0);
    ASSERT_EQ(
        std::system((in + "openssl pkey -in key.pem -pubout -outform DER | tail -c 32 | base64 -w0 > public"
                          " && openssl pkeyutl -sign -rawin -inkey key.pem -in feed.json | base64 -w0 > sig")
                        .c_str()),
        0);
    EXPECT_EQ(UpdateFeed::read(envelope(feed, TestSupport::readFile(folder / "sig")),
                               TestSupport::readFile(folder / "public"))
                  .version,
              "3.1");
}

TEST(UpdateFeedTest, FetchingEndsWithTheBodyOrWithWhyNot) {
    HttpTestServer server;
    server.answer("/feed.json", 200, "the feed");
    server.answer("/big.json", 200, std::string(300 * 1024, 'x'));
    server.answer("/gone.json", 404, "not here");
    server.stall("/stall.json");
    const UpdateFeed::FetchLimits quick{1, 1, 256 * 1024};
    EXPECT_EQ(UpdateFeed::fetch(server.url("/feed.json"), quick), "the feed");
    // address, the failure, its message
    const std::tuple<std::string, Code, std::string> cases[] = {
        {server.url("/big.json"), Code::tooLarge, "받은 업데이트 정보가 너무 큽니다"},
        {server.url("/gone.json"), Code::serverError, "업데이트 서버가 요청에 답하지 못했습니다: HTTP 404"},
        {server.url("/stall.json"), Code::timedOut, "업데이트 서버가 제때 응답하지 않았습니다"},
        {HttpTestServer::closedURL("/feed.json"), Code::unreachable,
         "업데이트 서버에 연결하지 못했습니다: 127.0.0.1"},
        {"file:///etc/hostname", Code::unreachable, "업데이트 서버에 연결하지 못했습니다"},
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
    // A build with a broken key asks the server nothing.
    const int asked = server.requests();
    EXPECT_EQ(failure([&] { UpdateFeed::check(server.url("/feed.json"), "QUJD", "0.1"); }), Code::badKey);
    EXPECT_EQ(server.requests(), asked);
}

TEST(UpdateFeedTest, Base64IsReadStrictly) {
    using Bytes = std::vector<unsigned char>;
    EXPECT_EQ(UpdateFeed::decodeBase64("TWFu"), (Bytes{'M', 'a', 'n'}));
    EXPECT_EQ(UpdateFeed::decodeBase64(" TWE=\n"), (Bytes{'M', 'a'}));
    EXPECT_EQ(UpdateFeed::decodeBase64("TQ=="), (Bytes{'M'}));
    for (const char* bad : {"", "TWF", "TQ=a", "T===", "TW=u", "TWFu====", "TW u", "TWF*"})
        EXPECT_EQ(UpdateFeed::decodeBase64(bad), std::nullopt) << bad;
}

namespace {

struct FeedUpdaterTest : ::testing::Test {
    RecordingDesktop& desktop = RecordingDesktop::install();
    HttpTestServer server;
    FeedKey key;
    const QString installed = Updates::installedVersion();
    ~FeedUpdaterTest() override { Updates::shared().reset(); }

    // A build configured with this feed and the key, started as the launch starts it; unless it is the
    // build's own, its updater gives a silent server a second.
    Updates& configured(const std::string& url, bool own = false) {
        Updates& updates = Updates::shared();
        updates.reset();
        updates.setBuildSettings({QString::fromStdString(url), QString::fromStdString(key.publicKey())});
        if (!own) {
            updates.setControllerFactory([this](Updates& self) {
                return std::make_unique<FeedUpdater>(self, self.buildSettings(), installed,
                                                     UpdateFeed::FetchLimits{1, 1});
            });
        }
        updates.start();
        return updates;
    }
    // "업데이트 확인…", then what the user was told once the check has answered.
    std::vector<RecordingDesktop::Asked> command(const std::string& url) {
        desktop.asked.clear();
        configured(url).checkCommand(nullptr);
        EXPECT_TRUE(AppTestSupport::waitFor([&] { return !desktop.asked.empty(); }, 20000));
        return desktop.asked;
    }
    std::string served(const std::string& body) {
        const std::string path = "/feed-" + std::to_string(++routes) + ".json";
        server.answer(path, 200, body);
        return server.url(path);
    }
    int routes = 0;
};

} // namespace

TEST_F(FeedUpdaterTest, EveryFeedIsAnsweredAndOnlyANewerOneOffersItsPage) {
    ASSERT_GT(UpdateFeed::compareVersions("99.0", installed.toStdString()), 0);
    ASSERT_GT(UpdateFeed::compareVersions(installed.toStdString(), "0.0.1"), 0);
    std::string tampered = key.envelope(feedText("99.0"));
    tampered.replace(tampered.find("99.0"), 4, "98.0");
    server.stall("/stall.json");
    const QString newer = "새 버전이 나왔습니다", newest = "최신 버전을 쓰고 있습니다",
                  failed = "업데이트를 확인하지 못했습니다", kept = "\n지금 쓰는 버전은 그대로입니다.",
                  noNewer = "지금 쓰는 Quilm Print " + installed + " 버전보다 새로운 버전이 없습니다.";
    // the feed's address; the title and text of the answer
    const std::tuple<std::string, QString, QString> cases[] = {
        {served(key.envelope(feedText("99.0"))), newer,
         "Quilm Print 99.0 버전을 받을 수 있습니다. 지금 쓰는 버전은 " + installed +
             "입니다.\n\n고친 점: 용지 목록"},
        {served(key.envelope(feedText(installed.toStdString()))), newest, noNewer},
        {served(key.envelope(feedText("0.0.1"))), newest, noNewer},
        {served(tampered), failed, "업데이트 정보의 서명이 맞지 않습니다" + kept},
        {served("<html>바뀐 주소</html>"), failed, "업데이트 정보를 읽지 못했습니다" + kept},
        {server.url("/stall.json"), failed, "업데이트 서버가 제때 응답하지 않았습니다" + kept},
        {HttpTestServer::closedURL("/feed.json"), failed,
         "업데이트 서버에 연결하지 못했습니다: 127.0.0.1" + kept},
    };
    desktop.confirmations = {true};
    for (const auto& [url, title, text] : cases) {
        const auto asked = command(url);
        ASSERT_EQ(asked.size(), 1u) << text.toStdString();
        EXPECT_EQ(std::tie(asked[0].kind, asked[0].title, asked[0].text),
                  std::make_tuple(QString(title == newer ? "confirm" : "alert"), title, text));
    }
    EXPECT_EQ(desktop.opened, std::vector<QUrl>{QUrl("https://example.invalid/download")});
    // "나중에" opens nothing.
    desktop.opened.clear();
    const auto later = command(std::get<0>(cases[0]));
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(std::make_pair(later[0].accept, later[0].reject),
              std::make_pair(QString("다운로드 페이지 열기"), QString("나중에")));
    EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(FeedUpdaterTest, UnsentSheetsHoldBackTheCommandAndTheUpdaterAskedByItself) {
    server.answer("/feed.json", 200, key.envelope(feedText("99.0")));
    AppTestSupport::Sandbox sandbox;
    PrintModel model(sandbox.environment());
    {
        TestSupport::ScopedEnvironment demo("QUILM_PRINT_DEMO_JOBS", "1");
        model.start();
    }
    ASSERT_GE(model.unsentSheets(), 1);
    Updates& updates = configured(server.url("/feed.json"), true);
    auto* updater = dynamic_cast<FeedUpdater*>(updates.controller());
    ASSERT_TRUE(updater);
    updates.checkCommand(nullptr);
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(desktop.asked[0].title, "지금은 업데이트를 확인할 수 없습니다");
    updater->checkForUpdates(nullptr); // silently
    EXPECT_FALSE(updater->isChecking());
    QApplication::processEvents();
    EXPECT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(FeedUpdaterTest, TheNewVersionDialogShowsTheNotesAsWritten) {
    const UpdateAnswer answer = updateAnswer(
        UpdateFeedAnswer{{"99.0", "<b>굵게</b> 쓰지 않은 글\n둘째 줄", "https://example.invalid/download"},
                         true},
        installed);
    QPushButton* accepting = nullptr;
    QMessageBox* box = QtDesktop::makeConfirmation(nullptr, answer.title, answer.text, "다운로드 페이지 열기",
                                                   "나중에", &accepting);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
    auto* text = box->findChild<QLabel*>("qt_msgbox_informativelabel");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->textFormat(), Qt::PlainText);
    EXPECT_TRUE(text->text().endsWith("<b>굵게</b> 쓰지 않은 글\n둘째 줄"));
    EXPECT_EQ(accepting->text(), "다운로드 페이지 열기");
    WindowTest::saveArtifact(box, "update-new-version");
    box->close();
}
