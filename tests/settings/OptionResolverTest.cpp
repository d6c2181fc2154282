#include "PrintKit/settings/OptionResolver.h"

#include "PPDFixture.h"
#include "Thrown.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unordered_set>

using namespace PrintKit;
using Options = std::vector<PrintOption>;
using Settings = OptionResolver::Settings;
using PPDFixture::listed;

namespace {

PPDFile parse(const std::string& lines) {
    return PPDFile::parse("*PPD-Adobe: \"4.3\"\n" + lines, "t", std::nullopt);
}

// Two ordered options, one without an order, a hardware option, and the media and colour options.
const PPDFile smallPPD =
    parse("*OpenGroup: InstallableOptions/Installed\n"
          "*OpenUI *Unit: Boolean\n*DefaultUnit: False\n*Unit False: \"\"\n*Unit True: \"\"\n"
          "*CloseGroup: InstallableOptions\n"
          "*OpenUI *Late: PickOne\n*OrderDependency: 10 AnySetup *Late\n*DefaultLate: L1\n"
          "*Late L1: \"\"\n*Late L2: \"\"\n"
          "*OpenUI *Free: PickOne\n*DefaultFree: F1\n*Free F1: \"\"\n"
          "*OpenUI *Early: PickOne\n*OrderDependency: 5 AnySetup *Early\n*DefaultEarly: E1\n"
          "*Early E1: \"\"\n*Early E2: \"\"\n"
          "*OpenUI *Same: PickOne\n*OrderDependency: 10 AnySetup *Same\n*DefaultSame: S1\n"
          "*Same S1: \"\"\n"
          "*OpenUI *NoDefault: PickOne\n*NoDefault N1: \"\"\n"
          "*OpenUI *Open: PickOne\n*DefaultOpen: anything\n");

} // namespace

TEST(OptionResolverTest, SendsOptionsInOrderDependencyOrderAndTheRestInByteOrder) {
    // Early (5) before Late and Same (10, in PPD order); Free has no order and follows; NoDefault is not
    // sent without a setting; the hardware option is not sent; an option without choices takes any value.
    EXPECT_EQ(listed(OptionResolver::resolve(smallPPD, {}, ColorPolicy::driver, {})),
              "Early=E1 Late=L1 Same=S1 Free=F1 Open=anything AP_ColorMatchingMode=AP_VendorColorMatching");
    // Settings replace defaults; a hardware option's setting is unchecked and goes with the unknown ones.
    Settings settings{{"Late", "L2"}, {"b", "1"},       {"B", "2"},
                      {"a", "3"},     {"Unit", "True"}, {"NoDefault", "N1"}};
    EXPECT_EQ(listed(OptionResolver::resolve(smallPPD, settings, ColorPolicy::driver, {})),
              "Early=E1 Late=L2 Same=S1 Free=F1 NoDefault=N1 Open=anything "
              "AP_ColorMatchingMode=AP_VendorColorMatching B=2 Unit=True a=3 b=1");
    // Left-out options are neither sent nor left over.
    EXPECT_EQ(listed(OptionResolver::resolve(smallPPD, {{"Late", "L2"}, {"Other", "x"}}, ColorPolicy::driver,
                                             {"Late", "Free", "Unit"})),
              "Early=E1 Same=S1 Open=anything AP_ColorMatchingMode=AP_VendorColorMatching Other=x");
}

TEST(OptionResolverTest, RefusesAValueThatIsNoChoice) {
    auto error = thrown<OptionResolverError>([] {
        OptionResolver::resolve(PPDFixture::load(), {{"EPIJ_Medi", "GLOSSY"}, {"EPIJ_Qual", "999"}},
                                ColorPolicy::app, {});
    });
    // The first offending option in PPD order is reported, with all its choice keys.
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), OptionResolverErrorCode::unknownChoice);
    EXPECT_EQ(error->option(), "EPIJ_Medi");
    EXPECT_EQ(error->choice(), "GLOSSY");
    EXPECT_EQ(error->available(), (std::vector<std::string>{"PLAIN", "PGPP", "PLPP", "VELV"}));
    EXPECT_EQ(error->message(), "EPIJ_Medi에는 GLOSSY 값이 없습니다. 가능한 값: PLAIN, PGPP, PLPP, VELV");
    // A default that names no choice is refused too: the driver would not know it either.
    auto ppd = parse("*OpenUI *Opt: PickOne\n*DefaultOpt: gone\n*Opt one: \"\"\n");
    expectFailure<OptionResolverError>([&] { OptionResolver::resolve(ppd, {}, ColorPolicy::driver, {}); },
                                       OptionResolverErrorCode::unknownChoice,
                                       "Opt에는 gone 값이 없습니다. 가능한 값: one");
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
        EXPECT_THROW(OptionResolver::resolve(ppd, unchecked, ColorPolicy::driver, {}), OptionResolverError);
    }
}

TEST(OptionResolverTest, TheApplicationPolicyTurnsTheDriverAdjustmentOff) {
    auto ppd = parse("*OpenUI *EPIJ_CMat: PickOne\n*DefaultEPIJ_CMat: C\n*EPIJ_CMat C/Color Controls: \"\"\n"
                     "*EPIJ_CMat O/Off (No Color Adjustment): \"\"\n*EPIJ_CMat I/ICM: \"\"\n");
    Settings settings;
    OptionResolver::apply(ColorPolicy::app, settings, ppd);
    EXPECT_EQ(settings,
              (Settings{{"AP_ColorMatchingMode", "AP_ApplicationColorMatching"}, {"EPIJ_CMat", "O"}}));

    auto contains = parse("*OpenUI *EPIJ_CMat: PickOne\n*EPIJ_CMat C/Color Controls: \"\"\n"
                          "*EPIJ_CMat N/Driver - NO COLOR ADJUSTMENT: \"\"\n*EPIJ_CMat O/OFF: \"\"\n");
    settings.clear();
    OptionResolver::apply(ColorPolicy::app, settings, contains);
    EXPECT_EQ(settings.at("EPIJ_CMat"), "N");

    // What the caller already set wins.
    settings = {{"AP_ColorMatchingMode", "Mine"}, {"EPIJ_CMat", "I"}};
    OptionResolver::apply(ColorPolicy::app, settings, ppd);
    EXPECT_EQ(settings, (Settings{{"AP_ColorMatchingMode", "Mine"}, {"EPIJ_CMat", "I"}}));
}

TEST(OptionResolverTest, AColourMatchingOptionOfThePPDIsCheckedAndOrdered) {
    auto ppd =
        parse("*OpenUI *AP_ColorMatchingMode: PickOne\n*OrderDependency: 1 AnySetup *AP_ColorMatchingMode\n"
              "*AP_ColorMatchingMode AP_ApplicationColorMatching: \"\"\n"
              "*OpenUI *Other: PickOne\n*DefaultOther: x\n*Other x: \"\"\n");
    EXPECT_EQ(listed(OptionResolver::resolve(ppd, {}, ColorPolicy::app, {})),
              "AP_ColorMatchingMode=AP_ApplicationColorMatching Other=x");
    EXPECT_THROW(OptionResolver::resolve(ppd, {}, ColorPolicy::driver, {}), OptionResolverError);
}

TEST(OptionResolverTest, PrintOptionsHashAndCode) {
    std::unordered_set<PrintOption> set{{"PageSize", "A4"}, {"PageSize", "A3"}, {"PageSize", "A4"}};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_EQ(nlohmann::json(PrintOption{"PageSize", "A4"}),
              nlohmann::json::parse(R"({"key":"PageSize","value":"A4"})"));
    EXPECT_EQ(nlohmann::json::parse(R"({"key":"a","value":"b"})").get<PrintOption>(),
              (PrintOption{"a", "b"}));
    EXPECT_THROW(nlohmann::json::parse(R"({"key":"a","value":1})").get<PrintOption>(),
                 nlohmann::json::type_error);
}
