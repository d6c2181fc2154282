// Enumerations whose cases are stored as text. An enumeration E opts in by specialising RawValues<E> with a
// table of (case, raw text) pairs in declaration order; rawValue, fromRawValue and allCases then work for it.
// Reading is exact: letter case counts and any other text gives no value.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace PrintKit {

template <typename E>
struct RawValues; // specialise: static constexpr std::array<std::pair<E, std::string_view>, N> table

template <typename E>
constexpr std::string_view rawValue(E value) {
    for (const auto& [item, text] : RawValues<E>::table) {
        if (item == value) {
            return text;
        }
    }
    return {};
}

template <typename E>
constexpr std::optional<E> fromRawValue(std::string_view text) {
    for (const auto& [item, raw] : RawValues<E>::table) {
        if (raw == text) {
            return item;
        }
    }
    return std::nullopt;
}

template <typename E>
constexpr auto allCases() {
    constexpr auto& table = RawValues<E>::table;
    std::array<E, table.size()> cases{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        cases[i] = table[i].first;
    }
    return cases;
}

} // namespace PrintKit
