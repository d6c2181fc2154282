// Why a recipe cannot be printed on an Epson queue as it stands: the Korean message says what to change.
#pragma once

#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/settings/PaperRecipe.h"
#include "PrintKit/support/Error.h"

#include <optional>
#include <string>

namespace PrintKit {

enum class DriverAdapterErrorCode {
    unsupportedDriver,      // detail: the PPD's nickname
    unknownMedia,           // detail: the media key
    unknownSheet,           // detail: the sheet key
    unknownSource,          // detail: the source key
    sheetNotAvailable,      // detail: the sheet key; source(): the source key
    customSourceNotAllowed, // detail: the source's Korean label
    customSizeOutOfRange,   // range(): the effective range in points
    noQualityPreset,        // detail: the quality's label; quality(): the quality
    customSizeNotSupported, // no detail
};

class DriverAdapterError : public Error {
public:
    static DriverAdapterError unsupportedDriver(const std::string& nickName);
    static DriverAdapterError unknownMedia(const std::string& media);
    static DriverAdapterError unknownSheet(const std::string& sheet);
    static DriverAdapterError unknownSource(const std::string& source);
    static DriverAdapterError sheetNotAvailable(const std::string& sheet, const std::string& source);
    static DriverAdapterError customSourceNotAllowed(const std::string& sourceLabel);
    static DriverAdapterError customSizeOutOfRange(const PPDCustomSizeRange& range);
    static DriverAdapterError noQualityPreset(PrintQuality quality);
    static DriverAdapterError customSizeNotSupported();

    DriverAdapterErrorCode code() const noexcept { return code_; }
    const std::string& detail() const noexcept { return detail_; }
    const std::string& source() const noexcept { return source_; }
    const std::optional<PPDCustomSizeRange>& range() const noexcept { return range_; }
    const std::optional<PrintQuality>& quality() const noexcept { return quality_; }
    std::string message() const { return what(); }

private:
    DriverAdapterError(DriverAdapterErrorCode code, const std::string& message, std::string detail)
        : Error(message), code_(code), detail_(std::move(detail)) {}

    DriverAdapterErrorCode code_;
    std::string detail_;
    std::string source_;
    std::optional<PPDCustomSizeRange> range_;
    std::optional<PrintQuality> quality_;
};

} // namespace PrintKit
