// Decoding bytes from files into UTF-8 text, and the few Unicode operations the engine needs. The rules
// follow what the readers of PPD files, ICC profiles and driver data expect: strict UTF-8 where a file may
// also be ISO Latin-1, UTF-16 big-endian for ICC text, and UTF-8 with replacement characters for data that
// must be read whatever it holds.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PrintKit::Text {

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing past U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// Every byte is its own code point (ISO 8859-1).
std::string latin1ToUtf8(std::string_view bytes);

// UTF-8 when the bytes are valid UTF-8, else ISO Latin-1.
std::string utf8OrLatin1(std::string_view bytes);

// Ill-formed sequences become U+FFFD, one per maximal ill-formed subpart.
std::string utf8WithReplacement(std::string_view bytes);

// UTF-16 big-endian to UTF-8; no value for an odd byte count or unpaired surrogates.
std::optional<std::string> utf16BEToUtf8(std::string_view bytes);

// Case folding and trimming used by name comparisons.
std::string lowercased(std::string_view utf8);
std::string uppercased(std::string_view utf8);
std::string_view trimmed(std::string_view text); // ASCII white space and newlines at both ends
std::string_view trimmedSpacesAndTabs(std::string_view text); // spaces and tabs only
// The words of a text separated by runs of spaces (only the space character separates).
std::vector<std::string_view> spaceSeparatedWords(std::string_view text);

// The order a file browser gives names: case-insensitive first, runs of digits by their value, accents
// after base letters, following the user's locale. Negative, zero or positive like strcmp.
int compareNames(std::string_view a, std::string_view b);

} // namespace PrintKit::Text
