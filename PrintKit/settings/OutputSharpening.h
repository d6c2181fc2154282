// How strongly a rendered sheet is sharpened for the printer: off, or one of three strengths of an unsharp
// mask whose blur has a fixed size on paper.
#pragma once

#include "PrintKit/support/RawValue.h"

#include <string_view>
#include <utility>

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

} // namespace PrintKit
