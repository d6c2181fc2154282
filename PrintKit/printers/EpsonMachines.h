// The printer models the application knows by name, and the markets that name them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace PrintKit {

enum class EpsonMarket { northAmerica, latinAmerica, asia, japan, other };

namespace EpsonMarkets {
EpsonMarket of(const std::optional<std::string>& region);
std::string supportPage(const std::optional<std::string>& region);
const std::vector<EpsonMarket>& all();
} // namespace EpsonMarkets

struct EpsonMachine {
    std::string bundle;
    std::vector<std::pair<EpsonMarket, std::string>> names;
    std::vector<std::string> keys;
    std::string installer;

    std::string name(EpsonMarket market) const;
    bool matchesModel(std::string_view model) const;

    friend bool operator==(const EpsonMachine&, const EpsonMachine&) = default;
};

namespace EpsonMachines {
const std::vector<EpsonMachine>& all();
const EpsonMachine* forModel(std::string_view model);
} // namespace EpsonMachines

} // namespace PrintKit
