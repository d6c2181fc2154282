// Turns wanted driver settings into the option list of a CUPS job: the PPD's defaults fill in what was not
// asked for, every value is checked against the PPD's choices, the options follow the PPD's order
// dependencies, the colour policy adds its colour-matching options, and settings the PPD does not define
// follow at the end in a fixed order.
#pragma once

#include "PrintKit/settings/ColorPolicy.h"
#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/settings/PrintOption.h"
#include "PrintKit/support/Error.h"

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace PrintKit {

enum class OptionResolverErrorCode {
    unknownChoice, // detail: the refused value
};

// A value that is not among an option's choices. Carries the option keyword, the refused value and the
// option's choice keys in PPD order.
class OptionResolverError : public Error {
public:
    OptionResolverError(std::string option, std::string choice, std::vector<std::string> available);

    OptionResolverErrorCode code() const noexcept { return OptionResolverErrorCode::unknownChoice; }
    const std::string& detail() const noexcept { return choice_; }
    const std::string& option() const noexcept { return option_; }
    const std::string& choice() const noexcept { return choice_; }
    const std::vector<std::string>& available() const noexcept { return available_; }
    std::string message() const { return what(); }

private:
    std::string option_;
    std::string choice_;
    std::vector<std::string> available_;
};

namespace OptionResolver {

using Settings = std::map<std::string, std::string>; // option keyword → choice key

// Option groups that describe installed hardware and are never sent.
const std::set<std::string, std::less<>>& hardwareGroups();

// The job's options. leavingOut: option keywords that are neither sent nor treated as leftovers.
// Throws OptionResolverError at the first option (in PPD order) whose value is not one of its choices.
std::vector<PrintOption> resolve(const PPDFile& ppd, const Settings& settings, ColorPolicy color,
                                 const std::set<std::string, std::less<>>& leavingOut);

// Copies the source option's value to the target option when the target is unset and offers that choice.
void mirror(Settings& settings, std::string_view source, std::string_view target, const PPDFile& ppd);

// Adds the colour-matching settings of the policy; a value already in the settings always wins.
void apply(ColorPolicy color, Settings& settings, const PPDFile& ppd);

} // namespace OptionResolver

} // namespace PrintKit
