// SPDX-License-Identifier: GPL-3.0-or-later
// The number a typed instrument entry begins with.

#include "instruments/leading_number.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <limits>
#include <string>

namespace varkelon {
namespace {

struct Case {
    std::string text;
    double value;
};

// The typed text, quoted, with the blanks that matter shown.
void PrintTo(const Case& c, std::ostream* os) {
    *os << '"';
    for (const char ch : c.text) {
        switch (ch) {
        case '\t':
            *os << "\\t";
            break;
        case '\n':
            *os << "\\n";
            break;
        case '\r':
            *os << "\\r";
            break;
        default:
            *os << ch;
        }
    }
    *os << "\" -> " << c.value;
}

// A test name from the text: its letters and digits, the rest as "_", after
// the case's number (two texts can share their letters and digits).
std::string case_name(const ::testing::TestParamInfo<Case>& info) {
    std::string name = "n" + std::to_string(info.index) + "_";
    for (const char ch : info.param.text) {
        const auto u = static_cast<unsigned char>(ch);
        name += std::isalnum(u) != 0 && u < 0x80 ? ch : '_';
    }
    return name;
}

class LeadingNumber : public ::testing::TestWithParam<Case> {};

TEST_P(LeadingNumber, Reads) {
    EXPECT_DOUBLE_EQ(leading_number(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LeadingNumber,
    ::testing::Values(
        // what a user types
        Case{"12abc", 12}, Case{"1 2", 12}, Case{"1e2", 100}, Case{"&H20", 32}, Case{"&O17", 15},
        Case{"2,5", 2}, Case{"2.5", 2.5}, Case{"3.5", 3.5}, Case{"126.6", 126.6}, Case{"abc", 0},
        Case{"", 0}, Case{"-1D1", -10},
        // blanks, tabs and line feeds anywhere, even inside the exponent
        Case{" \t4\n2 ", 42}, Case{"1 e 2", 100}, Case{"- 5", -5}, Case{"&h 1f", 31},
        // sign, point and exponent forms
        Case{"+7", 7}, Case{"-.5", -0.5}, Case{".5", 0.5}, Case{"5.", 5}, Case{"1.2.3", 1.2},
        Case{"2d-1", 0.2}, Case{"1E+2", 100}, Case{"3e", 3}, Case{"3e+", 3}, Case{"3ex", 3},
        // no number at the start
        Case{".", 0}, Case{"-", 0}, Case{"+-1", 0}, Case{"e5", 0}, Case{"&", 0}, Case{"&X10", 0},
        Case{"&H", 0}, Case{"&Hg", 0}, Case{"&O8", 0}, Case{"\r5", 0},
        // other characters end the number
        Case{"7\r", 7}, Case{"1_000", 1}, Case{"&HFFz", 255}, Case{"&O779", 63},
        // a decimal comma never counts, whatever the desktop's locale says
        Case{"0,9", 0}, Case{"1e-400", 0}, Case{"0e999999", 0}),
    case_name);

TEST(LeadingNumberLimits, BeyondADoubleReadsAsAnInfinityOfItsSign) {
    EXPECT_EQ(leading_number("1E400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(leading_number("-1D400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(leading_number(std::string(400, '9')), std::numeric_limits<double>::infinity());
    EXPECT_EQ(leading_number("1e99999999999999999999"), std::numeric_limits<double>::infinity());
}

TEST(LeadingNumberLimits, LongTextsAreReadToTheEndWithoutTrouble) {
    EXPECT_EQ(leading_number(std::string(100000, ' ') + "12"), 12);
    EXPECT_EQ(leading_number("&H" + std::string(300, 'F')),
              std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ(leading_number("0." + std::string(5000, '0') + "1e5000"), 1e-1);
}

} // namespace
} // namespace varkelon
