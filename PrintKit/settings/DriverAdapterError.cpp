#include "PrintKit/settings/DriverAdapterError.h"

#include "PrintKit/support/Numbers.h"

namespace PrintKit {

namespace {

double millimetres(double points) {
    return points * 25.4 / 72;
}

} // namespace

DriverAdapterError DriverAdapterError::unsupportedDriver(const std::string& nickName) {
    return {DriverAdapterErrorCode::unsupportedDriver, nickName + "은 Epson 드라이버를 쓰지 않습니다",
            nickName};
}

DriverAdapterError DriverAdapterError::unknownMedia(const std::string& media) {
    return {DriverAdapterErrorCode::unknownMedia, "드라이버에 없는 용지 종류입니다: " + media, media};
}

DriverAdapterError DriverAdapterError::unknownSheet(const std::string& sheet) {
    return {DriverAdapterErrorCode::unknownSheet, "드라이버에 없는 용지 크기입니다: " + sheet, sheet};
}

DriverAdapterError DriverAdapterError::unknownSource(const std::string& source) {
    return {DriverAdapterErrorCode::unknownSource, "드라이버에 없는 급지 방식입니다: " + source, source};
}

DriverAdapterError DriverAdapterError::sheetNotAvailable(const std::string& sheet,
                                                         const std::string& source) {
    DriverAdapterError error(DriverAdapterErrorCode::sheetNotAvailable,
                             sheet + " 용지는 이 급지 방식(" + source + ")으로 인쇄할 수 없습니다", sheet);
    error.source_ = source;
    return error;
}

DriverAdapterError DriverAdapterError::customSourceNotAllowed(const std::string& sourceLabel) {
    return {DriverAdapterErrorCode::customSourceNotAllowed,
            "사용자 지정 크기는 '" + sourceLabel + "' 급지로 인쇄할 수 없습니다. 일반 급지를 고르세요",
            sourceLabel};
}

DriverAdapterError DriverAdapterError::customSizeOutOfRange(const PPDCustomSizeRange& range) {
    // The dash between the bounds is an en dash.
    DriverAdapterError error(DriverAdapterErrorCode::customSizeOutOfRange,
                             "이 프린터는 폭 " + Numbers::fixed(millimetres(range.minWidth), 1) + "\u2013" +
                                 Numbers::fixed(millimetres(range.maxWidth), 1) + "mm, 길이 " +
                                 Numbers::fixed(millimetres(range.minHeight), 0) + "\u2013" +
                                 Numbers::fixed(millimetres(range.maxHeight), 0) +
                                 "mm 용지까지 인쇄할 수 있습니다",
                             {});
    error.range_ = range;
    return error;
}

DriverAdapterError DriverAdapterError::noQualityPreset(PrintQuality quality) {
    std::string name(label(quality));
    DriverAdapterError error(DriverAdapterErrorCode::noQualityPreset,
                             "이 프린터 드라이버에는 '" + name + "' 품질 설정이 없습니다", name);
    error.quality_ = quality;
    return error;
}

DriverAdapterError DriverAdapterError::customSizeNotSupported() {
    return {DriverAdapterErrorCode::customSizeNotSupported,
            "이 프린터 드라이버는 사용자 지정 크기를 받지 않습니다",
            {}};
}

} // namespace PrintKit
