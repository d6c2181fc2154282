#include "PrintKit/settings/OptionResolver.h"

#include "PPDFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace PrintKit;
using TestSupport::expectFailure;
using Settings = OptionResolver::Settings;
using PPDFixture::listed;

namespace {

PPDFile parse(const std::string& lines) {
    return PPDFile::parse("*PPD-Adobe: \"4.3\"\n" + lines, "t", std::nullopt);
}

std::string resolved(const PPDFile& ppd, const Settings& settings, ColorPolicy policy = ColorPolicy::driver,
                     const std::set<std::string, std::less<>>& leftOut = {}) {
    return listed(OptionResolver::resolve(ppd, settings, policy, leftOut));
}

} // namespace

TEST(OptionResolverTest, SendsOptionsInOrderDependencyOrderAndTheRestInByteOrder) {
    // Two ordered options, one without an order, a hardware option, one without a default, one without
    // choices.
    const PPDFile ppd =
        parse("*OpenGroup: InstallableOptions/Installed\n*OpenUI *Unit: Boolean\n*DefaultUnit: False\n"
              "*Unit False: \"\"\n*Unit True: \"\"\n*CloseGroup: InstallableOptions\n"
              "*OpenUI *Late: PickOne\n*OrderDependency: 10 AnySetup *Late\n*DefaultLate: L1\n"
              "*Late L1: \"\"\n*Late L2: \"\"\n*OpenUI *Free: PickOne\n*DefaultFree: F1\n*Free F1: \"\"\n"
              "*OpenUI *Early: PickOne\n*OrderDependency: 5 AnySetup *Early\n*DefaultEarly: E1\n"
              "*Early E1: \"\"\n*Early E2: \"\"\n*OpenUI *Same: PickOne\n*OrderDependency: 10 AnySetup "
              "*Same\n*DefaultSame: S1\n*Same S1: \"\"\n*OpenUI *NoDefault: PickOne\n*NoDefault N1: "
              "\"\"\n*OpenUI *Open: PickOne\n*DefaultOpen: anything\n");
    EXPECT_EQ(resolved(ppd, {}), "Early=E1 Late=L1 Same=S1 Free=F1 Open=anything "
                                 "AP_ColorMatchingMode=AP_VendorColorMatching");
    // Settings replace defaults; a hardware option's setting is unchecked and goes with the unknown ones.
    EXPECT_EQ(
        resolved(ppd,
                 {{"Late", "L2"}, {"b", "1"}, {"B", "2"}, {"a", "3"}, {"Unit", "True"}, {"NoDefault", "N1"}}),
        "Early=E1 Late=L2 Same=S1 Free=F1 NoDefault=N1 Open=anything "
        "AP_ColorMatchingMode=AP_VendorColorMatching B=2 Unit=True a=3 b=1");
    // Left-out options are neither sent nor left over.
    EXPECT_EQ(resolved(ppd, {{"Late", "L2"}, {"Other", "x"}}, ColorPolicy::driver, {"Late", "Free", "Unit"}),
              "Early=E1 Same=S1 Open=anything AP_ColorMatchingMode=AP_VendorColorMatching Other=x");
    // A colour matching option of the PPD is checked and ordered like the others.
    const PPDFile matching =
        parse("*OpenUI *AP_ColorMatchingMode: PickOne\n*OrderDependency: 1 AnySetup "
              "*AP_ColorMatchingMode\n*AP_ColorMatchingMode AP_ApplicationColorMatching: \"\"\n"
              "*OpenUI *Other: PickOne\n*DefaultOther: x\n*Other x: \"\"\n");
    EXPECT_EQ(resolved(matching, {}, ColorPolicy::app),
              "AP_ColorMatchingMode=AP_ApplicationColorMatching Other=x");
    EXPECT_THROW(resolved(matching, {}), OptionResolverError);
}

TEST(OptionResolverTest, MirrorsMediaAndPageOnlyIntoOfferedChoicesAndNeverChecksACustomPage) {
    auto ppd = PPDFixture::load();
    Settings offered{{"EPIJ_Medi", "PGPP"}}, notOffered{{"EPIJ_Medi", "VELV"}},
        alreadySet{{"EPIJ_Medi", "PGPP"}, {"MediaType", "PLAIN"}};
    for (Settings* settings : {&offered, &notOffered, &alreadySet}) {
        OptionResolver::mirror(*settings, "EPIJ_Medi", "MediaType", ppd);
    }
    EXPECT_EQ(offered.at("MediaType"), "PGPP");
    EXPECT_FALSE(notOffered.contains("MediaType"));
    EXPECT_EQ(alreadySet.at("MediaType"), "PLAIN");
    EXPECT_EQ(OptionResolver::resolve(ppd, {{"PageSize", "A4.Rear"}}, ColorPolicy::driver, {})[2],
              (PrintOption{"PageRegion", "A4.Rear"}));
    // The custom page is not mirrored (PageRegion has no such choice: its default goes).
    auto options =
        OptionResolver::resolve(ppd, {{"PageSize", "Custom.300.00x400.00"}}, ColorPolicy::driver, {});
    EXPECT_EQ(options[1], (PrintOption{"PageSize", "Custom.300.00x400.00"}));
    EXPECT_EQ(options[2], (PrintOption{"PageRegion", "A4"}));
    for (const Settings& unchecked :
         {Settings{{"PageRegion", "Custom.1x1"}}, Settings{{"PageSize", "custom.1x1"}}}) {
        EXPECT_THROW(resolved(ppd, unchecked), OptionResolverError);
    }
}

TEST(OptionResolverTest, TheApplicationPolicyTurnsTheDriverAdjustmentOffUnlessTheCallerSetIt) {
    auto ppd = parse("*OpenUI *EPIJ_CMat: PickOne\n*DefaultEPIJ_CMat: C\n*EPIJ_CMat C/Color Controls: \"\"\n"
                     "*EPIJ_CMat O/Off (No Color Adjustment): \"\"\n*EPIJ_CMat I/ICM: \"\"\n");
    auto contains = parse("*OpenUI *EPIJ_CMat: PickOne\n*EPIJ_CMat C/Color Controls: \"\"\n"
                          "*EPIJ_CMat N/Driver - NO COLOR ADJUSTMENT: \"\"\n*EPIJ_CMat O/OFF: \"\"\n");
    const Settings mine{{"AP_ColorMatchingMode", "Mine"}, {"EPIJ_CMat", "I"}};
    for (auto [on, before, after] :
         {std::tuple{&ppd, Settings{},
                     Settings{{"AP_ColorMatchingMode", "AP_ApplicationColorMatching"}, {"EPIJ_CMat", "O"}}},
          std::tuple{&contains, Settings{},
                     Settings{{"AP_ColorMatchingMode", "AP_ApplicationColorMatching"}, {"EPIJ_CMat", "N"}}},
          std::tuple{&ppd, mine, mine}}) {
        OptionResolver::apply(ColorPolicy::app, before, *on);
        EXPECT_EQ(before, after);
    }
    // Options also travel as JSON records of their own.
    EXPECT_EQ(nlohmann::json(PrintOption{"PageSize", "A4"}),
              nlohmann::json::parse(R"({"key":"PageSize","value":"A4"})"));
    EXPECT_THROW(nlohmann::json::parse(R"({"key":"a","value":1})").get<PrintOption>(),
                 nlohmann::json::type_error);
}
