// Lanczos-3 resampling of any pixel source to an exact output size, band by band, and the engine's
// parallel loop that the resampler, the linear source, the band pipeline and sharpening share.
#pragma once

#include "PrintKit/render/ParallelLoop.h"

#include <functional>

namespace PrintKit {

class LanczosResampler {
public:
    // Runs body(i) for every i in 0..<n across the machine's processors; returns when all have run.
    // The body must only touch state that no other index touches.
    static void parallel(int n, const std::function<void(int)>& body) { ParallelLoop::run(n, body); }
};

} // namespace PrintKit
