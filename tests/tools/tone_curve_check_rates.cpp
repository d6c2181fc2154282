// Measures how often the tone-curve self-check passes for common working spaces: once with samples from
// the system's random source (a fresh draw per build) and once with the samples seeded from the space,
// as the process-wide cache draws them. Usage: tone_curve_check_rates [builds per space and depth]
#include "PrintKit/render/color/ToneCurves.h"
#include "tests/render/TestProfiles.h"

#include <cstdio>
#include <cstdlib>
#include <random>

int main(int argc, char** argv) {
    const int builds = argc > 1 ? std::atoi(argv[1]) : 200;
    const TestProfiles::Space spaces[] = {
        TestProfiles::tabulatedSRGB(), TestProfiles::adobeRGBLike(),        TestProfiles::displayP3(),
        TestProfiles::proPhotoLike(),  TestProfiles::tabulatedLinear4096(), TestProfiles::tabulatedGamma12()};
    std::random_device system;
    std::printf("%-44s %6s %14s %14s\n", "space", "levels", "random draws", "seeded draws");
    for (const auto& space : spaces) {
        for (int levels : {256, 65536}) {
            int randomPasses = 0;
            int seededPasses = 0;
            const std::uint64_t seed = PrintKit::ToneCurves::checkSeed(space.own, levels);
            for (int i = 0; i < builds; ++i) {
                const std::uint64_t draw = (static_cast<std::uint64_t>(system()) << 32) | system();
                randomPasses += PrintKit::ToneCurves::build(space.own, space.linear, levels, draw) != nullptr;
                seededPasses += PrintKit::ToneCurves::build(space.own, space.linear, levels, seed) != nullptr;
            }
            std::printf("%-44s %6d %9d/%-4d %9d/%-4d\n", space.name.c_str(), levels, randomPasses, builds,
                        seededPasses, builds);
        }
    }
    return 0;
}
