// Bounded reads from the bytes of a binary file. Every read checks its range first and gives no value
// instead of reading past either end, so code that follows offsets found in an untrusted file cannot be
// led outside it.
#pragma once

#include "PrintKit/support/Text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace PrintKit {

struct ByteReader {
    std::string_view data;

    std::int64_t size() const { return static_cast<std::int64_t>(data.size()); }

    // True when offset and length are non-negative and offset + length does not pass the end.
    bool contains(std::int64_t offset, std::int64_t length) const {
        return offset >= 0 && length >= 0 && offset <= size() && length <= size() - offset;
    }

    // Four bytes as ISO 8859-1 text (in UTF-8), e.g. a signature such as "prtr" or "RGB ".
    std::optional<std::string> fourCC(std::int64_t offset) const {
        if (!contains(offset, 4)) {
            return std::nullopt;
        }
        return Text::latin1ToUtf8(data.substr(static_cast<std::size_t>(offset), 4));
    }

    // Four bytes as an unsigned big-endian number; never negative.
    std::optional<std::int64_t> uint32(std::int64_t offset) const {
        if (!contains(offset, 4)) {
            return std::nullopt;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(data.data()) + offset;
        return (static_cast<std::int64_t>(p[0]) << 24) | (static_cast<std::int64_t>(p[1]) << 16) |
               (static_cast<std::int64_t>(p[2]) << 8) | static_cast<std::int64_t>(p[3]);
    }

    std::optional<std::string_view> slice(std::int64_t offset, std::int64_t length) const {
        if (!contains(offset, length)) {
            return std::nullopt;
        }
        return data.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    }
};

} // namespace PrintKit
