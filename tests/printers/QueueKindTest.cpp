#include "PrintKit/printers/QueueKind.h"

#include <gtest/gtest.h>

using namespace PrintKit;

namespace {

PPDFile ppdWith(std::map<std::string, std::string> attributes, std::string nickName = "Some Printer") {
    PPDFile ppd;
    ppd.attributes = std::move(attributes);
    ppd.nickName = nickName;
    ppd.modelName = nickName;
    return ppd;
}

const PrinterQueue plainQueue{"Office", false, "HP LaserJet 400 Postscript", "socket://10.0.0.9"};

TEST(QueueKindTest, DriverFamilyAttributeMakesAnEpsonQueue) {
    const PPDFile epson = ppdWith({{"EPIJDriverSystem", "InkjetPrinter2"}}, "EPSON SC-P900");
    EXPECT_EQ(queueKind({"P900", false, "EPSON SC-P900", "usb://EPSON"}, &epson), QueueKind::epson);
    // The driver decides, whatever the queue's model name says.
    EXPECT_EQ(queueKind({"P900", false, "EPSON SC-P900 - AirPrint", ""}, &epson), QueueKind::epson);
}

TEST(QueueKindTest, MakerNameAloneIsNotTheDriver) {
    const PPDFile generic = ppdWith({{"Manufacturer", "EPSON"}}, "EPSON SC-P900 Generic PostScript");
    EXPECT_EQ(queueKind({"P900", false, "EPSON SC-P900 Generic PostScript", ""}, &generic), QueueKind::other);
    EXPECT_EQ(queueKind({"P900", false, "EPSON SC-P900", ""}, nullptr), QueueKind::other);
}

TEST(QueueKindTest, DriverlessQueuesAreAirPrint) {
    // The PPD files that CUPS, cups-filters and macOS generate for driverless printers.
    const PPDFile everywhere =
        ppdWith({{"PCFileName", "ippeve.ppd"}}, "Brother HL-L8360CDW - IPP Everywhere");
    const PPDFile ippeveOnly = ppdWith({{"PCFileName", "ippeve.ppd"}});
    const PPDFile filters = ppdWith({}, "HP Color LaserJet, driverless, cups-filters 1.28.17");
    const PPDFile airPrint = ppdWith({{"APAirPrint", "True"}});
    for (const PPDFile* ppd : {&everywhere, &ippeveOnly, &filters, &airPrint}) {
        EXPECT_EQ(queueKind(plainQueue, ppd), QueueKind::airPrint) << ppd->nickName;
    }
    // Without a PPD, the queue's model name tells.
    EXPECT_EQ(queueKind({"Canon", false, "Canon G600 series - AirPrint", ""}, nullptr), QueueKind::airPrint);
    EXPECT_EQ(queueKind({"HP", false, "HP OfficeJet - IPP Everywhere", ""}, nullptr), QueueKind::airPrint);
}

TEST(QueueKindTest, EverythingElseIsOther) {
    const PPDFile postscript = ppdWith({{"PCFileName", "HPLJ400.PPD"}, {"APAirPrint", "False"}});
    EXPECT_EQ(queueKind(plainQueue, &postscript), QueueKind::other);
    EXPECT_EQ(queueKind(plainQueue, nullptr), QueueKind::other);
    EXPECT_EQ(queueKind(PrinterQueue{}, nullptr), QueueKind::other);
}

} // namespace
