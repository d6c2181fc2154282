// The updater of a configured build, through the menu command, against a feed served on loopback: a newer
// version offers its download page, the same or an older one says this version is the newest, a tampered or
// unreachable feed says why and changes nothing, and unsent sheets hold every check back. Every text is
// Korean.
#include "QuilmPrint/shell/FeedUpdater.h"

#include "AppTestSupport.h"
#include "FeedServer.h"
#include "QuilmPrint/shared/QtDesktop.h"
#include "QuilmPrint/shell/Updates.h"
#include "shared/RecordingDesktop.h"
#include "shared/WindowTestSupport.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using FeedTest::FeedKey;
using FeedTest::FeedServer;

namespace {

struct FeedUpdaterTest : ::testing::Test {
    RecordingDesktop& desktop = RecordingDesktop::install();
    AppTestSupport::Sandbox sandbox;
    FeedServer server;
    FeedKey key;
    const QString installed = Updates::installedVersion();
    ~FeedUpdaterTest() override { Updates::shared().reset(); }

    // The build as configured with this feed and key, started as the launch starts it.
    Updates& configured(const std::string& url, const std::string& publicKey) {
        Updates& updates = Updates::shared();
        updates.reset();
        updates.setBuildSettings({QString::fromStdString(url), QString::fromStdString(publicKey)});
        updates.start();
        return updates;
    }
    // "업데이트 확인…", then what the user was told once the check has answered.
    std::vector<RecordingDesktop::Asked> command(Updates& updates) {
        desktop.asked.clear();
        updates.checkCommand(nullptr);
        EXPECT_TRUE(AppTestSupport::waitFor([&] { return !desktop.asked.empty(); }, 20000));
        return desktop.asked;
    }
    std::vector<RecordingDesktop::Asked> serve(const std::string& envelope) {
        server.answer("/feed.json", 200, envelope);
        return command(configured(server.url("/feed.json"), key.publicKey()));
    }
};

// Korean throughout: once the program's name, "HTTP", versions and addresses are taken out, no Latin letter
// is left.
void expectKorean(const RecordingDesktop::Asked& asked) {
    for (const QString& text : {asked.title, asked.text, asked.accept, asked.reject}) {
        QString rest = text;
        rest.remove("Quilm Print").remove("HTTP").remove(QRegularExpression("https?://\\S+"));
        EXPECT_FALSE(rest.contains(QRegularExpression("[A-Za-z]"))) << text.toStdString();
    }
}

} // namespace

TEST_F(FeedUpdaterTest, ADefaultBuildHasNoUpdaterAndSaysSo) {
    if (!Updates::builtSettings().feedURL.isEmpty() && !Updates::builtSettings().publicKey.isEmpty())
        GTEST_SKIP() << "this build is configured for updates";
    Updates& updates = Updates::shared();
    updates.reset();
    updates.start();
    EXPECT_EQ(updates.controller(), nullptr);
    updates.checkCommand(nullptr);
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(desktop.asked[0].title, "이 빌드는 업데이트를 받지 않습니다");
}

TEST_F(FeedUpdaterTest, ANewerVersionOffersItsDownloadPage) {
    ASSERT_GT(UpdateFeed::compareVersions("99.0", installed.toStdString()), 0);
    desktop.confirmations = {true};
    const auto asked = serve(key.envelope(FeedTest::feedText("99.0", "고친 점: 용지 목록")));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, "confirm");
    EXPECT_EQ(asked[0].title, "새 버전이 나왔습니다");
    EXPECT_EQ(asked[0].text, "Quilm Print 99.0 버전을 받을 수 있습니다. 지금 쓰는 버전은 " + installed +
                                 "입니다.\n\n고친 점: 용지 목록");
    EXPECT_EQ(std::make_pair(asked[0].accept, asked[0].reject),
              std::make_pair(QString("다운로드 페이지 열기"), QString("나중에")));
    expectKorean(asked[0]);
    EXPECT_EQ(desktop.opened, std::vector<QUrl>{QUrl("https://example.invalid/download")});
    // Later: nothing opens.
    desktop.opened.clear();
    command(Updates::shared());
    EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(FeedUpdaterTest, TheSameOrAnOlderVersionSaysThisOneIsTheNewest) {
    ASSERT_GT(UpdateFeed::compareVersions(installed.toStdString(), "0.0.1"), 0);
    for (const std::string& version :
         {installed.toStdString(), installed.toStdString() + ".0", std::string("0.0.1")}) {
        const auto asked = serve(key.envelope(FeedTest::feedText(version)));
        ASSERT_EQ(asked.size(), 1u) << version;
        EXPECT_EQ(std::tie(asked[0].kind, asked[0].title, asked[0].text),
                  std::make_tuple(QString("alert"), QString("최신 버전을 쓰고 있습니다"),
                                  "지금 쓰는 Quilm Print " + installed + " 버전보다 새로운 버전이 없습니다."))
            << version;
        expectKorean(asked[0]);
    }
    EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(FeedUpdaterTest, ATamperedOrUnreachableFeedSaysWhyAndOffersNothing) {
    std::string tampered = key.envelope(FeedTest::feedText("99.0"));
    tampered.replace(tampered.find("99.0"), 4, "98.0");
    const std::string unsigned_ =
        nlohmann::json{{"feed", FeedTest::feedText("99.0")}, {"signature", ""}}.dump();
    // what the server answers (nothing: the feed's address refuses connections); the reason
    const std::pair<std::optional<std::string>, QString> cases[] = {
        {tampered, "업데이트 정보의 서명이 맞지 않습니다"},
        {unsigned_, "업데이트 정보의 서명이 맞지 않습니다"},
        {FeedKey().envelope(FeedTest::feedText("99.0")), "업데이트 정보의 서명이 맞지 않습니다"},
        {"<html>바뀐 주소</html>", "업데이트 정보를 읽지 못했습니다"},
        {std::nullopt, "업데이트 서버에 연결하지 못했습니다: 127.0.0.1"},
    };
    for (const auto& [answer, reason] : cases) {
        std::vector<RecordingDesktop::Asked> asked;
        if (answer)
            asked = serve(*answer);
        else
            asked = command(configured(FeedServer::closedURL("/feed.json"), key.publicKey()));
        ASSERT_EQ(asked.size(), 1u) << reason.toStdString();
        EXPECT_EQ(std::tie(asked[0].kind, asked[0].title, asked[0].text),
                  std::make_tuple(QString("alert"), QString("업데이트를 확인하지 못했습니다"),
                                  reason + "\n지금 쓰는 버전은 그대로입니다."));
        expectKorean(asked[0]);
    }
    EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(FeedUpdaterTest, AServerThatNeverAnswersEndsTheCheckWithinItsBounds) {
    server.stall("/feed.json");
    Updates& updates = Updates::shared();
    updates.reset();
    updates.setBuildSettings(
        {QString::fromStdString(server.url("/feed.json")), QString::fromStdString(key.publicKey())});
    updates.setControllerFactory([&](Updates& self) {
        return std::make_unique<FeedUpdater>(self, self.buildSettings(), installed,
                                             UpdateFeed::FetchLimits{1, 1});
    });
    updates.start();
    const auto asked = command(updates);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "업데이트 서버가 제때 응답하지 않았습니다\n지금 쓰는 버전은 그대로입니다.");
}

TEST_F(FeedUpdaterTest, UnsentSheetsHoldEveryCheckBack) {
    server.answer("/feed.json", 200, key.envelope(FeedTest::feedText("99.0")));
    PrintModel model(sandbox.environment());
    {
        TestSupport::ScopedEnvironment demo("QUILM_PRINT_DEMO_JOBS", "1");
        model.start();
    }
    const int unsent = model.unsentSheets();
    ASSERT_GE(unsent, 1);
    Updates& updates = configured(server.url("/feed.json"), key.publicKey());
    ASSERT_TRUE(updates.controller());
    EXPECT_FALSE(updates.updaterMayCheck());
    desktop.asked.clear();
    updates.checkCommand(nullptr);
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(std::tie(desktop.asked[0].title, desktop.asked[0].text),
              std::make_tuple(QString("지금은 업데이트를 확인할 수 없습니다"),
                              "보내지 않은 장 " + QString::number(unsent) +
                                  "장이 있습니다. 인쇄를 프린터로 보낸 뒤 다시 확인하세요."));
    // The updater asked by itself answers to the same question, silently.
    updates.controller()->checkForUpdates(nullptr);
    auto* updater = dynamic_cast<FeedUpdater*>(updates.controller());
    ASSERT_TRUE(updater);
    EXPECT_FALSE(updater->isChecking());
    QApplication::processEvents();
    EXPECT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(FeedUpdaterTest, TheNewVersionDialogShowsTheNotesAsWritten) {
    UpdateFeedAnswer found{{"99.0", "<b>굵게</b> 쓰지 않은 글\n둘째 줄", "https://example.invalid/download"},
                           true};
    const UpdateAnswer answer = updateAnswer(found, installed);
    QPushButton* accepting = nullptr;
    QMessageBox* box = QtDesktop::makeConfirmation(nullptr, answer.title, answer.text,
                                                   QStringLiteral("다운로드 페이지 열기"),
                                                   QStringLiteral("나중에"), &accepting);
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
