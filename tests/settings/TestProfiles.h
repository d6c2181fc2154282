// ICC profiles for the tests: real ones made with Little CMS, and hand-laid byte strings whose every field
// the test chooses (for damaged tables and odd descriptions that no profile writer would produce).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace TestProfiles {

enum class Kind { rgbPrinter, rgbDisplay, cmykPrinter };

struct Text {
    std::string language; // two letters, e.g. "de"
    std::string country;  // two letters, e.g. "DE"
    std::wstring text;
};

// A profile written by Little CMS with the given version (2.x writes a text description tag, 4.x a
// multi-localised one) and description records in order; no records: no description tag at all.
std::string make(Kind kind, double version, const std::vector<Text>& descriptions);
std::string make(Kind kind, double version, const std::wstring& description);

// A tag laid by hand. Offset and size are filled in from the data unless given.
struct Tag {
    std::string signature;
    std::string data;
    std::optional<std::uint32_t> offset = std::nullopt;
    std::optional<std::uint32_t> size = std::nullopt;
};

// 128-byte header with "acsp", the given class, colour space and version word, then the tag count
// (the number of tags unless given), the table and the tags' data, each padded to four bytes.
std::string handMade(const std::vector<Tag>& tags, const std::string& deviceClass = "prtr",
                     const std::string& colorSpace = "RGB ", std::uint32_t version = 0x02100000,
                     std::optional<std::uint32_t> count = std::nullopt);

std::string bigEndian32(std::uint32_t value);
// A text description tag's data: type, reserved, character count, then the bytes as given.
std::string textDescription(const std::string& bytes, std::uint32_t count);
// A multi-localised tag's data with one record per text, given as raw UTF-16BE bytes.
std::string multiLocalized(const std::vector<std::pair<std::string, std::string>>& records);

} // namespace TestProfiles
