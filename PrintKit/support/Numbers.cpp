#include "PrintKit/support/Numbers.h"

#include <array>
#include <charconv>
#include <cmath>

namespace PrintKit::Numbers {

namespace {

std::string nonFinite(double value) {
    if (std::isnan(value)) {
        return std::signbit(value) ? "-nan" : "nan";
    }
    return value < 0 ? "-inf" : "inf";
}

} // namespace

std::string fixed(double value, int decimals) {
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    // Large enough for the longest double in fixed notation (309 digits) plus the fraction.
    std::array<char, 400> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed,
                                decimals < 0 ? 0 : decimals);
    if (result.ec != std::errc{}) {
        return nonFinite(value);
    }
    return std::string(buffer.data(), result.ptr);
}

std::string shortest(double value) {
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    std::array<char, 64> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string general(double value, int significantDigits) {
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    std::array<char, 64> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::general,
                                significantDigits < 1 ? 1 : significantDigits);
    return std::string(buffer.data(), result.ptr);
}

std::string integer(std::int64_t value) {
    std::array<char, 24> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::optional<PrefixNumber> parseDoublePrefix(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) {
        ++start;
    }
    std::size_t digitsAt = start;
    bool negative = false;
    if (digitsAt < text.size() && (text[digitsAt] == '+' || text[digitsAt] == '-')) {
        negative = text[digitsAt] == '-';
        ++digitsAt;
    }
    // from_chars would read "inf" and "nan"; only plain decimal numbers count here.
    if (digitsAt >= text.size() ||
        !((text[digitsAt] >= '0' && text[digitsAt] <= '9') || text[digitsAt] == '.')) {
        return std::nullopt;
    }
    double value = 0;
    const char* first = text.data() + digitsAt;
    auto result = std::from_chars(first, text.data() + text.size(), value, std::chars_format::general);
    if (result.ec != std::errc{} || !std::isfinite(value)) {
        return std::nullopt;
    }
    return PrefixNumber{negative ? -value : value, static_cast<std::size_t>(result.ptr - text.data())};
}

std::optional<double> parseDouble(std::string_view text) {
    if (text.empty() || text.front() == ' ' || text.front() == '\t') {
        return std::nullopt;
    }
    auto number = parseDoublePrefix(text);
    if (!number || number->length != text.size()) {
        return std::nullopt;
    }
    return number->value;
}

std::vector<double> parseList(std::string_view text, std::string_view separators) {
    std::vector<double> result;
    std::size_t at = 0;
    while (at < text.size()) {
        auto start = text.find_first_not_of(separators, at);
        if (start == std::string_view::npos) {
            break;
        }
        auto end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (auto number = parseDouble(text.substr(start, end - start))) {
            result.push_back(*number);
        }
        at = end;
    }
    return result;
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::size_t at = 0;
    if (text[0] == '+') {
        at = 1;
        if (text.size() == 1 || text[1] == '-') {
            return std::nullopt;
        }
    }
    std::int64_t value = 0;
    auto result = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace PrintKit::Numbers
