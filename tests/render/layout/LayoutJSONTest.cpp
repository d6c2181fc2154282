#include "PrintKit/render/layout/LayoutJSON.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace PrintKit;
using nlohmann::json;

TEST(LayoutJSONTest, RecordsRoundTripUnderTheirOwnNamesAndRefuseMissingOrMistypedMembers) {
    const Margins margins{1.5, 2, 3.25, 4};
    EXPECT_EQ(LayoutJSON::encode(margins),
              json::parse(R"({"top": 1.5, "left": 2, "bottom": 3.25, "right": 4})"));
    EXPECT_EQ(LayoutJSON::decodeMargins(LayoutJSON::encode(margins)), margins);
    EXPECT_THROW(
        LayoutJSON::decodeMargins(json::parse(R"({"top": "1", "left": 2, "bottom": 3, "right": 4})")),
        json::exception);
    EXPECT_THROW(LayoutJSON::decodeMargins(json::parse("[1, 2, 3, 4]")), json::exception);

    const GridSpec spec = GridSpec::make(144, 108, 9, true, false, true, true, false);
    json document = LayoutJSON::encode(spec);
    EXPECT_EQ(document, json::parse(R"({"cellWidth": 144, "cellHeight": 108, "turnsToFitMore": true, "gap": 9,
        "fitsWhole": false, "rotatesToFit": true, "cutMarks": true, "captions": false})"));
    EXPECT_EQ(LayoutJSON::decodeGridSpec(document), spec);
    document["captions"] = 1; // a number is not a flag
    EXPECT_THROW(LayoutJSON::decodeGridSpec(document), json::exception);
    document.erase("captions");
    EXPECT_THROW(LayoutJSON::decodeGridSpec(document), json::exception);
}

TEST(LayoutJSONTest, ImageFitNamesExactlyOneCase) {
    const json exact = json::parse(R"({"exactSize": {"width": 288, "height": 216, "turnToPhoto": true}})");
    EXPECT_EQ(LayoutJSON::encode(ImageFit::exactSize(288, 216, true)), exact);
    EXPECT_EQ(LayoutJSON::decodeImageFit(exact), ImageFit::exactSize(288, 216, true));
    EXPECT_NE(LayoutJSON::decodeImageFit(exact), ImageFit::exactSize(288, 216, false));
    for (const ImageFit& fit : {ImageFit::fit(), ImageFit::fill()}) {
        EXPECT_EQ(LayoutJSON::decodeImageFit(LayoutJSON::encode(fit)), fit);
    }
    EXPECT_EQ(LayoutJSON::encode(ImageFit::fill()), json::parse(R"({"fill": {}})"));

    for (const char* text : {R"({})", R"({"fit": {}, "fill": {}})", R"({"stretch": {}})"}) {
        try {
            LayoutJSON::decodeImageFit(json::parse(text));
            ADD_FAILURE() << text;
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), "Invalid number of keys found, expected one.") << text;
        }
    }
    EXPECT_THROW(LayoutJSON::decodeImageFit(json::parse(R"({"exactSize": {"width": 288, "height": 216}})")),
                 json::exception);
    EXPECT_THROW(LayoutJSON::decodeImageFit(json::parse(R"({"fit": true})")), json::exception);
}
