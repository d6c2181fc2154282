// Reads what the application needs to know of one ICC profile file: the header fields that decide whether it
// can serve as a paper profile, its own description, and its identity (the MD5 of every byte). Colour data is
// never interpreted. Nothing here throws: a file that cannot be read or is not a sound profile gives no
// value.
#pragma once

#include "PrintKit/settings/ICCProfileInfo.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace PrintKit::ICCProfileReader {

// No profile can be larger: the header's size field has 32 bits.
inline constexpr std::uint64_t maximumFileSize = UINT32_MAX;

// Reads the whole file into memory and parses it with the file's path. The file is copied, not mapped, so a
// file that shrinks while it is read cannot take the process down. Anything but a regular file (a folder, a
// pipe, a device) and any read error give no value; opening never waits for a pipe's writer.
std::optional<ICCProfileInfo> read(const std::filesystem::path& file, bool requirePrinterRGB);

// Parses profile bytes; `path` is recorded as given and names the profile when it has no description.
// With requirePrinterRGB only RGB output-device profiles are accepted. Only the header decides whether the
// bytes are a profile: a damaged or cut-short tag table never rejects one (its file stem then names it),
// and every read of the table and the description tag stays inside the bytes.
std::optional<ICCProfileInfo> parse(std::string_view bytes, const std::string& path, bool requirePrinterRGB);

} // namespace PrintKit::ICCProfileReader
