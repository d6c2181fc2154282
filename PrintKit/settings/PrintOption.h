// One driver option of a print job: a PPD option keyword and its choice key. Lists of them are kept in the
// order CUPS receives them.
#pragma once

#include <string>

namespace PrintKit {

struct PrintOption {
    std::string key;
    std::string value;

    friend bool operator==(const PrintOption&, const PrintOption&) = default;
};

} // namespace PrintKit
