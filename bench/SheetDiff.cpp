// Compares the printed samples of two renders of the same sheet, for changes meant to alter speed alone:
//   SheetDiff OLD.pdf NEW.pdf
// prints four numbers: the largest difference between two corresponding 16-bit samples of the sheets'
// images, in codes; how many samples differ at all; how many by more than one code; how many samples there
// are. Exit status 0 when every sample is within one code, 1 when not, 2 when the two files do not hold the
// same images.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Mapped {
    const char* data = nullptr;
    std::size_t size = 0;

    explicit Mapped(const char* path) {
        const int fd = ::open(path, O_RDONLY);
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0 || info.st_size == 0) {
            if (fd >= 0) {
                ::close(fd);
            }
            return;
        }
        size = static_cast<std::size_t>(info.st_size);
        void* at = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        ::close(fd);
        if (at == MAP_FAILED) {
            size = 0;
            return;
        }
        ::madvise(at, size, MADV_SEQUENTIAL);
        data = static_cast<const char*>(at);
    }
    Mapped(const Mapped&) = delete;
    Mapped& operator=(const Mapped&) = delete;
    ~Mapped() {
        if (data) {
            ::munmap(const_cast<char*>(data), size);
        }
    }
};

struct Image {
    long width = 0;
    long height = 0;
    std::string_view samples;
};

long numberAfter(std::string_view text, std::string_view key, std::size_t from) {
    const std::size_t at = text.find(key, from);
    return at == std::string_view::npos ? -1 : std::strtol(text.data() + at + key.size(), nullptr, 10);
}

// The image objects of one of the engine's sheets, in file order: each dictionary names its size and
// length, and its stream follows it.
std::vector<Image> images(std::string_view file) {
    std::vector<Image> found;
    for (std::size_t at = 0; (at = file.find("/Subtype /Image", at)) != std::string_view::npos;) {
        const std::size_t open = file.rfind("<<", at);
        const std::size_t stream = file.find(">>\nstream\n", at);
        const long length = numberAfter(file, "/Length ", open);
        if (open == std::string_view::npos || stream == std::string_view::npos || length < 0 ||
            stream + 10 + static_cast<std::size_t>(length) > file.size()) {
            return {};
        }
        found.push_back({numberAfter(file, "/Width ", open), numberAfter(file, "/Height ", open),
                         file.substr(stream + 10, static_cast<std::size_t>(length))});
        at = stream + 10 + static_cast<std::size_t>(length);
    }
    return found;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: SheetDiff OLD.pdf NEW.pdf\n");
        return 2;
    }
    const Mapped a(argv[1]), b(argv[2]);
    const auto old = images({a.data, a.size});
    const auto now = images({b.data, b.size});
    if (old.empty() || old.size() != now.size()) {
        std::fprintf(stderr, "SheetDiff: the two files do not hold the same images\n");
        return 2;
    }
    long largest = 0;
    std::uint64_t samples = 0, differing = 0, beyondOne = 0;
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (old[i].width != now[i].width || old[i].height != now[i].height ||
            old[i].samples.size() != now[i].samples.size() || old[i].samples.size() % 2 != 0) {
            std::fprintf(stderr, "SheetDiff: image %zu differs in size\n", i + 1);
            return 2;
        }
        const auto* p = reinterpret_cast<const std::uint8_t*>(old[i].samples.data());
        const auto* q = reinterpret_cast<const std::uint8_t*>(now[i].samples.data());
        const std::size_t n = old[i].samples.size() / 2;
        for (std::size_t s = 0; s < n; ++s) {
            const long x = p[2 * s] << 8 | p[2 * s + 1];
            const long y = q[2 * s] << 8 | q[2 * s + 1];
            const long d = x > y ? x - y : y - x;
            differing += d != 0;
            beyondOne += d > 1;
            largest = d > largest ? d : largest;
        }
        samples += n;
    }
    std::printf("%ld %llu %llu %llu\n", largest, static_cast<unsigned long long>(differing),
                static_cast<unsigned long long>(beyondOne), static_cast<unsigned long long>(samples));
    return largest <= 1 ? 0 : 1;
}
