#include "PrintKit/render/ParallelLoop.h"

#include "PrintKit/render/LanczosResampler.h"

#include <atomic>
#include <gtest/gtest.h>
#include <limits>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace PrintKit;

TEST(ParallelLoopTest, PlanSplitsIntoAtMostFourJobsPerProcessor) {
    EXPECT_EQ(ParallelLoop::plan(5, 1), (ParallelLoop::Plan{4, 2}));
    EXPECT_EQ(ParallelLoop::plan(0, 8), (ParallelLoop::Plan{0, 0}));
    EXPECT_EQ(ParallelLoop::plan(-3, 8), (ParallelLoop::Plan{0, 0}));
    EXPECT_EQ(ParallelLoop::plan(3, 8), (ParallelLoop::Plan{3, 1}));
    EXPECT_EQ(ParallelLoop::plan(1000, 2), (ParallelLoop::Plan{8, 125}));
    EXPECT_EQ(ParallelLoop::plan(1001, 2), (ParallelLoop::Plan{8, 126}));
    EXPECT_GE(ParallelLoop::activeProcessorCount(), 1);
}

TEST(ParallelLoopTest, EveryIndexRunsExactlyOnce) {
    for (int n : {0, 1, 2, 7, 64, 1000, 4097}) {
        std::vector<std::atomic<int>> hits(static_cast<std::size_t>(n));
        LanczosResampler::parallel(n, [&](int i) { hits[static_cast<std::size_t>(i)].fetch_add(1); });
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(hits[static_cast<std::size_t>(i)].load(), 1) << "n=" << n << " i=" << i;
        }
    }
}

TEST(ParallelLoopTest, NestedAndConcurrentCallsFinish) {
    std::atomic<long> total{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t) {
        callers.emplace_back([&] {
            LanczosResampler::parallel(16, [&](int) {
                LanczosResampler::parallel(
                    16, [&](int) { LanczosResampler::parallel(4, [&](int) { total.fetch_add(1); }); });
            });
        });
    }
    for (auto& caller : callers) {
        caller.join();
    }
    EXPECT_EQ(total.load(), 4L * 16 * 16 * 4);
}

TEST(ParallelLoopTest, FirstErrorIsRethrownAfterTheOthersFinish) {
    std::atomic<int> finished{0};
    try {
        ParallelLoop::runJobs(8, [&](int k) {
            if (k == 3) {
                throw std::runtime_error("job 3");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            finished.fetch_add(1);
        });
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "job 3");
    }
    EXPECT_EQ(finished.load(), 7); // the call waited for every other job
}

TEST(ParallelLoopTest, AFailingIndexStopsOnlyItsOwnJob) {
    const int n = 4 * ParallelLoop::activeProcessorCount() * 3;
    auto plan = ParallelLoop::plan(n, ParallelLoop::activeProcessorCount());
    std::vector<std::atomic<int>> hits(static_cast<std::size_t>(n));
    EXPECT_THROW(LanczosResampler::parallel(n,
                                            [&](int i) {
                                                if (i == 0) {
                                                    throw std::logic_error("first");
                                                }
                                                hits[static_cast<std::size_t>(i)].fetch_add(1);
                                            }),
                 std::logic_error);
    for (int i = plan.chunk; i < n; ++i) {
        EXPECT_EQ(hits[static_cast<std::size_t>(i)].load(), 1) << i;
    }
}

TEST(ParallelLoopTest, EachJobRunsItsContiguousBlockInOrderOnOneThread) {
    const int n = 1000;
    const int chunk = ParallelLoop::plan(n, ParallelLoop::activeProcessorCount()).chunk;
    std::vector<int> previous(n, -2); // the index the same thread ran just before
    LanczosResampler::parallel(n, [&](int i) {
        thread_local int last = -1;
        previous[static_cast<std::size_t>(i)] = last;
        last = i;
    });
    for (int i = 0; i < n; ++i) {
        if (i % chunk != 0) {
            ASSERT_EQ(previous[static_cast<std::size_t>(i)], i - 1) << i;
        }
    }
}

TEST(ParallelLoopTest, CountsNearTheIntegerLimitSplitWithoutOverflow) {
    const int n = std::numeric_limits<int>::max();
    const auto plan = ParallelLoop::plan(n, ParallelLoop::activeProcessorCount());
    EXPECT_EQ(ParallelLoop::plan(n, 1), (ParallelLoop::Plan{4, 536870912}));
    // Every job throws at its first index, so exactly the first index of each block runs, the last
    // block's included.
    std::mutex lock;
    std::set<int> firsts, expected;
    EXPECT_THROW(LanczosResampler::parallel(n,
                                            [&](int i) {
                                                std::lock_guard guard(lock);
                                                firsts.insert(i);
                                                throw std::runtime_error("stop");
                                            }),
                 std::runtime_error);
    for (int k = 0; k < plan.jobs; ++k) {
        expected.insert(k * plan.chunk);
    }
    EXPECT_EQ(firsts, expected);
}

TEST(ParallelLoopTest, ConcurrentCallersGetTheirOwnErrorsAndNestedErrorsReachTheTop) {
    std::vector<std::thread> callers;
    std::atomic<int> right{0};
    for (int t = 0; t < 6; ++t) {
        callers.emplace_back([&, t] {
            try {
                LanczosResampler::parallel(64, [&](int i) {
                    LanczosResampler::parallel(4, [&](int j) {
                        if (i == 40 && j == 2) {
                            throw std::runtime_error(std::to_string(t));
                        }
                    });
                });
            } catch (const std::runtime_error& e) {
                right.fetch_add(e.what() == std::to_string(t) ? 1 : 0);
            }
        });
    }
    for (auto& caller : callers) {
        caller.join();
    }
    EXPECT_EQ(right.load(), 6);
    std::atomic<int> after{0}; // the pool goes on after all that
    LanczosResampler::parallel(100, [&](int) { after.fetch_add(1); });
    EXPECT_EQ(after.load(), 100);
}
