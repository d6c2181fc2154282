#include "PrintKit/support/FileIO.h"

#include "PrintKit/support/Uuid.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace PrintKit::FileIO {

namespace {

[[noreturn]] void fail(int error, const std::string& what, const std::filesystem::path& path) {
    throw std::system_error(error, std::generic_category(), what + " " + path.string());
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

std::string readFile(const std::filesystem::path& path, std::uint64_t maxBytes) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) {
        fail(errno, "cannot open", path);
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        fail(errno, "cannot inspect", path);
    }
    if (S_ISDIR(info.st_mode)) {
        fail(EISDIR, "cannot read", path);
    }
    if (!S_ISREG(info.st_mode)) {
        fail(EINVAL, "not a regular file:", path);
    }
    if (info.st_size > 0 && static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        fail(EFBIG, "too large to read", path);
    }
    std::string bytes;
    if (info.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[1 << 16];
    for (;;) {
        ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno, "cannot read", path);
        }
        if (count == 0) {
            break;
        }
        if (bytes.size() + static_cast<std::size_t>(count) > maxBytes) {
            fail(EFBIG, "too large to read", path);
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    return bytes;
}

namespace {

// Calls write(bytes, size, bytes written so far) until every byte is written.
template <typename Write> void writeEvery(const void* data, std::size_t size, Write write) {
    const auto* at = static_cast<const char*>(data);
    std::int64_t done = 0;
    while (size > 0) {
        const ssize_t count = write(at, size, done);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category(), "write failed");
        }
        at += count;
        size -= static_cast<std::size_t>(count);
        done += count;
    }
}

} // namespace

void writeAll(int fd, const void* data, std::size_t size) {
    writeEvery(data, size, [fd](const char* at, std::size_t n, std::int64_t) { return ::write(fd, at, n); });
}

void writeAllAt(int fd, const void* data, std::size_t size, std::int64_t offset) {
    writeEvery(data, size, [fd, offset](const char* at, std::size_t n, std::int64_t done) {
        return ::pwrite(fd, at, n, static_cast<off_t>(offset + done));
    });
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    AtomicFile file(path);
    file.write(bytes);
    file.commit();
}

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    std::filesystem::path folder = target_.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    // A few tries in case of a name clash; the random part makes one practically impossible.
    for (int attempt = 0; attempt < 8; ++attempt) {
        temporary_ = folder / ("QuilmPrint-" + Uuid::random().string() + ".tmp");
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd_ >= 0 || errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        int error = errno;
        temporary_.clear();
        fail(error, "cannot create a file in", folder);
    }
}

AtomicFile::~AtomicFile() {
    discard();
}

void AtomicFile::discard() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!committed_ && !temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

void AtomicFile::commit() {
    if (fd_ < 0) {
        throw std::system_error(EBADF, std::generic_category(), "file already closed");
    }
    int error = 0;
    if (::fsync(fd_) != 0) {
        error = errno;
    }
    if (::close(fd_) != 0 && error == 0) {
        error = errno;
    }
    fd_ = -1;
    if (error == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        discard();
        fail(error, "cannot write", target_);
    }
    committed_ = true;
    // Make the rename itself durable; a failure here does not undo a completed replacement.
    std::filesystem::path folder = target_.parent_path();
    Descriptor directory(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0) {
        ::fsync(directory.get());
    }
}

} // namespace PrintKit::FileIO
