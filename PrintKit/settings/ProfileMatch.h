// One profile proposed for a paper: how well its words cover the paper's, and whether it names this printer.
#pragma once

#include "PrintKit/settings/ICCProfileInfo.h"

namespace PrintKit {

struct ProfileMatch {
    ICCProfileInfo profile;
    double score = 0;       // 0…1, the share of the media label's words the profile's name covers
    bool sameModel = false; // its name or description names the queue's printer model

    friend bool operator==(const ProfileMatch&, const ProfileMatch&) = default;
};

} // namespace PrintKit
