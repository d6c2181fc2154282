// The bytes of one image file, read at any offset, from memory or from an open file. Decoders reach it from
// the callbacks of C libraries, so reading never throws and never allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace PrintKit {

class ByteSource {
public:
    // Bytes that the caller keeps alive for the source's life; name is what errors show (usually a path).
    ByteSource(std::span<const std::uint8_t> bytes, std::string name);
    // Opens the file for reading; throws SheetRenderError.unreadableImage with the path when it cannot.
    explicit ByteSource(const std::filesystem::path& path);
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    std::uint64_t size() const noexcept { return size_; }
    const std::string& name() const noexcept { return name_; }
    // The whole content when it lies in memory, else nullptr.
    const std::uint8_t* memory() const noexcept { return memory_; }

    // Copies up to count bytes from offset into destination; returns how many were copied (fewer only at
    // the end of the bytes), or -1 when the file cannot be read.
    std::int64_t read(std::uint64_t offset, void* destination, std::size_t count) const noexcept;
    // True only when exactly count bytes were copied.
    bool readExactly(std::uint64_t offset, void* destination, std::size_t count) const noexcept;

    [[noreturn]] void fail() const; // throws SheetRenderError.unreadableImage with the name

private:
    const std::uint8_t* memory_ = nullptr;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::string name_;
};

} // namespace PrintKit
