// Whole-file reads and writes without surprises: reads loop until the end, writes loop over partial writes
// and interrupted calls, and a replaced file is never seen half-written (AtomicFile).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace PrintKit::FileIO {

// The whole of a regular file as bytes. Throws std::system_error (with the path in the message) on any
// failure. Anything but a regular file is refused without waiting: a pipe or a device named like a profile
// or a recipe would otherwise block the read forever. maxBytes guards against reading a file that is larger
// than any sensible input of its kind.
std::string readFile(const std::filesystem::path& path, std::uint64_t maxBytes = UINT64_MAX);

// Writes every byte to the descriptor, retrying partial and interrupted writes. Throws std::system_error.
void writeAll(int fd, const void* data, std::size_t size);

// The same at an offset of the file, leaving the descriptor's own position where it was.
void writeAllAt(int fd, const void* data, std::size_t size, std::int64_t offset);

// Replaces (or creates) the file with the bytes, atomically: see AtomicFile.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// A new file that appears under its final name only when commit() succeeds. The bytes go to a temporary
// file in the same folder ("QuilmPrint-" plus a random part), which commit() flushes to disk and renames
// over the target; a reader therefore sees the old file or the new one, never a part. Destroying an
// uncommitted AtomicFile removes the temporary file and leaves any old file as it was.
class AtomicFile {
public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    int fd() const noexcept { return fd_; } // close-on-exec; valid until commit() or destruction
    const std::filesystem::path& target() const noexcept { return target_; }
    const std::filesystem::path& temporaryPath() const noexcept { return temporary_; }

    void write(const void* data, std::size_t size) { writeAll(fd_, data, size); }
    void write(std::string_view bytes) { writeAll(fd_, bytes.data(), bytes.size()); }

    // fsync, close, rename over the target, fsync the folder. Throws std::system_error; on failure the
    // temporary file is removed and the target is untouched.
    void commit();
    // Drops the temporary file (also done by the destructor).
    void discard() noexcept;

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

} // namespace PrintKit::FileIO
