// Feeds arbitrary bytes, decoded as the reader decodes a driver data file, to the size-range and
// automatic-preset readers: no crash, no sanitizer report, and no non-finite number in a range.
#include "PrintKit/settings/EpsonMachineData.h"
#include "PrintKit/support/Text.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace PrintKit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text = Text::utf8WithReplacement(std::string_view(reinterpret_cast<const char*>(data), size));
    if (auto range = EpsonMachineData::customSizeRange(text)) {
        if (!std::isfinite(range->minWidth) || !std::isfinite(range->maxWidth) ||
            !std::isfinite(range->minHeight) || !std::isfinite(range->maxHeight)) {
            std::abort();
        }
    }
    for (const auto& [name, settings] : EpsonMachineData::autoPresets(text)) {
        for (const auto& [key, value] : settings) {
            if (!key.starts_with("EPIJ_") || value.empty() || value.find(' ') != std::string::npos) {
                std::abort();
            }
        }
    }
    return 0;
}
