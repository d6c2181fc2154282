#include "PrintKit/printers/EpsonMachines.h"

#include <algorithm>
#include <array>

namespace PrintKit {

namespace {

using Market = EpsonMarket;

constexpr std::array<std::string_view, 27> latinAmerica{"MX", "BR", "AR", "CL", "CO", "PE", "VE", "EC", "BO",
                                                        "PY", "UY", "CR", "PA", "GT", "HN", "SV", "NI", "DO",
                                                        "CU", "JM", "TT", "BS", "BB", "BZ", "GY", "SR", "HT"};
constexpr std::array<std::string_view, 21> asia{"KR", "CN", "TW", "HK", "MO", "SG", "TH",
                                                "MY", "ID", "PH", "VN", "IN", "KH", "LA",
                                                "MM", "BD", "LK", "NP", "PK", "MN", "BN"};

std::string asciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

template <std::size_t N> bool among(const std::array<std::string_view, N>& codes, std::string_view code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

} // namespace

namespace EpsonMarkets {

EpsonMarket of(const std::optional<std::string>& region) {
    if (!region) {
        return Market::other;
    }
    const std::string code = asciiUpper(*region);
    if (code == "JP") {
        return Market::japan;
    }
    if (code == "US" || code == "CA" || code == "PR") {
        return Market::northAmerica;
    }
    if (among(latinAmerica, code)) {
        return Market::latinAmerica;
    }
    if (among(asia, code)) {
        return Market::asia;
    }
    return Market::other;
}

std::string supportPage(const std::optional<std::string>& region) {
    if (region && asciiUpper(*region) == "BR") {
        return "https://epson.com.br/sl/s";
    }
    switch (of(region)) {
    case Market::latinAmerica:
        return "https://latin.epson.com/sl/s";
    case Market::asia:
        return "https://www.epson.com.sg/Support/sl/s";
    case Market::japan:
        return "https://www.epson.jp/support/";
    case Market::northAmerica:
    case Market::other:
        break;
    }
    return "https://epson.com/Support/sl/s";
}

const std::vector<EpsonMarket>& all() {
    static const std::vector<EpsonMarket> markets{Market::northAmerica, Market::latinAmerica, Market::asia,
                                                  Market::japan, Market::other};
    return markets;
}

} // namespace EpsonMarkets

std::string EpsonMachine::name(EpsonMarket market) const {
    for (EpsonMarket wanted : {market, Market::other}) {
        for (const auto& [each, text] : names) {
            if (each == wanted) {
                return text;
            }
        }
    }
    return bundle;
}

bool EpsonMachine::matchesModel(std::string_view model) const {
    const std::string wanted = EpsonMachines::normalizedModel(model);
    if (wanted.empty()) {
        return false;
    }
    return std::any_of(keys.begin(), keys.end(),
                       [&](const std::string& key) { return EpsonMachines::normalizedModel(key) == wanted; });
}

namespace EpsonMachines {

std::string normalizedModel(std::string_view model) {
    std::string text;
    for (char c : asciiUpper(model)) {
        if (c != ' ' && c != '-' && c != '\t') {
            text += c;
        }
    }
    if (text.rfind("EPSON", 0) == 0) {
        text.erase(0, 5);
    }
    if (endsWith(text, "SERIES")) {
        text.resize(text.size() - 6);
    }
    return text;
}

const std::vector<EpsonMachine>& all() {
    static const std::vector<EpsonMachine> machines{
        {"SC-P900 Series",
         {{Market::northAmerica, "SureColor P900"},
          {Market::latinAmerica, "SureColor P900"},
          {Market::other, "SC-P900"}},
         {"SC-P900", "SureColor P900"},
         "SC-P900_Series_Driver.dmg"},
        {"SC-P700 Series",
         {{Market::northAmerica, "SureColor P700"},
          {Market::latinAmerica, "SureColor P700"},
          {Market::other, "SC-P700"}},
         {"SC-P700", "SureColor P700"},
         "SC-P700_Series_Driver.dmg"},
        {"ET-8550 Series",
         {{Market::northAmerica, "EcoTank Photo ET-8550"}, {Market::other, "ET-8550"}},
         {"ET-8550", "EcoTank Photo ET-8550", "EcoTank ET-8550"},
         "ET-8550_Series_Driver.dmg"},
        {"ET-8500 Series",
         {{Market::northAmerica, "EcoTank Photo ET-8500"}, {Market::other, "ET-8500"}},
         {"ET-8500", "EcoTank Photo ET-8500", "EcoTank ET-8500"},
         "ET-8500_Series_Driver.dmg"},
    };
    return machines;
}

const EpsonMachine* forModel(std::string_view model) {
    for (const EpsonMachine& machine : all()) {
        if (machine.matchesModel(model)) {
            return &machine;
        }
    }
    return nullptr;
}

} // namespace EpsonMachines

} // namespace PrintKit
