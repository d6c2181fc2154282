// The one JSON form of a paper recipe, used by the recipe files and by the application's working copy:
// pretty-printed, keys sorted, dates in ISO 8601. The reader is strict: a document either gives a complete
// recipe or fails as a whole, and only the three optional members may be missing or null.
#pragma once

#include "PrintKit/settings/PaperRecipe.h"
#include "PrintKit/support/Error.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace PrintKit {

enum class RecipeJSONErrorCode {
    invalidDocument,     // not JSON, or a member missing, null, of the wrong type or with an unknown value
    invalidNumberOfKeys, // a "color" object holding both "app" and "driver", or neither
    nonFiniteSize,       // writing: a custom sheet size that is NaN or infinite
    invalidText,         // writing: a text field that is not valid UTF-8
};

// Reading errors keep the JSON layer's own text (they describe a file, not a user action); writing errors
// are refusals the user sees when saving, in Korean.
std::string errorMessage(RecipeJSONErrorCode code, const std::string& detail);

using RecipeJSONError = ServiceError<RecipeJSONErrorCode>;

namespace RecipeJSON {

// The document as UTF-8 bytes: indented by two spaces, members sorted by key, slashes unescaped. Throws
// RecipeJSONError (nonFiniteSize, invalidText) before producing anything when the recipe cannot be written
// so that it reads back.
std::string encode(const PaperRecipe& recipe);

// Parses bytes into a JSON document; RecipeJSONError(invalidDocument) with the parser's text on bad JSON.
nlohmann::json parseDocument(std::string_view bytes);

// The required integer "schemaVersion" of a document, read alone: readers compare it with
// PaperRecipe::currentSchemaVersion before the rest is decoded.
std::int64_t schemaVersion(const nlohmann::json& document);

// The whole recipe; throws RecipeJSONError on the first problem. (Two names, because a JSON value can be
// made from a string: one overload set would read text as a document holding one string.)
PaperRecipe decode(std::string_view bytes);
PaperRecipe decodeDocument(const nlohmann::json& document);

} // namespace RecipeJSON
} // namespace PrintKit
