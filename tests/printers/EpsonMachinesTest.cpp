// The catalogue: markets chosen by region, sales names with their fallbacks, and which model texts name
// which machine.
#include "PrintKit/printers/EpsonMachines.h"

#include <gtest/gtest.h>

using namespace PrintKit;

namespace {

struct RegionCase {
    std::optional<std::string> region;
    EpsonMarket market;
    std::string page;
    std::string p900;
    std::string et8550;
};

TEST(EpsonMachinesTest, RegionsChooseMarketNamesAndSupportPages) {
    const EpsonMachine& p900 = EpsonMachines::all()[0];
    const EpsonMachine& et8550 = EpsonMachines::all()[2];
    const std::vector<RegionCase> cases{
        {"JP", EpsonMarket::japan, "https://www.epson.jp/support/", "SC-P900", "ET-8550"},
        {"BR", EpsonMarket::latinAmerica, "https://epson.com.br/sl/s", "SureColor P900", "ET-8550"},
        {"mx", EpsonMarket::latinAmerica, "https://latin.epson.com/sl/s", "SureColor P900", "ET-8550"},
        {"KR", EpsonMarket::asia, "https://www.epson.com.sg/Support/sl/s", "SC-P900", "ET-8550"},
        {"US", EpsonMarket::northAmerica, "https://epson.com/Support/sl/s", "SureColor P900",
         "EcoTank Photo ET-8550"},
        {std::nullopt, EpsonMarket::other, "https://epson.com/Support/sl/s", "SC-P900", "ET-8550"},
        {"zz", EpsonMarket::other, "https://epson.com/Support/sl/s", "SC-P900", "ET-8550"},
    };
    for (const RegionCase& c : cases) {
        SCOPED_TRACE(c.region.value_or("none"));
        EXPECT_EQ(EpsonMarkets::of(c.region), c.market);
        EXPECT_EQ(EpsonMarkets::supportPage(c.region), c.page);
        EXPECT_EQ(p900.name(c.market), c.p900);
        EXPECT_EQ(et8550.name(c.market), c.et8550);
    }
    // A machine without any name for the market or for other falls back to its bundle.
    EXPECT_EQ((EpsonMachine{"X-1 Series", {{EpsonMarket::japan, "X-1"}}, {}, ""}).name(EpsonMarket::asia),
              "X-1 Series");
}

TEST(EpsonMachinesTest, ModelTextsNameTheirMachineOnly) {
    std::vector<std::string> bundles;
    for (const EpsonMachine& machine : EpsonMachines::all()) {
        bundles.push_back(machine.bundle);
    }
    EXPECT_EQ(bundles, (std::vector<std::string>{"SC-P900 Series", "SC-P700 Series", "ET-8550 Series",
                                                 "ET-8500 Series"}));
    const std::vector<std::pair<std::string, std::string>> cases{
        {"EPSON SC-P900 Series", "SC-P900 Series"},
        {"epson sc-p700", "SC-P700 Series"},
        {"SureColor P900", "SC-P900 Series"},
        {"EPSON EcoTank Photo ET-8550", "ET-8550 Series"},
        {"EPSON ET-8500 Series", "ET-8500 Series"},
        {"SC P 900 series", "SC-P900 Series"},
        {"EPSON SC-P9000 Series", ""},
        {"EPSON ET-85500", ""},
        {"EPSON", ""},
        {"", ""},
    };
    for (const auto& [model, bundle] : cases) {
        const EpsonMachine* machine = EpsonMachines::forModel(model);
        EXPECT_EQ(machine ? machine->bundle : "", bundle) << model;
    }
}

} // namespace
