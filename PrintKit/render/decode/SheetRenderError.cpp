#include "PrintKit/render/decode/SheetRenderError.h"

namespace PrintKit {

std::string errorMessage(SheetRenderErrorCode code, const std::string& detail) {
    switch (code) {
    case SheetRenderErrorCode::unreadableImage:
        return "사진을 읽지 못했습니다: " + detail;
    case SheetRenderErrorCode::cannotCreateImage:
        return "인쇄용 이미지를 만들지 못했습니다";
    case SheetRenderErrorCode::notEnoughSpace:
        return "인쇄 파일을 저장할 공간이 부족합니다: " + detail;
    }
    return "인쇄용 이미지를 만들지 못했습니다";
}

} // namespace PrintKit
