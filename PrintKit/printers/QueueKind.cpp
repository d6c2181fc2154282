#include "PrintKit/printers/QueueKind.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace PrintKit {

namespace {

bool containsIgnoringCase(std::string_view text, std::string_view word) {
    auto lower = [](unsigned char c) { return std::tolower(c); };
    auto found = std::search(text.begin(), text.end(), word.begin(), word.end(), [&](char a, char b) {
        return lower(static_cast<unsigned char>(a)) == lower(static_cast<unsigned char>(b));
    });
    return found != text.end();
}

// The words that CUPS, cups-filters and macOS put into the model names of the queues and PPD files they
// generate for driverless printers.
bool namesDriverless(std::string_view name) {
    static constexpr std::array<std::string_view, 3> words{"AirPrint", "IPP Everywhere", "driverless"};
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view word) { return containsIgnoringCase(name, word); });
}

std::string_view attribute(const PPDFile& ppd, const std::string& keyword) {
    auto found = ppd.attributes.find(keyword);
    return found == ppd.attributes.end() ? std::string_view{} : std::string_view{found->second};
}

bool describesDriverless(const PPDFile& ppd) {
    // "ippeve.ppd" is the file name CUPS gives the PPD it generates for an IPP Everywhere printer.
    return containsIgnoringCase(attribute(ppd, "APAirPrint"), "True") ||
           attribute(ppd, "PCFileName") == "ippeve.ppd" || namesDriverless(ppd.nickName) ||
           namesDriverless(ppd.modelName);
}

} // namespace

QueueKind queueKind(const PrinterQueue& queue, const PPDFile* ppd) {
    if (ppd && ppd->attributes.count("EPIJDriverSystem") > 0) {
        return QueueKind::epson;
    }
    if ((ppd && describesDriverless(*ppd)) || namesDriverless(queue.makeAndModel)) {
        return QueueKind::airPrint;
    }
    return QueueKind::other;
}

} // namespace PrintKit
