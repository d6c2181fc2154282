#include "PrintKit/support/Processor.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace PrintKit::Processor;

TEST(ProcessorTest, TheVariableCapsTheLevelButNeverRaisesIt) {
    EXPECT_EQ(capped(VectorLevel::avx512, "avx2"), VectorLevel::avx2);
    EXPECT_EQ(capped(VectorLevel::avx512, "baseline"), VectorLevel::baseline);
    EXPECT_EQ(capped(VectorLevel::avx2, "avx512"), VectorLevel::avx2);
    EXPECT_EQ(capped(VectorLevel::baseline, "avx2"), VectorLevel::baseline);
    EXPECT_EQ(capped(VectorLevel::avx2, "avx2"), VectorLevel::avx2);
    // Unset, empty or misspelt: no cap.
    for (const char* cap : {"", "AVX2", "sse2", "avx2 ", "none"}) {
        EXPECT_EQ(capped(VectorLevel::avx2, cap), VectorLevel::avx2) << cap;
    }
    for (VectorLevel level : {VectorLevel::baseline, VectorLevel::avx2, VectorLevel::avx512}) {
        EXPECT_EQ(vectorLevelNamed(name(level)), level);
    }
    // This process: the processor's level under the cap it was started with (the test runs once per level).
    const char* cap = std::getenv("QUILM_VECTOR_LEVEL");
    EXPECT_EQ(vectorLevel(), capped(supportedVectorLevel(), cap ? cap : ""));
    EXPECT_LE(vectorLevel(), supportedVectorLevel());
}

// Runs on emulated processors (scripts/test.sh) say which level the processor model they start has: the
// engine must find exactly that one, or the runs would not test the loops they are meant to.
TEST(ProcessorTest, FindsTheLevelOfTheProcessorItRunsOn) {
    const char* expected = std::getenv("QUILM_EXPECTED_VECTOR_LEVEL");
    if (!expected) {
        GTEST_SKIP() << "no expected level given";
    }
    EXPECT_EQ(name(supportedVectorLevel()), expected);
}
