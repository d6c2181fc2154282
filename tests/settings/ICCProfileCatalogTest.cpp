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

std::vector<std::string> below(const fs::path& base, const std::vector<fs::path>& files) {
    std::vector<std::string> out;
    for (const auto& file : files) {
        out.push_back(file.lexically_relative(base).string());
    }
    return out;
}

std::string profile(Kind kind, const wchar_t* name) {
    return TestProfiles::make(kind, 4.3, {{"en", "US", name}});
}

} // namespace

TEST(ICCProfileCatalogTest, FindsProfileNamesAtAnyDepthInCodePointOrder) {
    TestSupport::TemporaryDirectory root;
    for (const char* name : {"Epson/Papers/Photo.ICM", "b.icc", "a\xCC\x88.icc", "Z.icc", "Notes.txt", "icc",
                             ".Photo.icc", ".hidden/Photo.icc", "Vendor.icc/inner.icm"}) {
        put(root / name, "x");
    }
    fs::create_symlink(root.path(), root / "Loop"); // a link to a folder is not followed
    fs::create_symlink(root / "b.icc", root / "Link.icc");
    // Upper case first; a decomposed ä sorts as the composed one, after b; a folder with a profile's
    // name is listed (and falls out when read) and entered.
    EXPECT_EQ(below(root.path(), ICCProfileCatalog::profileFiles(root.path())),
              (std::vector<std::string>{"Epson/Papers/Photo.ICM", "Link.icc", "Vendor.icc",
                                        "Vendor.icc/inner.icm", "Z.icc", "b.icc", "a\xCC\x88.icc"}));
    EXPECT_TRUE(ICCProfileCatalog::profileFiles(root / "missing").empty());
}

TEST(ICCProfileCatalogTest, ListsEachRGBPrinterProfileOnceFirstCopyWinning) {
    TestSupport::TemporaryDirectory root;
    const fs::path user = root / "user", system = root / "system", ppd = root / "ppd";
    const std::string glossy = profile(Kind::rgbPrinter, L"Glossy");
    const std::string luster = profile(Kind::rgbPrinter, L"Luster");
    put(user / "b/Glossy copy.icc", glossy);
    put(user / "a/Glossy.icc", glossy); // its path sorts first
    put(user / "Monitor.icc", profile(Kind::rgbDisplay, L"Monitor"));
    put(user / "Press.icc", profile(Kind::cmykPrinter, L"Press"));
    put(user / "Broken.icc", glossy.substr(0, glossy.size() / 2)); // header intact: listed under its stem
    put(system / "Matte.icc", profile(Kind::rgbPrinter, L"Matte"));
    put(system / "Glossy.icc", glossy);
    put(system / "Luster.icm", luster);
    put(ppd / "driver.dat", profile(Kind::rgbPrinter, L"Driver Paper"));
    put(ppd / "luster-again.icc", luster);
    ASSERT_EQ(::mkfifo((user / "Pipe.icc").c_str(), 0600), 0); // neither hangs the scan nor counts

    auto found = ICCProfileCatalog::printerProfiles(
        {user, root / "missing", system},
        {(ppd / "luster-again.icc").string(), (ppd / "gone.icc").string(), (ppd / "driver.dat").string()});
    std::vector<std::string> listed;
    for (const auto& info : found) {
        listed.push_back(info.path + " " + info.description);
    }
    EXPECT_EQ(listed, (std::vector<std::string>{(user / "Broken.icc").string() + " Broken",
                                                (user / "a/Glossy.icc").string() + " Glossy",
                                                (system / "Luster.icm").string() + " Luster",
                                                (system / "Matte.icc").string() + " Matte",
                                                (ppd / "driver.dat").string() + " Driver Paper"}));
    EXPECT_TRUE(ICCProfileCatalog::printerProfiles({root / "empty"}, {}).empty());

    // A relative extra path is taken from the current folder and recorded whole.
    const fs::path before = fs::current_path();
    fs::current_path(system);
    found = ICCProfileCatalog::printerProfiles({}, {"Matte.icc"});
    fs::current_path(before);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path, (system / "Matte.icc").string());
}

TEST(ICCProfileCatalogTest, FoldersComeFromTheEnvironmentAndPPDNamesResolveLikeCUPS) {
    TestSupport::ScopedEnvironment home("HOME", "/home/someone"), cups("CUPS_DATADIR", "/opt/cups");
    std::optional<TestSupport::ScopedEnvironment> data(std::in_place, "XDG_DATA_HOME", "/data/someone");
    auto withData = ICCProfileCatalog::standardDirectories();
    data.emplace("XDG_DATA_HOME", "relative/data"); // invalid, so the default applies
    auto withoutData = ICCProfileCatalog::standardDirectories();
    PPDFile ppd;
    ppd.colorProfiles = {{"RGB.Glossy", "Glossy", "/Library/Glossy.icc"},
                         {"RGB.Matte", "Matte", "Epson/Matte.icc"}};
    auto named = ICCProfileCatalog::ppdProfilePaths(ppd);

#if !defined(__APPLE__)
    EXPECT_EQ(withData, (std::vector<fs::path>{"/data/someone/icc", "/home/someone/.color/icc",
                                               "/usr/local/share/color/icc", "/usr/share/color/icc",
                                               "/var/lib/colord/icc"}));
    EXPECT_EQ(withoutData.front(), fs::path("/home/someone/.local/share/icc"));
#endif
    EXPECT_EQ(named, (std::vector<std::string>{"/Library/Glossy.icc", "/opt/cups/profiles/Epson/Matte.icc"}));
}
