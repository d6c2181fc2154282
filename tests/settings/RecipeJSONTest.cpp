#include "PrintKit/settings/RecipeJSON.h"

#include "RecipeSamples.h"

#include <bit>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include "GermanLocale.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>

using namespace PrintKit;
using nlohmann::json;

namespace {

// A hand-written document with every required member and no optional one.
const std::string minimal = R"({
  "schemaVersion": 1,
  "id": "00000000-0000-4000-8000-00000000000A",
  "version": 1,
  "name": "Glossy",
  "printer": {"queue": "ET_8550", "model": "ET-8550"},
  "media": "PGPP",
  "sheet": "A4",
  "source": "AUTO",
  "quality": "high",
  "ink": "color",
  "color": {"driver": {}},
  "driverOverrides": {},
  "notes": "",
  "updatedAt": "2024-05-01T09:30:00Z"
})";

// The minimal document with one member replaced (or removed, for a discarded value) at a JSON pointer.
std::string with(const std::string& pointer, const json& value) {
    json document = json::parse(minimal);
    json::json_pointer where(pointer);
    if (value.is_discarded()) {
        document.at(where.parent_pointer()).erase(where.back());
    } else {
        document[where] = value;
    }
    return document.dump();
}
std::string without(const std::string& pointer) {
    return with(pointer, json(json::value_t::discarded));
}

std::string failure(const std::string& document) {
    try {
        RecipeJSON::decode(document);
    } catch (const RecipeJSONError& error) {
        return error.message();
    }
    return "(read without error)";
}

const json appColor = json::parse(R"({"app": {
    "profile": {"path": "/p/a.icc", "description": "A", "md5": "0123456789abcdef0123456789abcdef"},
    "intent": "perceptual", "blackPointCompensation": false}})");


} // namespace

TEST(RecipeJSONTest, FileStyleIsSortedIndentedAndKeepsSlashes) {
    const std::string expected = R"({
  "bleedCompensation": false,
  "color": {
    "app": {
      "blackPointCompensation": true,
      "intent": "relativeColorimetric",
      "profile": {
        "description": "SC-P900 Baryt 310",
        "md5": "0123456789abcdef0123456789abcdef",
        "path": "/home/kim/.local/share/icc/SC-P900 Baryt 310.icc"
      }
    }
  },
  "customSheet": {
    "height": 612.5,
    "width": 432.00000000000006
  },
  "driverOverrides": {
    "EPIJ_Dire": "1",
    "EPIJ_Qual": "302"
  },
  "id": "6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8",
  "ink": "advancedBlackAndWhite",
  "media": "FAPR",
  "name": "Barytpapier glänzend 310",
  "notes": "건조 24시간",
  "printer": {
    "model": "SC-P900 Series",
    "queue": "SC_P900"
  },
  "quality": "custom",
  "schemaVersion": 1,
  "sharpening": "standard",
  "sheet": "Custom",
  "source": "REAR",
  "updatedAt": "2024-05-01T09:30:00Z",
  "version": 3
})";
    EXPECT_EQ(RecipeJSON::encode(RecipeSamples::fineArt(), RecipeJSON::Style::file), expected);
}

TEST(RecipeJSONTest, FileStyleLeavesOutAbsentMembersAndWritesEmptyOnes) {
    const std::string expected = R"({
  "color": {
    "driver": {}
  },
  "driverOverrides": {},
  "id": "00000000-0000-4000-8000-00000000000A",
  "ink": "color",
  "media": "PGPP",
  "name": "Glossy",
  "notes": "",
  "printer": {
    "model": "ET-8550",
    "queue": "ET_8550"
  },
  "quality": "high",
  "schemaVersion": 1,
  "sheet": "A4",
  "source": "AUTO",
  "updatedAt": "2024-05-01T09:30:00Z",
  "version": 1
})";
    EXPECT_EQ(RecipeJSON::encode(RecipeSamples::plain(), RecipeJSON::Style::file), expected);
}

TEST(RecipeJSONTest, CompactStyleHasNoWhitespaceAndDeclarationOrder) {
    EXPECT_EQ(
        RecipeJSON::encode(RecipeSamples::plain(), RecipeJSON::Style::compact),
        R"({"schemaVersion":1,"id":"00000000-0000-4000-8000-00000000000A","version":1,"name":"Glossy",)"
        R"("printer":{"queue":"ET_8550","model":"ET-8550"},"media":"PGPP","sheet":"A4","source":"AUTO",)"
        R"("quality":"high","ink":"color","color":{"driver":{}},"driverOverrides":{},"notes":"",)"
        R"("updatedAt":"2024-05-01T09:30:00Z"})");
}

TEST(RecipeJSONTest, EveryRecordRoundTripsInBothStyles) {
    std::vector<PaperRecipe> recipes{RecipeSamples::fineArt(), RecipeSamples::plain()};
    for (PrintQuality quality : allCases<PrintQuality>()) {
        for (InkMode ink : {InkMode::color, InkMode::advancedBlackAndWhite}) {
            PaperRecipe r = RecipeSamples::plain();
            r.quality = quality;
            r.ink = ink;
            recipes.push_back(r);
        }
    }
    for (OutputSharpening level : allCases<OutputSharpening>()) {
        PaperRecipe r = RecipeSamples::fineArt();
        r.sharpening = level;
        r.bleedCompensation = level == OutputSharpening::high;
        recipes.push_back(r);
    }
    for (RenderingIntent intent : allCases<RenderingIntent>()) {
        for (bool blackPoint : {false, true}) {
            PaperRecipe r = RecipeSamples::fineArt();
            r.color.app->intent = intent;
            r.color.app->blackPointCompensation = blackPoint;
            recipes.push_back(r);
        }
    }
    PaperRecipe odd = RecipeSamples::fineArt();
    odd.schemaVersion = -4;
    odd.version = std::numeric_limits<std::int64_t>::min();
    odd.name = "quote \" backslash \\ tab \t newline \n nul " + std::string(1, '\0') + " end";
    odd.driverOverrides = {{"a/b", "c~d"}, {"Zeta", ""}, {"alpha", "x"}};
    recipes.push_back(odd);

    for (const PaperRecipe& recipe : recipes) {
        for (auto style : {RecipeJSON::Style::file, RecipeJSON::Style::compact}) {
            EXPECT_EQ(RecipeJSON::decode(RecipeJSON::encode(recipe, style)), recipe)
                << RecipeJSON::encode(recipe, style);
        }
    }
}

TEST(RecipeJSONTest, SizesReadBackBitForBit) {
    const double values[] = {432.00000000000006,
                             0.1,
                             1.0 / 3,
                             595.2755905511812,
                             5e-324,
                             2.2250738585072014e-308,
                             1.7976931348623157e308,
                             1e21,
                             123456789012345678.0,
                             -0.0,
                             0.0,
                             -72.5,
                             9007199254740993.0};
    for (double value : values) {
        PaperRecipe recipe = RecipeSamples::plain();
        recipe.sheet = "Custom";
        recipe.customSheet = CustomSheetSize{value, -value};
        PaperRecipe back = RecipeJSON::decode(RecipeJSON::encode(recipe, RecipeJSON::Style::file));
        ASSERT_TRUE(back.customSheet);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(back.customSheet->width), std::bit_cast<std::uint64_t>(value))
            << value;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(back.customSheet->height),
                  std::bit_cast<std::uint64_t>(-value))
            << value;
    }
    // Integers are numbers too.
    PaperRecipe whole =
        RecipeJSON::decode(with("/customSheet", json::parse(R"({"width": 432, "height": 612})")));
    EXPECT_EQ(whole.customSheet, (CustomSheetSize{432, 612}));
}

TEST(RecipeJSONTest, GermanLocaleChangesNothingWrittenOrRead) {
    PaperRecipe recipe = RecipeSamples::fineArt();
    recipe.customSheet = CustomSheetSize{595.2755905511812, 841.8897637795276};
    std::string before = RecipeJSON::encode(recipe, RecipeJSON::Style::file);
    GermanLocale german;
    if (!german.active()) {
        GTEST_SKIP() << "de_DE.UTF-8 is not generated on this machine";
    }
    char printed[32];
    std::snprintf(printed, sizeof printed, "%.1f", 612.5);
    ASSERT_STREQ(printed, "612,5"); // the locale really is in force
    EXPECT_EQ(RecipeJSON::encode(recipe, RecipeJSON::Style::file), before);
    EXPECT_EQ(RecipeJSON::decode(before), recipe);
}

TEST(RecipeJSONTest, WritingRefusesSizesThatAreNotFinite) {
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        for (int side = 0; side < 2; ++side) {
            PaperRecipe recipe = RecipeSamples::fineArt();
            (side == 0 ? recipe.customSheet->width : recipe.customSheet->height) = bad;
            for (auto style : {RecipeJSON::Style::file, RecipeJSON::Style::compact}) {
                try {
                    RecipeJSON::encode(recipe, style);
                    ADD_FAILURE() << "written with " << bad;
                } catch (const RecipeJSONError& error) {
                    EXPECT_EQ(error.code(), RecipeJSONErrorCode::nonFiniteSize);
                    EXPECT_EQ(error.message(),
                              "사용자 지정 용지 크기가 올바른 숫자가 아니어서 레시피를 저장할 수 "
                              "없습니다");
                }
            }
        }
    }
}

TEST(RecipeJSONTest, WritingRefusesTextThatIsNotUtf8) {
    PaperRecipe recipe = RecipeSamples::plain();
    recipe.driverOverrides["EPIJ_Medi"] = "\xff\xfe";
    try {
        RecipeJSON::encode(recipe, RecipeJSON::Style::file);
        ADD_FAILURE() << "written";
    } catch (const RecipeJSONError& error) {
        EXPECT_EQ(error.code(), RecipeJSONErrorCode::invalidText);
        EXPECT_EQ(error.detail(), "driverOverrides");
    }
}

TEST(RecipeJSONTest, ReadsTheMinimalDocument) {
    PaperRecipe recipe = RecipeJSON::decode(minimal);
    EXPECT_EQ(recipe, RecipeSamples::plain());
    EXPECT_FALSE(recipe.customSheet);
    EXPECT_FALSE(recipe.sharpening);
    EXPECT_FALSE(recipe.bleedCompensation);
    EXPECT_TRUE(recipe.driverOverrides.empty());
    EXPECT_TRUE(recipe.color.isDriver());
}

TEST(RecipeJSONTest, EveryRequiredMemberMustBePresentAndNotNull) {
    for (const char* key : {"schemaVersion", "id", "version", "name", "printer", "media", "sheet", "source",
                            "quality", "ink", "color", "driverOverrides", "notes", "updatedAt"}) {
        std::string pointer = std::string("/") + key;
        EXPECT_EQ(failure(without(pointer)), std::string("missing member \"") + key + "\" at the top level");
        EXPECT_EQ(failure(with(pointer, nullptr)), "null value for a required member at " + pointer);
    }
    EXPECT_EQ(failure(without("/printer/queue")), "missing member \"queue\" at /printer");
    EXPECT_EQ(failure(with("/printer/model", nullptr)), "null value for a required member at /printer/model");
    EXPECT_EQ(failure(with("/customSheet", json::parse(R"({"width": 1})"))),
              "missing member \"height\" at /customSheet");
    json app = appColor;
    app["app"]["profile"].erase("md5");
    EXPECT_EQ(failure(with("/color", app)), "missing member \"md5\" at /color/app/profile");
    app = appColor;
    app["app"].erase("blackPointCompensation");
    EXPECT_EQ(failure(with("/color", app)), "missing member \"blackPointCompensation\" at /color/app");
}

TEST(RecipeJSONTest, MembersMustHaveTheirJsonType) {
    struct Case {
        const char* pointer;
        json value;
        const char* message;
    };
    const Case cases[] = {
        {"/schemaVersion", "1", "expected an integer, found string \"1\" at /schemaVersion"},
        {"/schemaVersion", 1.5, "expected an integer, found number 1.5 at /schemaVersion"},
        {"/version", true, "expected an integer, found boolean true at /version"},
        {"/version", json::parse("9223372036854775808"),
         "integer out of the 64-bit range: 9223372036854775808 at /version"},
        {"/name", 5, "expected a string, found number 5 at /name"},
        {"/printer", json::array(), "expected an object, found array at /printer"},
        {"/printer/queue", json::object(), "expected a string, found object at /printer/queue"},
        {"/customSheet", 5, "expected an object, found number 5 at /customSheet"},
        {"/customSheet", json::parse(R"({"width": "432", "height": 1})"),
         "expected a number, found string \"432\" at /customSheet/width"},
        {"/sharpening", 1, "expected a string, found number 1 at /sharpening"},
        {"/bleedCompensation", "true", "expected true or false, found string \"true\" at /bleedCompensation"},
        {"/bleedCompensation", 0, "expected true or false, found number 0 at /bleedCompensation"},
        {"/driverOverrides", json::array(), "expected an object, found array at /driverOverrides"},
        {"/driverOverrides", json::parse(R"({"EPIJ_Qual": 302})"),
         "expected a string, found number 302 at /driverOverrides/EPIJ_Qual"},
        {"/driverOverrides", json::parse(R"({"a/b": null})"),
         "null where a string is required at /driverOverrides/a~1b"},
        {"/color", "driver", "expected an object, found string \"driver\" at /color"},
        {"/color", json::parse(R"({"driver": []})"), "expected an object, found array at /color/driver"},
        {"/color", json::parse(R"({"app": true})"), "expected an object, found boolean true at /color/app"},
        {"/notes", json::array({"a"}), "expected a string, found array at /notes"},
        {"/updatedAt", 1714555800, "expected a string, found number 1714555800 at /updatedAt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(failure(with(c.pointer, c.value)), c.message);
    }
    json app = appColor;
    app["app"]["blackPointCompensation"] = "yes";
    EXPECT_EQ(failure(with("/color", app)),
              "expected true or false, found string \"yes\" at /color/app/blackPointCompensation");
}

TEST(RecipeJSONTest, TheDocumentMustBeAnObjectOfValidJson) {
    EXPECT_EQ(failure("[]"), "expected an object, found array at the top level");
    EXPECT_EQ(failure("\"recipe\""), "expected an object, found string \"recipe\" at the top level");
    for (const char* bad : {"", "{", "{\"schemaVersion\": 1,}", "\xef\xbb\xbf{\"a\":\"\xff\"}", "{} {}"}) {
        try {
            RecipeJSON::decode(std::string_view(bad));
            ADD_FAILURE() << bad;
        } catch (const RecipeJSONError& error) {
            EXPECT_EQ(error.code(), RecipeJSONErrorCode::invalidDocument);
            EXPECT_NE(error.message().find("parse_error"), std::string::npos) << error.message();
        }
    }
    // A literal too large for a double is no size.
    std::string huge = minimal;
    huge.insert(huge.rfind('}'), R"(, "customSheet": {"width": 1e999, "height": 1})");
    EXPECT_NE(failure(huge).find("1e999"), std::string::npos) << failure(huge);
    json infinite = json::parse(minimal);
    infinite["customSheet"] = {{"width", std::numeric_limits<double>::infinity()}, {"height", 1.0}};
    try {
        RecipeJSON::decodeDocument(infinite);
        ADD_FAILURE() << "read an infinite width";
    } catch (const RecipeJSONError& error) {
        EXPECT_EQ(error.message(), "number out of range at /customSheet/width");
    }
}

TEST(RecipeJSONTest, OptionalMembersMissingOrNullReadAsAbsent) {
    for (const char* key : {"customSheet", "sharpening", "bleedCompensation"}) {
        PaperRecipe recipe = RecipeJSON::decode(with(std::string("/") + key, nullptr));
        EXPECT_EQ(recipe, RecipeSamples::plain()) << key;
    }
    EXPECT_EQ(RecipeJSON::decode(with("/bleedCompensation", false)).bleedCompensation, false);
    EXPECT_EQ(RecipeJSON::decode(with("/bleedCompensation", true)).bleedCompensation, true);
    EXPECT_EQ(RecipeJSON::decode(with("/sharpening", "off")).sharpening, OutputSharpening::off);
}

TEST(RecipeJSONTest, UnknownMembersAreIgnoredAtEveryLevel) {
    json document = json::parse(minimal);
    document["comment"] = {{"nested", json::array({1, 2})}};
    document["printer"]["uri"] = "ipp://localhost/printers/x";
    document["customSheet"] = {{"width", 288}, {"height", 432}, {"unit", "pt"}};
    document["color"] = appColor;
    document["color"]["legacy"] = 3;
    document["color"]["app"]["gamutWarning"] = true;
    document["color"]["app"]["profile"]["size"] = 1234;
    PaperRecipe recipe = RecipeJSON::decode(document.dump());
    EXPECT_EQ(recipe.customSheet, (CustomSheetSize{288, 432}));
    EXPECT_EQ(recipe.printer, (PrinterReference{"ET_8550", "ET-8550"}));
    ASSERT_FALSE(recipe.color.isDriver());
    EXPECT_EQ(recipe.color.app->profile,
              ProfileReference("/p/a.icc", "A", "0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(recipe.color.app->intent, RenderingIntent::perceptual);
    EXPECT_FALSE(recipe.color.app->blackPointCompensation);
}

TEST(RecipeJSONTest, EnumerationTextMustMatchExactly) {
    EXPECT_EQ(failure(with("/quality", "High")),
              R"(unknown value "High" (expected one of "standard", "high", "custom") at /quality)");
    EXPECT_NE(failure(with("/quality", "HIGH")), "(read without error)");
    EXPECT_NE(failure(with("/ink", "Color")), "(read without error)");
    EXPECT_NE(failure(with("/sharpening", "Off")), "(read without error)");
    json app = appColor;
    app["app"]["intent"] = "saturation";
    EXPECT_NE(failure(with("/color", app)), "(read without error)");
    EXPECT_EQ(RecipeJSON::decode(with("/ink", "color")).ink, InkMode::color);
    EXPECT_EQ(RecipeJSON::decode(with("/ink", "advancedBlackAndWhite")).ink, InkMode::advancedBlackAndWhite);
    EXPECT_EQ(RecipeJSON::decode(with("/quality", "custom")).quality, PrintQuality::custom);
}

TEST(RecipeJSONTest, AnySchemaNumberReadsAtThisLevel) {
    for (int schema : {0, 2, 7, -3}) {
        EXPECT_EQ(RecipeJSON::decode(with("/schemaVersion", schema)).schemaVersion, schema);
        EXPECT_EQ(RecipeJSON::schemaVersion(json::parse(with("/schemaVersion", schema))), schema);
    }
    EXPECT_THROW(RecipeJSON::schemaVersion(json::parse(without("/schemaVersion"))), RecipeJSONError);
    EXPECT_THROW(RecipeJSON::schemaVersion(json::parse("[1]")), RecipeJSONError);
}

TEST(RecipeJSONTest, IdentityReadsInEitherCaseAndWritesUpperCase) {
    PaperRecipe lower = RecipeJSON::decode(with("/id", "6f1c2a3b-4d5e-4f60-8172-93a4b5c6d7e8"));
    EXPECT_EQ(lower.id, RecipeSamples::fixedId());
    EXPECT_NE(RecipeJSON::encode(lower, RecipeJSON::Style::compact)
                  .find("\"id\":\"6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8\""),
              std::string::npos);
    for (const char* bad :
         {"6F1C2A3B4D5E4F60817293A4B5C6D7E8", "{6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8}",
          "6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E", "6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7EG", ""}) {
        EXPECT_EQ(failure(with("/id", bad)), "not a UUID: " + json(bad).dump() + " at /id");
    }
}

TEST(RecipeJSONTest, DatesWithOffsetsAndFractionsAreRead) {
    using namespace std::chrono;
    const Timestamp may = RecipeSamples::mayFirst();
    EXPECT_EQ(RecipeJSON::decode(with("/updatedAt", "2024-05-01T18:30:00+09:00")).updatedAt, may);
    EXPECT_EQ(RecipeJSON::decode(with("/updatedAt", "2024-05-01T04:00:00-05:30")).updatedAt, may);
    EXPECT_EQ(RecipeJSON::decode(with("/updatedAt", "2024-05-01t09:30:00z")).updatedAt, may);
    PaperRecipe fraction = RecipeJSON::decode(with("/updatedAt", "2024-05-01T18:30:00.750+09:00"));
    EXPECT_EQ(fraction.updatedAt, may + milliseconds(750));
    // Written back whole, so the copy that was read no longer equals what a later read gives.
    std::string written = RecipeJSON::encode(fraction, RecipeJSON::Style::file);
    EXPECT_NE(written.find("\"updatedAt\": \"2024-05-01T09:30:00Z\""), std::string::npos);
    EXPECT_NE(RecipeJSON::decode(written), fraction);
    EXPECT_EQ(RecipeJSON::decode(written).updatedAt, may);
    for (const char* bad :
         {"2024-05-01T09:30:00", "2024-05-01 09:30:00Z", "2024-05-01", "2024-13-01T09:30:00Z",
          "2024-05-01T09:30:00+0900", "1714555800", "2024-05-01T09:30:00.Z", "9999-12-31T23:59:59Z"}) {
        EXPECT_EQ(failure(with("/updatedAt", bad)),
                  "not an RFC 3339 date-time with a time zone: " + json(bad).dump() + " at /updatedAt");
    }
}

TEST(RecipeJSONTest, ColorHoldsExactlyOneKnownCase) {
    const std::string rule = "Invalid number of keys found, expected one.";
    json both = appColor;
    both["driver"] = json::object();
    json neither = {{"application", json::object()}};
    for (const json& color : {both, json::object(), neither}) {
        try {
            RecipeJSON::decode(with("/color", color));
            ADD_FAILURE() << color.dump();
        } catch (const RecipeJSONError& error) {
            EXPECT_EQ(error.code(), RecipeJSONErrorCode::invalidNumberOfKeys);
            EXPECT_EQ(error.message(), rule);
        }
    }
    EXPECT_TRUE(
        RecipeJSON::decode(with("/color", json::parse(R"({"driver": {"profile": 1}})"))).color.isDriver());
    json appAndOther = appColor;
    appAndOther["printerManaged"] = json::object();
    EXPECT_FALSE(RecipeJSON::decode(with("/color", appAndOther)).color.isDriver());
}

TEST(RecipeJSONTest, EscapedSlashesAndUnicodeEscapesAreRead) {
    std::string document = minimal;
    document.replace(document.find("\"Glossy\""), 8, R"("Gl\u00e4nzend \/ \ud83d\udcf7")");
    PaperRecipe recipe = RecipeJSON::decode(document);
    EXPECT_EQ(recipe.name, "Glänzend / \xf0\x9f\x93\xb7");
    std::string written = RecipeJSON::encode(RecipeSamples::fineArt(), RecipeJSON::Style::file);
    EXPECT_EQ(written.find("\\/"), std::string::npos);
    EXPECT_NE(written.find("\"/home/kim/.local/share/icc/SC-P900 Baryt 310.icc\""), std::string::npos);
}

TEST(RecipeJSONTest, DriverOverridesMayBeEmptyButNotMissing) {
    EXPECT_TRUE(RecipeJSON::decode(with("/driverOverrides", json::object())).driverOverrides.empty());
    PaperRecipe recipe =
        RecipeJSON::decode(with("/driverOverrides", {{"EPIJ_Qual", "302"}, {"EPIJ_Medi", ""}}));
    EXPECT_EQ(recipe.driverOverrides,
              (std::map<std::string, std::string>{{"EPIJ_Medi", ""}, {"EPIJ_Qual", "302"}}));
    EXPECT_EQ(failure(without("/driverOverrides")), "missing member \"driverOverrides\" at the top level");
    EXPECT_EQ(failure(without("/notes")), "missing member \"notes\" at the top level");
}
