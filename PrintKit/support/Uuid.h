// A 128-bit identity: random (version 4) when made, written as 36 upper-case characters in groups
// 8-4-4-4-12, read back in either case and nothing looser.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace PrintKit {

struct Uuid {
    std::array<std::uint8_t, 16> bytes{};

    static Uuid random();
    static std::optional<Uuid> parse(std::string_view text);
    std::string string() const; // upper case

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend auto operator<=>(const Uuid&, const Uuid&) = default;
};

} // namespace PrintKit

template <>
struct std::hash<PrintKit::Uuid> {
    std::size_t operator()(const PrintKit::Uuid& id) const noexcept;
};
