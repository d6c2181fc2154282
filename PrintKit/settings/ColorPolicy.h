// Who colour-matches a print: the application, through the paper profile, or the driver's own adjustment.
#pragma once

#include "PrintKit/support/RawValue.h"

#include <nlohmann/json_fwd.hpp>
#include <string_view>
#include <utility>

namespace PrintKit {

enum class ColorPolicy { app, driver };

template <> struct RawValues<ColorPolicy> {
    static constexpr std::array<std::pair<ColorPolicy, std::string_view>, 2> table{{
        {ColorPolicy::app, "app"},
        {ColorPolicy::driver, "driver"},
    }};
};

// Coded as its text; reading any other text throws nlohmann::json::type_error.
void to_json(nlohmann::json& json, ColorPolicy policy);
void from_json(const nlohmann::json& json, ColorPolicy& policy);

} // namespace PrintKit
