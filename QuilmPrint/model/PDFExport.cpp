#include "QuilmPrint/model/PDFExport.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace QuilmPrint::PDFExport {

namespace {

enum class Claim { placed, taken, unsupported };

// A hard link fails when the name exists, so it claims a name without a window in which another file could
// be replaced.
Claim byLink(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return Claim::placed;
    }
    if (errno == EEXIST)
        return Claim::taken;
    if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP || errno == EMLINK || errno == ENOSYS)
        return Claim::unsupported; // file systems without hard links (FAT on a memory card)
    throw std::system_error(errno, std::generic_category(), to.string());
}

Claim byRename(const std::filesystem::path& from, const std::filesystem::path& to) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return Claim::placed;
    if (errno == EEXIST)
        return Claim::taken;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        throw std::system_error(errno, std::generic_category(), to.string());
#endif
    // Last resort where the file system offers no exclusive move: only the moment between the look and the
    // move is unguarded.
    std::error_code error;
    if (std::filesystem::exists(to, error) || error)
        return Claim::taken;
    std::filesystem::rename(from, to);
    return Claim::placed;
}

} // namespace

std::string fileName(const std::string& stem, int number) {
    if (number <= 1)
        return stem + ".pdf";
    return stem + " (" + std::to_string(number) + ").pdf";
}

std::filesystem::path place(const std::filesystem::path& rendered, const std::filesystem::path& folder,
                            const std::string& stem) {
    bool links = true;
    for (int number = 1; number <= 9999; ++number) {
        const std::filesystem::path candidate = folder / fileName(stem, number);
        Claim claim = links ? byLink(rendered, candidate) : Claim::unsupported;
        if (claim == Claim::unsupported) {
            links = false;
            claim = byRename(rendered, candidate);
        }
        if (claim == Claim::placed)
            return candidate;
    }
    throw std::system_error(std::make_error_code(std::errc::file_exists),
                            (folder / fileName(stem, 1)).string());
}

} // namespace QuilmPrint::PDFExport
