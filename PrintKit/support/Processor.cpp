#include "PrintKit/support/Processor.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace PrintKit::Processor {

namespace {

constexpr std::array<std::pair<VectorLevel, std::string_view>, 3> names{{
    {VectorLevel::baseline, "baseline"},
    {VectorLevel::avx2, "avx2"},
    {VectorLevel::avx512, "avx512"},
}};

} // namespace

VectorLevel supportedVectorLevel() {
#if defined(__x86_64__)
    // The compiler's runtime checks the instruction bits and that the operating system saves the registers.
    static const VectorLevel level = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
            __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq")) {
            return VectorLevel::avx512;
        }
        if (__builtin_cpu_supports("avx2")) {
            return VectorLevel::avx2;
        }
        return VectorLevel::baseline;
    }();
    return level;
#else
    return VectorLevel::baseline;
#endif
}

VectorLevel capped(VectorLevel supported, std::string_view cap) {
    const std::optional<VectorLevel> limit = vectorLevelNamed(cap);
    return limit && *limit < supported ? *limit : supported;
}

VectorLevel vectorLevel() {
    static const VectorLevel level = [] {
        const char* cap = std::getenv("QUILM_VECTOR_LEVEL");
        return capped(supportedVectorLevel(), cap ? std::string_view(cap) : std::string_view());
    }();
    return level;
}

std::string_view name(VectorLevel level) {
    for (const auto& [value, text] : names) {
        if (value == level) {
            return text;
        }
    }
    return {};
}

std::optional<VectorLevel> vectorLevelNamed(std::string_view name) {
    for (const auto& [value, text] : names) {
        if (text == name) {
            return value;
        }
    }
    return std::nullopt;
}

} // namespace PrintKit::Processor
