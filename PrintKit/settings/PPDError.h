// The two ways reading a queue's PPD file can fail. Everything short of these is tolerated line by line, so
// a caller either gets a whole model or one of these errors, never a partial model.
#pragma once

#include "PrintKit/support/Error.h"

#include <string>

namespace PrintKit {

enum class PPDErrorCode {
    unreadable, // detail: the file's path
    notAPPD,    // detail: the source name given to the parser
};

std::string errorMessage(PPDErrorCode code, const std::string& detail);

using PPDError = ServiceError<PPDErrorCode>;

} // namespace PrintKit
