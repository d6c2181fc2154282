#include "PrintKit/support/Numbers.h"

#include "GermanLocale.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <limits>

using namespace PrintKit;

TEST(NumbersTest, FixedAndGeneralFollowPrintfAndSpellNonFiniteValuesOut) {
    EXPECT_EQ(Numbers::fixed(0.125, 2), "0.12"); // an exact binary tie rounds to even, as printf does
    EXPECT_EQ(Numbers::fixed(-1.5, 0), "-2");
    EXPECT_EQ(Numbers::fixed(-0.0, 1), "-0.0");
    EXPECT_EQ(Numbers::fixed(1e20, 1), "100000000000000000000.0");
    for (double v : {300.0, 0.375, 2.675, 0.1, 1.05, 123.456, 9999.995, 1.0 / 3}) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.2f", v);
        EXPECT_EQ(Numbers::fixed(v, 2), expected) << v;
    }
    for (double v : {0.0001234567, 123456789.0, 1.5, 100000.0, 1e6}) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%g", v);
        EXPECT_EQ(Numbers::general(v), expected) << v;
    }
    EXPECT_EQ(Numbers::fixed(std::numeric_limits<double>::quiet_NaN(), 2), "nan");
    EXPECT_EQ(Numbers::fixed(std::numeric_limits<double>::infinity(), 2), "inf");
    EXPECT_EQ(Numbers::shortest(-std::numeric_limits<double>::infinity()), "-inf");
    for (double v : {0.1, 432.00000000000006, 152.39999999999998, 1e-300, 5e-324, 1.7976931348623157e308}) {
        EXPECT_EQ(Numbers::parseDouble(Numbers::shortest(v)), v) << Numbers::shortest(v);
    }
    EXPECT_EQ(Numbers::shortest(72), "72");
}

TEST(NumbersTest, ParsingTakesOnlyFiniteDecimalNumbersAndIntegersRefuseOverflow) {
    EXPECT_EQ(Numbers::parseDouble("595.28"), 595.28);
    EXPECT_EQ(Numbers::parseDouble("-.5"), -0.5);
    EXPECT_EQ(Numbers::parseDouble("1e3"), 1000.0);
    for (const char* bad : {"", " 1", "1 ", "nan", "NaN", "inf", "-inf", "infinity", "1e999", "1,5", "+-1",
                            "0x10", "abc", "."}) {
        EXPECT_FALSE(Numbers::parseDouble(bad)) << bad;
    }
    auto n = Numbers::parseDoublePrefix("  12.5 34");
    ASSERT_TRUE(n);
    EXPECT_EQ(std::pair(n->value, n->length), std::pair(12.5, std::size_t{6}));
    EXPECT_FALSE(Numbers::parseDoublePrefix("nan 3"));
    EXPECT_EQ(Numbers::parseInteger("+7"), 7);
    EXPECT_EQ(Numbers::parseInteger("-7"), -7);
    for (const char* bad : {"9223372036854775808", "4.0", ""}) {
        EXPECT_FALSE(Numbers::parseInteger(bad)) << bad;
    }
    EXPECT_EQ(Numbers::integer(-9223372036854775807 - 1), "-9223372036854775808");
}

TEST(NumbersTest, GermanLocaleChangesPrintfButNothingWeWrite) {
    std::string before[] = {Numbers::fixed(300, 2), Numbers::shortest(0.1), Numbers::general(1234.5)};
    GermanLocale german;
    if (!german.active()) {
        GTEST_SKIP() << "de_DE.UTF-8 is not generated on this machine";
    }
    char printed[32];
    std::snprintf(printed, sizeof printed, "%.2f", 300.0);
    ASSERT_STREQ(printed, "300,00"); // the locale really is in force
    EXPECT_EQ(Numbers::fixed(300, 2), before[0]);
    EXPECT_EQ(Numbers::shortest(0.1), before[1]);
    EXPECT_EQ(Numbers::general(1234.5), before[2]);
    EXPECT_EQ(Numbers::parseDouble("300.00"), 300.0);
    EXPECT_FALSE(Numbers::parseDouble("300,00"));
}
