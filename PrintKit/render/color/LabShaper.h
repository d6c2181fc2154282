// A faster evaluation of the conversion Little CMS builds from floating-point CIELab to 16-bit RGB of a
// matrix-shaper profile with an sRGB-like tone curve: how a Lab photo is painted into its sRGB working space.
// Little CMS rounds each colour to its 16-bit Lab encoding, takes it to XYZ and through the profile's matrix
// in floating point, then evaluates the inverse tone curve with two power functions per sample. Here the same
// arithmetic runs in the same order and precision, four pixels at a time, and the curve is read from its
// exact code boundaries: for every 16-bit code, the least single-precision value that Little CMS's curve and
// rounding turn into that code or a higher one, found by evaluating Little CMS's own curve. So every code is
// the one Little CMS would give, which the plug-in checks against Little CMS when a transform is made.
#pragma once

#include <lcms2.h>

namespace PrintKit::LabShaper {

// The plug-in to give cmsCreateContext; it lives as long as the program.
void* plugin();

// Whether a transform made in a context with the plug-in is evaluated by it.
bool evaluates(cmsHTRANSFORM transform);

} // namespace PrintKit::LabShaper
