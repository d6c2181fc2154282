// The demonstration variables put the jobs list and the notice into states the windows can show without a
// printer.
#include "AppTestSupport.h"
#include "QuilmPrint/model/PrintModel.h"
#include "doubles/SetupDouble.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

using namespace QuilmPrint;
using JobState = PrintJobItem::State;

namespace {

// A started model with the demonstration variables set while it starts.
std::unique_ptr<PrintModel> started(const PrintModel::Environment& environment, const char* jobs,
                                    const char* notice, const char* file) {
    const std::pair<const char*, const char*> variables[] = {{"QUILM_PRINT_DEMO_JOBS", jobs},
                                                             {"QUILM_PRINT_SHOW_NOTICE", notice},
                                                             {"QUILM_PRINT_NOTICE_FILE", file}};
    for (auto [name, value] : variables)
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    auto model = std::make_unique<PrintModel>(environment);
    model->start();
    for (auto [name, value] : variables)
        ::unsetenv(name);
    return model;
}

TEST(PrintRoadDemoTest, JobsInEveryStateAndANoticeThatReveals) {
    AppTestSupport::Sandbox sandbox;
    PrintModel::Environment environment = sandbox.environment();
    environment.setup = std::make_shared<TestDoubles::SetupDouble>();
    auto model = started(environment, "1", "1", "/home/someone/사진/IMG_2041.pdf");
    std::set<JobState> states;
    for (const PrintJobItem& job : model->jobs())
        states.insert(job.state);
    EXPECT_EQ(states.size(), 8u);
    EXPECT_EQ(model->jobs().size(), 8u);
    EXPECT_EQ(model->unsentSheets(), 4); // two copies waiting, one rendering, one sending
    EXPECT_EQ(model->notice(), (Notice{"PDF 1개를 저장했습니다", false,
                                       std::filesystem::path("/home/someone/사진/IMG_2041.pdf")}));
    model = started(environment, "0", "인쇄할 PDF를 저장했습니다", nullptr);
    EXPECT_TRUE(model->jobs().empty());
    EXPECT_EQ(model->notice(), (Notice{"인쇄할 PDF를 저장했습니다", false, std::nullopt}));
    EXPECT_FALSE(started(environment, nullptr, nullptr, nullptr)->notice());
}

} // namespace
