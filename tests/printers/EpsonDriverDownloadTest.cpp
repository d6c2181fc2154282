// Driver installer look-up and download against a small HTTP server on 127.0.0.1 made by the test: a
// complete file, a missing one, a connection dropped half-way, a server that never answers, a full disk, and
// the verification step that refuses what it cannot check.
#include "PrintKit/printers/EpsonDriverDownload.h"

#include "TestSupport.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace PrintKit;
using namespace TestSupport;
using Code = EpsonDriverDownloadErrorCode;

namespace {

// Serves /drivers/Good.dmg whole, /drivers/Drop.dmg only half before closing the connection, never answers
// for /drivers/Stall.dmg, and 404 for anything else. HEAD gets the headers alone.
class LoopbackServer {
public:
    explicit LoopbackServer(std::string body) : body_(std::move(body)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            throw std::runtime_error("no loopback port");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
        for (int held : held_) {
            ::close(held);
        }
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/drivers/"; }

private:
    void serve() {
        for (;;) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                return;
            }
            std::string request;
            char buffer[4096];
            ssize_t count;
            while (request.find("\r\n\r\n") == std::string::npos &&
                   (count = ::read(client, buffer, sizeof buffer)) > 0) {
                request.append(buffer, static_cast<std::size_t>(count));
            }
            const bool head = request.rfind("HEAD ", 0) == 0;
            const std::string path =
                request.substr(request.find(' ') + 1, request.find(" HTTP/") - request.find(' ') - 1);
            if (path == "/drivers/Stall.dmg") {
                held_.push_back(client);
                continue;
            }
            std::string reply;
            std::string body;
            if (path == "/drivers/Good.dmg" || path == "/drivers/Drop.dmg") {
                reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body_.size()) + "\r\n";
                body = path == "/drivers/Good.dmg" ? body_ : body_.substr(0, body_.size() / 2);
            } else {
                reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n";
                body = "not found";
            }
            reply += "Connection: close\r\n\r\n";
            if (!head) {
                reply += body;
            }
            for (std::size_t sent = 0; sent < reply.size();) {
                const ssize_t written =
                    ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (written <= 0) {
                    break;
                }
                sent += static_cast<std::size_t>(written);
            }
            ::close(client);
        }
    }

    std::string body_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::vector<int> held_;
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
    LoopbackServer server(body_);
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
    LoopbackServer server(body_);
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
