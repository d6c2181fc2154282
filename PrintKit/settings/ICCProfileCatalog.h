// Finds the paper profiles a recipe may use: every RGB output profile in the machine's profile folders and
// those the queue's PPD file names, each listed once however many copies of it exist (the same MD5).
// Nothing here throws: missing folders and unusable files simply add nothing.
#pragma once

#include "PrintKit/settings/ICCProfileInfo.h"
#include "PrintKit/settings/PPDFile.h"

#include <filesystem>
#include <string>
#include <vector>

namespace PrintKit::ICCProfileCatalog {

// The profile folders, the user's first, computed on every call. On Linux: $XDG_DATA_HOME/icc (or
// ~/.local/share/icc), ~/.color/icc, /usr/local/share/color/icc, /usr/share/color/icc, /var/lib/colord/icc.
// On macOS: Library/ColorSync/Profiles in the home folder, then /Library/ColorSync/Profiles.
std::vector<std::filesystem::path> standardDirectories();

// Every file or folder below `folder` whose extension is "icc" or "icm" in any letter case, at any depth,
// sorted by path (code-point order after canonical composition). Hidden items are skipped and hidden
// folders not entered; links to folders are not followed (no walk can loop); unreadable parts are passed
// over. A missing folder gives an empty list.
std::vector<std::filesystem::path> profileFiles(const std::filesystem::path& folder);

// The distinct RGB output profiles among the files of each folder (in the order given, each sorted) and
// then the extra paths (in the order given, whatever their extension). A profile whose MD5 was already
// listed is left out, so the first copy wins. Relative extra paths are taken from the current folder and
// recorded as absolute paths.
std::vector<ICCProfileInfo> printerProfiles(const std::vector<std::filesystem::path>& directories,
                                            const std::vector<std::string>& extraPaths);

// The profile files a PPD names in its cupsICCProfile lines, in file order. A name that is not an absolute
// path lies in the "profiles" folder of the CUPS data folder ($CUPS_DATADIR, else /usr/share/cups), which
// is where CUPS itself looks for it.
std::vector<std::string> ppdProfilePaths(const PPDFile& ppd);

} // namespace PrintKit::ICCProfileCatalog
