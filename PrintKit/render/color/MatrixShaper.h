// A faster evaluation of the floating-point conversions that Little CMS builds from a linear matrix-shaper
// RGB space to another matrix-shaper RGB space: the same 3 × 3 matrices, evaluated exactly as Little CMS
// evaluates them, followed by tables for the destination's tone curves in place of a power function per
// sample. It is offered to Little CMS as a transform plug-in of a context; Little CMS hands it each float
// pipeline it links in that context, and it takes only the ones it can evaluate to within a small fraction
// of a 16-bit code, checked against Little CMS's own evaluation when the transform is made. Every other
// transform (16-bit formats, table-based profiles, curves it cannot tabulate closely) stays Little CMS's.
#pragma once

#include <lcms2.h>

namespace PrintKit::MatrixShaper {

// The largest difference the tables may make against the exact tone curve, in output units (0…1, relative
// beyond 1): one fifteenth of a 16-bit code, so that even after sharpening, which can amplify a difference
// about threefold, a rounded sample moves by at most one code.
inline constexpr float tolerance = 1e-6f;

// The plug-in to give cmsCreateContext; it lives as long as the program.
void* plugin();

// Whether a transform made in a context with the plug-in is evaluated by it.
bool evaluates(cmsHTRANSFORM transform);

} // namespace PrintKit::MatrixShaper
