// MD5 digests as 32 lower-case hexadecimal digits: the identity of an ICC profile file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace PrintKit::Md5 {

std::string hex(std::string_view bytes);

// Throws std::system_error when the file cannot be read.
std::string hexOfFile(const std::filesystem::path& path);

} // namespace PrintKit::Md5
