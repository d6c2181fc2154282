#include "PrintKit/settings/OptionResolver.h"

#include "PPDFixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unordered_set>

using namespace PrintKit;
using Options = std::vector<PrintOption>;

namespace {

PPDFile parse(const std::string& lines) {
    return PPDFile::parse("*PPD-Adobe: \"4.3\"\n" + lines, "t", std::nullopt);
}

// Two ordered options, one without an order, a hardware option, and the media and colour options.
const std::string smallPPD =
    "*OpenGroup: InstallableOptions/Installed\n"
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
    "*OpenUI *Open: PickOne\n*DefaultOpen: anything\n";

} // namespace

TEST(OptionResolverTest, SendsDefaultsInOrderDependencyOrder) {
    auto options = OptionResolver::resolve(parse(smallPPD), {}, ColorPolicy::driver, {});
    // Early (5) before Late and Same (10, in PPD order); Free has no order and follows; NoDefault is not
    // sent; the hardware option is not sent; an option without choices takes any value.
    EXPECT_EQ(options, (Options{{"Early", "E1"},
                                {"Late", "L1"},
                                {"Same", "S1"},
                                {"Free", "F1"},
                                {"Open", "anything"},
                                {"AP_ColorMatchingMode", "AP_VendorColorMatching"}}));
}

TEST(OptionResolverTest, SettingsReplaceDefaultsAndUnknownKeysFollowInByteOrder) {
    OptionResolver::Settings settings{{"Late", "L2"}, {"b", "1"},       {"B", "2"},
                                      {"a", "3"},     {"Unit", "True"}, {"NoDefault", "N1"}};
    auto options = OptionResolver::resolve(parse(smallPPD), settings, ColorPolicy::driver, {});
    EXPECT_EQ(options, (Options{{"Early", "E1"},
                                {"Late", "L2"},
                                {"Same", "S1"},
                                {"Free", "F1"},
                                {"NoDefault", "N1"},
                                {"Open", "anything"},
                                {"AP_ColorMatchingMode", "AP_VendorColorMatching"},
                                {"B", "2"},
                                {"Unit", "True"}, // a hardware option's setting is unchecked and goes last
                                {"a", "3"},
                                {"b", "1"}}));
}

TEST(OptionResolverTest, LeftOutOptionsAreNeitherSentNorLeftOver) {
    auto options = OptionResolver::resolve(parse(smallPPD), {{"Late", "L2"}, {"Other", "x"}},
                                           ColorPolicy::driver, {"Late", "Free", "Unit"});
    EXPECT_EQ(options, (Options{{"Early", "E1"},
                                {"Same", "S1"},
                                {"Open", "anything"},
                                {"AP_ColorMatchingMode", "AP_VendorColorMatching"},
                                {"Other", "x"}}));
}

TEST(OptionResolverTest, RefusesAValueThatIsNoChoice) {
    try {
        OptionResolver::resolve(PPDFile::load(PPDFixture::path(), LanguageSet{"ko"}),
                                {{"EPIJ_Medi", "GLOSSY"}, {"EPIJ_Qual", "999"}}, ColorPolicy::app, {});
        FAIL() << "no error";
    } catch (const OptionResolverError& error) {
        // The first offending option in PPD order is reported, with all its choice keys.
        EXPECT_EQ(error.code(), OptionResolverErrorCode::unknownChoice);
        EXPECT_EQ(error.option(), "EPIJ_Medi");
        EXPECT_EQ(error.choice(), "GLOSSY");
        EXPECT_EQ(error.available(), (std::vector<std::string>{"PLAIN", "PGPP", "PLPP", "VELV"}));
        EXPECT_EQ(std::string(error.what()),
                  "EPIJ_Medi에는 GLOSSY 값이 없습니다. 가능한 값: PLAIN, PGPP, PLPP, VELV");
    }
    // A default that names no choice is refused too: the driver would not know it either.
    auto ppd = parse("*OpenUI *Opt: PickOne\n*DefaultOpt: gone\n*Opt one: \"\"\n");
    try {
        OptionResolver::resolve(ppd, {}, ColorPolicy::driver, {});
        FAIL() << "no error";
    } catch (const OptionResolverError& error) {
        EXPECT_EQ(error.message(), "Opt에는 gone 값이 없습니다. 가능한 값: one");
    }
}

TEST(OptionResolverTest, ACustomPageSizeIsNeverChecked) {
    auto ppd = PPDFile::load(PPDFixture::path(), LanguageSet{"ko"});
    auto options =
        OptionResolver::resolve(ppd, {{"PageSize", "Custom.300.00x400.00"}}, ColorPolicy::driver, {});
    ASSERT_GE(options.size(), 3u);
    EXPECT_EQ(options[1], (PrintOption{"PageSize", "Custom.300.00x400.00"}));
    EXPECT_EQ(options[2],
              (PrintOption{"PageRegion", "A4"})); // not mirrored: no such choice, the default goes
    EXPECT_THROW(OptionResolver::resolve(ppd, {{"PageRegion", "Custom.1x1"}}, ColorPolicy::driver, {}),
                 OptionResolverError);
    EXPECT_THROW(OptionResolver::resolve(ppd, {{"PageSize", "custom.1x1"}}, ColorPolicy::driver, {}),
                 OptionResolverError);
}

TEST(OptionResolverTest, MirrorsMediaAndPageOnlyIntoOfferedChoices) {
    auto ppd = PPDFile::load(PPDFixture::path(), LanguageSet{"ko"});
    OptionResolver::Settings offered{{"EPIJ_Medi", "PGPP"}};
    OptionResolver::mirror(offered, "EPIJ_Medi", "MediaType", ppd);
    EXPECT_EQ(offered.at("MediaType"), "PGPP");

    OptionResolver::Settings notOffered{{"EPIJ_Medi", "VELV"}};
    OptionResolver::mirror(notOffered, "EPIJ_Medi", "MediaType", ppd);
    EXPECT_FALSE(notOffered.contains("MediaType"));

    OptionResolver::Settings alreadySet{{"EPIJ_Medi", "PGPP"}, {"MediaType", "PLAIN"}};
    OptionResolver::mirror(alreadySet, "EPIJ_Medi", "MediaType", ppd);
    EXPECT_EQ(alreadySet.at("MediaType"), "PLAIN");

    OptionResolver::Settings noTarget{{"EPIJ_Medi", "PGPP"}};
    OptionResolver::mirror(noTarget, "EPIJ_Medi", "NoSuchOption", ppd);
    EXPECT_EQ(noTarget.size(), 1u);

    auto options = OptionResolver::resolve(ppd, {{"PageSize", "A4.Rear"}}, ColorPolicy::driver, {});
    EXPECT_EQ(options[2], (PrintOption{"PageRegion", "A4.Rear"}));
}

TEST(OptionResolverTest, TheApplicationPolicyTurnsTheDriverAdjustmentOff) {
    auto ppd = parse("*OpenUI *EPIJ_CMat: PickOne\n*DefaultEPIJ_CMat: C\n*EPIJ_CMat C/Color Controls: \"\"\n"
                     "*EPIJ_CMat O/Off (No Color Adjustment): \"\"\n*EPIJ_CMat I/ICM: \"\"\n");
    OptionResolver::Settings settings;
    OptionResolver::apply(ColorPolicy::app, settings, ppd);
    EXPECT_EQ(settings, (OptionResolver::Settings{{"AP_ColorMatchingMode", "AP_ApplicationColorMatching"},
                                                  {"EPIJ_CMat", "O"}}));

    auto contains = parse("*OpenUI *EPIJ_CMat: PickOne\n*EPIJ_CMat C/Color Controls: \"\"\n"
                          "*EPIJ_CMat N/Driver - NO COLOR ADJUSTMENT: \"\"\n*EPIJ_CMat O/OFF: \"\"\n");
    settings.clear();
    OptionResolver::apply(ColorPolicy::app, settings, contains);
    EXPECT_EQ(settings.at("EPIJ_CMat"), "N");

    auto none =
        parse("*OpenUI *EPIJ_CMat: PickOne\n*EPIJ_CMat C/Color Controls: \"\"\n*EPIJ_CMat I/ICM: \"\"\n");
    settings.clear();
    OptionResolver::apply(ColorPolicy::app, settings, none);
    EXPECT_FALSE(settings.contains("EPIJ_CMat"));

    // What the caller already set wins.
    settings = {{"AP_ColorMatchingMode", "Mine"}, {"EPIJ_CMat", "I"}};
    OptionResolver::apply(ColorPolicy::app, settings, ppd);
    EXPECT_EQ(settings, (OptionResolver::Settings{{"AP_ColorMatchingMode", "Mine"}, {"EPIJ_CMat", "I"}}));
}

TEST(OptionResolverTest, TheDriverPolicyLeavesTheDriverAdjustmentAlone) {
    auto ppd = PPDFile::load(PPDFixture::path(), LanguageSet{"ko"});
    OptionResolver::Settings settings;
    OptionResolver::apply(ColorPolicy::driver, settings, ppd);
    EXPECT_EQ(settings, (OptionResolver::Settings{{"AP_ColorMatchingMode", "AP_VendorColorMatching"}}));
    auto options = OptionResolver::resolve(ppd, {}, ColorPolicy::driver, {});
    EXPECT_NE(std::find(options.begin(), options.end(), PrintOption{"EPIJ_CMat", "0"}), options.end());
}

TEST(OptionResolverTest, AColourMatchingOptionOfThePPDIsCheckedAndOrdered) {
    auto ppd =
        parse("*OpenUI *AP_ColorMatchingMode: PickOne\n*OrderDependency: 1 AnySetup *AP_ColorMatchingMode\n"
              "*AP_ColorMatchingMode AP_ApplicationColorMatching: \"\"\n"
              "*OpenUI *Other: PickOne\n*DefaultOther: x\n*Other x: \"\"\n");
    EXPECT_EQ(OptionResolver::resolve(ppd, {}, ColorPolicy::app, {}),
              (Options{{"AP_ColorMatchingMode", "AP_ApplicationColorMatching"}, {"Other", "x"}}));
    EXPECT_THROW(OptionResolver::resolve(ppd, {}, ColorPolicy::driver, {}), OptionResolverError);
    EXPECT_EQ(OptionResolver::hardwareGroups(), (std::set<std::string, std::less<>>{"InstallableOptions"}));
}

TEST(OptionResolverTest, PrintOptionsCompareHashAndCodeBothFields) {
    PrintOption option{"PageSize", "A4"};
    EXPECT_EQ(option, (PrintOption{"PageSize", "A4"}));
    EXPECT_NE(option, (PrintOption{"PageSize", "A3"}));
    EXPECT_NE(option, (PrintOption{"PageRegion", "A4"}));
    std::unordered_set<PrintOption> set{option, {"PageSize", "A3"}, option};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_EQ(nlohmann::json(option), nlohmann::json::parse(R"({"key":"PageSize","value":"A4"})"));
    EXPECT_EQ(nlohmann::json::parse(R"({"key":"a","value":"b"})").get<PrintOption>(),
              (PrintOption{"a", "b"}));
    EXPECT_THROW(nlohmann::json::parse(R"({"key":"a"})").get<PrintOption>(), nlohmann::json::out_of_range);
    EXPECT_THROW(nlohmann::json::parse(R"({"key":"a","value":1})").get<PrintOption>(),
                 nlohmann::json::type_error);
}

TEST(OptionResolverTest, ColourPoliciesAreStoredAsText) {
    EXPECT_EQ(rawValue(ColorPolicy::app), "app");
    EXPECT_EQ(rawValue(ColorPolicy::driver), "driver");
    EXPECT_EQ(fromRawValue<ColorPolicy>("driver"), ColorPolicy::driver);
    EXPECT_EQ(fromRawValue<ColorPolicy>("Driver"), std::nullopt);
    EXPECT_EQ(allCases<ColorPolicy>(), (std::array<ColorPolicy, 2>{ColorPolicy::app, ColorPolicy::driver}));
    EXPECT_EQ(nlohmann::json(ColorPolicy::app), "app");
    EXPECT_EQ(nlohmann::json("driver").get<ColorPolicy>(), ColorPolicy::driver);
    EXPECT_THROW(nlohmann::json("vendor").get<ColorPolicy>(), nlohmann::json::type_error);
}
