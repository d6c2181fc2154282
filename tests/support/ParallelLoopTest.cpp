#include "PrintKit/support/ParallelLoop.h"

#include "TestSupport.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <limits>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace PrintKit;
using ParallelLoop::run;

TEST(ParallelLoopTest, EveryIndexRunsOnceInContiguousBlocksOfAtMostFourJobsPerProcessor) {
    EXPECT_EQ(ParallelLoop::plan(5, 1), (ParallelLoop::Plan{4, 2}));
    EXPECT_EQ(ParallelLoop::plan(-3, 8), (ParallelLoop::Plan{0, 0}));
    EXPECT_EQ(ParallelLoop::plan(3, 8), (ParallelLoop::Plan{3, 1}));
    EXPECT_EQ(ParallelLoop::plan(1001, 2), (ParallelLoop::Plan{8, 126}));
    for (int n : {0, 1, 7, 1000, 4097}) {
        const int chunk = ParallelLoop::plan(n, ParallelLoop::activeProcessorCount()).chunk;
        std::vector<std::atomic<int>> hits(static_cast<std::size_t>(n));
        std::vector<int> previous(static_cast<std::size_t>(n), -2); // the index the same thread ran before
        run(n, [&](int i) {
            thread_local int last = -1;
            hits[static_cast<std::size_t>(i)].fetch_add(1);
            previous[static_cast<std::size_t>(i)] = last;
            last = i;
        });
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(hits[static_cast<std::size_t>(i)].load(), 1) << "n=" << n << " i=" << i;
            ASSERT_TRUE(i % chunk == 0 || previous[static_cast<std::size_t>(i)] == i - 1) << n << " " << i;
        }
    }
}

TEST(ParallelLoopTest, AFailingIndexStopsOnlyItsOwnJobAndTheErrorWaitsForTheOthers) {
    const int n = 4 * ParallelLoop::activeProcessorCount() * 3;
    const int chunk = ParallelLoop::plan(n, ParallelLoop::activeProcessorCount()).chunk;
    std::vector<std::atomic<int>> hits(static_cast<std::size_t>(n));
    auto error = TestSupport::thrown<std::logic_error>([&] {
        run(n, [&](int i) {
            if (i == 0) {
                throw std::logic_error("first");
            }
            if (i % chunk == 0) { // the other jobs are still running when the first one fails
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            hits[static_cast<std::size_t>(i)].fetch_add(1);
        });
    });
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->what(), "first");
    for (int i = 1; i < n; ++i) {
        EXPECT_EQ(hits[static_cast<std::size_t>(i)].load(), i < chunk ? 0 : 1) << i;
    }
}

TEST(ParallelLoopTest, CountsNearTheIntegerLimitSplitWithoutOverflow) {
    const int n = std::numeric_limits<int>::max();
    const auto plan = ParallelLoop::plan(n, ParallelLoop::activeProcessorCount());
    EXPECT_EQ(ParallelLoop::plan(n, 1), (ParallelLoop::Plan{4, 536870912}));
    // Every job throws at its first index: exactly the first index of each block runs, the last one's too.
    std::mutex lock;
    std::set<int> firsts, expected;
    EXPECT_THROW(run(n,
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

TEST(ParallelLoopTest, NestedAndConcurrentCallsFinishAndEachCallerGetsItsOwnError) {
    // Even callers nest three deep and count; odd callers fail deep inside and must get their own error.
    std::atomic<long> total{0};
    std::atomic<int> right{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 8; ++t) {
        callers.emplace_back([&, t] {
            try {
                run(16, [&](int i) {
                    run(16, [&](int j) {
                        if (t % 2 == 1 && i == 10 && j == 2) {
                            throw std::runtime_error(std::to_string(t));
                        }
                        run(4, [&](int) { total.fetch_add(t % 2 == 0 ? 1 : 0); });
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
    EXPECT_EQ(total.load(), 4L * 16 * 16 * 4);
    EXPECT_EQ(right.load(), 4);
    std::atomic<int> after{0}; // the pool goes on after all that
    run(100, [&](int) { after.fetch_add(1); });
    EXPECT_EQ(after.load(), 100);
}
