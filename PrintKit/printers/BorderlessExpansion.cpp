#include "PrintKit/printers/BorderlessExpansion.h"

#include "PrintKit/printers/CupsClient.h"
#include "PrintKit/support/ChildProcess.h"
#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Numbers.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cups/raster.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace PrintKit::BorderlessExpansion {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* cupsfilter = "/usr/sbin/cupsfilter";
constexpr std::uint64_t maxLineBytes = 1u << 28;

std::mutex folderLock;
std::filesystem::path ppdFolder = PPDFile::systemDirectory();

// A private folder ("QuilmPrint-" and a random part) for the probe's files, removed with them.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "QuilmPrint-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            throw std::system_error(errno, std::generic_category(), pattern);
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Reads the child's raster through its pipe, giving up at the deadline.
struct PipeReader {
    int fd;
    Clock::time_point deadline;
    bool timedOut = false;
};

ssize_t readPipe(void* context, unsigned char* buffer, size_t length) {
    auto* reader = static_cast<PipeReader*>(context);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(reader->deadline - Clock::now());
        if (left.count() <= 0) {
            reader->timedOut = true;
            return -1;
        }
        pollfd fd{reader->fd, POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) {
            return -1;
        }
        if (ready > 0) {
            const ssize_t count = ::read(reader->fd, buffer, length);
            if (count >= 0 || errno != EINTR) {
                return count;
            }
        }
    }
}

// Whether a pixel carries ink, for the colour spaces a driver chain ends in; none for the others.
enum class Ink { whiteIsHigh, inkIsHigh };

std::optional<Ink> inkRule(cups_cspace_t space) {
    switch (space) {
    case CUPS_CSPACE_W:
    case CUPS_CSPACE_SW:
    case CUPS_CSPACE_RGB:
    case CUPS_CSPACE_RGBA:
    case CUPS_CSPACE_SRGB:
    case CUPS_CSPACE_ADOBERGB:
        return Ink::whiteIsHigh;
    case CUPS_CSPACE_K:
    case CUPS_CSPACE_CMY:
    case CUPS_CSPACE_YMC:
    case CUPS_CSPACE_CMYK:
    case CUPS_CSPACE_YMCK:
    case CUPS_CSPACE_KCMY:
    case CUPS_CSPACE_KCMYcm:
    case CUPS_CSPACE_GMCK:
    case CUPS_CSPACE_GMCS:
        return Ink::inkIsHigh;
    default:
        return std::nullopt;
    }
}

struct Extent {
    long first = -1;
    long last = -1;
    void add(long index) {
        if (first < 0) {
            first = index;
        }
        last = index;
    }
    long length() const { return first < 0 ? 0 : last - first + 1; }
};

// The probe's black rectangle along one axis of the page, in points from the page's lower-left corner.
// Its edges lie on whole inches where the page allows, so that they fall on pixel edges at any whole
// resolution and a driver that enlarges nothing measures exactly 1; a page too small for that gets the
// middle half. Either leaves room around the rectangle for an enlargement up to a third.
struct Span {
    double low;
    double high;
    double length() const { return high - low; }
    double middle() const { return (low + high) / 2; }
};

Span probeSpan(double size) {
    const double high = 72 * std::floor(size / 72) - 72;
    if (high - 72 >= 72) {
        return {72, high};
    }
    return {size / 4, size * 3 / 4};
}

// The rectangle's extent along its middle row and its middle column on the first page.
std::optional<double> measureRaster(cups_raster_t* raster, const PPDPageSize& page) {
    cups_page_header2_t header;
    if (!cupsRasterReadHeader2(raster, &header)) {
        return std::nullopt;
    }
    const std::optional<Ink> rule = inkRule(header.cupsColorSpace);
    const unsigned bits = header.cupsBitsPerColor;
    if (!rule || (bits != 8 && bits != 16) || header.cupsColorOrder != CUPS_ORDER_CHUNKED ||
        header.cupsWidth == 0 || header.cupsHeight == 0 || header.HWResolution[0] == 0 ||
        header.HWResolution[1] == 0 || header.cupsBitsPerPixel % bits != 0 ||
        static_cast<std::uint64_t>(header.cupsBytesPerLine) > maxLineBytes ||
        static_cast<std::uint64_t>(header.cupsWidth) * header.cupsBitsPerPixel >
            8ull * header.cupsBytesPerLine) {
        return std::nullopt;
    }
    const unsigned channels = header.cupsBitsPerPixel / bits;
    const unsigned sampleBytes = bits / 8;
    const unsigned maximum = bits == 8 ? 255u : 65535u;
    auto sample = [&](const unsigned char* at) -> unsigned {
        if (sampleBytes == 1) {
            return *at;
        }
        std::uint16_t value; // libcups hands 16-bit samples over in the host's byte order
        std::memcpy(&value, at, 2);
        return value;
    };
    auto inked = [&](const unsigned char* pixel) {
        if (*rule == Ink::whiteIsHigh) {
            return sample(pixel) < maximum / 2; // black has its first channel near 0
        }
        for (unsigned channel = 0; channel < channels; ++channel) {
            if (sample(pixel + channel * sampleBytes) > maximum / 2) {
                return true;
            }
        }
        return false;
    };

    const Span across = probeSpan(page.width);
    const Span down = probeSpan(page.height);
    const double xScale = header.HWResolution[0] / 72.0;
    const double yScale = header.HWResolution[1] / 72.0;
    // Raster rows count from the top of the page.
    const auto clampedIndex = [](double value, unsigned count) {
        return static_cast<unsigned>(std::clamp(value, 0.0, static_cast<double>(count - 1)));
    };
    const unsigned middleColumn = clampedIndex(across.middle() * xScale, header.cupsWidth);
    const unsigned middleRow = clampedIndex(header.cupsHeight - down.middle() * yScale, header.cupsHeight);
    const std::size_t pixelBytes = header.cupsBitsPerPixel / 8;
    std::vector<unsigned char> line(header.cupsBytesPerLine);
    Extent columns;
    Extent rows;
    for (unsigned row = 0; row < header.cupsHeight; ++row) {
        if (cupsRasterReadPixels(raster, line.data(), header.cupsBytesPerLine) != header.cupsBytesPerLine) {
            return std::nullopt;
        }
        if (inked(line.data() + middleColumn * pixelBytes)) {
            rows.add(row);
        }
        if (row == middleRow) {
            for (unsigned column = 0; column < header.cupsWidth; ++column) {
                if (inked(line.data() + column * pixelBytes)) {
                    columns.add(column);
                }
            }
        }
    }
    if (columns.length() == 0 || rows.length() == 0) {
        return std::nullopt;
    }
    // The larger of the two keeps the paper's edges covered should a driver enlarge unevenly.
    return std::max(static_cast<double>(columns.length()) / (across.length() * xScale),
                    static_cast<double>(rows.length()) / (down.length() * yScale));
}

// The probe page: a one-page PDF document of the page's size.
std::string probeDocument(const PPDPageSize& page) {
    const std::string width = Numbers::fixed(page.width, 3);
    const std::string height = Numbers::fixed(page.height, 3);
    const Span across = probeSpan(page.width);
    const Span down = probeSpan(page.height);
    const std::string content = Numbers::fixed(across.low, 3) + " " + Numbers::fixed(down.low, 3) + " " +
                                Numbers::fixed(across.length(), 3) + " " + Numbers::fixed(down.length(), 3) +
                                " re f\n";
    const std::array<std::string, 4> objects{
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + width + " " + height + "] /Contents 4 0 R >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t index = 0; index < objects.size(); ++index) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(index + 1) + " 0 obj\n" + objects[index] + "\nendobj\n";
    }
    const std::size_t table = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        std::string number = std::to_string(offset);
        pdf += std::string(10 - number.size(), '0') + number + " 00000 n \n";
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(table) + "\n%%EOF\n";
    return pdf;
}

} // namespace

std::optional<double> measure(const std::string& queue, const PPDPageSize& page,
                              std::chrono::seconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    if (!(page.width > 0) || !(page.height > 0) || page.name.empty()) {
        return std::nullopt;
    }
    std::filesystem::path folder;
    {
        std::lock_guard guard(folderLock);
        folder = ppdFolder;
    }
    try {
        const std::string ppd = CupsClient::ppdText(queue, folder);
        ScratchFolder scratch;
        const std::filesystem::path ppdPath = scratch.path() / "queue.ppd";
        const std::filesystem::path probePath = scratch.path() / "probe.pdf";
        FileIO::writeFileAtomically(ppdPath, ppd);
        FileIO::writeFileAtomically(probePath, probeDocument(page));

        // -e runs the PPD's own filters (the driver's) where they lead to raster.
        ChildProcess child({cupsfilter, "-e", "-p", ppdPath.string(), "-m", "application/vnd.cups-raster",
                            "-o", "PageSize=" + page.name, probePath.string()},
                           ChildProcess::Stream::pipe, ChildProcess::Stream::discard);
        PipeReader reader{child.outputFD(), deadline};
        std::optional<double> ratio;
        if (cups_raster_t* raster = cupsRasterOpenIO(readPipe, &reader, CUPS_RASTER_READ)) {
            ratio = measureRaster(raster, page);
            cupsRasterClose(raster);
        }
        // What follows the first page is read and dropped, so the chain can finish and report its end.
        std::array<unsigned char, 65536> rest;
        while (!reader.timedOut && readPipe(&reader, rest.data(), rest.size()) > 0) {
        }
        child.closeOutput();
        const std::optional<int> status = child.wait(reader.timedOut ? Clock::now() : deadline);
        if (!status || *status != 0 || !ratio || !std::isfinite(*ratio)) {
            return std::nullopt;
        }
        return ratio;
    } catch (const std::exception&) {
        return std::nullopt; // no PPD file, no cupsfilter, no room for the probe: nothing measured
    }
}

void setPPDFolder(std::filesystem::path folder) {
    std::lock_guard guard(folderLock);
    ppdFolder = std::move(folder);
}

} // namespace PrintKit::BorderlessExpansion
