// How strongly a rendered sheet is sharpened for the printer: off, or one of three strengths of an unsharp
// mask whose blur has a fixed size on paper.
#pragma once

#include "PrintKit/support/Pixel.h"
#include "PrintKit/support/RawValue.h"

#include <string_view>
#include <utility>
#include <vector>

namespace PrintKit {

enum class OutputSharpening { off, low, standard, high };

template <>
struct RawValues<OutputSharpening> {
    static constexpr std::array<std::pair<OutputSharpening, std::string_view>, 4> table{{
        {OutputSharpening::off, "off"},
        {OutputSharpening::low, "low"},
        {OutputSharpening::standard, "standard"},
        {OutputSharpening::high, "high"},
    }};
};

// The Korean name the settings panels show.
constexpr std::string_view label(OutputSharpening level) {
    switch (level) {
    case OutputSharpening::off: return "끔";
    case OutputSharpening::low: return "약";
    case OutputSharpening::standard: return "보통";
    case OutputSharpening::high: return "강";
    }
    return {};
}

// The strength of the unsharp mask.
constexpr float amount(OutputSharpening level) {
    switch (level) {
    case OutputSharpening::off: return 0.0f;
    case OutputSharpening::low: return 0.4f;
    case OutputSharpening::standard: return 0.8f;
    case OutputSharpening::high: return 1.4f;
    }
    return 0.0f;
}

// Resolutions above this are treated as this: no printer comes near it, and the kernel (and the work per
// pixel) grows with the resolution, so a corrupt value must not be able to ask for millions of weights.
inline constexpr double maximumSharpeningResolution = 9600;

// The normalised Gaussian blur kernel for a printer resolution in dots per inch: 2r + 1 weights, centre in
// the middle, of a Gaussian whose standard deviation is 0.07 mm on paper (never below 0.3 pixels). A
// resolution that is not a number, zero or negative gets the smallest kernel; one above
// maximumSharpeningResolution (infinity included) gets the kernel of that maximum.
std::vector<float> kernel(double resolution);

// The rows a band must carry above and below its own rows so that sharpening it alone gives the same pixels
// as sharpening the whole image: the kernel radius, or 0 for off.
int halo(OutputSharpening level, double resolution);

// Unsharp mask in place over width × rows pixels stored row after row: a horizontal then a vertical pass of
// the kernel, rows in parallel, taps past an edge reading the edge pixel. Colour channels come out clamped
// to 0…1 and alpha is 1. Off leaves the buffer untouched; so does an empty buffer.
void apply(OutputSharpening level, Pixel* pixels, int width, int rows, double resolution);

} // namespace PrintKit
