#include "QuilmPrint/panels/NumberText.h"

#include "PanelTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace QuilmPrint;

TEST(NumberTextTest, ShowsAtMostOneDecimalWithoutTheLocale) {
    QLocale::setDefault(QLocale(QLocale::German));
    const std::pair<double, const char*> cases[] = {
        {210, "210"}, {101.6, "101.6"}, {101.64, "101.6"}, {101.96, "102"},      {5, "5"},
        {-2, "-2"},   {-0.04, "0"},     {0.05, "0.1"},     {1234567, "1234567"},
    };
    for (auto [value, text] : cases)
        EXPECT_EQ(NumberText::format(value), QString(text)) << value;
    QLocale::setDefault(QLocale::c());
}

TEST(NumberTextTest, ReadsDotNumbersAndTheLocalesOwnButNothingElse) {
    const QLocale german(QLocale::German), english(QLocale::English);
    struct Case {
        const char* text;
        QLocale locale;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"101.6", german, 101.6},
        {"101,6", german, 101.6},
        {" 3 ", english, 3.0},
        {"-2", english, -2.0},
        {"1e2", english, 100.0},
        {"101,6", english, std::nullopt},
        {"1,500", english, std::nullopt},
        {"1.500,5", german, std::nullopt},
        {"", german, std::nullopt},
        {"abc", german, std::nullopt},
        {"12mm", english, std::nullopt},
        {"nan", english, std::nullopt},
        {"inf", german, std::nullopt},
        {"-infinity", english, std::nullopt},
        {"1e999", german, std::nullopt},
        {"1,0e999", german, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NumberText::parse(c.text, c.locale), c.value)
            << c.text << " in " << c.locale.name().toStdString();
}

TEST(NumberTextTest, BoundsTurnNotANumberIntoTheMinimum) {
    EXPECT_EQ(NumberText::atLeast(2, 5), 5);
    EXPECT_EQ(NumberText::atLeast(101.6, 5), 101.6);
    EXPECT_EQ(NumberText::atLeast(-1, 0), 0);
    EXPECT_EQ(NumberText::atLeast(std::nan(""), 0), 0);
}

TEST(NumberTextTest, IdentityChangesWithTheTenths) {
    const std::pair<double, const char*> cases[] = {
        {101.6, "exact-w-1016"}, {101.64, "exact-w-1016"}, {101.69, "exact-w-1016"}, {101.7, "exact-w-1017"},
        {210, "exact-w-2100"},   {5, "exact-w-50"},        {-2.05, "exact-w--20"},   {0.04, "exact-w-0"},
    };
    for (auto [value, text] : cases)
        EXPECT_EQ(NumberText::identity("exact-w-", value), QString(text)) << value;
    // Beyond what 64 bits hold, and not a number at all: still an identity, and distinct ones.
    QString huge = NumberText::identity("g-", 1e300), larger = NumberText::identity("g-", 2e300);
    QString inf = NumberText::identity("g-", std::numeric_limits<double>::infinity());
    QString nan = NumberText::identity("g-", std::nan(""));
    EXPECT_TRUE(huge.startsWith("g-"));
    EXPECT_NE(huge, larger);
    EXPECT_NE(inf, nan);
    EXPECT_NE(NumberText::identity("g-", 9.2e17), NumberText::identity("g-", 9.3e17));
}
