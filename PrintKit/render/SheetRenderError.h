// The errors of reading and rendering a sheet: a photo that cannot be read (carrying its path), or an
// image, colour space or working bitmap that cannot be made.
#pragma once

#include "PrintKit/support/Error.h"

#include <string>

namespace PrintKit {

enum class SheetRenderErrorCode {
    unreadableImage,   // detail: the photo's path
    cannotCreateImage, // no detail
};

std::string errorMessage(SheetRenderErrorCode code, const std::string& detail);

using SheetRenderError = ServiceError<SheetRenderErrorCode>;

} // namespace PrintKit
