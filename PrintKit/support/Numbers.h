// Numbers as text, independent of the process locale. The application sets the C locale from the user's
// settings, after which printf would write "300,00" in some regions; files, option values and messages the
// engine writes must read the same everywhere, so every conversion here goes through to_chars/from_chars.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PrintKit::Numbers {

// printf("%.*f", decimals, value) without the locale; NaN and infinities are written "nan", "inf", "-inf".
std::string fixed(double value, int decimals);

// The shortest text that reads back as the same double (JSON numbers, reference answers).
std::string shortest(double value);

// printf("%g"), with the given significant digits (default 6, as %g).
std::string general(double value, int significantDigits = 6);

std::string integer(std::int64_t value);

// A decimal number filling the whole text (no surrounding spaces). Accepts an optional leading '+' or '-',
// digits with an optional fraction and exponent. Only finite values count: "nan", "inf" and overflow give
// no value.
std::optional<double> parseDouble(std::string_view text);

// Like parseDouble, but reads the longest number at the start of the text (after leading spaces and tabs)
// and reports how many characters it used. Mirrors strtod's prefix reading without the locale.
struct PrefixNumber {
    double value;
    std::size_t length;
};
std::optional<PrefixNumber> parseDoublePrefix(std::string_view text);

// The finite numbers among the words of a text split at any of the separator characters, in order; words
// that are not numbers ("nan", "inf", "auto", overflow) are passed over.
std::vector<double> parseList(std::string_view text, std::string_view separators);

// A decimal integer filling the whole text, with optional sign; out of range gives no value.
std::optional<std::int64_t> parseInteger(std::string_view text);

} // namespace PrintKit::Numbers
