#include "PrintKit/support/FileIO.h"

#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <system_error>

using namespace PrintKit;
namespace fs = std::filesystem;

TEST(FileIOTest, AtomicWritesReplaceTheWholeFileOrLeaveTheOldOneAndNoTemporaryFile) {
    TestSupport::TemporaryDirectory dir;
    const fs::path target = dir / "recipe.json";
    FileIO::writeFileAtomically(target, "first, longer");
    FileIO::writeFileAtomically(target, "second");
    {
        FileIO::AtomicFile file(target); // never committed
        file.write("half a sheet");
        EXPECT_EQ(file.temporaryPath().filename().string().rfind("QuilmPrint-", 0), 0u);
    }
    EXPECT_EQ(FileIO::readFile(target), "second");
    // A folder where the file should go: the rename fails, as a full disk or a crash would.
    fs::create_directory(dir / "blocked.json");
    EXPECT_THROW(FileIO::writeFileAtomically(dir / "blocked.json", "new"), std::system_error);
    EXPECT_THROW(FileIO::writeFileAtomically(dir / "no/such/folder.json", "x"), std::system_error);
    EXPECT_TRUE(fs::is_empty(dir / "blocked.json"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(FileIOTest, ReadsOnlyRegularFilesUpToTheirLimit) {
    TestSupport::TemporaryDirectory dir;
    TestSupport::writeFile(dir / "big", std::string(1000, 'x'));
    EXPECT_EQ(FileIO::readFile(dir / "big", 1000).size(), 1000u);
    EXPECT_THROW(FileIO::readFile(dir / "big", 999), std::system_error);
    EXPECT_THROW(FileIO::readFile(dir / "absent"), std::system_error);
    EXPECT_THROW(FileIO::readFile(dir.path()), std::system_error);
}
