#include "PrintKit/printers/QueueKind.h"

#include <gtest/gtest.h>

using namespace PrintKit;

namespace {

PPDFile ppdWith(std::map<std::string, std::string> attributes, std::string nickName = "Some Printer") {
    PPDFile ppd;
    ppd.attributes = std::move(attributes);
    ppd.nickName = ppd.modelName = std::move(nickName);
    return ppd;
}

TEST(QueueKindTest, TellsTheDriverFromThePPDElseFromTheModelName) {
    const PPDFile epson = ppdWith({{"EPIJDriverSystem", "InkjetPrinter2"}}, "EPSON SC-P900");
    const PPDFile epsonPostScript = ppdWith({{"Manufacturer", "EPSON"}}, "EPSON SC-P900 PostScript");
    // The PPD files that CUPS, cups-filters and macOS generate for driverless printers.
    const PPDFile everywhere =
        ppdWith({{"PCFileName", "ippeve.ppd"}}, "Brother HL-L8360CDW - IPP Everywhere");
    const PPDFile ippeveOnly = ppdWith({{"PCFileName", "ippeve.ppd"}});
    const PPDFile filters = ppdWith({}, "HP Color LaserJet, driverless, cups-filters 1.28.17");
    const PPDFile airPrint = ppdWith({{"APAirPrint", "True"}});
    const PPDFile office = ppdWith({{"PCFileName", "HPLJ400.PPD"}, {"APAirPrint", "False"}});

    const struct {
        const char* makeAndModel;
        const PPDFile* ppd;
        QueueKind kind;
    } cases[] = {
        {"EPSON SC-P900", &epson, QueueKind::epson},
        {"EPSON SC-P900 - AirPrint", &epson, QueueKind::epson}, // the driver decides, not the name
        {"EPSON SC-P900 PostScript", &epsonPostScript, QueueKind::other},
        {"EPSON SC-P900", nullptr, QueueKind::other},
        {"HP LaserJet 400", &everywhere, QueueKind::airPrint},
        {"HP LaserJet 400", &ippeveOnly, QueueKind::airPrint},
        {"HP LaserJet 400", &filters, QueueKind::airPrint},
        {"HP LaserJet 400", &airPrint, QueueKind::airPrint},
        {"Canon G600 series - AirPrint", nullptr, QueueKind::airPrint},
        {"HP OfficeJet - IPP Everywhere", nullptr, QueueKind::airPrint},
        {"HP LaserJet 400", &office, QueueKind::other},
        {"", nullptr, QueueKind::other},
    };
    for (const auto& test : cases) {
        const PrinterQueue queue{"Queue", false, test.makeAndModel, "socket://10.0.0.9"};
        EXPECT_EQ(queueKind(queue, test.ppd), test.kind)
            << test.makeAndModel << " / " << (test.ppd ? test.ppd->nickName : "no PPD");
    }
}

} // namespace
