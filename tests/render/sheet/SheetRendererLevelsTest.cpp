// Whole sheets printed at every vector level this processor can run. The level is chosen once per process,
// so each sheet is rendered by the command-line renderer in a process of its own, capped by
// QUILM_VECTOR_LEVEL; the image bytes must be the same at every level.
#include "PrintKit/render/resample/VectorKernels.h"
#include "PrintKit/support/ChildProcess.h"
#include "SheetProbe.h"
#include "TestImages.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace PrintKit;
using Processor::VectorLevel;
using TestSupport::TemporaryDirectory;

namespace {

ChildResult renderAt(VectorLevel level, std::vector<std::string> arguments) {
    std::vector<std::string> argv = {"env", "QUILM_VECTOR_LEVEL=" + std::string(Processor::name(level)),
                                     QUILM_RENDER_SHEET};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return ChildProcess::run(argv, std::chrono::minutes(5));
}

} // namespace

TEST(SheetRendererLevelsTest, EveryVectorLevelPrintsTheSameBytes) {
    TemporaryDirectory folder;
    const auto photo = folder / "photo.jpg";
    TestImages::write(photo, TestImages::jpeg(TestImages::scene(301, 203)));
    TestSupport::writeFile(folder / "paper.icc", TestProfiles::lutPrinter(17));
    // Through the paper profile at 720 ppi (13 taps), and printer-managed at 300 ppi with the strongest mask:
    // sizes that leave a partial vector at the end of every row.
    const std::vector<std::vector<std::string>> sheets = {
        {"--page", "72,101", "--resolution", "720", "--fit", "fill", "--turned", "--paper",
         (folder / "paper.icc").string(), "--sharpen", "standard"},
        {"--page", "143,97", "--resolution", "300", "--fit", "fill", "--sharpen", "high"}};
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        std::string first;
        for (VectorLevel level : {VectorLevel::baseline, VectorLevel::avx2, VectorLevel::avx512}) {
            if (level > Processor::supportedVectorLevel()) {
                continue; // not on this processor
            }
            const ChildResult asked = renderAt(level, {"--vector-level"});
            ASSERT_TRUE(asked.succeeded()) << asked.errors;
            EXPECT_EQ(asked.output, std::string(Processor::name(level)) + "\n");

            const auto pdf = folder / "sheet.pdf";
            std::vector<std::string> arguments = sheets[s];
            arguments.insert(arguments.end(), {photo.string(), pdf.string()});
            const ChildResult rendered = renderAt(level, arguments);
            ASSERT_TRUE(rendered.succeeded()) << rendered.errors;
            const auto images = SheetProbe::images(pdf);
            ASSERT_EQ(images.size(), 1u);
            if (level == VectorLevel::baseline) {
                first = images[0].samples;
                ASSERT_GT(first.size(), 6u * 400 * 400);
            } else {
                EXPECT_TRUE(images[0].samples == first)
                    << "sheet " << s << " at " << Processor::name(level) << " differs from the baseline";
            }
        }
    }
}
