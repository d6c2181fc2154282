// Photos: finding them in folders, reading the unreadable ones as notices, upright list images, the
// preview that belongs to its photo, and what removing photos clears.
#include "AppTestSupport.h"
#include "QuilmPrint/model/ModelSettings.h"
#include "TestImages.h"

#include <QColor>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace AppTestSupport;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> names(const PrintModel& model) {
    std::vector<std::string> result;
    for (const PhotoItem& photo : model.photos()) {
        result.push_back(photo.url.filename().string());
    }
    return result;
}

// Which of the test picture's colours a pixel shows.
char colourAt(const QImage& image, int x, int y) {
    const QColor c = image.pixelColor(x, y);
    if (c.red() > 150 && c.green() < 100 && c.blue() < 100) {
        return 'r';
    }
    if (c.blue() > 150 && c.red() < 100 && c.green() < 100) {
        return 'b';
    }
    if (c.green() > 150 && c.red() < 100 && c.blue() < 100) {
        return 'g';
    }
    return '?';
}

} // namespace

TEST(ModelPhotosTest, FindsPhotosInNestedFoldersInAStableOrderAndNamesTheUnreadableOne) {
    Sandbox sandbox;
    const fs::path folder = sandbox.photoFolder();
    fs::create_directories(folder / "b-trip" / "day 2");
    fs::create_directories(folder / ".cache");
    TestSupport::writeFile(folder / "img10.jpg", plainJpeg(20, 10));
    TestSupport::writeFile(folder / "img2.JPG", plainJpeg(20, 10));
    TestSupport::writeFile(folder / "b-trip" / "day 2" / "beach.png",
                           TestImages::png(TestImages::solid(12, 8, {10, 20, 30})));
    TestSupport::writeFile(folder / "b-trip" / "a.tiff",
                           TestImages::tiff(TestImages::solid(8, 12, {10, 20, 30})));
    TestSupport::writeFile(folder / "c.heic", TestImages::heif(TestImages::solid(16, 16, {10, 20, 30})));
    TestSupport::writeFile(folder / "notes.txt", "not a photo");
    TestSupport::writeFile(folder / ".cache" / "hidden.jpg", plainJpeg(20, 10));
    std::string broken = plainJpeg(64, 64);
    broken.resize(broken.size() / 3);
    TestSupport::writeFile(folder / "broken.jpg", broken);

    PrintModel model(sandbox.environment());
    addAndWait(model, {folder, folder / "img2.JPG"});
    EXPECT_EQ(names(model), (std::vector<std::string>{"a.tiff", "beach.png", "c.heic", "img2.JPG",
                                                      "img10.jpg", "img2.JPG"}));
    ASSERT_TRUE(model.notice().has_value());
    EXPECT_EQ(model.notice()->text, "사진을 읽지 못했습니다: broken.jpg");
    for (const PhotoItem& photo : model.photos()) {
        EXPECT_FALSE(photo.thumbnail.isNull()) << photo.url;
    }
    EXPECT_EQ(model.photos()[1].pixelWidth, 12);
    EXPECT_EQ(model.photos()[1].pixelHeight, 8);
    // Something to look at at once: the first photo is selected.
    EXPECT_EQ(model.selectedPhotoID(), model.photos().front().id);
}

TEST(ModelPhotosTest, ListImagesAndPreviewsAreUprightForEveryOrientation) {
    Sandbox sandbox;
    std::vector<fs::path> files;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        files.push_back(sandbox.photoFolder() / ("o" + std::to_string(orientation) + ".jpg"));
        TestSupport::writeFile(files.back(), orientedJpeg(64, 32, orientation));
    }
    PrintModel model(sandbox.environment());
    addAndWait(model, files);
    ASSERT_EQ(model.photos().size(), 8u);
    for (const PhotoItem& photo : model.photos()) {
        SCOPED_TRACE(photo.url.filename().string());
        EXPECT_EQ(photo.pixelWidth, 64);
        EXPECT_EQ(photo.pixelHeight, 32);
        model.setSelectedPhotoID(photo.id);
        ASSERT_TRUE(waitFor([&] { return !model.previewImage().isNull(); }));
        for (const QImage& image : {photo.thumbnail, model.previewImage()}) {
            ASSERT_EQ(image.size(), QSize(64, 32));
            EXPECT_EQ(colourAt(image, 6, 6), 'r');
            EXPECT_EQ(colourAt(image, 57, 25), 'b');
            EXPECT_EQ(colourAt(image, 57, 6), 'g');
            EXPECT_EQ(colourAt(image, 6, 25), 'g');
        }
    }
}

TEST(ModelPhotosTest, APreviewIsNeverShownForAnotherPhoto) {
    Sandbox sandbox;
    const fs::path red = sandbox.photoFolder() / "red.jpg";
    const fs::path blue = sandbox.photoFolder() / "blue.jpg";
    TestSupport::writeFile(red, plainJpeg(3400, 2000, 220, 30, 30));
    TestSupport::writeFile(blue, plainJpeg(3400, 2000, 30, 30, 220));
    PrintModel model(sandbox.environment());
    addAndWait(model, {red, blue});
    const PhotoItem first = model.photos()[0];
    const PhotoItem second = model.photos()[1];
    ASSERT_TRUE(waitFor([&] { return !model.previewImage().isNull(); }));
    EXPECT_EQ(model.previewPhotoID(), first.id);
    EXPECT_EQ(model.previewImage().width(), 2800); // the smallest preview, within the photo's 3400

    // Switching photos: nothing until the new photo's own pixels are there, even while the first one's
    // larger preview is still being decoded.
    model.requestPreviewDetail(3400);
    model.setSelectedPhotoID(second.id);
    EXPECT_TRUE(model.previewImage().isNull());
    ASSERT_TRUE(waitFor([&] { return !model.previewImage().isNull(); }));
    EXPECT_EQ(model.previewPhotoID(), second.id);
    EXPECT_EQ(colourAt(model.previewImage(), 10, 10), 'b');
    EXPECT_EQ(model.previewImage().width(), 3400); // the last request counts for the next photo too
}

TEST(ModelPhotosTest, RemovingPhotosClearsTheirOffsetsSelectionPreviewAndKeepsTheGridPageInRange) {
    REQUIRE_PRINT_SERVER(server);
    Sandbox sandbox;
    sandbox.settings()->setValue(ModelSettings::printer, p900Queue);
    PrintModel model(sandbox.environment());
    startAndWait(model);
    model.setPhotosPerSheet(PhotosPerSheet::many);
    model.applyGridTemplate(GridTemplate::all()[0]); // 4×6 cells: two on an A4 sheet
    const int perPage = static_cast<int>(model.gridPlan(model.prepare()).value->count());
    ASSERT_GT(perPage, 0);
    std::vector<fs::path> files;
    for (int i = 0; i < 2 * perPage + 1; ++i) {
        files.push_back(sandbox.photoFolder() / ("p" + std::to_string(i) + ".jpg"));
        TestSupport::writeFile(files.back(), plainJpeg(60, 40));
    }
    addAndWait(model, files);
    ASSERT_EQ(model.gridPages().size(), 3u);

    model.showGridPage(2);
    const PhotoItem last = model.photos().back();
    EXPECT_EQ(model.selectedPhotoID(), last.id);
    ASSERT_TRUE(waitFor([&] { return !model.previewImage().isNull(); }));
    model.setOffset({5, 5}, last);
    model.removePhoto(last);
    EXPECT_FALSE(model.offsets().contains(last.id));
    EXPECT_EQ(model.selectedPhotoID(), std::nullopt);
    EXPECT_TRUE(model.previewImage().isNull());
    EXPECT_EQ(model.previewPhotoID(), std::nullopt);
    EXPECT_EQ(model.gridPages().size(), 2u);
    EXPECT_EQ(model.gridPageIndex(), 1);

    model.removeAllPhotos();
    EXPECT_EQ(model.gridPageIndex(), 0);
    EXPECT_TRUE(model.offsets().isEmpty());
}

TEST(ModelPhotosTest, EmptyingTheListDropsALoadUnderWay) {
    Sandbox sandbox;
    std::vector<fs::path> files;
    for (int i = 0; i < 64; ++i) {
        files.push_back(sandbox.photoFolder() / ("p" + std::to_string(i) + ".jpg"));
        TestSupport::writeFile(files.back(), plainJpeg(600, 400));
    }
    PrintModel model(sandbox.environment());
    model.addPhotos(files);
    ASSERT_TRUE(waitFor([&] { return !model.photos().empty(); }));
    model.removeAllPhotos();
    EXPECT_FALSE(model.isLoadingPhotos());
    waitFor([] { return false; }, 500);
    EXPECT_TRUE(model.photos().empty());
}
