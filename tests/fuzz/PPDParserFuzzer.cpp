// Feeds arbitrary bytes to the PPD reader. Besides crashes and sanitizer reports it checks what callers
// rely on: only PPDError escapes, every number in the model is finite, and the model survives its JSON
// form unchanged (which also proves every text in it is valid UTF-8).
#include "PrintKit/settings/PPDParser.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>

using namespace PrintKit;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void check(const PPDFile& ppd) {
    for (const auto& page : ppd.pageSizes) {
        require(std::isfinite(page.width) && std::isfinite(page.height));
        if (page.imageableArea) {
            require(page.imageableArea->size() == 4);
            for (double value : *page.imageableArea) {
                require(std::isfinite(value));
            }
        }
        require(ppd.pageSize(page.name) != nullptr);
    }
    for (const auto& option : ppd.options) {
        require(!option.order || std::isfinite(*option.order));
        require(ppd.option(option.keyword) != nullptr);
        for (const auto& choice : option.choices) {
            require(option.choice(choice.key) == &choice); // keys are unique
            (void)label(choice, "ko");
        }
    }
    if (ppd.customSizeRange) {
        const auto& range = *ppd.customSizeRange;
        require(std::isfinite(range.minWidth) && std::isfinite(range.maxWidth) &&
                std::isfinite(range.minHeight) && std::isfinite(range.maxHeight));
    }
    require(nlohmann::json::parse(nlohmann::json(ppd).dump()).get<PPDFile>() == ppd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const auto& languages :
         {std::optional<LanguageSet>(), std::optional<LanguageSet>(LanguageSet{"ko"})}) {
        try {
            check(PPDFile::parse(bytes, "fuzz", languages));
        } catch (const PPDError& error) {
            require(error.code() == PPDErrorCode::notAPPD);
        }
    }
    (void)PPDParser::decodeHex(bytes);
    (void)PPDPreset::fromBody("n", "l", bytes);
    return 0;
}
