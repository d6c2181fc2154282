// Proposes paper profiles for a recipe's media by the words of their names: profiles whose file name or
// description covers the media label's words score high, those made for this printer model come first, and
// those that name the printer's maker together with another model are dropped. No file is read.
#pragma once

#include "PrintKit/settings/ICCProfileInfo.h"
#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/settings/ProfileMatch.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace PrintKit::ProfileMatcher {

using WordSet = std::set<std::string>;

// The profiles scoring at least minimumScore against the media label, same-model ones first, then by
// score; equal ones keep the order of `profiles`. Only the PPD's manufacturer, modelName and nickName are
// read. An empty list when the label has no paper words.
std::vector<ProfileMatch> matches(std::string_view mediaLabel, const PPDFile& ppd,
                                  const std::vector<ICCProfileInfo>& profiles, double minimumScore);

// The lower-case words of a text, in order, duplicates kept: camel case is split (PremiumGlossy → premium,
// glossy) and every character that is neither a letter nor a number separates.
std::vector<std::string> words(std::string_view text);

// The words that can name a paper: at least three characters, no number character, not in `ignoring`.
WordSet paperWords(std::string_view text, const WordSet& ignoring);

// The words that can name a printer model: every word holding a number character, plus a model written
// with a shared prefix (SC-P700/900 gives p700, 900 and p900).
WordSet modelWords(std::string_view text);

} // namespace PrintKit::ProfileMatcher
