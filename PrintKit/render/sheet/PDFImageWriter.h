// Our own writer of one-page PDF 1.5 files with uncompressed 16-bit RGB images. The byte length of every
// image is known before its first sample, so samples stream straight to the file band by band: nothing is
// buffered, no length is patched afterwards and no second pass is made. The cross-reference table is built at
// the end from the offsets recorded while writing. Every number is written without the process locale.
#pragma once

#include "PrintKit/support/Error.h"
#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Geometry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PrintKit {

enum class PDFImageWriterErrorCode {
    cannotOpen,      // detail: the path
    wrongImageSize,  // detail: "written/expected" byte counts
    fileTooLarge,    // detail: the projected file size in bytes
    invalidGeometry, // no detail: a page size or rectangle that is not a finite number, or a negative pixel
                     // count
};

std::string errorMessage(PDFImageWriterErrorCode code, const std::string& detail);
using PDFImageWriterError = ServiceError<PDFImageWriterErrorCode>;

class PDFImageWriter {
public:
    using WriterError = PDFImageWriterError;

    // The cross-reference table gives every offset in ten digits: a larger file cannot be indexed.
    static constexpr std::int64_t maximumFileSize = 9'999'999'999;

    // What the samples of an image mean; both have three components per pixel.
    struct ColorSpace {
        enum class Kind { deviceRGB, iccBased };
        Kind kind = Kind::deviceRGB;
        std::string profile; // iccBased: the ICC profile's bytes, embedded once per file

        // Samples already in the printer's RGB (converted through the paper profile).
        static ColorSpace deviceRGB() { return {}; }
        // Samples described by the profile (sRGB when the driver manages colour).
        static ColorSpace iccBased(std::string profile) { return {Kind::iccBased, std::move(profile)}; }
    };

    // Creates (or empties) the file at path, opened close-on-exec, and writes the header. The writer owns the
    // file and closes it exactly once. Throws WriterError (cannotOpen, invalidGeometry) or std::system_error.
    PDFImageWriter(const std::filesystem::path& path, Size pageSize, std::string creator);
    // Writes into a descriptor the caller owns and closes; the PDF starts at the descriptor's current
    // position.
    PDFImageWriter(int fd, Size pageSize, std::string creator);
    // Writes into the temporary file of an AtomicFile; the caller commits it after finish().
    PDFImageWriter(FileIO::AtomicFile& file, Size pageSize, std::string creator);
    ~PDFImageWriter();
    PDFImageWriter(const PDFImageWriter&) = delete;
    PDFImageWriter& operator=(const PDFImageWriter&) = delete;

    // Writes the profile stream if this profile is new to the file, then the image object up to its samples.
    // rect is the page rectangle (points) the image fills. An image that would make the finished file larger
    // than maximumFileSize is refused before any of it is written.
    void beginImage(const Rect& rect, std::int64_t pixelWidth, std::int64_t pixelHeight,
                    const ColorSpace& colorSpace);
    // Samples of the open image: rows top to bottom, pixels left to right, red, green, blue as 16-bit
    // big-endian.
    void writeImageBytes(const void* bytes, std::size_t count);
    void writeImageBytes(std::string_view bytes) { writeImageBytes(bytes.data(), bytes.size()); }
    // The room past the samples that writeImageBytesInPlace may use.
    static constexpr std::size_t inPlaceRoom = 4096;
    // The same samples from a buffer the writer may rearrange: it starts on a page boundary, inPlaceRoom
    // bytes past the samples are the writer's too, and nothing in it is needed afterwards. Writers that know
    // the file's path (the ones made from a path or an AtomicFile) then write the samples past the page cache
    // where the file system allows it, in whole blocks from the buffer itself: a sheet's hundreds of
    // megabytes never have to find pages of memory first, which costs more than computing them when that
    // memory is cold (as in a virtual machine that hands freed memory back to its host), and the program
    // never reads them back. The file's bytes are the same either way.
    void writeImageBytesInPlace(void* bytes, std::size_t count);
    // Closes the open image after checking that exactly width × height × 6 bytes came; does nothing when no
    // image is open. On a wrong count it throws and leaves the image open.
    void endImage();
    // Page rectangles (points) filled black over the images.
    void addRectangles(const std::vector<Rect>& rectangles);
    // Writes the page, the cross-reference table and the trailer, then closes an owned file. Called once.
    void finish();

    std::int64_t position() const noexcept { return position_; }
    bool finished() const noexcept { return finished_; }

private:
    struct Placed {
        std::int64_t object;
        Rect rect;
    };
    struct OpenImage {
        std::int64_t expected;
        std::int64_t written;
    };
    struct ProfileObject {
        std::string profile;
        std::int64_t object;
    };

    PDFImageWriter(int fd, bool owned, Size pageSize, std::string creator);

    void write(std::string_view bytes);
    bool directDescriptor();
    std::size_t writeDirect(const char* blocks, std::size_t count, std::int64_t offset);
    void releaseDirect() noexcept;
    void settleDirect();
    std::int64_t begin();
    std::int64_t object(const std::string& text);
    std::int64_t stream(const std::string& dictionary, std::string_view data);
    std::int64_t profileObject(const std::string& profile);
    const ProfileObject* findProfile(const std::string& profile) const;

    std::string contentText(const std::vector<Placed>& placed) const;
    std::int64_t projectedSize(std::int64_t at, std::int64_t objects,
                               const std::vector<Placed>& placed) const;
    void requireFits(std::int64_t projected) const;
    void requireOpenForWriting() const;

    int fd_ = -1;
    bool owned_ = false;
    Size pageSize_;
    std::string creator_;
    std::int64_t position_ = 0;
    std::vector<std::int64_t> offsets_; // entry k: object k + 1
    std::vector<Placed> placed_;
    std::vector<Rect> rectangles_;
    std::vector<ProfileObject> profileObjects_;
    std::optional<OpenImage> open_;
    bool finished_ = false;

    // Direct writes of samples (writeImageBytesInPlace): a second descriptor of the file, opened at the first
    // such write; -1 when there is none or the file system refused one. While an image streams this way its
    // samples go to the file by offset and fd_'s position stays behind until the image ends.
    std::filesystem::path path_;
    int direct_ = -1;
    bool directTried_ = false;
    bool streaming_ = false;
    // The samples after the last whole block written, carried to the next call.
    std::array<char, inPlaceRoom> carry_{};
    std::size_t carried_ = 0;
};

} // namespace PrintKit
