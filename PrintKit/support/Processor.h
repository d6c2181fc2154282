// What the processor the program runs on can do, asked once. Every choice between loops built for different
// vector instruction sets goes through vectorLevel(), so that one answer (and one cap) holds for all of them.
#pragma once

#include <optional>
#include <string_view>

namespace PrintKit::Processor {

// The vector instruction sets the engine has loops for, narrowest first. avx2 is AVX2 without fused
// multiply-add; avx512 is AVX-512 F, VL, BW and DQ (as on every processor that has AVX-512 at all since
// 2017). Off x86-64 there is only baseline.
enum class VectorLevel { baseline, avx2, avx512 };

// The widest level this processor (and its operating system, which must save the wider registers) supports,
// lowered to the one named by the QUILM_VECTOR_LEVEL environment variable ("baseline", "avx2" or "avx512")
// when that is set and lower. Tests and benchmarks use the variable to run every level on one machine; it
// never raises the level. Read once, on the first call.
VectorLevel vectorLevel();

// The widest level the processor supports, whatever the variable says.
VectorLevel supportedVectorLevel();

// `supported` lowered to the level `cap` names; an empty or unknown name caps nothing.
VectorLevel capped(VectorLevel supported, std::string_view cap);

std::string_view name(VectorLevel level);
std::optional<VectorLevel> vectorLevelNamed(std::string_view name);

} // namespace PrintKit::Processor
