// Exported sheets: named after their photo, never replacing a file, written whole or not at all.
#include "AppTestSupport.h"
#include "QuilmPrint/model/PDFExport.h"
#include "TestSupport.h"
#include "doubles/SetupDouble.h"
#include "doubles/TestQueues.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using TestSupport::readFile;
using TestSupport::writeFile;

TEST(ExportTest, NamesCountUpPastFilesThatAreThere) {
    TestSupport::TemporaryDirectory folder;
    writeFile(folder / "IMG_1.pdf", "mine");
    writeFile(folder / "IMG_1 (2).pdf", "mine too");
    const std::string contents[] = {"first", "second", "third"};
    std::vector<std::string> names;
    for (const std::string& content : contents) {
        writeFile(folder / "QuilmPrint-rendered.pdf", content);
        names.push_back(
            PDFExport::place(folder / "QuilmPrint-rendered.pdf", folder.path(), "IMG_1").filename().string());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"IMG_1 (3).pdf", "IMG_1 (4).pdf", "IMG_1 (5).pdf"}));
    EXPECT_EQ(readFile(folder / "IMG_1.pdf"), "mine");
    EXPECT_EQ(readFile(folder / "IMG_1 (2).pdf"), "mine too");
    EXPECT_EQ(readFile(folder / "IMG_1 (4).pdf"), "second");
    EXPECT_FALSE(std::filesystem::exists(folder / "QuilmPrint-rendered.pdf"));
    EXPECT_EQ(PDFExport::fileName("페이지 1", 1), "페이지 1.pdf");
}

namespace {

class ExportModelTest : public testing::Test {
protected:
    std::vector<std::string> filesIn(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    AppTestSupport::Sandbox sandbox_;
    std::shared_ptr<TestDoubles::SetupDouble> setup_ = std::make_shared<TestDoubles::SetupDouble>();
};

bool finished(const PrintModel& model) {
    return model.notice() && !model.notice()->working;
}

TEST_F(ExportModelTest, ExportsWhatPrintingSubmitsUnderNamesThatReplaceNothing) {
    REQUIRE_PRINT_SERVER(server);
    TestQueues::Queues queues(*server);
    ASSERT_EQ(queues.problem(), "");
    auto model = TestQueues::readyModel(sandbox_, setup_, TestQueues::pdfQueue, 2);
    const std::filesystem::path folder = sandbox_.root() / "export";
    std::filesystem::create_directories(folder);

    model->exportPDFs(folder);
    ASSERT_TRUE(model->notice() && model->notice()->working);
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return finished(*model); }));
    EXPECT_EQ(*model->notice(), (Notice{"PDF 2개를 저장했습니다", false, folder / "photo-1.pdf"}));
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"photo-1.pdf", "photo-2.pdf"}));

    // The printer receives exactly the file the export wrote for the same sheet.
    model->printOnly(model->photos().front());
    ASSERT_TRUE(AppTestSupport::waitFor(
        [&] { return model->jobs().size() == 1 && model->jobs()[0].state == PrintJobItem::State::done; }));
    const std::string exported = readFile(folder / "photo-1.pdf");
    EXPECT_EQ(exported.rfind("%PDF-", 0), 0u);
    EXPECT_TRUE(readFile(server->output(TestQueues::pdfQueue)) == exported) << "the printed file differs";

    model->exportPDFs(folder);
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return finished(*model); }));
    EXPECT_EQ(filesIn(folder),
              (std::vector<std::string>{"photo-1 (2).pdf", "photo-1.pdf", "photo-2 (2).pdf", "photo-2.pdf"}));
    EXPECT_TRUE(readFile(folder / "photo-1 (2).pdf") == exported);
    EXPECT_TRUE(model->failure().isEmpty());
}

TEST_F(ExportModelTest, FolderThatTakesNoFileIsReported) {
    REQUIRE_PRINT_SERVER(server);
    TestQueues::Queues queues(*server);
    ASSERT_EQ(queues.problem(), "");
    auto model = TestQueues::readyModel(sandbox_, setup_, TestQueues::pdfQueue, 1);
    model->exportPDFs(sandbox_.root() / "missing");
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return !model->failure().isEmpty(); }));
    EXPECT_FALSE(model->notice());
    EXPECT_FALSE(std::filesystem::exists(sandbox_.root() / "missing"));
}

} // namespace
