#include "system/VersionText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

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
