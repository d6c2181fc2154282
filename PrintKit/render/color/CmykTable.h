// A faster evaluation of the colour table Little CMS builds for a CMYK photo's conversion to RGB: how a CMYK
// photo is painted into its working space. Little CMS samples the whole conversion into a 16-bit table of
// four inputs and three outputs and evaluates every pixel through its general interpolation (two
// tetrahedral interpolations in the colour cubes of the black slices around the pixel's black, then a linear
// one between them), output by output, with a call per pixel and per sample format. Here Little CMS builds
// the same table and the same integer arithmetic runs over whole rows, the tetrahedron chosen once per
// pixel and the six interpolations side by side: every code is the one Little CMS gives, which is checked
// against Little CMS's own evaluation whenever a transform is made.
#pragma once

#include <cstdint>
#include <lcms2.h>
#include <lcms2_plugin.h>

namespace PrintKit::CmykTable {

// The plug-in to give cmsCreateContext or cmsPluginTHR; it lives as long as the program.
void* plugin();

// The user data of a context whose transforms are all made with `intent` (null for an intent Little CMS
// does not define). The plug-in takes transforms only in such a context: Little CMS builds the table
// according to the intent but does not tell a transform plug-in which one it is.
void* contextData(cmsUInt32Number intent);

// Whether a transform made in a context with the plug-in is evaluated by it.
bool evaluates(cmsHTRANSFORM transform);

// Little CMS's 16-bit interpolation in a table of four inputs and three outputs, code for code.
void interpolate(const std::uint16_t input[4], std::uint16_t output[3], const cmsInterpParams& table);

} // namespace PrintKit::CmykTable
