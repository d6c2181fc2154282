#include "PrintKit/render/layout/LayoutJSON.h"

#include <stdexcept>

namespace PrintKit::LayoutJSON {

namespace {

using nlohmann::json;

// at() throws for a missing member or a value that is not an object; get<> for a value of another JSON type.
double number(const json& object, const char* key) {
    return object.at(key).get<double>();
}

bool flag(const json& object, const char* key) {
    return object.at(key).get<bool>();
}

const json& members(const json& value) {
    if (!value.is_object()) {
        throw json::type_error::create(302, std::string("type must be object, but is ") + value.type_name(),
                                       &value);
    }
    return value;
}

} // namespace

json encode(const Margins& margins) {
    return json{
        {"top", margins.top}, {"left", margins.left}, {"bottom", margins.bottom}, {"right", margins.right}};
}

Margins decodeMargins(const json& value) {
    const json& object = members(value);
    return Margins{number(object, "top"), number(object, "left"), number(object, "bottom"),
                   number(object, "right")};
}

json encode(const ImageFit& fit) {
    switch (fit.kind) {
    case ImageFit::Kind::exactSize:
        return json{{"exactSize",
                     json{{"width", fit.width}, {"height", fit.height}, {"turnToPhoto", fit.turnToPhoto}}}};
    case ImageFit::Kind::fit:
        return json{{"fit", json::object()}};
    case ImageFit::Kind::fill:
        return json{{"fill", json::object()}};
    }
    return json::object();
}

ImageFit decodeImageFit(const json& value) {
    const json& object = members(value);
    // Members that name no case are not counted, so a document may carry extra members beside its case.
    int cases = 0;
    for (const char* key : {"exactSize", "fit", "fill"}) {
        cases += object.contains(key) ? 1 : 0;
    }
    if (cases != 1) {
        throw std::invalid_argument("Invalid number of keys found, expected one.");
    }
    if (object.contains("exactSize")) {
        const json& size = members(object.at("exactSize"));
        return ImageFit::exactSize(number(size, "width"), number(size, "height"), flag(size, "turnToPhoto"));
    }
    if (object.contains("fit")) {
        members(object.at("fit"));
        return ImageFit::fit();
    }
    members(object.at("fill"));
    return ImageFit::fill();
}

json encode(const GridSpec& spec) {
    return json{{"cellWidth", spec.cellWidth},
                {"cellHeight", spec.cellHeight},
                {"turnsToFitMore", spec.turnsToFitMore},
                {"gap", spec.gap},
                {"fitsWhole", spec.fitsWhole},
                {"rotatesToFit", spec.rotatesToFit},
                {"cutMarks", spec.cutMarks},
                {"captions", spec.captions}};
}

GridSpec decodeGridSpec(const json& value) {
    const json& object = members(value);
    GridSpec spec;
    spec.cellWidth = number(object, "cellWidth");
    spec.cellHeight = number(object, "cellHeight");
    spec.turnsToFitMore = flag(object, "turnsToFitMore");
    spec.gap = number(object, "gap");
    spec.fitsWhole = flag(object, "fitsWhole");
    spec.rotatesToFit = flag(object, "rotatesToFit");
    spec.cutMarks = flag(object, "cutMarks");
    spec.captions = flag(object, "captions");
    return spec;
}

} // namespace PrintKit::LayoutJSON
