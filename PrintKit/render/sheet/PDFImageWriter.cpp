#include "PrintKit/render/sheet/PDFImageWriter.h"

#include "PrintKit/support/Numbers.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace PrintKit {

std::string errorMessage(PDFImageWriterErrorCode code, const std::string& detail) {
    switch (code) {
    case PDFImageWriterErrorCode::cannotOpen:
        return "PDF를 만들지 못했습니다: " + detail;
    case PDFImageWriterErrorCode::wrongImageSize:
        return "인쇄용 이미지 크기가 맞지 않습니다 (" + detail + "바이트)";
    case PDFImageWriterErrorCode::fileTooLarge:
        return "인쇄 파일이 PDF 한 개에 담을 수 있는 크기(9,999,999,999바이트)를 넘습니다: "
               "인쇄 크기나 해상도를 줄이세요";
    case PDFImageWriterErrorCode::invalidGeometry:
        return "PDF에 쓸 페이지나 이미지의 크기 또는 위치가 올바르지 않습니다";
    }
    return {};
}

namespace {

// The second line is a comment of four bytes above 127, which tells transfer programs the file is binary.
constexpr std::string_view header = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
constexpr std::string_view streamEnd = "\nendstream\nendobj\n";
constexpr std::string_view objectEnd = "\nendobj\n";

std::string integer(std::int64_t value) {
    return Numbers::integer(value);
}

// Reals always with four decimals and a point, whatever the process locale.
std::string real(double value) {
    return Numbers::fixed(value, 4);
}

std::int64_t length(std::string_view text) {
    return static_cast<std::int64_t>(text.size());
}

std::string objectHead(std::int64_t number) {
    return integer(number) + " 0 obj\n";
}

std::string streamHead(const std::string& dictionary, std::int64_t dataLength) {
    return "<< " + dictionary + "/Length " + integer(dataLength) + " >>\nstream\n";
}

std::string imageHead(std::int64_t width, std::int64_t height, const std::string& colorSpace,
                      std::int64_t bytes) {
    return "<< /Type /XObject /Subtype /Image /Width " + integer(width) + " /Height " + integer(height) +
           " /ColorSpace " + colorSpace + " /BitsPerComponent 16 /Interpolate false /Length " +
           integer(bytes) + " >>\nstream\n";
}

std::string iccColorSpace(std::int64_t profileObject) {
    return "[/ICCBased " + integer(profileObject) + " 0 R]";
}

// A literal string must keep its parentheses balanced and its backslashes meaningful.
std::string literal(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == '\\' || c == '(' || c == ')') {
            result += '\\';
        }
        result += c;
    }
    return result;
}

struct Tail {
    std::string page;
    std::string pages;
    std::string catalog;
    std::string info;
};

Size checkedPageSize(Size pageSize) {
    if (!std::isfinite(pageSize.width) || !std::isfinite(pageSize.height)) {
        throw PDFImageWriterError(PDFImageWriterErrorCode::invalidGeometry);
    }
    return pageSize;
}

int openFile(const std::filesystem::path& path, Size pageSize) {
    checkedPageSize(pageSize);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw PDFImageWriterError(PDFImageWriterErrorCode::cannotOpen, path.string());
    }
    return fd;
}

int atomicDescriptor(const FileIO::AtomicFile& file) {
    if (file.fd() < 0) {
        throw PDFImageWriterError(PDFImageWriterErrorCode::cannotOpen, file.target().string());
    }
    return file.fd();
}

// Direct writes start and end on boundaries of the device's logical blocks, from memory aligned alike: this
// covers the common block sizes. A file system that asks for more refuses the first write, and the samples
// go through the page cache.
constexpr std::size_t directBlock = PDFImageWriter::inPlaceRoom;

bool blockAligned(const void* memory) {
    return reinterpret_cast<std::uintptr_t>(memory) % directBlock == 0;
}

int borrowedDescriptor(int fd) {
    if (fd < 0) {
        throw std::system_error(EBADF, std::generic_category(), "PDF output descriptor");
    }
    return fd;
}

} // namespace

PDFImageWriter::PDFImageWriter(int fd, bool owned, Size pageSize, std::string creator)
    : fd_(fd), owned_(owned), pageSize_(pageSize), creator_(std::move(creator)) {}

// The page size is checked before the file is created, so a refused sheet leaves nothing behind. Each public
// constructor writes the header in its own body: if that write fails the delegated-to constructor has already
// completed, so the destructor runs and closes an owned file.
PDFImageWriter::PDFImageWriter(const std::filesystem::path& path, Size pageSize, std::string creator)
    : PDFImageWriter(openFile(path, pageSize), true, pageSize, std::move(creator)) {
    path_ = path;
    write(header);
}

PDFImageWriter::PDFImageWriter(int fd, Size pageSize, std::string creator)
    : PDFImageWriter(borrowedDescriptor(fd), false, checkedPageSize(pageSize), std::move(creator)) {
    write(header);
}

PDFImageWriter::PDFImageWriter(FileIO::AtomicFile& file, Size pageSize, std::string creator)
    : PDFImageWriter(atomicDescriptor(file), false, checkedPageSize(pageSize), std::move(creator)) {
    path_ = file.temporaryPath();
    write(header);
}

PDFImageWriter::~PDFImageWriter() {
    if (owned_ && fd_ >= 0) {
        ::close(fd_); // an abandoned file: its close error has nobody to go to
    }
    releaseDirect();
}

void PDFImageWriter::requireOpenForWriting() const {
    if (finished_ || fd_ < 0) {
        throw std::logic_error("PDFImageWriter used after finish()");
    }
}

void PDFImageWriter::write(std::string_view bytes) {
    FileIO::writeAll(fd_, bytes.data(), bytes.size());
    position_ += length(bytes);
}

std::int64_t PDFImageWriter::begin() {
    offsets_.push_back(position_);
    std::int64_t number = static_cast<std::int64_t>(offsets_.size());
    write(objectHead(number));
    return number;
}

std::int64_t PDFImageWriter::object(const std::string& text) {
    std::int64_t number = begin();
    write(text + std::string(objectEnd));
    return number;
}

std::int64_t PDFImageWriter::stream(const std::string& dictionary, std::string_view data) {
    std::int64_t number = begin();
    write(streamHead(dictionary, length(data)));
    write(data);
    write(streamEnd);
    return number;
}

const PDFImageWriter::ProfileObject* PDFImageWriter::findProfile(const std::string& profile) const {
    for (const ProfileObject& entry : profileObjects_) {
        if (entry.profile == profile) {
            return &entry;
        }
    }
    return nullptr;
}

std::int64_t PDFImageWriter::profileObject(const std::string& profile) {
    if (const ProfileObject* known = findProfile(profile)) {
        return known->object;
    }
    std::int64_t number = stream("/N 3 ", profile);
    profileObjects_.push_back({profile, number});
    return number;
}

std::string PDFImageWriter::contentText(const std::vector<Placed>& placed) const {
    std::string content;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const Rect& r = placed[i].rect;
        content += "q\n" + real(r.width()) + " 0 0 " + real(r.height()) + " " + real(r.minX()) + " " +
                   real(r.minY()) + " cm\n/Im" + integer(static_cast<std::int64_t>(i)) + " Do\nQ\n";
    }
    if (!rectangles_.empty()) {
        content += "0 g\n";
        for (const Rect& r : rectangles_) {
            content += real(r.minX()) + " " + real(r.minY()) + " " + real(r.width()) + " " +
                       real(r.height()) + " re\n";
        }
        content += "f\n";
    }
    return content;
}

namespace {

// The four small objects after the content stream, with N the number of objects before the Page.
Tail tailObjects(std::int64_t objectsBefore, std::int64_t contentObject, Size pageSize,
                 const std::vector<std::int64_t>& imageObjects, const std::string& creator) {
    std::string images;
    for (std::size_t i = 0; i < imageObjects.size(); ++i) {
        if (i > 0) {
            images += ' ';
        }
        images += "/Im" + integer(static_cast<std::int64_t>(i)) + " " + integer(imageObjects[i]) + " 0 R";
    }
    const std::int64_t page = objectsBefore + 1;
    const std::int64_t pages = objectsBefore + 2;
    Tail tail;
    tail.page = "<< /Type /Page /Parent " + integer(pages) + " 0 R /MediaBox [0 0 " + real(pageSize.width) +
                " " + real(pageSize.height) + "] /Resources << /XObject << " + images + " >> >> /Contents " +
                integer(contentObject) + " 0 R >>";
    tail.pages = "<< /Type /Pages /Kids [" + integer(page) + " 0 R] /Count 1 >>";
    tail.catalog = "<< /Type /Catalog /Pages " + integer(pages) + " 0 R >>";
    tail.info = "<< /Creator (" + literal(creator) + ") /Producer (" + literal(creator) + ") >>";
    return tail;
}

std::string trailerText(std::int64_t objects, std::int64_t catalog, std::int64_t info,
                        std::int64_t xrefOffset) {
    return "trailer\n<< /Size " + integer(objects + 1) + " /Root " + integer(catalog) + " 0 R /Info " +
           integer(info) + " 0 R >>\nstartxref\n" + integer(xrefOffset) + "\n%%EOF\n";
}

std::string xrefHead(std::int64_t objects) {
    return "xref\n0 " + integer(objects + 1) + "\n0000000000 65535 f \n";
}

constexpr std::int64_t xrefEntryLength = 20;

std::vector<std::int64_t> imageObjects(const auto& placed) {
    std::vector<std::int64_t> objects;
    objects.reserve(placed.size());
    for (const auto& entry : placed) {
        objects.push_back(entry.object);
    }
    return objects;
}

} // namespace

// The exact size the file would have if finish() ran with the tail starting at byte `at`, `objects` objects
// already written and these images placed.
std::int64_t PDFImageWriter::projectedSize(std::int64_t at, std::int64_t objects,
                                           const std::vector<Placed>& placed) const {
    const std::string content = contentText(placed);
    const std::int64_t contentObject = objects + 1;
    std::int64_t end = at + length(objectHead(contentObject)) + length(streamHead("", length(content))) +
                       length(content) + length(streamEnd);
    const std::int64_t before = contentObject;
    Tail tail = tailObjects(before, contentObject, pageSize_, imageObjects(placed), creator_);
    std::int64_t number = before;
    for (const std::string* text : {&tail.page, &tail.pages, &tail.catalog, &tail.info}) {
        end += length(objectHead(++number)) + length(*text) + length(objectEnd);
    }
    const std::int64_t total = number;
    return end + length(xrefHead(total)) + xrefEntryLength * total +
           length(trailerText(total, before + 3, before + 4, end));
}

void PDFImageWriter::requireFits(std::int64_t projected) const {
    if (projected > maximumFileSize) {
        throw PDFImageWriterError(PDFImageWriterErrorCode::fileTooLarge);
    }
}

void PDFImageWriter::beginImage(const Rect& rect, std::int64_t pixelWidth, std::int64_t pixelHeight,
                                const ColorSpace& colorSpace) {
    requireOpenForWriting();
    if (open_) {
        throw std::logic_error("PDFImageWriter::beginImage with an image still open");
    }
    if (!rect.isFinite() || pixelWidth < 0 || pixelHeight < 0) {
        throw PDFImageWriterError(PDFImageWriterErrorCode::invalidGeometry);
    }
    std::int64_t bytes = 0;
    if (__builtin_mul_overflow(pixelWidth, pixelHeight, &bytes) || __builtin_mul_overflow(bytes, 6, &bytes) ||
        bytes > maximumFileSize) {
        throw PDFImageWriterError(PDFImageWriterErrorCode::fileTooLarge);
    }

    // Refuse up front: once samples stream there is no way back, and a file past ten digits of offsets would
    // have a cross-reference table no reader can follow.
    std::int64_t objects = static_cast<std::int64_t>(offsets_.size());
    std::int64_t at = position_;
    std::string space = "/DeviceRGB";
    if (colorSpace.kind == ColorSpace::Kind::iccBased) {
        if (const ProfileObject* known = findProfile(colorSpace.profile)) {
            space = iccColorSpace(known->object);
        } else {
            ++objects;
            space = iccColorSpace(objects);
            at += length(objectHead(objects)) + length(streamHead("/N 3 ", length(colorSpace.profile))) +
                  length(colorSpace.profile) + length(streamEnd);
        }
    }
    const std::int64_t imageObject = objects + 1;
    const std::string head = imageHead(pixelWidth, pixelHeight, space, bytes);
    at += length(objectHead(imageObject)) + length(head) + bytes + length(streamEnd);
    std::vector<Placed> placed = placed_;
    placed.push_back({imageObject, rect});
    requireFits(projectedSize(at, imageObject, placed));

    if (colorSpace.kind == ColorSpace::Kind::iccBased) {
        profileObject(colorSpace.profile);
    }
    std::int64_t number = begin();
    placed_.push_back({number, rect});
    write(head);
    open_ = OpenImage{bytes, 0};
}

void PDFImageWriter::writeImageBytes(const void* bytes, std::size_t count) {
    requireOpenForWriting();
    // Samples outside an image object would land between objects and break the file.
    if (!open_) {
        throw std::logic_error("PDFImageWriter::writeImageBytes with no image open");
    }
    settleDirect(); // samples written in place before these reach the file first
    FileIO::writeAll(fd_, bytes, count);
    position_ += static_cast<std::int64_t>(count);
    open_->written += static_cast<std::int64_t>(count);
}

bool PDFImageWriter::directDescriptor() {
    if (!directTried_) {
        directTried_ = true;
#if defined(O_DIRECT)
        if (!path_.empty()) {
            direct_ = ::open(path_.c_str(), O_WRONLY | O_DIRECT | O_CLOEXEC);
        }
#endif
    }
    return direct_ >= 0;
}

void PDFImageWriter::releaseDirect() noexcept {
    if (direct_ >= 0) {
        ::close(direct_); // it only ever wrote what fd_ could have written
        direct_ = -1;
    }
}

// Writes whole blocks through the direct descriptor; returns how many bytes went. Less than all when the file
// system refuses a direct write (unaligned for it, or cut short off a block boundary): the descriptor is then
// given up and the caller writes the rest the ordinary way.
std::size_t PDFImageWriter::writeDirect(const char* blocks, std::size_t count, std::int64_t offset) {
    std::size_t done = 0;
    while (direct_ >= 0 && done < count) {
        const ssize_t written = ::pwrite(direct_, blocks + done, count - done,
                                         static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EINVAL) {
            throw std::system_error(errno, std::generic_category(), "write failed");
        }
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        }
        if (written <= 0 || done % directBlock != 0) {
            releaseDirect();
        }
    }
    return done;
}

// The samples up to the image's first block boundary go through the page cache with the objects before them.
// From there on each call writes, from the start of its buffer, the samples carried from the call before
// followed by its own, as far as the last whole block, and carries the rest.
void PDFImageWriter::writeImageBytesInPlace(void* bytes, std::size_t count) {
    requireOpenForWriting();
    if (!open_) {
        throw std::logic_error("PDFImageWriter::writeImageBytes with no image open");
    }
    char* buffer = static_cast<char*>(bytes);
    const char* samples = buffer;
    if (!streaming_) {
        if (!blockAligned(buffer) || !directDescriptor()) {
            writeImageBytes(bytes, count);
            return;
        }
        const std::size_t past = static_cast<std::size_t>(position_) % directBlock;
        const std::size_t head = std::min(count, past == 0 ? 0 : directBlock - past);
        writeImageBytes(samples, head);
        samples += head;
        count -= head;
        if (count == 0) {
            return;
        }
        streaming_ = true;
        carried_ = 0;
    }
    const std::int64_t at = position_ - static_cast<std::int64_t>(carried_); // on a block boundary
    if (direct_ >= 0 && blockAligned(buffer)) {
        std::memmove(buffer + carried_, samples, count);
        std::memcpy(buffer, carry_.data(), carried_);
        const std::size_t total = carried_ + count;
        const std::size_t whole = total / directBlock * directBlock;
        const std::size_t done = writeDirect(buffer, whole, at);
        FileIO::writeAllAt(fd_, buffer + done, whole - done, at + static_cast<std::int64_t>(done));
        carried_ = total - whole;
        std::memcpy(carry_.data(), buffer + whole, carried_);
    } else {
        // Direct writes given up (or a buffer they cannot start from): from here on through the page cache.
        releaseDirect();
        FileIO::writeAllAt(fd_, carry_.data(), carried_, at);
        FileIO::writeAllAt(fd_, samples, count, position_);
        carried_ = 0;
    }
    position_ += static_cast<std::int64_t>(count);
    open_->written += static_cast<std::int64_t>(count);
}

// Writes the carried samples and brings fd_ to the end of the image's stream.
void PDFImageWriter::settleDirect() {
    if (!streaming_) {
        return;
    }
    FileIO::writeAllAt(fd_, carry_.data(), carried_, position_ - static_cast<std::int64_t>(carried_));
    carried_ = 0;
    streaming_ = false;
    if (::lseek(fd_, static_cast<off_t>(position_), SEEK_SET) < 0) {
        throw std::system_error(errno, std::generic_category(), "write failed");
    }
}

void PDFImageWriter::endImage() {
    if (!open_) {
        return;
    }
    if (open_->written != open_->expected) {
        throw PDFImageWriterError(PDFImageWriterErrorCode::wrongImageSize,
                                  integer(open_->written) + "/" + integer(open_->expected));
    }
    settleDirect();
    write(streamEnd);
    open_.reset();
}

void PDFImageWriter::addRectangles(const std::vector<Rect>& rectangles) {
    requireOpenForWriting();
    for (const Rect& r : rectangles) {
        if (!r.isFinite()) {
            throw PDFImageWriterError(PDFImageWriterErrorCode::invalidGeometry);
        }
    }
    rectangles_.insert(rectangles_.end(), rectangles.begin(), rectangles.end());
}

void PDFImageWriter::finish() {
    requireOpenForWriting();
    if (open_) {
        throw std::logic_error("PDFImageWriter::finish with an image still open");
    }
    // Cut marks may have been added after the last image was accepted.
    requireFits(projectedSize(position_, static_cast<std::int64_t>(offsets_.size()), placed_));

    const std::int64_t contentObject = stream("", contentText(placed_));
    const std::int64_t before = static_cast<std::int64_t>(offsets_.size());
    Tail tail = tailObjects(before, contentObject, pageSize_, imageObjects(placed_), creator_);
    object(tail.page);
    object(tail.pages);
    const std::int64_t catalog = object(tail.catalog);
    const std::int64_t info = object(tail.info);

    const std::int64_t xrefOffset = position_;
    const std::int64_t objects = static_cast<std::int64_t>(offsets_.size());
    std::string table = xrefHead(objects);
    table.reserve(table.size() + static_cast<std::size_t>(xrefEntryLength * objects) + 128);
    for (std::int64_t offset : offsets_) {
        std::string digits = integer(offset);
        table.append(10 - digits.size(), '0');
        table += digits;
        table += " 00000 n \n";
    }
    table += trailerText(objects, catalog, info, xrefOffset);
    write(table);

    releaseDirect();
    if (owned_) {
        int fd = fd_;
        fd_ = -1; // closed exactly once, whatever close reports
        if (::close(fd) != 0 && errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "cannot close the PDF");
        }
    } else {
        fd_ = -1; // the descriptor stays with its owner
    }
    finished_ = true;
}

} // namespace PrintKit
