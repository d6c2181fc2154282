#include "PrintKit/support/ParallelLoop.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif
#include <unistd.h>

namespace PrintKit::ParallelLoop {

namespace {

struct Batch {
    const std::function<void(int)>* job = nullptr;
    int count = 0;
    std::atomic<int> next{0};
    std::atomic<int> remaining{0};
    std::mutex lock;
    std::condition_variable finished;
    std::exception_ptr error; // first failure, guarded by lock

    // Claims and runs one job; false when every job has been claimed.
    bool runOne() {
        int k = next.fetch_add(1, std::memory_order_relaxed);
        if (k >= count) {
            return false;
        }
        try {
            (*job)(k);
        } catch (...) {
            std::lock_guard guard(lock);
            if (!error) {
                error = std::current_exception();
            }
        }
        if (remaining.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            std::lock_guard guard(lock);
            finished.notify_all();
        }
        return true;
    }
};

class Pool {
public:
    static Pool& shared() {
        // Never destroyed: worker threads may still be parked on the queue while the process exits.
        static Pool* pool = new Pool(std::max(1, static_cast<int>(std::thread::hardware_concurrency()) - 1));
        return *pool;
    }

    void run(int jobs, const std::function<void(int)>& job) {
        auto batch = std::make_shared<Batch>();
        batch->job = &job;
        batch->count = jobs;
        batch->remaining.store(jobs, std::memory_order_relaxed);
        if (jobs > 1) {
            {
                std::lock_guard guard(lock_);
                queue_.push_back(batch);
            }
            if (jobs > 2) {
                wake_.notify_all();
            } else {
                wake_.notify_one();
            }
        }
        while (batch->runOne()) {
        }
        // The error leaves the batch under its lock: a worker may still hold the batch and drop it later,
        // and the exception must then belong to this thread alone.
        std::exception_ptr error;
        {
            std::unique_lock guard(batch->lock);
            batch->finished.wait(guard, [&] { return batch->remaining.load(std::memory_order_acquire) == 0; });
            error = std::exchange(batch->error, nullptr);
        }
        if (jobs > 1) {
            std::lock_guard guard(lock_);
            auto found = std::find(queue_.begin(), queue_.end(), batch);
            if (found != queue_.end()) {
                queue_.erase(found);
            }
        }
        if (error) {
            std::rethrow_exception(error);
        }
    }

private:
    explicit Pool(int threads) {
        // A system out of threads leaves a smaller pool; callers always finish their own jobs regardless.
        for (int i = 0; i < threads; ++i) {
            try {
                std::thread([this] { work(); }).detach();
            } catch (const std::system_error&) {
                break;
            }
        }
    }

    void work() {
        for (;;) {
            std::shared_ptr<Batch> batch;
            {
                std::unique_lock guard(lock_);
                wake_.wait(guard, [&] { return !queue_.empty(); });
                batch = queue_.front();
                // A batch whose jobs are all claimed leaves the queue; its caller waits for the rest.
                if (batch->next.load(std::memory_order_relaxed) >= batch->count) {
                    queue_.pop_front();
                    continue;
                }
            }
            while (batch->runOne()) {
            }
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Batch>> queue_;
};

} // namespace

Plan plan(int n, int processors) {
    if (n < 1) {
        return {};
    }
    int jobs = std::min(4 * std::clamp(processors, 1, 1 << 20), n);
    // n + jobs − 1 would overflow for n near INT_MAX.
    return Plan{jobs, static_cast<int>((static_cast<long long>(n) + jobs - 1) / jobs)};
}

int activeProcessorCount() {
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        return std::max(1, CPU_COUNT(&set));
    }
#endif
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

void runJobs(int jobs, const std::function<void(int)>& job) {
    if (jobs < 1) {
        return;
    }
    Pool::shared().run(jobs, job);
}

void run(int n, const std::function<void(int)>& body) {
    Plan p = plan(n, activeProcessorCount());
    if (p.jobs == 0) {
        return;
    }
    runJobs(p.jobs, [&](int k) {
        // In 64 bits: the last job's (k + 1) × chunk may pass INT_MAX even though n does not.
        const long long first = static_cast<long long>(k) * p.chunk;
        const long long end = std::min(first + p.chunk, static_cast<long long>(n));
        for (long long i = first; i < end; ++i) {
            body(static_cast<int>(i));
        }
    });
}

} // namespace PrintKit::ParallelLoop
