#include "PrintKit/support/FileIO.h"

#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <system_error>

using namespace PrintKit;
namespace fs = std::filesystem;

namespace {

std::size_t entries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

TEST(FileIOTest, AtomicWriteReplacesAndLeavesNoTemporaryFile) {
    TestSupport::TemporaryDirectory dir;
    fs::path target = dir / "recipe.json";
    FileIO::writeFileAtomically(target, "first");
    FileIO::writeFileAtomically(target, "second, longer");
    EXPECT_EQ(FileIO::readFile(target), "second, longer");
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(FileIOTest, FailedReplacementKeepsTheOldContent) {
    TestSupport::TemporaryDirectory dir;
    // A folder where the file should go: the rename must fail, as a full disk or a crash would.
    fs::path target = dir / "blocked.json";
    fs::create_directory(target);
    TestSupport::writeFile(target / "inside", "old");
    EXPECT_THROW(FileIO::writeFileAtomically(target, "new"), std::system_error);
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(TestSupport::readFile(target / "inside"), "old");
    EXPECT_EQ(entries(dir.path()), 1u); // no temporary file left behind
}

TEST(FileIOTest, UncommittedFileNeverAppears) {
    TestSupport::TemporaryDirectory dir;
    fs::path target = dir / "out.pdf";
    TestSupport::writeFile(target, "earlier print");
    {
        FileIO::AtomicFile file(target);
        file.write("half a sheet");
        EXPECT_TRUE(fs::exists(file.temporaryPath()));
        EXPECT_EQ(file.temporaryPath().filename().string().rfind("QuilmPrint-", 0), 0u);
    }
    EXPECT_EQ(TestSupport::readFile(target), "earlier print");
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(FileIOTest, MissingFoldersAndFilesAndOversizedFilesAreErrors) {
    TestSupport::TemporaryDirectory dir;
    EXPECT_THROW(FileIO::writeFileAtomically(dir / "no/such/folder.json", "x"), std::system_error);
    EXPECT_THROW(FileIO::readFile(dir / "absent"), std::system_error);
    EXPECT_THROW(FileIO::readFile(dir.path()), std::system_error);
    TestSupport::writeFile(dir / "big", std::string(1000, 'x'));
    EXPECT_EQ(FileIO::readFile(dir / "big", 1000).size(), 1000u);
    EXPECT_THROW(FileIO::readFile(dir / "big", 999), std::system_error);
}
