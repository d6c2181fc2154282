// Driver installer look-up and download against a small HTTP server on 127.0.0.1 made by the test: a
// complete file, a missing one, a connection dropped half-way, a server that never answers, a full disk, and
// the verification step that refuses what it cannot check.
#include "PrintKit/printers/EpsonDriverDownload.h"

#include "HttpTestServer.h"
#include "TestSupport.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>

using namespace PrintKit;
using namespace TestSupport;
using Code = EpsonDriverDownloadErrorCode;

namespace {

// Serves /drivers/Good.dmg whole, /drivers/Drop.dmg only half before closing the connection, never answers
// for /drivers/Stall.dmg, and 404 for anything else.
struct DriverServer : HttpTestServer {
    explicit DriverServer(const std::string& body) {
        answer("/drivers/Good.dmg", 200, body);
        cutShort("/drivers/Drop.dmg", body);
        stall("/drivers/Stall.dmg");
    }
    std::string base() const { return url("/drivers/"); }
};

template <typename Call> void expectError(Call call, Code code, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "no error";
    } catch (const EpsonDriverDownloadError& error) {
        EXPECT_EQ(error.code(), code) << error.message();
        EXPECT_EQ(error.message().substr(0, message.size()), message);
    }
}

class EpsonDriverDownloadTest : public testing::Test {
protected:
    void SetUp() override {
        for (std::size_t index = 0; index < body_.size(); ++index) {
            body_[index] = static_cast<char>(index * 7 % 251);
        }
    }
    void TearDown() override { EpsonDriverDownload::setServer(""); }
    // What the cache folder holds, temporary files included.
    std::vector<std::string> cached() const {
        const auto folder = EpsonDriverDownload::cacheFolder();
        return std::filesystem::exists(folder) ? filesIn(folder) : std::vector<std::string>{};
    }

    TemporaryDirectory cache_;
    ScopedEnvironment cacheHome_{"XDG_CACHE_HOME", cache_.path().string()};
    std::string body_ = std::string(3 << 20, '\0');
};

TEST_F(EpsonDriverDownloadTest, FindsDownloadsAndRefusesToOpenWhatItCannotVerify) {
    DriverServer server(body_);
    EpsonDriverDownload::setServer(server.base());
    EXPECT_EQ(EpsonDriverDownload::cacheFolder(), cache_ / "local.quilm.print" / "EpsonDrivers");

    EXPECT_EQ(EpsonDriverDownload::find("Missing.dmg"), std::nullopt);
    const std::optional<std::string> url = EpsonDriverDownload::find("Good.dmg");
    ASSERT_EQ(url, server.base() + "Good.dmg");

    std::vector<double> fractions;
    const std::filesystem::path file =
        EpsonDriverDownload::download(*url, [&](double fraction) { fractions.push_back(fraction); });
    EXPECT_EQ(file, EpsonDriverDownload::cacheFolder() / "Good.dmg");
    EXPECT_TRUE(readFile(file) == body_);
    ASSERT_FALSE(fractions.empty());
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_EQ(fractions.back(), 1.0);
    EXPECT_EQ(std::count(fractions.begin(), fractions.end(), 1.0), 1);
    EXPECT_EQ(cached(), std::vector<std::string>{"Good.dmg"});

    // Never opened: deleted and refused.
    expectError([&] { EpsonDriverDownload::openInstaller(file); }, Code::cannotVerify,
                "드라이버 설치 파일의 서명을 확인할 수 없어 열지 않고 지웠습니다: Good.dmg");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(EpsonDriverDownloadTest, FailuresLeaveNothingUnderTheFinalName) {
    expectError([] { EpsonDriverDownload::find("Good.dmg"); }, Code::noServer,
                "이 빌드에는 드라이버 서버가 지정되어 있지 않습니다");
    DriverServer server(body_);
    EpsonDriverDownload::setServer(server.base());

    expectError([&] { EpsonDriverDownload::download(server.base() + "Drop.dmg", nullptr); }, Code::network,
                "드라이버 서버와 통신하지 못했습니다: ");
    expectError([&] { EpsonDriverDownload::download(server.base() + "Missing.dmg", nullptr); },
                Code::serverError, "드라이버 서버가 요청을 거절했습니다: HTTP 404");
    expectError([&] { EpsonDriverDownload::download(server.base(), nullptr); }, Code::invalidURL,
                "드라이버 주소를 쓸 수 없습니다: ");
    EXPECT_TRUE(cached().empty());

    // A server that never answers: cancelled from another thread.
    std::atomic<bool> cancel{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel = true;
    });
    expectError([&] { EpsonDriverDownload::find("Stall.dmg", &cancel); }, Code::cancelled,
                "드라이버 내려받기를 취소했습니다");
    canceller.join();

    // A disk that takes no more than 64 KiB: the write fails and is reported.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64 << 10;
    ::setrlimit(RLIMIT_FSIZE, &small);
    expectError([&] { EpsonDriverDownload::download(server.base() + "Good.dmg", nullptr); }, Code::cannotSave,
                "드라이버 설치 파일을 저장하지 못했습니다: ");
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(cached().empty());

    // Nobody listening any more.
    EpsonDriverDownload::setServer("http://127.0.0.1:1/");
    expectError([] { EpsonDriverDownload::find("Good.dmg"); }, Code::network,
                "드라이버 서버와 통신하지 못했습니다: ");
}

} // namespace
