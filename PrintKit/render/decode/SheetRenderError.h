// The errors of reading and rendering a sheet: a photo that cannot be read (carrying its path), an image,
// colour space or working bitmap that cannot be made, or a folder without room for the finished sheet.
#pragma once

#include "PrintKit/support/Error.h"

#include <string>

namespace PrintKit {

enum class SheetRenderErrorCode {
    unreadableImage,   // detail: the photo's path
    cannotCreateImage, // no detail
    notEnoughSpace,    // detail: the folder, with the space the file needs and the space left
};

std::string errorMessage(SheetRenderErrorCode code, const std::string& detail);

using SheetRenderError = ServiceError<SheetRenderErrorCode>;

} // namespace PrintKit
