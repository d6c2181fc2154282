// The colour target of a sheet: the paper's ICC profile when the application manages colour (the printed
// samples are the paper's device RGB), or sRGB when the printer driver does.
#pragma once

#include "PrintKit/settings/RenderingIntent.h"

#include <filesystem>
#include <utility>

namespace PrintKit {

struct SheetColor {
    enum class Kind { paper, sRGB };

    Kind kind = Kind::sRGB;
    // Only meaningful for paper.
    std::filesystem::path profile;
    RenderingIntent intent = RenderingIntent::perceptual;
    bool blackPointCompensation = false;

    static SheetColor paper(std::filesystem::path profile, RenderingIntent intent,
                            bool blackPointCompensation) {
        return {Kind::paper, std::move(profile), intent, blackPointCompensation};
    }
    static SheetColor sRGB() { return {}; }

    bool isPaper() const { return kind == Kind::paper; }

    // sRGB carries nothing, so two of them are equal whatever the unused fields hold.
    friend bool operator==(const SheetColor& a, const SheetColor& b) {
        if (a.kind != b.kind) {
            return false;
        }
        return a.kind == Kind::sRGB || (a.profile == b.profile && a.intent == b.intent &&
                                        a.blackPointCompensation == b.blackPointCompensation);
    }
};

} // namespace PrintKit
