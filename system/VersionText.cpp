#include "system/VersionText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// The digit string and decimal-point position of a five-decimal fixed-point
// conversion, as the C library's fcvt gives them (sign dropped).
void FixedPointDigits(double value, std::string& digits, int& point) {
    char text[512];
    std::snprintf(text, sizeof text, "%.5f", std::fabs(value));
    std::string all = text;
    size_t dot = all.find('.');
    std::string whole = all.substr(0, dot);
    std::string fraction = all.substr(dot + 1);
    if (whole != "0") {
        digits = whole + fraction;
        point = static_cast<int>(whole.size());
        return;
    }
    size_t firstNonZero = fraction.find_first_not_of('0');
    if (firstNonZero == std::string::npos) {  // the value rounds to zero
        digits = fraction;
        point = 0;
        return;
    }
    digits = fraction.substr(firstNonZero);
    point = -static_cast<int>(firstNonZero);
}

}  // namespace

std::string FormatVersionNumber(double version) {
    std::string digits;
    int point = 0;
    FixedPointDigits(version, digits, point);
    if (point < 0 && std::fabs(version) < 1.0) return "0." + std::string(-point, '0') + digits;
    return digits.substr(0, point) + "." + digits.substr(point);
}

namespace {

// The digits and the first '.', everything else dropped.
std::string KeptVersionText(const std::string& text) {
    std::string kept;
    bool dotSeen = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            kept += c;
        } else if (c == '.' && !dotSeen) {
            kept += c;
            dotSeen = true;
        }
    }
    return kept;
}

}  // namespace

double ParseVersionNumber(const std::string& text) {
    const std::string kept = KeptVersionText(text);
    return kept.empty() ? 0.0 : std::strtod(kept.c_str(), nullptr);
}

int CompareVersionTexts(const std::string& a, const std::string& b) {
    // Whole part without leading zeros, fraction without trailing ones: then
    // a longer whole part is larger, and fractions compare digit by digit.
    auto split = [](const std::string& text, std::string& whole, std::string& fraction) {
        const std::string kept = KeptVersionText(text);
        const size_t dot = kept.find('.');
        whole = kept.substr(0, dot);
        fraction = dot == std::string::npos ? std::string() : kept.substr(dot + 1);
        whole.erase(0, whole.find_first_not_of('0') == std::string::npos ? whole.size()
                                                                          : whole.find_first_not_of('0'));
        fraction.erase(fraction.find_last_not_of('0') + 1);
    };
    std::string wholeA, fractionA, wholeB, fractionB;
    split(a, wholeA, fractionA);
    split(b, wholeB, fractionB);
    if (wholeA.size() != wholeB.size()) return wholeA.size() < wholeB.size() ? -1 : 1;
    if (int order = wholeA.compare(wholeB)) return order;
    return fractionA.compare(fractionB);
}

bool IsVersionAtLeast(const std::string& text, double required) {
    return CompareVersionTexts(text, FormatVersionNumber(required)) >= 0;
}

namespace {

// The text from its first digit on, without a "1." that stands for the
// version family ("1.8.0_301" -> "8.0_301").
std::string JavaVersionDigits(const std::string& text) {
    const size_t first = text.find_first_of("0123456789");
    if (first == std::string::npos) return std::string();
    std::string rest = text.substr(first);
    if (rest.size() > 2 && rest[0] == '1' && rest[1] == '.' && rest[2] >= '0' && rest[2] <= '9') rest.erase(0, 2);
    return rest;
}

std::vector<unsigned long long> VersionNumbers(const std::string& text) {
    std::vector<unsigned long long> numbers;
    for (size_t i = 0; i < text.size();) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        unsigned long long value = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            value = value > 1000000000ULL ? value : value * 10 + static_cast<unsigned>(text[i] - '0');
        numbers.push_back(value);
    }
    return numbers;
}

}  // namespace

int CompareJavaVersions(const std::string& a, const std::string& b) {
    std::vector<unsigned long long> left = VersionNumbers(JavaVersionDigits(a));
    std::vector<unsigned long long> right = VersionNumbers(JavaVersionDigits(b));
    // Missing numbers count as 0: "17" equals "17.0.0".
    const size_t count = left.size() > right.size() ? left.size() : right.size();
    left.resize(count, 0);
    right.resize(count, 0);
    for (size_t i = 0; i < count; ++i)
        if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
    return 0;
}

bool IsJavaVersionAtLeast(const std::string& text, double required) {
    // A required number below 2 is of the "1.x" family, where x is one digit:
    // 1.42050 stands for 4.2050. The runtime's text loses its "1." the same way.
    std::string needed = FormatVersionNumber(required);
    if (needed.size() > 2 && needed[0] == '1' && needed[1] == '.')
        needed = needed.substr(2, 1) + "." + needed.substr(3);
    // The runtime's first number is its feature version; the digits after it
    // compare as decimals, as the required number's do.
    const std::string runtime = JavaVersionDigits(text);
    const size_t featureEnd = runtime.find_first_not_of("0123456789");
    std::string decimal = runtime.substr(0, featureEnd);
    if (featureEnd != std::string::npos) {
        decimal += '.';
        for (char c : runtime.substr(featureEnd))
            if (c >= '0' && c <= '9') decimal += c;
    }
    return CompareVersionTexts(decimal, needed) >= 0;
}
