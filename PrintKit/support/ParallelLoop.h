// The engine's parallel loop: a body runs on every index 0..<n, split into at most four contiguous jobs per
// active processor, on a persistent pool of worker threads that the calling thread joins. Calls nest and run
// concurrently without deadlock (a caller always finishes its own unclaimed jobs itself). A job that throws
// stops its own remaining indices; the others finish, and the first exception is rethrown to the caller.
// No exception ever leaves a worker thread.
#pragma once

#include <functional>

namespace PrintKit::ParallelLoop {

struct Plan {
    int jobs = 0;  // number of jobs
    int chunk = 0; // indices per job (the last jobs may get fewer or none)
    friend bool operator==(const Plan&, const Plan&) = default;
};

// jobs = min(4 × processors, n), chunk = ceil(n / jobs); nothing for n < 1.
Plan plan(int n, int processors);

// The processors this process may run on, read at every call (at least 1).
int activeProcessorCount();

// Runs body(i) for every i in 0..<n and returns when all have run.
void run(int n, const std::function<void(int)>& body);

// Runs job(k) for every k in 0..<jobs on the pool and the calling thread; the building block of run().
void runJobs(int jobs, const std::function<void(int)>& job);

} // namespace PrintKit::ParallelLoop
