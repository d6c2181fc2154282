// The model's own errors: the reasons that block printing, and the few failures of its operations.
#pragma once

#include "PrintKit/support/Error.h"

#include <string>

namespace QuilmPrint {

enum class PrintModelErrorCode {
    loadingPrinters, // "프린터를 찾는 중입니다"
    noPrinter,       // "프린터를 고르세요"
    noPPD,           // "드라이버 정보를 읽지 못했습니다"
    noRecipe,        // "레시피가 없습니다"
    notEpson,        // "Epson 드라이버로 연결되지 않았습니다"
    missingProfile,  // "용지 프로파일 파일이 없습니다: " + path
    noProfiles,      // "이 프린터에 쓸 ICC 프로파일을 찾지 못했습니다"
    recipeNotSaved,   // "레시피를 저장하지 못했습니다: " + the file system's reason
    recipeNotDeleted, // "레시피를 지우지 못했습니다: " + the file system's reason
};

std::string errorMessage(PrintModelErrorCode code, const std::string& detail);

using PrintModelError = PrintKit::ServiceError<PrintModelErrorCode>;

} // namespace QuilmPrint
