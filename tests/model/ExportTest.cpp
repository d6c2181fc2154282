// Exported sheets: named after their photo, never replacing a file, written whole or not at all.
#include "QuilmPrint/model/PDFExport.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using TestSupport::readFile;
using TestSupport::writeFile;

TEST(ExportTest, NamesCountUpPastFilesThatAreThere) {
    TestSupport::TemporaryDirectory folder;
    writeFile(folder / "IMG_1.pdf", "mine");
    writeFile(folder / "IMG_1 (2).pdf", "mine too");
    const std::string contents[] = {"first", "second", "third"};
    std::vector<std::string> names;
    for (const std::string& content : contents) {
        writeFile(folder / "QuilmPrint-rendered.pdf", content);
        names.push_back(PDFExport::place(folder / "QuilmPrint-rendered.pdf", folder.path(), "IMG_1")
                            .filename()
                            .string());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"IMG_1 (3).pdf", "IMG_1 (4).pdf", "IMG_1 (5).pdf"}));
    EXPECT_EQ(readFile(folder / "IMG_1.pdf"), "mine");
    EXPECT_EQ(readFile(folder / "IMG_1 (2).pdf"), "mine too");
    EXPECT_EQ(readFile(folder / "IMG_1 (4).pdf"), "second");
    EXPECT_FALSE(std::filesystem::exists(folder / "QuilmPrint-rendered.pdf"));
    EXPECT_EQ(PDFExport::fileName("페이지 1", 1), "페이지 1.pdf");
}
