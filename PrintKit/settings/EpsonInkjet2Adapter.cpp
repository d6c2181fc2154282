#include "PrintKit/settings/EpsonInkjet2Adapter.h"

#include "PrintKit/support/Numbers.h"

#include <algorithm>
#include <array>
#include <set>

namespace PrintKit::EpsonInkjet2Adapter {

namespace {

// Sources whose label holds one of these take no custom sizes.
constexpr std::array<std::string_view, 4> fixedSizeSourceWords{"Borderless", "Roll", "Disc", "CD"};
constexpr std::string_view standardSourceLabel = "Standard";
constexpr std::string_view marginReferencePage = "A4";
constexpr double fallbackMargin = 8.4;
// Sizes typed in millimetres land a hair outside a limit given in whole points.
constexpr double customSizeTolerance = 0.05;

const PPDOption* paperSourceOption(const PPDFile& ppd) {
    return ppd.option("EPIJ_PSrc");
}

PPDCustomSizeRange narrowed(PPDCustomSizeRange range, const PPDFile& ppd) {
    auto text = EpsonMachineData::text(ppd);
    if (!text) {
        return range;
    }
    auto machine = EpsonMachineData::customSizeRange(*text);
    if (!machine) {
        return range;
    }
    return {std::max(range.minWidth, machine->minWidth), std::min(range.maxWidth, machine->maxWidth),
            std::max(range.minHeight, machine->minHeight), std::min(range.maxHeight, machine->maxHeight)};
}

} // namespace

bool supports(const PPDFile& ppd) {
    return ppd.attributes.contains("EPIJDriverSystem");
}

std::vector<PPDChoice> sheets(const PPDFile& ppd) {
    const PPDOption* pageSize = ppd.option("PageSize");
    const PPDOption* size = ppd.option("EPIJ_Size");
    if (!pageSize || !size) {
        return {};
    }
    std::set<std::string_view> labels;
    for (const auto& choice : size->choices) {
        labels.insert(choice.label);
    }
    std::vector<PPDChoice> result;
    for (const auto& choice : pageSize->choices) {
        if (choice.key.find('.') == std::string::npos && labels.contains(choice.label)) {
            result.push_back(choice);
        }
    }
    return result;
}

PPDPageSize pageSize(std::string_view sheet, std::string_view source, const PPDFile& ppd) {
    const PPDOption* pageSizes = ppd.option("PageSize");
    const PPDChoice* sheetChoice = pageSizes ? pageSizes->choice(sheet) : nullptr;
    if (!sheetChoice) {
        throw DriverAdapterError::unknownSheet(std::string(sheet));
    }
    const PPDOption* sources = paperSourceOption(ppd);
    const PPDChoice* sourceChoice = sources ? sources->choice(source) : nullptr;
    if (!sourceChoice) {
        throw DriverAdapterError::unknownSource(std::string(source));
    }
    // A page that belongs to one source carries the source's label in parentheses after the sheet's.
    std::string target = sourceChoice->label == standardSourceLabel
                             ? sheetChoice->label
                             : sheetChoice->label + " (" + sourceChoice->label + ")";
    for (const auto& choice : pageSizes->choices) {
        if (choice.label == target) {
            if (const PPDPageSize* page = ppd.pageSize(choice.key)) {
                return *page;
            }
            break;
        }
    }
    throw DriverAdapterError::sheetNotAvailable(std::string(sheet), std::string(source));
}

std::vector<PPDChoice> sources(std::string_view sheet, const PPDFile& ppd) {
    const PPDOption* option = paperSourceOption(ppd);
    if (!option) {
        return {};
    }
    std::vector<PPDChoice> result;
    for (const auto& choice : option->choices) {
        try {
            pageSize(sheet, choice.key, ppd);
            result.push_back(choice);
        } catch (const DriverAdapterError&) {
            // This source gives the sheet no page.
        }
    }
    return result;
}

bool isCustomSource(const PPDChoice& source) {
    return std::none_of(fixedSizeSourceWords.begin(), fixedSizeSourceWords.end(),
                        [&](std::string_view word) { return source.label.find(word) != std::string::npos; });
}

std::vector<PPDChoice> sources(const PaperRecipe& recipe, const PPDFile& ppd) {
    if (!recipe.customSheet) {
        return sources(recipe.sheet, ppd);
    }
    const PPDOption* option = paperSourceOption(ppd);
    if (!option) {
        return {};
    }
    std::vector<PPDChoice> result;
    std::copy_if(option->choices.begin(), option->choices.end(), std::back_inserter(result), isCustomSource);
    return result;
}

std::optional<PPDCustomSizeRange> customSizeRange(const PPDFile& ppd) {
    if (!ppd.customSizeRange) {
        return std::nullopt;
    }
    return narrowed(*ppd.customSizeRange, ppd);
}

Margins standardMargins(const PPDFile& ppd) {
    const PPDPageSize* page = ppd.pageSize(marginReferencePage);
    if (!page) {
        for (const auto& sheet : sheets(ppd)) {
            if ((page = ppd.pageSize(sheet.key))) {
                break;
            }
        }
    }
    // An area needs its four numbers; a model read from elsewhere may hold another count.
    if (!page || !page->imageableArea || page->imageableArea->size() != 4) {
        return Margins::all(fallbackMargin);
    }
    const auto& area = *page->imageableArea;
    return {page->height - area[3], area[0], area[1], page->width - area[2]};
}

PPDPageSize pageSize(const PaperRecipe& recipe, const PPDFile& ppd) {
    if (!recipe.customSheet) {
        return pageSize(recipe.sheet, recipe.source, ppd);
    }
    if (!ppd.customSizeRange) {
        throw DriverAdapterError::customSizeNotSupported();
    }
    PPDCustomSizeRange range = narrowed(*ppd.customSizeRange, ppd);
    const PPDOption* sources = paperSourceOption(ppd);
    const PPDChoice* source = sources ? sources->choice(recipe.source) : nullptr;
    if (!source) {
        throw DriverAdapterError::unknownSource(recipe.source);
    }
    if (!isCustomSource(*source)) {
        throw DriverAdapterError::customSourceNotAllowed(label(*source, "ko"));
    }
    double w = recipe.customSheet->width;
    double h = recipe.customSheet->height;
    // Written so that NaN fails every comparison and is refused with the range.
    bool inRange = range.minWidth - customSizeTolerance <= w && w <= range.maxWidth + customSizeTolerance &&
                   range.minHeight - customSizeTolerance <= h && h <= range.maxHeight + customSizeTolerance;
    if (!inRange) {
        throw DriverAdapterError::customSizeOutOfRange(range);
    }
    Margins margins = standardMargins(ppd);
    return PPDPageSize{"Custom." + Numbers::fixed(w, 2) + "x" + Numbers::fixed(h, 2),
                       "사용자 지정",
                       {},
                       w,
                       h,
                       std::vector<double>{margins.left, margins.bottom, w - margins.right, h - margins.top}};
}

} // namespace PrintKit::EpsonInkjet2Adapter
