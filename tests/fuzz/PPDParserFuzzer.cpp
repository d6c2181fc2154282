// Feeds arbitrary bytes to the PPD reader, and the model it makes to the driver adapter. Besides crashes
// and sanitizer reports it checks what callers rely on: only PPDError escapes the reader, every number in
// the model is finite, the model survives its JSON form unchanged (which also proves every text in it is
// valid UTF-8), and the adapter throws nothing but its own errors.
#include "PrintKit/settings/EpsonInkjet2Adapter.h"
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

// A recipe for each of the first sheets the queue offers, each source and quality, and a custom size, through
// every adapter operation.
void drive(const PPDFile& ppd) {
    namespace Adapter = EpsonInkjet2Adapter;
    (void)Adapter::supportedQualities(ppd);
    (void)Adapter::detailedQualityOptions(ppd);
    (void)Adapter::standardMargins(ppd);
    const PPDOption* media = ppd.option("EPIJ_Medi");
    const PPDOption* qualities = ppd.option("EPIJ_Qual");
    // One recipe made once (a new identity costs a random number), then changed field by field.
    static const PaperRecipe base =
        PaperRecipe::make("f", {}, "", "", std::nullopt, "", PrintQuality::standard, InkMode::color,
                          ColorManagement::driver(), std::nullopt, {}, "");
    PaperRecipe recipe = base;
    recipe.media = media && !media->choices.empty() ? media->choices.front().key : "PLAIN";
    if (qualities && !qualities->choices.empty()) {
        recipe.driverOverrides["EPIJ_Qual"] = qualities->choices.back().key;
        (void)Adapter::resolutionForQuality(qualities->choices.back().key, ppd);
    }
    auto run = [&](const PaperRecipe& r) {
        (void)Adapter::presetDetails(r, ppd);
        try {
            const double resolution = Adapter::resolution(Adapter::options(r, ppd));
            require(std::isfinite(resolution) && resolution > 0);
        } catch (const DriverAdapterError&) {
        } catch (const OptionResolverError&) {
        }
    };
    auto sheets = Adapter::sheets(ppd);
    for (std::size_t i = 0; i < sheets.size() && i < 4; ++i) {
        recipe.sheet = sheets[i].key;
        for (const auto& source : Adapter::sources(sheets[i].key, ppd)) {
            recipe.source = source.key;
            for (auto quality : {PrintQuality::standard, PrintQuality::high, PrintQuality::custom}) {
                recipe.quality = quality;
                run(recipe);
            }
        }
    }
    if (const PPDOption* sources = ppd.option("EPIJ_PSrc"); sources && !sources->choices.empty()) {
        recipe.sheet = "Custom";
        recipe.customSheet = CustomSheetSize{300, 400};
        recipe.source = sources->choices.front().key;
        recipe.ink = InkMode::advancedBlackAndWhite;
        (void)Adapter::customSizeRange(ppd);
        run(recipe);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const auto& languages :
         {std::optional<LanguageSet>(), std::optional<LanguageSet>(LanguageSet{"ko"})}) {
        try {
            auto ppd = PPDFile::parse(bytes, "fuzz", languages);
            check(ppd);
            drive(ppd);
        } catch (const PPDError& error) {
            require(error.code() == PPDErrorCode::notAPPD);
        }
    }
    (void)PPDParser::decodeHex(bytes);
    (void)PPDPreset::fromBody("n", "l", bytes);
    return 0;
}
