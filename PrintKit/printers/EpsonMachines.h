// The printer models this program knows by name: what each is sold as in each market, how its driver and
// its network announcements name it, and which installer file brings its driver. The market follows the
// user's region, which also picks the maker's support page to send the user to.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace PrintKit {

enum class EpsonMarket { northAmerica, latinAmerica, asia, japan, other };

namespace EpsonMarkets {

// The market of a region code (ISO 3166 alpha-2, any case); an unknown code or none gives other.
EpsonMarket of(const std::optional<std::string>& region);
// The maker's driver support page for the region: Brazil has its own, every other region its market's.
std::string supportPage(const std::optional<std::string>& region);
// Every market, in declaration order.
const std::vector<EpsonMarket>& all();

} // namespace EpsonMarkets

struct EpsonMachine {
    std::string bundle; // the driver's machine folder name, e.g. "SC-P900 Series": the machine's identity
    std::vector<std::pair<EpsonMarket, std::string>> names; // sales names by market
    std::vector<std::string> keys; // model texts naming the machine in driver and printer model strings
    std::string installer;         // the driver installer's file name on the driver server

    // The sales name for the market, else the one for other, else the bundle.
    std::string name(EpsonMarket market) const;
    // True when the model text names this machine. Both sides are compared upper-cased without spaces,
    // hyphens, a leading "EPSON" or a trailing "Series", and must then be equal: "EPSON SC-P900 Series"
    // is an SC-P900, "SC-P9000" is not.
    bool matchesModel(std::string_view model) const;

    friend bool operator==(const EpsonMachine&, const EpsonMachine&) = default;
};

namespace EpsonMachines {

// SC-P900, SC-P700, ET-8550, ET-8500, in that order.
const std::vector<EpsonMachine>& all();
// The first machine the model text names; null when none.
const EpsonMachine* forModel(std::string_view model);
// The model text reduced to what matchesModel compares.
std::string normalizedModel(std::string_view model);

} // namespace EpsonMachines

} // namespace PrintKit
