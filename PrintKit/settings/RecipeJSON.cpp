#include "PrintKit/settings/RecipeJSON.h"

#include "PrintKit/support/Numbers.h"
#include "PrintKit/support/Text.h"

#include <cmath>
#include <limits>

namespace PrintKit {

std::string errorMessage(RecipeJSONErrorCode code, const std::string& detail) {
    switch (code) {
    case RecipeJSONErrorCode::invalidDocument:
        return detail;
    case RecipeJSONErrorCode::invalidNumberOfKeys:
        return "Invalid number of keys found, expected one.";
    case RecipeJSONErrorCode::nonFiniteSize:
        return "사용자 지정 용지 크기가 올바른 숫자가 아니어서 레시피를 저장할 수 없습니다";
    case RecipeJSONErrorCode::invalidText:
        return "레시피에 올바른 UTF-8이 아닌 글자가 있어 저장할 수 없습니다";
    }
    return detail;
}

namespace RecipeJSON {

namespace {

using nlohmann::json;

// ---- Writing ------------------------------------------------------------------------------------------

// nlohmann would write NaN and infinities as null, and a file holding null where a size belongs could not be
// read back; its serialiser would also stop half-way on bad UTF-8. Both are refused before any byte exists.
void checkWritable(const PaperRecipe& recipe) {
    if (recipe.customSheet &&
        (!std::isfinite(recipe.customSheet->width) || !std::isfinite(recipe.customSheet->height))) {
        throw RecipeJSONError(RecipeJSONErrorCode::nonFiniteSize,
                              "width " + Numbers::shortest(recipe.customSheet->width) + ", height " +
                                  Numbers::shortest(recipe.customSheet->height));
    }
    auto text = [](const std::string& value, const char* member) {
        if (!Text::isValidUtf8(value)) {
            throw RecipeJSONError(RecipeJSONErrorCode::invalidText, member);
        }
    };
    text(recipe.name, "name");
    text(recipe.printer.queue, "printer.queue");
    text(recipe.printer.model, "printer.model");
    text(recipe.media, "media");
    text(recipe.sheet, "sheet");
    text(recipe.source, "source");
    if (recipe.color.app) {
        text(recipe.color.app->profile.path, "color.app.profile.path");
        text(recipe.color.app->profile.description, "color.app.profile.description");
        text(recipe.color.app->profile.md5, "color.app.profile.md5");
    }
    for (const auto& [keyword, choice] : recipe.driverOverrides) {
        text(keyword, "driverOverrides");
        text(choice, "driverOverrides");
    }
    text(recipe.notes, "notes");
}

// nlohmann::json keeps every object's members sorted by key, whatever the order they are inserted in.
json document(const PaperRecipe& recipe) {
    json doc = json::object();
    doc["schemaVersion"] = recipe.schemaVersion;
    doc["id"] = recipe.id.string();
    doc["version"] = recipe.version;
    doc["name"] = recipe.name;
    json printer = json::object();
    printer["queue"] = recipe.printer.queue;
    printer["model"] = recipe.printer.model;
    doc["printer"] = std::move(printer);
    doc["media"] = recipe.media;
    doc["sheet"] = recipe.sheet;
    if (recipe.customSheet) {
        json size = json::object();
        size["width"] = recipe.customSheet->width;
        size["height"] = recipe.customSheet->height;
        doc["customSheet"] = std::move(size);
    }
    doc["source"] = recipe.source;
    doc["quality"] = std::string(rawValue(recipe.quality));
    doc["ink"] = std::string(rawValue(recipe.ink));
    json color = json::object();
    if (recipe.color.app) {
        const AppColorManagement& app = *recipe.color.app;
        json profile = json::object();
        profile["path"] = app.profile.path;
        profile["description"] = app.profile.description;
        profile["md5"] = app.profile.md5;
        json payload = json::object();
        payload["profile"] = std::move(profile);
        payload["intent"] = std::string(rawValue(app.intent));
        payload["blackPointCompensation"] = app.blackPointCompensation;
        color["app"] = std::move(payload);
    } else {
        color["driver"] = json::object();
    }
    doc["color"] = std::move(color);
    if (recipe.sharpening) {
        doc["sharpening"] = std::string(rawValue(*recipe.sharpening));
    }
    if (recipe.bleedCompensation) {
        doc["bleedCompensation"] = *recipe.bleedCompensation;
    }
    json overrides = json::object();
    for (const auto& [keyword, choice] : recipe.driverOverrides) {
        overrides[keyword] = choice;
    }
    doc["driverOverrides"] = std::move(overrides);
    doc["notes"] = recipe.notes;
    doc["updatedAt"] = Dates::formatRFC3339(recipe.updatedAt);
    return doc;
}

// ---- Reading ------------------------------------------------------------------------------------------

// Locations are JSON pointers ("/color/app/intent"), so a message names the member that failed.
std::string pointer(const std::string& at, std::string_view key) {
    std::string out = at + "/";
    for (char c : key) {
        if (c == '~') {
            out += "~0";
        } else if (c == '/') {
            out += "~1";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string location(const std::string& at) {
    return at.empty() ? "the top level" : at;
}

// A value as it appears in the document, for messages; containers are only named, they could be large.
std::string shown(const json& value) {
    if (value.is_structured()) {
        return value.type_name();
    }
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

[[noreturn]] void invalid(const std::string& what, const std::string& at) {
    throw RecipeJSONError(RecipeJSONErrorCode::invalidDocument, what + " at " + location(at));
}

[[noreturn]] void mismatch(const json& value, const char* expected, const std::string& at) {
    if (value.is_null()) {
        invalid(std::string("null where ") + expected + " is required", at);
    }
    std::string found =
        value.is_structured() ? shown(value) : std::string(value.type_name()) + " " + shown(value);
    invalid(std::string("expected ") + expected + ", found " + found, at);
}

// number_integer stands for both integer kinds of the parser (signed and unsigned).
void expectType(const json& value, json::value_t type, const char* expected, const std::string& at) {
    bool matches = type == json::value_t::number_integer ? value.is_number_integer() : value.type() == type;
    if (!matches) {
        mismatch(value, expected, at);
    }
}

// A required member: present, not null. Its type is checked by the caller.
const json& required(const json& object, const char* key, const std::string& at) {
    auto found = object.find(key);
    if (found == object.end()) {
        invalid(std::string("missing member \"") + key + "\"", at);
    }
    if (found->is_null()) {
        invalid("null value for a required member", pointer(at, key));
    }
    return *found;
}

// An optional member: missing and null both read as absent.
const json* optional(const json& object, const char* key) {
    auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return nullptr;
    }
    return &*found;
}

const json& requiredObject(const json& object, const char* key, const std::string& at) {
    const json& value = required(object, key, at);
    expectType(value, json::value_t::object, "an object", pointer(at, key));
    return value;
}

std::string readString(const json& value, const std::string& at) {
    expectType(value, json::value_t::string, "a string", at);
    return value.get<std::string>();
}

std::string requiredString(const json& object, const char* key, const std::string& at) {
    return readString(required(object, key, at), pointer(at, key));
}

bool readBool(const json& value, const std::string& at) {
    expectType(value, json::value_t::boolean, "true or false", at);
    return value.get<bool>();
}

std::int64_t requiredInteger(const json& object, const char* key, const std::string& at) {
    const json& value = required(object, key, at);
    std::string here = pointer(at, key);
    expectType(value, json::value_t::number_integer, "an integer", here);
    if (value.is_number_unsigned() &&
        value.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        invalid("integer out of the 64-bit range: " + shown(value), here);
    }
    return value.get<std::int64_t>();
}

double requiredNumber(const json& object, const char* key, const std::string& at) {
    const json& value = required(object, key, at);
    std::string here = pointer(at, key);
    if (!value.is_number()) {
        mismatch(value, "a number", here);
    }
    double number = value.get<double>();
    // The parser turns a literal such as 1e999 into an infinity; no size can hold it.
    if (!std::isfinite(number)) {
        invalid("number out of range", here);
    }
    return number;
}

template <typename E> E readEnum(const json& value, const std::string& at) {
    std::string text = readString(value, at);
    if (auto parsed = fromRawValue<E>(text)) {
        return *parsed;
    }
    std::string known;
    for (const auto& [item, raw] : RawValues<E>::table) {
        known += known.empty() ? "\"" : ", \"";
        known += raw;
        known += "\"";
    }
    invalid("unknown value " + shown(value) + " (expected one of " + known + ")", at);
}

template <typename E> E requiredEnum(const json& object, const char* key, const std::string& at) {
    return readEnum<E>(required(object, key, at), pointer(at, key));
}

ColorManagement readColor(const json& object, const std::string& at) {
    // Exactly one of the two known cases; any other member is ignored.
    auto app = object.find("app");
    auto driver = object.find("driver");
    if ((app == object.end()) == (driver == object.end())) {
        throw RecipeJSONError(RecipeJSONErrorCode::invalidNumberOfKeys, location(at));
    }
    if (driver != object.end()) {
        expectType(*driver, json::value_t::object, "an object", pointer(at, "driver"));
        return ColorManagement::driver();
    }
    std::string here = pointer(at, "app");
    expectType(*app, json::value_t::object, "an object", here);
    const json& profileObject = requiredObject(*app, "profile", here);
    std::string profileAt = pointer(here, "profile");
    ProfileReference profile(requiredString(profileObject, "path", profileAt),
                             requiredString(profileObject, "description", profileAt),
                             requiredString(profileObject, "md5", profileAt));
    auto intent = requiredEnum<RenderingIntent>(*app, "intent", here);
    bool blackPoint =
        readBool(required(*app, "blackPointCompensation", here), pointer(here, "blackPointCompensation"));
    return ColorManagement::application(std::move(profile), intent, blackPoint);
}

} // namespace

std::string encode(const PaperRecipe& recipe) {
    checkWritable(recipe);
    return document(recipe).dump(2);
}

nlohmann::json parseDocument(std::string_view bytes) {
    try {
        return nlohmann::json::parse(bytes.begin(), bytes.end());
    } catch (const nlohmann::json::exception& error) {
        throw RecipeJSONError(RecipeJSONErrorCode::invalidDocument, error.what());
    }
}

std::int64_t schemaVersion(const nlohmann::json& document) {
    expectType(document, json::value_t::object, "an object", "");
    return requiredInteger(document, "schemaVersion", "");
}

PaperRecipe decodeDocument(const nlohmann::json& document) {
    const std::string top;
    expectType(document, json::value_t::object, "an object", top);
    PaperRecipe recipe;
    recipe.schemaVersion = requiredInteger(document, "schemaVersion", top);

    std::string idText = requiredString(document, "id", top);
    auto id = Uuid::parse(idText);
    if (!id) {
        invalid("not a UUID: " + shown(json(idText)), "/id");
    }
    recipe.id = *id;
    recipe.version = requiredInteger(document, "version", top);
    recipe.name = requiredString(document, "name", top);

    const json& printer = requiredObject(document, "printer", top);
    recipe.printer.queue = requiredString(printer, "queue", "/printer");
    recipe.printer.model = requiredString(printer, "model", "/printer");

    recipe.media = requiredString(document, "media", top);
    recipe.sheet = requiredString(document, "sheet", top);
    if (const json* size = optional(document, "customSheet")) {
        expectType(*size, json::value_t::object, "an object", "/customSheet");
        CustomSheetSize sheet;
        sheet.width = requiredNumber(*size, "width", "/customSheet");
        sheet.height = requiredNumber(*size, "height", "/customSheet");
        recipe.customSheet = sheet;
    }
    recipe.source = requiredString(document, "source", top);
    recipe.quality = requiredEnum<PrintQuality>(document, "quality", top);
    recipe.ink = requiredEnum<InkMode>(document, "ink", top);
    recipe.color = readColor(requiredObject(document, "color", top), "/color");
    if (const json* level = optional(document, "sharpening")) {
        recipe.sharpening = readEnum<OutputSharpening>(*level, "/sharpening");
    }
    if (const json* bleed = optional(document, "bleedCompensation")) {
        recipe.bleedCompensation = readBool(*bleed, "/bleedCompensation");
    }

    const json& overrides = requiredObject(document, "driverOverrides", top);
    for (auto member = overrides.begin(); member != overrides.end(); ++member) {
        recipe.driverOverrides.emplace(member.key(),
                                       readString(member.value(), pointer("/driverOverrides", member.key())));
    }
    recipe.notes = requiredString(document, "notes", top);

    std::string dateText = requiredString(document, "updatedAt", top);
    auto date = Dates::parseRFC3339(dateText);
    if (!date) {
        invalid("not an RFC 3339 date-time with a time zone: " + shown(json(dateText)), "/updatedAt");
    }
    recipe.updatedAt = *date;
    return recipe;
}

PaperRecipe decode(std::string_view bytes) {
    return decodeDocument(parseDocument(bytes));
}

} // namespace RecipeJSON
} // namespace PrintKit
