#include "PrintKit/render/sheet/PDFImageWriter.h"

#include "GermanLocale.h"
#include "PrintKit/support/PageBuffer.h"
#include "SheetProbe.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <sys/mman.h>
#include <unistd.h>

using namespace PrintKit;
using TestSupport::TemporaryDirectory;

namespace {

using ColorSpace = PDFImageWriter::ColorSpace;

const std::string& srgbProfile() {
    static const std::string bytes = TestProfiles::save(cmsCreate_sRGBProfile());
    return bytes;
}

// A 256 × 16 gradient of 16-bit samples in blocks of 8 × 8 pixels, so that a renderer's sub-pixel placement
// of the image edges cannot blur the middle of a block. The low bytes are not copies of the high bytes: a
// writer keeping only 8 bits would be caught by the byte comparison.
std::uint16_t gradient(int x, int y, int c) {
    const int v[3] = {x / 8 * 2100 + x / 8 % 7, 65535 - x / 8 * 2113, 16384 + y / 8 * 30000 + 5};
    return static_cast<std::uint16_t>(v[c]);
}

std::string gradientRow(int y) {
    std::string out;
    for (int i = 0; i < 256 * 3; ++i) {
        out += static_cast<char>(gradient(i / 3, y, i % 3) >> 8);
        out += static_cast<char>(gradient(i / 3, y, i % 3) & 0xFF);
    }
    return out;
}

std::int64_t fileSize(const std::filesystem::path& path) {
    return static_cast<std::int64_t>(std::filesystem::file_size(path));
}

// Text of object n, from its number up to and including "endobj\n".
std::string objectText(const std::string& file, int number) {
    const std::size_t start = file.find("\n" + std::to_string(number) + " 0 obj\n") + 1;
    return file.substr(start, file.find("endobj\n", start) + 7 - start);
}

// Writes the gradient across the top half of a 256 × 32 point page, with two black rectangles: one on white
// paper, one over the image. The creator holds what a PDF string must escape.
const std::string creator = "Quilm Print (A) \\ B)";

void writeGradientSheet(const std::filesystem::path& path, const ColorSpace& colorSpace) {
    PDFImageWriter writer(path, Size{256, 32}, creator);
    writer.beginImage(Rect(0, 16, 256, 16), 256, 16, colorSpace);
    for (int y = 0; y < 16; ++y) { // one call per band, as the renderer does
        writer.writeImageBytes(gradientRow(y));
    }
    writer.endImage();
    writer.addRectangles({Rect(16, 0, 32, 8), Rect(104, 16, 16, 8)});
    writer.finish();
}

template <typename Body> PDFImageWriterError writerError(Body body) {
    try {
        body();
    } catch (const PDFImageWriterError& error) {
        return error;
    }
    ADD_FAILURE() << "no PDFImageWriterError";
    return PDFImageWriterError(PDFImageWriterErrorCode::cannotOpen, "(none)");
}

} // namespace

TEST(PDFImageWriterTest, WritesTheExactBytesOfAOneImagePage) {
    TemporaryDirectory folder;
    const std::string samples("\x12\x34\x56\x78\x9A\xBC", 6);
    {
        PDFImageWriter writer(folder / "page.pdf", Size{100, 200}, "Quilm Print");
        writer.beginImage(Rect(10, 20, 30, 40), 1, 1, ColorSpace::deviceRGB());
        writer.writeImageBytes(samples);
        writer.endImage();
        writer.finish();
        EXPECT_TRUE(writer.finished());
    }
    // The expected file, object by object, with the offsets a reader needs.
    std::string expected = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::size_t> offsets;
    auto add = [&](const std::string& object) {
        offsets.push_back(expected.size());
        expected += object;
    };
    const std::string content = "q\n30.0000 0 0 40.0000 10.0000 20.0000 cm\n/Im0 Do\nQ\n";
    add("1 0 obj\n<< /Type /XObject /Subtype /Image /Width 1 /Height 1 /ColorSpace /DeviceRGB "
        "/BitsPerComponent 16 /Interpolate false /Length 6 >>\nstream\n" +
        samples + "\nendstream\nendobj\n");
    add("2 0 obj\n<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
        "\nendstream\nendobj\n");
    add("3 0 obj\n<< /Type /Page /Parent 4 0 R /MediaBox [0 0 100.0000 200.0000] /Resources << /XObject << "
        "/Im0 1 0 R >> >> /Contents 2 0 R >>\nendobj\n");
    add("4 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n");
    add("5 0 obj\n<< /Type /Catalog /Pages 4 0 R >>\nendobj\n");
    add("6 0 obj\n<< /Creator (Quilm Print) /Producer (Quilm Print) >>\nendobj\n");
    const std::size_t xref = expected.size();
    expected += "xref\n0 7\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        std::string digits = std::to_string(offset);
        expected += std::string(10 - digits.size(), '0') + digits + " 00000 n \n";
    }
    expected +=
        "trailer\n<< /Size 7 /Root 5 0 R /Info 6 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    EXPECT_EQ(TestSupport::readFile(folder / "page.pdf"), expected);
}

TEST(PDFImageWriterTest, EmbedsEachProfileOnceJustBeforeItsFirstImageAndFillsAllRectanglesAtOnce) {
    TemporaryDirectory folder;
    const std::string first = srgbProfile();
    const std::string second = TestProfiles::matrixShaper(TestProfiles::srgbPrimaries,
                                                          TestProfiles::Curve::gamma, 2.2, 2.1, "Other");
    PDFImageWriter writer(folder / "profiles.pdf", Size{300, 100}, "Quilm Print");
    auto image = [&](double x, const ColorSpace& space) {
        writer.beginImage(Rect(x, 0, 10, 10), 1, 1, space);
        writer.writeImageBytes(std::string(6, '\0'));
        writer.endImage();
    };
    image(0, ColorSpace::iccBased(first));   // objects 1 (profile), 2
    image(20, ColorSpace::iccBased(first));  // 3
    image(40, ColorSpace::deviceRGB());      // 4
    image(60, ColorSpace::iccBased(second)); // 5 (profile), 6
    image(80, ColorSpace::iccBased(first));  // 7
    writer.addRectangles({Rect(1.5, 2, 0.36, 11.3)});
    writer.addRectangles({Rect(-0.5, 90, 4, 0.25), Rect(20, 20, -2, -3)});
    writer.finish();

    const std::string file = TestSupport::readFile(folder / "profiles.pdf");
    EXPECT_NE(file.find("trailer\n<< /Size 13 /Root 11 0 R /Info 12 0 R >>"), std::string::npos);
    EXPECT_EQ(objectText(file, 1), "1 0 obj\n<< /N 3 /Length " + std::to_string(first.size()) +
                                       " >>\nstream\n" + first + "\nendstream\nendobj\n");
    EXPECT_NE(objectText(file, 5).find(second), std::string::npos);
    EXPECT_NE(objectText(file, 6).find("/ColorSpace [/ICCBased 5 0 R]"), std::string::npos);
    EXPECT_NE(objectText(file, 7).find("/ColorSpace [/ICCBased 1 0 R]"), std::string::npos);
    // Images are named in the order begun.
    EXPECT_NE(objectText(file, 9).find(
                  "/Type /Page /Parent 10 0 R /MediaBox [0 0 300.0000 100.0000] /Resources << /XObject << "
                  "/Im0 2 0 R /Im1 3 0 R /Im2 4 0 R /Im3 6 0 R /Im4 7 0 R >> >> /Contents 8 0 R"),
              std::string::npos);
    // One fill for all rectangles, each with its origin at its lower-left corner.
    const std::string marks =
        "/Im4 Do\nQ\n0 g\n1.5000 2.0000 0.3600 11.3000 re\n-0.5000 90.0000 4.0000 0.2500 re\n"
        "18.0000 17.0000 2.0000 3.0000 re\nf\n\nendstream\nendobj\n";
    const std::string content = objectText(file, 8);
    EXPECT_EQ(content.substr(content.size() - marks.size()), marks);
}

TEST(PDFImageWriterTest, PassesOutsideChecksAsSixteenBitImagesThatKeepEveryBit) {
    if (!TestSupport::haveProgram("qpdf") || !TestSupport::haveProgram("pdfimages")) {
        GTEST_SKIP() << "qpdf and poppler-utils are needed";
    }
    TemporaryDirectory folder;
    std::string samples;
    for (int y = 0; y < 16; ++y) {
        samples += gradientRow(y);
    }
    for (auto [space, colour] :
         {std::pair(ColorSpace::deviceRGB(), "rgb"), std::pair(ColorSpace::iccBased(srgbProfile()), "icc")}) {
        writeGradientSheet(folder / "sheet.pdf", space);
        EXPECT_TRUE(SheetProbe::qpdfAccepts(folder / "sheet.pdf")) << colour;
        EXPECT_EQ(SheetProbe::listed(folder / "sheet.pdf"),
                  std::vector<std::string>{std::string("256 16 ") + colour + " 16"});
        const auto images = SheetProbe::images(folder / "sheet.pdf");
        ASSERT_EQ(images.size(), 1u);
        EXPECT_TRUE(images[0].samples == samples) << colour; // the low bytes are no copies of the high ones
    }
}

TEST(PDFImageWriterTest, BytesDoNotFollowTheProcessLocaleAndTheCreatorIsEscaped) {
    TemporaryDirectory folder;
    writeGradientSheet(folder / "c.pdf", ColorSpace::iccBased(srgbProfile()));
    const std::string c = TestSupport::readFile(folder / "c.pdf");
    EXPECT_NE(
        c.find("<< /Creator (Quilm Print \\(A\\) \\\\ B\\)) /Producer (Quilm Print \\(A\\) \\\\ B\\)) >>"),
        std::string::npos);
    GermanLocale german;
    if (!german.active()) {
        GTEST_SKIP() << "de_DE.UTF-8 is not generated on this machine (scripts/setup.sh makes it)";
    }
    writeGradientSheet(folder / "de.pdf", ColorSpace::iccBased(srgbProfile()));
    EXPECT_EQ(TestSupport::readFile(folder / "de.pdf"), c);
    EXPECT_NE(c.find("/MediaBox [0 0 256.0000 32.0000]"), std::string::npos);
}

TEST(PDFImageWriterTest, RefusesUpFrontAFileTooLargeForTenDigitOffsetsToTheByte) {
    TemporaryDirectory folder;
    const std::string tooLarge = "인쇄 파일이 PDF 한 개에 담을 수 있는 크기(9,999,999,999바이트)를 넘습니다: "
                                 "인쇄 크기나 해상도를 줄이세요";
    // The size of a finished file with one image 1 pixel wide and h high, derived from a real small one: only
    // the digits of h, of its byte length and of the startxref offset change with h.
    PDFImageWriter writer(folder / "small.pdf", Size{1, 1}, "Quilm Print");
    // 100 000 × 100 000 pixels (60 GB), and a pixel count whose byte length overflows 64 bits.
    for (std::int64_t side : {std::int64_t{100000}, std::int64_t{1} << 40}) {
        TestSupport::expectFailure<PDFImageWriterError>(
            [&] { writer.beginImage(Rect(0, 0, 1, 1), side, side, ColorSpace::deviceRGB()); },
            PDFImageWriterErrorCode::fileTooLarge, tooLarge);
    }
    EXPECT_EQ(fileSize(folder / "small.pdf"), 15); // only the header: nothing of the images
    writer.beginImage(Rect(0, 0, 1, 1), 1, 1, ColorSpace::deviceRGB()); // the writer is still usable
    writer.writeImageBytes(std::string(6, '\0'));
    writer.endImage();
    writer.finish();
    const std::string small = TestSupport::readFile(folder / "small.pdf");
    const std::int64_t smallSize = static_cast<std::int64_t>(small.size());
    const std::int64_t smallStart = std::stoll(small.substr(small.rfind("startxref\n") + 10));
    auto digits = [](std::int64_t n) { return static_cast<std::int64_t>(std::to_string(n).size()); };
    auto sizeFor = [&](std::int64_t h) {
        std::int64_t start = smallStart + (digits(h) - 1) + (digits(6 * h) - 1) + 6 * (h - 1);
        return start + (smallSize - smallStart - digits(smallStart)) + digits(start);
    };
    std::int64_t rows = (PDFImageWriter::maximumFileSize - smallSize) / 6;
    while (sizeFor(rows) > PDFImageWriter::maximumFileSize) {
        --rows;
    }
    while (sizeFor(rows + 1) <= PDFImageWriter::maximumFileSize) {
        ++rows;
    }
    {
        // Accepted, then abandoned before any sample: the test never writes gigabytes.
        PDFImageWriter fits(folder / "fits.pdf", Size{1, 1}, "Quilm Print");
        EXPECT_NO_THROW(fits.beginImage(Rect(0, 0, 1, 1), 1, rows, ColorSpace::deviceRGB()));
    }
    PDFImageWriter over(folder / "over.pdf", Size{1, 1}, "Quilm Print");
    EXPECT_THROW(over.beginImage(Rect(0, 0, 1, 1), 1, rows + 1, ColorSpace::deviceRGB()),
                 PDFImageWriterError);
}

TEST(PDFImageWriterTest, RefusesGeometryThatIsNotANumberAndCallsOutOfOrderAddingNothing) {
    TemporaryDirectory folder;
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    // A page size that is not a number creates no file at all.
    EXPECT_THROW(PDFImageWriter(folder / "nan.pdf", Size{nan, 100}, "Quilm Print"), PDFImageWriterError);
    EXPECT_FALSE(std::filesystem::exists(folder / "nan.pdf"));
    PDFImageWriter writer(folder / "sheet.pdf", Size{100, 100}, "Quilm Print");
    const std::string invalid = "PDF에 쓸 페이지나 이미지의 크기 또는 위치가 올바르지 않습니다";
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { writer.beginImage(Rect(0, nan, 10, 10), 1, 1, ColorSpace::deviceRGB()); },
             [&] { writer.beginImage(Rect(0, 0, 10, 10), -1, 1, ColorSpace::deviceRGB()); },
             [&] {
                 writer.addRectangles({Rect(1, 1, 1, 1), Rect(0, 0, inf, 1)});
             }}) {
        TestSupport::expectFailure<PDFImageWriterError>(call, PDFImageWriterErrorCode::invalidGeometry,
                                                        invalid);
    }
    EXPECT_THROW(writer.writeImageBytes(std::string(6, '\0')), std::logic_error); // no image open
    writer.endImage(); // no image open: nothing happens
    writer.finish();
    EXPECT_THROW(writer.finish(), std::logic_error);
    EXPECT_THROW(writer.beginImage(Rect(0, 0, 1, 1), 1, 1, ColorSpace::deviceRGB()), std::logic_error);
    // The refused calls added nothing: no image, no rectangle, an empty content stream and image list.
    const std::string file = TestSupport::readFile(folder / "sheet.pdf");
    EXPECT_NE(file.find("trailer\n<< /Size 6 "), std::string::npos);
    EXPECT_EQ(objectText(file, 1), "1 0 obj\n<< /Length 0 >>\nstream\n\nendstream\nendobj\n");
    EXPECT_EQ(objectText(file, 2), "2 0 obj\n<< /Type /Page /Parent 3 0 R /MediaBox [0 0 100.0000 100.0000] "
                                   "/Resources << /XObject <<  >> >> /Contents 1 0 R >>\nendobj\n");
    PDFImageWriter twice(folder / "twice.pdf", Size{10, 10}, "Quilm Print");
    twice.beginImage(Rect(0, 0, 1, 1), 1, 1, ColorSpace::deviceRGB());
    EXPECT_THROW(twice.beginImage(Rect(0, 0, 1, 1), 1, 1, ColorSpace::deviceRGB()), std::logic_error);
    EXPECT_THROW(twice.finish(), std::logic_error);
}

TEST(PDFImageWriterTest, ClosesItsOwnCloseOnExecDescriptorOnce) {
    TemporaryDirectory folder;
    // open() takes the lowest free number, so each writer below gets the number just freed here.
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ::close(fd);
    {
        PDFImageWriter writer(folder / "owned.pdf", Size{10, 10}, "Quilm Print");
        EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
        writer.finish();
        EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
        // The next open gets the number again: the writer's destructor must not close it a second time.
        ASSERT_EQ(::open((folder / "other.txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644), fd);
    }
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    ::close(fd);
    {
        PDFImageWriter abandoned(folder / "abandoned.pdf", Size{10, 10}, "Quilm Print");
        abandoned.beginImage(Rect(0, 0, 1, 1), 1, 1, ColorSpace::deviceRGB());
    }
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
    EXPECT_TRUE(std::filesystem::exists(folder / "abandoned.pdf")); // the writer never deletes its file
}

TEST(PDFImageWriterTest, ChecksTheImageByteCountAndAnAbandonedSheetLeavesTheOldFile) {
    TemporaryDirectory folder;
    const std::filesystem::path target = folder / "sheet.pdf";
    TestSupport::writeFile(target, "the previous sheet");
    for (bool commit : {false, true}) {
        FileIO::AtomicFile file(target);
        PDFImageWriter writer(file, Size{100, 100}, "Quilm Print");
        writer.beginImage(Rect(0, 0, 100, 100), 2, 2, ColorSpace::deviceRGB());
        writer.writeImageBytes(std::string(23, '\1'));
        const std::int64_t before = writer.position();
        TestSupport::expectFailure<PDFImageWriterError>([&] { writer.endImage(); },
                                                        PDFImageWriterErrorCode::wrongImageSize,
                                                        "인쇄용 이미지 크기가 맞지 않습니다 (23/24바이트)");
        EXPECT_EQ(writer.position(), before); // nothing written; the image stays open
        writer.writeImageBytes(std::string(1, '\1'));
        writer.endImage();
        writer.finish();
        if (commit) {
            file.commit();
        } else {
            EXPECT_EQ(TestSupport::readFile(target), "the previous sheet");
        }
    }
    // The abandoned sheet left the previous file alone and nothing behind.
    EXPECT_NE(TestSupport::readFile(target).find(std::string(24, '\1') + "\nendstream"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

namespace {

// Two images of noise, in bands of many sizes (one row, a few rows, more than a block, the rest), the first
// after a profile stream so that its samples start off any block boundary, the second smaller than a block.
struct Noise {
    std::vector<std::string> first, second;
};

Noise noise() {
    std::mt19937 random(11);
    auto band = [&](std::size_t bytes) {
        std::string b(bytes, '\0');
        for (char& c : b) {
            c = static_cast<char>(random());
        }
        return b;
    };
    Noise n;
    for (int rows : {1, 3, 37, 100, 159}) {
        n.first.push_back(band(static_cast<std::size_t>(rows) * 1000 * 6));
    }
    n.second = {band(7 * 2 * 6), band(7 * 3 * 6)};
    return n;
}

// Memory that starts on a page boundary.
std::unique_ptr<char, decltype(&std::free)> pageAligned(std::size_t bytes) {
    return {static_cast<char*>(std::aligned_alloc(4096, (bytes + 4095) / 4096 * 4096)), &std::free};
}

// Writes the two images; `inPlace` says whether each band goes to writeImageBytesInPlace from a buffer of
// its own, starting `offset` bytes past a page boundary, with the room the writer may use after it;
// `alternate`, whether every second band is written the ordinary way instead.
void writeNoise(PDFImageWriter& writer, const Noise& n, bool inPlace, std::size_t offset = 0,
                bool alternate = false) {
    auto image = [&](const std::vector<std::string>& bands, int width, int height, const ColorSpace& space) {
        writer.beginImage(Rect(0, 0, 10, 10), width, height, space);
        bool ordinary = false;
        for (const std::string& b : bands) {
            ordinary = alternate && !ordinary;
            if (!inPlace || ordinary) {
                writer.writeImageBytes(b);
                continue;
            }
            const std::size_t size = offset + b.size() + PDFImageWriter::inPlaceRoom;
            auto buffer = pageAligned(size);
            std::memset(buffer.get(), 0x5A, size);
            std::memcpy(buffer.get() + offset, b.data(), b.size());
            writer.writeImageBytesInPlace(buffer.get() + offset, b.size());
        }
        writer.endImage();
    };
    image(n.first, 1000, 300, ColorSpace::iccBased(srgbProfile()));
    image(n.second, 7, 5, ColorSpace::deviceRGB());
    writer.finish();
}

// Whether the file system of the folder takes direct writes at all.
bool takesDirectWrites(const std::filesystem::path& folder) {
    const std::filesystem::path probe = folder / "probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_DIRECT, 0644);
    bool takes = false;
    if (fd >= 0) {
        auto block = pageAligned(4096);
        std::memset(block.get(), 0, 4096);
        takes = ::pwrite(fd, block.get(), 4096, 0) == 4096;
        ::close(fd);
    }
    std::filesystem::remove(probe);
    return takes;
}

// How many of the file's pages from byte `from` to byte `to` are in the page cache.
int cachedPages(const std::filesystem::path& path, std::int64_t from, std::int64_t to) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    const auto page = static_cast<std::int64_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident(
        static_cast<std::size_t>((static_cast<std::int64_t>(size) + page - 1) / page));
    ::mincore(map, size, resident.data());
    ::munmap(map, size);
    int cached = 0;
    for (std::int64_t p = from / page; p < to / page; ++p) {
        cached += resident[static_cast<std::size_t>(p)] & 1;
    }
    return cached;
}

} // namespace

TEST(PDFImageWriterTest, SamplesWrittenInPlaceMakeTheSameFileWithoutPassingThroughMemory) {
    TemporaryDirectory folder;
    const Noise n = noise();
    {
        PDFImageWriter writer(folder / "reference.pdf", Size{100, 100}, "Quilm Print");
        writeNoise(writer, n, false);
    }
    const std::string reference = TestSupport::readFile(folder / "reference.pdf");
    {
        FileIO::AtomicFile file(folder / "direct.pdf");
        PDFImageWriter writer(file, Size{100, 100}, "Quilm Print");
        writeNoise(writer, n, true);
        file.commit();
    }
    // Where the file system takes direct writes, the first image's samples (but for the pages they share with
    // the objects around them) went past the page cache.
    if (takesDirectWrites(folder.path())) {
        const auto start =
            static_cast<std::int64_t>(reference.find("stream\n", reference.find("/Width 1000")) + 7);
        EXPECT_EQ(cachedPages(folder / "direct.pdf", start + 4096, start + 1000 * 300 * 6 - 4096), 0);
    }
    // (Compared whole, without printing megabytes of noise when they differ.)
    EXPECT_TRUE(TestSupport::readFile(folder / "direct.pdf") == reference);
    // Ordinary writes between writes in place land after the samples before them.
    {
        FileIO::AtomicFile file(folder / "mixed.pdf");
        PDFImageWriter writer(file, Size{100, 100}, "Quilm Print");
        writeNoise(writer, n, true, 0, true);
        file.commit();
    }
    EXPECT_TRUE(TestSupport::readFile(folder / "mixed.pdf") == reference);

    // Buffers off a page boundary, and a descriptor whose file the writer cannot open again: the ordinary
    // way.
    {
        PDFImageWriter writer(folder / "unaligned.pdf", Size{100, 100}, "Quilm Print");
        writeNoise(writer, n, true, 6);
    }
    EXPECT_TRUE(TestSupport::readFile(folder / "unaligned.pdf") == reference);
    const int fd = ::open((folder / "borrowed.pdf").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    {
        PDFImageWriter writer(fd, Size{100, 100}, "Quilm Print");
        writeNoise(writer, n, true);
    }
    ::close(fd);
    EXPECT_TRUE(TestSupport::readFile(folder / "borrowed.pdf") == reference);
}
