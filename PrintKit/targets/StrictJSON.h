// Typed reading of JSON documents for the reference answers and manifests that outside tools exchange with
// the engine. Every member named is required and must have its JSON type; a whole number must fit the type
// it is read into (70000 is no 16-bit value and −1 no unsigned one), and is never wrapped. Failures throw the
// JSON layer's own exceptions (nlohmann::json::exception), as a decoder would.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <type_traits>
#include <vector>

namespace PrintKit::StrictJSON {

using nlohmann::json;

[[noreturn]] inline void wrongType(const json& value, const char* expected) {
    throw json::type_error::create(
        302, std::string("type must be ") + expected + ", but is " + value.type_name(), &value);
}

inline const json& object(const json& value) {
    if (!value.is_object()) {
        wrongType(value, "object");
    }
    return value;
}

inline const json& array(const json& value) {
    if (!value.is_array()) {
        wrongType(value, "array");
    }
    return value;
}

// at() throws out_of_range (403) for a missing member.
inline const json& member(const json& value, const char* key) {
    return object(value).at(key);
}

inline double number(const json& value) {
    if (!value.is_number()) {
        wrongType(value, "number");
    }
    return value.get<double>();
}

inline std::string string(const json& value) {
    if (!value.is_string()) {
        wrongType(value, "string");
    }
    return value.get<std::string>();
}

inline bool boolean(const json& value) {
    if (!value.is_boolean()) {
        wrongType(value, "boolean");
    }
    return value.get<bool>();
}

// A whole number that fits T. A number written with a fraction part of zero (3.0) counts as whole, as it
// does for the decoders that write these documents on other platforms.
template <typename T> T integer(const json& value) {
    static_assert(std::is_integral_v<T> && sizeof(T) <= 8);
    auto outOfRange = [&]() {
        return json::out_of_range::create(406, "number " + value.dump() + " does not fit the expected type",
                                          &value);
    };
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(std::numeric_limits<T>::max())) {
            throw outOfRange();
        }
        return static_cast<T>(v);
    }
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        if constexpr (std::is_unsigned_v<T>) {
            if (v < 0 || static_cast<std::uint64_t>(v) > std::numeric_limits<T>::max()) {
                throw outOfRange();
            }
        } else {
            if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) {
                throw outOfRange();
            }
        }
        return static_cast<T>(v);
    }
    if (value.is_number_float()) {
        const double v = value.get<double>();
        // The bounds are powers of two, exact in double: [min, max + 1).
        const double low = static_cast<double>(std::numeric_limits<T>::min());
        const double high =
            std::is_unsigned_v<T> ? std::ldexp(1.0, 8 * sizeof(T)) : std::ldexp(1.0, 8 * sizeof(T) - 1);
        if (std::trunc(v) != v) {
            wrongType(value, "whole number");
        }
        if (!(v >= low && v < high)) {
            throw outOfRange();
        }
        return static_cast<T>(v);
    }
    wrongType(value, "number");
}

template <typename T, typename Read> std::vector<T> list(const json& value, Read read) {
    std::vector<T> result;
    result.reserve(array(value).size());
    for (const json& item : value) {
        result.push_back(read(item));
    }
    return result;
}

inline std::vector<double> numbers(const json& value) {
    return list<double>(value, [](const json& item) { return number(item); });
}

template <typename T> std::vector<T> integers(const json& value) {
    return list<T>(value, [](const json& item) { return integer<T>(item); });
}

} // namespace PrintKit::StrictJSON
