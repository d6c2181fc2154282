#include "PrintKit/targets/TestTarget.h"

#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/targets/TestTargetJSON.h"
#include "TargetFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <tiffio.h>

using namespace PrintKit;
using TestSupport::TemporaryDirectory;

namespace {

PPDPageSize page(std::string name, double width, double height, std::optional<std::vector<double>> area) {
    return {std::move(name), "", {}, width, height, std::move(area)};
}

std::vector<double> rect(const TestTargetManifest& manifest, std::size_t index) {
    return manifest.patches.at(index).rect;
}

template <typename Call> TestTargetErrorCode failure(Call call, std::string* message = nullptr) {
    try {
        call();
    } catch (const TestTargetError& error) {
        if (message) {
            *message = error.what();
        }
        return error.code();
    }
    ADD_FAILURE() << "no TestTargetError";
    return {};
}

struct PPM {
    int width = 0, height = 0;
    std::string pixels;
    std::array<int, 3> at(int x, int y) const {
        const auto i = static_cast<std::size_t>(3 * (y * width + x));
        return {static_cast<unsigned char>(pixels[i]), static_cast<unsigned char>(pixels[i + 1]),
                static_cast<unsigned char>(pixels[i + 2])};
    }
};

PPM readPPM(const std::filesystem::path& path) {
    const std::string bytes = TestSupport::readFile(path);
    PPM image;
    int maximum = 0;
    int consumed = 0;
    EXPECT_EQ(std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &image.width, &image.height, &maximum, &consumed),
              3);
    image.pixels = bytes.substr(static_cast<std::size_t>(consumed) + 1);
    EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(3 * image.width * image.height));
    return image;
}

} // namespace

TEST(TestTargetTest, LaysPatchesOutFromTheImageableAreasTopLeft) {
    TemporaryDirectory folder;
    // Letter with a full imageable area: Int(584 / 48) = 12 columns, two rows.
    const auto letter = TestTarget::render(page("Letter", 612, 792, std::vector<double>{0, 0, 612, 792}),
                                           TestTargetVariant::deviceRGB(), folder / "letter.pdf");
    EXPECT_EQ(letter.pageName + " " + letter.variant, "Letter device");
    ASSERT_EQ(letter.patches.size(), 24u);
    EXPECT_EQ(rect(letter, 0), (std::vector<double>{18, 734, 40, 40}));
    EXPECT_EQ(rect(letter, 11), (std::vector<double>{546, 734, 40, 40}));
    EXPECT_EQ(rect(letter, 12), (std::vector<double>{18, 686, 40, 40}));
    EXPECT_EQ(letter.patches[14], (TestPatch{"red", {255, 0, 0}, {114, 686, 40, 40}}));
    EXPECT_EQ(TestTargetVariant::profile("/p/P900 v1.2.icm").name(), "profile-P900 v1.2");

    // No imageable area: the whole page; Int(567.28 / 48) = 11 columns.
    const auto a4 = TestTarget::render(page("A4", 595.28, 841.89, std::nullopt),
                                       TestTargetVariant::deviceRGB(), folder / "a4.pdf");
    EXPECT_EQ(rect(a4, 0), (std::vector<double>{18, 841.89 - 58, 40, 40}));
    EXPECT_EQ(rect(a4, 11), (std::vector<double>{18, 841.89 - 18 - 80 - 8, 40, 40}));

    // An area narrower than 76 points still has one column, and its rows run on below the page.
    const auto strip = TestTarget::render(page("Strip", 200, 300, std::vector<double>{100, 50, 170, 290}),
                                          TestTargetVariant::deviceRGB(), folder / "strip.pdf");
    EXPECT_EQ(rect(strip, 1), (std::vector<double>{118, 290 - 18 - 80 - 8, 40, 40}));
    EXPECT_EQ(rect(strip, 23), (std::vector<double>{118, 290 - 18 - 960 - 184, 40, 40}));
}

TEST(TestTargetTest, PDFPassesOutsideChecksAndShowsEachPatchColour) {
    if (!TestSupport::haveProgram("qpdf") || !TestSupport::haveProgram("pdftoppm")) {
        GTEST_SKIP() << "qpdf and poppler-utils are needed";
    }
    TemporaryDirectory folder;
    const auto profile =
        TargetFixtures::writeProfile(folder / "Linear RGB.icc", TargetFixtures::linearRGBProfile());
    const PPDPageSize small = page("Small", 300, 250, std::nullopt);
    for (const auto& variant :
         {TestTargetVariant::deviceRGB(), TestTargetVariant::sRGB(), TestTargetVariant::profile(profile)}) {
        SCOPED_TRACE(variant.name());
        const auto pdf = folder / (variant.name() + ".pdf");
        const auto manifest = TestTarget::render(small, variant, pdf);
        EXPECT_EQ(TestSupport::run("qpdf --check '" + pdf.string() + "' >/dev/null 2>&1"), 0);
        const std::string bytes = TestSupport::readFile(pdf);
        EXPECT_NE(bytes.find("/Creator (Quilm Print)"), std::string::npos);
        if (variant.kind == TestTargetVariant::Kind::profile) {
            EXPECT_NE(bytes.find(TestSupport::readFile(profile)), std::string::npos);
            continue; // a straight-curve space shows other numbers on screen: its geometry is checked above
        }
        ASSERT_EQ(
            TestSupport::run("pdftoppm -r 72 '" + pdf.string() + "' '" + (folder / "shot").string() + "'"),
            0);
        const PPM shot = readPPM(folder / "shot-1.ppm");
        ASSERT_EQ(shot.width, 300);
        for (const auto& patch : manifest.patches) {
            const auto& r = patch.rect;
            const auto seen = shot.at(static_cast<int>(r[0] + 20), static_cast<int>(250 - r[1] - 20));
            for (std::size_t c = 0; c < 3; ++c) {
                EXPECT_NEAR(seen[c], patch.rgb[c], 1) << patch.name;
            }
        }
    }
}

TEST(TestTargetTest, RefusesWhatWouldMakeNoValidFileAndKeepsTheOldOne) {
    TemporaryDirectory folder;
    const auto pdf = folder / "target.pdf";
    TestSupport::writeFile(pdf, "earlier target");
    const auto gray = TargetFixtures::writeProfile(folder / "gray.icc", TestProfiles::gray());
    const auto junk = TargetFixtures::writeProfile(folder / "junk.icc", std::string(400, 'x'));
    const PPDPageSize letter = page("Letter", 612, 792, std::nullopt);

    std::string message;
    EXPECT_EQ(failure([&] { TestTarget::render(letter, TestTargetVariant::profile(gray), pdf); }, &message),
              TestTargetErrorCode::badColorSpace);
    EXPECT_EQ(message, "색공간을 만들지 못했습니다: " + gray.string());
    for (const auto& profile : {junk, folder / "none.icc"}) {
        EXPECT_EQ(failure([&] { TestTarget::render(letter, TestTargetVariant::profile(profile), pdf); }),
                  TestTargetErrorCode::badColorSpace);
    }

    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const PPDPageSize& bad : {page("NaN", nan, 792, std::nullopt), page("Flat", 612, 0, std::nullopt),
                                   page("Three", 612, 792, std::vector<double>{0, 0, 612}),
                                   page("Endless", 612, 792, std::vector<double>{0, 0, INFINITY, 792})}) {
        EXPECT_EQ(failure([&] { TestTarget::render(bad, TestTargetVariant::deviceRGB(), pdf); }, &message),
                  TestTargetErrorCode::invalidPage);
        EXPECT_EQ(message, "테스트 타깃을 놓을 페이지 크기가 올바르지 않습니다: " + bad.name);
    }

    // A failure after writing began: the finished file cannot take the place of a folder.
    std::filesystem::create_directory(folder / "taken.pdf");
    EXPECT_EQ(
        failure([&] { TestTarget::render(letter, TestTargetVariant::deviceRGB(), folder / "taken.pdf"); },
                &message),
        TestTargetErrorCode::cannotCreatePDF);
    EXPECT_EQ(message, "PDF를 만들지 못했습니다: " + (folder / "taken.pdf").string());
    EXPECT_EQ(
        failure([&] { TestTarget::render(letter, TestTargetVariant::deviceRGB(), folder / "no" / "x.pdf"); }),
        TestTargetErrorCode::cannotCreatePDF);

    EXPECT_EQ(TestSupport::readFile(pdf), "earlier target");
    EXPECT_EQ(TestSupport::filesIn(folder.path()),
              (std::vector<std::string>{"gray.icc", "junk.icc", "taken.pdf", "target.pdf"}));
}

TEST(TestTargetTest, PatchImageReadsBackAsSixteenBitSquares) {
    TemporaryDirectory folder;
    const auto path = folder / "patches.tif";
    const auto cells = TestTarget::writePatchImage(path, 10, 5);
    ASSERT_EQ(cells.size(), 24u);
    EXPECT_EQ(cells[0].cell, (std::array<double, 4>{0, 0, 0.2, 0.2}));
    EXPECT_EQ(cells[23], (PatchCell{"shadow", {30, 20, 40}, {0.6, 0.8, 0.2, 0.2}}));

    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    std::uint32_t width = 0, height = 0, profileSize = 0;
    std::uint16_t bits = 0, samples = 0;
    void* profile = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &profileSize, &profile);
    EXPECT_EQ(std::vector<unsigned>({width, height, bits, samples}), std::vector<unsigned>({50, 50, 16, 3}));
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(profile), profileSize), ColorSpace::sRGB().icc);
    std::vector<std::array<std::uint16_t, 3>> image(50 * 50);
    for (std::uint32_t y = 0; y < height; ++y) {
        ASSERT_EQ(TIFFReadScanline(tiff, image.data() + y * 50, y, 0), 1);
    }
    TIFFClose(tiff);

    // Every square, corner to corner, holds its colour × 257; the unused fifth square of the last row is
    // white.
    for (std::size_t i = 0; i < 25; ++i) {
        const int x0 = static_cast<int>(i % 5) * 10, y0 = static_cast<int>(i / 5) * 10;
        for (int y = y0; y < y0 + 10; ++y) {
            for (int x = x0; x < x0 + 10; ++x) {
                for (std::size_t c = 0; c < 3; ++c) {
                    const int expected = i < 24 ? cells[i].rgb[c] * 257 : 65535;
                    ASSERT_EQ(image[static_cast<std::size_t>(y * 50 + x)][c], expected) << i;
                }
            }
        }
    }
}

TEST(TestTargetTest, PatchImageRefusesUnusableGridsAndLeavesNoFile) {
    TemporaryDirectory folder;
    std::string message;
    EXPECT_EQ(failure([&] { TestTarget::writePatchImage(folder / "a.tif", 10, 0); }, &message),
              TestTargetErrorCode::invalidImageSize);
    EXPECT_EQ(message, "패치 이미지 크기가 올바르지 않습니다: columns 0");
    // No square, or 1,000,000 × 6,000,000 pixels that would not fit any classic TIFF.
    for (const int pixels : {-3, 250'000}) {
        EXPECT_EQ(failure([&] { TestTarget::writePatchImage(folder / "a.tif", pixels, 4); }),
                  TestTargetErrorCode::invalidImageSize);
    }
    EXPECT_EQ(failure([&] { TestTarget::writePatchImage(folder / "no" / "a.tif", 4, 4); }, &message),
              TestTargetErrorCode::cannotCreateImage);
    EXPECT_EQ(message, "패치 이미지를 만들지 못했습니다");
    EXPECT_TRUE(TestSupport::filesIn(folder.path()).empty());
}

TEST(TestTargetTest, ManifestJSONRequiresEveryKey) {
    TemporaryDirectory folder;
    const auto manifest = TestTarget::render(page("Small", 300, 250, std::nullopt), TestTargetVariant::sRGB(),
                                             folder / "t.pdf");
    const nlohmann::json json = TestTargetJSON::encode(manifest);
    EXPECT_EQ(TestTargetJSON::decodeManifest(nlohmann::json::parse(json.dump(2))), manifest);
    EXPECT_EQ(json["patches"][0].size(), 3u);
    for (const char* key : {"pageName", "pageWidth", "pageHeight", "variant", "patches"}) {
        nlohmann::json missing = json;
        missing.erase(key);
        EXPECT_THROW(TestTargetJSON::decodeManifest(missing), nlohmann::json::exception) << key;
    }
    nlohmann::json wrong = json;
    wrong["patches"][3]["rect"][1] = "734";
    EXPECT_THROW(TestTargetJSON::decodeManifest(wrong), nlohmann::json::exception);
}
