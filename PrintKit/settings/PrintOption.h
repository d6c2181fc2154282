// One driver option of a print job: a PPD option keyword and its choice key. Lists of them are kept in the
// order CUPS receives them.
#pragma once

#include <cstddef>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <string>

namespace PrintKit {

struct PrintOption {
    std::string key;
    std::string value;

    friend bool operator==(const PrintOption&, const PrintOption&) = default;
};

// {"key": …, "value": …}, both required texts.
void to_json(nlohmann::json& json, const PrintOption& option);
void from_json(const nlohmann::json& json, PrintOption& option);

} // namespace PrintKit

template <> struct std::hash<PrintKit::PrintOption> {
    std::size_t operator()(const PrintKit::PrintOption& option) const noexcept;
};
