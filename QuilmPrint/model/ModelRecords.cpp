#include "QuilmPrint/model/ModelRecords.h"

#include "PrintKit/render/layout/CanvasTurn.h"

namespace QuilmPrint {

PreparedSheet PreparedSheet::turned() const {
    if (isTurnedCanvas) {
        return *this;
    }
    PreparedSheet sheet = *this;
    sheet.page = PrintKit::CanvasTurn::canvas(page);
    if (paper) {
        sheet.paper = PrintKit::CanvasTurn::canvas(*paper);
    }
    if (bleed) {
        sheet.bleed = PrintKit::CanvasTurn::canvas(*bleed, page);
    }
    sheet.isTurnedCanvas = true;
    return sheet;
}

std::string PrinterChoice::name() const {
    if (ppd && !ppd->nickName.empty()) {
        return ppd->nickName;
    }
    if (!queue.makeAndModel.empty()) {
        return queue.makeAndModel;
    }
    return queue.name;
}

const std::vector<GridTemplate>& GridTemplate::all() {
    // Switches in the order autoTurn, fitsWhole, rotatesToFit, cutMarks, captions, repeatsOne.
    static const std::vector<GridTemplate> templates{
        {QStringLiteral("4×6 모음 (10×15cm)"), {101.6, 152.4, 3, true, false, true, true, false, false}},
        {QStringLiteral("5×7 모음 (13×18cm)"), {127, 177.8, 3, true, false, true, true, false, false}},
        {QStringLiteral("지갑 사진 (6.4×8.9cm)"), {63.5, 88.9, 3, true, false, true, true, false, false}},
        {QStringLiteral("증명사진 (3.5×4.5cm)"), {35, 45, 2, true, false, true, true, false, true}},
        {QStringLiteral("반명함 (3×4cm)"), {30, 40, 2, true, false, true, true, false, true}},
        {QStringLiteral("밀착인화"), {36, 27, 4, true, true, false, false, true, false}},
    };
    return templates;
}

} // namespace QuilmPrint
