// The JSON forms of the layout records the application keeps between runs: Margins, ImageFit and GridSpec.
// Readers are strict: every member is required and must have its JSON type; a wrong document throws the JSON
// layer's own error (nlohmann::json::exception), or std::invalid_argument for an ImageFit that does not name
// exactly one case.
#pragma once

#include "PrintKit/render/layout/GridSpec.h"
#include "PrintKit/render/layout/ImageFit.h"
#include "PrintKit/support/Geometry.h"

#include <nlohmann/json.hpp>

namespace PrintKit::LayoutJSON {

// {"top": …, "left": …, "bottom": …, "right": …}
nlohmann::json encode(const Margins& margins);
Margins decodeMargins(const nlohmann::json& json);

// {"exactSize": {"width": …, "height": …, "turnToPhoto": …}}, {"fit": {}} or {"fill": {}}
nlohmann::json encode(const ImageFit& fit);
ImageFit decodeImageFit(const nlohmann::json& json);

// The eight members of GridSpec under their own names.
nlohmann::json encode(const GridSpec& spec);
GridSpec decodeGridSpec(const nlohmann::json& json);

} // namespace PrintKit::LayoutJSON
