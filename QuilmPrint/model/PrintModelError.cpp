#include "QuilmPrint/model/PrintModelError.h"

namespace QuilmPrint {

std::string errorMessage(PrintModelErrorCode code, const std::string& detail) {
    switch (code) {
    case PrintModelErrorCode::loadingPrinters:
        return "프린터를 찾는 중입니다";
    case PrintModelErrorCode::noPrinter:
        return "프린터를 고르세요";
    case PrintModelErrorCode::noPPD:
        return "드라이버 정보를 읽지 못했습니다";
    case PrintModelErrorCode::noRecipe:
        return "레시피가 없습니다";
    case PrintModelErrorCode::notEpson:
        return "Epson 드라이버로 연결되지 않았습니다";
    case PrintModelErrorCode::missingProfile:
        return "용지 프로파일 파일이 없습니다: " + detail;
    case PrintModelErrorCode::noProfiles:
        return "이 프린터에 쓸 ICC 프로파일을 찾지 못했습니다";
    case PrintModelErrorCode::recipeNotSaved:
        return "레시피를 저장하지 못했습니다: " + detail;
    case PrintModelErrorCode::recipeNotDeleted:
        return "레시피를 지우지 못했습니다: " + detail;
    }
    return {};
}

} // namespace QuilmPrint
