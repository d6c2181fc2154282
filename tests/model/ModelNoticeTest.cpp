// Notices pass: one that is not working goes by itself, a newer one keeps its own time, a working one stays,
// and the demonstration notice stays to be looked at. Lifetimes are shortened; waits are bounded generously.
#include "AppTestSupport.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace std::chrono_literals;

namespace {
const Notice passing{"PDF 1개를 저장했습니다", false, std::filesystem::path("/tmp/photo-1.pdf")};
const Notice working{"PDF를 만드는 중입니다…", true, std::nullopt};

bool goneWithin(const PrintModel& model, int milliseconds = 10000) {
    return QTest::qWaitFor([&] { return !model.notice(); }, milliseconds);
}
} // namespace

TEST(ModelNoticeTest, PassingNoticeGoesByItselfAndAWorkingOneStays) {
    AppTestSupport::Sandbox sandbox;
    PrintModel model(sandbox.environment());
    EXPECT_EQ(model.noticeLifetime, 8000ms);
    model.noticeLifetime = 50ms;
    model.showNotice(passing);
    EXPECT_EQ(model.notice(), passing);
    EXPECT_TRUE(goneWithin(model));
    model.showNotice(working);
    QTest::qWait(400); // eight lifetimes
    EXPECT_EQ(model.notice(), working);
    model.clearNotice();
    EXPECT_FALSE(model.notice());
}

TEST(ModelNoticeTest, NewerNoticeIsNotClearedByTheOlderOnesTime) {
    AppTestSupport::Sandbox sandbox;
    PrintModel model(sandbox.environment());
    model.noticeLifetime = 50ms;
    model.showNotice(passing);
    model.noticeLifetime = 1h;
    const Notice newer{"사진을 읽지 못했습니다: x.jpg", false, std::nullopt};
    model.showNotice(newer);
    QTest::qWait(400); // the older notice's time is long over
    EXPECT_EQ(model.notice(), newer);
    // The same text shown again starts its time again.
    model.noticeLifetime = 50ms;
    model.showNotice(newer);
    EXPECT_TRUE(goneWithin(model));
}

TEST(ModelNoticeTest, WorkingNoticeComesBackWhenAPassingOneOverItHasGone) {
    AppTestSupport::Sandbox sandbox;
    PrintModel model(sandbox.environment());
    model.noticeLifetime = 50ms;
    model.showNotice(working);
    model.showNotice(passing);
    EXPECT_EQ(model.notice(), passing);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.notice() == working; }, 10000));
    QTest::qWait(200);
    EXPECT_EQ(model.notice(), working);
    // Cleared, the work's notice does not come back after a later passing one.
    model.clearNotice();
    model.showNotice(passing);
    EXPECT_TRUE(goneWithin(model));
}

TEST(ModelNoticeTest, UnreadablePhotosAreNamedForAWhileOnly) {
    AppTestSupport::Sandbox sandbox;
    PrintModel model(sandbox.environment());
    model.noticeLifetime = 200ms;
    std::string broken = AppTestSupport::plainJpeg(64, 64);
    broken.resize(broken.size() / 3);
    TestSupport::writeFile(sandbox.photoFolder() / "corrupt.jpg", broken);
    TestSupport::writeFile(sandbox.photoFolder() / "x.jpg", "not a photo");
    AppTestSupport::addAndWait(model,
                               {sandbox.photoFolder() / "corrupt.jpg", sandbox.photoFolder() / "x.jpg"});
    ASSERT_TRUE(model.notice());
    EXPECT_EQ(model.notice()->text, "사진을 읽지 못했습니다: corrupt.jpg, x.jpg");
    model.removeAllPhotos();
    TestSupport::writeFile(sandbox.photoFolder() / "good.jpg", AppTestSupport::plainJpeg(20, 10));
    AppTestSupport::addAndWait(model, {sandbox.photoFolder() / "good.jpg"});
    EXPECT_TRUE(goneWithin(model));
    EXPECT_EQ(model.photos().size(), 1u);
}

TEST(ModelNoticeTest, DemonstrationNoticeStaysUntilARealOneReplacesIt) {
    AppTestSupport::Sandbox sandbox;
    ::setenv("QUILM_PRINT_SHOW_NOTICE", "1", 1);
    PrintModel model(sandbox.environment());
    model.noticeLifetime = 50ms;
    model.start();
    ::unsetenv("QUILM_PRINT_SHOW_NOTICE");
    ASSERT_TRUE(model.notice());
    const Notice demo = *model.notice();
    QTest::qWait(400);
    EXPECT_EQ(model.notice(), demo);
    model.showNotice(passing);
    EXPECT_TRUE(goneWithin(model));
}
