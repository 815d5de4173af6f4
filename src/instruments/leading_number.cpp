// SPDX-License-Identifier: GPL-3.0-or-later
#include "instruments/leading_number.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace varkelon {

namespace {

bool ignored(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

bool is_digit(char c, int base) {
    if (c >= '0' && c <= '9') {
        return c - '0' < base;
    }
    const char lower = static_cast<char>(c | 0x20);
    return base == 16 && lower >= 'a' && lower <= 'f';
}

int digit_value(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// Digits of `base` from the start of `s`; a double carries any length.
double read_integer(std::string_view s, int base) {
    double value = 0;
    for (char c : s) {
        if (!is_digit(c, base)) {
            break;
        }
        value = value * base + digit_value(c);
    }
    return value;
}

} // namespace

double leading_number(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (!ignored(c)) {
            s.push_back(c);
        }
    }

    if (s.size() >= 2 && s[0] == '&') {
        const char kind = static_cast<char>(s[1] | 0x20);
        if (kind == 'h') {
            return read_integer(std::string_view(s).substr(2), 16);
        }
        if (kind == 'o') {
            return read_integer(std::string_view(s).substr(2), 8);
        }
        return 0;
    }

    // The longest prefix that forms a number, rewritten for from_chars,
    // which reads no "+", no "D" exponent and no decimal comma of a locale.
    std::string number;
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    bool mantissa_digits = false;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (is_digit(s[i], 10)) {
            number.push_back(s[i]);
            mantissa_digits = true;
        } else if (s[i] == '.' && !point) {
            number.push_back('.');
            point = true;
        } else {
            break;
        }
    }
    if (!mantissa_digits) {
        return 0;
    }
    bool exponent_negative = false;
    if (i < s.size() && ((s[i] | 0x20) == 'e' || (s[i] | 0x20) == 'd')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            exponent_negative = s[j] == '-';
            exponent.push_back(s[j]);
            ++j;
        }
        const std::size_t first_digit = j;
        while (j < s.size() && is_digit(s[j], 10)) {
            exponent.push_back(s[j]);
            ++j;
        }
        if (j > first_digit) { // an "E" without digits ends the number before it
            number += exponent;
        }
    }

    double value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                           std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Too small reads 0; too large an infinity. A zero mantissa is 0 whatever its exponent.
        const bool zero = number.find_first_of("123456789") > number.find_first_of("eE");
        value = exponent_negative || zero ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc{}) {
        value = 0;
    }
    return negative ? -value : value;
}

} // namespace varkelon
