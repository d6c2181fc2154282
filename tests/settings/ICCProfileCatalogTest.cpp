#include "PrintKit/settings/ICCProfileCatalog.h"

#include "TestProfiles.h"
#include "TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace PrintKit;
using TestProfiles::Kind;
namespace fs = std::filesystem;

namespace {

void put(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    TestSupport::writeFile(file, bytes);
}

std::vector<std::string> relative(const std::vector<fs::path>& files, const fs::path& base) {
    std::vector<std::string> out;
    for (const auto& file : files) {
        out.push_back(file.lexically_relative(base).string());
    }
    return out;
}

std::vector<std::string> paths(const std::vector<ICCProfileInfo>& profiles) {
    std::vector<std::string> out;
    for (const auto& profile : profiles) {
        out.push_back(profile.path);
    }
    return out;
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(ICCProfileCatalogTest, FindsProfileNamesAtAnyDepthSkippingHiddenItems) {
    TestSupport::TemporaryDirectory root;
    const std::string any = "not read here";
    put(root / "Epson/Papers/Photo.ICM", any);
    put(root / "Matte.icc", any);
    put(root / "Notes.txt", any);
    put(root / "icc", any);
    put(root / ".Photo.icc", any);
    put(root / ".hidden/Photo.icc", any);
    put(root / "Vendor.icc/inner.icm", any);        // a folder with a profile's name is entered and kept
    fs::create_symlink(root.path(), root / "Loop"); // links to folders are not followed
    fs::create_symlink(root / "Matte.icc", root / "Link.icc");

    EXPECT_EQ(relative(ICCProfileCatalog::profileFiles(root.path()), root.path()),
              (std::vector<std::string>{"Epson/Papers/Photo.ICM", "Link.icc", "Matte.icc", "Vendor.icc",
                                        "Vendor.icc/inner.icm"}));
    EXPECT_TRUE(ICCProfileCatalog::profileFiles(root / "missing").empty());
}

TEST(ICCProfileCatalogTest, SortsByCodePointsOfComposedNames) {
    TestSupport::TemporaryDirectory root;
    // Upper case before lower case; a decomposed ä sorts as the composed one (after b), not by its
    // leading plain a.
    for (const char* name : {"b.icc", "a\xCC\x88.icc", "Z.icc", "a.icc"}) {
        put(root / name, "x");
    }
    EXPECT_EQ(relative(ICCProfileCatalog::profileFiles(root.path()), root.path()),
              (std::vector<std::string>{"Z.icc", "a.icc", "b.icc", "a\xCC\x88.icc"}));
}

TEST(ICCProfileCatalogTest, ListsEachRGBPrinterProfileOnceFirstCopyWinning) {
    TestSupport::TemporaryDirectory root;
    const fs::path user = root / "user";
    const fs::path system = root / "system";
    const std::string glossy = TestProfiles::make(Kind::rgbPrinter, 2.1, L"Glossy");
    const std::string matte = TestProfiles::make(Kind::rgbPrinter, 4.3, L"Matte");
    const std::string luster = TestProfiles::make(Kind::rgbPrinter, 4.3, L"Luster");
    const std::string fromPPD = TestProfiles::make(Kind::rgbPrinter, 2.1, L"Driver Paper");
    put(user / "b/Glossy copy.icc", glossy);
    put(user / "a/Glossy.icc", glossy); // sorts first, so this copy is listed
    put(user / "Monitor.icc", TestProfiles::make(Kind::rgbDisplay, 4.3, L"Monitor"));
    put(user / "Press.icc", TestProfiles::make(Kind::cmykPrinter, 4.3, L"Press"));
    put(user / "Broken.icc", glossy.substr(0, glossy.size() / 2));
    put(system / "Matte.icc", matte);
    put(system / "Glossy.icc", glossy); // also in the user's folder
    put(system / "Luster.icm", luster);
    put(root / "ppd/driver.dat", fromPPD);
    put(root / "ppd/luster-again.icc", luster);
    ASSERT_EQ(::mkfifo((user / "Pipe.icc").c_str(), 0600), 0); // must neither hang nor count

    auto profiles = ICCProfileCatalog::printerProfiles({user, root / "missing", system},
                                                       {(root / "ppd/luster-again.icc").string(),
                                                        (root / "ppd/gone.icc").string(),
                                                        (root / "ppd/driver.dat").string()});
    EXPECT_EQ(paths(profiles), (std::vector<std::string>{
                                   (user / "a/Glossy.icc").string(), (system / "Luster.icm").string(),
                                   (system / "Matte.icc").string(), (root / "ppd/driver.dat").string()}));
    ASSERT_EQ(profiles.size(), 4u);
    EXPECT_EQ(profiles[0].description, "Glossy");
    EXPECT_EQ(profiles[3].description, "Driver Paper");

    EXPECT_TRUE(ICCProfileCatalog::printerProfiles({root / "empty1", root / "empty2"}, {}).empty());
}

TEST(ICCProfileCatalogTest, ExtraPathsAreRecordedAbsolute) {
    TestSupport::TemporaryDirectory root;
    put(root / "Paper.icc", TestProfiles::make(Kind::rgbPrinter, 2.1, L"Paper"));
    const fs::path before = fs::current_path();
    fs::current_path(root.path());
    auto profiles = ICCProfileCatalog::printerProfiles({}, {"Paper.icc"});
    fs::current_path(before);
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0].path, (root / "Paper.icc").string());
}

TEST(ICCProfileCatalogTest, PPDProfileNamesResolveLikeCUPS) {
    ScopedEnvironment data("CUPS_DATADIR", "/opt/cups-data");
    PPDFile ppd;
    ppd.colorProfiles = {{"RGB.Glossy.720dpi", "Glossy", "/Library/Printers/EPSON/Glossy.icc"},
                         {"RGB.Matte.720dpi", "Matte", "Epson/Matte.icc"}};
    EXPECT_EQ(ICCProfileCatalog::ppdProfilePaths(ppd),
              (std::vector<std::string>{"/Library/Printers/EPSON/Glossy.icc",
                                        "/opt/cups-data/profiles/Epson/Matte.icc"}));
}

#if !defined(__APPLE__)
TEST(ICCProfileCatalogTest, StandardFoldersPutTheUsersFirst) {
    ScopedEnvironment home("HOME", "/home/someone");
    {
        ScopedEnvironment data("XDG_DATA_HOME", "/data/someone");
        EXPECT_EQ(ICCProfileCatalog::standardDirectories(),
                  (std::vector<fs::path>{"/data/someone/icc", "/home/someone/.color/icc",
                                         "/usr/local/share/color/icc", "/usr/share/color/icc",
                                         "/var/lib/colord/icc"}));
    }
    // Unset or relative: the default below the home folder.
    ScopedEnvironment data("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(ICCProfileCatalog::standardDirectories().front(), fs::path("/home/someone/.local/share/icc"));
}
#endif
