#include "platform/scene/gltf/JsonWriter.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

#include "platform/Precondition.h"

namespace scene::gltf {

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (needsComma_) out_ += ',';
    needsComma_ = true;
}

void JsonWriter::open(char bracket) {
    beforeValue();
    out_ += bracket;
    needsComma_ = false;
}

void JsonWriter::close(char bracket) {
    out_ += bracket;
    needsComma_ = true;
}

void JsonWriter::key(std::string_view name) {
    value(name);
    out_ += ':';
    afterKey_ = true;
}

void JsonWriter::value(std::uint64_t number) {
    beforeValue();
    char buffer[24];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
    out_.append(buffer, end);
}

void JsonWriter::value(int number) {
    beforeValue();
    char buffer[16];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
    out_.append(buffer, end);
}

void JsonWriter::value(float number) {
    beforeValue();
    out_ += shortestText(number);
}

void JsonWriter::value(double number) {
    beforeValue();
    out_ += shortestText(number);
}

void JsonWriter::value(bool flag) {
    beforeValue();
    out_ += flag ? "true" : "false";
}

void JsonWriter::value(std::string_view text) {
    beforeValue();
    out_ += '"';
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out_ += '\\';
            out_ += c;
        } else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out_ += "\\u00";
            out_ += hex[u >> 4];
            out_ += hex[u & 15];
        } else {
            out_ += c;
        }
    }
    out_ += '"';
}

namespace {

// A number as decimal digits (no leading zeros) and a power of ten:
// value = digits × 10^exponent.
struct Decimal {
    char digits[24];
    int length = 0;
    int exponent = 0;
};

// A positive number written in scientific notation ("7.8945312e+00") as
// digits and a power of ten. Whatever stands between the digits, such as
// the point of the program's locale, is passed over.
Decimal fromScientific(const char* text) {
    Decimal decimal;
    const char* at = text;
    for (; *at != 'e'; ++at)
        if (*at >= '0' && *at <= '9') decimal.digits[decimal.length++] = *at;
    decimal.exponent = std::atoi(at + 1) - (decimal.length - 1);
    return decimal;
}

#if defined(__cpp_lib_to_chars)
// The fewest significant digits that read back as exactly `value`, and of
// those the ones nearest to it, from the C++ library.
template <class T>
Decimal shortestDecimal(T value) {
    char text[48];
    char* end =
        std::to_chars(text, text + sizeof text - 1, value, std::chars_format::scientific).ptr;
    *end = '\0';
    return fromScientific(text);
}
#else
// The page's C++ library has no floating-point std::to_chars: the same
// digits are found with the C library's exact printf and strtod.

// The C library reads numbers in the program's locale; ours are written
// with '.', so they are checked in the same spelling as they are read back.
template <class T>
T readBack(const Decimal& decimal) {
    char text[48];
    std::memcpy(text, decimal.digits, static_cast<std::size_t>(decimal.length));
    int n = decimal.length;
    text[n++] = 'e';
    n = static_cast<int>(std::to_chars(text + n, text + sizeof text - 1, decimal.exponent).ptr -
                         text);
    text[n] = '\0';
    if constexpr (std::is_same_v<T, float>)
        return std::strtof(text, nullptr);
    else
        return std::strtod(text, nullptr);
}

// `value` rounded to `precision` significant digits, nearest (ties to
// even) as the C library's printf rounds, which is exact.
Decimal rounded(double value, int precision) {
    char text[40];
    std::snprintf(text, sizeof text, "%.*e", precision - 1, value);
    return fromScientific(text);
}

// The next number of as many digits above or below: 1000 below is 9999,
// one power of ten down, and 9999 above is 1000, one up.
Decimal neighbour(const Decimal& decimal, bool up) {
    Decimal result = decimal;
    int i = result.length - 1;
    char wraps = up ? '9' : '0';
    while (i >= 0 && result.digits[i] == wraps) result.digits[i--] = up ? '0' : '9';
    if (i < 0) {
        // 99…9 + 1: 10…0, which is 100…0 with one digit less.
        result.digits[0] = '1';
        ++result.exponent;
        return result;
    }
    result.digits[i] = static_cast<char>(result.digits[i] + (up ? 1 : -1));
    if (result.digits[0] == '0') {
        // 10…0 − 1: 99…9 on the finer grid one power of ten down.
        std::memset(result.digits, '9', static_cast<std::size_t>(result.length));
        --result.exponent;
    }
    return result;
}

// The fewest significant digits that read back as exactly `value`, and of
// those the ones nearest to it: what std::to_chars gives, which the page's
// C++ library lacks for floating point. At each number of digits the only
// candidates are the two that enclose the value, the nearest one and its
// neighbour on the value's other side.
template <class T>
Decimal shortestDecimal(T value) {
    for (int precision = 1; precision < std::numeric_limits<T>::max_digits10; ++precision) {
        Decimal nearest = rounded(value, precision);
        if (readBack<T>(nearest) == value) return nearest;
        for (bool up : {false, true})
            if (Decimal other = neighbour(nearest, up); readBack<T>(other) == value) return other;
    }
    return rounded(value, std::numeric_limits<T>::max_digits10);
}
#endif

// Digits and exponent as the shorter of plain and scientific notation.
std::string format(bool negative, const Decimal& d) {
    std::string out;
    if (negative) out += '-';
    std::string_view digits(d.digits, static_cast<std::size_t>(d.length));
    int point = d.length + d.exponent;  // digits before the decimal point
    int scientificExponent = point - 1;
    char exponentText[8];
    auto exponentEnd =
        std::to_chars(exponentText, exponentText + sizeof exponentText, scientificExponent).ptr;
    std::size_t scientificLength = static_cast<std::size_t>(d.length) + (d.length > 1 ? 1 : 0) + 1 +
                                   static_cast<std::size_t>(exponentEnd - exponentText);
    std::size_t plainLength = d.exponent >= 0 ? static_cast<std::size_t>(point)
                              : point > 0     ? static_cast<std::size_t>(d.length + 1)
                                              : static_cast<std::size_t>(2 - point + d.length);
    if (plainLength <= scientificLength) {
        if (d.exponent >= 0) {
            out += digits;
            out.append(static_cast<std::size_t>(d.exponent), '0');
        } else if (point > 0) {
            out += digits.substr(0, static_cast<std::size_t>(point));
            out += '.';
            out += digits.substr(static_cast<std::size_t>(point));
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-point), '0');
            out += digits;
        }
    } else {
        out += digits.front();
        if (d.length > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'e';
        out.append(exponentText, exponentEnd);
    }
    return out;
}

template <class T>
std::string shortest(T value) {
    platform::require(std::isfinite(value), "shortestText", "JSON has no words for infinities");
    if (value == 0) return std::signbit(value) ? "-0" : "0";
    Decimal decimal = shortestDecimal(std::fabs(value));
    while (decimal.length > 1 && decimal.digits[decimal.length - 1] == '0') {
        --decimal.length;
        ++decimal.exponent;
    }
    return format(std::signbit(value), decimal);
}
}  // namespace

std::string shortestText(float number) { return shortest(number); }
std::string shortestText(double number) { return shortest(number); }

}  // namespace scene::gltf
