#include "PrintKit/settings/ICCProfileReader.h"

#include "PrintKit/settings/ByteReader.h"
#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Md5.h"
#include "PrintKit/support/Numbers.h"
#include "PrintKit/support/Text.h"

#include <algorithm>
#include <unicode/uchar.h>
#include <unicode/utf8.h>
#include <utility>
#include <vector>

namespace PrintKit::ICCProfileReader {

namespace {

constexpr std::int64_t headerSize = 128;
constexpr std::int64_t tagTableStart = headerSize + 4; // after the tag count
constexpr std::int64_t tagEntrySize = 12;
constexpr std::int64_t descriptionEntryLimit = 256;

std::optional<std::string> descriptionTag(const ByteReader& bytes) {
    auto count = bytes.uint32(headerSize);
    if (!count || *count == 0) {
        return std::nullopt;
    }
    const std::int64_t entries = std::min(*count, descriptionEntryLimit);
    std::int64_t offset = -1;
    std::int64_t size = 0;
    for (std::int64_t i = 0; i < entries; ++i) {
        const std::int64_t entry = tagTableStart + tagEntrySize * i;
        auto signature = bytes.fourCC(entry);
        auto entryOffset = bytes.uint32(entry + 4);
        auto entrySize = bytes.uint32(entry + 8);
        if (signature && *signature == "desc" && entryOffset && entrySize) {
            offset = *entryOffset;
            size = *entrySize;
            break;
        }
    }
    if (offset < 0) {
        return std::nullopt;
    }
    auto type = bytes.fourCC(offset);
    if (!type) {
        return std::nullopt;
    }
    if (*type == "desc") {
        // Only the ASCII part of the text description type; its Unicode and ScriptCode parts are not read.
        auto characters = bytes.uint32(offset + 8);
        if (!characters) {
            return std::nullopt;
        }
        const std::int64_t length = std::max<std::int64_t>(std::min(size - 12, *characters), 0);
        auto text = bytes.slice(offset + 12, length);
        if (!text) {
            return std::nullopt;
        }
        return Text::latin1ToUtf8(text->substr(0, text->find('\0')));
    }
    if (*type == "mluc") {
        // The first record, whatever its language: a profile names itself the same way in every language it
        // carries, and the first is the one its maker wrote first.
        auto records = bytes.uint32(offset + 8);
        if (!records || *records < 1) {
            return std::nullopt;
        }
        auto length = bytes.uint32(offset + 20);
        auto start = bytes.uint32(offset + 24);
        if (!length || !start) {
            return std::nullopt;
        }
        auto text = bytes.slice(offset + *start, *length);
        if (!text) {
            return std::nullopt;
        }
        // Some writers count a terminating U+0000 into the record, as the text description type does.
        auto decoded = Text::utf16BEToUtf8(*text);
        if (decoded) {
            decoded->resize(std::min(decoded->size(), decoded->find('\0')));
        }
        return decoded;
    }
    return std::nullopt;
}

bool isSpaceOrNewline(UChar32 c) {
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85) {
        return true;
    }
    const auto type = u_charType(c);
    return type == U_SPACE_SEPARATOR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

// Unicode white space and line breaks off both ends (the text is valid UTF-8).
std::string_view trimmedUnicode(std::string_view text) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c;
        U8_NEXT(s, next, length, c);
        if (c < 0 || !isSpaceOrNewline(c)) {
            break;
        }
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(s, begin, previous, c);
        if (c < 0 || !isSpaceOrNewline(c)) {
            break;
        }
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

} // namespace

namespace {

std::optional<ICCProfileInfo> parseBytes(std::string_view data, const std::string& path,
                                         bool requirePrinterRGB) {
    const ByteReader bytes{data};
    if (bytes.size() < tagTableStart) {
        return std::nullopt;
    }
    auto magic = bytes.fourCC(36);
    if (!magic || *magic != "acsp") {
        return std::nullopt;
    }
    auto deviceClass = bytes.fourCC(12);
    auto colorSpace = bytes.fourCC(16);
    auto connectionSpace = bytes.fourCC(20);
    auto version = bytes.uint32(8);
    if (!deviceClass || !colorSpace || !connectionSpace || !version) {
        return std::nullopt;
    }
    if (requirePrinterRGB && (*deviceClass != "prtr" || *colorSpace != "RGB ")) {
        return std::nullopt;
    }

    ICCProfileInfo info;
    info.path = path;
    if (auto text = descriptionTag(bytes)) {
        info.description = std::string(trimmedUnicode(*text));
    }
    if (info.description.empty()) {
        info.description = info.fileStem();
    }
    info.deviceClass = std::move(*deviceClass);
    info.colorSpace = std::move(*colorSpace);
    info.connectionSpace = std::move(*connectionSpace);
    // Major version and the first digit of the minor one; the bug-fix digit is not shown.
    info.version = Numbers::integer(*version >> 24) + "." + Numbers::integer((*version >> 20) & 15);
    info.md5 = Md5::hex(data);
    return info;
}

} // namespace

std::optional<ICCProfileInfo> parse(std::string_view data, const std::string& path, bool requirePrinterRGB) {
    // A profile that cannot even be digested (no memory, no MD5) is skipped like any unusable file.
    try {
        return parseBytes(data, path, requirePrinterRGB);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<ICCProfileInfo> read(const std::filesystem::path& file, bool requirePrinterRGB) {
    std::string bytes;
    try {
        bytes = FileIO::readFile(file, maximumFileSize);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return parse(bytes, file.string(), requirePrinterRGB);
}

} // namespace PrintKit::ICCProfileReader
