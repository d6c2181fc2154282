#include "PrintKit/support/Text.h"

#include <memory>
#include <mutex>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

namespace PrintKit::Text {

bool isValidUtf8(std::string_view bytes) {
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    int32_t length = static_cast<int32_t>(bytes.size());
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
        return false;
    }
    int32_t i = 0;
    while (i < length) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) {
            return false;
        }
    }
    return true;
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::string utf8OrLatin1(std::string_view bytes) {
    return isValidUtf8(bytes) ? std::string(bytes) : latin1ToUtf8(bytes);
}

std::string utf8WithReplacement(std::string_view bytes) {
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Work in windows that fit an int32_t; a sequence is at most four bytes, so restart at a boundary.
        int32_t length = static_cast<int32_t>(std::min<std::size_t>(bytes.size() - i, 1u << 30));
        int32_t at = 0;
        while (at < length) {
            int32_t begin = at;
            UChar32 c;
            U8_NEXT(s + i, at, length, c);
            if (c < 0) {
                out += "\xEF\xBF\xBD";
            } else {
                out.append(reinterpret_cast<const char*>(s + i + begin), static_cast<std::size_t>(at - begin));
            }
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

std::optional<std::string> utf16BEToUtf8(std::string_view bytes) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t k) {
        return static_cast<uint16_t>((static_cast<uint8_t>(bytes[2 * k]) << 8) | static_cast<uint8_t>(bytes[2 * k + 1]));
    };
    const std::size_t count = bytes.size() / 2;
    for (std::size_t k = 0; k < count; ++k) {
        UChar32 c = unit(k);
        if (U16_IS_LEAD(c)) {
            if (k + 1 >= count || !U16_IS_TRAIL(unit(k + 1))) {
                return std::nullopt;
            }
            c = U16_GET_SUPPLEMENTARY(c, unit(k + 1));
            ++k;
        } else if (U16_IS_TRAIL(c)) {
            return std::nullopt;
        }
        char buffer[4];
        int32_t length = 0;
        UBool error = false;
        U8_APPEND(reinterpret_cast<uint8_t*>(buffer), length, 4, c, error);
        (void)error; // c is a valid scalar value and four bytes always suffice
        out.append(buffer, static_cast<std::size_t>(length));
    }
    return out;
}

std::string lowercased(std::string_view utf8) {
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())))
        .toLower(icu::Locale::getRoot())
        .toUTF8String(out);
    return out;
}

std::string uppercased(std::string_view utf8) {
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())))
        .toUpper(icu::Locale::getRoot())
        .toUTF8String(out);
    return out;
}

std::string_view trimmed(std::string_view text) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view trimmedSpacesAndTabs(std::string_view text) {
    auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::vector<std::string_view> spaceSeparatedWords(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        auto start = text.find_first_not_of(' ', at);
        if (start == std::string_view::npos) {
            break;
        }
        auto end = text.find(' ', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

namespace {

// ICU collators are not safe for concurrent use; each thread keeps its own, made for the user's locale.
icu::Collator* nameCollator() {
    thread_local std::unique_ptr<icu::Collator> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        // The C and POSIX locales map to ICU's "en_US_POSIX", whose collation is plain code-point order;
        // a user without a locale gets the root collation instead, which is what a file browser shows.
        icu::Locale locale = icu::Locale::getDefault();
        if (std::string_view(locale.getVariant()) == "POSIX") {
            locale = icu::Locale::getRoot();
        }
        std::unique_ptr<icu::Collator> made(icu::Collator::createInstance(locale, status));
        if (U_FAILURE(status) || !made) {
            status = U_ZERO_ERROR;
            made.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        }
        if (made) {
            status = U_ZERO_ERROR;
            made->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
        }
        return made;
    }();
    return collator.get();
}

} // namespace

int compareNames(std::string_view a, std::string_view b) {
    icu::Collator* collator = nameCollator();
    if (!collator) {
        return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    }
    UErrorCode status = U_ZERO_ERROR;
    auto result = collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                        icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    if (U_FAILURE(status)) {
        return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    }
    return result == UCOL_LESS ? -1 : (result == UCOL_EQUAL ? 0 : 1);
}

} // namespace PrintKit::Text
