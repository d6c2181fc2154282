// The custom paper sizes the user keeps in the desktop's print dialog, which the recipe inspector offers
// beside the printer's own sheets. On Linux they are GTK 3's key file "gtk-3.0/custom-papers" in the user's
// configuration folder: one group per size ("[Paper0]", "[Paper1]", …) with its name (DisplayName, else
// Name, else PPDName), Width and Height and the margins MarginTop, MarginBottom, MarginLeft and MarginRight,
// all in millimetres. The dialog owns the file; this program only reads it.
#pragma once

#include "QuilmPrint/model/ModelRecords.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace QuilmPrint::CustomPapers {

// The list's file below a configuration folder (the user's: $XDG_CONFIG_HOME, else ~/.config).
std::filesystem::path file(const std::filesystem::path& configFolder);

// The sizes of a key file's text in the order of their groups, lengths in points. An entry that the print
// dialog could not read either (a length missing or not a number, no name, text that is not UTF-8) or that
// has no area is left out; the others are kept. Lines outside any key file grammar spoil only the group
// they stand in.
std::vector<SavedCustomPaper> parse(std::string_view text);

} // namespace QuilmPrint::CustomPapers
