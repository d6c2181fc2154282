#include "PrintKit/render/PDFImageWriter.h"

#include "GermanLocale.h"
#include "TestSupport.h"

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <limits>
#include <sstream>
#include <unistd.h>

using namespace PrintKit;
using TestSupport::TemporaryDirectory;

namespace {

using ColorSpace = PDFImageWriter::ColorSpace;

std::string srgbProfile() {
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// A second, different profile: sRGB with another description.
std::string otherProfile() {
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", "Other RGB");
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

void put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value & 0xFF);
}

// A 16-bit gradient in blocks of 8 × 8 pixels, so that a renderer's sub-pixel placement of the image edges
// cannot blur the middle of a block. The low bytes are not copies of the high bytes: a writer keeping only
// 8 bits would be caught by the byte comparison.
struct Gradient {
    int width = 256;
    int height = 16;
    std::uint16_t red(int x, int) const { return static_cast<std::uint16_t>(x / 8 * 2100 + x / 8 % 7); }
    std::uint16_t green(int x, int) const { return static_cast<std::uint16_t>(65535 - x / 8 * 2113); }
    std::uint16_t blue(int, int y) const { return static_cast<std::uint16_t>(16384 + y / 8 * 30000 + 5); }
    std::string row(int y) const {
        std::string out;
        for (int x = 0; x < width; ++x) {
            put16(out, red(x, y));
            put16(out, green(x, y));
            put16(out, blue(x, y));
        }
        return out;
    }
    std::string samples() const {
        std::string out;
        for (int y = 0; y < height; ++y) {
            out += row(y);
        }
        return out;
    }
};

std::int64_t fileSize(const std::filesystem::path& path) {
    return static_cast<std::int64_t>(std::filesystem::file_size(path));
}

// The cross-reference table as a reader sees it: startxref, then one offset per object.
struct CrossReference {
    std::int64_t start = -1;
    std::vector<std::int64_t> offsets;
};

CrossReference readCrossReference(const std::string& file) {
    CrossReference xref;
    std::size_t at = file.rfind("startxref\n");
    if (at == std::string::npos) {
        return xref;
    }
    xref.start = std::stoll(file.substr(at + 10));
    std::istringstream table(file.substr(static_cast<std::size_t>(xref.start)));
    std::string keyword;
    int first = 0;
    int count = 0;
    table >> keyword >> first >> count;
    table.get(); // the line feed after the count
    std::string entry(20, '\0');
    for (int i = 0; i < count; ++i) {
        table.read(entry.data(), 20);
        if (i > 0) {
            xref.offsets.push_back(std::stoll(entry.substr(0, 10)));
        }
    }
    return xref;
}

// Text of object n from its number up to and including "endobj\n".
std::string objectText(const std::string& file, const CrossReference& xref, std::size_t number) {
    std::size_t start = static_cast<std::size_t>(xref.offsets.at(number - 1));
    std::size_t end = file.find("endobj\n", start);
    return file.substr(start, end + 7 - start);
}

std::string command(const std::string& line, int* status = nullptr) {
    std::string output;
    int result = TestSupport::run(line + " 2>&1", &output);
    if (status) {
        *status = result;
    }
    return output;
}

bool haveTools() {
    return TestSupport::haveProgram("qpdf") && TestSupport::haveProgram("pdfimages") &&
           TestSupport::haveProgram("pdftoppm");
}

struct Pixels {
    int width = 0;
    int height = 0;
    std::string rgb;
    int at(int x, int y, int channel) const {
        return static_cast<unsigned char>(rgb[static_cast<std::size_t>((y * width + x) * 3 + channel)]);
    }
};

Pixels renderPage(const std::filesystem::path& pdf, const std::filesystem::path& prefix) {
    command("pdftoppm -r 72 -singlefile " + pdf.string() + " " + prefix.string());
    std::string ppm = TestSupport::readFile(prefix.string() + ".ppm");
    std::istringstream in(ppm);
    std::string magic;
    int maxValue = 0;
    Pixels pixels;
    in >> magic >> pixels.width >> pixels.height >> maxValue;
    in.get();
    pixels.rgb = ppm.substr(static_cast<std::size_t>(in.tellg()));
    EXPECT_EQ(magic, "P6");
    EXPECT_EQ(maxValue, 255);
    return pixels;
}

// Writes the gradient across the top half of a 256 × 32 point page, with two black rectangles: one on white
// paper, one over the image.
void writeGradientSheet(const std::filesystem::path& path, const ColorSpace& colorSpace) {
    Gradient gradient;
    PDFImageWriter writer(path, Size{256, 32}, "Quilm Print");
    writer.beginImage(Rect(0, 16, 256, 16), gradient.width, gradient.height, colorSpace);
    for (int y = 0; y < gradient.height; ++y) { // one call per band, as the renderer does
        writer.writeImageBytes(gradient.row(y));
    }
    writer.endImage();
    writer.addRectangles({Rect(16, 0, 32, 8), Rect(104, 16, 16, 8)});
    writer.finish();
}

// At 72 ppi one point is one pixel. Every 8 × 8 block of the page is read at its centre, away from the edges
// where renderers place images and fills to within a pixel.
void expectGradientPixels(const Pixels& page, int tolerance) {
    Gradient gradient;
    ASSERT_EQ(page.width, 256);
    ASSERT_EQ(page.height, 32);
    auto black = [](int x, int row) {
        return (x >= 16 && x < 48 && row >= 24) || (x >= 104 && x < 120 && row >= 8 && row < 16);
    };
    for (int row = 4; row < 32; row += 8) {
        for (int x = 4; x < 256; x += 8) {
            int expected[3] = {255, 255, 255}; // paper
            if (black(x, row)) {
                expected[0] = expected[1] = expected[2] = 0;
            } else if (row < 16) {
                expected[0] = (gradient.red(x, row) * 255 + 32767) / 65535;
                expected[1] = (gradient.green(x, row) * 255 + 32767) / 65535;
                expected[2] = (gradient.blue(x, row) * 255 + 32767) / 65535;
            }
            for (int c = 0; c < 3; ++c) {
                ASSERT_NEAR(page.at(x, row, c), expected[c], black(x, row) ? 0 : tolerance)
                    << "x " << x << " row " << row << " channel " << c;
            }
        }
    }
}

// The descriptor this process holds for path, or -1.
int descriptorFor(const std::filesystem::path& path) {
    std::filesystem::path wanted = std::filesystem::weakly_canonical(path);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        std::filesystem::path target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target == wanted) {
            return std::stoi(entry.path().filename().string());
        }
    }
    return -1;
}

bool closeOnExec(int fd) {
    std::string info = TestSupport::readFile("/proc/self/fdinfo/" + std::to_string(fd));
    std::size_t at = info.find("flags:");
    unsigned long flags = std::stoul(info.substr(at + 6), nullptr, 8);
    return (flags & O_CLOEXEC) != 0;
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
        "/BitsPerComponent 16 "
        "/Interpolate false /Length 6 >>\nstream\n" +
        samples + "\nendstream\nendobj\n");
    add("2 0 obj\n<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
        "\nendstream\nendobj\n");
    add("3 0 obj\n<< /Type /Page /Parent 4 0 R /MediaBox [0 0 100.0000 200.0000] /Resources << /XObject << "
        "/Im0 1 "
        "0 R >> >> /Contents 2 0 R >>\nendobj\n");
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

TEST(PDFImageWriterTest, EmptyPageHasEmptyContentAndNoImages) {
    TemporaryDirectory folder;
    PDFImageWriter writer(folder / "empty.pdf", Size{595.2756, 841.8898}, "Quilm Print");
    writer.endImage(); // no image open: nothing happens
    writer.finish();
    std::string file = TestSupport::readFile(folder / "empty.pdf");
    CrossReference xref = readCrossReference(file);
    ASSERT_EQ(xref.offsets.size(), 5u);
    EXPECT_EQ(objectText(file, xref, 1), "1 0 obj\n<< /Length 0 >>\nstream\n\nendstream\nendobj\n");
    EXPECT_EQ(objectText(file, xref, 2),
              "2 0 obj\n<< /Type /Page /Parent 3 0 R /MediaBox [0 0 595.2756 841.8898] "
              "/Resources << /XObject <<  >> >> /Contents 1 0 R >>\nendobj\n");
    EXPECT_NE(file.find("trailer\n<< /Size 6 /Root 4 0 R /Info 5 0 R >>"), std::string::npos);
}

TEST(PDFImageWriterTest, NumbersObjectsForAnICCBasedImage) {
    TemporaryDirectory folder;
    const std::string profile = srgbProfile();
    PDFImageWriter writer(folder / "icc.pdf", Size{72, 72}, "Quilm Print");
    writer.beginImage(Rect(0, 0, 72, 72), 2, 1, ColorSpace::iccBased(profile));
    writer.writeImageBytes(std::string(12, '\x7F'));
    writer.endImage();
    writer.finish();

    std::string file = TestSupport::readFile(folder / "icc.pdf");
    CrossReference xref = readCrossReference(file);
    ASSERT_EQ(xref.offsets.size(), 7u);
    EXPECT_EQ(objectText(file, xref, 1), "1 0 obj\n<< /N 3 /Length " + std::to_string(profile.size()) +
                                             " >>\nstream\n" + profile + "\nendstream\nendobj\n");
    EXPECT_EQ(objectText(file, xref, 2)
                  .find("2 0 obj\n<< /Type /XObject /Subtype /Image /Width 2 /Height 1 "
                        "/ColorSpace [/ICCBased 1 0 R] /BitsPerComponent 16"),
              0u);
    EXPECT_NE(objectText(file, xref, 4).find("/Parent 5 0 R"), std::string::npos);
    EXPECT_NE(objectText(file, xref, 4).find("/XObject << /Im0 2 0 R >>"), std::string::npos);
    EXPECT_NE(objectText(file, xref, 4).find("/Contents 3 0 R"), std::string::npos);
    EXPECT_EQ(objectText(file, xref, 5), "5 0 obj\n<< /Type /Pages /Kids [4 0 R] /Count 1 >>\nendobj\n");
    EXPECT_EQ(objectText(file, xref, 6), "6 0 obj\n<< /Type /Catalog /Pages 5 0 R >>\nendobj\n");
    EXPECT_NE(file.find("trailer\n<< /Size 8 /Root 6 0 R /Info 7 0 R >>"), std::string::npos);
}

TEST(PDFImageWriterTest, EmbedsEachProfileOnceJustBeforeItsFirstImage) {
    TemporaryDirectory folder;
    const std::string first = srgbProfile();
    const std::string second = otherProfile();
    ASSERT_NE(first, second);
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
    writer.finish();

    std::string file = TestSupport::readFile(folder / "profiles.pdf");
    CrossReference xref = readCrossReference(file);
    EXPECT_EQ(objectText(file, xref, 1).find("1 0 obj\n<< /N 3 /Length"), 0u);
    EXPECT_NE(objectText(file, xref, 3).find("/ColorSpace [/ICCBased 1 0 R]"), std::string::npos);
    EXPECT_NE(objectText(file, xref, 4).find("/ColorSpace /DeviceRGB"), std::string::npos);
    EXPECT_NE(objectText(file, xref, 5).find(second), std::string::npos);
    EXPECT_NE(objectText(file, xref, 6).find("/ColorSpace [/ICCBased 5 0 R]"), std::string::npos);
    EXPECT_NE(objectText(file, xref, 7).find("/ColorSpace [/ICCBased 1 0 R]"), std::string::npos);
    EXPECT_NE(objectText(file, xref, 9)
                  .find("/XObject << /Im0 2 0 R /Im1 3 0 R /Im2 4 0 R /Im3 6 0 R /Im4 7 0 R >>"),
              std::string::npos);
    // Images are named in the order begun, in the content stream too.
    const std::string content = objectText(file, xref, 8);
    EXPECT_NE(content.find("q\n10.0000 0 0 10.0000 0.0000 0.0000 cm\n/Im0 Do\nQ\n"
                           "q\n10.0000 0 0 10.0000 20.0000 0.0000 cm\n/Im1 Do\nQ\n"),
              std::string::npos);
    EXPECT_NE(content.find("/Im4 Do"), std::string::npos);
    EXPECT_EQ(content.find("0 g"), std::string::npos); // no rectangles, no fill
    EXPECT_EQ(content.find("f\n"), std::string::npos);
}

TEST(PDFImageWriterTest, FillsAllRectanglesWithOneOperator) {
    TemporaryDirectory folder;
    PDFImageWriter writer(folder / "marks.pdf", Size{100, 100}, "Quilm Print");
    writer.addRectangles({Rect(1.5, 2, 0.36, 11.3)});
    writer.addRectangles({Rect(-0.5, 90, 4, 0.25), Rect(20, 20, -2, -3)});
    writer.finish();
    std::string file = TestSupport::readFile(folder / "marks.pdf");
    CrossReference xref = readCrossReference(file);
    const std::string body = "0 g\n1.5000 2.0000 0.3600 11.3000 re\n-0.5000 90.0000 4.0000 0.2500 re\n"
                             "18.0000 17.0000 2.0000 3.0000 re\nf\n";
    EXPECT_EQ(objectText(file, xref, 1), "1 0 obj\n<< /Length " + std::to_string(body.size()) +
                                             " >>\nstream\n" + body + "\nendstream\nendobj\n");
}

TEST(PDFImageWriterTest, ChecksTheImageByteCount) {
    TemporaryDirectory folder;
    PDFImageWriter writer(folder / "count.pdf", Size{100, 100}, "Quilm Print");
    writer.beginImage(Rect(0, 0, 10, 10), 1, 1, ColorSpace::deviceRGB());
    writer.writeImageBytes(std::string(5, '\1'));
    std::int64_t before = writer.position();
    PDFImageWriterError error = writerError([&] { writer.endImage(); });
    EXPECT_EQ(error.code(), PDFImageWriterErrorCode::wrongImageSize);
    EXPECT_EQ(error.message(), "인쇄용 이미지 크기가 맞지 않습니다 (5/6바이트)");
    EXPECT_EQ(writer.position(), before);
    EXPECT_EQ(fileSize(folder / "count.pdf"), before); // nothing written
    // The image stays open: the missing byte completes it.
    writer.writeImageBytes(std::string(1, '\1'));
    writer.endImage();
    writer.finish();
    EXPECT_NE(TestSupport::readFile(folder / "count.pdf").find("\1\1\1\1\1\1\nendstream"), std::string::npos);
}

TEST(PDFImageWriterTest, ZeroPixelImageHasNoSamples) {
    TemporaryDirectory folder;
    PDFImageWriter writer(folder / "zero.pdf", Size{100, 100}, "Quilm Print");
    writer.beginImage(Rect(0, 0, 10, 10), 0, 7, ColorSpace::deviceRGB());
    writer.endImage();
    writer.finish();
    std::string file = TestSupport::readFile(folder / "zero.pdf");
    EXPECT_NE(file.find("/Width 0 /Height 7 /ColorSpace /DeviceRGB /BitsPerComponent 16 /Interpolate false "
                        "/Length 0 >>\nstream\n\nendstream\nendobj\n"),
              std::string::npos);
}

TEST(PDFImageWriterTest, ReplacesAnExistingFileAndReportsWhereItCannotWrite) {
    TemporaryDirectory folder;
    TestSupport::writeFile(folder / "old.pdf", std::string(100000, 'x'));
    {
        PDFImageWriter writer(folder / "old.pdf", Size{10, 10}, "Quilm Print");
        writer.finish();
    }
    std::string file = TestSupport::readFile(folder / "old.pdf");
    EXPECT_EQ(file.find("xxxx"), std::string::npos);
    EXPECT_LT(file.size(), 1000u);

    const std::filesystem::path missing = folder / "no such folder" / "sheet.pdf";
    PDFImageWriterError error = writerError([&] {
        PDFImageWriter writer(missing, Size{10, 10}, "Quilm Print");
    });
    EXPECT_EQ(error.code(), PDFImageWriterErrorCode::cannotOpen);
    EXPECT_EQ(error.message(), "PDF를 만들지 못했습니다: " + missing.string());
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
}

TEST(PDFImageWriterTest, PassesOutsideChecksAsSixteenBitImages) {
    if (!haveTools()) {
        GTEST_SKIP() << "qpdf and poppler-utils are needed";
    }
    TemporaryDirectory folder;
    const std::string profile = srgbProfile();
    writeGradientSheet(folder / "rgb.pdf", ColorSpace::deviceRGB());
    writeGradientSheet(folder / "icc.pdf", ColorSpace::iccBased(profile));

    for (const char* name : {"rgb.pdf", "icc.pdf"}) {
        int status = -1;
        std::string report = command("qpdf --check " + (folder / name).string(), &status);
        EXPECT_EQ(status, 0) << report;
        EXPECT_NE(report.find("No syntax or stream encoding errors found"), std::string::npos) << report;
    }

    // page num type width height color comp bpc enc interp object ID ...
    auto listing = [&](const char* name) {
        std::istringstream lines(command("pdfimages -list " + (folder / name).string()));
        std::string line;
        std::getline(lines, line);
        std::getline(lines, line);
        std::getline(lines, line);
        std::istringstream fields(line);
        std::vector<std::string> values;
        for (std::string field; fields >> field;) {
            values.push_back(field);
        }
        return values;
    };
    std::vector<std::string> rgb = listing("rgb.pdf");
    ASSERT_GE(rgb.size(), 10u);
    EXPECT_EQ(rgb[2], "image");
    EXPECT_EQ(rgb[3], "256");
    EXPECT_EQ(rgb[4], "16");
    EXPECT_EQ(rgb[5], "rgb");
    EXPECT_EQ(rgb[6], "3");
    EXPECT_EQ(rgb[7], "16");
    EXPECT_EQ(rgb[9], "no"); // not interpolated
    std::vector<std::string> icc = listing("icc.pdf");
    ASSERT_GE(icc.size(), 10u);
    EXPECT_EQ(icc[5], "icc");
    EXPECT_EQ(icc[6], "3");
    EXPECT_EQ(icc[7], "16");

    // The stream holds every bit the renderer produced, and the profile as it was given.
    Gradient gradient;
    EXPECT_EQ(command("qpdf --show-object=1 --raw-stream-data " + (folder / "rgb.pdf").string()),
              gradient.samples());
    EXPECT_EQ(command("qpdf --show-object=2 --raw-stream-data " + (folder / "icc.pdf").string()),
              gradient.samples());
    EXPECT_EQ(command("qpdf --show-object=1 --raw-stream-data " + (folder / "icc.pdf").string()), profile);
}

TEST(PDFImageWriterTest, RendersToTheExpectedPixels) {
    if (!haveTools()) {
        GTEST_SKIP() << "qpdf and poppler-utils are needed";
    }
    TemporaryDirectory folder;
    writeGradientSheet(folder / "rgb.pdf", ColorSpace::deviceRGB());
    writeGradientSheet(folder / "icc.pdf", ColorSpace::iccBased(srgbProfile()));
    {
        SCOPED_TRACE("DeviceRGB");
        expectGradientPixels(renderPage(folder / "rgb.pdf", folder / "rgb"), 1);
    }
    {
        SCOPED_TRACE("ICC-based sRGB");
        expectGradientPixels(renderPage(folder / "icc.pdf", folder / "icc"), 2);
    }
}

TEST(PDFImageWriterTest, BytesDoNotFollowTheProcessLocale) {
    TemporaryDirectory folder;
    auto sheet = [](const std::filesystem::path& path) {
        PDFImageWriter writer(path, Size{595.2756, 841.8898}, "Quilm Print");
        writer.beginImage(Rect(28.3465, 14.1732, 538.5827, 813.5433), 2, 2,
                          ColorSpace::iccBased(srgbProfile()));
        writer.writeImageBytes(std::string(24, '\x42'));
        writer.endImage();
        writer.addRectangles({Rect(-1.25, 0.5, 0.36, 11.3)});
        writer.finish();
    };
    sheet(folder / "c.pdf");
    GermanLocale german;
    if (!german.active()) {
        GTEST_SKIP() << "de_DE.UTF-8 is not generated on this machine (scripts/setup.sh makes it)";
    }
    sheet(folder / "de.pdf");
    std::string c = TestSupport::readFile(folder / "c.pdf");
    EXPECT_EQ(TestSupport::readFile(folder / "de.pdf"), c);
    EXPECT_NE(c.find("/MediaBox [0 0 595.2756 841.8898]"), std::string::npos);
    EXPECT_NE(c.find("-1.2500 0.5000 0.3600 11.3000 re\n"), std::string::npos);
}

TEST(PDFImageWriterTest, RefusesUpFrontAnImageTooLargeForTenDigitOffsets) {
    TemporaryDirectory folder;
    const std::filesystem::path path = folder / "huge.pdf";
    PDFImageWriter writer(path, Size{3600, 3600}, "Quilm Print");
    // 100 000 × 100 000 pixels: 60 GB of samples.
    PDFImageWriterError error = writerError(
        [&] { writer.beginImage(Rect(0, 0, 3600, 3600), 100000, 100000, ColorSpace::deviceRGB()); });
    EXPECT_EQ(error.code(), PDFImageWriterErrorCode::fileTooLarge);
    EXPECT_EQ(error.message(), "인쇄 파일이 PDF 한 개에 담을 수 있는 크기(9,999,999,999바이트)를 넘습니다: "
                               "인쇄 크기나 해상도를 줄이세요");
    EXPECT_EQ(fileSize(path), 15); // only the header: nothing of the image
    // A pixel count whose byte length overflows 64 bits is refused the same way.
    const std::int64_t side = std::int64_t{1} << 40;
    EXPECT_EQ(
        writerError([&] { writer.beginImage(Rect(0, 0, 1, 1), side, side, ColorSpace::deviceRGB()); }).code(),
        PDFImageWriterErrorCode::fileTooLarge);
    // The writer is still usable for an image that fits.
    writer.beginImage(Rect(0, 0, 1, 1), 1, 1, ColorSpace::deviceRGB());
    writer.writeImageBytes(std::string(6, '\0'));
    writer.endImage();
    writer.finish();
    EXPECT_EQ(readCrossReference(TestSupport::readFile(path)).offsets.size(), 6u);
}

TEST(PDFImageWriterTest, LargestFileThatFitsIsAcceptedAndOneRowMoreIsNot) {
    TemporaryDirectory folder;
    // The size of a finished file with one image 1 pixel wide and h high, derived from a real small one: only
    // the digits of h, of its byte length and of the startxref offset change with h.
    std::int64_t smallSize = 0;
    std::int64_t smallStart = 0;
    {
        PDFImageWriter writer(folder / "small.pdf", Size{1, 1}, "Quilm Print");
        writer.beginImage(Rect(0, 0, 1, 1), 1, 1, ColorSpace::deviceRGB());
        writer.writeImageBytes(std::string(6, '\0'));
        writer.endImage();
        writer.finish();
        smallSize = fileSize(folder / "small.pdf");
        smallStart = readCrossReference(TestSupport::readFile(folder / "small.pdf")).start;
    }
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
    ASSERT_GT(sizeFor(rows + 1), PDFImageWriter::maximumFileSize);

    {
        // Accepted, then abandoned before any sample: the test never writes gigabytes.
        PDFImageWriter writer(folder / "fits.pdf", Size{1, 1}, "Quilm Print");
        EXPECT_NO_THROW(writer.beginImage(Rect(0, 0, 1, 1), 1, rows, ColorSpace::deviceRGB()));
    }
    PDFImageWriter writer(folder / "over.pdf", Size{1, 1}, "Quilm Print");
    EXPECT_EQ(writerError([&] {
                  writer.beginImage(Rect(0, 0, 1, 1), 1, rows + 1, ColorSpace::deviceRGB());
              }).code(),
              PDFImageWriterErrorCode::fileTooLarge);
    EXPECT_EQ(fileSize(folder / "over.pdf"), 15);
}

TEST(PDFImageWriterTest, RefusesGeometryThatIsNotANumber) {
    TemporaryDirectory folder;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // A page size that is not a number creates no file at all.
    EXPECT_EQ(writerError([&] {
                  PDFImageWriter(folder / "nan.pdf", Size{nan, 100}, "Quilm Print");
              }).code(),
              PDFImageWriterErrorCode::invalidGeometry);
    EXPECT_FALSE(std::filesystem::exists(folder / "nan.pdf"));

    PDFImageWriter writer(folder / "sheet.pdf", Size{100, 100}, "Quilm Print");
    PDFImageWriterError error =
        writerError([&] { writer.beginImage(Rect(0, nan, 10, 10), 1, 1, ColorSpace::deviceRGB()); });
    EXPECT_EQ(error.code(), PDFImageWriterErrorCode::invalidGeometry);
    EXPECT_EQ(error.message(), "PDF에 쓸 페이지나 이미지의 크기 또는 위치가 올바르지 않습니다");
    EXPECT_EQ(
        writerError([&] { writer.beginImage(Rect(0, 0, 10, 10), -1, 1, ColorSpace::deviceRGB()); }).code(),
        PDFImageWriterErrorCode::invalidGeometry);
    EXPECT_EQ(writerError([&] {
                  writer.addRectangles({Rect(1, 1, 1, 1), Rect(0, 0, inf, 1)});
              }).code(),
              PDFImageWriterErrorCode::invalidGeometry);
    EXPECT_EQ(fileSize(folder / "sheet.pdf"), 15);
    writer.finish();
    std::string file = TestSupport::readFile(folder / "sheet.pdf");
    EXPECT_EQ(file.find("nan"), std::string::npos);
    EXPECT_EQ(file.find("inf"), std::string::npos);
    EXPECT_EQ(file.find(" re\n"), std::string::npos); // the refused list added nothing
}

TEST(PDFImageWriterTest, OwnsItsDescriptorCloseOnExecAndClosesItOnce) {
    TemporaryDirectory folder;
    const std::filesystem::path path = folder / "owned.pdf";
    {
        PDFImageWriter writer(path, Size{10, 10}, "Quilm Print");
        int fd = descriptorFor(path);
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(closeOnExec(fd));
        writer.finish();
        EXPECT_EQ(descriptorFor(path), -1);
    } // the destructor does not close again: a descriptor opened meanwhile stays open
    {
        PDFImageWriter abandoned(folder / "abandoned.pdf", Size{10, 10}, "Quilm Print");
        abandoned.beginImage(Rect(0, 0, 1, 1), 1, 1, ColorSpace::deviceRGB());
    }
    EXPECT_EQ(descriptorFor(folder / "abandoned.pdf"), -1);
    EXPECT_TRUE(std::filesystem::exists(folder / "abandoned.pdf")); // the writer never deletes its file
}

TEST(PDFImageWriterTest, DestructorAfterFinishLeavesReusedDescriptorAlone) {
    TemporaryDirectory folder;
    int reused = -1;
    {
        PDFImageWriter writer(folder / "a.pdf", Size{10, 10}, "Quilm Print");
        writer.finish();
        // The number just freed is the lowest free one: the next open gets it.
        reused = ::open((folder / "b.txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(reused, 0);
    }
    EXPECT_NE(::fcntl(reused, F_GETFD), -1);
    ::close(reused);
}

TEST(PDFImageWriterTest, WritesIntoABorrowedDescriptorWithoutClosingIt) {
    TemporaryDirectory folder;
    int fd = ::open((folder / "borrowed.pdf").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    {
        PDFImageWriter writer(fd, Size{100, 100}, "Quilm Print");
        writer.beginImage(Rect(0, 0, 100, 100), 1, 1, ColorSpace::deviceRGB());
        writer.writeImageBytes(std::string(6, '\xFF'));
        writer.endImage();
        writer.finish();
    }
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    ::close(fd);
    if (TestSupport::haveProgram("qpdf")) {
        int status = -1;
        std::string report = command("qpdf --check " + (folder / "borrowed.pdf").string(), &status);
        EXPECT_EQ(status, 0) << report;
    }
}

TEST(PDFImageWriterTest, FailedSheetLeavesTheOldFileThroughAtomicFile) {
    TemporaryDirectory folder;
    const std::filesystem::path target = folder / "sheet.pdf";
    TestSupport::writeFile(target, "the previous sheet");
    {
        FileIO::AtomicFile file(target);
        PDFImageWriter writer(file, Size{100, 100}, "Quilm Print");
        writer.beginImage(Rect(0, 0, 100, 100), 2, 2, ColorSpace::deviceRGB());
        writer.writeImageBytes(std::string(23, '\0'));
        EXPECT_THROW(writer.endImage(), PDFImageWriterError); // the render fails here; nothing is committed
    }
    EXPECT_EQ(TestSupport::readFile(target), "the previous sheet");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);

    {
        FileIO::AtomicFile file(target);
        PDFImageWriter writer(file, Size{100, 100}, "Quilm Print");
        writer.beginImage(Rect(0, 0, 100, 100), 2, 2, ColorSpace::deviceRGB());
        writer.writeImageBytes(std::string(24, '\0'));
        writer.endImage();
        writer.finish();
        file.commit();
    }
    std::string file = TestSupport::readFile(target);
    EXPECT_EQ(file.substr(0, 8), "%PDF-1.5");
    EXPECT_EQ(file.substr(file.size() - 6), "%%EOF\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(PDFImageWriterTest, CreatorKeepsTheLiteralStringIntact) {
    TemporaryDirectory folder;
    {
        PDFImageWriter writer(folder / "creator.pdf", Size{10, 10}, "Studio (A) \\ B)");
        writer.finish();
    }
    std::string file = TestSupport::readFile(folder / "creator.pdf");
    EXPECT_NE(file.find("<< /Creator (Studio \\(A\\) \\\\ B\\)) /Producer (Studio \\(A\\) \\\\ B\\)) >>"),
              std::string::npos);
    if (TestSupport::haveProgram("qpdf")) {
        int status = -1;
        std::string report = command("qpdf --check " + (folder / "creator.pdf").string(), &status);
        EXPECT_EQ(status, 0) << report;
    }
}

TEST(PDFImageWriterTest, RefusesCallsOutOfOrder) {
    TemporaryDirectory folder;
    PDFImageWriter writer(folder / "order.pdf", Size{10, 10}, "Quilm Print");
    EXPECT_THROW(writer.writeImageBytes(std::string(6, '\0')), std::logic_error); // no image open
    writer.beginImage(Rect(0, 0, 1, 1), 1, 1, ColorSpace::deviceRGB());
    EXPECT_THROW(writer.beginImage(Rect(0, 0, 1, 1), 1, 1, ColorSpace::deviceRGB()), std::logic_error);
    EXPECT_THROW(writer.finish(), std::logic_error);
    writer.writeImageBytes(std::string(6, '\0'));
    writer.endImage();
    writer.finish();
    EXPECT_THROW(writer.finish(), std::logic_error);
    EXPECT_THROW(writer.beginImage(Rect(0, 0, 1, 1), 1, 1, ColorSpace::deviceRGB()), std::logic_error);
}
