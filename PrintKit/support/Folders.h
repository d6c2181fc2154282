// The user's folders, found the way the desktop finds them: the home folder from $HOME (else the account
// entry), and on Linux the XDG data, configuration and cache folders. Nothing here creates a folder.
#pragma once

#include <filesystem>

namespace PrintKit::Folders {

// Empty when neither $HOME nor the account entry names one.
std::filesystem::path home();

// Where the program keeps its own files: ~/Library/Application Support on macOS, the XDG data folder on
// Linux.
std::filesystem::path userData();

// Where the desktop and its programs keep the user's settings: ~/Library/Preferences on macOS, the XDG
// configuration folder on Linux ($XDG_CONFIG_HOME when it is an absolute path, else ~/.config).
std::filesystem::path userConfig();

// Where the program keeps files it can fetch again: ~/Library/Caches on macOS, the XDG cache folder on Linux
// ($XDG_CACHE_HOME when it is an absolute path, else ~/.cache).
std::filesystem::path userCache();

} // namespace PrintKit::Folders
