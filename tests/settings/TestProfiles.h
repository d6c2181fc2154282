// ICC profiles for the tests: real ones written by Little CMS, and hand-laid byte strings whose every field
// the test chooses (damaged tables and odd descriptions that no profile writer produces).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace TestProfiles {

enum class Kind { rgbPrinter, rgbDisplay, cmykPrinter };

// Version 2 writes a text description tag, version 4 a multi-localised one with the records in order
// (language, country, text); no records: no description tag.
struct Record {
    const char* language;
    const char* country;
    std::wstring text;
};
std::string make(Kind kind, double version, const std::vector<Record>& description);

struct Tag {
    std::string signature;
    std::string data;
    std::optional<std::uint32_t> offset = std::nullopt; // else where the data lands
    std::optional<std::uint32_t> size = std::nullopt;   // else the data's size
};
// Header ("acsp", class, colour space, version word), tag count (the number of tags unless given), table,
// then each tag's data padded to four bytes.
std::string handMade(const std::vector<Tag>& tags, std::uint32_t version = 0x02100000,
                     std::optional<std::uint32_t> count = std::nullopt);

std::string be32(std::uint32_t value);
std::string textDescription(const std::string& bytes, std::uint32_t count);
// One record per (language and country, UTF-16BE bytes).
std::string multiLocalized(const std::vector<std::pair<std::string, std::string>>& records);
std::string utf16(const std::u16string& text);

} // namespace TestProfiles
