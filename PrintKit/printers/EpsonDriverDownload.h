// Fetching the maker's driver installer for a printer model: looked up by file name on the driver server,
// streamed into the user's cache folder with progress, and opened only once its code signature has been
// verified. Nothing unverified is ever opened or run; a platform that cannot verify the installer refuses
// it and deletes the file.
#pragma once

#include "PrintKit/support/Error.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace PrintKit {

enum class EpsonDriverDownloadErrorCode {
    noServer,     // this build names no driver server
    network,      // detail: why the server could not be reached or the transfer broke off
    serverError,  // detail: the server's HTTP status
    cannotSave,   // detail: why the file could not be written (a full disk among others)
    cancelled,    // the caller cancelled
    invalidURL,   // detail: the address or file name that cannot be used
    cannotVerify, // detail: the file's name; it has been deleted
};

std::string errorMessage(EpsonDriverDownloadErrorCode code, const std::string& detail);
using EpsonDriverDownloadError = ServiceError<EpsonDriverDownloadErrorCode>;

namespace EpsonDriverDownload {

// The server's base address; by default the build setting QUILM_DRIVER_SERVER ("" = none).
void setServer(std::string baseURL);
std::string server();

// The installer's address on the server, or none when the server does not have it (404 or 410 to a HEAD
// request). Throws noServer, network, serverError, cancelled.
std::optional<std::string> find(const std::string& installerFileName,
                                const std::atomic<bool>* cancel = nullptr);

// Streams the file into cacheFolder() under its own name, through a temporary name that is renamed only
// when every byte has arrived; progress receives fractions from 0 to 1 (1 exactly once, at the end) on the
// calling thread. Returns the file's path. Throws network, serverError, cannotSave, cancelled, invalidURL;
// on any failure no file is left under the final name (an earlier complete copy stays as it was).
std::filesystem::path download(const std::string& url, const std::function<void(double)>& progress,
                               const std::atomic<bool>* cancel = nullptr);

// $XDG_CACHE_HOME/local.quilm.print/EpsonDrivers (~/Library/Caches/… on macOS).
std::filesystem::path cacheFolder();

// Verifies the installer's signature (the maker's team identifiers), mounts it and opens the installer;
// returns the mount point. Where the signature cannot be verified (always on Linux, which has no tool for
// the maker's disk images) the file is deleted and cannotVerify is thrown.
std::filesystem::path openInstaller(const std::filesystem::path& image);

// Detaches a mounted installer; nothing where nothing can be mounted.
void detach(const std::filesystem::path& mountPoint);

} // namespace EpsonDriverDownload

} // namespace PrintKit
