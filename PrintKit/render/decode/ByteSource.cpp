#include "PrintKit/render/decode/ByteSource.h"

#include "PrintKit/render/decode/SheetRenderError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PrintKit {

ByteSource::ByteSource(std::span<const std::uint8_t> bytes, std::string name)
    : memory_(bytes.data()), size_(bytes.size()), name_(std::move(name)) {}

ByteSource::ByteSource(const std::filesystem::path& path) : name_(path.string()) {
    do {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        fail();
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
}

ByteSource::~ByteSource() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::int64_t ByteSource::read(std::uint64_t offset, void* destination, std::size_t count) const noexcept {
    if (offset >= size_ || count == 0) {
        return 0;
    }
    std::uint64_t available = size_ - offset;
    if (count > available) {
        count = static_cast<std::size_t>(available);
    }
    if (memory_) {
        std::memcpy(destination, memory_ + offset, count);
        return static_cast<std::int64_t>(count);
    }
    auto* out = static_cast<unsigned char*>(destination);
    std::size_t done = 0;
    while (done < count) {
        ssize_t got = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break; // the file shrank while being read
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

bool ByteSource::readExactly(std::uint64_t offset, void* destination, std::size_t count) const noexcept {
    return read(offset, destination, count) == static_cast<std::int64_t>(count);
}

void ByteSource::fail() const {
    throw SheetRenderError(SheetRenderErrorCode::unreadableImage, name_);
}

} // namespace PrintKit
