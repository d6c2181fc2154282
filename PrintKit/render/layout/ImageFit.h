// How big one photo is printed on its page: fitted whole into the printable area, filling it (the overhang
// cut equally from both sides), or at an exact size in points that may turn to the photo's orientation.
#pragma once

namespace PrintKit {

struct ImageFit {
    enum class Kind { exactSize, fit, fill };

    Kind kind = Kind::fit;
    // Only meaningful for exactSize: the print size in points, and whether it may turn so that its long side
    // follows the photo's.
    double width = 0;
    double height = 0;
    bool turnToPhoto = false;

    static constexpr ImageFit exactSize(double width, double height, bool turnToPhoto) {
        return {Kind::exactSize, width, height, turnToPhoto};
    }
    static constexpr ImageFit fit() { return {Kind::fit, 0, 0, false}; }
    static constexpr ImageFit fill() { return {Kind::fill, 0, 0, false}; }

    // fit and fill carry no size, so two of them are equal whatever the unused fields hold.
    friend constexpr bool operator==(const ImageFit& a, const ImageFit& b) {
        if (a.kind != b.kind) {
            return false;
        }
        return a.kind != Kind::exactSize ||
               (a.width == b.width && a.height == b.height && a.turnToPhoto == b.turnToPhoto);
    }
};

} // namespace PrintKit
