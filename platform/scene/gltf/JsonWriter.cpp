#include "platform/scene/gltf/JsonWriter.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
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

// The digits one shorter, rounded down or up.
Decimal shorter(const Decimal& decimal, bool up) {
    Decimal result = decimal;
    result.length = decimal.length - 1;
    result.exponent = decimal.exponent + 1;
    if (up) {
        int i = result.length - 1;
        while (i >= 0 && result.digits[i] == '9') result.digits[i--] = '0';
        if (i >= 0) {
            ++result.digits[i];
        } else {
            // 99…9 rounds up to 100…0: one digit, one more power of ten.
            result.digits[0] = '1';
            result.exponent += result.length;
            result.length = 1;
        }
    }
    while (result.length > 1 && result.digits[result.length - 1] == '0') {
        --result.length;
        ++result.exponent;
    }
    return result;
}

// Grisu2 (the algorithm nlohmann-json prints numbers with) gives digits that
// always read back exactly and are almost always the fewest; where a
// shorter form also reads back, it is found by dropping digits.
template <class T>
Decimal shortestDecimal(T value) {
    Decimal decimal;
    nlohmann::detail::dtoa_impl::grisu2(decimal.digits, decimal.length, decimal.exponent, value);
    while (decimal.length > 1) {
        // Try the nearer of the two roundings first.
        bool upFirst = decimal.digits[decimal.length - 1] >= '5';
        Decimal first = shorter(decimal, upFirst);
        if (readBack<T>(first) == value) {
            decimal = first;
            continue;
        }
        Decimal second = shorter(decimal, !upFirst);
        if (readBack<T>(second) == value) {
            decimal = second;
            continue;
        }
        break;
    }
    return decimal;
}

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
    return format(std::signbit(value), shortestDecimal(std::fabs(value)));
}
}  // namespace

std::string shortestText(float number) { return shortest(number); }
std::string shortestText(double number) { return shortest(number); }

}  // namespace scene::gltf
