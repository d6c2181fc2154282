#include "PrintKit/settings/RecipeJSON.h"

#include "GermanLocale.h"
#include "RecipeSamples.h"
#include "TestSupport.h"

#include <bit>
#include <chrono>
#include <gtest/gtest.h>
#include <limits>
#include <string>

using namespace PrintKit;
using nlohmann::json;
using TestSupport::expectFailure;
using TestSupport::thrown;

namespace {

// A hand-written document with every required member and no optional one: RecipeSamples::plain().
const std::string minimal = TestSupport::readFile(TestSupport::fixture("recipes/minimal.json"));

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

TEST(RecipeJSONTest, WrittenSortedIndentedAndWithSlashesKept) {
    EXPECT_EQ(RecipeJSON::encode(RecipeSamples::fineArt()) + "\n",
              TestSupport::readFile(TestSupport::fixture("recipes/fine-art.json")));
}

TEST(RecipeJSONTest, WritingRefusesWhatCouldNotBeReadBack) {
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        PaperRecipe wide = RecipeSamples::fineArt(), tall = wide;
        wide.customSheet->width = bad;
        tall.customSheet->height = bad;
        for (const PaperRecipe& recipe : {wide, tall}) {
            expectFailure<RecipeJSONError>(
                [&] { RecipeJSON::encode(recipe); }, RecipeJSONErrorCode::nonFiniteSize,
                "사용자 지정 용지 크기가 올바른 숫자가 아니어서 레시피를 저장할 수 없습니다");
        }
    }
    PaperRecipe recipe = RecipeSamples::plain();
    recipe.driverOverrides["EPIJ_Medi"] = "\xff\xfe";
    expectFailure<RecipeJSONError>([&] { RecipeJSON::encode(recipe); }, RecipeJSONErrorCode::invalidText,
                                   "레시피에 올바른 UTF-8이 아닌 글자가 있어 저장할 수 없습니다");
}

TEST(RecipeJSONTest, ReadsWhatOtherWritersMayWrite) {
    EXPECT_EQ(RecipeJSON::decode(minimal), RecipeSamples::plain());
    for (const char* key : {"customSheet", "sharpening", "bleedCompensation"}) {
        EXPECT_EQ(RecipeJSON::decode(with(std::string("/") + key, nullptr)), RecipeSamples::plain()) << key;
    }
    for (int schema : {0, 2, -3}) { // any schema number reads at this level; the store gates it
        EXPECT_EQ(RecipeJSON::decode(with("/schemaVersion", schema)).schemaVersion, schema);
        EXPECT_EQ(RecipeJSON::schemaVersion(json::parse(with("/schemaVersion", schema))), schema);
    }
    EXPECT_THROW(RecipeJSON::schemaVersion(json::parse("[1]")), RecipeJSONError);
    // Unknown members at every level, a lower-case identity, a date with an offset and a fraction, escaped
    // slashes and characters outside the basic plane.
    json document = json::parse(minimal);
    document["comment"] = {{"nested", json::array({1, 2})}};
    document["printer"]["uri"] = "ipp://localhost/printers/x";
    document["customSheet"] = {{"width", 288}, {"height", 432}, {"unit", "pt"}};
    document["color"] = appColor;
    document["color"]["app"]["gamutWarning"] = true;
    document["color"]["app"]["profile"]["size"] = 1234;
    document["id"] = "6f1c2a3b-4d5e-4f60-8172-93a4b5c6d7e8";
    document["updatedAt"] = "2024-05-01T18:30:00.750+09:00";
    std::string text = document.dump();
    text.replace(text.find("\"Glossy\""), 8, R"("Gl\u00e4nzend \/ \ud83d\udcf7")");
    PaperRecipe expected = RecipeSamples::plain();
    expected.id = RecipeSamples::fixedId();
    expected.name = "Glänzend / \xf0\x9f\x93\xb7";
    expected.customSheet = CustomSheetSize{288, 432};
    expected.color =
        ColorManagement::application(ProfileReference("/p/a.icc", "A", "0123456789abcdef0123456789abcdef"),
                                     RenderingIntent::perceptual, false);
    expected.updatedAt += std::chrono::milliseconds(750);
    const PaperRecipe read = RecipeJSON::decode(text);
    EXPECT_EQ(read, expected);
    // Written back in upper case and in whole seconds of UTC.
    const std::string written = RecipeJSON::encode(read);
    EXPECT_NE(written.find(R"("id": "6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8")"), std::string::npos);
    EXPECT_NE(written.find(R"("updatedAt": "2024-05-01T09:30:00Z")"), std::string::npos);
    EXPECT_TRUE(
        RecipeJSON::decode(with("/color", json::parse(R"({"driver": {"profile": 1}})"))).color.isDriver());
}

TEST(RecipeJSONTest, RefusalsSayWhatIsWrongAndWhere) {
    for (const char* key : {"schemaVersion", "id", "version", "name", "printer", "media", "sheet", "source",
                            "quality", "ink", "color", "driverOverrides", "notes", "updatedAt"}) {
        std::string pointer = std::string("/") + key;
        EXPECT_EQ(failure(without(pointer)), std::string("missing member \"") + key + "\" at the top level");
        EXPECT_EQ(failure(with(pointer, nullptr)), "null value for a required member at " + pointer);
    }
    json app = appColor;
    app["app"]["profile"].erase("md5");
    EXPECT_EQ(failure(with("/color", app)), "missing member \"md5\" at /color/app/profile");
    // Each member replaced by a value of the wrong kind, and the message that says so.
    for (const auto& c : json::parse(TestSupport::readFile(TestSupport::fixture("recipes/refusals.json")))) {
        EXPECT_EQ(failure(with(c[0].get<std::string>(), c[1])), c[2].get<std::string>());
    }
    EXPECT_EQ(failure("[]"), "expected an object, found array at the top level");
    std::string huge = minimal; // a literal too large for a double is no size
    huge.insert(huge.rfind('}'), R"(, "customSheet": {"width": 1e999, "height": 1})");
    EXPECT_NE(failure(huge).find("1e999"), std::string::npos) << failure(huge);
    for (const char* bad : {"", "{", "{\"schemaVersion\": 1,}", "\xef\xbb\xbf{\"a\":\"\xff\"}", "{} {}"}) {
        auto error = thrown<RecipeJSONError>([&] { RecipeJSON::decode(std::string_view(bad)); });
        ASSERT_TRUE(error) << bad;
        EXPECT_EQ(error->code(), RecipeJSONErrorCode::invalidDocument);
        EXPECT_NE(error->message().find("parse_error"), std::string::npos) << error->message();
    }
    // The colour holds exactly one known case.
    json both = appColor;
    both["driver"] = json::object();
    for (const json& color : {both, json::object(), json{{"application", json::object()}}}) {
        expectFailure<RecipeJSONError>([&] { RecipeJSON::decode(with("/color", color)); },
                                       RecipeJSONErrorCode::invalidNumberOfKeys,
                                       "Invalid number of keys found, expected one.");
    }
}
