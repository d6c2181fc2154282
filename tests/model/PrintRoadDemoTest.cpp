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

// Sets the variables for the life of the value.
class Variables {
public:
    explicit Variables(std::vector<std::pair<const char*, std::string>> values) : values_(std::move(values)) {
        for (const auto& [name, value] : values_)
            ::setenv(name, value.c_str(), 1);
    }
    ~Variables() {
        for (const auto& [name, value] : values_)
            ::unsetenv(name);
    }

private:
    std::vector<std::pair<const char*, std::string>> values_;
};

TEST(PrintRoadDemoTest, JobsInEveryStateAndANoticeThatReveals) {
    AppTestSupport::Sandbox sandbox;
    PrintModel::Environment environment = sandbox.environment();
    environment.setup = std::make_shared<TestDoubles::SetupDouble>();
    {
        Variables demo({{"QUILM_PRINT_DEMO_JOBS", "1"},
                        {"QUILM_PRINT_SHOW_NOTICE", "1"},
                        {"QUILM_PRINT_NOTICE_FILE", "/home/someone/사진/IMG_2041.pdf"}});
        PrintModel model(environment);
        model.start();
        std::set<JobState> states;
        for (const PrintJobItem& job : model.jobs())
            states.insert(job.state);
        EXPECT_EQ(states.size(), 8u);
        EXPECT_EQ(model.jobs().size(), 8u);
        EXPECT_EQ(model.unsentSheets(), 4); // two copies waiting, one rendering, one sending
        EXPECT_EQ(model.notice(), (Notice{"PDF 1개를 저장했습니다", false,
                                          std::filesystem::path("/home/someone/사진/IMG_2041.pdf")}));
    }
    {
        Variables text(
            {{"QUILM_PRINT_SHOW_NOTICE", "인쇄할 PDF를 저장했습니다"}, {"QUILM_PRINT_DEMO_JOBS", "0"}});
        PrintModel model(environment);
        model.start();
        EXPECT_TRUE(model.jobs().empty());
        EXPECT_EQ(model.notice(), (Notice{"인쇄할 PDF를 저장했습니다", false, std::nullopt}));
    }
    PrintModel plain(environment);
    plain.start();
    EXPECT_FALSE(plain.notice());
}

} // namespace
