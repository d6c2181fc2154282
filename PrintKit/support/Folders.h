// The user's folders, found the way the desktop finds them: the home folder from $HOME (else the account
// entry), and on Linux the XDG data folder ($XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share). Nothing here creates a folder.
#pragma once

#include <filesystem>

namespace PrintKit::Folders {

// Empty when neither $HOME nor the account entry names one.
std::filesystem::path home();

// Where the program keeps its own files: ~/Library/Application Support on macOS, the XDG data folder on
// Linux.
std::filesystem::path userData();

} // namespace PrintKit::Folders
