#include "PrintKit/support/Folders.h"

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace PrintKit::Folders {

std::filesystem::path home() {
    if (const char* value = std::getenv("HOME"); value && *value) {
        return value;
    }
    // No HOME (a service or a stripped environment): the account's own entry still names it.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
        return found->pw_dir;
    }
    return {};
}

std::filesystem::path userData() {
#ifdef __APPLE__
    return home() / "Library" / "Application Support";
#else
    // An unset, empty or relative $XDG_DATA_HOME is ignored, as the base-directory rules ask.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && xdg[0] == '/') {
        return xdg;
    }
    return home() / ".local" / "share";
#endif
}

std::filesystem::path userConfig() {
#ifdef __APPLE__
    return home() / "Library" / "Preferences";
#else
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && xdg[0] == '/') {
        return xdg;
    }
    return home() / ".config";
#endif
}

std::filesystem::path userCache() {
#ifdef __APPLE__
    return home() / "Library" / "Caches";
#else
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg && xdg[0] == '/') {
        return xdg;
    }
    return home() / ".cache";
#endif
}

} // namespace PrintKit::Folders
