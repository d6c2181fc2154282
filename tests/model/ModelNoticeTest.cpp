// Notices pass: one that is not working goes by itself unless a newer one has taken its place, a working one
// stays until its work ends (also beneath passing ones), and the demonstration notice stays to be looked at.
// Lifetimes are shortened; waits are bounded generously.
#include "AppTestSupport.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace std::chrono_literals;

namespace {
const Notice passing{"PDF 1개를 저장했습니다", false, std::filesystem::path("/tmp/photo-1.pdf")};
const Notice working{"PDF를 만드는 중입니다…", true, std::nullopt};
const Notice newer{"사진을 읽지 못했습니다: x.jpg", false, std::nullopt};

bool becomes(const PrintModel& model, const std::optional<Notice>& notice) {
    return QTest::qWaitFor([&] { return model.notice() == notice; }, 10000);
}
} // namespace

TEST(ModelNoticeTest, PassingNoticesGoAndAWorkingOneComesBackBeneathThemUntilItIsCleared) {
    AppTestSupport::Sandbox sandbox;
    PrintModel model(sandbox.environment());
    model.noticeLifetime = 50ms;
    model.showNotice(working);
    // Photos that cannot be read are named for a while only.
    TestSupport::writeFile(sandbox.photoFolder() / "x.jpg", "not a photo");
    AppTestSupport::addAndWait(model, {sandbox.photoFolder() / "x.jpg"});
    EXPECT_TRUE(becomes(model, working));
    // The same notice shown again starts its time again.
    model.noticeLifetime = 1h;
    model.showNotice(newer);
    model.noticeLifetime = 50ms;
    model.showNotice(newer);
    EXPECT_TRUE(becomes(model, working));
    // Cleared, the work's notice does not come back after a later passing one.
    model.clearNotice();
    model.showNotice(passing);
    EXPECT_TRUE(becomes(model, std::nullopt));
}

TEST(ModelNoticeTest, WorkingNewerAndDemonstrationNoticesOutliveTheLifetime) {
    AppTestSupport::Sandbox sandbox;
    PrintModel work(sandbox.environment()), replaced(sandbox.environment()), demo(sandbox.environment());
    for (PrintModel* model : {&work, &replaced, &demo})
        model->noticeLifetime = 50ms;
    work.showNotice(working);
    replaced.showNotice(passing);
    replaced.noticeLifetime = 1h;
    replaced.showNotice(newer); // the older notice's time is not its time
    {
        TestSupport::ScopedEnvironment show("QUILM_PRINT_SHOW_NOTICE", "1");
        demo.start();
    }
    ASSERT_TRUE(demo.notice());
    const Notice shown = *demo.notice();
    QTest::qWait(400); // eight lifetimes
    EXPECT_EQ(work.notice(), working);
    EXPECT_EQ(replaced.notice(), newer);
    EXPECT_EQ(demo.notice(), shown);
}
